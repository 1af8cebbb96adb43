// Passes of the input screens on a form that answers Enter at once, against
// the same parser, calculation and formatter calls made directly. Each
// benchmark runs 100 passes; the "<" search runs 21 passes without the
// form. Targets (ratios within one run): screen pass <= 2 x direct pass,
// one "<" search <= 25 x one screen pass.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "mainwin/online.h"
#include "mainwin/screens.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/formulas.h"
#include "spring/spring_data.h"

namespace {

using zeb::Real;
constexpr int kPasses = 100;

// Enter for the first n runs, then Esc; records nothing.
class EnterForm : public zeb::OnlineFormPort {
 public:
  explicit EnterForm(int n, std::string firstText = {}, int firstRow = 0)
      : left_(n), text_(std::move(firstText)), row_(firstRow) {}
  void Run(zeb::OnlineRun& run) override {
    if (row_ != 0) {
      run.Edits[static_cast<std::size_t>(row_)] = text_;
      run.Current = row_;
      row_ = 0;
    }
    zeb::ApplyOnlineKey(run, left_-- > 0 ? zeb::OnlineKey::Enter : zeb::OnlineKey::Esc);
  }

 private:
  int left_;
  std::string text_;
  int row_;
};

void Ref() {
  zeb::ResetSpringGlobals();
  zeb::SpringDataRecord& s = zeb::SpringData();
  s.CrossSection = 1, s.d = s.h = 2.0L;
  s.DiameterGiven = 3, s.Dm = 20.0L;
  s.n = 8.5L, s.L0 = 60.0L, s.L1 = 50.0L, s.L2 = 30.0L;
  s.MaterialSel = 11, s.Rm = 2000.0L, s.tauzul = 1000.0L;
  s.G = 81500.0L, s.T = 20.0L, s.LoadType = 2, s.WireStd = 9;
  s.F1 = 24.0L, s.F2 = 72.0L, s.sh = 20.0L;
}

// Batch answers, Yes to the pre-dimensioning question.
class YesUi : public zeb::BatchUi {
 public:
  YesUi() : BatchUi(nullptr) {}
  zeb::DialogEnd AskYesNo(std::string_view, bool& yes, const zeb::DialogHelp&) override {
    yes = true;
    return zeb::DialogEnd::Ok;
  }
};

void Setup() {
  static bool once = [] {
    zeb::ResetBaseGlobals();
    zeb::SetUi(std::make_shared<YesUi>());
    return true;
  }();
  (void)once;
  zeb::ResetOnlineState();
  Ref();
}

void BM_RecalculationScreen(benchmark::State& state) {
  Setup();
  for (auto _ : state) {
    Ref();
    zeb::SetOnlineForm(std::make_shared<EnterForm>(kPasses - 1));
    zeb::InputRecalculation();
  }
  state.SetItemsProcessed(state.iterations() * kPasses);
}

// The recalculation screen's work done directly: the eight rows parsed,
// the recalculation, twelve outputs and eight edit texts formatted.
void BM_RecalculationDirect(benchmark::State& state) {
  Setup();
  std::string texts[9];
  for (auto _ : state) {
    Ref();
    zeb::SpringDataRecord& s = zeb::SpringData();
    for (int k = 0; k < kPasses; ++k) {
      s.d = zeb::ParseLength(texts[1].empty() ? "2" : texts[1]);
      s.Dm = zeb::ParseLength(texts[2].empty() ? "20" : texts[2]);
      s.L0 = zeb::ParseLength(texts[3].empty() ? "60" : texts[3]);
      s.n = zeb::TextToFloat(texts[4].empty() ? "8.5" : texts[4]);
      s.L1 = zeb::ParseLength(texts[5].empty() ? "50" : texts[5]);
      s.L2 = zeb::ParseLength(texts[6].empty() ? "30" : texts[6]);
      s.T = zeb::ParseTemperature(texts[7].empty() ? "20" : texts[7]);
      s.P = zeb::ParseLength(texts[8].empty() ? "0" : texts[8]);
      zeb::RunRecalculation();
      std::string out;
      for (Real v : {s.F1, s.F2}) out += zeb::FormatForce(v) + zeb::ForceUnitName();
      for (Real v : {s.Ln, s.Lc}) out += zeb::FormatLength(v) + zeb::LengthUnitName();
      for (Real v : {s.tauk1, s.tauk2, s.taukh, s.GT, s.tauc, s.tauzul}) out += zeb::FormatStress(v) + zeb::StressUnitName();
      out += zeb::FormatTemperature(s.T) + zeb::FormatSpringRate(s.R) + zeb::SpringRateUnitName() + zeb::FloatToStrSig(s.fe);
      texts[1] = zeb::FormatLength(s.d), texts[2] = zeb::FormatLength(s.Dm), texts[3] = zeb::FormatLength(s.L0);
      texts[4] = zeb::FloatToStrSig(s.n), texts[5] = zeb::FormatLength(s.L1), texts[6] = zeb::FormatLength(s.L2);
      texts[7] = zeb::FormatTemperature(s.T), texts[8] = zeb::FormatLength(s.P);
      benchmark::DoNotOptimize(out);
    }
    zeb::RunCalculation();
  }
  state.SetItemsProcessed(state.iterations() * kPasses);
}

void BM_DimensioningScreen(benchmark::State& state) {
  Setup();
  for (auto _ : state) {
    Ref();
    zeb::SetOnlineForm(std::make_shared<EnterForm>(kPasses - 1));
    zeb::InputDimensioning();
  }
  state.SetItemsProcessed(state.iterations() * kPasses);
}

void BM_PreDimensioningScreen(benchmark::State& state) {
  Setup();
  for (auto _ : state) {
    Ref();
    zeb::SetOnlineForm(std::make_shared<EnterForm>(kPasses - 1));
    zeb::InputPreDimensioning();
  }
  state.SetItemsProcessed(state.iterations() * kPasses);
}

// "<" in F1: 21 search passes, then one shown pass and the end.
void BM_DimensioningSearch(benchmark::State& state) {
  Setup();
  for (auto _ : state) {
    Ref();
    zeb::SetOnlineForm(std::make_shared<EnterForm>(1, "<", 1));
    zeb::InputDimensioning();
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_RecalculationScreen);
BENCHMARK(BM_RecalculationDirect);
BENCHMARK(BM_DimensioningScreen);
BENCHMARK(BM_PreDimensioningScreen);
BENCHMARK(BM_DimensioningSearch);

}  // namespace

BENCHMARK_MAIN();
