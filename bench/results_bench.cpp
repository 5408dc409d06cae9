// Student Results: 6,000 results files (30 students x 10 attempts x 20 tests) in the results
// folder, loaded into the window for one of the tests, against a stated budget of one second.

#include "bench_table.h"

#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/results/class_results.h"
#include "core/student/student_exam.h"
#include "core/testbuilder/target_file.h"
#include "gui/results/results_window.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTableWidget>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Tests = 20;
constexpr int Students = 30;
constexpr int Attempts = 10;

// Twenty tests of the sample test's twenty questions, and every student's attempts at each,
// in the bytes Dosarion's results writer gives them.
struct ClassFolder {
    ClassFolder()
    {
        const tb::StudentExam sample = tb::readStudentExam(fs::path(TB_SOURCE_DIR) / "docs/sample-test.dsq");
        const std::vector<tb::StudentQuestion> questions = tb::studentQuestions(sample);
        fs::create_directories(folder / "results");
        const auto monday = std::chrono::system_clock::from_time_t(1796634000);
        for (int t = 1; t <= Tests; ++t) {
            tb::TestHeader header;
            header.TestTitle = "Week " + std::to_string(t);
            std::string bytes = header.pack();
            for (const tb::QuestionRecord& question : sample.questions)
                bytes += question.pack();
            folder.write("week" + std::to_string(t) + ".dsq", bytes);
            for (int s = 1; s <= Students; ++s)
                for (int a = 1; a <= Attempts; ++a) {
                    tb::ResultsRecord record;
                    record.student = "Student " + std::to_string(s);
                    record.way = a % 2 ? "practise" : "sit";
                    record.testTitle = header.TestTitle;
                    record.testFile = "week" + std::to_string(t) + ".dsq";
                    record.start = monday + std::chrono::hours(t * 24 + a) + std::chrono::minutes(s);
                    record.end = record.start + std::chrono::minutes(20);
                    record.total = static_cast<int>(questions.size());
                    for (const tb::StudentQuestion& question : questions) {
                        const bool right = (question.number + s + a) % 4 != 0;
                        record.score += right ? 1 : 0;
                        record.rows.push_back({ question.number, "Tablets", question.answerText,
                            right ? question.answerText : "1000", right, right ? 1 : 2,
                            right ? "" : "Your answer is 10 times too large: check the unit conversion." });
                    }
                    std::ofstream(folder / "results"
                            / tb::resultsFileName(record.student, record.testTitle, record.start, 1000 + a),
                        std::ios::binary)
                        << tb::resultsCsv(record);
                }
        }
    }
    tb::headless::TempFolder folder;
};

void BM_ResultsWindow6000(benchmark::State& st)
{
    ClassFolder f;
    tb::headless::ScriptedPrompts prompts; // asks nothing here
    tb::AppState state(std::make_unique<tb::ProductionRandom>(), f.folder.path());
    const std::string workingFile = "week7.dsq";
    const tb::TestHeader header;
    const tb::TargetFiles targets(state, prompts, workingFile, header);
    for (auto _ : st) {
        tb::ResultsWindow window(
            std::make_unique<tb::ClassResults>(f.folder.path(), f.folder / "week7.dsq", "Week 7"), targets, prompts);
        window.show();
        QApplication::processEvents();
        if (window.findChild<QTableWidget*>(QStringLiteral("grdstudents"))->rowCount() != Students)
            st.SkipWithError("the window does not show the class");
    }
}
BENCHMARK(BM_ResultsWindow6000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    using tb::bench::Row;
    return tb::bench::runAndPrint(argc, argv,
        { Row { .work = "Student Results: 6,000 results files into the window",
            .benchmark = "BM_ResultsWindow6000",
            .baseline = "",
            .limit = 0,
            .commands = 1,
            .budget = 1.0 } });
}
