// The 3D view: projection, the helix of the centre line as true 3-D lines,
// winding direction, resolution limits and the rotation dialog.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>

#include "base/globals.h"
#include "drawings/drawings.h"
#include "drawings/support_drawings.h"
#include "drawings/view3d.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "settings/config.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

constexpr double kDeg = std::numbers::pi / 180;

class View3DTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    ResetProjection3D();
    SpringDataRecord& s = SpringData();
    s.d = 2, s.TolWire = 0.05L, s.Dm = 20, s.n = 5, s.nt = 7, s.EndCoils = {2, 1, 1};
    s.Lc = 15, s.L0 = 60, s.Line3DResolution = 10, s.WindingDir = 1;
  }
  void TearDown() override {
    SetRotationDialog(nullptr);
    DrawingTest::TearDown();
  }
  std::vector<DxfEntity> Dxf17() {
    UseFileName("helix");
    DrawSpring3DView(1, 1, false);
    return ReadDxfEntities(dir() + "/helix.dxf");
  }
};

TEST_F(View3DTest, ProjectionOfTheAxes) {
  // Start matrix: (1, 0, 0) stays (1, 0); (0, 0, 1) goes to (-1, -1).
  EXPECT_EQ(1, Project3DX(1, 0, 0));
  EXPECT_EQ(0, Project3DY(1, 0, 0));
  EXPECT_EQ(-1, Project3DX(0, 0, 1));
  Config().Edit3DAngles = 0;
  RunToScreen([] {
    Setup3DView("", -12, 12, -12, 12, 0, 60, 0, 0, 0);
  });
  EXPECT_NEAR(0.96593, double(Project3DX(1, 0, 0)), 1e-5);
  EXPECT_NEAR(-0.25882, double(Project3DY(1, 0, 0)), 1e-5);
  EXPECT_NEAR(0, double(Project3DX(0, 1, 0)), 1e-12);
  EXPECT_NEAR(-0.86603, double(Project3DX(0, 0, 1)), 1e-5);
  EXPECT_NEAR(-0.5, double(Project3DY(0, 0, 1)), 1e-12);
  // Equal x and y angles fall back to the default view.
  Config().Default3DAngles = {0, 0, 0};
  RunToScreen([] {
    Setup3DView("", 0, 1, 0, 1, 0, 1, 0, 0, 0);
  });
  EXPECT_NEAR(-15 * kDeg, double(Config().Default3DAngles[0]), 1e-15);
}

TEST_F(View3DTest, DxfHoldsOnlyTheHelixAs3DLines) {
  const auto e = Dxf17();
  ASSERT_FALSE(e.empty());
  for (const auto& x : e) EXPECT_EQ("LINE", x.type);
  // w = d + tolerance, z0 = (Lc - w nt) / 2; the first line starts at (r, 0, z0).
  const double w = 2.05, z0 = (15 - w * 7) / 2;
  EXPECT_NEAR(10, e[0].Get(10), 1e-9);
  EXPECT_NEAR(0, e[0].Get(20), 1e-9);
  EXPECT_NEAR(z0, e[0].Get(30), 1e-6);
  const double dt = 10.0 / 360, coils = 1 + 5 + 1;
  EXPECT_NEAR(coils / dt, double(e.size()), 3);
  // The last point lies near L - z0.
  EXPECT_NEAR(60 - z0, e.back().Get(31), 0.5);
  for (const auto& x : e) EXPECT_NEAR(10, std::hypot(x.Get(11), x.Get(21)), 1e-6);
}

TEST_F(View3DTest, FlatWireRisesByItsHeight) {
  // Rectangular wire 6 x 4 lying flat: the coils stack by h = 4 as the
  // solid length does, so the helix spans L0 but for the tolerance.
  ASSERT_TRUE(test::LoadExample("rectangular.zeb"));
  const SpringDataRecord& s = SpringData();
  ASSERT_EQ(s.CrossSection, 4);
  ASSERT_LT(s.h, s.d);
  const auto e = Dxf17();
  ASSERT_FALSE(e.empty());
  const double z0 = double((s.Lc - (s.h + s.TolWire) * s.nt) / 2);
  EXPECT_NEAR(z0, e.front().Get(30), 1e-6);
  EXPECT_NEAR(double(s.L0) - z0, e.back().Get(31), 0.5);
  EXPECT_GT(z0, -double(s.TolWire * s.nt));
}

TEST_F(View3DTest, LeftHandMirrorsY) {
  const auto right = Dxf17();
  SpringData().WindingDir = 2;
  const auto left = Dxf17();
  ASSERT_EQ(right.size(), left.size());
  for (std::size_t k = 0; k < right.size(); ++k) {
    EXPECT_NEAR(right[k].Get(11), left[k].Get(11), 1e-9);
    EXPECT_NEAR(right[k].Get(21), -left[k].Get(21), 1e-9);
    EXPECT_NEAR(right[k].Get(31), left[k].Get(31), 1e-9);
  }
}

