#include "drawings/coils.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/format.h"
#include "drawings/figures.h"
#include "graphics/cad.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr Real kDeg = std::numbers::pi_v<Real> / 180;
constexpr Real kMaxCoils = 10000;

Real AtanDeg(Real x) { return std::atan(x) / kDeg; }
Real TanDeg(Real a) { return std::tan(a * kDeg); }
// Exact at multiples of 90 degrees.
Real CosDeg(Real a) {
  const Real r = std::fmod(a, 360);
  if (r == 90 || r == 270 || r == -90 || r == -270) return 0;
  return std::cos(a * kDeg);
}
Real SinDeg(Real a) {
  const Real r = std::fmod(a, 360);
  if (r == 0 || r == 180 || r == -180) return 0;
  return std::sin(a * kDeg);
}

// Whole numbers of the coil counts as the data block shows them, halves
// to even.
struct Counts {
  Real N1 = 0, N2 = 0, Nn = 0, Ne = 0;
};

Counts CoilCounts(bool section) {
  const SpringDataRecord& s = SpringData();
  Counts c;
  c.N1 = std::nearbyint(ShownCoils(s.EndCoils[1]));
  c.N2 = std::nearbyint(ShownCoils(s.EndCoils[2]));
  c.Nn = std::nearbyint(ShownCoils(s.n));
  c.Ne = section ? c.N1 + c.N2 : std::nearbyint(ShownCoils(s.EndCoils[1]) + c.N2);
  return c;
}

// Geometry of one side view.
struct Geometry {
  Real R = 0, w = 0, d = 0, Dm = 0, L = 0;
  Real P = 0, alpha = 0, alphaC = 0;
  Real s0 = 0, c0 = 0;    // closed-coil offsets (beta)
  Real s0p = 0, c0p = 0;  // offsets of the scaled tangent angle
  Real beta = 0;          // degrees
  Counts n;
  bool mirror = false;
  int endForm = 2;
  Real ec1 = 0;  // end coils at the lower end, unrounded
  Real ec2 = 0;
};

Geometry MakeGeometry(bool section) {
  const SpringDataRecord& s = SpringData();
  Geometry g;
  g.d = s.d;
  g.w = s.d / 2;
  g.Dm = s.Dm;
  g.R = s.Dm / 2;
  g.L = s.L;
  g.n = CoilCounts(section);
  g.endForm = s.EndForm;
  g.ec1 = s.EndCoils[1];
  g.ec2 = s.EndCoils[2];
  g.mirror = s.WindingDir == 2;
  const Real w2 = section ? s.h : s.d;
  g.P = CoilPitch(s.L, w2, section);
  g.alpha = AtanDeg((g.P / 2) / g.Dm);
  g.alphaC = AtanDeg((w2 / 2) / g.Dm);
  const Real root = std::sqrt(g.Dm * g.Dm + g.w * g.w);
  const Real beta = std::atan(g.w / root);
  g.beta = beta / kDeg;
  g.s0 = g.w * std::sin(beta);
  g.c0 = g.w * std::cos(beta);
  const Real betaP = std::atan(kDeg * g.w / root);
  g.s0p = g.d / 2 * std::sin(betaP);
  g.c0p = g.d / 2 * std::cos(betaP);
  return g;
}

// One piece in local coordinates at (x0, y0), optionally turned by 180
// degrees about its origin, mirrored about u = 0 for left-hand winding.
class Piece {
 public:
  Piece(const Geometry& g, Real x0, Real y0, bool turned = false) : g_(g), x0_(x0), y0_(y0), turned_(turned) {}

  Real X(Real u) const {
    if (turned_) u = -u;
    return x0_ + (g_.mirror ? -u : u);
  }
  Real Y(Real v) const { return y0_ + (turned_ ? -v : v); }
  void Line(Real u1, Real v1, Real u2, Real v2) const { CadLine(X(u1), Y(v1), X(u2), Y(v2)); }
  // Arc of radius w, counter-clockwise from a1 to a2 (degrees).
  void Arc(Real cu, Real cv, Real a1, Real a2) const {
    if (turned_) a1 += 180, a2 += 180;
    if (g_.mirror) {
      const Real b1 = 180 - a2, b2 = 180 - a1;
      a1 = b1, a2 = b2;
    }
    CadArc(X(cu), Y(cv), a1, a2, g_.w);
  }
  // Edge from (u1, v1) to where the line through it and (u2, v2) meets the
  // line through (u3, v3) and (u4, v4).
  // Lines nearly parallel (a pitch very flat beside the coil's diameter)
  // meet far outside the coil: the edge then ends at the coil's outer edge.
  void LineTo(Real u1, Real v1, Real u2, Real v2, Real u3, Real v3, Real u4, Real v4) const {
    Real x = 0, y = 0;
    IntersectLines(x, y, u1, v1, u2, v2, u3, v3, u4, v4);
    const Real edge = g_.R + g_.w;
    if (!std::isfinite(x) || !std::isfinite(y)) {
      x = u2, y = v2;
    } else if (std::fabs(x) > edge && x != u1) {
      const Real to = x > 0 ? edge : -edge;
      y = v1 + (y - v1) * (to - u1) / (x - u1);
      x = to;
    }
    Line(u1, v1, x, y);
  }
  void Section(Real cu, Real cv) const {
    const SpringDataRecord& s = SpringData();
    DrawWireCrossSection(s.CrossSection, X(cu), Y(cv), s.d, s.h, s.r, s.di);
  }
  void HalfSection(Real cu, Real cv, Real a1, Real a2) const {
    const SpringDataRecord& s = SpringData();
    if (turned_) a1 += 180, a2 += 180;
    if (g_.mirror) {
      const Real span = a2 - a1;
      a1 = std::fmod(180 - a2 + 720, 360);
      a2 = a1 + span;
    }
    DrawWireHalfSection(s.CrossSection, X(cu), Y(cv), s.d, s.h, s.di, a1, a2);
  }

