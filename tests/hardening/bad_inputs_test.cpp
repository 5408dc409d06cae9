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

struct SettingsFileRow {
    const char* name;
    std::string bytes;
    std::int16_t textured;
    std::string stored; // the file after UseAbbreviations (bytes 134 and 135) is set to -1
};

class BadSettingsFile : public ::testing::TestWithParam<SettingsFileRow> { };

TEST_P(BadSettingsFile, LoadsWhatIsThereAndStoresWithoutLosingTheRest)
{
    TempFolder folder;
    folder.write("MX.INI", GetParam().bytes);
    Settings changed = loadSettings(folder.path());
    EXPECT_EQ(changed.TexturedBackground, GetParam().textured);
    changed.UseAbbreviations = -1;
    storeSettings(folder.path(), changed);
    EXPECT_EQ(folder.read("MX.INI"), GetParam().stored);
}

const std::string Abbreviations = std::string("\xFF\xFF", 2) + std::string(4, '\0');
const std::string Texts = std::string(128, 'a') + std::string("\x02\x01", 2); // then TexturedBackground
const std::string Tail(100000, '\x7F');

INSTANTIATE_TEST_SUITE_P(Files, BadSettingsFile,
    ::testing::Values(SettingsFileRow { "Empty", "", 0, std::string(134, '\0') + Abbreviations },
        SettingsFileRow {
            "ShortText", std::string(70, 'a'), 0, std::string(70, 'a') + std::string(64, '\0') + Abbreviations },
        SettingsFileRow {
            "HalfANumber", Texts.substr(0, 129), 0x02, Texts.substr(0, 129) + std::string(5, '\0') + Abbreviations },
        SettingsFileRow { "LongTail", Texts + std::string(10, '\0') + Tail, 0x0102,
            Texts + std::string(4, '\0') + Abbreviations + Tail }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpoiltStartupFile, IsNamedWithItsLineAndNothingIsLoadedOrWritten)
{
    const std::tuple<const char*, std::string, int> files[] = { { "MX.INI", "", 0 }, // "": a folder in its place
        { "mxdbs1.idx", "3\r\n1,1\r\n2,1", 4 }, { "mxdbs1.idx", "40000\r\n1,1\r\n2,1\r\n", 1 },
        { "mxdbs1.idx", "2\r\n1,1\r\nseven,1\r\n", 3 }, { "mxdbs1.idx", "1\r\n-3,1\r\n", 2 },
        { "mxdbs1.idx", "1\r\n0,1\r\n", 2 }, { "mxdbs2.idx", "-1\r\n", 1 }, { "mxdbs2.idx", "1\r\n32768,1\r\n", 2 },
        { "mxcat.idx", "51\r\n", 1 }, { "mxcat.idx", "1\r\n\"Analgesics,1\r\n", 2 } };
    for (const auto& [file, text, line] : files) {
        SCOPED_TRACE(std::string(file) + ": " + text);
        TempFolder folder;
        folder.write("MX.INI", std::string(140, '\0'));
        writeIndexes(folder, "2\r\n1,1\r\n3,2\r\n", "1\r\n2,2\r\n");
        fs::remove(folder / file);
        text.empty() ? (void)fs::create_directory(folder / file) : folder.write(file, text);
        const FolderImage before = imageOf(folder.path());
        AppState state(std::make_unique<ScriptedRandom>(), folder.path());
        const auto problem = loadStartupFiles(state);
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->fileName, file);
        EXPECT_EQ(problem->line, line ? line : problem->line);
        const std::string where = line ? "line " + std::to_string(line) : file;
        EXPECT_TRUE(
            problem->message.find(file) != std::string::npos && problem->message.find(where) != std::string::npos)
            << problem->message;
        EXPECT_EQ(state.TabletIndex.count + state.FluidIndex.count + state.categories.CategoryCount, 0);
        EXPECT_EQ(imageOf(folder.path()), before);
    }
}

