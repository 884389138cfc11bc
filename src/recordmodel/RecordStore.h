#pragma once
// Where records and instrument descriptions are kept, behind one small interface, which the visit
// and the record window use whatever keeps them: an SQLite file on this computer, or that file and
// a team's server (the stores live in src/recordstores).
//
// Every call may throw StoreError, whose message names the store (file or server) and the cause
// in words for the technician. A closed record is written once and never changed; writing an
// open record again replaces it.

#include "Record.h"

#include <QDate>

#include <QList>
#include <QObject>
#include <optional>

namespace records {

struct StoreError
{
    QString message;
};

struct RecordSummary
{
    QString uuid;
    QString indexNo;
    int revision = 1;
    QString replaces;
    QDateTime openedAt;
    QDateTime calibratedAt; // when the scale was first read on the visit; invalid where nothing was read
    QDateTime closedAt; // invalid: still open
    Verdict verdict = Verdict::None;
    QString userType;
    QString source; // where it was read from, for people ("this computer", a server's name)
};

// Where records go, for the window's last line.
struct StoreStatus
{
    QString server;      // the team's server, as messages name it; empty without one
    int waiting = 0;     // closed records on this computer that wait for the server
    QString serverError; // why the server did not take them, or did not answer, last time
    bool operator==(const StoreStatus &) const = default;
};

// A calibration interval agreed with a scale's customer. Agreements are added, never replaced:
// the newest is in effect; months 0 says none is agreed any longer.
struct IntervalAgreement
{
    QString indexNo;
    int months = 0;
    QDate agreedOn;     // when the customer agreed it
    QString changedBy;  // who entered it
    QDateTime changedAt; // when (UTC, to the millisecond)
    bool operator==(const IntervalAgreement &) const = default;
};
inline constexpr int kMaxIntervalMonths = 120;

// The last record a key signed in a store: the next one names its SHA-256.
struct ChainHead
{
    int sequence = 0;
    QString sha256;
};

class RecordStore : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The file on this computer, as messages name it.
    virtual QString location() const = 0;
    virtual StoreStatus status() const { return {}; }
    // Records that wait for another place go there now (in the background); nothing without one.
    virtual void sendWaiting() {}

    virtual std::optional<Instrument> instrument(const QString &indexNo) = 0;
    virtual void saveInstrument(const Instrument &instrument) = 0;
    // Every scale described.
    virtual QList<Instrument> instruments() = 0;
    // The intervals agreed for one scale (every scale's for an empty indexNo), oldest first; an
    // agreement is added beside the earlier ones (the same one twice is kept once).
    virtual QList<IntervalAgreement> agreements(const QString &indexNo) = 0;
    virtual void saveAgreement(const IntervalAgreement &agreement) = 0;

    // An open record replaces what was stored of it; a closed one is stored once.
    virtual void save(const Record &record) = 0;
    // The records of one scale (all scales for an empty indexNo), newest first.
    virtual QList<RecordSummary> history(const QString &indexNo) = 0;
    // A record by its uuid, or by a prefix of it that names only one (the number people see).
    virtual std::optional<LoadedRecord> load(const QString &uuidOrNumber) = 0;
    // The newest record the key signed here; nullopt where it signed none.
    virtual std::optional<ChainHead> chainHead(const QString &keyId) { Q_UNUSED(keyId) return std::nullopt; }

signals:
    void statusChanged();  // status() changed
    void historyChanged(); // history() has more to say (a server's list came)
    void instrumentsChanged(); // instrument() knows a scale it did not (a server's description came)
};

} // namespace records
