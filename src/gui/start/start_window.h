#pragma once

#include <QPointer>
#include <QWidget>

#include <array>

class QFrame;
class QLabel;
class QPushButton;

namespace tb {

struct AppState;
class Prompts;
class ExamWindow;
class DrugDatabaseWindow;

/// frmstart, "Dosarion - Tutor Bench": the program's main window. Its two panels
/// open the test construction set (Label2_0, Image1_0) and the drug database editor
/// (Label2_1, Image1_1); Quit or closing the window ends the program. While a tool
/// is open the start window is hidden; it comes back when the tool closes.
class StartWindow final : public QWidget {
    Q_OBJECT

public:
    StartWindow(AppState& state, Prompts& prompts, QWidget* parent = nullptr);
    ~StartWindow() override;

    /// A click on a tool panel: 0 the test construction set, 1 the drug database.
    void Label2_Click(int index);
    /// A click on a panel's picture does what a click on its panel does.
    void Image1_Click(int index) { Label2_Click(index); }
    void Quit_Click();

    /// The open tool window of that index, or nullptr when it is not open.
    QWidget* toolWindow(int index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets();
    void connectWidgets();
    QWidget* createTool(int index);
    void toolClosed(int index);
    void showFocus(int index, bool focused);

    AppState& state_;
    Prompts& prompts_;
    QLabel* SSPanel1_ = nullptr;
    std::array<QFrame*, 2> Label2_ {};
    std::array<QLabel*, 2> Label2Caption_ {};
    std::array<QLabel*, 2> Image1_ {};
    QLabel* Label3_ = nullptr;
    QLabel* Label4_ = nullptr;
    QPushButton* Quit_ = nullptr;
    std::array<QPointer<QWidget>, 2> tools_;
};

} // namespace tb
