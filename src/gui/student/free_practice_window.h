#pragma once

#include <QMainWindow>

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tb {

struct AppState;
class FreePractice;
class QuestionPanel;

/// Free practice: the student ticks categories, and drug categories for tablet and fluid
/// questions, and gets fresh questions, marked and explained at once, for as long as they
/// like. Changing the ticks goes on in the same practice; finishing, or closing the window,
/// writes one results file for all of it.
class FreePracticeWindow final : public QMainWindow {
    Q_OBJECT

public:
    /// `drugDatabase`: the folder's drug database was loaded into `state`, so tablet and fluid
    /// questions can be made.
    FreePracticeWindow(AppState& state, bool drugDatabase, std::string student, std::filesystem::path dataFolder,
        QWidget* parent = nullptr);
    ~FreePracticeWindow() override;

    /// Draws a fresh question of the ticked categories.
    void newQuestion();
    int questionsAsked() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets(bool drugDatabase);
    void connectWidgets();
    void answerGiven(const QString& typed);
    void showState();
    std::vector<int> tickedCategories() const;
    std::vector<int> tickedDrugCategories() const;

    AppState& state_;
    std::string student_;
    std::filesystem::path dataFolder_;
    std::chrono::system_clock::time_point start_;
    // One practice per choice of categories, in the order they were made.
    std::vector<std::unique_ptr<FreePractice>> practices_;
    std::vector<int> categories_;
    std::vector<int> drugCategories_;
    bool finished_ = false;
    std::array<QCheckBox*, 8> CategoryCheck_ {};
    QLabel* DrugCategoryLabel_ = nullptr;
    QListWidget* DrugCategoryList_ = nullptr;
    QPushButton* NewQuestion_ = nullptr;
    QuestionPanel* Panel_ = nullptr;
    QLabel* TriesLabel_ = nullptr;
    QPushButton* ShowSolution_ = nullptr;
    QPushButton* Finish_ = nullptr;
};

} // namespace tb
