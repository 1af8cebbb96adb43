// A material looked up by number on a 500-material zebwst.dbf, as every
// keystroke in the diameter field and every spring file read does it:
//   load_ratio = MaterialLoadByNumber (write test, index rebuilt in the
//                temporary folder, seek, 27 fields read, close)
//              / the same engine work done directly (USE, index built and
//                opened, Find, 27 field reads, close)
//   future_ratio = strength rows looked up in 20,000-row strength tables
//                  dated a day ahead (copied from a machine whose clock
//                  runs ahead) / the same tables dated in the past
// Target: load_ratio <= 2, future_ratio <= 1.1 (a table whose file time
// lies ahead is no table changed a moment ago, which is checked whole on
// every open).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "spring/spring_data.h"
#include "tables/material_table.h"
#include "scratch_folder.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/index/ndx.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/units.h"
#include "xbase/dbf/workarea.h"
#include "cpu_clock.h"

namespace {

namespace fs = std::filesystem;
namespace xb = zeb::xbase;
using Clock = zeb::bench::CpuClock;

constexpr int kMaterials = 500;
constexpr int kLookups = 200;
constexpr int kRows = 20000;  // of the strength tables

const std::string& Folder() {
  static const zeb::bench::ScratchFolder folder("zeb1_bench_material_");
  static const std::string dir = [] {
    fs::create_directories(fs::path(folder.path()) / "dbf");
    fs::create_directories(fs::path(folder.path()) / "tmp");
    return folder.path();
  }();
  return dir;
}

// The material table's layout with kMaterials rows.
void MakeTable() {
  xb::ResetTzEngine();
  xb::InitTableEngineUnits();
  xb::SetTzRaiseMode(true);
  // Widths and decimals as the shipped table has them.
  struct Column {
    const char* name;
    char type;
    std::uint8_t length, decimals;
  };
  const Column columns[] = {
      {"NAME1", 'C', 50, 0},   {"NAME2", 'C', 30, 0},  {"NAME3", 'C', 20, 0},   {"NAME4", 'C', 20, 0},
      {"G", 'N', 9, 0},        {"E", 'N', 9, 0},       {"RHO", 'N', 9, 4},      {"RM0", 'N', 6, 0},
      {"DR0", 'N', 9, 4},      {"RMMAX", 'N', 6, 0},   {"RMSLOPE", 'N', 9, 0},  {"D0", 'N', 9, 4},
      {"TAUO0", 'N', 6, 0},    {"TAUOSL", 'N', 9, 0},  {"TAUH0", 'N', 6, 0},    {"TAUHSL", 'N', 9, 0},
      {"GOODSL", 'N', 10, 6},  {"TAUO0P", 'N', 6, 0},  {"TAUOSLP", 'N', 9, 0}, {"TAUH0P", 'N', 6, 0},
      {"TAUHSLP", 'N', 9, 0},  {"GOODSLP", 'N', 10, 6}, {"DMIN", 'N', 9, 4},    {"DMAX", 'N', 9, 4},
      {"TMAX", 'N', 5, 0},     {"TEXT", 'C', 80, 0},   {"MATNR", 'N', 9, 0}};
  std::vector<xb::FieldDesc> f;
  for (const Column& c : columns) f.push_back({c.name, c.type, c.length, c.decimals, 0});
  const std::string path = Folder() + "/dbf/zebwst.dbf";
  xb::DbfTable t;
  xb::CreateDbf(t, path, f);
  xb::Select(1);
  xb::USE(path + " EXCLUSIVE");
  for (int i = 1; i <= kMaterials; ++i) {
    xb::ClearRecord();
    xb::Append();
    xb::Poke("Material " + std::to_string(i), 1, i);
    xb::Poke("    81500", 5, i);
    char key[16];
    std::snprintf(key, sizeof key, "%9d", i);
    xb::Poke(key, 27, i);
  }
  xb::CloseArea();
}

double Direct(int n) {
  const std::string path = Folder() + "/dbf/zebwst.dbf";
  const std::string index = Folder() + "/tmp/direct.ndx";
  const auto start = Clock::now();
  xb::Select(1);
  xb::USE(path);
  xb::MakeIndexExpr("MATNR", index);
  xb::Set_Index_ToLFN(index, 1);
  char key[16];
  std::snprintf(key, sizeof key, "%9d", n);
  if (!xb::Find(key)) std::abort();
  std::string all;
  for (int f = 1; f <= 27; ++f) all += xb::FieldAsString(f);
  xb::CloseIndexes();
  xb::CloseArea();
  benchmark::DoNotOptimize(all);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double ThroughTables(int n) {
  const auto start = Clock::now();
  if (!zeb::MaterialLoadByNumber(static_cast<std::uint16_t>(n))) std::abort();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void LoadRatio(benchmark::State& state) {
  zeb::SetUi(std::make_shared<zeb::BatchUi>());
  MakeTable();
  // A table changed within the last seconds is checked whole on every
  // open (its file times may not show a change to come); the program's
  // tables are older.
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  zeb::ResetBaseGlobals();
  zeb::G().DbfFolder = Folder() + "/dbf";
  zeb::G().TempFolder = Folder() + "/tmp";
  for (auto _ : state) {
    double direct = 0, tables = 0;
    // Interleaved, so that both see the same machine.
    for (int i = 0; i < kLookups; ++i) {
      const int n = 1 + (i * 37) % kMaterials;
      direct += Direct(n);
      tables += ThroughTables(n);
    }
    state.counters["direct_ms"] = direct * 1000 / kLookups;
    state.counters["tables_ms"] = tables * 1000 / kLookups;
    state.counters["load_ratio"] = tables / direct;  // target <= 2
  }
}
BENCHMARK(LoadRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

// A strength table of kRows materials, every byte written here: MATNR,
// NAME and the 28 diameter slots.
std::string StrengthTable() {
  constexpr int kFields = 30;
  const std::size_t header = 32 + 32 * kFields + 1, length = 1 + 9 + 30 + 28 * 5;
  std::string b(header, '\0');
  b[0] = 0x03;
  for (int i = 0; i < 4; ++i) b[4 + static_cast<std::size_t>(i)] = static_cast<char>(kRows >> (8 * i));
  b[8] = static_cast<char>(header), b[9] = static_cast<char>(header >> 8);
  b[10] = static_cast<char>(length), b[11] = static_cast<char>(length >> 8);
  for (int f = 0; f < kFields; ++f) {
    const std::size_t d = 32 + 32 * static_cast<std::size_t>(f);
    char name[11];
    std::snprintf(name, sizeof name, f == 0 ? "MATNR" : f == 1 ? "NAME" : "V%02d", f - 1);
    b.replace(d, std::string(name).size(), name);
    b[d + 11] = f == 1 ? 'C' : 'N';
    b[d + 16] = static_cast<char>(f == 0 ? 9 : f == 1 ? 30 : 5);
  }
  b[header - 1] = '\x0D';
  char value[16];
  for (int r = 1; r <= kRows; ++r) {
    std::snprintf(value, sizeof value, " %9d", r);
    b += value;
    b += std::string(30, ' ');
    for (int s = 1; s <= 28; ++s) {
      std::snprintf(value, sizeof value, "%5d", 2800 - 30 * s + r % 7);
      b += value;
    }
  }
  return b + '\x1A';
}

// The strength tables in folder, dated secondsAhead from now.
void MakeTables(const std::string& folder, const std::string& bytes, long secondsAhead) {
  fs::create_directories(folder);
  for (const char* name : {"/zebrmmin.dbf", "/zebrmmax.dbf"}) {
    const std::string path = folder + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = ::time(nullptr) + secondsAhead;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
}

double Lookup(const std::string& folder, int n) {
  zeb::G().DbfFolder = folder;
  const auto start = Clock::now();
  if (!zeb::LoadRmTables(static_cast<std::uint16_t>(n))) std::abort();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void FutureRatio(benchmark::State& state) {
  zeb::SetUi(std::make_shared<zeb::BatchUi>());
  zeb::ResetBaseGlobals();
  zeb::ResetSpringGlobals();
  zeb::xbase::InitTableEngineUnits();
  zeb::G().TempFolder = Folder() + "/tmp";
  fs::create_directories(Folder() + "/tmp");
  const std::string bytes = StrengthTable();
  const std::string past = Folder() + "/past", ahead = Folder() + "/ahead";
  MakeTables(past, bytes, -86400);
  MakeTables(ahead, bytes, 86400);
  // Files changed within the last seconds are checked on every open: both
  // sets are older than that here.
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  const std::string folders[2] = {past, ahead};
  for (auto _ : state) {
    // Interleaved lookups of one material after the other, so that both
    // sets see the same machine.
    double spent[2] = {0, 0};
    for (int i = 0; i < 2 * kLookups; ++i) spent[i % 2] += Lookup(folders[i % 2], 1 + (i / 2 * 97) % kRows);
    state.counters["past_ms"] = spent[0] * 1000 / kLookups;
    state.counters["ahead_ms"] = spent[1] * 1000 / kLookups;
    state.counters["future_ratio"] = spent[1] / spent[0];  // target <= 1.1
  }
}
BENCHMARK(FutureRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
