// 1e5 primitives (lines, arcs, texts, solids) written as IGES, against
// fwrite of the same number of bytes in the same run, in process CPU time.
// The "ratio" counter is IGES time / fwrite time (target: within 5);
// "ratio_fsync" compares with an fwrite that is flushed to the disk, as
// the writer's file is (the wait for the disk is no CPU time).
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
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
  const std::string cmd = ToolsDir() + "/igescheck.sh '" + path + "' > '" + dir + "/check.txt' 2>&1";
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
  double igesTime = 0, fwriteTime = 0, syncTime = 0;
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
    igesTime += Seconds(t0, t1);
    fwriteTime += Seconds(t2, t3);
    syncTime += Seconds(t3, t4);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["ratio"] = fwriteTime > 0 ? igesTime / fwriteTime : 0;
  // The writer renames a flushed (fsync) file; against an fsync'ed fwrite.
  state.counters["ratio_fsync"] = syncTime > 0 ? igesTime / syncTime : 0;
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
