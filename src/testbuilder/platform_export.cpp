#include "testbuilder/platform_export.h"

#include "startup/cp1252.h"
#include "startup/number_format.h"
#include "testbuilder/platform_xml.h"

#include <array>
#include <sstream>

namespace tb {

namespace {

struct FormatFile {
    PlatformFormat format;
    const char* extension;
};
constexpr std::array<FormatFile, 3> FormatFiles { {
    { PlatformFormat::MoodleXml, ".xml" },
    { PlatformFormat::Gift, ".txt" },
    { PlatformFormat::QtiPackage, ".zip" },
} };

bool endsWithIgnoringCase(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    text.remove_prefix(text.size() - ending.size());
    for (std::size_t i = 0; i < ending.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != ending[i])
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
    for (const FormatFile& file : FormatFiles)
        if (endsWithIgnoringCase(name, file.extension))
            return { std::string(name), file.format };
    const std::size_t chosen = filterIndex >= 1 && filterIndex <= static_cast<int>(FormatFiles.size())
        ? static_cast<std::size_t>(filterIndex - 1)
        : 0;
    return { std::string(name) + FormatFiles[chosen].extension, FormatFiles[chosen].format };
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

std::string platformNumber(double value)
{
    return formatNumber(value);
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

// A category path names nested categories with "/"; a "/" of the title itself is written "//".
std::string categoryName(const std::string& title)
{
    std::string out = "$course$/top/";
    for (const char c : title)
        out += c == '/' ? std::string("//") : std::string(1, c);
    return out;
}

std::string giftText(const PlatformTest& test)
{
    // Each question is one line: a blank line ends a question and "//" starts a comment, so
    // line breaks inside the texts travel as "\n".
    std::string out = "// " + test.title + "\n\n$CATEGORY: " + categoryName(test.title) + "\n\n";
    for (const PlatformQuestion& question : test.questions) {
        const AnswerRule& rule = question.rule;
        out += "::" + giftEscape(question.name) + "::[html]" + giftEscape(questionHtml(question)) + "{#"
            + platformNumber(rule.centre) + ":" + platformNumber(rule.tolerance) + "####[html]"
            + giftEscape(solutionHtml(question)) + "}\n\n";
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
    case PlatformFormat::MoodleXml:
        break;
    }
    return moodleXml(test);
}

} // namespace tb
