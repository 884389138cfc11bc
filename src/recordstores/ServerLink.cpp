#include "ServerLink.h"

#include "Intervals.h"
#include "SqlRows.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>
#include <atomic>

namespace records {
namespace {

constexpr int kSendBatch = 100; // records a transaction

QString cause(const QSqlError &error)
{
    QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.simplified();
}

} // namespace

QList<QStringList> ServerLink::schemaSteps()
{
    return {
        // 1: the records, closed and complete, and a trigger that keeps them as they came.
        {QStringLiteral("CREATE TABLE vantor_schema (version integer NOT NULL)"),
         QStringLiteral("INSERT INTO vantor_schema VALUES (0)"),
         QStringLiteral("CREATE TABLE service_records (uuid uuid PRIMARY KEY, index_no text NOT NULL, "
                        "revision integer NOT NULL, replaces uuid, opened_at timestamptz NOT NULL, "
                        "closed_at timestamptz NOT NULL, user_type text NOT NULL, verdict text NOT NULL, "
                        "sha256 text NOT NULL, body text NOT NULL, stored_by text NOT NULL DEFAULT current_user, "
                        "stored_at timestamptz NOT NULL DEFAULT now())"),
         QStringLiteral("CREATE FUNCTION vantor_records_never_change() RETURNS trigger LANGUAGE plpgsql AS "
                        "$$ BEGIN RAISE EXCEPTION 'a closed service record never changes'; END $$"),
         QStringLiteral("CREATE TRIGGER service_records_never_change BEFORE UPDATE OR DELETE ON service_records "
                        "FOR EACH ROW EXECUTE FUNCTION vantor_records_never_change()")},
        // 2: the computer a record came from, and the history of a scale listed by an index.
        {QStringLiteral("ALTER TABLE service_records ADD COLUMN sent_from text"),
         QStringLiteral("CREATE INDEX service_records_by_scale ON service_records (index_no, opened_at DESC)")},
        // 3: the scales as described (with their customers), so a second technician finds them.
        {QStringLiteral("CREATE TABLE scale_instruments (index_no text PRIMARY KEY, body text NOT NULL, "
                        "stored_by text NOT NULL DEFAULT current_user, stored_at timestamptz NOT NULL DEFAULT now())")},
        // 4: the calibration intervals agreed with customers, each change kept as it was entered.
        {QStringLiteral("CREATE TABLE scale_intervals (index_no text NOT NULL, months integer NOT NULL, agreed_on date, "
                        "changed_by text NOT NULL, changed_at text NOT NULL, stored_by text NOT NULL DEFAULT current_user, "
                        "stored_at timestamptz NOT NULL DEFAULT now(), PRIMARY KEY (index_no, changed_at))"),
         QStringLiteral("CREATE TRIGGER scale_intervals_never_change BEFORE UPDATE OR DELETE ON scale_intervals "
                        "FOR EACH ROW EXECUTE FUNCTION vantor_records_never_change()")},
        // 5: when each record's scale was first read, the day its calibration counts from; the
        // records kept so far get theirs from their readings (the trigger steps aside for that alone).
        {QStringLiteral("ALTER TABLE service_records ADD COLUMN calibrated_at timestamptz"),
         QStringLiteral("CREATE FUNCTION vantor_first_reading(body text) RETURNS timestamptz LANGUAGE plpgsql AS $$ BEGIN "
                        "RETURN (SELECT min(NULLIF(x #>> '{}', '')::timestamptz) FROM (SELECT jsonb_path_query(body::jsonb, "
                        "'$.asFound[*].reading.at') AS x UNION ALL SELECT jsonb_path_query(body::jsonb, '$.asLeft[*].reading.at')) t); "
                        "EXCEPTION WHEN others THEN RETURN NULL; END $$"),
         QStringLiteral("ALTER TABLE service_records DISABLE TRIGGER service_records_never_change"),
         QStringLiteral("UPDATE service_records SET calibrated_at = vantor_first_reading(body)"),
         QStringLiteral("ALTER TABLE service_records ENABLE TRIGGER service_records_never_change")},
        // 6: the signature over each record's contents, the signer's certificates, and its place in
        // the signer's chain.
        {QStringLiteral("ALTER TABLE service_records ADD COLUMN signature text, ADD COLUMN certificates text, "
                        "ADD COLUMN signer_key text, ADD COLUMN sequence integer"),
         QStringLiteral("CREATE INDEX service_records_by_signer ON service_records (signer_key, sequence)")},
    };
}

ServerLink::ServerLink(ServerAddress address) : m_address(std::move(address))
{
    static std::atomic<int> count{0};
    m_connection = QStringLiteral("records-server-%1").arg(++count);
}

ServerLink::~ServerLink()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

void ServerLink::fail(const QString &doing, const QString &why) const
{
    throw StoreError{QStringLiteral("The records server %1 could not be %2: %3.").arg(name(), doing, why)};
}

void ServerLink::ensureOpen()
{
    QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false) : QSqlDatabase();
    if (m_open && db.isOpen()) {
        QSqlQuery ping(db);
        if (ping.exec(QStringLiteral("SELECT 1")))
            return;
    }
    m_open = false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        fail(QStringLiteral("reached"), QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed"));
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    db.close();
    QString options = m_address.connectionString();
    if (m_address.value(QStringLiteral("connect_timeout")).isEmpty())
        options += QStringLiteral(" connect_timeout=%1").arg(kConnectTimeoutSeconds);
    db.setConnectOptions(options); // the driver hands them to libpq as they are
    if (!db.open())
        fail(QStringLiteral("reached"), cause(db.lastError()));

    // The schema, one console at a time: each upgrade in a transaction of its own.
    const QList<QStringList> steps = schemaSteps();
    for (;;) {
        QSqlQuery q(db);
        if (!db.transaction())
            fail(QStringLiteral("reached"), cause(db.lastError()));
        const auto step = [&](const QString &sql) {
            if (!q.exec(sql)) {
                const QString why = cause(q.lastError());
                db.rollback();
                fail(QStringLiteral("prepared"), why);
            }
        };
        step(QStringLiteral("SELECT pg_advisory_xact_lock(72657) "));
        step(QStringLiteral("SELECT to_regclass('vantor_schema') IS NOT NULL"));
        int version = 0;
        if (q.next() && q.value(0).toBool()) {
            step(QStringLiteral("SELECT max(version) FROM vantor_schema"));
            version = q.next() ? q.value(0).toInt() : 0;
        }
        if (version > kSchemaVersion) {
            db.rollback();
            fail(QStringLiteral("used"),
                 QStringLiteral("its records schema is of version %1, newer than this console knows (%2), so it is "
                                "left untouched; update the console")
                     .arg(version)
                     .arg(kSchemaVersion));
        }
        if (version == kSchemaVersion) {
            db.commit();
            break;
        }
        for (const QString &sql : steps[version])
            step(sql);
        step(QStringLiteral("UPDATE vantor_schema SET version = %1").arg(version + 1));
        if (!db.commit())
            fail(QStringLiteral("prepared"), cause(db.lastError()));
    }
    m_open = true;
}

void ServerLink::send(const QList<Record> &closed, QStringList *sent)
{
    ensureOpen();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString from = QSysInfo::machineHostName();
    for (qsizetype start = 0; start < closed.size(); start += kSendBatch) {
        if (!db.transaction())
            fail(QStringLiteral("written"), cause(db.lastError()));
        QStringList batch;
        QSqlQuery insert(db), stored(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO service_records (uuid, index_no, revision, replaces, opened_at, closed_at, user_type, "
            "verdict, sha256, body, sent_from, calibrated_at, signature, certificates, signer_key, sequence) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
            "ON CONFLICT (uuid) DO NOTHING"));
        stored.prepare(QStringLiteral("SELECT sha256 FROM service_records WHERE uuid = ?"));
        for (const Record &r : closed.mid(start, kSendBatch)) {
            const SealColumns seal = sealColumns(r);
            for (const QVariant &v : {QVariant(r.uuid), QVariant(r.instrument.indexNo), QVariant(r.revision),
                                      r.replaces.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(r.replaces),
                                      QVariant(r.openedAt.toString(Qt::ISODateWithMs)), QVariant(r.closedAt.toString(Qt::ISODateWithMs)),
                                      QVariant(r.userType), QVariant(verdictName(r.verdict)), QVariant(r.sha256),
                                      QVariant(QString::fromUtf8(r.canonical())), QVariant(from),
                                      firstReadAt(r).isValid() ? QVariant(firstReadAt(r).toString(Qt::ISODateWithMs))
                                                               : QVariant(QMetaType(QMetaType::QString)),
                                      seal.signature, seal.certificates, seal.key, seal.sequence})
                insert.addBindValue(v);
            stored.addBindValue(r.uuid);
            if (!insert.exec() || !stored.exec() || !stored.next()) {
                const QString why = cause(insert.lastError().isValid() ? insert.lastError() : stored.lastError());
                db.rollback();
                fail(QStringLiteral("written"), why);
            }
            if (stored.value(0).toString() != r.sha256) {
                db.rollback();
                fail(QStringLiteral("written"), QStringLiteral("it holds record %1 with other contents").arg(recordNumber(r)));
            }
            stored.finish();
            batch << r.uuid;
        }
        if (!db.commit())
            fail(QStringLiteral("written"), cause(db.lastError()));
        *sent << batch;
    }
}

QList<RecordSummary> ServerLink::history(const QString &indexNo)
{
    ensureOpen();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // Every scale's without an Index No. (a null one binds as NULL, which no "= ''" matches).
    q.prepare(QStringLiteral("SELECT uuid::text, index_no, revision, replaces::text, opened_at, closed_at, verdict, user_type, "
                             "calibrated_at, stored_by FROM service_records%1 ORDER BY opened_at DESC, revision DESC")
                  .arg(indexNo.isEmpty() ? QString() : QStringLiteral(" WHERE index_no = ?")));
    if (!indexNo.isEmpty())
        q.addBindValue(indexNo);
    q.setForwardOnly(true);
    if (!q.exec())
        fail(QStringLiteral("read"), cause(q.lastError()));
    QList<RecordSummary> out;
    while (q.next())
        out << summaryFromRow(q, QStringLiteral("server (%1)").arg(q.value(9).toString()));
    return out;
}

QList<LoadedRecord> ServerLink::closedRecords(QStringList *unreadable)
{
    ensureOpen();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT body, sha256, true, verdict, revision, signature, certificates, uuid::text FROM "
                               "service_records ORDER BY opened_at, revision")))
        fail(QStringLiteral("read"), cause(q.lastError()));
    return recordsFromRows(q, unreadable);
}

