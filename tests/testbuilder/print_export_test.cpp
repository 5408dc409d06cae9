#include "testbuilder/model_fixture.h"

namespace tb::testing {

using namespace tb::headless;
namespace {

class PrintExportTest : public ModelFixture {
protected:
    FakePrinter printer;
};

TEST_F(PrintExportTest, AnExistingFileIsReplacedOnlyAfterYesAndAFailureKeepsIt)
{
    printing().exportPdf(printer); // cancelled
    EXPECT_TRUE(printer.documents.empty());
    folder.write("drill.pdf", "old");
    prompts.fileNames = { "drill", "drill.pdf", "  drill  " }; // ".pdf" added when none
    prompts.yesNoAnswers = { false, true, true };
    printing().exportPdf(printer);
    EXPECT_EQ(folder.read("drill.pdf"), "old");
    printer.failure = "no fonts";
    printing().exportPdf(printer);
    EXPECT_EQ(folder.read("drill.pdf"), "old");
    printer.failure.clear();
    printing().exportPdf(printer);
    EXPECT_EQ(folder.read("drill.pdf").substr(0, 4), "%PDF");
    EXPECT_EQ(prompts.questions,
        std::vector<std::string>(3, "The file drill.pdf already exists. Would you like to use this file"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The file drill.pdf could not be written.\r\n\r\nno fonts");
}

TEST_F(PrintExportTest, AFailedPrintSaysWhy)
{
    typeQuestions(2);
    printer.failure = "printer offline";
    printing().printTest(printer);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The test could not be printed.\r\n\r\nprinter offline");
}

} // namespace
} // namespace tb::testing
