#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tb {

/// The 140-byte user settings record, record 1 of MX.INI.
struct Settings {
    std::string ReservedText1 = std::string(60, ' ');
    std::string ReservedText2 = std::string(60, ' ');
    std::int16_t Extra1 = 0;
    std::int16_t Extra2 = 0;
    std::int16_t Extra3 = 0;
    std::int16_t DisableAnimations = 0;
    std::int16_t TexturedBackground = 0;
    std::int16_t Extra4 = 0;
    std::int16_t Extra5 = 0;
    std::int16_t UseAbbreviations = 0;
    std::int16_t AllMetricUnits = 0;
    std::int16_t GenericAndTradeNames = 0;

    static constexpr std::size_t RecordLength = 140;

    /// The record as its 140 file bytes.
    std::string pack() const;
    /// The record from file bytes; missing bytes read as zero.
    static Settings unpack(std::string_view bytes);

    /// Sets the defaults of "&Restore Defaults"; the two texts stay as they are.
    void restoreDefaults();

    // How the generators read the options.
    bool abbreviationsOn() const { return UseAbbreviations != 0; }
    bool allMetricUnitsOn() const { return AllMetricUnits != 0; }
    bool genericAndTradeNamesOn() const { return GenericAndTradeNames == -1; }
};

/// The settings file's documented name.
inline constexpr const char* SettingsFileName = "MX.INI";

/// Reads record 1 of MX.INI in `folder`. A missing file is created empty and gives
/// a record of zeros; in a folder this user cannot write, nothing is created. Throws
/// FileError when the file exists but cannot be read.
Settings loadSettings(const std::filesystem::path& folder);

/// Writes the record as the first 140 bytes of MX.INI; any longer tail stays.
void storeSettings(const std::filesystem::path& folder, const Settings& settings);

} // namespace tb
