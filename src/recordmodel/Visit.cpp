#include "Visit.h"

#include "Intervals.h"
#include "PlanChecks.h"
#include "RecordSigner.h"
#include "Uncertainty.h"

#include <QJsonDocument>
#include <QSaveFile>

namespace records {
namespace {

constexpr auto kAdjustedBeforeTesting = "adjusted before testing";

QString calibrationText(int command, bool pounds)
{
    const auto weight = [pounds](const char *kg, const char *lb) { return QLatin1String(pounds ? lb : kg); };
    switch (command) {
    case 0: return QStringLiteral("Zero");
    case 1: return QStringLiteral("Calibration with ") + weight("0 kg", "0 lb");
    case 2: return QStringLiteral("Calibration with ") + weight("50 kg", "110.23 lb");
    case 3: return QStringLiteral("Calibration with ") + weight("100 kg", "220.46 lb");
    case 10: return QStringLiteral("Trim ") + weight("100 g", "0.22 lb") + QStringLiteral(" down");
    case 11: return QStringLiteral("Trim ") + weight("100 g", "0.22 lb") + QStringLiteral(" up");
    case 12: return QStringLiteral("Trim ") + weight("10 g", "0.02 lb") + QStringLiteral(" down");
    case 13: return QStringLiteral("Trim ") + weight("10 g", "0.02 lb") + QStringLiteral(" up");
    default: return {};
    }
}

// Every load of a record's plan, both phases.
QList<Micro> planLoads(const Record &r)
{
    QList<Micro> loads;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (const Point &p : r.points(phase))
            loads << p.load;
    return loads;
}

QString gravityText(qint32 value)
{
    return formatMass(Micro(value) * 100, 4) + QStringLiteral(" m/s\u00b2");
}

} // namespace

Visit::Visit(QObject *parent) : QObject(parent)
{
    m_clock.start();
    setClocks(nullptr, nullptr);
}

void Visit::setClocks(std::function<qint64()> monotonicMs, std::function<QDateTime()> now)
{
    m_monotonic = monotonicMs ? std::move(monotonicMs) : std::function<qint64()>([this] { return m_clock.elapsed(); });
    m_now = now ? std::move(now) : std::function<QDateTime()>([] { return QDateTime::currentDateTimeUtc(); });
}

void Visit::onDeviceEvent(const DeviceEvent &e)
{
    switch (e.kind) {
    case DeviceEvent::LoggedIn:
        m_indexNo = e.text;
        m_userType = e.number == 2 ? QStringLiteral("002") : QStringLiteral("001");
        m_beforeRecord.clear();
        emit scaleChanged();
        break;
    case DeviceEvent::Weight:
        onWeight(Micro(e.number) * kReportingStep, e.pounds);
        break;
    case DeviceEvent::Calibrated:
        if (e.number == 8 || e.number == 9)
            adjust(QStringLiteral("Calibration mode set to %1").arg(e.number == 8 ? QStringLiteral("automatic") : QStringLiteral("manual")), false);
        else if (const QString text = calibrationText(e.number, m_pounds); !text.isEmpty())
            adjust(text, true);
        break;
    case DeviceEvent::ModeAtKeys:
        adjust(QStringLiteral("Calibration mode changed to %1 at the scale's keys")
                   .arg(e.number ? QStringLiteral("automatic") : QStringLiteral("manual")), false);
        break;
    case DeviceEvent::UnitSet:
        onUnit(e.pounds);
        break;
    case DeviceEvent::GravityRead:
        if (m_gravityWritten)
            adjust(m_gravity ? QStringLiteral("Gravity value changed from %1 to %2 (read back)").arg(gravityText(*m_gravity), gravityText(e.number))
                             : QStringLiteral("Gravity value set to %1 (read back; not read before)").arg(gravityText(e.number)),
                   true);
        m_gravityWritten = false;
        m_gravity = e.number;
        break;
    case DeviceEvent::GravityWritten:
        m_gravityWritten = true;
        break;
    case DeviceEvent::SerialRead:
        if (m_serialWritten)
            adjust(QStringLiteral("User serial number changed to %1 (read back)").arg(e.text), false);
        m_serialWritten = false;
        break;
    case DeviceEvent::SerialWritten:
        m_serialWritten = true;
        break;
    case DeviceEvent::PasswordsWritten:
        adjust(QStringLiteral("Passwords changed"), false);
        break;
    }
}

void Visit::onWeight(Micro weight, bool pounds)
{
    if (pounds != m_pounds) { // another unit: earlier values do not compare
        m_stability.clear();
        m_trend.clear();
        m_pounds = pounds;
    }
    m_unitKnown = true;
    m_stability.add(m_monotonic(), weight);
    m_trend.add(m_monotonic(), weight);
    emit liveWeight();
}

void Visit::onUnit(bool pounds)
{
    if (m_unitKnown && pounds != m_pounds) {
        m_stability.clear();
        m_trend.clear();
        adjust(QStringLiteral("Unit changed to %1").arg(unitName(pounds)), false);
    }
    m_pounds = pounds;
    m_unitKnown = true;
    emit scaleChanged();
}

void Visit::adjust(const QString &text, bool changesWeighing)
{
    if (!m_record || readOnly()) {
        // Not lost: a weighing adjustment before the record is listed in it, and as found says so.
        if (changesWeighing && !m_indexNo.isEmpty())
            m_beforeRecord.append({m_now(), text, true, true});
        return;
    }
    m_record->adjustments.append({m_now(), text, changesWeighing, false});
    if (changesWeighing)
        markUntestedAsFound(*m_record);
    emit recordChanged();
    saveNow();
}

// As found can no longer be tested once the scale was adjusted: what was not read is marked so.
void Visit::markUntestedAsFound(Record &r) const
{
    for (Point &p : r.asFound)
        if (!p.reading && p.notPerformed.isEmpty())
            p.notPerformed = QLatin1String(kAdjustedBeforeTesting);
}

StabilityWindow::State Visit::stability() const
{
    const Micro d = m_record && m_record->instrument.d > 0 ? m_record->instrument.d : kReportingStep;
    return m_stability.state(m_monotonic(), d);
}

QString Visit::edit(const std::function<QString(Record &)> &change)
{
    if (!m_record)
        return QStringLiteral("Start a record first.");
    if (readOnly())
        return QStringLiteral("This record is closed and cannot change; a correction makes a new revision.");
    const QString refused = change(*m_record);
    if (!refused.isEmpty())
        return refused;
    emit recordChanged();
    saveNow();
    return {};
}

QString Visit::whyKept() const
{
    if (m_record && m_unsaved)
        return QStringLiteral("Record %1 is not saved yet (%2): use Save again, or Export it to a file, first.")
            .arg(recordNumber(*m_record), m_storeError);
    return {};
}

QString Visit::start(const Instrument &described, const ReferenceWeights &weights, bool inService, Acceptance acceptance)
{
    if (m_indexNo.isEmpty())
        return QStringLiteral("Log in to the scale first: a record is kept under the scale's Index No.");
    if (m_record && !m_record->closed() && m_intact)
        return QStringLiteral("Record %1 is still open: close it, or discard it, first.").arg(recordNumber(*m_record));
    if (const QString why = whyKept(); !why.isEmpty())
        return why;
    Record made;
    if (const QString why = plan(described, weights, inService, acceptance, &made); !why.isEmpty())
        return why;
    if (m_unitKnown && made.instrument.pounds != m_pounds)
        return QStringLiteral("The scale shows %1 but the instrument is described in %2: switch the scale's unit first.")
            .arg(unitName(m_pounds), unitName(made.instrument.pounds));
    if (m_store) {
        try {
            m_store->saveInstrument(made.instrument);
        } catch (const StoreError &e) {
            m_storeError = e.message; // the record below keeps the description all the same
        }
    }
    m_record = std::move(made);
    m_sealNote.clear();
    m_record->provider = m_provider;
    m_record->place = m_record->instrument.location;
    m_record->adjustments = std::exchange(m_beforeRecord, {});
    if (adjusted(*m_record))
        markUntestedAsFound(*m_record);
    m_intact = true;
    emit recordChanged();
    saveNow();
    return {};
}

QString Visit::plan(const Instrument &described, const ReferenceWeights &weights, bool inService, Acceptance acceptance,
                    Record *out) const
{
    Instrument instrument = described;
    instrument.indexNo = m_indexNo;
    if (const QStringList faults = validate(instrument); !faults.isEmpty())
        return faults.join(QLatin1Char(' '));
    Record made = newRecord(instrument, m_userType, inService, m_now());
    made.weights = weights;
    made.acceptance = acceptance;
    if (const QString why = uncoveredLoad(made, planLoads(made)); !why.isEmpty())
        return why + QStringLiteral(" Choose the class of the weights at hand.");
    if (m_store && !m_indexNo.isEmpty())
        made.priorTests = priorTestsOf(*m_store, m_indexNo, instrument.pounds);
    if (const QString why = ruleRefusal(made); !why.isEmpty())
        return why;
    *out = std::move(made);
    return {};
}

QString Visit::show(const LoadedRecord &loaded)
{
    if (const QString why = whyKept(); !why.isEmpty())
        return why;
    m_record = loaded.record;
    if (!m_record->closed())
        m_record->format = kRecordFormat; // an open record goes on by today's rules
    m_intact = loaded.intact;
    m_sealNote = loaded.sealNote;
    m_unsaved = false;
    emit recordChanged();
    emit storeStateChanged();
    return {};
}

QString Visit::correct(const QString &reason)
{
    if (!m_record || !m_record->closed() || m_record->discarded())
        return QStringLiteral("Only a closed record is corrected, by a new revision.");
    if (!m_intact)
        return QStringLiteral("This record was changed after it was closed; it cannot be the base of a correction.");
    if (const QString why = whyKept(); !why.isEmpty())
        return why;
    if (reason.simplified().isEmpty())
        return QStringLiteral("Give the reason for the correction: the new certificate states it.");
    m_record = correctionOf(*m_record, m_now(), reason);
    m_sealNote.clear();
    emit recordChanged();
    saveNow();
    return {};
}

QString Visit::discard(const QString &reason)
{
    const QString why = reason.simplified();
    if (why.isEmpty())
        return QStringLiteral("Give the reason why the record is discarded.");
    if (const QString refused = editable(); !refused.isEmpty())
        return refused;
    Record closing = *m_record;
    closing.closedAt = m_now().toUTC();
    closing.verdict = Verdict::Discarded;
    closing.discardReason = why;
    return seal(closing);
}

namespace {
QString fixedFromFirstReading(const QString &what)
{
    return QStringLiteral("%1 are fixed from the first reading on: to change them, discard this record and start a new one.")
        .arg(what);
}
} // namespace

QString Visit::setWeights(const ReferenceWeights &weights)
{
    return edit([&](Record &r) {
        const bool sameSet = r.weights.setId == weights.setId && r.weights.weightClass == weights.weightClass
                             && r.weights.certificate == weights.certificate;
        if (hasReadings(r) && !sameSet)
            return fixedFromFirstReading(QStringLiteral("The reference weights"));
        Record changed = r;
        changed.weights = weights;
        if (const QString why = uncoveredLoad(changed, planLoads(r)); !why.isEmpty())
            return why;
        if (const QString why = ruleRefusal(changed); !why.isEmpty() && !hasReadings(r))
            return why;
        r.weights = weights;
        return QString();
    });
}

QString Visit::setInService(bool inService)
{
    return edit([&](Record &r) {
        if (r.inService != inService && hasReadings(r))
            return fixedFromFirstReading(QStringLiteral("The MPE limits"));
        Record changed = r;
        changed.inService = inService;
        if (const QString why = ruleRefusal(changed); !why.isEmpty())
            return why;
        r.inService = inService;
        return QString();
    });
}

QString Visit::setAcceptance(Acceptance acceptance)
{
    return edit([&](Record &r) {
        if (r.acceptance != acceptance && hasReadings(r))
            return fixedFromFirstReading(QStringLiteral("The decision rule and the MPE limits"));
        Record changed = r;
        changed.acceptance = acceptance;
        if (const QString why = ruleRefusal(changed); !why.isEmpty())
            return why;
        r.acceptance = acceptance;
        return QString();
    });
}

QString Visit::setDetails(const Details &details)
{
    return edit([&](Record &r) {
        r.technician = details.technician.simplified();
        r.place = details.place.simplified();
        r.temperatureStart = details.temperatureStart;
        r.temperatureEnd = details.temperatureEnd;
        return QString();
    });
}

QString Visit::setPoints(Phase phase, Test test, const QList<Point> &points)
{
    return edit([&](Record &r) -> QString {
        QList<Point> &all = r.points(phase);
        for (const Point &p : all)
            if (p.test == test && (p.reading || !p.earlier.isEmpty() || !p.notPerformed.isEmpty()))
                return QStringLiteral("The loads of a test are fixed once one of its points was read or marked not performed.");
        for (const Point &p : points)
            if (p.load < 0 || p.load > r.instrument.max)
                return QStringLiteral("A load of %1 %2 is refused: loads are from 0 to Max (%3 %2).")
                    .arg(formatMass(p.load, decimalsOf(r.instrument.e)), unitName(r.instrument.pounds),
                         formatMass(r.instrument.max, decimalsOf(r.instrument.e)));
        QList<Micro> loads;
        for (const Point &p : points)
            loads << p.load;
        if (const QString why = uncoveredLoad(r, loads); !why.isEmpty())
            return why;
        Record changed = r;
        QList<Point> &planned = changed.points(phase);
        qsizetype at = 0;
        while (at < planned.size() && int(planned[at].test) < int(test))
            ++at;
        planned.removeIf([test](const Point &p) { return p.test == test; });
        for (const Point &p : points)
            planned.insert(at++, p);
        if (const QString why = ruleRefusal(changed); !why.isEmpty())
            return why;
        all = planned;
        return QString();
    });
}

QString Visit::captureRefusal(const Record &r, Phase phase, int index) const
{
    if (index < 0)
        return QStringLiteral("Choose a test point first.");
    const Point &p = r.points(phase)[index];
    if (phase == Phase::AsFound && adjusted(r))
        return QStringLiteral("The scale has been adjusted: readings as found can no longer be taken.");
    if (m_pounds != r.instrument.pounds)
        return QStringLiteral("The scale shows %1 but the record is in %2: switch the scale's unit first.")
            .arg(unitName(m_pounds), unitName(r.instrument.pounds));
    if (p.load > r.instrument.max)
        return QStringLiteral("A load above Max is refused.");
    return {};
}

QString Visit::takeReading(Phase phase, const PointKey &point, Reading *reading) const
{
    if (!m_record)
        return QStringLiteral("Start a record first.");
    if (readOnly())
        return QStringLiteral("This record is closed and cannot change; a correction makes a new revision.");
    if (const QString why = captureRefusal(*m_record, phase, m_record->indexOf(phase, point)); !why.isEmpty())
        return why;
    const StabilityWindow::State s = stability();
    if (s.reports == 0)
        return QStringLiteral("No weight report in the last second: log in to the scale first.");
    *reading = Reading{s.latest, !s.stable, m_now(), s.mean, s.spread, s.reports, m_userType};
    return {};
}

QString Visit::keepReading(Phase phase, const PointKey &point, const Reading &reading)
{
    return edit([&](Record &r) -> QString {
        const int index = r.indexOf(phase, point);
        if (const QString why = captureRefusal(r, phase, index); !why.isEmpty())
            return why;
        Point &p = r.points(phase)[index];
        if (p.reading || !p.notPerformed.isEmpty())
            p.earlier.append({p.reading, p.notPerformed, QStringLiteral("replaced"), reading.at, m_userType});
        p.reading = reading;
        p.notPerformed.clear();
        return QString();
    });
}

QString Visit::capture(Phase phase, const PointKey &point)
{
    Reading reading;
    if (const QString why = takeReading(phase, point, &reading); !why.isEmpty())
        return why;
    return keepReading(phase, point, reading);
}

QString Visit::removeReading(Phase phase, const PointKey &point)
{
    return edit([&](Record &r) -> QString {
        const int index = r.indexOf(phase, point);
        if (index < 0 || !r.points(phase)[index].reading)
            return QStringLiteral("Choose a point with a reading first.");
        Point &p = r.points(phase)[index];
        p.earlier.append({p.reading, {}, QStringLiteral("removed"), m_now(), m_userType});
        p.reading.reset();
        return QString();
    });
}

QString Visit::markNotPerformed(Phase phase, const QList<PointKey> &points, const QString &reason)
{
    const QString why = reason.simplified();
    if (why.isEmpty())
        return QStringLiteral("Give the reason why the points were not tested.");
    return edit([&](Record &r) -> QString {
        QList<int> indexes;
        for (const PointKey &key : points) {
            const int index = r.indexOf(phase, key);
            if (index < 0)
                return QStringLiteral("Choose a test point first.");
            if (counts(r, phase, r.points(phase)[index]))
                return QStringLiteral("%1 has a reading: remove it first.").arg(pointName(r, r.points(phase)[index]));
            indexes << index;
        }
        if (indexes.isEmpty())
            return QStringLiteral("Choose a test point first.");
        for (int index : indexes) {
            Point &p = r.points(phase)[index];
            if (p.reading || !p.notPerformed.isEmpty()) // a void reading, or an earlier reason
                p.earlier.append({p.reading, p.notPerformed, QStringLiteral("replaced"), m_now(), m_userType});
            p.reading.reset();
            p.notPerformed = why;
        }
        return QString();
    });
}

QString Visit::close()
{
    if (const QString refused = editable(); !refused.isEmpty())
        return refused;
    if (const QString refused = closeRefusal(*m_record); !refused.isEmpty())
        return refused;
    // The interval agreed when it closes is sealed into it: every copy states the same due date.
    QList<IntervalAgreement> agreements;
    if (m_record->format >= 4 && m_store) {
        try {
            agreements = m_store->agreements(m_record->instrument.indexNo);
        } catch (const StoreError &e) {
            return QStringLiteral("%1 The record stays open: its certificate states the interval agreed with the customer, "
                                  "so it closes once the agreements can be read.")
                .arg(e.message);
        }
    }
    Record closing = *m_record;
    closing.closedAt = m_now().toUTC();
    if (closing.format >= 4)
        closing.due = dueAtClosing(closing, agreements, closing.closedAt);
    sealUncertainty(closing);
    closing.verdict = verdictOf(closing);
    return seal(closing);
}

QString Visit::editable() const
{
    if (!m_record)
        return QStringLiteral("Start a record first.");
    if (readOnly())
        return QStringLiteral("This record is closed and cannot change; a correction makes a new revision.");
    return {};
}

QString Visit::seal(Record &closing)
{
    if (m_signer && closing.format >= 4) {
        try {
            const QString key = m_signer->keyId();
            std::optional<ChainHead> head = m_store ? m_store->chainHead(key) : std::nullopt;
            if (m_lastSigned && m_lastSigned->key == key && (!head || head->sequence < m_lastSigned->sequence))
                head = ChainHead{m_lastSigned->sequence, m_lastSigned->sha256}; // signed here, not stored yet
            closing.chain = ChainLink{key, head ? head->sequence + 1 : 1, head ? head->sha256 : QString()};
            closing.sha256 = closing.computeSha256();
            closing.seal = m_signer->sign(closing.canonical());
        } catch (const SigningError &e) {
            return e.message + QStringLiteral(" The record stays open and saved.");
        } catch (const StoreError &e) {
            return e.message + QStringLiteral(" The record stays open and saved.");
        }
        m_lastSigned = LastSigned{closing.chain->key, closing.chain->sequence, closing.sha256};
        m_sealNote = QStringLiteral("signed with this computer's key, record %1 of its chain").arg(closing.chain->sequence);
    } else {
        closing.sha256 = closing.computeSha256();
    }
    return edit([&](Record &r) {
        r = closing;
        return QString();
    });
}

bool Visit::saveNow()
{
    if (!m_record || !m_intact)
        return true;
    const bool wasUnsaved = m_unsaved;
    const QString before = m_storeError;
    try {
        if (!m_store)
            throw StoreError{QStringLiteral("No records store is open.")};
        m_store->save(*m_record);
        m_unsaved = false;
        m_storeError.clear();
    } catch (const StoreError &e) {
        m_unsaved = true;
        m_storeError = e.message;
    }
    if (wasUnsaved != m_unsaved || before != m_storeError)
        emit storeStateChanged();
    if (!m_unsaved)
        emit saved();
    return !m_unsaved;
}

bool Visit::exportJson(const QString &path, QString *error) const
{
    if (!m_record) {
        *error = QStringLiteral("There is no record to export.");
        return false;
    }
    QJsonObject o = m_record->toJson();
    if (m_record->closed())
        o.insert(QStringLiteral("sha256"), m_record->sha256);
    if (!m_record->seal.empty()) { // beside the contents, as the stores keep it
        o.insert(QStringLiteral("signature"), QString::fromLatin1(m_record->seal.signature.toBase64()));
        o.insert(QStringLiteral("certificates"), QString::fromUtf8(m_record->seal.certificates));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(o).toJson()) < 0 || !file.commit()) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace records
