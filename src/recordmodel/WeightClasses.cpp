#include "WeightClasses.h"

#include <array>

namespace records {
namespace {

const char *const kClassNames[] = {"E1", "E2", "F1", "F2", "M1", "M1-2", "M2", "M2-3", "M3"};

// OIML R 111-1:2004, Table 1, maximum permissible errors for weights (± mg), as printed. One row
// per nominal value, largest first; the columns are the classes in the order of kClassNames.
struct Row
{
    qint64 nominalUg;
    std::array<const char *, 9> mpeMg;
};
const Row kTable[] = {
    {5000 * kKilogram, {"", "", "25 000", "80 000", "250 000", "500 000", "800 000", "1 600 000", "2 500 000"}},
    {2000 * kKilogram, {"", "", "10 000", "30 000", "100 000", "200 000", "300 000", "600 000", "1 000 000"}},
    {1000 * kKilogram, {"", "1 600", "5 000", "16 000", "50 000", "100 000", "160 000", "300 000", "500 000"}},
    {500 * kKilogram, {"", "800", "2 500", "8 000", "25 000", "50 000", "80 000", "160 000", "250 000"}},
    {200 * kKilogram, {"", "300", "1 000", "3 000", "10 000", "20 000", "30 000", "60 000", "100 000"}},
    {100 * kKilogram, {"", "160", "500", "1 600", "5 000", "10 000", "16 000", "30 000", "50 000"}},
    {50 * kKilogram, {"25", "80", "250", "800", "2 500", "5 000", "8 000", "16 000", "25 000"}},
    {20 * kKilogram, {"10", "30", "100", "300", "1 000", "", "3 000", "", "10 000"}},
    {10 * kKilogram, {"5.0", "16", "50", "160", "500", "", "1 600", "", "5 000"}},
    {5 * kKilogram, {"2.5", "8.0", "25", "80", "250", "", "800", "", "2 500"}},
    {2 * kKilogram, {"1.0", "3.0", "10", "30", "100", "", "300", "", "1 000"}},
    {1 * kKilogram, {"0.5", "1.6", "5.0", "16", "50", "", "160", "", "500"}},
    {500 * kGram, {"0.25", "0.8", "2.5", "8.0", "25", "", "80", "", "250"}},
    {200 * kGram, {"0.10", "0.3", "1.0", "3.0", "10", "", "30", "", "100"}},
    {100 * kGram, {"0.05", "0.16", "0.5", "1.6", "5.0", "", "16", "", "50"}},
    {50 * kGram, {"0.03", "0.10", "0.3", "1.0", "3.0", "", "10", "", "30"}},
    {20 * kGram, {"0.025", "0.08", "0.25", "0.8", "2.5", "", "8.0", "", "25"}},
    {10 * kGram, {"0.020", "0.06", "0.20", "0.6", "2.0", "", "6.0", "", "20"}},
    {5 * kGram, {"0.016", "0.05", "0.16", "0.5", "1.6", "", "5.0", "", "16"}},
    {2 * kGram, {"0.012", "0.04", "0.12", "0.4", "1.2", "", "4.0", "", "12"}},
    {1 * kGram, {"0.010", "0.03", "0.10", "0.3", "1.0", "", "3.0", "", "10"}},
    {500 * kMilligram, {"0.008", "0.025", "0.08", "0.25", "0.8", "", "2.5", "", ""}},
    {200 * kMilligram, {"0.006", "0.020", "0.06", "0.20", "0.6", "", "2.0", "", ""}},
    {100 * kMilligram, {"0.005", "0.016", "0.05", "0.16", "0.5", "", "1.6", "", ""}},
    {50 * kMilligram, {"0.004", "0.012", "0.04", "0.12", "0.4", "", "", "", ""}},
    {20 * kMilligram, {"0.003", "0.010", "0.03", "0.10", "0.3", "", "", "", ""}},
    {10 * kMilligram, {"0.003", "0.008", "0.025", "0.08", "0.25", "", "", "", ""}},
    {5 * kMilligram, {"0.003", "0.006", "0.020", "0.06", "0.20", "", "", "", ""}},
    {2 * kMilligram, {"0.003", "0.006", "0.020", "0.06", "0.20", "", "", "", ""}},
    {1 * kMilligram, {"0.003", "0.006", "0.020", "0.06", "0.20", "", "", "", ""}},
};

const Row *rowOf(qint64 nominalUg)
{
    for (const Row &row : kTable)
        if (row.nominalUg == nominalUg)
            return &row;
    return nullptr;
}

} // namespace

QStringList weightClassNames()
{
    QStringList names;
    for (const char *name : kClassNames)
        names << QLatin1String(name);
    return names;
}

std::optional<WeightClass> weightClassFromName(const QString &name)
{
    const qsizetype i = weightClassNames().indexOf(name.trimmed().toUpper());
    return i < 0 ? std::nullopt : std::optional(WeightClass(i));
}

QString weightClassName(WeightClass c)
{
    return QLatin1String(kClassNames[int(c)]);
}

QString weightMpeText(WeightClass c, qint64 nominalUg)
{
    const Row *row = rowOf(nominalUg);
    return row ? QLatin1String(row->mpeMg[int(c)]) : QString();
}

std::optional<qint64> weightMpeUg(WeightClass c, qint64 nominalUg)
{
    QString text = weightMpeText(c, nominalUg);
    if (text.isEmpty())
        return std::nullopt;
    text.remove(QLatin1Char(' '));
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    QString digits = point < 0 ? text + QStringLiteral("000") : text.left(point) + text.mid(point + 1).leftJustified(3, u'0');
    return digits.toLongLong();
}

QList<qint64> weightsForLoad(qint64 loadUg)
{
    QList<qint64> weights;
    const qint64 largest = 5000 * kKilogram;
    while (loadUg >= largest) {
        weights << largest;
        loadUg -= largest;
    }
    // Each decade of a set: 5, 2, 2 and 1; they make up any digit of the decade.
    for (qint64 unit = 1000 * kKilogram; unit >= kMilligram; unit /= 10) {
        for (const qint64 multiple : {5, 2, 2, 1}) {
            if (unit * multiple <= loadUg) {
                weights << unit * multiple;
                loadUg -= unit * multiple;
            }
        }
    }
    return weights;
}

} // namespace records
