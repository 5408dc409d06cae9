// MXDBASE.FIL: drug records of any content (NaN and infinite doubles, zero volumes and
// increments, unknown units and forms, partial records) into the record reader, the
// index rebuild, the delete and both dosage generators.

#include "core/drugdb/drug_file.h"
#include "core/foundation/file_error.h"
#include "core/startup/startup_loader.h"
#include "fuzz_generator_checks.h"
#include "fuzz_support.h"

#include <cstdlib>
#include <set>

using namespace tb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t L = DrugRecord::RecordLength;
    if (size > 12 * L)
        return 0;

    // Every whole record packs back to the same bytes.
    std::set<std::int16_t> codes;
    for (std::size_t at = 0; at < size; at += L) {
        const DrugRecord r = DrugRecord::unpack(bytes.substr(at, L));
        if (at + L <= size && r.pack() != bytes.substr(at, L))
            std::abort();
        codes.insert(r.DrugCategory);
    }

    const auto folder = fuzz::privateFolder().fresh("drugs");
    fuzz::writeBytes(folder / "MXDBASE.FIL", bytes);

    // Categories for the codes the records carry (up to 50), then the rebuild.
    CategoryTables categories;
    for (std::int16_t code : codes) {
        if (categories.CategoryCount == MaxCategories)
            break;
        const auto k = static_cast<std::size_t>(++categories.CategoryCount);
        categories.CategoryName[k] = fitCategoryName("category " + std::to_string(code));
        categories.CategoryCode[k] = code;
    }
    try {
        rebuildIndexes(folder, categories);
    } catch (const FileError&) {
        std::abort(); // a readable data file of at most 12 records always rebuilds
    }

    // The rebuilt files read back, and list only records of the file.
    AppState state(std::make_unique<fuzz::InputRandom>(bytes), folder);
    if (const auto problem = loadStartupFiles(state)) {
        std::fprintf(stderr, "rebuilt files do not load: %s\n", problem->message.c_str());
        std::abort();
    }
    const int total = recordTotalFor(size);
    for (const DrugIndex* index : { &state.TabletIndex, &state.FluidIndex })
        for (int i = 1; i <= index->count; ++i)
            if (index->record[static_cast<std::size_t>(i)] > total)
                std::abort();

    // Each listed drug on its own into its generator.
    auto runEach = [&](const DrugIndex& index, auto generate, const char* kind) {
        for (int i = 1; i <= index.count; ++i) {
            state.CandidateRecords.assign(2, 0);
            state.CandidateRecords[1] = index.record[static_cast<std::size_t>(i)];
            state.CandidateCount = 1;
            fuzz::checkDrugResult(generate(state), kind);
        }
    };
    runEach(state.TabletIndex, makeTabletQuestion, "tablet");
    runEach(state.FluidIndex, makeFluidQuestion, "fluid");
    fuzz::checkCreatedQuestions(state);

    // Deleting the first record leaves the others, whole, one place down.
    try {
        DrugFile file(folder);
        const int before = file.RecordTotal();
        file.deleteRecord(1);
        file.close();
        const std::string after = fuzz::readBytes(folder / "MXDBASE.FIL");
        const std::size_t kept = static_cast<std::size_t>(before - 1) * L;
        if (after.size() != kept)
            std::abort();
        std::string expected(bytes.substr(std::min(size, L), kept));
        expected.resize(kept, '\0');
        if (after != expected)
            std::abort();
    } catch (const FileError&) {
        std::abort();
    }

    // A new record, the same delete and the rebuild, with one step (chosen by the input)
    // failing or its scratch file replaced: every file is left old or new, a record stopped
    // half written is cut back, and after start-up has finished a stopped rebuild what is
    // left loads.
    const std::string beforeFault = fuzz::readBytes(folder / "MXDBASE.FIL");
    const unsigned step = size > 0 ? 1 + static_cast<unsigned>(data[0]) % 32 : 0;
    fuzz::FailingHook hook(step, size > 1 && data[1] % 2 == 1);
    const std::string added = beforeFault + DrugRecord {}.pack(); // the delete left whole records
    const std::string deleted(added.substr(L));
    try {
        DrugFile file(folder, &hook);
        file.write(static_cast<int>(beforeFault.size() / L) + 1, DrugRecord {});
        file.deleteRecord(1);
        file.close();
    } catch (const FileError&) {
    }
    try {
        rebuildIndexes(folder, categories, &hook);
    } catch (const FileError&) {
    }
    const std::string afterFault = fuzz::readBytes(folder / "MXDBASE.FIL");
    if (afterFault != beforeFault && afterFault != added && afterFault != deleted) {
        std::fprintf(stderr, "the data file is neither old nor new after a fault at step %u\n", step);
        std::abort();
    }
    for (const char* name : { "MXDBASE.FIL", "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx" })
        if (fuzz::readBytes(folder / name).find(hook.planted()) != std::string::npos) {
            std::fprintf(stderr, "a replaced scratch file became %s\n", name);
            std::abort();
        }
    completeIndexRebuild(folder);
    AppState reloaded(std::make_unique<fuzz::InputRandom>(bytes), folder);
    if (const auto problem = loadStartupFiles(reloaded)) {
        std::fprintf(stderr, "files left by a failed rewrite do not load: %s\n", problem->message.c_str());
        std::abort();
    }
    return 0;
}
