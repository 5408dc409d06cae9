// MXDBASE.FIL into the drug database editor: every record shown (NaN, infinite and huge
// numbers, unknown codes, partial records), a delete, and the index rebuild when the
// window closes. Answering "No" to every save question leaves the data file exactly as
// the delete made it; answering "Yes" writes only records that pass the editor's checks.
// One write step of the editor, chosen by the input, fails or has its scratch file replaced:
// the data file is then left as it was or as the editor's commands made it, never half.

#include "core/drugdb/drug_editor.h"
#include "core/foundation/file_error.h"
#include "core/headless/scripted_prompts.h"
#include "core/startup/startup_loader.h"
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

using namespace tb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t L = DrugRecord::RecordLength;
    if (size > 12 * L)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool answerYes = size % 2 == 1;
    fuzz::FailingHook hook(size > 2 ? 1 + static_cast<unsigned>(data[size / 2]) % 40 : 0, size % 4 >= 2);

    const auto folder = fuzz::privateFolder().fresh("editor");
    fuzz::writeBytes(folder / "MXDBASE.FIL", bytes);
    fuzz::writeBytes(folder / "mxcat.idx",
        "3\r\n\"Analgesics          \",1\r\n\"Antibiotics         \",2\r\n"
        "\"Opioids             \",3\r\n");
    headless::ScriptedPrompts prompts;
    AppState state(std::make_unique<fuzz::InputRandom>(bytes), folder);
    {
        DrugEditor editor(state, prompts);
        editor.setFaultHook(&hook);
        if (!editor.Form_Load()) {
            std::fprintf(stderr, "the editor refused a readable folder\n");
            std::abort();
        }
        const int total = editor.RecordTotal;
        for (int i = 0; i < total + 1; ++i) {
            prompts.yesNoAnswers.push_back(answerYes);
            editor.next_Click(0);
            if (editor.CurrentRecord < 1 || editor.CurrentRecord > editor.RecordTotal)
                std::abort();
        }
        prompts.yesNoAnswers.push_back(answerYes);
        editor.Command1_Click(2); // first record
        editor.Delete_Click();
        prompts.yesNoAnswers.push_back(answerYes);
        if (!editor.Form_Unload())
            editor.Form_Unload(); // a refused save keeps the window open once; "No" closes it
    }

    const std::string after = fuzz::readBytes(folder / "MXDBASE.FIL");
    if (after.find(hook.planted()) != std::string::npos) {
        std::fprintf(stderr, "a replaced scratch file became the data file\n");
        std::abort();
    }
    // A failed delete leaves the file as long as given, a partial last record included; a
    // record stopped half written is cut back.
    if (after.size() % L != 0 && !(hook.fired() && after.size() == size)) {
        std::fprintf(stderr, "the data file holds a partial record after the editor closed\n");
        std::abort();
    }
    if (!answerYes && !hook.fired()) {
        // Nothing saved: the delete of record 1 is the only change.
        const int total = recordTotalFor(size);
        const std::size_t kept = static_cast<std::size_t>(total - 1) * L;
        std::string expected(bytes.substr(std::min(size, L), kept));
        expected.resize(kept, '\0');
        if (after != expected) {
            std::fprintf(stderr, "records changed without being saved\n");
            std::abort();
        }
    }
    completeIndexRebuild(folder); // what start-up does about a rebuild stopped part way
    try {
        parseIndexFile(fuzz::readBytes(folder / "mxdbs1.idx"), "mxdbs1.idx");
        parseIndexFile(fuzz::readBytes(folder / "mxdbs2.idx"), "mxdbs2.idx");
        parseCategoryFile(fuzz::readBytes(folder / "mxcat.idx"), "mxcat.idx");
    } catch (const FileError& e) {
        std::fprintf(stderr, "the rebuilt files do not read back: %s\n", e.what());
        std::abort();
    }
    return 0;
}
