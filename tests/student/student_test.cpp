#include "core/headless/temp_folder.h"
#include "core/student/exam_list.h"
#include "core/student/results_file.h"
#include "core/student/sessions.h"
#include "core/student/student_exam.h"
#include "core/student/student_settings.h"

#include "core/foundation/app_state.h"
#include "core/foundation/record_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tb {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;
using headless::TempFolder;

const QuestionRecord Tablets { "\r\nA client is ordered 500 mgs of Paracetamol. 250 mg tablets are available.\r\nHow "
                               "many tablets will you give?",
    "500 mg / 250 mg = 2 tablets", "2" };
const QuestionRecord Fluid { "\r\nA client is ordered 250 mg's of Amoxil orally. 125 mg's in 5 ml's of mixture is "
                             "available.\r\nHow many ml's will you administer?",
    "Required dose   Stock Volume\r\n250 mg / 125 mg  X  5 ml   ", "10" };
const QuestionRecord Conversion { "\r\nConvert 5 mgs to gs.", "5 mg X 0.001 = 0.005 g", "0.005" };

// A test file as Tutor Bench writes it: the header record, then one record a question.
void writeTest(const fs::path& file, const std::string& title, const std::string& description, int listed,
    const std::vector<QuestionRecord>& questions)
{
    TestHeader header;
    header.TestTitle = title;
    header.TestDescription = description;
    header.TestInstructions = "Show your working.";
    header.MenuListed = listed;
    std::string bytes = header.pack();
    for (const QuestionRecord& question : questions)
        bytes += question.pack();
    std::ofstream(file, std::ios::binary) << bytes;
}

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

// ---- the test list ----

TEST(StudentTestList, ListedTestsOnlyDamagedNamedVersionsAsOne)
{
    TempFolder folder;
    writeTest(folder / "WEEK1.DSQ", "Week 1", "Tablets.", 1, { Tablets, Fluid });
    writeTest(folder / "draft.dsq", "Draft", "", 0, { Tablets });
    std::ofstream(folder / "broken.dsq") << "short";
    fs::create_directory(folder / "Week 5 versions");
    for (int n : { 2, 1 })
        writeTest(folder / "Week 5 versions" / ("week5-0" + std::to_string(n) + ".dsq"), "Week 5",
            "Doses. Version K7F3-0" + std::to_string(n), 1, { Tablets, Conversion });
    fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::remove);
    const std::set<std::string> before = namesIn(folder.path());

    const std::vector<ListedExam> tests = listStudentTests(folder.path());
    fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::add);
    ASSERT_EQ(tests.size(), 3u);
    EXPECT_EQ(tests[0].title, "broken.dsq");
    EXPECT_TRUE(tests[0].damaged);
    EXPECT_NE(tests[0].reason.find("broken.dsq"), std::string::npos);
    EXPECT_EQ(tests[1].title, "Week 1");
    EXPECT_EQ(tests[1].questionCount, 2);
    EXPECT_EQ(tests[1].instructions, "Show your working.");
    EXPECT_FALSE(tests[1].hasParallelForms());
    EXPECT_EQ(tests[2].description, "Doses.");
    ASSERT_EQ(tests[2].forms.size(), 2u);
    EXPECT_EQ(tests[2].forms[0].versionCode, "K7F3-01");
    EXPECT_EQ(tests[2].forms[1].file.filename(), "week5-02.dsq");
    // Nothing made, renamed or locked beside the tests.
    EXPECT_EQ(namesIn(folder.path()), before);
}

// ---- the side file ----

TEST(StudentSettingsFile, RoundTripDefaultsAndBadLinesNamed)
{
    TempFolder folder;
    EXPECT_EQ(studentSettingsPath(folder / "week5-03.dsq", true), folder / "week5.student.txt");
    EXPECT_FALSE(readStudentSettings(folder / "none.student.txt").found);

    StudentSettings settings;
    settings.mode = StudentMode::Sit;
    settings.attempts = 3;
    settings.minutesPerQuestion = 3;
    settings.passPercent = 90;
    settings.extraTime["Ren\xE9 Dupont"] = 25;
    writeStudentSettings(folder / "w.student.txt", settings);
    const StudentSettingsRead read = readStudentSettings(folder / "w.student.txt");
    EXPECT_EQ(read.settings, settings);
    EXPECT_TRUE(read.problems.empty());
    EXPECT_EQ(sittingMinutes(settings, 10, "Ren\xE9 Dupont"), 38); // 30 minutes and a quarter, rounded up
    EXPECT_EQ(sittingMinutes(settings, 10, "Someone"), 30);

    const StudentSettingsRead bad
        = parseStudentSettings("# note\nmode = exam\ntries = 5\nattempts=0\nfont = big\nno equals\n", "w.student.txt");
    EXPECT_EQ(bad.settings.tries, 5);
    EXPECT_EQ(bad.settings.attempts, 2);
    EXPECT_EQ(bad.settings.mode, StudentMode::Practise);
    ASSERT_EQ(bad.problems.size(), 4u);
    EXPECT_EQ(bad.problems[0], "Line 2 of \"w.student.txt\" was skipped: the mode is \"practise\" or \"sit\".");
    EXPECT_NE(bad.problems[3].find("Line 6"), std::string::npos);
}

