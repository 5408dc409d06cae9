#include "testbuilder/class_versions.h"

#include "startup/cp1252.h"
#include "startup/number_format.h"
#include "startup/record_file.h"
#include "testbuilder/exam_model.h"
#include "testbuilder/platform_export.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <memory>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

std::string VersionCode::text() const
{
    const std::string number = formatInt(version);
    return set + "-" + (number.size() < 2 ? "0" + number : number);
}

std::optional<VersionCode> parseVersionCode(std::string_view typed)
{
    std::string kept;
    for (const char c : typed) {
        if (c == ' ' || c == '-' || c == '\t')
            continue;
        kept += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (kept.size() > SetCodeLength + 2)
            return std::nullopt;
    }
    if (kept.size() < SetCodeLength + 1)
        return std::nullopt;
    VersionCode code;
    code.set = kept.substr(0, SetCodeLength);
    if (code.set.find_first_not_of(SetCodeAlphabet) != std::string::npos)
        return std::nullopt;
    const std::string digits = kept.substr(SetCodeLength);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    code.version = std::stoi(digits);
    if (code.version < 1 || code.version > MaxVersions)
        return std::nullopt;
    return code;
}

std::string newSetCode(RandomSource& random)
{
    std::string set;
    for (std::size_t i = 0; i < SetCodeLength; ++i)
        set += SetCodeAlphabet[static_cast<std::size_t>(
            randomWhole(random, static_cast<int>(SetCodeAlphabet.size())) - 1)];
    return set;
}

