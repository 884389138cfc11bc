#pragma once
// The console's main window: the login panel fraMain, the data panel fraData and the
// administration panel fraAdmin, exactly one of them visible; the serial control MSComm and the
// three timers. Controls and handlers are public: the reply handling and the commands work on
// them directly, and tests drive them the same way.

#include "CommControl.h"
#include "Controls.h"
#include "DeviceEvent.h"
#include "IntervalTimer.h"
#include "Reception.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // ---- Window ----
    static constexpr int kWidthTwips = 4630;
    static constexpr int kLoginHeightTwips = 3300;
    static constexpr int kPanelHeightTwips = 6570;
    // Outer height in twips as the program last set it (3300 or 6570).
    int heightTwips() const { return m_heightTwips; }
    void setHeightTwips(int twips);
    // Where the calibration, unit and mode buttons of the data panel are, in global coordinates:
    // what another window opened beside the console must leave uncovered.
    QRect buttonRowsOnScreen() const;

    // ---- Display procedures ----
    void SetDefaultPanelSetting();
    void fuSetUnitMode(const bool &bIsLb);
    static QString fuGetUnitValue(const bool &bIsLb, const QString &sValue);
    void fuSetAutoManualToogle(const std::int16_t &nType);

    // ---- Handlers ----
    void Form_Load();
    void cmdExit_Click();
    void cmdViewLog_Click();
    void cmdCom_Click();

    // ---- Login and administration ----
    void cmdCheck_Click();
    void cmdAdmin_Click();
    void cmdAdminClose_Click();
    void cmdSerialRead_Click();
    void cmdSerialWrite_Click();
    void cmdPassRead_Click();
    void cmdPassWrite_Click();
    bool fuCheckDecimalPoint(QLineEdit *ctrlTextBox);

    // ---- Calibration, units and gravity ----
    void cmd0kg_Click();
    void cmd50Kg_Click();
    void cmd100kg_Click();
    void cmd100gDn_Click();
    void cmd100gUp_Click();
    void cmd10gDn_Click();
    void cmd10gUp_Click();
    void cmdZero_Click();
    void cmdAuto_Click();
    void cmdClose_Click();
    void cmdReset_Click();
    void Timer4_Timer();
    void cmdKgLb_Click();
    void cmdAccelRead_Click();
    void cmdAccelWrite_Click();

    // ---- Reply reception ----
    using RecvBuffer = std::array<std::uint8_t, replies::kRecvBufSize>;
    void MSComm_OnComm();
    void All_Data_Received_Check();
    void All_Data_Received_Analysys(const RecvBuffer &recvBuf, std::int32_t recvCnt);
    void Timer1_Timer();
    void Timer2_Timer();
    void retryOpeningPort();
    replies::ReceptionState m_recv; // kept for the whole run
    quint64 m_framesDispatched = 0; // frames with a good checksum, for diagnosis

    // ---- Serial control and timers ----
    platform::CommControl MSComm;
    platform::IntervalTimer Timer1{2000};
    platform::IntervalTimer Timer2{300};
    platform::IntervalTimer Timer4{1000};
    // Runs only while the port is closed against the technician's will (lost, or not openable at
    // start-up or after the port scan): tries to open it again once a second.
    platform::IntervalTimer reconnectTimer{1000};

    // ---- Login panel ----
    QFrame *fraMain;
    platform::Shape *shpDataCaption;
    QLabel *lblDataCaption;
    QFrame *fraTest;
    QLabel *lblSerialNo;
    QLineEdit *txtSerialCheck;
    QLabel *lblAdministrator;
    std::array<QRadioButton *, 2> optAdmin;
    QLabel *lblPassword;
    QLineEdit *txtPassCheck;
    QPushButton *cmdCheck;
    QPushButton *cmdCom;
    QPushButton *cmdExit;

    // ---- Data panel ----
    QFrame *fraData;
    platform::Shape *shpScale;
    QLabel *lblScalePanel;
    QLabel *lblScale;
    QLabel *Label5;
    QLabel *lblValuePanel;
    QLabel *lblValue;
    platform::Shape *shpAccelPanel;
    QLabel *lblAccelPanel;
    QLabel *Label3;
    QLineEdit *txtAccelRead;
    QLabel *Label2;
    QLabel *Label1_0;
    QLabel *Label4;
    QLineEdit *txtAccel;
    QLabel *lblUnit;
    QLabel *lblSeq;
    QPushButton *cmdAccelRead;
    QPushButton *cmdAccelWrite;
    QFrame *fraCalAuto;
    platform::Shape *shpAuto;
    QLabel *lblCalAuto;
    QPushButton *cmd0kg;
    QPushButton *cmd50Kg;
    QPushButton *cmd100kg;
    QFrame *fraCalManual;
    platform::Shape *shpCalManual;
    QLabel *lblCalManual;
    QPushButton *cmd10gUp;
    QPushButton *cmd10gDn;
    QPushButton *cmdZero;
    QPushButton *cmd100gUp;
    QPushButton *cmd100gDn;
    QPushButton *cmdKgLb;
    QPushButton *cmdAuto;
    QPushButton *cmdAdmin;
    QPushButton *cmdClose;
    QPushButton *cmdReset;

    // ---- Administration panel ----
    QFrame *fraAdmin;
    platform::Shape *shpSerial;
    QLabel *lblSerialPanel;
    QLabel *Label7;
    QLineEdit *txtSerialRead;
    QLabel *Label6;
    QLineEdit *txtSerial;
    QPushButton *cmdSerialRead;
    QPushButton *cmdSerialWrite;
    platform::Shape *shpPassword;
    QLabel *lblPasswordPanel;
    QLabel *lblAdmin1;
    QLabel *lblAdmin2;
    QLabel *Label9;
    QLineEdit *txtPass1Read;
    QLineEdit *txtPass2Read;
    QLabel *Label8;
    QLineEdit *txtPass1;
    QLineEdit *txtPass2;
    QPushButton *cmdPassRead;
    QPushButton *cmdPassWrite;
    QPushButton *cmdViewLog;
    QPushButton *cmdAdminClose;
    QPushButton *recordButton; // opens the service record window, beside "View Log"

    // The user type index read from the settings at start-up.
    std::int16_t m_nAdminSel = 0;

