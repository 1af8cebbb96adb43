// Index engine, as ratios and counters within one run:
//   build_ratio   = index build of N keys from a DBF / std::sort of the same
//                   keys in memory (numeric and C(10); target <= 3)
//   SeekPresent   = time per Find of a random present key (the reported
//                   time), node cache warm (exclusive table, largest cache;
//                   target < 5 us), node fetches per seek asserted <= depth
//   seek_ratio    = Find of random present keys / the same keys found by
//                   the index descent alone and one pread of the record,
//                   rounds of both taken in turn, medians (target <= 1.2);
//                   table bytes read per Find asserted = one record
//   step_ratio    = indexed SKIP(1) through the table / natural-order SKIP(1),
//                   rounds of both taken in turn, medians; with node fetches
//                   and reads per leaf (target <= 2)
// ZEB1_BENCH_RECORDS sets N (1e6).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/index/ndx.h"
#include "xbase/expr/parser.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "cpu_clock.h"

namespace {

using namespace zeb::xbase;
using Clock = zeb::bench::CpuClock;

int Records() {
  const char* n = std::getenv("ZEB1_BENCH_RECORDS");
  int r = n ? std::atoi(n) : 1000000;
  return r > 0 ? r : 1000000;
}

std::string Folder() {
  static const zeb::bench::ScratchFolder folder("zeb1_bench_ndx_");
  return folder.path();
}

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void Fresh() {
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitParserUnit();
  IndexInit();
  Select(1);
}

struct Data {
  std::string table;
  std::vector<double> numbers;
  std::vector<std::array<char, 10>> names;
};

// A table NUM N(10), NAME C(10) of n random rows, written as stored records.
const Data& TableData() {
  static const Data data = [] {
    Data d;
    d.table = Folder() + "/keys.dbf";
    const int n = Records();
    Fresh();
    DbfTable t;
    CreateDbf(t, d.table, {FieldDesc{"NUM", 'N', 10, 0, 0}, FieldDesc{"NAME", 'C', 10, 0, 0}});
    std::ifstream in(d.table, std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(in)), {});
    in.close();
    if (!b.empty() && b.back() == '\x1a') b.pop_back();
    std::mt19937_64 rng(1);
    b.reserve(b.size() + static_cast<std::size_t>(n) * 21 + 1);
    for (int i = 0; i < n; ++i) {
      const long long v = static_cast<long long>(rng() % 1000000000);
      std::string num = std::to_string(v);
      std::array<char, 10> name{};
      for (char& c : name) c = static_cast<char>('a' + rng() % 26);
      b += ' ';
      b += std::string(10 - num.size(), ' ') + num;
      b.append(name.data(), name.size());
      d.numbers.push_back(static_cast<double>(v));
      d.names.push_back(name);
    }
    b += '\x1a';
    for (int i = 0; i < 4; ++i) b[4 + static_cast<std::size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xFF);
    std::ofstream out(d.table, std::ios::binary | std::ios::trunc);
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
    return d;
  }();
  return data;
}

void BuildRatio(benchmark::State& state, bool numeric) {
  const Data& d = TableData();
  for (auto _ : state) {
    double sortS = 0;
    if (numeric) {
      std::vector<double> v = d.numbers;
      auto t0 = Clock::now();
      std::sort(v.begin(), v.end());
      sortS = Seconds(t0, Clock::now());
      benchmark::DoNotOptimize(v.data());
    } else {
      std::vector<std::array<char, 10>> v = d.names;
      auto t0 = Clock::now();
      std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return std::memcmp(a.data(), b.data(), 10) < 0; });
      sortS = Seconds(t0, Clock::now());
      benchmark::DoNotOptimize(v.data());
    }
    Fresh();
    USE(d.table + " EXCLUSIVE");
    auto t0 = Clock::now();
    MakeIndexExpr(numeric ? "NUM" : "NAME", Folder() + (numeric ? "/num.ndx" : "/name.ndx"));
    const double buildS = Seconds(t0, Clock::now());
    if (TzCurrentError() != 0) state.SkipWithError("build failed");
    CloseArea();
    state.counters["sort_s"] = sortS;
    state.counters["build_s"] = buildS;
    state.counters["build_ratio"] = buildS / sortS;  // target <= 3
  }
}
void BuildRatioNumeric(benchmark::State& state) { BuildRatio(state, true); }
void BuildRatioChar(benchmark::State& state) { BuildRatio(state, false); }
BENCHMARK(BuildRatioNumeric)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildRatioChar)->Iterations(1)->Unit(benchmark::kMillisecond);

// Levels from the root to the deepest leaf of an index file.
int TreeDepth(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string b((std::istreambuf_iterator<char>(in)), {});
  auto u32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
  };
  int depth = 1;
  for (std::uint32_t block = u32(0); u32(block * 512 + 4) != 0 && depth < 64; ++depth) block = u32(block * 512 + 4);
  return depth;
}

