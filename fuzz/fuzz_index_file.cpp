// mxdbs1.idx / mxdbs2.idx: the drug indexes read at start-up. Whatever they hold, the
// start-up either reports the file or loads it, and question generation from the loaded
// index either makes a question or names the drug it could not use.

#include "core/foundation/file_error.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/startup/startup_loader.h"
#include "fuzz_generator_checks.h"
#include "fuzz_support.h"

#include <cstdlib>

using namespace tb;

namespace {

const std::filesystem::path& dataFolder()
{
    static const std::filesystem::path folder = [] {
        auto f = fuzz::privateFolder().fresh("index");
        fuzz::writeBytes(f / "MXDBASE.FIL", fuzz::sampleDrugFile());
        fuzz::writeBytes(f / "mxcat.idx",
            "3\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n"
            "\"Opioids             \",3\r\n");
        return f;
    }();
    return folder;
}

void checkParsed(const DrugIndex& index)
{
    if (index.count < 0 || index.record.size() != static_cast<std::size_t>(index.count) + 1
        || index.category.size() != index.record.size())
        std::abort();
    for (int i = 1; i <= index.count; ++i)
        if (index.record[static_cast<std::size_t>(i)] < 1)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        checkParsed(parseIndexFile(text, "mxdbs1.idx"));
    } catch (const FileError& e) {
        if (std::string_view(e.what()).find("mxdbs1.idx") == std::string_view::npos)
            std::abort();
    }

    // The same text as both index files of a folder, loaded the way start-up loads them.
    const auto& folder = dataFolder();
    fuzz::writeBytes(folder / "mxdbs1.idx", text);
    fuzz::writeBytes(folder / "mxdbs2.idx", text);
    AppState state(std::make_unique<fuzz::InputRandom>(text), folder);
    if (const auto problem = loadStartupFiles(state)) {
        if (problem->message.empty() || problem->message.find(problem->fileName) == std::string::npos)
            std::abort();
        return 0;
    }
    checkParsed(state.TabletIndex);
    checkParsed(state.FluidIndex);
    if (state.CandidateRecords.size()
        != static_cast<std::size_t>(std::max(state.TabletIndex.count, state.FluidIndex.count)) + 1)
        std::abort();

    fuzz::fillCandidates(state, state.TabletIndex);
    for (int i = 0; i < 3; ++i)
        fuzz::checkDrugResult(makeTabletQuestion(state), "tablet");
    fuzz::fillCandidates(state, state.FluidIndex);
    for (int i = 0; i < 3; ++i)
        fuzz::checkDrugResult(makeFluidQuestion(state), "fluid");

    // The Create Question dispatcher, every drug category selected: a question, or a
    // message when no drug of the index can give one.
    headless::ScriptedPrompts prompts;
    headless::QuietView view;
    ExamModel model(state, prompts, view);
    for (int category : { TabletDosages, FluidDosages }) {
        prompts.messages.clear();
        if (model.drafter().generateQuestion(category)) {
            if (!std::isfinite(model.drafter().lastGenerated().answer) || model.drafter().lastGenerated().answer <= 0.0)
                std::abort();
        } else if (prompts.messages.empty() || prompts.messages.back().text.empty()) {
            std::abort();
        }
    }
    fuzz::checkCreatedQuestions(state);
    return 0;
}
