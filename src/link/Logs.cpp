// Event and error logs, time stamps and the scrambling of secrets before they are logged.
#include "modCommon.h"

#include "Program.h"
#include "VbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace modCommon {
namespace {

std::function<QDateTime()> &clockSource()
{
    static std::function<QDateTime()> clock;
    return clock;
}

std::function<int()> &digitSource()
{
    static std::function<int()> next;
    return next;
}

std::function<void(const QString &)> &errorObserver()
{
    static std::function<void(const QString &)> observer;
    return observer;
}

QDateTime now()
{
    return clockSource() ? clockSource()() : QDateTime::currentDateTime();
}

QString logPath(const QString &prefix, const QDate &day)
{
    return QDir(platform::dataDir())
        .filePath(prefix + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".TXT"));
}

// One line, appended in a file opened and closed for it. A line that cannot be written is lost.
void appendLine(const QString &prefix, const QString &message, bool withTimeStamp)
{
    // One reading of the clock gives both the file's date and the line's time stamp, so a line
    // stamped 23:59:59(999) never lands in the next day's file.
    const QDateTime at = now();
    const QString line = withTimeStamp
                             ? QLatin1Char('[') + fuGetTimeStamp(at) + QStringLiteral("] ") + message
                             : message;
    const QString path = logPath(prefix, at.date());
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return; // a device or a pipe in the log's place: never block or write there
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(line.toLatin1() + "\r\n");
    file.close();
}

} // namespace

QString eventLogPath()
{
    return logPath(QStringLiteral("LOG_"), now().date());
}

QString errorLogPath()
{
    return logPath(QStringLiteral("LOG_ERROR_"), now().date());
}

void Save_EventLog(const QString &message, bool withTimeStamp)
{
    appendLine(QStringLiteral("LOG_"), message, withTimeStamp);
}

void Save_ErrorLog(const QString &message, bool withTimeStamp)
{
    if (errorObserver())
        errorObserver()(message);
    if constexpr (!ERROR_LOG_ENABLED)
        return;
    appendLine(QStringLiteral("LOG_ERROR_"), message, withTimeStamp);
}

QString fuGetTimeStamp(const QDateTime &at)
{
    const QTime t = at.time();
    const QLatin1Char zero('0');
    return QStringLiteral("%1:%2:%3(%4)")
        .arg(t.hour(), 2, 10, zero)
        .arg(t.minute(), 2, 10, zero)
        .arg(t.second(), 2, 10, zero)
        .arg(t.msec(), 3, 10, zero);
}

QString fuGetTimeStamp()
{
    return fuGetTimeStamp(now());
}

QString errorLine(const char *procedure, int number, const QString &description)
{
    return QString::fromLatin1(procedure) + QStringLiteral(" : (error ") + QString::number(number)
           + QStringLiteral(")  ") + description;
}

QString errorLine(const char *procedure, const platform::VbError &error)
{
    return errorLine(procedure, error.Number, error.Description);
}

QString fuScrambleLogText(QString text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int shift = digitSource() ? digitSource()() : QRandomGenerator::global()->bounded(10);
        const int code = text.at(i).unicode() + shift;
        if (code > 255 || shift < 0 || shift > 9)
            throw platform::VbError(platform::err::InvalidProcedureCall,
                                    QStringLiteral("Invalid procedure call or argument"));
        text[i] = QChar(code);
        text.append(QChar(u'0' + shift));
    }
    return text;
}

void setClockForTesting(std::function<QDateTime()> clock)
{
    clockSource() = std::move(clock);
}

void setScrambleDigitsForTesting(std::function<int()> nextDigit)
{
    digitSource() = std::move(nextDigit);
}

void setErrorLogObserverForTesting(std::function<void(const QString &)> observer)
{
    errorObserver() = std::move(observer);
}

} // namespace modCommon
