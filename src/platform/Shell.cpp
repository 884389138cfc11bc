#include "Shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform {
namespace {
std::function<void(const ShellRequest &)> &handler()
{
    static std::function<void(const ShellRequest &)> h;
    return h;
}
} // namespace

void setShellHandler(std::function<void(const ShellRequest &)> h)
{
    handler() = std::move(h);
}

void ShellExecute(QWidget *, const QString &, const QString &file, const QString &parameters,
                  const QString &directory, int)
{
    if (handler()) {
        handler()({file, parameters});
        return;
    }
#ifdef Q_OS_WIN
    QProcess::startDetached(file, parameters.isEmpty() ? QStringList() : QStringList{parameters},
                            directory);
#else
    Q_UNUSED(directory);
    if (file.compare(QLatin1String("notepad.exe"), Qt::CaseInsensitive) == 0)
        QDesktopServices::openUrl(QUrl::fromLocalFile(parameters));
    else
        QProcess::startDetached(file, parameters.isEmpty() ? QStringList() : QStringList{parameters});
#endif
}

} // namespace platform
