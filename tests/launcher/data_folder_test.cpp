#include "core/launcher/data_folder.h"

#include "core/foundation/file_error.h"
#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

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
