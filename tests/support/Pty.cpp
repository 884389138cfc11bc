#include "Pty.h"

#include "Program.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif

namespace testsupport {

Pty::Pty()
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio); // no echo, no line editing: bytes pass as they are
    tcsetattr(master, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    m_master = master;
    m_slaveKeep = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    for (int fd : {m_master, m_slaveKeep})
        if (fd >= 0)
            ::close(fd);
}

bool Pty::linkAs(const QString &dir, int port) const
{
    const QString link = dir + QStringLiteral("/COM%1").arg(port);
    QFile::remove(link);
    return QFile::link(m_slavePath, link);
}

void Pty::write(const QByteArray &bytes) const
{
    qsizetype done = 0;
    const QDeadlineTimer limit(10000); // a reader that never drains the line
    while (done < bytes.size() && !limit.hasExpired()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else // full: let the program under test (often in this process) read
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
}

QByteArray Pty::read(int count, int timeoutMs) const
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        }
    }
    return got;
}

QByteArray Pty::drain(int quietMs) const
{
    QByteArray got;
    QDeadlineTimer quiet(quietMs);
    const QDeadlineTimer limit(3000); // a line that never falls silent
    while (!quiet.hasExpired() && !limit.hasExpired()) {
        const QByteArray more = read(1 << 20, 10);
        if (!more.isEmpty()) {
            got += more;
            quiet.setRemainingTime(quietMs);
        }
    }
    return got;
}

ProgramFolder::ProgramFolder()
{
    platform::setProgramDirForTesting(m_dir.path());
}

ProgramFolder::~ProgramFolder()
{
    platform::setProgramDirForTesting(QString());
}

QByteArray ProgramFolder::read(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ProgramFolder::write(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace testsupport
