#pragma once
// Records kept offline first for a service team: every record goes to the SQLite file on this
// computer exactly as without a server, and each closed record (and each instrument description)
// then goes to the team's PostgreSQL server, in the background, when it answers: at once, with the next record, at start-up
// (sendWaiting) and every few minutes while records wait (no timer while none waits). A record
// the server cannot take waits here; nothing blocks the window for it.
//
// The history of a scale comes from the server when it answered last (every technician's
// records, each marked where it came from), with this computer's records it does not have yet;
// from this computer alone while it does not answer.

#include "RecordStore.h"
#include "ServerAddress.h"
#include "SqliteStore.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QTimer>

namespace records {

class SyncedStore : public RecordStore
{
    Q_OBJECT
public:
    static constexpr int kRetryMs = 3 * 60 * 1000;
    static constexpr int kHistoryFreshMs = 30 * 1000;

    SyncedStore(const QString &localPath, ServerAddress server, QObject *parent = nullptr);
    ~SyncedStore() override;

    QString location() const override { return m_local.location(); }
    // From this computer; a scale described on another is asked of the server in the background
    // (instrumentsChanged() when it comes).
    std::optional<Instrument> instrument(const QString &indexNo) override;
    void saveInstrument(const Instrument &instrument) override;
    QList<Instrument> instruments() override;
    QList<IntervalAgreement> agreements(const QString &indexNo) override;
    void saveAgreement(const IntervalAgreement &agreement) override;
    void save(const Record &record) override;
    QList<RecordSummary> history(const QString &indexNo) override;
    // From this computer, else from the server (waiting for it at most its time-out).
    std::optional<LoadedRecord> load(const QString &uuidOrNumber) override;
    std::optional<ChainHead> chainHead(const QString &keyId) override { return m_local.chainHead(keyId); }

    StoreStatus status() const override { return {m_server.name(), m_waiting, m_serverError}; }
    void sendWaiting() override;
    void setRetryInterval(int ms) { m_retryMs = ms; }

private:
    void onSent(const QStringList &sent, const QStringList &sentInstruments, const QList<IntervalAgreement> &sentAgreements,
                const QString &error);
    void fetchInstrument(const QString &indexNo);
    void fetchHistory(const QString &indexNo);

    SqliteStore m_local;
    ServerAddress m_server;
    QThread m_thread;
    QObject *m_worker; // lives in m_thread and holds the server connection there
    QTimer m_retry;
    int m_retryMs = kRetryMs;
    bool m_sending = false;
    bool m_sendAgain = false;
    int m_waiting = 0;
    QString m_serverError;
    struct ServerHistory
    {
        QList<RecordSummary> list;
        QDateTime fetchedAt;
    };
    QHash<QString, ServerHistory> m_serverHistory; // by Index No., as the server last gave it
    QSet<QString> m_fetching;
    QSet<QString> m_instrumentsAsked; // of the server, once a run each
    QSet<QString> m_agreementsAsked;
};

} // namespace records
