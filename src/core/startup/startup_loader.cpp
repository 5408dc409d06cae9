#include "core/startup/startup_loader.h"

#include "core/drugdb/drug_file.h"
#include "core/drugdb/index_files.h"
#include "core/foundation/file_error.h"
#include "core/foundation/record_file.h"

#include <algorithm>

namespace tb {

namespace fs = std::filesystem;

namespace {

// An index entry whose category the category file does not list (the index files of a
// rebuild interrupted between its renames) keeps its drug: the code gets a category of
// its own, which the next rebuild writes to the category file.
void adoptUnlistedCategories(AppState& state)
{
    auto& cats = state.categories;
    for (const DrugIndex* index : { &state.TabletIndex, &state.FluidIndex }) {
        for (int i = 1; i <= index->count; ++i) {
            const std::int16_t code = index->category[static_cast<std::size_t>(i)];
            bool listed = false;
            for (int c = 1; c <= cats.CategoryCount; ++c)
                listed = listed || cats.CategoryCode[static_cast<std::size_t>(c)] == code;
            if (listed || cats.CategoryCount >= MaxCategories)
                continue;
            ++cats.CategoryCount;
            cats.CategoryName[static_cast<std::size_t>(cats.CategoryCount)]
                = fitCategoryName("Category " + std::to_string(code));
            cats.CategoryCode[static_cast<std::size_t>(cats.CategoryCount)] = code;
        }
    }
}

} // namespace

std::string completeIndexRebuild(const fs::path& folder)
{
    const fs::path journal = findFile(folder, RebuildJournalFileName);
    std::error_code ec;
    bool leftOver = fs::exists(fs::symlink_status(journal, ec));
    for (const char* name : { TabletIndexFileName, FluidIndexFileName, CategoryFileName }) {
        const fs::path file = findFile(folder, name);
        leftOver = leftOver
            || fs::is_regular_file(fs::symlink_status(file.parent_path() / fittedName(name, ".new"), ec))
            || fs::is_regular_file(fs::symlink_status(fs::path(file.string() + ".new"), ec));
    }
    if (!leftOver)
        return {};
    const std::string interrupted = "Tutor Bench was stopped while it was rebuilding the drug index files "
                                    "(mxdbs1.idx, mxdbs2.idx and mxcat.idx), so they may not have belonged together. ";
    try {
        // The journal holds the categories of the rebuild that was stopped; without it (a rebuild
        // stopped before its journal was complete) the category file as it stands is used.
        CategoryTables categories;
        try {
            categories
                = parseRebuildJournal(readWholeFile(journal, MaxCategoryFileBytes + 64), journal.filename().string());
        } catch (const FileError&) {
            categories = loadCategories(folder);
        }
        // The rebuild writes its scratch files fresh over those left behind, and renames them.
        rebuildIndexes(folder, categories);
    } catch (const std::exception& e) {
        return interrupted + "They could not be rebuilt now: " + e.what()
            + " Tutor Bench goes on with the files as they are, and tries again at its next start.";
    }
    return interrupted + "They have been rebuilt from the drug data file MXDBASE.FIL; nothing needs to be done.";
}

void sizeCandidateRecords(AppState& state)
{
    const int size = std::max<int>(state.TabletIndex.count, state.FluidIndex.count) + 1;
    state.CandidateRecords.assign(static_cast<std::size_t>(size), 0);
    state.CandidateCount = 0;
}

std::optional<StartupProblem> loadStartupFiles(AppState& state)
{
    const auto& folder = state.dataFolder;
    auto problemFrom = [](const FileError& e, const std::string& name, const char* advice) {
        StartupProblem p;
        p.fileName = name;
        p.line = e.line();
        p.message = std::string(e.what()) + " " + advice;
        return p;
    };
    const char* const replaceAdvice
        = "Replace it with a good copy of the drug database files and start Tutor Bench again.";

    try {
        state.settings = loadSettings(folder);
    } catch (const FileError& e) {
        return problemFrom(e, SettingsFileName,
            "Check that MX.INI can be read, or delete it to start with every option off, and "
            "start Tutor Bench again.");
    }

    const char* names[] = { TabletIndexFileName, FluidIndexFileName, CategoryFileName };
    std::string texts[3];
    const std::uint64_t bounds[] = { MaxIndexFileBytes, MaxIndexFileBytes, MaxCategoryFileBytes };
    for (int i = 0; i < 3; ++i) {
        const auto path = findFile(folder, names[i]);
        try {
            texts[i] = readWholeFile(path, bounds[i]);
        } catch (const FileError& e) {
            std::error_code ec;
            if (fs::exists(fs::symlink_status(path, ec)))
                return problemFrom(e, names[i], replaceAdvice);
            StartupProblem p;
            p.fileName = names[i];
            p.message = "The drug database file \"" + std::string(names[i])
                + "\" is missing or cannot be read in the folder " + fs::absolute(folder).string()
                + ". Copy the drug database files (MXDBASE.FIL, mxdbs1.idx, mxdbs2.idx and mxcat.idx) into "
                  "this folder and start Tutor Bench again.";
            return p;
        }
    }
    try {
        DrugIndex tablets = parseIndexFile(texts[0], findFile(folder, names[0]).filename().string());
        DrugIndex fluids = parseIndexFile(texts[1], findFile(folder, names[1]).filename().string());
        CategoryTables categories = parseCategoryFile(texts[2], findFile(folder, names[2]).filename().string());
        state.TabletIndex = std::move(tablets);
        state.FluidIndex = std::move(fluids);
        state.categories = std::move(categories);
        adoptUnlistedCategories(state);
    } catch (const FileError& e) {
        return problemFrom(e, e.path(), replaceAdvice);
    }
    sizeCandidateRecords(state);
    return std::nullopt;
}

} // namespace tb
