#include "model_fixture.h"

#include "startup/record_file.h"

#include <filesystem>

namespace tb {
namespace {

using testing::ModelFixture;

const std::string LimitWarning
    = "A limit of 99 questions has been set for each test. This is to protect students from unscrupulous tutors "
      "who would subject them to the horrors of such a long test and also to minimise the chances of users "
      "running out of hard disk space and memory.";

// ---- records and helpers ----

TEST(TestRecordTest, StripBlanksKeepsLineBreaksAndFitWidthCutsOrPads)
{
    EXPECT_EQ(stripBlanks("  \r\nab c \r\n  "), "\r\nab c \r\n");
    EXPECT_EQ(stripBlanks("    "), "");
    EXPECT_EQ(fitWidth("abc", 5), "abc  ");
    EXPECT_EQ(fitWidth("abcdef", 4), "abcd");
}

TEST(TestRecordTest, QuestionRecordPacksToFixedWidthsAndReadsShortBytesAsBlanks)
{
    const QuestionRecord record { "Q", std::string(1300, 's'), "12345678901234" };
    const std::string bytes = record.pack();
    ASSERT_EQ(bytes.size(), TestRecordLength);
    EXPECT_EQ(bytes.substr(0, 800), fitWidth("Q", 800));
    EXPECT_EQ(bytes.substr(800, 1200), std::string(1200, 's'));
    EXPECT_EQ(bytes.substr(2000), "123456789012");
    const QuestionRecord back = QuestionRecord::unpack(bytes.substr(0, 801));
    EXPECT_EQ(back.questionText, fitWidth("Q", 800));
    EXPECT_EQ(back.solutionText, fitWidth("s", 1200));
    EXPECT_EQ(back.answerText, std::string(12, ' '));
}

TEST(TestRecordTest, HeaderOfANewTestIsUntitledWithBlanksAndZero)
{
    TestHeader header;
    header.TestTitle = "untitled";
    EXPECT_EQ(header.pack(), "untitled" + std::string(792, ' ') + std::string(1200, ' ') + "0" + std::string(11, ' '));
}

TEST(TestRecordTest, HeaderReadsBackStrippedWithTheTitleKeptTo40)
{
    const std::string bytes = fitWidth("  " + std::string(45, 'T') + " ", 800) + fitWidth(" a description", 200)
        + fitWidth("line 1\r\nline 2  ", 1000) + fitWidth(" 1", 12);
    const TestHeader header = TestHeader::unpack(bytes);
    EXPECT_EQ(header.TestTitle, std::string(40, 'T'));
    EXPECT_EQ(header.TestDescription, "a description");
    EXPECT_EQ(header.TestInstructions, "line 1\r\nline 2");
    EXPECT_EQ(header.MenuListed, 1);
}

DuplicateKeys keys(double a, std::optional<double> b = std::nullopt)
{
    return { a, b, std::nullopt };
}

TEST(RepeatHistoryTest, RemembersFiftyAndThenReplacesTheOldest)
{
    RepeatHistory history;
    for (int i = 1; i <= 50; ++i)
        ASSERT_FALSE(isRepeat(history, keys(i)));
    EXPECT_EQ(history.position, 0); // slots 1..49, then 0
    EXPECT_TRUE(isRepeat(history, keys(1)));
    EXPECT_TRUE(isRepeat(history, keys(50)));
    EXPECT_EQ(history.position, 0); // a repeat is not remembered again

    EXPECT_FALSE(isRepeat(history, keys(51))); // replaces slot 1, the first triple
    EXPECT_FALSE(isRepeat(history, keys(1))); // forgotten, so remembered anew in slot 2
    EXPECT_TRUE(isRepeat(history, keys(3)));
    EXPECT_FALSE(isRepeat(history, keys(2)));
}

TEST(RepeatHistoryTest, EmptyValuesEqualOnlyEmptyValues)
{
    RepeatHistory history;
    EXPECT_FALSE(isRepeat(history, keys(1, 2)));
    EXPECT_FALSE(isRepeat(history, keys(1)));
    EXPECT_TRUE(isRepeat(history, keys(1)));
    EXPECT_FALSE(isRepeat(history, keys(1, 0)));
    EXPECT_FALSE(isRepeat(history, DuplicateKeys {}));
    EXPECT_TRUE(isRepeat(history, DuplicateKeys {}));
}

// ---- the state display and the window's rules ----

TEST_F(ModelFixture, ANewTestShowsOneOfOneInTestTmpIncomplete)
{
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
    EXPECT_EQ(view.status.fileLabel, "File : test.tmp");
    EXPECT_FALSE(view.status.complete);
    EXPECT_FALSE(view.status.saveAsVisible);
    EXPECT_EQ(view.titles.back(), "untitled");
    EXPECT_EQ(folder.read("test.tmp"),
        "untitled" + std::string(792, ' ') + std::string(1200, ' ') + "0" + std::string(11, ' '));
}

TEST_F(ModelFixture, QuestionAndAnswerMakeItCompleteTheSolutionDoesNot)
{
    model->setField(2, "5");
    model->setField(1, "a solution");
    EXPECT_FALSE(view.status.complete);
    model->setField(0, "   ");
    EXPECT_FALSE(view.status.complete);
    model->setField(0, "What?");
    EXPECT_TRUE(view.status.complete);
    EXPECT_TRUE(view.status.saveAsVisible);
}

TEST_F(ModelFixture, HidingSaveAsClearsUnsaved)
{
    model->setField(2, "1");
    model->keyTyped();
    model->setField(0, "Q");
    EXPECT_TRUE(model->Unsaved());
    model->setField(0, "");
    EXPECT_FALSE(view.status.saveAsVisible);
    EXPECT_FALSE(model->Unsaved());
}

TEST_F(ModelFixture, SaveAsStaysVisibleForAnIncompleteQuestionOfALongerTest)
{
    typeQuestions(2);
    model->forward(); // a blank third question
    EXPECT_EQ(view.status.positionLabel, "3 / 3");
    EXPECT_FALSE(view.status.complete);
    EXPECT_TRUE(view.status.saveAsVisible);
}

TEST_F(ModelFixture, UntickingTheLastCategoryTicksAllFour)
{
    model->setCategoryTicked(0, false);
    model->setCategoryTicked(1, false);
    model->setCategoryTicked(2, false);
    EXPECT_TRUE(model->categoryTicked(3));
    EXPECT_FALSE(model->categoryTicked(0));
    model->setCategoryTicked(3, false);
    for (int box = 0; box < 4; ++box)
        EXPECT_TRUE(model->categoryTicked(box)) << box;
}

// ---- Create Question ----

struct CountCase {
    const char* text;
    int made;
};

class CountTest : public ModelFixture, public ::testing::WithParamInterface<CountCase> { };

TEST_P(CountTest, TheCountBoxIsReadByItsLeadingWholeNumber)
{
    tickOnly({ MetricConversions });
    model->createQuestions(GetParam().text);
    EXPECT_EQ(model->QuestionCount(), GetParam().made);
    EXPECT_EQ(model->CurrentQuestion(), GetParam().made);
    EXPECT_TRUE(messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Counts, CountTest,
    ::testing::Values(CountCase { "", 1 }, CountCase { "0", 1 }, CountCase { "5abc", 5 }, CountCase { "2.9", 2 },
        CountCase { " 3", 3 }, CountCase { "-4", 1 }, CountCase { "abc", 1 }));

TEST_F(ModelFixture, GeneratingIntoANewTestGivesQuestionsOneToN)
{
    tickOnly({ MetricConversions });
    model->createQuestions("3");
    EXPECT_EQ(view.status.positionLabel, "3 / 3");
    EXPECT_TRUE(model->Unsaved());
    EXPECT_EQ(folder.read("test.tmp").size(), 4 * TestRecordLength);
    for (int q = 2; q <= 4; ++q) {
        const QuestionRecord r = QuestionRecord::unpack(record("test.tmp", q));
        EXPECT_FALSE(stripBlanks(r.questionText).empty()) << q;
        EXPECT_FALSE(stripBlanks(r.answerText).empty()) << q;
    }
    // The shown question is the last one made, as generated.
    EXPECT_EQ(fitWidth(model->field(0), 800), fitWidth(model->lastGenerated().question, 800));
    EXPECT_EQ(random_->reseeds() >= 3, true);
}

TEST_F(ModelFixture, TheRepeatHistoryOutlivesNewAndOpenedTests)
{
    tickOnly({ MetricConversions });
    model->createQuestions("2");
    const RepeatHistory before = state->repeatHistory;
    ASSERT_EQ(before.position, 2);
    prompts.yesNoAnswers = { false };
    model->newTest();
    folder.write("x.dsq", std::string(TestRecordLength, ' '));
    prompts.fileNames = { "x.dsq" };
    model->openTest();
    EXPECT_EQ(state->repeatHistory.position, 2);
    EXPECT_EQ(state->repeatHistory.entries, before.entries);
}

TEST_F(ModelFixture, ABlankShownQuestionOfALongerTestStaysAndNewOnesFollowIt)
{
    typeQuestions(1);
    model->forward(); // question 2, blank
    tickOnly({ MetricConversions });
    model->createQuestions("2");
    EXPECT_EQ(model->QuestionCount(), 4);
    EXPECT_EQ(model->CurrentQuestion(), 4);
    EXPECT_EQ(QuestionRecord::unpack(record("test.tmp", 3)).pack(), QuestionRecord {}.pack());
}

TEST_F(ModelFixture, The99LimitCutsTheCountAndWarns)
{
    tickOnly({ MetricConversions });
    model->createQuestions("97");
    ASSERT_EQ(model->QuestionCount(), 97);
    ASSERT_TRUE(messages().empty());

    model->createQuestions("5");
    ASSERT_EQ(view.countTexts, std::vector<std::string> { "2" });
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, LimitWarning);
    EXPECT_EQ(messages()[0].title, "Warning!");
    EXPECT_EQ(model->QuestionCount(), 99);

    model->createQuestions("1");
    EXPECT_EQ(view.countTexts.back(), "0");
    EXPECT_EQ(model->QuestionCount(), 99);

    model->forward(); // question 100, added by Forward even at 99
    EXPECT_EQ(model->QuestionCount(), 100);
    EXPECT_EQ(view.status.positionLabel, "100 / 100");
    model->createQuestions("1");
    EXPECT_EQ(view.countTexts.back(), "-1");
    EXPECT_EQ(model->QuestionCount(), 100);
    EXPECT_EQ(messages().size(), 3u);
}

TEST_F(ModelFixture, NoTabletCandidateShowsItsMessageOncePerCommand)
{
    tickOnly({ TabletDosages });
    model->setSelectedCategories({});
    model->createQuestions("5");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
        "Sorry no tablet dosage questions could be constructed using the question "
        "categories selected from the menu bar.");
    EXPECT_EQ(messages()[0].title, "");
    EXPECT_FALSE(model->GenerationOk());
    EXPECT_EQ(model->QuestionCount(), 1);
    EXPECT_EQ(view.status.positionLabel, "1 / 1");

