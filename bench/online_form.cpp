// Building, showing (offscreen) and closing the online input form with 12
// input rows, 12 output rows and 12 messages, against a plain QDialog with
// as many line edits and labels made, shown and closed the same way.
// Target: the form within 3 x the plain dialog.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/globals.h"
#include "mainwin/online.h"
#include "mainwin/qt/online_form.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_online_form";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *app;
}

void Fill() {
  zeb::ResetBaseGlobals();
  zeb::ResetOnlineState();
  zeb::OnlineState& o = zeb::Online();
  for (int i = 1; i <= 12; ++i) {
    const auto r = static_cast<std::size_t>(i);
    o.LabelText[r] = "L" + std::to_string(i);
    o.EditText[r] = std::to_string(i * 10);
    o.UnitText[r] = "mm";
    o.OutName[r] = "tau " + std::to_string(i);
    o.OutValue[r] = std::to_string(i * 100);
    o.OutUnit[r] = "MPa";
  }
  zeb::ErrorMessageListT& list = zeb::G().ErrorMessageList;
  list.count = 12;
  for (int k = 1; k <= 12; ++k) list.slot[static_cast<std::size_t>(k)] = "Warnung: Meldung " + std::to_string(k);
}

void BM_OnlineForm(benchmark::State& state) {
  App();
  Fill();
  for (auto _ : state) {
    zeb::OnlineRun run = zeb::MakeOnlineRun(1, 6000, 0, 0);
    zeb::TForm_online form(nullptr, run);
    form.show();
    QApplication::processEvents();
    form.close();
  }
}

void BM_PlainDialog(benchmark::State& state) {
  App();
  for (auto _ : state) {
    QDialog dialog;
    for (int i = 1; i <= 12; ++i) {
      auto* e = new QLineEdit(QString::number(i * 10), &dialog);
      e->setGeometry(56, 27 * i + 4, 62, 26);
      for (int k = 0; k < 2; ++k) new QLabel(QString("L%1").arg(i), &dialog);
    }
    for (int j = 0; j < 12 * 3 + 12; ++j) new QLabel(QString("label %1").arg(j), &dialog);
    dialog.resize(648, 462);
    dialog.show();
    QApplication::processEvents();
    dialog.close();
  }
}

BENCHMARK(BM_OnlineForm);
BENCHMARK(BM_PlainDialog);

}  // namespace

BENCHMARK_MAIN();
