#pragma once

#include <QWidget>

#include <vector>

namespace tb {

/// A bar chart of each question's right-rate, drawn with QPainter: one bar a question, in the
/// order of the per-question table, its height the percent answered right.
class RightRateChart final : public QWidget {
    Q_OBJECT

public:
    explicit RightRateChart(QWidget* parent = nullptr);

    /// The bars: right percents 0..100, and each question's text for its tooltip.
    void setRates(std::vector<int> percents, QStringList texts);
    const std::vector<int>& rates() const { return percents_; }
    /// The rectangle of bar `index` as drawn at the widget's present size.
    QRect barRect(int index) const;

    QSize sizeHint() const override { return { 360, 220 }; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect plotArea() const;

    std::vector<int> percents_;
    QStringList texts_;
};

} // namespace tb
