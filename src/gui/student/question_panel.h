#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tb {

struct StudentQuestion;
struct MarkedAnswer;

/// One question as Dosarion shows it: the text, the decimals sentence, the answer box with
/// the asked unit after it, and, when the panel marks, the "&Check" button, the feedback and
/// the worked solution in a fixed-pitch block that keeps its columns. Enter in the answer box
/// checks the answer.
class QuestionPanel final : public QWidget {
    Q_OBJECT

public:
    /// `marking`: with the check button and the feedback (practice); without, the panel only
    /// takes answers (a sitting).
    explicit QuestionPanel(bool marking, QWidget* parent = nullptr);

    /// Shows a question afresh: empty answer, no feedback, no solution.
    void showQuestion(const StudentQuestion& question, const QString& heading);
    /// Shows what marking an answer gave: the feedback lines, or the reason it was refused. The
    /// correct answer is shown once the question is over (`final`), never while tries are left.
    void showFeedback(const StudentQuestion& question, const MarkedAnswer& marked, bool final);
    /// Shows the worked solution below the feedback.
    void showSolution(const StudentQuestion& question);
    /// Whether the student can still answer.
    void setAnswering(bool answering);

    QString answer() const;
    void setAnswer(const QString& text);
    void focusAnswer();

signals:
    /// The student checked an answer (the check button or Enter).
    void answerGiven(const QString& typed);
    /// The text in the answer box changed.
    void answerEdited(const QString& typed);

private:
    void createWidgets(bool marking);
    void connectWidgets();

    QLabel* Heading_ = nullptr;
    QLabel* QuestionText_ = nullptr;
    QLabel* DecimalsLabel_ = nullptr;
    QLabel* AnswerLabel_ = nullptr;
    QLineEdit* AnswerBox_ = nullptr;
    QLabel* UnitLabel_ = nullptr;
    QPushButton* CheckButton_ = nullptr;
    QLabel* FeedbackText_ = nullptr;
    QLabel* SolutionLabel_ = nullptr;
    QPlainTextEdit* SolutionBox_ = nullptr;
};

} // namespace tb
