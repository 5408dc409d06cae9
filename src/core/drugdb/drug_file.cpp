#include "core/drugdb/drug_file.h"

#include "core/drugdb/index_files.h"
#include "core/foundation/file_error.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tb {

namespace fs = std::filesystem;

namespace {

std::string quotedName(const fs::path& p)
{
    return "\"" + p.filename().string() + "\"";
}

} // namespace

int recordTotalFor(std::uint64_t bytes)
{
    const std::uint64_t whole = bytes / DrugRecord::RecordLength;
    const std::uint64_t rest = bytes % DrugRecord::RecordLength;
    std::uint64_t total = whole;
    // Round to the nearest whole record; exactly half a record goes to the even neighbour.
    if (rest * 2 > DrugRecord::RecordLength || (rest * 2 == DrugRecord::RecordLength && whole % 2 == 1))
        ++total;
    if (total == 0)
        return 1;
    if (total > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(total);
}

DrugFile::DrugFile(const fs::path& folder, FaultHook* hook)
    : folder_(folder)
    , path_(findFile(folder, DrugDataFileName))
    , hook_(hook)
{
    file_ = std::make_unique<RecordFile>(path_, DrugRecord::RecordLength, RecordFile::Mode::ReadWrite, hook_);
    total_ = recordTotalFor(file_->byteSize());
}

DrugFile::~DrugFile() = default;

int DrugFile::RecordTotal() const
{
    return total_;
}

const fs::path& DrugFile::path() const
{
    return path_;
}

RecordFile& DrugFile::file()
{
    if (!file_)
        throw FileError(path_.string(), "The drug data file " + quotedName(path_) + " is closed.");
    return *file_;
}

void DrugFile::badRecordNumber(int n, const char* what) const
{
    throw FileError(path_.string(),
        "Record " + std::to_string(n) + " of the drug data file " + quotedName(path_) + " " + what + ".");
}

DrugRecord DrugFile::read(int n)
{
    if (n < 1)
        badRecordNumber(n, "cannot be read: record numbers start at 1");
    std::string bytes;
    if (!file().read(n, bytes))
        return DrugRecord {};
    return DrugRecord::unpack(bytes);
}

void DrugFile::write(int n, const DrugRecord& record)
{
    if (n < 1)
        badRecordNumber(n, "cannot be written: record numbers start at 1");
    if (n > MaxDrugRecords)
        badRecordNumber(n, "cannot be written: the drug database holds at most 32767 records");
    if (n > total_ + 1)
        badRecordNumber(n,
            ("cannot be written: the file holds " + std::to_string(total_) + " records, so the next new record is "
                + std::to_string(total_ + 1))
                .c_str());
    RecordFile& f = file();
    f.write(n, record.pack());
    f.sync();
    total_ = recordTotalFor(f.byteSize());
}

void DrugFile::deleteRecord(int n)
{
    if (n < 1 || n > total_)
        badRecordNumber(n, ("cannot be deleted: the file holds records 1 to " + std::to_string(total_)).c_str());
    RecordFile& f = file();
    // The compacted file is records 1..n-1 followed by n+1..total: the same bytes that
    // moving every later record down one place would leave, but built in the scratch
    // file so that the data file stays whole until the finished copy replaces it.
    // Opening the scratch file empties any MXDBASE.TMP left by an interrupted delete.
    {
        ScratchFile scratch(path_, hook_, findFile(folder_, DrugScratchFileName));
        std::string bytes = readWholeFile(path_, MaxDrugFileBytes);
        bytes.resize(static_cast<std::size_t>(total_) * DrugRecord::RecordLength, '\0');
        bytes.erase(static_cast<std::size_t>(n - 1) * DrugRecord::RecordLength, DrugRecord::RecordLength);
        scratch.append(bytes);
        f.close();
        file_.reset();
        try {
            scratch.commit();
        } catch (...) {
            file_ = std::make_unique<RecordFile>(path_, DrugRecord::RecordLength, RecordFile::Mode::ReadWrite, hook_);
            total_ = recordTotalFor(file_->byteSize());
            throw;
        }
    }
    file_ = std::make_unique<RecordFile>(path_, DrugRecord::RecordLength, RecordFile::Mode::ReadWrite, hook_);
    total_ = recordTotalFor(file_->byteSize());
}

void DrugFile::close()
{
    if (file_) {
        file_->close();
        file_.reset();
    }
}

DrugRecord readDrugRecord(const fs::path& folder, int n)
{
    bool present = false;
    return readDrugRecord(folder, n, present);
}

DrugRecord readDrugRecord(const fs::path& folder, int n, bool& present)
{
    present = false;
    const fs::path path = findFile(folder, DrugDataFileName);
    if (n < 1)
        throw FileError(path.string(),
            "Record " + std::to_string(n) + " of the drug data file " + quotedName(path)
                + " cannot be read: record numbers start at 1.");
    // The generators read a record per draw: the file is simply opened, and only when
    // that fails is it looked at more closely to say why.
    std::optional<RecordFile> file;
    try {
        file.emplace(path, DrugRecord::RecordLength, RecordFile::Mode::Read);
    } catch (const FileError&) {
        std::error_code ec;
        if (!fs::exists(path, ec))
            throw FileError(path.string(),
                "The drug data file " + quotedName(path) + " is missing from the folder "
                    + fs::absolute(folder, ec).string() + ".");
        throw;
    }
    std::string bytes;
    if (!file->read(n, bytes))
        return DrugRecord {};
    present = true;
    return DrugRecord::unpack(bytes);
}

void rebuildIndexes(const fs::path& folder, const CategoryTables& categories, FaultHook* hook)
{
    const fs::path dataPath = findFile(folder, DrugDataFileName);
    std::error_code ec;
    // Without the data file every category would look unused and be dropped from
    // the category file, so nothing is rewritten.
    if (!fs::exists(dataPath, ec))
        throw FileError(dataPath.string(),
            "The drug index files were not rebuilt: the drug data file " + quotedName(dataPath) + " is missing.");
    const int total = recordTotalFor(fs::file_size(dataPath, ec));
    if (total > MaxDrugRecords)
        throw FileError(dataPath.string(),
            "The drug index files were not rebuilt: the drug data file " + quotedName(dataPath) + " holds "
                + std::to_string(total) + " records, more than the 32767 the index files can list.");
    // The whole file is read at once (at most 32767 records, 7.9 MB): the rebuild over the largest
    // file then costs about 2.5 times a plain read and three synced copies of the same bytes.
    const std::string bytes = readWholeFile(dataPath, MaxDrugFileBytes);

    const int categoryCount = std::min(std::max(categories.CategoryCount, 0), MaxCategories);
    std::vector<bool> used(static_cast<std::size_t>(categoryCount) + 1, false);
    std::vector<IndexEntry> solid;
    std::vector<IndexEntry> fluid;
    for (int r = 1; r <= total; ++r) {
        const std::size_t offset = static_cast<std::size_t>(r - 1) * DrugRecord::RecordLength;
        const DrugRecord record = DrugRecord::unpack(offset < bytes.size()
                ? std::string_view(bytes).substr(offset, DrugRecord::RecordLength)
                : std::string_view());
        bool isSolid = false;
        bool isFluid = false;
        for (std::size_t i = 0; i < DrugRecord::Slots; ++i) {
            if (!(record.Strength[i] > 0))
                continue;
            if (isFluidForm(record.FormCode[i]))
                isFluid = true;
            else
                isSolid = true;
        }
        for (int c = 1; c <= categoryCount; ++c)
            if (categories.CategoryCode[static_cast<std::size_t>(c)] == record.DrugCategory)
                used[static_cast<std::size_t>(c)] = true;
        if (isSolid)
            solid.emplace_back(r, record.DrugCategory);
        if (isFluid)
            fluid.emplace_back(r, record.DrugCategory);
    }

    // The three files are one unit. The journal, written first, says a rebuild is under way and
    // with which categories; it goes only once all three files are replaced. A rebuild stopped
    // anywhere in between (a crash, a full disk) leaves the journal, and start-up redoes it.
    const std::string categoryText = categoryFileText(categories, used);
    const fs::path journal = findFile(folder, RebuildJournalFileName);
    if (fs::is_symlink(journal, ec)) // the journal is the program's own: a link there is not followed
        ::unlink(journal.c_str());
    writeFileAtomically(journal, rebuildJournalText(categoryText), hook);
    const std::pair<const char*, std::string> files[] = { { TabletIndexFileName, indexFileText(solid) },
        { FluidIndexFileName, indexFileText(fluid) }, { CategoryFileName, categoryText } };
    std::vector<std::unique_ptr<ScratchFile>> scratch;
    for (const auto& [name, text] : files) {
        scratch.push_back(std::make_unique<ScratchFile>(findFile(folder, name), hook));
        scratch.back()->append(text);
    }
    for (auto& file : scratch)
        file->finish();
    for (auto& file : scratch)
        file->commit();
    if (::unlink(journal.c_str()) != 0 && errno != ENOENT)
        throw FileError(journal.string(),
            "The drug index files were rebuilt, but the note " + quotedName(journal)
                + " that a rebuild is under way could not be removed (" + std::strerror(errno)
                + "); the next start rebuilds them again.");
    syncFolderOf(journal);
}

int createCategory(CategoryTables& categories, std::string_view name)
{
    const std::string typed = trimmedRight(name);
    if (typed.empty() || categories.CategoryCount >= MaxCategories || categories.CategoryCount < 0)
        return 0;
    const int slot = categories.CategoryCount + 1;
    std::int16_t code = 1;
    // At most 49 other codes exist, so a free code is found by 50.
    for (bool taken = true; taken && code <= MaxCategories + 1;) {
        taken = false;
        for (int c = 1; c < slot; ++c)
            if (categories.CategoryCode[static_cast<std::size_t>(c)] == code)
                taken = true;
        if (taken)
            ++code;
    }
    categories.CategoryCount = slot;
    categories.CategoryName[static_cast<std::size_t>(slot)] = storableCategoryName(typed);
    categories.CategoryCode[static_cast<std::size_t>(slot)] = code;
    return slot;
}

} // namespace tb
