#include "startup/record_file.h"
#include "startup/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace tb {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path()
            / ("tb-settings-" + std::to_string(std::random_device {}()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path file() const { return folder_ / "MX.INI"; }
    void writeBytes(const std::string& bytes) const { std::ofstream(file(), std::ios::binary) << bytes; }
    fs::path folder_;
};

TEST_F(SettingsFile, MissingFileGivesZerosAndLeavesAnEmptyFile)
{
    const Settings s = loadSettings(folder_);
    EXPECT_EQ(s.TexturedBackground, 0);
    EXPECT_EQ(s.Extra1, 0);
    EXPECT_FALSE(s.abbreviationsOn());
    EXPECT_FALSE(s.allMetricUnitsOn());
    EXPECT_FALSE(s.genericAndTradeNamesOn());
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);
}

TEST_F(SettingsFile, StoringWithoutAFileWritesExactly140Bytes)
{
    Settings s;
    s.restoreDefaults();
    storeSettings(folder_, s);
    EXPECT_EQ(fs::file_size(file()), 140u);
}

TEST_F(SettingsFile, PackedLayoutPutsEachFieldAtItsOffset)
{
    Settings s;
    s.ReservedText1 = "left";
    s.ReservedText2 = "right";
    s.restoreDefaults();
    s.UseAbbreviations = -1;
    s.GenericAndTradeNames = -1;
    const std::string bytes = s.pack();
    ASSERT_EQ(bytes.size(), 140u);
    EXPECT_EQ(bytes.substr(0, 60), "left" + std::string(56, ' '));
    EXPECT_EQ(bytes.substr(60, 60), "right" + std::string(55, ' '));
    const std::string numbers("\xAA\x00"
                              "\x48\x00"
                              "\xE5\x00"
                              "\x00\x00"
                              "\x01\x00"
                              "\x1F\x00"
                              "\x00\x00"
                              "\xFF\xFF"
                              "\x00\x00"
                              "\xFF\xFF",
        20);
    EXPECT_EQ(bytes.substr(120), numbers);
    const Settings back = Settings::unpack(bytes);
    EXPECT_EQ(back.pack(), bytes);
}

TEST_F(SettingsFile, StoreKeepsTheTailOfALongerFile)
{
    std::string original(200, 'x');
    for (int i = 0; i < 200; ++i)
        original[static_cast<std::size_t>(i)] = static_cast<char>(i);
    writeBytes(original);
    Settings s = loadSettings(folder_);
    s.AllMetricUnits = -1;
    storeSettings(folder_, s);
    const std::string after = readWholeFile(file());
    ASSERT_EQ(after.size(), 200u);
    EXPECT_EQ(after.substr(140), original.substr(140));
    EXPECT_EQ(after.substr(0, 136), original.substr(0, 136));
    EXPECT_EQ(after.substr(136, 2), std::string("\xFF\xFF", 2));
}

TEST_F(SettingsFile, ShortFileReadsItsMissingFieldsAsZero)
{
    writeBytes(std::string(135, ' ') + "\x01");
    const Settings s = loadSettings(folder_);
    EXPECT_EQ(s.UseAbbreviations, 0x0120); // low byte from the file, high byte missing
    EXPECT_EQ(s.AllMetricUnits, 0);
}

TEST_F(SettingsFile, LoadThenStoreGivesBackTheSameBytes)
{
    std::string original(140, '\0');
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<char>(i * 37 + 11); // texts with high bytes and zeros, odd numbers
    writeBytes(original);
    storeSettings(folder_, loadSettings(folder_));
    EXPECT_EQ(readWholeFile(file()), original);
}

struct FieldCase {
    std::int16_t Settings::*field;
    std::size_t offset;
};

class SettingsFieldOffset : public ::testing::TestWithParam<FieldCase> { };

TEST_P(SettingsFieldOffset, EachNumberHasItsTwoBytes)
{
    Settings s;
    s.*GetParam().field = -2; // FE FF: both bytes differ from every other field's
    const std::string bytes = s.pack();
    std::string expected(140, '\0');
    std::fill_n(expected.begin(), 120, ' ');
    expected[GetParam().offset] = '\xFE';
    expected[GetParam().offset + 1] = '\xFF';
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(Settings::unpack(expected).*GetParam().field, -2);
}

INSTANTIATE_TEST_SUITE_P(Layout, SettingsFieldOffset,
    ::testing::Values(FieldCase { &Settings::Extra1, 120 }, FieldCase { &Settings::Extra2, 122 },
        FieldCase { &Settings::Extra3, 124 }, FieldCase { &Settings::DisableAnimations, 126 },
        FieldCase { &Settings::TexturedBackground, 128 }, FieldCase { &Settings::Extra4, 130 },
        FieldCase { &Settings::Extra5, 132 }, FieldCase { &Settings::UseAbbreviations, 134 },
        FieldCase { &Settings::AllMetricUnits, 136 }, FieldCase { &Settings::GenericAndTradeNames, 138 }));

TEST_F(SettingsFile, RestoringDefaultsWritesNothing)
{
    writeBytes(std::string(140, '\x01'));
    Settings s = loadSettings(folder_);
    s.restoreDefaults();
    EXPECT_EQ(readWholeFile(file()), std::string(140, '\x01'));
    storeSettings(folder_, s);
    EXPECT_EQ(readWholeFile(file()).substr(120),
        std::string("\xAA\x00\x48\x00\xE5\x00\x00\x00\x01\x00\x1F\x00\x00\x00\x00\x00\x00\x00\x00\x00", 20));
    EXPECT_EQ(readWholeFile(file()).substr(0, 120), std::string(120, '\x01'));
}

TEST(SettingsRules, OnRulesOfEachOption)
{
    Settings s;
    s.UseAbbreviations = 1; // any non-zero value counts as on
    s.AllMetricUnits = 5;
    s.GenericAndTradeNames = 1; // only -1 counts
    EXPECT_TRUE(s.abbreviationsOn());
    EXPECT_TRUE(s.allMetricUnitsOn());
    EXPECT_FALSE(s.genericAndTradeNamesOn());
    s.GenericAndTradeNames = -1;
    EXPECT_TRUE(s.genericAndTradeNamesOn());
}

TEST(SettingsRules, RestoreDefaultsKeepsTheTexts)
{
    Settings s;
    s.ReservedText1 = std::string(60, 'a');
    s.ReservedText2 = std::string(60, 'b');
    s.UseAbbreviations = -1;
    s.DisableAnimations = 1;
    s.restoreDefaults();
    EXPECT_EQ(s.ReservedText1, std::string(60, 'a'));
    EXPECT_EQ(s.ReservedText2, std::string(60, 'b'));
    EXPECT_EQ(s.Extra1, 170);
    EXPECT_EQ(s.Extra2, 72);
    EXPECT_EQ(s.Extra3, 229);
    EXPECT_EQ(s.DisableAnimations, 0);
    EXPECT_EQ(s.TexturedBackground, 1);
    EXPECT_EQ(s.Extra4, 31);
    EXPECT_EQ(s.Extra5, 0);
    EXPECT_EQ(s.UseAbbreviations, 0);
}

} // namespace
} // namespace tb
