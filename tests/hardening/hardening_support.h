#pragma once

#include "drugdb/drug_record.h"
#include "startup/file_error.h"
#include "startup/record_file.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tb::testing {

/// Every file of a folder by name with its bytes; sub-folders are left out.
using FolderImage = std::map<std::string, std::string>;

inline FolderImage imageOf(const std::filesystem::path& folder)
{
    FolderImage image;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        image[entry.path().filename().string()] = bytes.str();
    }
    return image;
}

/// Lays a folder image out in an empty folder.
inline void restoreImage(const FolderImage& image, const std::filesystem::path& folder)
{
    for (const auto& [name, bytes] : image)
        std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
}

/// Thrown by the hook where a write fails; a real failure looks like this to the program.
inline FileError diskFull(const std::filesystem::path& target)
{
    return FileError(
        target.string(), "The file \"" + target.filename().string() + "\" was not changed: No space left on device.");
}

/// Marks a simulated death: the test catches it; the program never sees one.
struct ProcessDied { };

/// Fires at the n-th step reported to it (counting from 1) in one of two ways:
/// - Throw: the step fails as a full disk would, and the program cleans up;
/// - Die: the folder is copied as it stands at that instant (what a killed process
///   leaves on disk), then the operation is abandoned.
/// With n = 0 it only counts, so a first run tells how many steps an operation has.
class StepFault final : public FaultHook {
public:
    enum class Kind { Throw, Die };

    StepFault(Kind kind, int n, std::filesystem::path folder)
        : kind_(kind)
        , n_(n)
        , folder_(std::move(folder))
    {
    }

    void at(RewriteStep step, const std::filesystem::path& target) override
    {
        ++calls_;
        steps_.push_back({ step, target.filename().string() });
        if (calls_ != n_)
            return;
        fired_ = true;
        if (kind_ == Kind::Throw)
            throw diskFull(target);
        crashImage_ = imageOf(folder_);
        throw ProcessDied {};
    }

    int calls() const { return calls_; }
    bool fired() const { return fired_; }
    const FolderImage& crashImage() const { return crashImage_; }
    const std::vector<std::pair<RewriteStep, std::string>>& steps() const { return steps_; }

private:
    Kind kind_;
    int n_;
    std::filesystem::path folder_;
    int calls_ = 0;
    bool fired_ = false;
    FolderImage crashImage_;
    std::vector<std::pair<RewriteStep, std::string>> steps_;
};

inline const char* stepName(RewriteStep step)
{
    switch (step) {
    case RewriteStep::ScratchOpened:
        return "ScratchOpened";
    case RewriteStep::ScratchWritten:
        return "ScratchWritten";
    case RewriteStep::ScratchSynced:
        return "ScratchSynced";
    case RewriteStep::BeforeRename:
        return "BeforeRename";
    case RewriteStep::Renamed:
        return "Renamed";
    }
    return "?";
}

/// True when permission bits stop this process writing (they do not for root).
inline bool permissionsAreEnforced()
{
    TempFolder probe;
    ::chmod(probe.path().c_str(), 0555);
    const auto file = probe.path() / "probe";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    const bool enforced = f == nullptr;
    if (f)
        std::fclose(f);
    ::chmod(probe.path().c_str(), 0755);
    return enforced;
}

/// Makes a folder read-only for the life of the object.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::filesystem::path folder)
        : folder_(std::move(folder))
    {
        ::chmod(folder_.c_str(), 0555);
    }
    ~ReadOnlyFolder() { ::chmod(folder_.c_str(), 0755); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
    std::filesystem::path folder_;
};

/// Uniform draws that look random but are the same on every run.
inline std::vector<double> spreadDraws(std::size_t n = 4999)
{
    std::vector<double> values;
    std::uint64_t x = 88172645463325252ULL;
    for (std::size_t i = 0; i < n; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        values.push_back(static_cast<double>(x >> 11) / 9007199254740992.0);
    }
    return values;
}

/// A drug with one preparation, in milligrams, in category `category`.
inline DrugRecord drug(const std::string& name, int form, double strength, double volume, int category, double low = 1,
    double high = 100, double increment = 1)
{
    DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = low;
    r.DoseRangeLowUnit = Mg;
    r.DoseRangeHigh = high;
    r.DoseRangeHighUnit = Mg;
    r.FluidIncrement = increment;
    r.HalfTablet[0] = 1;
    r.FormCode[0] = static_cast<std::int16_t>(form);
    r.Strength[0] = strength;
    r.StrengthUnit[0] = Mg;
    r.Volume[0] = volume;
    r.VolumeUnit.fill(6);
    r.DrugCategory = static_cast<std::int16_t>(category);
    return r;
}

/// The bytes of a data file holding the given records.
inline std::string dataFile(const std::vector<DrugRecord>& records)
{
    std::string bytes;
    for (const auto& r : records)
        bytes += r.pack();
    return bytes;
}

} // namespace tb::testing
