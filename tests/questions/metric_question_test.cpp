#include "questions/metric_question.h"

#include "startup/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tb {
namespace {

const std::string NB = "\xA0"; // no-break space, byte 160
const std::string MU = "\xB5"; // micro sign, byte 181
const std::string BR = "\r\n";
const std::string Rule(45, '-');

std::string nbsp(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += NB;
    return s;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(BR, start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 2;
    }
}

// The uniform value that makes N0 = floor(r * 100000 + 1) come out as n0.
double quantityDraw(int n0)
{
    return (n0 - 0.5) / 100000.0;
}

// Draw order of one question: measure, then both prefixes, then N0 (prefix draws
// repeat when they are equal or the answer is too long).
struct MetricScript {
    std::vector<double> draws;
    MetricScript& measure(int m)
    {
        draws.push_back(drawFor(m, 3));
        return *this;
    }
    // With AllMetricUnits off the codes 4, 7, 8 are picked as 1, 2, 3.
    MetricScript& commonPrefixes(int a, int b)
    {
        auto pick = [](int code) { return drawFor(code == 4 ? 1 : code == 7 ? 2 : 3, 3); };
        draws.push_back(pick(a));
        draws.push_back(pick(b));
        return *this;
    }
    MetricScript& allPrefixes(int a, int b)
    {
        draws.push_back(drawFor(a, 8));
        draws.push_back(drawFor(b, 8));
        return *this;
    }
    MetricScript& quantity(int n0)
    {
        draws.push_back(quantityDraw(n0));
        return *this;
    }
};

class MetricQuestion : public ::testing::Test {
protected:
    GeneratedQuestion make(const MetricScript& script)
    {
        random = new ScriptedRandom(script.draws);
        state.random.reset(random);
        return makeMetricQuestion(state);
    }
    AppState state { std::make_unique<ScriptedRandom>() };
    ScriptedRandom* random = nullptr;
};

const std::string MassScale = NB + "kg  hg  dag g   dg  cg  mg  -   -   " + MU + "g" + NB;

TEST_F(MetricQuestion, MilligramsToGramsWholeText)
{
    const auto q = make(MetricScript().measure(2).commonPrefixes(7, 4).quantity(12345));
    EXPECT_EQ(q.question, "\r\nConvert 12345 milligrams to grams.");
    EXPECT_DOUBLE_EQ(q.answer, 12.345);
    EXPECT_EQ(formatNumber(q.answer), "12.345");
    const std::string expected = "To convert 12345 milligrams to grams" + BR
        + "the computer used the following formula:" + BR + BR + "12345 milligrams X 0.001 = 12.345 grams" + BR + BR
        + "The decimal place has been moved 3 places to the left." + BR + BR + Rule + BR
        + "To work out how many decimal places to move:" + BR + "1. Write the metric scale" + BR
        + "2. Identify the two units in the problem" + BR
        + "3. Count the number of units from the unit given to the unit desired" + BR
        + "4. Move the decimal point the number of places from the given unit to the desired unit" + BR + BR
        + "For example to convert from milligrams to grams:" + BR + BR + MassScale + BR + nbsp(12) + "*3 < 2 < 1 < * "
        + nbsp(13) + BR + Rule;
    EXPECT_EQ(q.solution, expected);
    const auto lines = splitLines(q.solution);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "To convert 12345 milligrams to grams");
    EXPECT_EQ(lines[3], "12345 milligrams X 0.001 = 12.345 grams");
    EXPECT_EQ(lines[5], "The decimal place has been moved 3 places to the left.");
    EXPECT_EQ(lines[14], "For example to convert from milligrams to grams:");
    ASSERT_TRUE(q.duplicateKeys[0] && q.duplicateKeys[1]);
    EXPECT_DOUBLE_EQ(*q.duplicateKeys[0], 12.345);
    EXPECT_EQ(*q.duplicateKeys[1], 12345.0);
    EXPECT_FALSE(q.duplicateKeys[2].has_value());
    EXPECT_EQ(random->draws(), 4u);
    EXPECT_EQ(random->reseeds(), 3); // before the measure, the prefixes and the quantity
}

