#pragma once
// The record of one calibration visit: the instrument, the tests as found and as left with the
// readings taken from the scale, the adjustments the scale confirmed, and the verdict. Open while
// it is made; once closed (or discarded) it carries a SHA-256 over its canonical contents and
// never changes (a correction is a new revision that names the one it replaces).
//
// Nothing in a record is ever taken back without a trace: a reading removed or taken again, and
// a point marked not performed and then read after all, keep what they replaced beside the point.
//
// Records of format 1 (version 1.1) are read and written exactly as they were, so their SHA-256
// still holds, and judged by the rules they were made with.

#include "Instrument.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <optional>

namespace records {

enum class Phase { AsFound, AsLeft };
enum class Test { Weighing, Repeatability, Eccentricity };
// NotStated (format 3, guarded acceptance): no reading of the deciding phase fails, and at one
// or more the uncertainty leaves conformity unstated (ILAC-G8).
enum class Verdict { None, Pass, Adjusted, Fail, Discarded, NotStated };
// The decision rule (ILAC-G8): simple acceptance, |E| <= MPE; guarded acceptance, |E| + U <= MPE.
enum class Acceptance { Simple, Guarded };

// Format 3: U with its coverage factor from the effective degrees of freedom, stand-ins that
// cannot understate, the reference weights' coarser class, guarded acceptance that can say it
// cannot decide; format 2 (version 1.2) and 1 (version 1.1) are read and judged as they were.
inline constexpr int kRecordFormat = 3;

struct Reading
{
    Micro indication = 0; // the report the scale showed at the capture (format 1: the mean of the second)
    bool unstable = false;
    QDateTime at{};
    Micro mean = 0;   // of the second before the capture
    Micro spread = 0; // of that second
    int reports = 0;  // in that second; 0 where not known (format 1)
    QString by{};     // the user type logged in ("001", "002"); empty in format 1
    std::optional<Micro> expanded{}; // U, sealed when the record closes
    std::optional<Micro> coverage{}; // its k, in millionths, sealed with it (format 3)
    bool automatic = false;          // captured by the console itself (auto capture), not by a key
    bool operator==(const Reading &) const = default;
};

// What a point held before a later change took its place: a reading, or a "not performed" mark.
struct PointChange
{
    std::optional<Reading> reading;
    QString notPerformed;
    QString change; // "replaced" (by a new reading or mark) or "removed"
    QDateTime at;   // of the change
    QString by;     // user type
    bool operator==(const PointChange &) const = default;
};

struct Point
{
    Test test = Test::Weighing;
    Micro load = 0;
    QString position; // weighing: "up" or "down"; repeatability: "1".."n"; eccentricity: "centre", ...
    std::optional<Reading> reading;
    QString notPerformed;       // why the point was not tested; empty while it is to be tested
    QList<PointChange> earlier; // oldest first
};

// A point named by what it is, not where it stands in a list.
struct PointKey
{
    Test test = Test::Weighing;
    QString position;
    Micro load = 0;
    bool operator==(const PointKey &) const = default;
};
inline PointKey keyOf(const Point &p) { return {p.test, p.position, p.load}; }

struct Adjustment
{
    QDateTime at;
    QString text;
    bool changesWeighing = true; // zero, calibration, trim, gravity; false for mode, unit, serial, passwords
    bool beforeRecord = false;   // confirmed after the login but before the record was opened
};

struct ReferenceWeights
{
    QString setId;
    QString weightClass; // an OIML R 111 class: E1 ... M3
    QString certificate;
};

// Who issues the certificate: the laboratory or service company, as the settings describe it.
struct Provider
{
    QString name;
    QString address;
    QString accreditationBody;
    QString accreditationNumber;
    QByteArray logoPng; // the logo as a PNG image, at most a few hundred pixels wide; empty: none
    bool operator==(const Provider &) const = default;
};

struct Record
{
    int format = kRecordFormat;
    QString uuid;     // made on this computer; the record's identity everywhere
    int revision = 1;
    QString replaces; // uuid of the revision this one corrects, or empty
    Instrument instrument;
    QString userType; // the technician's user type at the login: "001" or "002"
    bool inService = false; // MPE in service (twice those of initial verification)
    Acceptance acceptance = Acceptance::Simple;
    ReferenceWeights weights;
    Provider provider;
    QString technician;               // the technician's name
    QString place;                    // where the instrument was calibrated
    std::optional<Micro> temperatureStart; // degrees Celsius, in millionths
    std::optional<Micro> temperatureEnd;
    QStringList uncertaintyNotes;     // what stood in for missing tests, sealed when closed
    QDateTime openedAt;
    QDateTime closedAt; // invalid while open; the time of discarding for a discarded record
    QList<Point> asFound;
    QList<Point> asLeft;
    QList<Adjustment> adjustments;
    Verdict verdict = Verdict::None; // set when closed
    QString discardReason;           // set when discarded
    QString sha256;                  // set when closed

