#include "testbuilder/model_fixture.h"

#include <filesystem>

namespace tb {
namespace {

using testing::ModelFixture;

// Create Question stores the question the teacher typed before it appends the new ones; no
// record of the working file or the saved test is ever a gap of zero bytes or an older test's.
TEST(RepeatHistoryTest, RemembersFiftyThenReplacesTheOldest)
{
    const auto keys = [](double a) { return DuplicateKeys { a, std::nullopt, std::nullopt }; };
    RepeatHistory history;
    for (int i = 1; i <= 50; ++i)
        ASSERT_FALSE(isRepeat(history, keys(i)));
    EXPECT_TRUE(isRepeat(history, keys(1)));
    EXPECT_TRUE(isRepeat(history, keys(50)));
    EXPECT_EQ(history.position, 0); // slots 1..49, then 0; a repeat is not remembered again
    EXPECT_FALSE(isRepeat(history, keys(51))); // replaces the first triple
    EXPECT_FALSE(isRepeat(history, keys(1))); // forgotten, so remembered anew over the second
    EXPECT_FALSE(isRepeat(history, keys(2)));
}

TEST_F(ModelFixture, CompleteNeedsQuestionAndAnswerAndHidingSaveAsClearsUnsaved)
{
    EXPECT_EQ(folder.read("test.tmp"), testing::untitledHeader());
    model->setField(2, "5");
    model->setField(0, "   ");
    EXPECT_FALSE(view.status.complete);
    model->setField(0, "What?");
    EXPECT_TRUE(view.status.complete);
    model->keyTyped();
    EXPECT_TRUE(model->Unsaved());
    model->setField(0, "");
    EXPECT_FALSE(view.status.saveAsVisible || model->Unsaved());
}

TEST_F(ModelFixture, CreateQuestionKeepsTheTypedQuestionAndLeavesNoGap)
{
    model->setField(0, "Typed question");
    model->setField(2, "7");
    model->forward(); // question 2 of an earlier test in test.tmp
    type("Old second question", "", "2");
    model->save();
    model->newTest();
    type("Typed question", "Typed solution", "7");
    tickOnly(1);
    model->createQuestions("2");
    ASSERT_EQ(model->QuestionCount(), 3);
    const std::string typed = "Typed question" + std::string(786, ' ') + "Typed solution" + std::string(1186, ' ') + "7"
        + std::string(11, ' ');
    EXPECT_EQ(record("test.tmp", 2), typed);
    prompts.fileNames = { "week5" };
    model->saveAs();
    const std::string saved = folder.read("week5.dsq");
    ASSERT_EQ(saved.size(), 4 * TestRecordLength);
    EXPECT_EQ(saved.substr(TestRecordLength, TestRecordLength), typed);
    EXPECT_EQ(saved.find('\0'), std::string::npos);
    EXPECT_EQ(saved.find("Old second"), std::string::npos);
}

struct CountRow {
    const char* name;
    int before = 0; // questions in the test beforehand
    const char* text;
    int total;
    const char* countText = nullptr; // written back into the count box by the 99 limit, or null
};

class CountTest : public ModelFixture, public ::testing::WithParamInterface<CountRow> { };

TEST_P(CountTest, TheCountBoxIsReadByItsLeadingWholeNumberAndCutTo99)
{
    const CountRow& row = GetParam();
    tickOnly(MetricConversions);
    if (row.before > 0)
        model->createQuestions(std::to_string(row.before));
    model->createQuestions(row.text);
    EXPECT_EQ(view.status.positionLabel, std::to_string(row.total) + " / " + std::to_string(row.total));
    EXPECT_EQ(folder.read("test.tmp").size(), static_cast<std::size_t>(row.total + 1) * TestRecordLength);
    EXPECT_EQ(
        view.countTexts, row.countText ? std::vector<std::string> { row.countText } : std::vector<std::string> {});
    ASSERT_EQ(prompts.messages.size(), row.countText ? 1u : 0u);
    if (row.countText) {
        EXPECT_EQ(prompts.messages[0].text,
            "A limit of 99 questions has been set for each test. This is to protect students from unscrupulous "
            "tutors who would subject them to the horrors of such a long test and also to minimise the chances of "
            "users running out of hard disk space and memory.");
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, CountTest,
    ::testing::Values(CountRow { .name = "FractionAndLetters", .text = "2.9abc", .total = 2 },
        CountRow { .name = "CutTo99", .before = 97, .text = "5", .total = 99, .countText = "2" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelFixture, IvQuestionsBeginWithALineBreakAndTheRepeatHistoryOutlivesNewAndOpen)
{
    tickOnly(IVDropRates);
    model->createQuestions("3");
    EXPECT_EQ(record("test.tmp", 4).substr(0, 2), "\r\n");
    const RepeatHistory before = state->repeatHistory;
    ASSERT_EQ(before.position, 3);
    prompts.yesNoAnswers = { false };
    model->newTest();
    folder.write("x.dsq", testing::untitledHeader());
    prompts.fileNames = { "x.dsq" };
    model->openTest();
    EXPECT_EQ(state->repeatHistory.position, 3);
    EXPECT_EQ(state->repeatHistory.entries, before.entries);
}

TEST_F(ModelFixture, NoCandidateShowsItsMessageOncePerCommand)
{
    model->drafter().setSelectedCategories({});
    tickOnly(TabletDosages);
    model->createQuestions("5");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
        "Sorry no tablet dosage questions could be constructed using the question "
        "categories selected from the menu bar.");
    EXPECT_FALSE(model->drafter().GenerationOk());
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
}

TEST_F(ModelFixture, BackWrapsFromTheFirstAndJumpsStopAtTheEnds)
{
    typeQuestions(5);
    model->back();
    model->backTen(); // from 4
    EXPECT_EQ(model->field(0), "Question 1");
    model->back();
    EXPECT_EQ(view.status.positionLabel, "5 / 5");
    model->forwardTen();
    EXPECT_EQ(model->CurrentQuestion(), 5);
}

TEST_F(ModelFixture, DeletingTheSecondOfFourRenumbersTheRest)
{
    typeQuestions(4);
    model->back();
    model->back();
    const std::string before = folder.read("test.tmp");
    model->deleteQuestion();
    EXPECT_EQ(view.status.positionLabel, "2 / 3");
    EXPECT_EQ(model->field(0), "Question 3");
    const auto at = [&before](int n) { return before.substr((n - 1) * TestRecordLength, TestRecordLength); };
    EXPECT_EQ(folder.read("test.tmp"), at(1) + at(2) + at(4) + at(5));
    EXPECT_FALSE(std::filesystem::exists(folder / "MXtmp.TMP"));
}

// Deleting the last question shows the one before it, never a position past the end.
TEST_F(ModelFixture, DeletingTheLastQuestionShowsTheOneBeforeIt)
{
    typeQuestions(3);
    model->deleteQuestion();
    EXPECT_EQ(model->CurrentQuestion(), 2);
    EXPECT_EQ(view.status.positionLabel, "2 / 2");
    EXPECT_EQ(model->field(0), "Question 2");
    EXPECT_EQ(folder.read("test.tmp").size(), 3 * TestRecordLength);
}

TEST_F(ModelFixture, DrugsThatCannotBeReadAreLeftOutOfTheCandidates)
{
    loadSampleDatabase();
    // Keep only the data file up to the first tablet: every later drug lies past its end.
    const int firstTablet = state->TabletIndex.record[1];
    ASSERT_GT(firstTablet, 0);
    folder.write("MXDBASE.FIL", folder.read("MXDBASE.FIL").substr(0, static_cast<std::size_t>(firstTablet) * 240));
    tickOnly(TabletDosages);
    model->createQuestions("3");
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages[0].text;
    EXPECT_EQ(model->QuestionCount(), 3);
    EXPECT_LE(model->drafter().lastGenerated().duplicateKeys[1].value_or(0), firstTablet);
}

struct StoredFieldRow {
    const char* name;
    std::string question; // as the file holds it before
    std::string stored; // the question field after putfile
};

class PutfileStores : public ModelFixture, public ::testing::WithParamInterface<StoredFieldRow> { };

// A question read from a file and left again is stored with its outer blanks removed
// (blanks only: a line break and the blanks after it stay).
TEST_P(PutfileStores, OuterBlanksRemovedWhenTheQuestionIsLeft)
{
    const std::string answer = " 5" + std::string(10, ' ');
    folder.write("lead.dsq", testing::untitledHeader() + GetParam().question + std::string(1200, ' ') + answer);
    prompts.fileNames.push_back((folder / "lead.dsq").string());
    model->openTest();
    model->back();
    model->forward();
    const std::string record = folder.read("lead.dsq").substr(TestRecordLength, TestRecordLength);
    EXPECT_EQ(record.substr(0, QuestionWidth), GetParam().stored);
    EXPECT_EQ(record.substr(QuestionWidth + SolutionWidth), "5" + std::string(11, ' '));
}

INSTANTIATE_TEST_SUITE_P(Fields, PutfileStores,
    ::testing::Values(
        StoredFieldRow { "LeadingBlanks", "  What?" + std::string(793, ' '), "What?" + std::string(795, ' ') },
        StoredFieldRow {
            "LineBreakFirst", "\r\n  What?" + std::string(791, ' '), "\r\n  What?" + std::string(791, ' ') }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tb
