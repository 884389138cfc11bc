// The technician's commands: what reaches the device, byte for byte, what the log holds, which
// boxes are shown, and which timers run.
#include "ConsoleFixture.h"
#include "Frame.h"
#include "Numbers.h"
#include "modCommon.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace modCommon;
using testsupport::ConsoleFixture;
using L = QList<QByteArray>;

namespace {

// Sets the reply flags as the dispatcher would when the device answers these codes.
class FakeReplies : public QObject
{
public:
    FakeReplies(ConsoleFixture &f) : m_f(f)
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            const QByteArray got = m_f.device.read(1 << 16, 1);
            m_seen += got;
            for (const QByteArray &frame : testsupport::framesIn(m_seen)) {
                gbLoginReplied |= frame.startsWith("AC");
                gbCalibReplied |= frame.startsWith("BG");
                gbUnitReplied |= frame.startsWith("SP");
            }
        });
        m_poll.start(10);
    }
    QByteArray m_seen;

private:
    ConsoleFixture &m_f;
    QTimer m_poll;
};

} // namespace

class tst_Commands : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        setScrambleDigitsForTesting([] { return 1; });
    }
    void cleanup() { setScrambleDigitsForTesting(nullptr); }

    void loginAsUser2()
    {
        ConsoleFixture f;
        f.w->txtSerialCheck->setText("12345678901");
        f.w->txtPassCheck->setText("4321");
        f.w->optAdmin[1]->setChecked(true);
        FakeReplies device(f);
        QTest::mouseClick(f.w->cmdCheck, Qt::LeftButton);
        QCOMPARE(device.m_seen.left(21),
                 modCommon::fuMakeFrame("AC" "12345678901" "4321" "2"));
        QCOMPARE(testsupport::framesIn(device.m_seen), (L{"AC1234567890143212", "BG09", "SP00"}));
        QCOMPARE(f.log(), (QStringList{
            "USER LOGIN => SERIALNO : 23456789:1211111111111",
            "USER LOGIN => PASSWORD : 54321111",
            "USER LOGIN => USER TYPE : 2",
            "CALIBRATION => MANUAL MODE SEND"}));
        QCOMPARE(gnResendCmd, std::int16_t(9));
        QVERIFY(f.w->fraCalAuto->isHidden() && !f.w->fraCalManual->isHidden());
        QVERIFY(f.errors.isEmpty());

        // A second login in the same run does not wait: the flags stay set.
        gnResendCmd = 99;
        device.m_seen.clear();
        f.w->optAdmin[0]->setChecked(true);
        QTest::mouseClick(f.w->cmdCheck, Qt::LeftButton);
        QCOMPARE(gnResendCmd, std::int16_t(9));
        QTRY_COMPARE(testsupport::framesIn(device.m_seen), (L{"AC1234567890143211", "BG09", "SP00"}));
    }

    void unansweredLogin()
    {
        ConsoleFixture f;
        f.w->show();
        QTest::mouseClick(f.w->cmdCheck, Qt::LeftButton);
        // The wait gave up: only the login went out, the time-out showed meanwhile.
        QCOMPARE(f.frames(), (L{"AC0000000000000001"}));
        QCOMPARE(f.errors, QStringList{"cmdCheck_Click : (error 0)  "});
        QCOMPARE(f.w->lblDataCaption->text(), QStringLiteral("Failure to send!"));
        QVERIFY(!f.w->fraMain->isHidden());
        QCOMPARE(f.log().size(), 3);
        QCOMPARE(gnResendCmd, std::int16_t(99));
    }

    void entriesThatStopTheLogin_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("box");
        QTest::newRow("serial of 10") << "1234567890" << "1234" << false;
        QTest::newRow("empty password") << "12345678901" << "" << false;
        QTest::newRow("letter in serial") << "1234567890A" << "1234" << true;
        QTest::newRow("letter in password") << "12345678901" << "12a4" << true;
        QTest::newRow("10 digits and a space") << " 1234567890" << "1234" << false;
        QTest::newRow("brace") << "{03}4567890" << "1234" << true;
        QTest::newRow("10 digits and a tab") << "1234567890\t" << "1234" << true;
        QTest::newRow("control character in password") << "12345678901" << "123\x01" << true;
    }
    void entriesThatStopTheLogin()
    {
        QFETCH(QString, serial);
        QFETCH(QString, password);
        QFETCH(bool, box);
        ConsoleFixture f;
        f.w->txtSerialCheck->setText(serial);
        f.w->txtPassCheck->setText(password);
        QTest::mouseClick(f.w->cmdCheck, Qt::LeftButton);
        QCOMPARE(f.frames(), L{});
        QCOMPARE(f.log(), QStringList{});
        QCOMPARE(f.boxes.size(), box ? 1 : 0);
        if (box) {
            QCOMPARE(f.boxes[0].prompt, QStringLiteral("Only Permission Numeric Type Character."));
            QCOMPARE(f.boxes[0].style, platform::vbOKOnly | platform::vbCritical);
            QCOMPARE(f.boxes[0].title, QStringLiteral("tst_commands"));
        }
        QVERIFY(!f.w->Timer2.Enabled());
    }

    void administration()
    {
        ConsoleFixture f;
        f.w->cmdAdmin_Click();
        QVERIFY(f.w->fraMain->isHidden() && f.w->fraData->isHidden() && !f.w->fraAdmin->isHidden());
        QCOMPARE(f.w->HeightTwips(), 6570);
        f.w->txtSerial->setText("98765432101");
        f.w->txtPass1->setText("1111");
        f.w->txtPass2->setText("2222");
        for (QPushButton *b : {f.w->cmdSerialRead, f.w->cmdSerialWrite, f.w->cmdPassRead, f.w->cmdPassWrite})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(f.frames(), (L{"SR00", "SW98765432101", "PR00", "PW11112222"}));
        QVERIFY(f.w->Timer2.Enabled());
        f.w->cmdAdminClose_Click();
        QVERIFY(f.w->fraMain->isHidden() && !f.w->fraData->isHidden() && f.w->fraAdmin->isHidden());
        QCOMPARE(f.frames(), L{});
        QCOMPARE(f.log(), (QStringList{"ADMIN FORM => OPEN", "USER SERIAL => READ SEND", "USER SERIAL => WRITE SEND",
                                       "USER PASSWORD => READ SEND", "USER PASSWORD => WRITE SEND",
                                       "CALIBRATION FORM => OPEN"}));
        QVERIFY(f.boxes.isEmpty());

        // A serial number of the wrong length is dropped silently.
        f.w->txtSerial->setText("1234");
        f.w->cmdSerialWrite_Click();
        QCOMPARE(f.frames(), L{});
        QVERIFY(f.boxes.isEmpty());
    }

    void passwordWriteOfTheWrongLength()
    {
        ConsoleFixture f;
        f.w->show();
        f.w->txtPass2->setText("123");
        // The time-out, armed before the check, fires while "Check Digite" is still open.
        QString captionWhileOpen;
        f.whileBoxOpen = [&](const platform::MsgBoxRequest &) {
            QTRY_COMPARE(f.w->lblDataCaption->text(), QStringLiteral("Failure to send!"));
            captionWhileOpen = f.w->lblDataCaption->text();
        };
        f.w->cmdPassWrite_Click();
        QCOMPARE(f.boxes.size(), 1);
        QCOMPARE(f.boxes[0].prompt, QStringLiteral("Check Digite"));
        QCOMPARE(f.boxes[0].style, int(platform::vbOKOnly));
        QCOMPARE(captionWhileOpen, QStringLiteral("Failure to send!"));
        QCOMPARE(f.frames(), L{});
        QCOMPARE(f.log(), QStringList{});
    }

    void automaticCalibrationAsks_data()
    {
        QTest::addColumn<bool>("pounds");
        QTest::addColumn<QString>("label");
        QTest::newRow("pounds") << true << "110.23 lb";
        QTest::newRow("kilograms") << false << "50 kg";
    }
    void automaticCalibrationAsks()
    {
        QFETCH(bool, pounds);
        QFETCH(QString, label);
        ConsoleFixture f;
        gbIsLb = pounds;
        f.w->cmd50Kg_Click();
        QCOMPARE(f.boxes.size(), 1);
        QCOMPARE(f.boxes[0].prompt, "Scale Calibration Auto Mode : Do You Set The Weight To " + label + "?");
        QCOMPARE(f.boxes[0].style, platform::vbYesNo | platform::vbQuestion);
        QCOMPARE(f.frames(), L{"BG02"});
        QCOMPARE(f.log(), QStringList{"CALIBRATION AUTO => " + label + " SEND"});
        QCOMPARE(gnResendCmd, std::int16_t(2));
        QVERIFY(f.w->Timer4.Enabled());

        // No: nothing sent or logged, the earlier command stays pending.
        f.answers << platform::vbNo;
        f.w->cmd100kg_Click();
        QCOMPARE(f.frames(), L{});
        QCOMPARE(f.log().size(), 1);
        QCOMPARE(gnResendCmd, std::int16_t(2));
        QVERIFY(f.w->Timer4.Enabled());
    }

    void manualTrimLogLines()
    {
        ConsoleFixture f;
        gbIsLb = true;
        f.w->cmd10gUp_Click();
        f.w->cmdZero_Click();
        gbIsLb = false;
        f.w->cmd100gDn_Click();
        f.w->cmd10gDn_Click();
        f.w->cmd100gUp_Click();
        QCOMPARE(f.frames(), (L{"BG0D", "BG00", "BG0A", "BG0C", "BG0B"}));
        QCOMPARE(f.log(), (QStringList{"CALIBRATION MANUAL => 0.02 lb UP SEND",
                                       "CALIBRATION MANUAL => MANUAL 0 lb SEND",
                                       "CALIBRATION MANUAL => 100 g DOWN SEND",
                                       "CALIBRATION MANUAL => 10 g DOWN SEND",
                                       "CALIBRATION MANUAL => 100 g UP SEND"}));
        QCOMPARE(gnResendCmd, std::int16_t(11));
        QVERIFY(f.boxes.isEmpty());
    }

    void repetitionByTimer4()
    {
        ConsoleFixture f;
        f.w->Timer4.setInterval(60); // the same handler, sooner
        f.w->cmd10gUp_Click();
        f.w->cmd100gDn_Click();
        L got;
        QTRY_VERIFY((got += f.frames(20)).size() >= 5);
        QCOMPARE(got.mid(0, 5), (L{"BG0D", "BG0A", "BG0A", "BG0A", "BG0A"}));
        f.w->Timer4.setInterval(60000); // one step at a time from here
        f.frames();

        // Modes: the caption is set before the click runs again.
        gnResendCmd = 8;
        f.w->cmdAuto->setText("whatever");
        f.w->Timer4_Timer();
        QCOMPARE(f.frames().first(), QByteArray("BG08"));
        QCOMPARE(f.w->cmdAuto->text(), QStringLiteral("Manual"));
        QVERIFY(!f.w->fraCalAuto->isHidden());
        gnResendCmd = 9;
        f.w->Timer4_Timer();
        QCOMPARE(f.frames().first(), QByteArray("BG09"));
        QCOMPARE(f.w->cmdAuto->text(), QStringLiteral("Auto"));
        QVERIFY(!f.w->fraCalManual->isHidden());

        // Nothing pending: it stays quiet and off.
        gnResendCmd = 99;
        f.w->Timer4_Timer();
        QVERIFY(!f.w->Timer4.Enabled());
        QCOMPARE(f.frames(150), L{});

        // A repeated automatic calibration asks again; No ends the repetition.
        f.w->Timer4.setInterval(60);
        f.w->cmd0kg_Click();
        f.answers << platform::vbNo;
        QTRY_COMPARE(f.boxes.size(), 2);
        QTest::qWait(150);
        QVERIFY(!f.w->Timer4.Enabled());
        QCOMPARE(f.frames(), L{"BG01"});
    }

    void closeRepeatsUntilAnswered()
    {
        ConsoleFixture f;
        f.w->fraMain->hide();
        f.w->fraData->show();
        f.w->setHeightTwips(6570);
        f.w->txtAccel->setText("10.1");
        f.w->txtAccelRead->setText("9.8000");
        f.w->Timer4.setInterval(60);
        f.w->cmdClose_Click();
        QCOMPARE(f.w->txtAccel->text(), QStringLiteral("9.7982"));
        QCOMPARE(f.w->txtAccelRead->text(), QString());
        QVERIFY(!f.w->fraMain->isHidden() && f.w->fraData->isHidden());
        QCOMPARE(f.w->HeightTwips(), 3300);
        QVERIFY(!f.w->Timer2.Enabled());
        L got;
        QTRY_VERIFY((got += f.frames(20)).size() >= 3);
        f.w->Timer4.setEnabled(false);
        QCOMPARE(got.mid(0, 3), (L{"BG0E", "BG0E", "BG0E"}));
        QVERIFY(f.log().count("LOGIN FORM => OPEN") >= 3);
    }

    void resetAndUnits()
    {
        ConsoleFixture f;
        f.w->cmdReset_Click();
        QVERIFY(f.w->Timer2.Enabled());
        gbIsLb = false;
        f.w->cmdKgLb_Click();
        f.w->cmdKgLb_Click();
        gbIsLb = true;
        f.w->cmdKgLb_Click();
        f.w->cmdAccelRead_Click();
        QCOMPARE(f.frames(), (L{"AD09", "SP00", "SP00", "SK00", "AR00"}));
        QCOMPARE(f.log(), QStringList{"GRAVITY VALUE => READ SEND"});
        QCOMPARE(gnResendCmd, std::int16_t(99));
    }

    void gravityWrite_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("9.8") << "9.8" << "9.8000" << QByteArray("098000");
        QTest::newRow("10.5") << "10.5" << "10.5000" << QByteArray("105000");
        QTest::newRow("9.5") << " 9.5 " << "9.5000" << QByteArray("095000");
        QTest::newRow("10.51") << "10.51" << "9.7982" << QByteArray("097982");
        QTest::newRow("9.4999") << "9.4999" << "9.7982" << QByteArray("097982");
        QTest::newRow("far out of range") << "999999" << "9.7982" << QByteArray("097982");
        QTest::newRow("negative") << "-9.8" << "9.7982" << QByteArray("097982");
        QTest::newRow("empty") << "" << "" << QByteArray();
        QTest::newRow("letters") << "abc" << "abc" << QByteArray();
        QTest::newRow("comma") << "9,8" << "9,8" << QByteArray();
    }
    void gravityWrite()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QByteArray, payload);
        ConsoleFixture f;
        f.w->txtAccel->setText(typed);
        f.w->cmdAccelWrite_Click();
        QCOMPARE(f.w->txtAccel->text(), shown);
        QVERIFY(f.w->Timer2.Enabled());
        if (payload.isEmpty()) {
            QCOMPARE(f.frames(), L{});
            QCOMPARE(f.log(), QStringList{});
            QCOMPARE(f.errors, QStringList{"cmdAccelWrite_Click : (error 13)  Type mismatch"});
        } else {
            QCOMPARE(f.device.drain(80), modCommon::fuMakeFrame("AW00" + payload));
            QCOMPARE(f.log(), QStringList{"GRAVITY VALUE => WRITE SEND"});
            QVERIFY(f.errors.isEmpty());
        }
    }

    void numericRule()
    {
        for (const char *ok : {"0", "12345678901", " 12 ", "-5", "+5", "9.8", ".5", "5.", "-0.25"})
            QVERIFY2(fuIsNumericText(QString::fromLatin1(ok)), ok);
        for (const char *bad : {"", " ", "1a", "1e5", "&H1F", "1 2", "1.2.3", "--1", "+", ".", "1,5", "\x02", "{03}"})
            QVERIFY2(!fuIsNumericText(QString::fromLatin1(bad)), bad);
        QCOMPARE(fuFormatFixed(-0.001, 2), QStringLiteral("0.00"));
        QCOMPARE(fuFormatFixed(9.79816, 4), QStringLiteral("9.7982"));
    }
};

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"
