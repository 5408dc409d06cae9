// Bad test files and settings files: truncated, oversized, partial records, headers of
// odd bytes, numbers that are no numbers, folders where files should be. Opening never
// writes, a file that is no test is named and left alone, and whatever opens can be
// stepped through, deleted from and exported.

#include "hardening_support.h"
#include "startup/settings.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/quiet_view.h"
#include "testbuilder/test_model.h"

#include <gtest/gtest.h>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

std::string header(const std::string& title, const std::string& listed)
{
    return fitWidth(title, QuestionWidth) + fitWidth("", SolutionWidth) + fitWidth(listed, AnswerWidth);
}

std::string questions(int n)
{
    std::string bytes;
    for (int k = 1; k <= n; ++k)
        bytes += QuestionRecord { "Question " + std::to_string(k), "Solution " + std::to_string(k), std::to_string(k) }
                     .pack();
    return bytes;
}

struct BadTest {
    const char* label;
    std::function<std::string()> bytes;
    int questions; // expected question count once open; 0 when the file is refused
    std::string title; // expected title when open
    int menuListed = 0; // expected MenuListed when open
};

std::ostream& operator<<(std::ostream& out, const BadTest& c)
{
    return out << c.label;
}

class BadTestFile : public ::testing::TestWithParam<BadTest> { };

TEST_P(BadTestFile, OpensWhatIsWholeOrNamesTheFileAndKeepsIt)
{
    const BadTest& c = GetParam();
    TempFolder folder;
    const std::string bytes = c.bytes();
    folder.write("given.dsq", bytes);
    FakePrompts prompts;
    QuietView view;
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    TestModel model(state, prompts, view);
    prompts.fileNames.push_back("given.dsq");
    model.openTest();
    EXPECT_EQ(folder.read("given.dsq"), bytes) << "opening changed the file";

    if (c.questions == 0) {
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].text.rfind("Illegal file name", 0), 0u) << prompts.messages[0].text;
        EXPECT_NE(prompts.messages[0].text.find("given.dsq"), std::string::npos) << prompts.messages[0].text;
        EXPECT_EQ(model.WorkingFile(), NewTestFileName);
        return;
    }
    ASSERT_TRUE(prompts.messages.empty()) << prompts.messages[0].text;
    EXPECT_EQ(model.QuestionCount(), c.questions);
    EXPECT_EQ(model.CurrentQuestion(), c.questions);
    EXPECT_EQ(model.header().TestTitle, c.title);
    EXPECT_EQ(model.header().MenuListed, c.menuListed);

    // Step round, delete one, export: the file keeps whole records only.
    model.forwardTen();
    model.backTen();
    model.back();
    model.deleteQuestion();
    EXPECT_EQ(model.QuestionCount(), std::max(1, c.questions - 1));
    EXPECT_EQ(folder.read("given.dsq").size() % TestRecordLength, 0u);
    prompts.fileNames.push_back("given.txt");
    model.saveAs();
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages[0].text;
    EXPECT_TRUE(fs::exists(folder / "given.txt"));
}

INSTANTIATE_TEST_SUITE_P(Files, BadTestFile,
    ::testing::Values(BadTest { "empty", [] { return std::string(); }, 0, "" },
        BadTest { "shorter_than_a_record", [] { return std::string(2011, ' '); }, 0, "" },
        BadTest { "header_only", [] { return header("Only a header", "1"); }, 1, "Only a header", 1 },
        BadTest { "partial_last_record", [] { return header("Partial", "0") + questions(3) + std::string(700, 'x'); },
            3, "Partial" },
        BadTest { "more_than_99_questions", [] { return header("Long", "0") + questions(120); }, 120, "Long" },
        BadTest { "title_longer_than_40", [] { return header("  " + std::string(60, 'T') + "  ", "0") + questions(1); },
            1, "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT" },
        BadTest { "menu_listed_not_a_number", [] { return header("A", "abc") + questions(2); }, 2, "A", 0 },
        BadTest { "menu_listed_nan", [] { return header("A", "nan") + questions(2); }, 2, "A", 0 },
        BadTest { "menu_listed_overflowing", [] { return header("A", "1e400") + questions(2); }, 2, "A", 0 },
        BadTest { "menu_listed_out_of_range", [] { return header("A", "99999") + questions(2); }, 2, "A", 0 },
        BadTest {
            "menu_listed_negative_and_fraction", [] { return header("A", " -1.6 ") + questions(2); }, 2, "A", -2 },
        BadTest { "header_of_nul_bytes", [] { return std::string(TestRecordLength, '\0') + questions(2); }, 2,
            std::string(40, '\0') },
        BadTest { "header_of_0xff_bytes", [] { return std::string(TestRecordLength, '\xFF') + questions(1); }, 1,
            std::string(40, '\xFF') },
        BadTest { "records_of_random_bytes",
            [] {
                std::string bytes(4 * TestRecordLength, '\0');
                std::uint32_t x = 2463534242u;
                for (char& b : bytes) {
                    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                    b = static_cast<char>(x);
                }
                return header("Noise", "1") + bytes;
            },
            4, "Noise", 1 }),
    [](const ::testing::TestParamInfo<BadTest>& info) { return std::string(info.param.label); });

