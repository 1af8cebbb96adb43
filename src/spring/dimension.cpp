#include "spring/dimension.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/text.h"
#include "platform/oem_literal.h"
#include "spring/calc.h"
#include "spring/formulas.h"
#include "spring/calc_common.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/strength.h"
#include "spring/wirestd.h"

namespace zeb {

namespace {

using namespace calc_common;

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

// A calculation stopped because the wire is too big for the coil diameter
// or the length: no diameter left inside, or the solid length beyond L0.
bool StoppedByWireSize() {
  const SpringDataRecord& s = SpringData();
  return FlagSet() && (s.Dm <= 0.0L || s.Di <= 0.0L || (s.Lc > 0.0L && s.sc <= 0.0L));
}

// A sideways rate that is not above 0 at F1 or F2 under a transverse load:
// the spring gives way sideways, and its displacement, and the stresses
// taken with it, mean nothing.
bool SidewaysUnstable() {
  const TransverseLoadRecord& t = TransverseLoad();
  return t.FQ != 0.0L && !(t.Rq[1] > 0.0L && t.Rq[2] > 0.0L);
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

bool StressesPastTauZul() {
  const SpringDataRecord& s = SpringData();
  if (!(s.tauzul > 0.0L)) return false;
  // Each stress by its size: under a transverse load the stresses at F1
  // and F2 may pass the one at Ln (the load's lever grows with the length)
  // and may turn negative.
  const auto over = [&s](Real tau) { return !(std::fabs(tau) <= s.tauzul); };
  if (SidewaysUnstable() || over(s.taun) || (s.WarningsOn == 1 && s.tauc != 0.0L && over(s.tauc))) return true;
  return s.LoadType == 2 ? over(s.tauk1) || over(s.tauk2) : over(s.tau1) || over(s.tau2);
}

bool StrokePastTauhZul() {
  const SpringDataRecord& s = SpringData();
  return s.LoadType == 2 && 0.0L < s.tauhzul && s.tauhzul < std::fabs(s.taukh);
}

// A spring whose calculation stopped on a fatal input does not fit; its
// stresses are partly unknown, so it counts as too weak unless the wire
// was too big for the spring at all.
bool SpringTooWeak() {
  if (FlagSet()) return !StoppedByWireSize();
  const SpringDataRecord& s = SpringData();
  // No permissible stress, or a negative permissible stroke (the lower
  // stress is past the fatigue limit already).
  return !(s.tauzul > 0.0L) || StressesPastTauZul() || StrokePastTauhZul() || (s.LoadType == 2 && s.tauhzul < 0.0L);
}

bool SpringDoesNotFit() {
  if (FlagSet()) return true;
  const SpringDataRecord& s = SpringData();
  return s.L2 < s.Ln || s.Fc < s.F2 + s.TolF2 ||
         (s.Fn < s.F2 + s.TolF2 && s.LoadType == 2 && s.WarningsOn == 1);
}

// ---------------------------------------------------------------- the end of a design

namespace {

bool FatalTextListed() {
  const ErrorMessageListT& list = G().ErrorMessageList;
  for (int i = 1; i <= list.count; ++i)
    if (list.slot[static_cast<std::size_t>(i)].starts_with("Fatal")) return true;
  return false;
}

// The calculated spring passes the tests of a design: no fatal text, the
// permissible stresses, room for Ln and for F2 with its tolerance.
bool SpringSound() { return !FlagSet() && !FatalTextListed() && !SpringTooWeak() && !SpringDoesNotFit(); }

// The spring of the data set as Speichern writes it, read back as Öffnen
// reads it and calculated: sound. The data set and its messages stay.
bool SoundAsSaved() {
  SpringFileRecords back;
  std::string error;
  if (!ParseSpringFile(FormatSpringFile(CurrentSpringFileRecords()), back, error)) return false;
  SpringGlobals& g = SG();
  const SpringGlobals kept = g;
  const BaseGlobals& b = G();
  const ErrorMessageListT list = b.ErrorMessageList;
  const Byte flag = b.FatalErrorFlag;
  const std::string title = b.TitleBlockLines[1];
  g.SpringData = back.SpringData;
  g.ProductionData = back.ProductionData;
  g.TransverseLoad = back.TransverseLoad;
  g.LoadSpectrum = back.LoadSpectrum;
  g.MaterialSource = back.MaterialSource;
  RunCalculation();
  const bool sound = SpringSound();
  g = kept;
  G().ErrorMessageList = list;
  G().FatalErrorFlag = flag;
  G().TitleBlockLines[1] = title;
  return sound;
}

// The value the spring file holds for x.
Real AsSaved(Real x) {
  Real v = x;
  return TryTextToFloat(SpringFileFloatText(x), v) ? v : x;
}

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

// ---------------------------------------------------------------- why there is no solution

// A message without its head and its closing mark ("sc <= 0").
std::string WithoutHead(std::string_view t) {
  t.remove_prefix(std::min(t.find(':') + 1, t.size()));
  while (!t.empty() && (t.front() == ' ')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '!')) t.remove_suffix(1);
  return std::string(t);
}

// The first fatal text of the calculated spring; for a calculation that
// stopped, the text it stopped on where a full list has no room for it or
// the text is posted as an error ("tau2=0").
std::string FatalFault() {
  const ErrorMessageListT& list = G().ErrorMessageList;
  for (int i = 1; i <= list.count; ++i) {
    const std::string_view t = list.slot[static_cast<std::size_t>(i)];
    if (t.starts_with("Fatal")) return WithoutHead(t);
  }
  return FlagSet() ? WithoutHead(StopText()) : std::string();
}

// The duty's material gives no strength at any wire: a table row without
// an Rm law, or own values with Rm 0. No wire can hold.
bool WithoutStrength(const SpringDataRecord& typed) {
  return typed.MaterialSel < 11 ? !MaterialHasRmLaw() : std::fabs(typed.Rm) < 1.0L;
}
constexpr std::string_view kNoStrengthText = "Fehler : DR0 = 0 / Rm = 0";
const std::string kNoStrength(kNoStrengthText.substr(kNoStrengthText.find(':') + 2));

// The stress of the stress test that passes its limit by the most, named
// as the calculation's messages name it.
std::string StressFault() {
  const SpringDataRecord& s = SpringData();
  if (!(s.tauzul > 0.0L)) return "tau zul = 0";
  if (SidewaysUnstable()) return "FQ: Feder knickt";
  const bool dynamic = s.LoadType == 2;
  const char* name = "taun>tau zul";
  Real worst = std::fabs(s.taun) / s.tauzul;
  auto take = [&](bool applies, Real tau, Real limit, const char* text) {
    if (applies && std::fabs(tau) / limit > worst) worst = std::fabs(tau) / limit, name = text;
  };
  take(s.WarningsOn == 1 && s.tauc != 0.0L, s.tauc, s.tauzul, "tauc>tau zul");
  take(!dynamic, s.tau1, s.tauzul, "tau1>tau zul");
  take(!dynamic, s.tau2, s.tauzul, "tau2>tau zul");
  take(dynamic, s.tauk1, s.tauzul, "tauk1>tau zul");
  take(dynamic, s.tauk2, s.tauzul, "tauk2>tau zul");
  // A negative permissible stroke: the lower stress is past the fatigue limit.
  take(dynamic && s.tauhzul < 0.0L, 1e300L, 1.0L, "taukh>tauhzul");
  take(dynamic && s.tauhzul > 0.0L, s.taukh, s.tauhzul, "taukh>tauhzul");
  return name;
}

// What the calculated spring, whose stresses hold, misses: room, a fatal
// input, or a file that holds it.
std::string MissedFault() {
  const SpringDataRecord& s = SpringData();
  if (s.Lc > 0.0L && s.L2 < s.Lc) return "L2<Lc";
  if (FlagSet()) return FatalFault();
  if (s.L2 < s.Ln) return "L2<Ln";
  if (s.Fc < s.F2 + s.TolF2) return "F2 max > Fc";
  if (s.Fn < s.F2 + s.TolF2 && s.LoadType == 2 && s.WarningsOn == 1) return "F2 max > Fn";
  if (FatalTextListed()) return FatalFault();
  return "nicht speicherbar";
}

// "No Solution" with the spring as typed: the box, and in the message list
// the answer and why. The two texts take the last places of a full list.
void NoSolutionBecause(const SpringGlobals& typed, const std::string& why) {
  SG() = typed;
  FinalCalculation();
  NoSolution();
  ErrorMessageListT& list = G().ErrorMessageList;
  if (list.count > 10) list.count = 10;
  AddErrorMessage("Fehler : keine Lösung !"_oem);
  AddErrorMessage("Fehler : " + why);
}

// "Draht d 4.5", "Draht bis d 20": the wire a reason names (the message
// help finds them by their common head).
std::string WireText(Real d) { return "Draht d " + FloatToStrSig(d); }
std::string UpToWireText(Real d) { return "Draht bis d " + FloatToStrSig(d); }

// ---------------------------------------------------------------- one design

// One design over the duty as typed. Every spring it tries is calculated
// from the typed one afresh, so that nothing of a spring tried before, or of
// the spring the design started from, reaches it.
class Design {
 public:
  Design() : start_(SG()), typed_(SpringData()), production_(ProductionData()) {
    G().FatalErrorFlag = 0;
    const auto series = StandardWireDiameters(typed_.WireStd);
    std::size_t count = 0;
    while (count < series.size() && LeavesCoil(series[count])) ++count;
    wires_ = series.first(count);
  }

  const SpringGlobals& Start() const { return start_; }
  const SpringDataRecord& Typed() const { return typed_; }
  // The series wires a design may end on: those that leave a coil.
  std::span<const Real> Wires() const { return wires_; }

  // The typed spring at wire d, diameters derived, not calculated.
  void Place(Real d) {
    SpringData() = typed_;
    ProductionData() = production_;
    SpringData().d = d;
    DeriveDiameters(typed_.DiameterGiven);
  }
  // ... calculated, with `force` at f when given.
  void At(Real d, Real SpringDataRecord::*force = nullptr, Real f = 0.0L) {
    Place(d);
    if (force != nullptr) SpringData().*force = f;
    RunCalculationFlagged();
  }

  // The largest F2 at which the stresses of wire d can hold (taun is at
  // least tau2 where the spring fits, tauk2 is k tau2), when the material
  // gives a strength. A transverse load only adds to tau2 where the spring
  // stands sideways (its displacement and lever grow the stress); one
  // against the axis's sense is not bounded so. Infinite where that is not
  // known.
  Real StressForceLimit(Real d) {
    constexpr Real kUnknown = 1e300L;
    // Only the wire, its section and the diameters are placed: the strength
    // is worked out from them, and the next spring is placed whole.
    SpringDataRecord& s = SpringData();
    s.d = d, s.h = typed_.h, s.di = typed_.di;
    s.Dm = typed_.Dm, s.De = typed_.De, s.Di = typed_.Di;
    DeriveDiameters(typed_.DiameterGiven);
    if (s.CrossSection == 7 && s.d <= s.di) s.di = 0.0L;
    if (s.CrossSection != 2 && s.CrossSection != 4) s.h = s.d;
    if (!(s.Dm > 0.0L) || !(s.Di > 0.0L)) return kUnknown;
    // A text it posts goes after those there.
    const std::uint16_t count = G().ErrorMessageList.count;
    ComputeRmAndTauZul();
    G().ErrorMessageList.count = count;
    // No strength, no modulus: a fatal text at every force.
    if (std::fabs(s.Rm) < 1.0L || !(ShearModulusAtTemp(s.G, s.T) > 0.0L)) return 0.0L;
    if (!(s.tauzul > 0.0L)) return 0.0L;
    if (TransverseLoad().FQ < 0.0L) return kUnknown;
    Real limit = ForceAtStress(s.tauzul);
    if (s.LoadType == 2) limit /= StressCorrectionFactor(s.Dm / s.d);
    // Room for the rounding of the stresses from the force.
    return limit * (1.0L + 1e-9L);
  }

  // A search found the stresses of wire d holding at `force` f.
  void Held(Real d, Real f) {
    if (!held_ || d < held_->d) held_ = HeldAt{d, f};
  }

  // The smallest wire that is sound at the data set's forces (`force` at f
  // when given); the data set is left calculated at it. -1 when none is.
  int SmallestSound(Real SpringDataRecord::*force = nullptr, Real f = 0.0L) {
    const Real F2 = force == &SpringDataRecord::F2 ? f : typed_.F2;
    for (std::size_t i = 0; i < wires_.size(); ++i) {
      if (F2 > StressForceLimit(wires_[i])) continue;
      At(wires_[i], force, f);
      if (SpringSound()) return static_cast<int>(i);
    }
    return -1;
  }

  // Why no wire is sound at the forces of `forces` (the searched force at
  // each, in the order from the end that eases the stresses) or at those a
  // search found the stresses holding at: the smallest wire whose stresses
  // hold at one of them and what it misses at the last such force; else
  // the stress that fails at the thickest wire.
  std::string Why(Real SpringDataRecord::*force, std::span<const Real> forces) {
    if (WithoutStrength(typed_)) return kNoStrength;
    const Real only[] = {force != nullptr ? typed_.*force : 0.0L};
    if (force == nullptr || forces.empty()) forces = only;
    const auto series = StandardWireDiameters(typed_.WireStd);
    const std::span<const Real> wires = wires_.empty() ? series.first(1) : wires_;
    // A transverse load makes the stresses no easier toward that end.
    const bool eased = TransverseLoad().FQ == 0.0L;
    for (const Real d : wires) {
      bool held = false;
      std::string miss;
      for (const Real f : forces) {
        At(d, force, f);
        if (SpringTooWeak()) {
          if (eased && f == forces.front()) break;  // nowhere easier for the stresses
          continue;
        }
        held = true;
        miss = MissedFault();
      }
      if (!held && force != nullptr && held_ && held_->d == d) {
        At(d, force, held_->f);
        held = true;
        miss = MissedFault();
      }
      if (held) return WireText(d) + ": " + miss;
    }
    At(wires.back(), force, forces.front());
    const std::string fault = FlagSet() && !StoppedByWireSize() ? FatalFault() : StressFault();
    return UpToWireText(wires.back()) + ": " + fault;
  }

 private:
  // Wire d leaves the coil of the given diameter an inside diameter.
  bool LeavesCoil(Real d) const {
    switch (typed_.DiameterGiven) {
      case 1: return typed_.De - 2.0L * d > 0.0L;
      case 2: return typed_.Di > 0.0L;
      case 3: return typed_.Dm - d > 0.0L;
      default: return true;
    }
  }

  SpringGlobals start_;
  SpringDataRecord typed_;
  ProductionDataRecord production_;
  std::span<const Real> wires_;
  struct HeldAt {
    Real d, f;
  };
  std::optional<HeldAt> held_;
};

}  // namespace

// ---------------------------------------------------------------- the modes

Real WireForStress() {
  Design run;
  const Real F2 = run.Typed().F2;
  Real d = run.Wires().empty() ? StandardWireDiameters(run.Typed().WireStd).front() : run.Wires().back();
  for (const Real w : run.Wires()) {
    if (F2 > run.StressForceLimit(w)) continue;
    run.At(w);
    if (!SpringTooWeak()) {
      d = w;
      break;
    }
  }
  SG() = run.Start();
  return d;
}

Real WireForSpace() {
  Design run;
  Real d = 0.0L;
  for (const Real w : run.Wires()) {
    run.At(w);
    if (!SpringDoesNotFit()) d = w;
  }
  SG() = run.Start();
  return d;
}

// "F1, F2": the smallest series wire whose spring is sound, as saved too.
void DimensionF1F2() {
  Design run;
  const auto wires = run.Wires();
  for (std::size_t i = 0; i < wires.size(); ++i) {
    if (run.Typed().F2 > run.StressForceLimit(wires[i])) continue;
    run.At(wires[i]);
    if (!SpringSound() || !SoundAsSaved()) continue;
    RunCalculation();
    return;
  }
  const std::string why = run.Why(nullptr, {});
  NoSolutionBecause(run.Start(), why);
}

namespace {

// The rate inputs search one force while the other stays: input 2 the
// smallest F2, 3 the largest F1, 4 the largest F2, 5 the smallest F1 at
// which some series wire is sound, and end on the smallest sound wire at
// that force. On a wire, the way to the better end of the bracket eases one
// test and makes the other harder: the room for inputs 2 and 3 (a smaller
// rate needs more coils), the stresses for 4 and 5. Each wire's best force
// is where its harder test reaches its limit, found by halving; a wire that
// cannot better the best force found so far costs one calculation.
class RateSearch {
 public:
  RateSearch(Real SpringDataRecord::*force, bool larger, bool stressLimits)
      : force_(force), larger_(larger), stressLimits_(stressLimits) {
    const SpringDataRecord& s = run_.Typed();
    const auto wires = run_.Wires();
    limits_.resize(wires.size());
    Real top = 0.0L;
    for (std::size_t i = 0; i < wires.size(); ++i) {
      limits_[i] = run_.StressForceLimit(wires[i]);
      if (limits_[i] < 1e300L) top = MaxExt(top, limits_[i]);
    }
    if (force_ == &SpringDataRecord::F1) {
      lo_ = 0.0L, hi_ = s.F2;
    } else {
      // Without an own bound, F2 goes as high as a wire can carry it; a
      // transverse load is given room.
      if (TransverseLoad().FQ != 0.0L) {
        for (const Real d : wires) {
          run_.Place(d);
          if (SpringData().CrossSection != 2 && SpringData().CrossSection != 4) SpringData().h = d;
          ComputeRmAndTauZul();
          top = MaxExt(top, ForceAtStress(MaxExt(SpringData().tauzul, 0.0L)));
        }
        top *= 2.0L;
      }
      // With point 1 reset F1 is 0 whatever was typed.
      lo_ = s.Point1Off == 1 ? 0.0L : s.F1;
      hi_ = !larger_ && lo_ > 0.0L ? 3.0L * lo_ : top;
    }
    const bool stresses = TransverseLoad().FQ != 0.0L, room = s.GradeF2 == 4;
    limitIrregular_ = stressLimits_ ? stresses : room;
    otherIrregular_ = stressLimits_ ? room : stresses;
  }

