// The reply dispatcher: replies written at the far end of a real line, their effects on the
// window, the shared variables, the timers and the log.
#include "ConsoleFixture.h"
#include "Frame.h"
#include "Wait.h"
#include "modCommon.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace modCommon;
using testsupport::ConsoleFixture;
using L = QList<QByteArray>;

namespace {
// Waits until the window has taken every byte the device sent.
void settle(ConsoleFixture &f)
{
    QTRY_VERIFY(f.w->MSComm.InBufferCount() == 0 && !f.w->m_recv.RecvStx);
    QTest::qWait(20);
}
} // namespace

class tst_Dispatcher : public QObject
{
    Q_OBJECT

private slots:
    void init() { setScrambleDigitsForTesting([] { return 2; }); }
    void cleanup() { setScrambleDigitsForTesting(nullptr); }

    void acknowledgements_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("serialHeader");
        QTest::newRow("VI") << QByteArray("VI") << "Index No.";
        QTest::newRow("VI with payload") << QByteArray("VI123") << "Index No.";
        QTest::newRow("FI") << QByteArray("FI") << "Member Send complete";
    }
    void acknowledgements()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, serialHeader);
        ConsoleFixture f;
        f.w->Timer2.setEnabled(true);
        f.reply(reply);
        QTRY_VERIFY(!f.w->Timer2.Enabled());
        QVERIFY(f.w->Timer1.Enabled());
        QCOMPARE(platform::foreColor(f.w->lblDataCaption), platform::RGB(255, 0, 128));
        QCOMPARE(f.w->shpDataCaption->FillColor(), platform::RGB(166, 202, 240));
        QCOMPARE(f.w->lblSerialPanel->text(), serialHeader);
        QCOMPARE(f.log(), QStringList{});
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
        f.reply("AR00000000");
        QTRY_COMPARE(f.w->txtAccelRead->text(), QStringLiteral("0.0000"));
        QCOMPARE(f.log(), (QStringList{"GRAVITY VALUE => READ OK : 9.7982",
                                       "GRAVITY VALUE => READ OK : 0.0000"}));
        QVERIFY(f.errors.isEmpty());
    }

    void shortRepliesStopWhereTheyFail()
    {
        ConsoleFixture f;
        f.w->Timer2.setEnabled(true);
        f.reply("SR123456789");   // 9 characters
        f.reply("PR123456");      // 6 characters
        f.reply("AR0009798");     // 7 characters
        f.reply("BA0");           // no mode
        f.reply("X");             // no second code character
        settle(f);
        QCOMPARE(f.w->txtSerialRead->text(), QStringLiteral("00000000000"));
        QVERIFY(!f.w->Timer2.Enabled() && f.w->Timer1.Enabled());
        QCOMPARE(f.w->txtPass1Read->text(), QStringLiteral("1234"));
        QCOMPARE(f.w->txtPass2Read->text(), QStringLiteral("0000"));
        QCOMPARE(f.w->txtAccelRead->text(), QString());
        QCOMPARE(f.log(), (QStringList{"USER PASSWORD => READ OK", "USER PASSWORD =>   USER1 : 34562222"}));
        QCOMPARE(f.errors.size(), 5);
        for (const QString &e : f.errors)
            QVERIFY2(e.startsWith("All_Data_Received_Analysys : (error 9)  "), qPrintable(e));

        // A serial number that cannot be scrambled: shown, not logged.
        f.errors.clear();
        f.reply("SR" + QByteArray(11, char(0xFE)));
        settle(f);
        QCOMPARE(f.w->txtSerialRead->text(), QString(11, QChar(0xFE)));
        QCOMPARE(f.errors, QStringList{"All_Data_Received_Analysys : (error 5)  Invalid procedure call or argument"});
    }

    void liveWeight_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("scale");
        QTest::newRow("negative") << QByteArray("12345,01234-") << "12345" << "-12.34";
        QTest::newRow("minus zero") << QByteArray("00042 00000-") << "42" << "0.00";
        QTest::newRow("positive") << QByteArray("00123x00100+") << "123" << "1.00";
        QTest::newRow("other sign character") << QByteArray("00000,99999*") << "0" << "999.99";
        QTest::newRow("longer payload") << QByteArray("00007,00005-extra") << "7" << "-0.05";
    }
    void liveWeight()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, value);
        QFETCH(QString, scale);
        for (bool pounds : {true, false}) {
            ConsoleFixture f;
            f.w->fraMain->hide();
            f.w->fraData->show();
            gbIsLb = pounds;
            f.w->Timer2.setEnabled(true);
            f.reply("WC" + payload);
            QTRY_COMPARE(f.w->lblScale->text(), scale);
            QCOMPARE(f.w->lblValue->text(), value);
            QVERIFY(f.w->Timer2.Enabled()); // no timer is touched
            QCOMPARE(f.log(), QStringList{});
            QCOMPARE(f.frames(), L{});
        }
    }

    void brokenWeightReports()
    {
        ConsoleFixture f;
        f.w->fraMain->hide();
        f.w->fraData->show();
        f.reply("WC12345,01234");  // 11 characters: no sign
        settle(f);
        QCOMPARE(f.w->lblValue->text(), QString());
        QCOMPARE(f.w->lblScale->text(), QString());
        f.reply("WC00042,0x234-"); // weight digits that are no number
        settle(f);
        QCOMPARE(f.w->lblValue->text(), QStringLiteral("42"));
        QCOMPARE(f.w->lblScale->text(), QString());
        QCOMPARE(f.errors.size(), 2);
        QVERIFY(f.errors[1].startsWith("All_Data_Received_Analysys : (error 13)  "));
    }

    void weightReportOnTheLoginPanelLeaves()
    {
        ConsoleFixture f;
        f.reply("WC00100,00000+");
        L sent;
        QTRY_VERIFY(!(sent += f.frames(20)).isEmpty());
        QCOMPARE(sent, L{"BG0E"});
        QCOMPARE(gnResendCmd, std::int16_t(14));
        QVERIFY(f.w->Timer4.Enabled());
        QCOMPARE(f.log(), QStringList{"LOGIN FORM => OPEN"});
        f.reply("BG");
        QTRY_VERIFY(!f.w->Timer4.Enabled());
        QCOMPARE(gnResendCmd, std::int16_t(99));
        QVERIFY(gbCalibReplied);
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
            QCOMPARE(f.w->HeightTwips(), 6570);
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
        QCOMPARE(f.w->Label5->text(), QStringLiteral("[kg]"));
        QCOMPARE(f.w->cmd50Kg->text(), QStringLiteral("50 kg"));
        f.reply("SP");
        QTRY_COMPARE(f.w->cmdKgLb->text(), QStringLiteral("Kg Mode"));
        QVERIFY(gbIsLb);
        QCOMPARE(f.w->cmd100gDn->text(), QStringLiteral("0.22 lb Dn"));
        QCOMPARE(f.log(), (QStringList{"WEIGHT => KG MODE", "WEIGHT => LB MODE"}));
    }

    void ignoredReplies()
    {
        ConsoleFixture f;
        f.w->Timer2.setEnabled(true);
        for (const char *r : {"vi", "Vi", "ZZ123", "", "ac", "sp"})
            f.reply(r);
        settle(f);
        QVERIFY(f.w->Timer2.Enabled());
        QVERIFY(!f.w->Timer1.Enabled());
        QCOMPARE(f.log(), QStringList{});
        QCOMPARE(f.errors, QStringList{});
        QVERIFY(!gbLoginReplied && !gbUnitReplied);
    }

    void confirmedWritesAreReadBack_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("readCommand");
        QTest::addColumn<QByteArray>("readReply");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("serial") << QByteArray("SW") << QByteArray("SR00") << QByteArray("SR11122233344")
                                << QStringList{"USER SERIAL => WRITE OK", "USER SERIAL => READ SEND",
                                               "USER SERIAL => READ OK : 3334445556622222222222"};
        QTest::newRow("passwords") << QByteArray("PW") << QByteArray("PR00") << QByteArray("PR43218765")
                                   << QStringList{"USER PASSWORD => WRITE OK", "USER PASSWORD => READ SEND",
                                                  "USER PASSWORD => READ OK", "USER PASSWORD =>   USER1 : 65432222",
                                                  "USER PASSWORD =>   USER2 : :9872222"};
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

QTEST_MAIN(tst_Dispatcher)
#include "tst_dispatcher.moc"