    bool closed() const { return closedAt.isValid(); }
    bool discarded() const { return verdict == Verdict::Discarded; }
    QList<Point> &points(Phase phase) { return phase == Phase::AsFound ? asFound : asLeft; }
    const QList<Point> &points(Phase phase) const { return phase == Phase::AsFound ? asFound : asLeft; }
    // The index of a point in its phase, or -1.
    int indexOf(Phase phase, const PointKey &key) const;

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

QString testName(Test t);
QString phaseName(Phase p);
QString verdictName(Verdict v);
Verdict verdictFromName(const QString &name); // None for a name it does not know

// The weighing adjustment that voids an as-left reading: the first one confirmed at or after it.
// Readings as found and readings of format 1 are never void.
const Adjustment *voidingAdjustment(const Record &r, Phase phase, const Reading &reading);
// Why a point no longer holds what it held, in the record's words: "void: taken before the trim
// 10 g up at 19:46:34" (a later weighing adjustment), "removed by the technician", "replaced by
// the technician"; and a reading on its point that a later adjustment voided.
QString changeReason(const Record &r, Phase phase, const PointChange &c);
QString voidReason(const Adjustment &a);
// Whether a point's reading counts: it has one, and it is not void.
bool counts(const Record &r, Phase phase, const Point &p);

struct PointResult
{
    Micro error = 0; // E = indication - load
    Micro mpe = 0;
    bool pass = false; // within the MPE, and stable (format 1: stability not asked)
    bool undecided = false; // guarded acceptance, format 3: U >= MPE, conformity cannot be stated
};
// pass: stable, and |E| within the MPE (|E| + U under guarded acceptance). Under guarded
// acceptance a stable reading whose U is the MPE or more (format 3) is neither: ILAC-G8's guard
// band leaves nothing to accept there, and the record says conformity cannot be stated.
PointResult resultOf(const Record &r, Phase phase, const Point &p); // the point's own reading, if any
// "pass", "FAIL" or "cannot be stated".
QString resultWord(const PointResult &result);
PointResult resultOf(const Record &r, Phase phase, const Point &p, const Reading &reading); // another one it held

struct RepeatabilityResult
{
    int readings = 0;
    Micro spread = 0;
    Micro mpe = 0;
    bool pass = false;
};
// The repeatability of a phase, once it has two counted readings or more.
std::optional<RepeatabilityResult> repeatabilityOf(const Record &r, Phase phase);

// Whether the scale was adjusted in a way that changes what it weighs (since the login).
bool adjusted(const Record &r);
// Whether every counted reading of a phase and its repeatability pass (a reading whose conformity
// cannot be stated does not fail it); *tested: it has a counted reading at all.
bool phasePasses(const Record &r, Phase phase, bool *tested = nullptr);
// The phase whose readings decide the verdict: as left once the scale was adjusted or as left has
// readings, else as found.
Phase decidingPhase(const Record &r);
Verdict verdictOf(const Record &r);
QString decisionRule(const Record &r);
QString acceptanceName(Acceptance a);
// Whether a phase was within the limits: "yes", "no" or "not tested"; format 3 under guarded
// acceptance: "cannot be stated at N of M readings (U >= MPE)" where no decided reading fails.
QString conformity(const Record &r, Phase phase);
// Why a record cannot be closed yet, for the technician; empty when it can. Format 3 also needs
// the provider's name, the customer and the technician (ISO/IEC 17025 7.8.2.1 b, e, o).
QString closeRefusal(const Record &r);

// Counted readings taken while the weight was not stable, as (phase, point) pairs.
QList<std::pair<Phase, PointKey>> unstableReadings(const Record &r);
// Whether a reading was ever taken (also one removed since): the limits and weights are fixed then.
bool hasReadings(const Record &r);
// How many readings were removed or taken again.
int retakenReadings(const Record &r);
// Text for people: "up 50.00 kg" and the like.
QString pointName(const Record &r, const Point &p);

} // namespace records
