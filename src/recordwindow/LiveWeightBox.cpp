#include "LiveWeightBox.h"

#include "TrendView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace records;

LiveWeightBox::LiveWeightBox(const Visit &visit, QWidget *parent)
    : QGroupBox(QStringLiteral("Live weight"), parent), m_visit(visit)
{
    auto *live = new QHBoxLayout(this);
    trend = new TrendView(this);
    liveWeight = new QLabel(QStringLiteral("-"), this);
    QFont big = liveWeight->font();
    if (big.pixelSize() > 0)
        big.setPixelSize(big.pixelSize() * 9 / 5);
    else
        big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    liveWeight->setFont(big);
    liveWeight->setMinimumWidth(liveWeight->fontMetrics().horizontalAdvance(QStringLiteral("-000.000 kg")));
    stableMark = new QLabel(this);
    stableMark->setAlignment(Qt::AlignCenter);
    stableMark->setWordWrap(true);
    stableMark->setMinimumWidth(90);
    auto *readout = new QVBoxLayout;
    readout->addWidget(liveWeight);
    readout->addWidget(stableMark);
    live->addWidget(trend, 1);
    live->addLayout(readout);

    m_refresh.setSingleShot(true);
    connect(&m_refresh, &QTimer::timeout, this, &LiveWeightBox::refresh);
    m_quietCheck.setSingleShot(true);
    connect(&m_quietCheck, &QTimer::timeout, this, &LiveWeightBox::refresh);
    connect(&m_visit, &Visit::liveWeight, this, &LiveWeightBox::onReport);
}

void LiveWeightBox::onReport()
{
    if (isVisible() && !m_refresh.isActive())
        m_refresh.start(100);
}

void LiveWeightBox::showEvent(QShowEvent *event)
{
    QGroupBox::showEvent(event);
    refresh();
}

void LiveWeightBox::hideEvent(QHideEvent *event)
{
    m_refresh.stop();
    m_quietCheck.stop();
    QGroupBox::hideEvent(event);
}

void LiveWeightBox::refresh()
{
    if (!isVisible())
        return;
    const int decimals = m_visit.record() ? readingDecimals(m_visit.record()->instrument) : 2;
    const StabilityWindow::State s = m_visit.stability();
    const QString unitText = unitName(m_visit.scaleInPounds());
    liveWeight->setText(s.reports ? formatMass(s.latest, 2) + QLatin1Char(' ') + unitText : QStringLiteral("-"));
    const QString mark = s.reports == 0                                ? QStringLiteral("no reports")
                         : s.reports < StabilityWindow::kMinReports ? QStringLiteral("too few reports (%1/s)").arg(s.reports)
                         : s.stable                                  ? QStringLiteral("stable")
                                                                     : QStringLiteral("unstable");
    if (stableMark->text() != mark) { // restyled only when it changes: a style sheet costs a re-polish
        stableMark->setText(mark);
        stableMark->setStyleSheet(s.stable ? QStringLiteral("background: rgb(0, 160, 0); color: white; font-weight: bold")
                                           : QStringLiteral("background: rgb(210, 210, 210); color: black"));
    }
    trend->setTrend(&m_visit.trend(), m_visit.nowMs(), decimals - 1);
    if (s.reports > 0)
        m_quietCheck.start(StabilityWindow::kWindowMs + 100); // says so when reports stop
}
