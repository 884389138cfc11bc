#pragma once
// The window timer the console uses: Enabled and Interval, and a Timer() event on the UI thread.
// Enabling a timer that is already enabled does not restart its count; changing the interval of
// an enabled timer does. An interval of 0 never fires.

#include <QObject>
#include <QTimer>

namespace platform {

class IntervalTimer : public QObject
{
    Q_OBJECT
public:
    explicit IntervalTimer(int intervalMs = 0, QObject *parent = nullptr);

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int Interval() const { return m_interval; }
    void setInterval(int ms);

signals:
    void Timer();

private:
    void apply();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};

} // namespace platform
