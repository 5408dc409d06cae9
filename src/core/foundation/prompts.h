#pragma once

#include <string>

namespace tb {

/// Everything that blocks on the teacher or touches the desktop. Texts are
/// Windows-1252; the windowing side converts them at its boundary.
class Prompts {
public:
    virtual ~Prompts() = default;

    /// A message box with an OK button. An empty title means the program's own. `details`, when
    /// given, is what went wrong in full (which file, what the system said): the box shows the
    /// exact text and keeps the details behind a button the teacher presses when wanted.
    virtual void message(const std::string& text, const std::string& title, const std::string& details = {}) = 0;

    /// A message box with an OK button that reports no problem, only news.
    virtual void notice(const std::string& text, const std::string& title) { message(text, title); }

    /// The yes/no question of Frmsave: the text goes into its label `Label1`.
    /// Returns the answer; closing the window without an answer returns `previous`.
    virtual bool askYesNo(const std::string& text, bool previous) = 0;

    /// The system open-file dialog. Returns the chosen file name, or "" when cancelled.
    virtual std::string openFileName(const std::string& title, const std::string& filter, int filterIndex) = 0;

    /// The system save-file dialog. Returns the chosen file name, or "" when cancelled.
    virtual std::string saveFileName(const std::string& title, const std::string& filter, int filterIndex) = 0;

    /// The system save-file dialog opened on filter `filterIndex`, which it leaves set to the
    /// filter selected when it closed. A dialog that cannot tell leaves it as it was.
    virtual std::string saveFileNameWithFilter(const std::string& title, const std::string& filter, int& filterIndex)
    {
        return saveFileName(title, filter, filterIndex);
    }

    /// The same dialog with `proposed` filled in as the file's name (as the file system spells
    /// it; in the folder the dialog opens in unless it holds one). A dialog that cannot propose
    /// a name opens empty.
    virtual std::string saveFileNameProposing(
        const std::string& title, const std::string& filter, int& filterIndex, const std::string& proposed)
    {
        (void)proposed;
        return saveFileNameWithFilter(title, filter, filterIndex);
    }

    /// Work that takes a while shows how far it got: `done` of `total` steps; done == total ends
    /// the display. Returns false once the teacher has cancelled; the work then stops between
    /// two steps. Without a display nothing can be cancelled.
    virtual bool progress(int done, int total)
    {
        (void)done;
        (void)total;
        return true;
    }

    /// The clipboard as plain text.
    virtual std::string clipboardText() = 0;
    virtual void setClipboardText(const std::string& text) = 0;
};

} // namespace tb
