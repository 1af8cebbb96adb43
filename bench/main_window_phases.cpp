// The parts of one Enter in the recalculation screen, timed apart inside
// one process (offscreen): the recalculation, the result sheet drawn into
// the display list, a whole paint of the graphics canvas at the main
// window's size, and the paint an Enter with a new value asks for (only
// the part of the sheet that changed). examples/round_dynamic.zeb; the
// new value alternates L1 between two lengths. The whole road on a real
// window system is bench_main_window_enter. Times are the CPU column.
// Target: the paint an Enter asks for (finding the changed part included)
// within the whole paint.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "base/colors.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/install.h"
#include "platform/files.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "cpu_clock.h"

namespace {

namespace fs = std::filesystem;

// The client area of the main window in the real-window bench.
constexpr int kWidth = 1271, kHeight = 930;

zeb::GraphCanvas* gCanvas = nullptr;

void Load() {
  zeb::ReadSpringFile(std::string(ZEB1_SOURCE_DIR) + "/examples/round_dynamic.zeb");
  zeb::RunCalculation();
}

void BM_Recalculation(benchmark::State& state) {
  Load();
  for (auto _ : state) zeb::RunRecalculation();
}
BENCHMARK(BM_Recalculation)->Unit(benchmark::kMillisecond);

// The sheet into the display list, block files included.
void BM_SheetIntoList(benchmark::State& state) {
  Load();
  for (auto _ : state) zeb::RedrawCurrentDrawing();
  state.counters["records"] = static_cast<double>(zeb::Facade().Window().DisplayList().size());
}
BENCHMARK(BM_SheetIntoList)->Unit(benchmark::kMillisecond);

// The whole canvas painted from the list.
void BM_PaintWhole(benchmark::State& state) {
  Load();
  zeb::RedrawCurrentDrawing();
  QImage image(gCanvas->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    gCanvas->PaintPart(p, QRegion(gCanvas->rect()));
  }
}
BENCHMARK(BM_PaintWhole)->Unit(benchmark::kMillisecond);

// The sheet drawn again as it was: what finding that nothing changed
// costs the canvas.
void BM_FindUnchanged(benchmark::State& state) {
  Load();
  zeb::RedrawCurrentDrawing();
  gCanvas->Changed();
  long rects = 0;
  for (auto _ : state) {
    gCanvas->Repaint();
    rects += gCanvas->Changed().rectCount();
  }
  state.counters["rects"] = static_cast<double>(rects);
}
BENCHMARK(BM_FindUnchanged)->Unit(benchmark::kMillisecond);

// L1 set to the value and the sheet drawn again.
void Redraw(zeb::Real L1) {
  zeb::SpringData().L1 = L1;
  zeb::RunRecalculation();
  zeb::RedrawCurrentDrawing();
}

// What an Enter with a new L1 costs the canvas: the part that changed
// found, and painted.
void BM_PaintChanged(benchmark::State& state) {
  Load();
  const zeb::Real a = zeb::SpringData().L1, b = a - 1;
  QImage image(gCanvas->size(), QImage::Format_RGB32);
  Redraw(a);
  gCanvas->Changed();
  long area = 0, n = 0;
  double finding = 0;
  long rects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Redraw(n % 2 ? a : b);
    state.ResumeTiming();
    const auto t0 = zeb::bench::CpuClock::now();
    const QRegion region = gCanvas->Changed();
    finding += std::chrono::duration<double, std::milli>(zeb::bench::CpuClock::now() - t0).count();
    QPainter p(&image);
    gCanvas->PaintPart(p, region);
    for (const QRect& r : region) area += static_cast<long>(r.width()) * r.height();
    rects += region.rectCount();
    ++n;
  }
  state.counters["changed_share"] = n ? static_cast<double>(area) / n / (kWidth * kHeight) : 0;
  state.counters["finding_ms"] = n ? finding / n : 0;
  state.counters["rects"] = n ? static_cast<double>(rects) / n : 0;
}
BENCHMARK(BM_PaintChanged)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string dir = (fs::temp_directory_path() / "zeb1_bench_phases.XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  zeb::ResetBaseGlobals();
  zeb::ResetCadSettings();
  zeb::ResetConfigDefaults();
  zeb::InitDefaultColors();
  zeb::SetUi(std::make_shared<zeb::BatchUi>(nullptr));
  // Scratch files in a run folder of their own, as the program has.
  if (zeb::PlanRunFolder(dir) != 0) return 1;
  zeb::G().ShowErrorsSwitch = 0;
  zeb::InstallGraphicsFacade();
  zeb::InstallDrawings();
  auto canvas = std::unique_ptr<zeb::GraphCanvas>(zeb::InstallGraphicsQt(nullptr, nullptr));
  canvas->resize(kWidth, kHeight);
  gCanvas = canvas.get();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  canvas.reset();
  zeb::RemoveRunFolder();
  zeb::SetScreen(nullptr);
  zeb::SetGraphics(nullptr);
  zeb::ClearDrawingRegistry();
  fs::remove_all(dir);
  return 0;
}
