#include "core/questions/drug_questions.h"

#include "core/drugdb/drug_file.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

namespace tb {
namespace {

const std::string BR = "\r\n";
const std::string Dashes(37, '-');
const auto nbsp = [](std::size_t n) { return std::string(n, '\xA0'); };
const auto contains
    = [](const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; };

// A drug with one preparation in its first slot; the low dose and the strength share `unit`.
DrugRecord makeDrug(const std::string& name, double low, double high, std::int16_t highUnit, std::int16_t form,
    double strength, double volume = 0, double increment = 0, std::int16_t unit = Mg, bool halves = false)
{
    DrugRecord r;
    r.GenericName = name;
    std::tie(r.DoseRangeLow, r.DoseRangeHigh, r.DoseRangeLowUnit, r.DoseRangeHighUnit, r.FluidIncrement)
        = std::tuple { low, high, unit, highUnit, increment };
    std::tie(r.FormCode[0], r.Strength[0], r.Volume[0], r.HalfTablet[0])
        = std::tuple { form, strength, volume, halves };
    r.StrengthUnit.fill(unit);
    r.VolumeUnit.fill(Mg);
    r.DrugCategory = 1;
    return r;
}

class DrugQuestions : public ::testing::Test {
protected:
    // The drug becomes record 1; `record` is the only candidate.
    void use(const DrugRecord& drug, std::int16_t record = 1)
    {
        DrugFile(folder_.path()).write(1, drug);
        state_.CandidateRecords = { 0, record };
        state_.CandidateCount = 1;
    }
    DrugQuestionResult run(bool tablet) { return tablet ? makeTabletQuestion(state_) : makeFluidQuestion(state_); }
    GeneratedQuestion ask(bool tablet, std::vector<double> draws)
    {
        random_->setScript(std::move(draws));
        const DrugQuestionResult r = run(tablet);
        EXPECT_EQ(r.problem, "");
        return r.question.value_or(GeneratedQuestion {});
    }

