// The document roads of the main window without a window: Strg+S over the
// file the window read, and a recent file opened again (read, calculated).
// CPU time per road; run beside another build's bench, interleaved, for a
// ratio.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "mainwin/commands.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// A window on a copy of the round dynamic example in a folder of its own.
struct Window {
  zeb::bench::ScratchFolder folder{"zeb1_bench_roads_"};
  std::string file;
  Window() {
    zeb::InitProgramUnits();
    zeb::InitProgramIdentity();
    zeb::SetUi(std::make_shared<zeb::BatchUi>(stderr));
    zeb::SetMainWindow(std::make_shared<zeb::RecordingMainWindow>());
    file = folder.path() + "/spring.zeb";
    fs::copy_file(fs::path(ZEB1_SOURCE_DIR) / "examples" / "round_dynamic.zeb", file);
    zeb::G().RecentFiles[1] = file;
    zeb::OpenRecentFile(1);
  }
};

void BM_SaveOwnFile(benchmark::State& state) {
  Window w;
  for (auto _ : state) {
    zeb::G().ModifiedFlag = 1;
    zeb::FileSave();
    if (zeb::G().AbortFlag != 0) state.SkipWithError("not saved");
  }
}
BENCHMARK(BM_SaveOwnFile)->Unit(benchmark::kMicrosecond);

void BM_OpenRecentFile(benchmark::State& state) {
  Window w;
  for (auto _ : state) {
    zeb::OpenRecentFile(1);
    if (zeb::G().AbortFlag != 0) state.SkipWithError("not opened");
  }
}
BENCHMARK(BM_OpenRecentFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
