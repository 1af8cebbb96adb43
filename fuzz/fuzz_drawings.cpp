// A spring file of arbitrary bytes, read and calculated, then every spring
// view, both production drawings, the Quick 3 sheet and the 3D view onto a
// recording screen and into TXT listings, with floating-point traps on while
// drawing: no crash, no hang, no trap, nothing non-finite in a listing.
#include <fenv.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/drawings.h"
#include "drawing_run_support.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/sink.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/springfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zeb::fuzz::DrawingRun run = zeb::fuzz::ResetDrawingRun("fuzzdrw");
  zeb::Config().Edit3DAngles = 0;

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zeb::SpringFileRecords records;
  std::string error;
  if (!zeb::ParseSpringFile(bytes, records, error)) return 0;
  zeb::InstallSpringFileRecords(records);
  zeb::RunCalculation();
  zeb::G().FatalErrorFlag = 0;  // draw whatever the calculation left

  const std::string base = run.dir + "/f";
  zeb::G().CurrentFileName = base;
  const zeb::SpringDataRecord keep = zeb::SpringData();
  for (int drawing = 1; drawing <= 8; ++drawing) {
    for (int code : {5, 3}) {
      run.sink->ClearCalls();
      zeb::SpringData() = keep;
      zeb::G().AbortFlag = 0;
      std::remove((base + ".txt").c_str());
      feclearexcept(FE_ALL_EXCEPT);
      feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
      if (drawing <= 4) zeb::DrawSpringView(drawing, code, false);
      if (drawing == 5) zeb::DrawProductionDrawing(code);
      if (drawing == 6) zeb::DrawProductionDrawingEN(code);
      if (drawing == 7) zeb::DrawQuickSheet(code);
      if (drawing == 8) zeb::DrawSpring3DView(code, 1, false);
      fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
      if (code == 5) zeb::fuzz::RequireFiniteListing(base + ".txt", bytes);
    }
  }
  return 0;
}
