#include "results/results_fixture.h"

#include "core/foundation/record_file.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/results/class_results.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

namespace tb {
namespace {

using namespace results_fixture;
using headless::ScriptedPrompts;
using headless::TempFolder;

class ClassResultsTest : public testing::Test {
protected:
    void SetUp() override { makeClass(folder.path()); }
    ClassResults load() { return ClassResults(folder.path(), folder / "week5.dsq", "Week 5          "); }
    TempFolder folder;
};

TEST_F(ClassResultsTest, StudentsBestLastAttemptsPassAndTime)
{
    const ClassResults results = load();
    ASSERT_EQ(results.attempts().size(), 4u); // not Week 6, not the free practice
    const std::vector<StudentSummary> all = results.students(ResultsWays::All);
    ASSERT_EQ(all.size(), 3u);
    const StudentSummary& ann = all[0];
    EXPECT_EQ(ann.student, "ann lee"); // as typed at the last attempt, letter case not looked at
    EXPECT_EQ(ann.attempts, 2);
    EXPECT_EQ(ann.bestPercent, 100);
    EXPECT_EQ(ann.lastPercent, 100);
    EXPECT_EQ(ann.bestSeconds, 480);
    EXPECT_TRUE(ann.passed);
    EXPECT_EQ(all[1].student, "Bob");
    EXPECT_EQ(all[2].student, "Cy");
    EXPECT_EQ(all[2].bestPercent, 0);
    EXPECT_FALSE(all[2].passed);

    const std::vector<StudentSummary> sittings = results.students(ResultsWays::Sittings);
    ASSERT_EQ(sittings.size(), 2u);
    EXPECT_EQ(results.students(ResultsWays::Practice).at(0).student, "Bob");
}

TEST_F(ClassResultsTest, QuestionsKeyedByTheirOwnTextAcrossVersions)
{
    const ClassResults results = load();
    const std::vector<QuestionSummary> questions = results.questions(ResultsWays::All);
    ASSERT_EQ(questions.size(), 4u);
    // Position 1 of version 1 and of version 2 count apart; position 2 (the same text) counts together.
    EXPECT_EQ(questions[0].text,
        "A client is ordered 500 mgs of Paracetamol. 250 mg tablets are available. How many tablets will you give?");
    EXPECT_EQ(questions[0].asked, 2);
    EXPECT_EQ(questions[0].right, 1);
    EXPECT_EQ(questions[0].diagnosisLine(), "50 % gave ten times too much: unit conversion");
    EXPECT_EQ(questions[1].asked, 3);
    EXPECT_EQ(questions[1].right, 2);
    EXPECT_EQ(questions[1].diagnosisLine(), "33 % gave ten times too much: unit conversion");
    EXPECT_EQ(questions[2].text, "Convert 5 mgs to gs.");
    EXPECT_EQ(questions[2].right, 1);
    EXPECT_EQ(questions[2].firstTry, 0); // right at the second try
    EXPECT_EQ(questions[3].text, "Question 1 of old-week5.dsq"); // the form is gone: by number
    EXPECT_EQ(questions[3].diagnosisLine(), "100 % gave no answer");
}

TEST_F(ClassResultsTest, UnreadableFilesNamedSkippedAndLeftAsTheyAre)
{
    const std::string before = readWholeFile(folder / "results" / "broken.csv");
    ASSERT_EQ(::mkfifo((folder / "results" / "pipe.csv").c_str(), 0600), 0);
    const ClassResults results = load();
    std::map<std::string, std::string> reasons;
    for (const UnreadableFile& file : results.unreadable())
        reasons[file.name] = file.reason;
    ASSERT_EQ(reasons.size(), 3u);
    EXPECT_EQ(reasons["broken.csv"], "The results file \"broken.csv\" is damaged: a quoted field is not closed.");
    EXPECT_EQ(reasons["pipe.csv"], "The results file \"pipe.csv\" is no regular file.");
    EXPECT_EQ(reasons["old-week5.dsq"],
        "The test file \"old-week5.dsq\" the results were taken in is not beside this test: its questions are "
        "shown by number.");
    EXPECT_EQ(readWholeFile(folder / "results" / "broken.csv"), before);
}

TEST(ClassResultsText, ShortDiagnosesAndDurations)
{
    EXPECT_EQ(shortDiagnosis("Your answer is 1000 times too small: check the unit conversion."),
        "a thousand times too little: unit conversion");
    EXPECT_EQ(shortDiagnosis("That is the rate in ml per minute: give it in ml/hr."), "the rate in ml per minute");
    EXPECT_EQ(shortDiagnosis("Give a number."), "Give a number");
    QuestionSummary refused;
    refused.asked = 3;
    refused.diagnosis = "Give a number.";
    refused.diagnosisCount = 1;
    EXPECT_EQ(refused.diagnosisLine(), "33 %: Give a number");
    EXPECT_EQ(durationText(59), "59 s");
    EXPECT_EQ(durationText(1325), "22 min 5 s");
    EXPECT_EQ(durationText(600), "10 min");
}

TEST_F(ClassResultsTest, MarksAndAnalysisCsvBytes)
{
    const ClassResults results = load();
    EXPECT_EQ(marksCsv(results.students(ResultsWays::Sittings)),
        "\xEF\xBB\xBF"
        "Student,Username,Best %,Last %,Best score,Attempts,Result,Time taken\r\n"
        "ann lee,ann lee,100,100,2 of 2,2,pass,8 min\r\n"
        "Cy,cy,0,0,0 of 1,1,fail,59 s\r\n");
    std::vector<StudentSummary> odd(1);
    odd[0].student = "O'Neil, \"Jo\" \xE9";
    EXPECT_NE(marksCsv(odd).find("\r\n\"O'Neil, \"\"Jo\"\" \xC3\xA9\",\"o'neil, \"\"jo\"\" \xC3\xA9\",0,0,0 of 0,"),
        std::string::npos);
    odd[0].student = "=HYPERLINK(\"x\")";
    EXPECT_NE(marksCsv(odd).find("\r\n\"'=HYPERLINK(\"\"x\"\")\",\"'=hyperlink(\"\"x\"\")\",0,"), std::string::npos)
        << marksCsv(odd);
    const std::string analysis = analysisCsv(results.questions(ResultsWays::Practice));
    EXPECT_EQ(analysis,
        "\xEF\xBB\xBF"
        "Question,Kind,Asked,Right at first try,Right in all,Right %,Commonest diagnosis\r\n"
        "Convert 5 mgs to gs.,Conversion,1,0,1,100,\r\n"
        "A client is ordered 250 mg's of Amoxil orally. 125 mg's in 5 ml's of mixture is available. How many ml's "
        "will you administer?,Liquid volume,1,0,0,0,100 % gave ten times too much: unit conversion\r\n");
}

TEST_F(ClassResultsTest, ClearAsksOnceThenRemovesOnlyThisTestsFiles)
{
    ClassResults results = load();
    ScriptedPrompts prompts;
    std::vector<UnreadableFile> problems;
    prompts.yesNoAnswers = { false };
    EXPECT_EQ(results.clear(prompts, problems), 0);
    EXPECT_EQ(prompts.questions.at(0),
        "Remove the 4 results files of 3 students for the test \"Week 5\"? They cannot be brought back.");
    EXPECT_EQ(ClassResults(folder.path(), folder / "week5.dsq", "Week 5").attempts().size(), 4u);

    // A file replaced since it was read is left.
    const fs::path replaced = results.attempts()[0].file;
    const std::string bytes = readWholeFile(replaced);
    std::ofstream(folder / "results" / "copy.tmp", std::ios::binary) << bytes;
    fs::rename(folder / "results" / "copy.tmp", replaced);
    prompts.yesNoAnswers = { true };
    EXPECT_EQ(results.clear(prompts, problems), 3);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].name, replaced.filename().string());
    std::size_t left = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder / "results"))
        ++left;
    EXPECT_EQ(left, 4u); // the replaced file, Week 6, the free practice and the damaged file
    EXPECT_TRUE(fs::exists(folder / "results" / "broken.csv"));
}

TEST(ClassResultsForms, VersionOpenedFromItsSetFolderFindsItsSet)
{
    TempFolder folder;
    makeClass(folder.path());
    // Opened as a version, with a title the results do not carry: matched by the set's files.
    const ClassResults results(folder.path(), folder / "week5 versions" / "week5-02.dsq", "Renamed");
    EXPECT_EQ(results.attempts().size(), 3u);
}

} // namespace
} // namespace tb
