#include "Certificate.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <algorithm>

namespace records {
namespace {

QString esc(const QString &s)
{
    return s.toHtmlEscaped();
}

QString localTime(const QDateTime &t)
{
    if (!t.isValid())
        return QStringLiteral("-");
    const QDateTime local = t.toLocalTime();
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + local.timeZoneAbbreviation();
}

QString row(const QStringList &cells, const char *tag = "td")
{
    QString html = QStringLiteral("<tr>");
    for (const QString &c : cells)
        html += QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), c);
    return html + QStringLiteral("</tr>");
}

QString resultText(const Record &r, const Point &p)
{
    const QString verdict = resultOf(r, p).pass ? QStringLiteral("pass") : QStringLiteral("<b>FAIL</b>");
    return p.reading->unstable ? verdict + QStringLiteral(" (unstable)") : verdict;
}

QString timeOfDay(const QDateTime &t)
{
    return t.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

// What the technician was told about a phase before its tables: adjusted before testing, or not
// needed.
QString phaseNote(const Record &r, Phase phase)
{
    if (phase == Phase::AsFound) {
        QStringList before;
        for (const Adjustment &a : r.adjustments)
            if (a.beforeRecord)
                before << QStringLiteral("%1 at %2").arg(esc(a.text), timeOfDay(a.at));
        if (!before.isEmpty())
            return QStringLiteral("<p>The scale was adjusted after the login and before this record was opened (%1): as "
                                  "found was not tested.</p>")
                .arg(before.join(QStringLiteral("; ")));
        return {};
    }
    const QList<Point> &left = r.asLeft;
    const bool used = std::any_of(left.begin(), left.end(),
                                  [](const Point &p) { return p.reading || !p.notPerformed.isEmpty(); });
    return !used && !adjusted(r) ? QStringLiteral("<p>Not adjusted: the scale was left as it was found.</p>") : QString();
}

QString phaseHtml(const Record &r, Phase phase)
{
    const int decimals = readingDecimals(r.instrument);
    const int loadDecimals = decimalsOf(r.instrument.e);
    QString html = QStringLiteral("<h3>%1</h3>").arg(phaseName(phase)) + phaseNote(r, phase);
    bool any = false;
    for (Test test : {Test::Weighing, Test::Repeatability, Test::Eccentricity}) {
        QString rows;
        for (const Point &p : r.points(phase)) {
            if (p.test != test)
                continue;
            const PointResult res = resultOf(r, p);
            if (!p.notPerformed.isEmpty())
                rows += row({esc(p.position), formatMass(p.load, loadDecimals), QString(), QString(),
                             formatMass(res.mpe, decimals), QStringLiteral("not performed: %1").arg(esc(p.notPerformed))});
            else if (counts(r, phase, p))
                rows += row({esc(p.position), formatMass(p.load, loadDecimals), formatMass(p.reading->indication, decimals),
                             formatMass(res.error, decimals), formatMass(res.mpe, decimals), resultText(r, p)});
        }
        if (rows.isEmpty())
            continue;
        any = true;
        const QString unit = unitName(r.instrument.pounds);
        html += QStringLiteral("<p><b>%1 test</b></p><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">")
                    .arg(testName(test))
                + row({QStringLiteral("Position"), QStringLiteral("Load / %1").arg(unit), QStringLiteral("Indication / %1").arg(unit),
                       QStringLiteral("E / %1").arg(unit), QStringLiteral("MPE / %1").arg(unit), QStringLiteral("Result")},
                      "th")
                + rows + QStringLiteral("</table>");
        if (test == Test::Repeatability)
            if (const auto rep = repeatabilityOf(r, phase))
                html += QStringLiteral("<p>Spread of %1 readings: %2 %3, MPE %4 %3: %5</p>")
                            .arg(rep->readings)
                            .arg(formatMass(rep->spread, decimals), unit, formatMass(rep->mpe, decimals),
                                 rep->pass ? QStringLiteral("pass") : QStringLiteral("<b>FAIL</b>"));
    }
    if (!any && phaseNote(r, phase).isEmpty())
        html += QStringLiteral("<p>No readings.</p>");
    return html;
}

// Readings that no longer count, and why: taken again, removed, or taken before a later adjustment.
QString changesHtml(const Record &r)
{
    const int decimals = readingDecimals(r.instrument);
    QString rows;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (const Point &p : r.points(phase)) {
            const QString point = esc(phaseName(phase) + QStringLiteral(", ") + pointName(r, p));
            for (const PointChange &c : p.earlier) {
                const QString was = c.reading ? formatMass(c.reading->indication, decimals) + QStringLiteral(" at ") + timeOfDay(c.reading->at)
                                              : QStringLiteral("not performed: ") + esc(c.notPerformed);
                rows += row({point, was, QStringLiteral("%1 at %2 by user type %3").arg(c.change, timeOfDay(c.at), esc(c.by))});
            }
            if (p.reading)
                if (const Adjustment *a = voidingAdjustment(r, phase, *p.reading))
                    rows += row({point, formatMass(p.reading->indication, decimals) + QStringLiteral(" at ") + timeOfDay(p.reading->at),
                                 QStringLiteral("void: before the adjustment at %1").arg(timeOfDay(a->at))});
        }
    }
    if (rows.isEmpty())
        return {};
    return QStringLiteral("<h3>Readings that do not count</h3><p>%1 reading(s) retaken or removed; each as it was taken:</p>"
                          "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">")
               .arg(retakenReadings(r))
           + row({QStringLiteral("Point"), QStringLiteral("Reading"), QStringLiteral("Change")}, "th") + rows
           + QStringLiteral("</table>");
}

QString certificateHtml(const Record &r)
{
    const Instrument &in = r.instrument;
    const QString unit = unitName(in.pounds);
    const int e = decimalsOf(in.e), d = decimalsOf(in.d);
    QString html = QStringLiteral("<html><body><h2>Calibration certificate %1</h2>").arg(esc(recordNumber(r)));
    html += QStringLiteral("<p>Record %1, revision %2").arg(esc(r.uuid)).arg(r.revision);
    if (!r.replaces.isEmpty())
        html += QStringLiteral(", replacing record %1").arg(esc(r.replaces));
    html += QStringLiteral("</p><h3>Instrument</h3><table cellpadding=\"2\">");
    const QList<QPair<QString, QString>> instrument = {
        {QStringLiteral("Index No."), esc(in.indexNo)},
        {QStringLiteral("Maker and model"), esc(in.makerModel)},
        {QStringLiteral("Location"), esc(in.location)},
        {QStringLiteral("Accuracy class"), className(in.accuracy)},
        {QStringLiteral("Max"), formatMass(in.max, e) + QLatin1Char(' ') + unit},
        {QStringLiteral("Min"), formatMass(in.min, e) + QLatin1Char(' ') + unit},
        {QStringLiteral("e"), formatMass(in.e, e) + QLatin1Char(' ') + unit},
        {QStringLiteral("d"), formatMass(in.d, d) + QLatin1Char(' ') + unit},
        {QStringLiteral("Supports"), QString::number(in.supports)},
    };
    for (const auto &[name, value] : instrument)
        html += row({name, value});
    html += QStringLiteral("</table><h3>Visit</h3><table cellpadding=\"2\">");
    const QList<QPair<QString, QString>> visit = {
        {QStringLiteral("Opened"), localTime(r.openedAt)},
        {QStringLiteral("Closed"), localTime(r.closedAt)},
        {QStringLiteral("Technician (user type)"), esc(r.userType)},
        {QStringLiteral("Limits"), r.inService ? QStringLiteral("in service") : QStringLiteral("initial verification")},
        {QStringLiteral("Reference weights"),
         QStringLiteral("set %1, class %2, certificate %3").arg(esc(r.weights.setId), esc(r.weights.weightClass), esc(r.weights.certificate))},
    };
    for (const auto &[name, value] : visit)
        html += row({name, value});
    html += QStringLiteral("</table>") + phaseHtml(r, Phase::AsFound);
    html += QStringLiteral("<h3>Adjustments</h3>");
    if (r.adjustments.isEmpty())
        html += QStringLiteral("<p>None.</p>");
    else {
        html += QStringLiteral("<table cellpadding=\"2\">");
        for (const Adjustment &a : r.adjustments)
            html += row({localTime(a.at), esc(a.text)});
        html += QStringLiteral("</table>");
    }
    html += phaseHtml(r, Phase::AsLeft) + changesHtml(r);
    html += QStringLiteral("<h3>Verdict: %1</h3><p>Decision rule: %2</p>")
                .arg(r.closed() ? verdictName(r.verdict) : QStringLiteral("open, not closed"), esc(decisionRule(r)));
    html += QStringLiteral("<p>SHA-256 of the record: <tt>%1</tt></p>").arg(r.closed() ? r.sha256 : QStringLiteral("-"));
    html += QStringLiteral("<p><br><br>Signature: ______________________________ &nbsp;&nbsp; Date: ______________</p>");
    return html + QStringLiteral("</body></html>");
}

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r'))
        && !s.contains(QLatin1Char('\n')))
        return s;
    return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

bool writeCertificate(const Record &r, const QString &path, QString *error)
{
    if (r.discarded()) {
        *error = QStringLiteral("Record %1 was discarded (%2): it has no certificate.").arg(recordNumber(r), r.discardReason);
        return false;
    }
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, probe.errorString());
        return false;
    }
    probe.close();
    QPdfWriter writer(path);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 15, 18, 15),
                                     QPageLayout::Millimeter));
    writer.setResolution(300);
    writer.setTitle(QStringLiteral("Calibration certificate %1").arg(recordNumber(r)));
    writer.setCreator(QStringLiteral("vantor_cal"));

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    doc.setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 9));
    doc.setHtml(certificateHtml(r));
    const QRectF paint = writer.pageLayout().paintRectPixels(writer.resolution());
    const QFont small(QStringLiteral("Liberation Sans"), 8);
    const qreal band = QFontMetricsF(small, &writer).height() * 2;
    const QSizeF body(paint.width(), paint.height() - 2 * band);
    doc.setPageSize(body);

    QPainter p;
    if (!p.begin(&writer)) {
        *error = QStringLiteral("%1 cannot be written").arg(path);
        return false;
    }
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        p.setFont(small);
        const QRectF top(0, 0, paint.width(), band);
        p.drawText(top, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Service record %1").arg(recordNumber(r)));
        p.drawText(top, Qt::AlignRight | Qt::AlignTop, QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
        p.save();
        p.translate(0, band - i * body.height());
        doc.drawContents(&p, QRectF(0, i * body.height(), body.width(), body.height()));
        p.restore();
    }
    if (!p.end()) {
        *error = QStringLiteral("%1 could not be finished").arg(path);
        return false;
    }
    return true;
}

