// Hatching: the hatch lines of every shape stay inside it and cover it
// (every point well inside lies within half a spacing of a hatch line),
// holes stay empty, sector pieces lie on the sector's side; failures and
// endless-loop guards.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/support_hang.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/hatch.h"
#include "graphics/support_cadrun.h"

namespace zeb::test {
namespace {

struct Seg {
  Real x1, y1, x2, y2;
  int layer;
};

// Notes the layer of every line: hatch lines on 3, outlines on 5.
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
constexpr Real kTol = 1e-9L;

// The box x0..x1, y0..y1 with corners rounded by r, shrunk by `shrink`.
Region Box(Real x0, Real y0, Real x1, Real y1, Real r = 0, Real shrink = 0) {
  return [=](Real x, Real y) {
    return std::hypot(x - std::clamp(x, x0 + r, x1 - r), y - std::clamp(y, y0 + r, y1 - r)) <= r - shrink + kTol;
  };
}

// Angle a (degrees) within the sector counter-clockwise from start to end.
bool InSector(Real a, Real start, Real end, Real tol) {
  Real sweep = std::fmod(end - start, 360.0L), rel = std::fmod(a - start, 360.0L);
  if (sweep < 0) sweep += 360;
  if (rel < 0) rel += 360;
  return rel <= sweep + tol || rel >= 360 - tol;
}

// Around (50, 50): distances rIn..rOut within the sector start..end; a deep
// region keeps 1.5 off the two bounding radii.
Region Polar(Real rIn, Real rOut, Real start = 0, Real end = 360, bool deep = false) {
  return [=](Real x, Real y) {
    const Real dx = x - 50, dy = y - 50, d = std::hypot(dx, dy);
    if (d > rOut + kTol || d < rIn - kTol) return false;
    if (end - start == 360) return true;
    for (Real a : {start, end}) {
      const Real ux = std::cos(a * kPi / 180), uy = std::sin(a * kPi / 180);
      if (deep && dx * ux + dy * uy > -1 && std::fabs(dx * uy - dy * ux) < 1.5L) return false;
    }
    Real angle = std::atan2(dy, dx) * 180 / kPi;
    return d < kTol || InSector(angle < 0 ? angle + 360 : angle, start, end, deep ? 0 : 0.01L);
  };
}

Region Ellipse(Real limit) {
  return [=](Real x, Real y) { return std::pow((x - 50) / 20, 2) + std::pow((y - 50) / 10, 2) <= limit + kTol; };
}

Real DistToSeg(Real px, Real py, const Seg& s) {
  const Real dx = s.x2 - s.x1, dy = s.y2 - s.y1, l2 = dx * dx + dy * dy;
  const Real t = std::clamp<Real>(l2 == 0 ? 0 : ((px - s.x1) * dx + (py - s.y1) * dy) / l2, 0, 1);
  return std::hypot(px - (s.x1 + t * dx), py - (s.y1 + t * dy));
}

// No endless loop over a bad spacing, angle or arc (hang bound; a hatch
// takes a millisecond).
template <class F>
bool EndsInTime(F f) {
  return test::EndsWithinHangBound(f);
}

class HatchTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    CadSettings().FooterOff = 1;
    layers_ = std::make_shared<LayerSink>();
    SetScreen(layers_);
    CadBeginOutput(3);
    CadDrawingHeader(0, 0, 160, 120);
    CadBeginEntities();
    SetHatchOutlineMode(1);
    Clear();
  }
  void TearDown() override {
    CadEndOutput();
    CadTest::TearDown();
  }
  // The screen's record, with what the CAD layer holds back drawn.
  LayerSink& Drawn() const {
    CadFlush();
    return *layers_;
  }
  void Clear() {
    Drawn().segs.clear();
    layers_->ClearCalls();
  }
  std::vector<Seg> Hatch() const { return Drawn().OnLayer(3); }
  std::size_t Outline() const { return Drawn().OnLayer(5).size(); }
  std::size_t Circles() const { return Drawn().Named("GrafCircle").size(); }

