// The Quick 3 result sheet: characteristic, spring pictures, tables and
// text blocks of the current spring on one 160 x 120 sheet.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "drawings/coils.h"
#include "drawings/datablocks.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "drawings/output_run.h"
#include "drawings/quick3.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "spring/spring_data.h"
#include "spring/strength.h"

namespace zeb {

namespace {

constexpr Real kNoBuckling = 9999;

// The picture of the cross-section: projection, section or simple section.
void DrawSpringPicture() {
  const Code cs = SpringData().CrossSection;
  if (cs == 1)
    DrawSpringProjection();
  else
    DrawSpringSection(cs != 7);
}

std::string Ratio(Real tau, Real divisor) { return divisor == 0 ? std::string() : FormatFloatField(2, 2, tau / divisor); }
// A label and its value with a blank between them however wide the value.
std::string Cell(std::string_view label, const std::string& value) {
  const bool apart = (!label.empty() && label.back() == ' ') || (!value.empty() && value.front() == ' ');
  return std::string(label) + (apart ? "" : " ") + value;
}
// A length, or a travel ("s1:"), with the printout's digits at least.
std::string LengthCell(std::string_view label, Real v) {
  return Cell(label, MoreDigits(FormatLengthField(4, 2, v), label[0] == 's' ? FormatTravel(v) : FormatLength(v)));
}
std::string StressCell(std::string_view label, Real v) { return Cell(label, FormatStressField(4, 0, v)); }

}  // namespace

bool QuickSheetPicturesDrawable() {
  SpringDataRecord& s = SpringData();
  if (!(s.De > 0) || !(s.L0 > 0)) return false;
  const Real keep = s.L;
  bool ok = true;
  for (Real L : {s.L0, s.L1, s.L2}) {
    s.L = L;
    ok = ok && SideViewDrawable(s.CrossSection != 1);
  }
  s.L = keep;
  return ok;
}

// Where the Goodman sheet goes on the sheet, and its scale.
constexpr Real kGoodmanX = 70, kGoodmanScale = 0.58L;
// The top of the next line below the Goodman sheet's text block, on the
// sheet (the dynamic block starts below it).
Real gGoodmanTextBottom = 1e9L;

void DefineQuickSheetBlocks() {
  SpringDataRecord& s = SpringData();
  gGoodmanTextBottom = 1e9L;
  if (s.LoadType == 2) {
    // Inserted at x 70 by 0.58: its texts fit the part of the sheet right
    // of x 70, in the block's units.
    const auto sheet = Cad().CadExtents;
    Cad().CadExtents[1] = (sheet[1] - kGoodmanX) / kGoodmanScale;
    CadStyleWritten();
    CadBeginBlock("goodman");
    // Its frame's texts 1 mm high on the sheet.
    const DiagramLeastTextHeight least(1 / kGoodmanScale);
    GoodmanDiagram();
    gGoodmanTextBottom = FatigueTextBlockBottom() * kGoodmanScale;
    CadEndBlock();
    Cad().CadExtents = sheet;
    CadStyleWritten();
  }
  if (QuickSheetPicturesDrawable()) {
    const std::pair<const char*, Real> pictures[] = {{"feder", s.L0}, {"zebl1", s.L1}, {"zebl2", s.L2}};
    for (const auto& [name, L] : pictures) {
      CadBeginBlock(name);
      // A length below block length is drawn at block length.
      s.L = std::isfinite(s.Lc) && s.Lc > 0 ? std::max(L, s.Lc) : L;
      DrawSpringPicture();
      CadEndBlock();
    }
  }
  s.L = s.L2;
}

void DrawOperatingPointTable(Real x, Real y, Real h) {
  const SpringDataRecord& s = SpringData();
  const std::string lu = LengthUnitName(), fu = ForceUnitName(), su = StressUnitName();
  const std::string headers[] = {" L [" + lu + "]", " F [" + fu + "]", "tau [" + su + "]", " s [" + lu + "]"};
  DiagramTextTable table(x, y, h, {10, 10, 10, 10, 8, 6, 0},
                         {headers[0], headers[1], headers[2], headers[3], "tau/tauz", "tau/Rm", ""});
  const bool dynamic = s.LoadType == 2;
  auto force = [](Real F) { return FloatToStrSig(ForceToDisplayUnit(F)); };
  table.AddRow({LengthCell("L0:", s.L0), "", "", "", "", "", ""});
  struct Row {
    const char* l;
    Real L;
    const char* f;
    Real F;
    const char* tk;
    Real tauK;
    const char* t;
    Real tau;
    const char* sl;
    Real sv;
  };
  const Row rows[] = {{"L1:", s.L1, dynamic ? "F1: " : "F1 :", s.F1, "tauk1:", s.tauk1, "tau 1:", s.tau1, "s1:", s.s1},
                      {"L2:", s.L2, "F2: ", s.F2, "tauk2:", s.tauk2, "tau 2:", s.tau2, "s2:", s.s2},
                      {"Ln:", s.Ln, "Fn: ", s.Fn, "tau n:", s.taun, "tau n:", s.taun, "sn:", s.sn},
                      {"Lc:", s.Lc, "Fc: ", s.Fc, "tau c:", s.tauc, "tau c:", s.tauc, "sc:", s.sc}};
  for (const Row& r : rows) {
    const std::string c1 = LengthCell(r.l, r.L), c2 = Cell(r.f, force(r.F));
    const std::string c3 = dynamic ? StressCell(r.tk, r.tauK) : StressCell(r.t, r.tau);
    const std::string c4 = LengthCell(r.sl, r.sv), c5 = Ratio(r.tau, s.tauzul), c6 = Ratio(r.tau, s.Rm);
    table.AddRow({c1, c2, c3, c4, c5, c6, ""});
  }
}

void DrawToleranceTable(Real x, Real y, Real h) {
  const SpringDataRecord& s = SpringData();
  std::vector<std::pair<const char*, int>> rows;
  if (s.Allowance != 3 && s.Allowance != 5) rows.emplace_back("De, Di", s.GradeDe);
  if (s.Allowance != 1 && s.Allowance != 4 && s.Allowance != 5) rows.emplace_back("L0", s.GradeL0);
  rows.emplace_back("F1", s.GradeF1);
  rows.emplace_back("F2", s.GradeF2);
  rows.emplace_back("e1", s.GradeE1);
  rows.emplace_back("e2", s.GradeE2);
  // The fifth column, without a head, holds the marks of grade 4: it is as
  // wide as its " X" where a row has one, else it is left out.
  const bool grade4 = std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r.second == 4; });
  DiagramTextTable table(x, y, h, {7, 2, 2, 2, grade4 ? 2.0L : 0.0L, 0, 0}, {"EN15800-", "1", "2", "3", "", "", ""});
  for (const auto& [name, grade] : rows) {
    if (grade >= 1 && grade <= 4)
      table.AddMarkRow(name, grade);
    else
      table.AddRow({name, "", "", "", "", "", ""});
  }
}

