#pragma once
// Message boxes, all through one seam. The real box is modal for the user but lets serial
// reception and timers run while it is open. Tests install a handler that answers instead.

#include <QString>
#include <functional>

namespace platform {

enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};

enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

struct MsgBoxRequest
{
    QString prompt;
    int style = vbOKOnly; // buttons + icon
    QString title;        // the executable's name when not given
};

// Shows the box and returns the button pressed.
int MsgBox(const QString &prompt, int style = vbOKOnly, const QString &title = {});

using MsgBoxHandler = std::function<int(const MsgBoxRequest &)>;
// Replaces the real box (nullptr restores it).
void setMsgBoxHandler(MsgBoxHandler handler);

} // namespace platform
