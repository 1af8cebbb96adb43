// The table grid over a dataset, as ratios within one run (offscreen):
//   scroll_ratio = data() of every cell in row order, fetching as the view
//                  does / a GoTop-SKIP scan reading the same fields as text
//                  (1e5 records: C, N, D, L; 10 % deleted and hidden; NDX order)
//   jump_ratio   = 1,000 random rows / 1,000 GOs with the same reads
//   paint_ratio  = one page grabbed from the grid / a QTableView over a
//                  QStandardItemModel with the same texts
//   open_ratio   = opening 1e6 records and the first 50 rows x all columns /
//                  GO and field reads of those records
//   ends_ms      = the grid (offscreen) following the dataset to the last and
//                  back to the first record, 10 times each, on 1e5 records in
//                  NDX order, with a page read at each end; per end in ms
//   runs_scroll_ms = the grid (offscreen) scrolled from the top to the end of
//                  1e5 records in NDX order on a date column of 9 values
//                  (runs of 11,111 equal keys), every row's cells read, the
//                  view's current row kept on the first record
//   runs_walk_ms = the dataset's cursor walked over the same table, from the
//                  last record to the first and back, with the grid's jump
//                  back to its current row after every 100 steps
// Times are process CPU time. Targets: scroll_ratio <= 2, jump_ratio <= 1,
// paint_ratio <= 1.5, open_ratio <= 6 (the first page needs the record
// count and the order's first keys, which the GOs are given), ends_ms <= 10,
// runs_scroll_ms < 1000.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "scratch_folder.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/units.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/workarea.h"
#include "xbase/index/ndx.h"
#include "xbase/qt/tzgrid.h"
#include "cpu_clock.h"

