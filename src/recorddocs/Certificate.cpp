#include "Certificate.h"

#include "Intervals.h"
#include "PagedDocument.h"
#include "PlanChecks.h"
#include "Uncertainty.h"
#include "WeightClasses.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>

namespace records {
namespace {

const QString kMethod = QStringLiteral("OIML R 76-1 tests (weighing, repeatability, eccentricity); uncertainty per "
                                       "EURAMET cg-18");

// Local time with its offset from UTC: 2026-12-07 10:53:13 +01:00.
QString localTime(const QDateTime &t, const char *format = "yyyy-MM-dd HH:mm:ss")
{
    if (!t.isValid())
        return QStringLiteral("-");
    const QDateTime local = t.toLocalTime();
    const int offset = local.offsetFromUtc();
    return local.toString(QLatin1String(format))
           + QStringLiteral(" %1%2:%3")
                 .arg(QChar(offset < 0 ? u'-' : u'+'))
                 .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                 .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
}

// The local day: 2026-12-07.
QString localDay(const QDateTime &t)
{
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) : QStringLiteral("-");
}

QString mass(const Record &r, Micro m, int decimals)
{
    return formatMass(m, decimals) + QLatin1Char(' ') + unitName(r.instrument.pounds);
}

QString celsius(const std::optional<Micro> &t)
{
    return t ? formatMass(*t, 1) + QStringLiteral(" \u00b0C") : QStringLiteral("not measured");
}

QString resultText(const Record &r, Phase phase, const Point &p)
{
    const QString verdict = resultWord(resultOf(r, phase, p));
    return p.reading->unstable ? verdict + QStringLiteral(" (unstable)") : verdict;
}

void issuer(PagedDocument &doc, const Record &r)
{
    const Provider &p = r.provider;
    if (QImage logo; logo.loadFromData(p.logoPng))
        doc.image(logo, 32);
    QList<std::pair<QString, QString>> who;
    if (!p.name.isEmpty())
        who.append({QStringLiteral("Issued by"), p.name + (p.address.isEmpty() ? QString() : QStringLiteral("\n") + p.address)});
    if (!p.accreditationBody.isEmpty() || !p.accreditationNumber.isEmpty())
        who.append({QStringLiteral("Accreditation"), QStringLiteral("%1, number %2").arg(p.accreditationBody, p.accreditationNumber)});
    if (!who.isEmpty())
        doc.pairs(who, true);
    doc.heading(QStringLiteral("Calibration certificate %1").arg(recordNumber(r)), 1);
    QString identity = QStringLiteral("Record %1, revision %2").arg(r.uuid).arg(r.revision);
    if (!r.replaces.isEmpty() && r.format < 4)
        identity += QStringLiteral(", replacing record %1").arg(r.replaces);
    doc.paragraph(identity + QStringLiteral("; date of issue: ")
                  + (r.closed() ? localDay(r.closedAt) : QStringLiteral("not issued, the record is open")));
    if (!r.replaces.isEmpty() && r.format >= 4) // ISO/IEC 17025 7.8.8: the certificate replaced, and why
        doc.paragraph(QStringLiteral("This certificate replaces certificate %1 (record %2), corrected on %3: %4")
                          .arg(recordNumber(r.replaces, r.revision - 1), r.replaces, localDay(r.openedAt),
                               r.correctionReason.isEmpty() ? QStringLiteral("no reason was given") : r.correctionReason),
                      true);
}

// The day(s) the scale was read: "2026-12-07", or "2026-12-07 to 2026-12-08".
QString calibrationDates(const Record &r)
{
    const QDateTime first = firstReadAt(r), last = lastReadAt(r);
    if (!first.isValid())
        return QStringLiteral("no reading taken");
    const QString from = localDay(first), to = localDay(last);
    return from == to ? from : QStringLiteral("%1 to %2").arg(from, to);
}

// ISO/IEC 17025 7.8.2.1 / ILAC P14: how the results reach the SI.
QString traceability(const ReferenceWeights &w)
{
    if (w.certificate.trimmed().isEmpty())
        return QStringLiteral("not shown: the reference weights' calibration certificate was not recorded.");
    return QStringLiteral("to the SI through the reference weights (set %1, OIML R 111 class %2), calibrated under certificate %3 %4.")
        .arg(w.setId.isEmpty() ? QStringLiteral("not named") : w.setId, w.weightClass, w.certificate,
             w.issuedBy.trimmed().isEmpty() ? QStringLiteral("(its issuer not recorded)") : QStringLiteral("issued by ") + w.issuedBy);
}

void instrumentAndVisit(PagedDocument &doc, const Record &r)
{
    const Instrument &in = r.instrument;
    const int e = decimalsOf(in.e);
    doc.heading(QStringLiteral("Customer and instrument"));
    doc.pairs({{QStringLiteral("Customer"), in.customer + (in.customerAddress.isEmpty() ? QString() : QStringLiteral(", ") + in.customerAddress)},
               {QStringLiteral("Index No."), in.indexNo},
               {QStringLiteral("Maker and model"), in.makerModel},
               {QStringLiteral("Location"), in.location},
               {QStringLiteral("Accuracy class"), className(in.accuracy)},
               {QStringLiteral("Max, Min"), mass(r, in.max, e) + QStringLiteral(", ") + mass(r, in.min, e)},
               {QStringLiteral("e, d"), mass(r, in.e, e) + QStringLiteral(", ") + mass(r, in.d, decimalsOf(in.d))},
               {QStringLiteral("Supports"), QString::number(in.supports)}});
    doc.heading(QStringLiteral("Calibration"));
    QList<std::pair<QString, QString>> visit = {
        {QStringLiteral("Place"), r.place.isEmpty() ? in.location : r.place},
        {QStringLiteral("Date of calibration"), calibrationDates(r)},
        {QStringLiteral("Technician"), (r.technician.isEmpty() ? QStringLiteral("(not named)") : r.technician)
                                           + QStringLiteral(", user type %1 at the scale").arg(r.userType)},
        {QStringLiteral("Method"), r.format < 2 ? QStringLiteral("OIML R 76-1 tests") : kMethod},
        {QStringLiteral("Reference weights"),
         QStringLiteral("set %1, OIML R 111 class %2, certificate %3").arg(r.weights.setId, r.weights.weightClass, r.weights.certificate)},
        {QStringLiteral("MPE limits"), r.inService ? QStringLiteral("in service (twice those of initial verification)")
                                                   : QStringLiteral("initial verification")},
        {QStringLiteral("Decision rule"), acceptanceName(r)},
    };
    if (r.format >= 4)
        visit.insert(5, {QStringLiteral("Traceability"), traceability(r.weights)});
    if (r.format >= 2)
        visit.insert(3, {QStringLiteral("Temperature"), QStringLiteral("%1 at the start, %2 at the end")
                                                            .arg(celsius(r.temperatureStart), celsius(r.temperatureEnd))});
    doc.pairs(visit);
}

// A test's points as a table; a test not performed at all, one line.
void testTable(PagedDocument &doc, const Record &r, Phase phase, Test test)
{
    const int decimals = readingDecimals(r.instrument);
    const int loadDecimals = decimalsOf(r.instrument.e);
    QList<QStringList> rows;
    QStringList reasons;
    int points = 0;
    for (const Point &p : r.points(phase)) {
        if (p.test != test)
            continue;
        ++points;
        const PointResult res = resultOf(r, phase, p);
        if (!p.notPerformed.isEmpty()) {
            reasons << p.notPerformed;
            rows << QStringList{p.position, formatMass(p.load, loadDecimals), {}, {}, {}, formatMass(res.mpe, decimals),
                                QStringLiteral("not performed: ") + p.notPerformed};
            if (r.format >= 3)
                rows.last().insert(5, QString());
        } else if (counts(r, phase, p)) {
            const auto u = expandedUncertainty(r, phase, p);
            const auto k = coverageOf(r, phase, p);
            const PrintedResult printed = printedResult(r, res.error, u);
            rows << QStringList{p.position, formatMass(p.load, loadDecimals), formatMass(p.reading->indication, decimals),
                                printed.error, u ? printed.u : QStringLiteral("-"), formatMass(res.mpe, decimals),
                                resultText(r, phase, p)};
            if (r.format >= 3)
                rows.last().insert(5, k ? QString::number(*k, 'f', 2) : QStringLiteral("-"));
        }
    }
    if (rows.isEmpty())
        return;
    if (reasons.size() == points && reasons.count(reasons.first()) == points)
        return; // a whole test not performed: said once, with the other gaps
    const QString unit = QStringLiteral(" / ") + unitName(r.instrument.pounds);
    doc.heading(QStringLiteral("%1 test").arg(testName(test)), 3, 25); // with the table's first rows
    if (r.format >= 3)
        doc.table({QStringLiteral("Position"), QStringLiteral("Load") + unit, QStringLiteral("Indication") + unit,
                   QStringLiteral("E") + unit, QStringLiteral("U") + unit, QStringLiteral("k"), QStringLiteral("MPE") + unit,
                   QStringLiteral("Result")},
                  {1.2, 1, 1.1, 1, 0.9, 0.5, 0.9, 1.9}, rows);
    else
        doc.table({QStringLiteral("Position"), QStringLiteral("Load") + unit, QStringLiteral("Indication") + unit,
                   QStringLiteral("E") + unit, QStringLiteral("U (k = 2)") + unit, QStringLiteral("MPE") + unit,
                   QStringLiteral("Result")},
                  {1.2, 1, 1.1, 1, 1, 1, 1.9}, rows);
    if (test == Test::Repeatability)
        if (const auto rep = repeatabilityOf(r, phase))
            doc.paragraph(QStringLiteral("Spread of %1 readings: %2, MPE %3: %4")
                              .arg(rep->readings)
                              .arg(mass(r, rep->spread, decimals), mass(r, rep->mpe, decimals),
                                   rep->pass ? QStringLiteral("pass") : QStringLiteral("FAIL")));
}

void phaseSection(PagedDocument &doc, const Record &r, Phase phase)
{
    doc.heading(phaseName(phase));
    const QList<Point> &points = r.points(phase);
    const bool used = std::any_of(points.begin(), points.end(), [](const Point &p) { return p.reading || !p.notPerformed.isEmpty(); });
    if (phase == Phase::AsLeft && !used && !adjusted(r)) {
        doc.paragraph(QStringLiteral("Not adjusted: the scale was left as it was found."));
        return;
    }
    doc.paragraph(QStringLiteral("Within the limits %1: %2").arg(phaseName(phase).toLower(), conformity(r, phase)), true);
    for (Test test : {Test::Weighing, Test::Repeatability, Test::Eccentricity})
        testTable(doc, r, phase, test);
}

void adjustmentsSection(PagedDocument &doc, const Record &r)
{
    doc.heading(QStringLiteral("Adjustments"));
    if (r.adjustments.isEmpty())
        return doc.paragraph(QStringLiteral("None."));
    QList<QStringList> rows;
    for (const Adjustment &a : r.adjustments)
        rows << QStringList{localTime(a.at), a.text + (a.beforeRecord ? QStringLiteral(" (after the login, before this record)") : QString())};
    doc.table({QStringLiteral("Confirmed by the scale"), QStringLiteral("Adjustment")}, {1, 2.6}, rows);
}

// The points of a phase not performed: a whole test in one line where they share their reason.
QStringList notPerformedOf(const Record &r, Phase phase)
{
    QStringList out;
    for (Test test : {Test::Weighing, Test::Repeatability, Test::Eccentricity}) {
        QStringList reasons, names;
        int points = 0;
        for (const Point &p : r.points(phase)) {
            if (p.test != test)
                continue;
            ++points;
            if (!p.notPerformed.isEmpty()) {
                reasons << p.notPerformed;
                names << phaseName(phase) + QStringLiteral(", ") + pointName(r, p) + QStringLiteral(": ") + p.notPerformed;
            }
        }
        if (!reasons.isEmpty() && reasons.size() == points && reasons.count(reasons.first()) == points)
            out << QStringLiteral("%1, %2 test (%3 points): %4").arg(phaseName(phase), testName(test).toLower()).arg(points).arg(reasons.first());
        else
            out << names;
    }
    return out;
}

// Tests not performed, deviations and readings that do not count, in a section of their own.
void deviationsSection(PagedDocument &doc, const Record &r)
{
    doc.heading(QStringLiteral("Tests not performed, deviations and retaken readings"));
    const int decimals = readingDecimals(r.instrument);
    QStringList notPerformed, unstable;
    QList<QStringList> changes;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        notPerformed << notPerformedOf(r, phase);
        for (const Point &p : r.points(phase)) {
            const QString name = phaseName(phase) + QStringLiteral(", ") + pointName(r, p);
            if (counts(r, phase, p) && p.reading->unstable)
                unstable << name;
            for (const PointChange &c : p.earlier)
                changes << QStringList{name, c.reading ? formatMass(c.reading->indication, decimals) + QStringLiteral(" at ") + localTime(c.reading->at)
                                                       : QStringLiteral("not performed: ") + c.notPerformed,
                                       r.format >= 3 ? QStringLiteral("%1; %2, user type %3").arg(changeReason(r, phase, c), localTime(c.at), c.by)
                                                     : QStringLiteral("%1 %2 by user type %3").arg(c.change, localTime(c.at), c.by)};
            if (p.reading)
                if (const Adjustment *a = voidingAdjustment(r, phase, *p.reading))
                    changes << QStringList{name, formatMass(p.reading->indication, decimals) + QStringLiteral(" at ") + localTime(p.reading->at),
                                           r.format >= 3 ? voidReason(*a) : QStringLiteral("void: before the adjustment at %1").arg(localTime(a->at))};
        }
    }
    bool any = false;
    if (!notPerformed.isEmpty()) {
        any = true;
        doc.paragraph(QStringLiteral("Not performed:"), true);
        doc.paragraph(notPerformed.join(QLatin1Char('\n')));
    }
    if (!changes.isEmpty()) {
        any = true;
        doc.paragraph(QStringLiteral("%1 reading(s) retaken or removed; each as it was taken:").arg(retakenReadings(r)), true);
        doc.table({QStringLiteral("Point"), QStringLiteral("Reading"), QStringLiteral("Change")}, {1.6, 1.4, 1.6}, changes);
    }
    if (!unstable.isEmpty()) {
        any = true;
        doc.paragraph(QStringLiteral("Kept as FAIL, taken while the weight was unstable: %1.").arg(unstable.join(QStringLiteral("; "))));
    }
    if (!r.uncertaintyNotes.isEmpty()) {
        any = true;
        doc.paragraph(QStringLiteral("In the uncertainty, in place of tests not made:"), true);
        doc.paragraph(r.uncertaintyNotes.join(QLatin1Char('\n')));
    }
    if (const QStringList cautions = certificateCautions(r); !cautions.isEmpty()) {
        any = true;
        doc.paragraph(QStringLiteral("Cautions:"), true);
        doc.paragraph(cautions.join(QLatin1Char('\n')));
    }
    if (!any)
        doc.paragraph(QStringLiteral("None."));
}

