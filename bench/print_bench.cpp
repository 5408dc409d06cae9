// Printing: a 99-question test with every section, from the working file to the bytes of its PDF.

#include "bench_table.h"
#include "bench_workspace.h"

#include "core/headless/quiet_view.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/exam_printing.h"
#include "gui/common/qt_print.h"

#include <QApplication>
#include <QPageSize>

#include <vector>

namespace {

void BM_PrintPdf99(benchmark::State& st)
{
    tb::bench::Workspace w;
    tb::headless::QuietView view;
    tb::ExamModel model(*w.state, w.prompts, view);
    model.drafter().setSelectedCategories(
        std::vector<bool>(static_cast<std::size_t>(w.state->categories.CategoryCount), true));
    model.createQuestions("99");
    if (model.QuestionCount() != 99) {
        st.SkipWithError("the test did not get 99 questions");
        return;
    }
    for (auto _ : st) {
        const std::string pdf
            = tb::renderPdf(tb::ExamPrinting(model, w.prompts, view).printDocument(), QPageSize(QPageSize::A4));
        benchmark::DoNotOptimize(pdf.data());
    }
    model.closeTest();
}
BENCHMARK(BM_PrintPdf99)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using tb::bench::Row;
    // No baseline: the figure is the time of one whole PDF against a budget of one second.
    return tb::bench::runAndPrint(argc, argv,
        { Row { .work = "print: 99 questions, every section, to PDF",
            .benchmark = "BM_PrintPdf99",
            .baseline = "",
            .budget = 1.0 } });
}
