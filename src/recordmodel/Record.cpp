#include "Record.h"

#include "TestPlan.h"
#include "Uncertainty.h"

#include <QUuid>
#include <algorithm>

namespace records {
namespace {

const QString kVerdicts[] = {QString(), QStringLiteral("PASS"), QStringLiteral("ADJUSTED"), QStringLiteral("FAIL"),
                             QStringLiteral("DISCARDED"), QStringLiteral("CONFORMITY NOT STATED"),
                             QStringLiteral("CONDITIONAL PASS"), QStringLiteral("CONDITIONAL FAIL")};

// Counted readings of a phase with this outcome.
int readingsWith(const Record &r, Phase phase, Outcome outcome)
{
    int n = 0;
    for (const Point &p : r.points(phase))
        n += counts(r, phase, p) && resultOf(r, phase, p).outcome == outcome ? 1 : 0;
    return n;
}

Micro magnitude(Micro m)
{
    return m < 0 ? -m : m;
}

QString massText(const Instrument &in, Micro m)
{
    return formatMass(m, decimalsOf(in.e)) + QLatin1Char(' ') + unitName(in.pounds);
}

} // namespace

int Record::indexOf(Phase phase, const PointKey &key) const
{
    const QList<Point> &all = points(phase);
    for (int i = 0; i < int(all.size()); ++i)
        if (keyOf(all[i]) == key)
            return i;
    return -1;
}

Record newRecord(const Instrument &instrument, const QString &userType, bool inService, const QDateTime &now)
{
    Record r;
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.instrument = instrument;
    r.userType = userType;
    r.inService = inService;
    r.openedAt = now.toUTC();
    const Micro half = instrument.max / 2;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        QList<Point> &points = r.points(phase);
        points << weighingPoints(defaultWeighingLoads(instrument))
               << repeatabilityPoints(half, defaultRepeatabilityCount(instrument, half))
               << eccentricityPoints(defaultEccentricityLoad(instrument), instrument.supports);
    }
    return r;
}

Record correctionOf(const Record &closed, const QDateTime &now, const QString &reason)
{
    Record r = closed;
    r.format = kRecordFormat; // a correction is made, and judged, by today's rules
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.revision = closed.revision + 1;
    r.replaces = closed.uuid;
    r.correctionReason = reason.simplified();
    r.openedAt = now.toUTC();
    r.closedAt = QDateTime();
    r.verdict = Verdict::None;
    r.due.reset();
    r.sha256.clear();
    return r;
}

QString recordNumber(const Record &r)
{
    return recordNumber(r.uuid, r.revision);
}

QString recordNumber(const QString &uuid, int revision)
{
    const QString number = uuid.left(8).toUpper();
    return revision > 1 ? number + QStringLiteral("-r%1").arg(revision) : number;
}

QString testName(Test t)
{
    static const QString names[] = {QStringLiteral("Weighing"), QStringLiteral("Repeatability"), QStringLiteral("Eccentricity")};
    return names[int(t)];
}

QString phaseName(Phase p)
{
    return p == Phase::AsFound ? QStringLiteral("As found") : QStringLiteral("As left");
}

QString verdictName(Verdict v)
{
    return kVerdicts[int(v)];
}

Verdict verdictFromName(const QString &name)
{
    const auto found = std::find(std::begin(kVerdicts), std::end(kVerdicts), name);
    return found == std::end(kVerdicts) || name.isEmpty() ? Verdict::None : Verdict(found - std::begin(kVerdicts));
}

const Adjustment *voidingAdjustment(const Record &r, Phase phase, const Reading &reading)
{
    if (phase != Phase::AsLeft || r.format < 2)
        return nullptr;
    for (const Adjustment &a : r.adjustments)
        if (a.changesWeighing && !a.beforeRecord && a.at >= reading.at)
            return &a;
    return nullptr;
}

