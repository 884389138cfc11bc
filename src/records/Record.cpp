#include "Record.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUuid>
#include <algorithm>

namespace records {
namespace {

const QString kTests[] = {QStringLiteral("weighing"), QStringLiteral("repeatability"), QStringLiteral("eccentricity")};
const QString kVerdicts[] = {QString(), QStringLiteral("PASS"), QStringLiteral("ADJUSTED"), QStringLiteral("FAIL"),
                             QStringLiteral("DISCARDED")};

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeFrom(const QJsonValue &v)
{
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

// Keys of format 2 that hold their default are left out, so a later key costs earlier records
// nothing.
void insertIf(QJsonObject &o, bool condition, const QString &key, const QJsonValue &value)
{
    if (condition)
        o.insert(key, value);
}

QJsonObject readingJson(const Reading &r, int format)
{
    QJsonObject o{{QStringLiteral("indication"), r.indication},
                  {QStringLiteral("unstable"), r.unstable},
                  {QStringLiteral("at"), timeText(r.at)}};
    if (format >= 2) {
        o.insert(QStringLiteral("mean"), r.mean);
        o.insert(QStringLiteral("spread"), r.spread);
        o.insert(QStringLiteral("reports"), r.reports);
        insertIf(o, !r.by.isEmpty(), QStringLiteral("by"), r.by);
    }
    return o;
}

Reading readingFrom(const QJsonObject &o)
{
    Reading r;
    r.indication = o.value(QStringLiteral("indication")).toInteger();
    r.unstable = o.value(QStringLiteral("unstable")).toBool();
    r.at = timeFrom(o.value(QStringLiteral("at")));
    r.mean = o.value(QStringLiteral("mean")).toInteger(r.indication);
    r.spread = o.value(QStringLiteral("spread")).toInteger();
    r.reports = o.value(QStringLiteral("reports")).toInt();
    r.by = o.value(QStringLiteral("by")).toString();
    return r;
}

QJsonArray pointsJson(const QList<Point> &points, int format)
{
    QJsonArray out;
    for (const Point &p : points) {
        QJsonObject o{{QStringLiteral("test"), kTests[int(p.test)]},
                      {QStringLiteral("load"), p.load},
                      {QStringLiteral("position"), p.position}};
        if (p.reading)
            o.insert(QStringLiteral("reading"), readingJson(*p.reading, format));
        if (format >= 2) {
            insertIf(o, !p.notPerformed.isEmpty(), QStringLiteral("notPerformed"), p.notPerformed);
            QJsonArray earlier;
            for (const PointChange &c : p.earlier) {
                QJsonObject e{{QStringLiteral("change"), c.change}, {QStringLiteral("at"), timeText(c.at)},
                              {QStringLiteral("by"), c.by}};
                if (c.reading)
                    e.insert(QStringLiteral("reading"), readingJson(*c.reading, format));
                insertIf(e, !c.notPerformed.isEmpty(), QStringLiteral("notPerformed"), c.notPerformed);
                earlier.append(e);
            }
            insertIf(o, !earlier.isEmpty(), QStringLiteral("earlier"), earlier);
        }
        out.append(o);
    }
    return out;
}

bool pointsFrom(const QJsonValue &v, int format, QList<Point> *out)
{
    if (!v.isArray())
        return false;
    for (const QJsonValue &item : v.toArray()) {
        const QJsonObject o = item.toObject();
        const auto test = std::find(std::begin(kTests), std::end(kTests), o.value(QStringLiteral("test")).toString());
        if (test == std::end(kTests) || !o.value(QStringLiteral("load")).isDouble())
            return false;
        Point p;
        p.test = Test(test - std::begin(kTests));
        p.load = o.value(QStringLiteral("load")).toInteger();
        p.position = o.value(QStringLiteral("position")).toString();
        if (o.contains(QStringLiteral("reading"))) {
            p.reading = readingFrom(o.value(QStringLiteral("reading")).toObject());
            if (format < 2)
                p.reading = Reading{p.reading->indication, p.reading->unstable, p.reading->at, p.reading->indication, 0, 0, {}};
        }
        if (format >= 2) {
            p.notPerformed = o.value(QStringLiteral("notPerformed")).toString();
            for (const QJsonValue &change : o.value(QStringLiteral("earlier")).toArray()) {
                const QJsonObject c = change.toObject();
                PointChange e;
                if (c.contains(QStringLiteral("reading")))
                    e.reading = readingFrom(c.value(QStringLiteral("reading")).toObject());
                e.notPerformed = c.value(QStringLiteral("notPerformed")).toString();
                e.change = c.value(QStringLiteral("change")).toString();
                e.at = timeFrom(c.value(QStringLiteral("at")));
                e.by = c.value(QStringLiteral("by")).toString();
                p.earlier.append(e);
            }
        }
        out->append(p);
    }
    return true;
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

QJsonObject Record::toJson() const
{
    QJsonArray adjusted;
    for (const Adjustment &a : adjustments) {
        QJsonObject o{{QStringLiteral("at"), timeText(a.at)},
                      {QStringLiteral("text"), a.text},
                      {QStringLiteral("changesWeighing"), a.changesWeighing}};
        insertIf(o, format >= 2 && a.beforeRecord, QStringLiteral("beforeRecord"), true);
        adjusted.append(o);
    }
    QJsonObject o{{QStringLiteral("format"), format},
                  {QStringLiteral("uuid"), uuid},
                  {QStringLiteral("revision"), revision},
                  {QStringLiteral("replaces"), replaces},
                  {QStringLiteral("instrument"), instrument.toJson()},
                  {QStringLiteral("userType"), userType},
                  {QStringLiteral("inService"), inService},
                  {QStringLiteral("referenceWeights"), QJsonObject{{QStringLiteral("setId"), weights.setId},
                                                                    {QStringLiteral("class"), weights.weightClass},
                                                                    {QStringLiteral("certificate"), weights.certificate}}},
                  {QStringLiteral("openedAt"), timeText(openedAt)},
                  {QStringLiteral("closedAt"), timeText(closedAt)},
                  {QStringLiteral("asFound"), pointsJson(asFound, format)},
                  {QStringLiteral("asLeft"), pointsJson(asLeft, format)},
                  {QStringLiteral("adjustments"), adjusted},
                  {QStringLiteral("verdict"), kVerdicts[int(verdict)]}};
    insertIf(o, format >= 2 && !discardReason.isEmpty(), QStringLiteral("discardReason"), discardReason);
    if (closed() && !discarded())
        o.insert(QStringLiteral("decisionRule"), decisionRule(*this));
    return o;
}

QByteArray Record::canonical() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

QString Record::computeSha256() const
{
    return QString::fromLatin1(QCryptographicHash::hash(canonical(), QCryptographicHash::Sha256).toHex());
}

std::optional<Record> Record::fromJson(const QJsonObject &o, QString *why)
{
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    Record r;
    r.format = o.value(QStringLiteral("format")).toInt();
    if (r.format < 1 || r.format > kRecordFormat)
        return fail(QStringLiteral("not a record of a format this console knows"));
    r.uuid = o.value(QStringLiteral("uuid")).toString();
    if (QUuid::fromString(r.uuid).isNull())
        return fail(QStringLiteral("no valid uuid"));
    r.revision = o.value(QStringLiteral("revision")).toInt();
    r.replaces = o.value(QStringLiteral("replaces")).toString();
    r.instrument = Instrument::fromJson(o.value(QStringLiteral("instrument")).toObject());
    r.userType = o.value(QStringLiteral("userType")).toString();
    r.inService = o.value(QStringLiteral("inService")).toBool();
    const QJsonObject w = o.value(QStringLiteral("referenceWeights")).toObject();
    r.weights = {w.value(QStringLiteral("setId")).toString(), w.value(QStringLiteral("class")).toString(),
                 w.value(QStringLiteral("certificate")).toString()};
    r.openedAt = timeFrom(o.value(QStringLiteral("openedAt")));
    r.closedAt = timeFrom(o.value(QStringLiteral("closedAt")));
    if (!r.openedAt.isValid() || r.revision < 1)
        return fail(QStringLiteral("no opening time or revision"));
    if (!pointsFrom(o.value(QStringLiteral("asFound")), r.format, &r.asFound)
        || !pointsFrom(o.value(QStringLiteral("asLeft")), r.format, &r.asLeft))
        return fail(QStringLiteral("tests that cannot be read"));
    for (const QJsonValue &item : o.value(QStringLiteral("adjustments")).toArray()) {
        const QJsonObject a = item.toObject();
        r.adjustments.append({timeFrom(a.value(QStringLiteral("at"))), a.value(QStringLiteral("text")).toString(),
                              a.value(QStringLiteral("changesWeighing")).toBool(true),
                              r.format >= 2 && a.value(QStringLiteral("beforeRecord")).toBool()});
    }
    const auto verdict = std::find(std::begin(kVerdicts), std::end(kVerdicts), o.value(QStringLiteral("verdict")).toString());
    r.verdict = verdict == std::end(kVerdicts) ? Verdict::None : Verdict(verdict - std::begin(kVerdicts));
    if (r.format < 2 && r.verdict == Verdict::Discarded)
        r.verdict = Verdict::None;
    if (r.format >= 2)
        r.discardReason = o.value(QStringLiteral("discardReason")).toString();
    return r;
}

std::optional<LoadedRecord> readStored(const QByteArray &body, bool closed, const QString &sha256, const QString &verdict,
                                       QString *why)
{
    const auto record = Record::fromJson(QJsonDocument::fromJson(body).object(), why);
    if (!record)
        return std::nullopt;
    LoadedRecord loaded{*record, true};
    if (closed) {
        loaded.record.sha256 = sha256;
        loaded.intact = record->closed() && record->canonical() == body && verdictName(record->verdict) == verdict
                        && QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex()) == sha256;
    }
    return loaded;
}

std::optional<RecordId> parseRecordId(const QString &text)
{
    RecordId id{text.trimmed().toLower(), 0};
    if (const qsizetype r = id.prefix.indexOf(QLatin1String("-r")); r == 8) {
        id.revision = id.prefix.mid(r + 2).toInt();
        id.prefix.truncate(r);
    }
    static const QRegularExpression uuidStart(QStringLiteral("^[0-9a-f-]{1,36}$"));
    if (!uuidStart.match(id.prefix).hasMatch())
        return std::nullopt;
    return id;
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

Record correctionOf(const Record &closed, const QDateTime &now)
{
    Record r = closed;
    r.format = kRecordFormat; // a correction is made, and judged, by today's rules
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.revision = closed.revision + 1;
    r.replaces = closed.uuid;
    r.openedAt = now.toUTC();
    r.closedAt = QDateTime();
    r.verdict = Verdict::None;
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

const Adjustment *voidingAdjustment(const Record &r, Phase phase, const Reading &reading)
{
    if (phase != Phase::AsLeft || r.format < 2)
        return nullptr;
    for (const Adjustment &a : r.adjustments)
        if (a.changesWeighing && !a.beforeRecord && a.at >= reading.at)
            return &a;
    return nullptr;
}

bool counts(const Record &r, Phase phase, const Point &p)
{
    return p.reading && !voidingAdjustment(r, phase, *p.reading);
}

PointResult resultOf(const Record &r, const Point &p, const Reading &reading)
{
    PointResult out;
    out.error = reading.indication - p.load;
    out.mpe = mpe(r.instrument, p.load, r.inService);
    out.pass = magnitude(out.error) <= out.mpe && (r.format < 2 || !reading.unstable);
    return out;
}

PointResult resultOf(const Record &r, const Point &p)
{
    if (p.reading)
        return resultOf(r, p, *p.reading);
    return {0, mpe(r.instrument, p.load, r.inService), false};
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

bool phasePasses(const Record &r, Phase phase, bool *tested)
{
    bool any = false, pass = true;
    for (const Point &p : r.points(phase)) {
        if (!counts(r, phase, p))
            continue;
        any = true;
        pass = pass && resultOf(r, p).pass;
    }
    if (const auto rep = repeatabilityOf(r, phase))
        pass = pass && rep->pass;
    if (tested)
        *tested = any;
    return any && pass;
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
    if (!(deciding == Phase::AsFound ? found : phasePasses(r, Phase::AsLeft)))
        return Verdict::Fail;
    return adjusted(r) || (foundTested && !found) ? Verdict::Adjusted : Verdict::Pass;
}

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
    return QStringLiteral(
               "A reading passes when it was taken while the weight was stable and its error E = indication - "
               "load is within the maximum permissible error at its load, |E| <= MPE; a reading taken while "
               "the weight was unstable fails. Repeatability passes when the spread of its readings (largest "
               "minus smallest) is within the MPE at its load. MPE of accuracy class %1 for %2 (OIML R 76-1). "
               "Simple acceptance: the uncertainty of the calibration is not deducted from the MPE. Readings as "
               "left taken before a later adjustment do not count; points not performed are listed and count "
               "neither way. PASS: as found passes and nothing was adjusted. ADJUSTED: as left passes after an "
               "adjustment or a failed as found. FAIL: the phase that decides (as left once adjusted or tested, "
               "else as found) fails.")
        .arg(className(r.instrument.accuracy), limits);
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
