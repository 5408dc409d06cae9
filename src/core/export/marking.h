#pragma once

#include "core/export/answer_rule.h"

#include <string>
#include <string_view>

namespace tb {

/// The relative epsilon Moodle widens every numeric band by.
inline constexpr double MarkingEpsilon = 1e-14;

/// How a tolerance is applied: in the answer's units (nominal), or as a fraction of the answer.
enum class BandKind { Nominal, Relative };

/// The answers a band accepts, widened as Moodle widens it: nominal, answer ± (tol + eps ×
/// max(|tol|, |answer|, eps)); relative, answer ± |answer| × (tol + eps). Both ends included.
struct MarkingBand {
    double lower = 0;
    double upper = 0;
    bool holds(double value) const { return lower <= value && value <= upper; }
};
MarkingBand widenedBand(BandKind kind, double answer, double tolerance);

/// Whether `value` is right under `rule`, exactly as the exported question marks it on a
/// learning platform: the exports write every rule as a nominal tolerance, so the band is
/// the centre and tolerance as the export writes them, read back, and widened.
bool accepts(const AnswerRule& rule, double value);

/// A student's typed answer, read strictly: one plain decimal number, optionally followed by
/// the asked unit. Anything else is refused with a message, never guessed.
struct TypedAnswer {
    bool accepted = false; // a number to mark; false: `message` says why it was refused
    double value = 0;
    std::string note; // a number marked by its value, written another way than it should be
    std::string message; // why the answer was refused
};

/// Reads `typed` (Windows-1252) for a question asking for `askedUnit`:
/// "0.5" is read; ".5" is marked by value with the note "Write a zero before the decimal point:
/// 0.5"; "2.50" by value with "No trailing zero: 2.5"; "2." by value with a note on the point;
/// "1,5", "1 000", "5E-06", "+2", "abc", "" and two numbers are refused. The asked unit (or one
/// of its spellings) may follow the number, with or without a blank; another word is refused.
TypedAnswer readTypedAnswer(std::string_view typed, std::string_view askedUnit);

/// The unit that stands after the answer box: "tablets" (or "capsules"), "ml" or
/// "millilitres" as the question writes it, "ml/hr", "drops/min", "minutes", or the target
/// unit of a conversion as its question names it ("mg", "micrograms"). Empty when the
/// question does not say.
std::string askedUnit(QuestionKind kind, std::string_view questionText);

/// Whether `word` (any letter case, blanks around it ignored) names `askedUnit`: its own
/// spelling, singular or plural, and the usual spellings of the same unit ("mls", "ml's",
/// "millilitre", "millilitres" for ml; "tabs" for tablets; "gtt/min" for drops/min).
bool namesUnit(std::string_view word, std::string_view askedUnit);

} // namespace tb
