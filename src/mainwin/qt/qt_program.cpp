#include "mainwin/qt/qt_program.h"

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
#include "mainwin/config.h"
#include "mainwin/program.h"
#include "reports/printjob.h"

namespace zeb {

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

// The printer behind the text printouts: the default printer, or a PDF
// file through the Qt port. The graphics print job stays with the headless
// printer until the main window paints it.
class QtTextPrinterPort : public HeadlessPrinter {
 public:
  explicit QtTextPrinterPort(std::shared_ptr<QtUi> ui) : ui_(std::move(ui)) {}
  bool HasPrinter() override { return !QPrinterInfo::defaultPrinter().isNull(); }
  bool SetPdfOutput(std::string_view path) override {
    ui_->SetPdfOutput(std::string(path));
    return true;
  }

 private:
  std::shared_ptr<QtUi> ui_;
};

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
    SetPrinterPort(std::make_shared<QtTextPrinterPort>(ui));
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
