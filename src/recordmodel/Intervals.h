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

// The records that count for a scale's history: closed, not discarded, not replaced by a closed
// correction (one still open, or discarded, replaces nothing); newest first, each calibrated when
// its first revision was (calibratedAt, else openedAt where nothing was read).
QList<RecordSummary> calibrations(const QList<RecordSummary> &history);
// The day a summary's scale was calibrated: the local day of its first reading.
QDate calibrationDay(const RecordSummary &summary);

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
// When the scale was first read on the record's visit (a correction is opened later); invalid
// where nothing was read.
QDateTime firstReadAt(const Record &record);
// The same, or when it was opened where nothing was read.
QDateTime visitedAt(const Record &record);
// When it was last read; invalid where nothing was read.
QDateTime lastReadAt(const Record &record);
// The day of the calibration, one day everywhere: the local day of the first reading.
QDate calibrationDay(const Record &record);
// The due date a closed record's certificate states: sealed into it at closing (format 4), else
// from the agreement in effect when it was closed; invalid (nothing stated) where none was agreed.
QDate nextDueOf(const Record &record, const QList<IntervalAgreement> &agreements);
// What closing seals into a record of the agreement in effect then: nullopt where none is.
std::optional<SealedDue> dueAtClosing(const Record &record, const QList<IntervalAgreement> &agreements, const QDateTime &closing);
// The due list as CSV (RFC 4180) and as lines for a terminal.
QByteArray dueCsv(const QList<DueEntry> &list, const QDate &today);
QString dueTable(const QList<DueEntry> &list, const QDate &today);

} // namespace records
