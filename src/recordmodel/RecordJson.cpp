// A record's contents as JSON: the canonical form its SHA-256 covers, and the reading of what a
// store or a file gives back. Format 1 is written exactly as version 1.1 wrote it.
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
        insertIf(o, r.expanded.has_value(), QStringLiteral("U"), r.expanded.value_or(0));
        insertIf(o, format >= 3 && r.coverage.has_value(), QStringLiteral("k"), r.coverage.value_or(0));
        insertIf(o, r.automatic, QStringLiteral("auto"), true);
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
    if (o.contains(QStringLiteral("U")))
        r.expanded = o.value(QStringLiteral("U")).toInteger();
    if (o.contains(QStringLiteral("k")))
        r.coverage = o.value(QStringLiteral("k")).toInteger();
    r.automatic = o.value(QStringLiteral("auto")).toBool();
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

// What format 2 added to a record: the decision rule, who and where, the temperatures, the
// uncertainty's assumptions, the reason of a discarding.
void insertVisitDetails(const Record &r, QJsonObject &o)
{
    insertIf(o, r.acceptance != Acceptance::Simple, QStringLiteral("acceptance"),
             r.acceptance == Acceptance::NonBinary ? QStringLiteral("nonbinary") : QStringLiteral("guarded"));
    const Provider &p = r.provider;
    if (p != Provider{})
        o.insert(QStringLiteral("provider"), QJsonObject{{QStringLiteral("name"), p.name},
                                                         {QStringLiteral("address"), p.address},
                                                         {QStringLiteral("accreditationBody"), p.accreditationBody},
                                                         {QStringLiteral("accreditationNumber"), p.accreditationNumber},
                                                         {QStringLiteral("logo"), QString::fromLatin1(p.logoPng.toBase64())}});
    insertIf(o, !r.technician.isEmpty(), QStringLiteral("technician"), r.technician);
    insertIf(o, !r.place.isEmpty(), QStringLiteral("place"), r.place);
    insertIf(o, r.temperatureStart.has_value(), QStringLiteral("temperatureStart"), r.temperatureStart.value_or(0));
    insertIf(o, r.temperatureEnd.has_value(), QStringLiteral("temperatureEnd"), r.temperatureEnd.value_or(0));
    insertIf(o, !r.uncertaintyNotes.isEmpty(), QStringLiteral("uncertaintyNotes"), QJsonArray::fromStringList(r.uncertaintyNotes));
    insertIf(o, !r.discardReason.isEmpty(), QStringLiteral("discardReason"), r.discardReason);
    if (r.format < 4)
        return;
    // What format 4 added: the earlier tests that stand in, the due date, a correction's reason.
    insertIf(o, !r.priorTests.empty(), QStringLiteral("priorTests"), r.priorTests.toJson());
    if (r.due)
        o.insert(QStringLiteral("due"), QJsonObject{{QStringLiteral("months"), r.due->months},
                                                    {QStringLiteral("agreedOn"), r.due->agreedOn.toString(Qt::ISODate)},
                                                    {QStringLiteral("enteredBy"), r.due->enteredBy},
                                                    {QStringLiteral("due"), r.due->due.toString(Qt::ISODate)}});
    insertIf(o, !r.correctionReason.isEmpty(), QStringLiteral("correctionReason"), r.correctionReason);
    if (r.chain)
        o.insert(QStringLiteral("chain"), QJsonObject{{QStringLiteral("key"), r.chain->key},
                                                      {QStringLiteral("sequence"), r.chain->sequence},
                                                      {QStringLiteral("previous"), r.chain->previous}});
}

