#include "core/questions/weight_dose_questions.h"

#include "core/foundation/number_format.h"
#include "core/foundation/unit_tables.h"
#include "core/questions/infusion_questions.h"

#include <array>
#include <cmath>
#include <exception>
#include <optional>

namespace tb {

namespace {

/// How many draws a question gets before the generator gives up on the drug list.
constexpr int MaxDraws = 1000;

/// The weights a question states, in tenths of a kg: 3 kg to 40 kg.
constexpr int LightestWeight = 30;
constexpr int HeaviestWeight = 400;

/// The volumes of one dose a question asks for, in thousandths of a ml: 0.1 ml to 30 ml.
constexpr long long LeastVolume = 100;
constexpr long long MostVolume = 30000;

/// Doses are held in thousandths of a mg, so that every rounded dose and every maximum of up to
/// three decimals is exact.
constexpr long long Milli = 1000;

const std::string Br = LineBreak;
const std::string EnDash = "\x96";

/// The number of thousandths `value` holds, when it is a finite number above 0 of no more than
/// three decimals' precision that fits the arithmetic.
std::optional<long long> thousandths(double value)
{
    if (!std::isfinite(value) || !(value > 0) || value > 1e9)
        return std::nullopt;
    const long long scaled = std::llround(value * Milli);
    return scaled > 0 ? std::optional<long long>(scaled) : std::nullopt;
}

std::string milliText(long long value)
{
    return formatNumber(static_cast<double>(value) / Milli);
}

/// A liquid preparation: strength in thousandths of a mg in a volume in thousandths of a ml.
struct Liquid {
    long long strength = 0;
    long long volume = 0;
};

std::vector<Liquid> liquidsOf(const DrugRecord& drug)
{
    std::vector<Liquid> liquids;
    for (std::size_t i = 0; i < static_cast<std::size_t>(DrugRecord::Slots); ++i) {
        const double mgPer = mgPerMassUnit(drug.StrengthUnit[i]);
        if (!isFluidForm(drug.FormCode[i]) || mgPer == 0)
            continue;
        const std::optional<long long> strength = thousandths(drug.Strength[i] * mgPer);
        const std::optional<long long> volume = thousandths(drug.Volume[i]);
        if (strength && volume)
            liquids.push_back({ *strength, *volume });
    }
    return liquids;
}

/// A drug that can give questions: its line, its highest single dose and its liquids.
struct Usable {
    const WeightDoseDrug* drug = nullptr;
    long long maximum = 0; // thousandths of a mg
    long long low = 0; // thousandths of a mg per kg
    long long high = 0;
    std::vector<Liquid> liquids;
};

std::vector<Usable> usableDrugs(const std::vector<WeightDoseDrug>& drugs)
{
    std::vector<Usable> usable;
    for (const WeightDoseDrug& drug : drugs) {
        const std::optional<double> mg = highestDoseInMg(drug.drug);
        const std::optional<long long> maximum = mg ? thousandths(*mg) : std::nullopt;
        const std::optional<long long> low = thousandths(drug.dose.lowPerKg);
        const std::optional<long long> high = thousandths(drug.dose.highPerKg);
        if (maximum && low && high && *low <= *high)
            usable.push_back({ &drug, *maximum, *low, *high, liquidsOf(drug.drug) });
    }
    return usable;
}

bool fitsForm(const Usable& u, WeightDoseForm form)
{
    switch (form) {
    case WeightDoseForm::DosePerKg:
        return !u.drug->dose.perDay();
    case WeightDoseForm::DailyDivided:
        return u.drug->dose.perDay();
    case WeightDoseForm::LiquidVolume:
        return !u.liquids.empty();
    default:
        return true;
    }
}

/// An exact quotient rounded half-up to `decimals` places, in thousandths.
long long roundedMilli(long long numerator, long long denominator, int decimals)
{
    long long scale = 1;
    for (int d = 0; d < decimals; ++d)
        scale *= 10;
    return roundedQuotient(numerator, denominator, decimals) * (Milli / scale);
}

std::string quotientText(long long numerator, long long denominator)
{
    return formatNumber(static_cast<double>(numerator) / static_cast<double>(denominator));
}

/// One dose worked out: the exact value, then rounded by the rule or capped at the maximum.
struct Dose {
    long long value = 0; // thousandths of a mg
    bool capped = false; // value is the adult single-dose maximum
    std::string sentence; // the rule applied, or the cap
};

Dose workDose(long long numerator, long long denominator, long long maximum)
{
    Dose dose;
    const std::string exact = quotientText(numerator, denominator);
    // numerator / denominator mg above maximum / 1000 mg
    if (numerator * Milli > maximum * denominator) {
        dose.value = maximum;
        dose.capped = true;
        dose.sentence = "The calculated dose of " + exact + " mg is more than the adult single-dose maximum of "
            + milliText(maximum) + " mg, so the dose is capped at " + milliText(maximum) + " mg.";
        return dose;
    }
    const bool small = numerator < 10 * denominator;
    dose.value = roundedMilli(numerator, denominator, small ? 1 : 0);
    dose.sentence = small ? "Rule: a dose below 10 mg is rounded to 1 decimal place. "
                          : "Rule: a dose of 10 mg or more is rounded to a whole number of mg. ";
    dose.sentence += dose.value * denominator == numerator * Milli
        ? exact + " mg needs no rounding."
        : exact + " mg is rounded to " + milliText(dose.value) + " mg.";
    return dose;
}

/// What the numbers of one draw give: the prescription's text and the dose's working.
struct Prescription {
    std::string perKgText; // "15 mg/kg per dose" or "30 mg/kg/day in 3 divided doses"
    std::string working; // the calculation lines
    long long numerator = 0; // the dose as calculated: numerator / denominator mg
    long long denominator = 1;
    Dose dose;
};

Prescription prescribe(const WeightDose& line, int weight, long long perKg, long long maximum)
{
    Prescription p;
    const std::string kg = formatNumber(weight / 10.0);
    const std::string amount = milliText(perKg);
    // weight / 10 kg X perKg / 1000 mg/kg = weight X perKg / 10000 mg
    const long long numerator = static_cast<long long>(weight) * perKg;
    const long long perDose = 10 * Milli * (line.perDay() ? line.dosesPerDay : 1);
    if (line.perDay()) {
        const std::string doses = formatInt(line.dosesPerDay);
        p.perKgText = amount + " mg/kg/day in " + doses + " divided doses";
        p.working = "The daily dose is " + kg + " (kg) X " + amount
            + " (mg/kg/day) = " + quotientText(numerator, 10 * Milli) + " (mg/day)" + Br + "One dose is "
            + quotientText(numerator, 10 * Milli) + " (mg/day) / " + doses
            + " (doses) = " + quotientText(numerator, perDose) + " (mg)";
    } else {
        p.perKgText = amount + " mg/kg per dose";
        p.working
            = "One dose is " + kg + " (kg) X " + amount + " (mg/kg) = " + quotientText(numerator, perDose) + " (mg)";
    }
    p.numerator = numerator;
    p.denominator = perDose;
    p.dose = workDose(numerator, perDose, maximum);
    return p;
}

/// "The safe dose is 10–15 mg/kg per dose." or "... 20–30 mg/kg/day in 3 divided doses."
std::string safeRangeText(const Usable& u)
{
    const WeightDose& line = u.drug->dose;
    std::string range = milliText(u.low);
    if (u.high != u.low)
        range += EnDash + milliText(u.high);
    return "The safe dose is " + range
        + (line.perDay() ? " mg/kg/day in " + formatInt(line.dosesPerDay) + " divided doses." : " mg/kg per dose.");
}

std::string capitalised(std::string name)
{
    if (!name.empty() && name.front() >= 'a' && name.front() <= 'z')
        name.front() = static_cast<char>(name.front() - 'a' + 'A');
    return name;
}

std::string solutionText(const std::string& question, const std::string& formula, const std::string& working)
{
    return "The Question was :" + Br + question + Br + Br + "The formula for calculating " + formula + Br + Br
        + "Now we plug these numbers into the formula:" + Br + Br + working;
}

const char* const DoseFormula = "one dose is:"
                                "\r\n\r\n"
                                "weight (kg) X dose (mg/kg), divided by the number of doses for a daily dose";

/// One draw of a form; empty when its numbers fall outside the bounds.
std::optional<GeneratedQuestion> drawQuestion(
    AppState& state, const Usable& u, WeightDoseForm form, int weight, bool highEnd)
{
    RandomSource& random = state.rng();
    const WeightDose& line = u.drug->dose;
    const std::string name = pickDrugName(state, u.drug->drug);
    const std::string child = "A child weighing " + formatNumber(weight / 10.0) + " kg is prescribed " + name;
    const bool millilitres = !state.settings.abbreviationsOn();
    const std::string ml = millilitres ? "millilitres" : "ml";
    GeneratedQuestion q;
    q.duplicateKeys = { weight / 10.0, static_cast<double>(u.drug->record), static_cast<double>(form) };

    if (form == WeightDoseForm::DosePerKg || form == WeightDoseForm::DailyDivided
        || form == WeightDoseForm::LiquidVolume) {
        const Prescription p = prescribe(line, weight, highEnd ? u.high : u.low, u.maximum);
        if (p.dose.value < Milli / 10)
            return std::nullopt;
        q.question = child + " " + p.perKgText + ".";
        if (form != WeightDoseForm::LiquidVolume) {
            q.question += line.perDay() ? " How many mg per dose?" : " How many mg is one dose?";
            q.answer = static_cast<double>(p.dose.value) / Milli;
            q.solution = solutionText(q.question, DoseFormula, p.working + Br + Br + p.dose.sentence);
            return q;
        }
        random.reseed();
        const Liquid& liquid
            = u.liquids[static_cast<std::size_t>(randomWhole(random, static_cast<int>(u.liquids.size())) - 1)];
        // The volume is worked from the dose as calculated (or as capped) and only the volume is
        // rounded: a dose rounded first would move the volume off the exact one (13.3 mg of
        // 5 mg in 5 ml is 13.3 ml, not 13 ml). The dose is doseNumerator / doseDenominator mg.
        const long long doseNumerator = p.dose.capped ? p.dose.value : p.numerator;
        const long long doseDenominator = p.dose.capped ? Milli : p.denominator;
        // dose / strength X volume, strength and volume in thousandths: a volume in ml of
        // numerator / denominator
        const long long numerator = doseNumerator * liquid.volume;
        const long long denominator = doseDenominator * liquid.strength;
        const bool small = numerator < denominator;
        const long long volume = roundedMilli(numerator, denominator, small ? 2 : 1);
        if (volume < LeastVolume || volume > MostVolume)
            return std::nullopt;
        q.question += " " + capitalised(name) + " " + milliText(liquid.strength) + " mg in " + milliText(liquid.volume)
            + " " + (millilitres && liquid.volume == Milli ? std::string("millilitre") : ml)
            + " is available. How many " + ml + " will you give" + (line.perDay() ? " for one dose?" : "?");
        const std::string dose = quotientText(doseNumerator, doseDenominator);
        const std::string exact = quotientText(numerator, denominator);
        const std::string working = p.working + Br + Br
            + (p.dose.capped ? p.dose.sentence : "The dose is not rounded: only the volume to give is rounded.") + Br
            + Br + "The volume is " + dose + " (mg) / " + milliText(liquid.strength) + " (mg) X "
            + milliText(liquid.volume) + " (ml) = " + exact + " (ml)" + Br + Br
            + (small ? "Rule: a volume below 1 ml is rounded to 2 decimal places. "
                     : "Rule: a volume of 1 ml or more is rounded to 1 decimal place. ")
            + (volume * denominator == numerator * Milli ? exact + " ml needs no rounding."
                                                         : exact + " ml is rounded to " + milliText(volume) + " ml.");
        q.answer = static_cast<double>(volume) / Milli;
        q.solution = solutionText(q.question,
            "one dose is:" + Br + Br + "weight (kg) X dose (mg/kg), divided by the number of doses for a daily dose"
                + Br + "and the volume is:" + Br + Br + "dose (mg) / stock strength (mg) X stock volume (ml)",
            working);
        return q;
    }

    // The largest safe single dose: the high end of the range.
    const Prescription largest = prescribe(line, weight, u.high, u.maximum);
    if (largest.dose.value < Milli / 10)
        return std::nullopt;
    const std::string working = std::string(u.high == u.low ? "The largest safe dose is the one dose per kg given."
                                                            : "The largest safe dose uses the high end of the range.")
        + Br + largest.working + Br + Br + largest.dose.sentence;
    if (form == WeightDoseForm::LargestSafeDose) {
        q.question = child + ". " + safeRangeText(u) + " What is the largest safe single dose in mg?";
        q.answer = static_cast<double>(largest.dose.value) / Milli;
        q.solution = solutionText(q.question, DoseFormula, working);
        return q;
    }

    // An order 10 % to 50 % above it, in steps a prescriber writes: 5 mg from 50 mg, 1 mg from
    // 10 mg, 0.5 mg below.
    random.reseed();
    const long long percent = 9 + randomWhole(random, 41);
    const long long step = largest.dose.value >= 50 * Milli ? 5 * Milli
        : largest.dose.value >= 10 * Milli                  ? Milli
                                                            : Milli / 2;
    const long long above = largest.dose.value * (100 + percent) / 100;
    const long long prescribed = (above + step - 1) / step * step;
    if (prescribed <= largest.dose.value)
        return std::nullopt;
    const long long excess = prescribed - largest.dose.value;
    if (!largest.dose.capped) {
        // The excess worked from the unrounded largest dose and rounded once must be the same
        // number, so that either way of working is marked right: a half (409.5 mg) is not.
        const long long n = prescribed * largest.denominator - largest.numerator * Milli;
        const long long d = Milli * largest.denominator;
        if (roundedMilli(n, d, n < 10 * d ? 1 : 0) != excess)
            return std::nullopt;
    }
    q.question = child + " " + milliText(prescribed) + " mg per dose. " + safeRangeText(u)
        + " By how many mg does the prescribed dose exceed the largest safe single dose?";
    q.answer = static_cast<double>(excess) / Milli;
    q.solution
        = solutionText(q.question, "the excess is:" + Br + Br + "prescribed dose (mg) - largest safe single dose (mg)",
            working + Br + Br + "The excess is " + milliText(prescribed) + " (mg) - " + milliText(largest.dose.value)
                + " (mg) = " + milliText(excess) + " (mg)");
    return q;
}

DrugQuestionResult weightDoseQuestion(AppState& state, const std::vector<WeightDoseDrug>& drugs)
{
    DrugQuestionResult result;
    const std::vector<Usable> usable = usableDrugs(drugs);
    if (usable.empty()) {
        result.problem = "No weight-based dose question can be made: no drug with a dose per kg has a highest single "
                         "dose in a known unit.";
        return result;
    }
    RandomSource& random = state.rng();
    for (int attempt = 0; attempt < MaxDraws; ++attempt) {
        random.reseed();
        // A form no drug can give passes to the next one: a drug list without liquids still
        // gives the other forms.
        int f = randomWhole(random, WeightDoseFormCount);
        std::vector<const Usable*> fitting;
        for (int tried = 0; tried < WeightDoseFormCount && fitting.empty(); ++tried) {
            for (const Usable& u : usable)
                if (fitsForm(u, static_cast<WeightDoseForm>(f)))
                    fitting.push_back(&u);
            if (fitting.empty())
                f = f % WeightDoseFormCount + 1;
        }
        const auto form = static_cast<WeightDoseForm>(f);
        random.reseed();
        const Usable& u = *fitting[static_cast<std::size_t>(randomWhole(random, static_cast<int>(fitting.size())) - 1)];
        random.reseed();
        const int weight = LightestWeight - 1 + randomWhole(random, HeaviestWeight - LightestWeight + 1);
        const bool highEnd = randomWhole(random, 2) == 2;
        if (std::optional<GeneratedQuestion> q = drawQuestion(state, u, form, weight, highEnd)) {
            result.record = u.drug->record;
            result.question = std::move(*q);
            return result;
        }
    }
    result.problem = "No weight-based dose question fitted its bounds in " + formatInt(MaxDraws) + " draws.";
    return result;
}

} // namespace

DrugQuestionResult makeWeightDoseQuestion(AppState& state, const std::vector<WeightDoseDrug>& drugs)
{
    try {
        return weightDoseQuestion(state, drugs);
    } catch (const std::exception& e) {
        DrugQuestionResult result;
        result.problem = std::string("No weight-based dose question could be made: ") + e.what();
        return result;
    }
}

DrugQuestionResult makeWeightDoseQuestion(AppState& state)
{
    const MatchedWeightDoses matched = matchWeightDoses(state.dataFolder);
    const std::string unavailable = weightDosesUnavailable(matched);
    if (!unavailable.empty()) {
        DrugQuestionResult result;
        result.problem = "No weight-based dose question can be made. " + unavailable;
        return result;
    }
    return makeWeightDoseQuestion(state, matched.drugs);
}

} // namespace tb
