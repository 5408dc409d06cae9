#pragma once

#include "startup/app_state.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tb {

inline constexpr const char* TabletIndexFileName = "mxdbs1.idx";
inline constexpr const char* FluidIndexFileName = "mxdbs2.idx";
inline constexpr const char* CategoryFileName = "mxcat.idx";

/// Why start-up could not load its files: the file and line at fault, and a text
/// for the teacher that says what to do.
struct StartupProblem {
    std::string fileName;
    int line = 0;
    std::string message;
};

/// Parses the text of an index file; throws FileError naming the file and line.
DrugIndex parseIndexFile(std::string_view text, const std::string& fileName);

/// Parses the text of the category file; throws FileError naming the file and line.
/// More than 50 categories is refused: the tables hold 50, and dropping the rest
/// would lose them when the drug database editor next rewrites the file.
CategoryTables parseCategoryFile(std::string_view text, const std::string& fileName);

/// Loads the category file of `folder` (also used by the drug database editor).
CategoryTables loadCategories(const std::filesystem::path& folder);

/// Start-up steps 3 to 10 into `state`: settings, both indexes, the categories and
/// the sizing of the candidate list, all from state.dataFolder. Returns the problem
/// when one of the three files is missing or does not parse; `state` then keeps
/// whatever was loaded before it and must not be used for questions.
std::optional<StartupProblem> loadStartupFiles(AppState& state);

/// Sizes CandidateRecords to 0 .. max(TabletIndex.count, FluidIndex.count).
void sizeCandidateRecords(AppState& state);

} // namespace tb
