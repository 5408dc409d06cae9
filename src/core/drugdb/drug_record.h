#pragma once

#include "core/foundation/field_codec.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tb {

/// Mass unit codes of a drug record: code k is prefix code k + 1.
enum MassUnitCode : std::int16_t { Kg = 0, Hg = 1, Dag = 2, G = 3, Dg = 4, Cg = 5, Mg = 6, Mcg = 7 };

/// Preparation-form codes: 0 and 1 (and anything outside 2..10) are solid forms.
enum FormCode : std::int16_t {
    Tablet = 0,
    Capsule = 1,
    Solution = 2,
    Suspension = 3,
    Syrup = 4,
    Emulsion = 5,
    LiquidForte = 6,
    Elixir = 7,
    IMInjection = 8,
    SCInjection = 9,
    IVInjection = 10
};

inline bool isFluidForm(std::int16_t form)
{
    return form >= 2 && form <= 10;
}

/// The prefix code (1..8) of a mass unit code, or 0 when the code is out of range.
inline int prefixOfMassUnit(std::int16_t unit)
{
    return unit >= 0 && unit <= 7 ? unit + 1 : 0;
}

/// How many mg one of a mass unit holds (kg 1000000 ... mcg 0.001); 0 when the code is out of
/// range.
inline double mgPerMassUnit(std::int16_t unit)
{
    constexpr std::array<double, 8> MgPer { 1e6, 1e5, 1e4, 1e3, 1e2, 10, 1, 1e-3 };
    return unit >= 0 && unit <= 7 ? MgPer[static_cast<std::size_t>(unit)] : 0.0;
}

/// One drug: a 240-byte record of MXDBASE.FIL. Texts are Windows-1252, held as read
/// (blank-padded); trimmedRight() gives them without their trailing blanks.
struct DrugRecord {
    static constexpr std::size_t RecordLength = 240;
    static constexpr int Slots = 5;

    std::string GenericName; // 30 characters in the file
    std::array<std::string, 2> TradeName; // 30 characters each
    double DoseRangeLow = 0.0;
    std::int16_t DoseRangeLowUnit = 0;
    double DoseRangeHigh = 0.0;
    std::int16_t DoseRangeHighUnit = 0;
    double FluidIncrement = 0.0;
    std::array<std::int16_t, Slots> HalfTablet {};
    std::array<std::int16_t, Slots> FormCode {};
    std::array<double, Slots> Strength {};
    std::array<std::int16_t, Slots> StrengthUnit {};
    std::array<double, Slots> Volume {};
    std::array<std::int16_t, Slots> VolumeUnit {};
    std::int16_t DrugCategory = 0;

    /// The record as its 240 file bytes: texts blank-padded, numbers little-endian.
    std::string pack() const;
    /// A record from file bytes; missing bytes read as zero.
    static DrugRecord unpack(std::string_view bytes);

    /// A blank record: generic name blank (all texts empty, all numbers 0).
    bool isBlank() const;
};

} // namespace tb
