#include "core/drugdb/drug_file.h"

#include "core/foundation/file_error.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tb {
namespace {

using headless::TempFolder;
namespace fs = std::filesystem;

// The 240 bytes of the record below, written from the record layout: three names of 30
// characters, then DoseRangeLow (double), its unit (int16), DoseRangeHigh, its unit,
// FluidIncrement, HalfTablet(5), FormCode(5), Strength(5 doubles), StrengthUnit(5),
// Volume(5 doubles), VolumeUnit(5), DrugCategory; numbers little-endian.
const std::string GoldenRecord = std::string("paracetamol") + std::string(19, ' ') + "Panadol" + std::string(23, ' ')
    + "Calpol" + std::string(24, ' ')
    + std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F\x06\x00\x00\x00\x00\x00\x00\x00\x04\x40\x03\x00"
                  "\x9A\x99\x99\x99\x99\x99\x99\x3F\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00"
                  "\x01\x00\x03\x00\x05\x00\x07\x00\xFF\xFF"
                  "\x00\x00\x00\x00\x00\x00\x59\x40\x00\x00\x00\x00\x00\x40\x59\x40\x00\x00\x00\x00\x00\x80\x59\x40"
                  "\x00\x00\x00\x00\x00\xC0\x59\x40\x00\x00\x00\x00\x00\x00\x5A\x40"
                  "\x03\x00\x04\x00\x05\x00\x06\x00\x07\x00"
                  "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14\x40\x00\x00\x00\x00\x00\x00\x24\x40"
                  "\x00\x00\x00\x00\x00\x00\x2E\x40\x00\x00\x00\x00\x00\x00\x34\x40"
                  "\x06\x00\x06\x00\x06\x00\x06\x00\x06\x00\x0C\x00",
        150);

// Every field holds a value of its own, so that a field at a wrong offset shows.
DrugRecord goldenDrug()
{
    DrugRecord r;
    r.GenericName = "paracetamol";
    r.TradeName = { "Panadol", "Calpol" };
    r.DoseRangeLow = 1.0;
    r.DoseRangeLowUnit = 6;
    r.DoseRangeHigh = 2.5;
    r.DoseRangeHighUnit = 3;
    r.FluidIncrement = 0.025;
    r.HalfTablet = { 0, 1, 0, 1, 0 };
    r.FormCode = { 1, 3, 5, 7, -1 };
    r.Strength = { 100, 101, 102, 103, 104 };
    r.StrengthUnit = { 3, 4, 5, 6, 7 };
    r.Volume = { 0, 5, 10, 15, 20 };
    r.VolumeUnit = { 6, 6, 6, 6, 6 };
    r.DrugCategory = 12;
    return r;
}

TEST(DrugRecordLayout, PacksAndUnpacksTheGoldenBytes)
{
    ASSERT_EQ(GoldenRecord.size(), 240u);
    EXPECT_EQ(goldenDrug().pack(), GoldenRecord);
    const DrugRecord r = DrugRecord::unpack(GoldenRecord);
    EXPECT_EQ(r.pack(), GoldenRecord);
    EXPECT_EQ(r.TradeName[1], "Calpol" + std::string(24, ' '));
    EXPECT_EQ(r.FluidIncrement, 0.025);
}

struct TotalRow {
    const char* name;
    std::uint64_t bytes;
    int total;
};

class DrugRecordTotal : public ::testing::TestWithParam<TotalRow> { };

TEST_P(DrugRecordTotal, LengthDividedBy240RoundedHalfToEven)
{
    EXPECT_EQ(recordTotalFor(GetParam().bytes), GetParam().total);
}

INSTANTIATE_TEST_SUITE_P(Lengths, DrugRecordTotal,
    ::testing::Values(TotalRow { "Empty", 0, 1 }, TotalRow { "HalfToEvenZero", 120, 1 },
        TotalRow { "TwoAndAHalfToTwo", 600, 2 }, TotalRow { "ThreeAndAHalfToFour", 840, 4 }),
    [](const auto& info) { return std::string(info.param.name); });

DrugRecord drug(const std::string& name, std::int16_t category,
    std::initializer_list<std::tuple<std::size_t, std::int16_t, double>> slots)
{
    DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = 1;
    r.DoseRangeHigh = 2;
    r.FluidIncrement = 1;
    r.DrugCategory = category;
    for (const auto& [i, form, strength] : slots)
        std::tie(r.FormCode[i], r.Strength[i], r.Volume[i]) = std::tuple(form, strength, 5.0);
    return r;
}

std::string packed(std::initializer_list<int> numbers)
{
    std::string bytes;
    for (int n : numbers)
        bytes += drug("drug" + std::to_string(n), 1, { { 0, Tablet, 1 } }).pack();
    return bytes;
}

