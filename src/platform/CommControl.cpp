#include "CommControl.h"
#include "PortNames.h"
#include "VbError.h"

#include <QFileInfo>
#include <QStringList>
#include <climits>

namespace platform {

CommControl::CommControl(QObject *parent)
    : QObject(parent), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &CommControl::onReadyRead);
    m_receive.setSingleShot(true);
    connect(&m_receive, &QTimer::timeout, this, &CommControl::deliverReceive);
    connect(m_port, &QSerialPort::errorOccurred, this, &CommControl::onError);
    m_resumeReads.setSingleShot(true);
    m_resumeReads.setTimerType(Qt::PreciseTimer);
    connect(&m_resumeReads, &QTimer::timeout, this, [this] {
        if (QSocketNotifier *notifier = readNotifier())
            notifier->setEnabled(true);
    });
}

CommControl::~CommControl()
{
    if (m_port->isOpen())
        m_port->close();
}

bool CommControl::PortOpen() const
{
    return m_port->isOpen();
}

QString CommControl::deviceName() const
{
    return m_port->isOpen() ? m_device : QString();
}

void CommControl::setPortOpen(bool open)
{
    if (!open) {
        if (m_port->isOpen())
            closePort();
        return;
    }
    if (m_port->isOpen())
        throw VbError(err::PortAlreadyOpen, QStringLiteral("Port already open"));

    // Open the device itself, not a link to it: the lock file is named after the path given.
    const QString device = resolvedPortDevice(m_commPort);
    if (device.isEmpty())
        throw VbError(err::InvalidPortNumber, QStringLiteral("Invalid port number"));
    m_port->setPortName(device);
    m_device = device;
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError why = m_port->error();
        const QString text = m_port->errorString();
        m_port->clearError();
        switch (why) {
        case QSerialPort::DeviceNotFoundError:
            throw VbError(err::InvalidPortNumber, QStringLiteral("Invalid port number"));
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError: {
            // Qt says "permission" both for a port held by another program and for one this
            // user may not open: tell the technician which.
            bool denied = false;
            const QString why = portRefusal(device, &denied);
            if (denied)
                throw VbError(err::HardwareNotAvailable, why);
            throw VbError(err::PortAlreadyOpen,
                          why.isEmpty() ? QStringLiteral("Port already open (%1)").arg(text) : why);
        }
        default:
            throw VbError(err::HardwareNotAvailable,
                          QStringLiteral("The hardware is not available (%1)").arg(text));
        }
    }
    m_port->setReadBufferSize(m_inBufferSize);
    try {
        applyLineSettings();
    } catch (const VbError &) {
        closePort();
        throw;
    }
    applyModemLines();
    m_port->clearError();
}

void CommControl::closePort()
{
    m_port->close();
    m_resumeReads.stop();
    m_readNotifier = nullptr; // Qt makes a new one when the port opens again
    m_sinceDelivery.invalidate();
}

bool CommControl::parseSettings(const QString &text, LineSettings *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;
    LineSettings s;
    s.baud = baud;
    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        s.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("E"))
        s.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("O"))
        s.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("M"))
        s.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        s.parity = QSerialPort::SpaceParity;
    else
        return false;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    s.dataBits = static_cast<QSerialPort::DataBits>(bits);
    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        s.stopBits = QSerialPort::TwoStop;
    else
        return false;
    *out = s;
    return true;
}

void CommControl::setSettings(const QString &settings)
{
    LineSettings parsed;
    if (!parseSettings(settings, &parsed))
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_settings = settings;
    m_line = parsed;
    if (m_port->isOpen())
        applyLineSettings();
}

void CommControl::applyLineSettings()
{
    const bool ok = m_port->setBaudRate(m_line.baud) && m_port->setParity(m_line.parity)
                    && m_port->setDataBits(m_line.dataBits) && m_port->setStopBits(m_line.stopBits)
                    && m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        const QString text = m_port->errorString();
        m_port->clearError();
        throw VbError(err::SetCommStateFailed, QStringLiteral("Could not set comm state (%1)").arg(text));
    }
}

void CommControl::applyModemLines()
{
    // A device without modem lines (a pseudo-terminal) refuses these; it is usable all the same.
    m_port->setDataTerminalReady(m_dtr);
    m_port->setRequestToSend(m_rts);
    m_port->clearError();
}

void CommControl::setDTREnable(bool on)
{
    m_dtr = on;
    if (m_port->isOpen())
        applyModemLines();
}

