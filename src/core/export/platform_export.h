#pragma once

#include "core/export/answer_rule.h"
#include "core/foundation/exam_record.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// The formats a test is exported in for a learning platform, numbered as the export's
/// save-dialog filters are.
enum class PlatformFormat : int { MoodleXml = 1, Gift = 2, QtiPackage = 3, CanvasQuiz = 4 };

/// The export's save-dialog filter: one pair per PlatformFormat, in its order.
inline constexpr const char* PlatformExportFilter = "Moodle XML (xml)|*.xml|GIFT (txt)|*.txt|QTI 2.1 package "
                                                    "(zip)|*.zip|Canvas quiz (QTI 1.2) (.zip)|*.zip|";

/// A chosen export file: its name and the format written into it.
struct PlatformTarget {
    std::string name;
    PlatformFormat format = PlatformFormat::MoodleXml;
};

/// The format a chosen name asks for. A name ending in ".xml" or ".txt" (any letter case)
/// decides itself; a ".zip" name is the selected filter's package, or the QTI 2.1 package
/// when a filter of another extension is selected; any other name takes the format of the
/// filter selected (1-based, out of range meaning the first) and gets that format's
/// extension appended.
PlatformTarget platformTarget(std::string_view name, int filterIndex);

/// One question as a learning platform gets it. Texts are UTF-8 with "\n" line breaks.
struct PlatformQuestion {
    std::string name; // "<test title> Q<n>"
    std::string text; // as the student sees it, without the decimals sentence
    std::string solution; // the worked solution, columns kept
    std::string answerText; // the stored answer's value in the program's number format
    AnswerRule rule;
};

/// The stored value behind a question's rule, read back from its answer text.
double storedValue(const PlatformQuestion& question);

/// A test ready for export.
struct PlatformTest {
    std::string title; // UTF-8, never empty
    std::vector<PlatformQuestion> questions;
};

/// A question whose stored answer is not a number: a numeric question cannot be made of it.
class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The test as the platforms get it, from its title and stored records (Windows-1252). This
/// is the one place the export turns the program's texts into UTF-8. Throws ExportError
/// naming the first question whose answer is not a number.
PlatformTest platformTest(std::string_view title, const std::vector<QuestionRecord>& records);

/// A number as the exports write it into an answer, a tolerance or a bound: the digits of the
/// general number format (15 significant digits, no trailing zeros, 0.5 not .5), always as a
/// plain decimal (0.000005, never 5E-06), which every platform's number reader takes.
std::string platformNumber(double value);

/// The test's own short key (12 letters and digits) from its title and questions: every
/// identifier an export gives the test and its questions is built on it, so the same test
/// keeps its identifiers from one export to the next and two tests never share them.
std::string exportKey(const PlatformTest& test);

/// The numbers (1-based) of the questions Canvas cannot mark right: Canvas rounds what a
/// student types to 4 decimal places before marking, and no such number lies within these
/// questions' accepted answers.
std::vector<std::size_t> canvasUnreachable(const PlatformTest& test);

/// The question text as HTML (<p> blocks, <br/> line breaks), with the decimals sentence
/// when the rule asks for it.
std::string questionHtml(const PlatformQuestion& question);
/// The solution as a fixed-pitch HTML block (<pre>).
std::string solutionHtml(const PlatformQuestion& question);

/// Escapes the characters GIFT reserves (~ = # { } : and the backslash) with a backslash,
/// and writes line breaks as "\n", so that a text stays on one line of the file.
std::string giftEscape(std::string_view text);

/// The Moodle XML file of the test: a category named after it and one numerical question each.
std::string moodleXml(const PlatformTest& test);
/// One Moodle XML file of several tests (the versions of a class), each in a category of its own.
std::string moodleXml(const std::vector<PlatformTest>& tests);
/// The GIFT file of the test (UTF-8).
std::string giftText(const PlatformTest& test);
/// The IMS QTI 2.1 content package (zip bytes): imsmanifest.xml, an assessment test and one
/// item file per question.
std::string qtiPackage(const PlatformTest& test);

/// The Canvas quiz package (zip bytes): imsmanifest.xml and one QTI 1.2 assessment of
/// numerical questions in Canvas's own form, each accepting its question's band of answers.
std::string canvasPackage(const PlatformTest& test);

/// The file bytes of the test in a format.
std::string platformExport(PlatformFormat format, const PlatformTest& test);

} // namespace tb
