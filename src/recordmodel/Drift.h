#pragma once
// How a scale's errors moved from one visit to the next: its as-found error at each test load of
// the weighing test, visit by visit, with the MPE there; and the hint ILAC-G24's adjustment of
// intervals ("staircase") gives from the last one. Only a hint: the agreed interval changes only
// when the technician changes it.

#include "Record.h"

#include <QDateTime>
#include <QMap>

namespace records {

struct DriftPoint
{
    QDateTime visit; // when the scale was first read on that visit
    QString uuid;
    Micro error = 0; // E as found, weighing up
    Micro mpe = 0;
};

// By test load, each load's points oldest first; from the records given (closed, not discarded).
QMap<Micro, QList<DriftPoint>> driftOf(const QList<Record> &records);
// The same as rows: date, record, load, E, MPE (RFC 4180).
QByteArray driftCsv(const QMap<Micro, QList<DriftPoint>> &drift, int decimals);

inline constexpr double kHintShareOfMpe = 0.8;
// Empty, or why a shorter interval is worth considering: the last as-found test failed, or its
// largest |E| used more than 80 % of the MPE; naming the rule.
QString intervalHint(const QMap<Micro, QList<DriftPoint>> &drift, int months, int decimals, const QString &unit);

} // namespace records
