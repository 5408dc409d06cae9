#pragma once

#include "drugdb/index_files.h"
#include "startup/app_state.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tb {

/// Why start-up could not load its files: the file and line at fault, and a text
/// for the teacher that says what to do.
struct StartupProblem {
    std::string fileName;
    int line = 0;
    std::string message;
};

/// Loads what the program needs before its first window into `state`: the settings, both
/// indexes, the categories and the sizing of the candidate list, all from state.dataFolder. Returns the problem
/// when one of the three files is missing or does not parse; `state` then keeps
/// whatever was loaded before it and must not be used for questions.
std::optional<StartupProblem> loadStartupFiles(AppState& state);

/// Sizes CandidateRecords to 0 .. max(TabletIndex.count, FluidIndex.count).
void sizeCandidateRecords(AppState& state);

} // namespace tb
