#include "Instrument.h"

#include <QLocale>

namespace records {
namespace {

bool isScaleIntervalForm(Micro e)
{
    if (e <= 0)
        return false;
    while (e % 10 == 0)
        e /= 10;
    return e == 1 || e == 2 || e == 5;
}

QString number(double n)
{
    return QLocale().toString(n, 'f', n == qRound64(n) ? 0 : 1);
}

} // namespace

QString className(AccuracyClass c)
{
    return c == AccuracyClass::III ? QStringLiteral("III") : QStringLiteral("IIII");
}

QJsonObject Instrument::toJson() const
{
    QJsonObject o{{QStringLiteral("indexNo"), indexNo},
            {QStringLiteral("makerModel"), makerModel},
            {QStringLiteral("location"), location},
            {QStringLiteral("class"), className(accuracy)},
            {QStringLiteral("max"), max},
            {QStringLiteral("min"), min},
            {QStringLiteral("e"), e},
            {QStringLiteral("d"), d},
            {QStringLiteral("supports"), supports},
            {QStringLiteral("unit"), unitName(pounds)}};
    // Keys added after version 1.1, only where they say something: earlier records stay as sealed.
    if (!customer.isEmpty())
        o.insert(QStringLiteral("customer"), customer);
    if (!customerAddress.isEmpty())
        o.insert(QStringLiteral("customerAddress"), customerAddress);
    return o;
}

Instrument Instrument::fromJson(const QJsonObject &o)
{
    Instrument i;
    i.indexNo = o.value(QStringLiteral("indexNo")).toString();
    i.makerModel = o.value(QStringLiteral("makerModel")).toString();
    i.location = o.value(QStringLiteral("location")).toString();
    i.customer = o.value(QStringLiteral("customer")).toString();
    i.customerAddress = o.value(QStringLiteral("customerAddress")).toString();
    i.accuracy = o.value(QStringLiteral("class")).toString() == QLatin1String("IIII") ? AccuracyClass::IIII
                                                                                       : AccuracyClass::III;
    i.max = o.value(QStringLiteral("max")).toInteger();
    i.min = o.value(QStringLiteral("min")).toInteger();
    i.e = o.value(QStringLiteral("e")).toInteger();
    i.d = o.value(QStringLiteral("d")).toInteger();
    i.supports = o.value(QStringLiteral("supports")).toInt(4);
    i.pounds = o.value(QStringLiteral("unit")).toString() == QLatin1String("lb");
    return i;
}

QStringList validate(const Instrument &in)
{
    QStringList faults;
    const QString unit = unitName(in.pounds);
    const bool three = in.accuracy == AccuracyClass::III;
    const QString cls = className(in.accuracy);
    const int decimals = qMax(2, decimalsOf(in.e));
    const auto mass = [&](Micro m) { return formatMass(m, decimals) + QLatin1Char(' ') + unit; };
    if (in.max <= 0)
        faults << QStringLiteral("Max must be above 0.");
    if (!isScaleIntervalForm(in.e))
        faults << QStringLiteral("e must be 1, 2 or 5 x 10^k %1 (0.01, 0.02, 0.05, 0.1 ...).").arg(unit);
    else if (in.e < kReportingStep)
        faults << QStringLiteral("e must be at least the scale's reporting step of %1, or errors below it would not show; "
                                 "here e is %2.")
                      .arg(formatMass(kReportingStep, 2) + QLatin1Char(' ') + unit, mass(in.e));
    if (in.d != in.e)
        faults << QStringLiteral("d must equal e for class %1 (OIML R 76-1); here e is %2 and d is %3.")
                      .arg(cls, mass(in.e), mass(in.d));
    const Micro minimumMin = (three ? 20 : 10) * in.e;
    if (in.min <= 0 || in.min >= in.max)
        faults << QStringLiteral("Min must be above 0 and below Max.");
    else if (in.e > 0 && in.min < minimumMin)
        faults << QStringLiteral("Class %1 needs Min of at least %2 e (%3); here Min is %4.")
                      .arg(cls, three ? QStringLiteral("20") : QStringLiteral("10"), mass(minimumMin), mass(in.min));
    if (in.supports < 1 || in.supports > 16)
        faults << QStringLiteral("The number of supports must be from 1 to 16.");
    if (in.max > 0 && in.e > 0) {
        const double n = double(in.max) / double(in.e);
        const double low = three ? 500 : 100, high = three ? 10000 : 1000;
        if (n < low || n > high)
            faults << QStringLiteral("Class %1 needs Max/e from %2 to %3; here it is %4.")
                          .arg(cls, number(low), number(high), number(n));
    }
    return faults;
}

int readingDecimals(const Instrument &instrument)
{
    return qMin(6, decimalsOf(instrument.d) + 1);
}

Micro mpe(const Instrument &in, Micro load, bool inService)
{
    const Micro e = in.e;
    const Micro first = in.accuracy == AccuracyClass::III ? 500 : 50;
    const Micro second = in.accuracy == AccuracyClass::III ? 2000 : 200;
    const Micro magnitude = load < 0 ? -load : load;
    Micro halves; // the MPE in half scale intervals
    if (magnitude <= first * e)
        halves = 1;
    else if (magnitude <= second * e)
        halves = 2;
    else
        halves = 3;
    return halves * e / 2 * (inService ? 2 : 1);
}

} // namespace records
