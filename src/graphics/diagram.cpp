#include "graphics/diagram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "base/ui_port.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram_labels.h"

namespace zeb {

using namespace diagram_detail;

namespace {

DiagramStateRecord gState;
DiagramLimitsRecord gLimits;
DiagramTextData gData;
std::shared_ptr<DiagramLimitsDialog> gDialog;

// The least height of a frame's text (sheet units of the plot).
Real gLeastTextHeight = 1;

// How far down the ink of the title block's lines reaches (above the
// sheet when there is none).
Real gTitleBlockBottom = 1e9L;


constexpr long kMaxPasses = 100000;

// v = lo, lo + step, ... through hi; the loop ends when the value reaches
// hi + step (within 1e-5, or a thousandth of a step below 0.01, so that
// the ticks of a small range run to its end as well) or passes it.
// Nothing when the step is not a finite positive value that moves lo, a
// bound is not finite, or it would take more than 100,000 passes.
template <class Body>
void StepLoop(Real lo, Real hi, Real step, Body&& body) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(step) || !(step > 0)) return;
  if (lo + step == lo) return;
  if ((hi - lo) / step + 2 > kMaxPasses) return;
  const Real end = hi + step, near = std::min(1e-5L, 1e-3L * step);
  Real v = lo;
  long passes = 0;
  do {
    body(v);
    v += step;
  } while (!(std::fabs(v - end) < near || v > end) && ++passes < kMaxPasses);
}

Real NonZero(Real span) { return span == 0 ? 1 : span; }

Real Frac(Real x) { return x - std::trunc(x); }

// Whole in the sense of the log division: |v - Int(v')| < 1e-5, v' the
// value rounded to the 6-byte real.
bool LogWhole(Real v) { return std::fabs(v - std::trunc(RoundToReal48(v))) < 1e-5L; }

Real LogX(Real x) { return DiagramXIsLog() ? Log10Ext(x) : x; }
Real LogY(Real y) { return DiagramYIsLog() ? Log10Ext(y) : y; }

std::string Cut80(std::string_view s) { return std::string(s.substr(0, std::min<std::size_t>(s.size(), 80))); }

struct Division {
  Real lo = 0, hi = 0, step = 0;
  bool Finite() const { return std::isfinite(lo) && std::isfinite(hi) && std::isfinite(step); }
};

void DivideAxes(Real xmin, Real ymin, Real xmax, Real ymax, Division& x, Division& y) {
  auto& s = gState;
  if (DiagramXIsLog()) {
    NiceLogAxisScale(x.lo, x.hi, x.step, Log10Ext(xmin), Log10Ext(xmax), 5);
    s.LogXLo = x.lo;
    s.LogXHi = x.hi;
  } else {
    NiceAxisScale(xmin, xmax, 6, x.lo, x.hi, x.step);
  }
  if (DiagramYIsLog()) {
    NiceLogAxisScale(y.lo, y.hi, y.step, Log10Ext(ymin), Log10Ext(ymax), 12);
  } else {
    NiceAxisScale(ymin, ymax, 6, y.lo, y.hi, y.step);
  }
}

// The numbers of a linear axis's ticks: three significant digits, or the
// decimals of the step where two neighbouring ticks would read alike (a
// narrow range far from 0).
class TickNumbers {
 public:
  explicit TickNumbers(const Division& d) : step_(d.step) {
    std::string last;
    bool first = true;
    StepLoop(d.lo, d.hi, d.step, [&](Real v) {
      std::string t = FloatToStrAuto(v);
      alike_ = alike_ || (!first && t == last);
      last = std::move(t);
      first = false;
    });
  }
  std::string Text(Real v) const {
    if (!alike_) return FloatToStrAuto(v);
    if (std::fabs(v) < 1e-6L * step_) v = 0;
    return FloatToStrDec(std::clamp(static_cast<int>(-std::floor(std::log10(step_) + 1e-9L)), 0, 12), v);
  }

 private:
  Real step_;
  bool alike_ = false;
};

