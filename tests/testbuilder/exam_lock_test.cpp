#include "testbuilder/model_fixture.h"

namespace tb::testing {

using namespace tb::headless;
namespace {

/// One copy of the program: its own data folder, scripted prompts, working-file locks on.
struct Copy {
    explicit Copy(const std::filesystem::path& folder)
        : state(std::make_unique<ScriptedRandom>(), folder)
    {
        state.lockWorkingFiles = true;
        model = std::make_unique<ExamModel>(state, prompts, view);
    }
    std::string lastMessage() const { return prompts.messages.empty() ? "" : prompts.messages.back().text; }

    ScriptedPrompts prompts;
    FakeView view;
    AppState state;
    std::unique_ptr<ExamModel> model;
};

const std::string WeekThree = untitledHeader() + std::string(TestRecordLength, 'q');

// The first copy has the shared test open.
class WorkingFileLock : public ::testing::Test {
protected:
    WorkingFileLock()
    {
        shared.write("week3.dsq", WeekThree);
        first.prompts.fileNames.push_back(test);
        first.model->openTest();
    }

    TempFolder firstFolder, secondFolder, shared;
    const std::string test = (shared / "week3.dsq").string();
    Copy first { firstFolder.path() };
    Copy second { secondFolder.path() };
};

TEST_F(WorkingFileLock, TestOpenInOneCopyIsNotOpenedByAnother)
{
    ASSERT_EQ(first.model->WorkingFile(), test) << first.lastMessage();
    second.prompts.fileNames = { test, test };
    second.model->openTest();
    EXPECT_EQ(second.model->WorkingFile(), NewTestFileName);
    EXPECT_FALSE(second.view.saveTestShown);
    const std::string message = second.lastMessage();
    EXPECT_EQ(message.rfind("The test \"" + test + "\" is open in Tutor Bench of ", 0), 0u) << message;
    EXPECT_NE(message.find("(process " + std::to_string(::getpid()) + ")"), std::string::npos) << message;

    first.model->newTest(); // once the first copy has left the test, the second opens it
    second.model->openTest();
    EXPECT_EQ(second.model->WorkingFile(), test) << second.lastMessage();
}

TEST_F(WorkingFileLock, TestOpenInOneCopyIsNotOverwrittenBySaveAsOfAnother)
{
    second.model->setField(0, "Other question");
    second.model->setField(2, "9");
    second.prompts.fileNames = { test };
    second.prompts.yesNoAnswers = { true }; // "already exists ... use this file"
    second.model->saveAs();
    EXPECT_EQ(second.lastMessage().rfind("The test \"", 0), 0u) << second.lastMessage();
    EXPECT_TRUE(second.prompts.questions.empty()) << "asked to overwrite a test that is open elsewhere";
    EXPECT_EQ(second.model->WorkingFile(), NewTestFileName);
    EXPECT_EQ(shared.read("week3.dsq"), WeekThree);
}

TEST_F(WorkingFileLock, LockFileNameIsRefusedAsATestName)
{
    second.prompts.fileNames = { test + ".lock" };
    second.model->saveAs();
    EXPECT_EQ(second.lastMessage(), "The file name that you entered was illegal. The file was not saved.");
    EXPECT_NE(shared.read("week3.dsq.lock").find("Tutor Bench"), std::string::npos) << "the held lock was replaced";
}

} // namespace
} // namespace tb::testing
