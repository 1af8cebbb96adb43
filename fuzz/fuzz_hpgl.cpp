// Plot files of arbitrary bytes: the player ends, records only finite
// numbers in well-formed records, and the replay (zoomed too) keeps every
// device coordinate in range.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "graphics/facade.h"
#include "graphics/hpgl.h"

namespace {

class CheckingRenderer : public zeb::Renderer {
 public:
  int PageWidth() const override { return 1024; }
  int PageHeight() const override { return 768; }
  void SetPen(std::uint32_t, int, int width) override {
    if (width < 0 || width > 4000) std::abort();
  }
  void SetBrush(std::uint32_t) override {}
  void SetFont(const zeb::RenderFont& f) override {
    if (f.height < 1 || f.height > 100000 || f.width < 0 || f.width > 100000) std::abort();
  }
  void SetTextColour(std::uint32_t) override {}
  void Line(zeb::DevPoint a, zeb::DevPoint b) override { Check(a), Check(b); }
  void Ellipse(zeb::DevPoint a, zeb::DevPoint b) override { Check(a), Check(b); }
  void Arc(zeb::DevPoint a, zeb::DevPoint b, zeb::DevPoint s, zeb::DevPoint e) override {
    Check(a), Check(b), Check(s), Check(e);
  }
  void Text(zeb::DevPoint p, std::string_view) override { Check(p); }
  void Polygon(const std::vector<zeb::DevPoint>& pts) override {
    for (auto p : pts) Check(p);
  }

 private:
  static void Check(zeb::DevPoint p) {
    if (std::abs(p.x) > (1 << 25) || std::abs(p.y) > (1 << 25)) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto ui = std::make_shared<zeb::BatchUi>(nullptr);
  zeb::ResetBaseGlobals();
  zeb::SetUi(ui);
  zeb::G().ScreenHeight = 480;
  zeb::InstallGraphicsFacade();
  zeb::GraphicsFacade& f = zeb::Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  zeb::PlayHpglBytes(f, std::string_view(reinterpret_cast<const char*>(data), size));
  if (zeb::G().AbortFlag != 0) std::abort();
  for (const std::string& rec : f.Window().DisplayList()) {
    if (rec.rfind("6;", 0) == 0) continue;
    if (rec.find("nan") != std::string::npos || rec.find("inf") != std::string::npos) std::abort();
  }
  CheckingRenderer r;
  f.Window().Replay(&r, nullptr);
  for (int i = 0; i < 25; ++i) f.Window().ProcessKey(zeb::kKeyAdd);
  f.Window().Replay(&r, nullptr);
  return 0;
}