  void Run() {
    // With point 1 reset every spring has F1 = 0: nothing to search.
    if (force_ == &SpringDataRecord::F1 && run_.Typed().Point1Off == 1) {
      if (run_.SmallestSound() >= 0 && SoundAsSaved()) {
        RunCalculation();
        return;
      }
      const std::string why = run_.Why(nullptr, {});
      return NoSolutionBecause(run_.Start(), why);
    }
    if (hi_ > lo_) FindBest();
    if (found_ && Settle()) {
      RunCalculation();
      return;
    }
    const std::string why = run_.Why(force_, ReasonForces());
    NoSolutionBecause(run_.Start(), why);
  }

 private:
  // The searched force runs from lo_ to hi_; the bracket's end at F2 = F1
  // (rate 0) is no spring.
  bool LowerEndOpen() const { return force_ == &SpringDataRecord::F2; }
  bool Better(Real a, Real b) const { return larger_ ? a > b : a < b; }

  // The wire's bracket: F2 no higher than its stresses allow; a wire whose
  // stresses fail at the given F2 has none.
  bool WireBracket(std::size_t i, Real& lo, Real& hi) const {
    lo = lo_, hi = hi_;
    if (force_ == &SpringDataRecord::F2) {
      hi = MinExt(hi, limits_[i]);
    } else if (run_.Typed().F2 > limits_[i]) {
      return false;
    }
    return hi > lo;
  }

