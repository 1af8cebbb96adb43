#include "drawings/datablocks.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "drawings/diagrams.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "spring/material.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr Real kNoBuckling = 9999;

std::string WireTolerance(const SpringDataRecord& s) {
  return FormatLengthTolerancePair(-s.TolWire, s.TolWire);
}

// "Wdg." lines and others written with three significant digits.
void SigLine(std::string_view name, Real v, std::string_view unit = {}) {
  CadTextLine(std::string(name) + FloatToStrSig(v) + std::string(unit));
}

// Name of a grade below 5, else the given deviation text.
std::string GradeOr(int grade, const std::string& deviation) {
  return grade < 5 ? GradeNames(grade) : deviation;
}

// Wire grades of the built-in spring steel wire law.
const std::string& WireGradeLetter(int code) {
  static const std::string letters[] = {"A", "B", "C", "D"};
  static const std::string none;
  return code >= 1 && code <= 4 ? letters[code - 1] : none;
}

std::string TableMaterialName() { return MaterialCaption(); }

// A number text of the Quick 2 table, its integer part padded to the
// field's digits so that the points line up.
std::string PaddedNumber(std::string text, std::size_t digits) {
  const std::size_t point = std::min(text.find('.'), text.size());
  if (point < digits) text.insert(0, digits - point, ' ');
  return text;
}

// A length (or a travel) of the Quick 2 table with the digits of the
// printout.
std::string QuickTableLength(Real v, bool travel = false) {
  if (!std::isfinite(v)) return FormatLengthField(4, 0, v);
  return PaddedNumber(travel ? FormatTravel(v) : FormatLength(v), G().UnitSystem == 1 ? 3 : 4);
}

}  // namespace

void DrawFreeLengthLine() {
  const SpringDataRecord& s = SpringData();
  std::string line = "L0 = " + FormatLength(s.L0);
  if (s.Allowance != 1 && s.Allowance != 4 && s.Allowance != 5)
    line += FormatLengthTolerancePair(s.TolL0Minus, s.TolL0);
  CadTextLine(line + " " + LengthUnitName());
}

