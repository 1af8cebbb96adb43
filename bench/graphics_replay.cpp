// The graphics window's replay of 100,000 records (lines, arcs, circles,
// solids and 1,000 texts) onto a 1024 x 768 QImage, against QPainter
// drawing the same device primitives from a std::vector in the same run.
// Counter "ratio" = replay time / direct time (target: within 2).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "base/colors.h"
#include "base/globals.h"
#include "graphics/facade.h"
#include "graphics/qt/qt_renderer.h"
#include "cpu_clock.h"

namespace {

struct Prim {
  int kind;  // 0 line, 1 arc, 2 circle, 3 solid, 4 text
  QPoint a, b, c, d;
};

void Build(std::vector<Prim>& direct) {
  zeb::GraphicsFacade& f = zeb::Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  f.GrafSetTextStyle(2, 0, 2.5L, 1.8L);
  direct.clear();
  for (int i = 0; i < 100000; ++i) {
    const zeb::Real x = (i % 400) * 0.4L, y = (i / 400) * 0.48L;
    const int kind = i % 100 == 0 ? 4 : (i % 4);
    if (i % 50 == 0) f.GrafSetColor(9 + i / 50 % 6);
    double dx, dy, ex, ey;
    f.Window().ToScreen(x, y, dx, dy);
    f.Window().ToScreen(x + 1, y + 1, ex, ey);
    const QPoint p(static_cast<int>(dx), static_cast<int>(dy)), q(static_cast<int>(ex), static_cast<int>(ey));
    switch (kind) {
      case 0: f.GrafLine(x, y, x + 1, y + 1); break;
      case 1: f.GrafArc(x, y, 10, 250, 1); break;
      case 2: f.GrafCircle(x, y, 1); break;
      case 3: f.GrafSolid(x, y, x + 1, y, x + 1, y + 1, x, y + 1); break;
      case 4: f.GrafOutTextXY("Text 123", x, y); break;
    }
    direct.push_back({kind, p, q, QPoint(p.x(), q.y()), QPoint(q.x(), p.y())});
  }
}

double Seconds(zeb::bench::CpuClock::time_point a, zeb::bench::CpuClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_Replay(benchmark::State& state) {
  std::vector<Prim> direct;
  Build(direct);
  QImage image(1024, 768, QImage::Format_RGB32);
  double replay = 0, plain = 0;
  for (auto _ : state) {
    auto t0 = zeb::bench::CpuClock::now();
    {
      QPainter p(&image);
      zeb::QtRenderer r(p, 1024, 768);
      zeb::Facade().Window().Replay(&r, nullptr);
    }
    auto t1 = zeb::bench::CpuClock::now();
    {
      QPainter p(&image);
      p.setFont(QFont("Arial", 8));
      for (std::size_t i = 0; i < direct.size(); ++i) {
        const Prim& m = direct[i];
        if (i % 50 == 0) {
          p.setPen(QColor(0, 0, 255));
          p.setBrush(QColor(0, 0, 255));
        }
        switch (m.kind) {
          case 0: p.drawLine(m.a, m.b); break;
          case 1: p.drawArc(QRect(m.a, m.b).normalized(), 160, 3840); break;
          case 2: p.drawEllipse(QRect(m.a, m.b).normalized()); break;
          case 3: p.drawPolygon(QPolygon({m.a, m.c, m.b, m.d})); break;
          case 4: p.drawText(m.a, "Text 123"); break;
        }
      }
    }
    auto t2 = zeb::bench::CpuClock::now();
    replay += Seconds(t0, t1);
    plain += Seconds(t1, t2);
  }
  state.counters["ratio"] = replay / plain;
}
BENCHMARK(BM_Replay)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  zeb::InitDefaultColors();
  zeb::G().ScreenHeight = 768;
  zeb::InstallGraphicsFacade();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
