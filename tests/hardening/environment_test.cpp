// The program against a hostile environment: a folder it may not write, a data file it
// may only read, a disk that fills part way through a write, a scratch name taken by a
// folder, and file names with letters outside plain ASCII. Each gives a clear message
// naming the file and loses nothing.

#include "drugdb/drug_editor.h"
#include "drugdb/drug_file.h"
#include "hardening_support.h"
#include "startup/settings.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/quiet_view.h"
#include "testbuilder/test_model.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace tb::testing {
namespace {

namespace fs = std::filesystem;

std::string savedTest(int questions)
{
    TestHeader header;
    header.TestTitle = "Week 3";
    std::string bytes = header.pack();
    for (int k = 1; k <= questions; ++k)
        bytes += QuestionRecord { "Question " + std::to_string(k), "Solution " + std::to_string(k), std::to_string(k) }
                     .pack();
    return bytes;
}

std::vector<DrugRecord> threeDrugs()
{
    return { drug("alpha", Tablet, 10, 0, 1), drug("beta", Solution, 5, 5, 2), drug("gamma", Capsule, 20, 0, 1) };
}

CategoryTables twoCategories()
{
    CategoryTables c;
    c.CategoryCount = 2;
    c.CategoryName[1] = fitCategoryName("Analgesics");
    c.CategoryCode[1] = 1;
    c.CategoryName[2] = fitCategoryName("Antibiotics");
    c.CategoryCode[2] = 2;
    return c;
}

void writeDrugFolder(const TempFolder& folder)
{
    folder.write("MXDBASE.FIL", dataFile(threeDrugs()));
    folder.write("mxdbs1.idx", "1\r\n1,1\r\n");
    folder.write("mxdbs2.idx", "\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
}

struct Rig {
    explicit Rig(const fs::path& folder)
        : state(std::make_unique<ScriptedRandom>(), folder)
        , model(state, prompts, view)
    {
    }
    FakePrompts prompts;
    QuietView view;
    AppState state;
    TestModel model;
};

bool anyMessageNames(const FakePrompts& prompts, const std::string& name)
{
    for (const auto& m : prompts.messages)
        if (m.text.find(name) != std::string::npos)
            return true;
    return false;
}

// ---- a scratch name taken by a folder: no rewrite can start, whoever runs the tests ----

TEST(BlockedScratchName, CompactionRebuildAndQuestionDeleteReportAndKeepTheFiles)
{
    TempFolder folder;
    writeDrugFolder(folder);
    folder.write("quiz.dsq", savedTest(3));
    for (const char* name : { "MXDBASE.TMP", "mxdbs1.idx.new", "MXtmp.TMP" })
        fs::create_directory(folder / name);
    const FolderImage before = imageOf(folder.path());

    {
        DrugFile file(folder.path());
        try {
            file.deleteRecord(2);
            ADD_FAILURE() << "delete did not report";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("MXDBASE"), std::string::npos) << e.what();
        }
        EXPECT_EQ(file.RecordTotal(), 3);
        EXPECT_EQ(trimmedRight(file.read(3).GenericName), "gamma");
    }
    try {
        rebuildIndexes(folder.path(), twoCategories());
        ADD_FAILURE() << "rebuild did not report";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("mxdbs1.idx"), std::string::npos) << e.what();
    }
    {
        Rig rig(folder.path());
        rig.prompts.fileNames.push_back("quiz.dsq");
        rig.model.openTest();
        rig.model.deleteQuestion();
        EXPECT_TRUE(anyMessageNames(rig.prompts, "quiz.dsq"));
        EXPECT_EQ(rig.model.QuestionCount(), 3);
        rig.model.closeTest();
    }
    EXPECT_EQ(imageOf(folder.path()), before);
}

