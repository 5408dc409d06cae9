// Inputs the fuzz targets found to break a reader or a writer, kept so they stay fixed.

#include "drugdb/drug_file.h"
#include "hardening_support.h"
#include "startup/startup_loader.h"

#include <gtest/gtest.h>

namespace tb::testing {
namespace {

// fuzz_category_file: a category name with a double quote in it (typed by the teacher,
// or read from an unquoted line) was written back between quotes and the next start-up
// refused the file, so the program could not start at all. The rewrite now stores the
// quote as an apostrophe.
TEST(FuzzFinding, CategoryNameWithAQuoteReadsBackAfterTheRebuild)
{
    const std::string found = "2\r\nCarhere\",7\r\nng name ;cut here\",7\r\n";
    CategoryTables categories = parseCategoryFile(found, "mxcat.idx");
    ASSERT_EQ(categories.CategoryCount, 2);
    EXPECT_EQ(categories.CategoryName[1], "Carhere\"            ");
    ASSERT_GT(createCategory(categories, "Say \"when\""), 0);

    TempFolder folder;
    std::vector<DrugRecord> records;
    for (int k = 1; k <= categories.CategoryCount; ++k)
        records.push_back(drug("drug", Tablet, 1, 0, categories.CategoryCode[static_cast<std::size_t>(k)]));
    folder.write("MXDBASE.FIL", dataFile(records));
    rebuildIndexes(folder.path(), categories);

    const CategoryTables reread = parseCategoryFile(folder.read("mxcat.idx"), "mxcat.idx");
    ASSERT_EQ(reread.CategoryCount, 3);
    EXPECT_EQ(reread.CategoryName[1], "Carhere'            ");
    EXPECT_EQ(reread.CategoryName[2], "ng name ;cut here'  ");
    EXPECT_EQ(reread.CategoryName[3], "Say 'when'          ");
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(
            reread.CategoryCode[static_cast<std::size_t>(k)], categories.CategoryCode[static_cast<std::size_t>(k)]);
}

} // namespace
} // namespace tb::testing
