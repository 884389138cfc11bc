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
// Combined as the root sum of squares; expanded U = k u. Records of format 3: k = t95.45(nu_eff),
// the Student factor for a coverage of 95.45 % at the effective degrees of freedom that
// Welch-Satterthwaite gives, nu_eff = u^4 / (u_rep^4 / (n - 1)), the repeatability of n readings
// being the only term with finite degrees of freedom (the others are rectangular bounds, taken as
// exact); k = 2 where nu_eff is infinite. Records of format 2: k = 2.
// Where the phase has no test of its own, the other phase's stands in, else the instrument's
// requirement, and the certificate says so. Format 3 takes the requirement so that it cannot
// understate: every eccentric position up to 2 MPE from the centre (each within +-MPE of its
// load); a spread of n readings within the MPE as s = MPE / d2(n), d2 the expected range of n
// normal values in units of s (2.326 for 5, 1.693 for 3). Format 2 took 1 MPE and MPE / (2 sqrt 3).
// Format 4 takes, before the requirement, the scale's own last test of that kind (the record keeps
// it, with the record it comes from), and gives the requirement's s only the degrees of freedom
// a range of that many readings has, so that skipping a test never lowers k.

#include "Record.h"

#include <QStringList>
#include <initializer_list>
#include <limits>

namespace records {

// t95.45(dof): the factor that covers 95.45 % of Student's t distribution with `dof` degrees of
// freedom (GUM table G.2: 13.97 for 1, 2.28 for 10, 2.05 for 50); 2 for infinite dof.
double coverageFactor(double dof);

// Welch-Satterthwaite: the effective degrees of freedom of a sum of independent terms, each a
// standard uncertainty contribution with its degrees of freedom (infinite for a term known
// exactly enough, such as a rectangular one from a limit). Infinite when no term has finite dof.
struct DofTerm
{
    double u = 0;
    double dof = std::numeric_limits<double>::infinity();
};
double effectiveDegreesOfFreedom(std::initializer_list<DofTerm> terms);

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

    double repeatabilityDof = std::numeric_limits<double>::infinity(); // n - 1 where s comes from readings
    bool studentFactor = false; // format 3: k from nu_eff; before, k = 2

    double standard() const;
    double effectiveDof() const; // Welch-Satterthwaite
    double coverage() const { return studentFactor ? coverageFactor(effectiveDof()) : 2.0; }
    double expanded() const { return coverage() * standard(); }
};

// What a phase's own repeatability and eccentricity tests measured (in the record's unit).
struct MeasuredTests
{
    std::optional<double> s;          // the standard deviation of the repeatability readings
    int readings = 0;                 // how many gave s
    std::optional<double> eccLargest; // the largest difference from the centre
    double eccLoad = 0;               // the eccentricity test's load
};
MeasuredTests measuredTests(const Record &r, Phase phase);

// The degrees of freedom of s estimated from the range of n readings as R / d2(n):
// 1 / (2 (d3 / d2)^2), the relative spread of such an estimate put as GUM G.4.2 puts it (3.6 for 5).
double rangeDegreesOfFreedom(int n);

// U's terms at a point. Where the phase has no test of its own the other phase's stands in, then
// (format 4) the scale's own last test kept in the record, else the instrument's requirement.
UncertaintyBudget uncertaintyOf(const Record &r, Phase phase, const Point &p);
// The reference weights' MPE at a load (the 1-2-2-5 set that makes it up), in the record's unit;
// nullopt without a known class.
std::optional<double> referenceWeightsMpe(const Record &r, Micro load);
// What stood in for the tests a phase lacks, one sentence each (empty: none needed).
QStringList uncertaintyAssumptions(const Record &r, Phase phase);
// U of a point's reading, rounded up to a millionth: as sealed in a closed record, else as the
// record stands now; nullopt for records of format 1, which recorded none.
std::optional<Micro> expandedUncertainty(const Record &r, Phase phase, const Point &p);
// Why the reference weights cannot make one of these loads (format 3: their class has no weight
// of a value the load needs), or "".
QString uncoveredLoad(const Record &r, const QList<Micro> &loads);
// Its coverage factor k, rounded to two decimals as printed (format 2: 2.00); nullopt as above.
std::optional<double> coverageOf(const Record &r, Phase phase, const Point &p);
// U as printed with `decimals` (EA-4/02): to the nearest digit, or up where that would lower it
// by more than 5 %.
QString formatUncertainty(Micro u, int decimals, bool forFiles = false);
// U as reported (EA-4/02, GUM 7.2.6): to two significant digits, rounded to the nearest, or up
// where that would lower it by more than 5 %; with the decimals it takes.
struct ReportedUncertainty
{
    Micro value = 0;
    int decimals = 0;
};
ReportedUncertainty reportedUncertainty(Micro u);
// E and U of a reading as certificates and files print them: format 4, U as reported and E to the
// same decimal place; earlier formats, both with the reading's decimals (formatUncertainty). An
// empty U where there is none.
struct PrintedResult
{
    QString error;
    QString u;
};
PrintedResult printedResult(const Record &r, Micro error, std::optional<Micro> u, bool forFiles = false);
// Seals U into every counted reading and the assumptions into the record (at closing).
void sealUncertainty(Record &r);

} // namespace records
