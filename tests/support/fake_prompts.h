#pragma once

#include "startup/prompts.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace tb::testing {

/// Answers the program's questions from a script and records what was asked.
/// An unscripted yes/no question keeps the previous answer, as closing the
/// window would; an unscripted file dialog returns "" (cancelled).
class FakePrompts final : public Prompts {
public:
    struct Message {
        std::string text;
        std::string title;
    };

    void message(const std::string& text, const std::string& title) override { messages.push_back({ text, title }); }

    bool askYesNo(const std::string& text, bool previous) override
    {
        questions.push_back(text);
        if (yesNoAnswers.empty())
            return previous;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }

    std::string openFileName(const std::string& title, const std::string& filter, int filterIndex) override
    {
        dialogs.push_back({ "open", title, filter, filterIndex });
        return nextName();
    }

    std::string saveFileName(const std::string& title, const std::string& filter, int filterIndex) override
    {
        dialogs.push_back({ "save", title, filter, filterIndex });
        return nextName();
    }

    std::string clipboardText() override { return clipboard; }
    void setClipboardText(const std::string& text) override { clipboard = text; }

    struct Dialog {
        std::string kind;
        std::string title;
        std::string filter;
        int filterIndex = 0;
    };

    std::deque<bool> yesNoAnswers;
    std::deque<std::string> fileNames;
    std::vector<Message> messages;
    std::vector<std::string> questions;
    std::vector<Dialog> dialogs;
    std::string clipboard;

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

} // namespace tb::testing
