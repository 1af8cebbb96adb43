#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/globals.h"
#include "base/vector2d.h"

namespace zeb {
namespace {

constexpr Real kPi = std::numbers::pi_v<Real>;

class Vector2dTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBaseGlobals(); }
};

#define EXPECT_AT(x, y, ex, ey)                                              \
  do {                                                                       \
    EXPECT_NEAR(static_cast<double>(x), static_cast<double>(ex), 1e-12);     \
    EXPECT_NEAR(static_cast<double>(y), static_cast<double>(ey), 1e-12);     \
  } while (0)

// Angle in [0, 2 pi).
Real Norm(Real a) {
  Real r = std::fmod(a, 2 * kPi);
  if (r < 0) r += 2 * kPi;
  return r > 2 * kPi - 1e-12L ? 0 : r;
}

TEST_F(Vector2dTest, DeterminantAndCramer) {
  EXPECT_EQ(Det2(1, 2, 3, 4), -2);
  Real x = 7, y = 7;
  EXPECT_TRUE(SolveLinear2x2(x, y, 2, 1, 5, 1, -1, 1));  // 2x + y = 5, x - y = 1
  EXPECT_AT(x, y, 2, 1);
  x = y = 7;
  EXPECT_FALSE(SolveLinear2x2(x, y, 1, 2, 3, 2, 4, 5));
  EXPECT_TRUE(x == 0 && y == 0);
  // A determinant so small that the solution overflows counts as singular.
  x = y = 7;
  EXPECT_FALSE(SolveLinear2x2(x, y, 1e-2000L, 0, 1e4000L, 0, 1e-2000L, 1));
  EXPECT_TRUE(x == 0 && y == 0);
}

TEST_F(Vector2dTest, LineAndSegmentIntersections) {
  Real x = 0, y = 0;
  LineLineIntersection(x, y, 0, 0, 2, 2, 0, 2, 2, 0);
  EXPECT_AT(x, y, 1, 1);
  LineLineIntersection(x, y, 3, 4, 5, 4, 0, 1, 1, 1);  // parallel: point 1
  EXPECT_TRUE(x == 3 && y == 4);
  EXPECT_TRUE(SegmentIntersection(x, y, 0, 0, 2, 2, 0, 2, 2, 0));
  // y = x meets y = 3 - x at (1.5, 1.5), outside the second segment.
  EXPECT_FALSE(SegmentIntersection(x, y, 0, 0, 4, 4, 3, 0, 2.5L, 0.5L));
  EXPECT_AT(x, y, 1.5, 1.5);
  EXPECT_TRUE(SegmentIntersection(x, y, 1, 0, 1, 2, 0, 1, 2, 1));  // vertical x horizontal
  EXPECT_AT(x, y, 1, 1);
}

TEST_F(Vector2dTest, IsBetweenBoundsInEitherOrderWithinTolerance) {
  for (auto [x, a, b, in] : {std::tuple<Real, Real, Real, bool>{5, 5, 5, true}, {5, 4, 6, true}, {5, 6, 4, true},
                             {6.0000000000001L, 4, 6, false}, {5 + 5e-13L, 5, 5, true}, {5 + 2e-12L, 5, 5, false}})
    EXPECT_EQ(IsBetween(x, a, b), in) << static_cast<double>(x);
}

TEST_F(Vector2dTest, PolarOffsetPointRotatesCounterClockwiseAboutTheCentre) {
  Real x = 0, y = 0;
  PolarOffsetPoint(x, y, 2, 1, 1, 1, kPi / 2);
  EXPECT_AT(x, y, 1, 2);
  PolarOffsetPoint(x, y, 3, 1, 1, 1, kPi);
  EXPECT_AT(x, y, -1, 1);
}

struct Arc {
  Real xc = -99, yc = -99, start = -99, end = -99, r = -99;
};

Arc ArcOf(Real x1, Real y1, Real x2, Real y2, Real dphi, bool keepOrder = false) {
  Arc a;
  (keepOrder ? GetArcCenterKeepOrder : GetArcCenter)(a.xc, a.yc, a.start, x1, y1, x2, y2, dphi, a.end, a.r);
  return a;
}

