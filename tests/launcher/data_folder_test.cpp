#include "core/launcher/data_folder.h"

#include "core/foundation/file_error.h"
#include "core/foundation/folder_lock.h"
#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tb {
namespace {

using headless::TempFolder;
namespace fs = std::filesystem;

// The message of the FileError that `run` throws.
template <class F> std::string errorOf(F run)
{
    try {
        run();
    } catch (const FileError& e) {
        return e.what();
    }
    return "no error";
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

struct XdgCase {
    const char* name;
    LauncherEnvironment env;
    const char* configFile;
    const char* dataFolder;
};

class XdgFolders : public ::testing::TestWithParam<XdgCase> { };

TEST_P(XdgFolders, FollowTheBaseDirectoryRules)
{
    EXPECT_EQ(chosenFolderFile(GetParam().env), fs::path(GetParam().configFile));
    EXPECT_EQ(defaultDataFolder(GetParam().env), fs::path(GetParam().dataFolder));
}

INSTANTIATE_TEST_SUITE_P(Launcher, XdgFolders,
    ::testing::Values(XdgCase { "Defaults", { "/home/t", "", "" }, "/home/t/.config/tutorbench/data-folder",
                          "/home/t/.local/share/tutorbench" },
        XdgCase { "SetVariables", { "/home/t", "/srv/data", "/etc/t" }, "/etc/t/tutorbench/data-folder",
            "/srv/data/tutorbench" },
        // A relative value is not a base directory and is ignored.
        XdgCase { "RelativeVariablesIgnored", { "/home/t", "data", "conf" }, "/home/t/.config/tutorbench/data-folder",
            "/home/t/.local/share/tutorbench" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XdgFoldersWithoutHome, AreReported)
{
    EXPECT_THROW(defaultDataFolder({ "", "", "" }), FileError);
    EXPECT_EQ(defaultDataFolder({ "", "/srv/data", "" }), fs::path("/srv/data/tutorbench"));
}

struct ChoiceCase {
    const char* name;
    std::string bytes;
    const char* folder; // "" when the file names none; nullptr when it is refused
};

class ChosenFolderFile : public ::testing::TestWithParam<ChoiceCase> { };

TEST_P(ChosenFolderFile, ReadsOneAbsolutePath)
{
    TempFolder dir;
    dir.write("data-folder", GetParam().bytes);
    if (GetParam().folder)
        EXPECT_EQ(readChosenFolder(dir / "data-folder").value_or(""), fs::path(GetParam().folder));
    else
        EXPECT_THROW(readChosenFolder(dir / "data-folder"), FileError);
}

INSTANTIATE_TEST_SUITE_P(Launcher, ChosenFolderFile,
    ::testing::Values(
        ChoiceCase { "CrLfAndBlanks", "  /mnt/school drive/dosage \r\nsecond line\r\n", "/mnt/school drive/dosage" },
        ChoiceCase { "Empty", "", "" }, ChoiceCase { "Relative", "school/dosage\n", nullptr },
        ChoiceCase { "TooLong", "/" + std::string(5000, 'a'), nullptr }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChosenFolder, MissingFileNamesNoneAndWriteReadsBack)
{
    TempFolder dir;
    const fs::path file = dir / "config/tutorbench/data-folder";
    EXPECT_FALSE(readChosenFolder(file).has_value());
    writeChosenFolder(file, "/mnt/Prüfungen/dosage");
    EXPECT_EQ(readChosenFolder(file).value_or(""), fs::path("/mnt/Prüfungen/dosage"));
    EXPECT_THROW(writeChosenFolder(file, "relative/folder"), FileError);
    EXPECT_THROW(readChosenFolder(dir.path()), FileError);
}

TEST(SeedFolder, CopiesTheSampleOnceAndNeverOverwrites)
{
    TempFolder folder;
    EXPECT_TRUE(seedFolder(folder.path(), TB_SAMPLE_DIR));
    EXPECT_TRUE(holdsDrugDatabase(folder.path()));

    // A folder with a drug data file of its own, in any letter case, is left alone.
    TempFolder own;
    own.write("mxdbase.fil", "own records");
    EXPECT_FALSE(seedFolder(own.path(), TB_SAMPLE_DIR));
    EXPECT_EQ(own.read("mxdbase.fil"), "own records");

    // A seeding cut short is completed without touching what is there.
    TempFolder cut;
    cut.write("MXDBS1.IDX", "kept");
    EXPECT_TRUE(seedFolder(cut.path(), TB_SAMPLE_DIR));
    EXPECT_EQ(cut.read("MXDBS1.IDX"), "kept");
    EXPECT_TRUE(holdsDrugDatabase(cut.path()));

    TempFolder bare; // a missing sample is reported by name
    EXPECT_NE(errorOf([&] { seedFolder(bare.path(), bare / "no-sample"); }).find("no-sample"), std::string::npos);
}

TEST(PrepareDataFolder, DefaultIsCreatedAndSeededChosenMustExist)
{
    TempFolder home;
    const LauncherEnvironment env { home.path().string(), "", "" };
    const fs::path folder = prepareDataFolder(env, TB_SAMPLE_DIR);
    EXPECT_EQ(folder, home / ".local/share/tutorbench");
    EXPECT_TRUE(holdsDrugDatabase(folder));

    writeChosenFolder(chosenFolderFile(env), home / "shared");
    EXPECT_NE(
        errorOf([&] { prepareDataFolder(env, TB_SAMPLE_DIR); }).find((home / "shared").string()), std::string::npos);
    // The chosen folder is used as it is: an empty mount point is not filled with the sample.
    fs::create_directory(home / "shared");
    EXPECT_EQ(prepareDataFolder(env, TB_SAMPLE_DIR), home / "shared");
    EXPECT_FALSE(holdsDrugDatabase(home / "shared"));
}

// What is wrong with the choice is said, and the default folder is never used in its place.
TEST(PrepareDataFolder, BadChoiceIsNamedExactly)
{
    TempFolder home;
    const LauncherEnvironment env { home.path().string(), "", "" };
    const fs::path file = chosenFolderFile(env);
    fs::create_directories(file.parent_path());
    const auto failure = [&] { return errorOf([&] { prepareDataFolder(env, TB_SAMPLE_DIR); }); };

    std::ofstream(file, std::ios::binary) << std::string("/mnt/a\0b\n", 9);
    EXPECT_NE(failure().find("it holds a NUL byte (byte 7)"), std::string::npos) << failure();

    home.write("plain", "not a folder");
    writeChosenFolder(file, home / "plain");
    EXPECT_EQ(failure(),
        "The data folder \"" + (home / "plain").string() + "\" named in \"" + file.string()
            + "\" is a file, not a folder. Choose the folder again with \"Choose Data Folder\" in the Tutor Bench "
              "entry of the applications menu, or delete \""
            + file.string() + "\" to use your own data folder.");

    fs::remove(file);
    fs::create_directory(file);
    EXPECT_NE(failure().find("is a folder, not a file."), std::string::npos) << failure();
    EXPECT_FALSE(fs::exists(defaultDataFolder(env)));
}

TEST(ChosenFolder, NamesOneLineCannotKeepAreRefusedBeforeAnythingIsWritten)
{
    TempFolder dir;
    const fs::path file = dir / "data-folder";
    EXPECT_EQ(errorOf([&] { writeChosenFolder(file, "/mnt/a\nb"); }),
        "The folder name \"/mnt/a\nb\" holds a line break, which the file that names your data folder cannot "
        "keep. Rename the folder, or choose another one. Nothing has been changed.");
    EXPECT_NE(errorOf([&] { checkRecordable("/mnt/a\rb"); }).find("holds a line break"), std::string::npos);
    EXPECT_NE(errorOf([&] { checkRecordable("/mnt/dosage "); }).find("ends in a blank"), std::string::npos);
    EXPECT_EQ(errorOf([&] { checkRecordable("/mnt/school drive/dosage"); }), "no error");
    EXPECT_FALSE(fs::exists(file));
}

// Two starts at once on a new folder: each seeds or finds it seeded, neither fails, and the
// sample arrives whole.
TEST(SeedFolder, TwoStartsAtOnceSeedOnce)
{
    for (int round = 0; round < 10; ++round) {
        TempFolder folder;
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        pid_t children[2];
        for (pid_t& child : children) {
            child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                char go;
                ::close(gate[1]);
                (void)::read(gate[0], &go, 1); // released together when the gate closes
                try {
                    seedFolder(folder.path(), TB_SAMPLE_DIR);
                } catch (const std::exception&) {
                    ::_exit(1);
                }
                ::_exit(0);
            }
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        for (const char* name : { "MXDBASE.FIL", "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx", "mxweight.txt" })
            EXPECT_EQ(folder.read(name), fileBytes(fs::path(TB_SAMPLE_DIR) / name)) << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 5);
    }
}

TEST(SeedFolder, FolderHeldByAnotherCopyIsLeftAlone)
{
    TempFolder folder;
    LockFile other;
    ASSERT_EQ(other.acquire(folder / FolderLockFileName, { "jane", "PC-12", 4242, "" }), LockFile::Outcome::Acquired);
    const std::string error = errorOf([&] { seedFolder(folder.path(), TB_SAMPLE_DIR); });
    EXPECT_EQ(error,
        "The folder \"" + folder.path().string()
            + "\" holds no drug database yet, and another copy of Tutor Bench (jane) holds it. Start Tutor Bench "
              "again in a moment. Nothing has been changed.");
    EXPECT_FALSE(holdsDrugDatabase(folder.path()));
}

// Permission bits do not stop the superuser; CI runs these as an ordinary user.
TEST(AsOrdinaryUser, UnreadableChoiceIsReportedNotReplacedByTheDefault)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads any file";
    TempFolder home;
    const LauncherEnvironment env { home.path().string(), "", "" };
    writeChosenFolder(chosenFolderFile(env), home.path());
    ::chmod(chosenFolderFile(env).c_str(), 0200);
    const std::string error = errorOf([&] { prepareDataFolder(env, TB_SAMPLE_DIR); });
    EXPECT_EQ(error.rfind("The file \"" + chosenFolderFile(env).string()
                      + "\", which names your data folder, cannot be read (Permission denied). Choose the folder again",
                  0),
        0u)
        << error;
    EXPECT_FALSE(fs::exists(defaultDataFolder(env)));
}

TEST(AsOrdinaryUser, ReadOnlyFolderIsNotSeededAndSaysWhy)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into any folder";
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0555);
    const std::string error = errorOf([&] { seedFolder(folder.path(), TB_SAMPLE_DIR); });
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(error,
        "The folder \"" + folder.path().string()
            + "\" holds no drug database, and the sample drug database cannot be copied into it: you cannot write in "
              "this folder (Permission denied). Choose a folder you can write in, or ask whoever manages this one to "
              "copy the drug database files (MXDBASE.FIL, mxdbs1.idx, mxdbs2.idx and mxcat.idx) into it.");
}

TEST(StudentDataFolder, SharesTheChoiceButNeverSeeds)
{
    TempFolder home;
    const LauncherEnvironment env { home.path().string(), "", "" };
    // No choice: the default folder is created empty; the drug database is the teachers' to put there.
    EXPECT_EQ(studentDataFolder(env), home / ".local/share/tutorbench");
    EXPECT_TRUE(fs::is_directory(home / ".local/share/tutorbench"));
    EXPECT_FALSE(holdsDrugDatabase(home / ".local/share/tutorbench"));

    // The teachers' shared folder, chosen once, is used; gone, it is named with the student program's entry.
    writeChosenFolder(chosenFolderFile(env), home / "shared");
    const std::string missing = errorOf([&] { studentDataFolder(env); });
    EXPECT_NE(missing.find((home / "shared").string() + "\" cannot be reached"), std::string::npos);
    EXPECT_NE(missing.find("in the Dosarion entry"), std::string::npos);
    EXPECT_FALSE(fs::exists(home / "shared"));
    fs::create_directory(home / "shared");
    EXPECT_EQ(studentDataFolder(env), home / "shared");
    EXPECT_TRUE(fs::is_empty(home / "shared"));
}

} // namespace
} // namespace tb
