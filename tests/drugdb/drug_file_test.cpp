#include "drugdb/drug_file.h"

#include "startup/file_error.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace tb {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

double doubleAt(const std::string& bytes, std::size_t offset)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return std::bit_cast<double>(bits);
}

int int16At(const std::string& bytes, std::size_t offset)
{
    const auto lo = static_cast<unsigned char>(bytes[offset]);
    const auto hi = static_cast<unsigned char>(bytes[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

/// A record in which every field holds a value of its own, so that a field at a wrong offset shows.
DrugRecord distinctRecord()
{
    DrugRecord r;
    r.GenericName = "paracetamol";
    r.TradeName = { "Panadol", "Calpol" };
    r.DoseRangeLow = 1.0;
    r.DoseRangeLowUnit = 6;
    r.DoseRangeHigh = 2.5;
    r.DoseRangeHighUnit = 3;
    r.FluidIncrement = 0.025;
    for (int i = 0; i < 5; ++i) {
        const auto s = static_cast<std::size_t>(i);
        r.HalfTablet[s] = static_cast<std::int16_t>(i % 2);
        r.FormCode[s] = static_cast<std::int16_t>(i == 4 ? -1 : 2 * i + 1);
        r.Strength[s] = 100.0 + i;
        r.StrengthUnit[s] = static_cast<std::int16_t>(i + 3);
        r.Volume[s] = 5.0 * i;
        r.VolumeUnit[s] = 6;
    }
    r.DrugCategory = 12;
    return r;
}

TEST(DrugRecordLayout, EveryFieldAtItsOffset)
{
    const std::string b = distinctRecord().pack();
    ASSERT_EQ(b.size(), 240u);
    EXPECT_EQ(b.substr(0, 30), "paracetamol" + std::string(19, ' '));
    EXPECT_EQ(b.substr(30, 30), "Panadol" + std::string(23, ' '));
    EXPECT_EQ(b.substr(60, 30), "Calpol" + std::string(24, ' '));
    EXPECT_EQ(b.substr(90, 8), std::string("\0\0\0\0\0\0\xF0\x3F", 8)); // 1.0, little-endian
    EXPECT_EQ(int16At(b, 98), 6);
    EXPECT_EQ(doubleAt(b, 100), 2.5);
    EXPECT_EQ(int16At(b, 108), 3);
    EXPECT_EQ(doubleAt(b, 110), 0.025);
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(int16At(b, 118 + 2 * i), static_cast<int>(i % 2));
        EXPECT_EQ(int16At(b, 128 + 2 * i), i == 4 ? -1 : static_cast<int>(2 * i + 1));
        EXPECT_EQ(doubleAt(b, 138 + 8 * i), 100.0 + static_cast<double>(i));
        EXPECT_EQ(int16At(b, 178 + 2 * i), static_cast<int>(i + 3));
        EXPECT_EQ(doubleAt(b, 188 + 8 * i), 5.0 * static_cast<double>(i));
        EXPECT_EQ(int16At(b, 228 + 2 * i), 6);
    }
    EXPECT_EQ(b.substr(136, 2), "\xFF\xFF"); // FormCode(4) = -1
    EXPECT_EQ(int16At(b, 238), 12);
}

TEST(DrugRecordLayout, RoundTripAndLongNames)
{
    DrugRecord r = distinctRecord();
    r.GenericName = std::string(35, 'x');
    const DrugRecord back = DrugRecord::unpack(r.pack());
    EXPECT_EQ(back.GenericName, std::string(30, 'x'));
    EXPECT_EQ(trimmedRight(back.TradeName[1]), "Calpol");
    EXPECT_EQ(back.pack(), r.pack());
    EXPECT_TRUE(DrugRecord::unpack(std::string(240, '\0')).isBlank());
    EXPECT_TRUE(DrugRecord::unpack(std::string(240, ' ')).isBlank());
}

struct TotalCase {
    std::uint64_t bytes;
    int total;
};

class RecordTotalTest : public ::testing::TestWithParam<TotalCase> { };

TEST_P(RecordTotalTest, LengthDividedBy240RoundedHalfToEven)
{
    EXPECT_EQ(recordTotalFor(GetParam().bytes), GetParam().total);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RecordTotalTest,
    ::testing::Values(TotalCase { 0, 1 }, TotalCase { 100, 1 }, TotalCase { 120, 1 }, TotalCase { 121, 1 },
        TotalCase { 240, 1 }, TotalCase { 359, 1 }, TotalCase { 360, 2 }, TotalCase { 361, 2 }, TotalCase { 480, 2 },
        TotalCase { 600, 2 }, TotalCase { 601, 3 }, TotalCase { 840, 4 }, TotalCase { 1080, 4 },
        TotalCase { 1200, 5 }));

DrugRecord named(const std::string& name)
{
    DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = 1;
    r.DoseRangeHigh = 2;
    r.Strength[0] = 1;
    return r;
}

class DrugFileTest : public ::testing::Test {
protected:
    void writeFive()
    {
        DrugFile file(folder_.path());
        for (int n = 1; n <= 5; ++n)
            file.write(n, named("drug" + std::to_string(n)));
    }
    std::string packed(std::initializer_list<int> numbers) const
    {
        std::string bytes;
        for (int n : numbers)
            bytes += named("drug" + std::to_string(n)).pack();
        return bytes;
    }
    bool exists(const char* name) const { return fs::exists(folder_ / name); }

    TempFolder folder_;
};

TEST_F(DrugFileTest, MissingFileIsCreatedEmptyAndHoldsOneBlankRecord)
{
    DrugFile file(folder_.path());
    EXPECT_TRUE(exists("MXDBASE.FIL"));
    EXPECT_EQ(file.RecordTotal(), 1);
    EXPECT_TRUE(file.read(1).isBlank());
    EXPECT_TRUE(file.read(40).isBlank());
    EXPECT_EQ(file.read(40).DoseRangeHigh, 0.0);
    EXPECT_EQ(folder_.read("MXDBASE.FIL"), "");
}

TEST_F(DrugFileTest, WritesExtendOneRecordAtATime)
{
    DrugFile file(folder_.path());
    file.write(1, named("a"));
    file.write(2, named("b"));
    EXPECT_EQ(file.RecordTotal(), 2);
    EXPECT_THROW(file.write(4, named("d")), FileError);
    EXPECT_EQ(file.RecordTotal(), 2);
    try {
        file.write(32768, named("x"));
        FAIL() << "record 32768 was written";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("32767"), std::string::npos);
    }
    EXPECT_EQ(trimmedRight(file.read(2).GenericName), "b");
    EXPECT_EQ(folder_.read("MXDBASE.FIL").size(), 480u);
}

TEST_F(DrugFileTest, FileNameFoundWithoutRegardToCase)
{
    folder_.write("mxdbase.fil", named("lower").pack());
    DrugFile file(folder_.path());
    EXPECT_EQ(trimmedRight(file.read(1).GenericName), "lower");
    EXPECT_EQ(file.path().filename(), "mxdbase.fil");
}

TEST_F(DrugFileTest, DeleteThreeOfFive)
{
    writeFive();
    // A scratch file left by an interrupted delete, longer than the result, must not leak into it.
    folder_.write("MXDBASE.TMP", std::string(7 * 240, 'J'));
    DrugFile file(folder_.path());
    file.deleteRecord(3);
    EXPECT_EQ(file.RecordTotal(), 4);
    EXPECT_EQ(folder_.read("MXDBASE.FIL"), packed({ 1, 2, 4, 5 }));
    EXPECT_FALSE(exists("MXDBASE.TMP"));
    EXPECT_EQ(trimmedRight(file.read(3).GenericName), "drug4");
    file.write(5, named("drug6")); // still open for writing
    EXPECT_EQ(file.RecordTotal(), 5);
}

TEST_F(DrugFileTest, DeleteFirstAndLast)
{
    writeFive();
    DrugFile file(folder_.path());
    file.deleteRecord(5);
    file.deleteRecord(1);
    EXPECT_EQ(folder_.read("MXDBASE.FIL"), packed({ 2, 3, 4 }));
}

TEST_F(DrugFileTest, DeletingTheOnlyRecordLeavesAnEmptyFile)
{
    {
        DrugFile file(folder_.path());
        file.write(1, named("only"));
        file.deleteRecord(1);
        EXPECT_EQ(file.RecordTotal(), 1);
        EXPECT_TRUE(file.read(1).isBlank());
        file.deleteRecord(1); // the blank record of an empty file: nothing to lose
        EXPECT_EQ(file.RecordTotal(), 1);
    }
    EXPECT_EQ(folder_.read("MXDBASE.FIL"), "");
    EXPECT_FALSE(exists("MXDBASE.TMP"));
}

TEST_F(DrugFileTest, DeleteOutsideTheFileChangesNothing)
{
    writeFive();
    DrugFile file(folder_.path());
    EXPECT_THROW(file.deleteRecord(0), FileError);
    EXPECT_THROW(file.deleteRecord(6), FileError);
    EXPECT_EQ(folder_.read("MXDBASE.FIL"), packed({ 1, 2, 3, 4, 5 }));
}

TEST_F(DrugFileTest, ReadForGenerators)
{
    bool present = true;
    EXPECT_THROW(readDrugRecord(folder_.path(), 1, present), FileError);
    writeFive();
    EXPECT_EQ(trimmedRight(readDrugRecord(folder_.path(), 4, present).GenericName), "drug4");
    EXPECT_TRUE(present);
    EXPECT_TRUE(readDrugRecord(folder_.path(), 6, present).isBlank());
    EXPECT_FALSE(present);
    try {
        readDrugRecord(folder_ / "nowhere", 1);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("MXDBASE.FIL"), std::string::npos);
    }
}

