#pragma once
// A line of text asked of the user, through one seam: tests answer it instead.

#include <QString>
#include <functional>

class QWidget;

namespace platform {

// The text entered, trimmed; "" when the user cancelled or entered nothing.
QString InputBox(QWidget *parent, const QString &prompt, const QString &title, const QString &defaultText = {});

// A passphrase: typed unseen, kept as typed (not trimmed); "" when the user cancelled. Tests answer
// it through the same handler as InputBox.
QString PasswordBox(QWidget *parent, const QString &prompt, const QString &title);

using InputBoxHandler = std::function<QString(const QString &prompt)>;
void setInputBoxHandler(InputBoxHandler handler); // nullptr restores the real box

} // namespace platform
