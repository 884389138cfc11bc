// Soak: the console, offscreen, logged in to the virtual scale that sends live weight reports at
// the line rate with 1 % bad frames and noise. Prints a line a minute and a summary.
// Usage: soak <minutes> [reports per second, default 225]
#include "MsgBox.h"
#include "Program.h"
#include "SimProcess.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <ctime>
#include <unistd.h>

namespace {

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double minutes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 1.0;
    const int rate = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 225;
    QTextStream out(stdout);

    QTemporaryDir dir;
    platform::setProgramDirForTesting(dir.path());
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
    testsupport::SimProcess scale;
    if (!scale.start(dir.path(), 1, {"--quiet", "--rate", QString::number(rate), "--bad-checksum", "1",
                                     "--noise", "1", "--seed", "11", "--load", "37.5"})) {
        out << "the virtual scale did not start" << Qt::endl;
        return 1;
    }
    frmMain w;
    w.show();
    w.cmdCheck->click();
    if (w.fraData->isHidden()) {
        out << "login failed" << Qt::endl;
        return 1;
    }
    QTest::qWait(2000); // settle before measuring
    const long rssStart = residentKiB();
    const double cpuStart = cpuSeconds();
    const quint64 framesStart = w.m_framesDispatched;
    QElapsedTimer clock;
    clock.start();
    out << "start: rss " << rssStart << " KiB, " << rate << " reports/s requested" << Qt::endl;

    const qint64 total = qint64(minutes * 60000);
    qint64 nextReport = 60000;
    while (clock.elapsed() < total) {
        QTest::qWait(int(qMin<qint64>(1000, total - clock.elapsed())));
        if (clock.elapsed() >= nextReport || clock.elapsed() >= total) {
            const double s = clock.elapsed() / 1000.0;
            out << QString::asprintf("%6.0f s: dispatched %llu (%.1f/s), cpu %.1f %%, rss %ld KiB", s,
                                     (unsigned long long)(w.m_framesDispatched - framesStart),
                                     (w.m_framesDispatched - framesStart) / s, 100 * (cpuSeconds() - cpuStart) / s,
                                     residentKiB())
                << Qt::endl;
            nextReport += 60000;
        }
    }
    const double seconds = clock.elapsed() / 1000.0;
    const quint64 dispatched = w.m_framesDispatched - framesStart;
    const double cpu = 100 * (cpuSeconds() - cpuStart) / seconds;
    const long rssEnd = residentKiB();
    scale.stop();
    scale.waitForOutput(QStringLiteral("weight reports"), 3000);
    out << "scale: " << scale.output().section(QStringLiteral("sent "), -1).trimmed() << Qt::endl;
    out << QString::asprintf("console: %llu frames dispatched in %.0f s (%.1f/s), cpu %.2f %%, rss %ld -> %ld KiB (%+ld)",
                             (unsigned long long)dispatched, seconds, dispatched / seconds, cpu, rssStart, rssEnd,
                             rssEnd - rssStart)
        << Qt::endl;
    return 0;
}
