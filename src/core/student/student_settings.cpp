#include "core/student/student_settings.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"

#include <charconv>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MaxSideFileBytes = 64 * 1024;
constexpr std::string_view SideFileEnding = ".student.txt";
constexpr std::string_view ExtraTimeKey = "extra time ";

bool readWhole(std::string_view text, int low, int high, int& out)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

} // namespace

fs::path studentSettingsPath(const fs::path& testFile, bool versionSet)
{
    std::string base = testFile.stem().string();
    if (versionSet && base.size() > 3 && base[base.size() - 3] == '-')
        base.resize(base.size() - 3);
    return findFile(testFile.parent_path(), base + std::string(SideFileEnding));
}

StudentSettingsRead parseStudentSettings(std::string_view text, const std::string& fileName)
{
    StudentSettingsRead read;
    read.found = true;
    StudentSettings& settings = read.settings;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string line = stripBlanks(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#')
            continue;
        auto problem = [&](const std::string& what) {
            read.problems.push_back(
                "Line " + formatInt(lineNumber) + " of \"" + fileName + "\" was skipped: " + what + ".");
        };
        const std::size_t equals = line.rfind('=');
        if (equals == std::string::npos) {
            problem("it has no \"=\"");
            continue;
        }
        const std::string key = lowerAscii(stripBlanks(line.substr(0, equals)));
        const std::string value = stripBlanks(line.substr(equals + 1));
        if (key == "mode") {
            if (lowerAscii(value) == "practise" || lowerAscii(value) == "practice")
                settings.mode = StudentMode::Practise;
            else if (lowerAscii(value) == "sit")
                settings.mode = StudentMode::Sit;
            else
                problem("the mode is \"practise\" or \"sit\"");
        } else if (key == "tries") {
            if (!readWhole(value, 1, 9, settings.tries))
                problem("tries is a whole number from 1 to 9");
        } else if (key == "attempts") {
            if (!readWhole(value, 1, 99, settings.attempts))
                problem("attempts is a whole number from 1 to 99");
        } else if (key == "minutes per question") {
            if (!readWhole(value, 0, 60, settings.minutesPerQuestion))
                problem("minutes per question is a whole number from 0 to 60");
        } else if (key == "pass mark") {
            if (!readWhole(value, 0, 100, settings.passPercent))
                problem("the pass mark is a whole percent from 0 to 100");
        } else if (key.rfind(ExtraTimeKey, 0) == 0 && key.size() > ExtraTimeKey.size()) {
            int percent = 0;
            const std::string name = stripBlanks(line.substr(ExtraTimeKey.size(), equals - ExtraTimeKey.size()));
            if (!readWhole(value, 1, 400, percent))
                problem("extra time is a whole percent from 1 to 400");
            else
                settings.extraTime[toCp1252(name)] = percent;
        } else {
            problem("\"" + stripBlanks(line.substr(0, equals)) + "\" is no setting");
        }
    }
    return read;
}

StudentSettingsRead readStudentSettings(const fs::path& sideFile)
{
    std::error_code ec;
    if (!fs::exists(sideFile, ec))
        return {};
    const std::string name = sideFile.filename().string();
    try {
        return parseStudentSettings(readWholeFile(sideFile, MaxSideFileBytes), name);
    } catch (const std::exception& error) {
        StudentSettingsRead read;
        read.found = true;
        read.problems.push_back(
            "The student settings in \"" + name + "\" were not read, the defaults are used: " + error.what());
        return read;
    }
}

std::string studentSettingsText(const StudentSettings& settings)
{
    std::string text = "# Dosarion's settings for this test: one \"key = value\" a line.\n";
    text += std::string("mode = ") + (settings.mode == StudentMode::Sit ? "sit" : "practise") + "\n";
    text += "tries = " + formatInt(settings.tries) + "\n";
    text += "attempts = " + formatInt(settings.attempts) + "\n";
    text += "minutes per question = " + formatInt(settings.minutesPerQuestion) + "\n";
    text += "pass mark = " + formatInt(settings.passPercent) + "\n";
    for (const auto& [name, percent] : settings.extraTime) {
        // A name is one line and cannot hold the "=" that ends it.
        std::string clean;
        for (const char c : fromCp1252(name))
            clean += (c == '\r' || c == '\n' || c == '=') ? ' ' : c;
        if (!stripBlanks(clean).empty())
            text += std::string(ExtraTimeKey) + stripBlanks(clean) + " = " + formatInt(percent) + "\n";
    }
    return text;
}

void writeStudentSettings(const fs::path& sideFile, const StudentSettings& settings, FaultHook* hook)
{
    writeFileAtomically(sideFile, studentSettingsText(settings), hook);
}

int sittingMinutes(const StudentSettings& settings, int questions, const std::string& student)
{
    if (settings.minutesPerQuestion <= 0 || questions <= 0)
        return 0;
    const long long base = static_cast<long long>(settings.minutesPerQuestion) * questions;
    const auto extra = settings.extraTime.find(stripBlanks(student));
    if (extra == settings.extraTime.end())
        return static_cast<int>(base);
    return static_cast<int>((base * (100 + extra->second) + 99) / 100);
}

} // namespace tb
