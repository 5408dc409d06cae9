#include "drugdb/drug_file.h"

#include "startup/file_error.h"
#include "startup/startup_loader.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

DrugRecord drug(const std::string& name, std::int16_t category)
{
    DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = 1;
    r.DoseRangeHigh = 2;
    r.FluidIncrement = 1;
    r.DrugCategory = category;
    return r;
}

DrugRecord withSlot(DrugRecord r, int i, std::int16_t form, double strength)
{
    r.FormCode[static_cast<std::size_t>(i)] = form;
    r.Strength[static_cast<std::size_t>(i)] = strength;
    r.Volume[static_cast<std::size_t>(i)] = 5;
    return r;
}

CategoryTables categoriesOf(std::initializer_list<std::pair<const char*, std::int16_t>> entries)
{
    CategoryTables t;
    for (const auto& [name, code] : entries) {
        ++t.CategoryCount;
        t.CategoryName[static_cast<std::size_t>(t.CategoryCount)] = fitCategoryName(name);
        t.CategoryCode[static_cast<std::size_t>(t.CategoryCount)] = code;
    }
    return t;
}

class IndexRebuild : public ::testing::Test {
protected:
    void writeDrugs(const std::vector<DrugRecord>& drugs)
    {
        DrugFile file(folder_.path());
        for (std::size_t i = 0; i < drugs.size(); ++i)
            file.write(static_cast<int>(i + 1), drugs[i]);
    }

    /// Four drugs: a tablet, a tablet-and-solution, one with every strength 0, and a solution; four
    /// categories of which code 3 is used by none.
    void writeMixedDatabase()
    {
        writeDrugs({ withSlot(drug("tabs", 1), 0, Tablet, 10),
            withSlot(withSlot(drug("both", 2), 0, Tablet, 10), 3, Solution, 5),
            withSlot(withSlot(drug("nostrength", 4), 0, Tablet, 0), 1, Syrup, 0),
            withSlot(withSlot(drug("fluid", 1), 0, Tablet, 0), 4, IVInjection, 5) });
        categories_
            = categoriesOf({ { "Analgesics", 1 }, { "Antibiotics", 2 }, { "Unused", 3 }, { "Cardiovascular", 4 } });
    }

    TempFolder folder_;
    CategoryTables categories_;
};

const std::string MixedSolid = "2\r\n1,1\r\n2,2\r\n";
const std::string MixedFluid = "2\r\n2,2\r\n4,1\r\n";
const std::string MixedCategories
    = "3\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n\"Cardiovascular      \",4\r\n";

TEST_F(IndexRebuild, ListsEachKindAndDropsUnusedCategories)
{
    writeMixedDatabase();
    rebuildIndexes(folder_.path(), categories_);
    EXPECT_EQ(folder_.read("mxdbs1.idx"), MixedSolid);
    EXPECT_EQ(folder_.read("mxdbs2.idx"), MixedFluid);
    EXPECT_EQ(folder_.read("mxcat.idx"), MixedCategories);

    // What start-up reads back.
    const DrugIndex solid = parseIndexFile(folder_.read("mxdbs1.idx"), "mxdbs1.idx");
    EXPECT_EQ(solid.count, 2);
    EXPECT_EQ(solid.record[2], 2);
    const CategoryTables back = parseCategoryFile(folder_.read("mxcat.idx"), "mxcat.idx");
    EXPECT_EQ(back.CategoryCount, 3);
    EXPECT_EQ(back.CategoryCode[3], 4);
}

TEST_F(IndexRebuild, EmptyListsGiveAnEmptyCountLine)
{
    writeDrugs({ withSlot(drug("fluid", 7), 0, Suspension, 5) });
    categories_ = categoriesOf({ { "Other", 7 } });
    rebuildIndexes(folder_.path(), categories_);
    EXPECT_EQ(folder_.read("mxdbs1.idx"), "\r\n");
    EXPECT_EQ(folder_.read("mxdbs2.idx"), "1\r\n1,7\r\n");
    EXPECT_EQ(parseIndexFile(folder_.read("mxdbs1.idx"), "mxdbs1.idx").count, 0);
}

TEST_F(IndexRebuild, EmptyDataFile)
{
    writeDrugs({});
    categories_ = categoriesOf({ { "Other", 1 } });
    rebuildIndexes(folder_.path(), categories_);
    EXPECT_EQ(folder_.read("mxdbs1.idx"), "\r\n");
    EXPECT_EQ(folder_.read("mxdbs2.idx"), "\r\n");
    EXPECT_EQ(folder_.read("mxcat.idx"), "0\r\n");
}

TEST_F(IndexRebuild, ReplacesFilesWhateverTheirSpelling)
{
    writeMixedDatabase();
    folder_.write("Mxdbs1.idx", "old");
    folder_.write("MXCAT.IDX", "old");
    rebuildIndexes(folder_.path(), categories_);
    EXPECT_EQ(folder_.read("Mxdbs1.idx"), MixedSolid);
    EXPECT_EQ(folder_.read("MXCAT.IDX"), MixedCategories);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_.path()))
        ++files;
    EXPECT_EQ(files, 4);
}

