#include "core/questions/units_questions.h"

#include "core/foundation/number_format.h"
#include "core/foundation/unit_tables.h"
#include "core/questions/infusion_questions.h"

#include <array>
#include <string>

namespace tb {

namespace {

// ---- the strengths sold and the bags made up ----

/// A heparin injection: the dose ordered and the strength of the vial or ampoule.
struct Injection {
    const char* route; // "subcutaneously"
    std::array<long long, 5> doses; // units; 0 ends a shorter list
    std::array<long long, 2> strengths; // units/ml
};

// Subcutaneous prophylaxis comes from 5000 and 25000 units/ml; an intravenous bolus from 1000
// and 5000 units/ml. Every pair gives a volume with at most two decimals.
constexpr std::array<Injection, 2> Injections { {
    { "subcutaneously", { 5000, 7500, 0, 0, 0 }, { 5000, 25000 } },
    { "as an intravenous bolus", { 2000, 2500, 3000, 4000, 5000 }, { 1000, 5000 } },
} };

/// An infusion bag as a pharmacy or ward makes it up.
struct Bag {
    long long units;
    long long ml;
};

constexpr std::array<Bag, 3> HeparinBags { { { 25000, 500 }, { 25000, 250 }, { 20000, 500 } } };
constexpr std::array<Bag, 2> InsulinBags { { { 50, 50 }, { 100, 100 } } };

// Heparin infusions run at 500 to 2000 units/hr, charted in steps of 50; insulin at 0.5 to 10
// units/hr in steps of 0.5; single insulin doses are 2 to 40 units.
constexpr long long LeastHeparinRate = 500;
constexpr long long MostHeparinRate = 2000;
constexpr long long HeparinRateStep = 50;
constexpr int InsulinHalfUnitsPerHour = 20; // 0.5 to 10 units/hr
constexpr long long LeastInsulinDose = 2;
constexpr long long MostInsulinDose = 40;
constexpr long long InsulinStrength = 100; // units/ml

/// The forms, also the last duplicate key (80 + form) so that no other category's keys meet them.
enum Form { Injected = 1, HeparinPump, HeparinPerHour, InsulinPump, InsulinDrawn };
constexpr int FormCount = 5;

const std::string Rule(25, '-');

// ---- wording ----

/// "ml" or "millilitres" as the settings choose; "units/ml" or "units per millilitre".
struct Words {
    bool abbreviated;
    std::string volume(const std::string& amount, bool one = false) const
    {
        return amount + (abbreviated ? " ml" : one ? " millilitre" : " millilitres");
    }
    std::string strength(long long units) const
    {
        return formatInt(units) + (abbreviated ? " units/ml" : " units per millilitre");
    }
    std::string askedVolume() const { return abbreviated ? "ml" : "millilitres"; }
};

/// "1 unit" or "0.5 units": units always in full, singular only for exactly one.
std::string unitsText(const std::string& amount, const char* per = "")
{
    return amount + (amount == "1" ? " unit" : " units") + per;
}

// ---- rounding, exact in whole numbers ----

/// numerator / denominator (both positive) rounded half-up to `decimals` places, with the
/// solution's sentence saying which rule was applied and what it did.
struct Rounded {
    double value = 0;
    std::string text; // the rounded value in the general number format
    std::string sentence;
};

Rounded roundQuotient(
    long long numerator, long long denominator, int decimals, const std::string& rule, const std::string& unit)
{
    long long scale = 1;
    for (int d = 0; d < decimals; ++d)
        scale *= 10;
    const long long scaled = numerator * scale;
    const long long q = roundedQuotient(numerator, denominator, decimals);
    Rounded r;
    r.value = static_cast<double>(q) / static_cast<double>(scale);
    r.text = formatNumber(r.value);
    r.sentence = "Rounding: " + rule + ", so ";
    if (scaled % denominator == 0) {
        r.sentence += r.text + " " + unit + " needs no rounding.";
    } else {
        const std::string exact = formatNumber(static_cast<double>(numerator) / static_cast<double>(denominator));
        r.sentence += exact + " " + unit + " is rounded " + (q * denominator > scaled ? "up" : "down") + " to " + r.text
            + " " + unit + ".";
    }
    return r;
}

/// A volume in ml: 1 ml and more to 1 decimal place, below 1 ml to 2.
Rounded roundVolume(long long numerator, long long denominator)
{
    return numerator >= denominator
        ? roundQuotient(numerator, denominator, 1, "a volume of 1 ml or more is given to 1 decimal place", "ml")
        : roundQuotient(numerator, denominator, 2, "a volume below 1 ml is given to 2 decimal places", "ml");
}

Rounded roundPumpRate(long long numerator, long long denominator)
{
    return roundQuotient(numerator, denominator, 1, "a pump rate is set to 1 decimal place", "ml/hr");
}

// ---- the worked solution ----

struct Worked {
    std::string formulaName; // "the pump rate"
    std::string formula; // without a final line break
    std::string units; // the strengths worked out, without a final line break
    std::string calculation; // without a final line break
    std::string rounding;
    std::string closing; // a last line, or empty
    double answer = 0;
};

GeneratedQuestion finish(const std::string& question, const Worked& w, double answer, const DuplicateKeys& keys)
{
    const std::string Br = LineBreak;
    std::string s = "The Question was :" + Br + question + Br + Br;
    s += "The formula for " + w.formulaName + " is:" + Br + Br + w.formula + Br + Br;
    s += "You must first ensure that all units conform to those required in the formula:" + Br + w.units + Br + Br;
    s += "Now we plug these numbers into the formula:" + Br + Br + w.calculation + Br + Br + w.rounding;
    if (!w.closing.empty())
        s += Br + w.closing;
    GeneratedQuestion result;
    result.question = question;
    result.answer = answer;
    result.solution = s;
    result.duplicateKeys = keys;
    return result;
}

DuplicateKeys keysOf(double first, double second, Form form)
{
    return { first, second, 80.0 + static_cast<int>(form) };
}

/// "The bag strength is 25000 (units) / 500 (ml) = 50 (units/ml)"; the bags hold whole units per ml.
std::string bagStrengthLine(const Bag& bag)
{
    const long long perMl = bag.units / bag.ml;
    return "The bag strength is " + formatInt(bag.units) + " (units) / " + formatInt(bag.ml)
        + " (ml) = " + formatInt(perMl) + (perMl == 1 ? " (unit/ml)" : " (units/ml)");
}

// ---- the forms ----

GeneratedQuestion injectedQuestion(RandomSource& random, const Words& words)
{
    const int kind = randomWhole(random, static_cast<int>(Injections.size())) - 1;
    const Injection& injection = Injections[static_cast<std::size_t>(kind)];
    int doseCount = 0;
    while (doseCount < static_cast<int>(injection.doses.size())
        && injection.doses[static_cast<std::size_t>(doseCount)] != 0)
        ++doseCount;
    const long long dose = injection.doses[static_cast<std::size_t>(randomWhole(random, doseCount) - 1)];
    const long long strength = injection.strengths[static_cast<std::size_t>(
        randomWhole(random, static_cast<int>(injection.strengths.size())) - 1)];

    const std::string question = "Heparin " + unitsText(formatInt(dose)) + " is ordered " + injection.route
        + ". Heparin " + words.strength(strength) + " is available. How many " + words.askedVolume()
        + " will you give?";
    const Rounded volume = roundVolume(dose, strength);
    Worked w;
    w.formulaName = "the volume to give";
    w.formula = "dose ordered (units)" + std::string(LineBreak) + Rule + " X stock volume (ml)" + LineBreak
        + "stock strength (units)";
    w.units = "The dose ordered is " + formatInt(dose) + " (units)" + LineBreak + "The stock strength is "
        + formatInt(strength) + " (units) in 1 (ml)";
    w.calculation = formatInt(dose) + " (units) / " + formatInt(strength)
        + " (units) X 1 (ml) = " + formatNumber(static_cast<double>(dose) / static_cast<double>(strength)) + " (ml)";
    w.rounding = volume.sentence;
    return finish(question, w, volume.value,
        keysOf(static_cast<double>(dose), static_cast<double>(strength * 10 + kind), Injected));
}

/// The formula and working of a pump rate: `rateText` units/hr from `bag`, exactly
/// numerator / denominator ml/hr before rounding.
Worked pumpWorked(const Bag& bag, const std::string& rateText, long long numerator, long long denominator)
{
    const long long perMl = bag.units / bag.ml;
    const Rounded rate = roundPumpRate(numerator, denominator);
    Worked w;
    w.formulaName = "the pump rate";
    w.formula = "dose ordered (units/hr)" + std::string(LineBreak) + Rule + LineBreak + "bag strength (units/ml)";
    w.units = bagStrengthLine(bag);
    w.calculation = rateText + " (units/hr) / " + formatInt(perMl) + (perMl == 1 ? " (unit/ml)" : " (units/ml)") + " = "
        + formatNumber(static_cast<double>(numerator) / static_cast<double>(denominator)) + " (ml/hr)";
    w.rounding = rate.sentence;
    w.answer = rate.value;
    return w;
}

GeneratedQuestion heparinPumpQuestion(RandomSource& random, const Words& words)
{
    const int b = randomWhole(random, static_cast<int>(HeparinBags.size())) - 1;
    const Bag& bag = HeparinBags[static_cast<std::size_t>(b)];
    const long long steps = (MostHeparinRate - LeastHeparinRate) / HeparinRateStep + 1;
    const long long rate = LeastHeparinRate + HeparinRateStep * (randomWhole(random, static_cast<int>(steps)) - 1);
    const std::string question = formatInt(bag.units) + " units of heparin in " + words.volume(formatInt(bag.ml))
        + " are to run at " + formatInt(rate) + " units/hr. At what rate in ml/hr should the pump be set?";
    const Worked w = pumpWorked(bag, formatInt(rate), rate * bag.ml, bag.units);
    return finish(question, w, w.answer, keysOf(static_cast<double>(rate), b, HeparinPump));
}

GeneratedQuestion heparinPerHourQuestion(RandomSource& random, const Words& words)
{
    const int b = randomWhole(random, static_cast<int>(HeparinBags.size())) - 1;
    const Bag& bag = HeparinBags[static_cast<std::size_t>(b)];
    const long long perMl = bag.units / bag.ml;
    // Pump rates in steps of 0.5 ml/hr that give 500 to 2000 units/hr: halves from 2 x 500 / perMl.
    const long long leastHalves = (2 * LeastHeparinRate + perMl - 1) / perMl;
    const long long mostHalves = 2 * MostHeparinRate / perMl;
    const long long halves = leastHalves + randomWhole(random, static_cast<int>(mostHalves - leastHalves + 1)) - 1;
    const std::string rateText = formatNumber(static_cast<double>(halves) / 2.0);
    const std::string question = "A heparin infusion of " + formatInt(bag.units) + " units in "
        + words.volume(formatInt(bag.ml)) + " is running at " + rateText
        + " ml/hr. How many units of heparin per hour is the patient receiving?";
    const Rounded dose = roundQuotient(halves * perMl, 2, 0, "a heparin dose is given in whole units", "units/hr");
    Worked w;
    w.formulaName = "the dose per hour";
    w.formula = "pump rate (ml/hr) X bag strength (units/ml)";
    w.units = bagStrengthLine(bag);
    w.calculation = rateText + " (ml/hr) X " + formatInt(perMl)
        + " (units/ml) = " + formatNumber(static_cast<double>(halves * perMl) / 2.0) + " (units/hr)";
    w.rounding = dose.sentence;
    return finish(question, w, dose.value, keysOf(static_cast<double>(halves), b, HeparinPerHour));
}

GeneratedQuestion insulinPumpQuestion(RandomSource& random, const Words& words)
{
    const int b = randomWhole(random, static_cast<int>(InsulinBags.size())) - 1;
    const Bag& bag = InsulinBags[static_cast<std::size_t>(b)];
    const long long halves = randomWhole(random, InsulinHalfUnitsPerHour);
    const std::string rateText = formatNumber(static_cast<double>(halves) / 2.0);
    const std::string question = formatInt(bag.units) + " units of insulin in " + words.volume(formatInt(bag.ml))
        + " are to run at " + unitsText(rateText, "/hr") + ". At what rate in ml/hr should the pump be set?";
    const Worked w = pumpWorked(bag, rateText, halves * bag.ml, 2 * bag.units);
    return finish(question, w, w.answer, keysOf(static_cast<double>(halves), b, InsulinPump));
}

GeneratedQuestion insulinDrawnQuestion(RandomSource& random, const Words& words)
{
    const long long units
        = LeastInsulinDose + randomWhole(random, static_cast<int>(MostInsulinDose - LeastInsulinDose + 1)) - 1;
    // The dose in hundredths of a ml: one unit of 100 units/ml each.
    const std::string mlText = formatNumber(static_cast<double>(units) / static_cast<double>(InsulinStrength));
    const std::string question = "Insulin " + words.strength(InsulinStrength) + " is available. The dose to give is "
        + words.volume(mlText) + ". How many units will you draw up in an insulin syringe marked in units ("
        + words.strength(InsulinStrength) + ")?";
    const Rounded drawn
        = roundQuotient(units * InsulinStrength, InsulinStrength, 0, "insulin is given in whole units", "units");
    Worked w;
    w.formulaName = "the units to draw up";
    w.formula = "volume (ml) X insulin strength (units/ml)";
    w.units = "The insulin strength is " + formatInt(InsulinStrength) + " (units/ml)";
    w.calculation = mlText + " (ml) X " + formatInt(InsulinStrength) + " (units/ml) = " + formatInt(units) + " (units)";
    w.rounding = drawn.sentence;
    w.closing = "On the insulin syringe, draw up to the " + formatInt(units) + " unit mark.";
    return finish(question, w, drawn.value, keysOf(static_cast<double>(units), 0, InsulinDrawn));
}

} // namespace

GeneratedQuestion makeUnitsQuestion(AppState& state)
{
    RandomSource& random = state.rng();
    const Words words { state.settings.abbreviationsOn() };
    switch (randomWhole(random, FormCount)) {
    case Injected:
        return injectedQuestion(random, words);
    case HeparinPump:
        return heparinPumpQuestion(random, words);
    case HeparinPerHour:
        return heparinPerHourQuestion(random, words);
    case InsulinPump:
        return insulinPumpQuestion(random, words);
    default:
        return insulinDrawnQuestion(random, words);
    }
}

} // namespace tb
