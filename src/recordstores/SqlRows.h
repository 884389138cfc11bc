#pragma once
// Rows of the records tables, read the same way from the SQLite file and from a server.

#include "RecordStore.h"

#include <functional>

class QSqlQuery;

namespace records {

// A history row: uuid, index_no, revision, replaces, opened_at, closed_at, verdict, user_type,
// calibrated_at.
RecordSummary summaryFromRow(const QSqlQuery &q, const QString &source);

// The record a lookup found, from rows of body, sha256, closed, verdict, revision; nullopt for
// none. `fail` is called, and throws, when two match or the one found cannot be read.
std::optional<LoadedRecord> recordFromRows(QSqlQuery &q, const RecordId &id, const QString &asked,
                                           const std::function<void(const QString &why)> &fail);

} // namespace records
