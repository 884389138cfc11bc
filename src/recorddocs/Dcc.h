#pragma once
// The record as a Digital Calibration Certificate (PTB's DCC, schema 3.1.2, its values and units
// as D-SI 2.1.0 writes them): what a customer's quality system reads instead of typing the
// certificate in. The administrative data (this program, the record's uuid and certificate number,
// the days of calibration, the place), the item, the laboratory, the technician, the customer, the
// statements (decision rule, conformity per phase, traceability, the due date where one was
// agreed, the signature), and the results: each test of each phase, point by point, with load,
// indication, error and its U (coverage factor, coverage probability 95.45 %), MPE and outcome.
// Masses are in kilograms (D-SI has no pound: a record kept in pounds is converted exactly,
// 1 lb = 0.45359237 kg, and says so); temperatures in degrees Celsius.

#include "Record.h"

#include <QDate>

namespace records {

struct DccOptions
{
    QString software = QStringLiteral("vantor_cal");
    QString release;            // this program's version
    QString country;            // ISO 3166-1 alpha-2 of the laboratory ("GB"); "ZZ" where unknown
    QString laboratoryEmail;
    QDate nextDue;              // stated only where valid
    QString signedBy;           // who signed the record, for its statement; "" where it was not signed
};

// The DCC of a closed record; empty with *error set for one that is open or was discarded.
QByteArray dccOf(const Record &record, const DccOptions &options, QString *error);
bool writeDcc(const Record &record, const QString &path, const DccOptions &options, QString *error);
// A DCC made (and signed) elsewhere, written whole or not at all.
bool writeDccFile(const QByteArray &xml, const QString &path, QString *error);

// The mass in kilograms as D-SI writes a value ("25.01", "49.895160700").
QString dsiKilograms(const Record &record, Micro mass);

} // namespace records