bool AllFinite(Real a, Real b, Real c, Real d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

DiagramStateRecord& DiagramState() { return gState; }
DiagramLimitsRecord& DiagramLimits() { return gLimits; }
DiagramTextData& DiagramData() { return gData; }

void ResetDiagramGlobals() {
  gState = DiagramStateRecord{};
  gLimits = DiagramLimitsRecord{};
  gData = DiagramTextData{};
  gDialog.reset();
  ClearPlotNotes();
  NoteGridLines(false);
}

void DiagramRange::IncludeX(Real x) {
  if (!std::isfinite(x)) return;
  xmin = std::min(xmin, x);
  xmax = std::max(xmax, x);
}

void DiagramRange::IncludeY(Real y) {
  if (!std::isfinite(y)) return;
  ymin = std::min(ymin, y);
  ymax = std::max(ymax, y);
}

bool DiagramXIsLog() { return gState.DiagramAxisMode == 3 || gState.DiagramAxisMode == 4; }
bool DiagramYIsLog() { return gState.DiagramAxisMode == 2 || gState.DiagramAxisMode == 3; }

// Plot area and transforms.

void DiagramReset() {
  gState = DiagramStateRecord{};
  gTitleBlockBottom = 1e9L;
  DiagramSetPlotSize(160, 120);
  DiagramSetPlotOrigin(0, 0);
}

void DiagramSetPlotSize(Real width, Real height) {
  gState.PlotWidth = width;
  gState.PlotHeight = height;
}

void DiagramSetPlotOrigin(Real x0, Real y0) {
  gState.PlotOriginX = x0;
  gState.PlotOriginY = y0;
}

void DiagramSetRange(Real xmin, Real ymin, Real xmax, Real ymax) {
  auto& s = gState;
  s.XMin = xmin;
  s.YMin = ymin;
  s.XMax = xmax;
  s.YMax = ymax;
  s.XSpan = xmax - xmin;
  s.YSpan = ymax - ymin;
}

void DiagramScaleRange(Real fx, Real fy) {
  auto& s = gState;
  // A logarithmic axis holds log10 values: dividing the value by f moves
  // the limits by log10(f) and leaves the step (in decades) as it is.
  if (fx != 0 && std::isfinite(fx)) {
    if (DiagramXIsLog()) {
      if (fx > 0) {
        const Real shift = Log10Ext(fx);
        s.XMin -= shift;
        s.XMax -= shift;
      }
    } else {
      s.XMin /= fx;
      s.XMax /= fx;
      s.XTickStep /= fx;
    }
  }
  if (fy != 0 && std::isfinite(fy)) {
    if (DiagramYIsLog()) {
      if (fy > 0) {
        const Real shift = Log10Ext(fy);
        s.YMin -= shift;
        s.YMax -= shift;
      }
    } else {
      s.YMin /= fy;
      s.YMax /= fy;
    }
  }
  s.XSpan = s.XMax - s.XMin;
  s.YSpan = s.YMax - s.YMin;
}

Real DiagramMapX(Real x) {
  const auto& s = gState;
  return (x - s.XMin) / NonZero(s.XMax - s.XMin) * s.PlotWidth + s.PlotOriginX;
}

Real DiagramMapY(Real y) {
  const auto& s = gState;
  return (y - s.YMin) / NonZero(s.YMax - s.YMin) * s.PlotHeight + s.PlotOriginY;
}

Real DiagramScaleX(Real length) { return length / NonZero(gState.XMax - gState.XMin) * gState.PlotWidth; }
Real DiagramScaleY(Real length) { return length / NonZero(gState.YMax - gState.YMin) * gState.PlotHeight; }

Real DiagramUnmapX(Real px) {
  const auto& s = gState;
  return (px - s.PlotOriginX) * NonZero(s.XMax - s.XMin) / NonZero(s.PlotWidth) + s.XMin;
}

Real DiagramUnmapY(Real py) {
  const auto& s = gState;
  return (py - s.PlotOriginY) * NonZero(s.YMax - s.YMin) / NonZero(s.PlotHeight) + s.YMin;
}

void NiceLogAxisScale(Real& lo, Real& hi, Real& step, Real a, Real b, int n) {
  lo = hi = step = 0;
  NiceAxisScale(a, b, n, lo, hi, step);
  if (!LogWhole(hi)) {
    const Real h = RoundToReal48(hi);
    hi = Log10Ext(Pow10Ext(std::trunc(hi + 1)) * Frac(std::fabs(h)));
  }
}

Real DiagramLogTickPosition(Real v) {
  if (LogWhole(v)) return v;
  const Real vp = RoundToReal48(v);
  return Log10Ext(Pow10Ext(std::trunc(v + 1)) * Frac(std::fabs(vp)));
}

void DiagramTextStyleScaled(int font, Real angle, Real height, Real width) {
  Real s = std::max(gState.PlotWidth * 0.00625L, gState.PlotHeight / 110);
  if (height > 0 && height * s < gLeastTextHeight) s = gLeastTextHeight / height;
  CadTextStyle(font, angle, height * s, width * s);
}

DiagramLeastTextHeight::DiagramLeastTextHeight(Real height) { gLeastTextHeight = height; }
DiagramLeastTextHeight::~DiagramLeastTextHeight() { gLeastTextHeight = 1; }

void DiagramLabel(std::string_view text, Real x, Real y) { CadText(text, DiagramMapX(x), DiagramMapY(y)); }

namespace {

// A number with an exponent in its shortest exact form: the digits its
// mantissa shows, one before the point ("-0.015E-3" as "-1.5E-5").
std::string PlainExponent(std::string_view text) {
  Real v = 0;
  const std::size_t e = text.find_first_of("Ee");
  if (e == std::string_view::npos || !TryTextToFloat(text, v) || !std::isfinite(v) || v == 0) return std::string(text);
  int digits = 0;
  for (const char c : text.substr(0, e))
    if (c >= '0' && c <= '9' && (digits > 0 || c != '0')) ++digits;
  char b[64];
  std::snprintf(b, sizeof b, "%.*E", std::max(digits, 1) - 1, static_cast<double>(v));
  std::string t(b);
  const std::size_t at = t.find('E');
  const bool negative = t[at + 1] == '-';
  const std::size_t lead = t.find_first_not_of("+-0", at + 1);
  t = t.substr(0, at + 1) + (negative ? "-" : "") + (lead == std::string::npos ? "0" : t.substr(lead));
  return t.size() < text.size() ? t : std::string(text);
}

// A number of the y axis at (x, y), narrowed (or lowered) where it would
// reach the tick that begins at `tick` (world units); one with an exponent
// written in its shortest exact form first.
void YTickLabel(std::string_view given, Real x, Real y, Real tick) {
  const Real sx = DiagramMapX(x), sy = DiagramMapY(y);
  const Real room = DiagramMapX(tick) - 0.2L * Cad().CadTextHeight - sx;
  Real from, to;
  CadTextInk(given, from, to);
  if (!(to > room) || !(room > 0)) return CadText(given, sx, sy);
  const std::string text = PlainExponent(given);
  CadTextFit(text, sx, sy, room);
}

}  // namespace

void DiagramArrowHead(int direction, Real x, Real y, Real length) {
  const Real l = length, w = length / 8;
  // Triangles as solids repeat the third corner.
  auto solid = [](Real x1, Real y1, Real x2, Real y2, Real x3, Real y3) {
    CadSolid(x1, y1, x2, y2, x3, y3, x3, y3);
    NoteLine(x1, y1, x2, y2);
    NoteLine(x2, y2, x3, y3);
    NoteLine(x3, y3, x1, y1);
  };
  switch (direction) {
    case 0:
    case 1: solid(x, y, x - l, y + w, x - l, y - w); break;
    case 2: solid(x, y, x - w, y - l, x + w, y - l); break;
    case 3: solid(x, y, x + l, y + w, x + l, y - w); break;
    case 4: solid(x, y, x - w, y + l, x + w, y + l); break;
    default: break;
  }
}

void DiagramFrame(std::string_view xTitle, std::string_view yTitle, std::string_view title, Real xmin, Real ymin,
                  Real xmax, Real ymax, std::uint16_t titleMode) {
  auto& s = gState;
  ClearPlotNotes();
  if (xmax < xmin) std::swap(xmin, xmax);
  if (ymax < ymin) std::swap(ymin, ymax);
  if (!AllFinite(xmin, ymin, xmax, ymax)) {
    G().AbortFlag = 1;
    return;
  }
  Division x, y;
  DivideAxes(xmin, ymin, xmax, ymax, x, y);
  if (!x.Finite() || !y.Finite()) {
    G().AbortFlag = 1;
    return;
  }

  G().PrinterMode = 1;

  // The user may overrule the limits of a diagram written to a file.
  if (Cad().RequestedCadCode != 3 && CadSettings().EnterDiagramLimits != 0 && G().CommandLineArgs.size() < 2) {
    DiagramLimitsRequest req;
    req.computed = {x.lo, y.lo, x.hi, y.hi};
    req.xTitle = OemToAnsiStr(xTitle);
    req.yTitle = OemToAnsiStr(yTitle);
    req.caption = OemToAnsiStr(title);
    req.axisMode = s.DiagramAxisMode;
    DiagramLimitsForm().Run(req);
    if (G().AbortFlag == 0) {
      Real nx0 = gLimits.xmin, ny0 = gLimits.ymin, nx1 = gLimits.xmax, ny1 = gLimits.ymax;
      if (nx1 < nx0) std::swap(nx0, nx1);
      if (ny1 < ny0) std::swap(ny0, ny1);
      Division nx, ny;
      if (AllFinite(nx0, ny0, nx1, ny1)) {
        const Real keepLo = s.LogXLo, keepHi = s.LogXHi;
        DivideAxes(nx0, ny0, nx1, ny1, nx, ny);
        if (nx.Finite() && ny.Finite()) {
          xmin = nx0, ymin = ny0, xmax = nx1, ymax = ny1;
          x = nx;
          y = ny;
        } else {
          s.LogXLo = keepLo;
          s.LogXHi = keepHi;
        }
      }
    } else {
      G().AbortFlag = 0;
    }
  }

  DiagramSetRange(x.lo, y.lo, x.hi, y.hi);
  s.XTickStep = x.step;
  const bool xLog = DiagramXIsLog(), yLog = DiagramYIsLog();
  const bool xAxis = y.lo <= 0 && 0 <= y.hi, yAxis = x.lo <= 0 && 0 <= x.hi;

  // The title, centred over the plot and never left of it. The y axis
  // with its arrow, where it would run through it, parts the room in two;
  // the title block, where its lines reach down to the title, ends it. The
  // title goes to the part that holds it as wide as it is nearest to its
  // place (else to the widest part), fitted to the part; the plot's labels
  // keep clear of it.
  CadSetLayer(4);
  DiagramTextStyleScaled(2, 0, 3.5L, 2.5L);
  {
    const Real h = Cad().CadTextHeight;
    const Real ideal = std::max(s.PlotOriginX, s.PlotOriginX + s.PlotWidth / 2 - 1.75L * static_cast<Real>(title.size()));
    const Real ty = s.PlotOriginY + s.PlotHeight + 3;
    // What shows of the title: its ink.
    Real from, to;
    CadTextInk(title, from, to);
    const Real w = std::max<Real>(0, to - from);
    const Real end = gTitleBlockBottom < ty + h ? kDiagramTitleBlockX - 0.5L : std::numeric_limits<Real>::infinity();
    // The parts (from, to) of the room; a long title may reach half the
    // plot's width past its place.
    std::vector<std::array<Real, 2>> parts{{s.PlotOriginX, std::max(s.PlotOriginX + s.PlotWidth, ideal + from + s.PlotWidth / 2)}};
    if (yAxis && to > from) {
      const Real ax = DiagramMapX(0), tip = DiagramMapY(y.hi + 0.05L * s.YSpan), half = 0.04L * s.PlotHeight / 8;
      const Real gap = 0.25L * h;
      if (tip > ty && ax + half + gap > ideal + from && ax - half - gap < ideal + from + w)
        parts = {{s.PlotOriginX, ax - half - gap}, {ax + half + gap, ax + half + gap + std::max(w, s.PlotWidth / 2)}};
    }
    Real tx = ideal, right = parts[0][1], best = -1, distance = 0;
    for (const auto& [a, b0] : parts) {
      const Real b = std::min(b0, end);
      if (!(b > a)) continue;
      const Real at = std::clamp(ideal + from, a, std::max(a, b - w)) - from;
      const Real share = std::min<Real>(1, (b - a) / std::max<Real>(w, 1e-9L));
      const Real away = std::fabs(at - ideal);
      if (share > best + 1e-9L || (share > best - 1e-9L && away < distance)) {
        best = share, distance = away, tx = at, right = b;
      }
    }
    CadTextFit(title, tx, ty, right - tx);
    DiagramNoteText(title, tx, ty);
  }
  CadSetLayer(17);

  if (xAxis) {
    const Real end = x.hi + 0.05L * s.XSpan;
    DiagramLine(x.lo, 0, end, 0);
    DiagramArrowHead(1, DiagramMapX(end), DiagramMapY(0), 0.04L * s.PlotWidth);
  }

  DiagramTextStyleScaled(2, 0, 2.2L, 1.65L);
  const TickNumbers xTicks(x), yTicks(y);
  // Two steps of a logarithmic axis can land on one tick: it is drawn once.
  std::vector<Real> ticks;
  auto newTick = [&ticks](Real p) {
    if (std::find(ticks.begin(), ticks.end(), p) != ticks.end()) return false;
    ticks.push_back(p);
    return true;
  };
  StepLoop(x.lo, x.hi, x.step, [&](Real v) {
    if (xLog) {
      const Real p = DiagramLogTickPosition(v);
      if (x.lo <= p && p <= x.hi && newTick(p)) {
        DiagramLine(p, y.lo, p, y.lo - 0.01L * s.YSpan);
        DiagramLabel(FloatToStrAuto(Pow10Ext(p)), p - 0.03L * s.XSpan, y.lo - 0.1L * s.YSpan);
      }
    } else {
      DiagramLine(v, y.lo, v, y.lo - 0.01L * s.YSpan);
      DiagramLabel(xTicks.Text(v), v - 0.03L * (x.hi - x.lo), y.lo - 0.07L * s.YSpan);
    }
  });

  if (titleMode == 0 || titleMode == 1) {
    DiagramLabel(xTitle, x.hi + 0.06L * (x.hi - x.lo), y.lo - 0.07L * s.YSpan);
  } else if (titleMode == 2) {
    DiagramLabel(xTitle, x.hi + 0.01L * (x.hi - x.lo), y.lo + 0.03L * s.YSpan);
  }

  if (yAxis) {
    const Real end = y.hi + 0.05L * s.YSpan;
    DiagramLine(0, y.lo, 0, end);
    DiagramArrowHead(2, DiagramMapX(0), DiagramMapY(end), 0.04L * s.PlotHeight);
  }

  DiagramTextStyleScaled(2, 0, 2.2L, 1.65L);
  ticks.clear();
  // A logarithmic axis labels its decades and, where there is room, the
  // ticks between them.
  Real lastLabel = -std::numeric_limits<Real>::infinity();
  const Real room = 1.1L * Cad().CadTextHeight;
  StepLoop(y.lo, y.hi, y.step, [&](Real w) {
    if (yLog) {
      const Real p = DiagramLogTickPosition(w);
      if (p <= y.hi && newTick(p)) {
        DiagramLine(x.lo - 0.01L * s.XSpan, p, x.lo, p);
        const Real at = DiagramMapY(p), decade = std::ceil(p - 1e-6L);
        const bool whole = std::fabs(p - decade) < 1e-6L;
        if (whole || (at - lastLabel >= room && (decade > y.hi || DiagramMapY(decade) - at >= room))) {
          YTickLabel(FloatToStrAuto(Pow10Ext(p)), x.lo - 0.1L * s.XSpan, p - 0.01L * s.YSpan, x.lo - 0.01L * s.XSpan);
          lastLabel = at;
        }
      }
    } else {
      DiagramLine(x.lo - 0.01L * s.XSpan, w, x.lo, w);
      YTickLabel(yTicks.Text(w), x.lo - 0.1L * s.XSpan, w - 0.01L * s.YSpan, x.lo - 0.01L * s.XSpan);
    }
  });

  DiagramLabel(yTitle, x.lo - 0.1L * s.XSpan, y.hi + 0.07L * s.YSpan);

  // Grid; its first and last lines are the border of the plot. Labels keep
  // clear of the border, not of the grid.
  {
    const auto b = PlotBox();
    NoteRectangle(b[0], b[1], b[2], b[3]);
  }
  NoteGridLines(true);
  CadSetLayer(17);
  CadScreenLineStyle(1);
  Real gridStep = x.step;
  if (xLog) {
    Real lo = 0, hi = 0;
    NiceLogAxisScale(lo, hi, gridStep, Log10Ext(xmin), Log10Ext(xmax), 60);
  }
  const Real gxLo = xLog ? s.LogXLo : x.lo, gxHi = xLog ? s.LogXHi : x.hi;
  StepLoop(gxLo, gxHi, gridStep, [&](Real v) {
    if (xLog) {
      const Real p = DiagramLogTickPosition(v);
      if (gxLo <= p && p <= gxHi) DiagramLine(p, y.lo, p, y.hi);
    } else {
      DiagramLine(v, y.lo, v, y.hi);
    }
  });
  StepLoop(y.lo, y.hi, y.step, [&](Real w) {
    if (yLog) {
      const Real p = DiagramLogTickPosition(w);
      if (p <= y.hi) DiagramLine(x.lo, p, x.hi, p);
    } else {
      DiagramLine(x.lo, w, x.hi, w);
    }
  });
  NoteGridLines(false);
}

// Curves, texts and symbols.

void DiagramMoveTo(Real x, Real y) {
  CadMoveTo(DiagramMapX(x), DiagramMapY(y));
  gState.LastX = x;
  gState.LastY = y;
}

void DiagramLineTo(Real x, Real y) {
  DiagramClipLine(gState.LastX, gState.LastY, x, y);
  gState.LastX = x;
  gState.LastY = y;
}

void DiagramLineToUnclipped(Real x, Real y) {
  const CadPoint3 from = Cad().CadCurrentPoint;
  NoteLine(from.x, from.y, DiagramMapX(x), DiagramMapY(y));
  CadLineTo(DiagramMapX(x), DiagramMapY(y));
  gState.LastX = x;
  gState.LastY = y;
}

void DiagramClipLine(Real x1, Real y1, Real x2, Real y2) {
  const auto& s = gState;
  x1 = LogX(x1);
  x2 = LogX(x2);
  y1 = LogY(y1);
  y2 = LogY(y2);
  auto nearInside = [&](Real x, Real y) {
    return s.XMin - 0.01L * s.XSpan < x && x < s.XMax + 0.01L * s.XSpan && s.YMin - 0.01L * s.YSpan < y &&
           y < s.YMax + 0.01L * s.YSpan;
  };
  if (nearInside(x1, y1) && nearInside(x2, y2)) {
    DiagramLine(x1, y1, x2, y2);
    return;
  }
  if (PointInRect(x1, y1, s.XMin, s.YMin, s.XMax, s.YMax) || PointInRect(x2, y2, s.XMin, s.YMin, s.XMax, s.YMax)) {
    if (ClipSegmentToRect(x1, y1, x2, y2, s.XMin, s.YMin, s.XMax, s.YMax)) DiagramLine(x1, y1, x2, y2);
  }
}

void DiagramLine(Real x1, Real y1, Real x2, Real y2) {
  const Real a = DiagramMapX(x1), b = DiagramMapY(y1), c = DiagramMapX(x2), d = DiagramMapY(y2);
  NoteLine(a, b, c, d);
  CadLine(a, b, c, d);
}

void DiagramRectangle(Real x1, Real y1, Real x2, Real y2) {
  const Real a = DiagramMapX(LogX(x1)), b = DiagramMapY(LogY(y1)), c = DiagramMapX(LogX(x2)),
             d = DiagramMapY(LogY(y2));
  NoteRectangle(a, b, c, d);
  CadRectangle(a, b, c, d);
}

Real DiagramMarkRadius(Real r) { return r > 0 ? std::max(r, kLeastMarkRadius) : r; }

void DiagramCircleY(Real x, Real y, Real r) {
  const CadMarks mark;  // a point's mark
  const Real cx = DiagramMapX(LogX(x)), cy = DiagramMapY(LogY(y)), cr = DiagramMarkRadius(DiagramScaleY(LogY(r)));
  if (cr > 0) NoteMark(cx, cy, cr);
  CadCircle(cx, cy, cr);
}

void DiagramCircleX(Real x, Real y, Real r) {
  const CadMarks mark;  // a point's mark
  const Real cx = DiagramMapX(LogX(x)), cy = DiagramMapY(LogY(y)), cr = DiagramMarkRadius(DiagramScaleX(LogX(r)));
  if (cr > 0) NoteMark(cx, cy, cr);
  CadCircle(cx, cy, cr);
}

void DiagramText(std::string_view text, Real x, Real y) {
  CadText(text, DiagramMapX(LogX(x)), DiagramMapY(LogY(y)));
}


void DiagramPlaceWrappedText(std::string_view text, Real x, Real y) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  Real sx = DiagramMapX(LogX(x)), sy = DiagramMapY(LogY(y));
  // Lines that end one character before the plot's right edge; a word
  // longer than that stands alone.
  const Real room = gState.PlotOriginX + gState.PlotWidth - cw - sx;
  const std::size_t most = cw > 0 && room > cw ? static_cast<std::size_t>(room / cw) : text.size();
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.size();
    if (end - start > most) {
      const std::size_t blank = text.rfind(' ', start + most);
      end = blank != std::string_view::npos && blank > start ? blank : text.find(' ', start + most);
      if (end == std::string_view::npos) end = text.size();
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end;
    while (start < text.size() && text[start] == ' ') ++start;
  }
  const Real step = 1.4L * h;
  const Real n = static_cast<Real>(lines.size());
  DiagramPlaceBox(InkWidest(lines), (n - 1) * step + h, cw, sx, sy);
  // The last line at the place, the others above it.
  for (std::size_t k = 0; k < lines.size(); ++k)
    CadText(lines[k], sx, sy + (n - 1 - static_cast<Real>(k)) * step);
}

