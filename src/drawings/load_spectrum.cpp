// The load-spectrum sheet: level table, result table, block diagram of one
// period and the stroke and damage share bars.
#include <algorithm>
#include <cmath>
#include <string>

#include "base/format.h"
#include "drawings/diagram_plots.h"
#include "drawings/output_run.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

int LevelCount() { return std::clamp<int>(LoadSpectrum().Count, 0, kMaxLoadLevels); }

const LoadLevel& Level(int i) { return LoadSpectrum().Levels[static_cast<std::size_t>(i)]; }

// Whether the calculation gave a life to the levels: it does not for a
// static spring or one without fatigue data.
bool LifeKnown() {
  const LoadSpectrumRecord& ls = LoadSpectrum();
  if (ls.FatigueProof != 0 || ls.Nn > 0) return true;
  for (int i = 1; i <= LevelCount(); ++i)
    if (Level(i).Nni > 0) return true;
  return false;
}

// The first level the calculation refused, 0 when there is none.
int FirstRefusedLevel() {
  for (int i = 1; i <= LevelCount(); ++i)
    if (Level(i).Refused != 0) return i;
  return 0;
}

// A bar filled from the top down by segments of given percentages.
struct PercentBar {
  Real x0 = 0, y0 = 0, x1 = 0, y1 = 0, level = 0, th = 0;

  void Init(std::string_view label, Real x, Real y, Real textHeight, Real width, Real height) {
    x0 = x;
    y0 = y;
    x1 = x + width;
    y1 = y + height;
    level = y1;
    th = textHeight;
    CadRectangle(x0, y0, x1, y1);
    CadTextStyle(2, 0, th, 0.75L * th);
    CadTextFit(label, x0, y1 + 0.6L * th, Cad().CadExtents[1] - 1 - x0);
  }

  void AddSegment(std::string_view text, Real p) {
    const Real g = (y1 - y0) * 0.01L * p;
    level -= g;
    if (!(p > 0.01L)) return;
    const Real t = std::min(0.9L * g, th);
    CadTextStyle(2, 0, t, 0.8L * t);
    CadLine(x0, level, x1, level);
    CadText(text, x0 + th, level + 0.5L * g - 0.5L * t);
  }
};

void LevelTable(Real x, Real y, Real h) {
  const std::string l1 = " L1 [" + LengthUnitName() + "]", l2 = " L2 [" + LengthUnitName() + "]";
  DiagramTextTable table(x, y, h, {3, 7, 7, 7, 7, 7, 0}, {" i", l1, l2, "     ni", "Nni Mio.", "tNi [h]", ""});
  for (int i = 1; i <= LevelCount(); ++i) {
    const LoadLevel& v = Level(i);
    CadSetLayer(15 + i);
    // A level without strokes or without a life of its own has empty cells.
    const bool life = LifeKnown() && v.Nni > 0;
    const bool finite = v.Nni <= 10000000;
    std::string cycles, hours;
    if (v.Refused != 0) {
      cycles = "Fehler";
    } else if (life) {
      cycles = finite ? FormatFloatField(3, 3, v.Nni * 1e-6L) : std::string(" > 10");
      if (finite && v.tNi > 0) hours = FormatFloatField(6, 0, v.tNi);
    }
    const std::string cells[] = {IntToTextBlankPad(i, 2), FormatLengthField(4, 2, v.L1), FormatLengthField(4, 2, v.L2),
                                 FormatFloatField(7, 0, v.ni), cycles, hours};
    table.AddRow({cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], ""});
  }
}

void ResultTable(Real x, Real y, Real h) {
  const LoadSpectrumRecord& ls = LoadSpectrum();
  // The unit column holds " Mio." (5 characters of 0.75 h in columns of
  // 0.9 h); "dauerfest" runs on into the empty value column.
  DiagramTextTable table(x, y, h, {16, 4, 5, 6, 0, 0, 0}, {"Lastkollektiv", "", "", "", "", "", ""});
  table.AddRow4("Periodendauer", "Tp", "s", FloatToStrSig(ls.Tp));
  table.AddRow4("Hübe/Periode"_oem, "n/p", "", FloatToStrSig(ls.np));
  // A refused level leaves the spectrum without a life.
  if (const int refused = FirstRefusedLevel(); refused != 0) {
    table.AddRow4("nicht berechnet", "tN", "", "");
    table.AddRow4("Stufe " + IntToText(refused) + " ungültig"_oem, "", "", "");
    return;
  }
  // A fatigue-proof spectrum has no finite life to show beside it; the
  // word stands where it fits.
  if (ls.FatigueProof != 0) {
    table.AddRowJoined({"Lebensdauer", "tN", "dauerfest", "", {}, {}, {}}, 3);
    return;
  }
  if (!LifeKnown()) {
    table.AddRow4("nicht berechnet", "tN", "", "");
    table.AddRow4(SpringData().LoadType == 2 ? "kein Goodman" : "statische Last", "", "", "");
    return;
  }
  const Real periods = ls.Np > 0 ? ls.Np : ls.np > 0 ? ls.Nn / ls.np : 0;
  if (periods > 0) table.AddRow4("Perioden bis Bruch", "Np", "Mio.", FloatToStrSigLess(2, periods * 1e-6L));
  if (ls.Nn > 0) table.AddRow4("Hübe bis Bruch"_oem, "Nn", "Mio.", FloatToStrSigLess(2, ls.Nn * 1e-6L));
  if (ls.tN > 0) table.AddRow4("Lebensdauer", "tN", "h", FloatToStrSigLess(2, ls.tN));
}

