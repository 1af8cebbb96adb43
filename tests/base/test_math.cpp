#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/globals.h"
#include "base/mathx.h"

namespace zeb {
namespace {

class MathTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBaseGlobals(); }
};

constexpr Real kTol = 1e-15L;
constexpr Real kNaN = std::numeric_limits<Real>::quiet_NaN();

TEST_F(MathTest, FloorExtSubtractsOneForEveryNegative) {
  // Beyond 32 bits: no integer overflow, same rule.
  const std::pair<Real, Real> cases[] = {{-2, -3},   {-2.5L, -3},           {-0.5L, -1},       {0, 0},
                                         {2.5L, 2},  {1.999L, 1},           {-3e9L, -3000000001.0L},
                                         {3e9L + 0.5L, 3e9L},               {1e300L, 1e300L}};
  for (auto [x, floor] : cases) EXPECT_EQ(FloorExt(x), floor) << static_cast<double>(x);
}

TEST_F(MathTest, DecadeExponentAndLog10) {
  const std::pair<Real, int> cases[] = {
      {0, 0}, {5, 0}, {12.3L, 1}, {999, 2}, {0.5L, -1}, {-0.05L, -2}, {1000, 3},
      {std::nextafter(1000.0L, 0.0L), 2}, {1e25L, 25}, {std::nextafter(1e25L, 0.0L), 24},
      // The long double nearest 10^3000 lies below it (3000 integer digits).
      {1e3000L, 2999}, {std::nextafter(1e3000L, kPowerOverflow * 2), 3000},
      {std::numeric_limits<Real>::infinity(), 0}, {kNaN, 0}};
  for (auto [x, e] : cases) EXPECT_EQ(DecadeExponent(x), e) << static_cast<double>(x);
  for (auto [x, l] : {std::pair<Real, Real>{-1, 0}, {0, 0}, {1000, 3}}) EXPECT_EQ(Log10Ext(x), l);
}

TEST_F(MathTest, PowerChecked) {
  EXPECT_NEAR(PowerChecked(-8, 1.0L / 3, "x"), 2, kTol);
  ASSERT_EQ(G().ErrorMessageList.count, 1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "x (pow)");
  EXPECT_NEAR(PowerChecked(-8, 1.0L / 3), 2, kTol);  // no context: no message
  EXPECT_EQ(G().ErrorMessageList.count, 1);
  EXPECT_EQ(G().FatalErrorFlag, 0);

  EXPECT_EQ(PowerChecked(10, 4000), 1e3000L);
  EXPECT_EQ(PowerChecked(-10, 4000), 1e3000L);  // a negative base is guarded alike
  EXPECT_EQ(PowerChecked(10, -4000), 0);
  EXPECT_EQ(PowerChecked(0, -1), 0);
  EXPECT_EQ(PowerChecked(0, 5), 0);
  EXPECT_NEAR(PowerChecked(2, 10), 1024, 1e-12L);
  // Just inside the limit: e^2999 is still computed.
  const Real e2999 = PowerChecked(std::exp(1.0L), 2999);
  EXPECT_TRUE(std::isfinite(e2999) && e2999 < 1e1303L);
}

TEST_F(MathTest, IntPowerAndRounding) {
  EXPECT_EQ(IntPowerExt(0, 7), 1);
  EXPECT_EQ(IntPowerExt(3, 2), 8);
  EXPECT_EQ(IntPowerExt(-2, 2), 0.25L);
  EXPECT_EQ(IntPowerExt(10, -1), 1);
  EXPECT_NEAR(RoundToDecimals(2, 3.14159L), 3.14L, kTol);
  // Halves to even; far outside 32 bits returned whole, not wrapped.
  const std::tuple<int, Real, Real> cases[] = {{0, 2.5L, 2},     {0, 3.5L, 4},      {0, -2.5L, -2},
                                               {-1, 1234, 1230}, {2, 1e30L, 1e30L}, {0, -5e12L, -5e12L}};
  for (auto [n, x, r] : cases) EXPECT_EQ(RoundToDecimals(n, x), r) << n << " " << static_cast<double>(x);
}

