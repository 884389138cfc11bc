#include "MsgBox.h"
#include "Program.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {
namespace {
MsgBoxHandler &handler()
{
    static MsgBoxHandler h;
    return h;
}
} // namespace

void setMsgBoxHandler(MsgBoxHandler h)
{
    handler() = std::move(h);
}

int MsgBox(const QString &prompt, int style, const QString &title)
{
    MsgBoxRequest request{prompt, style, title.isEmpty() ? exeName() : title};
    if (handler())
        return handler()(request);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    box.setText(prompt);
    switch (style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    if ((style & 0x0F) == vbYesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        const int pressed = box.exec();
        return pressed == QMessageBox::Yes ? vbYes : pressed == QMessageBox::No ? vbNo : vbCancel;
    }
    if ((style & 0x0F) == vbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? vbYes : vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return vbOK;
}

} // namespace platform
