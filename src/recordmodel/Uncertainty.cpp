#include "Uncertainty.h"

#include "WeightClasses.h"

#include <cmath>

namespace records {
namespace {

constexpr double kPound = 0.45359237; // kg
constexpr double kAirDensity = 1.2;   // rho0, kg/m3
constexpr double kWeightDensity = 8000; // rhoc, kg/m3
const double kSqrt3 = std::sqrt(3.0);

double units(Micro m)
{
    return double(m) / kMicro;
}

// What a phase's own repeatability and eccentricity tests give.
struct PhaseTests
{
    std::optional<double> s;          // standard deviation of the repeatability readings
    std::optional<double> eccPerUnit; // |dI|max / (2 L_ecc sqrt 3)
};

PhaseTests testsOf(const Record &r, Phase phase)
{
    PhaseTests t;
    QList<double> repeated;
    std::optional<double> centre, eccLoad;
    double largest = 0;
    QList<double> eccentric;
    for (const Point &p : r.points(phase)) {
        if (!counts(r, phase, p))
            continue;
        if (p.test == Test::Repeatability)
            repeated << units(p.reading->indication);
        else if (p.test == Test::Eccentricity && p.position == QLatin1String("centre"))
            centre = units(p.reading->indication), eccLoad = units(p.load);
        else if (p.test == Test::Eccentricity)
            eccentric << units(p.reading->indication);
    }
    if (repeated.size() >= 2) {
        double mean = 0, squares = 0;
        for (double v : repeated)
            mean += v / double(repeated.size());
        for (double v : repeated)
            squares += (v - mean) * (v - mean);
        t.s = std::sqrt(squares / double(repeated.size() - 1));
    }
    if (centre && *eccLoad > 0 && !eccentric.isEmpty()) {
        for (double v : eccentric) {
            largest = std::max(largest, std::abs(v - *centre));
        }
        t.eccPerUnit = largest / (2 * *eccLoad * kSqrt3);
    }
    return t;
}

Phase otherPhase(Phase phase)
{
    return phase == Phase::AsFound ? Phase::AsLeft : Phase::AsFound;
}

Micro eccentricityLoad(const Record &r, Phase phase)
{
    for (const Point &p : r.points(phase))
        if (p.test == Test::Eccentricity)
            return p.load;
    return 0;
}

// The reference weights' MPE for a load, in the record's unit; nullopt without a known class.
std::optional<double> weightsMpe(const Record &r, Micro load)
{
    const auto weightClass = weightClassFromName(r.weights.weightClass);
    if (!weightClass)
        return std::nullopt;
    const double kg = units(load) * (r.instrument.pounds ? kPound : 1.0);
    qint64 sumUg = 0;
    for (qint64 nominal : weightsForLoad(qint64(std::llround(kg * 1e9)))) {
        // A class without a weight of this value takes the next class up that has one (the
        // small weights of an M3 set are M2).
        std::optional<qint64> mpe;
        for (int c = int(*weightClass); c >= 0 && !mpe; --c)
            mpe = weightMpeUg(WeightClass(c), nominal);
        sumUg += mpe.value_or(0);
    }
    const double mpeKg = double(sumUg) / 1e9;
    return r.instrument.pounds ? mpeKg / kPound : mpeKg;
}

} // namespace

double UncertaintyBudget::standard() const
{
    double sum = 0;
    for (double u : {zero, reading, repeatability, eccentricity, weights, buoyancy, drift, convection})
        sum += u * u;
    return std::sqrt(sum);
}

UncertaintyBudget uncertaintyOf(const Record &r, Phase phase, const Point &p)
{
    UncertaintyBudget b;
    const double d = units(r.instrument.d);
    const double load = units(p.load);
    b.zero = b.reading = d / (2 * kSqrt3);

    const PhaseTests own = testsOf(r, phase), other = testsOf(r, otherPhase(phase));
    if (const auto s = own.s ? own.s : other.s)
        b.repeatability = *s;
    else // the requirement: a spread within the MPE
        b.repeatability = units(mpe(r.instrument, p.load, r.inService)) / (2 * kSqrt3);

    if (p.test != Test::Eccentricity) {
        if (const auto perUnit = own.eccPerUnit ? own.eccPerUnit : other.eccPerUnit) {
            b.eccentricity = *perUnit * load;
        } else { // the requirement: every position within the MPE of its load
            const Micro lecc = eccentricityLoad(r, phase);
            if (lecc > 0)
                b.eccentricity = units(mpe(r.instrument, lecc, r.inService)) / (2 * units(lecc) * kSqrt3) * load;
        }
    }

    if (const auto weightMpe = weightsMpe(r, p.load)) {
        b.weights = *weightMpe / kSqrt3;
        b.buoyancy = (0.1 * kAirDensity / kWeightDensity * load + *weightMpe / 4) / kSqrt3;
    }
    return b;
}

QStringList uncertaintyAssumptions(const Record &r, Phase phase)
{
    QStringList out;
    if (r.format < 2)
        return out;
    const PhaseTests own = testsOf(r, phase), other = testsOf(r, otherPhase(phase));
    const QString name = phaseName(phase);
    if (!own.s)
        out << (other.s ? QStringLiteral("%1: no repeatability test of its own; the repeatability of %2 stands in.")
                              .arg(name, phaseName(otherPhase(phase)).toLower())
                        : QStringLiteral("%1: no repeatability test; s is taken as MPE / (2 sqrt 3) at each load, "
                                         "a spread within the MPE.")
                              .arg(name));
    if (!own.eccPerUnit)
        out << (other.eccPerUnit ? QStringLiteral("%1: no eccentricity test of its own; the eccentricity of %2 stands in.")
                                       .arg(name, phaseName(otherPhase(phase)).toLower())
                                 : QStringLiteral("%1: no eccentricity test; every position is taken as within the MPE "
                                                  "of the eccentricity load.")
                                       .arg(name));
    if (!weightClassFromName(r.weights.weightClass))
        out << QStringLiteral("The reference weights name no OIML R 111 class (\"%1\"): their contribution is not included.")
                   .arg(r.weights.weightClass);
    return out;
}

std::optional<Micro> expandedUncertainty(const Record &r, Phase phase, const Point &p)
{
    if (r.format < 2 || !p.reading)
        return std::nullopt;
    if (p.reading->expanded)
        return p.reading->expanded;
    return Micro(std::ceil(uncertaintyOf(r, phase, p).expanded() * kMicro - 1e-6));
}

void sealUncertainty(Record &r)
{
    r.uncertaintyNotes.clear();
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (Point &p : r.points(phase))
            if (counts(r, phase, p))
                p.reading->expanded = expandedUncertainty(r, phase, p);
        bool tested = false;
        phasePasses(r, phase, &tested);
        if (tested)
            r.uncertaintyNotes << uncertaintyAssumptions(r, phase);
    }
}

} // namespace records