void ServerLink::sendInstruments(const QList<Instrument> &instruments)
{
    QList<QVariantList> rows;
    for (const Instrument &in : instruments)
        rows << QVariantList{in.indexNo, QString::fromUtf8(QJsonDocument(in.toJson()).toJson(QJsonDocument::Compact))};
    writeAll(QStringLiteral("INSERT INTO scale_instruments (index_no, body) VALUES (?, ?) ON CONFLICT (index_no) DO UPDATE "
                            "SET body = EXCLUDED.body, stored_by = current_user, stored_at = now()"),
             rows);
}

void ServerLink::writeAll(const QString &sql, const QList<QVariantList> &rows)
{
    ensureOpen();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        fail(QStringLiteral("written"), cause(db.lastError()));
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariantList &row : rows) {
        for (const QVariant &value : row)
            q.addBindValue(value);
        if (!q.exec()) {
            const QString why = cause(q.lastError());
            db.rollback();
            fail(QStringLiteral("written"), why);
        }
    }
    if (!db.commit())
        fail(QStringLiteral("written"), cause(db.lastError()));
}

std::optional<Instrument> ServerLink::instrument(const QString &indexNo)
{
    ensureOpen();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT body FROM scale_instruments WHERE index_no = ?"));
    q.addBindValue(indexNo);
    if (!q.exec())
        fail(QStringLiteral("read"), cause(q.lastError()));
    if (!q.next())
        return std::nullopt;
    return Instrument::fromJson(QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object());
}