void uncertaintySection(PagedDocument &doc, const Record &r)
{
    doc.heading(QStringLiteral("Measurement uncertainty"));
    if (r.format < 2)
        return doc.paragraph(QStringLiteral("No measurement uncertainty was recorded for this record (written by version 1.1 "
                                            "of the console)."));
    if (r.format >= 4)
        return doc.paragraph(QStringLiteral(
            "U = k u per EURAMET cg-18 (about 95 %), k = t95.45(nu_eff) by Welch-Satterthwaite (n - 1 degrees of freedom "
            "for n repeatability readings, a range's for s from the requirement, the other terms exact bounds), from this "
            "visit's own tests, else the scale's last ones: rounding at zero and at the load (d / (2 sqrt 3) each), "
            "repeatability (s), eccentricity (the largest difference from the centre, per unit of load), the reference "
            "weights (sum of MPE / sqrt 3 of the OIML R 111 weights making up the load) and air buoyancy; drift covered by "
            "the class; convection negligible. U to two significant digits, rounded up where rounding would lower it by "
            "more than 5 % (EA-4/02), E to the same place; decisions use both unrounded."));
    if (r.format >= 3)
        return doc.paragraph(QStringLiteral(
            "U = k u per EURAMET cg-18 (about 95 %): k is Student's t95.45 at the effective degrees of freedom "
            "(Welch-Satterthwaite: n - 1 for n repeatability readings, the other terms exact bounds). From this visit's "
            "own tests: rounding at zero and at the load (d / (2 sqrt 3) each); repeatability (s); eccentricity (the "
            "largest difference from the centre, per unit of load); the reference weights (sum of MPE / sqrt 3 of the OIML "
            "R 111 weights of a 1-2-2-5 set making up the load) and air buoyancy; drift covered by the class; convection "
            "negligible. U is rounded up where rounding would lower it by more than 5 % (EA-4/02); decisions use it unrounded."));
    doc.paragraph(QStringLiteral(
        "U: the expanded uncertainty of each error, k = 2 (about 95 % for a normal distribution), per EURAMET cg-18 "
        "from this visit's own tests: rounding at zero and at the load (d / (2 sqrt 3) each); repeatability (s of the "
        "repeatability test); eccentricity (the largest difference from the centre, per unit of load); the reference "
        "weights (sum of MPE / sqrt 3 of the OIML R 111 weights of a 1-2-2-5 set making up the load) and air buoyancy "
        "within their class's density limits; drift covered by the class; convection negligible at room temperature."));
}

