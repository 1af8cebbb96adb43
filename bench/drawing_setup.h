// The program's state for drawing runs of a bench, and the many-coil spring
// the drawing benches share.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "settings/config.h"

namespace zeb::bench {

// Start values, a batch interface, the drawings installed; scratch files in dir.
inline void ResetForDrawings(const std::string& dir) {
  ResetBaseGlobals();
  ResetCadState();
  ResetCadSettings();
  ResetConfigDefaults();
  SetUi(std::make_shared<BatchUi>(nullptr));
  InstallGraphicsFacade();
  InstallDrawings();
  G().TempFolder = dir;
  G().ShowErrorsSwitch = 0;
}

// round_dynamic.zeb wound to 500 coils (the stroke and the length at F2
// scaled as the coils), written into dir; its path.
inline std::string WriteManyCoilsSpring(const std::string& dir) {
  std::ifstream in(std::string(ZEB1_SOURCE_DIR) + "/examples/round_dynamic.zeb", std::ios::binary);
  const std::string file = dir + "/coils.zeb";
  std::ofstream out(file, std::ios::binary);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) out << (n == 57 ? "1105.9\r" : n == 58 ? "3000\r" : line) << "\n";
  return file;
}

}  // namespace zeb::bench
