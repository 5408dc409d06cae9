#pragma once

#include "questions/generated_question.h"

namespace tb {

/// An IV drop-rate question: a charted or a running infusion, with its worked solution.
GeneratedQuestion makeDropRateQuestion(AppState& state);

} // namespace tb