void DrawResultTextBlock(Real x, Real y, Real h, Real w) {
  const SpringDataRecord& s = SpringData();
  const ProductionDataRecord& p = ProductionData();
  CadMoveTo(x, y);
  CadTextStyle(0, 0, h, w);
  // The lines first, each a text or the wrapped lines of the end-form text.
  std::vector<std::string> lines = DiagramWireSectionLines(s.Allowance != 2 && s.Allowance != 4);
  auto line = [&lines](std::string text) { lines.push_back(std::move(text)); };
  const bool tol = s.Allowance != 3 && s.Allowance != 5;
  const std::string pair = FormatLengthTolerancePair(s.TolDe, s.TolDeMinus), lu = " " + LengthUnitName();
  line("Di = " + FormatLength(s.Di) + (tol && s.DiameterGiven == 2 ? pair : "") + lu);
  line("Dm = " + FormatLength(s.Dm) + (tol && s.DiameterGiven == 3 ? pair : "") + lu);
  line("De = " + FormatLength(s.De) + (tol && s.DiameterGiven == 1 ? pair : "") + lu);
  line("n = " + FloatToStrSig(s.n));
  line("nt = " + FloatToStrSig(s.nt));
  line("R = " + FormatSpringRate(s.R) + " " + SpringRateUnitName());
  line("Dec = " + FormatLength(s.De + s.dDe) + lu);
  line("Ddmax = " + FormatLength(s.Ddmax) + lu);
  line("Dhmin = " + FormatLength(s.Dhmin) + lu);
  if (std::fabs(s.sk - kNoBuckling) >= 1e-5L) line("sk = " + FormatTravel(s.sk) + lu);
  line("L = " + FormatLength(s.WireLength) + lu);
  line("m = " + FormatSmallMass(s.m) + " " + SmallMassUnitName());
  line("W12 = " + FormatMoment(s.W12) + " " + MomentUnitName());
  line("W0c = " + FormatMoment(s.W0c) + " " + MomentUnitName());
  line("fe = " + FloatToStrSig(s.fe) + " Hz");
  std::vector<std::string> rest;
  rest.push_back("Beanspruchung: " + LoadTypeNames(s.LoadType));
  if (s.ShotPeened == 'J') rest.emplace_back("Behandlung : Feder kugelgestrahlt");
  rest.push_back("nue = " + FloatToStrSig(s.nue));
  if (s.Allowance > 0) rest.push_back("Fertigungsausgleich : " + AllowanceNames(s.Allowance));
  if (s.WindingDir == 1 || s.WindingDir == 2) rest.push_back("Windg.richtung: " + WindingDirNames(s.WindingDir));
  if (p.Preset == 1) rest.push_back("Federn gesetzt, Ls= " + FormatLength(p.Ls));
  if (p.Preset == 2) rest.emplace_back("Federn ungesetzt");
  if (std::fabs(s.T - 20) >= 1e-5L)
    rest.push_back("T = " + FormatTemperatureField(3, 0, s.T) + " " + TemperatureUnitName());
  // Every line stops before what stands beside the block: the values before
  // the operating point table (at x 84), the lines below it before the
  // tolerance table and the messages (36 characters of the block's style);
  // the end-form text whole on up to three lines, the others on up to two.
  // The block ends above the picture below it (the Goodman sheet's axis
  // title, the material lines): many lines stand closer, never closer than
  // 1.2 heights.
  constexpr Real kRoom = 36, kLowest = 66;
  const Real room = kRoom * Cad().CadTextHeight * Cad().CadTextWidthFactor;
  {
    const CadTextLinesAbove block(kLowest);
    CadSetTextLineField(84 - 1 - x);
    for (const std::string& l : lines) CadTextLine(l);
    CadSetTextLineField(room);
    CadTextLineWhole("Federenden: " + s.EndFormText, room, 3);
    for (const std::string& l : rest) CadTextLine(l);
    CadSetTextLineField(0);
  }
}

