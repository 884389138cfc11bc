// Settings file, serial port opening and the delay that lets events run.
#include "modCommon.h"

#include "CommControl.h"
#include "ProfileString.h"
#include "Program.h"
#include "VbError.h"
#include "Wait.h"

#include <QCoreApplication>
#include <QTimer>

#include <QDir>

namespace modCommon {

QString settingsPath()
{
    return QDir(platform::dataDir()).filePath(kSettingsFileName);
}

QString GetString_ofINI(const QString &section, const QString &key, const QString &defaultValue)
{
    // Spaces around the value go, other white space (a tab, a line end) stays.
    const QString read = platform::GetPrivateProfileString(section, key, defaultValue, 1024, settingsPath());
    QStringView value = read;
    while (value.startsWith(u' '))
        value = value.sliced(1);
    while (value.endsWith(u' '))
        value.chop(1);
    return value.toString().remove(QChar(u'\0'));
}

void SetString_ofINI(const QString &section, const QString &key, const QString &value)
{
    platform::WritePrivateProfileString(section, key, value, settingsPath());
}

void lf_StartMeasure(platform::CommControl &comm, const std::int16_t &port)
{
    try {
        if (comm.PortOpen())
            comm.setPortOpen(false);
        comm.setSettings(QStringLiteral("38400,N,8,1"));
        comm.setDTREnable(true);
        comm.setRTSEnable(true);
        comm.setRThreshold(1);
        comm.setSThreshold(1);
        comm.setInBufferSize(2048);
        comm.setOutBufferSize(2048);
        comm.setInputMode(1);
        comm.setInputLen(1);
        comm.setCommPort(port);
        comm.setPortOpen(true);
        comm.setInBufferCount(0);
    } catch (const platform::VbError &e) {
        Save_ErrorLog(errorLine("lf_StartMeasure", e), true);
    }
}

void fuDelayTime(int ms)
{
    // Unsigned difference: right across a wrap of the tick counter. The wake-up is re-armed for
    // what remains, so the wait ends within a few milliseconds of its time.
    const quint32 start = platform::timeGetTime();
    const quint32 length = quint32(qMax(0, ms));
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    for (quint32 passed; (passed = platform::timeGetTime() - start) < length;) {
        wake.start(int(length - passed));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace modCommon
