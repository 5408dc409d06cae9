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
        for (const PrintBlock& block : section.blocks) {
            const std::string& first = block.lines.at(0).text;
            out += std::string(" ") + letter.at(block.kind) + "=" + first.substr(0, first.find(" _"));
        }
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
                          "[Drill 4] paper: T=Drill 4 P=Name: Q=Number 1. Q=Number 2. key/ H=Answers: K=1. 2 tablets "
                          "K=2. 0.005 sol/ H=Solutions: S=Number 1. S=Number 2." },
        OptionRow { "NoKey", 3, { true, true, true, false, true },
            "[Drill 4] paper: T=Drill 4 P=Name: P=Ward maths P=Show working Q=(1). Q=(2). sol/ H=Solutions: S=(1). "
            "S=(2)." },
        OptionRow { "NoSolutionsStyle4", 4, { true, true, true, true, false },
            "[Drill 4] paper: T=Drill 4 P=Name: P=Ward maths P=Show working Q=No 1. Q=No 2. key/ H=Answers: K=1. 2 "
            "tablets K=2. 0.005" },
        OptionRow { "Style5", 5, { false, false, false, false, true },
            "[] paper: P=Name: Q=1. Q=2. sol/ H=Solutions: S=1. S=2." },
        OptionRow { "NoNumberingKeyKeepsItsNumbers", 0, { false, false, false, true, true },
            "[] paper: P=Name: Q=How many tablets? Q=Convert 5 mg. key/ H=Answers: K=1. 2 tablets K=2. 0.005 sol/ "
            "H=Solutions: S=Dose S=Move it." }),
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
    EXPECT_EQ(question.lines[4].text, "Answer: ____________________");
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
    EXPECT_EQ(pageOfBlock.size(), 4u + 99u + 1u + 99u + 1u + 99u);
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

// ---- the students' paper and the key ----

struct UnitRow {
    const char* name;
    const char* question;
    const char* unit;
};

class AnswerUnitTest : public ::testing::TestWithParam<UnitRow> { };

