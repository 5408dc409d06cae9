// Bad input for the reader of test files and their names, and what the fuzz
// targets found: named and left alone, or read as far as it makes sense.

#include "core/foundation/number_format.h"
#include "hardening_support.h"

namespace tb::testing {

using namespace tb::headless;
namespace {

namespace fs = std::filesystem;

const auto byName = [](const auto& info) { return std::string(info.param.name); };

std::string headerRecord(const std::string& title, const std::string& listed)
{
    return fitWidth(title, QuestionWidth) + fitWidth("", SolutionWidth) + fitWidth(listed, AnswerWidth);
}

std::string questions(int n)
{
    return savedTest(n).substr(TestRecordLength);
}

struct TestFileRow {
    const char* name;
    std::string bytes;
    int count; // questions read, or 0 when refused
    std::string title;
    int menuListed;
};

class BadTestFile : public ::testing::TestWithParam<TestFileRow> { };

TEST_P(BadTestFile, OpeningNeverWritesAndWhatOpensCanBeSteppedDeletedFromAndExported)
{
    const auto& [name, bytes, count, title, menuListed] = GetParam();
    TempFolder folder;
    folder.write("given.dsq", bytes);
    Rig rig(folder.path(), { "given.dsq", "given.txt" });
    rig.model.openTest();
    EXPECT_EQ(folder.read("given.dsq"), bytes) << "opening changed the file";
    if (count == 0) {
        ASSERT_EQ(rig.prompts.messages.size(), 1u);
        EXPECT_EQ(rig.prompts.messages[0].text, "Illegal file name");
        EXPECT_NE(rig.prompts.messages[0].details.find("given.dsq"), std::string::npos) << rig.lastMessage();
        EXPECT_EQ(rig.model.WorkingFile(), NewTestFileName);
        return;
    }
    ASSERT_EQ(rig.lastMessage(), "");
    EXPECT_EQ(rig.model.QuestionCount(), count);
    EXPECT_EQ(rig.model.header().TestTitle, title);
    EXPECT_EQ(rig.model.header().MenuListed, menuListed);
    rig.model.forwardTen();
    rig.model.backTen();
    rig.model.back();
    rig.model.deleteQuestion();
    EXPECT_EQ(rig.model.QuestionCount(), std::max(1, count - 1));
    EXPECT_EQ(folder.read("given.dsq").size() % TestRecordLength, 0u);
    rig.model.saveAs();
    EXPECT_EQ(rig.lastMessage(), "");
    EXPECT_TRUE(fs::exists(folder / "given.txt"));
}

std::string noise()
{
    std::string bytes(4 * TestRecordLength, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    return bytes;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, BadTestFile, ::testing::Values(
    TestFileRow { "Empty", "", 0, "", 0 },
    TestFileRow { "ShortOfAHeader", std::string(2011, ' '), 0, "", 0 },
    TestFileRow { "ListedNegativeFraction", headerRecord("A", " -1.6 ") + questions(2), 2, "A", -2 },
    TestFileRow { "Noise", headerRecord("Noise", "1") + noise(), 4, "Noise", 1 }), byName);
// clang-format on

// The dialogs give names as Windows-1252 text; on disk the name is the system's own (UTF-8).
TEST(FileNames, WesternLettersWorkAndLettersWindows1252LacksAreRefused)
{
    TempFolder folder;
    folder.write("\xC3\x9C\x62ung.dsq", savedTest(2)); // "Übung.dsq" as the file system spells it
    // "????.dsq" is how a name such as "тест.dsq" reaches the program.
    Rig rig(folder.path(), { "\xDC\x62ung.dsq", "????.dsq", "\xC9t\xE9.dsq" });
    rig.model.openTest();
    rig.model.saveAs();
    EXPECT_EQ(rig.lastMessage(), Illegal);
    EXPECT_EQ(imageOf(folder.path()).size(), 2u); // the test and the new test's test.tmp
    rig.model.saveAs(); // as "Été.dsq"
    EXPECT_EQ(folder.read("\xC3\x89t\xC3\xA9.dsq"), savedTest(2));
    EXPECT_EQ(rig.model.updatefilelist(), (std::vector<std::string> { "\xC9t\xE9.dsq", "\xDC\x62ung.dsq" }));
}

struct AnswerRow {
    const char* name;
    DrugRecord record;
    double expected;
    const char* stored; // "" when only the value is checked
};

class FuzzFindingAnswer : public ::testing::TestWithParam<AnswerRow> { };

// fuzz_drug_file: cutting an answer to its 12 characters dropped the exponent of a small one
// (3.33333333333333E-05 stored as 3.3333333333) and cut a huge one to wrong digits
// (35184372135424 as 351843721354).
TEST_P(FuzzFindingAnswer, IsStoredInTwelveCharactersWithItsExponent)
{
    const auto& [name, record, expected, text] = GetParam();
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ record }));
    writeIndexes(folder, "\r\n", "1\r\n1,1\r\n");
    Rig rig(folder.path(), {}, true);
    ASSERT_TRUE(rig.startedUp);
    for (int box : { 0, 1, 3 })
        rig.model.drafter().setCategoryTicked(box, false);
    rig.model.createQuestions("1");
    ASSERT_EQ(rig.model.QuestionCount(), 1) << rig.lastMessage();
    const double answer = rig.model.drafter().lastGenerated().answer;
    EXPECT_NEAR(answer, expected, 1e-9 * expected);
    const std::string stored = rig.model.RecordBuffer().answerText;
    EXPECT_EQ(stored.size(), AnswerWidth);
    EXPECT_NEAR(readNumber(stored), answer, 1e-6 * answer) << stored;
    EXPECT_TRUE(*text == '\0' || stored == text) << stored;
}

INSTANTIATE_TEST_SUITE_P(Findings, FuzzFindingAnswer,
    ::testing::Values(
        AnswerRow { "Small", drug("concentrate", Solution, 300, 1, 1, 0.01, 10, 0.01), 0.01 / 300, "3.333333E-05" },
        AnswerRow { "Huge", drug("nonsense", Solution, 1, 35184372135424.0, 1, 1, 10, 1), 35184372135424.0, "" }),
    byName);

} // namespace
} // namespace tb::testing
