#include "startup/settings_window.h"

namespace tb {

SettingsWindow::SettingsWindow(AppState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("default"));
}

void SettingsWindow::putsettings() {}
void SettingsWindow::getsettings() {}
void SettingsWindow::Command1_Click(int) {}
void SettingsWindow::createWidgets() {}
void SettingsWindow::connectWidgets() {}

} // namespace tb