    tickOnly({ FluidDosages });
    model->createQuestions("2");
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text,
        "Sorry no fluid dosage questions could be constructed using the question "
        "categories selected from the menu bar.");
}

TEST_F(ModelFixture, IvQuestionsBeginWithALineBreak)
{
    tickOnly({ IVDropRates });
    model->createQuestions("3");
    ASSERT_EQ(model->QuestionCount(), 3);
    for (int q = 2; q <= 4; ++q)
        EXPECT_EQ(record("test.tmp", q).substr(0, 2), "\r\n") << q;
    EXPECT_EQ(model->field(0).substr(0, 2), "\r\n");
}

TEST_F(ModelFixture, MetricRedrawsStopAtTheirBoundWhenEveryDrawRepeats)
{
    tickOnly({ MetricConversions });
    random_->setScript({ 0.5 });
    model->createQuestions("2"); // the second is drawn 10 000 times, then taken
    EXPECT_EQ(model->QuestionCount(), 2);
}

// ---- stepping ----

TEST_F(ModelFixture, BackFromTheFirstWrapsToTheLast)
{
    typeQuestions(5);
    model->forwardTen(); // stays at 5
    model->backTen(); // to 1
    EXPECT_EQ(model->CurrentQuestion(), 1);
    model->back();
    EXPECT_EQ(view.status.positionLabel, "5 / 5");
    EXPECT_EQ(model->field(0), "Question 5");
    EXPECT_EQ(model->field(1), "Solution 5");
    EXPECT_EQ(model->field(2), "5");
}

