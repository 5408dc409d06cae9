#include "model_fixture.h"

#include "startup/number_format.h"

#include <filesystem>
#include <set>

namespace tb {
namespace {

using testing::ModelFixture;
using testing::untitledHeader;
namespace fs = std::filesystem;

TEST_F(ModelFixture, TheMenuFlagCarriesIntoTheNextWindowsNewTestButNotIntoNewTest)
{
    model->acceptDescription("quiz", "", "", 1);
    model->closeTest();
    model = std::make_unique<ExamModel>(*state, prompts, view);
    EXPECT_EQ(model->header().MenuListed, 1);
    EXPECT_EQ(folder.read("test.tmp").substr(2000, 12), "1           ");
    model->newTest();
    EXPECT_EQ(model->header().MenuListed, 0);
}

struct NameRow {
    const char* name;
    const char* typed;
};

class SaveUnderItsOwnName : public ModelFixture, public ::testing::WithParamInterface<NameRow> { };

// A name ending in ".text" saves a test; Save As under the working file's own name in any
// spelling leaves the file as it is.
TEST_P(SaveUnderItsOwnName, DoesNothing)
{
    fs::create_directory(folder / "sub");
    typeQuestions(2);
    prompts.fileNames = { "mine.text" };
    model->saveAs();
    type("Changed but not stored", "", "9");
    const std::string before = folder.read("mine.text");
    ASSERT_EQ(before.size(), 3 * TestRecordLength);
    prompts.fileNames = { GetParam().typed };
    model->saveAs();
    EXPECT_EQ(folder.read("mine.text"), before);
    EXPECT_EQ(model->WorkingFile(), "mine.text");
    EXPECT_TRUE(prompts.questions.empty() && prompts.messages.empty());
    EXPECT_FALSE(fs::exists(folder / "MINE.TEXT"));
}

INSTANTIATE_TEST_SUITE_P(Spellings, SaveUnderItsOwnName,
    ::testing::Values(NameRow { "Same", "mine.text" }, NameRow { "Blanks", " mine.text " },
        NameRow { "Capitals", "MINE.TEXT" }, NameRow { "Dot", "./mine.text" },
        NameRow { "Parent", "sub/../mine.text" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelFixture, NoToOverwritingOrACancelledDialogTouchesNoFileAndClearsUnsaved)
{
    folder.write("other.dsq", "precious");
    typeQuestions(2);
    const std::string before = folder.read("test.tmp");
    prompts.fileNames = { "other.dsq" };
    prompts.yesNoAnswers = { false };
    model->saveAs();
    ASSERT_EQ(prompts.questions,
        std::vector<std::string> { "The file other.dsq already exists. Would you like to use this file" });
    EXPECT_FALSE(model->Unsaved());
    model->keyTyped();
    model->saveAs(); // no name scripted: cancelled
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The file name that you entered was illegal. The file was not saved.");
    EXPECT_FALSE(model->Unsaved());
    EXPECT_TRUE(view.saveTestShown); // offered after every Save As
    EXPECT_EQ(folder.read("other.dsq"), "precious");
    EXPECT_EQ(folder.read("test.tmp"), before);
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

// "&Save Test" is offered after Open Test and Save As, not after opening an entry of the test list.
TEST_F(ModelFixture, OpeningAListedTestDoesNotOfferSaveTest)
{
    folder.write("listed.dsq", testing::untitledHeader() + std::string(TestRecordLength, 'q'));
    ASSERT_EQ(model->updatefilelist(), std::vector<std::string> { "listed.dsq" });
    model->openListedTest(1);
    EXPECT_EQ(model->WorkingFile(), "listed.dsq");
    EXPECT_FALSE(view.saveTestShown);
    prompts.fileNames = { "listed.dsq" };
    model->openTest();
    EXPECT_TRUE(view.saveTestShown);
}

TEST_F(ModelFixture, ANameEndingInTxtInAnyCaseExportsAndClosingThenAsksNothing)
{
    typeQuestions(2);
    model->keyTyped();
    prompts.fileNames = { "Out.Txt" };
    model->saveAs();
    EXPECT_EQ(folder.read("Out.Txt").rfind("untitled\r\n\r\n\r\n", 0), 0u);
    EXPECT_FALSE(model->Unsaved());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
    model->closeTest(); // exported only: the test is discarded
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(fs::exists(folder / "test.tmp"));
}

TEST_F(ModelFixture, AHeaderOnlyFileOpensBlankAndATrailingPartialRecordIsKept)
{
    folder.write("empty.dsq", untitledHeader());
    prompts.fileNames = { "empty.dsq" };
    model->openTest();
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
    EXPECT_EQ(model->field(0) + model->field(2), "");

    const std::string partial = "partial record";
    folder.write("p.dsq", untitledHeader() + QuestionRecord { "One", "", "1" }.pack() + partial);
    prompts.fileNames = { "p.dsq" };
    model->openTest();
    EXPECT_EQ(model->field(0), "One");
    model->save();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(folder.read("p.dsq").substr(2 * TestRecordLength), partial);
    EXPECT_EQ(folder.read("empty.dsq"), untitledHeader());
}

TEST_F(ModelFixture, OnlyAnEditedTestTmpAsksToBeSavedAndClosingDeletesIt)
{
    model->newTest(); // untouched: nothing to ask
    typeQuestions(1);
    prompts.fileNames = { "kept.dsq" };
    model->saveAs();
    type("Changed", "", "4");
    model->newTest(); // a saved test is written in place
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(folder.read("kept.dsq").substr(TestRecordLength),
        "Changed" + std::string(793 + 1200, ' ') + "4" + std::string(11, ' '));

    typeQuestions(1);
    prompts.yesNoAnswers = { false };
    model->closeTest();
    EXPECT_EQ(
        prompts.questions, std::vector<std::string> { "This test has not been saved. Would you like to save it now?" });
    EXPECT_FALSE(fs::exists(folder / "test.tmp"));
}

// ---- export as text ----

const std::string L = "\r\n";

const auto q = [](const std::string& text) { return fitWidth(text, 800) + L + L + L; };
const auto a = [](const std::string& text) { return fitWidth(text, 12) + L + L; };
const auto s = [](const std::string& text) { return fitWidth(text, 1200) + L + L + L; };

TEST_F(ModelFixture, TwoQuestionsInStyleOneWithEveryInclude)
{
    model->acceptDescription("Drug test", "Short one", "Answer all.", 0);
    type("What is 1?", "Because 1.", "1");
    model->forward();
    type("What is 2?", "Line a\r\nLine b", "2.5");
    model->save();
    EXPECT_EQ(exported(),
        "Drug test" + L + L + L + "Short one" + L + L + L + "Answer all." + L + L + L + "Question 1." + L
            + q("What is 1?") + "Question 2." + L + q("What is 2?") + L + L + "Answers:" + L + L + "1. " + a("1")
            + "2. " + a("2.5") + L + L + "Solutions:" + L + L + "Question 1." + L + s("Because 1.") + "Question 2." + L
            + s("Line a\r\nLine b") + L + L);
}

TEST_F(ModelFixture, EveryIncludeOffLeavesOnlyTheQuestionsAndABlankDescriptionStillPrintsItsLine)
{
    model->acceptDescription("Drug test", "", "Answer all.", 0);
    typeQuestions(2);
    for (int i = 0; i < 5; ++i)
        model->tfop_Click(i);
    model->numbquest_Click(0);
    EXPECT_EQ(exported(), q("Question 1") + q("Question 2") + L + L);
    for (int i = 0; i < 3; ++i)
        model->tfop_Click(i);
    EXPECT_EQ(exported(),
        "Drug test" + L + L + L + L + L + L + "Answer all." + L + L + L + q("Question 1") + q("Question 2") + L + L);
}

// Saved, opened (at the last question) and saved again: generated texts are stored as the fields show them: cut to
// their widths, outer blanks removed.
TEST_F(ModelFixture, NinetyNineQuestionsOfAllFourCategoriesSurviveSaveAndOpen)
{
    loadSampleDatabase();
    const auto cut = [](const std::string& text, std::size_t width) {
        return fitWidth(stripBlanks(text.substr(0, width)), width);
    };
    std::string records = untitledHeader();
    std::set<std::string> kinds; // metric: no third key; drug: a slot 0..4; IV: a drop factor of 10 or more
    for (int k = 1; k <= MaxQuestions; ++k) {
        model->createQuestions("1");
        ASSERT_TRUE(model->GenerationOk()) << k;
        const GeneratedQuestion& g = model->lastGenerated();
        kinds.insert(!g.duplicateKeys[2] ? "metric" : *g.duplicateKeys[2] < 5 ? "drug" : "iv");
        records += cut(g.question, QuestionWidth) + cut(g.solution, SolutionWidth)
            + cut(formatNumber(g.answer), AnswerWidth);
    }
    EXPECT_EQ(kinds.size(), 3u);
    prompts.fileNames = { "round.dsq", "round.dsq", "again.dsq" };
    model->saveAs();
    model->newTest();
    model->openTest();
    EXPECT_EQ(view.status.positionLabel, "99 / 99");
    model->saveAs();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(folder.read("round.dsq"), records);
    EXPECT_EQ(folder.read("again.dsq"), records);
}

} // namespace
} // namespace tb
