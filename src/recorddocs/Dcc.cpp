#include "Dcc.h"

#include "Intervals.h"
#include "PlanChecks.h"
#include "Uncertainty.h"

#include <QSaveFile>
#include <QXmlStreamWriter>
#include <cmath>

namespace records {
namespace {

const QString kDcc = QStringLiteral("https://ptb.de/dcc");
const QString kSi = QStringLiteral("https://ptb.de/si");
constexpr double kPound = 0.45359237; // kg, exactly
constexpr Micro kLargestExact = Micro(100000000000) * 1000000; // 1e11 lb in millionths
const QString kCoverage = QStringLiteral("0.9545");

// Writes the DCC's elements in its two namespaces.
class Writer
{
public:
    explicit Writer(QByteArray *out) : x(out)
    {
        x.setAutoFormatting(true);
        x.setAutoFormattingIndent(1);
    }
    void open(const char *name) { x.writeStartElement(kDcc, QLatin1String(name)); }
    void close() { x.writeEndElement(); }
    void element(const char *name, const QString &value) { x.writeTextElement(kDcc, QLatin1String(name), value); }
    // A textType or richContentType: the text in English.
    void text(const char *name, const QString &value)
    {
        open(name);
        x.writeStartElement(kDcc, QStringLiteral("content"));
        x.writeAttribute(QStringLiteral("lang"), QStringLiteral("en"));
        x.writeCharacters(value);
        x.writeEndElement();
        close();
    }
    void si(const char *name, const QString &value) { x.writeTextElement(kSi, QLatin1String(name), value); }
    void refType(const QString &type) { x.writeAttribute(QStringLiteral("refType"), type); }

    QXmlStreamWriter x;
};

QString conformityWord(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return QStringLiteral("pass");
    case Outcome::ConditionalPass: return QStringLiteral("conditionalPass");
    case Outcome::ConditionalFail: return QStringLiteral("conditionalFail");
    case Outcome::Fail: return QStringLiteral("fail");
    case Outcome::NotStated: return {}; // the schema has no word for it: said in the declaration
    }
    return {};
}

QString day(const QDateTime &t)
{
    return t.toLocalTime().date().toString(Qt::ISODate);
}

class DccWriter
{
public:
    DccWriter(const Record &r, const DccOptions &o, QByteArray *out) : r(r), o(o), w(out) {}

    void write()
    {
        w.x.writeStartDocument();
        w.x.writeNamespace(kDcc, QStringLiteral("dcc"));
        w.x.writeNamespace(kSi, QStringLiteral("si"));
        w.open("digitalCalibrationCertificate");
        w.x.writeAttribute(QStringLiteral("schemaVersion"), QStringLiteral("3.1.2"));
        administrativeData();
        w.open("measurementResults");
        for (Phase phase : {Phase::AsFound, Phase::AsLeft})
            if (inUse(phase))
                measurementResult(phase);
        w.close();
        w.close();
        w.x.writeEndDocument();
    }

private:
    bool inUse(Phase phase) const
    {
        const QList<Point> &points = r.points(phase);
        return phase == Phase::AsFound || adjusted(r)
               || std::any_of(points.begin(), points.end(), [](const Point &p) { return p.reading || !p.notPerformed.isEmpty(); });
    }

    QString mass(Micro m) const { return dsiKilograms(r, m); }

    void administrativeData()
    {
        w.open("administrativeData");
        w.open("dccSoftware");
        w.open("software");
        w.text("name", o.software);
        w.element("release", o.release);
        w.element("type", QStringLiteral("application"));
        w.close();
        w.close();
        coreData();
        item();
        w.open("calibrationLaboratory");
        if (!r.provider.accreditationNumber.isEmpty())
            w.element("calibrationLaboratoryCode", r.provider.accreditationNumber);
        contact("contact", r.provider.name, o.laboratoryEmail, r.provider.address);
        w.close();
        w.open("respPersons");
        w.open("respPerson");
        w.open("person");
        w.text("name", r.technician);
        w.close();
        w.element("role", QStringLiteral("Calibrated by (user type %1 at the scale)").arg(r.userType));
        w.element("mainSigner", QStringLiteral("true"));
        w.element("cryptElectronicSignature", r.seal.empty() ? QStringLiteral("false") : QStringLiteral("true"));
        w.close();
        w.close();
        contact("customer", r.instrument.customer, {}, r.instrument.customerAddress);
        statements();
        w.close();
    }

