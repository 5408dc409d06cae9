#include "testbuilder/model_fixture.h"

#include <filesystem>

namespace tb {
namespace {

using testing::ModelFixture;
using testing::untitledHeader;
namespace fs = std::filesystem;

// Save As under the working file's own name, spelt with blanks, capitals and a detour, leaves
// the file as it is (a name ending in ".text" saves a test).
TEST_F(ModelFixture, SaveAsUnderItsOwnNameDoesNothing)
{
    fs::create_directory(folder / "sub");
    typeQuestions(2);
    prompts.fileNames = { "mine.text", " sub/../MINE.TEXT " };
    model->saveAs();
    type("Changed but not stored", "", "9");
    const std::string before = folder.read("mine.text");
    ASSERT_EQ(before.size(), 3 * TestRecordLength);
    model->saveAs();
    EXPECT_EQ(folder.read("mine.text"), before);
    EXPECT_EQ(model->WorkingFile(), "mine.text");
    EXPECT_TRUE(prompts.questions.empty() && prompts.messages.empty());
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

TEST_F(ModelFixture, ATrailingPartialRecordIsKept)
{
    const std::string partial = "partial record";
    folder.write("p.dsq", untitledHeader() + QuestionRecord { "One", "", "1" }.pack() + partial);
    prompts.fileNames = { "p.dsq" };
    model->openTest();
    EXPECT_EQ(model->field(0), "One");
    model->save();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(folder.read("p.dsq").substr(2 * TestRecordLength), partial);
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
    EXPECT_EQ(prompts.questions.size(), 1u);
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
    writeFileAtomically(
        folder / "out.txt", textFileContents(model->header(), model->storedQuestions(), model->options()));
    EXPECT_EQ(folder.read("out.txt"),
        "Drug test" + L + L + L + "Short one" + L + L + L + "Answer all." + L + L + L + "Question 1." + L
            + q("What is 1?") + "Question 2." + L + q("What is 2?") + L + L + "Answers:" + L + L + "1. " + a("1")
            + "2. " + a("2.5") + L + L + "Solutions:" + L + L + "Question 1." + L + s("Because 1.") + "Question 2." + L
            + s("Line a\r\nLine b") + L + L);
}

// A file holding only its header opens as a test of one blank question for the teacher to fill
// in: nothing of the question shown before stays, and opening writes nothing.
TEST_F(ModelFixture, AFileOfOnlyItsHeaderOpensAsOneBlankQuestion)
{
    typeQuestions(2);
    TestHeader header;
    header.TestTitle = "Ward 4";
    folder.write("empty.dsq", header.pack());
    prompts.fileNames = { "empty.dsq" };
    prompts.yesNoAnswers = { false }; // the new test is not kept
    model->openTest();
    ASSERT_EQ(model->WorkingFile(), "empty.dsq");
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
    EXPECT_EQ(model->field(0) + model->field(1) + model->field(2), "");
    EXPECT_EQ(model->header().TestTitle, "Ward 4");
    EXPECT_EQ(folder.read("empty.dsq"), header.pack());
    type("Question", "Solution", "5");
    model->save();
    EXPECT_EQ(record("empty.dsq", 2).substr(0, 8), "Question");
}

// The export dialogs propose the test's own name with their extension; what was written is
// reported in the status line, and a proposed name left as it is follows the filter chosen.
TEST_F(ModelFixture, ExportsProposeTheTestsNameAndReportInTheStatusLine)
{
    testing::FakePrinter printer;
    printing().exportPdf(printer); // cancelled
    EXPECT_EQ(prompts.dialogs.back().proposed, "untitled.pdf");
    typeQuestions(2);
    prompts.fileNames = { "week3.dsq", (folder / "week3.pdf").string() };
    model->saveAs();
    printing().exportPdf(printer);
    EXPECT_EQ(prompts.dialogs.back().proposed, "week3.pdf");
    EXPECT_EQ(view.statusLine, "Exported week3.pdf (PDF, 2 questions)");

    prompts.fileNames = { "week3.xml", (folder / "week3.xml").string() };
    prompts.selectedFilters = { 1, 2 };
    platformExport().exportForPlatform();
    EXPECT_EQ(prompts.dialogs.back().proposed, "week3.xml");
    EXPECT_EQ(view.statusLine, "Exported week3.xml (Moodle XML, 2 questions)");
    platformExport().exportForPlatform();
    EXPECT_EQ(view.statusLine, "Exported week3.txt (GIFT, 2 questions)");
    EXPECT_TRUE(fs::exists(folder / "week3.txt"));
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front().text;
}

} // namespace
} // namespace tb
