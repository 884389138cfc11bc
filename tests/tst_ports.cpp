// The serial ports: the serial control and port opening against real pseudo-terminals, then the
// port scan window's search, connection test and choice over COM<n> links.
#include "CommControl.h"
#include "ConsoleFixture.h"
#include "MsgBox.h"
#include "PortNames.h"
#include "Pty.h"
#include "VbError.h"
#include "frmPortScan.h"
#include "modCommon.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include <termios.h>

using namespace modCommon;
using platform::CommControl;
using testsupport::ProgramFolder;
using testsupport::Pty;

namespace {

// Ports 1 to 17 of a program folder: the given ones linked to free pseudo-terminals, every
// other one linked to nothing (so no device of this machine shows through).
struct Ports
{
    Ports(const ProgramFolder &dir, std::initializer_list<int> live)
    {
        for (int n = 1; n <= 17; ++n) {
            if (std::find(live.begin(), live.end(), n) != live.end()) {
                ptys[n] = std::make_unique<Pty>();
                ptys[n]->linkAs(dir.path(), n);
            } else {
                QFile::link(dir.file("missing-device"), dir.file(QStringLiteral("COM%1").arg(n)));
            }
        }
    }
    std::unique_ptr<Pty> ptys[18];
};

QStringList rows(const frmPortScan &w, int column = 0)
{
    QStringList out;
    for (int i = 0; i < w.lstvPortScanResult->topLevelItemCount(); ++i)
        out << w.lstvPortScanResult->topLevelItem(i)->text(column);
    return out;
}

// After a successful test: the tested row yellow "Port Connect", every other row green "Possible".
void checkConnectedRow(const frmPortScan &w, int connected)
{
    for (int i = 0; i < w.lstvPortScanResult->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = w.lstvPortScanResult->topLevelItem(i);
        const QColor colour = i == connected ? platform::RGB(255, 255, 0) : platform::RGB(0, 255, 0);
        QCOMPARE(row->foreground(0).color(), colour);
        QCOMPARE(row->foreground(1).color(), colour);
        QCOMPARE(row->text(1), i == connected ? QStringLiteral("Port Connect") : QStringLiteral("Possible"));
    }
}

void doubleClickRow(frmPortScan &w, int row)
{
    w.lstvPortScanResult->setCurrentItem(w.lstvPortScanResult->topLevelItem(row));
    w.lstvPortScanResult_DblClick();
}

// Port n of a temporary program folder linked to a pseudo-terminal and opened as the console does.
struct LinkedPort
{
    explicit LinkedPort(int n = 1)
    {
        pty.linkAs(dir.path(), n);
        lf_StartMeasure(comm, std::int16_t(n));
    }
    ProgramFolder dir;
    Pty pty;
    CommControl comm;
};

} // namespace

class tst_Ports : public QObject
{
    Q_OBJECT

    static QByteArray takeAll(CommControl &comm)
    {
        QByteArray got;
        while (comm.InBufferCount() > 0)
            got += comm.Input();
        return got;
    }


