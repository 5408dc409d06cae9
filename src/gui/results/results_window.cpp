#include "gui/results/results_window.h"

#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"
#include "core/foundation/prompts.h"
#include "core/foundation/record_file.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/target_file.h"
#include "gui/common/program_text.h"
#include "gui/results/attempt_dialog.h"
#include "gui/results/right_rate_chart.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tb {

namespace fs = std::filesystem;

namespace {

const char* const WindowTitle = "Student Results";
const char* const CsvFilter = "CSV file (*.csv)|*.csv|";

// A cell that sorts by its key: a number, or a text without regard to letter case.
class SortItem final : public QTableWidgetItem {
public:
    SortItem(const QString& text, const QVariant& key)
        : QTableWidgetItem(text)
    {
        setData(Qt::UserRole, key);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const QVariant mine = data(Qt::UserRole);
        const QVariant theirs = other.data(Qt::UserRole);
        if (mine.typeId() == QMetaType::QString)
            return mine.toString().compare(theirs.toString(), Qt::CaseInsensitive) < 0;
        return mine.toDouble() < theirs.toDouble();
    }
};

QTableWidgetItem* numberItem(const QString& text, double key)
{
    return new SortItem(text, key);
}

QTableWidgetItem* textItem(const QString& text)
{
    auto* item = new SortItem(text, text);
    item->setToolTip(text);
    return item;
}

} // namespace

ResultsWindow::ResultsWindow(
    std::unique_ptr<ClassResults> results, const TargetFiles& targets, Prompts& prompts, QWidget* parent)
    : QDialog(parent)
    , results_(std::move(results))
    , targets_(targets)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(QStringLiteral("%1 - %2").arg(QString::fromLatin1(WindowTitle), fromProgram(results_->title())));
    createWidgets();
    connectWidgets();
    refresh();
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::createWidgets()
{
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* waysLabel = new QLabel(QStringLiteral("&Count:"), this);
    cboways_ = new QComboBox(this);
    cboways_->setObjectName(QStringLiteral("cboways"));
    cboways_->addItems(
        { QStringLiteral("Sittings and practice"), QStringLiteral("Sittings only"), QStringLiteral("Practice only") });
    waysLabel->setBuddy(cboways_);
    lblcount_ = new QLabel(this);
    lblcount_->setObjectName(QStringLiteral("lblcount"));
    top->addWidget(waysLabel);
    top->addWidget(cboways_);
    top->addWidget(lblcount_, 1);
    layout->addLayout(top);

    grdstudents_ = new QTableWidget(0, 6, this);
    grdstudents_->setObjectName(QStringLiteral("grdstudents"));
    grdstudents_->setHorizontalHeaderLabels({ QStringLiteral("Student"), QStringLiteral("Best %"),
        QStringLiteral("Last %"), QStringLiteral("Attempts"), QStringLiteral("Result"), QStringLiteral("Time taken") });
    grdstudents_->setToolTip(QStringLiteral("Double-click a student to see each answer of their attempts."));
    grdquestions_ = new QTableWidget(0, 7, this);
    grdquestions_->setObjectName(QStringLiteral("grdquestions"));
    grdquestions_->setHorizontalHeaderLabels({ QStringLiteral("No."), QStringLiteral("Question"),
        QStringLiteral("Asked"), QStringLiteral("Right at first try"), QStringLiteral("Right in all"),
        QStringLiteral("Right %"), QStringLiteral("Commonest diagnosis") });
    for (QTableWidget* table : { grdstudents_, grdquestions_ }) {
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setSortingEnabled(true);
        table->verticalHeader()->hide();
    }
    grdstudents_->sortByColumn(0, Qt::AscendingOrder);
    grdstudents_->setWordWrap(false);
    grdstudents_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdstudents_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdquestions_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdquestions_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    grdquestions_->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    chart_ = new RightRateChart(this);

    auto* upper = new QSplitter(Qt::Horizontal, this);
    upper->addWidget(grdstudents_);
    upper->addWidget(chart_);
    upper->setStretchFactor(0, 3);
    upper->setStretchFactor(1, 2);
    upper->setSizes({ 600, 400 });
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("splresults"));
    split->addWidget(upper);
    split->addWidget(grdquestions_);
    layout->addWidget(split, 1);

    lblunreadable_ = new QLabel(this);
    lblunreadable_->setObjectName(QStringLiteral("lblunreadable"));
    txtunreadable_ = new QPlainTextEdit(this);
    txtunreadable_->setObjectName(QStringLiteral("txtunreadable"));
    txtunreadable_->setReadOnly(true);
    txtunreadable_->setMaximumHeight(70);
    layout->addWidget(lblunreadable_);
    layout->addWidget(txtunreadable_);

    auto* buttons = new QHBoxLayout;
    cmdmarks_ = new QPushButton(QStringLiteral("Export &Marks..."), this);
    cmdmarks_->setObjectName(QStringLiteral("cmdmarks"));
    cmdanalysis_ = new QPushButton(QStringLiteral("Export &Analysis..."), this);
    cmdanalysis_->setObjectName(QStringLiteral("cmdanalysis"));
    cmdclear_ = new QPushButton(QStringLiteral("C&lear Results..."), this);
    cmdclear_->setObjectName(QStringLiteral("cmdclear"));
    cmdclose_ = new QPushButton(QStringLiteral("Close"), this);
    cmdclose_->setObjectName(QStringLiteral("cmdclose"));
    buttons->addWidget(cmdmarks_);
    buttons->addWidget(cmdanalysis_);
    buttons->addStretch(1);
    buttons->addWidget(cmdclear_);
    buttons->addWidget(cmdclose_);
    layout->addLayout(buttons);
    resize(1000, 700);
}

