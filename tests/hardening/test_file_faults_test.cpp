// Every step of the test files' whole-file rewrites (deleting a question, Save As to a
// new or an existing file, the text export) made to fail as a full disk would, or the
// process made to "die" there. The file written is afterwards old or new, never neither
// and never half; the test being edited is never touched; a failure is reported naming
// the file; a scratch file left by a death is never taken for a whole file.

#include "hardening_support.h"
#include "support/fake_prompts.h"
#include "support/quiet_view.h"
#include "testbuilder/test_model.h"

#include <gtest/gtest.h>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

std::string savedTest(int questions)
{
    TestHeader header;
    header.TestTitle = "Week 3";
    header.TestDescription = "Tablets";
    header.MenuListed = 1;
    std::string bytes = header.pack();
    for (int k = 1; k <= questions; ++k)
        bytes += QuestionRecord { "Question " + std::to_string(k), "Solution " + std::to_string(k), std::to_string(k) }
                     .pack();
    return bytes;
}

// One program run on a folder: the test window's model with scripted prompts.
struct Rig {
    explicit Rig(const fs::path& folder)
        : state(std::make_unique<ScriptedRandom>(), folder)
        , model(state, prompts, view)
    {
    }
    void open(const std::string& name)
    {
        prompts.fileNames.push_back(name);
        model.openTest();
    }
    FakePrompts prompts;
    QuietView view;
    AppState state;
    TestModel model;
};

enum class Operation { DeleteQuestion, SaveAsNew, SaveAsExisting, ExportText };

struct Case {
    Operation operation;
    StepFault::Kind kind;
};

const char* operationName(Operation op)
{
    switch (op) {
    case Operation::DeleteQuestion:
        return "DeleteQuestion";
    case Operation::SaveAsNew:
        return "SaveAsNew";
    case Operation::SaveAsExisting:
        return "SaveAsExisting";
    case Operation::ExportText:
        return "ExportText";
    }
    return "?";
}

// The file each operation replaces.
std::string targetOf(Operation op)
{
    switch (op) {
    case Operation::DeleteQuestion:
        return "quiz.dsq";
    case Operation::SaveAsNew:
        return "copy.dsq";
    case Operation::SaveAsExisting:
        return "old.dsq";
    case Operation::ExportText:
        return "quiz.txt";
    }
    return {};
}

class TestFileFault : public ::testing::TestWithParam<Case> {
protected:
    static void prepare(const fs::path& folder)
    {
        std::ofstream(folder / "quiz.dsq", std::ios::binary) << savedTest(4);
        std::ofstream(folder / "old.dsq", std::ios::binary) << savedTest(1);
        std::ofstream(folder / "quiz.txt", std::ios::binary) << "an earlier export\r\n";
    }

    // Opens quiz.dsq, shows question 2, then runs the operation with the hook.
    void run(Rig& rig, FaultHook* hook) const
    {
        rig.open("quiz.dsq");
        ASSERT_EQ(rig.model.QuestionCount(), 4);
        rig.model.backTen();
        rig.model.forward();
        ASSERT_EQ(rig.model.CurrentQuestion(), 2);
        rig.prompts.messages.clear();
        rig.model.setFaultHook(hook);
        switch (GetParam().operation) {
        case Operation::DeleteQuestion:
            rig.model.deleteQuestion();
            break;
        case Operation::SaveAsNew:
        case Operation::SaveAsExisting:
        case Operation::ExportText:
            rig.prompts.fileNames.push_back(targetOf(GetParam().operation));
            rig.prompts.yesNoAnswers.push_back(true); // replace the existing file
            rig.model.saveAs();
            break;
        }
        rig.model.setFaultHook(nullptr);
    }
};

