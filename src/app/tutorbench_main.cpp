#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/folder_lock.h"
#include "core/launcher/desktop_identity.h"
#include "core/startup/startup_loader.h"
#include "gui/common/qt_prompts.h"
#include "gui/common/tool_icons.h"
#include "gui/start/start_window.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace {

/// The last guard against a fault in an event handler: an exception that a handler
/// let through is shown to the teacher instead of ending the program.
class GuardedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            report(QString::fromStdString(e.what()));
        } catch (...) {
            report(QStringLiteral("An unexpected error occurred."));
        }
        return false;
    }

private:
    void report(const QString& what)
    {
        if (reporting_)
            return;
        reporting_ = true;
        QMessageBox::warning(activeWindow(), QString::fromLatin1(tb::ProgramTitle),
            what + QStringLiteral("\n\nThe last action may not have been completed."));
        reporting_ = false;
    }

    bool reporting_ = false;
};

// Qt ends the process on a fatal message (for one, when the display named in DISPLAY
// cannot be reached). Say so in one line and leave with a status instead of aborting.
QtMessageHandler defaultHandler = nullptr;

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Tutor Bench cannot go on: %s\n", qPrintable(text));
        std::fflush(stderr);
        std::_Exit(2);
    }
    if (defaultHandler)
        defaultHandler(type, context, text);
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    if (!hasDisplay()) {
        std::fputs("Tutor Bench needs a graphical display, and none was found "
                   "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n",
            stderr);
        return 2;
    }
    defaultHandler = qInstallMessageHandler(messageHandler);
    try {
        GuardedApplication app(argc, argv);
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
