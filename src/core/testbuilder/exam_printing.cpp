#include "core/testbuilder/exam_printing.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/testbuilder/command_guard.h"
#include "core/testbuilder/exam_model.h"

#include <exception>

namespace tb {

namespace fs = std::filesystem;

namespace {

const char* const PdfDialogTitle = "Export as PDF";
const char* const PdfDialogFilter = "PDF File (pdf)|*.pdf|";

} // namespace

ExamPrinting::ExamPrinting(const ExamModel& model, Prompts& prompts, ExamView& view)
    : model_(model)
    , prompts_(prompts)
    , view_(view)
{
}

PrintDocument ExamPrinting::printDocument() const
{
    const TextFileOptions& options = model_.options();
    return buildPrintDocument(model_.header(), model_.storedQuestions(), options.numberingStyle(), options.parts(),
        { .workingSpace = options.workingSpace() });
}

void ExamPrinting::printTest(DocumentPrinter& printer)
{
    runGuarded(prompts_, [&] {
        try {
            printer.print(printDocument());
        } catch (const std::exception& error) {
            prompts_.message("The test could not be printed.\r\n\r\n" + toCp1252(error.what()), "");
        }
    });
}

void ExamPrinting::exportPdf(DocumentPrinter& printer)
{
    runGuarded(prompts_, [&] {
        const TargetFiles& targets = model_.targets();
        // The dialog gives the name as the file system spells it; messages show it as program text.
        int filter = 1;
        const std::string chosen
            = prompts_.saveFileNameProposing(PdfDialogTitle, PdfDialogFilter, filter, targets.proposedFileName(".pdf"));
        const std::string trimmed = stripBlanks(chosen);
        if (trimmed.empty())
            return;
        fs::path target(trimmed);
        if (!target.has_extension() && target.has_filename())
            target += ".pdf";
        if (target.is_relative())
            target = targets.dataFolder() / target;
        const std::string shown = toCp1252(target.filename().string());

        auto failed = [&](const std::string& reason) {
            prompts_.message("The file " + shown + " could not be written.\r\n\r\n" + reason, "");
        };
        // Held until the PDF is written, so that no other copy opens the file half written.
        const TargetCheck check = targets.check(target);
        if (check.refused()) {
            failed(check.reason);
            return;
        }
        if (!targets.mayReplace(target, shown))
            return;
        try {
            const PrintDocument document = printDocument();
            const std::string bytes = printer.pdf(document);
            // Written whole to a scratch file and renamed over the old one, so a failure
            // leaves an existing file as it was.
            targets.writeWhole(target, bytes);
            view_.showStatus("Exported " + shown + " (PDF, " + questionsText(model_.QuestionCount()) + ")");
        } catch (const std::exception& error) {
            failed(toCp1252(error.what()));
        }
    });
}

} // namespace tb
