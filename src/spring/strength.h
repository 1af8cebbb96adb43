// Material strength from the current material record: tensile strength
// Rm(d), permissible upper and stroke stresses (Goodman values), safety
// factors and cycles to fracture; taking a material into the spring data.
#pragma once
#include <string>

#include "base/types.h"

namespace zeb {

// Tensile strength for wire diameter d by the material's strength law,
// capped at RmMax when RmMax > 1. d <= 0 or DR0 = 0 post a fatal text
// (flag not set) and give 0.1.
Real MaterialRmOfD(Real d);

// Goodman values of the material for the current spring. kind 2 words the
// messages for normal stress ("sigma"), any other kind for shear stress.
// Outputs: permissible upper stress, stroke at lower stress 0, slope of
// the Goodman line, lower stress at its knee and a caption naming the
// material and its surface state. Also sets tauhzul, S1, S2, Sh, N, Nmin,
// Nmax and tauoz of the spring data and posts messages; a zero stress
// sets FatalErrorFlag.
void MaterialAllowedStress(int kind, int loadCase, Real& tauoz, Real& tauh0, Real& slope, Real& knee,
                           std::string& text);

// MaterialAllowedStress with the spring's load case; outputs dropped.
void UpdateFatigueValues(int kind);

// Name, moduli and density of the material record into the spring data;
// MaterialSel and MaterialStd := 0.
void CopyMaterialToSpring();

// Name of the key field (field 27) of the table in the table browser.
std::string MaterialKeyFieldName();

}  // namespace zeb
