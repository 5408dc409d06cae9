#include "gui/testbuilder/student_settings_dialog.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/prompts.h"
#include "core/student/exam_list.h"
#include "core/testbuilder/exam_model.h"
#include "gui/common/program_text.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace tb {

namespace {

const char* const DialogTitle = "Student Settings";

// The ranges the side file's reader accepts, so that every file written reads back whole.
constexpr int MaxTries = 9;
constexpr int MaxAttempts = 99;
constexpr int MaxMinutes = 60;
constexpr int MaxExtraPercent = 400;
constexpr int MaxNameLength = 60;

QSpinBox* spinBox(QWidget* parent, const char* name, int low, int high, const char* accessible)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setAccessibleName(QString::fromLatin1(accessible));
    return box;
}

} // namespace

StudentSettingsDialog::StudentSettingsDialog(
    Prompts& prompts, const StudentSettings& initial, const std::string& fileLabel, QWidget* parent)
    : QDialog(parent)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("StudentSettingsDialog"));
    setWindowTitle(QString::fromLatin1(DialogTitle));
    createWidgets(fileLabel);
    showSettings(initial);
    connectWidgets();
    enableControls();
}

void StudentSettingsDialog::createWidgets(const std::string& fileLabel)
{
    auto label = [this](const char* name, const char* caption, QWidget* buddy) {
        auto* l = new QLabel(QString::fromLatin1(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        if (buddy)
            l->setBuddy(buddy);
        return l;
    };

    auto* Lblfile = new QLabel(fromProgram(fileLabel), this);
    Lblfile->setObjectName(QStringLiteral("Lblfile"));
    Lblfile->setWordWrap(true);

    Cbomode_ = new QComboBox(this);
    Cbomode_->setObjectName(QStringLiteral("Cbomode"));
    Cbomode_->addItem(QStringLiteral("Practise: each question marked at once, then its worked solution"));
    Cbomode_->addItem(QStringLiteral("Sit: marked when handed in, attempts and time limited"));
    Cbomode_->setAccessibleName(QStringLiteral("Way of working"));
    Txttries_ = spinBox(this, "Txttries", 1, MaxTries, "Tries per question");
    Txtattempts_ = spinBox(this, "Txtattempts", 1, MaxAttempts, "Attempts per student");
    Txtminutes_ = spinBox(this, "Txtminutes", 0, MaxMinutes, "Time limit per question in minutes");
    Txtminutes_->setSpecialValueText(QStringLiteral("none"));
    Txtpassmark_ = spinBox(this, "Txtpassmark", 0, 100, "Pass mark in percent");
    Txtpassmark_->setSuffix(QStringLiteral(" %"));

    auto* form = new QFormLayout;
    form->addRow(label("Lblmode", "&Way of working:", Cbomode_), Cbomode_);
    form->addRow(label("Lbltries", "&Tries per question (practise):", Txttries_), Txttries_);
    form->addRow(label("Lblattempts", "&Attempts per student (sit):", Txtattempts_), Txtattempts_);
    form->addRow(label("Lblminutes", "Time &limit per question, in minutes (sit):", Txtminutes_), Txtminutes_);
    form->addRow(label("Lblpassmark", "&Pass mark:", Txtpassmark_), Txtpassmark_);

    Grdextra_ = new QTableWidget(0, 2, this);
    Grdextra_->setObjectName(QStringLiteral("Grdextra"));
    Grdextra_->setAccessibleName(QStringLiteral("Extra time for named students"));
    Grdextra_->setHorizontalHeaderLabels({ QStringLiteral("Student"), QStringLiteral("Extra time (percent)") });
    Grdextra_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    Grdextra_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    Grdextra_->verticalHeader()->setVisible(false);
    Grdextra_->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grdextra_->setSelectionMode(QAbstractItemView::SingleSelection);
    Grdextra_->setTabKeyNavigation(false); // Tab leaves the table; the arrow keys move inside it
    Grdextra_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
        | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    Cmdaddstudent_ = new QPushButton(QStringLiteral("A&dd Student"), this);
    Cmdaddstudent_->setObjectName(QStringLiteral("Cmdaddstudent"));
    Cmdaddstudent_->setAutoDefault(false);
    Cmdremovestudent_ = new QPushButton(QStringLiteral("&Remove Student"), this);
    Cmdremovestudent_->setObjectName(QStringLiteral("Cmdremovestudent"));
    Cmdremovestudent_->setAutoDefault(false);
    auto* tableButtons = new QVBoxLayout;
    tableButtons->addWidget(Cmdaddstudent_);
    tableButtons->addWidget(Cmdremovestudent_);
    tableButtons->addStretch(1);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(Grdextra_, 1);
    tableRow->addLayout(tableButtons);

    cmdok_ = new QPushButton(QStringLiteral("OK"), this);
    cmdok_->setObjectName(QStringLiteral("cmdok"));
    cmdok_->setDefault(true);
    cmdcancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cmdcancel_->setObjectName(QStringLiteral("cmdcancel"));
    cmdcancel_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdok_);
    buttons->addWidget(cmdcancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Lblfile);
    layout->addLayout(form);
    layout->addWidget(label("Lblextra", "&Extra time for named students (sit, with a time limit):", Grdextra_));
    layout->addLayout(tableRow, 1);
    layout->addLayout(buttons);

    setTabOrder(Cbomode_, Txttries_);
    setTabOrder(Txttries_, Txtattempts_);
    setTabOrder(Txtattempts_, Txtminutes_);
    setTabOrder(Txtminutes_, Txtpassmark_);
    setTabOrder(Txtpassmark_, Grdextra_);
    setTabOrder(Grdextra_, Cmdaddstudent_);
    setTabOrder(Cmdaddstudent_, Cmdremovestudent_);
    setTabOrder(Cmdremovestudent_, cmdok_);
    setTabOrder(cmdok_, cmdcancel_);
    resize(560, 460);
}

void StudentSettingsDialog::connectWidgets()
{
    connect(Cbomode_, &QComboBox::currentIndexChanged, this, &StudentSettingsDialog::enableControls);
    connect(Cmdaddstudent_, &QPushButton::clicked, this, &StudentSettingsDialog::Cmdaddstudent_Click);
    connect(Cmdremovestudent_, &QPushButton::clicked, this, &StudentSettingsDialog::Cmdremovestudent_Click);
    connect(Grdextra_, &QTableWidget::itemSelectionChanged, this, &StudentSettingsDialog::enableControls);
    connect(cmdok_, &QPushButton::clicked, this, &StudentSettingsDialog::cmdok_Click);
    connect(cmdcancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void StudentSettingsDialog::showSettings(const StudentSettings& settings)
{
    Cbomode_->setCurrentIndex(settings.mode == StudentMode::Sit ? 1 : 0);
    Txttries_->setValue(settings.tries);
    Txtattempts_->setValue(settings.attempts);
    Txtminutes_->setValue(settings.minutesPerQuestion);
    Txtpassmark_->setValue(settings.passPercent);
    for (const auto& [name, percent] : settings.extraTime)
        addRow(fromProgram(name), QString::number(percent));
}

// Tries count when practising; attempts, the time limit and extra time when sitting.
void StudentSettingsDialog::enableControls()
{
    const bool sit = Cbomode_->currentIndex() == 1;
    Txttries_->setEnabled(!sit);
    Txtattempts_->setEnabled(sit);
    Txtminutes_->setEnabled(sit);
    Grdextra_->setEnabled(sit);
    Cmdaddstudent_->setEnabled(sit && Grdextra_->rowCount() < MaxExtraTimeStudents);
    Cmdremovestudent_->setEnabled(sit && Grdextra_->currentRow() >= 0);
}

void StudentSettingsDialog::addRow(const QString& name, const QString& percent)
{
    const int row = Grdextra_->rowCount();
    Grdextra_->insertRow(row);
    Grdextra_->setItem(row, 0, new QTableWidgetItem(name));
    Grdextra_->setItem(row, 1, new QTableWidgetItem(percent));
}

void StudentSettingsDialog::Cmdaddstudent_Click()
{
    if (Grdextra_->rowCount() >= MaxExtraTimeStudents)
        return;
    addRow(QString(), QStringLiteral("25"));
    const int row = Grdextra_->rowCount() - 1;
    Grdextra_->setFocus();
    Grdextra_->setCurrentCell(row, 0);
    Grdextra_->editItem(Grdextra_->item(row, 0));
    enableControls();
}

void StudentSettingsDialog::Cmdremovestudent_Click()
{
    const int row = Grdextra_->currentRow();
    if (row < 0)
        return;
    Grdextra_->removeRow(row);
    if (Grdextra_->rowCount() > 0)
        Grdextra_->setCurrentCell(std::min(row, Grdextra_->rowCount() - 1), 0);
    else
        Cmdaddstudent_->setFocus();
    enableControls();
}

StudentSettings StudentSettingsDialog::settings() const
{
    StudentSettings settings;
    settings.mode = Cbomode_->currentIndex() == 1 ? StudentMode::Sit : StudentMode::Practise;
    settings.tries = Txttries_->value();
    settings.attempts = Txtattempts_->value();
    settings.minutesPerQuestion = Txtminutes_->value();
    settings.passPercent = Txtpassmark_->value();
    for (int row = 0; row < Grdextra_->rowCount(); ++row) {
        const QString name = Grdextra_->item(row, 0) ? Grdextra_->item(row, 0)->text().trimmed() : QString();
        bool whole = false;
        const int percent = Grdextra_->item(row, 1) ? Grdextra_->item(row, 1)->text().trimmed().toInt(&whole) : 0;
        if (!name.isEmpty() && whole)
            settings.extraTime[toProgram(name)] = percent;
    }
    return settings;
}

std::string StudentSettingsDialog::tableProblem(int& row, int& column) const
{
    std::set<QString> seen;
    for (row = 0; row < Grdextra_->rowCount(); ++row) {
        const QString name = Grdextra_->item(row, 0) ? Grdextra_->item(row, 0)->text().trimmed() : QString();
        const QString percentText = Grdextra_->item(row, 1) ? Grdextra_->item(row, 1)->text().trimmed() : QString();
        const std::string rowText = "Row " + std::to_string(row + 1) + " of the extra-time table";
        column = 0;
        if (name.isEmpty()) {
            if (percentText.isEmpty())
                continue; // an empty row is left out
            return rowText + " has no student's name.";
        }
        const std::string quoted = "\"" + toProgram(name) + "\"";
        if (name.contains(QLatin1Char('=')) || !holdsOnlyProgramCharacters(name))
            return rowText + ": the name " + quoted + " holds a character a name cannot have here (such as \"=\").";
        if (name.size() > MaxNameLength)
            return rowText + ": a name has at most " + std::to_string(MaxNameLength) + " characters.";
        if (!seen.insert(name).second)
            return quoted + " is in the extra-time table twice.";
        column = 1;
        bool whole = false;
        const int percent = percentText.toInt(&whole);
        bool digits = !percentText.isEmpty();
        for (const QChar c : percentText)
            digits = digits && c.isDigit();
        if (!digits || !whole || percent < 1 || percent > MaxExtraPercent)
            return "The extra time of " + quoted + " is a whole percent from 1 to " + std::to_string(MaxExtraPercent)
                + ".";
    }
    return {};
}

void StudentSettingsDialog::cmdok_Click()
{
    // A cell still being edited counts with what it shows.
    Grdextra_->setCurrentIndex(QModelIndex());
    int row = 0;
    int column = 0;
    const std::string problem = tableProblem(row, column);
    if (!problem.empty()) {
        prompts_.message(problem, DialogTitle);
        Grdextra_->setFocus();
        Grdextra_->setCurrentCell(row, column);
        return;
    }
    accept();
}

namespace {

void askAndWrite(QWidget* parent, const ExamModel& model, Prompts& prompts)
{
    if (model.WorkingFile() == NewTestFileName) {
        prompts.message("This test has not been saved yet. Save it first (File, \"Save  As Test\"): its student "
                        "settings are kept in a file beside it.",
            DialogTitle);
        return;
    }
    // The versions of a class set are one test in Dosarion and share their set's settings.
    const bool versionSet = !descriptionVersionCode(model.header().TestDescription).empty();
    const std::filesystem::path sideFile = studentSettingsPath(model.targets().workingPath(), versionSet);
    const std::string fileName = toCp1252(sideFile.filename().string());
    const StudentSettingsRead read = readStudentSettings(sideFile);

    std::string details;
    for (const std::string& problem : read.problems)
        details += (details.empty() ? "" : "\n") + problem;
    if (!read.problems.empty())
        prompts.message("The student settings in \"" + fileName
                + "\" could not all be read; the dialog shows the defaults in their place. The file is replaced "
                  "only when you say so.",
            DialogTitle, details);

    std::string label = "Settings file: " + fileName;
    if (versionSet)
        label += " (for every version of this class set)";
    else if (!read.found)
        label += " (not made yet: Dosarion uses the defaults)";
    StudentSettingsDialog dialog(prompts, read.settings, label, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!read.problems.empty()
        && !prompts.askYesNo("\"" + fileName + "\" could not be read in full. Replace it with these settings?", false))
        return;
    // A file that cannot be written leaves the dialog open with the teacher's answers in it.
    do {
        try {
            writeStudentSettings(sideFile, dialog.settings());
            return;
        } catch (const std::exception& error) {
            prompts.message(
                "The student settings could not be written to \"" + fileName + "\".", DialogTitle, error.what());
        }
    } while (dialog.exec() == QDialog::Accepted);
}

} // namespace

void runStudentSettings(QWidget* parent, const ExamModel& model, Prompts& prompts)
{
    try {
        askAndWrite(parent, model, prompts);
    } catch (const std::exception& error) {
        prompts.message("The student settings could not be opened.", DialogTitle, error.what());
    }
}

} // namespace tb
