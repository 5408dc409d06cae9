// Bad input for every reader (MX.INI, index files, drug records, test files and their names)
// and what the fuzz targets found: named and left alone, or read as far as it makes sense.

#include "hardening_support.h"
#include "questions/drug_questions.h"
#include "startup/number_format.h"
#include "startup/settings.h"

#include <cmath>
#include <limits>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

const auto byName = [](const auto& info) { return std::string(info.param.name); };

// A settings file of two half numbers' bytes and then a long tail: the tail is kept as it was.
TEST(BadSettingsFile, LoadsWhatIsThereAndStoresWithoutLosingTheRest)
{
    const std::string texts = std::string(128, 'a') + std::string("\x02\x01", 2); // then TexturedBackground
    const std::string tail(100000, '\x7F');
    TempFolder folder;
    folder.write("MX.INI", texts + std::string(10, '\0') + tail);
    Settings changed = loadSettings(folder.path());
    EXPECT_EQ(changed.TexturedBackground, 0x0102);
    changed.UseAbbreviations = -1;
    storeSettings(folder.path(), changed);
    EXPECT_EQ(folder.read("MX.INI"), texts + std::string(4, '\0') + "\xFF\xFF" + std::string(4, '\0') + tail);
}

// The other start-up files' faults are the index readers' own; a folder at MX.INI is not.
TEST(SpoiltStartupFile, AFolderAtTheSettingsFileIsNamedAndNothingIsLoadedOrWritten)
{
    TempFolder folder;
    writeIndexes(folder, "2\r\n1,1\r\n3,2\r\n", "1\r\n2,2\r\n");
    fs::create_directory(folder / "MX.INI");
    const FolderImage before = imageOf(folder.path());
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    const auto problem = loadStartupFiles(state);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->fileName, "MX.INI");
    EXPECT_NE(problem->message.find("MX.INI"), std::string::npos) << problem->message;
    EXPECT_EQ(state.TabletIndex.count + state.FluidIndex.count + state.categories.CategoryCount, 0);
    EXPECT_EQ(imageOf(folder.path()), before);
}

constexpr double Inf = std::numeric_limits<double>::infinity();

struct DrugRow {
    const char* name;
    bool tablet;
    void (*spoil)(DrugRecord&);
    int record; // 2 is the spoilt one; then a blank record and the first 100 bytes of one more
    const char* words; // part of the reason given, or "" when a question is expected
};

class BadDrugRecord : public ::testing::TestWithParam<DrugRow> { };

TEST_P(BadDrugRecord, GivesAFinitePositiveAnswerOrAReasonNamingTheRecord)
{
    const auto& [name, tablet, spoil, number, words] = GetParam();
    DrugRecord record
        = tablet ? drug("aspirin", Tablet, 300, 0, 1, 300, 900) : drug("codeine", Solution, 25, 5, 1, 10, 60, 5);
    spoil(record);
    TempFolder folder;
    folder.write("MXDBASE.FIL",
        dataFile({ drug("first", Tablet, 1, 0, 1), record, DrugRecord {} }) + record.pack().substr(0, 100));
    AppState state(std::make_unique<ScriptedRandom>(std::vector { 0.1, 0.6, 0.35, 0.9, 0.0, 0.75 }), folder.path());
    state.CandidateRecords = { 0, static_cast<std::int16_t>(number) };
    state.CandidateCount = 1;
    const DrugQuestionResult result = tablet ? makeTabletQuestion(state) : makeFluidQuestion(state);
    ASSERT_EQ(result.question.has_value(), *words == '\0') << result.problem;
    if (result.question) {
        const std::string& text = result.question->question;
        EXPECT_TRUE(std::isfinite(result.question->answer) && result.question->answer > 0) << text;
        EXPECT_TRUE(text.find("nan") == std::string::npos && text.find("inf") == std::string::npos) << text;
    } else {
        EXPECT_NE(result.problem.find(words), std::string::npos) << result.problem;
        const std::string record = number > 0 ? "record " + std::to_string(number) : "";
        EXPECT_NE(result.problem.find(record), std::string::npos) << result.problem;
    }
    state.CandidateCount = 5; // a count beyond the list never reads past it
    EXPECT_FALSE(makeFluidQuestion(state).problem.empty() || makeTabletQuestion(state).problem.empty());
}

void keep(DrugRecord&)
{
}

