#pragma once
// Rows of the records tables, read the same way from the SQLite file and from a server.

#include "RecordStore.h"

#include <QVariant>
#include <functional>

class QSqlQuery;

namespace records {

// A history row: uuid, index_no, revision, replaces, opened_at, closed_at, verdict, user_type,
// calibrated_at.
RecordSummary summaryFromRow(const QSqlQuery &q, const QString &source);

// A closed record's signature as the columns signature, certificates, signer_key and sequence keep
// it: nulls for a record without one.
struct SealColumns
{
    QVariant signature, certificates, key, sequence;
};
SealColumns sealColumns(const Record &r);

// Every closed record a query's rows hold (body, sha256, closed, verdict, revision, signature,
// certificates, uuid); those that cannot be read at all go to *unreadable, named, with why.
QList<LoadedRecord> recordsFromRows(QSqlQuery &q, QStringList *unreadable);

// The record a lookup found, from rows of body, sha256, closed, verdict, revision, signature and
// certificates; nullopt for
// none. `fail` is called, and throws, when two match or the one found cannot be read.
std::optional<LoadedRecord> recordFromRows(QSqlQuery &q, const RecordId &id, const QString &asked,
                                           const std::function<void(const QString &why)> &fail);

} // namespace records
