#include "RecordLife.h"

#include "Intervals.h"
#include "PlanChecks.h"

namespace records {

bool RecordLife::told(const QString &refusal)
{
    if (!refusal.isEmpty())
        m_ask.tell(refusal, true);
    return refusal.isEmpty();
}

void RecordLife::warnOfPlan()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || m_visit.readOnly() || hasReadings(*r))
        return;
    if (const QStringList warnings = planWarnings(*r); !warnings.isEmpty())
        m_ask.tell(warnings.join(QStringLiteral("\n\n")), false);
}

bool RecordLife::begin(const Instrument &described, const ReferenceWeights &weights, bool inService, Acceptance rule,
                       Visit::Details details)
{
    if (!told(m_visit.start(described, weights, inService, rule)))
        return false;
    if (details.place.isEmpty())
        details.place = described.location;
    m_visit.setDetails(details);
    warnOfPlan();
    return true;
}

bool RecordLife::chooseLimits(const std::optional<Instrument> &described, const ReferenceWeights &weights, bool inService,
                              Acceptance rule)
{
    if (!m_visit.record() || m_visit.readOnly()) {
        Record planned;
        return !described || m_visit.indexNo().isEmpty() || told(m_visit.plan(*described, weights, inService, rule, &planned));
    }
    QString why = m_visit.setInService(inService);
    if (why.isEmpty())
        why = m_visit.setAcceptance(rule);
    if (!told(why))
        return false;
    warnOfPlan();
    return true;
}

bool RecordLife::setWeights(const ReferenceWeights &weights)
{
    if (!m_visit.record() || m_visit.readOnly())
        return true;
    if (!told(m_visit.setWeights(weights)))
        return false;
    warnOfPlan();
    return true;
}

bool RecordLife::discard()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || m_visit.readOnly())
        return false;
    const QString reason = m_ask.reason(
        QStringLiteral("Why is record %1 discarded? It stays in the records, marked discarded, without a verdict.").arg(recordNumber(*r)));
    return !reason.isEmpty() && told(m_visit.discard(reason));
}

bool RecordLife::close(std::optional<std::pair<Phase, PointKey>> *retake)
{
    const std::optional<Record> &r = m_visit.record();
    if (!r)
        return false;
    if (!told(closeRefusal(*r)))
        return false;
    if (const auto unstable = unstableReadings(*r); !unstable.isEmpty()) {
        QStringList names;
        for (const auto &[phase, key] : unstable)
            names << phaseName(phase) + QStringLiteral(", ") + pointName(*r, r->points(phase)[r->indexOf(phase, key)]);
        if (!m_ask.confirm(QStringLiteral("%1 reading(s) were taken while the weight was unstable: %2.\n\nKeep them as FAIL "
                                          "(unstable)? No: take them again first.")
                               .arg(unstable.size())
                               .arg(names.join(QStringLiteral("; "))))) {
            if (retake)
                *retake = unstable.first();
            return false;
        }
    }
    if (!m_ask.confirm(QStringLiteral("Close record %1? A closed record never changes; a correction makes a new revision. It is "
                                      "signed with your key.")
                           .arg(recordNumber(*r))))
        return false;
    return told(m_visit.close());
}

bool RecordLife::correct()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || !r->closed() || r->discarded())
        return false;
    const QString reason = m_ask.reason(
        QStringLiteral("Why is record %1 corrected? The new certificate names the one it replaces and this reason.").arg(recordNumber(*r)));
    return !reason.trimmed().isEmpty() && told(m_visit.correct(reason));
}

bool RecordLife::open(const QString &uuid)
{
    RecordStore *store = m_visit.store();
    if (!store || !told(m_visit.whyKept()))
        return false;
    try {
        const auto loaded = store->load(uuid);
        return loaded && told(m_visit.show(*loaded));
    } catch (const StoreError &e) {
        return told(e.message);
    }
}

RecordLife::Agreed RecordLife::agree(int months, const QDate &agreedOn, const QString &enteredBy)
{
    RecordStore *store = m_visit.store();
    if (!store || m_visit.indexNo().isEmpty())
        return NotKept;
    if (enteredBy.trimmed().isEmpty()) {
        told(QStringLiteral("Type your name in Calibrated by first: an agreed interval is kept with who entered it."));
        return NameMissing;
    }
    try {
        store->saveAgreement({m_visit.indexNo(), months, agreedOn, enteredBy.trimmed(), QDateTime::currentDateTimeUtc()});
    } catch (const StoreError &e) {
        told(e.message);
        return NotKept;
    }
    return Kept;
}

QDate RecordLife::nextDue(const Record &r) const
{
    if (r.format >= 4)
        return nextDueOf(r, {}); // sealed into the record when it closed
    try {
        return m_visit.store() ? nextDueOf(r, m_visit.store()->agreements(r.instrument.indexNo)) : QDate();
    } catch (const StoreError &) {
        return {}; // no agreement to be read: nothing stated
    }
}

} // namespace records
