#include "core/questions/drop_rate_question.h"

#include "core/foundation/number_format.h"

#include <array>
#include <cmath>
#include <optional>

namespace tb {

namespace {

/// How many times a draw is repeated before the generator settles for a fixed, known-good question.
constexpr int MaxDraws = 10000;

/// The fastest rate a gravity infusion is asked about, in drops per minute.
constexpr double MaxRate = 120.0;

/// Above this fraction a rate is rounded up.
constexpr double RoundUpAbove = 0.49;

const std::array<const char*, 5> FluidName
    = { "IV Fluids", "Normal Saline", "Dextrose 5% in water", "Hartmans (Lactated Ringer's)", "Dextrose 5% in NS" };

/// Drops per ml of the three giving sets, used from 1.
constexpr std::array<int, 4> DropFactor = { 0, 10, 15, 60 };

// The arithmetic of this question keeps track of precision, because the solution writes a
// single-precision value with 7 digits and a double-precision one with 15. Whole numbers stay
// whole under +, - and *, and divide into a double; a single-precision operand without a double
// one makes the result single precision, computed in float so that every step rounds as such.
enum class Precision { Whole, Single, Double };

struct Num {
    Num(int whole)
        : value(whole)
    {
    }
    Num(double v, Precision p)
        : value(p == Precision::Single ? static_cast<float>(v) : v)
        , precision(p)
    {
    }

    double value = 0.0;
    Precision precision = Precision::Whole;
};

Num single(double value)
{
    return Num(value, Precision::Single);
}

template <typename Op> Num combine(const Num& a, const Num& b, bool division, Op op)
{
    Precision p = division ? Precision::Double : Precision::Whole;
    if (a.precision == Precision::Double || b.precision == Precision::Double)
        p = Precision::Double;
    else if (a.precision == Precision::Single || b.precision == Precision::Single)
        p = Precision::Single;
    if (p == Precision::Single)
        return Num(op(static_cast<float>(a.value), static_cast<float>(b.value)), p);
    return Num(op(a.value, b.value), p);
}

Num operator+(const Num& a, const Num& b)
{
    return combine(a, b, false, [](auto x, auto y) { return x + y; });
}

Num operator-(const Num& a, const Num& b)
{
    return combine(a, b, false, [](auto x, auto y) { return x - y; });
}

Num operator*(const Num& a, const Num& b)
{
    return combine(a, b, false, [](auto x, auto y) { return x * y; });
}

Num operator/(const Num& a, const Num& b)
{
    return combine(a, b, true, [](auto x, auto y) { return x / y; });
}

Num floorOf(const Num& a)
{
    return Num(std::floor(a.value), a.precision);
}

std::string text(const Num& n)
{
    if (n.precision == Precision::Single)
        return formatSingle(static_cast<float>(n.value));
    return formatNumber(n.value);
}

std::string text(int n)
{
    return formatInt(n);
}

/// A random whole number from 0 to n - 1: floor(r * n).
int randomFromZero(RandomSource& random, int n)
{
    return randomWhole(random, n) - 1;
}

/// The infusion every question is about.
struct Infusion {
    int volume = 0;
    Num hours = 0;
    int dropFactor = 0;
    int fluid = 0;
    Num rate = 0;
    std::string volumeText;
    std::string timeText;