TEST_F(IndexRebuild, MissingDataFileRewritesNothing)
{
    folder_.write("mxcat.idx", MixedCategories);
    categories_ = categoriesOf({ { "Analgesics", 1 } });
    EXPECT_THROW(rebuildIndexes(folder_.path(), categories_), FileError);
    EXPECT_EQ(folder_.read("mxcat.idx"), MixedCategories);
    EXPECT_FALSE(fs::exists(folder_ / "mxdbs1.idx"));
}

struct RebuildFault {
    RewriteStep step;
    int file; // 0 mxdbs1.idx, 1 mxdbs2.idx, 2 mxcat.idx
};

class InterruptedRebuild : public IndexRebuild, public ::testing::WithParamInterface<RebuildFault> { };

class ThrowAt final : public FaultHook {
public:
    ThrowAt(RewriteStep step, std::string file)
        : step_(step)
        , file_(std::move(file))
    {
    }
    void at(RewriteStep step, const fs::path& target) override
    {
        if (step == step_ && sameNameIgnoringCase(target.filename().string(), file_))
            throw std::runtime_error("interrupted");
    }

private:
    RewriteStep step_;
    std::string file_;
};

TEST_P(InterruptedRebuild, EveryFileOldOrNewAndNoScratchLeft)
{
    const char* names[] = { "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx" };
    const std::string fresh[] = { MixedSolid, MixedFluid, MixedCategories };
    const std::string old[] = { "1\r\n9,9\r\n", "\r\n", "1\r\n\"Old                 \",9\r\n" };
    writeMixedDatabase();
    for (int i = 0; i < 3; ++i)
        folder_.write(names[i], old[i]);
    const int at = GetParam().file;
    ThrowAt hook(GetParam().step, names[at]);
    EXPECT_THROW(rebuildIndexes(folder_.path(), categories_, &hook), std::runtime_error);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        const bool replaced = i < at || (i == at && GetParam().step == RewriteStep::Renamed);
        EXPECT_EQ(folder_.read(names[i]), replaced ? fresh[i] : old[i]);
    }
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "MXDBASE.FIL" || name.ends_with(".idx")) << name << " left behind";
    }
}

std::vector<RebuildFault> allRebuildFaults()
{
    std::vector<RebuildFault> faults;
    for (int file = 0; file < 3; ++file)
        for (RewriteStep step : { RewriteStep::ScratchOpened, RewriteStep::ScratchWritten, RewriteStep::ScratchSynced,
                 RewriteStep::BeforeRename, RewriteStep::Renamed })
            faults.push_back({ step, file });
    return faults;
}

INSTANTIATE_TEST_SUITE_P(Steps, InterruptedRebuild, ::testing::ValuesIn(allRebuildFaults()));

// ---- Creating a category ----

TEST(CreateCategory, SmallestFreeCode)
{
    CategoryTables t = categoriesOf({ { "A", 1 }, { "B", 2 }, { "D", 4 } });
    EXPECT_EQ(createCategory(t, "C"), 4);
    EXPECT_EQ(t.CategoryCode[4], 3);
    EXPECT_EQ(createCategory(t, "E"), 5);
    EXPECT_EQ(t.CategoryCode[5], 5);

    CategoryTables none;
    EXPECT_EQ(createCategory(none, "First"), 1);
    EXPECT_EQ(none.CategoryCode[1], 1);
    EXPECT_EQ(none.CategoryName[1], "First" + std::string(15, ' '));
}

TEST(CreateCategory, NameTrimmedAndCutToTwenty)
{
    CategoryTables t;
    createCategory(t, "Antibiotics and antifungals   ");
    EXPECT_EQ(t.CategoryName[1], "Antibiotics and anti");
    createCategory(t, "Renal   ");
    EXPECT_EQ(t.CategoryName[2], "Renal" + std::string(15, ' '));
    EXPECT_EQ(createCategory(t, "    "), 0);
    EXPECT_EQ(t.CategoryCount, 2);
}

TEST(CreateCategory, FiftyFirstIsRefusedAndChangesNothing)
{
    CategoryTables t;
    for (int i = 1; i <= 50; ++i)
        ASSERT_EQ(createCategory(t, "Category " + std::to_string(i)), i);
    EXPECT_EQ(t.CategoryCode[50], 50);
    const CategoryTables before = t;
    EXPECT_EQ(createCategory(t, "One too many"), 0);
    EXPECT_EQ(t.CategoryCount, 50);
    EXPECT_EQ(t.CategoryName, before.CategoryName);
    EXPECT_EQ(t.CategoryCode, before.CategoryCode);
}

TEST(CreateCategory, QuotesCannotBreakTheCategoryFile)
{
    TempFolder folder;
    CategoryTables t;
    const int slot = createCategory(t, "Eye \"drops\", ear");
    {
        DrugFile file(folder.path());
        file.write(1, withSlot(drug("x", t.CategoryCode[static_cast<std::size_t>(slot)]), 0, Tablet, 1));
    }
    rebuildIndexes(folder.path(), t);
    const CategoryTables back = parseCategoryFile(folder.read("mxcat.idx"), "mxcat.idx");
    ASSERT_EQ(back.CategoryCount, 1);
    EXPECT_EQ(back.CategoryName[1], "Eye 'drops', ear    ");
}

} // namespace
} // namespace tb
