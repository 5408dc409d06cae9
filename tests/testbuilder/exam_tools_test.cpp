#include "core/testbuilder/command_guard.h"
#include "testbuilder/model_fixture.h"

#include <filesystem>
#include <stdexcept>

namespace tb::testing {

namespace fs = std::filesystem;
using namespace tb::headless;

namespace {

// ---- the text file options ----

TEST(TextFileOptions, StartNumberedInStyleOneWithEverythingButWorkingSpace)
{
    const TextFileOptions options;
    EXPECT_EQ(options.numberingStyle(), 1);
    EXPECT_EQ(options.parts(), (std::array<bool, 5> { true, true, true, true, true }));
    EXPECT_FALSE(options.workingSpace());
}

TEST(TextFileOptions, EntriesOutsideTheMenuChangeNothing)
{
    TextFileOptions options;
    options.numbquest_Click(6);
    options.numbquest_Click(-1);
    options.tfop_Click(6);
    options.tfop_Click(-1);
    EXPECT_EQ(options.numberingStyle(), 1);
    EXPECT_EQ(options.parts(), (std::array<bool, 5> { true, true, true, true, true }));
    EXPECT_FALSE(options.includeOption(6));
    EXPECT_FALSE(options.includeOption(-1));
}

TEST(TextFileOptions, WorkingSpaceGovernsOnlyThePaper)
{
    TextFileOptions options;
    options.tfop_Click(5);
    EXPECT_TRUE(options.workingSpace());
    EXPECT_EQ(options.parts(), (std::array<bool, 5> { true, true, true, true, true }));
}

TEST(TextFileContents, UnnumberedAnswersOnly)
{
    TextFileOptions options;
    options.numbquest_Click(0);
    for (int part : { 0, 1, 2, 4 })
        options.tfop_Click(part);
    TestHeader header;
    header.TestTitle = "Ward 4";
    QuestionRecord record;
    record.questionText = "Q";
    record.answerText = "0.5";
    EXPECT_EQ(
        textFileContents(header, { record }, options), "Q\r\n\r\n\r\n\r\n\r\nAnswers:\r\n\r\n1. 0.5\r\n\r\n\r\n\r\n");
}

// ---- the command guard ----

TEST(RunGuarded, WhatACommandThrowsBecomesAMessage)
{
    ScriptedPrompts prompts;
    runGuarded(prompts, [] { throw std::runtime_error("The file \"a.dsq\" could not be read."); });
    runGuarded(prompts, [] { throw 42; });
    runGuarded(prompts, [] {});
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, "The file \"a.dsq\" could not be read.");
    EXPECT_EQ(prompts.messages[1].text, "An unexpected error stopped the command.");
}

// ---- drafting ----

TEST_F(ModelFixture, TheCountBoxIsHeldToTheRoomLeftWithOneWarning)
{
    QuestionDrafter& drafter = model->drafter();
    EXPECT_EQ(QuestionDrafter::wantedCount(""), 1);
    EXPECT_EQ(QuestionDrafter::wantedCount("2.9"), 2);
    EXPECT_EQ(QuestionDrafter::wantedCount("1E9"), 1000000);
    EXPECT_EQ(drafter.holdToLimit(3, 3), 3);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(drafter.holdToLimit(5, 3), 3);
    EXPECT_EQ(view.countTexts, std::vector<std::string> { "3" });
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Warning!");
}

// ---- choosing the file to write ----

TEST_F(ModelFixture, ANewTestProposesItsTitleWithoutWhatANameCannotHold)
{
    model->acceptDescription("..Week 3: doses/rates?", "", "", 0);
    EXPECT_EQ(model->targets().proposedFileName(".pdf"), "Week 3  doses rates.pdf");
    model->acceptDescription(" ./ ", "", "", 0);
    EXPECT_EQ(model->targets().proposedFileName(".xml"), "untitled.xml");
}

TEST_F(ModelFixture, ReplacingAsksOnlyForAFileThatExists)
{
    const TargetFiles& targets = model->targets();
    EXPECT_TRUE(targets.mayReplace(targets.resolve("new.pdf"), "new.pdf"));
    EXPECT_TRUE(prompts.questions.empty());
    folder.write("old.pdf", "old");
    prompts.yesNoAnswers = { false };
    EXPECT_FALSE(targets.mayReplace(targets.resolve("old.pdf"), "old.pdf"));
    EXPECT_EQ(prompts.questions,
        std::vector<std::string> { "The file old.pdf already exists. Would you like to use this file" });
    EXPECT_FALSE(state->saveanswer);
}

// A tool is bound to the model, not to the test it saw first: after Open Test it reads the
// opened test through the model's stored questions.
TEST_F(ModelFixture, AToolMadeBeforeOpenTestExportsTheOpenedTest)
{
    PlatformExportCommand exporter(*model, prompts, view);
    typeQuestions(2);
    prompts.fileNames = { "two.dsq" };
    model->saveAs();
    model->newTest();
    type("Other", "", "3");
    prompts.fileNames = { "two.dsq", "two.gift" };
    prompts.yesNoAnswers = { false };
    model->openTest();
    ASSERT_EQ(model->WorkingFile(), "two.dsq");
    prompts.selectedFilters = { 2 };
    exporter.exportForPlatform();
    EXPECT_EQ(view.statusLine, "Exported two.gift.txt (GIFT, 2 questions)");
}

// A tool's writes go through the model's fault hook: a rewrite that fails leaves the old file.
TEST_F(ModelFixture, APdfExportThatFailsMidRewriteKeepsTheOldFile)
{
    struct FailBeforeRename final : FaultHook {
        void at(RewriteStep step, const fs::path&) override
        {
            if (step == RewriteStep::BeforeRename)
                throw std::runtime_error("disk full");
        }
    } hook;
    typeQuestions(1);
    folder.write("drill.pdf", "old");
    model->setFaultHook(&hook);
    FakePrinter printer;
    prompts.fileNames = { "drill.pdf" };
    prompts.yesNoAnswers = { true };
    printing().exportPdf(printer);
    model->setFaultHook(nullptr);
    EXPECT_EQ(folder.read("drill.pdf"), "old");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The file drill.pdf could not be written.\r\n\r\ndisk full");
}

} // namespace

} // namespace tb::testing
