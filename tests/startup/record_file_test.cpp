#include "startup/record_file.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

namespace fs = std::filesystem;

struct ReadRow {
    const char* name;
    long long record;
    bool present;
    std::string bytes;
};

class RecordFileRead : public ::testing::TestWithParam<ReadRow> { };

// Two whole records of 4 bytes and half of a third.
TEST_P(RecordFileRead, GivesTheRecordPaddedWithZeros)
{
    testing::TempFolder folder;
    folder.write("data.fil", "AAAABBBBCC");
    RecordFile file(folder / "data.fil", 4, RecordFile::Mode::Read);
    std::string record = "junk";
    EXPECT_EQ(file.read(GetParam().record, record), GetParam().present);
    EXPECT_EQ(record, GetParam().bytes);
    EXPECT_EQ(file.recordCount(), 3); // the partial record counts
    EXPECT_THROW(file.read(0, record), FileError);
}

INSTANTIATE_TEST_SUITE_P(Records, RecordFileRead,
    ::testing::Values(ReadRow { "First", 1, true, "AAAA" }, ReadRow { "Whole", 2, true, "BBBB" },
        ReadRow { "ShortLast", 3, true, std::string("CC\0\0", 4) },
        ReadRow { "FarPastTheEnd", 1000000, false, std::string(4, '\0') }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordFile, WriteAfterReadAndReadAfterWriteSeeEachOther)
{
    testing::TempFolder folder;
    folder.write("data.fil", "AAAABBBB");
    RecordFile file(folder / "data.fil", 4);
    std::string record;
    file.read(1, record);
    file.write(2, "XY");
    file.read(2, record);
    EXPECT_EQ(record, "XY  ");
    file.write(3, "ZZZZ");
    file.read(1, record);
    EXPECT_EQ(record, "AAAA");
    file.close();
    EXPECT_EQ(folder.read("data.fil"), "AAAAXY  ZZZZ");
}

// Throws at one chosen step of a whole-file rewrite, as a full disk or a crash would.
struct FailAt final : FaultHook {
    RewriteStep step {};
    void at(RewriteStep now, const fs::path&) override
    {
        if (now == step)
            throw FileError("", "injected failure");
    }
};

struct StepRow {
    const char* name;
    RewriteStep step;
    bool replaced;
};

class ScratchFileFault : public ::testing::TestWithParam<StepRow> { };

TEST_P(ScratchFileFault, LeavesOneWholeFileAndNoScratchFile)
{
    const std::string before = "old contents\r\n";
    const std::string after = "new contents, longer than before\r\n";
    testing::TempFolder folder;
    folder.write("mxcat.idx", before);
    FailAt hook;
    hook.step = GetParam().step;
    EXPECT_THROW(writeFileAtomically(folder / "mxcat.idx", after, &hook), FileError);
    EXPECT_EQ(folder.read("mxcat.idx"), GetParam().replaced ? after : before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Steps, ScratchFileFault,
    ::testing::Values(StepRow { "Written", RewriteStep::ScratchWritten, false },
        StepRow { "BeforeRename", RewriteStep::BeforeRename, false },
        StepRow { "Renamed", RewriteStep::Renamed, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScratchFile, ALeftOverScratchFileDoesNotStopTheNextRewrite)
{
    testing::TempFolder folder;
    folder.write("mxcat.idx", "0\r\n");
    folder.write("mxcat.idx.new", "left over");
    writeFileAtomically(folder / "mxcat.idx", "1\r\n");
    EXPECT_EQ(folder.read("mxcat.idx"), "1\r\n");
    EXPECT_FALSE(fs::exists(folder / "mxcat.idx.new"));
}

} // namespace
} // namespace tb
