#pragma once

#include "core/foundation/generated_question.h"

#include <string>

namespace tb {

/// An infusion pump question: the rate in ml/hr for a charted infusion, or the new rate for
/// one that has already run for a while, with its worked solution.
GeneratedQuestion makePumpRateQuestion(AppState& state);

/// An infusion time question: how many minutes a volume takes at a pump rate in ml/hr or at a
/// gravity rate in drops per minute, with its worked solution.
GeneratedQuestion makeInfusionTimeQuestion(AppState& state);

/// A result rounded to a whole number, with the solution's sentence that explains the rounding
/// (empty when the result is already whole).
struct WholeRounding {
    long long answer = 0;
    std::string sentence;
};

/// numerator / denominator (both positive) rounded half-up to `decimals` places, as a whole
/// number of the last place (2.345 to 2 places gives 235). Exact, whatever the floating point does.
long long roundedQuotient(long long numerator, long long denominator, int decimals);

/// Rounds numerator / denominator (both positive) half-up: a first decimal place of 5 or more
/// goes up. Exact, so that 62.5 goes up and 62 needs no rounding whatever the floating point does.
WholeRounding roundHalfUp(long long numerator, long long denominator);

} // namespace tb
