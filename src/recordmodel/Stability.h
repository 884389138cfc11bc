#pragma once
// The live weight as the record window sees it: whether it is stable, and its trend.
//
// Stable: the last 1.0 s (reports after now - 1000 ms) holds at least 3 reports whose spread
// (largest minus smallest) is at most 1 d, and its mean differs from the mean of the second
// before by less than 1 d (no drift). A capture takes the latest report, the indication the
// scale shows; the mean, spread and count of that second go beside it.
// Times are milliseconds of a monotonic clock.

#include "Mass.h"

#include <QList>
#include <deque>
#include <optional>
#include <utility>

namespace records {

class StabilityWindow
{
public:
    static constexpr qint64 kWindowMs = 1000;
    static constexpr int kMinReports = 3;

    struct State
    {
        bool stable = false;
        int reports = 0;  // in the last second
        Micro spread = 0;
        Micro mean = 0;   // of the last second, rounded to the nearest millionth
        Micro latest = 0;
        std::optional<Micro> drift; // mean of the last second minus that of the second before
    };

    void add(qint64 atMs, Micro value);
    State state(qint64 nowMs, Micro d) const;
    void clear() { m_reports.clear(); }

private:
    std::deque<std::pair<qint64, Micro>> m_reports;
};

// Min and max of the live weight per column over the last 60 s.
class Trend
{
public:
    static constexpr qint64 kSpanMs = 60000;

    void add(qint64 atMs, Micro value);
    // `count` equal columns from now - 60 s to now, oldest first; a column without reports is empty.
    QList<std::optional<std::pair<Micro, Micro>>> columns(qint64 nowMs, int count) const;
    void clear() { m_reports.clear(); }

private:
    std::deque<std::pair<qint64, Micro>> m_reports;
};

} // namespace records
