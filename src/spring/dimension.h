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

// Dimensioning (force inputs 1..5) and pre-dimensioning.
void DimensionF1F2();
void DimensionF1RMin();
void DimensionF2RMin();
void DimensionF1RMax();
void DimensionF2RMax();
void RunPreDimensioning();
Real WireForStress();
Real WireForSpace();
Real MaxForceForSpace();

}  // namespace zeb
