#pragma once

#include "core/student/sessions.h"

#include <QMainWindow>

#include <filesystem>

class QLabel;
class QPushButton;
class QTextBrowser;
class QTimer;

namespace tb {

class QuestionPanel;

/// Sitting a test: the answers are kept, unmarked, until the student submits them or the time
/// is up; then the score and a review of every question with its solution. Closing the window
/// before that submits the answers as they stand. The results are written once, at submission.
class SittingWindow final : public QMainWindow {
    Q_OBJECT

public:
    /// What the window tells besides the questions.
    struct Heading {
        QString testTitle;
        int attempt = 1;
        int attempts = 1;
        int passPercent = 100;
    };

    SittingWindow(
        SitSession session, const Heading& heading, std::filesystem::path dataFolder, QWidget* parent = nullptr);

    const SitSession& session() const { return session_; }
    /// Submits the answers as they stand and shows the review.
    void submit();
    /// Checks the clock; submits when the time is up.
    void tick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets(const Heading& heading);
    void connectWidgets();
    void showPosition(int position);
    QString reviewHtml() const;

    SitSession session_;
    std::filesystem::path dataFolder_;
    int position_ = 1;
    QuestionPanel* Panel_ = nullptr;
    QLabel* AttemptLabel_ = nullptr;
    QLabel* TimeLabel_ = nullptr;
    QPushButton* Previous_ = nullptr;
    QPushButton* Next_ = nullptr;
    QPushButton* Submit_ = nullptr;
    QLabel* ScoreLabel_ = nullptr;
    QTextBrowser* ReviewBox_ = nullptr;
    QPushButton* Close_ = nullptr;
    QTimer* clock_ = nullptr;
};

} // namespace tb
