#include "model_fixture.h"

#include <filesystem>

namespace tb {
namespace {

using testing::ModelFixture;
namespace fs = std::filesystem;

const std::string NotSaved = "This test has not been saved. Would you like to save it now?";
const std::string IllegalSave = "The file name that you entered was illegal. The file was not saved.";

std::string untitledHeader()
{
    return "untitled" + std::string(792, ' ') + std::string(1200, ' ') + "0" + std::string(11, ' ');
}

TEST_F(ModelFixture, ANewTestOfThreeSavedIsFourRecordsAndReopensAtThree)
{
    typeQuestions(3);
    prompts.fileNames = { "three.dsq" };
    model->saveAs();
    ASSERT_TRUE(messages().empty());
    EXPECT_EQ(prompts.dialogs.at(0).kind, "save");
    EXPECT_EQ(prompts.dialogs.at(0).title, "Save Drug Test");
    EXPECT_EQ(prompts.dialogs.at(0).filter, "Dosarion Test (dsq)|*.dsq|Text File (txt)|*.txt|");
    const std::string saved = folder.read("three.dsq");
    ASSERT_EQ(saved.size(), 4 * TestRecordLength);
    EXPECT_EQ(saved.substr(0, TestRecordLength), untitledHeader());
    EXPECT_EQ(saved.substr(3 * TestRecordLength), (QuestionRecord { "Question 3", "Solution 3", "3" }.pack()));
    EXPECT_EQ(model->WorkingFile(), "three.dsq");
    EXPECT_EQ(view.status.fileLabel, "File : three.dsq");
    EXPECT_EQ(view.status.positionLabel, "3 / 3");
    EXPECT_TRUE(view.saveTestShown);
    EXPECT_FALSE(model->Unsaved());

    model->newTest();
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
    prompts.fileNames = { "three.dsq" };
    model->openTest();
    EXPECT_EQ(prompts.dialogs.back().kind, "open");
    EXPECT_EQ(prompts.dialogs.back().filter, "Dosarion Files (*.dsq)|*.dsq|");
    EXPECT_EQ(view.status.positionLabel, "3 / 3");
    EXPECT_EQ(model->field(0), "Question 3");
    EXPECT_EQ(view.titles.back(), "untitled");
    EXPECT_TRUE(messages().empty());
}

TEST_F(ModelFixture, TheHeaderCarriesTheDescriptionFieldsAndIsReadBack)
{
    model->acceptDescription("  Week 3  ", "Tablets only", "Work alone.\r\nNo calculators.", 1);
    model->puttitle();
    EXPECT_EQ(view.titles.back(), "Week 3");
    typeQuestions(1);
    prompts.fileNames = { "week3.dsq" };
    model->saveAs();
    EXPECT_EQ(record("week3.dsq", 1),
        fitWidth("Week 3", 800) + fitWidth("Tablets only", 200) + fitWidth("Work alone.\r\nNo calculators.", 1000)
            + fitWidth("1", 12));
    model->newTest();
    EXPECT_EQ(model->header().TestTitle, "untitled");
    EXPECT_EQ(model->header().MenuListed, 0);
    EXPECT_EQ(record("test.tmp", 1), untitledHeader());
    prompts.fileNames = { "week3.dsq" };
    model->openTest();
    EXPECT_EQ(model->header().TestTitle, "Week 3");
    EXPECT_EQ(model->header().TestInstructions, "Work alone.\r\nNo calculators.");
    EXPECT_EQ(model->header().MenuListed, 1);
    EXPECT_EQ(view.titles.back(), "Week 3");
}

class OwnNameTest : public ModelFixture, public ::testing::WithParamInterface<std::string> { };

TEST_F(ModelFixture, AHeaderThatCannotBeWrittenBecomesAMessageNamingTheFile)
{
    fs::remove(folder / "test.tmp");
    fs::create_directory(folder / "test.tmp");
    model->acceptDescription("T", "", "", 0);
    model->puttitle();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("test.tmp"), std::string::npos);
}

TEST_P(OwnNameTest, SavingUnderTheWorkingFilesOwnNameDoesNothing)
{
    fs::create_directory(folder / "sub");
    typeQuestions(2);
    prompts.fileNames = { "mine.dsq" };
    model->saveAs();
    type("Changed but not stored", "", "9");
    const std::string before = folder.read("mine.dsq");
    std::string name = GetParam();
    if (name == "<absolute>")
        name = (folder / "mine.dsq").string();
    prompts.fileNames = { name };
    model->saveAs();
    EXPECT_EQ(folder.read("mine.dsq"), before);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(model->WorkingFile(), "mine.dsq");
    EXPECT_FALSE(fs::exists(folder / "MINE.DSQ"));
}

INSTANTIATE_TEST_SUITE_P(Spellings, OwnNameTest,
    ::testing::Values("mine.dsq", " mine.dsq ", "MINE.DSQ", "./mine.dsq", "sub/../mine.dsq", "<absolute>"));

TEST_F(ModelFixture, SavingOverAnotherFileAsksAndNoLeavesIt)
{
    folder.write("other.dsq", "precious");
    typeQuestions(2);
    model->keyTyped();
    prompts.fileNames = { "other.dsq" };
    prompts.yesNoAnswers = { false };
    model->saveAs();
    ASSERT_EQ(prompts.questions,
        std::vector<std::string> { "The file other.dsq already exists. Would you like to use this file" });
    EXPECT_EQ(folder.read("other.dsq"), "precious");
    EXPECT_FALSE(model->Unsaved());
    EXPECT_FALSE(state->saveanswer);
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
    EXPECT_EQ(model->QuestionCount(), 2);

    prompts.fileNames = { "other.dsq" };
    prompts.yesNoAnswers = { true };
    model->saveAs();
    EXPECT_EQ(folder.read("other.dsq").size(), 3 * TestRecordLength);
    EXPECT_EQ(model->WorkingFile(), "other.dsq");
}

TEST_F(ModelFixture, ACancelledSaveDialogDeletesNothingAndSaysTheNameWasIllegal)
{
    typeQuestions(1);
    model->keyTyped();
    const std::string before = folder.read("test.tmp");
    model->saveAs(); // no name scripted: cancelled
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, IllegalSave);
    EXPECT_EQ(folder.read("test.tmp"), before);
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
    EXPECT_FALSE(model->Unsaved());
    EXPECT_TRUE(view.saveTestShown); // offered after every Save As, as the menu rules have it
}

