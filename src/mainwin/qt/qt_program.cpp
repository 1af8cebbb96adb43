#include "mainwin/qt/qt_program.h"
#include "mainwin/qt/qt_printer_port.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/headless_ui.h"
#include "base/qt/qt_ui.h"
#include "drawings/qt/drawing_dialogs.h"
#include "mainwin/config.h"
#include "mainwin/program.h"
#include "reports/printjob.h"
#include "tables/qt/form_zebmat.h"
#include "tables/qt/tdbf4.h"
#include "xbase/core/engine.h"
#include "xbase/qt/qt_tzcallback.h"

namespace zeb {

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

int Run(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return RunProgram(static_cast<int>(args.size()), argv.data());
}

}  // namespace

int RunInteractiveProgram(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (!EnvSet("QT_QPA_PLATFORM") && !EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) {
    SetUi(std::make_shared<BatchUi>(stderr));
    return Run(args);
  }
  int qtArgc = argc;
  QApplication app(qtArgc, argv);
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    SetUi(std::make_shared<BatchUi>(stderr));
  } else {
    auto ui = std::make_shared<QtUi>();
    SetUi(ui);
    xbase::SetTzCallback(std::make_shared<xbase::QtTzCallback>());
    SetPrinterPort(MakeQtTextPrinterPort(ui));
    InstallQtDrawingDialogs();
    InstallQtTableBrowser();
    InstallQtMaterialForm();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      ScreenMetrics m;
      m.width = screen->size().width();
      m.height = screen->size().height();
      m.logicalDpiY = static_cast<int>(screen->logicalDotsPerInchY() + 0.5);
      SetScreenMetrics(m);
    }
  }
  const int code = Run(args);
  SetPrinterPort(nullptr);
  SetUi(nullptr);
  return code;
}

}  // namespace zeb

// The entry the executable looks up when it loads the Qt program.
extern "C" __attribute__((visibility("default"))) int zeb1_run_interactive(int argc, char** argv) {
  return zeb::RunInteractiveProgram(argc, argv);
}