    QList<platform::MsgBoxRequest> m_boxes;

private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r;
            return int(platform::vbOK);
        });
    }
    void init() { m_boxes.clear(); }

    void scanListsTheFreePorts()
    {
        ProgramFolder dir;
        Ports ports(dir, {1, 3, 4, 12, 16, 17});
        QSerialPort other(ports.ptys[3]->slavePath()); // another program holds port 3
        QVERIFY(other.open(QIODevice::ReadWrite));
        frmPortScan w;
        QVERIFY(!w.cmdApply->isEnabled());
        QCOMPARE(w.shpConnectMachine->FillColor(), platform::RGB(255, 0, 0));
        QTest::mouseClick(w.cmdSearch, Qt::LeftButton);
        QCOMPARE(rows(w), (QStringList{"Port Number :  1", "Port Number :  4", "Port Number :  12", "Port Number :  16"}));
        QCOMPARE(rows(w, 1), (QStringList{"Possible", "Possible", "Possible", "Possible"}));
        QVERIFY(w.cmdApply->isEnabled());
        QVERIFY(!w.cmdSearch->isEnabled()); // once a window
        QCOMPARE(w.lstvPortScanResult->currentItem(), w.lstvPortScanResult->topLevelItem(0));
        QVERIFY(w.lstvPortScanResult->topLevelItem(2)->toolTip(0).contains(ports.ptys[12]->slavePath()));
        QVERIFY(m_boxes.isEmpty());
        // The probe kept nothing open: the ports open normally afterwards.
        QSerialPort again(ports.ptys[4]->slavePath());
        QVERIFY(again.open(QIODevice::ReadWrite));
    }

    // Apply and double-click with no row to act on: none listed, or none selected (Ctrl+click).
    void nothingToActOn()
    {
        ProgramFolder dir;
        Ports ports(dir, {4});
        QFile::remove(dir.file("COM4"));
        frmPortScan empty;
        empty.cmdSearch_Click();
        QCOMPARE(empty.lstvPortScanResult->topLevelItemCount(), 0);
        QVERIFY(!empty.cmdApply->isEnabled() && !empty.cmdSearch->isEnabled());
        empty.cmdApply_Click();
        ports.ptys[4]->linkAs(dir.path(), 4);
        frmPortScan w;
        w.cmdSearch_Click();
        w.lstvPortScanResult->clearSelection();
        w.lstvPortScanResult_DblClick();
        w.cmdApply_Click();
        QVERIFY(!w.comConnectMachine.PortOpen());
        QVERIFY(!QFile::exists(settingsPath()));
        QCOMPARE(rows(w, 1), QStringList{"Possible"});
        QVERIFY(m_boxes.isEmpty());
    }

    void testingPortsOneAfterAnother()
    {
        ProgramFolder dir;
        Ports ports(dir, {3, 12});
        gnComPortNo = 1;
        frmPortScan w;
        w.cmdSearch_Click();
        doubleClickRow(w, 0);
        QCOMPARE(w.lblSelectPortNumber->text(), QStringLiteral("Port 3  Connect"));
        QCOMPARE(w.shpConnectMachine->FillColor(), platform::RGB(0, 255, 0));
        QVERIFY(w.comConnectMachine.PortOpen());
        QCOMPARE(w.comConnectMachine.InputLen(), 1024);
        checkConnectedRow(w, 0);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("3"));
        QCOMPARE(gnComPortNo, std::int16_t(3));
        const QString port3 = w.comConnectMachine.deviceName();

        doubleClickRow(w, 1);
        QCOMPARE(w.lblSelectPortNumber->text(), QStringLiteral("Port 12  Connect"));
        checkConnectedRow(w, 1);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("12"));
        QCOMPARE(gnComPortNo, std::int16_t(12));
        QSerialPort freed(port3); // port 3 was closed before port 12 opened
        QVERIFY(freed.open(QIODevice::ReadWrite));
        QVERIFY(m_boxes.isEmpty());
    }

    void failedTests()
    {
        ProgramFolder dir;
        Ports ports(dir, {2});
        gnComPortNo = 7;
        frmPortScan w;
        w.cmdSearch_Click();
        // Port 2 is taken by another program after the scan: the error is shown.
        QSerialPort other(ports.ptys[2]->slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        doubleClickRow(w, 0);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].prompt, QStringLiteral("Error Code : 8005\r\n\r\nError Description :Port already open "
                                                   "by another program (process %1)").arg(QCoreApplication::applicationPid()));
        QCOMPARE(m_boxes[0].style, platform::vbOKOnly | platform::vbCritical);
        QCOMPARE(w.shpConnectMachine->FillColor(), platform::RGB(255, 0, 0));
        QCOMPARE(w.lblSelectPortNumber->text(), QString());
        QVERIFY(!QFile::exists(settingsPath()));
        QCOMPARE(gnComPortNo, std::int16_t(7));

    }

    // A port this user may not open is not listed; the window says why and what to do, and a
    // connection test names the cause. Run as a user who is not root (tests/as_user.sh).
    void portDeniedToThisUser()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not bind root");
        ProgramFolder dir;
        Ports ports(dir, {3, 4});
        QVERIFY(QFile::setPermissions(ports.ptys[3]->slavePath(), {}));
        frmPortScan w;
        QVERIFY(w.permissionNote->isHidden());
        w.cmdSearch_Click();
        QCOMPARE(rows(w), QStringList{"Port Number :  4"});
        QVERIFY(!w.permissionNote->isHidden());
        QVERIFY(w.permissionNote->text().startsWith("1 serial port(s) exist that this user may not open"));
        QVERIFY(w.permissionNote->text().contains("dialout group"));
        QVERIFY(!w.Machine_Connection_State_Test_Serial_Port_Setting(3));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].prompt.startsWith("Error Code : 8010\r\n\r\nError Description :Permission denied for "),
                 qPrintable(m_boxes[0].prompt));
        QVERIFY(m_boxes[0].prompt.endsWith("log in again."));
    }

    void applyAndClose()
    {
        ProgramFolder dir;
        Ports ports(dir, {6});
        QString device;
        {
            frmPortScan w;
            w.cmdSearch_Click();
            doubleClickRow(w, 0);
            device = w.comConnectMachine.deviceName();
            w.cmdApply_Click(); // tested again (closed and re-opened) and stored again
            QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("6"));
            QVERIFY(!w.comConnectMachine.PortOpen()); // released with the window
        }
        {
            frmPortScan w;
            w.cmdSearch_Click();
            doubleClickRow(w, 0);
            QTest::mouseClick(w.cmdClose, Qt::LeftButton);
            QVERIFY(!w.comConnectMachine.PortOpen());
        }
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("6"));
        QSerialPort free(device);
        QVERIFY(free.open(QIODevice::ReadWrite));
    }

    void choosingThePortFromTheMainWindow()
    {
        testsupport::ConsoleFixture f; // its port 1 is linked and open
        auto ptyFour = std::make_unique<Pty>();
        ptyFour->linkAs(f.dir.path(), 4);
        QVERIFY(f.w->MSComm.PortOpen());
        bool closedWhileShown = false;
        QTimer::singleShot(0, [&] {
            auto *scan = qobject_cast<frmPortScan *>(QApplication::activeModalWidget());
            QVERIFY(scan);
            closedWhileShown = !f.w->MSComm.PortOpen();
            scan->cmdSearch_Click();
            const QStringList found = rows(*scan);
            doubleClickRow(*scan, int(found.indexOf("Port Number :  4")));
            scan->cmdClose_Click();
        });
        f.w->cmdCom_Click();
        QVERIFY(closedWhileShown);
        QVERIFY(f.w->MSComm.PortOpen());
        QCOMPARE(f.w->MSComm.deviceName(), QFileInfo(ptyFour->slavePath()).canonicalFilePath());
        QCOMPARE(f.log(), QStringList{"COM CONNECT => PORT NO : 4"});

        // Nothing chosen, port closed before: opened again on the same number, logged all the same.
        f.w->MSComm.setPortOpen(false);
        QTimer::singleShot(0, [] { qobject_cast<frmPortScan *>(QApplication::activeModalWidget())->cmdClose_Click(); });
        f.w->cmdCom_Click();
        QVERIFY(f.w->MSComm.PortOpen());
        QCOMPARE(f.log(), (QStringList{"COM CONNECT => PORT NO : 4", "COM CONNECT => PORT NO : 4"}));
    }

    void opensLinkedPortWithLineSettings()
    {
        LinkedPort p;
        // The line starts in other settings, so each check sees what the opening did.
        const auto spoilThenOpen = [&] {
            termios tio{};
            tcgetattr(p.pty.masterFd(), &tio);
            cfsetspeed(&tio, B9600);
            tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
            tcsetattr(p.pty.masterFd(), TCSANOW, &tio);
            lf_StartMeasure(p.comm, 1);
            QVERIFY(p.comm.PortOpen());
            QCOMPARE(tcgetattr(p.pty.masterFd(), &tio), 0);
            QCOMPARE(cfgetospeed(&tio), speed_t(B38400));
            QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
            QCOMPARE(tio.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        };
        spoilThenOpen();
        QCOMPARE(p.comm.deviceName(), QFileInfo(p.pty.slavePath()).canonicalFilePath());
        QCOMPARE(p.comm.InBufferSize(), 2048);
        spoilThenOpen(); // again with the same number: the same port, set up afresh
    }

    // Every byte value both ways, one byte a read, a bounded receive buffer that loses nothing,
    // and what waited before an opening discarded by it.
    void bytesPassUnchanged()
    {
        LinkedPort p;
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        p.comm.Output(all);
        QCOMPARE(p.pty.read(256), all);
        const QByteArray big = all.repeated(32);
        p.pty.write(big.left(4000));
        QTRY_VERIFY(p.comm.InBufferCount() > 0);
        QVERIFY2(p.comm.InBufferCount() <= 2048, qPrintable(QString::number(p.comm.InBufferCount())));
        QCOMPARE(p.comm.Input().size(), 1);
        p.pty.write(big.mid(4000));
        QByteArray got = big.left(1);
        QTRY_VERIFY((got += takeAll(p.comm)).size() >= big.size());
        QCOMPARE(got, big);
        QCOMPARE(p.comm.CommEvent(), CommControl::comEvReceive);

        p.pty.write("stale");
        QTRY_COMPARE(p.comm.InBufferCount(), 5);
        lf_StartMeasure(p.comm, 1);
        QCOMPARE(p.comm.InBufferCount(), 0);
        p.pty.write("new");
        QByteArray fresh;
        QTRY_COMPARE((fresh += takeAll(p.comm)), QByteArray("new"));
    }

    void portsThatNameNoDeviceStayClosed()
    {
        ProgramFolder dir;
        QVERIFY(QFile::link(dir.file("nothing-here"), dir.file("COM5")));
        QStringList errors;
        setErrorLogObserverForTesting([&](const QString &l) { errors << l; });
        CommControl comm;
        for (int number : {0, -3, 17, 5}) // none, none, beyond the table without a link, dangling link
            lf_StartMeasure(comm, std::int16_t(number));
        setErrorLogObserverForTesting(nullptr);
        QVERIFY(!comm.PortOpen());
        QCOMPARE(errors.size(), 4);
        for (const QString &e : std::as_const(errors))
            QVERIFY2(e.startsWith("lf_StartMeasure : (error 8002)  "), qPrintable(e));
        QVERIFY_THROWS_EXCEPTION(platform::VbError, comm.Output("x"));
    }

    void portHeldByAnotherProgramIsRefused()
    {
        LinkedPort p(3);
        QVERIFY(p.pty.linkAs(p.dir.path(), 4)); // a second name of the same device
        p.comm.setPortOpen(false);
        // The other holder opened the device by its own path: the lock must still be shared.
        QSerialPort other(p.pty.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        p.comm.setCommPort(4);
        try {
            p.comm.setPortOpen(true);
            QFAIL("opened a port that another program holds");
        } catch (const platform::VbError &e) {
            QCOMPARE(e.Number, platform::err::PortAlreadyOpen);
        }
        other.close();
        p.comm.setPortOpen(true);
        QVERIFY_THROWS_EXCEPTION(platform::VbError, p.comm.setCommPort(3)); // 8000 while open
    }

    void nestedWaitInsideHandlerStillReceives()
    {
        // A handler that waits in a nested event loop is entered again for bytes that arrive
        // meanwhile, and the outer call then finds them taken.
        LinkedPort p;
        QByteArray order;
        int depth = 0, deepest = 0;
        connect(&p.comm, &CommControl::OnComm, this, [&] {
            deepest = qMax(deepest, ++depth);
            while (p.comm.InBufferCount() > 0) {
                const QByteArray b = p.comm.Input();
                order += b;
                if (b == "A") {
                    p.pty.write("BC");
                    QEventLoop loop;
                    QTimer::singleShot(300, &loop, &QEventLoop::quit);
                    loop.exec();
                }
            }
            --depth;
        });
        p.pty.write("A");
        QTRY_COMPARE(order, QByteArray("ABC"));
        QCOMPARE(deepest, 2);
    }

    void streamReadInRestsArrivesWhole()
    {
        // A line that keeps sending is read in rests; nothing is lost or reordered across them.
        LinkedPort p;
        QByteArray sent, got;
        connect(&p.comm, &CommControl::OnComm, this, [&] { got += takeAll(p.comm); });
        QTimer writer;
        connect(&writer, &QTimer::timeout, this, [&] {
            const QByteArray frame = QByteArray::number(sent.count(';')) + ';';
            sent += frame;
            p.pty.write(frame);
        });
        writer.start(1);
        QTRY_VERIFY(sent.count(';') >= 300);
        writer.stop();
        QTRY_COMPARE(got, sent);
    }

    void vanishingFarEndClosesThePort()
    {
        ProgramFolder dir;
        auto pty = std::make_unique<Pty>();
        QVERIFY(pty->linkAs(dir.path(), 1));
        CommControl comm;
        lf_StartMeasure(comm, 1);
        QSignalSpy onComm(&comm, &CommControl::OnComm);
        pty.reset(); // both sides of the pair go away
        QTRY_VERIFY(!comm.PortOpen());
        QCOMPARE(onComm.size(), 1); // raised as the port closes, once
        QCOMPARE(comm.CommEvent(), CommControl::deviceLostEvent);
        QVERIFY_THROWS_EXCEPTION(platform::VbError, comm.Output("late"));
    }

    void defaultPortTable()
    {
        ProgramFolder dir;
#ifdef Q_OS_LINUX
        QCOMPARE(platform::portDeviceName(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(platform::portDeviceName(8), QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(platform::portDeviceName(9), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(platform::portDeviceName(13), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(platform::portDeviceName(16), QStringLiteral("/dev/ttyS3"));
#endif
        QCOMPARE(platform::portDeviceName(17), QString());
        dir.write(QStringLiteral("COM17"), "");
        QCOMPARE(platform::portDeviceName(17), dir.file(QStringLiteral("COM17")));
    }
};

QTEST_MAIN(tst_Ports)
#include "tst_ports.moc"
