// The value record of the value-table dialog: the lengths L' of the
// characteristic-line recalculation.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "base/types.h"

namespace zeb {

constexpr int kMaxValueTableCount = 6;

struct ValueTableRecord {
  std::int32_t Count = 0;  // 0..6
  std::string Name;        // code page 850
  std::string Unit;
  Real Min = 0, Max = 0;
  std::array<Real, kMaxValueTableCount + 1> Values{};  // 1..Count; index 0 unused
};

ValueTableRecord& ValueTable();

}  // namespace zeb
