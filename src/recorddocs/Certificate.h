#pragma once
// What a record gives the customer: a PDF certificate (A4, the record number and "page x of y"
// on every page) and a CSV file of the readings (RFC 4180, a point as the decimal separator).

#include "Record.h"

namespace records {

// Writes the certificate; false with *error set when the file cannot be written.
bool writeCertificate(const Record &record, const QString &path, QString *error);

// The readings as CSV: one line per reading of both phases, with a header line.
QByteArray readingsCsv(const Record &record);
bool writeReadingsCsv(const Record &record, const QString &path, QString *error);

} // namespace records
