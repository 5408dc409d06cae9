#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QPushButton;

namespace tb {

struct AppState;

/// The settings window `default`: five options of the settings record as check
/// boxes Check1_0..Check1_4 and the buttons Command1_0 "&Use", Command1_1 "&Save",
/// Command1_2 "&Restore Defaults". Modal; changes state.settings.
class SettingsWindow final : public QDialog {
    Q_OBJECT

public:
    explicit SettingsWindow(AppState& state, QWidget* parent = nullptr);

    void putsettings();
    void getsettings();
    void Command1_Click(int index);

private:
    void createWidgets();
    void connectWidgets();

    AppState& state_;
    std::array<QCheckBox*, 5> Check1_ {};
    std::array<QPushButton*, 3> Command1_ {};
};

} // namespace tb
