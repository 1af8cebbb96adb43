#include "platform/real48.h"

#include <cmath>

namespace zeb {

namespace {
constexpr int kBias = 129;
constexpr int kFractionBits = 39;
}  // namespace

long double Real48ToReal(const Real48& r) {
  if (r[0] == 0) return 0.0L;
  std::uint64_t f = static_cast<std::uint64_t>(r[5] & 0x7F) << 32;
  for (int k = 4; k >= 1; --k) f |= static_cast<std::uint64_t>(r[k]) << (8 * (k - 1));
  // 1.f fits the 64-bit significand of long double: exact.
  long double m = 1.0L + std::ldexp(static_cast<long double>(f), -kFractionBits);
  long double v = std::ldexp(m, r[0] - kBias);
  return (r[5] & 0x80) ? -v : v;
}

bool RealToReal48(long double x, Real48& r) {
  if (!std::isfinite(x)) return false;
  if (x == 0.0L) {
    r = Real48{};
    return true;
  }
  bool negative = std::signbit(x);
  int e2 = 0;
  long double fr = std::frexp(std::fabs(x), &e2);  // |x| = fr * 2^e2, fr in [0.5, 1)
  // Fraction bits of 1.f as a whole number plus a remainder in [0, 1), exact.
  long double scaled = std::ldexp(fr * 2.0L - 1.0L, kFractionBits);
  long double whole = std::floor(scaled);
  long double rest = scaled - whole;
  std::uint64_t f = static_cast<std::uint64_t>(whole);
  if (rest > 0.5L || (rest == 0.5L && (f & 1))) ++f;
  int exponent = e2 - 1 + kBias;
  if (f >> kFractionBits) {  // rounded up to 2.0
    f = 0;
    ++exponent;
  }
  if (exponent > 255) return false;
  if (exponent < 1) {
    r = Real48{};
    return true;
  }
  Real48 out{};
  out[0] = static_cast<std::uint8_t>(exponent);
  for (int k = 1; k <= 4; ++k) out[k] = static_cast<std::uint8_t>(f >> (8 * (k - 1)));
  out[5] = static_cast<std::uint8_t>((f >> 32) & 0x7F) | (negative ? 0x80 : 0x00);
  r = out;
  return true;
}

}  // namespace zeb
