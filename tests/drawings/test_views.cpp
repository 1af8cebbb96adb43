// The spring views against values worked by hand: pitch from the arc
// centres, start heights, rounding of the coil count, mirroring, the data
// block, refusals, the top view and the hatch spacing of the sections.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

#include "base/support_decimal.h"
#include "base/globals.h"
#include "drawings/coils.h"
#include "drawings/drawings.h"
#include "drawings/figures.h"
#include "drawings/length_dialog.h"
#include "drawings/support_drawings.h"
#include "graphics/cad.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

constexpr double kDeg = std::numbers::pi / 180;

class ViewTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    SpringDataRecord& s = SpringData();
    s.CrossSection = 1, s.d = s.h = 2, s.Dm = 20, s.De = 22, s.Di = 18;
    s.n = 5, s.nt = 7, s.EndCoils = {2, 1, 1}, s.EndForm = 2, s.WindingDir = 1;
    s.L0 = 60, s.L2 = 40, s.Lc = 14, s.L1 = 50, s.R = 2;
    s.DrawingName = "Feder", s.DrawingNo = "Nr 1";
  }
  void TearDown() override {
    SetInstalledLengthDialog(nullptr);
    DrawingTest::TearDown();
  }
  // Centre heights of the right arcs of the active coils (about x = R,
  // from alpha - 90 degrees).
  std::vector<double> RightArcHeights(double P) {
    const double R = SpringData().Dm / 2, alpha = std::atan(P / 2 / SpringData().Dm) / kDeg;
    std::vector<double> y;
    for (const SinkCall& c : sink().Named("GrafArc"))
      if (std::fabs(double(c.args[0]) - R) < 1e-9 && std::fabs(double(c.args[2]) - (alpha - 90)) < 1e-9)
        y.push_back(double(c.args[1]));
    std::sort(y.begin(), y.end());
    return y;
  }
  void ScreenView(int kind) {
    sink().ClearCalls();
    DrawSpringView(kind, 3, false);
  }
};

TEST_F(ViewTest, PitchOfEndForm2FromArcCentres) {
  const double P = (60.0 - 2 * 2) / 4.5;
  EXPECT_DOUBLE_EQ(P, double(CoilPitch(60, 2, false)));
  ScreenView(1);
  const auto y = RightArcHeights(P);
  // Coils 2..5 have their right arc at N1 d + (i - 1) P.
  ASSERT_EQ(4u, y.size());
  for (std::size_t k = 0; k < y.size(); ++k) EXPECT_NEAR(2 + (k + 1) * P, y[k], 1e-9);
  // The axis runs from -0.05 L to 1.05 L on x = 0.
  bool axis = false;
  for (const SinkCall& c : Lines())
    axis = axis || (c.args[0] == 0 && c.args[2] == 0 && std::fabs(double(c.args[1]) + 3) < 1e-12 &&
                    std::fabs(double(c.args[3]) - 63) < 1e-12);
  EXPECT_TRUE(axis);
}

TEST_F(ViewTest, EndForm1WithoutEndCoilsAndHalfCoilRounding) {
  SpringDataRecord& s = SpringData();
  s.EndForm = 1, s.EndCoils = {0, 0, 0}, s.n = 4.5;  // 4.5 coils round to 4
  const double P = (60.0 - 2) / 4;
  EXPECT_DOUBLE_EQ(P, double(CoilPitch(60, 2, false)));
  ScreenView(1);
  const auto y = RightArcHeights(P);
  // The cut end coil's arc, then coils 2..4: the wire starts at P/4 + d/2.
  ASSERT_EQ(4u, y.size());
  for (std::size_t k = 0; k < y.size(); ++k) EXPECT_NEAR(P / 4 + 1 + k * P, y[k], 1e-9);
  s.n = 5.5;                                // rounds to 6
  EXPECT_DOUBLE_EQ((60.0 - 2) / 6, double(CoilPitch(60, 2, false)));
  s.EndForm = 2, s.EndCoils = {2, 1, 1}, s.n = 4.5;
  EXPECT_DOUBLE_EQ((60.0 - 4) / 3.5, double(CoilPitch(60, 2, false)));
}

