// The virtual scale: its device model, then the program on a real pseudo-terminal.
#include "Frame.h"
#include "Pty.h"
#include "Reception.h"
#include "ScaleModel.h"
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QSerialPort>
#include <QTest>

using sim::ScaleModel;
using testsupport::ProgramFolder;
using testsupport::SimProcess;

namespace {

// The console's end of the line, speaking raw frames.
class Console
{
public:
    bool open(const QString &link)
    {
        m_port.setPortName(QFileInfo(link).canonicalFilePath());
        if (!m_port.open(QIODevice::ReadWrite))
            return false;
        m_port.setBaudRate(38400);
        return true;
    }
    void send(const QByteArray &codeAndPayload) { sendRaw(modCommon::fuMakeFrame(codeAndPayload)); }
    void sendRaw(const QByteArray &bytes)
    {
        m_port.write(bytes);
        m_port.waitForBytesWritten(1000);
    }
    // Bytes that come within timeoutMs, stopping early once `frames` good frames are complete.
    QByteArray read(int timeoutMs, int frames = 1 << 30)
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && m_frames.size() < frames) {
            if (m_port.bytesAvailable() || m_port.waitForReadyRead(10)) {
                const QByteArray more = m_port.readAll();
                got += more;
                for (char c : more)
                    if (m_recv.feed(quint8(c)) == replies::ReceptionState::Step::FrameGood)
                        m_frames << QByteArray(reinterpret_cast<const char *>(m_recv.RecvBuf.data()) + 1,
                                               m_recv.RecvCnt - 2);
            }
        }
        return got;
    }
    // The next good frame's code and payload, or "" when none comes within timeoutMs.
    QByteArray next(int timeoutMs = 2000)
    {
        read(timeoutMs, 1);
        return m_frames.isEmpty() ? QByteArray() : m_frames.takeFirst();
    }
    QSerialPort m_port;
    replies::ReceptionState m_recv;
    QList<QByteArray> m_frames;
};

const QByteArray kLogin1 = "AC" "00000000000" "0000" "1";

} // namespace

