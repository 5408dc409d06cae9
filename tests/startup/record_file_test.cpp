#include "startup/record_file.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tb {
namespace {

namespace fs = std::filesystem;

TEST(RecordFileAccess, ReadsWholeShortAndMissingRecords)
{
    testing::TempFolder folder;
    folder.write("data.fil", "AAAABBBBCC"); // two whole records of 4 and half of a third
    RecordFile file(folder / "data.fil", 4, RecordFile::Mode::Read);
    EXPECT_EQ(file.byteSize(), 10u);
    EXPECT_EQ(file.recordCount(), 3);
    std::string record;
    EXPECT_TRUE(file.read(2, record));
    EXPECT_EQ(record, "BBBB");
    EXPECT_TRUE(file.read(3, record));
    EXPECT_EQ(record, std::string("CC\0\0", 4));
    EXPECT_FALSE(file.read(4, record));
    EXPECT_EQ(record, std::string(4, '\0'));
    EXPECT_FALSE(file.read(1000000, record));
    EXPECT_THROW(file.read(0, record), FileError);
    EXPECT_THROW(file.read(-1, record), FileError);
    EXPECT_THROW(file.read(std::numeric_limits<long long>::max(), record), FileError);
}

TEST(RecordFileAccess, WritesPadCutAndGrowTheFile)
{
    testing::TempFolder folder;
    {
        RecordFile file(folder / "new.fil", 5);
        file.write(2, "ab");
        file.write(1, "123456789");
        file.sync();
        EXPECT_EQ(file.recordCount(), 2);
        file.close();
        file.close(); // a second close does nothing
    }
    EXPECT_EQ(folder.read("new.fil"), "12345ab   ");
    RecordFile again(folder / "new.fil", 5);
    again.write(4, "z", '\0');
    std::string record;
    EXPECT_TRUE(again.read(3, record)); // the gap reads as zeros
    EXPECT_EQ(record, std::string(5, '\0'));
    EXPECT_EQ(folder.read("new.fil").size(), 20u);
}

TEST(RecordFileAccess, MissingFileForReadingNamesIt)
{
    testing::TempFolder folder;
    try {
        RecordFile file(folder / "MXDBASE.FIL", 240, RecordFile::Mode::Read);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("\"MXDBASE.FIL\""), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(folder / "MXDBASE.FIL"));
    EXPECT_THROW(readWholeFile(folder / "MXDBASE.FIL"), FileError);
    EXPECT_THROW(readWholeFile(folder.path()), FileError); // a folder is not a file
}

TEST(RecordFileAccess, WholeFileReadKeepsEveryByte)
{
    testing::TempFolder folder;
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    folder.write("big.bin", bytes);
    EXPECT_EQ(readWholeFile(folder / "big.bin"), bytes);
    folder.write("empty.bin", "");
    EXPECT_EQ(readWholeFile(folder / "empty.bin"), "");
}

// Throws at one chosen step of a whole-file rewrite, as a full disk or a crash would.
class FailAt final : public FaultHook {
public:
    explicit FailAt(RewriteStep step)
        : step_(step)
    {
    }
    void at(RewriteStep step, const fs::path&) override
    {
        if (step == step_)
            throw FileError("", "injected failure");
    }

private:
    RewriteStep step_;
};

class RewriteFault : public ::testing::TestWithParam<RewriteStep> { };

TEST_P(RewriteFault, LeavesOneWholeFileAndNoScratchFile)
{
    testing::TempFolder folder;
    const std::string before = "old contents\r\n";
    const std::string after = "new contents, longer than before\r\n";
    folder.write("mxcat.idx", before);
    FailAt hook(GetParam());
    EXPECT_THROW(writeFileAtomically(folder / "mxcat.idx", after, &hook), FileError);
    // Up to the rename the old file is whole; after it, the new one is.
    EXPECT_EQ(folder.read("mxcat.idx"), GetParam() == RewriteStep::Renamed ? after : before);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "mxcat.idx");
    }
    EXPECT_EQ(files, 1);
}

INSTANTIATE_TEST_SUITE_P(Steps, RewriteFault,
    ::testing::Values(RewriteStep::ScratchOpened, RewriteStep::ScratchWritten, RewriteStep::ScratchSynced,
        RewriteStep::BeforeRename, RewriteStep::Renamed));

TEST(ScratchRewrite, ReplacesTheFileAndClearsAStaleScratch)
{
    testing::TempFolder folder;
    folder.write("mxdbs1.idx", "0\r\n");
    folder.write("mxdbs1.idx.new", "left over from an interrupted run");
    writeFileAtomically(folder / "mxdbs1.idx", "1\r\n4,2\r\n");
    EXPECT_EQ(folder.read("mxdbs1.idx"), "1\r\n4,2\r\n");
    EXPECT_FALSE(fs::exists(folder / "mxdbs1.idx.new"));
}

TEST(ScratchRewrite, AbandonedScratchIsRemovedAndTargetUntouched)
{
    testing::TempFolder folder;
    folder.write("MXDBASE.FIL", "records");
    {
        ScratchFile scratch(folder / "MXDBASE.FIL", nullptr, folder / "MXDBASE.TMP");
        scratch.append("half written");
        EXPECT_TRUE(fs::exists(folder / "MXDBASE.TMP"));
    }
    EXPECT_FALSE(fs::exists(folder / "MXDBASE.TMP"));
    EXPECT_EQ(folder.read("MXDBASE.FIL"), "records");
}

TEST(ScratchRewrite, UnwritableFolderNamesTheTarget)
{
    testing::TempFolder folder;
    try {
        writeFileAtomically(folder / "no such folder" / "mxcat.idx", "x");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("\"mxcat.idx\""), std::string::npos) << e.what();
    }
}

TEST(FindFile, MatchesAnyLetterCaseAndPrefersTheExactName)
{
    testing::TempFolder folder;
    EXPECT_EQ(findFile(folder.path(), "mxdbs1.idx"), folder / "mxdbs1.idx"); // none: the documented name
    folder.write("Mxdbs1.idx", "");
    EXPECT_EQ(findFile(folder.path(), "mxdbs1.idx"), folder / "Mxdbs1.idx");
    folder.write("mxdbs1.idx", "");
    EXPECT_EQ(findFile(folder.path(), "mxdbs1.idx"), folder / "mxdbs1.idx");
    folder.write("mxdbase.fil", "");
    EXPECT_EQ(findFile(folder.path(), "MXDBASE.FIL"), folder / "mxdbase.fil");
    EXPECT_EQ(findFile(folder / "missing folder", "MX.INI"), folder / "missing folder" / "MX.INI");
    EXPECT_TRUE(sameNameIgnoringCase("MX.INI", "mx.ini"));
    EXPECT_FALSE(sameNameIgnoringCase("MX.INI", "MX.IN"));
    EXPECT_FALSE(sameNameIgnoringCase("mx\xC9.ini", "mx\xE9.ini")); // only ASCII letters fold
}

} // namespace
} // namespace tb
