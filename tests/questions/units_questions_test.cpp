#include "core/questions/units_questions.h"

#include "core/export/answer_rule.h"
#include "core/export/marking.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/number_format.h"
#include "core/testbuilder/class_versions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace tb {
namespace {

// The uniform values behind each draw, in the order the generator draws them: the form (of 5),
// then for an injection the route, the dose and the strength; for an infusion the bag, then the
// rate; for insulin drawn up the dose.
const auto form = [](int f) { return drawFor(f, 5); };
const auto route = [](int r) { return drawFor(r, 2); }; // 1 subcutaneous, 2 intravenous bolus
const auto pick = [](int k, int n) { return drawFor(k, n); };
const auto heparinBag = [](int b) { return drawFor(b, 3); }; // 25000 in 500, 25000 in 250, 20000 in 500
const auto heparinRate = [](long long units) { return drawFor(static_cast<int>((units - 500) / 50 + 1), 31); };

const std::string Head = "The Question was :\r\n";

struct Scripted {
    const char* name;
    bool abbreviations;
    std::vector<double> script;
    std::string question;
    std::string solutionEnd; // from the calculation on
    double answer;
};

class UnitsScripted : public ::testing::TestWithParam<Scripted> { };

TEST_P(UnitsScripted, QuestionSolutionAndAnswer)
{
    const Scripted& c = GetParam();
    AppState state(std::make_unique<ScriptedRandom>(c.script));
    state.settings.UseAbbreviations = c.abbreviations ? -1 : 0;
    const GeneratedQuestion q = makeUnitsQuestion(state);
    EXPECT_EQ(q.question, c.question);
    EXPECT_TRUE(q.solution.starts_with(Head + c.question + "\r\n\r\n")) << q.solution;
    EXPECT_TRUE(q.solution.ends_with(c.solutionEnd)) << q.solution;
    EXPECT_EQ(q.answer, c.answer);
}

const std::string PumpAsk = " At what rate in ml/hr should the pump be set?";
const std::string OneDecimalVolume = "Rounding: a volume of 1 ml or more is given to 1 decimal place, so ";
const std::string TwoDecimalVolume = "Rounding: a volume below 1 ml is given to 2 decimal places, so ";
const std::string PumpRule = "Rounding: a pump rate is set to 1 decimal place, so ";

INSTANTIATE_TEST_SUITE_P(Forms, UnitsScripted,
    ::testing::Values(
        Scripted { "InjectionSubcutaneous", true, { form(1), route(1), pick(2, 2), pick(1, 2) },
            "Heparin 7500 units is ordered subcutaneously. Heparin 5000 units/ml is available. How many ml will you "
            "give?",
            "7500 (units) / 5000 (units) X 1 (ml) = 1.5 (ml)\r\n\r\n" + OneDecimalVolume + "1.5 ml needs no rounding.",
            1.5 },
        Scripted { "InjectionBelowOneMlInWords", false, { form(1), route(1), pick(1, 2), pick(2, 2) },
            "Heparin 5000 units is ordered subcutaneously. Heparin 25000 units per millilitre is available. How many "
            "millilitres will you give?",
            "= 0.2 (ml)\r\n\r\n" + TwoDecimalVolume + "0.2 ml needs no rounding.", 0.2 },
        Scripted { "HeparinPump", true, { form(2), heparinBag(1), heparinRate(1000) },
            "25000 units of heparin in 500 ml are to run at 1000 units/hr." + PumpAsk,
            "The bag strength is 25000 (units) / 500 (ml) = 50 (units/ml)\r\n\r\nNow we plug these numbers into the "
            "formula:\r\n\r\n1000 (units/hr) / 50 (units/ml) = 20 (ml/hr)\r\n\r\n"
                + PumpRule + "20 ml/hr needs no rounding.",
            20 },
        Scripted { "HeparinPumpRoundsUp", false, { form(2), heparinBag(3), heparinRate(1150) },
            "20000 units of heparin in 500 millilitres are to run at 1150 units/hr." + PumpAsk,
            "1150 (units/hr) / 40 (units/ml) = 28.75 (ml/hr)\r\n\r\n" + PumpRule
                + "28.75 ml/hr is rounded up to 28.8 ml/hr.",
            28.8 },
        // 20.5 ml/hr of 50 units/ml: halves 20 to 80, so 41 halves is the 22nd of 61.
        Scripted { "HeparinPerHour", true, { form(3), heparinBag(1), pick(22, 61) },
            "A heparin infusion of 25000 units in 500 ml is running at 20.5 ml/hr. How many units of heparin per "
            "hour is the patient receiving?",
            "20.5 (ml/hr) X 50 (units/ml) = 1025 (units/hr)\r\n\r\nRounding: a heparin dose is given in whole units, "
            "so 1025 units/hr needs no rounding.",
            1025 },
        Scripted { "InsulinPump", true, { form(4), pick(1, 2), pick(9, 20) },
            "50 units of insulin in 50 ml are to run at 4.5 units/hr." + PumpAsk,
            "The bag strength is 50 (units) / 50 (ml) = 1 (unit/ml)\r\n\r\nNow we plug these numbers into the "
            "formula:\r\n\r\n4.5 (units/hr) / 1 (unit/ml) = 4.5 (ml/hr)\r\n\r\n"
                + PumpRule + "4.5 ml/hr needs no rounding.",
            4.5 },
        Scripted { "InsulinPumpOneUnit", false, { form(4), pick(2, 2), pick(2, 20) },
            "100 units of insulin in 100 millilitres are to run at 1 unit/hr." + PumpAsk,
            "1 (units/hr) / 1 (unit/ml) = 1 (ml/hr)\r\n\r\n" + PumpRule + "1 ml/hr needs no rounding.", 1 },
        Scripted { "InsulinDrawnUp", true, { form(5), pick(23, 39) },
            "Insulin 100 units/ml is available. The dose to give is 0.24 ml. How many units will you draw up in an "
            "insulin syringe marked in units (100 units/ml)?",
            "0.24 (ml) X 100 (units/ml) = 24 (units)\r\n\r\nRounding: insulin is given in whole units, so 24 units "
            "needs no rounding.\r\nOn the insulin syringe, draw up to the 24 unit mark.",
            24 }),
    [](const auto& info) { return std::string(info.param.name); });

// The layout of a whole solution, once.
TEST(UnitsSolution, WholeTextOfAPumpRate)
{
    AppState state(std::make_unique<ScriptedRandom>(std::vector { form(2), heparinBag(2), heparinRate(1250) }));
    state.settings.UseAbbreviations = -1;
    EXPECT_EQ(makeUnitsQuestion(state).solution,
        "The Question was :\r\n25000 units of heparin in 250 ml are to run at 1250 units/hr. At what rate in ml/hr "
        "should the pump be set?\r\n\r\nThe formula for the pump rate is:\r\n\r\ndose ordered (units/hr)\r\n"
            + std::string(25, '-')
            + "\r\nbag strength (units/ml)\r\n\r\nYou must first ensure that all units conform to those required in "
              "the formula:\r\nThe bag strength is 25000 (units) / 250 (ml) = 100 (units/ml)\r\n\r\nNow we plug "
              "these numbers into the formula:\r\n\r\n1250 (units/hr) / 100 (units/ml) = 12.5 (ml/hr)\r\n\r\n"
              "Rounding: a pump rate is set to 1 decimal place, so 12.5 ml/hr needs no rounding.");
}

// TB_SWEEP_SEED repeats a failed run.
std::uint64_t sweepSeed()
{
    const char* given = std::getenv("TB_SWEEP_SEED");
    return given ? std::stoull(given) : std::random_device {}();
}

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::floor(value * scale + 0.5 + 1e-9) / scale;
}

