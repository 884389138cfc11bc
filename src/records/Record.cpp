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
const QString kVerdicts[] = {QString(), QStringLiteral("PASS"), QStringLiteral("ADJUSTED"), QStringLiteral("FAIL")};

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeFrom(const QJsonValue &v)
{
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

QJsonArray pointsJson(const QList<Point> &points)
{
    QJsonArray out;
    for (const Point &p : points) {
        QJsonObject o{{QStringLiteral("test"), kTests[int(p.test)]},
                      {QStringLiteral("load"), p.load},
                      {QStringLiteral("position"), p.position}};
        if (p.reading)
            o.insert(QStringLiteral("reading"), QJsonObject{{QStringLiteral("indication"), p.reading->indication},
                                                            {QStringLiteral("unstable"), p.reading->unstable},
                                                            {QStringLiteral("at"), timeText(p.reading->at)}});
        out.append(o);
    }
    return out;
}

bool pointsFrom(const QJsonValue &v, QList<Point> *out)
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
            const QJsonObject r = o.value(QStringLiteral("reading")).toObject();
            p.reading = Reading{r.value(QStringLiteral("indication")).toInteger(),
                                r.value(QStringLiteral("unstable")).toBool(), timeFrom(r.value(QStringLiteral("at")))};
        }
        out->append(p);
    }
    return true;
}

} // namespace

QJsonObject Record::toJson() const
{
    QJsonArray adjusted;
    for (const Adjustment &a : adjustments)
        adjusted.append(QJsonObject{{QStringLiteral("at"), timeText(a.at)},
                                    {QStringLiteral("text"), a.text},
                                    {QStringLiteral("changesWeighing"), a.changesWeighing}});
    QJsonObject o{{QStringLiteral("format"), 1},
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
                  {QStringLiteral("asFound"), pointsJson(asFound)},
                  {QStringLiteral("asLeft"), pointsJson(asLeft)},
                  {QStringLiteral("adjustments"), adjusted},
                  {QStringLiteral("verdict"), kVerdicts[int(verdict)]}};
    if (closed())
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
    if (o.value(QStringLiteral("format")).toInt() != 1)
        return fail(QStringLiteral("not a record of a format this console knows"));
    Record r;
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
    if (!pointsFrom(o.value(QStringLiteral("asFound")), &r.asFound) || !pointsFrom(o.value(QStringLiteral("asLeft")), &r.asLeft))
        return fail(QStringLiteral("tests that cannot be read"));
    for (const QJsonValue &item : o.value(QStringLiteral("adjustments")).toArray()) {
        const QJsonObject a = item.toObject();
        r.adjustments.append({timeFrom(a.value(QStringLiteral("at"))), a.value(QStringLiteral("text")).toString(),
                              a.value(QStringLiteral("changesWeighing")).toBool(true)});
    }
    const auto verdict = std::find(std::begin(kVerdicts), std::end(kVerdicts), o.value(QStringLiteral("verdict")).toString());
    r.verdict = verdict == std::end(kVerdicts) ? Verdict::None : Verdict(verdict - std::begin(kVerdicts));
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
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        QList<Point> &points = r.points(phase);
        points << weighingPoints(defaultWeighingLoads(instrument))
               << repeatabilityPoints(instrument.max / 2, 3)
               << eccentricityPoints(defaultEccentricityLoad(instrument), instrument.supports);
    }
    return r;
}

Record correctionOf(const Record &closed, const QDateTime &now)
{
    Record r = closed;
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
    for (Micro n : {500, 2000})
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
        points.append({Test::Weighing, load, QStringLiteral("up"), std::nullopt});
    for (qsizetype i = loads.size() - 2; i >= 0; --i)
        points.append({Test::Weighing, loads[i], QStringLiteral("down"), std::nullopt});
    return points;
}

QList<Point> repeatabilityPoints(Micro load, int readings)
{
    QList<Point> points;
    for (int i = 1; i <= readings; ++i)
        points.append({Test::Repeatability, load, QString::number(i), std::nullopt});
    return points;
}

QList<Point> eccentricityPoints(Micro load, int supports)
{
    QList<Point> points{{Test::Eccentricity, load, QStringLiteral("centre"), std::nullopt}};
    static const QString four[] = {QStringLiteral("front left"), QStringLiteral("rear left"),
                                   QStringLiteral("rear right"), QStringLiteral("front right")};
    for (int i = 0; i < supports; ++i)
        points.append({Test::Eccentricity, load, supports == 4 ? four[i] : QStringLiteral("support %1").arg(i + 1), std::nullopt});
    return points;
}

Micro defaultEccentricityLoad(const Instrument &in)
{
    if (in.e <= 0)
        return in.max / 3;
    return (in.max / 3 + in.e / 2) / in.e * in.e;
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

PointResult resultOf(const Record &r, const Point &p)
{
    PointResult out;
    out.error = p.reading ? p.reading->indication - p.load : 0;
    out.mpe = mpe(r.instrument, p.load, r.inService);
    out.pass = p.reading && (out.error < 0 ? -out.error : out.error) <= out.mpe;
    return out;
}

std::optional<RepeatabilityResult> repeatabilityOf(const Record &r, Phase phase)
{
    RepeatabilityResult out;
    Micro low = 0, high = 0;
    for (const Point &p : r.points(phase)) {
        if (p.test != Test::Repeatability || !p.reading)
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
        if (!p.reading)
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

Verdict verdictOf(const Record &r)
{
    bool foundTested = false, leftTested = false;
    const bool found = phasePasses(r, Phase::AsFound, &foundTested);
    const bool left = phasePasses(r, Phase::AsLeft, &leftTested);
    const bool adjusted = records::adjusted(r);
    // Without as-left tests and without adjustments, the scale was left as it was found.
    const bool leftPasses = leftTested ? left : (!adjusted && found);
    if (!leftPasses)
        return Verdict::Fail;
    return found && !adjusted ? Verdict::Pass : Verdict::Adjusted;
}

QString decisionRule(const Record &r)
{
    return QStringLiteral(
               "A reading passes when its error E = indication - load is within the maximum permissible "
               "error at its load, |E| <= MPE; repeatability passes when the spread of its readings is "
               "within the MPE at its load. MPE of accuracy class %1 for %2 (OIML R 76-1). Simple "
               "acceptance: the uncertainty of the calibration is not deducted from the MPE. PASS: as found "
               "passes and nothing was adjusted. ADJUSTED: as left passes after an adjustment or a failed "
               "as found. FAIL: as left fails.")
        .arg(className(r.instrument.accuracy),
             r.inService ? QStringLiteral("instruments in service (twice the initial values)")
                         : QStringLiteral("initial verification"));
}

QString closeRefusal(const Record &r)
{
    if (r.closed())
        return QStringLiteral("This record is closed already.");
    bool foundTested = false, leftTested = false;
    phasePasses(r, Phase::AsFound, &foundTested);
    phasePasses(r, Phase::AsLeft, &leftTested);
    if (!foundTested)
        return QStringLiteral("Capture at least one reading as found before closing the record.");
    if (adjusted(r) && !leftTested)
        return QStringLiteral("The scale was adjusted: capture the readings as left before closing the record.");
    return {};
}

} // namespace records
