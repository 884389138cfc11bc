#include "SqlRows.h"

#include <QSqlQuery>
#include <QVariant>

namespace records {

RecordSummary summaryFromRow(const QSqlQuery &q, const QString &source)
{
    RecordSummary s;
    s.uuid = q.value(0).toString();
    s.indexNo = q.value(1).toString();
    s.revision = q.value(2).toInt();
    s.replaces = q.value(3).toString();
    s.openedAt = q.value(4).toDateTime().toUTC();
    s.closedAt = q.value(5).toDateTime().toUTC();
    s.verdict = verdictFromName(q.value(6).toString());
    s.userType = q.value(7).toString();
    s.calibratedAt = q.value(8).toDateTime().toUTC();
    s.source = source;
    return s;
}

std::optional<LoadedRecord> recordFromRows(QSqlQuery &q, const RecordId &id, const QString &asked,
                                           const std::function<void(const QString &why)> &fail)
{
    std::optional<LoadedRecord> found;
    while (q.next()) {
        if (id.revision > 0 && q.value(4).toInt() != id.revision)
            continue;
        if (found)
            fail(QStringLiteral("more than one record starts with %1").arg(asked));
        QString why;
        found = readStored(q.value(0).toString().toUtf8(), q.value(2).toBool(), q.value(1).toString(), q.value(3).toString(), &why);
        if (!found)
            fail(QStringLiteral("record %1 cannot be read: %2").arg(asked, why));
    }
    return found;
}

} // namespace records
