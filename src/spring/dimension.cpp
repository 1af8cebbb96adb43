#include "spring/dimension.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "spring/calc.h"
#include "spring/formulas.h"
#include "spring/calc_common.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
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

// The data set calculated at wire d.
void CalculateAt(Real d) {
  SpringDataRecord& s = SpringData();
  s.d = d;
  DeriveDiameters(s.DiameterGiven);
  RunCalculationFlagged();
}

// Wire d leaves the coil of the given diameter an inside diameter.
bool LeavesCoil(Real d) {
  const SpringDataRecord& s = SpringData();
  switch (s.DiameterGiven) {
    case 1: return s.De - 2.0L * d > 0.0L;
    case 2: return s.Di > 0.0L;
    case 3: return s.Dm - d > 0.0L;
    default: return true;
  }
}

// The series wires a design may end on: those that leave a coil.
std::span<const Real> CandidateWires() {
  const auto series = StandardWireDiameters(SpringData().WireStd);
  std::size_t count = 0;
  while (count < series.size() && LeavesCoil(series[count])) ++count;
  return series.first(count);
}

// A calculation stopped because the wire is too big for the coil diameter
// or the length: no diameter left inside, or the solid length beyond L0.
bool StoppedByWireSize() {
  const SpringDataRecord& s = SpringData();
  return FlagSet() && (s.Dm <= 0.0L || s.Di <= 0.0L || (s.Lc > 0.0L && s.sc <= 0.0L));
}

bool SpringSound() { return !FlagSet() && !SpringTooWeak() && !SpringDoesNotFit(); }

// The wires of the series for the forces of the data set: the smallest the
// stresses allow and the largest above it that still fits, as places among
// the candidates. Both tests are searched by halving over the whole series
// (the stresses fall and the solid length grows with d), so the result does
// not depend on the wire the data set held before.
struct WirePair {
  std::span<const Real> wires;
  std::size_t stress = 0;  // wires.size() when none holds
  std::size_t space = 0;   // one past the largest that fits, from stress on
  bool Any() const { return stress < wires.size(); }
  bool Feasible() const { return stress < space; }
  Real Stress() const {
    if (Any()) return wires[stress];
    return wires.empty() ? StandardWireDiameters(SpringData().WireStd).front() : wires.back();
  }
  Real Space() const {
    if (space > 0 && space <= wires.size()) return wires[space - 1];
    return 0.0L;
  }
};

WirePair FindWires() {
  WirePair p;
  p.wires = CandidateWires();
  std::size_t lo = 0, hi = p.wires.size();
  while (lo < hi) {
    const std::size_t middle = (lo + hi) / 2;
    CalculateAt(p.wires[middle]);
    if (SpringTooWeak()) lo = middle + 1; else hi = middle;
  }
  p.stress = lo;
  hi = p.wires.size();
  while (lo < hi) {
    const std::size_t middle = (lo + hi) / 2;
    CalculateAt(p.wires[middle]);
    if (SpringDoesNotFit()) hi = middle; else lo = middle + 1;
  }
  p.space = lo;
  return p;
}

// The first sound spring of the pair's wires from the stress wire on, at
// most two series steps above it (the stresses need not fall steadily);
// the data set is left calculated at it. False when none is sound.
bool SettleSound(const WirePair& p) {
  for (std::size_t i = p.stress; i < p.wires.size() && i < p.stress + 3; ++i) {
    CalculateAt(p.wires[i]);
    if (SpringSound()) return true;
  }
  return false;
}

// The largest ratio of a stress of the stress test to its limit; 0 without
// a permissible stress.
Real WorstStressRatio() {
  const SpringDataRecord& s = SpringData();
  if (!(s.tauzul > 0.0L)) return 0.0L;
  Real ratio = s.taun / s.tauzul;
  if (s.WarningsOn == 1) ratio = MaxExt(ratio, s.tauc / s.tauzul);
  if (s.LoadType == 2) {
    ratio = MaxExt(ratio, s.tauk2 / s.tauzul);
    if (s.tauhzul > 0.0L) ratio = MaxExt(ratio, s.taukh / s.tauhzul);
    // Fatigue limit passed at the lower stress: the wire must take it.
    if (s.tauhzul < 0.0L) ratio = MaxExt(ratio, s.tauoz > 0.0L ? s.tauk1 / s.tauoz : 1.5L);
  }
  return ratio;
}

