#include "core/drugdb/index_files.h"

#include "core/foundation/file_error.h"
#include "core/foundation/record_file.h"

#include <charconv>

namespace tb {

namespace {

// Splits a text file into lines at CR LF; a lone LF or a lone CR ends a line too, so
// files that passed through other systems read the same.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

[[noreturn]] void parseError(const std::string& fileName, int line, const std::string& what)
{
    throw FileError(fileName,
        "The file \"" + fileName + "\" cannot be read: line " + std::to_string(line) + " " + what + ".", line);
}

// A whole number that fits 16 bits; anything else is reported with its line.
std::int16_t parseInt16(std::string_view field, const std::string& fileName, int line, const char* what)
{
    field = trimBlanks(field);
    if (!field.empty() && field.front() == '+')
        field.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    const bool allDigits = !field.empty() && end == field.data() + field.size();
    if (!allDigits || (ec != std::errc() && ec != std::errc::result_out_of_range))
        parseError(fileName, line, "should hold " + std::string(what) + " as a whole number");
    if (ec == std::errc::result_out_of_range || value < -32768 || value > 32767)
        parseError(fileName, line, "holds " + std::string(what) + " outside the range -32768 to 32767");
    return static_cast<std::int16_t>(value);
}

// Line 1 of every one of the three files: the count, an empty line reading as 0.
int parseCount(const std::vector<std::string_view>& lines, const std::string& fileName)
{
    if (lines.empty() || trimBlanks(lines[0]).empty())
        return 0;
    const int count = parseInt16(lines[0], fileName, 1, "the number of entries");
    if (count < 0)
        parseError(fileName, 1, "holds a negative number of entries");
    if (lines.size() < static_cast<std::size_t>(count) + 1)
        parseError(fileName, static_cast<int>(lines.size()) + 1,
            "is missing: line 1 announces " + std::to_string(count) + " entries but only "
                + std::to_string(lines.size() - 1) + " follow");
    return count;
}

} // namespace

DrugIndex parseIndexFile(std::string_view text, const std::string& fileName)
{
    const auto lines = splitLines(text);
    const int count = parseCount(lines, fileName);
    DrugIndex index;
    index.count = static_cast<std::int16_t>(count);
    index.record.assign(static_cast<std::size_t>(count) + 1, 0);
    index.category.assign(static_cast<std::size_t>(count) + 1, 0);
    for (int i = 1; i <= count; ++i) {
        const std::string_view line = lines[static_cast<std::size_t>(i)];
        const auto comma = line.find(',');
        if (comma == std::string_view::npos)
            parseError(fileName, i + 1, "should hold a record number, a comma and a category code");
        const auto record = parseInt16(line.substr(0, comma), fileName, i + 1, "a record number");
        if (record < 1)
            parseError(fileName, i + 1, "holds the record number " + std::to_string(record) + ", which is below 1");
        index.record[static_cast<std::size_t>(i)] = record;
        index.category[static_cast<std::size_t>(i)]
            = parseInt16(line.substr(comma + 1), fileName, i + 1, "a category code");
    }
    return index;
}

CategoryTables parseCategoryFile(std::string_view text, const std::string& fileName)
{
    const auto lines = splitLines(text);
    if (!lines.empty() && !trimBlanks(lines[0]).empty()) {
        const int announced = parseInt16(lines[0], fileName, 1, "the number of categories");
        if (announced > MaxCategories)
            parseError(fileName, 1,
                "announces " + std::to_string(announced) + " categories; at most " + std::to_string(MaxCategories)
                    + " are possible");
    }
    const int count = parseCount(lines, fileName);
    CategoryTables tables;
    tables.CategoryCount = count;
    for (int k = 1; k <= count; ++k) {
        std::string_view line = trimBlanks(lines[static_cast<std::size_t>(k)]);
        std::string_view name;
        std::string_view rest;
        if (!line.empty() && line.front() == '"') {
            const auto close = line.find('"', 1);
            if (close == std::string_view::npos)
                parseError(fileName, k + 1, "has a category name without its closing quote");
            name = line.substr(1, close - 1);
            rest = trimBlanks(line.substr(close + 1));
            if (rest.empty() || rest.front() != ',')
                parseError(fileName, k + 1, "should hold a comma after the category name");
            rest.remove_prefix(1);
        } else {
            const auto comma = line.find(',');
            if (comma == std::string_view::npos)
                parseError(fileName, k + 1, "should hold a category name, a comma and a category code");
            name = trimBlanks(line.substr(0, comma));
            rest = line.substr(comma + 1);
        }
        tables.CategoryName[static_cast<std::size_t>(k)] = fitCategoryName(name);
        tables.CategoryCode[static_cast<std::size_t>(k)] = parseInt16(rest, fileName, k + 1, "a category code");
    }
    return tables;
}

CategoryTables loadCategories(const std::filesystem::path& folder)
{
    const auto path = findFile(folder, CategoryFileName);
    return parseCategoryFile(readWholeFile(path, MaxCategoryFileBytes), path.filename().string());
}

std::string indexFileText(const std::vector<IndexEntry>& entries)
{
    std::string text = entries.empty() ? std::string() : std::to_string(entries.size());
    text += "\r\n";
    for (const auto& [record, category] : entries)
        text += std::to_string(record) + "," + std::to_string(category) + "\r\n";
    return text;
}

namespace {
constexpr std::string_view JournalFirstLine = "Tutor Bench index rebuild\r\n";
}

std::string rebuildJournalText(std::string_view categoryFileText)
{
    return std::string(JournalFirstLine) + std::string(categoryFileText);
}

CategoryTables parseRebuildJournal(std::string_view text, const std::string& fileName)
{
    if (!text.starts_with(JournalFirstLine))
        parseError(fileName, 1, "is not the first line of a rebuild journal");
    return parseCategoryFile(text.substr(JournalFirstLine.size()), fileName);
}

std::string storableCategoryName(std::string_view name)
{
    std::string s = fitCategoryName(name);
    for (char& c : s) {
        if (c == '"')
            c = '\'';
        else if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return s;
}

std::string categoryFileText(const CategoryTables& categories, const std::vector<bool>& used)
{
    int usedCount = 0;
    std::string lines;
    for (std::size_t c = 1; c < used.size() && c <= static_cast<std::size_t>(MaxCategories); ++c) {
        if (!used[c])
            continue;
        ++usedCount;
        lines += "\"" + storableCategoryName(categories.CategoryName[c]) + "\","
            + std::to_string(categories.CategoryCode[c]) + "\r\n";
    }
    return std::to_string(usedCount) + "\r\n" + lines;
}

} // namespace tb
