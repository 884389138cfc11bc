#pragma once
// What a record gives the customer: the certificate, written as a PDF or printed (the record
// number and "Page x of y" on every page, A4 or Letter), and a CSV file of the readings (RFC 4180,
// a point as the decimal separator).

#include "Record.h"

#include <QDate>
#include <QLocale>
#include <QPageSize>

class QPagedPaintDevice;

namespace records {

// Letter where the locale's country uses it (the United States, Canada, Mexico and a few more),
// else A4.
QPageSize::PageSizeId defaultPaper(const QLocale &locale = QLocale());
// "A4" or "Letter" from the settings; anything else: the locale's.
QPageSize::PageSizeId paperFromName(const QString &name);

// Writes the certificate; false with *error set when the file cannot be written. `nextDue`: the
// next calibration as agreed with the customer (nextDueOf), stated only when valid.
bool writeCertificate(const Record &record, const QString &path, QString *error,
                      QPageSize::PageSizeId paper = defaultPaper(), const QDate &nextDue = {});
// Draws the certificate on a device its owner has set up (a printer); false with *error set.
bool printCertificate(const Record &record, QPagedPaintDevice &device, QString *error, const QDate &nextDue = {});

// The readings as CSV: one line per reading a point held and per point not performed.
QByteArray readingsCsv(const Record &record);
bool writeReadingsCsv(const Record &record, const QString &path, QString *error);

} // namespace records
