// CPU time of one design call, per mode, over drawn duties (every material
// row, sections, transverse loads, low Dm/d, wide duties with tiny
// strokes) from the start values. Prints one line a call:
//   <mode> <duty> <ms>
// the least of `reps` runs of that call. design_cost_compare.py runs two
// builds of this program in turns, part by part, and gives p50, p99 and
// the largest per mode.
//   bench_design_cost [seed] [duties] [part] [parts] [reps]
#include <cstdio>
#include <cstdlib>

#include "base/globals.h"
#include "cpu_clock.h"
#include "spring/design_grid.h"
#include "spring/dimension.h"

namespace {

using Mode = void (*)();
constexpr Mode kModes[] = {zeb::RunPreDimensioning, zeb::DimensionF1F2,   zeb::DimensionF1RMin,
                           zeb::DimensionF2RMin,    zeb::DimensionF1RMax, zeb::DimensionF2RMax};
const char* const kNames[] = {"pre", "F1F2", "input2", "input3", "input4", "input5"};

int Arg(int argc, char** argv, int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; }

}  // namespace

int main(int argc, char** argv) {
  const int seed = Arg(argc, argv, 1, 7373), count = Arg(argc, argv, 2, 600);
  const int part = Arg(argc, argv, 3, 0), parts = Arg(argc, argv, 4, 1), reps = Arg(argc, argv, 5, 3);
  const auto duties = zeb::test::Duties(static_cast<std::uint64_t>(seed), count);
  for (int i = part; i < count; i += parts) {
    for (int m = 0; m < 6; ++m) {
      double best = 1e300;
      for (int r = 0; r < reps; ++r) {
        zeb::test::SetDuty(duties[static_cast<std::size_t>(i)], 0, m == 0 ? 1 : 2);
        zeb::G().ShowErrorsSwitch = 0;  // no "No Solution" boxes
        const double begin = zeb::bench::ThreadCpuMs();
        kModes[m]();
        const double ms = zeb::bench::ThreadCpuMs() - begin;
        if (ms < best) best = ms;
      }
      std::printf("%s %d %.4f\n", kNames[m], i, best);
    }
  }
  return 0;
}
