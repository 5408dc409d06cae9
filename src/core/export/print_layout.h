#pragma once

#include "core/foundation/exam_record.h"

#include <array>
#include <optional>
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

/// Pages numbered on their own ("Page 1 of 4" of the students' paper, however many pages of
/// key and solutions follow it), with the texts at their head and foot.
struct PageRun {
    std::string head; // at the head of each of its pages; "" for none
    std::string foot; // before the page number: "Version K7F3-02" gives "Version K7F3-02 · page 1 of 4"
};

struct PrintSection {
    SectionKind kind = SectionKind::Paper;
    bool newPage = false; // starts on a page of its own
    std::vector<PrintBlock> blocks;
    /// Starts a new run of page numbers, on a page of its own; none: the pages go on in the run before.
    std::optional<PageRun> run {};
};

/// What a printed test holds, before it is set on pages.
struct PrintDocument {
    std::string runningTitle; // the document's name, and the head of pages outside any run
    std::vector<PrintSection> sections;
};

/// What the students' paper holds beyond the text-file options.
struct PaperOptions {
    bool workingSpace = false; // blank room under each question for the working
};

/// Lines of blank room a question gets for its working when PaperOptions asks for it.
inline constexpr int WorkingSpaceLines = 8;

/// The test's records as the working file holds them, under the "Text File &Options": the
/// numbering style 0..5 and the five include options (title, description, instructions,
/// answer key, solutions). The paper, the key and the solutions are numbered each on their
/// own. A title of "untitled" (the name of a test never described) is left off.
PrintDocument buildPrintDocument(const TestHeader& header, const std::vector<QuestionRecord>& questions, int numbering,
    const std::array<bool, 5>& includes, const PaperOptions& options = {});

/// One document of several versions of a test, each given with its code ("K7F3-02"): every
/// version's paper, numbered on its own with the code at the foot of each page; then every
/// version's key in one run, each under its code, as many to a page as fit; then each
/// version's solutions, every page headed by the code. The running title is the first version's.
PrintDocument combineVersions(const std::vector<std::pair<std::string, PrintDocument>>& versions);

/// The unit an answer to a question is given in, from the question's kind: "ml/hr",
/// "drops/minute", "tablets", the unit a conversion asks for; "" when the kind says none.
std::string answerUnit(std::string_view questionText);

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

/// The foot of page n of m of a run: "Page 2 of 5" without a label, else
/// "<label> · page 2 of 5".
std::string pageFootText(std::string_view label, int page, int pages);

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
    std::string head; // the running head
    std::string foot; // "Page 1 of 4", numbered within its run
};

/// Sets the document on pages whose text area is `width` by `height`: wraps the lines that
/// may wrap (never between a number and the unit after it), keeps blocks whole and a heading
/// with the block below it, starts sections that ask for it on a new page, and numbers the
/// pages of each run.
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
