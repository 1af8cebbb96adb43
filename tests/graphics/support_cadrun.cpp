#include "graphics/support_cadrun.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/support_checkers.h"
#include "platform/oem_literal.h"

namespace zeb::test {

void CadTest::SetUp() {
  BaseTest::SetUp();
  ResetCadState();
  ResetCadSettings();
  SetPlotConfigForm(nullptr);
  sink_ = std::make_shared<RecordingSink>();
  SetScreen(sink_);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  dir_ = TestOutputDir(name);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
  std::filesystem::create_directories(dir_ + "/tmp", ec);
  tmp_ = dir_ + "/tmp";
  G().TempFolder = tmp_;
}

void CadTest::TearDown() {
  ResetCadState();
  // Every DXF a test leaves in its folder must pass both peer readers.
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->path().extension() != ".dxf" || !it->is_regular_file()) continue;
    CheckResult r = CheckDxf(it->path().string());
    if (r.missing) continue;
    EXPECT_TRUE(r.ok) << it->path() << "\n" << r.Report();
  }
  SetScreen(nullptr);
  SetPlotConfigForm(nullptr);
  BaseTest::TearDown();
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

namespace {
void RunBody(const std::function<void()>& entities, const std::function<void()>& blocks) {
  if (G().AbortFlag) return;
  CadDrawingHeader(0, 0, 160, 120);
  CadTables(2);
  if (blocks) {
    CadBeginBlocks();
    blocks();
    CadEndSection();
  }
  CadBeginEntities();
  if (entities) entities();
  CadEndSection();
}
}  // namespace

std::string RunToFile(int code, const std::string& base, const std::function<void()>& entities,
                      const std::function<void()>& blocks) {
  CadSettings().CommandLineExport = 1;
  G().CurrentFileName = base;
  CadBeginOutput(code);
  RunBody(entities, blocks);
  CadEndOutput();
  CadSettings().CommandLineExport = 0;
  return Cad().CadFileName;
}

void RunToScreen(const std::function<void()>& entities, const std::function<void()>& blocks) {
  CadBeginOutput(3);
  RunBody(entities, blocks);
  CadEndOutput();
}

void DrawReferenceBlocks() {
  CadBeginBlock("INNER");
  CadSetLayer(5);
  CadLine(0, 0, 10, 0);
  CadCircle(5, 5, 2);
  CadArc(0, 0, 0, 90, 4);
  CadEndBlock();
  CadBeginBlock("OUTER");
  CadSetLayer(19);
  CadInsertBlock("INNER", 20, 0, 90, 1, 1);
  CadTextStyle(2, 0, 2.5L, 2.0L);
  CadText("Blocktext", 0, -5);
  CadSolid(0, 0, 4, 0, 0, 3, 4, 3);
  CadEndBlock();
}

void DrawReferenceEntities() {
  const long double pi = 3.14159265358979323846L;
  CadSetLayer(0);
  // Lines.
  CadLine(0, 0, 10, 5);
  CadLine(-1.25L, 2, 3, -4.5L);
  CadSetLayer(1);
  CadRectangle(5, 5, 15, 10);
  // Polylines: straight, counter-clockwise and clockwise bulges; closed; empty.
  CadSetLayer(2);
  CadBeginPolyline(0);
  CadPolylineVertex(0, 20, 0);
  CadPolylineVertex(10, 20, pi / 2);
  CadPolylineVertex(20, 20, -pi / 2);
  CadPolylineVertex(30, 20, 0);
  CadEndPolyline();
  CadBeginPolyline(1);
  CadPolylineVertex(40, 20, 0);
  CadPolylineVertex(50, 20, 0);
  CadPolylineVertex(50, 30, pi);
  CadPolylineVertex(40, 30, 0);
  CadEndPolyline();
  CadBeginPolyline(0);
  CadEndPolyline();
  // Circles and arcs.
  CadSetLayer(3);
  CadCircle(80, 60, 10);
  CadArc(60, 60, 30, 30, 5);
  CadArc(60, 80, 0, 360, 5);
  CadArc(60, 100, 360, 0, 5);
  CadArc(80, 80, 350, 10, 5);
  CadArc(80, 100, 90, -90, 5);
  // Texts: every alignment, an angle, width 0, an oblique angle.
  CadSetLayer(4);
  CadTextStyle(2, 0, 3.5L, 2.5L);
  for (int h = 0; h <= 2; ++h)
    for (int v = 0; v <= 2; ++v) {
      CadSetTextAlign(h, v);
      CadText("Ab" + std::to_string(h) + std::to_string(v), 100 + 20 * h, 10 + 8 * v);
    }
  CadSetTextAlign(0, 0);
  CadTextStyle(2, 30, 5, 3);
  CadText("Winkel 30", 100, 40);
  CadTextStyle(2, 0, 4, 0);
  CadText("Breite 0", 100, 50);
  CadSettings().CadTextObliqueAngle = 15;
  CadTextStyle(2, 0, 4, 2.8L);
  CadText("Schräg 90°"_oem, 100, 60);
  CadSettings().CadTextObliqueAngle = 0;
  // Solids and arrowheads.
  CadSetLayer(5);
  CadSolid(0, 40, 10, 40, 0, 50, 10, 50);
  CadArrowStd(20, 45, 0);
  CadArrowHead(40, 45, 135, 10, 6, 12);
  // Numbered layers.
  CadSetLayer(17);
  CadLine(0, 110, 160, 110);
  CadSetLayer(47);
  CadLine(0, 115, 160, 115);
  // Blocks nested two deep.
  CadSetLayer(0);
  CadInsertBlock("OUTER", 100, 80, 30, 2, 2);
}

void ExpectGolden(const std::string& name, const std::string& actual) {
  std::string path = (std::filesystem::path(__FILE__).parent_path() / "golden" / name).string();
  const char* update = std::getenv("ZEB1_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    WriteFileBytes(path, actual);
    return;
  }
  std::string expected = ReadFileBytes(path);
  ASSERT_FALSE(expected.empty()) << "golden file missing: " << path;
  EXPECT_EQ(expected, actual) << "differs from " << path;
}

}  // namespace zeb::test
