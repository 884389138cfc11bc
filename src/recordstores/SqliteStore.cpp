#include "SqliteStore.h"

#include "Intervals.h"
#include "SqlRows.h"

#include <QDir>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace records {
namespace {

// Causes in the technician's words, where SQLite's are terse.
QString cause(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (text.contains(QLatin1String("locked")) || text.contains(QLatin1String("busy")))
        return QStringLiteral("it is locked by another console or program (%1)").arg(text);
    if (text.contains(QLatin1String("not a database")) || text.contains(QLatin1String("malformed")))
        return QStringLiteral("it is damaged or not a records file (%1)").arg(text);
    if (text.contains(QLatin1String("readonly")) || text.contains(QLatin1String("read-only")))
        return QStringLiteral("it may not be written (%1)").arg(text);
    return text;
}

// The statements that make each schema version from the one before.
const QList<QStringList> kSchemaSteps = {
    {QStringLiteral("CREATE TABLE instruments (index_no TEXT PRIMARY KEY, body TEXT NOT NULL)"),
     QStringLiteral("CREATE TABLE records (uuid TEXT PRIMARY KEY, index_no TEXT NOT NULL, revision INTEGER NOT NULL, "
                    "replaces TEXT, opened_at TEXT NOT NULL, closed_at TEXT, user_type TEXT NOT NULL, verdict TEXT, "
                    "sha256 TEXT, body TEXT NOT NULL)"),
     QStringLiteral("CREATE INDEX records_by_scale ON records (index_no, opened_at)"),
     QStringLiteral("CREATE TRIGGER closed_records_never_change BEFORE UPDATE ON records WHEN OLD.closed_at IS NOT NULL "
                    "BEGIN SELECT RAISE(ABORT, 'a closed record never changes'); END"),
     QStringLiteral("CREATE TRIGGER closed_records_stay BEFORE DELETE ON records WHEN OLD.closed_at IS NOT NULL "
                    "BEGIN SELECT RAISE(ABORT, 'a closed record is never deleted'); END")},
    // 2: closed records waiting to go to a records server.
    {QStringLiteral("CREATE TABLE outbox (uuid TEXT PRIMARY KEY, queued_at TEXT NOT NULL)")},
    // 3: instrument descriptions (with their customers) waiting for the server.
    {QStringLiteral("CREATE TABLE instrument_outbox (index_no TEXT PRIMARY KEY, queued_at TEXT NOT NULL)")},
    // 4: the calibration intervals agreed with customers, each change kept, and those waiting for the server.
    {QStringLiteral("CREATE TABLE intervals (index_no TEXT NOT NULL, months INTEGER NOT NULL, agreed_on TEXT, "
                    "changed_by TEXT NOT NULL, changed_at TEXT NOT NULL, PRIMARY KEY (index_no, changed_at))"),
     QStringLiteral("CREATE TRIGGER intervals_never_change BEFORE UPDATE ON intervals "
                    "BEGIN SELECT RAISE(ABORT, 'an agreed interval is kept as it was entered'); END"),
     QStringLiteral("CREATE TRIGGER intervals_stay BEFORE DELETE ON intervals "
                    "BEGIN SELECT RAISE(ABORT, 'an agreed interval is kept as it was entered'); END"),
     QStringLiteral("CREATE TABLE interval_outbox (index_no TEXT NOT NULL, changed_at TEXT NOT NULL, queued_at TEXT NOT NULL, "
                    "PRIMARY KEY (index_no, changed_at))")},
    // 5: when each record's scale was first read, the day its calibration counts from; the
    // records kept so far get theirs from their readings (the trigger steps aside for that alone).
    {QStringLiteral("ALTER TABLE records ADD COLUMN calibrated_at TEXT"),
     QStringLiteral("DROP TRIGGER closed_records_never_change"),
     QStringLiteral("UPDATE records SET calibrated_at = (SELECT min(t) FROM (SELECT json_extract(value, '$.reading.at') AS t "
                    "FROM json_each(records.body, '$.asFound') UNION ALL SELECT json_extract(value, '$.reading.at') "
                    "FROM json_each(records.body, '$.asLeft')) WHERE t <> '') WHERE json_valid(body)"),
     QStringLiteral("CREATE TRIGGER closed_records_never_change BEFORE UPDATE ON records WHEN OLD.closed_at IS NOT NULL "
                    "BEGIN SELECT RAISE(ABORT, 'a closed record never changes'); END")},
    // 6: the signature over a closed record's contents, the signer's certificates, and its place
    // in the signer's chain.
    {QStringLiteral("ALTER TABLE records ADD COLUMN signature TEXT"),
     QStringLiteral("ALTER TABLE records ADD COLUMN certificates TEXT"),
     QStringLiteral("ALTER TABLE records ADD COLUMN signer_key TEXT"),
     QStringLiteral("ALTER TABLE records ADD COLUMN sequence INTEGER"),
     QStringLiteral("CREATE INDEX records_by_signer ON records (signer_key, sequence)")},
};

QString stamp(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

IntervalAgreement agreementFromRow(const QSqlQuery &q)
{
    return {q.value(0).toString(), q.value(1).toInt(), QDate::fromString(q.value(2).toString(), Qt::ISODate), q.value(3).toString(),
            QDateTime::fromString(q.value(4).toString(), Qt::ISODateWithMs)};
}

} // namespace

// A prepared statement whose failure throws StoreError naming the file and what was being done.
class SqliteStore::Query
{
public:
    Query(const SqliteStore &store, const QString &doing, const QString &sql)
        : m_store(store), m_doing(doing), m_query(QSqlDatabase::database(store.m_connection, false))
    {
        if (!m_query.prepare(sql))
            m_store.fail(m_doing, cause(m_query.lastError()));
    }
    Query &bind(const QVariant &v)
    {
        m_query.bindValue(m_next++, v);
        return *this;
    }
    QSqlQuery &run() // binding starts over for the next run
    {
        m_next = 0;
        if (!m_query.exec())
            m_store.fail(m_doing, cause(m_query.lastError()));
        return m_query;
    }

private:
    const SqliteStore &m_store;
    QString m_doing;
    QSqlQuery m_query;
    int m_next = 0;
};

SqliteStore::SqliteStore(const QString &path, QObject *parent) : RecordStore(parent), m_path(path)
{
    static std::atomic<int> count{0};
    m_connection = QStringLiteral("records-sqlite-%1").arg(++count);
}

SqliteStore::~SqliteStore()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString SqliteStore::defaultPath(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("vantor_cal_records.sqlite"));
}