 private:
  const Geometry& g_;
  Real x0_, y0_;
  bool turned_;
};

void DrawCoilSegment(const Geometry& g, Real x0, Real y0) {
  const Piece p(g, x0, y0);
  const Real R = g.R, w = g.w, B = g.beta;
  p.Arc(-R, 0, B + 90, -90 - B);
  p.Arc(R, w, B - 90, B + 90);
  p.Line(-R + g.s0, -g.c0, R + g.s0, w - g.c0);
  p.Line(-R - g.s0, g.c0, R - g.s0, w + g.c0);
}

void DrawProjectionCoils(const Geometry& g, int i, Real x0, Real y0, Real alpha) {
  const Piece p(g, x0, y0);
  const Real R = g.R, w = g.w, t = g.Dm * TanDeg(alpha);
  const Real s = w * SinDeg(alpha), c = w * CosDeg(alpha);
  const Real sp = g.s0p, cp = g.c0p;
  const int Nn = static_cast<int>(g.n.Nn);
  // Lines as two points each: E1, E2, E3, E4, E3p.
  const Real E1[4] = {R - s, -c, -R - s, t - c};
  const Real E2[4] = {R + s, c, -R + s, t + c};
  const Real E3[4] = {R - s, 2 * t + c, -R - s, t + c};
  const Real E4[4] = {R + s, 2 * t - c, -R + s, t - c};
  const Real E3p[4] = {R - s, c, -R - s, -t + c};
  Real lower[4], upper[4];
  if (g.ec1 >= 1) {
    const Real v[4] = {R - sp, cp, -R - sp, cp - w};
    std::copy(v, v + 4, lower);
  } else if (g.endForm == 1) {
    std::copy(E3p, E3p + 4, lower);
  } else {
    const Real v[4] = {R - sp, cp, -R, 0};
    std::copy(v, v + 4, lower);
  }
  if (g.n.N2 >= 1) {
    const Real v[4] = {R + sp, w + t - cp, -R + sp, t - cp};
    std::copy(v, v + 4, upper);
  } else if (g.endForm == 1) {
    std::copy(E4, E4 + 4, upper);
  } else {
    const Real v[4] = {R, t, -R + sp, t - cp};
    std::copy(v, v + 4, upper);
  }
  auto edgeTo = [&](const Real* from, bool fromSecond, const Real* to) {
    // The edge from its given end point towards the other one.
    const Real u1 = fromSecond ? from[2] : from[0], v1 = fromSecond ? from[3] : from[1];
    const Real u2 = fromSecond ? from[0] : from[2], v2 = fromSecond ? from[1] : from[3];
    p.LineTo(u1, v1, u2, v2, to[0], to[1], to[2], to[3]);
  };
  if (i == 1) edgeTo(E1, true, lower);
  if (i < Nn) {
    if (i > 1) {
      p.Arc(R, 0, alpha - 90, alpha + 90);
      edgeTo(E1, true, E3p);
    }
    p.Line(E3[0], E3[1], E3[2], E3[3]);
    p.Line(E4[0], E4[1], E4[2], E4[3]);
    p.Arc(-R, t, alpha + 90, alpha - 90);
    edgeTo(E2, false, E4);
  } else {
    p.Arc(R, 0, alpha - 90, alpha + 90);
    edgeTo(E2, false, upper);
    edgeTo(E1, true, E3p);
  }
}

void DrawProjectionEndCoil(const Geometry& g, int end, Real x0, Real y0, Real gamma) {
  const Piece p(g, x0, y0, end == 1);
  const Real R = g.R, w = g.w;
  p.Arc(R, 0, 0, gamma + 90);
  p.Line(-R, 0, R + w, 0);
  p.Line(-R, 0, R - g.s0, g.c0);
}

