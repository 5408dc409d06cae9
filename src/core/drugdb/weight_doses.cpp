#include "core/drugdb/weight_doses.h"

#include "core/drugdb/drug_file.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/file_error.h"
#include "core/foundation/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <system_error>

namespace tb {

namespace {

namespace fs = std::filesystem;

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && sameNameIgnoringCase(text.substr(0, start.size()), start);
}

// A plain decimal number ("15", "0.15", "12.5"), the whole of `text`.
std::optional<double> plainNumber(std::string_view text)
{
    // Digits with at most one decimal point and three decimal places (0.015 mg/kg), as a chart
    // writes a dose: the line the editor writes back then reads as the same dose.
    text = trimmed(text);
    const std::size_t point = text.find('.');
    const bool digits
        = std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    if (!digits || text.empty() || text == "."
        || (point != std::string_view::npos
            && (text.find('.', point + 1) != std::string_view::npos || text.size() - point - 1 > 3)))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Splits at the first `count - 1` semicolons; the last field keeps the rest of the line.
std::vector<std::string_view> fields(std::string_view line, std::size_t count)
{
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const std::size_t at = line.find(';');
        if (at == std::string_view::npos)
            break;
        out.push_back(trimmed(line.substr(0, at)));
        line.remove_prefix(at + 1);
    }
    out.push_back(trimmed(line));
    return out;
}

bool parseRange(std::string_view text, WeightDose& dose, std::string& why)
{
    if (text.size() < 5 || !sameNameIgnoringCase(text.substr(text.size() - 5), "mg/kg")) {
        why = "the dose \"" + std::string(text) + "\" does not end in mg/kg";
        return false;
    }
    text = trimmed(text.substr(0, text.size() - 5));
    const std::size_t dash = text.find_first_of("-\x96");
    const std::optional<double> low = plainNumber(text.substr(0, dash));
    const std::optional<double> high = dash == std::string_view::npos ? low : plainNumber(text.substr(dash + 1));
    if (!low || !high) {
        why = "the dose \"" + std::string(text)
            + "\" is not a number (at most 3 decimal places) or a range such as 10-15";
        return false;
    }
    if (!(*low > 0) || *low > *high || *high > MaxDosePerKg) {
        why = "the dose range must lie above 0 and at most " + formatNumber(MaxDosePerKg)
            + " mg/kg, its low end no higher than its high end";
        return false;
    }
    dose.lowPerKg = *low;
    dose.highPerKg = *high;
    return true;
}

bool parseTiming(std::string_view text, WeightDose& dose, std::string& why)
{
    if (sameNameIgnoringCase(text, "per dose")) {
        dose.dosesPerDay = 0;
        return true;
    }
    constexpr std::string_view PerDay = "per day in ";
    constexpr std::string_view Doses = " doses";
    if (startsWithIgnoringCase(text, PerDay) && text.size() > PerDay.size() + Doses.size()
        && sameNameIgnoringCase(text.substr(text.size() - Doses.size()), Doses)) {
        const std::string_view count = text.substr(PerDay.size(), text.size() - PerDay.size() - Doses.size());
        int n = 0;
        const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), n);
        if (error == std::errc() && end == count.data() + count.size() && n >= 2 && n <= MaxDosesPerDay) {
            dose.dosesPerDay = n;
            return true;
        }
    }
    why = "\"" + std::string(text) + "\" is neither \"per dose\" nor \"per day in N doses\" with N from 2 to "
        + formatInt(MaxDosesPerDay);
    return false;
}

bool isComment(std::string_view line)
{
    line = trimmed(line);
    return line.empty() || line.front() == '#';
}

// The lines of a text, each without its line break; a last line without one counts too.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string shownName(const fs::path& path)
{
    return "\"" + toCp1252(path.string()) + "\"";
}

} // namespace

std::string formatWeightDose(const WeightDose& dose)
{
    std::string range = formatNumber(dose.lowPerKg);
    if (dose.highPerKg != dose.lowPerKg)
        range += "-" + formatNumber(dose.highPerKg);
    const std::string timing = dose.perDay() ? "per day in " + formatInt(dose.dosesPerDay) + " doses" : "per dose";
    return dose.genericName + "; " + range + " mg/kg; " + timing + "; " + dose.source;
}

