// Standard wire diameters: DIN 2076 (drawn round wire) and DIN 2077
// (hot-rolled bar).
#pragma once
#include <span>

#include "base/types.h"

namespace zeb {

inline constexpr int kWireStepDown = -1;  // next smaller standard value
inline constexpr int kWireRoundUp = 1;    // round up to a standard value
inline constexpr int kWireStepUp = 2;     // next larger standard value

// kind is the wire-standard code: 3 selects DIN 2077, any other DIN 2076.
// Steps -1 and 2 are taken from the rounded-up position. A d above the
// table is returned unchanged (with a note when warnings are on).
Real StandardWireDiameter(int kind, int step, Real d);

// The ascending table used for kind.
std::span<const Real> StandardWireDiameters(int kind);

}  // namespace zeb
