// The full calculation of the current spring: rate, coils, travels,
// lengths, forces, stresses, masses, frequency, buckling, tolerances and
// the message list. Callers test FatalErrorFlag afterwards.
#pragma once
#include "base/types.h"

namespace zeb {

void CalculateSpring();
void RunCalculation();
// CalcDoneFlag is 0 while it runs.
void RunCalculationFlagged();
// Number of CalculateSpring runs since the program started (for timing).
unsigned long long CalculationCount();

// Routines on the current data set.
Real SolidLength(Real wireSize);
void ApplyTolerances();
Real ForceAtStress(Real tau);
Real ShearStressOfForce(Real F);
Real StressWithTransverseLoad(Real F, Real y, Real L);
Real TransverseRateRatio(Real s);
Real TransverseSpringRate(Real s);
Real TransverseNaturalFrequency(Real Rq);
void StatisticsScrap();

// The result checks that end a calculation (resonance and buckling texts
// through the permissible-stress and standard-range checks and the
// warnings after them), on a data set whose values are already computed.
// q is the ratio of load-cycle frequency to natural frequency.
void CheckCalculatedSpring(Real q);

}  // namespace zeb
