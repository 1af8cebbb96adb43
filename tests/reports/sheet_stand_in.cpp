// The program for outside checks of the sheets the command line does not
// write: "zeb_test_sheet FILE.zeb /CAD5:1 /NOGUI" runs exactly as wzeb1
// does, but drawing 1 of the command line is the diagram-menu entry named
// by ZEB1_SHEET ("14" the load spectrum, "17" the Rm-d Quick sheet) or the
// diagram code named by ZEB1_SHEET="code:N" (19, 20 the relaxation over
// time). The TXT listing lands where the command line puts it.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/headless_ui.h"
#include "base/services.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/facade.h"
#include "mainwin/program.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);
  zeb::InstallGraphicsFacade();
  zeb::xbase::InitTableEngineUnits();
  zeb::InstallTableServices();
  zeb::InstallDrawings();
  const char* sheet = std::getenv("ZEB1_SHEET");
  const std::string which = sheet != nullptr ? sheet : "";
  const bool code = which.rfind("code:", 0) == 0;
  const int number = std::atoi(which.c_str() + (code ? 5 : 0));
  if (number <= 0) {
    std::fprintf(stderr, "zeb_test_sheet: ZEB1_SHEET names no drawing: %s\n", which.c_str());
    return 3;
  }
  zeb::RegisterDrawing({zeb::DrawingEntry::SelectDiagram, 1}, [code, number](int cadCode) {
    if (code)
      zeb::Drawings().ShowDiagram(number, cadCode);
    else
      zeb::Drawings().SelectDiagram(number, cadCode);
  });
  zeb::SetUi(std::make_shared<zeb::BatchUi>(stderr));
  return zeb::RunProgram(argc, argv);
}
