#include "spring/dimension.h"

#include <cmath>
#include <string_view>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "spring/calc.h"
#include "spring/formulas.h"
#include "spring/calc_common.h"
#include "spring/spring_data.h"
#include "spring/strength.h"
#include "spring/wirestd.h"

namespace zeb {

namespace {

using namespace calc_common;

void NoSolution() { ShowError("No Solution"); }

// The final calculation empties the message list: a result above the wire
// series gets its note again.
void NoteWireAboveSeries() {
  const SpringDataRecord& s = SpringData();
  const auto series = StandardWireDiameters(s.WireStd);
  if (!series.empty() && s.d > series.back()) StandardWireDiameter(s.WireStd, kWireRoundUp, s.d);
}

void FinalCalculation() {
  DeriveDiameters(SpringData().DiameterGiven);
  CalculateSpring();
  NoteWireAboveSeries();
}

// Rate from the geometry; 0 after a fatal text.
Real GeometryRate() {
  const SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  if (s.d <= 0.0L) { PostFatal("Fatal  : d <= 0 !"); return 0.0L; }
  if ((cs == 2 || cs == 4) && s.h <= 0.0L) { PostFatal("Fatal  : h <= 0 !"); return 0.0L; }
  if (s.Dm <= 0.0L) { PostFatal("Fatal  : Dm <= 0 !"); return 0.0L; }
  if (s.n <= 0.0L) { PostFatal("Fatal  : n <= 0 !"); return 0.0L; }
  if (s.GT <= 0.0L) { PostFatal("Fatal  : G <= 0 !"); return 0.0L; }
  const Real Dm3n = s.Dm * s.Dm * s.Dm * s.n;
  switch (cs) {
    case 2: return kFourByPi * s.GT * EllipseTorsionConstant(s.h, s.d) / Dm3n;
    case 3:
    case 4: return kFourByPi * s.GT * RectangleTorsionConstant(s.h, s.d) / Dm3n;
    case 7: return kFourByPi * s.GT * TubePolarMoment(s.d, s.di) / Dm3n;
    default: return s.GT * s.d * s.d * s.d * s.d / (8.0L * Dm3n);
  }
}

enum class Bisect { kStress, kSpace };

// Bisection of d over [0.5, 3] times the estimate; the result is the
// bracket end that passed, rounded to the wire series (up for the stress
// test, one step down for the space test).
Real BisectWire(Bisect kind) {
  SpringDataRecord& s = SpringData();
  // A flag left by an earlier calculation would cut the estimate short.
  G().FatalErrorFlag = 0;
  if (MaterialSource() != 0) s.tauzul = 800.0L;
  DeriveDiameters(s.DiameterGiven);
  IterateWireDiameter();
  const Real d0 = s.d;
  Real lo = 0.5L * d0, hi = 3.0L * d0;
  for (int round = 0; round < 11; ++round) {
    s.d = (lo + hi) / 2.0L;
    DeriveDiameters(s.DiameterGiven);
    RunCalculationFlagged();
    if (kind == Bisect::kStress) {
      if (SpringTooWeak()) lo = s.d; else hi = s.d;
    } else {
      if (SpringDoesNotFit()) hi = s.d; else lo = s.d;
    }
  }
  if (kind == Bisect::kStress) return StandardWireDiameter(s.WireStd, kWireRoundUp, hi);
  return StandardWireDiameter(s.WireStd, kWireStepDown, lo);
}

}  // namespace

void ResetFirstPoint() {
  SpringDataRecord& s = SpringData();
  s.F1 = 0.0L;
  s.s1 = 0.0L;
  s.L1 = s.L0;
}

void DeriveDiameters(int given) {
  SpringDataRecord& s = SpringData();
  switch (given) {
    case 1:
      s.Dm = s.De - s.d;
      s.Di = s.De - 2.0L * s.d;
      break;
    case 2:
      s.Dm = s.Di + s.d;
      s.De = s.Di + 2.0L * s.d;
      break;
    case 3:
      s.De = s.Dm + s.d;
      s.Di = s.Dm - s.d;
      break;
    default: break;
  }
}

void ComputeRmAndTauZul() {
  SpringDataRecord& s = SpringData();
  if (s.MaterialSel >= 11) return;
  s.Rm = MaterialRmOfD(MaxExt(s.d, s.h));
  if (s.Rm <= 0.1L) {
    AddErrorMessage("Fatal  : Rm = 0 !");
    // No strength: no permissible stress from it, and none of an earlier
    // material; hot coiling gives one without Rm.
    s.Rm = 0.0L;
    s.tauzul = s.CoilingKind >= 2 && s.d > 0.0L ? 840.0L - 250.0L * Log10Ext(0.05L * s.d) : 0.0L;
    return;
  }
  if (s.CoilingKind >= 2)
    s.tauzul = MinExt(0.56L * s.Rm, 840.0L - 250.0L * Log10Ext(0.05L * s.d));
  else
    s.tauzul = 0.56L * s.Rm;
}

void IterateWireDiameter() {
  SpringDataRecord& s = SpringData();
  if (s.Dm <= 0.0L) return PostFatal("Fatal  : Dm <= 0 !");
  if (s.F2 <= 0.0L) return PostFatal("Fatal  : F2 <= 0 !");
  if (s.tauzul == 0.0L) s.tauzul = 500.0L;
  for (int round = 0; round < 6; ++round) {
    s.d = PowerChecked(kEightByPi * s.F2 * s.Dm / s.tauzul, 1.0L / 3.0L, "IterateWireDiameter");
    if (s.DiameterGiven == 1)
      s.Dm = s.De - s.d;
    else if (s.DiameterGiven == 2)
      s.Dm = s.Di + s.d;
    if (s.Dm <= 0.0L) return PostFatal("Fatal  : Dm <= 0 !");
    ComputeRmAndTauZul();
    if (FlagSet()) return;
    // Without a permissible stress the estimate goes on with the start value.
    if (!(s.tauzul > 0.0L)) s.tauzul = 500.0L;
  }
  s.d = StandardWireDiameter(s.WireStd, kWireRoundUp, s.d);
  DeriveDiameters(s.DiameterGiven);
}

void DeriveRateAndForces() {
  SpringDataRecord& s = SpringData();
  const Real Rg = GeometryRate();
  if (FlagSet()) return;
  switch (s.RateInput) {
    case 1:
      s.R = Rg;
      s.F1 = s.R * s.s1;
      s.F2 = s.R * s.s2;
      break;
    case 2:
      s.s1 = s.F1 / Rg;
      if (s.s1 <= 0.0L) return PostFatal("Fatal  : s1 <= 0 !");
      s.R = s.F1 / s.s1;
      s.s2 = s.sh + s.s1;
      s.F2 = s.s2 * s.R;
      break;
    case 3:
      if (s.F2 <= 0.0L) return PostFatal("Fatal  : F2 <= 0 !");
      s.s2 = s.F2 / Rg;
      s.R = s.F2 / s.s2;
      s.s1 = s.s2 - s.sh;
      s.F1 = s.s1 * s.R;
      break;
    case 4:
      s.R = Rg;
      s.s1 = s.F1 / s.R;
      s.s2 = s.F2 / s.R;
      s.sh = s.s2 - s.s1;
      s.L0 = s.s2 + s.L2;
      s.L1 = s.sh + s.L2;
      break;
    default: break;
  }
}

void RunRecalculation() {
  SpringDataRecord& s = SpringData();
  if (s.Point1Off == 1) ResetFirstPoint();
  if (s.CrossSection == 1 || s.CrossSection == 3 || s.CrossSection == 7) s.h = s.d;
  if (s.CrossSection == 7 && s.d <= s.di) s.di = 0.0L;
  s.GT = ShearModulusAtTemp(s.G, s.T);
  if (s.L2 == 0.0L) s.L2 = 0.8L * s.L0;
  if (s.L1 == 0.0L) s.L1 = s.L0;
  s.sh = s.L1 - s.L2;
  DeriveDiameters(s.DiameterGiven);
  s.s2 = s.L0 - s.L2;
  s.s1 = s.s2 - s.sh;
  DeriveRateAndForces();
  CalculateSpring();
}

// A spring whose calculation stopped on a fatal input neither holds nor
// fits: its stresses and lengths are partly those of an earlier run.
bool SpringTooWeak() {
  if (FlagSet()) return true;
  const SpringDataRecord& s = SpringData();
  const bool dynamic = s.LoadType == 2;
  return s.tauzul < s.taun || (s.WarningsOn == 1 && s.tauc != 0.0L && s.tauzul < s.tauc) ||
         (dynamic && s.tauzul < s.tauk2) || (dynamic && 0.0L < s.tauhzul && s.tauhzul < s.taukh);
}

bool SpringDoesNotFit() {
  if (FlagSet()) return true;
  const SpringDataRecord& s = SpringData();
  return s.L2 < s.Ln || s.Fc < s.F2 + s.TolF2 ||
         (s.Fn < s.F2 + s.TolF2 && s.LoadType == 2 && s.WarningsOn == 1);
}

Real WireForStress() { return BisectWire(Bisect::kStress); }

Real WireForSpace() { return BisectWire(Bisect::kSpace); }

void DimensionF1F2() {
  SpringDataRecord& s = SpringData();
  s.d = BisectWire(Bisect::kStress);
  DeriveDiameters(s.DiameterGiven);
  RunCalculation();
  NoteWireAboveSeries();
}

void DimensionF2RMin() {
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  Real lo = 0.0L, hi = s.F2;
  int rounds = 0;
  for (;;) {
    ++rounds;
    s.F1 = (lo + hi) / 2.0L;
    const Real dS = WireForStress();
    const Real dL = WireForSpace();
    s.d = dS;
    if (dS <= dL) lo = s.F1; else hi = s.F1;
    if (rounds >= 11 || !(dS < dL)) break;
  }
  if (rounds >= 11) {
    NoSolution();
  } else {
    for (int round = 0; round < 9; ++round) {
      s.F1 = (lo + hi) / 2.0L;
      RunCalculationFlagged();
      if (SpringDoesNotFit()) hi = s.F1; else lo = s.F1;
    }
    s.F1 = s.F1 - 0.001L * s.F2;
  }
  FinalCalculation();
}

void DimensionF1RMin() {
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  Real lo = s.F1, hi = 3.0L * s.F1;
  int rounds = 0;
  for (;;) {
    ++rounds;
    s.F2 = (lo + hi) / 2.0L;
    const Real dS = WireForStress();
    const Real dL = WireForSpace();
    s.d = dS;
    if (dS <= dL) hi = s.F2; else lo = s.F2;
    if (rounds >= 11 || !(dS < dL)) break;
  }
  if (rounds >= 11) {
    NoSolution();
  } else {
    for (int round = 0; round < 9; ++round) {
      s.F2 = (lo + hi) / 2.0L;
      RunCalculationFlagged();
      if (SpringDoesNotFit()) lo = s.F2; else hi = s.F2;
    }
    s.F2 = s.F2 + 0.001L * s.F2;
  }
  FinalCalculation();
}

void DimensionF2RMax() {
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  Real lo = 0.0L, hi = s.F2;
  Real dS = 0.0L, dL = 0.0L;
  for (int round = 0; round < 11; ++round) {
    s.F1 = round == 0 ? 0.0L : (lo + hi) / 2.0L;
    dS = WireForStress();
    dL = WireForSpace();
    s.d = dS;
    RunCalculationFlagged();
    if (SpringTooWeak() || dL < dS) lo = s.F1; else hi = s.F1;
  }
  if (dS <= dL) {
    if (s.F1 <= 0.0001L * s.F2)
      s.F1 = 0.0L;
    else
      s.F1 = s.F1 + 0.0001L * s.F2;
  } else {
    NoSolution();
  }
  FinalCalculation();
}

void DimensionF1RMax() {
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  Real hi = MaxForceForSpace(), lo = 0.0L;
  if (FlagSet()) return;
  for (int round = 0; round < 16; ++round) {
    s.F2 = (lo + hi) / 2.0L;
    const Real dS = WireForStress();
    const Real dL = WireForSpace();
    s.d = dS;
    RunCalculationFlagged();
    if (SpringTooWeak() || dL < dS) hi = s.F2; else lo = s.F2;
  }
  s.F2 = s.F2 - 0.001L * s.F1;
  FinalCalculation();
}

Real MaxForceForSpace() {
  SpringDataRecord& s = SpringData();
  s.d = 0.25L * s.Dm;
  for (;;) {
    s.d = s.d - 0.05L;
    if (s.d <= 0.05L) return 0.0L;
    DeriveDiameters(s.DiameterGiven);
    if (s.Dm <= 0.0L) return 0.0L;
    ComputeRmAndTauZul();
    if (FlagSet()) return 0.0L;
    s.n = s.L2 / s.d - s.EndCoils[0];
    const Real Sa = MinimumGapSum(s.CoilingKind, s.LoadType, s.n, s.d, s.Dm);
    s.n = (s.L2 - 1.2L * Sa) / s.d - s.EndCoils[0];
    if (s.n <= 0.0L) return 0.0L;
    s.F2 = s.GT * s.d * s.d * s.d * s.d * s.sh / (8.0L * s.Dm * s.Dm * s.Dm * s.n);
    s.tau2 = 8.0L * s.F2 * s.Dm / (kPi * s.d * s.d * s.d);
    s.L0 = s.s2 + s.L2;
    s.Lc = s.d * (s.EndCoils[0] + s.n);
    s.Ln = Sa + s.Lc;
    if ((s.tau2 < s.tauzul && s.Ln < s.L2) || s.Dm / s.d > 16.0L) return s.F2;
  }
}

void RunPreDimensioning() {
  SpringDataRecord& s = SpringData();
  if (s.Point1Off == 1) ResetFirstPoint();
  if (s.Dm < 0.001L || s.De < 0.001L || s.Di < 0.001L) {
    s.Dm = 25.0L;
    // The other two follow, so the given one is consistent with Dm.
    s.De = s.Dm + s.d;
    s.Di = s.Dm - s.d;
  }
  if (s.L2 < 0.001L) s.L2 = 50.0L;
  if (s.d < 0.001L) {
    IterateWireDiameter();
    if (s.d > 10.0L) s.d = 5.0L;
    s.De = s.d + s.Dm;
    s.Di = s.Dm - s.d;
  }
  RunCalculationFlagged();
  const Real w = s.PreW;
  const Real k = StressCorrectionFactor(w);
  for (int round = 0; round < 5; ++round) {
    if (FlagSet()) break;
    Real target = 0.0L;
    if (s.LoadType == 1) {
      target = 0.7L * s.tauzul;
    } else if (k != 0.0L) {
      const Real plain = 0.7L * s.tauzul / k;
      if (s.tauhzul <= 0.0L || s.taukh <= s.tauhzul)
        target = plain;
      else
        target = MinExt(s.tauhzul * (s.tauzul / k) / s.taukh, plain);
    }
    const Real load = s.PreTauRatio * w * s.F2;
    if (!(target > 0.0L) || !(load > 0.0L)) break;
    s.d = std::sqrt(load * 8.0L / (target * kPi));
    s.Dm = w * s.d;
    s.De = s.d + s.Dm;
    s.Di = s.Dm - s.d;
    if (s.R != 0.0L) s.L2 = RoundToDecimals(1, s.Ln + 1.1L * s.TolF2 / s.R);
    RunCalculationFlagged();
  }
}

}  // namespace zeb
