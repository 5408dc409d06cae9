#include "core/results/class_results.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"
#include "core/foundation/prompts.h"
#include "core/foundation/record_file.h"
#include "core/student/student_exam.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tb {

namespace fs = std::filesystem;

namespace {

// The most entries looked at in a folder that may hold a test's forms.
constexpr std::size_t MaxFolderEntries = 5000;
const char* const VersionsSuffix = " VERSIONS";

std::string upperName(const fs::path& path)
{
    return upperAscii(path.filename().string());
}

// The test files in `folder`, by upper-cased name; folders named "* versions" go to `versions`.
void listFolder(const fs::path& folder, std::map<std::string, fs::path>& files, std::vector<fs::path>* versions)
{
    std::error_code ec;
    std::size_t seen = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && seen < MaxFolderEntries;
         it.increment(ec), ++seen) {
        const std::string name = upperName(it->path());
        std::error_code kind;
        if (versions && name.ends_with(VersionsSuffix) && it->is_directory(kind))
            versions->push_back(it->path());
        else if (name.ends_with(".DSQ"))
            files.emplace(name, it->path());
    }
}

// A question's text on one line: line breaks and runs of blanks become one blank.
std::string oneLine(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\r' || c == '\n' || c == '\t';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string timesWord(std::string_view factor)
{
    if (factor == "10")
        return "ten";
    if (factor == "100")
        return "a hundred";
    if (factor == "1000")
        return "a thousand";
    return std::string(factor);
}

// A diagnosis put short, and whether it reads after "gave".
std::pair<std::string, bool> shortForm(std::string_view text)
{
    std::string plain = stripBlanks(text);
    if (!plain.empty() && plain.back() == '.')
        plain.pop_back();
    const std::string prefix = "Your answer is ";
    const std::string large = " times too large: check the unit conversion";
    const std::string small = " times too small: check the unit conversion";
    if (plain.starts_with(prefix) && (plain.ends_with(large) || plain.ends_with(small))) {
        const std::string factor = plain.substr(prefix.size(), plain.size() - prefix.size() - large.size());
        return { timesWord(factor) + (plain.ends_with(large) ? " times too much" : " times too little")
                + ": unit conversion",
            true };
    }
    if (plain.starts_with("The ratio is inverted"))
        return { "the ratio inverted (stock over required)", true };
    if (plain.starts_with("Your answer is not rounded as asked"))
        return { "an answer not rounded as asked", true };
    if (plain.starts_with("Your answer is rounded"))
        return { "a rounded answer where the exact value was asked", true };
    if (plain.starts_with("That is ") && plain.find(':') != std::string::npos)
        return { plain.substr(8, plain.find(':') - 8), true };
    if (plain == "No answer")
        return { "no answer", true };
    return { plain, false };
}

std::string spreadsheetField(std::string_view cp1252)
{
    // A typed name such as "=HYPERLINK(...)" would be run as a formula by the spreadsheet that
    // opens the file: a leading apostrophe keeps it text (no Moodle username starts so).
    if (!cp1252.empty() && std::string_view("=+-@\t\r").find(cp1252.front()) != std::string_view::npos)
        return csvField("'" + std::string(cp1252));
    return csvField(cp1252);
}

std::string csvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + spreadsheetField(fields[i]);
    return line + "\r\n";
}

const char* const ByteOrderMark = "\xEF\xBB\xBF";

bool counts(const ResultsRecord& record, ResultsWays ways)
{
    switch (ways) {
    case ResultsWays::Sittings:
        return record.way == "sit";
    case ResultsWays::Practice:
        return record.way == "practise";
    case ResultsWays::All:
        break;
    }
    return true;
}

} // namespace

long long Attempt::seconds() const
{
    const auto taken = std::chrono::duration_cast<std::chrono::seconds>(record.end - record.start).count();
    return taken < 0 ? 0 : static_cast<long long>(taken);
}

std::string QuestionSummary::diagnosisLine() const
{
    if (diagnosis.empty() || asked == 0)
        return {};
    const std::string share = formatInt(diagnosisCount * 100 / asked) + " %";
    const auto [phrase, gave] = shortForm(diagnosis);
    return gave ? share + " gave " + phrase : share + ": " + phrase;
}

std::string shortDiagnosis(std::string_view diagnosis)
{
    return shortForm(diagnosis).first;
}

std::string durationText(long long seconds)
{
    if (seconds < 60)
        return formatInt(seconds) + " s";
    const long long minutes = seconds / 60;
    return formatInt(minutes) + " min" + (seconds % 60 ? " " + formatInt(seconds % 60) + " s" : std::string());
}

