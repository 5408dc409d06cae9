// Class versions: 30 versions of a 20-question test with every output (30 test files, one PDF of
// every paper, key and solutions, one Moodle XML file), as the "Class Versions" command makes them.

#include "bench_table.h"
#include "bench_workspace.h"

#include "core/headless/quiet_view.h"
#include "core/testbuilder/class_versions.h"
#include "core/testbuilder/exam_model.h"
#include "gui/common/qt_print.h"

#include <QApplication>

#include <vector>

namespace {

void BM_ClassVersions30x20(benchmark::State& st)
{
    tb::bench::Workspace w;
    tb::headless::QuietView view;
    tb::ExamModel model(*w.state, w.prompts, view);
    model.drafter().setSelectedCategories(
        std::vector<bool>(static_cast<std::size_t>(w.state->categories.CategoryCount), true));
    tb::QtDocumentPrinter printer(nullptr);
    tb::VersionRequest request;
    request.base = "class";
    request.parallel = false; // 20 new questions of the count box in each version
    request.versions = 30;
    for (auto _ : st) {
        w.state->saveanswer = true; // the files of the last round are replaced without asking again
        const tb::VersionsOutcome outcome = tb::makeClassVersions(model, *w.state, w.prompts, &printer, "20", request);
        if (outcome.made != 30 || outcome.written.size() != 32) {
            st.SkipWithError("the versions were not all made");
            break;
        }
    }
    model.closeTest();
}
BENCHMARK(BM_ClassVersions30x20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using tb::bench::Row;
    // No baseline: the figure is the time of the whole command against a budget of three seconds.
    return tb::bench::runAndPrint(argc, argv,
        { Row { .work = "class versions: 30 x 20 questions, files, PDF, Moodle XML",
            .benchmark = "BM_ClassVersions30x20",
            .baseline = "",
            .budget = 3.0 } });
}