  struct Verdict {
    bool sound, limitFails, otherFails;
  };
  Verdict Try(Real d, Real f) {
    run_.At(d, force_, f);
    const bool weak = SpringTooWeak(), unfit = SpringDoesNotFit();
    if (!weak) run_.Held(d, f);
    return {SpringSound(), stressLimits_ ? weak : unfit, stressLimits_ ? unfit : weak};
  }

  // Between `bad` (fails(verdict) holds) and `good` (it does not), halved
  // until they lie `share` of the bracket apart.
  template <class Fails>
  void Halve(Real d, Real& bad, Real& good, Fails fails, Real share) {
    const Real tolerance = share * (std::fabs(lo_) + std::fabs(hi_));
    for (int round = 0; round < 64 && std::fabs(good - bad) > tolerance; ++round) {
      const Real middle = (bad + good) / 2.0L;
      if (middle == bad || middle == good) break;
      (fails(Try(d, middle)) ? bad : good) = middle;
    }
  }
  // A boundary is found to the last digits the file holds.
  static constexpr Real kFine = 1e-10L;
  static bool LimitFails(const Verdict& v) { return v.limitFails; }
  static bool Unsound(const Verdict& v) { return !v.sound; }

  bool Consider(Real d, Real f) {
    if (!Try(d, f).sound || (found_ && !Better(f, best_))) return false;
    found_ = true;
    best_ = f;
    return true;
  }