TEST_F(MathTest, AnglesRotationsAndDistances) {
  EXPECT_NEAR(ArcTanXY(-1, 0), kPi, kTol);
  EXPECT_NEAR(ArcTanXY(0, -1), -kPi / 2, kTol);
  EXPECT_NEAR(ArcTanXY(0, 0), kPi / 2, kTol);
  EXPECT_NEAR(ArcTanXY(-1, -1), 5 * kPi / 4, kTol);
  EXPECT_NEAR(ArcTanYX(-1, 1), -kPi / 4, kTol);
  EXPECT_NEAR(RadToDeg(kPi), 180, 1e-13L);
  EXPECT_NEAR(DegToRad(90), kPi / 2, kTol);
  EXPECT_NEAR(TanExt(kPi / 4), 1, kTol);
  EXPECT_NEAR(AngleDifferenceDeg(350, 10), 20, 1e-12L);
  EXPECT_NEAR(AngleDifferenceDeg(10, 350), 340, 1e-12L);
  EXPECT_NEAR(AngleDifferenceDeg(-10, 10), 20, 1e-12L);
  Real rx = 0, ry = 0;
  RotatePoint(1, 0, kPi / 2, rx, ry);
  EXPECT_NEAR(rx, 0, kTol);
  EXPECT_NEAR(ry, 1, kTol);
  RotateTranslateDeg(1, 0, 90, 2, 3, rx, ry);
  EXPECT_NEAR(rx, 2, kTol);
  EXPECT_NEAR(ry, 4, kTol);
  ScaleRotateTranslateDeg(1, 1, 2, 3, 180, 1, 1, rx, ry);  // (2,3) -> (-2,-3) -> (-1,-2)
  EXPECT_NEAR(rx, -1, 1e-14L);
  EXPECT_NEAR(ry, -2, 1e-14L);
  EXPECT_EQ(HypotExt(3, 4), 5);
}

// cos and sin by the own reduction: the long double pi lies 5.0165576e-20
// above pi, so sin(k pi~) = (-1)^k k 5.0165576e-20 (k a power of two, so
// that k pi~ is exact); elsewhere the library's values within a few ulps,
// and sin^2 + cos^2 = 1.
// Whole powers of ten are exact, whatever the last bit of the library's pow
// (axis labels of decades: 10E8, not 99999999.99).
TEST_F(MathTest, WholePowersOfTenAreExact) {
  Real p = 1;
  for (int k = 0; k <= 27; ++k, p *= 10) {
    EXPECT_EQ(Pow10Ext(k), p) << k;
    EXPECT_EQ(Pow10Ext(-k), 1 / p) << k;
  }
  EXPECT_EQ(Pow10Ext(-27), 1e-27L);
  EXPECT_NEAR(static_cast<double>(Pow10Ext(0.5L)), 3.16227766016837933, 1e-15);
  EXPECT_NEAR(static_cast<double>(Pow10Ext(28) / 1e28L), 1, 1e-15);
}

TEST_F(MathTest, CosSinReducedMatchesTheLibrary) {
  if (const char* shift = std::getenv("ZEB1_ULP_SHIFT"); shift != nullptr && *shift != '\0')
    GTEST_SKIP() << "compares with the library's own last bits, which ZEB1_ULP_SHIFT moves";
  // gtest's NEAR compares doubles: these compare long doubles.
  const auto near = [](Real x, Real y, Real tol) { return std::fabs(x - y) <= tol; };
  const Real piAbove = 5.016557612668332023557e-20L;
  for (int k = -8; k <= 8; ++k) {
    Real c = 0, s = 0;
    if (k != 0 && (std::abs(k) & (std::abs(k) - 1)) == 0) {
      CosSinReduced(k * kPi, c, s);
      EXPECT_TRUE(near(s, (k % 2 == 0 ? 1 : -1) * k * piAbove, 1e-37L)) << k;
      EXPECT_EQ(c, k % 2 == 0 ? 1 : -1) << k;
    }
    CosSinReduced(k * kPi / 2 + kPi / 6, c, s);  // 30 degrees on from a quarter turn (as rounded)
    const Real half = 0.5L, root = 0.86602540378443864676L;
    const Real ce[4] = {root, -half, -root, half}, se[4] = {half, root, -half, -root};
    EXPECT_TRUE(near(c, ce[(k % 4 + 4) % 4], 2e-18L)) << k;
    EXPECT_TRUE(near(s, se[(k % 4 + 4) % 4], 2e-18L)) << k;
  }
  const Real ulp = std::numeric_limits<Real>::epsilon();
  for (int i = -200000; i <= 200000; ++i) {
    const Real a = 4 * kPi * i / 200000 + i * 1e-7L;
    Real c = 0, s = 0;
    CosSinReduced(a, c, s);
    ASSERT_TRUE(near(c, std::cos(a), 2 * ulp)) << static_cast<double>(a);
    ASSERT_TRUE(near(s, std::sin(a), 2 * ulp)) << static_cast<double>(a);
    ASSERT_TRUE(near(c * c + s * s, 1, 4 * ulp)) << static_cast<double>(a);
  }
  Real c = 0, s = 0;
  CosSinReduced(kNaN, c, s);
  EXPECT_TRUE(std::isnan(c) && std::isnan(s));
  CosSinReduced(1e30L, c, s);
  EXPECT_EQ(c, std::cos(1e30L));
}

