#pragma once

#include "core/foundation/generated_question.h"

#include <string>
#include <string_view>

namespace tb {

/// The result of explainConversion.
struct Conversion {
    double converted = 0.0;
    std::string explanation;
};

/// A metric conversion question: converts a random quantity between two prefixes
/// of one measure, with the full worked explanation as its solution.
GeneratedQuestion makeMetricQuestion(AppState& state);

/// Converts `quantity` from `fromPrefix` to `toPrefix` (prefix codes 1..8, never
/// equal) within `measure` (1..3) and explains it: four lines when `mode` is
/// exactly "short", otherwise the full explanation with the metric scale.
Conversion explainConversion(
    const UnitTables& tables, double quantity, int fromPrefix, int measure, int toPrefix, std::string_view mode);

/// "The decimal place has been moved n places to the left/right." for a power of ten.
std::string decimalMoveSentence(double ratio);

/// The metric scale line of a measure (40 characters).
std::string scaleLine(const UnitTables& tables, int measure);

/// The marker line under the scale from one prefix to another (40 characters).
std::string markerLine(int fromPrefix, int toPrefix);

} // namespace tb