TEST_P(AnswerUnitTest, FollowsTheQuestionsKind)
{
    EXPECT_EQ(answerUnit(GetParam().question), GetParam().unit);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AnswerUnitTest,
    ::testing::Values(UnitRow { "PumpRate", "1000 ml of Saline over 8 hours. Calculate the rate in ml/hr.", "ml/hr" },
        UnitRow { "DropRate", "Calculate the number of drops per minute.", "drops/minute" },
        UnitRow {
            "InfusionTime", "... at 21 drops per minute ... How many minutes will the infusion take?", "minutes" },
        UnitRow { "Tablets", "500 mg tablets are available.\r\nHow many tablets will you give?", "tablets" },
        UnitRow { "Capsules", "How many capsules will you give?", "capsules" },
        UnitRow { "MlAbbreviated", "How many ml's will you administer?", "ml" },
        UnitRow { "MlInWords", "How many millilitres will you administer?", "millilitres" },
        UnitRow { "HeparinMl", "Heparin 5000 units/ml is available. How many ml will you give?", "ml" },
        UnitRow { "HeparinPump",
            "25000 units of heparin in 500 ml are to run at 1000 units/hr. At what rate in ml/hr should the pump be "
            "set?",
            "ml/hr" },
        UnitRow { "HeparinPerHour", "How many units of heparin per hour is the patient receiving?", "units/hr" },
        UnitRow { "InsulinDrawnUp", "How many units will you draw up in an insulin syringe marked in units?", "units" },
        UnitRow { "ConversionSymbol", "\r\nConvert 5 mgs to gs.", "g" },
        UnitRow { "ConversionMicro", "\r\nConvert 0.5 mgs to \xB5gs.", "\xB5g" },
        UnitRow { "ConversionWords", "\r\nConvert 2500 milligrams to grams.", "grams" },
        UnitRow { "ConversionWithoutTarget", "Convert 5 mg.", "" },
        UnitRow { "HandWritten", "What is the patient's weight?", "" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PaperTest, AnswerLinesCarryTheUnitAndTheKeyAlignsItsNumbers)
{
    std::vector<QuestionRecord> records(10, { "Hand-written question", "", "7" });
    records[0] = { "Calculate the rate in ml/hr.", "", "125     " };
    records[2] = { "How many tablets will you give?", "", "1" };
    records[9] = { "\r\nConvert 5 mgs to gs.", "", "0.005" };
    const PrintDocument document = buildPrintDocument(header(), records, 5, All);
    const PrintSection& paper = document.sections.at(0);
    EXPECT_EQ(paper.blocks.at(4).lines.back().text, "Answer: ____________________ ml/hr");
    EXPECT_EQ(paper.blocks.at(5).lines.back().text, "Answer: ____________________");
    const std::string& name = paper.blocks.at(1).lines.at(0).text;
    EXPECT_EQ(name.rfind("Name: _", 0), 0u);
    EXPECT_NE(name.find(" Class: _"), std::string::npos);

    const PrintSection& key = document.sections.at(1);
    EXPECT_EQ(key.blocks.at(1).lines[0].text, " 1. 125 ml/hr");
    EXPECT_EQ(key.blocks.at(2).lines[0].text, " 2. 7");
    EXPECT_EQ(key.blocks.at(3).lines[0].text, " 3. 1 tablet");
    EXPECT_EQ(key.blocks.at(10).lines[0].text, "10. 0.005 g");
    EXPECT_EQ(key.blocks.at(10).lines[0].font, PrintFont::Fixed);
}

TEST(PaperTest, WorkingSpaceAndAnUntitledTest)
{
    const std::vector<QuestionRecord> records { { "How many tablets?", "", "2" } };
    TestHeader untitled = header();
    untitled.TestTitle = "untitled" + std::string(52, ' ');
    const PrintDocument plain = buildPrintDocument(untitled, records, 1, All);
    const PrintDocument spaced = buildPrintDocument(untitled, records, 1, All, { .workingSpace = true });
    EXPECT_EQ(plain.runningTitle, "");
    EXPECT_EQ(outline(plain).substr(0, 22), "[] paper: P=Name: P=Wa");
    EXPECT_EQ(spaced.sections[0].blocks.back().lines.size(),
        plain.sections[0].blocks.back().lines.size() + WorkingSpaceLines - 1);
}

// ---- pages ----

TEST(PaginateTest, ANumberStaysWithItsUnitOnOneLine)
{
    const UnitMeasure measure;
    const auto pages = paginate(oneBlock({ { "rate 200 ml/hr now", PrintFont::Body, LineFit::Wrap, 0, false },
                                    { "give (200 mls/hr) then a 0.5 mg", PrintFont::Body, LineFit::Wrap, 0, false } }),
        measure, 12, 100);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(placed(pages[0]),
        (std::vector<std::pair<double, std::string>> { { 0, "rate" }, { 0, "200 ml/hr" }, { 0, "now" }, { 0, "give" },
            { 0, "(200 mls/hr)" }, { 0, "then a" }, { 0, "0.5 mg" } }));
}

// Lines 1.5 high on a page 10 high: a line at 9 would end at 10.5, past the foot.
class HalfMeasure final : public TextMeasure {
public:
    double width(PrintFont, std::string_view text) const override { return static_cast<double>(text.size()); }
    double lineHeight(PrintFont) const override { return 1.5; }
};

TEST(PaginateTest, NoLineHangsOverTheFootAndAHeadingStaysWithItsBlock)
{
    std::vector<PrintLine> tall;
    for (int i = 0; i < 25; ++i)
        tall.push_back({ "line " + std::to_string(i), PrintFont::Body, LineFit::Wrap, 0, false });
    PrintDocument document = oneBlock(tall);
    PrintSection shortBlocks;
    for (int i = 0; i < 12; ++i)
        shortBlocks.blocks.push_back({ BlockKind::KeyLine, { { "k", PrintFont::Body, LineFit::Wrap, 0, false } } });
    document.sections.push_back(shortBlocks);
    const HalfMeasure measure;
    for (const PrintPage& page : paginate(document, measure, 40, 10))
        for (const PlacedLine& line : page.lines)
            EXPECT_LE(line.y + 1.5, 10.0) << line.text;

    // A heading with room for itself but not for the block below goes over with it.
    PrintSection headed;
    headed.blocks.push_back(
        { BlockKind::Paragraph, { { "a", PrintFont::Body, LineFit::Wrap, 0, false } }, true, false, 4.0 });
    PrintBlock heading { BlockKind::Heading, { { "Heading", PrintFont::Heading, LineFit::Wrap, 0, false } } };
    heading.keepWithNext = true;
    heading.spaceAfter = 0;
    headed.blocks.push_back(heading);
    headed.blocks.push_back({ BlockKind::Paragraph,
        { { "b", PrintFont::Body, LineFit::Wrap, 0, false }, { "c", PrintFont::Body, LineFit::Wrap, 0, false } } });
    const auto pages = paginate({ "", { headed } }, measure, 40, 10);
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[1].lines.size(), 3u);
    EXPECT_EQ(pages[1].lines[0].text, "Heading");
}

std::vector<std::string> feet(const std::vector<PrintPage>& pages)
{
    std::vector<std::string> out;
    for (const PrintPage& page : pages)
        out.push_back(page.foot);
    return out;
}

TEST(PaginateTest, PaperKeyAndSolutionsAreNumberedEachOnTheirOwn)
{
    std::vector<QuestionRecord> records(6, { "How many tablets?", "One\r\nTwo\r\nThree", "2" });
    const auto pages = paginate(buildPrintDocument(header(), records, 1, All), UnitMeasure(), 60, 16);
    EXPECT_EQ(feet(pages),
        (std::vector<std::string> { "Page 1 of 3", "Page 2 of 3", "Page 3 of 3", "Answer key \xB7 page 1 of 1",
            "Solutions \xB7 page 1 of 2", "Solutions \xB7 page 2 of 2" }));
    EXPECT_EQ(pages.back().head, "Drill 4");
}

// Three versions: every paper numbered on its own with its code on each page, then the keys
// together, then each version's solutions under its code. No page is blank, the first included.
TEST(PaginateTest, AClassSetPrintsPapersThenKeysThenSolutions)
{
    std::vector<std::pair<std::string, PrintDocument>> versions;
    for (int v = 1; v <= 3; ++v) {
        std::vector<QuestionRecord> records(4, { "How many tablets?", "One\r\nTwo", std::to_string(v) });
        versions.emplace_back("K7F3-0" + std::to_string(v), buildPrintDocument(header(), records, 1, All));
    }
    const auto pages = paginate(combineVersions(versions), UnitMeasure(), 60, 20);
    EXPECT_EQ(feet(pages),
        (std::vector<std::string> { "Version K7F3-01 \xB7 page 1 of 2", "Version K7F3-01 \xB7 page 2 of 2",
            "Version K7F3-02 \xB7 page 1 of 2", "Version K7F3-02 \xB7 page 2 of 2", "Version K7F3-03 \xB7 page 1 of 2",
            "Version K7F3-03 \xB7 page 2 of 2", "Answer keys \xB7 page 1 of 1",
            "Version K7F3-01 solutions \xB7 page 1 of 1", "Version K7F3-02 solutions \xB7 page 1 of 1",
            "Version K7F3-03 solutions \xB7 page 1 of 1" }));
    std::string keys;
    for (const PlacedLine& line : pages[6].lines)
        keys += line.text + "|";
    EXPECT_EQ(keys,
        "Version K7F3-01|1. 1 tablet|2. 1 tablet|3. 1 tablet|4. 1 tablet|Version K7F3-02|1. 2 tablets|2. 2 tablets|"
        "3. 2 tablets|4. 2 tablets|Version K7F3-03|1. 3 tablets|2. 3 tablets|3. 3 tablets|4. 3 tablets|");
    for (const PrintPage& page : pages)
        EXPECT_FALSE(page.lines.empty()) << page.foot;
    EXPECT_EQ(pages[0].lines[0].text, "Version K7F3-01");
    EXPECT_EQ(pages[8].head, "Drill 4 \xB7 Version K7F3-02");
}

} // namespace
