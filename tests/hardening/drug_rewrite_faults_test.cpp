// Every step of the drug database's whole-file rewrites (the compaction of a delete, the
// rebuild of both index files and the rewrite of the category file) made to fail, or
// the process made to "die" there: each file is afterwards old or new, never neither and
// never half, and a scratch file left behind is never taken for a whole file.

#include "drugdb/drug_file.h"
#include "hardening_support.h"
#include "startup/startup_loader.h"

#include <gtest/gtest.h>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

std::vector<DrugRecord> fiveDrugs()
{
    return { drug("alpha", Tablet, 10, 0, 1), drug("beta", Solution, 5, 5, 2), drug("gamma", Capsule, 20, 0, 3),
        drug("delta", IMInjection, 10, 1, 2), drug("epsilon", Tablet, 50, 0, 4) };
}

CategoryTables fourCategories()
{
    CategoryTables c;
    c.CategoryCount = 5;
    const char* names[] = { "", "Analgesics", "Antibiotics", "Anticoagulants", "Opioids", "Unused" };
    for (int k = 1; k <= 5; ++k) {
        c.CategoryName[static_cast<std::size_t>(k)] = fitCategoryName(names[k]);
        c.CategoryCode[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(k);
    }
    return c;
}

// Old index files that disagree with the data file, so old and new are told apart.
void writeOldIndexes(const TempFolder& folder)
{
    folder.write("mxdbs1.idx", "1\r\n1,1\r\n");
    folder.write("mxdbs2.idx", "\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
}

enum class Operation { Compaction, IndexRebuild };

struct Case {
    Operation operation;
    StepFault::Kind kind;
};

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return std::string(info.param.operation == Operation::Compaction ? "Compaction" : "IndexRebuild")
        + (info.param.kind == StepFault::Kind::Throw ? "_WriteFails" : "_ProcessDies");
}

class DrugRewriteFault : public ::testing::TestWithParam<Case> {
protected:
    // Lays out the folder as it stands before the operation.
    void prepare(const TempFolder& folder) const
    {
        folder.write("MXDBASE.FIL", dataFile(fiveDrugs()));
        writeOldIndexes(folder);
    }

    // Runs the operation with a hook; returns normally only when it completed.
    void run(const TempFolder& folder, FaultHook* hook) const
    {
        if (GetParam().operation == Operation::Compaction) {
            DrugFile file(folder.path(), hook);
            file.deleteRecord(3);
        } else {
            rebuildIndexes(folder.path(), fourCategories(), hook);
        }
    }

    // The folder as the operation leaves it when nothing fails.
    FolderImage finished() const
    {
        TempFolder folder;
        prepare(folder);
        run(folder, nullptr);
        return imageOf(folder.path());
    }

    // The names of the files the operation replaces.
    std::vector<std::string> targets() const
    {
        if (GetParam().operation == Operation::Compaction)
            return { "MXDBASE.FIL" };
        return { "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx" };
    }
};

TEST_P(DrugRewriteFault, EveryStepLeavesEachFileOldOrNew)
{
    TempFolder counting;
    prepare(counting);
    StepFault counter(StepFault::Kind::Throw, 0, counting.path());
    run(counting, &counter);
    // Five steps per replaced file.
    ASSERT_EQ(counter.calls(), 5 * static_cast<int>(targets().size()));

    const FolderImage after = finished();
    for (int n = 1; n <= counter.calls(); ++n) {
        const auto& [step, file] = counter.steps()[static_cast<std::size_t>(n - 1)];
        SCOPED_TRACE(std::string("fault at ") + stepName(step) + " of " + file);
        TempFolder folder;
        prepare(folder);
        const FolderImage before = imageOf(folder.path());
        StepFault fault(GetParam().kind, n, folder.path());

        FolderImage left;
        if (GetParam().kind == StepFault::Kind::Throw) {
            try {
                run(folder, &fault);
                ADD_FAILURE() << "the failed step was not reported";
            } catch (const FileError& e) {
                EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
            }
            left = imageOf(folder.path());
            // The program cleaned up: no scratch file stays behind.
            for (const auto& [name, bytes] : left)
                EXPECT_TRUE(before.count(name) || after.count(name)) << "left behind: " << name;
        } else {
            EXPECT_THROW(run(folder, &fault), ProcessDied);
            left = fault.crashImage();
        }
        ASSERT_TRUE(fault.fired());

        for (const auto& name : targets()) {
            ASSERT_TRUE(left.count(name)) << name << " is gone";
            EXPECT_TRUE(left.at(name) == before.at(name) || left.at(name) == after.at(name))
                << name << " is neither the old nor the new file";
        }

        // The next run of the program in what was left: the files load, and the same
        // operation gives exactly the finished result, whatever scratch files lay about.
        TempFolder restart;
        restoreImage(left, restart.path());
        AppState state(std::make_unique<ScriptedRandom>(), restart.path());
        EXPECT_FALSE(loadStartupFiles(state).has_value());
        if (GetParam().operation == Operation::Compaction && left.at("MXDBASE.FIL") == after.at("MXDBASE.FIL")) {
            DrugFile file(restart.path());
            EXPECT_EQ(file.RecordTotal(), 4);
            continue; // already deleted: deleting again would remove another drug
        }
        ASSERT_NO_THROW(run(restart, nullptr));
        for (const auto& name : targets())
            EXPECT_EQ(restart.read(name), after.at(name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, DrugRewriteFault,
    ::testing::Values(Case { Operation::Compaction, StepFault::Kind::Throw },
        Case { Operation::Compaction, StepFault::Kind::Die }, Case { Operation::IndexRebuild, StepFault::Kind::Throw },
        Case { Operation::IndexRebuild, StepFault::Kind::Die }),
    caseName);

TEST(DrugRewriteFault, DataFileStaysUsableAfterAFailedCompaction)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(fiveDrugs()));
    StepFault fault(StepFault::Kind::Throw, 2, folder.path()); // the scratch copy is written, not synced
    DrugFile file(folder.path(), &fault);
    EXPECT_THROW(file.deleteRecord(2), FileError);
    EXPECT_EQ(file.RecordTotal(), 5);
    EXPECT_EQ(trimmedRight(file.read(2).GenericName), "beta");
    // The editor goes on: the next delete works.
    fault = StepFault(StepFault::Kind::Throw, 0, folder.path());
    file.deleteRecord(2);
    EXPECT_EQ(file.RecordTotal(), 4);
    EXPECT_EQ(trimmedRight(file.read(2).GenericName), "gamma");
}

TEST(DrugRewriteFault, LongerStaleScratchFromAnEarlierDeleteDoesNotLeakIn)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(fiveDrugs()));
    // An interrupted delete of a bigger database left ten records in MXDBASE.TMP.
    folder.write("MXDBASE.TMP", dataFile({ drug("stale", Tablet, 1, 0, 9) }) + std::string(9 * 240, 'x'));
    DrugFile file(folder.path());
    file.deleteRecord(5);
    file.close();
    EXPECT_EQ(folder.read("MXDBASE.FIL"), dataFile({ fiveDrugs()[0], fiveDrugs()[1], fiveDrugs()[2], fiveDrugs()[3] }));
    EXPECT_FALSE(fs::exists(folder / "MXDBASE.TMP"));
}

} // namespace
} // namespace tb::testing
