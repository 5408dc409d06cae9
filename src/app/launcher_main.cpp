// The installed commands `tutorbench` and `dosarion`: each finds the data folder and starts its
// program in it. Tutor Bench's seeds a new folder with the sample drug database; Dosarion's
// only reads the teachers' folder, so it never seeds one. The programs themselves work in
// their current folder and take no arguments; the choice of folder lives here alone, in one
// file both commands share.

#include "core/foundation/file_error.h"
#include "core/launcher/data_folder.h"
#include "core/launcher/desktop_identity.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#ifdef TB_STUDENT_LAUNCHER
constexpr const char* Title = "Dosarion";
constexpr bool Seeds = false;
constexpr const char* FolderCaption = "Choose the folder that holds your teachers' tests";
char toolkitName[] = "dosarion";
#else
constexpr const char* Title = "Tutor Bench";
constexpr bool Seeds = true;
constexpr const char* FolderCaption = "Choose the folder for your tests and drug database";
char toolkitName[] = "tutorbench";
#endif

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool hasDisplay()
{
    return !environment("DISPLAY").empty() || !environment("WAYLAND_DISPLAY").empty()
        || !environment("QT_QPA_PLATFORM").empty();
}

// The toolkit is started only to ask for a folder or to report a problem, and only
// where there is a desktop to show it on.
std::optional<QApplication> toolkit;
int toolkitArgc = 1;
char* toolkitArgv[] = { toolkitName, nullptr };

bool desktop()
{
    if (!toolkit && hasDisplay()) {
        toolkit.emplace(toolkitArgc, toolkitArgv);
        QApplication::setApplicationName(QString::fromLatin1(tb::WindowClass));
        QGuiApplication::setDesktopFileName(QString::fromLatin1(tb::DesktopEntryId));
    }
    return toolkit.has_value();
}

// Reports on the terminal and, where there is a desktop, in a message box.
void report(const std::string& text, bool problem = true)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    if (!desktop())
        return;
    const QString shown = QString::fromStdString(text);
    if (problem)
        QMessageBox::critical(nullptr, QString::fromLatin1(Title), shown);
    else
        QMessageBox::information(nullptr, QString::fromLatin1(Title), shown);
}

// The folder the teacher picks in the system's folder dialog; nothing when cancelled.
std::optional<fs::path> askForFolder(const fs::path& start)
{
    const QString folder = QFileDialog::getExistingDirectory(
        nullptr, QString::fromLatin1(FolderCaption), QString::fromStdString(start.string()));
    if (folder.isEmpty())
        return std::nullopt;
    return fs::path(QDir::cleanPath(folder).toStdString());
}

// Where the folder dialog opens: the folder chosen before, or the default one when there is
// none or the file that names it is damaged (choosing again is how that is put right).
fs::path dialogStart(const tb::LauncherEnvironment& env)
{
    try {
        if (const auto chosen = tb::readChosenFolder(tb::chosenFolderFile(env)))
            return *chosen;
    } catch (const tb::FileError&) {
    }
    return tb::defaultDataFolder(env);
}

int usage(int status)
{
    std::fprintf(status == 0 ? stdout : stderr,
        "Usage: %-29s start %s in your data folder\n"
        "       %s --choose-folder [FOLDER]\n"
        "                                     use FOLDER (or one picked in a dialog) from now on\n",
        toolkitName, Title, toolkitName);
    return status;
}

int launch(int argc, char** argv)
{
    const std::string option = argc > 1 ? argv[1] : "";
    if (option == "--help" || option == "-h")
        return usage(0);
    const bool choosing = option == "--choose-folder";
    if ((argc > 1 && !choosing) || argc > 3)
        return usage(2);

    const fs::path here = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path program = (here / TB_PROGRAM_RELATIVE).lexically_normal();
    const fs::path sample = (here / TB_SAMPLE_RELATIVE).lexically_normal();
    const tb::LauncherEnvironment env { environment("HOME"), environment("XDG_DATA_HOME"),
        environment("XDG_CONFIG_HOME") };

    fs::path folder;
    try {
        if (choosing) {
            std::optional<fs::path> picked;
            if (argc == 3)
                picked = fs::absolute(argv[2]).lexically_normal();
            else if (desktop())
                picked = askForFolder(dialogStart(env));
            else
                return usage(2);
            if (!picked)
                return 0;
            std::error_code ec;
            const fs::file_type type = fs::status(*picked, ec).type();
            if (type != fs::file_type::directory)
                throw tb::FileError(picked->string(),
                    "\"" + picked->string() + "\" "
                        + (type == fs::file_type::not_found ? std::string("does not exist")
                                : ec                        ? "cannot be opened (" + ec.message() + ")"
                                                            : std::string("is a file, not a folder"))
                        + ". Choose a folder. Nothing has been changed.");
            // Refused before anything is copied into it.
            tb::checkRecordable(*picked);
            // The folder was just chosen, so it is there: a new one gets the sample drug database.
            if (Seeds && tb::seedFolder(*picked, sample) && argc == 2)
                report("The folder \"" + picked->string()
                        + "\" held no drug database, so the sample drug database was copied into it.",
                    false);
            tb::writeChosenFolder(tb::chosenFolderFile(env), *picked);
        }
        folder = Seeds ? tb::prepareDataFolder(env, sample) : tb::studentDataFolder(env);
    } catch (const std::exception& e) {
        report(e.what());
        return 1;
    }

    if (::chdir(folder.c_str()) != 0) {
        report(std::string(Title) + " cannot open its data folder \"" + folder.string() + "\": " + std::strerror(errno)
            + ".");
        return 1;
    }
    toolkit.reset();
    ::execv(program.c_str(), toolkitArgv);
    report(
        std::string(Title) + " cannot start the program \"" + program.string() + "\": " + std::strerror(errno) + ".");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int status = launch(argc, argv);
    toolkit.reset();
    return status;
}