void ResultsWindow::connectWidgets()
{
    connect(cboways_, &QComboBox::currentIndexChanged, this, &ResultsWindow::refresh);
    connect(grdstudents_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openStudent(row); });
    connect(cmdmarks_, &QPushButton::clicked, this, &ResultsWindow::exportMarks);
    connect(cmdanalysis_, &QPushButton::clicked, this, &ResultsWindow::exportAnalysis);
    connect(cmdclear_, &QPushButton::clicked, this, &ResultsWindow::clearResults);
    connect(cmdclose_, &QPushButton::clicked, this, &QDialog::accept);
}

ResultsWays ResultsWindow::ways() const
{
    switch (cboways_->currentIndex()) {
    case 1:
        return ResultsWays::Sittings;
    case 2:
        return ResultsWays::Practice;
    default:
        return ResultsWays::All;
    }
}

void ResultsWindow::refresh()
{
    students_ = results_->students(ways());
    questions_ = results_->questions(ways());
    int attempts = 0;
    for (const StudentSummary& student : students_)
        attempts += student.attempts;
    lblcount_->setText(QStringLiteral("%1 students, %2 attempts").arg(students_.size()).arg(attempts));

    grdstudents_->setSortingEnabled(false);
    grdstudents_->setRowCount(static_cast<int>(students_.size()));
    for (int r = 0; r < static_cast<int>(students_.size()); ++r) {
        const StudentSummary& s = students_[static_cast<std::size_t>(r)];
        QTableWidgetItem* name = textItem(fromProgram(s.student));
        name->setData(Qt::UserRole + 1, r); // the summary behind the row, wherever sorting puts it
        grdstudents_->setItem(r, 0, name);
        QTableWidgetItem* best = numberItem(QStringLiteral("%1 %").arg(s.bestPercent), s.bestPercent);
        best->setToolTip(QStringLiteral("%1 of %2").arg(s.bestScore).arg(s.bestTotal));
        grdstudents_->setItem(r, 1, best);
        QTableWidgetItem* last = numberItem(QStringLiteral("%1 %").arg(s.lastPercent), s.lastPercent);
        last->setToolTip(QStringLiteral("%1 of %2").arg(s.lastScore).arg(s.lastTotal));
        grdstudents_->setItem(r, 2, last);
        grdstudents_->setItem(r, 3, numberItem(QString::number(s.attempts), s.attempts));
        grdstudents_->setItem(r, 4, textItem(s.passed ? QStringLiteral("pass") : QStringLiteral("fail")));
        grdstudents_->setItem(
            r, 5, numberItem(fromProgram(durationText(s.bestSeconds)), static_cast<double>(s.bestSeconds)));
    }
    grdstudents_->setSortingEnabled(true);

    grdquestions_->setSortingEnabled(false);
    grdquestions_->setRowCount(static_cast<int>(questions_.size()));
    std::vector<int> rates;
    QStringList texts;
    for (int r = 0; r < static_cast<int>(questions_.size()); ++r) {
        const QuestionSummary& q = questions_[static_cast<std::size_t>(r)];
        grdquestions_->setItem(r, 0, numberItem(QString::number(r + 1), r + 1));
        grdquestions_->setItem(r, 1, textItem(fromProgram(q.text)));
        grdquestions_->setItem(r, 2, numberItem(QString::number(q.asked), q.asked));
        grdquestions_->setItem(r, 3, numberItem(QString::number(q.firstTry), q.firstTry));
        grdquestions_->setItem(r, 4, numberItem(QString::number(q.right), q.right));
        grdquestions_->setItem(r, 5, numberItem(QStringLiteral("%1 %").arg(q.rightPercent()), q.rightPercent()));
        grdquestions_->setItem(r, 6, textItem(fromProgram(q.diagnosisLine())));
        rates.push_back(q.rightPercent());
        texts.push_back(fromProgram(q.text));
    }
    grdquestions_->setSortingEnabled(true);
    grdquestions_->sortByColumn(0, Qt::AscendingOrder);
    chart_->setRates(std::move(rates), texts);

    const std::vector<UnreadableFile>& unreadable = results_->unreadable();
    QString lines;
    for (const UnreadableFile& file : unreadable)
        lines += fromProgram(file.reason) + QLatin1Char('\n');
    lblunreadable_->setText(
        QStringLiteral("%1 files could not be read and were left out (nothing was changed):").arg(unreadable.size()));
    txtunreadable_->setPlainText(lines.trimmed());
    lblunreadable_->setVisible(!unreadable.empty());
    txtunreadable_->setVisible(!unreadable.empty());
    cmdclear_->setEnabled(!results_->attempts().empty());
}