void DrawSpringDataHeader(std::uint16_t mode) {
  const SpringDataRecord& s = SpringData();
  const TransverseLoadRecord& q = TransverseLoad();
  CadSetLayer(19);
  CadMoveTo(126, 103);
  // Every line ends before the sheet's right edge, the last above its
  // lower edge.
  CadSetTextLineField(Cad().CadExtents[1] - 1 - 126);
  const CadTextLinesAbove block(Cad().CadExtents[2] + 1);
  if (mode != 2) CadTextLine("R  = " + FormatSpringRate(s.R) + " " + SpringRateUnitName());
  switch (s.CrossSection) {
    case 3:
      CadTextLine("a  = " + FormatLength(s.d) + WireTolerance(s) + LengthUnitName());
      break;
    case 2:
    case 4:
      CadLengthLine("b", s.d);
      CadLengthLine("h", s.h);
      break;
    default:
      CadTextLine("d  = " + FormatLength(s.d) + WireTolerance(s) + LengthUnitName());
      break;
  }
  std::string dm = "D = " + FormatLength(s.Dm);
  if (s.DiameterGiven == 3) dm += FormatLengthTolerancePair(s.TolDeMinus, s.TolDe);
  CadTextLine(dm + LengthUnitName());
  CadTextLine("n  = " + FloatToStrSig(s.n) + " " + "Wdg.");
  if (mode != 4)
    CadTextLine("D/d = " + FloatToStrSig(s.w));
  else
    CadTextLine("fe = " + FloatToStrSig(s.fe) + " Hz");
  CadTextLine(" ");
  DrawFreeLengthLine();
  CadLengthLine("L1", s.L1);
  CadLengthLine("L2", s.L2);
  CadLengthLine("Ln", s.Ln);
  CadLengthLine("Lc", s.Lc);
  if (mode == 2 && s.sk != kNoBuckling) CadLengthLine("Lk", s.L0 - s.sk);
  CadTextLine(" ");
  CadLengthLine("s1", s.s1);
  CadLengthLine("s2", s.s2);
  CadLengthLine("sn", s.sn);
  CadLengthLine("sc", s.sc);
  if ((mode == 2 || mode == 4) && s.sk != kNoBuckling) CadLengthLine("sk", s.sk);
  CadTextLine(" ");
  CadForceToleranceLine("F1", s.F1, s.TolF1Minus, s.TolF1);
  CadForceToleranceLine("F2", s.F2, s.TolF2Minus, s.TolF2);
  CadForceLine("Fn", s.Fn);
  if (mode == 1 && s.tauzul > 0 && s.Fn > s.Fzul) CadForceLine("Fn'", s.Fzul);
  CadForceLine("Fc", s.Fc);
  if (mode == 2 && s.sk != kNoBuckling) CadForceLine("Fk", s.R * s.sk);
  if (q.FQ > 0.001L)
    // The printout's two decimals at least.
    CadTextLine("FQ = " + MoreDigits(FormatForce(q.FQ), TrimBlanks(FormatForceField(5, 2, q.FQ))) + " " +
                ForceUnitName());
  else
    CadTextLine(" ");
  if (mode == 2) {
    CadTextLine("L0 / D = " + FloatToStrSig(s.lambda));
    CadTextLine("nue = " + FloatToStrSig(s.nue));
  }
  if (mode == 1) {
    if (s.LoadType != 1) {
      CadStressLine("tauk1", s.tauk1);
      CadStressLine("tauk2", s.tauk2);
      CadStressLine("taukh", s.taukh);
    } else {
      CadStressLine("tau1", s.tau1);
      CadStressLine("tau2", s.tau2);
      CadStressLine("tauh", s.tau2 - s.tau1);
    }
    CadStressLine("taun", s.taun);
    CadStressLine("tauc", s.tauc);
    CadKnownStressLine("tauz", s.tauzul);
    if (s.tauhzul != 0 && s.LoadType == 2) CadStressLine("tauhz", s.tauhzul);
  }
  if (mode == 3) {
    CadTextLine(" ");
    CadTextLine("W12 = " + FormatMoment(s.W12) + " " + MomentUnitName());
  }
  if (mode == 4) {
    CadLengthLine("sQ0", q.y[0]);
    CadTextLine("Rq0 = " + FormatSpringRate(q.Rq[0]) + " " + SpringRateUnitName());
    CadTextLine("fq0 = " + FloatToStrSig(q.fq[0]) + " Hz");
    CadLengthLine("sQ2", q.y[2]);
    CadTextLine("Rq2 = " + FormatSpringRate(q.Rq[2]) + " " + SpringRateUnitName());
    CadTextLine("fq2 = " + FloatToStrSig(q.fq[2]) + " Hz");
  }
  CadSetTextLineField(0);
}

void DrawDiagramDataBlock2() {
  const SpringDataRecord& s = SpringData();
  CadMoveTo(95, 65);
  // Every line ends before the first data block at x 126, the last above
  // the sheet's lower edge.
  CadSetTextLineField(126 - 1 - 95);
  const CadTextLinesAbove block(Cad().CadExtents[2] + 1);
  const bool diameterTolerance = s.Allowance != 3 && s.Allowance != 5;
  const std::string pair = FormatLengthTolerancePair(s.TolDeMinus, s.TolDe) + LengthUnitName();
  const std::string unit = " " + LengthUnitName();
  CadTextLine("Di = " + FormatLength(s.Di) + (s.DiameterGiven == 2 && diameterTolerance ? pair : unit));
  CadTextLine("De = " + FormatLength(s.De) + (s.DiameterGiven == 1 && diameterTolerance ? pair : unit));
  CadLengthLine("sh", s.sh);
  if (s.sk != kNoBuckling) CadLengthLine("sk", s.sk);
  SigLine("nue = ", s.nue);
  SigLine("nt = ", s.nt, " Wdg.");
  SigLine("fe = ", s.fe, " Hz");
  CadTextLine("k = " + FormatCorrectionFactor(s.k));
  CadLengthLine("L", s.WireLength);
  SigLine("tan al.= ", s.TanAlpha);
  CadTextLine("m = " + FormatSmallMass(s.m) + " " + SmallMassUnitName());
  CadKnownStressLine("Rm", s.Rm);
  CadKnownStressLine("tauz", s.tauzul);
  CadStressLine("G", s.G);
  if (s.T != 20) {
    CadTextLine("T = " + FormatTemperature(s.T) + " " + TemperatureUnitName());
    CadStressLine("G" + FloatToStrDec(0, s.T), s.GT);
  }
  CadLengthLine("Ddmax", s.Ddmax);
  CadLengthLine("Dhmin", s.Dhmin);
  CadSetTextLineField(0);
}

