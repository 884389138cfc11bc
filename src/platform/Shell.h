#pragma once
// The shell call that opens a document for the user.
// On Windows the program is started with the parameters as given (notepad.exe <log file>).
// Elsewhere there is no Notepad: a request to start notepad.exe on a file opens that file with
// the desktop's default viewer for it.

#include <QString>
#include <functional>

class QWidget;

namespace platform {

void ShellExecute(QWidget *owner, const QString &operation, const QString &file,
                  const QString &parameters, const QString &directory, int showMode);

struct ShellRequest
{
    QString file;
    QString parameters;
};
// Tests see the request instead of a program being started (nullptr restores the real call).
void setShellHandler(std::function<void(const ShellRequest &)> handler);

} // namespace platform
