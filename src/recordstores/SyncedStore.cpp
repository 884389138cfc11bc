#include "SyncedStore.h"

#include "ServerLink.h"

#include <QPointer>
#include <algorithm>
#include <memory>

namespace records {
namespace {

// The server connection, made and used in the sync thread only.
class ServerWorker : public QObject
{
public:
    explicit ServerWorker(ServerAddress address) : m_address(std::move(address)) {}
    ServerLink &link()
    {
        if (!m_link)
            m_link = std::make_unique<ServerLink>(m_address);
        return *m_link;
    }

private:
    ServerAddress m_address;
    std::unique_ptr<ServerLink> m_link;
};

QString waitingSource()
{
    return QStringLiteral("this computer, waiting for the server");
}

} // namespace

SyncedStore::SyncedStore(const QString &localPath, ServerAddress server, QObject *parent)
    : RecordStore(parent), m_local(localPath), m_server(std::move(server)), m_worker(new ServerWorker(m_server))
{
    m_thread.setObjectName(QStringLiteral("records server"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &SyncedStore::sendWaiting);
}

SyncedStore::~SyncedStore()
{
    m_thread.quit();
    m_thread.wait(); // a sending under way ends first; the worker goes with the thread
}

void SyncedStore::save(const Record &record)
{
    m_local.save(record); // first, and exactly as without a server
    if (!record.closed())
        return;
    m_local.queueForServer(record.uuid);
    sendWaiting();
}

void SyncedStore::saveInstrument(const Instrument &instrument)
{
    m_local.saveInstrument(instrument); // first, and exactly as without a server
    m_local.queueInstrument(instrument.indexNo);
    sendWaiting();
}

QList<Instrument> SyncedStore::instruments()
{
    return m_local.instruments();
}

void SyncedStore::saveAgreement(const IntervalAgreement &agreement)
{
    m_local.saveAgreement(agreement); // first, and exactly as without a server
    m_local.queueAgreement(agreement);
    sendWaiting();
}

QList<IntervalAgreement> SyncedStore::agreements(const QString &indexNo)
{
    // This computer's; those entered on others come from the server once a run and are kept here
    // (instrumentsChanged() when they come).
    const QList<IntervalAgreement> local = m_local.agreements(indexNo);
    if (indexNo.isEmpty() || m_agreementsAsked.contains(indexNo))
        return local;
    m_agreementsAsked.insert(indexNo);
    auto *worker = static_cast<ServerWorker *>(m_worker);
    QPointer<SyncedStore> self(this);
    QMetaObject::invokeMethod(worker, [worker, indexNo, local, self] {
        QList<IntervalAgreement> found;
        try {
            found = worker->link().agreements(indexNo);
        } catch (const StoreError &) {
            return; // not reached: this computer's agreements alone
        }
        QMetaObject::invokeMethod(self, [self, found, local] {
            if (!self)
                return;
            bool news = false;
            try {
                for (const IntervalAgreement &a : found)
                    if (!local.contains(a)) {
                        self->m_local.saveAgreement(a); // not queued: it came from the server
                        news = true;
                    }
            } catch (const StoreError &) {
                return;
            }
            if (news)
                emit self->instrumentsChanged();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    return local;
}

std::optional<Instrument> SyncedStore::instrument(const QString &indexNo)
{
    if (auto local = m_local.instrument(indexNo))
        return local;
    fetchInstrument(indexNo);
    return std::nullopt;
}

void SyncedStore::fetchInstrument(const QString &indexNo)
{
    if (indexNo.isEmpty() || m_instrumentsAsked.contains(indexNo))
        return;
    m_instrumentsAsked.insert(indexNo);
    auto *worker = static_cast<ServerWorker *>(m_worker);
    QPointer<SyncedStore> self(this);
    QMetaObject::invokeMethod(worker, [worker, indexNo, self] {
        std::optional<Instrument> found;
        try {
            found = worker->link().instrument(indexNo);
        } catch (const StoreError &) {
            // not reached: this computer's description alone, as without a server
        }
        QMetaObject::invokeMethod(self, [self, found] {
            if (!self || !found)
                return;
            try {
                self->m_local.saveInstrument(*found); // not queued: it came from the server
            } catch (const StoreError &) {
                return;
            }
            emit self->instrumentsChanged();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void SyncedStore::sendWaiting()
{
    if (m_sending) {
        m_sendAgain = true;
        return;
    }
    QList<Record> batch;
    QList<Instrument> instruments;
    QList<IntervalAgreement> agreements;
    try {
        agreements = m_local.agreementsWaiting();
        for (const QString &uuid : m_local.waitingForServer())
            if (const auto loaded = m_local.load(uuid); loaded && loaded->record.closed() && loaded->intact)
                batch << loaded->record;
        for (const QString &indexNo : m_local.instrumentsWaiting())
            if (const auto described = m_local.instrument(indexNo))
                instruments << *described;
    } catch (const StoreError &e) {
        m_serverError = e.message; // this computer's file: the window says so already
        return;
    }
    if (m_waiting != batch.size()) {
        m_waiting = int(batch.size());
        emit statusChanged();
    }
    if (batch.isEmpty() && instruments.isEmpty() && agreements.isEmpty()) {
        m_retry.stop(); // nothing waits: no timer
        return;
    }
    m_sending = true;
    auto *worker = static_cast<ServerWorker *>(m_worker);
    QPointer<SyncedStore> self(this);
    QMetaObject::invokeMethod(worker, [worker, batch, instruments, agreements, self] {
        QStringList sent, sentInstruments;
        QList<IntervalAgreement> sentAgreements;
        QString error;
        try {
            worker->link().sendInstruments(instruments);
            for (const Instrument &in : instruments)
                sentInstruments << in.indexNo;
            worker->link().sendAgreements(agreements);
            sentAgreements = agreements;
            worker->link().send(batch, &sent);
        } catch (const StoreError &e) {
            error = e.message;
        }
        QMetaObject::invokeMethod(self, [self, sent, sentInstruments, sentAgreements, error] {
            if (self)
                self->onSent(sent, sentInstruments, sentAgreements, error);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void SyncedStore::onSent(const QStringList &sent, const QStringList &sentInstruments, const QList<IntervalAgreement> &sentAgreements,
                         const QString &error)
{
    m_sending = false;
    bool instrumentsWait = false;
    try {
        m_local.sentToServer(sent);
        m_local.instrumentsSent(sentInstruments);
        m_local.agreementsSent(sentAgreements);
        m_waiting = int(m_local.waitingForServer().size());
        instrumentsWait = !m_local.instrumentsWaiting().isEmpty() || !m_local.agreementsWaiting().isEmpty();
    } catch (const StoreError &e) {
        m_waiting = 0; // this computer's file failed; those records go with the next sending
        Q_UNUSED(e);
    }
    m_serverError = error;
    if (!sent.isEmpty())
        m_serverHistory.clear(); // the lists now hold these too
    if ((m_waiting > 0 || instrumentsWait) && !error.isEmpty())
        m_retry.start(m_retryMs);
    else
        m_retry.stop();
    emit statusChanged();
    if (!sent.isEmpty())
        emit historyChanged();
    if (std::exchange(m_sendAgain, false))
        sendWaiting();
}

QList<RecordSummary> SyncedStore::history(const QString &indexNo)
{
    QList<RecordSummary> local = m_local.history(indexNo);
    const QStringList waiting = m_local.waitingForServer();
    for (RecordSummary &s : local)
        if (waiting.contains(s.uuid))
            s.source = waitingSource();
    const auto cached = m_serverHistory.constFind(indexNo);
    if (cached == m_serverHistory.constEnd() || cached->fetchedAt.msecsTo(QDateTime::currentDateTimeUtc()) > kHistoryFreshMs)
        fetchHistory(indexNo);
    if (cached == m_serverHistory.constEnd())
        return local;
    QList<RecordSummary> merged = cached->list;
    QSet<QString> onServer;
    for (const RecordSummary &s : merged)
        onServer.insert(s.uuid);
    for (const RecordSummary &s : local)
        if (!onServer.contains(s.uuid))
            merged << s;
    std::stable_sort(merged.begin(), merged.end(),
                     [](const RecordSummary &a, const RecordSummary &b) { return a.openedAt > b.openedAt; });
    return merged;
}

void SyncedStore::fetchHistory(const QString &indexNo)
{
    if (m_fetching.contains(indexNo))
        return;
    m_fetching.insert(indexNo);
    auto *worker = static_cast<ServerWorker *>(m_worker);
    QPointer<SyncedStore> self(this);
    QMetaObject::invokeMethod(worker, [worker, indexNo, self] {
        std::optional<QList<RecordSummary>> list;
        QString error;
        try {
            list = worker->link().history(indexNo);
        } catch (const StoreError &e) {
            error = e.message;
        }
        QMetaObject::invokeMethod(self, [self, indexNo, list, error] {
            if (!self)
                return;
            self->m_fetching.remove(indexNo);
            if (list)
                self->m_serverHistory.insert(indexNo, {*list, QDateTime::currentDateTimeUtc()});
            else
                self->m_serverHistory.remove(indexNo); // unreachable: this computer's records alone
            if (std::exchange(self->m_serverError, error) != error)
                emit self->statusChanged();
            if (list)
                emit self->historyChanged();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

std::optional<LoadedRecord> SyncedStore::load(const QString &uuidOrNumber)
{
    if (auto local = m_local.load(uuidOrNumber))
        return local;
    auto *worker = static_cast<ServerWorker *>(m_worker);
    std::optional<LoadedRecord> found;
    QString error;
    QMetaObject::invokeMethod(worker, [&] {
        try {
            found = worker->link().load(uuidOrNumber);
        } catch (const StoreError &e) {
            error = e.message;
        }
    }, Qt::BlockingQueuedConnection);
    if (!error.isEmpty())
        throw StoreError{error};
    return found;
}

} // namespace records