TEST(BadDrugData, RecordsAndRecordNumbersGiveAFinitePositiveAnswerOrAReasonNamingTheRecord)
{
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double Inf = std::numeric_limits<double>::infinity();
    using R = DrugRecord&;
    // Which generator (and which good record is spoilt), the spoiling, part of the reason
    // given or "" when a question is expected.
    const std::tuple<bool, void (*)(R), const char*> rows[] = { { true, [](R) {}, "" }, { false, [](R) {}, "" },
        { true, [](R r) { r.DoseRangeHigh = NaN; }, "highest" },
        { true, [](R r) { r.DoseRangeHigh = Inf; }, "highest" }, { true, [](R r) { r.DoseRangeLow = -5; }, "lowest" },
        { true, [](R r) { r.DoseRangeHigh = 0; }, "is 0" }, { true, [](R r) { r.Strength[0] = NaN; }, "strength" },
        { true, [](R r) { r.Strength[0] = Inf; }, "strength" }, { true, [](R r) { r.Strength[0] = -3; }, "strength" },
        { true, [](R r) { r.Strength[0] = 4.9e-324; }, "fits" }, { true, [](R r) { r.StrengthUnit[0] = 99; }, "unit" },
        { true, [](R r) { r.DoseRangeHighUnit = -1; }, "unknown" }, { true, [](R r) { r.FormCode[0] = 11; }, "tablet" },
        { true, [](R r) { r.GenericName = ""; }, "blank" },
        { true, [](R r) { r.DoseRangeHigh = 1e300, r.DoseRangeHighUnit = Kg; }, "" },
        { false, [](R r) { r.Volume[0] = 0; }, "volume" }, { false, [](R r) { r.Volume[0] = Inf; }, "volume" },
        { false, [](R r) { r.FluidIncrement = 0; }, "step is 0" },
        { false, [](R r) { r.FluidIncrement = -5; }, "step" }, { false, [](R r) { r.FluidIncrement = 1e-300; }, "" },
        { false, [](R r) { r.FluidIncrement = 1000; }, "above its highest" } };
    const DrugRecord aspirin = drug("aspirin", Tablet, 300, 0, 1, 300, 900);
    std::vector<DrugRecord> records;
    for (const auto& [tablet, spoil, words] : rows)
        spoil(records.emplace_back(tablet ? aspirin : drug("codeine", Solution, 25, 5, 1, 10, 60, 5)));
    TempFolder folder; // the records, a blank one, and the first 100 bytes of one more
    folder.write("MXDBASE.FIL", dataFile(records) + DrugRecord {}.pack() + aspirin.pack().substr(0, 100));
    std::string entries = "32767\r\n";
    for (int i = 1; i <= 32767; ++i)
        entries += std::to_string(i) + ",1\r\n";
    writeIndexes(folder, entries);
    AppState state(std::make_unique<ScriptedRandom>(std::vector { 0.1, 0.6, 0.35, 0.9, 0.0, 0.75 }), folder.path());
    ASSERT_FALSE(loadStartupFiles(state).has_value());
    ASSERT_EQ(state.TabletIndex.count, 32767);
    const auto tried = [&](int record, bool tablet) {
        state.CandidateRecords = { 0, static_cast<std::int16_t>(record) };
        state.CandidateCount = 1;
        return tablet ? makeTabletQuestion(state) : makeFluidQuestion(state);
    };
    for (int k = 1; k <= static_cast<int>(std::size(rows)); ++k) {
        const auto& [tablet, spoil, words] = rows[k - 1];
        const DrugQuestionResult result = tried(k, tablet);
        ASSERT_EQ(result.question.has_value(), *words == '\0') << k << ": " << result.problem;
        if (result.question) {
            const std::string& text = result.question->question;
            EXPECT_TRUE(std::isfinite(result.question->answer) && result.question->answer > 0) << text;
            EXPECT_TRUE(text.find("nan") == std::string::npos && text.find("inf") == std::string::npos) << text;
        } else {
            EXPECT_EQ(result.record, k);
            EXPECT_NE(result.problem.find(words), std::string::npos) << result.problem;
            EXPECT_NE(result.problem.find("record " + std::to_string(k)), std::string::npos) << result.problem;
        }
    }
    const int blank = static_cast<int>(records.size()) + 1;
    const std::pair<int, std::string> numbers[] = { { 100, "past the end" }, { blank, "blank" },
        { blank + 1, "record " + std::to_string(blank + 1) }, { 0, "below 1" }, { -7, "below 1" },
        { -32768, "below 1" }, { state.TabletIndex.record[32767], "past the end" } };
    for (const auto& [record, words] : numbers) {
        const auto result = tried(record, true);
        EXPECT_FALSE(result.question.has_value()) << record;
        EXPECT_NE(result.problem.find(words), std::string::npos) << result.problem;
    }
    state.CandidateRecords = { 0, 1 }; // a count beyond the list never reads past it
    for (int count : { 5, -1 }) {
        state.CandidateCount = count;
        EXPECT_FALSE(makeFluidQuestion(state).problem.empty() || makeTabletQuestion(state).problem.empty());
    }
}

