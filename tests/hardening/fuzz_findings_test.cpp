// Inputs the fuzz targets found to break a reader or a writer, kept so they stay fixed.

#include "drugdb/drug_file.h"
#include "hardening_support.h"
#include "startup/number_format.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/quiet_view.h"
#include "testbuilder/test_model.h"

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

// fuzz_drug_file: the answer is stored in 12 characters, and cutting its general form there
// dropped the exponent of a small answer: 3.33333333333333E-05 ml was stored, and shown to
// the student, as 3.3333333333. A fluid dose step typed as 0.01 mg for a 300 mg/ml
// solution gives such an answer.
TEST(FuzzFinding, ASmallAnswerKeepsItsExponentInTwelveCharacters)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ drug("concentrate", Solution, 300, 1, 1, 0.01, 10, 0.01) }));
    folder.write("mxdbs1.idx", "\r\n");
    folder.write("mxdbs2.idx", "1\r\n1,1\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
    FakePrompts prompts;
    QuietView view;
    AppState state(std::make_unique<ScriptedRandom>(std::vector<double> { 0.0 }), folder.path());
    ASSERT_FALSE(loadStartupFiles(state).has_value());
    TestModel model(state, prompts, view);
    for (int box : { 0, 1, 3 })
        model.setCategoryTicked(box, false);
    model.createQuestions("1");
    ASSERT_TRUE(prompts.messages.empty()) << prompts.messages[0].text;
    ASSERT_EQ(model.QuestionCount(), 1);
    const double answer = model.lastGenerated().answer;
    EXPECT_NEAR(answer, 0.01 / 300, 1e-15);
    const std::string stored = model.RecordBuffer().answerText;
    EXPECT_EQ(stored.size(), AnswerWidth);
    EXPECT_NEAR(readNumber(stored), answer, 1e-6 * answer) << stored;
    EXPECT_EQ(stored, "3.333333E-05");
}

// fuzz_drug_file: a nonsensical record (a strength of 1E-300 mg) gave a fluid answer of
// 35184372135424 ml, stored as 351843721354. Whatever the question says, its answer field
// says its number.
TEST(FuzzFinding, AHugeAnswerIsStoredWithAnExponentRatherThanCut)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ drug("nonsense", Solution, 1, 35184372135424.0, 1, 1, 10, 1) }));
    folder.write("mxdbs1.idx", "\r\n");
    folder.write("mxdbs2.idx", "1\r\n1,1\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
    FakePrompts prompts;
    QuietView view;
    AppState state(std::make_unique<ScriptedRandom>(std::vector<double> { 0.0 }), folder.path());
    ASSERT_FALSE(loadStartupFiles(state).has_value());
    TestModel model(state, prompts, view);
    for (int box : { 0, 1, 3 })
        model.setCategoryTicked(box, false);
    model.createQuestions("1");
    ASSERT_EQ(model.QuestionCount(), 1) << (prompts.messages.empty() ? "" : prompts.messages[0].text);
    const double answer = model.lastGenerated().answer;
    ASSERT_GT(answer, 1e12);
    const std::string stored = model.RecordBuffer().answerText;
    EXPECT_NEAR(readNumber(stored), answer, 1e-6 * answer) << stored;
    // An ordinary long fraction is still cut as before.
    EXPECT_EQ(fitWidth(formatNumber(1.0 / 30), AnswerWidth), "0.0333333333");
}

} // namespace
} // namespace tb::testing