INSTANTIATE_TEST_SUITE_P(Records, BadDrugRecord,
    ::testing::Values(DrugRow { "HighestInfinite", true, [](DrugRecord& r) { r.DoseRangeHigh = Inf; }, 2, "highest" },
        DrugRow { "StrengthDenormal", true, [](DrugRecord& r) { r.Strength[0] = 4.9e-324; }, 2, "fits" },
        DrugRow { "UnitUnknown", true, [](DrugRecord& r) { r.StrengthUnit[0] = 99; }, 2, "unit" },
        DrugRow { "HighestUnitNegative", true, [](DrugRecord& r) { r.DoseRangeHighUnit = -1; }, 2, "unknown" },
        DrugRow { "FormNotATablet", true, [](DrugRecord& r) { r.FormCode[0] = 11; }, 2, "tablet" },
        DrugRow { "NameBlank", true, [](DrugRecord& r) { r.GenericName = ""; }, 2, "blank" },
        DrugRow { "HugeHighestDose", true, [](DrugRecord& r) { r.DoseRangeHigh = 1e300; }, 2, "" },
        DrugRow { "VolumeInfinite", false, [](DrugRecord& r) { r.Volume[0] = Inf; }, 2, "volume" },
        DrugRow { "StepTiny", false, [](DrugRecord& r) { r.FluidIncrement = 1e-300; }, 2, "" },
        DrugRow { "StepAboveHighest", false, [](DrugRecord& r) { r.FluidIncrement = 1000; }, 2, "above its highest" },
        DrugRow { "NumberZero", true, keep, 0, "below 1" },
        DrugRow { "NumberMostNegative", true, keep, -32768, "below 1" },
        DrugRow { "BlankRecord", true, keep, 3, "blank" }, DrugRow { "CutShort", true, keep, 4, "record 4" },
        DrugRow { "PastTheEnd", true, keep, 100, "past the end" }),
    byName);

std::string headerRecord(const std::string& title, const std::string& listed)
{
    return fitWidth(title, QuestionWidth) + fitWidth("", SolutionWidth) + fitWidth(listed, AnswerWidth);
}

std::string questions(int n)
{
    return savedTest(n).substr(TestRecordLength);
}

std::string noise()
{
    std::string bytes(4 * TestRecordLength, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    return bytes;
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

INSTANTIATE_TEST_SUITE_P(Files, BadTestFile,
    ::testing::Values(TestFileRow { "Empty", "", 0, "", 0 },
        TestFileRow { "ShortOfAHeader", std::string(2011, ' '), 0, "", 0 },
        TestFileRow { "OnlyAHeader", headerRecord("Only a header", "1"), 1, "Only a header", 1 },
        TestFileRow { "PartRecordAtTheEnd", headerRecord("A", "0") + questions(3) + std::string(700, 'x'), 3, "A", 0 },
        TestFileRow { "ListedNotANumber", headerRecord("A", "abc") + questions(2), 2, "A", 0 },
        TestFileRow { "ListedNegativeFraction", headerRecord("A", " -1.6 ") + questions(2), 2, "A", -2 },
        TestFileRow { "NulHeader", std::string(TestRecordLength, '\0') + questions(2), 2, std::string(40, '\0'), 0 },
        TestFileRow { "Noise", headerRecord("Noise", "1") + noise(), 4, "Noise", 1 }),
    byName);

// The dialogs give names as Windows-1252 text; on disk the name is the system's own (UTF-8).
TEST(FileNames, WesternLettersWorkAndLettersWindows1252LacksAreRefused)
{
    TempFolder folder;
    folder.write("\xC3\x9C\x62ung.dsq", savedTest(2)); // "Übung.dsq" as the file system spells it
    // "????.dsq" is how a name such as "тест.dsq" reaches the program.
    Rig rig(folder.path(), { "\xDC\x62ung.dsq", "????.dsq", "C:\\*.txt", "\xC9t\xE9.dsq" });
    rig.model.openTest();
    rig.model.saveAs();
    EXPECT_EQ(rig.lastMessage(), Illegal);
    rig.model.saveAs();
    EXPECT_EQ(rig.lastMessage(), Illegal);
    EXPECT_EQ(imageOf(folder.path()).size(), 2u); // the test and the new test's test.tmp
    rig.model.saveAs(); // as "Été.dsq"
    EXPECT_EQ(folder.read("\xC3\x89t\xC3\xA9.dsq"), savedTest(2));
    EXPECT_EQ(rig.model.updatefilelist(), (std::vector<std::string> { "\xC9t\xE9.dsq", "\xDC\x62ung.dsq" }));
}

// fuzz_category_file: a quote in a category name was written back between quotes and the
// next start-up refused the file; the rewrite now stores it as an apostrophe.
TEST(FuzzFinding, CategoryNameWithAQuoteReadsBackAfterTheRebuild)
{
    CategoryTables categories = parseCategoryFile("2\r\nCarhere\",7\r\nng name ;cut here\",7\r\n", "mxcat.idx");
    ASSERT_GT(createCategory(categories, "Say \"when\""), 0);
    TempFolder folder;
    folder.write(
        "MXDBASE.FIL", dataFile({ drug("a", Tablet, 1, 0, 7), drug("b", Tablet, 1, 0, categories.CategoryCode[3]) }));
    rebuildIndexes(folder.path(), categories);
    const CategoryTables reread = parseCategoryFile(folder.read("mxcat.idx"), "mxcat.idx");
    ASSERT_EQ(reread.CategoryCount, 3);
    EXPECT_EQ(reread.CategoryName[1], "Carhere'            ");
    EXPECT_EQ(reread.CategoryName[2], "ng name ;cut here'  ");
    EXPECT_EQ(reread.CategoryName[3], "Say 'when'          ");
    EXPECT_EQ(reread.CategoryCode, categories.CategoryCode);
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
    for (int box : { 0, 1, 3 })
        rig.model.setCategoryTicked(box, false);
    rig.model.createQuestions("1");
    ASSERT_EQ(rig.model.QuestionCount(), 1) << rig.lastMessage();
    const double answer = rig.model.lastGenerated().answer;
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
