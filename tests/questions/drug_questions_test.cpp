#include "questions/drug_questions.h"

#include "drugdb/drug_file.h"
#include "startup/number_format.h"
#include "startup/startup_loader.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace tb {
namespace {

using testing::TempFolder;

const std::string BR = "\r\n";
const std::string NBSP = "\xA0";

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

DrugRecord makeDrug(const std::string& name, double low, std::int16_t lowUnit, double high, std::int16_t highUnit)
{
    DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = low;
    r.DoseRangeLowUnit = lowUnit;
    r.DoseRangeHigh = high;
    r.DoseRangeHighUnit = highUnit;
    r.StrengthUnit.fill(Mg);
    r.VolumeUnit.fill(Mg);
    r.DrugCategory = 1;
    return r;
}

void setSlot(DrugRecord& r, int i, std::int16_t form, double strength, std::int16_t unit, double volume = 0.0,
    bool halves = false)
{
    const auto s = static_cast<std::size_t>(i);
    r.FormCode[s] = form;
    r.Strength[s] = strength;
    r.StrengthUnit[s] = unit;
    r.Volume[s] = volume;
    r.HalfTablet[s] = halves ? 1 : 0;
}

class DrugQuestionsTest : public ::testing::Test {
protected:
    DrugQuestionsTest()
    {
        auto random = std::make_unique<ScriptedRandom>();
        random_ = random.get();
        state_ = std::make_unique<AppState>(std::move(random), folder_.path());
    }

    void writeDrugs(const std::vector<DrugRecord>& drugs)
    {
        DrugFile file(folder_.path());
        for (std::size_t i = 0; i < drugs.size(); ++i)
            file.write(static_cast<int>(i + 1), drugs[i]);
    }

    void candidates(const std::vector<std::int16_t>& records)
    {
        state_->CandidateRecords = { 0 };
        state_->CandidateRecords.insert(state_->CandidateRecords.end(), records.begin(), records.end());
        state_->CandidateCount = static_cast<int>(records.size());
    }

    /// One drug as the only candidate, with the draws given.
    void single(const DrugRecord& drug, std::vector<double> draws)
    {
        writeDrugs({ drug });
        candidates({ 1 });
        random_->setScript(std::move(draws));
    }

    GeneratedQuestion tablet()
    {
        DrugQuestionResult r = makeTabletQuestion(*state_);
        EXPECT_EQ(r.problem, "");
        EXPECT_TRUE(r.question.has_value());
        return r.question.value_or(GeneratedQuestion {});
    }

    GeneratedQuestion fluid()
    {
        DrugQuestionResult r = makeFluidQuestion(*state_);
        EXPECT_EQ(r.problem, "");
        EXPECT_TRUE(r.question.has_value());
        return r.question.value_or(GeneratedQuestion {});
    }

