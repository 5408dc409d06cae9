#include "core/questions/metric_question.h"

#include "core/foundation/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace tb {
namespace {

const std::string NB = "\xA0"; // no-break space, byte 160
const std::string MU = "\xB5"; // micro sign, byte 181
const std::string BR = "\r\n";
const auto nbsp = [](std::size_t n) { return std::string(n, '\xA0'); };
const auto contains
    = [](const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; };

// A question from the draws given: measure (1 of 3), both prefixes (with AllMetricUnits off the codes 4, 7, 8
// are drawn as 1, 2, 3 of 3), then N0 = floor(r * 100000 + 1).
GeneratedQuestion make(AppState& state, std::vector<double> draws)
{
    state.random = std::make_unique<ScriptedRandom>(std::move(draws));
    return makeMetricQuestion(state);
}

const std::string MassScale = NB + "kg  hg  dag g   dg  cg  mg  -   -   " + MU + "g" + NB;

TEST(MetricQuestion, ScriptedDrawsAndExplanationLines)
{
    AppState state { std::make_unique<ScriptedRandom>() };
    const std::vector<double> milligramsToGrams = { drawFor(2, 3), drawFor(2, 3), drawFor(1, 3), 0.123445 };
    const GeneratedQuestion q = make(state, milligramsToGrams);
    EXPECT_EQ(q.question, "\r\nConvert 12345 milligrams to grams.");
    EXPECT_EQ(q.solution,
        "To convert 12345 milligrams to grams" + BR + "the computer used the following formula:" + BR + BR
            + "12345 milligrams X 0.001 = 12.345 grams" + BR + BR
            + "The decimal place has been moved 3 places to the left." + BR + BR + std::string(45, '-') + BR
            + "To work out how many decimal places to move:" + BR + "1. Write the metric scale" + BR
            + "2. Identify the two units in the problem" + BR
            + "3. Count the number of units from the unit given to the unit desired" + BR
            + "4. Move the decimal point the number of places from the given unit to the desired unit" + BR + BR
            + "For example to convert from milligrams to grams:" + BR + BR + MassScale + BR + nbsp(12)
            + "*3 < 2 < 1 < * " + nbsp(13) + BR + std::string(45, '-'));
    EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { 12.345, 12345.0, std::nullopt }));

    state.settings.UseAbbreviations = 1; // any value other than 0 counts as on
    const GeneratedQuestion symbols = make(state, milligramsToGrams);
    EXPECT_EQ(symbols.question, "\r\nConvert 12345 mgs to gs.");
    EXPECT_EQ(symbols.solution, q.solution);

    EXPECT_EQ(scaleLine(makeUnitTables(), 1), NB + "kL  hL  daL L   dL  cL  mL  -   -   " + MU + "L" + NB);
    EXPECT_EQ(markerLine(8, 7), nbsp(24) + "*3 < 2 < 1 < * " + NB); // microgram to milligram
}

// Every answer is the quantity converted, fits its length, and uses only the allowed prefixes.
// Seeded; TB_SWEEP_SEED repeats a failed run.
TEST(MetricQuestion, SweepOfRealDraws)
{
    const char* given = std::getenv("TB_SWEEP_SEED");
    const std::uint64_t seed = given ? std::stoull(given) : std::random_device {}();
    SCOPED_TRACE("TB_SWEEP_SEED=" + std::to_string(seed));
    AppState state(std::make_unique<SeededRandom>(seed));
    const UnitTables& t = state.tables;
    std::map<std::string, int> prefixOf; // word label -> prefix code
    for (int p = 1; p <= 8; ++p)
        for (int m = 1; m <= 3; ++m)
            prefixOf[t.PrefixName[p] + t.BaseUnitName[m] + "s"] = p;
    std::set<int> codes;
    for (int i = 0; i < 6000; ++i) {
        if (i == 3000) {
            EXPECT_EQ(codes, (std::set<int> { 4, 7, 8 }));
            state.settings.AllMetricUnits = -1;
        }
        const GeneratedQuestion q = makeMetricQuestion(state);
        const std::string body = q.question.substr(10, q.question.size() - 11); // "N <from> to <to>"
        const auto blank = body.find(' '), to = body.find(" to ");
        ASSERT_TRUE(q.question.starts_with("\r\nConvert ") && to != std::string::npos) << q.question;
        const int from = prefixOf.at(body.substr(blank + 1, to - blank - 1)), target = prefixOf.at(body.substr(to + 4));
        codes.insert({ from, target });
        const double expected = readNumber(body.substr(0, blank)) * t.PrefixFactor[from] / t.PrefixFactor[target];
        EXPECT_NEAR(q.answer, expected, std::abs(expected) * 1e-12) << q.question;
        EXPECT_LE(formatLeadingBlank(q.answer).size(), 9u) << q.answer;
    }
    EXPECT_EQ(codes, (std::set<int> { 1, 2, 3, 4, 5, 6, 7, 8 }));
}

} // namespace
} // namespace tb
