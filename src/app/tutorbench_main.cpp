#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/folder_lock.h"
#include "core/launcher/desktop_identity.h"
#include "core/startup/startup_loader.h"
#include "gui/common/program_start.h"
#include "gui/common/qt_prompts.h"
#include "gui/common/tool_icons.h"
#include "gui/start/start_window.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

int main(int argc, char** argv)
{
    if (!tb::prepareProgramStart("Tutor Bench"))
        return 2;
    try {
        tb::GuardedApplication app(argc, argv, QString::fromLatin1(tb::ProgramTitle));
        QApplication::setApplicationName(QString::fromLatin1(tb::WindowClass));
        QApplication::setWindowIcon(tb::programIcon());
        // Lets the desktop match the windows to the installed menu entry and its icon.
        QGuiApplication::setDesktopFileName(QString::fromLatin1(tb::DesktopEntryId));

        // Every file of the program lives in the folder it was started in.
        tb::AppState state(std::make_unique<tb::ProductionRandom>(), std::filesystem::current_path());
        tb::QtPrompts prompts(state.dataFolder);

        // One copy of the program per folder: the lock is taken before any file of the folder
        // is read or written, and held until the program ends.
        tb::LockFile folderLock;
        const tb::FolderLockVerdict verdict = tb::lockFolder(folderLock, state.dataFolder);
        if (!verdict.message.empty())
            prompts.message(verdict.message, "");
        if (!verdict.proceed)
            return 1;
        state.lockWorkingFiles = true;

        tb::StartWindow start(state, prompts);
        start.show();

        // The index files of a rebuild that was stopped part way are made whole again first.
        if (const std::string note = tb::completeIndexRebuild(state.dataFolder); !note.empty())
            prompts.notice(note, "");

        if (const auto problem = tb::loadStartupFiles(state)) {
            prompts.fatal(problem->message, "");
            return 1;
        }
        return app.exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Tutor Bench stopped: %s\n", e.what());
        return 3;
    }
}
