#include "reports/printout_comp.h"

#include <cmath>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/mathx.h"
#include "reports/device.h"
#include "reports/printout_lines.h"
#include "reports/printout_short.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"

namespace zeb {

using namespace printout;

namespace {

bool Aborted() { return G().AbortFlag != 0; }

// The inputs every variant starts from.
struct CompensationInputs {
  Real F1, F2, L0, n, Lc, TolF2, TolF2Minus, TolF1, TolF1Minus, TolDe, TolDeMinus, TolWire, d, De, Di, Dm, sh;
};

CompensationInputs SaveCompensationInputs() {
  const SpringDataRecord& s = SpringData();
  return {s.F1,    s.F2,         s.L0,      s.n, s.Lc,  s.TolF2, s.TolF2Minus, s.TolF1, s.TolF1Minus,
          s.TolDe, s.TolDeMinus, s.TolWire, s.d, s.De, s.Di,    s.Dm,         s.sh};
}

void RestoreCompensationInputs(const CompensationInputs& v) {
  SpringDataRecord& s = SpringData();
  s.F1 = v.F1;
  s.F2 = v.F2;
  s.L0 = v.L0;
  s.n = v.n;
  s.Lc = v.Lc;
  s.TolF2 = v.TolF2;
  s.TolF2Minus = v.TolF2Minus;
  s.TolF1 = v.TolF1;
  s.TolF1Minus = v.TolF1Minus;
  s.TolDe = v.TolDe;
  s.TolDeMinus = v.TolDeMinus;
  s.TolWire = v.TolWire;
  s.d = v.d;
  s.De = v.De;
  s.Di = v.Di;
  s.Dm = v.Dm;
  s.sh = v.sh;
}

Real GivenCoilDiameter() {
  const SpringDataRecord& s = SpringData();
  return s.DiameterGiven == 1 ? s.De : s.DiameterGiven == 2 ? s.Di : s.Dm;
}

std::string GivenDiameterName() {
  const int given = SpringData().DiameterGiven;
  return given == 1 ? "De" : given == 2 ? "Di" : "Dm";
}

constexpr std::string_view kFatalLine = "Fatal Error !!!  ";

// One variant line from the current data set; failed: the variant could
// not be prepared (zero divisor) and counts as a failed calculation.
void WriteCompensationRow(bool failed = false) {
  const SpringDataRecord& s = SpringData();
  if (failed) {
    WriteResultLine(kFatalLine);
    WriteResultLine(SingleRuleLine());
    return;
  }
  std::string message;
  if (s.F2 < s.F1) message += "Fatal: F1 > F2!!!  ";
  if (s.tauzul > 0.0L && s.tauzul < s.tauk2) message += "tauk2>tauz!!  ";
  if (s.Ln > s.L2) message += "L2<Ln!  ";
  if (s.Lc > s.L2) message += "L2<Lc!!!  ";

  std::string line;
  if (s.F2 < s.F1) {
    line = ForceFieldText(5, 1, s.F1) + "  " + ForceFieldText(5, 1, s.F2) + "  " + RateFieldText(3, 2, s.R);
  } else if (G().FatalErrorFlag != 0) {
    line = kFatalLine;
  } else {
    const std::string parts[] = {ForceFieldText(5, 1, s.F1),  ForceFieldText(5, 1, s.F2),
                                 RateFieldText(3, 2, s.R),    LengthFieldText(3, 1, s.L0),
                                 LengthFieldText(3, 1, s.Lc), FieldText(3, 2, s.n),
                                 LengthFieldText(3, 2, GivenCoilDiameter()), LengthFieldText(2, 3, s.d),
                                 StressFieldText(4, 0, s.tauk2)};
    for (const std::string& p : parts) {
      if (!line.empty()) line += "  ";
      line += p;
    }
  }
  WriteResultLine(line);
  if (message.empty()) {
    WriteResultLine(SingleRuleLine());
  } else {
    WriteResultLine(message);
    WriteResultLine(DoubleRuleLine());
  }
}

enum class Run { kCalculation, kRecalculation };

// A change of the inputs; false when it cannot be made (zero divisor).
using Change = std::function<bool(SpringDataRecord&)>;

class VariantWriter {
 public:
  explicit VariantWriter(const CompensationInputs& inputs) : inputs_(inputs) {}

