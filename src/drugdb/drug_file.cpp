#include "drugdb/drug_file.h"

#include "startup/file_error.h"
#include "startup/startup_loader.h"

#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace tb {

namespace fs = std::filesystem;

namespace {

std::string quotedName(const fs::path& p)
{
    return "\"" + p.filename().string() + "\"";
}

// What the index rebuild needs of a record, read straight from its 240 bytes: the
// rebuild passes over every record of the file, and unpacking the names of each one
// would cost more than reading the file.
struct IndexFacts {
    bool solid = false;
    bool fluid = false;
    std::int16_t category = 0;
};

IndexFacts indexFacts(std::string_view bytes)
{
    IndexFacts facts;
    if (bytes.size() < DrugRecord::RecordLength)
        return facts;
    for (std::size_t i = 0; i < DrugRecord::Slots; ++i) {
        if (!(float64At(bytes, StrengthOffset + 8 * i) > 0))
            continue;
        if (isFluidForm(int16At(bytes, FormCodeOffset + 2 * i)))
            facts.fluid = true;
        else
            facts.solid = true;
    }
    facts.category = int16At(bytes, DrugCategoryOffset);
    return facts;
}

// The text of an index file: the count line (empty when there are no entries),
// then "record,category" per entry, every line ending in CR LF.
std::string indexFileText(const std::vector<std::pair<int, std::int16_t>>& entries)
{
    std::string text = entries.empty() ? std::string() : std::to_string(entries.size());
    text += "\r\n";
    // Up to 32767 lines: written with to_chars into one buffer rather than a string per line.
    text.reserve(text.size() + entries.size() * 14);
    char line[32];
    for (const auto& [record, category] : entries) {
        char* end = std::to_chars(line, line + 12, record).ptr;
        *end++ = ',';
        end = std::to_chars(end, end + 8, category).ptr;
        *end++ = '\r';
        *end++ = '\n';
        text.append(line, end);
    }
    return text;
}

// A category name as the category file can hold it: the name sits between double quotes on one
// line, so a double quote or a line break inside it would make the file unreadable at the next start.
std::string storableCategoryName(std::string_view name)
{
    std::string s = fitCategoryName(name);
    for (char& c : s) {
        if (c == '"')
            c = '\'';
        else if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return s;
}

void replaceFile(const fs::path& folder, const char* name, const std::string& text, FaultHook* hook)
{
    const fs::path target = findFile(folder, name);
    // Closing the editor after only browsing gives the same files again: leaving a file
    // that already holds exactly these bytes spares the disk a rewrite and a flush.
    std::error_code ec;
    if (fs::file_size(target, ec) == text.size() && !ec) {
        try {
            if (readWholeFile(target) == text)
                return;
        } catch (const FileError&) {
            // Unreadable: rewrite it.
        }
    }
    ScratchFile scratch(target, hook);
    scratch.append(text);
    scratch.commit();
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
    file_ = std::make_unique<RecordFile>(path_, DrugRecord::RecordLength, RecordFile::Mode::ReadWrite);
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
    total_ = recordTotalFor(f.byteSize());
}

void DrugFile::deleteRecord(int n)
{
    if (n < 1 || n > total_)
        badRecordNumber(n, ("cannot be deleted: the file holds records 1 to " + std::to_string(total_)).c_str());
    RecordFile& f = file();
    const int newTotal = total_ - 1;

    // The compacted file is records 1..n-1 followed by n+1..total: the same bytes that
    // moving every later record down one place would leave, but built in the scratch
    // file so that the data file stays whole until the finished copy replaces it.
    // Opening the scratch file empties any MXDBASE.TMP left by an interrupted delete.
    {
        ScratchFile scratch(path_, hook_, findFile(folder_, DrugScratchFileName));
        std::string bytes;
        for (int r = 1; r <= newTotal; ++r) {
            const int from = r < n ? r : r + 1;
            f.read(from, bytes);
            scratch.append(bytes);
        }
        f.close();
        file_.reset();
        try {
            scratch.commit();
        } catch (...) {
            file_ = std::make_unique<RecordFile>(path_, DrugRecord::RecordLength, RecordFile::Mode::ReadWrite);
            total_ = recordTotalFor(file_->byteSize());
            throw;
        }
    }
    file_ = std::make_unique<RecordFile>(path_, DrugRecord::RecordLength, RecordFile::Mode::ReadWrite);
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
    RecordFile data(dataPath, DrugRecord::RecordLength, RecordFile::Mode::Read);
    const int total = recordTotalFor(data.byteSize());
    if (total > MaxDrugRecords)
        throw FileError(dataPath.string(),
            "The drug index files were not rebuilt: the drug data file " + quotedName(dataPath) + " holds "
                + std::to_string(total) + " records, more than the 32767 the index files can list.");

    const int categoryCount = std::min(std::max(categories.CategoryCount, 0), MaxCategories);
    std::vector<bool> used(static_cast<std::size_t>(categoryCount) + 1, false);
    std::vector<std::pair<int, std::int16_t>> solid;
    std::vector<std::pair<int, std::int16_t>> fluid;
    // The records are taken a block at a time: the pass touches every record of a file
    // that may hold 32767 of them.
    constexpr std::size_t BlockRecords = 256;
    std::string block;
    for (int first = 1; first <= total; first += static_cast<int>(BlockRecords)) {
        const auto wanted = std::min<std::size_t>(BlockRecords, static_cast<std::size_t>(total - first + 1));
        const std::size_t got = data.readMany(first, wanted, block);
        for (std::size_t k = 0; k < wanted; ++k) {
            const int r = first + static_cast<int>(k);
            const IndexFacts record = k < got
                ? indexFacts(std::string_view(block).substr(k * DrugRecord::RecordLength, DrugRecord::RecordLength))
                : IndexFacts {};
            for (int c = 1; c <= categoryCount; ++c)
                if (categories.CategoryCode[static_cast<std::size_t>(c)] == record.category)
                    used[static_cast<std::size_t>(c)] = true;
            if (record.solid)
                solid.emplace_back(r, record.category);
            if (record.fluid)
                fluid.emplace_back(r, record.category);
        }
    }
    data.close();

    int usedCount = 0;
    std::string categoryLines;
    for (int c = 1; c <= categoryCount; ++c) {
        if (!used[static_cast<std::size_t>(c)])
            continue;
        ++usedCount;
        categoryLines += "\"" + storableCategoryName(categories.CategoryName[static_cast<std::size_t>(c)]) + "\","
            + std::to_string(categories.CategoryCode[static_cast<std::size_t>(c)]) + "\r\n";
    }

    replaceFile(folder, TabletIndexFileName, indexFileText(solid), hook);
    replaceFile(folder, FluidIndexFileName, indexFileText(fluid), hook);
    replaceFile(folder, CategoryFileName, std::to_string(usedCount) + "\r\n" + categoryLines, hook);
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
