// frmMain: reply reception and dispatch, the reply time-out and the status hold.
#include "frmMain.h"

#include "MsgBox.h"
#include "ReplyFields.h"
#include "VbError.h"
#include "modCommon.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace modCommon;
using platform::RGB;
using replies::ReceptionState;

void frmMain::MSComm_OnComm()
{
    switch (MSComm.CommEvent()) {
    case platform::CommControl::comEvReceive:
        All_Data_Received_Check();
        break;
    case platform::CommControl::comEventDeviceLost:
        Save_EventLog(QStringLiteral("COM DISCONNECT => PORT NO : ") + QString::number(gnComPortNo), true);
        TimerReconnect.setEnabled(true);
        break;
    default:
        break;
    }
}

void frmMain::All_Data_Received_Check()
{
    // Nested calls (from waits and message boxes inside a dispatch) share m_recv; the outer call
    // goes on with whatever state the nested one left.
    while (MSComm.InBufferCount() > 0) {
        QByteArray in;
        try {
            in = MSComm.Input();
        } catch (const platform::VbError &e) {
            Save_ErrorLog(fuErrorLine("All_Data_Received_Check", e), true);
            return;
        }
        if (in.isEmpty())
            return;
        switch (m_recv.feed(std::uint8_t(in.at(0)))) {
        case ReceptionState::Step::Stored:
            break;
        case ReceptionState::Step::NotStored:
            Save_ErrorLog(fuErrorLine("All_Data_Received_Check", platform::err::SubscriptOutOfRange,
                                      QStringLiteral("Subscript out of range")), true);
            break;
        case ReceptionState::Step::FrameGood:
            ++m_framesDispatched;
            All_Data_Received_Analysys(m_recv.RecvBuf, m_recv.RecvCnt);
            break;
        case ReceptionState::Step::FrameBad:
            return; // what still waits stays for the next receive event
        }
    }
}

void frmMain::fuAcknowledge()
{
    Timer2.setEnabled(false);
    Timer1.setEnabled(true);
    platform::setForeColor(lblDataCaption, RGB(255, 0, 128));
    shpDataCaption->setFillColor(RGB(166, 202, 240));
}

void frmMain::fuConfirmWrite(const QString &logLine, void (frmMain::*readBack)())
{
    // The read-back goes out before the box opens, so its reply fills its box while it is open.
    fuDelayTime(500);
    Save_EventLog(logLine, true);
    (this->*readBack)();
    platform::MsgBox(QStringLiteral("Send Ok!!"));
}

