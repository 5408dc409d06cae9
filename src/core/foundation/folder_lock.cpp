#include "core/foundation/folder_lock.h"
#include "core/foundation/field_codec.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/record_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tb {

namespace {

// The locked byte lies 1 GiB into the file, far beyond its text: a Windows file server
// enforces byte-range locks on reads and writes, and a lock over the text would keep
// the others from reading who holds it. Locks beyond the end of a file are allowed.
constexpr off_t LockOffset = off_t { 1 } << 30;

// The holder's text is a few short lines; anything longer is not ours and not read.
constexpr std::size_t MaxHolderText = 1024;
constexpr std::size_t MaxField = 100;

// A lock file that keeps being replaced while it is taken is given up after this many tries.
constexpr int MaxAttempts = 8;

std::string systemReason(int error)
{
    if (error == ELOOP)
        return "a symbolic link stands at its name";
    return std::strerror(error);
}

std::string oneLine(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text.substr(0, MaxField);
}

std::string readHolderText(int fd)
{
    std::string text(MaxHolderText, '\0');
    const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

flock lockRequest(short type)
{
    flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;
    request.l_start = LockOffset;
    request.l_len = 1;
    return request;
}

bool sameFile(int fd, const std::filesystem::path& path)
{
    struct stat own { };
    struct stat named { };
    return ::fstat(fd, &own) == 0 && ::lstat(path.c_str(), &named) == 0 && own.st_dev == named.st_dev
        && own.st_ino == named.st_ino;
}

} // namespace

LockHolder currentHolder()
{
    LockHolder me;
    passwd entry {};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        me.user = found->pw_name;
    else if (const char* user = std::getenv("USER"))
        me.user = user;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0)
        me.host = host;
    me.pid = ::getpid();
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    char when[32] = {};
    if (::localtime_r(&now, &local) && std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local) > 0)
        me.since = when;
    return me;
}

std::string formatHolder(const LockHolder& holder)
{
    return "Tutor Bench\r\nuser: " + oneLine(holder.user) + "\r\ncomputer: " + oneLine(holder.host)
        + "\r\nprocess: " + std::to_string(holder.pid) + "\r\nsince: " + oneLine(holder.since) + "\r\n";
}

LockHolder parseHolder(std::string_view text)
{
    LockHolder holder;
    text = text.substr(0, MaxHolderText);
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const auto value = [&](std::string_view key) -> std::optional<std::string> {
            if (line.substr(0, key.size()) != key)
                return std::nullopt;
            return std::string(line.substr(key.size(), MaxField));
        };
        if (auto v = value("user: "))
            holder.user = *v;
        else if (auto v = value("computer: "))
            holder.host = *v;
        else if (auto v = value("since: "))
            holder.since = *v;
        else if (auto v = value("process: ")) {
            long long pid = 0;
            for (char c : *v) {
                if (c < '0' || c > '9' || pid > 1'000'000'000)
                    break;
                pid = pid * 10 + (c - '0');
            }
            holder.pid = pid;
        }
    }
    return holder;
}

LockFile::~LockFile()
{
    release();
}

LockFile::LockFile(LockFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , path_(std::move(other.path_))
    , holder_(std::move(other.holder_))
    , reason_(std::move(other.reason_))
{
}

LockFile& LockFile::operator=(LockFile&& other) noexcept
{
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        holder_ = std::move(other.holder_);
        reason_ = std::move(other.reason_);
    }
    return *this;
}

LockFile::Outcome LockFile::acquire(const std::filesystem::path& path, const LockHolder& me)
{
    release();
    path_ = path;
    holder_ = {};
    reason_.clear();
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        bool retry = false;
        const Outcome outcome = this->attempt(me, retry);
        if (!retry)
            return outcome;
    }
    return refuse("the lock file kept being replaced while it was taken");
}

LockFile::Outcome LockFile::refuse(std::string reason)
{
    reason_ = std::move(reason);
    return Outcome::Unavailable;
}

