// Makes a test file the way the test window does: the real test model creates the questions from a drug
// database, takes the title, description and instructions, and saves the test with Save As. The draws come
// from a seeded source, so the same arguments make the same file on every run.
//
// Usage: sample_exam_maker --data <folder with the drug database> --out <file.dsq> [--count N]
//                         [--categories 1,2,3,4] [--seed S] [--title T] [--description D] [--instructions I]
// Texts are given in UTF-8; the test file holds them in Windows-1252.

#include "core/foundation/cp1252.h"
#include "core/foundation/number_format.h"
#include "core/headless/quiet_view.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/exam_model.h"
#include "tool_support.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tb;
using tb::headless::QuietView;
using tb::tools::ToolPrompts;

namespace {

struct Options {
    fs::path data;
    fs::path out;
    int count = 20;
    std::vector<int> categories { 1, 2, 3, 4 };
    std::uint64_t seed = 1;
    std::string title = "untitled";
    std::string description;
    std::string instructions;
};

[[noreturn]] void usage(const std::string& problem)
{
    std::cerr << "sample_exam_maker: " << problem << "\n"
              << "usage: sample_exam_maker --data <drug database folder> --out <file.dsq> [--count N]\n"
                 "       [--categories 1,2,3,4] [--seed S] [--title T] [--description D] [--instructions I]\n";
    std::exit(2);
}

Options parse(int argc, char** argv)
{
    Options options;
    for (const auto& [key, value] : tools::optionPairs(argc, argv, usage)) {
        if (key == "data")
            options.data = value;
        else if (key == "out")
            options.out = value;
        else if (key == "count")
            options.count = static_cast<int>(std::min(tools::wholeNumber(value, "--count", usage), 99LL));
        else if (key == "seed")
            options.seed = static_cast<std::uint64_t>(tools::wholeNumber(value, "--seed", usage));
        else if (key == "title")
            options.title = value;
        else if (key == "description")
            options.description = value;
        else if (key == "instructions")
            options.instructions = value;
        else if (key == "categories") {
            options.categories.clear();
            std::stringstream list(value);
            for (std::string code; std::getline(list, code, ',');)
                options.categories.push_back(static_cast<int>(tools::wholeNumber(code, "a category code", usage)));
        } else
            usage("unknown option --" + key);
    }
    if (options.data.empty() || options.out.empty())
        usage("--data and --out are needed");
    if (options.count < 1)
        usage("--count must be 1 to 99");
    return options;
}

int run(const Options& options)
{
    const headless::TempFolder scratch;
    scratch.copySampleDatabase(options.data);

    AppState state(std::make_unique<SeededRandom>(options.seed), scratch.path());
    if (const auto problem = loadStartupFiles(state)) {
        std::cerr << "sample_exam_maker: " << problem->message << "\n";
        return 1;
    }
    const fs::path out = fs::absolute(options.out);
    ToolPrompts prompts({}, toCp1252(out.string()));
    QuietView view;
    ExamModel model(state, prompts, view);

    // The category boxes as the teacher ticks them; a code the model does not know stays unticked.
    constexpr int MostBoxes = 16;
    for (const int code : options.categories)
        model.drafter().setCategoryTicked(code - 1, true);
    for (int box = 0; box < MostBoxes; ++box) {
        bool wanted = false;
        for (const int code : options.categories)
            wanted = wanted || code - 1 == box;
        if (!wanted)
            model.drafter().setCategoryTicked(box, false);
    }
    for (const int code : options.categories)
        if (!model.drafter().categoryTicked(code - 1)) {
            std::cerr << "sample_exam_maker: the test builder has no category " << code << "\n";
            return 2;
        }
    model.drafter().setSelectedCategories(
        std::vector<bool>(static_cast<std::size_t>(state.categories.CategoryCount), true));

    model.createQuestions(formatInt(options.count));
    model.acceptDescription(toCp1252(options.title), toCp1252(options.description), toCp1252(options.instructions), 0);
    model.puttitle();
    model.saveAs();
    model.closeTest();
    for (const std::string& text : prompts.messages)
        std::cerr << "sample_exam_maker: " << text << "\n";
    if (!prompts.messages.empty() || model.QuestionCount() != options.count)
        return 1;
    std::cout << "Wrote " << out.string() << " with " << model.QuestionCount() << " questions.\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "sample_exam_maker: " << error.what() << "\n";
        return 1;
    }
}
