// Response of the spring with its external mass to a harmonic excitation.
#pragma once
#include "base/types.h"

namespace zeb {

// f excitation frequency (Hz), m spring mass (g), R rate (N/mm), forces
// in N. Fills ResonanceResult; uses SpringData.ExternalMass. R = 0 does
// nothing.
void resonance(Real f, Real m, Real R, Real F2, Real F1);

}  // namespace zeb
