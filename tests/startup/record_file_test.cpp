#include "startup/record_file.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

// Two whole records of 4 bytes and half of a third.
TEST(RecordFile, ReadsRecordsPaddedWithZerosAndSeesItsOwnWrites)
{
    testing::TempFolder folder;
    folder.write("data.fil", "AAAABBBBCC");
    RecordFile file(folder / "data.fil", 4);
    std::string record = "junk";
    EXPECT_EQ(file.recordCount(), 3); // the partial record counts
    EXPECT_TRUE(file.read(3, record));
    EXPECT_EQ(record, std::string("CC\0\0", 4));
    EXPECT_FALSE(file.read(1000000, record));
    EXPECT_EQ(record, std::string(4, '\0'));
    EXPECT_THROW(file.read(0, record), FileError);
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
