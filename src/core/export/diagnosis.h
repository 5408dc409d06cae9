#pragma once

#include "core/export/answer_rule.h"

#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// The typical error a wrong answer shows.
enum class DiagnosisKind {
    None, // no typical error fits
    TooLarge, // 10, 100 or 1000 times the right answer: a unit conversion slipped
    TooSmall, // a tenth, hundredth or thousandth of it
    Inverted, // the ratio taken the wrong way round: stock over required
    NotRounded, // the right value, not rounded as the question asks
    OtherUnit, // the right quantity in another unit (per minute for per hour, hours for minutes)
    WholeDay // the dose for the whole day where one of its divided doses is asked
};

/// What a wrong answer tells. `text` follows medication-safety wording and is ASCII.
struct Diagnosis {
    DiagnosisKind kind = DiagnosisKind::None;
    int factor = 0; // 10, 100 or 1000 for TooLarge and TooSmall; 60 (or 100: ml for units) for OtherUnit; doses a day
                    // for WholeDay
    std::string text; // empty for None

    bool found() const { return kind != DiagnosisKind::None; }
};

/// The diagnosis of `given`, a wrong answer to the question with `questionText` (Windows-1252
/// or UTF-8) whose accepted answers are `rule`. An answer the rule accepts has none.
/// Checked in this order: another unit, 10/100/1000 times, the inverted ratio (tablet and
/// fluid questions, from the question's own numbers), not rounded as asked.
Diagnosis diagnose(std::string_view questionText, const AnswerRule& rule, double given);
/// The same from the stored value behind the rule: a question marked to 2 decimal places
/// scales its full value, not the rounded one (1.6666 ten times is 16.67, not 16.7).
Diagnosis diagnose(std::string_view questionText, const AnswerRule& rule, double given, double stored);

/// A wrong answer the exports add to a question, with the feedback a student gets for it.
struct WrongAnswer {
    double value = 0; // the centre, as it is exported
    double tolerance = 0; // nominal
    Diagnosis diagnosis;
};

/// The typical wrong answers of a question, each with its diagnosis, in the order the exports
/// write them. Each band, widened as the platforms widen it, lies clear of the accepted band
/// and of the ones before it; none is zero, negative or not finite.
std::vector<WrongAnswer> typicalWrongAnswers(std::string_view questionText, const AnswerRule& rule);
/// The same from the stored value behind the rule.
std::vector<WrongAnswer> typicalWrongAnswers(std::string_view questionText, const AnswerRule& rule, double stored);

} // namespace tb