std::optional<WeightDose> parseWeightDoseLine(std::string_view line, std::string& why)
{
    if (line.size() > MaxWeightDoseLine) {
        why = "the line is longer than " + formatInt(static_cast<long long>(MaxWeightDoseLine)) + " characters";
        return std::nullopt;
    }
    const std::vector<std::string_view> parts = fields(line, 4);
    if (parts.size() < 4) {
        why = "it has fewer than four parts separated by \";\" (name; dose mg/kg; per dose or per day in N doses; "
              "source)";
        return std::nullopt;
    }
    WeightDose dose;
    dose.genericName = std::string(parts[0]);
    if (dose.genericName.empty() || dose.genericName.size() > 30) {
        why = "the generic name must have 1 to 30 characters";
        return std::nullopt;
    }
    if (!parseRange(parts[1], dose, why) || !parseTiming(parts[2], dose, why))
        return std::nullopt;
    dose.source = std::string(parts[3]);
    if (dose.source.empty()) {
        why = "it names no source";
        return std::nullopt;
    }
    if (dose.source.size() > MaxWeightDoseSource) {
        why = "the source is longer than " + formatInt(static_cast<long long>(MaxWeightDoseSource)) + " characters";
        return std::nullopt;
    }
    return dose;
}

WeightDoseTable parseWeightDoses(std::string_view text, const std::string& fileName)
{
    WeightDoseTable table;
    table.present = true;
    int number = 0;
    for (const std::string_view line : linesOf(text)) {
        ++number;
        if (isComment(line))
            continue;
        const std::string where = fileName + ", line " + formatInt(number) + ": ";
        std::string why;
        std::optional<WeightDose> dose = parseWeightDoseLine(line, why);
        if (!dose) {
            table.problems.push_back(where + why + "; the line is skipped.");
            continue;
        }
        bool repeated = false;
        for (const WeightDose& earlier : table.doses)
            repeated = repeated || sameNameIgnoringCase(earlier.genericName, dose->genericName);
        if (repeated) {
            table.problems.push_back(where + dose->genericName + " has a line above already; the line is skipped.");
            continue;
        }
        table.doses.push_back(std::move(*dose));
    }
    return table;
}

WeightDoseTable readWeightDoses(const fs::path& folder)
{
    const fs::path path = findFile(folder, WeightDoseFileName);
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() == fs::file_type::not_found)
        return {};
    try {
        return parseWeightDoses(readWholeFile(path, MaxWeightDoseFileBytes), shownName(path));
    } catch (const FileError& e) {
        WeightDoseTable table;
        table.present = true;
        table.problems.push_back(e.what());
        return table;
    }
}

std::string replaceWeightDose(std::string_view text, std::string_view name, const std::optional<WeightDose>& dose)
{
    std::string out;
    bool placed = false;
    for (const std::string_view line : linesOf(text)) {
        std::string why;
        const std::optional<WeightDose> old = isComment(line) ? std::nullopt : parseWeightDoseLine(line, why);
        if (old && sameNameIgnoringCase(old->genericName, name)) {
            if (dose && !placed)
                out += formatWeightDose(*dose) + LineBreak;
            placed = true;
            continue;
        }
        out += std::string(line) + LineBreak;
    }
    if (dose && !placed)
        out += formatWeightDose(*dose) + LineBreak;
    return out;
}

void storeWeightDose(
    const fs::path& folder, std::string_view name, const std::optional<WeightDose>& dose, FaultHook* hook)
{
    const fs::path path = findFile(folder, WeightDoseFileName);
    std::error_code ec;
    std::string text;
    if (fs::symlink_status(path, ec).type() != fs::file_type::not_found)
        text = readWholeFile(path, MaxWeightDoseFileBytes);
    const std::string replaced = replaceWeightDose(text, name, dose);
    if (replaced.size() > MaxWeightDoseFileBytes)
        throw FileError(path.string(),
            "The file " + shownName(path) + " would grow beyond " + formatInt(MaxWeightDoseFileBytes / 1024)
                + " KB; remove lines of drugs no longer taught first.");
    writeFileAtomically(path, replaced, hook);
}