void ResultsWindow::openStudent(int row)
{
    const QTableWidgetItem* name = grdstudents_->item(row, 0);
    if (!name)
        return;
    const int index = name->data(Qt::UserRole + 1).toInt();
    if (index < 0 || index >= static_cast<int>(students_.size()))
        return;
    std::vector<const Attempt*> attempts;
    for (const std::size_t i : students_[static_cast<std::size_t>(index)].attemptIndices)
        attempts.push_back(&results_->attempts()[i]);
    AttemptDialog dialog(std::move(attempts), this);
    dialog.exec();
}

void ResultsWindow::save(const char* title, const std::string& proposed, const std::string& bytes)
{
    int filter = 1;
    std::string chosen
        = stripBlanks(nameFromDialog(prompts_.saveFileNameProposing(title, CsvFilter, filter, proposed)));
    if (chosen.empty())
        return;
    if (fs::path(fromCp1252(chosen)).extension().empty())
        chosen += ".csv";
    const fs::path target = targets_.resolve(chosen);
    const std::string name = toCp1252(target.filename().string());
    // The one check of every writer: never the open test, a program file or a held test. Its
    // lock is held until the file is written.
    const TargetCheck check = targets_.check(target);
    if (check.refused()) {
        prompts_.message("Nothing was exported to " + name + ".\r\n\r\n" + check.reason, WindowTitle);
        return;
    }
    if (!targets_.mayReplace(target, name))
        return;
    try {
        targets_.writeWhole(target, bytes);
    } catch (const std::exception& error) {
        prompts_.message("\"" + name + "\" could not be written; nothing was changed.", WindowTitle, error.what());
    }
}

void ResultsWindow::exportMarks()
{
    save("Export Marks", results_->title() + " marks.csv", marksCsv(students_));
}

void ResultsWindow::exportAnalysis()
{
    save("Export Analysis", results_->title() + " questions.csv", analysisCsv(questions_));
}

void ResultsWindow::clearResults()
{
    std::vector<UnreadableFile> problems;
    const int removed = results_->clear(prompts_, problems);
    if (!problems.empty()) {
        std::string details;
        for (const UnreadableFile& problem : problems)
            details += (details.empty() ? "" : "\n") + problem.reason;
        prompts_.message(formatInt(removed) + " results files were removed; "
                + formatInt(static_cast<long long>(problems.size())) + " were left as they are.",
            WindowTitle, details);
    } else if (removed > 0) {
        prompts_.notice(formatInt(removed) + " results files were removed.", WindowTitle);
    }
    refresh();
}

void runStudentResults(QWidget* parent, const ExamModel& model, const AppState& state, Prompts& prompts)
{
    try {
        if (model.WorkingFile() == NewTestFileName) {
            prompts.message("This test has not been saved yet, so no student has taken it. Save it first (File, "
                            "\"Save  As Test\").",
                WindowTitle);
            return;
        }
        auto results = std::make_unique<ClassResults>(
            state.dataFolder, model.targets().workingPath(), stripBlanks(model.header().TestTitle));
        ResultsWindow window(std::move(results), model.targets(), prompts, parent);
        window.exec();
    } catch (const std::exception& error) {
        prompts.message("The student results could not be shown.", WindowTitle, error.what());
    }
}

} // namespace tb
