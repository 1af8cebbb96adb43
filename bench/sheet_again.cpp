// Sheets on the (headless) screen shown again unchanged, as at every Enter,
// and texts piled on a sheet, in thread CPU time. The file uses only what
// the program has had for long, so that the same bench builds at an earlier
// commit (with scratch_folder.h and stacked_rows.h beside it): compare its
// counters with that build's, runs interleaved.
// - BM_SheetAgain: every diagram code of examples/round_dynamic.zeb, the
//   Goodman diagram of examples/table_material.zeb (its table material),
//   the production drawing and the Quick 3 sheet; each drawn once, then
//   "again_ms", the median of its second showings.
// - BM_PiledTexts: n texts piled in rows over one another, with as many
//   lines, arcs and solids, written as DXF (1) and on the screen (3); "ms"
//   per run and "per_text_us".
//   Linear: per_text_us stays within a factor of about 1.3 from 2,000 to
//   32,000 texts.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "graphics/diagram.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "settings/config.h"
#include "spring/springfile.h"
#include "scratch_folder.h"
#include "stacked_rows.h"

namespace {

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void Reset(const std::string& dir) {
  zeb::ResetBaseGlobals();
  zeb::ResetCadState();
  zeb::ResetCadSettings();
  zeb::ResetConfigDefaults();
  zeb::SetUi(std::make_shared<zeb::BatchUi>(nullptr));
  zeb::InstallGraphicsFacade();
  zeb::InstallDrawings();
  zeb::G().TempFolder = dir;
  zeb::G().ShowErrorsSwitch = 0;
}

// Sheet k: diagram codes 1..29, then the Goodman of the table material,
// the production drawing and Quick 3.
constexpr int kDiagrams = 29;

void Show(int k) {
  zeb::G().AbortFlag = 0;
  if (k <= kDiagrams) zeb::ShowDiagram(k, 3);
  else if (k == kDiagrams + 1) zeb::GoodmanOutput(3);
  else if (k == kDiagrams + 2) zeb::DrawProductionDrawing(3);
  else zeb::DrawQuickSheet(3);
}

void BM_SheetAgain(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-sheet-");
  const std::string dir = scratch.path();
  Reset(dir);
  const int k = static_cast<int>(state.range(0));
  const char* spring = k == kDiagrams + 1 ? "table_material" : "round_dynamic";
  zeb::ReadSpringFile(std::string(ZEB1_SOURCE_DIR) + "/examples/" + spring + ".zeb");
  zeb::G().CurrentFileName = dir + "/t";
  std::vector<double> again;
  for (auto _ : state) {
    Show(k);
    const double t0 = CpuMs();
    Show(k);
    again.push_back(CpuMs() - t0);
  }
  state.counters["again_ms"] = Median(again);
}
BENCHMARK(BM_SheetAgain)->DenseRange(1, kDiagrams + 3)->Unit(benchmark::kMillisecond)->Iterations(9);

void BM_PiledTexts(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-piled-");
  Reset(scratch.path());
  zeb::G().CurrentFileName = scratch.path() + "/t";
  zeb::CadSettings().CommandLineExport = 1;
  const int n = static_cast<int>(state.range(0)), cadCode = static_cast<int>(state.range(1));
  std::vector<double> runs;
  for (auto _ : state) {
    const double t0 = CpuMs();
    zeb::bench::StackedRows(n, cadCode);
    runs.push_back(CpuMs() - t0);
  }
  const double ms = Median(runs);
  state.counters["ms"] = ms;
  state.counters["per_text_us"] = ms * 1000 / n;
}
BENCHMARK(BM_PiledTexts)->ArgsProduct({{2000, 4000, 8000, 16000, 32000}, {1, 3}})->Unit(benchmark::kMillisecond)->Iterations(5);

// n labels of a plot asked for at places spread over it (DiagramPlaceLabel
// moves each to a free place near its own).
void BM_PiledLabels(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-labels-");
  Reset(scratch.path());
  zeb::G().CurrentFileName = scratch.path() + "/t";
  zeb::CadSettings().CommandLineExport = 1;
  const int n = static_cast<int>(state.range(0));
  std::vector<double> runs;
  for (auto _ : state) {
    const double t0 = CpuMs();
    zeb::CadBeginOutput(1);
    zeb::CadDrawingHeader(0, 0, 420, 297);
    zeb::CadTables(2);
    zeb::CadBeginEntities();
    zeb::DiagramReset();
    zeb::DiagramSetPlotSize(400, 280);
    zeb::DiagramSetPlotOrigin(10, 10);
    zeb::DiagramFrame("x", "y", "Labels", 0, 0, 100, 100, 0);
    zeb::CadTextStyle(2, 0, 1.5L, 1);
    unsigned seed = 6702;
    auto next = [&seed] {
      seed = seed * 1103515245u + 12345u;
      return 100 * static_cast<zeb::Real>((seed >> 8) & 0xFFFF) / 65536;
    };
    for (int i = 0; i < n; ++i) {
      const zeb::Real x = next(), y = next();
      zeb::DiagramPlaceLabel("L" + std::to_string(i), x, y);
    }
    zeb::CadEndSection();
    zeb::CadEndOutput();
    runs.push_back(CpuMs() - t0);
  }
  const double ms = Median(runs);
  state.counters["ms"] = ms;
  state.counters["per_text_us"] = ms * 1000 / n;
}
BENCHMARK(BM_PiledLabels)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
