#pragma once

#include "core/student/student_settings.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tb {

class ExamModel;
class Prompts;

/// The most students the extra-time table holds.
inline constexpr int MaxExtraTimeStudents = 200;

/// "Student Settings": how Dosarion gives one test to students. Cbomode (practise or sit),
/// Txttries (tries per question when practising), Txtattempts (sittings per student),
/// Txtminutes (time limit per question, 0 for none), Txtpassmark (percent), and Grdextra, the
/// students with extra time (name, percent), edited with Cmdaddstudent and Cmdremovestudent.
/// cmdok checks the table and closes; cmdcancel closes. The dialog only collects: the caller
/// writes the side file from settings().
class StudentSettingsDialog final : public QDialog {
    Q_OBJECT

public:
    /// `fileLabel` says which side file the settings go to.
    StudentSettingsDialog(
        Prompts& prompts, const StudentSettings& initial, const std::string& fileLabel, QWidget* parent = nullptr);

    /// The settings as the controls hold them; rows of the table without a name are left out.
    StudentSettings settings() const;

    void cmdok_Click();
    void Cmdaddstudent_Click();
    void Cmdremovestudent_Click();

private:
    void createWidgets(const std::string& fileLabel);
    void connectWidgets();
    void showSettings(const StudentSettings& settings);
    void enableControls();
    void addRow(const QString& name, const QString& percent);
    /// The first problem of the extra-time table, or "" when every row is fine.
    std::string tableProblem(int& row, int& column) const;

    Prompts& prompts_;
    QComboBox* Cbomode_ = nullptr;
    QSpinBox* Txttries_ = nullptr;
    QSpinBox* Txtattempts_ = nullptr;
    QSpinBox* Txtminutes_ = nullptr;
    QSpinBox* Txtpassmark_ = nullptr;
    QTableWidget* Grdextra_ = nullptr;
    QPushButton* Cmdaddstudent_ = nullptr;
    QPushButton* Cmdremovestudent_ = nullptr;
    QPushButton* cmdok_ = nullptr;
    QPushButton* cmdcancel_ = nullptr;
};

/// "S&tudent Settings...": reads the side file of `model`'s test (a class version's is its set's),
/// asks with the dialog and writes the file on OK. A new test must be saved first; a side file
/// that did not read whole is named and replaced only after the teacher's yes.
void runStudentSettings(QWidget* parent, const ExamModel& model, Prompts& prompts);

} // namespace tb
