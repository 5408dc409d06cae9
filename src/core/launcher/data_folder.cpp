#include "core/launcher/data_folder.h"

#include "core/drugdb/drug_file.h"
#include "core/drugdb/index_files.h"
#include "core/drugdb/weight_doses.h"
#include "core/foundation/file_error.h"
#include "core/foundation/folder_lock.h"
#include "core/foundation/record_file.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tb {

namespace {

// The choice is one path; anything longer is not a file this launcher wrote.
constexpr std::size_t MaxChoiceBytes = 4096;
// The largest drug data file holds 32767 records of 240 bytes; the sample is far smaller.
constexpr std::uintmax_t MaxSampleFileBytes = 16u << 20;
// Seeding takes a few milliseconds; another start holding the folder longer than this is not seeding.
constexpr int SeedLockWaits = 40;
constexpr std::chrono::milliseconds SeedLockPause { 50 };

// The data file comes last, so that a seeding cut short is completed at the next start.
// The doses per kg are optional: a sample without them seeds the rest.
constexpr std::array<const char*, 5> SampleFiles { TabletIndexFileName, FluidIndexFileName, CategoryFileName,
    WeightDoseFileName, DrugDataFileName };

std::string quoted(const fs::path& path)
{
    return "\"" + path.string() + "\"";
}

// An XDG variable counts only when it holds an absolute path; otherwise the default under HOME.
fs::path xdgFolder(const std::string& value, const std::string& home, const char* fallback)
{
    if (!value.empty() && fs::path(value).is_absolute())
        return value;
    if (home.empty())
        throw FileError(
            "", "The home folder is not known (HOME is not set), so Tutor Bench cannot find its data folder.");
    return fs::path(home) / fallback;
}

} // namespace

fs::path chosenFolderFile(const LauncherEnvironment& env)
{
    return xdgFolder(env.xdgConfigHome, env.home, ".config") / "tutorbench" / "data-folder";
}

fs::path defaultDataFolder(const LauncherEnvironment& env)
{
    return xdgFolder(env.xdgDataHome, env.home, ".local/share") / "tutorbench";
}

std::optional<fs::path> readChosenFolder(const fs::path& file)
{
    const std::string name = quoted(file);
    const std::string what = "The file " + name + ", which names your data folder, ";
    const std::string advice = " Choose the folder again with \"Choose Data Folder\" in the Tutor Bench entry of the "
                               "applications menu, or delete the file to use your own data folder.";
    auto refuse = [&](const std::string& why) { return FileError(file.string(), what + why + advice); };

    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found)
        return std::nullopt;
    if (ec)
        throw refuse("cannot be read (" + ec.message() + ").");
    if (status.type() == fs::file_type::directory)
        throw refuse("is a folder, not a file.");
    if (status.type() != fs::file_type::regular)
        throw refuse("is not a plain file.");
    // Non-blocking, so that whatever replaced the file since the look above cannot hang the start.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw refuse("cannot be read (" + std::string(std::strerror(errno)) + ").");
    std::string text(MaxChoiceBytes + 1, '\0');
    std::size_t got = 0;
    int error = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (error != 0)
        throw refuse("cannot be read (" + std::string(std::strerror(error)) + ").");
    text.resize(got);
    if (text.size() > MaxChoiceBytes)
        throw refuse("is longer than " + std::to_string(MaxChoiceBytes) + " bytes, so it names no folder.");
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        throw refuse(
            "is damaged: it holds a NUL byte (byte " + std::to_string(nul + 1) + "), which no folder name can hold.");
    // One line; a line end, and blanks around it, do not belong to the name.
    text = text.substr(0, text.find_first_of("\r\n"));
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (!fs::path(text).is_absolute())
        throw refuse("names the data folder \"" + text + "\", which is not a full path (it must begin with \"/\").");
    return fs::path(text);
}

void checkRecordable(const fs::path& folder)
{
    const std::string text = folder.string();
    std::string why;
    if (!folder.is_absolute())
        why = "is not a full path";
    else if (text.size() > MaxChoiceBytes)
        why = "is longer than " + std::to_string(MaxChoiceBytes) + " bytes";
    else if (text.find_first_of("\r\n") != std::string::npos)
        why = "holds a line break";
    else if (text.back() == ' ' || text.back() == '\t')
        why = "ends in a blank";
    if (why.empty())
        return;
    throw FileError(text,
        "The folder name " + quoted(folder) + " " + why
            + ", which the file that names your data folder cannot keep. Rename the folder, or choose another one. "
              "Nothing has been changed.");
}

