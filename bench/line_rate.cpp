// What the console costs while it watches a scale: its window shown, first idle on the login
// panel, then logged in to the scale on port 1 of the given folder (scripts/line_rate_cpu.sh
// starts the virtual scale there, as a process of its own), then with the record window open
// beside it, its trend drawing the live weight. Prints, for each phase,
// the process's CPU share (all threads, from /proc/self/stat) and how often the main thread woke
// up (voluntary and involuntary context switches from /proc/self/status), per second and per
// weight report dispatched.
// Usage: line_rate <folder> [seconds per phase, default 20]
#include "MsgBox.h"
#include "Program.h"
#include "RecordWindow.h"
#include "SqliteStore.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QFrame>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

namespace {

struct Sample
{
    double cpuSeconds = 0; // user + system, all threads
    long switches = 0;     // of the main thread
};

Sample sample()
{
    Sample s;
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // Fields after the command's closing parenthesis; utime and stime are the 14th and 15th.
        const QList<QByteArray> f = stat.readAll().split(')').last().trimmed().split(' ');
        if (f.size() > 12)
            s.cpuSeconds = (f[11].toLongLong() + f[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/self/status")); // the main thread's own counters
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                s.switches += line.split(':').last().trimmed().toLong();
    return s;
}

void measure(QTextStream &out, const char *phase, int seconds, const quint64 &dispatched)
{
    const Sample a = sample();
    const quint64 before = dispatched;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop; // not QTest::qWait, which wakes every 10 ms
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const Sample b = sample();
    const double s = clock.elapsed() / 1000.0;
    const double reports = double(dispatched - before);
    const double wakeups = (b.switches - a.switches) / s;
    out << QString::asprintf("%-10s cpu %5.2f %% of a core, main thread %7.1f wake-ups/s", phase,
                             100 * (b.cpuSeconds - a.cpuSeconds) / s, wakeups);
    if (reports > 0)
        out << QString::asprintf(", %.1f reports/s, %.2f wake-ups per report", reports / s, wakeups / (reports / s));
    out << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    platform::preferLightweightGuiBackends(); // as the console's main() does
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    app.setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    if (argc < 2) {
        std::fprintf(stderr, "usage: line_rate <folder with COM1> [seconds per phase]\n");
        return 2;
    }
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20;
    QTextStream out(stdout);
    platform::setProgramDirForTesting(QString::fromLocal8Bit(argv[1]));
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
    frmMain w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        out << "(the window was not exposed)" << Qt::endl;
    QTest::qWait(1000);
    measure(out, "idle", seconds, w.m_framesDispatched);
    w.cmdCheck->click();
    if (w.fraData->isHidden()) {
        out << "login failed" << Qt::endl;
        return 1;
    }
    QTest::qWait(1000);
    measure(out, "line rate", seconds, w.m_framesDispatched);

    records::Visit visit;
    records::SqliteStore store(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/records.sqlite"));
    RecordWindow record(visit);
    record.setStore(&store);
    QObject::connect(&w, &frmMain::deviceEvent, &visit, &records::Visit::onDeviceEvent);
    record.show();
    if (!QTest::qWaitForWindowExposed(&record))
        out << "(the record window was not exposed)" << Qt::endl;
    QTest::qWait(1000);
    measure(out, "+ record", seconds, w.m_framesDispatched);

    // Auto capture on, over a record of the instrument: every report looked at, the big readout.
    record.instrument->max->setText(QStringLiteral("150"));
    record.instrument->min->setText(QStringLiteral("1"));
    record.instrument->scaleInterval->setText(QStringLiteral("0.05"));
    record.instrument->displayInterval->setText(QStringLiteral("0.05"));
    record.visitForm->newRecord->click();
    record.tests->autoCapture->setChecked(true);
    QTest::qWait(1000);
    measure(out, "+ auto capture", seconds, w.m_framesDispatched);
    return 0;
}
