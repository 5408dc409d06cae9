#pragma once

#include "support/fake_prompts.h"
#include "support/temp_folder.h"
#include "testbuilder/test_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tb::testing {

/// Records what the model asked the window to show.
class FakeView final : public TestView {
public:
    void showFields(const std::string& q, const std::string& s, const std::string& a) override
    {
        shown.push_back({ q, s, a });
    }
    void setCountText(const std::string& text) override { countTexts.push_back(text); }
    void setTitleLabel(const std::string& title) override { titles.push_back(title); }
    void applyStatus(const ButtonStatus& s) override { status = s, ++statusCount; }
    void showSaveTest() override { saveTestShown = true; }

    std::vector<std::array<std::string, 3>> shown;
    std::vector<std::string> countTexts;
    std::vector<std::string> titles;
    ButtonStatus status;
    int statusCount = 0;
    bool saveTestShown = false;
};

/// Uniform values that look random but are the same on every run.
inline std::vector<double> spreadScript(std::size_t n = 4999)
{
    std::vector<double> values;
    std::uint64_t x = 88172645463325252ULL;
    for (std::size_t i = 0; i < n; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        values.push_back(static_cast<double>(x >> 11) / 9007199254740992.0);
    }
    return values;
}

/// A model on a new test in a temporary folder, with scripted draws and prompts.
class ModelFixture : public ::testing::Test {
protected:
    ModelFixture()
    {
        auto random = std::make_unique<ScriptedRandom>(spreadScript());
        random_ = random.get();
        state = std::make_unique<AppState>(std::move(random), folder.path());
        model = std::make_unique<TestModel>(*state, prompts, view);
    }

    /// Types question i into the shown question (question, solution and answer fields).
    void type(const std::string& question, const std::string& solution, const std::string& answer)
    {
        model->setField(0, question);
        model->setField(1, solution);
        model->setField(2, answer);
        model->keyTyped();
    }

    /// Types n questions "Question k" / "Solution k" / "k" by stepping forward; the last
    /// one is stored by a step back and forth.
    void typeQuestions(int n)
    {
        for (int k = 1; k <= n; ++k) {
            if (k > 1)
                model->forward();
            type("Question " + std::to_string(k), "Solution " + std::to_string(k), std::to_string(k));
        }
        model->save();
    }

    /// Only the given category boxes (codes 1..4) ticked.
    void tickOnly(std::initializer_list<int> codes)
    {
        for (int box = 0; box < 4; ++box)
            model->setCategoryTicked(box, true);
        for (int box = 0; box < 4; ++box) {
            bool wanted = false;
            for (int code : codes)
                wanted = wanted || code == box + 1;
            model->setCategoryTicked(box, wanted);
        }
    }

    /// Record n (from 1) of a file in the folder.
    std::string record(const std::string& file, int n) const
    {
        return folder.read(file).substr(static_cast<std::size_t>(n - 1) * TestRecordLength, TestRecordLength);
    }

    const std::vector<FakePrompts::Message>& messages() const { return prompts.messages; }

    TempFolder folder;
    FakePrompts prompts;
    FakeView view;
    ScriptedRandom* random_ = nullptr;
    std::unique_ptr<AppState> state;
    std::unique_ptr<TestModel> model;
};

} // namespace tb::testing
