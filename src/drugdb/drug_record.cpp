#include "drugdb/drug_record.h"

#include <bit>
#include <cstring>

namespace tb {

namespace {

void putText(std::string& out, std::string_view text, std::size_t width)
{
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    out += s;
}

void putInt16(std::string& out, std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

void putDouble(std::string& out, double v)
{
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

} // namespace

std::int16_t int16At(std::string_view bytes, std::size_t offset)
{
    const auto lo = static_cast<unsigned char>(bytes[offset]);
    const auto hi = static_cast<unsigned char>(bytes[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

double float64At(std::string_view bytes, std::size_t offset)
{
    std::uint64_t bits = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&bits, bytes.data() + offset, sizeof bits);
    } else {
        for (std::size_t i = 0; i < 8; ++i)
            bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    }
    return std::bit_cast<double>(bits);
}

namespace {

// Reads fields one by one from a record buffer of exactly 240 bytes.
class FieldReader {
public:
    explicit FieldReader(const std::string& bytes)
        : bytes_(bytes)
    {
    }

    std::string text(std::size_t width)
    {
        std::string s = bytes_.substr(pos_, width);
        pos_ += width;
        return s;
    }
    std::int16_t int16()
    {
        pos_ += 2;
        return int16At(bytes_, pos_ - 2);
    }
    double float64()
    {
        pos_ += 8;
        return float64At(bytes_, pos_ - 8);
    }

private:
    const std::string& bytes_;
    std::size_t pos_ = 0;
};

} // namespace

std::string DrugRecord::pack() const
{
    std::string out;
    out.reserve(RecordLength);
    putText(out, GenericName, 30);
    putText(out, TradeName[0], 30);
    putText(out, TradeName[1], 30);
    putDouble(out, DoseRangeLow);
    putInt16(out, DoseRangeLowUnit);
    putDouble(out, DoseRangeHigh);
    putInt16(out, DoseRangeHighUnit);
    putDouble(out, FluidIncrement);
    for (auto v : HalfTablet)
        putInt16(out, v);
    for (auto v : FormCode)
        putInt16(out, v);
    for (auto v : Strength)
        putDouble(out, v);
    for (auto v : StrengthUnit)
        putInt16(out, v);
    for (auto v : Volume)
        putDouble(out, v);
    for (auto v : VolumeUnit)
        putInt16(out, v);
    putInt16(out, DrugCategory);
    return out;
}

DrugRecord DrugRecord::unpack(std::string_view bytes)
{
    std::string record(bytes.substr(0, RecordLength));
    record.resize(RecordLength, '\0');
    FieldReader in(record);
    DrugRecord r;
    r.GenericName = in.text(30);
    r.TradeName[0] = in.text(30);
    r.TradeName[1] = in.text(30);
    r.DoseRangeLow = in.float64();
    r.DoseRangeLowUnit = in.int16();
    r.DoseRangeHigh = in.float64();
    r.DoseRangeHighUnit = in.int16();
    r.FluidIncrement = in.float64();
    for (auto& v : r.HalfTablet)
        v = in.int16();
    for (auto& v : r.FormCode)
        v = in.int16();
    for (auto& v : r.Strength)
        v = in.float64();
    for (auto& v : r.StrengthUnit)
        v = in.int16();
    for (auto& v : r.Volume)
        v = in.float64();
    for (auto& v : r.VolumeUnit)
        v = in.int16();
    r.DrugCategory = in.int16();
    return r;
}

std::string trimmedRight(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0'))
        --end;
    return std::string(text.substr(0, end));
}

bool DrugRecord::isBlank() const
{
    std::string_view name = GenericName;
    for (char c : name)
        if (c != ' ' && c != '\0')
            return false;
    return true;
}

} // namespace tb
