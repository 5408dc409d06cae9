// The cost of the teacher's work, each figure against a plain-file baseline of the same run.

#include "bench_table.h"
#include "bench_workspace.h"

#include "core/drugdb/drug_file.h"
#include "core/foundation/app_state.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/questions/drop_rate_question.h"
#include "core/questions/drug_questions.h"
#include "core/questions/infusion_questions.h"
#include "core/questions/metric_question.h"
#include "core/questions/units_questions.h"
#include "core/questions/weight_dose_questions.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/question_drafter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using tb::headless::QuietView;
using tb::headless::ScriptedPrompts;
using tb::headless::TempFolder;

namespace {

/// The sample drug database with the program's state, and a model on it.
struct ModelWorkspace : tb::bench::Workspace {
    QuietView view;

    std::unique_ptr<tb::ExamModel> model()
    {
        auto m = std::make_unique<tb::ExamModel>(*state, prompts, view);
        m->drafter().setSelectedCategories(
            std::vector<bool>(static_cast<std::size_t>(state->categories.CategoryCount), true));
        return m;
    }
};

ModelWorkspace& workspace()
{
    static ModelWorkspace w;
    return w;
}

// A plain copy; `synced` flushes it to the disk as every rewrite of the program does.
void copyPlain(const fs::path& from, const fs::path& to, bool synced = false)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    char buffer[65536];
    std::size_t n = 0;
    while (in && out && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        std::fwrite(buffer, 1, n, out);
    if (out && synced) {
        std::fflush(out);
        ::fsync(::fileno(out));
    }
    if (in)
        std::fclose(in);
    if (out)
        std::fclose(out);
}

std::size_t readPlain(const fs::path& path)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    char buffer[65536];
    std::size_t total = 0;
    std::size_t n = 0;
    while (in && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        total += n;
    if (in)
        std::fclose(in);
    return total;
}

/// A saved test of 99 questions of all four categories, made once.
const fs::path& savedTest()
{
    static const fs::path path = [] {
        ModelWorkspace& w = workspace();
        auto model = w.model();
        model->createQuestions("99");
        w.prompts.fileNames.push_back((w.folder.path() / "bench99.dsq").string());
        w.prompts.yesNoAnswers.push_back(true);
        model->saveAs();
        model->closeTest();
        return w.folder.path() / "bench99.dsq";
    }();
    return path;
}

// ---- Create Question for 99 questions ----

void BM_Create99(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    auto model = w.model();
    for (auto _ : st) {
        w.prompts.yesNoAnswers.push_back(false);
        model->newTest();
        model->createQuestions("99");
        benchmark::DoNotOptimize(model->QuestionCount());
    }
    model->closeTest();
}
BENCHMARK(BM_Create99)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Baseline_WriteCycles99(benchmark::State& st)
{
    const fs::path path = workspace().folder.path() / "plain.tmp";
    const std::string record(2012, 'x');
    for (auto _ : st) {
        for (int r = 0; r < 100; ++r) {
            std::FILE* f = std::fopen(path.c_str(), r == 0 ? "wb" : "r+b");
            std::fseek(f, static_cast<long>(r) * 2012, SEEK_SET);
            std::fwrite(record.data(), 1, record.size(), f);
            std::fclose(f);
        }
    }
}
BENCHMARK(BM_Baseline_WriteCycles99)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- open a 99-question test and step through it ----

void BM_OpenAndStep99(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    const fs::path test = savedTest();
    auto model = w.model();
    for (auto _ : st) {
        w.prompts.yesNoAnswers.push_back(false);
        w.prompts.fileNames.push_back(test.string());
        model->openTest();
        for (int i = 1; i < model->QuestionCount(); ++i)
            model->back();
        benchmark::DoNotOptimize(model->CurrentQuestion());
    }
}
BENCHMARK(BM_OpenAndStep99)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Baseline_ReadTest(benchmark::State& st)
{
    const fs::path test = savedTest();
    for (auto _ : st)
        benchmark::DoNotOptimize(readPlain(test));
}
BENCHMARK(BM_Baseline_ReadTest)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---- Save As and text export of a 99-question test ----

void BM_SaveAs99(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    const fs::path test = savedTest();
    auto model = w.model();
    w.prompts.fileNames.push_back(test.string());
    model->openTest();
    int i = 0;
    for (auto _ : st) {
        w.prompts.fileNames.push_back((w.folder.path() / (i++ % 2 ? "copy-a.dsq" : "copy-b.dsq")).string());
        w.prompts.yesNoAnswers.push_back(true);
        model->saveAs();
    }
}
BENCHMARK(BM_SaveAs99)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Export99(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    const fs::path test = savedTest();
    auto model = w.model();
    w.prompts.fileNames.push_back(test.string());
    model->openTest();
    const fs::path out = w.folder.path() / "export.txt";
    for (auto _ : st)
        tb::writeFileAtomically(out, tb::textFileContents(model->header(), model->storedQuestions(), model->options()));
}
BENCHMARK(BM_Export99)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Baseline_CopyTest(benchmark::State& st)
{
    const fs::path test = savedTest();
    const fs::path out = workspace().folder.path() / "plain-copy.dsq";
    for (auto _ : st)
        copyPlain(test, out);
}
BENCHMARK(BM_Baseline_CopyTest)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---- the drug data file at its largest ----

/// A folder with a 32767-record data file made of the sample records over and over.
struct BigDatabase {
    TempFolder folder;
    fs::path master;
    tb::CategoryTables categories;

