#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/class_versions.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/exam_printing.h"
#include "gui/common/qt_print.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QtTest>
#include <QtWidgets>

#include <filesystem>

#include <memory>

// What poppler's pdftotext reads from the PDFs the program draws.
namespace {

constexpr double MarginPoints = 20.0 / 25.4 * 72.0;

QString runPdftotext(const std::string& pdf, const QStringList& options)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.pdf"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf.data(), static_cast<qint64>(pdf.size())) < 0)
        return {};
    out.close();
    QProcess process;
    process.start(QStringLiteral("pdftotext"), options + QStringList { file, QStringLiteral("-") });
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        qWarning("pdftotext (poppler-utils, installed by tools/install-deps.sh) did not run");
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList words(const QString& text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"), QRegularExpression::UseUnicodePropertiesOption);
    return text.split(space, Qt::SkipEmptyParts);
}

QStringList words(const std::string& bytes)
{
    return words(QString::fromStdString(tb::fromCp1252(bytes)));
}

struct ReadPage {
    QString top; // the running head and the page number, as one text
    QStringList words; // the rest, in drawing order
};

// The pages as drawn: head and foot ("... page 1 of 4") first, then the lines.
std::vector<ReadPage> readPages(const std::string& pdf)
{
    std::vector<ReadPage> pages;
    for (const QString& page : runPdftotext(pdf, { QStringLiteral("-raw") }).split(QLatin1Char('\f'))) {
        const QStringList w = words(page);
        if (w.isEmpty())
            continue;
        ReadPage read { {}, w };
        for (qsizetype i = 0; i + 3 < w.size(); ++i)
            if (w[i].compare(QStringLiteral("page"), Qt::CaseInsensitive) == 0 && w[i + 2] == QStringLiteral("of")) {
                read.top = w.mid(0, i + 4).join(QLatin1Char(' '));
                read.words = w.mid(i + 4);
                break;
            }
        pages.push_back(read);
    }
    return pages;
}

// The pages' words in drawing order, without the running head and the page number.
std::vector<QStringList> pageWords(const std::string& pdf)
{
    std::vector<QStringList> pages;
    for (const ReadPage& page : readPages(pdf))
        pages.push_back(page.words);
    return pages;
}

tb::TestHeader header(const std::string& title)
{
    tb::TestHeader h;
    h.TestTitle = title;
    h.TestDescription = "DescMark of the test";
    h.TestInstructions = "InstrMark: show your working";
    return h;
}

const std::array<bool, 5> All { true, true, true, true, true };

// The metric scale and its marker line as the metric explanation lays them out.
const std::string Scale = "\xA0kg\xA0\xA0hg\xA0\xA0"
                          "dag g\xA0\xA0\xA0"
                          "dg\xA0\xA0"
                          "cg\xA0\xA0mg\xA0\xA0-\xA0\xA0\xA0-"
                          "\xA0\xA0\xA0\xB5g\xA0";
const std::string Marker = std::string(12, '\xA0') + " * > 1 > 2 > 3*" + std::string(12, '\xA0');

/// PDFs on A4, as the desktop's printer would draw them.
class A4Printer final : public tb::DocumentPrinter {
public:
    bool print(const tb::PrintDocument&) override { return false; }
    std::string pdf(const tb::PrintDocument& document) override
    {
        return tb::renderPdf(document, QPageSize(QPageSize::A4));
    }
};

// A test over a copy of the sample drug database with every drug category selected; `loaded`
// says whether the files loaded at start.
struct SampleTest {
    tb::headless::TempFolder folder;
    tb::AppState state;
    tb::headless::ScriptedPrompts prompts;
    tb::headless::QuietView view;
    bool loaded = false;
    std::unique_ptr<tb::ExamModel> model;

    explicit SampleTest(std::uint64_t seed)
        : state(std::make_unique<tb::SeededRandom>(seed), folder.path())
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        loaded = !tb::loadStartupFiles(state);
        model = std::make_unique<tb::ExamModel>(state, prompts, view);
        model->drafter().setSelectedCategories(
            std::vector<bool>(static_cast<std::size_t>(state.categories.CategoryCount), true));
    }
};

struct Word {
    double left = 0;
    double top = 0;
    QString text;
};

} // namespace

