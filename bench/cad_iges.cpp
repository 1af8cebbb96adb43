// 1e5 primitives (lines, arcs, texts, solids) written as IGES, in process
// CPU time:
// - "ratio": IGES time / fwrite of the same number of bytes (no target: the
//   file is text of numbers in 80-column records, and making the text of a
//   number costs as much as copying a hundred bytes, so this ratio shows
//   what the file costs beyond its bytes); "ratio_fsync" the same against an
//   fwrite flushed to the disk, as the writer's file is (the wait for the
//   disk is no CPU time);
// - "floor_ratio": IGES time / the least an IGES writer does, the same
//   entities as records (two directory records of nine 8-column fields,
//   parameters with every number made by std::to_chars, 3 decimals, broken
//   at 64 columns, each record numbered) written with fwrite (target: within
//   5).
//
// Before the timing, one file of over 5,000 entities is written and run
// through igescheck: a block of 13 members defined after 5,000 others, so
// that its member record (twelve 5-digit pointers) exceeds 64 columns and
// is broken by the parameter-record rule.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/base/support_shell.h"
#include "base/globals.h"
#include "graphics/cad.h"
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

// The same entities as IGES records, each number by std::to_chars, written
// with fwrite: the least an IGES writer does.
void WriteFloor(const std::string& path) {
  std::string out, params;
  out.reserve(40u << 20);
  int dLines = 0, pLines = 0;
  char buf[64];
  auto field = [&](long long v) {
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(8 - static_cast<std::size_t>(r.ptr - buf), ' ');
    out.append(buf, r.ptr);
  };
  auto number = [&](char letter, int n) {
    out += letter;
    char seq[8];
    for (int k = 6; k >= 0; --k, n /= 10) seq[k] = static_cast<char>('0' + n % 10);
    out.append(seq, 7);
    out += "\r\n";
  };
  auto real = [&](double v) {
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    params.append(buf, r.ptr);
    params += ',';
  };
  auto entity = [&](int type, int layer) {
    params.back() = ';';
    const int de = dLines + 1, first = pLines + 1;
    const int records = static_cast<int>((params.size() + 63) / 64);
    for (long long v : {static_cast<long long>(type), static_cast<long long>(first), 0LL, 1LL,
                        static_cast<long long>(layer), 0LL, 0LL, 0LL, 0LL})
      field(v);
    number('D', ++dLines);
    for (long long v : {static_cast<long long>(type), 0LL, static_cast<long long>(layer), static_cast<long long>(records),
                        0LL, 0LL, 0LL, 0LL, 0LL})
      field(v);
    number('D', ++dLines);
    for (std::size_t at = 0; at < params.size(); at += 64) {
      const std::size_t n = std::min<std::size_t>(64, params.size() - at);
      out.append(params, at, n);
      out.append(64 - n, ' ');
      field(de);
      number('P', ++pLines);
    }
    params.clear();
  };
  for (int i = 0; i < kPrimitives / 4; ++i) {
    const double x = (i % 500) * 0.3, y = (i / 500) * 0.7;
    const int layer = 16 + i % 16;
    params = "110,";
    for (double v : {x, y, 0.0, x + 1.25, y + 0.5, 0.0}) real(v);
    entity(110, layer);
    params = "100,0.0,";
    const double a = 10 * std::numbers::pi / 180, b = 250 * std::numbers::pi / 180;
    for (double v : {x, y, x + 0.75 * std::cos(a), y + 0.75 * std::sin(a), x + 0.75 * std::cos(b), y + 0.75 * std::sin(b)})
      real(v);
    entity(100, layer);
    params = "212,1,8,";
    for (double v : {14.4, 2.5}) real(v);
    params += "1,,0.000000,0,0,";
    for (double v : {x, y, 0.0}) real(v);
    params += "8HText 123,";
    entity(212, layer);
    params = "106,1,5,0.0,";
    for (double v : {x, y, x + 1, y, x + 1, y + 1, x, y + 1, x, y}) real(v);
    entity(106, layer);
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

double Seconds(zeb::bench::CpuClock::time_point a, zeb::bench::CpuClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::string Setup(const std::string& sub) {
  // A new private folder each run (never a fixed name in a shared one).
  std::string dir = zeb::TempDirectory() + "/" + sub + "-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) std::abort();
  zeb::ResetBaseGlobals();
  zeb::ResetCadState();
  zeb::ResetCadSettings();
  zeb::G().TempFolder = dir;
  zeb::G().CurrentFileName = dir + "/bench";
  zeb::CadSettings().CommandLineExport = 1;
  return dir;
}

std::string ToolsDir() {
  if (const char* env = std::getenv("ZEB1_TOOLS_DIR")) return env;
  // The source folder as configured: __FILE__ may be relative to the
  // build folder (a compiler cache rewrites the paths).
  return std::string(ZEB1_SOURCE_DIR) + "/../shared/tools";
}

// The checked file; its P lines of the 13-member block are counted.
void WriteCheckedFile() {
  const std::string dir = Setup("zeb1-bench-iges-check");
  zeb::CadBeginOutput(2);
  zeb::CadDrawingHeader(0, 0, 160, 120);
  zeb::CadTables(2);
  zeb::CadBeginBlocks();
  zeb::CadBeginBlock("FILL");
  for (int i = 0; i < 5100; ++i) zeb::CadLine(i % 100, i / 100, i % 100 + 0.5L, i / 100 + 0.5L);
  zeb::CadEndBlock();
  zeb::CadBeginBlock("B13");
  for (int i = 0; i < 13; ++i) zeb::CadCircle(i * 3, 0, 1);
  zeb::CadEndBlock();
  zeb::CadEndSection();
  zeb::CadBeginEntities();
  zeb::CadInsertBlock("FILL", 0, 0, 0, 1, 1);
  zeb::CadInsertBlock("B13", 10, 130, 30, 1, 1);
  for (int i = 0; i < 50; ++i) zeb::CadText("Nr. " + std::to_string(i), i, 150);
  zeb::CadEndSection();
  zeb::CadEndOutput();

  const std::string path = dir + "/bench.igs";
  std::ifstream in(path);
  std::string line, b13Owner;
  int entities = 0, b13Lines = 0;
  std::size_t longest = 0;
  while (std::getline(in, line)) {
    if (line.size() < 80) continue;
    if (line[72] == 'D') ++entities;
    if (line[72] != 'P') continue;
    if (line.compare(0, 15, "308,0,3HB13,13,") == 0) b13Owner = line.substr(64, 8);
    if (!b13Owner.empty() && line.substr(64, 8) == b13Owner) {
      ++b13Lines;
      std::size_t used = line.find_last_not_of(' ', 63);
      longest = std::max(longest, used + 1);
    }
  }
  entities /= 2;
  const std::string cmd = zeb::test::ShellQuote(ToolsDir() + "/igescheck.sh") + " " + zeb::test::ShellQuote(path) +
                          " > " + zeb::test::ShellQuote(dir + "/check.txt") + " 2>&1";
  const int rc = std::system(cmd.c_str());
  // 13 five-digit pointers: 12 to a record would take 72 columns, so the
  // first member record is broken: header + 2 + 1 records.
  std::printf("checked IGES: %d entities; block B13 in %d parameter records (want 4, widest %zu of 64); "
              "igescheck %s\n",
              entities, b13Lines, longest, rc == 0 ? "clean" : "FOUND PROBLEMS");
  if (rc != 0) {
    std::ifstream report(dir + "/check.txt");
    std::string l;
    while (std::getline(report, l)) std::printf("  %s\n", l.c_str());
  } else {
    std::filesystem::remove_all(dir);
  }
}

void BM_IgesWrite(benchmark::State& state) {
  const std::string dir = Setup("zeb1-bench-iges");
  double igesTime = 0, fwriteTime = 0, syncTime = 0, floorTime = 0;
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    auto t0 = zeb::bench::CpuClock::now();
    zeb::CadBeginOutput(2);
    zeb::CadDrawingHeader(0, 0, 160, 120);
    zeb::CadTables(2);
    zeb::CadBeginEntities();
    DrawPrimitives();
    zeb::CadEndSection();
    zeb::CadEndOutput();
    auto t1 = zeb::bench::CpuClock::now();
    bytes = std::filesystem::file_size(dir + "/bench.igs");
    std::vector<char> block(bytes, 'x');
    auto t2 = zeb::bench::CpuClock::now();
    std::FILE* f = std::fopen((dir + "/plain.bin").c_str(), "wb");
    std::fwrite(block.data(), 1, block.size(), f);
    std::fclose(f);
    auto t3 = zeb::bench::CpuClock::now();
    f = std::fopen((dir + "/synced.bin").c_str(), "wb");
    std::fwrite(block.data(), 1, block.size(), f);
    std::fflush(f);
    ::fsync(fileno(f));
    std::fclose(f);
    auto t4 = zeb::bench::CpuClock::now();
    WriteFloor(dir + "/floor.igs");
    floorTime += Seconds(t4, zeb::bench::CpuClock::now());
    igesTime += Seconds(t0, t1);
    fwriteTime += Seconds(t2, t3);
    syncTime += Seconds(t3, t4);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["ratio"] = fwriteTime > 0 ? igesTime / fwriteTime : 0;
  // The writer renames a flushed (fsync) file; against an fsync'ed fwrite.
  state.counters["ratio_fsync"] = syncTime > 0 ? igesTime / syncTime : 0;
  state.counters["floor_ratio"] = floorTime > 0 ? igesTime / floorTime : 0;  // target <= 5
  state.counters["floor_bytes"] = static_cast<double>(std::filesystem::file_size(dir + "/floor.igs"));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_IgesWrite)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  WriteCheckedFile();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
