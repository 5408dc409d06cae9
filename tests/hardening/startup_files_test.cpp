// The three files start-up reads, each spoiled in turn: start-up names the file and the
// line, loads nothing from any of them, and leaves every file as it was. The largest
// index a file can hold loads and feeds question generation.

#include "drugdb/drug_file.h"
#include "hardening_support.h"
#include "questions/drug_questions.h"
#include "startup/startup_loader.h"
#include "support/quiet_view.h"

#include <gtest/gtest.h>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

const char* const GoodTablets = "2\r\n1,1\r\n3,2\r\n";
const char* const GoodFluids = "1\r\n2,2\r\n";
const char* const GoodCategories = "2\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n";

struct Spoilt {
    const char* label;
    const char* file;
    std::string text;
    int line;
};

std::ostream& operator<<(std::ostream& out, const Spoilt& c)
{
    return out << c.label;
}

class SpoiltStartupFile : public ::testing::TestWithParam<Spoilt> { };

TEST_P(SpoiltStartupFile, IsNamedWithItsLineAndNothingIsLoadedOrWritten)
{
    const Spoilt& c = GetParam();
    TempFolder folder;
    folder.write("Mxdbs1.idx", GoodTablets);
    folder.write("mxdbs2.idx", GoodFluids);
    folder.write("MXCAT.IDX", GoodCategories);
    folder.write("MX.INI", std::string(140, '\0'));
    for (const auto& entry : fs::directory_iterator(folder.path()))
        if (sameNameIgnoringCase(entry.path().filename().string(), c.file))
            folder.write(entry.path().filename().string(), c.text);
    const FolderImage before = imageOf(folder.path());

    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    const auto problem = loadStartupFiles(state);
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(sameNameIgnoringCase(problem->fileName, c.file)) << problem->fileName;
    EXPECT_EQ(problem->line, c.line) << problem->message;
    EXPECT_NE(problem->message.find("line " + std::to_string(c.line)), std::string::npos) << problem->message;
    EXPECT_EQ(state.TabletIndex.count, 0);
    EXPECT_EQ(state.FluidIndex.count, 0);
    EXPECT_EQ(state.categories.CategoryCount, 0);
    EXPECT_EQ(imageOf(folder.path()), before);
}

std::string manyEntries(int n)
{
    std::string text = std::to_string(n) + "\r\n";
    for (int i = 1; i <= n; ++i)
        text += std::to_string(i) + ",1\r\n";
    return text;
}

INSTANTIATE_TEST_SUITE_P(Files, SpoiltStartupFile,
    ::testing::Values(Spoilt { "tablets_truncated", "mxdbs1.idx", "3\r\n1,1\r\n2,1", 4 },
        Spoilt { "tablets_count_beyond_16_bits", "mxdbs1.idx", manyEntries(2).replace(0, 1, "40000"), 1 },
        Spoilt { "tablets_non_numeric_line", "mxdbs1.idx", "2\r\n1,1\r\nseven,1\r\n", 3 },
        Spoilt { "tablets_negative_record", "mxdbs1.idx", "1\r\n-3,1\r\n", 2 },
        Spoilt { "tablets_zero_record", "mxdbs1.idx", "1\r\n0,1\r\n", 2 },
        Spoilt { "tablets_binary", "mxdbs1.idx", std::string("\x01\x02\x00\xFF", 4), 1 },
        Spoilt { "fluids_negative_count", "mxdbs2.idx", "-1\r\n", 1 },
        Spoilt { "fluids_missing_comma", "mxdbs2.idx", "1\r\n12 3\r\n", 2 },
        Spoilt { "fluids_record_beyond_16_bits", "mxdbs2.idx", "1\r\n32768,1\r\n", 2 },
        Spoilt { "fluids_count_with_fraction", "mxdbs2.idx", "1.5\r\n1,1\r\n", 1 },
        Spoilt { "categories_over_fifty", "mxcat.idx", "51\r\n", 1 },
        Spoilt { "categories_truncated", "mxcat.idx", "2\r\n\"Analgesics          \",1\r\n", 3 },
        Spoilt { "categories_non_numeric_code", "mxcat.idx", "1\r\n\"Analgesics\",one\r\n", 2 },
        Spoilt { "categories_unclosed_quote", "mxcat.idx", "1\r\n\"Analgesics,1\r\n", 2 }),
    [](const ::testing::TestParamInfo<Spoilt>& info) { return std::string(info.param.label); });

TEST(LargestIndex, ThirtyTwoThousandEntriesLoadAndEveryOneIsAReportOrAQuestion)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ drug("aspirin", Tablet, 300, 0, 1, 300, 900) }));
    folder.write("mxdbs1.idx", manyEntries(32767));
    folder.write("mxdbs2.idx", "\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
    AppState state(std::make_unique<ScriptedRandom>(spreadDraws()), folder.path());
    ASSERT_FALSE(loadStartupFiles(state).has_value());
    EXPECT_EQ(state.TabletIndex.count, 32767);
    ASSERT_EQ(state.CandidateRecords.size(), 32768u);
    for (int i = 1; i <= 32767; ++i)
        state.CandidateRecords[static_cast<std::size_t>(i)] = state.TabletIndex.record[static_cast<std::size_t>(i)];
    state.CandidateCount = 32767;
    // Nearly every entry names a record past the end of the one-record data file.
    for (int i = 0; i < 20; ++i) {
        const auto result = makeTabletQuestion(state);
        if (result.question) {
            EXPECT_EQ(result.record, 1);
        } else {
            EXPECT_NE(result.problem.find("past the end"), std::string::npos) << result.problem;
            EXPECT_NE(result.problem.find("record " + std::to_string(result.record)), std::string::npos);
        }
    }
}

} // namespace
} // namespace tb::testing
