#include "spring/strength.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/text.h"
#include "spring/calc.h"
#include "spring/calc_common.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

using namespace calc_common;

}  // namespace

Real MaterialRmOfD(Real d) {
  const MaterialRecord& m = ZEBWST_Record();
  if (d <= 0) {
    AddErrorMessage("Fatal  : d <= 0 !");
    return 0.1L;
  }
  const Real dr0 = MaterialReal(m.DR0);
  if (dr0 == 0) {
    AddErrorMessage("Fatal  : DR0 = 0 !");
    return 0.1L;
  }
  Real rm = m.Rm0 - Log10Ext(d / dr0) * m.RmSlope;
  if (m.RmMax > 1 && rm > m.RmMax) rm = m.RmMax;
  return rm;
}

namespace {

// MaterialAllowedStress; the caption only when text is given.
void AllowedStress(int kind, int loadCase, Real& tauoz, Real& tauh0, Real& slope, Real& knee,
                   std::string* text) {
  SpringDataRecord& s = SpringData();
  const MaterialRecord& m = ZEBWST_Record();
  const bool sigma = (kind == 2);
  const bool dynamic = (s.LoadType == 2);
  ClearReals({&tauoz, &tauh0, &slope, &knee});
  if (text) text->clear();

  const Real d0 = MaterialReal(m.d0);
  if (d0 > 0) {
    if (text) *text = MaterialCaption();
    const Real L = Log10Ext(s.d / d0);
    const bool peened = (s.ShotPeened != 'N');
    const FatigueGroup* group = nullptr;
    Real strokeFactor = 1;
    bool approximated = false;
    if (peened) {
      if (m.Peened.tauo0 != 0 && m.Peened.tauh0 != 0) {
        group = &m.Peened;
      } else {
        group = &m.Unpeened;
        strokeFactor = 1.2L;
        approximated = true;
      }
      if (text) *text += " kugelgestrahlt";
    } else {
      if (m.Unpeened.tauo0 != 0 && m.Unpeened.tauh0 != 0) {
        group = &m.Unpeened;
      } else {
        group = &m.Peened;
        strokeFactor = 5.0L / 6.0L;
        approximated = true;
      }
      if (text) *text += " nicht kugelgestrahlt";
    }
    if (approximated && s.WarningsOn == 1 && s.LoadType >= 2) AddErrorMessage("Warnung: approx.Goodman");

    if (loadCase == 1) {
      tauoz = 0.56L * MaterialRmOfD(s.d);
    } else if (loadCase == 2) {
      tauoz = 0.6L * MaterialRmOfD(s.d);
    } else {
      tauoz = group->tauo0 - L * group->tauoSlope;
    }
    tauh0 = group->tauh0 * strokeFactor - L * group->tauhSlope;
    slope = MaterialReal(group->GoodmanSlope);
  }

  // Permissible stroke stress. A missing Goodman slope is reported and
  // counts as no permissible stroke; the rest is still worked out.
  if (tauoz == 0 && tauh0 == 0 && slope == 0) {
    s.tauhzul = 0;
  } else if (s.MaterialSel != 0) {
    s.tauhzul = 0;
  } else if (slope == 0) {
    AddErrorMessage("Fehler : ZEBWST Goodman");
    s.tauhzul = 0;
  } else {
    knee = (tauoz - tauh0) / slope;
    if (knee <= s.tauk1) {
      s.tauhzul = tauoz - s.tauk1;
    } else {
      s.tauhzul = tauh0 + slope * s.tauk1 - s.tauk1;
    }
  }

  if (s.tau2 == 0) {
    PostFatal(sigma ? "Fehler : sigma2=0 !" : "Fehler : tau2=0 !");
    return;
  }
  if (s.tauk2 == 0) {
    PostFatal(sigma ? "Fehler : sigmak2=0 !" : "Fehler : tauk2=0 !");
    return;
  }
  if (s.taukh == 0) {
    PostFatal(sigma ? "Fehler : sigmakh=0 !" : "Fehler : taukh=0 !");
    return;
  }

  const Real stress1 = dynamic ? s.tauk1 : s.tau1;
  const Real stress2 = dynamic ? s.tauk2 : s.tau2;
  s.S1 = SameFloat(stress1, 0) ? 99.0L : Quotient(s.tauzul, stress1);
  s.S2 = Quotient(s.tauzul, stress2);
  s.Sh = Quotient(s.tauhzul, s.taukh);

  if (!dynamic) {
    s.N = s.Nmin = s.Nmax = 0;
  } else if (s.Sh < 0.001L || s.tauk2 < 0 || tauh0 <= 0) {
    s.N = s.Nmin = s.Nmax = 0;
  } else {
    auto cycles = [&](Real t) {
      const Real x = 11 - 4 * Quotient(tauh0 + s.tauk2 - t - s.tauk1, tauh0);
      return PowerChecked(10, x, "Load cycles");
    };
    // Without fatigue tolerances the three stresses are equal.
    const Real tMin = s.tauhzul * (1 + 0.01L * s.FatigueTol1);
    const Real tMax = s.tauhzul * (1 + 0.01L * s.FatigueTol2);
    s.N = cycles(s.tauhzul);
    s.Nmin = tMin == s.tauhzul ? s.N : cycles(tMin);
    s.Nmax = tMax == tMin ? s.Nmin : cycles(tMax);
  }

  if (tauoz > 0 && tauoz < s.tauk2 && dynamic) {
    AddErrorMessage(sigma ? "Fehler : sigmak2 > sigmao !" : "Fehler : tauk2 > tauo !");
  }
  if (tauoz == 0 && tauh0 == 0 && slope == 0 && dynamic && s.WarningsOn == 1) {
    AddErrorMessage("Warnung: kein Goodman-Diagramm");
  }
  s.tauoz = tauoz;
}

}  // namespace

