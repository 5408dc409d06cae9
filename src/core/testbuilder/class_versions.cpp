#include "core/testbuilder/class_versions.h"
#include "core/foundation/field_codec.h"

#include "core/export/platform_export.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"
#include "core/testbuilder/exam_model.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <exception>
#include <filesystem>
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

// The generators' question frames, with blanks as single spaces and letters in lower case; a
// "*" stands for what a draw fills in (one character or more).
struct Frame {
    int category;
    std::string_view pattern;
};

constexpr std::array<Frame, 24> Frames { {
    { MetricConversions, "convert * *s to *s." },
    { TabletDosages, "a client is ordered * of *. * *s are available. how many *s will you give?" },
    { FluidDosages, "a client is ordered * of *. * in * of * is available. how many * will you administer?" },
    { IVDropRates, "* of * is charted over *. the drop factor is *. calculate the number of drops per minute." },
    { IVDropRates,
        "ordered: * of * over * using a giving set which delivers * drops/ml. calculate the rate in "
        "drops/minute." },
    { IVDropRates,
        "calculate the drip rate for * of * to be given over * via a giving set which delivers * drops/ml." },
    { IVDropRates,
        "you are required to administer * of * over *. the drop factor is *. how many drops per minute "
        "are required to start the flow off at the correct rate?" },
    { IVDropRates,
        "* of * is charted over *. the drop factor is *. the iv has been running for *. * remain. how "
        "many drops per minute are needed so that the iv finishes in the required time?" },
    { InfusionPumpRates,
        "* of * is to be given over * by volumetric pump. at what rate in ml/hr should the pump be set?" },
    { InfusionPumpRates, "ordered: * of * over * via an infusion pump. calculate the pump rate in ml/hr." },
    { InfusionPumpRates,
        "* of * is charted over *. the pump has been running for *. * remain. at what rate in "
        "ml/hr should the pump now be set so that the infusion finishes in the required time?" },
    { InfusionTimes,
        "* of * is running through a volumetric pump at * ml/hr. how many minutes will the infusion "
        "take?" },
    { InfusionTimes,
        "* of * is running at * drops per minute through a giving set which delivers * drops/ml. how "
        "many minutes will the infusion take?" },
    // A drop rate question may be written with the plural "drops per minute" in either form.
    { IVDropRates,
        "ordered: * of * over * using a giving set which delivers * drops/ml. calculate the rate in "
        "drops per minute." },
    { IVDropRates, "* of * is charted over *. the drop factor is *. calculate the rate in drops/minute." },
    { HeparinInsulinUnits, "heparin * is ordered *. heparin * is available. how many * will you give?" },
    { HeparinInsulinUnits, "* units of heparin in * are to run at *. at what rate in ml/hr should the pump be set?" },
    { HeparinInsulinUnits,
        "a heparin infusion of * units in * is running at * ml/hr. how many units of heparin per hour is the "
        "patient receiving?" },
    { HeparinInsulinUnits, "* units of insulin in * are to run at *. at what rate in ml/hr should the pump be set?" },
    { HeparinInsulinUnits,
        "insulin * is available. the dose to give is *. how many units will you draw up in an insulin syringe "
        "marked in units (*)?" },
    { WeightBasedDoses, "a child weighing * kg is prescribed * mg/kg*. how many mg *?" },
    { WeightBasedDoses, "a child weighing * kg is prescribed *. * mg in * is available. how many * will you give*" },
    { WeightBasedDoses,
        "a child weighing * kg is prescribed *. the safe dose is * mg/kg*. what is the largest safe single dose in "
        "mg?" },
    { WeightBasedDoses,
        "a child weighing * kg is prescribed * mg per dose. the safe dose is * mg/kg*. by how many mg does the "
        "prescribed dose exceed the largest safe single dose?" },
} };

constexpr std::array<std::string_view, CategoryBoxCount> CategoryNames { "Metric Conversions", "Tablet Dosages",
    "Fluid Dosages", "IV Drop Rates", "Infusion Pump Rates", "Infusion Times", "Weight-Based Doses",
    "Units: Heparin and Insulin" };

// Runs of blanks, tabs, line breaks and no-break spaces become one blank; letters lower case.
std::string normalised(std::string_view text)
{
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || static_cast<unsigned char>(c) == 160) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += lowerAscii(c);
    }
    return out;
}

