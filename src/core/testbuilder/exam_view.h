#pragma once

#include <string>

namespace tb {

/// What the test window shows of the state: buttonstatus's result.
struct ButtonStatus {
    std::string fileLabel; // Label7: "File : " + WorkingFile
    std::string positionLabel; // Label1: "3 / 5"
    bool complete = false; // question and answer non-blank: navigation shown, Label6 hidden
    bool saveAsVisible = false;
};

/// "1 question", "19 questions": a count as the status line reports it.
std::string questionsText(int count);

/// The test window's side of the model and its tools: they call it when something is to be
/// shown. Texts are Windows-1252.
class ExamView {
public:
    virtual ~ExamView() = default;
    /// showquestion1: the three editing fields get these texts (trailing blanks removed).
    virtual void showFields(const std::string& question, const std::string& solution, const std::string& answer) = 0;
    /// The count box `Text1` gets a new text (the limit rule writes the reduced count).
    virtual void setCountText(const std::string& text) = 0;
    /// The title label `Label5` gets the stripped title.
    virtual void setTitleLabel(const std::string& title) = 0;
    /// buttonstatus ran: apply its result.
    virtual void applyStatus(const ButtonStatus& status) = 0;
    /// "&Save Test" becomes visible (after the first Open Test or Save As).
    virtual void showSaveTest() = 0;
    /// A command that needs no answer reports what it did in the window's status line.
    virtual void showStatus(const std::string& text) { (void)text; }
};

} // namespace tb
