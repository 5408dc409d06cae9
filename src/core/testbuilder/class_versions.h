#pragma once

#include "core/export/print_layout.h"
#include "core/foundation/app_state.h"
#include "core/foundation/prompts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class ExamModel;
class FaultHook;

/// The most versions one set holds.
inline constexpr int MaxVersions = 60;

/// The characters of a set code: digits and capitals without the ones read as each other
/// (0 O, 1 I L, 2 Z, 5 S, 8 B).
inline constexpr std::string_view SetCodeAlphabet = "34679ACDEFGHJKMNPQRTUVWXY";
inline constexpr std::size_t SetCodeLength = 4;

/// A version's code, "K7F3-02": the set's code and the version's number. The code alone
/// decides every draw of the version.
struct VersionCode {
    std::string set; // SetCodeLength characters of SetCodeAlphabet
    int version = 1; // 1..MaxVersions

    /// "K7F3-02".
    std::string text() const;
    bool operator==(const VersionCode&) const = default;
};

/// A code as the teacher types it: letter case, blanks and the hyphen are forgiven ("k7f3 2",
/// "K7F302"); nullopt when it is no code.
std::optional<VersionCode> parseVersionCode(std::string_view typed);

/// A new set code drawn from `random`.
std::string newSetCode(RandomSource& random);

/// The seed of a version's draws, a function of its code alone.
std::uint64_t versionSeed(const VersionCode& code);

/// The test description of a version: `description` (stripped) with " Version <code>"
/// appended when that fits the 200 characters of the field, else the description alone.
std::string versionDescription(std::string_view description, const VersionCode& code);

/// "<base>-NN.dsq".
std::string versionFileName(std::string_view base, int version);

/// The category a stored question was made in (1..CategoryBoxCount), recognised from its
/// generator's fixed wording; 0 for a question written by hand. Letter case and how blanks and
/// line breaks are spread are not looked at.
int questionCategory(std::string_view questionText);

/// The caption of a category's box ("Tablet Dosages"); "" for a code without one.
std::string categoryName(int category);

/// What the class-versions dialog offers and shows before anything is made.
struct VersionChoices {
    std::string name; // the proposed file name of the versions (Windows-1252)
    std::string folder; // the proposed folder, "<name> versions", beside the test
    std::vector<int> parallel; // the category of each of the test's questions, 0: written by hand
    int newCount = 1; // new questions: the count box's number, 1..99
    std::vector<int> newCategories; // new questions: the ticked category boxes' codes
    int drugCategories = 0; // entries of the drug category list
    int drugCategoriesSelected = 0;
};

/// The choices for the test in `model` and the count box's text; throws FileError when the
/// working file cannot be read.
VersionChoices versionChoices(const ExamModel& model, const AppState& state, const std::string& countText);

/// The name proposed for a set: the test's file name without ".dsq"; for a test not saved
/// yet its title, unless that is "untitled" or no file name, then "versions".
std::string proposedVersionName(std::string_view workingFile, std::string_view title);

/// "19 questions: 5 Metric Conversions, 8 Tablet Dosages, 4 IV Drop Rates; 2 written by hand,
/// copied as they are." for parallel forms' categories by position.
std::string parallelSummary(const std::vector<int>& categories);

/// What the class-versions dialog asks for.
struct VersionRequest {
    std::string base; // the base file name (Windows-1252)
    /// The folder of the set's files (Windows-1252): a relative name lies beside the test, an
    /// empty one is the test's own folder. A missing folder is created, its parent must exist.
    std::string folder;
    /// Parallel forms: question n of every version of the same category as the test's question
    /// n, questions written by hand copied. Otherwise new questions as Create Question makes them.
    bool parallel = true;
    int versions = 30; // 1..MaxVersions; ignored when `only` is given
    std::optional<VersionCode> only; // make this one version again
    bool testFiles = true; // <base>-NN.dsq
    bool pdf = true; // <base>.pdf: every paper, then every key, then the solutions (as the options say)
    bool platform = true; // <base>.xml: Moodle XML, one category per version
};

/// What making the versions did.
struct VersionsOutcome {
    std::string setCode;
    int made = 0; // versions made in full
    bool cancelled = false;
    std::vector<std::string> written; // names of the files written, in order
};

/// The base name as the dialog gives it: outer blanks removed and a ".dsq" ending dropped.
std::string versionBaseName(std::string_view chosen);

/// Makes the versions of a class. Parallel forms follow the test as its working file holds it;
/// new questions follow the model's current choices (the count box's text, the ticked
/// categories). Tablet and fluid questions use the drug categories selected in the window. Each
/// version keeps the test's title, instructions and menu flag, its description carrying the
/// version's code. Each version draws from a source seeded by its code alone and starts with an
/// empty repeat history, so a version made again alone equals the same version in its set; the
/// program's random source and repeat history are left as they were. Every file goes through a
/// scratch file and a rename; one "already exists" question covers the whole set; cancelling
/// keeps the versions written and says so. `printer` makes the PDF (none: no PDF). Nothing
/// escapes as an exception.
VersionsOutcome makeClassVersions(ExamModel& model, AppState& state, Prompts& prompts, DocumentPrinter* printer,
    const std::string& countText, const VersionRequest& request, FaultHook* hook = nullptr);

} // namespace tb
