// Throughput of the console's hot paths, with QtTest's benchmark macros.
//   wcReportsThroughReceptionAndDispatch: "WC" frames fed byte by byte through the reception
//     state machine into the dispatcher of a shown window (labels updated and painted).
//   frameBuilder: a login command text to its checksummed frame.
//   receptionOnly: the state machine alone.
//   delayPrecision: how long the dispatcher's half-second wait really lasts.
// Each prints frames per second and how many times the line rate (38400 baud, 10 bits a byte,
// 17 bytes a "WC" frame: 225.9 frames/s) that is.
#include "CommControl.h"
#include "Frame.h"
#include "MsgBox.h"
#include "Program.h"
#include "Reception.h"
#include "modCommon.h"
#include "frmMain.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr double kLineRateWc = 38400.0 / 10.0 / 17.0;

QByteArray wcStream(int frames)
{
    QByteArray stream;
    for (int i = 0; i < frames; ++i) {
        const QByteArray digits = QByteArray::number(10000 + i % 50000).rightJustified(5, '0');
        stream += modCommon::makeFrame("WC" + digits + ',' + digits + (i % 2 ? '-' : '+'));
    }
    return stream;
}

void report(const char *what, qint64 frames, qint64 nanoseconds)
{
    const double perSecond = frames / (nanoseconds / 1e9);
    qInfo("%s: %.0f frames/s, %.0f x the line rate", what, perSecond, perSecond / kLineRateWc);
}
} // namespace

class bench_Throughput : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { platform::setProgramDirForTesting(m_dir.path()); }

    void wcReportsThroughReceptionAndDispatch()
    {
        frmMain w;
        w.fraMain->hide();
        w.fraData->show();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int frames = 2000;
        const QByteArray stream = wcStream(frames);
        qint64 total = 0, runs = 0;
        QBENCHMARK {
            QElapsedTimer t;
            t.start();
            int done = 0;
            for (char c : stream) {
                if (w.m_recv.feed(quint8(c)) == replies::ReceptionState::Step::FrameGood) {
                    w.All_Data_Received_Analysys(w.m_recv.RecvBuf, w.m_recv.RecvCnt);
                    if (++done % 10 == 0)
                        QCoreApplication::processEvents(); // paint, as between receive events
                }
            }
            total += t.nsecsElapsed();
            ++runs;
        }
        report("WC reception + dispatch", frames * runs, total);
    }

    void frameBuilder()
    {
        platform::CommControl closed;
        qint64 total = 0, runs = 0;
        const int frames = 2000;
        QBENCHMARK {
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < frames; ++i) {
                QString text = QStringLiteral("{02}AC123456789011234{32}{03}");
                modCommon::fuSendByteStrComData(closed, text);
            }
            total += t.nsecsElapsed();
            ++runs;
        }
        report("frame builder (login command)", frames * runs, total);
    }

    void receptionOnly()
    {
        const int frames = 20000;
        const QByteArray stream = wcStream(frames);
        replies::ReceptionState s;
        qint64 total = 0, runs = 0, good = 0;
        QBENCHMARK {
            QElapsedTimer t;
            t.start();
            for (char c : stream)
                good += s.feed(quint8(c)) == replies::ReceptionState::Step::FrameGood;
            total += t.nsecsElapsed();
            ++runs;
        }
        QCOMPARE(good, frames * runs);
        report("reception state machine", frames * runs, total);
    }

    // How long fuDelayTime(500) really waits on this machine: five runs, each printed.
    void delayPrecision()
    {
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            modCommon::fuDelayTime(500);
            qInfo("fuDelayTime(500) waited %.1f ms", t.nsecsElapsed() / 1e6);
        }
    }
};

QTEST_MAIN(bench_Throughput)
#include "bench_throughput.moc"
