#include "TestPlan.h"

#include <algorithm>

namespace records {

QList<Micro> defaultWeighingLoads(const Instrument &in)
{
    QList<Micro> loads{0, in.min, in.max / 2, in.max};
    const bool three = in.accuracy == AccuracyClass::III;
    for (Micro n : {three ? 500 : 50, three ? 2000 : 200})
        if (n * in.e < in.max)
            loads << n * in.e;
    std::sort(loads.begin(), loads.end());
    loads.erase(std::unique(loads.begin(), loads.end()), loads.end());
    loads.removeIf([&in](Micro m) { return m < 0 || m > in.max; });
    return loads;
}

QList<Point> weighingPoints(const QList<Micro> &loads)
{
    QList<Point> points;
    for (Micro load : loads)
        points.append({Test::Weighing, load, QStringLiteral("up"), std::nullopt, {}, {}});
    for (qsizetype i = loads.size() - 2; i >= 0; --i)
        points.append({Test::Weighing, loads[i], QStringLiteral("down"), std::nullopt, {}, {}});
    return points;
}

int defaultRepeatabilityCount(const Instrument &in, Micro load)
{
    constexpr Micro kPoundInMicroKg = 453592; // 0.45359237 kg, to the millionth
    const Micro kg = in.pounds ? Micro(double(load) * kPoundInMicroKg / kMicro) : load;
    return kg >= 100 * kMicro ? 3 : 5;
}

QList<Point> repeatabilityPoints(Micro load, int readings)
{
    QList<Point> points;
    for (int i = 1; i <= readings; ++i)
        points.append({Test::Repeatability, load, QString::number(i), std::nullopt, {}, {}});
    return points;
}

QList<Point> eccentricityPoints(Micro load, int supports)
{
    QList<Point> points{{Test::Eccentricity, load, QStringLiteral("centre"), std::nullopt, {}, {}}};
    static const QString quarters[] = {QStringLiteral("front left"), QStringLiteral("rear left"),
                                       QStringLiteral("rear right"), QStringLiteral("front right")};
    if (supports <= 4) {
        for (const QString &segment : quarters)
            points.append({Test::Eccentricity, load, segment, std::nullopt, {}, {}});
        return points;
    }
    for (int i = 0; i < supports; ++i)
        points.append({Test::Eccentricity, load, QStringLiteral("support %1").arg(i + 1), std::nullopt, {}, {}});
    return points;
}

Micro defaultEccentricityLoad(const Instrument &in)
{
    const Micro load = in.max / (in.supports > 4 ? in.supports - 1 : 3);
    if (in.e <= 0)
        return load;
    return (load + in.e / 2) / in.e * in.e;
}

} // namespace records
