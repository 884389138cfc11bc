#include "Numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace modCommon {

std::optional<std::int32_t> wholeNumber(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(value);
}

std::optional<std::int16_t> wholeNumber16(QStringView text)
{
    const auto value = wholeNumber(text);
    if (!value || *value < std::numeric_limits<std::int16_t>::min()
        || *value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return std::int16_t(*value);
}

bool isNumericText(QStringView text)
{
    static const QRegularExpression numeric(QStringLiteral("^ *[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+) *$"));
    return numeric.match(text).hasMatch();
}

std::optional<double> numberValue(QStringView text)
{
    if (!isNumericText(text))
        return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toString().remove(QLatin1Char('+')).toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

std::optional<double> typedNumberValue(QStringView text)
{
    const QString point = QLocale().decimalPoint();
    if (point == QLatin1String("."))
        return numberValue(text);
    return numberValue(text.toString().replace(point, QLatin1String(".")));
}

QString formatFixed(double v, int decimals)
{
    if (std::round(std::abs(v) * std::pow(10.0, decimals)) == 0)
        v = 0; // no "-0.00"
    QString text = QString::number(v, 'f', decimals);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

} // namespace modCommon
