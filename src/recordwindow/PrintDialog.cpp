#include "PrintDialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
PrintDialogHandler &handler()
{
    static PrintDialogHandler h;
    return h;
}
} // namespace

void setPrintDialogHandler(PrintDialogHandler h)
{
    handler() = std::move(h);
}

bool choosePrinter(QPrinter &printer, QWidget *parent)
{
    if (handler())
        return handler()(printer);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}
