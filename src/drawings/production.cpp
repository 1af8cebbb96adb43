// The two production drawings as output runs.
#include "drawings/production.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "drawings/drawings.h"
#include "drawings/figures.h"
#include "drawings/output_run.h"
#include "graphics/cad.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr Real kSketchD = 30, kSketchWire = 4, kSketchAlpha = 0.13L;

std::shared_ptr<ProductionDataForm>& Form() {
  static std::shared_ptr<ProductionDataForm> f = std::make_shared<ScriptedProductionDataForm>();
  return f;
}

std::string Stress(Real v) { return FormatStressField(4, 0, v) + " " + StressUnitName(); }

void Text(const std::string& t, Real x, Real y) { CadText(t, x, y); }

void Mark(Real x, Real y, bool chosen) {
  CadMoveTo(x, y);
  DrawCircleMark();
  if (chosen) DrawCrossMark();
}

// Refusals shared by both drawings, before any dialog or output.
bool RoundWireOnly(int firstRefused) {
  const SpringDataRecord& s = SpringData();
  if (s.CrossSection >= firstRefused && s.CrossSection != 1) {
    ShowError("nur für runden Drahtquerschnitt"_oem);
    return false;
  }
  return true;
}

// The dialog for code 0, then the help number.
bool AskProductionData(int cadCode) {
  if (cadCode == 0) ProductionDataDialog().Run();
  if (G().AbortFlag != 0) return false;
  SetCurrentHelpNumber(6600);
  return true;
}

void DefineProductionBlocks(bool third) {
  const SpringDataRecord& s = SpringData();
  CadBeginBlock("FRAME_1");
  if (G().AbortFlag == 0) DrawTitleBlock(s.DrawingName, s.DrawingName2, s.DrawingNo);
  CadEndBlock();
  CadSetLayer(0);
  CadBeginBlock("FEDER1");
  DrawEndFormSketch1(kSketchD, kSketchWire, kSketchAlpha);
  CadEndBlock();
  CadBeginBlock("FEDER2");
  DrawEndFormSketch2(kSketchD, kSketchWire, kSketchAlpha);
  CadEndBlock();
  if (third) {
    CadBeginBlock("FEDER3");
    DrawEndFormSketch3(kSketchD, kSketchWire, kSketchAlpha);
    CadEndBlock();
    CadBeginBlock("ZEB1TEX");
    DrawRequirementsBlock(1, s.LoadType, 0);
    CadEndBlock();
  }
  CadSetLayer(3);
}

// The end-form text beside its mark at y + 1, whole in a field width wide:
// up to three lines, centred on the mark.
void EndFormText(const std::string& text, Real x, Real y, Real width) {
  constexpr Real kPitch = 3.2L;
  const CadTextLayout layout = CadLayoutText(text, width, 3);
  const Real below = layout.lines.size() > 1 ? static_cast<Real>(layout.lines.size() - 1) : 0;
  CadDrawLayout(layout, x, y + 0.5L * kPitch * below, kPitch);
}

void DataTable(std::uint16_t variant) {
  const SpringDataRecord& s = SpringData();
  DrawDrawingDataTable(s.GradeDe, s.GradeL0, s.GradeF1, s.n, s.nt, s.sh, s.GradeE1, s.GradeF2, s.GradeE2, s.TolDe,
                       s.TolDeMinus, s.TolL0, s.TolL0Minus, s.TolF1, s.TolF1Minus, s.TolF2, s.TolF2Minus, s.e1, s.e2,
                       variant);
}

void ForceTriangle() {
  CadSetLayer(5);
  CadMoveTo(102, 249);
  CadLineTo(120, 249);
  CadLineTo(102, 275);
  CadLineTo(102, 249);
  CadLine(102, 268, 106.85L, 268);
  CadLine(102, 261, 111.7L, 261);
  CadLine(102, 254, 116.54L, 254);
}

