#include "spring/checks.h"

#include <cmath>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/text.h"
#include "platform/oem_literal.h"
#include "spring/calc_common.h"
#include "spring/material.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

using namespace calc_common;

// Safety factor as appended to the stress texts: one integer digit, two
// decimals.
std::string SafetyText(Real permissible, Real actual) {
  return FormatFloatField(1, 2, Quotient(permissible, actual));
}

bool Outside(Real x, Real lo, Real hi) { return x < lo || x > hi; }

std::string TemperatureText(Real t) { return FormatTemperatureDec(0, t) + DegreeSign() + ")"; }

// Diameter range of the built-in material groups; false when none applies.
bool MaterialGroupRange(int sel, int std, Real& lo, Real& hi, const char*& text) {
  switch (sel) {
    case 1:
      switch (std) {
        case 1: lo = 1; hi = 10; text = "DIN: 1<d<10"; return true;
        case 2: lo = 0.3L; hi = 20; text = "DIN: 0.3<d<20"; return true;
        case 3: lo = 2; hi = 20; text = "DIN: 2<d<20"; return true;
        case 4: lo = 0.07L; hi = 20; text = "DIN: 0.07<d<20"; return true;
        default: return false;
      }
    case 2:
      switch (std) {
        case 1: lo = 1; hi = 14; text = "FD  DIN: 1<d<14"; return true;
        case 2: lo = 1; hi = 7.5L; text = "VD  DIN: 1<d<7"; return true;
        default: return false;
      }
    case 3: lo = 7; hi = 80; text = "DIN: 7<d<80"; return true;
    case 4:
    case 5:
    case 6: lo = 0.07L; hi = 20; text = "DIN: 0.07<d<20"; return true;
    default: return false;
  }
}

}  // namespace

bool MessageListFull() {
  const ErrorMessageListT& list = G().ErrorMessageList;
  return list.count + 1u >= list.slot.size();
}

// Texts with a number are formatted only while the list can take them.
void CheckPermissibleStress() {
  const SpringDataRecord& s = SpringData();
  const bool warn = (s.WarningsOn == 1);

  // A row of the material table without a strength law has had its texts
  // posted by the calculation, which goes on; an Rm of 0 otherwise (own
  // values, no material found) stops it.
  if (std::fabs(s.Rm) < 1) {
    const bool rowWithoutLaw = s.MaterialSel < 11 && ZEBWST_Record().MaterialNumber > 0 && !MaterialHasRmLaw();
    if (rowWithoutLaw)
      AddErrorMessage("Fatal  : Rm = 0 !");
    else
      PostFatal("Fatal  : Rm = 0 !");
  }

  // Without a permissible stress (no strength) these checks do not apply.
  const bool tauzKnown = s.tauzul > 0;
  if (s.LoadType == 2) {
    if (tauzKnown && s.tauk2 > s.tauzul && !MessageListFull())
      AddErrorMessage("Fehler : tauk2>tau zul! S=" + SafetyText(s.tauzul, s.tauk2));
    if (tauzKnown && s.tauk1 > s.tauzul) AddErrorMessage("Fehler : tauk1>tau zul !");
    if (warn && s.tauhzul > 0 && s.taukh > s.tauhzul && !MessageListFull()) {
      AddErrorMessage("Fehler : taukh>tauhzul! S=" + SafetyText(s.tauhzul, s.taukh));
    }
  } else if (tauzKnown && s.LoadType == 1) {
    if (s.tau2 > s.tauzul && !MessageListFull())
      AddErrorMessage("Fehler : tau2>tau zul! S=" + SafetyText(s.tauzul, s.tau2));
    if (s.tau1 > s.tauzul) AddErrorMessage("Fehler : tau1>tau zul !");
  }

  if (warn && s.T > 50 && s.tauzul > 0 && s.tauk2 / s.tauzul > 0.6L && !MessageListFull()) {
    AddErrorMessage("Warnung: tau(T=" + FloatToStrSig(s.T) + "°C)"_oem);
  }

  Real lo = 0, hi = 0;
  const char* rangeText = nullptr;
  if (warn && MaterialGroupRange(s.MaterialSel, s.MaterialStd, lo, hi, rangeText) && Outside(s.d, lo, hi)) {
    AddErrorMessage(rangeText);
  }

  if (s.MaterialSel == 0 && warn && !MessageListFull()) {
    const MaterialRecord& m = ZEBWST_Record();
    const Real dmin = MaterialReal(m.dmin);
    const Real dmax = MaterialReal(m.dmax);
    // A limit of 0 or less is not known: no check.
    if (dmin > 0 && s.d < dmin) AddErrorMessage("Warnung: d<dmin (" + FloatToStrSig(dmin) + ")");
    if (dmax > 0 && s.d > dmax) AddErrorMessage("Warnung: d>dmax (" + FloatToStrSig(dmax) + ")");
    if (m.Tmax > 0 && s.T > m.Tmax) AddErrorMessage("Warnung: T>Tmax (" + TemperatureText(m.Tmax));
    if (s.F2Relax > 0) {
      const RelaxationRecordT& relax = RelaxationRecord();
      if (s.T > relax.T2) AddErrorMessage("Warnung: T>T2relax (" + TemperatureText(relax.T2));
      if (s.T < relax.T1) AddErrorMessage("Warnung: T<T1relax (" + TemperatureText(relax.T1));
    }
  }

  if (warn) {
    if (s.WireStd == 1 && Outside(s.d, 0.3L, 20)) AddErrorMessage("DIN 2076 0.3<d<20");
    if (s.WireStd == 2 && Outside(s.d, 0.07L, 20)) AddErrorMessage("DIN 2076 0.07<d<20");
    if (s.WireStd == 3 && Outside(s.d, 7, 80)) AddErrorMessage("DIN 2077  7<d<80");
    if (s.ShotPeened != 'N' && s.d < 1) AddErrorMessage("Warnung: d<1 (Kugelstrahlen !)");
  }

  if (s.CrossSection == 4 && s.d > 0 && s.h > 0 && MaxExt(s.h / s.d, s.d / s.h) > 5) {
    AddErrorMessage("Warnung: h/b > 5 !");
  }
}

