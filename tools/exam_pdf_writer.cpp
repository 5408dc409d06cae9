// Writes the printed form of a test file as a PDF, the way "Export as PDF..." of the test window does:
// the test model opens the file, takes the export options and writes the PDF the Qt side draws.
//
// Usage: exam_pdf_writer <test.dsq> <out.pdf> [--numbering 0..5] [--without title,description,
//                        instructions,key,solutions] [--paper a4|letter]

#include "core/foundation/cp1252.h"
#include "core/headless/quiet_view.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/exam_printing.h"
#include "gui/common/qt_print.h"
#include "tool_support.h"

#include <QApplication>
#include <QPageSize>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tb;
using tb::headless::QuietView;
using tb::tools::ToolPrompts;

namespace {

/// PDFs on a chosen paper size, whatever the system's default.
class PaperPrinter final : public DocumentPrinter {
public:
    explicit PaperPrinter(QPageSize size)
        : size_(std::move(size))
    {
    }
    bool print(const PrintDocument&) override { return false; }
    std::string pdf(const PrintDocument& document) override { return renderPdf(document, size_); }

private:
    QPageSize size_;
};

[[noreturn]] void usage(const std::string& problem)
{
    std::cerr << "exam_pdf_writer: " << problem << "\n"
              << "usage: exam_pdf_writer <test.dsq> <out.pdf> [--numbering 0..5]\n"
                 "       [--without title,description,instructions,key,solutions] [--paper a4|letter]\n";
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3)
        usage("a test file and a PDF file are needed");

    int numbering = 1;
    std::vector<int> without;
    QPageSize paper(QPageSize::A4);
    const std::vector<std::string> includeNames { "title", "description", "instructions", "key", "solutions" };
    for (int i = 3; i < argc; i += 2) {
        const std::string key = argv[i];
        if (i + 1 >= argc)
            usage("every option takes one value: " + key);
        const std::string value = argv[i + 1];
        if (key == "--numbering" && value.size() == 1 && value[0] >= '0' && value[0] <= '5')
            numbering = value[0] - '0';
        else if (key == "--paper" && (value == "a4" || value == "letter"))
            paper = QPageSize(value == "a4" ? QPageSize::A4 : QPageSize::Letter);
        else if (key == "--without") {
            std::stringstream list(value);
            for (std::string name; std::getline(list, name, ',');) {
                const auto found = std::find(includeNames.begin(), includeNames.end(), name);
                if (found == includeNames.end())
                    usage("no include option \"" + name + "\"");
                without.push_back(static_cast<int>(found - includeNames.begin()));
            }
        } else
            usage("unknown option or value: " + key + " " + value);
    }

    try {
        std::random_device device;
        const fs::path scratch
            = fs::temp_directory_path() / ("tutorbench-pdf-" + std::to_string(device()) + std::to_string(device()));
        fs::create_directory(scratch);
        int result = 0;
        {
            AppState state(std::make_unique<ProductionRandom>(), scratch);
            ToolPrompts prompts(fs::absolute(argv[1]).string(), fs::absolute(argv[2]).string());
            QuietView view;
            ExamModel model(state, prompts, view);
            model.openTest();
            model.options().numbquest_Click(numbering);
            for (const int index : without)
                model.options().tfop_Click(index);
            PaperPrinter printer(paper);
            if (prompts.messages.empty())
                ExamPrinting(model, prompts, view).exportPdf(printer);
            model.closeTest();
            for (const std::string& text : prompts.messages)
                std::cerr << "exam_pdf_writer: " << text << "\n";
            result = prompts.messages.empty() ? 0 : 1;
        }
        std::error_code ec;
        fs::remove_all(scratch, ec);
        return result;
    } catch (const std::exception& error) {
        std::cerr << "exam_pdf_writer: " << error.what() << "\n";
        return 1;
    }
}
