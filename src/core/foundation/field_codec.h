#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The one codec for the fields of the program's files: fixed-width Windows-1252 texts
// (blank-padded, one byte a character) and little-endian numbers.

namespace tb {

/// Cuts or blank-pads a text to `width` characters.
std::string fitWidth(std::string_view text, std::size_t width);
/// Appends `text` cut or blank-padded to `width` characters.
void putText(std::string& out, std::string_view text, std::size_t width);
/// Appends a 16-bit number, low byte first.
void putInt16(std::string& out, std::int16_t value);
/// Appends an IEEE double, low byte first.
void putFloat64(std::string& out, double value);
/// The 16-bit number at `offset` (two bytes must be there).
std::int16_t int16At(std::string_view bytes, std::size_t offset);
/// The IEEE double at `offset` (eight bytes must be there).
double float64At(std::string_view bytes, std::size_t offset);

/// Takes the fields of a record one after another; the record must hold them all.
class FieldReader final {
public:
    explicit FieldReader(std::string_view bytes)
        : bytes_(bytes)
    {
    }
    std::string text(std::size_t width);
    std::int16_t int16();
    double float64();

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

/// The length of a text without its trailing blanks.
std::size_t lengthWithoutTrailingBlanks(std::string_view text);
/// Removes outer blanks only; line breaks stay.
std::string stripBlanks(std::string_view text);
/// A text without its trailing blanks (and trailing NULs of a never-written record).
std::string trimmedRight(std::string_view text);
/// A field of a line of a text file without its outer blanks and tabs (and a trailing CR).
std::string_view trimBlanks(std::string_view text);

/// A copy with the ASCII letters a to z in upper case; other bytes stay.
std::string upperAscii(std::string text);
/// `c` in lower case when it is an ASCII letter A to Z; other bytes stay.
char lowerAscii(char c);
/// A copy with the ASCII letters A to Z in lower case; other bytes stay.
std::string lowerAscii(std::string_view text);
/// Case-insensitive comparison of two ASCII names.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

} // namespace tb
