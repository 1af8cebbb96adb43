// Golden files: the IGES of a drawing of every primitive, and the DXF, IGES
// and TXT of every hatched shape and of a diagram with linear and
// logarithmic axes. Each file passes the peer checkers and equals its
// golden file (the IGES file date masked). ZEB_UPDATE_GOLDEN=1 rewrites
// the golden files (review them by eye before keeping them).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "base/support_fixture.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/hatch.h"
#include "graphics/sink.h"
#include "graphics/support_checkers.h"
#include "platform/oem_literal.h"

namespace zeb {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string GoldenDir() {
  std::string here = __FILE__;
  return here.substr(0, here.rfind('/')) + "/golden";
}

// The IGES file date (G record 4) as "YYMMDD".
std::string MaskDate(const std::string& text) {
  static const std::regex date("13H[0-9]{6}\\.140920");
  return std::regex_replace(text, date, "13HYYMMDD.140920");
}

void ExpectGolden(const std::string& produced, const std::string& name) {
  const std::string got = MaskDate(ReadAll(produced));
  const std::string path = GoldenDir() + "/" + name;
  if (std::getenv("ZEB_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << got;
    return;
  }
  const std::string want = ReadAll(path);
  ASSERT_FALSE(want.empty()) << "golden file missing: " << path;
  if (got == want) return;
  // Report the first line that differs.
  std::istringstream a(got), b(want);
  std::string la, lb;
  int line = 0;
  while (true) {
    ++line;
    const bool ha = static_cast<bool>(std::getline(a, la)), hb = static_cast<bool>(std::getline(b, lb));
    if (!ha && !hb) break;
    if (la != lb || ha != hb) {
      ADD_FAILURE() << name << " line " << line << ":\n  got:  " << la << "\n  want: " << lb;
      return;
    }
  }
}

class DrawingGolden : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetCadSettings();
    ResetCadState();
    ResetDiagramGlobals();
    ResetHatchGlobals();
    SetScreen(nullptr);
    G().ProgramVersion = "26.6";
    G().TempFolder = test::TestOutputDir("golden_tmp");
    CadSettings().CommandLineExport = 1;
  }
  void TearDown() override {
    ResetCadState();
    BaseTest::TearDown();
  }

  // One run of code 1, 2 or 5 to <build>/golden/<stem>.<ext>.
  std::string Run(int code, const std::string& stem, const std::function<void()>& blocks,
                  const std::function<void()>& entities) {
    ResetCadState();
    ResetHatchGlobals();
    DiagramReset();
    G().CurrentFileName = test::TestOutputDir("golden") + "/" + stem;
    CadBeginOutput(code);
    EXPECT_EQ(G().AbortFlag, 0);
    CadDrawingHeader(0, 0, 160, 120);
    CadTables(2);
    if (blocks) {
      CadBeginBlocks();
      blocks();
      CadEndSection();
    }
    CadBeginEntities();
    entities();
    CadEndSection();
    CadEndOutput();
    EXPECT_EQ(G().AbortFlag, 0);
    return G().CurrentFileName + (code == 1 ? ".dxf" : code == 2 ? ".igs" : ".txt");
  }

  void AllFormats(const std::string& stem, const std::function<void()>& blocks, const std::function<void()>& entities) {
    const std::string dxf = Run(1, stem, blocks, entities);
    ZEB_EXPECT_DXF_CLEAN(dxf);
    ExpectGolden(dxf, stem + ".dxf");
    const std::string igs = Run(2, stem, blocks, entities);
    ZEB_EXPECT_IGES_CLEAN(igs);
    ExpectGolden(igs, stem + ".igs");
    const std::string txt = Run(5, stem, blocks, entities);
    ExpectGolden(txt, stem + ".txt");
  }
};

void PrimitiveBlocks() {
  CadBeginBlock("INNER");
  CadSetLayer(5);
  CadLine(0, 0, 6, 0);
  CadCircle(3, 3, 2);
  CadEndBlock();
  CadBeginBlock("MIDDLE");
  CadInsertBlock("INNER", 0, 0, 0, 1, 1);
  CadInsertBlock("INNER", 8, 0, 90, 1, 1);
  CadTextStyle(2, 0, 2, 1.5L);
  CadText("M", 0, 8);
  CadEndBlock();
  CadBeginBlock("OUTER");
  CadInsertBlock("MIDDLE", 0, 0, 0, 1, 1);
  CadRectangle(-2, -2, 20, 12);
  CadEndBlock();
}