TEST(DrugFile, EmptyFileHoldsOneBlankRecordAndDeletingTheOnlyRecordEmptiesIt)
{
    TempFolder folder;
    {
        DrugFile file(folder.path());
        EXPECT_EQ(file.RecordTotal(), 1);
        EXPECT_TRUE(file.read(1).isBlank());
        file.write(1, DrugRecord::unpack(packed({ 1 })));
        EXPECT_THROW(file.write(3, DrugRecord {}), FileError);
        EXPECT_EQ(folder.read("MXDBASE.FIL"), packed({ 1 }));
        file.deleteRecord(1);
        EXPECT_EQ(file.RecordTotal(), 1);
        file.deleteRecord(1); // the blank record of an empty file: nothing to lose
    }
    EXPECT_EQ(folder.read("MXDBASE.FIL"), "");
    EXPECT_FALSE(fs::exists(folder / "MXDBASE.TMP"));
}

TEST(DrugFile, RecordsStopAt32767)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", "");
    fs::resize_file(folder / "MXDBASE.FIL", std::uintmax_t { MaxDrugRecords - 1 } * 240);
    DrugFile file(folder.path());
    file.write(MaxDrugRecords, DrugRecord::unpack(packed({ 1 })));
    EXPECT_EQ(file.RecordTotal(), 32767);
    EXPECT_THROW(file.write(MaxDrugRecords + 1, DrugRecord::unpack(packed({ 1 }))), FileError);
    EXPECT_EQ(fs::file_size(folder / "MXDBASE.FIL"), 32767u * 240);
}

TEST(DrugFile, DeleteThreeOfFive)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", packed({ 1, 2, 3, 4, 5 }));
    DrugFile file(folder.path());
    file.deleteRecord(3);
    EXPECT_EQ(file.RecordTotal(), 4);
    EXPECT_EQ(folder.read("MXDBASE.FIL"), packed({ 1, 2, 4, 5 }));
    EXPECT_FALSE(fs::exists(folder / "MXDBASE.TMP"));
    file.write(5, DrugRecord::unpack(packed({ 6 }))); // still open for writing
    EXPECT_EQ(file.RecordTotal(), 5);
}

/// A tablet, a tablet-and-solution, one whose strengths are all 0 (the only user of code 4) and a
/// solution; code 2 is used by none.
CategoryTables writeMixedDatabase(const TempFolder& folder)
{
    folder.write("MXDBASE.FIL",
        drug("tabs", 1, { { 0, Tablet, 10 } }).pack()
            + drug("both", 3, { { 0, Tablet, 10 }, { 3, Solution, 5 } }).pack()
            + drug("nostrength", 4, { { 0, Tablet, 0 }, { 1, Syrup, 0 } }).pack()
            + drug("fluid", 1, { { 0, Tablet, 0 }, { 4, IVInjection, 5 } }).pack());
    return parseCategoryFile(
        "4\r\n\"Analgesics\",1\r\n\"Unused\",2\r\n\"Antibiotics\",3\r\n\"Cardiovascular\",4\r\n", "mxcat.idx");
}

const std::string MixedSolid = "2\r\n1,1\r\n2,3\r\n";
const std::string MixedFluid = "2\r\n2,3\r\n4,1\r\n";
const std::string MixedCategories
    = "3\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",3\r\n\"Cardiovascular      \",4\r\n";

TEST(IndexRebuild, ListsEachKindAndDropsUnusedCategories)
{
    TempFolder folder;
    const CategoryTables categories = writeMixedDatabase(folder);
    folder.write("Mxdbs1.idx", "old"); // replaced under the spelling it has
    rebuildIndexes(folder.path(), categories);
    EXPECT_EQ(folder.read("Mxdbs1.idx"), MixedSolid);
    EXPECT_EQ(folder.read("mxdbs2.idx"), MixedFluid);
    EXPECT_EQ(folder.read("mxcat.idx"), MixedCategories);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 4);
}

TEST(IndexRebuild, NoSolidRecordsGiveAnEmptyFirstLine)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", drug("fluid", 7, { { 0, Suspension, 5 } }).pack());
    rebuildIndexes(folder.path(), parseCategoryFile("1\r\n\"Other\",7\r\n", "mxcat.idx"));
    EXPECT_EQ(folder.read("mxdbs1.idx"), "\r\n");
    EXPECT_EQ(folder.read("mxdbs2.idx"), "1\r\n1,7\r\n");
}

TEST(CreateCategory, SmallestFreeCodeANameCutToTwentyAndAtMostFifty)
{
    CategoryTables t = parseCategoryFile("3\r\n\"A\",1\r\n\"B\",2\r\n\"D\",4\r\n", "mxcat.idx");
    EXPECT_EQ(createCategory(t, "Antibiotics and antifunga   "), 4); // 25 letters, then blanks
    EXPECT_EQ(t.CategoryCode[4], 3);
    EXPECT_EQ(t.CategoryName[4], "Antibiotics and anti");
    for (int i = 5; i <= 50; ++i)
        ASSERT_EQ(createCategory(t, "Category " + std::to_string(i)), i);
    const CategoryTables before = t;
    EXPECT_EQ(createCategory(t, "One too many"), 0);
    EXPECT_EQ(t.CategoryCount, 50);
    EXPECT_EQ(t.CategoryName, before.CategoryName);
}

} // namespace
} // namespace tb
