#include "startup/app_state.h"
#include "startup/cp1252.h"
#include "startup/startup_loader.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("Tutor Bench needs a graphical display, and none was found (DISPLAY is not set).\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    tb::AppState state;
    if (const auto problem = tb::loadStartupFiles(state)) {
        QMessageBox::critical(nullptr, "Tutor Bench", QString::fromStdString(tb::fromCp1252(problem->message)));
        return 1;
    }
    return 0;
}
