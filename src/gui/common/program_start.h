#pragma once

#include <QApplication>
#include <QString>

namespace tb {

/// A program's application object with the last guard against a fault in an event handler:
/// whatever a handler lets through is shown to the user, titled with the program's name,
/// instead of ending the program.
class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv, QString programName);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(const QString& what);

    QString programName_;
    bool reporting_ = false;
};

/// What a program does before its application object: without a display it says so in one line
/// and returns false; Qt's fatal messages (a display that cannot be reached) become one line
/// naming the program and exit status 2 instead of an abort.
bool prepareProgramStart(const char* programName);

} // namespace tb
