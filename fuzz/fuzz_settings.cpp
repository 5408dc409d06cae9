// MX.INI: the settings record read at start-up and written back by the settings window.
// Any file content must load, store back and keep every byte it does not own.

#include "core/foundation/file_error.h"
#include "core/foundation/settings.h"
#include "fuzz_support.h"

#include <cstdlib>

using namespace tb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The record itself: unpacking then packing gives back the first 140 bytes, zero-filled.
    const Settings unpacked = Settings::unpack(bytes);
    std::string expected(bytes.substr(0, Settings::RecordLength));
    expected.resize(Settings::RecordLength, '\0');
    if (unpacked.pack() != expected)
        std::abort();

    // The file: load, store the record changed, and the tail past byte 140 stays.
    const auto folder = fuzz::privateFolder().fresh("settings");
    fuzz::writeBytes(folder / "MX.INI", bytes);
    try {
        Settings s = loadSettings(folder);
        if (s.pack() != expected)
            std::abort();
        s.restoreDefaults();
        storeSettings(folder, s);
        const std::string after = fuzz::readBytes(folder / "MX.INI");
        if (after.size() != std::max(size, Settings::RecordLength))
            std::abort();
        if (after.substr(0, Settings::RecordLength) != s.pack())
            std::abort();
        if (size > Settings::RecordLength
            && after.substr(Settings::RecordLength) != bytes.substr(Settings::RecordLength))
            std::abort();
    } catch (const FileError&) {
        std::abort(); // a readable, writable file never fails
    }
    return 0;
}
