#pragma once

#include <QDialog>

#include <array>
#include <optional>

class QLabel;
class QPushButton;

namespace tb {

/// Frmsave, the program's yes/no question: Label1 carries the caller's message,
/// Command1_0 "&Yes" and Command1_1 "&No" answer and close. Closing the window any
/// other way (close box, Escape) gives no answer, and the caller keeps the previous one.
class SaveDialog final : public QDialog {
    Q_OBJECT

public:
    explicit SaveDialog(const QString& message, QWidget* parent = nullptr);

    /// Index 0 "&Yes", index 1 "&No": stores the answer and closes.
    void Command1_Click(int index);

    /// The answer given, or `previous` when the window was closed without one.
    bool answer(bool previous) const { return answer_.value_or(previous); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createWidgets(const QString& message);
    void connectWidgets();

    QLabel* Label1_ = nullptr;
    std::array<QPushButton*, 2> Command1_ {};
    std::optional<bool> answer_;
};

} // namespace tb
