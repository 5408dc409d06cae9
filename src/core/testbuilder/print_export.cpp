#include "core/testbuilder/exam_model.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/record_file.h"

#include <exception>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

const char* const PdfDialogTitle = "Export as PDF";
const char* const PdfDialogFilter = "PDF File (pdf)|*.pdf|";

} // namespace

PrintDocument ExamModel::printDocument() const
{
    const std::array<bool, 5> includes { includes_[0], includes_[1], includes_[2], includes_[3], includes_[4] };
    return buildPrintDocument(header_, storedQuestions(), numbering_, includes, { .workingSpace = includes_[5] });
}

void ExamModel::printTest(DocumentPrinter& printer)
{
    guarded([&] {
        try {
            printer.print(printDocument());
        } catch (const std::exception& error) {
            prompts_.message("The test could not be printed.\r\n\r\n" + toCp1252(error.what()), "");
        }
    });
}

void ExamModel::exportPdf(DocumentPrinter& printer)
{
    guarded([&] {
        // The dialog gives the name as the file system spells it; messages show it as program text.
        int filter = 1;
        const std::string chosen
            = prompts_.saveFileNameProposing(PdfDialogTitle, PdfDialogFilter, filter, proposedFileName(".pdf"));
        const std::string trimmed = stripBlanks(chosen);
        if (trimmed.empty())
            return;
        fs::path target(trimmed);
        if (!target.has_extension() && target.has_filename())
            target += ".pdf";
        if (target.is_relative())
            target = state_.dataFolder / target;
        const std::string shown = toCp1252(target.filename().string());

        auto failed = [&](const std::string& reason) {
            prompts_.message("The file " + shown + " could not be written.\r\n\r\n" + reason, "");
        };
        // Held until the PDF is written, so that no other copy opens the file half written.
        const TargetCheck check = checkTarget(target);
        if (check.refused()) {
            failed(check.reason);
            return;
        }
        if (!mayReplace(target, shown))
            return;
        try {
            const PrintDocument document = printDocument();
            const std::string bytes = printer.pdf(document);
            // Written whole to a scratch file and renamed over the old one, so a failure
            // leaves an existing file as it was.
            writeFileAtomically(target, bytes, faultHook_);
            view_.showStatus("Exported " + shown + " (PDF, " + questionsText(questionCount_) + ")");
        } catch (const std::exception& error) {
            failed(toCp1252(error.what()));
        }
    });
}

} // namespace tb