// ---- marking a stored question ----

TEST(StudentMarking, NotesDiagnosesAndFeedback)
{
    const StudentQuestion fluid = studentQuestion(Fluid, 1);
    EXPECT_EQ(fluid.unit, "ml");
    EXPECT_EQ(correctAnswerText(fluid), "10 ml");
    EXPECT_EQ(fluid.solution, "Required dose   Stock Volume\r\n250 mg / 125 mg  X  5 ml");
    EXPECT_TRUE(markAnswer(fluid, "10 mls").right);
    EXPECT_TRUE(markAnswer(fluid, "10.0").right);
    EXPECT_EQ(markAnswer(fluid, "10.0").note, "No trailing zero: 10");
    const MarkedAnswer wrong = markAnswer(fluid, "100");
    EXPECT_EQ(feedbackLines(fluid, wrong),
        (std::vector<std::string> { "Wrong.", "Your answer: 100 ml", "The correct answer: 10 ml",
            "Your answer is 10 times too large: check the unit conversion." }));
    EXPECT_EQ(feedbackLines(fluid, wrong, false).size(), 3u);
    EXPECT_TRUE(markAnswer(fluid, "1,0").refused);
    const StudentQuestion conversion = studentQuestion(Conversion, 2);
    EXPECT_EQ(correctAnswerText(conversion), "0.005 g");
    EXPECT_TRUE(markAnswer(conversion, ".005 g").right);
}

// ---- the three ways, and the results file read back ----

class StudentScenario : public testing::Test {
protected:
    void SetUp() override
    {
        writeTest(folder / "w5-01.dsq", "Week 5", "Doses. Version K7F3-01", 1, { Tablets, Fluid });
        writeTest(folder / "w5-02.dsq", "Week 5", "Doses. Version K7F3-02", 1,
            { { Tablets.questionText, Tablets.solutionText, "3" }, Conversion });
        listed = listStudentTests(folder.path()).at(0);
    }
    TempFolder folder;
    ListedExam listed;
    const Clock::time_point start = Clock::from_time_t(1796634000); // 2026-12-07
};

