#include "mainwin/qt/qt_program.h"

#include <QApplication>
#include <QGuiApplication>
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
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/install.h"
#include "mainwin/placeholder.h"
#include "mainwin/program.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/qt_printer_port.h"
#include "platform/files.h"
#include "reports/printjob.h"
#include "settings/config.h"
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

std::optional<int> Start(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return RunProgramStart(static_cast<int>(args.size()), argv.data(), stdout, stderr);
}

}  // namespace

const char* NoDisplayMessage() {
  return "wzeb1: kein Bildschirm (weder DISPLAY noch WAYLAND_DISPLAY gesetzt); ohne Bildschirm nur "
         "Stapelbetrieb: wzeb1 Datei.zeb /I, /CADi:j oder /NOGUI";
}

std::unique_ptr<Thh> StartMainWindow(const std::vector<std::string>& args, std::optional<int>& ended,
                                     std::shared_ptr<PrinterPort> printer) {
  InstallResultPlaceholder();
  auto window = std::make_unique<Thh>();
  // The graphics window's canvas is the client area when its facade is in.
  if (dynamic_cast<GraphicsFacade*>(&Graphics()) != nullptr)
    window->setCentralWidget(InstallGraphicsQt(window.get(), printer ? printer : std::shared_ptr<PrinterPort>(
                                                                                    &Printer(), [](PrinterPort*) {})));
  // The window stands in for the main window before the start-up runs.
  SetMainWindow(std::shared_ptr<MainWindowServices>(window.get(), [](MainWindowServices*) {}));
  ended = Start(args);
  window->UpdateEnabled();
  if (ended) {
    SetMainWindow(nullptr);
    window.reset();
  }
  return window;
}

std::shared_ptr<PrinterPort> InstallQtProgramPorts(const std::shared_ptr<QtUi>& ui) {
  SetUi(ui);
  xbase::SetTzCallback(std::make_shared<xbase::QtTzCallback>());
  // The table engine processes events inside commands: no box then.
  QtUi::SetBusyCheck([] { return xbase::QtTzCallback::PumpDepth() > 0; });
  auto printer = MakeQtTextPrinterPort(ui);
  SetPrinterPort(printer);
  InstallQtDrawingDialogs();
  InstallQtTableBrowser();
  InstallQtMaterialForm();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    ScreenMetrics m;
    m.width = screen->size().width();
    m.height = screen->size().height();
    m.logicalDpiX = static_cast<int>(screen->logicalDotsPerInchX() + 0.5);
    m.logicalDpiY = static_cast<int>(screen->logicalDotsPerInchY() + 0.5);
    SetScreenMetrics(m);
  }
  return printer;
}

int RunInteractiveProgram(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (!EnvSet("QT_QPA_PLATFORM") && !EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "%s\n", NoDisplayMessage());
    return 1;
  }
  int qtArgc = argc;
  QApplication app(qtArgc, argv);
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    SetUi(std::make_shared<BatchUi>(stderr));
    const int code = Start(args).value_or(0);
    RemoveRunFolder();
    SetUi(nullptr);
    return code;
  }
  auto ui = std::make_shared<QtUi>();
  std::shared_ptr<PrinterPort> printer = InstallQtProgramPorts(ui);
  std::optional<int> ended;
  std::unique_ptr<Thh> window = StartMainWindow(args, ended, printer);
  int code = ended.value_or(0);
  if (window) {
    window->show();
    app.exec();
    if (!window->Destroyed()) FormDestroy();
    SetMainWindow(nullptr);
    window.reset();
  }
  RemoveRunFolder();
  SetPrinterPort(nullptr);
  SetUi(nullptr);
  return code;
}

}  // namespace zeb

// The entry the executable looks up when it loads the Qt program.
extern "C" __attribute__((visibility("default"))) int zeb1_run_interactive(int argc, char** argv) {
  return zeb::RunInteractiveProgram(argc, argv);
}
