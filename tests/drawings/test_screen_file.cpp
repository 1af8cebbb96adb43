// The screen draws what the file holds: for every example spring the line
// pieces, arcs and circles the screen gets from a sheet are those of the
// same sheet written as DXF (block inserts and polylines expanded), within
// 0.01 mm, so a line the file breaks at a text is broken on the screen as
// well and one it leaves whole is whole there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "drawings/support_drawings.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "spring/ref_spring.h"

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = std::numbers::pi, kTol = 0.01;

// A line ('L': its ends, lower end first), an arc ('A': centre, radius,
// counter-clockwise start and end point) or a circle ('C': centre, radius).
struct Piece {
  char kind = 'L';
  double v[7] = {};
  int Count() const { return kind == 'L' ? 4 : kind == 'A' ? 7 : 3; }
  std::string Show() const {
    std::ostringstream s;
    s.precision(6);
    s << kind << "(";
    for (int i = 0; i < Count(); ++i) s << (i ? "," : "") << v[i];
    return s.str() + ")";
  }
};

Piece LinePiece(double x1, double y1, double x2, double y2) {
  Piece p;
  if (std::make_pair(x2, y2) < std::make_pair(x1, y1)) std::swap(x1, x2), std::swap(y1, y2);
  p.v[0] = x1, p.v[1] = y1, p.v[2] = x2, p.v[3] = y2;
  return p;
}

Piece ArcPiece(double x, double y, double r, double startDeg, double endDeg) {
  Piece p;
  p.v[0] = x, p.v[1] = y, p.v[2] = r;
  double sweep = std::fmod(endDeg - startDeg, 360.0);
  if (sweep < 0) sweep += 360;
  if (sweep < 1e-9 || sweep > 360 - 1e-9) {
    p.kind = 'C';
    return p;
  }
  p.kind = 'A';
  p.v[3] = x + r * std::cos(startDeg * kPi / 180), p.v[4] = y + r * std::sin(startDeg * kPi / 180);
  p.v[5] = x + r * std::cos(endDeg * kPi / 180), p.v[6] = y + r * std::sin(endDeg * kPi / 180);
  return p;
}

bool Same(const Piece& a, const Piece& b) {
  if (a.kind != b.kind) return false;
  for (int i = 0; i < a.Count(); ++i)
    if (std::fabs(a.v[i] - b.v[i]) > kTol) return false;
  return true;
}

// The pieces of one side found by their first point.
class PieceIndex {
 public:
  explicit PieceIndex(const std::vector<Piece>& pieces) : pieces_(pieces) {
    for (std::size_t i = 0; i < pieces.size(); ++i) cells_[Cell(pieces[i].v[0], pieces[i].v[1])].push_back(i);
  }
  bool Has(const Piece& p) const {
    const auto [cx, cy] = Cell(p.v[0], p.v[1]);
    for (long dx = -1; dx <= 1; ++dx)
      for (long dy = -1; dy <= 1; ++dy) {
        const auto found = cells_.find({cx + dx, cy + dy});
        if (found == cells_.end()) continue;
        for (std::size_t i : found->second)
          if (Same(p, pieces_[i])) return true;
      }
    return false;
  }

 private:
  static std::pair<long, long> Cell(double x, double y) {
    return {std::lround(std::floor(x / 0.1)), std::lround(std::floor(y / 0.1))};
  }
  const std::vector<Piece>& pieces_;
  std::map<std::pair<long, long>, std::vector<std::size_t>> cells_;
};

// A block placement: scaled, turned, moved.
struct Place {
  double dx = 0, dy = 0, angle = 0, sx = 1, sy = 1;
  void Point(double x, double y, double& ox, double& oy) const {
    const double a = angle * kPi / 180, px = x * sx, py = y * sy;
    ox = dx + px * std::cos(a) - py * std::sin(a);
    oy = dy + px * std::sin(a) + py * std::cos(a);
  }
  Place Then(const Place& inner) const {
    Place q;
    Point(inner.dx, inner.dy, q.dx, q.dy);
    q.angle = angle + inner.angle;
    q.sx = sx * inner.sx, q.sy = sy * inner.sy;
    return q;
  }
};

double Or(double v, double d) { return std::isnan(v) ? d : v; }