namespace {

// The points on the sheet (those that map to a finite place).
std::vector<std::array<Real, 2>> SheetPoints(const std::vector<std::array<Real, 2>>& world) {
  std::vector<std::array<Real, 2>> points;
  for (const auto& p : world) {
    const Real ax = DiagramMapX(LogX(p[0])), ay = DiagramMapY(LogY(p[1]));
    if (std::isfinite(ax) && std::isfinite(ay)) points.push_back({ax, ay});
  }
  return points;
}

}  // namespace

void DiagramPlaceLineLabel(std::string_view text, const std::vector<std::array<Real, 2>>& line, Real x, Real y) {
  PlaceLineLabelAt(text, SheetPoints(line), DiagramMapX(LogX(x)), DiagramMapY(LogY(y)));
}

void DiagramPlaceRegionLabel(std::string_view text, const std::vector<std::array<Real, 2>>& region, Real x, Real y) {
  PlaceRegionLabelAt(text, SheetPoints(region), DiagramMapX(LogX(x)), DiagramMapY(LogY(y)));
}


void DiagramPlacePointLabel(std::string_view text, Real x, Real y, Real markRadius, Real dx, Real dy) {
  const Real px = DiagramMapX(LogX(x)), py = DiagramMapY(LogY(y));
  DiagramPlacePointLabelAt(text, px, py, markRadius, px + dx, py + dy);
}

