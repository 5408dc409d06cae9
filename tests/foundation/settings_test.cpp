#include "core/foundation/settings.h"

#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

TEST(Settings, PacksTheTextsBlankPaddedThenTenNumbersLowByteFirst)
{
    Settings s { .ReservedText1 = "AB",
        .Extra1 = 170,
        .Extra2 = 72,
        .Extra3 = 229,
        .TexturedBackground = 1,
        .Extra4 = 31,
        .UseAbbreviations = 1,
        .GenericAndTradeNames = -1 };
    const std::string numbers("\xAA\x00\x48\x00\xE5\x00\x00\x00\x01\x00\x1F\x00\x00\x00\x01\x00\x00\x00\xFF\xFF", 20);
    EXPECT_EQ(s.pack(), "AB" + std::string(58, ' ') + std::string(60, ' ') + numbers);
}

TEST(Settings, RestoreDefaultsKeepsTheTexts)
{
    Settings s = Settings::unpack(std::string(140, 'x'));
    s.restoreDefaults();
    EXPECT_EQ(s.pack(),
        std::string(120, 'x') + std::string("\xAA\x00\x48\x00\xE5\x00\x00\x00\x01\x00\x1F\x00\0\0\0\0\0\0\0\0", 20));
}

// Whatever the file holds comes back byte for byte but for the field changed, a long tail included;
// a short file reads its missing bytes as zero.
TEST(Settings, StoringKeepsEveryOtherByteOfTheFile)
{
    const std::string texts = std::string(128, 'a') + std::string("\x02\x01", 2); // then TexturedBackground
    const std::string tail(100000, '\x7F');
    headless::TempFolder folder;
    folder.write("MX.INI", texts + std::string(10, '\0') + tail);
    Settings changed = loadSettings(folder.path());
    EXPECT_EQ(changed.TexturedBackground, 0x0102);
    changed.UseAbbreviations = -1;
    storeSettings(folder.path(), changed);
    EXPECT_EQ(folder.read("MX.INI"), texts + std::string(4, '\0') + "\xFF\xFF" + std::string(4, '\0') + tail);
}

} // namespace
} // namespace tb