/// Makes a rewrite fail at one step, for one file or for every file.
class ThrowAt final : public FaultHook {
public:
    explicit ThrowAt(RewriteStep step, std::string file = {})
        : step_(step)
        , file_(std::move(file))
    {
    }
    void at(RewriteStep step, const fs::path& target) override
    {
        if (step == step_ && (file_.empty() || sameNameIgnoringCase(target.filename().string(), file_)))
            throw std::runtime_error("interrupted");
    }

private:
    RewriteStep step_;
    std::string file_;
};

const RewriteStep AllSteps[] = { RewriteStep::ScratchOpened, RewriteStep::ScratchWritten, RewriteStep::ScratchSynced,
    RewriteStep::BeforeRename, RewriteStep::Renamed };

class InterruptedDelete : public DrugFileTest, public ::testing::WithParamInterface<RewriteStep> { };

TEST_P(InterruptedDelete, LeavesTheOldOrTheNewFileWhole)
{
    writeFive();
    ThrowAt hook(GetParam());
    DrugFile file(folder_.path(), &hook);
    EXPECT_THROW(file.deleteRecord(2), std::runtime_error);
    const std::string expected
        = GetParam() == RewriteStep::Renamed ? packed({ 1, 3, 4, 5 }) : packed({ 1, 2, 3, 4, 5 });
    EXPECT_EQ(folder_.read("MXDBASE.FIL"), expected);
    EXPECT_FALSE(exists("MXDBASE.TMP"));
    // The data file is open again and agrees with what is on disk.
    EXPECT_EQ(file.RecordTotal(), static_cast<int>(expected.size() / 240));
    EXPECT_EQ(trimmedRight(file.read(2).GenericName), GetParam() == RewriteStep::Renamed ? "drug3" : "drug2");
}

INSTANTIATE_TEST_SUITE_P(Steps, InterruptedDelete, ::testing::ValuesIn(AllSteps));

} // namespace
} // namespace tb
