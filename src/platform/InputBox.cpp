#include "InputBox.h"

#include <QInputDialog>

namespace platform {
namespace {
InputBoxHandler &handler()
{
    static InputBoxHandler h;
    return h;
}
} // namespace

void setInputBoxHandler(InputBoxHandler h)
{
    handler() = std::move(h);
}

QString InputBox(QWidget *parent, const QString &prompt, const QString &title, const QString &defaultText)
{
    if (handler())
        return handler()(prompt).trimmed();
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text.trimmed() : QString();
}

} // namespace platform
