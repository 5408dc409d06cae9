#pragma once

#include "core/drugdb/drug_record.h"
#include "core/foundation/app_state.h"
#include "core/foundation/record_file.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace tb {

inline constexpr const char* DrugDataFileName = "MXDBASE.FIL";
inline constexpr const char* DrugScratchFileName = "MXDBASE.TMP";
inline constexpr int MaxDrugRecords = 32767;
/// The largest data file: 32767 records, and less than half a record more (it rounds down).
inline constexpr std::uint64_t MaxDrugFileBytes = MaxDrugRecords * 240ULL + 119;

/// RecordTotal for a data file of `bytes` bytes: bytes/240 rounded half to even; 0 bytes gives 1.
int recordTotalFor(std::uint64_t bytes);

/// MXDBASE.FIL held open for reading and writing (created when missing), as the editor uses it.
class DrugFile {
public:
    explicit DrugFile(const std::filesystem::path& folder, FaultHook* hook = nullptr);
    ~DrugFile();
    DrugFile(const DrugFile&) = delete;
    DrugFile& operator=(const DrugFile&) = delete;

    int RecordTotal() const;
    /// Record n (n >= 1); a blank record past the end of the file.
    DrugRecord read(int n);
    /// Stores record n, extending the file when n = RecordTotal + 1; a number above 32767 is refused
    /// with FileError.
    void write(int n, const DrugRecord& record);
    /// Deletes record n: later records move down one place, then the file is replaced by a compacted
    /// copy written through MXDBASE.TMP. RecordTotal decreases by 1 (never below 1).
    void deleteRecord(int n);
    void close();
    const std::filesystem::path& path() const;

private:
    RecordFile& file();
    [[noreturn]] void badRecordNumber(int n, const char* what) const;

    std::filesystem::path folder_;
    std::filesystem::path path_;
    FaultHook* hook_;
    std::unique_ptr<RecordFile> file_;
    int total_ = 1;
};

/// Reads record n of MXDBASE.FIL in `folder` read-only, for the generators: blank past the end;
/// throws FileError (naming the file) when the file is missing or unreadable.
DrugRecord readDrugRecord(const std::filesystem::path& folder, int n);

/// The same, also telling whether record n lies within the file (`present` is false when the record
/// lies wholly past its end, so that a caller can tell a stale index entry from a blank record).
DrugRecord readDrugRecord(const std::filesystem::path& folder, int n, bool& present);

/// Rebuilds mxdbs1.idx / mxdbs2.idx (found case-insensitively; a file created gets the spelling the
/// start-up reads) and rewrites mxcat.idx from the data file and the categories; each file through a
/// scratch file + rename.
void rebuildIndexes(const std::filesystem::path& folder, const CategoryTables& categories, FaultHook* hook = nullptr);

/// Creates a category from a typed name (trailing blanks removed, cut to 20; a double quote becomes an
/// apostrophe, since the category file quotes its names): smallest free code. Returns its slot, or 0
/// when the tables already hold 50 or the name is blank (nothing changes then).
int createCategory(CategoryTables& categories, std::string_view name);

} // namespace tb
