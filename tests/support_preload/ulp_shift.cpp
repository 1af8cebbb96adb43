// Preloaded into the tests (and the programs they start) to move every
// extended-precision transcendental result one unit in the last place:
// ZEB1_ULP_SHIFT=up or down. The x87 instructions behind these functions
// may differ in the last bit between processor makes; a golden comparison
// that passes in both directions does not depend on that bit.
//
// These are every long double function of libm the program and the tests
// import (nm -D). No <cmath> here: its declarations would clash with the
// definitions below.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" long double nextafterl(long double, long double) noexcept;

namespace {

int Direction() {
  static const int direction = [] {
    const char* s = std::getenv("ZEB1_ULP_SHIFT");
    if (s != nullptr && std::strcmp(s, "up") == 0) return 1;
    if (s != nullptr && std::strcmp(s, "down") == 0) return -1;
    return 0;
  }();
  return direction;
}

long double Shift(long double x) {
  if (x != x || x - x != 0) return x;  // NaN and infinity stay
  const int d = Direction();
  return d == 0 ? x : nextafterl(x, d > 0 ? __builtin_infl() : -__builtin_infl());
}

template <class F>
F Next(const char* name) {
  void* f = ::dlsym(RTLD_NEXT, name);
  if (f == nullptr) {
    std::fprintf(stderr, "ulp_shift: no %s\n", name);
    std::abort();
  }
  return reinterpret_cast<F>(f);
}

using Unary = long double (*)(long double);
using Binary = long double (*)(long double, long double);

}  // namespace

#define ZEB1_SHIFT_UNARY(name)                                \
  extern "C" long double name(long double x) {                \
    static const Unary f = Next<Unary>(#name);                \
    return Shift(f(x));                                       \
  }
#define ZEB1_SHIFT_BINARY(name)                               \
  extern "C" long double name(long double x, long double y) { \
    static const Binary f = Next<Binary>(#name);              \
    return Shift(f(x, y));                                    \
  }

ZEB1_SHIFT_UNARY(sinl)
ZEB1_SHIFT_UNARY(cosl)
ZEB1_SHIFT_UNARY(tanl)
ZEB1_SHIFT_UNARY(atanl)
ZEB1_SHIFT_UNARY(logl)
ZEB1_SHIFT_UNARY(log10l)
ZEB1_SHIFT_UNARY(expl)
ZEB1_SHIFT_BINARY(atan2l)
ZEB1_SHIFT_BINARY(powl)
ZEB1_SHIFT_BINARY(hypotl)

extern "C" void sincosl(long double x, long double* s, long double* c) {
  using SinCos = void (*)(long double, long double*, long double*);
  static const SinCos f = Next<SinCos>("sincosl");
  f(x, s, c);
  *s = Shift(*s);
  *c = Shift(*c);
}
