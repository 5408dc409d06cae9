#pragma once

// What the developer tools need to drive the test model without a window (the view that shows
// nothing is core/headless/quiet_view.h), and the reading of their command lines.

#include "core/foundation/cp1252.h"
#include "core/foundation/prompts.h"
#include "core/testbuilder/exam_model.h"

#include <exception>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tb::tools {

/// Answers the model's dialogs as the developer running a tool would: the file to open and the
/// file to save are given, every yes/no question is answered "&Yes", and every message is kept
/// (in UTF-8) to be reported.
class ToolPrompts final : public Prompts {
public:
    ToolPrompts(std::string open, std::string save)
        : open_(std::move(open))
        , save_(std::move(save))
    {
    }
    void message(const std::string& text, const std::string&, const std::string& details = {}) override
    {
        messages.push_back(fromCp1252(details.empty() ? text : text + " (" + details + ")"));
    }
    bool askYesNo(const std::string&, bool) override { return true; }
    std::string openFileName(const std::string&, const std::string&, int) override { return open_; }
    std::string saveFileName(const std::string&, const std::string&, int) override { return save_; }
    std::string clipboardText() override { return {}; }
    void setClipboardText(const std::string&) override { }

    std::vector<std::string> messages;

private:
    std::string open_;
    std::string save_;
};

/// A tool's refusal of its command line: says what is wrong and how to call it, then ends.
using Usage = void (*)(const std::string& problem);

/// The "--key value" pairs of a command line, by key without its dashes; a word that is not an
/// option, or an option without its value, goes to `usage`.
inline std::map<std::string, std::string> optionPairs(int argc, char** argv, Usage usage)
{
    std::map<std::string, std::string> given;
    for (int i = 1; i < argc; i += 2) {
        const std::string key = argv[i];
        if (key.rfind("--", 0) != 0 || i + 1 >= argc)
            usage("every option takes one value: " + key);
        given[key.substr(2)] = argv[i + 1];
    }
    return given;
}

/// An option's whole number, 0 or more; anything else goes to `usage`.
inline long long wholeNumber(const std::string& text, const std::string& what, Usage usage)
{
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < 0)
        usage(what + " must be a whole number, not \"" + text + "\"");
    return value;
}

} // namespace tb::tools
