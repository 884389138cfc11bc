#pragma once
// The scale's own earlier tests of repeatability and eccentricity, taken from its last visits
// when a record is opened, so that a test skipped on this visit is stood in for by what this
// scale did last time rather than by a figure that may flatter it. Kept in the record (format 4),
// each with the record it comes from, so that the record's U can be worked out again from the
// record alone.

#include "Mass.h"

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <optional>

namespace records {

class RecordStore;
struct Record;

struct PriorRepeatability
{
    QString record; // its uuid
    int revision = 1;
    QDate on;       // the day of that calibration
    Micro s = 0;    // the standard deviation of its readings
    int readings = 0;
    Micro load = 0;
    bool operator==(const PriorRepeatability &) const = default;
};

struct PriorEccentricity
{
    QString record;
    int revision = 1;
    QDate on;
    Micro largest = 0; // the largest difference from the centre
    Micro load = 0;    // of the test
    bool operator==(const PriorEccentricity &) const = default;
};

struct PriorTests
{
    std::optional<PriorRepeatability> repeatability;
    std::optional<PriorEccentricity> eccentricity;
    bool empty() const { return !repeatability && !eccentricity; }
    QJsonObject toJson() const;
    static PriorTests fromJson(const QJsonObject &o);
    bool operator==(const PriorTests &) const = default;
};

// The newest tests of each kind among a scale's calibrations (newest first; closed, not
// discarded, in the unit given): as left where that visit tested as left, else as found.
PriorTests priorTestsIn(const QList<Record> &calibrationsNewestFirst, bool pounds);
// The same from a store: the scale's last few calibrations that can be read now; none where the
// store cannot say.
PriorTests priorTestsOf(RecordStore &store, const QString &indexNo, bool pounds);

} // namespace records
