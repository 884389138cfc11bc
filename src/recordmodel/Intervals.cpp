#include "Intervals.h"

#include "Csv.h"

#include <QSet>
#include <algorithm>

namespace records {

std::optional<IntervalAgreement> agreementAt(const QList<IntervalAgreement> &agreements, const QDateTime &when)
{
    std::optional<IntervalAgreement> found;
    for (const IntervalAgreement &a : agreements)
        if ((!when.isValid() || a.changedAt <= when) && (!found || found->changedAt <= a.changedAt))
            found = a;
    if (found && found->months <= 0)
        return std::nullopt;
    return found;
}

QHash<QString, IntervalAgreement> currentAgreements(const QList<IntervalAgreement> &all)
{
    QHash<QString, IntervalAgreement> current;
    for (const IntervalAgreement &a : all) {
        auto it = current.find(a.indexNo);
        if (it == current.end())
            current.insert(a.indexNo, a);
        else if (it->changedAt <= a.changedAt)
            *it = a;
    }
    return current;
}

QList<RecordSummary> calibrations(const QList<RecordSummary> &history)
{
    QHash<QString, const RecordSummary *> byUuid;
    QSet<QString> corrected;
    for (const RecordSummary &s : history) {
        byUuid.insert(s.uuid, &s);
        if (!s.replaces.isEmpty())
            corrected.insert(s.replaces);
    }
    QList<RecordSummary> counted;
    for (const RecordSummary &s : history) {
        if (!s.closedAt.isValid() || s.verdict == Verdict::Discarded || corrected.contains(s.uuid))
            continue;
        RecordSummary visit = s;
        // A correction is made later; the scale was calibrated when the first revision was opened.
        const RecordSummary *first = &s;
        for (int hops = 0; hops < history.size() && !first->replaces.isEmpty() && byUuid.contains(first->replaces); ++hops)
            first = byUuid.value(first->replaces);
        visit.openedAt = first->openedAt;
        counted << visit;
    }
    std::sort(counted.begin(), counted.end(), [](const RecordSummary &a, const RecordSummary &b) { return a.openedAt > b.openedAt; });
    return counted;
}

QDate dueAfter(const QDate &last, int months)
{
    return last.isValid() && months > 0 ? last.addMonths(months) : QDate();
}

QDateTime visitedAt(const Record &r)
{
    QDateTime first;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (const Point &p : r.points(phase))
            if (p.reading && (!first.isValid() || p.reading->at < first))
                first = p.reading->at;
    return first.isValid() ? first : r.openedAt;
}

QDate nextDueOf(const Record &r, const QList<IntervalAgreement> &agreements)
{
    if (!r.closed() || r.discarded())
        return {};
    const auto agreed = agreementAt(agreements, r.closedAt);
    return agreed ? dueAfter(visitedAt(r).toLocalTime().date(), agreed->months) : QDate();
}

QString dueMonth(const QDate &due)
{
    return due.toString(QStringLiteral("yyyy-MM"));
}

QList<DueEntry> dueList(const QList<RecordSummary> &history, const QHash<QString, IntervalAgreement> &agreements,
                        const QHash<QString, Instrument> &instruments, const QDate &today, int days)
{
    // One pass: the newest counted record of each scale.
    QHash<QString, RecordSummary> last;
    for (const RecordSummary &s : calibrations(history))
        if (!last.contains(s.indexNo))
            last.insert(s.indexNo, s);
    QList<DueEntry> list;
    const QDate horizon = today.addDays(days);
    for (auto it = last.cbegin(); it != last.cend(); ++it) {
        const auto agreed = agreements.find(it.key());
        if (agreed == agreements.end() || agreed->months <= 0)
            continue;
        const QDate calibrated = it->openedAt.toLocalTime().date();
        const QDate due = dueAfter(calibrated, agreed->months);
        if (due > horizon)
            continue;
        const Instrument in = instruments.value(it.key());
        list << DueEntry{it.key(), in.customer, in.location, it->verdict, calibrated, due};
    }
    std::sort(list.begin(), list.end(), [](const DueEntry &a, const DueEntry &b) {
        return a.due != b.due ? a.due < b.due : a.indexNo < b.indexNo;
    });
    return list;
}

namespace {
QString state(const DueEntry &e, const QDate &today)
{
    const qint64 days = today.daysTo(e.due);
    return days < 0 ? QStringLiteral("overdue %1 d").arg(-days) : QStringLiteral("due in %1 d").arg(days);
}

} // namespace

QByteArray dueCsv(const QList<DueEntry> &list, const QDate &today)
{
    QByteArray out = "index_no,customer,location,last_verdict,last_calibrated,due,state\r\n";
    for (const DueEntry &e : list) {
        const QString fields[] = {e.indexNo, e.customer, e.location, verdictName(e.lastVerdict),
                                  e.lastCalibrated.toString(Qt::ISODate), e.due.toString(Qt::ISODate), state(e, today)};
        QStringList line;
        for (const QString &f : fields)
            line << csvField(f);
        out += line.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

QString dueTable(const QList<DueEntry> &list, const QDate &today)
{
    QString out = QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                      .arg(QStringLiteral("Index No."), -12).arg(QStringLiteral("Customer"), -24).arg(QStringLiteral("Location"), -20)
                      .arg(QStringLiteral("Last"), -9).arg(QStringLiteral("Due"), -11).arg(QStringLiteral("State"));
    for (const DueEntry &e : list)
        out += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                   .arg(e.indexNo, -12).arg(e.customer.left(24), -24).arg(e.location.left(20), -20)
                   .arg(verdictName(e.lastVerdict), -9).arg(e.due.toString(Qt::ISODate), -11).arg(state(e, today));
    if (list.isEmpty())
        out += QStringLiteral("Nothing due.\n");
    return out;
}

} // namespace records
