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

// The regularised incomplete beta function I_x(a, b), by its continued fraction.
double incompleteBeta(double a, double b, double x)
{
    if (x <= 0)
        return 0;
    if (x >= 1)
        return 1;
    if (x > (a + 1) / (a + b + 2))
        return 1 - incompleteBeta(b, a, 1 - x);
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x)) / a;
    constexpr double tiny = 1e-300;
    double f = 1, c = 1, d = 0;
    for (int i = 0; i <= 400; ++i) {
        const int m = i / 2;
        const double numerator = i == 0       ? 1
                                 : i % 2 == 0 ? m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m))
                                              : -(a + m) * (a + b + m) * x / ((a + 2 * m) * (a + 2 * m + 1));
        d = 1 + numerator * d;
        d = std::abs(d) < tiny ? tiny : d;
        d = 1 / d;
        c = 1 + numerator / c;
        c = std::abs(c) < tiny ? tiny : c;
        f *= c * d;
        if (std::abs(1 - c * d) < 1e-12)
            break;
    }
    return front * (f - 1);
}

// d2(n) and d3(n): the mean and the standard deviation of the range of n values of a normal
// distribution, in units of its s (the control-chart constants, n = 2 ... 10).
const double kD2[] = {1.128, 1.693, 2.059, 2.326, 2.534, 2.704, 2.847, 2.970, 3.078};
const double kD3[] = {0.853, 0.888, 0.880, 0.864, 0.848, 0.833, 0.820, 0.808, 0.797};

double expectedRange(int n)
{
    return kD2[qBound(2, n, 10) - 2];
}

int plannedRepeatability(const Record &r, Phase phase)
{
    int n = 0;
    for (const Point &p : r.points(phase))
        n += p.test == Test::Repeatability ? 1 : 0;
    return n > 1 ? n : 5;
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

double kilograms(const Record &r, Micro load)
{
    return units(load) * (r.instrument.pounds ? kPound : 1.0);
}

// A weight's MPE in its set's class. Format 3: a mixed class without the value takes the coarser
// class it is mixed from (M1-2: M2), and M3 its finer neighbour below 1 g (the small weights of
// an M3 set are M2); a pure class that has no such weight has none. Format 2 took the next finer
// class that had one.
std::optional<qint64> setWeightMpe(const Record &r, WeightClass c, qint64 nominal)
{
    if (r.format < 3) {
        std::optional<qint64> mpe;
        for (int finer = int(c); finer >= 0 && !mpe; --finer)
            mpe = weightMpeUg(WeightClass(finer), nominal);
        return mpe;
    }
    if (const auto mpe = weightMpeUg(c, nominal))
        return mpe;
    if (c == WeightClass::M1_2 || c == WeightClass::M2_3)
        return weightMpeUg(WeightClass(int(c) + 1), nominal);
    if (c == WeightClass::M3)
        return weightMpeUg(WeightClass::M2, nominal);
    return std::nullopt;
}

} // namespace

MeasuredTests measuredTests(const Record &r, Phase phase)
{
    MeasuredTests t;
    QList<double> repeated;
    std::optional<double> centre;
    QList<double> eccentric;
    for (const Point &p : r.points(phase)) {
        if (!counts(r, phase, p))
            continue;
        if (p.test == Test::Repeatability)
            repeated << units(p.reading->indication);
        else if (p.test == Test::Eccentricity && p.position == QLatin1String("centre"))
            centre = units(p.reading->indication), t.eccLoad = units(p.load);
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
        t.readings = int(repeated.size());
    }
    if (centre && t.eccLoad > 0 && !eccentric.isEmpty()) {
        double largest = 0;
        for (double v : eccentric)
            largest = std::max(largest, std::abs(v - *centre));
        t.eccLargest = largest;
    }
    return t;
}

double rangeDegreesOfFreedom(int n)
{
    const double ratio = kD3[qBound(2, n, 10) - 2] / expectedRange(n);
    return 1 / (2 * ratio * ratio);
}

