#include "core/export/answer_rule.h"
#include "core/foundation/field_codec.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tb {

namespace {

bool isOuterSpace(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// Case-insensitive search of an ASCII phrase; at the start only when `atStart`.
bool holdsPhrase(std::string_view text, std::string_view phrase, bool atStart)
{
    std::size_t begin = 0;
    while (begin < text.size() && isOuterSpace(text[begin]))
        ++begin;
    const std::size_t lastStart = atStart ? begin : text.size();
    for (std::size_t at = begin; at <= lastStart && at + phrase.size() <= text.size(); ++at) {
        std::size_t k = 0;
        while (k < phrase.size() && lowerAscii(text[at + k]) == phrase[k])
            ++k;
        if (k == phrase.size())
            return true;
    }
    return false;
}

struct KindPhrase {
    const char* phrase; // lower case
    bool atStart;
    QuestionKind kind;
};

// The phrasings of the question generators, first match wins. A new category adds its rows
// here and, unless its answers are whole numbers, a line to toleranceStyle().
constexpr std::array<KindPhrase, 22> KindPhrases { {
    // Heparin and insulin: their pump rates ask "rate in ml/hr" too, so they come first, and a
    // heparin injection is known by its stock strength before any row that asks for ml.
    { "how many units will you draw up", false, QuestionKind::InsulinUnits },
    { "units/ml is available", false, QuestionKind::LiquidVolume },
    { "units per millilitre is available", false, QuestionKind::LiquidVolume },
    { "how many units of heparin per hour", false, QuestionKind::UnitsPerHour },
    { "units of heparin in ", false, QuestionKind::UnitsPumpRate },
    { "units of insulin in ", false, QuestionKind::UnitsPumpRate },
    // Weight-based doses: before the fluid rows, whose "how many millilitres" would match too.
    { "how many mg is one dose", false, QuestionKind::WeightDose },
    { "how many mg per dose", false, QuestionKind::WeightDose },
    { "largest safe single dose", false, QuestionKind::WeightDose },
    { "how many ml will you give", false, QuestionKind::DoseVolume },
    { "how many millilitres will you give", false, QuestionKind::DoseVolume },
    // An infusion time given a drip rate names drops per minute too: it is matched first.
    { "how many minutes will the infusion take", false, QuestionKind::InfusionTime },
    { "rate in ml/hr", false, QuestionKind::PumpRate },
    { "drops per minute", false, QuestionKind::DropRate },
    { "drops/minute", false, QuestionKind::DropRate },
    { "calculate the drip rate", false, QuestionKind::DropRate },
    { "how many tablets", false, QuestionKind::TabletCount },
    { "how many capsules", false, QuestionKind::TabletCount },
    { "how many ml's", false, QuestionKind::LiquidVolume },
    { "how many millilitres", false, QuestionKind::LiquidVolume },
    { "how many mls", false, QuestionKind::LiquidVolume },
    { "convert ", true, QuestionKind::MetricConversion },
} };

} // namespace

QuestionKind questionKind(std::string_view questionText)
{
    for (const KindPhrase& row : KindPhrases)
        if (holdsPhrase(questionText, row.phrase, row.atStart))
            return row.kind;
    return QuestionKind::Unrecognised;
}

ToleranceStyle toleranceStyle(QuestionKind kind)
{
    switch (kind) {
    case QuestionKind::LiquidVolume:
        return ToleranceStyle::TwoDecimals;
    case QuestionKind::MetricConversion:
        return ToleranceStyle::FullPrecision;
    case QuestionKind::UnitsPumpRate:
        return ToleranceStyle::OneDecimal;
    default:
        return ToleranceStyle::Exact;
    }
}

AnswerRule answerRule(ToleranceStyle style, double value)
{
    AnswerRule rule;
    rule.style = style;
    rule.centre = value;
    switch (style) {
    case ToleranceStyle::Exact:
        break;
    case ToleranceStyle::TwoDecimals:
    case ToleranceStyle::OneDecimal: {
        // The stored value is a decimal text read into binary: 1.005 arrives as 1.00499999...
        // and is meant as a half, so a hair of relative slack rounds it up as a nurse would.
        const double factor = style == ToleranceStyle::TwoDecimals ? 100.0 : 10.0;
        const double scaled = std::abs(value) * factor;
        const double rounded = std::floor(scaled + 0.5 + scaled * 1e-12) / factor;
        rule.centre = std::copysign(rounded, value);
        rule.tolerance = 0.5 / factor;
        // A generated pump rate is stored with its one decimal already; the sentence the
        // exports add names 2 decimal places, so only that style states it.
        rule.statesDecimals
            = style == ToleranceStyle::TwoDecimals && std::abs(value - rule.centre) > std::abs(value) * 1e-12;
        break;
    }
    case ToleranceStyle::FullPrecision:
        rule.tolerance = std::abs(value) * 1e-9;
        break;
    }
    rule.lower = rule.centre - rule.tolerance;
    rule.upper = rule.centre + rule.tolerance;
    return rule;
}

bool storedAnswerValue(std::string_view answerText, double& value)
{
    while (!answerText.empty() && isOuterSpace(answerText.front()))
        answerText.remove_prefix(1);
    while (!answerText.empty() && isOuterSpace(answerText.back()))
        answerText.remove_suffix(1);
    if (answerText.empty()
        || !(answerText.front() == '-' || answerText.front() == '.'
            || (answerText.front() >= '0' && answerText.front() <= '9')))
        return false;
    double read = 0;
    const auto [end, error] = std::from_chars(answerText.data(), answerText.data() + answerText.size(), read);
    if (error != std::errc() || end != answerText.data() + answerText.size() || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

} // namespace tb