void DrawRelaxationBlock(Real x, Real y, Real h, Real w) {
  const SpringDataRecord& s = SpringData();
  CadMoveTo(x, y);
  CadTextStyle(2, 0, h, w);
  // Each line ends before the messages at x 110.
  CadSetTextLineField(110 - 1 - x);
  DrawFreeLengthLine();
  const std::string fu = " " + ForceUnitName();
  CadTextLine("F1 = " + FormatForce(s.F1) + FormatForceTolerancePair(s.TolF1, s.TolF1Minus) + fu);
  CadTextLine("F2 = " + FormatForce(s.F2) + FormatForceTolerancePair(s.TolF2, s.TolF2Minus) + fu);
  if (RelaxationUnknown())
    CadTextLine("F2,48h = -" + fu);
  else if (s.F2Relax > 0)
    CadTextLine("F2,48h = " + FormatForce(s.F2 * (1 - 0.01L * s.F2Relax)) + fu);
  CadSetTextLineField(0);
}

void DrawMessageList(int mode, Real x, Real y, Real h, Real w) {
  CadMoveTo(x, y);
  CadSetLayer(21);
  if (mode == 1 && G().ErrorMessageList.count > 7)
    CadTextStyle(2, 0, 0.75L * h, 0.75L * w);
  else
    CadTextStyle(0, 0, h, w);
  CadTextLine("Meldungen");
  CadSetLayer(19);
  DrawMessageLines();
}