    BigDatabase()
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        const std::string sample = folder.read("MXDBASE.FIL");
        const std::size_t records = sample.size() / 240;
        std::string big;
        big.reserve(32767u * 240u);
        for (std::size_t r = 0; r < 32767; ++r)
            big.append(sample, (r % records) * 240, 240);
        folder.write("master.fil", big);
        master = folder.path() / "master.fil";
        copyPlain(master, folder.path() / "MXDBASE.FIL");
        categories = tb::loadCategories(folder.path());
    }
};

BigDatabase& bigDatabase()
{
    static BigDatabase b;
    return b;
}

void BM_Rebuild32767(benchmark::State& st)
{
    BigDatabase& b = bigDatabase();
    for (auto _ : st)
        tb::rebuildIndexes(b.folder.path(), b.categories);
}
BENCHMARK(BM_Rebuild32767)->Unit(benchmark::kMillisecond)->UseRealTime();

// What any rebuild must do: read the data file and write the three index files, synced.
void BM_Baseline_RebuildCopies(benchmark::State& st)
{
    BigDatabase& b = bigDatabase();
    tb::rebuildIndexes(b.folder.path(), b.categories);
    for (auto _ : st) {
        benchmark::DoNotOptimize(readPlain(b.master));
        for (const char* name : { "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx" })
            copyPlain(b.folder.path() / name, b.folder.path() / (std::string(name) + ".copy"), true);
    }
}
BENCHMARK(BM_Baseline_RebuildCopies)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DeleteFirstOf32767(benchmark::State& st)
{
    BigDatabase& b = bigDatabase();
    for (auto _ : st) {
        st.PauseTiming();
        copyPlain(b.master, b.folder.path() / "MXDBASE.FIL");
        st.ResumeTiming();
        tb::DrugFile file(b.folder.path());
        file.deleteRecord(1);
    }
}
BENCHMARK(BM_DeleteFirstOf32767)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

// A drug record saved in place, at the end of the largest file (the editor's "&Yes").
void BM_SaveDrugRecord32767(benchmark::State& st)
{
    BigDatabase& b = bigDatabase();
    copyPlain(b.master, b.folder.path() / "MXDBASE.FIL");
    tb::DrugFile file(b.folder.path());
    const tb::DrugRecord record = file.read(32767);
    for (auto _ : st)
        file.write(32767, record);
}
BENCHMARK(BM_SaveDrugRecord32767)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Baseline_CopyDataFile(benchmark::State& st)
{
    BigDatabase& b = bigDatabase();
    for (auto _ : st)
        copyPlain(b.master, b.folder.path() / "plain-copy.fil", true);
}
BENCHMARK(BM_Baseline_CopyDataFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- one question of each generator ----

void fillCandidates(tb::AppState& state, const tb::DrugIndex& index)
{
    state.CandidateCount = index.count;
    state.CandidateRecords.assign(static_cast<std::size_t>(index.count) + 1, 0);
    for (int i = 1; i <= index.count; ++i)
        state.CandidateRecords[static_cast<std::size_t>(i)] = index.record[static_cast<std::size_t>(i)];
}

void BM_MetricQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeMetricQuestion(*w.state));
}
BENCHMARK(BM_MetricQuestion)->UseRealTime();

void BM_TabletQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    fillCandidates(*w.state, w.state->TabletIndex);
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeTabletQuestion(*w.state));
}
BENCHMARK(BM_TabletQuestion)->UseRealTime();

void BM_FluidQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    fillCandidates(*w.state, w.state->FluidIndex);
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeFluidQuestion(*w.state));
}
BENCHMARK(BM_FluidQuestion)->UseRealTime();

void BM_DropRateQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeDropRateQuestion(*w.state));
}
BENCHMARK(BM_DropRateQuestion)->UseRealTime();