void frmMain::All_Data_Received_Analysys(const RecvBuffer &recvBuf, std::int32_t recvCnt)
{
    using namespace replies;
    if (recvCnt < 3)
        return;
    try {
        // Our own copy: a reply dispatched while this one waits cannot change its fields.
        const QByteArray reply = fuReplyCopy(recvBuf.data(), std::int32_t(recvBuf.size()), recvCnt);
        const QString code = fuReplyCode(reply);

        if (code == QLatin1String("VI")) {
            fuAcknowledge();
        } else if (code == QLatin1String("FI")) {
            fuAcknowledge();
            lblSerialPanel->setText(QStringLiteral("Member Send complete"));
        } else if (code == QLatin1String("SW")) {
            Timer2.setEnabled(false);
            Timer1.setEnabled(true);
            fuConfirmWrite(QStringLiteral("USER SERIAL => WRITE OK"), &frmMain::cmdSerialRead_Click);
        } else if (code == QLatin1String("SR")) {
            fuAcknowledge();
            const QString serial = fuReplyField(reply, 0, 11);
            txtSerialRead->setText(serial);
            Save_EventLog(QStringLiteral("USER SERIAL => READ OK : ") + fuScrambleLogText(serial), true);
        } else if (code == QLatin1String("PW")) {
            Timer2.setEnabled(false);
            Timer1.setEnabled(true);
            fuConfirmWrite(QStringLiteral("USER PASSWORD => WRITE OK"), &frmMain::cmdPassRead_Click);
        } else if (code == QLatin1String("PR")) {
            fuAcknowledge();
            Save_EventLog(QStringLiteral("USER PASSWORD => READ OK"), true);
            const QString password1 = fuReplyField(reply, 0, 4);
            txtPass1Read->setText(password1);
            Save_EventLog(QStringLiteral("USER PASSWORD =>   USER1 : ") + fuScrambleLogText(password1), true);
            const QString password2 = fuReplyField(reply, 4, 4);
            txtPass2Read->setText(password2);
            Save_EventLog(QStringLiteral("USER PASSWORD =>   USER2 : ") + fuScrambleLogText(password2), true);
        } else if (code == QLatin1String("AR")) {
            Timer2.setEnabled(false);
            platform::setForeColor(lblAccelPanel, RGB(0, 0, 0));
            shpAccelPanel->setFillColor(RGB(238, 145, 170));
            const QString text = fuGravityText(fuReplyField(reply, 2, 6));
            txtAccelRead->setText(text);
            Save_EventLog(QStringLiteral("GRAVITY VALUE => READ OK : ") + text, true);
        } else if (code == QLatin1String("AC")) {
            fuAcknowledge();
            fraMain->hide();
            fraData->show();
            fraAdmin->hide();
            setHeightTwips(kPanelHeightTwips);
            Save_EventLog(QStringLiteral("CALIBRATION FORM => OPEN"), true);
            gbLoginReplied = true;
            m_loginWindow.setRemainingTime(0);
        } else if (code == QLatin1String("AW")) {
            fuAcknowledge();
            fuConfirmWrite(QStringLiteral("GRAVITY VALUE => WRITE OK"), &frmMain::cmdAccelRead_Click);
        } else if (code == QLatin1String("WC")) {
            const QString digital = fuReplyField(reply, 0, 5);
            const QString sign = fuReplyField(reply, 11, 1) == QLatin1String("-") ? QStringLiteral("-") : QString();
            const QString weight = sign + fuReplyField(reply, 6, 5);
            lblValue->setText(QString::number(fuReadWholeNumber(digital)));
            lblScale->setText(fuWeightText(weight));
            // Reports while the login panel shows: leave calibration, unless a login is under way.
            if (fraData->isHidden() && fraAdmin->isHidden() && !fuLoginOwnsLine())
                cmdClose_Click();
        } else if (code == QLatin1String("BG")) {
            Timer4.setEnabled(false);
            gnResendCmd = kNoResendCmd;
            gbCalibReplied = true;
        } else if (code == QLatin1String("BA")) {
            Timer4.setEnabled(false);
            gnResendCmd = kNoResendCmd;
            const QString mode = fuReplyField(reply, 1, 2);
            if (mode == QLatin1String("00"))
                fuSetAutoManualToogle(1);
            else if (mode == QLatin1String("01"))
                fuSetAutoManualToogle(0);
        } else if (code == QLatin1String("SP") || code == QLatin1String("SK")) {
            const bool pounds = code == QLatin1String("SP");
            gbIsLb = pounds;
            fuSetUnitMode(gbIsLb);
            Save_EventLog(pounds ? QStringLiteral("WEIGHT => LB MODE") : QStringLiteral("WEIGHT => KG MODE"), true);
            cmdKgLb->setText(pounds ? QStringLiteral("Kg Mode") : QStringLiteral("Lb Mode"));
            gbUnitReplied = true;
        }
    } catch (const platform::VbError &e) {
        Save_ErrorLog(fuErrorLine("All_Data_Received_Analysys", e), true);
    }
}

void frmMain::Timer2_Timer()
{
    Timer2.setEnabled(false);
    lblDataCaption->setText(QStringLiteral("Failure to send!"));
    shpDataCaption->setFillColor(platform::RGB(255, 0, 128));
    Timer1.setEnabled(true);
}

void frmMain::Timer1_Timer()
{
    Timer1.setEnabled(false);
    SetDefaultPanelSetting();
}
