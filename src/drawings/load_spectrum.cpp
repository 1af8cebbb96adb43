// The load-spectrum sheet: level table, result table, block diagram of one
// period and the stroke and damage share bars.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

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

// A bar filled from the top down by segments of given percentages. The
// segments' texts keep the bar's text height as long as they fit one
// above the other in the bar (at least 1 mm each); a text too tall for its
// segment moves up or down, clear of its neighbours.
struct PercentBar {
  Real x0 = 0, y0 = 0, x1 = 0, y1 = 0, level = 0, th = 0;
  struct Segment {
    std::string text;
    Real top, g;
    int layer;
  };
  std::vector<Segment> segments;

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

  void AddSegment(std::string_view text, Real p, int layer) {
    const Real g = (y1 - y0) * 0.01L * p;
    level -= g;
    if (!(p > 0.01L)) return;
    segments.push_back({std::string(text), level + g, g, layer});
  }

  void Finish() {
    if (segments.empty()) return;
    const Real n = static_cast<Real>(segments.size()), room = y1 - y0;
    const Real t = std::clamp(room / (1.2L * n), std::min<Real>(1, th), th), pitch = 1.2L * t;
    // Centres as near the segments' middles as the pitch lets them be,
    // within the bar.
    std::vector<Real> c(segments.size());
    Real above = y1 + pitch / 2;
    for (std::size_t k = 0; k < segments.size(); ++k) {
      const Segment& s = segments[k];
      c[k] = std::min(s.top - s.g / 2, above - pitch);
      above = c[k];
    }
    Real below = y0 - pitch / 2;
    for (std::size_t k = segments.size(); k-- > 0;) {
      c[k] = std::max(c[k], below + pitch);
      below = c[k];
    }
    CadTextStyle(2, 0, t, 0.8L * t);
    for (std::size_t k = 0; k < segments.size(); ++k) {
      const Segment& s = segments[k];
      CadSetLayer(s.layer);
      CadLine(x0, s.top - s.g, x1, s.top - s.g);
      CadText(s.text, x0 + th, c[k] - 0.5L * t);
    }
  }
};

void LevelTable(Real x, Real y, Real h) {
  const std::string l1 = " L1 [" + LengthUnitName() + "]", l2 = " L2 [" + LengthUnitName() + "]";
  // Rows closer together where the levels would run off the sheet (2 mm
  // above its lower edge), the characters as high.
  const Real rows = static_cast<Real>(LevelCount() + 1);
  const Real row = std::clamp((y - Cad().CadExtents[2] - 2) / rows, 1.4L * h, 2 * h);
  DiagramTextTable table(x, y, h, {3, 7, 7, 7, 7, 7, 0}, {" i", l1, l2, "     ni", "Nni Mio.", "tNi [h]", ""}, row);
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
  // The travel from 0 to sc, grown to hold every level (beyond the travel
  // too, below 0 for a length above the free length).
  DiagramRange r{0, ls.np, 0, sc};
  for (int i = 1; i <= LevelCount(); ++i) r.IncludeY(L0 - Level(i).L1), r.IncludeY(L0 - Level(i).L2);
  DiagramFrame("n", "s [mm]", "Lastkollektiv (1 Periode = " + FloatToStrSig(ls.Tp) + "s)", r.xmin, r.ymin, r.xmax,
               r.ymax, 1);
  const DiagramStateRecord& st = DiagramState();
  Real start = 0;
  std::vector<std::array<Real, 2>> centres(static_cast<std::size_t>(LevelCount() + 1));
  std::vector<bool> drawn(centres.size());
  for (int i = 1; i <= LevelCount(); ++i) {
    const LoadLevel& v = Level(i);
    const Real end = start + (v.ni > 0 ? v.ni : 0);
    const Real y0 = std::clamp(L0 - v.L1, st.YMin, st.YMax), y1 = std::clamp(L0 - v.L2, st.YMin, st.YMax);
    const Real x0 = Clip(start, ls.np), x1 = Clip(end, ls.np);
    start = end;
    if (!std::isfinite(y0) || !std::isfinite(y1) || !std::isfinite(x0) || !std::isfinite(x1) ||
        (y0 == y1 && v.Refused != 0))
      continue;
    CadSetLayer(15 + i);
    DiagramRectangle(x0, y0, x1, y1);
    centres[static_cast<std::size_t>(i)] = {(x0 + x1) / 2, (y0 + y1) / 2};
    drawn[static_cast<std::size_t>(i)] = true;
  }
  // The numbers at the centres of their blocks, or as near as they stand
  // clear of the blocks' sides and of each other.
  for (int i = 1; i <= LevelCount(); ++i) {
    if (!drawn[static_cast<std::size_t>(i)]) continue;
    CadSetLayer(15 + i);
    const auto& c = centres[static_cast<std::size_t>(i)];
    DiagramPlacePointLabel(IntToText(i), c[0], c[1], 0, 0, 0);
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
    bar.AddSegment(IntToText(i) + ": " + FormatFloatField(3, 1, p) + " %", p, 15 + i);
  }
  bar.Finish();
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
