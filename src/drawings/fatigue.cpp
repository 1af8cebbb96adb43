// Goodman and Haigh fatigue diagrams with their text block.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/text.h"
#include "base/vector2d.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "drawings/output_run.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "spring/formulas.h"
#include "spring/spring_data.h"
#include "spring/strength.h"

namespace zeb {

namespace {

Real gTextBlockBottom = 0;

std::string StressValue(Real v) { return FormatStressField(4, 0, v) + " " + StressUnitName(); }

std::string Millions(Real n) { return FloatToStrSigLess(2, n * 1e-6L); }

std::string Hours(Real n, Real f) { return FloatToStrSigLess(2, n / f / 3600); }

void LifeLines() {
  const SpringDataRecord& s = SpringData();
  const LoadSpectrumRecord& ls = LoadSpectrum();
  const bool estimate = s.tauoz < s.tauk2 || s.NoLifeMinMax != 0;
  const bool deviation = s.FatigueTol1 != 0 || s.FatigueTol2 != 0;
  if (s.Sh < 1.0L) {
    if (ls.Count > 0) CadTextLine("L1, L2, freq:");
    const std::string n = "N = " + Millions(s.N) + " Mio.Lastsp.";
    CadTextLine(estimate ? "(" + n + ")" : n);
    if (deviation) CadTextLine("(" + Millions(s.Nmin) + " .. " + Millions(s.Nmax) + " Mio.Lastsp.)");
    if (s.f > 0) {
      if (estimate) {
        CadTextLine("(tN= " + Hours(s.N, s.f) + " h)");
      } else {
        CadTextLine("tN= " + Hours(s.N, s.f) + " h  (f=" + FloatToStrSig(s.f) + "/s)");
        if (deviation) CadTextLine("(" + Hours(s.Nmin, s.f) + " .. " + Hours(s.Nmax, s.f) + " h)");
      }
    }
  } else {
    CadTextLine(estimate ? "(N > 10 Mio.Lastsp.)" : "N > 10 Mio.Lastsp.");
    if (s.Nmin < 10000000) {
      CadTextLine("(" + Millions(s.Nmin) + " .. " + Millions(s.Nmax) + " Mio.Lastsp.)");
      if (s.f > 0 && estimate)
        CadTextLine("(tN= " + Hours(s.Nmin, s.f) + " .. " + Hours(s.Nmax, s.f) + " h)");
    }
  }
  if (ls.Count > 0) {
    CadTextLine(" ");
    CadTextLine("Lastkollektiv:");
    if (ls.FatigueProof != 0) {
      CadTextLine("tN = dauerfest");
    } else {
      if (ls.Nn > 0) CadTextLine("Nn= " + Millions(ls.Nn) + " Mio.Lastsp.");
      if (ls.tN > 0) CadTextLine("tN= " + FloatToStrSigLess(2, ls.tN) + " h");
    }
  }
}

// A text along a life line of the Haigh diagram (turned as the current
// style), starting at (x, y): moved along the line's first part past the
// operating point (its circles and the stroke line between them) and past
// every label and line of the plot when it would cover them, and kept in
// the plot; where the line has no such place, set straight on or by it.
void LifeLineText(std::string_view text, Real x, Real y, const std::vector<std::array<Real, 2>>& line) {
  const SpringDataRecord& s = SpringData();
  const DiagramStateRecord& st = DiagramState();
  const Real h = Cad().CadTextHeight;
  Real u0, u1;
  CadTextInk(text, u0, u1);
  const Real a = DegToRad(Cad().CadTextAngle), c = std::cos(a), sn = std::sin(a);
  const Real px = DiagramMapX(s.tauk1), py1 = DiagramMapY(0), py2 = DiagramMapY(s.tauk2 - s.tauk1);
  const Real r = DiagramMarkRadius(DiagramScaleY(10)), gap = 0.25L * h;
  auto local = [&](Real sx, Real sy, Real qx, Real qy, Real& u, Real& v) {
    u = (qx - sx) * c + (qy - sy) * sn;
    v = -(qx - sx) * sn + (qy - sy) * c;
  };
  auto clear = [&](Real sx, Real sy) {
    const Real ex = sx + u1 * c - h * sn, ey = sy + u1 * sn + h * c;
    if (!PointInRect(ex, ey, st.PlotOriginX, st.PlotOriginY, st.PlotOriginX + st.PlotWidth,
                     st.PlotOriginY + st.PlotHeight))
      return false;
    for (const Real cy : {py1, py2}) {
      Real u, v;
      local(sx, sy, px, cy, u, v);
      const Real du = std::max({u0 - gap - u, Real(0), u - u1 - gap}), dv = std::max({-gap - v, Real(0), v - h - gap});
      if (std::hypot(du, dv) < r) return false;
    }
    if (!DiagramTextFree(text, sx, sy)) return false;
    Real ua, va, ub, vb, t0, t1;
    local(sx, sy, px, py1, ua, va);
    local(sx, sy, px, py2, ub, vb);
    return !SegmentPartInRect(ua, va, ub, vb, u0 - gap, -gap, u1 + gap, h + gap, t0, t1);
  };
  const Real sx = DiagramMapX(x), sy = DiagramMapY(y);
  // Along the line's first part only.
  const Real end = line.size() > 1 ? DiagramMapX(line[1][0]) : sx;
  for (int k = 0; k <= 120; ++k) {
    const Real tx = sx + 0.5L * k * c, ty = sy + 0.5L * k * sn;
    if (k > 0 && tx > end) break;
    if (clear(tx, ty)) {
      CadText(text, tx, ty);
      DiagramNoteText(text, tx, ty);
      return;
    }
  }
  CadTextStyle(Cad().CadTextFont, 0, h, h * Cad().CadTextWidthFactor);
  DiagramPlaceLineLabel(text, line, x, y);
}

struct GoodmanData {
  Real tauoz = 0, tauo0 = 0, m = 0, knee = 0;
  std::string text;
};

// The head both diagrams share: title block, text block, frame and the
// Goodman diagonal; false when the material has no fatigue lines.
bool FatigueHead(bool haigh, GoodmanData& g) {
  const SpringDataRecord& s = SpringData();
  MaterialAllowedStress(1, s.LoadCase, g.tauoz, g.tauo0, g.m, g.knee, g.text);
  DiagramTitleBlock();
  FatigueTextBlock(g.tauo0, g.tauoz, g.m);
  DiagramSetPlotSize(90, 85);
  DiagramSetPlotOrigin(15, 20);
  DiagramState().DiagramAxisMode = 0;
  // Both axes from 0 to the upper stress limit (1200 N/mm² at least),
  // grown to hold the operating point: below 0 too, each for itself, for a
  // lower stress or a stroke below 0.
  Real xlo = 0, ylo = 0, hi = std::max<Real>(g.tauoz, 1200);
  const Real y1 = haigh ? 0 : s.tauk1, y2 = haigh ? s.tauk2 - s.tauk1 : s.tauk2;
  for (const Real v : {s.tauk2, s.tauk1, y2})
    if (std::isfinite(v)) hi = std::max(hi, 1.1L * v);
  for (const Real v : {y1, y2})
    if (std::isfinite(v)) ylo = std::min(ylo, 1.1L * v);
  if (std::isfinite(s.tauk1)) xlo = std::min(xlo, 1.1L * s.tauk1);
  DiagramFrame("  tau u", haigh ? "tau h" : "tau o", haigh ? "Haigh-Goodman-Diagramm" : "Goodman-Diagramm",
               StressToDisplayUnit(xlo), StressToDisplayUnit(ylo), StressToDisplayUnit(hi), StressToDisplayUnit(hi), 1);
  DiagramScaleRange(StressToDisplayUnit(1), StressToDisplayUnit(1));
  const DiagramStateRecord& st = DiagramState();
  if (!haigh) DiagramClipLine(0, 0, st.XMax, st.YMax);
  return !(g.tauo0 == 0 && g.m == 0) && s.MaterialSel == 0;
}

// The note of a material without fatigue lines, clear of what is drawn.
void NoDataNote(const GoodmanData& g) {
  CadSetLayer(17);
  CadTextStyle(2, 0, 2.5L, 2.0L);
  // A German session reads German (the sheet's other texts are German);
  // every other language the English text.
  const bool german = G().MenuLanguage <= 1;
  // At (500, 50) where the plot reaches there, else near its lower left
  // corner: a note asked for in the plot stays in it, clear of the texts
  // above.
  const DiagramStateRecord& st = DiagramState();
  auto inPlot = [](Real v, Real from, Real span) {
    return v >= from && v <= from + span ? v : from + 0.1L * span;
  };
  DiagramPlaceWrappedText(g.tauo0 == 0 && g.m == 0 ? "Für diesen Werkstoff sind keine Daten gespeichert"_oem
                          : german                 ? "Keine Daten für selbst definierte Werkstoffe"_oem
                                                   : std::string("No data for self-defined materials"),
                          inPlot(500, st.XMin, st.XSpan), inPlot(50, st.YMin, st.YSpan));
}

// The operating point: its two marks and the line between them.
void OperatingPoint(bool haigh) {
  const SpringDataRecord& s = SpringData();
  CadSetLayer(21);
  const Real y1 = haigh ? 0 : s.tauk1, y2 = haigh ? s.tauk2 - s.tauk1 : s.tauk2;
  // The points and the operating line between them are read, never cut.
  const CadMarks mark;
  DiagramCircleY(s.tauk1, y1, 10);
  DiagramCircleY(s.tauk1, y2, 10);
  CadSetLayer(5);
  DiagramClipLine(s.tauk1, y1, s.tauk1, y2);
}

void OperatingPointLabels(bool haigh) {
  const SpringDataRecord& s = SpringData();
  const Real y1 = haigh ? 0 : s.tauk1, y2 = haigh ? s.tauk2 - s.tauk1 : s.tauk2;
  CadSetLayer(19);
  CadTextStyle(2, 0, 2.2L, 1.8L);
  // Beside their points and clear of the lines drawn before.
  const Real r = DiagramMarkRadius(DiagramScaleY(10)), dx = r + 0.5L * Cad().CadTextHeight, dy = -0.5L * Cad().CadTextHeight;
  DiagramPlacePointLabel("tau k1", s.tauk1, y1, r, dx, dy);
  DiagramPlacePointLabel(haigh ? "tau kh" : "tau k2", s.tauk1, y2, r, dx, dy);
}

void Caption(bool haigh, const std::string& text) {
  CadSetLayer(19);
  CadTextStyle(2, 0, 2.5L, 2.0L);
  // Below the plot where the world points (-150, -180), or (-120, -200) for
  // the Haigh diagram, lie on the axes of 0 to 1200 N/mm²: below the tick
  // numbers at any range.
  const DiagramStateRecord& st = DiagramState();
  const Real x = haigh ? -120 : -150, y = haigh ? -200 : -180;
  CadMoveTo(st.PlotOriginX + x / 1200 * st.PlotWidth, st.PlotOriginY + y / 1200 * st.PlotHeight);
  // Within the sheet.
  const Real field = Cad().CadExtents[1] - 1 - Cad().CadCurrentPoint.x;
  if (!haigh) CadTextLineFit("Dauerfestigkeitsschaubild (Goodman-Diagramm)", field);
  // The material line names the material as typed: whole.
  CadTextLineWhole(text, field);
}

// The label of a life line, placed when every line and mark is drawn.
struct LifeLabel {
  int layer;
  std::string text;
  Real angle, x, y;
  std::vector<std::array<Real, 2>> line;
};

// The 10 million, 1 million and 100 000 cycle lines with their labels to
// place; false after the zero-slope stop.
bool FatigueLines(bool haigh, const GoodmanData& g, std::vector<LifeLabel>& labels) {
  const Real oz = g.tauoz, o0 = g.tauo0, m = g.m, uK = g.knee;
  // Goodman y, or the stroke above the lower stress in the Haigh diagram.
  auto Y = [haigh](Real x, Real y) { return haigh ? y - x : y; };
  auto lifeLine = [&](int layer, Real t, Real u, Real end) {
    CadSetLayer(layer);
    DiagramClipLine(0, t, u, Y(u, oz));
    DiagramClipLine(u, Y(u, oz), end, Y(end, oz));
    return std::vector<std::array<Real, 2>>{{0, t}, {u, Y(u, oz)}, {end, Y(end, oz)}};
  };
  const Real angle = haigh ? RadToDeg(ArcTanYX(oz - o0 - uK, uK)) : 0;
  const Real a = std::isfinite(angle) ? angle : 0;
  auto ten = lifeLine(18, o0, uK, oz);
  if (haigh)
    labels.push_back({18, "10 Mio.Lastsp.", a, 10, o0 + 20, ten});
  else
    labels.push_back({18, "  10 Mio.Lastsp.", 0, uK + 20, oz + 20, ten});
  if (m == 0) {
    AddErrorMessage("Fatal  : ZEBWST Goodman");
    return false;
  }
  const Real t6 = std::min(oz, 1.25L * o0), u6 = (oz - t6) / m;
  auto one = lifeLine(21, t6, u6, uK);
  if (haigh)
    labels.push_back({21, "1 Mio.Lastsp.", a, 10, t6 + 20, one});
  else
    labels.push_back({21, "   1Mio.", 0, u6 - 20, oz + 20, one});
  const Real t5 = std::min(oz, 1.5L * o0), u5 = (oz - t5) / m;
  auto tenth = lifeLine(29, t5, u5, u6);
  if (haigh)
    labels.push_back({29, "100000 Lastsp.", a, 10, t5 + 20, tenth});
  else
    labels.push_back({29, " 100000", 0, u5 - 20, oz + 20, tenth});
  return true;
}

void LifeLabels(bool haigh, const std::vector<LifeLabel>& labels) {
  for (const LifeLabel& l : labels) {
    CadSetLayer(l.layer);
    CadTextStyle(2, l.angle, 2.0L, 1.5L);
    if (haigh)
      LifeLineText(l.text, l.x, l.y, l.line);
    else
      DiagramPlaceLineLabel(l.text, l.line, l.x, l.y);
  }
}

// Lines and marks first, then the labels clear of all of them: the life
// lines', the operating point's, the note.
void FatigueDiagram(bool haigh) {
  gTextBlockBottom = 1e9L;
  GoodmanData g;
  const bool data = FatigueHead(haigh, g);
  std::vector<LifeLabel> labels;
  const bool complete = !data || FatigueLines(haigh, g, labels);
  if (complete) OperatingPoint(haigh);
  LifeLabels(haigh, labels);
  if (complete) OperatingPointLabels(haigh);
  if (!data) {
    NoDataNote(g);
    SpringData().tauhzul = 0;
  }
  if (complete) Caption(haigh, g.text);
}

}  // namespace

void FatigueTextBlock(Real /*tauo0*/, Real tauoz, Real /*m*/) {
  const SpringDataRecord& s = SpringData();
  CadMoveTo(115, 102);
  CadTextStyle(2, 0, 2.5L, 2.0L);
  CadSetLayer(19);
  // Every line ends before the sheet's right edge.
  CadSetTextLineField(Cad().CadExtents[1] - 1 - 115);
  CadTextLine("d  = " + FormatLength(s.d) + " " + LengthUnitName());
  CadTextLine("tauk1= " + StressValue(s.tauk1));
  CadTextLine("tauk2= " + StressValue(s.tauk2));
  CadTextLine("taukh= " + StressValue(s.taukh));
  CadTextLine(" ");
  CadTextLine("E = " + FormatStressField(6, 0, s.E) + " " + StressUnitName());
  CadTextLine("G = " + FormatStressField(6, 0, s.G) + " " + StressUnitName());
  if (std::fabs(s.T - 20) >= 1e-5L)
    CadTextLine("G" + FormatTemperatureDec(0, s.T) + " = " + FormatStress(s.GT) + " " + StressUnitName());
  CadTextLine("rho= " + FormatFloatField(2, 2, s.rho) + " " + DensityUnitName());
  CadTextLine("Rm =  " + KnownStress(s.Rm, StressValue(s.Rm), "- " + StressUnitName()));
  if (s.tauhzul > 0) {
    CadTextLine("tauoz= " + StressValue(tauoz));
    if (s.LoadCase == 1 || s.LoadCase == 2) CadTextLine(LoadCaseNames(s.LoadCase));
    CadTextLine("tauhz= " + StressValue(s.tauhzul));
  } else {
    CadTextLine("tauz = " + KnownStress(s.tauzul, StressValue(s.tauzul), "- " + StressUnitName()));
  }
  if (s.FatigueTol1 != 0 || s.FatigueTol2 != 0)
    CadTextLine("tol. = " + FormatTolerancePair(s.FatigueTol2, s.FatigueTol1) + " %");
  CadTextLine(" ");
  if (s.tauhzul > 0 && s.LoadType == 2) LifeLines();
  if (s.tauhzul > 0 && s.LoadType == 2 && LoadSpectrum().Count <= 0 && s.tauk2 < s.tauoz && s.NoLifeMinMax == 0 &&
      s.Sh > 1.0L) {
    CadTextLine("dauerfest");
    CadTextLine("bis " + FloatToStrDec(0, s.Sh * 100) + "% Hub");
  }
  CadSetTextLineField(0);
  gTextBlockBottom = Cad().CadCurrentPoint.y + Cad().CadTextHeight;
}

Real FatigueTextBlockBottom() { return gTextBlockBottom; }

void GoodmanDiagram() { FatigueDiagram(false); }
void HaighDiagram() { FatigueDiagram(true); }

void GoodmanOutput(int cadCode) {
  DrawingRun run;
  run.opened = [] { DiagramReset(); };
  run.entities = [] { GoodmanDiagram(); };
  if (!RunDrawingOutput(cadCode, run)) RestoreArrowCursor();
}

void HaighOutput(int cadCode) {
  DrawingRun run;
  run.opened = [] { DiagramReset(); };
  run.entities = [] { HaighDiagram(); };
  if (!RunDrawingOutput(cadCode, run)) RestoreArrowCursor();
}

}  // namespace zeb
