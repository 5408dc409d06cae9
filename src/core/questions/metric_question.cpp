#include "core/questions/metric_question.h"

#include "core/foundation/number_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace tb {

namespace {

/// How many rounds the metric generator draws before it settles for a fixed, safe question.
constexpr int MaxMetricDraws = 10000;

/// The longest answer, written with its leading blank, that a metric question may have.
constexpr std::size_t MaxAnswerLength = 9;

/// Width of the scale line and the marker line.
constexpr std::size_t ScaleWidth = 40;

/// The three prefix codes used when only the common units are wanted: base unit, milli, micro.
constexpr std::array<int, 3> CommonPrefixes = { 4, 7, 8 };

const std::string HyphenRule(45, '-');

void checkPrefix(int code)
{
    if (code < 1 || code > 8)
        throw std::invalid_argument("metric prefix code out of range: " + formatInt(code));
}

void checkMeasure(int code)
{
    if (code < 1 || code > 3)
        throw std::invalid_argument("measure code out of range: " + formatInt(code));
}

/// The position of a prefix on the drawn scale: the code itself, except micro, which sits at 10
/// after the two unnamed places below milli.
int scalePosition(int prefix)
{
    return prefix == 8 ? 10 : prefix;
}

std::string wordLabel(const UnitTables& tables, int prefix, int measure)
{
    return tables.PrefixName[prefix] + tables.BaseUnitName[measure];
}

std::string symbolLabel(const UnitTables& tables, int prefix, int measure)
{
    return tables.PrefixSymbol[prefix] + tables.BaseUnitSymbol[measure];
}

/// The given quantity N0 from a uniform draw: floor(r * 100000 + 1), kept within 1..100000
/// even if the source strays outside [0, 1).
int drawBaseQuantity(RandomSource& random)
{
    const double n0 = std::floor(random.next() * 100000.0 + 1.0);
    if (!(n0 >= 1.0))
        return 1;
    return n0 > 100000.0 ? 100000 : static_cast<int>(n0);
}

int drawPrefix(RandomSource& random, bool allUnits)
{
    if (allUnits)
        return randomWhole(random, 8);
    return CommonPrefixes[static_cast<std::size_t>(randomWhole(random, 3) - 1)];
}

/// One drawn conversion: the prefixes, the given quantity and its worked explanation.
struct MetricDraw {
    int fromPrefix = 0;
    int toPrefix = 0;
    double quantity = 0.0;
    Conversion conversion;
};

MetricDraw convertDraw(const UnitTables& tables, int measure, int fromPrefix, int toPrefix, int n0)
{
    MetricDraw draw;
    draw.fromPrefix = fromPrefix;
    draw.toPrefix = toPrefix;
    // Scaling by the target factor makes the answer n0 times the factor of the given unit.
    draw.quantity = n0 * tables.PrefixFactor[toPrefix];
    draw.conversion = explainConversion(tables, draw.quantity, fromPrefix, measure, toPrefix, "");
    return draw;
}

bool answerFits(double answer)
{
    return std::isfinite(answer) && formatLeadingBlank(answer).size() <= MaxAnswerLength;
}

} // namespace

GeneratedQuestion makeMetricQuestion(AppState& state)
{
    const UnitTables& tables = state.tables;
    RandomSource& random = state.rng();
    const bool allUnits = state.settings.allMetricUnitsOn();

    random.reseed();
    const int measure = randomWhole(random, 3);

    std::optional<MetricDraw> accepted;
    int lastN0 = 1;
    for (int round = 0; round < MaxMetricDraws && !accepted; ++round) {
        random.reseed();
        const int fromPrefix = drawPrefix(random, allUnits);
        const int toPrefix = drawPrefix(random, allUnits);
        if (fromPrefix == toPrefix)
            continue;

        random.reseed();
        lastN0 = drawBaseQuantity(random);
        MetricDraw draw = convertDraw(tables, measure, fromPrefix, toPrefix, lastN0);
        if (answerFits(draw.conversion.converted))
            accepted = std::move(draw);
    }
    // A source that never yields a usable draw still gets a correct question: milligrams to the
    // base unit keeps the answer at most 100, which always fits.
    if (!accepted)
        accepted = convertDraw(tables, measure, 7, 4, lastN0);

    const MetricDraw& draw = *accepted;
    const bool symbols = state.settings.abbreviationsOn();
    const std::string labelFrom
        = symbols ? symbolLabel(tables, draw.fromPrefix, measure) : wordLabel(tables, draw.fromPrefix, measure);
    const std::string labelTo
        = symbols ? symbolLabel(tables, draw.toPrefix, measure) : wordLabel(tables, draw.toPrefix, measure);

    GeneratedQuestion result;
    result.question = std::string(LineBreak) + "Convert " + formatNumber(draw.quantity) + " " + labelFrom + "s to "
        + labelTo + "s.";
    result.answer = draw.conversion.converted;
    result.solution = draw.conversion.explanation;
    result.duplicateKeys = { result.answer, draw.quantity, std::nullopt };
    return result;
}

