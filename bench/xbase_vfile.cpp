// Virtual files, as ratios and counts within one run:
//   sorted_ratio   = 1e5 ASCENDING appends in key order / 1e5 FIFO appends
//                    (process CPU time; target <= 1.5)
//   keys_per_append = key calls per sorted append (at most 2)
//   walk_excess    = nodes walked by 1e5 random GOs beyond the nearest of
//                    head, tail and current (0)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/units.h"
#include "xbase/dbf/workarea.h"
#include "xbase/vfile/vfiles.h"
#include "cpu_clock.h"

namespace {

using namespace zeb::xbase;
using Clock = zeb::bench::CpuClock;
constexpr int kRecords = 100000;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double Fill(const char* mode, bool keyed, std::vector<std::uint8_t>& buffer) {
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitTableEngineUnits();
  buffer.assign(1 + 11 + 4, 0);
  Select(1);
  USE(std::string("*7* VIRTUAL FILE ") + mode, buffer.data(), buffer.size());
  AddStru({{"KEY", 'C', 10, 0, 0}, {"N", 'N', 5, 0, 0}});
  WorkArea* a = CurrentWorkArea();
  if (keyed) Set_VFileKey_To([a] { return BufferText(*a, 1); });
  VFileCounter() = {};
  const auto t0 = Clock::now();
  for (int i = 0; i < kRecords; ++i) {
    SetBufferText(*a, 1, std::to_string(1000000000 + i));
    a->recordBuffer[0] = 0;
    Append();
  }
  return Seconds(t0, Clock::now());
}

void BM_VirtualFile(benchmark::State& state) {
  std::vector<std::uint8_t> buffer;
  for (auto _ : state) {
    const double fifo = Fill("FIFO", false, buffer);
    const double sorted = Fill("ASCENDING", true, buffer);
    const double keys = static_cast<double>(VFileCounter().keyCalls) / kRecords;
    // Random GOs: the walk never exceeds the nearest start.
    std::mt19937 rng(11);
    std::int64_t excess = 0;
    std::int32_t cur = RecNo();
    for (int i = 0; i < kRecords; ++i) {
      const std::int32_t t = 1 + static_cast<std::int32_t>(rng() % kRecords);
      const std::uint64_t before = VFileCounter().walkSteps;
      GO(t);
      const std::int64_t walked = static_cast<std::int64_t>(VFileCounter().walkSteps - before);
      const std::int64_t nearest = std::min<std::int64_t>({t - 1, kRecords - t, std::llabs(t - cur)});
      excess += std::max<std::int64_t>(0, walked - nearest);
      cur = t;
    }
    state.counters["sorted_ratio"] = sorted / fifo;
    state.counters["keys_per_append"] = keys;
    state.counters["walk_excess"] = static_cast<double>(excess);
    CloseArea();
  }
}
BENCHMARK(BM_VirtualFile)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
