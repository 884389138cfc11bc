#include "FileDialog.h"

#include <QFileDialog>

namespace platform {
namespace {
SaveFileNameHandler &handler()
{
    static SaveFileNameHandler h;
    return h;
}
} // namespace

void setSaveFileNameHandler(SaveFileNameHandler h)
{
    handler() = std::move(h);
}

QString saveFileName(QWidget *parent, const QString &caption, const QString &suggested, const QString &filter)
{
    if (handler())
        return handler()(caption, suggested);
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

} // namespace platform
