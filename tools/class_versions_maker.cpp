// Makes a class-version set of a test the way the Class Versions dialog does with its proposals:
// parallel forms of the test, in the folder "<test name> versions" beside it: the test files and
// the set's PDF (A4, every part the text-file options include by default).
// The set's code is drawn from a seeded source, so the same arguments make the same files on
// every run.
//
// Usage: class_versions_maker --data <folder with the drug database> --test <file.dsq> [--versions N] [--seed S]

#include "core/foundation/cp1252.h"
#include "core/headless/quiet_view.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/class_versions.h"
#include "core/testbuilder/exam_model.h"
#include "gui/common/qt_print.h"
#include "tool_support.h"

#include <QApplication>
#include <QPageSize>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

namespace fs = std::filesystem;
using namespace tb;
using tb::headless::QuietView;
using tb::tools::ToolPrompts;

namespace {

/// The set's PDF on A4, whatever the system's default paper.
class A4Printer final : public DocumentPrinter {
public:
    bool print(const PrintDocument&) override { return false; }
    std::string pdf(const PrintDocument& document) override { return renderPdf(document, QPageSize(QPageSize::A4)); }
};

struct Options {
    fs::path data;
    fs::path test;
    int versions = 3;
    std::uint64_t seed = 1;
};

[[noreturn]] void usage(const std::string& problem)
{
    std::cerr << "class_versions_maker: " << problem << "\n"
              << "usage: class_versions_maker --data <drug database folder> --test <file.dsq> [--versions N] "
                 "[--seed S]\n";
    std::exit(2);
}

Options parse(int argc, char** argv)
{
    Options options;
    for (const auto& [key, value] : tools::optionPairs(argc, argv, usage)) {
        if (key == "data")
            options.data = value;
        else if (key == "test")
            options.test = value;
        else if (key == "versions")
            options.versions
                = static_cast<int>(std::min<long long>(tools::wholeNumber(value, "--versions", usage), MaxVersions));
        else if (key == "seed")
            options.seed = static_cast<std::uint64_t>(tools::wholeNumber(value, "--seed", usage));
        else
            usage("unknown option --" + key);
    }
    if (options.data.empty() || options.test.empty())
        usage("--data and --test are needed");
    if (options.versions < 1)
        usage("--versions must be 1 to 60");
    return options;
}

int run(const Options& options)
{
    const headless::TempFolder scratch;
    scratch.copySampleDatabase(options.data);
    AppState state(std::make_unique<SeededRandom>(options.seed), scratch.path());
    if (const auto problem = loadStartupFiles(state)) {
        std::cerr << "class_versions_maker: " << problem->message << "\n";
        return 1;
    }
    ToolPrompts prompts(toCp1252(fs::absolute(options.test).string()), {});
    QuietView view;
    ExamModel model(state, prompts, view);
    model.drafter().setSelectedCategories(
        std::vector<bool>(static_cast<std::size_t>(state.categories.CategoryCount), true));
    model.openTest();
    if (!prompts.messages.empty()) {
        for (const std::string& text : prompts.messages)
            std::cerr << "class_versions_maker: " << text << "\n";
        return 1;
    }

    const VersionChoices choices = versionChoices(model, state, "1");
    VersionRequest request;
    request.base = choices.name;
    request.folder = choices.folder;
    request.versions = options.versions;
    request.pdf = true;
    request.platform = false;
    A4Printer printer;
    const VersionsOutcome outcome = makeClassVersions(model, state, prompts, &printer, "1", request);
    model.closeTest();
    if (outcome.made != options.versions) {
        for (const std::string& text : prompts.messages)
            std::cerr << "class_versions_maker: " << text << "\n";
        return 1;
    }
    std::cout << "Made set " << outcome.setCode << " in " << fromCp1252(choices.folder) << ":";
    for (const std::string& name : outcome.written)
        std::cout << " " << fromCp1252(name);
    std::cout << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "class_versions_maker: " << error.what() << "\n";
        return 1;
    }
}