    headless::TempFolder folder_;
    ScriptedRandom* random_ = new ScriptedRandom();
    AppState state_ { std::unique_ptr<RandomSource>(random_), folder_.path() };
};

const bool Tablets = true, Fluids = false;

// The question and its whole solution.
std::string whole(bool tablet, const std::string& question, const std::string& conversion, const std::string& working)
{
    const std::string formula = tablet
        ? "Required dose" + BR + "-----------------------" + BR + "Stock dose" + BR + "= Number of tablets to be given"
        : "Required dose      Stock Volume" + BR + "---------------------  X  --------------------" + BR
            + "Stock dose                     1       " + nbsp(1) + BR + "= Volume to be given";
    const std::string converted = conversion.empty()
        ? ""
        : "All units must be the same so the units of the stock dose is first converted to the units of the "
          "required dose: "
            + BR + "To convert " + conversion + BR + BR;
    return BR + question + "The question was:" + BR + question + BR + BR + "The formula to use is:" + BR + BR + formula
        + BR + BR + converted + "The numbers are now placed in the formula:" + BR + BR + working;
}

struct DrugCase {
    const char* name;
    bool tablet;
    DrugRecord drug;
    std::vector<double> draws;
    std::string text; // the question and the whole solution, or a part of them
    double answer;
    std::int16_t abbreviations = 1; // any value but 0 counts as on
};

class DrugQuestionText : public DrugQuestions, public ::testing::WithParamInterface<DrugCase> { };

TEST_P(DrugQuestionText, QuestionSolutionAndAnswer)
{
    const DrugCase& c = GetParam();
    use(c.drug);
    state_.settings.UseAbbreviations = c.abbreviations;
    const GeneratedQuestion q = ask(c.tablet, c.draws);
    EXPECT_TRUE(contains(q.question + q.solution, c.text)) << q.solution;
    EXPECT_NEAR(q.answer, c.answer, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Drugs, DrugQuestionText,
    ::testing::Values(
        DrugCase { "HalfTabletOrderedInGrams", Tablets, makeDrug("paracetamol", 250, 1, G, Tablet, 500, 0, 0, Mg, true),
            { drawFor(1, 1), drawFor(1, 1), drawFor(1, 2) },
            whole(Tablets,
                "A client is ordered 0.25 grams of paracetamol. 500 milligram tablets are available." + BR
                    + "How many tablets will you give?",
                "500 milligrams to grams" + BR + "the computer used the following formula:" + BR + BR
                    + "500 milligrams X 0.001 = 0.5 grams",
                "0.25 g (required dose)" + BR + Dashes + BR + "0.5 g (stock dose)" + BR + BR + " = 0.5 tablets"),
            0.5, 0 },
        DrugCase { "SuspensionAbbreviated", Fluids, makeDrug("amoxicillin", 125, 500, Mg, Suspension, 250, 5, 25),
            { 0.5, 0.5, drawFor(5, 10) },
            whole(Fluids,
                "A client is ordered 125 mg's of amoxicillin orally. 250 mg's in 5 ml's of suspension is available."
                    + BR + "How many ml's will you administer?",
                "",
                "125 mg (required dose)" + nbsp(7) + BR + Dashes + " X 5 ml" + BR + "250 mg (stock dose)" + nbsp(7) + BR
                    + BR + " = 0.5 X 5 = 2.5 ml."),
            2.5, -1 },
        // One tablet of the strength ordered (k = 1) is rejected and everything is drawn again.
        DrugCase { "OneTabletIsDrawnAgain", Tablets, makeDrug("paracetamol", 500, 2000, Mg, Tablet, 500),
            { 0.5, 0.5, drawFor(1, 4), 0.5, 0.5, drawFor(3, 4) }, "ordered 1500 mg's of paracetamol. 500 mg tablets",
            3.0 },
        DrugCase { "MicrogramCapsules", Tablets, makeDrug("levothyroxine", 25, 200, Mcg, Capsule, 50, 0, 0, Mcg),
            { 0.5, 0.5, drawFor(2, 4) },
            "100 \xB5g's of levothyroxine. 50 \xB5g capsules are available." + BR + "How many capsules will you give?",
            2 },
        DrugCase { "LiquidForteKeepsItsBlank", Fluids, makeDrug("drugname", 1, 1000, Mg, LiquidForte, 10, 1, 1),
            { 0.5, 0.5, 0.0 }, "of drugname orally. 10 mg's in 1 ml of liquid forte  is available.", 0.1 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DrugQuestions, TradeNamesOnlyWithTheOptionAtMinusOne)
{
    DrugRecord d = makeDrug("paracetamol", 1, 2, Mg, Tablet, 1);
    state_.settings.GenericAndTradeNames = -1;
    d.TradeName = { "Calpol", "Panadol   " };
    random_->setScript({ 0.4, 0.9 });
    EXPECT_EQ(pickDrugName(state_, d), "Calpol");
    EXPECT_EQ(pickDrugName(state_, d), "Panadol");
    state_.settings.GenericAndTradeNames = 1;
    EXPECT_EQ(pickDrugName(state_, d), "paracetamol");
}

// The slot is drawn among every tablet slot, usable or not: drawing the 1000 mg tablet, which no
// order within 10 to 100 mg can use, starts again from the drug.
TEST_F(DrugQuestions, UnusableTabletSlotIsDrawnAndRejected)
{
    DrugRecord drug = makeDrug("drugname", 10, 100, Mg, Tablet, 1000);
    std::tie(drug.FormCode[1], drug.Strength[1]) = std::tuple { Tablet, 25 };
    use(drug);
    const GeneratedQuestion q = ask(Tablets, { 0.5, drawFor(1, 2), 0.5, 0.5, drawFor(2, 2), drawFor(2, 4) });
    EXPECT_EQ(q.answer, 2.0);
    EXPECT_EQ(q.duplicateKeys[2], 1.0);
}

const double PerUnit[] = { 1000, 100, 10, 1, 0.1, 0.01, 0.001, 0.000001 }; // grams in one of each mass unit

struct BadDrug {
    const char* name;
    bool tablet;
    void (*spoil)(DrugRecord&);
    const char* reason;
    std::int16_t record = 1;
};

class BadDrugProblem : public DrugQuestions, public ::testing::WithParamInterface<BadDrug> { };

TEST_P(BadDrugProblem, NamesTheDrugAndTheReason)
{
    DrugRecord d = makeDrug("baddrug", 10, 100, Mg, Tablet, 10, 0, 5);
    std::tie(d.FormCode[1], d.Strength[1], d.Volume[1]) = std::tuple { Solution, 10, 5 };
    GetParam().spoil(d);
    use(d, GetParam().record);
    random_->setScript({ 0.5 });
    const DrugQuestionResult r = run(GetParam().tablet);
    EXPECT_FALSE(r.question.has_value());
    EXPECT_EQ(r.record, GetParam().record);
    EXPECT_TRUE(contains(r.problem, GetParam().record == 1 ? "baddrug (record 1)" : "record 7")) << r.problem;
    EXPECT_TRUE(contains(r.problem, GetParam().reason)) << r.problem;
}

INSTANTIATE_TEST_SUITE_P(Drugs, BadDrugProblem,
    ::testing::Values(
        BadDrug { "NoHighDose", Tablets, [](DrugRecord& d) { d.DoseRangeHigh = 0; }, "highest single dose is 0" },
        BadDrug { "HighDoseNaN", Tablets, [](DrugRecord& d) { d.DoseRangeHigh = std::nan(""); },
            "highest single dose is not" },
        BadDrug { "NoFluidStep", Fluids, [](DrugRecord& d) { d.FluidIncrement = 0; }, "fluid dose step is 0" },
        BadDrug { "NoTablet", Tablets, [](DrugRecord& d) { d.Strength[0] = 0; }, "no tablet or capsule" },
        BadDrug { "PastTheEnd", Tablets, [](DrugRecord&) {}, "past the end", 7 }),
    [](const auto& info) { return std::string(info.param.name); });

class SampleDatabase : public ::testing::TestWithParam<bool> { };

// Seeded; TB_SWEEP_SEED repeats a failed run.
TEST_P(SampleDatabase, ManyQuestionsAllConsistent)
{
    const bool tablet = GetParam();
    const char* given = std::getenv("TB_SWEEP_SEED");
    const std::uint64_t seed = given ? std::stoull(given) : std::random_device {}();
    SCOPED_TRACE("TB_SWEEP_SEED=" + std::to_string(seed));
    headless::TempFolder folder;
    folder.copySampleDatabase(TB_SAMPLE_DIR);
    AppState state(std::make_unique<SeededRandom>(seed), folder.path());
    const std::string file = tablet ? "mxdbs1.idx" : "mxdbs2.idx";
    const DrugIndex index = parseIndexFile(folder.read(file), file);
    state.CandidateRecords = index.record;
    state.CandidateCount = index.count;
    for (int i = 0; i < 2000 && !::testing::Test::HasFailure(); ++i) {
        state.settings.UseAbbreviations = static_cast<std::int16_t>(i % 2 ? -1 : 0);
        state.settings.GenericAndTradeNames = static_cast<std::int16_t>(i % 3 ? -1 : 0);
        const DrugQuestionResult r = tablet ? makeTabletQuestion(state) : makeFluidQuestion(state);
        ASSERT_TRUE(r.question.has_value()) << r.problem;
        const GeneratedQuestion& q = *r.question;
        SCOPED_TRACE(q.question);
        const DrugRecord d = readDrugRecord(folder.path(), r.record);
        const auto slot = static_cast<std::size_t>(*q.duplicateKeys[2]);
        const std::size_t at = q.question.find("A client is ordered ") + 20;
        const std::string dose = q.question.substr(at, q.question.find(' ', at) - at);
        // Both doses in the unit of the highest dose.
        const double required = std::stod(dose), high = PerUnit[d.DoseRangeHighUnit];
        const double stock = d.Strength[slot] * PerUnit[d.StrengthUnit[slot]] / high;
        EXPECT_NEAR(q.answer, required / stock * (tablet ? 1 : d.Volume[slot]), 1e-9);
        EXPECT_LE(q.answer, tablet || d.FormCode[slot] <= Elixir ? 5.0 + 1e-12 : 3.0 + 1e-12);
        EXPECT_LE(required, d.DoseRangeHigh * (1 + 1e-12));
        if (tablet) {
            EXPECT_NEAR(q.answer * 2, std::round(q.answer * 2), 1e-9) << "whole or half tablets";
            EXPECT_GE(required, d.DoseRangeLow * PerUnit[d.DoseRangeLowUnit] / high * (1 - 1e-12));
        }
        EXPECT_TRUE(q.answer > 0 && !contains(q.solution, " = " + BR)) << q.solution;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SampleDatabase, ::testing::Values(Tablets, Fluids),
    [](const auto& info) { return std::string(info.param ? "Tablets" : "Fluids"); });

} // namespace
} // namespace tb
