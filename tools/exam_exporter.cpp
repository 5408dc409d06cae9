// Writes a saved test in the four learning-platform formats, with the program's own exports:
// <base>.xml (Moodle XML), <base>.gift.txt (GIFT), <base>.zip (QTI 2.1 package) and
// <base>.canvas.zip (Canvas quiz, QTI 1.2).
//
// Usage: exam_exporter <test.dsq> <output base>
// sample_exam_maker makes a test to export.

#include "core/export/platform_export.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/file_error.h"
#include "core/foundation/record_file.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tb;

namespace {

// A test file holds its header and at most 32767 questions.
constexpr std::uintmax_t MaxTestBytes = (32767 + 1) * static_cast<std::uintmax_t>(TestRecordLength);

int exportAll(const fs::path& test, const std::string& base)
{
    std::error_code ec;
    const auto size = fs::file_size(test, ec);
    if (ec || !fs::is_regular_file(test, ec) || size > MaxTestBytes || size < TestRecordLength) {
        std::cerr << test.string() << ": not a test file that can be read\n";
        return 1;
    }
    const std::string bytes = readWholeFile(test);
    const TestHeader header = TestHeader::unpack(std::string_view(bytes).substr(0, TestRecordLength));
    std::vector<QuestionRecord> records;
    for (std::size_t at = TestRecordLength; at + TestRecordLength <= bytes.size(); at += TestRecordLength)
        records.push_back(QuestionRecord::unpack(std::string_view(bytes).substr(at, TestRecordLength)));
    const PlatformTest exported = platformTest(header.TestTitle, records);
    writeFileAtomically(base + ".xml", platformExport(PlatformFormat::MoodleXml, exported));
    writeFileAtomically(base + ".gift.txt", platformExport(PlatformFormat::Gift, exported));
    writeFileAtomically(base + ".zip", platformExport(PlatformFormat::QtiPackage, exported));
    writeFileAtomically(base + ".canvas.zip", platformExport(PlatformFormat::CanvasQuiz, exported));
    const std::vector<std::size_t> unreachable = canvasUnreachable(exported);
    if (!unreachable.empty()) {
        std::cerr << base << ".canvas.zip: Canvas cannot mark question";
        for (const std::size_t number : unreachable)
            std::cerr << " " << number;
        std::cerr << " right (no 4-decimal answer lies within the band)\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 2)
            return exportAll(args[0], args[1]);
        std::cerr << "Usage: exam_exporter <test.dsq> <output base>\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