// Whether `text` is `pattern` with each "*" filled by one character or more. The last "*" is
// widened on a mismatch, so the work is at most the product of the two lengths.
bool fitsFrame(std::string_view text, std::string_view pattern)
{
    std::size_t t = 0, p = 0;
    std::size_t starAt = std::string_view::npos, resumeAt = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = ++t; // the "*" takes one character at least
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    return p == pattern.size();
}

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

// A folder made for a set is taken away again when nothing was written into it.
class MadeFolder final {
public:
    MadeFolder() = default;
    ~MadeFolder()
    {
        std::error_code ec;
        if (!path_.empty() && fs::is_empty(path_, ec) && !ec)
            fs::remove(path_, ec);
    }
    MadeFolder(const MadeFolder&) = delete;
    MadeFolder& operator=(const MadeFolder&) = delete;
    void made(const fs::path& path) { path_ = path; }

private:
    fs::path path_;
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

int questionCategory(std::string_view questionText)
{
    const std::string text = normalised(questionText);
    for (const Frame& frame : Frames)
        if (fitsFrame(text, frame.pattern))
            return frame.category;
    return 0;
}

std::string categoryName(int category)
{
    return category >= 1 && category <= CategoryBoxCount
        ? std::string(CategoryNames[static_cast<std::size_t>(category - 1)])
        : std::string();
}

std::string proposedVersionName(std::string_view workingFile, std::string_view title)
{
    const std::string file = fromCp1252(std::string(workingFile));
    std::string name = toCp1252(fs::path(file).filename().string());
    if (name.size() > 4 && sameNameIgnoringCase(std::string_view(name).substr(name.size() - 4), ".dsq"))
        name.resize(name.size() - 4);
    else if (sameNameIgnoringCase(name, NewTestFileName))
        name = stripBlanks(title); // a test not saved yet is known by its title
    const bool usable = !stripBlanks(name).empty() && name != "untitled" && name.front() != '.'
        && name.find_first_of("/\\:?*\"<>|") == std::string::npos
        && std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
    return usable ? stripBlanks(name) : "versions";
}

std::string parallelSummary(const std::vector<int>& categories)
{
    std::array<int, CategoryBoxCount + 1> counts {};
    for (const int c : categories)
        ++counts[static_cast<std::size_t>(c >= 1 && c <= CategoryBoxCount ? c : 0)];
    std::string made;
    for (int c = 1; c <= CategoryBoxCount; ++c)
        if (counts[static_cast<std::size_t>(c)] > 0)
            made += (made.empty() ? "" : ", ") + formatInt(counts[static_cast<std::size_t>(c)]) + " " + categoryName(c);
    const int copied = counts[0];
    std::string text = formatInt(static_cast<int>(categories.size()))
        + (categories.size() == 1 ? " question: " : " questions: ") + (made.empty() ? "none made by category" : made);
    if (copied > 0)
        text += "; " + formatInt(copied) + " written by hand, copied as " + (copied == 1 ? "it is" : "they are");
    return text + ".";
}

VersionChoices versionChoices(const ExamModel& model, const AppState& state, const std::string& countText)
{
    VersionChoices choices;
    choices.name = proposedVersionName(model.WorkingFile(), model.header().TestTitle);
    choices.folder = choices.name + " versions";
    for (const QuestionRecord& record : model.storedQuestions())
        choices.parallel.push_back(questionCategory(record.questionText));
    const double wanted = std::trunc(readNumber(countText));
    choices.newCount = wanted < 1.0 ? 1 : static_cast<int>(std::min<double>(wanted, MaxQuestions));
    for (int box = 0; box < CategoryBoxCount; ++box)
        if (model.drafter().categoryTicked(box))
            choices.newCategories.push_back(box + 1);
    choices.drugCategories = std::clamp(state.categories.CategoryCount, 0, MaxCategories);
    const std::vector<bool>& selected = model.drafter().selectedCategories();
    choices.drugCategoriesSelected = static_cast<int>(
        std::min<std::ptrdiff_t>(std::count(selected.begin(), selected.end(), true), choices.drugCategories));
    return choices;
}

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
        const fs::path testFolder = fs::absolute(model.targets().workingPath()).parent_path();
        const std::string folderName = stripBlanks(request.folder);
        if (folderName.find_first_of("?*") != std::string::npos) {
            prompts.message("The versions were not made: \"" + folderName + "\" is no folder name.", "");
            return outcome;
        }
        const fs::path folder = folderName.empty() ? testFolder : testFolder / fs::path(fromCp1252(folderName));
        const std::string inFolder = folderName.empty() ? "" : " (in " + folderName + ")";

