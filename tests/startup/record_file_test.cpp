#include "startup/record_file.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

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
    file.close();
    EXPECT_EQ(folder.read("data.fil"), "AAAAXY  ZZZZ");
}

} // namespace
} // namespace tb
