#pragma once
// The live weight of the last 60 s as a trend: for every pixel column the smallest and largest
// report in its time span, as a vertical line.

#include "Stability.h"

#include <QWidget>

class TrendView : public QWidget
{
    Q_OBJECT
public:
    explicit TrendView(QWidget *parent = nullptr);
    // What to draw at the next paint, and when "now" is.
    void setTrend(const records::Trend *trend, qint64 nowMs, int decimals);

    QSize sizeHint() const override { return {420, 110}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const records::Trend *m_trend = nullptr;
    qint64 m_now = 0;
    int m_decimals = 2;
};
