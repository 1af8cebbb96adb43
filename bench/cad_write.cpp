// 1e5 primitives (lines, arcs, texts, solids) written as DXF, in process
// CPU time (user + system), medians of the iterations:
// - "ratio": DXF time / fwrite of the same number of bytes (no target: a
//   DXF file is about 8 bytes of text per number, and making the text of a
//   number costs as much as copying some hundred bytes, so this ratio is
//   12-30 for any writer of real numbers; it shows what the file costs
//   beyond its bytes);
// - "floor_ratio": DXF time / the least a DXF writer does, the same
//   entities with their group codes and every number made by std::to_chars
//   (fixed, 6 decimals) and written with fwrite (target: within 5);
// - "rule_ratio": the texts lie over one another and over the lines and
//   arcs (rows 0.7 apart, each text 36 wide); the DXF time with lines broken
//   at texts against the same file drawn plain, in the same iteration
//   (target: within 5).
// The writer's fsync waits for the disk, which is no CPU time of the
// process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
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
#include "cpu_clock.h"

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

using Clock = zeb::bench::CpuClock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The same entities as DXF text, each number by std::to_chars, written
// with fwrite: the least a DXF writer does.
void WriteFloor(const std::string& path) {
  std::string out;
  out.reserve(8u << 20);
  char buf[64];
  auto num = [&](const char* code, double v) {
    out += code;
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    *r.ptr = '\n';
    out.append(buf, r.ptr + 1);
  };
  auto head = [&](const char* kind, int layer) {
    out += kind;
    out += static_cast<char>(layer < 10 ? '0' + layer : '0' + layer / 10);
    if (layer >= 10) out += static_cast<char>('0' + layer % 10);
    out += '\n';
  };
  for (int i = 0; i < kPrimitives / 4; ++i) {
    const double x = (i % 500) * 0.3, y = (i / 500) * 0.7;
    const int layer = 16 + i % 16;
    head("  0\nLINE\n  8\n", layer);
    num(" 10\n", x), num(" 20\n", y), num(" 11\n", x + 1.25), num(" 21\n", y + 0.5);
    head("  0\nARC\n  8\n", layer);
    num(" 10\n", x), num(" 20\n", y), num(" 40\n", 0.75), num(" 50\n", 10), num(" 51\n", 250);
    head("  0\nTEXT\n  8\n", layer);
    num(" 10\n", x), num(" 20\n", y), num(" 40\n", 2.5), num(" 41\n", 0.72);
    out += "  1\nText 123\n";
    head("  0\nSOLID\n  8\n", layer);
    num(" 10\n", x), num(" 20\n", y), num(" 11\n", x + 1), num(" 21\n", y);
    num(" 12\n", x), num(" 22\n", y + 1), num(" 13\n", x + 1), num(" 23\n", y + 1);
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
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
  std::vector<double> dxfTime, fwriteTime, floorTime, drawT, plainTime;
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
    auto p0 = Clock::now();
    write();
    zeb::CadEndSection();
    zeb::CadEndOutput();
    plainTime.push_back(Seconds(p0, Clock::now()));
    zeb::cad_detail::BreakAtTexts() = true;
    auto t0 = Clock::now();
    write();
    auto tm = Clock::now();
    drawT.push_back(Seconds(t0, tm));
    zeb::CadEndSection();
    zeb::CadEndOutput();
    auto t1 = Clock::now();
    bytes = std::filesystem::file_size(dir + "/bench.dxf");
    std::vector<char> block(bytes, 'x');
    auto t2 = Clock::now();
    std::FILE* f = std::fopen((dir + "/plain.bin").c_str(), "wb");
    std::fwrite(block.data(), 1, block.size(), f);
    std::fclose(f);
    auto t3 = Clock::now();
    WriteFloor(dir + "/floor.dxf");
    auto t4 = Clock::now();
    dxfTime.push_back(Seconds(t0, t1));
    fwriteTime.push_back(Seconds(t2, t3));
    floorTime.push_back(Seconds(t3, t4));
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  const double dxf = Median(dxfTime), plain = Median(fwriteTime), floor = Median(floorTime);
  state.counters["dxf_ms"] = dxf * 1e3;
  state.counters["draw_ms"] = Median(drawT) * 1e3;
  state.counters["fwrite_ms"] = plain * 1e3;
  state.counters["ratio"] = plain > 0 ? dxf / plain : 0;
  state.counters["floor_ms"] = floor * 1e3;
  state.counters["floor_ratio"] = floor > 0 ? dxf / floor : 0;
  state.counters["floor_bytes"] = static_cast<double>(std::filesystem::file_size(dir + "/floor.dxf"));
  const double drawnPlain = Median(plainTime);
  state.counters["plain_ms"] = drawnPlain * 1e3;
  state.counters["rule_ratio"] = drawnPlain > 0 ? dxf / drawnPlain : 0;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DxfWrite)->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
