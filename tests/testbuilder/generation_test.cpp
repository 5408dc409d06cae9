#include "model_fixture.h"

#include "startup/number_format.h"
#include "startup/startup_loader.h"

#include <filesystem>
#include <map>

namespace tb {
namespace {

namespace fs = std::filesystem;

/// A model over the sample drug database, loaded as start-up loads it.
class SampleFixture : public testing::ModelFixture {
protected:
    SampleFixture()
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        const auto problem = loadStartupFiles(*state);
        EXPECT_FALSE(problem) << (problem ? problem->message : "");
        model = std::make_unique<TestModel>(*state, prompts, view);
    }

    /// What a generated question becomes once cut to its widths, shown and stored.
    static QuestionRecord stored(const GeneratedQuestion& g)
    {
        return { fitWidth(stripBlanks(g.question.substr(0, QuestionWidth)), QuestionWidth),
            fitWidth(stripBlanks(g.solution.substr(0, SolutionWidth)), SolutionWidth),
            fitWidth(stripBlanks(formatNumber(g.answer).substr(0, AnswerWidth)), AnswerWidth) };
    }
};

TEST_F(SampleFixture, NinetyNineQuestionsOfAllFourCategoriesSurviveSaveOpenAndExport)
{
    std::vector<GeneratedQuestion> made;
    for (int k = 0; k < MaxQuestions; ++k) {
        model->createQuestions("1");
        ASSERT_TRUE(model->GenerationOk()) << k;
        made.push_back(model->lastGenerated());
    }
    ASSERT_TRUE(messages().empty()) << messages()[0].text;
    ASSERT_EQ(model->QuestionCount(), 99);

    // Metric questions carry no third key; a drug question's third key is its preparation
    // slot (0..4), a drop-rate question's the drop factor (10 and more).
    int iv = 0, drug = 0, metric = 0;
    for (const auto& g : made) {
        if (!g.duplicateKeys[2])
            ++metric;
        else if (*g.duplicateKeys[2] < 5)
            ++drug;
        else
            ++iv;
    }
    EXPECT_GT(iv, 0);
    EXPECT_GT(metric, 0);
    EXPECT_GT(drug, 1);

    prompts.fileNames = { "round.dsq" };
    model->saveAs();
    model->newTest();
    prompts.fileNames = { "round.dsq" };
    model->openTest();
    ASSERT_TRUE(messages().empty()) << messages()[0].text;
    EXPECT_EQ(view.status.positionLabel, "99 / 99");

    const std::string file = folder.read("round.dsq");
    ASSERT_EQ(file.size(), 100 * TestRecordLength);
    for (std::size_t i = 0; i < made.size(); ++i)
        EXPECT_EQ(file.substr((i + 1) * TestRecordLength, TestRecordLength), stored(made[i]).pack()) << i + 1;

    prompts.fileNames = { "round.txt" };
    model->saveAs();
    const std::string text = folder.read("round.txt");
    std::map<std::string, int> expected;
    for (const auto& g : made)
        ++expected[stored(g).questionText];
    for (const auto& [question, times] : expected) {
        int found = 0;
        for (auto at = text.find(question); at != std::string::npos; at = text.find(question, at + 1))
            ++found;
        EXPECT_EQ(found, times);
    }
    for (std::size_t i = 0; i < made.size(); ++i)
        EXPECT_NE(text.find("\r\n" + formatInt(static_cast<long long>(i + 1)) + ". " + stored(made[i]).answerText
                      + "\r\n\r\n"),
            std::string::npos)
            << i + 1;
}

TEST_F(SampleFixture, CandidatesFollowTheSelectedCategoriesInListOrderThenIndexOrder)
{
    const auto& categories = state->categories;
    ASSERT_GE(categories.CategoryCount, 2);
    std::vector<bool> selected(static_cast<std::size_t>(categories.CategoryCount), false);
    selected[0] = selected[1] = true;
    model->setSelectedCategories(selected);
    ASSERT_TRUE(model->generateQuestion(TabletDosages));

    std::vector<std::int16_t> expected;
    for (int i : { 1, 2 })
        for (int j = 1; j <= state->TabletIndex.count; ++j)
            if (state->TabletIndex.category[static_cast<std::size_t>(j)]
                == categories.CategoryCode[static_cast<std::size_t>(i)])
                expected.push_back(state->TabletIndex.record[static_cast<std::size_t>(j)]);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(state->CandidateCount, static_cast<int>(expected.size()));
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(state->CandidateRecords[k + 1], expected[k]);
}

TEST_F(SampleFixture, DrugsThatCannotBeReadAreLeftOutAndTheOthersUsed)
{
    // Keep only the first record of the data file: every other drug lies past its end.
    const std::string data = folder.read("MXDBASE.FIL");
    int firstTablet = 0;
    for (int j = 1; j <= state->TabletIndex.count && !firstTablet; ++j)
        firstTablet = state->TabletIndex.record[static_cast<std::size_t>(j)];
    ASSERT_GT(firstTablet, 0);
    folder.write("MXDBASE.FIL", data.substr(0, static_cast<std::size_t>(firstTablet) * 240));

    tickOnly({ TabletDosages });
    model->createQuestions("3");
    EXPECT_TRUE(messages().empty()) << messages()[0].text;
    EXPECT_EQ(model->QuestionCount(), 3);
    EXPECT_LE(model->lastGenerated().duplicateKeys[1].value_or(0), firstTablet);
}

TEST_F(SampleFixture, WhenNoDrugCanBeUsedTheProblemIsShownOnceAndNothingMade)
{
    folder.write("MXDBASE.FIL", "");
    tickOnly({ FluidDosages });
    model->createQuestions("4");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("record"), std::string::npos);
    EXPECT_FALSE(model->GenerationOk());
    EXPECT_EQ(model->QuestionCount(), 1);
    EXPECT_EQ(view.status.positionLabel, "1 / 1");
}

} // namespace
} // namespace tb
