#pragma once

#include "core/drugdb/index_files.h"
#include "core/foundation/app_state.h"

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

/// Finishes a rebuild of the index files that a crash or a failed write left undone: when the
/// rebuild journal or a scratch file of one of the three files is left in `folder`, the three
/// are rebuilt from MXDBASE.FIL (with the journal's categories where it holds them), so that
/// they belong together again. Runs at start-up, while the folder lock is held, before the
/// files are loaded. Returns the note for the teacher, empty when nothing was left over.
std::string completeIndexRebuild(const std::filesystem::path& folder);

/// Sizes CandidateRecords to 0 .. max(TabletIndex.count, FluidIndex.count).
void sizeCandidateRecords(AppState& state);

} // namespace tb