// The spring of the data set written as a spring file is read back.
bool ReadsBack() { return SpringFileReadsBack(CurrentSpringFileRecords()); }

// The end of a design. Without a sound spring, or with one the spring file
// cannot hold, "No Solution", and the data set the design started from
// (the user's spring at the duty as typed) comes back, calculated.
void EndDesign(const SpringGlobals& start, bool sound) {
  if (sound && SpringSound() && ReadsBack()) return;
  SG() = start;
  FinalCalculation();
  NoSolution();
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
  // A round section's h is its d (an earlier spring's h may be left).
  if (s.CrossSection != 2 && s.CrossSection != 4) s.h = s.d;
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
  // The estimate's own stress: a law material's starts from 800 whatever
  // the last spring had; an own material's tau zul is the user's and stays
  // as typed.
  const bool law = s.MaterialSel < 11;
  Real tau = law ? 800.0L : s.tauzul > 0.0L ? s.tauzul : 500.0L;
  for (int round = 0; round < 6; ++round) {
    s.d = PowerChecked(kEightByPi * s.F2 * s.Dm / tau, 1.0L / 3.0L, "IterateWireDiameter");
    if (s.DiameterGiven == 1)
      s.Dm = s.De - s.d;
    else if (s.DiameterGiven == 2)
      s.Dm = s.Di + s.d;
    if (s.Dm <= 0.0L) return PostFatal("Fatal  : Dm <= 0 !");
    if (!law) continue;
    ComputeRmAndTauZul();
    if (FlagSet()) return;
    // Without a permissible stress the estimate goes on with the start value.
    tau = s.tauzul > 0.0L ? s.tauzul : 500.0L;
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

// A spring whose calculation stopped on a fatal input does not fit; its
// stresses are partly unknown, so it counts as too weak unless the wire
// was too big for the spring at all.
bool SpringTooWeak() {
  if (FlagSet()) return !StoppedByWireSize();
  const SpringDataRecord& s = SpringData();
  const bool dynamic = s.LoadType == 2;
  // A negative permissible stroke: the lower stress is past the fatigue
  // limit already.
  return s.tauzul < s.taun || (s.WarningsOn == 1 && s.tauc != 0.0L && s.tauzul < s.tauc) ||
         (dynamic && s.tauzul < s.tauk2) ||
         (dynamic && (s.tauhzul < 0.0L || (0.0L < s.tauhzul && s.tauhzul < s.taukh)));
}

bool SpringDoesNotFit() {
  if (FlagSet()) return true;
  const SpringDataRecord& s = SpringData();
  return s.L2 < s.Ln || s.Fc < s.F2 + s.TolF2 ||
         (s.Fn < s.F2 + s.TolF2 && s.LoadType == 2 && s.WarningsOn == 1);
}

Real WireForStress() { return FindWires().Stress(); }

Real WireForSpace() { return FindWires().Space(); }

void DimensionF1F2() {
  const SpringGlobals start = SG();
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  const bool sound = SettleSound(FindWires());
  if (sound) {
    DeriveDiameters(s.DiameterGiven);
    RunCalculation();
    NoteWireAboveSeries();
  }
  EndDesign(start, sound);
}

namespace {

// The force inputs 2, 3 and 5 search one force while the other stays; on
// the way to the better end of its bracket (the smaller or larger rate) one
// test gets harder and the other easier: the stresses for input 5, the room
// for inputs 2 and 3. The search notes every sound spring it
// calculates and keeps the best; when its own end is not sound the best one
// takes its place, and when it met none each series wire the stresses may
// need is tried on its own. "No Solution" only when no sound spring was
// found.
class ForceSearch {
 public:
  ForceSearch(Real SpringDataRecord::*force, bool larger, bool stressLimits)
      : force_(force), larger_(larger), stressLimits_(stressLimits) {}

  Real& Force() { return SpringData().*force_; }

  // The spring of the data set as just calculated.
  void Note() {
    if (!SpringSound()) return;
    const Real f = Force();
    if (found_ && (larger_ ? f <= best_ : f >= best_)) return;
    found_ = true;
    best_ = f;
    bestD_ = SpringData().d;
  }

  // The end of the search with its final calculation; true on a sound
  // spring.
  bool Finish(Real lo, Real hi) {
    FinalCalculation();
    if (SpringSound()) return true;
    SpringDataRecord& s = SpringData();
    const Real endForce = Force(), endD = s.d;
    if (!found_) TryWires(lo, hi);
    if (found_) {
      Force() = best_;
      s.d = bestD_;
    } else {
      Force() = endForce;
      s.d = endD;
    }
    FinalCalculation();
    return found_;
  }

 private:
  bool LimitFails() { return stressLimits_ ? SpringTooWeak() : SpringDoesNotFit(); }

  // The series wires between those the stresses need near the two ends of
  // the bracket, each at the force where its harder test reaches its
  // limit. The first that is sound there is the best: from the largest
  // wire down where the stresses limit, from the smallest up otherwise.
  void TryWires(Real lo, Real hi) {
    if (!(hi > lo)) return;
    const Real inset = (hi - lo) / 64.0L;
    Force() = lo + inset;
    const WirePair atLo = FindWires();
    Force() = hi - inset;
    const WirePair atHi = FindWires();
    if (!atLo.Any() && !atHi.Any()) return;
    const Real a = atLo.Stress(), b = atHi.Stress();
    const Real thin = MinExt(a, b), thick = MaxExt(a, b);
    std::vector<Real> wires;
    for (const Real d : atLo.wires)
      if (d >= thin && d <= thick) wires.push_back(d);
    if (stressLimits_) std::reverse(wires.begin(), wires.end());
    for (const Real d : wires)
      if (TryWire(d, lo, hi)) return;
  }

  // Wire d at the force nearest the better end where the harder test
  // still passes; true when that spring is sound.
  bool TryWire(Real d, Real lo, Real hi) {
    Real better = larger_ ? hi : lo, worse = larger_ ? lo : hi;
    Force() = better;
    CalculateAt(d);
    Note();
    if (!LimitFails()) return SpringSound();
    for (int round = 0; round < 10; ++round) {
      Force() = (better + worse) / 2.0L;
      CalculateAt(d);
      Note();
      if (LimitFails()) better = Force(); else worse = Force();
    }
    Force() = worse;
    CalculateAt(d);
    Note();
    return SpringSound();
  }

  Real SpringDataRecord::*force_;
  bool larger_, stressLimits_;
  bool found_ = false;
  Real best_ = 0.0L, bestD_ = 0.0L;
};

// The largest force F2 a sound spring of the candidate wires can carry:
// tau2 stays below tau zul (a spring that fits reaches its largest stress
// of the test at Ln, beyond L2), with room for a transverse load.
Real StressForceBound() {
  SpringDataRecord& s = SpringData();
  const SpringDataRecord kept = s;
  Real bound = 0.0L;
  for (const Real d : CandidateWires()) {
    s.d = d;
    DeriveDiameters(s.DiameterGiven);
    ComputeRmAndTauZul();
    if (s.Dm > 0.0L && s.tauzul > 0.0L) bound = MaxExt(bound, kPi * d * d * d * s.tauzul / (8.0L * s.Dm));
  }
  s = kept;
  G().FatalErrorFlag = 0;
  return 2.0L * bound;
}

}  // namespace

void DimensionF2RMin() {
  const SpringGlobals start = SG();
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  ForceSearch search(&SpringDataRecord::F1, true, false);
  const Real bracketLo = 0.0L, bracketHi = s.F2;
  Real lo = bracketLo, hi = bracketHi;
  int rounds = 0;
  for (;;) {
    ++rounds;
    s.F1 = (lo + hi) / 2.0L;
    const WirePair wires = FindWires();
    s.d = wires.Stress();
    if (wires.Feasible()) {
      CalculateAt(s.d);
      search.Note();
      lo = s.F1;
    } else {
      hi = s.F1;
    }
    if (rounds >= 11 || !(wires.Any() && wires.stress + 1 < wires.space)) break;
  }
  if (rounds < 11) {
    for (int round = 0; round < 9; ++round) {
      s.F1 = (lo + hi) / 2.0L;
      RunCalculationFlagged();
      search.Note();
      if (SpringDoesNotFit()) hi = s.F1; else lo = s.F1;
    }
    s.F1 = s.F1 - 0.001L * s.F2;
  }
  EndDesign(start, search.Finish(bracketLo, bracketHi));
}

void DimensionF1RMin() {
  const SpringGlobals start = SG();
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  ForceSearch search(&SpringDataRecord::F2, false, false);
  const Real bracketLo = s.F1, bracketHi = 3.0L * s.F1;
  Real lo = bracketLo, hi = bracketHi;
  int rounds = 0;
  for (;;) {
    ++rounds;
    s.F2 = (lo + hi) / 2.0L;
    const WirePair wires = FindWires();
    s.d = wires.Stress();
    if (wires.Feasible()) {
      CalculateAt(s.d);
      search.Note();
      hi = s.F2;
    } else {
      lo = s.F2;
    }
    if (rounds >= 11 || !(wires.Any() && wires.stress + 1 < wires.space)) break;
  }
  if (rounds < 11) {
    for (int round = 0; round < 9; ++round) {
      s.F2 = (lo + hi) / 2.0L;
      RunCalculationFlagged();
      search.Note();
      if (SpringDoesNotFit()) lo = s.F2; else hi = s.F2;
    }
    s.F2 = s.F2 + 0.001L * s.F2;
  }
  EndDesign(start, search.Finish(bracketLo, bracketHi));
}

void DimensionF2RMax() {
  const SpringGlobals start = SG();
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  ForceSearch search(&SpringDataRecord::F1, false, true);
  const Real bracketLo = 0.0L, bracketHi = s.F2;
  Real lo = bracketLo, hi = bracketHi;
  bool feasible = false;
  for (int round = 0; round < 11; ++round) {
    s.F1 = round == 0 ? 0.0L : (lo + hi) / 2.0L;
    const WirePair wires = FindWires();
    s.d = wires.Stress();
    RunCalculationFlagged();
    search.Note();
    feasible = wires.Feasible();
    if (SpringTooWeak() || !feasible) lo = s.F1; else hi = s.F1;
  }
  if (feasible) {
    if (s.F1 <= 0.0001L * s.F2)
      s.F1 = 0.0L;
    else
      s.F1 = s.F1 + 0.0001L * s.F2;
  }
  EndDesign(start, search.Finish(bracketLo, bracketHi));
}

// F2 above F1: a rate of 0 or less is no spring. On a given wire a larger
// F2 raises the stresses and leaves more room (fewer coils for the larger
// rate): its best F2 is the one where the stresses reach their limit, and
// it is sound there when the spring fits. The thicker the wire the larger
// that force, so the wires are tried from the thickest down, starting
// with the thickest that fits at the largest force any wire can carry.
void DimensionF1RMax() {
  const SpringGlobals start = SG();
  SpringDataRecord& s = SpringData();
  G().FatalErrorFlag = 0;
  const Real base = MaxExt(s.F1, 0.0L);
  const Real top = StressForceBound();
  const auto wires = CandidateWires();
  // The wires that fit at that force: up to the first that does not.
  std::size_t fitting = 0, beyond = wires.size();
  s.F2 = top;
  while (top > base && fitting < beyond) {
    const std::size_t middle = (fitting + beyond) / 2;
    CalculateAt(wires[middle]);
    if (SpringDoesNotFit()) beyond = middle; else fitting = middle + 1;
  }
  bool sound = false;
  for (std::size_t i = fitting; i-- > 0 && !sound;) {
    const Real d = wires[i];
    s.F2 = top;
    CalculateAt(d);
    if (SpringDoesNotFit()) continue;
    Real lo = base, hi = top;
    // A round wire holds no more than tau2 = tau zul: a wire that does not
    // fit there does not fit where its stresses reach their limit.
    if (s.CrossSection == 1 && SpringTooWeak() && s.tauzul > 0.0L && s.Dm > 0.0L) {
      const Real most = kPi * d * d * d * s.tauzul / (8.0L * s.Dm);
      if (!(most > base)) continue;
      if (most < top) {
        s.F2 = hi = most;
        CalculateAt(d);
        if (SpringDoesNotFit()) continue;
      }
    }
    if (SpringTooWeak()) {
      for (int round = 0; round < 20; ++round) {
        s.F2 = (lo + hi) / 2.0L;
        CalculateAt(d);
        if (SpringTooWeak()) hi = s.F2; else lo = s.F2;
      }
    } else {
      lo = hi;
    }
    if (!(lo > base)) continue;
    s.F2 = lo;
    CalculateAt(d);
    sound = SpringSound();
  }
  if (sound) FinalCalculation();
  EndDesign(start, sound);
}

Real MaxForceForSpace() {
  SpringDataRecord& s = SpringData();
  // The duty's own modulus and diameter, not the last calculation's.
  s.GT = ShearModulusAtTemp(s.G, s.T);
  s.d = 0.0L;
  DeriveDiameters(s.DiameterGiven);
  s.d = 0.25L * s.Dm;
  for (;;) {
    const Real next = s.d - 0.05L;
    if (next <= 0.05L || next == s.d) return 0.0L;
    s.d = next;
    DeriveDiameters(s.DiameterGiven);
    if (s.Dm <= 0.0L) return 0.0L;
    ComputeRmAndTauZul();
    if (FlagSet()) return 0.0L;
    s.n = s.L2 / s.d - s.EndCoils[0];
    const Real Sa = MinimumGapSum(s.CoilingKind, s.LoadType, s.n, s.d, s.Dm);
    s.n = (s.L2 - 1.2L * Sa) / s.d - s.EndCoils[0];
    // A wire too thick for L2 leaves no coil: thinner ones are tried, in
    // the same steps, from the first that could give one on.
    if (s.n <= 0.0L) {
      if (s.Dm / s.d > 16.0L) return 0.0L;
      const Real thickest = s.L2 / (MaxExt(s.EndCoils[0], 0.0L) + 1.0L);
      if (s.d - thickest > 0.1L) s.d -= 0.05L * std::floor((s.d - thickest) / 0.05L - 1.0L);
      continue;
    }
    s.F2 = s.GT * s.d * s.d * s.d * s.d * s.sh / (8.0L * s.Dm * s.Dm * s.Dm * s.n);
    s.tau2 = 8.0L * s.F2 * s.Dm / (kPi * s.d * s.d * s.d);
    s.L0 = s.s2 + s.L2;
    s.Lc = s.d * (s.EndCoils[0] + s.n);
    s.Ln = Sa + s.Lc;
    if ((s.tau2 < s.tauzul && s.Ln < s.L2) || s.Dm / s.d > 16.0L) return s.F2;
  }
}
namespace {

// The end of pre-dimensioning. No round could run (no permissible stress):
// "No Solution" on the spring the rounds would have started from. A spring
// the spring file (and so the screens) cannot hold, or one with no length,
// is not kept: "No Solution" and the spring as it was.
void EndPreDimensioning(const SpringGlobals& start, bool designed) {
  const SpringDataRecord& s = SpringData();
  if (s.L2 > 0.0L && s.L0 > 0.0L && ReadsBack()) {
    if (!designed) NoSolution();
    return;
  }
  SG() = start;
  RunCalculationFlagged();
  NoSolution();
}

}  // namespace

void RunPreDimensioning() {
  const SpringGlobals start = SG();
  SpringDataRecord& s = SpringData();
  if (s.Point1Off == 1) ResetFirstPoint();
  const bool noDiameter = s.Dm < 0.001L || s.De < 0.001L || s.Di < 0.001L;
  if (noDiameter) s.Dm = 25.0L;
  if (s.L2 < 0.001L) s.L2 = 50.0L;
  // The start wire is the estimate for the duty whatever wire the spring
  // had, thin enough to leave the given diameter a coil (a hot-coiled
  // series starts at 7 mm).
  const Code given = s.DiameterGiven;
  if (noDiameter) s.DiameterGiven = 3;
  // A section with its own height keeps its shape: h grows with d (with h
  // held, the stresses of a flat section would not fall as d grows).
  const bool ownHeight = s.CrossSection == 2 || s.CrossSection == 4;
  const Real aspect = ownHeight && s.d > 0.0L && s.h > 0.0L ? s.h / s.d : 1.0L;
  const Real w = s.PreW;
  auto place = [&](Real d) {
    s.d = d;
    if (ownHeight) s.h = aspect * d;
    s.Dm = w * d;
    s.De = d + s.Dm;
    s.Di = s.Dm - d;
  };
  s.d = s.h = 0.0L;
  DeriveDiameters(s.DiameterGiven);
  G().FatalErrorFlag = 0;  // a flag of the last calculation would cut the estimate short
  IterateWireDiameter();
  G().FatalErrorFlag = 0;
  if (s.d > 10.0L) s.d = 5.0L;
  if (!(s.d > 0.0L) || !LeavesCoil(s.d)) {
    const Real w = MaxExt(s.PreW, 2.0L);
    s.d = s.DiameterGiven == 1 ? s.De / (w + 1.0L) : s.DiameterGiven == 2 ? s.Di / (w - 1.0L) : s.Dm / w;
  }
  DeriveDiameters(s.DiameterGiven);
  s.DiameterGiven = given;
  s.De = s.d + s.Dm;
  s.Di = s.Dm - s.d;
  if (ownHeight) s.h = aspect * s.d;
  RunCalculationFlagged();
  const Real k = StressCorrectionFactor(w);
  bool designed = false;
  for (int round = 0; round < 5; ++round) {
    // A wire too thick for the last L2 still gives the values of a round.
    if (FlagSet() && !StoppedByWireSize()) break;
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
    place(std::sqrt(load * 8.0L / (target * kPi)));
    // Only a length the spring has: a stopped calculation leaves Ln 0.
    if (s.R != 0.0L) {
      const Real L2 = RoundToDecimals(1, s.Ln + 1.1L * s.TolF2 / s.R);
      if (s.Ln > 0.0L && L2 > 0.0L) s.L2 = L2;
    }
    RunCalculationFlagged();
      designed = true;
  }
  if (!designed || !(w > 1.0L)) return EndPreDimensioning(start, designed);
  // The rounds aim at the stresses and at L2 of the last wire; they need
  // not meet them. The wire grows (Dm with it) until the stresses hold, and
  // L2 is rounded up to the room the spring needs.
  for (int round = 0; round < 8; ++round) {
    if ((FlagSet() && !StoppedByWireSize()) || SpringSound()) break;
    if (!FlagSet() && SpringTooWeak()) {
      const Real ratio = WorstStressRatio();
      if (!(ratio > 1.0L)) break;
      place(s.d * std::sqrt(ratio) * 1.02L);
      RunCalculationFlagged();
      if (FlagSet() && !StoppedByWireSize()) break;
    }
    if (!(s.R > 0.0L) || !(s.Ln > 0.0L)) break;
    s.L2 = MaxExt(std::ceil(10.0L * (s.Ln + 1.1L * s.TolF2 / s.R)) / 10.0L, 0.1L);
    RunCalculationFlagged();
  }
  EndPreDimensioning(start, true);
}

}  // namespace zeb
