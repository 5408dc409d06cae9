#include "core/testbuilder/text_export.h"

#include "core/export/print_layout.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"

namespace tb {

namespace {

constexpr const char* CRLF = "\r\n";

} // namespace

std::string textFileContents(
    const TestHeader& header, const std::vector<QuestionRecord>& records, const TextFileOptions& options)
{
    std::string out;
    // "Write X": X and a line end. X may itself hold line breaks.
    auto write = [&out](const std::string& text) { out += text + CRLF; };
    const std::string L = CRLF;
    const int numbering = options.numberingStyle();
    const bool numbered = numbering != 0;

    if (options.includeOption(0))
        write(stripBlanks(header.TestTitle) + L + L);
    if (options.includeOption(1))
        write(stripBlanks(header.TestDescription) + L + L);
    if (options.includeOption(2))
        write(stripBlanks(header.TestInstructions) + L + L);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (numbered)
            write(numberingLine(numbering, static_cast<int>(i + 1)));
        write(records[i].questionText + L + L);
    }
    write(L);
    if (options.includeOption(3)) {
        write("Answers:" + L);
        for (std::size_t i = 0; i < records.size(); ++i)
            write(formatInt(static_cast<long long>(i + 1)) + ". " + records[i].answerText + L);
        write(L);
    }
    if (options.includeOption(4)) {
        write("Solutions:" + L);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (numbered)
                write(numberingLine(numbering, static_cast<int>(i + 1)));
            write(records[i].solutionText + L + L);
        }
        write(L);
    }
    return out;
}

} // namespace tb