void DiagramPlaceLabel(std::string_view text, Real x, Real y) {
  DiagramPlaceLabelAt(text, DiagramMapX(LogX(x)), DiagramMapY(LogY(y)));
}

void DiagramTextStyle(int font, Real angle, Real height, Real width) {
  CadTextStyle(font, angle, DiagramScaleY(height), DiagramScaleX(width));
}

void DiagramTextStyleAt(int font, Real angle, Real height, Real width, Real xmin, Real ymin, Real xmax, Real ymax) {
  auto& s = gState;
  if (!AllFinite(xmin, ymin, xmax, ymax)) return DiagramTextStyle(font, angle, height, width);
  const Real keepLo = s.LogXLo, keepHi = s.LogXHi;
  Division x, y;
  DivideAxes(std::min(xmin, xmax), std::min(ymin, ymax), std::max(xmin, xmax), std::max(ymin, ymax), x, y);
  s.LogXLo = keepLo, s.LogXHi = keepHi;
  if (!x.Finite() || !y.Finite() || !(x.hi > x.lo) || !(y.hi > y.lo))
    return DiagramTextStyle(font, angle, height, width);
  CadTextStyle(font, angle, height / (y.hi - y.lo) * s.PlotHeight, width / (x.hi - x.lo) * s.PlotWidth);
}

