// frmMain: calibration commands and their repetition, units and the gravity value.
#include "frmMain.h"

#include "Frame.h"
#include "MsgBox.h"
#include "Numbers.h"
#include "Program.h"
#include "VbError.h"
#include "modCommon.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

using namespace modCommon;

void frmMain::sendCommand(const QString &codeAndPayload)
{
    QString text = QStringLiteral("{02}") + codeAndPayload + QStringLiteral("{03}");
    if (codeAndPayload.startsWith(QLatin1String("BG")) && MSComm.PortOpen()) {
        if (!m_bgClock.isValid())
            m_bgClock.start();
        dropUnansweredBg(); // a scale that never answers does not fill the list
        m_unansweredBg.emplace_back(m_bgClock.elapsed(), qint16(codeAndPayload.mid(2, 2).toInt(nullptr, 16)));
    }
    fuSendByteStrComData(MSComm, text);
}

void frmMain::autoCalibration(std::int16_t number, const QString &code, const QString &weight)
{
    const QString label = fuGetUnitValue(gbIsLb, weight);
    const int answer = platform::MsgBox(
        QStringLiteral("Scale Calibration Auto Mode : Do You Set The Weight To ") + label + QLatin1Char('?'),
        platform::vbYesNo | platform::vbQuestion, platform::exeName());
    if (answer == platform::vbNo)
        return;
    gnResendCmd = number;
    sendCommand(code);
    Save_EventLog(QStringLiteral("CALIBRATION AUTO => ") + fuGetUnitValue(gbIsLb, weight) + QStringLiteral(" SEND"), true);
    Timer4.setEnabled(true);
}

void frmMain::manualCalibration(std::int16_t number, const QString &code, const QString &weight,
                                  const QString &logPrefix, const QString &logSuffix)
{
    gnResendCmd = number;
    sendCommand(code);
    Save_EventLog(logPrefix + fuGetUnitValue(gbIsLb, weight) + logSuffix, true);
    Timer4.setEnabled(true);
}

void frmMain::cmd0kg_Click() { autoCalibration(1, QStringLiteral("BG01"), QStringLiteral("0 kg")); }
void frmMain::cmd50Kg_Click() { autoCalibration(2, QStringLiteral("BG02"), QStringLiteral("50 kg")); }
void frmMain::cmd100kg_Click() { autoCalibration(3, QStringLiteral("BG03"), QStringLiteral("100 kg")); }

namespace {
const QString kManual = QStringLiteral("CALIBRATION MANUAL => ");
} // namespace

void frmMain::cmd100gDn_Click() { manualCalibration(10, QStringLiteral("BG0A"), QStringLiteral("100 g"), kManual, QStringLiteral(" DOWN SEND")); }
void frmMain::cmd100gUp_Click() { manualCalibration(11, QStringLiteral("BG0B"), QStringLiteral("100 g"), kManual, QStringLiteral(" UP SEND")); }
void frmMain::cmd10gDn_Click() { manualCalibration(12, QStringLiteral("BG0C"), QStringLiteral("10 g"), kManual, QStringLiteral(" DOWN SEND")); }
void frmMain::cmd10gUp_Click() { manualCalibration(13, QStringLiteral("BG0D"), QStringLiteral("10 g"), kManual, QStringLiteral(" UP SEND")); }
void frmMain::cmdZero_Click()
{
    manualCalibration(0, QStringLiteral("BG00"), QStringLiteral("0 kg"), kManual + QStringLiteral("MANUAL "),
                        QStringLiteral(" SEND"));
}

void frmMain::cmdAuto_Click()
{
    QString code;
    if (cmdAuto->text() == QLatin1String("Auto")) {
        fuSetAutoManualToogle(0);
        code = QStringLiteral("BG08");
        Save_EventLog(QStringLiteral("CALIBRATION => AUTO MODE SEND"), true);
        gnResendCmd = 8;
    } else {
        fuSetAutoManualToogle(1);
        code = QStringLiteral("BG09");
        Save_EventLog(QStringLiteral("CALIBRATION => MANUAL MODE SEND"), true);
        gnResendCmd = 9;
    }
    sendCommand(code);
    Timer4.setEnabled(true);
}

void frmMain::cmdClose_Click()
{
    gnResendCmd = 14;
    txtAccelRead->clear();
    txtAccel->setText(formatFixed(97982 / 10000.0, 4));
    sendCommand(QStringLiteral("BG0E"));
    Timer4.setEnabled(true);
    fraData->hide();
    fraMain->show();
    setHeightTwips(kLoginHeightTwips);
    Save_EventLog(QStringLiteral("LOGIN FORM => OPEN"), true);
}

void frmMain::cmdReset_Click()
{
    Timer2.setEnabled(true);
    sendCommand(QStringLiteral("AD09"));
}

void frmMain::Timer4_Timer()
{
    Timer4.setEnabled(false);
    switch (gnResendCmd) {
    case 0: cmdZero_Click(); break;
    case 1: cmd0kg_Click(); break;
    case 2: cmd50Kg_Click(); break;
    case 3: cmd100kg_Click(); break;
    case 8:
        cmdAuto->setText(QStringLiteral("Auto"));
        cmdAuto_Click();
        break;
    case 9:
        cmdAuto->setText(QStringLiteral("Manual"));
        cmdAuto_Click();
        break;
    case 10: cmd100gDn_Click(); break;
    case 11: cmd100gUp_Click(); break;
    case 12: cmd10gDn_Click(); break;
    case 13: cmd10gUp_Click(); break;
    case 14: cmdClose_Click(); break;
    default: break;
    }
}

void frmMain::cmdKgLb_Click()
{
    sendCommand(gbIsLb ? QStringLiteral("SK00") : QStringLiteral("SP00"));
}

void frmMain::cmdAccelRead_Click()
{
    Timer2.setEnabled(true);
    sendCommand(QStringLiteral("AR00"));
    Save_EventLog(QStringLiteral("GRAVITY VALUE => READ SEND"), true);
}

void frmMain::cmdAccelWrite_Click()
{
    // On any failure nothing is sent and Timer2, armed first, reports it.
    try {
        Timer2.setEnabled(true);
        const auto typed = typedNumberValue(txtAccel->text());
        if (!typed)
            throw platform::VbError(platform::err::TypeMismatch, QStringLiteral("Type mismatch"));
        txtAccel->setText(formatFixed(float(*typed), 4));
        const auto shown = typedNumberValue(txtAccel->text());
        if (!shown)
            throw platform::VbError(platform::err::TypeMismatch, QStringLiteral("Type mismatch"));
        // In double precision a value far out of range is just out of range, not an overflow.
        double v = std::round(double(float(*shown) * 10000.0f));
        if (v > 105000 || v < 95000) {
            v = 97982;
            txtAccel->setText(formatFixed(v / 10000, 4));
        }
        const QString payload = QStringLiteral("%1").arg(qint32(v), 6, 10, QLatin1Char('0'));
        sendCommand(QStringLiteral("AW00") + payload);
        Save_EventLog(QStringLiteral("GRAVITY VALUE => WRITE SEND"), true);
    } catch (const platform::VbError &e) {
        Save_ErrorLog(errorLine("cmdAccelWrite_Click", e), true);
    }
}
