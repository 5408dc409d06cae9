#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class FaultHook;

/// How a test is worked in Dosarion.
enum class StudentMode { Practise, Sit };

/// A test's student settings, kept in a side file beside it: "week5.dsq" has "week5.student.txt"
/// (a class-version set "week5-NN.dsq" shares "week5.student.txt"). The file is UTF-8 text, one
/// key per line, "key = value"; blank lines and lines starting with "#" are skipped:
///
///     mode = sit                  practise or sit
///     tries = 3                   tries per question when practising (1..9)
///     attempts = 2                sittings per student (1..99)
///     minutes per question = 3    time limit of a sitting, 0 for none (0..60)
///     pass mark = 100             percent (0..100)
///     extra time Jo Bloggs = 25   percent more time for a named student (1..400)
///
/// No side file: practice with the defaults.
struct StudentSettings {
    StudentMode mode = StudentMode::Practise;
    int tries = 3;
    int attempts = 2;
    int minutesPerQuestion = 0;
    int passPercent = 100;
    std::map<std::string, int> extraTime; // student name (Windows-1252) -> percent

    bool operator==(const StudentSettings&) const = default;
};

/// What reading a side file gave: the settings, and one message per line that did not parse
/// (naming the file and the line); such a line keeps its default and is not fatal.
struct StudentSettingsRead {
    StudentSettings settings;
    std::vector<std::string> problems;
    bool found = false; // a side file was there
};

/// The side file of a test file ("week5.dsq" -> "week5.student.txt", "week5-03.dsq" ->
/// "week5.student.txt" when `versionSet`), found in any letter case.
std::filesystem::path studentSettingsPath(const std::filesystem::path& testFile, bool versionSet = false);

/// Reads the side file (bounded: 64 KiB; a longer file is reported and the defaults used).
StudentSettingsRead readStudentSettings(const std::filesystem::path& sideFile);
/// The settings from the side file's text; `fileName` names it in the problems.
StudentSettingsRead parseStudentSettings(std::string_view text, const std::string& fileName);
/// The side file's text for `settings`.
std::string studentSettingsText(const StudentSettings& settings);
/// Writes the side file through a scratch file and a rename; throws FileError.
void writeStudentSettings(
    const std::filesystem::path& sideFile, const StudentSettings& settings, FaultHook* hook = nullptr);

/// The minutes a sitting of `questions` questions allows `student` (extra time added, rounded
/// up); 0 when the test has no time limit.
int sittingMinutes(const StudentSettings& settings, int questions, const std::string& student);

} // namespace tb
