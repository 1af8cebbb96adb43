// Manufacturing tolerances of compression springs (EN 15800 grades 1..3,
// DIN 2096 as grade 4; grade 0 and grades above 4 give 0), the normal
// distribution's outside share, and wire-diameter tolerances by wire
// standard. Pure functions apart from the notes they post.
#pragma once
#include "base/types.h"

namespace zeb {

// selector: 1 De given, 2 Di given, other Dm (grade 4 only).
Real CoilDiameterTolerance(int grade, int selector, Real De, Real Di, Real Dm, Real w);
// kind is the coiling kind; sc the travel to solid length.
Real FreeLengthTolerance(int grade, int kind, Real Dm, Real d, Real R, Real n, Real L0, Real sc);
// Deviation of force F at travel s. messageSwitch 1 posts the DIN 2096 note.
Real ForceTolerance(int messageSwitch, int grade, int kind, Real F, Real s, Real Dm, Real d, Real n,
                    Real L0, Real R);
// The two with factor = ForceToleranceFactor(d, Dm) * CoilCountFactor(n)
// (AF kF) worked out by the caller, who needs it for several tolerances of
// one spring; it counts for grades 1..3 only.
Real FreeLengthToleranceWithFactor(Real factor, int grade, int kind, Real R, Real n, Real L0, Real sc);
Real ForceToleranceWithFactor(Real factor, int messageSwitch, int grade, int kind, Real F, Real s, Real Dm,
                              Real d, Real n, Real L0, Real R);
bool En15800Grade(int grade);                        // grades 1..3
Real PerpendicularityTolerance(int grade, Real L0);  // e1
Real ParallelismTolerance(int grade, Real De);       // e2
Real ForceToleranceFactor(Real d, Real Dm);          // AF
Real CoilCountFactor(Real n);                        // kF
// Percentage of a normal population outside +-u standard deviations
// (u clamped to -8..8).
Real GaussIntegral(Real u);

// Wire-diameter tolerance (plus/minus, mm) for the wire-standard code
// 1..17; EN 10270-1/-2 (9, 10) use the classes of EN 10218-2.
Real WireToleranceForStandard(int code, Real d);
// The table of a code; codes without one give 0.
Real WireDiameterTolerance(int code, Real d);
// SpringData.WireStd from the material name.
void WireStandardCode();

}  // namespace zeb
