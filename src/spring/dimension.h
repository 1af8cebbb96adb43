// Calculation modes: recalculation from the geometry, dimensioning by the
// five force inputs and pre-dimensioning, with the routines they share.
#pragma once
#include "base/types.h"

namespace zeb {

// Recalculation and shared routines.
void RunRecalculation();
void DeriveRateAndForces();
// 1 De given, 2 Di given, 3 Dm given; other codes change nothing.
void DeriveDiameters(int given);
void IterateWireDiameter();
void ComputeRmAndTauZul();
void ResetFirstPoint();

// Tests on the calculated spring. A calculation stopped by a fatal input
// does not fit; it is too weak unless the wire was too big for the spring.
bool SpringTooWeak();      // stress test of the bisections
bool SpringDoesNotFit();   // space test
// The stresses of the calculated spring past tau zul, each by its size:
// tau1, tau2, taun and (warnings on) tauc, for dynamic load tauk1 and
// tauk2 in place of tau1 and tau2; under a transverse load also a spring
// that gives way sideways at F1 or F2. False without a tau zul above 0.
bool StressesPastTauZul();
// Dynamic load: the stroke stress taukh past a permissible one above 0.
bool StrokePastTauhZul();

// Dimensioning (force inputs 1..5) and pre-dimensioning. Each ends, the
// same from whatever spring the data set held before, on a spring that is
// sound (no fatal text, the stress test, the space test) also as the spring
// file holds it; or shows "No Solution", puts the spring back as typed,
// calculated, and adds "Fehler : keine Lösung !" and why to the message
// list. The force inputs end on the smallest sound series wire at their
// force: F1, F2 the typed forces; input 2 the smallest F2, 3 the largest
// F1, 4 the largest F2, 5 the smallest F1 at which a series wire is sound.
void DimensionF1F2();
void DimensionF1RMin();
void DimensionF2RMin();
void DimensionF1RMax();
void DimensionF2RMax();
// The wire with Dm/d and tz/t as given that meets its target stress (or
// the thinnest sound one above it, up to the largest of the series, else
// the thickest sound one below it), L2 the tenth of a millimetre above the
// room it needs.
void RunPreDimensioning();
// At the data set's forces: the smallest series wire whose stresses hold,
// the largest that fits; the data set stays.
Real WireForStress();
Real WireForSpace();
Real MaxForceForSpace();

}  // namespace zeb