TEST_F(ModelFixture, ASaveIntoAMissingFolderIsAnIllegalName)
{
    typeQuestions(1);
    prompts.fileNames = { "nowhere/t.dsq" };
    model->saveAs();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, IllegalSave);
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

TEST_F(ModelFixture, AFailedSaveLeavesTheOldFileAndTheWorkingFile)
{
    folder.write("old.dsq", "old contents");
    typeQuestions(1);
    prompts.fileNames = { "old.dsq" };
    prompts.yesNoAnswers = { true };
    struct Fail final : FaultHook {
        void at(RewriteStep step, const fs::path& target) override
        {
            if (step == RewriteStep::ScratchWritten)
                throw FileError(target.string(), "The file \"old.dsq\" could not be written.");
        }
    } hook;
    model->setFaultHook(&hook);
    model->saveAs();
    EXPECT_EQ(folder.read("old.dsq"), "old contents");
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text.rfind("An error 0 on line 0 was detected.", 0), 0u);
    EXPECT_NE(messages()[0].text.find("old.dsq"), std::string::npos);
}

class ExportNameTest : public ModelFixture, public ::testing::WithParamInterface<std::string> { };

TEST_P(ExportNameTest, ANameEndingInTxtExportsInAnyLetterCase)
{
    typeQuestions(2);
    model->keyTyped();
    prompts.fileNames = { GetParam() };
    model->saveAs();
    const std::string text = folder.read(GetParam());
    EXPECT_EQ(text.rfind("untitled\r\n\r\n\r\n", 0), 0u);
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
    EXPECT_FALSE(model->Unsaved());
    EXPECT_TRUE(view.saveTestShown);
    EXPECT_TRUE(messages().empty());
    // Exported only: closing asks nothing and discards the test.
    model->closeTest();
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(fs::exists(folder / "test.tmp"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportNameTest, ::testing::Values("out.txt", "OUT.TXT", "Out.Txt"));

TEST_F(ModelFixture, ANameEndingInTextSavesATest)
{
    typeQuestions(2);
    prompts.fileNames = { "out.text" };
    model->saveAs();
    EXPECT_EQ(folder.read("out.text").size(), 3 * TestRecordLength);
    EXPECT_EQ(model->WorkingFile(), "out.text");
}

TEST_F(ModelFixture, AnAbsoluteDialogNameIsUsedAsItIs)
{
    fs::create_directory(folder / "elsewhere");
    typeQuestions(1);
    const std::string name = (folder / "elsewhere" / "abs.dsq").string();
    prompts.fileNames = { name };
    model->saveAs();
    EXPECT_EQ(folder.read("elsewhere/abs.dsq").size(), 2 * TestRecordLength);
    EXPECT_EQ(model->WorkingFile(), name);
    type("Edited", "", "2");
    model->save();
    EXPECT_EQ(folder.read("elsewhere/abs.dsq").substr(TestRecordLength), (QuestionRecord { "Edited", "", "2" }.pack()));
}

TEST_F(ModelFixture, SaveTestAfterOpenWritesTheShownQuestionIntoTheOpenedFile)
{
    folder.write("t.dsq", untitledHeader() + QuestionRecord { "One", "", "1" }.pack());
    prompts.fileNames = { "t.dsq" };
    model->openTest();
    ASSERT_TRUE(view.saveTestShown);
    type("One edited", "", "1");
    model->save();
    EXPECT_EQ(folder.read("t.dsq"), untitledHeader() + (QuestionRecord { "One edited", "", "1" }.pack()));
}

TEST_F(ModelFixture, ACancelledOpenSaysIllegalFileNameAndKeepsTheTest)
{
    typeQuestions(2);
    model->keyTyped();
    model->openTest();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Illegal file name");
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(model->QuestionCount(), 2);
    EXPECT_FALSE(view.saveTestShown);
}

TEST_F(ModelFixture, AFileShorterThanAHeaderIsRefusedAndLeftAlone)
{
    folder.write("short.dsq", "abc");
    prompts.fileNames = { "short.dsq" };
    model->openTest();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text.rfind("Illegal file name", 0), 0u);
    EXPECT_NE(messages()[0].text.find("short.dsq"), std::string::npos);
    EXPECT_EQ(folder.read("short.dsq"), "abc");
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

TEST_F(ModelFixture, AHeaderOnlyFileOpensAsOneBlankQuestion)
{
    typeQuestions(1);
    folder.write("empty.dsq", untitledHeader());
    prompts.fileNames = { "empty.dsq" };
    prompts.yesNoAnswers = { false };
    model->keyTyped();
    model->openTest();
    EXPECT_EQ(prompts.questions, std::vector<std::string> { NotSaved });
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
    EXPECT_EQ(model->field(0), "");
    EXPECT_EQ(model->field(2), "");
    EXPECT_TRUE(messages().empty());
    model->closeTest();
    EXPECT_EQ(folder.read("empty.dsq"), untitledHeader());
}

TEST_F(ModelFixture, ATrailingPartialRecordIsIgnoredAndKept)
{
    const std::string partial = "partial record";
    folder.write("p.dsq",
        untitledHeader() + QuestionRecord { "One", "", "1" }.pack() + QuestionRecord { "Two", "", "2" }.pack()
            + partial);
    prompts.fileNames = { "p.dsq" };
    model->openTest();
    EXPECT_EQ(view.status.positionLabel, "2 / 2");
    model->back();
    model->forward();
    model->save();
    const std::string after = folder.read("p.dsq");
    EXPECT_EQ(after.size(), 3 * TestRecordLength + partial.size());
    EXPECT_EQ(after.substr(3 * TestRecordLength), partial);
}

TEST_F(ModelFixture, TheNotSavedQuestionIsAskedOnlyForAnEditedNewTest)
{
    // An untouched new test: nothing to ask.
    model->newTest();
    EXPECT_TRUE(prompts.questions.empty());

    typeQuestions(1);
    prompts.yesNoAnswers = { false };
    model->newTest();
    EXPECT_EQ(prompts.questions, std::vector<std::string> { NotSaved });
    EXPECT_FALSE(model->Unsaved());

    // A saved test is written in place: never asked for.
    typeQuestions(1);
    prompts.fileNames = { "kept.dsq" };
    model->saveAs();
    type("Changed", "", "4");
    model->keyTyped();
    model->newTest();
    EXPECT_EQ(prompts.questions.size(), 1u);
    // The edit typed into the saved test's shown question was kept.
    EXPECT_EQ(folder.read("kept.dsq").substr(TestRecordLength), (QuestionRecord { "Changed", "", "4" }.pack()));
}

TEST_F(ModelFixture, AnsweringYesToTheNotSavedQuestionRunsSaveAs)
{
    typeQuestions(2);
    model->keyTyped();
    prompts.yesNoAnswers = { true };
    prompts.fileNames = { "rescued.dsq" };
    model->closeTest();
    EXPECT_EQ(prompts.questions, std::vector<std::string> { NotSaved });
    EXPECT_TRUE(state->saveanswer);
    EXPECT_EQ(folder.read("rescued.dsq").size(), 3 * TestRecordLength);
    EXPECT_FALSE(fs::exists(folder / "test.tmp"));
}

TEST_F(ModelFixture, ClosingAnUnsavedTestAnsweredNoDeletesTestTmp)
{
    typeQuestions(1);
    model->keyTyped();
    prompts.yesNoAnswers = { false };
    model->closeTest();
    EXPECT_EQ(prompts.questions, std::vector<std::string> { NotSaved });
    EXPECT_FALSE(fs::exists(folder / "test.tmp"));
    EXPECT_TRUE(prompts.dialogs.empty());
}

TEST_F(ModelFixture, TheTestFileListIsSortedWithoutRegardToCase)
{
    for (const char* name : { "b.dsq", "A.dsq", "c.DSQ", "notes.txt", "d.dsq.bak" })
        folder.write(name, "x");
    fs::create_directory(folder / "dir.dsq");
    EXPECT_EQ(model->updatefilelist(), (std::vector<std::string> { "A.dsq", "b.dsq", "c.DSQ" }));
    EXPECT_EQ(TestModel::listCaption(1, "A.dsq"), "&1 A.dsq");
    EXPECT_EQ(TestModel::listCaption(9, "x.dsq"), "&9 x.dsq");
    EXPECT_EQ(TestModel::listCaption(10, "y.dsq"), "10 y.dsq");
}

TEST_F(ModelFixture, AListedTestOpensByItsNumber)
{
    folder.write("one.dsq", untitledHeader() + QuestionRecord { "First", "", "1" }.pack());
    model->updatefilelist();
    model->openListedTest(1);
    EXPECT_EQ(model->WorkingFile(), "one.dsq");
    EXPECT_EQ(model->field(0), "First");
    model->openListedTest(7); // no such entry
    EXPECT_TRUE(messages().empty());
}

} // namespace
} // namespace tb

