#include <cmath>

#include "base/vector2d.h"
#include "drawings/figures.h"
#include "drawings/production.h"
#include "graphics/cad.h"

namespace zeb {

namespace {

// The cut rising wire and the three centre lines every sketch ends with.
void CommonEnd(Real D, Real d, Real alpha, Real y0) {
  DrawInclinedWireSection(0, y0, D, d, alpha);
  CadSetLayer(1);
  for (Real x : {-D / 2, Real(0), D / 2}) CadLine(x, -2, x, 18);
  CadSetLayer(5);
}

// Without inclination the slope intersections do not exist.
bool Inclined(Real t) { return std::isfinite(t) && std::fabs(t) >= 1e-9L; }

}  // namespace

void DrawEndFormSketch1(Real D, Real d, Real alpha) {
  const Real t = std::tan(alpha), s = std::sin(alpha), c = std::cos(alpha), h = d / 2;
  const Real y0 = t * D / 2 + 0.75L * d;
  CadSetLayer(5);
  CadLine(-D / 2, d / 4, D / 2, d / 2);
  CadLine(-D / 2 - h * std::sqrt(Real(3)) / 2, 0, (D + d) / 2, 0);
  CadArc(-D / 2, -d / 4, 90, 150, h);
  CadArc(D / 2, 0, 0, 90, h);
  if (Inclined(t)) {
    const Real xT = D / 2 + h * s, yT = h * c;
    const Real xE = (t * xT + yT - (y0 - h / c)) / (2 * t), yE = yT + t * (xT - xE);
    CadLine(xT, yT, xE, yE);
  }
  CommonEnd(D, d, alpha, y0);
}

void DrawEndFormSketch2(Real D, Real d, Real alpha) {
  const Real t = std::tan(alpha), s = std::sin(alpha), c = std::cos(alpha), h = d / 2;
  const Real y0 = h / c + d;
  CadSetLayer(5);
  CadLine(0, 0, 0, d);
  CadLine(0, d, D / 2, d);
  CadArc(D / 2, h, -90, 90, h);
  CadLine(0, 0, D / 2, 0);
  const Real p1x = D / 2 + h * s, p1y = h * c + h;
  const Real p2x = -(D / 2 - h * s), p2y = h * c + h / c + d - t * D / 2;
  Real x = 0, y = 0;
  LineLineIntersection(x, y, p1x, p1y, p2x, p2y, 0, d, D / 2, t * D / 2 + d);
  CadLine(p1x, p1y, x, y);
  const Real q1x = -(D / 2 + h * s), q1y = h / c + d - t * D / 2 - h * c;
  const Real q2x = D / 2 - h * s, q2y = h - h * c;
  LineLineIntersection(x, y, q1x, q1y, q2x, q2y, 0, 0, 0, d);
  CadLine(q1x, q1y, x, y);
  CommonEnd(D, d, alpha, y0);
}

void DrawEndFormSketch3(Real D, Real d, Real alpha) {
  const Real t = std::tan(alpha), s = std::sin(alpha), c = std::cos(alpha), h = d / 2;
  const Real y0 = t * D / 2 + d, a = (D + d) / 2;
  CadSetLayer(5);
  const Real rx = -D / 2 - h * s, ry = d - h * c;
  Real x = 0, y = 0;
  LineLineIntersection(x, y, -a, d / 4, a, d / 2, a, -h, rx, ry);
  CadLine(x, y, rx, ry);
  CadLine(-a, d / 4, a, d / 2);
  CadLine(-a, 0, a, 0);
  if (Inclined(t)) {
    const Real S = y0 - h / c;
    CadLine(0, 0, -S / (2 * t), S / 2);
  }
  CadLine(-a, d / 4, -a, 0);
  CadLine(a, 0, a, d / 2);
  CommonEnd(D, d, alpha, y0);
}

}  // namespace zeb
