#pragma once
// The uncertainty of a reading's error E = I - m_ref, built as EURAMET cg-18 (chapter 7) builds
// it, from what the visit measured itself:
//   the indication: rounding at zero and at the load, d / (2 sqrt 3) each; the repeatability, the
//   standard deviation s of the phase's repeatability test; the eccentricity, the largest
//   difference from the centre of the phase's eccentricity test, |dI|max / (2 L_ecc sqrt 3) of
//   every unit of load (not for the eccentricity test's own readings);
//   the reference mass, weights of a known OIML R 111 class without calibration values: each
//   weight of the 1-2-2-5 set that makes up the load within its MPE, sum of MPE_j / sqrt 3 (the
//   weights are correlated); air buoyancy within the class's density limits,
//   (0.1 rho0/rhoc L + MPE/4) / sqrt 3 with rho0 = 1.2 kg/m3 and rhoc = 8,000 kg/m3; drift
//   covered by the class (weights in their class on verification); convection negligible for
//   weights acclimatised to the room.
// Combined as the root sum of squares; expanded U = k u with k = 2 (about 95 %).
// Where the phase has no test of its own, the other phase's stands in, else the instrument's
// requirement (a spread, or a difference from the centre, within the MPE), and the certificate
// says so.

#include "Record.h"

#include <QStringList>

namespace records {

inline constexpr double kCoverageFactor = 2.0;

struct UncertaintyBudget
{
    // Standard uncertainties, in the record's unit.
    double zero = 0;
    double reading = 0;
    double repeatability = 0;
    double eccentricity = 0;
    double weights = 0;
    double buoyancy = 0;
    double drift = 0;
    double convection = 0;

    double standard() const;
    double expanded() const { return kCoverageFactor * standard(); }
};

UncertaintyBudget uncertaintyOf(const Record &r, Phase phase, const Point &p);
// What stood in for the tests a phase lacks, one sentence each (empty: none needed).
QStringList uncertaintyAssumptions(const Record &r, Phase phase);
// U of a point's reading, rounded up to a millionth: as sealed in a closed record, else as the
// record stands now; nullopt for records of format 1, which recorded none.
std::optional<Micro> expandedUncertainty(const Record &r, Phase phase, const Point &p);
// Seals U into every counted reading and the assumptions into the record (at closing).
void sealUncertainty(Record &r);

} // namespace records