TEST_F(MetricQuestion, AbbreviationsChangeOnlyTheQuestion)
{
    const auto script = MetricScript().measure(2).commonPrefixes(7, 4).quantity(12345);
    const auto words = make(script);
    state.settings.UseAbbreviations = 1; // any value other than 0 counts as on
    const auto symbols = make(script);
    EXPECT_EQ(symbols.question, "\r\nConvert 12345 mgs to gs.");
    EXPECT_EQ(symbols.solution, words.solution);
    EXPECT_EQ(symbols.answer, words.answer);

    state.settings.UseAbbreviations = -1;
    EXPECT_EQ(
        make(MetricScript().measure(1).commonPrefixes(8, 4).quantity(7)).question, "\r\nConvert 7 " + MU + "Ls to Ls.");
}

TEST_F(MetricQuestion, MicrogramsToGrams)
{
    const auto q = make(MetricScript().measure(2).commonPrefixes(8, 4).quantity(5));
    EXPECT_EQ(q.question, "\r\nConvert 5 micrograms to grams.");
    EXPECT_EQ(formatNumber(q.answer), "5E-06");
    EXPECT_EQ(formatLeadingBlank(q.answer).size(), 6u);
    const auto lines = splitLines(q.solution);
    EXPECT_EQ(lines[3], "5 micrograms X 1E-06 = 5E-06 grams");
    EXPECT_EQ(lines[5], "The decimal place has been moved 6 places to the left.");
    EXPECT_EQ(lines[17], nbsp(12) + "*6 < 5 < 4 < 3 < 2 < 1 < * " + nbsp(1));
}

TEST_F(MetricQuestion, TooLongAnswerRedrawsAllButTheMeasure)
{
    state.settings.AllMetricUnits = -1;
    // Kilolitres to microlitres with N0 = 100000 gives 100000000: ten characters with the blank.
    const auto q = make(MetricScript().measure(1).allPrefixes(1, 8).quantity(100000).allPrefixes(7, 4).quantity(12345));
    EXPECT_EQ(q.question, "\r\nConvert 12345 millilitres to litres.");
    EXPECT_DOUBLE_EQ(q.answer, 12.345);
    EXPECT_EQ(random->draws(), 7u);
}

TEST_F(MetricQuestion, EqualPrefixesAreDrawnAgainBeforeTheQuantity)
{
    const auto q = make(MetricScript().measure(3).commonPrefixes(7, 7).commonPrefixes(4, 7).quantity(250));
    EXPECT_EQ(q.question, "\r\nConvert 0.25 metres to millimetres."); // N = 250 x 0.001
    EXPECT_EQ(q.answer, 250.0);
    EXPECT_EQ(random->draws(), 6u);
}

TEST_F(MetricQuestion, GramsToMicrogramsGivesTheWholeNumber)
{
    const auto q = make(MetricScript().measure(2).commonPrefixes(4, 8).quantity(54321));
    EXPECT_EQ(q.question, "\r\nConvert 0.054321 grams to micrograms.");
    EXPECT_EQ(formatNumber(q.answer), "54321");
    EXPECT_EQ(splitLines(q.solution)[3], "0.054321 grams X 1000000 = 54321 micrograms");
    EXPECT_EQ(splitLines(q.solution)[5], "The decimal place has been moved 6 places to the right.");
}

TEST_F(MetricQuestion, SourceThatNeverPassesStillEndsWithACorrectQuestion)
{
    // Every draw is 0: both prefixes are always the base unit, so no draw is ever accepted.
    const auto q = make(MetricScript { { 0.0 } });
    EXPECT_EQ(splitLines(q.question)[1].rfind("Convert ", 0), 0u);
    EXPECT_LE(formatLeadingBlank(q.answer).size(), 9u);
    EXPECT_LT(random->draws(), 100000u);
}

