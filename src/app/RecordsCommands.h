#pragma once
// The service records from the command line, without a window or a port.

#include <QDate>
#include <QPageSize>
#include <QString>
#include <functional>

#include "Label.h"
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
// Lists the records of one scale (all scales for an empty indexNo), newest first, each closed one
// with who signed it. Exit status.
int listRecords(records::RecordStore &local, records::ServerLink *server, const QString &indexNo, QTextStream &out,
                QTextStream &err, const RecordCheck &check = {});

// Lists the scales due within `days` of `today` or overdue, from this computer's records and, with
// a server, every technician's; the same as CSV into csvPath when given. Exit status.
int listDue(records::RecordStore &local, records::ServerLink *server, int days, const QString &csvPath, const QDate &today,
            QTextStream &out, QTextStream &err);

// What --export-record writes of a record: its certificate (pdfPath), finished where
// `finishCertificate` can (its DCC attached, both signed); its DCC (dccPath), signed where
// `writeDcc` can; its label (labelPath); its readings as CSV (csvPath).
struct ExportRequest
{
    QString id;
    QString pdfPath, csvPath, dccPath, labelPath;
    QPageSize::PageSizeId paper = QPageSize::A4;
    records::LabelSize labelSize = records::LabelSize::Tape62;
    RecordCheck check;
    // A note where not all was done; `signedBy`: who signed the record, as the check said.
    std::function<QString(const records::Record &, const QString &path, const QDate &nextDue, const QString &signedBy)>
        finishCertificate;
    std::function<bool(const records::Record &, const QString &path, const QDate &nextDue, const QString &signedBy, QString *error,
                       QString *note)>
        writeDcc;
};
// Exit status. A record changed after it was closed, or whose signature is refused, is not
// exported; a certificate, DCC or label is only for a closed one.
int exportRecord(records::RecordStore &local, records::ServerLink *server, const ExportRequest &request, QTextStream &out,
                 QTextStream &err);
