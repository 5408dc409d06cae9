#include "gui/common/qt_print.h"

#include "gui/common/program_text.h"

#include "core/foundation/cp1252.h"

#include <QAction>
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tb {

namespace {

constexpr double MarginMillimetres = 20.0;
constexpr double FixedPoints = 9.0; // the solutions' font, made smaller only when a line needs it
constexpr double SmallestFixedPoints = 6.0;
constexpr double LineSpacing = 1.15; // lines of text a little apart, as on a typed page

QFont makeFont(const char* family, QFont::StyleHint hint, double points, bool bold)
{
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(hint);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setKerning(false);
    // Printed text is read back by screen readers and copied from PDFs: no "fi" ligatures.
    font.setStyleStrategy(QFont::PreferNoShaping);
    if (hint == QFont::Monospace)
        font.setFixedPitch(true);
    return font;
}

/// The fonts of a printed test and their sizes on one device.
class QtMeasure final : public TextMeasure {
public:
    QtMeasure(QPaintDevice& device, double fixedPoints)
        : fonts_ { makeFont("DejaVu Sans", QFont::SansSerif, 16, true),
            makeFont("DejaVu Sans", QFont::SansSerif, 12.5, true), makeFont("DejaVu Serif", QFont::Serif, 11, false),
            makeFont("DejaVu Sans", QFont::SansSerif, 10.5, true),
            makeFont("DejaVu Sans Mono", QFont::Monospace, fixedPoints, false) }
    {
        for (std::size_t i = 0; i < fonts_.size(); ++i)
            metrics_[i].emplace(fonts_[i], &device);
    }

    double width(PrintFont font, std::string_view text) const override
    {
        return metrics(font).horizontalAdvance(fromProgram(text));
    }
    double lineHeight(PrintFont font) const override { return metrics(font).lineSpacing() * LineSpacing; }
    double ascent(PrintFont font) const { return metrics(font).ascent(); }
    const QFont& font(PrintFont font) const { return fonts_[static_cast<std::size_t>(font)]; }

private:
    const QFontMetricsF& metrics(PrintFont font) const { return *metrics_[static_cast<std::size_t>(font)]; }

    std::array<QFont, 5> fonts_;
    std::array<std::optional<QFontMetricsF>, 5> metrics_;
};

// The solutions' font size: the widest line that must stay whole fits the page.
double fixedPointsFor(const PrintDocument& document, QPaintDevice& device, double width)
{
    const std::size_t widest = widestWholeLine(document);
    if (widest == 0)
        return FixedPoints;
    const QFontMetricsF probe(makeFont("DejaVu Sans Mono", QFont::Monospace, FixedPoints, false), &device);
    const double needed = probe.horizontalAdvance(QLatin1Char('0')) * static_cast<double>(widest);
    if (needed <= width)
        return FixedPoints;
    // A hair below the exact fit, so rounding in the font's advances cannot push the line over.
    return std::max(SmallestFixedPoints, FixedPoints * width / needed * 0.995);
}

} // namespace

QPageSize defaultPageSize()
{
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (!printer.isNull()) {
        const QPageSize size = printer.defaultPageSize();
        if (size.isValid())
            return size;
    }
    return QPageSize(
        QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

int renderDocument(const PrintDocument& document, QPagedPaintDevice& device)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw std::runtime_error("The page could not be prepared for drawing.");

    const double width = device.width();
    const double height = device.height();
    const QFont small = makeFont("DejaVu Sans", QFont::SansSerif, 8.5, false);
    const QFontMetricsF smallMetrics(small, &device);
    const double head = smallMetrics.lineSpacing() * 2.5;
    const double foot = smallMetrics.lineSpacing() * 2.0;

    const QtMeasure measure(device, fixedPointsFor(document, device, width));
    const std::vector<PrintPage> pages = paginate(document, measure, width, height - head - foot);
    const int count = static_cast<int>(pages.size());

    for (int n = 1; n <= count; ++n) {
        const PrintPage& page = pages[static_cast<std::size_t>(n - 1)];
        if (n > 1 && !device.newPage()) {
            painter.end();
            throw std::runtime_error("A new page could not be started.");
        }
        painter.setPen(Qt::black);
        painter.setFont(small);
        if (!page.head.empty())
            painter.drawText(QPointF(0, smallMetrics.ascent()), fromProgram(page.head));
        const double rule = smallMetrics.lineSpacing() * 1.4;
        painter.setPen(QPen(Qt::black, std::max(1.0, device.logicalDpiY() / 200.0)));
        painter.drawLine(QPointF(0, rule), QPointF(width, rule));
        const QString number = fromProgram(page.foot);
        painter.drawText(
            QPointF((width - smallMetrics.horizontalAdvance(number)) / 2, height - smallMetrics.descent()), number);

        for (const PlacedLine& line : page.lines) {
            painter.setFont(measure.font(line.font));
            painter.drawText(QPointF(line.x, head + line.y + measure.ascent(line.font)), fromProgram(line.text));
        }
    }
    if (!painter.end())
        throw std::runtime_error("The pages could not be finished.");
    return count;
}

std::string renderPdf(const PrintDocument& document, const QPageSize& pageSize)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(pageSize, QPageLayout::Portrait,
            QMarginsF(MarginMillimetres, MarginMillimetres, MarginMillimetres, MarginMillimetres),
            QPageLayout::Millimeter));
        writer.setTitle(fromProgram(document.runningTitle));
        writer.setCreator(QStringLiteral("Tutor Bench"));
        renderDocument(document, writer);
    }
    return buffer.data().toStdString();
}

QtDocumentPrinter::QtDocumentPrinter(QWidget* parent)
    : parent_(parent)
{
}

bool QtDocumentPrinter::print(const PrintDocument& document)
{
    QPrinter printer(QPrinter::HighResolution);
    if (QPrinterInfo::defaultPrinter().isNull())
        printer.setPageSize(defaultPageSize());
    printer.setPageMargins(
        QMarginsF(MarginMillimetres, MarginMillimetres, MarginMillimetres, MarginMillimetres), QPageLayout::Millimeter);
    printer.setDocName(fromProgram(document.runningTitle));

    // The preview shows the pages and offers the system's print dialog; a drawing failure
    // inside its signal is kept and reported once the dialog has closed.
    QPrintPreviewDialog preview(&printer, parent_);
    preview.setObjectName(QStringLiteral("printPreview"));
    std::string failure;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&document, &failure](QPrinter* target) {
        try {
            renderDocument(document, *target);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    });
    // The whole screen's room, the page as wide as it goes: every toolbar button in view and
    // the text readable on a small screen.
    if (const QScreen* screen = parent_ ? parent_->screen() : QGuiApplication::primaryScreen())
        preview.setGeometry(screen->availableGeometry());
    preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
    if (auto* fitWidth = preview.findChild<QAction*>(QStringLiteral("fitWidthAction")))
        fitWidth->trigger(); // keeps the toolbar's zoom buttons in step
    else if (auto* view = preview.findChild<QPrintPreviewWidget*>())
        view->fitToWidth();
    const bool accepted = preview.exec() == QDialog::Accepted;
    if (!failure.empty())
        throw std::runtime_error(failure);
    return accepted;
}

std::string QtDocumentPrinter::pdf(const PrintDocument& document)
{
    return renderPdf(document, defaultPageSize());
}

} // namespace tb