TEST_P(TestFileFault, EveryStepLeavesTheFileOldOrNew)
{
    const std::string target = targetOf(GetParam().operation);
    FolderImage before;
    FolderImage after;
    int steps = 0;
    {
        TempFolder folder;
        prepare(folder.path());
        before = imageOf(folder.path());
        Rig rig(folder.path());
        StepFault counter(StepFault::Kind::Throw, 0, folder.path());
        run(rig, &counter);
        ASSERT_TRUE(rig.prompts.messages.empty()) << rig.prompts.messages.front().text;
        steps = counter.calls();
        after = imageOf(folder.path());
    }
    ASSERT_EQ(steps, 5);
    ASSERT_NE(after.at(target), before.count(target) ? before.at(target) : std::string());

    for (int n = 1; n <= steps; ++n) {
        SCOPED_TRACE("fault at step " + std::to_string(n));
        TempFolder folder;
        prepare(folder.path());
        StepFault fault(GetParam().kind, n, folder.path());
        FolderImage left;
        {
            Rig rig(folder.path());
            if (GetParam().kind == StepFault::Kind::Throw) {
                run(rig, &fault);
                ASSERT_TRUE(fault.fired());
                // Reported, naming the file; no exception left the command.
                ASSERT_FALSE(rig.prompts.messages.empty());
                EXPECT_NE(rig.prompts.messages.back().text.find(target), std::string::npos)
                    << rig.prompts.messages.back().text;
                left = imageOf(folder.path());
                EXPECT_FALSE(left.count(QuestionScratchFileName));
                for (const auto& [name, bytes] : left)
                    EXPECT_TRUE(before.count(name) || after.count(name)) << "left behind: " << name;
                if (n < steps) {
                    // The rewrite did not happen: the window still holds the whole test.
                    EXPECT_EQ(rig.model.QuestionCount(), 4);
                }
            } else {
                try {
                    run(rig, &fault);
                } catch (const ProcessDied&) {
                }
                ASSERT_TRUE(fault.fired());
                left = fault.crashImage();
            }
        }

        // The file is whole, old or new; the test it came from is unchanged unless it is the target.
        const std::string old = before.count(target) ? before.at(target) : std::string();
        const std::string now = left.count(target) ? left.at(target) : std::string();
        EXPECT_TRUE(now == old || now == after.at(target))
            << target << " is neither old nor new (" << now.size() << " bytes)";
        if (target != "quiz.dsq") {
            EXPECT_EQ(left.at("quiz.dsq"), before.at("quiz.dsq"));
        }

        // The next program run opens what was left and gets a whole test.
        TempFolder restart;
        restoreImage(left, restart.path());
        if (target.ends_with(".dsq") && left.count(target)) {
            Rig rig(restart.path());
            rig.open(target);
            EXPECT_TRUE(rig.prompts.messages.empty()) << rig.prompts.messages.front().text;
            const long long records = static_cast<long long>(now.size() / TestRecordLength);
            EXPECT_EQ(rig.model.QuestionCount(), records - 1);
            if (GetParam().operation == Operation::DeleteQuestion && now == old) {
                // Deleting again with a stale MXtmp.TMP about gives exactly the finished file.
                rig.model.backTen();
                rig.model.forward();
                rig.model.deleteQuestion();
                EXPECT_EQ(restart.read(target), after.at(target));
                EXPECT_FALSE(fs::exists(restart / QuestionScratchFileName));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, TestFileFault,
    ::testing::Values(Case { Operation::DeleteQuestion, StepFault::Kind::Throw },
        Case { Operation::DeleteQuestion, StepFault::Kind::Die }, Case { Operation::SaveAsNew, StepFault::Kind::Throw },
        Case { Operation::SaveAsNew, StepFault::Kind::Die }, Case { Operation::SaveAsExisting, StepFault::Kind::Throw },
        Case { Operation::SaveAsExisting, StepFault::Kind::Die },
        Case { Operation::ExportText, StepFault::Kind::Throw }, Case { Operation::ExportText, StepFault::Kind::Die }),
    [](const ::testing::TestParamInfo<Case>& info) {
        return std::string(operationName(info.param.operation))
            + (info.param.kind == StepFault::Kind::Throw ? "_WriteFails" : "_ProcessDies");
    });

TEST(TestFileFault, StaleScratchLongerThanTheTestDoesNotLeakIntoADelete)
{
    TempFolder folder;
    folder.write("quiz.dsq", savedTest(4));
    folder.write(QuestionScratchFileName, savedTest(40)); // left by an interrupted delete of a longer test
    {
        Rig rig(folder.path());
        rig.open("quiz.dsq");
        rig.model.deleteQuestion(); // the last question
        EXPECT_EQ(rig.model.QuestionCount(), 3);
    }
    EXPECT_EQ(folder.read("quiz.dsq"), savedTest(3));
    EXPECT_FALSE(fs::exists(folder / QuestionScratchFileName));
}

} // namespace
} // namespace tb::testing
