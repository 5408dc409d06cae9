#include "core/export/marking.h"

#include "core/export/platform_export.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/unit_tables.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace tb {

namespace {

// A typed answer longer than this is no number a student means.
constexpr std::size_t MaxTypedLength = 64;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\xA0';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

double readBack(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The spellings of one unit, lower case; the first is the one shown.
std::vector<std::string> unitSpellings(std::string_view asked)
{
    const std::string unit = lowerAscii(trimmed(asked));
    if (unit.empty())
        return {};
    static const std::array<std::vector<std::string>, 9> Families { {
        { "tablets", "tablet", "tabs", "tab" },
        { "capsules", "capsule", "caps", "cap" },
        { "ml", "mls", "ml's", "millilitre", "millilitres", "milliliter", "milliliters" },
        { "ml/hr", "ml/h", "ml/hour", "mls/hr", "ml per hour", "mls per hour", "millilitres per hour",
            "milliliters per hour" },
        { "drops/min", "drops/minute", "drops per minute", "drop/min", "gtt/min", "drops" },
        { "minutes", "minute", "mins", "min" },
        { "litres", "litre", "liters", "liter", "l" },
        // Units in full only: "U" and "IU" are misread as a zero or a ten.
        { "units", "unit" },
        { "units/hr", "units/h", "units/hour", "units per hour", "unit/hr" },
    } };
    for (const auto& family : Families)
        if (std::find(family.begin(), family.end(), unit) != family.end())
            return family;
    // A metric unit of a conversion: its symbol and its word, with or without a plural "s".
    const UnitTables tables = makeUnitTables();
    for (int measure = 1; measure <= 3; ++measure)
        for (int prefix = 1; prefix <= 8; ++prefix) {
            const auto p = static_cast<std::size_t>(prefix);
            const auto m = static_cast<std::size_t>(measure);
            const std::string symbol = lowerAscii(tables.PrefixSymbol[p] + tables.BaseUnitSymbol[m]);
            const std::string word = tables.PrefixName[p] + tables.BaseUnitName[m];
            std::vector<std::string> names { symbol, symbol + "s", word, word + "s" };
            if (measure == 1) {
                names.push_back(tables.PrefixName[p] + "liter");
                names.push_back(tables.PrefixName[p] + "liters");
            }
            if (prefix == 8) {
                names.push_back("mc" + lowerAscii(tables.BaseUnitSymbol[m]));
                names.push_back("mc" + lowerAscii(tables.BaseUnitSymbol[m]) + "s");
            }
            if (std::find(names.begin(), names.end(), unit) != names.end()) {
                names.insert(names.begin(), unit);
                return names;
            }
        }
    return { unit };
}

bool startsWithIgnoringCase(std::string_view text, std::string_view phrase)
{
    if (text.size() < phrase.size())
        return false;
    for (std::size_t i = 0; i < phrase.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(phrase[i]))
            return false;
    return true;
}

// The last line of a question: the one that asks.
std::string_view askingLine(std::string_view text)
{
    text = trimmed(text);
    const std::size_t br = text.find_last_of('\n');
    return br == std::string_view::npos ? text : trimmed(text.substr(br + 1));
}

} // namespace

MarkingBand widenedBand(BandKind kind, double answer, double tolerance)
{
    if (kind == BandKind::Relative) {
        const double range = std::abs(answer) * (tolerance + MarkingEpsilon);
        return { answer - range, answer + range };
    }
    const double widened
        = tolerance + MarkingEpsilon * std::max({ std::abs(tolerance), std::abs(answer), MarkingEpsilon });
    return { answer - widened, answer + widened };
}

bool accepts(const AnswerRule& rule, double value)
{
    if (!std::isfinite(value))
        return false;
    // The platforms mark by the numbers the export wrote, not by the doubles behind them.
    const double centre = readBack(platformNumber(rule.centre));
    const double tolerance = readBack(platformNumber(rule.tolerance));
    return widenedBand(BandKind::Nominal, centre, tolerance).holds(value);
}

bool namesUnit(std::string_view word, std::string_view asked)
{
    const std::vector<std::string> spellings = unitSpellings(asked);
    const std::string typed = lowerAscii(trimmed(word));
    return !typed.empty() && std::find(spellings.begin(), spellings.end(), typed) != spellings.end();
}

TypedAnswer readTypedAnswer(std::string_view typed, std::string_view asked)
{
    TypedAnswer result;
    const std::string unit(trimmed(asked));
    const std::string_view text = trimmed(typed);
    const std::string example = unit.empty() ? std::string("0.5") : "0.5 or 0.5 " + unit;
    auto refuse = [&](std::string message) {
        result.message = std::move(message);
        return result;
    };
    if (text.empty())
        return refuse("Type your answer as a number, for example " + example + ".");
    if (text.size() > MaxTypedLength)
        return refuse("That is too long for an answer: type one number, for example " + example + ".");

    std::size_t at = 0;
    const bool negative = text[at] == '-';
    if (negative)
        ++at;
    const std::size_t wholeStart = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    const std::size_t wholeDigits = at - wholeStart;
    bool point = false;
    std::size_t fractionDigits = 0;
    if (at < text.size() && text[at] == '.') {
        point = true;
        ++at;
        while (at < text.size() && isDigit(text[at])) {
            ++at;
            ++fractionDigits;
        }
    }
    if (wholeDigits + fractionDigits == 0) {
        if (text.front() == '+')
            return refuse("Type the number without a plus sign.");
        return refuse("Type your answer as one number, for example " + example + ".");
    }
    const std::string_view number = text.substr(0, at);
    std::string_view rest = text.substr(at);

    // What follows the number: nothing, or the asked unit. A comma, a blank before more digits or
    // an exponent would make the number mean something else, so it is not guessed at.
    if (!rest.empty() && rest.front() == ',')
        return refuse("Use a decimal point and no commas: a comma is read as a decimal point by some and as a "
                      "thousands separator by others. Type one plain number, for example "
            + example + ".");
    const std::string_view afterBlanks = trimmed(rest);
    if (!afterBlanks.empty() && (isDigit(afterBlanks.front()) || afterBlanks.front() == '.'))
        return refuse("Type one number without blanks inside it (1000, not 1 000).");
    if (!rest.empty() && (rest.front() == 'e' || rest.front() == 'E') && rest.size() > 1
        && (isDigit(rest[1]) || rest[1] == '-' || rest[1] == '+'))
        return refuse("Write the number in full, without E: 0.000005, not 5E-06.");
    if (!afterBlanks.empty() && !namesUnit(afterBlanks, unit)) {
        if (unit.empty())
            return refuse("Type the number alone.");
        return refuse("Give the answer in " + unit + ": the number alone, or the number followed by " + unit + ".");
    }

    double value = 0;
    const std::string digits(number);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return refuse("Type your answer as one number, for example " + example + ".");
    if (value == 0)
        value = 0; // no negative zero
    result.accepted = true;
    result.value = value;

    // How the number should have been written.
    const std::string plain = platformNumber(value);
    std::vector<std::string> notes;
    if (wholeDigits == 0)
        notes.push_back("Write a zero before the decimal point: " + plain);
    else if (wholeDigits > 1 && text[wholeStart] == '0')
        notes.push_back("No zeros before the number: " + plain);
    if (point && fractionDigits == 0)
        notes.push_back("No decimal point after a whole number: " + plain);
    else if (point && number.back() == '0')
        notes.push_back("No trailing zero: " + plain);
    for (const std::string& note : notes)
        result.note += (result.note.empty() ? "" : " ") + note + (notes.size() > 1 ? "." : "");
    return result;
}

std::string askedUnit(QuestionKind kind, std::string_view questionText)
{
    const std::string line = lowerAscii(askingLine(questionText));
    switch (kind) {
    case QuestionKind::TabletCount:
        return line.find("how many capsules") != std::string::npos ? "capsules" : "tablets";
    case QuestionKind::LiquidVolume:
        return line.find("millilitres") != std::string::npos ? "millilitres" : "ml";
    case QuestionKind::PumpRate:
        return "ml/hr";
    case QuestionKind::DropRate:
        return "drops/min";
    case QuestionKind::InfusionTime:
        return "minutes";
    case QuestionKind::UnitsPumpRate:
        return "ml/hr";
    case QuestionKind::UnitsPerHour:
        return "units/hr";
    case QuestionKind::InsulinUnits:
        return "units";
    case QuestionKind::WeightDose:
        return "mg";
    case QuestionKind::DoseVolume:
        return line.find("millilitres") != std::string::npos ? "millilitres" : "ml";
    case QuestionKind::MetricConversion: {
        // "Convert 5 mgs to gs.": the unit after the last " to ", without its plural "s".
        const std::string_view ask = trimmed(askingLine(questionText));
        if (!startsWithIgnoringCase(ask, "convert "))
            return {};
        const std::size_t to = lowerAscii(ask).rfind(" to ");
        if (to == std::string::npos)
            return {};
        std::string_view target = trimmed(ask.substr(to + 4));
        if (!target.empty() && (target.back() == '.' || target.back() == '?'))
            target.remove_suffix(1);
        target = trimmed(target);
        std::string unit(target);
        // Symbols are written without a plural; words keep it ("micrograms").
        if (unit.size() > 1 && unit.back() == 's' && unit.size() <= 4)
            unit.pop_back();
        return unit;
    }
    case QuestionKind::Unrecognised:
        break;
    }
    return {};
}

} // namespace tb
