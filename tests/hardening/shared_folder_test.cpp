// A shared folder anyone can write to: links and odd files at the program's file names,
// scratch names used as test names, and what a save leaves on the disk.

#include "hardening_support.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<DrugRecord> ThreeDrugs
    = { drug("alpha", Tablet, 10, 0, 1), drug("beta", Solution, 5, 5, 1), drug("gamma", Tablet, 20, 0, 1) };

// ---- a link planted at a scratch name is removed, never followed ----

enum class Rewrite { DrugDelete, QuestionDelete };

struct LinkRow {
    const char* name;
    const char* scratch;
    Rewrite rewrite;
    bool toZero; // a link to /dev/zero, else to a file outside the folder
};

class ScratchLink : public ::testing::TestWithParam<LinkRow> { };

TEST_P(ScratchLink, IsRemovedAndTheDataStaysARegularFile)
{
    TempFolder folder;
    TempFolder outside;
    outside.write("precious.bin", "not to be overwritten");
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    folder.write("quiz.dsq", savedTest(3));
    const fs::path target = GetParam().toZero ? fs::path("/dev/zero") : outside / "precious.bin";
    fs::create_symlink(target, folder / GetParam().scratch);
    const char* data = GetParam().rewrite == Rewrite::DrugDelete ? "MXDBASE.FIL" : "quiz.dsq";
    if (GetParam().rewrite == Rewrite::DrugDelete) {
        DrugFile(folder.path()).deleteRecord(2);
    } else {
        Rig rig(folder.path(), { "quiz.dsq" });
        rig.model.openTest();
        rig.model.deleteQuestion();
        EXPECT_EQ(rig.model.QuestionCount(), 2);
    }
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / data)));
    EXPECT_EQ(folder.read(data).size(), GetParam().rewrite == Rewrite::DrugDelete ? 480u : 3 * TestRecordLength);
    EXPECT_EQ(outside.read("precious.bin"), "not to be overwritten");
}

INSTANTIATE_TEST_SUITE_P(Links, ScratchLink,
    ::testing::Values(LinkRow { "DrugDeleteZero", "MXDBASE.TMP", Rewrite::DrugDelete, true },
        LinkRow { "DrugDeleteOutside", "MXDBASE.TMP", Rewrite::DrugDelete, false },
        LinkRow { "QuestionDeleteOutside", "MXtmp.TMP", Rewrite::QuestionDelete, false },
        LinkRow { "QuestionDeleteZero", "MXtmp.TMP", Rewrite::QuestionDelete, true }),
    [](const auto& info) { return std::string(info.param.name); });

// ---- scratch and drug database names are no test names ----

struct NameRow {
    const char* name;
    const char* typed;
};

class ReservedTestName : public ::testing::TestWithParam<NameRow> { };

TEST_P(ReservedTestName, IsRefusedAsIllegal)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    folder.write("quiz.dsq", savedTest(2));
    Rig rig(folder.path(), { "quiz.dsq", GetParam().typed });
    rig.prompts.yesNoAnswers = { true };
    rig.model.openTest();
    rig.model.saveAs();
    EXPECT_EQ(rig.lastMessage(), Illegal);
    EXPECT_EQ(folder.read("MXDBASE.FIL"), dataFile(ThreeDrugs));
    EXPECT_FALSE(fs::exists(folder / GetParam().typed) && std::string(GetParam().typed) != "mxdbase.fil");
}

INSTANTIATE_TEST_SUITE_P(Names, ReservedTestName,
    ::testing::Values(NameRow { "QuestionScratch", "MXtmp.TMP" }, NameRow { "QuestionScratchLower", "mxtmp.tmp" },
        NameRow { "DrugScratch", "MXDBASE.TMP" }, NameRow { "NewTest", "TEST.TMP" },
        NameRow { "DrugData", "mxdbase.fil" }, NameRow { "TabletIndex", "MXDBS1.IDX" },
        NameRow { "FluidIndex", "mxdbs2.idx" }, NameRow { "CategoryFile", "MxCat.Idx" }),
    [](const auto& info) { return std::string(info.param.name); });

// ---- a pipe, a device or a huge file at a file name is reported, without blocking ----

enum class Odd { Fifo, ZeroLink, Huge };

struct OddRow {
    const char* name;
    const char* file;
    Odd odd;
};

void plant(const TempFolder& folder, const OddRow& row)
{
    const fs::path path = folder / row.file;
    fs::remove(path);
    if (row.odd == Odd::Fifo)
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    else if (row.odd == Odd::ZeroLink)
        fs::create_symlink("/dev/zero", path);
    else
        fs::resize_file((folder.write(row.file, ""), path), 1ULL << 30); // sparse: no disk space used
}

class OddStartupFile : public ::testing::TestWithParam<OddRow> { };

TEST_P(OddStartupFile, IsNamedInTheStartupProblem)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    writeIndexes(folder, "1\r\n1,1\r\n");
    plant(folder, GetParam());
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    const auto problem = loadStartupFiles(state);
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->message.find(GetParam().file), std::string::npos) << problem->message;
}

