#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class FaultHook;

/// The folder of the data folder that holds the results files.
inline constexpr const char* ResultsFolderName = "results";

/// One question of a sitting or practice as the results file records it.
struct ResultRow {
    int number = 0;
    std::string kind; // "Tablets", "Liquid volume", ...
    std::string correctAnswer; // with its unit
    std::string answerGiven; // the last answer typed, as typed
    bool right = false;
    int tries = 0;
    std::string diagnosis;

    bool operator==(const ResultRow&) const = default;
};

/// What one results file holds. Texts are Windows-1252 in memory, UTF-8 in the file.
struct ResultsRecord {
    std::string student;
    std::string way; // "practise", "sit" or "free practice"
    std::string testTitle;
    std::string testFile; // the file name of the form taken, empty for free practice
    std::string versionCode;
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
    int score = 0;
    int total = 0;
    int passPercent = 100;
    std::vector<ResultRow> rows;

    /// Score as a whole percent of the total, rounded down (0 for no questions).
    int percent() const;
    bool passed() const { return total > 0 && percent() >= passPercent; }
};

/// One CSV field in UTF-8 from Windows-1252 text, quoted (RFC 4180) when it holds a comma, a
/// quote or a line break.
std::string csvField(std::string_view cp1252);

/// The results file's text: UTF-8 CSV, RFC 4180 quoting, "\r\n" line ends. A header block
/// of "field,value" rows (student, way, test title, file, version code, start, end, duration
/// seconds, score, total, percent, pass mark, result "pass"/"fail"), a blank line, then one row
/// per question: number, kind, correct answer, answer given, right/wrong, tries, diagnosis.
/// Times are local ISO 8601 ("2026-12-07 09:30:00").
std::string resultsCsv(const ResultsRecord& record);

/// A results file's name: "<student>-<test>-<yyyymmdd-hhmmss>-<pid>.csv", the student and
/// test reduced to letters, digits, "-" and "_" (others become "_", at most 40 each), so that
/// it is safe on every file system.
std::string resultsFileName(
    std::string_view student, std::string_view test, std::chrono::system_clock::time_point start, long pid);

/// Writes the record once into `<dataFolder>/results/` (created when missing) through a
/// scratch file and a rename: no partial file ever stands under a results name. A name already
/// taken gets "-2", "-3" ... Returns the file written; throws FileError.
std::filesystem::path writeResults(
    const std::filesystem::path& dataFolder, const ResultsRecord& record, FaultHook* hook = nullptr);

/// Whether results can be written into `<dataFolder>/results/`: created when missing, then a
/// scratch file made and removed. `reason` says why not, naming the folder.
bool canWriteResults(const std::filesystem::path& dataFolder, std::string& reason);

/// The most bytes a results file may have when read back.
inline constexpr std::uint64_t MaxResultsFileBytes = 1 << 20;

/// Reads a results file back; throws FileError naming the file when it is not one.
ResultsRecord readResults(const std::filesystem::path& file);

/// The results files of `student` for the test titled `testTitle` (sittings only, "sit"),
/// read from `<dataFolder>/results/`; files that cannot be read are skipped.
std::vector<ResultsRecord> sittingsOf(
    const std::filesystem::path& dataFolder, std::string_view student, std::string_view testTitle);

} // namespace tb