void writeChosenFolder(const fs::path& file, const fs::path& folder)
{
    checkRecordable(folder);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec)
        throw FileError(file.parent_path().string(),
            "The folder " + quoted(file.parent_path()) + " cannot be created: " + ec.message() + ".");
    writeFileAtomically(file, folder.string() + "\n");
}

bool holdsDrugDatabase(const fs::path& folder)
{
    std::error_code ec;
    return fs::exists(findFile(folder, DrugDataFileName), ec);
}

bool seedFolder(const fs::path& folder, const fs::path& sample)
{
    if (holdsDrugDatabase(folder))
        return false;
    if (const auto problem = folderWriteProblem(folder))
        throw FileError(folder.string(),
            "The folder " + quoted(folder)
                + " holds no drug database, and the sample drug database cannot be "
                  "copied into it: you cannot write in this folder ("
                + *problem
                + "). Choose a folder you can write in, or ask whoever manages this one to copy the drug database "
                  "files (MXDBASE.FIL, mxdbs1.idx, mxdbs2.idx and mxcat.idx) into it.");

    // Seeded under the folder's own lock, so that two starts at once copy the sample once.
    // Another holder is most likely another start seeding the same folder: it is given a moment.
    LockFile lock;
    for (int wait = 0;; ++wait) {
        if (lock.acquire(folder / FolderLockFileName, currentHolder()) != LockFile::Outcome::Held)
            break; // taken, or a drive without locks: seeded without one
        if (holdsDrugDatabase(folder))
            return false;
        if (wait == SeedLockWaits)
            throw FileError(folder.string(),
                "The folder " + quoted(folder) + " holds no drug database yet, and another copy of Tutor Bench ("
                    + (lock.holder().user.empty() ? std::string("user not known") : lock.holder().user)
                    + ") holds it. Start Tutor Bench again in a moment. Nothing has been changed.");
        std::this_thread::sleep_for(SeedLockPause);
    }
    if (holdsDrugDatabase(folder))
        return false; // seeded by the start that held the lock a moment ago
    for (const char* name : SampleFiles) {
        std::error_code ec;
        if (fs::exists(findFile(folder, name), ec))
            continue;
        const fs::path from = sample / name;
        if (name == std::string_view(WeightDoseFileName) && !fs::exists(from, ec))
            continue;
        const std::uintmax_t size = fs::file_size(from, ec);
        if (ec || size > MaxSampleFileBytes)
            throw FileError(from.string(), "The sample drug database file " + quoted(from) + " cannot be read.");
        writeFileAtomically(folder / name, readWholeFile(from));
    }
    return true;
}

namespace {

// The chosen folder, which must be there; nothing when none was chosen.
std::optional<fs::path> reachableChoice(const LauncherEnvironment& env, const std::string& program)
{
    std::error_code ec;
    const fs::path file = chosenFolderFile(env);
    const auto chosen = readChosenFolder(file);
    if (!chosen)
        return std::nullopt;
    const fs::file_status status = fs::status(*chosen, ec);
    if (status.type() == fs::file_type::directory)
        return chosen;
    const std::string again = " Choose the folder again with \"Choose Data Folder\" in the " + program
        + " entry of the applications menu, or delete " + quoted(file) + " to use your own data folder.";
    if (status.type() == fs::file_type::not_found)
        throw FileError(chosen->string(),
            "The data folder " + quoted(*chosen)
                + " cannot be reached. Connect the drive that holds it, or choose another folder with "
                  "\"Choose Data Folder\" in the "
                + program + " entry of the applications menu.");
    if (ec)
        throw FileError(chosen->string(),
            "The data folder " + quoted(*chosen) + " cannot be opened (" + ec.message()
                + "). Ask whoever manages it for access." + again);
    throw FileError(chosen->string(),
        "The data folder " + quoted(*chosen) + " named in " + quoted(file) + " is a file, not a folder." + again);
}

fs::path createdDefaultFolder(const LauncherEnvironment& env)
{
    const fs::path folder = defaultDataFolder(env);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw FileError(
            folder.string(), "The data folder " + quoted(folder) + " cannot be created: " + ec.message() + ".");
    return folder;
}

} // namespace

fs::path prepareDataFolder(const LauncherEnvironment& env, const fs::path& sample)
{
    if (auto chosen = reachableChoice(env, "Tutor Bench"))
        return *chosen;
    const fs::path folder = createdDefaultFolder(env);
    seedFolder(folder, sample);
    return folder;
}

fs::path studentDataFolder(const LauncherEnvironment& env)
{
    if (auto chosen = reachableChoice(env, "Dosarion"))
        return *chosen;
    return createdDefaultFolder(env);
}

} // namespace tb
