#pragma once
// What a record's plan allows, under its limits, decision rule and reference weights, checked
// before its first reading (with the stand-ins U would have then) and stated on its certificate:
//  - the binary guarded rule (ILAC-G8:2019 4.2.2) cannot accept where U >= MPE: refused;
//  - weights whose MPE exceeds a third of the scale's MPE at a load (OIML R 76-1 3.7.1): warned;
//  - under simple acceptance, U beyond the MPE at a load: warned, and the certificate says where.

#include "Record.h"

#include <QStringList>

namespace records {

// Why the record's rule cannot be used with its plan, naming the loads; "" where it can.
QString ruleRefusal(const Record &r);
// Warnings for the technician, one sentence each; empty where there is nothing to say.
QStringList planWarnings(const Record &r);

// For the certificate: the counted readings' loads where the weights exceed a third of the MPE,
// and, under simple acceptance, the counted readings whose U exceeds their MPE; one sentence
// each, empty where there are none.
QStringList certificateCautions(const Record &r);

} // namespace records
