#pragma once

// Shared pieces of the fuzz targets: a private scratch folder, a random source driven
// by the input, and a small drug database to run the generators against.

#include "core/drugdb/drug_file.h"
#include "core/drugdb/drug_record.h"
#include "core/foundation/app_state.h"
#include "core/foundation/file_error.h"
#include "core/foundation/random_source.h"
#include "core/foundation/record_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tb::fuzz {

/// A folder of this process alone under the system's temporary folder; every file a
/// target writes goes in here. It is removed when the process ends normally.
class PrivateFolder {
public:
    PrivateFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tutorbench-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ~PrivateFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    /// A fresh empty sub-folder for one input.
    std::filesystem::path fresh(const char* name) const
    {
        const auto p = path_ / name;
        std::error_code ec;
        std::filesystem::remove_all(p, ec);
        std::filesystem::create_directories(p);
        return p;
    }

private:
    std::filesystem::path path_;
};

inline PrivateFolder& privateFolder()
{
    static PrivateFolder folder;
    return folder;
}

/// Makes the n-th step of the writes a target runs fail as a full disk would: the opening,
/// writing, syncing or renaming of a scratch file, the folder's sync, an in-place record
/// stopped half written (which must be cut back) or an in-place sync. With `plant`, a scratch
/// file that is still to be renamed is instead replaced at that step by a file of other bytes,
/// which the rename must refuse. n = 0 fails nothing. The failure paths then run under the
/// sanitizers like the rest.
class FailingHook final : public FaultHook {
public:
    explicit FailingHook(unsigned n, bool plant = false)
        : n_(n)
        , plant_(plant)
        , planted_("planted by another program " + std::to_string(std::random_device {}()))
    {
    }
    /// What a replaced scratch file holds. The number is drawn anew for every hook, so that no
    /// input can hold it: the fuzzer learns the texts it sees compared and would type them in.
    const std::string& planted() const { return planted_; }
    void at(RewriteStep, const std::filesystem::path& target) override
    {
        if (++seen_ == n_)
            fail(target);
    }
    void atScratch(RewriteStep step, const std::filesystem::path& target, const std::filesystem::path& scratch) override
    {
        if (++seen_ != n_)
            return;
        if (!plant_ || step == RewriteStep::Renamed || step == RewriteStep::FolderSynced)
            fail(target);
        std::error_code ec;
        std::filesystem::remove(scratch, ec);
        writeFile(scratch, planted_);
    }
    bool fired() const { return n_ != 0 && seen_ >= n_; }

private:
    [[noreturn]] static void fail(const std::filesystem::path& target)
    {
        throw FileError(target.string(), "The file \"" + target.filename().string() + "\" was not changed: fault.");
    }
    static void writeFile(const std::filesystem::path& file, std::string_view bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    unsigned n_;
    bool plant_;
    std::string planted_;
    unsigned seen_ = 0;
};

inline void writeBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Deterministic draws seeded from the input, so that a crash reproduces from its file.
class InputRandom final : public RandomSource {
public:
    explicit InputRandom(std::string_view seed)
    {
        state_ = 0x9E3779B97F4A7C15ull;
        for (unsigned char c : seed)
            state_ = (state_ ^ c) * 0x100000001B3ull;
    }
    double next() override
    {
        // splitmix64, 53 bits into [0, 1)
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
    }
    void reseed() override { }

private:
    std::uint64_t state_;
};

/// Three ordinary drugs: a tablet, a capsule and suspension, an injection.
inline std::string sampleDrugFile()
{
    DrugRecord tablet;
    tablet.GenericName = "paracetamol";
    tablet.TradeName = { "Panadol", "" };
    tablet.DoseRangeLow = 500;
    tablet.DoseRangeLowUnit = Mg;
    tablet.DoseRangeHigh = 1000;
    tablet.DoseRangeHighUnit = Mg;
    tablet.HalfTablet[0] = 1;
    tablet.FormCode[0] = Tablet;
    tablet.Strength[0] = 500;
    tablet.StrengthUnit[0] = Mg;
    tablet.VolumeUnit.fill(6);
    tablet.DrugCategory = 1;

    DrugRecord mixed;
    mixed.GenericName = "amoxycillin";
    mixed.TradeName = { "Amoxil", "Moxacin" };
    mixed.DoseRangeLow = 250;
    mixed.DoseRangeLowUnit = Mg;
    mixed.DoseRangeHigh = 500;
    mixed.DoseRangeHighUnit = Mg;
    mixed.FluidIncrement = 50;
    mixed.FormCode[0] = Capsule;
    mixed.Strength[0] = 250;
    mixed.StrengthUnit[0] = Mg;
    mixed.FormCode[1] = Suspension;
    mixed.Strength[1] = 250;
    mixed.StrengthUnit[1] = Mg;
    mixed.Volume[1] = 5;
    mixed.VolumeUnit.fill(6);
    mixed.DrugCategory = 2;

    DrugRecord injection;
    injection.GenericName = "morphine";
    injection.DoseRangeLow = 5;
    injection.DoseRangeLowUnit = Mg;
    injection.DoseRangeHigh = 15;
    injection.DoseRangeHighUnit = Mg;
    injection.FluidIncrement = 0.5;
    injection.FormCode[0] = IMInjection;
    injection.Strength[0] = 10;
    injection.StrengthUnit[0] = Mg;
    injection.Volume[0] = 1;
    injection.VolumeUnit.fill(6);
    injection.DrugCategory = 3;

    return tablet.pack() + mixed.pack() + injection.pack();
}

/// Fills CandidateRecords from every entry of `index`, as Create Question does with
/// every category selected, and sizes the list first as start-up does.
inline void fillCandidates(AppState& state, const DrugIndex& index)
{
    const int size = std::max<int>(state.TabletIndex.count, state.FluidIndex.count) + 1;
    state.CandidateRecords.assign(static_cast<std::size_t>(size), 0);
    state.CandidateCount = 0;
    for (int j = 1; j <= index.count && j < static_cast<int>(index.record.size()); ++j) {
        if (state.CandidateCount + 1 >= static_cast<int>(state.CandidateRecords.size()))
            break;
        state.CandidateRecords[static_cast<std::size_t>(++state.CandidateCount)]
            = index.record[static_cast<std::size_t>(j)];
    }
}

} // namespace tb::fuzz
