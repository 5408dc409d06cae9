// Writes that fail at every step of every whole-file rewrite, or die there; a disk that fills
// part way; a folder the program may not write. Each file is left old or new, never half; a
// failure names the file; and the operation run again in what was left finishes exactly.

#include "core/foundation/settings.h"
#include "hardening_support.h"

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tb::testing {

using namespace tb::headless;
namespace {

enum Rewrite { Compaction, IndexRebuild, QuestionDelete, SaveAsNew, SaveAsExisting, Export };
const char* const Names[] = { "Compaction", "IndexRebuild", "QuestionDelete", "SaveAsNew", "SaveOver", "Export" };
const std::vector<std::string> Targets[] = { { "MXDBASE.FIL" }, { "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx" },
    { "quiz.dsq" }, { "copy.dsq" }, { "old.dsq" }, { "quiz.txt" } };
enum Kind { WriteFails, ProcessDies };
struct ProcessDied { };

// Fires at the n-th step reported to it: fails it as a full disk would, or copies the folder
// as a killed process leaves it and abandons the operation. With n = 0 it only counts.
struct StepFault final : FaultHook {
    void at(RewriteStep, const std::filesystem::path& target) override
    {
        targets.push_back(target.filename().string());
        if (targets.size() == n && kind == WriteFails)
            throw FileError(target.string(), "The file \"" + targets.back() + "\" was not changed: disk full.");
        if (targets.size() == n) {
            crashImage = imageOf(folder);
            throw ProcessDied {};
        }
    }
    Kind kind = WriteFails;
    std::size_t n = 0;
    std::filesystem::path folder;
    std::vector<std::string> targets; // the file of each step reported so far
    FolderImage crashImage;
};

// The folder before the operation; `stale` adds scratch files left by an interrupted
// rewrite of a longer file, which must never leak into the data.
void prepare(const TempFolder& folder, bool stale)
{
    folder.write("MXDBASE.FIL",
        dataFile({ drug("alpha", Tablet, 10, 0, 1), drug("beta", Solution, 5, 5, 2), drug("gamma", Capsule, 20, 0, 3),
            drug("delta", IMInjection, 10, 1, 2), drug("epsilon", Tablet, 50, 0, 4) }));
    writeIndexes(folder, "1\r\n1,1\r\n"); // disagree with the data file, so old and new differ
    folder.write("quiz.dsq", savedTest(4));
    folder.write("old.dsq", savedTest(1));
    folder.write("quiz.txt", "an earlier export\r\n");
    if (stale) {
        folder.write("MXDBASE.TMP", dataFile({ drug("stale", Tablet, 1, 0, 9) }) + std::string(9 * 240, 'x'));
        folder.write(QuestionScratchFileName, savedTest(40));
    }
}

// Runs the rewrite; gives the failure as reported and the records or questions then held.
std::pair<std::string, int> run(Rewrite r, const TempFolder& folder, FaultHook* hook)
{
    if (r == Compaction || r == IndexRebuild) {
        std::optional<DrugFile> file;
        try {
            if (r == IndexRebuild)
                rebuildIndexes(folder.path(), parseCategoryFile("3\r\n\"A\",1\r\n\"B\",2\r\n\"C\",3\r\n", "c"), hook);
            else
                file.emplace(folder.path(), hook).deleteRecord(3);
        } catch (const FileError& e) {
            return { e.what(), file ? file->RecordTotal() : -1 };
        }
        return { "", file ? file->RecordTotal() : -1 };
    }
    Rig rig(folder.path(), { "quiz.dsq", Targets[r][0] });
    rig.prompts.yesNoAnswers = { true }; // replace the existing file
    rig.model.openTest();
    rig.model.backTen();
    rig.model.forward(); // question 2 shown
    rig.model.setFaultHook(hook);
    r == QuestionDelete ? rig.model.deleteQuestion() : rig.model.saveAs();
    rig.model.setFaultHook(nullptr);
    return { rig.lastMessage(), rig.model.QuestionCount() };
}

class RewriteFault : public ::testing::TestWithParam<std::tuple<Rewrite, Kind>> { };

TEST_P(RewriteFault, EveryStepLeavesEachFileOldOrNew)
{
    const auto [rewrite, kind] = GetParam();
    const auto& targets = Targets[rewrite];
    const auto fileIn = [](const FolderImage& image, const std::string& name) {
        return image.count(name) ? image.at(name) : "<none>";
    };
    TempFolder counting;
    prepare(counting, false);
    StepFault counter;
    ASSERT_EQ(run(rewrite, counting, &counter).first, "");
    // opened, written, synced, before rename, renamed, folder synced; the rebuild writes its journal
    // too, and before a delete or Save As the test window stores the question shown (a step half way)
    const bool model = rewrite == QuestionDelete || rewrite == SaveAsNew || rewrite == SaveAsExisting;
    ASSERT_EQ(counter.targets.size(), 6 * (targets.size() + (rewrite == IndexRebuild ? 1 : 0)) + (model ? 1 : 0));
    TempFolder reference;
    prepare(reference, true);
    const FolderImage before = imageOf(reference.path());
    run(rewrite, reference, nullptr);
    const FolderImage after = imageOf(reference.path());
    for (const auto& name : targets)
        EXPECT_EQ(fileIn(after, name), counting.read(name)) << "a stale scratch file leaked into " << name;
    for (std::size_t n = 1; n <= counter.targets.size(); ++n) {
        SCOPED_TRACE("fault at step " + std::to_string(n) + " of " + counter.targets[n - 1]);
        TempFolder folder;
        prepare(folder, true);
        StepFault fault;
        fault.kind = kind;
        fault.n = n;
        fault.folder = folder.path();
        std::pair<std::string, int> outcome { "", -1 };
        try {
            outcome = run(rewrite, folder, &fault);
        } catch (const ProcessDied&) {
        }
        ASSERT_EQ(fault.targets.size(), n);
        const FolderImage left = kind == WriteFails ? imageOf(folder.path()) : fault.crashImage;
        if (kind == WriteFails) {
            EXPECT_NE(outcome.first.find(counter.targets[n - 1]), std::string::npos) << outcome.first;
            for (const auto& [name, bytes] : left)
                EXPECT_TRUE(before.count(name) || after.count(name) || name == RebuildJournalFileName)
                    << "left behind: " << name;
        }
        bool allNew = true;
        for (const auto& name : targets) {
            const std::string now = fileIn(left, name);
            EXPECT_TRUE(now == fileIn(before, name) || now == fileIn(after, name))
                << name << " is neither old nor new (" << now.size() << " bytes)";
            allNew = allNew && now == fileIn(after, name);
        }
        for (const auto& [name, bytes] : before)
            EXPECT_TRUE(std::find(targets.begin(), targets.end(), name) != targets.end() || name.ends_with(".TMP")
                || fileIn(left, name) == bytes)
                << name << " was changed";
        EXPECT_TRUE(outcome.second < 0 || allNew || outcome.second == (rewrite == Compaction ? 5 : 4))
            << "the program lost what the old file holds";
        TempFolder restart; // the next program run starts in what was left
        for (const auto& [name, bytes] : left)
            restart.write(name, bytes);
        if (rewrite == IndexRebuild) {
            // Start-up finds a rebuild stopped part way and redoes it: the three files are then
            // all new; with nothing left over they are all old and start-up says nothing.
            const bool leftOver = left.count(RebuildJournalFileName) || left.count("mxdbs1.idx.new")
                || left.count("mxdbs2.idx.new") || left.count("mxcat.idx.new");
            EXPECT_EQ(completeIndexRebuild(restart.path()).empty(), !leftOver);
            const FolderImage recovered = imageOf(restart.path());
            for (const auto& name : targets)
                EXPECT_EQ(fileIn(recovered, name), fileIn(leftOver ? after : left, name)) << name;
            EXPECT_FALSE(recovered.count(RebuildJournalFileName));
            EXPECT_TRUE(!leftOver || recovered == after) << "not the finished result";
            continue;
        }
        if (allNew)
            continue; // done already: a delete run again would remove another one
        // The operation run again finishes the job exactly.
        EXPECT_EQ(run(rewrite, restart, nullptr).first, "");
        EXPECT_TRUE(imageOf(restart.path()) == after) << "not the finished result";
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, RewriteFault,
    ::testing::Combine(::testing::Values(Compaction, IndexRebuild, QuestionDelete, SaveAsNew, SaveAsExisting, Export),
        ::testing::Values(WriteFails, ProcessDies)),
    [](const auto& info) {
        return std::string(Names[std::get<0>(info.param)]) + (std::get<1>(info.param) ? "_ProcessDies" : "_WriteFails");
    });

// Permission bits do not stop root, so this runs only for an ordinary user.
TEST(UnwritableFolder, EveryWriterReportsAndNothingChanges)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: permission bits do not stop writes";
    TempFolder folder;
    prepare(folder, false);
    folder.write("MX.INI", Settings {}.pack());
    ::chmod((folder / "MX.INI").c_str(), 0444);
    const FolderImage before = imageOf(folder.path());
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_THROW(storeSettings(folder.path(), Settings {}), FileError);
    EXPECT_THROW(rebuildIndexes(folder.path(), parseCategoryFile(OneCategory, "mxcat.idx")), FileError);
    {
        Rig rig(folder.path(), { "quiz.dsq", "copy.dsq", "copy.txt" });
        EXPECT_NE(rig.lastMessage().find("test.tmp"), std::string::npos); // the new test has nowhere to go
        rig.model.openTest();
        for (const char* target : { "copy.dsq", "copy.txt" }) {
            rig.model.saveAs();
            EXPECT_NE(rig.lastMessage().find(target), std::string::npos) << rig.lastMessage();
        }
    }
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(imageOf(folder.path()), before);
}

// Writes past a file-size limit fail (EFBIG), as on a disk that fills part way.
struct FileSizeLimit {
    FileSizeLimit() { ::getrlimit(RLIMIT_FSIZE, &saved); }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    void set(rlim_t bytes) { ::setrlimit(RLIMIT_FSIZE, std::data({ rlimit { bytes, saved.rlim_max } })); }
    rlimit saved {};
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
};

TEST(FullDisk, EveryWriterStoppedPartWayLeavesEveryFileWhole)
{
    TempFolder folder;
    prepare(folder, false);
    const FolderImage before = imageOf(folder.path());
    FileSizeLimit limit;
    Rig rig(folder.path(), { "quiz.dsq", "old.dsq", "quiz.txt" });
    rig.prompts.yesNoAnswers = { true, true };
    rig.model.openTest();
    rig.model.backTen(); // the shown question is stored below the limit; a copy reaches past it
    limit.set(3 * TestRecordLength + 100);
    // The exact text, with the system's error number (EFBIG); the details name the file.
    rig.model.saveAs();
    EXPECT_EQ(rig.prompts.messages.back().text, "An error 27 on line 0 was detected.");
    EXPECT_NE(rig.prompts.messages.back().details.find("old.dsq"), std::string::npos) << rig.lastMessage();
    rig.model.saveAs();
    EXPECT_EQ(rig.prompts.messages.back().text, Illegal);
    EXPECT_NE(rig.prompts.messages.back().details.find("quiz.txt"), std::string::npos) << rig.lastMessage();
    rig.model.forwardTen();
    limit.set(5 * TestRecordLength + 500);
    rig.model.forward(); // a new blank question 5 cannot be stored whole
    EXPECT_NE(rig.lastMessage().find("quiz.dsq"), std::string::npos) << rig.lastMessage();
    limit.set(RLIM_INFINITY);
    rig.model.closeTest();
    EXPECT_EQ(imageOf(folder.path()), before);
}

} // namespace
} // namespace tb::testing
