#pragma once
// The life of a record as the technician leads it, without a widget: begun with its plan (what
// the plan's weights and rule leave to say is told before the first reading), its limits, rule
// and weights chosen, discarded with a reason, closed (asked about readings taken while the
// weight was unstable, confirmed, sealed and signed), and corrected with a reason. What it asks
// and tells goes through an Asker: the record window's message boxes, or a test's answers.

#include "Visit.h"

#include <QDate>
#include <optional>

namespace records {

class Asker
{
public:
    virtual ~Asker() = default;
    virtual bool confirm(const QString &question) = 0;   // Yes (true) or No
    virtual QString reason(const QString &question) = 0; // a line of text; "" where cancelled
    virtual void tell(const QString &message, bool warning) = 0;
};

class RecordLife
{
public:
    RecordLife(Visit &visit, Asker &asker) : m_visit(visit), m_ask(asker) {}

    // New record; then the visit's details (the place the instrument's location where none is
    // given). Refusals are told; returns whether a record is open now.
    bool begin(const Instrument &described, const ReferenceWeights &weights, bool inService, Acceptance rule,
               Visit::Details details);
    // The MPE limits and decision rule chosen: on the record open before its first reading, applied;
    // with none open, checked against the plan New record would make from `described` (nullopt:
    // not described yet). Returns false where refused (told).
    bool chooseLimits(const std::optional<Instrument> &described, const ReferenceWeights &weights, bool inService,
                      Acceptance rule);
    bool setWeights(const ReferenceWeights &weights);
    // Asks why; false where not discarded.
    bool discard();
    // Closes the record shown: asks whether readings taken while unstable are kept as FAIL (No:
    // *retake gets the first of them and the record stays open), then to confirm; seals and signs.
    bool close(std::optional<std::pair<Phase, PointKey>> *retake = nullptr);
    // Asks why; a new revision of the closed record shown.
    bool correct();
    // Shows an earlier record (checked as the store reads it); refusals told.
    bool open(const QString &uuid);
    // Keeps the interval agreed with the customer of the scale logged in, with who entered it.
    enum Agreed { Kept, NameMissing, NotKept };
    Agreed agree(int months, const QDate &agreedOn, const QString &enteredBy);
    // The due date its certificate states: sealed into it (format 4), else from the store's
    // agreements; invalid where none.
    QDate nextDue(const Record &record) const;

private:
    bool told(const QString &refusal); // true where there is nothing to tell
    void warnOfPlan();

    Visit &m_visit;
    Asker &m_ask;
};

} // namespace records
