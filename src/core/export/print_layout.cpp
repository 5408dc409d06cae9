#include "core/export/print_layout.h"

#include "core/export/answer_rule.h"
#include "core/export/marking.h"
#include "core/foundation/number_format.h"
#include "core/foundation/unit_tables.h"

#include <algorithm>

namespace tb {

namespace {

// Room for a dose written by hand (about 4 cm), the unit printed after it.
constexpr const char* AnswerLine = "Answer: ____________________";
constexpr const char* NameLine = "Name: ______________________________   Class: ______________";
constexpr const char* Middot = " \xB7 ";

bool isBlank(char c)
{
    return c == ' ' || c == NoBreakSpace;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\xB5';
}

std::size_t leadingBlanks(std::string_view line)
{
    std::size_t n = 0;
    while (n < line.size() && isBlank(line[n]))
        ++n;
    return n;
}

// A test never described is titled "untitled"; its paper shows no title rather than that word.
bool isUntitled(std::string_view title)
{
    return title.empty() || sameNameIgnoringCase(title, "untitled");
}

PrintBlock headingBlock(const std::string& text)
{
    PrintBlock block;
    block.kind = BlockKind::Heading;
    block.lines.push_back({ text, PrintFont::Heading, LineFit::Wrap, 0, false });
    block.keepWithNext = true;
    return block;
}

// Prose lines of a text (description, instructions, a question) in one block.
void addProse(PrintBlock& block, std::string_view stored, PrintFont font)
{
    for (std::string& line : textLines(stored))
        block.lines.push_back({ std::move(line), font, LineFit::Wrap, 0, false });
}

// "2 tablets", "1 tablet", "0.5 ml", or the answer alone when its kind has no unit.
std::string answerWithUnit(std::string_view answer, const std::string& unit)
{
    if (unit.empty() || answer.empty())
        return std::string(answer);
    // One of a counted thing is singular ("1 tablet"); symbols and rates stay as they are.
    const bool plural = unit.size() > 3 && unit.back() == 's' && unit.find('/') == std::string::npos;
    if (plural && answer == "1")
        return std::string(answer) + " " + unit.substr(0, unit.size() - 1);
    return std::string(answer) + " " + unit;
}

PrintSection paperSection(const TestHeader& header, const std::vector<QuestionRecord>& questions, int numbering,
    const std::array<bool, 5>& includes, const PaperOptions& options, const std::string& title)
{
    PrintSection paper;
    paper.kind = SectionKind::Paper;
    paper.run = PageRun { title, "" };
    if (!title.empty()) {
        PrintBlock block;
        block.kind = BlockKind::Title;
        block.lines.push_back({ title, PrintFont::Title, LineFit::Wrap, 0, true });
        block.spaceAfter = 1.0;
        paper.blocks.push_back(std::move(block));
    }
    PrintBlock name;
    name.lines.push_back({ NameLine, PrintFont::Body, LineFit::Wrap, 0, false });
    name.spaceAfter = 1.0;
    paper.blocks.push_back(std::move(name));
    for (int i = 1; i <= 2; ++i) {
        if (!includes[static_cast<std::size_t>(i)])
            continue;
        PrintBlock block;
        addProse(block, i == 1 ? header.TestDescription : header.TestInstructions, PrintFont::Body);
        block.spaceAfter = 1.0;
        if (!block.lines.empty())
            paper.blocks.push_back(std::move(block));
    }
    for (std::size_t i = 0; i < questions.size(); ++i) {
        PrintBlock block;
        block.kind = BlockKind::Question;
        if (numbering != 0)
            block.lines.push_back(
                { numberingLine(numbering, static_cast<int>(i + 1)), PrintFont::Bold, LineFit::Wrap, 0, false });
        addProse(block, questions[i].questionText, PrintFont::Body);
        const int blankLines = options.workingSpace ? WorkingSpaceLines : 1;
        for (int n = 0; n < blankLines; ++n)
            block.lines.push_back({ "", PrintFont::Body, LineFit::Wrap, 0, false });
        const std::string unit = answerUnit(questions[i].questionText);
        block.lines.push_back(
            { AnswerLine + (unit.empty() ? "" : " " + unit), PrintFont::Body, LineFit::Wrap, 0, false });
        block.spaceAfter = 1.2;
        paper.blocks.push_back(std::move(block));
    }
    return paper;
}

// One line per answer: " 1. 2 tablets" ... "10. 0.5 ml", the numbers right-aligned in the
// fixed-pitch font so that every answer starts in one column.
std::vector<PrintLine> keyLines(const std::vector<QuestionRecord>& questions)
{
    const std::size_t digits = formatInt(static_cast<long long>(questions.size())).size();
    std::vector<PrintLine> lines;
    for (std::size_t i = 0; i < questions.size(); ++i) {
        const std::string number = formatInt(static_cast<long long>(i + 1));
        const std::string answer
            = stripBlanks(questions[i].answerText.substr(0, lengthWithoutTrailingBlanks(questions[i].answerText)));
        lines.push_back({ std::string(digits - std::min(digits, number.size()), ' ') + number + ". "
                + answerWithUnit(answer, answerUnit(questions[i].questionText)),
            PrintFont::Fixed, LineFit::Wrap, static_cast<int>(digits) + 2, false });
    }
    return lines;
}

PrintSection keySection(const std::vector<QuestionRecord>& questions, const std::string& title)
{
    PrintSection key;
    key.kind = SectionKind::AnswerKey;
    key.newPage = true;
    key.run = PageRun { title, "Answer key" };
    key.blocks.push_back(headingBlock("Answers:"));
    for (PrintLine& line : keyLines(questions)) {
        PrintBlock block;
        block.kind = BlockKind::KeyLine;
        block.lines.push_back(std::move(line));
        block.spaceAfter = 0.4;
        key.blocks.push_back(std::move(block));
    }
    return key;
}

PrintSection solutionsSection(const std::vector<QuestionRecord>& questions, int numbering, const std::string& title)
{
    PrintSection solutions;
    solutions.kind = SectionKind::Solutions;
    solutions.newPage = true;
    solutions.run = PageRun { title, "Solutions" };
    solutions.blocks.push_back(headingBlock("Solutions:"));
    for (std::size_t i = 0; i < questions.size(); ++i) {
        PrintBlock block;
        block.kind = BlockKind::Solution;
        if (numbering != 0)
            block.lines.push_back(
                { numberingLine(numbering, static_cast<int>(i + 1)), PrintFont::Bold, LineFit::Wrap, 0, false });
        for (std::string& line : textLines(questions[i].solutionText)) {
            const bool columns = holdsColumns(line);
            const int indent = static_cast<int>(leadingBlanks(line)) + 4;
            block.lines.push_back(
                { std::move(line), PrintFont::Fixed, columns ? LineFit::Whole : LineFit::Wrap, indent, false });
        }
        block.spaceAfter = 1.2;
        solutions.blocks.push_back(std::move(block));
    }
    return solutions;
}

// ---- setting lines on pages ----

struct SetLine {
    std::string text;
    PrintFont font;
    double x;
};

// Where the word starting at `start` ends, taking in the unit after a number: "200 ml/hr",
// "0.5 mg" and "(200 mls/hr)" are never broken at the blank between them.
std::size_t unbrokenEnd(std::string_view text, std::size_t start)
{
    std::size_t end = text.find(' ', start);
    while (end != std::string_view::npos && end > start && isDigit(text[end - 1]) && end + 1 < text.size()) {
        const char next = text[end + 1];
        const bool unit
            = isLetter(next) || next == '%' || (next == '(' && end + 2 < text.size() && isLetter(text[end + 2]));
        if (!unit)
            break;
        start = end + 1;
        end = text.find(' ', start);
    }
    return end == std::string_view::npos ? text.size() : end;
}

// Breaks one line to `width`. Blanks are the break points, except one between a number and
// its unit (a no-break space is none); a word wider than a line is broken where it reaches the edge.
void wrapLine(const PrintLine& line, const TextMeasure& measure, double width, std::vector<SetLine>& out)
{
    const double indent = std::min(width / 2, line.hangingIndent * measure.width(line.font, "0"));
    std::string_view rest = line.text;
    double x = 0;
    bool first = true;
    while (true) {
        const double room = width - x;
        std::size_t end = 0; // the longest prefix that fits and ends before a blank or at the end
        std::size_t position = 0;
        double used = 0;
        bool overflow = false;
        while (position < rest.size()) {
            const std::size_t blanksEnd = rest.find_first_not_of(' ', position);
            if (blanksEnd == std::string_view::npos)
                break;
            const std::size_t wordEnd = unbrokenEnd(rest, blanksEnd);
            const double piece = measure.width(line.font, rest.substr(position, wordEnd - position));
            if (used + piece > room && end > 0) {
                overflow = true;
                break;
            }
            if (used + piece > room) {
                // One word wider than the line: as many characters as fit, at least one.
                std::size_t cut = blanksEnd + 1;
                while (cut < wordEnd && measure.width(line.font, rest.substr(0, cut + 1)) <= room)
                    ++cut;
                end = cut;
                overflow = true;
                break;
            }
            used += piece;
            end = wordEnd;
            position = wordEnd;
        }
        out.push_back({ std::string(rest.substr(0, end)), line.font, x });
        if (!overflow)
            return;
        rest.remove_prefix(end);
        const std::size_t next = rest.find_first_not_of(' ');
        if (next == std::string_view::npos)
            return;
        rest.remove_prefix(next);
        if (first) {
            x = indent;
            first = false;
        }
    }
}

std::vector<SetLine> setBlock(const PrintBlock& block, const TextMeasure& measure, double width)
{
    std::vector<SetLine> lines;
    for (const PrintLine& line : block.lines) {
        const std::size_t before = lines.size();
        if (line.fit == LineFit::Whole && measure.width(line.font, line.text) <= width)
            lines.push_back({ line.text, line.font, 0 });
        else
            wrapLine(line, measure, width, lines);
        if (line.centred)
            for (std::size_t i = before; i < lines.size(); ++i)
                lines[i].x = std::max(0.0, (width - measure.width(line.font, lines[i].text)) / 2);
    }
    return lines;
}

double heightOf(const std::vector<SetLine>& lines, const TextMeasure& measure)
{
    double height = 0;
    for (const SetLine& line : lines)
        height += measure.lineHeight(line.font);
    return height;
}

} // namespace

std::string numberingLine(int style, int n)
{
    const std::string number = formatInt(n);
    switch (style) {
    case 1:
        return "Question " + number + ".";
    case 2:
        return "Number " + number + ".";
    case 3:
        return "(" + number + ").";
    case 4:
        return "No " + number + ".";
    case 5:
        return number + ".";
    default:
        return {};
    }
}

std::vector<std::string> textLines(std::string_view stored)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= stored.size()) {
        std::size_t end = stored.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = stored.size();
        const std::string_view line = stored.substr(start, end - start);
        lines.emplace_back(line.substr(0, lengthWithoutTrailingBlanks(line)));
        if (end == stored.size())
            break;
        start = end + (stored.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

bool holdsColumns(std::string_view line)
{
    if (line.find(NoBreakSpace) != std::string_view::npos)
        return true;
    const std::size_t first = leadingBlanks(line);
    return line.find("  ", first) != std::string_view::npos;
}

std::string pageNumberText(int page, int pages)
{
    return "Page " + formatInt(page) + " of " + formatInt(pages);
}

std::string pageFootText(std::string_view label, int page, int pages)
{
    if (label.empty())
        return pageNumberText(page, pages);
    return std::string(label) + Middot + "page " + formatInt(page) + " of " + formatInt(pages);
}

std::string answerUnit(std::string_view questionText)
{
    const QuestionKind kind = questionKind(questionText);
    switch (kind) {
    case QuestionKind::DropRate:
        return "drops/minute"; // on paper in full; a typed answer may say "drops/min"
    case QuestionKind::MetricConversion: {
        // "Convert 5 mgs to gs." asks for g; "Convert 5 milligrams to grams." for grams.
        std::string_view text = questionText.substr(0, lengthWithoutTrailingBlanks(questionText));
        const std::size_t to = text.rfind(" to ");
        if (to == std::string_view::npos)
            return {};
        std::string unit = stripBlanks(text.substr(to + 4));
        if (!unit.empty() && unit.back() == '.')
            unit.pop_back();
        if (unit.size() >= 2 && unit.size() <= 4 && unit.back() == 's')
            unit.pop_back(); // a symbol made plural by the question: "mgs"
        if (unit.size() >= 2 && unit.compare(unit.size() - 2, 2, "'s") == 0)
            unit.resize(unit.size() - 2);
        if (unit.empty() || unit.find_first_of(" \r\n") != std::string::npos)
            return {};
        return unit;
    }
    default:
        return askedUnit(kind, questionText);
    }
}

PrintDocument buildPrintDocument(const TestHeader& header, const std::vector<QuestionRecord>& questions, int numbering,
    const std::array<bool, 5>& includes, const PaperOptions& options)
{
    PrintDocument document;
    const std::string title = stripBlanks(header.TestTitle);
    if (includes[0] && !isUntitled(title))
        document.runningTitle = title;
    document.sections.push_back(paperSection(header, questions, numbering, includes, options, document.runningTitle));
    if (includes[3])
        document.sections.push_back(keySection(questions, document.runningTitle));
    if (includes[4])
        document.sections.push_back(solutionsSection(questions, numbering, document.runningTitle));
    return document;
}

PrintDocument combineVersions(const std::vector<std::pair<std::string, PrintDocument>>& versions)
{
    PrintDocument combined;
    if (!versions.empty())
        combined.runningTitle = versions.front().second.runningTitle;
    const std::string& title = combined.runningTitle;
    auto headed = [&title](const std::string& label) { return title.empty() ? label : title + Middot + label; };

    // The papers first, so that they can be handed out in one pile, each numbered on its own.
    for (const auto& [code, document] : versions)
        for (const PrintSection& section : document.sections)
            if (section.kind == SectionKind::Paper) {
                PrintSection paper = section;
                paper.newPage = true;
                paper.run = PageRun { title, "Version " + code };
                paper.blocks.insert(paper.blocks.begin(), headingBlock("Version " + code));
                combined.sections.push_back(std::move(paper));
            }

    // Every key in one run: each under its code, whole, as many to a page as fit.
    PrintSection keys;
    keys.kind = SectionKind::AnswerKey;
    keys.newPage = true;
    keys.run = PageRun { title, "Answer keys" };
    for (const auto& [code, document] : versions)
        for (const PrintSection& section : document.sections)
            if (section.kind == SectionKind::AnswerKey) {
                PrintBlock key;
                key.kind = BlockKind::KeyLine;
                key.lines.push_back({ "Version " + code, PrintFont::Heading, LineFit::Wrap, 0, false });
                for (const PrintBlock& block : section.blocks)
                    if (block.kind == BlockKind::KeyLine)
                        key.lines.insert(key.lines.end(), block.lines.begin(), block.lines.end());
                key.spaceAfter = 1.5;
                keys.blocks.push_back(std::move(key));
            }
    if (!keys.blocks.empty())
        combined.sections.push_back(std::move(keys));

    // Each version's solutions on pages of their own, the code at the head of every one.
    for (const auto& [code, document] : versions)
        for (const PrintSection& section : document.sections)
            if (section.kind == SectionKind::Solutions) {
                PrintSection solutions = section;
                solutions.newPage = true;
                solutions.run = PageRun { headed("Version " + code), "Version " + code + " solutions" };
                solutions.blocks.insert(solutions.blocks.begin(), headingBlock("Version " + code));
                combined.sections.push_back(std::move(solutions));
            }
    return combined;
}

std::size_t widestWholeLine(const PrintDocument& document)
{
    std::size_t widest = 0;
    for (const PrintSection& section : document.sections)
        for (const PrintBlock& block : section.blocks)
            for (const PrintLine& line : block.lines)
                if (line.fit == LineFit::Whole)
                    widest = std::max(widest, line.text.size());
    return widest;
}

std::vector<PrintPage> paginate(const PrintDocument& document, const TextMeasure& measure, double width, double height)
{
    std::vector<PrintPage> pages(1);
    std::vector<std::size_t> runStarts { 0 }; // the first page of each run
    std::vector<std::string> runFeet { "" };
    pages.back().head = document.runningTitle;
    double y = 0;
    int blockNumber = 0;
    const double bodyLine = measure.lineHeight(PrintFont::Body);
    auto newPage = [&] {
        const std::string head = pages.back().head;
        pages.emplace_back();
        pages.back().head = head;
        y = 0;
    };

    for (const PrintSection& section : document.sections) {
        if ((section.newPage || section.run) && !pages.back().lines.empty())
            newPage();
        if (section.run) {
            pages.back().head = section.run->head;
            if (runStarts.back() == pages.size() - 1) {
                runFeet.back() = section.run->foot; // the run before holds no page
            } else {
                runStarts.push_back(pages.size() - 1);
                runFeet.push_back(section.run->foot);
            }
        }
        std::vector<std::vector<SetLine>> set;
        set.reserve(section.blocks.size());
        for (const PrintBlock& block : section.blocks)
            set.push_back(setBlock(block, measure, width));

        for (std::size_t b = 0; b < set.size(); ++b, ++blockNumber) {
            const PrintBlock& block = section.blocks[b];
            const double own = heightOf(set[b], measure);
            double needed = own;
            if (block.keepWithNext && b + 1 < set.size())
                needed += block.spaceAfter * bodyLine + heightOf(set[b + 1], measure);
            const bool whole = block.keepTogether && needed <= height;
            if (whole && y > 0 && y + needed > height)
                newPage();
            for (const SetLine& line : set[b]) {
                const double lineHeight = measure.lineHeight(line.font);
                if (y > 0 && y + lineHeight > height)
                    newPage();
                if (!line.text.empty())
                    pages.back().lines.push_back({ line.text, line.font, line.x, y, blockNumber });
                y += lineHeight;
            }
            y += block.spaceAfter * bodyLine;
        }
    }

    runStarts.push_back(pages.size());
    for (std::size_t r = 0; r + 1 < runStarts.size(); ++r) {
        const int count = static_cast<int>(runStarts[r + 1] - runStarts[r]);
        for (std::size_t p = runStarts[r]; p < runStarts[r + 1]; ++p)
            pages[p].foot = pageFootText(runFeet[r], static_cast<int>(p - runStarts[r]) + 1, count);
    }
    return pages;
}

} // namespace tb
