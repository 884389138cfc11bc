// The protocol without a window: command texts to frames and checksums, reply reception byte by
// byte, and the decoding of a reply into the values the window shows.
#include "CommControl.h"
#include "Frame.h"
#include "Numbers.h"
#include "Pty.h"
#include "Reception.h"
#include "Reply.h"
#include "modCommon.h"

#include <QLocale>
#include <QTest>

using namespace modCommon;
using replies::ReceptionState;
using replies::ReplyCode;
using testsupport::ProgramFolder;
using testsupport::Pty;
using L = QList<QByteArray>;

namespace {

// Feeds one receive event's bytes the way the window does: a bad frame ends the event and the
// bytes after it wait. Returns the frames handed on, as code+payload.
L receive(ReceptionState &s, const QByteArray &bytes, QByteArray *left = nullptr)
{
    L frames;
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

replies::DecodedReply decode(const QByteArray &frame)
{
    ReceptionState s;
    for (char c : frame)
        s.feed(quint8(c));
    return replies::decodeReply(s.RecvBuf.data(), replies::kRecvBufSize, s.RecvCnt);
}

} // namespace

class tst_Protocol : public QObject
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
        QTest::newRow("unclosed token dropped") << "{02}A{12" << "02 41";
        QTest::newRow("escape and CR LF removed") << "A^[B\r\nC" << "41 42 43";
        QTest::newRow("spaces only") << "   " << "00";
        QTest::newRow("other white space is kept") << "\t{02}\n" << "09 02 0A";
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

    void checksumAndItsErrors()
    {
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 41 52 30 30 03"), QStringLiteral("F8"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function("FF FF 03"), QStringLiteral("01")); // plain sum mod 256
        QCOMPARE(Byte_Data_CheckSum_Function(QByteArray(1000, char(0xFF))), std::uint8_t(0x18));
        QVERIFY(m_errors.isEmpty());
        QCOMPARE(fuPPAStrToHexStr("{02"), QStringLiteral("00")); // nothing produced
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 ZZ 03"), QStringLiteral("00"));
        QCOMPARE(fuHexStr_Data_CheckSum_Function("02 1FF"), QStringLiteral("00"));
        QCOMPARE(m_errors, (QStringList{"fuPPAStrToHexStr : (error 5)  Invalid procedure call or argument",
                                        "fuHexStr_Data_CheckSum_Function : (error 13)  Type mismatch",
                                        "fuHexStr_Data_CheckSum_Function : (error 6)  Overflow"}));
    }

