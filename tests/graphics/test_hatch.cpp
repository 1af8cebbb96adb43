// Hatching: the hatch lines of every shape stay inside it and cover it
// (every point well inside lies within half a spacing of a hatch line),
// holes stay empty, sector pieces lie on the sector's side; failures and
// endless-loop guards.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/hatch.h"
#include "graphics/sink.h"
#include "graphics/support_checkers.h"

namespace zeb {
namespace {

struct Seg {
  Real x1, y1, x2, y2;
  int layer;
};

// Notes the layer of every line.
class LayerSink : public RecordingSink {
 public:
  void GrafLine(Real x1, Real y1, Real x2, Real y2) override {
    segs.push_back({x1, y1, x2, y2, Cad().CadLayer});
    RecordingSink::GrafLine(x1, y1, x2, y2);
  }
  std::vector<Seg> OnLayer(int layer) const {
    std::vector<Seg> r;
    for (const auto& s : segs)
      if (s.layer == layer) r.push_back(s);
    return r;
  }
  std::vector<Seg> segs;
};

using Region = std::function<bool(Real, Real)>;

Real DistToSeg(Real px, Real py, const Seg& s) {
  const Real dx = s.x2 - s.x1, dy = s.y2 - s.y1;
  const Real l2 = dx * dx + dy * dy;
  Real t = l2 == 0 ? 0 : ((px - s.x1) * dx + (py - s.y1) * dy) / l2;
  t = std::clamp<Real>(t, 0, 1);
  return std::hypot(px - (s.x1 + t * dx), py - (s.y1 + t * dy));
}

Real Deg(Real x, Real y) {
  Real a = std::atan2(y, x) * 180 / kPi;
  return a < 0 ? a + 360 : a;
}

// Angle a (degrees) within the sector counter-clockwise from start to end.
bool InSector(Real a, Real start, Real end, Real tol = 1e-6L) {
  Real sweep = std::fmod(end - start, 360.0L);
  if (sweep < 0) sweep += 360;
  Real rel = std::fmod(a - start, 360.0L);
  if (rel < 0) rel += 360;
  return rel <= sweep + tol || rel >= 360 - tol;
}

class HatchTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetCadSettings();
    ResetCadState();
    ResetHatchGlobals();
    G().TempFolder = test::TestOutputDir("hatch_tmp");
    CadSettings().FooterOff = 1;
    sink_ = std::make_shared<LayerSink>();
    SetScreen(sink_);
    CadBeginOutput(3);
    CadDrawingHeader(0, 0, 160, 120);
    CadBeginEntities();
    SetHatchOutlineMode(1);
    sink_->segs.clear();
    sink_->ClearCalls();
  }
  void TearDown() override {
    CadEndOutput();
    SetScreen(nullptr);
    ResetCadState();
    BaseTest::TearDown();
  }

  std::vector<Seg> Hatch() const { return sink_->OnLayer(3); }

  // Every hatch line inside `inside`; every grid point of `deep` within
  // half a spacing of a hatch line.
  void ExpectCoverage(Real spacing, const Region& inside, const Region& deep, Real x0, Real y0, Real x1, Real y1) {
    const auto hatch = Hatch();
    ASSERT_FALSE(hatch.empty());
    int outside = 0;
    for (const auto& s : hatch) {
      for (int k = 0; k <= 10; ++k) {
        const Real t = k / 10.0L;
        const Real x = s.x1 + t * (s.x2 - s.x1), y = s.y1 + t * (s.y2 - s.y1);
        if (!inside(x, y) && ++outside <= 3)
          ADD_FAILURE() << "hatch point outside (" << static_cast<double>(x) << ", " << static_cast<double>(y) << ")";
      }
    }
    int gaps = 0;
    for (int i = 0; i <= 60; ++i) {
      for (int j = 0; j <= 60; ++j) {
        const Real x = x0 + (x1 - x0) * i / 60, y = y0 + (y1 - y0) * j / 60;
        if (!deep(x, y)) continue;
        Real best = 1e30L;
        for (const auto& s : hatch) best = std::min(best, DistToSeg(x, y, s));
        if (best > spacing / 2 + 1e-6L && ++gaps <= 3)
          ADD_FAILURE() << "no hatch near (" << static_cast<double>(x) << ", " << static_cast<double>(y)
                        << "): " << static_cast<double>(best);
      }
    }
  }

  std::shared_ptr<LayerSink> sink_;
};