TEST_F(MathTest, ComparisonsClampingInterpolation) {
  EXPECT_TRUE(SameFloat(1, 1.000009L));
  EXPECT_FALSE(SameFloat(1, 1.0001L));
  EXPECT_EQ(ClampExt(0, 10, 15), 10);  // (lo, hi, x)
  EXPECT_EQ(ClampExt(0, 10, -1), 0);
  EXPECT_EQ(ClampInt(0, 10, 7), 7);
  EXPECT_EQ(InterpolateLinear(0, 0, 10, 20, 2.5L), 5);
  EXPECT_EQ(InterpolateLinear(1, 3, 1, 3, 7), 3);  // equal points: y1
  EXPECT_EQ(InterpolateLinear(1, 3, 1, 4, 7), 0);  // x1 = x2 otherwise: 0
  EXPECT_NEAR(CelsiusToFahrenheit(-40), -40, 1e-13L);
  EXPECT_NEAR(FahrenheitToCelsius(-40), -40, 1e-13L);
}

TEST_F(MathTest, NiceAxisScale) {
  struct Case { Real min, max; int n; Real lower, upper, step; };
  const Case cases[] = {{0, 97, 10, 0, 100, 10},
                        {-10, 10, 4, -15, 10, 5},  // -10 lies on a step: one step lower
                        // Equal ends widen by 1: d = 2/4 * (1 - 1e-5), e = -1, f ~ 5.
                        {3, 3, 4, 2, 4, 0.5L}};
  for (const Case& c : cases) {
    Real lower = 0, upper = 0, step = 0;
    NiceAxisScale(c.min, c.max, c.n, lower, upper, step);
    EXPECT_NEAR(lower, c.lower, 1e-12L);
    EXPECT_NEAR(upper, c.upper, 1e-12L);
    EXPECT_NEAR(step, c.step, 1e-12L);
  }
}

TEST_F(MathTest, Bits) {
  EXPECT_TRUE(BitIsSet(5, 1) && !BitIsSet(5, 2) && BitIsSet(5, 3));
  EXPECT_FALSE(BitIsSet(-1, 0) || BitIsSet(-1, 33));  // outside 1..32
  std::int32_t w = 0;
  SetBit(w, 32, true);
  EXPECT_EQ(w, std::numeric_limits<std::int32_t>::min());
  EXPECT_TRUE(BitIsSet(w, 32));
  SetBit(w, 2, true);
  SetBit(w, 32, false);
  SetBit(w, 0, true);
  SetBit(w, 40, true);
  EXPECT_EQ(w, 2);
}

TEST_F(MathTest, RoundToReal48) {
  // 7.8 is stored as 83 9A 99 99 99 79: mantissa 0xF99999999A / 2^39, times 2^2.
  EXPECT_EQ(RoundToReal48(7.8L), static_cast<Real>(0xF99999999AULL) / (1ULL << 37));
  EXPECT_EQ(RoundToReal48(-1.5L), -1.5L);
  EXPECT_EQ(RoundToReal48(1e39L), 1e39L);  // beyond the range: unchanged
  EXPECT_EQ(RoundToReal48(1e-40L), 0);     // underflow
  EXPECT_TRUE(std::isnan(RoundToReal48(kNaN)));
}

}  // namespace
}  // namespace zeb
