#include "PortNames.h"
#include "Program.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString portDeviceName(int n)
{
    if (n < 1 || n > 255)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QString link = QDir(dataDir()).filePath(QStringLiteral("COM%1").arg(n));
    const QFileInfo info(link);
    if (info.exists() || info.isSymLink())
        return link;
#  ifdef Q_OS_LINUX
    if (n <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 1);
    if (n <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 9);
    if (n <= 16)
        return QStringLiteral("/dev/ttyS%1").arg(n - 13);
#  endif
    return {};
#endif
}

QString resolvedPortDevice(int n)
{
    const QString name = portDeviceName(n);
#ifdef Q_OS_WIN
    return name;
#else
    if (name.isEmpty())
        return {};
    return QFileInfo(name).canonicalFilePath(); // "" when the link points nowhere
#endif
}

} // namespace platform

#include <QDir>
#include <QLockFile>
#include <QSerialPortInfo>
#include <QStringList>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

#ifndef Q_OS_WIN
// The lock files other serial programs may hold for the device, in the folders QSerialPort uses.
QStringList lockFilesFor(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    static const char *folders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                    "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};
    QStringList files;
    for (const char *folder : folders)
        files << QString::fromLatin1(folder) + QStringLiteral("/LCK..") + name;
    return files;
}

// The process id of a live holder of the device's lock file, 0 for an unknown one; nullopt when
// no live program holds it (a dead one's file counts as stale and is taken over).
std::optional<qint64> lockHolder(const QString &device)
{
    for (const QString &file : lockFilesFor(device)) {
        if (!QFileInfo::exists(file))
            continue;
        QLockFile lock(file);
        lock.setStaleLockTime(0); // only a holder that has died makes a lock stale, not its age
        if (lock.tryLock(0)) {
            lock.unlock();
            continue;
        }
        qint64 pid = 0;
        lock.getLockInfo(&pid, nullptr, nullptr);
        return pid;
    }
    return std::nullopt;
}

bool lockedByAnotherHolder(const QString &device)
{
    return lockHolder(device).has_value();
}

bool deniedToThisUser(const QString &device)
{
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
}
#endif

} // namespace

bool portCanBeOpened(int n)
{
#ifdef Q_OS_WIN
    if (n < 1)
        return false;
    const QString name = n < 10 ? QStringLiteral("COM%1").arg(n) : QStringLiteral("\\\\.\\COM%1").arg(n);
    const HANDLE h = CreateFileA(name.toLatin1().constData(), 0, 3, nullptr, 3, 128, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
#else
    const QString device = resolvedPortDevice(n);
    if (device.isEmpty() || lockedByAnotherHolder(device))
        return false;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
#endif
}

QString permissionRemedy()
{
#ifdef Q_OS_LINUX
    return QStringLiteral("add the user to the dialout group (sudo usermod -aG dialout $USER) and log in again.");
#else
    return QStringLiteral("ask the administrator for access to the serial ports.");
#endif
}

QString portRefusal(const QString &device, bool *denied)
{
    if (denied)
        *denied = false;
#ifdef Q_OS_WIN
    Q_UNUSED(device)
    return {};
#else
    if (device.isEmpty())
        return {};
    if (deniedToThisUser(device)) {
        if (denied)
            *denied = true;
        return QStringLiteral("Permission denied for %1: ").arg(device) + permissionRemedy();
    }
    if (const auto pid = lockHolder(device))
        return *pid > 0 ? QStringLiteral("Port already open by another program (process %1)").arg(*pid)
                        : QStringLiteral("Port already open by another program");
    return {};
#endif
}

int portsDeniedToThisUser()
{
    int count = 0;
    for (int n = 1; n <= 16; ++n) {
        bool denied = false;
        portRefusal(resolvedPortDevice(n), &denied);
        count += denied ? 1 : 0;
    }
    return count;
}

QString portDescription(int n)
{
    const QString name = portDeviceName(n);
    const QString device = resolvedPortDevice(n);
    QString text = QStringLiteral("COM%1").arg(n);
    if (!name.isEmpty() && name != text)
        text += QStringLiteral(": ") + name;
    if (!device.isEmpty() && device != name)
        text += QStringLiteral(" -> ") + device;
    const QSerialPortInfo info(device.isEmpty() ? name : device);
    if (!info.description().isEmpty())
        text += QStringLiteral("\n") + info.description();
    if (info.hasVendorIdentifier() && info.hasProductIdentifier())
        text += QStringLiteral("\nUSB %1:%2")
                    .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                    .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
    return text;
}

} // namespace platform
