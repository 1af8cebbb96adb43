// Material diagrams: the stress correction factor k, the shear modulus over
// temperature, stresses and tensile strength over the wire diameter and the
// tensile-strength table per diameter band.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/mathx.h"
#include "drawings/diagram_plots.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "spring/formulas.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/strength.h"

namespace zeb {

std::array<int, 94>& StandardDiameterSteps() {
  // The slots of the strength tables (spring_data.h, as the shipped tables'
  // std_diameter_steps.csv).
  static std::array<int, 94> steps = [] {
    std::array<int, 94> a{};
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = kStandardDiameterSteps[i];
    return a;
  }();
  return steps;
}

namespace {

Real Diameter(int i) { return StandardDiameterSteps()[static_cast<std::size_t>(i)] / 100.0L; }

}  // namespace

void DrawKFactorDiagram(Real w) {
  CadSetLayer(5);
  DiagramMoveTo(2.5L, StressCorrectionFactor(2.5L));
  SampleUpTo(2.5L, 20, [](Real x) { return x + 1.0L / 15; },
             [](Real x) { DiagramLineTo(x, StressCorrectionFactor(x)); });
  if (!(w > 0) || !std::isfinite(w)) return;
  const Real k = StressCorrectionFactor(w);
  CadSetLayer(19);
  DiagramClipLine(w, 1.0L, w, k);
  DiagramCircleX(w, k, 0.1L);
  // The two lines right of the point, the one of k level with it.
  const Real h = Cad().CadTextHeight, pitch = 1.6L * h * Cad().CadLineSpacing;
  CadMoveTo(DiagramMapX(w) + DiagramMarkRadius(DiagramScaleX(0.1L)) + 0.5L * h, DiagramMapY(k) + 0.25L * h + pitch);
  CadTextLine("D/d= " + FloatToStrSig(w));
  CadTextLine("k  = " + FormatCorrectionFactor(k));
}

void DrawGTDiagram() {
  const SpringDataRecord& s = SpringData();
  CadSetLayer(5);
  DiagramMoveTo(-50, ShearModulusAtTemp(s.G, -50));
  SampleUpTo(-50, 250, [](Real T) { return T + 1; },
             [&](Real T) { DiagramLineTo(T, ShearModulusAtTemp(s.G, T)); });
  CadSetLayer(19);
  DiagramCircleX(s.T1, ShearModulusAtTemp(s.G, s.T1), 2);
  CadSetLayer(21);
  DiagramCircleX(s.T, ShearModulusAtTemp(s.G, s.T), 2);
  CadSetLayer(18);
  DiagramCircleX(s.T2, ShearModulusAtTemp(s.G, s.T2), 2);
}

Real TauZulOfD(Real d) {
  const SpringDataRecord& s = SpringData();
  if (s.MaterialSel >= 11) return s.tauzul;
  if (s.CoilingKind == 1) return 0.56L * MaterialRmOfD(d);
  return 840 - 250 * Log10Ext(0.05L * d);
}

namespace {

// The character height of the table and formulas: scaled with the plot,
// at least 1 mm.
Real TauDTableHeight() {
  const DiagramStateRecord& st = DiagramState();
  return std::max<Real>(1, std::min(DiagramScaleY(0.022L * st.YSpan), DiagramScaleX(0.02L * st.XSpan)));
}

// The table of Rm and tau z at six diameters, top left in the plot, moved
// where a curve or a point's mark would run under it; drawn before the
// labels, which keep clear of it. The text style stays as it was.
void TauDValueTable() {
  const DiagramStateRecord& st = DiagramState();
  const CadState& now = Cad();
  const int font = now.CadTextFont;
  const Real angle = now.CadTextAngle, height = now.CadTextHeight, width = now.CadTextWidth;
  const Real h = TauDTableHeight();
  static constexpr std::array<Real, 7> kWidths{9, 5, 5, 5, 5, 5, 5};
  Real x = DiagramMapX(st.XMin + 0.28L * st.XSpan), y = DiagramMapY(st.YMin + 0.98L * st.YSpan) - 6 * h;
  DiagramPlaceBox(0.9L * h * 39, 6 * h, h, x, y);
  static const Real ds[] = {0.2L, 0.5L, 1, 2.5L, 5, 10};
  std::array<std::string, 7> head, rm, tz;
  head[0] = " d [" + LengthUnitName() + "]";
  rm[0] = "Rm " + StressUnitName();
  tz[0] = "tauz " + StressUnitName();
  for (int c = 0; c < 6; ++c) {
    const Real r = MaterialRmOfD(ds[c]);
    head[c + 1] = FormatLength(ds[c]);
    rm[c + 1] = FormatStress(r);
    tz[c + 1] = FormatStress(0.56L * r);
  }
  auto views = [](const std::array<std::string, 7>& a) {
    std::array<std::string_view, 7> v;
    for (std::size_t i = 0; i < 7; ++i) v[i] = a[i];
    return v;
  };
  {
    DiagramTextTable table(x, y + 6 * h, h, kWidths, views(head));
    table.AddRow(views(rm));
    table.AddRow(views(tz));
  }
  CadTextStyle(font, angle, height, width);
}

}  // namespace

void DrawTauDDiagram(Real dmax) {
  const SpringDataRecord& s = SpringData();
  const Real q = PowerChecked(20 * dmax, 0.01L, "tau-d");
  // The curves' labels wait until every line, mark and the table are drawn.
  std::vector<std::pair<std::string_view, std::array<Real, 2>>> labels;
  // A curve's label by its last point in the plot (a curve may run on
  // above the plot, along its top edge), its height within the plot.
  const DiagramStateRecord& range = DiagramState();
  const Real lo = std::min(range.YMin, range.YMin + range.YSpan), hi = std::max(range.YMin, range.YMin + range.YSpan);
  auto inPlot = [&](Real v) { return v >= lo && v <= hi; };
  auto curve = [&](Real (*f)(Real), std::string_view label) {
    Real last = 0.1L, lastIn = inPlot(f(0.1L)) ? 0.1L : -1;
    DiagramMoveTo(0.1L, f(0.1L));
    if (std::isfinite(q) && q > 1)
      SampleUpTo(0.1L, dmax, [q](Real d) { return d * q; }, [&](Real d) {
        DiagramLineTo(d, f(d));
        last = d;
        if (inPlot(f(d))) lastIn = d;
      });
    const Real at = lastIn > 0 ? lastIn : last;
    labels.push_back({label, {1.02L * at, inPlot(f(at)) ? f(at) : f(at) > hi ? hi : lo}});
  };
  // Without an Rm law in the record only the spring's own Rm is drawn, and
  // tau z only where it does not come from that law.
  const bool law = MaterialHasRmLaw();
  CadSetLayer(5);
  if (law || s.MaterialSel >= 11 || s.CoilingKind != 1) curve(&TauZulOfD, "tau z");
  CadSetLayer(5);
  if (law) {
    curve(&MaterialRmOfD, "Rm");
  } else if (s.Rm > 0) {
    DiagramCircleY(s.d, s.Rm, 20);
  }

  if (SG().RmTableLoaded != 0) {
    CadSetLayer(22);
    for (const auto* table : {&RmTable().Min, &RmTable().Max}) {
      for (int i = 0; i <= 92; ++i) {
        const Real v = (*table)[static_cast<std::size_t>(i)], vn = (*table)[static_cast<std::size_t>(i + 1)];
        const Real d = Diameter(i), dn = Diameter(i + 1);
        // No value (<= 0) or no diameter: no step.
        if (!(v > 0) || !(vn > 0) || !(d > 0) || !(dn > 0)) continue;
        DiagramClipLine(d, vn, dn, vn);
        if (v != vn) DiagramClipLine(d, v, d, vn);
      }
    }
  }

  CadSetLayer(19);
  const bool staticLoad = s.LoadType == 1;
  const Real t1 = staticLoad ? s.tau1 : s.tauk1, t2 = staticLoad ? s.tau2 : s.tauk2;
  DiagramClipLine(s.d, t1, s.d, t2);
  DiagramCircleY(s.d, t1, 20);
  DiagramCircleY(s.d, t2, 20);
  if (DiagramState().DiagramAxisMode != 4 && law) TauDValueTable();
  // Taken, so that the point labels keep clear of them.
  CadSetLayer(5);
  for (const auto& [label, at] : labels) DiagramPlaceLabel(label, at[0], at[1]);
  CadSetLayer(19);
  // The point labels beside their points, clear of the curves and marks.
  const Real mark = DiagramMarkRadius(DiagramScaleY(20)), gap = 0.5L * Cad().CadTextHeight;
  const Real dx = mark + gap, dy = -0.5L * Cad().CadTextHeight;
  if (!law && s.Rm > 0) DiagramPlacePointLabel("Rm", s.d, s.Rm, mark, dx, dy);
  DiagramPlacePointLabel(staticLoad ? "tau2" : "tauk2", s.d, t2, mark, dx, dy);
  DiagramPlacePointLabel(staticLoad ? "tau1" : "tauk1", s.d, t1, mark, dx, dy);

  const DiagramStateRecord& st = DiagramState();
  if (SG().RmTableBad != 0) {
    // The band of a strength table that could not be read: not known.
    const std::string band = (SG().RmTableBad == 1 ? "Rm min, Rm max = - " : "Rm max = - ") + StressUnitName();
    const Real th = Cad().CadTextHeight, cw = th * Cad().CadTextWidthFactor;
    Real x = DiagramMapX(st.XMin + 0.55L * st.XSpan), y = DiagramMapY(st.YMin + 0.66L * st.YSpan);
    Real from, to;
    CadTextInk(band, from, to);
    DiagramPlaceBox(to, th, cw, x, y);
    CadSetLayer(22);
    CadText(band, x, y);
  }
  if (st.DiagramAxisMode == 4 || !law) return;
  // The two formulas as one block, moved where the plot's border or a
  // curve would run through them.
  const MaterialRecord& m = ZEBWST_Record();
  const std::string rmLaw = "Rm = " + FloatToStrSig(m.Rm0) + " - " + FloatToStrSig(m.RmSlope) + " * log ( d / " +
                            FloatToStrSig(MaterialReal(m.DR0)) + " )";
  const std::string tauLaw = "tauz = 0.56 * Rm";
  // In the table's layer and style.
  CadSetLayer(18);
  CadTextStyle(2, 0, TauDTableHeight(), 0.75L * TauDTableHeight());
  const Real th = Cad().CadTextHeight, cw = th * Cad().CadTextWidthFactor;
  const Real y1 = DiagramMapY(st.YMin + 0.775L * st.YSpan), y2 = DiagramMapY(st.YMin + 0.74L * st.YSpan);
  Real x = DiagramMapX(st.XMin + 0.55L * st.XSpan), y = y2;
  Real rmFrom, rmTo, tauFrom, tauTo;
  CadTextInk(rmLaw, rmFrom, rmTo);
  CadTextInk(tauLaw, tauFrom, tauTo);
  DiagramPlaceBox(std::max(rmTo, tauTo), y1 - y2 + th, cw, x, y);
  CadText(rmLaw, x, y + (y1 - y2));
  CadText(tauLaw, x, y);
}

int CountRmTableValues() {
  int n = 0;
  for (std::int32_t v : RmTable().Min)
    if (v > 0) ++n;
  return n;
}

void DrawRmDQuick() {
  if (SG().RmTableLoaded == 0) return;
  const RmTableT& t = RmTable();
  int j = -1;
  for (int i = 0; i <= 92 && j < 0; ++i)
    if (t.Min[static_cast<std::size_t>(i)] > 0) j = i;
  if (j < 0) {
    ShowError("invalid data");
    return;
  }
  const int count = std::max(1, CountRmTableValues());
  const std::string head = " d [" + LengthUnitName() + "]";
  // Columns wide enough for "0.05 < d <= 0.06" and "Rm calc" (a character
  // of the text is 0.75 h, a column character 0.9 h).
  // Rows as many as the sheet holds, their characters at least 1 mm high.
  const Real h = std::min<Real>(1.75L, 57.5L / count);
  DiagramTextTable table(1, 119, std::max<Real>(1, h), {15, 7, 7, 7, 0, 0, 0},
                         {head, "Rm min", "Rm max", "Rm calc", "", "", ""}, 2 * h);
  // Rm max only where one is published, Rm calc only from a law.
  const bool law = MaterialHasRmLaw();
  auto row = [&](const std::string& title, int i, Real dCalc) {
    const std::int32_t max = t.Max[static_cast<std::size_t>(i)];
    const std::string mn = FormatStress(t.Min[static_cast<std::size_t>(i)]);
    const std::string mx = max > 0 ? FormatStress(max) : std::string();
    const std::string rc = law && dCalc > 0 ? FormatStress(MaterialRmOfD(dCalc)) : std::string();
    table.AddRow4(title, mn, mx, rc);
  };
  row("d <= " + FormatLength(Diameter(j)), j, Diameter(j));
  // Every slot with a value; a slot without one (a diameter no published
  // range covers) is left out, not taken for the end.
  for (int i = j + 1; i <= 93; ++i) {
    if (!(t.Min[static_cast<std::size_t>(i)] > 0)) continue;
    const int hi = StandardDiameterSteps()[static_cast<std::size_t>(i)];
    const int lo = StandardDiameterSteps()[static_cast<std::size_t>(i - 1)];
    row(FormatLength(Diameter(i - 1)) + " < d <= " + FormatLength(Diameter(i)), i, ((hi + lo) / 2) / 100.0L);
  }
}

}  // namespace zeb
