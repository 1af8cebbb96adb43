// The test mode ZEB1_ULP_SHIFT=up|down ./test.sh: every long-double function
// of libm that the program calls returns its neighbour, in the tests and in
// the program's own routines; without the mode, libm's own values.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "base/mathx.h"

namespace zeb {
namespace {

int Direction() {
  const char* s = std::getenv("ZEB1_ULP_SHIFT");
  if (s == nullptr || *s == '\0') return 0;
  return std::string(s) == "up" ? 1 : std::string(s) == "down" ? -1 : 99;
}

template <class F>
F Libm(const char* name) {
  static void* libm = ::dlopen("libm.so.6", RTLD_LAZY | RTLD_NOLOAD);
  return libm == nullptr ? nullptr : reinterpret_cast<F>(::dlsym(libm, name));
}

// What a call returns in this mode, given libm's value.
long double Expected(long double v) {
  const int d = Direction();
  return d == 0 ? v : nextafterl(v, d > 0 ? HUGE_VALL : -HUGE_VALL);
}

using Unary = long double (*)(long double);
using Binary = long double (*)(long double, long double);

TEST(UlpShiftTest, EveryLongDoubleFunctionOfTheProgramInThisMode) {
  ASSERT_NE(Direction(), 99) << "ZEB1_ULP_SHIFT is up or down";
  volatile long double x = 0.3L, y = 1.7L;  // volatile: no folding at compile time
  const std::pair<const char*, Unary> unary[] = {{"sinl", &sinl}, {"cosl", &cosl},   {"tanl", &tanl},
                                                 {"atanl", &atanl}, {"logl", &logl}, {"log10l", &log10l},
                                                 {"expl", &expl}};
  for (const auto& [name, f] : unary) {
    const Unary own = Libm<Unary>(name);
    ASSERT_NE(own, nullptr) << name;
    EXPECT_EQ(f(x), Expected(own(x))) << name;
  }
  const std::pair<const char*, Binary> binary[] = {{"atan2l", &atan2l}, {"powl", &powl}, {"hypotl", &hypotl}};
  for (const auto& [name, f] : binary) {
    const Binary own = Libm<Binary>(name);
    ASSERT_NE(own, nullptr) << name;
    EXPECT_EQ(f(x, y), Expected(own(x, y))) << name;
  }
  using SinCos = void (*)(long double, long double*, long double*);
  const SinCos own = Libm<SinCos>("sincosl");
  ASSERT_NE(own, nullptr);
  long double s = 0, c = 0, s0 = 0, c0 = 0;
  sincosl(x, &s, &c);
  own(x, &s0, &c0);
  EXPECT_EQ(s, Expected(s0));
  EXPECT_EQ(c, Expected(c0));

  // The program's routines reach the same functions.
  EXPECT_EQ(TanExt(x), Expected(Libm<Unary>("tanl")(x)));
  EXPECT_EQ(Pow10Ext(x), Expected(Libm<Binary>("powl")(10, x)));
  EXPECT_EQ(ArcTanXY(y, x), Expected(Libm<Unary>("atanl")(x / y)));
}

}  // namespace
}  // namespace zeb
