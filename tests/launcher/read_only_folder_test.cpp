#include "core/drugdb/drug_editor.h"
#include "core/foundation/app_state.h"
#include "core/foundation/folder_lock.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace tb {
namespace {

using headless::ScriptedPrompts;
using headless::TempFolder;
namespace fs = std::filesystem;

// A folder holding the drug files but no MX.INI, that this user may read but not write: the
// program starts in it, says so once, and writes nothing there.
TEST(AsOrdinaryUser, ReadOnlyFolderOpensForReadingOnly)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into any folder";
    TempFolder folder; // written here: the ordinary user may not reach the build's sample folder
    folder.write("MXDBASE.FIL", std::string(240, ' '));
    folder.write("mxdbs1.idx", "1\r\n1,1\r\n");
    folder.write("mxdbs2.idx", "0\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
    ::chmod(folder.path().c_str(), 0555);

    LockFile lock;
    const FolderLockVerdict verdict = lockFolder(lock, folder.path());
    AppState state(std::make_unique<ProductionRandom>(), folder.path());
    const auto problem = loadStartupFiles(state);
    ScriptedPrompts prompts;
    DrugEditor editor(state, prompts);
    const bool editorOpened = editor.Form_Load();
    const bool iniCreated = fs::exists(folder / "MX.INI");
    ::chmod(folder.path().c_str(), 0755);

    EXPECT_TRUE(verdict.proceed && verdict.readOnly);
    EXPECT_EQ(verdict.message.rfind("You cannot write in the folder \"" + folder.path().string()
                      + "\" (Permission denied), so Tutor Bench opens it for reading only.\r\n\r\n",
                  0),
        0u)
        << verdict.message;
    EXPECT_FALSE(problem.has_value()) << problem->message;
    EXPECT_EQ(state.settings.pack(), Settings::unpack("").pack()); // every option off
    EXPECT_FALSE(iniCreated);
    EXPECT_EQ(state.TabletIndex.count, 1);

    EXPECT_FALSE(editorOpened);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
        "The drug database cannot be edited: you cannot write in the folder \"" + folder.path().string()
            + "\" (Permission denied).");
}

} // namespace
} // namespace tb
