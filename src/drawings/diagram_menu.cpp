// The diagram menu, the choice of a diagram from a menu entry and the
// output run of one diagram code. Every sheet is 160 x 120 mm; the sheets
// with a plot frame are described by one table row each.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/services.h"
#include "base/text.h"
#include "drawings/datablocks.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "drawings/output_run.h"
#include "drawings/registry.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "spring/calc.h"
#include "spring/formulas.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/strength.h"
#include "spring/valuetable.h"

namespace zeb {

namespace {

// Unit of an axis: its limits are converted to the display unit and the
// world range scaled back to base units. Fixed: neither converted nor
// scaled; Plain: not converted, scaled by 1.
enum class Axis { Fixed, Plain, Length, Force, Stress, Moment, Rate };

Real ToDisplay(Axis a, Real v) {
  switch (a) {
    case Axis::Length: return LengthToDisplayUnit(v);
    case Axis::Force: return ForceToDisplayUnit(v);
    case Axis::Stress: return StressToDisplayUnit(v);
    case Axis::Moment: return MomentToDisplayUnit(v);
    case Axis::Rate: return SpringRateToDisplayUnit(v);
    default: return v;
  }
}

using Limits = DiagramRange;

struct SheetRow {
  int code;
  int layer;             // of the title block
  void (*dataBlock)();   // beside the plot
  Real width, height, x0, y0;
  std::string (*xText)();
  std::string (*yText)();
  std::string (*title)();
  Axis x, y;
  Limits (*limits)();    // in base units
  void (*plot)();
};

std::string Unit(const std::string& pre, const std::string& unit) { return pre + unit + "]"; }

const SpringDataRecord& S() { return SpringData(); }

constexpr Real kNoBuckling = 9999;

Real G_T(Real T) { return ShearModulusAtTemp(S().G, T); }

Real Dmax() { return MaterialReal(ZEBWST_Record().dmax); }

// The tau-d range: the material's diameters and the spring's point with
// its stresses, whichever reaches further.
Limits TauDLimits() {
  const SpringDataRecord& s = S();
  Real d = Dmax(), top = 3500, bottom = 0;
  if (std::isfinite(s.d)) d = std::max(d, s.d);
  for (Real v : {s.Rm, s.tau1, s.tauk1, s.tau2, s.tauk2})
    if (std::isfinite(v)) top = std::max(top, 1.1L * v);
  for (Real v : {s.tau1, s.tauk1, s.tau2, s.tauk2})
    if (std::isfinite(v)) bottom = std::min(bottom, 1.1L * v);
  return {0.05L, 1.1L * d, bottom, top};
}

// The k curve from 1.0 to 1.6 and 18, grown to the spring's point with the
// two lines of its label right of it and up from it (17 and 7 of the
// plot's 95 units).
Limits KFactorLimits() {
  const Real w = S().w;
  Limits l{0, 18, 1.0L, 1.6L};
  if (!(w > 0) || !std::isfinite(w)) return l;
  const Real k = StressCorrectionFactor(w);
  l.IncludeX(w * 95 / (95 - 17));
  l.IncludeY(1 + (k - 1) * 95 / (95 - 7));
  return l;
}

Limits TravelForce() { return CharacteristicRange(); }

// F-L: the lengths of the working points on the x axis.
Limits LengthForce() {
  Limits l = CharacteristicRange();
  l.xmin = 0, l.xmax = S().L0;
  for (Real v : {S().L1, S().L2, S().Ln}) l.IncludeX(v);
  return l;
}

// F'-s': the points of the value table as well.
Limits ValueTableTravelForce() {
  Limits l = CharacteristicRange();
  const ValueTableRecord& v = ValueTable();
  for (int i = 1; i <= std::clamp<std::int32_t>(v.Count, 0, kMaxValueTableCount); ++i) {
    const Real si = S().L0 - v.Values[static_cast<std::size_t>(i)];
    l.Include(si, si * S().R);
  }
  return l;
}

// Buckling: every point of the spring's line, below 0 too (a minimum
// length above the free length).
Limits BucklingLimits() {
  const SpringDataRecord& s = S();
  const Real x = s.Dm > 0 ? s.nue * s.L0 / s.Dm : 0;
  Limits l{0, std::isfinite(x) ? std::max<Real>(10, x) : 10, 0, 1};
  if (s.L0 > 0)
    for (Real v : {s.sc, s.s2, s.s1, s.sn, s.sk})
      if (v != kNoBuckling) l.IncludeY(v / s.L0);
  return l;
}

// The travels the work and transverse diagrams mark; s1 and sn only where
// they stand clear of the axis and of s2.
bool MarksS1() { return S().s1 > 0.09L * S().sc; }

// Room above the highest point a diagram marks, for its label: a twentieth
// of the range.
void RoomAbove(Limits& l) {
  if (std::isfinite(l.ymax) && std::isfinite(l.ymin)) l.IncludeY(l.ymax + 0.05L * (l.ymax - l.ymin));
}

Limits WorkLimits() {
  const SpringDataRecord& s = S();
  Limits l{0, s.sc, 0, s.W0c};
  for (Real v : {s.s2, s.sn}) l.Include(v, SpringWorkAt(v));
  if (MarksS1()) l.Include(s.s1, SpringWorkAt(s.s1));
  RoomAbove(l);
  return l;
}

// Every point the stress diagram marks, below 0 too.
Limits StressLimits() {
  const SpringDataRecord& s = S();
  Limits l{0, s.sc, 0, s.tauzul};
  l.Include(s.s1, s.tau1);
  l.Include(s.s2, s.tau2);
  l.Include(s.sn, s.taun);
  l.Include(s.sc, s.tauc);
  if (s.LoadType != 1) {
    l.Include(s.s1, s.tauk1);
    l.Include(s.s2, s.tauk2);
  }
  RoomAbove(l);
  return l;
}

// A transverse diagram: its curve's range and every value it marks.
Limits TransverseLimits(Real top, const std::array<Real, 5>& stored) {
  const SpringDataRecord& s = S();
  Limits l{0, s.sc, 0, top};
  auto mark = [&](Real sv, std::size_t k) {
    if (stored[k] > 0) l.Include(sv, stored[k]);
  };
  if (MarksS1()) mark(s.s1, 1);
  mark(s.s2, 2);
  if (s.sn > 1.05L * s.s2) mark(s.sn, 3);
  mark(s.sc, 4);
  RoomAbove(l);
  return l;
}

void Header1() { DrawSpringDataHeader(1); }

void Quick1Blocks() {
  DrawSpringDataHeader(1);
  DrawDiagramDataBlock2();
  DrawMaterialTextBlock();
  DrawMessageBlock();
}

void MaterialNameHeader() {
  const bool table = S().MaterialSel == 0 && !TrimBlanks(ZEBWST_Record().Name1).empty();
  CadTextWhole(table ? ZEBWST_Record().Name1 : S().MaterialName, 10, 2, Cad().CadExtents[1] - 11);
  DrawSpringDataHeader(1);
}

void MaterialTextHeader() {
  CadTextWhole(MaterialCaption(), 10, 2.5L, Cad().CadExtents[1] - 11);
  DrawSpringDataHeader(1);
}

std::string FqTitle(const char* head) {
  return std::string(head) + FormatForce(TransverseLoad().FQ) + " " + ForceUnitName() + ")";
}


void TemperatureLines(const std::string& name, Real (*value)(Real), Real now, bool force) {
  const SpringDataRecord& s = S();
  auto fmt = [force](Real v) { return force ? FormatForce(v) : FormatStress(v); };
  const std::string unit = force ? ForceUnitName() : StressUnitName();
  CadTextStyle(0, 0, 2.1L, 1.8L);
  CadSetTextLineField(Cad().CadExtents[1] - 1 - 65);
  // From (65, 102) down, as one block clear of the curve and its marks.
  DiagramPlaceTextLines(
      {"T = " + FormatTemperature(s.T) + TemperatureUnitName() + ", " + name + " = " + fmt(now) + " " + unit,
       "T = " + FormatTemperature(s.T1) + " .. " + FormatTemperature(s.T2) + TemperatureUnitName(),
       name + " = " + fmt(value(s.T1)) + " .. " + fmt(value(s.T2)) + " " + unit},
      65, 102);
  CadSetTextLineField(0);
}

Real F1AtT(Real T) { return ForceAtTemperature(S().s1, T); }
Real F2AtT(Real T) { return ForceAtTemperature(S().s2, T); }

// From -50 to 250 degrees or beyond, to hold the three temperatures marked;
// a curve that rises (a force below 0) leaves room at its top for the
// text block in the plot's upper right.
Limits TemperatureLimits(Real (*value)(Real)) {
  const SpringDataRecord& s = S();
  const Real lo = std::min<Real>(s.T1, -50), hi = std::max<Real>(s.T2, 250);
  Limits l{lo, 250, value(hi), value(lo)};
  for (Real T : {s.T1, s.T, s.T2}) l.Include(T, value(T));
  if (value(hi) > value(lo)) l.IncludeY(l.ymax + 0.15L * (l.ymax - l.ymin));
  return l;
}

Real TransverseRate(Real s) { return TransverseSpringRate(s); }

const SheetRow kSheets[] = {
    {1, 19, Quick1Blocks, 60, 60, 10, 50, [] { return Unit(" s[", LengthUnitName()); },
     [] { return Unit("F [", ForceUnitName()); }, [] { return std::string("Federkennlinie"); }, Axis::Length,
     Axis::Force, TravelForce, [] { DrawCharacteristicLine(0); }},
    {2, 19, Header1, 95, 95, 12, 10, [] { return Unit(" s[", LengthUnitName()); },
     [] { return Unit("F[", ForceUnitName()); }, [] { return std::string("Federkennlinie"); }, Axis::Length,
     Axis::Force, TravelForce, [] { DrawCharacteristicLine(0); }},
    {9, 19, Header1, 95, 95, 12, 10, [] { return Unit(" s[", LengthUnitName()); },
     [] { return Unit("F[", ForceUnitName()); }, [] { return std::string("Federkennlinie"); }, Axis::Length,
     Axis::Force, TravelForce, [] { DrawCharacteristicLine(1); }},
    {21, 19, Header1, 95, 95, 12, 10, [] { return Unit(" L[", LengthUnitName()); },
     [] { return Unit("F[", ForceUnitName()); }, [] { return std::string("Federkennlinie"); }, Axis::Length,
     Axis::Force, LengthForce, [] { DrawCharacteristicLine(2); }},
    {22, 19, DrawWorkingPointsBlock, 95, 95, 12, 10, [] { return Unit(" s[", LengthUnitName()); },
     [] { return Unit("F[", ForceUnitName()); }, [] { return std::string("Federkennlinie"); }, Axis::Length,
     Axis::Force, ValueTableTravelForce, [] { DrawCharacteristicLine(3); }},
    {3, 21, [] { DrawSpringDataHeader(2); }, 95, 95, 12, 10, [] { return std::string("v*L0/D"); },
     [] { return std::string("s/L0"); }, [] { return std::string("Knickdiagramm"); }, Axis::Fixed, Axis::Fixed,
     BucklingLimits, DrawBucklingDiagram},
    {4, 19, Header1, 95, 95, 12, 10, [] { return std::string("Dm/d"); }, [] { return std::string("k"); },
     [] { return std::string("Spannungsbeiwert k"); }, Axis::Fixed, Axis::Fixed,
     KFactorLimits,
     [] { DrawKFactorDiagram(S().w); }},
    {5, 19, MaterialNameHeader, 95, 90, 12, 15, [] { return std::string(" T [C]"); },
     [] { return Unit("G[", StressUnitName()); }, [] { return std::string("G-T-Diagramm"); }, Axis::Plain,
     Axis::Stress, [] { return TemperatureLimits(G_T); },
     [] {
       DrawGTDiagram();
       TemperatureLines("G", G_T, S().GT, false);
     }},
    {7, 19, MaterialNameHeader, 95, 90, 12, 15, [] { return std::string("T [C]"); },
     [] { return Unit("F1 [", ForceUnitName()); }, [] { return std::string("F1-T-Diagramm"); }, Axis::Plain,
     Axis::Force, [] { return TemperatureLimits(F1AtT); },
     [] {
       DrawForceTemperatureCurve(S().s1);
       TemperatureLines("F1", F1AtT, S().F1, true);
     }},
    {8, 19, MaterialNameHeader, 95, 90, 12, 15, [] { return std::string("T [C]"); },
     [] { return Unit("F2 [", ForceUnitName()); }, [] { return std::string("F2-T-Diagramm"); }, Axis::Plain,
     Axis::Force, [] { return TemperatureLimits(F2AtT); },
     [] {
       DrawForceTemperatureCurve(S().s2);
       TemperatureLines("F2", F2AtT, S().F2, true);
     }},
    {6, 19, MaterialTextHeader, 95, 90, 12, 15, [] { return Unit("d[", LengthUnitName()); },
     [] { return Unit("Rm,tauz[", StressUnitName()); }, [] { return std::string("tau-d-Diagramm"); },
     Axis::Length, Axis::Stress, TauDLimits,
     [] { DrawTauDDiagram(Dmax()); }},
    {23, 19, MaterialTextHeader, 95, 90, 12, 15, [] { return Unit("d[", LengthUnitName()); },
     [] { return Unit("Rm,tauz[", StressUnitName()); }, [] { return std::string("tau-d-Diagramm"); },
     Axis::Length, Axis::Stress, TauDLimits,
     [] { DrawTauDDiagram(Dmax()); }},
    {25, 19, [] { DrawSpringDataHeader(3); }, 95, 95, 12, 10, [] { return Unit(" s [", LengthUnitName()); },
     [] { return Unit("W [", MomentUnitName()); }, [] { return std::string("Federarbeit"); }, Axis::Length,
     Axis::Moment, WorkLimits, DrawSpringWork},
    {26, 19, [] { DrawSpringDataHeader(4); }, 95, 95, 12, 10, [] { return Unit(" s [", LengthUnitName()); },
     [] { return Unit("sQ [", LengthUnitName()); },
     [] { return FqTitle("   Querfederweg sQ  (FQ= "); }, Axis::Length, Axis::Length,
     [] {
       const auto& y = TransverseLoad().y;
       return TransverseLimits(std::max({y[0], y[2], y[4]}), y);
     },
     [] { DrawTransverseDiagram(0); }},
    {27, 19, [] { DrawSpringDataHeader(4); }, 95, 95, 12, 10, [] { return Unit(" s [", LengthUnitName()); },
     [] { return Unit("Rq [", SpringRateUnitName()); },
     [] { return FqTitle("   Querfederrate Rq  (FQ= "); }, Axis::Length, Axis::Rate,
     [] { return TransverseLimits(std::max(TransverseRate(0), TransverseRate(S().sc)), TransverseLoad().Rq); },
     [] { DrawTransverseDiagram(1); }},
    {28, 19, [] { DrawSpringDataHeader(4); }, 95, 95, 12, 10, [] { return Unit(" s [", LengthUnitName()); },
     [] { return std::string("fq [1/s]"); }, [] { return FqTitle("   Eigenfrequenz fq   (FQ= "); },
     Axis::Length, Axis::Plain,
     [] {
       const auto& f = TransverseLoad().fq;
       return TransverseLimits(std::max(f[0], f[4]), f);
     },
     [] { DrawTransverseDiagram(2); }},
    {29, 19, Header1, 95, 95, 12, 10, [] { return Unit(" s [", LengthUnitName()); },
     [] { return Unit("tau [", StressUnitName()); }, [] { return std::string("Schubspannung"); }, Axis::Length,
     Axis::Stress, StressLimits, DrawStressDeflection},
};

const SheetRow* SheetOf(int code) {
  for (const SheetRow& r : kSheets)
    if (r.code == code) return &r;
  return nullptr;
}

void TitleAndStyle(int layer) {
  CadSetLayer(layer);
  DiagramTitleBlock();
  CadTextStyle(2, 0, 2.2L, 1.7L);
}

void FrameAndScale(const SheetRow& r) {
  const Limits l = r.limits();
  DiagramFrame(r.xText(), r.yText(), r.title(), ToDisplay(r.x, l.xmin), ToDisplay(r.y, l.ymin),
               ToDisplay(r.x, l.xmax), ToDisplay(r.y, l.ymax), 1);
  if (r.x != Axis::Fixed || r.y != Axis::Fixed) DiagramScaleRange(ToDisplay(r.x, 1), ToDisplay(r.y, 1));
}

void DrawTableSheet(const SheetRow& r) {
  TitleAndStyle(r.layer);
  r.dataBlock();
  DiagramSetPlotSize(r.width, r.height);
  DiagramSetPlotOrigin(r.x0, r.y0);
  if (r.code == 6) DiagramState().DiagramAxisMode = 0;
  if (r.code == 23) DiagramState().DiagramAxisMode = 4;
  FrameAndScale(r);
  r.plot();
  if (r.code == 6 || r.code == 23) DiagramState().DiagramAxisMode = 0;
}

void DrawRmDQuickSheet() {
  DrawRmDQuick();
  const MaterialRecord& m = ZEBWST_Record();
  CadSetLayer(19);
  CadTextStyle(2, 0, 1.7L, 1.2L);
  std::string caption = MaterialCaption();
  if (S().MaterialSel == 0) caption += "   " + TrimBlanks(m.Name2) + "    " + TrimBlanks(m.Name4);
  CadTextWhole(caption, 72, 117, Cad().CadExtents[1] - 73);
  const SheetRow& r = *SheetOf(6);
  DiagramSetPlotSize(60, 45);
  DiagramSetPlotOrigin(80, 63);
  DiagramState().DiagramAxisMode = 0;
  FrameAndScale(r);
  DrawTauDDiagram(Dmax());
  DiagramSetPlotSize(60, 45);
  DiagramSetPlotOrigin(80, 6);
  DiagramState().DiagramAxisMode = 4;
  FrameAndScale(r);
  DrawTauDDiagram(Dmax());
  DiagramState().DiagramAxisMode = 0;
}

Real NaturalFrequencyForResponse() {
  const ResonanceRecord& r = ResonanceResult();
  return r.ExternalMass > 1e-6L ? r.f0 : S().fe;
}

void DrawDiagram(int code) {
  const SpringDataRecord& s = S();
  // The tau-d sheets need a largest diameter: 20 mm when the material has none.
  if ((code == 6 || code == 23 || code == 24) && MaterialReal(ZEBWST_Record().dmax) == 0)
    ZEBWST_Record().dmax = MakeReal48(20);
  if (const SheetRow* r = SheetOf(code)) {
    DrawTableSheet(*r);
    return;
  }
  switch (code) {
    case 10:
      CadSetLayer(19);
      DiagramTitleBlock();
      DrawFrequencyResponse(NaturalFrequencyForResponse());
      break;
    case 17: DrawQuick2Sheet(); break;
    case 18:
    case 19:
    case 20: DrawRelaxationDiagram(code - 17, s.F2, s.L2, s.L0, s.R); break;
    case 24: DrawRmDQuickSheet(); break;
    default: break;  // 0 and 11..16: the empty sheet
  }
}

// The checks of a diagram code before its output opens.
bool DiagramMayRun(int code) {
  BaseGlobals& g = G();
  const SpringDataRecord& s = S();
  if (code == 10 && (!std::isfinite(s.f) || !(s.f > 0))) {
    ShowMessageText("Fehler : f = 0 !");
    g.AbortFlag = 1;
    return false;
  }
  // No relaxation data, no relaxation curve: the progress and force curves
  // of codes 19 and 20 rest on the same record as code 18.
  if (code >= 18 && code <= 20) {
    if (SG().RelaxationFound == 0 && s.MaterialSel == 0) {
      OpenRelaxationTable(ZEBWST_Record().MaterialNumber);
      SpringData().F2Relax = RelaxationLoss(s.tau2, s.T, s.d);
    }
    if (MaterialReal(RelaxationRecord().Rx[0]) == 0) {
      ShowMessageText("Keine Relaxationsdaten für diesen Werkstoff"_oem);
      g.AbortFlag = 1;
      return false;
    }
  }
  if ((code == 26 || code == 27) && TransverseLoad().FQ == 0) {
    ShowMessageText("Fehler : FQ = 0 !");
    g.AbortFlag = 1;
    return false;
  }
  return true;
}

// The command-line export, as handed to the CAD output layer.
bool BatchMode() { return Graphics().CadBatchMode() != 0; }

// A sub-menu: the variant chosen (1-based), or 0 when cancelled.
int SubMenu(std::initializer_list<const char*> texts, int preset) {
  if (BatchMode()) return preset;
  std::vector<std::string>& t = G().LineTable;
  if (t.size() < 8) t.resize(8);
  int n = 0;
  for (const char* text : texts) t[static_cast<std::size_t>(++n)] = text;
  std::int16_t choice = static_cast<std::int16_t>(preset);
  AskChoice("Diagrammtyp wählen"_oem, n, choice);
  if (G().AbortFlag != 0) return 0;
  return choice;
}

constexpr int kBackEntry = 23;

}  // namespace

void ShowDiagram(int diagramCode, int cadCode) {
  DrawingRun run;
  run.before = [diagramCode](DrawingRun&) { return DiagramMayRun(diagramCode); };
  run.opened = [] { DiagramReset(); };
  run.entities = [diagramCode] { DrawDiagram(diagramCode); };
  if (!RunDrawingOutput(cadCode, run)) RestoreArrowCursor();
}

void SelectDiagram(int index, int cadCode) {
  if (index < 1 || index > 22) return;
  const SpringDataRecord& s = S();
  if ((s.CrossSection == 2 || s.CrossSection == 3 || s.CrossSection == 4) &&
      (index == 5 || index == 6 || index == 8)) {
    ShowError("nur für runden Drahtquerschnitt"_oem);
    return;
  }
  if (index == 9 && std::toupper(static_cast<unsigned char>(s.Statistics)) == 'N') {
    ShowMessageText("Enable Statistics (Edit->Statistics");
    return;
  }
  if ((index == 19 || index == 20) && TransverseLoad().FQ == 0) {
    ShowMessageText("Fehler : FQ = 0 !");
    G().AbortFlag = 1;
    return;
  }
  int code = 0;
  switch (index) {
    case 1: code = 1; break;
    case 2: {
      static const int codes[] = {2, 9, 21};
      const int v = SubMenu({"Federkennlinie F-s", "Federkennlinie mit Toleranzband", "Federkennlinie F-L"}, 2);
      if (v < 1 || v > 3) return;
      code = codes[v - 1];
      break;
    }
    case 3: code = 3; break;
    case 4: code = 4; break;
    case 5: {
      static const int codes[] = {5, 7, 8};
      const int v = SubMenu({"G-T-Diagramm", "F1-T-Diagramm", "F2-T-Diagramm"}, 3);
      if (v < 1 || v > 3) return;
      code = codes[v - 1];
      break;
    }
    case 6: code = 6; break;
    case 7: GoodmanOutput(cadCode); return;
    case 8: code = 10; break;
    case 9: {
      const int v = SubMenu({"F1 [N]", "F2 [N]", "Dm [mm]", "L0 [mm]", "e1 [mm]", "e2 [mm]"}, 2);
      if (v < 1 || v > 6) return;
      code = 10 + v;
      break;
    }
    case 10: code = 17; break;
    case 11: {
      const int v = SubMenu({"Rx = f(d,T,tau)", "Rx % = f(t)", "Rx F2 = f(t)"}, 1);
      if (v < 1 || v > 3) return;
      code = 17 + v;
      break;
    }
    case 12: code = 21; break;
    case 13: HaighOutput(cadCode); return;
    case 14: DrawLoadSpectrumSheet(cadCode, s.L0, s.sc); return;
    default: code = index + 7; break;
  }
  ShowDiagram(code, cadCode);
}

void ShowDiagramMenu() {
  static const char* const kEntries[] = {"Quick 1",
                                         "Federkennlinie  F-s",
                                         "Knickdiagramm",
                                         "Spannungsbeiwert k",
                                         "Temperaturdiagramm",
                                         "tau-d-Diagramm",
                                         "Goodman-Diagramm",
                                         "Frequenzgang",
                                         "Statistische Auswertung",
                                         "Quick 2",
                                         "Relaxation",
                                         "Federkennlinie  F-L",
                                         "Haigh-Goodman-Diagramm",
                                         "Lastkollektiv",
                                         "Federkennlinie  F'-s'",
                                         "tau-d-Diagramm (logarithm.)",
                                         "Rm-d Quick",
                                         "W-s Diagramm",
                                         "sq-s Diagramm",
                                         "Rq-s Diagramm",
                                         "fq-s Diagramm",
                                         "tau-s Diagramm"};
  static const std::string kBack = "zurück..."_oem;
  std::int16_t choice = 0;
  for (int rounds = 0; rounds < 100000; ++rounds) {
    ++choice;
    std::vector<std::string>& t = G().LineTable;
    if (t.size() <= kBackEntry) t.resize(kBackEntry + 1);
    for (int k = 1; k <= 22; ++k) t[static_cast<std::size_t>(k)] = kEntries[k - 1];
    t[kBackEntry] = kBack;
    SetCurrentHelpNumber(5500);
    // The menu comes back over the diagram just drawn.
    Graphics().FlushPicture();
    AskChoice("Diagrammtyp wählen"_oem, kBackEntry, choice);
    if (G().AbortFlag != 0 || choice == kBackEntry) return;
    SelectDiagram(choice, 0);
    if (G().AbortFlag != 0 || choice == kBackEntry) return;
  }
}

void RegisterDiagramDrawings() {
  for (int j : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 16})
    RegisterDrawing({DrawingEntry::SelectDiagram, j}, [j](int code) { SelectDiagram(j, code); });
  for (int c : {2, 5, 7, 8, 9, 21, 22, 29})
    RegisterDrawing({DrawingEntry::ShowDiagram, c}, [c](int code) { ShowDiagram(c, code); });
  RegisterDrawing({DrawingEntry::GoodmanDiagram, 0}, [](int code) { GoodmanOutput(code); });
  RegisterDrawing({DrawingEntry::HaighDiagram, 0}, [](int code) { HaighOutput(code); });
}

}  // namespace zeb