class PrintTest : public QObject {
    Q_OBJECT

private slots:
    // Every question, answer and solution line of a made test, in order and with its characters.
    void theSampleTestReadsBackWordForWord()
    {
        SampleTest t(7);
        QVERIFY(t.loaded);
        auto& [folder, state, prompts, view, loaded, modelPointer] = t;
        tb::ExamModel& model = *modelPointer;
        model.createQuestions("20");
        model.acceptDescription("Drill \xB5 7", "DescMark", "InstrMark", 0);
        model.puttitle();
        QVERIFY(prompts.messages.empty());

        const std::string file = folder.read("test.tmp");
        QStringList expected = words(
            std::string("Drill \xB5 7 Name: ______________________________ Class: ______________ DescMark InstrMark"));
        QStringList key { QStringLiteral("Answers:") };
        QStringList solutions { QStringLiteral("Solutions:") };
        for (int n = 1; n <= 20; ++n) {
            const auto record = tb::QuestionRecord::unpack(std::string_view(file).substr(
                static_cast<std::size_t>(n) * tb::TestRecordLength, tb::TestRecordLength));
            const QString number = QString::number(n);
            const std::string unit = tb::answerUnit(record.questionText);
            QVERIFY2(!unit.empty(), record.questionText.c_str());
            const std::string answer = tb::stripBlanks(record.answerText);
            expected << QStringLiteral("Question") << number + u'.' << words(record.questionText)
                     << QStringLiteral("Answer:") << QStringLiteral("____________________") << words(unit);
            key << number + u'.' << words(answer)
                << words(answer == "1" && unit.back() == 's' ? unit.substr(0, unit.size() - 1) : unit);
            solutions << QStringLiteral("Question") << number + u'.' << words(record.solutionText);
        }
        expected << key << solutions;

        const std::string pdf
            = tb::renderPdf(tb::ExamPrinting(model, prompts, view).printDocument(), QPageSize(QPageSize::A4));
        QStringList read;
        for (const QStringList& page : pageWords(pdf))
            read << page;
        QCOMPARE(read, expected);
        model.closeTest();
    }