  // The sound force `good` moved toward `bad` (where fails holds) as far
  // as the spring stays sound.
  template <class Fails>
  void Sharpen(Real d, Real bad, Real good, Fails fails) {
    const Real sound = good;
    Halve(d, bad, good, fails, kFine);
    if (!Try(d, good).sound) {
      bad = good, good = sound;
      Halve(d, bad, good, Unsound, kFine);
    }
    Consider(d, good);
  }

  // Between `bad`, where only the harder test fails, and `good`, where
  // only the other does: a force where both pass, if there is one.
  void Between(Real d, Real bad, Real good) {
    const Real tolerance = kFine * (std::fabs(lo_) + std::fabs(hi_));
    while (std::fabs(good - bad) > tolerance) {
      const Real middle = (bad + good) / 2.0L;
      if (middle == bad || middle == good) return;
      const Verdict v = Try(d, middle);
      if (v.sound) return Sharpen(d, bad, middle, LimitFails);
      if (v.limitFails == v.otherFails) {
        // Both fail (or a fatal text): nowhere between, unless a test may
        // fail on both sides.
        if (limitIrregular_ || otherIrregular_) LookAlong(d, bad, good);
        return;
      }
      (v.limitFails ? bad : good) = middle;
    }
  }

  // The best force of every wire, the wires taken from those with the best
  // chance first (thin ones where the room limits, thick ones where the
  // stresses do).
  void FindBest() {
    const auto wires = run_.Wires();
    for (std::size_t k = 0; k < wires.size(); ++k) {
      const std::size_t i = stressLimits_ ? wires.size() - 1 - k : k;
      const Real d = wires[i];
      Real lo, hi;
      if (!WireBracket(i, lo, hi)) continue;
      // The better end and the worse one; F2 = F1 and F1 = F2 are no spring
      // (the room fails there).
      const Real betterEnd = larger_ ? hi : lo, worseEnd = larger_ ? lo : hi;
      const bool betterOpen = larger_ != LowerEndOpen();
      // The part of the bracket that could better the best so far; next to
      // an open end.
      Real reach = worseEnd;
      if (found_) {
        if (!Better(betterEnd, best_)) continue;
        if (Better(best_, worseEnd)) reach = best_;
      }
      if (reach == worseEnd && betterOpen == false) reach += (betterEnd - reach) / 1024.0L;
      SearchWire(d, betterEnd, worseEnd, betterOpen, reach);
    }
  }