std::uint64_t versionSeed(const VersionCode& code)
{
    // FNV-1a over the code's text: the same code gives the same seed on every computer.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : code.text()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string versionDescription(std::string_view description, const VersionCode& code)
{
    const std::string kept = stripBlanks(description);
    const std::string stamp = "Version " + code.text();
    const std::string stamped = kept.empty() ? stamp : kept + " " + stamp;
    return stamped.size() <= DescriptionWidth ? stamped : kept;
}

std::string versionFileName(std::string_view base, int version)
{
    return std::string(base) + "-" + VersionCode { "", version }.text().substr(1) + ".dsq";
}

std::string versionBaseName(std::string_view chosen)
{
    std::string base = stripBlanks(chosen);
    if (base.size() > 4 && sameNameIgnoringCase(std::string_view(base).substr(base.size() - 4), ".dsq"))
        base.resize(base.size() - 4);
    return base;
}

namespace {

// The program's random source and repeat history, put aside while the versions draw from
// their own and given back however the making ends.
class SetAside final {
public:
    explicit SetAside(AppState& state)
        : state_(state)
        , random_(std::move(state.random))
        , history_(state.repeatHistory)
    {
    }
    ~SetAside()
    {
        state_.random = std::move(random_);
        state_.repeatHistory = history_;
    }
    SetAside(const SetAside&) = delete;
    SetAside& operator=(const SetAside&) = delete;

private:
    AppState& state_;
    std::unique_ptr<RandomSource> random_;
    RepeatHistory history_;
};

struct Target {
    std::string name; // as the teacher reads it
    fs::path path;
};

// "ward-01.dsq to ward-07.dsq", "ward-01.dsq" or "".
std::string rangeText(const std::vector<std::string>& names)
{
    if (names.empty())
        return {};
    return names.size() == 1 ? names.front() : names.front() + " to " + names.back();
}

std::string plural(int n, const char* one, const char* many)
{
    return formatInt(n) + " " + (n == 1 ? one : many);
}

} // namespace

VersionsOutcome makeClassVersions(ExamModel& model, AppState& state, Prompts& prompts, DocumentPrinter* printer,
    const std::string& countText, const VersionRequest& request, FaultHook* hook)
{
    VersionsOutcome outcome;
    std::vector<std::string> testFiles;
    int total = 0;
    try {
        const std::string base = versionBaseName(request.base);
        if (base.empty() || base.find_first_of("?*") != std::string::npos) {
            prompts.message("The versions were not made: give a base name for their files.", "");
            return outcome;
        }
        std::vector<VersionCode> codes;
        if (request.only) {
            codes.push_back(*request.only);
        } else {
            const std::string set = newSetCode(state.rng());
            for (int v = 1; v <= std::clamp(request.versions, 1, MaxVersions); ++v)
                codes.push_back({ set, v });
        }
        outcome.setCode = codes.front().set;
        // A version made again gets names of its own, so the set's PDF and export stay whole.
        const std::string outputBase
            = request.only ? base + "-" + codes.front().text().substr(SetCodeLength + 1) : base;

        std::vector<Target> dsq;
        if (request.testFiles)
            for (const VersionCode& code : codes) {
                const std::string name = versionFileName(base, code.version);
                dsq.push_back({ name, model.resolve(name) });
            }
        Target pdf;
        if (request.pdf && printer)
            pdf = { outputBase + ".pdf", model.resolve(outputBase + ".pdf") };
        Target platform;
        if (request.platform) {
            // The export's own rule with its first filter: Moodle XML, ".xml" appended.
            const std::string name = platformTarget(outputBase + ".xml", 1).name;
            platform = { name, model.resolve(name) };
        }
        std::vector<const Target*> targets;
        for (const Target& t : dsq)
            targets.push_back(&t);
        for (const Target* t : { &pdf, &platform })
            if (!t->name.empty())
                targets.push_back(t);
        if (targets.empty()) {
            prompts.message("The versions were not made: choose at least one output.", "");
            return outcome;
        }

        std::error_code ec;
        const fs::path folder = targets.front()->path.parent_path();
        if (!fs::is_directory(folder, ec)) {
            prompts.message(
                "The versions were not made: there is no folder " + toCp1252(folder.string()) + " to write them in.",
                "");
            return outcome;
        }
        std::vector<std::string> existing;
        for (const Target* t : targets) {
            if (model.designatesWorkingFile(t->name) || fs::is_directory(t->path, ec)) {
                prompts.message("The versions were not made: " + t->name
                        + " is the test being edited or a folder. Choose another base name.",
                    "");
                return outcome;
            }
            if (fs::exists(t->path, ec))
                existing.push_back(t->name);
        }
        // Test files another copy of the program is working in are left alone (this throws).
        std::vector<LockFile> locks;
        for (const Target& t : dsq)
            locks.push_back(model.lockTest(t.path));
        if (!existing.empty()) {
            const std::string question = existing.size() == 1
                ? "The file " + existing.front() + " already exists. Would you like to use this file"
                : "The files " + existing.front() + " and "
                    + plural(static_cast<int>(existing.size()) - 1, "other", "others")
                    + " of these versions already exist. Would you like to use these files";
            state.saveanswer = prompts.askYesNo(question, state.saveanswer);
            if (!state.saveanswer)
                return outcome;
        }

        const int count = model.countForNewTest(countText);
        total = static_cast<int>(codes.size()) + (pdf.name.empty() ? 0 : 1) + (platform.name.empty() ? 0 : 1);
        int done = 0;
        outcome.cancelled = !prompts.progress(done, total);

        std::vector<std::pair<std::string, PrintDocument>> papers;
        std::vector<PlatformTest> exports;
        // The set's PDF follows the text-file options as one test's does.
        std::array<bool, 5> includes {};
        for (int i = 0; i < 5; ++i)
            includes[static_cast<std::size_t>(i)] = model.includeOption(i);
        const PaperOptions paperOptions { .workingSpace = model.includeOption(5) };
        bool failed = false;
        {
            SetAside aside(state);
            for (std::size_t i = 0; i < codes.size() && !outcome.cancelled; ++i) {
                const VersionCode& code = codes[i];
                state.random = std::make_unique<SeededRandom>(versionSeed(code));
                state.repeatHistory = RepeatHistory {};
                std::vector<QuestionRecord> records;
                if (!model.draftQuestions(count, records)) {
                    failed = true;
                    break;
                }
                TestHeader header = model.header();
                header.TestDescription = versionDescription(header.TestDescription, code);
                if (!dsq.empty()) {
                    std::string bytes = header.pack();
                    for (const QuestionRecord& record : records)
                        bytes += record.pack();
                    writeFileAtomically(dsq[i].path, bytes, hook);
                    testFiles.push_back(dsq[i].name);
                    outcome.written.push_back(dsq[i].name);
                }
                if (!pdf.name.empty())
                    papers.emplace_back(code.text(),
                        buildPrintDocument(header, records, model.numberingStyle(), includes, paperOptions));
                if (!platform.name.empty())
                    exports.push_back(platformTest(stripBlanks(header.TestTitle) + " Version " + code.text(), records));
                ++outcome.made;
                outcome.cancelled = !prompts.progress(++done, total);
            }
        }
        const bool complete = !failed && !outcome.cancelled && outcome.made == static_cast<int>(codes.size());
        if (complete && !pdf.name.empty()) {
            writeFileAtomically(pdf.path, printer->pdf(combineVersions(papers)), hook);
            outcome.written.push_back(pdf.name);
            outcome.cancelled = !prompts.progress(++done, total);
        }
        if (complete && !outcome.cancelled && !platform.name.empty()) {
            writeFileAtomically(platform.path, moodleXml(exports), hook);
            outcome.written.push_back(platform.name);
        }
        prompts.progress(total, total);

        if (complete && !outcome.cancelled) {
            std::string list = rangeText(testFiles);
            for (const Target* t : { &pdf, &platform })
                if (!t->name.empty())
                    list += (list.empty() ? "" : ", ") + t->name;
            prompts.notice((request.only ? "Version " + codes.front().text() + " was made again"
                                         : plural(outcome.made, "version", "versions")
                                       + " of the test were made, set code " + outcome.setCode)
                    + ".\r\n\r\nWritten: " + list + ".",
                "Class Versions");
            return outcome;
        }
        if (failed && outcome.made == 0)
            return outcome; // the reason was shown; nothing was written
        std::string text
            = outcome.cancelled ? "Making the versions was cancelled after " : "The versions stopped after ";
        text += plural(outcome.made, "version", "versions") + " of " + formatInt(static_cast<int>(codes.size())) + ".";
        text += testFiles.empty() ? " No test file was written."
                                  : " The test files made in full were kept: " + rangeText(testFiles) + ".";
        std::string missing;
        for (const Target* t : { &pdf, &platform })
            if (!t->name.empty()
                && std::find(outcome.written.begin(), outcome.written.end(), t->name) == outcome.written.end())
                missing += (missing.empty() ? "" : ", ") + t->name;
        if (!missing.empty())
            text += " Not written: " + missing + ".";
        prompts.notice(text, "Class Versions");
    } catch (const std::exception& error) {
        if (total > 0)
            prompts.progress(total, total);
        std::string text = "The versions were not all made.";
        if (!testFiles.empty())
            text += " The test files made in full were kept: " + rangeText(testFiles) + ".";
        prompts.message(text + "\r\n\r\n" + toCp1252(error.what()), "");
    }
    return outcome;
}

} // namespace tb