TEST_F(ModelFixture, JumpsStopAtTheEnds)
{
    typeQuestions(5);
    for (int i = 0; i < 1; ++i)
        model->back(); // 4
    ASSERT_EQ(model->CurrentQuestion(), 4);
    model->backTen();
    EXPECT_EQ(model->CurrentQuestion(), 1);
    EXPECT_EQ(model->field(0), "Question 1");
    model->forwardTen();
    EXPECT_EQ(model->CurrentQuestion(), 5);
    EXPECT_EQ(view.status.positionLabel, "5 / 5");
}

TEST_F(ModelFixture, ForwardTenFrom95Of99Shows99)
{
    tickOnly({ MetricConversions });
    model->createQuestions("99");
    ASSERT_EQ(model->QuestionCount(), 99);
    for (int i = 0; i < 4; ++i)
        model->back();
    ASSERT_EQ(model->CurrentQuestion(), 95);
    model->forwardTen();
    EXPECT_EQ(model->CurrentQuestion(), 99);
}

TEST_F(ModelFixture, ForwardOnTheLastAddsOneBlankQuestion)
{
    typeQuestions(2);
    model->forward();
    EXPECT_EQ(view.status.positionLabel, "3 / 3");
    EXPECT_EQ(view.shown.back(), (std::array<std::string, 3> { "", "", "" }));
    EXPECT_EQ(folder.read("test.tmp").size(), 4 * TestRecordLength);
    EXPECT_FALSE(view.status.complete);
}