std::optional<double> referenceWeightsMpe(const Record &r, Micro load)
{
    const auto weightClass = weightClassFromName(r.weights.weightClass);
    if (!weightClass)
        return std::nullopt;
    qint64 sumUg = 0;
    for (qint64 nominal : weightsForLoad(qint64(std::llround(kilograms(r, load) * 1e9))))
        sumUg += setWeightMpe(r, *weightClass, nominal).value_or(0);
    const double mpeKg = double(sumUg) / 1e9;
    return r.instrument.pounds ? mpeKg / kPound : mpeKg;
}

double coverageFactor(double dof)
{
    if (!(dof < 1e7))
        return 2.0;
    dof = std::max(dof, 0.5);
    // Two-sided: P(|T| <= t) = 1 - I_{dof / (dof + t^2)}(dof / 2, 1 / 2) = 0.9545.
    double low = 1.9, high = 200;
    for (int i = 0; i < 100; ++i) {
        const double t = (low + high) / 2;
        (1 - incompleteBeta(dof / 2, 0.5, dof / (dof + t * t)) < 0.9545 ? low : high) = t;
    }
    return (low + high) / 2;
}

double effectiveDegreesOfFreedom(std::initializer_list<DofTerm> terms)
{
    double variance = 0, denominator = 0;
    for (const DofTerm &t : terms) {
        const double v = t.u * t.u;
        variance += v;
        if (t.dof < std::numeric_limits<double>::infinity() && v > 0)
            denominator += v * v / t.dof; // dof 0: nothing known, nu_eff 0
    }
    if (!(denominator > 0))
        return std::numeric_limits<double>::infinity();
    return variance * variance / denominator;
}

double UncertaintyBudget::effectiveDof() const
{
    return effectiveDegreesOfFreedom({{zero}, {reading}, {repeatability, repeatabilityDof}, {eccentricity},
                                      {weights}, {buoyancy}, {drift}, {convection}});
}

double UncertaintyBudget::standard() const
{
    double sum = 0;
    for (double u : {zero, reading, repeatability, eccentricity, weights, buoyancy, drift, convection})
        sum += u * u;
    return std::sqrt(sum);
}

namespace {

// |dI|max / (2 L_ecc sqrt 3): the eccentricity's contribution per unit of load.
std::optional<double> eccentricityPerUnit(const MeasuredTests &t)
{
    if (!t.eccLargest)
        return std::nullopt;
    return *t.eccLargest / (2 * t.eccLoad * kSqrt3);
}

// The tests that give a phase's repeatability and eccentricity: its own, else the other phase's,
// else (format 4) the scale's own last ones.
MeasuredTests standingTests(const Record &r, Phase phase)
{
    const MeasuredTests own = measuredTests(r, phase), other = measuredTests(r, otherPhase(phase));
    MeasuredTests t = own;
    if (!t.s && other.s)
        t.s = other.s, t.readings = other.readings;
    if (!t.eccLargest && other.eccLargest)
        t.eccLargest = other.eccLargest, t.eccLoad = other.eccLoad;
    if (r.format >= 4) {
        if (const auto &prior = r.priorTests.repeatability; !t.s && prior && prior->readings >= 2)
            t.s = units(prior->s), t.readings = prior->readings;
        if (const auto &prior = r.priorTests.eccentricity; !t.eccLargest && prior && prior->load > 0)
            t.eccLargest = units(prior->largest), t.eccLoad = units(prior->load);
    }
    return t;
}

} // namespace

UncertaintyBudget uncertaintyOf(const Record &r, Phase phase, const Point &p)
{
    UncertaintyBudget b;
    const double d = units(r.instrument.d);
    const double load = units(p.load);
    b.zero = b.reading = d / (2 * kSqrt3);

    const MeasuredTests from = standingTests(r, phase);
    const bool strict = r.format >= 3;
    b.studentFactor = strict;
    if (from.s) {
        b.repeatability = *from.s;
        b.repeatabilityDof = from.readings - 1;
    } else { // the requirement: a spread within the MPE
        const double mpeHere = units(mpe(r.instrument, p.load, r.inService));
        const int planned = plannedRepeatability(r, phase);
        b.repeatability = strict ? mpeHere / expectedRange(planned) : mpeHere / (2 * kSqrt3);
        if (r.format >= 4) // as reliable as a range of that many readings, not more
            b.repeatabilityDof = rangeDegreesOfFreedom(planned);
    }

    if (p.test != Test::Eccentricity) {
        if (const auto perUnit = eccentricityPerUnit(from)) {
            b.eccentricity = *perUnit * load;
        } else { // the requirement: every position within the MPE of its load
            const Micro lecc = eccentricityLoad(r, phase);
            if (lecc > 0)
                b.eccentricity = (strict ? 2 : 1) * units(mpe(r.instrument, lecc, r.inService)) / (2 * units(lecc) * kSqrt3) * load;
        }
    }

    if (const auto weightMpe = referenceWeightsMpe(r, p.load)) {
        b.weights = *weightMpe / kSqrt3;
        b.buoyancy = (0.1 * kAirDensity / kWeightDensity * load + *weightMpe / 4) / kSqrt3;
    }
    return b;
}

