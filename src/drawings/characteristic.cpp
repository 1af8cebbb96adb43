// The characteristic line of the current spring with its working points,
// tolerance marks and the EN 15800 tolerance bands, and the data block of
// the F'-s' diagram.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/format.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"
#include "spring/tolerances.h"
#include "spring/valuetable.h"

namespace zeb {

namespace {

constexpr Real kNoBuckling = 9999;

int ValueCount() { return std::clamp<std::int32_t>(ValueTable().Count, 0, kMaxValueTableCount); }

// The labels of a characteristic, placed when all its lines are drawn so
// that they keep clear of every one.
struct PendingLabel {
  int layer;
  std::string text;
  Real x, y;
  bool vertical;  // a label of DiagramVerticalMarker
};
std::vector<PendingLabel> gPending;

// The dashed drop line from the x axis up to the point and across to the
// force axis; its label waits for the end.
void Marker(int layer, std::string_view label, Real lx, Real ly, Real x0, Real F) {
  CadSetLayer(layer);
  CadScreenLineStyle(3);
  DiagramMoveTo(x0, 0);
  DiagramLineTo(x0, F);
  DiagramLineTo(0, F);
  gPending.push_back({layer, std::string(label), lx, ly, false});
}

void VerticalMarker(int layer, std::string label, Real x, Real y) {
  CadSetLayer(layer);
  DiagramVerticalMarkerLegs(x, y);
  gPending.push_back({layer, std::move(label), x, y, true});
}

// The point labels in the current text style, then the marker labels
// (which set their own).
void PlacePendingLabels() {
  for (bool vertical : {false, true}) {
    for (const PendingLabel& l : gPending) {
      if (l.vertical != vertical) continue;
      CadSetLayer(l.layer);
      if (vertical)
        DiagramVerticalMarkerLabel(l.text, l.x, l.y);
      else
        DiagramPlaceLabel(l.text, l.x, l.y);
    }
  }
  gPending.clear();
}

void ToleranceBands(const SpringDataRecord& s) {
  static const int layers[] = {19, 21, 18};
  for (int g = 1; g <= 3; ++g) {
    auto T = [&](Real F, Real sv) {
      return ForceTolerance(0, g, s.CoilingKind, F, sv, s.Dm, s.d, s.n, s.L0, s.R);
    };
    CadSetLayer(layers[g - 1]);
    const Real t0 = T(0, 0), tn = T(s.Fn, s.sn);
    DiagramMoveTo(0, t0);
    DiagramLineTo(s.sn, s.Fn + tn);
    DiagramClipLine(0, -t0, s.sn, s.Fn - tn);
  }
}

// The legend of the bands, lines 4 apart from y 20 down to 12 at x 50, as
// one block clear of the lines and labels of the diagram.
void ToleranceBandLegend() {
  static const int layers[] = {19, 21, 18};
  static const std::string legends[] = {"- EN 15800 Gütegrad 1"_oem, "- EN 15800 Gütegrad 2"_oem,
                                        "- EN 15800 Gütegrad 3"_oem};
  CadTextStyle(2, 0, 2.0L, 1.6L);
  Real longest = 0;
  for (const std::string& l : legends) {
    Real from, to;
    CadTextInk(l, from, to);
    longest = std::max(longest, to);
  }
  Real x = 50, y = 12;
  const bool free = DiagramPlaceBox(longest, 8 + Cad().CadTextHeight, 1, x, y);
  Real pitch = 4;
  if (!free) {
    // The plot has no free place for it (bands and labels all over): above
    // the plot, lines 3 apart up to y 117.5 (the title block's first line),
    // from its left edge right to the first place clear of the plot's
    // title and axis texts.
    pitch = 3, y = 117.5L - 2 * pitch;
    const Real left = DiagramState().PlotOriginX;
    auto clear = [&](Real at) {
      for (int g = 1; g <= 3; ++g)
        if (!DiagramTextFree(legends[g - 1], at, y + pitch * static_cast<Real>(3 - g))) return false;
      return true;
    };
    x = left;
    for (Real at = left; at + longest <= kDiagramTitleBlockX; at += 1)
      if (clear(at)) {
        x = at;
        break;
      }
  }
  for (int g = 1; g <= 3; ++g) {
    CadSetLayer(layers[g - 1]);
    CadText(legends[g - 1], x, y + pitch * static_cast<Real>(3 - g));
  }
}

}  // namespace

void DrawToleranceMark(Real x, Real F, Real w, Real minus, Real plus) {
  DiagramClipLine(x, F + minus, x, F + plus);
  DiagramClipLine(x - w, F + minus, x + w, F + minus);
  DiagramClipLine(x - w, F + plus, x + w, F + plus);
}

DiagramRange CharacteristicRange() {
  const SpringDataRecord& s = SpringData();
  DiagramRange r{0, s.sc, 0, s.Fc};
  for (Real v : {s.s1, s.s2, s.sn}) r.IncludeX(v);
  for (Real v : {s.F1, s.F2, s.Fn}) r.IncludeY(v);
  for (Real v : {s.F1 + s.TolF1, s.F2 + s.TolF2})
    if (std::isfinite(v) && v > s.Fc) r.IncludeY(1.05L * v);
  return r;
}

void DrawCharacteristicLine(int mode) {
  const SpringDataRecord& s = SpringData();
  CadSetLayer(5);
  const Real dy = 0.01L * s.Fc;
  if (mode == 2)
    DiagramClipLine(s.L0, 0, s.Lc, s.Fc);
  else
    DiagramClipLine(0, 0, s.sc, s.Fc);
  if (mode == 1) ToleranceBands(s);
  const Real X = mode == 2 ? s.L0 : s.sc;
  // The labels as large as on the plot of 0..X, 0..Fc, however far the
  // range reaches beyond (a minimum length above the free length).
  DiagramTextStyleAt(2, 0, s.Fc * 0.0285714L, X * 0.0285714L, 0, 0, X, s.Fc);
  gPending.clear();
  if (mode == 2) {
    Marker(16, "Fc", 0.6L * s.Lc, s.Fc + dy, s.Lc, s.Fc);
    Marker(18, "Fn", 0.4L * s.Lc, s.Fn + dy, s.Ln, s.Fn);
    if (s.tauzul > 0 && s.Fn > s.Fzul) VerticalMarker(18, "Fn'", s.UsableLength, s.Fzul);
    Marker(21, "F2", 0.1L * s.Lc, s.F2 + dy, s.L2, s.F2);
    CadSetLayer(21);
    DrawToleranceMark(s.L2, s.F2, 0.01L * s.L0, s.TolF2Minus, s.TolF2);
    Marker(19, "F1", 0.02L * s.Lc, s.F1 + dy, s.L1, s.F1);
    CadSetLayer(19);
    DrawToleranceMark(s.L1, s.F1, 0.01L * s.L0, s.TolF1Minus, s.TolF1);
  } else {
    Marker(16, "Fc", 0.6L * s.sc, s.Fc + dy, s.sc, s.Fc);
    Marker(18, "Fn", 0.4L * s.sc, s.Fn + dy, s.sn, s.Fn);
    if (s.tauzul > 0 && s.Fn > s.Fzul) VerticalMarker(18, "Fn'", s.UsableTravel, s.Fzul);
    if (mode == 3) {
      const ValueTableRecord& v = ValueTable();
      for (int i = 1; i <= ValueCount(); ++i) {
        const Real si = s.L0 - v.Values[static_cast<std::size_t>(i)];
        VerticalMarker(21, "F" + IntToText(i) + "'", si, si * s.R);
      }
    } else {
      Marker(21, "F2", 0.1L * s.sc, s.F2 + dy, s.s2, s.F2);
      DrawToleranceMark(s.s2, s.F2, 0.01L * s.sc, s.TolF2Minus, s.TolF2);
      Marker(19, "F1", 0.02L * s.sc, s.F1 + dy, s.s1, s.F1);
      DrawToleranceMark(s.s1, s.F1, 0.01L * s.sc, s.TolF1Minus, s.TolF1);
    }
    if (s.sk > 0 && s.sk < s.sc) Marker(20, "Fk", 0.02L * s.sk, s.sk * s.R + dy, s.sk, s.sk * s.R);
  }
  PlacePendingLabels();
  if (mode == 1) ToleranceBandLegend();
  CadSetLayer(19);
}

void DrawWorkingPointsBlock() {
  const SpringDataRecord& s = SpringData();
  const ValueTableRecord& v = ValueTable();
  const int count = ValueCount();
  auto L = [&](int i) { return v.Values[static_cast<std::size_t>(i)]; };
  CadSetLayer(19);
  CadMoveTo(126, 103);
  CadSetTextLineField(Cad().CadExtents[1] - 1 - 126);
  const CadTextLinesAbove block(Cad().CadExtents[2] + 1);
  CadTextLine("R  = " + FormatSpringRate(s.R) + " " + SpringRateUnitName());
  CadTextLine(" ");
  CadTextLine("L0 = " + FormatLength(s.L0) + " " + LengthUnitName());
  for (int i = 1; i <= count; ++i) CadLengthLine("L" + IntToText(i) + "'", L(i));
  CadLengthLine("Ln", s.Ln);
  CadLengthLine("Lc", s.Lc);
  CadTextLine(" ");
  for (int i = 1; i <= count; ++i) CadLengthLine("s" + IntToText(i) + "'", s.L0 - L(i));
  CadLengthLine("sn", s.sn);
  CadLengthLine("sc", s.sc);
  CadTextLine(" ");
  for (int i = 1; i <= count; ++i) CadForceLine("F" + IntToText(i) + "'", (s.L0 - L(i)) * s.R);
  CadForceLine("Fn", s.Fn);
  CadForceLine("Fc", s.Fc);
  if (s.sk != kNoBuckling) CadForceLine("Fk", s.R * s.sk);
  CadSetTextLineField(0);
}

}  // namespace zeb
