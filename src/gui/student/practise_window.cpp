#include "gui/student/practise_window.h"

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
#include <QVBoxLayout>

#include <chrono>

namespace tb {

PractiseWindow::PractiseWindow(
    PractiseSession session, const QString& testTitle, std::filesystem::path dataFolder, QWidget* parent)
    : QMainWindow(parent)
    , session_(std::move(session))
    , dataFolder_(std::move(dataFolder))
{
    createWidgets(testTitle);
    connectWidgets();
    showCurrent();
}

void PractiseWindow::createWidgets(const QString& testTitle)
{
    setObjectName(QStringLiteral("PractiseWindow"));
    setWindowTitle(QStringLiteral("Practise: %1 - Dosarion").arg(testTitle));
    addSessionMenus(*this, QStringLiteral("&Finish Practice"), "mnuFinish");

    auto* central = new QWidget(this);
    Panel_ = new QuestionPanel(true, central);
    TriesLabel_ = new QLabel(central);
    TriesLabel_->setObjectName(QStringLiteral("TriesLabel"));
    ShowSolution_ = sessionButton(
        QStringLiteral("Show &Solution"), "ShowSolutionButton", QStringLiteral("Show the worked solution"), central);
    Previous_
        = sessionButton(QStringLiteral("&Previous"), "PreviousButton", QStringLiteral("Previous question"), central);
    Next_ = sessionButton(QStringLiteral("&Next"), "NextButton", QStringLiteral("Next question"), central);
    AnotherLikeThis_ = sessionButton(QStringLiteral("Another &Like This"), "AnotherLikeThisButton",
        QStringLiteral("Another question like this"), central);
    Finish_ = sessionButton(QStringLiteral("&Finish"), "FinishButton", QStringLiteral("Finish the practice"), central);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ShowSolution_);
    buttons->addWidget(AnotherLikeThis_);
    buttons->addStretch();
    buttons->addWidget(Previous_);
    buttons->addWidget(Next_);
    buttons->addWidget(Finish_);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(Panel_, 1);
    layout->addWidget(TriesLabel_);
    layout->addLayout(buttons);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusLine"));
    resize(760, 600);
}

void PractiseWindow::connectWidgets()
{
    connect(Panel_, &QuestionPanel::answerGiven, this, &PractiseWindow::answerGiven);
    connect(ShowSolution_, &QPushButton::clicked, this, [this] {
        session_.showSolution();
        showState();
    });
    connect(Previous_, &QPushButton::clicked, this, [this] {
        if (session_.previous())
            showCurrent();
    });
    connect(Next_, &QPushButton::clicked, this, [this] {
        if (session_.next())
            showCurrent();
    });
    connect(AnotherLikeThis_, &QPushButton::clicked, this, [this] {
        if (session_.anotherLikeThis())
            showCurrent();
    });
    connect(Finish_, &QPushButton::clicked, this, &PractiseWindow::close);
}

// A question seen before shows where it stands: its last answer, its feedback, its solution.
void PractiseWindow::showCurrent()
{
    const QuestionState& state = session_.current();
    Panel_->showQuestion(
        state.question, QStringLiteral("Question %1 of %2").arg(session_.position()).arg(session_.count()));
    if (!state.answers.empty()) {
        Panel_->setAnswer(fromProgram(state.answers.back().typed));
        Panel_->showFeedback(state.question, state.answers.back(), state.done || state.solutionShown);
    }
    showState();
    Panel_->focusAnswer();
}

void PractiseWindow::showState()
{
    const QuestionState& state = session_.current();
    if (state.solutionShown)
        Panel_->showSolution(state.question);
    Panel_->setAnswering(!state.done);
    ShowSolution_->setEnabled(!state.solutionShown);
    const int left = session_.triesLeft();
    TriesLabel_->setText(state.done ? QString()
            : left == 1             ? QStringLiteral("1 try left.")
                                    : QStringLiteral("%1 tries left.").arg(left));
    Previous_->setEnabled(session_.position() > 1);
    Next_->setEnabled(session_.position() < session_.count());
    AnotherLikeThis_->setEnabled(session_.hasAnotherLikeThis());
}

void PractiseWindow::answerGiven(const QString& typed)
{
    const MarkedAnswer marked = session_.answer(toProgram(typed));
    Panel_->showFeedback(
        session_.current().question, marked, session_.current().done || session_.current().solutionShown);
    showState();
    if (session_.current().done && session_.position() < session_.count())
        Next_->setFocus();
    else
        Panel_->focusAnswer();
}

void PractiseWindow::finish()
{
    if (finished_)
        return;
    finished_ = true;
    resultsLine_ = saveSessionResults(this, dataFolder_, session_.results(std::chrono::system_clock::now()));
}

void PractiseWindow::closeEvent(QCloseEvent* event)
{
    finish();
    event->accept();
}

} // namespace tb
