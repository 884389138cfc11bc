#pragma once
// Numeric texts as the console reads them.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace modCommon {

// A whole number: blanks around it, an optional sign, then decimal digits only (leading zeros
// allowed). nullopt for anything else and for values outside 32 bits.
std::optional<std::int32_t> wholeNumber(QStringView text);

// The same, limited to 16 bits.
std::optional<std::int16_t> wholeNumber16(QStringView text);

// A numeric text: blanks around it, an optional sign, digits with at most one decimal point
// (always a point, whatever the locale). Letters, inner blanks and anything else fail.
bool isNumericText(QStringView text);

// The value of a numeric text, or nullopt. For texts from the line, whose point never depends on
// the locale.
std::optional<double> numberValue(QStringView text);

// The value of a number the user typed: a numeric text whose decimal separator is the user's
// locale's or a point. nullopt for anything else.
std::optional<double> typedNumberValue(QStringView text);

// v with exactly `decimals` digits after the decimal separator of the user's locale and at least
// one before it, no group separators ("#0.0000", "##0.00"); a value that rounds to zero shows
// without a sign.
QString formatFixed(double v, int decimals);

} // namespace modCommon