// Each question's answer worked out again from its own words, against the rounding rule, the
// bounds of the table, the wording rules, its kind and its category.
TEST(UnitsSweep, AnswersReSolvedFromTheQuestion)
{
    const std::uint64_t seed = sweepSeed();
    SCOPED_TRACE("TB_SWEEP_SEED=" + std::to_string(seed));
    AppState state(std::make_unique<SeededRandom>(seed));
    const std::string ml = "(ml|millilitres)";
    const std::string perMl = "(units/ml|units per millilitre)";
    static const std::regex forms[] = {
        std::regex("Heparin ([0-9]+) units is ordered (subcutaneously|as an intravenous bolus)\\. Heparin ([0-9]+) "
            + perMl + " is available\\. How many " + ml + " will you give\\?"),
        std::regex("([0-9]+) units of heparin in ([0-9]+) " + ml
            + " are to run at ([0-9]+) units/hr\\. At what rate in ml/hr should the pump be set\\?"),
        std::regex("A heparin infusion of ([0-9]+) units in ([0-9]+) " + ml
            + " is running at ([0-9.]+) ml/hr\\. How many units of heparin per hour is the patient receiving\\?"),
        std::regex("([0-9]+) units of insulin in ([0-9]+) " + ml
            + " are to run at ([0-9.]+) units?/hr\\. At what rate in ml/hr should the pump be set\\?"),
        std::regex("Insulin 100 " + perMl + " is available\\. The dose to give is ([0-9.]+) " + ml
            + "\\. How many units will you draw up in an insulin syringe marked in units \\(100 " + perMl + "\\)\\?"),
    };
    const QuestionKind kinds[] = { QuestionKind::LiquidVolume, QuestionKind::UnitsPumpRate, QuestionKind::UnitsPerHour,
        QuestionKind::UnitsPumpRate, QuestionKind::InsulinUnits };
    const std::set<std::pair<double, double>> heparinBags { { 25000, 500 }, { 25000, 250 }, { 20000, 500 } };
    const std::set<std::pair<double, double>> insulinBags { { 50, 50 }, { 100, 100 } };
    // A number with a trailing zero after its point, a point without a leading digit, or U / IU.
    static const std::regex unsafe("[0-9]\\.[0-9]*0\\b|(^|[^0-9])\\.[0-9]|\\bI?U\\b");
    std::set<long> seen;
    for (int n = 0; n < 2000 && !::testing::Test::HasFailure(); ++n) {
        state.settings.UseAbbreviations = n % 2 ? -1 : 0;
        const GeneratedQuestion q = makeUnitsQuestion(state);
        SCOPED_TRACE(q.solution);
        std::smatch m;
        const auto matched = std::find_if(std::begin(forms), std::end(forms),
            [&](const std::regex& f) { return std::regex_match(q.question, m, f); });
        ASSERT_NE(matched, std::end(forms));
        const auto f = matched - std::begin(forms);
        seen.insert(f);
        // Volumes as the settings choose; a rate stays ml/hr.
        static const std::regex word("millilitre"), symbol(" ml(?!/)");
        EXPECT_FALSE(std::regex_search(q.question, n % 2 ? word : symbol));
        EXPECT_FALSE(std::regex_search(q.question, unsafe) || std::regex_search(q.solution, unsafe));
        EXPECT_EQ(questionKind(q.question), kinds[f]);
        EXPECT_EQ(questionCategory(q.question), HeparinInsulinUnits);
        EXPECT_TRUE(accepts(answerRule(toleranceStyle(kinds[f]), q.answer), q.answer));
        double exact = 0;
        int decimals = 0;
        switch (f) {
        case 0: {
            const double dose = std::stod(m[1]), strength = std::stod(m[3]);
            const bool subcutaneous = m[2] == "subcutaneously";
            EXPECT_TRUE(subcutaneous ? dose == 5000 || dose == 7500 : dose >= 2000 && dose <= 5000) << dose;
            EXPECT_TRUE((subcutaneous ? std::set { 5000.0, 25000.0 } : std::set { 1000.0, 5000.0 }).contains(strength));
            exact = dose / strength;
            decimals = exact >= 1 ? 1 : 2;
            break;
        }
        case 1:
        case 2: {
            const std::pair bag { std::stod(m[1]), std::stod(m[2]) };
            EXPECT_TRUE(heparinBags.contains(bag));
            const double rate = std::stod(m[4]);
            exact = f == 1 ? rate / (bag.first / bag.second) : rate * bag.first / bag.second;
            const double unitsPerHour = f == 1 ? rate : exact;
            EXPECT_TRUE(unitsPerHour >= 500 && unitsPerHour <= 2000) << unitsPerHour;
            EXPECT_TRUE(f == 2 || std::fmod(rate, 50) == 0) << rate;
            EXPECT_TRUE(f == 1 || std::fmod(rate * 2, 1) == 0) << rate;
            decimals = f == 1 ? 1 : 0;
            break;
        }
        case 3: {
            const std::pair bag { std::stod(m[1]), std::stod(m[2]) };
            EXPECT_TRUE(insulinBags.contains(bag));
            const double rate = std::stod(m[4]);
            EXPECT_TRUE(rate >= 0.5 && rate <= 10 && std::fmod(rate * 2, 1) == 0) << rate;
            exact = rate / (bag.first / bag.second);
            decimals = 1;
            break;
        }
        default:
            exact = std::stod(m[2]) * 100;
            EXPECT_TRUE(exact >= 2 && exact <= 40) << exact;
            break;
        }
        EXPECT_DOUBLE_EQ(q.answer, rounded(exact, decimals)) << exact;
        const bool needsRounding = std::abs(exact - q.answer) > 1e-9;
        EXPECT_EQ(q.solution.find("needs no rounding.") == std::string::npos, needsRounding);
        if (needsRounding) {
            EXPECT_NE(q.solution.find(" is rounded up to " + formatNumber(q.answer)), std::string::npos);
        }
    }
    EXPECT_EQ(seen.size(), 5u);
}

// The kinds ask for the unit the student types after the number; "U" is not one of them.
TEST(UnitsKinds, AskedUnits)
{
    EXPECT_EQ(askedUnit(QuestionKind::UnitsPumpRate, "At what rate in ml/hr should the pump be set?"), "ml/hr");
    EXPECT_EQ(askedUnit(QuestionKind::UnitsPerHour, "How many units of heparin per hour?"), "units/hr");
    EXPECT_EQ(askedUnit(QuestionKind::InsulinUnits, "How many units will you draw up?"), "units");
    EXPECT_TRUE(readTypedAnswer("24 units", "units").accepted);
    EXPECT_TRUE(readTypedAnswer("1000 units per hour", "units/hr").accepted);
    EXPECT_FALSE(readTypedAnswer("24 U", "units").accepted);
    EXPECT_FALSE(readTypedAnswer("24 IU", "units").accepted);
}

} // namespace
} // namespace tb
