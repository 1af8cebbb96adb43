// The Quick 3 sheet as redrawn after every command: DrawQuickSheet(3) of
// examples/round_dynamic.zeb onto the recording screen, against as many
// CadLine calls onto the same screen in one run ("ratio"), in process CPU
// time. Target: within 15 (the sheet works out its values, places its
// labels free of the plot's lines and breaks its lines at its texts; a
// bare line does none of that).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/sink.h"
#include "platform/files.h"
#include "settings/config.h"
#include "spring/springfile.h"
#include "cpu_clock.h"

namespace {

double Seconds(zeb::bench::CpuClock::time_point a, zeb::bench::CpuClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_Quick3Redraw(benchmark::State& state) {
  std::string dir = zeb::TempDirectory() + "/zeb1-bench-quick3-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) std::abort();
  zeb::ResetBaseGlobals();
  zeb::ResetCadState();
  zeb::ResetCadSettings();
  zeb::ResetConfigDefaults();
  zeb::SetUi(std::make_shared<zeb::BatchUi>(nullptr));
  auto sink = std::make_shared<zeb::RecordingSink>();
  zeb::SetScreen(sink);
  zeb::G().TempFolder = dir;
  zeb::G().ShowErrorsSwitch = 0;
  zeb::ReadSpringFile(std::string(ZEB1_SOURCE_DIR) + "/examples/round_dynamic.zeb");
  double sheetTime = 0, lineTime = 0;
  std::size_t calls = 0;
  for (auto _ : state) {
    sink->ClearCalls();
    auto t0 = zeb::bench::CpuClock::now();
    zeb::DrawQuickSheet(3);
    auto t1 = zeb::bench::CpuClock::now();
    calls = sink->Calls().size();
    sink->ClearCalls();
    auto t2 = zeb::bench::CpuClock::now();
    zeb::CadBeginOutput(3);
    zeb::CadDrawingHeader(0, 0, 160, 120);
    zeb::CadTables(2);
    zeb::CadBeginEntities();
    for (std::size_t i = 0; i < calls; ++i) {
      const zeb::Real x = static_cast<zeb::Real>(i % 150);
      zeb::CadLine(x, 10, x + 5, 20);
    }
    zeb::CadEndSection();
    zeb::CadEndOutput();
    auto t3 = zeb::bench::CpuClock::now();
    sheetTime += Seconds(t0, t1);
    lineTime += Seconds(t2, t3);
  }
  state.counters["screen_calls"] = static_cast<double>(calls);
  state.counters["ratio"] = lineTime > 0 ? sheetTime / lineTime : 0;
  zeb::SetScreen(nullptr);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Quick3Redraw)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
