#include "startup/startup_loader.h"

#include "startup/file_error.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tb {
namespace {

// The fixed tables, entry by entry: unit words and symbols are built from these,
// so one wrong letter shows in every question.
TEST(UnitTablesContent, PrefixesMeasuresFormsAndRoutes)
{
    const UnitTables t = makeUnitTables();
    const std::array<std::string, 9> names = { "", "kilo", "hecto", "deka", "", "deci", "centi", "milli", "micro" };
    const std::array<std::string, 9> symbols = { "", "k", "h", "da", "", "d", "c", "m", "\xB5" };
    const std::array<double, 9> factors = { 0, 1000, 100, 10, 1, 0.1, 0.01, 0.001, 0.000001 };
    for (std::size_t p = 1; p <= 8; ++p) {
        EXPECT_EQ(t.PrefixName[p], names[p]) << p;
        EXPECT_EQ(t.PrefixSymbol[p], symbols[p]) << p;
        EXPECT_EQ(t.PrefixFactor[p], factors[p]) << p; // exactly the double of the decimal text
    }
    EXPECT_EQ(t.PrefixName[0], "");
    EXPECT_EQ(t.PrefixSymbol[0], "");
    EXPECT_EQ(t.PrefixSymbol[8], std::string(1, static_cast<char>(181)));
    EXPECT_EQ(t.PrefixSymbol[7] + t.BaseUnitSymbol[2], "mg");
    EXPECT_EQ(t.PrefixName[8] + t.BaseUnitName[2], "microgram");
    EXPECT_EQ(t.PrefixName[4] + t.BaseUnitName[2], "gram");

    EXPECT_EQ(t.MeasureName, (std::array<std::string, 4> { "", "Volume", "Mass", "Length" }));
    EXPECT_EQ(t.BaseUnitSymbol, (std::array<std::string, 4> { "", "L", "g", "m" }));
    EXPECT_EQ(t.BaseUnitName, (std::array<std::string, 4> { "", "litre", "gram", "metre" }));

    const std::array<std::string, 11> forms = { "tablet", "capsule", "solution", "suspension", "Syrup", "emulsion",
        "liquid forte ", "elixir", "liquid for IM Injection", "liquid for SC Injection", "liquid for IV Injection" };
    const std::array<std::string, 11> routes = { "", "", "orally", "orally", "orally", "orally", "orally", "orally",
        "by intramuscular injection", "by subcutaneous injection", "intravenously" };
    EXPECT_EQ(t.FormName, forms);
    EXPECT_EQ(t.RouteText, routes);
    EXPECT_EQ(t.FormName[6].back(), ' ');
    EXPECT_EQ(std::string(LineBreak), "\r\n");
}

TEST(CategoryNames, CutOrPaddedToTwentyCharacters)
{
    EXPECT_EQ(fitCategoryName("Antibiotics and more"), "Antibiotics and more");
    EXPECT_EQ(fitCategoryName("Analgesics of the 25 char"), "Analgesics of the 25");
    EXPECT_EQ(fitCategoryName("Sleep"), "Sleep" + std::string(15, ' '));
    EXPECT_EQ(fitCategoryName(""), std::string(20, ' '));
}

TEST(IndexFileText, ReadsPairsWithEitherLineEnd)
{
    for (const char* text :
        { "3\r\n12,3\r\n4,1\r\n7,3\r\n", "3\n12,3\n4,1\n7,3\n", "3\r\n12,3\r\n4,1\r\n7,3", "3\r12,3\r4,1\r7,3\r" }) {
        const DrugIndex index = parseIndexFile(text, "mxdbs1.idx");
        EXPECT_EQ(index.count, 3);
        EXPECT_EQ(index.record, (std::vector<std::int16_t> { 0, 12, 4, 7 }));
        EXPECT_EQ(index.category, (std::vector<std::int16_t> { 0, 3, 1, 3 }));
    }
}

TEST(IndexFileText, EmptyOrZeroCountGivesAnEmptyTable)
{
    for (const char* text : { "", "\r\n", "0\r\n", "  \r\n", "0\r\n5,5\r\n" }) {
        const DrugIndex index = parseIndexFile(text, "mxdbs2.idx");
        EXPECT_EQ(index.count, 0) << text;
        EXPECT_EQ(index.record, std::vector<std::int16_t> { 0 });
        EXPECT_EQ(index.category, std::vector<std::int16_t> { 0 });
    }
}

TEST(IndexFileText, LinesPastTheAnnouncedCountAreIgnored)
{
    const DrugIndex index = parseIndexFile("1\r\n9,2\r\n10,4\r\n\r\n", "mxdbs1.idx");
    EXPECT_EQ(index.count, 1);
    EXPECT_EQ(index.record, (std::vector<std::int16_t> { 0, 9 }));
}

TEST(IndexFileText, LargestRecordNumberAndNegativeCategoryCode)
{
    const DrugIndex index = parseIndexFile("1\r\n32767,-2\r\n", "mxdbs1.idx");
    EXPECT_EQ(index.record[1], 32767);
    EXPECT_EQ(index.category[1], -2);
}

struct BadFile {
    const char* text;
    int line;
    const char* words; // part of the message that says what is wrong
};

class BadIndexFile : public ::testing::TestWithParam<BadFile> { };

TEST_P(BadIndexFile, NamesTheFileAndTheLine)
{
    try {
        parseIndexFile(GetParam().text, "Mxdbs1.idx");
        FAIL() << "accepted " << GetParam().text;
    } catch (const FileError& e) {
        const std::string message = e.what();
        EXPECT_EQ(e.line(), GetParam().line) << message;
        EXPECT_EQ(e.path(), "Mxdbs1.idx");
        EXPECT_NE(message.find("\"Mxdbs1.idx\""), std::string::npos) << message;
        EXPECT_NE(message.find("line " + std::to_string(GetParam().line)), std::string::npos) << message;
        EXPECT_NE(message.find(GetParam().words), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadIndexFile,
    ::testing::Values(BadFile { "three\r\n", 1, "whole number" }, BadFile { "-1\r\n", 1, "negative" },
        BadFile { "99999999999999999999\r\n", 1, "range" }, BadFile { "40000\r\n", 1, "range" },
        BadFile { "3\r\n1,1\r\n2,2\r\n", 4, "announces 3 entries but only 2 follow" },
        BadFile { "2\r\n1,1\r\n\r\n", 3, "comma" }, BadFile { "1\r\n12;3\r\n", 2, "comma" },
        BadFile { "1\r\n0,3\r\n", 2, "below 1" }, BadFile { "1\r\n-4,3\r\n", 2, "below 1" },
        BadFile { "1\r\n40000,3\r\n", 2, "range" }, BadFile { "1\r\n12,x\r\n", 2, "category code" },
        BadFile { "1\r\n12,\r\n", 2, "category code" }, BadFile { "2\r\n1,1\r\n2,2,2\r\n", 3, "category code" }));

TEST(CategoryFileText, QuotedNamesAreFittedAndCodesRead)
{
    const std::string text = "3\r\n\"Analgesics          \",1\r\n\"Antibiotics, broad spectrum\",7\r\n\"Sleep\",-3\r\n";
    const CategoryTables c = parseCategoryFile(text, "mxcat.idx");
    ASSERT_EQ(c.CategoryCount, 3);
    EXPECT_EQ(c.CategoryName[1], "Analgesics          ");
    EXPECT_EQ(c.CategoryName[2], "Antibiotics, broad s");
    EXPECT_EQ(c.CategoryName[3], "Sleep               ");
    EXPECT_EQ(c.CategoryCode[1], 1);
    EXPECT_EQ(c.CategoryCode[2], 7);
    EXPECT_EQ(c.CategoryCode[3], -3);
    EXPECT_EQ(c.CategoryCode[0], 0);
}

TEST(CategoryFileText, FiftyCategoriesFitAndFiftyOneAreRefused)
{
    std::string fifty = "50\r\n";
    for (int k = 1; k <= 50; ++k)
        fifty += "\"Category " + std::to_string(k) + "\"," + std::to_string(k) + "\r\n";
    const CategoryTables c = parseCategoryFile(fifty, "mxcat.idx");
    EXPECT_EQ(c.CategoryCount, 50);
    EXPECT_EQ(c.CategoryName[50], fitCategoryName("Category 50"));
    EXPECT_EQ(c.CategoryCode[50], 50);

    // Keeping only 50 would silently drop the rest when the editor next writes the file.
    std::string more = "51" + fifty.substr(2) + "\"Category 51\",51\r\n";
    try {
        parseCategoryFile(more, "mxcat.idx");
        FAIL() << "51 categories accepted";
    } catch (const FileError& e) {
        EXPECT_EQ(e.line(), 1);
        EXPECT_NE(std::string(e.what()).find("at most 50"), std::string::npos) << e.what();
    }
}

class BadCategoryFile : public ::testing::TestWithParam<BadFile> { };

TEST_P(BadCategoryFile, NamesTheFileAndTheLine)
{
    try {
        parseCategoryFile(GetParam().text, "MXCAT.IDX");
        FAIL() << "accepted " << GetParam().text;
    } catch (const FileError& e) {
        EXPECT_EQ(e.line(), GetParam().line) << e.what();
        EXPECT_NE(std::string(e.what()).find("\"MXCAT.IDX\""), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().words), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadCategoryFile,
    ::testing::Values(BadFile { "x\r\n", 1, "whole number" }, BadFile { "-2\r\n", 1, "negative" },
        BadFile { "2\r\n\"A\",1\r\n", 3, "announces 2 entries but only 1 follow" },
        BadFile { "1\r\n\"Open,1\r\n", 2, "closing quote" }, BadFile { "1\r\n\"A\" 1\r\n", 2, "comma" },
        BadFile { "1\r\n\"A\",\r\n", 2, "category code" }, BadFile { "1\r\n\"A\",70000\r\n", 2, "range" }));

// A data folder with the three start-up files; each test then spoils one of them.
class StartupFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.write("mxdbs1.idx", "3\r\n1,1\r\n2,2\r\n5,1\r\n");
        folder.write("mxdbs2.idx", "7\r\n3,1\r\n4,1\r\n6,2\r\n7,2\r\n8,1\r\n9,2\r\n10,1\r\n");
        folder.write("mxcat.idx", "2\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n");
    }
    std::optional<StartupProblem> load() { return loadStartupFiles(state); }

    testing::TempFolder folder;
    AppState state { std::make_unique<ScriptedRandom>(), folder.path() };
};

TEST_F(StartupFolder, LoadsEveryTableAndSizesTheCandidateList)
{
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_EQ(state.TabletIndex.count, 3);
    EXPECT_EQ(state.TabletIndex.record, (std::vector<std::int16_t> { 0, 1, 2, 5 }));
    EXPECT_EQ(state.FluidIndex.count, 7);
    EXPECT_EQ(state.FluidIndex.category.back(), 1);
    EXPECT_EQ(state.CandidateRecords.size(), 8u); // indices 0 to 7
    EXPECT_EQ(state.CandidateCount, 0);
    EXPECT_EQ(state.categories.CategoryCount, 2);
    EXPECT_EQ(state.categories.CategoryName[2], "Antibiotics         ");
    // No MX.INI: every option off, and an empty MX.INI is left behind.
    EXPECT_EQ(state.settings.TexturedBackground, 0);
    EXPECT_FALSE(state.settings.abbreviationsOn());
    EXPECT_EQ(folder.read("MX.INI"), "");
}

TEST_F(StartupFolder, FindsTheFilesWhateverTheirLetterCase)
{
    std::filesystem::rename(folder / "mxdbs1.idx", folder / "Mxdbs1.idx");
    std::filesystem::rename(folder / "mxcat.idx", folder / "MXCAT.IDX");
    Settings stored;
    stored.UseAbbreviations = 1;
    folder.write("mx.ini", stored.pack());
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_EQ(state.TabletIndex.count, 3);
    EXPECT_EQ(state.categories.CategoryCount, 2);
    EXPECT_TRUE(state.settings.abbreviationsOn());
    EXPECT_FALSE(std::filesystem::exists(folder / "MX.INI")); // the existing mx.ini was used
}

TEST_F(StartupFolder, EmptyIndexesGiveACandidateListOfOneEntry)
{
    folder.write("mxdbs1.idx", "\r\n");
    folder.write("mxdbs2.idx", "0\r\n");
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_EQ(state.TabletIndex.count, 0);
    EXPECT_EQ(state.FluidIndex.count, 0);
    EXPECT_EQ(state.CandidateRecords.size(), 1u);
}

class MissingStartupFile : public StartupFolder, public ::testing::WithParamInterface<const char*> { };

TEST_P(MissingStartupFile, IsNamedWithWhatToDo)
{
    std::filesystem::remove(folder / GetParam());
    const auto problem = load();
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->fileName, GetParam());
    EXPECT_EQ(problem->line, 0);
    EXPECT_NE(problem->message.find(std::string("\"") + GetParam() + "\""), std::string::npos) << problem->message;
    EXPECT_NE(problem->message.find("Copy the drug database files"), std::string::npos) << problem->message;
    EXPECT_NE(problem->message.find(folder.path().string()), std::string::npos) << problem->message;
}

INSTANTIATE_TEST_SUITE_P(Files, MissingStartupFile, ::testing::Values("mxdbs1.idx", "mxdbs2.idx", "mxcat.idx"));

TEST_F(StartupFolder, UnparsableFileIsNamedWithItsLineAndLeftAlone)
{
    const std::string spoiled = "2\r\n1,1\r\nbroken\r\n";
    folder.write("mxdbs2.idx", spoiled);
    const auto problem = load();
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->fileName, "mxdbs2.idx");
    EXPECT_EQ(problem->line, 3);
    EXPECT_NE(problem->message.find("\"mxdbs2.idx\""), std::string::npos) << problem->message;
    EXPECT_NE(problem->message.find("line 3"), std::string::npos) << problem->message;
    EXPECT_NE(problem->message.find("good copy of the drug database files"), std::string::npos);
    EXPECT_EQ(folder.read("mxdbs2.idx"), spoiled);
    // Nothing half-loaded: the tables stay as they were before the call.
    EXPECT_EQ(state.TabletIndex.count, 0);
}

} // namespace
} // namespace tb
