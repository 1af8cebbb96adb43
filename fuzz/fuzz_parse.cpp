// Number parsers and formatters on arbitrary text: no crash, results finite,
// formatted texts free of locale characters.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/format.h"
#include "base/globals.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool init = (zeb::ResetBaseGlobals(), true);
  (void)init;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  zeb::Real x = zeb::TextToFloat(text);
  if (!std::isfinite(x)) std::abort();
  zeb::Real y = 0;
  if (zeb::TryTextToFloat(text, y) && !std::isfinite(y)) std::abort();
  (void)zeb::TextToInt(text);
  std::int64_t i = 0;
  (void)zeb::TryTextToInt(text, i);
  for (int unit = 0; unit <= 4; ++unit) {
    zeb::G().UnitSystem = static_cast<std::int16_t>(unit);
    for (const std::string& s : {zeb::FloatToStrSig(x), zeb::FloatToStrAuto(x), zeb::FormatLength(x),
                                 zeb::FormatForce(x), zeb::FormatStress(x), zeb::FormatTemperature(x),
                                 zeb::FormatTolerancePair(x, -x)}) {
      if (s.find(',') != std::string::npos) std::abort();
    }
    (void)zeb::ParseLength(text);
    (void)zeb::ParseTemperature(text);
  }
  zeb::G().UnitSystem = 0;
  return 0;
}
