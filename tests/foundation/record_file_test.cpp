#include "core/foundation/record_file.h"

#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tb {
namespace {

// Two whole records of 4 bytes and half of a third.
TEST(RecordFile, ReadsRecordsPaddedWithZerosAndSeesItsOwnWrites)
{
    headless::TempFolder folder;
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

namespace tb {
namespace {

namespace fs = std::filesystem;

// Plants another file at the scratch name just before the rename.
struct Planter final : FaultHook {
    void at(RewriteStep, const fs::path&) override { }
    void atScratch(RewriteStep step, const fs::path&, const fs::path& scratch) override
    {
        if (step != RewriteStep::BeforeRename)
            return;
        if (reuseName) {
            fs::remove(scratch); // the same name again, likely on the freed inode number
            std::ofstream(scratch, std::ios::binary) << "planted";
        } else {
            std::ofstream(scratch.string() + ".other", std::ios::binary) << "planted";
            fs::rename(scratch.string() + ".other", scratch);
        }
    }
    bool reuseName = false;
};

TEST(ScratchFile, RenamesOnlyTheFileItWroteItself)
{
    for (const bool reuseName : { false, true }) {
        SCOPED_TRACE(reuseName ? "removed and created again" : "renamed over");
        headless::TempFolder folder;
        folder.write("quiz.dsq", "old");
        Planter planter;
        planter.reuseName = reuseName;
        EXPECT_THROW(writeFileAtomically(folder / "quiz.dsq", "new", &planter), FileError);
        EXPECT_EQ(folder.read("quiz.dsq"), "old");
    }
}

TEST(ScratchFile, NameOf255BytesGetsAShortScratchName)
{
    headless::TempFolder folder;
    const std::string name = std::string(251, 'w') + ".dsq";
    writeFileAtomically(folder / name, "new");
    EXPECT_EQ(folder.read(name), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// A whole-file rewrite of a link replaces the file it leads to, in that file's folder.
TEST(ScratchFile, RewritesThroughALinkAndKeepsTheLink)
{
    headless::TempFolder local;
    headless::TempFolder shared;
    shared.write("MXDBASE.FIL", "old");
    fs::create_symlink(shared / "MXDBASE.FIL", local / "MXDBASE.FIL");
    ScratchFile scratch(local / "MXDBASE.FIL", nullptr, local / "MXDBASE.TMP");
    EXPECT_EQ(scratch.scratchPath(), shared / "MXDBASE.TMP");
    scratch.append("new");
    scratch.commit();
    EXPECT_TRUE(fs::is_symlink(local / "MXDBASE.FIL"));
    EXPECT_EQ(shared.read("MXDBASE.FIL"), "new");
    EXPECT_FALSE(fs::exists(shared / "MXDBASE.TMP"));
}

TEST(RecordFile, LinkToAMissingFileIsNamedAndLeftAlone)
{
    headless::TempFolder folder;
    const fs::path gone = folder / "drive" / "MX.INI";
    fs::create_symlink(gone, folder / "MX.INI");
    const std::string expected = "The file \"MX.INI\" is a link to a file that does not exist: " + gone.string() + ".";
    for (int reader = 0; reader < 3; ++reader) {
        try {
            if (reader == 0)
                RecordFile(folder / "MX.INI", 4);
            else if (reader == 1)
                readWholeFile(folder / "MX.INI");
            else
                writeFileAtomically(folder / "MX.INI", "x");
            ADD_FAILURE() << "reader " << reader << " opened a link to nowhere";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << e.what();
        }
        EXPECT_TRUE(fs::is_symlink(folder / "MX.INI"));
        EXPECT_FALSE(fs::exists(gone));
    }
}

// A record that lengthens the file and fails half written is cut off again.
TEST(RecordFile, HalfWrittenNewRecordIsCutBack)
{
    struct FailHalfWay final : FaultHook {
        void at(RewriteStep step, const fs::path& target) override
        {
            if (step == RewriteStep::RecordWritten)
                throw FileError(target.string(), "disk full");
        }
    } hook;
    headless::TempFolder folder;
    folder.write("data.fil", "AAAABBBB");
    RecordFile file(folder / "data.fil", 4, RecordFile::Mode::ReadWrite, &hook);
    EXPECT_THROW(file.write(3, "CCCC"), FileError);
    file.close();
    EXPECT_EQ(folder.read("data.fil"), "AAAABBBB");
}

} // namespace
} // namespace tb