    void coreData()
    {
        w.open("coreData");
        w.element("countryCodeISO3166_1", o.country);
        w.element("usedLangCodeISO639_1", QStringLiteral("en"));
        w.element("mandatoryLangCodeISO639_1", QStringLiteral("en"));
        w.element("uniqueIdentifier", r.uuid);
        w.open("identifications");
        identification(QStringLiteral("calibrationLaboratory"), recordNumber(r), QStringLiteral("Certificate number"));
        w.close();
        const QDateTime first = visitedAt(r), last = lastReadAt(r);
        w.element("beginPerformanceDate", day(first));
        w.element("endPerformanceDate", day(last.isValid() ? last : first));
        w.element("performanceLocation", QStringLiteral("customer"));
        w.close();
    }

    void identification(const QString &issuer, const QString &value, const QString &name)
    {
        w.open("identification");
        w.element("issuer", issuer);
        w.element("value", value);
        w.text("name", name);
        w.close();
    }

    void contact(const char *element, const QString &name, const QString &email, const QString &address)
    {
        w.open(element);
        w.text("name", name);
        w.element("eMail", email);
        w.open("location");
        w.text("further", address);
        w.close();
        w.close();
    }

    void item()
    {
        const Instrument &in = r.instrument;
        const QString unit = QLatin1Char(' ') + unitName(in.pounds);
        const int e = decimalsOf(in.e);
        w.open("items");
        w.open("item");
        w.text("name", QStringLiteral("Non-automatic weighing instrument"));
        w.open("equipmentClass");
        w.element("reference", QStringLiteral("OIML R 76-1 accuracy class"));
        w.element("classID", className(in.accuracy));
        w.close();
        w.text("description", QStringLiteral("Max %1, Min %2, e %3, d %4, %5 supports; location: %6")
                                  .arg(formatMass(in.max, e, true) + unit, formatMass(in.min, e, true) + unit,
                                       formatMass(in.e, e, true) + unit, formatMass(in.d, decimalsOf(in.d), true) + unit)
                                  .arg(in.supports)
                                  .arg(in.location));
        w.open("manufacturer");
        w.text("name", in.makerModel.isEmpty() ? QStringLiteral("not named") : in.makerModel);
        w.close();
        if (!in.makerModel.isEmpty())
            w.element("model", in.makerModel);
        w.open("identifications");
        identification(QStringLiteral("manufacturer"), in.indexNo, QStringLiteral("Index No. (user serial number)"));
        w.close();
        w.close();
        w.close();
    }

    void statement(const QString &refType, const QString &declaration, const QStringList &norms = {},
                   const std::function<void()> &more = {})
    {
        w.open("statement");
        w.refType(refType);
        for (const QString &norm : norms)
            w.element("norm", norm);
        w.text("declaration", declaration);
        if (more)
            more();
        w.close();
    }

    void statements()
    {
        w.open("statements");
        statement(QStringLiteral("vantor_decisionRule"), decisionRule(r),
                  r.format >= 4 ? QStringList{QStringLiteral("ILAC-G8:2019"), QStringLiteral("OIML R 76-1")}
                                : QStringList{QStringLiteral("ILAC-G8"), QStringLiteral("OIML R 76-1")});
        for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
            if (!inUse(phase)) {
                statement(QStringLiteral("vantor_conformity_asLeft"), QStringLiteral("Not adjusted: the scale was left as it was found."));
                continue;
            }
            bool tested = false;
            const QString word = conformityWord(phaseOutcome(r, phase, &tested));
            statement(phase == Phase::AsFound ? QStringLiteral("vantor_conformity_asFound") : QStringLiteral("vantor_conformity_asLeft"),
                      QStringLiteral("Within the limits %1: %2").arg(phaseName(phase).toLower(), conformity(r, phase)), {}, [&] {
                          if (tested && !word.isEmpty())
                              w.element("conformity", word);
                      });
        }
        statement(QStringLiteral("vantor_verdict"), QStringLiteral("Verdict: %1").arg(verdictName(r.verdict)));
        w.open("statement");
        w.refType(QStringLiteral("basic_traceability"));
        w.element("traceable", r.weights.certificate.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"));
        w.element("norm", QStringLiteral("OIML R 111-1"));
        w.text("declaration", QStringLiteral("The results are traceable to the SI through the reference weights (set %1, OIML R 111 "
                                             "class %2), calibrated under certificate %3%4.")
                                  .arg(r.weights.setId, r.weights.weightClass,
                                       r.weights.certificate.isEmpty() ? QStringLiteral("(not recorded)") : r.weights.certificate,
                                       r.weights.issuedBy.isEmpty() ? QString() : QStringLiteral(" issued by ") + r.weights.issuedBy));
        w.close();
        statement(QStringLiteral("basic_uncertainty"),
                  QStringLiteral("U = k u per EURAMET cg-18, k = t95.45 of the effective degrees of freedom, for a coverage "
                                 "probability of about 95 %."),
                  {QStringLiteral("EURAMET cg-18"), QStringLiteral("JCGM 100:2008")});
        if (o.nextDue.isValid())
            statement(QStringLiteral("basic_recalibrationDate"),
                      QStringLiteral("Next calibration due, as agreed with the customer: %1").arg(dueMonth(o.nextDue)), {},
                      [&] { w.element("date", o.nextDue.toString(Qt::ISODate)); });
        if (!r.replaces.isEmpty())
            statement(QStringLiteral("vantor_correction"),
                      QStringLiteral("This certificate replaces certificate %1 (record %2): %3")
                          .arg(recordNumber(r.replaces, r.revision - 1), r.replaces,
                               r.correctionReason.isEmpty() ? QStringLiteral("no reason was given") : r.correctionReason));
        if (r.instrument.pounds)
            statement(QStringLiteral("vantor_unit"), QStringLiteral("The scale was calibrated in pounds; its masses are given here "
                                                                   "in kilograms, converted exactly (1 lb = 0.45359237 kg)."));
        for (const QString &caution : certificateCautions(r))
            statement(QStringLiteral("vantor_caution"), caution);
        statement(QStringLiteral("vantor_signature"),
                  o.signedBy.isEmpty() ? QStringLiteral("The record was not signed.")
                                       : QStringLiteral("The record was signed: %1.").arg(o.signedBy));
        w.close();
    }

