#pragma once

#include "core/testbuilder/class_versions.h"

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tb {

class ExamModel;

/// "Class Versions": the number of versions (spnversions, 1 to 60), the base file name (txtbase,
/// with cmdbrowse for the save dialog), the outputs (chkoutput_0 test files, _1 PDF, _2
/// learning-platform export) and a code to make one version again (txtcode; while it holds text
/// the number is not asked). cmdok "&Make" checks the answers and closes; cmdcancel "&Cancel".
/// The dialog only collects: the caller makes the versions from request().
class ClassVersionsDialog final : public QDialog {
    Q_OBJECT

public:
    ClassVersionsDialog(Prompts& prompts, const std::string& base, QWidget* parent = nullptr);

    /// The answers as the controls hold them (`only` is empty for a code that is not one).
    VersionRequest request() const;

    void cmdok_Click();
    void cmdbrowse_Click();

private:
    void createWidgets(const std::string& base);
    void connectWidgets();

    Prompts& prompts_;
    QSpinBox* spnversions_ = nullptr;
    QLineEdit* txtbase_ = nullptr;
    QPushButton* cmdbrowse_ = nullptr;
    std::array<QCheckBox*, 3> chkoutput_ {};
    QLineEdit* txtcode_ = nullptr;
    QPushButton* cmdok_ = nullptr;
    QPushButton* cmdcancel_ = nullptr;
};

/// "Class &Versions...": asks with the dialog, then makes the versions of `model`'s current
/// choices with the count box's text, showing their progress; the PDF is rendered by Qt.
void runClassVersions(
    QWidget* parent, ExamModel& model, AppState& state, Prompts& prompts, const std::string& countText);

} // namespace tb
