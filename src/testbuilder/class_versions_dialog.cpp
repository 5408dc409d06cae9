#include "testbuilder/class_versions_dialog.h"

#include "shell/qt_print.h"
#include "startup/cp1252.h"
#include "testbuilder/exam_model.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

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

ClassVersionsDialog::ClassVersionsDialog(Prompts& prompts, const std::string& base, QWidget* parent)
    : QDialog(parent)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("ClassVersionsDialog"));
    setWindowTitle(QString::fromLatin1(DialogTitle));
    createWidgets(base);
    connectWidgets();
}

void ClassVersionsDialog::createWidgets(const std::string& base)
{
    auto* form = new QFormLayout;
    auto label = [this](const char* name, const char* caption) {
        auto* l = new QLabel(QString::fromLatin1(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };

    spnversions_ = new QSpinBox(this);
    spnversions_->setObjectName(QStringLiteral("spnversions"));
    spnversions_->setRange(1, MaxVersions);
    spnversions_->setValue(MaxVersions / 2);
    QLabel* versions = label("lblversions", "&Number of versions:");
    versions->setBuddy(spnversions_);
    form->addRow(versions, spnversions_);

    txtbase_ = new QLineEdit(fromProgram(base), this);
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
    if (!stripBlanks(chosen).empty())
        txtbase_->setText(fromProgram(versionBaseName(chosen)));
}

void runClassVersions(
    QWidget* parent, ExamModel& model, AppState& state, Prompts& prompts, const std::string& countText)
{
    // The test's title is the first suggestion for the files' names.
    std::string base = stripBlanks(model.header().TestTitle);
    if (base.empty() || base == "untitled" || base.find_first_of("/\\:?*") != std::string::npos)
        base = "versions";
    ClassVersionsDialog dialog(prompts, base, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QtDocumentPrinter printer(parent);
    makeClassVersions(model, state, prompts, &printer, countText, dialog.request());
}

} // namespace tb
