// Faults end to end: a pulled cable in the middle of live weight reports, noise and bad frames in
// the stream, a log that cannot be written, a garbage settings file.
#include "ConsoleFixture.h"
#include "Frame.h"
#include "MsgBox.h"
#include "Reception.h"
#include "SimProcess.h"
#include "frmPortScan.h"
#include "modCommon.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <unistd.h>

using namespace modCommon;
using testsupport::ProgramFolder;
using testsupport::SimProcess;

class tst_Faults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
    }

    void reconnectsByItself()
    {
        ProgramFolder dir;
        frmMain w; // no scale yet: retried quietly
        QVERIFY(!w.MSComm.PortOpen());
        QVERIFY(w.TimerReconnect.Enabled());
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "50", "--quiet"}));
        QTRY_VERIFY_WITH_TIMEOUT(w.MSComm.PortOpen(), 10000); // an adapter plugged in late
        QVERIFY(!w.TimerReconnect.Enabled());
        w.cmdCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.m_framesDispatched > 10, 10000);

        scale.command("unplug");
        QTRY_VERIFY_WITH_TIMEOUT(!w.MSComm.PortOpen(), 10000);
        QVERIFY(w.TimerReconnect.Enabled());
        scale.command("plug");
        QVERIFY(scale.waitForOutput("ok plug"));
        QElapsedTimer back;
        back.start();
        QTRY_VERIFY_WITH_TIMEOUT(w.MSComm.PortOpen(), 10000);
        qInfo("reconnected %lld ms after the port came back", back.elapsed());
        QVERIFY(!w.TimerReconnect.Enabled());
        const quint64 before = w.m_framesDispatched;
        QTRY_VERIFY_WITH_TIMEOUT(w.m_framesDispatched > before + 10, 10000);
        QVERIFY(!w.fraData->isHidden());

        const QByteArray log = dir.read(EventLogPath().section(u'/', -1));
        const qsizetype lost = log.indexOf("COM DISCONNECT => PORT NO : 1\r\n");
        QVERIFY(lost > 0);
        QVERIFY(log.indexOf("COM CONNECT => PORT NO : 1\r\n", lost) > lost);
        QCOMPARE(log.count("COM "), 3); // the late pick-up, the loss, the return: attempts write nothing

        scale.command("unplug");
        QTRY_VERIFY_WITH_TIMEOUT(w.TimerReconnect.Enabled(), 10000);
        w.cmdExit->click();
        QVERIFY(!w.TimerReconnect.Enabled());
    }

    void portScanAfterPulledCable()
    {
        ProgramFolder dir;
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "50", "--quiet"}));
        frmMain w;
        w.show();
        w.cmdCheck->click();
        QVERIFY(!w.fraData->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(w.m_framesDispatched > 10, 10000);

        scale.command("unplug");
        QTRY_VERIFY_WITH_TIMEOUT(!w.MSComm.PortOpen(), 10000);
        w.cmdClose_Click(); // its BG0E is lost; Timer4 would repeat it
        scale.command("plug");
        QVERIFY(scale.waitForOutput("ok plug"));
        QTimer::singleShot(0, [&w] {
            auto *scan = qobject_cast<frmPortScan *>(QApplication::activeModalWidget());
            QVERIFY(scan);
            QVERIFY(!w.TimerReconnect.Enabled() && !w.Timer4.Enabled());
            scan->cmdSearch_Click();
            scan->cmdApply_Click();
        });
        w.cmdCom_Click();
        QVERIFY(w.MSComm.PortOpen());
        w.cmdCheck->click(); // at once
        const quint64 before = w.m_framesDispatched;
        QTRY_VERIFY_WITH_TIMEOUT(w.m_framesDispatched > before + 10, 10000);
        QVERIFY(!w.fraData->isHidden());
    }

    // A scale that keeps reporting and ignores "BG0E", with the AC answered late: the pending
    // repeat of the last session and the reports in flight must not undo the new login.
    void lateLoginAgainstReportingScale()
    {
        testsupport::ConsoleFixture f;
        QList<QByteArray> received;
        int acDelayMs = 0;
        replies::ReceptionState line;
        QSocketNotifier in(f.device.masterFd(), QSocketNotifier::Read);
        connect(&in, &QSocketNotifier::activated, [&] {
            char buf[512];
            const ssize_t n = ::read(f.device.masterFd(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (line.feed(quint8(buf[i])) != replies::ReceptionState::Step::FrameGood)
                    continue;
                const QByteArray frame(reinterpret_cast<const char *>(line.RecvBuf.data()) + 1, line.RecvCnt - 2);
                received << frame;
                const QByteArray code = frame.left(2);
                if (code == "AC")
                    QTimer::singleShot(acDelayMs, [&] { f.reply("AC"); });
                else if (code == "BG" && frame != "BG0E")
                    f.reply("BG");
                else if (code == "SP")
                    f.reply("SP");
            }
        });
        QTimer reports;
        connect(&reports, &QTimer::timeout, [&] { f.reply("WC08000,00000+"); });
        reports.start(40);

        frmMain &w = *f.w;
        w.show();
        w.cmdCheck->click();
        QTRY_VERIFY(!w.fraData->isHidden());
        w.cmdClose->click();
        QTRY_VERIFY_WITH_TIMEOUT(received.count("BG0E") >= 2, 10000); // repeated, still reporting

        acDelayMs = 350;
        const qsizetype logged = f.log().size();
        const qsizetype sent = received.size();
        w.cmdCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.fraData->isHidden(), 10000);
        QTest::qWait(3000);
        QVERIFY(!w.fraData->isHidden());
        const QList<QByteArray> afterAc = received.mid(sent);
        QVERIFY(afterAc.size() > 0 && afterAc.first().startsWith("AC"));
        QVERIFY(!afterAc.contains("BG0E"));
        QVERIFY(!f.log().mid(logged).contains(QStringLiteral("LOGIN FORM => OPEN")));
    }

    void noiseAndBadFramesInTheStream()
    {
        testsupport::ConsoleFixture f;
        setScrambleDigitsForTesting([] { return 0; }); // serial numbers logged as they are
        QByteArray stream;
        QStringList expected;
        for (int i = 0; i < 300; ++i) {
            const QByteArray serial = QByteArray::number(i).rightJustified(11, '0');
            QByteArray frame = fuMakeFrame("SR" + serial);
            if (i % 10 == 3)
                frame.back() = char(frame.back() ^ 0x55); // bad checksum
            else
                expected << "USER SERIAL => READ OK : " + QString::fromLatin1(serial) + QString(11, u'0');
            if (i % 7 == 0)
                stream += QByteArray("\x03zz\x01\x7f", 5); // noise between frames
            stream += frame;
        }
        for (qsizetype at = 0; at < stream.size(); at += 97) {
            f.device.write(stream.mid(at, 97));
            QTest::qWait(2);
        }
        // Frames behind a bad one wait for the next receive event: the idle line's next bytes.
        QTRY_VERIFY_WITH_TIMEOUT((f.device.write("\x01"), f.log().size() == expected.size()), 10000);
        setScrambleDigitsForTesting(nullptr);
        QCOMPARE(f.log(), expected);
    }

    void logThatCannotBeWritten()
    {
        ProgramFolder dir;
        QVERIFY(QFile::link("/dev/full", EventLogPath()));
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "20", "--quiet"}));
        frmMain w;
        w.cmdCheck->click(); // logs on every step, all lost
        QVERIFY(!w.fraData->isHidden());
        w.cmdAccelRead->click();
        QTRY_COMPARE(w.txtAccelRead->text(), QStringLiteral("9.7982"));
        QCOMPARE(QFileInfo(EventLogPath()).symLinkTarget(), QStringLiteral("/dev/full"));
    }

    void garbageSettingsFile()
    {
        ProgramFolder dir;
        QByteArray garbage;
        for (int i = 0; i < 5000; ++i)
            garbage += char((i * 7919) & 0xFF);
        dir.write(kSettingsFileName, "[ItemIndex]\r\nCom_Port=\x01\xfe" + garbage);
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "20", "--quiet"}));
        frmMain w;
        QCOMPARE(gnComPortNo, std::int16_t(1));
        w.cmdCheck->click();
        QVERIFY(!w.fraData->isHidden());
        w.cmdClose->click();
        w.cmdExit->click();
        QVERIFY(dir.read(kSettingsFileName).contains("Admin_Sel=0"));
        QVERIFY(dir.read(kSettingsFileName).contains(garbage.left(1000)));
    }
};

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