TEST_F(HatchTest, SquareAtFortyFiveDegrees) {
  auto& p = HatchState().HatchPoints;
  p[1] = {0, 0};
  p[2] = {10, 0};
  p[3] = {10, 10};
  p[4] = {0, 10};
  HatchContour(4, 1, 45);
  // Outline: one polyline of the four edges and the closing point.
  EXPECT_EQ(sink_->OnLayer(5).size(), 4u);
  // Intercepts -10 .. 10, step 1/cos 45: lines at -10 + k 1.414 for k = 1..14.
  EXPECT_EQ(Hatch().size(), 14u);
  auto square = [](Real x, Real y) { return x >= -1e-9L && x <= 10 + 1e-9L && y >= -1e-9L && y <= 10 + 1e-9L; };
  auto deep = [](Real x, Real y) { return x > 1 && x < 9 && y > 1 && y < 9; };
  ExpectCoverage(1, square, deep, 0, 0, 10, 10);
  for (const auto& s : Hatch()) EXPECT_NEAR(static_cast<double>((s.y2 - s.y1) - (s.x2 - s.x1)), 0, 1e-9);
}

TEST_F(HatchTest, AngleZeroDrawsTheOutlineOnlyAndSpacingZeroNineLines) {
  HatchRectangle(0, 0, 10, 10, 1, 0);
  EXPECT_EQ(Hatch().size(), 0u);
  EXPECT_EQ(sink_->OnLayer(5).size(), 4u);
  sink_->segs.clear();
  // Direct points and the automatic spacing: a tenth of the intercept range,
  // nine lines (none here meets a corner).
  for (Real size : {1.0L, 1000.0L}) {
    sink_->segs.clear();
    auto& p = HatchState().HatchPoints;
    p[1] = {0, 0};
    p[2] = {10 * size, 0};
    p[3] = {10 * size, 4 * size};
    p[4] = {0, 4 * size};
    HatchContour(4, 0, 45);
    EXPECT_EQ(Hatch().size(), 9u);
  }
}

TEST_F(HatchTest, RectangleSpacingDefaults) {
  HatchRectangle(0, 0, 10, 4, 0, 45);  // Round(2.0) = 2
  const auto a = Hatch();
  ASSERT_GE(a.size(), 2u);
  // Perpendicular distance of neighbouring lines: their intercepts differ by 2 / cos 45.
  const Real c0 = a[0].y1 - a[0].x1, c1 = a[1].y1 - a[1].x1;
  EXPECT_NEAR(static_cast<double>(c1 - c0), 2 / std::cos(kPi / 4), 1e-9);
  sink_->segs.clear();
  HatchRectangle(0, 0, 2, 1.6L, 0, 45);  // Round(0.4) = 0: automatic, nine lines
  EXPECT_EQ(Hatch().size(), 9u);
}

