#include "reports/printout_lines.h"

#include <cmath>
#include <limits>

#include "base/format.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "spring/spring_data.h"

namespace zeb {

using namespace printout;

namespace {

constexpr Real kCyclesLimit = 1e7L;    // fatigue-strength limit
constexpr Real kBucklingSentinel = 9999.0L;

// One significant digit, but every integer digit: 2.35 gives "2", 65.2
// gives "65", 0.234 gives "0.2".
std::string LifeNumberText(Real x) {
  if (!std::isfinite(x)) return {};
  if (std::fabs(x) >= 0.95L) return FormatFloatField(0, 0, x);
  return FloatToStrSigLess(2, x);
}

std::string CycleText(Real cycles) { return LifeNumberText(cycles * 1e-6L); }

std::string HourText(Real cycles, Real f) { return LifeNumberText(SafeQuotient(cycles, f) / 3600.0L); }

// Wire value with its symmetric tolerance, no blank between.
std::string WireValue(Real x) {
  const SpringDataRecord& s = SpringData();
  return LengthText(x) + FormatLengthTolerancePair(s.TolWire, -s.TolWire);
}

}  // namespace

namespace printout {

Real SafeQuotient(Real a, Real b) {
  if (b == 0.0L) return std::numeric_limits<Real>::quiet_NaN();
  const Real q = a / b;
  return std::isfinite(q) ? q : std::numeric_limits<Real>::quiet_NaN();
}

std::string LengthText(Real x) { return std::isfinite(x) ? FormatLength(x) : std::string(); }
std::string LengthFieldText(int intDigits, int decimals, Real x) {
  return std::isfinite(x) ? FormatLengthField(intDigits, decimals, x) : std::string();
}
std::string LengthDecText(int decimals, Real x) {
  return std::isfinite(x) ? FormatLengthDec(decimals, x) : std::string();
}
std::string ForceText(Real x) { return std::isfinite(x) ? FormatForce(x) : std::string(); }
std::string ForceFieldText(int intDigits, int decimals, Real x) {
  return std::isfinite(x) ? FormatForceField(intDigits, decimals, x) : std::string();
}
std::string StressText(Real x) { return std::isfinite(x) ? FormatStress(x) : std::string(); }
std::string StressFieldText(int intDigits, int decimals, Real x) {
  return std::isfinite(x) ? FormatStressField(intDigits, decimals, x) : std::string();
}
std::string KnownStressText(int intDigits, Real x) {
  if (x > 0) return StressFieldText(intDigits, 0, x);
  const std::string zero = FormatStressField(intDigits, 0, 0);
  return std::string(zero.empty() ? 0 : zero.size() - 1, ' ') + "-";
}
std::string StressDecText(int decimals, Real x) {
  return std::isfinite(x) ? FormatStressDec(decimals, x) : std::string();
}
std::string RateText(Real x) { return std::isfinite(x) ? FormatSpringRate(x) : std::string(); }
std::string RateFieldText(int intDigits, int decimals, Real x) {
  return std::isfinite(x) ? FormatSpringRateField(intDigits, decimals, x) : std::string();
}
std::string SigText(Real x) { return std::isfinite(x) ? FloatToStrSig(x) : std::string(); }
std::string SigLessText(int k, Real x) { return std::isfinite(x) ? FloatToStrSigLess(k, x) : std::string(); }
std::string FieldText(int intDigits, int decimals, Real x) {
  return std::isfinite(x) ? FormatFloatField(intDigits, decimals, x) : std::string();
}
std::string MomentText(Real x) { return std::isfinite(x) ? FormatMoment(x) : std::string(); }
std::string SmallMassText(Real x) { return std::isfinite(x) ? FormatSmallMass(x) : std::string(); }

}  // namespace printout

void WriteLifeLines() {
  const SpringDataRecord& s = SpringData();
  if (s.LoadType != 2 || !(s.tauhzul > 0.0L) || s.NoLifeMinMax != 0) return;
  const bool outside = s.tauoz < s.tauk2;
  const auto bracketed = [outside](const std::string& t) { return outside ? "(" + t + ")" : t; };
  const bool tolKnown = s.FatigueTol2 != 0.0L || s.FatigueTol1 != 0.0L;

  if (s.Sh < 1.0L) {
    WriteResultRow(s.LoadCase == 1 ? "Lastspiele bis Bruch(tauoz=tauz)" : "Lastspiele bis Bruch", "N", "Mio",
                   bracketed(CycleText(s.N)));
    const bool minMax = tolKnown && s.tauoz > s.tauk2;
    if (minMax) {
      WriteResultRow("Toleranz Dauerfestigkeit", "tol", "%", FormatTolerancePair(s.FatigueTol2, s.FatigueTol1));
      WriteResultRow2("Lastspiele bis Bruch min/max", "N", "Mio", CycleText(s.Nmin), CycleText(s.Nmax));
    }
    if (s.f > 0.0L && s.N < kCyclesLimit) {
      const std::string label =
          s.LoadCase == 1 ? std::string("Lebensdauer (tauoz=tauz)") : "Lebensdauer (f=" + SigText(s.f) + "Hz)";
      WriteResultRow(label, "tN", "h", bracketed(HourText(s.N, s.f)));
      if (minMax) WriteResultRow2("Lebensdauer min/max", "tN", "h", HourText(s.Nmin, s.f), HourText(s.Nmax, s.f));
    }
    return;
  }

  if (outside) {
    WriteResultRow("Lastspiele bis Bruch", "N", "", "( > 10 Mio.)");
    return;
  }
  WriteResultRow("Lastspiele bis Bruch", "N", "", " > 10 Mio.");
  if (s.Nmin < kCyclesLimit) {
    WriteResultRow("Toleranz Dauerfestigkeit", "tol", "%", FormatTolerancePair(s.FatigueTol2, s.FatigueTol1));
    WriteResultRow2("Lastspiele bis Bruch min/max", "N", "Mio", CycleText(s.Nmin), CycleText(s.Nmax));
  }
  WriteResultRow("Lebensdauer", "tN", "", "dauerfest");
  if (s.f > 0.0L && s.Nmin < kCyclesLimit)
    WriteResultRow2("Lebensdauer min/max", "tN", "h", HourText(s.Nmin, s.f), HourText(s.Nmax, s.f));
}

std::string WriteBucklingValue(int intDigits, int decimals, Real x) {
  if (x == kBucklingSentinel) return "knicksicher";
  if (intDigits == 0) return LengthText(x);
  return LengthFieldText(intDigits, decimals, x);
}

void WriteMaterialNameLines() {
  const SpringDataRecord& s = SpringData();
  if (s.MaterialSel == 0) {
    const MaterialRecord& m = ZEBWST_Record();
    WriteResultLine(m.Name1 + " " + m.Name2);
    WriteResultLine(m.Name3 + " " + m.Name4);
  } else {
    WriteResultLine("Werkstoff: " + s.MaterialName);
  }
}

void WriteMaterialLines() {
  const SpringDataRecord& s = SpringData();
  WriteMaterialNameLines();
  if (s.LoadCase != 0 && s.LoadType > 1) WriteResultLine("Goodman Diagram: " + LoadCaseNames(s.LoadCase));
}

void WriteWireRows() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  const int cs = s.CrossSection;
  if (cs == 2 || cs == 3 || cs == 4 || cs == 7) WriteResultRow("Drahtquerschnitt", "", "", CrossSectionNames(cs));
  const std::string wire = "Draht"_oem;
  switch (cs) {
    case 2:
    case 4:
    case 5:
    case 6:
      WriteResultRow(wire + " " + "Breite", "b", L, WireValue(s.d));
      WriteResultRow(wire + " " + "Höhe"_oem, "h", L, WireValue(s.h));
      break;
    case 3:
      WriteResultRow(wire + " " + "Breite", "a", L, WireValue(s.d));
      break;
    case 7:
      WriteResultRow("Drahtdurchmesser", "d", L, WireValue(s.d));
      WriteResultRow(wire + " " + "Innendurchmesser", "di", L, LengthText(s.di));
      break;
    default:
      WriteResultRow("Drahtdurchmesser", "d", L, WireValue(s.d));
      break;
  }
  if (cs == 6) WriteResultRow(wire + " " + "Radius", "r", L, LengthText(s.r));
}

}  // namespace zeb