void verdictSection(PagedDocument &doc, const Record &r)
{
    doc.heading(r.discarded() ? QStringLiteral("Discarded: %1").arg(r.discardReason)
                : r.closed()  ? QStringLiteral("Verdict: %1").arg(verdictName(r.verdict))
                              : QStringLiteral("Verdict: open, not closed"),
                2, 30);
    if (r.format >= 2)
        doc.pairs({{QStringLiteral("Within the limits as found"), conformity(r, Phase::AsFound)},
                   {QStringLiteral("Within the limits as left"),
                    std::none_of(r.asLeft.begin(), r.asLeft.end(), [](const Point &p) { return p.reading.has_value(); }) && !adjusted(r)
                        ? QStringLiteral("as found (not adjusted)")
                        : conformity(r, Phase::AsLeft)}});
    doc.paragraph(QStringLiteral("Decision rule: ") + decisionRule(r));
}

// The statement, the seal and the signature, closing the certificate.
void closingSection(PagedDocument &doc, const Record &r, const QDate &nextDue)
{
    if (nextDue.isValid()) // ISO/IEC 17025 7.8.4.3: only where the customer agreed an interval
        doc.paragraph(QStringLiteral("Next calibration due, as agreed with the customer: %1").arg(dueMonth(nextDue)));
    doc.paragraph(QStringLiteral("The results relate only to the item calibrated."), true);
    doc.paragraph(QStringLiteral("SHA-256 of the record: %1").arg(r.closed() ? r.sha256 : QStringLiteral("-")));
    if (r.format < 4)
        doc.paragraph(QStringLiteral("The record was not signed: it was made by version 1.4 or earlier of the console."));
    else if (r.chain)
        doc.paragraph(QStringLiteral("The record is signed with its technician's key (record %1 of that key's chain); this PDF "
                                     "carries the technician's signature, which PDF readers and vantor_cal --verify check.")
                          .arg(r.chain->sequence));
    doc.paragraph(QStringLiteral("Signature: ______________________________   %1   Date: ______________\nEnd of certificate")
                      .arg(r.technician),
                  true);
}

