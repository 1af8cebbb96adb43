// 1e5 primitives (lines, arcs, texts, solids) written as DXF, against
// fwrite of the same number of bytes in the same run. The "ratio" counter
// is DXF time / fwrite time (target: within 5). The DXF file is committed
// with fsync (written under a temporary name, then renamed), so
// "ratio_fsync" compares with fwrite followed by fsync as well.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "platform/files.h"

namespace {

constexpr int kPrimitives = 100000;

void DrawPrimitives() {
  zeb::CadTextStyle(2, 0, 2.5L, 1.8L);
  for (int i = 0; i < kPrimitives / 4; ++i) {
    zeb::Real x = (i % 500) * 0.3L, y = (i / 500) * 0.7L;
    zeb::CadSetLayer(16 + i % 16);
    zeb::CadLine(x, y, x + 1.25L, y + 0.5L);
    zeb::CadArc(x, y, 10, 250, 0.75L);
    zeb::CadText("Text 123", x, y);
    zeb::CadSolid(x, y, x + 1, y, x, y + 1, x + 1, y + 1);
  }
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_DxfWrite(benchmark::State& state) {
  std::string dir = zeb::TempDirectory() + "/zeb1-bench-cad";
  std::filesystem::create_directories(dir);
  zeb::ResetBaseGlobals();
  zeb::ResetCadState();
  zeb::ResetCadSettings();
  zeb::G().TempFolder = dir;
  zeb::G().CurrentFileName = dir + "/bench";
  zeb::CadSettings().CommandLineExport = 1;
  double dxfTime = 0, fwriteTime = 0, syncTime = 0;
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    zeb::CadBeginOutput(1);
    zeb::CadDrawingHeader(0, 0, 160, 120);
    zeb::CadTables(2);
    zeb::CadBeginEntities();
    DrawPrimitives();
    zeb::CadEndSection();
    zeb::CadEndOutput();
    auto t1 = std::chrono::steady_clock::now();
    bytes = std::filesystem::file_size(dir + "/bench.dxf");
    std::vector<char> block(bytes, 'x');
    auto t2 = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen((dir + "/plain.bin").c_str(), "wb");
    std::fwrite(block.data(), 1, block.size(), f);
    std::fclose(f);
    auto t3 = std::chrono::steady_clock::now();
    f = std::fopen((dir + "/synced.bin").c_str(), "wb");
    std::fwrite(block.data(), 1, block.size(), f);
    std::fflush(f);
    ::fsync(fileno(f));
    std::fclose(f);
    auto t4 = std::chrono::steady_clock::now();
    dxfTime += Seconds(t0, t1);
    fwriteTime += Seconds(t2, t3);
    syncTime += Seconds(t3, t4);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["ratio"] = fwriteTime > 0 ? dxfTime / fwriteTime : 0;
  state.counters["ratio_fsync"] = syncTime > 0 ? dxfTime / syncTime : 0;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DxfWrite)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
