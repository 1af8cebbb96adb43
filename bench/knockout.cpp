// The rule that breaks lines at texts, against the same drawing without it,
// runs interleaved: 1,000 lines, 1,000 arcs and 1,000 texts in one section
// written as DXF, and the production drawing of examples/round_dynamic.zeb
// as DXF and on the (recording) screen; texts piled on texts (rows 0.7
// apart, each text 36 wide, as many as lines, arcs and solids: 2,000 and
// 4,000 each, the cost growing with their number, not its square) and
// 16,000 each spread over an A1 sheet. Counters: medians of thread CPU
// time in ms with the rule ("rule_ms") and without ("plain_ms"), and their
// ratio. Targets: the production drawings and the many-coil view within
// 1.5 (what the rule costs on the program's own sheets); a thousand each
// over A1 within 2.5; the stacked rows within 3.5 (every text lies over
// hundreds of others and every line and arc under some, so each is cut
// against several); 16,000 each over A1 within 8 (their texts cover the
// sheet about twice over: nearly every line and arc is cut, against about
// as many texts as the stacked rows, while the plain run only writes).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/services.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "mainwin/dispatch.h"
#include "platform/files.h"
#include "settings/config.h"
#include "spring/springfile.h"
#include "cpu_clock.h"
#include "drawing_setup.h"
#include "scratch_folder.h"
#include "stacked_rows.h"

namespace {

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// CPU time of one run in ms.
double Time(const std::function<void()>& run) {
  const double t0 = zeb::bench::ThreadCpuMs();
  run();
  return zeb::bench::ThreadCpuMs() - t0;
}

// With and without the rule, one after the other in each iteration; with
// the file written, "grown" is its size with the rule / without (the
// pieces of broken lines are entities of their own).
void Compare(benchmark::State& state, const std::function<void()>& run, const std::string& file = "") {
  std::vector<double> rule, plain;
  double ruleBytes = 0, plainBytes = 0;
  auto size = [&file] { return file.empty() ? 0.0 : static_cast<double>(std::filesystem::file_size(file)); };
  for (auto _ : state) {
    zeb::cad_detail::BreakAtTexts() = true;
    rule.push_back(Time(run));
    ruleBytes = size();
    zeb::cad_detail::BreakAtTexts() = false;
    plain.push_back(Time(run));
    plainBytes = size();
  }
  zeb::cad_detail::BreakAtTexts() = true;
  const double r = Median(rule), p = Median(plain);
  state.counters["rule_ms"] = r;
  state.counters["plain_ms"] = p;
  state.counters["ratio"] = p > 0 ? r / p : 0;
  if (plainBytes > 0) state.counters["grown"] = ruleBytes / plainBytes;
}

std::string Setup(const zeb::bench::ScratchFolder& scratch) {
  const std::string dir = scratch.path();
  zeb::bench::ResetForDrawings(dir);
  zeb::G().CurrentFileName = dir + "/t";
  zeb::CadSettings().CommandLineExport = 1;
  return dir;
}

// Lines and arcs of a few millimetres and one-word texts over an A1 sheet
// (a thousand texts cover about 7 % of it).
void SpreadOverA1(int n) {
  zeb::CadBeginOutput(1);
  zeb::CadDrawingHeader(0, 0, 841, 594);
  zeb::CadTables(2);
  zeb::CadBeginEntities();
  zeb::CadTextStyle(2, 0, 2.5L, 2);
  unsigned seed = 12345;
  auto next = [&seed](zeb::Real span) {
    seed = seed * 1103515245u + 12345u;
    return span * static_cast<zeb::Real>((seed >> 8) & 0xFFFF) / 65536;
  };
  for (int i = 0; i < n; ++i) {
    const zeb::Real x = next(830), y = next(585);
    zeb::CadLine(x, y, x + next(12) - 6, y + next(12) - 6);
    zeb::CadArc(next(830), next(585), next(360), next(360), 0.5L + next(5));
    zeb::CadText("T" + std::to_string(i), next(820), next(585));
  }
  zeb::CadEndSection();
  zeb::CadEndOutput();
}

void BM_StackedRows(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-knockout-");
  const std::string dir = Setup(scratch);
  const int n = static_cast<int>(state.range(0));
  Compare(state, [n] { zeb::bench::StackedRows(n); }, dir + "/t.dxf");
}
BENCHMARK(BM_StackedRows)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(21);

void BM_ThousandEach(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-knockout-");
  const std::string dir = Setup(scratch);
  const int n = static_cast<int>(state.range(0));
  Compare(state, [n] { SpreadOverA1(n); }, dir + "/t.dxf");
}
BENCHMARK(BM_ThousandEach)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond)->Iterations(21);

void BM_ProductionDrawing(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-knockout-");
  const std::string dir = Setup(scratch);
  zeb::ReadSpringFile(std::string(ZEB1_SOURCE_DIR) + "/examples/round_dynamic.zeb");
  zeb::G().CurrentFileName = dir + "/t";
  const int code = static_cast<int>(state.range(0));
  Compare(state, [code] {
    zeb::G().AbortFlag = 0;
    zeb::DrawProductionDrawing(code);
  });
}
BENCHMARK(BM_ProductionDrawing)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(41);

// The spring view (drawing 13) of round_dynamic.zeb wound to 500 coils: the
// stroke and the length at F2 scaled as the coils.
void BM_ManyCoilsView(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-knockout-");
  const std::string dir = Setup(scratch);
  zeb::ReadSpringFile(zeb::bench::WriteManyCoilsSpring(dir));
  zeb::G().CurrentFileName = dir + "/t";
  Compare(state, [] {
    zeb::G().AbortFlag = 0;
    zeb::SetCadBatchMode(1);
    zeb::CadOutputByIndex(1, 13);
    zeb::SetCadBatchMode(0);
  });
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(dir + "/t.dxf"));
}
BENCHMARK(BM_ManyCoilsView)->Unit(benchmark::kMillisecond)->Iterations(41);

}  // namespace

BENCHMARK_MAIN();
