// The plotting routines of the engineering diagrams. Each draws into the
// open output and, where it has one, the plot frame the dispatcher set up
// (world coordinates in mm, N, N/mm², Nmm, N/mm and °C).
#pragma once
#include <array>
#include <cmath>
#include <string>

#include "base/types.h"

namespace zeb {

// Characteristic lines.
void DrawToleranceMark(Real x, Real F, Real w, Real minus, Real plus);
void DrawWorkingPointsBlock();

// Buckling, force over temperature, work, stress and transverse load.
void DrawBucklingDiagram();
Real ForceAtTemperature(Real s, Real T);
void DrawForceTemperatureCurve(Real s);
Real SpringWorkAt(Real s);
void DrawSpringWork();
void DrawStressDeflection();
Real TransverseFrequencyAt(Real s);
// mode 0 deflection sQ, 1 rate Rq, 2 natural frequency fq.
void DrawTransverseDiagram(int mode);

// Material diagrams.
void DrawKFactorDiagram(Real w);
void DrawGTDiagram();
Real TauZulOfD(Real d);
void DrawTauDDiagram(Real dmax);
void DrawRmDQuick();
int CountRmTableValues();
// Wire diameters in hundredths of a millimetre indexing the tensile-strength
// tables; a slot of 0 is no diameter.
std::array<int, 94>& StandardDiameterSteps();

// Frequency response.
Real ResponseFactor(Real f, Real f0);
void DrawFrequencyResponse(Real f0);

// Relaxation.
// The relaxation row of the material (Tables().LoadRelaxationRow).
void OpenRelaxationTable(int materialNumber);
void RelaxationPowerCurve(int marker, Real x0, Real y0, Real x1, Real y1);
// kind 1 relaxation over stress, 2 progress over time, 3 force over time.
void DrawRelaxationDiagram(int kind, Real F2, Real L2, Real L0, Real R);

// Load spectrum.
void DrawLoadSpectrumSheet(int cadCode, Real L0, Real sc);
void LoadSpectrumLayout(int titleFlag, Real L0, Real sc);

// Fatigue diagrams.
void FatigueTextBlock(Real tauo0, Real tauoz, Real m);
// The top of the line below the last text block of FatigueTextBlock.
Real FatigueTextBlockBottom();

// Sampling loops: value v from start, v := next(v) each pass, body(v),
// ending after the first v at or above end (above end when inclusive). Runs
// only while the step moves the value and at most 100,000 passes.
template <class Next, class Body>
void SampleUpTo(Real start, Real end, Next next, Body body, bool inclusive = false) {
  Real v = start;
  for (long k = 0; k < 100000; ++k) {
    const Real nv = next(v);
    if (!(nv > v) || !std::isfinite(nv)) return;
    v = nv;
    body(v);
    if (inclusive ? !(v <= end) : !(v < end)) return;
  }
}

}  // namespace zeb
