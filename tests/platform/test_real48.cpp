#include "platform/real48.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace zeb {
namespace {

Real48 Encode(long double x) {
  Real48 r{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_TRUE(RealToReal48(x, r)) << static_cast<double>(x);
  return r;
}

TEST(Real48, KnownBytes) {
  EXPECT_EQ(Encode(1.0L), (Real48{0x81, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Encode(7.8L), (Real48{0x83, 0x9a, 0x99, 0x99, 0x99, 0x79}));
  EXPECT_EQ(Encode(7.85L), (Real48{0x83, 0x33, 0x33, 0x33, 0x33, 0x7b}));
  EXPECT_EQ(Encode(-1.5L), (Real48{0x81, 0, 0, 0, 0, 0xc0}));
  EXPECT_EQ(Encode(0.0L), (Real48{}));
  EXPECT_EQ(Encode(-0.0L), (Real48{}));
  EXPECT_EQ(Real48ToReal(Real48{0x81, 0, 0, 0, 0, 0}), 1.0L);
  EXPECT_EQ(Real48ToReal(Real48{0x81, 0, 0, 0, 0, 0xc0}), -1.5L);
  EXPECT_EQ(Real48ToReal(Real48{}), 0.0L);
  // Exponent byte 0 is zero whatever the other bytes hold.
  EXPECT_EQ(Real48ToReal(Real48{0, 0xff, 0xff, 0xff, 0xff, 0xff}), 0.0L);
}

TEST(Real48, RoundsToNearestTiesToEven) {
  const long double ulp = std::ldexp(1.0L, -39);  // of values in [1, 2)
  EXPECT_EQ(Encode(1.0L + ulp / 2), (Real48{0x81, 0, 0, 0, 0, 0}));         // tie, even down
  EXPECT_EQ(Encode(1.0L + 3 * ulp / 2), (Real48{0x81, 2, 0, 0, 0, 0}));     // tie, even up
  EXPECT_EQ(Encode(1.0L + ulp / 2 + ulp / 1024), (Real48{0x81, 1, 0, 0, 0, 0}));
  EXPECT_EQ(Encode(2.0L - ulp / 4), (Real48{0x82, 0, 0, 0, 0, 0}));         // carries into the exponent
}

TEST(Real48, RangeLimits) {
  const Real48 maxBytes{0xff, 0xff, 0xff, 0xff, 0xff, 0x7f};
  long double max = Real48ToReal(maxBytes);
  EXPECT_EQ(max, std::ldexp(1.0L, 127) - std::ldexp(1.0L, 87));
  EXPECT_EQ(Encode(max), maxBytes);
  EXPECT_EQ(Encode(std::ldexp(1.0L, -128)), (Real48{1, 0, 0, 0, 0, 0}));  // smallest
  EXPECT_EQ(Encode(1e-40L), Real48{});                                    // underflow
  EXPECT_EQ(Encode(-1e-300L), Real48{});

  const Real48 before{1, 2, 3, 4, 5, 6};
  for (long double bad : {1e39L, -1e39L, std::ldexp(1.0L, 127), std::ldexp(1.0L, 127) - std::ldexp(1.0L, 86),
                          std::numeric_limits<long double>::infinity(),
                          -std::numeric_limits<long double>::infinity(),
                          std::numeric_limits<long double>::quiet_NaN(), 1e3000L}) {
    Real48 r = before;
    EXPECT_FALSE(RealToReal48(bad, r)) << static_cast<double>(bad);
    EXPECT_EQ(r, before);
  }
}

TEST(Real48, DecodeEncodeIdentityOnRandomBytes) {
  std::mt19937_64 gen(48);
  int mismatches = 0;
  for (int i = 0; i < 1000000; ++i) {
    std::uint64_t v = gen();
    Real48 r;
    for (int k = 0; k < 6; ++k) r[k] = static_cast<std::uint8_t>(v >> (8 * k));
    long double x = Real48ToReal(r);
    ASSERT_TRUE(std::isfinite(x));
    if (r[0] == 0) {
      EXPECT_EQ(x, 0.0L);
      continue;
    }
    Real48 back{};
    if (!RealToReal48(x, back) || back != r) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace zeb
