// A spring view on the (recording) screen shown once (after another view)
// and then again unchanged, as at every Enter, in thread CPU time: the examples of
// built-in materials and round_dynamic.zeb wound to 500 coils, views 1-4.
// Counters: "first_ms" and "again_ms", medians of the showings; compare
// "again_ms" with the same bench built at an earlier commit (no target of
// its own: the second showing is held to the first build's cost).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "cpu_clock.h"
#include "drawing_setup.h"
#include "drawings/drawings.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "graphics/sink.h"
#include "settings/config.h"
#include "spring/springfile.h"
#include "scratch_folder.h"

namespace {

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

const char* const kSprings[] = {"round_dynamic", "round_static", "hot_coiled", "rectangular", "coils500"};

void BM_ViewAgain(benchmark::State& state) {
  const zeb::bench::ScratchFolder scratch("zeb1-bench-screen-");
  const std::string dir = scratch.path();
  zeb::bench::ResetForDrawings(dir);
  const std::string spring = kSprings[state.range(0)];
  const int kind = static_cast<int>(state.range(1));
  const std::string file = spring == "coils500" ? zeb::bench::WriteManyCoilsSpring(dir)
                                                : std::string(ZEB1_SOURCE_DIR) + "/examples/" + spring + ".zeb";
  zeb::ReadSpringFile(file);
  zeb::G().CurrentFileName = dir + "/t";
  std::vector<double> first, again;
  for (auto _ : state) {
    zeb::SetScreen(nullptr);
    // Another view first: the first showing of this one is a new picture.
    zeb::G().AbortFlag = 0;
    zeb::DrawSpringView(kind % 4 + 1, 3, false);
    for (std::vector<double>* v : {&first, &again}) {
      zeb::G().AbortFlag = 0;
      const double t0 = zeb::bench::ThreadCpuMs();
      zeb::DrawSpringView(kind, 3, false);
      v->push_back(zeb::bench::ThreadCpuMs() - t0);
    }
  }
  state.SetLabel(spring + " view " + std::to_string(kind));
  state.counters["first_ms"] = Median(first);
  state.counters["again_ms"] = Median(again);
}
BENCHMARK(BM_ViewAgain)->ArgsProduct({{0, 1, 2, 3, 4}, {1, 2, 3, 4}})->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