TEST_F(StudentScenario, PractiseTriesThenSolutionAndAnotherLikeThis)
{
    StudentSettings settings;
    settings.tries = 2;
    PractiseSession practice(loadForms(listed), settings, "Jo \"JB\" Bloggs", start);
    EXPECT_TRUE(practice.answer("abc").refused);
    EXPECT_EQ(practice.triesLeft(), 2);
    EXPECT_EQ(practice.answer("0.5").diagnosis.kind, DiagnosisKind::Inverted);
    EXPECT_FALSE(practice.current().solutionShown);
    EXPECT_FALSE(practice.answer("20").right);
    EXPECT_TRUE(practice.current().solutionShown);
    ASSERT_TRUE(practice.anotherLikeThis());
    EXPECT_EQ(practice.current().question.answerText, "3");
    EXPECT_TRUE(practice.answer("3 tablets").right);
    ASSERT_TRUE(practice.next());
    EXPECT_TRUE(practice.answer("10").right);

    const fs::path file = writeResults(folder.path(), practice.results(start + std::chrono::seconds(95)));
    EXPECT_EQ(file.parent_path(), folder / "results");
    const ResultsRecord back = readResults(file);
    EXPECT_EQ(back.student, "Jo \"JB\" Bloggs");
    EXPECT_EQ(back.way, "practise");
    EXPECT_EQ(back.score, 2);
    EXPECT_EQ(back.rows.at(0).answerGiven, "3 tablets");
    EXPECT_EQ(back.rows.at(0).tries, 1);
    EXPECT_EQ(back.rows.at(1).correctAnswer, "10 ml");
    const std::string text = readWholeFile(file);
    EXPECT_NE(text.find("student,\"Jo \"\"JB\"\" Bloggs\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("duration seconds,95\r\n"), std::string::npos);
    EXPECT_NE(text.find("result,pass\r\n"), std::string::npos);
}

TEST_F(StudentScenario, SitTakesAFormNotHadAndLimitsAttempts)
{
    StudentSettings settings;
    settings.mode = StudentMode::Sit;
    settings.minutesPerQuestion = 3;
    settings.passPercent = 50;
    const std::vector<LoadedForm> forms = loadForms(listed);
    for (int sitting = 0; sitting < 2; ++sitting) {
        const SitSession::Start plan = SitSession::plan(forms, settings, sittingsOf(folder.path(), "Ann", "Week 5"));
        ASSERT_TRUE(plan.allowed);
        EXPECT_EQ(plan.form, static_cast<std::size_t>(sitting));
        SitSession sit(forms[plan.form], settings, "Ann", start + std::chrono::hours(sitting));
        EXPECT_EQ(sit.minutes(), 6);
        EXPECT_TRUE(sit.timeUp(start + std::chrono::hours(sitting) + std::chrono::minutes(6)));
        sit.setAnswer(1, sitting == 0 ? "2" : "3");
        sit.setAnswer(2, "1 000");
        sit.submit(start + std::chrono::hours(sitting) + std::chrono::minutes(4));
        EXPECT_FALSE(sit.marked(2).right);
        const ResultsRecord record = readResults(writeResults(folder.path(), sit.results()));
        EXPECT_EQ(record.percent(), 50);
        EXPECT_TRUE(record.passed());
        EXPECT_EQ(record.versionCode, sitting == 0 ? "K7F3-01" : "K7F3-02");
        EXPECT_EQ(record.rows.at(1).answerGiven, "1 000");
    }
    const SitSession::Start third = SitSession::plan(forms, settings, sittingsOf(folder.path(), "Ann", "Week 5"));
    EXPECT_FALSE(third.allowed);
    EXPECT_EQ(third.reason, "You have had all 2 attempts at this test.");
}

TEST_F(StudentScenario, FreePracticeFromTheGeneratorsWritesNothingButResults)
{
    AppState state(std::make_unique<ProductionRandom>(), folder.path());
    EXPECT_TRUE(loadStudentFiles(state).has_value()); // no drug database here: reported, nothing made
    const std::set<std::string> before = namesIn(folder.path());
    FreePractice practice(
        state, { MetricConversions, IVDropRates, InfusionPumpRates, InfusionTimes }, {}, "Ann", start);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(practice.nextQuestion()) << practice.problem();
        EXPECT_NE(practice.current().question.kind, QuestionKind::Unrecognised) << practice.current().question.text;
        EXPECT_FALSE(practice.current().question.unit.empty());
        EXPECT_TRUE(practice.answer(practice.current().question.answerText).right) << practice.current().question.text;
    }
    EXPECT_EQ(namesIn(folder.path()), before);
    const ResultsRecord back = readResults(writeResults(folder.path(), practice.results(start)));
    EXPECT_EQ(back.way, "free practice");
    EXPECT_EQ(back.score, 20);
}

TEST_F(StudentScenario, FreePracticeOfHeparinAndInsulinMarksEachForm)
{
    AppState state(std::make_unique<SeededRandom>(28), folder.path());
    FreePractice practice(state, { HeparinInsulinUnits }, {}, "Ann", start);
    const std::set<QuestionKind> kinds { QuestionKind::LiquidVolume, QuestionKind::UnitsPumpRate,
        QuestionKind::UnitsPerHour, QuestionKind::InsulinUnits };
    std::set<std::string> units;
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(practice.nextQuestion()) << practice.problem();
        const auto& question = practice.current().question;
        EXPECT_TRUE(kinds.contains(question.kind)) << question.text;
        units.insert(question.unit);
        EXPECT_TRUE(practice.answer(question.answerText + " " + question.unit).right) << question.text;
    }
    EXPECT_EQ(units.size(), 4u); // ml or millilitres, ml/hr, units/hr, units
}

// Weight-based doses practised from the folder's doses per kg, read only, marked as mg or ml.
TEST_F(StudentScenario, FreePracticeOfWeightBasedDosesReadsTheDosesPerKg)
{
    folder.copySampleDatabase(TB_SAMPLE_DIR);
    AppState state(std::make_unique<ProductionRandom>(), folder.path());
    EXPECT_FALSE(loadStudentFiles(state).has_value());
    const std::set<std::string> before = namesIn(folder.path());
    FreePractice practice(state, { WeightBasedDoses }, {}, "Ann", start);
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(practice.nextQuestion()) << practice.problem();
        const QuestionKind kind = practice.current().question.kind;
        EXPECT_TRUE(kind == QuestionKind::WeightDose || kind == QuestionKind::DoseVolume)
            << practice.current().question.text;
        EXPECT_TRUE(practice.answer(practice.current().question.answerText).right) << practice.current().question.text;
    }
    EXPECT_EQ(namesIn(folder.path()), before);

    folder.write("mxweight.txt", "# none yet\r\n");
    FreePractice none(state, { WeightBasedDoses }, {}, "Ann", start);
    EXPECT_FALSE(none.nextQuestion());
    EXPECT_NE(none.problem().find("names no drug of the drug database"), std::string::npos) << none.problem();
}

