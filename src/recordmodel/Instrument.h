#pragma once
// The scale as the technician describes it once and the console remembers: identified by its
// Index No. (the user serial number used at the login), with its accuracy class, capacity and
// scale intervals in the unit the scale shows.

#include "Mass.h"

#include <QJsonObject>
#include <QStringList>

namespace records {

enum class AccuracyClass { III, IIII };

struct Instrument
{
    QString indexNo;
    QString makerModel;
    QString location;
    QString customer;        // the owner the certificate is issued to
    QString customerAddress;
    AccuracyClass accuracy = AccuracyClass::III;
    Micro max = 0;
    Micro min = 0;
    Micro e = 0; // verification scale interval
    Micro d = 0; // display interval
    int supports = 4;
    bool pounds = false; // unit of Max, Min, e, d and of every reading

    QJsonObject toJson() const;
    static Instrument fromJson(const QJsonObject &o);
    bool operator==(const Instrument &) const = default;
};

QString className(AccuracyClass c);

// The scale reports hundredths of its unit.
inline constexpr Micro kReportingStep = kMicro / 100;

// What is wrong with a description, one sentence per fault naming the rule and the figure;
// empty when sound. OIML R 76-1: class III needs 500 <= Max/e <= 10,000 and Min >= 20 e, class
// IIII 100 <= Max/e <= 1,000 and Min >= 10 e; d = e for both; e is 1, 2 or 5 x 10^k and not
// finer than the scale's reporting step; Min < Max; 1 to 16 supports.
QStringList validate(const Instrument &instrument);

// The decimals readings are shown with: one more than the display interval's.
int readingDecimals(const Instrument &instrument);

// The maximum permissible error at a load. Class III: 0.5 e up to 500 e, 1 e up to 2,000 e,
// 1.5 e above; class IIII: 0.5 e up to 50 e, 1 e up to 200 e, 1.5 e above. In service: twice that.
Micro mpe(const Instrument &instrument, Micro load, bool inService);

} // namespace records
