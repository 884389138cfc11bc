#pragma once
// The service records from the command line, without a window or a port.

#include <QDate>
#include <QPageSize>
#include <QString>
#include <functional>

#include "Record.h"

class QTextStream;

namespace records {
class RecordStore;
class ServerLink;
}

// Both read from the team's server when one is given (nullptr: none), and from this computer's
// store when it does not answer (said on err) or does not have the record.

// How a record read is checked (its signature, against the laboratory's trust) before it is used.
using RecordCheck = std::function<void(records::LoadedRecord &loaded)>;
// What signs a certificate PDF once written: "" where it did (or needs not), else why not.
using PdfSigner = std::function<QString(const records::Record &record, const QString &path)>;

// Lists the records of one scale (all scales for an empty indexNo), newest first, each closed one
// with who signed it. Exit status.
int listRecords(records::RecordStore &local, records::ServerLink *server, const QString &indexNo, QTextStream &out,
                QTextStream &err, const RecordCheck &check = {});

// Lists the scales due within `days` of `today` or overdue, from this computer's records and, with
// a server, every technician's; the same as CSV into csvPath when given. Exit status.
int listDue(records::RecordStore &local, records::ServerLink *server, int days, const QString &csvPath, const QDate &today,
            QTextStream &out, QTextStream &err);

// Writes a record's certificate (pdfPath), signed where `sign` can, and/or its readings as CSV
// (csvPath). Exit status. A record changed after it was closed, or whose signature is refused, is
// not exported; a certificate is only for a closed one. The certificate on the paper given.
int exportRecord(records::RecordStore &local, records::ServerLink *server, const QString &id, const QString &pdfPath,
                 const QString &csvPath, QPageSize::PageSizeId paper, QTextStream &out, QTextStream &err,
                 const RecordCheck &check = {}, const PdfSigner &sign = {});