namespace {

using namespace zeb::xbase;
using Clock = zeb::bench::CpuClock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::string Folder() {
  static const zeb::bench::ScratchFolder folder("zeb1_bench_grid_");
  return folder.path();
}

// A table of n records; every tenth deleted when asked.
std::string MakeTable(const std::string& name, int n, bool deleteTenth) {
  const std::string path = Folder() + "/" + name;
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitTableEngineUnits();
  DbfTable t;
  CreateDbf(t, path, {{"NAME", 'C', 20, 0, 0}, {"PRICE", 'N', 8, 2, 0}, {"DAY", 'D', 8, 0, 0}, {"OK", 'L', 1, 0, 0}});
  Select(1);
  USE(path + " EXCLUSIVE");
  WorkArea& a = *CurrentWorkArea();
  std::mt19937 rng(3);
  for (int i = 1; i <= n; ++i) {
    ClearRecord();
    SetBufferText(a, 1, "N" + std::to_string(rng() % 1000000));
    SetBufferNumber(a, 2, i % 1000 / 10.0L);
    SetBufferText(a, 3, "07.12.26");
    SetBufferLogical(a, 4, i % 2 == 0);
    Append();
    if (deleteTenth && i % 10 == 0) DeleteRec();
  }
  CloseArea();
  return path;
}

void ReadAll() {
  for (int f = 1; f <= FieldCount(); ++f) benchmark::DoNotOptimize(FieldAsString(f));
}

void ReadRow(DatasetModel& m, int row) {
  for (int c = 0; c < m.columnCount(); ++c) {
    const QModelIndex i = m.index(row, c);
    benchmark::DoNotOptimize(m.data(i, Qt::DisplayRole));
    benchmark::DoNotOptimize(m.data(i, DatasetModel::LogicalRole));
  }
}

// A grid (offscreen, 800 x 600) shown over the table at path in the order
// of the index ndx.
struct ShownGrid {
  TTzDbf ds;
  TTzGrid grid;
  ShownGrid(const char* name, const std::string& path, const std::string& ndx) : ds(name) {
    ds.SetDbfFileName(path);
    ds.Open();
    ds.SetIndexTo(ndx);
    grid.SetDataset(&ds);
    grid.resize(800, 600);
    grid.show();
    QApplication::processEvents();
  }
};

void BM_Grid(benchmark::State& state) {
  const std::string path = MakeTable("grid.dbf", 100000, true);
  const std::string ndx = Folder() + "/grid.ndx";
  for (auto _ : state) {
    // The engine scan.
    ResetTzEngine();
    SetTzErrorSwitch(false);
    InitTableEngineUnits();
    SetDateFormat(5);
    Select(1);
    USE(path);
    Index_On("NAME", ndx);
    SetIgnoreDel(true);
    auto t0 = Clock::now();
    int scanned = 0;
    for (GoTop(); !dEOF(); SKIP(1), ++scanned) ReadAll();
    const double scan = Seconds(t0, Clock::now());
    std::mt19937 rng(5);
    const std::int32_t count = RecCount();
    t0 = Clock::now();
    for (int i = 0; i < 1000; ++i) {
      GO(1 + static_cast<std::int32_t>(rng() % static_cast<unsigned>(count)));
      ReadAll();
    }
    const double gos = Seconds(t0, Clock::now());
    CloseAll();

    // The grid's model.
    ResetTzEngine();
    InitTableEngineUnits();
    TTzDbf ds("GRID");
    ds.SetDbfFileName(path);
    ds.SetHideDeletedRecs(true);
    ds.Open();
    ds.SetIndexTo(ndx);
    TTzGrid grid;
    grid.SetDataset(&ds);
    DatasetModel& m = *grid.Model();
    t0 = Clock::now();
    int rows = 0;
    for (;; ++rows) {
      if (rows >= m.rowCount()) {
        if (!m.canFetchMore({})) break;
        m.fetchMore({});
        if (rows >= m.rowCount()) break;
      }
      ReadRow(m, rows);
    }
    const double scroll = Seconds(t0, Clock::now());
    t0 = Clock::now();
    for (int i = 0; i < 1000; ++i) ReadRow(m, static_cast<int>(rng() % static_cast<unsigned>(rows)));
    const double jump = Seconds(t0, Clock::now());

    // One page painted, against a plain view with the same texts.
    grid.resize(800, 600);
    grid.show();
    QApplication::processEvents();
    QStandardItemModel plain(60, m.columnCount());
    for (int r = 0; r < 60; ++r)
      for (int c = 0; c < m.columnCount(); ++c) plain.setItem(r, c, new QStandardItem(m.data(m.index(r, c)).toString()));
    QTableView view;
    view.setModel(&plain);
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    constexpr int kPaints = 20;
    t0 = Clock::now();
    for (int i = 0; i < kPaints; ++i) benchmark::DoNotOptimize(grid.viewport()->grab());
    const double paintGrid = Seconds(t0, Clock::now());
    t0 = Clock::now();
    for (int i = 0; i < kPaints; ++i) benchmark::DoNotOptimize(view.viewport()->grab());
    const double paintPlain = Seconds(t0, Clock::now());

    state.counters["rows"] = rows;
    state.counters["scanned"] = scanned;
    state.counters["scroll_ratio"] = scroll / scan;
    state.counters["jump_ratio"] = jump / gos;
    state.counters["paint_ratio"] = paintGrid / paintPlain;
  }
}
BENCHMARK(BM_Grid)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_OpenMillion(benchmark::State& state) {
  const std::string path = MakeTable("million.dbf", 1000000, false);
  for (auto _ : state) {
    ResetTzEngine();
    SetTzErrorSwitch(false);
    InitTableEngineUnits();
    Select(1);
    auto t0 = Clock::now();
    USE(path);
    for (int r = 1; r <= 50; ++r) {
      GO(r);
      ReadAll();
    }
    const double plain = Seconds(t0, Clock::now());
    CloseAll();
    ResetTzEngine();
    InitTableEngineUnits();
    t0 = Clock::now();
    TTzDbf ds("MILLION");
    ds.SetDbfFileName(path);
    ds.Open();
    DatasetModel m(ds);
    for (int r = 0; r < 50; ++r) ReadRow(m, r);
    const double grid = Seconds(t0, Clock::now());
    state.counters["open_ratio"] = grid / plain;
  }
}
BENCHMARK(BM_OpenMillion)->Iterations(1)->Unit(benchmark::kMillisecond);


void BM_GridEnds(benchmark::State& state) {
  const std::string path = MakeTable("ends.dbf", 100000, false);
  const std::string ndx = Folder() + "/ends.ndx";
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitTableEngineUnits();
  Select(1);
  USE(path);
  Index_On("NAME", ndx);
  CloseAll();
  for (auto _ : state) {
    ResetTzEngine();
    InitTableEngineUnits();
    ShownGrid shown("ENDS", path, ndx);
    TTzDbf& ds = shown.ds;
    TTzGrid& grid = shown.grid;
    DatasetModel& m = *grid.Model();
    constexpr int kTrips = 10;
    int missed = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < kTrips; ++i) {
      ds.Last();
      QApplication::processEvents();
      if (m.RecordOf(grid.currentIndex().row()) != *ds.GetBookmark()) ++missed;
      for (int r = std::max(0, grid.currentIndex().row() - 30); r <= grid.currentIndex().row(); ++r) ReadRow(m, r);
      ds.First();
      QApplication::processEvents();
      if (m.RecordOf(grid.currentIndex().row()) != *ds.GetBookmark()) ++missed;
      for (int r = 0; r < 30; ++r) ReadRow(m, r);
    }
    state.counters["ends_ms"] = Seconds(t0, Clock::now()) * 1000.0 / (2 * kTrips);
    state.counters["missed"] = missed;
    state.counters["rows_held"] = m.rowCount();
  }
}
BENCHMARK(BM_GridEnds)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GridRuns(benchmark::State& state) {
  const std::string path = Folder() + "/runs.dbf";
  const std::string ndx = Folder() + "/runs.ndx";
  constexpr int kRows = 100000;
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitTableEngineUnits();
  {
    DbfTable t;
    CreateDbf(t, path, {{"NAME", 'C', 20, 0, 0}, {"DAY", 'D', 8, 0, 0}});
  }
  Select(1);
  USE(path + " EXCLUSIVE");
  WorkArea& a = *CurrentWorkArea();
  SetDateFormat(5);
  for (int i = 1; i <= kRows; ++i) {
    ClearRecord();
    SetBufferText(a, 1, "N" + std::to_string(i));
    SetBufferText(a, 2, "0" + std::to_string(1 + i % 9) + ".12.26");
    Append();
  }
  Index_On("DAY", ndx);
  CloseAll();
  for (auto _ : state) {
    ResetTzEngine();
    InitTableEngineUnits();
    SetDateFormat(5);
    ShownGrid shown("RUNS", path, ndx);
    TTzDbf& ds = shown.ds;
    TTzGrid& grid = shown.grid;
    DatasetModel& m = *grid.Model();
    auto t0 = Clock::now();
    QScrollBar& bar = *grid.verticalScrollBar();
    int read = 0;
    for (;;) {
      const int rows = m.rowCount();
      for (; read < rows; ++read) ReadRow(m, read);
      if (!m.canFetchMore({})) break;
      bar.setValue(bar.maximum());
      QApplication::processEvents();
      if (m.rowCount() == rows) m.fetchMore({});
      if (m.rowCount() == rows) break;
    }
    const double scroll = Seconds(t0, Clock::now());
    t0 = Clock::now();
    int walked = 0;
    const zeb::xbase::Bookmark home = ds.GetBookmark();
    ds.Last();
    for (int dir = -1; dir <= 1; dir += 2) {
      for (int i = 0; i < kRows; ++i, ++walked) {
        if (dir < 0)
          ds.Prior();
        else
          ds.Next();
        if (i % 100 == 99) {
          const zeb::xbase::Bookmark here = ds.GetBookmark();
          ds.GotoBookmark(home);
          ds.GotoBookmark(here);
        }
      }
    }
    const double walk = Seconds(t0, Clock::now());
    state.counters["runs_rows"] = read;
    state.counters["runs_scroll_ms"] = scroll * 1000.0;
    state.counters["runs_walk_ms"] = walk * 1000.0;
    state.counters["runs_walked"] = walked;
  }
}
BENCHMARK(BM_GridRuns)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
