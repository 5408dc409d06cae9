#include "startup/cp1252.h"
#include "startup/number_format.h"
#include "startup/random_source.h"

#include <gtest/gtest.h>

#include <string>

namespace tb {
namespace {

TEST(NumberFormat, FifteenAndSevenDigitAndLeadingBlankForms)
{
    const std::pair<double, const char*> cases[] = { { 0.001, "0.001" }, { 12.345, "12.345" }, { 5e-06, "5E-06" },
        { 1.2e15, "1.2E+15" }, { 0.0001, "0.0001" }, { 0.00001, "1E-05" }, { 125.0 / 3.0, "41.6666666666667" },
        { 1e-09, "1E-09" }, { 0.0, "0" }, { -0.0, "0" }, { 0.1 + 0.2, "0.3" }, { 1.5e-100, "1.5E-100" },
        // Either side of the switch to scientific form, large and small.
        { 999999999999999.0, "999999999999999" }, { 1e15, "1E+15" }, { 123456789012345.0, "123456789012345" },
        { 1234567890123456.0, "1.23456789012346E+15" }, { 0.00012345, "0.00012345" }, { 0.000099, "9.9E-05" },
        // Rounding to 15 digits can carry into the next exponent.
        { 9999999999999999.0, "1E+16" }, { 0.000099999999999999995, "0.0001" }, { -0.0005, "-0.0005" },
        { -1.2e15, "-1.2E+15" }, { -125.0 / 3.0, "-41.6666666666667" } };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(formatNumber(value), text) << text;
    const std::pair<float, const char*> singles[] = { { 1000.0f / 480.0f, "2.083333" }, { 3000.0f / 72.0f, "41.66667" },
        { 9999999.0f, "9999999" }, { 10000000.0f, "1E+07" }, { 12345678.0f, "1.234568E+07" }, { 99999999.0f, "1E+08" },
        { 0.0001f, "0.0001" }, { 0.00001f, "1E-05" }, { 0.00012345f, "0.00012345" },
        { -1000.0f / 480.0f, "-2.083333" } };
    for (const auto& [value, text] : singles)
        EXPECT_EQ(formatSingle(value), text) << text;
    const std::pair<double, const char*> blanks[]
        = { { 0.054321, " .054321" }, { 12345, " 12345" }, { 5e-06, " 5E-06" }, { 0, " 0" }, { -0.5, "-.5" } };
    for (const auto& [value, text] : blanks)
        EXPECT_EQ(formatLeadingBlank(value), text) << text;
}

TEST(NumberFormat, ReadsTheLongestLeadingNumberOfABox)
{
    const std::pair<const char*, double> cases[] = { { "", 0 }, { "5abc", 5 }, { "  12", 12 }, { "\t7", 7 },
        { "1 2", 12 }, { " 1 2.5", 12.5 }, { "- 5", -5 }, { "+5", 5 }, { "12.5mg", 12.5 }, { ".5", 0.5 }, { "abc", 0 },
        { "mg 12", 0 }, { "--5", 0 }, { "1E3", 1000 }, { "2e", 2 }, { "1.5E-2x", 0.015 }, { "1e999", 0 }, { "1,5", 1 },
        { "2.5.3", 2.5 }, { "5E-06", 5e-06 }, { "1.2E+15", 1.2e15 } };
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(readNumber(text), value) << '"' << text << '"';
}

TEST(RandomWhole, FloorOfDrawTimesNPlusOne)
{
    ScriptedRandom random({ 0.0, 0.999999999, 1.0 / 3.0 - 1e-12, 1.0 / 3.0 });
    for (int expected : { 1, 3, 1, 2 })
        EXPECT_EQ(randomWhole(random, 3), expected);
    for (int n : { 1, 8, 100000 })
        for (int k = 1; k <= n; k += (n > 10 ? 997 : 1)) {
            random.setScript({ drawFor(k, n) });
            EXPECT_EQ(randomWhole(random, n), k) << k << " of " << n;
        }
    ProductionRandom production;
    for (int i = 0; i < 1000; ++i) {
        const int k = randomWhole(production, 3);
        ASSERT_TRUE(k >= 1 && k <= 3) << k;
    }
}

TEST(Cp1252, EveryByteSurvivesTheTripAndCharactersWithoutAByteBecomeQuestionMarks)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(fromCp1252("\xB5\xA0\x80"), "\xC2\xB5\xC2\xA0\xE2\x82\xAC"); // micro sign, no-break space, euro
    const std::pair<const char*, const char*> cases[]
        = { { "\xC2\xB5\xC2\xA0\xE2\x82\xAC", "\xB5\xA0\x80" }, { "\xCE\xBC", "?" }, // Greek mu, not the micro sign
              { "5 \xE2\x86\x92 6", "5 ? 6" }, { "\xF0\x9F\x92\x8A pill", "? pill" }, // arrow, outside the basic plane
              { "\xC2\x80", "?" }, // the C1 control that 0x80 is not
              { "a\xC3", "a?" }, { "\xFF", "?" }, { "\xED\xA0\x80", "???" } }; // malformed UTF-8
    for (const auto& [utf8, bytes] : cases)
        EXPECT_EQ(toCp1252(utf8), bytes);
}

} // namespace
} // namespace tb