void DiagramSymbol(int n, Real x, Real y) {
  const auto m = gState.DiagramAxisMode;
  if (m == 2 || m == 3 || m == 4) return;
  const CadMarks mark;
  const Real dx = gState.XSpan / 150, dy = gState.YSpan / 150;
  switch (n) {
    case 1: DiagramCircleY(x, y, 1.5L * dy); break;
    case 2: DiagramRectangle(x - dx, y - dy, x + dx, y + dy); break;
    case 3: DiagramDiamond(x, y, 1.2L * dx, 1.5L * dy); break;
    case 4: DiagramTriangle(x, y, dx, dy); break;
    default: break;
  }
}

void DiagramDiamond(Real x, Real y, Real hx, Real hy) {
  DiagramMoveTo(x - hx, y);
  DiagramLineTo(x, y + hy);
  DiagramLineTo(x + hx, y);
  DiagramLineTo(x, y - hy);
  DiagramLineTo(x - hx, y);
}

void DiagramTriangle(Real x, Real y, Real hx, Real hy) {
  DiagramMoveTo(x - hx, y - hy);
  DiagramLineTo(x, y + hy);
  DiagramLineTo(x + hx, y - hy);
  DiagramLineTo(x - hx, y - hy);
}

void DiagramLegendLine(std::string_view text, int n) {
  const CadPoint3 cursor = Cad().CadCurrentPoint;
  const Real h = Cad().CadTextHeight;
  DiagramSymbol(n, DiagramUnmapX(cursor.x - h), DiagramUnmapY(cursor.y + h / 2));
  Cad().CadCurrentPoint = cursor;
  CadTextLine(text);
}

