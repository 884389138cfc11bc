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
#include "PriorTests.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <optional>

namespace records {

enum class Phase { AsFound, AsLeft };
enum class Test { Weighing, Repeatability, Eccentricity };
// NotStated (format 3, guarded acceptance): no reading of the deciding phase fails, and at one
// or more the uncertainty leaves conformity unstated. ConditionalPass and ConditionalFail (format
// 4, ILAC-G8:2019 4.2.3): the deciding phase's worst reading.
enum class Verdict { None, Pass, Adjusted, Fail, Discarded, NotStated, ConditionalPass, ConditionalFail };
// The decision rule, as ILAC-G8:2019 states them (format 4): simple acceptance (4.2.1, w = 0);
// guarded acceptance with a binary statement (4.2.2, w = U: pass within MPE - U, else fail); and
// with a non-binary statement (4.2.3, w = U: pass, conditional pass, conditional fail, fail).
// Records of format 2 and 3 know Simple and Guarded, and keep the meaning they were made with.
enum class Acceptance { Simple, Guarded, NonBinary };
// What a reading's error says under the record's rule, the better first.
enum class Outcome { Pass, ConditionalPass, NotStated, ConditionalFail, Fail };

// Format 4: the decision rules of ILAC-G8:2019; stand-ins from the scale's own history, or with
// the degrees of freedom of a range; the due date sealed at closing; a correction's reason; who
// issued the weights' certificate. Format 3 (versions 1.3, 1.4): U with its coverage factor from
// the effective degrees of freedom, the reference weights' coarser class, guarded acceptance that
// can say it cannot decide; format 2 (version 1.2) and 1 (version 1.1) are read and judged as they
// were.
inline constexpr int kRecordFormat = 4;

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
    QString issuedBy{}; // who calibrated them and issued the certificate (format 4)
};

// Where a closed record stands in its signer's chain (format 4, inside what the SHA-256 and the
// signature cover): every record a key signs names the digest of the one that key signed before.
struct ChainLink
{
    QString key;      // the signing key's id: the SHA-256 of its public key, hex
    int sequence = 0; // 1 for the first record the key signed
    QString previous; // the SHA-256 of record sequence - 1; empty for the first
    bool operator==(const ChainLink &) const = default;
};

// The signature closing made over the record's canonical contents, kept beside them (format 4).
struct Seal
{
    QByteArray signature;    // DER: ECDSA with SHA-256
    QByteArray certificates; // PEM: the signer's certificate first, then the laboratory's where it certified it
    bool empty() const { return signature.isEmpty(); }
    bool operator==(const Seal &) const = default;
};