  // On a wire the harder test fails from some force on toward the better
  // end, and the other from some force on toward the worse: the best force
  // is where the harder test reaches its limit.
  void SearchWire(Real d, Real betterEnd, Real worseEnd, bool betterOpen, Real reach) {
    if (!betterOpen) {
      const Verdict v = Try(d, betterEnd);
      if (v.sound) {
        Consider(d, betterEnd);
        return;
      }
      // The other test fails where it is easiest, unless it need not fail
      // on one side only: then, the harder test failing too, the way
      // toward the worse end is taken as below.
      if (!v.limitFails || (v.otherFails && !otherIrregular_)) {
        if (otherIrregular_ && v.otherFails) LookAlong(d, betterEnd, reach);
        return;
      }
    }
    Verdict atReach = Try(d, reach);
    // Where the rate goes to 0 next to the worse end the harder test may
    // hold only very near it (a long spring over a tiny stroke carries its
    // force at Ln): the reach moves toward that end by factors of 32.
    Real passed = betterEnd;
    if (atReach.limitFails && reach != worseEnd && !(found_ && reach == best_) && larger_ == LowerEndOpen()) {
      const Real tolerance = kFine * (std::fabs(lo_) + std::fabs(hi_));
      while (atReach.limitFails && std::fabs(reach - worseEnd) > tolerance) {
        passed = reach;
        reach = worseEnd + (reach - worseEnd) / 32.0L;
        if (reach == worseEnd) break;
        atReach = Try(d, reach);
      }
    }
    if (atReach.limitFails || (limitIrregular_ && passed != betterEnd)) {
      if (limitIrregular_) LookAlong(d, betterEnd, reach);
      return;  // the harder test fails all the way
    }
    if (atReach.sound) return Sharpen(d, passed, reach, LimitFails);
    if (atReach.otherFails) Between(d, passed, reach);
  }

