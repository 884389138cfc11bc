#pragma once
// One connection to the team's PostgreSQL server (Qt's QPSQL driver), used from one thread.
//
// The schema is the program's own: made on an empty database, upgraded in place from any earlier
// version (a version table; each upgrade in one transaction, one console at a time), and left
// untouched when it is newer than this program knows. The server refuses any change or deletion
// of a stored record, as the local store does. Sending is idempotent: a record the server has
// already (a connection dropped after the server stored it) is not stored twice.
//
// Every call throws StoreError naming the server and the cause.

#include "RecordStore.h"
#include "ServerAddress.h"

#include <QStringList>
#include <QVariant>

namespace records {

class ServerLink
{
public:
    static constexpr int kSchemaVersion = 6;
    static constexpr int kConnectTimeoutSeconds = 3;

    explicit ServerLink(ServerAddress address);
    ~ServerLink();
    ServerLink(const ServerLink &) = delete;
    ServerLink &operator=(const ServerLink &) = delete;

    QString name() const { return m_address.name(); }

    // Sends closed records; *sent gets the uuids the server holds afterwards, also when a later
    // one fails.
    void send(const QList<Record> &closed, QStringList *sent);
    QList<RecordSummary> history(const QString &indexNo);
    // Instrument descriptions: the latest of each scale wins.
    void sendInstruments(const QList<Instrument> &instruments);
    std::optional<Instrument> instrument(const QString &indexNo);
    QList<Instrument> instruments();
    // Interval agreements: added, never replaced (one sent twice is kept once).
    void sendAgreements(const QList<IntervalAgreement> &agreements);
    QList<IntervalAgreement> agreements(const QString &indexNo);
    std::optional<LoadedRecord> load(const QString &uuidOrNumber);
    // Every record it holds, read at once (to check them all); see SqliteStore::closedRecords.
    QList<LoadedRecord> closedRecords(QStringList *unreadable);

    // The statements that make each schema version from the one before, oldest first.
    static QList<QStringList> schemaSteps();

private:
    void ensureOpen();
    // Runs `sql` once for each row of values, all in one transaction.
    void writeAll(const QString &sql, const QList<QVariantList> &rows);
    [[noreturn]] void fail(const QString &doing, const QString &cause) const;

    ServerAddress m_address;
    QString m_connection;
    bool m_open = false;
};

} // namespace records
