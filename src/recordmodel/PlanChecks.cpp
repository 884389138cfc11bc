#include "PlanChecks.h"

#include "Uncertainty.h"

#include <QMap>
#include <cmath>

namespace records {
namespace {

struct AtLoad
{
    Micro u = 0;   // the largest U of the points at the load
    Micro mpe = 0;
};

// U at every planned load of both phases, as a reading there would have it now.
QMap<Micro, AtLoad> plannedUncertainty(const Record &r)
{
    QMap<Micro, AtLoad> out;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (const Point &p : r.points(phase)) {
            Point read = p;
            read.reading = Reading{p.load};
            AtLoad &at = out[p.load];
            at.u = std::max(at.u, expandedUncertainty(r, phase, read).value_or(0));
            at.mpe = mpe(r.instrument, p.load, r.inService);
        }
    }
    return out;
}

QString mass(const Record &r, Micro m, int decimals)
{
    return formatMass(m, decimals) + QLatin1Char(' ') + unitName(r.instrument.pounds);
}

QString uAndMpe(const Record &r, Micro load, Micro u, Micro mpeHere)
{
    const int decimals = readingDecimals(r.instrument);
    return QStringLiteral("%1 (U %2, MPE %3)").arg(mass(r, load, decimalsOf(r.instrument.e)), mass(r, u, decimals + 1), mass(r, mpeHere, decimals));
}

// Loads where the weights' MPE is more than a third of the scale's.
QStringList coarseWeights(const Record &r, const QList<Micro> &loads)
{
    QStringList out;
    const int decimals = readingDecimals(r.instrument) + 1;
    for (Micro load : loads) {
        const auto weights = referenceWeightsMpe(r, load);
        const Micro limit = mpe(r.instrument, load, r.inService);
        if (load > 0 && weights && *weights * kMicro > double(limit) / 3 + 0.5)
            out << QStringLiteral("%1 (the weights' MPE %2, a third of the scale's MPE %3)")
                       .arg(mass(r, load, decimalsOf(r.instrument.e)), mass(r, Micro(std::llround(*weights * kMicro)), decimals),
                            mass(r, Micro(std::llround(double(limit) / 3)), decimals));
    }
    return out;
}

QString coarseWeightsSentence(const Record &r, const QStringList &loads)
{
    return QStringLiteral("The reference weights (OIML R 111 class %1) may err by more than a third of the scale's MPE at %2; "
                          "OIML R 76-1 3.7.1 asks for at most a third.")
        .arg(r.weights.weightClass, loads.join(QStringLiteral(", ")));
}

} // namespace

QString ruleRefusal(const Record &r)
{
    if (r.format < 4 || r.acceptance != Acceptance::Guarded)
        return {};
    QStringList loads;
    const QMap<Micro, AtLoad> planned = plannedUncertainty(r);
    for (auto it = planned.cbegin(); it != planned.cend(); ++it)
        if (it->u >= it->mpe)
            loads << uAndMpe(r, it.key(), it->u, it->mpe);
    if (loads.isEmpty())
        return {};
    return QStringLiteral("Guarded acceptance with a binary statement (ILAC-G8:2019, 4.2.2) cannot accept at %1: there U is the "
                          "MPE or more, so the acceptance limit MPE - U leaves nothing to accept. Choose simple acceptance or "
                          "the non-binary statement (4.2.3), or other loads.")
        .arg(loads.join(QStringLiteral(", ")));
}

QStringList planWarnings(const Record &r)
{
    QStringList out;
    if (r.format < 4)
        return out;
    const QMap<Micro, AtLoad> planned = plannedUncertainty(r);
    if (const QStringList coarse = coarseWeights(r, planned.keys()); !coarse.isEmpty())
        out << coarseWeightsSentence(r, coarse);
    if (r.acceptance == Acceptance::Simple) {
        QStringList loads;
        for (auto it = planned.cbegin(); it != planned.cend(); ++it)
            if (it->u > it->mpe)
                loads << uAndMpe(r, it.key(), it->u, it->mpe);
        if (!loads.isEmpty())
            out << QStringLiteral("Under simple acceptance U exceeds the MPE at %1: a reading there passes on |E| <= MPE although "
                                  "its uncertainty is larger than the MPE, and the certificate says so. A guarded rule, or "
                                  "the tests that lower U (repeatability, eccentricity), avoid it.")
                       .arg(loads.join(QStringLiteral(", ")));
    }
    return out;
}

QStringList certificateCautions(const Record &r)
{
    QStringList out;
    if (r.format < 4)
        return out;
    QList<Micro> loads;
    QStringList beyond;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (const Point &p : r.points(phase)) {
            if (!counts(r, phase, p))
                continue;
            if (!loads.contains(p.load))
                loads << p.load;
            const auto u = expandedUncertainty(r, phase, p);
            const Micro limit = mpe(r.instrument, p.load, r.inService);
            if (r.acceptance == Acceptance::Simple && u && *u > limit)
                beyond << QStringLiteral("%1, %2").arg(phaseName(phase), pointName(r, p)) + QStringLiteral(" (U %1, MPE %2)")
                              .arg(mass(r, *u, readingDecimals(r.instrument) + 1), mass(r, limit, readingDecimals(r.instrument)));
        }
    }
    std::sort(loads.begin(), loads.end());
    if (const QStringList coarse = coarseWeights(r, loads); !coarse.isEmpty())
        out << coarseWeightsSentence(r, coarse);
    if (!beyond.isEmpty())
        out << QStringLiteral("Under simple acceptance, U exceeds the MPE at %1 reading(s), which pass or fail on |E| alone: %2.")
                   .arg(beyond.size())
                   .arg(beyond.join(QStringLiteral("; ")));
    return out;
}

} // namespace records
