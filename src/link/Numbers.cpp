#include "Numbers.h"

#include <limits>

namespace modCommon {

std::optional<std::int32_t> fuWholeNumber(QStringView text)
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

std::optional<std::int16_t> fuWholeNumber16(QStringView text)
{
    const auto value = fuWholeNumber(text);
    if (!value || *value < std::numeric_limits<std::int16_t>::min()
        || *value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return std::int16_t(*value);
}

} // namespace modCommon