namespace tb {
namespace {

using testing::ModelFixture;
namespace fs = std::filesystem;

// The Qt dialog hands back names as the file system spells them; the model shows them
// as Windows-1252 text and opens and saves the file of that name.
TEST_F(ModelFixture, DialogNamesInTheFileSystemsSpellingBecomeProgramText)
{
    typeQuestions(1);
    prompts.fileNames = { "\xC3\x9C"
                          "bung.dsq" };
    model->saveAs();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(folder
                  .read("\xC3\x9C"
                        "bung.dsq")
                  .size(),
        2 * TestRecordLength);
    EXPECT_EQ(model->WorkingFile(),
        "\xDC"
        "bung.dsq");
    EXPECT_EQ(view.status.fileLabel,
        "File : \xDC"
        "bung.dsq");

    folder.write("\xC3\x89.dsq", "short");
    prompts.fileNames = { "\xC3\x89.dsq" };
    model->openTest();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("\xC9.dsq"), std::string::npos);

    prompts.fileNames = { "\xD1\x82.dsq" }; // a letter Windows-1252 lacks
    model->saveAs();
    EXPECT_EQ(messages().back().text, "The file name that you entered was illegal. The file was not saved.");
    EXPECT_EQ(model->WorkingFile(),
        "\xDC"
        "bung.dsq");
}

TEST_F(ModelFixture, TheMenuFlagCarriesIntoTheNextWindowsNewTestButNotIntoNewTest)
{
    model->acceptDescription("quiz", "", "", 1);
    model->closeTest();
    model = std::make_unique<TestModel>(*state, prompts, view);
    EXPECT_EQ(model->header().MenuListed, 1);
    EXPECT_EQ(folder.read("test.tmp").substr(2000, 12), "1           ");
    model->newTest();
    EXPECT_EQ(model->header().MenuListed, 0);
}

} // namespace
} // namespace tb
