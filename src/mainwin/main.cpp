// The executable: the arguments decide before any QApplication exists. A
// batch run (usage, printout, CAD export, /NOGUI) runs without Qt and
// never waits for a user; any other start goes through Qt.
#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "mainwin/program.h"
#include "mainwin/qt/qt_program.h"

int main(int argc, char** argv) {
  // A write beyond the file-size limit fails like a full disk instead of
  // ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (zeb::IsBatchCommandLine(args)) {
    zeb::SetUi(std::make_shared<zeb::BatchUi>(stderr));
    return zeb::RunProgram(argc, argv);
  }
  return zeb::RunInteractiveProgram(argc, argv);
}