Conversion explainConversion(
    const UnitTables& tables, double quantity, int fromPrefix, int measure, int toPrefix, std::string_view mode)
{
    checkPrefix(fromPrefix);
    checkPrefix(toPrefix);
    checkMeasure(measure);

    const double fromFactor = tables.PrefixFactor[fromPrefix];
    const double toFactor = tables.PrefixFactor[toPrefix];
    Conversion result;
    result.converted = quantity * fromFactor / toFactor;
    const double ratio = fromFactor / toFactor;

    const std::string sentence = decimalMoveSentence(ratio);
    const std::string markers = markerLine(fromPrefix, toPrefix);

    const std::string wordFrom = wordLabel(tables, fromPrefix, measure);
    const std::string wordTo = wordLabel(tables, toPrefix, measure);
    const std::string quantityText = formatNumber(quantity);
    const std::string br = LineBreak;

    std::string text = "To convert " + quantityText + " " + wordFrom + "s to " + wordTo + "s" + br;
    text += "the computer used the following formula:" + br;
    text += br;
    text += quantityText + " " + wordFrom + "s" + " X " + formatNumber(ratio) + " = " + formatNumber(result.converted)
        + " " + wordTo + "s";

    if (mode != "short") {
        text += br;
        text += br;
        text += sentence + br;
        text += br;
        text += HyphenRule + br;
        text += "To work out how many decimal places to move:" + br;
        text += "1. Write the metric scale" + br;
        text += "2. Identify the two units in the problem" + br;
        text += "3. Count the number of units from the unit given to the unit desired" + br;
        text += "4. Move the decimal point the number of places from the given unit to the desired unit" + br;
        text += br;
        text += "For example to convert from " + wordFrom + "s to " + wordTo + "s:" + br;
        text += br;
        text += scaleLine(tables, measure) + br;
        text += markers + br;
        text += HyphenRule;
    }
    result.explanation = std::move(text);
    return result;
}

std::string decimalMoveSentence(double ratio)
{
    // The ratio is a power of ten; its exponent, rounded, is the number of places.
    long places = 0;
    if (std::isfinite(ratio) && ratio > 0.0)
        places = std::labs(std::lround(std::log10(ratio)));
    const char* direction = ratio < 1.0 ? "left" : "right";
    return "The decimal place has been moved " + formatInt(places) + " places to the " + direction + ".";
}

std::string scaleLine(const UnitTables& tables, int measure)
{
    checkMeasure(measure);
    const std::string& s = tables.BaseUnitSymbol[measure];
    std::string line(1, NoBreakSpace);
    line += "k" + s + "  h" + s + "  da" + s + " " + s + "   d" + s + "  c" + s + "  m" + s + "  -   -   ";
    line += MicroSign;
    line += s;
    line += NoBreakSpace;
    return line;
}

std::string markerLine(int fromPrefix, int toPrefix)
{
    checkPrefix(fromPrefix);
    checkPrefix(toPrefix);
    const int a = scalePosition(fromPrefix);
    const int b = scalePosition(toPrefix);
    const int step = b < a ? -1 : 1;
    const int n = std::abs(b - a);
    int count = 0;

    // Each position takes four columns, so every number lands under the first letter of its unit.
    std::string line;
    for (int i = a;; i += step) {
        if (step == -1) {
            if (i == a) {
                line += "*" + formatInt(n);
            } else if (i == b) {
                line += " < * ";
            } else {
                ++count;
                line += " < " + formatInt(a - b - count);
            }
        } else {
            if (i == a) {
                line += " * > ";
            } else if (i == b) {
                line += formatInt(n) + "*";
            } else {
                ++count;
                line += formatInt(count) + " > ";
            }
        }
        if (i == b)
            break;
    }

    std::string result(static_cast<std::size_t>(4 * (std::min(a, b) - 1)), NoBreakSpace);
    result += line;
    if (result.size() < ScaleWidth)
        result.append(ScaleWidth - result.size(), NoBreakSpace);
    return result;
}

} // namespace tb
