#pragma once
// The "save as" dialog, through one seam: tests answer it with a file name instead.

#include <QString>
#include <functional>

class QWidget;

namespace platform {

// The file the user chose to write, or "" when cancelled.
QString saveFileName(QWidget *parent, const QString &caption, const QString &suggested, const QString &filter);

using SaveFileNameHandler = std::function<QString(const QString &caption, const QString &suggested)>;
void setSaveFileNameHandler(SaveFileNameHandler handler); // nullptr restores the real dialog

} // namespace platform
