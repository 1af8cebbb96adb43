// The material record's fast 6-byte-real conversion gives exactly what the
// platform converter gives.
#include <gtest/gtest.h>

#include <random>

#include "platform/real48.h"
#include "spring/material.h"

namespace zeb {
namespace {

TEST(MaterialReal, EqualsThePlatformConversionBitForBit) {
  std::mt19937_64 rng(48);
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t bits = rng();
    Real48 r{};
    for (int k = 0; k < 6; ++k) r[k] = static_cast<std::uint8_t>(bits >> (8 * k));
    if (i % 7 == 0) r[0] = 0;  // zero exponent: the value is 0
    const Real fast = MaterialReal(r);
    const Real slow = Real48ToReal(r);
    ASSERT_EQ(fast, slow) << "bytes " << std::hex << (bits & 0xFFFFFFFFFFFFULL);
  }
}

}  // namespace
}  // namespace zeb
