#pragma once

#include "core/foundation/app_state.h"

#include <string>

namespace tb {

/// What every question generator hands back.
struct GeneratedQuestion {
    std::string question; // lines separated by LineBreak
    double answer = 0.0;
    std::string solution; // lines separated by LineBreak
    DuplicateKeys duplicateKeys; // identifies the random draw; empty values where none
};

} // namespace tb
