#include "base/vector2d.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/format.h"
#include "base/mathx.h"
#include "base/messages.h"

namespace zeb {

namespace {

constexpr Real kTiny = 1e-12L;

struct ArcGeometry {
  Real xc, yc, radius, angle1, angle2;
};

// Shared part of the two arc routines; false when dphi leaves the arc
// undefined (message posted).
bool ComputeArc(ArcGeometry& arc, Real x1, Real y1, Real x2, Real y2, Real dphi) {
  const Real sinHalf = std::sin(dphi / 2);
  if (!(std::fabs(sinHalf) >= kTiny)) {
    AddErrorMessage("Fehler in GetArcCenter (dphi = " + FloatToStrSig(dphi) + " ! ");
    return false;
  }
  const Real dx = x2 - x1;
  const Real dy = y2 - y1;
  const Real l12 = HypotExt(dx, dy);
  const Real mx = (x1 + x2) / 2;
  const Real my = (y1 + y2) / 2;
  const Real h = std::fabs(std::sin(dphi)) < kTiny ? 0.0L : (l12 / 2) / std::tan(dphi / 2);
  arc.radius = std::fabs((l12 / 2) / sinHalf);
  if (l12 == 0) {
    AddErrorMessage("GetArcCenter l12=0");
    arc.xc = mx;
    arc.yc = my;
  } else {
    arc.xc = mx - dy * h / l12;
    arc.yc = my + dx * h / l12;
  }
  arc.angle1 = ArcTanXY(x1 - arc.xc, y1 - arc.yc);
  arc.angle2 = ArcTanXY(x2 - arc.xc, y2 - arc.yc);
  return true;
}

}  // namespace

Real Det2(Real a, Real b, Real c, Real d) { return a * d - b * c; }

bool SolveLinear2x2(Real& x, Real& y, Real a11, Real a12, Real b1, Real a21, Real a22, Real b2) {
  const Real det = Det2(a11, a12, a21, a22);
  if (det != 0) {
    const Real sx = Det2(b1, a12, b2, a22) / det;
    const Real sy = Det2(a11, b1, a21, b2) / det;
    if (std::isfinite(sx) && std::isfinite(sy)) {
      x = sx;
      y = sy;
      return true;
    }
  }
  x = 0;
  y = 0;
  return false;
}

void LineLineIntersection(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real x3, Real y3,
                          Real x4, Real y4) {
  Real t = 0, s = 0;
  SolveLinear2x2(t, s, x2 - x1, x3 - x4, x3 - x1, y2 - y1, y3 - y4, y3 - y1);
  x = x1 + t * (x2 - x1);
  y = y1 + t * (y2 - y1);
}

bool IsBetween(Real v, Real a, Real b) {
  if ((a <= v && v <= b) || (b <= v && v <= a)) return true;
  return std::fabs(a - b) < kTiny && std::fabs(v - b) < kTiny;
}

bool SegmentIntersection(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real x3, Real y3,
                         Real x4, Real y4) {
  LineLineIntersection(x, y, x1, y1, x2, y2, x3, y3, x4, y4);
  return IsBetween(x, x1, x2) && IsBetween(y, y1, y2) && IsBetween(x, x3, x4) && IsBetween(y, y3, y4);
}

void PolarOffsetPoint(Real& x, Real& y, Real px, Real py, Real cx, Real cy, Real angle) {
  Real rx = 0, ry = 0;
  RotatePoint(px - cx, py - cy, angle, rx, ry);
  x = cx + rx;
  y = cy + ry;
}

void GetArcCenter(Real& xc, Real& yc, Real& startAngle, Real x1, Real y1, Real x2, Real y2, Real dphi,
                  Real& endAngle, Real& radius) {
  ArcGeometry arc{};
  if (!ComputeArc(arc, x1, y1, x2, y2, dphi)) return;
  xc = arc.xc;
  yc = arc.yc;
  radius = arc.radius;
  // Counter-clockwise from start to end.
  startAngle = dphi >= 0 ? arc.angle1 : arc.angle2;
  endAngle = dphi >= 0 ? arc.angle2 : arc.angle1;
}

void GetArcCenterKeepOrder(Real& xc, Real& yc, Real& startAngle, Real x1, Real y1, Real x2, Real y2,
                           Real dphi, Real& endAngle, Real& radius) {
  ArcGeometry arc{};
  if (!ComputeArc(arc, x1, y1, x2, y2, dphi)) return;
  xc = arc.xc;
  yc = arc.yc;
  radius = arc.radius;
  startAngle = arc.angle1;
  endAngle = arc.angle2;
}

bool PointInRect(Real x, Real y, Real xmin, Real ymin, Real xmax, Real ymax) {
  return xmin <= x && x <= xmax && ymin <= y && y <= ymax;
}

bool SegmentRectIntersection(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real xmin, Real ymin,
                             Real xmax, Real ymax) {
  const Real sides[4][4] = {
      {xmin, ymin, xmax, ymin},  // bottom
      {xmax, ymin, xmax, ymax},  // right
      {xmin, ymax, xmax, ymax},  // top
      {xmin, ymin, xmin, ymax},  // left
  };
  for (const auto& side : sides) {
    Real sx = 0, sy = 0;
    if (SegmentIntersection(sx, sy, x1, y1, x2, y2, side[0], side[1], side[2], side[3])) {
      x = sx;
      y = sy;
      return true;
    }
  }
  return false;
}

bool ClipSegmentToRect(Real& x1, Real& y1, Real& x2, Real& y2, Real xmin, Real ymin, Real xmax,
                       Real ymax) {
  const bool in1 = PointInRect(x1, y1, xmin, ymin, xmax, ymax);
  const bool in2 = PointInRect(x2, y2, xmin, ymin, xmax, ymax);
  if (in1 && in2) return true;
  if (in1 || in2) {
    Real& ox = in1 ? x2 : x1;
    Real& oy = in1 ? y2 : y1;
    const Real ix = in1 ? x1 : x2;
    const Real iy = in1 ? y1 : y2;
    // Rounding may miss a crossing at the inside end itself: then the
    // segment shrinks to that end.
    if (!SegmentRectIntersection(ox, oy, x1, y1, x2, y2, xmin, ymin, xmax, ymax)) {
      ox = ix;
      oy = iy;
    }
    return true;
  }
  x1 = y1 = x2 = y2 = 0;
  return false;
}

bool SegmentPartInRect(Real x1, Real y1, Real x2, Real y2, Real xmin, Real ymin, Real xmax, Real ymax, Real& t0,
                       Real& t1) {
  t0 = 0, t1 = 1;
  const Real dx = x2 - x1, dy = y2 - y1;
  const Real p[4] = {-dx, dx, -dy, dy}, q[4] = {x1 - xmin, xmax - x1, y1 - ymin, ymax - y1};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;
      continue;
    }
    const Real r = q[k] / p[k];
    if (p[k] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  return true;
}

}  // namespace zeb
