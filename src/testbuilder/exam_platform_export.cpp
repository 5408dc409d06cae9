#include "testbuilder/exam_model.h"

#include "startup/cp1252.h"
#include "startup/number_format.h"
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

// "3", "3 and 7", "3, 7 and 12"
std::string numberList(const std::vector<std::size_t>& numbers)
{
    std::string out;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            out += i + 1 == numbers.size() ? " and " : ", ";
        out += formatInt(static_cast<long long>(numbers[i]));
    }
    return out;
}

// The questions of a Canvas export that no typed answer can get right, for the teacher to
// mend before importing; the file is written all the same.
std::string canvasWarning(const std::string& name, const std::vector<std::size_t>& numbers)
{
    const bool one = numbers.size() == 1;
    return "The test was exported to " + name + ", but Canvas cannot mark " + (one ? "question " : "questions ")
        + numberList(numbers)
        + " right: it rounds what a student types to 4 decimal places, and no such number lies within "
        + (one ? "its" : "their") + " accepted answers.\r\n\r\nChange " + (one ? "that answer" : "those answers")
        + " in the test and export it again, or mark " + (one ? "the question" : "those questions")
        + " by hand in Canvas.";
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

        std::vector<std::size_t> unreachable;
        try {
            const PlatformTest test = platformTest(header_.TestTitle, storedQuestions());
            writeFileAtomically(path, platformExport(target.format, test), faultHook_);
            if (target.format == PlatformFormat::CanvasQuiz)
                unreachable = canvasUnreachable(test);
        } catch (const std::exception& error) {
            prompts_.message(notExported(name, toCp1252(error.what())), "");
            return;
        }
        if (!unreachable.empty())
            prompts_.message(canvasWarning(name, unreachable), "");
    });
}

} // namespace tb
