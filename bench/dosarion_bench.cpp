// Dosarion: start-up to its test list with 200 tests in the folder, against a bare window of
// the same list; marking a typed answer and showing its feedback, against the 16 ms frame.

#include "bench_table.h"

#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/headless/temp_folder.h"
#include "core/student/exam_list.h"
#include "core/student/sessions.h"
#include "core/student/student_exam.h"
#include "gui/student/practise_window.h"
#include "gui/student/student_start_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QStandardPaths>
#include <QTest>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int FolderTests = 200;

// A folder of 200 listed tests of 20 questions each, as Tutor Bench writes them.
struct ListedFolder {
    ListedFolder()
    {
        const tb::StudentExam sample = tb::readStudentExam(fs::path(TB_SOURCE_DIR) / "docs/sample-test.dsq");
        for (int i = 1; i <= FolderTests; ++i) {
            tb::TestHeader header;
            header.TestTitle = "Practice test " + std::to_string(i);
            header.TestDescription = "Twenty questions of the sample test.";
            header.TestInstructions = "Give each answer with its unit.";
            header.MenuListed = 1;
            std::string bytes = header.pack();
            for (const tb::QuestionRecord& question : sample.questions)
                bytes += question.pack();
            folder.write("week" + std::to_string(i) + ".dsq", bytes);
        }
        state.dataFolder = folder.path();
    }
    tb::headless::TempFolder folder;
    tb::AppState state;
};

void BM_StartToList200(benchmark::State& st)
{
    ListedFolder f;
    for (auto _ : st) {
        tb::StudentStartWindow window(f.state, false);
        window.show();
        QApplication::processEvents();
        if (window.tests().size() != FolderTests)
            st.SkipWithError("the list does not hold the folder's tests");
    }
}
BENCHMARK(BM_StartToList200)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same window with a list of 200 titles and nothing read: what Qt alone costs.
void BM_BareListWindow(benchmark::State& st)
{
    for (auto _ : st) {
        QMainWindow window;
        auto* list = new QListWidget(&window);
        for (int i = 1; i <= FolderTests; ++i)
            list->addItem(QStringLiteral("Practice test %1").arg(i));
        window.setCentralWidget(list);
        window.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BareListWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// One wrong answer typed and marked, its diagnosis and feedback shown; the question starts
// afresh each time by stepping away and back (a wrong answer leaves tries while tries remain).
void BM_MarkAndShowFeedback(benchmark::State& st)
{
    ListedFolder f;
    const std::vector<tb::ListedExam> listed = tb::listStudentTests(f.folder.path());
    tb::StudentSettings settings;
    settings.tries = 1000000;
    tb::PractiseWindow window(
        tb::PractiseSession(tb::loadForms(listed.front()), settings, "Bench", std::chrono::system_clock::now()),
        QStringLiteral("Practice test"), f.folder.path());
    window.show();
    QApplication::processEvents();
    auto* box = window.findChild<QLineEdit*>(QStringLiteral("AnswerBox"));
    if (!box) {
        st.SkipWithError("no answer box");
        return;
    }
    for (auto _ : st) {
        box->setText(QStringLiteral("1000"));
        QTest::keyClick(box, Qt::Key_Return);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_MarkAndShowFeedback)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    using tb::bench::Row;
    return tb::bench::runAndPrint(argc, argv,
        { Row { .work = "Dosarion: start to the list of 200 tests",
              .benchmark = "BM_StartToList200",
              .baseline = "BM_BareListWindow",
              .limit = 20 },
            Row { .work = "Dosarion: mark an answer and show its feedback",
                .benchmark = "BM_MarkAndShowFeedback",
                .baseline = "",
                .limit = 0,
                .commands = 1,
                .budget = 0.016 } });
}
