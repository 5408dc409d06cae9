// mxweight.txt: the side file of doses per kg that a teacher edits by hand or copies between
// folders. Any text must parse without failing; every line it accepts must write back as a line
// that reads as the same dose; and replacing one drug's line keeps every other line.

#include "core/drugdb/weight_doses.h"
#include "fuzz_support.h"

#include <cstdlib>

using namespace tb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const WeightDoseTable table = parseWeightDoses(text, "mxweight.txt");

    for (const WeightDose& dose : table.doses) {
        if (dose.highPerKg < dose.lowPerKg || dose.lowPerKg <= 0 || dose.highPerKg > MaxDosePerKg)
            std::abort();
        if (dose.dosesPerDay != 0 && (dose.dosesPerDay < 2 || dose.dosesPerDay > MaxDosesPerDay))
            std::abort();
        std::string why;
        const std::optional<WeightDose> back = parseWeightDoseLine(formatWeightDose(dose), why);
        if (!back || *back != dose)
            std::abort();
    }

    // Removing the first drug's line and putting it back leaves one line for it and the same
    // number of usable lines.
    if (!table.doses.empty()) {
        const WeightDose& first = table.doses.front();
        const std::string without = replaceWeightDose(text, first.genericName, std::nullopt);
        const std::string with = replaceWeightDose(without, first.genericName, first);
        const WeightDoseTable after = parseWeightDoses(with, "mxweight.txt");
        std::size_t named = 0;
        for (const WeightDose& dose : after.doses)
            named += dose.genericName == first.genericName ? 1 : 0;
        if (named != 1)
            std::abort();
    }
    return 0;
}