    // The scale's columns and its marker line stand under each other at the font's pitch, the
    // leading no-break space keeping its width.
    void metricScaleColumnsStandUnderEachOther()
    {
        const std::vector<tb::QuestionRecord> records { { "Convert 5 g to mg.",
            "For example:\r\n\r\n" + Scale + "\r\n" + Marker + "\r\nDone.", "5000" } };
        const std::string pdf
            = tb::renderPdf(tb::buildPrintDocument(header("Scale"), records, 1, All), QPageSize(QPageSize::A4));
        std::vector<Word> all;
        for (const QString& row : runPdftotext(pdf, { QStringLiteral("-tsv") }).split(QLatin1Char('\n'))) {
            const QStringList cells = row.split(QLatin1Char('\t'));
            if (cells.size() == 12 && cells[0] == QStringLiteral("5"))
                all.push_back({ cells[6].toDouble(), cells[7].toDouble(), cells[11] });
        }
        // pdftotext may list a line's words in column groups: a line is every word at its height.
        auto lineOf = [&all](const QString& first) {
            const auto start = std::find_if(all.begin(), all.end(), [&](const Word& w) { return w.text == first; });
            std::vector<Word> line;
            for (const Word& w : all)
                if (start != all.end() && qAbs(w.top - start->top) < 0.5)
                    line.push_back(w);
            std::sort(line.begin(), line.end(), [](const Word& a, const Word& b) { return a.left < b.left; });
            return line;
        };
        const std::vector<Word> scale = lineOf(QStringLiteral("kg"));
        const std::vector<Word> marker = lineOf(QStringLiteral("*"));
        QCOMPARE(scale.size(), std::size_t(10));
        QCOMPARE(marker.size(), std::size_t(7));
        QCOMPARE(scale.back().text, QStringLiteral("\u00B5g"));
        QVERIFY(marker[0].top > scale[0].top);

        // Each word's left edge is that of a line's first column ("Done.") plus its column times one pitch.
        const std::vector<Word> done = lineOf(QStringLiteral("Done."));
        QCOMPARE(done.size(), std::size_t(1));
        const double origin = done[0].left;
        QVERIFY(qAbs(origin - MarginPoints) < 1.0);
        auto columns = [](const std::string& line) {
            std::vector<int> out;
            for (std::size_t i = 0; i < line.size(); ++i)
                if (line[i] != ' ' && line[i] != '\xA0' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\xA0'))
                    out.push_back(static_cast<int>(i));
            return out;
        };
        const std::vector<int> scaleColumns = columns(Scale);
        const std::vector<int> markerColumns = columns(Marker);
        const double pitch = (scale[1].left - scale[0].left) / (scaleColumns[1] - scaleColumns[0]);
        for (std::size_t i = 0; i < scale.size(); ++i)
            QVERIFY2(qAbs(scale[i].left - origin - scaleColumns[i] * pitch) < 0.05, qPrintable(scale[i].text));
        for (std::size_t i = 0; i < marker.size(); ++i)
            QVERIFY2(qAbs(marker[i].left - origin - markerColumns[i] * pitch) < 0.05, qPrintable(marker[i].text));
    }

    // 99 questions of nearly 800 characters: each one's number, first and last word share a page.
    void noQuestionIsSplitAcrossPages()
    {
        std::vector<tb::QuestionRecord> records;
        for (int n = 1; n <= 99; ++n) {
            std::string text = "Start" + std::to_string(n) + " of a long question on the ward";
            while (text.size() < 760)
                text += n % 3 ? " and a dose in milligrams" : "\r\nA line of its own.";
            records.push_back({ text + " End" + std::to_string(n), "Solution", std::to_string(n) });
        }
        const std::string pdf
            = tb::renderPdf(tb::buildPrintDocument(header("Long"), records, 1, All), QPageSize(QPageSize::Letter));
        const std::vector<QStringList> pages = pageWords(pdf);
        QVERIFY(pages.size() > 30);
        for (int n = 1; n <= 99; ++n) {
            const QString number = QString::number(n);
            int start = -1;
            int end = -1;
            for (std::size_t p = 0; p < pages.size(); ++p) {
                const int at = static_cast<int>(pages[p].indexOf(QStringLiteral("Start") + number));
                if (at > 0 && pages[p][at - 1] == number + u'.' && start < 0)
                    start = static_cast<int>(p);
                if (pages[p].contains(QStringLiteral("End") + number) && end < 0)
                    end = static_cast<int>(p);
            }
            QVERIFY2(start >= 0 && start == end, qPrintable(QStringLiteral("question %1").arg(n)));
        }
    }

    // A set of three versions read back: the papers, each numbered on its own with its code on
    // every page, then the keys together, then each version's solutions, or none when the
    // text-file options leave them out.
    void aClassSetPrintsPapersKeysThenSolutions()
    {
        for (const bool solutions : { true, false }) {
            SampleTest t(11);
            QVERIFY(t.loaded);
            auto& [folder, state, prompts, view, loaded, modelPointer] = t;
            tb::ExamModel& model = *modelPointer;
            model.acceptDescription("Ward 7", "Drug rounds", "Show your working.", 1);
            if (!solutions)
                model.options().tfop_Click(4);
            A4Printer printer;
            tb::VersionRequest request;
            request.base = "ward";
            request.versions = 3;
            request.parallel = false; // twelve new questions each, the test being blank
            request.testFiles = false;
            request.platform = false;
            const tb::VersionsOutcome outcome = tb::makeClassVersions(model, state, prompts, &printer, "12", request);
            QCOMPARE(outcome.made, 3);
            std::string pdf;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path()))
                if (entry.path().extension() == ".pdf")
                    pdf = folder.read(std::filesystem::relative(entry.path(), folder.path()).string());
            QVERIFY(!pdf.empty());

            // Each page's head and number, with the run it belongs to.
            const QString code = QString::fromStdString(outcome.setCode);
            QStringList order;
            for (const ReadPage& page : readPages(pdf)) {
                static const QRegularExpression number(QStringLiteral("(\\S+ )?(\\S+) \u00B7 page (\\d+) of (\\d+)$"));
                const QRegularExpressionMatch m = number.match(page.top);
                QVERIFY2(m.hasMatch(), qPrintable(page.top));
                order << m.captured(2) + QLatin1Char(' ') + m.captured(3) + QLatin1Char('/') + m.captured(4);
                if (page.top.contains(QStringLiteral("solutions")))
                    QVERIFY2(
                        page.top.startsWith(QStringLiteral("Ward 7 \u00B7 Version ") + code), qPrintable(page.top));
            }
            // "K7F3-01 1/2 K7F3-01 2/2 ..." for papers, "keys 1/1" and "solutions 1/n" after them.
            QStringList expected;
            const QString pagesOfPaper = order[0].section(QLatin1Char('/'), 1);
            for (int v = 1; v <= 3; ++v)
                for (int p = 1; p <= pagesOfPaper.toInt(); ++p)
                    expected << QStringLiteral("%1-0%2 %3/%4").arg(code).arg(v).arg(p).arg(pagesOfPaper);
            QCOMPARE(order.mid(0, expected.size()), expected);
            QCOMPARE(order.value(expected.size()), QStringLiteral("keys 1/1"));
            const QStringList rest = order.mid(expected.size() + 1);
            QCOMPARE(rest.isEmpty(), !solutions);
            for (const QString& page : rest)
                QVERIFY2(page.startsWith(QStringLiteral("solutions ")), qPrintable(page));
            QVERIFY(pagesOfPaper.toInt() >= 2);
        }
    }

    // On a 1024 x 768 screen the preview takes the screen's room, shows the page as wide as it
    // goes, and every toolbar button, Print too, without an overflow menu.
    void thePreviewFillsTheScreenWithThePageFittedToWidth()
    {
        const std::vector<tb::QuestionRecord> records { { "First", "One", "1" } };
        const tb::PrintDocument document = tb::buildPrintDocument(header("Preview"), records, 1, All);
        QWidget owner;
        tb::QtDocumentPrinter printer(&owner);
        // Read while the dialog is open; it is closed whatever is found, so that nothing waits.
        QSize size;
        QSize room;
        int zoomMode = -1;
        bool overflowShown = true;
        QTimer::singleShot(0, [&] {
            QPrintPreviewDialog* preview = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* found = qobject_cast<QPrintPreviewDialog*>(top); found && found->isVisible())
                    preview = found;
            if (!preview)
                return;
            QTest::qWait(50);
            size = preview->frameGeometry().size();
            room = preview->screen()->availableGeometry().size();
            if (auto* view = preview->findChild<QPrintPreviewWidget*>())
                zoomMode = view->zoomMode();
            auto* overflow = preview->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
            overflowShown = preview->findChild<QToolBar*>() == nullptr || (overflow && overflow->isVisible());
            preview->reject();
        });
        QVERIFY(!printer.print(document));
        QCOMPARE(room, QSize(1024, 768));
        QCOMPARE(size, room);
        QCOMPARE(zoomMode, static_cast<int>(QPrintPreviewWidget::FitToWidth));
        QVERIFY(!overflowShown);
    }

    void optionsChangeThePages_data()
    {
        QTest::addColumn<int>("numbering");
        QTest::addColumn<int>("off");
        QTest::addColumn<QString>("present");
        QTest::addColumn<QString>("absent");
        QTest::newRow("no title") << 1 << 0 << QStringLiteral("DescMark") << QStringLiteral("TitleMark");
        QTest::newRow("no description") << 1 << 1 << QStringLiteral("InstrMark:") << QStringLiteral("DescMark");
        QTest::newRow("no instructions") << 1 << 2 << QStringLiteral("DescMark") << QStringLiteral("InstrMark:");
        QTest::newRow("no key") << 1 << 3 << QStringLiteral("Solutions:") << QStringLiteral("Answers:");
        QTest::newRow("no solutions") << 1 << 4 << QStringLiteral("Answers:") << QStringLiteral("Solutions:");
        QTest::newRow("style 0") << 0 << -1 << QStringLiteral("Answers:") << QStringLiteral("Question");
        QTest::newRow("style 2") << 2 << -1 << QStringLiteral("Number") << QStringLiteral("Question");
        QTest::newRow("style 3") << 3 << -1 << QStringLiteral("(1).") << QStringLiteral("Question");
        QTest::newRow("style 4") << 4 << -1 << QStringLiteral("No") << QStringLiteral("Question");
        QTest::newRow("style 5") << 5 << -1 << QStringLiteral("2.") << QStringLiteral("Question");
    }

    void optionsChangeThePages()
    {
        QFETCH(int, numbering);
        QFETCH(int, off);
        QFETCH(QString, present);
        QFETCH(QString, absent);
        std::array<bool, 5> includes = All;
        if (off >= 0)
            includes[static_cast<std::size_t>(off)] = false;
        const std::vector<tb::QuestionRecord> records { { "First", "One", "1" }, { "Second", "Two", "2" } };
        const std::string pdf = tb::renderPdf(
            tb::buildPrintDocument(header("TitleMark"), records, numbering, includes), QPageSize(QPageSize::A4));
        const QStringList text = words(runPdftotext(pdf, {}));
        QVERIFY(text.contains(present));
        QVERIFY(!text.contains(absent));
    }
};

QTEST_MAIN(PrintTest)
#include "qt_print_test.moc"
