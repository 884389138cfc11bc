// The whole job against the virtual scale over a pseudo-terminal, as a technician does it.
#include "MsgBox.h"
#include "Pty.h"
#include "SimProcess.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace modCommon;
using testsupport::ProgramFolder;
using testsupport::SimProcess;

class tst_EndToEnd : public QObject
{
    Q_OBJECT

    QStringList m_boxes;

    static void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    static double shownWeight(frmMain &w) { return w.lblScale->text().toDouble(); }

private slots:
    void initTestCase()
    {
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            QTest::qWait(100); // the read-back arrives while the box is open
            return (r.style & 0x0F) == platform::vbYesNo ? int(platform::vbYes) : int(platform::vbOK);
        });
    }

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
        QCOMPARE(w.HeightTwips(), 6570);
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
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(110);
            QVERIFY2(qAbs(shownWeight(w) - 50.0) <= 0.011, qPrintable(w.lblScale->text()));
        }
        click(w.cmdKgLb);
        QTRY_COMPARE(w.Label5->text(), QStringLiteral("[lb]"));
        QTRY_VERIFY(qAbs(shownWeight(w) - 110.23) <= 0.03);

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

        // The new serial number and password of user 2 log in.
        w.txtSerialCheck->setText("12312312312");
        w.txtPassCheck->setText("2222");
        w.optAdmin[1]->setChecked(true);
        click(w.cmdCheck);
        QTRY_VERIFY(!w.fraData->isHidden());
        click(w.cmdClose);
        QTRY_VERIFY(!w.Timer4.Enabled());

        click(w.cmdExit);
        QVERIFY(!w.MSComm.PortOpen());
        QVERIFY(dir.read(kSettingsFileName).contains("Admin_Sel=1"));
        const QByteArray log = dir.read(QFileInfo(EventLogPath()).fileName());
        QVERIFY(log.endsWith("] PROGRAM => EXIT\r\n"));
        for (const char *line : {"CALIBRATION FORM => OPEN", "WEIGHT => KG MODE", "CALIBRATION AUTO => 50 kg SEND",
                                 "GRAVITY VALUE => READ OK : 9.8100", "USER SERIAL => WRITE OK", "LOGIN FORM => OPEN"})
            QVERIFY2(log.contains(line), line);
        QVERIFY(!log.contains("12312312312")); // secrets never in clear
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
