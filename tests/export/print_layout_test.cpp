#include "core/export/print_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace tb;

namespace {

TestHeader header()
{
    return { .TestTitle = "Drill 4", .TestDescription = "Ward maths", .TestInstructions = "Show working" };
}

// The document as one line: each section's kind, then its blocks by kind letter and first line.
std::string outline(const PrintDocument& document)
{
    const std::map<BlockKind, char> letter { { BlockKind::Title, 'T' }, { BlockKind::Paragraph, 'P' },
        { BlockKind::Heading, 'H' }, { BlockKind::Question, 'Q' }, { BlockKind::KeyLine, 'K' },
        { BlockKind::Solution, 'S' } };
    std::string out = "[" + document.runningTitle + "]";
    for (const PrintSection& section : document.sections) {
        out += section.kind == SectionKind::Paper ? " paper" : section.kind == SectionKind::AnswerKey ? " key" : " sol";
        out += section.newPage ? "/" : ":";
        for (const PrintBlock& block : section.blocks)
            out += std::string(" ") + letter.at(block.kind) + "=" + block.lines.at(0).text;
    }
    return out;
}

struct OptionRow {
    const char* name;
    int numbering;
    std::array<bool, 5> includes;
    const char* expected;
};

class PrintOptionsTest : public ::testing::TestWithParam<OptionRow> { };

TEST_P(PrintOptionsTest, EachOptionChangesWhatItGoverns)
{
    const OptionRow& row = GetParam();
    const std::vector<QuestionRecord> records { { "How many tablets?", "Dose", "2" },
        { "Convert 5 mg.", "Move it.", "0.005" } };
    EXPECT_EQ(outline(buildPrintDocument(header(), records, row.numbering, row.includes)), row.expected);
}

constexpr std::array<bool, 5> All { true, true, true, true, true };

INSTANTIATE_TEST_SUITE_P(Options, PrintOptionsTest,
    ::testing::Values(OptionRow { "NoDescriptionNoInstructions", 2, { true, false, false, true, true },
                          "[Drill 4] paper: T=Drill 4 Q=Number 1. Q=Number 2. key/ H=Answers: K=1. 2 K=2. 0.005 sol/ "
                          "H=Solutions: S=Number 1. S=Number 2." },
        OptionRow { "NoKey", 3, { true, true, true, false, true },
            "[Drill 4] paper: T=Drill 4 P=Ward maths P=Show working Q=(1). Q=(2). sol/ H=Solutions: S=(1). S=(2)." },
        OptionRow { "NoSolutionsStyle4", 4, { true, true, true, true, false },
            "[Drill 4] paper: T=Drill 4 P=Ward maths P=Show working Q=No 1. Q=No 2. key/ H=Answers: K=1. 2 K=2. "
            "0.005" },
        OptionRow {
            "Style5", 5, { false, false, false, false, true }, "[] paper: Q=1. Q=2. sol/ H=Solutions: S=1. S=2." },
        OptionRow { "NoNumberingKeyKeepsItsNumbers", 0, { false, false, false, true, true },
            "[] paper: Q=How many tablets? Q=Convert 5 mg. key/ H=Answers: K=1. 2 K=2. 0.005 sol/ H=Solutions: "
            "S=Dose S=Move it." }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrintDocumentTest, AQuestionHasItsNumberingLineTextAndAnswerLineAndSolutionsKeepColumns)
{
    const std::vector<QuestionRecord> records { { "Give 250 \xB5g.\r\nHow many?" + std::string(700, ' '),
        "Dose\r\n\xA0kg\xA0\xA0hg\r\n  a  b" + std::string(900, ' '), "0.25" + std::string(8, ' ') } };
    const PrintDocument document = buildPrintDocument(header(), records, 1, All);
    const PrintBlock& question = document.sections[0].blocks.back();
    ASSERT_EQ(question.lines.size(), 5u);
    EXPECT_EQ(question.lines[0].text, "Question 1.");
    EXPECT_EQ(question.lines[1].text, "Give 250 \xB5g.");
    EXPECT_EQ(question.lines[2].text, "How many?");
    EXPECT_EQ(question.lines[3].text, "");
    EXPECT_EQ(question.lines[4].text, "Answer: ________");
    EXPECT_EQ(document.sections[1].blocks[1].lines[0].text, "1. 0.25");
    const PrintBlock& solution = document.sections[2].blocks[1];
    ASSERT_EQ(solution.lines.size(), 4u);
    EXPECT_EQ(solution.lines[1].fit, LineFit::Wrap);
    EXPECT_EQ(solution.lines[2].text, "\xA0kg\xA0\xA0hg");
    EXPECT_EQ(solution.lines[2].fit, LineFit::Whole);
    EXPECT_EQ(solution.lines[3].fit, LineFit::Whole);
    EXPECT_EQ(solution.lines[3].font, PrintFont::Fixed);
}

// Every character one unit wide, every line one unit high.
class UnitMeasure final : public TextMeasure {
public:
    double width(PrintFont, std::string_view text) const override { return static_cast<double>(text.size()); }
    double lineHeight(PrintFont) const override { return 1.0; }
};

PrintDocument oneBlock(std::vector<PrintLine> lines)
{
    PrintDocument document;
    document.sections.push_back({ SectionKind::Paper, false, { { BlockKind::Solution, std::move(lines) } } });
    return document;
}

std::vector<std::pair<double, std::string>> placed(const PrintPage& page)
{
    std::vector<std::pair<double, std::string>> out;
    for (const PlacedLine& line : page.lines)
        out.emplace_back(line.x, line.text);
    return out;
}

// A whole line wider than the page wraps rather than run off.
TEST(PaginateTest, ProseWrapsAtBlanksWithAHangingIndentAndColumnsStayWhole)
{
    const UnitMeasure measure;
    const auto pages = paginate(oneBlock({ { "aaa bbb ccc ddd eee", PrintFont::Fixed, LineFit::Wrap, 2, false },
                                    { "x  y  z", PrintFont::Fixed, LineFit::Whole, 0, false },
                                    { "abcdefghijklmn", PrintFont::Fixed, LineFit::Wrap, 0, false },
                                    { "p\xA0q\xA0r s", PrintFont::Fixed, LineFit::Wrap, 0, false },
                                    { "12345  7890  abc", PrintFont::Fixed, LineFit::Whole, 3, false } }),
        measure, 10, 100);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(placed(pages[0]),
        (std::vector<std::pair<double, std::string>> { { 0, "aaa bbb" }, { 2, "ccc ddd" }, { 2, "eee" },
            { 0, "x  y  z" }, { 0, "abcdefghij" }, { 0, "klmn" }, { 0, "p\xA0q\xA0r s" }, { 0, "12345" }, { 3, "7890" },
            { 3, "abc" } }));
}

// 99 questions of 700 characters: each block's lines share one page, no line passes the foot,
// and the key and the solutions start at the top of a page.
TEST(PaginateTest, NoQuestionIsSplitAndKeyAndSolutionsStartNewPages)
{
    std::vector<QuestionRecord> records;
    for (int n = 1; n <= 99; ++n) {
        std::string text;
        for (int w = 0; text.size() < 700; ++w)
            text += "word" + std::to_string(n * 100 + w) + " ";
        records.push_back({ text, "Step one\r\nStep two", std::to_string(n) });
    }
    const PrintDocument document = buildPrintDocument(header(), records, 1, All);
    const UnitMeasure measure;
    const double height = 47;
    const auto pages = paginate(document, measure, 80, height);

    std::map<int, std::size_t> pageOfBlock;
    for (std::size_t p = 0; p < pages.size(); ++p)
        for (const PlacedLine& line : pages[p].lines) {
            EXPECT_LE(line.y + 1, height);
            const auto [it, fresh] = pageOfBlock.emplace(line.block, p);
            EXPECT_EQ(it->second, p) << "block " << line.block << " (" << line.text << ") split";
            if (line.text == "Answers:" || line.text == "Solutions:") {
                EXPECT_EQ(line.y, 0) << line.text;
                EXPECT_GT(p, 0u);
            }
        }
    EXPECT_EQ(pageOfBlock.size(), 3u + 99u + 1u + 99u + 1u + 99u);
}

TEST(PaginateTest, ABlockTallerThanAPageIsSplitNotLost)
{
    std::vector<PrintLine> lines;
    for (int i = 0; i < 25; ++i)
        lines.push_back({ "line " + std::to_string(i), PrintFont::Body, LineFit::Wrap, 0, false });
    const UnitMeasure measure;
    const auto pages = paginate(oneBlock(lines), measure, 40, 10);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].lines.back().text, "line 24");
}

} // namespace
