#include "gui/results/right_rate_chart.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace tb {

namespace {

constexpr int LeftMargin = 40; // room for the percent scale
constexpr int BottomMargin = 20; // room for the question numbers
constexpr int Top = 10;

} // namespace

RightRateChart::RightRateChart(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picrightrate"));
    setMinimumSize(200, 140);
}

void RightRateChart::setRates(std::vector<int> percents, QStringList texts)
{
    for (int& percent : percents)
        percent = std::clamp(percent, 0, 100);
    percents_ = std::move(percents);
    texts_ = std::move(texts);
    update();
}

QRect RightRateChart::plotArea() const
{
    return QRect(LeftMargin, Top, std::max(1, width() - LeftMargin - 10), std::max(1, height() - Top - BottomMargin));
}

QRect RightRateChart::barRect(int index) const
{
    const QRect area = plotArea();
    const int count = static_cast<int>(percents_.size());
    if (index < 0 || index >= count)
        return {};
    const double slot = static_cast<double>(area.width()) / count;
    const int gap = slot >= 6 ? static_cast<int>(slot / 5) : 0;
    const int height = area.height() * percents_[static_cast<std::size_t>(index)] / 100;
    const int left = area.left() + static_cast<int>(slot * index) + gap / 2;
    return QRect(left, area.bottom() + 1 - height, std::max(1, static_cast<int>(slot) - gap), height);
}

void RightRateChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = plotArea();
    painter.setPen(palette().color(QPalette::Mid));
    for (int percent = 0; percent <= 100; percent += 25) {
        const int y = area.bottom() - area.height() * percent / 100;
        painter.drawLine(area.left(), y, area.right(), y);
        painter.drawText(QRect(0, y - 8, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
            QStringLiteral("%1 %").arg(percent));
    }
    const int count = static_cast<int>(percents_.size());
    const int labelEvery = std::max(1, count * 24 / std::max(1, area.width()) + 1);
    for (int i = 0; i < count; ++i) {
        const QRect bar = barRect(i);
        // Below the pass line a bar shows in the warning colour.
        painter.fillRect(
            bar, percents_[static_cast<std::size_t>(i)] >= 50 ? QColor(0x3a, 0x7d, 0xc4) : QColor(0xd0, 0x5a, 0x2c));
        if (i % labelEvery == 0) {
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(QRect(bar.center().x() - 15, area.bottom() + 2, 30, BottomMargin - 2), Qt::AlignHCenter,
                QString::number(i + 1));
        }
    }
    if (count == 0) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No results"));
    }
}

bool RightRateChart::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (int i = 0; i < static_cast<int>(percents_.size()); ++i) {
            QRect column = barRect(i);
            column.setTop(plotArea().top());
            if (column.contains(help->pos())) {
                QToolTip::showText(help->globalPos(),
                    QStringLiteral("%1. %2 % right\n%3")
                        .arg(i + 1)
                        .arg(percents_[static_cast<std::size_t>(i)])
                        .arg(i < texts_.size() ? texts_[i] : QString()),
                    this);
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

} // namespace tb
