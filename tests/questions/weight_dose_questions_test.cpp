#include "core/questions/weight_dose_questions.h"

#include "core/export/answer_rule.h"
#include "core/foundation/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace tb {
namespace {

using Script = std::vector<double>;

// The draws in the generator's order: the form, the drug, the weight (tenths of a kg from 3 kg),
// the end of the range, then the liquid or the overdose's percentage above the largest safe dose.
const auto form = [](WeightDoseForm f) { return drawFor(static_cast<int>(f), WeightDoseFormCount); };
const auto drug = [](int k, int n) { return drawFor(k, n); };
const auto kg = [](double weight) { return drawFor(static_cast<int>(std::lround(weight * 10)) - 29, 371); };
const auto low = drawFor(1, 2);
const auto high = drawFor(2, 2);
const auto liquid = [](int k, int n) { return drawFor(k, n); };
const auto above = [](int percent) { return drawFor(percent - 9, 41); };

WeightDoseDrug makeDrug(const std::string& name, double lowPerKg, double highPerKg, int doses, double maxMg,
    std::vector<std::pair<double, double>> liquids)
{
    WeightDoseDrug d;
    d.dose = { name, lowPerKg, highPerKg, doses, "BNF for Children 2024-25" };
    d.record = 7;
    d.drug.GenericName = name;
    d.drug.DoseRangeHigh = maxMg;
    d.drug.DoseRangeHighUnit = Mg;
    for (std::size_t i = 0; i < liquids.size(); ++i) {
        d.drug.FormCode[i] = Suspension;
        d.drug.Strength[i] = liquids[i].first;
        d.drug.StrengthUnit[i] = Mg;
        d.drug.Volume[i] = liquids[i].second;
    }
    return d;
}

const std::vector<WeightDoseDrug> Drugs { makeDrug("paracetamol", 10, 15, 0, 1000, { { 120, 5 }, { 250, 5 } }),
    makeDrug("ibuprofen", 20, 30, 3, 400, { { 100, 5 } }),
    makeDrug("ondansetron", 0.1, 0.15, 0, 4, { { 4, 5 }, { 2, 1 } }) };

struct Scripted {
    const char* name;
    Script script;
    bool millilitres;
    std::string question;
    std::string solutionEnd;
    double answer;
};

class ScriptedWeightDose : public ::testing::TestWithParam<Scripted> { };

TEST_P(ScriptedWeightDose, QuestionSolutionAndAnswer)
{
    const Scripted& c = GetParam();
    AppState state(std::make_unique<ScriptedRandom>(c.script));
    state.settings.UseAbbreviations = c.millilitres ? 0 : -1;
    const DrugQuestionResult r = makeWeightDoseQuestion(state, Drugs);
    ASSERT_TRUE(r.question) << r.problem;
    EXPECT_EQ(r.question->question, c.question);
    EXPECT_TRUE(r.question->solution.starts_with("The Question was :\r\n" + c.question + "\r\n\r\n"));
    EXPECT_TRUE(r.question->solution.ends_with(c.solutionEnd)) << r.question->solution;
    EXPECT_EQ(r.question->answer, c.answer);
}

const std::string Child = "A child weighing ";

INSTANTIATE_TEST_SUITE_P(Forms, ScriptedWeightDose,
    ::testing::Values(
        Scripted { "DosePerKg", { form(WeightDoseForm::DosePerKg), drug(1, 2), kg(18.4), high }, false,
            Child + "18.4 kg is prescribed paracetamol 15 mg/kg per dose. How many mg is one dose?",
            "One dose is 18.4 (kg) X 15 (mg/kg) = 276 (mg)\r\n\r\nRule: a dose of 10 mg or more is rounded to a "
            "whole number of mg. 276 mg needs no rounding.",
            276 },
        Scripted { "DosePerKgRoundedUp", { form(WeightDoseForm::DosePerKg), drug(1, 2), kg(13.7), high }, false,
            Child + "13.7 kg is prescribed paracetamol 15 mg/kg per dose. How many mg is one dose?",
            "205.5 mg is rounded to 206 mg.", 206 },
        Scripted { "SmallDoseOneDecimal", { form(WeightDoseForm::DosePerKg), drug(2, 2), kg(20.3), high }, false,
            Child + "20.3 kg is prescribed ondansetron 0.15 mg/kg per dose. How many mg is one dose?",
            "Rule: a dose below 10 mg is rounded to 1 decimal place. 3.045 mg is rounded to 3 mg.", 3 },
        Scripted { "CappedAtAdultMaximum", { form(WeightDoseForm::DosePerKg), drug(2, 2), kg(30), high }, false,
            Child + "30 kg is prescribed ondansetron 0.15 mg/kg per dose. How many mg is one dose?",
            "The calculated dose of 4.5 mg is more than the adult single-dose maximum of 4 mg, so the dose is "
            "capped at 4 mg.",
            4 },
        Scripted { "DailyDivided", { form(WeightDoseForm::DailyDivided), drug(1, 1), kg(18.4), high }, false,
            Child + "18.4 kg is prescribed ibuprofen 30 mg/kg/day in 3 divided doses. How many mg per dose?",
            "The daily dose is 18.4 (kg) X 30 (mg/kg/day) = 552 (mg/day)\r\nOne dose is 552 (mg/day) / 3 (doses) "
            "= 184 (mg)\r\n\r\nRule: a dose of 10 mg or more is rounded to a whole number of mg. 184 mg needs no "
            "rounding.",
            184 },
        Scripted { "Volume", { form(WeightDoseForm::LiquidVolume), drug(1, 3), kg(18.4), high, liquid(1, 2) }, false,
            Child
                + "18.4 kg is prescribed paracetamol 15 mg/kg per dose. Paracetamol 120 mg in 5 ml is available. "
                  "How many ml will you give?",
            "The volume is 276 (mg) / 120 (mg) X 5 (ml) = 11.5 (ml)\r\n\r\nRule: a volume of 1 ml or more is "
            "rounded to 1 decimal place. 11.5 ml needs no rounding.",
            11.5 },
        Scripted { "VolumeFromOneMillilitre",
            { form(WeightDoseForm::LiquidVolume), drug(3, 3), kg(6.3), low, liquid(2, 2) }, true,
            Child
                + "6.3 kg is prescribed ondansetron 0.1 mg/kg per dose. Ondansetron 2 mg in 1 millilitre is "
                  "available. How many millilitres will you give?",
            "Rule: a volume below 1 ml is rounded to 2 decimal places. 0.315 ml is rounded to 0.32 ml.", 0.32 },
        Scripted { "VolumeBelowOneMl", { form(WeightDoseForm::LiquidVolume), drug(3, 3), kg(6.3), low, liquid(1, 2) },
            true,
            Child
                + "6.3 kg is prescribed ondansetron 0.1 mg/kg per dose. Ondansetron 4 mg in 5 millilitres is "
                  "available. How many millilitres will you give?",
            "One dose is 6.3 (kg) X 0.1 (mg/kg) = 0.63 (mg)\r\n\r\nThe dose is not rounded: only the volume to give is "
            "rounded.\r\n\r\nThe volume is 0.63 (mg) / 4 (mg) X 5 (ml) = 0.7875 (ml)\r\n\r\nRule: a volume below 1 ml "
            "is "
            "rounded to 2 decimal places. 0.7875 ml is rounded to 0.79 ml.",
            0.79 },
        Scripted { "VolumeOfDailyDose", { form(WeightDoseForm::LiquidVolume), drug(2, 3), kg(9.9), low, liquid(1, 1) },
            false,
            Child
                + "9.9 kg is prescribed ibuprofen 20 mg/kg/day in 3 divided doses. Ibuprofen 100 mg in 5 ml is "
                  "available. How many ml will you give for one dose?",
            "= 66 (mg)\r\n\r\nThe dose is not rounded: only the volume to give is rounded.\r\n\r\nThe volume is 66 "
            "(mg) / "
            "100 (mg) X 5 (ml) = 3.3 (ml)\r\n\r\nRule: a "
            "volume of 1 ml or more is rounded to 1 decimal place. 3.3 ml needs no rounding.",
            3.3 },
        Scripted { "LargestSafeDose", { form(WeightDoseForm::LargestSafeDose), drug(1, 3), kg(18.4), low }, false,
            Child
                + "18.4 kg is prescribed paracetamol. The safe dose is 10\x96"
                  "15 mg/kg per dose. What is the largest safe single dose in mg?",
            "276 mg needs no rounding.", 276 },
        Scripted { "Overdose", { form(WeightDoseForm::Overdose), drug(2, 3), kg(18.4), low, above(20) }, false,
            Child
                + "18.4 kg is prescribed ibuprofen 225 mg per dose. The safe dose is 20\x96"
                  "30 mg/kg/day in 3 divided doses. By how many mg does the prescribed dose exceed the largest "
                  "safe single dose?",
            "The excess is 225 (mg) - 184 (mg) = 41 (mg)", 41 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WeightDoseQuestion, FormWithoutAFittingDrugPassesToTheNextAndNoDrugIsAProblem)
{
    // Only a per-dose drug without a liquid: the daily form falls to the liquid one, then to the largest dose.
    const std::vector<WeightDoseDrug> one { makeDrug("paracetamol", 15, 15, 0, 1000, {}) };
    AppState state(std::make_unique<ScriptedRandom>(Script { form(WeightDoseForm::DailyDivided), 0.0, kg(20), low }));
    const DrugQuestionResult r = makeWeightDoseQuestion(state, one);
    ASSERT_TRUE(r.question);
    EXPECT_NE(r.question->question.find("The safe dose is 15 mg/kg per dose. What is the largest"), std::string::npos);
    EXPECT_EQ(r.question->answer, 300);

    WeightDoseDrug unknownUnit = one.front();
    unknownUnit.drug.DoseRangeHighUnit = 9;
    EXPECT_FALSE(makeWeightDoseQuestion(state, { unknownUnit }).question);
    EXPECT_FALSE(makeWeightDoseQuestion(state, {}).problem.empty());
}

// Re-solves every answer from the numbers in the question's own text.
double resolve(const std::string& q, double& unrounded)
{
    std::smatch m;
    const auto number = [&](int i) { return std::stod(m[i].str()); };
    EXPECT_TRUE(std::regex_search(q, m, std::regex("weighing ([0-9.]+) kg")));
    const double weight = number(1);
    EXPECT_EQ(std::round(weight * 10) / 10, weight);
    const bool daily = q.find("/day in ") != std::string::npos;
    double doses = 1;
    if (daily) {
        EXPECT_TRUE(std::regex_search(q, m, std::regex("/day in ([0-9]+) divided")));
        doses = number(1);
    }
    if (std::regex_search(q, m, std::regex("safe dose is (?:[0-9.]+\x96)?([0-9.]+) mg/kg"))) {
        unrounded = weight * number(1) / doses;
        if (std::regex_search(q, m, std::regex("prescribed [a-z ]+ ([0-9.]+) mg per dose")))
            return number(1);
        return -1;
    }
    EXPECT_TRUE(std::regex_search(q, m, std::regex("prescribed [a-z ]+ ([0-9.]+) mg/kg")));
    unrounded = weight * number(1) / doses;
    if (std::regex_search(q, m, std::regex("([0-9.]+) mg in ([0-9.]+) ml is available")))
        return -2 - number(1) / number(2); // mg per ml, flagged negative
    return 0;
}

double roundedDose(double mg, double maximum)
{
    if (mg > maximum)
        return maximum;
    return mg < 10 ? std::round(mg * 10 + 1e-9) / 10 : std::round(mg + 1e-9);
}

TEST(WeightDoseQuestion, SeededSweepReSolvesEachAnswerFromTheQuestion)
{
    const char* given = std::getenv("TB_SWEEP_SEED");
    const std::uint64_t seed = given ? std::stoull(given) : std::random_device {}();
    SCOPED_TRACE("TB_SWEEP_SEED=" + std::to_string(seed));
    AppState state(std::make_unique<SeededRandom>(seed));
    state.settings.UseAbbreviations = -1;
    std::vector<int> seen(WeightDoseFormCount + 1, 0);
    for (int n = 0; n < 400 && !::testing::Test::HasFailure(); ++n) {
        const DrugQuestionResult r = makeWeightDoseQuestion(state, Drugs);
        ASSERT_TRUE(r.question) << r.problem;
        const std::string& q = r.question->question;
        SCOPED_TRACE(q);
        const double answer = r.question->answer;
        const double maximum = q.find("ibuprofen") != std::string::npos ? 400
            : q.find("ondansetron") != std::string::npos                ? 4
                                                                        : 1000;
        double unrounded = 0;
        const double flag = resolve(q, unrounded);
        const double dose = roundedDose(unrounded, maximum);
        EXPECT_GT(answer, 0);
        if (flag <= -2) {
            ++seen[3];
            EXPECT_EQ(questionKind(q), QuestionKind::DoseVolume);
            // The volume of the dose as calculated (capped, never rounded first).
            const double ml = std::min(unrounded, maximum) / -(flag + 2);
            const double rounded = ml < 1 ? std::round(ml * 100 + 1e-9) / 100 : std::round(ml * 10 + 1e-9) / 10;
            EXPECT_NEAR(answer, rounded, 1e-9);
            EXPECT_TRUE(answer >= 0.1 && answer <= 30);
            continue;
        }
        EXPECT_EQ(questionKind(q), QuestionKind::WeightDose);
        EXPECT_LE(answer, maximum);
        if (flag == 0) {
            ++seen[q.find("/day in ") != std::string::npos ? 2 : 1];
            EXPECT_NEAR(answer, dose, 1e-9);
        } else if (flag == -1) {
            ++seen[4];
            EXPECT_NEAR(answer, dose, 1e-9);
        } else {
            ++seen[5];
            EXPECT_NEAR(answer, flag - dose, 1e-9);
            // Worked from the unrounded largest dose and rounded once, the excess is the same.
            if (unrounded <= maximum) {
                EXPECT_NEAR(answer, roundedDose(flag - unrounded, 1e9), 1e-9);
            }
            EXPECT_GE(flag, dose * 1.1 - 1e-9);
        }
    }
    for (int f = 1; f <= WeightDoseFormCount; ++f)
        EXPECT_GT(seen[static_cast<std::size_t>(f)], 0) << "form " << f;
}

} // namespace
} // namespace tb
