#include "core/foundation/settings.h"

#include "core/foundation/field_codec.h"
#include "core/foundation/folder_lock.h"
#include "core/foundation/record_file.h"

namespace tb {

std::string Settings::pack() const
{
    std::string out;
    out.reserve(RecordLength);
    out += fitWidth(ReservedText1, 60);
    out += fitWidth(ReservedText2, 60);
    for (std::int16_t v : { Extra1, Extra2, Extra3, DisableAnimations, TexturedBackground, Extra4, Extra5,
             UseAbbreviations, AllMetricUnits, GenericAndTradeNames })
        putInt16(out, v);
    return out;
}

Settings Settings::unpack(std::string_view bytes)
{
    std::string record(bytes.substr(0, RecordLength));
    record.resize(RecordLength, '\0');
    Settings s;
    s.ReservedText1 = record.substr(0, 60);
    s.ReservedText2 = record.substr(60, 60);
    std::int16_t* fields[] = { &s.Extra1, &s.Extra2, &s.Extra3, &s.DisableAnimations, &s.TexturedBackground, &s.Extra4,
        &s.Extra5, &s.UseAbbreviations, &s.AllMetricUnits, &s.GenericAndTradeNames };
    std::size_t offset = 120;
    for (std::int16_t* f : fields) {
        *f = int16At(record, offset);
        offset += 2;
    }
    return s;
}

void Settings::restoreDefaults()
{
    Extra1 = 170;
    Extra2 = 72;
    Extra3 = 229;
    DisableAnimations = 0;
    TexturedBackground = 1;
    Extra4 = 31;
    Extra5 = 0;
    UseAbbreviations = 0;
    AllMetricUnits = 0;
    GenericAndTradeNames = 0;
}

Settings loadSettings(const std::filesystem::path& folder)
{
    // An existing file is only read (it may be read-only); a missing one is created
    // empty, as opening a record file for writing does.
    const auto path = findFile(folder, SettingsFileName);
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    // A folder this user cannot write keeps no settings file: every option is off, as with an
    // empty file, and nothing is created.
    if (!exists && folderWriteProblem(folder))
        return Settings::unpack("");
    RecordFile file(path, Settings::RecordLength, exists ? RecordFile::Mode::Read : RecordFile::Mode::ReadWrite);
    std::string record;
    file.read(1, record);
    file.close();
    return Settings::unpack(record);
}

void storeSettings(const std::filesystem::path& folder, const Settings& settings)
{
    RecordFile file(findFile(folder, SettingsFileName), Settings::RecordLength, RecordFile::Mode::ReadWrite);
    file.write(1, settings.pack());
    file.sync();
    file.close();
}

} // namespace tb
