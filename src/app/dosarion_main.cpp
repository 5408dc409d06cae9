// Dosarion, the students' program. It works in its current folder (the launcher starts it in
// the teachers' data folder), reads the tests and the drug database there, and writes only its
// own results files. It takes no folder lock: teachers and a class of students share the folder.

#include "core/foundation/app_state.h"
#include "core/startup/startup_loader.h"
#include "core/student/sessions.h"
#include "gui/common/tool_icons.h"
#include "gui/student/student_start_window.h"
#include "gui/student/text_size.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace {

/// The last guard against a fault in an event handler: it is shown to the student instead
/// of ending the program.
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
        QMessageBox::warning(activeWindow(), QStringLiteral("Dosarion"),
            what + QStringLiteral("\n\nThe last action may not have been completed."));
        reporting_ = false;
    }

    bool reporting_ = false;
};

QtMessageHandler defaultHandler = nullptr;

// Qt ends the process on a fatal message (the display cannot be reached, say): one line and a status.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Dosarion cannot go on: %s\n", qPrintable(text));
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
        std::fputs("Dosarion needs a graphical display, and none was found "
                   "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n",
            stderr);
        return 2;
    }
    defaultHandler = qInstallMessageHandler(messageHandler);
    try {
        GuardedApplication app(argc, argv);
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
