// frmMain: start-up, the display procedures, panels and exit.
#include "frmMain.h"

#include "Numbers.h"
#include "Shell.h"
#include "frmPortScan.h"
#include "modCommon.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

using namespace modCommon;
using platform::RGB;

namespace {
// The original's fixed single border and caption bar take 375 twips of the outer height. The
// client is as wide as the panels' visible part: they start one pixel left of the client edge.
constexpr int kNonClientHeightTwips = 375;
constexpr int kClientWidthTwips = 4560;

const QString kTitle = QStringLiteral("Vantor SCALE [1.0.03 13.08.13]");
const QString kDefaultCaption = QStringLiteral("Please enter the approved data.");
} // namespace

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    createControls();
    connectHandlers();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::connectHandlers()
{
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(recordButton, &QPushButton::clicked, this, &frmMain::recordWindowRequested);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this), &QShortcut::activated, this, [this] {
        if (!fraData->isHidden() || !fraAdmin->isHidden())
            emit recordWindowRequested();
    });
    connect(cmdViewLog, &QPushButton::clicked, this, &frmMain::cmdViewLog_Click);
    const std::pair<QPushButton *, void (frmMain::*)()> clicks[] = {
        {cmdCom, &frmMain::cmdCom_Click},
        {cmdCheck, &frmMain::cmdCheck_Click},
        {cmdAdmin, &frmMain::cmdAdmin_Click},
        {cmdAdminClose, &frmMain::cmdAdminClose_Click},
        {cmdSerialRead, &frmMain::cmdSerialRead_Click},
        {cmdSerialWrite, &frmMain::cmdSerialWrite_Click},
        {cmdPassRead, &frmMain::cmdPassRead_Click},
        {cmdPassWrite, &frmMain::cmdPassWrite_Click},
        {cmd0kg, &frmMain::cmd0kg_Click},
        {cmd50Kg, &frmMain::cmd50Kg_Click},
        {cmd100kg, &frmMain::cmd100kg_Click},
        {cmd100gDn, &frmMain::cmd100gDn_Click},
        {cmd100gUp, &frmMain::cmd100gUp_Click},
        {cmd10gDn, &frmMain::cmd10gDn_Click},
        {cmd10gUp, &frmMain::cmd10gUp_Click},
        {cmdZero, &frmMain::cmdZero_Click},
        {cmdAuto, &frmMain::cmdAuto_Click},
        {cmdClose, &frmMain::cmdClose_Click},
        {cmdReset, &frmMain::cmdReset_Click},
        {cmdKgLb, &frmMain::cmdKgLb_Click},
        {cmdAccelRead, &frmMain::cmdAccelRead_Click},
        {cmdAccelWrite, &frmMain::cmdAccelWrite_Click},
    };
    for (const auto &[button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, handler);
    connect(&Timer4, &platform::IntervalTimer::Timer, this, &frmMain::Timer4_Timer);
    connect(&MSComm, &platform::CommControl::OnComm, this, &frmMain::MSComm_OnComm);
    connect(&Timer1, &platform::IntervalTimer::Timer, this, &frmMain::Timer1_Timer);
    connect(&Timer2, &platform::IntervalTimer::Timer, this, &frmMain::Timer2_Timer);
    connect(&reconnectTimer, &platform::IntervalTimer::Timer, this, &frmMain::retryOpeningPort);
    m_readoutPace.setSingleShot(true);
    m_readoutPace.setTimerType(Qt::PreciseTimer);
    connect(&m_readoutPace, &QTimer::timeout, this, &frmMain::showPacedReadouts);
}

void frmMain::setHeightTwips(int twips)
{
    m_heightTwips = twips;
    setFixedSize(platform::tw(kClientWidthTwips), platform::tw(twips - kNonClientHeightTwips));
}

void frmMain::Form_Load()
{
    setHeightTwips(kLoginHeightTwips);
    fraData->move(0, 0);
    fraAdmin->move(0, 0);
    setWindowTitle(kTitle);
    fraMain->show();
    fraData->hide();
    fraAdmin->hide();
    fraCalAuto->move(fraCalManual->pos());
    cmdReset->hide();
    txtSerialCheck->setText(QStringLiteral("00000000000"));
    txtPassCheck->setText(QStringLiteral("0000"));
    gbIsLb = true;
    fuSetUnitMode(gbIsLb);
    gnResendCmd = kNoResendCmd;
    lblScale->clear();
    lblValue->clear();

    // A value that is not a whole 16-bit number, or a user type other than 0 or 1, falls back to
    // the default instead of stopping the program.
    gnComPortNo = wholeNumber16(GetString_ofINI(kSection, QStringLiteral("Com_Port"),
                                                  QStringLiteral("1"))).value_or(1);
    const auto adminSel = wholeNumber16(GetString_ofINI(kSection, QStringLiteral("Admin_Sel"),
                                                          QStringLiteral("0")));
    m_nAdminSel = (adminSel == 0 || adminSel == 1) ? *adminSel : 0;
    optAdmin[m_nAdminSel]->setChecked(true);

    openPortOrRetry();
}

