#include "core/foundation/unit_tables.h"

namespace tb {

UnitTables makeUnitTables()
{
    UnitTables t;
    t.FormName = { "tablet", "capsule", "solution", "suspension", "Syrup", "emulsion", "liquid forte ", "elixir",
        "liquid for IM Injection", "liquid for SC Injection", "liquid for IV Injection" };
    t.RouteText = { "", "", "orally", "orally", "orally", "orally", "orally", "orally", "by intramuscular injection",
        "by subcutaneous injection", "intravenously" };
    t.PrefixName = { "", "kilo", "hecto", "deka", "", "deci", "centi", "milli", "micro" };
    t.PrefixSymbol = { "", "k", "h", "da", "", "d", "c", "m", std::string(1, MicroSign) };
    t.PrefixFactor = { 0.0, 1000.0, 100.0, 10.0, 1.0, 0.1, 0.01, 0.001, 0.000001 };
    t.MeasureName = { "", "Volume", "Mass", "Length" };
    t.BaseUnitSymbol = { "", "L", "g", "m" };
    t.BaseUnitName = { "", "litre", "gram", "metre" };
    return t;
}

} // namespace tb
