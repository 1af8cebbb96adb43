#include "graphics/hatch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/vector2d.h"
#include "graphics/cad.h"

namespace zeb {

namespace {

HatchStateRecord gHatch;

constexpr int kMaxPoints = 100;
constexpr long kMaxLines = 100000;
constexpr char kHatchError[] = "Schraffurfehler";

Real Rad(Real deg) { return deg * kPi / 180; }

// Round half to even.
Real RoundEven(Real x) { return std::nearbyint(x); }

// Appends one point; false (and "Schraffurfehler") when the list is full.
bool AppendPoint(Real x, Real y) {
  auto& h = gHatch;
  if (h.HatchPointCount < 0xFFFF) ++h.HatchPointCount;
  if (h.HatchPointCount >= 1 && h.HatchPointCount <= kMaxPoints) {
    h.HatchPoints[h.HatchPointCount] = HatchPoint{x, y};
    return true;
  }
  AddErrorMessage(kHatchError);
  return false;
}

Real EllipseRadius(Real a, Real b, Real t) {
  const Real c = std::cos(t), s = std::sin(t);
  const Real den = std::sqrt(b * b * c * c + a * a * s * s);
  return den == 0 ? 0 : a * b / den;
}

bool LoopAllowed(Real passes) { return std::isfinite(passes) && passes <= kMaxLines; }

}  // namespace

HatchStateRecord& HatchState() { return gHatch; }
void ResetHatchGlobals() { gHatch = HatchStateRecord{}; }

void ResetHatchContour() { gHatch.HatchPointCount = 0; }

void BeginHatchContour(Byte polylineFlags) {
  CadBeginPolyline(polylineFlags);
  gHatch.HatchPendingArc = 0;
  gHatch.HatchPointCount = 0;
}

void AddHatchPoint(Real x, Real y) { AppendPoint(x, y); }

void AddHatchSegment(Real x, Real y, Real arcToNext) {
  auto& h = gHatch;
  const Real arc = h.HatchPendingArc;
  if (h.HatchPointCount == 0 || arc == 0 || h.HatchPointCount > kMaxPoints) {
    AppendPoint(x, y);
  } else if (!std::isfinite(arc)) {
    AddErrorMessage(kHatchError);
    AppendPoint(x, y);
  } else {
    const HatchPoint p = h.HatchPoints[h.HatchPointCount];
    const Real n = std::max<Real>(3, RoundEven(std::fabs(arc) * 180 / kPi * 0.1L));
    if (p.x == x && p.y == y) {
      // An arc of radius 0: its points all repeat the last one.
      for (Real k = 0; k <= n; ++k) {
        if (!AppendPoint(x, y)) break;
      }
    } else if (std::fabs(std::sin(arc / 2)) < 1e-12L) {
      AppendPoint(x, y);
    } else {
      Real xc = 0, yc = 0, a1 = 0, a2 = 0, r = 0;
      GetArcCenterKeepOrder(xc, yc, a1, p.x, p.y, x, y, arc, a2, r);
      for (Real k = 0; k <= n; ++k) {
        const Real phi = a1 + arc * k / n;
        if (!AppendPoint(xc + r * std::cos(phi), yc + r * std::sin(phi))) break;
      }
    }
  }
  h.HatchPendingArc = arcToNext;
}

void AddHatchArcPoint(Real cx, Real cy, Real r, Real angle) {
  AppendPoint(cx + r * std::cos(angle), cy + r * std::sin(angle));
}

void AddHatchArcPoints(int n, Real cx, Real cy, Real r, Real a1, Real a2) {
  if (n < 0) return;
  if (n == 0) {
    AddHatchArcPoint(cx, cy, r, a1);
    return;
  }
  const Real step = (a2 - a1) / n;
  Real a = a1;
  for (int k = 0; k <= n; ++k) {
    if (!AppendPoint(cx + r * std::cos(a), cy + r * std::sin(a))) break;
    a += step;
  }
}

void EndHatchContour(int n, Real spacing, Real angle) {
  CadEndPolyline();
  HatchContour(n, spacing, angle);
}

void HatchContour(int n, Real spacing, Real angle) {
  HatchPolygon(n == 0 ? static_cast<int>(gHatch.HatchPointCount) : n, spacing, angle);
}

void SetHatchOutlineMode(std::uint16_t mode) { gHatch.HatchOutlineMode = mode; }

Real AngleToLineRange(Real angle) {
  Real a = angle;
  if (std::fabs(a) >= 360) a = std::fmod(a, 360.0L);
  if (a == 180 || a == -180 || a == 360 || a == -360) return 0;
  if (a == -90 || a == 270 || a == -270) return 90;
  while (a > 90) a -= 180;
  while (a < -90) a += 180;
  return a;
}

void QuickSort2(std::array<Real, 11>& d, std::array<int, 11>& p, int n) {
  if (n >= 11) {
    AddErrorMessage("Fatal  : QSORT2 error");
    G().AbortFlag = 1;
    return;
  }
  for (int k = 1; k <= 10; ++k) p[static_cast<std::size_t>(k)] = k;
  auto sort = [&](auto&& self, int left, int right) -> void {
    int i = left, j = right;
    const Real pivot = d[static_cast<std::size_t>((left + right) / 2)];
    do {
      while (d[static_cast<std::size_t>(i)] < pivot && i < right) ++i;
      while (pivot < d[static_cast<std::size_t>(j)] && j > left) --j;
      if (i <= j) {
        std::swap(d[static_cast<std::size_t>(i)], d[static_cast<std::size_t>(j)]);
        std::swap(p[static_cast<std::size_t>(i)], p[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) self(self, left, j);
    if (i < right) self(self, i, right);
  };
  if (n >= 2) sort(sort, 1, n);
}

void HatchPolygon(int n, Real spacing, Real angle) {
  auto& h = gHatch;
  if (n < 3) return;
  if (n > kMaxPoints) {
    AddErrorMessage("Fatal  : n schraff !");
    return;
  }
  auto& pt = h.HatchPoints;
  if (pt[static_cast<std::size_t>(n)].x != pt[1].x || pt[static_cast<std::size_t>(n)].y != pt[1].y) {
    pt[static_cast<std::size_t>(n + 1)] = pt[1];
    ++n;
  }
  Real a = AngleToLineRange(angle);
  if (a == 90 || a == -90) a = 89.9L;
  const Real t = std::tan(Rad(a));

  if (h.HatchOutlineMode == 1) CadSetLayer(5);
  if (h.HatchOutlineMode != 2) {
    CadBeginPolyline(0);
    for (int i = 1; i <= n; ++i) CadPolylineVertex(pt[static_cast<std::size_t>(i)].x, pt[static_cast<std::size_t>(i)].y, 0);
    CadEndPolyline();
  }

  Real cmax = -1e30L, cmin = 1e30L;
  for (int i = 1; i <= n; ++i) {
    const Real c = pt[static_cast<std::size_t>(i)].y - pt[static_cast<std::size_t>(i)].x * t;
    if (c > cmax) cmax = c;
    if (c < cmin) cmin = c;
  }
  if (angle == 0) return;  // outline only

  const Real step = spacing == 0 ? 0.1L * (cmax - cmin) : spacing / std::cos(Rad(a));
  if (h.HatchOutlineMode == 1 || h.HatchOutlineMode == 2) CadSetLayer(3);
  if (!std::isfinite(step) || !(step > 0) || !(cmax >= cmin) || cmin + step == cmin ||
      !LoopAllowed((cmax - cmin) / step)) {
    AddErrorMessage(kHatchError);
    return;
  }

  std::array<Real, 11> cx{}, cy{};
  // Line j at cmin + j step, not a running sum whose rounding would decide
  // whether a line through the last corner is drawn: none within a rounding
  // error of that corner, where it shrinks to a point.
  const Real last = cmax - 1e-9L * step;
  for (long line = 1; line <= kMaxLines + 1; ++line) {
    const Real c = cmin + static_cast<Real>(line) * step;
    if (!(c < last)) break;
    int k = 0;
    for (int i = 2; i <= n; ++i) {
      const HatchPoint p0 = pt[static_cast<std::size_t>(i - 1)], p1 = pt[static_cast<std::size_t>(i)];
      Real x = 0, y = 0;
      bool counts = false;
      if (std::fabs(p1.x - p0.x) >= 1e-6L) {
        const Real m = (p1.y - p0.y) / (p1.x - p0.x);
        const Real b = p0.y - m * p0.x;
        if (m != t) {
          x = (b - c) / (t - m);
          y = b + m * x;
          counts = std::min(p0.x, p1.x) < x && x < std::max(p0.x, p1.x);
        }
      } else {
        x = p0.x;
        y = c + x * t;
        counts = std::min(p0.y, p1.y) < y && y < std::max(p0.y, p1.y);
      }
      if (!counts) continue;
      if (k == 10) {
        AddErrorMessage("Fatal  : schraff schnittp");
        G().AbortFlag = 1;
        return;
      }
      ++k;
      cx[static_cast<std::size_t>(k)] = x;
      cy[static_cast<std::size_t>(k)] = y;
    }
    if (k >= 1) {
      int first = 1;
      Real minX = 1e32L;
      for (int j = 1; j <= k; ++j) {
        if (cx[static_cast<std::size_t>(j)] < minX) {
          minX = cx[static_cast<std::size_t>(j)];
          first = j;
        }
      }
      std::array<Real, 11> dist{};
      std::array<int, 11> perm{};
      for (int j = 1; j <= k; ++j) {
        dist[static_cast<std::size_t>(j)] = RoundToReal48(HypotExt(cx[static_cast<std::size_t>(j)] - cx[static_cast<std::size_t>(first)],
                                                                   cy[static_cast<std::size_t>(j)] - cy[static_cast<std::size_t>(first)]));
      }
      QuickSort2(dist, perm, k);
      for (int j = 1; j + 1 <= k; j += 2) {
        const auto u = static_cast<std::size_t>(perm[static_cast<std::size_t>(j)]);
        const auto v = static_cast<std::size_t>(perm[static_cast<std::size_t>(j + 1)]);
        CadLine(cx[u], cy[u], cx[v], cy[v]);
      }
    }
  }
}

// Shapes.

void HatchRectangle(Real x1, Real y1, Real x2, Real y2, Real spacing, Real angle) {
  auto& pt = gHatch.HatchPoints;
  pt[1] = {x1, y1};
  pt[2] = {x2, y1};
  pt[3] = {x2, y2};
  pt[4] = {x1, y2};
  if (spacing == 0) spacing = RoundEven(0.2L * std::max(std::fabs(x2 - x1), std::fabs(y2 - y1)));
  HatchContour(4, spacing, angle);
}

void HatchRectangleOriented(Real orientation, Real cx, Real cy, Real a, Real b, Real spacing, Real angle) {
  if (orientation == 0) {
    HatchRectangle(cx - a, cy, cx + a, cy + b, spacing, angle);
  } else if (orientation == 90) {
    HatchRectangle(cx - a, cy - b, cx, cy + b, spacing, angle);
  } else if (orientation == 180) {
    HatchRectangle(cx - a, cy - b, cx + a, cy, spacing, angle);
  } else if (orientation == 270 || orientation == -90) {
    HatchRectangle(cx, cy - b, cx + a, cy + b, spacing, angle);
  }
}

void HatchRoundedRectangle(Real x1, Real y1, Real x2, Real y2, Real r, Real spacing, Real angle) {
  const Real q = kPi / 2;
  BeginHatchContour(0);
  AddHatchSegment(x1, y1 + r, q);
  AddHatchSegment(x1 + r, y1, 0);
  AddHatchSegment(x2 - r, y1, q);
  AddHatchSegment(x2, y1 + r, 0);
  AddHatchSegment(x2, y2 - r, q);
  AddHatchSegment(x2 - r, y2, 0);
  AddHatchSegment(x1 + r, y2, q);
  AddHatchSegment(x1, y2 - r, 0);
  AddHatchSegment(x1, y1 + r, 0);
  EndHatchContour(0, spacing, angle);
}

void HatchOblong(Real x1, Real y1, Real x2, Real y2, Real spacing, Real angle) {
  HatchRoundedRectangle(x1, y1, x2, y2, 0.5L * std::min(x2 - x1, y2 - y1), spacing, angle);
}

void HatchEllipse(Real cx, Real cy, Real a, Real b, Real spacing) {
  BeginHatchContour(0);
  for (int k = 0; k <= 36; ++k) {
    const Real t = Rad(10.0L * k);
    const Real r = EllipseRadius(a, b, t);
    AddHatchSegment(cx + r * std::cos(t), cy + r * std::sin(t), 0);
  }
  EndHatchContour(0, spacing, 45);
  CadSetLayer(5);
  CadEllipse(cx, cy, a, b);
}

void HatchEllipseSector(Real cx, Real cy, Real a, Real b, Real spacing, Real start, Real end, Real angle) {
  BeginHatchContour(0);
  AddHatchSegment(cx, cy, 0);
  if (std::isfinite(start) && std::isfinite(end) && start + 5 != start && LoopAllowed((end - start) / 5 + 1)) {
    Real t = start;
    for (long k = 0; k <= kMaxLines; ++k) {
      const Real r = EllipseRadius(a, b, Rad(t));
      if (!AppendPoint(cx + r * std::cos(Rad(t)), cy + r * std::sin(Rad(t)))) break;
      if (!(t + 2.5L < end)) break;
      t += 5;
    }
  } else {
    AddErrorMessage(kHatchError);
  }
  AddHatchSegment(cx, cy, 0);
  EndHatchContour(0, spacing, angle);
}

void HatchAnnulus(Real cx, Real cy, Real outerR, Real innerR, Real spacing) {
  SetHatchOutlineMode(2);
  BeginHatchContour(0);
  AddHatchSegment(cx + outerR, cy, kPi);
  AddHatchSegment(cx - outerR, cy, kPi);
  AddHatchSegment(cx + outerR, cy, 0);
  AddHatchSegment(cx + innerR, cy, kPi);
  AddHatchSegment(cx - innerR, cy, kPi);
  AddHatchSegment(cx + innerR, cy, 0);
  EndHatchContour(0, spacing, 45);
  SetHatchOutlineMode(1);
  CadSetLayer(5);
  CadCircle(cx, cy, outerR);
  CadCircle(cx, cy, innerR);
}

void HatchRingSectorPoly(Real cx, Real cy, Real outerR, Real innerR, Real spacing, Real start, Real end,
                         Real angle) {
  SetHatchOutlineMode(1);
  ResetHatchContour();
  // Outer arc from start to end, inner arc back: a contour that does not
  // cross itself for any span.
  AddHatchArcPoints(20, cx, cy, outerR, Rad(start), Rad(end));
  AddHatchArcPoints(20, cx, cy, innerR, Rad(end), Rad(start));
  HatchContour(0, spacing, angle);
}

void HatchCircleSector(Real cx, Real cy, Real r, Real spacing, Real start, Real end, Real angle) {
  const auto mode = gHatch.HatchOutlineMode;
  if (!std::isfinite(r) || !(r > 0) || !std::isfinite(start) || !std::isfinite(end)) {
    AddErrorMessage(kHatchError);
    return;
  }
  if (spacing == 0) spacing = 0.2L * r;
  const Real span = std::fabs(end - start);
  if (mode == 1) CadSetLayer(5);
  if (mode == 0 || mode == 1) {
    if (std::fabs(start) >= 0.01L || std::fabs(end - 360) >= 0.01L) {
      CadArc(cx, cy, start, end, r);
    } else {
      CadCircle(cx, cy, r);
    }
  }
  if (std::fabs(span - 360) > 0.01L) {
    CadLine(cx, cy, cx + r * std::cos(Rad(start)), cy + r * std::sin(Rad(start)));
    CadLine(cx, cy, cx + r * std::cos(Rad(end)), cy + r * std::sin(Rad(end)));
  }
  if (mode == 1 || mode == 2) CadSetLayer(3);

  Real hAngle = angle;
  if (hAngle == 90 || hAngle == 270) hAngle = 89.9L;
  hAngle = AngleToLineRange(hAngle);
  if (hAngle == 90) hAngle = 89.9L;
  if (!std::isfinite(spacing) || !(spacing > 0) || !std::isfinite(hAngle) || !LoopAllowed(2 * r / spacing)) {
    AddErrorMessage(kHatchError);
    CadSetLayer(5);
    return;
  }
  const Real ux = std::cos(Rad(hAngle)), uy = std::sin(Rad(hAngle));  // along the lines
  const Real nx = -uy, ny = ux;                                       // towards the first line

  // The sector: counter-clockwise from start through the sweep.
  const bool full = span >= 360 - 0.01L;
  Real sweep = std::fmod(end - start, 360.0L);
  if (sweep < 0) sweep += 360;
  auto inSector = [&](Real x, Real y) {
    if (full) return true;
    Real rel = std::fmod(RadToDeg(std::atan2(y, x)) - start, 360.0L);
    if (rel < 0) rel += 360;
    return rel <= sweep;
  };
  const Real rays[2][2] = {{std::cos(Rad(start)), std::sin(Rad(start))}, {std::cos(Rad(end)), std::sin(Rad(end))}};

  for (long k = 1; static_cast<Real>(k) * spacing < 2 * r && k <= kMaxLines; ++k) {
    const Real d = r - static_cast<Real>(k) * spacing;
    const Real disc = r * r - d * d;
    if (!(disc > 0)) continue;
    const Real half = std::sqrt(disc);
    const Real x1 = d * nx - half * ux, y1 = d * ny - half * uy;
    const Real x2 = d * nx + half * ux, y2 = d * ny + half * uy;
    const Real dx = x2 - x1, dy = y2 - y1;
    // Cut the chord where it crosses a bounding radius.
    std::vector<Real> cuts{0, 1};
    if (!full) {
      for (const auto& e : rays) {
        const Real den = dx * e[1] - dy * e[0];
        if (den == 0) continue;
        const Real s = -(x1 * e[1] - y1 * e[0]) / den;
        const Real px = x1 + s * dx, py = y1 + s * dy;
        if (s > 0 && s < 1 && px * e[0] + py * e[1] >= 0) cuts.push_back(s);
      }
      std::sort(cuts.begin(), cuts.end());
    }
    auto draw = [&](Real a, Real b) {
      CadLine(cx + x1 + a * dx, cy + y1 + a * dy, cx + x1 + b * dx, cy + y1 + b * dy);
    };
    bool open = false;
    Real ps = 0, pe = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
      const Real a = cuts[i], b = cuts[i + 1], m = (a + b) / 2;
      if (b - a > 1e-12L && inSector(x1 + m * dx, y1 + m * dy)) {
        if (!open) ps = a;
        open = true;
        pe = b;
      } else if (open) {
        draw(ps, pe);
        open = false;
      }
    }
    if (open) draw(ps, pe);
  }
  CadSetLayer(5);
}

void HatchCircle(Real cx, Real cy, Real r, Real spacing) { HatchCircleSector(cx, cy, r, spacing, 0, 359.99999L, 45); }

void HatchedCurveProfile(Real x0, Real y0, Real d) {
  static constexpr Real kC[24] = {0,     0.043, 0.079, 0.129, 0.177, 0.221, 0.268, 0.321,
                                  0.379, 0.464, 0.564, 0.618, 0.714, 0.804, 0.846, 0.879,
                                  0.914, 0.936, 0.954, 0.968, 0.979, 0.986, 0.9964, 1.0};
  const Real h = d / 2, e = 0.15L * h;
  Real px[47], py[47];
  for (int i = 0; i <= 23; ++i) px[i] = x0 + h * kC[i];
  for (int i = 0; i <= 10; ++i) py[i] = y0 + e * i / 11;
  py[11] = y0 + e * 10.5L / 11;
  py[12] = y0 + e;
  for (int i = 13; i <= 23; ++i) py[i] = py[24 - i];
  for (int i = 24; i <= 46; ++i) {
    px[i] = px[46 - i];
    py[i] = 2 * y0 - py[i - 24];
  }
  auto& pt = gHatch.HatchPoints;
  for (int i = 0; i <= 46; ++i) pt[static_cast<std::size_t>(i + 1)] = {px[i], py[i]};
  HatchContour(47, 0, 45);
  if (gHatch.HatchOutlineMode == 1) CadSetLayer(5);
  CadMoveTo(px[0], py[0]);
  for (int i = 1; i <= 23; ++i) CadLineTo(x0 - (px[i] - x0), py[i]);
}

}  // namespace zeb
