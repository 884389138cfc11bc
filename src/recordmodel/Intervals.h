#pragma once
// When each scale is next due: the calibration interval agreed with its customer, kept as a list
// of agreements (each change with who made it and when, the earlier ones kept), and the due list
// the office works from. ISO/IEC 17025 7.8.4.3: a due date is stated only where the customer
// agreed an interval.

#include "Instrument.h"
#include "RecordStore.h"

#include <QDate>
#include <QHash>
#include <optional>

namespace records {

// The agreement in effect at `when` (the newest entered at or before it), of one scale's list.
std::optional<IntervalAgreement> agreementAt(const QList<IntervalAgreement> &agreements, const QDateTime &when);
// The newest agreement of each scale.
QHash<QString, IntervalAgreement> currentAgreements(const QList<IntervalAgreement> &all);

// The records that count for a scale's history: closed, not discarded, not corrected by a later
// revision; newest first, each opened when its first revision was (the day of the calibration).
QList<RecordSummary> calibrations(const QList<RecordSummary> &history);

struct DueEntry
{
    QString indexNo;
    QString customer;
    QString location;
    Verdict lastVerdict = Verdict::None;
    QDate lastCalibrated;
    QDate due;
};

// The scales due within `days` of `today` or overdue, soonest first: each scale with an agreed
// interval and a calibration, due its interval after the last one.
QList<DueEntry> dueList(const QList<RecordSummary> &history, const QHash<QString, IntervalAgreement> &agreements,
                        const QHash<QString, Instrument> &instruments, const QDate &today, int days);
// "2027-12": the month a calibration of `last` with `months` agreed is due.
QDate dueAfter(const QDate &last, int months);
QString dueMonth(const QDate &due);
// When the scale was first read on the record's visit (a correction is opened later); when it was
// opened where nothing was read.
QDateTime visitedAt(const Record &record);
// The due date a closed record's certificate states: from the agreement in effect when it was
// closed; invalid (nothing stated) where none was agreed.
QDate nextDueOf(const Record &record, const QList<IntervalAgreement> &agreements);
// The due list as CSV (RFC 4180) and as lines for a terminal.
QByteArray dueCsv(const QList<DueEntry> &list, const QDate &today);
QString dueTable(const QList<DueEntry> &list, const QDate &today);

} // namespace records
