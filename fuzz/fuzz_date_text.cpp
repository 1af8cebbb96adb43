// The date-text rule and date fields from text in all nine date formats:
// any text gives a valid date or the blank date, never a crash.
#include <cmath>
#include <cstdint>
#include <string>

#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dataset/dataset_base.h"
#include "xbase/dataset/field_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zeb::xbase;
  if (size < 1) return 0;
  ResetTzEngine();
  SetTzExitHandler([](int) {});
  SetDateFormat(data[0] % 9);
  SetCentury((data[0] & 0x10) != 0);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  for (bool strict : {false, true}) {
    double dt = 0;
    try {
      dt = DateTextToDateTime(text, strict);
    } catch (const EDatasetError&) {
      continue;
    }
    if (!std::isfinite(dt)) __builtin_trap();
    if (dt != 0) {
      int y = 0, m = 0, d = 0;
      if (!DateTimeToYmd(dt, y, m, d)) __builtin_trap();
      const std::string back = DateTimeToText(dt);
      if (back.size() > 10) __builtin_trap();
    }
  }
  return 0;
}