void CheckStandardRanges(int gradeDe, int gradeL0, int gradeF1, Real n, Real L0, Real d, Real Dm,
                         int gradeE2, int gradeE1, int gradeF2) {
  if (!(d > 0) || !(Dm > 0)) return;
  const Real w = Dm / d;
  const int grades[] = {gradeDe, gradeL0, gradeF1, gradeF2, gradeE1, gradeE2};
  bool en15800 = false, din2096 = false;
  for (int g : grades) {
    en15800 = en15800 || (g >= 1 && g <= 3);
    din2096 = din2096 || g == 4;
  }
  if (en15800) {
    if (Outside(d, 0.07L, 16)) AddErrorMessage("Warnung: EN15800: 0.07<d<16");
    if (Outside(Dm, 0.63L, 200)) AddErrorMessage("Warnung: EN15800: 0.63<Dm<200");
    if (L0 > 630) AddErrorMessage("Warnung: EN15800: L0 < 630mm");
    if (n < 2) AddErrorMessage("Warnung: EN15800: n >= 2");
    if (Outside(w, 4, 20)) AddErrorMessage("Warnung: EN15800: 4 < w < 20");
  }
  if (din2096) {
    if (Dm + d > 460) AddErrorMessage("Warnung: DIN2096: De <= 460mm");
    if (Outside(d, 8, 60)) AddErrorMessage("Warnung: DIN2096: 8 < d < 60");
    if (L0 > 800) AddErrorMessage("Warnung: DIN2096: L0 <= 800mm");
    if (n < 3) AddErrorMessage("Warnung: DIN2096: n >= 3");
    if (Outside(w, 3, 12)) AddErrorMessage("Warnung: DIN2096: 3 < w < 12");
  }
  if ((gradeE1 == 1 || gradeE2 == 1) && (w > 12 || L0 / Dm > 5)) {
    AddErrorMessage("Warnung: EN15800: e1,e2 G.1 w<12 la.<5");
  }
}

}  // namespace zeb
