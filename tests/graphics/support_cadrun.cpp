#include "base/support_decimal.h"
#include "graphics/support_cadrun.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/support_golden.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/hatch.h"
#include "graphics/facade.h"
#include "graphics/support_checkers.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"

namespace zeb::test {

namespace fs = std::filesystem;

namespace {

// The screen of the CAD tests: records every call for the test and hands it
// on to a drawing facade, whose display list TearDown compares with the
// records the calls stand for.
class TeeSink : public RecordingSink {
 public:
  GraphicsFacade facade;
  std::vector<SinkCall> all;  // every call, whatever the test clears

#define ZEB_TEE(name, params, args)          \
  void name params override {               \
    const std::size_t before = Calls().size(); \
    RecordingSink::name args;                \
    if (Calls().size() > before) all.push_back(Calls().back()); \
    facade.name args;                        \
  }
  ZEB_TEE(GrafClear, (), ())
  ZEB_TEE(GrafHeader, (int f, Real a, Real b, Real c, Real d), (f, a, b, c, d))
  ZEB_TEE(GrafClearViewPort, (), ())
  ZEB_TEE(GrafLine, (Real a, Real b, Real c, Real d), (a, b, c, d))
  ZEB_TEE(GrafCircle, (Real a, Real b, Real c), (a, b, c))
  ZEB_TEE(GrafArc, (Real a, Real b, Real c, Real d, Real e), (a, b, c, d, e))
  ZEB_TEE(GrafOutTextXY, (std::string_view t, Real a, Real b), (t, a, b))
  ZEB_TEE(GrafSolid, (Real a, Real b, Real c, Real d, Real e, Real f, Real g, Real h), (a, b, c, d, e, f, g, h))
  ZEB_TEE(GrafSetColorMapped, (int n), (n))
  ZEB_TEE(GrafSetLineStyle, (int n), (n))
  ZEB_TEE(GrafSetTextStyle, (int f, Real a, Real h, Real w), (f, a, h, w))
  ZEB_TEE(SetLineWidth, (int n), (n))
  ZEB_TEE(GrafSetWaitCursor, (), ())
  ZEB_TEE(GrafSetOldCursor, (), ())
#undef ZEB_TEE
};

std::string R(Real v) { return ListReal(v); }

bool Finite(const std::vector<Real>& v) {
  for (Real x : v)
    if (!std::isfinite(static_cast<double>(x))) return false;
  return true;
}

// The display list the calls make, by the record rules: CAD colours 1..7
// to 12, 14, 10, 11, 9, 13, 15, 8..15 to 1..8, above 16 modulo 16; pens
// and text styles recorded on change only and forgotten by a clear; texts
// in Windows-1252.
std::vector<std::string> ExpectedList(const std::vector<SinkCall>& calls, int w, int h) {
  std::vector<std::string> list;
  int colour = -1, style = 99, width = 1;
  std::vector<Real> textStyle;  // the last recorded, none after a clear
  static const int kMap[17] = {0, 12, 14, 10, 11, 9, 13, 15, 1, 2, 3, 4, 5, 6, 7, 8, 16};
  for (const SinkCall& c : calls) {
    const auto& a = c.args;
    if (c.name == "GrafClear") {
      list.clear();
      colour = -1, style = 99, width = 1;
      textStyle.clear();
    } else if (c.name == "GrafHeader") {
      list.push_back("10;1;1;" + std::to_string(w - 1) + ";" + std::to_string(h - 1) + ";" + R(a[1]) + ";" +
                     R(a[2]) + ";" + R(a[3]) + ";" + R(a[4]));
      if (style != 0) list.push_back("11;0"), style = 0;
    } else if (c.name == "GrafLine" && Finite(a)) {
      list.push_back("4;" + R(a[0]) + ";" + R(a[1]) + ";" + R(a[2]) + ";" + R(a[3]));
    } else if (c.name == "GrafCircle" && Finite(a)) {
      list.push_back("3;" + R(a[0]) + ";" + R(a[1]) + ";" + R(a[2]));
    } else if (c.name == "GrafArc" && Finite(a)) {
      const Real x = a[0], y = a[1], a1 = a[2], a2 = a[3], r = a[4];
      Real sweep = std::fmod(a2 - a1, 360.0L);
      if (sweep < 0) sweep += 360;
      const Real xs = x + r * std::cos(a1 * kPi / 180), ys = y + r * std::sin(a1 * kPi / 180);
      const Real xe = x + r * std::cos(a2 * kPi / 180), ye = y + r * std::sin(a2 * kPi / 180);
      if (std::fabs(a2 - a1) >= 360 - 1e-5L) {
        list.push_back("3;" + R(x) + ";" + R(y) + ";" + R(r));
      } else if (sweep < 4) {
        list.push_back("4;" + R(xs) + ";" + R(ys) + ";" + R(xe) + ";" + R(ye));
      } else {
        list.push_back("5;" + R(x - r) + ";" + R(y - r) + ";" + R(x + r) + ";" + R(y + r) + ";" + R(xs) + ";" +
                       R(ys) + ";" + R(xe) + ";" + R(ye));
      }
    } else if (c.name == "GrafOutTextXY" && Finite(a)) {
      list.push_back("6;" + R(a[0]) + ";" + R(a[1]) + ";" +
                     FromUtf8(CodePage::Cp1252, ToUtf8(CodePage::Cp850, c.text)));
    } else if (c.name == "GrafSolid" && Finite(a)) {
      std::string rec = "7";
      for (Real v : a) rec += ";" + R(v);
      list.push_back(rec);
    } else if (c.name == "GrafSetColorMapped") {
      int n = static_cast<int>(a[0]);
      if (n < 0) continue;
      n = kMap[n > 16 ? n % 16 : n];
      if (n != colour) list.push_back("8;" + std::to_string(n));
      colour = n;
    } else if (c.name == "GrafSetLineStyle") {
      if (static_cast<int>(a[0]) != style) list.push_back("11;" + std::to_string(static_cast<int>(a[0])));
      style = static_cast<int>(a[0]);
    } else if (c.name == "SetLineWidth") {
      if (static_cast<int>(a[0]) != width) list.push_back("12;" + std::to_string(static_cast<int>(a[0])));
      width = static_cast<int>(a[0]);
    } else if (c.name == "GrafSetTextStyle" && Finite(a)) {
      if (a == textStyle) continue;
      textStyle = a;
      list.push_back("9;" + R(a[2]) + ";" + R(a[3]) + ";" + std::to_string(static_cast<int>(a[0])) + ";" + R(a[1]));
    }
  }
  return list;
}

// Records compare field by field; reals within 1e-9 (trigonometry of
// another rounding may give 1e-19 for 0).
bool SameRecords(const std::vector<std::string>& a, const std::vector<std::string>& b, std::string& why) {
  if (a.size() != b.size()) {
    why = "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    const bool text = a[i].rfind("6;", 0) == 0;
    std::istringstream x(a[i]), y(b[i]);
    std::string fx, fy;
    bool same = !text;
    while (same && std::getline(x, fx, ';')) {
      if (!std::getline(y, fy, ';')) same = false;
      else if (fx != fy && std::fabs(zeb::test::DecimalValue(fx) - zeb::test::DecimalValue(fy)) > 1e-9L) same = false;
    }
    if (same && std::getline(y, fy, ';')) same = false;
    if (!same) {
      why = "record " + std::to_string(i) + ": " + a[i] + " against " + b[i];
      return false;
    }
  }
  return true;
}

}  // namespace

void CadTest::SetUp() {
  BaseTest::SetUp();
  ResetCadState();
  ResetCadSettings();
  ResetDiagramGlobals();
  ResetHatchGlobals();
  SetPlotConfigForm(nullptr);
  sink_ = std::make_shared<TeeSink>();
  SetScreen(sink_);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  dir_ = TestOutputDir(name);
  tmp_ = dir_ + "/tmp";
  std::error_code ec;
  fs::remove_all(dir_, ec);
  fs::create_directories(tmp_, ec);
  G().TempFolder = tmp_;
}

void CadTest::TearDown() {
  ResetCadState();
  // The same drawing through the facade: its display list is the one the
  // calls stand for.
  if (auto* tee = dynamic_cast<TeeSink*>(sink_.get())) {
    GraphWindow& w = tee->facade.Window();
    std::string why;
    EXPECT_TRUE(SameRecords(w.DisplayList(), ExpectedList(tee->all, w.DeviceWidth(), w.DeviceHeight()), why))
        << "display list of the facade: " << why;
  }
  std::string missing;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string ext = it->path().extension().string(), path = it->path().string();
    if (!it->is_regular_file() || (ext != ".dxf" && ext != ".igs")) continue;
    const CheckResult r = ext == ".dxf" ? CheckDxf(path) : CheckIges(path);
    if (r.missing) missing = r.Report();
    else EXPECT_TRUE(r.ok) << path << "\n" << r.Report();
  }
  SetScreen(nullptr);
  SetPlotConfigForm(nullptr);
  ResetDiagramGlobals();
  BaseTest::TearDown();
  if (!missing.empty()) GTEST_SKIP() << missing;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

namespace {
void RunBody(const std::function<void()>& entities, const std::function<void()>& blocks, int tables = 2,
             long double width = 160, long double height = 120) {
  if (G().AbortFlag) return;
  CadDrawingHeader(0, 0, width, height);
  CadTables(tables);
  if (blocks) {
    CadBeginBlocks();
    blocks();
    CadEndSection();
  }
  CadBeginEntities();
  if (entities) entities();
  CadEndSection();
}

struct Vertex {
  long double x, y, angle;
};

void Polyline(int flag, std::initializer_list<Vertex> vertices) {
  CadBeginPolyline(flag);
  for (const Vertex& v : vertices) CadPolylineVertex(v.x, v.y, v.angle);
  CadEndPolyline();
}

// Arcs of radius 5: start = end, 0 -> 360, 360 -> 0, 350 -> 10, 90 -> -90.
void ArcCases(const long double (&centres)[5][2]) {
  const long double angles[5][2] = {{30, 30}, {0, 360}, {360, 0}, {350, 10}, {90, -90}};
  for (int k = 0; k < 5; ++k) CadArc(centres[k][0], centres[k][1], angles[k][0], angles[k][1], 5);
}

// One text per alignment (h, v) at (x0 + dx h, y0 + dy v).
void Alignments(const std::function<std::string(int, int)>& text, long double x0, long double dx, long double y0,
                long double dy) {
  for (int h = 0; h <= 2; ++h)
    for (int v = 0; v <= 2; ++v) {
      CadSetTextAlign(h, v);
      CadText(text(h, v), x0 + dx * h, y0 + dy * v);
    }
  CadSetTextAlign(0, 0);
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

std::string RunCode(int code, const std::function<void()>& entities, int tables, long double width,
                    long double height) {
  CadBeginOutput(code);
  RunBody(entities, {}, tables, width, height);
  CadEndOutput();
  return Cad().CadFileName;
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
  CadSetLayer(0);
  CadLine(0, 0, 10, 5);
  CadLine(-1.25L, 2, 3, -4.5L);
  CadSetLayer(1);
  CadRectangle(5, 5, 15, 10);
  // Polylines: straight, counter-clockwise and clockwise bulges; closed; empty.
  CadSetLayer(2);
  Polyline(0, {{0, 20, 0}, {10, 20, kPi / 2}, {20, 20, -kPi / 2}, {30, 20, 0}});
  Polyline(1, {{40, 20, 0}, {50, 20, 0}, {50, 30, kPi}, {40, 30, 0}});
  Polyline(0, {});
  CadSetLayer(3);
  CadCircle(80, 60, 10);
  ArcCases({{60, 60}, {60, 80}, {60, 100}, {80, 80}, {80, 100}});
  // Texts: every alignment, an angle, width 0, an oblique angle.
  CadSetLayer(4);
  CadTextStyle(2, 0, 3.5L, 2.5L);
  Alignments([](int h, int v) { return "Ab" + std::to_string(h) + std::to_string(v); }, 100, 20, 10, 8);
  CadTextStyle(2, 30, 5, 3);
  CadText("Winkel 30", 100, 40);
  CadTextStyle(2, 0, 4, 0);
  CadText("Breite 0", 100, 50);
  CadSettings().CadTextObliqueAngle = 15;
  CadTextStyle(2, 0, 4, 2.8L);
  CadText("Schräg 90°"_oem, 100, 60);
  CadSettings().CadTextObliqueAngle = 0;
  CadSetLayer(5);
  CadSolid(0, 40, 10, 40, 0, 50, 10, 50);
  CadArrowStd(20, 45, 0);
  CadArrowHead(40, 45, 135, 10, 6, 12);
  // Numbered layers, one folded.
  CadSetLayer(17);
  CadLine(0, 110, 160, 110);
  CadSetLayer(47);
  CadLine(0, 115, 160, 115);
  CadSetLayer(0);
  CadInsertBlock("OUTER", 100, 80, 30, 2, 2);
}

void DrawPrimitiveBlocks() {
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

void DrawPrimitiveEntities() {
  CadSetLayer(0);
  CadLine(5, 5, 45, 5);
  CadLine(5, 8, -3.25L, 12.5L);
  CadSetLayer(1);
  Polyline(0, {{5, 20, 0}, {15, 20, kPi / 2}, {25, 30, -kPi / 2}, {35, 20, 0}});
  Polyline(1, {{40, 20, 0}, {50, 20, kPi / 3}, {50, 30, 0}, {40, 30, 0}});
  Polyline(0, {});
  CadSetLayer(2);
  CadCircle(70, 15, 6);
  ArcCases({{90, 15}, {105, 15}, {120, 15}, {135, 15}, {150, 15}});
  CadSetLayer(4);
  CadSettings().CadTextObliqueAngle = 15;
  CadTextStyle(2, 0, 2.5L, 2);
  Alignments([](int h, int v) { return "H" + std::to_string(h) + "V" + std::to_string(v); }, 10, 25, 45, 8);
  CadTextStyle(2, 30, 3, 0);
  CadText("Winkel 30 "_oem + DegreeSign() + ", Breite 0", 85, 45);
  CadSettings().CadTextObliqueAngle = 0;
  CadSetLayer(3);
  CadSolid(10, 75, 20, 75, 10, 85, 20, 85);
  CadSolid(25, 75, 35, 75, 30, 85, 30, 85);
  CadArrowStd(50, 80, 0);
  CadArrowHead(60, 80, 135, 12, 6, 10);
  CadInsertBlock("OUTER", 90, 70, 0, 1, 1);
  CadInsertBlock("OUTER", 130, 70, 45, 1, 1);
}

// Absolute at start-up: __FILE__ may be relative to the build folder, and
// tests change the working directory.
const fs::path kGoldenDir = fs::absolute(fs::path(__FILE__).parent_path() / "golden");

void ExpectGolden(const std::string& name, const std::string& actual) { ExpectGoldenFile(kGoldenDir / name, actual); }

}  // namespace zeb::test