// The e1/e2 guide lines (end forms other than 1) and the wire section.
void DeviationLines() {
  const SpringDataRecord& s = SpringData();
  if (s.EndForm != 1) {
    if (s.e1 != 0) {
      CadLine(29, 200, 24, 275);
      CadLine(24, 275, 24, 283);
      CadLine(29, 275, 29, 283);
    }
    if (s.e2 != 0) {
      CadLine(29, 275, 63, 277);
      CadLine(63, 277, 72, 277);
    }
  }
  CadLine(61, 262, 67, 262);
  CadLine(61, 266, 67, 266);
}

struct DiameterLabels {
  std::string De, Di, Dm;
};

// The three diameter dimensions with their extension and centre lines.
void DiameterDimensions(const DiameterLabels& t) {
  // Each text centred at x 46 and ending before the wire's dimension, whose
  // text stands up from x 64.5.
  constexpr Real kWidth = 2 * (63.5L - 46);
  CadSetLayer(3);
  CadLine(29, 211, 29, 247);
  CadLine(63, 264, 63, 245);
  DimensionHorizontal(t.De, 29, 63, 246, kWidth);
  CadLine(33, 211, 33, 231);
  CadLine(59, 264, 59, 229);
  DimensionHorizontal(t.Di, 33, 59, 230, kWidth);
  CadSetLayer(1);
  CadLine(31, 218, 31, 257);
  CadLine(61, 218, 61, 257);
  CadSetLayer(3);
  DimensionHorizontal(t.Dm, 31, 61, 238, kWidth);
}