TEST(BlockedScratchName, DrugEditorReportsAFailedDeleteAndRebuildAndKeepsTheData)
{
    TempFolder folder;
    writeDrugFolder(folder);
    for (const char* name : { "MXDBASE.TMP", "mxdbs1.idx.new" })
        fs::create_directory(folder / name);
    const FolderImage before = imageOf(folder.path());
    FakePrompts prompts;
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    DrugEditor editor(state, prompts);
    ASSERT_TRUE(editor.Form_Load());
    editor.Command1_Click(2);
    editor.Delete_Click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("MXDBASE"), std::string::npos) << prompts.messages[0].text;
    EXPECT_EQ(editor.RecordTotal, 3);
    EXPECT_EQ(trimmedRight(editor.screen.Text1), "alpha");
    // Closing: the rebuild cannot write, says so, and the window still closes.
    EXPECT_TRUE(editor.Form_Unload());
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_NE(prompts.messages[1].text.find("mxdbs1.idx"), std::string::npos) << prompts.messages[1].text;
    EXPECT_EQ(imageOf(folder.path()), before);
}

// ---- a folder without write permission (has no effect when the tests run as root) ----

class UnwritableFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!permissionsAreEnforced())
            GTEST_SKIP() << "running as root: permission bits do not stop writes";
    }
};

TEST_F(UnwritableFolder, EveryWriterReportsAndNothingChanges)
{
    TempFolder folder;
    writeDrugFolder(folder);
    folder.write("quiz.dsq", savedTest(3));
    const FolderImage before = imageOf(folder.path());
    ReadOnlyFolder readOnly(folder.path());

    EXPECT_THROW(storeSettings(folder.path(), Settings {}), FileError);
    EXPECT_THROW(rebuildIndexes(folder.path(), twoCategories()), FileError);
    {
        DrugFile file(folder.path());
        EXPECT_THROW(file.deleteRecord(1), FileError);
        EXPECT_EQ(file.RecordTotal(), 3);
    }
    {
        // The new test cannot even get its test.tmp: the window says so and goes on.
        Rig rig(folder.path());
        EXPECT_TRUE(anyMessageNames(rig.prompts, "test.tmp"));
        rig.prompts.fileNames = { "quiz.dsq", "copy.dsq", "quiz.txt" };
        rig.model.openTest();
        EXPECT_EQ(rig.model.QuestionCount(), 3);
        rig.model.deleteQuestion();
        EXPECT_EQ(rig.model.QuestionCount(), 3);
        rig.model.saveAs();
        rig.model.saveAs();
        EXPECT_TRUE(anyMessageNames(rig.prompts, "copy.dsq"));
        EXPECT_TRUE(anyMessageNames(rig.prompts, "quiz.txt"));
    }
    EXPECT_EQ(imageOf(folder.path()), before);
}

TEST_F(UnwritableFolder, ReadOnlyDataFileIsReportedWhenOpenedForEditing)
{
    TempFolder folder;
    writeDrugFolder(folder);
    ::chmod((folder / "MXDBASE.FIL").c_str(), 0444);
    try {
        DrugFile file(folder.path());
        ADD_FAILURE() << "a read-only data file was opened for writing";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("MXDBASE.FIL"), std::string::npos) << e.what();
    }
    // Question generation only reads it.
    EXPECT_EQ(trimmedRight(readDrugRecord(folder.path(), 2).GenericName), "beta");
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    EXPECT_FALSE(loadStartupFiles(state).has_value());
    ::chmod((folder / "MXDBASE.FIL").c_str(), 0644);
}

TEST_F(UnwritableFolder, ReadOnlySettingsFileStillLoads)
{
    TempFolder folder;
    Settings s;
    s.restoreDefaults();
    s.UseAbbreviations = -1;
    folder.write("MX.INI", s.pack());
    ::chmod((folder / "MX.INI").c_str(), 0444);
    EXPECT_EQ(loadSettings(folder.path()).UseAbbreviations, -1);
    EXPECT_THROW(storeSettings(folder.path(), Settings {}), FileError);
    EXPECT_EQ(folder.read("MX.INI"), s.pack());
    ::chmod((folder / "MX.INI").c_str(), 0644);
}

// ---- a disk that fills part way through a write (a file-size limit makes writes past it fail) ----