signals:
    // For the service records: each decoded weight report and each change the scale confirmed.
    void deviceEvent(const records::DeviceEvent &event);
    // The technician asks for the record window: the "Record" button, or Ctrl+R while the data
    // or the administration panel shows.
    void recordWindowRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    // Sends "{02}" + codeAndPayload + "{03}" on MSComm.
    void sendCommand(const QString &codeAndPayload);
    void emitDevice(records::DeviceEvent::Kind kind, qint32 number = 0, const QString &text = {});
    void confirmOldestBg();
    void dropUnansweredBg(); // those never answered
    // The steps several replies share: time-out off, status hold on, status colours.
    void acknowledge();
    // After a confirmed write: wait, log, read the value back, then "Send Ok!!".
    void confirmWrite(const QString &logLine, void (frmMain::*readBack)());
    // Opens the port that gnComPortNo names; while it cannot be opened, reconnectTimer retries.
    void openPortOrRetry();
    // A login owns the line from its "AC" until the AC reply is dispatched or this window ends:
    // live weight reports meanwhile do not send the login panel's "BG0E".
    bool loginOwnsLine() const { return !m_loginWindow.hasExpired(); }
    // Live weight readouts follow the screen's pace: a report's texts are shown at once when the
    // readouts have rested for kReadoutPaceMs, else the latest ones when that time is up. The
    // timer runs only while reports keep coming.
    void paceReadout(std::optional<QString> &pending, const QString &text);
    void showPacedReadouts();
    // The login's bounded wait: 100 passes of a 5 ms sleep that lets events run.
    bool waitForReply(const bool &replied);
    void autoCalibration(std::int16_t number, const QString &code, const QString &weight);
    void manualCalibration(std::int16_t number, const QString &code, const QString &weight,
                             const QString &logPrefix, const QString &logSuffix);

    static constexpr int kLoginWindowMs = 1000;
    static constexpr int kReadoutPaceMs = 40;
    QTimer m_readoutPace;
    std::optional<QString> m_pendingValue, m_pendingScale;
    QDeadlineTimer m_loginWindow{0};
    // "BG" commands sent and not answered yet, oldest first, with the time they went out: the
    // scale answers each with a "BG" that does not say which, so the records learn from here what
    // a reply confirmed. Entries older than kBgAnswerMs were never answered and are dropped.
    static constexpr qint64 kBgAnswerMs = 2000;
    std::deque<std::pair<qint64, qint16>> m_unansweredBg;
    QElapsedTimer m_bgClock;
    int m_heightTwips = kLoginHeightTwips;
    bool m_centred = false;
};