TEST(BadTestFileOther, MoreRecordsThanACountCanHoldIsRefusedWithoutReadingThem)
{
    TempFolder folder;
    folder.write("huge.dsq", header("Huge", "0"));
    // A sparse file of 40 000 records: the count of a test is a 16-bit number.
    fs::resize_file(folder / "huge.dsq", 40000ull * TestRecordLength);
    FakePrompts prompts;
    QuietView view;
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    TestModel model(state, prompts, view);
    prompts.fileNames = { "huge.dsq" };
    model.openTest();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("huge.dsq"), std::string::npos) << prompts.messages[0].text;
    EXPECT_EQ(model.WorkingFile(), NewTestFileName);
    EXPECT_EQ(fs::file_size(folder / "huge.dsq"), 40000ull * TestRecordLength);
}

TEST(BadTestFileOther, AFolderNamedLikeATestIsNotOpenedNorListed)
{
    TempFolder folder;
    fs::create_directory(folder / "folder.dsq");
    FakePrompts prompts;
    QuietView view;
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    TestModel model(state, prompts, view);
    prompts.fileNames = { "folder.dsq", "folder.dsq" };
    model.openTest();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text.rfind("Illegal file name", 0), 0u);
    EXPECT_TRUE(model.updatefilelist().empty());
    // Saving over it is refused, and the folder stays.
    model.saveAs();
    EXPECT_EQ(prompts.messages.back().text, "The file name that you entered was illegal. The file was not saved.");
    EXPECT_TRUE(fs::is_directory(folder / "folder.dsq"));
}

// ---- MX.INI ----

struct BadSettings {
    const char* label;
    std::string bytes;
    std::int16_t textured; // TexturedBackground as read
};

std::ostream& operator<<(std::ostream& out, const BadSettings& c)
{
    return out << c.label;
}

class BadSettingsFile : public ::testing::TestWithParam<BadSettings> { };

TEST_P(BadSettingsFile, LoadsWhatIsThereAndStoresWithoutLosingTheRest)
{
    TempFolder folder;
    folder.write("MX.INI", GetParam().bytes);
    const Settings loaded = loadSettings(folder.path());
    EXPECT_EQ(loaded.TexturedBackground, GetParam().textured);
    Settings changed = loaded;
    changed.UseAbbreviations = -1;
    storeSettings(folder.path(), changed);
    const std::string after = folder.read("MX.INI");
    ASSERT_EQ(after.size(), std::max<std::size_t>(GetParam().bytes.size(), Settings::RecordLength));
    EXPECT_EQ(after.substr(0, Settings::RecordLength), changed.pack());
    if (GetParam().bytes.size() > Settings::RecordLength) {
        EXPECT_EQ(after.substr(Settings::RecordLength), GetParam().bytes.substr(Settings::RecordLength));
    }
}

Settings withTexture(std::int16_t value)
{
    Settings s;
    s.restoreDefaults();
    s.TexturedBackground = value;
    return s;
}

INSTANTIATE_TEST_SUITE_P(Files, BadSettingsFile,
    ::testing::Values(BadSettings { "empty", "", 0 }, BadSettings { "truncated_in_the_texts", std::string(70, 'a'), 0 },
        BadSettings { "truncated_inside_a_number", withTexture(0x0102).pack().substr(0, 129), 0x02 },
        BadSettings { "oversized", withTexture(1).pack() + std::string(100000, '\x7F'), 1 },
        BadSettings { "all_ones", std::string(140, '\xFF'), -1 }),
    [](const ::testing::TestParamInfo<BadSettings>& info) { return std::string(info.param.label); });

TEST(BadSettingsFileOther, AFolderNamedMxIniStopsStartUpNamingIt)
{
    TempFolder folder;
    fs::create_directory(folder / "MX.INI");
    folder.write("mxdbs1.idx", "\r\n");
    folder.write("mxdbs2.idx", "\r\n");
    folder.write("mxcat.idx", "0\r\n");
    EXPECT_THROW(loadSettings(folder.path()), FileError);
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    const auto problem = loadStartupFiles(state);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->fileName, "MX.INI");
    EXPECT_NE(problem->message.find("MX.INI"), std::string::npos) << problem->message;
    EXPECT_TRUE(fs::is_directory(folder / "MX.INI"));
}

} // namespace
} // namespace tb::testing
