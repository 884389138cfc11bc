// Port selection: scan, connection test and choice, with COM<n> links to pseudo-terminals.
#include "ConsoleFixture.h"
#include "MsgBox.h"
#include "Pty.h"
#include "frmPortScan.h"
#include "modCommon.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

using namespace modCommon;
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

} // namespace

class tst_PortScan : public QObject
{
    Q_OBJECT

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
        Ports ports(dir, {1, 3, 4, 12, 17});
        QSerialPort other(ports.ptys[3]->slavePath()); // another program holds port 3
        QVERIFY(other.open(QIODevice::ReadWrite));
        frmPortScan w;
        QVERIFY(!w.cmdApply->isEnabled());
        QCOMPARE(w.shpConnectMachine->FillColor(), platform::RGB(255, 0, 0));
        QCOMPARE(w.lstvPortScanResult->headerItem()->text(1), QStringLiteral("Port State"));
        QTest::mouseClick(w.cmdSearch, Qt::LeftButton);
        QCOMPARE(rows(w), (QStringList{"Port Number :  1", "Port Number :  4", "Port Number :  12"}));
        QCOMPARE(rows(w, 1), (QStringList{"Possible", "Possible", "Possible"}));
        QVERIFY(w.cmdApply->isEnabled());
        QVERIFY(!w.cmdSearch->isEnabled()); // once a window
        QCOMPARE(w.lstvPortScanResult->currentItem(), w.lstvPortScanResult->topLevelItem(0));
        QVERIFY(w.lstvPortScanResult->topLevelItem(2)->toolTip(0).contains(ports.ptys[12]->slavePath()));
        QVERIFY(m_boxes.isEmpty());
        // The probe kept nothing open: the ports open normally afterwards.
        QSerialPort again(ports.ptys[4]->slavePath());
        QVERIFY(again.open(QIODevice::ReadWrite));
    }

    void noPortsAtAll()
    {
        ProgramFolder dir;
        Ports ports(dir, {});
        frmPortScan w;
        w.cmdSearch_Click();
        QCOMPARE(w.lstvPortScanResult->topLevelItemCount(), 0);
        QVERIFY(!w.cmdApply->isEnabled() && !w.cmdSearch->isEnabled());
        w.lstvPortScanResult_DblClick(); // nothing to do, nothing fails
        w.cmdApply_Click();
        QVERIFY(m_boxes.isEmpty());
    }

    void rowsButNoneSelected()
    {
        ProgramFolder dir;
        Ports ports(dir, {4});
        frmPortScan w;
        w.cmdSearch_Click();
        QVERIFY(w.lstvPortScanResult->currentItem());
        w.lstvPortScanResult->clearSelection(); // as Ctrl+click on the selected row leaves it
        w.lstvPortScanResult_DblClick();
        w.cmdApply_Click();
        QVERIFY(!w.comConnectMachine.PortOpen());
        QVERIFY(!QFile::exists(SettingsPath()));
        QCOMPARE(w.lstvPortScanResult->topLevelItem(0)->text(1), QStringLiteral("Possible"));
    }

    void testingPortsOneAfterAnother()
    {
        ProgramFolder dir;
        Ports ports(dir, {3, 4});
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
        const QString port3 = w.comConnectMachine.DeviceName();

        doubleClickRow(w, 1);
        QCOMPARE(w.lblSelectPortNumber->text(), QStringLiteral("Port 4  Connect"));
        checkConnectedRow(w, 1);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("4"));
        QCOMPARE(gnComPortNo, std::int16_t(4));
        QSerialPort freed(port3); // port 3 was closed before port 4 opened
        QVERIFY(freed.open(QIODevice::ReadWrite));
        QVERIFY(m_boxes.isEmpty());
    }

    void failedTests()
    {
        ProgramFolder dir;
        Ports ports(dir, {2, 5});
        gnComPortNo = 7;
        frmPortScan w;
        w.cmdSearch_Click();
        // Port 2 is taken by another program after the scan: the error is shown.
        QSerialPort other(ports.ptys[2]->slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        doubleClickRow(w, 0);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].prompt.startsWith("Error Code : 8005\r\n\r\nError Description :Port already open"),
                 qPrintable(m_boxes[0].prompt));
        QCOMPARE(m_boxes[0].style, platform::vbOKOnly | platform::vbCritical);
        QCOMPARE(w.shpConnectMachine->FillColor(), platform::RGB(255, 0, 0));
        QCOMPARE(w.lblSelectPortNumber->text(), QString());
        QCOMPARE(rows(w, 1), (QStringList{"Possible", "Possible"}));
        QVERIFY(!QFile::exists(SettingsPath()));
        QCOMPARE(gnComPortNo, std::int16_t(7));

        // Port 5's device vanished: an invalid port number fails silently.
        ports.ptys[5].reset();
        doubleClickRow(w, 1);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(w.lblSelectPortNumber->text(), QString());
        QCOMPARE(gnComPortNo, std::int16_t(7));
    }

    void applyAndClose()
    {
        ProgramFolder dir;
        Ports ports(dir, {6});
        QSerialPort other(ports.ptys[6]->slavePath());
        {
            frmPortScan w;
            w.cmdSearch_Click();
            QVERIFY(other.open(QIODevice::ReadWrite));
            w.cmdApply_Click(); // the test fails again: nothing stored, the window goes anyway
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY(!QFile::exists(SettingsPath()));
            QCOMPARE(w.result(), int(QDialog::Accepted));
            other.close();
        }
        QString device;
        {
            frmPortScan w;
            w.cmdSearch_Click();
            doubleClickRow(w, 0);
            device = w.comConnectMachine.DeviceName();
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
        QCOMPARE(f.w->MSComm.DeviceName(), QFileInfo(ptyFour->slavePath()).canonicalFilePath());
        QCOMPARE(f.log(), QStringList{"COM CONNECT => PORT NO : 4"});

        // Nothing chosen, port closed before: opened again on the same number, logged all the same.
        f.w->MSComm.setPortOpen(false);
        QTimer::singleShot(0, [] { qobject_cast<frmPortScan *>(QApplication::activeModalWidget())->cmdClose_Click(); });
        f.w->cmdCom_Click();
        QVERIFY(f.w->MSComm.PortOpen());
        QCOMPARE(f.log(), (QStringList{"COM CONNECT => PORT NO : 4", "COM CONNECT => PORT NO : 4"}));
    }
};

QTEST_MAIN(tst_PortScan)
#include "tst_portscan.moc"
