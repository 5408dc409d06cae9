#include "model_fixture.h"

namespace tb {
namespace {

using testing::ModelFixture;

const std::string L = "\r\n";

class ExportFixture : public ModelFixture {
protected:
    /// Two questions with a title, a description and instructions.
    void twoQuestions()
    {
        model->acceptDescription("Drug test", "Short one", "Answer all.", 0);
        type("What is 1?", "Because 1.", "1");
        model->forward();
        type("What is 2?", "Line a\r\nLine b", "2.5");
        model->save();
    }

    std::string exported()
    {
        model->saveastextfile(folder / "out.txt");
        return folder.read("out.txt");
    }

    static std::string q(const std::string& text) { return fitWidth(text, 800); }
    static std::string a(const std::string& text) { return fitWidth(text, 12); }
    static std::string s(const std::string& text) { return fitWidth(text, 1200); }
};

TEST_F(ExportFixture, TwoQuestionsStyleOneEveryIncludeLineByLine)
{
    twoQuestions();
    const std::string expected = "Drug test" + L + L + L // 1-2
        + "Short one" + L + L + L // 3-4
        + "Answer all." + L + L + L // 5-6
        + "Question 1." + L // 7
        + q("What is 1?") + L + L + L // 8-9
        + "Question 2." + L // 10
        + q("What is 2?") + L + L + L // 11-12
        + L + L // 13
        + "Answers:" + L + L // 14-15
        + "1. " + a("1") + L + L // 16-17
        + "2. " + a("2.5") + L + L // 18-19
        + L + L // 20
        + "Solutions:" + L + L // 21-22
        + "Question 1." + L // 23
        + s("Because 1.") + L + L + L // 24-25
        + "Question 2." + L // 26
        + s("Line a\r\nLine b") + L + L + L // 27-28
        + L + L; // 29
    EXPECT_EQ(exported(), expected);
}

struct StyleCase {
    int style;
    std::array<const char*, 3> lines; // the numbering lines of questions 1..3
};

class NumberingTest : public ExportFixture, public ::testing::WithParamInterface<StyleCase> { };

TEST_P(NumberingTest, EachStyleNumbersQuestionsAndSolutionsButNotAnswers)
{
    typeQuestions(3);
    for (int i : { 0, 1, 2, 3 })
        model->tfop_Click(i); // only the solutions stay in
    model->numbquest_Click(GetParam().style);
    auto numbering = [&](int n) {
        const std::string line = GetParam().lines[static_cast<std::size_t>(n - 1)];
        return line.empty() ? line : line + L;
    };
    std::string expected;
    for (int n = 1; n <= 3; ++n)
        expected += numbering(n) + q("Question " + std::to_string(n)) + L + L + L;
    expected += L + L + "Solutions:" + L + L;
    for (int n = 1; n <= 3; ++n)
        expected += numbering(n) + s("Solution " + std::to_string(n)) + L + L + L;
    expected += L + L;
    EXPECT_EQ(exported(), expected);
}

INSTANTIATE_TEST_SUITE_P(Styles, NumberingTest,
    ::testing::Values(StyleCase { 0, { "", "", "" } }, StyleCase { 1, { "Question 1.", "Question 2.", "Question 3." } },
        StyleCase { 2, { "Number 1.", "Number 2.", "Number 3." } }, StyleCase { 3, { "(1).", "(2).", "(3)." } },
        StyleCase { 4, { "No 1.", "No 2.", "No 3." } }, StyleCase { 5, { "1.", "2.", "3." } }));

TEST_F(ExportFixture, EveryIncludeOffAndNoNumberingLeavesOnlyTheQuestions)
{
    twoQuestions();
    for (int i = 0; i < 5; ++i)
        model->tfop_Click(i);
    model->numbquest_Click(0);
    EXPECT_EQ(exported(), q("What is 1?") + L + L + L + q("What is 2?") + L + L + L + L + L);
}

TEST_F(ExportFixture, TheAnswerKeyAlwaysUsesPlainNumbers)
{
    twoQuestions();
    for (int i : { 0, 1, 2, 4 })
        model->tfop_Click(i);
    model->numbquest_Click(3);
    const std::string text = exported();
    EXPECT_NE(text.find(L + "1. " + a("1") + L + L + "2. " + a("2.5") + L + L + L + L), std::string::npos);
    EXPECT_EQ(text.rfind("(1)." + L, 0), 0u);
}

TEST_F(ExportFixture, ABlankDescriptionStillPrintsItsEmptyLine)
{
    typeQuestions(1);
    model->tfop_Click(2);
    model->tfop_Click(3);
    model->tfop_Click(4);
    EXPECT_EQ(exported(), "untitled" + L + L + L + L + L + L + "Question 1." + L + q("Question 1") + L + L + L + L + L);
}

TEST_F(ExportFixture, TheExportReadsTheWorkingFileNotTheShownFields)
{
    typeQuestions(1);
    model->setField(0, "typed but not stored");
    for (int i = 0; i < 5; ++i)
        model->tfop_Click(i);
    EXPECT_EQ(exported(), "Question 1." + L + q("Question 1") + L + L + L + L + L);
}

TEST_F(ExportFixture, IncludeEntriesFlipAndNumberingIsOneChoice)
{
    EXPECT_EQ(model->numberingStyle(), 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(model->includeOption(i));
    model->tfop_Click(3);
    EXPECT_FALSE(model->includeOption(3));
    model->tfop_Click(3);
    EXPECT_TRUE(model->includeOption(3));
    model->numbquest_Click(4);
    model->numbquest_Click(9); // no such entry
    EXPECT_EQ(model->numberingStyle(), 4);
}

} // namespace
} // namespace tb
