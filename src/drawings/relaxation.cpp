// The relaxation record of the current material and the three relaxation
// diagrams: relaxation over shear stress, its progress over time and the
// spring force over time.
#include <algorithm>
#include <cmath>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/text.h"
#include "drawings/diagram_plots.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/strength.h"

namespace zeb {

// The table functions hold the one lookup of the row (with its checks).
void OpenRelaxationTable(int materialNumber) {
  G().AbortFlag = 0;
  ClearRelaxationRecord();
  Tables().LoadRelaxationRow(materialNumber);
}

void RelaxationPowerCurve(int marker, Real x0, Real y0, Real x1, Real y1) {
  // A power law needs two distinct points in the positive quadrant.
  if (!(x0 > 0 && y0 > 0 && x1 > 0 && y1 > 0) || x1 == x0) return;
  // y = y0 (x / x0)^e; points so close that their ratio rounds to 1, or an
  // exponent beyond any material law, draw nothing.
  const Real lx = std::log(x1 / x0), ly = std::log(y1 / y0);
  if (!(std::fabs(lx) > 0) || !std::isfinite(lx) || !std::isfinite(ly) || std::fabs(ly) > 1000 * std::fabs(lx))
    return;
  const Real e = ly / lx;
  const Real step = 0.01L * (x1 - x0);
  if (!(step > 0)) return;
  Real px = x0, py = y0;
  SampleUpTo(x0, x1, [step](Real x) { return x + step; }, [&](Real x) {
    const Real y = y0 * PowerChecked(x / x0, e, "Relax");
    DiagramLineWithMarkers(marker, px, py, x, y);
    px = x;
    py = y;
  });
}

namespace {

void RelaxationTextLines(Real F2, Real L2, Real L0, Real R) {
  const SpringDataRecord& s = SpringData();
  const RelaxationRecordT& r = RelaxationRecord();
  const Real Rx = s.F2Relax;
  CadMoveTo(120, 100);
  CadTextLine(s.MaterialName);
  CadTextLine(ZEBWST_Record().Name3);
  CadTextLine(" ");
  CadStressLine("tau1", s.tau1);
  CadStressLine("tau2", s.tau2);
  CadTextLine("T = " + FormatTemperature(s.T) + " " + TemperatureUnitName());
  CadLengthLine("d", s.d);
  CadTextLine(" ");
  CadKnownStressLine("tauz", s.tauzul);
  if (s.tauzul > 0) CadTextLine("tau2/tauz = " + FloatToStrDec(2, s.tau2 / s.tauzul));
  if (s.Rm > 0) CadTextLine("tau2/Rm = " + FloatToStrDec(2, s.tau2 / s.Rm));
  CadTextLine(" ");
  CadTextLine("dF/F2 = " + FloatToStrSig(Rx) + " %");
  const Real F10 = F2 * (1 - 0.01L * Rx * 0.8333333333333334L);
  const Real F48 = F2 * (1 - 0.01L * Rx);
  CadForceLine("F2", F2);
  CadForceLine("F2,10h", F10);
  CadForceLine("F2,48h", F48);
  if (L0 > 0 && R != 0) {
    CadTextLine(" ");
    CadLengthLine("L2", L2);
    CadLengthLine("L0, 0h", L0);
    CadLengthLine("L0,10h", L2 + F10 / R);
    CadLengthLine("L0,48h", L2 + F48 / R);
  }
  CadTextLine(" ");
  if (Rx > 0 && s.WarningsOn == 1) {
    if (s.T > r.T2) CadTextLine("Warnung: T>T2relax (" + FloatToStrDec(0, r.T2) + "°C)"_oem);
    if (s.T < r.T1) CadTextLine("Warnung: T<T1relax (" + FloatToStrDec(0, r.T1) + "°C)"_oem);
  }
}

void StressCurves() {
  const RelaxationRecordT& r = RelaxationRecord();
  auto tau = [&](int k) { return static_cast<Real>(r.Tau[static_cast<std::size_t>(k)]); };
  auto rx = [&](int k) { return MaterialReal(r.Rx[static_cast<std::size_t>(k)]); };
  const Real xmax = std::max<Real>(tau(1), 1200), ymax = std::max<Real>(rx(1), 20);
  DiagramFrame("   tau [" + StressUnitName() + "]", "dF/F %", "Relaxation", 0, 0, StressToDisplayUnit(xmax), ymax, 1);
  DiagramScaleRange(StressToDisplayUnit(1), 1);
  const DiagramStateRecord& st = DiagramState();
  static const int layers[] = {18, 19, 20, 21};
  static const Real legendDy[] = {4, 2, 3, 1};
  for (int c = 0; c < 4; ++c) {
    CadSetLayer(layers[c]);
    RelaxationPowerCurve(c + 1, tau(2 * c), rx(2 * c), tau(2 * c + 1), rx(2 * c + 1));
    if (c == 0) CadTextStyle(2, 0, 2.0L, 1.3L);
    const std::int32_t T = c < 2 ? r.T1 : r.T2;
    const Real d = MaterialReal(c % 2 == 0 ? r.d1 : r.d2);
    CadMoveTo(DiagramMapX(st.XMax - 340), DiagramMapY(st.YMax - legendDy[c]));
    DiagramLegendLine("   T= " + IntToText(T) + " C,  d= " + FormatLength(d) + " " + LengthUnitName(), c + 1);
  }
  const SpringDataRecord& s = SpringData();
  CadSetLayer(16);
  DiagramCircleY(s.tau2, s.F2Relax, 0.2L);
  DiagramCircleY(s.tau2, s.F2Relax, 0.1L);
  DiagramText("Rx 2", s.tau2 + 15, s.F2Relax);
  if (s.tau1 > 0) DiagramClipLine(s.tau1, 0, s.tau1, st.YMax);
  if (s.tau2 > 0) DiagramClipLine(s.tau2, 0, s.tau2, st.YMax);
}

}  // namespace

void DrawRelaxationDiagram(int kind, Real F2, Real L2, Real L0, Real R) {
  DiagramTitleBlock();
  RelaxationTextLines(F2, L2, L0, R);
  DiagramSetPlotSize(100, 90);
  DiagramSetPlotOrigin(15, 10);
  if (kind == 1) {
    StressCurves();
  } else if (kind == 2) {
    DiagramFrame("  h", "dF/dFmax %", "Relaxation", 0, 0, 60, 100, 1);
    CadSetLayer(18);
    DiagramMoveTo(0, 0);
    SampleUpTo(0, 60, [](Real t) { return t + 0.25L; },
               [](Real t) { DiagramLineTo(t, 100 * (1 - PowerChecked(t + 1, -0.55L, "Relax"))); }, true);
  } else if (kind == 3) {
    const Real Rx = SpringData().F2Relax;
    DiagramFrame("  h", "F2 [" + ForceUnitName() + "]", "Relaxation", 0, 0, 60, ForceToDisplayUnit(F2), 1);
    DiagramScaleRange(1, ForceToDisplayUnit(1));
    CadSetLayer(18);
    DiagramMoveTo(0, F2);
    SampleUpTo(0, 60, [](Real t) { return t + 0.1L; }, [&](Real t) {
      DiagramLineTo(t, F2 * (1 - (1 - PowerChecked(t + 1, -0.55L, "Relax")) * Rx * 0.011363636363636364L));
    }, true);
  }
}

}  // namespace zeb
