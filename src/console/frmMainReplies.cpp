// frmMain: reply reception and dispatch, the reply time-out and the status hold.
#include "frmMain.h"

#include "MsgBox.h"
#include "Reply.h"
#include "VbError.h"
#include "modCommon.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

using namespace modCommon;
using platform::RGB;
using replies::ReceptionState;

void frmMain::MSComm_OnComm()
{
    switch (MSComm.CommEvent()) {
    case platform::CommControl::comEvReceive:
        All_Data_Received_Check();
        break;
    case platform::CommControl::deviceLostEvent:
        Save_EventLog(QStringLiteral("COM DISCONNECT => PORT NO : ") + QString::number(gnComPortNo), true);
        reconnectTimer.setEnabled(true);
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
            Save_ErrorLog(errorLine("All_Data_Received_Check", e), true);
            return;
        }
        if (in.isEmpty())
            return;
        switch (m_recv.feed(std::uint8_t(in.at(0)))) {
        case ReceptionState::Step::Stored:
            break;
        case ReceptionState::Step::NotStored:
            Save_ErrorLog(errorLine("All_Data_Received_Check", platform::err::SubscriptOutOfRange,
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

void frmMain::dropUnansweredBg()
{
    while (!m_unansweredBg.empty() && m_unansweredBg.front().first < m_bgClock.elapsed() - kBgAnswerMs)
        m_unansweredBg.pop_front();
}

void frmMain::confirmOldestBg()
{
    dropUnansweredBg();
    if (m_unansweredBg.empty())
        return;
    const qint16 command = m_unansweredBg.front().second;
    m_unansweredBg.pop_front();
    if (command != 14) // leaving the data panel changes nothing on the scale
        emitDevice(records::DeviceEvent::Calibrated, command);
}

void frmMain::emitDevice(records::DeviceEvent::Kind kind, qint32 number, const QString &text)
{
    records::DeviceEvent event;
    event.kind = kind;
    event.number = number;
    event.pounds = gbIsLb;
    event.text = text;
    emit deviceEvent(event);
}

void frmMain::acknowledge()
{
    Timer2.setEnabled(false);
    Timer1.setEnabled(true);
    platform::setForeColor(lblDataCaption, RGB(255, 0, 128));
    shpDataCaption->setFillColor(RGB(166, 202, 240));
}

void frmMain::confirmWrite(const QString &logLine, void (frmMain::*readBack)())
{
    // The read-back goes out before the box opens, so its reply fills its box while it is open.
    fuDelayTime(500);
    Save_EventLog(logLine, true);
    (this->*readBack)();
    platform::MsgBox(QStringLiteral("Send Ok!!"));
}

void frmMain::All_Data_Received_Analysys(const RecvBuffer &recvBuf, std::int32_t recvCnt)
{
    using replies::ReplyCode;
    // Decoded from our own copy: a reply dispatched while this one waits cannot change it.
    const replies::DecodedReply reply = replies::decodeReply(recvBuf.data(), std::int32_t(recvBuf.size()), recvCnt);
    // A step that needs a field the decoding could not read ends the handling there.
    const auto field = [&reply](int i) -> const QString & {
        if (i >= reply.fields.size())
            throw reply.failure.value_or(platform::VbError(platform::err::SubscriptOutOfRange,
                                                           QStringLiteral("Subscript out of range")));
        return reply.fields[i];
    };
    try {
        switch (reply.code) {
        case ReplyCode::Ignored:
            if (reply.failure)
                throw *reply.failure;
            break;
        case ReplyCode::VI:
            acknowledge();
            break;
        case ReplyCode::FI:
            acknowledge();
            lblSerialPanel->setText(QStringLiteral("Member Send complete"));
            break;
        case ReplyCode::SW:
            emitDevice(records::DeviceEvent::SerialWritten);
            Timer2.setEnabled(false);
            Timer1.setEnabled(true);
            confirmWrite(QStringLiteral("USER SERIAL => WRITE OK"), &frmMain::cmdSerialRead_Click);
            break;
        case ReplyCode::SR:
            acknowledge();
            txtSerialRead->setText(field(0));
            emitDevice(records::DeviceEvent::SerialRead, 0, field(0));
            Save_EventLog(QStringLiteral("USER SERIAL => READ OK : ") + fuScrambleLogText(field(0)), true);
            break;
        case ReplyCode::PW:
            emitDevice(records::DeviceEvent::PasswordsWritten);
            Timer2.setEnabled(false);
            Timer1.setEnabled(true);
            confirmWrite(QStringLiteral("USER PASSWORD => WRITE OK"), &frmMain::cmdPassRead_Click);
            break;
        case ReplyCode::PR:
            acknowledge();
            Save_EventLog(QStringLiteral("USER PASSWORD => READ OK"), true);
            txtPass1Read->setText(field(0));
            Save_EventLog(QStringLiteral("USER PASSWORD =>   USER1 : ") + fuScrambleLogText(field(0)), true);
            txtPass2Read->setText(field(1));
            Save_EventLog(QStringLiteral("USER PASSWORD =>   USER2 : ") + fuScrambleLogText(field(1)), true);
            break;
        case ReplyCode::AR:
            Timer2.setEnabled(false);
            platform::setForeColor(lblAccelPanel, RGB(0, 0, 0));
            shpAccelPanel->setFillColor(RGB(238, 145, 170));
            txtAccelRead->setText(field(0));
            if (reply.value)
                emitDevice(records::DeviceEvent::GravityRead, *reply.value);
            Save_EventLog(QStringLiteral("GRAVITY VALUE => READ OK : ") + field(0), true);
            break;
        case ReplyCode::AC:
            acknowledge();
            fraMain->hide();
            fraData->show();
            fraAdmin->hide();
            setHeightTwips(kPanelHeightTwips);
            Save_EventLog(QStringLiteral("CALIBRATION FORM => OPEN"), true);
            gbLoginReplied = true;
            m_loginWindow.setRemainingTime(0);
            emitDevice(records::DeviceEvent::LoggedIn, optAdmin[0]->isChecked() ? 1 : 2,
                       QString(txtSerialCheck->text()).remove(QLatin1Char(' ')));
            break;
        case ReplyCode::AW:
            emitDevice(records::DeviceEvent::GravityWritten);
            acknowledge();
            confirmWrite(QStringLiteral("GRAVITY VALUE => WRITE OK"), &frmMain::cmdAccelRead_Click);
            break;
        case ReplyCode::WC:
            paceReadout(m_pendingValue, field(0));
            paceReadout(m_pendingScale, field(1));
            if (reply.value)
                emitDevice(records::DeviceEvent::Weight, *reply.value);
            // Reports while the login panel shows: leave calibration, unless a login is under way.
            if (fraData->isHidden() && fraAdmin->isHidden() && !loginOwnsLine())
                cmdClose_Click();
            break;
        case ReplyCode::BG:
            Timer4.setEnabled(false);
            gnResendCmd = kNoResendCmd;
            confirmOldestBg();
            gbCalibReplied = true;
            break;
        case ReplyCode::BA:
            Timer4.setEnabled(false);
            gnResendCmd = kNoResendCmd;
            if (field(0) == QLatin1String("00"))
                fuSetAutoManualToogle(1);
            else if (field(0) == QLatin1String("01"))
                fuSetAutoManualToogle(0);
            if (field(0) == QLatin1String("00") || field(0) == QLatin1String("01"))
                emitDevice(records::DeviceEvent::ModeAtKeys, field(0) == QLatin1String("01"));
            break;
        case ReplyCode::SP:
        case ReplyCode::SK: {
            const bool pounds = reply.code == ReplyCode::SP;
            gbIsLb = pounds;
            fuSetUnitMode(gbIsLb);
            Save_EventLog(pounds ? QStringLiteral("WEIGHT => LB MODE") : QStringLiteral("WEIGHT => KG MODE"), true);
            cmdKgLb->setText(pounds ? QStringLiteral("Kg Mode") : QStringLiteral("Lb Mode"));
            gbUnitReplied = true;
            emitDevice(records::DeviceEvent::UnitSet);
            break;
        }
        }
    } catch (const platform::VbError &e) {
        Save_ErrorLog(errorLine("All_Data_Received_Analysys", e), true);
    }
}

void frmMain::paceReadout(std::optional<QString> &pending, const QString &text)
{
    pending = text;
    if (!m_readoutPace.isActive())
        m_readoutPace.start(0); // at the end of this dispatch, both readouts together
}

void frmMain::showPacedReadouts()
{
    if (!m_pendingValue && !m_pendingScale)
        return; // the readouts rest: the timer stays off
    if (m_pendingValue)
        lblValue->setText(*std::exchange(m_pendingValue, std::nullopt));
    if (m_pendingScale)
        lblScale->setText(*std::exchange(m_pendingScale, std::nullopt));
    m_readoutPace.start(kReadoutPaceMs);
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
