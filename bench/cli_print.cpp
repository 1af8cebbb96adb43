// The whole command-line printout "wzeb1 NAME.zeb /I" in-process, per
// example spring: start-up (configuration, folder check), reading the
// spring file, the calculation, the TXT printout and its Windows-text copy.
// Each result is also given as a ratio ("x_read") to reading the same
// file's bytes, measured in the same run, in process CPU time. Target:
// under 1 ms per spring ("us" below 1000) plus, for a spring of a table
// material, its table reads ("tables_us": the material, its tensile
// strength limits and its relaxation row, each table opened, checked and
// searched through the table engine; their cost against the engine's own
// work is bench_material_load's). "limit_us" is the target, "ok" 1 when met.
// ZEB1_BENCH_LOG set: the program's messages go to stderr.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "graphics/facade.h"
#include "mainwin/program.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"
#include "cpu_clock.h"

namespace fs = std::filesystem;

namespace {

using Clock = zeb::bench::CpuClock;

fs::path SourceDir() {
  if (const char* env = std::getenv("ZEB1_SOURCE_DIR"); env != nullptr && *env != '\0') return env;
  return ZEB1_SOURCE_DIR;
}

// A scratch working directory with its own configuration and temporary
// folders, holding copies of the examples.
struct Scratch {
  fs::path root;
  std::vector<std::string> examples;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "zeb1_bench_cli_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    fs::create_directories(root / "work");
    fs::create_directories(root / "xdg");
    fs::create_directories(root / "tmp");
    ::setenv("XDG_CONFIG_HOME", (root / "xdg").c_str(), 1);
    ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
    fs::current_path(root / "work");
    for (const auto& e : fs::directory_iterator(SourceDir() / "examples"))
      if (e.path().extension() == ".zeb") {
        fs::copy_file(e.path(), root / "work" / e.path().filename(), fs::copy_options::overwrite_existing);
        examples.push_back(e.path().filename().string());
      }
    std::sort(examples.begin(), examples.end());
    // What the program's start installs: a spring naming a table material
    // reads it through the table services.
    zeb::InstallGraphicsFacade();
    zeb::xbase::InitTableEngineUnits();
    zeb::InstallTableServices();
    zeb::InstallDrawings();
    zeb::SetUi(std::make_shared<zeb::BatchUi>(std::getenv("ZEB1_BENCH_LOG") ? stderr : nullptr));
  }
  ~Scratch() {
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(root, ec);
  }
};

Scratch& Work() {
  static Scratch s;
  return s;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

double BestSeconds(const std::function<void()>& work, int reps) {
  double best = 1e30;
  for (int batch = 0; batch < 5; ++batch) {
    const auto start = Clock::now();
    for (int i = 0; i < reps; ++i) work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count() / reps);
  }
  return best;
}

void ClearTemporaryFolder() {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(Work().root / "tmp", ec)) fs::remove_all(e.path(), ec);
}

int RunPrintout(const std::string& name) {
  const char* argv[] = {"wzeb1", name.c_str(), "/I"};
  return zeb::RunProgram(3, argv, nullptr, std::getenv("ZEB1_BENCH_LOG") ? stderr : nullptr);
}

void BM_CliPrintout(benchmark::State& state, const std::string& name) {
  if (RunPrintout(name) != 0) {
    state.SkipWithError("the printout was not written");
    return;
  }
  const double read = BestSeconds([&] { benchmark::DoNotOptimize(ReadAll(name)); }, 200);
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(RunPrintout(name));
    total += std::chrono::duration<double>(Clock::now() - start).count();
    // Each run leaves its numbered temporary copy: not part of the next run.
    state.PauseTiming();
    ClearTemporaryFolder();
    state.ResumeTiming();
  }
  const double per = total / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  // The spring of the last run is in place: its table reads again.
  const double tables =
      zeb::SpringData().MaterialSel == 0 ? BestSeconds([] { benchmark::DoNotOptimize(zeb::InstallSpringMaterial()); }, 50)
                                         : 0.0;
  const double limit = 1e-3 + tables;
  state.counters["us"] = per * 1e6;
  state.counters["x_read"] = per / read;
  state.counters["tables_us"] = tables * 1e6;
  state.counters["limit_us"] = limit * 1e6;
  state.counters["ok"] = per <= limit ? 1 : 0;
}
}  // namespace

// One run per example spring, named after it.
int main(int argc, char** argv) {
  for (const std::string& name : Work().examples)
    benchmark::RegisterBenchmark(("BM_CliPrintout/" + name).c_str(), BM_CliPrintout, name)
        ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