QList<Instrument> ServerLink::instruments()
{
    ensureOpen();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT body FROM scale_instruments ORDER BY index_no")))
        fail(QStringLiteral("read"), cause(q.lastError()));
    QList<Instrument> out;
    while (q.next())
        out << Instrument::fromJson(QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object());
    return out;
}

void ServerLink::sendAgreements(const QList<IntervalAgreement> &agreements)
{
    QList<QVariantList> rows;
    for (const IntervalAgreement &a : agreements)
        rows << QVariantList{a.indexNo, a.months, a.agreedOn.isValid() ? QVariant(a.agreedOn) : QVariant(QMetaType(QMetaType::QDate)),
                             a.changedBy, a.changedAt.toUTC().toString(Qt::ISODateWithMs)};
    writeAll(QStringLiteral("INSERT INTO scale_intervals (index_no, months, agreed_on, changed_by, changed_at) "
                            "VALUES (?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"),
             rows);
}

QList<IntervalAgreement> ServerLink::agreements(const QString &indexNo)
{
    ensureOpen();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT index_no, months, agreed_on, changed_by, changed_at FROM scale_intervals%1 ORDER BY changed_at, index_no")
                  .arg(indexNo.isEmpty() ? QString() : QStringLiteral(" WHERE index_no = ?")));
    if (!indexNo.isEmpty())
        q.addBindValue(indexNo);
    if (!q.exec())
        fail(QStringLiteral("read"), cause(q.lastError()));
    QList<IntervalAgreement> out;
    while (q.next())
        out << IntervalAgreement{q.value(0).toString(), q.value(1).toInt(), q.value(2).toDate(), q.value(3).toString(),
                                 QDateTime::fromString(q.value(4).toString(), Qt::ISODateWithMs)};
    return out;
}

std::optional<LoadedRecord> ServerLink::load(const QString &uuidOrNumber)
{
    ensureOpen();
    const auto id = parseRecordId(uuidOrNumber);
    if (!id)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT body, sha256, true, verdict, revision, signature, certificates FROM service_records "
                             "WHERE uuid::text LIKE ?"));
    q.addBindValue(id->prefix + QLatin1Char('%'));
    if (!q.exec())
        fail(QStringLiteral("read"), cause(q.lastError()));
    return recordFromRows(q, *id, uuidOrNumber, [this](const QString &why) { fail(QStringLiteral("read"), why); });
}

} // namespace records
