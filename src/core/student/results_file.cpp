#include "core/student/results_file.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/file_error.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"

#include <charconv>
#include <ctime>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace tb {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {

constexpr std::size_t MaxNamePart = 40;
constexpr std::size_t MaxResultsFiles = 100000;
constexpr int MaxNameBumps = 1000;

const char* const QuestionHeader = "number,kind,correct answer,answer given,result,tries,diagnosis";

std::string timeText(Clock::time_point when, const char* format)
{
    const std::time_t seconds = Clock::to_time_t(when);
    std::tm local {};
    localtime_r(&seconds, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, format, &local);
    return text;
}

bool readTime(const std::string& text, Clock::time_point& out)
{
    std::tm local {};
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &local.tm_year, &local.tm_mon, &local.tm_mday,
            &local.tm_hour, &local.tm_min, &local.tm_sec)
        != 6)
        return false;
    // Dosarion writes today's date; a year far off would overflow the clock's nanoseconds.
    if (local.tm_year < 1970 || local.tm_year > 2200 || local.tm_mon < 1 || local.tm_mon > 12 || local.tm_mday < 1
        || local.tm_mday > 31 || local.tm_hour < 0 || local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59
        || local.tm_sec < 0 || local.tm_sec > 60)
        return false;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1))
        return false;
    out = Clock::from_time_t(seconds);
    return true;
}

std::string safePart(std::string_view text)
{
    std::string out;
    for (const char c : stripBlanks(text)) {
        if (out.size() == MaxNamePart)
            break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        out += plain ? c : '_';
    }
    return out.empty() ? std::string("_") : out;
}

// One CSV record from `text` at `at` (RFC 4180): fields, quotes doubled inside quotes.
std::vector<std::string> csvRecord(std::string_view text, std::size_t& at, bool& bad)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c == '"' && at < text.size() && text[at] == '"') {
                fields.back() += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
            return fields;
        } else if (c == '\n') {
            return fields;
        } else {
            fields.back() += c;
        }
    }
    bad = bad || quoted;
    return fields;
}

bool readInt(const std::string& text, int& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::string csvField(std::string_view cp1252)
{
    const std::string text = fromCp1252(cp1252);
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

int ResultsRecord::percent() const
{
    return total > 0 ? static_cast<int>(static_cast<long long>(score) * 100 / total) : 0;
}

std::string resultsCsv(const ResultsRecord& record)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(record.end - record.start).count();
    std::string out = "field,value\r\n";
    auto row = [&out](const char* field, const std::string& value) {
        out += std::string(field) + "," + csvField(value) + "\r\n";
    };
    row("student", record.student);
    row("way", record.way);
    row("test title", record.testTitle);
    row("file", record.testFile);
    row("version code", record.versionCode);
    row("start", timeText(record.start, "%Y-%m-%d %H:%M:%S"));
    row("end", timeText(record.end, "%Y-%m-%d %H:%M:%S"));
    row("duration seconds", formatInt(seconds < 0 ? 0 : seconds));
    row("score", formatInt(record.score));
    row("total", formatInt(record.total));
    row("percent", formatInt(record.percent()));
    row("pass mark", formatInt(record.passPercent));
    row("result", record.passed() ? "pass" : "fail");
    out += "\r\n";
    out += std::string(QuestionHeader) + "\r\n";
    for (const ResultRow& question : record.rows)
        out += formatInt(question.number) + "," + csvField(question.kind) + "," + csvField(question.correctAnswer) + ","
            + csvField(question.answerGiven) + "," + (question.right ? "right" : "wrong") + ","
            + formatInt(question.tries) + "," + csvField(question.diagnosis) + "\r\n";
    return out;
}

std::string resultsFileName(std::string_view student, std::string_view test, Clock::time_point start, long pid)
{
    return safePart(student) + "-" + safePart(test) + "-" + timeText(start, "%Y%m%d-%H%M%S") + "-" + formatInt(pid)
        + ".csv";
}

fs::path writeResults(const fs::path& dataFolder, const ResultsRecord& record, FaultHook* hook)
{
    const fs::path folder = dataFolder / ResultsFolderName;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw FileError(
            folder.string(), "The results folder \"" + folder.string() + "\" could not be made: " + ec.message() + ".");
    const std::string name
        = resultsFileName(record.student, record.testTitle, record.start, static_cast<long>(getpid()));
    fs::path target = folder / name;
    // Two results of one student and test in the same second of this process get "-2", "-3"...
    for (int bump = 2; fs::exists(target, ec) && bump < MaxNameBumps; ++bump)
        target = folder / (name.substr(0, name.size() - 4) + "-" + formatInt(bump) + ".csv");
    ScratchFile scratch(target, hook);
    scratch.append(resultsCsv(record));
    scratch.commit();
    return target;
}

bool canWriteResults(const fs::path& dataFolder, std::string& reason)
{
    const fs::path folder = dataFolder / ResultsFolderName;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        reason = "Results cannot be kept: the folder \"" + folder.string() + "\" could not be made (" + ec.message()
            + "). Practice still works; ask your teacher.";
        return false;
    }
    const fs::path probe = folder / (".write-check-" + formatInt(static_cast<long>(getpid())));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        reason = "Results cannot be kept: the folder \"" + folder.string()
            + "\" cannot be written. Practice still works; ask your teacher.";
        return false;
    }
    ::close(fd);
    fs::remove(probe, ec);
    reason.clear();
    return true;
}

