#include "Program.h"

#include <QCoreApplication>
#include <QFileInfo>

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

QString ExeName()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QStringLiteral("vantor_cal") : QFileInfo(path).completeBaseName();
}

} // namespace platform