// ---- results files ----

TEST(ResultsFiles, SafeNamesDamagedFilesAndAFolderThatCannotBeWritten)
{
    const auto start = Clock::from_time_t(1796634000);
    const std::string name = resultsFileName("Ren\xE9 O'Neil/..", "Week 5: doses", start, 4321);
    EXPECT_EQ(name.substr(0, 31), "Ren__O_Neil___-Week_5__doses-20");
    EXPECT_EQ(name.substr(name.size() - 9), "-4321.csv");

    TempFolder folder;
    std::string reason;
    EXPECT_TRUE(canWriteResults(folder.path(), reason));
    // A time beyond the clock's range (year 7761) is as damaged as a score that is no number.
    for (const char* body : { "score,many\r\n", "start,7761-12-07 09:30:00\r\n", "end,2026-13-07 09:30:00\r\n" }) {
        std::ofstream(folder / "results" / "bad.csv") << "field,value\r\n" << body;
        try {
            readResults(folder / "results" / "bad.csv");
            ADD_FAILURE() << "a damaged results file was read: " << body;
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("bad.csv"), std::string::npos);
        }
    }
    if (geteuid() != 0) {
        fs::permissions(folder / "results", fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(canWriteResults(folder.path(), reason));
        EXPECT_NE(reason.find("results"), std::string::npos);
        fs::permissions(folder / "results", fs::perms::owner_write, fs::perm_options::add);
    }
}

// Thirty students finishing at once: thirty complete files, no scratch file left.
TEST(ResultsFiles, ThirtyWritersAtOnceLeaveThirtyCompleteFiles)
{
    TempFolder folder;
    ResultsRecord record;
    record.way = "sit";
    record.testTitle = "Week 5";
    record.total = 99;
    for (int i = 1; i <= 99; ++i)
        record.rows.push_back({ i, "Tablets", "2 tablets", "2", true, 1, "" });
    std::vector<pid_t> children;
    for (int n = 0; n < 30; ++n) {
        const pid_t child = fork();
        if (child == 0) {
            ResultsRecord mine = record;
            mine.student = "Student " + std::to_string(n);
            try {
                writeResults(folder.path(), mine);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<std::string> students;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder / "results")) {
        ++files;
        const ResultsRecord back = readResults(entry.path());
        EXPECT_EQ(back.rows.size(), 99u);
        students.insert(back.student);
    }
    EXPECT_EQ(files, 30);
    EXPECT_EQ(students.size(), 30u);
}

// A student's process killed at any step of the results write leaves no partial file under a
// results name: only the scratch file, or the whole file.
TEST(ResultsFiles, KilledWriterLeavesNoPartialResultsFile)
{
    struct KillAt final : FaultHook {
        explicit KillAt(RewriteStep step)
            : step(step)
        {
        }
        void at(RewriteStep reached, const fs::path&) override
        {
            if (reached == step)
                ::kill(::getpid(), SIGKILL);
        }
        RewriteStep step;
    };
    ResultsRecord record;
    record.way = "sit";
    record.student = "Student";
    record.testTitle = "Week 5";
    record.total = 1;
    record.rows.push_back({ 1, "Tablets", "2 tablets", "2", true, 1, "" });
    for (const RewriteStep step : { RewriteStep::ScratchOpened, RewriteStep::ScratchWritten, RewriteStep::ScratchSynced,
             RewriteStep::BeforeRename, RewriteStep::Renamed }) {
        TempFolder folder;
        const pid_t child = fork();
        if (child == 0) {
            KillAt hook(step);
            try {
                writeResults(folder.path(), record, &hook);
            } catch (...) {
            }
            _exit(0);
        }
        ASSERT_GT(child, 0);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << static_cast<int>(step);
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder / "results", ec)) {
            if (entry.path().extension() != ".csv")
                continue; // a scratch file, which never bears a results name
            EXPECT_EQ(readResults(entry.path()).rows.size(), 1u) << entry.path();
        }
    }
}

} // namespace
} // namespace tb