  // Where a test need not fail on one side only (the stresses under a
  // transverse load, whose displacement grows as the rate goes to 0; the
  // room for F2 with the tolerance of DIN 2096, which grows with the rate)
  // the wire is tried at
  // forces from the better end to the reach a 48th of the bracket apart,
  // and at forces ever nearer the end where the rate goes to 0 (by factors
  // of 4): the first sound one is moved toward the better end, else the
  // first place where the failing test changes is looked into.
  void LookAlong(Real d, Real betterEnd, Real reach) {
    const Real share = std::fabs(reach - betterEnd) / (hi_ - lo_);
    const int looks = static_cast<int>(std::clamp(std::ceil(48.0L * share), 4.0L, 48.0L));
    std::vector<Real> along;  // shares of the way from the better end
    for (int j = 1; j <= looks; ++j) along.push_back(Real(j) / looks);
    const bool zeroAtBetter = larger_ != LowerEndOpen();
    for (Real near = 1.0L / 64.0L; near > kFine; near /= 4.0L) along.push_back(zeroAtBetter ? near : 1.0L - near);
    std::sort(along.begin(), along.end());
    Real previous = betterEnd;
    Verdict before{false, false, false};
    for (std::size_t j = 0; j < along.size(); ++j) {
      const Real f = betterEnd + (reach - betterEnd) * along[j];
      const Verdict v = Try(d, f);
      if (v.sound) return Sharpen(d, previous, f, Unsound);
      if (j > 0 && before.limitFails && !before.otherFails && !v.limitFails && v.otherFails)
        return Between(d, previous, f);
      previous = f, before = v;
    }
  }

  // The best force as the spring file holds it, stepped into the bracket
  // until the smallest sound wire there is sound as saved too.
  bool Settle() {
    const Real inward = larger_ ? -1.0L : 1.0L;
    Real step = 0.0L;
    for (int k = 0; k < 30; ++k) {
      const Real f = AsSaved(best_ + inward * step);
      step = step == 0.0L ? 1e-7L : 2.0L * step;
      if (!(f >= lo_ && f <= hi_) || (LowerEndOpen() ? f == lo_ : f == hi_)) continue;
      if (run_.SmallestSound(force_, f) >= 0 && SoundAsSaved()) return true;
    }
    return false;
  }

  // The forces of the bracket "No Solution" is explained at, from the end
  // that eases the stresses (the stresses may hold only next to it).
  std::vector<Real> ReasonForces() const {
    std::vector<Real> forces;
    if (!(hi_ > lo_)) return forces;
    for (const Real t : {1.0L / 64.0L, 1.0L / 32.0L})
      forces.push_back(LowerEndOpen() ? lo_ + (hi_ - lo_) * t : hi_ - (hi_ - lo_) * t);
    constexpr int kCount = 16;
    for (int i = 0; i < kCount; ++i) {
      const Real t = LowerEndOpen() ? Real(i + 1) / kCount : Real(kCount - 1 - i) / kCount;
      forces.push_back(lo_ + (hi_ - lo_) * t);
    }
    return forces;
  }

