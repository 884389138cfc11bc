// frmMain: login, the administration panel, user serial number and passwords.
#include "frmMain.h"

#include "Frame.h"
#include "MsgBox.h"
#include "Numbers.h"
#include "Program.h"
#include "VbError.h"
#include "Wait.h"
#include "modCommon.h"

#include <QFrame>
#include <QLineEdit>
#include <QRadioButton>

using namespace modCommon;

namespace {

// The length an entry has on the wire: the frame builder drops every space.
qsizetype sentLength(const QString &entry)
{
    return QString(entry).remove(QLatin1Char(' ')).size();
}

} // namespace

bool frmMain::fuCheckDecimalPoint(QLineEdit *ctrlTextBox)
{
    // Spaces around the entry are allowed; any other blank or control character fails the check.
    const QString text = ctrlTextBox->text();
    if (text.count(QLatin1Char(' ')) == text.size() || isNumericText(text))
        return true;
    platform::MsgBox(QStringLiteral("Only Permission Numeric Type Character."),
                     platform::vbOKOnly | platform::vbCritical, platform::exeName());
    return false;
}

bool frmMain::waitForReply(const bool &replied)
{
    // 5 ms sleeps that let events run, so the reply is received and dispatched meanwhile.
    for (int count = 1;; ++count) {
        platform::Sleep(5);
        platform::DoEvents();
        if (count > 100)
            return false;
        if (replied)
            return true;
    }
}

void frmMain::cmdCheck_Click()
{
    try {
        const QString serial = txtSerialCheck->text();
        const QString password = txtPassCheck->text();
        if (!fuCheckDecimalPoint(txtSerialCheck) || !fuCheckDecimalPoint(txtPassCheck))
            return;
        const bool firstUser = optAdmin[0]->isChecked();
        const QString token = firstUser ? QStringLiteral("{31}") : QStringLiteral("{32}");
        const QString userType = firstUser ? QStringLiteral("1") : QStringLiteral("2");
        if (sentLength(serial) != 11 || sentLength(password) != 4)
            return;

        // A repeat still pending belongs to the session before this login: it must not follow
        // the AC (a repeated "BG0E" would end the new session).
        Timer4.setEnabled(false);
        gnResendCmd = kNoResendCmd;
        m_loginWindow.setRemainingTime(kLoginWindowMs);
        Timer2.setEnabled(true);
        sendCommand(QStringLiteral("AC") + serial + password + token);
        Save_EventLog(QStringLiteral("USER LOGIN => SERIALNO : ") + fuScrambleLogText(serial), true);
        Save_EventLog(QStringLiteral("USER LOGIN => PASSWORD : ") + fuScrambleLogText(password), true);
        Save_EventLog(QStringLiteral("USER LOGIN => USER TYPE : ") + userType, true);
        if (!waitForReply(gbLoginReplied))
            throw platform::VbError(0, QString());

        sendCommand(QStringLiteral("BG09"));
        Save_EventLog(QStringLiteral("CALIBRATION => MANUAL MODE SEND"), true);
        fuSetAutoManualToogle(1);
        if (!waitForReply(gbCalibReplied))
            throw platform::VbError(0, QString());

        sendCommand(QStringLiteral("SP00"));
        if (!waitForReply(gbUnitReplied))
            throw platform::VbError(0, QString());

        gnResendCmd = 9;
    } catch (const platform::VbError &e) {
        Save_ErrorLog(errorLine("cmdCheck_Click", e), true);
    }
}

void frmMain::cmdAdmin_Click()
{
    fraMain->hide();
    fraData->hide();
    fraAdmin->show();
    setHeightTwips(kPanelHeightTwips);
    Save_EventLog(QStringLiteral("ADMIN FORM => OPEN"), true);
}

void frmMain::cmdAdminClose_Click()
{
    fraMain->hide();
    fraData->show();
    fraAdmin->hide();
    setHeightTwips(kPanelHeightTwips);
    Save_EventLog(QStringLiteral("CALIBRATION FORM => OPEN"), true);
}

void frmMain::cmdSerialRead_Click()
{
    Timer2.setEnabled(true);
    sendCommand(QStringLiteral("SR00"));
    Save_EventLog(QStringLiteral("USER SERIAL => READ SEND"), true);
}

void frmMain::cmdSerialWrite_Click()
{
    const QString serial = txtSerial->text();
    if (!fuCheckDecimalPoint(txtSerial))
        return;
    if (sentLength(serial) != 11)
        return;
    Timer2.setEnabled(true);
    sendCommand(QStringLiteral("SW") + serial);
    Save_EventLog(QStringLiteral("USER SERIAL => WRITE SEND"), true);
}

void frmMain::cmdPassRead_Click()
{
    Timer2.setEnabled(true);
    sendCommand(QStringLiteral("PR00"));
    Save_EventLog(QStringLiteral("USER PASSWORD => READ SEND"), true);
}

void frmMain::cmdPassWrite_Click()
{
    Timer2.setEnabled(true); // before the checks: a stopped write still reports the time-out
    const QString password1 = txtPass1->text();
    const QString password2 = txtPass2->text();
    if (!fuCheckDecimalPoint(txtPass1) || !fuCheckDecimalPoint(txtPass2))
        return;
    if (sentLength(password1) != 4 || sentLength(password2) != 4) {
        platform::MsgBox(QStringLiteral("Check Digite"));
        return;
    }
    Timer2.setEnabled(true);
    sendCommand(QStringLiteral("PW") + password1 + password2);
    Save_EventLog(QStringLiteral("USER PASSWORD => WRITE SEND"), true);
}
