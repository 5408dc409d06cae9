#include "testbuilder/exam_model.h"

#include "startup/cp1252.h"
#include "testbuilder/platform_export.h"

#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

const char* const ExportDialogTitle = "Export for Learning Platform";

std::string notExported(const std::string& name, const std::string& reason)
{
    return "The test was not exported to " + name + ".\r\n\r\n" + reason;
}

} // namespace

void ExamModel::exportForPlatform()
{
    guarded([&] {
        int filter = 1;
        const std::string chosen = stripBlanks(
            nameFromDialog(prompts_.saveFileNameWithFilter(ExportDialogTitle, PlatformExportFilter, filter)));
        if (chosen.empty())
            return; // cancelled
        const PlatformTarget target = platformTarget(chosen, filter);
        const std::string& name = target.name;
        // A "?" stands for a letter Windows-1252 lacks; neither it nor "*" names a file.
        if (name.find_first_of("?*") != std::string::npos) {
            prompts_.message(notExported(name, "The name is not a file name that can be written."), "");
            return;
        }
        const fs::path path = resolve(name);
        std::error_code ec;
        if (fs::is_directory(path, ec) || path.filename().empty() || !fs::is_directory(path.parent_path(), ec)) {
            prompts_.message(notExported(name, "There is no folder of that name to write it in."), "");
            return;
        }
        // A test may itself be saved under an export's name; the export never replaces it.
        if (designatesWorkingFile(name)) {
            prompts_.message(notExported(name, "That file is the test being edited. Choose another name."), "");
            return;
        }
        if (!mayReplace(path, name))
            return;

        try {
            const PlatformTest test = platformTest(header_.TestTitle, storedQuestions());
            writeFileAtomically(path, platformExport(target.format, test), faultHook_);
        } catch (const std::exception& error) {
            prompts_.message(notExported(name, toCp1252(error.what())), "");
        }
    });
}

} // namespace tb
