#pragma once
// The serial control the console drives, over QSerialPort, with the members it relies on.
//
//   PortOpen        get: open or not. put true: opens the device that CommPort names with the
//                   current settings; put false: closes it.
//   Settings        "baud,parity,data,stop", e.g. "38400,N,8,1".
//   DTREnable, RTSEnable   asserted while open (a device without modem lines, such as a
//                   pseudo-terminal, is accepted as it is).
//   RThreshold      OnComm with CommEvent 2 once this many bytes wait (0: never).
//   SThreshold      stored; no send event is raised.
//   InBufferSize    bound on the bytes held for reading; OutBufferSize stored.
//   InputMode       only 1 (raw bytes) is supported.
//   InputLen        most bytes one Input read returns (0: all that wait).
//   CommPort        the port number, see PortNames.h.
//   InBufferCount   get: bytes waiting; put 0: discards them.
//   Input / Output  take waiting bytes in arrival order / write bytes in one piece.
//
// OnComm is raised from an event of its own on the owner's thread (a zero-time timer, which
// unlike a posted event needs no wake-up of the event loop) and never from inside QSerialPort's
// readyRead emission, so a handler that runs a nested event loop (a wait, a message box) is
// entered again when more bytes arrive.
//
// A line that keeps sending (a scale reporting up to 225 times a second) is read in batches:
// when a delivery follows the previous one within kBusyMs, QSerialPort's read notifier (its
// child QSocketNotifier on Unix) rests for kBatchMs while further bytes gather in the driver's
// queue, so the program wakes about a hundred times a second instead of once a frame. A reply on
// a quiet line is delivered at once. Where QSerialPort reads without a socket notifier (Windows),
// every arrival is delivered at once, as before.
//
// Losing the device (adapter pulled, far end of a pseudo-terminal closed) closes the port:
// PortOpen reads false afterwards and the loss is reported once with CommEvent 1010.
//
// Errors are thrown as platform::VbError (numbers in VbError.h):
//   380  Settings text that cannot be parsed, InputMode other than 1, a negative size
//   8000 CommPort changed while the port is open
//   8002 the port number names no device (also raised by CommPort put for numbers below 1)
//   8005 the port is open already, here or in another program (lock file or exclusive open)
//   8010 the device exists but cannot be opened for another reason (permissions, ...)
//   8015 the device refused the line settings
//   8018 Input or Output while the port is closed

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

namespace platform {

class CommControl : public QObject
{
    Q_OBJECT
public:
    static constexpr int comEvReceive = 2;
    static constexpr int deviceLostEvent = 1010;

    explicit CommControl(QObject *parent = nullptr);
    ~CommControl() override;

    bool PortOpen() const;
    void setPortOpen(bool open);

    QString Settings() const { return m_settings; }
    void setSettings(const QString &settings);
    void setDTREnable(bool on);
    void setRTSEnable(bool on);
    void setRThreshold(int bytes);
    void setSThreshold(int bytes);
    void setInBufferSize(int bytes);
    void setOutBufferSize(int bytes);
    void setInputMode(int mode);
    void setInputLen(int bytes);
    int CommPort() const { return m_commPort; }
    void setCommPort(int port);
    int InBufferCount() const;
    void setInBufferCount(int count);
    QByteArray Input();
    void Output(const QByteArray &bytes);
    int CommEvent() const { return m_commEvent; }

    int InBufferSize() const { return m_inBufferSize; }
    int InputLen() const { return m_inputLen; }

    // The device path of the open port ("" while closed).
    QString deviceName() const;

signals:
    void OnComm();

private:
    struct LineSettings
    {
        qint32 baud = 9600;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    };
    static bool parseSettings(const QString &text, LineSettings *out);
    void closePort();
    void applyLineSettings();
    void applyModemLines();
    void onReadyRead();
    void deliverReceive();
    void restReadsWhileBusy();
    QSocketNotifier *readNotifier();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort *m_port = nullptr;
    QString m_device;
    QString m_settings = QStringLiteral("9600,N,8,1");
    LineSettings m_line;
    bool m_dtr = false;
    bool m_rts = false;
    int m_rThreshold = 0;
    int m_sThreshold = 0;
    int m_inBufferSize = 1024;
    int m_outBufferSize = 512;
    int m_inputLen = 0;
    int m_commPort = 1;
    int m_commEvent = 0;
    QTimer m_receive; // single shot, 0 ms: delivers OnComm for every byte that waits
    bool m_lossPosted = false;

    static constexpr int kBusyMs = 50;
    static constexpr int kBatchMs = 10;
    QElapsedTimer m_sinceDelivery;
    QTimer m_resumeReads; // single shot: ends a rest of the read notifier
    QPointer<QSocketNotifier> m_readNotifier;
};

} // namespace platform