ClassResults::ClassResults(const fs::path& dataFolder, const fs::path& examFile, std::string title)
    : title_(stripBlanks(title))
    , folder_(dataFolder / ResultsFolderName)
{
    findForms(examFile);
    std::vector<fs::path> files;
    std::error_code ec;
    std::size_t seen = 0;
    fs::directory_iterator it(folder_, ec), end;
    for (; !ec && it != end && seen < MaxFiles; it.increment(ec), ++seen)
        if (upperName(it->path()).ends_with(".CSV"))
            files.push_back(it->path());
    if (!ec && it != end)
        unreadable_.push_back({ toCp1252(folder_.filename().string()),
            "The results folder holds more than " + formatInt(static_cast<long long>(MaxFiles))
                + " entries; the rest were not read." });
    std::sort(files.begin(), files.end());

    for (const fs::path& file : files) {
        const std::string name = toCp1252(file.filename().string());
        struct stat info { };
        if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            unreadable_.push_back({ name, "The results file \"" + name + "\" is no regular file." });
            continue;
        }
        Attempt attempt;
        try {
            attempt.record = readResults(file);
        } catch (const std::exception& error) {
            unreadable_.push_back({ name, error.what() });
            continue;
        }
        const ResultsRecord& record = attempt.record;
        const bool ownForm = !record.testFile.empty() && ownForms_.count(upperAscii(record.testFile)) > 0;
        if (record.way == "free practice" || (!ownForm && stripBlanks(record.testTitle) != title_))
            continue;
        attempt.file = file;
        attempt.device = static_cast<std::uint64_t>(info.st_dev);
        attempt.inode = static_cast<std::uint64_t>(info.st_ino);
        const std::vector<std::string>& texts = formTexts(record.testFile);
        for (const ResultRow& row : record.rows) {
            const bool known = row.number >= 1 && static_cast<std::size_t>(row.number) <= texts.size();
            attempt.questionTexts.push_back(known ? texts[static_cast<std::size_t>(row.number - 1)]
                                                  : "Question " + formatInt(row.number) + " of " + record.testFile);
        }
        attempts_.push_back(std::move(attempt));
    }
}

void ClassResults::findForms(const fs::path& examFile)
{
    ownForms_.emplace(upperName(examFile), examFile);
    const fs::path folder = examFile.parent_path().empty() ? fs::path(".") : examFile.parent_path();
    std::vector<fs::path> versionFolders;
    listFolder(folder, otherForms_, &versionFolders);
    // A version opened from its set's folder: the set is that folder.
    if (upperName(folder).ends_with(VersionsSuffix))
        listFolder(folder, ownForms_, nullptr);
    const std::string own = upperAscii(examFile.stem().string()) + VersionsSuffix;
    for (const fs::path& versions : versionFolders)
        listFolder(versions, upperName(versions) == own ? ownForms_ : otherForms_, nullptr);
}

const std::vector<std::string>& ClassResults::formTexts(const std::string& fileName)
{
    const std::string key = upperAscii(fileName);
    if (const auto cached = texts_.find(key); cached != texts_.end())
        return cached->second;
    std::vector<std::string>& texts = texts_[key];
    const fs::path* form = nullptr;
    if (const auto own = ownForms_.find(key); own != ownForms_.end())
        form = &own->second;
    else if (const auto other = otherForms_.find(key); other != otherForms_.end())
        form = &other->second;
    if (!form) {
        if (!fileName.empty())
            unreadable_.push_back({ fileName,
                "The test file \"" + fileName
                    + "\" the results were taken in is not beside this test: its questions are shown by number." });
        return texts;
    }
    try {
        for (const StudentQuestion& question : studentQuestions(readStudentExam(*form)))
            texts.push_back(oneLine(question.text));
    } catch (const std::exception& error) {
        unreadable_.push_back({ fileName, error.what() });
    }
    return texts;
}

std::vector<StudentSummary> ClassResults::students(ResultsWays ways) const
{
    std::map<std::string, StudentSummary> byName;
    std::vector<std::size_t> order(attempts_.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
        [this](std::size_t a, std::size_t b) { return attempts_[a].record.start < attempts_[b].record.start; });
    for (const std::size_t i : order) {
        const ResultsRecord& record = attempts_[i].record;
        if (!counts(record, ways))
            continue;
        StudentSummary& summary = byName[upperAscii(stripBlanks(record.student))];
        const bool better = summary.attempts == 0 || record.percent() > summary.bestPercent;
        ++summary.attempts;
        summary.attemptIndices.push_back(i);
        summary.student = stripBlanks(record.student);
        summary.lastScore = record.score;
        summary.lastTotal = record.total;
        summary.lastPercent = record.percent();
        summary.passed = summary.passed || record.passed();
        if (better) {
            summary.bestScore = record.score;
            summary.bestTotal = record.total;
            summary.bestPercent = record.percent();
            summary.bestSeconds = attempts_[i].seconds();
        }
    }
    std::vector<StudentSummary> out;
    for (auto& entry : byName)
        out.push_back(std::move(entry.second));
    return out;
}

