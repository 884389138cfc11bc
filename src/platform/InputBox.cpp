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

QString PasswordBox(QWidget *parent, const QString &prompt, const QString &title)
{
    if (handler())
        return handler()(prompt);
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Password, QString(), &ok);
    return ok ? text : QString();
}

} // namespace platform
