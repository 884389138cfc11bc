#pragma once
// Hands-free capture: while it is on, each weight report is looked at, and when the load on the
// platter has changed since the last capture (by more than 20 e, or half of Min where that is
// less, or back to zero) and is stable,
// the point of the chosen table that waits and lies nearest to the indication (within 10 % of its
// load or 20 e of it, whichever is larger) takes the reading, exactly as a key press would take it
// (the visit's takeReading and keepReading), marked "auto". Where every point has the same load
// (repeatability, eccentricity) the points take their readings in their order, each after the
// load was taken off or moved. A stable load that matches no point is said once and waits for the
// next change; a load left on the platter is never taken twice.

#include "Visit.h"

namespace records {

class AutoCapture : public QObject
{
    Q_OBJECT
public:
    explicit AutoCapture(Visit &visit, QObject *parent = nullptr);

    void setEnabled(bool on); // from off: the load on the platter counts as new
    bool enabled() const { return m_enabled; }
    void setTable(Phase phase, Test test);

    // The point the next capture goes to when its load comes, or nullopt when none waits.
    std::optional<PointKey> next() const;

signals:
    void captured(Phase phase, const records::PointKey &point);
    void noPointNear(records::Micro indication); // a stable load that matches no point that waits
    void refused(const QString &why);            // the visit would not take the reading

private:
    void onReport();
    std::optional<PointKey> pointFor(const Record &r, Micro indication) const;
    QList<const Point *> waiting(const Record &r) const;

    Visit &m_visit;
    bool m_enabled = false;
    Phase m_phase = Phase::AsFound;
    Test m_test = Test::Weighing;
    std::optional<Micro> m_reference; // the indication of the last capture (or miss); none: anything is new
    bool m_changed = true;
};

} // namespace records
