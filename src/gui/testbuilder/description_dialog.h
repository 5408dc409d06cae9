#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QPushButton;

namespace tb {

class ExamModel;
class FieldEdit;
class LineField;

/// Frmtitle, "Test Description": the title (Txttitle, 40), the description
/// (Txtdescription_0, 200, Enter swallowed), the instructions (Txtdescription_1, 600),
/// Check1 for MenuListed, cmdtitleaccept_0 "&OK" and cmdtitleaccept_1 "&Cancel".
/// OK hands the texts to the model; the caller writes the header (puttitle) after
/// the dialog closes, whichever button closed it.
class DescriptionDialog final : public QDialog {
    Q_OBJECT

public:
    explicit DescriptionDialog(ExamModel& model, QWidget* parent = nullptr);

    void cmdtitleaccept_Click(int index);

private:
    void createWidgets();
    void connectWidgets();

    ExamModel& model_;
    LineField* Txttitle_ = nullptr;
    std::array<FieldEdit*, 2> Txtdescription_ {};
    QCheckBox* Check1_ = nullptr;
    std::array<QPushButton*, 2> cmdtitleaccept_ {};
};

} // namespace tb
