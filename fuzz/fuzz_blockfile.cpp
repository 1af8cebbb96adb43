// Block and logo files of arbitrary contents, expanded on the screen: no
// crash, no hang, nothing non-finite reaches the screen, the nesting level
// returns to 0. The input is both the inserted block "FZ" and the logo file
// "LOGO_2", so it may insert itself.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "fuzz_support.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/sink.h"

namespace {

// Checks every value and keeps nothing.
class CheckingSink : public zeb::ScreenSink {
 public:
  void GrafClear() override {}
  void GrafHeader(int, zeb::Real a, zeb::Real b, zeb::Real c, zeb::Real d) override { Check({a, b, c, d}); }
  void GrafClearViewPort() override {}
  void GrafLine(zeb::Real a, zeb::Real b, zeb::Real c, zeb::Real d) override { Check({a, b, c, d}); }
  void GrafCircle(zeb::Real a, zeb::Real b, zeb::Real r) override {
    Check({a, b, r});
    if (!(r > 0)) std::abort();
  }
  void GrafArc(zeb::Real a, zeb::Real b, zeb::Real c, zeb::Real d, zeb::Real r) override {
    Check({a, b, c, d, r});
    if (!(r > 0)) std::abort();
  }
  void GrafOutTextXY(std::string_view text, zeb::Real x, zeb::Real y) override {
    Check({x, y});
    if (text.empty() || text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) std::abort();
  }
  void GrafSolid(zeb::Real a, zeb::Real b, zeb::Real c, zeb::Real d, zeb::Real e, zeb::Real f, zeb::Real g,
                 zeb::Real h) override {
    Check({a, b, c, d, e, f, g, h});
  }
  void GrafSetColorMapped(int) override {}
  void GrafSetLineStyle(int) override {}
  void GrafSetTextStyle(int, zeb::Real a, zeb::Real b, zeb::Real c) override { Check({a, b, c}); }
  void SetLineWidth(int) override {}
  void GrafSetWaitCursor() override {}
  void GrafSetOldCursor() override {}

 private:
  static void Check(std::initializer_list<zeb::Real> values) {
    for (zeb::Real v : values)
      if (!std::isfinite(v)) std::abort();
  }
};

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder scratch("fuzzblk");
  static auto ui = std::make_shared<zeb::BatchUi>(nullptr);
  static auto sink = std::make_shared<CheckingSink>();
  zeb::ResetBaseGlobals();
  zeb::ResetCadState();
  zeb::ResetCadSettings();
  zeb::SetUi(ui);
  zeb::SetScreen(sink);
  zeb::G().TempFolder = scratch.dir;
  zeb::CadSettings().FooterOff = 1;
  Put(scratch.dir + "/$FZ.dx$", data, size);
  Put(scratch.dir + "/$LOGO_2.dx$", data, size);

  zeb::CadBeginOutput(3);
  zeb::CadDrawingHeader(0, 0, 160, 120);
  zeb::CadBeginEntities();  // the logo
  zeb::G().AbortFlag = 0;
  zeb::CadInsertBlock("FZ", 10, 10, 30, 2, 1);
  zeb::G().AbortFlag = 0;
  zeb::CadInsertBlock("FZ", 0, 0, -90, -1, 0.5L);
  if (zeb::Cad().CadBlockLevel != 0) std::abort();
  if (zeb::Cad().CadLayer < 0 || zeb::Cad().CadLayer > 31) std::abort();
  zeb::CadEndSection();
  zeb::CadEndOutput();
  return 0;
}