  Design run_;
  Real SpringDataRecord::*force_;
  bool larger_, stressLimits_;
  std::vector<Real> limits_;
  Real lo_ = 0.0L, hi_ = 0.0L;
  bool limitIrregular_ = false, otherIrregular_ = false;
  bool found_ = false;
  Real best_ = 0.0L;
};

}  // namespace

void DimensionF1RMin() { RateSearch(&SpringDataRecord::F2, false, false).Run(); }
void DimensionF2RMin() { RateSearch(&SpringDataRecord::F1, true, false).Run(); }
void DimensionF1RMax() { RateSearch(&SpringDataRecord::F2, true, true).Run(); }
void DimensionF2RMax() { RateSearch(&SpringDataRecord::F1, false, true).Run(); }

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

// ---------------------------------------------------------------- pre-dimensioning

namespace {

// Pre-dimensioning over the duty as typed: the forces, the stroke, Dm/d,
// tau zul / tau, the material and the settings. A spring of wire d has
// Dm = w d and the section's shape as typed (h, di, r in proportion to d),
// and L2 := Ln + 1.1 TolF2/R rounded up to tenths (taken again until it
// stays, a tolerance by the free length moves it). Nothing of the typed
// spring's own wire, diameters or lengths, nor of a spring tried before,
// reaches a spring tried.
class PreDesign {
 public:
  PreDesign() : start_(SG()), typed_(SpringData()), production_(ProductionData()) {
    G().FatalErrorFlag = 0;
    const SpringDataRecord& s = typed_;
    if (s.d > 0.0L) {
      if (s.CrossSection == 2 || s.CrossSection == 4) shape_.h = s.h / s.d;
      if (s.CrossSection == 7) shape_.di = s.di / s.d;
      if (s.CrossSection == 6) shape_.r = s.r / s.d;
    }
    // The rate the duty gives, not one of an earlier spring.
    typed_.R = 0.0L;
    // The wire goes up to the largest of its series.
    limit_ = StandardWireDiameters(s.WireStd).back() / MaxExt(shape_.h, 1.0L);
  }

  const SpringGlobals& Start() const { return start_; }

  // The spring of wire d, calculated; false when it has no length (or the
  // calculation would take a wire of its own: below 0.01).
  bool At(Real d) {
    SpringDataRecord& s = SpringData();
    if (!(d >= kThinnest)) return false;
    Real L2 = 0.1L;
    for (int round = 0; round < 8; ++round) {
      s = typed_;
      ProductionData() = production_;
      s.d = d;
      s.h = shape_.h * d, s.di = shape_.di * d, s.r = shape_.r * d;
      s.Dm = s.PreW * d;
      s.De = s.Dm + d;
      s.Di = s.Dm - d;
      s.L2 = L2;
      RunCalculationFlagged();
      if (!(s.R > 0.0L) || !(s.Ln > 0.0L)) return false;
      const Real next = std::ceil(10.0L * (s.Ln + 1.1L * s.TolF2 / s.R)) / 10.0L;
      if (next == L2) return true;
      L2 = next;
    }
    return true;
  }

  bool SoundAt(Real d) {
    if (!At(d)) return false;
    // The thinnest wire seen whose stresses hold, for the reason.
    if (!SpringTooWeak() && !(held_ > 0.0L && held_ <= d)) held_ = d;
    return SpringSound();
  }

  // The wire of the rounds: d^2 = tz/t w F2 8/(target pi), with the target
  // stress taken from the spring of that wire: 0.7 tau zul, for dynamic
  // load divided by k and lowered where the stroke stress passes its limit.
  // The wire at which the two meet, found by halving on a log scale.
  Real TargetWire() {
    const SpringDataRecord& s = typed_;
    const Real w = s.PreW, load = s.PreTauRatio * w * s.F2;
    const Real k = StressCorrectionFactor(w);
    auto beyond = [&](Real d) {  // d is thicker than the target stress of its spring asks for
      At(d);
      const SpringDataRecord& t = SpringData();
      Real target = 0.0L;
      if (t.LoadType == 1) {
        target = 0.7L * t.tauzul;
      } else {
        const Real plain = 0.7L * t.tauzul / k;
        const bool strokeHolds = t.tauhzul <= 0.0L || t.taukh <= t.tauhzul;
        target = strokeHolds ? plain : MinExt(t.tauhzul * (t.tauzul / k) / t.taukh, plain);
      }
      return target > 0.0L && d * d * target * kPi >= load * 8.0L;
    };
    Real lo = std::log(kThinnest), hi = std::log(limit_);
    if (!(hi > lo)) return limit_;
    if (beyond(std::exp(lo))) return std::exp(lo);
    if (!beyond(limit_)) return limit_;
    for (int round = 0; round < 40; ++round) {
      const Real middle = (lo + hi) / 2.0L;
      (beyond(std::exp(middle)) ? hi : lo) = middle;
    }
    return std::exp(hi);
  }