PagedDocument certificate(const Record &r, const QDate &nextDue)
{
    PagedDocument doc;
    issuer(doc, r);
    instrumentAndVisit(doc, r);
    phaseSection(doc, r, Phase::AsFound);
    adjustmentsSection(doc, r);
    phaseSection(doc, r, Phase::AsLeft);
    verdictSection(doc, r);
    deviationsSection(doc, r);
    uncertaintySection(doc, r);
    closingSection(doc, r, nextDue);
    return doc;
}

QString pageTitle(const Record &r)
{
    return QStringLiteral("Calibration certificate %1%2").arg(recordNumber(r), r.provider.name.isEmpty() ? QString() : QStringLiteral(", ") + r.provider.name);
}

} // namespace

QPageSize::PageSizeId defaultPaper(const QLocale &locale)
{
    static const QLocale::Territory letter[] = {QLocale::UnitedStates, QLocale::Canada, QLocale::Mexico, QLocale::Philippines,
                                                QLocale::Chile, QLocale::Colombia, QLocale::Venezuela, QLocale::PuertoRico};
    return std::find(std::begin(letter), std::end(letter), locale.territory()) != std::end(letter) ? QPageSize::Letter
                                                                                                    : QPageSize::A4;
}

QPageSize::PageSizeId paperFromName(const QString &name)
{
    if (name.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0)
        return QPageSize::Letter;
    if (name.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0)
        return QPageSize::A4;
    return defaultPaper();
}

bool printCertificate(const Record &r, QPagedPaintDevice &device, QString *error, const QDate &nextDue)
{
    if (r.discarded()) {
        *error = QStringLiteral("Record %1 was discarded (%2): it has no certificate.").arg(recordNumber(r), r.discardReason);
        return false;
    }
    if (certificate(r, nextDue).draw(device, pageTitle(r)) == 0) {
        *error = QStringLiteral("The certificate of record %1 could not be drawn.").arg(recordNumber(r));
        return false;
    }
    return true;
}

bool writeCertificate(const Record &r, const QString &path, QString *error, QPageSize::PageSizeId paper, const QDate &nextDue)
{
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, probe.errorString());
        return false;
    }
    probe.close();
    QPdfWriter writer(path);
    writer.setPageLayout(QPageLayout(QPageSize(paper), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter));
    writer.setResolution(300);
    writer.setTitle(QStringLiteral("Calibration certificate %1").arg(recordNumber(r)));
    writer.setCreator(QStringLiteral("vantor_cal"));
    return printCertificate(r, writer, error, nextDue);
}

} // namespace records
