#include "base/mathx.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "base/messages.h"
#include "platform/real48.h"

namespace zeb {

Real TanExt(Real x) { return std::tan(x); }

namespace {
// Powers of ten are the common case (cycle counts): their logarithm once.
Real LnTen() {
  static const Real ln10 = std::log(Real{10});
  return ln10;
}
}  // namespace

Real PowerChecked(Real base, Real exponent, std::string_view context) {
  if (base < 0) {
    if (!context.empty()) AddErrorMessage(std::string(context) + " (pow)");
    base = -base;
  } else if (base == 0) {
    return 0;
  }
  const Real t = exponent * (base == 10 ? LnTen() : std::log(base));
  if (t > kPowerLimit) return kPowerOverflow;
  if (t < -kPowerLimit) return 0;
  return std::exp(t);
}

Real IntPowerExt(int n, Real x) {
  unsigned long long k = n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                                : static_cast<unsigned long long>(n);
  Real result = 1;
  Real factor = x;
  while (k != 0) {
    if (k & 1ULL) result *= factor;
    k >>= 1;
    if (k != 0) factor *= factor;
  }
  return n < 0 ? 1 / result : result;
}

Real RoundToDecimals(int n, Real x) {
  // Rounded in floating point: no integer range limit. Exact powers of ten
  // only multiply or divide.
  if (n >= 0) {
    const Real scale = IntPowerExt(n, 10);
    return std::rint(x * scale) / scale;
  }
  const Real scale = IntPowerExt(-n, 10);
  return std::rint(x / scale) * scale;
}

Real HypotExt(Real a, Real b) { return std::sqrt(a * a + b * b); }

Real ArcTanXY(Real x, Real y) {
  if (x == 0) return y >= 0 ? kPi / 2 : -kPi / 2;
  Real a = std::atan(y / x);
  if (x < 0) a += kPi;
  return a;
}

Real ArcTanYX(Real y, Real x) { return ArcTanXY(x, y); }

Real RadToDeg(Real x) { return x * 180 * kInvPi; }
Real DegToRad(Real x) { return x * kPi * kInv180; }

namespace {

constexpr Real kPow10[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
                           1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L,
                           1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
constexpr int kMaxExactPow10 = 27;

// True when l lies within a few rounding errors of the whole number k.
bool NearWhole(Real l, Real k) {
  const Real scale = std::fabs(k) > 1 ? std::fabs(k) : 1;
  return std::fabs(l - k) <= 64 * std::numeric_limits<Real>::epsilon() * scale;
}

}  // namespace

Real Log10Ext(Real x) {
  if (!(x > 0)) return 0;
  const Real l = std::log10(x);
  // Exact powers of ten give their exponent exactly (the library log is
  // off by an ulp for some).
  const Real k = std::rint(l);
  if (NearWhole(l, k) && std::fabs(k) <= kMaxExactPow10) {
    const int ik = static_cast<int>(k);
    if (ik >= 0 ? x == kPow10[ik] : x == 1 / kPow10[-ik]) return k;
  }
  return l;
}

Real Pow10Ext(Real x) {
  // Whole exponents give the exact power: the library's pow may miss it in
  // the last bit, and a decade label such as 10E8 must not turn into 99999999.99.
  if (std::fabs(x) <= kMaxExactPow10 && x == std::trunc(x)) {
    const int n = static_cast<int>(x);
    return n >= 0 ? kPow10[n] : 1 / kPow10[-n];
  }
  return std::pow(10.0L, x);
}

Real FloorExt(Real x) {
  const Real t = std::trunc(x);
  return x < 0 ? t - 1 : t;
}

namespace {

constexpr int kNoDecade = 1 << 30;

// DecadeExponent without a logarithm where exact powers of ten decide it:
// 1 <= a < 10^27, and a below 1 clearly away from every power of ten (a
// margin far above the rounding of one product and of the logarithm).
// kNoDecade otherwise.
int DecadeByPowers(Real a) {
  if (a >= 1) {
    if (a >= kPow10[kMaxExactPow10]) return kNoDecade;
    int e = 0;
    while (a >= kPow10[e + 1]) ++e;
    return e;
  }
  constexpr Real kMargin = 1e-15L;
  int j = 1;
  while (j < kMaxExactPow10 && a * kPow10[j] < 1) ++j;
  if (a * kPow10[j] >= 1 + kMargin && a * kPow10[j - 1] <= 1 - kMargin) return -j;
  return kNoDecade;
}

}  // namespace

int DecadeExponent(Real x) {
  if (x == 0 || !std::isfinite(x)) return 0;
  // Finite long doubles lie within 10^-4951 .. 10^4933.
  const Real a = std::fabs(x);
  if (const int e = DecadeByPowers(a); e != kNoDecade) return e;
  const Real l = Log10Ext(a);
  const Real k = std::rint(l);
  if (k >= 1 && NearWhole(l, k)) {
    // Close to a power of ten of 10 and more: decide exactly, so that the
    // exponent matches the digits of the integer part.
    const int ik = static_cast<int>(k);
    if (ik <= kMaxExactPow10) return a >= kPow10[ik] ? ik : ik - 1;
    const int digits = std::snprintf(nullptr, 0, "%.0Lf", a);
    if (digits > 0) return digits - 1;
  }
  return static_cast<int>(FloorExt(l));
}

void NiceAxisScale(Real min, Real max, int n, Real& lower, Real& upper, Real& step) {
  if (SameFloat(min, max)) {
    min -= 1;
    max += 1;
  }
  max -= (max - min) * 1e-5L;
  const Real d = (max - min) / n;
  const int e = DecadeExponent(d);
  // 10^e as an exact power: multiply or divide by 10^|e|.
  const Real decade = IntPowerExt(e < 0 ? -e : e, 10);
  const Real f = e < 0 ? d * decade : d / decade;
  Real mantissa = 10;
  if (f < 1.5L)
    mantissa = 1;
  else if (f < 3)
    mantissa = 2;
  else if (f < 8)
    mantissa = 5;
  step = e < 0 ? mantissa / decade : mantissa * decade;
  upper = (FloorExt(max / step) + 1) * step;
  lower = FloorExt(min / step) * step;
}

void CosSinReduced(Real angle, Real& c, Real& s) {
  // pi/2 = kP1 + kP2 + kP3 to 128 bits; kP1 and kP2 have few enough bits
  // that their products with a small quarter count are exact.
  constexpr Real kTwoOverPi = 0.63661977236758134307553505349005744813L;
  constexpr Real kP1 = 0x6487ed51p-30L, kP2 = 0x85a308dp-61L, kP3 = 0xc4c6628b80dc1cd1p-127L;
  if (!(std::fabs(angle) < 1e6L)) {
    c = std::cos(angle);
    s = std::sin(angle);
    return;
  }
  const Real k = std::nearbyint(angle * kTwoOverPi);
  const Real r1 = angle - k * kP1, w = -(k * kP2);
  Real y0 = r1 + w;  // with its rounding error e (two-sum)
  const Real b = y0 - r1, e = (r1 - (y0 - b)) + (w - b);
  Real y1 = e - k * kP3;
  const Real t = y0 + y1;
  y1 -= t - y0;
  y0 = t;
  const Real s0 = std::sin(y0), c0 = std::cos(y0);
  const Real sr = s0 + y1 * c0, cr = c0 - y1 * s0;  // the reduced angle is y0 + y1
  switch (static_cast<long long>(k) & 3) {
    case 0:
      c = cr, s = sr;
      break;
    case 1:
      c = -sr, s = cr;
      break;
    case 2:
      c = -cr, s = -sr;
      break;
    default:
      c = sr, s = -cr;
      break;
  }
}

void RotatePoint(Real x, Real y, Real angle, Real& rx, Real& ry) {
  const Real c = std::cos(angle);
  const Real s = std::sin(angle);
  rx = x * c - y * s;
  ry = y * c + x * s;
}

void RotateTranslateDeg(Real x, Real y, Real angleDeg, Real dx, Real dy, Real& rx, Real& ry) {
  RotatePoint(x, y, DegToRad(angleDeg), rx, ry);
  rx += dx;
  ry += dy;
}

void ScaleRotateTranslateDeg(Real x, Real y, Real sx, Real sy, Real angleDeg, Real dx, Real dy,
                             Real& rx, Real& ry) {
  RotateTranslateDeg(x * sx, y * sy, angleDeg, dx, dy, rx, ry);
}

bool SameFloat(Real a, Real b) { return std::fabs(b - a) < kSameFloatTolerance; }

Real MaxExt(Real a, Real b) { return a > b ? a : b; }
Real MinExt(Real a, Real b) { return a < b ? a : b; }
Real ClampExt(Real lo, Real hi, Real x) { return MinExt(MaxExt(x, lo), hi); }

std::int32_t MaxInteger(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
std::int32_t MinInteger(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
std::int32_t ClampInt(std::int32_t lo, std::int32_t hi, std::int32_t x) {
  return MinInteger(MaxInteger(x, lo), hi);
}

void SwapExt(Real& a, Real& b) { std::swap(a, b); }

Real AverageExt(Real a, Real b) { return (a + b) * 0.5L; }

Real InterpolateLinear(Real x1, Real y1, Real x2, Real y2, Real x) {
  if (x1 == x2) return y1 == y2 ? y1 : 0;
  return y1 + (y2 - y1) * (x - x1) / (x2 - x1);
}

Real AngleDifferenceDeg(Real a, Real b) {
  auto frac = [](Real v) { return v - std::trunc(v); };
  Real d = 360 * (frac(b * kInv360) - frac(a * kInv360));
  if (d < 0) d += 360;
  return d;
}

Real RoundToReal48(Real x) {
  Real48 r{};
  if (!RealToReal48(x, r)) return x;
  return Real48ToReal(r);
}

bool BitIsSet(std::int32_t word, int n) {
  if (n < 1 || n > 32) return false;
  return (static_cast<std::uint32_t>(word) >> (n - 1)) & 1U;
}

void SetBit(std::int32_t& word, int n, bool flag) {
  if (n < 1 || n > 32) return;
  const std::uint32_t mask = 1U << (n - 1);
  std::uint32_t w = static_cast<std::uint32_t>(word);
  w = flag ? (w | mask) : (w & ~mask);
  word = static_cast<std::int32_t>(w);
}

Real InchToMm(Real x) { return x * kInchToMm; }
Real MmToInch(Real x) { return x * kMmToInch; }
Real PsiToMpa(Real x) { return x * kPsiToMpa; }
Real MpaToPsi(Real x) { return x * kMpaToPsi; }
Real NmmToLbfIn(Real x) { return x * kNmmToLbfIn; }
Real NPerMmToLbfPerIn(Real x) { return x * kNPerMmToLbfPerIn; }
Real LbfPerInToNPerMm(Real x) { return x * kLbfPerInToNPerMm; }
Real NewtonToLbf(Real x) { return x * kNewtonToLbf; }
Real LbfToNewton(Real x) { return x * kLbfToNewton; }
Real CelsiusToFahrenheit(Real x) { return x * kFahrenheitPerCelsius + 32; }
Real FahrenheitToCelsius(Real x) { return (x - 32) * kCelsiusPerFahrenheit; }
Real KgToLb(Real x) { return x * kKgToLb; }
Real GramToLb(Real x) { return x * 0.001L * kKgToLb; }

}  // namespace zeb
