// Plot files that try to outgrow the player's bounds: the input's first
// byte says how often the rest is repeated (up to 30,000 times, 2 MB), so
// that a short input reaches thousands of elements. The display list never holds
// more lines, circles, arcs or labels than the bounds allow, no label is
// longer than its bound, and the notice of a cut picture stands last exactly
// when the player says it cut the picture.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "graphics/facade.h"
#include "graphics/hpgl.h"
#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static auto ui = std::make_shared<zeb::BatchUi>(nullptr);
  zeb::ResetBaseGlobals();
  zeb::ResetHpglState();
  zeb::SetUi(ui);
  zeb::InstallGraphicsFacade();
  zeb::GraphicsFacade& f = zeb::Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  const std::string_view unit(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t times = std::min<std::size_t>(1 + std::size_t{data[0]} * 120, 30000);
  std::string bytes;
  bytes.reserve(std::min<std::size_t>(unit.size() * times, 2u << 20));
  for (std::size_t k = 0; k < times && bytes.size() < (2u << 20); ++k) bytes.append(unit);

  const bool cut = zeb::PlayHpglBytes(f, bytes);
  if (zeb::G().AbortFlag != 0) std::abort();
  const std::string notice = "6;2;2;" + zeb::Cp850To1252(zeb::kHpglCutNotice);
  int lines = 0, curves = 0, labels = 0;
  const auto& list = f.Window().DisplayList();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string& rec = list[i];
    if (rec.rfind("4;", 0) == 0) ++lines;
    if (rec.rfind("3;", 0) == 0 || rec.rfind("5;", 0) == 0) ++curves;
    if (rec.rfind("6;", 0) == 0) {
      if (cut && i + 1 == list.size()) {
        if (rec != notice) std::abort();
        continue;
      }
      ++labels;
      // "6;x;y;" before the text: the text is what follows the third ";".
      std::size_t p = 0;
      for (int k = 0; k < 3 && p != std::string::npos; ++k) p = rec.find(';', p + 1);
      if (p == std::string::npos || rec.size() - p - 1 > zeb::kHpglMaxLabelLength) std::abort();
    }
  }
  if (curves > zeb::kHpglMaxCurves || labels > zeb::kHpglMaxLabels) std::abort();
  if (lines + curves + labels > zeb::kHpglMaxElements) std::abort();
  if (cut != (!list.empty() && list.back() == notice)) std::abort();
  return 0;
}