    Num minutes() const { return hours * 60; }
    std::string fluidName() const { return FluidName[static_cast<std::size_t>(fluid)]; }
};

/// Writes the volume and the time as the question shows them, and works out the charted rate.
void completeInfusion(Infusion& infusion)
{
    const int volume = infusion.volume;
    if (volume < 1000)
        infusion.volumeText = text(volume) + " mls";
    else if (volume == 1000)
        infusion.volumeText = "1 litre";
    else
        infusion.volumeText = text(Num(volume) / 1000) + " litres";

    if (infusion.timeText.empty())
        infusion.timeText = infusion.hours.value == 1.0 ? "1 hour" : text(infusion.hours) + " hours";
    infusion.rate = Num(volume) / infusion.minutes() * infusion.dropFactor;
}

/// One attempt at drawing the volume, fluid and time; empty when a running infusion draws less than 500 ml.
std::optional<Infusion> drawOrder(RandomSource& random, bool running)
{
    random.reseed();
    Infusion infusion;
    const int k = randomWhole(random, 14);
    if (running && k < 4)
        return std::nullopt;

    constexpr std::array<int, 15> VolumeOfDraw
        = { 0, 50, 100, 250, 500, 500, 1000, 1000, 1000, 1000, 1000, 1500, 2000, 2000, 3000 };
    infusion.volume = VolumeOfDraw[static_cast<std::size_t>(k)];
    infusion.fluid = infusion.volume < 500 ? 0 : randomFromZero(random, 4);

    // The times come from half-hour steps, computed as whole-number divisions and kept as
    // single precision; only the 3000-ml bag has the whole number 12.
    if (k <= 3)
        infusion.hours = single((Num(randomWhole(random, 5)) * 30 / 60).value);
    else if (k <= 5)
        infusion.hours = single(((Num(randomWhole(random, 8)) * 30 + 30) / 60).value);
    else if (k <= 13)
        infusion.hours = single(randomFromZero(random, 10) + 3);
    else {
        infusion.hours = 12;
        infusion.timeText = "12 hours";
    }
    return infusion;
}

/// One attempt at drawing the infusion; empty when the draw is rejected.
std::optional<Infusion> drawInfusion(RandomSource& random, bool running)
{
    std::optional<Infusion> infusion = drawOrder(random, running);
    if (!infusion)
        return std::nullopt;
    infusion->dropFactor = drawDropFactor(random);
    completeInfusion(*infusion);
    if (infusion->rate.value > MaxRate)
        return std::nullopt;
    return infusion;
}

/// The volume, time and giving-set lines of the solution, and the numbers the formula uses.
struct Working {
    std::string lines;
    Num volume = 0;
    Num minutes = 0;
    Num rate = 0;
};

Working chartedWorking(const Infusion& infusion)
{
    const std::string minutesText = infusion.hours.value < 1.0
        ? text(infusion.minutes())
        : "(" + infusion.timeText + " X 60 minutes) = " + text(infusion.minutes());
    const std::string volumeConversion = infusion.volume < 1000
        ? infusion.volumeText
        : "(" + infusion.volumeText + " X 1000 ml) = " + text(infusion.volume);
    Working working;
    working.lines = "The volume is " + volumeConversion + " (mls)" + LineBreak + "Over " + minutesText + " (min)"
        + LineBreak + "The drop factor is " + text(infusion.dropFactor) + " (drops/ml)";
    working.volume = infusion.volume;
    working.minutes = infusion.minutes();
    working.rate = infusion.rate;
    return working;
}

std::string chartedQuestion(const Infusion& infusion, int templateNumber)
{
    const std::string given = infusion.volumeText + " of " + infusion.fluidName();
    const std::string factor = text(infusion.dropFactor);
    switch (templateNumber) {
    case 1:
        return given + " is charted over " + infusion.timeText + ". The drop factor is " + factor
            + ". Calculate the number of drops per minute.";
    case 2:
        return "Ordered: " + given + " over " + infusion.timeText + " using a giving set which delivers " + factor
            + " drops/ml. Calculate the rate in drops/minute.";
    case 3:
        return "Calculate the drip rate for " + given + " to be given over " + infusion.timeText
            + " via a giving set which delivers " + factor + " drops/ml.";
    default:
        return "You are required to administer " + given + " over " + infusion.timeText + ". The drop factor is "
            + factor + ". How many drops per minute are required to start the flow off at the correct rate?";
    }
}

/// Where a running infusion stands: how long it has run, what is left and the rate that finishes it.
struct Situation {
    Num elapsed = 0;
    Num remaining = 0;
    Num newRate = 0;
    Num minutesLeft = 0;
};

/// One attempt at drawing the running infusion's situation; empty when the draw is rejected.
std::optional<Situation> drawSituation(RandomSource& random, const Infusion& infusion)
{
    random.reseed();
    const Num fraction = Num(randomFromZero(random, 60) + 30) / 100;
    // Elapsed minutes are held in single precision whatever the arithmetic that found them.
    Num elapsed = single(floorOf(fraction * infusion.hours * 60).value);
    elapsed = floorOf(elapsed / 15) * 15;
    const Num actual = floorOf(infusion.rate + randomFromZero(random, 20) - 10);
    if (actual.value < 10.0 || actual.value > MaxRate)
        return std::nullopt;

    Situation situation;
    situation.elapsed = elapsed;
    situation.minutesLeft = infusion.minutes() - elapsed;
    situation.remaining = floorOf(floorOf(actual * situation.minutesLeft / infusion.dropFactor) / 50) * 50;
    if (situation.remaining.value >= infusion.volume)
        return std::nullopt;
    situation.newRate = situation.remaining / situation.minutesLeft * infusion.dropFactor;
    if (situation.newRate.value > MaxRate || std::fabs((infusion.rate - situation.newRate).value) > 30.0)
        return std::nullopt;
    return situation;
}

std::string elapsedText(const Num& elapsed)
{
    if (elapsed.value < 60.0)
        return text(elapsed) + " minutes";
    const Num h = floorOf(elapsed / 60);
    std::string out = text(h) + (h.value == 1.0 ? " hour" : " hours");
    const Num minutes = elapsed - h * 60;
    if (minutes.value != 0.0)
        out += " and " + text(minutes) + " minutes";
    return out;
}

/// The remaining volume in words. A whole number of litres reads "1 litre" or "2 litres", as a
/// nurse would say it, rather than "1 litres and 0 mls".
std::string remainingText(const Num& remaining)
{
    if (remaining.value < 1000.0)
        return text(remaining) + " mls";
    const Num litres = floorOf(remaining / 1000);
    const Num mls = remaining - litres * 1000;
    if (mls.value == 0.0)
        return text(litres) + (litres.value < 2.0 ? " litre" : " litres");
    return text(litres) + " litres and " + text(mls) + " mls";
}

Working runningWorking(const Infusion& infusion, const Situation& situation)
{
    const std::string remainingWords = remainingText(situation.remaining);
    const std::string remainingConversion = situation.remaining.value < 1000.0
        ? remainingWords
        : remainingWords + " = " + text(situation.remaining) + "mls";
    const std::string timeLeftText
        = text(infusion.minutes()) + " - " + text(situation.elapsed) + " = " + text(situation.minutesLeft);
    Working working;
    working.lines = "The volume is " + remainingConversion + " (ml) remaining" + LineBreak + "Over " + timeLeftText
        + " (min) remaining" + LineBreak + "The drop factor is " + text(infusion.dropFactor) + " (drops/ml)";
    working.volume = situation.remaining;
    working.minutes = situation.minutesLeft;
    working.rate = situation.newRate;
    return working;
}

std::string runningQuestion(const Infusion& infusion, const Situation& situation)
{
    return infusion.volumeText + " of " + infusion.fluidName() + " is charted over " + infusion.timeText
        + ". The drop factor is " + text(infusion.dropFactor) + ". The IV has been running for "
        + elapsedText(situation.elapsed) + ". " + remainingText(situation.remaining)
        + " remain. How many drops per minute are needed so that the IV finishes in the required time?";
}

/// The whole solution: heading, formula, the scenario's own lines, the two calculations and the
/// rounding.
std::string solutionText(
    const std::string& question, const Working& working, int dropFactor, const std::string& roundingSentence)
{
    const std::string perMinute = text(working.volume / working.minutes);
    const std::string drops = text(working.volume * dropFactor);
    const std::string rate = text(working.rate);
    const std::string minutes = text(working.minutes);
    const std::string factor = text(dropFactor);

    std::string s = "The Question was :";
    s += LineBreak + question + LineBreak + LineBreak;
    s += "The formula for calculating drop factors is:" + std::string(LineBreak) + LineBreak;
    s += "volume (mls) X drop factor (drops/ml)" + std::string(LineBreak);
    s += std::string(50, '-') + LineBreak;
    s += "time (min)" + std::string(LineBreak) + LineBreak;
    s += " You must first ensure that all units conform to those required in the formula:" + std::string(LineBreak);
    s += working.lines;
    s += std::string(LineBreak) + LineBreak + "Now we plug these numbers into the formula:" + LineBreak + LineBreak;
    s += text(working.volume) + " (mls) / " + minutes + " (min) = " + perMinute + " (mls/min)" + LineBreak;
    s += perMinute + " (mls/min) X " + factor + " (drops/ml) = " + rate + " (drops/min)" + LineBreak;
    s += std::string(LineBreak) + "This formula could also be calculated as:" + LineBreak;
    s += text(working.volume) + " (mls) X " + factor + " (drops/ml) = " + drops + " (drops)" + LineBreak;
    s += drops + " (drops) / " + minutes + " (min) = " + rate + " (drops/min)" + LineBreak + LineBreak;
    s += roundingSentence;
    return s;
}

/// Rounds the rate in the precision it was computed in. 1550 / 375 X 15 is 62.00000000000001 in
/// double precision: written with 15 digits it reads 62, yet its fraction is above 0, so the
/// solution says it was rounded down to 62.
DropRateRounding roundShownRate(const Num& rate)
{
    return roundDropRate(rate.value);
}

GeneratedQuestion chartedQuestionFor(const Infusion& infusion, int templateNumber)
{
    const Working working = chartedWorking(infusion);
    const DropRateRounding rounding = roundShownRate(working.rate);
    GeneratedQuestion result;
    result.question = chartedQuestion(infusion, templateNumber);
    result.answer = rounding.answer;
    result.solution = solutionText(result.question, working, infusion.dropFactor, rounding.sentence);
    result.duplicateKeys = { infusion.volume, infusion.hours.value, infusion.dropFactor };
    return result;
}

GeneratedQuestion runningQuestionFor(const Infusion& infusion, const Situation& situation)
{
    const Working working = runningWorking(infusion, situation);
    const DropRateRounding rounding = roundShownRate(working.rate);
    GeneratedQuestion result;
    result.question = runningQuestion(infusion, situation);
    result.answer = rounding.answer;
    result.solution = solutionText(result.question, working, infusion.dropFactor, rounding.sentence);
    result.duplicateKeys = { situation.remaining.value, (situation.minutesLeft / 60).value, infusion.dropFactor };
    return result;
}

/// The question given when no draw passes within the bounds (only a broken random source gets
/// here): 1 litre of IV Fluids over 8 hours with a 15-drop set.
GeneratedQuestion fallbackQuestion()
{
    Infusion infusion;
    infusion.volume = 1000;
    infusion.hours = single(8);
    infusion.dropFactor = 15;
    infusion.fluid = 0;
    completeInfusion(infusion);
    return chartedQuestionFor(infusion, 1);
}

} // namespace

DropRateRounding roundDropRate(double rate)
{
    const double whole = std::floor(rate);
    const double fraction = rate - whole;
    DropRateRounding rounding;
    if (fraction == 0.0) {
        rounding.answer = rate;
        return rounding;
    }
    rounding.sentence = "This number requires rounding into a whole number.";
    if (fraction > RoundUpAbove) {
        rounding.answer = whole + 1.0;
        rounding.sentence += " Because the number after the decimal point is greater than .5 it is rounded up to "
            + formatNumber(rounding.answer) + ".";
    } else {
        rounding.answer = whole;
        rounding.sentence
            += " Because the number after the decimal point is less than .5 this number is rounded down to "
            + formatNumber(rounding.answer) + ".";
    }
    return rounding;
}

GeneratedQuestion makeDropRateQuestion(AppState& state)
{
    RandomSource& random = state.rng();
    const bool running = randomFromZero(random, 2) == 1;

    for (int attempt = 0; attempt < MaxDraws; ++attempt) {
        const std::optional<Infusion> infusion = drawInfusion(random, running);
        if (!infusion)
            continue;
        if (!running)
            return chartedQuestionFor(*infusion, randomWhole(random, 4));
        // Every infusion that reaches this point has many workable situations, so a running part
        // that never passes means the random source is broken.
        for (int situationDraw = 0; situationDraw < MaxDraws; ++situationDraw) {
            if (const std::optional<Situation> situation = drawSituation(random, *infusion))
                return runningQuestionFor(*infusion, *situation);
        }
        break;
    }
    return fallbackQuestion();
}

int drawDropFactor(RandomSource& random)
{
    random.reseed();
    return DropFactor[static_cast<std::size_t>(randomWhole(random, 3))];
}

std::optional<InfusionOrder> drawInfusionOrder(RandomSource& random, bool fromHalfLitre)
{
    std::optional<Infusion> drawn = drawOrder(random, fromHalfLitre);
    if (!drawn)
        return std::nullopt;
    completeInfusion(*drawn); // for its texts; the drop rate it works out is not used
    return InfusionOrder { drawn->volume, drawn->hours.value, drawn->fluidName(), drawn->volumeText, drawn->timeText };
}

std::string elapsedTimeText(int minutes)
{
    return elapsedText(Num(minutes));
}

std::string remainingVolumeText(int ml)
{
    return remainingText(Num(ml));
}

} // namespace tb
