#pragma once
// Visits as a service company's records hold them, for the tests of due dates and drift.

#include "Record.h"

#include <QDate>

namespace testsupport {

// A closed visit of a 150 kg class III scale (e = d = 0.05 kg) on `day` at 09:00 UTC: as found,
// weighing up (0, 1, 25, 75, 100, 150 kg) read with `errors` (kg) added, the rest not performed.
inline records::Record visitOn(const QString &indexNo, const QDate &day, const QList<double> &errors)
{
    using namespace records;
    const auto kg = [](double v) { return Micro(std::llround(v * kMicro)); };
    Instrument in;
    in.indexNo = indexNo;
    in.makerModel = QStringLiteral("Vantor PS-150");
    in.max = kg(150);
    in.min = kg(1);
    in.e = in.d = kg(0.05);
    in.customer = QStringLiteral("Customer of %1").arg(indexNo.left(1));
    in.location = QStringLiteral("Dock %1").arg(indexNo.left(1));
    const QDateTime opened(day, QTime(9, 0), Qt::UTC);
    Record r = newRecord(in, QStringLiteral("002"), false, opened);
    r.provider.name = QStringLiteral("Scales Service Co.");
    r.technician = QStringLiteral("Anna Berg");
    int i = 0;
    for (Point &p : r.asFound) {
        if (p.test == Test::Weighing && p.position == QLatin1String("up") && i < errors.size()) {
            p.reading = Reading{.indication = p.load + kg(errors[i]), .at = opened.addSecs(60 + i)};
            ++i;
        } else {
            p.notPerformed = QStringLiteral("not asked for");
        }
    }
    r.closedAt = opened.addSecs(600);
    r.verdict = verdictOf(r);
    r.sha256 = r.computeSha256();
    return r;
}

} // namespace testsupport
