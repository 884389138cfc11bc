// Reply reception: the state machine on its own, then through the window on a real line,
// and the reply time-out.
#include "MsgBox.h"
#include "Pty.h"
#include "Reception.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QLabel>
#include <QTest>

using replies::ReceptionState;
using testsupport::ProgramFolder;
using testsupport::Pty;

namespace {

QByteArray frame(const QByteArray &codeAndPayload)
{
    QByteArray f = '\x02' + codeAndPayload + '\x03';
    quint8 sum = 0;
    for (char c : f)
        sum += quint8(c);
    return f + char(sum);
}

// Feeds one receive event's bytes the way the window does: a bad frame ends the event and the
// bytes after it wait. Returns the frames handed on, as code+payload.
QList<QByteArray> receive(ReceptionState &s, const QByteArray &bytes, QByteArray *left = nullptr)
{
    QList<QByteArray> frames;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto step = s.feed(quint8(bytes[i]));
        if (step == ReceptionState::Step::FrameGood)
            frames << QByteArray(reinterpret_cast<const char *>(s.RecvBuf.data()) + 1, s.RecvCnt - 2);
        if (step == ReceptionState::Step::FrameBad) {
            if (left)
                *left = bytes.mid(i + 1);
            return frames;
        }
    }
    return frames;
}

} // namespace

class tst_Reception : public QObject
{
    Q_OBJECT

    QStringList m_errors;

private slots:
    void initTestCase()
    {
        platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
        modCommon::setErrorLogObserverForTesting([this](const QString &l) { m_errors << l; });
    }
    void init() { m_errors.clear(); }

    void frames_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("expected");
        using L = QList<QByteArray>;
        const QByteArray bg = QByteArray::fromHex("024247303003EE");
        QTest::newRow("one frame") << bg << L{"BG00"};
        QTest::newRow("noise before") << "\x03\x10zz\x03" + bg << L{"BG00"};
        QTest::newRow("start byte inside a frame") << "\x02XY12" + bg << L{"BG00"};
        QTest::newRow("03 as checksum") << frame("AA|") << L{"AA|"};
        QTest::newRow("two in one burst") << frame("AC") + frame("BG") << L{"AC", "BG"};
        QTest::newRow("noise between") << frame("AC") + "..\x01" + frame("BG") << L{"AC", "BG"};
        QTest::newRow("empty frame") << frame("") << L{""};
        QTest::newRow("all byte values in a payload")
            << [] { QByteArray p; for (int b = 4; b < 256; ++b) p += char(b); return frame("WC" + p); }()
            << L{[] { QByteArray p; for (int b = 4; b < 256; ++b) p += char(b); return "WC" + p; }()};
    }
    void frames()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<QByteArray>, expected);
        ReceptionState s;
        QCOMPARE(receive(s, stream), expected);
        QVERIFY(!s.RecvStx && !s.RecvEtx);
        // Byte by byte in separate events gives the same.
        ReceptionState t;
        QList<QByteArray> got;
        for (char c : stream)
            got += receive(t, QByteArray(1, c));
        QCOMPARE(got, expected);
    }

    void badChecksumEndsTheEvent()
    {
        ReceptionState s;
        QByteArray bad = QByteArray::fromHex("024247303003EF");
        QByteArray left;
        QCOMPARE(receive(s, bad + frame("AC"), &left), QList<QByteArray>{});
        QCOMPARE(left, frame("AC")); // waits for the next receive event
        QCOMPARE(receive(s, left), QList<QByteArray>{"AC"});
        QCOMPARE(s.RecvCnt, 4);
        QCOMPARE(s.RecvBuf[4], quint8(frame("AC").back()));
    }

    void overrun()
    {
        // The largest frame that fits: its checksum lands on index 15000.
        ReceptionState s;
        const QByteArray fits = frame("WC" + QByteArray(replies::kRecvBufSize - 5, 'a'));
        QCOMPARE(receive(s, fits).size(), 1);
        QCOMPARE(s.RecvCnt, replies::kRecvBufSize - 1);

        // One byte more: dropped, and the next frame is fine.
        const QByteArray over = frame("WC" + QByteArray(replies::kRecvBufSize - 4, 'a'));
        QCOMPARE(receive(s, over), QList<QByteArray>{});
        QCOMPARE(receive(s, frame("BG")), QList<QByteArray>{"BG"});

        // Far too long, with a checksum that would match the bytes that were stored.
        QByteArray huge = '\x02' + QByteArray(40000, 'b') + '\x03';
        QCOMPARE(receive(s, huge + char(0)), QList<QByteArray>{});
        QVERIFY(s.RecvCnt <= replies::kRecvBufSize);

        // Endless noise without a start byte: RecvCnt stops at the buffer's size.
        ReceptionState n;
        QByteArray noise(100000, 'n');
        QCOMPARE(receive(n, noise), QList<QByteArray>{});
        QCOMPARE(n.RecvCnt, replies::kRecvBufSize);
        for (int i = 0; i < 300; ++i)
            n.feed(0xFF); // the sum wraps quietly
        QCOMPARE(receive(n, frame("SP")), QList<QByteArray>{"SP"});
    }

    void noiseBeyondTheBufferThroughTheWindow()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 1));
        frmMain w;
        QVERIFY(w.MSComm.PortOpen());

        // Noise past the buffer's end is logged as an error line and lost.
        pty.write(QByteArray(replies::kRecvBufSize + 10, 'n'));
        QTRY_COMPARE(w.m_recv.RecvCnt, replies::kRecvBufSize);
        QTRY_COMPARE(w.MSComm.InBufferCount(), 0);
        QVERIFY(!m_errors.isEmpty());
        QVERIFY(m_errors.last().startsWith("All_Data_Received_Check : (error 9)  "));
    }

    void unansweredCommandTimesOut()
    {
        ProgramFolder dir;
        frmMain w;
        w.show();
        w.lblDataCaption->setText("working");
        w.Timer2.setEnabled(true); // as a command that waits for a reply does
        QVERIFY(!w.Timer1.Enabled());
        QTRY_COMPARE_WITH_TIMEOUT(w.lblDataCaption->text(), QStringLiteral("Failure to send!"), 2000);
        QCOMPARE(w.shpDataCaption->FillColor(), platform::RGB(255, 0, 128));
        QVERIFY(!w.Timer2.Enabled());
        QVERIFY(w.Timer1.Enabled());
        QTRY_COMPARE_WITH_TIMEOUT(w.lblDataCaption->text(), QStringLiteral("Please enter the approved data."), 5000);
        QCOMPARE(w.shpDataCaption->FillColor(), platform::RGB(166, 202, 240));
        QCOMPARE(platform::foreColor(w.lblDataCaption), QColor(Qt::black));
        QVERIFY(!w.Timer1.Enabled());
    }

    void timerEnablingDoesNotRestart()
    {
        platform::IntervalTimer t(300);
        int fired = 0;
        connect(&t, &platform::IntervalTimer::Timer, [&] { ++fired; t.setEnabled(false); });
        t.setEnabled(true);
        QTest::qWait(200);
        t.setEnabled(true); // already enabled: the count goes on
        QTest::qWait(150);
        QCOMPARE(fired, 1);
    }
};

QTEST_MAIN(tst_Reception)
#include "tst_reception.moc"
