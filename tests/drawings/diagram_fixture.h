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
#include "base/services.h"
#include "drawings/diagrams.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "drawings/support_drawings.h"
#include "graphics/support_cadrun.h"
#include "graphics/support_checkers.h"
#include "mainwin/dispatch.h"
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
    Graphics().SetCadBatchMode(0);
  }
  void TearDown() override {
    Graphics().SetCadBatchMode(0);
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

// Lines of a layer that join the two points (either direction) within tol.
inline int CountLines(const std::vector<DxfEntity>& es, const std::string& layer, double x1, double y1, double x2,
                      double y2, double tol = 1e-3) {
  int n = 0;
  for (const DxfEntity& e : es) {
    if (e.type != "LINE" || (!layer.empty() && e.layer != layer)) continue;
    auto near = [tol](double a, double b) { return std::fabs(a - b) <= tol; };
    const double a1 = e.Get(10), b1 = e.Get(20), a2 = e.Get(11), b2 = e.Get(21);
    if ((near(a1, x1) && near(b1, y1) && near(a2, x2) && near(b2, y2)) ||
        (near(a1, x2) && near(b1, y2) && near(a2, x1) && near(b2, y1)))
      ++n;
  }
  return n;
}

inline const DxfEntity* FindText(const std::vector<DxfEntity>& es, const std::string& text) {
  for (const DxfEntity& e : es)
    if (e.type == "TEXT" && e.Text(1) == text) return &e;
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
    const double x1 = e.Get(10), y1 = e.Get(20), x2 = e.Get(11), y2 = e.Get(21);
    const double a = std::min(x1, x2), b = std::max(x1, x2);
    if (sx < a || sx > b || a == b) continue;
    const double t = (sx - x1) / (x2 - x1);
    return f.WorldY(y1 + t * (y2 - y1));
  }
  return std::nan("");
}

inline std::string SourceDir() { return std::filesystem::path(__FILE__).parent_path().string(); }

}  // namespace zeb::test