LockFile::Outcome LockFile::attempt(const LockHolder& me, bool& retry)
{
    const char* name = path_.c_str();
    // Never follows a link planted at the name; a FIFO there cannot block the open.
    constexpr int Flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(name, Flags | O_CREAT | O_EXCL, 0666);
    const bool existed = fd < 0 && errno == EEXIST;
    if (existed)
        fd = ::open(name, Flags);
    if (fd < 0) {
        const int error = errno;
        if (existed && error == ENOENT) { // removed by its holder between the two opens
            retry = true;
            return Outcome::Unavailable;
        }
        // A lock file this user may not write can still say that someone holds it.
        if (const int look = ::open(name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK); look >= 0) {
            flock test = lockRequest(F_WRLCK);
            struct stat info { };
            const bool regular = ::fstat(look, &info) == 0 && S_ISREG(info.st_mode);
            const bool probed = regular && ::fcntl(look, F_OFD_GETLK, &test) == 0;
            const bool held = probed && test.l_type != F_UNLCK;
            if (held)
                holder_ = parseHolder(readHolderText(look));
            // Left behind by a colleague's copy that died: its file follows that user's file-creation
            // mask, so it is removed (the folder permitting) and a lock file of our own created.
            const bool stale = probed && !held && error == EACCES && sameFile(look, path_) && ::unlink(name) == 0;
            ::close(look);
            if (held)
                return Outcome::Held;
            if (stale) {
                retry = true;
                return Outcome::Unavailable;
            }
        }
        return refuse("the lock file \"" + path_.filename().string() + "\" cannot be opened: " + systemReason(error));
    }
    // Created 0666 less the file-creation mask, like any other file this user makes; a
    // colleague who cannot write it takes a stale one over by removing it (above).
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse("\"" + path_.filename().string() + "\" is not a regular file");
    }
    flock request = lockRequest(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &request) != 0) {
        const int error = errno;
        if (error == EAGAIN || error == EACCES) {
            holder_ = parseHolder(readHolderText(fd));
            ::close(fd);
            return Outcome::Held;
        }
        ::close(fd);
        if (error == ESTALE) { // removed on the server by its holder after the open
            retry = true;
            return Outcome::Unavailable;
        }
        return refuse("the drive does not support locks (" + systemReason(error) + ")");
    }
    // The holder removes its file before it lets the lock go: a lock taken on a file that
    // no longer bears the name protects nothing, so the name is opened again.
    if (!sameFile(fd, path_)) {
        ::close(fd);
        retry = true;
        return Outcome::Unavailable;
    }
    const std::string text = formatHolder(me);
    // The holder's text only tells others who holds the lock; the lock itself is the byte range,
    // so a text that cannot be written leaves the lock as good.
    if (::ftruncate(fd, 0) == 0) {
        const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
        (void)written;
    }
    fd_ = fd;
    return Outcome::Acquired;
}

void LockFile::release()
{
    if (fd_ < 0)
        return;
    // Removed while still locked, so that no one takes a lock on a file about to vanish.
    if (sameFile(fd_, path_))
        (void)::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

std::filesystem::path testLockPath(const std::filesystem::path& testFile)
{
    return testFile.parent_path() / fittedName(testFile.filename().string(), ".lock");
}

bool isLockFileName(std::string_view name)
{
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    constexpr std::string_view Suffix = ".lock";
    if (name.size() < Suffix.size())
        return false;
    const auto tail = name.substr(name.size() - Suffix.size());
    return std::equal(tail.begin(), tail.end(), Suffix.begin(), [](char a, char b) { return lowerAscii(a) == b; });
}

std::string describeHolder(const LockHolder& holder)
{
    if (holder.user.empty() && holder.host.empty())
        return "another copy of Tutor Bench (who started it is not known)";
    std::string text = "Tutor Bench of " + (holder.user.empty() ? std::string("an unknown user") : holder.user);
    if (!holder.host.empty())
        text += " on the computer " + holder.host;
    if (holder.pid > 0)
        text += " (process " + std::to_string(holder.pid) + ")";
    if (!holder.since.empty())
        text += " since " + holder.since;
    return toCp1252(text);
}

std::string folderInUseMessage(const std::filesystem::path& folder, const LockHolder& holder)
{
    return "The folder \"" + toCp1252(folder.string()) + "\" is in use by " + describeHolder(holder)
        + ".\r\n\r\nOnly one copy of Tutor Bench can work in a folder at a time, so that no change is lost. "
          "Close Tutor Bench there, or start it in another folder. Nothing has been changed.";
}

std::string folderNotLockedMessage(const std::filesystem::path& folder, const std::string& reason)
{
    return "Tutor Bench could not lock the folder \"" + toCp1252(folder.string()) + "\": " + toCp1252(reason)
        + ".\r\n\r\nIt cannot tell whether another copy of Tutor Bench works in this folder too. If one may, "
          "close this copy now: two copies working in one folder can lose each other's changes.";
}

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    return name.size() >= suffix.size() && sameNameIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

// The scratch files the program writes, by name; the index files' ones are not among them.
bool isOwnScratchName(std::string_view name)
{
    if (sameNameIgnoringCase(name, "MXDBASE.TMP") || sameNameIgnoringCase(name, "MXtmp.TMP"))
        return true;
    constexpr std::string_view New = ".new";
    if (name.size() <= New.size() || name.substr(name.size() - New.size()) != New)
        return false;
    const std::string_view stem = name.substr(0, name.size() - New.size());
    constexpr std::string_view Short = ".tutorbench-";
    const bool shortName = stem.size() == Short.size() + 16 && stem.substr(0, Short.size()) == Short
        && stem.find_first_not_of("0123456789abcdef", Short.size()) == std::string_view::npos;
    // "mxweight.txt" is the drug database's file of doses per kg.
    return shortName || sameNameIgnoringCase(stem, "MX.INI") || sameNameIgnoringCase(stem, "index.rebuild")
        || sameNameIgnoringCase(stem, "mxweight.txt") || endsWithIgnoringCase(stem, ".dsq");
}

// Removes a leftover only while holding the byte its live owner would hold, so that a file
// in use (a lock held, a scratch file being written) is never taken away.
bool removeIfUnheld(const std::filesystem::path& path, bool lockFile)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info { };
    flock request = lockRequest(F_WRLCK);
    bool remove = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::fcntl(fd, F_OFD_SETLK, &request) == 0
        && sameFile(fd, path);
    if (remove && lockFile) {
        // Only a lock file of this program: its text names a holder of it, or is not written yet.
        const std::string text = readHolderText(fd);
        remove = text.empty() || text.starts_with("Tutor Bench\r\n");
    }
    if (remove)
        remove = ::unlink(path.c_str()) == 0;
    ::close(fd);
    return remove;
}