void DrawProjectionCoilsAlt(const Geometry& g, int end, Real x0, Real y0, Real gamma) {
  const Piece p(g, x0, y0, end == 1);
  const Real R = g.R, w = g.w, d = g.d;
  const Real sg = w * SinDeg(gamma), cg = w * CosDeg(gamma);
  const bool adjacent = end == 0 ? g.ec1 >= 1 : g.n.N2 >= 1;
  const Real se = adjacent ? g.s0p : sg, ce = adjacent ? g.c0p : cg;
  const Real th = g.Dm * TanDeg(gamma);
  p.Line(sg, w - cg, -sg, 2 * cg);
  if (adjacent) p.Line(0, w, -R - g.s0p, th / 2 + d - g.c0p);
  p.Line(sg, w - cg, R + se, th / 2 + w - ce);
  p.Line(-sg, 2 * cg, R - se, th / 2 + w + ce);
  p.Arc(R, th / 2 + w, gamma - 90, gamma + 90);
}

void DrawSectionPieceA(const Geometry& g, bool simple, Real x0, Real y0, Real alpha) {
  const Piece p(g, x0, y0);
  const Real R = g.R, t = g.Dm * TanDeg(alpha);
  p.Section(R, 0);
  p.Section(-R, t);
  if (!simple) {
    p.Line(R - g.s0p, -g.c0p, -R - g.s0p, t - g.c0p);
    p.Line(R + g.s0p, g.c0p, -R + g.s0p, t + g.c0p);
  }
}

void DrawSectionCoil(const Geometry& g, int end, bool simple, Real x0, Real y0, Real alpha) {
  const Piece p(g, x0, y0, end == 1);
  const Real R = g.R, w = g.w, t = g.Dm * TanDeg(alpha);
  const bool adjacent = (end == 0 ? g.ec1 : g.ec2) >= 1;
  const Real se = adjacent ? g.s0p : w * SinDeg(alpha), ce = adjacent ? g.c0p : w * CosDeg(alpha);
  p.HalfSection(R, 0, 0, 180);
  p.Section(-R, t);
  if (!simple) {
    p.Line(R + se, ce, -R + se, ce + t);
    Real x = 0, y = 0;
    IntersectLines(x, y, -R - se, t - ce, R - se, -ce, -R, 0, R, 0);
    p.Line(-R - se, t - ce, x, y);
    p.Line(R - w, 0, x, y);
  }
}

}  // namespace

Real ShownCoils(Real x) {
  Real shown = 0;
  if (!std::isfinite(x) || !TryTextToFloat(FloatToStrSig(x), shown)) return x;
  return shown;
}

void IntersectLines(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
  if (x1 == x2 && x3 == x4) {
    x = x1, y = y1;
    return;
  }
  if (x1 == x2) {
    const Real mB = (y3 - y4) / (x3 - x4);
    x = x1;
    y = y4 + (x - x4) * mB;
    return;
  }
  const Real mA = (y1 - y2) / (x1 - x2), bA = y1 - x1 * mA;
  if (x3 == x4) {
    x = x3;
    y = bA + x * mA;
    return;
  }
  const Real mB = (y3 - y4) / (x3 - x4), bB = y4 - x4 * mB;
  x = mB == mA ? 0 : (bA - bB) / (mB - mA);
  y = bA + x * mA;
}

Real CoilPitch(Real L, Real w2, bool section) {
  const SpringDataRecord& s = SpringData();
  const Counts n = CoilCounts(section);
  if (s.EndForm == 1) {
    // No active coil has no pitch (0 refuses the drawing).
    if (n.Ne <= 1) return n.Nn == 0 ? 0 : (L - w2) / n.Nn;
    return (L - (n.Ne * w2 + 1.5L * w2)) / (n.Nn - 0.5L);
  }
  return (L - n.Ne * w2) / (n.Nn - 0.5L);
}

bool SideViewDrawable(bool section) {
  const SpringDataRecord& s = SpringData();
  const Counts n = CoilCounts(section);
  const Real P = CoilPitch(s.L, section ? s.h : s.d, section);
  if (!std::isfinite(P) || P <= 0 || !(s.Dm > 0) || !(s.L > 0) || !std::isfinite(s.Dm) || !std::isfinite(s.L))
    return false;
  if (!(s.d > 0) || !std::isfinite(s.d) || !(s.h > 0) || !std::isfinite(s.h)) return false;
  const Real total = std::fabs(n.N1) + std::fabs(n.N2) + std::fabs(n.Nn);
  return std::isfinite(total) && total <= kMaxCoils;
}