void SqliteStore::fail(const QString &doing, const QString &why) const
{
    throw StoreError{QStringLiteral("The service records in %1 could not be %2: %3.").arg(m_path, doing, why)};
}

void SqliteStore::ensureOpen()
{
    if (m_open)
        return;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        fail(QStringLiteral("opened"), QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed"));
    QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false)
                                                           : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open())
        fail(QStringLiteral("opened"), cause(db.lastError()));
    m_open = true;
    try {
        Query read(*this, QStringLiteral("read"), QStringLiteral("PRAGMA user_version"));
        QSqlQuery &version = read.run();
        const int found = version.next() ? version.value(0).toInt() : 0;
        if (found > kSchemaVersion)
            fail(QStringLiteral("used"),
                 QStringLiteral("they were written by a newer version of the console (record schema %1; this one "
                                "knows %2), so they are left untouched; update the console")
                     .arg(found)
                     .arg(kSchemaVersion));
        for (int step = found; step < kSchemaVersion; ++step) { // each upgrade in one transaction
            if (!db.transaction())
                fail(QStringLiteral("prepared"), cause(db.lastError()));
            for (const QString &statement : kSchemaSteps[step])
                Query(*this, QStringLiteral("prepared"), statement).run();
            Query(*this, QStringLiteral("prepared"), QStringLiteral("PRAGMA user_version = %1").arg(step + 1)).run();
            if (!db.commit())
                fail(QStringLiteral("prepared"), cause(db.lastError()));
        }
    } catch (const StoreError &) {
        db.rollback();
        db.close();
        m_open = false;
        throw;
    }
}