TEST(ExplainConversion, ShortModeIsFourLinesWithoutATrailingBreak)
{
    const UnitTables t = makeUnitTables();
    const Conversion c = explainConversion(t, 500, 7, 2, 4, "short");
    EXPECT_EQ(c.converted, 0.5);
    EXPECT_EQ(c.explanation,
        "To convert 500 milligrams to grams" + BR + "the computer used the following formula:" + BR + BR
            + "500 milligrams X 0.001 = 0.5 grams");
    // Only exactly "short" selects it.
    EXPECT_EQ(splitLines(explainConversion(t, 500, 7, 2, 4, "Short").explanation).size(), 19u);
    EXPECT_EQ(splitLines(explainConversion(t, 500, 7, 2, 4, "").explanation).size(), 19u);
}

TEST(ExplainConversion, NinePlacesEitherWay)
{
    const UnitTables t = makeUnitTables();
    const auto down = splitLines(explainConversion(t, 3, 8, 2, 1, "").explanation);
    EXPECT_EQ(down[3], "3 micrograms X 1E-09 = 3E-09 kilograms");
    EXPECT_EQ(down[5], "The decimal place has been moved 9 places to the left.");
    const auto up = splitLines(explainConversion(t, 2, 1, 2, 8, "").explanation);
    EXPECT_EQ(up[3], "2 kilograms X 1000000000 = 2000000000 micrograms");
    EXPECT_EQ(up[5], "The decimal place has been moved 9 places to the right.");
    EXPECT_EQ(up[17], nbsp(0) + " * > 1 > 2 > 3 > 4 > 5 > 6 > 7 > 8 > 9*" + nbsp(1));
}

TEST(ExplainConversion, OnePlaceStillSaysPlaces)
{
    EXPECT_EQ(decimalMoveSentence(10), "The decimal place has been moved 1 places to the right.");
    EXPECT_EQ(decimalMoveSentence(0.1), "The decimal place has been moved 1 places to the left.");
    EXPECT_EQ(decimalMoveSentence(0.001 / 0.000001), "The decimal place has been moved 3 places to the right.");
}

struct MarkerCase {
    int from;
    int to;
    std::string line;
};

class MarkerExamples : public ::testing::TestWithParam<MarkerCase> { };

