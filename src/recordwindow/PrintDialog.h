#pragma once
// The system's print dialog, through one seam: tests answer it by setting the printer up (to a
// PDF file) instead.

#include <functional>

class QPrinter;
class QWidget;

// Whether the user chose to print; the printer is set up as chosen.
bool choosePrinter(QPrinter &printer, QWidget *parent);

using PrintDialogHandler = std::function<bool(QPrinter &printer)>;
void setPrintDialogHandler(PrintDialogHandler handler); // nullptr restores the real dialog