class FullDisk : public ::testing::Test {
protected:
    void limitFileSize(rlim_t bytes)
    {
        if (!limited_) {
            ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved_), 0);
            previousHandler_ = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        }
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        limited_ = true;
    }
    void unlimit()
    {
        if (limited_) {
            ::setrlimit(RLIMIT_FSIZE, &saved_);
            std::signal(SIGXFSZ, previousHandler_);
            limited_ = false;
        }
    }
    void TearDown() override { unlimit(); }
    rlimit saved_ {};
    void (*previousHandler_)(int) = nullptr;
    bool limited_ = false;
};

TEST_F(FullDisk, SaveAsPartWayLeavesNoHalfCopyAndTheTestWhole)
{
    TempFolder folder;
    folder.write("quiz.dsq", savedTest(5));
    folder.write("old.dsq", savedTest(1));
    Rig rig(folder.path());
    rig.prompts.fileNames = { "quiz.dsq", "old.dsq" };
    rig.prompts.yesNoAnswers = { true };
    rig.model.openTest();
    rig.model.backTen(); // the shown question is stored below the limit; the copy reaches past it
    limitFileSize(3 * TestRecordLength + 100);
    rig.model.saveAs();
    ASSERT_FALSE(rig.prompts.messages.empty());
    EXPECT_NE(rig.prompts.messages.back().text.find("old.dsq"), std::string::npos) << rig.prompts.messages.back().text;
    EXPECT_EQ(folder.read("old.dsq"), savedTest(1));
    EXPECT_EQ(folder.read("quiz.dsq"), savedTest(5));
    EXPECT_EQ(rig.model.WorkingFile(), "quiz.dsq");
    rig.model.closeTest();
    EXPECT_EQ(imageOf(folder.path()).size(), 2u) << "a scratch file was left behind";
}

TEST_F(FullDisk, ExportPartWayKeepsTheEarlierExport)
{
    TempFolder folder;
    folder.write("quiz.dsq", savedTest(5));
    folder.write("quiz.txt", "the earlier export\r\n");
    Rig rig(folder.path());
    rig.prompts.fileNames = { "quiz.dsq", "quiz.txt" };
    rig.prompts.yesNoAnswers = { true };
    rig.model.openTest();
    limitFileSize(3000);
    rig.model.saveAs();
    ASSERT_FALSE(rig.prompts.messages.empty());
    EXPECT_NE(
        rig.prompts.messages.back().text.find("The file name that you entered was illegal. The file was not saved."),
        std::string::npos);
    EXPECT_NE(rig.prompts.messages.back().text.find("quiz.txt"), std::string::npos);
    EXPECT_EQ(folder.read("quiz.txt"), "the earlier export\r\n");
}

TEST_F(FullDisk, RebuildAndCompactionPartWayKeepEveryFile)
{
    TempFolder folder;
    std::vector<DrugRecord> many;
    for (int k = 1; k <= 40; ++k)
        many.push_back(drug("drug " + std::to_string(k), k % 2 ? Tablet : Solution, 10, 5, 1 + k % 2));
    folder.write("MXDBASE.FIL", dataFile(many));
    folder.write("mxdbs1.idx", "1\r\n1,1\r\n");
    folder.write("mxdbs2.idx", "\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
    const FolderImage before = imageOf(folder.path());

    DrugFile file(folder.path());
    limitFileSize(20 * DrugRecord::RecordLength); // the data file itself is larger: it is only read
    EXPECT_THROW(file.deleteRecord(1), FileError);
    EXPECT_EQ(file.RecordTotal(), 40);
    file.close();
    limitFileSize(60); // the index files need more than this
    EXPECT_THROW(rebuildIndexes(folder.path(), twoCategories()), FileError);
    EXPECT_EQ(imageOf(folder.path()), before);
}

TEST_F(FullDisk, StoringTheShownQuestionPartWayNeverShowsAHalfRecordAsAQuestion)
{
    TempFolder folder;
    folder.write("quiz.dsq", savedTest(2));
    {
        Rig rig(folder.path());
        rig.prompts.fileNames = { "quiz.dsq" };
        rig.model.openTest();
        limitFileSize(3 * TestRecordLength + 500);
        rig.model.forward(); // a new blank question 3 cannot be stored whole
        ASSERT_FALSE(rig.prompts.messages.empty());
        EXPECT_NE(rig.prompts.messages.back().text.find("quiz.dsq"), std::string::npos);
        unlimit();
    }
    // No part of record 4 stays behind, and the file reopens with its two whole questions.
    EXPECT_EQ(fs::file_size(folder / "quiz.dsq"), 3 * TestRecordLength);
    Rig reopen(folder.path());
    reopen.prompts.fileNames = { "quiz.dsq" };
    reopen.model.openTest();
    EXPECT_EQ(reopen.model.QuestionCount(), 2);
    EXPECT_EQ(folder.read("quiz.dsq").substr(0, 3 * TestRecordLength), savedTest(2));
}

TEST_F(FullDisk, ANewDrugRecordWrittenPartWayLeavesNoHalfRecord)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(threeDrugs()));
    DrugFile file(folder.path());
    limitFileSize(3 * DrugRecord::RecordLength + 200); // 200 bytes would round up to a fourth record
    EXPECT_THROW(file.write(4, drug("delta", Tablet, 5, 0, 1)), FileError);
    unlimit();
    EXPECT_EQ(file.RecordTotal(), 3);
    file.close();
    EXPECT_EQ(folder.read("MXDBASE.FIL"), dataFile(threeDrugs()));
}