TEST(BadTestFile, OpeningNeverWritesAndWhatOpensCanBeSteppedDeletedFromAndExported)
{
    const auto header = [](const std::string& title, const std::string& listed) {
        return fitWidth(title, QuestionWidth) + fitWidth("", SolutionWidth) + fitWidth(listed, AnswerWidth);
    };
    const auto questions = [](int n) { return savedTest(n).substr(TestRecordLength); };
    std::string noise(4 * TestRecordLength, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    // The bytes; the questions, title and MenuListed read, or 0 questions when refused.
    const std::tuple<std::string, int, std::string, int> files[] = { { "", 0, "", 0 },
        { std::string(2011, ' '), 0, "", 0 }, { header("Only a header", "1"), 1, "Only a header", 1 },
        { header("A", "0") + questions(3) + std::string(700, 'x'), 3, "A", 0 },
        { header("A", "0") + questions(120), 120, "A", 0 }, { header("A", "abc") + questions(2), 2, "A", 0 },
        { header("A", "1e400") + questions(2), 2, "A", 0 }, { header("A", " -1.6 ") + questions(2), 2, "A", -2 },
        { std::string(TestRecordLength, '\0') + questions(2), 2, std::string(40, '\0'), 0 },
        { header("Noise", "1") + noise, 4, "Noise", 1 } };
    for (const auto& [bytes, count, title, menuListed] : files) {
        SCOPED_TRACE(bytes.substr(0, 60));
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
            continue;
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
}

// The dialogs give names as Windows-1252 text; on disk the name is the system's own (UTF-8).
TEST(FileNames, WesternLettersWorkAndLettersWindows1252LacksAreRefused)
{
    TempFolder folder;
    folder.write("\xC3\x9C\x62ung.dsq", savedTest(2)); // "Übung.dsq" as the file system spells it
    // "????.dsq" is how a name such as "тест.dsq" reaches the program.
    Rig rig(folder.path(), { "\xDC\x62ung.dsq", "????.dsq", "C:\\*.txt", "\xC9t\xE9.dsq" });
    rig.model.openTest();
    for (int k = 0; k < 2; ++k) {
        rig.model.saveAs();
        EXPECT_EQ(rig.lastMessage(), Illegal);
    }
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

// fuzz_drug_file: cutting an answer to its 12 characters dropped the exponent of a small one
// (3.33333333333333E-05 stored as 3.3333333333) and cut a huge one to wrong digits
// (35184372135424 as 351843721354); an ordinary long fraction is still cut.
TEST(FuzzFinding, AnAnswerIsStoredInTwelveCharactersWithItsExponent)
{
    const std::tuple<DrugRecord, double, const char*> findings[]
        = { { drug("concentrate", Solution, 300, 1, 1, 0.01, 10, 0.01), 0.01 / 300, "3.333333E-05" },
              { drug("nonsense", Solution, 1, 35184372135424.0, 1, 1, 10, 1), 35184372135424.0, "" } };
    for (const auto& [record, expected, text] : findings) {
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
    EXPECT_EQ(fitWidth(formatNumber(1.0 / 30), AnswerWidth), "0.0333333333");
}

} // namespace
} // namespace tb::testing
