// The test window against the model alone: Create Question for 99 questions until all
// are shown, offscreen.

#include "bench_table.h"
#include "bench_workspace.h"

#include "core/foundation/app_state.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/exam_model.h"
#include "gui/testbuilder/exam_window.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <memory>
#include <vector>

using tb::headless::QuietView;
using tb::headless::ScriptedPrompts;
using tb::headless::TempFolder;

namespace {

using tb::bench::Workspace;

void BM_WindowCreate99(benchmark::State& st)
{
    Workspace w;
    tb::ExamWindow window(*w.state, w.prompts);
    window.show();
    QApplication::processEvents();
    auto* count = window.findChild<QLineEdit*>("Text1");
    auto* create = window.findChild<QPushButton*>("Cmdgenerate");
    auto* newTest = window.findChild<QAction*>("mnuopen_0");
    if (!count || !create || !newTest) {
        st.SkipWithError("the test window's controls were not found");
        return;
    }
    for (auto _ : st) {
        newTest->trigger();
        count->setText("99");
        create->click();
        QApplication::processEvents();
    }
    window.close();
}
BENCHMARK(BM_WindowCreate99)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ModelCreate99(benchmark::State& st)
{
    Workspace w;
    QuietView view;
    tb::ExamModel model(*w.state, w.prompts, view);
    model.drafter().setSelectedCategories(
        std::vector<bool>(static_cast<std::size_t>(w.state->categories.CategoryCount), true));
    for (auto _ : st) {
        model.newTest();
        model.createQuestions("99");
    }
    model.closeTest();
}
BENCHMARK(BM_ModelCreate99)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using tb::bench::Row;
    return tb::bench::runAndPrint(argc, argv,
        { Row { .work = "test window: Create Question for 99, until all are shown",
            .benchmark = "BM_WindowCreate99",
            .baseline = "BM_ModelCreate99" } });
}