void ProductionEntities() {
  const SpringDataRecord& s = SpringData();
  const ProductionDataRecord& p = ProductionData();
  const bool showF = s.ShowLd != 0, showFn = s.ShowM != 0, showP = s.ShowP != 0;
  CadSetLayer(0);
  CadInsertBlock("FRAME_1", 0, 0, 0, 1, 1);
  CadInsertBlock("ZEB1TEX", 0, 0, 0, 1, 1);
  DataTable(0);
  CadSetLayer(0);
  CadInsertBlock("FEDER1", 46, 200, 0, 1, 1);
  if (p.Picture == 2 || p.Picture == 3) DrawBoreSectionFigure(46, 195, 12, 37, s.Dhmin + 0.05L);
  if (p.Picture == 1 || p.Picture == 3) DrawPinFigure(46, 260, 20, 25, s.Ddmax - 0.05L);
  CadSetLayer(0);
  CadInsertBlock("FEDER1", 46, 275, 180, 1, 1);
  CadInsertBlock("FEDER2", 124, 200, 0, 1, 1);
  CadInsertBlock("FEDER3", 168, 200, 0, 1, 1);
  CadTextStyle(2, 0, 2, 1.6L);
  CadSetLayer(3);
  Mark(33, 187, s.EndForm == 2);
  Mark(113, 187, s.EndForm == 1);
  Mark(153, 187, s.EndForm == 3);
  if (s.EndForm == 4) {
    Mark(33, 183, true);
    // Before Form 3's last line at x 163.
    CadTextWhole("Federenden " + s.EndFormText, 40, 182, 163 - 1 - 40);
  }
  ForceTriangle();
  CadSetLayer(3);
  CadLine(106.85L, 268, 124, 267);
  CadLine(124, 267, 202, 267);
  CadLine(111.7L, 261, 202, 261);
  CadLine(116.54L, 254, 124, 255);
  CadLine(124, 255, 202, 255);
  CadLine(120, 249, 202, 249);
  CadTextStyle(2, 0, 2.5L, 2);
  const std::string fu = " " + ForceUnitName();
  const bool one = s.F1 > 0;
  if (showF && one) {
    // Narrowed where a wide tolerance would run into the stress column.
    CadTextFit("F1 = " + FormatForce(s.F1) + FormatForceTolerancePair(s.TolF1, s.TolF1Minus) + fu, 126, 268, 39);
    Text(s.LoadType == 1 ? "Tau 1  = " + Stress(s.tau1) : "Tau k1 = " + Stress(s.tauk1), 166, 268);
  }
  if (showF) {
    CadTextFit((one ? "F2 = " : "F = ") + FormatForce(s.F2) + FormatForceTolerancePair(s.TolF2, s.TolF2Minus) + fu,
               126, 262, 39);
    if (s.LoadType == 1)
      Text((one ? "Tau 2  = " : "Tau  = ") + Stress(s.tau2), 166, 262);
    else
      Text((one ? "Tau k2 = " : "Tau k = ") + Stress(s.tauk2), 166, 262);
  }
  if (showFn) {
    Text("Fn = " + FormatForce(s.Fn) + fu, 126, 256);
    Text("Tau n  = " + Stress(s.taun), 166, 256);
  }
  Text("Fc = " + FormatForce(s.Fc) + fu, 126, 250);
  Text("Tau c  = " + Stress(s.tauc), 166, 250);
  if (s.LoadType == 2 && showF) Text("Tau kh = " + Stress(s.taukh), 166, 240);
  Text("R = " + FormatSpringRate(s.R) + " " + SpringRateUnitName() + ")", 166, 232);
  if (showP) {
    Text("L = " + FormatLength(s.WireLength) + " " + LengthUnitName() + ")", 166, 228);
    Text("P = " + FormatLength(s.P) + " " + LengthUnitName() + ")", 166, 224);
    Text("m = " + FormatSmallMass(s.m) + " " + SmallMassUnitName() + ")", 166, 220);
  }
  CadTextStyle(2, 0, 1.8L, 1.44L);
  CadSetLayer(3);
  CadLine(46, 275, 102, 275);
  CadLine(46, 200, 153, 200);
  if (showF) {
    if (one) CadLine(81, 268, 102, 268);
    CadLine(86, 261, 102, 261);
  }
  if (showFn) CadLine(91, 254, 102, 254);
  CadLine(96, 249, 102, 249);
  DeviationLines();
  CadSetLayer(3);
  if (s.EndForm != 1 && s.e1 != 0) DimensionHorizontalOutside("     e1=" + FormatLengthDec(2, s.e1), 24, 29, 282);
  if (s.EndForm != 1 && s.e2 != 0) DimensionVerticalOutside("e2=" + FormatLengthDec(2, s.e2), 71, 275, 277);
  const bool noL0Tol = s.Allowance == 1 || s.Allowance == 4 || s.Allowance == 5;
  DimensionVertical("L0 = " + FormatLength(s.L0) + (noL0Tol ? "" : FormatLengthTolerancePair(s.TolL0, s.TolL0Minus)),
                    77, 200, 275);
  if (showF && one) DimensionVertical("L1 = " + FormatLength(s.L1), 82, 200, 268);
  if (showF) DimensionVertical((one ? "L2 = " : "L = ") + FormatLength(s.L2), 87, 200, 261);
  if (showFn) DimensionVertical("Ln = " + FormatLength(s.Ln), 92, 200, 254);
  DimensionVertical("Lc<= " + FormatLength(s.Lc), 97, 200, 249);
  if (s.Allowance == 2 || s.Allowance == 4)
    DimensionVerticalOutside("d = " + FormatLength(s.d) + "    ", 66, 262, 266);
  else
    DimensionVerticalOutside("d= " + FormatLength(s.d) + FormatLengthTolerancePair(s.TolWire, -s.TolWire) + "   ", 66,
                             262, 266);
  const bool tol = s.Allowance != 3 && s.Allowance != 5;
  const std::string pair = FormatLengthTolerancePair(s.TolDe, s.TolDeMinus);
  DiameterLabels labels;
  labels.De = tol && s.DiameterGiven == 1 ? "     De = " + FormatLength(s.De) + pair
                                           : "    (De = " + FormatLength(s.De) + ")";
  labels.Di = tol && s.DiameterGiven == 2 ? "   Di = " + FormatLength(s.Di) + pair
                                           : "  (Di = " + FormatLength(s.Di) + ")";
  labels.Dm = tol && s.DiameterGiven == 3 ? "  Dm = " + FormatLength(s.Dm) + pair
                                           : "   (Dm = " + FormatLength(s.Dm) + ")";
  DiameterDimensions(labels);
}

