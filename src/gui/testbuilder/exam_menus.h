#pragma once

#include <array>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace tb {

class ExamModel;

/// The test window's menu bar: File (with the list of test files at its end), Edit and
/// Options, each entry named like the window's other controls. It builds and holds the
/// entries; the window connects them to its handlers.
struct ExamMenus final {
    explicit ExamMenus(QMenuBar* bar);

    /// Ticks the numbering style and the include options as the model holds them.
    void showExportChecks(const ExamModel& model);
    /// Lists the test files at the end of the File menu, captioned "&1 name" and so on;
    /// returns the new entries, entry n opening test n.
    std::vector<QAction*> listTests(const std::vector<std::string>& names);

    QMenu* fileMenu = nullptr;
    std::array<QAction*, 2> mnuopen {}; // "&New Test", "&Open Test"
    std::array<QAction*, 2> mnusave {}; // "Save  &As Test", "&Save Test"
    std::array<QAction*, 6> numbquest {};
    std::array<QAction*, 6> tfop {};
    std::array<QAction*, 2> mnuprint {}; // "&Print Test...", "Export as PD&F..."
    QAction* mnuexport = nullptr;
    QAction* mnuversions = nullptr; // "Class &Versions..."
    QAction* mnustudent = nullptr; // "S&tudent Settings..."
    QAction* mnuresults = nullptr; // "Student &Results..."
    QAction* mnuquit = nullptr;
    QAction* bar3 = nullptr;
    std::vector<QAction*> mnuop; // index 0 is the hidden template "0"
    std::array<QAction*, 3> copy {}; // "Cu&t", "&Copy", "&paste"
    QAction* mnuch = nullptr;
};

} // namespace tb
