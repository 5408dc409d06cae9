#include "gui/student/question_panel.h"

#include "core/student/student_exam.h"
#include "gui/common/program_text.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

namespace {

QString joinedLines(const std::vector<std::string>& lines)
{
    QStringList shown;
    for (const std::string& line : lines)
        shown << fromProgram(line);
    return shown.join(QLatin1Char('\n'));
}

} // namespace

QuestionPanel::QuestionPanel(bool marking, QWidget* parent)
    : QWidget(parent)
{
    createWidgets(marking);
    connectWidgets();
}

void QuestionPanel::createWidgets(bool marking)
{
    setObjectName(QStringLiteral("QuestionPanel"));
    Heading_ = new QLabel(this);
    Heading_->setObjectName(QStringLiteral("QuestionHeading"));
    QFont bold = Heading_->font();
    bold.setBold(true);
    Heading_->setFont(bold);

    QuestionText_ = new QLabel(this);
    QuestionText_->setObjectName(QStringLiteral("QuestionText"));
    QuestionText_->setAccessibleName(QStringLiteral("Question"));
    QuestionText_->setTextFormat(Qt::PlainText);
    QuestionText_->setWordWrap(true);
    QuestionText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QuestionText_->setFocusPolicy(Qt::StrongFocus);

    DecimalsLabel_ = new QLabel(this);
    DecimalsLabel_->setObjectName(QStringLiteral("DecimalsLabel"));

    AnswerLabel_ = new QLabel(QStringLiteral("&Answer:"), this);
    AnswerLabel_->setObjectName(QStringLiteral("AnswerLabel"));
    AnswerBox_ = new QLineEdit(this);
    AnswerBox_->setObjectName(QStringLiteral("AnswerBox"));
    AnswerBox_->setAccessibleName(QStringLiteral("Answer"));
    AnswerBox_->setMaxLength(40);
    AnswerLabel_->setBuddy(AnswerBox_);
    UnitLabel_ = new QLabel(this);
    UnitLabel_->setObjectName(QStringLiteral("UnitLabel"));
    UnitLabel_->setAccessibleName(QStringLiteral("Unit of the answer"));

    auto* answerRow = new QHBoxLayout;
    answerRow->addWidget(AnswerLabel_);
    answerRow->addWidget(AnswerBox_, 1);
    answerRow->addWidget(UnitLabel_);
    if (marking) {
        CheckButton_ = new QPushButton(QStringLiteral("&Check"), this);
        CheckButton_->setObjectName(QStringLiteral("CheckButton"));
        CheckButton_->setAccessibleName(QStringLiteral("Check the answer"));
        answerRow->addWidget(CheckButton_);
    }
    answerRow->addStretch();

    FeedbackText_ = new QLabel(this);
    FeedbackText_->setObjectName(QStringLiteral("FeedbackText"));
    FeedbackText_->setAccessibleName(QStringLiteral("Feedback"));
    FeedbackText_->setTextFormat(Qt::PlainText);
    FeedbackText_->setWordWrap(true);
    FeedbackText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    SolutionLabel_ = new QLabel(QStringLiteral("Worked solution:"), this);
    SolutionLabel_->setObjectName(QStringLiteral("SolutionLabel"));
    SolutionBox_ = new QPlainTextEdit(this);
    SolutionBox_->setObjectName(QStringLiteral("SolutionBox"));
    SolutionBox_->setAccessibleName(QStringLiteral("Worked solution"));
    SolutionBox_->setReadOnly(true);
    SolutionBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    SolutionBox_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    SolutionBox_->setTabChangesFocus(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Heading_);
    layout->addWidget(QuestionText_);
    layout->addWidget(DecimalsLabel_);
    layout->addLayout(answerRow);
    layout->addWidget(FeedbackText_);
    layout->addWidget(SolutionLabel_);
    layout->addWidget(SolutionBox_, 1);
    FeedbackText_->setVisible(marking);
    SolutionLabel_->hide();
    SolutionBox_->hide();
}

void QuestionPanel::connectWidgets()
{
    const auto check = [this] {
        if (!CheckButton_ || CheckButton_->isEnabled())
            emit answerGiven(AnswerBox_->text());
    };
    connect(AnswerBox_, &QLineEdit::returnPressed, this, check);
    if (CheckButton_)
        connect(CheckButton_, &QPushButton::clicked, this, check);
    connect(AnswerBox_, &QLineEdit::textEdited, this, &QuestionPanel::answerEdited);
}

void QuestionPanel::showQuestion(const StudentQuestion& question, const QString& heading)
{
    Heading_->setText(heading);
    QuestionText_->setText(toDisplay(question.text, true));
    const std::string decimals = decimalsSentence(question);
    DecimalsLabel_->setText(fromProgram(decimals));
    DecimalsLabel_->setVisible(!decimals.empty());
    UnitLabel_->setText(fromProgram(question.unit));
    AnswerBox_->clear();
    FeedbackText_->clear();
    SolutionBox_->clear();
    SolutionLabel_->hide();
    SolutionBox_->hide();
    setAnswering(true);
}

void QuestionPanel::showFeedback(const StudentQuestion& question, const MarkedAnswer& marked, bool final)
{
    FeedbackText_->setText(joinedLines(feedbackLines(question, marked, final)));
}

void QuestionPanel::showSolution(const StudentQuestion& question)
{
    SolutionBox_->setPlainText(toDisplay(question.solution, true));
    SolutionLabel_->show();
    SolutionBox_->show();
}

void QuestionPanel::setAnswering(bool answering)
{
    AnswerBox_->setReadOnly(!answering);
    if (CheckButton_)
        CheckButton_->setEnabled(answering);
}

QString QuestionPanel::answer() const
{
    return AnswerBox_->text();
}

void QuestionPanel::setAnswer(const QString& text)
{
    AnswerBox_->setText(text);
}

void QuestionPanel::focusAnswer()
{
    AnswerBox_->setFocus();
    AnswerBox_->selectAll();
}

} // namespace tb
