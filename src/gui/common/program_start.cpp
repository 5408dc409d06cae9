#include "gui/common/program_start.h"

#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

namespace tb {

namespace {

const char* startingProgram = "The program";
QtMessageHandler defaultHandler = nullptr;

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s cannot go on: %s\n", startingProgram, qPrintable(text));
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

GuardedApplication::GuardedApplication(int& argc, char** argv, QString programName)
    : QApplication(argc, argv)
    , programName_(std::move(programName))
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
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

void GuardedApplication::report(const QString& what)
{
    if (reporting_)
        return;
    reporting_ = true;
    QMessageBox::warning(
        activeWindow(), programName_, what + QStringLiteral("\n\nThe last action may not have been completed."));
    reporting_ = false;
}

bool prepareProgramStart(const char* programName)
{
    startingProgram = programName;
    if (!hasDisplay()) {
        std::fprintf(stderr,
            "%s needs a graphical display, and none was found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n",
            programName);
        return false;
    }
    defaultHandler = qInstallMessageHandler(messageHandler);
    return true;
}

} // namespace tb