// v within [0, hi]; NaN stays NaN.
Real Clip(Real v, Real hi) {
  const Real top = hi > 0 ? hi : 0;
  if (v < 0) return 0;
  return v > top ? top : v;
}

void BlockDiagram(Real L0, Real sc) {
  const LoadSpectrumRecord& ls = LoadSpectrum();
  DiagramState().DiagramAxisMode = 1;
  DiagramFrame("n", "s [mm]", "Lastkollektiv (1 Periode = " + FloatToStrSig(ls.Tp) + "s)", 0, 0, ls.np, sc, 1);
  Real start = 0;
  for (int i = 1; i <= LevelCount(); ++i) {
    const LoadLevel& v = Level(i);
    const Real end = start + (v.ni > 0 ? v.ni : 0);
    // A level beyond the travel is drawn only as far as the frame goes.
    const Real y0 = Clip(L0 - v.L1, sc), y1 = Clip(L0 - v.L2, sc);
    const Real x0 = Clip(start, ls.np), x1 = Clip(end, ls.np);
    start = end;
    if (!std::isfinite(y0) || !std::isfinite(y1) || !std::isfinite(x0) || !std::isfinite(x1) ||
        (y0 == y1 && v.Refused != 0))
      continue;
    CadSetLayer(15 + i);
    DiagramRectangle(x0, y0, x1, y1);
    DiagramText(IntToText(i), (x0 + x1) / 2, (y0 + y1) / 2);
  }
}

void ShareBar(int kind, Real x0, Real y0, Real th, Real width, Real height) {
  const LoadSpectrumRecord& ls = LoadSpectrum();
  CadSetLayer(19);
  PercentBar bar;
  bar.Init(kind == 1 ? std::string("Hubanteil") : std::string("Schädigungsanteil"_oem), x0, y0, th, width, height);
  // Without a life there is no damage to share.
  if (kind == 2 && (!LifeKnown() || FirstRefusedLevel() != 0)) return;
  // The damage shares (ni/Nni)/D do not depend on the period; a level that
  // does no damage has none.
  Real damage = 0;
  for (int i = 1; i <= LevelCount(); ++i) damage += Level(i).Damage;
  for (int i = 1; i <= LevelCount(); ++i) {
    const LoadLevel& v = Level(i);
    Real p = 0;
    if (kind == 1)
      p = ls.np > 0 && v.ni > 0 ? v.ni / ls.np * 100 : 0;
    else
      p = damage > 0 ? v.Damage / damage * 100 : 0;
    if (!std::isfinite(p)) p = 0;
    CadSetLayer(15 + i);
    bar.AddSegment(IntToText(i) + ": " + FormatFloatField(3, 1, p) + " %", p);
  }
}

}  // namespace

void LoadSpectrumLayout(int titleFlag, Real L0, Real sc) {
  CadSetLayer(19);
  if (titleFlag == 1) DiagramTitleTable(2, 118, 2.5L);
  LevelTable(2, 100, 2.5L);
  ResultTable(90, 100, 2.5L);
  if (LevelCount() < 6) {
    DiagramSetPlotSize(70, 50);
    DiagramSetPlotOrigin(12, 10);
    BlockDiagram(L0, sc);
  }
  ShareBar(1, 100, 5, 2.5L, 25, 55);
  ShareBar(2, 130, 5, 2.5L, 25, 55);
}

void DrawLoadSpectrumSheet(int cadCode, Real L0, Real sc) {
  if (LevelCount() == 0) return;
  DrawingRun run;
  run.opened = [] { DiagramReset(); };
  run.entities = [L0, sc] { LoadSpectrumLayout(1, L0, sc); };
  RunDrawingOutput(cadCode, run);
}

}  // namespace zeb
