#pragma once
// Numeric texts as the console reads them.

#include <QStringView>
#include <cstdint>
#include <optional>

namespace modCommon {

// A whole number: blanks around it, an optional sign, then decimal digits only (leading zeros
// allowed). nullopt for anything else and for values outside 32 bits.
std::optional<std::int32_t> fuWholeNumber(QStringView text);

// The same, limited to 16 bits.
std::optional<std::int16_t> fuWholeNumber16(QStringView text);

} // namespace modCommon
