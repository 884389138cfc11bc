// frmMain: reply reception, the reply time-out and the status hold.
#include "frmMain.h"

#include "VbError.h"
#include "modCommon.h"

#include <QLabel>

using namespace modCommon;
using replies::ReceptionState;

void frmMain::MSComm_OnComm()
{
    if (MSComm.CommEvent() == platform::CommControl::comEvReceive)
        All_Data_Received_Check();
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
            All_Data_Received_Analysys(m_recv.RecvBuf, m_recv.RecvCnt);
            break;
        case ReceptionState::Step::FrameBad:
            return; // what still waits stays for the next receive event
        }
    }
}

void frmMain::All_Data_Received_Analysys(const RecvBuffer &, std::int32_t)
{
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