// The coils drawn are those the data block prints (three significant
// digits): a stored 5.49999998 prints 5.5 and draws 6 coils, as 5.5 does;
// 4.50000001 prints 4.5 and draws 4.
TEST_F(ViewTest, CoilCountAsPrinted) {
  SpringDataRecord& s = SpringData();
  EXPECT_EQ(9.5L, ShownCoils(9.49999998L));
  EXPECT_EQ(11.0L, ShownCoils(10.99999999L));
  s.n = 5.49999998L;
  const double P = (60.0 - 2 * 2) / (6 - 0.5);
  EXPECT_DOUBLE_EQ(P, double(CoilPitch(60, 2, false)));
  ScreenView(1);
  EXPECT_EQ(5u, RightArcHeights(P).size());  // coils 2..6
  s.n = 4.50000001L;
  EXPECT_DOUBLE_EQ((60.0 - 4) / 3.5, double(CoilPitch(60, 2, false)));
  // The section draws the same count: N1 + N2 = 2 end coils of height 2.
  s.n = 5.49999998L;
  EXPECT_DOUBLE_EQ(P, double(CoilPitch(60, 2, true)));
}

// Lines and arcs in a form that compares regardless of drawing order.
std::vector<std::vector<long>> Shapes(const std::vector<SinkCall>& calls, bool mirror) {
  auto q = [](double v) { return std::lround(v * 1e6); };
  auto angle = [&](double a) { return q(std::fmod(std::fmod(a, 360) + 360, 360)); };
  std::vector<std::vector<long>> out;
  for (const SinkCall& c : calls) {
    std::vector<double> a(c.args.begin(), c.args.end());
    if (c.name == "GrafLine") {
      if (mirror) a[0] = -a[0], a[2] = -a[2];
      std::vector<long> p1{q(a[0]), q(a[1])}, p2{q(a[2]), q(a[3])};
      if (p2 < p1) std::swap(p1, p2);
      out.push_back({0, p1[0], p1[1], p2[0], p2[1]});
    } else if (c.name == "GrafArc") {
      if (mirror) a = {-a[0], a[1], 180 - a[3], 180 - a[2], a[4]};
      out.push_back({1, q(a[0]), q(a[1]), angle(a[2]), angle(a[3]), q(a[4])});
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(ViewTest, LeftHandIsTheMirrorOfRightHand) {
  for (int endForm : {1, 2}) {
    SpringData().EndForm = endForm;
    SpringData().WindingDir = 1;
    ScreenView(1);
    const auto right = Shapes(sink().Calls(), true);
    SpringData().WindingDir = 2;
    ScreenView(1);
    const auto left = Shapes(sink().Calls(), false);
    EXPECT_EQ(right.size(), left.size());
    EXPECT_TRUE(right == left) << "end form " << endForm;
  }
}

TEST_F(ViewTest, DataBlockInsertedBesideTheSpring) {
  UseFileName("daten");
  DrawSpringView(1, 1, false);
  const std::string path = dir() + "/daten.dxf";
  const auto block = ReadDxfBlock(path, "DATEN");
  int texts = 0;
  for (const DxfEntity& e : block) texts += e.type == "TEXT";
  EXPECT_EQ(7, texts);
  const auto entities = ReadDxfEntities(path);
  const auto insert = std::find_if(entities.begin(), entities.end(), [](const DxfEntity& e) {
    return e.type == "INSERT" && e.Text(2) == "DATEN";
  });
  ASSERT_NE(entities.end(), insert);
  EXPECT_DOUBLE_EQ(2 * 2 + 0.5 * 20, insert->Get(10));
  EXPECT_DOUBLE_EQ(0, insert->Get(20));
  // With L = L0 the force line reads zero force.
  EXPECT_TRUE(std::any_of(block.begin(), block.end(), [](const DxfEntity& e) { return e.Text(1) == "F = 0 N"; }));
}

TEST_F(ViewTest, InstalledLengthAndBlockQuestion) {
  auto dialog = std::make_shared<ScriptedInstalledLengthDialog>();
  SetInstalledLengthDialog(dialog);
  UseFileName("frage");
  dialog->ButtonOk('2');
  ui().ExpectQuestion("", "Ausgabe mit Federdaten", Answer::Cancel);
  DrawSpringView(1, 1, true);
  EXPECT_EQ(1, G().AbortFlag);
  EXPECT_FALSE(std::filesystem::exists(dir() + "/frage.dxf"));
  EXPECT_EQ(40, SpringData().L);
  // No: no block; the sheet hugs the spring at L1 = 50: De/2 = 11 across,
  // its centre line from -2.5 to 52.5, with a margin of 55 / 20 all round.
  G().AbortFlag = 0;
  dialog->ButtonOk('1');
  ui().ExpectQuestion("", "Ausgabe mit Federdaten", Answer::No);
  DrawSpringView(2, 1, true);
  const std::string dxf = ReadFileBytes(dir() + "/frage.dxf");
  EXPECT_EQ(std::string::npos, dxf.find("DATEN"));
  EXPECT_NE(std::string::npos, dxf.find("$EXTMIN\r\n 10\r\n-13.750000\r\n 20\r\n-5.250000"));
  EXPECT_NE(std::string::npos, dxf.find("$EXTMAX\r\n 10\r\n13.750000\r\n 20\r\n55.250000"));
  // The top view asks nothing.
  DrawSpringView(4, 3, true);
  EXPECT_EQ(2u, dialog->shownTexts.size());
}

TEST_F(ViewTest, InstalledLengthBeyondTheSpringIsDrawnAndClosingKeepsTheFlag) {
  auto dialog = std::make_shared<ScriptedInstalledLengthDialog>();
  SetInstalledLengthDialog(dialog);
  for (const char* typed : {"5", "80", "-5"}) {
    G().AbortFlag = 1;
    dialog->Ok(typed);
    const bool negative = typed[0] == '-';
    if (negative) ui().ExpectMessageBox("", "Zeichnung nicht m\xC3\xB6glich !");
    sink().ClearCalls();
    DrawSpringView(1, 3, true);
    EXPECT_EQ(0, G().AbortFlag) << typed;
    EXPECT_EQ(static_cast<double>(zeb::test::DecimalValue(typed)), double(SpringData().L)) << typed;
    EXPECT_EQ(negative, sink().Named("GrafArc").empty()) << typed;
    for (const SinkCall& c : sink().Calls())
      for (Real v : c.args) EXPECT_TRUE(std::isfinite(v)) << typed << " " << c.name;
  }
  SpringData().L = 40;
  for (int before : {0, 1}) {
    G().AbortFlag = before;
    dialog->CloseWindow();
    AskInstalledLength();
    EXPECT_EQ(before, G().AbortFlag);
    EXPECT_EQ(40, SpringData().L);
  }
}

TEST_F(ViewTest, RefusalsWriteNoFile) {
  SpringDataRecord& s = SpringData();
  UseFileName("nein");
  s.CrossSection = 5;
  ui().ExpectMessageBox("", "nur f\xC3\xBCr runden Drahtquerschnitt");
  DrawSpringView(1, 1, false);
  DrawSpringView(3, 3, false);  // simple section of oval wire is drawn
  EXPECT_FALSE(sink().Named("GrafLine").empty());
  s.CrossSection = 7;
  s.di = 1;
  DrawSpringView(1, 3, false);
  for (auto bad : {std::pair<int, double>{0, 0.3}, {1, 0}, {2, -5}, {3, 2e4}}) {
    SpringDataRecord keep = s;
    if (bad.first == 0) s.n = bad.second;  // rounds to no coil
    if (bad.first == 1) s.Dm = bad.second;
    if (bad.first == 2) s.L0 = bad.second;
    if (bad.first == 3) s.EndCoils[1] = bad.second;
    ui().ExpectMessageBox("", "Zeichnung nicht m\xC3\xB6glich !");
    DrawSpringView(2, 1, false);
    EXPECT_FALSE(std::filesystem::exists(dir() + "/nein.dxf")) << bad.first;
    s = keep;
  }
}

TEST_F(ViewTest, TopViewEndLine) {
  SpringDataRecord& s = SpringData();
  s.nt = 6.25;
  UseFileName("oben");
  DrawSpringView(4, 1, false);
  auto e = ReadDxfEntities(dir() + "/oben.dxf");
  int circles = 0;
  for (const auto& x : e) circles += x.type == "CIRCLE";
  EXPECT_EQ(3, circles);
  // The end line at -90 degrees on layer 2.
  auto endLine = std::find_if(e.begin(), e.end(), [](const DxfEntity& x) {
    return x.type == "LINE" && std::fabs(x.Get(10)) < 1e-9 && std::fabs(x.Get(20) + 9) < 1e-9;
  });
  ASSERT_NE(e.end(), endLine);
  EXPECT_NEAR(-11, endLine->Get(21), 1e-9);
  const std::string layer2 = endLine->layer;
  s.nt = 0.75, s.WindingDir = 2;
  DrawSpringView(4, 1, false);
  e = ReadDxfEntities(dir() + "/oben.dxf");
  int arcs = 0;
  for (const auto& x : e) {
    EXPECT_NE("CIRCLE", x.type == "CIRCLE" && x.Get(40) != 10 ? x.type : "");
    if (x.type == "ARC") {
      ++arcs;
      EXPECT_NEAR(0, x.Get(50), 1e-9);
      EXPECT_NEAR(270, x.Get(51), 1e-9);
    }
  }
  EXPECT_EQ(2, arcs);
  endLine = std::find_if(e.begin(), e.end(), [](const DxfEntity& x) {
    return x.type == "LINE" && std::fabs(x.Get(10)) < 1e-9 && std::fabs(x.Get(20) + 9) < 1e-9;
  });
  ASSERT_NE(e.end(), endLine);
  EXPECT_NE(layer2, endLine->layer);
}

TEST_F(ViewTest, IntersectionsOfLines) {
  Real x = 9, y = 9;
  IntersectLines(x, y, 0, 1, 2, 3, 0, 0, 1, 2);  // y = x + 1 and y = 2x
  EXPECT_EQ(1, x);
  EXPECT_EQ(2, y);
  IntersectLines(x, y, 1, 5, 3, 7, 0, 0, 2, 2);  // parallel: x 0, y of the first line
  EXPECT_EQ(0, x);
  EXPECT_EQ(4, y);
  IntersectLines(x, y, 2, 0, 2, 9, 0, 1, 1, 3);  // the first vertical
  EXPECT_EQ(2, x);
  EXPECT_EQ(5, y);
  IntersectLines(x, y, 0, 1, 1, 3, 4, 0, 4, 1);  // the second vertical
  EXPECT_EQ(4, x);
  EXPECT_EQ(9, y);
  IntersectLines(x, y, 3, 7, 3, 8, 5, 0, 5, 1);  // both vertical: the first point
  EXPECT_EQ(3, x);
  EXPECT_EQ(7, y);
}

TEST_F(ViewTest, SectionPitchUsesTheWireHeight) {
  SpringDataRecord& s = SpringData();
  s.CrossSection = 4, s.d = 3, s.h = 1.5L;
  // Section: N1 + N2 = 2 end coils of height h.
  EXPECT_DOUBLE_EQ((60.0 - 2 * 1.5) / 4.5, double(CoilPitch(60, s.h, true)));
  ScreenView(3);
  EXPECT_FALSE(Lines().empty());
}

TEST_F(ViewTest, DataBlockInInchesAndWithoutName) {
  G().UnitSystem = 1;
  SpringData().DrawingName = "";
  UseFileName("zoll");
  DrawSpringView(3, 1, false);
  std::vector<std::string> texts;
  for (const DxfEntity& e : ReadDxfBlock(dir() + "/zoll.dxf", "DATEN"))
    if (e.type == "TEXT") texts.push_back(e.Text(1));
  ASSERT_EQ(6u, texts.size());
  EXPECT_EQ("Nr 1", texts[0]);
  EXPECT_EQ("L = 2.3622 in", texts[1]);
  EXPECT_EQ("F = 0 lbf", texts[2]);
  EXPECT_EQ("d = 0.0787 in", texts[3]);
}

// Distances between neighbouring 45-degree hatch lines.
std::vector<double> HatchSpacings(const std::vector<SinkCall>& lines) {
  std::vector<double> c;
  for (const SinkCall& l : lines) {
    const double dx = double(l.args[2] - l.args[0]), dy = double(l.args[3] - l.args[1]);
    if (std::fabs(dx) > 1e-9 && std::fabs(dy / dx - 1) < 1e-6) c.push_back(double(l.args[1] - l.args[0]));
  }
  std::sort(c.begin(), c.end());
  // Lines broken by a hole share their intercept.
  c.erase(std::unique(c.begin(), c.end(), [](double a, double b) { return std::fabs(a - b) < 1e-9; }), c.end());
  std::vector<double> d;
  for (std::size_t k = 1; k < c.size(); ++k) d.push_back((c[k] - c[k - 1]) / std::sqrt(2.0));
  return d;
}

TEST_F(ViewTest, HatchSpacingOfCrossSections) {
  for (auto [code, w, di] : {std::tuple{1, 5.0, 0.0}, {7, 7.0, 3.0}}) {
    sink().ClearCalls();
    RunToScreen([&] { DrawWireCrossSection(code, 50, 50, w, w, 0, di); });
    const auto d = HatchSpacings(Lines());
    ASSERT_FALSE(d.empty()) << code;
    for (double x : d) EXPECT_NEAR(1.0, x, 1e-6) << code << " " << ::testing::PrintToString(d);
  }
}

}  // namespace
}  // namespace zeb::test
