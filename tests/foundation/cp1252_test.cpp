#include "core/foundation/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace tb {
namespace {

TEST(Cp1252, EveryByteSurvivesTheTripThroughUtf8)
{
    std::string all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[static_cast<std::size_t>(b)] = static_cast<char>(b);
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(fromCp1252("\xB5\xA0\x80"), "\xC2\xB5\xC2\xA0\xE2\x82\xAC"); // micro sign, no-break space, euro
}

struct ToCp1252Row {
    const char* name;
    const char* utf8;
    const char* bytes;
};

class ToCp1252 : public ::testing::TestWithParam<ToCp1252Row> { };

TEST_P(ToCp1252, GivesTheByteOrAQuestionMark)
{
    EXPECT_EQ(toCp1252(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Characters, ToCp1252,
    ::testing::Values(ToCp1252Row { "GreekMuIsNotTheMicroSign", "\xCE\xBC", "?" },
        ToCp1252Row { "OutsideTheBasicPlane", "\xF0\x9F\x92\x8A pill", "? pill" },
        ToCp1252Row { "TheC1ControlThat0x80IsNot", "\xC2\x80", "?" },
        ToCp1252Row { "Surrogate", "\xED\xA0\x80", "???" }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tb
