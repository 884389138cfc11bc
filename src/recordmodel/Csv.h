#pragma once
// One field of a CSV line (RFC 4180): quoted, its quotes doubled, where it holds a comma, a quote
// or a line break; as it is otherwise.

#include <QString>

namespace records {

inline QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r')) && !s.contains(QLatin1Char('\n')))
        return s;
    return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace records
