// A spring file of arbitrary bytes, read and calculated, with a relaxation
// row and tensile-strength tables from the bytes after a "#DIAG" line; then
// every diagram code, the Goodman and Haigh diagrams and the load-spectrum
// sheet onto a recording screen and into TXT listings, with floating-point
// traps on while drawing: no crash, no hang, no trap, nothing non-finite in
// a listing.
#include <fenv.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "drawing_run_support.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/sink.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/material.h"
#include "spring/springfile.h"

namespace {

// Reads 16-bit words from the extra bytes; 0 once they run out.
struct Words {
  std::string_view b;
  std::size_t at = 0;
  std::int32_t Next() {
    if (at + 2 > b.size()) return 0;
    std::int16_t v = 0;
    std::memcpy(&v, b.data() + at, 2);
    at += 2;
    return v;
  }
};

void FillTables(std::string_view extra) {
  Words w{extra};
  zeb::RelaxationRecordT& r = zeb::RelaxationRecord();
  r.T1 = w.Next(), r.T2 = w.Next();
  r.d1 = zeb::MakeReal48(w.Next() / 100.0L), r.d2 = zeb::MakeReal48(w.Next() / 100.0L);
  const std::int32_t scale = w.Next();
  for (int k = 0; k < 8; ++k) {
    r.Tau[static_cast<std::size_t>(k)] = w.Next() * (scale % 7 == 0 ? 1000 : 1);
    r.Rx[static_cast<std::size_t>(k)] = zeb::MakeReal48(w.Next() / 100.0L);
  }
  zeb::SG().RelaxationFound = static_cast<zeb::Byte>(w.Next() & 1);
  zeb::SG().RmTableLoaded = static_cast<zeb::Byte>(w.Next() & 1);
  for (std::size_t i = 0; i < zeb::RmTable().Min.size(); ++i) {
    zeb::RmTable().Min[i] = w.Next();
    zeb::RmTable().Max[i] = w.Next();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zeb::fuzz::DrawingRun run = zeb::fuzz::ResetDrawingRun("fuzzdia");
  zeb::ResetDiagramGlobals();

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view bytes = input;
  std::string_view extra;
  if (const std::size_t p = bytes.find("\n#DIAG\n"); p != std::string_view::npos) {
    extra = bytes.substr(p + 7);
    bytes = bytes.substr(0, p + 1);
  }
  zeb::SpringFileRecords records;
  std::string error;
  if (!zeb::ParseSpringFile(bytes, records, error)) return 0;
  zeb::InstallSpringFileRecords(records);
  zeb::RunCalculation();
  zeb::G().FatalErrorFlag = 0;  // draw whatever the calculation left
  FillTables(extra);

  const std::string base = run.dir + "/f";
  zeb::G().CurrentFileName = base;
  const zeb::SpringDataRecord keep = zeb::SpringData();
  const zeb::MaterialRecord keepMaterial = zeb::ZEBWST_Record();
  for (int drawing = 0; drawing <= 32; ++drawing) {
    for (int code : {5, 3}) {
      run.sink->ClearCalls();
      zeb::SpringData() = keep;
      zeb::ZEBWST_Record() = keepMaterial;
      zeb::G().AbortFlag = 0;
      std::remove((base + ".txt").c_str());
      feclearexcept(FE_ALL_EXCEPT);
      feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
      if (drawing <= 29) zeb::ShowDiagram(drawing, code);
      if (drawing == 30) zeb::GoodmanOutput(code);
      if (drawing == 31) zeb::HaighOutput(code);
      if (drawing == 32) zeb::SelectDiagram(14, code);
      fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
      if (code == 5) zeb::fuzz::RequireFiniteListing(base + ".txt", input);
    }
  }
  return 0;
}
