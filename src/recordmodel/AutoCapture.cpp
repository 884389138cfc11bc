#include "AutoCapture.h"

namespace records {
namespace {
Micro magnitude(Micro m)
{
    return m < 0 ? -m : m;
}
} // namespace

AutoCapture::AutoCapture(Visit &visit, QObject *parent) : QObject(parent), m_visit(visit)
{
    connect(&m_visit, &Visit::liveWeight, this, &AutoCapture::onReport);
}

void AutoCapture::setEnabled(bool on)
{
    if (on && !m_enabled) {
        m_reference.reset();
        m_changed = true;
    }
    m_enabled = on;
}

void AutoCapture::setTable(Phase phase, Test test)
{
    m_phase = phase;
    m_test = test;
}

QList<const Point *> AutoCapture::waiting(const Record &r) const
{
    QList<const Point *> out;
    for (const Point &p : r.points(m_phase))
        if (p.test == m_test && p.notPerformed.isEmpty() && !counts(r, m_phase, p))
            out << &p;
    return out;
}

std::optional<PointKey> AutoCapture::next() const
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || m_visit.readOnly())
        return std::nullopt;
    const QList<const Point *> points = waiting(*r);
    return points.isEmpty() ? std::nullopt : std::optional(keyOf(*points.first()));
}

std::optional<PointKey> AutoCapture::pointFor(const Record &r, Micro indication) const
{
    const QList<const Point *> points = waiting(r);
    const Point *nearest = nullptr;
    for (const Point *p : points) {
        if (m_test != Test::Weighing) { // same loads: in their order
            nearest = p;
            break;
        }
        if (!nearest || magnitude(indication - p->load) < magnitude(indication - nearest->load))
            nearest = p;
    }
    if (!nearest)
        return std::nullopt;
    const Micro tolerance = std::max(magnitude(nearest->load) / 10, 20 * r.instrument.e);
    if (magnitude(indication - nearest->load) > tolerance)
        return std::nullopt;
    return keyOf(*nearest);
}

void AutoCapture::onReport()
{
    const std::optional<Record> &r = m_visit.record();
    if (!m_enabled || !r || m_visit.readOnly())
        return;
    const StabilityWindow::State s = m_visit.stability();
    if (s.reports == 0)
        return;
    // A change: 20 e, or half of Min where that is less, so Min (20 e at the least) follows zero.
    const Micro band = std::min(20 * r->instrument.e, r->instrument.min / 2);
    if (m_reference && (magnitude(s.latest - *m_reference) > band || (magnitude(*m_reference) > band && magnitude(s.latest) <= band)))
        m_changed = true; // a new load, or the platter emptied
    if (!m_changed || !s.stable)
        return;
    m_changed = false;
    m_reference = s.latest;
    const auto point = pointFor(*r, s.latest);
    if (!point) {
        if (!waiting(*r).isEmpty() && magnitude(s.latest) > band) // an empty platter is no attempt
            emit noPointNear(s.latest);
        return;
    }
    Reading reading;
    QString why = m_visit.takeReading(m_phase, *point, &reading);
    if (why.isEmpty()) {
        reading.automatic = true;
        why = m_visit.keepReading(m_phase, *point, reading);
    }
    if (!why.isEmpty())
        return emit refused(why);
    emit captured(m_phase, *point);
}

} // namespace records
