#include "questions/drug_questions.h"

#include "drugdb/drug_file.h"
#include "startup/startup_loader.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
    r.DoseRangeLow = low;
    r.DoseRangeHigh = high;
    r.DoseRangeLowUnit = unit;
    r.DoseRangeHighUnit = highUnit;
    r.FluidIncrement = increment;
    r.FormCode[0] = form;
    r.Strength[0] = strength;
    r.Volume[0] = volume;
    r.HalfTablet[0] = halves;
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

    testing::TempFolder folder_;
    ScriptedRandom* random_ = new ScriptedRandom();
    AppState state_ { std::unique_ptr<RandomSource>(random_), folder_.path() };
};

const bool Tablets = true, Fluids = false;
// 10 mg in 1 ml of a fluid form, from 1 to 1000 mg in steps of 1 mg.
const auto fluidDrug = [](std::int16_t form) { return makeDrug("drugname", 1, 1000, Mg, form, 10, 1, 1); };

TEST_F(DrugQuestions, WholeTexts)
{
    const auto converted = [](const std::string& from, const std::string& line) {
        return "All units must be the same so the units of the stock dose is first converted to the units of the "
               "required dose: "
            + BR + "To convert " + from + BR + "the computer used the following formula:" + BR + BR + line + BR + BR;
    };
    const std::string tabletFormula = "Required dose" + BR + "-----------------------" + BR + "Stock dose" + BR
        + "= Number of tablets to be given" + BR + BR;
    const std::string fluidFormula = "Required dose      Stock Volume" + BR
        + "---------------------  X  --------------------" + BR + "Stock dose                     1       " + nbsp(1)
        + BR + "= Volume to be given" + BR + BR;
    // Each case: tablet or fluid, the drug, abbreviations, the draws, the question, the conversion, the working.
    for (const auto& [tablet, drug, abbreviations, draws, question, conversion, working, answer] : {
             // Half a 500 mg tablet, ordered in grams (k = 1 of 2).
             std::tuple { Tablets, makeDrug("paracetamol", 250, 1, G, Tablet, 500, 0, 0, Mg, true), 0,
                 std::vector { drawFor(1, 1), drawFor(1, 1), drawFor(1, 2) },
                 "A client is ordered 0.25 grams of paracetamol. 500 milligram tablets are available." + BR
                     + "How many tablets will you give?",
                 converted("500 milligrams to grams", "500 milligrams X 0.001 = 0.5 grams"),
                 "0.25 g (required dose)" + BR + Dashes + BR + "0.5 g (stock dose)" + BR + BR + " = 0.5 tablets", 0.5 },
             { Fluids, makeDrug("amoxicillin", 125, 500, Mg, Suspension, 250, 5, 25), -1, { 0.5, 0.5, drawFor(5, 10) },
                 "A client is ordered 125 mg's of amoxicillin orally. 250 mg's in 5 ml's of suspension is available."
                     + BR + "How many ml's will you administer?",
                 "",
                 "125 mg (required dose)" + nbsp(7) + BR + Dashes + " X 5 ml" + BR + "250 mg (stock dose)" + nbsp(7)
                     + BR + BR + " = 0.5 X 5 = 2.5 ml.",
                 2.5 },
             { Fluids, makeDrug("amoxicillin", 125, 1, G, Suspension, 250, 5, 0.025), 0, { 0.5, 0.5, 0.0 },
                 "A client is ordered 0.025 grams of amoxicillin orally. 250 milligrams in 5 millilitres of suspension "
                 "is available."
                     + BR + "How many millilitres will you administer?",
                 converted("250 milligrams to grams", "250 milligrams X 0.001 = 0.25 grams"),
                 "0.025 g (required dose)" + nbsp(7) + BR + Dashes + " X 5 ml" + BR + "0.25 g (stock dose)" + nbsp(7)
                     + BR + BR + " = 0.1 X 5 = 0.5 ml.",
                 0.5 },
         }) {
        use(drug);
        state_.settings.UseAbbreviations = static_cast<std::int16_t>(abbreviations);
        const GeneratedQuestion q = ask(tablet, draws);
        EXPECT_EQ(q.question, BR + question);
        EXPECT_EQ(q.solution,
            "The question was:" + BR + question + BR + BR + "The formula to use is:" + BR + BR
                + (tablet ? tabletFormula : fluidFormula) + conversion
                + "The numbers are now placed in the formula:" + BR + BR + working);
        EXPECT_NEAR(q.answer, answer, 1e-12);
    }
}