// A polyline segment from p to q with the bulge b (tangent of a quarter of
// its included angle, counter-clockwise when positive).
void BulgeSegment(double px, double py, double qx, double qy, double b, std::vector<Piece>& out) {
  if (b == 0) {
    out.push_back(LinePiece(px, py, qx, qy));
    return;
  }
  const double c = std::hypot(qx - px, qy - py);
  if (!(c > 0)) return;
  // The centre lies off the chord's middle along its left normal.
  const double off = c * (1 - b * b) / (4 * b), r = std::fabs(c * (1 + b * b) / (4 * b));
  const double nx = -(qy - py) / c, ny = (qx - px) / c;
  const double cx = (px + qx) / 2 + off * nx, cy = (py + qy) / 2 + off * ny;
  Piece a;
  a.kind = 'A';
  a.v[0] = cx, a.v[1] = cy, a.v[2] = r;
  if (b > 0) a.v[3] = px, a.v[4] = py, a.v[5] = qx, a.v[6] = qy;
  else a.v[3] = qx, a.v[4] = qy, a.v[5] = px, a.v[6] = py;
  out.push_back(a);
}

// The pieces of the entities at the placement, blocks read from the file.
void Expand(const std::string& path, const std::vector<DxfEntity>& es, const Place& at, int depth,
            std::vector<Piece>& out) {
  for (std::size_t i = 0; i < es.size(); ++i) {
    const DxfEntity& e = es[i];
    double x1, y1, x2, y2;
    if (e.type == "LINE") {
      at.Point(e.Get(10), e.Get(20), x1, y1);
      at.Point(e.Get(11), e.Get(21), x2, y2);
      out.push_back(LinePiece(x1, y1, x2, y2));
    } else if (e.type == "CIRCLE" || e.type == "ARC") {
      at.Point(e.Get(10), e.Get(20), x1, y1);
      const double r = e.Get(40) * std::fabs(at.sx);
      if (e.type == "CIRCLE") out.push_back(ArcPiece(x1, y1, r, 0, 360));
      else out.push_back(ArcPiece(x1, y1, r, e.Get(50) + at.angle, e.Get(51) + at.angle));
    } else if (e.type == "INSERT" && depth < 4) {
      const Place inner{e.Get(10), e.Get(20), Or(e.Get(50), 0), Or(e.Get(41), 1), Or(e.Get(42), 1)};
      Expand(path, ReadDxfBlock(path, e.Text(2)), at.Then(inner), depth + 1, out);
    } else if (e.type == "POLYLINE") {
      std::vector<std::pair<double, double>> points;
      std::vector<double> bulges;
      std::size_t k = i + 1;
      for (; k < es.size() && es[k].type == "VERTEX"; ++k) {
        at.Point(es[k].Get(10), es[k].Get(20), x1, y1);
        points.emplace_back(x1, y1);
        bulges.push_back(Or(es[k].Get(42), 0) * (at.sx * at.sy < 0 ? -1 : 1));
      }
      const bool closed = (static_cast<int>(Or(e.Get(70), 0)) & 1) && points.size() > 2;
      for (std::size_t j = 0; j + 1 < points.size() + (closed ? 1 : 0); ++j) {
        const auto& p = points[j];
        const auto& q = points[(j + 1) % points.size()];
        BulgeSegment(p.first, p.second, q.first, q.second, bulges[j], out);
      }
      i = k;
    }
  }
}

std::vector<Piece> FilePieces(const std::string& path) {
  std::vector<Piece> out;
  Expand(path, ReadDxfEntities(path), Place{}, 0, out);
  return out;
}

std::vector<Piece> SinkPieces(const RecordingSink& sink) {
  std::vector<Piece> out;
  for (const SinkCall& c : sink.Calls()) {
    std::vector<double> a(c.args.begin(), c.args.end());
    if (c.name == "GrafLine") out.push_back(LinePiece(a[0], a[1], a[2], a[3]));
    else if (c.name == "GrafCircle") out.push_back(ArcPiece(a[0], a[1], a[2], 0, 360));
    else if (c.name == "GrafArc") out.push_back(ArcPiece(a[0], a[1], a[4], a[2], a[3]));
  }
  return out;
}

// What one side has and the other lacks, a line each (the first few).
std::string Differences(const std::vector<Piece>& screen, const std::vector<Piece>& file) {
  std::string out;
  int shown = 0;
  auto lacks = [&](const std::vector<Piece>& a, const std::vector<Piece>& b, const char* what) {
    const PieceIndex index(b);
    for (const Piece& p : a)
      if (!index.Has(p) && shown++ < 12) out += std::string(what) + " " + p.Show() + "\n";
  };
  lacks(screen, file, "screen only");
  lacks(file, screen, "file only");
  return out;
}

