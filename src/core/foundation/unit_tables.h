#pragma once

#include <array>
#include <string>

namespace tb {

/// Carriage return + line feed: separates the lines of every multi-line text.
inline constexpr const char* LineBreak = "\r\n";

/// The micro sign and the no-break space as Windows-1252 bytes.
inline constexpr char MicroSign = '\xB5';
inline constexpr char NoBreakSpace = '\xA0';

/// The constant unit, measure and preparation tables. Texts are Windows-1252.
struct UnitTables {
    // Prefix code 1 kilo .. 4 bare base unit .. 8 micro; entry 0 left empty.
    std::array<std::string, 9> PrefixName;
    std::array<std::string, 9> PrefixSymbol;
    std::array<double, 9> PrefixFactor {};
    // Measure code 1 Volume, 2 Mass, 3 Length; entry 0 left empty.
    std::array<std::string, 4> MeasureName;
    std::array<std::string, 4> BaseUnitSymbol;
    std::array<std::string, 4> BaseUnitName;
    // Preparation-form code 0 tablet .. 10 liquid for IV Injection.
    std::array<std::string, 11> FormName;
    std::array<std::string, 11> RouteText;
};

/// The tables filled with their fixed contents.
UnitTables makeUnitTables();

} // namespace tb