  // Every hatch line inside `inside`; every point of a 60 x 60 grid over
  // the box that lies in `deep` within half a spacing of a hatch line.
  void ExpectCoverage(Real spacing, const Region& inside, const Region& deep, Real x0, Real y0, Real x1, Real y1) {
    const auto hatch = Hatch();
    ASSERT_FALSE(hatch.empty());
    int outside = 0, gaps = 0;
    for (const auto& s : hatch)
      for (int k = 0; k <= 10; ++k) {
        const Real x = s.x1 + k / 10.0L * (s.x2 - s.x1), y = s.y1 + k / 10.0L * (s.y2 - s.y1);
        if (!inside(x, y) && ++outside <= 3)
          ADD_FAILURE() << "hatch point outside (" << static_cast<double>(x) << ", " << static_cast<double>(y) << ")";
      }
    for (int i = 0; i <= 60; ++i)
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
  // Hatch directions, reduced to -90..90 degrees, equal `degrees`.
  void ExpectDirection(Real degrees) {
    for (const auto& s : Hatch()) {
      Real dir = std::atan2(s.y2 - s.y1, s.x2 - s.x1) * 180 / kPi;
      dir += dir > 90 ? -180 : dir <= -90 ? 180 : 0;
      EXPECT_NEAR(static_cast<double>(dir), static_cast<double>(degrees), 1e-6);
    }
  }
  void Square(Real a, Real b) {
    auto& p = HatchState().HatchPoints;
    p[1] = {0, 0};
    p[2] = {a, 0};
    p[3] = {a, b};
    p[4] = {0, b};
  }

  std::shared_ptr<LayerSink> layers_;
};

TEST_F(HatchTest, AngleZeroDrawsTheOutlineOnlyAndSpacingZeroNineLines) {
  HatchRectangle(0, 0, 10, 10, 1, 0);
  EXPECT_TRUE(Hatch().empty());
  EXPECT_EQ(Outline(), 4u);  // one polyline of the four edges and the closing point
  // Automatic spacing: a tenth of the intercept range, nine lines (none
  // here meets a corner), whatever the size.
  for (Real size : {1.0L, 1000.0L}) {
    Clear();
    Square(10 * size, 4 * size);
    HatchContour(4, 0, 45);
    EXPECT_EQ(Hatch().size(), 9u);
  }
  // The tenth line would pass through the last corner: never a line of no
  // length there, whatever the rounding of the intercepts.
  for (Real size : {0.3L, 1.0L, 2.5L, 7.0L, 33.0L, 100.0L}) {
    for (Real angle : {30.0L, 45.0L, -45.0L, 60.0L}) {
      Clear();
      Square(10 * size, 4 * size);
      HatchContour(4, 0, angle);
      EXPECT_EQ(Hatch().size(), 9u) << static_cast<double>(size) << " " << static_cast<double>(angle);
      for (const Seg& h : Hatch())
        EXPECT_GT(std::hypot(h.x2 - h.x1, h.y2 - h.y1), 1e-6L * size) << static_cast<double>(size);
    }
  }
}

TEST_F(HatchTest, RectangleSpacingDefaults) {
  HatchRectangle(0, 0, 10, 4, 0, 45);  // Round(2.0) = 2
  const auto a = Hatch();
  ASSERT_GE(a.size(), 2u);
  // Neighbouring intercepts differ by 2 / cos 45.
  EXPECT_NEAR(static_cast<double>((a[1].y1 - a[1].x1) - (a[0].y1 - a[0].x1)), 2 / std::cos(kPi / 4), 1e-9);
  Clear();
  HatchRectangle(0, 0, 2, 1.6L, 0, 45);  // Round(0.4) = 0: automatic, nine lines
  EXPECT_EQ(Hatch().size(), 9u);
}

TEST_F(HatchTest, SteepAndObtuseAnglesAndTheirGuards) {
  // 90 and 270 become 89.9; 180 is the line of 0 degrees, yet only a given
  // 0 means "no hatch".
  const std::pair<Real, Real> angles[] = {{90, 89.9L}, {135, -45}, {270, 89.9L}, {-90, 89.9L}, {405, 45}, {180, 0}};
  for (auto [angle, direction] : angles) {
    SCOPED_TRACE(static_cast<double>(angle));
    Clear();
    EXPECT_TRUE(EndsInTime([&] { HatchRectangle(0, 0, 20, 10, 1, angle); }));
    ExpectCoverage(1, Box(0, 0, 20, 10), Box(1, 1, 19, 9), 0, 0, 20, 10);
    ExpectDirection(direction);
  }
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(HatchTest, NegativeOrTinySpacingStopsWithAMessage) {
  for (Real spacing : {-1.0L, 1e-9L, std::nanl("")}) {
    ClearErrorMessages();
    Clear();
    EXPECT_TRUE(EndsInTime([&] { HatchRectangle(0, 0, 20, 10, spacing, 45); }));
    EXPECT_TRUE(Hatch().empty());
    ASSERT_EQ(G().ErrorMessageList.count, 1);
    EXPECT_EQ(G().ErrorMessageList.slot[1], "Schraffurfehler");
  }
  ClearErrorMessages();
  HatchCircle(50, 50, 10, -1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Schraffurfehler");
}

TEST_F(HatchTest, HugeArcStopsAtTheFirstOverflow) {
  EXPECT_TRUE(EndsInTime([] {
    BeginHatchContour(0);
    AddHatchSegment(0, 0, 1e12L);
    AddHatchSegment(10, 0, 0);
  }));
  EXPECT_EQ(HatchState().HatchPointCount, 101);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Schraffurfehler");
  EndHatchContour(0, 1, 45);
  EXPECT_EQ(G().ErrorMessageList.slot[2], "Fatal  : n schraff !");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_TRUE(EndsInTime([] {
    ResetHatchContour();
    AddHatchArcPoints(2000000000, 0, 0, 5, 0, 1e12L);
  }));
}

TEST_F(HatchTest, ContoursOfFewerThanThreePointsDrawNothing) {
  for (int n = 0; n <= 2; ++n) {
    ResetHatchContour();
    for (int k = 0; k < n; ++k) AddHatchPoint(k, k * k);
    HatchContour(0, 1, 45);
  }
  EXPECT_TRUE(Drawn().Calls().empty());
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(HatchTest, HundredPointsCloseInTheSpareRecord) {
  ResetHatchContour();
  for (int k = 0; k < 100; ++k) AddHatchArcPoint(50, 50, 10, 2 * kPi * k / 100);
  HatchContour(0, 1, 30);
  EXPECT_EQ(HatchState().HatchPoints[101].x, HatchState().HatchPoints[1].x);
  EXPECT_EQ(Outline(), 100u);
  ExpectCoverage(1, Polar(0, 10), Polar(0, 8.5L), 40, 40, 60, 60);
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

TEST_F(HatchTest, ShapesAreCovered) {
  struct Shape {
    const char* name;
    std::function<void()> draw;
    Real spacing;
    Region inside, deep;
    std::array<Real, 4> box;
    int points = 0;  // the contour's, when given
  };
  const Real ringSag = 10 * std::cos(kPi / 18);  // inner circle of chords of 10 degrees
  const Shape shapes[] = {
      {"rounded", [] { HatchRoundedRectangle(0, 0, 20, 10, 3, 0.5L, 45); }, 0.5L, Box(0, 0, 20, 10, 3),
       Box(0, 0, 20, 10, 3, 0.6L), {0, 0, 20, 10}, 45},
      {"radius 0", [] { HatchRoundedRectangle(0, 0, 20, 10, 0, 1, 45); }, 1, Box(0, 0, 20, 10), Box(1, 1, 19, 9),
       {0, 0, 20, 10}},
      {"oblong", [] { HatchOblong(0, 0, 20, 10, 0.5L, 45); }, 0.5L, Box(0, 0, 20, 10, 5), Box(0, 0, 20, 10, 5, 0.6L),
       {0, 0, 20, 10}},
      {"ellipse", [] { HatchEllipse(50, 50, 20, 10, 1); }, 1, Ellipse(1), Ellipse(0.7L), {30, 40, 70, 60}},
      {"ellipse sector", [] { HatchEllipseSector(50, 50, 20, 10, 1, 0, 90, 135); }, 1,
       [](Real x, Real y) { return Ellipse(1)(x, y) && x >= 50 - kTol && y >= 50 - kTol; },
       [](Real x, Real y) { return Ellipse(0.7L)(x, y) && x > 51 && y > 51; }, {50, 50, 70, 60}},
      {"annulus", [] { HatchAnnulus(50, 50, 20, 10, 1); }, 1, Polar(ringSag, 20), Polar(11.5L, 18.5L),
       {30, 30, 70, 70}, 78},
      {"circle", [] { HatchCircle(50, 50, 10, 1); }, 1, Polar(0, 10), Polar(0, 9), {40, 40, 60, 60}},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    Clear();
    s.draw();
    ExpectCoverage(s.spacing, s.inside, s.deep, s.box[0], s.box[1], s.box[2], s.box[3]);
    if (s.points != 0) {
      EXPECT_EQ(HatchState().HatchPointCount, s.points);
    }
  }
  // The annulus: no polyline outline, its two circles; the circle: one
  // circle, no radii, whole chords.
  Clear();
  HatchAnnulus(50, 50, 20, 10, 1);
  EXPECT_EQ(HatchState().HatchOutlineMode, 1);
  EXPECT_EQ(Outline(), 0u);
  EXPECT_EQ(Circles(), 2u);
  Clear();
  HatchCircle(50, 50, 10, 1);
  EXPECT_EQ(Circles(), 1u);
  EXPECT_EQ(Outline(), 0u);
  for (const auto& s : Hatch()) {
    EXPECT_NEAR(static_cast<double>(std::hypot(s.x1 - 50, s.y1 - 50)), 10, 1e-9);
    EXPECT_NEAR(static_cast<double>(std::hypot(s.x2 - 50, s.y2 - 50)), 10, 1e-9);
  }
}

TEST_F(HatchTest, RingSectorsOfEverySpan) {
  for (auto [start, end] : {std::pair<Real, Real>{0, 180}, {30, 120}, {0, 270}, {200, 340}}) {
    SCOPED_TRACE(static_cast<double>(end));
    Clear();
    HatchRingSectorPoly(50, 50, 20, 10, 1, start, end, 45);
    const Real sag = std::cos(kPi * (end - start) / 180 / 40);
    ExpectCoverage(1, Polar(10 * sag, 20, start, end), Polar(11.5L, 18.5L, start, end, true), 30, 30, 70, 70);
  }
}

TEST_F(HatchTest, CircleSectorsOnTheRightSide) {
  const std::pair<Real, Real> sectors[] = {{0, 180}, {0, 90}, {90, 180}, {0, 270}, {45, 315}, {300, 60}, {180, 360}};
  for (auto [start, end] : sectors)
    for (Real angle : {45.0L, 135.0L, 90.0L, 0.0L}) {
      SCOPED_TRACE(std::to_string(static_cast<double>(start)) + ".." + std::to_string(static_cast<double>(end)) +
                   " at " + std::to_string(static_cast<double>(angle)));
      Clear();
      HatchCircleSector(50, 50, 10, 1, start, end, angle);
      EXPECT_EQ(Outline(), 2u);  // the two radii
      ExpectCoverage(1, Polar(0, 10, start, end), Polar(0, 9, start, end, true), 40, 40, 60, 60);
    }
}

TEST_F(HatchTest, OrientedRectangleHalvesAndProfile) {
  const std::pair<Real, std::array<Real, 4>> cases[] = {{0, {40, 50, 60, 60}},
                                                        {90, {40, 40, 50, 60}},
                                                        {180, {40, 40, 60, 50}},
                                                        {270, {50, 40, 60, 60}},
                                                        {-90, {50, 40, 60, 60}}};
  for (const auto& [orient, b] : cases) {
    Clear();
    HatchRectangleOriented(orient, 50, 50, 10, 10, 1, 45);
    ExpectCoverage(1, Box(b[0], b[1], b[2], b[3]), Box(b[0] + 1, b[1] + 1, b[2] - 1, b[3] - 1), 40, 40, 60, 60);
  }
  Clear();
  HatchRectangleOriented(45, 50, 50, 10, 10, 1, 45);
  EXPECT_TRUE(Drawn().segs.empty());
  HatchedCurveProfile(10, 10, 20);
  EXPECT_FALSE(Hatch().empty());
  EXPECT_EQ(HatchState().HatchPoints[47].x, 10);
}

TEST(HatchHelpers, AngleToLineRangeAndQuickSort2) {
  const std::pair<Real, Real> angles[] = {{135, -45}, {270, 90}, {-90, 90}, {180, 0},
                                          {-360, 0},  {350, -10}, {765, 45}, {-100, 80}};
  for (auto [angle, line] : angles) EXPECT_EQ(AngleToLineRange(angle), line) << static_cast<double>(angle);
  std::array<Real, 11> d{0, 5, 1, 4, 1, 3, 0, 0, 0, 0, 0};
  std::array<int, 11> p{};
  QuickSort2(d, p, 5);
  EXPECT_TRUE(d[1] == 1 && d[3] == 3 && d[5] == 5 && p[5] == 1 && p[4] == 3);
  EXPECT_TRUE((p[1] == 2 && p[2] == 4) || (p[1] == 4 && p[2] == 2));
}

}  // namespace
}  // namespace zeb::test
