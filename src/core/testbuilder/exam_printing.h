#pragma once

#include "core/export/print_layout.h"

namespace tb {

class ExamModel;
class ExamView;
class Prompts;

/// Printing the test: "&Print Test..." and "Export as PD&F...". It reads the test as the
/// working file holds it through the model's stored questions and follows the model's text
/// file options (the same as the text export, and working space). The window owns one and binds
/// the two menu entries to it. No exception leaves a command: it becomes a message.
class ExamPrinting final {
public:
    ExamPrinting(const ExamModel& model, Prompts& prompts, ExamView& view);

    /// The printed form of the test as the working file holds it; throws FileError.
    PrintDocument printDocument() const;
    /// "&Print Test...": the system's print dialog, then the printer.
    void printTest(DocumentPrinter& printer);
    /// "Export as PD&F...": asks for a file name (".pdf" added when it has no extension),
    /// runs the writers' check, asks before replacing a file, writes the PDF and reports it
    /// in the status line.
    void exportPdf(DocumentPrinter& printer);

private:
    const ExamModel& model_;
    Prompts& prompts_;
    ExamView& view_;
};

} // namespace tb
