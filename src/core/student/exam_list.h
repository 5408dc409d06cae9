#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tb {

/// One file of a listed test; a class-version set has several (its parallel forms).
struct ExamForm {
    std::filesystem::path file;
    std::string versionCode; // "K7F3-02" from the description; empty for a test of its own
};

/// One entry of Dosarion's test list.
struct ListedExam {
    std::string title; // Windows-1252, stripped
    std::string description; // of the first form, without its " Version K7F3-02"
    std::string instructions;
    int questionCount = 0; // of the first form
    std::vector<ExamForm> forms; // one, or the versions of a set in version order
    bool damaged = false; // the file could not be read: `reason` names it
    std::string reason;

    /// The file the entry is named by: its only file, or the set's first version.
    const std::filesystem::path& file() const { return forms.front().file; }
    bool hasParallelForms() const { return forms.size() > 1; }
};

/// The tests Dosarion offers in `folder`: every "*.dsq" (any letter case) whose header has
/// MenuListed = 1, and the same in the folder's "<name> versions" subfolders. Files named
/// "<base>-NN.dsq" whose descriptions end " Version XXXX-NN" with one set code are one entry
/// with parallel forms. A file that cannot be read is listed as damaged with its reason and
/// never stops the list. Sorted by title, then file name. Reads only; bounded by the file count.
std::vector<ListedExam> listStudentTests(const std::filesystem::path& folder);

/// The most test files the list looks at in one folder.
inline constexpr std::size_t MaxListedFiles = 5000;

/// The version code a description ends with (" Version K7F3-02"), or empty.
std::string descriptionVersionCode(const std::string& description);

} // namespace tb
