#include "core/foundation/folder_lock.h"
#include "core/foundation/record_file.h"
#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using tb::LockFile;
using tb::LockHolder;
using tb::headless::TempFolder;

namespace {

const LockHolder Jane { "jane", "PC-12", 4242, "2024-05-06 14:03" };
const LockHolder Omar { "omar", "PC-07", 77, "2024-05-06 15:10" };

} // namespace

TEST(FolderLock, SecondHolderIsRefusedAndToldWhoHoldsTheFolder)
{
    TempFolder folder;
    LockFile first;
    ASSERT_EQ(first.acquire(folder / tb::FolderLockFileName, Jane), LockFile::Outcome::Acquired);
    const std::string lockText
        = "Tutor Bench\r\nuser: jane\r\ncomputer: PC-12\r\nprocess: 4242\r\nsince: 2024-05-06 14:03\r\n";
    EXPECT_EQ(folder.read(tb::FolderLockFileName), lockText);

    LockFile second;
    const tb::FolderLockVerdict verdict = tb::lockFolder(second, folder.path());
    EXPECT_FALSE(verdict.proceed || second.held());
    EXPECT_EQ(verdict.message,
        "The folder \"" + folder.path().string()
            + "\" is in use by Tutor Bench of jane on the computer PC-12 (process 4242) since 2024-05-06 14:03.\r\n\r\n"
              "Only one copy of Tutor Bench can work in a folder at a time, so that no change is lost. Close Tutor "
              "Bench there, or start it in another folder. Nothing has been changed.");
    EXPECT_EQ(folder.read(tb::FolderLockFileName), lockText); // the refusal touches nothing

    // Given up, the lock and its file are gone and the next copy takes the folder.
    first.release();
    EXPECT_FALSE(fs::exists(folder / tb::FolderLockFileName));
    EXPECT_EQ(second.acquire(folder / tb::FolderLockFileName, Omar), LockFile::Outcome::Acquired);
}

TEST(FolderLock, LockFileOfAHolderThatDiedIsTakenOver)
{
    TempFolder folder;
    const fs::path path = folder / tb::FolderLockFileName;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LockFile lock;
        const bool taken = lock.acquire(path, Jane) == LockFile::Outcome::Acquired;
        ::_exit(taken ? 0 : 1); // dies holding the lock: no release, the file stays
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    LockFile lock;
    EXPECT_EQ(lock.acquire(path, Omar), LockFile::Outcome::Acquired);
    EXPECT_EQ(tb::parseHolder(folder.read(tb::FolderLockFileName)).user, "omar");
}

TEST(FolderLock, HolderTextThatIsNotOursNamesNobody)
{
    TempFolder folder;
    LockFile first;
    ASSERT_EQ(first.acquire(folder / "x.lock", Jane), LockFile::Outcome::Acquired);
    folder.write("x.lock", std::string(5000, 'x') + "\nuser: late\n"); // garbage, then a line beyond the bound
    LockFile second;
    ASSERT_EQ(second.acquire(folder / "x.lock", Omar), LockFile::Outcome::Held);
    EXPECT_EQ(second.holder().user, "");
    EXPECT_EQ(tb::describeHolder(second.holder()), "another copy of Tutor Bench (who started it is not known)");
}

// What stands at the lock file's name when no lock can be taken there at all.
struct Unlockable {
    const char* name;
    void (*make)(const fs::path& lock, const fs::path& outside);
    const char* reason;
};

class FolderNotLockable : public ::testing::TestWithParam<Unlockable> { };

TEST_P(FolderNotLockable, GoesOnWithAWarningAndFollowsNothing)
{
    TempFolder folder;
    TempFolder elsewhere;
    elsewhere.write("victim", "keep me");
    GetParam().make(folder / tb::FolderLockFileName, elsewhere / "victim");
    if (::geteuid() == 0 && std::string(GetParam().name) == "UnwritableFolder")
        GTEST_SKIP() << "the superuser writes into any folder";

    LockFile lock;
    const tb::FolderLockVerdict verdict = tb::lockFolder(lock, folder.path());
    ::chmod(folder.path().c_str(), 0700);
    EXPECT_TRUE(verdict.proceed);
    EXPECT_FALSE(lock.held());
    EXPECT_NE(lock.reason().find(GetParam().reason), std::string::npos) << lock.reason();
    // A folder this user cannot write is opened for reading only, and the notice says so.
    const bool readOnly = std::string(GetParam().name) == "UnwritableFolder";
    EXPECT_EQ(verdict.readOnly, readOnly);
    EXPECT_EQ(verdict.message.rfind(readOnly
                      ? "You cannot write in the folder \"" + folder.path().string() + "\" (Permission denied)"
                      : "Tutor Bench could not lock the folder \"" + folder.path().string() + "\": ",
                  0),
        0u)
        << verdict.message;
    EXPECT_EQ(elsewhere.read("victim"), "keep me");
}

