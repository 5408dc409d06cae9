#include "startup/number_format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tb {
namespace {

struct DoubleCase {
    double value;
    const char* text;
};

class GeneralFormatDouble : public ::testing::TestWithParam<DoubleCase> { };

TEST_P(GeneralFormatDouble, WritesFifteenDigitForm)
{
    EXPECT_EQ(formatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Examples, GeneralFormatDouble,
    ::testing::Values(DoubleCase { 0.001, "0.001" }, DoubleCase { 12.345, "12.345" }, DoubleCase { 5e-06, "5E-06" },
        DoubleCase { 1.2e15, "1.2E+15" }, DoubleCase { 0.0001, "0.0001" }, DoubleCase { 0.00001, "1E-05" },
        DoubleCase { 125.0 / 3.0, "41.6666666666667" }, DoubleCase { 1e-09, "1E-09" }, DoubleCase { 0.0, "0" },
        DoubleCase { 1000.0, "1000" }, DoubleCase { 0.1, "0.1" }, DoubleCase { 1e-06, "1E-06" },
        DoubleCase { -2.5, "-2.5" }, DoubleCase { 12345 * 0.001, "12.345" }, DoubleCase { 5 * 0.000001, "5E-06" },
        DoubleCase { 62.5, "62.5" },
        // Either side of the switch to scientific form.
        DoubleCase { 999999999999999.0, "999999999999999" }, DoubleCase { 1e15, "1E+15" },
        DoubleCase { 0.00012345, "0.00012345" }, DoubleCase { 0.000099, "9.9E-05" },
        // Rounding to 15 digits can carry into a new exponent.
        DoubleCase { 9999999999999999.0, "1E+16" }, DoubleCase { 0.1 + 0.2, "0.3" },
        DoubleCase { 100000000.0, "100000000" }, DoubleCase { -0.0005, "-0.0005" }, DoubleCase { 1.5e-100, "1.5E-100" },
        // Fifteen digits stay plain; a sixteenth digit forces scientific form.
        DoubleCase { 123456789012345.0, "123456789012345" }, DoubleCase { 1234567890123456.0, "1.23456789012346E+15" },
        // Rounding can also carry up to an exponent that turns scientific form off.
        DoubleCase { 0.000099999999999999995, "0.0001" }, DoubleCase { 1e300, "1E+300" },
        DoubleCase { -1.2e15, "-1.2E+15" }, DoubleCase { -5e-06, "-5E-06" }, DoubleCase { -0.001, "-0.001" },
        DoubleCase { -125.0 / 3.0, "-41.6666666666667" }, DoubleCase { -0.0, "0" }, DoubleCase { -12345.0, "-12345" }));

struct SingleCase {
    float value;
    const char* text;
};

class GeneralFormatSingle : public ::testing::TestWithParam<SingleCase> { };

TEST_P(GeneralFormatSingle, WritesSevenDigitForm)
{
    EXPECT_EQ(formatSingle(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Examples, GeneralFormatSingle,
    ::testing::Values(SingleCase { 1000.0f / 480.0f, "2.083333" }, SingleCase { 31.25f, "31.25" },
        SingleCase { 12.0f, "12" }, SingleCase { 0.5f, "0.5" }, SingleCase { 9999999.0f, "9999999" },
        SingleCase { 10000000.0f, "1E+07" }, SingleCase { 0.0001f, "0.0001" }, SingleCase { 0.00001f, "1E-05" },
        SingleCase { 1.0f / 3.0f, "0.3333333" }, SingleCase { 1234567.0f, "1234567" },
        SingleCase { 12345678.0f, "1.234568E+07" }, SingleCase { 99999992.0f, "9.999999E+07" },
        SingleCase { 99999999.0f, "1E+08" }, SingleCase { -1000.0f / 480.0f, "-2.083333" },
        SingleCase { 3000.0f / 72.0f, "41.66667" }, SingleCase { 0.00012345f, "0.00012345" }));

TEST(LeadingBlankFormat, DropsTheZeroAndAddsABlank)
{
    EXPECT_EQ(formatLeadingBlank(0.054321), " .054321");
    EXPECT_EQ(formatLeadingBlank(12345), " 12345");
    EXPECT_EQ(formatLeadingBlank(100000000), " 100000000");
    EXPECT_EQ(formatLeadingBlank(5e-06), " 5E-06");
    EXPECT_EQ(formatLeadingBlank(0), " 0");
    EXPECT_EQ(formatLeadingBlank(-0.5), "-.5");
}

struct ReadCase {
    const char* text;
    double value;
};

class ReadNumberFromBox : public ::testing::TestWithParam<ReadCase> { };

TEST_P(ReadNumberFromBox, TakesTheLongestLeadingNumber)
{
    EXPECT_DOUBLE_EQ(readNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ReadNumberFromBox,
    ::testing::Values(ReadCase { "", 0 }, ReadCase { "0", 0 }, ReadCase { "5abc", 5 }, ReadCase { "  12", 12 },
        ReadCase { "1 2", 12 }, ReadCase { "12.5mg", 12.5 }, ReadCase { ".5", 0.5 }, ReadCase { "-3", -3 },
        ReadCase { "abc", 0 }, ReadCase { "1E3", 1000 }, ReadCase { "2e", 2 }, ReadCase { "1.5E-2x", 0.015 },
        ReadCase { "3.", 3 }, ReadCase { ".", 0 }, ReadCase { "-", 0 }, ReadCase { "1e999", 0 }, ReadCase { "97", 97 },
        ReadCase { "\t7", 7 }, ReadCase { "1,5", 1 }, ReadCase { " 1 2.5", 12.5 }, ReadCase { "+5", 5 },
        ReadCase { "- 5", -5 }, ReadCase { "1 . 5", 1.5 }, ReadCase { "2.5.3", 2.5 }, ReadCase { "5E-06", 5e-06 },
        ReadCase { "1.2E+15", 1.2e15 }, ReadCase { "12 mg", 12 }, ReadCase { "mg 12", 0 }, ReadCase { "--5", 0 },
        ReadCase { "0.054321", 0.054321 }));

TEST(NumberRoundTrip, WrittenNumbersReadBackExactly)
{
    for (double v : { 0.001, 12.345, 5e-06, 1.2e15, 41.6666666666667, 1e-09, 250.0, 0.0625 }) {
        EXPECT_DOUBLE_EQ(readNumber(formatNumber(v)), v) << formatNumber(v);
    }
}

} // namespace
} // namespace tb
