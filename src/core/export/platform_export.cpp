#include "core/export/platform_export.h"

#include "core/export/platform_xml.h"

#include "core/export/diagnosis.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <sstream>

namespace tb {

namespace {

struct FormatFile {
    PlatformFormat format;
    const char* extension;
};
constexpr std::array<FormatFile, 4> FormatFiles { {
    { PlatformFormat::MoodleXml, ".xml" },
    { PlatformFormat::Gift, ".txt" },
    { PlatformFormat::QtiPackage, ".zip" },
    { PlatformFormat::CanvasQuiz, ".zip" },
} };

bool endsWithIgnoringCase(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    text.remove_prefix(text.size() - ending.size());
    for (std::size_t i = 0; i < ending.size(); ++i) {
        const char c = text[i];
        if (lowerAscii(c) != ending[i])
            return false;
    }
    return true;
}

// A stored text (Windows-1252, CR LF line breaks, blank-padded) as the platforms get it:
// UTF-8, "\n" line breaks, each line's trailing blanks and the blank lines around the text
// removed. Control characters that XML cannot carry are dropped; tabs stay.
std::string platformText(std::string_view stored)
{
    std::string text;
    text.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n')
            continue;
        if (c == '\r' || c == '\n') {
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            text += '\n';
        } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
            text += c;
        }
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && text[first] == '\n')
        ++first;
    return fromCp1252(text.substr(first));
}

} // namespace

PlatformTarget platformTarget(std::string_view name, int filterIndex)
{
    const std::size_t chosen = filterIndex >= 1 && filterIndex <= static_cast<int>(FormatFiles.size())
        ? static_cast<std::size_t>(filterIndex - 1)
        : 0;
    const FormatFile& selected = FormatFiles[chosen];
    for (const FormatFile& file : FormatFiles)
        if (endsWithIgnoringCase(name, file.extension)) {
            // Both packages are .zip files: the filter selected tells which one is meant.
            const bool selectedKind = std::string_view(file.extension) == selected.extension;
            return { std::string(name), selectedKind ? selected.format : file.format };
        }
    return { std::string(name) + selected.extension, selected.format };
}

PlatformTest platformTest(std::string_view title, const std::vector<QuestionRecord>& records)
{
    PlatformTest test;
    test.title = platformText(stripBlanks(title));
    if (test.title.empty())
        test.title = "untitled";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const QuestionRecord& record = records[i];
        const std::string number = formatInt(static_cast<long long>(i + 1));
        double value = 0;
        if (!storedAnswerValue(record.answerText, value))
            throw ExportError("Question " + number + " has no number as its answer (\""
                + fromCp1252(stripBlanks(record.answerText))
                + "\"). Every question needs one to become a numeric question.");
        PlatformQuestion question;
        question.name = test.title + " Q" + number;
        question.text = platformText(record.questionText);
        question.solution = platformText(record.solutionText);
        question.answerText = platformNumber(value);
        question.rule = answerRule(toleranceStyle(questionKind(record.questionText)), value);
        test.questions.push_back(std::move(question));
    }
    return test;
}

double storedValue(const PlatformQuestion& question)
{
    double value = question.rule.centre;
    storedAnswerValue(question.answerText, value);
    return value;
}

std::string platformNumber(double value)
{
    // The general format's digits, with a scientific form written out as a plain decimal.
    const std::string general = formatNumber(value);
    const std::size_t e = general.find('E');
    if (e == std::string::npos)
        return general;
    std::string digits;
    for (std::size_t i = 0; i < e; ++i)
        if (general[i] >= '0' && general[i] <= '9')
            digits += general[i];
    int exponent = 0;
    const char* first = general.data() + e + 1;
    if (*first == '+')
        ++first;
    std::from_chars(first, general.data() + general.size(), exponent);
    const std::string sign = general.front() == '-' ? "-" : "";
    if (exponent < 0)
        return sign + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole)
        return sign + digits + std::string(whole - digits.size(), '0');
    return sign + digits.substr(0, whole) + "." + digits.substr(whole);
}

std::string exportKey(const PlatformTest& test)
{
    // FNV-1a (64 bits) over the title and every question's texts and answer, each field
    // closed by a zero byte so that no two different tests give the same stream.
    std::uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](std::string_view field) {
        for (const char c : field) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
        hash *= 1099511628211ull; // the zero byte
    };
    add(test.title);
    for (const PlatformQuestion& question : test.questions) {
        add(question.text);
        add(question.solution);
        add(question.answerText);
    }
    // The top 60 bits as 12 characters of lower-case base 32 (no i, l, o or u).
    constexpr std::string_view Alphabet = "0123456789abcdefghjkmnpqrstvwxyz";
    std::string key;
    for (int shift = 59; shift >= 4; shift -= 5)
        key += Alphabet[(hash >> shift) & 31u];
    return key;
}

