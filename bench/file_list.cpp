// Rows of the spring-file list for 1000 spring files (copies of the
// examples, each with its own material values): read, calculated and
// formatted. Given as a ratio ("x_bytes") to reading the same files' bytes
// in the same run, timed in alternating batches. Target: x_bytes <= 10.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "base/globals.h"
#include "mainwin/filelist.h"
#include "platform/files.h"
#include "spring/spring_data.h"
#include "cpu_clock.h"

namespace {

namespace fs = std::filesystem;
using Clock = zeb::bench::CpuClock;

// A data folder with 1000 copies of the examples; removed at exit.
struct Folder {
  fs::path path;
  Folder() {
    path = *zeb::MakeUniqueFile(zeb::TempDirectory(), "zeb1_bench_list_");
    fs::remove(path);
    fs::create_directory(path);
    std::vector<fs::path> examples;
    for (const auto& e : fs::directory_iterator(fs::path(ZEB1_SOURCE_FOLDER) / "examples"))
      if (e.path().extension() == ".zeb") examples.push_back(e.path());
    for (int i = 0; i < 1000; ++i)
      fs::copy_file(examples[static_cast<std::size_t>(i) % examples.size()],
                    path / ("f" + std::to_string(1000 + i) + ".zeb"));
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

const Folder& Data() {
  static const Folder folder;
  return folder;
}

void ReadBytes() {
  std::size_t total = 0;
  for (const std::string& name : zeb::ListSpringFileNames(Data().path.string())) {
    std::ifstream in(Data().path / name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    total += bytes.size();
  }
  benchmark::DoNotOptimize(total);
}

void BuildList() {
  zeb::G().CurrentDataFolder = Data().path.string() + "/";
  const zeb::FileListGrid grid = zeb::BuildFileList();
  benchmark::DoNotOptimize(grid.rows.size());
}

double SecondsOf(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_FileList1000(benchmark::State& state) {
  zeb::ResetBaseGlobals();
  zeb::ResetSpringGlobals();
  double list = 0, bytes = 0;
  for (auto _ : state) {
    bytes += SecondsOf(ReadBytes);
    list += SecondsOf(BuildList);
  }
  state.counters["x_bytes"] = bytes > 0 ? list / bytes : 0;
}
BENCHMARK(BM_FileList1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
