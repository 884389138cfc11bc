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

bool IsInstalledCopy(const QString &programDir)
{
    return QFileInfo::exists(QDir(programDir).filePath(QStringLiteral(VANTOR_INSTALL_MARKER)));
}

QStringList LeftoversBesideProgram(const QString &programDir)
{
    if (!IsInstalledCopy(programDir))
        return {};
    static const QRegularExpression ours(QStringLiteral("^(vantor_cal\\.ini|LOG_(ERROR_)?[0-9]{8}\\.TXT|COM[0-9]+)$"));
    QStringList found;
    const auto files = QDir(programDir).entryInfoList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    for (const QFileInfo &file : files)
        if (ours.match(file.fileName()).hasMatch())
            found << file.filePath();
    return found;
}

QString ChooseDataDir(const QString &programDir)
{
    if (!IsInstalledCopy(programDir)) {
        const QFileInfo folder(programDir);
        if (folder.isWritable() || QFileInfo::exists(QDir(programDir).filePath(QStringLiteral("vantor_cal.ini"))))
            return programDir;
    }
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
