#include "startup/record_file.h"
#include "startup/settings.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

namespace fs = std::filesystem;

TEST(Settings, LoadThenStoreGivesBackTheSameBytesWithEachFieldAtItsOffset)
{
    testing::TempFolder folder;
    std::string original(140, '\0');
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<char>(i * 37 + 11); // texts with high bytes and zeros, odd numbers
    folder.write("MX.INI", original);
    const Settings s = loadSettings(folder.path());
    storeSettings(folder.path(), s);
    EXPECT_EQ(folder.read("MX.INI"), original);
    EXPECT_EQ(s.ReservedText1 + s.ReservedText2, original.substr(0, 120));
    const std::pair<std::int16_t Settings::*, std::size_t> fields[]
        = { { &Settings::Extra1, 120 }, { &Settings::Extra2, 122 }, { &Settings::Extra3, 124 },
              { &Settings::DisableAnimations, 126 }, { &Settings::TexturedBackground, 128 }, { &Settings::Extra4, 130 },
              { &Settings::Extra5, 132 }, { &Settings::UseAbbreviations, 134 }, { &Settings::AllMetricUnits, 136 },
              { &Settings::GenericAndTradeNames, 138 } };
    for (const auto& [field, offset] : fields) // two bytes, low byte first
        EXPECT_EQ(s.*field, std::int16_t(std::uint8_t(original[offset]) | std::uint8_t(original[offset + 1]) << 8));
}

TEST(Settings, MissingFileGivesZerosLeavesAnEmptyFileAndStoringWrites140Bytes)
{
    testing::TempFolder folder;
    const Settings s = loadSettings(folder.path());
    ASSERT_TRUE(fs::exists(folder / "MX.INI"));
    EXPECT_EQ(fs::file_size(folder / "MX.INI"), 0u);
    storeSettings(folder.path(), s);
    EXPECT_EQ(folder.read("MX.INI"), std::string(140, '\0'));
    // A short file reads its missing bytes as zero.
    EXPECT_EQ(Settings::unpack(std::string(135, ' ') + "\x01").UseAbbreviations, 0x0120);
}

TEST(Settings, RestoreDefaultsKeepsTheTextsAndStoringKeepsTheTail)
{
    testing::TempFolder folder;
    std::string original(200, '\0');
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<char>(i);
    folder.write("MX.INI", original);
    Settings s = loadSettings(folder.path());
    s.restoreDefaults();
    EXPECT_EQ(folder.read("MX.INI"), original); // nothing written until stored
    storeSettings(folder.path(), s);
    const std::string defaults("\xAA\x00\x48\x00\xE5\x00\x00\x00\x01\x00\x1F\x00\0\0\0\0\0\0\0\0", 20);
    EXPECT_EQ(folder.read("MX.INI"), original.substr(0, 120) + defaults + original.substr(140));
}

TEST(Settings, OnRulesOfEachOption)
{
    EXPECT_FALSE(Settings {}.abbreviationsOn() || Settings {}.allMetricUnitsOn());
    const Settings s { .UseAbbreviations = 1, .AllMetricUnits = 5, .GenericAndTradeNames = 1 };
    EXPECT_TRUE(s.abbreviationsOn() && s.allMetricUnitsOn()); // any non-zero value counts as on
    EXPECT_FALSE(s.genericAndTradeNamesOn()); // only -1 counts
    EXPECT_TRUE(Settings { .GenericAndTradeNames = -1 }.genericAndTradeNamesOn());
}

TEST(RecordFile, ReadsWholeShortAndPastTheEndRecords)
{
    testing::TempFolder folder;
    folder.write("data.fil", "AAAABBBBCC"); // two whole records of 4 and half of a third
    RecordFile file(folder / "data.fil", 4, RecordFile::Mode::Read);
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

TEST(ScratchFile, AFaultAtAnyStepLeavesOneWholeFileAndNoScratchFile)
{
    const std::string before = "old contents\r\n", after = "new contents, longer than before\r\n";
    for (RewriteStep step : { RewriteStep::ScratchOpened, RewriteStep::ScratchWritten, RewriteStep::ScratchSynced,
             RewriteStep::BeforeRename, RewriteStep::Renamed }) {
        testing::TempFolder folder;
        folder.write("mxcat.idx", before);
        FailAt hook;
        hook.step = step;
        EXPECT_THROW(writeFileAtomically(folder / "mxcat.idx", after, &hook), FileError);
        // Up to the rename the old file is whole; after it, the new one is.
        EXPECT_EQ(folder.read("mxcat.idx"), step == RewriteStep::Renamed ? after : before);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
        // A scratch file left by a crash does not stop the next rewrite.
        folder.write("mxcat.idx.new", "left over");
        writeFileAtomically(folder / "mxcat.idx", "1\r\n");
        EXPECT_EQ(folder.read("mxcat.idx"), "1\r\n");
        EXPECT_FALSE(fs::exists(folder / "mxcat.idx.new"));
    }
}

} // namespace
} // namespace tb
