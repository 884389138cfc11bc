// The serial control and port opening, against a real pseudo-terminal.
#include "CommControl.h"
#include "PortNames.h"
#include "Pty.h"
#include "VbError.h"
#include "modCommon.h"

#include <QEventLoop>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <termios.h>

using platform::CommControl;
using testsupport::ProgramFolder;
using testsupport::Pty;

class tst_Serial : public QObject
{
    Q_OBJECT

    static QByteArray takeAll(CommControl &comm)
    {
        QByteArray got;
        while (comm.InBufferCount() > 0)
            got += comm.Input();
        return got;
    }

    static std::int16_t port(int n) { return std::int16_t(n); }

private slots:
    void opensLinkedPortWithLineSettings()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.isValid());
        QVERIFY(pty.linkAs(dir.path(), 1));

        // The line starts in other settings, so each check sees what the opening did.
        const auto spoil = [&] {
            termios tio{};
            tcgetattr(pty.masterFd(), &tio);
            cfsetspeed(&tio, B9600);
            tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
            tcsetattr(pty.masterFd(), TCSANOW, &tio);
        };
        const auto verifyLine = [&] {
            termios tio{};
            QCOMPARE(tcgetattr(pty.masterFd(), &tio), 0);
            QCOMPARE(cfgetospeed(&tio), speed_t(B38400));
            QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
            QCOMPARE(tio.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        };
        spoil();
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(1));
        QVERIFY(comm.PortOpen());
        QCOMPARE(comm.DeviceName(), QFileInfo(pty.slavePath()).canonicalFilePath());
        QCOMPARE(comm.InputLen(), 1);
        QCOMPARE(comm.InBufferSize(), 2048);
        verifyLine();

        // Calling it again with the same number gives the same, open port, set up afresh.
        spoil();
        modCommon::lf_StartMeasure(comm, port(1));
        QVERIFY(comm.PortOpen());
        verifyLine();
    }

    void everyByteValuePassesBothWays()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 2));
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(2));
        QVERIFY(comm.PortOpen());

        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        comm.Output(all);
        QCOMPARE(pty.read(256), all);

        QSignalSpy onComm(&comm, &CommControl::OnComm);
        pty.write(all);
        QTRY_VERIFY(comm.InBufferCount() >= 256 || !onComm.isEmpty());
        QByteArray got;
        QTRY_VERIFY((got += takeAll(comm)).size() >= 256);
        QCOMPARE(got, all);
        QCOMPARE(comm.CommEvent(), CommControl::comEvReceive);
        // InputLen 1: one byte a read
        pty.write("xy");
        QTRY_COMPARE(comm.InBufferCount(), 2);
        QCOMPARE(comm.Input(), QByteArray("x"));
    }

    void bytesSentBeforeOpeningAreDiscarded()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 1));
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(1));
        pty.write("stale");
        QTRY_COMPARE(comm.InBufferCount(), 5);

        // Re-opening empties what waited, and the port works afterwards.
        modCommon::lf_StartMeasure(comm, port(1));
        QVERIFY(comm.PortOpen());
        QCOMPARE(comm.InBufferCount(), 0);
        QTest::qWait(50);
        QCOMPARE(comm.InBufferCount(), 0);
        pty.write("new");
        QTRY_COMPARE(comm.InBufferCount(), 3);
        QCOMPARE(takeAll(comm), QByteArray("new"));
    }

    void portsThatNameNoDeviceStayClosed_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("danglingLink");
        QTest::newRow("zero") << 0 << false;
        QTest::newRow("negative") << -3 << false;
        QTest::newRow("above 16 without a link") << 17 << false;
        QTest::newRow("link to a missing device") << 5 << true;
    }
    void portsThatNameNoDeviceStayClosed()
    {
        QFETCH(int, number);
        QFETCH(bool, danglingLink);
        ProgramFolder dir;
        if (danglingLink)
            QVERIFY(QFile::link(dir.file("nothing-here"), dir.file(QStringLiteral("COM%1").arg(number))));
        QStringList errors;
        modCommon::setErrorLogObserverForTesting([&](const QString &l) { errors << l; });
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(number));
        modCommon::setErrorLogObserverForTesting(nullptr);
        QVERIFY(!comm.PortOpen());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith("lf_StartMeasure : (error 8002)  "), qPrintable(errors[0]));
        QVERIFY_THROWS_EXCEPTION(platform::VbError, comm.Output("x"));
        QCOMPARE(comm.InBufferCount(), 0);
    }

    void portHeldByAnotherProgramIsRefused()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 3));
        QVERIFY(pty.linkAs(dir.path(), 4)); // a second name of the same device

        // The other holder opened the device by its own path: the lock must still be shared.
        QSerialPort other(pty.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));

        CommControl comm;
        comm.setCommPort(4);
        try {
            comm.setPortOpen(true);
            QFAIL("opened a port that another program holds");
        } catch (const platform::VbError &e) {
            QCOMPARE(e.Number, platform::err::PortAlreadyOpen);
        }
        QVERIFY(!comm.PortOpen());
        other.close();
        comm.setPortOpen(true);
        QVERIFY(comm.PortOpen());
        QVERIFY_THROWS_EXCEPTION(platform::VbError, comm.setCommPort(3)); // 8000 while open
    }

    void nestedWaitInsideHandlerStillReceives()
    {
        // A handler that waits in a nested event loop is entered again for bytes that arrive
        // meanwhile, and the outer call then finds them taken.
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 1));
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(1));

        QByteArray order;
        int depth = 0, deepest = 0;
        connect(&comm, &CommControl::OnComm, this, [&] {
            if (comm.CommEvent() != CommControl::comEvReceive)
                return;
            deepest = qMax(deepest, ++depth);
            while (comm.InBufferCount() > 0) {
                const QByteArray b = comm.Input();
                order += b;
                if (b == "A") {
                    pty.write("BC");
                    QEventLoop loop;
                    QTimer::singleShot(300, &loop, &QEventLoop::quit);
                    loop.exec();
                }
            }
            --depth;
        });
        pty.write("A");
        QTRY_COMPARE(order, QByteArray("ABC"));
        QCOMPARE(deepest, 2);
    }

    void receiveBufferIsBounded()
    {
        ProgramFolder dir;
        Pty pty;
        QVERIFY(pty.linkAs(dir.path(), 1));
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(1));
        QByteArray big(8000, 'w');
        pty.write(big.left(4000));
        QTest::qWait(200);
        QVERIFY2(comm.InBufferCount() <= 2048, qPrintable(QString::number(comm.InBufferCount())));
        pty.write(big.mid(4000));
        QByteArray got;
        QTRY_VERIFY((got += takeAll(comm)).size() >= 8000);
        QCOMPARE(got, big);
    }

    void vanishingFarEndClosesThePort()
    {
        ProgramFolder dir;
        auto pty = std::make_unique<Pty>();
        QVERIFY(pty->linkAs(dir.path(), 1));
        CommControl comm;
        modCommon::lf_StartMeasure(comm, port(1));
        QVERIFY(comm.PortOpen());
        QSignalSpy onComm(&comm, &CommControl::OnComm);
        pty.reset(); // both sides of the pair go away
        QTRY_VERIFY(!comm.PortOpen());
        QTest::qWait(100);
        QCOMPARE(onComm.size(), 1);
        QCOMPARE(comm.CommEvent(), CommControl::comEventDeviceLost);
        QVERIFY_THROWS_EXCEPTION(platform::VbError, comm.Output("late"));
    }

    void defaultPortTable()
    {
        ProgramFolder dir;
#ifdef Q_OS_LINUX
        QCOMPARE(platform::PortDeviceName(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(platform::PortDeviceName(8), QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(platform::PortDeviceName(9), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(platform::PortDeviceName(13), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(platform::PortDeviceName(16), QStringLiteral("/dev/ttyS3"));
#endif
        QCOMPARE(platform::PortDeviceName(17), QString());
        dir.write(QStringLiteral("COM17"), "");
        QCOMPARE(platform::PortDeviceName(17), dir.file(QStringLiteral("COM17")));
    }
};

QTEST_GUILESS_MAIN(tst_Serial)
#include "tst_serial.moc"