TEST_F(ModelFixture, EditsAreStoredWhenTheQuestionIsLeft)
{
    typeQuestions(2);
    model->back();
    type("  Edited  ", "", " 7 ");
    model->forward();
    EXPECT_EQ(QuestionRecord::unpack(record("test.tmp", 2)).pack(), (QuestionRecord { "Edited", "", "7" }.pack()));
}

// ---- deleting ----

TEST_F(ModelFixture, DeletingTheSecondOfFourRenumbersTheRest)
{
    typeQuestions(4);
    model->back();
    model->back();
    ASSERT_EQ(model->CurrentQuestion(), 2);
    const std::string before = folder.read("test.tmp");
    model->deleteQuestion();
    EXPECT_EQ(view.status.positionLabel, "2 / 3");
    EXPECT_EQ(model->field(0), "Question 3");
    EXPECT_TRUE(model->Unsaved());
    const std::string after = folder.read("test.tmp");
    ASSERT_EQ(after.size(), 4 * TestRecordLength);
    const auto rec
        = [&](const std::string& bytes, int n) { return bytes.substr((n - 1) * TestRecordLength, TestRecordLength); };
    EXPECT_EQ(rec(after, 1), rec(before, 1));
    EXPECT_EQ(rec(after, 2), rec(before, 2));
    EXPECT_EQ(rec(after, 3), rec(before, 4));
    EXPECT_EQ(rec(after, 4), rec(before, 5));
    EXPECT_FALSE(std::filesystem::exists(folder / "MXtmp.TMP"));
}

TEST_F(ModelFixture, DeletingTheLastShowsTheNewLast)
{
    typeQuestions(3);
    model->deleteQuestion();
    EXPECT_EQ(view.status.positionLabel, "2 / 2");
    EXPECT_EQ(model->field(0), "Question 2");
}

TEST_F(ModelFixture, DeletingTheOnlyQuestionLeavesOneBlankQuestion)
{
    type("Only", "", "1");
    model->deleteQuestion();
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
    EXPECT_EQ(model->field(0), "");
    EXPECT_EQ(folder.read("test.tmp").size(), TestRecordLength);
    EXPECT_TRUE(messages().empty());
}

class FailAt final : public FaultHook {
public:
    explicit FailAt(RewriteStep step)
        : step_(step)
    {
    }
    void at(RewriteStep step, const std::filesystem::path& target) override
    {
        if (step == step_)
            throw FileError(target.string(), "The file \"" + target.filename().string() + "\" could not be written.");
    }

private:
    RewriteStep step_;
};

TEST_F(ModelFixture, AFailedDeleteLeavesTheWorkingFileAndTheCounts)
{
    typeQuestions(3);
    model->back();
    const std::string before = folder.read("test.tmp");
    FailAt hook(RewriteStep::BeforeRename);
    model->setFaultHook(&hook);
    model->deleteQuestion();
    EXPECT_EQ(folder.read("test.tmp"), before);
    EXPECT_EQ(model->QuestionCount(), 3);
    EXPECT_EQ(model->CurrentQuestion(), 2);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("test.tmp"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "MXtmp.TMP"));
}

TEST_F(ModelFixture, AMissingWorkingFileBecomesAMessageNamingIt)
{
    typeQuestions(2);
    std::filesystem::remove(folder / "test.tmp");
    std::filesystem::create_directory(folder / "test.tmp");
    model->back();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("test.tmp"), std::string::npos);
}

} // namespace
} // namespace tb
