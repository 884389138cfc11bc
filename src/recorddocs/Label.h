#pragma once
// The label a technician sticks on the scale: who calibrated it and when, until when, with what
// result, and a QR code that names the record and its digest, so that an auditor on the floor can
// check it against the records (vantor_cal --verify with the code's text). A PDF page at a label
// printer's size: 62 mm wide continuous tape (62 x 29 mm), or 50 x 30 mm die-cut labels.

#include "Record.h"

#include <QDate>
#include <QImage>
#include <optional>

class QPagedPaintDevice;

namespace records {

enum class LabelSize { Tape62, DieCut50x30 };
// "62mm" or "50x30mm" (as [Label] Size says); anything else: the tape.
LabelSize labelSizeFromName(const QString &name);
QSizeF labelSizeMm(LabelSize size);

// What the QR code holds: "VANTOR-RECORD:<certificate number>;SHA256:<the record's SHA-256>".
QString labelCode(const Record &record);
struct LabelCode
{
    QString number;
    QString sha256;
};
// A scanned code read back; nullopt for text that is not one.
std::optional<LabelCode> parseLabelCode(const QString &text);

// The QR code of a text, a pixel a module, with a quiet zone of 4 modules; a null image where it
// cannot be made.
QImage qrCode(const QString &text);

// The label as a PDF at its size, or printed on a label printer's page. The laboratory is the
// record's provider. False with *error set for a record that is open or was discarded, or a file
// that cannot be written.
bool writeLabel(const Record &record, const QString &path, LabelSize size, const QDate &nextDue, QString *error);
bool printLabel(const Record &record, QPagedPaintDevice &device, const QDate &nextDue, QString *error);

} // namespace records