TEST_F(DrugQuestions, NamesAndPhrases)
{
    DrugRecord d = makeDrug("paracetamol", 1, 2, Mg, Tablet, 1);
    state_.settings.GenericAndTradeNames = -1;
    random_->setScript({ 0.99 });
    EXPECT_EQ(pickDrugName(state_, d), "paracetamol"); // no trade names: always the generic name
    d.TradeName = { "Calpol", "Panadol   " };
    for (const auto& [draw, name] : { std::pair { 0.3, "paracetamol" }, { 0.4, "Calpol" }, { 0.9, "Panadol" } }) {
        random_->setScript({ draw });
        EXPECT_EQ(pickDrugName(state_, d), name) << draw;
    }
    state_.settings.GenericAndTradeNames = 1; // only -1 switches the option on
    EXPECT_EQ(pickDrugName(state_, d), "paracetamol");

    state_.settings.UseAbbreviations = 1; // any value but 0 counts as on
    // Each case: tablet or fluid, the drug, the draws, a part of the question or solution, the answer.
    for (const auto& [tablet, drug, draws, part, answer] : {
             // One tablet of the strength ordered (k = 1) is rejected and everything is drawn again.
             std::tuple { Tablets, makeDrug("paracetamol", 500, 2000, Mg, Tablet, 500),
                 std::vector { 0.5, 0.5, drawFor(1, 4), 0.5, 0.5, drawFor(3, 4) },
                 std::string("ordered 1500 mg's of paracetamol. 500 mg tablets"), 3.0 },
             { Tablets, makeDrug("levothyroxine", 25, 200, Mcg, Capsule, 50, 0, 0, Mcg), { 0.5, 0.5, drawFor(2, 4) },
                 "100 \xB5g's of levothyroxine. 50 \xB5g capsules are available." + BR
                     + "How many capsules will you give?",
                 2 },
             { Fluids, makeDrug("haloperidol", 0.5, 5, Mg, Solution, 1, 1, 0.5), { 0.5, 0.5, drawFor(2, 10) },
                 "ordered 1 mg of haloperidol orally. 1 mg in 1 ml of solution is available.", 1 },
             // " X 0.5 ml" is nine characters long.
             { Fluids, makeDrug("enoxaparin", 20, 40, Mg, SCInjection, 20, 0.5, 20), { 0.5, 0.5, 0.0 },
                 BR + "20 mg (required dose)" + nbsp(9) + BR + Dashes + " X 0.5 ml" + BR + "20 mg (stock dose)"
                     + nbsp(9) + BR,
                 0.5 },
             // Doses above the 100 mg range are drawn again.
             { Fluids, makeDrug("amoxicillin", 125, 100, Mg, Suspension, 250, 5, 25),
                 { 0.5, 0.5, drawFor(7, 10), drawFor(10, 10), drawFor(3, 10) }, "ordered 75 mg's of amoxicillin", 1.5 },
             { Fluids, fluidDrug(LiquidForte), { 0.5, 0.5, 0.0 },
                 "of drugname orally. 10 mg's in 1 ml of liquid forte  is available.", 0.1 },
         }) {
        use(drug);
        const GeneratedQuestion q = ask(tablet, draws);
        EXPECT_TRUE(contains(q.question + q.solution, part)) << q.question << q.solution;
        EXPECT_NEAR(q.answer, answer, 1e-12) << part;
    }
}

