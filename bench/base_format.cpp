// Number formatting and parsing against the C library on 10^4 mixed values:
// compare FloatToStrSig with Snprintf, TextToFloat with Strtold (the CPU
// column). Targets: FloatToStrSig within 2 x Snprintf (it finds the
// shortest text of the significant digits asked for, Snprintf prints one
// given format), TextToFloat within Strtold.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/globals.h"

namespace {

using zeb::Real;

constexpr int kCount = 10000;

struct Sample {
  std::vector<Real> values;
  std::vector<int> decimals;  // decimals FloatToStrSig uses for each value
  std::vector<std::string> texts;
};

const Sample& Data() {
  static const Sample sample = [] {
    zeb::ResetBaseGlobals();
    Sample s;
    std::mt19937_64 rng(20240307);
    std::uniform_real_distribution<double> decade(-5.0, 7.0);
    std::uniform_int_distribution<int> kind(0, 9);
    for (int i = 0; i < kCount; ++i) {
      Real x = std::pow(10.0L, static_cast<Real>(decade(rng)));
      switch (kind(rng)) {
        case 0: x = std::round(x); break;      // whole numbers
        case 1: x = 0; break;
        case 2: x = std::round(x * 100) / 100; break;  // two decimals
        default: break;
      }
      if (i % 3 == 0) x = -x;
      int intDigits = 0, decimals = 0;
      zeb::SignificantDigitSplit(3, x, intDigits, decimals);
      s.values.push_back(x);
      s.decimals.push_back(decimals);
      char buf[64];
      if (i % 4 == 0)
        std::snprintf(buf, sizeof buf, "%.6Le", x);
      else
        std::snprintf(buf, sizeof buf, "%.*Lf", decimals + 2, x);
      s.texts.emplace_back(buf);
    }
    return s;
  }();
  return sample;
}

void Snprintf(benchmark::State& state) {
  const Sample& s = Data();
  char buf[128];
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      int n = std::snprintf(buf, sizeof buf, "%.*Lf", s.decimals[i], s.values[i]);
      benchmark::DoNotOptimize(n);
      benchmark::DoNotOptimize(buf);
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(Snprintf)->Unit(benchmark::kMicrosecond);

void FloatToStrSig(benchmark::State& state) {
  const Sample& s = Data();
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      std::string t = zeb::FloatToStrSig(s.values[i]);
      benchmark::DoNotOptimize(t);
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(FloatToStrSig)->Unit(benchmark::kMicrosecond);

void Strtold(benchmark::State& state) {
  const Sample& s = Data();
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      char* end = nullptr;
      Real v = std::strtold(s.texts[i].c_str(), &end);
      benchmark::DoNotOptimize(v);
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(Strtold)->Unit(benchmark::kMicrosecond);

void TextToFloat(benchmark::State& state) {
  const Sample& s = Data();
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      Real v = zeb::TextToFloat(s.texts[i]);
      benchmark::DoNotOptimize(v);
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(TextToFloat)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
