// A material looked up by number on a 500-material zebwst.dbf, as every
// keystroke in the diameter field and every spring file read does it:
//   load_ratio = MaterialLoadByNumber (write test, index rebuilt in the
//                temporary folder, seek, 27 fields read, close)
//              / the same engine work done directly (USE, index built and
//                opened, Find, 27 field reads, close)
// Target: load_ratio <= 2.
#include <benchmark/benchmark.h>

#include <chrono>
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

}  // namespace

BENCHMARK_MAIN();
