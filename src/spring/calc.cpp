#include "spring/calc.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/typed_number.h"
#include "base/messages.h"
#include "platform/oem_literal.h"
#include "spring/checks.h"
#include "spring/dimension.h"
#include "spring/formulas.h"
#include "spring/resonance.h"
#include "spring/calc_common.h"
#include "spring/spring_data.h"
#include "spring/strength.h"
#include "spring/tolerances.h"

namespace zeb {

namespace {

using namespace calc_common;

unsigned long long g_calculations = 0;

// Wire size that stacks in the coil: h for the sections whose height differs.
Real StackedSize(const SpringDataRecord& s) {
  return (s.CrossSection == 2 || s.CrossSection == 4) ? s.h : s.d;
}

bool RoundWireFormulas(int code) { return code != 2 && code != 3 && code != 4 && code != 7; }

// Torsion modulus of the cross-section (not used for round wire).
Real SectionTorsionModulus(const SpringDataRecord& s) {
  switch (s.CrossSection) {
    case 2: return EllipseTorsionModulus(s.h, s.d);
    case 3:
    case 4: return RectangleTorsionModulus(s.h, s.d);
    case 7: return TubeTorsionModulus(s.d, s.di);
    default: return kPi * s.d * s.d * s.d / 16.0L;
  }
}

// Torsion constant of the cross-sections with their own formulas.
Real SectionTorsionConstant(const SpringDataRecord& s) {
  switch (s.CrossSection) {
    case 2: return EllipseTorsionConstant(s.h, s.d);
    case 3:
    case 4: return RectangleTorsionConstant(s.h, s.d);
    case 7: return TubePolarMoment(s.d, s.di);
    default: return 0.0L;
  }
}

Real SafeDiv(Real a, Real b) { return b == 0.0L ? 0.0L : a / b; }

bool WarningsOn() { return SpringData().WarningsOn == 1; }

// Solid length with the current coils and wire tolerance, without the
// side effects of SolidLength.
Real CurrentSolidLength(const SpringDataRecord& s) {
  Real nt = s.EndCoils[1] + s.EndCoils[2] + s.n;
  Real size = StackedSize(s);
  if (s.EndForm >= 1 && s.EndForm <= 3)
    return SolidLengthOfCoils(s.CoilingKind, s.EndForm, s.Dm, size, nt, s.TolWire);
  if (s.EndForm == 4) return (nt + s.EndCoilsInput) * (size + s.TolWire);
  return 0.0L;
}

}  // namespace

Real ForceAtStress(Real tau) {
  const SpringDataRecord& s = SpringData();
  if (RoundWireFormulas(s.CrossSection)) return SafeDiv(kPi * s.d * s.d * s.d * tau, 8.0L * s.Dm);
  return SafeDiv(2.0L * SectionTorsionModulus(s) * tau, s.Dm);
}

Real ShearStressOfForce(Real F) {
  const SpringDataRecord& s = SpringData();
  if (RoundWireFormulas(s.CrossSection)) return SafeDiv(kEightByPi * s.Dm * F, s.d * s.d * s.d);
  return SafeDiv(F * s.Dm, 2.0L * SectionTorsionModulus(s));
}

Real StressWithTransverseLoad(Real F, Real y, Real L) {
  const SpringDataRecord& s = SpringData();
  const Real FQ = TransverseLoad().FQ;
  if (RoundWireFormulas(s.CrossSection))
    return SafeDiv(8.0L, kPi * s.d * s.d * s.d) * ((s.Dm + y) * F + (L - s.d) * FQ);
  return SafeDiv((s.Dm + y) * F + (L - s.h) * FQ, 2.0L * SectionTorsionModulus(s));
}

Real TransverseRateRatio(Real sTravel) {
  const SpringDataRecord& s = SpringData();
  if (s.L0 == 0.0L || s.E == 0.0L || s.lambda == 0.0L) return 0.0L;
  Real x = MaxExt(sTravel, 0.0L) / s.L0;
  if (x == 0.0L) x = 0.00001L;
  const Real g = s.G / s.E;
  if (g + 0.5L == 0.0L) return 0.0L;
  const Real radicand = (g + 0.5L) * (g + (1.0L - x) / x);
  if (radicand < 0.0L) return 0.0L;
  const Real c = std::sqrt(radicand);
  const Real denominator = (x - 1.0L) + c * (1.0L / s.lambda) / (g + 0.5L) * std::tan(c * x * s.lambda);
  return SafeDiv(x, denominator);
}

Real TransverseSpringRate(Real sTravel) { return SpringData().R * TransverseRateRatio(sTravel); }

Real TransverseNaturalFrequency(Real Rq) {
  const Real mActive = SpringData().mActive;
  if (Rq <= 0.0L || mActive <= 0.0L) return 0.0L;
  return 257.0L * std::sqrt(Rq / mActive);
}

Real SolidLength(Real wireSize) {
  SpringDataRecord& s = SpringData();
  if (s.EndForm >= 1 && s.EndForm <= 3) {
    s.EndFormText = EndFormNames(s.EndForm);
    s.EndCoilsInput = EndFormConstant(s.EndForm, s.CoilingKind);
    return SolidLengthOfCoils(s.CoilingKind, s.EndForm, s.Dm, wireSize, s.nt, s.TolWire);
  }
  if (s.EndForm == 4) return (s.nt + s.EndCoilsInput) * (wireSize + s.TolWire);
  AddErrorMessage("Fatal  : fedend !");
  return 0.0L;
}

void ApplyTolerances() {
  SpringDataRecord& s = SpringData();
  if (!(s.d >= 0.001L && s.Dm >= 0.001L)) return;
  const Real size = MaxExt(s.h, s.d);
  if (s.GradeDe < 5) {
    s.TolDe = CoilDiameterTolerance(s.GradeDe, s.DiameterGiven, s.De, s.Di, s.Dm, s.w);
    s.TolDeMinus = -s.TolDe;
  }
  if (s.WireStd != 16) s.TolWire = WireToleranceForStandard(s.WireStd, size);
  // AF kF of the three EN 15800 deviations below (positive d and Dm: no
  // message).
  const bool en15800 = En15800Grade(s.GradeL0) || En15800Grade(s.GradeF1) || En15800Grade(s.GradeF2);
  const Real factor = en15800 ? ForceToleranceFactor(size, s.Dm) * CoilCountFactor(s.n) : 0.0L;
  if (s.GradeL0 < 5) {
    // The travel to solid length of this spring, not of the last run.
    const Real sc = s.L0 - CurrentSolidLength(s);
    s.TolL0 = FreeLengthToleranceWithFactor(factor, s.GradeL0, s.CoilingKind, s.R, s.n, s.L0, sc);
    s.TolL0Minus = -s.TolL0;
  }
  if (s.GradeF1 < 5) {
    s.TolF1 = ForceToleranceWithFactor(factor, 1, s.GradeF1, s.CoilingKind, s.F1, s.s1, s.Dm, size, s.n, s.L0,
                                       s.R);
    s.TolF1Minus = -s.TolF1;
  }
  if (s.GradeF2 < 5) {
    s.TolF2 = ForceToleranceWithFactor(factor, 1, s.GradeF2, s.CoilingKind, s.F2, s.s2, s.Dm, size, s.n, s.L0,
                                       s.R);
    s.TolF2Minus = -s.TolF2;
  }
  if (s.GradeE1 < 5) s.e1 = PerpendicularityTolerance(s.GradeE1, s.L0);
  if (s.GradeE2 < 5) s.e2 = ParallelismTolerance(s.GradeE2, s.De);
  if (s.EndForm == 1) {
    s.e1 = 0.0L;
    s.e2 = 0.0L;
  }
}

void StatisticsScrap() {
  SpringDataRecord& s = SpringData();
  const Real z = s.StatisticsFactor;
  const int g = s.StatisticsGrade;
  if (FlagSet()) return;
  s.ScrapBase = GaussIntegral(z);
  if (FlagSet()) return;
  const Real TDm = CoilDiameterTolerance(g, s.DiameterGiven, s.De, s.Di, s.Dm, s.w);
  if (FlagSet()) return;
  const Real TF1 = ForceTolerance(0, g, s.CoilingKind, s.F1, s.s1, s.Dm, s.d, s.n, s.L0, s.R);
  if (FlagSet()) return;
  const Real TF2 = ForceTolerance(0, g, s.CoilingKind, s.F2, s.s2, s.Dm, s.d, s.n, s.L0, s.R);
  if (FlagSet()) return;
  // A spread that is not positive gives no scrap share.
  s.ScrapDm = TDm > 0.0L ? GaussIntegral(z * (s.TolDe - s.TolDeMinus) * 0.5L / TDm) : 0.0L;
  if (FlagSet()) return;
  s.ScrapF1 = TF1 > 0.0L ? GaussIntegral(z * (s.TolF1 - s.TolF1Minus) * 0.5L / TF1) : 0.0L;
  if (FlagSet()) return;
  s.ScrapF2 = TF2 > 0.0L ? GaussIntegral(z * (s.TolF2 - s.TolF2Minus) * 0.5L / TF2) : 0.0L;
}

void CheckCalculatedSpring(Real q) {
  const SpringDataRecord& s = SpringData();
  const TransverseLoadRecord& t = TransverseLoad();
  const bool W = WarningsOn();
  auto post = [](std::string_view text) { AddErrorMessage(text); };
  // Texts with a number are formatted only while the list can take them.
  std::string text;
  auto withValue = [&text](std::string_view head, const std::string& value) {
    text.assign(head).append(value).push_back(')');
    AddErrorMessage(text);
  };
  auto withDecimals = [&](std::string_view head, Real x) {
    if (!MessageListFull()) withValue(head, FloatToStrDec(2, x));
  };
  auto withField = [&](std::string_view head, int intDigits, int decimals, Real x) {
    if (!MessageListFull()) withValue(head, FormatFloatField(intDigits, decimals, x));
  };

  if (s.L2 < s.Lc) post("Fehler : L2<Lc !");
  if (s.L2 < s.Ln) {
    const Real Sa = s.Ln - s.Lc;
    withDecimals("Warnung: L2<Ln ! (S=", SafeDiv(s.L2 - s.Lc, Sa));
  }
  if (s.F2 < s.F1) post("Fehler : F2<F1 !");
  if (W && s.F2 + s.TolF2Minus < s.F1 + s.TolF1) post("Warnung: F2min<F1max !");
  if (s.L1 < s.L2) post("Fehler : L2>L1 !");
  if (W && s.tauzul > 0.0L && s.taun > s.tauzul && s.taun != 0.0L)
    withDecimals("Warnung: taun>tau zul (S=", s.tauzul / s.taun);
  if (W && s.tauzul > 0.0L && s.tauc > s.tauzul && s.tauc != 0.0L)
    withDecimals("Warnung: tauc>tau zul (S=", s.tauzul / s.tauc);
  if (q > 0.85L && q < 1.15L) post("Warnung: Resonanzbereich !");
  if (q >= 1.15L) post("Warnung: Überkrit. Bereich"_oem);
  if (W) {
    if (s.sk < s.s2)
      post("Warnung: Feder knickt !");
    else if (s.sk < s.sn)
      post("Warnung: Knickung bei sn !");
  }
  if (t.FQ > 0.0L && t.y[2] < 0.0L) post("Fehler : FQ: Feder knickt !");
  if (W && s.HelixAngle > 30.0L) post("Warnung: Steigungswinkel !");
  if (s.taukh >= 300.0L && std::toupper(static_cast<unsigned char>(s.ShotPeened)) != 'J' &&
      s.LoadType == 2 && s.d > 1.0L && W)
    post("Warnung: Kugelstrahlen !");
  if (W && s.ShotPeened != 'N' && s.n != 0.0L && (s.L0 - s.Lc) / s.n < s.d) post("Warnung: Si0 < d");
  if (s.n < 1.0L) post("Warnung: Windungszahl !");
  if (W && s.F1 < 0.0L) post("Warnung: Zugbeanspruchung !");
  if (W && s.tauzul != 0.0L && s.tau2 > 0.7L * s.tauzul)
    withDecimals("Warnung: Setzgefahr (tau2/tauz=", s.tau2 / s.tauzul);
  if (W && s.tauzul != 0.0L && s.tauc > 0.80357L * s.tauzul)
    withDecimals("Warnung: tauc/Rm > 0.45 (", 0.56L * s.tauc / s.tauzul);

  CheckPermissibleStress();
  CheckStandardRanges(s.GradeDe, s.GradeL0, s.GradeF1, s.n, s.L0, s.d, s.Dm, s.GradeE2, s.GradeE1,
                      s.GradeF2);

  if (s.OptWarnings == 2) {
    if (s.PitchRatio < 2.0L) withField("Warnung: Stg.verh. < 2   (", 2, 2, s.PitchRatio);
    if (s.PitchRatio > 2.5L) withField("Warnung: Stg.verh. >2.5  (", 2, 2, s.PitchRatio);
    if (s.w < 6.0L) withField("Warnung: w <  6 !  (", 2, 1, s.w);
    if (s.w > 12.0L) withField("Warnung: w > 12 !  (", 2, 1, s.w);
    if (s.lambda > 5.0L) withField("Warnung: lambda > 5 !  (", 2, 1, s.lambda);
  }

  if (W && s.GradeDe == 5 && (s.TolDe != 0.0L || s.TolDeMinus != 0.0L) &&
      (s.Allowance == 3 || s.Allowance == 5))
    post("Warnung: Fert.ausgl.Dm");
  if (W && s.GradeL0 == 5 && (s.TolL0 != 0.0L || s.TolL0Minus != 0.0L) &&
      (s.Allowance == 1 || s.Allowance == 4 || s.Allowance == 5))
    post("Warnung: Fert.ausgl.L0");
  for (int i = 1; i <= 2; ++i)
    if (W && s.CoilingKind == 1 && s.EndCoils[i] < 1.0L)
      withValue("Warnung: Endwindung < 1  (", IntToText(i));
  if (W && s.F1 + s.TolF1Minus < 0.0L && s.F1 != 0.0L) post("Warnung: F1 min < 0 !");
  if (s.F2 + s.TolF2Minus < 0.0L) post("Warnung: F2 min < 0 !");
  if (W && s.Fn < s.F2 + s.TolF2 && s.LoadType == 2) post("Warnung: F2 max > Fn !");
  if (s.Fc < s.F2 + s.TolF2) post("Fehler : F2 max > Fc !");
  if (W && s.Dm != 0.0L && s.R / s.Dm < 0.03L && (s.EndForm == 2 || s.EndForm == 3))
    post("Warnung: R/Dm < 0.03");
  if (W && s.T > 50.0L && s.tauzul > 0.0L && s.tauk2 / s.tauzul > 0.7L && !MessageListFull())
    post("Warnung: tau(T="_oem + FloatToStrSig(s.T) + "°C)"_oem);
  if (s.F2 > 0.0L && (s.TolF2 - s.TolF2Minus) / s.F2 < 0.01L * s.F2Relax) post("Fehler : F2,48h < F2 min");
  if (s.F2 > 0.0L && -s.TolF2Minus / s.F2 < 0.01L * s.F2Relax) post("Warnung: F2,48h < F2 min");
  if (!SameFloat(t.FQ, 0.0L) && !SameFloat(s.nue, 1.0L)) post("Warnung: FQ>0, nue<>1 !");
}

unsigned long long CalculationCount() { return g_calculations; }

// Every result a printout or drawing shows is a finite number that other
// programs can read (a double); an absurd input (a length of 1e4000) can
// make it overflow. The results the spring file holds stay within what it
// reads back.
static bool ResultsInRange(const SpringDataRecord& s, const ProductionDataRecord& pd) {
  // Read where they are: a copy of long doubles into an array is read
  // back before its stores have landed.
  for (const Real* v : {&s.F1, &s.F2, &s.TolDe, &s.TolDeMinus, &s.TolL0, &s.TolL0Minus, &s.TolF1, &s.TolF1Minus,
                        &s.TolF2, &s.TolF2Minus, &s.e1, &s.e2, &s.TolWire, &pd.Ls})
    if (!(std::fabs(*v) <= kResultRange.max)) return false;
  if (!(std::fabs(s.Ddmax) <= kMandrelSleeveRange.max) || !(std::fabs(s.Dhmin) <= kMandrelSleeveRange.max))
    return false;
  for (const Real* v : {&s.d, &s.h, &s.Dm, &s.De, &s.Di, &s.w, &s.n, &s.nt, &s.P, &s.PitchRatio, &s.HelixAngle,
                        &s.TanAlpha, &s.GapL0, &s.GapL2, &s.WireLength, &s.dDe, &s.L0, &s.L1, &s.L2, &s.Ln, &s.Lc,
                        &s.lambda, &s.Fn, &s.Fc, &s.Fzul, &s.s1, &s.s2, &s.sh, &s.sn, &s.sc, &s.sk, &s.R,
                        &s.UsableTravel, &s.UsableLength, &s.W12, &s.W0c, &s.StrokeMaxFatigue, &s.E, &s.G, &s.GT,
                        &s.rho, &s.Rm, &s.tauzul, &s.tauhzul, &s.tau1, &s.tau2, &s.tauk1, &s.tauk2, &s.taukh, &s.taun,
                        &s.tauc, &s.k, &s.m, &s.mActive, &s.fe})
    if (!(std::fabs(*v) <= static_cast<Real>(std::numeric_limits<double>::max()))) return false;
  return true;
}

// Everything a calculation derives, so that a run that stops early shows
// and saves nothing of the spring before it: what it computes from nothing,
// what it puts in place of an input (the set length, the wire tolerance of
// the standard, the end-form text and addend, the end coils' sum) from the
// inputs. The inputs of the modes (L0, n, R, the travels and forces) stay.
static void ResetDerivedValues(SpringDataRecord& s, ProductionDataRecord& pd) {
  if (pd.LsReplaced != 0 && pd.Ls == pd.LsPut) pd.Ls = pd.LsGiven;
  pd.LsReplaced = 0;
  if (s.WireStd != 16) s.TolWire = 0.0L;
  if (s.EndForm >= 1 && s.EndForm <= 3) {
    s.EndFormText = EndFormNames(s.EndForm);
    s.EndCoilsInput = EndFormConstant(s.EndForm, s.CoilingKind);
  }
  s.EndCoils[0] = s.EndCoils[1] + s.EndCoils[2];
  G().TitleBlockLines[1].assign(s.DrawingName).append("   Zeichn.Nr.: ").append(s.DrawingNo);
  ClearReals({&s.P, &s.PitchRatio, &s.HelixAngle, &s.TanAlpha, &s.GapL0, &s.GapL2, &s.WireLength, &s.dDe, &s.Ln,
              &s.Lc, &s.Fn, &s.Fc, &s.Fzul, &s.sn, &s.sc, &s.sk, &s.UsableTravel, &s.UsableLength, &s.W12, &s.W0c,
              &s.StrokeMaxFatigue, &s.tauhzul, &s.tauoz, &s.tau1, &s.tau2, &s.tauk1, &s.tauk2, &s.taukh, &s.taun,
              &s.tauc, &s.S1, &s.S2, &s.Sh, &s.N, &s.Nmin, &s.Nmax, &s.F2Relax, &s.m, &s.mActive, &s.fe, &s.w, &s.nt,
              &s.lambda, &s.Ddmax, &s.Dhmin, &s.ScrapBase, &s.ScrapDm, &s.ScrapF1, &s.ScrapF2});
  // Deviations by grade are derived; own ones (grade 5 and above) are input.
  if (s.GradeDe < 5) s.TolDe = s.TolDeMinus = 0.0L;
  if (s.GradeL0 < 5) s.TolL0 = s.TolL0Minus = 0.0L;
  if (s.GradeF1 < 5) s.TolF1 = s.TolF1Minus = 0.0L;
  if (s.GradeF2 < 5) s.TolF2 = s.TolF2Minus = 0.0L;
  if (s.GradeE1 < 5) s.e1 = 0.0L;
  if (s.GradeE2 < 5) s.e2 = 0.0L;
  // Strength from the material law; an own material's is input.
  if (s.MaterialSel < 11) s.Rm = s.tauzul = 0.0L;
  s.k = 1.0L;
  s.GT = ShearModulusAtTemp(s.G, s.T);
  s.NoLifeMinMax = 0;
  TransverseLoadRecord& t = TransverseLoad();
  t.y.fill(0.0L);
  t.RateRatio.fill(0.0L);
  t.Rq.fill(0.0L);
  t.fq.fill(0.0L);
  ResetResonanceResult();
}

void CalculateSpring() {
  ++g_calculations;
  SpringDataRecord& s = SpringData();
  TransverseLoadRecord& t = TransverseLoad();
  ProductionDataRecord& pd = ProductionData();

  // Steps 1-7: first point, messages, wire estimate.
  if (s.Point1Off == 1) ResetFirstPoint();
  G().FatalErrorFlag = 0;
  ResetErrorMessages();
  AddMaterialTableMessages();
  ResetDerivedValues(s, pd);
  if (s.d < 0.01L) IterateWireDiameter();
  const int cs = s.CrossSection;
  if ((cs == 2 || cs == 3 || cs == 4 || cs == 7) && s.h == 0.0L) {
    IterateWireDiameter();
    s.h = s.d;
  }
  if (cs == 7 && s.d <= s.di) s.di = 0.0L;
  if (FlagSet()) return;
  if (SameFloat(s.d, 0.0L)) return PostFatal("Fatal  : d = 0 !");

  // Steps 8-11: diameters, modulus, rate and lengths from the forces.
  if (cs != 2 && cs != 4) s.h = s.d;
  DeriveDiameters(s.DiameterGiven);
  if (s.Di <= 0.0L) return PostFatal("Fatal  : Di <= 0 !");
  s.EndCoils[0] = s.EndCoils[1] + s.EndCoils[2];
  s.GT = ShearModulusAtTemp(s.G, s.T);
  if (s.GT <= 0.0L) return PostFatal("Fatal  : G <= 0 !");
  if (s.sh <= 0.0L) return PostFatal("Fatal  : sh <= 0 !");
  if (s.L2 <= 0.0L) return PostFatal("Fatal  : L2 <= 0 !");
  s.R = (s.F2 - s.F1) / s.sh;
  if (s.R <= 0.0L) return PostFatal("Fatal  : F2 <= F1 !");
  if (s.Dm <= 0.0L) return PostFatal("Fatal  : Dm <= 0 !");
  s.s1 = s.F1 / s.R;
  s.s2 = s.F2 / s.R;
  s.L0 = s.s2 + s.L2;
  s.lambda = s.L0 / s.Dm;
  s.L1 = s.sh + s.L2;

  // Step 12: strength, active coils, tolerances.
  ComputeRmAndTauZul();
  if (FlagSet()) return;
  s.w = s.Dm / s.d;
  const Real Dm3 = s.Dm * s.Dm * s.Dm;
  if (RoundWireFormulas(cs))
    s.n = s.GT * s.d * s.d * s.d * s.d / (8.0L * Dm3 * s.R);
  else
    s.n = kFourByPi * s.GT * SectionTorsionConstant(s) / (s.R * Dm3);
  ApplyTolerances();
  if (FlagSet()) return;
  if (s.d <= 0.0L) return PostFatal("Fatal  : dd <= 0 !");

  // Step 13: gaps, solid and minimum lengths, travels.
  s.nt = s.EndCoils[0] + s.n;
  const Real size = StackedSize(s);
  Real Sa;
  if (s.SaMethod == 2) {
    Sa = MinimumGapSum(s.CoilingKind, 1, s.n, size, s.Dm);
    if (s.LoadType != 1 && WarningsOn()) AddErrorMessage("Warnung: Sa <> EN13906-1 !");
  } else {
    Sa = MinimumGapSum(s.CoilingKind, s.LoadType, s.n, size, s.Dm);
  }
  s.Lc = SolidLength(size);
  s.Ln = Sa + s.Lc;
  if (pd.Ls < s.Lc || pd.Ls > s.L0 || pd.SetLengthIsLc != 0) {
    pd.LsGiven = pd.Ls;
    pd.Ls = pd.LsPut = s.Lc;
    pd.LsReplaced = 1;
  }
  s.sc = s.L0 - s.Lc;
  s.sn = s.L0 - s.Ln;

  // Steps 14-16: forces, transverse load, stresses, work.
  s.Fc = s.R * s.sc;
  s.Fn = s.R * s.sn;
  if (t.FQ == 0.0L) {
    t.y.fill(0.0L);
  } else {
    const Real travels[5] = {0.0L, s.s1, s.s2, s.sn, s.sc};
    for (int i = 0; i < 5; ++i) {
      t.RateRatio[i] = TransverseRateRatio(travels[i]);
      t.Rq[i] = t.RateRatio[i] * s.R;
      t.y[i] = SafeDiv(t.FQ, t.Rq[i]);
    }
    if (s.F2 * (s.Dm - t.y[2]) * 0.5L < s.L2 * t.FQ * 0.5L) AddErrorMessage("FQ -> Abheben der Federenden");
  }
  s.tau2 = StressWithTransverseLoad(s.F2, t.y[2], s.L2);
  s.tau1 = StressWithTransverseLoad(s.F1, t.y[1], s.L1);
  s.tauc = StressWithTransverseLoad(s.Fc, t.y[4], s.Lc);
  s.taun = StressWithTransverseLoad(s.Fn, t.y[3], s.Ln);
  s.w = s.Dm / s.d;
  s.k = StressCorrectionFactor(s.w);
  s.tauk1 = s.k * s.tau1;
  s.tauk2 = s.k * s.tau2;
  s.taukh = s.tauk2 - s.tauk1;
  s.Fzul = ForceAtStress(s.tauzul);
  s.UsableTravel = s.Fzul / s.R;
  s.UsableLength = s.L0 - s.UsableTravel;
  s.W12 = 0.5L * (s.s2 * s.F2 - s.s1 * s.F1);
  s.W0c = 0.5L * s.sc * s.Fc;

  // Steps 17-19: pitch, diameter increase, buckling.
  if (s.sc <= 0.0L) return PostFatal("Fatal  : sc <= 0 !");
  const Real gap = SafeDiv(s.L0 - s.Lc, s.n);
  s.GapL0 = gap;
  s.P = size + gap;
  s.GapL2 = SafeDiv(s.L2 - s.Lc, s.n);
  s.PitchRatio = SafeDiv(s.Dm, s.P);
  s.HelixAngle = RadToDeg(std::atan(0.5L * s.P / s.Dm));
  s.TanAlpha = (size + gap) / (kPi * s.Dm);
  if (s.rho <= 0.0L) return PostFatal("Fatal  : Dichte <= 0 !");
  s.dDe = OuterDiameterIncrease(s.Dm, s.d, s.P);
  if (s.E <= 0.0L) return PostFatal("Fatal  : E-Modul <= 0 !");
  s.sk = BucklingTravel(s.L0, s.nue, s.Dm, s.E, s.G);

  // Step 20: wire length, masses, natural frequency.
  s.WireLength = s.n * HypotExt(s.P, kPi * s.Dm) + s.EndCoils[0] * HypotExt(s.d, kPi * s.Dm);
  const Real A = CrossSectionArea(cs, s.d, s.h, s.r, s.di);
  s.m = 0.001L * s.rho * s.WireLength * A;
  s.mActive = 0.001L * s.rho * s.n * kPi * s.Dm * A;
  if (s.mActive == 0.0L) AddErrorMessage("Fatal  : m active = 0!");
  s.fe = NaturalFrequency(s.mActive, s.R);
  if (t.FQ != 0.0L && s.mActive > 0.0L)
    for (int i = 0; i < 5; ++i) t.fq[i] = TransverseNaturalFrequency(t.Rq[i]);

  // Step 21: fatigue values, mandrel and sleeve.
  s.L = s.L2;
  UpdateFatigueValues(1);
  s.Ddmax = s.TolDeMinus + s.Di - s.TolWire;
  s.Dhmin = s.dDe + s.TolDe + s.TolWire + s.De;
  s.MaterialCoiling = s.CoilingKind;

  // Steps 22-23: resonance, stroke limit.
  if (FlagSet()) return;
  if (s.fe <= 0.0L) return PostFatal("Fatal  : Eigenfrequenz <= 0 !");
  const Real q = s.f / s.fe;
  resonance(s.f, s.m, s.R, s.F2, s.F1);
  // The loss of F2 by relaxation, from the relaxation row of a table material.
  s.F2Relax = s.MaterialSel == 0 ? RelaxationLoss(s.tau2, s.T, s.d) : 0.0L;
  if (s.MaterialSel != 0) ClearRmTable();
  s.StrokeMaxFatigue = SafeDiv(kPi * (s.tauhzul + s.tauk1) * s.d * s.d * s.d, 8.0L * s.R * s.Dm * s.k) - s.s1;

  if (!ResultsInRange(s, pd)) return PostFatal("Fatal  : Zahlenbereich überschritten !"_oem);

  // Steps 24-28: checks, life lines, set length, scrap, title line.
  CheckCalculatedSpring(q);
  s.NoLifeMinMax = (s.L2 < s.Ln || s.sk < s.s2 || s.tauk2 > s.tauzul) ? 1 : 0;
  if (WarningsOn() && s.L2 < pd.Ls && pd.ShowSetLength != 0) AddErrorMessage("Warnung: Ls > L2");
  if (s.Statistics != 'N') StatisticsScrap();
  // The title line (drawing name and number) was set at the start.
}

void RunCalculation() { CalculateSpring(); }

void RunCalculationFlagged() {
  SpringData().CalcDoneFlag = 0;
  CalculateSpring();
  SpringData().CalcDoneFlag = 1;
}

}  // namespace zeb
