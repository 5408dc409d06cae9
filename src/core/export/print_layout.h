#pragma once

#include "core/foundation/exam_record.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tb {

/// The typefaces of a printed test; the renderer chooses the fonts.
enum class PrintFont { Title, Heading, Body, Bold, Fixed };

/// How a line wider than the page is set.
enum class LineFit {
    Wrap, ///< broken at blanks; continuation lines start `hangingIndent` characters in
    Whole, ///< never broken: its columns stand under those of the lines around it
};

/// One line of a block as the test holds it (Windows-1252, no line break).
struct PrintLine {
    std::string text;
    PrintFont font = PrintFont::Body;
    LineFit fit = LineFit::Wrap;
    int hangingIndent = 0; // in widths of the font's "0"
    bool centred = false;
};

enum class BlockKind { Title, Paragraph, Heading, Question, KeyLine, Solution };

/// Lines that belong together: a question with its numbering and answer line, a
/// worked solution, one line of the key.
struct PrintBlock {
    BlockKind kind = BlockKind::Paragraph;
    std::vector<PrintLine> lines;
    bool keepTogether = true; // never split across pages, unless taller than a page
    bool keepWithNext = false; // a heading stays with the block below it
    double spaceAfter = 0.5; // in body lines
};

enum class SectionKind { Paper, AnswerKey, Solutions };

struct PrintSection {
    SectionKind kind = SectionKind::Paper;
    bool newPage = false; // starts on a page of its own
    std::vector<PrintBlock> blocks;
};

/// What a printed test holds, before it is set on pages.
struct PrintDocument {
    std::string runningTitle; // at the head of every page; "" for none
    std::vector<PrintSection> sections;
};

/// The test's records as the working file holds them, under the "Text File &Options": the
/// numbering style 0..5 and the five include options (title, description, instructions,
/// answer key, solutions).
PrintDocument buildPrintDocument(const TestHeader& header, const std::vector<QuestionRecord>& questions, int numbering,
    const std::array<bool, 5>& includes);

/// One document of several versions of a test, each given with its heading ("Version K7F3-02"):
/// every version's paper, then every version's answer key and solutions. Each version's part
/// starts on a new page under its heading; the running title is the first version's.
PrintDocument combineVersions(const std::vector<std::pair<std::string, PrintDocument>>& versions);

/// The numbering line of question n in style 1..5 ("Question 3."); "" for style 0.
std::string numberingLine(int style, int n);

/// A stored text as lines: split at CR LF (a lone CR or LF also ends a line), trailing blanks
/// of each line and empty lines at the end removed.
std::vector<std::string> textLines(std::string_view stored);

/// True when a solution line lays out columns (a run of two or more blanks or no-break
/// spaces inside it, or a no-break space anywhere): such a line is never broken.
bool holdsColumns(std::string_view line);

/// The foot of page n of m: "Page 2 of 5".
std::string pageNumberText(int page, int pages);

/// Sizes of text in the renderer's fonts, in any one unit (the page's too).
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    /// The advance width of a Windows-1252 text.
    virtual double width(PrintFont font, std::string_view text) const = 0;
    /// The distance from one line's top to the next one's.
    virtual double lineHeight(PrintFont font) const = 0;
};

/// A line placed on a page: its top-left corner in the page's text area.
struct PlacedLine {
    std::string text;
    PrintFont font = PrintFont::Body;
    double x = 0;
    double y = 0;
    int block = 0; // the block it comes from, counted through the whole document
};

struct PrintPage {
    std::vector<PlacedLine> lines;
};

/// Sets the document on pages whose text area is `width` by `height`: wraps the lines that
/// may wrap, keeps blocks whole, starts sections that ask for it on a new page.
std::vector<PrintPage> paginate(const PrintDocument& document, const TextMeasure& measure, double width, double height);

/// The widest line of the document that must stay whole, in characters; the renderer
/// sizes the fixed-pitch font so that it fits the page.
std::size_t widestWholeLine(const PrintDocument& document);

/// The desktop's printing, implemented by the window side with the toolkit.
class DocumentPrinter {
public:
    virtual ~DocumentPrinter() = default;
    /// Shows the system's print dialog and prints; false when the teacher cancels.
    /// Throws std::exception on failure.
    virtual bool print(const PrintDocument& document) = 0;
    /// The document as the bytes of a PDF file. Throws std::exception on failure.
    virtual std::string pdf(const PrintDocument& document) = 0;
};

} // namespace tb
