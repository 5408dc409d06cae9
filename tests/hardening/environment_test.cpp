// The program against a hostile environment: a folder it may not write, a disk that fills
// part way through a write, and file names with letters outside plain ASCII. Each gives a
// message naming the file and loses nothing.

#include "hardening_support.h"
#include "startup/settings.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tb::testing {
namespace {

const std::string Illegal = "The file name that you entered was illegal. The file was not saved.";

// Permission bits do not stop root, so this runs only for an ordinary user.
TEST(UnwritableFolder, EveryWriterReportsAndNothingChanges)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: permission bits do not stop writes";
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ drug("alpha", Tablet, 10, 0, 1), drug("beta", Solution, 5, 5, 1) }));
    writeIndexes(folder, "1\r\n1,1\r\n"); // lists no fluid: the rebuild must write
    folder.write("quiz.dsq", savedTest(3));
    folder.write("MX.INI", Settings {}.pack());
    ::chmod((folder / "MX.INI").c_str(), 0444);
    const FolderImage before = imageOf(folder.path());
    ::chmod(folder.path().c_str(), 0555);
    try {
        DrugFile file(folder.path());
        EXPECT_THROW(file.deleteRecord(1), FileError);
    } catch (const FileError& e) { // or it cannot even be opened for writing
        EXPECT_NE(std::string(e.what()).find("MXDBASE.FIL"), std::string::npos) << e.what();
    }
    EXPECT_THROW(storeSettings(folder.path(), Settings {}), FileError);
    EXPECT_THROW(rebuildIndexes(folder.path(), parseCategoryFile(OneCategory, "mxcat.idx")), FileError);
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    EXPECT_FALSE(loadStartupFiles(state).has_value()); // reading is enough to start
    {
        Rig rig(folder.path(), { "quiz.dsq", "copy.dsq", "quiz.txt" });
        EXPECT_NE(rig.lastMessage().find("test.tmp"), std::string::npos); // the new test has nowhere to go
        rig.model.openTest();
        rig.model.deleteQuestion();
        EXPECT_EQ(rig.model.QuestionCount(), 3);
        for (const char* target : { "copy.dsq", "quiz.txt" }) {
            rig.model.saveAs();
            EXPECT_NE(rig.lastMessage().find(target), std::string::npos) << rig.lastMessage();
        }
    }
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(imageOf(folder.path()), before);
}

// Writes past a file-size limit fail (EFBIG), as on a disk that fills part way.
struct FileSizeLimit {
    FileSizeLimit() { previous = std::signal(SIGXFSZ, SIG_IGN), ::getrlimit(RLIMIT_FSIZE, &saved); }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, previous); }
    void set(rlim_t bytes)
    {
        rlimit limit { bytes, saved.rlim_max };
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    rlimit saved {};
    void (*previous)(int);
};

TEST(FullDisk, EveryWriterStoppedPartWayLeavesEveryFileWhole)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile(std::vector<DrugRecord>(40, drug("alpha", Tablet, 10, 0, 1))));
    writeIndexes(folder, "1\r\n1,1\r\n");
    folder.write("quiz.dsq", savedTest(5));
    folder.write("old.dsq", savedTest(1));
    folder.write("quiz.txt", "the earlier export\r\n");
    const FolderImage before = imageOf(folder.path());
    FileSizeLimit limit;
    {
        DrugFile file(folder.path());
        limit.set(20 * DrugRecord::RecordLength); // the data file is larger: it is only read
        EXPECT_THROW(file.deleteRecord(1), FileError);
        limit.set(40 * DrugRecord::RecordLength + 200); // 200 bytes would round up to one more record
        EXPECT_THROW(file.write(41, drug("delta", Tablet, 5, 0, 1)), FileError);
        EXPECT_EQ(file.RecordTotal(), 40);
        limit.set(60); // the index files need more than this
        EXPECT_THROW(rebuildIndexes(folder.path(), parseCategoryFile(OneCategory, "mxcat.idx")), FileError);
    }
    limit.set(RLIM_INFINITY);
    Rig rig(folder.path(), { "quiz.dsq", "old.dsq", "quiz.txt" });
    rig.prompts.yesNoAnswers = { true, true };
    rig.model.openTest();
    rig.model.backTen(); // the shown question is stored below the limit; a copy reaches past it
    limit.set(3 * TestRecordLength + 100);
    for (const char* target : { "old.dsq", "quiz.txt" }) {
        rig.model.saveAs();
        EXPECT_NE(rig.lastMessage().find(target), std::string::npos) << rig.lastMessage();
    }
    EXPECT_NE(rig.lastMessage().find(Illegal), std::string::npos);
    EXPECT_EQ(rig.model.WorkingFile(), "quiz.dsq");
    rig.model.forwardTen();
    limit.set(6 * TestRecordLength + 500);
    rig.model.forward(); // a new blank question 6 cannot be stored whole
    EXPECT_NE(rig.lastMessage().find("quiz.dsq"), std::string::npos) << rig.lastMessage();
    limit.set(RLIM_INFINITY);
    rig.model.closeTest();
    EXPECT_EQ(imageOf(folder.path()), before);
}

// The dialogs give names as Windows-1252 text; on disk the name is the system's own (UTF-8).
TEST(FileNames, WesternLettersWorkAndLettersWindows1252LacksAreRefused)
{
    TempFolder folder;
    const std::string uebung = "\xDC"
                               "bung.dsq";
    folder.write("\xC3\x9C"
                 "bung.dsq",
        savedTest(2)); // "Übung.dsq" as the file system spells it
    // "????.dsq" is how a name such as "тест.dsq" reaches the program.
    Rig rig(folder.path(), { uebung, "????.dsq", "C:\\*.txt", "\xC9t\xE9.dsq" });
    rig.model.openTest();
    EXPECT_EQ(rig.lastMessage(), "");
    EXPECT_EQ(rig.model.QuestionCount(), 2);
    for (int k = 0; k < 2; ++k) {
        rig.model.saveAs();
        EXPECT_EQ(rig.lastMessage(), Illegal);
    }
    EXPECT_EQ(imageOf(folder.path()).size(), 2u); // the test and the new test's test.tmp
    rig.model.saveAs(); // as "Été.dsq"
    EXPECT_EQ(folder.read("\xC3\x89t\xC3\xA9.dsq"),
        folder.read("\xC3\x9C"
                    "bung.dsq"));
    // A name Windows-1252 cannot spell is left out of the list rather than shown wrongly.
    folder.write("\xD1\x82\xD0\xB5\xD1\x81\xD1\x82.dsq", savedTest(1));
    ASSERT_EQ(rig.model.updatefilelist(), (std::vector<std::string> { "\xC9t\xE9.dsq", uebung }));
    rig.model.openListedTest(2);
    EXPECT_EQ(rig.model.WorkingFile(), uebung);
}

} // namespace
} // namespace tb::testing
