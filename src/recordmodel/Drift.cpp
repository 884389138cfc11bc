#include "Drift.h"

#include "Intervals.h"

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

QString intervalHint(const QMap<Micro, QList<DriftPoint>> &drift, int months, int decimals, const QString &unit)
{
    QDateTime last;
    for (const QList<DriftPoint> &points : drift)
        if (!points.isEmpty() && points.last().visit > last)
            last = points.last().visit;
    if (!last.isValid())
        return {};
    double worst = 0;
    Micro worstLoad = 0;
    const DriftPoint *at = nullptr;
    for (auto it = drift.cbegin(); it != drift.cend(); ++it)
        for (const DriftPoint &p : *it)
            if (p.visit == last && p.mpe > 0 && double(std::llabs(p.error)) / double(p.mpe) > worst) {
                worst = double(std::llabs(p.error)) / double(p.mpe);
                worstLoad = it.key();
                at = &p;
            }
    if (!at || worst <= kHintShareOfMpe)
        return {};
    const QString u = QLatin1Char(' ') + unit;
    const QString e = formatMass(at->error, decimals + 1) + u, load = formatMass(worstLoad, decimals) + u,
                  mpe = formatMass(at->mpe, decimals + 1) + u;
    QString text = worst > 1 ? QStringLiteral("The last as-found test failed: E = %1 at %2, beyond its MPE of %3").arg(e, load, mpe)
                             : QStringLiteral("The last as-found test used %1 % of the MPE: E = %2 at %3 (MPE %4)")
                                   .arg(QString::number(int(std::floor(worst * 100))), e, load, mpe);
    text += QStringLiteral(". ILAC-G24's automatic adjustment (\"staircase\") shortens the interval after a result "
                           "near or beyond the limit");
    if (months > 1)
        text += QStringLiteral(": consider %1 months instead of %2, with the customer").arg(qMax(1, months * 3 / 4)).arg(months);
    return text + QLatin1Char('.');
}

} // namespace records