std::string weightDoseFilesStamp(const fs::path& folder)
{
    std::string stamp;
    for (const char* name : { WeightDoseFileName, DrugDataFileName }) {
        const fs::path path = findFile(folder, name);
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        const auto time = ec ? fs::file_time_type {} : fs::last_write_time(path, ec);
        stamp += ec ? std::string("-;")
                    : std::to_string(size) + "@" + std::to_string(time.time_since_epoch().count()) + ";";
    }
    return stamp;
}

MatchedWeightDoses matchWeightDoses(const fs::path& folder)
{
    const WeightDoseTable table = readWeightDoses(folder);
    MatchedWeightDoses matched;
    matched.present = table.present;
    matched.problems = table.problems;
    if (table.doses.empty())
        return matched;
    std::string data;
    const fs::path dataPath = findFile(folder, DrugDataFileName);
    try {
        data = readWholeFile(dataPath, MaxDrugFileBytes);
    } catch (const FileError& e) {
        matched.problems.push_back(e.what());
        return matched;
    }
    // Each line's name in upper case, once: the first record of that generic name is its drug.
    std::map<std::string, std::size_t> wanted;
    for (std::size_t i = 0; i < table.doses.size(); ++i)
        wanted.emplace(upperAscii(table.doses[i].genericName), i);
    std::vector<bool> found(table.doses.size(), false);
    const std::size_t records = data.size() / DrugRecord::RecordLength;
    for (std::size_t r = 0; r < records; ++r) {
        const std::string_view bytes = std::string_view(data).substr(r * DrugRecord::RecordLength, 30);
        const auto line = wanted.find(upperAscii(trimmedRight(bytes)));
        if (line == wanted.end() || found[line->second])
            continue;
        found[line->second] = true;
        const DrugRecord drug
            = DrugRecord::unpack(std::string_view(data).substr(r * DrugRecord::RecordLength, DrugRecord::RecordLength));
        matched.drugs.push_back({ table.doses[line->second], static_cast<int>(r) + 1, drug });
    }
    for (std::size_t i = 0; i < table.doses.size(); ++i)
        if (!found[i])
            matched.problems.push_back(shownName(findFile(folder, WeightDoseFileName))
                + ": the drug database has no drug " + table.doses[i].genericName + "; its dose per kg is not used.");
    return matched;
}

std::optional<double> highestDoseInMg(const DrugRecord& drug)
{
    const double mgPer = mgPerMassUnit(drug.DoseRangeHighUnit);
    if (mgPer == 0 || !std::isfinite(drug.DoseRangeHigh) || !(drug.DoseRangeHigh > 0))
        return std::nullopt;
    return drug.DoseRangeHigh * mgPer;
}

std::string weightDosesUnavailable(const MatchedWeightDoses& matched)
{
    if (!matched.present)
        return "There is no file of doses per kg (" + std::string(WeightDoseFileName)
            + ") in the data folder: enter a drug's dose per kg in the drug database editor (Weight Dose).";
    for (const WeightDoseDrug& drug : matched.drugs)
        if (highestDoseInMg(drug.drug))
            return {};
    return "The file of doses per kg (" + std::string(WeightDoseFileName)
        + ") names no drug of the drug database with a highest single dose in a known unit.";
}

std::string weightDoseBoxTip(const MatchedWeightDoses& matched)
{
    constexpr std::size_t ShownProblems = 5;
    std::string tip = weightDosesUnavailable(matched);
    if (tip.empty()) {
        const std::size_t count = matched.drugs.size();
        tip = "Doses per kg of " + formatInt(static_cast<long long>(count)) + (count == 1 ? " drug" : " drugs")
            + " from " + WeightDoseFileName + ".";
    }
    for (std::size_t i = 0; i < matched.problems.size() && i < ShownProblems; ++i)
        tip += LineBreak + matched.problems[i];
    if (matched.problems.size() > ShownProblems)
        tip += LineBreak + formatInt(static_cast<long long>(matched.problems.size() - ShownProblems)) + " more lines "
            + "are not used.";
    return tip;
}

} // namespace tb