    TempFolder folder_;
    ScriptedRandom* random_ = nullptr;
    std::unique_ptr<AppState> state_;
};

// ---- Tablets ----

DrugRecord paracetamolOneGram()
{
    DrugRecord d = makeDrug("paracetamol", 250, Mg, 1, G);
    setSlot(d, 0, Tablet, 500, Mg, 0, true);
    return d;
}

TEST_F(DrugQuestionsTest, TabletWithConversionWholeTexts)
{
    // Drug, slot, then k = 1 of MaxCount 2: half a 500 mg tablet, ordered in grams.
    single(paracetamolOneGram(), { drawFor(1, 1), drawFor(1, 1), drawFor(1, 2) });
    const GeneratedQuestion q = tablet();
    const std::string question = BR
        + "A client is ordered 0.25 grams of paracetamol. 500 milligram tablets are available." + BR
        + "How many tablets will you give?";
    EXPECT_EQ(q.question, question);
    EXPECT_EQ(q.answer, 0.5);
    EXPECT_EQ(q.solution,
        "The question was:" + question + BR + BR + "The formula to use is:" + BR + BR + "Required dose" + BR
            + "-----------------------" + BR + "Stock dose" + BR + "= Number of tablets to be given" + BR + BR
            + "All units must be the same so the units of the stock dose is first converted to the units of the "
              "required dose: "
            + BR + "To convert 500 milligrams to grams" + BR + "the computer used the following formula:" + BR + BR
            + "500 milligrams X 0.001 = 0.5 grams" + BR + BR + "The numbers are now placed in the formula:" + BR + BR
            + "0.25 g (required dose)" + BR + "-------------------------------------" + BR + "0.5 g (stock dose)" + BR
            + BR + " = 0.5 tablets");
    EXPECT_EQ(q.duplicateKeys[0], 0.5);
    EXPECT_EQ(q.duplicateKeys[1], 1.0);
    EXPECT_EQ(q.duplicateKeys[2], 0.0);
    // Drug, slot and dose draws each follow a reseed; the name is not drawn with the option off.
    EXPECT_EQ(random_->reseeds(), 3);
    EXPECT_EQ(random_->draws(), 3u);
}

TEST_F(DrugQuestionsTest, TabletWithConversionAcceptsOneWholeTablet)
{
    single(paracetamolOneGram(), { drawFor(1, 1), drawFor(1, 1), drawFor(2, 2) });
    const GeneratedQuestion q = tablet();
    EXPECT_EQ(q.answer, 1.0);
    EXPECT_NE(q.question.find("ordered 0.5 grams of"), std::string::npos);
}

DrugRecord paracetamolTwoGrams()
{
    DrugRecord d = makeDrug("paracetamol", 500, Mg, 2000, Mg);
    setSlot(d, 0, Tablet, 500, Mg);
    return d;
}

TEST_F(DrugQuestionsTest, TabletWithoutConversionWholeTextsAndOneTabletRejected)
{
    state_->settings.UseAbbreviations = 1; // any value but 0 counts as on
    // k = 1 (one tablet of the strength ordered) is rejected and everything is drawn again.
    single(paracetamolTwoGrams(), { 0.5, 0.5, drawFor(1, 4), 0.5, 0.5, drawFor(3, 4) });
    const GeneratedQuestion q = tablet();
    const std::string question = BR + "A client is ordered 1500 mg's of paracetamol. 500 mg tablets are available." + BR
        + "How many tablets will you give?";
    EXPECT_EQ(q.question, question);
    EXPECT_EQ(q.answer, 3.0);
    EXPECT_EQ(q.solution,
        "The question was:" + question + BR + BR + "The formula to use is:" + BR + BR + "Required dose" + BR
            + "-----------------------" + BR + "Stock dose" + BR + "= Number of tablets to be given" + BR + BR
            + "The numbers are now placed in the formula:" + BR + BR + "1500 mg (required dose)" + BR
            + "-------------------------------------" + BR + "500 mg (stock dose)" + BR + BR + " = 3 tablets");
    EXPECT_EQ(random_->reseeds(), 6);
}

TEST_F(DrugQuestionsTest, TabletSweepNeverAsksForOneTabletOfTheOrderedStrength)
{
    single(paracetamolTwoGrams(), { 0.0 });
    std::set<double> answers;
    for (int k = 1; k <= 4; ++k) {
        // A rejected draw is followed by one of two tablets.
        random_->setScript({ 0.5, 0.5, drawFor(k, 4), 0.5, 0.5, drawFor(2, 4) });
        answers.insert(tablet().answer);
    }
    EXPECT_EQ(answers, (std::set<double> { 2, 3, 4 }));
}

TEST_F(DrugQuestionsTest, TabletCountCappedAtFive)
{
    DrugRecord d = makeDrug("codeine", 50, Mg, 1200, Mg);
    setSlot(d, 0, Tablet, 100, Mg);
    setSlot(d, 1, Tablet, 100, Mg, 0, true);
    writeDrugs({ d });
    candidates({ 1 });
    double most = 0;
    double mostHalved = 0;
    for (int i = 0; i < 200; ++i) {
        const double r = (i + 0.5) / 200;
        random_->setScript({ 0.5, 0.25, r, 0.5, 0.25, 0.99 });
        most = std::max(most, tablet().answer);
        random_->setScript({ 0.5, 0.75, r, 0.5, 0.75, 0.99 });
        mostHalved = std::max(mostHalved, tablet().answer);
    }
    EXPECT_EQ(most, 5.0);
    EXPECT_EQ(mostHalved, 2.5);
}

TEST_F(DrugQuestionsTest, TabletOrderOfOneHasNoPluralEnding)
{
    DrugRecord d = makeDrug("warfarin", 0.5, Mg, 2, Mg);
    setSlot(d, 0, Tablet, 0.5, Mg);
    single(d, { 0.5, 0.5, drawFor(2, 4) });
    state_->settings.UseAbbreviations = -1;
    EXPECT_NE(tablet().question.find("ordered 1 mg of warfarin. 0.5 mg tablets are available."), std::string::npos);
    random_->setScript({ 0.5, 0.5, drawFor(2, 4) });
    state_->settings.UseAbbreviations = 0;
    EXPECT_NE(tablet().question.find("ordered 1 milligram of warfarin. 0.5 milligram tablets"), std::string::npos);
}

TEST_F(DrugQuestionsTest, CapsulesAndMicrograms)
{
    DrugRecord d = makeDrug("levothyroxine", 25, Mcg, 200, Mcg);
    setSlot(d, 0, Capsule, 50, Mcg);
    single(d, { 0.5, 0.5, drawFor(2, 4) });
    state_->settings.UseAbbreviations = -1;
    const GeneratedQuestion q = tablet();
    EXPECT_EQ(q.question,
        BR + "A client is ordered 100 \xB5g's of levothyroxine. 50 \xB5g capsules are available." + BR
            + "How many capsules will you give?");
    EXPECT_NE(q.solution.find("= Number of capsules to be given"), std::string::npos);
    EXPECT_NE(q.solution.find("100 \xB5g (required dose)"), std::string::npos);
    EXPECT_EQ(q.solution.substr(q.solution.size() - 13), " = 2 capsules");
}

TEST_F(DrugQuestionsTest, TabletUsesOnlySolidSlots)
{
    DrugRecord d = makeDrug("furosemide", 20, Mg, 80, Mg);
    setSlot(d, 0, Solution, 20, Mg, 5);
    setSlot(d, 1, Tablet, 0, Mg); // not used: strength 0
    setSlot(d, 3, Tablet, 20, Mg);
    single(d, { 0.5, 0.0, drawFor(2, 4) });
    const GeneratedQuestion q = tablet();
    EXPECT_EQ(q.duplicateKeys[2], 3.0);
    EXPECT_EQ(q.answer, 2.0);
}

// ---- pickDrugName ----

TEST_F(DrugQuestionsTest, DrugNameChoice)
{
    DrugRecord d = makeDrug("paracetamol", 1, Mg, 2, Mg);
    state_->settings.GenericAndTradeNames = -1;
    random_->setScript({ 0.99 });
    EXPECT_EQ(pickDrugName(*state_, d), "paracetamol"); // no trade names: always the generic name

    d.TradeName[1] = "Panadol   ";
    random_->setScript({ 0.49 });
    EXPECT_EQ(pickDrugName(*state_, d), "paracetamol");
    random_->setScript({ 0.5 });
    EXPECT_EQ(pickDrugName(*state_, d), "Panadol");

    d.TradeName[0] = "Calpol";
    random_->setScript({ 0.4 });
    EXPECT_EQ(pickDrugName(*state_, d), "Calpol");
    random_->setScript({ 0.9 });
    EXPECT_EQ(pickDrugName(*state_, d), "Panadol");

    // Only -1 switches the option on; nothing is drawn otherwise.
    state_->settings.GenericAndTradeNames = 1;
    const auto draws = random_->draws();
    EXPECT_EQ(pickDrugName(*state_, d), "paracetamol");
    EXPECT_EQ(random_->draws(), draws);
}

TEST_F(DrugQuestionsTest, NameDrawnAfterTheDoseWithItsOwnReseed)
{
    DrugRecord d = paracetamolOneGram();
    d.TradeName[0] = "Panadol";
    state_->settings.GenericAndTradeNames = -1;
    single(d, { 0.5, 0.5, drawFor(1, 2), 0.75 });
    EXPECT_NE(tablet().question.find("of Panadol."), std::string::npos);
    EXPECT_EQ(random_->reseeds(), 4);
}

// ---- Fluids ----

DrugRecord amoxicillinSuspension(double high, std::int16_t highUnit, double increment)
{
    DrugRecord d = makeDrug("amoxicillin", 125, Mg, high, highUnit);
    d.FluidIncrement = increment;
    setSlot(d, 0, Suspension, 250, Mg, 5);
    return d;
}

TEST_F(DrugQuestionsTest, FluidWithoutConversionWholeTexts)
{
    state_->settings.UseAbbreviations = -1;
    single(amoxicillinSuspension(500, Mg, 25), { 0.5, 0.5, drawFor(5, 10) });
    const GeneratedQuestion q = fluid();
    const std::string question = BR
        + "A client is ordered 125 mg's of amoxicillin orally. 250 mg's in 5 ml's of suspension is available." + BR
        + "How many ml's will you administer?";
    EXPECT_EQ(q.question, question);
    EXPECT_EQ(q.answer, 2.5);
    EXPECT_EQ(q.solution,
        "The question was:" + question + BR + BR + "The formula to use is:" + BR + BR
            + "Required dose      Stock Volume" + BR + "---------------------  X  --------------------" + BR
            + "Stock dose                     1       " + NBSP + BR + "= Volume to be given" + BR + BR
            + "The numbers are now placed in the formula:" + BR + BR + "125 mg (required dose)" + repeat(NBSP, 7) + BR
            + "------------------------------------- X 5 ml" + BR + "250 mg (stock dose)" + repeat(NBSP, 7) + BR + BR
            + " = 0.5 X 5 = 2.5 ml.");
    EXPECT_EQ(q.duplicateKeys[0], 2.5);
    EXPECT_EQ(q.duplicateKeys[1], 1.0);
    EXPECT_EQ(q.duplicateKeys[2], 0.0);
    EXPECT_EQ(random_->reseeds(), 2);
}

TEST_F(DrugQuestionsTest, FluidWithConversionWholeTexts)
{
    single(amoxicillinSuspension(1, G, 0.025), { 0.5, 0.5, 0.0 });
    const GeneratedQuestion q = fluid();
    const std::string question = BR
        + "A client is ordered 0.025 grams of amoxicillin orally. 250 milligrams in 5 millilitres of suspension is "
          "available."
        + BR + "How many millilitres will you administer?";
    EXPECT_EQ(q.question, question);
    EXPECT_NEAR(q.answer, 0.5, 1e-12);
    EXPECT_EQ(q.solution,
        "The question was:" + question + BR + BR + "The formula to use is:" + BR + BR
            + "Required dose      Stock Volume" + BR + "---------------------  X  --------------------" + BR
            + "Stock dose                     1       " + NBSP + BR + "= Volume to be given" + BR + BR
            + "All units must be the same so the units of the stock dose is first converted to the units of the "
              "required dose: "
            + BR + "To convert 250 milligrams to grams" + BR + "the computer used the following formula:" + BR + BR
            + "250 milligrams X 0.001 = 0.25 grams" + BR + BR + "The numbers are now placed in the formula:" + BR + BR
            + "0.025 g (required dose)" + repeat(NBSP, 7) + BR + "------------------------------------- X 5 ml" + BR
            + "0.25 g (stock dose)" + repeat(NBSP, 7) + BR + BR + " = 0.1 X 5 = 0.5 ml.");
}

TEST_F(DrugQuestionsTest, FluidSweepOfTheSuspension)
{
    single(amoxicillinSuspension(500, Mg, 25), { 0.0 });
    std::vector<double> answers;
    for (int k = 1; k <= 10; ++k) {
        random_->setScript({ 0.5, 0.5, drawFor(k, 10) });
        answers.push_back(fluid().answer);
        EXPECT_EQ(random_->draws() % 3, 0u) << "no dose may be drawn again";
    }
    EXPECT_EQ(answers, (std::vector<double> { 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5 }));
}

TEST_F(DrugQuestionsTest, FluidDosesAboveTheRangeAreDrawnAgain)
{
    single(amoxicillinSuspension(100, Mg, 25), { 0.5, 0.5, drawFor(7, 10), drawFor(10, 10), drawFor(3, 10) });
    EXPECT_EQ(fluid().answer, 1.5);
    EXPECT_EQ(random_->draws(), 5u);
    double most = 0;
    for (int k = 1; k <= 10; ++k) {
        random_->setScript({ 0.5, 0.5, drawFor(k, 10), drawFor(1, 10) });
        most = std::max(most, fluid().answer);
    }
    EXPECT_EQ(most, 2.0);
}

struct VolumeCap {
    std::int16_t form;
    double most;
};

class FluidVolumeCap : public DrugQuestionsTest, public ::testing::WithParamInterface<VolumeCap> { };

TEST_P(FluidVolumeCap, AnswerNeverAboveTheCap)
{
    DrugRecord d = makeDrug("morphine", 1, Mg, 1000, Mg);
    d.FluidIncrement = 1;
    setSlot(d, 0, GetParam().form, 10, Mg, 1);
    single(d, { 0.0 });
    double most = 0;
    for (int i = 0; i < 100; ++i) {
        random_->setScript({ 0.5, 0.5, (i + 0.5) / 100 });
        most = std::max(most, fluid().answer);
    }
    EXPECT_EQ(most, GetParam().most);
}

INSTANTIATE_TEST_SUITE_P(Forms, FluidVolumeCap,
    ::testing::Values(VolumeCap { Solution, 5 }, VolumeCap { Elixir, 5 }, VolumeCap { IMInjection, 3 },
        VolumeCap { SCInjection, 3 }, VolumeCap { IVInjection, 3 }));

struct FormText {
    std::int16_t form;
    const char* phrase;
};

class FluidFormText : public DrugQuestionsTest, public ::testing::WithParamInterface<FormText> { };

TEST_P(FluidFormText, RouteAndForm)
{
    DrugRecord d = makeDrug("drugname", 1, Mg, 100, Mg);
    d.FluidIncrement = 5;
    setSlot(d, 0, GetParam().form, 10, Mg, 5);
    single(d, { 0.5, 0.5, 0.0 });
    EXPECT_NE(fluid().question.find(GetParam().phrase), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Forms, FluidFormText,
    ::testing::Values(FormText { LiquidForte,
                          "of drugname orally. 10 milligrams in 5 millilitres of liquid forte  is "
                          "available." },
        FormText { Syrup, "orally. 10 milligrams in 5 millilitres of Syrup is available." },
        FormText { IMInjection,
            "of drugname by intramuscular injection. 10 milligrams in 5 millilitres of liquid for "
            "IM Injection is available." },
        FormText {
            SCInjection, "by subcutaneous injection. 10 milligrams in 5 millilitres of liquid for SC Injection" },
        FormText { IVInjection,
            "of drugname intravenously. 10 milligrams in 5 millilitres of liquid for IV "
            "Injection" }));

TEST_F(DrugQuestionsTest, FluidSingularVolumeAndStrength)
{
    DrugRecord d = makeDrug("haloperidol", 0.5, Mg, 5, Mg);
    d.FluidIncrement = 0.5;
    setSlot(d, 0, Solution, 1, Mg, 1);
    single(d, { 0.5, 0.5, drawFor(2, 10) });
    GeneratedQuestion q = fluid();
    EXPECT_NE(q.question.find("ordered 1 milligram of haloperidol orally. 1 milligram in 1 millilitre of solution"),
        std::string::npos);
    EXPECT_NE(q.question.find("How many millilitres will you administer?"), std::string::npos);
    state_->settings.UseAbbreviations = -1;
    random_->setScript({ 0.5, 0.5, drawFor(2, 10) });
    q = fluid();
    EXPECT_NE(q.question.find("ordered 1 mg of haloperidol orally. 1 mg in 1 ml of solution"), std::string::npos);
    EXPECT_NE(q.question.find("How many ml's will you administer?"), std::string::npos);
}

TEST_F(DrugQuestionsTest, FluidPaddingFollowsTheStockText)
{
    DrugRecord d = makeDrug("enoxaparin", 20, Mg, 40, Mg);
    d.FluidIncrement = 20;
    setSlot(d, 0, SCInjection, 20, Mg, 0.5);
    single(d, { 0.5, 0.5, 0.0 });
    const GeneratedQuestion q = fluid();
    // " X 0.5 ml" is nine characters long.
    EXPECT_NE(q.solution.find(BR + "20 mg (required dose)" + repeat(NBSP, 9) + BR + std::string(37, '-') + " X 0.5 ml"
                  + BR + "20 mg (stock dose)" + repeat(NBSP, 9) + BR),
        std::string::npos);
    EXPECT_NE(q.question.find("20 milligrams in 0.5 millilitre of liquid for SC Injection"), std::string::npos);
    EXPECT_EQ(q.answer, 0.5);
}

TEST_F(DrugQuestionsTest, FluidStepLargerThanTheCapOrdersOneStep)
{
    DrugRecord d = makeDrug("drugname", 1, Mg, 100, Mg);
    d.FluidIncrement = 50;
    setSlot(d, 0, Solution, 10, Mg, 5); // 5 ml hold 10 mg: no step fits, MaxSteps is 0
    single(d, { 0.5, 0.5, 0.9 });
    const GeneratedQuestion q = fluid();
    EXPECT_EQ(q.answer, 25.0);
    EXPECT_NE(q.question.find("ordered 50 milligrams"), std::string::npos);
}

// ---- Drugs that cannot yield a question ----

struct BadDrug {
    const char* label;
    bool tabletKind;
    void (*spoil)(DrugRecord&);
    const char* reason;
};

class BadDrugTest : public DrugQuestionsTest, public ::testing::WithParamInterface<BadDrug> { };

TEST_P(BadDrugTest, ProblemNamesTheDrugAndNothingHangs)
{
    DrugRecord d = makeDrug("baddrug", 10, Mg, 100, Mg);
    d.FluidIncrement = 5;
    setSlot(d, 0, Tablet, 10, Mg);
    setSlot(d, 1, Solution, 10, Mg, 5);
    GetParam().spoil(d);
    DrugRecord good = makeDrug("gooddrug", 10, Mg, 100, Mg);
    setSlot(good, 0, Tablet, 10, Mg);
    writeDrugs({ good, d });
    candidates({ 2 });
    random_->setScript({ 0.5 });
    const DrugQuestionResult r = GetParam().tabletKind ? makeTabletQuestion(*state_) : makeFluidQuestion(*state_);
    EXPECT_FALSE(r.question.has_value());
    EXPECT_EQ(r.record, 2);
    EXPECT_NE(r.problem.find(d.isBlank() ? "record 2" : "baddrug (record 2)"), std::string::npos) << r.problem;
    EXPECT_NE(r.problem.find(GetParam().reason), std::string::npos) << r.problem;
    EXPECT_EQ(r.problem.find("nan"), std::string::npos);
    EXPECT_EQ(r.problem.find("inf"), std::string::npos);
    EXPECT_LT(random_->draws(), 10u);
}

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(Records, BadDrugTest,
    ::testing::Values(
        BadDrug { "TabletZeroHigh", true, [](DrugRecord& d) { d.DoseRangeHigh = 0; }, "highest single dose is 0" },
        BadDrug { "FluidZeroHigh", false, [](DrugRecord& d) { d.DoseRangeHigh = 0; }, "highest single dose is 0" },
        BadDrug { "TabletNaNHigh", true, [](DrugRecord& d) { d.DoseRangeHigh = NaN; }, "highest single dose is not" },
        BadDrug {
            "FluidInfiniteHigh", false, [](DrugRecord& d) { d.DoseRangeHigh = Inf; }, "highest single dose is not" },
        BadDrug { "TabletNaNLow", true, [](DrugRecord& d) { d.DoseRangeLow = NaN; }, "lowest single dose" },
        BadDrug { "TabletBadUnit", true, [](DrugRecord& d) { d.DoseRangeHighUnit = 9; }, "unknown (code 9)" },
        BadDrug { "FluidZeroStep", false, [](DrugRecord& d) { d.FluidIncrement = 0; }, "fluid dose step is 0" },
        BadDrug { "FluidNaNStep", false, [](DrugRecord& d) { d.FluidIncrement = NaN; }, "fluid dose step is not" },
        BadDrug { "FluidZeroVolume", false, [](DrugRecord& d) { d.Volume[1] = 0; }, "volume above 0" },
        BadDrug { "FluidNaNStrength", false, [](DrugRecord& d) { d.Strength[1] = NaN; }, "no liquid preparation" },
        BadDrug { "TabletNoSolidSlot", true, [](DrugRecord& d) { d.Strength[0] = 0; }, "no tablet or capsule" },
        BadDrug { "FluidNoFluidSlot", false, [](DrugRecord& d) { d.Strength[1] = 0; }, "no liquid preparation" },
        BadDrug { "TabletNoFittingDose", true, [](DrugRecord& d) { d.DoseRangeHigh = 5; }, "no order of up to 5" },
        BadDrug { "TabletOnlyOneTablet", true,
            [](DrugRecord& d) {
                d.DoseRangeLow = 10;
                d.DoseRangeHigh = 10;
            },
            "one tablet of the strength ordered" },
        BadDrug { "FluidStepAboveRange", false, [](DrugRecord& d) { d.FluidIncrement = 200; }, "already above" },
        BadDrug { "TabletBlank", true, [](DrugRecord& d) { d.GenericName = ""; }, "blank" }),
    [](const ::testing::TestParamInfo<BadDrug>& info) { return std::string(info.param.label); });

TEST_F(DrugQuestionsTest, UnspoiltBadDrugGivesQuestions)
{
    DrugRecord d = makeDrug("baddrug", 10, Mg, 100, Mg);
    d.FluidIncrement = 5;
    setSlot(d, 0, Tablet, 10, Mg);
    setSlot(d, 1, Solution, 10, Mg, 5);
    single(d, { 0.5 });
    EXPECT_TRUE(makeTabletQuestion(*state_).question.has_value());
    EXPECT_TRUE(makeFluidQuestion(*state_).question.has_value());
}

TEST_F(DrugQuestionsTest, IndexEntryPastTheEndOfTheDataFile)
{
    writeDrugs({ paracetamolOneGram() });
    candidates({ 7 });
    const DrugQuestionResult r = makeTabletQuestion(*state_);
    EXPECT_FALSE(r.question.has_value());
    EXPECT_EQ(r.record, 7);
    EXPECT_NE(r.problem.find("record 7"), std::string::npos);
    EXPECT_NE(r.problem.find("past the end"), std::string::npos);
}

TEST_F(DrugQuestionsTest, MissingDataFile)
{
    candidates({ 1 });
    const DrugQuestionResult r = makeFluidQuestion(*state_);
    EXPECT_FALSE(r.question.has_value());
    EXPECT_EQ(r.record, 1);
    EXPECT_NE(r.problem.find("MXDBASE.FIL"), std::string::npos) << r.problem;
}

TEST_F(DrugQuestionsTest, EmptyCandidateList)
{
    candidates({});
    EXPECT_FALSE(makeTabletQuestion(*state_).question.has_value());
    EXPECT_FALSE(makeFluidQuestion(*state_).question.has_value());
}

TEST_F(DrugQuestionsTest, TabletRejectionsDrawAnotherDrug)
{
    // Drug 1 only ever yields one tablet of the strength ordered (rejected); drug 2 is fine. A draw of
    // drug 1 is reported, so that the caller can go on; drug 2 gives its question.
    DrugRecord only = makeDrug("onlyone", 500, Mg, 500, Mg);
    setSlot(only, 0, Tablet, 500, Mg);
    writeDrugs({ only, paracetamolOneGram() });
    candidates({ 1, 2 });
    random_->setScript({ drawFor(1, 2) });
    EXPECT_NE(makeTabletQuestion(*state_).problem.find("onlyone (record 1)"), std::string::npos);
    random_->setScript({ drawFor(2, 2), 0.5, 0.5 });
    EXPECT_EQ(tablet().duplicateKeys[1], 2.0);
}

// ---- The sample drug database ----

/// The number a question orders: the text after "A client is ordered " up to the next blank.
double orderedDose(const std::string& question)
{
    const std::string lead = "A client is ordered ";
    const auto at = question.find(lead);
    if (at == std::string::npos)
        return NaN;
    const auto start = at + lead.size();
    return std::stod(question.substr(start, question.find(' ', start) - start));
}

double inGrams(double amount, std::int16_t unit)
{
    static const double perGram[] = { 1000, 100, 10, 1, 0.1, 0.01, 0.001, 0.000001 };
    return amount * perGram[unit];
}

void expectCleanText(const std::string& text)
{
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    EXPECT_EQ(lower.find("nan"), std::string::npos) << text;
    EXPECT_EQ(lower.find("inf"), std::string::npos) << text;
    EXPECT_EQ(text.find("ordered  "), std::string::npos) << text;
    EXPECT_EQ(text.find(" = " + BR), std::string::npos) << text;
    EXPECT_EQ(text.find("X  ml"), std::string::npos) << text;
}

TEST(SampleDatabase, ManyQuestionsAllConsistent)
{
    TempFolder folder;
    folder.copySampleDatabase(TB_SAMPLE_DIR);
    AppState state(std::make_unique<ProductionRandom>(), folder.path());
    const DrugIndex tablets = parseIndexFile(folder.read("mxdbs1.idx"), "mxdbs1.idx");
    const DrugIndex fluids = parseIndexFile(folder.read("mxdbs2.idx"), "mxdbs2.idx");
    ASSERT_GT(tablets.count, 25);
    ASSERT_GT(fluids.count, 25);
    const CategoryTables categories = loadCategories(folder.path());
    EXPECT_GE(categories.CategoryCount, 6);

    for (int kind = 0; kind < 2; ++kind) {
        const DrugIndex& index = kind == 0 ? tablets : fluids;
        state.CandidateRecords = index.record;
        state.CandidateCount = index.count;
        std::set<int> drugsSeen;
        for (int i = 0; i < 3000; ++i) {
            state.settings.UseAbbreviations = static_cast<std::int16_t>(i % 2 ? -1 : 0);
            state.settings.GenericAndTradeNames = static_cast<std::int16_t>(i % 3 ? -1 : 0);
            const DrugQuestionResult r = kind == 0 ? makeTabletQuestion(state) : makeFluidQuestion(state);
            ASSERT_TRUE(r.question.has_value()) << r.problem;
            const GeneratedQuestion& q = *r.question;
            const int record = static_cast<int>(*q.duplicateKeys[1]);
            const auto slot = static_cast<std::size_t>(*q.duplicateKeys[2]);
            EXPECT_EQ(record, r.record);
            drugsSeen.insert(record);
            const DrugRecord d = readDrugRecord(folder.path(), record);
            const double required = orderedDose(q.question);
            const double stock = inGrams(d.Strength[slot], d.StrengthUnit[slot]) / inGrams(1, d.DoseRangeHighUnit);
            const double high = d.DoseRangeHigh;
            SCOPED_TRACE(q.question);
            if (kind == 0) {
                EXPECT_FALSE(isFluidForm(d.FormCode[slot]));
                EXPECT_NEAR(q.answer, required / stock, 1e-9);
                EXPECT_LE(q.answer, 5.0);
                EXPECT_NEAR(q.answer * 2, std::round(q.answer * 2), 1e-9) << "whole or half tablets";
                const double low = inGrams(d.DoseRangeLow, d.DoseRangeLowUnit) / inGrams(1, d.DoseRangeHighUnit);
                EXPECT_GE(required, low * (1 - 1e-12));
                EXPECT_LE(required, high * (1 + 1e-12));
            } else {
                EXPECT_TRUE(isFluidForm(d.FormCode[slot]));
                EXPECT_NEAR(q.answer, required / stock * d.Volume[slot], 1e-9);
                EXPECT_LE(q.answer, d.FormCode[slot] <= Elixir ? 5.0 + 1e-12 : 3.0 + 1e-12);
                EXPECT_LE(required, high * (1 + 1e-12));
            }
            EXPECT_GT(q.answer, 0.0);
            EXPECT_TRUE(std::isfinite(q.answer));
            expectCleanText(q.question);
            expectCleanText(q.solution);
            if (::testing::Test::HasFailure())
                return;
        }
        EXPECT_EQ(static_cast<int>(drugsSeen.size()), index.count);
    }
}

} // namespace
} // namespace tb
