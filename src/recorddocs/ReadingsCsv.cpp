#include "Certificate.h"

#include "Csv.h"
#include "Uncertainty.h"

#include <QSaveFile>

namespace records {

QByteArray readingsCsv(const Record &r)
{
    const int decimals = readingDecimals(r.instrument);
    const int loadDecimals = decimalsOf(r.instrument.e);
    QStringList lines{QStringLiteral("record,revision,index_no,phase,test,position,load,indication,error,mpe,result,unstable,"
                                     "time,unit,mean,spread,reports,status,by,u_expanded,decision_rule,conformity,capture")};
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        for (const Point &p : r.points(phase)) {
            // One line for each reading the point held, and one for a point not performed.
            const auto line = [&](const std::optional<Reading> &reading, const QString &status) {
                const PointResult res = reading ? resultOf(r, phase, p, *reading) : resultOf(r, phase, p);
                Point held = p;
                held.reading = reading;
                const auto u = reading ? expandedUncertainty(r, phase, held) : std::nullopt;
                const PrintedResult printed = printedResult(r, res.error, u, true);
                const Micro magnitude = res.error < 0 ? -res.error : res.error;
                const auto mass = [&](Micro m) { return reading ? formatMass(m, decimals, true) : QString(); };
                const QStringList fields = {
                    recordNumber(r), QString::number(r.revision), r.instrument.indexNo,
                    phase == Phase::AsFound ? QStringLiteral("as found") : QStringLiteral("as left"),
                    testName(p.test).toLower(), p.position, formatMass(p.load, loadDecimals, true),
                    mass(reading ? reading->indication : 0), reading ? printed.error : QString(), formatMass(res.mpe, decimals, true),
                    reading ? (magnitude <= res.mpe && (r.format < 2 || !reading->unstable) ? QStringLiteral("pass") : QStringLiteral("fail")) : QString(),
                    reading ? (reading->unstable ? QStringLiteral("yes") : QStringLiteral("no")) : QString(),
                    reading ? reading->at.toUTC().toString(Qt::ISODateWithMs) : QString(), unitName(r.instrument.pounds),
                    reading && reading->reports > 0 ? formatMass(reading->mean, 6, true) : QString(),
                    reading && reading->reports > 0 ? formatMass(reading->spread, decimals, true) : QString(),
                    reading && reading->reports > 0 ? QString::number(reading->reports) : QString(), status,
                    reading ? reading->by : QString(), printed.u,
                    r.acceptance == Acceptance::Guarded     ? QStringLiteral("guarded")
                    : r.acceptance == Acceptance::NonBinary ? QStringLiteral("nonbinary")
                                                            : QStringLiteral("simple"),
                    reading ? resultWord(res).toLower() : QString(),
                    reading ? (reading->automatic ? QStringLiteral("auto") : QStringLiteral("key")) : QString()};
                QStringList quoted;
                for (const QString &f : fields)
                    quoted << csvField(f);
                lines << quoted.join(QLatin1Char(','));
            };
            const bool words = r.format >= 3; // the words of the certificate; before, the change and its time
            for (const PointChange &c : p.earlier)
                line(c.reading, QStringLiteral("%1%2 %3 by %4%5")
                                    .arg(words ? changeReason(r, phase, c) : c.change, words ? QStringLiteral(";") : QString(),
                                         c.at.toUTC().toString(Qt::ISODateWithMs), c.by,
                                         c.reading ? QString() : QStringLiteral(" (not performed: %1)").arg(c.notPerformed)));
            if (!p.notPerformed.isEmpty())
                line(std::nullopt, QStringLiteral("not performed: ") + p.notPerformed);
            else if (p.reading) {
                const Adjustment *a = voidingAdjustment(r, phase, *p.reading);
                line(p.reading, !a      ? QStringLiteral("counted")
                                : words ? voidReason(*a)
                                        : QStringLiteral("void: before the adjustment at ") + a->at.toUTC().toString(Qt::ISODateWithMs));
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
