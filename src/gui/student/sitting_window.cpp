#include "gui/student/sitting_window.h"

#include "gui/common/program_text.h"
#include "gui/student/question_panel.h"
#include "gui/student/session_end.h"
#include "gui/student/window_parts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace tb {

namespace {

QString escaped(const std::string& programText)
{
    return toDisplay(programText, true).toHtmlEscaped();
}

} // namespace

SittingWindow::SittingWindow(
    SitSession session, const Heading& heading, std::filesystem::path dataFolder, QWidget* parent)
    : QMainWindow(parent)
    , session_(std::move(session))
    , dataFolder_(std::move(dataFolder))
{
    createWidgets(heading);
    connectWidgets();
    showPosition(1);
    tick();
    if (session_.minutes() > 0)
        clock_->start();
}

void SittingWindow::createWidgets(const Heading& heading)
{
    setObjectName(QStringLiteral("SittingWindow"));
    setWindowTitle(QStringLiteral("Test: %1 - Dosarion").arg(heading.testTitle));
    addSessionMenus(*this, QStringLiteral("&Close"), "mnuClose");

    auto* central = new QWidget(this);
    AttemptLabel_
        = new QLabel(QStringLiteral("Attempt %1 of %2. Pass mark: %3 %. Your answers are marked when you submit them; "
                                    "closing this window submits them.")
                         .arg(heading.attempt)
                         .arg(heading.attempts)
                         .arg(heading.passPercent),
            central);
    AttemptLabel_->setObjectName(QStringLiteral("AttemptLabel"));
    AttemptLabel_->setWordWrap(true);
    TimeLabel_ = new QLabel(central);
    TimeLabel_->setObjectName(QStringLiteral("TimeLabel"));
    TimeLabel_->setAccessibleName(QStringLiteral("Time left"));
    Panel_ = new QuestionPanel(false, central);
    Previous_
        = sessionButton(QStringLiteral("&Previous"), "PreviousButton", QStringLiteral("Previous question"), central);
    Next_ = sessionButton(QStringLiteral("&Next"), "NextButton", QStringLiteral("Next question"), central);
    Submit_ = sessionButton(
        QStringLiteral("S&ubmit Answers"), "SubmitButton", QStringLiteral("Submit your answers"), central);
    ScoreLabel_ = new QLabel(central);
    ScoreLabel_->setObjectName(QStringLiteral("ScoreLabel"));
    ScoreLabel_->setAccessibleName(QStringLiteral("Score"));
    QFont bold = ScoreLabel_->font();
    bold.setBold(true);
    ScoreLabel_->setFont(bold);
    ReviewBox_ = new QTextBrowser(central);
    ReviewBox_->setObjectName(QStringLiteral("ReviewBox"));
    ReviewBox_->setAccessibleName(QStringLiteral("Review of your answers"));
    Close_ = sessionButton(QStringLiteral("&Close"), "CloseButton", QStringLiteral("Close the test"), central);

    auto* top = new QHBoxLayout;
    top->addWidget(AttemptLabel_, 1);
    top->addWidget(TimeLabel_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Previous_);
    buttons->addWidget(Next_);
    buttons->addStretch();
    buttons->addWidget(Submit_);
    buttons->addWidget(Close_);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addWidget(Panel_);
    layout->addStretch(1);
    layout->addWidget(ScoreLabel_);
    layout->addWidget(ReviewBox_, 1);
    layout->addLayout(buttons);
    setCentralWidget(central);
    ScoreLabel_->hide();
    ReviewBox_->hide();
    Close_->hide();
    statusBar()->setObjectName(QStringLiteral("StatusLine"));
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    resize(760, 600);
}

void SittingWindow::connectWidgets()
{
    connect(Panel_, &QuestionPanel::answerEdited, this,
        [this](const QString& typed) { session_.setAnswer(position_, toProgram(typed)); });
    // Enter moves on to the next question; on the last it stays, and Submit is one key away.
    connect(Panel_, &QuestionPanel::answerGiven, this, [this] { Next_->click(); });
    connect(Previous_, &QPushButton::clicked, this, [this] { showPosition(position_ - 1); });
    connect(Next_, &QPushButton::clicked, this, [this] { showPosition(position_ + 1); });
    connect(Submit_, &QPushButton::clicked, this, &SittingWindow::submit);
    connect(Close_, &QPushButton::clicked, this, &SittingWindow::close);
    connect(clock_, &QTimer::timeout, this, &SittingWindow::tick);
}