INSTANTIATE_TEST_SUITE_P(Cases, FolderNotLockable,
    ::testing::Values(Unlockable { "SymbolicLink",
                          [](const fs::path& lock, const fs::path& outside) { fs::create_symlink(outside, lock); },
                          "a symbolic link stands at its name" },
        Unlockable {
            "Folder", [](const fs::path& lock, const fs::path&) { fs::create_directory(lock); }, "Is a directory" },
        Unlockable { "Fifo", [](const fs::path& lock, const fs::path&) { ::mkfifo(lock.c_str(), 0600); },
            "is not a regular file" },
        Unlockable { "UnwritableFolder",
            [](const fs::path& lock, const fs::path&) { ::chmod(lock.parent_path().c_str(), 0500); },
            "Permission denied" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FolderLock, LockFileFollowsTheFileCreationMask)
{
    TempFolder folder;
    const mode_t saved = ::umask(027);
    LockFile lock;
    const LockFile::Outcome outcome = lock.acquire(folder / "x.lock", Jane);
    ::umask(saved);
    ASSERT_EQ(outcome, LockFile::Outcome::Acquired);
    struct stat info { };
    ASSERT_EQ(::stat((folder / "x.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A stale lock file this user may not write (a colleague's, made with that colleague's mask)
// is replaced by one of our own; one that is held is not.
TEST(AsOrdinaryUser, StaleLockFileThatCannotBeWrittenIsTakenOver)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes any file";
    TempFolder folder;
    folder.write("x.lock", "Tutor Bench\r\nuser: omar\r\n");
    ::chmod((folder / "x.lock").c_str(), 0444);
    LockFile lock;
    EXPECT_EQ(lock.acquire(folder / "x.lock", Jane), LockFile::Outcome::Acquired) << lock.reason();
    EXPECT_EQ(tb::parseHolder(folder.read("x.lock")).user, "jane");

    ::chmod((folder / "x.lock").c_str(), 0444); // held, and unwritable to the next one
    LockFile second;
    EXPECT_EQ(second.acquire(folder / "x.lock", Omar), LockFile::Outcome::Held);
    EXPECT_EQ(second.holder().user, "jane");
}

TEST(FolderLock, LockFileNamesAreNoTestNames)
{
    EXPECT_TRUE(tb::isLockFileName("tutorbench.lock"));
    EXPECT_TRUE(tb::isLockFileName("WEEK3.DSQ.LOCK  "));
    EXPECT_FALSE(tb::isLockFileName("week3.dsq"));
    EXPECT_EQ(tb::testLockPath("/x/week3.dsq"), fs::path("/x/week3.dsq.lock"));
}

// What copies killed mid-work left is removed once the folder is ours; what is in use, the
// index files' scratch files (the rebuild check's) and files not of the program's names stay.
TEST(FolderLock, TakingTheFolderRemovesStaleLeftoversOnly)
{
    TempFolder folder;
    fs::create_directory(folder / "Week 5 versions");
    const std::string dead = tb::formatHolder(Omar);
    for (const char* name : { "week3.dsq.lock", "Week 5 versions/ward-01.dsq.lock", "empty.dsq.lock" })
        folder.write(name, name == std::string("empty.dsq.lock") ? "" : dead);
    for (const char* name : { "MXDBASE.TMP", "MXtmp.TMP", "Week 5 versions/ward-02.dsq.new", "MX.INI.new",
             "MXWEIGHT.TXT.new", ".tutorbench-0123456789abcdef.new" })
        folder.write(name, "stale");
    const std::vector<std::string> kept = { "notes.lock", "report.doc.new", "mxdbs1.idx.new", "test.tmp",
        "held.dsq.lock", "busy.dsq.new", "week3.dsq" };
    for (const auto& name : kept)
        folder.write(name, name == "notes.lock" ? "my own notes" : "x");
    LockFile held;
    ASSERT_EQ(held.acquire(folder / "held.dsq.lock", Jane), LockFile::Outcome::Acquired);
    tb::ScratchFile busy(folder / "busy.dsq", nullptr, folder / "busy.dsq.new");

    LockFile lock;
    EXPECT_TRUE(tb::lockFolder(lock, folder.path()).proceed);
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
        if (entry.is_regular_file() && entry.path().filename() != tb::FolderLockFileName)
            left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

TEST(FolderLock, TestOfThe255ByteNameHasALockFileThatFits)
{
    TempFolder folder;
    const fs::path test = folder / (std::string(251, 'w') + ".dsq");
    LockFile lock;
    EXPECT_EQ(lock.acquire(tb::testLockPath(test), Jane), LockFile::Outcome::Acquired);
    EXPECT_TRUE(tb::isLockFileName(tb::testLockPath(test).filename().string()));
}
