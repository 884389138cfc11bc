#include "Program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace platform {
namespace {
QString &programDirOverride()
{
    static QString dir;
    return dir;
}
} // namespace

QString programDir()
{
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirForTesting(const QString &dir)
{
    programDirOverride() = dir;
}

bool isInstalledCopy(const QString &folder)
{
    return QFileInfo::exists(QDir(folder).filePath(QStringLiteral(VANTOR_INSTALL_MARKER)));
}

QStringList leftoversBesideProgram(const QString &folder)
{
    if (!isInstalledCopy(folder))
        return {};
    static const QRegularExpression ours(QStringLiteral("^(vantor_cal\\.ini|LOG_(ERROR_)?[0-9]{8}\\.TXT|COM[0-9]+)$"));
    QStringList found;
    const auto files = QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    for (const QFileInfo &file : files)
        if (ours.match(file.fileName()).hasMatch())
            found << file.filePath();
    return found;
}

QString chooseDataDir(const QString &folder)
{
    if (!isInstalledCopy(folder)) {
        if (QFileInfo(folder).isWritable() || QFileInfo::exists(QDir(folder).filePath(QStringLiteral("vantor_cal.ini"))))
            return folder;
    }
    // The console's AppLocalDataLocation, named so that the virtual scale finds the same folder.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                         + QStringLiteral("/vantor_cal");
    QDir().mkpath(data);
    return data;
}

QString dataDir()
{
    if (!programDirOverride().isEmpty())
        return chooseDataDir(programDirOverride());
    static const QString dir = chooseDataDir(programDir());
    return dir;
}

void preferLightweightGuiBackends()
{
    for (const char *name : {"QT_NO_GLIB", "QT_XCB_NO_MITSHM"})
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, "1");
}

QString exeName()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QStringLiteral("vantor_cal") : QFileInfo(path).completeBaseName();
}

} // namespace platform
