#include "SqliteStore.h"

#include <QCryptographicHash>
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

const char *const kSchema[] = {
    "CREATE TABLE instruments (index_no TEXT PRIMARY KEY, body TEXT NOT NULL)",
    "CREATE TABLE records (uuid TEXT PRIMARY KEY, index_no TEXT NOT NULL, revision INTEGER NOT NULL, "
    "replaces TEXT, opened_at TEXT NOT NULL, closed_at TEXT, user_type TEXT NOT NULL, verdict TEXT, "
    "sha256 TEXT, body TEXT NOT NULL)",
    "CREATE INDEX records_by_scale ON records (index_no, opened_at)",
    "CREATE TRIGGER closed_records_never_change BEFORE UPDATE ON records WHEN OLD.closed_at IS NOT NULL "
    "BEGIN SELECT RAISE(ABORT, 'a closed record never changes'); END",
    "CREATE TRIGGER closed_records_stay BEFORE DELETE ON records WHEN OLD.closed_at IS NOT NULL "
    "BEGIN SELECT RAISE(ABORT, 'a closed record is never deleted'); END",
    "PRAGMA user_version = 1",
};

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
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
        m_query.addBindValue(v);
        return *this;
    }
    QSqlQuery &run()
    {
        if (!m_query.exec())
            m_store.fail(m_doing, cause(m_query.lastError()));
        return m_query;
    }

private:
    const SqliteStore &m_store;
    QString m_doing;
    QSqlQuery m_query;
};

SqliteStore::SqliteStore(const QString &path) : m_path(path)
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
        if (found == 0) {
            if (!db.transaction())
                fail(QStringLiteral("created"), cause(db.lastError()));
            for (const char *statement : kSchema)
                Query(*this, QStringLiteral("created"), QLatin1String(statement)).run();
            if (!db.commit())
                fail(QStringLiteral("created"), cause(db.lastError()));
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

void SqliteStore::save(const Record &r)
{
    ensureOpen();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString doing = QStringLiteral("written");
    const QByteArray body = r.canonical();
    if (r.closed() && sha256(body) != r.sha256)
        fail(doing, QStringLiteral("record %1 does not match its SHA-256").arg(recordNumber(r)));
    if (!db.transaction())
        fail(doing, cause(db.lastError()));
    try {
        const QVariant closedAt = r.closed() ? QVariant(r.closedAt.toString(Qt::ISODateWithMs)) : QVariant(QMetaType(QMetaType::QString));
        const QVariant verdict = r.closed() ? QVariant(verdictName(r.verdict)) : QVariant(QMetaType(QMetaType::QString));
        const QVariant sha = r.closed() ? QVariant(r.sha256) : QVariant(QMetaType(QMetaType::QString));
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
                Query(*this, doing, QStringLiteral("UPDATE records SET closed_at = ?, verdict = ?, sha256 = ?, body = ? WHERE uuid = ?"))
                    .bind(closedAt).bind(verdict).bind(sha).bind(body).bind(r.uuid).run();
            }
        } else {
            Query(*this, doing,
                  QStringLiteral("INSERT INTO records (uuid, index_no, revision, replaces, opened_at, closed_at, user_type, "
                                 "verdict, sha256, body) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
                .bind(r.uuid).bind(r.instrument.indexNo).bind(r.revision).bind(r.replaces)
                .bind(r.openedAt.toString(Qt::ISODateWithMs)).bind(closedAt).bind(r.userType)
                .bind(verdict).bind(sha).bind(body).run();
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
    QString sql = QStringLiteral("SELECT uuid, index_no, revision, replaces, opened_at, closed_at, verdict, user_type FROM records");
    if (!indexNo.isEmpty())
        sql += QStringLiteral(" WHERE index_no = ?");
    sql += QStringLiteral(" ORDER BY opened_at DESC, revision DESC");
    Query query(*this, QStringLiteral("read"), sql);
    if (!indexNo.isEmpty())
        query.bind(indexNo);
    QSqlQuery &q = query.run();
    QList<RecordSummary> out;
    while (q.next()) {
        RecordSummary s;
        s.uuid = q.value(0).toString();
        s.indexNo = q.value(1).toString();
        s.revision = q.value(2).toInt();
        s.replaces = q.value(3).toString();
        s.openedAt = QDateTime::fromString(q.value(4).toString(), Qt::ISODateWithMs);
        s.closedAt = QDateTime::fromString(q.value(5).toString(), Qt::ISODateWithMs);
        const QString verdict = q.value(6).toString();
        for (Verdict v : {Verdict::Pass, Verdict::Adjusted, Verdict::Fail})
            if (verdict == verdictName(v))
                s.verdict = v;
        s.userType = q.value(7).toString();
        s.source = QStringLiteral("this computer");
        out << s;
    }
    return out;
}

std::optional<LoadedRecord> SqliteStore::load(const QString &uuidOrNumber)
{
    ensureOpen();
    // A number people see is the uuid's start, with "-r<n>" from the second revision.
    QString prefix = uuidOrNumber.trimmed().toLower();
    int revision = 0;
    if (const qsizetype r = prefix.indexOf(QLatin1String("-r")); r == 8) {
        revision = prefix.mid(r + 2).toInt();
        prefix = prefix.left(r);
    }
    if (prefix.isEmpty() || prefix.contains(QLatin1Char('%')) || prefix.contains(QLatin1Char('_')))
        return std::nullopt;
    Query query(*this, QStringLiteral("read"),
                QStringLiteral("SELECT body, sha256, closed_at IS NOT NULL, verdict, revision FROM records WHERE uuid LIKE ?"));
    QSqlQuery &q = query.bind(prefix + QLatin1Char('%')).run();
    std::optional<LoadedRecord> found;
    while (q.next()) {
        if (revision > 0 && q.value(4).toInt() != revision)
            continue;
        if (found)
            fail(QStringLiteral("read"), QStringLiteral("more than one record starts with %1").arg(uuidOrNumber));
        const QByteArray body = q.value(0).toByteArray();
        QString why;
        const auto record = Record::fromJson(QJsonDocument::fromJson(body).object(), &why);
        if (!record)
            fail(QStringLiteral("read"), QStringLiteral("record %1 cannot be read: %2").arg(uuidOrNumber, why));
        LoadedRecord loaded{*record, true};
        if (q.value(2).toBool()) {
            loaded.record.sha256 = q.value(1).toString();
            // Intact: the stored contents are the record's canonical form and match the SHA-256.
            loaded.intact = record->closed() && sha256(body) == loaded.record.sha256 && record->canonical() == body
                            && verdictName(record->verdict) == q.value(3).toString();
        }
        found = loaded;
    }
    return found;
}

} // namespace records
