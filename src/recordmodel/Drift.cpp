#include "Drift.h"

#include "Intervals.h"
#include "RecordStore.h"

#include <cmath>

namespace records {

QMap<Micro, QList<DriftPoint>> driftOf(const QList<Record> &records)
{
    QMap<Micro, QList<DriftPoint>> drift;
    for (const Record &r : records) {
        if (!r.closed() || r.discarded())
            continue;
        const QDateTime visit = visitedAt(r);
        for (const Point &p : r.asFound) {
            if (p.test != Test::Weighing || p.position != QLatin1String("up") || !counts(r, Phase::AsFound, p))
                continue;
            const PointResult result = resultOf(r, Phase::AsFound, p);
            drift[p.load] << DriftPoint{visit, r.uuid, result.error, result.mpe};
        }
    }
    for (QList<DriftPoint> &points : drift)
        std::sort(points.begin(), points.end(), [](const DriftPoint &a, const DriftPoint &b) { return a.visit < b.visit; });
    return drift;
}

QByteArray driftCsv(const QMap<Micro, QList<DriftPoint>> &drift, int decimals)
{
    QByteArray out = "visit,record,load,error,mpe\r\n";
    for (auto it = drift.cbegin(); it != drift.cend(); ++it)
        for (const DriftPoint &p : *it)
            out += QStringLiteral("%1,%2,%3,%4,%5\r\n")
                       .arg(p.visit.toUTC().toString(Qt::ISODate), p.uuid.left(8).toUpper(), formatMass(it.key(), decimals, true),
                            formatMass(p.error, decimals + 1, true), formatMass(p.mpe, decimals + 1, true))
                       .toUtf8();
    return out;
}

std::optional<Staircase> staircaseOf(const Record &visit, int months)
{
    const Instrument &in = visit.instrument;
    const QString unit = QLatin1Char(' ') + unitName(in.pounds);
    const int decimals = readingDecimals(in), loadDecimals = decimalsOf(in.e);
    std::optional<Staircase> out;
    const auto consider = [&](double share, const QString &where) {
        if (!out)
            out = Staircase{};
        if (share > out->share || out->where.isEmpty())
            out->share = share, out->where = where;
    };
    for (const Point &p : visit.asFound) {
        if (!counts(visit, Phase::AsFound, p))
            continue;
        const PointResult result = resultOf(visit, Phase::AsFound, p);
        if (result.mpe > 0)
            consider(double(std::llabs(result.error)) / double(result.mpe),
                     QStringLiteral("E = %1 at %2 (%3, MPE %4)")
                         .arg(formatMass(result.error, decimals) + unit, formatMass(p.load, loadDecimals) + unit,
                              pointName(visit, p), formatMass(result.mpe, decimals) + unit));
    }
    if (const auto rep = repeatabilityOf(visit, Phase::AsFound); rep && rep->mpe > 0)
        consider(double(rep->spread) / double(rep->mpe),
                 QStringLiteral("a spread of %1 in the repeatability test (MPE %2)")
                     .arg(formatMass(rep->spread, decimals) + unit, formatMass(rep->mpe, decimals) + unit));
    if (!out)
        return out;
    out->step = out->share > 1 ? Staircase::Shorten : out->share > kExtendWithin ? Staircase::Keep : Staircase::Extend;
    if (months > 0)
        out->suggested = out->step == Staircase::Shorten ? qMax(1, months * 3 / 4)
                         : out->step == Staircase::Extend ? qMin(kMaxIntervalMonths, months + qMax(1, months / 4))
                                                          : months;
    return out;
}

QString intervalHint(const Record &lastVisit, int months)
{
    const auto stair = staircaseOf(lastVisit, months);
    if (!stair)
        return {};
    const QString percent = QString::number(int(std::floor(stair->share * 100)));
    const QString rule = QStringLiteral("ILAC-G24's staircase method");
    switch (stair->step) {
    case Staircase::Shorten:
        return QStringLiteral("The last as-found tests went beyond the MPE: %1. Beyond the MPE, %2 shortens the interval%3.")
            .arg(stair->where, rule,
                 stair->suggested > 0 ? QStringLiteral(": consider %1 months instead of %2, with the customer").arg(stair->suggested).arg(months)
                                      : QString());
    case Staircase::Keep:
        return QStringLiteral("The last as-found tests used up to %1 % of the MPE: %2. Between 80 % and 100 %, %3 keeps the interval%4.")
            .arg(percent, stair->where, rule,
                 months > 0 ? QStringLiteral(" (%1 months)").arg(months) : QString());
    case Staircase::Extend:
        return QStringLiteral("The last as-found tests used at most %1 % of the MPE: %2. Within 80 %, %3 allows a longer interval%4.")
            .arg(percent, stair->where, rule,
                 stair->suggested > months ? QStringLiteral(": consider %1 months instead of %2, with the customer").arg(stair->suggested).arg(months)
                                           : QString());
    }
    return {};
}

} // namespace records
