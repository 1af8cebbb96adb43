// Golden files: the DXF and TXT of the reference drawing, the IGES of a
// drawing of every primitive, and the DXF, IGES and TXT of every hatched
// shape and of a diagram with linear and logarithmic axes. The fixture runs
// the peer checkers on each DXF and IGES file.
#include <gtest/gtest.h>

#include <cmath>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/hatch.h"
#include "graphics/support_cadrun.h"

namespace zeb::test {
namespace {

class GoldenTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    G().ProgramVersion = "26.6";
  }
  // One run of code 1, 2 or 5 into dir()/<stem>, compared with <stem>.<ext>.
  void Golden(int code, const std::string& stem, const std::function<void()>& entities,
              const std::function<void()>& blocks = {}) {
    ResetCadState();
    ResetHatchGlobals();
    DiagramReset();
    const std::string path = RunToFile(code, dir() + "/" + stem, entities, blocks);
    ASSERT_EQ(G().AbortFlag, 0);
    ExpectGolden(stem + path.substr(path.rfind('.')), ReadFileBytes(path));
  }
  void AllFormats(const std::string& stem, const std::function<void()>& entities) {
    for (int code : {1, 2, 5}) Golden(code, stem, entities);
  }
};

TEST_F(GoldenTest, ReferenceDrawingDxfAndTxt) {
  Golden(1, "reference", DrawReferenceEntities, DrawReferenceBlocks);
  Golden(5, "reference", DrawReferenceEntities, DrawReferenceBlocks);
}

TEST_F(GoldenTest, PrimitivesIges) { Golden(2, "primitives", DrawPrimitiveEntities, DrawPrimitiveBlocks); }

TEST_F(GoldenTest, HatchedShapes) {
  AllFormats("hatch", [] {
    SetHatchOutlineMode(1);
    HatchRectangle(5, 5, 25, 20, 0, 45);
    HatchRectangleOriented(90, 40, 12, 8, 7, 1, 45);
    HatchRoundedRectangle(55, 5, 80, 20, 4, 1.5L, 45);
    HatchOblong(90, 5, 120, 20, 1.5L, 135);
    HatchEllipse(140, 12, 12, 7, 1.5L);
    HatchEllipseSector(15, 45, 12, 8, 1.5L, 0, 120, 45);
    HatchAnnulus(45, 45, 12, 6, 1.5L);
    HatchRingSectorPoly(80, 45, 12, 6, 1.5L, 0, 180, 45);
    HatchCircleSector(115, 45, 12, 1.5L, 30, 300, 90);
    HatchCircle(145, 45, 10, 1.5L);
    HatchedCurveProfile(10, 90, 40);
  });
}

void DiagramDrawing() {
  auto& d = DiagramData();
  d.DrawingName = "Druckfeder";
  d.DrawingNo = "Z-123";
  d.DrawingName2 = "Variante A";
  G().TitleBlockLines[1] = "Kunde: Muster GmbH";
  G().TitleBlockLines[2] = "Projekt 7";
  G().TitleBlockLines[3] = "Gepr\x81" "ft";
  DiagramHeaderLine();
  DiagramTitleBlock();

  // Linear axes: a curve leaving the frame, markers, symbols, a legend.
  DiagramSetPlotSize(55, 40);
  DiagramSetPlotOrigin(18, 62);
  DiagramState().DiagramAxisMode = 0;
  DiagramFrame("s", "F", "Kennlinie", 0, 0, 10, 50, 0);
  CadSetLayer(20);
  DiagramMoveTo(0, 0);
  for (int k = 1; k <= 24; ++k) DiagramLineTo(0.5L * k, 0.125L * k * k);
  CadSetLayer(21);
  DiagramLineWithMarkers(2, 0, 5, 10, 45);
  DiagramSymbol(1, 5, 25);
  DiagramSymbol(3, 7, 30);
  DiagramSymbol(4, 3, 10);
  DiagramVerticalMarker("L1", 4, 20);
  CadTextStyle(2, 0, 2, 1.5L);
  CadMoveTo(24, 96);
  DiagramLegendLine("Messung", 2);
  DiagramLegendLine("Rechnung", 1);

  // Logarithmic x axis.
  DiagramSetPlotSize(55, 36);
  DiagramSetPlotOrigin(18, 10);
  DiagramState().DiagramAxisMode = 4;
  DiagramFrame("N", "tau", "Dauerfestigkeit", 1e3L, 0, 1e7L, 800, 2);
  CadSetLayer(22);
  DiagramMoveTo(1e3L, 700);
  for (auto [x, y] : {std::pair{1e4L, 640.0L}, {1e5L, 560.0L}, {1e6L, 500.0L}, {1e8L, 480.0L}}) DiagramLineTo(x, y);
  // Logarithmic y axis.
  DiagramSetPlotSize(40, 26);
  DiagramSetPlotOrigin(108, 8);
  DiagramState().DiagramAxisMode = 2;
  DiagramFrame("T", "t", "Relaxation", 0, 1, 100, 1000, 1);
  DiagramMoveTo(0, 2);
  for (int k = 1; k <= 10; ++k) DiagramLineTo(10 * k, 2 * std::pow(1.8L, k));

  DiagramTextTable table(95, 66, 2.2L, {8, 7, 7, 4, 0, 0, 0}, {"Punkt", "F", "s", "ok", "", "", ""});
  table.AddRow4("1", "12.5", "2.0", "");
  table.AddRow4("2", "25.0", "4.0", "");
  table.AddMarkRow("3", 3);
  DiagramTitleTable(85, 118, 1.3L);
}

TEST_F(GoldenTest, Diagram) { AllFormats("diagram", DiagramDrawing); }

}  // namespace
}  // namespace zeb::test