class tst_Sim : public QObject
{
    Q_OBJECT

private slots:
    void repliesOfTheModel_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("login user 1") << kLogin1 << QByteArray("AC");
        QTest::newRow("login user 2") << QByteArray("AC123456789019876" "2") << QByteArray("AC");
        QTest::newRow("wrong password") << QByteArray("AC000000000001111") << QByteArray();
        QTest::newRow("wrong serial") << QByteArray("AC000000000010000" "1") << QByteArray();
        QTest::newRow("user type 3") << QByteArray("AC000000000000000" "3") << QByteArray();
        QTest::newRow("login too short") << QByteArray("AC0000000000") << QByteArray();
        QTest::newRow("unknown BG") << QByteArray("BG0F") << QByteArray();
        QTest::newRow("gravity read") << QByteArray("AR00") << QByteArray("AR00097982");
        QTest::newRow("gravity write, letters") << QByteArray("AW0009800x") << QByteArray();
        QTest::newRow("serial write short") << QByteArray("SW1234") << QByteArray();
        QTest::newRow("unknown code") << QByteArray("ZZ00") << QByteArray();
        QTest::newRow("code only") << QByteArray("A") << QByteArray();
    }
    void repliesOfTheModel()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        sim::DeviceSettings s;
        if (command.startsWith("AC1234"))
            s.serial = "12345678901", s.password2 = "9876";
        ScaleModel model(1, s);
        QCOMPARE(model.handle(command).value_or(QByteArray()), reply);
    }

    void writesAreReadBack()
    {
        ScaleModel model;
        QCOMPARE(*model.handle("SW98765432100"), QByteArray("SW"));
        QCOMPARE(*model.handle("SR00"), QByteArray("SR98765432100"));
        QCOMPARE(*model.handle("PW12345678"), QByteArray("PW"));
        QCOMPARE(*model.handle("PR00"), QByteArray("PR12345678"));
        QVERIFY(!model.handle("AC" "98765432100" "0000" "1"));
        QCOMPARE(*model.handle("AC" "98765432100" "5678" "2"), QByteArray("AC"));
        QCOMPARE(*model.handle("AW00105000"), QByteArray("AW"));
        QCOMPARE(*model.handle("AR00"), QByteArray("AR00105000"));
        QCOMPARE(*model.handle("AD09"), QByteArray("VI"));
        QCOMPARE(*model.handle("SR00"), QByteArray("SR00000000000"));
    }

    void calibrationArithmetic()
    {
        ScaleModel model(7);
        model.handle("SK00");
        model.setLoadKg(50);
        QVERIFY(qAbs(model.shownWeight(false) - 50) > 0.5); // factory calibration is off
        model.setLoadKg(0);
        model.handle("BG01");
        model.setLoadKg(50);
        model.handle("BG02");
        for (int i = 0; i < 50; ++i) {
            const QByteArray wc = model.weightReport();
            QCOMPARE(wc.size(), 2 + 12);
            QCOMPARE(wc.at(7), ',');
            const double kg = wc.mid(8, 5).toInt() / 100.0 * (wc.at(13) == '-' ? -1 : 1);
            QVERIFY2(qAbs(kg - 50.0) <= 0.01, wc.constData()); // +-2 counts of 400 a kg
        }
        // Pounds, trims, zero
        model.handle("SP00");
        QVERIFY(qAbs(model.shownWeight(false) - 110.231) < 0.01);
        model.handle("SK00");
        model.handle("BG0B");
        model.handle("BG0D");
        QVERIFY(qAbs(model.shownWeight(false) - 50.11) < 1e-6);
        model.handle("BG0A");
        model.handle("BG0A");
        QVERIFY(qAbs(model.shownWeight(false) - 49.91) < 1e-6);
        model.setLoadKg(0);
        QVERIFY(model.weightReport().endsWith('-'));
        model.handle("BG00");
        QVERIFY(qAbs(model.shownWeight(false)) < 1e-6);
        QCOMPARE(model.setModeAtKeys(true), QByteArray("BA001"));
        QCOMPARE(model.setModeAtKeys(false), QByteArray("BA000"));
    }

    void programOnALine()
    {
        ProgramFolder dir;
        SimProcess scale;
        QVERIFY(scale.start(dir.path(), 3, {"--rate", "20", "--seed", "5", "--state", dir.file("scale.json")}));
        Console console;
        QVERIFY(console.open(dir.file("COM3")));

        // Byte for byte: the gravity read.
        console.send("AR00");
        QCOMPARE(console.read(2000, 1), modCommon::fuMakeFrame("AR00097982"));
        QCOMPARE(console.next(), QByteArray("AR00097982"));
        // Bad checksum and unknown codes: no reply.
        console.sendRaw(QByteArray::fromHex("024152303003F9"));
        console.send("XX00");
        QCOMPARE(console.read(300), QByteArray());
        QVERIFY(scale.waitForOutput("bad checksum, no reply"));

        // Reports only while logged in; the trace shows every frame decoded.
        console.send(kLogin1);
        QCOMPARE(console.next(), QByteArray("AC"));
        QByteArray wc = console.next();
        QVERIFY2(wc.startsWith("WC") && wc.size() == 14, wc.constData());
        QVERIFY(scale.waitForOutput("-> 02 57 43"));
        console.send("BG0E");
        console.read(300);
        console.m_frames.clear();
        console.read(300);
        QCOMPARE(console.m_frames, QList<QByteArray>{});

        // Commands on standard input: a load, a mode change at the keys.
        console.send("SW12312312312");
        QCOMPARE(console.next(), QByteArray("SW"));
        scale.command("mode auto");
        QCOMPARE(console.next(), QByteArray("BA001"));
        scale.stop();
        QVERIFY(!QFileInfo::exists(dir.file("COM3"))); // the link goes with it

        // The state file brings the serial number back.
        SimProcess again;
        QVERIFY(again.start(dir.path(), 3, {"--state", dir.file("scale.json")}));
        Console second;
        QVERIFY(second.open(dir.file("COM3")));
        second.send("SR00");
        QCOMPARE(second.next(), QByteArray("SR12312312312"));
    }

    void faultOptions()
    {
        ProgramFolder dir;
        {
            SimProcess scale;
            QVERIFY(scale.start(dir.path(), 1, {"--no-reply", "AC,BG09", "--quiet"}));
            Console console;
            QVERIFY(console.open(dir.file("COM1")));
            console.send(kLogin1);
            console.send("BG09");
            QCOMPARE(console.next(400), QByteArray());
            console.send("BG08");
            QCOMPARE(console.next(), QByteArray("BG"));
        }
        {
            SimProcess scale;
            QVERIFY(scale.start(dir.path(), 1, {"--delay", "400", "--quiet"}));
            Console console;
            QVERIFY(console.open(dir.file("COM1")));
            console.send("SP00");
            QCOMPARE(console.next(150), QByteArray()); // not yet
            QCOMPARE(console.next(3000), QByteArray("SP"));
        }
        {
            SimProcess scale;
            QVERIFY(scale.start(dir.path(), 1, {"--bad-checksum", "100", "--noise", "100", "--seed", "3"}));
            Console console;
            QVERIFY(console.open(dir.file("COM1")));
            console.send("SK00");
            const QByteArray bytes = console.read(500);
            QVERIFY(bytes.size() > 5);
            QVERIFY(!bytes.startsWith('\x02'));                         // noise first
            QVERIFY(bytes.contains(modCommon::fuMakeFrame("SK").chopped(1)));
            QCOMPARE(console.m_frames, QList<QByteArray>{});            // never a good frame
            QVERIFY(scale.waitForOutput("bad checksum (fault option), noise before"));
        }
    }

    void badOptions()
    {
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/vantor_sim", {"--serial", "123", "--dir", "/nonexistent"});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("11 characters"));
        p.start(QCoreApplication::applicationDirPath() + "/vantor_sim", {"--help"});
        QVERIFY(p.waitForFinished(5000));
        const QByteArray help = p.readAllStandardOutput();
        for (const char *option : {"--port", "--dir", "--device", "--rate", "--serial", "--password1", "--password2",
                                   "--load", "--state", "--no-reply", "--delay", "--bad-checksum", "--noise", "--seed"})
            QVERIFY2(help.contains(option), option);
    }
};

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