QString uncoveredLoad(const Record &r, const QList<Micro> &loads)
{
    const auto weightClass = weightClassFromName(r.weights.weightClass);
    if (r.format < 3 || !weightClass)
        return {};
    for (Micro load : loads) {
        for (qint64 nominal : weightsForLoad(qint64(std::llround(kilograms(r, load) * 1e9)))) {
            if (setWeightMpe(r, *weightClass, nominal))
                continue;
            qint64 largest = 0; // of the 1-2-5 series, from 5,000 kg down
            for (qint64 unit = 1000 * kKilogram; unit >= kMilligram && largest == 0; unit /= 10)
                for (qint64 n : {5 * unit, 2 * unit, unit})
                    if (largest == 0 && setWeightMpe(r, *weightClass, n))
                        largest = n;
            return QStringLiteral("A load of %1 %2 is refused: it needs a weight of %3 kg, and OIML R 111 class %4 has "
                                  "none (its largest is %5 kg), so its uncertainty cannot be stated.")
                .arg(formatMass(load, decimalsOf(r.instrument.e)), unitName(r.instrument.pounds),
                     QString::number(double(nominal) / 1e9), weightClassName(*weightClass), QString::number(double(largest) / 1e9));
        }
    }
    return {};
}

QStringList uncertaintyAssumptions(const Record &r, Phase phase)
{
    QStringList out;
    if (r.format < 2)
        return out;
    const MeasuredTests own = measuredTests(r, phase), other = measuredTests(r, otherPhase(phase));
    const QString name = phaseName(phase);
    const int decimals = readingDecimals(r.instrument);
    const QString unit = QLatin1Char(' ') + unitName(r.instrument.pounds);
    const auto mass = [&](Micro m, int places) { return formatMass(m, places) + unit; };
    const auto &priorRep = r.priorTests.repeatability;
    const auto &priorEcc = r.priorTests.eccentricity;
    const int planned = plannedRepeatability(r, phase);
    if (own.s) {
    } else if (other.s) {
        out << QStringLiteral("%1: no repeatability test of its own; the repeatability of %2 stands in.")
                   .arg(name, phaseName(otherPhase(phase)).toLower());
    } else if (r.format >= 4 && priorRep && priorRep->readings >= 2) {
        out << QStringLiteral("%1: no repeatability test; the scale's last one stands in: record %2 of %3, s = %4 from %5 "
                              "readings at %6 (%7 degrees of freedom).")
                   .arg(name, recordNumber(priorRep->record, priorRep->revision), priorRep->on.toString(Qt::ISODate),
                        mass(priorRep->s, decimals + 1))
                   .arg(priorRep->readings)
                   .arg(mass(priorRep->load, decimalsOf(r.instrument.e)))
                   .arg(priorRep->readings - 1);
    } else if (r.format >= 4) {
        out << QStringLiteral("%1: no repeatability test, nor an earlier one of this scale; s is taken as MPE / %2 (a spread "
                              "of %3 readings within the MPE), with the %4 degrees of freedom of such a range (GUM G.4.2).")
                   .arg(name, QString::number(expectedRange(planned), 'f', 3))
                   .arg(planned)
                   .arg(QString::number(rangeDegreesOfFreedom(planned), 'f', 1));
    } else {
        out << (r.format >= 3 ? QStringLiteral("%1: no repeatability test; s is taken as MPE / %2 (a spread of %3 readings "
                                               "within the MPE).")
                                    .arg(name, QString::number(expectedRange(planned), 'f', 3))
                                    .arg(planned)
                              : QStringLiteral("%1: no repeatability test; s is taken as MPE / (2 sqrt 3) at each load, "
                                               "a spread within the MPE.")
                                    .arg(name));
    }
    if (own.eccLargest) {
    } else if (other.eccLargest) {
        out << QStringLiteral("%1: no eccentricity test of its own; the eccentricity of %2 stands in.")
                   .arg(name, phaseName(otherPhase(phase)).toLower());
    } else if (r.format >= 4 && priorEcc && priorEcc->load > 0) {
        out << QStringLiteral("%1: no eccentricity test; the scale's last one stands in: record %2 of %3, the largest "
                              "difference from the centre %4 at %5.")
                   .arg(name, recordNumber(priorEcc->record, priorEcc->revision), priorEcc->on.toString(Qt::ISODate),
                        mass(priorEcc->largest, decimals), mass(priorEcc->load, decimalsOf(r.instrument.e)));
    } else {
        out << (r.format >= 3 ? QStringLiteral("%1: no eccentricity test%2; the largest difference from the centre is taken as "
                                               "2 MPE of the eccentricity load (%3).")
                                    .arg(name, r.format >= 4 ? QStringLiteral(", nor an earlier one of this scale") : QString(),
                                         formatMass(2 * mpe(r.instrument, eccentricityLoad(r, phase), r.inService), decimals) + unit)
                              : QStringLiteral("%1: no eccentricity test; every position is taken as within the MPE "
                                               "of the eccentricity load.")
                                    .arg(name));
    }
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
    const UncertaintyBudget b = uncertaintyOf(r, phase, p);
    const double k = std::round(b.coverage() * 100) / 100; // as printed
    return Micro(std::ceil(k * b.standard() * kMicro - 1e-6));
}

