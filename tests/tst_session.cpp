// Whole sessions against the virtual scale over a pseudo-terminal, as a technician works, and the
// faults a line brings: a pulled cable, a late login against a scale that keeps reporting.
#include "ConsoleFixture.h"
#include "Frame.h"
#include "MsgBox.h"
#include "SimProcess.h"
#include "frmPortScan.h"
#include "modCommon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace modCommon;
using testsupport::ProgramFolder;
using testsupport::SimProcess;

class tst_Session : public QObject
{
    Q_OBJECT

    QStringList m_boxes;
    int m_attempts = 0; // failed openings of the port, from the error log

    static void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    static double shownWeight(frmMain &w) { return w.lblScale->text().toDouble(); }

private slots:
    void init()
    {
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            QTest::qWait(100); // the read-back arrives while the box is open
            return (r.style & 0x0F) == platform::vbYesNo ? int(platform::vbYes) : int(platform::vbOK);
        });
    }
    void cleanup() { setErrorLogObserverForTesting(nullptr); }

    void technicianSession()
    {
        ProgramFolder dir;
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "10", "--seed", "4", "--quiet"}));
        frmMain w;
        w.show();
        QVERIFY(w.MSComm.PortOpen());

        // Log in with the initial entries.
        click(w.cmdCheck);
        QVERIFY(!w.fraData->isHidden());
        QCOMPARE(w.heightTwips(), 6570);
        QCOMPARE(gnResendCmd, std::int16_t(9));
        QCOMPARE(w.cmdKgLb->text(), QStringLiteral("Kg Mode"));
        QVERIFY(!w.fraCalManual->isHidden());

        // Live weight moves with the load.
        QTRY_VERIFY(!w.lblValue->text().isEmpty());
        scale.command("load 20");
        QTRY_VERIFY(w.lblValue->text().toInt() > 15000);

        // Kilograms, then zero with an empty platter and 50 kg in automatic mode.
        click(w.cmdKgLb);
        QTRY_COMPARE(w.Label5->text(), QStringLiteral("[kg]"));
        scale.command("load 0");
        QTRY_VERIFY(w.lblValue->text().toInt() < 8100);
        click(w.cmdZero);
        QTRY_COMPARE(gnResendCmd, std::int16_t(99));
        QTRY_VERIFY(qAbs(shownWeight(w)) <= 0.01);
        click(w.cmdAuto);
        QVERIFY(!w.fraCalAuto->isHidden());
        QTRY_COMPARE(gnResendCmd, std::int16_t(99));
        scale.command("load 50");
        QTRY_VERIFY(shownWeight(w) > 40);
        click(w.cmd50Kg);
        QCOMPARE(m_boxes.last(), QStringLiteral("Scale Calibration Auto Mode : Do You Set The Weight To 50 kg?"));
        QTRY_COMPARE(gnResendCmd, std::int16_t(99));
        QTRY_COMPARE(w.lblScale->text(), QStringLiteral("50.00"));
        // A trim of 100 g up in manual mode; the scale's own keys switch back to automatic.
        click(w.cmdAuto);
        QTRY_COMPARE(gnResendCmd, std::int16_t(99));
        click(w.cmd100gUp);
        QTRY_VERIFY2(qAbs(shownWeight(w) - 50.10) <= 0.011, qPrintable(w.lblScale->text()));
        scale.command("mode auto");
        QTRY_VERIFY(!w.fraCalAuto->isHidden());
        click(w.cmdKgLb);
        QTRY_COMPARE(w.Label5->text(), QStringLiteral("[lb]"));
        QTRY_VERIFY(qAbs(shownWeight(w) - 110.45) <= 0.03);

        // Gravity: read, write, read back.
        click(w.cmdAccelRead);
        QTRY_COMPARE(w.txtAccelRead->text(), QStringLiteral("9.7982"));
        w.txtAccel->setText("9.81");
        click(w.cmdAccelWrite);
        QTRY_COMPARE(w.txtAccelRead->text(), QStringLiteral("9.8100"));
        QCOMPARE(m_boxes.last(), QStringLiteral("Send Ok!!"));

        // Serial number and passwords on the administration panel.
        click(w.cmdAdmin);
        QVERIFY(!w.fraAdmin->isHidden());
        w.txtSerial->setText("12312312312");
        click(w.cmdSerialWrite);
        QTRY_COMPARE(w.txtSerialRead->text(), QStringLiteral("12312312312"));
        w.txtPass1->setText("1111");
        w.txtPass2->setText("2222");
        click(w.cmdPassWrite);
        QTRY_COMPARE(w.txtPass2Read->text(), QStringLiteral("2222"));
        QCOMPARE(w.txtPass1Read->text(), QStringLiteral("1111"));
        QCOMPARE(m_boxes.count("Send Ok!!"), 3);

        // Back to the login panel; the scale stops reporting.
        click(w.cmdAdminClose);
        click(w.cmdClose);
        QVERIFY(!w.fraMain->isHidden());
        QTRY_VERIFY(!w.Timer4.Enabled());
        QCOMPARE(gnResendCmd, std::int16_t(99));

        // The new serial number and password of user 2 log in; the old password no longer does.
        w.txtSerialCheck->setText("12312312312");
        w.optAdmin[1]->setChecked(true);
        click(w.cmdCheck);
        QVERIFY(w.fraData->isHidden());
        w.txtPassCheck->setText("2222");
        click(w.cmdCheck);
        QTRY_VERIFY(!w.fraData->isHidden());
        click(w.cmdClose);
        QTRY_VERIFY(!w.Timer4.Enabled());

        click(w.cmdExit);
        QVERIFY(!w.MSComm.PortOpen());
        QVERIFY(dir.read(kSettingsFileName).contains("Admin_Sel=1"));
        const QByteArray log = dir.read(QFileInfo(eventLogPath()).fileName());
        QVERIFY(log.endsWith("] PROGRAM => EXIT\r\n"));
        for (const char *line : {"CALIBRATION FORM => OPEN", "WEIGHT => KG MODE", "CALIBRATION AUTO => 50 kg SEND",
                                 "GRAVITY VALUE => READ OK : 9.8100", "USER SERIAL => WRITE OK", "LOGIN FORM => OPEN"})
            QVERIFY2(log.contains(line), line);
        QVERIFY(!log.contains("12312312312")); // secrets never in clear
    }

    void reconnectsByItself()
    {
        ProgramFolder dir;
        frmMain w; // no scale yet: retried quietly
        QVERIFY(!w.MSComm.PortOpen());
        QVERIFY(w.reconnectTimer.Enabled());
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 1, {"--rate", "50", "--quiet"}));
        QTRY_VERIFY_WITH_TIMEOUT(w.MSComm.PortOpen(), 10000); // an adapter plugged in late
        QVERIFY(!w.reconnectTimer.Enabled());
        w.cmdCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.m_framesDispatched > 10, 10000);

        m_attempts = 0;
        setErrorLogObserverForTesting([this](const QString &line) { m_attempts += line.startsWith("lf_StartMeasure"); });
        scale.command("unplug");
        QTRY_VERIFY_WITH_TIMEOUT(!w.MSComm.PortOpen(), 10000);
        QVERIFY(w.reconnectTimer.Enabled());
        // The link names nothing (not a pseudo-terminal that another test may get next), and the
        // console keeps trying after a failed attempt.
        QFile::remove(dir.file("COM1"));
        QFile::link(dir.file("unplugged"), dir.file("COM1"));
        QTRY_VERIFY_WITH_TIMEOUT(m_attempts >= 2, 10000);
        scale.command("plug");
        QVERIFY(scale.waitForOutput("ok plug"));
        QElapsedTimer back;
        back.start();
        QTRY_VERIFY_WITH_TIMEOUT(w.MSComm.PortOpen(), 10000);
        qInfo("reconnected %lld ms after the port came back", back.elapsed());
        QVERIFY(!w.reconnectTimer.Enabled());
        const quint64 before = w.m_framesDispatched;
        QTRY_VERIFY_WITH_TIMEOUT(w.m_framesDispatched > before + 10, 10000);
        QVERIFY(!w.fraData->isHidden());

        const QByteArray log = dir.read(eventLogPath().section(u'/', -1));
        const qsizetype lost = log.indexOf("COM DISCONNECT => PORT NO : 1\r\n");
        QVERIFY(lost > 0);
        QVERIFY(log.indexOf("COM CONNECT => PORT NO : 1\r\n", lost) > lost);
        QCOMPARE(log.count("COM "), 3); // the late pick-up, the loss, the return: attempts write nothing

        scale.command("unplug");
        QTRY_VERIFY_WITH_TIMEOUT(w.reconnectTimer.Enabled(), 10000);
        w.cmdExit->click();
        QVERIFY(!w.reconnectTimer.Enabled());
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
            QVERIFY(!w.reconnectTimer.Enabled() && !w.Timer4.Enabled());
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
        testsupport::FakeScale scale(f);
        scale.answers = {{"AC", "AC"}, {"BG", "BG"}, {"BG0E", ""}, {"SP", "SP"}};
        scale.reportEvery(40);

        frmMain &w = *f.w;
        w.show();
        w.cmdCheck->click();
        QTRY_VERIFY(!w.fraData->isHidden());
        w.cmdClose->click();
        QTRY_VERIFY_WITH_TIMEOUT(scale.received.count("BG0E") >= 2, 10000); // repeated, still reporting

        scale.delayMs = 350;
        const qsizetype logged = f.log().size();
        const qsizetype sent = scale.received.size();
        w.cmdCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.fraData->isHidden(), 10000);
        QTest::qWait(3000);
        QVERIFY(!w.fraData->isHidden());
        const QList<QByteArray> afterAc = scale.received.mid(sent);
        QVERIFY(afterAc.size() > 0 && afterAc.first().startsWith("AC"));
        QVERIFY(!afterAc.contains("BG0E"));
        QVERIFY(!f.log().mid(logged).contains(QStringLiteral("LOGIN FORM => OPEN")));
    }
};

QTEST_MAIN(tst_Session)
#include "tst_session.moc"
