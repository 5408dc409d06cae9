#include "startup/number_format.h"
#include "startup/random_source.h"

#include <gtest/gtest.h>

#include <string>

namespace tb {
namespace {

struct FormatRow {
    const char* name;
    double value;
    const char* text;
};

std::string rowName(const ::testing::TestParamInfo<FormatRow>& info)
{
    return info.param.name;
}

class FormatNumber : public ::testing::TestWithParam<FormatRow> { };
TEST_P(FormatNumber, FifteenSignificantDigits)
{
    EXPECT_EQ(formatNumber(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Values, FormatNumber,
    ::testing::Values(FormatRow { "Thousandth", 0.001, "0.001" }, FormatRow { "SmallExponent", 5e-06, "5E-06" },
        FormatRow { "LargeExponent", 1.2e15, "1.2E+15" }, FormatRow { "FirstExponentSmall", 0.00001, "1E-05" },
        FormatRow { "Repeating", 125.0 / 3.0, "41.6666666666667" }, FormatRow { "NegativeZero", -0.0, "0" },
        FormatRow { "BinaryNoise", 0.1 + 0.2, "0.3" },
        FormatRow { "LastFixedLarge", 999999999999999.0, "999999999999999" },
        FormatRow { "FirstExponentLarge", 1e15, "1E+15" },
        FormatRow { "SixteenDigits", 1234567890123456.0, "1.23456789012346E+15" },
        FormatRow { "SmallBelowSwitch", 0.000099, "9.9E-05" },
        FormatRow { "CarryIntoExponent", 9999999999999999.0, "1E+16" },
        FormatRow { "CarryToFixed", 0.000099999999999999995, "0.0001" },
        FormatRow { "NegativeSmall", -0.0005, "-0.0005" }),
    rowName);

class FormatSingle : public ::testing::TestWithParam<FormatRow> { };
TEST_P(FormatSingle, SevenSignificantDigits)
{
    EXPECT_EQ(formatSingle(static_cast<float>(GetParam().value)), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Values, FormatSingle,
    ::testing::Values(FormatRow { "Repeating", 1000.0f / 480.0f, "2.083333" },
        FormatRow { "LastFixed", 9999999.0f, "9999999" }, FormatRow { "FirstExponent", 10000000.0f, "1E+07" },
        FormatRow { "CarryIntoExponent", 99999999.0f, "1E+08" },
        FormatRow { "Negative", -1000.0f / 480.0f, "-2.083333" }),
    rowName);

class FormatLeadingBlank : public ::testing::TestWithParam<FormatRow> { };
TEST_P(FormatLeadingBlank, BlankForThePlusSignAndNoZeroBeforeThePoint)
{
    EXPECT_EQ(formatLeadingBlank(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Values, FormatLeadingBlank,
    ::testing::Values(FormatRow { "Fraction", 0.054321, " .054321" }, FormatRow { "Exponent", 5e-06, " 5E-06" },
        FormatRow { "Zero", 0, " 0" }, FormatRow { "Negative", -0.5, "-.5" }),
    rowName);

struct ReadRow {
    const char* name;
    const char* text;
    double value;
};

class ReadNumber : public ::testing::TestWithParam<ReadRow> { };
TEST_P(ReadNumber, TakesTheLongestLeadingNumberOfABox)
{
    EXPECT_DOUBLE_EQ(readNumber(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(Boxes, ReadNumber,
    ::testing::Values(ReadRow { "Empty", "", 0 }, ReadRow { "TrailingLetters", "5abc", 5 },
        ReadRow { "LeadingBlanks", "  12", 12 }, ReadRow { "InnerBlank", "1 2", 12 },
        ReadRow { "BlankAfterSign", "- 5", -5 }, ReadRow { "Unit", "12.5mg", 12.5 }, ReadRow { "Letters", "abc", 0 },
        ReadRow { "TwoSigns", "--5", 0 }, ReadRow { "Exponent", "1E3", 1000 },
        ReadRow { "NegativeExponent", "1.5E-2x", 0.015 }, ReadRow { "Overflow", "1e999", 0 },
        ReadRow { "TwoPoints", "2.5.3", 2.5 }),
    [](const auto& info) { return std::string(info.param.name); });

struct WholeRow {
    const char* name;
    double draw;
    int n;
    int expected;
};

class RandomWhole : public ::testing::TestWithParam<WholeRow> { };
TEST_P(RandomWhole, FloorOfDrawTimesNPlusOne)
{
    ScriptedRandom random({ GetParam().draw });
    EXPECT_EQ(randomWhole(random, GetParam().n), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Draws, RandomWhole,
    ::testing::Values(WholeRow { "Zero", 0.0, 3, 1 }, WholeRow { "AlmostOne", 0.999999999, 3, 3 },
        WholeRow { "AThird", 1.0 / 3.0, 3, 2 }, WholeRow { "DrawForMiddle", drawFor(49851, 100000), 100000, 49851 },
        WholeRow { "DrawForLast", drawFor(100000, 100000), 100000, 100000 }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tb
