#include "Stability.h"

#include <algorithm>
#include <cstdlib>

namespace records {
namespace {
template <typename Reports>
void dropBefore(Reports &reports, qint64 oldest)
{
    while (!reports.empty() && reports.front().first < oldest)
        reports.pop_front();
}

Micro roundedMean(Micro sum, int count)
{
    return (sum >= 0 ? sum + count / 2 : sum - count / 2) / count;
}
} // namespace

void StabilityWindow::add(qint64 atMs, Micro value)
{
    m_reports.emplace_back(atMs, value);
    dropBefore(m_reports, atMs - 3 * kWindowMs); // two seconds to judge, and a little for a late look
}

StabilityWindow::State StabilityWindow::state(qint64 nowMs, Micro d) const
{
    State s;
    Micro low = 0, high = 0, sum = 0;
    Micro before = 0; // the sum of the second before
    int beforeCount = 0;
    for (auto it = m_reports.rbegin(); it != m_reports.rend() && it->first > nowMs - 2 * kWindowMs; ++it) {
        if (it->first > nowMs)
            continue;
        const Micro v = it->second;
        if (it->first <= nowMs - kWindowMs) {
            before += v;
            ++beforeCount;
            continue;
        }
        if (s.reports == 0) {
            low = high = s.latest = v;
        } else {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        sum += v;
        ++s.reports;
    }
    if (s.reports == 0)
        return s;
    s.spread = high - low;
    s.mean = roundedMean(sum, s.reports);
    if (beforeCount > 0)
        s.drift = s.mean - roundedMean(before, beforeCount);
    s.stable = s.reports >= kMinReports && s.spread <= d && s.drift && std::llabs(*s.drift) < d;
    return s;
}

void Trend::add(qint64 atMs, Micro value)
{
    m_reports.emplace_back(atMs, value);
    dropBefore(m_reports, atMs - kSpanMs);
}

QList<std::optional<std::pair<Micro, Micro>>> Trend::columns(qint64 nowMs, int count) const
{
    QList<std::optional<std::pair<Micro, Micro>>> out(qMax(count, 0));
    if (count <= 0)
        return out;
    const qint64 start = nowMs - kSpanMs;
    for (const auto &[at, v] : m_reports) {
        if (at < start || at > nowMs)
            continue;
        const int column = int(std::min<qint64>(count - 1, (at - start) * count / kSpanMs));
        auto &c = out[column];
        c = c ? std::pair(std::min(c->first, v), std::max(c->second, v)) : std::pair(v, v);
    }
    return out;
}

} // namespace records