void DiagramLineWithMarkers(int n, Real x1, Real y1, Real x2, Real y2) {
  DiagramClipLine(x1, y1, x2, y2);
  const auto& s = gState;
  const Real step = s.XTickStep;
  if (!std::isfinite(step) || !(step > 0) || !std::isfinite(s.XMin) || !std::isfinite(s.XMax)) return;
  if (s.XMin + step == s.XMin || (s.XMax - s.XMin) / step + 2 > kMaxPasses) return;
  for (long k = 1; k <= kMaxPasses; ++k) {
    const Real xm = s.XMin + static_cast<Real>(k) * step;
    if (x1 <= xm && xm <= x2 && xm != x1) {
      const Real ym = y1 + (y2 - y1) / (x2 - x1) * (xm - x1);
      if (s.YMin <= ym && ym <= s.YMax) DiagramSymbol(n, xm, ym);
    }
    if (xm > s.XMax - step) break;
  }
}

void DiagramVerticalMarker(std::string_view text, Real x, Real y) {
  DiagramVerticalMarkerLegs(x, y);
  DiagramVerticalMarkerLabel(text, x, y);
}

void DiagramVerticalMarkerLegs(Real x, Real y) {
  CadScreenLineStyle(3);
  DiagramMoveTo(x, 0);
  DiagramLineTo(x, y);
  DiagramLineTo(0, y);
}

void DiagramVerticalMarkerLabel(std::string_view text, Real x, Real y) {
  const auto& s = gState;
  // Never left of the plot.
  CadTextStyle(2, 0, 0.021L * s.PlotHeight, 0.016L * s.PlotWidth);
  const Real h = Cad().CadTextHeight, w = CadSettings().CadTextFactor;
  Real from, to;
  CadTextInk(text, from, to);
  const Real centred = (DiagramMapX(x) + s.XMin + s.PlotOriginX) / 2 - 0.5L * (from + to);
  DiagramPlaceLabelAt(text, std::max(centred, s.PlotOriginX + h * w), DiagramMapY(y + 0.01L * s.YSpan));
}

// Axis-limits dialog.

std::array<std::string, 4> DiagramLimitsInitialTexts() {
  return {FloatToStrSig(gLimits.xmin), FloatToStrSig(gLimits.ymin), FloatToStrSig(gLimits.xmax),
          FloatToStrSig(gLimits.ymax)};
}

std::array<std::string, 4> DiagramLimitsCalculatedTexts(const DiagramLimitsRequest& request) {
  const auto m = request.axisMode;
  const bool xLog = m == 3 || m == 4, yLog = m == 2 || m == 3;
  std::array<std::string, 4> t;
  for (int k = 0; k < 4; ++k) {
    const bool log = (k % 2 == 0) ? xLog : yLog;
    const Real v = request.computed[static_cast<std::size_t>(k)];
    t[static_cast<std::size_t>(k)] = FloatToStrSig(log ? Pow10Ext(v) : v);
  }
  return t;
}

bool DiagramLimitsAccept(const std::array<std::string, 4>& edits, std::uint16_t axisMode) {
  const Real x0 = TextToFloat(edits[0]), y0 = TextToFloat(edits[1]);
  const Real x1 = TextToFloat(edits[2]), y1 = TextToFloat(edits[3]);
  const std::string caption = OemToAnsiStr(G().ProgramTitle);
  if ((axisMode == 3 || axisMode == 4) && !(x0 > 0 && x1 > 0)) {
    Ui().MessageBox(caption, "Error: x = 0 !");
    return false;
  }
  if ((axisMode == 2 || axisMode == 3) && !(y0 > 0 && y1 > 0)) {
    Ui().MessageBox(caption, "Error: y = 0 !");
    return false;
  }
  gLimits = DiagramLimitsRecord{x0, y0, x1, y1};
  return true;
}

