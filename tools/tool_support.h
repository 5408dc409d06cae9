#pragma once

// What the developer tools need to drive the test model without a window; the view that shows
// nothing is the tests' quiet view (support/quiet_view.h).

#include "core/foundation/cp1252.h"
#include "core/foundation/prompts.h"
#include "core/testbuilder/exam_model.h"

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

} // namespace tb::tools