// ---- file names beyond plain ASCII ----

// The dialogs give names as Windows-1252 text; on disk the name is the system's own (UTF-8).
TEST(FileNames, WesternLettersReachTheFileOnDiskAndBack)
{
    TempFolder folder;
    const std::string native = "\xC3\x9C"
                               "bung.dsq"; // "Übung.dsq" as the file system spells it
    const std::string program = "\xDC"
                                "bung.dsq"; // the same name as Windows-1252 text
    folder.write(native, savedTest(2));
    Rig rig(folder.path());
    rig.prompts.fileNames = { program, "\xC9t\xE9.dsq" }; // then save as "Été.dsq"
    rig.model.openTest();
    EXPECT_TRUE(rig.prompts.messages.empty()) << rig.prompts.messages.front().text;
    EXPECT_EQ(rig.model.QuestionCount(), 2);
    rig.model.saveAs();
    EXPECT_TRUE(fs::exists(folder / "\xC3\x89t\xC3\xA9.dsq"));
    // The list of tests shows the names as the program's text, and opens them.
    const auto& list = rig.model.updatefilelist();
    ASSERT_EQ(list, (std::vector<std::string> { "\xC9t\xE9.dsq", program }));
    rig.model.openListedTest(2);
    EXPECT_EQ(rig.model.WorkingFile(), program);
    EXPECT_EQ(rig.model.QuestionCount(), 2);
}

TEST(FileNames, LettersWindows1252LacksAreRefusedAndNothingIsWritten)
{
    TempFolder folder;
    folder.write("quiz.dsq", savedTest(2));
    // A chosen name such as "тест.dsq" reaches the program as "????.dsq".
    Rig rig(folder.path());
    rig.prompts.fileNames = { "quiz.dsq", "????.dsq", "C:\\*.txt" };
    rig.model.openTest();
    rig.model.saveAs();
    ASSERT_FALSE(rig.prompts.messages.empty());
    EXPECT_EQ(rig.prompts.messages.back().text, "The file name that you entered was illegal. The file was not saved.");
    rig.model.saveAs();
    EXPECT_EQ(rig.prompts.messages.back().text, "The file name that you entered was illegal. The file was not saved.");
    EXPECT_EQ(rig.model.WorkingFile(), "quiz.dsq");
    rig.model.closeTest();
    EXPECT_EQ(imageOf(folder.path()).size(), 1u);
    // A file whose name Windows-1252 cannot spell is left out of the list rather than shown wrongly.
    folder.write("\xD1\x82\xD0\xB5\xD1\x81\xD1\x82.dsq", savedTest(1));
    EXPECT_EQ(rig.model.updatefilelist(), std::vector<std::string> { "quiz.dsq" });
}

} // namespace
} // namespace tb::testing
