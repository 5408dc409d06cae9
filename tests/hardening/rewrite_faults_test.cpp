// Every step of every whole-file rewrite made to fail as a full disk would, or the process
// made to "die" there. Each file written is afterwards old or new, never neither and never
// half; a failure is reported naming the file; nothing else changes; and running the
// operation again in what was left, stale scratch files and all, gives the finished result.

#include "hardening_support.h"

#include <optional>

namespace tb::testing {
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
        if (targets.size() != n)
            return;
        if (kind == WriteFails)
            throw FileError(target.string(), "The file \"" + targets.back() + "\" was not changed: disk full.");
        crashImage = imageOf(folder);
        throw ProcessDied {};
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
    EXPECT_EQ(rig.model.QuestionCount(), 4);
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
    ASSERT_EQ(counter.targets.size(), 5 * targets.size()); // opened, written, synced, before rename, renamed
    TempFolder reference;
    prepare(reference, true);
    const FolderImage before = imageOf(reference.path());
    run(rewrite, reference, nullptr);
    const FolderImage after = imageOf(reference.path());
    for (const auto& name : targets) {
        EXPECT_NE(fileIn(before, name), fileIn(after, name)) << name;
        EXPECT_EQ(fileIn(after, name), counting.read(name)) << "a stale scratch file leaked into " << name;
    }

    for (std::size_t n = 1; n <= counter.targets.size(); ++n) {
        SCOPED_TRACE("fault at step " + std::to_string(n) + " of " + counter.targets[n - 1]);
        TempFolder folder;
        prepare(folder, true);
        StepFault fault;
        fault.kind = kind, fault.n = n, fault.folder = folder.path();
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
                EXPECT_TRUE(before.count(name) || after.count(name)) << "left behind: " << name;
        }
        bool allNew = true;
        for (const auto& name : targets) {
            const std::string now = fileIn(left, name);
            EXPECT_TRUE(now == fileIn(before, name) || now == fileIn(after, name))
                << name << " is neither old nor new (" << now.size() << " bytes)";
            allNew = allNew && now == fileIn(after, name);
        }
        for (const auto& [name, bytes] : before) {
            if (std::find(targets.begin(), targets.end(), name) == targets.end() && !name.ends_with(".TMP")) {
                EXPECT_EQ(fileIn(left, name), bytes) << name << " was changed";
            }
        }
        if (outcome.second >= 0 && !allNew) {
            EXPECT_EQ(outcome.second, rewrite == Compaction ? 5 : 4) << "the program lost what the old file holds";
        }

        // The next program run starts in what was left and finishes the job exactly.
        TempFolder restart;
        for (const auto& [name, bytes] : left)
            restart.write(name, bytes);
        AppState state(std::make_unique<ScriptedRandom>(), restart.path());
        EXPECT_FALSE(loadStartupFiles(state).has_value());
        if (!allNew) { // when done already, a delete run again would remove another one
            EXPECT_EQ(run(rewrite, restart, nullptr).first, "");
            FolderImage now = imageOf(restart.path());
            now.erase("MX.INI"); // start-up makes the settings file
            for (const auto& [name, bytes] : after)
                EXPECT_TRUE(now.count(name) && now.at(name) == bytes) << name;
            EXPECT_EQ(now.size(), after.size()) << "scratch files left behind";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, RewriteFault,
    ::testing::Combine(::testing::Values(Compaction, IndexRebuild, QuestionDelete, SaveAsNew, SaveAsExisting, Export),
        ::testing::Values(WriteFails, ProcessDies)),
    [](const auto& info) {
        return std::string(Names[std::get<0>(info.param)]) + (std::get<1>(info.param) ? "_ProcessDies" : "_WriteFails");
    });

} // namespace
} // namespace tb::testing
