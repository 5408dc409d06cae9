#pragma once

#include "questions/generated_question.h"

#include <string>

namespace tb {

/// An IV drop-rate question: a charted or a running infusion, with its worked solution.
GeneratedQuestion makeDropRateQuestion(AppState& state);

/// A drop rate rounded to whole drops per minute, with the solution's sentence that explains
/// the rounding (empty when the rate is already whole).
struct DropRateRounding {
    double answer = 0.0;
    std::string sentence;
};

/// Rounds a drop rate: a fraction above 0.49 goes up, any smaller fraction goes down.
DropRateRounding roundDropRate(double rate);

} // namespace tb
