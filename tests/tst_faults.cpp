// Faults end to end: a pulled cable in the middle of live weight reports, noise and bad frames in
// the stream, a log that cannot be written, a garbage settings file.
#include "ConsoleFixture.h"
#include "Frame.h"
#include "MsgBox.h"
#include "SimProcess.h"
#include "frmPortScan.h"
#include "modCommon.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

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

    void pulledCableDuringLiveWeight()
    {
        ProgramFolder dir;
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "50", "--quiet"}));
        frmMain w;
        w.show();
        w.cmdCheck->click();
        QVERIFY(!w.fraData->isHidden());
        QTRY_VERIFY(w.m_framesDispatched > 10);

        scale.command("unplug");
        QTRY_VERIFY(!w.MSComm.PortOpen());
        const quint64 before = w.m_framesDispatched;
        // Still responsive and idle; the next command times out.
        w.cmdAccelRead->click();
        QTRY_COMPARE(w.lblDataCaption->text(), QStringLiteral("Failure to send!"));
        QCOMPARE(w.m_framesDispatched, before);

        // The scale is back: choose the port again, log in again, reports flow again.
        scale.command("plug");
        QVERIFY(scale.waitForOutput("ok plug"));
        w.cmdClose_Click();
        QTimer::singleShot(0, [] {
            auto *scan = qobject_cast<frmPortScan *>(QApplication::activeModalWidget());
            QVERIFY(scan);
            scan->cmdSearch_Click();
            scan->cmdApply_Click();
        });
        w.cmdCom_Click();
        QVERIFY(w.MSComm.PortOpen());
        w.cmdCheck->click();
        QTRY_VERIFY(!w.fraData->isHidden());
        QTRY_VERIFY(w.m_framesDispatched > before + 10);
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
