#pragma once
// Where records and instrument descriptions are kept, behind one small interface: an SQLite file
// in the console's data folder (SqliteStore), or another SQL server behind the same calls.
//
// Every call may throw StoreError, whose message names the store (file or server) and the cause
// in words for the technician. A closed record is written once and never changed; writing an
// open record again replaces it.

#include "Record.h"

#include <QList>
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
    QDateTime closedAt; // invalid: still open
    Verdict verdict = Verdict::None;
    QString userType;
    QString source; // where it was read from, for people ("this computer", a server's name)
};

class RecordStore
{
public:
    virtual ~RecordStore() = default;

    // The file or server, as messages name it.
    virtual QString location() const = 0;

    virtual std::optional<Instrument> instrument(const QString &indexNo) = 0;
    virtual void saveInstrument(const Instrument &instrument) = 0;

    // An open record replaces what was stored of it; a closed one is stored once.
    virtual void save(const Record &record) = 0;
    // The records of one scale (all scales for an empty indexNo), newest first.
    virtual QList<RecordSummary> history(const QString &indexNo) = 0;
    // A record by its uuid, or by a prefix of it that names only one (the number people see).
    virtual std::optional<LoadedRecord> load(const QString &uuidOrNumber) = 0;
};

} // namespace records