struct Sheet {
  std::string name;
  std::function<void(int)> draw;
};

class ScreenFileTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    tables_ = InstallRefMaterialTable();
    // The calculations' messages of the examples are no part of this test.
    log_ = std::tmpfile();
    ASSERT_NE(nullptr, log_);
    SetUi(std::make_shared<BatchUi>(log_));
    // The screen's own footer and border stay off: the file has neither.
    CadSettings().FooterOff = 1;
    CadSettings().BorderFlag = 0;
  }
  void TearDown() override {
    SetUi(std::shared_ptr<ScriptedUi>(&ui(), [](ScriptedUi*) {}));
    if (log_) std::fclose(log_);
    DrawingTest::TearDown();
  }
  // The pieces of the sheet on the screen.
  std::vector<Piece> OnScreen(const Sheet& sheet) {
    sink().ClearCalls();
    G().AbortFlag = 0;
    sheet.draw(3);
    G().AbortFlag = 0;
    return SinkPieces(sink());
  }
  // The sheet on the screen, drawn twice (the second time as the screen
  // draws an unchanged picture again), and as DXF: what one has and the
  // other lacks ("" when alike); false when the file is not written (a
  // sheet the spring has not).
  bool Compare(const std::string& name, const Sheet& sheet, std::string& diff, std::size_t& pieces) {
    const std::vector<Piece> screen = OnScreen(sheet), again = OnScreen(sheet);
    const std::string path = UseFileName(name) + ".dxf";
    fs::remove(path);
    sheet.draw(1);
    G().AbortFlag = 0;
    if (!fs::exists(path)) return false;
    const std::vector<Piece> file = FilePieces(path);
    pieces = file.size();
    diff = Differences(screen, file) + Differences(again, file);
    fs::remove(path);
    return true;
  }
  // Every example spring: the sheets compared, the differences in failures.
  int CompareAll(const std::vector<Sheet>& sheets) {
    int compared = 0;
    for (const std::string& example : ExampleNames()) {
      ResetSpringRecords();
      EXPECT_TRUE(LoadExample(example)) << example;
      for (const Sheet& s : sheets) {
        std::string diff;
        std::size_t pieces = 0;
        if (!Compare(fs::path(example).stem().string() + "_" + s.name, s, diff, pieces)) continue;
        ++compared;
        EXPECT_GT(pieces, 0u) << example << " " << s.name;
        EXPECT_EQ("", diff) << example << " " << s.name;
      }
    }
    return compared;
  }

 private:
  std::FILE* log_ = nullptr;
  std::shared_ptr<RefMaterialTables> tables_;
};

// Both production drawings, their field tables, labels and grade circles
// included: the screen breaks exactly the lines the file breaks.
TEST_F(ScreenFileTest, ProductionDrawingsBreakTheSameLinesOnScreenAndInTheFile) {
  const int compared = CompareAll({{"production", [](int c) { DrawProductionDrawing(c); }},
                                   {"production_en", [](int c) { DrawProductionDrawingEN(c); }}});
  // The examples of the test's material: three of round cold-coiled wire
  // with both drawings, one hot coiled without the EN drawing.
  EXPECT_GE(compared, 7);
}

// The other sheets: views, Quick 3, fatigue, spectrum and the diagrams (the
// 3D view's file holds the centre line in model units, the screen a view).
TEST_F(ScreenFileTest, EverySheetBreaksTheSameLinesOnScreenAndInTheFile) {
  std::vector<Sheet> sheets;
  for (int kind = 1; kind <= 4; ++kind)
    sheets.push_back({"view" + std::to_string(kind), [kind](int c) { DrawSpringView(kind, c, false); }});
  sheets.push_back({"quick3", [](int c) { DrawQuickSheet(c); }});
  sheets.push_back({"goodman", [](int c) { GoodmanOutput(c); }});
  sheets.push_back({"haigh", [](int c) { HaighOutput(c); }});
  sheets.push_back({"spectrum", [](int c) { SelectDiagram(14, c); }});
  for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29})
    sheets.push_back({"diagram" + std::to_string(code), [code](int c) { ShowDiagram(code, c); }});
  EXPECT_GE(CompareAll(sheets), 100);
}

}  // namespace
}  // namespace zeb::test
