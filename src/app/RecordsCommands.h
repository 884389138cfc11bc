#pragma once
// The service records from the command line, without a window or a port.

#include <QString>

class QTextStream;

namespace records {
class RecordStore;
}

// Lists the records of one scale (all scales for an empty indexNo), newest first. Exit status.
int listRecords(records::RecordStore &store, const QString &indexNo, QTextStream &out, QTextStream &err);

// Writes a record's certificate (pdfPath) and/or its readings as CSV (csvPath). Exit status.
// A record changed after it was closed is not exported; a certificate is only for a closed one.
int exportRecord(records::RecordStore &store, const QString &id, const QString &pdfPath, const QString &csvPath,
                 QTextStream &out, QTextStream &err);
