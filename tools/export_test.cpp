// Writes a saved test in the three learning-platform formats, with the program's own exports:
// <base>.xml (Moodle XML), <base>.gift.txt (GIFT) and <base>.zip (QTI 2.1 package).
//
// Usage: export_test <test.dsq> <output base>
//        export_test --generate <drug database folder> <seed> <questions> <test.dsq>
// The second form builds a test of that many questions with the test model, drawing from a
// random source seeded with <seed>, and saves it; the same seed gives the same test.

#include "startup/cp1252.h"
#include "startup/file_error.h"
#include "startup/record_file.h"
#include "startup/startup_loader.h"
#include "testbuilder/exam_model.h"
#include "testbuilder/platform_export.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tb;

namespace {

// A test file holds its header and at most 32767 questions.
constexpr std::uintmax_t MaxTestBytes = (32767 + 1) * static_cast<std::uintmax_t>(TestRecordLength);

class SeededRandom final : public RandomSource {
public:
    explicit SeededRandom(std::uint64_t seed)
        : engine_(seed)
    {
    }
    double next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }
    void reseed() override { }

private:
    std::mt19937_64 engine_;
};

// Answers the model's dialogs with the file to save to; any message is a failure.
class ToolPrompts final : public Prompts {
public:
    explicit ToolPrompts(std::string saveName)
        : saveName_(std::move(saveName))
    {
    }
    void message(const std::string& text, const std::string&, const std::string& = {}) override
    {
        std::cerr << fromCp1252(text) << "\n";
        failed = true;
    }
    bool askYesNo(const std::string&, bool) override { return true; }
    std::string openFileName(const std::string&, const std::string&, int) override { return {}; }
    std::string saveFileName(const std::string&, const std::string&, int) override { return saveName_; }
    std::string clipboardText() override { return {}; }
    void setClipboardText(const std::string&) override { }
    bool failed = false;

private:
    std::string saveName_;
};

class NoView final : public ExamView {
public:
    void showFields(const std::string&, const std::string&, const std::string&) override { }
    void setCountText(const std::string&) override { }
    void setTitleLabel(const std::string&) override { }
    void applyStatus(const ButtonStatus&) override { }
    void showSaveTest() override { }
};

int generate(const fs::path& database, const std::string& seed, const std::string& count, const fs::path& out)
{
    AppState state(std::make_unique<SeededRandom>(std::stoull(seed)), database);
    if (const auto problem = loadStartupFiles(state)) {
        std::cerr << problem->message << "\n";
        return 1;
    }
    ToolPrompts prompts(toCp1252(fs::absolute(out).string()));
    NoView view;
    ExamModel model(state, prompts, view);
    model.acceptDescription("Sample Test", "A generated test of every category.", "Give each answer as a number.", 0);
    model.puttitle();
    model.createQuestions(count);
    model.saveAs();
    model.closeTest();
    return prompts.failed ? 1 : 0;
}

int exportAll(const fs::path& test, const std::string& base)
{
    std::error_code ec;
    const auto size = fs::file_size(test, ec);
    if (ec || !fs::is_regular_file(test, ec) || size > MaxTestBytes || size < TestRecordLength) {
        std::cerr << test.string() << ": not a test file that can be read\n";
        return 1;
    }
    const std::string bytes = readWholeFile(test);
    const TestHeader header = TestHeader::unpack(std::string_view(bytes).substr(0, TestRecordLength));
    std::vector<QuestionRecord> records;
    for (std::size_t at = TestRecordLength; at + TestRecordLength <= bytes.size(); at += TestRecordLength)
        records.push_back(QuestionRecord::unpack(std::string_view(bytes).substr(at, TestRecordLength)));
    const PlatformTest exported = platformTest(header.TestTitle, records);
    writeFileAtomically(base + ".xml", platformExport(PlatformFormat::MoodleXml, exported));
    writeFileAtomically(base + ".gift.txt", platformExport(PlatformFormat::Gift, exported));
    writeFileAtomically(base + ".zip", platformExport(PlatformFormat::QtiPackage, exported));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 5 && args[0] == "--generate")
            return generate(args[1], args[2], args[3], args[4]);
        if (args.size() == 2)
            return exportAll(args[0], args[1]);
        std::cerr << "Usage: export_test <test.dsq> <output base>\n"
                     "       export_test --generate <drug database folder> <seed> <questions> <test.dsq>\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
