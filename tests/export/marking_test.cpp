#include "core/export/diagnosis.h"
#include "core/export/marking.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tb {
namespace {

// ---- bands: inclusive, widened by Moodle's epsilon ----

struct BandCase {
    const char* name;
    ToleranceStyle style;
    double stored;
    double given;
    bool right;
};

class BandTest : public testing::TestWithParam<BandCase> { };

TEST_P(BandTest, MarksAsTheExportedBandMarks)
{
    const BandCase& c = GetParam();
    EXPECT_EQ(accepts(answerRule(c.style, c.stored), c.given), c.right);
}

const double TwoDecimalsUpper = 2.35 + (0.005 + 1e-14 * 2.35);

INSTANTIATE_TEST_SUITE_P(Bands, BandTest,
    testing::Values(BandCase { "ExactHit", ToleranceStyle::Exact, 3, 3, true },
        BandCase { "ExactWithinEpsilon", ToleranceStyle::Exact, 3, 3 + 2e-14, true },
        BandCase { "ExactBeyondEpsilon", ToleranceStyle::Exact, 3, 3 + 1e-13, false },
        BandCase { "TwoDecimalsLowerEndIncluded", ToleranceStyle::TwoDecimals, 2.345, 2.345, true },
        BandCase { "TwoDecimalsUpperEndIncluded", ToleranceStyle::TwoDecimals, 2.345, 2.355, true },
        BandCase { "TwoDecimalsWidenedEnd", ToleranceStyle::TwoDecimals, 2.345, TwoDecimalsUpper, true },
        BandCase { "TwoDecimalsPastWidenedEnd", ToleranceStyle::TwoDecimals, 2.345, 2.35501, false },
        BandCase { "TwoDecimalsBelow", ToleranceStyle::TwoDecimals, 2.345, 2.3449, false },
        BandCase { "FullPrecisionRelative", ToleranceStyle::FullPrecision, 5000, 5000.000004, true },
        BandCase { "FullPrecisionOutside", ToleranceStyle::FullPrecision, 5000, 5000.00001, false },
        BandCase { "TinyConversion", ToleranceStyle::FullPrecision, 0.000005, 0.000005, true },
        BandCase { "OneDecimalUnrounded", ToleranceStyle::OneDecimal, 28.8, 28.75, true },
        BandCase { "OneDecimalUpperEnd", ToleranceStyle::OneDecimal, 28.8, 28.85, true },
        BandCase { "OneDecimalPastEnd", ToleranceStyle::OneDecimal, 28.8, 28.86, false },
        BandCase { "NotANumber", ToleranceStyle::Exact, 3, NAN, false }),
    [](const testing::TestParamInfo<BandCase>& info) { return info.param.name; });

TEST(WidenedBandTest, NominalAndRelativeFollowMoodlesFormula)
{
    const MarkingBand nominal = widenedBand(BandKind::Nominal, 100, 0.5);
    EXPECT_DOUBLE_EQ(nominal.upper, 100 + 0.5 + 1e-14 * 100);
    const MarkingBand relative = widenedBand(BandKind::Relative, -200, 0.1);
    EXPECT_DOUBLE_EQ(relative.lower, -200 - 200 * (0.1 + 1e-14));
    // An exact zero still has the epsilon's own width.
    EXPECT_TRUE(widenedBand(BandKind::Nominal, 0, 0).holds(1e-28));
    EXPECT_FALSE(widenedBand(BandKind::Nominal, 0, 0).holds(1e-27));
}

// ---- every form a student can type ----

struct TypedCase {
    const char* name;
    const char* typed;
    const char* unit;
    bool accepted;
    double value;
    const char* note; // or the start of the refusal
};

class TypedTest : public testing::TestWithParam<TypedCase> { };

TEST_P(TypedTest, ReadsOnlyOnePlainNumber)
{
    const TypedCase& c = GetParam();
    const TypedAnswer read = readTypedAnswer(c.typed, c.unit);
    ASSERT_EQ(read.accepted, c.accepted) << read.message;
    if (c.accepted) {
        EXPECT_DOUBLE_EQ(read.value, c.value);
        EXPECT_EQ(read.note, c.note);
    } else {
        EXPECT_EQ(read.message.rfind(c.note, 0), 0u) << read.message;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, TypedTest,
    testing::Values(TypedCase { "Plain", "0.5", "ml", true, 0.5, "" },
        TypedCase { "NoLeadingZero", ".5", "ml", true, 0.5, "Write a zero before the decimal point: 0.5" },
        TypedCase { "TrailingZero", "2.50", "ml", true, 2.5, "No trailing zero: 2.5" },
        TypedCase { "BarePoint", "2.", "tablets", true, 2, "No decimal point after a whole number: 2" },
        TypedCase { "Blanks", "  3 ", "tablets", true, 3, "" },
        TypedCase { "UnitAfterBlank", "2.5 ml", "ml", true, 2.5, "" },
        TypedCase { "UnitJoined", "2.5ml", "ml", true, 2.5, "" },
        TypedCase { "UnitSpelledOut", "2.5 Millilitres", "ml", true, 2.5, "" },
        TypedCase { "UnitOfWords", "4 mls", "millilitres", true, 4, "" },
        TypedCase { "TabletSingular", "1 tablet", "tablets", true, 1, "" },
        TypedCase { "PumpRate", "125 ml/hr", "ml/hr", true, 125, "" },
        TypedCase { "DropRate", "42 drops per minute", "drops/min", true, 42, "" },
        TypedCase { "ConversionTarget", "0.125 mg", "mg", true, 0.125, "" },
        TypedCase { "ConversionWord", "0.125 milligrams", "mg", true, 0.125, "" },
        TypedCase { "Comma", "1,5", "ml", false, 0, "Use a decimal point and no commas" },
        TypedCase { "ThousandsBlank", "1 000", "ml", false, 0, "Type one number without blanks" },
        TypedCase { "Exponent", "5E-06", "g", false, 0, "Write the number in full, without E" },
        TypedCase { "Letters", "abc", "ml", false, 0, "Type your answer as one number" },
        TypedCase { "Empty", "", "ml", false, 0, "Type your answer as a number" },
        TypedCase { "PlusSign", "+2", "ml", false, 0, "Type the number without a plus sign" },
        TypedCase { "TwoPoints", "1.2.3", "ml", false, 0, "Type one number without blanks" },
        TypedCase { "OtherUnit", "2.5 mg", "ml", false, 0, "Give the answer in ml" },
        TypedCase { "LitresForMl", "0.0025 L", "ml", false, 0, "Give the answer in ml" },
        TypedCase { "UnitWithoutAsking", "2 ml", "", false, 0, "Type the number alone" },
        TypedCase { "TooLong", "1111111111111111111111111111111111111111111111111111111111111111111", "", false, 0,
            "That is too long" }),
    [](const testing::TestParamInfo<TypedCase>& info) { return info.param.name; });

TEST(AskedUnitTest, FromTheKindAndTheQuestion)
{
    EXPECT_EQ(askedUnit(QuestionKind::TabletCount, "How many tablets will you give?"), "tablets");
    EXPECT_EQ(askedUnit(QuestionKind::TabletCount, "2 mg capsules are available.\r\nHow many capsules will you give?"),
        "capsules");
    EXPECT_EQ(askedUnit(QuestionKind::LiquidVolume, "How many ml's will you administer?"), "ml");
    EXPECT_EQ(askedUnit(QuestionKind::LiquidVolume, "How many millilitres will you administer?"), "millilitres");
    EXPECT_EQ(askedUnit(QuestionKind::MetricConversion, "\r\nConvert 125 mcg's to mgs."), "mg");
    EXPECT_EQ(askedUnit(QuestionKind::MetricConversion, "\r\nConvert 3 grams to micrograms."), "micrograms");
    EXPECT_EQ(askedUnit(QuestionKind::MetricConversion, "\r\nConvert 3 gs to \xB5gs."), "\xB5g");
    EXPECT_TRUE(namesUnit("mcg", "\xB5g"));
    EXPECT_EQ(askedUnit(QuestionKind::InfusionTime, "How many minutes will the infusion take?"), "minutes");
    EXPECT_EQ(askedUnit(QuestionKind::WeightDose, "... 15 mg/kg per dose. How many mg is one dose?"), "mg");
    EXPECT_EQ(
        askedUnit(QuestionKind::DoseVolume, "... is available. How many millilitres will you give?"), "millilitres");
    EXPECT_EQ(askedUnit(QuestionKind::Unrecognised, "What is 2 + 2?"), "");
}

// ---- diagnoses ----

const char* const Tablets = "\r\nA client is ordered 500 mgs of Paracetamol. 250 mg tablets are available.\r\nHow "
                            "many tablets will you give?";
const char* const Fluid = "\r\nA client is ordered 250 mg's of Amoxil orally. 125 mg's in 5 ml's of mixture is "
                          "available.\r\nHow many ml's will you administer?";
const char* const Converted = "\r\nA client is ordered 0.5 gs of Amoxil orally. 125 mg's in 5 ml's of mixture is "
                              "available.\r\nHow many ml's will you administer?";
const char* const Pump = "Ordered: 1 litre over 8 hours via an infusion pump. Calculate the pump rate in ml/hr.";
const char* const Minutes = "Running at 100 ml/hr. How many minutes will the infusion take?";
const char* const Drops = "1 litre over 8 hours, 20 drops/ml. Calculate the number of drops per minute.";
const char* const Metric = "\r\nConvert 5 mgs to gs.";
const char* const Heparin = "\r\nHeparin 7500 units is ordered subcutaneously. Heparin 5000 units/ml is available. "
                            "How many ml will you give?";
const char* const HeparinPump = "\r\n20000 units of heparin in 500 ml are to run at 1150 units/hr. At what rate in "
                                "ml/hr should the pump be set?";
const char* const HeparinPerHour = "\r\nA heparin infusion of 25000 units in 500 ml is running at 20.5 ml/hr. How "
                                   "many units of heparin per hour is the patient receiving?";
const char* const InsulinDrawn = "\r\nInsulin 100 units/ml is available. The dose to give is 0.24 ml. How many units "
                                 "will you draw up in an insulin syringe marked in units (100 units/ml)?";
const char* const PerDose = "\r\nA child weighing 18.4 kg is prescribed paracetamol 15 mg/kg per dose. How many mg is "
                            "one dose?";
const char* const Daily = "\r\nA child weighing 18.4 kg is prescribed ibuprofen 30 mg/kg/day in 3 divided doses. How "
                          "many mg per dose?";
const char* const DailyVolume = "\r\nA child weighing 9.9 kg is prescribed ibuprofen 20 mg/kg/day in 3 divided doses. "
                                "Ibuprofen 100 mg in 5 ml is available. How many ml will you give for one dose?";
const char* const Safe = "\r\nA child weighing 6.3 kg is prescribed ondansetron. The safe dose is 0.1\x96"
                         "0.15 mg/kg per dose. What is the largest safe single dose in mg?";

struct DiagnosisCase {
    const char* name;
    const char* question;
    double stored;
    double given;
    DiagnosisKind kind;
    const char* text;
};

class DiagnosisTest : public testing::TestWithParam<DiagnosisCase> { };

TEST_P(DiagnosisTest, NamesTheTypicalError)
{
    const DiagnosisCase& c = GetParam();
    const AnswerRule rule = answerRule(toleranceStyle(questionKind(c.question)), c.stored);
    const Diagnosis found = diagnose(c.question, rule, c.given);
    EXPECT_EQ(found.kind, c.kind);
    EXPECT_EQ(found.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Errors, DiagnosisTest,
    testing::Values(DiagnosisCase { "TenTimesLarge", Fluid, 10, 100, DiagnosisKind::TooLarge,
                        "Your answer is 10 times too large: check the unit conversion." },
        DiagnosisCase { "ThousandTimesSmall", Converted, 20, 0.02, DiagnosisKind::TooSmall,
            "Your answer is 1000 times too small: check the unit conversion." },
        DiagnosisCase { "HundredTimesLargeConversion", Metric, 0.005, 0.5, DiagnosisKind::TooLarge,
            "Your answer is 100 times too large: check the unit conversion." },
        DiagnosisCase { "InvertedTablets", Tablets, 2, 0.5, DiagnosisKind::Inverted,
            "The ratio is inverted (stock over required): divide the required dose by the stock dose." },
        DiagnosisCase { "InvertedFluid", Fluid, 10, 2.5, DiagnosisKind::Inverted,
            "The ratio is inverted (stock over required): divide the required dose by the stock dose, then "
            "multiply by the stock volume." },
        DiagnosisCase { "InvertedBeforeConverting", Converted, 20, 1250, DiagnosisKind::Inverted,
            "The ratio is inverted (stock over required): divide the required dose by the stock dose, then "
            "multiply by the stock volume." },
        DiagnosisCase { "NotRoundedWhole", Drops, 42, 41.67, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: give a whole number." },
        DiagnosisCase { "NotRoundedTwoDecimals", Fluid, 1.6666666667, 1.7, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: give it to 2 decimal places." },
        DiagnosisCase { "PerMinuteForPerHour", Pump, 125, 2.08, DiagnosisKind::OtherUnit,
            "That is the rate in ml per minute: give it in ml/hr." },
        DiagnosisCase { "HoursForMinutes", Minutes, 90, 1.5, DiagnosisKind::OtherUnit,
            "That is the time in hours: give it in minutes." },
        DiagnosisCase { "HeparinTenTimes", Heparin, 0.3, 3, DiagnosisKind::TooLarge,
            "Your answer is 10 times too large: check the unit conversion." },
        DiagnosisCase { "HeparinInverted", Heparin, 1.5, 0.67, DiagnosisKind::Inverted,
            "The ratio is inverted (stock over required): divide the required dose by the stock dose, then "
            "multiply by the stock volume." },
        DiagnosisCase { "HeparinPumpPerMinute", HeparinPump, 28.8, 0.48, DiagnosisKind::OtherUnit,
            "That is the rate in ml per minute: give it in ml/hr." },
        DiagnosisCase { "HeparinPumpWholeNumber", HeparinPump, 28.8, 29, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: give it to 1 decimal place." },
        DiagnosisCase { "HeparinUnitsPerMinute", HeparinPerHour, 1025, 17.08, DiagnosisKind::OtherUnit,
            "That is the dose in units per minute: give it in units per hour." },
        DiagnosisCase { "InsulinMlForUnits", InsulinDrawn, 24, 0.24, DiagnosisKind::OtherUnit,
            "That is the volume in ml: give the number of units to draw up." },
        DiagnosisCase { "InsulinNotWhole", InsulinDrawn, 24, 24.4, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: give a whole number." },
        DiagnosisCase { "WeightDoseTenTimes", PerDose, 276, 2760, DiagnosisKind::TooLarge,
            "Your answer is 10 times too large: check the unit conversion." },
        DiagnosisCase { "WholeDayForOneDose", Daily, 184, 552, DiagnosisKind::WholeDay,
            "That is the dose for the whole day: divide it by the number of doses." },
        DiagnosisCase { "WholeDayVolume", DailyVolume, 3.3, 9.9, DiagnosisKind::WholeDay,
            "That is the dose for the whole day: divide it by the number of doses." },
        DiagnosisCase { "DoseNotRoundedToOneDecimal", Safe, 0.9, 0.945, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: a dose of 10 mg or more to a whole number of mg, below 10 mg to 1 "
            "decimal place." },
        DiagnosisCase { "DoseNotRoundedWhole", PerDose, 206, 205.5, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: a dose of 10 mg or more to a whole number of mg, below 10 mg to 1 "
            "decimal place." },
        DiagnosisCase { "VolumeNotRounded", DailyVolume, 3.8, 3.75, DiagnosisKind::NotRounded,
            "Your answer is not rounded as asked: a volume of 1 ml or more to 1 decimal place, below 1 ml to 2 "
            "decimal places." },
        DiagnosisCase { "WeightDoseOtherMiss", PerDose, 276, 270, DiagnosisKind::None, "" },
        DiagnosisCase { "RightHasNone", Fluid, 10, 10, DiagnosisKind::None, "" },
        DiagnosisCase { "NothingFits", Tablets, 2, 3, DiagnosisKind::None, "" }),
    [](const testing::TestParamInfo<DiagnosisCase>& info) { return info.param.name; });

TEST(TypicalWrongAnswersTest, ClearOfTheAcceptedBandAndOfEachOther)
{
    for (const char* question : { Tablets, Fluid, Converted, Pump, Minutes, Drops, Metric, Heparin, HeparinPump,
             HeparinPerHour, InsulinDrawn }) {
        SCOPED_TRACE(question);
        for (const double stored : { 1.0, 2.0, 10.0, 0.005, 1.6666666667, 125.0 }) {
            const AnswerRule rule = answerRule(toleranceStyle(questionKind(question)), stored);
            const std::vector<WrongAnswer> wrong = typicalWrongAnswers(question, rule);
            for (std::size_t i = 0; i < wrong.size(); ++i) {
                EXPECT_GT(wrong[i].value, 0);
                const MarkingBand band = widenedBand(BandKind::Nominal, wrong[i].value, wrong[i].tolerance);
                EXPECT_FALSE(accepts(rule, band.lower) || accepts(rule, band.upper) || accepts(rule, wrong[i].value));
                // Dosarion says what the platform says for the same answer.
                EXPECT_EQ(diagnose(question, rule, wrong[i].value).text, wrong[i].diagnosis.text);
                for (std::size_t j = 0; j < i; ++j)
                    EXPECT_FALSE(
                        widenedBand(BandKind::Nominal, wrong[j].value, wrong[j].tolerance).holds(wrong[i].value));
            }
        }
    }
    // One tablet: its inverse is itself, so no inverted answer is offered.
    const AnswerRule one = answerRule(ToleranceStyle::Exact, 1);
    const char* oneTablet
        = "A client is ordered 250 mgs of X. 250 mg tablets are available. How many tablets will you give?";
    for (const WrongAnswer& wrong : typicalWrongAnswers(oneTablet, one))
        EXPECT_NE(wrong.diagnosis.kind, DiagnosisKind::Inverted);
}

} // namespace
} // namespace tb