void SittingWindow::showPosition(int position)
{
    if (position < 1 || position > session_.count() || session_.submitted())
        return;
    position_ = position;
    Panel_->showQuestion(
        session_.question(position_), QStringLiteral("Question %1 of %2").arg(position_).arg(session_.count()));
    Panel_->setAnswer(fromProgram(session_.answer(position_)));
    Previous_->setEnabled(position_ > 1);
    Next_->setEnabled(position_ < session_.count());
    Panel_->focusAnswer();
}

void SittingWindow::tick()
{
    if (session_.submitted())
        return;
    const auto now = std::chrono::system_clock::now();
    const auto deadline = session_.deadline();
    if (!deadline) {
        TimeLabel_->setText(QStringLiteral("No time limit"));
        return;
    }
    if (session_.timeUp(now)) {
        submit();
        statusBar()->showMessage(QStringLiteral("The time is up: your answers were submitted."));
        return;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(*deadline - now).count();
    TimeLabel_->setText(QStringLiteral("Time left: %1:%2")
                            .arg(seconds / 60)
                            .arg(static_cast<int>(seconds % 60), 2, 10, QLatin1Char('0')));
}

void SittingWindow::submit()
{
    if (session_.submitted())
        return;
    clock_->stop();
    session_.submit(std::chrono::system_clock::now());
    const ResultsRecord results = session_.results();
    ScoreLabel_->setText(scoreText(results.score, results.total, results.percent())
        + (results.passed() ? QStringLiteral(": passed.")
                            : QStringLiteral(": not passed (pass mark %1 %).").arg(results.passPercent)));
    ReviewBox_->setHtml(reviewHtml());
    Panel_->hide();
    Previous_->hide();
    Next_->hide();
    Submit_->hide();
    TimeLabel_->hide();
    // The space below the question goes to the review now.
    if (auto* layout = qobject_cast<QVBoxLayout*>(centralWidget()->layout()))
        layout->setStretch(2, 0);
    ScoreLabel_->show();
    ReviewBox_->show();
    Close_->show();
    ReviewBox_->setFocus();
    statusBar()->showMessage(saveSessionResults(this, dataFolder_, results));
}

// Every question with the answer given, its verdict and feedback, and the worked solution in
// a fixed-pitch block.
QString SittingWindow::reviewHtml() const
{
    QString html;
    for (int position = 1; position <= session_.count(); ++position) {
        const StudentQuestion& question = session_.question(position);
        const MarkedAnswer& marked = session_.marked(position);
        html += QStringLiteral("<h3>Question %1</h3><p>%2</p>")
                    .arg(position)
                    .arg(escaped(question.text).replace(QLatin1Char('\n'), QStringLiteral("<br>")));
        QStringList lines;
        if (marked.refused) {
            lines << QStringLiteral("Wrong.")
                  << QStringLiteral("Your answer: %1")
                         .arg(
                             marked.typed.empty() ? QStringLiteral("none") : fromProgram(marked.typed).toHtmlEscaped());
            if (!marked.message.empty())
                lines << fromProgram(marked.message).toHtmlEscaped();
            lines << QStringLiteral("The correct answer: %1")
                         .arg(fromProgram(correctAnswerText(question)).toHtmlEscaped());
        } else {
            for (const std::string& line : feedbackLines(question, marked))
                lines << fromProgram(line).toHtmlEscaped();
        }
        html += QStringLiteral("<p>%1</p>").arg(lines.join(QStringLiteral("<br>")));
        html += QStringLiteral("<pre>%1</pre>").arg(escaped(question.solution));
    }
    return html;
}

void SittingWindow::closeEvent(QCloseEvent* event)
{
    submit();
    event->accept();
}

} // namespace tb
