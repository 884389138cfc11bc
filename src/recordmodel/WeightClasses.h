#pragma once
// Reference weights as OIML R 111-1 (2004) classes them: the maximum permissible error of every
// nominal value of the 1-2-5 series in each class (Table 1), and the weights of a set in the
// 1-2-2-5 series that make up a test load.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace records {

enum class WeightClass { E1, E2, F1, F2, M1, M1_2, M2, M2_3, M3 };

QStringList weightClassNames(); // "E1", "E2", ..., "M1-2", ..., "M3", in the table's order
std::optional<WeightClass> weightClassFromName(const QString &name);
QString weightClassName(WeightClass c);

// Nominal values in micrograms, from 1 mg to 5,000 kg.
inline constexpr qint64 kMilligram = 1000;
inline constexpr qint64 kGram = 1000 * kMilligram;
inline constexpr qint64 kKilogram = 1000 * kGram;

// The table's entry for a weight of the 1-2-5 series: "±mg" as printed ("0.003", "1 600", ...),
// "" where the class has no weight of that value.
QString weightMpeText(WeightClass c, qint64 nominalUg);
// The same in micrograms; nullopt where the table has no entry.
std::optional<qint64> weightMpeUg(WeightClass c, qint64 nominalUg);

// The weights (nominal values in micrograms, largest first) that make up a load from sets of the
// 1-2-2-5 series (5, 2, 2 and 1 of each decade, 5,000 kg weights as many as needed); what is left
// below 1 mg is dropped.
QList<qint64> weightsForLoad(qint64 loadUg);

} // namespace records
