#include "Mass.h"

#include <QLocale>
#include <cstdlib>

namespace records {

std::optional<Micro> parseMass(QStringView text)
{
    text = text.trimmed();
    const QString point = QLocale().decimalPoint();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    Micro whole = 0, fraction = 0;
    int decimals = -1; // -1: no separator yet
    int digits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            ++digits;
            if (decimals < 0) {
                whole = whole * 10 + (c.unicode() - u'0');
                if (whole > 1000000000)
                    return std::nullopt;
            } else if (++decimals > 6) {
                return std::nullopt;
            } else {
                fraction = fraction * 10 + (c.unicode() - u'0');
            }
        } else if (decimals < 0 && (c == u'.' || text.sliced(i).startsWith(point))) {
            decimals = 0;
            if (c != u'.')
                i += point.size() - 1;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    for (int d = qMax(decimals, 0); d < 6; ++d)
        fraction *= 10;
    const Micro value = whole * kMicro + fraction;
    return negative ? -value : value;
}

QString formatMass(Micro m, int decimals, bool forFiles)
{
    decimals = qBound(0, decimals, 6);
    Micro step = 1;
    for (int i = decimals; i < 6; ++i)
        step *= 10;
    const Micro magnitude = (std::llabs(m) + step / 2) / step; // half away from zero
    Micro scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    QString text = QString::number(magnitude / scale);
    if (decimals > 0)
        text += (forFiles ? QStringLiteral(".") : QLocale().decimalPoint())
                + QStringLiteral("%1").arg(magnitude % scale, decimals, 10, QLatin1Char('0'));
    return (m < 0 && magnitude != 0 ? QStringLiteral("-") : QString()) + text;
}

int decimalsOf(Micro step)
{
    int decimals = 6;
    for (step = std::llabs(step); decimals > 0 && step != 0 && step % 10 == 0; step /= 10)
        --decimals;
    return decimals;
}

} // namespace records
