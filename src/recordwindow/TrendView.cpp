#include "TrendView.h"

#include <QPainter>
#include <algorithm>

TrendView::TrendView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 80);
}

void TrendView::setTrend(const records::Trend *trend, qint64 nowMs, int decimals)
{
    m_trend = trend;
    m_now = nowMs;
    m_decimals = decimals;
    update();
}

void TrendView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(QColor(200, 200, 200));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_trend)
        return;
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("-0000.000"));
    const QRect plot = rect().adjusted(labelWidth + 6, 6, -4, -6);
    const auto columns = m_trend->columns(m_now, plot.width());
    records::Micro low = 0, high = 0;
    bool any = false;
    for (const auto &c : columns) {
        if (!c)
            continue;
        low = any ? std::min(low, c->first) : c->first;
        high = any ? std::max(high, c->second) : c->second;
        any = true;
    }
    if (!any)
        return;
    // A little room around the values, at least a few hundredths.
    const records::Micro margin = std::max<records::Micro>((high - low) / 10, records::kMicro / 50);
    low -= margin;
    high += margin;
    const auto y = [&](records::Micro v) {
        return plot.bottom() - int(double(v - low) * plot.height() / double(high - low));
    };
    p.setPen(Qt::darkGray);
    p.drawText(QRect(0, plot.top() - 6, labelWidth, 14), Qt::AlignRight, records::formatMass(high, m_decimals));
    p.drawText(QRect(0, plot.bottom() - 8, labelWidth, 14), Qt::AlignRight, records::formatMass(low, m_decimals));
    p.setPen(QColor(0, 0, 128));
    // Each column's range, joined to the last column before it when reports come further apart
    // than a column is wide.
    int lastX = -1, lastY = 0;
    for (int x = 0; x < int(columns.size()); ++x) {
        const auto &c = columns[x];
        if (!c)
            continue;
        const int top = y(c->second), bottom = y(c->first);
        if (lastX >= 0 && x - lastX <= 8)
            p.drawLine(plot.left() + lastX, lastY, plot.left() + x, std::clamp(lastY, top, bottom));
        p.drawLine(plot.left() + x, top, plot.left() + x, bottom);
        lastX = x;
        lastY = (top + bottom) / 2;
    }
}