INSTANTIATE_TEST_SUITE_P(Files, OddStartupFile,
    ::testing::Values(OddRow { "SettingsFifo", "MX.INI", Odd::Fifo },
        OddRow { "SettingsZeroLink", "MX.INI", Odd::ZeroLink }, OddRow { "TabletIndexFifo", "mxdbs1.idx", Odd::Fifo },
        OddRow { "FluidIndexZeroLink", "mxdbs2.idx", Odd::ZeroLink },
        OddRow { "CategoryZeroLink", "mxcat.idx", Odd::ZeroLink }, OddRow { "CategoryHuge", "mxcat.idx", Odd::Huge },
        OddRow { "TabletIndexHuge", "mxdbs1.idx", Odd::Huge }),
    [](const auto& info) { return std::string(info.param.name); });

class OddDataFile : public ::testing::TestWithParam<OddRow> { };

TEST_P(OddDataFile, IsNamedWhenADrugIsRead)
{
    TempFolder folder;
    plant(folder, GetParam());
    try {
        readDrugRecord(folder.path(), 1);
        ADD_FAILURE() << "read";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("MXDBASE.FIL"), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, OddDataFile,
    ::testing::Values(OddRow { "Fifo", "MXDBASE.FIL", Odd::Fifo }, OddRow { "ZeroLink", "MXDBASE.FIL", Odd::ZeroLink }),
    [](const auto& info) { return std::string(info.param.name); });

class OddTestFile : public ::testing::TestWithParam<OddRow> { };

// The open dialog's name of anything but a regular file is an illegal name; a huge file
// is named in the reason.
TEST_P(OddTestFile, IsRefusedWhenOpened)
{
    TempFolder folder;
    plant(folder, GetParam());
    Rig rig(folder.path(), { GetParam().file });
    rig.model.openTest();
    EXPECT_EQ(rig.lastMessage().rfind("Illegal file name", 0), 0u) << rig.lastMessage();
    if (GetParam().odd == Odd::Huge) {
        EXPECT_NE(rig.lastMessage().find(GetParam().file), std::string::npos) << rig.lastMessage();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, OddTestFile,
    ::testing::Values(OddRow { "Fifo", "quiz.dsq", Odd::Fifo }, OddRow { "ZeroLink", "quiz.dsq", Odd::ZeroLink },
        OddRow { "Huge", "quiz.dsq", Odd::Huge }),
    [](const auto& info) { return std::string(info.param.name); });

// ---- what a command leaves on the disk: synced, the folder too ----

struct CountingHook final : FaultHook {
    void at(RewriteStep step, const fs::path& target) override { steps.emplace_back(step, target.filename().string()); }
    int count(RewriteStep step) const
    {
        return static_cast<int>(
            std::count_if(steps.begin(), steps.end(), [&](const auto& s) { return s.first == step; }));
    }
    std::vector<std::pair<RewriteStep, std::string>> steps;
};

TEST(Durability, ASavedDrugRecordIsSynced)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    CountingHook hook;
    DrugFile file(folder.path(), &hook);
    file.write(4, drug("delta", Tablet, 5, 0, 1));
    EXPECT_EQ(hook.count(RewriteStep::RecordSynced), 1);
}

TEST(Durability, ADrugDeleteAndTheRebuildSyncTheFolderAfterEachRename)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    writeIndexes(folder);
    CountingHook hook;
    DrugFile(folder.path(), &hook).deleteRecord(1);
    EXPECT_EQ(hook.count(RewriteStep::FolderSynced), 1);
    rebuildIndexes(folder.path(), loadCategories(folder.path()), &hook);
    EXPECT_EQ(hook.count(RewriteStep::FolderSynced), 4);
}

TEST(Durability, SaveAsSyncsTheFolderAfterItsRename)
{
    TempFolder folder;
    folder.write("quiz.dsq", savedTest(3));
    Rig rig(folder.path(), { "quiz.dsq", "copy.dsq" });
    rig.model.openTest();
    CountingHook hook;
    rig.model.setFaultHook(&hook);
    rig.model.saveAs();
    EXPECT_EQ(hook.count(RewriteStep::FolderSynced), 1);
    EXPECT_EQ(hook.count(RewriteStep::Renamed), 1);
}

// ---- the three index files change together ----

TEST(IndexFiles, AllThreeAreCompleteOnTheDiskBeforeTheFirstRename)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    writeIndexes(folder);
    CountingHook hook;
    rebuildIndexes(folder.path(), loadCategories(folder.path()), &hook);
    const auto firstRename = std::find_if(
        hook.steps.begin(), hook.steps.end(), [](const auto& s) { return s.first == RewriteStep::BeforeRename; });
    EXPECT_EQ(std::count_if(
                  hook.steps.begin(), firstRename, [](const auto& s) { return s.first == RewriteStep::ScratchSynced; }),
        3);
}

TEST(IndexFiles, AnEntryOfACategoryTheCategoryFileLacksKeepsItsDrug)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ drug("alpha", Tablet, 10, 0, 7) }));
    writeIndexes(folder, "1\r\n1,7\r\n");
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    ASSERT_FALSE(loadStartupFiles(state).has_value());
    EXPECT_EQ(state.TabletIndex.count, 1);
    ASSERT_EQ(state.categories.CategoryCount, 2);
    EXPECT_EQ(state.categories.CategoryCode[2], 7);
    rebuildIndexes(folder.path(), state.categories);
    EXPECT_EQ(folder.read("mxcat.idx"), "1\r\n\"Category 7          \",7\r\n");
}

} // namespace
} // namespace tb::testing