void DrawSpringAxis(Real x0, Real y0, Real angle) {
  const Real L = SpringData().L;
  CadSetLayer(1);
  const Real a = 0.05L * L * CosDeg(angle), b = 0.05L * L * SinDeg(angle);
  CadLine(x0 - a, y0 - b, x0 + a, L + b);
}

void DrawSpringProjection() {
  const Geometry g = MakeGeometry(false);
  const SpringDataRecord& s = SpringData();
  const Real d = g.d, L = g.L, P = g.P;
  const int N1 = static_cast<int>(g.n.N1), N2 = static_cast<int>(g.n.N2), Nn = static_cast<int>(g.n.Nn);
  CadSetLayer(5);
  const bool rule1 = s.EndForm == 1 && g.n.Ne <= 1, rule2 = s.EndForm == 1 && !rule1;
  Real y = rule1 ? N1 * d + P / 4 + d / 2 : rule2 ? N1 * d + 0.75L * d : N1 * d;
  DrawSpringAxis(0, 0, 90);
  CadSetLayer(5);
  if (s.EndForm == 1) {
    if (N1 < 1) {
      DrawProjectionCoilsAlt(g, 0, 0, 0, g.alpha);
    } else {
      DrawProjectionCoilsAlt(g, 0, 0, 0, g.alphaC);
      for (int k = 1; k <= N1; ++k) DrawCoilSegment(g, 0, k * d + 0.25L * d);
    }
    for (int i = 1; i <= Nn; ++i, y += P) DrawProjectionCoils(g, i, 0, y, g.alpha);
    if (N2 < 1) {
      DrawProjectionCoilsAlt(g, 1, 0, L, g.alpha);
    } else {
      for (int k = 1; k <= N2; ++k) DrawCoilSegment(g, 0, L - 0.5L * d - k * d - 0.25L * d);
      DrawProjectionCoilsAlt(g, 1, 0, L, g.alphaC);
    }
  } else {
    DrawProjectionEndCoil(g, 0, 0, 0, g.alphaC);
    for (int k = 1; k <= N1; ++k) DrawCoilSegment(g, 0, k * d - 0.5L * d);
    for (int i = 1; i <= Nn; ++i, y += P) DrawProjectionCoils(g, i, 0, y, g.alpha);
    for (int k = 1; k <= N2; ++k) DrawCoilSegment(g, 0, L - k * d);
    DrawProjectionEndCoil(g, 1, 0, L, g.alphaC);
  }
}

void DrawSpringSection(bool simple) {
  const Geometry g = MakeGeometry(true);
  const SpringDataRecord& s = SpringData();
  const Real h = s.h, L = g.L, P = g.P;
  const int N1 = static_cast<int>(g.n.N1), N2 = static_cast<int>(g.n.N2), Nn = static_cast<int>(g.n.Nn);
  CadSetLayer(5);
  DrawSpringAxis(0, 0, 90);
  CadSetLayer(5);
  if (s.EndForm == 1) {
    if (N1 > 0) {
      for (int k = 1; k <= N1; ++k) DrawSectionPieceA(g, simple, 0, (k - 1) * h + 0.75L * h, g.alphaC);
      for (int i = 1; i <= Nn; ++i) DrawSectionPieceA(g, simple, 0, N1 * h + 0.75L * h + (i - 1) * P, g.alpha);
      for (int k = 1; k <= N2; ++k)
        DrawSectionPieceA(g, simple, 0, L - 0.25L * h - N2 * h + (k - 1) * h, g.alphaC);
    } else {
      const Real y0 = g.Dm / 2 * TanDeg(g.alpha) + h / 2;
      for (int i = 1; i <= Nn; ++i) DrawSectionPieceA(g, simple, 0, y0 + (i - 1) * P, g.alpha);
    }
  } else if (N1 > 0) {
    DrawSectionCoil(g, 0, simple, 0, 0, g.alphaC);
    for (int k = 1; k <= N1 - 1; ++k) DrawSectionPieceA(g, simple, 0, k * h, g.alphaC);
    for (int i = 1; i <= Nn; ++i) DrawSectionPieceA(g, simple, 0, N1 * h + (i - 1) * P, g.alpha);
    for (int k = 1; k <= N2 - 1; ++k) DrawSectionPieceA(g, simple, 0, L - N2 * h + h / 2 + (k - 1) * h, g.alphaC);
    DrawSectionCoil(g, 1, simple, 0, L, g.alphaC);
  } else {
    DrawSectionCoil(g, 0, simple, 0, 0, g.alpha);
    const int inner = static_cast<int>(std::nearbyint(ShownCoils(s.n) - 2));
    for (int k = 1; k <= inner; ++k) DrawSectionPieceA(g, simple, 0, k * P, g.alpha);
    DrawSectionCoil(g, 1, simple, 0, L, g.alpha);
  }
}

}  // namespace zeb
