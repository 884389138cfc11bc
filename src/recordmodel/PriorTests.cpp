#include "PriorTests.h"

#include "Intervals.h"
#include "Record.h"
#include "RecordStore.h"
#include "Uncertainty.h"

#include <cmath>

namespace records {
namespace {

constexpr int kVisitsLookedAt = 5; // the scale's last calibrations read for its earlier tests

Micro micro(double units)
{
    return Micro(std::llround(units * kMicro));
}

QJsonObject sourceJson(const QString &record, int revision, const QDate &on)
{
    return {{QStringLiteral("record"), record}, {QStringLiteral("revision"), revision}, {QStringLiteral("on"), on.toString(Qt::ISODate)}};
}

} // namespace

QJsonObject PriorTests::toJson() const
{
    QJsonObject o;
    if (repeatability) {
        QJsonObject r = sourceJson(repeatability->record, repeatability->revision, repeatability->on);
        r.insert(QStringLiteral("s"), repeatability->s);
        r.insert(QStringLiteral("readings"), repeatability->readings);
        r.insert(QStringLiteral("load"), repeatability->load);
        o.insert(QStringLiteral("repeatability"), r);
    }
    if (eccentricity) {
        QJsonObject e = sourceJson(eccentricity->record, eccentricity->revision, eccentricity->on);
        e.insert(QStringLiteral("largest"), eccentricity->largest);
        e.insert(QStringLiteral("load"), eccentricity->load);
        o.insert(QStringLiteral("eccentricity"), e);
    }
    return o;
}

PriorTests PriorTests::fromJson(const QJsonObject &o)
{
    PriorTests t;
    const auto day = [](const QJsonObject &from) { return QDate::fromString(from.value(QStringLiteral("on")).toString(), Qt::ISODate); };
    if (const QJsonObject r = o.value(QStringLiteral("repeatability")).toObject(); !r.isEmpty())
        t.repeatability = PriorRepeatability{r.value(QStringLiteral("record")).toString(), r.value(QStringLiteral("revision")).toInt(1),
                                             day(r), r.value(QStringLiteral("s")).toInteger(),
                                             r.value(QStringLiteral("readings")).toInt(), r.value(QStringLiteral("load")).toInteger()};
    if (const QJsonObject e = o.value(QStringLiteral("eccentricity")).toObject(); !e.isEmpty())
        t.eccentricity = PriorEccentricity{e.value(QStringLiteral("record")).toString(), e.value(QStringLiteral("revision")).toInt(1),
                                           day(e), e.value(QStringLiteral("largest")).toInteger(),
                                           e.value(QStringLiteral("load")).toInteger()};
    return t;
}

PriorTests priorTestsIn(const QList<Record> &calibrationsNewestFirst, bool pounds)
{
    PriorTests found;
    for (const Record &r : calibrationsNewestFirst) {
        if (!r.closed() || r.discarded() || r.instrument.pounds != pounds)
            continue;
        const QDate on = calibrationDay(r);
        for (Phase phase : {Phase::AsLeft, Phase::AsFound}) { // the scale as it was left, where it was tested so
            const MeasuredTests t = measuredTests(r, phase);
            if (!found.repeatability && t.s) {
                Micro load = 0;
                for (const Point &p : r.points(phase))
                    if (p.test == Test::Repeatability && counts(r, phase, p))
                        load = p.load;
                found.repeatability = PriorRepeatability{r.uuid, r.revision, on, micro(*t.s), t.readings, load};
            }
            if (!found.eccentricity && t.eccLargest)
                found.eccentricity = PriorEccentricity{r.uuid, r.revision, on, micro(*t.eccLargest), micro(t.eccLoad)};
        }
        if (found.repeatability && found.eccentricity)
            break;
    }
    return found;
}

PriorTests priorTestsOf(RecordStore &store, const QString &indexNo, bool pounds)
{
    QList<Record> visits;
    try {
        for (const RecordSummary &s : calibrations(store.history(indexNo))) {
            if (visits.size() >= kVisitsLookedAt)
                break;
            if (const auto loaded = store.load(s.uuid); loaded && loaded->intact)
                visits << loaded->record;
        }
    } catch (const StoreError &) {
        // what could be read stands in; the rest falls back on the requirement
    }
    return priorTestsIn(visits, pounds);
}

} // namespace records
