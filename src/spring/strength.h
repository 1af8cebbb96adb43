// Material strength from the current material record: tensile strength
// Rm(d), permissible upper and stroke stresses (Goodman values), safety
// factors and cycles to fracture; taking a material into the spring data.
#pragma once
#include <functional>
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

// MaterialAllowedStress with the spring's load case, then the life of the
// load spectrum (LoadSpectrumLife) from its Goodman values.
void UpdateFatigueValues(int kind);

// The life of the spring's load spectrum by Palmgren-Miner, from the
// Goodman values tauoz, tauh0 and slope. First every level is checked: its
// lengths within the spring's travel [Lc, L0], L1 above L2, ni >= 0, and
// the period Tp above 0; a level that fails is marked Refused and named in
// a message ("Fehler : Lastkollektiv Stufe i: L < Lc !" ...). Then per
// usable level the corrected stresses at its two lengths, the permissible
// stroke there and the cycles to fracture Nni by the law of the spring's
// own life (N = 10^X at the permissible stroke); a level whose stroke does
// not exceed its permissible stroke is fatigue-proof and does no damage,
// the others Damage = ni/Nni. Then the damage per period D = sum of
// Damage, Np = 1/D, Nn = Np np, FatigueProof when D = 0, and with Tp > 0
// tN = Np Tp/3600 h and tNi = Nni Tp/(ni 3600) h. np is always the sum of
// the strokes; the spectrum's life stays 0 with a refused level, and every
// life value for a static spring, without fatigue data or after a fatal
// error.
void LoadSpectrumLife(Real tauoz, Real tauh0, Real slope);

// Name, moduli and density of the material record into the spring data;
// MaterialSel and MaterialStd := 0.
void CopyMaterialToSpring();
// The failures of the material's strength and relaxation tables into the
// message list again (its reset at the start of a calculation clears them).
void AddMaterialTableMessages();
// The relaxation of a table material whose relaxation table could not be
// read: not known.
bool RelaxationUnknown();

// The relaxation record from the 22 fields of a relaxation table row, each
// given as its text by field (1-based); texts that do not convert give 0.
void ReadRelaxationFields(const std::function<std::string(int)>& field);

// The relaxation dF/F2 in per cent after 48 hours at shear stress tau,
// temperature T and wire diameter d, from the relaxation record: each of
// its four curves (T1, d1), (T1, d2), (T2, d1), (T2, d2) is the power law
// through its two points, taken at tau; between the two diameters and
// between the two temperatures linear, beyond them the nearer curve. 0
// without a record or a usable curve.
Real RelaxationLoss(Real tau, Real T, Real d);

// Name of the key field (field 27) of the table in the table browser.
std::string MaterialKeyFieldName();

}  // namespace zeb
