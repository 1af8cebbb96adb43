#include "spring/wirestd.h"

#include <array>

#include "base/globals.h"
#include "base/messages.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr std::array<Real, 87> kDin2076{
    0.07L, 0.08L, 0.09L, 0.1L,  0.11L, 0.12L, 0.14L, 0.16L, 0.18L, 0.2L,  0.22L, 0.25L, 0.28L, 0.3L,
    0.32L, 0.34L, 0.36L, 0.38L, 0.4L,  0.43L, 0.45L, 0.48L, 0.5L,  0.53L, 0.56L, 0.6L,  0.63L, 0.65L,
    0.7L,  0.75L, 0.8L,  0.85L, 0.9L,  0.95L, 1.0L,  1.05L, 1.1L,  1.2L,  1.25L, 1.3L,  1.4L,  1.5L,
    1.6L,  1.7L,  1.8L,  1.9L,  2.0L,  2.1L,  2.25L, 2.4L,  2.5L,  2.6L,  2.8L,  3.0L,  3.2L,  3.4L,
    3.6L,  3.8L,  4.0L,  4.25L, 4.5L,  4.75L, 5.0L,  5.3L,  5.6L,  6.0L,  6.3L,  6.5L,  7.0L,  7.5L,
    8.0L,  8.5L,  9.0L,  9.5L,  10.0L, 10.5L, 11.0L, 12.0L, 12.5L, 13.0L, 14.0L, 15.0L, 16.0L, 17.0L,
    18.0L, 19.0L, 20.0L};

// 7.0 .. 30.0 by 0.5, 31 .. 40 by 1, 42 .. 60 by 2, then 65, 70, 75, 80.
constexpr std::array<Real, 71> MakeDin2077() {
  std::array<Real, 71> t{};
  int i = 0;
  for (int k = 0; k <= 46; ++k) t[i++] = 7.0L + 0.5L * k;
  for (int v = 31; v <= 40; ++v) t[i++] = v;
  for (int v = 42; v <= 60; v += 2) t[i++] = v;
  for (int v = 65; v <= 80; v += 5) t[i++] = v;
  return t;
}
constexpr std::array<Real, 71> kDin2077 = MakeDin2077();

}  // namespace

std::span<const Real> StandardWireDiameters(int kind) {
  if (kind == 3) return kDin2077;
  return kDin2076;
}

Real StandardWireDiameter(int kind, int step, Real d) {
  const bool din2077 = (kind == 3);
  const std::span<const Real> table = StandardWireDiameters(kind);
  const int last = static_cast<int>(table.size()) - 1;
  int i = 0;
  while (i <= last && table[i] < d) ++i;
  if (i > last) {
    if (SpringData().WarningsOn == 1) {
      AddErrorMessage(din2077 ? "Drahtdurchmesser nicht nach DIN 2077 !"
                              : "Drahtdurchmesser nicht nach DIN 2076 !");
    }
    return d;
  }
  if (!din2077 && G().AbortFlag != 0) return d;
  if (step == kWireStepDown) return table[i > 0 ? i - 1 : 0];
  if (step == kWireStepUp) return table[i < last ? i + 1 : last];
  return table[i];
}

}  // namespace zeb
