#pragma once

#include <QString>

class QMainWindow;
class QPushButton;
class QWidget;

namespace tb {

/// A button of a question window: named, with its accessible name, and never the default, so
/// that Enter in the answer box checks the answer rather than pressing it.
QPushButton* sessionButton(const QString& caption, const char* name, const QString& accessible, QWidget* parent);

/// The menus of a question window: "&File" (`mnuFile`) holding one entry, `caption` named
/// `name`, that closes the window, then the "&View" menu of text sizes.
void addSessionMenus(QMainWindow& window, const QString& caption, const char* name);

} // namespace tb