void SeekPresent(benchmark::State& state) {
  const Data& d = TableData();
  Fresh();
  SetDefaultIndexCacheSize(65024);
  USE(d.table + " EXCLUSIVE");
  Index_On("NUM", Folder() + "/seek.ndx");
  const int depth = TreeDepth(Folder() + "/seek.ndx");
  std::mt19937 rng(3);
  std::vector<std::string> keys;
  for (int i = 0; i < 200000; ++i) keys.push_back(std::to_string(static_cast<long long>(d.numbers[rng() % d.numbers.size()])));
  for (int i = 0; i < 20000; ++i) Find(keys[static_cast<std::size_t>(i)]);  // warm the cache
  std::size_t i = 0;
  std::uint64_t fetches = 0, seeks = 0, maxFetches = 0;
  for (auto _ : state) {
    const auto before = IndexCounter().nodeFetches;
    const bool found = Find(keys[i++ % keys.size()]);
    const auto used = IndexCounter().nodeFetches - before;
    fetches += used;
    maxFetches = std::max(maxFetches, used);
    ++seeks;
    if (!found) state.SkipWithError("present key not found");
  }
  if (maxFetches > static_cast<std::uint64_t>(depth)) state.SkipWithError("node fetches above the tree depth");
  state.counters["fetches_per_seek"] = static_cast<double>(fetches) / static_cast<double>(std::max<std::uint64_t>(seeks, 1));
  state.counters["max_fetches"] = static_cast<double>(maxFetches);
  state.counters["depth"] = depth;
  CloseArea();
}
BENCHMARK(SeekPresent)->Unit(benchmark::kMicrosecond);

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0.0 : n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The least a seek can do: the key from its text, the descent of the index
// to the entry, and one pread of the record the entry names.
bool DescendAndRead(const std::string& text, WorkArea& a, std::string& record) {
  const std::string key = FloatKeyBytes(std::strtod(text.c_str(), nullptr)) + '\0';
  SeekKey(reinterpret_cast<const std::uint8_t*>(key.data()));
  const IndexControl* m = Master();
  if (!IndexFound() || m == nullptr) return false;
  const std::uint32_t rec = m->EntryRec();
  const off_t at = static_cast<off_t>(a.headerLength) + static_cast<off_t>(rec - 1) * a.recordLength;
  return ::pread(a.file.get(), record.data(), record.size(), at) == static_cast<ssize_t>(record.size());
}

void SeekRatio(benchmark::State& state) {
  const Data& d = TableData();
  for (auto _ : state) {
    Fresh();
    SetDefaultIndexCacheSize(65024);
    USE(d.table + " EXCLUSIVE");
    Index_On("NUM", Folder() + "/ratio.ndx");
    WorkArea& a = *CurrentWorkArea();
    std::string record(a.recordLength, ' ');
    std::mt19937 rng(4);
    std::vector<std::string> keys;
    for (int i = 0; i < 20000; ++i) keys.push_back(std::to_string(static_cast<long long>(d.numbers[rng() % d.numbers.size()])));
    for (const std::string& k : keys) Find(k);  // warm the cache
    std::vector<double> finds, least;
    std::uint64_t bytes = 0, reads = 0, seeks = 0;
    bool ok = true;
    for (int round = 0; round < 15 && ok; ++round) {
      const DbfReadCounters c0 = DbfReadCounter();
      auto t0 = Clock::now();
      for (const std::string& k : keys) ok = Find(k) && ok;
      finds.push_back(Seconds(t0, Clock::now()) / static_cast<double>(keys.size()));
      const DbfReadCounters c1 = DbfReadCounter();
      bytes += c1.bytes - c0.bytes;
      reads += c1.reads - c0.reads;
      seeks += keys.size();
      t0 = Clock::now();
      for (const std::string& k : keys) ok = DescendAndRead(k, a, record) && ok;
      least.push_back(Seconds(t0, Clock::now()) / static_cast<double>(keys.size()));
    }
    const std::uint64_t len = a.recordLength;
    CloseArea();
    if (!ok) state.SkipWithError("a present key was not found");
    if (bytes != seeks * len || reads != seeks) state.SkipWithError("a Find read more than its record");
    state.counters["find_us"] = Median(finds) * 1e6;
    state.counters["descent_pread_us"] = Median(least) * 1e6;
    state.counters["seek_ratio"] = Median(finds) / Median(least);  // target <= 1.2
  }
}
BENCHMARK(SeekRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

void StepRatio(benchmark::State& state) {
  const Data& d = TableData();
  for (auto _ : state) {
    Fresh();
    SetDefaultIndexCacheSize(65024);
    USE(d.table + " EXCLUSIVE");
    Index_On("NUM", Folder() + "/step.ndx");
    WorkArea& a = *CurrentWorkArea();
    long long sum = 0;
    std::vector<double> indexedS, naturalS;
    std::uint64_t fetches = 0, reads = 0;
    bool all = true;
    // Rounds of both walks taken in turn, medians.
    for (int round = 0; round < 5; ++round) {
      Set_Order_To(1);
      const IndexCounters c0 = IndexCounter();
      auto t0 = Clock::now();
      std::int64_t steps = 0;
      for (GoTop(); !dEOF(); SKIP(1)) {
        sum += a.recordNumber;
        ++steps;
      }
      indexedS.push_back(Seconds(t0, Clock::now()));
      const IndexCounters c1 = IndexCounter();
      fetches += c1.nodeFetches - c0.nodeFetches;
      reads += c1.nodeReads - c0.nodeReads;
      all = all && steps == Records();
      Set_Order_To(0);
      t0 = Clock::now();
      for (GoTop(); !dEOF(); SKIP(1)) sum += a.recordNumber;
      naturalS.push_back(Seconds(t0, Clock::now()));
    }
    benchmark::DoNotOptimize(sum);
    CloseArea();
    if (!all) state.SkipWithError("indexed steps missed records");
    const double leaves = (static_cast<double>(Records()) + 30) / 31 * static_cast<double>(indexedS.size());
    state.counters["indexed_s"] = Median(indexedS);
    state.counters["natural_s"] = Median(naturalS);
    state.counters["step_ratio"] = Median(indexedS) / Median(naturalS);  // target <= 2
    state.counters["fetches_per_leaf"] = static_cast<double>(fetches) / leaves;
    state.counters["reads_per_leaf"] = static_cast<double>(reads) / leaves;
    if (static_cast<double>(fetches) / leaves > 2.0) state.SkipWithError("node fetches above 2 per leaf");
  }
}
BENCHMARK(StepRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