void CommControl::setRTSEnable(bool on)
{
    m_rts = on;
    if (m_port->isOpen())
        applyModemLines();
}

void CommControl::setRThreshold(int bytes)
{
    if (bytes < 0)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_rThreshold = bytes;
}

void CommControl::setSThreshold(int bytes)
{
    if (bytes < 0)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_sThreshold = bytes;
}

void CommControl::setInBufferSize(int bytes)
{
    if (bytes <= 0)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_inBufferSize = bytes;
    m_port->setReadBufferSize(bytes);
}

void CommControl::setOutBufferSize(int bytes)
{
    if (bytes <= 0)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_outBufferSize = bytes;
}

void CommControl::setInputMode(int mode)
{
    if (mode != 1)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
}

void CommControl::setInputLen(int bytes)
{
    if (bytes < 0)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_inputLen = bytes;
}

void CommControl::setCommPort(int port)
{
    if (m_port->isOpen())
        throw VbError(err::PortOpenNotValid,
                      QStringLiteral("Operation not valid while the port is opened"));
    if (port < 1)
        throw VbError(err::InvalidPortNumber, QStringLiteral("Invalid port number"));
    m_commPort = port;
}

int CommControl::InBufferCount() const
{
    if (!m_port->isOpen())
        return 0;
    return static_cast<int>(qMin<qint64>(m_port->bytesAvailable(), INT_MAX));
}

void CommControl::setInBufferCount(int count)
{
    if (count != 0)
        throw VbError(err::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    if (m_port->isOpen())
        m_port->clear(QSerialPort::Input);
}

QByteArray CommControl::Input()
{
    if (!m_port->isOpen())
        throw VbError(err::PortNotOpen, QStringLiteral("Operation valid only when the port is open"));
    return m_inputLen > 0 ? m_port->read(m_inputLen) : m_port->readAll();
}

void CommControl::Output(const QByteArray &bytes)
{
    if (!m_port->isOpen())
        throw VbError(err::PortNotOpen, QStringLiteral("Operation valid only when the port is open"));
    m_port->write(bytes);
    m_port->flush(); // hand the bytes to the driver now; the rest goes out from the event loop
}

void CommControl::onReadyRead()
{
    // Never raise OnComm from inside readyRead: QSerialPort would not emit readyRead again while
    // a handler runs a nested event loop. One delivery covers every byte that waits.
    if (!m_receive.isActive())
        m_receive.start(0);
}

void CommControl::deliverReceive()
{
    if (!m_port->isOpen() || m_rThreshold <= 0 || m_port->bytesAvailable() < m_rThreshold)
        return;
    m_commEvent = comEvReceive;
    emit OnComm();
    restReadsWhileBusy();
}

void CommControl::restReadsWhileBusy()
{
    const bool busy = m_sinceDelivery.isValid() && m_sinceDelivery.elapsed() < kBusyMs;
    m_sinceDelivery.start();
    if (!busy || !m_port->isOpen())
        return;
    // QSerialPort enables its notifier again whenever the buffer is read; the handler has read
    // by now, so the rest lasts until the timer ends it.
    if (QSocketNotifier *notifier = readNotifier()) {
        notifier->setEnabled(false);
        m_resumeReads.start(kBatchMs);
    }
}

QSocketNotifier *CommControl::readNotifier()
{
#ifdef Q_OS_WIN
    // QSerialPort reads through overlapped I/O there (its handle is a HANDLE, not a descriptor):
    // there is no socket notifier to rest, and every arrival is delivered at once.
    return nullptr;
#else
    if (!m_readNotifier && m_port->isOpen()) {
        const auto notifiers = m_port->findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly);
        for (QSocketNotifier *n : notifiers)
            if (n->type() == QSocketNotifier::Read && n->socket() == m_port->handle())
                m_readNotifier = n;
    }
    return m_readNotifier;
#endif
}

void CommControl::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The device is gone. Qt keeps reporting the error from the read notifier until the port is
    // closed, so close it now, outside the notifier's own emission.
    m_port->clearError();
    if (m_lossPosted)
        return;
    m_lossPosted = true;
    QMetaObject::invokeMethod(this, [this] {
        m_lossPosted = false;
        if (!m_port->isOpen())
            return;
        closePort();
        m_commEvent = deviceLostEvent;
        emit OnComm();
    }, Qt::QueuedConnection);
}

} // namespace platform