void DrawMaterialTextBlock() {
  const SpringDataRecord& s = SpringData();
  // Each line ends before the second data block at x 95; the typed texts
  // are whole, the end-form text on up to two lines.
  constexpr Real kField = 95 - 1 - 5;
  auto Line = [](std::string_view text) { CadTextLineFit(text, kField); };
  CadMoveTo(5, 40);
  if (s.MaterialSel == 0) {
    CadTextLineWhole(TableMaterialName(), kField);
  } else {
    std::string m = "Werkstoff: ";
    if (s.MaterialSel == 1)
      m += "Federstahldraht DIN 17223,Drahtsorte " + WireGradeLetter(s.MaterialStd);
    else if (s.MaterialSel == 2)
      m += OilTemperedWireNames(s.MaterialStd) + " DIN 17223";
    else if (s.MaterialSel == 3)
      m += HotRolledSteelNames(s.MaterialStd) + " DIN 17221";
    else
      m += s.MaterialName;
    CadTextLineWhole(m, kField);
  }
  Line(CoilingKindNames(s.CoilingKind) + ", " + SurfaceNames(s.MaterialCoiling));
  CadTextLineWhole("Federenden : " + s.EndFormText, kField, 2);
  Line("Beanspruchung : " + LoadTypeNames(s.LoadType));
  if (s.ShotPeened == 'J') Line("Behandlung : Feder kugelgestrahlt");
  const std::string dePair = FormatLengthTolerancePair(s.TolDeMinus, s.TolDe);
  if (s.Allowance != 3 && s.Allowance != 5) Line("Zul. Abw. De,Di,Dm : " + GradeOr(s.GradeDe, dePair));
  if (s.Allowance != 1 && s.Allowance != 4 && s.Allowance != 5)
    Line("Zul. Abw. L0 : " + GradeOr(s.GradeL0, FormatLengthTolerancePair(s.TolL0Minus, s.TolL0)));
  if (s.GradeF1 < 5 && s.GradeF2 < 5)
    Line("Zul. Abw. F1, F2 : " + GradeNames(s.GradeF1) + ", " + GradeNames(s.GradeF2));
  else
    Line("Zul. Abw. F1, F2 : " + FormatForceTolerancePair(s.TolF1Minus, s.TolF1) + ", " +
                FormatForceTolerancePair(s.TolF2Minus, s.TolF2));
  if (s.EndForm != 1) {
    if (s.GradeE1 < 5 && s.GradeE2 < 5)
      Line("Zul. Abw. e1,e2 : " + GradeNames(s.GradeE1) + ", " + GradeNames(s.GradeE2));
    else
      Line("Zul. Abw. e1,e2 : "_oem + "\xF1 " + FormatLength(s.e1) + ", \xF1 " + FormatLength(s.e2));
  }
  if (s.Allowance != 2) {
    if (s.WireStd == 16) {
      if (s.TolWire != 0) Line("Zul. Abw. d : \xF1 " + FormatLength(s.TolWire));
    } else {
      Line("Zul. Abw. d : " + WireStdNames(s.WireStd));
    }
  }
  if (s.Statistics != 'N')
    Line("Ausschu\xE1  F1 = " + FloatToStrSig(s.ScrapF1) + "%   F2 = " + FloatToStrSig(s.ScrapF2) +
                "%   Dm = " + FloatToStrSig(s.ScrapDm) + "%");
  else
    Line(" ");
}

