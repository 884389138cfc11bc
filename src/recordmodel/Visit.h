#pragma once
// One technician's visit as the records see it: who logged in to which scale, its live weight
// (stability and trend), and the record being made, to which every adjustment the scale confirms
// is added by itself. Widget-free; the record window shows it and asks it to act.
//
// The record is written to the store after every change. When the store cannot be written, the
// record stays here, complete, and goes to the store with the next change or saveNow(), or to a
// file the technician chooses (exportJson).

#include "DeviceEvent.h"
#include "Record.h"
#include "RecordSigner.h"
#include "RecordStore.h"
#include "Stability.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <optional>

namespace records {

class Visit : public QObject
{
    Q_OBJECT
public:
    explicit Visit(QObject *parent = nullptr);

    // Who issues the certificates of the records started from now on.
    void setProvider(const Provider &provider) { m_provider = provider; }
    // The store records go to (not owned); nullptr keeps them here.
    void setStore(RecordStore *store) { m_store = store; }
    RecordStore *store() const { return m_store; }
    // Who signs the records closed from now on (not owned); nullptr: records are not signed.
    void setSigner(RecordSigner *signer) { m_signer = signer; }
    // Tests replace the clocks: a monotonic one in milliseconds and the wall clock.
    void setClocks(std::function<qint64()> monotonicMs, std::function<QDateTime()> now);

    void onDeviceEvent(const DeviceEvent &event);

    // The login: Index No. and user type ("001", "002"); empty before the first login.
    QString indexNo() const { return m_indexNo; }
    QString userType() const { return m_userType; }
    // The unit the scale shows, from its reports and unit replies.
    bool scaleInPounds() const { return m_pounds; }

    // The live weight now, judged with the record's d (or the scale's 0.01 before a record).
    StabilityWindow::State stability() const;
    const Trend &trend() const { return m_trend; }
    qint64 nowMs() const { return m_monotonic(); }

    const std::optional<Record> &record() const { return m_record; }
    bool readOnly() const { return m_record && (m_record->closed() || !m_intact); }
    bool intact() const { return m_intact; }
    // Who signed the record shown, as the store that read it said ("" where it was not asked).
    QString sealNote() const { return m_sealNote; }
    // Weighing adjustments the scale confirmed since the login while no record was open; the next
    // record lists them as made before it.
    const QList<Adjustment> &adjustmentsBeforeRecord() const { return m_beforeRecord; }

    // Why the record shown may not give way to another: the store has not taken it yet; "" when
    // it may.
    QString whyKept() const;

    // Each returns "" on success, else why not, for the technician. Nothing replaces a record
    // that the store has not taken yet.
    QString start(const Instrument &instrument, const ReferenceWeights &weights, bool inService,
                  Acceptance acceptance = Acceptance::Simple);
    // The record start() would open, checked as start() checks it (the description, the weights'
    // class against the loads, the rule against U): "" with *out set, else why not.
    QString plan(const Instrument &instrument, const ReferenceWeights &weights, bool inService, Acceptance acceptance,
                 Record *out) const;
    QString show(const LoadedRecord &loaded); // an earlier record: an open one goes on, a closed one is read-only
    QString correct(const QString &reason);    // a new revision of the closed record shown, with why
    QString discard(const QString &reason);    // closes (and signs) the open record without a verdict
    // Fixed from the first reading on (also after that reading was removed); who issued the
    // weights' certificate may still be given. The binary guarded rule is refused where its plan
    // has a load with U >= MPE (ruleRefusal).
    QString setWeights(const ReferenceWeights &weights);
    QString setInService(bool inService);
    QString setAcceptance(Acceptance acceptance);
    // Who, where and at what temperature (degrees Celsius), while the record is open.
    struct Details
    {
        QString technician;
        QString place;
        std::optional<Micro> temperatureStart;
        std::optional<Micro> temperatureEnd;
    };
    QString setDetails(const Details &details);
    QString setPoints(Phase phase, Test test, const QList<Point> &points); // only while the test is untouched

    // The reading a capture takes now: the latest report, with the mean, spread and count of the
    // last second beside it; or why none can be taken there.
    QString takeReading(Phase phase, const PointKey &point, Reading *reading) const;
    // Puts a reading taken by takeReading on its point, checked again (the record may have changed
    // meanwhile); what the point held goes to its earlier list.
    QString keepReading(Phase phase, const PointKey &point, const Reading &reading);
    QString capture(Phase phase, const PointKey &point); // both at once
    QString removeReading(Phase phase, const PointKey &point);
    // Points without a counted reading, marked as not tested, with the technician's reason.
    QString markNotPerformed(Phase phase, const QList<PointKey> &points, const QString &reason);
    // Closes the record with its verdict, sealed and (with a signer) signed; where signing fails
    // it stays open and saved, and the reason says what to do.
    QString close();

    // Writes the record now; false leaves it here (unsaved()) with storeError() saying why.
    bool saveNow();
    bool unsaved() const { return m_unsaved; }
    QString storeError() const { return m_storeError; }
    // The record as a JSON file, for when the store cannot take it.
    bool exportJson(const QString &path, QString *error) const;

signals:
    void liveWeight();        // a weight report came
    void scaleChanged();      // the login or the scale's unit changed
    void recordChanged();
    void storeStateChanged(); // unsaved() or storeError() changed
    void saved();             // the store took the record

private:
    void onWeight(Micro weight, bool pounds);
    void onUnit(bool pounds);
    QString edit(const std::function<QString(Record &)> &change);
    QString captureRefusal(const Record &r, Phase phase, int index) const;
    void adjust(const QString &text, bool changesWeighing);
    void markUntestedAsFound(Record &r) const;
    QString editable() const; // "" where the record shown may change
    QString seal(Record &closing); // SHA-256, chain and signature; then the record shown becomes it

    struct LastSigned
    {
        QString key;
        int sequence = 0;
        QString sha256;
    };

    RecordStore *m_store = nullptr;
    RecordSigner *m_signer = nullptr;
    std::optional<LastSigned> m_lastSigned; // the last record signed here, also while the store cannot take it
    std::function<qint64()> m_monotonic;
    std::function<QDateTime()> m_now;
    QElapsedTimer m_clock;

    QString m_indexNo;
    QString m_userType;
    bool m_pounds = true;
    bool m_unitKnown = false;
    StabilityWindow m_stability;
    Trend m_trend;
    std::optional<qint32> m_gravity; // the last value read
    bool m_gravityWritten = false;
    bool m_serialWritten = false;

    QList<Adjustment> m_beforeRecord;
    Provider m_provider;
    std::optional<Record> m_record;
    bool m_intact = true;
    QString m_sealNote;
    bool m_unsaved = false;
    QString m_storeError;
};

} // namespace records