void ScriptedDiagramLimitsDialog::Ok(std::array<std::string, 4> edits) {
  answers_.push_back(Answer{Answer::OkTexts, std::move(edits)});
}
void ScriptedDiagramLimitsDialog::CalculateOk() { answers_.push_back(Answer{Answer::CalcOk, {}}); }
void ScriptedDiagramLimitsDialog::Cancel() { answers_.push_back(Answer{Answer::CancelForm, {}}); }
void ScriptedDiagramLimitsDialog::CloseWindow() { answers_.push_back(Answer{Answer::Close, {}}); }

void ScriptedDiagramLimitsDialog::Run(const DiagramLimitsRequest& request) {
  shown_.push_back(request);
  lastEdits_ = DiagramLimitsInitialTexts();
  while (true) {
    if (answers_.empty()) {
      G().AbortFlag = 1;
      return;
    }
    Answer a = std::move(answers_.front());
    answers_.pop_front();
    switch (a.kind) {
      case Answer::CancelForm: G().AbortFlag = 1; return;
      case Answer::Close: return;
      case Answer::CalcOk: lastEdits_ = DiagramLimitsCalculatedTexts(request); break;
      case Answer::OkTexts: lastEdits_ = a.edits; break;
    }
    if (DiagramLimitsAccept(lastEdits_, request.axisMode)) return;
  }
}

DiagramLimitsDialog& DiagramLimitsForm() {
  if (!gDialog) gDialog = std::make_shared<ScriptedDiagramLimitsDialog>();
  return *gDialog;
}

void SetDiagramLimitsDialog(std::shared_ptr<DiagramLimitsDialog> dialog) { gDialog = std::move(dialog); }

// Text table.

DiagramTextTable::DiagramTextTable(Real x, Real y, Real h, const std::array<Real, 7>& widths,
                                   const std::array<std::string_view, 7>& headers, Real rowHeight) {
  rowCounter_ = 0;
  firstColumn_ = 1;
  h_ = h;
  rowHeight_ = rowHeight > 0 ? rowHeight : 2 * h;
  topY_ = y;
  rowBottom_ = y - rowHeight_;
  textBaseline_ = rowBottom_ + (rowHeight_ - h) / 2;
  columnX_[1] = x;
  for (int k = 1; k <= 7; ++k) columnX_[static_cast<std::size_t>(k + 1)] = columnX_[static_cast<std::size_t>(k)] + 0.9L * h * widths[static_cast<std::size_t>(k - 1)];
  boundaryCount_ = 8;
  for (int k = 2; k <= 7; ++k) {
    if (columnX_[static_cast<std::size_t>(k)] == columnX_[static_cast<std::size_t>(k - 1)]) {
      boundaryCount_ = k - 1;
      break;
    }
  }
  SetCells(headers);
  rowLines_ = 1;
  columnLines_ = 1;

  const Real xn = columnX_[static_cast<std::size_t>(boundaryCount_)];
  NoteLabel(columnX_[1], y - rowHeight_, xn, y);
  CadSetLayer(17);
  CadRectangle(columnX_[1], y, xn, y - rowHeight_);
  CadLine(columnX_[1], y - rowHeight_, columnX_[1], y);
  CadLine(xn, y - rowHeight_, xn, y);
  CadTextStyle(2, 0, h, 0.75L * h);
  DrawRowTexts(boundaryCount_);
}

void DiagramTextTable::SetCells(const std::array<std::string_view, 7>& cells) {
  for (int k = 1; k <= 7; ++k) cells_[static_cast<std::size_t>(k)] = Cut80(cells[static_cast<std::size_t>(k - 1)]);
}

void DiagramTextTable::DrawRowTexts(int last) {
  CadSetLayer(18);
  const Real cw = Cad().CadTextHeight * Cad().CadTextWidthFactor;
  for (int k = 1; k <= boundaryCount_ - 1; ++k) {
    // Each text within its cell (a joined one within the row): a number
    // too wide for it written shorter as far as its truth allows, a text
    // without the blank before it where that is enough, else narrower and
    // then lower.
    const Real x = columnX_[static_cast<std::size_t>(k)];
    const Real room = columnX_[static_cast<std::size_t>(k >= last ? boundaryCount_ : k + 1)] - x;
    std::string text = CadFitNumberText(" " + cells_[static_cast<std::size_t>(k)], cw > 0 ? room / cw : room);
    auto shown = [&text] { return static_cast<Real>(text.find_last_not_of(' ') + 1); };
    const auto over = [&] { return cw > 0 && shown() * cw > room + 1e-6L * cw; };
    if (over() && text.size() > 1 && text[0] == ' ') text.erase(0, 1);
    if (over())
      CadTextFit(text, x, textBaseline_, room);
    else
      CadText(text, x, textBaseline_);
  }
  rowBottom_ -= rowHeight_;
  textBaseline_ -= rowHeight_;
}

void DiagramTextTable::AddRow(const std::array<std::string_view, 7>& cells) { AddRowJoined(cells, boundaryCount_); }

void DiagramTextTable::AddRowJoined(const std::array<std::string_view, 7>& cells, int last) {
  SetCells(cells);
  const Real x1 = columnX_[1], xn = columnX_[static_cast<std::size_t>(boundaryCount_)];
  NoteLabel(x1, rowBottom_, xn, rowBottom_ + rowHeight_);
  CadSetLayer(17);
  if (rowLines_) CadLine(x1, rowBottom_, xn, rowBottom_);
  for (int k = 1; k <= boundaryCount_; ++k) {
    if ((columnLines_ && k <= last) || k == 1 || k == boundaryCount_) {
      const Real xk = columnX_[static_cast<std::size_t>(k)];
      CadLine(xk, rowBottom_, xk, rowBottom_ + rowHeight_);
    }
  }
  DrawRowTexts(last);
}

void DiagramTextTable::AddRow4(std::string_view c1, std::string_view c2, std::string_view c3, std::string_view c4) {
  AddRow({c1, c2, c3, c4, {}, {}, {}});
}