void PrimitiveEntities() {
  CadSetLayer(0);
  CadLine(5, 5, 45, 5);
  CadLine(5, 8, -3.25L, 12.5L);
  // Polylines: zero, positive and negative bulges; closed; empty.
  CadSetLayer(1);
  CadBeginPolyline(0);
  CadPolylineVertex(5, 20, 0);
  CadPolylineVertex(15, 20, kPi / 2);
  CadPolylineVertex(25, 30, -kPi / 2);
  CadPolylineVertex(35, 20, 0);
  CadEndPolyline();
  CadBeginPolyline(1);
  CadPolylineVertex(40, 20, 0);
  CadPolylineVertex(50, 20, kPi / 3);
  CadPolylineVertex(50, 30, 0);
  CadPolylineVertex(40, 30, 0);
  CadEndPolyline();
  CadBeginPolyline(0);
  CadEndPolyline();
  // Circles and arcs.
  CadSetLayer(2);
  CadCircle(70, 15, 6);
  CadArc(90, 15, 30, 30, 5);
  CadArc(105, 15, 0, 360, 5);
  CadArc(120, 15, 360, 0, 5);
  CadArc(135, 15, 350, 10, 5);
  CadArc(150, 15, 90, -90, 5);
  // Texts: every alignment, an angle, width 0, oblique.
  CadSetLayer(4);
  CadSettings().CadTextObliqueAngle = 15;
  CadTextStyle(2, 0, 2.5L, 2);
  for (int h = 0; h <= 2; ++h) {
    for (int v = 0; v <= 2; ++v) {
      CadSetTextAlign(h, v);
      CadText("H" + std::to_string(h) + "V" + std::to_string(v), 10 + 25 * h, 45 + 8 * v);
    }
  }
  CadSetTextAlign(0, 0);
  CadTextStyle(2, 30, 3, 0);
  CadText("Winkel 30 "_oem + DegreeSign() + ", Breite 0", 85, 45);
  CadSettings().CadTextObliqueAngle = 0;
  // Solids and arrowheads.
  CadSetLayer(3);
  CadSolid(10, 75, 20, 75, 10, 85, 20, 85);
  CadSolid(25, 75, 35, 75, 30, 85, 30, 85);
  CadArrowStd(50, 80, 0);
  CadArrowHead(60, 80, 135, 12, 6, 10);
  // The nested block, straight and turned.
  CadInsertBlock("OUTER", 90, 70, 0, 1, 1);
  CadInsertBlock("OUTER", 130, 70, 45, 1, 1);
}

TEST_F(DrawingGolden, PrimitivesIges) {
  const std::string igs = Run(2, "primitives", PrimitiveBlocks, PrimitiveEntities);
  ZEB_EXPECT_IGES_CLEAN(igs);
  ExpectGolden(igs, "primitives.igs");
}

void HatchedShapes() {
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
}

TEST_F(DrawingGolden, HatchedShapes) { AllFormats("hatch", {}, HatchedShapes); }

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

  // Linear axes with a curve that leaves the frame, markers, symbols and a
  // legend.
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
  DiagramLineTo(1e4L, 640);
  DiagramLineTo(1e5L, 560);
  DiagramLineTo(1e6L, 500);
  DiagramLineTo(1e8L, 480);
  // Logarithmic y axis.
  DiagramSetPlotSize(40, 26);
  DiagramSetPlotOrigin(108, 8);
  DiagramState().DiagramAxisMode = 2;
  DiagramFrame("T", "t", "Relaxation", 0, 1, 100, 1000, 1);
  DiagramMoveTo(0, 2);
  for (int k = 1; k <= 10; ++k) DiagramLineTo(10 * k, 2 * std::pow(1.8L, k));

  // Text table.
  DiagramTextTable table(95, 66, 2.2L, {8, 7, 7, 4, 0, 0, 0}, {"Punkt", "F", "s", "ok", "", "", ""});
  table.AddRow4("1", "12.5", "2.0", "");
  table.AddRow4("2", "25.0", "4.0", "");
  table.AddMarkRow("3", 3);
  DiagramTitleTable(85, 118, 1.3L);
}

TEST_F(DrawingGolden, Diagram) { AllFormats("diagram", {}, DiagramDrawing); }

}  // namespace
}  // namespace zeb
