// Checks of a calculated spring that only post messages: stresses against
// the permissible ones, the validity ranges of material and wire standard,
// and the scope of the tolerance standards.
#pragma once
#include "base/types.h"

namespace zeb {

// True when the message list takes no further text (all twelve slots
// used): a text with a formatted number need not be built then.
bool MessageListFull();

// Reads the spring data, the material and the relaxation record. Only
// "Fatal  : Rm = 0 !" sets FatalErrorFlag.
void CheckPermissibleStress();

// Warnings when the spring lies outside EN 15800 or DIN 2096 while one
// of the grades asks for that standard.
void CheckStandardRanges(int gradeDe, int gradeL0, int gradeF1, Real n, Real L0, Real d, Real Dm,
                         int gradeE2, int gradeE1, int gradeF2);

}  // namespace zeb