std::optional<double> coverageOf(const Record &r, Phase phase, const Point &p)
{
    if (r.format < 2 || !p.reading)
        return std::nullopt;
    if (p.reading->coverage)
        return double(*p.reading->coverage) / kMicro;
    if (r.format < 3 || p.reading->expanded)
        return 2.0;
    return std::round(uncertaintyOf(r, phase, p).coverage() * 100) / 100;
}

ReportedUncertainty reportedUncertainty(Micro u)
{
    // The decimal place of the second significant digit, at most 6 (a millionth).
    int decimals = 6;
    Micro step = 1;
    while (decimals > 0 && u >= 100 * step) {
        step *= 10;
        --decimals;
    }
    while (decimals == 0 && u >= 100 * step) // 100 units or more: tens, hundreds ...
        step *= 10;
    Micro shown = (u + step / 2) / step * step;
    if (shown < u && double(u - shown) > 0.05 * double(u))
        shown += step; // rounding to the nearest would understate it by more than 5 %
    return {shown, decimals};
}

PrintedResult printedResult(const Record &r, Micro error, std::optional<Micro> u, bool forFiles)
{
    const int decimals = readingDecimals(r.instrument);
    if (r.format < 4 || !u)
        return {formatMass(error, decimals, forFiles), u ? formatUncertainty(*u, decimals, forFiles) : QString()};
    const ReportedUncertainty shown = reportedUncertainty(*u);
    return {formatMass(error, shown.decimals, forFiles), formatMass(shown.value, shown.decimals, forFiles)};
}

QString formatUncertainty(Micro u, int decimals, bool forFiles)
{
    Micro step = 1;
    for (int i = qBound(0, decimals, 6); i < 6; ++i)
        step *= 10;
    Micro shown = (u + step / 2) / step * step;
    if (shown < u && double(u - shown) > 0.05 * double(u))
        shown += step; // rounding down would understate it by more than 5 %
    return formatMass(shown, decimals, forFiles);
}

void sealUncertainty(Record &r)
{
    r.uncertaintyNotes.clear();
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (Point &p : r.points(phase))
            if (counts(r, phase, p)) {
                if (r.format >= 3)
                    p.reading->coverage = Micro(std::llround(*coverageOf(r, phase, p) * kMicro));
                p.reading->expanded = expandedUncertainty(r, phase, p);
            }
        bool tested = false;
        phasePasses(r, phase, &tested);
        if (tested)
            r.uncertaintyNotes << uncertaintyAssumptions(r, phase);
    }
}

} // namespace records
