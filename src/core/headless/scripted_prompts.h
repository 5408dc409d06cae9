#pragma once

#include "core/foundation/prompts.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace tb::headless {

/// Answers the program's questions from a script and records what was asked.
/// An unscripted yes/no question keeps the previous answer, as closing the
/// window would; an unscripted file dialog returns "" (cancelled).
class ScriptedPrompts final : public Prompts {
public:
    struct Message {
        std::string text;
        std::string title;
        std::string details;
    };

    void message(const std::string& text, const std::string& title, const std::string& details = {}) override
    {
        messages.push_back({ text, title, details });
    }

    bool askYesNo(const std::string& text, bool previous) override
    {
        questions.push_back(text);
        if (yesNoAnswers.empty())
            return previous;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }

    std::string openFileName(const std::string& title, const std::string& filter, int) override
    {
        dialogs.push_back({ "open", title, filter, {} });
        return nextName();
    }

    std::string saveFileName(const std::string& title, const std::string& filter, int) override
    {
        dialogs.push_back({ "save", title, filter, {} });
        return nextName();
    }

    /// The filter index comes back from `selectedFilters` when one is scripted.
    std::string saveFileNameWithFilter(const std::string& title, const std::string& filter, int& filterIndex) override
    {
        std::string name = saveFileName(title, filter, filterIndex);
        if (!selectedFilters.empty()) {
            filterIndex = selectedFilters.front();
            selectedFilters.pop_front();
        }
        return name;
    }

    /// Records the proposed name with the dialog.
    std::string saveFileNameProposing(
        const std::string& title, const std::string& filter, int& filterIndex, const std::string& proposed) override
    {
        std::string name = saveFileNameWithFilter(title, filter, filterIndex);
        dialogs.back().proposed = proposed;
        return name;
    }

    /// Records each report; answers "cancelled" once `cancelAtStep` steps are done.
    bool progress(int done, int total) override
    {
        progressSteps.push_back({ done, total });
        return cancelAtStep < 0 || done < cancelAtStep;
    }

    std::string clipboardText() override { return clipboard; }
    void setClipboardText(const std::string& text) override { clipboard = text; }

    struct Dialog {
        std::string kind;
        std::string title;
        std::string filter;
        std::string proposed;
    };

    std::deque<bool> yesNoAnswers;
    std::deque<std::string> fileNames;
    std::deque<int> selectedFilters;
    std::vector<Message> messages;
    std::vector<std::string> questions;
    std::vector<Dialog> dialogs;
    std::string clipboard;
    std::vector<std::pair<int, int>> progressSteps;
    int cancelAtStep = -1;

private:
    std::string nextName()
    {
        if (fileNames.empty())
            return {};
        std::string name = std::move(fileNames.front());
        fileNames.pop_front();
        return name;
    }
};

} // namespace tb::headless
