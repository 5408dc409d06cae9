#pragma once

#include "core/student/exam_list.h"

#include <QMainWindow>
#include <QPointer>

#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextBrowser;

namespace tb {

struct AppState;

/// Dosarion's start window: the student's name or number, asked once a session; the tests the
/// teachers put in the student menu, with their description, instructions and number of
/// questions; free practice. A test is practised or sat as its teacher set it. While a test
/// is open the start window is hidden; it comes back, with the list read again, when it closes.
class StudentStartWindow final : public QMainWindow {
    Q_OBJECT

public:
    /// `drugDatabase`: the folder's drug database was loaded into `state` for free practice.
    StudentStartWindow(AppState& state, bool drugDatabase, QWidget* parent = nullptr);

    /// Reads the folder's tests again.
    void refresh();
    /// Starts the selected entry: a test in its teacher's way, or free practice.
    void startSelected();
    const std::vector<ListedExam>& tests() const { return tests_; }
    /// The window of the test or practice under way, or nullptr.
    QMainWindow* openWindow() const { return open_; }

private:
    void createWidgets();
    void connectWidgets();
    void showDetails();
    bool takeStudentName();
    void startTest(const ListedExam& exam);
    void openSession(QMainWindow* window);

    AppState& state_;
    bool drugDatabase_ = false;
    std::vector<ListedExam> tests_;
    QPointer<QMainWindow> open_;
    QLabel* NameLabel_ = nullptr;
    QLineEdit* NameBox_ = nullptr;
    QLabel* ResultsWarning_ = nullptr;
    QLabel* TestLabel_ = nullptr;
    QListWidget* TestList_ = nullptr;
    QTextBrowser* TestDetails_ = nullptr;
    QPushButton* Start_ = nullptr;
    QPushButton* Exit_ = nullptr;
};

} // namespace tb
