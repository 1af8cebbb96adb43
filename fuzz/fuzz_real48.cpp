// Any 6 bytes decode to a finite value; re-encoding a decoded value gives
// the same bytes (the exponent byte 0 stands for zero).
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/real48.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t off = 0; off + 6 <= size; off += 6) {
    zeb::Real48 r{};
    for (int k = 0; k < 6; ++k) r[k] = data[off + k];
    long double x = zeb::Real48ToReal(r);
    if (!std::isfinite(x)) std::abort();
    zeb::Real48 back{};
    if (!zeb::RealToReal48(x, back)) std::abort();
    if (r[0] == 0) {
      if (x != 0.0L) std::abort();
    } else if (back != r) {
      std::abort();
    }
  }
  return 0;
}