void DiagramTextTable::AddMarkRow(std::string_view text, int n) {
  std::array<std::string_view, 7> cells{text, {}, {}, {}, {}, {}, {}};
  if (n >= 1 && n <= 4) cells[static_cast<std::size_t>(n)] = "X";
  AddRow(cells);
}

// Annotation blocks.

std::string DiagramTitleLine() { return gData.DrawingName + "  " + gData.DrawingNo + "  " + gData.DrawingName2; }

void DiagramTitleBlock() {
  CadSetLayer(19);
  CadTextStyle(2, 0, 2.2L, 1.7L);
  // Top right of the sheet, above the plot titles and the data blocks (which
  // start below y 106) and right of the axis labels.
  // Each line whole between x 80 and the sheet's right edge, the title
  // line of name, number and second name on two where it needs them.
  CadMoveTo(kDiagramTitleBlockX, 117.5L);
  const Real width = Cad().CadExtents[1] - 1 - kDiagramTitleBlockX;
  // A title line too long for one line is written smaller (down to 1.8
  // high), so that the block keeps its three lines, above the plots'
  // titles and arrows.
  const std::string line = DiagramTitleLine();
  if (CadLayoutText(line, width, 1).cut) {
    const Real shown = static_cast<Real>(std::max<std::size_t>(1, line.find_last_not_of(' ') + 1));
    const Real h = std::clamp(width / (shown * kCadNarrowestWidthFactor) - 0.01L, 1.8L, 2.2L);
    CadTextStyle(2, 0, h, h * 1.7L / 2.2L);
  }
  CadTextLineWhole(line, width, 2);
  CadTextLineWhole(G().TitleBlockLines[2], width);
  CadTextLineWhole(G().TitleBlockLines[3], width);
  const CadState& st = Cad();
  gTitleBlockBottom = st.CadCurrentPoint.y + (1.6L * st.CadLineSpacing - 0.3L) * st.CadTextHeight;
}

void DiagramTitleTable(Real x, Real y, Real h) {
  const auto& t = G().TitleBlockLines;
  DiagramTextTable table(x, y, h, {60, 0, 0, 0, 0, 0, 0}, {t[1], {}, {}, {}, {}, {}, {}});
  table.AddRow({t[2], {}, {}, {}, {}, {}, {}});
  table.AddRow({t[3], {}, {}, {}, {}, {}, {}});
}

void DiagramHeaderLine() {
  CadSetLayer(19);
  CadTextStyle(0, 0, 1.5L, 1.0L);
  CadTextWhole(DiagramTitleLine(), 1.0L, 117.8L, Cad().CadExtents[1] - 2);
}

namespace {

const char* const kSectionNames[8] = {"", "rund", "elliptisch", "quadratisch", "rechteckig", "oval",
                                      "rechteckig + r", "rund, hohl"};

std::string LengthText(Real v, bool withTolerance) {
  std::string s = FormatLength(v);
  if (withTolerance) s += FormatLengthTolerancePair(-gData.TolWire, gData.TolWire);
  return s + " " + LengthUnitName();
}

}  // namespace

std::vector<std::string> DiagramWireSectionLines(bool withTolerance) {
  const auto& d = gData;
  const int code = d.CrossSection;
  std::vector<std::string> lines;
  if (code == 2 || code == 3 || code == 4 || code == 5 || code == 7) {
    lines.emplace_back(kSectionNames[code]);
  } else if (code == 6) {
    lines.push_back(std::string(kSectionNames[6]) + " " + FormatLength(d.r) + " " + LengthUnitName());
  }
  switch (code) {
    case 3: lines.push_back("a = " + LengthText(d.d, withTolerance)); break;
    case 2:
    case 4:
    case 5:
    case 6:
      lines.push_back("b = " + LengthText(d.d, withTolerance));
      lines.push_back("h = " + LengthText(d.h, withTolerance));
      break;
    case 7:
      lines.push_back("d = " + LengthText(d.d, withTolerance));
      lines.push_back("di = " + LengthText(d.di, false));
      break;
    default: lines.push_back("d = " + LengthText(d.d, withTolerance)); break;
  }
  return lines;
}

void DiagramWireSectionText(bool withTolerance) {
  for (const std::string& line : DiagramWireSectionLines(withTolerance)) CadTextLine(line);
}

void DiagramMaterialText() {
  const auto& d = gData;
  CadTextLine(DiagramTitleLine());
  CadTextLine(G().TitleBlockLines[2]);
  CadTextLine(G().TitleBlockLines[3]);
  CadTextLine(" ");
  // The table record's name, its designation in brackets where it has one.
  std::string material = d.MaterialName;
  if (d.MaterialSel == 0 && !TrimBlanks(d.MaterialRecordName1).empty()) {
    material = TrimBlanks(d.MaterialRecordName1);
    if (const std::string designation = TrimBlanks(d.MaterialRecordName3); !designation.empty())
      material += " (" + designation + ")";
  }
  material += " ";
  material += d.ShotPeened == 'N' ? "nicht kugelgestrahlt" : "kugelgestrahlt";
  CadTextLine(material);
  CadTextLine("Rm = " + FormatStressDec(0, d.Rm) + " " + StressUnitName());
  CadTextLine("E = " + FormatStressDec(0, d.E) + " " + StressUnitName());
  CadTextLine("G = " + FormatStressDec(0, d.G) + " " + StressUnitName());
  if (std::fabs(d.T - 20) >= 1e-5L) {
    const std::string t = FormatTemperatureDec(0, d.T);
    CadTextLine("T = " + t + " " + TemperatureUnitName());
    CadTextLine("G(" + t + ") = " + FormatStressDec(0, d.GT) + " " + StressUnitName());
  }
  CadTextLine("rho = " + FloatToStrSig(d.rho) + " " + DensityUnitName());
}

}  // namespace zeb
