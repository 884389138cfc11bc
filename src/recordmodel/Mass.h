#pragma once
// Masses as whole numbers of millionths of the unit in use (kg or lb): loads, scale intervals and
// the limits they give compare exactly, and a record's contents hash the same everywhere.

#include <QString>
#include <QStringView>
#include <optional>

namespace records {

using Micro = qint64;
inline constexpr Micro kMicro = 1000000;

// A decimal text as typed: optional sign, digits, at most one decimal separator (the locale's or
// a point), at most six decimals, spaces around it. nullopt for anything else and beyond 10^9.
std::optional<Micro> parseMass(QStringView text);

// m with `decimals` decimals (0 to 6, rounded half away from zero): with the locale's separator
// for people, with a point for files (CSV, JSON) where `forFiles` is set.
QString formatMass(Micro m, int decimals, bool forFiles = false);

// The fewest decimals that show every multiple of step exactly (0.05 kg: 2, 1 kg: 0).
int decimalsOf(Micro step);

inline QString unitName(bool pounds) { return pounds ? QStringLiteral("lb") : QStringLiteral("kg"); }

} // namespace records
