#include "drawings/figures.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "base/format.h"
#include "graphics/cad.h"
#include "graphics/hatch.h"

namespace zeb {

namespace {

constexpr Real kDeg = std::numbers::pi_v<Real> / 180;
Real gMarkSize = 0;

}  // namespace

void DrawWireCrossSection(int code, Real cx, Real cy, Real w, Real h, Real r, Real di) {
  SetHatchOutlineMode(code == 2 ? 2 : 1);
  const Real small = 0.2L * std::min(h, w);
  switch (code) {
    case 1:
      HatchCircle(cx, cy, w / 2, 0.2L * w);
      break;
    case 2:
      HatchEllipse(cx, cy, w / 2, h / 2, small);
      break;
    case 3:
      HatchRectangle(cx - w / 2, cy - w / 2, cx + w / 2, cy + w / 2, 0.2L * w, 45);
      break;
    case 4:
      HatchRectangle(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, small, 45);
      break;
    case 5:
      HatchOblong(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, small, 45);
      break;
    case 6:
      HatchRoundedRectangle(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, r, small, 45);
      break;
    case 7:
      HatchAnnulus(cx, cy, w / 2, di / 2, w / 7);
      break;
    default:
      break;
  }
}

void DrawWireHalfSection(int code, Real cx, Real cy, Real w, Real h, Real di, Real start, Real end) {
  SetHatchOutlineMode(1);
  switch (code) {
    case 1:
      HatchCircleSector(cx, cy, w / 2, 0.2L * w, start, end, 45);
      break;
    case 2:
      HatchEllipseSector(cx, cy, w / 2, h / 2, 0.2L * std::min(h, w), start, end, 45);
      break;
    case 3:
    case 4:
    case 5:
    case 6:
      HatchRectangleOriented(std::nearbyint(start), cx, cy, w / 2, h / 2, 0.2L * std::min(h, w), 45);
      break;
    case 7:
      HatchRingSectorPoly(cx, cy, w / 2, di / 2, w / 7, start, end, 45);
      break;
    default:
      break;
  }
}

void DrawInclinedWirePiece(Real cx, Real cy, Real L, Real d, Real a) {
  const Real l = L / 2, h = d / 2, t = std::tan(a), s = std::sin(a), c = std::cos(a);
  CadSetLayer(5);
  CadLine(cx - l - h * s, cy - l * t + h * c, cx + l - h * s, cy + l * t + h * c);
  CadLine(cx + l + h * s, cy + l * t - h * c, cx - l + h * s, cy - l * t - h * c);
  const Real ad = a / kDeg;
  CadArc(cx + l, cy + l * t, ad - 90, ad + 90, h);
  CadArc(cx - l, cy - l * t, ad + 90, ad - 90, h);
}

void DrawInclinedWireSection(Real cx, Real cy, Real L, Real d, Real a) {
  const Real l = L / 2, h = d / 2, t = std::tan(a), s = std::sin(a), c = std::cos(a);
  DrawInclinedWirePiece(cx, cy, L, d, a);
  CadSetLayer(5);
  CadLine(cx + l + h * s, cy + l * t + h * c, cx - l + h * s, cy + 3 * l * t + h * c);
  // Without inclination the inner corner does not exist.
  if (std::fabs(t) >= 1e-9L) CadLine(cx + l - h / s, cy + l * t, cx - l - h * s, cy + 3 * l * t - h * c);
  HatchCircle(cx - l, cy + 3 * l * t, h, d / 4);
}

void DrawBoreSectionFigure(Real X, Real Y, Real B, Real A, Real v) {
  CadSetLayer(1);
  CadLine(X - A / 2, Y, X - A / 2, Y + B);
  CadLine(X + A / 2, Y, X + A / 2, Y + B);
  CadLine(X - 0.62L * A, Y + B, X + 0.62L * A, Y + B);
  CadLine(X - 0.62L * A, Y, X + 0.62L * A, Y);
  CadSetLayer(3);
  SetHatchOutlineMode(2);
  HatchRectangle(X - 0.62L * A, Y, X - A / 2, Y + B, 0, 45);
  HatchRectangle(X + A / 2, Y, X + 0.62L * A, Y + B, 0, 45);
  SetHatchOutlineMode(1);
  if (v > 0) {
    CadSetLayer(3);
    DimensionHorizontal(">= " + FloatToStrDec(1, v), X - A / 2, X + A / 2, Y + 1.0L);
  }
  CadSetLayer(5);
}

void DrawPinFigure(Real X, Real Y, Real B, Real A, Real v) {
  SetHatchOutlineMode(0);
  CadSetLayer(3);
  HatchedCurveProfile(X, Y + B, A);
  SetHatchOutlineMode(1);
  CadSetLayer(1);
  CadMoveTo(X + A / 2, Y + B);
  CadLineTo(X + A / 2, Y);
  CadLineTo(X - A / 2, Y);
  CadLineTo(X - A / 2, Y + B);
  if (v > 0) {
    CadSetLayer(3);
    CadVerticalLine(X - A / 2, Y + B, 8.0L);
    CadVerticalLine(X + A / 2, Y + B, 8.0L);
    DimensionHorizontal("<= " + FloatToStrDec(1, v), X - A / 2, X + A / 2, Y + B + 7.0L);
  }
  CadSetLayer(5);
}

void SetMarkSize(Real s) { gMarkSize = s; }

void DrawCircleMark() {
  const CadMarks mark;
  const CadPoint3 p = Cad().CadCurrentPoint;
  CadCircle(p.x, p.y, gMarkSize);
}

void DrawCrossMark() {
  const CadMarks mark;
  const CadPoint3 p = Cad().CadCurrentPoint;
  const Real s = gMarkSize;
  CadLine(p.x - s, p.y - s, p.x + s, p.y + s);
  CadLine(p.x - s, p.y + s, p.x + s, p.y - s);
}

void DrawHorizontalLines(int n, Real x, Real y, Real length, Real step) {
  for (int i = 1; i <= n; ++i) CadLine(x, y - i * step, x + length, y - i * step);
}

namespace {

// How far the middle of the text's ink lies from its start in the current
// style.
Real HalfTextLength(std::string_view text) {
  Real from, to;
  CadTextInk(text, from, to);
  return 0.5L * (from + to);
}

}  // namespace

void DimensionHorizontal(std::string_view text, Real x1, Real x2, Real y, Real width) {
  CadLine(x1, y, x2, y);
  CadArrowStd(x1, y, 0);
  CadArrowStd(x2, y, 180);
  CadTextStyle(2, 0, 2.0L, 2.0L);
  const Real half = HalfTextLength(text);
  if (width > 0 && 2 * half > width)
    CadTextFit(text, (x1 + x2 - width) / 2, y + 1.0L, width);
  else
    CadText(text, (x1 + x2) / 2 - half, y + 1.0L);
}

void DimensionHorizontalOutside(std::string_view text, Real x1, Real x2, Real y) {
  CadLine(x1, y, x1 - 5, y);
  CadLine(x2, y, x2 + 5, y);
  CadArrowStd(x1, y, 180);
  CadArrowStd(x2, y, 0);
  CadTextStyle(2, 0, 2.0L, 1.8L);
  CadText(text, (x1 + x2) / 2 - HalfTextLength(text), y + 1.5L);
}

void DimensionVertical(std::string_view text, Real x, Real y1, Real y2) {
  CadLine(x, y1, x, y2);
  CadArrowStd(x, y1, 90);
  CadArrowStd(x, y2, 270);
  CadTextStyle(2, 90, 2.0L, 1.8L);
  CadText(text, x - 1.5L, (y1 + y2) / 2 - HalfTextLength(text));
}

void DimensionVerticalOutside(std::string_view text, Real x, Real y1, Real y2) {
  CadLine(x, y1, x, y1 - 5);
  CadLine(x, y2, x, y2 + 5);
  CadArrowStd(x, y1, -90);
  CadArrowStd(x, y2, 90);
  CadTextStyle(2, 90, 2.0L, 1.8L);
  CadText(text, x + 4.0L, (y1 + y2) / 2 - HalfTextLength(text));
}

}  // namespace zeb
