#include "core/export/diagnosis.h"

#include "core/export/marking.h"
#include "core/export/platform_export.h"
#include "core/foundation/field_codec.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace tb {

namespace {

const char* const CheckConversion = ": check the unit conversion.";

std::size_t findIgnoringCase(std::string_view text, std::string_view phrase, std::size_t from = 0)
{
    for (std::size_t at = from; at + phrase.size() <= text.size(); ++at) {
        std::size_t k = 0;
        while (k < phrase.size() && lowerAscii(text[at + k]) == phrase[k])
            ++k;
        if (k == phrase.size())
            return at;
    }
    return std::string_view::npos;
}

// The decimal number that starts at `at` ("250", "0.5", ".5"), if one does.
std::optional<double> numberAt(std::string_view text, std::size_t at)
{
    if (at >= text.size())
        return std::nullopt;
    std::size_t end = at;
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.'))
        ++end;
    if (end == at)
        return std::nullopt;
    double value = 0;
    const auto [stop, error] = std::from_chars(text.data() + at, text.data() + end, value);
    if (error != std::errc() || stop == text.data() + at || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The doses of a tablet or fluid question as its text states them: "A client is ordered 500 mg
// of X. 250 mg tablets are available." and "... 125 mg in 5 ml of mixture is available."
struct StatedDoses {
    double required = 0;
    double stock = 0;
    double volume = 1;
};

std::optional<StatedDoses> statedDoses(std::string_view text, QuestionKind kind)
{
    const std::size_t ordered = findIgnoringCase(text, "ordered ");
    const std::size_t available = findIgnoringCase(text, " available");
    if (ordered == std::string_view::npos || available == std::string_view::npos || available < ordered)
        return std::nullopt;
    const std::optional<double> required = numberAt(text, ordered + 8);
    // The stock sentence starts after the last ". " before "available".
    const std::size_t sentence = text.substr(0, available).rfind(". ");
    if (!required || sentence == std::string_view::npos || sentence < ordered)
        return std::nullopt;
    const std::optional<double> stock = numberAt(text, sentence + 2);
    if (!stock || *required <= 0 || *stock <= 0)
        return std::nullopt;
    StatedDoses doses { *required, *stock, 1 };
    if (kind == QuestionKind::LiquidVolume) {
        const std::size_t in = findIgnoringCase(text.substr(0, available), " in ", sentence);
        const std::optional<double> volume = in == std::string_view::npos ? std::nullopt : numberAt(text, in + 4);
        if (!volume || *volume <= 0)
            return std::nullopt;
        doses.volume = *volume;
    }
    return doses;
}

std::string factorText(DiagnosisKind kind, int factor)
{
    return "Your answer is " + std::to_string(factor) + " times too "
        + (kind == DiagnosisKind::TooLarge ? "large" : "small") + CheckConversion;
}

std::string invertedText(QuestionKind kind)
{
    return kind == QuestionKind::LiquidVolume
        ? "The ratio is inverted (stock over required): divide the required dose by the stock dose, then "
          "multiply by the stock volume."
        : "The ratio is inverted (stock over required): divide the required dose by the stock dose.";
}

// A candidate wrong answer before it is checked against the others.
struct Candidate {
    double value;
    ToleranceStyle style;
    Diagnosis diagnosis;
};

std::vector<Candidate> candidates(std::string_view questionText, const AnswerRule& rule, double answer)
{
    const QuestionKind kind = questionKind(questionText);
    std::vector<Candidate> out;
    // The same quantity in the other unit of time.
    switch (kind) {
    case QuestionKind::PumpRate:
    case QuestionKind::UnitsPumpRate:
        out.push_back({ answer / 60, ToleranceStyle::TwoDecimals,
            { DiagnosisKind::OtherUnit, 60, "That is the rate in ml per minute: give it in ml/hr." } });
        break;
    case QuestionKind::InfusionTime:
        out.push_back({ answer / 60, ToleranceStyle::TwoDecimals,
            { DiagnosisKind::OtherUnit, 60, "That is the time in hours: give it in minutes." } });
        break;
    case QuestionKind::DropRate:
        out.push_back({ answer * 60, ToleranceStyle::Exact,
            { DiagnosisKind::OtherUnit, 60, "That is the rate in drops per hour: give it in drops per minute." } });
        break;
    case QuestionKind::UnitsPerHour:
        out.push_back({ answer / 60, ToleranceStyle::TwoDecimals,
            { DiagnosisKind::OtherUnit, 60, "That is the dose in units per minute: give it in units per hour." } });
        break;
    case QuestionKind::InsulinUnits:
        // The volume of 100 units/ml that holds the dose: read off in ml rather than units.
        out.push_back({ answer / 100, ToleranceStyle::TwoDecimals,
            { DiagnosisKind::OtherUnit, 100, "That is the volume in ml: give the number of units to draw up." } });
        break;
    case QuestionKind::WeightDose:
    case QuestionKind::DoseVolume:
        // "... 30 mg/kg/day in 3 divided doses.": the whole day's dose (or its volume) given.
        if (const std::size_t in = findIgnoringCase(questionText, "/day in "); in != std::string_view::npos)
            if (const std::optional<double> doses = numberAt(questionText, in + 8); doses && *doses >= 2)
                out.push_back({ answer * *doses, rule.style,
                    { DiagnosisKind::WholeDay, static_cast<int>(*doses),
                        "That is the dose for the whole day: divide it by the number of doses." } });
        break;
    default:
        break;
    }
    for (const int factor : { 10, 100, 1000 }) {
        out.push_back({ answer * factor, rule.style,
            { DiagnosisKind::TooLarge, factor, factorText(DiagnosisKind::TooLarge, factor) } });
        out.push_back({ answer / factor, rule.style,
            { DiagnosisKind::TooSmall, factor, factorText(DiagnosisKind::TooSmall, factor) } });
    }
    if (kind == QuestionKind::TabletCount || kind == QuestionKind::LiquidVolume) {
        const Diagnosis inverted { DiagnosisKind::Inverted, 0, invertedText(kind) };
        // Stock over required as the question states them, and after the required dose was
        // converted to the stock's unit.
        if (const std::optional<StatedDoses> doses = statedDoses(questionText, kind))
            out.push_back({ doses->stock / doses->required * doses->volume, ToleranceStyle::TwoDecimals, inverted });
        if (answer > 0) {
            const double volume = kind == QuestionKind::LiquidVolume
                ? statedDoses(questionText, kind).value_or(StatedDoses {}).volume
                : 1.0;
            out.push_back({ volume * volume / answer, ToleranceStyle::TwoDecimals, inverted });
        }
    }
    return out;
}

double readBack(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The band an exported answer accepts on the platforms.
MarkingBand exportedBand(double value, double tolerance)
{
    return widenedBand(BandKind::Nominal, readBack(platformNumber(value)), readBack(platformNumber(tolerance)));
}

bool overlaps(const MarkingBand& a, const MarkingBand& b)
{
    return a.lower <= b.upper && b.lower <= a.upper;
}

// Whether `value` is `whole` to some number of decimals short of its full value.
bool isRoundedForm(double given, double exact)
{
    for (int decimals = 0; decimals <= 4; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        if (std::abs(std::round(exact * scale) / scale - given) <= std::abs(given) * 1e-12)
            return std::abs(given - exact) > std::abs(exact) * 1e-9;
    }
    return false;
}

// The decimals the dose rule keeps for a weight-based dose or its volume, or -1 for other kinds.
int doseDecimals(QuestionKind kind, double answer)
{
    if (kind == QuestionKind::WeightDose)
        return answer < 10 ? 1 : 0;
    if (kind == QuestionKind::DoseVolume)
        return answer < 1 ? 2 : 1;
    return -1;
}

std::string doseRoundingText(QuestionKind kind)
{
    return kind == QuestionKind::WeightDose
        ? "Your answer is not rounded as asked: a dose of 10 mg or more to a whole number of mg, below 10 mg to 1 "
          "decimal place."
        : "Your answer is not rounded as asked: a volume of 1 ml or more to 1 decimal place, below 1 ml to 2 "
          "decimal places.";
}

} // namespace

std::vector<WrongAnswer> typicalWrongAnswers(std::string_view questionText, const AnswerRule& rule)
{
    return typicalWrongAnswers(questionText, rule, rule.centre);
}

std::vector<WrongAnswer> typicalWrongAnswers(std::string_view questionText, const AnswerRule& rule, double stored)
{
    std::vector<WrongAnswer> answers;
    if (!std::isfinite(rule.centre) || rule.centre <= 0 || !std::isfinite(stored) || stored <= 0)
        return answers;
    const MarkingBand accepted = exportedBand(rule.centre, rule.tolerance);
    std::vector<MarkingBand> taken { accepted };
    for (const Candidate& candidate : candidates(questionText, rule, stored)) {
        if (!std::isfinite(candidate.value) || candidate.value <= 0)
            continue;
        const AnswerRule band = answerRule(candidate.style, candidate.value);
        if (band.centre <= 0 || readBack(platformNumber(band.centre)) <= 0)
            continue;
        const MarkingBand widened = exportedBand(band.centre, band.tolerance);
        bool clear = true;
        for (const MarkingBand& other : taken)
            clear = clear && !overlaps(widened, other);
        if (!clear)
            continue;
        taken.push_back(widened);
        answers.push_back({ band.centre, band.tolerance, candidate.diagnosis });
    }
    return answers;
}

Diagnosis diagnose(std::string_view questionText, const AnswerRule& rule, double given)
{
    return diagnose(questionText, rule, given, rule.centre);
}

Diagnosis diagnose(std::string_view questionText, const AnswerRule& rule, double given, double stored)
{
    if (!std::isfinite(given) || accepts(rule, given))
        return {};
    for (const WrongAnswer& wrong : typicalWrongAnswers(questionText, rule, stored))
        if (exportedBand(wrong.value, wrong.tolerance).holds(given))
            return wrong.diagnosis;

    // The right value, rounded other than the question asks.
    const double answer = rule.centre;
    if (const int decimals = doseDecimals(questionKind(questionText), answer); decimals >= 0) {
        const double scale = std::pow(10.0, decimals);
        if (std::abs(std::round(given * scale) / scale - answer) <= std::abs(answer) * 1e-9)
            return { DiagnosisKind::NotRounded, 0, doseRoundingText(questionKind(questionText)) };
        return {};
    }
    const bool wholeAnswer = rule.style == ToleranceStyle::Exact && answer == std::floor(answer);
    if (wholeAnswer && given != std::floor(given) && std::abs(given - answer) < 0.51)
        return { DiagnosisKind::NotRounded, 0, "Your answer is not rounded as asked: give a whole number." };
    if (rule.style == ToleranceStyle::TwoDecimals && std::abs(given - answer) < 0.05
        && std::abs(std::round(given * 10) / 10 - given) <= std::abs(given) * 1e-12)
        return { DiagnosisKind::NotRounded, 0, "Your answer is not rounded as asked: give it to 2 decimal places." };
    if (rule.style == ToleranceStyle::OneDecimal && answer != std::floor(answer) && given == std::floor(given)
        && std::abs(given - answer) < 0.5)
        return { DiagnosisKind::NotRounded, 0, "Your answer is not rounded as asked: give it to 1 decimal place." };
    if (rule.style == ToleranceStyle::FullPrecision && isRoundedForm(given, answer))
        return { DiagnosisKind::NotRounded, 0, "Your answer is rounded: give the exact value of the conversion." };
    return {};
}

} // namespace tb
