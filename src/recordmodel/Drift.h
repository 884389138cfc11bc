#pragma once
// How a scale's errors moved from one visit to the next: its as-found error at each test load of
// the weighing test, visit by visit, with the MPE there; and what ILAC-G24's automatic adjustment
// of intervals ("staircase") says of the last visit. Only a hint: the agreed interval changes only
// when the technician changes it.

#include "Record.h"

#include <QDateTime>
#include <QMap>
#include <optional>

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

// The staircase over every as-found test of a visit (weighing up and down, repeatability's spread,
// eccentricity): the largest share of its MPE that a result used. Within 80 % the interval may be
// extended, between 80 % and 100 % it is kept, beyond the MPE it is shortened.
inline constexpr double kExtendWithin = 0.8;
struct Staircase
{
    enum Step { Extend, Keep, Shorten } step = Keep;
    double share = 0;   // the largest |E| / MPE (spread / MPE for repeatability)
    QString where;      // that result, for people: "E = 0.070 kg at 150.00 kg (MPE 0.075 kg)"
    int suggested = 0;  // months to consider; 0 without an agreed interval
};
// nullopt where the visit has no counted as-found reading.
std::optional<Staircase> staircaseOf(const Record &visit, int months);
// The staircase in words, naming the rule; empty where there is nothing to go by.
QString intervalHint(const Record &lastVisit, int months);

} // namespace records