void MaterialAllowedStress(int kind, int loadCase, Real& tauoz, Real& tauh0, Real& slope, Real& knee,
                           std::string& text) {
  AllowedStress(kind, loadCase, tauoz, tauh0, slope, knee, &text);
}

void UpdateFatigueValues(int kind) {
  Real tauoz = 0, tauh0 = 0, slope = 0, knee = 0;
  AllowedStress(kind, SpringData().LoadCase, tauoz, tauh0, slope, knee, nullptr);
  LoadSpectrumLife(tauoz, tauh0, slope);
}

namespace {

// Refuses the levels that leave the spring's travel [Lc, L0], run the
// wrong way or have negative strokes, and a period that is not above 0,
// each with its message. True when every level may be used.
bool CheckLoadLevels(LoadSpectrumRecord& ls, int count) {
  const SpringDataRecord& s = SpringData();
  // A length typed as the printout shows Lc or L0 (two decimals) may lie
  // up to half a digit beyond the calculated one.
  constexpr Real kSlack = 0.005L;
  bool ok = true;
  for (int i = 1; i <= count; ++i) {
    LoadLevel& level = ls.Levels[static_cast<std::size_t>(i)];
    const std::string head = "Fehler : Lastkollektiv Stufe " + IntToText(i) + ": ";
    const bool below = !(level.L1 >= s.Lc - kSlack && level.L2 >= s.Lc - kSlack);
    const bool above = !(level.L1 <= s.L0 + kSlack && level.L2 <= s.L0 + kSlack);
    const bool reversed = !(level.L1 > level.L2);
    const bool negative = !(level.ni >= 0) || !std::isfinite(level.ni);
    if (below) AddErrorMessage(head + "L < Lc !");
    if (above) AddErrorMessage(head + "L > L0 !");
    if (reversed) AddErrorMessage(head + "L2 >= L1 !");
    if (negative) AddErrorMessage(head + "ni < 0 !");
    level.Refused = (below || above || reversed || negative) ? 1 : 0;
    if (level.Refused != 0) ok = false;
  }
  if (count > 0 && !(ls.Tp > 0 && std::isfinite(ls.Tp))) AddErrorMessage("Fehler : Lastkollektiv Tp <= 0 !");
  return ok;
}

}  // namespace

