// Command texts to frames: tokens, checksum, error paths, and the bytes on a real line.
#include "CommControl.h"
#include "Frame.h"
#include "Pty.h"
#include "modCommon.h"

#include <QTest>

using namespace modCommon;
using testsupport::ProgramFolder;
using testsupport::Pty;

class tst_Frames : public QObject
{
    Q_OBJECT

    QStringList m_errors;

private slots:
    void init()
    {
        m_errors.clear();
        setErrorLogObserverForTesting([this](const QString &l) { m_errors << l; });
    }
    void cleanup() { setErrorLogObserverForTesting(nullptr); }

    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("zero command") << "{02}BG00{03}" << "02 42 47 30 30 03";
        QTest::newRow("aliases") << "{STX}BG00{ETX}" << "02 42 47 30 30 03";
        QTest::newRow("lower-case alias is a token") << "{stx}" << "tx";
        QTest::newRow("last two of a long token") << "{ABC}" << "BC";
        QTest::newRow("short token padded") << "{7}" << "07";
        QTest::newRow("closing brace alone") << "}" << "00";
        QTest::newRow("empty token") << "A{}B" << "41 00 42";
        QTest::newRow("spaces everywhere") << "  { 0 2 } B G {0 3}  " << "02 42 47 03";
        QTest::newRow("token digits as written") << "{0a}" << "0a";
        QTest::newRow("unclosed token dropped") << "{02}A{12" << "02 41";
        QTest::newRow("escape and CR LF removed") << "A^[B\r\nC" << "41 42 43";
        QTest::newRow("empty") << "" << "00";
        QTest::newRow("spaces only") << "   " << "00";
        QTest::newRow("high characters") << QString("{02}") + QChar(0xE9) + QChar(0x20AC) << "02 E9 3F";
        QTest::newRow("login with user 2")
            << "{02}AC123456789011234{32}{03}"
            << "02 41 43 31 32 33 34 35 36 37 38 39 30 31 31 32 33 34 32 03";
    }
    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(QString, hex);
        QCOMPARE(fuPPAStrToHexStr(text), hex);
        QVERIFY(m_errors.isEmpty());
    }

    void nothingProducedIsTheErrorPath()
    {
        QCOMPARE(fuPPAStrToHexStr("{02"), QStringLiteral("00"));
        QCOMPARE(m_errors, QStringList{"fuPPAStrToHexStr : (error 5)  Invalid procedure call or argument"});
    }

    void checksum()
    {
        QCOMPARE(fuByteToHexStr(0x0A), QStringLiteral("0A"));
        QCOMPARE(fuByteToHexStr(0xFF), QStringLiteral("FF"));
        QCOMPARE(fuByteToHexStr(0), QStringLiteral("00"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 42 47 30 30 03"), QStringLiteral("EE"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 41 52 30 30 03"), QStringLiteral("F8"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function("FF FF 03"), QStringLiteral("01")); // plain sum mod 256
        QCOMPARE(Byte_Data_CheckSum_Function(QByteArray()), std::uint8_t(0));
        QCOMPARE(Byte_Data_CheckSum_Function(QByteArray(1000, char(0xFF))), std::uint8_t(0x18));
        QVERIFY(m_errors.isEmpty());
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 ZZ 03"), QStringLiteral("00"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 1FF"), QStringLiteral("00"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function(""), QStringLiteral("00"));
        QCOMPARE(m_errors.size(), 3);
        QVERIFY(m_errors[0].startsWith("fuHexStr_Data_CheckSum_Function : (error 13)  "));
        QVERIFY(m_errors[1].startsWith("fuHexStr_Data_CheckSum_Function : (error 6)  "));
    }

    void sendingOnAClosedPort()
    {
        platform::CommControl closed;
        QString text = "{02}BG00{03}";
        fuSendByteStrComData(closed, text);
        QCOMPARE(text, QStringLiteral("02 42 47 30 30 03 EE"));
        QVERIFY(m_errors.isEmpty());
    }

    void bytesOnTheLine()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 1));
        platform::CommControl comm;
        lf_StartMeasure(comm, 1);
        QVERIFY(comm.PortOpen());

        QString text = "{02}BG00{03}";
        fuSendByteStrComData(comm, text);
        QCOMPARE(pty.read(7), QByteArray::fromHex("0242473030" "03EE"));
        QCOMPARE(text, QStringLiteral("02 42 47 30 30 03 EE"));

        text = "{STX}AR00{ETX}";
        fuSendByteStrComData(comm, text);
        QCOMPARE(pty.read(7), QByteArray::fromHex("024152303003F8"));

        for (const char *empty : {"", "   ", "{02"}) {
            text = QString::fromLatin1(empty);
            fuSendByteStrComData(comm, text);
            QCOMPARE(pty.read(2), QByteArray(2, '\0'));
            QCOMPARE(text, QStringLiteral("00 00"));
        }
        QVERIFY(pty.drain(50).isEmpty());

        // A token that is not hexadecimal: nothing of that frame goes out.
        m_errors.clear();
        for (const char *bad : {"{02}BG{ZZ}{03}", "{stx}BG00{etx}"}) {
            text = QString::fromLatin1(bad);
            fuSendByteStrComData(comm, text);
        }
        QVERIFY(pty.drain(100).isEmpty());
        QCOMPARE(m_errors.size(), 4); // checksum and send, for each
        QVERIFY(m_errors[1].startsWith("fuSendByteStrComData : (error 13)  "));
    }
};

QTEST_GUILESS_MAIN(tst_Frames)
#include "tst_frames.moc"
