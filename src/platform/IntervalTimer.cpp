#include "IntervalTimer.h"

namespace platform {

IntervalTimer::IntervalTimer(int intervalMs, QObject *parent)
    : QObject(parent), m_interval(qMax(0, intervalMs))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::Timer);
}

void IntervalTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    apply();
}

void IntervalTimer::setInterval(int ms)
{
    m_interval = qMax(0, ms);
    apply();
}

void IntervalTimer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace platform
