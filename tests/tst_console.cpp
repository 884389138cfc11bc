// The console's main window through real widgets and a pseudo-terminal device: start-up and
// exit, the technician's commands (what reaches the device byte for byte, what the log holds,
// which boxes are shown, which timers run) and the replies (their effects on the window, the
// shared variables, the timers and the log).
#include "ConsoleFixture.h"
#include "Frame.h"
#include "Shell.h"
#include "Wait.h"
#include "modCommon.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace modCommon;
using testsupport::ConsoleFixture;
using testsupport::ProgramFolder;
using testsupport::Pty;
using L = QList<QByteArray>;

namespace {
// Waits until the window has taken every byte the device sent.
void settle(ConsoleFixture &f)
{
    QTRY_VERIFY(f.w->MSComm.InBufferCount() == 0 && !f.w->m_recv.RecvStx);
    QTest::qWait(20);
}
} // namespace

class tst_Console : public QObject
{
    Q_OBJECT

    QStringList m_boxes; // boxes of the windows made without a fixture

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }
    void init()
    {
        m_boxes.clear();
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            return int(platform::vbOK);
        });
        setScrambleDigitsForTesting([] { return 1; });
    }
    void cleanup()
    {
        setScrambleDigitsForTesting(nullptr);
        QLocale::setDefault(QLocale::system());
    }

    void layoutAsAUserSeesIt()
    {
        ProgramFolder dir;
        frmMain w;
        w.show();
        // The three panels cover one area (the login panel one pixel further left).
        QCOMPARE(w.fraData->geometry(), w.fraAdmin->geometry());
        QCOMPARE(w.fraMain->geometry().translated(1, 0), w.fraData->geometry());
        QCOMPARE(w.fraCalAuto->geometry(), w.fraCalManual->geometry());
        // Every control lies inside its panel or frame, and every panel's width is in view.
        for (QWidget *child : w.findChildren<QWidget *>()) {
            QWidget *parent = child->parentWidget();
            if (parent == &w || !parent || child->isWindow() || child->objectName().isEmpty())
                continue;
            QVERIFY2(parent->rect().contains(child->geometry()), qPrintable(child->objectName()));
        }
        QVERIFY(w.width() >= w.fraData->width() - 1);
        // Window heights per panel: login shows the login panel down to its buttons.
        QCOMPARE(w.heightTwips(), frmMain::kLoginHeightTwips);
        QVERIFY(w.height() > w.cmdExit->geometry().bottom());
        QVERIFY(w.height() < w.fraTest->geometry().bottom() + 100);
        w.setHeightTwips(frmMain::kPanelHeightTwips);
        QVERIFY(w.height() >= w.cmdClose->mapTo(&w, QPoint(0, w.cmdClose->height())).y());
        QVERIFY(w.height() >= w.fraData->height() - 1);
        QCOMPARE(w.minimumSize(), w.maximumSize()); // fixed size
        QCOMPARE(w.windowTitle(), QStringLiteral("Vantor SCALE [1.0.03 13.08.13]"));
        QVERIFY(!(w.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        // Captions fit their controls.
        for (QAbstractButton *b : w.findChildren<QAbstractButton *>())
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= b->width(), qPrintable(b->objectName()));

        // "Record" in the row of "View Log", its size, the same gap to its left; Ctrl+R beside the login panel.
        QCOMPARE(w.recordButton->geometry(), w.cmdViewLog->geometry().translated(-platform::tw(1035), 0));
        QSignalSpy asked(&w, &frmMain::recordWindowRequested);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(asked.size(), 0);
        w.cmdAdmin_Click();
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        w.recordButton->click();
        QCOMPARE(asked.size(), 2);
    }

    void startupWithoutSettingsOrDevice()
    {
        ProgramFolder dir;
        frmMain w;
        QCOMPARE(gnComPortNo, std::int16_t(1));
        QVERIFY(w.optAdmin[0]->isChecked());
        QVERIFY(!w.fraMain->isHidden() && w.fraData->isHidden() && w.fraAdmin->isHidden());
        QVERIFY(gbIsLb);
        QCOMPARE(gnResendCmd, std::int16_t(99));
        QVERIFY(!w.MSComm.PortOpen());
        QVERIFY(m_boxes.isEmpty());
        w.optAdmin[1]->setChecked(true);
        w.close(); // the close box stores nothing
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty()); // nothing logged, nothing stored
    }

    void startupReadsSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("admin");
        QTest::newRow("stored") << QByteArray("[ItemIndex]\r\nCom_Port=3\r\nAdmin_Sel=1\r\n") << 3 << 1;
        QTest::newRow("letters") << QByteArray("[ItemIndex]\r\nCom_Port=COM3\r\nAdmin_Sel=one\r\n") << 1 << 0;
        QTest::newRow("beyond 16 bits") << QByteArray("[ItemIndex]\r\nCom_Port=70000\r\nAdmin_Sel=65537\r\n") << 1 << 0;
        QTest::newRow("other user types") << QByteArray("[ItemIndex]\r\nCom_Port=-2\r\nAdmin_Sel=5\r\n") << -2 << 0;
        QTest::newRow("binary") << QByteArray("\x01\xff[It\0em\r\n=\n", 12) << 1 << 0;
    }
    void startupReadsSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, port);
        QFETCH(int, admin);
        ProgramFolder dir;
        dir.write(kSettingsFileName, ini);
        frmMain w;
        QCOMPARE(int(gnComPortNo), port);
        QVERIFY(w.optAdmin[admin]->isChecked());
        QVERIFY(!w.optAdmin[1 - admin]->isChecked());
    }

    void exitStoresTheUserType()
    {
        for (int choice : {0, 1}) {
            ProgramFolder dir;
            Pty pty;
            QVERIFY(pty.linkAs(dir.path(), 7));
            dir.write(kSettingsFileName, "; mine\r\n[ItemIndex]\r\nCom_Port=7\r\n");
            frmMain w;
            QVERIFY(w.MSComm.PortOpen());
            QCOMPARE(w.MSComm.Settings(), QStringLiteral("38400,N,8,1"));
            w.show();
            w.optAdmin[choice]->setChecked(true);
            QTest::mouseClick(w.cmdExit, Qt::LeftButton);
            QVERIFY(!w.isVisible());
            QVERIFY(!w.MSComm.PortOpen()); // unloading releases the port
            QCOMPARE(dir.read(kSettingsFileName),
                     "; mine\r\n[ItemIndex]\r\nCom_Port=7\r\nAdmin_Sel=" + QByteArray::number(choice) + "\r\n");
            const QByteArray log = dir.read(QFileInfo(eventLogPath()).fileName());
            QVERIFY2(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\(\\d{3}\\)\\] PROGRAM => EXIT\r\n$")
                         .match(QString::fromLatin1(log)).hasMatch(), log.constData());
        }
    }

    void defaultPanelSettingRestoresHeaders()
    {
        ProgramFolder dir;
        frmMain w;
        for (platform::Shape *s : {w.shpSerial, w.shpPassword, w.shpAccelPanel})
            s->setFillColor(Qt::red);
        for (QLabel *l : {w.lblSerialPanel, w.lblPasswordPanel, w.lblAccelPanel}) {
            platform::setForeColor(l, Qt::red);
            l->setText("changed");
        }
        w.SetDefaultPanelSetting();
        QCOMPARE(w.shpSerial->FillColor(), platform::RGB(219, 193, 215));
        QCOMPARE(w.shpPassword->FillColor(), platform::RGB(219, 193, 215));
        QCOMPARE(w.shpAccelPanel->FillColor(), platform::RGB(238, 145, 170));
        for (QLabel *l : {w.lblSerialPanel, w.lblPasswordPanel, w.lblAccelPanel})
            QCOMPARE(platform::foreColor(l), QColor(Qt::black));
        QCOMPARE(w.lblAccelPanel->text(), QStringLiteral("Gravity Value"));
        QCOMPARE(w.lblSerialPanel->text(), QStringLiteral("changed")); // its text is left alone
    }

    void viewLogOpensTodaysLog()
    {
        ProgramFolder dir;
        QList<platform::ShellRequest> seen;
        platform::setShellHandler([&](const platform::ShellRequest &r) { seen << r; });
        frmMain w;
        QTest::mouseClick(w.cmdViewLog, Qt::LeftButton);
        platform::setShellHandler(nullptr);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].file, QStringLiteral("notepad.exe"));
        QCOMPARE(seen[0].parameters, eventLogPath());
    }
    void loginAsUser2()
    {
        ConsoleFixture f;
        f.w->txtSerialCheck->setText("12345678901");
        f.w->txtPassCheck->setText("4321");
        f.w->optAdmin[1]->setChecked(true);
        testsupport::FakeScale device(f);
        device.answers = {{"AC", "AC"}, {"BG", "BG"}, {"SP", "SP"}};
        QTest::mouseClick(f.w->cmdCheck, Qt::LeftButton);
        QCOMPARE(device.received, (L{"AC1234567890143212", "BG09", "SP00"}));
        QCOMPARE(f.log(), (QStringList{
            "USER LOGIN => SERIALNO : 23456789:1211111111111",
            "USER LOGIN => PASSWORD : 54321111",
            "USER LOGIN => USER TYPE : 2",
            "CALIBRATION FORM => OPEN",
            "CALIBRATION => MANUAL MODE SEND",
            "WEIGHT => LB MODE"}));
        QCOMPARE(gnResendCmd, std::int16_t(9));
        QVERIFY(f.w->fraCalAuto->isHidden() && !f.w->fraCalManual->isHidden());
        QVERIFY(f.errors.isEmpty());

    }

    // Each wait of the login gives up when its reply does not come: nothing after it is sent.
    void unansweredLogin_data()
    {
        QTest::addColumn<QByteArrayList>("answered");
        QTest::addColumn<QByteArrayList>("sent");
        QTest::newRow("login") << QByteArrayList{} << QByteArrayList{"AC0000000000000001"};
        QTest::newRow("mode") << QByteArrayList{"AC"} << QByteArrayList{"AC0000000000000001", "BG09"};
        QTest::newRow("unit") << QByteArrayList{"AC", "BG"} << QByteArrayList{"AC0000000000000001", "BG09", "SP00"};
    }
    void unansweredLogin()
    {
        QFETCH(QByteArrayList, answered);
        QFETCH(QByteArrayList, sent);
        ConsoleFixture f;
        f.w->show();
        testsupport::FakeScale device(f);
        for (const QByteArray &code : answered)
            device.answers[code] = code;
        QTest::mouseClick(f.w->cmdCheck, Qt::LeftButton);
        QCOMPARE(device.received, sent);
        QCOMPARE(f.errors, QStringList{"cmdCheck_Click : (error 0)  "});
        QCOMPARE(gnResendCmd, std::int16_t(99));
        QCOMPARE(f.w->fraMain->isHidden(), !answered.isEmpty());
        if (answered.isEmpty()) // the time-out showed while the login waited
            QCOMPARE(f.w->lblDataCaption->text(), QStringLiteral("Failure to send!"));
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
            QCOMPARE(f.boxes[0].title, QStringLiteral("tst_console"));
        }
        QVERIFY(!f.w->Timer2.Enabled());
    }

    void administration()
    {
        ConsoleFixture f;
        f.w->cmdAdmin_Click();
        QVERIFY(f.w->fraMain->isHidden() && f.w->fraData->isHidden() && !f.w->fraAdmin->isHidden());
        QCOMPARE(f.w->heightTwips(), 6570);
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

        // A serial number of the wrong length is dropped silently; letters are refused aloud.
        f.w->txtSerial->setText("1234");
        f.w->cmdSerialWrite_Click();
        f.w->txtSerial->setText("1234567890x");
        f.w->cmdSerialWrite_Click();
        f.w->txtSerial->setText("12345678901");
        f.w->txtPass2->setText("22a2");
        f.w->cmdPassWrite_Click();
        QCOMPARE(f.frames(), L{});
        QCOMPARE(f.boxes.size(), 2);
        for (const auto &box : std::as_const(f.boxes))
            QCOMPARE(box.prompt, QStringLiteral("Only Permission Numeric Type Character."));
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
        QTest::addColumn<int>("weight");
        QTest::addColumn<QString>("label");
        QTest::newRow("0 lb") << true << 0 << "0 lb";
        QTest::newRow("50 kg") << false << 1 << "50 kg";
        QTest::newRow("100 kg in pounds") << true << 2 << "220.46 lb";
    }
    void automaticCalibrationAsks()
    {
        QFETCH(bool, pounds);
        QFETCH(int, weight);
        QFETCH(QString, label);
        ConsoleFixture f;
        gbIsLb = pounds;
        QPushButton *buttons[] = {f.w->cmd0kg, f.w->cmd50Kg, f.w->cmd100kg};
        buttons[weight]->click();
        QCOMPARE(f.boxes.size(), 1);
        QCOMPARE(f.boxes[0].prompt, "Scale Calibration Auto Mode : Do You Set The Weight To " + label + "?");
        QCOMPARE(f.boxes[0].style, platform::vbYesNo | platform::vbQuestion);
        QCOMPARE(f.frames(), L{"BG0" + QByteArray::number(weight + 1)});
        QCOMPARE(f.log(), QStringList{"CALIBRATION AUTO => " + label + " SEND"});
        QCOMPARE(gnResendCmd, std::int16_t(weight + 1));
        QVERIFY(f.w->Timer4.Enabled());

        // No: nothing sent or logged, the earlier command stays pending.
        f.answers << platform::vbNo;
        buttons[(weight + 1) % 3]->click();
        QCOMPARE(f.frames(), L{});
        QCOMPARE(f.log().size(), 1);
        QCOMPARE(gnResendCmd, std::int16_t(weight + 1));
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

    void repetitionByTimer4_data()
    {
        QTest::addColumn<int>("pending");
        QTest::addColumn<QByteArray>("repeated");
        QTest::addColumn<QString>("autoCaption"); // the caption cmdAuto is given first
        const char *codes = "0123....89ABCDE";
        for (int n : {0, 1, 2, 3, 8, 9, 10, 11, 12, 13, 14})
            QTest::addRow("%d", n) << n << "BG0" + QByteArray(1, codes[n])
                                   << (n == 8 ? "Manual" : n == 9 ? "Auto" : "");
        QTest::newRow("none") << 99 << QByteArray() << "";
    }
    void repetitionByTimer4()
    {
        QFETCH(int, pending);
        QFETCH(QByteArray, repeated);
        QFETCH(QString, autoCaption);
        ConsoleFixture f;
        f.w->Timer4.setInterval(60000); // one step at a time
        gnResendCmd = std::int16_t(pending);
        f.w->cmdAuto->setText("whatever");
        f.w->Timer4_Timer();
        QCOMPARE(f.frames(), repeated.isEmpty() ? L{} : L{repeated});
        QCOMPARE(f.w->Timer4.Enabled(), !repeated.isEmpty());
        QCOMPARE(gnResendCmd, std::int16_t(pending));
        if (!autoCaption.isEmpty()) // the mode is set afresh before the click runs again
            QCOMPARE(f.w->cmdAuto->text(), autoCaption);
    }

    void repetitionRunsUntilAnswered()
    {
        ConsoleFixture f;
        f.w->Timer4.setInterval(60); // the same handler, sooner
        f.w->cmd10gUp_Click();
        f.w->cmd100gDn_Click();
        L got;
        QTRY_VERIFY((got += f.frames(20)).size() >= 4);
        QCOMPARE(got.mid(0, 4), (L{"BG0D", "BG0A", "BG0A", "BG0A"}));
        f.reply("BG");
        QTRY_VERIFY(!f.w->Timer4.Enabled());
        QCOMPARE(gnResendCmd, std::int16_t(99));
        f.frames(); // repeats sent before the answer came

        // A repeated automatic calibration asks again; No ends the repetition.
        f.w->cmd0kg_Click();
        f.answers << platform::vbNo;
        QTRY_COMPARE(f.boxes.size(), 2);
        QTRY_VERIFY(!f.w->Timer4.Enabled());
        QCOMPARE(f.frames(), L{"BG01"});
    }

    // Close on the data panel, and a live weight report while the login panel shows, leave
    // calibration: "BG0E", repeated until the scale answers.
    void closeLeavesCalibration()
    {
        ConsoleFixture f;
        f.w->fraMain->hide();
        f.w->fraData->show();
        f.w->setHeightTwips(6570);
        f.w->txtAccel->setText("10.1");
        f.w->txtAccelRead->setText("9.8000");
        f.w->cmdClose_Click();
        QCOMPARE(f.w->txtAccel->text(), QStringLiteral("9.7982"));
        QCOMPARE(f.w->txtAccelRead->text(), QString());
        QVERIFY(!f.w->fraMain->isHidden() && f.w->fraData->isHidden());
        QCOMPARE(f.w->heightTwips(), 3300);
        QCOMPARE(f.frames(), L{"BG0E"});
        f.reply("BG");
        QTRY_VERIFY(!f.w->Timer4.Enabled());
        f.reply("WC00100,00000+");
        L sent;
        QTRY_VERIFY(!(sent += f.frames(20)).isEmpty());
        QCOMPARE(sent, L{"BG0E"});
        QCOMPARE(gnResendCmd, std::int16_t(14));
        QVERIFY(!f.w->Timer2.Enabled() && f.w->Timer4.Enabled());
        QCOMPARE(f.log(), (QStringList{"LOGIN FORM => OPEN", "LOGIN FORM => OPEN"}));
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
            QCOMPARE(f.device.drain(80), modCommon::makeFrame("AW00" + payload));
            QCOMPARE(f.log(), QStringList{"GRAVITY VALUE => WRITE SEND"});
            QVERIFY(f.errors.isEmpty());
        }
    }

    // Typing and pasting stop at a box's limit, also where the program wrote a longer text.
    void typingLimits()
    {
        ConsoleFixture f;
        QLineEdit *gravity = f.w->txtAccel;
        gravity->setText("10.5000"); // as a gravity write leaves it
        gravity->setCursorPosition(7);
        QTest::keyClicks(gravity, "1234");
        QCOMPARE(gravity->text(), QStringLiteral("10.5000"));
        QTest::keyClick(gravity, Qt::Key_Backspace);
        QTest::keyClick(gravity, Qt::Key_Backspace);
        QTest::keyClicks(gravity, "123");
        QCOMPARE(gravity->text(), QStringLiteral("10.501"));
        QApplication::clipboard()->setText("98765432");
        gravity->selectAll();
        gravity->paste();
        QCOMPARE(gravity->text(), QStringLiteral("987654")); // the part that fits
        f.w->txtSerialCheck->setCursorPosition(5);
        f.w->txtSerialCheck->backspace();
        f.w->txtSerialCheck->paste();
        QCOMPARE(f.w->txtSerialCheck->text(), QStringLiteral("00009000000"));
    }

    // VI and FI acknowledge; codes not in the table (case-sensitive) do nothing at all.
    void acknowledgements_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("acknowledged");
        QTest::addColumn<QString>("serialHeader");
        QTest::newRow("VI") << QByteArray("VI123") << true << "Index No.";
        QTest::newRow("FI") << QByteArray("FI") << true << "Member Send complete";
        QTest::newRow("vi") << QByteArray("vi") << false << "Index No.";
        QTest::newRow("ac") << QByteArray("ac") << false << "Index No.";
        QTest::newRow("empty") << QByteArray() << false << "Index No.";
    }
    void acknowledgements()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, acknowledged);
        QFETCH(QString, serialHeader);
        ConsoleFixture f;
        f.w->Timer2.setInterval(60000);
        f.w->Timer2.setEnabled(true);
        f.reply(reply);
        settle(f);
        QCOMPARE(f.w->Timer2.Enabled(), !acknowledged);
        QCOMPARE(f.w->Timer1.Enabled(), acknowledged);
        QCOMPARE(platform::foreColor(f.w->lblDataCaption), acknowledged ? platform::RGB(255, 0, 128) : QColor(Qt::black));
        QCOMPARE(f.w->lblSerialPanel->text(), serialHeader);
        QCOMPARE(f.log(), QStringList{});
        QCOMPARE(f.errors, QStringList{});
        QVERIFY(!gbLoginReplied);
    }

    void gravityRead()
    {
        ConsoleFixture f;
        f.w->Timer2.setEnabled(true);
        platform::setForeColor(f.w->lblAccelPanel, Qt::red);
        f.w->shpAccelPanel->setFillColor(Qt::red);
        f.reply("AR00097982");
        QTRY_COMPARE(f.w->txtAccelRead->text(), QStringLiteral("9.7982"));
        QVERIFY(!f.w->Timer2.Enabled());
        QVERIFY(!f.w->Timer1.Enabled()); // AR does not start the status hold
        QCOMPARE(platform::foreColor(f.w->lblAccelPanel), QColor(Qt::black));
        QCOMPARE(f.w->shpAccelPanel->FillColor(), platform::RGB(238, 145, 170));
        QCOMPARE(f.log(), QStringList{"GRAVITY VALUE => READ OK : 9.7982"});
        QVERIFY(f.errors.isEmpty());
    }

    // With a decimal comma: both readouts show it, and a typed gravity may use it or a point.
    // The bytes on the line stay the same.
    void decimalCommaLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ConsoleFixture f;
        f.w->fraMain->hide();
        f.w->fraData->show();
        f.reply("AR00097982");
        f.reply("WC00042,01234-");
        QTRY_COMPARE(f.w->lblScale->text(), QStringLiteral("-12,34"));
        QCOMPARE(f.w->txtAccelRead->text(), QStringLiteral("9,7982"));
        for (const char *typed : {"9,81", "9.81"}) {
            f.w->txtAccel->setText(typed);
            f.w->cmdAccelWrite_Click();
            QCOMPARE(f.w->txtAccel->text(), QStringLiteral("9,8100"));
            QCOMPARE(f.device.drain(80), makeFrame("AW00098100"));
        }
    }

    void shortRepliesStopWhereTheyFail()
    {
        ConsoleFixture f;
        f.w->fraMain->hide();
        f.w->fraData->show();
        f.w->Timer2.setEnabled(true);
        f.reply("SR123456789");   // 9 characters: acknowledged, nothing shown
        f.reply("PR123456");      // 6 characters: user 1 only
        f.reply("WC00042,0x234-"); // weight digits that are no number: digital value only
        f.reply("X");             // no second code character
        settle(f);
        QCOMPARE(f.w->txtSerialRead->text(), QStringLiteral("00000000000"));
        QVERIFY(!f.w->Timer2.Enabled() && f.w->Timer1.Enabled());
        QCOMPARE(f.w->txtPass1Read->text(), QStringLiteral("1234"));
        QCOMPARE(f.w->txtPass2Read->text(), QStringLiteral("0000"));
        QCOMPARE(f.w->lblValue->text(), QStringLiteral("42"));
        QCOMPARE(f.w->lblScale->text(), QString());
        QCOMPARE(f.log(), (QStringList{"USER PASSWORD => READ OK", "USER PASSWORD =>   USER1 : 23451111"}));
        QCOMPARE(f.errors.size(), 4);
        QVERIFY(f.errors[2].startsWith("All_Data_Received_Analysys : (error 13)  "));
        QVERIFY(f.errors[3].startsWith("All_Data_Received_Analysys : (error 9)  "));

        // A serial number that cannot be scrambled: shown, not logged.
        f.errors.clear();
        f.reply("SR" + QByteArray(11, char(0xFF)));
        settle(f);
        QCOMPARE(f.w->txtSerialRead->text(), QString(11, QChar(0xFF)));
        QCOMPARE(f.errors, QStringList{"All_Data_Received_Analysys : (error 5)  Invalid procedure call or argument"});
    }

    // The same report in pounds and in kilograms, on the data and on the administration panel:
    // readouts change, nothing is sent, no timer is touched.
    void liveWeight()
    {
        for (bool pounds : {true, false}) {
            ConsoleFixture f;
            f.w->fraMain->hide();
            (pounds ? f.w->fraData : f.w->fraAdmin)->show();
            gbIsLb = pounds;
            f.w->Timer2.setEnabled(true);
            // A burst: the readouts end on its last report.
            f.device.write(makeFrame("WC11111,01111-") + makeFrame("WC22222,02222-") + makeFrame("WC12345,01234-"));
            QTRY_COMPARE(f.w->lblScale->text(), QStringLiteral("-12.34"));
            QCOMPARE(f.w->lblValue->text(), QStringLiteral("12345"));
            QVERIFY(f.w->Timer2.Enabled() && !f.w->Timer4.Enabled());
            QVERIFY(f.w->fraMain->isHidden());
            QCOMPARE(f.log(), QStringList{});
            QCOMPARE(f.frames(), L{});
        }
    }

    void loginAccepted()
    {
        ConsoleFixture f;
        f.w->show();
        for (int round = 1; round <= 2; ++round) {
            f.w->cmdAdmin_Click(); // a second AC repeats everything, from any panel
            f.w->Timer2.setEnabled(true);
            f.reply("AC");
            QTRY_VERIFY(!f.w->fraData->isHidden());
            QVERIFY(f.w->fraMain->isHidden() && f.w->fraAdmin->isHidden());
            QCOMPARE(f.w->heightTwips(), 6570);
            QVERIFY(gbLoginReplied);
            QVERIFY(!f.w->Timer2.Enabled());
            QCOMPARE(f.log().count("CALIBRATION FORM => OPEN"), round);
        }
    }

    void calibrationModeReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("frame"); // 0 automatic, 1 manual, -1 unchanged
        QTest::newRow("BG") << QByteArray("BG") << -1;
        QTest::newRow("BA manual") << QByteArray("BA000") << 1;
        QTest::newRow("BA automatic") << QByteArray("BA001") << 0;
        QTest::newRow("BA other") << QByteArray("BA002") << -1;
    }
    void calibrationModeReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, frame);
        ConsoleFixture f;
        f.w->Timer4.setInterval(60000);
        f.w->cmd10gUp_Click();
        f.w->fuSetAutoManualToogle(5);
        f.frames();
        f.reply(reply);
        QTRY_COMPARE(gnResendCmd, std::int16_t(99));
        QVERIFY(!f.w->Timer4.Enabled());
        const bool automatic = frame == 0;
        QCOMPARE(f.w->fraCalAuto->isHidden(), !automatic);
        QCOMPARE(f.w->cmdAuto->text(), automatic ? QStringLiteral("Manual") : QStringLiteral("Auto"));
    }

    void unitReplies()
    {
        ConsoleFixture f;
        f.reply("SK");
        QTRY_COMPARE(f.w->Label5->text(), QStringLiteral("[kg]"));
        QCOMPARE(f.w->cmdKgLb->text(), QStringLiteral("Lb Mode"));
        QVERIFY(!gbIsLb && gbUnitReplied);
        f.reply("SP");
        QTRY_COMPARE(f.w->cmdKgLb->text(), QStringLiteral("Kg Mode"));
        QVERIFY(gbIsLb);
        QCOMPARE(f.w->cmd100gDn->text(), QStringLiteral("0.22 lb Dn"));
        QCOMPARE(f.log(), (QStringList{"WEIGHT => KG MODE", "WEIGHT => LB MODE"}));
    }

    void confirmedWritesAreReadBack_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("readCommand");
        QTest::addColumn<QByteArray>("readReply");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("serial") << QByteArray("SW") << QByteArray("SR00") << QByteArray("SR11122233344")
                                << QStringList{"USER SERIAL => WRITE OK", "USER SERIAL => READ SEND",
                                               "USER SERIAL => READ OK : 2223334445511111111111"};
        QTest::newRow("passwords") << QByteArray("PW") << QByteArray("PR00") << QByteArray("PR43218765")
                                   << QStringList{"USER PASSWORD => WRITE OK", "USER PASSWORD => READ SEND",
                                                  "USER PASSWORD => READ OK", "USER PASSWORD =>   USER1 : 54321111",
                                                  "USER PASSWORD =>   USER2 : 98761111"};
        QTest::newRow("gravity") << QByteArray("AW") << QByteArray("AR00") << QByteArray("AR00098100")
                                 << QStringList{"GRAVITY VALUE => WRITE OK", "GRAVITY VALUE => READ SEND",
                                                "GRAVITY VALUE => READ OK : 9.8100"};
    }
    void confirmedWritesAreReadBack()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, readCommand);
        QFETCH(QByteArray, readReply);
        QFETCH(QStringList, lines);
        ConsoleFixture f;
        // While "Send Ok!!" is open the device answers the read-back, which fills its box at once.
        QString shownWhileOpen;
        f.whileBoxOpen = [&](const platform::MsgBoxRequest &r) {
            QCOMPARE(r.prompt, QStringLiteral("Send Ok!!"));
            QCOMPARE(f.frames(), L{readCommand}); // sent before the box opened
            f.reply(readReply);
            QTRY_COMPARE(f.log().size(), lines.size());
            shownWhileOpen = f.w->txtSerialRead->text() + f.w->txtPass2Read->text() + f.w->txtAccelRead->text();
        };
        QElapsedTimer clock;
        clock.start();
        f.reply(reply);
        QTRY_COMPARE(f.boxes.size(), 1);
        QVERIFY(clock.elapsed() >= 450); // after the half-second delay
        QCOMPARE(f.log(), lines);
        QVERIFY(shownWhileOpen.contains(QString::fromLatin1(readReply.right(4).left(2))));
        QVERIFY(f.errors.isEmpty());
    }

    void noiseBeyondTheBuffer()
    {
        ConsoleFixture f;
        f.device.write(QByteArray(replies::kRecvBufSize + 10, 'n'));
        QTRY_COMPARE(f.w->m_recv.RecvCnt, replies::kRecvBufSize);
        QTRY_COMPARE(f.w->MSComm.InBufferCount(), 0);
        QVERIFY(f.errors.last().startsWith("All_Data_Received_Check : (error 9)  "));
        f.reply("SK"); // the next frame is received as usual
        QTRY_VERIFY(!gbIsLb);
    }

    void unansweredCommandTimesOut()
    {
        ConsoleFixture f;
        f.w->show();
        f.w->lblDataCaption->setText("working");
        f.w->cmdAccelRead_Click();
        QTRY_COMPARE_WITH_TIMEOUT(f.w->lblDataCaption->text(), QStringLiteral("Failure to send!"), 5000);
        QCOMPARE(f.w->shpDataCaption->FillColor(), platform::RGB(255, 0, 128));
        QVERIFY(!f.w->Timer2.Enabled() && f.w->Timer1.Enabled());
        QTRY_COMPARE_WITH_TIMEOUT(f.w->lblDataCaption->text(), QStringLiteral("Please enter the approved data."), 10000);
        QCOMPARE(f.w->shpDataCaption->FillColor(), platform::RGB(166, 202, 240));
        QCOMPARE(platform::foreColor(f.w->lblDataCaption), QColor(Qt::black));
        QVERIFY(!f.w->Timer1.Enabled());

    }

    void delayAcrossTheTickWrap()
    {
        QElapsedTimer real;
        real.start();
        platform::setTickSourceForTesting([&] { return quint32(0xFFFFFF00u + quint32(real.elapsed())); });
        fuDelayTime(500);
        const qint64 waited = real.elapsed();
        platform::setTickSourceForTesting(nullptr);
        QVERIFY2(waited >= 500 && waited < 5000, qPrintable(QString::number(waited)));
    }
};

QTEST_MAIN(tst_Console)
#include "tst_console.moc"