ResultsRecord readResults(const fs::path& file)
{
    const std::string text = readWholeFile(file, MaxResultsFileBytes);
    const std::string name = file.filename().string();
    auto damaged = [&](const std::string& what) {
        return FileError(file.string(), "The results file \"" + name + "\" is damaged: " + what + ".");
    };
    ResultsRecord record;
    std::size_t at = 0;
    bool bad = false;
    if (csvRecord(text, at, bad) != std::vector<std::string> { "field", "value" })
        throw damaged("it does not start with \"field,value\"");
    int lines = 0;
    auto number = [&](const std::string& value, int& out) {
        if (!readInt(value, out))
            throw damaged("\"" + value + "\" is no number");
    };
    while (at < text.size()) {
        std::vector<std::string> fields = csvRecord(text, at, bad);
        if (fields.size() == 1 && fields[0].empty())
            break;
        if (fields.size() != 2 || ++lines > 100)
            throw damaged("a line of the header block is not \"field,value\"");
        const std::string& field = fields[0];
        const std::string value = toCp1252(fields[1]);
        if (field == "student")
            record.student = value;
        else if (field == "way")
            record.way = value;
        else if (field == "test title")
            record.testTitle = value;
        else if (field == "file")
            record.testFile = value;
        else if (field == "version code")
            record.versionCode = value;
        else if (field == "start" && !readTime(value, record.start))
            throw damaged("the start time is unreadable");
        else if (field == "end" && !readTime(value, record.end))
            throw damaged("the end time is unreadable");
        else if (field == "score")
            number(value, record.score);
        else if (field == "total")
            number(value, record.total);
        else if (field == "pass mark")
            number(value, record.passPercent);
    }
    if (at < text.size()) {
        std::vector<std::string> header = csvRecord(text, at, bad);
        if (header.size() != 7 || header[0] != "number")
            throw damaged("the question rows have no heading");
    }
    while (at < text.size()) {
        const std::vector<std::string> fields = csvRecord(text, at, bad);
        if (fields.size() != 7 || (fields[4] != "right" && fields[4] != "wrong"))
            throw damaged("a question row does not have its 7 fields");
        ResultRow row;
        number(fields[0], row.number);
        row.kind = toCp1252(fields[1]);
        row.correctAnswer = toCp1252(fields[2]);
        row.answerGiven = toCp1252(fields[3]);
        row.right = fields[4] == "right";
        number(fields[5], row.tries);
        row.diagnosis = toCp1252(fields[6]);
        record.rows.push_back(std::move(row));
    }
    if (bad)
        throw damaged("a quoted field is not closed");
    return record;
}

std::vector<ResultsRecord> sittingsOf(const fs::path& dataFolder, std::string_view student, std::string_view testTitle)
{
    std::vector<ResultsRecord> sittings;
    std::error_code ec;
    std::size_t seen = 0;
    const std::string wanted = upperAscii(stripBlanks(student));
    for (fs::directory_iterator it(dataFolder / ResultsFolderName, ec), end; !ec && it != end && seen < MaxResultsFiles;
         it.increment(ec), ++seen) {
        const std::string name = it->path().filename().string();
        if (name.size() < 4 || upperAscii(name.substr(name.size() - 4)) != ".CSV")
            continue;
        try {
            ResultsRecord record = readResults(it->path());
            if (record.way == "sit" && upperAscii(stripBlanks(record.student)) == wanted
                && record.testTitle == testTitle)
                sittings.push_back(std::move(record));
        } catch (const std::exception&) {
            // A damaged file is the teachers' results window's to report; it counts as no sitting.
        }
    }
    return sittings;
}

} // namespace tb
