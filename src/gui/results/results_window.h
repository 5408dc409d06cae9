#pragma once

#include "core/results/class_results.h"

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tb {

class ExamModel;
class Prompts;
class TargetFiles;
class RightRateChart;
struct AppState;

/// "Student Results": what came of a test and its class versions. A sortable table per
/// student (a row opens the student's attempts), a table per question by its own text, a bar
/// chart of each question's right-rate, the files that could not be read, the two exports and
/// the clear command.
class ResultsWindow final : public QDialog {
    Q_OBJECT

public:
    /// The exports are written where `targets` allows, as every writer beside the test is.
    ResultsWindow(
        std::unique_ptr<ClassResults> results, const TargetFiles& targets, Prompts& prompts, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    /// Fills the tables and the chart for the ways chosen.
    void refresh();
    /// Opens the attempts of the student in row `row` of the student table (as sorted).
    void openStudent(int row);
    void exportMarks();
    void exportAnalysis();
    void clearResults();

private:
    void createWidgets();
    void connectWidgets();
    ResultsWays ways() const;
    void save(const char* title, const std::string& proposed, const std::string& bytes);

    std::unique_ptr<ClassResults> results_;
    const TargetFiles& targets_;
    Prompts& prompts_;
    std::vector<StudentSummary> students_;
    std::vector<QuestionSummary> questions_;
    QComboBox* cboways_ = nullptr;
    QLabel* lblcount_ = nullptr;
    QTableWidget* grdstudents_ = nullptr;
    QTableWidget* grdquestions_ = nullptr;
    RightRateChart* chart_ = nullptr;
    QLabel* lblunreadable_ = nullptr;
    QPlainTextEdit* txtunreadable_ = nullptr;
    QPushButton* cmdmarks_ = nullptr;
    QPushButton* cmdanalysis_ = nullptr;
    QPushButton* cmdclear_ = nullptr;
    QPushButton* cmdclose_ = nullptr;
};

/// File, "Student Results...": the results of the test open in `model`, read from the data
/// folder's results folder. A test not saved yet has none: the teacher is told so.
void runStudentResults(QWidget* parent, const ExamModel& model, const AppState& state, Prompts& prompts);

} // namespace tb