QByteArray readingsCsv(const Record &r)
{
    const int decimals = readingDecimals(r.instrument);
    const int loadDecimals = decimalsOf(r.instrument.e);
    QStringList lines{QStringLiteral("record,revision,index_no,phase,test,position,load,indication,error,mpe,result,unstable,"
                                     "time,unit,mean,spread,reports,status,by")};
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (const Point &p : r.points(phase)) {
            // One line for each reading the point held, and one for a point not performed.
            const auto line = [&](const std::optional<Reading> &reading, const QString &status) {
                const PointResult res = reading ? resultOf(r, p, *reading) : resultOf(r, p);
                const auto mass = [&](Micro m) { return reading ? formatMass(m, decimals, true) : QString(); };
                const QStringList fields = {
                    recordNumber(r), QString::number(r.revision), r.instrument.indexNo,
                    phase == Phase::AsFound ? QStringLiteral("as found") : QStringLiteral("as left"),
                    testName(p.test).toLower(), p.position, formatMass(p.load, loadDecimals, true),
                    mass(reading ? reading->indication : 0), mass(res.error), formatMass(res.mpe, decimals, true),
                    reading ? (res.pass ? QStringLiteral("pass") : QStringLiteral("fail")) : QString(),
                    reading ? (reading->unstable ? QStringLiteral("yes") : QStringLiteral("no")) : QString(),
                    reading ? reading->at.toUTC().toString(Qt::ISODateWithMs) : QString(), unitName(r.instrument.pounds),
                    reading && reading->reports > 0 ? formatMass(reading->mean, 6, true) : QString(),
                    reading && reading->reports > 0 ? formatMass(reading->spread, decimals, true) : QString(),
                    reading && reading->reports > 0 ? QString::number(reading->reports) : QString(), status,
                    reading ? reading->by : QString()};
                QStringList quoted;
                for (const QString &f : fields)
                    quoted << csvField(f);
                lines << quoted.join(QLatin1Char(','));
            };
            for (const PointChange &c : p.earlier)
                line(c.reading, QStringLiteral("%1 %2 by %3%4")
                                    .arg(c.change, c.at.toUTC().toString(Qt::ISODateWithMs), c.by,
                                         c.reading ? QString() : QStringLiteral(" (not performed: %1)").arg(c.notPerformed)));
            if (!p.notPerformed.isEmpty())
                line(std::nullopt, QStringLiteral("not performed: ") + p.notPerformed);
            else if (p.reading) {
                const Adjustment *a = voidingAdjustment(r, phase, *p.reading);
                line(p.reading, a ? QStringLiteral("void: before the adjustment at ") + a->at.toUTC().toString(Qt::ISODateWithMs)
                                  : QStringLiteral("counted"));
            }
        }
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

bool writeReadingsCsv(const Record &r, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(readingsCsv(r)) < 0 || !file.commit()) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace records
