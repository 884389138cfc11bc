#pragma once
// The tests a record plans for an instrument.

#include "Record.h"

namespace records {

// The test plan of OIML R 76-1 and EURAMET cg-18.
// Weighing: 0, Min, the class's MPE change points (500 e and 2,000 e for III, 50 e and 200 e for
// IIII) where below Max, Max/2 and Max (ascending, once each).
QList<Micro> defaultWeighingLoads(const Instrument &in);
// The weighing test's points: the loads increasing, then decreasing (the largest once).
QList<Point> weighingPoints(const QList<Micro> &loads);
// Repeatability: 5 readings, 3 for loads of 100 kg or more.
int defaultRepeatabilityCount(const Instrument &in, Micro load);
QList<Point> repeatabilityPoints(Micro load, int readings);
// Eccentricity: the centre, then the 4 quarter segments (front left, rear left, rear right, front
// right) for up to 4 supports, each support ("support 1" ...) for more.
QList<Point> eccentricityPoints(Micro load, int supports);
// Max/3 for up to 4 supports, Max/(n - 1) for n supports, to the nearest e.
Micro defaultEccentricityLoad(const Instrument &in);

} // namespace records
