#pragma once

#include <string>
#include <string_view>

namespace tb {

/// Converts UTF-8 text to Windows-1252 bytes. A character that Windows-1252
/// cannot hold (and any malformed UTF-8 sequence) becomes "?".
std::string toCp1252(std::string_view utf8);

/// Converts Windows-1252 bytes to UTF-8. The five bytes that Windows-1252 leaves
/// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of that value.
std::string fromCp1252(std::string_view bytes);

/// A file name from a file dialog as program text. A dialog may hand a name back as the file
/// system spells it (UTF-8); such a name is converted, a letter Windows-1252 lacks becoming
/// "?". A name that is not UTF-8 beyond ASCII is taken as it is.
std::string nameFromDialog(const std::string& dialogName);

/// True when the Unicode code point has a Windows-1252 byte.
bool cp1252Holds(char32_t codePoint);

/// The Windows-1252 byte of a code point, or '?' when there is none.
char cp1252Byte(char32_t codePoint);

/// The Unicode code point of a Windows-1252 byte.
char32_t cp1252CodePoint(unsigned char byte);

} // namespace tb
