#pragma once

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QTableWidget;

namespace tb {

struct Attempt;

/// One student's attempts: pick an attempt, see each answer with its mark and diagnosis.
class AttemptDialog final : public QDialog {
    Q_OBJECT

public:
    /// `attempts` oldest first; the last one is shown first.
    explicit AttemptDialog(std::vector<const Attempt*> attempts, QWidget* parent = nullptr);

    void showAttempt(int index);

private:
    void createWidgets();
    void connectWidgets();

    std::vector<const Attempt*> attempts_;
    QComboBox* cboattempt_ = nullptr;
    QLabel* lblsummary_ = nullptr;
    QTableWidget* grdanswers_ = nullptr;
};

} // namespace tb