TEST_F(View3DTest, ResolutionIsBounded) {
  EXPECT_DOUBLE_EQ(2.0 / 360, double(CenterlineStep(0, 10)));
  EXPECT_DOUBLE_EQ(2.0 / 360, double(CenterlineStep(-5, 10)));
  EXPECT_DOUBLE_EQ(2.0 / 360, double(CenterlineStep(std::numeric_limits<Real>::quiet_NaN(), 10)));
  EXPECT_DOUBLE_EQ(0.1 / 360, double(CenterlineStep(1e-9L, 10)));
  EXPECT_DOUBLE_EQ(90.0 / 360, double(CenterlineStep(720, 10)));
  // At most 100,000 segments.
  EXPECT_DOUBLE_EQ(1e6 / 1e5, double(CenterlineStep(2, 1e6)));
  SpringData().EndCoils = {1e4 - SpringData().n, 5e3 - SpringData().n / 2, 5e3 - SpringData().n / 2};
  SpringData().nt = SpringData().EndCoils[0] + SpringData().n;
  SpringData().Line3DResolution = 1e-9L;
  UseFileName("many");
  DrawSpring3DView(5, 1, false);
  const std::string txt = ReadFileBytes(dir() + "/many.txt");
  std::size_t lines = 0;
  for (std::size_t p = txt.find("3D_LINE"); p != std::string::npos; p = txt.find("3D_LINE", p + 1)) ++lines;
  EXPECT_LE(lines, 100003u);
  EXPECT_GE(lines, 99997u);

  // More coils than a picture can show turn by turn: no file, a message.
  SpringData().EndCoils = {2e6, 1e6, 1e6};
  SpringData().nt = 2e6 + SpringData().n;
  UseFileName("toomany");
  ui().ExpectMessageBox("", "Zeichnung nicht m\xC3\xB6glich !");
  DrawSpring3DView(5, 1, false);
  EXPECT_FALSE(std::filesystem::exists(dir() + "/toomany.txt"));
}

TEST_F(View3DTest, RotationDialogButtonsAndEdits) {
  auto dialog = std::make_shared<ScriptedRotationDialog>();
  SetRotationDialog(dialog);
  auto& a = Config().Default3DAngles;
  dialog->Add(ScriptedRotationDialog::Step::XY);
  dialog->Add(ScriptedRotationDialog::Step::Ok);
  DrawSpring3DView(3, 1, false);
  EXPECT_EQ(1, dialog->shown);
  EXPECT_EQ((std::array<std::string, 3>{"-15", "90", "210"}), dialog->shownEdits[0]);
  EXPECT_NEAR(0, double(a[0]), 1e-15);
  EXPECT_NEAR(std::numbers::pi / 2, double(a[1]), 1e-15);
  EXPECT_NEAR(-2 * std::numbers::pi, double(a[2]), 1e-15);
  // z at -360 degrees vanishes: the helix is seen as a circle of radius Dm/2.
  EXPECT_EQ(0, Projection3D()[4]);
  EXPECT_EQ(0, Projection3D()[5]);
  dialog->Add(ScriptedRotationDialog::Step::Reset);
  dialog->Add(ScriptedRotationDialog::Step::Ok);
  DrawSpring3DView(3, 1, false);
  EXPECT_NEAR(-15 * kDeg, double(a[0]), 1e-15);
  EXPECT_NEAR(90 * kDeg, double(a[1]), 1e-15);
  EXPECT_NEAR(210 * kDeg, double(a[2]), 1e-15);
  // Cancel keeps the angles, sets the flag and still draws.
  sink().ClearCalls();
  dialog->Add(ScriptedRotationDialog::Step::Cancel);
  DrawSpring3DView(3, 1, false);
  EXPECT_EQ(1, G().AbortFlag);
  EXPECT_NEAR(-15 * kDeg, double(a[0]), 1e-15);
  EXPECT_GT(sink().Named("GrafLine").size(), 100u);
}

TEST_F(View3DTest, RotationEditsRoundAndClamp) {
  RotationLogic form;
  form.SetEdit(0, "44,5");
  form.LeaveEdit(0);
  EXPECT_EQ(44, form.Bar(0));
  form.SetEdit(0, "45.5");
  form.LeaveEdit(0);
  EXPECT_EQ(46, form.Bar(0));
  for (auto [text, bar] : {std::pair{"abc", 0}, {"nan", 0}, {"1e400", 360}, {"-1e400", -360}}) {
    form.SetEdit(1, text);
    form.LeaveEdit(1);
    EXPECT_EQ(bar, form.Bar(1)) << text;
    EXPECT_EQ(text, form.Edit(1));
  }
  form.SetEdit(2, "720");
  form.LeaveEdit(2);
  EXPECT_EQ(360, form.Bar(2));
  EXPECT_EQ("720", form.Edit(2));
  form.Ok();
  EXPECT_NEAR(45.5 * kDeg, double(Config().Default3DAngles[0]), 1e-15);
  EXPECT_LT(Config().Default3DAngles[1], -1e397L);  // as typed, in long double
  EXPECT_NEAR(720 * kDeg, double(Config().Default3DAngles[2]), 1e-15);
}

TEST_F(View3DTest, GoldenHelix) {
  SpringData().Line3DResolution = 30;
  for (int code : {1, 2, 5}) {
    UseFileName("view3d");
    DrawSpring3DView(code, 1, false);
    const char* ext = code == 1 ? ".dxf" : code == 2 ? ".igs" : ".txt";
    ExpectDrawingGolden(std::string("view3d") + ext, ReadFileBytes(dir() + "/view3d" + ext));
  }
}

}  // namespace
}  // namespace zeb::test
