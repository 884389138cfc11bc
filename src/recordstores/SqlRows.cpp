#include "SqlRows.h"

#include "Parallel.h"

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

SealColumns sealColumns(const Record &r)
{
    const QVariant none{QMetaType(QMetaType::QString)};
    if (!r.closed() || r.seal.empty())
        return {none, none, none, QVariant(QMetaType(QMetaType::Int))};
    return {QString::fromLatin1(r.seal.signature.toBase64()), QString::fromUtf8(r.seal.certificates),
            r.chain ? QVariant(r.chain->key) : none, r.chain ? QVariant(r.chain->sequence) : QVariant(QMetaType(QMetaType::Int))};
}

namespace {
std::optional<LoadedRecord> fromRow(const QSqlQuery &q, QString *why)
{
    const Seal seal{QByteArray::fromBase64(q.value(5).toString().toLatin1()), q.value(6).toString().toUtf8()};
    return readStored(q.value(0).toString().toUtf8(), q.value(2).toBool(), q.value(1).toString(), q.value(3).toString(), why, seal);
}
} // namespace

QList<LoadedRecord> recordsFromRows(QSqlQuery &q, QStringList *unreadable)
{
    struct Row
    {
        QByteArray body;
        bool closed = false;
        QString sha256, verdict, signature, certificates, number;
        std::optional<LoadedRecord> loaded;
        QString why;
    };
    std::vector<Row> rows;
    while (q.next())
        rows.push_back({q.value(0).toString().toUtf8(), q.value(2).toBool(), q.value(1).toString(), q.value(3).toString(),
                        q.value(5).toString(), q.value(6).toString(), recordNumber(q.value(7).toString(), q.value(4).toInt()), {}, {}});
    inParallel(int(rows.size()), [&rows](int i, int) { // reading a record is most of the work
        Row &r = rows[size_t(i)];
        r.loaded = readStored(r.body, r.closed, r.sha256, r.verdict, &r.why,
                              Seal{QByteArray::fromBase64(r.signature.toLatin1()), r.certificates.toUtf8()});
    });
    QList<LoadedRecord> out;
    for (Row &r : rows) {
        if (r.loaded)
            out << std::move(*r.loaded);
        else
            *unreadable << QStringLiteral("%1: cannot be read: %2").arg(r.number, r.why);
    }
    return out;
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
        found = fromRow(q, &why);
        if (!found)
            fail(QStringLiteral("record %1 cannot be read: %2").arg(asked, why));
    }
    return found;
}

} // namespace records
