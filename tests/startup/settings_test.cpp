#include "startup/settings.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

namespace fs = std::filesystem;

TEST(Settings, PacksTheTextsBlankPaddedThenTenNumbersLowByteFirst)
{
    Settings s { .ReservedText1 = "AB",
        .ReservedText2 = "",
        .Extra1 = 170,
        .Extra2 = 72,
        .Extra3 = 229,
        .DisableAnimations = 0,
        .TexturedBackground = 1,
        .Extra4 = 31,
        .Extra5 = 0,
        .UseAbbreviations = 1,
        .AllMetricUnits = 0,
        .GenericAndTradeNames = -1 };
    const std::string numbers("\xAA\x00\x48\x00\xE5\x00\x00\x00\x01\x00\x1F\x00\x00\x00\x01\x00\x00\x00\xFF\xFF", 20);
    EXPECT_EQ(s.pack(), "AB" + std::string(58, ' ') + std::string(60, ' ') + numbers);
}

TEST(Settings, LoadThenStoreGivesBackTheSameBytes)
{
    testing::TempFolder folder;
    std::string original(140, '\0');
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<char>(i * 37 + 11); // texts with high bytes and zeros, odd numbers
    folder.write("MX.INI", original);
    storeSettings(folder.path(), loadSettings(folder.path()));
    EXPECT_EQ(folder.read("MX.INI"), original);
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

} // namespace
} // namespace tb
