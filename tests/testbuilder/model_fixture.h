#pragma once

#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/exam_platform_export.h"
#include "core/testbuilder/exam_printing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tb::testing {

using namespace tb::headless;

/// Records what the model asked the window to show.
class FakeView final : public ExamView {
public:
    void showFields(const std::string&, const std::string&, const std::string&) override { }
    void setCountText(const std::string& text) override { countTexts.push_back(text); }
    void setTitleLabel(const std::string&) override { }
    void applyStatus(const ButtonStatus& s) override { status = s; }
    void showSaveTest() override { saveTestShown = true; }
    void showStatus(const std::string& text) override { statusLine = text; }

    std::vector<std::string> countTexts;
    std::string statusLine;
    ButtonStatus status;
    bool saveTestShown = false;
};

/// Keeps the documents it is given; its PDF is "%PDF" and their lines, or it throws `failure`.
class FakePrinter final : public DocumentPrinter {
public:
    bool print(const PrintDocument& document) override { return !pdf(document).empty(); }
    std::string pdf(const PrintDocument& document) override
    {
        documents.push_back(document);
        if (!failure.empty())
            throw std::runtime_error(failure);
        std::string text = "%PDF";
        for (const PrintSection& section : document.sections)
            for (const PrintBlock& block : section.blocks)
                for (const PrintLine& line : block.lines)
                    text += "\n" + line.text;
        return text;
    }
    std::vector<PrintDocument> documents;
    std::string failure;
};

/// The header record of a new test.
inline std::string untitledHeader()
{
    return "untitled" + std::string(792, ' ') + std::string(1200, ' ') + "0" + std::string(11, ' ');
}

/// A model on a new test in a temporary folder, with scripted draws and prompts.
class ModelFixture : public ::testing::Test {
protected:
    ModelFixture()
    {
        std::mt19937_64 bits(88172645463325252ULL); // uniform-looking draws, the same on every run
        std::vector<double> draws(4999);
        std::generate(draws.begin(), draws.end(), [&bits] { return static_cast<double>(bits() >> 11) * 0x1p-53; });
        state = std::make_unique<AppState>(std::make_unique<ScriptedRandom>(draws), folder.path());
        model = std::make_unique<ExamModel>(*state, prompts, view);
    }

    /// The sample drug database, loaded as start-up loads it.
    void loadSampleDatabase()
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        const auto problem = loadStartupFiles(*state);
        ASSERT_FALSE(problem) << problem->message;
        model = std::make_unique<ExamModel>(*state, prompts, view);
    }

    void type(const std::string& question, const std::string& solution, const std::string& answer)
    {
        model->setField(0, question);
        model->setField(1, solution);
        model->setField(2, answer);
        model->keyTyped();
    }

    /// Types "Question k" / "Solution k" / "k" for k = 1..n, stepping forward between them.
    void typeQuestions(int n)
    {
        for (int k = 1; k <= n; ++k) {
            if (k > 1)
                model->forward();
            type("Question " + std::to_string(k), "Solution " + std::to_string(k), std::to_string(k));
        }
        model->save();
    }

    /// Only the category box of code (1..4) ticked.
    void tickOnly(int code)
    {
        model->drafter().setCategoryTicked(code - 1, true);
        for (int box = 0; box < 4; ++box)
            model->drafter().setCategoryTicked(box, box == code - 1);
    }

    /// The window's printing and learning-platform export, on the model as it stands.
    ExamPrinting printing() { return ExamPrinting(*model, prompts, view); }
    PlatformExportCommand platformExport() { return PlatformExportCommand(*model, prompts, view); }

    /// Record n (from 1) of a file.
    std::string record(const std::string& file, int n) const
    {
        return folder.read(file).substr(static_cast<std::size_t>(n - 1) * TestRecordLength, TestRecordLength);
    }

    TempFolder folder;
    ScriptedPrompts prompts;
    FakeView view;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ExamModel> model;
};

} // namespace tb::testing
