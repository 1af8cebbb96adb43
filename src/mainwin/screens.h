// The input screens of the three calculation modes on the online input
// form: recalculation, dimensioning (with the interval searches and the
// wire estimate) and pre-dimensioning (on the current material, or on a
// material given by its shear modulus). Each loops over runs of the form,
// recalculating after every accepted entry, until Esc or "&Schließen".
#pragma once
#include <string>

#include "base/types.h"

namespace zeb {

void InputRecalculation();
void InputDimensioning();
void InputPreDimensioning();
// Pre-dimensioning on the current material: forces, stroke, Dm/d and the
// stress ratio in; wire, coil diameter and L2 found by RunPreDimensioning.
void InputPreDimensioningMode();

void FillRecalculationEdits();
void FillDimensioningEdits();
void FillPreDimensioningEdits();

// The force at which the uncorrected shear stress reaches tau zul.
Real ForceAtTauZul();
// The wire estimate of the dimensioning screen ("*"). Passes whose values
// are not all finite, or give no coils, are not taken.
void EstimateWireDiameterForL2();
bool DesignValuesPositive();

// The recalculation screen's 12 output rows for the current data set
// (names, values and units as the form shows them, code page 850).
struct OutputRow {
  std::string name, value, unit;
};
struct OutputRows {
  int count = 0;
  OutputRow row[13];
};
OutputRows RecalculationOutputs();

// Passes of the last search of the dimensioning screen (tests, bench).
int LastSearchPasses();

}  // namespace zeb