        // Parallel forms: what each of the test's questions is decides what every version asks there.
        std::vector<QuestionRecord> source;
        std::vector<int> positions;
        if (request.parallel) {
            source = model.storedQuestions();
            for (const QuestionRecord& record : source)
                positions.push_back(questionCategory(record.questionText));
            if (std::all_of(positions.begin(), positions.end(), [](int c) { return c == 0; })) {
                prompts.message("The versions were not made: no question of this test was made by the question "
                                "generators, so every version would be the same test. Choose new questions instead.",
                    "");
                return outcome;
            }
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
                dsq.push_back({ name, folder / fs::path(fromCp1252(name)) });
            }
        Target pdf;
        if (request.pdf && printer)
            pdf = { outputBase + ".pdf", folder / fs::path(fromCp1252(outputBase + ".pdf")) };
        Target platform;
        if (request.platform) {
            // The export's own rule with its first filter: Moodle XML, ".xml" appended.
            const std::string name = platformTarget(outputBase + ".xml", 1).name;
            platform = { name, folder / fs::path(fromCp1252(name)) };
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
        const fs::path within = targets.front()->path.parent_path();
        const bool folderMissing = !fs::exists(within, ec);
        if (folderMissing ? !fs::is_directory(within.parent_path(), ec) : !fs::is_directory(within, ec)) {
            prompts.message("The versions were not made: there is no folder "
                    + toCp1252((folderMissing ? within.parent_path() : within).string()) + " to write them in.",
                "");
            return outcome;
        }
        // The set's own folder is made when it is missing; files of other names in a folder that
        // exists are left as they are.
        MadeFolder madeFolder;
        if (folderMissing) {
            fs::create_directory(within, ec);
            if (ec) {
                prompts.message("The versions were not made: the folder " + toCp1252(within.string())
                        + " cannot be created (" + toCp1252(ec.message()) + "). Choose another folder.",
                    "");
                return outcome;
            }
            madeFolder.made(within);
        }
        // Every file of the set passes the writers' check; the locks are held until the set is
        // written, so that no other copy opens a version half written.
        std::vector<std::string> existing;
        std::vector<LockFile> locks;
        for (const Target* t : targets) {
            TargetCheck check = model.targets().check(t->path);
            if (check.refused()) {
                prompts.message("The versions were not made.\r\n\r\n" + check.reason, "");
                return outcome;
            }
            if (check.exists)
                existing.push_back(t->name);
            locks.push_back(std::move(check.lock));
        }
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

        const int count
            = request.parallel ? static_cast<int>(source.size()) : model.drafter().countForNewTest(countText);
        total = static_cast<int>(codes.size()) + (pdf.name.empty() ? 0 : 1) + (platform.name.empty() ? 0 : 1);
        int done = 0;
        outcome.cancelled = !prompts.progress(done, total);

        std::vector<std::pair<std::string, PrintDocument>> papers;
        std::vector<PlatformTest> exports;
        // The set's PDF follows the text-file options as one test's does.
        const TextFileOptions& options = model.options();
        const std::array<bool, 5> includes = options.parts();
        const PaperOptions paperOptions { .workingSpace = options.workingSpace() };
        bool failed = false;
        {
            SetAside aside(state);
            for (std::size_t i = 0; i < codes.size() && !outcome.cancelled; ++i) {
                const VersionCode& code = codes[i];
                state.random = std::make_unique<SeededRandom>(versionSeed(code));
                state.repeatHistory = RepeatHistory {};
                std::vector<QuestionRecord> records;
                if (request.parallel) {
                    for (std::size_t n = 0; n < source.size() && !failed; ++n) {
                        records.push_back(source[n]);
                        failed = positions[n] != 0 && !model.drafter().draftQuestion(positions[n], records.back());
                    }
                } else {
                    failed = !model.drafter().draftQuestions(count, records);
                }
                if (failed)
                    break;
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
                        buildPrintDocument(header, records, options.numberingStyle(), includes, paperOptions));
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
                    + ".\r\n\r\nWritten" + inFolder + ": " + list + ".",
                "Class Versions");
            return outcome;
        }
        if (failed && outcome.made == 0)
            return outcome; // the reason was shown; nothing was written
        std::string text
            = outcome.cancelled ? "Making the versions was cancelled after " : "The versions stopped after ";
        text += plural(outcome.made, "version", "versions") + " of " + formatInt(static_cast<int>(codes.size())) + ".";
        text += testFiles.empty()
            ? " No test file was written."
            : " The test files made in full were kept" + inFolder + ": " + rangeText(testFiles) + ".";
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
