#include "gui/testbuilder/class_versions_dialog.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/number_format.h"
#include "core/testbuilder/exam_model.h"
#include "gui/common/qt_print.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <filesystem>

namespace tb {

namespace {

QString fromProgram(const std::string& text)
{
    return QString::fromStdString(fromCp1252(text));
}

std::string toProgram(const QString& text)
{
    return toCp1252(text.toStdString());
}

const char* const DialogTitle = "Class Versions";
const char* const BrowseFilter = "Dosarion Test (dsq)|*.dsq|";

} // namespace

ClassVersionsDialog::ClassVersionsDialog(Prompts& prompts, const VersionChoices& choices, QWidget* parent)
    : QDialog(parent)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("ClassVersionsDialog"));
    setWindowTitle(QString::fromLatin1(DialogTitle));
    createWidgets(choices);
    connectWidgets();
}

void ClassVersionsDialog::createWidgets(const VersionChoices& choices)
{
    auto label = [this](const char* name, const std::string& caption) {
        auto* l = new QLabel(fromProgram(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto detail = [&label](const char* name, const std::string& text) {
        QLabel* l = label(name, text);
        l->setWordWrap(true);
        l->setIndent(24);
        return l;
    };

    // What the versions ask: the test's own questions by default, when any was generated.
    const bool anyGenerated
        = std::any_of(choices.parallel.begin(), choices.parallel.end(), [](int c) { return c != 0; });
    auto* kinds = new QVBoxLayout;
    const std::string questions = formatInt(static_cast<int>(choices.parallel.size()))
        + (choices.parallel.size() == 1 ? " question" : " questions");
    optform_[0] = new QRadioButton(fromProgram("P&arallel forms of this test (" + questions + ")"), this);
    optform_[0]->setEnabled(anyGenerated);
    kinds->addWidget(optform_[0]);
    kinds->addWidget(detail("lblparallel",
        anyGenerated ? parallelSummary(choices.parallel)
                     : "None of its questions was made by the question generators: every version would be the same."));
    optform_[1] = new QRadioButton(QStringLiteral("New &questions: count and categories from the window"), this);
    kinds->addWidget(optform_[1]);
    std::string names;
    for (const int c : choices.newCategories)
        names += (names.empty() ? "" : ", ") + categoryName(c);
    kinds->addWidget(detail("lblnew",
        formatInt(choices.newCount) + (choices.newCount == 1 ? " question of " : " questions of ") + names
            + ". Change them in the test window's count box and category boxes."));
    kinds->addWidget(label("lbldrugs",
        "Tablet and fluid questions use the drug categories selected in the window: "
            + formatInt(choices.drugCategoriesSelected) + " of " + formatInt(choices.drugCategories) + "."));
    for (std::size_t i = 0; i < optform_.size(); ++i)
        optform_[i]->setObjectName(QStringLiteral("optform_%1").arg(i));
    optform_[anyGenerated ? 0 : 1]->setChecked(true);

    auto* form = new QFormLayout;

    spnversions_ = new QSpinBox(this);
    spnversions_->setObjectName(QStringLiteral("spnversions"));
    spnversions_->setRange(1, MaxVersions);
    spnversions_->setValue(MaxVersions / 2);
    QLabel* versions = label("lblversions", "&Number of versions:");
    versions->setBuddy(spnversions_);
    form->addRow(versions, spnversions_);

    txtfolder_ = new QLineEdit(fromProgram(choices.folder), this);
    txtfolder_->setObjectName(QStringLiteral("txtfolder"));
    txtfolder_->setToolTip(QStringLiteral("A folder name alone lies beside the test; it is made when missing."));
    QLabel* folderLabel = label("lblfolder", "Fo&lder:");
    folderLabel->setBuddy(txtfolder_);
    form->addRow(folderLabel, txtfolder_);

    txtbase_ = new QLineEdit(fromProgram(choices.name), this);
    txtbase_->setObjectName(QStringLiteral("txtbase"));
    cmdbrowse_ = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdbrowse_->setObjectName(QStringLiteral("cmdbrowse"));
    cmdbrowse_->setAutoDefault(false);
    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(txtbase_, 1);
    baseRow->addWidget(cmdbrowse_);
    QLabel* baseLabel = label("lblbase", "&File names:");
    baseLabel->setBuddy(txtbase_);
    form->addRow(baseLabel, baseRow);

    const std::array<const char*, 3> outputs { "&Test files, one per version (name-01.dsq, ...)",
        "One &PDF: every paper, then the answer keys and solutions", "Learning-platform &export (Moodle XML)" };
    auto* outputBox = new QVBoxLayout;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        chkoutput_[i] = new QCheckBox(QString::fromLatin1(outputs[i]), this);
        chkoutput_[i]->setObjectName(QStringLiteral("chkoutput_%1").arg(i));
        chkoutput_[i]->setChecked(true);
        outputBox->addWidget(chkoutput_[i]);
    }
    form->addRow(label("lbloutputs", "Make:"), outputBox);

    txtcode_ = new QLineEdit(this);
    txtcode_->setObjectName(QStringLiteral("txtcode"));
    txtcode_->setPlaceholderText(QStringLiteral("K7F3-02"));
    txtcode_->setMaxLength(12);
    QLabel* code = label("lblcode", "Make one version again from its c&ode:");
    code->setBuddy(txtcode_);
    form->addRow(code, txtcode_);

    cmdok_ = new QPushButton(QStringLiteral("&Make"), this);
    cmdok_->setObjectName(QStringLiteral("cmdok"));
    cmdok_->setDefault(true);
    cmdcancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdcancel_->setObjectName(QStringLiteral("cmdcancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdok_);
    buttons->addWidget(cmdcancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(kinds);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void ClassVersionsDialog::connectWidgets()
{
    connect(cmdok_, &QPushButton::clicked, this, &ClassVersionsDialog::cmdok_Click);
    connect(cmdcancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdbrowse_, &QPushButton::clicked, this, &ClassVersionsDialog::cmdbrowse_Click);
    connect(txtcode_, &QLineEdit::textChanged, this,
        [this](const QString& text) { spnversions_->setEnabled(text.trimmed().isEmpty()); });
}

VersionRequest ClassVersionsDialog::request() const
{
    VersionRequest request;
    request.base = versionBaseName(toProgram(txtbase_->text()));
    request.folder = stripBlanks(toProgram(txtfolder_->text()));
    request.parallel = optform_[0]->isChecked();
    request.versions = spnversions_->value();
    if (!txtcode_->text().trimmed().isEmpty())
        request.only = parseVersionCode(toProgram(txtcode_->text()));
    request.testFiles = chkoutput_[0]->isChecked();
    request.pdf = chkoutput_[1]->isChecked();
    request.platform = chkoutput_[2]->isChecked();
    return request;
}

void ClassVersionsDialog::cmdok_Click()
{
    const VersionRequest answers = request();
    if (answers.base.empty()) {
        prompts_.message("Give a name for the files of the versions.", DialogTitle);
        txtbase_->setFocus();
        return;
    }
    if (!txtcode_->text().trimmed().isEmpty() && !answers.only) {
        prompts_.message("\"" + toProgram(txtcode_->text().trimmed())
                + "\" is not a version code. A code reads like K7F3-02: four letters or digits, a hyphen and the "
                  "version's number from 01 to 60.",
            DialogTitle);
        txtcode_->setFocus();
        return;
    }
    if (!answers.testFiles && !answers.pdf && !answers.platform) {
        prompts_.message("Tick at least one of the outputs.", DialogTitle);
        return;
    }
    accept();
}

void ClassVersionsDialog::cmdbrowse_Click()
{
    const std::string chosen = nameFromDialog(prompts_.saveFileName(DialogTitle, BrowseFilter, 1));
    if (stripBlanks(chosen).empty())
        return;
    // The dialog's choice names the folder and the files' name at once.
    const std::filesystem::path path(fromCp1252(versionBaseName(chosen)));
    if (path.has_parent_path())
        txtfolder_->setText(QString::fromStdString(path.parent_path().string()));
    txtbase_->setText(QString::fromStdString(path.filename().string()));
}

void runClassVersions(
    QWidget* parent, ExamModel& model, AppState& state, Prompts& prompts, const std::string& countText)
{
    VersionChoices choices;
    try {
        choices = versionChoices(model, state, countText);
    } catch (const std::exception& error) {
        prompts.message("The versions were not made.\r\n\r\n" + toCp1252(error.what()), "");
        return;
    }
    ClassVersionsDialog dialog(prompts, choices, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QtDocumentPrinter printer(parent);
    makeClassVersions(model, state, prompts, &printer, countText, dialog.request());
}

} // namespace tb
