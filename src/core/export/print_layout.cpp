#include "core/export/print_layout.h"

#include "core/foundation/number_format.h"
#include "core/foundation/unit_tables.h"

#include <algorithm>

namespace tb {

namespace {

constexpr const char* AnswerLine = "Answer: ________";

bool isBlank(char c)
{
    return c == ' ' || c == NoBreakSpace;
}

std::size_t leadingBlanks(std::string_view line)
{
    std::size_t n = 0;
    while (n < line.size() && isBlank(line[n]))
        ++n;
    return n;
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

PrintSection paperSection(const TestHeader& header, const std::vector<QuestionRecord>& questions, int numbering,
    const std::array<bool, 5>& includes)
{
    PrintSection paper;
    paper.kind = SectionKind::Paper;
    const std::string title = stripBlanks(header.TestTitle);
    if (includes[0] && !title.empty()) {
        PrintBlock block;
        block.kind = BlockKind::Title;
        block.lines.push_back({ title, PrintFont::Title, LineFit::Wrap, 0, true });
        block.spaceAfter = 1.0;
        paper.blocks.push_back(std::move(block));
    }
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
        block.lines.push_back({ "", PrintFont::Body, LineFit::Wrap, 0, false });
        block.lines.push_back({ AnswerLine, PrintFont::Body, LineFit::Wrap, 0, false });
        block.spaceAfter = 1.2;
        paper.blocks.push_back(std::move(block));
    }
    return paper;
}

PrintSection keySection(const std::vector<QuestionRecord>& questions)
{
    PrintSection key;
    key.kind = SectionKind::AnswerKey;
    key.newPage = true;
    key.blocks.push_back(headingBlock("Answers:"));
    for (std::size_t i = 0; i < questions.size(); ++i) {
        PrintBlock block;
        block.kind = BlockKind::KeyLine;
        const std::string answer(
            questions[i].answerText.substr(0, lengthWithoutTrailingBlanks(questions[i].answerText)));
        block.lines.push_back(
            { formatInt(static_cast<long long>(i + 1)) + ". " + answer, PrintFont::Body, LineFit::Wrap, 3, false });
        block.spaceAfter = 0.4;
        key.blocks.push_back(std::move(block));
    }
    return key;
}

PrintSection solutionsSection(const std::vector<QuestionRecord>& questions, int numbering)
{
    PrintSection solutions;
    solutions.kind = SectionKind::Solutions;
    solutions.newPage = true;
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

// Breaks one line to `width`. Blanks are the only break points (a no-break space is none); a word
// wider than a line is broken where it reaches the edge.
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
            std::size_t wordEnd = rest.find(' ', blanksEnd);
            if (wordEnd == std::string_view::npos)
                wordEnd = rest.size();
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

PrintDocument buildPrintDocument(const TestHeader& header, const std::vector<QuestionRecord>& questions, int numbering,
    const std::array<bool, 5>& includes)
{
    PrintDocument document;
    if (includes[0])
        document.runningTitle = stripBlanks(header.TestTitle);
    document.sections.push_back(paperSection(header, questions, numbering, includes));
    if (includes[3])
        document.sections.push_back(keySection(questions));
    if (includes[4])
        document.sections.push_back(solutionsSection(questions, numbering));
    return document;
}

PrintDocument combineVersions(const std::vector<std::pair<std::string, PrintDocument>>& versions)
{
    PrintDocument combined;
    if (!versions.empty())
        combined.runningTitle = versions.front().second.runningTitle;
    // Papers first, so that they can be handed out in one pile; then the teacher's pages.
    for (const bool papers : { true, false })
        for (const auto& [heading, document] : versions) {
            bool headed = false;
            for (const PrintSection& section : document.sections) {
                if ((section.kind == SectionKind::Paper) != papers)
                    continue;
                PrintSection copy = section;
                copy.newPage = true;
                if (!headed)
                    copy.blocks.insert(copy.blocks.begin(), headingBlock(heading));
                headed = true;
                combined.sections.push_back(std::move(copy));
            }
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
    double y = 0;
    int blockNumber = 0;
    const double bodyLine = measure.lineHeight(PrintFont::Body);
    auto newPage = [&] {
        pages.emplace_back();
        y = 0;
    };

    for (const PrintSection& section : document.sections) {
        if (section.newPage && !pages.back().lines.empty())
            newPage();
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
    return pages;
}

} // namespace tb
