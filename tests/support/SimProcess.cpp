#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>

namespace testsupport {

bool SimProcess::start(const QString &dir, int port, const QStringList &extra)
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        m_output += QString::fromLatin1(m_process.readAllStandardOutput());
    });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vantor_sim")),
                    QStringList{"--dir", dir, "--port", QString::number(port)} + extra);
    return m_process.waitForStarted(5000) && waitForOutput(QStringLiteral("ready "));
}

SimProcess::~SimProcess()
{
    stop();
}

void SimProcess::command(const QString &line)
{
    m_process.write((line + QLatin1Char('\n')).toLatin1());
    m_process.waitForBytesWritten(2000);
}

bool SimProcess::waitForOutput(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_output.contains(text)) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        m_process.waitForReadyRead(10);
    }
    return true;
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

} // namespace testsupport
