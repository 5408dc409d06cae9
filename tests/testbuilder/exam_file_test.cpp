#include "model_fixture.h"

#include "startup/number_format.h"

#include <array>
#include <filesystem>
#include <set>

namespace tb {
namespace {

using testing::ModelFixture;
using testing::untitledHeader;
namespace fs = std::filesystem;

TEST_F(ModelFixture, ANewTestOfThreeSavedIsFourRecordsAndReopensAtThree)
{
    typeQuestions(3);
    prompts.fileNames = { "three.dsq" };
    model->saveAs();
    EXPECT_EQ(prompts.dialogs.at(0).title, "Save Drug Test");
    EXPECT_EQ(prompts.dialogs.at(0).filter, "Dosarion Test (dsq)|*.dsq|Text File (txt)|*.txt|");
    const std::string saved = folder.read("three.dsq");
    ASSERT_EQ(saved.size(), 4 * TestRecordLength);
    EXPECT_EQ(saved.substr(0, TestRecordLength), untitledHeader());
    EXPECT_EQ(saved.substr(3 * TestRecordLength), (QuestionRecord { "Question 3", "Solution 3", "3" }.pack()));
    EXPECT_FALSE(model->Unsaved());

    model->newTest();
    prompts.fileNames = { "three.dsq" };
    model->openTest();
    EXPECT_EQ(view.status.positionLabel, "3 / 3");
    EXPECT_EQ(model->field(0), "Question 3");
    EXPECT_TRUE(prompts.messages.empty());
}

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

TEST_F(ModelFixture, ANameEndingInTextSavesATestAndSavingUnderItsOwnNameInAnySpellingDoesNothing)
{
    fs::create_directory(folder / "sub");
    typeQuestions(2);
    prompts.fileNames = { "mine.text" };
    model->saveAs();
    EXPECT_EQ(model->WorkingFile(), "mine.text");
    type("Changed but not stored", "", "9");
    const std::string before = folder.read("mine.text");
    ASSERT_EQ(before.size(), 3 * TestRecordLength);
    for (const std::string& name : std::initializer_list<std::string> { "mine.text", " mine.text ", "MINE.TEXT",
             "./mine.text", "sub/../mine.text", (folder / "mine.text").string() }) {
        prompts.fileNames = { name };
        model->saveAs();
        EXPECT_EQ(folder.read("mine.text"), before) << name;
        EXPECT_EQ(model->WorkingFile(), "mine.text") << name;
    }
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(fs::exists(folder / "MINE.TEXT"));
}

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
    for (const std::string name : { "out.txt", "OUT.TXT", "Out.Txt" }) {
        model->keyTyped();
        prompts.fileNames = { name };
        model->saveAs();
        EXPECT_EQ(folder.read(name).rfind("untitled\r\n\r\n\r\n", 0), 0u) << name;
        EXPECT_FALSE(model->Unsaved());
    }
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
    EXPECT_EQ(folder.read("kept.dsq").substr(TestRecordLength), (QuestionRecord { "Changed", "", "4" }.pack()));

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

TEST_F(ModelFixture, EachStyleNumbersQuestionsAndSolutionsWhileAnswersKeepPlainNumbers)
{
    typeQuestions(3);
    for (int i : { 0, 1, 2 })
        model->tfop_Click(i);
    const std::array<std::pair<std::string, std::string>, 6> styles { { { "", "" }, { "Question ", "." },
        { "Number ", "." }, { "(", ")." }, { "No ", "." }, { "", "." } } };
    for (int style = 0; style < 6; ++style) {
        const auto& [prefix, suffix] = styles[static_cast<std::size_t>(style)];
        std::string questions, answers = L + L + "Answers:" + L + L, solutions = L + L + "Solutions:" + L + L;
        for (const std::string n : { "1", "2", "3" }) {
            const std::string numbering = style == 0 ? "" : prefix + n + suffix + L;
            questions += numbering + q("Question " + n);
            answers += n + ". " + a(n);
            solutions += numbering + s("Solution " + n);
        }
        model->numbquest_Click(style);
        EXPECT_EQ(exported(), questions + answers + solutions + L + L) << style;
    }
}

TEST_F(ModelFixture, NinetyNineQuestionsOfAllFourCategoriesSurviveSaveOpenAndExport)
{
    loadSampleDatabase();
    const auto cut = [](const std::string& text, std::size_t width) {
        return fitWidth(stripBlanks(text.substr(0, width)), width); // as shown, then stored
    };
    std::string records = untitledHeader(), questions, answers, solutions;
    std::set<std::string> kinds; // metric: no third key; drug: a slot 0..4; IV: a drop factor of 10 or more
    for (int k = 1; k <= MaxQuestions; ++k) {
        model->createQuestions("1");
        ASSERT_TRUE(model->GenerationOk()) << k;
        const GeneratedQuestion& g = model->lastGenerated();
        const QuestionRecord made { cut(g.question, QuestionWidth), cut(g.solution, SolutionWidth),
            cut(formatNumber(g.answer), AnswerWidth) };
        kinds.insert(!g.duplicateKeys[2] ? "metric" : *g.duplicateKeys[2] < 5 ? "drug" : "iv");
        records += made.pack();
        questions += "Question " + std::to_string(k) + "." + L + made.questionText + L + L + L;
        answers += std::to_string(k) + ". " + made.answerText + L + L;
        solutions += "Question " + std::to_string(k) + "." + L + made.solutionText + L + L + L;
    }
    EXPECT_EQ(kinds.size(), 3u);
    prompts.fileNames = { "round.dsq", "round.dsq", "round.txt" };
    model->saveAs();
    model->newTest();
    model->openTest();
    EXPECT_EQ(view.status.positionLabel, "99 / 99");
    model->saveAs();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(folder.read("round.dsq"), records);
    EXPECT_EQ(folder.read("round.txt"),
        "untitled" + L + L + L + L + L + L + L + L + L + questions + L + L + "Answers:" + L + L + answers + L + L
            + "Solutions:" + L + L + solutions + L + L);
}

} // namespace
} // namespace tb
