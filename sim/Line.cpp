#include "Line.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#if defined(Q_OS_MACOS)
#include <util.h>
#else
#include <pty.h>
#endif
#endif

namespace sim {
namespace {

#ifndef Q_OS_WIN
class PtyLine : public Line
{
public:
    PtyLine(const QString &dir, int port)
        : m_link(QDir(dir).filePath(QStringLiteral("COM%1").arg(port))) {}
    ~PtyLine() override
    {
        unplug();
        QFile::remove(m_link);
    }

    bool plug(QString *error) override
    {
        if (isPlugged())
            return true;
        int slave = -1;
        char name[256] = {};
        if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            *error = QStringLiteral("cannot create a pseudo-terminal");
            return false;
        }
        termios tio{};
        tcgetattr(m_master, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B38400);
        tcsetattr(m_master, TCSANOW, &tio);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_slave = slave; // held, so the line stays up while no console has it open
        m_slaveName = QString::fromLocal8Bit(name);
        QFile::remove(m_link);
        if (!QFile::link(m_slaveName, m_link)) {
            *error = QStringLiteral("cannot create the link %1").arg(m_link);
            unplug();
            return false;
        }
        m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                emit received(QByteArray(buf, n));
        });
        return true;
    }

    void unplug() override
    {
        m_notifier.reset();
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
        m_master = m_slave = -1;
    }

    bool isPlugged() const override { return m_master >= 0; }

    void write(const QByteArray &bytes) override
    {
        // Nothing reads the line while no console has it open: what does not fit is lost.
        if (m_master >= 0 && ::write(m_master, bytes.constData(), size_t(bytes.size())) < 0)
            return;
    }

    QString description() const override
    {
        return QStringLiteral("%1 -> %2").arg(m_link, m_slaveName);
    }

private:
    QString m_link;
    QString m_slaveName;
    int m_master = -1;
    int m_slave = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
#endif

class SerialLine : public Line
{
public:
    explicit SerialLine(const QString &device) : m_port(device)
    {
        connect(&m_port, &QSerialPort::readyRead, this, [this] { emit received(m_port.readAll()); });
        connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError)
                QMetaObject::invokeMethod(this, [this] { unplug(); }, Qt::QueuedConnection);
        });
    }

    bool plug(QString *error) override
    {
        if (m_port.isOpen())
            return true;
        if (!m_port.open(QIODevice::ReadWrite)) {
            *error = m_port.errorString();
            return false;
        }
        m_port.setBaudRate(38400);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        return true;
    }
    void unplug() override { m_port.close(); }
    bool isPlugged() const override { return m_port.isOpen(); }
    void write(const QByteArray &bytes) override
    {
        if (m_port.isOpen())
            m_port.write(bytes);
    }
    QString description() const override { return m_port.portName(); }

private:
    QSerialPort m_port;
};

} // namespace

std::unique_ptr<Line> makePtyLine(const QString &dir, int port)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dir);
    Q_UNUSED(port);
    return nullptr;
#else
    return std::make_unique<PtyLine>(dir, port);
#endif
}

std::unique_ptr<Line> makeSerialLine(const QString &device)
{
    return std::make_unique<SerialLine>(device);
}

} // namespace sim