  // Restores the inputs, applies the change, calculates and writes the
  // label and the line. False once the output is aborted.
  bool Variant(std::string_view label, Run run, const Change& change) {
    if (Aborted()) return false;
    RestoreCompensationInputs(inputs_);
    const bool ok = change(SpringData());
    if (ok) {
      if (run == Run::kCalculation)
        RunCalculation();
      else
        RunRecalculation();
    }
    WriteResultLine(label);
    WriteCompensationRow(!ok);
    return !Aborted();
  }

 private:
  const CompensationInputs& inputs_;
};

// Forces of the three limit combinations of a block.
void MaxF2MinF1(SpringDataRecord& s) {
  s.F2 += s.TolF2;
  s.F1 += s.TolF1Minus;
}
void MinF2MaxF1(SpringDataRecord& s) {
  s.F2 += s.TolF2Minus;
  s.F1 += s.TolF1;
}
void MinF2MinF1(SpringDataRecord& s) {
  s.F2 += s.TolF2Minus;
  s.F1 += s.TolF1Minus;
}

// The wire for the rate of the changed forces.
bool DeriveWire(SpringDataRecord& s) {
  const Real R = SafeQuotient(s.F2 - s.F1, s.sh);
  const Real base = SafeQuotient(8.0L * R * s.n * IntPowerExt(3, s.Dm), s.GT);
  if (!std::isfinite(base)) return false;
  const Real d = PowerChecked(base, 0.25L, "fertausgl.d");
  if (!std::isfinite(d)) return false;
  s.R = R;
  s.d = d;
  return true;
}

// The coil diameters for the rate of the changed forces.
bool DeriveCoilDiameter(SpringDataRecord& s) {
  const Real R = SafeQuotient(s.F2 - s.F1, s.sh);
  const Real base = SafeQuotient(s.GT * IntPowerExt(4, s.d), 8.0L * R * s.n);
  if (!std::isfinite(base)) return false;
  const Real Dm = PowerChecked(base, 1.0L / 3.0L, "fertausgl.Dm");
  if (!std::isfinite(Dm)) return false;
  s.R = R;
  s.Dm = Dm;
  s.De = Dm + s.d;
  s.Di = Dm - s.d;
  return true;
}

// Blocks n, d and De,Di,Dm: F1min/F2max, F1max/F2min and, when the force
// fields meet or cross, F1min/F2min.
bool ForceBlock(VariantWriter& out, const std::string& derived, const std::string& oneForce,
                const std::function<bool(SpringDataRecord&)>& derive) {
  const bool one = SpringData().Point1Off == 1;
  const auto with = [&derive](void (*forces)(SpringDataRecord&)) {
    return [&derive, forces](SpringDataRecord& s) {
      forces(s);
      return derive(s);
    };
  };
  if (!out.Variant(one ? "F2max -> " + oneForce : "F1min, F2max -> " + derived, Run::kCalculation,
                   with(MaxF2MinF1)))
    return false;
  if (!out.Variant(one ? "F2min -> " + oneForce : "F1max, F2min -> " + derived, Run::kCalculation,
                   with(MinF2MaxF1)))
    return false;
  const SpringDataRecord& s = SpringData();
  if (s.F2 <= s.F1) return out.Variant("F1min, F2min -> " + derived, Run::kCalculation, with(MinF2MinF1));
  return true;
}

bool In(int a, std::initializer_list<int> set) {
  for (int x : set)
    if (a == x) return true;
  return false;
}

void WriteVariants(const CompensationInputs& inputs) {
  VariantWriter out(inputs);
  const SpringDataRecord& nominal = SpringData();
  const int A = nominal.Allowance;
  const bool one = nominal.Point1Off == 1;
  const auto none = [](SpringDataRecord&) { return true; };

  if (one && In(A, {1, 6})) {
    const auto l0From = [](SpringDataRecord& s) {
      s.L0 = SafeQuotient(s.F2, s.R) + s.L2;
      return std::isfinite(s.L0);
    };
    if (!out.Variant("F2max -> L0", Run::kRecalculation, [&](SpringDataRecord& s) {
          s.F2 += s.TolF2;
          return l0From(s);
        }))
      return;
    if (!out.Variant("F2min -> L0", Run::kRecalculation, [&](SpringDataRecord& s) {
          s.F2 += s.TolF2Minus;
          return l0From(s);
        }))
      return;
  }
  if (In(A, {2, 3, 4, 5, 6}) && !ForceBlock(out, "n, L0", "n", none)) return;
  if (In(A, {2, 4, 6}) && !ForceBlock(out, "d, L0", "n, d", DeriveWire)) return;
  if (In(A, {3, 5, 6}) && !ForceBlock(out, "De,Di,Dm, L0", "n, De,Di,Dm", DeriveCoilDiameter)) return;
  if (In(A, {1, 3, 5, 6})) {
    const auto plus = [](SpringDataRecord& s) {
      s.d += s.TolWire;
      return true;
    };
    const auto minus = [](SpringDataRecord& s) {
      s.d -= s.TolWire;
      return true;
    };
    if (!out.Variant("dmax -> n", Run::kCalculation, plus) || !out.Variant("dmin -> n", Run::kCalculation, minus) ||
        !out.Variant("dmax -> F1, F2", Run::kRecalculation, plus) ||
        !out.Variant("dmin -> F1, F2", Run::kRecalculation, minus))
      return;
  }
  if (In(A, {1, 2, 4, 6})) {
    const std::string name = GivenDiameterName();
    const auto plus = [](SpringDataRecord& s) {
      s.De += s.TolDe;
      s.Di += s.TolDe;
      s.Dm += s.TolDe;
      return true;
    };
    const auto minus = [](SpringDataRecord& s) {
      s.De += s.TolDeMinus;
      s.Di += s.TolDeMinus;
      s.Dm += s.TolDeMinus;
      return true;
    };
    if (!out.Variant(name + "max -> n", Run::kCalculation, plus) ||
        !out.Variant(name + "min -> n", Run::kCalculation, minus) ||
        !out.Variant(name + "max -> F1, F2", Run::kRecalculation, plus))
      return;
    out.Variant(name + "min -> F1, F2", Run::kRecalculation, minus);
  }
}

void WriteCompensationBody() {
  const SpringDataRecord& s = SpringData();
  WriteResultLine("");
  WriteDiameterWireLine(true);
  WriteResultLine(CoilCountLine());
  WriteOutputLine("");
  WriteWorkingPointTable(false);
  WriteResultLine("");
  WriteResultLine("Fertigungsausgleich : " + AllowanceNames(s.Allowance));
  WriteResultLine(SingleRuleLine());

  const CompensationInputs inputs = SaveCompensationInputs();
  WriteResultLine("    F1       F2       R     L0     Lc       n      " + GivenDiameterName() + "      d     tauk2");
  WriteResultLine(DoubleRuleLine());
  RestoreCompensationInputs(inputs);
  WriteCompensationRow();
  WriteVariants(inputs);

  RestoreCompensationInputs(inputs);
  RunCalculation();
}

}  // namespace

void PrintReportCompensation() {
  if (G().FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  if (SpringData().CrossSection != 1) {
    ShowMessageText("for round wire only");
    return;
  }
  PrintExtractPage("Fertigungsausgleich", WriteCompensationBody);
}

}  // namespace zeb
