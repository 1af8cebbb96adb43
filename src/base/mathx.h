// Small numeric routines on extended reals: guarded powers, logarithms,
// floor, angles, rotations, comparisons, clamping, axis scaling, bit
// operations and the conversions between metric and English units.
#pragma once
#include <cstdint>
#include <string_view>

#include "base/types.h"

namespace zeb {

inline constexpr Real kPi = 3.1415926535897932385L;
inline constexpr Real kInvPi = 0.31830988618379067154L;
inline constexpr Real kInv180 = 0.0055555555555555555554L;
inline constexpr Real kInv360 = 0.0027777777777777777777L;
inline constexpr Real kSameFloatTolerance = 1e-5L;
inline constexpr Real kPowerLimit = 3000.0L;      // on exponent * ln(base)
inline constexpr Real kPowerOverflow = 1e3000L;   // result above the limit

// Unit conversion factors.
inline constexpr Real kMmToInch = 0.039370078740157480314L;
inline constexpr Real kInchToMm = 25.4L;
inline constexpr Real kMpaToPsi = 145.037L;
inline constexpr Real kPsiToMpa = 0.0068947923633279783777L;
inline constexpr Real kNewtonToLbf = 0.22480902473348890118L;
inline constexpr Real kLbfToNewton = 4.44822L;
inline constexpr Real kNmmToLbfIn = 0.0088507490052554685505L;
inline constexpr Real kNPerMmToLbfPerIn = 5.7101492L;
inline constexpr Real kLbfPerInToNPerMm = 0.17512677251935903882L;
inline constexpr Real kFahrenheitPerCelsius = 1.8L;
inline constexpr Real kCelsiusPerFahrenheit = 0.55555555555555555556L;
inline constexpr Real kKgToLb = 2.2046226218487758072L;

Real TanExt(Real x);
// base^exponent. A negative base uses |base| and, when context is not
// empty, posts context + " (pow)". Base 0 gives 0. exponent * ln|base|
// above 3000 gives 1e3000, below -3000 gives 0.
Real PowerChecked(Real base, Real exponent, std::string_view context = {});
// x^n by multiplication; n < 0 gives 1 / x^|n|.
Real IntPowerExt(int n, Real x);
// round(x * 10^n) / 10^n, halves to even.
Real RoundToDecimals(int n, Real x);
Real HypotExt(Real a, Real b);
// Angle of the vector (x, y), -pi/2 .. 3pi/2.
Real ArcTanXY(Real x, Real y);
Real ArcTanYX(Real y, Real x);
Real RadToDeg(Real x);
Real DegToRad(Real x);
// Decimal logarithm; 0 for x <= 0.
Real Log10Ext(Real x);
// 10^x; whole x of at most 27 give the exact power.
Real Pow10Ext(Real x);
// Truncation toward zero, minus 1 for every negative x (whole ones too).
Real FloorExt(Real x);
// FloorExt(Log10Ext(|x|)); 0 for x = 0 and for infinity and NaN.
int DecadeExponent(Real x);
// Round lower and upper bounds and step for about n divisions.
void NiceAxisScale(Real min, Real max, int n, Real& lower, Real& upper, Real& step);
// cos and sin of an angle of a few turns at most (radians). The angle is
// reduced by quarter turns against pi/2 held in three parts, so the
// library's slow reduction for large arguments is never needed; results
// agree with std::cos and std::sin within an ulp or two.
void CosSinReduced(Real angle, Real& c, Real& s);
// Rotation by angle (radians) about the origin.
void RotatePoint(Real x, Real y, Real angle, Real& rx, Real& ry);
// Rotation by angleDeg (degrees), then the shift (dx, dy).
void RotateTranslateDeg(Real x, Real y, Real angleDeg, Real dx, Real dy, Real& rx, Real& ry);
// Scaling by (sx, sy), then as RotateTranslateDeg.
void ScaleRotateTranslateDeg(Real x, Real y, Real sx, Real sy, Real angleDeg, Real dx, Real dy,
                             Real& rx, Real& ry);
// |b - a| < 1e-5.
bool SameFloat(Real a, Real b);
Real MaxExt(Real a, Real b);
Real MinExt(Real a, Real b);
Real ClampExt(Real lo, Real hi, Real x);
std::int32_t MaxInteger(std::int32_t a, std::int32_t b);
std::int32_t MinInteger(std::int32_t a, std::int32_t b);
std::int32_t ClampInt(std::int32_t lo, std::int32_t hi, std::int32_t x);
void SwapExt(Real& a, Real& b);
Real AverageExt(Real a, Real b);
// y at x on the line through (x1, y1), (x2, y2); equal points give y1,
// x1 = x2 otherwise gives 0.
Real InterpolateLinear(Real x1, Real y1, Real x2, Real y2, Real x);
// Angle from a to b in degrees, 0 .. 360.
Real AngleDifferenceDeg(Real a, Real b);
// x through the 6-byte real and back. Values the 6-byte real cannot hold
// (too large, infinity, NaN) are returned as they are; underflow gives 0.
Real RoundToReal48(Real x);
// Bits numbered from 1 (bit 1 = value 1) to 32; others are never set.
bool BitIsSet(std::int32_t word, int n);
void SetBit(std::int32_t& word, int n, bool flag);

// Unit conversions (metric base unit <-> English unit).
Real InchToMm(Real x);
Real MmToInch(Real x);
Real PsiToMpa(Real x);
Real MpaToPsi(Real x);
Real NmmToLbfIn(Real x);
Real NPerMmToLbfPerIn(Real x);
Real LbfPerInToNPerMm(Real x);
Real NewtonToLbf(Real x);
Real LbfToNewton(Real x);
Real CelsiusToFahrenheit(Real x);
Real FahrenheitToCelsius(Real x);
Real KgToLb(Real x);
Real GramToLb(Real x);

}  // namespace zeb
