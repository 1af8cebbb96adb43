// The executable: the arguments decide before any Qt library is loaded. A
// batch run (usage, printout, CAD export, /NOGUI) runs without Qt and never
// waits for a user; an interactive start with a display loads the Qt program
// from its module beside the executable.
#include <dlfcn.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "graphics/facade.h"
#include "mainwin/program.h"
#include "tables/table_services.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

int RunBatch(int argc, char** argv) {
  zeb::SetUi(std::make_shared<zeb::BatchUi>(stderr));
  return zeb::RunProgram(argc, argv);
}

// The Qt program's module, named by the build, beside the executable.
std::string QtModulePath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (ec ? std::filesystem::path() : exe.parent_path()).append(ZEB1_QT_MODULE).string();
}

int RunInteractive(int argc, char** argv) {
  // Without any display there is no window to show: say so, name the
  // batch switches, and load no Qt.
  if (!EnvSet("QT_QPA_PLATFORM") && !EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) {
    std::fprintf(stderr,
                 "wzeb1: kein Bildschirm (weder DISPLAY noch WAYLAND_DISPLAY gesetzt); ohne Bildschirm nur "
                 "Stapelbetrieb: wzeb1 Datei.zeb /I, /CADi:j oder /NOGUI\n");
    return 1;
  }
  const std::string path = QtModulePath();
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  using Entry = int (*)(int, char**);
  Entry entry = module != nullptr ? reinterpret_cast<Entry>(::dlsym(module, "zeb1_run_interactive")) : nullptr;
  if (entry == nullptr) {
    const char* why = ::dlerror();
    std::fprintf(stderr, "wzeb1: Qt-Programmteil %s nicht ladbar: %s\n", path.c_str(), why != nullptr ? why : "?");
    return 1;
  }
  return entry(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  // A write beyond the file-size limit fails like a full disk instead of
  // ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // Every run draws into the graphics window's display list, batch runs too.
  zeb::InstallGraphicsFacade();
  // Every run reads the material tables (a spring file names its material).
  zeb::xbase::InitTableEngineUnits();
  zeb::InstallTableServices();
  zeb::InstallDrawings();
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (zeb::IsBatchCommandLine(args)) return RunBatch(argc, argv);
  return RunInteractive(argc, argv);
}
