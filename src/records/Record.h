#pragma once
// The record of one calibration visit: the instrument, the tests as found and as left with the
// readings taken from the scale, the adjustments the scale confirmed, and the verdict. Open while
// it is made; once closed it carries a SHA-256 over its canonical contents and never changes (a
// correction is a new revision that names the one it replaces).

#include "Instrument.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <optional>

namespace records {

enum class Phase { AsFound, AsLeft };
enum class Test { Weighing, Repeatability, Eccentricity };
enum class Verdict { None, Pass, Adjusted, Fail };

struct Reading
{
    Micro indication = 0; // mean of the stable second, in the instrument's unit
    bool unstable = false;
    QDateTime at;
};

struct Point
{
    Test test = Test::Weighing;
    Micro load = 0;
    QString position; // weighing: "up" or "down"; repeatability: "1".."n"; eccentricity: "centre", ...
    std::optional<Reading> reading;
};

struct Adjustment
{
    QDateTime at;
    QString text;
    bool changesWeighing = true; // zero, calibration, trim, gravity; false for mode, unit, serial, passwords
};

struct ReferenceWeights
{
    QString setId;
    QString weightClass;
    QString certificate;
};

struct Record
{
    QString uuid;     // made on this computer; the record's identity everywhere
    int revision = 1;
    QString replaces; // uuid of the revision this one corrects, or empty
    Instrument instrument;
    QString userType; // the technician's user type at the login: "001" or "002"
    bool inService = false; // MPE in service (twice those of initial verification)
    ReferenceWeights weights;
    QDateTime openedAt;
    QDateTime closedAt; // invalid while open
    QList<Point> asFound;
    QList<Point> asLeft;
    QList<Adjustment> adjustments;
    Verdict verdict = Verdict::None; // set when closed
    QString sha256;                  // set when closed

    bool closed() const { return closedAt.isValid(); }
    QList<Point> &points(Phase phase) { return phase == Phase::AsFound ? asFound : asLeft; }
    const QList<Point> &points(Phase phase) const { return phase == Phase::AsFound ? asFound : asLeft; }

    // Everything the record says except its SHA-256, with sorted keys: what the SHA-256 covers.
    QJsonObject toJson() const;
    QByteArray canonical() const;
    QString computeSha256() const;
    // nullopt, with the reason, for contents that are not a record.
    static std::optional<Record> fromJson(const QJsonObject &o, QString *why = nullptr);
};

// A record as a store gives it back, and whether a closed one is intact: its stored contents are
// its canonical form, match its SHA-256 and give the verdict stored beside them.
struct LoadedRecord
{
    Record record;
    bool intact = true;
};
std::optional<LoadedRecord> readStored(const QByteArray &body, bool closed, const QString &sha256,
                                       const QString &verdict, QString *why);

// A record named as people name it: the uuid or its start, "-r<n>" for a revision after the first.
struct RecordId
{
    QString prefix; // lower case, without wildcards
    int revision = 0; // 0: any
};
std::optional<RecordId> parseRecordId(const QString &text);

// A new open record of an instrument, with the default tests in both phases.
Record newRecord(const Instrument &instrument, const QString &userType, bool inService, const QDateTime &now);
// The revision that corrects a closed record: open, its contents copied, revision + 1.
Record correctionOf(const Record &closed, const QDateTime &now);

// Short number for people and certificates: the uuid's first 8 hex digits, "-r<n>" from revision 2.
QString recordNumber(const Record &r);
QString recordNumber(const QString &uuid, int revision);

// Default test loads: 0, Min, 500 e and 2,000 e where below Max, Max/2, Max (ascending, once each).
QList<Micro> defaultWeighingLoads(const Instrument &in);
// The weighing test's points: the loads increasing, then decreasing (the largest once).
QList<Point> weighingPoints(const QList<Micro> &loads);
QList<Point> repeatabilityPoints(Micro load, int readings);
// The centre, then every support: front left, rear left, rear right, front right for 4.
QList<Point> eccentricityPoints(Micro load, int supports);
Micro defaultEccentricityLoad(const Instrument &in); // Max/3 to the nearest e

QString testName(Test t);
QString phaseName(Phase p);
QString verdictName(Verdict v);

struct PointResult
{
    Micro error = 0; // E = indication - load
    Micro mpe = 0;
    bool pass = false;
};
PointResult resultOf(const Record &r, const Point &p); // the point must have a reading

struct RepeatabilityResult
{
    int readings = 0;
    Micro spread = 0;
    Micro mpe = 0;
    bool pass = false;
};
// The repeatability of a phase, once it has two readings or more.
std::optional<RepeatabilityResult> repeatabilityOf(const Record &r, Phase phase);

// Whether the scale was adjusted in a way that changes what it weighs.
bool adjusted(const Record &r);
// Whether every reading of a phase and its repeatability pass; *tested: it has a reading at all.
bool phasePasses(const Record &r, Phase phase, bool *tested = nullptr);
Verdict verdictOf(const Record &r);
QString decisionRule(const Record &r);
// Why a record cannot be closed yet, for the technician; empty when it can.
QString closeRefusal(const Record &r);

} // namespace records
