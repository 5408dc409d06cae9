#pragma once

#include "core/student/results_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class Prompts;

/// Which attempts a summary counts.
enum class ResultsWays {
    All, // sittings and practice
    Sittings, // "sit"
    Practice // "practise"
};

/// A file of the results folder, or a form of the test, that could not be read, with why.
struct UnreadableFile {
    std::string name; // the file's name (Windows-1252)
    std::string reason;
};

/// One attempt of a student at the test: a results file as read.
struct Attempt {
    std::filesystem::path file;
    ResultsRecord record;
    std::vector<std::string> questionTexts; // per row: the question's own text in the form taken
    std::uint64_t device = 0; // the file as it was read: a clear removes only that file
    std::uint64_t inode = 0;

    long long seconds() const;
};

/// One student's attempts, the way they count.
struct StudentSummary {
    std::string student; // as typed at the last attempt
    int attempts = 0;
    int bestScore = 0, bestTotal = 0, bestPercent = 0;
    int lastScore = 0, lastTotal = 0, lastPercent = 0;
    bool passed = false; // at some attempt
    long long bestSeconds = 0; // the time taken at the best attempt
    std::vector<std::size_t> attemptIndices; // into ClassResults::attempts(), oldest first
};

/// One question, by its own text, over every attempt that asked it.
struct QuestionSummary {
    std::string text; // one line (Windows-1252)
    std::string kind;
    int asked = 0;
    int firstTry = 0; // right at the first try
    int right = 0; // right in all
    std::string diagnosis; // the commonest diagnosis of a wrong answer, short form; empty: none
    int diagnosisCount = 0;

    /// Right answers as a whole percent of the times asked, rounded down.
    int rightPercent() const { return asked > 0 ? right * 100 / asked : 0; }
    /// "31 % gave ten times too much: unit conversion"; empty without a diagnosis.
    std::string diagnosisLine() const;
};

/// A diagnosis as a results file words it, put short for the per-question table:
/// "Your answer is 10 times too large: check the unit conversion." gives "ten times too much:
/// unit conversion". A text it does not know stays as it is, without its full stop.
std::string shortDiagnosis(std::string_view diagnosis);

/// "22 min 5 s".
std::string durationText(long long seconds);

/// The results of one test and its class versions, read from `<dataFolder>/results/`.
/// Reads only: nothing in the results folder changes but by clear().
class ClassResults final {
public:
    /// The most entries of the results folder looked at.
    static constexpr std::size_t MaxFiles = 100000;

    /// Loads the results of the test at `examFile` titled `title` (Windows-1252). An attempt
    /// belongs to the test when the form it took is the test's file or a file of its versions
    /// folder ("<name> versions" beside the test; for a version, its own folder), or else when
    /// its test title is the test's. A file that cannot be read is collected with its reason.
    ClassResults(const std::filesystem::path& dataFolder, const std::filesystem::path& examFile, std::string title);

    const std::string& title() const { return title_; }
    const std::filesystem::path& resultsFolder() const { return folder_; }
    const std::vector<Attempt>& attempts() const { return attempts_; }
    const std::vector<UnreadableFile>& unreadable() const { return unreadable_; }

    /// One row per student (letter case and outer blanks of the name not looked at), sorted by name.
    std::vector<StudentSummary> students(ResultsWays ways) const;
    /// One row per question text, in the order first met (form, then position).
    std::vector<QuestionSummary> questions(ResultsWays ways) const;

    /// Removes the results files of this test's attempts after one yes/no question. Each file is
    /// removed only when it is still the regular file that was read; the folder is synced.
    /// Returns the number removed; `problems` names each file left and why.
    int clear(Prompts& prompts, std::vector<UnreadableFile>& problems);

private:
    void findForms(const std::filesystem::path& examFile);
    const std::vector<std::string>& formTexts(const std::string& fileName);

    std::string title_;
    std::filesystem::path folder_;
    std::map<std::string, std::filesystem::path> ownForms_; // upper-cased name -> file
    std::map<std::string, std::filesystem::path> otherForms_; // in other versions folders
    std::map<std::string, std::vector<std::string>> texts_; // upper-cased name -> question texts
    std::vector<Attempt> attempts_;
    std::vector<UnreadableFile> unreadable_;
};

/// The marks as UTF-8 CSV (a byte-order mark, RFC 4180, "\r\n"): "Student", "Username" (the
/// name as typed, outer blanks removed, lower case: Moodle's grade import maps it to the
/// username), then best and last percent, attempts, result and time taken.
std::string marksCsv(const std::vector<StudentSummary>& students);

/// The per-question analysis as UTF-8 CSV of the same form.
std::string analysisCsv(const std::vector<QuestionSummary>& questions);

} // namespace tb
