#include "startup/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace tb {
namespace {

TEST(Cp1252, EveryByteSurvivesTheTripThroughUnicode)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
}

struct Mapping {
    unsigned char byte;
    const char* utf8;
};

class Cp1252Mapping : public ::testing::TestWithParam<Mapping> { };

TEST_P(Cp1252Mapping, ByteAndCharacterCorrespond)
{
    const std::string byte(1, static_cast<char>(GetParam().byte));
    EXPECT_EQ(fromCp1252(byte), GetParam().utf8);
    EXPECT_EQ(toCp1252(GetParam().utf8), byte);
}

INSTANTIATE_TEST_SUITE_P(Characters, Cp1252Mapping,
    ::testing::Values(Mapping { 181, "\xC2\xB5" }, // micro sign
        Mapping { 160, "\xC2\xA0" }, // no-break space
        Mapping { 0x80, "\xE2\x82\xAC" }, // euro sign
        Mapping { 0x92, "\xE2\x80\x99" }, // right single quote
        Mapping { 0x9F, "\xC5\xB8" }, // Y with diaeresis
        Mapping { 0xE9, "\xC3\xA9" }, Mapping { 'A', "A" }, Mapping { '\r', "\r" }));

TEST(Cp1252, CharactersWithoutAByteBecomeQuestionMarks)
{
    EXPECT_EQ(toCp1252("\xCE\xBC"), "?"); // Greek mu, not the micro sign
    EXPECT_EQ(toCp1252("5 \xE2\x86\x92 6"), "5 ? 6"); // arrow
    EXPECT_EQ(toCp1252("\xF0\x9F\x92\x8A pill"), "? pill"); // outside the basic plane
    EXPECT_EQ(toCp1252("\xC2\x80"), "?"); // the C1 control that 0x80 is not
    EXPECT_FALSE(cp1252Holds(U'\u03BC'));
    EXPECT_TRUE(cp1252Holds(U'?'));
    EXPECT_TRUE(cp1252Holds(U'\u20AC'));
    EXPECT_EQ(cp1252Byte(U'\u00B5'), '\xB5');
    EXPECT_EQ(cp1252CodePoint(0xA0), U'\u00A0');
}

TEST(Cp1252, MalformedUtf8BecomesQuestionMarks)
{
    EXPECT_EQ(toCp1252("a\xC3"), "a?"); // cut short at the end
    EXPECT_EQ(toCp1252("\xC3(b"), "?(b"); // continuation missing
    EXPECT_EQ(toCp1252("\xFF"), "?");
    EXPECT_EQ(toCp1252("\xC1\x81"), "??"); // overlong "A"
    EXPECT_EQ(toCp1252("\xED\xA0\x80"), "???"); // a surrogate
    EXPECT_EQ(toCp1252(""), "");
}

} // namespace
} // namespace tb
