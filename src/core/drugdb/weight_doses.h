#pragma once

#include "core/drugdb/drug_record.h"
#include "core/foundation/record_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// The side file of doses per kg, beside the index files: text, one drug per line, keyed by the
/// drug's generic name (never by record number), for example
///   paracetamol; 10-15 mg/kg; per dose; WHO Model Formulary for Children 2010
///   ibuprofen; 20-30 mg/kg; per day in 3 doses; BNF for Children 2024-25
/// Blank lines and lines starting with "#" are comments.
inline constexpr const char* WeightDoseFileName = "mxweight.txt";

/// The largest side file read: far more than one line for each of 32767 drugs would ever need.
inline constexpr std::uint64_t MaxWeightDoseFileBytes = 256 * 1024;

/// The longest line read; a longer one is named and skipped.
inline constexpr std::size_t MaxWeightDoseLine = 300;

/// The longest source a line names (the editor's box holds as many): with the longest name,
/// dose and timing the line the editor writes stays within MaxWeightDoseLine.
inline constexpr std::size_t MaxWeightDoseSource = 200;

/// The most doses a day a line may divide its daily dose into, and the highest dose per kg.
inline constexpr int MaxDosesPerDay = 6;
inline constexpr double MaxDosePerKg = 1000.0;

/// A drug's dose per kg: low to high mg/kg, per dose or per day in a number of doses.
struct WeightDose {
    std::string genericName; // Windows-1252, as the drug record holds it without trailing blanks
    double lowPerKg = 0; // mg/kg
    double highPerKg = 0; // mg/kg, at least lowPerKg
    int dosesPerDay = 0; // 0: the range is per dose; 2..6: per day, divided into this many doses
    std::string source; // the formulary the range comes from

    bool perDay() const { return dosesPerDay > 0; }
    bool operator==(const WeightDose&) const = default;
};

/// One line of the side file as its writer writes it, without the line break.
std::string formatWeightDose(const WeightDose& dose);

/// A line read back; empty with the reason in `why` when it does not parse.
std::optional<WeightDose> parseWeightDoseLine(std::string_view line, std::string& why);

/// What the side file holds: its usable lines and, for each line skipped, why (naming the file
/// and the line number).
struct WeightDoseTable {
    bool present = false; // a file stands at the name
    std::vector<WeightDose> doses;
    std::vector<std::string> problems;
};

/// The lines of `text`; `fileName` names the file in the problems.
WeightDoseTable parseWeightDoses(std::string_view text, const std::string& fileName);

/// The side file of `folder` (found without regard to letter case). A missing file is an empty
/// table, not a problem; an unreadable one (too large, not a regular file) is one problem.
WeightDoseTable readWeightDoses(const std::filesystem::path& folder);

/// `text` with the line of `name` replaced by `dose`, added at the end when there is none, or
/// removed when `dose` is empty. Every other line (comments, lines that do not parse) is kept
/// byte for byte.
std::string replaceWeightDose(std::string_view text, std::string_view name, const std::optional<WeightDose>& dose);

/// Sets or removes the line of `name` in the side file of `folder`, through a scratch file and a
/// rename (creating the file with its documented spelling). A file that cannot be read is never
/// overwritten: FileError names it.
void storeWeightDose(const std::filesystem::path& folder, std::string_view name, const std::optional<WeightDose>& dose,
    FaultHook* hook = nullptr);

/// A line matched with its drug in the drug data file.
struct WeightDoseDrug {
    WeightDose dose;
    int record = 0;
    DrugRecord drug;
};

/// The side file's lines matched by generic name (letter case ignored) with the records of the
/// drug data file. A name the database lacks and a file that cannot be read are problems; the
/// other lines still count.
struct MatchedWeightDoses {
    bool present = false;
    std::vector<WeightDoseDrug> drugs;
    std::vector<std::string> problems;
};
MatchedWeightDoses matchWeightDoses(const std::filesystem::path& folder);

/// The size and time of the two files a match reads (the side file and the drug data file), or
/// their absence: while two stamps are equal, a match made at the first still holds.
std::string weightDoseFilesStamp(const std::filesystem::path& folder);

/// The highest single dose of a drug record in mg, when its unit is a known mass unit and the
/// dose is above 0.
std::optional<double> highestDoseInMg(const DrugRecord& drug);

/// Why weight-based dose questions cannot be made in `folder`, or empty when they can.
std::string weightDosesUnavailable(const MatchedWeightDoses& matched);

/// The tooltip of the weight-based doses box: why it is disabled, or how many drugs it draws
/// from; then the first problems of the file, one a line.
std::string weightDoseBoxTip(const MatchedWeightDoses& matched);

} // namespace tb
