#include "core/foundation/number_format.h"

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
    ::testing::Values(FormatRow { "SmallExponent", 5e-06, "5E-06" }, FormatRow { "LargeExponent", 1.2e15, "1.2E+15" },
        FormatRow { "NegativeZero", -0.0, "0" }, FormatRow { "BinaryNoise", 0.1 + 0.2, "0.3" },
        FormatRow { "LastFixedLarge", 999999999999999.0, "999999999999999" },
        FormatRow { "FirstExponentLarge", 1e15, "1E+15" }, FormatRow { "SmallBelowSwitch", 0.000099, "9.9E-05" },
        FormatRow { "CarryIntoExponent", 9999999999999999.0, "1E+16" },
        FormatRow { "CarryToFixed", 0.000099999999999999995, "0.0001" }),
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
        ReadRow { "InnerBlank", "1 2", 12 }, ReadRow { "BlankAfterSign", "- 5", -5 }, ReadRow { "TwoSigns", "--5", 0 },
        ReadRow { "NegativeExponent", "1.5E-2x", 0.015 }, ReadRow { "Overflow", "1e999", 0 },
        ReadRow { "TwoPoints", "2.5.3", 2.5 }, ReadRow { "TrailingPoint", "5.", 5 }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tb
