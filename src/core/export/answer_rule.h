#pragma once

#include <string>
#include <string_view>

namespace tb {

/// What a stored question asks for, read from its text as the question generators write it.
/// A hand-written question that matches none of their phrasings is `Unrecognised`.
/// UnitsPumpRate is a pump rate in ml/hr for a dose in units/hr (to 1 decimal place);
/// UnitsPerHour the units per hour a running infusion gives; InsulinUnits the whole units of
/// insulin drawn up.
enum class QuestionKind {
    DropRate,
    TabletCount,
    LiquidVolume,
    MetricConversion,
    PumpRate,
    InfusionTime,
    UnitsPumpRate,
    UnitsPerHour,
    InsulinUnits,
    WeightDose, // mg of one dose from a child's weight: whole, or 1 decimal place below 10 mg
    DoseVolume, // ml of one dose: 1 decimal place, or 2 below 1 ml
    Unrecognised
};

/// How closely a typed answer must match: exactly, to 1 or 2 decimal places, or to the stored
/// value's full precision (relative 1E-9).
enum class ToleranceStyle { Exact, TwoDecimals, FullPrecision, OneDecimal };

/// The answers a learning platform accepts for one question: every number from `lower` to
/// `upper`, that is `centre` plus or minus `tolerance`.
struct AnswerRule {
    ToleranceStyle style = ToleranceStyle::Exact;
    double centre = 0;
    double tolerance = 0;
    double lower = 0;
    double upper = 0;
    /// The stored value has more decimals than the student is expected to type, so the
    /// question tells how many to give.
    bool statesDecimals = false;
};

/// The sentence added to a question whose rule `statesDecimals`.
inline constexpr const char* TwoDecimalsSentence = "Give your answer to 2 decimal places.";

/// The kind of a question from its text (Windows-1252 or UTF-8; letter case ignored).
QuestionKind questionKind(std::string_view questionText);

/// The tolerance a kind of question is marked with. Kinds whose answers are whole numbers
/// or counts are exact.
ToleranceStyle toleranceStyle(QuestionKind kind);

/// The accepted answers around a stored value: exact; 2 decimal places (the value rounded
/// half away from zero to 2 decimals, plus or minus 0.005); 1 decimal place (likewise, plus or
/// minus 0.05); or relative 1E-9.
AnswerRule answerRule(ToleranceStyle style, double value);

/// The value of a stored answer text: the whole text, outer blanks removed, must read as
/// one finite decimal number ("2.5", ".5", "5E-06"); otherwise there is none.
bool storedAnswerValue(std::string_view answerText, double& value);

} // namespace tb