std::vector<QuestionSummary> ClassResults::questions(ResultsWays ways) const
{
    std::vector<QuestionSummary> out;
    std::map<std::string, std::size_t> index;
    // Per question: the wrong answers' diagnoses in the order first met (the first full text of
    // each short form, and its count), found by their short form.
    struct Counted {
        std::map<std::string, std::size_t> byShortForm;
        std::vector<std::pair<std::string, int>> inOrder;
    };
    std::vector<Counted> diagnoses;
    for (const Attempt& attempt : attempts_) {
        if (!counts(attempt.record, ways))
            continue;
        for (std::size_t r = 0; r < attempt.record.rows.size(); ++r) {
            const ResultRow& row = attempt.record.rows[r];
            const std::string& text = attempt.questionTexts[r];
            auto [at, isNew] = index.emplace(text, out.size());
            if (isNew) {
                QuestionSummary added;
                added.text = text;
                added.kind = row.kind;
                out.push_back(std::move(added));
                diagnoses.emplace_back();
            }
            QuestionSummary& question = out[at->second];
            ++question.asked;
            question.right += row.right ? 1 : 0;
            question.firstTry += row.right && row.tries <= 1 ? 1 : 0;
            if (row.right || stripBlanks(row.diagnosis).empty())
                continue;
            Counted& counted = diagnoses[at->second];
            const auto [slot, added]
                = counted.byShortForm.emplace(shortDiagnosis(row.diagnosis), counted.inOrder.size());
            if (added)
                counted.inOrder.emplace_back(stripBlanks(row.diagnosis), 0);
            ++counted.inOrder[slot->second].second;
        }
    }
    for (std::size_t q = 0; q < out.size(); ++q) {
        for (const auto& [text, count] : diagnoses[q].inOrder)
            if (count > out[q].diagnosisCount) {
                out[q].diagnosis = text;
                out[q].diagnosisCount = count;
            }
    }
    return out;
}

int ClassResults::clear(Prompts& prompts, std::vector<UnreadableFile>& problems)
{
    if (attempts_.empty())
        return 0;
    const std::size_t students = this->students(ResultsWays::All).size();
    const std::string question = "Remove the " + formatInt(static_cast<long long>(attempts_.size()))
        + " results files of " + formatInt(static_cast<long long>(students))
        + (students == 1 ? " student" : " students") + " for the test \"" + title_ + "\"? They cannot be brought back.";
    if (!prompts.askYesNo(question, false))
        return 0;
    int removed = 0;
    std::vector<Attempt> kept;
    for (Attempt& attempt : attempts_) {
        const std::string name = toCp1252(attempt.file.filename().string());
        struct stat info { };
        if (::lstat(attempt.file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)
            || static_cast<std::uint64_t>(info.st_dev) != attempt.device
            || static_cast<std::uint64_t>(info.st_ino) != attempt.inode) {
            problems.push_back({ name, "\"" + name + "\" changed since it was read and was left as it is." });
            kept.push_back(std::move(attempt));
        } else if (::unlink(attempt.file.c_str()) != 0) {
            problems.push_back({ name, "\"" + name + "\" could not be removed: " + std::strerror(errno) + "." });
            kept.push_back(std::move(attempt));
        } else {
            ++removed;
        }
    }
    if (removed > 0) {
        try {
            syncFolderOf(folder_ / "x");
        } catch (const std::exception& error) {
            problems.push_back({ toCp1252(folder_.filename().string()), error.what() });
        }
    }
    attempts_ = std::move(kept);
    return removed;
}

std::string marksCsv(const std::vector<StudentSummary>& students)
{
    std::string out = ByteOrderMark;
    out += csvLine({ "Student", "Username", "Best %", "Last %", "Best score", "Attempts", "Result", "Time taken" });
    for (const StudentSummary& s : students)
        out += csvLine({ s.student, lowerAscii(s.student), formatInt(s.bestPercent), formatInt(s.lastPercent),
            formatInt(s.bestScore) + " of " + formatInt(s.bestTotal), formatInt(s.attempts), s.passed ? "pass" : "fail",
            durationText(s.bestSeconds) });
    return out;
}

std::string analysisCsv(const std::vector<QuestionSummary>& questions)
{
    std::string out = ByteOrderMark;
    out += csvLine(
        { "Question", "Kind", "Asked", "Right at first try", "Right in all", "Right %", "Commonest diagnosis" });
    for (const QuestionSummary& q : questions)
        out += csvLine({ q.text, q.kind, formatInt(q.asked), formatInt(q.firstTry), formatInt(q.right),
            formatInt(q.rightPercent()), q.diagnosisLine() });
    return out;
}

} // namespace tb
