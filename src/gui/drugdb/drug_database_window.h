#pragma once

#include "core/drugdb/drug_editor.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tb {

struct AppState;
class Prompts;

/// The drug database editor, frmDrugDatabase: one record of MXDBASE.FIL at a time.
/// Emits closed() once it has closed and the index files have been rebuilt.
/// The record logic lives in DrugEditor; the window copies its controls into the
/// editor's screen before each action and shows the result afterwards.
class DrugDatabaseWindow final : public QWidget {
    Q_OBJECT

public:
    DrugDatabaseWindow(AppState& state, Prompts& prompts, QWidget* parent = nullptr);
    ~DrugDatabaseWindow() override;

    DrugEditor& editor() { return editor_; }

    void Command1_Click(int index);
    void next_Click(int index);
    void Delete_Click();
    void Quit_Click();
    void Type_Click(int index);
    /// "&Weight Dose...": edits the shown drug's dose per kg in WeightDoseDialog.
    void Command9_Click();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets();
    void connectWidgets();
    /// Copies the controls into the editor's screen.
    void pullScreen();
    /// Shows the editor's screen in the controls.
    void pushScreen();
    /// Runs an editor action between pullScreen and pushScreen; nothing it throws escapes.
    template <typename Action> void act(Action&& action);

    AppState& state_;
    Prompts& prompts_;
    DrugEditor editor_;
    bool loaded_ = false;
    bool closedSent_ = false;

    QPushButton* Command9_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QLabel* Label2_ = nullptr;
    std::array<QLineEdit*, 2> Text2_ {};
    QLabel* Label3_ = nullptr;
    std::array<QLineEdit*, 2> Text3_ {};
    std::array<QComboBox*, 2> List1_ {};
    QLabel* Label5_ = nullptr;
    QLabel* Label10_ = nullptr;
    QLineEdit* Increment_ = nullptr;
    QLabel* Label14_ = nullptr;
    QLabel* Label4_ = nullptr;
    QLabel* Label8_ = nullptr;
    QLabel* Label7_ = nullptr;
    std::array<QComboBox*, EditorScreen::Rows> Type_ {};
    std::array<QLineEdit*, EditorScreen::Rows> Dose_ {};
    std::array<QComboBox*, EditorScreen::Rows> doseunit_ {};
    std::array<QCheckBox*, EditorScreen::Rows> Check1_ {};
    std::array<QLabel*, EditorScreen::Rows> Label6_ {};
    std::array<QLineEdit*, EditorScreen::Rows> noof_ {};
    std::array<QLabel*, EditorScreen::Rows> Label11_ {};
    QLabel* Label12_ = nullptr;
    QComboBox* Cbcategory_ = nullptr;
    QLabel* Label9_ = nullptr;
    QLabel* Recordno_ = nullptr;
    std::array<QPushButton*, 2> Command1_ {}; // index 2 (first) and 3 (last)
    std::array<QToolButton*, 2> next_ {};
    QToolButton* Delete_ = nullptr;
    QPushButton* Quit_ = nullptr;
};

} // namespace tb