void ProductionENEntities() {
  const SpringDataRecord& s = SpringData();
  const ProductionDataRecord& p = ProductionData();
  const bool showF = s.ShowLd != 0, showFn = s.ShowM != 0, showP = s.ShowP != 0;
  CadSetLayer(0);
  CadInsertBlock("FRAME_1", 0, 0, 0, 1, 1);
  DataTable(1);
  CadSetLayer(0);
  CadInsertBlock("FEDER1", 46, 200, 0, 1, 1);
  if (p.Picture == 2 || p.Picture == 3) DrawBoreSectionFigure(46, 195, 12, 37, s.Dhmin + 0.09L);
  if (p.Picture == 1 || p.Picture == 3) DrawPinFigure(46, 260, 20, 25, s.Ddmax - 0.09L);
  CadSetLayer(0);
  CadInsertBlock("FEDER1", 46, 275, 180, 1, 1);
  CadInsertBlock("FEDER2", 110, 200, 0, 0.5L, 0.5L);
  CadTextStyle(2, 0, 2, 1.6L);
  CadSetLayer(3);
  Mark(33, 187, s.EndForm == 2);
  Mark(100, 187, s.EndForm == 1);
  if (s.EndForm == 4) {
    // Right of the Form 2 label, below the value column, its text beside it.
    Mark(143, 187, true);
    EndFormText("Federenden " + s.EndFormText, 146.5L, 186, 205 - 1 - 146.5L);
  }
  ForceTriangle();
  CadTextStyle(2, 0, 2.5L, 2);
  CadSetLayer(3);
  // The value column: rows of one text at x 126 or two at x 126 and 166,
  // from the top of the frame down, closer where there are many, its last
  // row clear above the end-form row (the Form 2 label reaches y 192).
  std::vector<std::pair<std::string, std::string>> rows;
  auto row = [&rows](std::string left, std::string right = {}) { rows.emplace_back(std::move(left), std::move(right)); };
  const std::string lu = " " + LengthUnitName();
  const std::string dePair = FormatLengthTolerancePair(s.TolDe, s.TolDeMinus);
  row("d  = " + FormatLength(s.d) + FormatLengthTolerancePair(s.TolWire, -s.TolWire) + lu);
  row("De = " + FormatLength(s.De) + (s.DiameterGiven == 1 ? dePair : "") + lu);
  row("Di = " + FormatLength(s.Di) + (s.DiameterGiven == 2 ? dePair : "") + lu);
  row("D  = " + FormatLength(s.Dm) + (s.DiameterGiven == 3 ? dePair : "") + lu);
  row("Dd<=" + FormatLength(s.Ddmax) + lu);
  row("Dh>=" + FormatLength(s.Dhmin) + lu);
  const bool noL0Tol = s.Allowance == 1 || s.Allowance == 4 || s.Allowance == 5;
  row("L0 = " + FormatLength(s.L0) + (noL0Tol ? "" : FormatLengthTolerancePair(s.TolL0, s.TolL0Minus)) + lu);
  if (showF) {
    row("L1 = " + FormatLength(s.L1) + lu);
    row("L2 = " + FormatLength(s.L2) + lu);
  }
  if (showFn) row("Ln = " + FormatLength(s.Ln) + lu);
  row("Lc = " + FormatLength(s.Lc) + lu);
  if (showF) row("sh = " + FormatTravel(s.sh) + lu);
  row("e1<= " + FormatLength(s.e1) + lu);
  row("e2<= " + FormatLength(s.e2) + lu);
  const std::string fu = " " + ForceUnitName();
  if (showF) {
    row("F1 = " + FormatForce(s.F1) + FormatForceTolerancePair(s.TolF1, s.TolF1Minus) + fu,
        s.LoadType == 1 ? "Tau 1  = " + Stress(s.tau1) : "Tau k1 = " + Stress(s.tauk1));
    row("F2 = " + FormatForce(s.F2) + FormatForceTolerancePair(s.TolF2, s.TolF2Minus) + fu,
        s.LoadType == 1 ? "Tau 2  = " + Stress(s.tau2) : "Tau k2 = " + Stress(s.tauk2));
  }
  if (showFn) row("Fn = " + FormatForce(s.Fn) + fu, "Tau n  = " + Stress(s.taun));
  row("Fc,th = " + FormatForce(s.Fc) + fu, "Tau c  = " + Stress(s.tauc));
  if (s.LoadType == 2 && showF) row("Hubspannung   Tau kh = " + Stress(s.taukh));
  row("Federrate   R = " + FormatSpringRate(s.R) + " " + SpringRateUnitName());
  row("Wickelverhältnis   w = "_oem + FloatToStrSig(s.w));
  row("Spannungskorrekturfaktor   k = " + FormatCorrectionFactor(s.k));
  if (showP) {
    row("Drahtlänge L = "_oem + FormatLength(s.WireLength) + lu);
    row("Steigung P = " + FormatLength(s.P) + lu);
    row("Gewicht m = " + FloatToStrSig(s.m) + " g");
  }
  constexpr Real kTop = 286, kLowest = 194;
  const Real n = static_cast<Real>(rows.size());
  const Real step = n > 1 ? std::min<Real>(4, (kTop - kLowest) / (n - 1)) : 4;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Real y = kTop - static_cast<Real>(i) * step;
    // A text of one column ends before the next; a row's only text reaches the frame.
    const bool two = !rows[i].second.empty();
    CadTextFit(rows[i].first, 126, y, (two ? 166 : 205) - 1 - 126);
    if (two) CadTextFit(rows[i].second, 166, y, 205 - 1 - 166);
  }
  CadTextStyle(2, 0, 1.8L, 1.44L);
  CadSetLayer(3);
  CadLine(46, 275, 102, 275);
  CadLine(46, 200, 120, 200);
  if (showF) {
    CadLine(81, 268, 102, 268);
    CadLine(86, 261, 102, 261);
  }
  if (showFn) {
    CadLine(91, 254, 102, 254);
    CadLine(96, 249, 102, 249);
  }
  DeviationLines();
  CadSetLayer(3);
  if (s.EndForm != 1 && s.e1 != 0) DimensionHorizontalOutside("e1", 24, 29, 282);
  if (s.EndForm != 1 && s.e2 != 0) DimensionVerticalOutside("e2", 71, 275, 277);
  DimensionVertical("L0", 77, 200, 275);
  if (showF) {
    DimensionVertical("L1", 82, 200, 268);
    DimensionVertical("L2", 87, 200, 261);
  }
  if (showFn) DimensionVertical("Ln", 92, 200, 254);
  DimensionVertical("Lc", 97, 200, 249);
  DimensionVerticalOutside("d", 66, 262, 266);
  const bool tol = s.Allowance != 3 && s.Allowance != 5;
  DiameterDimensions({tol && s.DiameterGiven == 1 ? "De" : "(De)", tol && s.DiameterGiven == 2 ? "Di" : "(Di)",
                      tol && s.DiameterGiven == 3 ? "Dm" : "(Dm)"});
  DrawRequirementsBlock(1, s.LoadType, 1);
}

}  // namespace

