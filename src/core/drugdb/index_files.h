#pragma once

#include "core/foundation/app_state.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text form of the three index files: mxdbs1.idx and mxdbs2.idx list the records of
// the solid and the fluid drugs as "record,category" lines; mxcat.idx lists the categories
// as "\"name\",code" lines. Each file opens with its count line; every line ends in CR LF.

namespace tb {

inline constexpr const char* TabletIndexFileName = "mxdbs1.idx";
inline constexpr const char* FluidIndexFileName = "mxdbs2.idx";
inline constexpr const char* CategoryFileName = "mxcat.idx";
/// Stands in the data folder while the three files are being rebuilt: from before the first
/// scratch file is written until the last of them has replaced its file. It holds the
/// categories the rebuild writes, so that start-up can redo an interrupted rebuild exactly.
inline constexpr const char* RebuildJournalFileName = "index.rebuild";

/// The largest index file: 32767 entries of "record,category" and the count line, at most
/// 16 bytes a line with room for blanks.
inline constexpr std::uint64_t MaxIndexFileBytes = 32768 * 16;
/// The largest category file: 50 names of 20 characters quoted with their codes, and the
/// count line, at most 64 bytes a line with room for blanks.
inline constexpr std::uint64_t MaxCategoryFileBytes = (MaxCategories + 1) * 64;

/// One entry of an index file: a record number and the record's category code.
using IndexEntry = std::pair<int, std::int16_t>;

/// Parses the text of an index file; throws FileError naming the file and line.
DrugIndex parseIndexFile(std::string_view text, const std::string& fileName);

/// Parses the text of the category file; throws FileError naming the file and line.
/// More than 50 categories is refused: the tables hold 50, and dropping the rest
/// would lose them when the drug database editor next rewrites the file.
CategoryTables parseCategoryFile(std::string_view text, const std::string& fileName);

/// Loads the category file of `folder` (also used by the drug database editor).
CategoryTables loadCategories(const std::filesystem::path& folder);

/// The text of an index file: the count line (empty when there are no entries), then
/// "record,category" per entry.
std::string indexFileText(const std::vector<IndexEntry>& entries);

/// The text of the category file holding the categories whose slot is marked in `used`
/// (slot k at used[k]).
std::string categoryFileText(const CategoryTables& categories, const std::vector<bool>& used);

/// The text of the rebuild journal: a first line saying what the file is, then the text of the
/// category file being written.
std::string rebuildJournalText(std::string_view categoryFileText);

/// The categories a rebuild journal holds; throws FileError when the text is not a journal.
CategoryTables parseRebuildJournal(std::string_view text, const std::string& fileName);

/// A category name as the category file can hold it: fitted to 20 characters, a double
/// quote made an apostrophe and a line break or NUL a blank, since the name sits between
/// double quotes on one line.
std::string storableCategoryName(std::string_view name);

} // namespace tb