    void measurementResult(Phase phase)
    {
        w.open("measurementResult");
        w.text("name", phaseName(phase));
        w.open("usedMethods");
        w.open("usedMethod");
        w.text("name", QStringLiteral("OIML R 76-1 tests: weighing, repeatability, eccentricity; uncertainty per EURAMET cg-18"));
        w.element("norm", QStringLiteral("OIML R 76-1"));
        w.element("norm", QStringLiteral("EURAMET cg-18"));
        w.close();
        w.close();
        w.open("measuringEquipments");
        w.open("measuringEquipment");
        w.text("name", QStringLiteral("Reference weights %1").arg(r.weights.setId));
        w.open("equipmentClass");
        w.element("reference", QStringLiteral("OIML R 111-1"));
        w.element("classID", r.weights.weightClass.isEmpty() ? QStringLiteral("unknown") : r.weights.weightClass);
        w.close();
        if (!r.weights.certificate.isEmpty()) {
            w.open("identifications");
            identification(QStringLiteral("calibrationLaboratory"), r.weights.certificate,
                           QStringLiteral("Calibration certificate%1").arg(r.weights.issuedBy.isEmpty() ? QString() : QStringLiteral(", issued by ") + r.weights.issuedBy));
            w.close();
        }
        w.close();
        w.close();
        if (r.temperatureStart || r.temperatureEnd) {
            w.open("influenceConditions");
            for (auto [name, t] : {std::pair(QStringLiteral("Temperature at the start"), r.temperatureStart),
                                   std::pair(QStringLiteral("Temperature at the end"), r.temperatureEnd)}) {
                if (!t)
                    continue;
                w.open("influenceCondition");
                w.refType(QStringLiteral("basic_temperature"));
                w.text("name", name);
                w.open("data");
                w.open("quantity");
                w.x.writeStartElement(kSi, QStringLiteral("real"));
                w.si("value", formatMass(*t, 6, true));
                w.si("unit", QStringLiteral("\\degreecelsius"));
                w.x.writeEndElement();
                w.close();
                w.close();
                w.close();
            }
            w.close();
        }
        w.open("results");
        for (Test test : {Test::Weighing, Test::Repeatability, Test::Eccentricity})
            result(phase, test);
        w.close();
        w.close();
    }

    void result(Phase phase, Test test)
    {
        QList<const Point *> points;
        for (const Point &p : r.points(phase))
            if (p.test == test && (counts(r, phase, p) || !p.notPerformed.isEmpty()))
                points << &p;
        if (points.isEmpty())
            return;
        w.open("result");
        w.text("name", QStringLiteral("%1 test").arg(testName(test)));
        w.open("data");
        for (const Point *p : points)
            point(phase, *p);
        if (test == Test::Repeatability)
            if (const auto rep = repeatabilityOf(r, phase)) {
                w.open("list");
                w.text("name", QStringLiteral("Spread of %1 readings").arg(rep->readings));
                quantity(QStringLiteral("vantor_spread"), QStringLiteral("Spread, largest minus smallest"), rep->spread);
                quantity(QStringLiteral("vantor_mpe"), QStringLiteral("MPE"), rep->mpe, {},
                         rep->pass ? QStringLiteral("pass") : QStringLiteral("fail"));
                w.close();
            }
        w.close();
        w.close();
    }