void BM_PumpRateQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makePumpRateQuestion(*w.state));
}
BENCHMARK(BM_PumpRateQuestion)->UseRealTime();

void BM_InfusionTimeQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeInfusionTimeQuestion(*w.state));
}
BENCHMARK(BM_InfusionTimeQuestion)->UseRealTime();

void BM_UnitsQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeUnitsQuestion(*w.state));
}
BENCHMARK(BM_UnitsQuestion)->UseRealTime();
// One weight-based dose question reads the file of doses per kg and the drug data file.
void BM_WeightDoseQuestion(benchmark::State& st)
{
    ModelWorkspace& w = workspace();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeWeightDoseQuestion(*w.state));
}
BENCHMARK(BM_WeightDoseQuestion)->UseRealTime();

// The largest data file (32767 records) with the sample's doses per kg: the drugs are found by
// name, so every record is looked at.
tb::AppState& largestWeightDoseDatabase()
{
    static tb::headless::TempFolder folder;
    static tb::AppState state(std::make_unique<tb::ProductionRandom>(), folder.path());
    if (!std::filesystem::exists(folder / tb::DrugDataFileName)) {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        const std::string sample = folder.read(tb::DrugDataFileName);
        std::string large;
        while (large.size() + sample.size() <= tb::MaxDrugRecords * 240ULL)
            large += sample;
        // Padding blank records first, so that the named drugs sit at the end of the file.
        folder.write(tb::DrugDataFileName, std::string(tb::MaxDrugRecords * 240ULL - large.size(), ' ') + large);
    }
    return state;
}

// One question made on its own: the side file matched with every drug record.
void BM_WeightDoseQuestionLargestDatabase(benchmark::State& st)
{
    tb::AppState& state = largestWeightDoseDatabase();
    for (auto _ : st)
        benchmark::DoNotOptimize(tb::makeWeightDoseQuestion(state));
}
BENCHMARK(BM_WeightDoseQuestionLargestDatabase)->UseRealTime();

// One question of Create Question: the drafter keeps its match while the files stay as they were.
void BM_DraftWeightDoseLargestDatabase(benchmark::State& st)
{
    tb::AppState& state = largestWeightDoseDatabase();
    QuietView view;
    tb::headless::ScriptedPrompts prompts;
    tb::QuestionDrafter drafter(state, prompts, view);
    tb::QuestionRecord record;
    for (auto _ : st)
        benchmark::DoNotOptimize(drafter.draftQuestion(tb::WeightBasedDoses, record));
}
BENCHMARK(BM_DraftWeightDoseLargestDatabase)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    using tb::bench::Row;
    // Commands against the 16 ms frame (a run of a benchmark may give several commands);
    // bulk work against a plain copy or read of the same bytes.
    return tb::bench::runAndPrint(argc, argv,
        {
            Row { "Create Question: 99 questions of all four categories", "BM_Create99", "", 0 },
            Row { "open a 99-question test, then each step (per command)", "BM_OpenAndStep99", "", 0, 99 },
            Row { "Save As of a 99-question test", "BM_SaveAs99", "", 0 },
            Row { "text export of a 99-question test", "BM_Export99", "", 0 },
            Row { "save drug record 32767 of 32767", "BM_SaveDrugRecord32767", "", 0 },
            Row { "one metric conversion question", "BM_MetricQuestion", "", 0 },
            Row { "one tablet dosage question", "BM_TabletQuestion", "", 0 },
            Row { "one fluid dosage question", "BM_FluidQuestion", "", 0 },
            Row { "one IV drop-rate question", "BM_DropRateQuestion", "", 0 },
            Row { "one infusion pump rate question", "BM_PumpRateQuestion", "", 0 },
            Row { "one infusion time question", "BM_InfusionTimeQuestion", "", 0 },
            Row { "one heparin or insulin question in units", "BM_UnitsQuestion", "", 0 },
            Row { "one weight-based dose question", "BM_WeightDoseQuestion", "", 0 },
            Row { "one weight-based dose question, 32767 drug records", "BM_WeightDoseQuestionLargestDatabase", "", 0 },
            Row { "Create Question: one weight-based dose question, 32767 drug records",
                "BM_DraftWeightDoseLargestDatabase", "", 0 },
            Row { "delete of drug record 1 of 32767, vs a synced copy", "BM_DeleteFirstOf32767",
                "BM_Baseline_CopyDataFile", 3 },
            // The rebuild runs when the drug editor closes: a command, so it is held to the frame. Its six
            // syncs (three files, then the folder after each rename) cost most of what it takes beyond
            // reading the data file and copying three small files.
            Row { "index rebuild over 32767 drug records, vs plain copies", "BM_Rebuild32767",
                "BM_Baseline_RebuildCopies" },
        });
}
