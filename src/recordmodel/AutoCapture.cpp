#include "AutoCapture.h"

namespace records {
namespace {
Micro magnitude(Micro m)
{
    return m < 0 ? -m : m;
}

bool waits(const Record &r, Phase phase, const Point &p)
{
    return p.notPerformed.isEmpty() && !counts(r, phase, p);
}
} // namespace

AutoCapture::AutoCapture(Visit &visit, QObject *parent) : QObject(parent), m_visit(visit)
{
    connect(&m_visit, &Visit::liveWeight, this, &AutoCapture::onReport);
}

void AutoCapture::setEnabled(bool on)
{
    if (on && !m_enabled) {
        m_lastLoad.reset();
        m_held.reset();
        m_armed = true;
    }
    m_enabled = on;
    clearNote();
}

void AutoCapture::setTable(Phase phase, Test test)
{
    m_phase = phase;
    m_test = test;
    clearNote(); // it named a point of the table before
}

void AutoCapture::tookReading(const PointKey &point, Micro indication)
{
    m_lastLoad = point.load;
    m_held = indication;
    m_armed = false;
    clearNote();
}

Micro AutoCapture::window(const Record &r, Phase phase, const Point &p)
{
    Micro half = kWindowMpes * mpe(r.instrument, p.load, true);
    Micro nearest = magnitude(p.load); // the empty platter is a load too
    for (const Point &q : r.points(phase))
        if (q.test == p.test && q.load != p.load && (nearest == 0 || magnitude(q.load - p.load) < nearest))
            nearest = magnitude(q.load - p.load);
    if (nearest > 0)
        half = std::min(half, (nearest - 1) / 2); // strictly nearer to this load than to the other
    return half;
}

QString AutoCapture::pointLoad(const Record &r, const PointKey &key)
{
    return formatMass(key.load, decimalsOf(r.instrument.e)) + QLatin1Char(' ') + unitName(r.instrument.pounds);
}

QString AutoCapture::pointDetail(const Record &r, Phase phase, const PointKey &key)
{
    if (key.test != Test::Repeatability)
        return key.position;
    int count = 0;
    for (const Point &p : r.points(phase))
        count += p.test == Test::Repeatability ? 1 : 0;
    return QStringLiteral("repeatability %1 of %2").arg(key.position).arg(count);
}

QString AutoCapture::pointLabel(const Record &r, Phase phase, const PointKey &key)
{
    return pointLoad(r, key) + (key.test == Test::Weighing ? QStringLiteral(" ") : QStringLiteral(", ")) + pointDetail(r, phase, key);
}

const Point *AutoCapture::waiting(const Record &r) const
{
    for (const Point &p : r.points(m_phase))
        if (p.test == m_test && waits(r, m_phase, p))
            return &p;
    return nullptr;
}

std::optional<PointKey> AutoCapture::next() const
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || m_visit.readOnly())
        return std::nullopt;
    const Point *p = waiting(*r);
    return p ? std::optional(keyOf(*p)) : std::nullopt;
}

const Point *AutoCapture::inWindow(const Record &r, Micro indication) const
{
    for (const Point &p : r.points(m_phase))
        if (p.test == m_test && magnitude(indication - p.load) <= window(r, m_phase, p))
            return &p;
    return nullptr;
}

void AutoCapture::onReport()
{
    const std::optional<Record> &r = m_visit.record();
    if (!m_enabled || !r || m_visit.readOnly())
        return;
    const StabilityWindow::State s = m_visit.stability();
    if (s.reports == 0)
        return;
    const Micro x = s.latest;
    const bool empty = magnitude(x) <= window(*r, m_phase, Point{m_test, 0, {}, {}, {}, {}});
    if (empty || magnitude(x - m_noted) > 2 * r->instrument.d)
        clearNote(); // the load it spoke of has gone
    const Point *here = inWindow(*r, x);
    if ((empty && !m_wasEmpty) || (here && here->load != m_lastLoad))
        m_armed = true; // the platter emptied, or another point's load came
    m_wasEmpty = empty;
    if (!s.stable)
        return;
    const Point *next = waiting(*r);
    if (next && m_armed && here && here->load == next->load)
        return capture(keyOf(*next), x);
    const bool held = !m_armed && (here || (m_held && magnitude(x - *m_held) <= 2 * r->instrument.d));
    if (next && !empty && !held && m_note.isEmpty()) // else no attempt, the load just captured still on, or said already
        setNote(*r, keyOf(*next), x);
}

void AutoCapture::clearNote()
{
    if (m_note.isEmpty())
        return;
    m_note.clear();
    emit waitsForKey(std::nullopt);
}

void AutoCapture::capture(const PointKey &point, Micro indication)
{
    clearNote();
    m_armed = false;
    m_lastLoad = point.load;
    m_held = indication;
    Reading reading;
    QString why = m_visit.takeReading(m_phase, point, &reading);
    if (why.isEmpty()) {
        reading.automatic = true;
        why = m_visit.keepReading(m_phase, point, reading);
    }
    if (!why.isEmpty())
        return emit refused(why);
    emit captured(m_phase, point);
}

void AutoCapture::setNote(const Record &r, const PointKey &point, Micro indication)
{
    const Micro off = indication - point.load;
    m_noted = indication;
    m_note = QStringLiteral("%1: %2 on the platter, %3%4: Enter takes it")
                 .arg(pointLabel(r, m_phase, point), formatMass(indication, 2), off < 0 ? QString() : QStringLiteral("+"),
                      formatMass(off, 2));
    emit waitsForKey(point);
}

} // namespace records
