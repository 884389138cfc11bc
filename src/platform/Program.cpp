#include "Program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {
namespace {
QString &programDirOverride()
{
    static QString dir;
    return dir;
}
} // namespace

QString ProgramDir()
{
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirForTesting(const QString &dir)
{
    programDirOverride() = dir;
}

QString ChooseDataDir(const QString &programDir)
{
    const QFileInfo folder(programDir);
    if (folder.isWritable() || QFileInfo::exists(QDir(programDir).filePath(QStringLiteral("vantor_cal.ini"))))
        return programDir;
    // The console's AppLocalDataLocation, named so that the virtual scale finds the same folder.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                         + QStringLiteral("/vantor_cal");
    QDir().mkpath(data);
    return data;
}

QString DataDir()
{
    if (!programDirOverride().isEmpty())
        return ChooseDataDir(programDirOverride());
    static const QString dir = ChooseDataDir(ProgramDir());
    return dir;
}

void preferLightweightGuiBackends()
{
    for (const char *name : {"QT_NO_GLIB", "QT_XCB_NO_MITSHM"})
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, "1");
}

QString ExeName()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QStringLiteral("vantor_cal") : QFileInfo(path).completeBaseName();
}

} // namespace platform