void frmMain::openPortOrRetry()
{
    lf_StartMeasure(MSComm, gnComPortNo);
    reconnectTimer.setEnabled(!MSComm.PortOpen());
}

void frmMain::retryOpeningPort()
{
    // Quiet while the port stays away; one line when it is back, as after the port scan.
    lf_StartMeasure(MSComm, gnComPortNo);
    if (!MSComm.PortOpen())
        return;
    reconnectTimer.setEnabled(false);
    Save_EventLog(QStringLiteral("COM CONNECT => PORT NO : ") + QString::number(gnComPortNo), true);
}

void frmMain::SetDefaultPanelSetting()
{
    shpDataCaption->setFillColor(RGB(166, 202, 240));
    platform::setForeColor(lblDataCaption, Qt::black);
    lblDataCaption->setText(kDefaultCaption);
    shpSerial->setFillColor(RGB(219, 193, 215));
    platform::setForeColor(lblSerialPanel, Qt::black);
    shpPassword->setFillColor(RGB(219, 193, 215));
    platform::setForeColor(lblPasswordPanel, Qt::black);
    shpAccelPanel->setFillColor(RGB(238, 145, 170));
    platform::setForeColor(lblAccelPanel, Qt::black);
    lblAccelPanel->setText(QStringLiteral("Gravity Value"));
}

void frmMain::fuSetUnitMode(const bool &bIsLb)
{
    Label5->setText(bIsLb ? QStringLiteral("[lb]") : QStringLiteral("[kg]"));
    cmd0kg->setText(fuGetUnitValue(bIsLb, QStringLiteral("0 kg")));
    cmd50Kg->setText(fuGetUnitValue(bIsLb, QStringLiteral("50 kg")));
    cmd100kg->setText(fuGetUnitValue(bIsLb, QStringLiteral("100 kg")));
    cmd10gUp->setText(fuGetUnitValue(bIsLb, QStringLiteral("10 g")) + QStringLiteral(" Up"));
    cmd10gDn->setText(fuGetUnitValue(bIsLb, QStringLiteral("10 g")) + QStringLiteral(" Dn"));
    cmd100gUp->setText(fuGetUnitValue(bIsLb, QStringLiteral("100 g")) + QStringLiteral(" Up"));
    cmd100gDn->setText(fuGetUnitValue(bIsLb, QStringLiteral("100 g")) + QStringLiteral(" Dn"));
}

QString frmMain::fuGetUnitValue(const bool &bIsLb, const QString &sValue)
{
    if (!bIsLb)
        return sValue;
    static const std::pair<QString, QString> kPounds[] = {
        {QStringLiteral("0 kg"), QStringLiteral("0 lb")},
        {QStringLiteral("50 kg"), QStringLiteral("110.23 lb")},
        {QStringLiteral("100 kg"), QStringLiteral("220.46 lb")},
        {QStringLiteral("10 g"), QStringLiteral("0.02 lb")},
        {QStringLiteral("100 g"), QStringLiteral("0.22 lb")},
    };
    for (const auto &[kg, lb] : kPounds)
        if (sValue == kg)
            return lb;
    return QString();
}

void frmMain::fuSetAutoManualToogle(const std::int16_t &nType)
{
    const bool automatic = nType == 0;
    fraCalAuto->setVisible(automatic);
    fraCalManual->setVisible(!automatic);
    cmdAuto->setText(automatic ? QStringLiteral("Manual") : QStringLiteral("Auto"));
}

void frmMain::cmdExit_Click()
{
    const QString sel = optAdmin[0]->isChecked() ? QStringLiteral("0") : QStringLiteral("1");
    SetString_ofINI(kSection, QStringLiteral("Admin_Sel"), sel);
    Save_EventLog(QStringLiteral("PROGRAM => EXIT"), true);
    close();
}

void frmMain::cmdViewLog_Click()
{
    platform::ShellExecute(this, QString(), QStringLiteral("notepad.exe"), eventLogPath(), QString(), 1);
}

void frmMain::cmdCom_Click()
{
    // The scan owns the ports while it shows: no reconnect attempts, and no repeat of a command
    // meant for the session the port served until now.
    reconnectTimer.setEnabled(false);
    Timer4.setEnabled(false);
    gnResendCmd = kNoResendCmd;
    if (MSComm.PortOpen())
        MSComm.setPortOpen(false);
    {
        frmPortScan scan(this);
        scan.exec();
    } // unloaded: its test port is released before this window opens its own
    openPortOrRetry();
    Save_EventLog(QStringLiteral("COM CONNECT => PORT NO : ") + QString::number(gnComPortNo), true);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // The window is unloaded: its timers stop and its serial control lets the port go.
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Timer4.setEnabled(false);
    reconnectTimer.setEnabled(false);
    m_readoutPace.stop();
    MSComm.setPortOpen(false);
    event->accept();
}

void frmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