int removeStaleIn(const std::filesystem::path& folder, bool descend)
{
    // A folder of a great many files is looked at only as far as a teacher's folder reaches.
    constexpr int MaxEntries = 20000;
    int removed = 0;
    int seen = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end && seen < MaxEntries;
         it.increment(ec), ++seen) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        const auto type = it->symlink_status(typeError).type();
        if (typeError)
            continue;
        if (type == std::filesystem::file_type::directory) {
            if (descend)
                removed += removeStaleIn(it->path(), false);
        } else if (type == std::filesystem::file_type::regular && name != FolderLockFileName) {
            const bool lockFile = isLockFileName(name) && name.back() != ' ';
            if ((lockFile || isOwnScratchName(name)) && removeIfUnheld(it->path(), lockFile))
                ++removed;
        }
    }
    return removed;
}

} // namespace

int removeStaleLeftovers(const std::filesystem::path& folder)
{
    return removeStaleIn(folder, true);
}

std::string readOnlyFolderMessage(const std::filesystem::path& folder, const std::string& reason)
{
    return "You cannot write in the folder \"" + toCp1252(folder.string()) + "\" (" + toCp1252(reason)
        + "), so Tutor Bench opens it for reading only.\r\n\r\nYou can open, read and print the tests in it. "
          "No file can be created or replaced in this folder, so a new test, Save As and the drug database "
          "editor are refused with a message, and the settings have every option off unless MX.INI is "
          "there.\r\n\r\nTo work in this folder, ask whoever manages it for the right to write "
          "in it, or copy it to a folder of your own and choose that one with \"Choose Data Folder\" in the "
          "Tutor Bench entry of the applications menu.";
}

std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder)
{
    if (::access(folder.c_str(), W_OK | X_OK) == 0)
        return std::nullopt;
    const int error = errno;
    if (error != EACCES && error != EROFS && error != EPERM)
        return std::nullopt; // not a question of rights: whatever writes first names the problem
    return std::string(std::strerror(error));
}

FolderLockVerdict lockFolder(LockFile& lock, const std::filesystem::path& folder)
{
    switch (lock.acquire(folder / FolderLockFileName, currentHolder())) {
    case LockFile::Outcome::Acquired:
        // No other copy works here now: what a killed one left is nobody's.
        removeStaleLeftovers(folder);
        return {};
    case LockFile::Outcome::Held:
        return { false, false, folderInUseMessage(folder, lock.holder()) };
    case LockFile::Outcome::Unavailable:
        break;
    }
    // Nothing is written in a folder this user cannot write, so no other copy can lose a change here.
    if (const auto problem = folderWriteProblem(folder))
        return { true, true, readOnlyFolderMessage(folder, *problem) };
    return { true, false, folderNotLockedMessage(folder, lock.reason()) };
}

std::string testInUseMessage(const std::filesystem::path& testFile, const LockHolder& holder)
{
    return "The test \"" + toCp1252(testFile.string()) + "\" is open in " + describeHolder(holder)
        + ".\r\n\r\nA test can be worked on in one place at a time, so that no change is lost. Close it there "
          "first.";
}

} // namespace tb