QString voidReason(const Adjustment &a)
{
    QString what = a.text;
    if (!what.isEmpty())
        what[0] = what[0].toLower();
    return QStringLiteral("void: taken before the %1 at %2").arg(what, a.at.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
}

QString changeReason(const Record &r, Phase phase, const PointChange &c)
{
    if (c.reading)
        if (const Adjustment *a = voidingAdjustment(r, phase, *c.reading))
            return voidReason(*a);
    return c.change == QLatin1String("removed") ? QStringLiteral("removed by the technician") : QStringLiteral("replaced by the technician");
}

bool counts(const Record &r, Phase phase, const Point &p)
{
    return p.reading && !voidingAdjustment(r, phase, *p.reading);
}

PointResult resultOf(const Record &r, Phase phase, const Point &p, const Reading &reading)
{
    PointResult out;
    out.error = reading.indication - p.load;
    out.mpe = mpe(r.instrument, p.load, r.inService);
    const Micro e = magnitude(out.error);
    if (r.format >= 2 && reading.unstable) {
        out.outcome = Outcome::Fail;
        return out;
    }
    Micro w = 0; // the guard band: U before rounding
    if (r.acceptance != Acceptance::Simple) {
        Point alone = p;
        alone.reading = reading;
        w = expandedUncertainty(r, phase, alone).value_or(0);
    }
    switch (r.acceptance) {
    case Acceptance::Simple:
        out.outcome = e <= out.mpe ? Outcome::Pass : Outcome::Fail;
        break;
    case Acceptance::Guarded:
        out.outcome = e + w <= out.mpe ? Outcome::Pass : Outcome::Fail;
        if (r.format == 3 && w >= out.mpe && e <= out.mpe) // the guard band of format 3 left it unstated
            out.outcome = Outcome::NotStated;
        break;
    case Acceptance::NonBinary:
        out.outcome = e + w <= out.mpe ? Outcome::Pass
                      : e <= out.mpe   ? Outcome::ConditionalPass
                      : e <= out.mpe + w ? Outcome::ConditionalFail
                                         : Outcome::Fail;
        break;
    }
    return out;
}

QString resultWord(const PointResult &result)
{
    static const QString words[] = {QStringLiteral("pass"), QStringLiteral("conditional pass"), QStringLiteral("cannot be stated"),
                                     QStringLiteral("conditional FAIL"), QStringLiteral("FAIL")};
    return words[int(result.outcome)];
}

PointResult resultOf(const Record &r, Phase phase, const Point &p)
{
    if (p.reading)
        return resultOf(r, phase, p, *p.reading);
    return {0, mpe(r.instrument, p.load, r.inService), Outcome::Fail};
}

std::optional<RepeatabilityResult> repeatabilityOf(const Record &r, Phase phase)
{
    RepeatabilityResult out;
    Micro low = 0, high = 0;
    for (const Point &p : r.points(phase)) {
        if (p.test != Test::Repeatability || !counts(r, phase, p))
            continue;
        const Micro v = p.reading->indication;
        low = out.readings == 0 ? v : std::min(low, v);
        high = out.readings == 0 ? v : std::max(high, v);
        out.mpe = mpe(r.instrument, p.load, r.inService);
        ++out.readings;
    }
    if (out.readings < 2)
        return std::nullopt;
    out.spread = high - low;
    out.pass = out.spread <= out.mpe;
    return out;
}

Outcome phaseOutcome(const Record &r, Phase phase, bool *tested)
{
    bool any = false;
    Outcome worst = Outcome::Pass;
    for (const Point &p : r.points(phase)) {
        if (!counts(r, phase, p))
            continue;
        any = true;
        worst = std::max(worst, resultOf(r, phase, p).outcome);
    }
    if (const auto rep = repeatabilityOf(r, phase); rep && !rep->pass)
        worst = Outcome::Fail;
    if (tested)
        *tested = any;
    return worst;
}

bool phasePasses(const Record &r, Phase phase, bool *tested)
{
    bool any = false;
    const Outcome worst = phaseOutcome(r, phase, &any);
    if (tested)
        *tested = any;
    return any && worst != Outcome::Fail && worst != Outcome::ConditionalFail;
}

bool adjusted(const Record &r)
{
    return std::any_of(r.adjustments.begin(), r.adjustments.end(), [](const Adjustment &a) { return a.changesWeighing; });
}

Phase decidingPhase(const Record &r)
{
    bool leftTested = false;
    phasePasses(r, Phase::AsLeft, &leftTested);
    return adjusted(r) || leftTested ? Phase::AsLeft : Phase::AsFound;
}

Verdict verdictOf(const Record &r)
{
    bool foundTested = false;
    const bool found = phasePasses(r, Phase::AsFound, &foundTested);
    const Phase deciding = decidingPhase(r);
    bool tested = false;
    switch (phaseOutcome(r, deciding, &tested)) {
    case Outcome::Fail: return Verdict::Fail;
    case Outcome::ConditionalFail: return Verdict::ConditionalFail;
    case Outcome::NotStated: return tested ? Verdict::NotStated : Verdict::Fail;
    case Outcome::ConditionalPass: return tested ? Verdict::ConditionalPass : Verdict::Fail;
    case Outcome::Pass: break;
    }
    if (!tested)
        return Verdict::Fail;
    return adjusted(r) || (foundTested && !found) ? Verdict::Adjusted : Verdict::Pass;
}

namespace {

// The words of formats 2 and 3, as their records were sealed with them.
QString earlierDecisionRule(const Record &r, const QString &limits)
{
    const QString acceptance =
        r.acceptance == Acceptance::Guarded
            ? (r.format >= 3 ? QStringLiteral("Guarded acceptance (ILAC-G8, guard band w = U): a reading passes when |E| + U <= MPE "
                                              "and fails when |E| + U > MPE; where U >= MPE and |E| <= MPE its conformity cannot "
                                              "be stated, and where the deciding phase has such readings and none fails, the "
                                              "verdict is CONFORMITY NOT STATED. The decision uses U before rounding")
                             : QStringLiteral("Guarded acceptance (ILAC-G8, guard band w = U): a reading passes when |E| + U <= MPE"))
            : QStringLiteral("Simple acceptance (ILAC-G8): a reading passes when |E| <= MPE, U not deducted");
    return QStringLiteral(
               "%3. E = indication - load; MPE of accuracy class %1 for %2 (OIML R 76-1) at the load. A reading "
               "taken while the weight was unstable fails; repeatability passes when its spread is within the MPE; "
               "as-left readings taken before a later adjustment and points not performed do not count. PASS: as "
               "found passes, nothing adjusted. ADJUSTED: as left passes after an adjustment or a failed as found. "
               "FAIL: the deciding phase (as left once adjusted or tested, else as found) fails.")
        .arg(className(r.instrument.accuracy), limits, acceptance);
}

} // namespace

QString decisionRule(const Record &r)
{
    const QString limits = r.inService ? QStringLiteral("instruments in service (twice the initial values)")
                                       : QStringLiteral("initial verification");
    if (r.format < 2) // the words of format 1, as its records were sealed with them
        return QStringLiteral(
                   "A reading passes when its error E = indication - load is within the maximum permissible "
                   "error at its load, |E| <= MPE; repeatability passes when the spread of its readings is "
                   "within the MPE at its load. MPE of accuracy class %1 for %2 (OIML R 76-1). Simple "
                   "acceptance: the uncertainty of the calibration is not deducted from the MPE. PASS: as found "
                   "passes and nothing was adjusted. ADJUSTED: as left passes after an adjustment or a failed "
                   "as found. FAIL: as left fails.")
            .arg(className(r.instrument.accuracy), limits);
    if (r.format < 4)
        return earlierDecisionRule(r, limits);
    QString rule;
    switch (r.acceptance) {
    case Acceptance::Simple:
        rule = QStringLiteral("Simple acceptance (ILAC-G8:2019, 4.2.1; w = 0): pass when |E| <= MPE, else fail.");
        break;
    case Acceptance::Guarded:
        rule = QStringLiteral("Guarded acceptance, binary statement (ILAC-G8:2019, 4.2.2; w = U): pass when |E| <= MPE - U, else "
                              "fail.");
        break;
    case Acceptance::NonBinary:
        rule = QStringLiteral("Guarded acceptance, non-binary statement (ILAC-G8:2019, 4.2.3; w = U): pass when |E| <= MPE - U; "
                              "conditional pass when |E| <= MPE; conditional fail when |E| <= MPE + U; else fail.");
        break;
    }
    if (r.acceptance != Acceptance::Simple)
        rule += QStringLiteral(" U is taken before rounding.");
    return QStringLiteral(
               "%3 E = indication - load; MPE of class %1 for %2 (OIML R 76-1). Unstable readings fail; repeatability "
               "fails when its spread exceeds the MPE; as-left readings before a later adjustment and points not "
               "performed do not count. Verdict: the worst result of the deciding phase (as left once adjusted or "
               "tested, else as found); where all pass, ADJUSTED after an adjustment or a failing as found, else PASS.")
        .arg(className(r.instrument.accuracy), limits, rule);
}

QString acceptanceName(Acceptance a, int format)
{
    if (format < 4)
        return a == Acceptance::Guarded ? QStringLiteral("guarded acceptance") : QStringLiteral("simple acceptance");
    switch (a) {
    case Acceptance::Simple: return QStringLiteral("simple acceptance (ILAC-G8:2019, 4.2.1)");
    case Acceptance::Guarded: return QStringLiteral("guarded acceptance, binary (ILAC-G8:2019, 4.2.2, w = U)");
    case Acceptance::NonBinary: return QStringLiteral("guarded acceptance, non-binary (ILAC-G8:2019, 4.2.3, w = U)");
    }
    return {};
}

QString acceptanceName(const Record &r)
{
    return acceptanceName(r.acceptance, r.format);
}

QString conformity(const Record &r, Phase phase)
{
    bool tested = false;
    const Outcome worst = phaseOutcome(r, phase, &tested);
    if (!tested)
        return QStringLiteral("not tested");
    const int readings = int(std::count_if(r.points(phase).begin(), r.points(phase).end(), [&](const Point &p) { return counts(r, phase, p); }));
    switch (worst) {
    case Outcome::Pass: return QStringLiteral("yes");
    case Outcome::Fail: return QStringLiteral("no");
    case Outcome::NotStated:
        return QStringLiteral("cannot be stated at %1 of %2 readings (U >= MPE)").arg(readingsWith(r, phase, worst)).arg(readings);
    case Outcome::ConditionalPass:
        return QStringLiteral("conditional pass at %1 of %2 readings (|E| <= MPE < |E| + U)").arg(readingsWith(r, phase, worst)).arg(readings);
    case Outcome::ConditionalFail:
        return QStringLiteral("conditional fail at %1 of %2 readings (MPE < |E| <= MPE + U)").arg(readingsWith(r, phase, worst)).arg(readings);
    }
    return {};
}

QString pointName(const Record &r, const Point &p)
{
    if (p.test == Test::Weighing)
        return p.position + QLatin1Char(' ') + massText(r.instrument, p.load);
    return QStringLiteral("%1 %2 at %3").arg(testName(p.test).toLower(), p.position, massText(r.instrument, p.load));
}

QString closeRefusal(const Record &r)
{
    if (r.closed())
        return QStringLiteral("This record is closed already.");
    const bool adjustedScale = adjusted(r);
    QStringList missing;
    QString first;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        const QList<Point> &points = r.points(phase);
        const bool inUse = phase == Phase::AsFound || adjustedScale
                           || std::any_of(points.begin(), points.end(), [](const Point &p) {
                                  return p.reading || !p.notPerformed.isEmpty() || !p.earlier.isEmpty();
                              });
        if (!inUse)
            continue; // not adjusted: the scale was left as it was found
        for (const Point &p : points) {
            if (!p.notPerformed.isEmpty() || counts(r, phase, p))
                continue;
            const QString name = phaseName(phase) + QStringLiteral(", ") + pointName(r, p);
            if (first.isEmpty()) {
                const Adjustment *a = p.reading ? voidingAdjustment(r, phase, *p.reading) : nullptr;
                first = a ? QStringLiteral("%1 was read before the adjustment at %2: take it again, or mark it not performed.")
                                .arg(name, a->at.toLocalTime().toString(QStringLiteral("HH:mm:ss")))
                          : QStringLiteral("%1 has no reading: capture it, or mark it (or its whole test) not performed.").arg(name);
            }
            missing << name;
        }
    }
    if (!first.isEmpty())
        return missing.size() > 1 ? QStringLiteral("%1 %2 more point(s) wait as well.").arg(first).arg(missing.size() - 1) : first;
    const Phase deciding = decidingPhase(r);
    const QList<Point> &points = r.points(deciding);
    if (std::none_of(points.begin(), points.end(),
                     [&](const Point &p) { return p.test == Test::Weighing && counts(r, deciding, p); }))
        return QStringLiteral("%1 decides the verdict, and its weighing test has no reading: a verdict needs one.")
            .arg(phaseName(deciding));
    if (r.format >= 3) { // a certificate names who issued it, for whom, and who calibrated
        QStringList who;
        if (r.provider.name.trimmed().isEmpty())
            who << QStringLiteral("the provider's name ([Provider] Name in vantor_cal.ini)");
        if (r.instrument.customer.trimmed().isEmpty())
            who << QStringLiteral("the customer (Instrument tab)");
        if (r.format >= 4 && r.provider.address.trimmed().isEmpty())
            who << QStringLiteral("the provider's address ([Provider] Address in vantor_cal.ini)");
        if (r.technician.trimmed().isEmpty())
            who << QStringLiteral("the technician's name (Visit tab, Calibrated by)");
        if (!who.isEmpty())
            return QStringLiteral("A certificate names who issued it, for whom, and who calibrated: give %1 first.")
                .arg(who.join(QStringLiteral(", ")));
    }
    return {};
}

QList<std::pair<Phase, PointKey>> unstableReadings(const Record &r)
{
    QList<std::pair<Phase, PointKey>> out;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (const Point &p : r.points(phase))
            if (counts(r, phase, p) && p.reading->unstable)
                out.append({phase, keyOf(p)});
    return out;
}

bool hasReadings(const Record &r)
{
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (const Point &p : r.points(phase))
            if (p.reading || std::any_of(p.earlier.begin(), p.earlier.end(), [](const PointChange &c) { return c.reading.has_value(); }))
                return true;
    return false;
}

int retakenReadings(const Record &r)
{
    int n = 0;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (const Point &p : r.points(phase))
            for (const PointChange &c : p.earlier)
                n += c.reading ? 1 : 0;
    return n;
}

} // namespace records