  // The thinnest wire from d up to the limit at which the spring is sound,
  // else the thickest below d; 0 when no wire is. The wires are tried in
  // steps of a tenth of their size both ways (soundness need not hold from
  // some wire on: tauc at a low Dm/d, a transverse load), the edge of the
  // first sound one found by halving.
  Real SoundWireFrom(Real d) {
    sample_ = d;
    if (SoundAt(d)) return d;
    constexpr Real kStep = 1.1L;
    for (Real bad = d, w = d * kStep; bad < limit_; bad = w, w *= kStep) {
      w = MinExt(w, limit_);
      if (SoundAt(w)) return Edge(bad, sample_ = w);
    }
    for (Real bad = d, w = d / kStep; w >= kThinnest; bad = w, w /= kStep)
      if (SoundAt(w)) return Edge(bad, sample_ = w);
    return 0.0L;
  }
  // The sound wire the last search met before it looked for the edge
  // (a spring at the very edge may not hold as the file rounds it).
  Real SoundSample() const { return sample_; }

  // The sound wire next to `bad` between it and the sound `good`, halved
  // on a log scale.
  Real Edge(Real bad, Real good) {
    Real lo = std::log(bad), hi = std::log(good);
    for (int round = 0; round < 40; ++round) {
      const Real middle = (lo + hi) / 2.0L;
      (SoundAt(std::exp(middle)) ? hi : lo) = middle;
    }
    return std::exp(hi);
  }

  // Wire d as the spring file holds it, stepped up (at the limit: down)
  // until its spring is sound as saved too; the data set is left
  // calculated at it.
  bool Settle(Real d) {
    Real step = 0.0L;
    for (int k = 0; k < 40; ++k) {
      const Real saved = AsSaved(k % 2 == 0 ? d + step : d - step);
      if (k % 2 == 0) step = step == 0.0L ? 1e-7L : 2.0L * step;
      if (saved > 0.0L && saved <= limit_ && SoundAt(saved) && SoundAsSaved()) return true;
    }
    return false;
  }

  // Why no wire up to the limit gives a sound spring: the wire the file
  // could not hold, or the thinnest tried whose stresses hold and what it
  // misses; else the fault of the thickest.
  std::string Why(Real d) {
    if (WithoutStrength(typed_)) return kNoStrength;
    if (d > 0.0L) {
      At(d);
      return WireText(d) + ": nicht speicherbar";
    }
    // Wires down to a ten-thousandth of the limit, evenly on a log scale.
    constexpr int kLooks = 64;
    for (int i = 0; i < kLooks && !(held_ > 0.0L); ++i)
      SoundAt(limit_ * std::pow(1e-4L, Real(kLooks - 1 - i) / (kLooks - 1)));
    if (held_ > 0.0L) {
      At(held_);
      return WireText(held_) + ": " + MissedFault();
    }
    At(limit_);
    if (!FlagSet() || StoppedByWireSize()) {
      if (SpringTooWeak()) return UpToWireText(limit_) + ": " + StressFault();
      return WireText(limit_) + ": " + MissedFault();
    }
    return WireText(limit_) + ": " + FatalFault();
  }

 private:
  static constexpr Real kThinnest = 0.01L;
  struct Shape {
    Real h = 1.0L, di = 0.0L, r = 0.0L;  // per unit of d
  };
  SpringGlobals start_;
  SpringDataRecord typed_;
  ProductionDataRecord production_;
  Shape shape_;
  Real limit_ = 0.0L, sample_ = 0.0L;
  Real held_ = 0.0L;
};

}  // namespace

void RunPreDimensioning() {
  PreDesign run;
  const SpringDataRecord& s = SpringData();
  std::string why;
  if (!(s.PreW > 1.0L)) {
    why = "Dm/d <= 1";
  } else if (!(s.PreTauRatio > 0.0L)) {
    why = "tz/t <= 0";
  } else {
    const Real d = run.SoundWireFrom(run.TargetWire());
    if (d > 0.0L && (run.Settle(d) || run.Settle(run.SoundSample()))) {
      RunCalculation();
      return;
    }
    why = run.Why(d);
  }
  NoSolutionBecause(run.Start(), why);
}

}  // namespace zeb