void ScriptedProductionDataForm::Run() {
  ++shown;
  if (cancel) G().AbortFlag = 1;
}

ProductionDataForm& ProductionDataDialog() { return *Form(); }
void SetProductionDataForm(std::shared_ptr<ProductionDataForm> form) {
  Form() = form ? std::move(form) : std::make_shared<ScriptedProductionDataForm>();
}

void DrawProductionDrawing(int cadCode) {
  DrawingRun run;
  run.extents = {-5, -5, 225, 310};
  run.before = [cadCode](DrawingRun&) { return RoundWireOnly(2) && AskProductionData(cadCode); };
  run.opened = [] { CadSetLayer(5); };
  run.blocks = [] { DefineProductionBlocks(true); };
  run.entities = ProductionEntities;
  RunDrawingOutput(cadCode, std::move(run));
}

void DrawProductionDrawingEN(int cadCode) {
  DrawingRun run;
  run.extents = {-5, -5, 225, 310};
  run.before = [cadCode](DrawingRun&) {
    if (!RoundWireOnly(2)) return false;
    if (SpringData().CoilingKind != 1) {
      ShowError("nur für kaltgeformte Federn"_oem);
      return false;
    }
    return AskProductionData(cadCode);
  };
  run.opened = [] { CadSetLayer(5); };
  run.blocks = [] { DefineProductionBlocks(false); };
  run.entities = ProductionENEntities;
  RunDrawingOutput(cadCode, std::move(run));
}

}  // namespace zeb
