#include "core/drugdb/index_files.h"

#include "core/foundation/file_error.h"

#include <gtest/gtest.h>

#include <string>

namespace tb {
namespace {

// Pairs up to the announced count; lines beyond it are not read.
TEST(IndexFile, TakesPairsUpToTheAnnouncedCount)
{
    const DrugIndex index = parseIndexFile("3\r\n12,3\r\n4,1\r\n7,3\r\n10,4\r\n\r\n", "mxdbs1.idx");
    EXPECT_EQ(index.record, (std::vector<std::int16_t> { 0, 12, 4, 7 }));
    EXPECT_EQ(index.category, (std::vector<std::int16_t> { 0, 3, 1, 3 }));
    EXPECT_EQ(parseIndexFile("", "mxdbs1.idx").count, 0);
    EXPECT_EQ(parseIndexFile("0\r\n5,5\r\n", "mxdbs1.idx").count, 0);
}

struct RefusedRow {
    const char* name;
    bool category;
    const char* text;
    int line;
    const char* words;
};

class IndexFileRefused : public ::testing::TestWithParam<RefusedRow> { };

// The refusal names the file, the line and what is wrong.
TEST_P(IndexFileRefused, NamesTheFileAndLine)
{
    const RefusedRow& row = GetParam();
    const std::string file = row.category ? "MXCAT.IDX" : "Mxdbs1.idx";
    try {
        if (row.category)
            parseCategoryFile(row.text, file);
        else
            parseIndexFile(row.text, file);
        ADD_FAILURE() << "accepted";
    } catch (const FileError& e) {
        const std::string message = e.what();
        EXPECT_EQ(e.line(), row.line) << message;
        EXPECT_NE(message.find('"' + file + '"'), std::string::npos) << message;
        EXPECT_NE(message.find("line " + std::to_string(row.line)), std::string::npos) << message;
        EXPECT_NE(message.find(row.words), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, IndexFileRefused,
    ::testing::Values(RefusedRow { "CountNotANumber", false, "three\r\n", 1, "whole number" },
        RefusedRow { "TooFewEntries", false, "3\r\n1,1\r\n2,2\r\n", 4, "announces 3 entries but only 2" },
        RefusedRow { "NoComma", false, "1\r\n12;3\r\n", 2, "comma" },
        RefusedRow { "RecordZero", false, "1\r\n0,3\r\n", 2, "below 1" },
        RefusedRow { "NoClosingQuote", true, "1\r\n\"Open,1\r\n", 2, "closing quote" },
        RefusedRow { "FiftyOne", true, "51\r\n", 1, "at most 50" }),
    [](const auto& info) { return std::string(info.param.name); });

// A quote inside a name (typed in the editor) would end the name early on reading: it is written
// as an apostrophe, and only the used slots are listed.
TEST(CategoryFileText, QuotedNamesOfTheUsedSlots)
{
    CategoryTables c = parseCategoryFile("3\r\n\"A\",1\r\n\"B\",2\r\n\"C\",9\r\n", "mxcat.idx");
    c.CategoryName[3] = "Say \"hi\"\r\n";
    EXPECT_EQ(categoryFileText(c, { false, true, false, true }),
        "2\r\n\"A                   \",1\r\n\"Say 'hi'            \",9\r\n");
}

} // namespace
} // namespace tb