TEST_F(Vector2dTest, HalfCircleRunsCounterClockwiseThroughTheBottom) {
  const Arc a = ArcOf(0, 0, 2, 0, kPi);
  EXPECT_AT(a.xc, a.yc, 1, 0);
  EXPECT_AT(a.r, Norm(a.start), 1, kPi);
  EXPECT_AT(Norm(a.end), 0, 0, 0);
  const Real mid = a.start + Norm(a.end - a.start) / 2;
  EXPECT_AT(a.xc + a.r * std::cos(mid), a.yc + a.r * std::sin(mid), 1, -1);
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(Vector2dTest, QuarterArcsBothWays) {
  // Centre left of the chord for dphi > 0: (1, 1), radius sqrt 2.
  Arc a = ArcOf(0, 0, 2, 0, kPi / 2);
  EXPECT_AT(a.xc, a.yc, 1, 1);
  EXPECT_AT(a.r, 0, std::sqrt(2.0L), 0);
  EXPECT_AT(Norm(a.start), Norm(a.end), 5 * kPi / 4, 7 * kPi / 4);
  // dphi < 0: centre (1, -1); start belongs to point 2 unless the order is kept.
  a = ArcOf(0, 0, 2, 0, -kPi / 2);
  EXPECT_AT(a.xc, a.yc, 1, -1);
  EXPECT_AT(a.r, 0, std::sqrt(2.0L), 0);
  EXPECT_AT(Norm(a.start), Norm(a.end), kPi / 4, 3 * kPi / 4);
  a = ArcOf(0, 0, 2, 0, -kPi / 2, true);
  EXPECT_AT(a.xc, a.yc, 1, -1);
  EXPECT_AT(Norm(a.start), Norm(a.end), 3 * kPi / 4, kPi / 4);
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(Vector2dTest, FullCircleAndZeroAnglePostAMessageAndSetNothing) {
  Arc a = ArcOf(0, 0, 2, 0, 2 * kPi);
  EXPECT_TRUE(a.xc == -99 && a.yc == -99 && a.start == -99 && a.end == -99 && a.r == -99);
  ASSERT_EQ(G().ErrorMessageList.count, 1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Fehler in GetArcCenter (dphi = 6.283 ! ");
  a = ArcOf(0, 0, 2, 0, 0, true);
  EXPECT_EQ(a.r, -99);
  ASSERT_EQ(G().ErrorMessageList.count, 2);
  EXPECT_EQ(G().ErrorMessageList.slot[2].rfind("Fehler in GetArcCenter (dphi = ", 0), 0U);
}

TEST_F(Vector2dTest, ZeroChordUsesTheMidpoint) {
  const Arc a = ArcOf(1, 2, 1, 2, kPi / 2);
  ASSERT_EQ(G().ErrorMessageList.count, 1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "GetArcCenter l12=0");
  EXPECT_TRUE(a.xc == 1 && a.yc == 2 && a.r == 0);
  EXPECT_TRUE(std::isfinite(a.start) && std::isfinite(a.end));
}

TEST_F(Vector2dTest, RectangleSidesInOrderBottomRightTopLeft) {
  EXPECT_TRUE(PointInRect(0, 10, 0, 0, 10, 10));
  EXPECT_FALSE(PointInRect(10.5L, 5, 0, 0, 10, 10));
  Real x = 0, y = 0;
  EXPECT_TRUE(SegmentRectIntersection(x, y, -2, 4, 4, -2, 0, 0, 10, 10));  // bottom before left
  EXPECT_AT(x, y, 2, 0);
  EXPECT_TRUE(SegmentRectIntersection(x, y, 4, 12, 12, 4, 0, 0, 10, 10));  // right before top
  EXPECT_AT(x, y, 10, 6);
  EXPECT_TRUE(SegmentRectIntersection(x, y, -1, 7, 3, 11, 0, 0, 10, 10));  // top before left
  EXPECT_AT(x, y, 2, 10);
  x = y = 42;
  EXPECT_FALSE(SegmentRectIntersection(x, y, 20, 20, 30, 25, 0, 0, 10, 10));
  EXPECT_TRUE(x == 42 && y == 42);
}

TEST_F(Vector2dTest, ClipSegmentToRect) {
  Real x1 = 1, y1 = 2, x2 = 3, y2 = 4;
  EXPECT_TRUE(ClipSegmentToRect(x1, y1, x2, y2, 0, 0, 10, 10));
  EXPECT_TRUE(x1 == 1 && y1 == 2 && x2 == 3 && y2 == 4);
  x1 = 5, y1 = 5, x2 = 15, y2 = 5;
  EXPECT_TRUE(ClipSegmentToRect(x1, y1, x2, y2, 0, 0, 10, 10));
  EXPECT_TRUE(x1 == 5 && y1 == 5);
  EXPECT_AT(x2, y2, 10, 5);
  x1 = 5, y1 = -5, x2 = 5, y2 = 5;  // the outside end is the one replaced
  EXPECT_TRUE(ClipSegmentToRect(x1, y1, x2, y2, 0, 0, 10, 10));
  EXPECT_AT(x1, y1, 5, 0);
  EXPECT_TRUE(x2 == 5 && y2 == 5);
  x1 = -5, y1 = 5, x2 = 15, y2 = 5;  // both outside, even crossing: dropped
  EXPECT_FALSE(ClipSegmentToRect(x1, y1, x2, y2, 0, 0, 10, 10));
  EXPECT_TRUE(x1 == 0 && y1 == 0 && x2 == 0 && y2 == 0);
}

}  // namespace
}  // namespace zeb
