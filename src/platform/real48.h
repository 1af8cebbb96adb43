// The 6-byte real of stored files: byte 0 biased exponent (129 = 2^0),
// bytes 1..5 mantissa little endian, sign in bit 7 of byte 5, hidden 1.
#pragma once
#include <array>
#include <cstdint>

namespace zeb {

using Real48 = std::array<std::uint8_t, 6>;

// Exact; exponent byte 0 gives 0. Any 6 bytes decode finite.
long double Real48ToReal(const Real48& r);
// Rounds to nearest, ties to even; underflow gives 0. False (r unchanged)
// for overflow, infinity and NaN.
bool RealToReal48(long double x, Real48& r);

}  // namespace zeb
