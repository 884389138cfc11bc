#pragma once
// Records in an SQLite file (Qt's QSQLITE driver, loaded when the store is first used). The
// schema carries its version (PRAGMA user_version), is upgraded in place from an earlier one, and
// a file of a newer version is left untouched. Beside the records: the instruments described, and
// the closed records waiting for a records server.
// Triggers refuse any change or deletion of a closed record, whoever writes to the file.

#include "RecordStore.h"

#include <QStringList>

namespace records {

class SqliteStore : public RecordStore
{
public:
    static constexpr int kSchemaVersion = 6;

    explicit SqliteStore(const QString &path, QObject *parent = nullptr);
    ~SqliteStore() override;

    QString location() const override { return m_path; }
    std::optional<Instrument> instrument(const QString &indexNo) override;
    void saveInstrument(const Instrument &instrument) override;
    QList<Instrument> instruments() override;
    QList<IntervalAgreement> agreements(const QString &indexNo) override;
    void saveAgreement(const IntervalAgreement &agreement) override;
    void save(const Record &record) override;
    QList<RecordSummary> history(const QString &indexNo) override;
    std::optional<LoadedRecord> load(const QString &uuidOrNumber) override;
    std::optional<ChainHead> chainHead(const QString &keyId) override;
    // Every closed record, read at once (to check them all); those that cannot be read at all go
    // to *unreadable.
    QList<LoadedRecord> closedRecords(QStringList *unreadable);

    // Closed records waiting to go to a records server, oldest first.
    void queueForServer(const QString &uuid);
    QStringList waitingForServer();
    void sentToServer(const QStringList &uuids);
    // Instrument descriptions waiting for the server, by Index No.
    void queueInstrument(const QString &indexNo);
    QStringList instrumentsWaiting();
    void instrumentsSent(const QStringList &indexNos);
    // Agreements waiting for the server, by agreementKey().
    void queueAgreement(const IntervalAgreement &agreement);
    QList<IntervalAgreement> agreementsWaiting();
    void agreementsSent(const QList<IntervalAgreement> &sent);

    // The file's name in a data folder.
    static QString defaultPath(const QString &dataFolder);

private:
    class Query;
    void ensureOpen();
    void queue(const QString &tableAndKey, const QString &key);
    QStringList waiting(const QString &select);
    void dequeue(const QString &remove, const QStringList &keys);
    [[noreturn]] void fail(const QString &doing, const QString &cause) const;

    QString m_path;
    QString m_connection;
    bool m_open = false;
};

} // namespace records
