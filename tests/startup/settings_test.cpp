#include "startup/settings.h"

#include "support/temp_folder.h"

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

} // namespace
} // namespace tb
