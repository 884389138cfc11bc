#include "Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace platform {
namespace {
std::function<quint32()> &tickSource()
{
    static std::function<quint32()> source;
    return source;
}
} // namespace

void Sleep(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void DoEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

quint32 timeGetTime()
{
    if (tickSource())
        return tickSource()();
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return static_cast<quint32>(clock.elapsed());
}

void setTickSourceForTesting(std::function<quint32()> source)
{
    tickSource() = std::move(source);
}

} // namespace platform
