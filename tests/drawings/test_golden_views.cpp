// Golden DXF, IGES and TXT files of the spring views (reviewed by eye once;
// the fixture runs both peer checkers on every DXF and IGES written), and
// the screen run putting the primitives of the DXF into the sink.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "drawings/drawings.h"
#include "drawings/length_dialog.h"
#include "drawings/support_drawings.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

class GoldenViewTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    SpringDataRecord& s = SpringData();
    s.CrossSection = 1, s.d = s.h = 2, s.Dm = 20, s.De = 22, s.Di = 18;
    s.n = 5, s.nt = 7.5, s.EndCoils = {2, 1, 1}, s.EndForm = 2, s.WindingDir = 1;
    s.L0 = 60, s.L2 = 40, s.Lc = 16, s.L1 = 50, s.R = 2;
    s.DrawingName = "Golden", s.DrawingNo = "G-1";
  }
  void TearDown() override {
    SetInstalledLengthDialog(nullptr);
    DrawingTest::TearDown();
  }
  // Writes the view in each format and compares with its golden files.
  void Golden(const std::string& name, int kind, const std::vector<int>& codes, bool atL2 = false) {
    for (int code : codes) {
      const char* ext = code == 1 ? ".dxf" : code == 2 ? ".igs" : ".txt";
      if (atL2) {
        auto dialog = std::make_shared<ScriptedInstalledLengthDialog>();
        dialog->ButtonOk('2');
        SetInstalledLengthDialog(dialog);
        ui().ExpectQuestion("", "Ausgabe mit Federdaten", Answer::Yes);
      }
      UseFileName(name);
      DrawSpringView(kind, code, atL2);
      ExpectDrawingGolden(name + ext, ReadFileBytes(dir() + "/" + name + ext));
    }
  }
};

TEST_F(GoldenViewTest, ProjectionRoundEndForm2) { Golden("view1_round", 1, {1, 2, 5}); }

TEST_F(GoldenViewTest, ProjectionLeftHandEndForm1AtL2) {
  SpringData().WindingDir = 2;
  SpringData().EndForm = 1;
  Golden("view1_left_form1_l2", 1, {1}, true);
}

TEST_F(GoldenViewTest, SectionRoundAndSimpleSectionRectangular) {
  Golden("view2_round", 2, {1, 5});
  SpringDataRecord& s = SpringData();
  s.CrossSection = 4, s.d = 3, s.h = 2, s.EndForm = 1;
  Golden("view3_rectangular_form1", 3, {1, 2});
}

TEST_F(GoldenViewTest, TopView) {
  SpringData().WindingDir = 2;
  Golden("view4_top", 4, {1, 2, 5});
}

// Counts of the DXF entities (blocks expanded) and of the screen calls.
void CountEntities(const std::string& path, const std::vector<DxfEntity>& entities, std::map<std::string, int>& n) {
  for (const auto& e : entities) {
    if (e.type == "INSERT")
      CountEntities(path, ReadDxfBlock(path, e.Text(2)), n);
    else
      ++n[e.type];
  }
}

TEST_F(GoldenViewTest, ScreenRunDrawsTheDxfPrimitives) {
  LoadRefSpring();
  SpringData().DrawingName = "Golden";
  const std::vector<std::pair<std::string, std::function<void(int)>>> drawings = {
      {"view 1", [](int c) { DrawSpringView(1, c, false); }},
      {"view 2", [](int c) { DrawSpringView(2, c, false); }},
      {"view 3", [](int c) { DrawSpringView(3, c, false); }},
      {"view 4", [](int c) { DrawSpringView(4, c, false); }},
      {"production", [](int c) { DrawProductionDrawing(c); }},
      {"production EN", [](int c) { DrawProductionDrawingEN(c); }},
      {"quick 3", [](int c) { DrawQuickSheet(c); }},
  };
  for (const auto& [kind, draw] : drawings) {
    UseFileName("screen");
    draw(1);
    std::map<std::string, int> dxf;
    CountEntities(dir() + "/screen.dxf", ReadDxfEntities(dir() + "/screen.dxf"), dxf);
    sink().ClearCalls();
    draw(3);
    std::map<std::string, int> screen;
    for (const auto& c : sink().Calls()) {
      if (c.name == "GrafLine") ++screen["LINE"];
      if (c.name == "GrafArc") ++screen["ARC"];
      if (c.name == "GrafCircle") ++screen["CIRCLE"];
      // The screen's own file line aside.
      if (c.name == "GrafOutTextXY" && c.text.find(" - TALMORE ") == std::string::npos) ++screen["TEXT"];
    }
    // Polylines reach the screen as their line pieces.
    const int polylineVertices = dxf["VERTEX"];
    EXPECT_EQ(dxf["LINE"] + polylineVertices - dxf["POLYLINE"], screen["LINE"]) << kind;
    EXPECT_EQ(dxf["ARC"], screen["ARC"]) << kind;
    EXPECT_EQ(dxf["CIRCLE"], screen["CIRCLE"]) << kind;
    EXPECT_EQ(dxf["TEXT"], screen["TEXT"]) << kind;
  }
}

}  // namespace
}  // namespace zeb::test
