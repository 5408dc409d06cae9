#include "core/drugdb/drug_record.h"

namespace tb {

std::string DrugRecord::pack() const
{
    std::string out;
    out.reserve(RecordLength);
    putText(out, GenericName, 30);
    putText(out, TradeName[0], 30);
    putText(out, TradeName[1], 30);
    putFloat64(out, DoseRangeLow);
    putInt16(out, DoseRangeLowUnit);
    putFloat64(out, DoseRangeHigh);
    putInt16(out, DoseRangeHighUnit);
    putFloat64(out, FluidIncrement);
    for (auto v : HalfTablet)
        putInt16(out, v);
    for (auto v : FormCode)
        putInt16(out, v);
    for (auto v : Strength)
        putFloat64(out, v);
    for (auto v : StrengthUnit)
        putInt16(out, v);
    for (auto v : Volume)
        putFloat64(out, v);
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

bool DrugRecord::isBlank() const
{
    std::string_view name = GenericName;
    for (char c : name)
        if (c != ' ' && c != '\0')
            return false;
    return true;
}

} // namespace tb
