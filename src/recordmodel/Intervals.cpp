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
        if (!s.replaces.isEmpty() && s.closedAt.isValid() && s.verdict != Verdict::Discarded)
            corrected.insert(s.replaces);
    }
    QList<RecordSummary> counted;
    for (const RecordSummary &s : history) {
        if (!s.closedAt.isValid() || s.verdict == Verdict::Discarded || corrected.contains(s.uuid))
            continue;
        RecordSummary visit = s;
        // A correction is made later; the scale was calibrated when the first revision was read.
        const RecordSummary *first = &s;
        for (int hops = 0; hops < history.size() && !first->replaces.isEmpty() && byUuid.contains(first->replaces); ++hops)
            first = byUuid.value(first->replaces);
        visit.calibratedAt = first->calibratedAt.isValid() ? first->calibratedAt
                             : s.calibratedAt.isValid()    ? s.calibratedAt
                                                           : first->openedAt;
        counted << visit;
    }
    std::sort(counted.begin(), counted.end(),
              [](const RecordSummary &a, const RecordSummary &b) { return a.calibratedAt > b.calibratedAt; });
    return counted;
}

QDate calibrationDay(const RecordSummary &s)
{
    return (s.calibratedAt.isValid() ? s.calibratedAt : s.openedAt).toLocalTime().date();
}

QDate dueAfter(const QDate &last, int months)
{
    return last.isValid() && months > 0 ? last.addMonths(months) : QDate();
}

namespace {
// The earliest (or latest) time a point's reading was taken; invalid where none was.
QDateTime readingTime(const Record &r, bool last)
{
    QDateTime found;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (const Point &p : r.points(phase))
            if (p.reading && p.reading->at.isValid() && (!found.isValid() || (last ? p.reading->at > found : p.reading->at < found)))
                found = p.reading->at;
    return found;
}
} // namespace

QDateTime firstReadAt(const Record &r)
{
    return readingTime(r, false);
}

QDateTime visitedAt(const Record &r)
{
    const QDateTime first = firstReadAt(r);
    return first.isValid() ? first : r.openedAt;
}

QDateTime lastReadAt(const Record &r)
{
    return readingTime(r, true);
}

QDate calibrationDay(const Record &r)
{
    return visitedAt(r).toLocalTime().date();
}

QDate nextDueOf(const Record &r, const QList<IntervalAgreement> &agreements)
{
    if (!r.closed() || r.discarded())
        return {};
    if (r.format >= 4)
        return r.due ? r.due->due : QDate();
    const auto agreed = agreementAt(agreements, r.closedAt);
    return agreed ? dueAfter(calibrationDay(r), agreed->months) : QDate();
}

std::optional<SealedDue> dueAtClosing(const Record &r, const QList<IntervalAgreement> &agreements, const QDateTime &closing)
{
    const auto agreed = agreementAt(agreements, closing);
    if (!agreed)
        return std::nullopt;
    return SealedDue{agreed->months, agreed->agreedOn, agreed->changedBy, dueAfter(calibrationDay(r), agreed->months)};
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
        const QDate calibrated = calibrationDay(*it);
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
