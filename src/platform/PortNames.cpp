#include "PortNames.h"
#include "Program.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString PortDeviceName(int n)
{
    if (n < 1 || n > 255)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QString link = QDir(ProgramDir()).filePath(QStringLiteral("COM%1").arg(n));
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

QString ResolvedPortDevice(int n)
{
    const QString name = PortDeviceName(n);
#ifdef Q_OS_WIN
    return name;
#else
    if (name.isEmpty())
        return {};
    return QFileInfo(name).canonicalFilePath(); // "" when the link points nowhere
#endif
}

} // namespace platform
