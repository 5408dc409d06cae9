// Dosarion, the students' program. It works in its current folder (the launcher starts it in
// the teachers' data folder), reads the tests and the drug database there, and writes only its
// own results files. It takes no folder lock: teachers and a class of students share the folder.

#include "core/foundation/app_state.h"
#include "core/startup/startup_loader.h"
#include "core/student/sessions.h"
#include "gui/common/program_start.h"
#include "gui/common/tool_icons.h"
#include "gui/student/student_start_window.h"
#include "gui/student/text_size.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

int main(int argc, char** argv)
{
    if (!tb::prepareProgramStart("Dosarion"))
        return 2;
    try {
        tb::GuardedApplication app(argc, argv, QStringLiteral("Dosarion"));
        QApplication::setApplicationName(QStringLiteral("Dosarion"));
        QApplication::setWindowIcon(tb::programIcon());
        QGuiApplication::setDesktopFileName(QStringLiteral("org.dosarion.Dosarion"));
        tb::applySavedTextSize();

        tb::AppState state(std::make_unique<tb::ProductionRandom>(), std::filesystem::current_path());
        // Without a drug database the tests still work; free practice then leaves out the
        // questions that need one.
        const bool drugDatabase = !tb::loadStudentFiles(state).has_value();

        tb::StudentStartWindow start(state, drugDatabase);
        start.show();
        return app.exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Dosarion stopped: %s\n", e.what());
        return 3;
    }
}
