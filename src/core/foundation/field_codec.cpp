#include "core/foundation/field_codec.h"

#include <bit>
#include <cstring>

namespace tb {

std::string fitWidth(std::string_view text, std::size_t width)
{
    std::string fitted(text.substr(0, width));
    fitted.resize(width, ' ');
    return fitted;
}

void putText(std::string& out, std::string_view text, std::size_t width)
{
    const std::string_view kept = text.substr(0, width);
    out.append(kept);
    out.append(width - kept.size(), ' ');
}

void putInt16(std::string& out, std::int16_t value)
{
    const auto u = static_cast<std::uint16_t>(value);
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

void putFloat64(std::string& out, double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

std::int16_t int16At(std::string_view bytes, std::size_t offset)
{
    const auto lo = static_cast<unsigned char>(bytes[offset]);
    const auto hi = static_cast<unsigned char>(bytes[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

double float64At(std::string_view bytes, std::size_t offset)
{
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return std::bit_cast<double>(bits);
}

std::string FieldReader::text(std::size_t width)
{
    std::string s(bytes_.substr(pos_, width));
    pos_ += width;
    return s;
}

std::int16_t FieldReader::int16()
{
    pos_ += 2;
    return int16At(bytes_, pos_ - 2);
}

double FieldReader::float64()
{
    pos_ += 8;
    return float64At(bytes_, pos_ - 8);
}

std::size_t lengthWithoutTrailingBlanks(std::string_view text)
{
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? 0 : last + 1;
}

std::string stripBlanks(std::string_view text)
{
    const std::size_t end = lengthWithoutTrailingBlanks(text);
    if (end == 0)
        return {};
    const auto first = text.find_first_not_of(' ');
    return std::string(text.substr(first, end - first));
}

std::string trimmedRight(std::string_view text)
{
    const auto last = text.find_last_not_of(std::string_view(" \0", 2));
    return std::string(text.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string upperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(std::string(a)) == upperAscii(std::string(b));
}

} // namespace tb
