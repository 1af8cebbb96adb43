// Golden DXF, IGES and TXT files of the spring views (reviewed by eye once;
// the fixture runs both peer checkers on every DXF and IGES written), and
// the screen run putting the primitives of the DXF into the sink.
#include <gtest/gtest.h>

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

// Counts of the DXF entities (block DATEN expanded) and of the screen calls.
TEST_F(GoldenViewTest, ScreenRunDrawsTheDxfPrimitives) {
  for (int kind = 1; kind <= 4; ++kind) {
    UseFileName("screen");
    DrawSpringView(kind, 1, false);
    std::map<std::string, int> dxf;
    for (const auto& e : ReadDxfEntities(dir() + "/screen.dxf")) {
      if (e.type != "INSERT") {
        ++dxf[e.type];
        continue;
      }
      for (const auto& b : ReadDxfBlock(dir() + "/screen.dxf", e.Text(2))) ++dxf[b.type];
    }
    sink().ClearCalls();
    DrawSpringView(kind, 3, false);
    std::map<std::string, int> screen;
    for (const auto& c : sink().Calls()) {
      if (c.name == "GrafLine") ++screen["LINE"];
      if (c.name == "GrafArc") ++screen["ARC"];
      if (c.name == "GrafCircle") ++screen["CIRCLE"];
      // The screen's own file line aside.
      if (c.name == "GrafOutTextXY" && c.text.find("screen.zeb") == std::string::npos) ++screen["TEXT"];
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