void LoadSpectrumLife(Real tauoz, Real tauh0, Real slope) {
  const SpringDataRecord& s = SpringData();
  LoadSpectrumRecord& ls = LoadSpectrum();
  const int count = std::clamp<int>(ls.Count, 0, kMaxLoadLevels);
  ClearReals({&ls.np, &ls.Np, &ls.Nn, &ls.tN});
  ls.FatigueProof = 0;
  for (int i = 1; i <= kMaxLoadLevels; ++i) {
    LoadLevel& level = ls.Levels[static_cast<std::size_t>(i)];
    ClearReals({&level.Nni, &level.tNi, &level.Damage});
    level.Refused = 0;
    if (i <= count && std::isfinite(level.ni) && level.ni > 0) ls.np += level.ni;
  }
  if (!std::isfinite(ls.np)) ls.np = 0;
  if (count == 0 || G().FatalErrorFlag != 0) return;
  const bool levelsOk = CheckLoadLevels(ls, count);
  // The same conditions as the permissible stroke and the cycles of the
  // spring itself.
  const bool fatigueData = !(tauoz == 0 && tauh0 == 0 && slope == 0) && s.MaterialSel == 0 && slope != 0;
  if (s.LoadType != 2 || !fatigueData || tauh0 <= 0) return;
  // Hours only for a period that is one; the cycles do not depend on it.
  const bool hours = ls.Tp > 0 && std::isfinite(ls.Tp);
  const Real knee = (tauoz - tauh0) / slope;
  // Corrected stress at a length of the spring.
  auto stressAt = [&s](Real L) { return s.k * ShearStressOfForce(s.R * (s.L0 - L)); };
  Real damage = 0;
  for (int i = 1; i <= count; ++i) {
    LoadLevel& level = ls.Levels[static_cast<std::size_t>(i)];
    if (level.Refused != 0 || !(std::isfinite(level.ni) && level.ni > 0)) continue;
    // The lower of the two stresses is the one the stroke starts from.
    const Real a = stressAt(level.L1), b = stressAt(level.L2);
    const Real lower = std::min(a, b), upper = std::max(a, b);
    const Real permissible = knee <= lower ? tauoz - lower : tauh0 + slope * lower - lower;
    const Real x = 11 - 4 * (tauh0 + upper - permissible - lower) / tauh0;
    const Real cycles = PowerChecked(10, x, "Load cycles");
    if (!std::isfinite(cycles) || cycles <= 0) continue;
    level.Nni = cycles;
    if (hours) level.tNi = cycles * ls.Tp / (level.ni * 3600);
    if (!std::isfinite(level.tNi)) level.tNi = 0;
    if (upper - lower > permissible) {
      level.Damage = level.ni / cycles;
      if (!std::isfinite(level.Damage)) level.Damage = 0;
      damage += level.Damage;
    }
  }
  // A refused level leaves the spectrum without a life.
  if (!levelsOk || !std::isfinite(damage)) return;
  if (damage == 0) {
    ls.FatigueProof = 1;
    return;
  }
  const Real periods = 1 / damage;
  const Real strokes = periods * ls.np;
  const Real life = hours ? periods * ls.Tp / 3600 : 0;
  if (!std::isfinite(periods) || !std::isfinite(strokes) || !std::isfinite(life)) return;
  ls.Np = periods;
  ls.Nn = strokes;
  ls.tN = life;
}

void CopyMaterialToSpring() {
  SpringDataRecord& s = SpringData();
  const MaterialRecord& m = ZEBWST_Record();
  s.MaterialSel = 0;
  s.MaterialStd = 0;
  s.MaterialName = m.Name1;
  s.E = m.E;
  s.G = m.G;
  s.rho = MaterialReal(m.Density);
}