std::optional<Instrument> SqliteStore::instrument(const QString &indexNo)
{
    ensureOpen();
    Query query(*this, QStringLiteral("read"), QStringLiteral("SELECT body FROM instruments WHERE index_no = ?"));
    QSqlQuery &q = query.bind(indexNo).run();
    if (!q.next())
        return std::nullopt;
    return Instrument::fromJson(QJsonDocument::fromJson(q.value(0).toByteArray()).object());
}

void SqliteStore::saveInstrument(const Instrument &instrument)
{
    ensureOpen();
    Query(*this, QStringLiteral("written"), QStringLiteral("INSERT OR REPLACE INTO instruments (index_no, body) VALUES (?, ?)"))
        .bind(instrument.indexNo)
        .bind(QJsonDocument(instrument.toJson()).toJson(QJsonDocument::Compact))
        .run();
}

QList<Instrument> SqliteStore::instruments()
{
    ensureOpen();
    Query query(*this, QStringLiteral("read"), QStringLiteral("SELECT body FROM instruments ORDER BY index_no"));
    QSqlQuery &q = query.run();
    QList<Instrument> out;
    while (q.next())
        out << Instrument::fromJson(QJsonDocument::fromJson(q.value(0).toByteArray()).object());
    return out;
}

QList<IntervalAgreement> SqliteStore::agreements(const QString &indexNo)
{
    ensureOpen();
    QString sql = QStringLiteral("SELECT index_no, months, agreed_on, changed_by, changed_at FROM intervals");
    if (!indexNo.isEmpty())
        sql += QStringLiteral(" WHERE index_no = ?");
    Query query(*this, QStringLiteral("read"), sql + QStringLiteral(" ORDER BY changed_at, index_no"));
    if (!indexNo.isEmpty())
        query.bind(indexNo);
    QSqlQuery &q = query.run();
    QList<IntervalAgreement> out;
    while (q.next())
        out << agreementFromRow(q);
    return out;
}

void SqliteStore::saveAgreement(const IntervalAgreement &a)
{
    ensureOpen();
    Query(*this, QStringLiteral("written"),
          QStringLiteral("INSERT OR IGNORE INTO intervals (index_no, months, agreed_on, changed_by, changed_at) VALUES (?, ?, ?, ?, ?)"))
        .bind(a.indexNo).bind(a.months)
        .bind(a.agreedOn.isValid() ? QVariant(a.agreedOn.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString)))
        .bind(a.changedBy).bind(stamp(a.changedAt))
        .run();
}

void SqliteStore::queueAgreement(const IntervalAgreement &a)
{
    ensureOpen();
    Query(*this, QStringLiteral("written"), QStringLiteral("INSERT OR IGNORE INTO interval_outbox (index_no, changed_at, queued_at) VALUES (?, ?, ?)"))
        .bind(a.indexNo).bind(stamp(a.changedAt)).bind(stamp(QDateTime::currentDateTimeUtc()))
        .run();
}

QList<IntervalAgreement> SqliteStore::agreementsWaiting()
{
    ensureOpen();
    Query query(*this, QStringLiteral("read"),
                QStringLiteral("SELECT i.index_no, i.months, i.agreed_on, i.changed_by, i.changed_at FROM interval_outbox o "
                               "JOIN intervals i ON i.index_no = o.index_no AND i.changed_at = o.changed_at ORDER BY o.queued_at"));
    QSqlQuery &q = query.run();
    QList<IntervalAgreement> out;
    while (q.next())
        out << agreementFromRow(q);
    return out;
}

