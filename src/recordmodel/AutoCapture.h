#pragma once
// Hands-free capture: while it is on, each weight report of the table shown (a phase and a test)
// is looked at, and a stable load takes a reading by itself, exactly as a key press would take it
// (the visit's takeReading and keepReading), marked "auto".
//
// Which point: the first that waits (no counted reading, not marked not performed) in the
// table's order: in the weighing test "up" from zero to Max, then "down" from the top, so that a
// "down" point waits until every "up" point has a reading or is marked not performed; where every
// point has the same load (repeatability, eccentricity) one after the other.
//
// The window: a point takes a reading by itself only when the stable indication lies within
//   3 x its in-service MPE of its load (6 e from 500 e on, 9 e from 2,000 e on, class III), and
//   closer to its load than to any other load of the test or to the empty platter.
// Three times the in-service limit still takes a scale well out of tolerance (and fails it, as
// it earned), while a load being built from a 1-2-2-5 set, short of a last weight of 10 e or
// more, lies outside (a 150 kg class III platform, e = 50 g: 0.15 kg up to 25 kg, 0.3 kg up to
// 100 kg, 0.45 kg above; a set's 500 g weight is already more).
//
// A stable load outside that point's window is a reading that waits for the technician: note()
// names the point, the indication and its difference from the load ("150.00 kg up:
// 153.40 on the platter, +3.40: Enter takes it"); nothing is taken by itself.
//
// A new load is a new load: after a capture, the next takes place only once the platter was
// emptied or the load entered the window of a point with another load. A bump, a re-centred
// weight or a weight lifted and put back makes no second reading.

#include "Visit.h"

namespace records {

class AutoCapture : public QObject
{
    Q_OBJECT
public:
    // How many in-service MPEs the window is wide at most.
    static constexpr int kWindowMpes = 3;

    explicit AutoCapture(Visit &visit, QObject *parent = nullptr);

    void setEnabled(bool on); // from off: the load on the platter counts as new
    bool enabled() const { return m_enabled; }
    void setTable(Phase phase, Test test);
    Phase phase() const { return m_phase; }
    // A reading the technician took by a key: the load on the platter counts as captured.
    void tookReading(const PointKey &point, Micro indication);

    // The point the next capture goes to when its load comes, or nullopt when none waits.
    std::optional<PointKey> next() const;
    // What waits for the technician, or "".
    QString note() const { return m_note; }

    // Half the width of a point's window in the table: the largest distance of a reading from
    // the load that auto capture takes.
    static Micro window(const Record &r, Phase phase, const Point &p);
    // "150.00 kg up", "75.00 kg, repeatability 2 of 5", "50.00 kg, front right"; its load and
    // what else names it ("up", "repeatability 2 of 5", "front right").
    static QString pointLabel(const Record &r, Phase phase, const PointKey &key);
    static QString pointLoad(const Record &r, const PointKey &key);
    static QString pointDetail(const Record &r, Phase phase, const PointKey &key);

signals:
    void captured(Phase phase, const records::PointKey &point);
    // A stable load outside every window (note() says it), or the note cleared (point: nullopt).
    void waitsForKey(const std::optional<records::PointKey> &point);
    void refused(const QString &why); // the visit would not take the reading

private:
    void onReport();
    void capture(const PointKey &point, Micro indication);
    void setNote(const Record &r, const PointKey &point, Micro indication);
    void clearNote();
    const Point *waiting(const Record &r) const; // the first point that waits
    const Point *inWindow(const Record &r, Micro indication) const; // the point of the table whose window holds it

    Visit &m_visit;
    bool m_enabled = false;
    Phase m_phase = Phase::AsFound;
    Test m_test = Test::Weighing;
    std::optional<Micro> m_lastLoad; // of the point last captured; none: nothing yet
    std::optional<Micro> m_held;     // the indication of that capture
    bool m_armed = true;             // the load has changed since the last capture
    bool m_wasEmpty = false;         // the platter, at the report before
    QString m_note;
    Micro m_noted = 0; // the indication the note is about
};

} // namespace records
