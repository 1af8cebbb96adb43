// Shared start of the drawing fuzz targets: fresh program state, a batch UI
// that shows nothing, a recording screen, and CAD files in a scratch folder
// without save dialogs.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "fuzz_support.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/sink.h"
#include "mainwin/config.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/spring_data.h"

namespace zeb::fuzz {

struct DrawingRun {
  std::string dir;                      // the scratch folder, kept for the process
  std::shared_ptr<RecordingSink> sink;  // the screen
};

inline DrawingRun ResetDrawingRun(std::string_view scratchPrefix) {
  static ScratchFolder scratch(scratchPrefix);
  static auto ui = std::make_shared<BatchUi>(nullptr);
  static auto sink = std::make_shared<RecordingSink>();
  ResetBaseGlobals();
  ResetSpringGlobals();
  ResetCadState();
  ResetCadSettings();
  ResetConfigDefaults();
  ChangeLog() = DefaultChangeLog();
  SetUi(ui);
  SetScreen(sink);
  G().ShowErrorsSwitch = 0;
  G().TempFolder = scratch.dir;
  CadSettings().CommandLineExport = 1;
  return {scratch.dir, sink};
}

}  // namespace zeb::fuzz
