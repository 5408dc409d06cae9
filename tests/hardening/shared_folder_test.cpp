// A shared folder anyone can write to: links and odd files at the program's file names,
// scratch names used as test names, and what a save leaves on the disk.

#include "hardening_support.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tb::testing {

using namespace tb::headless;
namespace {

namespace fs = std::filesystem;

const auto byName = [](const auto& info) { return std::string(info.param.name); };

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
        LinkRow { "QuestionDeleteOutside", "MXtmp.TMP", Rewrite::QuestionDelete, false }),
    byName);

// ---- a test or the drug data file that is a link to a shared file stays a link ----

TEST(SharedFileLink, DeletesWriteWhereTheLinkLeadsAndLaterEditsFollow)
{
    TempFolder folder;
    TempFolder shared;
    shared.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    shared.write("quiz.dsq", savedTest(3));
    for (const char* name : { "MXDBASE.FIL", "quiz.dsq" })
        fs::create_symlink(shared / name, folder / name);
    {
        DrugFile file(folder.path());
        file.deleteRecord(1);
        file.write(3, drug("delta", Tablet, 5, 0, 1)); // after the delete, still through the link
    }
    {
        Rig rig(folder.path(), { "quiz.dsq" });
        rig.model.openTest();
        rig.model.deleteQuestion();
        EXPECT_EQ(rig.model.QuestionCount(), 2);
        rig.model.closeTest();
    }
    for (const char* name : { "MXDBASE.FIL", "quiz.dsq" })
        EXPECT_TRUE(fs::is_symlink(folder / name)) << name << " became a local copy";
    EXPECT_EQ(shared.read("MXDBASE.FIL"),
        dataFile({ drug("beta", Solution, 5, 5, 1), drug("gamma", Tablet, 20, 0, 1), drug("delta", Tablet, 5, 0, 1) }));
    EXPECT_EQ(shared.read("quiz.dsq").size(), 3 * TestRecordLength);
    EXPECT_FALSE(fs::exists(folder / "MXDBASE.TMP") || fs::exists(shared / "MXDBASE.TMP"));
}

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
    EXPECT_FALSE(fs::exists(folder / GetParam().typed));
}

INSTANTIATE_TEST_SUITE_P(Names, ReservedTestName,
    ::testing::Values(NameRow { "QuestionScratch", "mxtmp.tmp" }, NameRow { "CategoryFile", "MxCat.Idx" }), byName);

// ---- a pipe, a device or a huge file at a file name is reported, without blocking ----

enum class Odd { Fifo, ZeroLink, Huge };

struct OddRow {
    const char* name;
    const char* file; // MXDBASE.FIL is read for a drug, a .dsq opened as a test, the rest at start-up
    Odd odd;
};

class OddFile : public ::testing::TestWithParam<OddRow> { };

// Anything but a regular file opened as a test is an illegal name; every other reader names the file.
TEST_P(OddFile, IsNamedWithoutBlocking)
{
    const auto& [name, file, odd] = GetParam();
    const bool test = std::string(file).ends_with(".dsq");
    TempFolder folder;
    if (!test && std::string(file) != "MXDBASE.FIL") {
        folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
        writeIndexes(folder, "1\r\n1,1\r\n");
    }
    const fs::path path = folder / file;
    fs::remove(path);
    if (odd == Odd::Fifo)
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    else if (odd == Odd::ZeroLink)
        fs::create_symlink("/dev/zero", path);
    else {
        folder.write(file, "");
        fs::resize_file(path, 1ULL << 30); // sparse: no disk space used
    }
    std::string message;
    if (test) {
        Rig rig(folder.path(), { file });
        rig.model.openTest();
        message = rig.lastMessage();
        EXPECT_EQ(message.rfind("Illegal file name", 0), 0u) << message;
    } else if (std::string(file) == "MXDBASE.FIL") {
        try {
            readDrugRecord(folder.path(), 1);
        } catch (const FileError& e) {
            message = e.what();
        }
    } else {
        AppState state(std::make_unique<ScriptedRandom>(), folder.path());
        const auto problem = loadStartupFiles(state);
        ASSERT_TRUE(problem.has_value());
        message = problem->message;
    }
    if (!test || odd == Odd::Huge) {
        EXPECT_NE(message.find(file), std::string::npos) << message;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, OddFile, ::testing::Values(
    OddRow { "SettingsFifo", "MX.INI", Odd::Fifo },
    OddRow { "CategoryHuge", "mxcat.idx", Odd::Huge },
    OddRow { "DataZeroLink", "MXDBASE.FIL", Odd::ZeroLink },
    OddRow { "TestFifo", "quiz.dsq", Odd::Fifo },
    OddRow { "TestHuge", "quiz.dsq", Odd::Huge }), byName);
// clang-format on

// ---- what a command leaves on the disk: synced, the folder too ----

struct CountingHook final : FaultHook {
    void at(RewriteStep step, const fs::path&) override { steps.push_back(step); }
    long count(RewriteStep step) const { return std::count(steps.begin(), steps.end(), step); }
    std::vector<RewriteStep> steps;
};

// A saved record is synced; a delete, the index rebuild and Save As sync the folder after each
// rename; the three index files are all complete on the disk before the first of them is renamed.
TEST(Durability, EverySaveIsSyncedAndSoIsTheFolderAfterEachRename)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(ThreeDrugs));
    folder.write("quiz.dsq", savedTest(3));
    writeIndexes(folder);
    CountingHook hook;
    DrugFile(folder.path(), &hook).write(4, drug("delta", Tablet, 5, 0, 1));
    EXPECT_EQ(hook.count(RewriteStep::RecordSynced), 1);
    DrugFile(folder.path(), &hook).deleteRecord(1);
    EXPECT_EQ(hook.count(RewriteStep::FolderSynced), 1);
    const auto rebuildStart = static_cast<long>(hook.steps.size());
    rebuildIndexes(folder.path(), loadCategories(folder.path()), &hook);
    EXPECT_EQ(hook.count(RewriteStep::FolderSynced), 5); // the journal and the three files
    const auto indexFiles = hook.steps.begin() + rebuildStart + 6; // after the journal's six steps
    const auto firstRename = std::find(indexFiles, hook.steps.end(), RewriteStep::BeforeRename);
    EXPECT_EQ(std::count(indexFiles, firstRename, RewriteStep::ScratchSynced), 3);
    Rig rig(folder.path(), { "quiz.dsq", "copy.dsq" });
    rig.model.openTest();
    rig.model.setFaultHook(&hook);
    rig.model.saveAs();
    EXPECT_EQ(hook.count(RewriteStep::FolderSynced), 6);
    EXPECT_EQ(hook.count(RewriteStep::Renamed), 6);
    rig.model.save(); // "&Save Test" stores the shown question in place, on the disk
    EXPECT_EQ(hook.count(RewriteStep::RecordSynced), 2);
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
    rebuildIndexes(folder.path(), state.categories);
    EXPECT_EQ(folder.read("mxcat.idx"), "1\r\n\"Category 7          \",7\r\n");
}

} // namespace
} // namespace tb::testing