void DrawMessageLines() {
  const ErrorMessageListT& list = G().ErrorMessageList;
  if (list.count == 0) {
    CadTextLine(" ");
    CadTextLine(" - keine -");
    return;
  }
  for (int k = 1; k <= list.count && k <= 12; ++k) CadTextLine(list.slot[static_cast<std::size_t>(k)]);
}

void DrawMessageBlock() {
  CadMoveTo(78, 103);
  CadSetLayer(21);
  CadTextStyle(2, 0, 2.0L, 1.6L);
  // Many messages closer together: the last one above the second data
  // block (its first line at y 65, 2.2 high) by half a millimetre.
  const Real keep = Cad().CadLineSpacing;
  const int below = std::clamp<int>(G().ErrorMessageList.count, 2, 12);
  CadSetLineSpacing(std::min(keep, (103 - 65 - 2.7L) / (below * 1.6L * Cad().CadTextHeight)));
  CadTextLine("Meldungen");
  CadSetLayer(19);
  // The messages end before the data block at x 126.
  CadSetTextLineField(126 - 1 - 78);
  DrawMessageLines();
  CadSetTextLineField(0);
  CadSetLineSpacing(keep);
  CadTextStyle(2, 0, 2.2L, 1.7L);
}

void DrawQuick2Sheet() {
  const SpringDataRecord& s = SpringData();
  const auto& title = G().TitleBlockLines;
  CadSetLayer(19);
  CadTextStyle(2, 0, 2.2L, 1.7L);
  CadMoveTo(78, 116);
  const Real right = Cad().CadExtents[1] - 1 - 78;
  CadTextLineWhole(title[2], right);
  CadTextLineWhole(title[3], right);
  CadTextLineWhole(title[1], right);
  CadMoveTo(78, 102);
  CadTextLine("Di: " + FormatLength(s.Di));
  CadTextLine("Dm: " + FormatLength(s.Dm));
  CadTextLine("De: " + FormatLength(s.De));
  CadTextLine("n : " + FloatToStrSig(s.n));
  CadTextLine("R : " + FormatSpringRate(s.R) + " " + SpringRateUnitName());
  CadMoveTo(108, 102);
  if (s.CrossSection == 2 || s.CrossSection == 4)
    CadTextLine("b x h: " + FormatLength(s.d) + " x " + FormatLength(s.h));
  else if (s.CrossSection == 3)
    CadTextLine("a : " + FormatLength(s.d));
  else
    CadTextLine("d : " + FormatLength(s.d));
  CadTextLine("Dm/d: " + FloatToStrSig(s.w));
  CadTextLine("Dec: " + FormatLength(s.De + s.dDe));
  CadTextLine("nt: " + FloatToStrSig(s.nt));

  DiagramTextTable table(78, 82, 2.2L, {10, 10, 10, 10, 0, 0, 0},
                         {" F [" + ForceUnitName() + "]", "tau [" + StressUnitName() + "]",
                          " s [" + LengthUnitName() + "]", " L [" + LengthUnitName() + "]", "", "", ""});
  auto f = [](Real v) { return PaddedNumber(FormatForce(v), 4); };
  auto t = [](Real v) { return FormatStressField(4, 0, v); };
  auto l = [](Real v) { return QuickTableLength(v); };
  auto sl = [](Real v) { return QuickTableLength(v, true); };
  // Rows: label column pairs as the sheet shows them.
  table.AddRow4("", "", "", "L0:" + l(s.L0));
  if (s.LoadType == 2) {
    table.AddRow4("F1:" + f(s.F1), "tauk1:" + t(s.tauk1), "s1:" + sl(s.s1), "L1:" + l(s.L1));
    table.AddRow4("", "taukh:" + t(s.taukh), "sh:" + sl(s.sh), "");
    table.AddRow4("F2:" + f(s.F2), "tauk2:" + t(s.tauk2), "s2:" + sl(s.s2), "L2:" + l(s.L2));
  } else {
    table.AddRow4("F1:" + f(s.F1), "tau 1:" + t(s.tau1), "s1:" + sl(s.s1), "L1:" + l(s.L1));
    table.AddRow4("F2:" + f(s.F2), "tau 2:" + t(s.tau2), "s2:" + sl(s.s2), "L2:" + l(s.L2));
  }
  table.AddRow4("Fn:" + f(s.Fn), "tau n:" + t(s.taun), "sn:" + sl(s.sn), "Ln:" + l(s.Ln));
  table.AddRow4("Fc:" + f(s.Fc), "tau c:" + t(s.tauc), "sc:" + sl(s.sc), "Lc:" + l(s.Lc));

  CadSetLayer(19);
  CadTextStyle(2, 0, 2.2L, 1.7L);
  CadMoveTo(118, 47);
  CadTextLine("tau zul.: " + KnownStress(s.tauzul, FormatStressDec(0, s.tauzul)));
  if (s.LoadType == 2) CadTextLine("tau h zul: " + KnownStress(s.tauhzul, FormatStressDec(0, s.tauhzul)));
  // The material lines end before the message block at x 78; the typed
  // texts are whole, the end-form text on up to two lines.
  constexpr Real kField = 78 - 1 - 5;
  auto Line = [](std::string_view text) { CadTextLineFit(text, kField); };
  CadMoveTo(5, 40);
  if (s.MaterialSel == 0) {
    CadTextLineWhole(TableMaterialName(), kField);
    CadTextLineWhole(TrimBlanks(ZEBWST_Record().Name2), kField);
  } else {
    CadTextLineWhole(s.MaterialName, kField);
  }
  CadTextLineWhole("Federenden : " + s.EndFormText, kField, 2);
  Line("Beanspruchung : " + LoadTypeNames(s.LoadType));
  if (s.ShotPeened == 'J') Line("Behandlung : Feder kugelgestrahlt");
  Line("Rm : " + KnownStress(s.Rm, FormatStress(s.Rm)) + " " + StressUnitName());
  Line("G  : " + FormatStress(s.G) + " " + StressUnitName());
  CadMoveTo(78, 30);
  CadSetLayer(21);
  CadTextStyle(2, 0, 2.0L, 1.6L);
  // Many messages stand closer, down to 1.2 text heights apart, so that
  // the last stays on the sheet.
  const Real keep = Cad().CadLineSpacing, pitch = 1.6L * 2.0L * keep;
  const int lines = std::max(2, std::min<int>(G().ErrorMessageList.count, 12));
  if (30 - pitch * lines < 0.5L) CadSetLineSpacing(std::max<Real>(29.5L / lines, 1.2L * 2.0L) / (1.6L * 2.0L));
  CadTextLine("Meldungen");
  CadSetLayer(19);
  CadSetTextLineField(Cad().CadExtents[1] - 1 - 78);
  DrawMessageLines();
  CadSetTextLineField(0);
  CadSetLineSpacing(keep);
  DiagramSetPlotSize(60, 60);
  DiagramSetPlotOrigin(10, 50);
  const DiagramRange r = CharacteristicRange();
  DiagramFrame(" s[" + LengthUnitName() + "]", "F [" + ForceUnitName() + "]", "Federkennlinie",
               LengthToDisplayUnit(r.xmin), ForceToDisplayUnit(r.ymin), LengthToDisplayUnit(r.xmax),
               ForceToDisplayUnit(r.ymax), 1);
  DiagramScaleRange(LengthToDisplayUnit(1), ForceToDisplayUnit(1));
  DrawCharacteristicLine(0);
}

}  // namespace zeb