// At most 5 tablets (2.5 when halves are allowed), 5 ml of an oral fluid, 3 ml of an injection.
TEST_F(DrugQuestions, FluidVolumesAndLargestAnswers)
{
    use(makeDrug("amoxicillin", 125, 500, Mg, Suspension, 250, 5, 25)); // steps of 0.5 ml
    std::vector<double> answers;
    for (int k = 1; k <= 10; ++k)
        answers.push_back(ask(Fluids, { 0.5, 0.5, drawFor(k, 10) }).answer);
    EXPECT_EQ(answers, (std::vector<double> { 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5 }));

    for (const auto& [tablet, drug, cap] :
        { std::tuple { Tablets, makeDrug("codeine", 50, 1200, Mg, Tablet, 100), 5.0 },
            { Tablets, makeDrug("codeine", 50, 1200, Mg, Tablet, 100, 0, 0, Mg, true), 2.5 },
            { Fluids, fluidDrug(Solution), 5.0 }, { Fluids, fluidDrug(IMInjection), 3.0 } }) {
        use(drug);
        double most = 0;
        for (int i = 0; i < 200; ++i)
            most = std::max(most, ask(tablet, { 0.5, 0.5, (i + 0.5) / 200, 0.5, 0.5, 0.99 }).answer);
        EXPECT_EQ(most, cap) << drug.FormCode[0];
    }
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

TEST_F(DrugQuestions, BadDrugsGiveAProblemNamingTheDrug)
{
    using Spoil = void (*)(DrugRecord&);
    // Each case: tablet or fluid, what is wrong with the drug, the reason given, the record drawn.
    for (const auto& [tablet, spoil, reason, record] : {
             std::tuple<bool, Spoil, const char*, std::int16_t> {
                 Tablets, [](DrugRecord& d) { d.DoseRangeHigh = 0; }, "highest single dose is 0", 1 },
             { Tablets, [](DrugRecord& d) { d.DoseRangeHigh = std::nan(""); }, "highest single dose is not", 1 },
             { Fluids, [](DrugRecord& d) { d.FluidIncrement = 0; }, "fluid dose step is 0", 1 },
             { Fluids, [](DrugRecord& d) { d.Volume[1] = 0; }, "volume above 0", 1 },
             { Fluids, [](DrugRecord& d) { d.Strength[1] = std::nan(""); }, "no liquid preparation", 1 },
             { Tablets, [](DrugRecord& d) { d.Strength[0] = 0; }, "no tablet or capsule", 1 },
             { Tablets, [](DrugRecord&) {}, "past the end", 7 },
         }) {
        DrugRecord d = makeDrug("baddrug", 10, 100, Mg, Tablet, 10, 0, 5);
        std::tie(d.FormCode[1], d.Strength[1], d.Volume[1]) = std::tuple { Solution, 10, 5 };
        spoil(d);
        use(d, record);
        random_->setScript({ 0.5 });
        const DrugQuestionResult r = run(tablet);
        EXPECT_FALSE(r.question.has_value());
        EXPECT_EQ(r.record, record);
        EXPECT_TRUE(contains(r.problem, record == 1 ? "baddrug (record 1)" : "record 7")) << r.problem;
        EXPECT_TRUE(contains(r.problem, reason)) << r.problem;
    }
}

const double PerUnit[] = { 1000, 100, 10, 1, 0.1, 0.01, 0.001, 0.000001 }; // grams in one of each mass unit

TEST(SampleDatabase, ManyQuestionsAllConsistent)
{
    testing::TempFolder folder;
    folder.copySampleDatabase(TB_SAMPLE_DIR);
    AppState state(std::make_unique<ProductionRandom>(), folder.path());
    for (const bool tablet : { Tablets, Fluids }) {
        const std::string file = tablet ? "mxdbs1.idx" : "mxdbs2.idx";
        const DrugIndex index = parseIndexFile(folder.read(file), file);
        state.CandidateRecords = index.record;
        state.CandidateCount = index.count;
        for (int i = 0; i < 3000 && !::testing::Test::HasFailure(); ++i) {
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
            ASSERT_FALSE(dose.empty());
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
            EXPECT_TRUE(q.answer > 0 && std::isfinite(q.answer));
            std::string text = q.question + q.solution;
            std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
            EXPECT_FALSE(contains(text, "nan") || contains(text, "inf") || contains(text, " = " + BR)) << text;
        }
    }
}

} // namespace
} // namespace tb
