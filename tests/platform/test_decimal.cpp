// Plain decimals read to the same bits as the general conversion.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "platform/decimal.h"

namespace zeb {
namespace {

double General(const std::string& s) {
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

bool Plain(const std::string& s, double& v) { return PlainDecimal(s.data(), s.data() + s.size(), v); }

TEST(PlainDecimalTest, SameBitsAsTheGeneralConversion) {
  std::mt19937_64 random(20261207);
  char buf[64];
  int read = 0;
  for (int i = 0; i < 200000; ++i) {
    // Values as the drawing lists and tables write them: 1 to 15 digits.
    const double x = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 60) - 70);
    const int digits = 1 + static_cast<int>(random() % 15);
    std::snprintf(buf, sizeof buf, "%.*g", digits, (random() & 1) ? -x : x);
    const std::string s = buf;
    double v = 0;
    if (!Plain(s, v)) continue;
    ++read;
    const double g = General(s);
    ASSERT_EQ(std::memcmp(&v, &g, sizeof v), 0) << s;
  }
  EXPECT_GT(read, 100000);
  // Halfway cases between neighbouring doubles and the largest exact powers.
  for (const char* s : {"0.1", "0.3", "2.675", "1.00000000000002", "999999999999999", "0.00000000000001",
                        "-0", "-0.0", "123456.789012345", "9007199254740.99"}) {
    double v = 0;
    ASSERT_TRUE(Plain(s, v)) << s;
    const double g = General(s);
    EXPECT_EQ(std::memcmp(&v, &g, sizeof v), 0) << s;
  }
}

// Everything else is left to the general conversion.
TEST(PlainDecimalTest, OtherTextsAreLeftAlone) {
  for (const char* s : {"", "-", ".", "5.", ".5", "+1", "1e5", "1.5E-3", "1 ", " 1", "1,5", "1.2.3", "--1",
                        "1234567890123456", "0.1234567890123456", "inf", "nan", "12a"}) {
    double v = 42;
    EXPECT_FALSE(Plain(s, v)) << s;
    EXPECT_EQ(v, 42) << s;
  }
}

}  // namespace
}  // namespace zeb
