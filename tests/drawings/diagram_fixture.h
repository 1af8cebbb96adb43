// Fixture of the diagram tests: fresh CAD, diagram and spring state, the
// REF material table, file output without dialogs, and helpers that write
// one diagram as DXF, IGES or TXT.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "drawings/diagrams.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/support_cadrun.h"
#include "graphics/support_checkers.h"
#include "mainwin/dispatch.h"
#include "mainwin/program.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"

namespace zeb::test {

class DiagramTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    ResetSpringRecords();
    ResetDiagramGlobals();
    tables_ = InstallRefMaterialTable();
    CadSettings().CommandLineExport = 1;
    PS().CadBatchMode = 0;
  }
  void TearDown() override {
    PS().CadBatchMode = 0;
    SetTables(nullptr);
    CadTest::TearDown();
  }
  // The calculated REF spring.
  void Ref() {
    MakeRefSpring();
    RunRecalculation();
    ASSERT_EQ(G().FatalErrorFlag, 0);
  }
  // Runs draw(cadCode) with the output file dir()/name; returns the path
  // of the file written ("" when none).
  std::string Write(const std::string& name, int cadCode, const std::function<void(int)>& draw) {
    G().CurrentFileName = dir() + "/" + name;
    const char* ext = cadCode == 1 ? ".dxf" : cadCode == 2 ? ".igs" : ".txt";
    const std::string path = dir() + "/" + name + ext;
    std::filesystem::remove(path);
    draw(cadCode);
    return std::filesystem::exists(path) ? path : std::string();
  }
  std::string WriteCode(const std::string& name, int cadCode, int diagramCode) {
    return Write(name, cadCode, [diagramCode](int c) { ShowDiagram(diagramCode, c); });
  }
  std::shared_ptr<RefMaterialTables> tables_;
};

// LINE, CIRCLE and TEXT entities of an ASCII DXF file's ENTITIES section.
struct DxfEntity {
  std::string type, layer, text;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0, r = 0, angle = 0;
};

inline std::vector<DxfEntity> ReadDxfEntities(const std::string& path) {
  std::vector<std::pair<int, std::string>> pairs;
  {
    std::istringstream in(ReadFileBytes(path));
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value)) {
      if (!value.empty() && value.back() == '\r') value.pop_back();
      pairs.emplace_back(std::stoi(code), value);
    }
  }
  std::vector<DxfEntity> out;
  bool inEntities = false;
  DxfEntity* cur = nullptr;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    const auto& [c, v] = pairs[k];
    if (c == 2 && k > 0 && pairs[k - 1].second == "SECTION") inEntities = v == "ENTITIES";
    if (!inEntities) continue;
    if (c == 0) {
      cur = nullptr;
      if (v == "LINE" || v == "CIRCLE" || v == "TEXT") {
        out.emplace_back();
        out.back().type = v;
        cur = &out.back();
      }
      continue;
    }
    if (!cur) continue;
    switch (c) {
      case 8: cur->layer = v; break;
      case 1: cur->text = v; break;
      case 10: cur->x1 = std::stod(v); break;
      case 20: cur->y1 = std::stod(v); break;
      case 11: cur->x2 = std::stod(v); break;
      case 21: cur->y2 = std::stod(v); break;
      case 40: cur->r = std::stod(v); break;
      case 50: cur->angle = std::stod(v); break;
      default: break;
    }
  }
  return out;
}

// Lines of a layer that join the two points (either direction) within tol.
inline int CountLines(const std::vector<DxfEntity>& es, const std::string& layer, double x1, double y1, double x2,
                      double y2, double tol = 1e-3) {
  int n = 0;
  for (const DxfEntity& e : es) {
    if (e.type != "LINE" || (!layer.empty() && e.layer != layer)) continue;
    auto near = [tol](double a, double b) { return std::fabs(a - b) <= tol; };
    if ((near(e.x1, x1) && near(e.y1, y1) && near(e.x2, x2) && near(e.y2, y2)) ||
        (near(e.x1, x2) && near(e.y1, y2) && near(e.x2, x1) && near(e.y2, y1)))
      ++n;
  }
  return n;
}

inline const DxfEntity* FindText(const std::vector<DxfEntity>& es, const std::string& text) {
  for (const DxfEntity& e : es)
    if (e.type == "TEXT" && e.text == text) return &e;
  return nullptr;
}

// A plot frame worked out by hand: plot size and origin, world limits.
struct HandFrame {
  double w, h, x0, y0, xlo, xhi, ylo, yhi;
  double SheetX(double x) const { return x0 + (x - xlo) / (xhi - xlo) * w; }
  double SheetY(double y) const { return y0 + (y - ylo) / (yhi - ylo) * h; }
  double WorldY(double sy) const { return ylo + (sy - y0) / h * (yhi - ylo); }
};

// The world y of the polyline of a layer at world x (NaN when no segment
// spans it).
inline double CurveAt(const std::vector<DxfEntity>& es, const std::string& layer, const HandFrame& f, double x) {
  const double sx = f.SheetX(x);
  for (const DxfEntity& e : es) {
    if (e.type != "LINE" || e.layer != layer) continue;
    const double a = std::min(e.x1, e.x2), b = std::max(e.x1, e.x2);
    if (sx < a || sx > b || a == b) continue;
    const double t = (sx - e.x1) / (e.x2 - e.x1);
    return f.WorldY(e.y1 + t * (e.y2 - e.y1));
  }
  return std::nan("");
}

inline std::string SourceDir() { return std::filesystem::path(__FILE__).parent_path().string(); }

}  // namespace zeb::test
