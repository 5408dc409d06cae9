#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tb {

/// The lock file of a data folder. While a copy of the program works in a folder it holds
/// this file locked; a second copy started there finds the lock taken and ends.
inline constexpr const char* FolderLockFileName = "tutorbench.lock";

/// Who holds a lock, as its lock file says. Empty texts (and pid 0) when not known.
struct LockHolder {
    std::string user;
    std::string host;
    long long pid = 0;
    std::string since; // local time, "2024-05-06 14:03"
};

/// This process as a holder: the user, the computer's name, the process id and now.
LockHolder currentHolder();

/// The holder's text as the lock file keeps it, and back; reading ignores what it does not know.
std::string formatHolder(const LockHolder& holder);
LockHolder parseHolder(std::string_view text);

/// An exclusive lock on a small file, held as long as the object lives. The lock is the
/// system's own record lock on one byte far beyond the file's text (an open-file lock, so
/// that two locks in one process exclude each other too); the kernel drops it when the
/// holder ends in any way, so a lock file left behind by a program that died is simply
/// taken over. The file's text only tells others who holds it.
class LockFile final {
public:
    enum class Outcome {
        Acquired, // the lock is ours
        Held, // another holder has it: holder() says who, as far as known
        Unavailable, // no lock could be taken here at all: reason() says why
    };

    LockFile() = default;
    ~LockFile();
    LockFile(LockFile&& other) noexcept;
    LockFile& operator=(LockFile&& other) noexcept;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    /// Takes the lock of `path` (creating the file if need be) and writes `me` into it.
    /// A lock held before is released first. Never blocks and never follows a symbolic link.
    Outcome acquire(const std::filesystem::path& path, const LockHolder& me);
    /// Gives the lock up and removes its file.
    void release();

    bool held() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }
    /// After Held: who holds the lock.
    const LockHolder& holder() const { return holder_; }
    /// After Unavailable: why no lock could be taken (the system's words).
    const std::string& reason() const { return reason_; }

private:
    Outcome attempt(const LockHolder& me, bool& retry);
    Outcome refuse(std::string reason);

    int fd_ = -1;
    std::filesystem::path path_;
    LockHolder holder_;
    std::string reason_;
};

/// The lock file of a test file while it is some copy's working file: its name with ".lock"
/// (a short name of fixed length when that would not fit, see fittedName).
std::filesystem::path testLockPath(const std::filesystem::path& testFile);

/// True for a name the locks use (ending in ".lock", any letter case): never a test's name.
bool isLockFileName(std::string_view name);

/// "jane on the computer PC-12 since 2024-05-06 14:03", leaving out what is not known.
std::string describeHolder(const LockHolder& holder);

/// What start-up does about its folder's lock: go on or not, whether the folder can only be
/// read, and what to tell the teacher first (empty: nothing).
struct FolderLockVerdict {
    bool proceed = true;
    bool readOnly = false;
    std::string message;
};

/// Removes what copies of the program that were killed left in `folder` and in the folders
/// just below it: lock files nobody holds that name a holder of this program (or nothing yet),
/// and scratch files of the program's own names (`MXDBASE.TMP`, `MXtmp.TMP`, `<test>.dsq.new`,
/// `MX.INI.new`, `index.rebuild.new` and the short `.tutorbench-<hash>.new`) that no writer holds open. Everything
/// else, the index files' scratch files included (start-up's rebuild check looks at those),
/// stays. Returns how many files were removed.
int removeStaleLeftovers(const std::filesystem::path& folder);

/// Why this user cannot create files in `folder`, in the system's words ("Permission denied",
/// "Read-only file system"); nothing when it can.
std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder);

/// Takes the lock of `folder` into `lock` before any file of the folder is read or written.
/// A folder another copy holds is refused (nothing in it touched); a folder this user cannot
/// write is used for reading only, with a notice; one that cannot be locked otherwise is used
/// with a warning.
/// Once the lock is taken, stale leftovers are removed.
FolderLockVerdict lockFolder(LockFile& lock, const std::filesystem::path& folder);

/// The refusal of a second copy in a folder another copy holds (Windows-1252 text).
std::string folderInUseMessage(const std::filesystem::path& folder, const LockHolder& holder);
/// The warning when the folder cannot be locked (read-only folder, no locks on the drive).
std::string folderNotLockedMessage(const std::filesystem::path& folder, const std::string& reason);
/// The notice when the program starts in a folder it cannot write (Windows-1252 text).
std::string readOnlyFolderMessage(const std::filesystem::path& folder, const std::string& reason);
/// The refusal to open or write a test that another copy has as its working file.
std::string testInUseMessage(const std::filesystem::path& testFile, const LockHolder& holder);

} // namespace tb
