#include "platform/decimal.h"

#include <cstdint>

namespace zeb {

bool PlainDecimal(const char* b, const char* e, double& x) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = b < e && *b == '-';
  if (negative) ++b;
  std::uint64_t digits = 0;
  int count = 0, decimals = 0;
  bool point = false;
  for (const char* p = b; p < e; ++p) {
    if (*p >= '0' && *p <= '9') {
      digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
      ++count;
      if (point) ++decimals;
    } else if (*p == '.' && !point && p > b && p + 1 < e) {
      point = true;
    } else {
      return false;
    }
  }
  if (count == 0 || count > 15) return false;
  x = static_cast<double>(digits) / kPow10[decimals];
  if (negative) x = -x;
  return true;
}

}  // namespace zeb
