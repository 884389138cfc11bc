#pragma once
// The service records from the command line, without a window or a port.

#include <QDate>
#include <QPageSize>
#include <QString>

class QTextStream;

namespace records {
class RecordStore;
class ServerLink;
}

// Both read from the team's server when one is given (nullptr: none), and from this computer's
// store when it does not answer (said on err) or does not have the record.

// Lists the records of one scale (all scales for an empty indexNo), newest first. Exit status.
int listRecords(records::RecordStore &local, records::ServerLink *server, const QString &indexNo, QTextStream &out,
                QTextStream &err);

// Lists the scales due within `days` of `today` or overdue, from this computer's records and, with
// a server, every technician's; the same as CSV into csvPath when given. Exit status.
int listDue(records::RecordStore &local, records::ServerLink *server, int days, const QString &csvPath, const QDate &today,
            QTextStream &out, QTextStream &err);

// Writes a record's certificate (pdfPath) and/or its readings as CSV (csvPath). Exit status.
// A record changed after it was closed is not exported; a certificate is only for a closed one.
// The certificate on the paper given (A4 or Letter).
int exportRecord(records::RecordStore &local, records::ServerLink *server, const QString &id, const QString &pdfPath,
                 const QString &csvPath, QPageSize::PageSizeId paper, QTextStream &out, QTextStream &err);
