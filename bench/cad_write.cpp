// 1e5 primitives (lines, arcs, texts, solids) written as DXF, against
// fwrite of the same number of bytes in the same run. The "ratio" counter
// is the median DXF time / the median fwrite time (target: within 5); each
// is timed per iteration, so one slow page-cache moment does not decide it.
// The DXF file is committed with fsync (written under a temporary name, then
// renamed), so "ratio_fsync" compares with fwrite followed by fsync as well.
// The texts lie over one another and over the lines and arcs (rows 0.7
// apart, each text 36 wide): "rule_ratio" is the DXF time with lines broken
// at texts against the same file drawn plain, in the same iteration
// (target: within 5).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
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

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void BM_DxfWrite(benchmark::State& state) {
  std::string dir = zeb::TempDirectory() + "/zeb1-bench-cad-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) std::abort();
  zeb::ResetBaseGlobals();
  zeb::ResetCadState();
  zeb::ResetCadSettings();
  zeb::G().TempFolder = dir;
  zeb::G().CurrentFileName = dir + "/bench";
  zeb::CadSettings().CommandLineExport = 1;
  std::vector<double> dxfTime, fwriteTime, syncTime, drawT, plainTime;
  std::uintmax_t bytes = 0;
  auto write = [] {
    zeb::CadBeginOutput(1);
    zeb::CadDrawingHeader(0, 0, 160, 120);
    zeb::CadTables(2);
    zeb::CadBeginEntities();
    DrawPrimitives();
  };
  for (auto _ : state) {
    zeb::cad_detail::BreakAtTexts() = false;
    auto p0 = std::chrono::steady_clock::now();
    write();
    zeb::CadEndSection();
    zeb::CadEndOutput();
    plainTime.push_back(Seconds(p0, std::chrono::steady_clock::now()));
    zeb::cad_detail::BreakAtTexts() = true;
    auto t0 = std::chrono::steady_clock::now();
    write();
    auto tm = std::chrono::steady_clock::now();
    drawT.push_back(Seconds(t0, tm));
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
    dxfTime.push_back(Seconds(t0, t1));
    fwriteTime.push_back(Seconds(t2, t3));
    syncTime.push_back(Seconds(t3, t4));
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  const double dxf = Median(dxfTime), plain = Median(fwriteTime), synced = Median(syncTime);
  state.counters["dxf_ms"] = dxf * 1e3;
  state.counters["draw_ms"] = Median(drawT) * 1e3;
  state.counters["fwrite_ms"] = plain * 1e3;
  state.counters["ratio"] = plain > 0 ? dxf / plain : 0;
  state.counters["ratio_fsync"] = synced > 0 ? dxf / synced : 0;
  const double drawnPlain = Median(plainTime);
  state.counters["plain_ms"] = drawnPlain * 1e3;
  state.counters["rule_ratio"] = drawnPlain > 0 ? dxf / drawnPlain : 0;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DxfWrite)->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
