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

// "Moodle XML": the format's name as its filter in the save dialog gives it.
std::string formatName(PlatformFormat format)
{
    std::string_view filter = PlatformExportFilter;
    for (int pair = 1; !filter.empty(); ++pair) {
        const std::size_t nameEnd = filter.find('|');
        const std::size_t patternEnd = nameEnd == std::string_view::npos ? nameEnd : filter.find('|', nameEnd + 1);
        const std::string_view name = filter.substr(0, nameEnd);
        if (pair == static_cast<int>(format)) {
            const std::size_t bracket = name.rfind(" (");
            return std::string(name.substr(0, bracket));
        }
        if (patternEnd == std::string_view::npos)
            break;
        filter.remove_prefix(patternEnd + 1);
    }
    return "export";
}

} // namespace

void ExamModel::exportForPlatform()
{
    guarded([&] {
        int filter = 1;
        const std::string proposed = proposedFileName(platformTarget("", 1).name);
        std::string chosen = stripBlanks(
            nameFromDialog(prompts_.saveFileNameProposing(ExportDialogTitle, PlatformExportFilter, filter, proposed)));
        if (chosen.empty())
            return; // cancelled
        // The proposed name carries the first filter's extension; left as proposed, it takes
        // the extension of the filter the teacher chose.
        const fs::path chosenPath(fromCp1252(chosen));
        if (chosenPath.filename() == fs::path(proposed))
            chosen = toCp1252(fs::path(chosenPath).replace_extension().string());
        const PlatformTarget target = platformTarget(chosen, filter);
        const std::string& name = target.name;
        const fs::path path = resolve(name);
        // Held until the file is written, so that no other copy opens it half written.
        const TargetCheck check = checkTarget(path);
        if (check.refused()) {
            prompts_.message(notExported(name, check.reason), "");
            return;
        }
        if (!mayReplace(path, name))
            return;

        try {
            const PlatformTest test = platformTest(header_.TestTitle, storedQuestions());
            writeFileAtomically(path, platformExport(target.format, test), faultHook_);
            view_.showStatus("Exported " + toCp1252(path.filename().string()) + " (" + formatName(target.format) + ", "
                + questionsText(static_cast<int>(test.questions.size())) + ")");
        } catch (const std::exception& error) {
            prompts_.message(notExported(name, toCp1252(error.what())), "");
        }
    });
}

} // namespace tb