TEST_P(MarkerExamples, MatchesByteForByte)
{
    EXPECT_EQ(markerLine(GetParam().from, GetParam().to), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Mass, MarkerExamples,
    ::testing::Values(MarkerCase { 4, 7, nbsp(12) + " * > 1 > 2 > 3*" + nbsp(13) }, // gram to milligram
        MarkerCase { 7, 4, nbsp(12) + "*3 < 2 < 1 < * " + nbsp(13) }, // milligram to gram
        MarkerCase { 7, 8, nbsp(24) + " * > 1 > 2 > 3*" + nbsp(1) }, // milligram to microgram
        MarkerCase { 8, 7, nbsp(24) + "*3 < 2 < 1 < * " + nbsp(1) }, // microgram to milligram
        MarkerCase { 1, 2, " * > 1*" + nbsp(33) }, // kilo to hecto, one place
        MarkerCase { 8, 1, "*9 < 8 < 7 < 6 < 5 < 4 < 3 < 2 < 1 < * " + nbsp(1) }));

TEST(ScaleLine, EveryMeasure)
{
    const UnitTables t = makeUnitTables();
    EXPECT_EQ(scaleLine(t, 2), MassScale);
    EXPECT_EQ(scaleLine(t, 1), NB + "kL  hL  daL L   dL  cL  mL  -   -   " + MU + "L" + NB);
    EXPECT_EQ(scaleLine(t, 3), NB + "km  hm  dam m   dm  cm  mm  -   -   " + MU + "m" + NB);
}

// Scale position p starts in column 4 * (p - 1) + 1; micro (code 8) sits at position 10.
std::size_t column(int code)
{
    return static_cast<std::size_t>(4 * ((code == 8 ? 10 : code) - 1) + 1);
}

TEST(ScaleLine, MarkersStandUnderTheirUnitsForEveryPair)
{
    const UnitTables t = makeUnitTables();
    for (int m = 1; m <= 3; ++m) {
        const std::string scale = scaleLine(t, m);
        ASSERT_EQ(scale.size(), 40u);
        for (int p = 1; p <= 8; ++p)
            EXPECT_NE(scale[column(p)], ' ') << m << " " << p;
    }
    for (int a = 1; a <= 8; ++a) {
        for (int b = 1; b <= 8; ++b) {
            if (a == b)
                continue;
            const std::string line = markerLine(a, b);
            ASSERT_EQ(line.size(), 40u) << a << " " << b;
            const int pa = a == 8 ? 10 : a;
            const int pb = b == 8 ? 10 : b;
            EXPECT_EQ(line.back(), NB[0]) << a << " " << b;
            // The unit given carries "*"; each place on the way carries its count from there.
            for (int p = std::min(pa, pb); p <= std::max(pa, pb); ++p) {
                const char expected = p == pa ? '*' : static_cast<char>('0' + std::abs(p - pa));
                EXPECT_EQ(line[static_cast<std::size_t>(4 * (p - 1) + 1)], expected) << a << " " << b << " " << p;
            }
            for (std::size_t i = 0; i < column(std::min(a, b)) - 1; ++i)
                EXPECT_EQ(line[i], NB[0]);
        }
    }
}

// Many real draws, with and without all units: every answer is the quantity
// converted, fits its length, and uses only the allowed prefixes.
class MetricSweep : public ::testing::TestWithParam<bool> { };

TEST_P(MetricSweep, EveryDrawIsConsistent)
{
    AppState state;
    state.settings.AllMetricUnits = GetParam() ? -1 : 0;
    const UnitTables& t = state.tables;
    std::map<std::string, std::pair<int, int>> labels; // word label -> prefix code, measure
    for (int p = 1; p <= 8; ++p)
        for (int m = 1; m <= 3; ++m)
            labels[t.PrefixName[p] + t.BaseUnitName[m] + "s"] = { p, m };
    std::set<int> codes;
    for (int i = 0; i < 3000; ++i) {
        const GeneratedQuestion q = makeMetricQuestion(state);
        ASSERT_EQ(q.question.rfind("\r\nConvert ", 0), 0u) << q.question;
        // "Convert N <from> to <to>."
        const std::string body = q.question.substr(10, q.question.size() - 11);
        const auto blank1 = body.find(' ');
        const auto to = body.find(" to ");
        ASSERT_NE(to, std::string::npos) << q.question;
        const double n = readNumber(body.substr(0, blank1));
        const auto from = labels.at(body.substr(blank1 + 1, to - blank1 - 1));
        const auto target = labels.at(body.substr(to + 4));
        ASSERT_EQ(from.second, target.second);
        ASSERT_NE(from.first, target.first);
        codes.insert(from.first);
        codes.insert(target.first);

        const double expected = n * t.PrefixFactor[from.first] / t.PrefixFactor[target.first];
        EXPECT_NEAR(q.answer, expected, std::abs(expected) * 1e-12) << q.question;
        // The answer is N0 units of the given prefix, N0 from 1 to 100000.
        const double n0 = q.answer / t.PrefixFactor[from.first];
        EXPECT_NEAR(n0, std::round(n0), 1e-6 * n0) << q.question;
        EXPECT_GE(std::round(n0), 1.0);
        EXPECT_LE(std::round(n0), 100000.0);
        EXPECT_LE(formatLeadingBlank(q.answer).size(), 9u) << q.answer;
        EXPECT_EQ(formatNumber(*q.duplicateKeys[1]), body.substr(0, blank1));
        EXPECT_EQ(*q.duplicateKeys[0], q.answer);
        for (const std::string& text : { q.question, q.solution })
            for (const char* bad : { "nan", "inf", "NaN", "Inf" })
                EXPECT_EQ(text.find(bad), std::string::npos) << text;
    }
    if (GetParam())
        EXPECT_EQ(codes.size(), 8u);
    else
        EXPECT_EQ(codes, (std::set<int> { 4, 7, 8 }));
}

INSTANTIATE_TEST_SUITE_P(AllMetricUnits, MetricSweep, ::testing::Bool());

} // namespace
} // namespace tb