TEST_F(HatchTest, SteepAndObtuseAnglesAndTheirGuards) {
  auto rect = [](Real x, Real y) { return x >= -1e-9L && x <= 20 + 1e-9L && y >= -1e-9L && y <= 10 + 1e-9L; };
  auto deep = [](Real x, Real y) { return x > 1 && x < 19 && y > 1 && y < 9; };
  for (Real angle : {90.0L, 135.0L, 270.0L, -90.0L, 405.0L, 180.0L}) {
    sink_->segs.clear();
    const auto t0 = std::chrono::steady_clock::now();
    HatchRectangle(0, 0, 20, 10, 1, angle);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    ExpectCoverage(1, rect, deep, 0, 0, 20, 10);
    // 180 is the line of 0 degrees, yet only a given 0 means "no hatch".
    const Real want = angle == 135 ? -45 : angle == 405 ? 45 : angle == 180 ? 0 : 89.9L;
    for (const auto& s : Hatch()) {
      Real dir = std::atan2(s.y2 - s.y1, s.x2 - s.x1) * 180 / kPi;
      if (dir > 90) dir -= 180;
      if (dir <= -90) dir += 180;
      EXPECT_NEAR(static_cast<double>(dir), static_cast<double>(want), 1e-6) << static_cast<double>(angle);
    }
  }
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(HatchTest, NegativeOrTinySpacingStopsWithAMessage) {
  for (Real spacing : {-1.0L, 1e-9L, std::nanl("")}) {
    ClearErrorMessages();
    sink_->segs.clear();
    const auto t0 = std::chrono::steady_clock::now();
    HatchRectangle(0, 0, 20, 10, spacing, 45);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_TRUE(Hatch().empty());
    EXPECT_EQ(G().ErrorMessageList.count, 1);
    EXPECT_EQ(G().ErrorMessageList.slot[1], "Schraffurfehler");
  }
  ClearErrorMessages();
  HatchCircle(50, 50, 10, -1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Schraffurfehler");
}

TEST_F(HatchTest, HugeArcStopsAtTheFirstOverflow) {
  const auto t0 = std::chrono::steady_clock::now();
  BeginHatchContour(0);
  AddHatchSegment(0, 0, 1e12L);
  AddHatchSegment(10, 0, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  EXPECT_EQ(HatchState().HatchPointCount, 101);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Schraffurfehler");
  EndHatchContour(0, 1, 45);
  EXPECT_EQ(G().ErrorMessageList.slot[2], "Fatal  : n schraff !");
  EXPECT_EQ(G().AbortFlag, 0);
  const auto t1 = std::chrono::steady_clock::now();
  ResetHatchContour();
  AddHatchArcPoints(2000000000, 0, 0, 5, 0, 1e12L);
  EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::seconds(1));
}

TEST_F(HatchTest, ContoursOfFewerThanThreePointsDrawNothing) {
  for (int n = 0; n <= 2; ++n) {
    ResetHatchContour();
    for (int k = 0; k < n; ++k) AddHatchPoint(k, k * k);
    HatchContour(0, 1, 45);
  }
  EXPECT_TRUE(sink_->Calls().empty());
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(HatchTest, HundredPointsCloseInTheSpareRecord) {
  ResetHatchContour();
  for (int k = 0; k < 100; ++k) AddHatchArcPoint(50, 50, 10, 2 * kPi * k / 100);
  HatchContour(0, 1, 30);
  EXPECT_EQ(HatchState().HatchPoints[101].x, HatchState().HatchPoints[1].x);
  EXPECT_EQ(sink_->OnLayer(5).size(), 100u);
  auto disc = [](Real x, Real y) { return std::hypot(x - 50, y - 50) <= 10 + 1e-9L; };
  auto deep = [](Real x, Real y) { return std::hypot(x - 50, y - 50) < 8.5L; };
  ExpectCoverage(1, disc, deep, 40, 40, 60, 60);
}

TEST_F(HatchTest, MoreThanTenCrossingsEndTheHatching) {
  // A comb with six teeth: a horizontal-ish line meets it twelve times.
  ResetHatchContour();
  AddHatchPoint(0, 0);
  AddHatchPoint(12, 0);
  for (int k = 6; k >= 1; --k) {
    AddHatchPoint(2 * k, 10);
    AddHatchPoint(2 * k - 1, 10);
    AddHatchPoint(2 * k - 1, 2);
    AddHatchPoint(2 * k - 2, 2);
  }
  HatchContour(0, 0.5L, 1);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Fatal  : schraff schnittp");
}

TEST_F(HatchTest, RoundedRectangleAndOblong) {
  HatchRoundedRectangle(0, 0, 20, 10, 3, 0.5L, 45);
  EXPECT_EQ(HatchState().HatchPointCount, 45);
  auto rounded = [](Real x, Real y) {
    if (x < -1e-9L || x > 20 + 1e-9L || y < -1e-9L || y > 10 + 1e-9L) return false;
    const Real cx = std::clamp<Real>(x, 3, 17), cy = std::clamp<Real>(y, 3, 7);
    return std::hypot(x - cx, y - cy) <= 3 + 1e-9L;
  };
  auto deep = [](Real x, Real y) {
    const Real cx = std::clamp<Real>(x, 3, 17), cy = std::clamp<Real>(y, 3, 7);
    return std::hypot(x - cx, y - cy) < 2.4L;
  };
  ExpectCoverage(0.5L, rounded, deep, 0, 0, 20, 10);
  sink_->segs.clear();
  HatchRoundedRectangle(0, 0, 20, 10, 0, 1, 45);  // radius 0: repeated points
  auto rect = [](Real x, Real y) { return x >= -1e-9L && x <= 20 + 1e-9L && y >= -1e-9L && y <= 10 + 1e-9L; };
  ExpectCoverage(1, rect, [](Real x, Real y) { return x > 1 && x < 19 && y > 1 && y < 9; }, 0, 0, 20, 10);
  sink_->segs.clear();
  HatchOblong(0, 0, 20, 10, 0.5L, 45);
  auto oblong = [](Real x, Real y) { return std::hypot(x - std::clamp<Real>(x, 5, 15), y - 5) <= 5 + 1e-9L; };
  auto deepOblong = [](Real x, Real y) { return std::hypot(x - std::clamp<Real>(x, 5, 15), y - 5) < 4.4L; };
  ExpectCoverage(0.5L, oblong, deepOblong, 0, 0, 20, 10);
}

TEST_F(HatchTest, EllipseAndEllipseSector) {
  HatchEllipse(50, 50, 20, 10, 1);
  auto ell = [](Real x, Real y) { return std::pow((x - 50) / 20, 2) + std::pow((y - 50) / 10, 2) <= 1 + 1e-9L; };
  auto deep = [](Real x, Real y) { return std::pow((x - 50) / 20, 2) + std::pow((y - 50) / 10, 2) < 0.7L; };
  ExpectCoverage(1, ell, deep, 30, 40, 70, 60);
  sink_->segs.clear();
  HatchEllipseSector(50, 50, 20, 10, 1, 0, 90, 135);
  auto sector = [&](Real x, Real y) { return ell(x, y) && x >= 50 - 1e-9L && y >= 50 - 1e-9L; };
  auto deepSector = [&](Real x, Real y) { return deep(x, y) && x > 51 && y > 51; };
  ExpectCoverage(1, sector, deepSector, 50, 50, 70, 60);
}

TEST_F(HatchTest, AnnulusLeavesTheHoleEmpty) {
  HatchAnnulus(50, 50, 20, 10, 1);
  EXPECT_EQ(HatchState().HatchPointCount, 78);
  EXPECT_EQ(HatchState().HatchOutlineMode, 1);
  // No polyline outline; the two circles on layer 5.
  EXPECT_EQ(sink_->OnLayer(5).size(), 0u);
  EXPECT_EQ(sink_->Named("GrafCircle").size(), 2u);
  const Real sag = std::cos(kPi / 18);  // chords of 10 degrees
  auto ring = [&](Real x, Real y) {
    const Real d = std::hypot(x - 50, y - 50);
    return d <= 20 + 1e-9L && d >= 10 * sag - 1e-9L;
  };
  auto deep = [](Real x, Real y) {
    const Real d = std::hypot(x - 50, y - 50);
    return d < 18.5L && d > 11.5L;
  };
  ExpectCoverage(1, ring, deep, 30, 30, 70, 70);
}

TEST_F(HatchTest, RingSectorsOfEverySpan) {
  for (auto [start, end] : {std::pair<Real, Real>{0, 180}, {30, 120}, {0, 270}, {200, 340}}) {
    sink_->segs.clear();
    HatchRingSectorPoly(50, 50, 20, 10, 1, start, end, 45);
    const Real sag = std::cos(kPi * (end - start) / 180 / 40);
    auto inside = [&](Real x, Real y) {
      const Real d = std::hypot(x - 50, y - 50);
      return d <= 20 + 1e-9L && d >= 10 * sag - 1e-9L && InSector(Deg(x - 50, y - 50), start, end, 0.01L);
    };
    auto deep = [&](Real x, Real y) {
      const Real d = std::hypot(x - 50, y - 50);
      if (!(d < 18.5L && d > 11.5L)) return false;
      // Far enough from both bounding radii.
      for (Real a : {start, end}) {
        const Real ux = std::cos(a * kPi / 180), uy = std::sin(a * kPi / 180);
        if (std::fabs((x - 50) * uy - (y - 50) * ux) < 1.5L) return false;
      }
      return InSector(Deg(x - 50, y - 50), start, end);
    };
    SCOPED_TRACE(static_cast<double>(end));
    ExpectCoverage(1, inside, deep, 30, 30, 70, 70);
  }
}

TEST_F(HatchTest, CircleAndSectorsOnTheRightSide) {
  HatchCircle(50, 50, 10, 1);
  EXPECT_EQ(sink_->Named("GrafCircle").size(), 1u);
  EXPECT_EQ(sink_->OnLayer(5).size(), 0u);  // no radii
  auto disc = [](Real x, Real y) { return std::hypot(x - 50, y - 50) <= 10 + 1e-9L; };
  ExpectCoverage(1, disc, [](Real x, Real y) { return std::hypot(x - 50, y - 50) < 9; }, 40, 40, 60, 60);
  // Chords are whole: both ends on the circle.
  for (const auto& s : Hatch()) {
    EXPECT_NEAR(static_cast<double>(std::hypot(s.x1 - 50, s.y1 - 50)), 10, 1e-9);
    EXPECT_NEAR(static_cast<double>(std::hypot(s.x2 - 50, s.y2 - 50)), 10, 1e-9);
  }
  const std::pair<Real, Real> sectors[] = {{0, 180}, {0, 90}, {90, 180}, {0, 270}, {45, 315}, {300, 60}, {180, 360}};
  for (auto [start, end] : sectors) {
    for (Real angle : {45.0L, 135.0L, 90.0L, 0.0L}) {
      sink_->segs.clear();
      HatchCircleSector(50, 50, 10, 1, start, end, angle);
      SCOPED_TRACE(std::to_string(static_cast<double>(start)) + ".." + std::to_string(static_cast<double>(end)) +
                   " at " + std::to_string(static_cast<double>(angle)));
      // The two radii on layer 5.
      EXPECT_EQ(sink_->OnLayer(5).size(), 2u);
      auto inside = [&](Real x, Real y) {
        const Real d = std::hypot(x - 50, y - 50);
        return d <= 10 + 1e-9L && (d < 1e-9L || InSector(Deg(x - 50, y - 50), start, end, 1e-6L));
      };
      auto deep = [&](Real x, Real y) {
        const Real d = std::hypot(x - 50, y - 50);
        if (!(d < 9)) return false;
        for (Real a : {start, end}) {
          const Real ux = std::cos(a * kPi / 180), uy = std::sin(a * kPi / 180);
          const Real along = (x - 50) * ux + (y - 50) * uy;
          if (along > -1 && std::fabs((x - 50) * uy - (y - 50) * ux) < 1.5L) return false;
        }
        return InSector(Deg(x - 50, y - 50), start, end);
      };
      ExpectCoverage(1, inside, deep, 40, 40, 60, 60);
    }
  }
}

TEST_F(HatchTest, OrientedRectangleHalvesAndProfile) {
  const std::pair<Real, std::array<Real, 4>> cases[] = {
      {0, {40, 50, 60, 60}}, {90, {40, 40, 50, 60}}, {180, {40, 40, 60, 50}}, {270, {50, 40, 60, 60}}, {-90, {50, 40, 60, 60}}};
  for (const auto& [orient, box] : cases) {
    sink_->segs.clear();
    HatchRectangleOriented(orient, 50, 50, 10, 10, 1, 45);
    auto inside = [&](Real x, Real y) {
      return x >= box[0] - 1e-9L && x <= box[2] + 1e-9L && y >= box[1] - 1e-9L && y <= box[3] + 1e-9L;
    };
    auto deep = [&](Real x, Real y) { return x > box[0] + 1 && x < box[2] - 1 && y > box[1] + 1 && y < box[3] - 1; };
    ExpectCoverage(1, inside, deep, 40, 40, 60, 60);
  }
  sink_->segs.clear();
  HatchRectangleOriented(45, 50, 50, 10, 10, 1, 45);
  EXPECT_TRUE(sink_->segs.empty());
  HatchedCurveProfile(10, 10, 20);
  EXPECT_FALSE(Hatch().empty());
  EXPECT_EQ(HatchState().HatchPoints[47].x, 10);
}

TEST(HatchHelpers, AngleToLineRangeAndQuickSort2) {
  EXPECT_EQ(AngleToLineRange(135), -45);
  EXPECT_EQ(AngleToLineRange(270), 90);
  EXPECT_EQ(AngleToLineRange(-90), 90);
  EXPECT_EQ(AngleToLineRange(180), 0);
  EXPECT_EQ(AngleToLineRange(-360), 0);
  EXPECT_EQ(AngleToLineRange(350), -10);
  EXPECT_EQ(AngleToLineRange(765), 45);
  EXPECT_EQ(AngleToLineRange(-100), 80);
  std::array<Real, 11> d{0, 5, 1, 4, 1, 3, 0, 0, 0, 0, 0};
  std::array<int, 11> p{};
  QuickSort2(d, p, 5);
  EXPECT_EQ(d[1], 1);
  EXPECT_EQ(d[3], 3);
  EXPECT_EQ(d[5], 5);
  EXPECT_EQ(p[5], 1);
  EXPECT_EQ(p[4], 3);
  EXPECT_TRUE((p[1] == 2 && p[2] == 4) || (p[1] == 4 && p[2] == 2));
}

}  // namespace
}  // namespace zeb