    void point(Phase phase, const Point &p)
    {
        w.open("list");
        w.refType(QStringLiteral("vantor_point"));
        w.text("name", pointName(r, p));
        if (!p.notPerformed.isEmpty()) {
            w.open("quantity");
            w.text("noQuantity", QStringLiteral("not performed: ") + p.notPerformed);
            w.close();
            w.close();
            return;
        }
        w.element("dateTime", p.reading->at.toUTC().toString(Qt::ISODate));
        const PointResult res = resultOf(r, phase, p);
        quantity(QStringLiteral("basic_referenceValue"), QStringLiteral("Load"), p.load);
        quantity(QStringLiteral("basic_measuredValue"), QStringLiteral("Indication"), p.reading->indication);
        const auto u = expandedUncertainty(r, phase, p);
        const auto k = coverageOf(r, phase, p);
        QString outcome = resultWord(res);
        if (p.reading->unstable)
            outcome += QStringLiteral(" (unstable)");
        quantity(QStringLiteral("basic_measurementError"), QStringLiteral("Error E = indication - load"), res.error,
                 u && k ? std::optional(std::pair(*u, *k)) : std::nullopt, conformityWord(res.outcome), outcome);
        quantity(QStringLiteral("vantor_mpe"), QStringLiteral("Maximum permissible error (MPE)"), res.mpe);
        w.close();
    }

    void quantity(const QString &refType, const QString &name, Micro value, std::optional<std::pair<Micro, double>> expanded = {},
                  const QString &conformity = {}, const QString &declaration = {})
    {
        w.open("quantity");
        w.refType(refType);
        w.text("name", name);
        w.x.writeStartElement(kSi, QStringLiteral("real"));
        w.si("value", mass(value));
        w.si("unit", QStringLiteral("\\kilogram"));
        if (expanded) {
            w.x.writeStartElement(kSi, QStringLiteral("expandedUnc"));
            w.si("uncertainty", mass(expanded->first));
            w.si("coverageFactor", QString::number(expanded->second, 'f', 2));
            w.si("coverageProbability", kCoverage);
            w.x.writeEndElement();
        }
        w.x.writeEndElement();
        if (!conformity.isEmpty() || !declaration.isEmpty()) {
            w.open("measurementMetaData");
            w.open("metaData");
            w.refType(QStringLiteral("basic_conformity"));
            w.text("declaration", declaration.isEmpty() ? conformity : declaration);
            if (!conformity.isEmpty())
                w.element("conformity", conformity);
            w.close();
            w.close();
        }
        w.close();
    }

    const Record &r;
    const DccOptions &o;
    Writer w;
};

} // namespace

QString dsiKilograms(const Record &r, Micro m)
{
    if (!r.instrument.pounds)
        return formatMass(m, 6, true);
    // Exactly: whole pounds in units of 1e-8 kg (a pound is 45,359,237 of them), their millionths
    // in units of 1e-14 kg, so that no product overflows below 1e11 lb; beyond, which no scale
    // weighs, as a double.
    if (m <= -kLargestExact || m >= kLargestExact)
        return QString::number(double(m) / 1e6 * kPound, 'f', 6);
    const bool negative = m < 0;
    const quint64 lb = quint64(negative ? -m : m);
    quint64 high = lb / 1000000 * 45359237ULL;  // 1e-8 kg
    quint64 low = lb % 1000000 * 45359237ULL;   // 1e-14 kg
    high += low / 1000000;
    low %= 1000000;
    QString text = QString::number(high / 100000000) + QLatin1Char('.') + QStringLiteral("%1").arg(high % 100000000, 8, 10, QLatin1Char('0'))
                   + QStringLiteral("%1").arg(low, 6, 10, QLatin1Char('0'));
    while (text.endsWith(QLatin1Char('0')) && !text.endsWith(QLatin1String(".0")))
        text.chop(1);
    return (negative ? QStringLiteral("-") : QString()) + text;
}

QByteArray dccOf(const Record &r, const DccOptions &options, QString *error)
{
    if (!r.closed()) {
        *error = QStringLiteral("Record %1 is still open: its DCC is written once it is closed.").arg(recordNumber(r));
        return {};
    }
    if (r.discarded()) {
        *error = QStringLiteral("Record %1 was discarded (%2): it has no certificate.").arg(recordNumber(r), r.discardReason);
        return {};
    }
    QByteArray out;
    DccWriter(r, options, &out).write();
    return out;
}

bool writeDcc(const Record &r, const QString &path, const DccOptions &options, QString *error)
{
    const QByteArray xml = dccOf(r, options, error);
    return !xml.isEmpty() && writeDccFile(xml, path, error);
}

bool writeDccFile(const QByteArray &xml, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace records
