// Inputs the fuzz targets found to break a reader or a writer, kept so they stay fixed.

#include "hardening_support.h"
#include "startup/number_format.h"

namespace tb::testing {
namespace {

// fuzz_category_file: a category name with a double quote in it (typed, or read from an
// unquoted line) was written back between quotes, and the next start-up refused the file.
// The rewrite now stores the quote as an apostrophe.
TEST(FuzzFinding, CategoryNameWithAQuoteReadsBackAfterTheRebuild)
{
    CategoryTables categories = parseCategoryFile("2\r\nCarhere\",7\r\nng name ;cut here\",7\r\n", "mxcat.idx");
    ASSERT_EQ(categories.CategoryCount, 2);
    EXPECT_EQ(categories.CategoryName[1], "Carhere\"            ");
    ASSERT_GT(createCategory(categories, "Say \"when\""), 0);
    TempFolder folder;
    folder.write(
        "MXDBASE.FIL", dataFile({ drug("a", Tablet, 1, 0, 7), drug("b", Tablet, 1, 0, categories.CategoryCode[3]) }));
    rebuildIndexes(folder.path(), categories);
    const CategoryTables reread = parseCategoryFile(folder.read("mxcat.idx"), "mxcat.idx");
    ASSERT_EQ(reread.CategoryCount, 3);
    EXPECT_EQ(reread.CategoryName[1], "Carhere'            ");
    EXPECT_EQ(reread.CategoryName[2], "ng name ;cut here'  ");
    EXPECT_EQ(reread.CategoryName[3], "Say 'when'          ");
    EXPECT_EQ(reread.CategoryCode, categories.CategoryCode);
}

// fuzz_drug_file: the answer is stored in 12 characters, and cutting its general form there
// dropped the exponent of a small answer (3.33333333333333E-05 ml was stored, and shown to the
// student, as 3.3333333333) and cut a huge one to wrong digits (35184372135424 ml stored as
// 351843721354). A fluid step of 0.01 mg of a 300 mg/ml solution gives the first, a
// nonsensical volume the second; an ordinary long fraction is still cut.
TEST(FuzzFinding, AnAnswerIsStoredInTwelveCharactersWithItsExponent)
{
    const std::tuple<DrugRecord, double, const char*> findings[]
        = { { drug("concentrate", Solution, 300, 1, 1, 0.01, 10, 0.01), 0.01 / 300, "3.333333E-05" },
              { drug("nonsense", Solution, 1, 35184372135424.0, 1, 1, 10, 1), 35184372135424.0, "" } };
    for (const auto& [record, expected, text] : findings) {
        TempFolder folder;
        folder.write("MXDBASE.FIL", dataFile({ record }));
        writeIndexes(folder, "\r\n", "1\r\n1,1\r\n");
        FakePrompts prompts;
        QuietView view;
        AppState state(std::make_unique<ScriptedRandom>(), folder.path());
        ASSERT_FALSE(loadStartupFiles(state).has_value());
        TestModel model(state, prompts, view);
        for (int box : { 0, 1, 3 })
            model.setCategoryTicked(box, false);
        model.createQuestions("1");
        ASSERT_EQ(model.QuestionCount(), 1) << (prompts.messages.empty() ? "" : prompts.messages[0].text);
        const double answer = model.lastGenerated().answer;
        EXPECT_NEAR(answer, expected, 1e-9 * expected);
        const std::string stored = model.RecordBuffer().answerText;
        EXPECT_EQ(stored.size(), AnswerWidth);
        EXPECT_NEAR(readNumber(stored), answer, 1e-6 * answer) << stored;
        EXPECT_TRUE(*text == '\0' || stored == text) << stored;
    }
    EXPECT_EQ(fitWidth(formatNumber(1.0 / 30), AnswerWidth), "0.0333333333");
}

} // namespace
} // namespace tb::testing