void AddMaterialTableMessages() {
  const SpringGlobals& g = SG();
  if (g.SpringData.MaterialSel != 0) return;
  if (g.RmTableBad != 0) AddErrorMessage(g.RmTableBad == 1 ? "Fatal  : zebrmmin dbf error" : "Fatal  : zebrmmax dbf error");
  if (g.RelaxationTableBad != 0) AddErrorMessage("Fatal  : ZEBWSTR.DBF error");
}

bool RelaxationUnknown() { return SG().RelaxationTableBad != 0 && SpringData().MaterialSel == 0; }

namespace {

// y0 (x / x0)^e through (x0, y0) and (x1, y1); false for a curve that is
// not there (a point 0) or no power law.
bool RelaxationCurveAt(Real x0, Real y0, Real x1, Real y1, Real x, Real& y) {
  if (!(x0 > 0 && y0 > 0 && x1 > 0 && y1 > 0) || x1 == x0 || !(x > 0)) return false;
  const Real lx = std::log(x1 / x0), ly = std::log(y1 / y0);
  if (!(std::fabs(lx) > 0) || !std::isfinite(lx) || !std::isfinite(ly) || std::fabs(ly) > 1000 * std::fabs(lx))
    return false;
  y = y0 * std::pow(x / x0, ly / lx);
  return std::isfinite(y);
}

// Between a at xa and b at xb, linear; beyond them the nearer one; one of
// them alone when the other is missing.
bool Between(bool hasA, Real a, Real xa, bool hasB, Real b, Real xb, Real x, Real& y) {
  if (hasA && hasB && xb != xa) {
    const Real t = std::clamp<Real>((x - xa) / (xb - xa), 0, 1);
    y = a + t * (b - a);
  } else if (hasA || hasB) {
    y = hasA ? a : b;
  }
  return hasA || hasB;
}

}  // namespace

void ReadRelaxationFields(const std::function<std::string(int)>& field) {
  RelaxationRecordT& r = RelaxationRecord();
  r.Number = TextToInt(field(1));
  r.Name = AnsiToOemBuf(field(2));
  r.T1 = TextToInt(field(3));
  r.T2 = TextToInt(field(4));
  r.d1 = MakeReal48(TextToFloat(field(5)));
  r.d2 = MakeReal48(TextToFloat(field(6)));
  for (int k = 0; k < 8; ++k) {
    r.Tau[static_cast<std::size_t>(k)] = TextToInt(field(7 + 2 * k));
    r.Rx[static_cast<std::size_t>(k)] = MakeReal48(TextToFloat(field(8 + 2 * k)));
  }
}

Real RelaxationLoss(Real tau, Real T, Real d) {
  if (SG().RelaxationFound == 0) return 0;
  const RelaxationRecordT& r = RelaxationRecord();
  const Real d1 = MaterialReal(r.d1), d2 = MaterialReal(r.d2);
  bool has[4] = {};
  Real at[4] = {};
  for (std::size_t c = 0; c < 4; ++c)
    has[c] = RelaxationCurveAt(r.Tau[2 * c], MaterialReal(r.Rx[2 * c]), r.Tau[2 * c + 1],
                               MaterialReal(r.Rx[2 * c + 1]), tau, at[c]);
  Real low = 0, high = 0, rx = 0;
  const bool hasLow = Between(has[0], at[0], d1, has[1], at[1], d2, d, low);
  const bool hasHigh = Between(has[2], at[2], d1, has[3], at[3], d2, d, high);
  if (!Between(hasLow, low, r.T1, hasHigh, high, r.T2, T, rx)) return 0;
  return std::clamp<Real>(rx, 0, 100);
}

std::string MaterialKeyFieldName() { return Tables().TableFieldName(27); }

}  // namespace zeb
