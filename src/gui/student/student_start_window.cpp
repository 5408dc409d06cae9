#include "gui/student/student_start_window.h"

#include "core/foundation/app_state.h"
#include "core/student/results_file.h"
#include "core/student/sessions.h"
#include "core/student/student_settings.h"
#include "gui/common/program_text.h"
#include "gui/student/free_practice_window.h"
#include "gui/student/practise_window.h"
#include "gui/student/sitting_window.h"
#include "gui/student/text_size.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <chrono>
#include <exception>

namespace tb {

namespace {

// The list's last row, after the tests.
constexpr int FreePracticeRow = -1;

QString html(const std::string& programText)
{
    return toDisplay(programText, true).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QString plural(int count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

StudentSettingsRead settingsOf(const ListedExam& exam)
{
    return readStudentSettings(studentSettingsPath(exam.file(), exam.hasParallelForms()));
}

// How the teacher set the test to be worked, in the student's words.
QString wayText(const StudentSettings& settings, int questions)
{
    if (settings.mode == StudentMode::Practise)
        return QStringLiteral("Practice: %1 a question, then the worked solution.")
            .arg(plural(settings.tries, "try", "tries"));
    QString text = QStringLiteral("Test: %1, pass mark %2 %.")
                       .arg(plural(settings.attempts, "attempt", "attempts"))
                       .arg(settings.passPercent);
    if (settings.minutesPerQuestion > 0)
        text += QStringLiteral(" Time allowed: %1.")
                    .arg(plural(settings.minutesPerQuestion * questions, "minute", "minutes"));
    return text + QStringLiteral(" Your answers are marked when you submit them.");
}

} // namespace

StudentStartWindow::StudentStartWindow(AppState& state, bool drugDatabase, QWidget* parent)
    : QMainWindow(parent)
    , state_(state)
    , drugDatabase_(drugDatabase)
{
    createWidgets();
    connectWidgets();
    std::string reason;
    if (!canWriteResults(state_.dataFolder, reason)) {
        ResultsWarning_->setText(
            QStringLiteral("Your results cannot be saved: %1 You can still practise; tell your teacher.")
                .arg(QString::fromStdString(reason)));
        ResultsWarning_->show();
    }
    refresh();
}

void StudentStartWindow::createWidgets()
{
    setObjectName(QStringLiteral("StudentStartWindow"));
    setWindowTitle(QStringLiteral("Dosarion"));
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* reread = file->addAction(QStringLiteral("&Refresh List"));
    reread->setObjectName(QStringLiteral("mnuRefresh"));
    reread->setShortcut(QKeySequence::Refresh);
    connect(reread, &QAction::triggered, this, &StudentStartWindow::refresh);
    QAction* quit = file->addAction(QStringLiteral("E&xit"));
    quit->setObjectName(QStringLiteral("mnuExit"));
    connect(quit, &QAction::triggered, this, &StudentStartWindow::close);
    addViewMenu(*this);

    auto* central = new QWidget(this);
    NameLabel_ = new QLabel(QStringLiteral("Your &name or student number:"), central);
    NameLabel_->setObjectName(QStringLiteral("NameLabel"));
    NameBox_ = new QLineEdit(central);
    NameBox_->setObjectName(QStringLiteral("NameBox"));
    NameBox_->setAccessibleName(QStringLiteral("Your name or student number"));
    NameBox_->setMaxLength(60);
    NameLabel_->setBuddy(NameBox_);
    ResultsWarning_ = new QLabel(central);
    ResultsWarning_->setObjectName(QStringLiteral("ResultsWarning"));
    ResultsWarning_->setAccessibleName(QStringLiteral("Warning"));
    ResultsWarning_->setWordWrap(true);
    ResultsWarning_->setStyleSheet(QStringLiteral("QLabel { color: #8a1c00; font-weight: bold; }"));
    ResultsWarning_->hide();
    TestLabel_ = new QLabel(QStringLiteral("&Tests:"), central);
    TestLabel_->setObjectName(QStringLiteral("TestLabel"));
    TestList_ = new QListWidget(central);
    TestList_->setObjectName(QStringLiteral("TestList"));
    TestList_->setAccessibleName(QStringLiteral("Tests"));
    TestLabel_->setBuddy(TestList_);
    TestDetails_ = new QTextBrowser(central);
    TestDetails_->setObjectName(QStringLiteral("TestDetails"));
    TestDetails_->setAccessibleName(QStringLiteral("About the test"));
    Start_ = new QPushButton(QStringLiteral("&Start"), central);
    Start_->setObjectName(QStringLiteral("StartButton"));
    Start_->setAccessibleName(QStringLiteral("Start"));
    Start_->setDefault(true);
    Exit_ = new QPushButton(QStringLiteral("E&xit"), central);
    Exit_->setObjectName(QStringLiteral("ExitButton"));
    Exit_->setAccessibleName(QStringLiteral("Exit"));

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(NameLabel_);
    nameRow->addWidget(NameBox_, 1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(TestList_, 2);
    lists->addWidget(TestDetails_, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Start_);
    buttons->addWidget(Exit_);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(nameRow);
    layout->addWidget(ResultsWarning_);
    layout->addWidget(TestLabel_);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusLine"));
    resize(820, 560);
}

void StudentStartWindow::connectWidgets()
{
    connect(TestList_, &QListWidget::currentRowChanged, this, &StudentStartWindow::showDetails);
    connect(TestList_, &QListWidget::itemActivated, this, &StudentStartWindow::startSelected);
    connect(NameBox_, &QLineEdit::returnPressed, this, [this] { TestList_->setFocus(); });
    connect(Start_, &QPushButton::clicked, this, &StudentStartWindow::startSelected);
    connect(Exit_, &QPushButton::clicked, this, &StudentStartWindow::close);
}

void StudentStartWindow::refresh()
{
    const int kept = TestList_->currentRow();
    try {
        tests_ = listStudentTests(state_.dataFolder);
    } catch (const std::exception& e) {
        tests_.clear();
        statusBar()->showMessage(QString::fromStdString(e.what()));
    }
    TestList_->clear();
    for (const ListedExam& exam : tests_) {
        const QString name = fromProgram(exam.title);
        auto* item = new QListWidgetItem(exam.damaged
                ? QStringLiteral("%1 (cannot be read)").arg(QString::fromStdString(exam.file().filename().string()))
                : exam.title.empty() ? QString::fromStdString(exam.file().filename().string())
                                     : name);
        item->setData(Qt::UserRole, static_cast<int>(TestList_->count()));
        TestList_->addItem(item);
    }
    auto* free = new QListWidgetItem(QStringLiteral("Free practice"));
    free->setData(Qt::UserRole, FreePracticeRow);
    TestList_->addItem(free);
    TestList_->setCurrentRow(kept >= 0 && kept < TestList_->count() ? kept : 0);
    showDetails();
}

void StudentStartWindow::showDetails()
{
    const QListWidgetItem* item = TestList_->currentItem();
    if (!item) {
        TestDetails_->clear();
        return;
    }
    const int index = item->data(Qt::UserRole).toInt();
    if (index == FreePracticeRow) {
        TestDetails_->setHtml(QStringLiteral("<h3>Free practice</h3><p>Tick the kinds of question you want and "
                                             "practise as long as you like. Every answer is marked at once, "
                                             "with the worked solution.</p>"));
        Start_->setEnabled(true);
        return;
    }
    const ListedExam& exam = tests_[static_cast<std::size_t>(index)];
    if (exam.damaged) {
        TestDetails_->setHtml(QStringLiteral("<h3>%1</h3><p>This test cannot be read: %2</p><p>Tell your teacher.</p>")
                                  .arg(QString::fromStdString(exam.file().filename().string()).toHtmlEscaped(),
                                      QString::fromStdString(exam.reason).toHtmlEscaped()));
        Start_->setEnabled(false);
        return;
    }
    const StudentSettingsRead settings = settingsOf(exam);
    QString text = QStringLiteral("<h3>%1</h3>").arg(html(exam.title));
    if (!exam.description.empty())
        text += QStringLiteral("<p>%1</p>").arg(html(exam.description));
    if (!exam.instructions.empty())
        text += QStringLiteral("<p><b>Instructions:</b> %1</p>").arg(html(exam.instructions));
    text += QStringLiteral("<p>%1.").arg(plural(exam.questionCount, "question", "questions"));
    if (exam.hasParallelForms())
        text += QStringLiteral(" %1 parallel forms.").arg(exam.forms.size());
    text += QStringLiteral("</p><p>%1</p>").arg(wayText(settings.settings, exam.questionCount).toHtmlEscaped());
    TestDetails_->setHtml(text);
    Start_->setEnabled(true);
}

// The name is asked once a session: once a test has been started it stays.
bool StudentStartWindow::takeStudentName()
{
    if (NameBox_->text().trimmed().isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Type your name or student number first."));
        NameBox_->setFocus();
        return false;
    }
    NameBox_->setText(NameBox_->text().trimmed());
    NameBox_->setReadOnly(true);
    return true;
}

void StudentStartWindow::startSelected()
{
    const QListWidgetItem* item = TestList_->currentItem();
    if (!item || open_ || !takeStudentName())
        return;
    const int index = item->data(Qt::UserRole).toInt();
    if (index == FreePracticeRow) {
        openSession(new FreePracticeWindow(state_, drugDatabase_, toProgram(NameBox_->text()), state_.dataFolder));
        return;
    }
    const ListedExam& exam = tests_[static_cast<std::size_t>(index)];
    if (exam.damaged)
        return;
    try {
        startTest(exam);
    } catch (const std::exception& e) {
        QMessageBox::warning(this, QStringLiteral("Dosarion"),
            QStringLiteral("This test cannot be started.\n\n%1").arg(QString::fromStdString(e.what())));
    }
}

void StudentStartWindow::startTest(const ListedExam& exam)
{
    const StudentSettingsRead read = settingsOf(exam);
    if (!read.problems.empty())
        statusBar()->showMessage(QString::fromStdString(read.problems.front()));
    const std::string student = toProgram(NameBox_->text());
    const QString title = fromProgram(exam.title);
    std::vector<LoadedForm> forms = loadForms(exam);
    const auto now = std::chrono::system_clock::now();
    if (read.settings.mode == StudentMode::Practise) {
        openSession(new PractiseWindow(
            PractiseSession(std::move(forms), read.settings, student, now), title, state_.dataFolder));
        return;
    }
    const std::vector<ResultsRecord> earlier = sittingsOf(state_.dataFolder, student, exam.title);
    const SitSession::Start plan = SitSession::plan(forms, read.settings, earlier);
    if (!plan.allowed) {
        statusBar()->showMessage(fromProgram(plan.reason));
        return;
    }
    const SittingWindow::Heading heading { title, plan.attemptsHad + 1, read.settings.attempts,
        read.settings.passPercent };
    openSession(new SittingWindow(
        SitSession(std::move(forms[plan.form]), read.settings, student, now), heading, state_.dataFolder));
}

void StudentStartWindow::openSession(QMainWindow* window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFont(QApplication::font());
    open_ = window;
    connect(window, &QObject::destroyed, this, [this] {
        show();
        refresh();
        TestList_->setFocus();
    });
    window->show();
    hide();
}

} // namespace tb