void DrawDynamicBlock(Real x, Real y, Real h, Real w) {
  const TransverseLoadRecord& q = TransverseLoad();
  const ResonanceRecord& r = ResonanceResult();
  // Above the Goodman sheet's axis title (its tick numbers end near y 10),
  // or, where its lines do not fit there, right of the title (which ends
  // before x 141), ending before the sheet's edge.
  const int lines = (q.FQ != 0 ? 2 : 0) + (r.ExternalMass != 0 ? 2 : 0);
  constexpr Real kAboveTitle = 10.5L;
  if (lines > 1 && y - 1.2L * h * (lines - 1) < kAboveTitle) x = 141;
  CadMoveTo(x, y);
  CadTextStyle(2, 0, h, w);
  CadSetTextLineField(Cad().CadExtents[1] - 1 - x);
  const CadTextLinesAbove block(x < 141 ? kAboveTitle : 1);
  if (q.FQ != 0) {
    CadTextLine("FQ = " + MoreDigits(FormatForce(q.FQ), TrimBlanks(FormatForceField(5, 2, q.FQ))) + " " + ForceUnitName());
    CadTextLine("sq2 = " + FormatLength(q.y[2]) + " " + LengthUnitName());
  }
  if (r.ExternalMass != 0) {
    CadTextLine("m ext = " + FormatMass(r.ExternalMass) + " " + MassUnitName());
    CadTextLine("dy(fz) = " + FloatToStrSig(r.dyPercent) + " %");
  }
  CadSetTextLineField(0);
}

void DrawQuickSheet(int cadCode) {
  DrawingRun run;
  run.opened = [] { DiagramReset(); };
  run.blocks = [] { DefineQuickSheetBlocks(); };
  run.entities = [] {
    const SpringDataRecord& s = SpringData();
    DiagramHeaderLine();
    DiagramSetPlotSize(50, 50);
    DiagramSetPlotOrigin(8, 8);
    const DiagramRange r = CharacteristicRange();
    DiagramFrame(" s[" + LengthUnitName() + "]", "F [" + ForceUnitName() + "]", "Federkennlinie",
                 LengthToDisplayUnit(r.xmin), ForceToDisplayUnit(r.ymin), LengthToDisplayUnit(r.xmax),
                 ForceToDisplayUnit(r.ymax), 1);
    DiagramScaleRange(LengthToDisplayUnit(1), ForceToDisplayUnit(1));
    DrawCharacteristicLine(0);
    if (s.LoadType == 2) {
      CadInsertBlock("goodman", kGoodmanX, 0, 0, kGoodmanScale, kGoodmanScale);
    } else {
      CadSetLayer(19);
      CadTextStyle(2, 0, 1.4L, 0.9L);
      CadMoveTo(75, 60);
      DiagramMaterialText();
    }
    if (QuickSheetPicturesDrawable()) {
      // As high as the longest of the three pictures allows (L1 may be
      // above L0).
      const Real scale = std::min(16 / s.De, 45 / std::max({s.L0, s.L1, s.L2}));
      CadSetLayer(0);
      CadInsertBlock("feder", 11, 70, 0, scale, scale);
      CadInsertBlock("zebl1", 30, 70, 0, scale, scale);
      CadInsertBlock("zebl2", 49, 70, 0, scale, scale);
    }
    // Below the pictures: their axes reach 5 % of L0 below y 70, at most
    // 2.25 at the scale above.
    CadSetLayer(4);
    CadTextStyle(2, 0, 1.2L, 1.0L);
    CadText("L0=" + FormatLength(s.L0) + LengthUnitName(), 9, 66.2L);
    CadText("L1=" + FormatLength(s.L1) + LengthUnitName(), 28, 66.2L);
    CadText("L2=" + FormatLength(s.L2) + LengthUnitName(), 47, 66.2L);
    DrawOperatingPointTable(84, 118, 1.4L);
    DrawToleranceTable(96, 90, 1.0L);
    CadSetLayer(19);
    CadTextStyle(2, 0, 1.4L, 1.0L);
    CadMoveTo(110, 99);
    CadTextLine("tau z: " + KnownStress(s.tauzul, FormatStressDec(0, s.tauzul)) + " " + StressUnitName());
    CadTextLine(" k = " + FormatCorrectionFactor(s.k));
    CadMoveTo(122, 97);
    CadTextLine(LengthCell("sh:", s.sh) + " " + LengthUnitName());
    DrawRelaxationBlock(84, 99, 1.4L, 1.0L);
    DrawResultTextBlock(60, 116, 1.4L, 1.0L);
    DrawMessageList(1, 110, 94, 1.4L, 1.0L);
    // Below the Goodman sheet's text block, however far down it reaches.
    DrawDynamicBlock(138, std::min<Real>(20, gGoodmanTextBottom - 1.4L), 1.4L, 1.0L);
  };
  RunDrawingOutput(cadCode, std::move(run));
}

}  // namespace zeb
