#include "core/testbuilder/exam_platform_export.h"

#include "core/export/platform_export.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"
#include "core/testbuilder/command_guard.h"
#include "core/testbuilder/exam_model.h"

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

PlatformExportCommand::PlatformExportCommand(const ExamModel& model, Prompts& prompts, ExamView& view)
    : model_(model)
    , prompts_(prompts)
    , view_(view)
{
}

void PlatformExportCommand::exportForPlatform()
{
    runGuarded(prompts_, [&] {
        const TargetFiles& targets = model_.targets();
        int filter = 1;
        const std::string proposed = targets.proposedFileName(platformTarget("", 1).name);
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
        const fs::path path = targets.resolve(name);
        // Held until the file is written, so that no other copy opens it half written.
        const TargetCheck check = targets.check(path);
        if (check.refused()) {
            prompts_.message(notExported(name, check.reason), "");
            return;
        }
        if (!targets.mayReplace(path, name))
            return;

        std::vector<std::size_t> unreachable;
        try {
            const PlatformTest test = platformTest(model_.header().TestTitle, model_.storedQuestions());
            targets.writeWhole(path, platformExport(target.format, test));
            if (target.format == PlatformFormat::CanvasQuiz)
                unreachable = canvasUnreachable(test);
            view_.showStatus("Exported " + toCp1252(path.filename().string()) + " (" + formatName(target.format) + ", "
                + questionsText(static_cast<int>(test.questions.size())) + ")");
        } catch (const std::exception& error) {
            prompts_.message(notExported(name, toCp1252(error.what())), "");
            return;
        }
        if (!unreachable.empty())
            prompts_.message(canvasWarning(name, unreachable), "");
    });
}

} // namespace tb
