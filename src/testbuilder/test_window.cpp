#include "testbuilder/test_window.h"

namespace tb {

class TestWindow::Impl {};

TestWindow::TestWindow(AppState&, Prompts&, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Frmexam"));
}

TestWindow::~TestWindow() = default;

} // namespace tb