// The interval agreed with the customer that was in effect when a record closed, and the due date
// it gives, sealed into the record (format 4) so that every copy of it states the same.
struct SealedDue
{
    int months = 0;
    QDate agreedOn;
    QString enteredBy;
    QDate due;
    bool operator==(const SealedDue &) const = default;
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
    QString correctionReason; // why it corrects that revision (format 4)
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
    PriorTests priorTests;            // the scale's own earlier tests, to stand in for missing ones (format 4)
    std::optional<SealedDue> due;     // sealed when closed (format 4); none without an agreed interval
    QDateTime openedAt;
    QDateTime closedAt; // invalid while open; the time of discarding for a discarded record
    QList<Point> asFound;
    QList<Point> asLeft;
    QList<Adjustment> adjustments;
    Verdict verdict = Verdict::None; // set when closed
    QString discardReason;           // set when discarded
    QString sha256;                  // set when closed
    std::optional<ChainLink> chain;  // set when closed and signed (format 4)
    Seal seal;                       // set when closed and signed; not part of the contents

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
// its canonical form, match its SHA-256 and give the verdict stored beside them. A store that
// checks signatures (format 4) says more: who signed it and whether the laboratory stands behind
// that; a signature that does not hold makes it not intact, with why.
struct LoadedRecord
{
    enum Signed { NotChecked, Unsigned, Certified, NotCertified, Foreign, Refused };
    Record record;
    bool intact = true;
    QByteArray contents{}; // a closed record's contents as stored: what its SHA-256 and signature cover
    Signed signedBy{NotChecked};
    QString sealNote{}; // for people: "signed by Anna Berg, certified by ..." or why it is refused
};
// A signed record (format 4) is intact here where its stored contents match its SHA-256 and its
// verdict; its signature (checked by a store that checks them) then proves the contents are what
// its signer made. An unsigned one must also be its own canonical form.
std::optional<LoadedRecord> readStored(const QByteArray &body, bool closed, const QString &sha256,
                                       const QString &verdict, QString *why, const Seal &seal = {});

// A record named as people name it: the uuid or its start, "-r<n>" for a revision after the first.
struct RecordId
{
    QString prefix; // lower case, without wildcards
    int revision = 0; // 0: any
};
std::optional<RecordId> parseRecordId(const QString &text);

// A new open record of an instrument, with the default tests in both phases.
Record newRecord(const Instrument &instrument, const QString &userType, bool inService, const QDateTime &now);
// The revision that corrects a closed record: open, its contents copied, revision + 1, with why.
Record correctionOf(const Record &closed, const QDateTime &now, const QString &reason = {});

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
    Outcome outcome = Outcome::Fail;
    bool fails() const { return outcome == Outcome::Fail || outcome == Outcome::ConditionalFail; }
};
// A reading taken while unstable fails (format 1: stability not asked). Else, with w = U (before
// rounding) under the guarded rules:
//   simple acceptance: pass where |E| <= MPE, else fail;
//   guarded, binary (format 4): pass where |E| <= MPE - w, else fail;
//   guarded, non-binary: pass where |E| <= MPE - w, conditional pass where |E| <= MPE, conditional
//   fail where |E| <= MPE + w, else fail;
//   guarded, format 3: fail where |E| + U > MPE except where U >= MPE and |E| <= MPE, which is
//   "cannot be stated"; format 2: pass where |E| + U <= MPE, else fail.
PointResult resultOf(const Record &r, Phase phase, const Point &p); // the point's own reading, if any
PointResult resultOf(const Record &r, Phase phase, const Point &p, const Reading &reading); // another one it held
// "pass", "conditional pass", "cannot be stated", "conditional FAIL" or "FAIL".
QString resultWord(const PointResult &result);

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
// The worst outcome of a phase's counted readings and its repeatability (Fail for a spread beyond
// the MPE); *tested: it has a counted reading at all.
Outcome phaseOutcome(const Record &r, Phase phase, bool *tested = nullptr);
// Whether a phase was tested and nothing of it fails (a conditional pass, or a reading whose
// conformity cannot be stated, does not fail it).
bool phasePasses(const Record &r, Phase phase, bool *tested = nullptr);
// The phase whose readings decide the verdict: as left once the scale was adjusted or as left has
// readings, else as found.
Phase decidingPhase(const Record &r);
// The deciding phase's worst outcome: FAIL, CONDITIONAL FAIL, CONFORMITY NOT STATED (format 3),
// CONDITIONAL PASS; where it passes, ADJUSTED after an adjustment or a failing as found, else PASS.
Verdict verdictOf(const Record &r);
QString decisionRule(const Record &r);
// The rule by its name and clause: "guarded acceptance, binary (ILAC-G8:2019, 4.2.2, w = U)".
QString acceptanceName(const Record &r);
QString acceptanceName(Acceptance a, int format = kRecordFormat);
// Whether a phase was within the limits: "yes", "no" or "not tested"; format 3 under guarded
// acceptance: "cannot be stated at N of M readings (U >= MPE)" where no decided reading fails;
// format 4 under the non-binary rule: "conditional pass at N of M readings (...)" and "conditional
// fail ...".
QString conformity(const Record &r, Phase phase);
// Why a record cannot be closed yet, for the technician; empty when it can. Format 3 also needs
// the provider's name, the customer and the technician (ISO/IEC 17025 7.8.2.1 b, e, o); format 4
// the provider's address too (7.8.2.1 b).
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