namespace {

double readBack(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Whether a number of at most 4 decimals lies from `lower` to `upper`.
bool holdsFourDecimalNumber(double lower, double upper)
{
    if (!(lower <= upper))
        return false;
    if (upper - lower >= 0.0001)
        return true;
    const double scaled = std::floor(lower * 10000);
    if (!(std::abs(scaled) < 1e15))
        return true; // a double this large holds no decimals to round away
    // The band is narrower than one step: the steps just around its lower end decide.
    for (double step = scaled - 1; step <= scaled + 2; ++step) {
        const double candidate = step / 10000;
        if (candidate >= lower && candidate <= upper)
            return true;
    }
    return false;
}

} // namespace

std::vector<std::size_t> canvasUnreachable(const PlatformTest& test)
{
    std::vector<std::size_t> numbers;
    for (std::size_t i = 0; i < test.questions.size(); ++i) {
        const AnswerRule& rule = test.questions[i].rule;
        // The bounds as Canvas reads them from the file.
        if (!holdsFourDecimalNumber(readBack(platformNumber(rule.lower)), readBack(platformNumber(rule.upper))))
            numbers.push_back(i + 1);
    }
    return numbers;
}

void appendQuestionHtml(pugi::xml_node parent, const PlatformQuestion& question)
{
    pugi::xml_node paragraph = parent.append_child("p");
    std::size_t start = 0;
    while (true) {
        const std::size_t end = question.text.find('\n', start);
        const std::string line = question.text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty())
            paragraph.append_child(pugi::node_pcdata).set_value(line.c_str());
        if (end == std::string::npos)
            break;
        paragraph.append_child("br");
        start = end + 1;
    }
    if (question.rule.statesDecimals)
        parent.append_child("p").text().set(TwoDecimalsSentence);
}

void appendSolutionHtml(pugi::xml_node parent, const PlatformQuestion& question)
{
    parent.append_child("pre").text().set(question.solution.c_str());
}

pugi::xml_node rootElement(pugi::xml_document& document, const char* name, const char* ns, const char* schema)
{
    pugi::xml_node root = document.append_child(name);
    root.append_attribute("xmlns") = ns;
    root.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    root.append_attribute("xsi:schemaLocation") = schema;
    return root;
}

std::string xmlText(const pugi::xml_document& document, bool declaration)
{
    std::ostringstream out;
    if (declaration) {
        pugi::xml_document declared;
        pugi::xml_node node = declared.append_child(pugi::node_declaration);
        node.append_attribute("version") = "1.0";
        node.append_attribute("encoding") = "UTF-8";
        for (pugi::xml_node child : document.children())
            declared.append_copy(child);
        declared.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    } else {
        document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    }
    return out.str();
}

std::string questionHtml(const PlatformQuestion& question)
{
    pugi::xml_document html;
    appendQuestionHtml(html, question);
    return xmlText(html, false);
}

std::string solutionHtml(const PlatformQuestion& question)
{
    pugi::xml_document html;
    appendSolutionHtml(html, question);
    return xmlText(html, false);
}

std::string giftEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '~':
        case '=':
        case '#':
        case '{':
        case '}':
        case ':':
        case '\\':
            out += '\\';
            out += c;
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string moodleName(std::string_view text)
{
    // Moodle removes whatever looks like a tag ("<1>") from names: the angle brackets become
    // the single angle quotation marks, which read the same and survive.
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '<')
            out += "\xE2\x80\xB9"; // U+2039
        else if (c == '>')
            out += "\xE2\x80\xBA"; // U+203A
        else
            out += c;
    }
    return out;
}

std::string categoryName(const std::string& title)
{
    // Moodle's own escaping: "/" separates categories, so the title's "/" is doubled, and a
    // name that would begin or end with it is padded with a blank, which Moodle trims away.
    std::string name;
    for (const char c : moodleName(title))
        name += c == '/' ? std::string("//") : std::string(1, c);
    if (!name.empty() && name.front() == '/')
        name.insert(0, 1, ' ');
    if (!name.empty() && name.back() == '/')
        name += ' ';
    return "$course$/top/" + name;
}

std::string giftText(const PlatformTest& test)
{
    // Each question is one line: a blank line ends a question and "//" starts a comment, so
    // line breaks inside the texts travel as "\n".
    std::string out = "// " + test.title + "\n\n$CATEGORY: " + categoryName(test.title) + "\n\n";
    for (const PlatformQuestion& question : test.questions) {
        const AnswerRule& rule = question.rule;
        // With typical errors the answers are listed: the right one, then each error at 0 %
        // with its feedback.
        const std::vector<WrongAnswer> wrong = typicalWrongAnswers(question.text, rule, storedValue(question));
        std::string answers = platformNumber(rule.centre) + ":" + platformNumber(rule.tolerance);
        if (!wrong.empty())
            answers.insert(0, "=");
        for (const WrongAnswer& other : wrong)
            answers += " =%0%" + platformNumber(other.value) + ":" + platformNumber(other.tolerance) + "#"
                + giftEscape(other.diagnosis.text);
        out += "::" + giftEscape(moodleName(question.name)) + "::[html]" + giftEscape(questionHtml(question)) + "{#"
            + answers + (wrong.empty() ? "" : " ") + "####[html]" + giftEscape(solutionHtml(question)) + "}\n\n";
    }
    return out;
}

std::string platformExport(PlatformFormat format, const PlatformTest& test)
{
    switch (format) {
    case PlatformFormat::Gift:
        return giftText(test);
    case PlatformFormat::QtiPackage:
        return qtiPackage(test);
    case PlatformFormat::CanvasQuiz:
        return canvasPackage(test);
    case PlatformFormat::MoodleXml:
        break;
    }
    return moodleXml(test);
}

} // namespace tb
