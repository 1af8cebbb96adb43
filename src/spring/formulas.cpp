#include "spring/formulas.h"

#include <cmath>
#include <utility>
#include <string_view>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "spring/calc_common.h"

namespace zeb {

namespace {

using namespace calc_common;

Real Fatal(std::string_view text) {
  PostFatal(text);
  return 0.0L;
}

// Common checks of the rate routines; false after a fatal text.
bool RateInputsValid(Real Dm, Real d, Real n) {
  if (d <= 0.0L) { Fatal("Fatal  : d <= 0 !"); return false; }
  if (Dm <= 0.0L) { Fatal("Fatal  : Dm <= 0 !"); return false; }
  if (n <= 0.0L) { Fatal("Fatal  : n <= 0 !"); return false; }
  return true;
}

constexpr Real kRectX[] = {1.0L, 1.5L, 2.0L, 3.0L, 4.0L, 6.0L, 8.0L, 10.0L};
constexpr int kRectAlpha[] = {208, 231, 246, 267, 282, 299, 307, 313, 333};
constexpr int kRectBeta[] = {140, 196, 229, 263, 281, 299, 307, 313, 333};

}  // namespace

Real RectangleCoefficient(RectangleRow row, Real x) {
  const int* v = row == RectangleRow::kAlpha ? kRectAlpha : kRectBeta;
  x = std::fabs(x);
  if (x < 1.0L) x = x > 0.0L ? 1.0L / x : 10.0L;
  if (x >= 10.0L) return v[8] * 0.001L;
  int i = 0;
  while (i < 6 && x >= kRectX[i + 1]) ++i;
  return InterpolateLinear(kRectX[i], v[i] * 0.001L, kRectX[i + 1], v[i + 1] * 0.001L, x);
}

Real RectangleTorsionConstant(Real a, Real b) {
  if (a == 0.0L || b == 0.0L) return 0.0L;
  if (b < a) std::swap(a, b);
  return RectangleCoefficient(RectangleRow::kBeta, b / a) * b * a * a * a;
}

Real RectangleTorsionModulus(Real a, Real b) {
  if (a == 0.0L || b == 0.0L) return 0.0L;
  if (b < a) std::swap(a, b);
  return RectangleCoefficient(RectangleRow::kAlpha, b / a) * b * a * a;
}

Real EllipseTorsionConstant(Real a, Real b) {
  if (a == 0.0L || b == 0.0L) return 0.0L;
  Real A = MaxExt(a, b) / 2.0L, B = MinExt(a, b) / 2.0L;
  return kPi * A * A * A * B * B * B / (A * A + B * B);
}

Real EllipseTorsionModulus(Real a, Real b) {
  if (!(a > 0.0L && b > 0.0L)) return 0.0L;
  Real A = MaxExt(a, b) / 2.0L, B = MinExt(a, b) / 2.0L;
  return (kPi / 2.0L) * A * B * B;
}

Real TubePolarMoment(Real D, Real di) {
  return (D * D * D * D - di * di * di * di) * kPi / 32.0L;
}

Real TubeTorsionModulus(Real D, Real di) {
  if (D == 0.0L) return 0.0L;
  return 2.0L * TubePolarMoment(D, di) / D;
}

Real CrossSectionArea(int code, Real d, Real h, Real r, Real di) {
  switch (code) {
    case 1: return kPi * d * d / 4.0L;
    case 2: return kPi * d * h / 4.0L;
    case 3:
    case 4: return d * h;
    case 5: {
      Real half = MinExt(d, h) / 2.0L;
      return d * h - (4.0L - kPi) * half * half;
    }
    case 6: return d * h - (4.0L - kPi) * r * r;
    case 7: return kPi * (d * d - di * di) / 4.0L;
    default: return 0.0L;
  }
}

Real ShearModulusAtTemp(Real G, Real T) { return G * (3620.0L - T) / 3600.0L; }

Real StressCorrectionFactor(Real w) {
  if (w == 0.0L) return 1.0L;
  return 1.0L + 1.25L / w + 0.875L / (w * w) + 1.0L / (w * w * w);
}

Real SpringRateFactor(int code, Real Dm, Real d, Real di, Real h, Real n, Real G) {
  if (!RateInputsValid(Dm, d, n)) return 0.0L;
  Real base = kFourByPi * G / (Dm * Dm * Dm * n);
  switch (code) {
    case 2: return base * EllipseTorsionConstant(d, h);
    case 3:
    case 4: return base * RectangleTorsionConstant(d, h);
    case 7: return base * TubePolarMoment(d, di);
    default: return G * d * d * d * d / (8.0L * Dm * Dm * Dm * n);
  }
}

Real SpringRate(int code, Real Dm, Real d, Real di, Real h, Real n, Real G, Real factor) {
  if (!RateInputsValid(Dm, d, n)) return 0.0L;
  return SpringRateFactor(code, Dm, d, di, h, n, G) * factor;
}

Real MinimumGapSum(int kind, int loadType, Real n, Real d, Real Dm) {
  if (kind == 1) {
    if (d == 0.0L) return 0.0L;
    Real sa = (0.0015L * Dm * Dm / d + 0.1L * d) * n;
    return loadType == 2 ? sa * 1.5L : sa;
  }
  if (kind >= 2) {
    Real sa = 0.02L * (Dm + d) * n;
    return loadType == 2 ? sa * 2.0L : sa;
  }
  return 0.0L;
}

Real EndFormConstant(int endForm, int kind) {
  if (kind == 1) {
    if (endForm == 1) return 1.5L;
    if (endForm == 2 || endForm == 3) return 0.0L;
  } else if (kind >= 2) {
    if (endForm == 1) return 1.1L;
    if (endForm == 2 || endForm == 3) return -0.3L;
  }
  return 0.0L;
}

Real SolidLengthOfCoils(int kind, int endForm, Real /*Dm*/, Real d, Real nt, Real tolerance) {
  if (kind < 1 || endForm < 1 || endForm > 3) return 0.0L;
  return (nt + EndFormConstant(endForm, kind)) * (d + tolerance);
}

Real OuterDiameterIncrease(Real Dm, Real d, Real P) {
  if (Dm == 0.0L) return Fatal("Fatal  : Dm = 0 !");
  return 0.1L * (P * P - 0.8L * P * d - 0.2L * d * d) / Dm;
}

Real BucklingTravel(Real L0, Real nue, Real Dm, Real E, Real G) {
  if (E == 0.0L) return Fatal("Fatal  : E = 0 !");
  if (nue == 0.0L) return Fatal("Fatal  : nue = 0 !");
  if (L0 == 0.0L) return Fatal("Fatal  : l0 = 0 !");
  Real g = G / E;
  Real a = kPi * Dm / (nue * L0);
  Real a2 = a * a;
  if (g == 1.0L) return L0 * a2 / 6.0L;
  if (g + 0.5L == 0.0L) return 9999.0L;
  Real z = 1.0L - a2 * (1.0L - g) / (g + 0.5L);
  if (!(z > 0.0L)) return 9999.0L;
  return L0 * 0.5L / (1.0L - g) * (1.0L - std::sqrt(z));
}

Real NaturalFrequency(Real m, Real R) {
  if (m <= 0.0L || R <= 0.0L) return 0.0L;
  return 500.0L * std::sqrt(R / m);
}

}  // namespace zeb
