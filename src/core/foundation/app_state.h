#pragma once

#include "core/foundation/field_codec.h"
#include "core/foundation/random_source.h"
#include "core/foundation/settings.h"
#include "core/foundation/unit_tables.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tb {

/// An in-memory copy of mxdbs1.idx or mxdbs2.idx. Entries 1..count are used;
/// entry 0 stays 0.
struct DrugIndex {
    std::int16_t count = 0;
    std::vector<std::int16_t> record = { 0 };
    std::vector<std::int16_t> category = { 0 };
};

/// The most categories the category tables hold.
inline constexpr int MaxCategories = 50;

/// The drug categories of mxcat.idx: entries 1..CategoryCount are used.
struct CategoryTables {
    int CategoryCount = 0;
    std::array<std::string, MaxCategories + 1> CategoryName; // each exactly 20 characters
    std::array<std::int16_t, MaxCategories + 1> CategoryCode {};
};

/// A category name fitted to 20 characters: cut, or padded with blanks.
inline std::string fitCategoryName(std::string_view name)
{
    return fitWidth(name, 20);
}

/// One remembered draw: the three duplicate keys of an accepted question.
using DuplicateKeys = std::array<std::optional<double>, 3>;

/// The keys of the last 50 accepted questions, written round-robin, never cleared.
struct RepeatHistory {
    std::array<std::optional<DuplicateKeys>, 50> entries;
    int position = 0;
};

/// Everything the program shares between its parts, created once at start-up.
struct AppState {
    explicit AppState(std::unique_ptr<RandomSource> randomSource = std::make_unique<ProductionRandom>(),
        std::filesystem::path folder = ".")
        : tables(makeUnitTables())
        , random(std::move(randomSource))
        , dataFolder(std::move(folder))
    {
    }

    UnitTables tables;
    Settings settings;
    DrugIndex TabletIndex;
    DrugIndex FluidIndex;
    CategoryTables categories;
    std::vector<std::int16_t> CandidateRecords = { 0 }; // 0 .. max(index counts)
    int CandidateCount = 0;
    RepeatHistory repeatHistory;
    std::unique_ptr<RandomSource> random;
    std::filesystem::path dataFolder;
    /// The answer Frmsave left: true for "&Yes". Closing that window by other means
    /// leaves the previous answer in force.
    bool saveanswer = false;
    /// The "include in the student menu" flag of the last test the test window held:
    /// a new test at the window's next opening starts with it.
    int lastMenuListed = 0;
    /// Whether the test window locks its working file against other copies of the program
    /// (start-up turns it on once it has dealt with the folder's lock).
    bool lockWorkingFiles = false;

    RandomSource& rng() { return *random; }
};

} // namespace tb
