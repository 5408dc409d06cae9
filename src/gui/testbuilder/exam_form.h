#pragma once

#include "core/foundation/exam_record.h"

#include <QLabel>

#include <array>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QPushButton;
class QToolButton;

namespace tb {

class FieldEdit;

/// A label of the form "File : <path>" that never asks for more room than its caption: the
/// path is shown elided in the middle to the width the label has. Its text stays whole.
class PathLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /// The caption before the path ("File : "), kept whole.
    QString caption() const;
};

/// The controls of the test construction window and their layout: the title and file
/// labels, the editing area with its navigation on the left, Create Question and its
/// options on the right. It builds them into the window; the window gives them behaviour.
struct ExamForm final {
    explicit ExamForm(QMainWindow& window);

    QLabel* Label5 = nullptr;
    PathLabel* Label7 = nullptr;
    QLabel* Lblquestionno = nullptr;
    QLabel* Label1 = nullptr;
    std::array<QLabel*, 3> Label2 {};
    std::array<FieldEdit*, 2> Txtquestion {};
    QLineEdit* txtanswer = nullptr;
    QLabel* Label6 = nullptr;
    std::array<QToolButton*, 3> cmdforward {};
    std::array<QPushButton*, 2> Command2 {};
    std::array<QLabel*, 2> Label3 {};
    QLineEdit* Text1 = nullptr;
    QPushButton* Cmdgenerate = nullptr;
    std::array<QLabel*, 2> Label4 {};
    std::array<QCheckBox*, CategoryBoxCount> Check1 {};
    QListWidget* Lstcategory = nullptr;
    QPushButton* Command1 = nullptr;
};

} // namespace tb
