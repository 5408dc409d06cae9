#pragma once

#include "core/student/sessions.h"

#include <QMainWindow>

#include <filesystem>

class QLabel;
class QPushButton;

namespace tb {

class QuestionPanel;

/// Practising a test: one question at a time, marked at once, a few tries, then the worked
/// solution. "Another like this" asks the same position from another parallel form. Finishing,
/// or closing the window, writes the practice's results once.
class PractiseWindow final : public QMainWindow {
    Q_OBJECT

public:
    PractiseWindow(
        PractiseSession session, const QString& testTitle, std::filesystem::path dataFolder, QWidget* parent = nullptr);

    const PractiseSession& session() const { return session_; }
    /// The file the results went into; empty until they are written.
    const QString& resultsLine() const { return resultsLine_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets(const QString& testTitle);
    void connectWidgets();
    void showCurrent();
    void showState();
    void answerGiven(const QString& typed);
    void finish();

    PractiseSession session_;
    std::filesystem::path dataFolder_;
    bool finished_ = false;
    QString resultsLine_;
    QuestionPanel* Panel_ = nullptr;
    QLabel* TriesLabel_ = nullptr;
    QPushButton* ShowSolution_ = nullptr;
    QPushButton* Previous_ = nullptr;
    QPushButton* Next_ = nullptr;
    QPushButton* AnotherLikeThis_ = nullptr;
    QPushButton* Finish_ = nullptr;
};

} // namespace tb
