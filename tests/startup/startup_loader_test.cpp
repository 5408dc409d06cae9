#include "core/startup/startup_loader.h"

#include "core/drugdb/drug_record.h"
#include "core/foundation/file_error.h"

#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tb {
namespace {

// A data folder with the three start-up files.
struct StartupFolder {
    StartupFolder()
    {
        folder.write("mxdbs1.idx", "3\r\n1,1\r\n2,2\r\n5,1\r\n");
        folder.write("mxdbs2.idx", "7\r\n3,1\r\n4,1\r\n6,2\r\n7,2\r\n8,1\r\n9,2\r\n10,1\r\n");
        folder.write("mxcat.idx", "2\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n");
    }
    headless::TempFolder folder;
    AppState state { std::make_unique<ScriptedRandom>(), folder.path() };
};

TEST(StartupFiles, FoundWhateverTheirLetterCaseAndTheCandidateListSized)
{
    StartupFolder s;
    std::filesystem::rename(s.folder / "mxdbs1.idx", s.folder / "Mxdbs1.idx");
    std::filesystem::rename(s.folder / "mxcat.idx", s.folder / "MXCAT.IDX");
    ASSERT_EQ(loadStartupFiles(s.state), std::nullopt);
    EXPECT_EQ(s.state.TabletIndex.record, (std::vector<std::int16_t> { 0, 1, 2, 5 }));
    EXPECT_EQ(s.state.CandidateRecords.size(), 8u); // indices 0 to 7
    EXPECT_EQ(s.folder.read("MX.INI"), ""); // no settings file: an empty one is left
}

struct BadFile {
    const char* name;
    const char* file;
    const char* text; // nullptr: missing
    int line;
};

class StartupFileProblem : public ::testing::TestWithParam<BadFile> { };

TEST_P(StartupFileProblem, IsNamedWithWhatToDoAndLeftAlone)
{
    const BadFile& c = GetParam();
    StartupFolder s;
    c.text ? s.folder.write(c.file, c.text) : (void)std::filesystem::remove(s.folder / c.file);
    const auto problem = loadStartupFiles(s.state);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->fileName, c.file);
    EXPECT_EQ(problem->line, c.line);
    EXPECT_NE(problem->message.find('"' + std::string(c.file) + '"'), std::string::npos) << problem->message;
    const char* words = c.text ? "good copy of the drug database files" : "Copy the drug database files";
    EXPECT_NE(problem->message.find(words), std::string::npos) << problem->message;
    EXPECT_EQ(s.state.TabletIndex.count, 0); // nothing half-loaded
    EXPECT_EQ(s.folder.read(c.file), c.text ? c.text : "");
}

INSTANTIATE_TEST_SUITE_P(Files, StartupFileProblem,
    ::testing::Values(BadFile { "TabletIndexMissing", "mxdbs1.idx", nullptr, 0 },
        BadFile { "FluidIndexBroken", "mxdbs2.idx", "2\r\n1,1\r\nbroken\r\n", 3 },
        BadFile { "CategoriesBroken", "mxcat.idx", "1\r\n\"A\",x\r\n", 2 }),
    [](const auto& info) { return std::string(info.param.name); });

// A rebuild stopped between its renames, by a copy that kept no journal: the index files of two
// rebuilds and a scratch file are left. Start-up rebuilds the three from the data file.
TEST(StartupFiles, ScratchFileOfAStoppedRebuildHasTheIndexFilesRedone)
{
    StartupFolder s;
    DrugRecord tablet;
    tablet.GenericName = "alpha";
    tablet.FormCode[0] = Tablet;
    tablet.Strength[0] = 10;
    tablet.DrugCategory = 2;
    DrugRecord fluid = tablet;
    fluid.FormCode[0] = Solution;
    fluid.Volume[0] = 5;
    s.folder.write("MXDBASE.FIL", fluid.pack() + tablet.pack());
    s.folder.write("mxdbs2.idx.new", "1\r\n1,");
    const std::string note = completeIndexRebuild(s.folder.path());
    EXPECT_TRUE(note.starts_with("Tutor Bench was stopped while it was rebuilding the drug index files (mxdbs1.idx, "
                                 "mxdbs2.idx and mxcat.idx)"))
        << note;
    EXPECT_NE(note.find("rebuilt from the drug data file MXDBASE.FIL"), std::string::npos) << note;
    EXPECT_EQ(s.folder.read("mxdbs1.idx"), "1\r\n2,2\r\n");
    EXPECT_EQ(s.folder.read("mxdbs2.idx"), "1\r\n1,2\r\n");
    EXPECT_EQ(s.folder.read("mxcat.idx"), "1\r\n\"Antibiotics         \",2\r\n");
    EXPECT_FALSE(std::filesystem::exists(s.folder / "mxdbs2.idx.new"));
    EXPECT_EQ(completeIndexRebuild(s.folder.path()), ""); // nothing left over: nothing done
    EXPECT_EQ(loadStartupFiles(s.state), std::nullopt);
}

} // namespace
} // namespace tb
