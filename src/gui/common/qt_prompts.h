#pragma once

#include "core/foundation/prompts.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>

class QProgressDialog;
class QWidget;

namespace tb {

/// The program's own title for message boxes that bring none.
inline constexpr const char* ProgramTitle = "Tutor Bench";

/// A filter of the form "Name (*.x)|*.x|Other|*.y;*.z|" as Qt's list of name filters:
/// "Name (*.x)", "Other (*.y *.z)". A name that already shows its pattern keeps it.
QStringList qtNameFilters(const std::string& filter);

/// The Qt side of the prompts: message boxes, Frmsave, the system file dialogs and the
/// clipboard. Texts cross as Windows-1252 and are converted here.
class QtPrompts final : public Prompts {
public:
    /// `startFolder` is where the file dialogs open: the program's data folder.
    explicit QtPrompts(std::filesystem::path startFolder);
    ~QtPrompts() override;

    /// Problems show the warning icon, news the information icon.
    void message(const std::string& text, const std::string& title, const std::string& details = {}) override;
    void notice(const std::string& text, const std::string& title) override;
    /// A problem the program cannot go on after, with the error icon.
    void fatal(const std::string& text, const std::string& title);
    bool askYesNo(const std::string& text, bool previous) override;
    /// `filterIndex` counts from 1, as the filter's pairs are numbered; 0 also means the first.
    /// The chosen name is a full path in the file system's own encoding, as std::filesystem
    /// takes it; the title and the filter are Windows-1252 like every other text.
    std::string openFileName(const std::string& title, const std::string& filter, int filterIndex) override;
    std::string saveFileName(const std::string& title, const std::string& filter, int filterIndex) override;
    /// The same dialog; `filterIndex` comes back as the filter selected when it closed.
    std::string saveFileNameWithFilter(const std::string& title, const std::string& filter, int& filterIndex) override;
    /// The same dialog with the proposed name filled in.
    std::string saveFileNameProposing(
        const std::string& title, const std::string& filter, int& filterIndex, const std::string& proposed) override;
    /// A progress dialog with a Cancel button, shown from the first step to the last.
    bool progress(int done, int total) override;
    /// The clipboard's text with its line ends as CR LF, the program's line break.
    std::string clipboardText() override;
    /// Puts the text on the clipboard with the desktop's own line ends.
    void setClipboardText(const std::string& text) override;

private:
    void show(int icon, const std::string& text, const std::string& title, const std::string& details = {});
    std::string fileName(bool save, const std::string& title, const std::string& filter, int filterIndex,
        int* selectedIndex = nullptr, const std::string& proposed = {});

    std::filesystem::path startFolder_;
    std::unique_ptr<QProgressDialog> progress_;
};

} // namespace tb
