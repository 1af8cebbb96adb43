// PlayHpglBytes of a 1 MB PU/PD plot file against splitting the same bytes
// at ";" and "," with strtod per number, in the same run. Counter "ratio" =
// player time / split time (target: within 10).
// A picture of 30,000 labels (once 13 s per repaint; the player cuts it at
// its bounds) played and replayed onto the logical device: target under
// 2 s (the reported time).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/globals.h"
#include "graphics/facade.h"
#include "graphics/hpgl.h"
#include "graphics/renderer.h"
#include "cpu_clock.h"

namespace {

std::string PlotFile() {
  std::string s = "IN;SP1;";
  int i = 0;
  while (s.size() < (1u << 20)) {
    s += (i % 2 ? "PD" : "PU") + std::to_string(i * 37 % 6400) + "," + std::to_string(i * 53 % 4800) + ";";
    ++i;
  }
  return s;
}

double Seconds(zeb::bench::CpuClock::time_point a, zeb::bench::CpuClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_PlayHpgl(benchmark::State& state) {
  const std::string bytes = PlotFile();
  zeb::InstallGraphicsFacade();
  double play = 0, split = 0, sink = 0;
  for (auto _ : state) {
    auto t0 = zeb::bench::CpuClock::now();
    zeb::Facade().GrafClear();
    zeb::Facade().GrafHeader(false, 0, 0, 160, 120);
    zeb::PlayHpglBytes(zeb::Facade(), bytes);
    auto t1 = zeb::bench::CpuClock::now();
    std::string token;
    for (char c : bytes) {
      if (c == ';' || c == ',') {
        sink += std::strtod(token.c_str() + (token.size() > 1 && token[0] >= 'A' ? 2 : 0), nullptr);
        token.clear();
      } else {
        token += c;
      }
    }
    auto t2 = zeb::bench::CpuClock::now();
    play += Seconds(t0, t1);
    split += Seconds(t1, t2);
  }
  benchmark::DoNotOptimize(sink);
  state.counters["ratio"] = play / split;
  state.counters["records"] = static_cast<double>(zeb::Facade().Window().DisplayList().size());
}
BENCHMARK(BM_PlayHpgl)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HugeLabelPicture(benchmark::State& state) {
  std::string labels = "SP1;PU400,400;";
  for (int i = 0; i < 30000; ++i) labels += "LBx\x03";
  zeb::InstallGraphicsFacade();
  zeb::GraphWindow& w = zeb::Facade().Window();
  for (auto _ : state) {
    zeb::Facade().GrafClear();
    zeb::PlayHpglBytes(zeb::Facade(), labels);
    zeb::RecordingRenderer screen(w.DeviceWidth(), w.DeviceHeight());
    w.Replay(&screen, nullptr);
    benchmark::DoNotOptimize(screen.Calls().size());
  }
  state.counters["records"] = static_cast<double>(w.DisplayList().size());
}
BENCHMARK(BM_HugeLabelPicture)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
