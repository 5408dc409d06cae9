#include "startup/startup_loader.h"

#include "startup/file_error.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

namespace tb {
namespace {

// The fixed tables entry by entry: one wrong letter shows in every question.
TEST(UnitTables, HoldTheirFixedContents)
{
    const UnitTables t = makeUnitTables();
    EXPECT_EQ(t.PrefixName,
        (std::array<std::string, 9> { "", "kilo", "hecto", "deka", "", "deci", "centi", "milli", "micro" }));
    EXPECT_EQ(t.PrefixSymbol, (std::array<std::string, 9> { "", "k", "h", "da", "", "d", "c", "m", "\xB5" }));
    EXPECT_EQ(t.PrefixFactor, (std::array<double, 9> { 0, 1000, 100, 10, 1, 0.1, 0.01, 0.001, 0.000001 }));
    EXPECT_EQ(t.MeasureName, (std::array<std::string, 4> { "", "Volume", "Mass", "Length" }));
    EXPECT_EQ(t.BaseUnitSymbol, (std::array<std::string, 4> { "", "L", "g", "m" }));
    EXPECT_EQ(t.BaseUnitName, (std::array<std::string, 4> { "", "litre", "gram", "metre" }));
    EXPECT_EQ(t.FormName,
        (std::array<std::string, 11> { "tablet", "capsule", "solution", "suspension", "Syrup", "emulsion",
            "liquid forte ", "elixir", "liquid for IM Injection", "liquid for SC Injection",
            "liquid for IV Injection" }));
    EXPECT_EQ(t.RouteText,
        (std::array<std::string, 11> { "", "", "orally", "orally", "orally", "orally", "orally", "orally",
            "by intramuscular injection", "by subcutaneous injection", "intravenously" }));
}

// A data folder with the three start-up files.
struct StartupFolder {
    StartupFolder()
    {
        folder.write("mxdbs1.idx", "3\r\n1,1\r\n2,2\r\n5,1\r\n");
        folder.write("mxdbs2.idx", "7\r\n3,1\r\n4,1\r\n6,2\r\n7,2\r\n8,1\r\n9,2\r\n10,1\r\n");
        folder.write("mxcat.idx", "2\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n");
    }
    testing::TempFolder folder;
    AppState state { std::make_unique<ScriptedRandom>(), folder.path() };
};

TEST(StartupFiles, FoundWhateverTheirLetterCaseAndTheCandidateListSized)
{
    StartupFolder s;
    std::filesystem::rename(s.folder / "mxdbs1.idx", s.folder / "Mxdbs1.idx");
    std::filesystem::rename(s.folder / "mxcat.idx", s.folder / "MXCAT.IDX");
    ASSERT_EQ(loadStartupFiles(s.state), std::nullopt);
    EXPECT_EQ(s.state.TabletIndex.record, (std::vector<std::int16_t> { 0, 1, 2, 5 }));
    EXPECT_EQ(s.state.FluidIndex.count, 7);
    EXPECT_EQ(s.state.categories.CategoryName[2], "Antibiotics         ");
    EXPECT_EQ(s.state.CandidateRecords.size(), 8u); // indices 0 to 7
    EXPECT_EQ(s.folder.read("MX.INI"), ""); // no settings file: an empty one is left
}

TEST(StartupFiles, MissingOrBadFileIsNamedWithWhatToDoAndLeftAlone)
{
    const std::tuple<const char*, const char*, int> cases[] = { { "mxdbs1.idx", nullptr, 0 }, // nullptr: missing
        { "mxdbs2.idx", nullptr, 0 }, { "mxcat.idx", nullptr, 0 }, { "mxdbs2.idx", "2\r\n1,1\r\nbroken\r\n", 3 },
        { "mxcat.idx", "1\r\n\"A\",x\r\n", 2 } };
    for (const auto& [name, text, line] : cases) {
        StartupFolder s;
        text ? s.folder.write(name, text) : (void)std::filesystem::remove(s.folder / name);
        const auto problem = loadStartupFiles(s.state);
        ASSERT_TRUE(problem.has_value()) << name;
        EXPECT_EQ(problem->fileName, name);
        EXPECT_EQ(problem->line, line);
        EXPECT_NE(problem->message.find('"' + std::string(name) + '"'), std::string::npos) << problem->message;
        const char* words = text ? "good copy of the drug database files" : "Copy the drug database files";
        EXPECT_NE(problem->message.find(words), std::string::npos) << problem->message;
        EXPECT_EQ(s.state.TabletIndex.count, 0); // nothing half-loaded
        EXPECT_EQ(s.folder.read(name), text ? text : ""); // a bad file is left alone
    }
}

} // namespace
} // namespace tb
