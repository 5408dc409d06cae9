#pragma once

#include "core/testbuilder/class_versions.h"

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tb {

class ExamModel;

/// "Class Versions": what the versions ask (optform_0 parallel forms of the test, with the
/// categories by position in lblparallel; optform_1 new questions of the window's count and
/// categories, shown in lblnew; lbldrugs the drug categories both use), the number of versions
/// (spnversions, 1 to 60), the folder of the set (txtfolder) and the base file name (txtbase,
/// with cmdbrowse for the save dialog), the outputs (chkoutput_0 test files, _1 PDF, _2
/// learning-platform export) and a code to make one version again (txtcode; while it holds text
/// the number is not asked). cmdok "&Make" checks the answers and closes; cmdcancel "&Cancel".
/// The dialog only collects: the caller makes the versions from request().
class ClassVersionsDialog final : public QDialog {
    Q_OBJECT

public:
    ClassVersionsDialog(Prompts& prompts, const VersionChoices& choices, QWidget* parent = nullptr);

    /// The answers as the controls hold them (`only` is empty for a code that is not one).
    VersionRequest request() const;

    void cmdok_Click();
    void cmdbrowse_Click();

private:
    void createWidgets(const VersionChoices& choices);
    void connectWidgets();

    Prompts& prompts_;
    std::array<QRadioButton*, 2> optform_ {};
    QLineEdit* txtfolder_ = nullptr;
    QSpinBox* spnversions_ = nullptr;
    QLineEdit* txtbase_ = nullptr;
    QPushButton* cmdbrowse_ = nullptr;
    std::array<QCheckBox*, 3> chkoutput_ {};
    QLineEdit* txtcode_ = nullptr;
    QPushButton* cmdok_ = nullptr;
    QPushButton* cmdcancel_ = nullptr;
};

/// "Class &Versions...": asks with the dialog, then makes the versions of the test in `model`
/// (or of the count box's text and the window's categories), showing their progress; the PDF is
/// rendered by Qt. A test file that cannot be read is reported, not thrown.
void runClassVersions(
    QWidget* parent, ExamModel& model, AppState& state, Prompts& prompts, const std::string& countText);

} // namespace tb
