#include "core/questions/infusion_questions.h"

#include "core/foundation/number_format.h"
#include "core/foundation/unit_tables.h"
#include "core/questions/drop_rate_question.h"

#include <cmath>
#include <optional>

namespace tb {

namespace {

/// How many times a draw is repeated before the generator settles for a fixed, known-good question.
constexpr int MaxDraws = 10000;

/// The fastest rate a volumetric pump is asked about, in ml/hr.
constexpr long long MaxPumpRate = 999;

/// The gravity rates an infusion time question states, in drops per minute.
constexpr long long FewestDrops = 5;
constexpr long long MostDrops = 120;

/// The longest infusion a time question asks about: one day, in minutes.
constexpr long long LongestInfusion = 1440;

/// A random whole number from 0 to n - 1: floor(r * n).
int randomFromZero(RandomSource& random, int n)
{
    return randomWhole(random, n) - 1;
}

/// A quotient of whole numbers in the general number format: every digit the solution shows.
std::string quotientText(long long numerator, long long denominator)
{
    return formatNumber(static_cast<double>(numerator) / static_cast<double>(denominator));
}

int minutesOf(const InfusionOrder& order)
{
    return static_cast<int>(std::lround(order.hours * 60.0));
}

/// "The volume is (1 litre X 1000 ml) = 1000 (mls)", or "The volume is 250 mls (mls)".
std::string volumeLine(const InfusionOrder& order)
{
    if (order.volume < 1000)
        return "The volume is " + order.volumeText + " (mls)";
    return "The volume is (" + order.volumeText + " X 1000 ml) = " + formatInt(order.volume) + " (mls)";
}

/// "500 minutes = 8 hours and 20 minutes": the answer again as a nurse reads a clock.
std::string hoursAndMinutes(long long minutes)
{
    const long long hours = minutes / 60;
    const long long rest = minutes % 60;
    std::string text = formatInt(minutes) + " minutes = " + formatInt(hours) + (hours == 1 ? " hour" : " hours");
    if (rest != 0)
        text += " and " + formatInt(rest) + (rest == 1 ? " minute" : " minutes");
    return text;
}

/// The parts of a worked solution that differ between the questions.
struct Worked {
    std::string formulaName; // "the pump rate"
    std::string formula; // the fraction, three lines without a final line break
    std::string units; // the conversion lines, without a final line break
    std::string calculation; // the numbers in the formula, without a final line break
    WholeRounding rounding;
    std::string closing; // a last line, or empty
};

std::string solutionText(const std::string& question, const Worked& w)
{
    std::string s = "The Question was :" + std::string(LineBreak) + question + LineBreak + LineBreak;
    s += "The formula for calculating " + w.formulaName + " is:" + LineBreak + LineBreak;
    s += w.formula + LineBreak + LineBreak;
    s += " You must first ensure that all units conform to those required in the formula:" + std::string(LineBreak);
    s += w.units + LineBreak + LineBreak;
    s += "Now we plug these numbers into the formula:" + std::string(LineBreak) + LineBreak;
    s += w.calculation;
    if (!w.rounding.sentence.empty())
        s += LineBreak + std::string(LineBreak) + w.rounding.sentence;
    if (!w.closing.empty())
        s += (w.rounding.sentence.empty() ? LineBreak + std::string(LineBreak) : std::string(LineBreak)) + w.closing;
    return s;
}

GeneratedQuestion finish(const std::string& question, const Worked& worked, const DuplicateKeys& keys)
{
    GeneratedQuestion result;
    result.question = question;
    result.answer = static_cast<double>(worked.rounding.answer);
    result.solution = solutionText(question, worked);
    result.duplicateKeys = keys;
    return result;
}

const std::string Rule(50, '-');

// ---- infusion pump rates ----

Worked pumpWorked(const std::string& units, long long volume, long long minutes, const std::string& hoursText)
{
    Worked w;
    w.formulaName = "the pump rate";
    w.formula = "volume (mls)" + std::string(LineBreak) + Rule + LineBreak + "time (hours)";
    w.units = units;
    w.rounding = roundHalfUp(volume * 60, minutes);
    w.calculation = formatInt(volume) + " (mls) / " + hoursText + " (hours) = " + quotientText(volume * 60, minutes)
        + " (mls/hr)";
    return w;
}

/// Forms 1 and 2: a fresh infusion.
GeneratedQuestion chartedPumpQuestion(const InfusionOrder& order, int form)
{
    const std::string given = order.volumeText + " of " + order.fluidName;
    const std::string question = form == 1
        ? given + " is to be given over " + order.timeText
            + " by volumetric pump. At what rate in ml/hr should the pump be set?"
        : "Ordered: " + given + " over " + order.timeText + " via an infusion pump. Calculate the pump rate in ml/hr.";
    const std::string hoursText = formatNumber(order.hours);
    const std::string units = volumeLine(order) + LineBreak + "Over " + hoursText + " (hours)";
    return finish(
        question, pumpWorked(units, order.volume, minutesOf(order), hoursText), { order.volume, order.hours, form });
}

/// Form 3: an infusion that has run for a while and must now finish on time; empty when the
/// draw is rejected.
std::optional<GeneratedQuestion> runningPumpQuestion(RandomSource& random, const InfusionOrder& order)
{
    random.reseed();
    const long long percentOfTime = randomFromZero(random, 60) + 30;
    const long long percentOfRate = randomWhole(random, 41) + 79; // 80 to 120
    const long long minutes = minutesOf(order);
    const long long elapsed = percentOfTime * minutes / 100 / 15 * 15;
    if (elapsed < 15)
        return std::nullopt;
    // Run at percentOfRate % of the charted rate, the pump has given volume x percentOfRate x
    // elapsed / (100 x minutes); what is left is rounded down to a multiple of 50 ml.
    const long long leftOver = order.volume * (100 * minutes - percentOfRate * elapsed);
    if (leftOver < 0)
        return std::nullopt;
    const long long remaining = leftOver / (5000 * minutes) * 50;
    const long long minutesLeft = minutes - elapsed;
    if (remaining < 50 || remaining >= order.volume || remaining * 60 > MaxPumpRate * minutesLeft)
        return std::nullopt;

    const std::string remainingText = remainingVolumeText(static_cast<int>(remaining));
    const std::string question = order.volumeText + " of " + order.fluidName + " is charted over " + order.timeText
        + ". The pump has been running for " + elapsedTimeText(static_cast<int>(elapsed)) + ". " + remainingText
        + " remain. At what rate in ml/hr should the pump now be set so that the infusion finishes in the required "
          "time?";
    const std::string volumeConversion
        = remaining < 1000 ? remainingText : remainingText + " = " + formatInt(remaining) + " mls";
    const std::string hoursText = quotientText(minutesLeft, 60);
    const std::string charted
        = order.hours < 1.0 ? formatInt(minutes) : "(" + order.timeText + " X 60 minutes) = " + formatInt(minutes);
    const std::string units = "The volume is " + volumeConversion + " (mls) remaining" + LineBreak
        + "The time charted is " + charted + " (min)" + LineBreak + "The time left is " + formatInt(minutes) + " - "
        + formatInt(elapsed) + " = " + formatInt(minutesLeft) + " (min)" + LineBreak + "Over (" + formatInt(minutesLeft)
        + " minutes / 60) = " + hoursText + " (hours) remaining";
    return finish(question, pumpWorked(units, remaining, minutesLeft, hoursText),
        { static_cast<double>(remaining), static_cast<double>(minutesLeft) / 60.0, 3 });
}

// ---- infusion times ----

/// Form 1: at a pump rate in ml/hr.
GeneratedQuestion pumpTimeQuestion(const InfusionOrder& order, long long rate)
{
    const std::string question = order.volumeText + " of " + order.fluidName
        + " is running through a volumetric pump at " + formatInt(rate)
        + " ml/hr. How many minutes will the infusion take?";
    const std::string hours = quotientText(order.volume, rate);
    Worked w;
    w.formulaName = "the infusion time";
    w.formula = "volume (mls)" + std::string(LineBreak) + Rule + " X 60 minutes" + LineBreak + "rate (mls/hr)";
    w.units = volumeLine(order) + LineBreak + "The rate is " + formatInt(rate) + " (mls/hr)";
    w.calculation = formatInt(order.volume) + " (mls) / " + formatInt(rate) + " (mls/hr) = " + hours + " (hours)"
        + LineBreak + hours + " (hours) X 60 = " + quotientText(order.volume * 60LL, rate) + " (min)";
    w.rounding = roundHalfUp(order.volume * 60LL, rate);
    w.closing = hoursAndMinutes(w.rounding.answer);
    return finish(question, w, { order.volume, static_cast<double>(rate), std::nullopt });
}

/// Form 2: at a gravity rate in drops per minute.
GeneratedQuestion dropTimeQuestion(const InfusionOrder& order, int dropFactor, long long drops)
{
    const std::string question = order.volumeText + " of " + order.fluidName + " is running at " + formatInt(drops)
        + " drops per minute through a giving set which delivers " + formatInt(dropFactor)
        + " drops/ml. How many minutes will the infusion take?";
    const long long totalDrops = static_cast<long long>(order.volume) * dropFactor;
    Worked w;
    w.formulaName = "the infusion time";
    w.formula
        = "volume (mls) X drop factor (drops/ml)" + std::string(LineBreak) + Rule + LineBreak + "drops per minute";
    w.units = volumeLine(order) + LineBreak + "The drop factor is " + formatInt(dropFactor) + " (drops/ml)" + LineBreak
        + "The rate is " + formatInt(drops) + " (drops/min)";
    w.calculation = formatInt(order.volume) + " (mls) X " + formatInt(dropFactor)
        + " (drops/ml) = " + formatInt(totalDrops) + " (drops)" + LineBreak + formatInt(totalDrops) + " (drops) / "
        + formatInt(drops) + " (drops/min) = " + quotientText(totalDrops, drops) + " (min)";
    w.rounding = roundHalfUp(totalDrops, drops);
    w.closing = hoursAndMinutes(w.rounding.answer);
    return finish(question, w, { order.volume, static_cast<double>(drops), static_cast<double>(dropFactor) });
}

/// The question given when no draw passes within the bounds (only a broken random source gets
/// here): 1 litre of IV Fluids over 8 hours.
InfusionOrder fallbackOrder()
{
    return InfusionOrder { 1000, 8.0, "IV Fluids", "1 litre", "8 hours" };
}

} // namespace

long long roundedQuotient(long long numerator, long long denominator, int decimals)
{
    for (int d = 0; d < decimals; ++d)
        numerator *= 10;
    return (2 * numerator + denominator) / (2 * denominator);
}

WholeRounding roundHalfUp(long long numerator, long long denominator)
{
    WholeRounding rounding;
    rounding.answer = roundedQuotient(numerator, denominator, 0);
    if (numerator % denominator == 0)
        return rounding;
    rounding.sentence = "This number requires rounding into a whole number.";
    if (rounding.answer * denominator > numerator)
        rounding.sentence
            += " Because the first decimal place is 5 or more it is rounded up to " + formatInt(rounding.answer) + ".";
    else
        rounding.sentence += " Because the first decimal place is less than 5 it is rounded down to "
            + formatInt(rounding.answer) + ".";
    return rounding;
}

GeneratedQuestion makePumpRateQuestion(AppState& state)
{
    RandomSource& random = state.rng();
    const int form = randomWhole(random, 3);
    for (int attempt = 0; attempt < MaxDraws; ++attempt) {
        const std::optional<InfusionOrder> order = drawInfusionOrder(random, form == 3);
        if (!order)
            continue;
        // A charted rate is at most 3000 ml over 12 hours or 2000 ml over 3 hours: never above 999.
        if (form != 3)
            return chartedPumpQuestion(*order, form);
        if (std::optional<GeneratedQuestion> running = runningPumpQuestion(random, *order))
            return *running;
    }
    return chartedPumpQuestion(fallbackOrder(), 1);
}

GeneratedQuestion makeInfusionTimeQuestion(AppState& state)
{
    RandomSource& random = state.rng();
    const int form = randomWhole(random, 2);
    for (int attempt = 0; attempt < MaxDraws; ++attempt) {
        const std::optional<InfusionOrder> order = drawInfusionOrder(random, false);
        if (!order)
            continue;
        const long long volume = order->volume;
        if (form == 1) {
            // The rate a nurse would have set for the charted time.
            const long long rate = roundHalfUp(volume * 60, minutesOf(*order)).answer;
            if (volume * 60 <= LongestInfusion * rate)
                return pumpTimeQuestion(*order, rate);
            continue;
        }
        const int dropFactor = drawDropFactor(random);
        const long long drops = static_cast<long long>(
            roundDropRate(static_cast<double>(volume) / (order->hours * 60.0) * dropFactor).answer);
        if (drops >= FewestDrops && drops <= MostDrops && volume * dropFactor <= LongestInfusion * drops)
            return dropTimeQuestion(*order, dropFactor, drops);
    }
    return pumpTimeQuestion(fallbackOrder(), 125);
}

} // namespace tb