void readVisitDetails(const QJsonObject &o, Record &r)
{
    const QString acceptance = o.value(QStringLiteral("acceptance")).toString();
    r.acceptance = acceptance == QLatin1String("guarded")                        ? Acceptance::Guarded
                   : acceptance == QLatin1String("nonbinary") && r.format >= 4 ? Acceptance::NonBinary
                                                                                : Acceptance::Simple;
    const QJsonObject p = o.value(QStringLiteral("provider")).toObject();
    r.provider = {p.value(QStringLiteral("name")).toString(), p.value(QStringLiteral("address")).toString(),
                  p.value(QStringLiteral("accreditationBody")).toString(),
                  p.value(QStringLiteral("accreditationNumber")).toString(),
                  QByteArray::fromBase64(p.value(QStringLiteral("logo")).toString().toLatin1())};
    r.technician = o.value(QStringLiteral("technician")).toString();
    r.place = o.value(QStringLiteral("place")).toString();
    if (o.contains(QStringLiteral("temperatureStart")))
        r.temperatureStart = o.value(QStringLiteral("temperatureStart")).toInteger();
    if (o.contains(QStringLiteral("temperatureEnd")))
        r.temperatureEnd = o.value(QStringLiteral("temperatureEnd")).toInteger();
    for (const QJsonValue &note : o.value(QStringLiteral("uncertaintyNotes")).toArray())
        r.uncertaintyNotes << note.toString();
    r.discardReason = o.value(QStringLiteral("discardReason")).toString();
    if (r.format < 4)
        return;
    r.priorTests = PriorTests::fromJson(o.value(QStringLiteral("priorTests")).toObject());
    if (const QJsonObject due = o.value(QStringLiteral("due")).toObject(); !due.isEmpty())
        r.due = SealedDue{due.value(QStringLiteral("months")).toInt(),
                          QDate::fromString(due.value(QStringLiteral("agreedOn")).toString(), Qt::ISODate),
                          due.value(QStringLiteral("enteredBy")).toString(),
                          QDate::fromString(due.value(QStringLiteral("due")).toString(), Qt::ISODate)};
    r.correctionReason = o.value(QStringLiteral("correctionReason")).toString();
    if (const QJsonObject chain = o.value(QStringLiteral("chain")).toObject(); !chain.isEmpty())
        r.chain = ChainLink{chain.value(QStringLiteral("key")).toString(), chain.value(QStringLiteral("sequence")).toInt(),
                            chain.value(QStringLiteral("previous")).toString()};
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

QJsonObject weightsJson(const ReferenceWeights &w, int format)
{
    QJsonObject o{{QStringLiteral("setId"), w.setId}, {QStringLiteral("class"), w.weightClass},
                  {QStringLiteral("certificate"), w.certificate}};
    insertIf(o, format >= 4 && !w.issuedBy.isEmpty(), QStringLiteral("issuedBy"), w.issuedBy);
    return o;
}

} // namespace

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
                  {QStringLiteral("referenceWeights"), weightsJson(weights, format)},
                  {QStringLiteral("openedAt"), timeText(openedAt)},
                  {QStringLiteral("closedAt"), timeText(closedAt)},
                  {QStringLiteral("asFound"), pointsJson(asFound, format)},
                  {QStringLiteral("asLeft"), pointsJson(asLeft, format)},
                  {QStringLiteral("adjustments"), adjusted},
                  {QStringLiteral("verdict"), verdictName(verdict)}};
    if (format >= 2)
        insertVisitDetails(*this, o);
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
                 w.value(QStringLiteral("certificate")).toString(), w.value(QStringLiteral("issuedBy")).toString()};
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
    r.verdict = verdictFromName(o.value(QStringLiteral("verdict")).toString());
    if (r.format < 2 && r.verdict == Verdict::Discarded)
        r.verdict = Verdict::None;
    if (r.format >= 2)
        readVisitDetails(o, r);
    return r;
}

std::optional<LoadedRecord> readStored(const QByteArray &body, bool closed, const QString &sha256, const QString &verdict,
                                       QString *why, const Seal &seal)
{
    const auto record = Record::fromJson(QJsonDocument::fromJson(body).object(), why);
    if (!record)
        return std::nullopt;
    LoadedRecord loaded{*record, true};
    if (closed) {
        loaded.record.sha256 = sha256;
        loaded.record.seal = seal;
        loaded.contents = body;
        const bool signedContents = record->format >= 4 && !seal.empty();
        loaded.intact = record->closed() && (signedContents || record->canonical() == body)
                        && verdictName(record->verdict) == verdict
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

} // namespace records