    void bytesOnTheLine()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 1));
        platform::CommControl comm;
        QString text = "{02}BG00{03}";
        fuSendByteStrComData(comm, text); // closed: converted, not sent, no error
        QCOMPARE(text, QStringLiteral("02 42 47 30 30 03 EE"));
        lf_StartMeasure(comm, 1);
        QVERIFY(comm.PortOpen());

        text = "{STX}AR00{ETX}";
        fuSendByteStrComData(comm, text);
        QCOMPARE(pty.read(7), QByteArray::fromHex("024152303003F8"));
        QVERIFY(m_errors.isEmpty());

        // A token that is not hexadecimal: nothing of that frame goes out.
        text = "{02}BG{ZZ}{03}";
        fuSendByteStrComData(comm, text);
        QVERIFY(pty.drain(100).isEmpty());
        QCOMPARE(m_errors.size(), 2); // checksum and send
        QVERIFY(m_errors[1].startsWith("fuSendByteStrComData : (error 13)  "));
    }

    void reception_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<L>("expected");
        const QByteArray bg = QByteArray::fromHex("024247303003EE");
        QByteArray all;
        for (int b = 4; b < 256; ++b)
            all += char(b);
        QTest::newRow("one frame") << bg << L{"BG00"};
        QTest::newRow("noise before") << "\x03\x10zz\x03" + bg << L{"BG00"};
        QTest::newRow("start byte inside a frame") << "\x02XY12" + bg << L{"BG00"};
        QTest::newRow("03 as checksum") << makeFrame("AA|") << L{"AA|"};
        QTest::newRow("two, noise between") << makeFrame("AC") + "..\x01" + makeFrame("BG") << L{"AC", "BG"};
        QTest::newRow("empty frame") << makeFrame("") << L{""};
        QTest::newRow("all byte values in a payload") << makeFrame("WC" + all) << L{"WC" + all};
    }
    void reception()
    {
        QFETCH(QByteArray, stream);
        QFETCH(L, expected);
        ReceptionState s;
        QCOMPARE(receive(s, stream), expected);
        QVERIFY(!s.RecvStx && !s.RecvEtx);
        ReceptionState t; // byte by byte in separate events gives the same
        L got;
        for (char c : stream)
            got += receive(t, QByteArray(1, c));
        QCOMPARE(got, expected);
    }

    void badChecksumAndOverrun()
    {
        ReceptionState s;
        QByteArray left;
        QCOMPARE(receive(s, QByteArray::fromHex("024247303003EF") + makeFrame("AC"), &left), L{});
        QCOMPARE(left, makeFrame("AC")); // waits for the next receive event
        QCOMPARE(receive(s, left), L{"AC"});

        // The largest frame that fits has its checksum on index 15000; one byte more is dropped.
        QCOMPARE(receive(s, makeFrame("WC" + QByteArray(replies::kRecvBufSize - 5, 'a'))).size(), 1);
        QCOMPARE(s.RecvCnt, replies::kRecvBufSize - 1);
        QCOMPARE(receive(s, makeFrame("WC" + QByteArray(replies::kRecvBufSize - 4, 'a'))), L{});
        // Far too long, with a checksum that would match the bytes that were stored.
        QCOMPARE(receive(s, '\x02' + QByteArray(40000, 'b') + '\x03' + char(0)), L{});
        QCOMPARE(receive(s, makeFrame("BG")), L{"BG"});

        // Endless noise without a start byte: RecvCnt stops at the buffer's size, the sum wraps.
        ReceptionState n;
        QCOMPARE(receive(n, QByteArray(100000, char(0xFF))), L{});
        QCOMPARE(n.RecvCnt, replies::kRecvBufSize);
        QCOMPARE(receive(n, makeFrame("SP")), L{"SP"});
    }

    // What rounds to zero shows without a sign; the decimal separator is the locale's.
    void numberTexts()
    {
        QCOMPARE(formatFixed(-0.004, 2), QStringLiteral("0.00"));
        QCOMPARE(formatFixed(-0.00004, 4), QStringLiteral("0.0000"));
        QCOMPARE(formatFixed(-0.05, 2), QStringLiteral("-0.05"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(formatFixed(1234.5, 2), QStringLiteral("1234,50"));
        QCOMPARE(typedNumberValue(u" 9,8 "), std::optional<double>(9.8));
        QCOMPARE(typedNumberValue(u"9.8"), std::optional<double>(9.8));
        QCOMPARE(numberValue(u"9,8"), std::nullopt); // what comes from the line never follows the locale
        QLocale::setDefault(QLocale::c());
        QCOMPARE(typedNumberValue(u"9,8"), std::nullopt);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<ReplyCode>("code");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("failure"); // 0: none
        using C = ReplyCode;
        QTest::newRow("SR") << QByteArray("SR12345678901") << C::SR << QStringList{"12345678901"} << 0;
        QTest::newRow("SR of 9") << QByteArray("SR123456789") << C::SR << QStringList{} << 9;
        QTest::newRow("PR") << QByteArray("PR43218765") << C::PR << QStringList{"4321", "8765"} << 0;
        QTest::newRow("PR of 6") << QByteArray("PR123456") << C::PR << QStringList{"1234"} << 9;
        QTest::newRow("AR") << QByteArray("AR00097982") << C::AR << QStringList{"9.7982"} << 0;
        QTest::newRow("AR zero") << QByteArray("ARxx000000") << C::AR << QStringList{"0.0000"} << 0;
        QTest::newRow("AR of 7") << QByteArray("AR0009798") << C::AR << QStringList{} << 9;
        QTest::newRow("AR letters") << QByteArray("AR0009x982") << C::AR << QStringList{} << 13;
        QTest::newRow("WC negative") << QByteArray("WC12345,01234-") << C::WC << QStringList{"12345", "-12.34"} << 0;
        QTest::newRow("WC minus zero") << QByteArray("WC00042 00000-") << C::WC << QStringList{"42", "0.00"} << 0;
        QTest::newRow("WC other sign") << QByteArray("WC00000,99999*") << C::WC << QStringList{"0", "999.99"} << 0;
        QTest::newRow("WC longer") << QByteArray("WC00007,00005-extra") << C::WC << QStringList{"7", "-0.05"} << 0;
        QTest::newRow("WC of 11") << QByteArray("WC12345,01234") << C::WC << QStringList{} << 9;
        QTest::newRow("WC weight no number") << QByteArray("WC00042,0x234-") << C::WC << QStringList{"42"} << 13;
        QTest::newRow("WC digital no number") << QByteArray("WC0004x,00234-") << C::WC << QStringList{} << 13;
        QTest::newRow("BA") << QByteArray("BA001") << C::BA << QStringList{"01"} << 0;
        QTest::newRow("BA short") << QByteArray("BA0") << C::BA << QStringList{} << 9;
        QTest::newRow("VI with payload") << QByteArray("VI123") << C::VI << QStringList{} << 0;
        QTest::newRow("SK") << QByteArray("SK") << C::SK << QStringList{} << 0;
        QTest::newRow("lower case") << QByteArray("vi") << C::Ignored << QStringList{} << 0;
        QTest::newRow("unknown") << QByteArray("ZZ123") << C::Ignored << QStringList{} << 0;
        QTest::newRow("empty") << QByteArray() << C::Ignored << QStringList{} << 0;
        QTest::newRow("one code character") << QByteArray("X") << C::Ignored << QStringList{} << 9;
    }
    void decoding()
    {
        QFETCH(QByteArray, reply);
        QFETCH(ReplyCode, code);
        QFETCH(QStringList, fields);
        QFETCH(int, failure);
        const replies::DecodedReply r = decode(makeFrame(reply));
        QCOMPARE(r.code, code);
        QCOMPARE(r.fields, fields);
        QCOMPARE(r.failure ? r.failure->Number : 0, failure);
    }
};

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
