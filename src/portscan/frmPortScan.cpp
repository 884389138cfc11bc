#include "frmPortScan.h"

#include "MsgBox.h"
#include "Numbers.h"
#include "PortNames.h"
#include "Program.h"
#include "VbError.h"
#include "Wait.h"
#include "modCommon.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>

using platform::RGB;

namespace {

const QColor kRed = RGB(255, 0, 0);
const QColor kGreen = RGB(0, 255, 0);
const QColor kYellow = RGB(255, 255, 0);

QLabel *label(QWidget *parent, const char *name, const QString &text, int l, int t, int w, int h)
{
    auto *lb = new QLabel(text, parent);
    lb->setObjectName(QLatin1String(name));
    lb->setFont(platform::vbFont(QStringLiteral("Times New Roman"), 9.75, true));
    platform::placeTw(lb, l, t, w, h);
    return lb;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int l)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    b->setAutoDefault(false);
    platform::placeTw(b, l, 3465, 1200, 435);
    return b;
}

} // namespace

frmPortScan::frmPortScan(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPortScan"));
    setWindowTitle(QStringLiteral("Port Scan"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    platform::setBackColor(this, RGB(175, 210, 231));
    resize(platform::tw(5385), platform::tw(4095));

    lblPortStatus = label(this, "lblPortStatus", QStringLiteral("Port Status : "), 120, 105, 1080, 225);
    shpConnectMachine = new platform::Shape(platform::Shape::Circle, this);
    shpConnectMachine->setObjectName(QStringLiteral("shpConnectMachine"));
    shpConnectMachine->setBorderColor(Qt::black);
    platform::placeTw(shpConnectMachine, 1380, 60, 285, 285);
    lblSelectPortNumber = label(this, "lblSelectPortNumber", QStringLiteral("Port "), 1785, 105, 405, 225);
    lblSelectPortNumber->adjustSize(); // sizes itself to its text

    lstvPortScanResult = new QTreeWidget(this);
    lstvPortScanResult->setObjectName(QStringLiteral("lstvPortScanResult"));
    lstvPortScanResult->setFont(platform::vbFont(QStringLiteral("Arial"), 9.75, true));
    lstvPortScanResult->setRootIsDecorated(false);
    lstvPortScanResult->setSelectionMode(QAbstractItemView::SingleSelection);
    platform::placeTw(lstvPortScanResult, 120, 435, 5145, 2835);

    permissionNote = new QLabel(this);
    permissionNote->setObjectName(QStringLiteral("permissionNote"));
    permissionNote->setWordWrap(true);
    permissionNote->setMargin(platform::tw(60));
    permissionNote->setFont(platform::vbFont(QStringLiteral("Arial"), 9, false));
    permissionNote->setAutoFillBackground(true);
    platform::setBackColor(permissionNote, RGB(255, 255, 192));
    platform::placeTw(permissionNote, 135, 2295, 5115, 960); // over the list's lower part
    permissionNote->hide();

    cmdSearch = button(this, "cmdSearch", QStringLiteral("Search"), 810);
    cmdApply = button(this, "cmdApply", QStringLiteral("Apply"), 2077);
    cmdClose = button(this, "cmdClose", QStringLiteral("Close"), 3330);
    comConnectMachine.setObjectName(QStringLiteral("comConnectMachine"));

    connect(cmdSearch, &QPushButton::clicked, this, &frmPortScan::cmdSearch_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmPortScan::cmdApply_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmPortScan::cmdClose_Click);
    connect(lstvPortScanResult, &QTreeWidget::itemDoubleClicked, this,
            &frmPortScan::lstvPortScanResult_DblClick);
    Form_Load();
}

frmPortScan::~frmPortScan() = default;

void frmPortScan::Form_Load()
{
    move(0, 0);
    lstvPortScanResult->setColumnCount(2);
    lstvPortScanResult->setHeaderLabels({QStringLiteral("Port Number"), QStringLiteral("Port State")});
    lstvPortScanResult->header()->resizeSection(0, platform::tw(2835));
    lstvPortScanResult->header()->resizeSection(1, platform::tw(2250));
    lstvPortScanResult->setSelectionBehavior(QAbstractItemView::SelectRows); // whole-row selection
    cmdApply->setEnabled(false);
    shpConnectMachine->setFillColor(kRed);
}

bool frmPortScan::COM_Available(const std::int16_t &intTempComport)
{
    return platform::portCanBeOpened(intTempComport);
}

void frmPortScan::cmdSearch_Click()
{
    lstvPortScanResult->clear();
    for (std::int16_t port = 1; port <= 16; ++port) {
        if (!COM_Available(port))
            continue;
        auto *row = new QTreeWidgetItem(lstvPortScanResult);
        row->setText(0, QStringLiteral("Port Number") + QStringLiteral(" : ") + QStringLiteral(" %1").arg(port));
        row->setText(1, QStringLiteral("Possible"));
        row->setToolTip(0, platform::portDescription(port));
        row->setToolTip(1, row->toolTip(0));
        cmdApply->setEnabled(true);
    }
    cmdSearch->setEnabled(false);
    if (const int denied = platform::portsDeniedToThisUser()) {
        permissionNote->setText(QStringLiteral("%1 serial port(s) exist that this user may not open. To use them, ")
                                   .arg(denied)
                               + platform::permissionRemedy());
        permissionNote->show();
    }
    // As a list view does, the first row starts selected, and the list takes the focus.
    if (lstvPortScanResult->topLevelItemCount() > 0)
        lstvPortScanResult->setCurrentItem(lstvPortScanResult->topLevelItem(0));
    lstvPortScanResult->setFocus();
}

void frmPortScan::lstvPortScanResult_DblClick()
{
    if (lstvPortScanResult->topLevelItemCount() == 0)
        return;
    // The current row counts only while it is selected (Ctrl+click clears the selection).
    QTreeWidgetItem *selected = lstvPortScanResult->currentItem();
    if (!selected || !selected->isSelected())
        return; // rows but none selected: nothing to test
    // The row's last two characters are the port number (" 3", "12").
    const auto number = modCommon::wholeNumber16(selected->text(0).right(2));
    intSelectPortNum = number.value_or(0);
    ConnectMachine_Close_Comport();
    if (intSelectPortNum < 1)
        return;
    if (!Machine_Connection_State_Test_Serial_Port_Setting(intSelectPortNum)) {
        lblSelectPortNumber->setText(QString());
        lblSelectPortNumber->adjustSize();
        return;
    }
    lblSelectPortNumber->setText(QStringLiteral("Port %1  Connect").replace(QLatin1String("%1"),
                                                                             QString::number(intSelectPortNum)));
    lblSelectPortNumber->adjustSize();
    for (int i = 0; i < lstvPortScanResult->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = lstvPortScanResult->topLevelItem(i);
        row->setForeground(0, kGreen);
        row->setForeground(1, kGreen);
        row->setText(1, QStringLiteral("Possible"));
    }
    selected->setText(1, QStringLiteral("Port Connect"));
    selected->setForeground(0, kYellow);
    selected->setForeground(1, kYellow);
    modCommon::SetString_ofINI(modCommon::kSection, QStringLiteral("Com_Port"), QString::number(intSelectPortNum));
    modCommon::gnComPortNo = intSelectPortNum;
    lstvPortScanResult->viewport()->update();
}

void frmPortScan::cmdApply_Click()
{
    lstvPortScanResult_DblClick();
    platform::Sleep(500);
    unload();
}

void frmPortScan::cmdClose_Click()
{
    unload();
}

void frmPortScan::ConnectMachine_Close_Comport()
{
    if (!comConnectMachine.PortOpen())
        return;
    comConnectMachine.setPortOpen(false);
    shpConnectMachine->setFillColor(kRed);
}

bool frmPortScan::Machine_Connection_State_Test_Serial_Port_Setting(const std::int16_t &intTempConnectMachinePortNum)
{
    bool result = false;
    bool failed = false;
    // Every step: an error other than 8002 is shown; the result is false and the next step runs.
    const auto step = [&](const std::function<void()> &action) {
        try {
            action();
        } catch (const platform::VbError &e) {
            if (e.Number != platform::err::InvalidPortNumber)
                platform::MsgBox(QStringLiteral("Error Code : ") + QString::number(e.Number)
                                     + QStringLiteral("\r\n\r\n") + QStringLiteral("Error Description :")
                                     + e.Description,
                                 platform::vbOKOnly | platform::vbCritical, platform::exeName());
            result = false;
            failed = true;
        }
    };
    platform::CommControl &c = comConnectMachine;
    if (!c.PortOpen()) {
        step([&] { c.setSettings(QStringLiteral("38400,N,8,1")); });
        step([&] { c.setDTREnable(true); });
        step([&] { c.setRTSEnable(true); });
        step([&] { c.setRThreshold(1); });
        step([&] { c.setSThreshold(1); });
        step([&] { c.setInBufferSize(2048); });
        step([&] { c.setOutBufferSize(2048); });
        step([&] { c.setInputMode(1); });
        step([&] { c.setInputLen(1024); });
        failed = false; // errors in the line properties do not fail the test by themselves
        step([&] { c.setCommPort(intTempConnectMachinePortNum); });
        if (!failed)
            step([&] { c.setPortOpen(true); });
    }
    if (!failed)
        result = true;
    shpConnectMachine->setFillColor(result ? kGreen : kRed);
    return result;
}

void frmPortScan::unload()
{
    comConnectMachine.setPortOpen(false); // the test port goes with the window
    accept();
}

void frmPortScan::closeEvent(QCloseEvent *event)
{
    comConnectMachine.setPortOpen(false);
    QDialog::closeEvent(event);
}