void SqliteStore::agreementsSent(const QList<IntervalAgreement> &sent)
{
    ensureOpen();
    Query query(*this, QStringLiteral("written"), QStringLiteral("DELETE FROM interval_outbox WHERE index_no = ? AND changed_at = ?"));
    for (const IntervalAgreement &a : sent)
        query.bind(a.indexNo).bind(stamp(a.changedAt)).run();
}

void SqliteStore::save(const Record &r)
{
    ensureOpen();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString doing = QStringLiteral("written");
    const QByteArray body = r.canonical();
    if (r.closed() && r.computeSha256() != r.sha256)
        fail(doing, QStringLiteral("record %1 does not match its SHA-256").arg(recordNumber(r)));
    if (!db.transaction())
        fail(doing, cause(db.lastError()));
    try {
        const QVariant closedAt = r.closed() ? QVariant(r.closedAt.toString(Qt::ISODateWithMs)) : QVariant(QMetaType(QMetaType::QString));
        const QVariant verdict = r.closed() ? QVariant(verdictName(r.verdict)) : QVariant(QMetaType(QMetaType::QString));
        const QVariant sha = r.closed() ? QVariant(r.sha256) : QVariant(QMetaType(QMetaType::QString));
        const QDateTime read = firstReadAt(r);
        const QVariant calibratedAt = read.isValid() ? QVariant(stamp(read)) : QVariant(QMetaType(QMetaType::QString));
        const SealColumns seal = sealColumns(r);
        Query lookup(*this, doing, QStringLiteral("SELECT closed_at IS NOT NULL, sha256 FROM records WHERE uuid = ?"));
        QSqlQuery &stored = lookup.bind(r.uuid).run();
        const bool exists = stored.next();
        const bool wasClosed = exists && stored.value(0).toBool();
        const QString storedSha = exists ? stored.value(1).toString() : QString();
        stored.finish();
        if (exists) {
            if (wasClosed) {
                if (storedSha != r.sha256)
                    fail(doing, QStringLiteral("record %1 is closed already and never changes").arg(recordNumber(r)));
            } else {
                Query(*this, doing, QStringLiteral("UPDATE records SET closed_at = ?, verdict = ?, sha256 = ?, body = ?, "
                                                   "calibrated_at = ?, signature = ?, certificates = ?, signer_key = ?, "
                                                   "sequence = ? WHERE uuid = ?"))
                    .bind(closedAt).bind(verdict).bind(sha).bind(body).bind(calibratedAt).bind(seal.signature)
                    .bind(seal.certificates).bind(seal.key).bind(seal.sequence).bind(r.uuid).run();
            }
        } else {
            Query(*this, doing,
                  QStringLiteral("INSERT INTO records (uuid, index_no, revision, replaces, opened_at, closed_at, user_type, "
                                 "verdict, sha256, body, calibrated_at, signature, certificates, signer_key, sequence) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
                .bind(r.uuid).bind(r.instrument.indexNo).bind(r.revision).bind(r.replaces)
                .bind(r.openedAt.toString(Qt::ISODateWithMs)).bind(closedAt).bind(r.userType)
                .bind(verdict).bind(sha).bind(body).bind(calibratedAt).bind(seal.signature).bind(seal.certificates)
                .bind(seal.key).bind(seal.sequence).run();
        }
        if (!db.commit())
            fail(doing, cause(db.lastError()));
    } catch (const StoreError &) {
        db.rollback();
        throw;
    }
}

QList<RecordSummary> SqliteStore::history(const QString &indexNo)
{
    ensureOpen();
    QString sql = QStringLiteral("SELECT uuid, index_no, revision, replaces, opened_at, closed_at, verdict, user_type, calibrated_at "
                                 "FROM records");
    if (!indexNo.isEmpty())
        sql += QStringLiteral(" WHERE index_no = ?");
    sql += QStringLiteral(" ORDER BY opened_at DESC, revision DESC");
    Query query(*this, QStringLiteral("read"), sql);
    if (!indexNo.isEmpty())
        query.bind(indexNo);
    QSqlQuery &q = query.run();
    QList<RecordSummary> out;
    while (q.next())
        out << summaryFromRow(q, QStringLiteral("this computer"));
    return out;
}

std::optional<LoadedRecord> SqliteStore::load(const QString &uuidOrNumber)
{
    ensureOpen();
    const auto id = parseRecordId(uuidOrNumber);
    if (!id)
        return std::nullopt;
    // A whole uuid is looked up by the key; a number (its start) by a pattern.
    const bool whole = id->prefix.size() == 36;
    Query query(*this, QStringLiteral("read"),
                QStringLiteral("SELECT body, sha256, closed_at IS NOT NULL, verdict, revision, signature, certificates "
                               "FROM records WHERE uuid %1 ?")
                    .arg(whole ? QStringLiteral("=") : QStringLiteral("LIKE")));
    QSqlQuery &q = query.bind(whole ? id->prefix : id->prefix + QLatin1Char('%')).run();
    return recordFromRows(q, *id, uuidOrNumber, [this](const QString &why) { fail(QStringLiteral("read"), why); });
}

QList<LoadedRecord> SqliteStore::closedRecords(QStringList *unreadable)
{
    ensureOpen();
    Query query(*this, QStringLiteral("read"),
                QStringLiteral("SELECT body, sha256, 1, verdict, revision, signature, certificates, uuid FROM records "
                               "WHERE closed_at IS NOT NULL ORDER BY opened_at, revision"));
    return recordsFromRows(query.run(), unreadable);
}

std::optional<ChainHead> SqliteStore::chainHead(const QString &keyId)
{
    ensureOpen();
    Query query(*this, QStringLiteral("read"),
                QStringLiteral("SELECT sequence, sha256 FROM records WHERE signer_key = ? ORDER BY sequence DESC LIMIT 1"));
    QSqlQuery &q = query.bind(keyId).run();
    if (!q.next())
        return std::nullopt;
    return ChainHead{q.value(0).toInt(), q.value(1).toString()};
}

void SqliteStore::queueForServer(const QString &uuid)
{
    queue(QStringLiteral("outbox (uuid"), uuid);
}

QStringList SqliteStore::waitingForServer()
{
    return waiting(QStringLiteral("SELECT uuid FROM outbox ORDER BY queued_at, uuid"));
}

void SqliteStore::sentToServer(const QStringList &uuids)
{
    dequeue(QStringLiteral("DELETE FROM outbox WHERE uuid = ?"), uuids);
}

void SqliteStore::queueInstrument(const QString &indexNo)
{
    queue(QStringLiteral("instrument_outbox (index_no"), indexNo);
}

QStringList SqliteStore::instrumentsWaiting()
{
    return waiting(QStringLiteral("SELECT index_no FROM instrument_outbox ORDER BY queued_at, index_no"));
}

void SqliteStore::instrumentsSent(const QStringList &indexNos)
{
    dequeue(QStringLiteral("DELETE FROM instrument_outbox WHERE index_no = ?"), indexNos);
}

void SqliteStore::queue(const QString &tableAndKey, const QString &key)
{
    ensureOpen();
    Query(*this, QStringLiteral("written"), QStringLiteral("INSERT OR IGNORE INTO %1, queued_at) VALUES (?, ?)").arg(tableAndKey))
        .bind(key)
        .bind(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs))
        .run();
}

QStringList SqliteStore::waiting(const QString &select)
{
    ensureOpen();
    Query query(*this, QStringLiteral("read"), select);
    QSqlQuery &q = query.run();
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void SqliteStore::dequeue(const QString &remove, const QStringList &keys)
{
    ensureOpen();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        fail(QStringLiteral("written"), cause(db.lastError()));
    try {
        Query query(*this, QStringLiteral("written"), remove);
        for (const QString &key : keys)
            query.bind(key).run();
    } catch (const StoreError &) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        fail(QStringLiteral("written"), cause(db.lastError()));
}

} // namespace records
