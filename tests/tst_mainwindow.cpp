// The main window: controls, start-up, display procedures, exit.
#include "MsgBox.h"
#include "Pty.h"
#include "Shell.h"
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
using testsupport::Pty;

class tst_MainWindow : public QObject
{
    Q_OBJECT

    QStringList m_boxes;

    static QString caption(QWidget *w)
    {
        if (auto *l = qobject_cast<QLabel *>(w))
            return l->text();
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            return b->text();
        if (auto *e = qobject_cast<QLineEdit *>(w))
            return e->text();
        return QString();
    }

private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            return int(platform::vbOK);
        });
    }
    void init() { m_boxes.clear(); }

    void controlsAsDesigned()
    {
        ProgramFolder dir;
        frmMain w;
        struct Row { const char *name; const char *panel; QString text; int maxLength; bool readOnly; };
        const QString z11 = "00000000000", z4 = "0000";
        const Row rows[] = {
            {"lblDataCaption", "fraMain", "Please enter the approved data.", 0, false},
            {"lblSerialNo", "fraTest", "Index No.", 0, false},
            {"txtSerialCheck", "fraTest", z11, 11, false},
            {"lblAdministrator", "fraTest", "User", 0, false},
            {"optAdmin_0", "fraTest", "001", 0, false},
            {"optAdmin_1", "fraTest", "002", 0, false},
            {"lblPassword", "fraTest", "Password No.", 0, false},
            {"txtPassCheck", "fraTest", z4, 4, false},
            {"cmdCheck", "fraTest", "OK", 0, false},
            {"cmdCom", "fraMain", "COM", 0, false},
            {"cmdExit", "fraMain", "Close", 0, false},
            {"lblScalePanel", "fraData", "Scale", 0, false},
            {"Label5", "fraData", "[lb]", 0, false},
            {"lblValuePanel", "fraData", "Digital Value : ", 0, false},
            {"lblAccelPanel", "fraData", "Gravity Value", 0, false},
            {"Label3", "fraData", "Read", 0, false},
            {"txtAccelRead", "fraData", "", 0, true},
            {"Label2", "fraData", "[m/s ]", 0, false},
            {"Label1_0", "fraData", "2", 0, false},
            {"Label4", "fraData", "Write", 0, false},
            {"txtAccel", "fraData", "9.7982", 6, false},
            {"lblUnit", "fraData", "[m/s ]", 0, false},
            {"lblSeq", "fraData", "2", 0, false},
            {"cmdAccelRead", "fraData", "Read", 0, false},
            {"cmdAccelWrite", "fraData", "Write", 0, false},
            {"lblCalAuto", "fraCalAuto", "Scale Calibration ( Auto )", 0, false},
            {"cmd0kg", "fraCalAuto", "0 lb", 0, false},
            {"cmd50Kg", "fraCalAuto", "110.23 lb", 0, false},
            {"cmd100kg", "fraCalAuto", "220.46 lb", 0, false},
            {"lblCalManual", "fraCalManual", "Scale Calibration ( Manual )", 0, false},
            {"cmd10gUp", "fraCalManual", "0.02 lb Up", 0, false},
            {"cmd10gDn", "fraCalManual", "0.02 lb Dn", 0, false},
            {"cmdZero", "fraCalManual", "Zero", 0, false},
            {"cmd100gUp", "fraCalManual", "0.22 lb Up", 0, false},
            {"cmd100gDn", "fraCalManual", "0.22 lb Dn", 0, false},
            {"cmdKgLb", "fraData", "Lb Mode", 0, false},
            {"cmdAuto", "fraData", "Manual", 0, false},
            {"cmdAdmin", "fraData", "User", 0, false},
            {"cmdClose", "fraData", "Close", 0, false},
            {"lblSerialPanel", "fraAdmin", "Index No.", 0, false},
            {"txtSerialRead", "fraAdmin", z11, 11, true},
            {"txtSerial", "fraAdmin", z11, 11, false},
            {"cmdSerialRead", "fraAdmin", "Read", 0, false},
            {"cmdSerialWrite", "fraAdmin", "Write", 0, false},
            {"lblPasswordPanel", "fraAdmin", "Passwrod No.", 0, false},
            {"lblAdmin1", "fraAdmin", "User 001", 0, false},
            {"lblAdmin2", "fraAdmin", "User 002", 0, false},
            {"txtPass1Read", "fraAdmin", z4, 4, true},
            {"txtPass2Read", "fraAdmin", z4, 4, true},
            {"txtPass1", "fraAdmin", z4, 4, false},
            {"txtPass2", "fraAdmin", z4, 4, false},
            {"cmdPassRead", "fraAdmin", "Read", 0, false},
            {"cmdPassWrite", "fraAdmin", "Write", 0, false},
            {"cmdViewLog", "fraAdmin", "View Log", 0, false},
            {"cmdAdminClose", "fraAdmin", "Close", 0, false},
        };
        for (const Row &row : rows) {
            auto *c = w.findChild<QWidget *>(row.name);
            QVERIFY2(c, row.name);
            QCOMPARE(c->parentWidget()->objectName(), QString::fromLatin1(row.panel));
            QCOMPARE(caption(c), row.text);
            if (auto *e = qobject_cast<QLineEdit *>(c)) {
                QCOMPARE(platform::maxTypedLength(e), row.maxLength);
                QCOMPARE(e->isReadOnly(), row.readOnly);
            }
        }
        // Typing is cut at the maximum length.
        w.txtPassCheck->clear();
        QTest::keyClicks(w.txtPassCheck, "123456");
        QCOMPARE(w.txtPassCheck->text(), QStringLiteral("1234"));

        QCOMPARE(w.windowTitle(), QStringLiteral("Vantor SCALE [1.0.03 13.08.13]"));
        QVERIFY(w.cmdReset->isHidden());
        QCOMPARE(w.Timer1.Interval(), 2000);
        QCOMPARE(w.Timer2.Interval(), 300);
        QCOMPARE(w.Timer4.Interval(), 1000);
        QVERIFY(!w.Timer1.Enabled() && !w.Timer2.Enabled() && !w.Timer4.Enabled());
        QCOMPARE(w.lblScale->text(), QString());
        QCOMPARE(w.lblValue->text(), QString());
        QCOMPARE(platform::foreColor(w.lblScale), platform::RGB(0, 0, 64));
        QCOMPARE(w.shpAccelPanel->FillColor(), platform::RGB(238, 145, 170));
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
        QCOMPARE(w.HeightTwips(), frmMain::kLoginHeightTwips);
        QVERIFY(w.height() > w.cmdExit->geometry().bottom());
        QVERIFY(w.height() < w.fraTest->geometry().bottom() + 100);
        w.setHeightTwips(frmMain::kPanelHeightTwips);
        QVERIFY(w.height() >= w.cmdClose->mapTo(&w, QPoint(0, w.cmdClose->height())).y());
        QVERIFY(w.height() >= w.fraData->height() - 1);
        QCOMPARE(w.minimumSize(), w.maximumSize()); // fixed size
        QVERIFY(!(w.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        // Captions fit their controls.
        for (QAbstractButton *b : w.findChildren<QAbstractButton *>())
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= b->width(), qPrintable(b->objectName()));
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
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty()); // nothing logged, nothing stored
    }

    void startupReadsSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("admin");
        QTest::newRow("stored") << QByteArray("[ItemIndex]\r\nCom_Port=3\r\nAdmin_Sel=1\r\n") << 3 << 1;
        QTest::newRow("blanks") << QByteArray("[ItemIndex]\r\nCom_Port=  4  \r\nAdmin_Sel= 0\r\n") << 4 << 0;
        QTest::newRow("letters") << QByteArray("[ItemIndex]\r\nCom_Port=COM3\r\nAdmin_Sel=one\r\n") << 1 << 0;
        QTest::newRow("beyond 16 bits") << QByteArray("[ItemIndex]\r\nCom_Port=70000\r\nAdmin_Sel=65537\r\n") << 1 << 0;
        QTest::newRow("fraction") << QByteArray("[ItemIndex]\r\nCom_Port=2.5\r\nAdmin_Sel=0.9\r\n") << 1 << 0;
        QTest::newRow("other user types") << QByteArray("[ItemIndex]\r\nCom_Port=-2\r\nAdmin_Sel=5\r\n") << -2 << 0;
        QTest::newRow("negative user type") << QByteArray("[ItemIndex]\r\nAdmin_Sel=-1\r\n") << 1 << 0;
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

    void startupOpensTheLinkedPort()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 3));
        dir.write(kSettingsFileName, "[ItemIndex]\r\nCom_Port=3\r\n");
        frmMain w;
        QVERIFY(w.MSComm.PortOpen());
        QCOMPARE(w.MSComm.Settings(), QStringLiteral("38400,N,8,1"));
        w.close(); // unloading releases the port
        QVERIFY(!w.MSComm.PortOpen());
    }

    void exitStoresTheUserType()
    {
        for (int choice : {0, 1}) {
            ProgramFolder dir;
            dir.write(kSettingsFileName, "; mine\r\n[ItemIndex]\r\nCom_Port=7\r\n");
            frmMain w;
            w.show();
            w.optAdmin[choice]->setChecked(true);
            QTest::mouseClick(w.cmdExit, Qt::LeftButton);
            QVERIFY(!w.isVisible());
            QCOMPARE(dir.read(kSettingsFileName),
                     "; mine\r\n[ItemIndex]\r\nCom_Port=7\r\nAdmin_Sel=" + QByteArray::number(choice) + "\r\n");
            const QByteArray log = dir.read(QFileInfo(EventLogPath()).fileName());
            QVERIFY2(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\(\\d{3}\\)\\] PROGRAM => EXIT\r\n$")
                         .match(QString::fromLatin1(log)).hasMatch(), log.constData());
        }
    }

    void closeBoxStoresNothing()
    {
        ProgramFolder dir;
        frmMain w;
        w.show();
        w.optAdmin[1]->setChecked(true);
        w.close();
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void unitCaptions()
    {
        ProgramFolder dir;
        frmMain w;
        w.fuSetUnitMode(false);
        const QStringList kg = {"[kg]", "0 kg", "50 kg", "100 kg", "10 g Up", "10 g Dn", "100 g Up", "100 g Dn"};
        const QStringList lb = {"[lb]", "0 lb", "110.23 lb", "220.46 lb", "0.02 lb Up", "0.02 lb Dn", "0.22 lb Up", "0.22 lb Dn"};
        auto shown = [&] {
            return QStringList{w.Label5->text(), w.cmd0kg->text(), w.cmd50Kg->text(), w.cmd100kg->text(),
                               w.cmd10gUp->text(), w.cmd10gDn->text(), w.cmd100gUp->text(), w.cmd100gDn->text()};
        };
        QCOMPARE(shown(), kg);
        QCOMPARE(w.cmdKgLb->text(), QStringLiteral("Lb Mode")); // left to the unit replies
        w.fuSetUnitMode(true);
        QCOMPARE(shown(), lb);

        QCOMPARE(frmMain::fuGetUnitValue(true, "50 Kg"), QString());
        QCOMPARE(frmMain::fuGetUnitValue(true, "5 kg"), QString());
        QCOMPARE(frmMain::fuGetUnitValue(false, "50 Kg"), QStringLiteral("50 Kg"));
        QCOMPARE(frmMain::fuGetUnitValue(false, "anything"), QStringLiteral("anything"));
    }

    void calibrationFrameToggle()
    {
        ProgramFolder dir;
        frmMain w;
        for (std::int16_t type : {std::int16_t(0), std::int16_t(1), std::int16_t(5), std::int16_t(0)}) {
            w.fuSetAutoManualToogle(type);
            const bool automatic = type == 0;
            QCOMPARE(w.fraCalAuto->isHidden(), !automatic);
            QCOMPARE(w.fraCalManual->isHidden(), automatic);
            QCOMPARE(w.cmdAuto->text(), automatic ? QStringLiteral("Manual") : QStringLiteral("Auto"));
        }
    }

    void defaultPanelSettingRestoresHeaders()
    {
        ProgramFolder dir;
        frmMain w;
        const QColor odd = platform::RGB(1, 2, 3);
        for (platform::Shape *s : {w.shpDataCaption, w.shpSerial, w.shpPassword, w.shpAccelPanel})
            s->setFillColor(odd);
        for (QLabel *l : {w.lblDataCaption, w.lblSerialPanel, w.lblPasswordPanel, w.lblAccelPanel}) {
            platform::setForeColor(l, odd);
            l->setText("changed");
        }
        w.fraMain->hide();
        w.SetDefaultPanelSetting();
        QCOMPARE(w.shpDataCaption->FillColor(), platform::RGB(166, 202, 240));
        QCOMPARE(w.shpSerial->FillColor(), platform::RGB(219, 193, 215));
        QCOMPARE(w.shpPassword->FillColor(), platform::RGB(219, 193, 215));
        QCOMPARE(w.shpAccelPanel->FillColor(), platform::RGB(238, 145, 170));
        for (QLabel *l : {w.lblDataCaption, w.lblSerialPanel, w.lblPasswordPanel, w.lblAccelPanel})
            QCOMPARE(platform::foreColor(l), QColor(Qt::black));
        QCOMPARE(w.lblDataCaption->text(), QStringLiteral("Please enter the approved data."));
        QCOMPARE(w.lblAccelPanel->text(), QStringLiteral("Gravity Value"));
        QCOMPARE(w.lblSerialPanel->text(), QStringLiteral("changed")); // its text is left alone
        QVERIFY(w.fraMain->isHidden());                                  // and so is visibility
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
        QCOMPARE(seen[0].parameters, EventLogPath());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
