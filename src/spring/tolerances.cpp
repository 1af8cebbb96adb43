#include "spring/tolerances.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "base/mathx.h"
#include "base/messages.h"
#include "spring/calc_common.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

using namespace calc_common;

// Grade factor Q of EN 15800.
Real GradeFactor(int grade) {
  switch (grade) {
    case 1: return 0.63L;
    case 2: return 1.0L;
    case 3: return 1.6L;
    default: return 0;
  }
}

// Coil diameter deviations of EN 15800: rows by Dm (each up to and
// including its bound), per grade the columns w <= 8, 8 < w <= 14, w > 14.
constexpr std::array<Real, 16> kDmBounds{1,  1.6L, 2.5L, 4,  6.3L, 10,  16,  25,
                                         31.5L, 40, 50,   63, 80,   100, 125, 160};
constexpr Real kDmTable[17][3][3] = {
    {{0.05L, 0.07L, 0.10L}, {0.07L, 0.10L, 0.15L}, {0.10L, 0.15L, 0.20L}},
    {{0.05L, 0.07L, 0.10L}, {0.08L, 0.10L, 0.15L}, {0.15L, 0.20L, 0.30L}},
    {{0.07L, 0.10L, 0.15L}, {0.10L, 0.15L, 0.20L}, {0.20L, 0.30L, 0.40L}},
    {{0.10L, 0.10L, 0.15L}, {0.15L, 0.20L, 0.25L}, {0.30L, 0.40L, 0.50L}},
    {{0.10L, 0.15L, 0.20L}, {0.20L, 0.25L, 0.30L}, {0.40L, 0.50L, 0.60L}},
    {{0.15L, 0.15L, 0.20L}, {0.25L, 0.30L, 0.35L}, {0.50L, 0.60L, 0.70L}},
    {{0.15L, 0.20L, 0.25L}, {0.30L, 0.35L, 0.40L}, {0.60L, 0.70L, 0.80L}},
    {{0.20L, 0.25L, 0.30L}, {0.35L, 0.45L, 0.50L}, {0.70L, 0.90L, 1.00L}},
    {{0.25L, 0.30L, 0.35L}, {0.40L, 0.50L, 0.60L}, {0.80L, 1.00L, 1.20L}},
    {{0.25L, 0.30L, 0.35L}, {0.50L, 0.60L, 0.70L}, {1.00L, 1.20L, 1.50L}},
    {{0.30L, 0.40L, 0.50L}, {0.60L, 0.80L, 0.90L}, {1.20L, 1.50L, 1.80L}},
    {{0.40L, 0.50L, 0.60L}, {0.80L, 1.00L, 1.10L}, {1.50L, 2.00L, 2.30L}},
    {{0.50L, 0.70L, 0.80L}, {1.00L, 1.20L, 1.40L}, {1.80L, 2.40L, 2.80L}},
    {{0.60L, 0.80L, 0.90L}, {1.20L, 1.50L, 1.70L}, {2.30L, 3.00L, 3.50L}},
    {{0.70L, 1.00L, 1.10L}, {1.40L, 1.90L, 2.20L}, {2.80L, 3.70L, 4.40L}},
    {{0.90L, 1.20L, 1.40L}, {1.80L, 2.30L, 2.70L}, {3.50L, 4.60L, 5.40L}},
    {{1.20L, 1.50L, 1.70L}, {2.10L, 2.90L, 3.30L}, {4.20L, 5.70L, 6.60L}},
};

// DIN 2096 coil diameter deviations: rows by D, columns w <= 8 and w > 8
// for De or Dm given, then the same for Di given.
constexpr std::array<Real, 9> kDin2096Bounds{50, 65, 80, 100, 125, 160, 200, 250, 300};
constexpr Real kDin2096Table[10][4] = {
    {0.8L, 1.2L, 0.6L, 0.8L}, {1.0L, 1.5L, 0.7L, 1.0L}, {1.2L, 1.8L, 0.8L, 1.2L},
    {1.5L, 2.3L, 1.0L, 1.5L}, {1.7L, 2.6L, 1.1L, 1.7L}, {2.0L, 3.0L, 1.3L, 2.0L},
    {2.2L, 3.3L, 1.5L, 2.2L}, {2.6L, 3.9L, 1.8L, 2.6L}, {3.1L, 4.6L, 2.1L, 3.1L},
    {4.0L, 5.5L, 2.5L, 4.0L},
};

// Index of the first bound not below x; the row past the last bound when
// x exceeds them all.
template <std::size_t N>
std::size_t RowUpTo(const std::array<Real, N>& bounds, Real x) {
  std::size_t i = 0;
  while (i < N && x > bounds[i]) ++i;
  return i;
}

// Wire tolerance tables. Each value holds from d = 0 or from its bound;
// "from" bounds include d = bound, "above" bounds exclude it.
constexpr Real kError = -1;    // 0 and the table's message
constexpr Real kPercent = -2;  // 0.01 * d

struct Step {
  Real bound;
  bool from;
  Real value;
};

struct WireTable {
  Real first;
  std::vector<Step> steps;
  const char* error;
};

Real LookUp(const WireTable& t, Real d) {
  Real v = t.first;
  for (const Step& s : t.steps) {
    if (s.from ? d >= s.bound : d > s.bound) {
      v = s.value;
    } else {
      break;
    }
  }
  if (v == kError) {
    AddErrorMessage(t.error);
    return 0;
  }
  if (v == kPercent) return 0.01L * d;
  return v;
}

constexpr bool A = false;  // above the bound
constexpr bool F = true;   // from the bound

const WireTable* TableOf(int code) {
  static const WireTable t1{
      0.015L,
      {{0.48L, A, 0.02L}, {0.8L, A, 0.025L}, {1.4L, A, 0.035L}, {3.2L, A, 0.045L}, {5.6L, A, 0.06L},
       {8.5L, A, 0.07L}, {10, A, 0.09L}, {15, A, 0.12L}, {17, A, 0.15L}},
      ""};
  static const WireTable t2{
      0.004L,
      {{0.18L, A, 0.008L}, {0.34L, A, 0.01L}, {0.8L, A, 0.015L}, {1.4L, A, 0.02L}, {3.2L, A, 0.025L},
       {5.6L, A, 0.035L}, {8.5L, A, 0.05L}, {10, A, 0.07L}, {15, A, 0.08L}, {17, A, 0.1L}},
      ""};
  static const WireTable t3{
      0.15L,
      {{11.5L, A, 0.2L}, {21.5L, A, 0.25L}, {30, A, 0.3L}, {39, A, 0.4L}, {50, A, 0.5L},
       {65, A, kPercent}},
      ""};
  static const WireTable t4{
      kError,
      {{0.3L, F, 0.025L}, {0.52L, F, 0.03L}, {0.74L, F, 0.035L}, {1.01L, F, 0.04L}, {1.31L, F, 0.045L},
       {1.66L, F, 0.05L}, {2.05L, F, 0.06L}, {2.94L, F, 0.07L}, {4.01L, F, 0.08L}, {5.23L, F, 0.09L},
       {6.62L, F, 0.1L}, {8.17L, F, 0.12L}, {11.76L, F, 0.14L}, {16.01L, F, 0.16L}, {20.9L, F, 0.18L},
       {25, A, kError}},
      "Fehler : EN10218-2,T1: 0.3 < d < 25.0 !"};
  static const WireTable t5{
      kError,
      {{0.2L, F, 0.015L}, {0.31L, F, 0.02L}, {0.55L, F, 0.025L}, {0.86L, F, 0.03L}, {1.24L, F, 0.035L},
       {1.69L, F, 0.04L}, {2.2L, F, 0.045L}, {2.78L, F, 0.05L}, {3.43L, F, 0.06L}, {4.94L, F, 0.07L},
       {6.73L, F, 0.08L}, {8.78L, F, 0.09L}, {11.12L, F, 0.1L}, {13.72L, F, 0.12L}, {19.76L, F, 0.14L},
       {25, A, kError}},
      "Fehler : EN10218-2,T2: 0.2 < d < 25.0 !"};
  static const WireTable t6{
      kError,
      {{0.05L, F, 0.006L}, {0.12L, F, 0.008L}, {0.15L, F, 0.01L},  {0.23L, F, 0.012L},
       {0.33L, F, 0.015L}, {0.52L, F, 0.02L},  {0.91L, F, 0.025L}, {1.42L, F, 0.03L},
       {2.05L, F, 0.035L}, {2.78L, F, 0.04L},  {3.63L, F, 0.045L}, {4.6L, F, 0.05L},
       {5.67L, F, 0.06L},  {8.17L, F, 0.07L},  {11.12L, F, 0.08L}, {14.52L, F, 0.09L},
       {18.37L, F, 0.1L},  {22.68L, F, 0.12L}, {25, A, kError}},
      "Fehler : EN10218-3,T2: 0.05 < d < 25.0 !"};
  static const WireTable t7{
      kError,
      {{0.05L, F, 0.004L}, {0.072L, F, 0.005L}, {0.12L, F, 0.006L}, {0.17L, F, 0.008L},
       {0.29L, F, 0.01L},  {0.45L, F, 0.012L},  {0.65L, F, 0.015L}, {1.01L, F, 0.02L},
       {1.78L, F, 0.025L}, {2.78L, F, 0.03L},   {4.01L, F, 0.035L}, {5.45L, F, 0.04L},
       {7.12L, F, 0.045L}, {9.01L, F, 0.05L},   {11.12L, F, 0.06L}, {16.01L, F, 0.07L},
       {21.77L, F, 0.08L}, {25, A, kError}},
      "Fehler : EN10218-3,T4: 0.05 < d < 25.0 !"};
  static const WireTable t8{
      kError,
      {{0.05L, F, 0.003L}, {0.091L, F, 0.004L}, {0.17L, F, 0.005L}, {0.26L, F, 0.006L},
       {0.37L, F, 0.008L}, {0.65L, F, 0.01L},   {1.01L, F, 0.012L}, {1.45L, F, 0.015L},
       {2.26L, F, 0.02L},  {4.01L, F, 0.025L},  {6.26L, F, 0.03L},  {9.01L, F, 0.035L},
       {12.26L, F, 0.04L}, {16.01L, F, 0.045L}, {20.26L, F, 0.05L}, {25, A, kError}},
      "Fehler : EN10218-3,T2: 0.05 < d < 25.0 !"};
  static const WireTable t11{
      0.005L,
      {{0.26L, F, 0.008L}, {0.65L, F, 0.01L}, {1.01L, F, 0.015L}, {2.26L, F, 0.02L}, {4.01L, F, 0.025L},
       {6.26L, F, 0.03L}, {9.01L, F, 0.035L}, {10.01L, F, kError}},
      "Fehler : EN10270-3: d < 10.0 !"};
  static const WireTable t12{
      0.01L,
      {{0.25L, A, 0.015L}, {0.64L, A, 0.02L}, {1, A, 0.025L}, {2.25L, A, 0.03L}, {4, A, 0.035L},
       {6.25L, A, 0.04L}, {9, A, 0.045L}, {10, A, kError}},
      "Fehler : T12 - EN10270-3: d < 10.0 !"};
  static const WireTable t13{
      0.008L,
      {{0.25L, A, 0.01L}, {0.64L, A, 0.015L}, {1, A, 0.02L}, {2.25L, A, 0.025L}, {4, A, 0.03L},
       {6.25L, A, 0.035L}, {9, A, 0.04L}, {10, A, kError}},
      "Fehler : T13 - EN10270-3: d < 10.0 !"};
  static const WireTable t14{
      0.005L,
      {{0.25L, A, 0.008L}, {0.64L, A, 0.01L}, {1, A, 0.015L}, {2.25L, A, 0.02L}, {4, A, 0.025L},
       {6.25L, A, 0.03L}, {9, A, 0.035L}, {10, A, kError}},
      "Fehler : T14 - EN10270-3: d < 10.0 !"};
  static const WireTable t15{
      0.004L,
      {{0.25L, A, 0.005L}, {0.64L, A, 0.008L}, {1, A, 0.01L}, {2.25L, A, 0.015L}, {4, A, 0.02L},
       {6.25L, A, 0.025L}, {9, A, 0.03L}, {10, A, kError}},
      "Fehler : T15 - EN10270-3: d < 10.0 !"};
  static const WireTable t17{
      0.005L,
      {{0.25L, A, 0.008L}, {0.5L, A, 0.012L}, {1, A, 0.02L}, {2, A, 0.03L}, {4, A, 0.04L},
       {6, A, 0.06L}, {10, A, 0.08L}, {20, A, kError}},
      "Fehler : EN 12166 - A: d < 20 !"};
  switch (code) {
    case 1: return &t1;
    case 2: return &t2;
    case 3: return &t3;
    case 4: return &t4;
    case 5: return &t5;
    case 6: return &t6;
    case 7: return &t7;
    case 8: return &t8;
    case 11: return &t11;
    case 12: return &t12;
    case 13: return &t13;
    case 14: return &t14;
    case 15: return &t15;
    case 17: return &t17;
    default: return nullptr;
  }
}

}  // namespace

Real CoilDiameterTolerance(int grade, int selector, Real De, Real Di, Real Dm, Real w) {
  if (En15800Grade(grade)) {
    const int col = (w <= 8) ? 0 : (w <= 14) ? 1 : 2;
    return kDmTable[RowUpTo(kDmBounds, Dm)][grade - 1][col];
  }
  if (grade == 4) {
    const Real D = (selector == 1) ? De : (selector == 2) ? Di : Dm;
    const int col = ((w <= 8) ? 0 : 1) + ((selector == 2) ? 2 : 0);
    return kDin2096Table[RowUpTo(kDin2096Bounds, D)][col];
  }
  return 0;
}

bool En15800Grade(int grade) { return grade >= 1 && grade <= 3; }

Real ForceToleranceFactor(Real d, Real Dm) {
  if (Dm == 0 || d == 0) return 0;
  const Real x = Dm / d / 10;
  const Real poly = -0.84L * IntPowerExt(3, x) + 3.781L * x * x - 4.244L * x + 2.274L;
  const Real num = 65.92L * PowerChecked(d, 3.3L, "Fehler : AF");
  return Quotient(num, PowerChecked(Dm, 1.6L, "Fehler : AF")) * poly;
}

Real CoilCountFactor(Real n) {
  if (n < 2) n = 2;
  return -1 / (3 * n * n) + 8 / (5 * n) + 0.803L;
}

Real FreeLengthTolerance(int grade, int kind, Real Dm, Real d, Real R, Real n, Real L0, Real sc) {
  const bool en15800 = R != 0 && En15800Grade(grade);
  const Real factor = en15800 ? ForceToleranceFactor(d, Dm) * CoilCountFactor(n) : 0;
  return FreeLengthToleranceWithFactor(factor, grade, kind, R, n, L0, sc);
}

Real FreeLengthToleranceWithFactor(Real factor, int grade, int kind, Real R, Real n, Real L0, Real sc) {
  if (R == 0) {
    AddErrorMessage("Fatal  : R = 0 !");
    return 0;
  }
  if (En15800Grade(grade)) return Quotient(factor * GradeFactor(grade), R);
  if (grade == 4) {
    if (kind > 3) {
      AddErrorMessage("Tol l0 kaltwarm !");
      return 0;
    }
    if (kind == 1) AddErrorMessage("DIN 2096: warmgewalzt !");
    if (n <= 0) return 0;  // no coil count, no deviation
    const Real c = (kind == 3) ? 0.012L : 0.015L;
    return (L0 + sc) * c * (2 / n + 1);
  }
  return 0;
}

Real ForceTolerance(int messageSwitch, int grade, int kind, Real F, Real s, Real Dm, Real d, Real n,
                    Real L0, Real R) {
  const bool valid = Dm > 0 && d > 0 && n > 0 && L0 > 0 && R > 0;
  const Real factor = (valid && En15800Grade(grade)) ? ForceToleranceFactor(d, Dm) * CoilCountFactor(n) : 0;
  return ForceToleranceWithFactor(factor, messageSwitch, grade, kind, F, s, Dm, d, n, L0, R);
}

Real ForceToleranceWithFactor(Real factor, int messageSwitch, int grade, int kind, Real F, Real s, Real Dm,
                              Real d, Real n, Real L0, Real R) {
  if (!(Dm > 0) || !(d > 0) || !(n > 0) || !(L0 > 0) || !(R > 0)) return 0;
  if (En15800Grade(grade)) return (factor + 1.5L * F / 100) * GradeFactor(grade);
  if (grade == 4) {
    Real c = 0.015L;
    if (kind == 3) {
      c = 0.012L;
    } else if (kind != 2 && messageSwitch == 1) {
      AddErrorMessage("DIN 2096: warmgewalzt !");
    }
    return (L0 + s) * c * (2 / n + 1) * R;
  }
  return 0;
}

Real PerpendicularityTolerance(int grade, Real L0) {
  switch (grade) {
    case 1: return 0.03L * L0;
    case 2: return 0.05L * L0;
    case 3: return 0.08L * L0;
    case 4: return 0.03L * L0;
    default: return 0;
  }
}

Real ParallelismTolerance(int grade, Real De) {
  switch (grade) {
    case 1: return 0.015L * De;
    case 2: return 0.03L * De;
    case 3: return 0.06L * De;
    case 4: return 0.025L * De;
    default: return 0;
  }
}

// Trapezoid integration of the normal density times 200 from x = -8 in
// steps of 0.001 (the first trapezoid starting from 0) while x < -u, at
// least one step. The running sums at the grid points x = i/1000 are
// worked out once; a call looks its end point up.
namespace {

constexpr long kGaussFirst = -7999;  // grid index of the first step's end
constexpr long kGaussLast = 8000;

Real GaussGridX(long i) { return static_cast<Real>(i) / 1000; }

const std::vector<Real>& GaussRunningSums() {
  static const std::vector<Real> sums = [] {
    std::vector<Real> v(kGaussLast - kGaussFirst + 1);
    const Real density = 200 / std::sqrt(2 * kPi);
    const Real h = 0.001L;
    Real sum = 0, previous = 0;
    for (long i = kGaussFirst; i <= kGaussLast; ++i) {
      const Real x = GaussGridX(i);
      const Real fx = density * std::exp(-x * x / 2);
      sum += (previous + fx) * h / 2;
      previous = fx;
      v[i - kGaussFirst] = sum;
    }
    return v;
  }();
  return sums;
}

}  // namespace

Real GaussIntegral(Real u) {
  u = std::clamp(u, Real{-8}, Real{8});
  // The first grid point at or above -u ends the integration.
  long i = static_cast<long>(std::ceil(-u * 1000));
  i = std::clamp(i, kGaussFirst, kGaussLast);
  while (i > kGaussFirst && !(GaussGridX(i - 1) < -u)) --i;
  while (i < kGaussLast && GaussGridX(i) < -u) ++i;
  return GaussRunningSums()[i - kGaussFirst];
}

Real WireDiameterTolerance(int code, Real d) {
  const WireTable* t = TableOf(code);
  return t ? LookUp(*t, d) : 0;
}

Real WireToleranceForStandard(int code, Real d) {
  if (code == 9 || code == 10) {
    if (d < 0.8L) return WireDiameterTolerance(8, d);
    if (d <= 10) return WireDiameterTolerance(7, d);
    return WireDiameterTolerance(6, d);
  }
  return WireDiameterTolerance(code, d);
}

void WireStandardCode() {
  SpringDataRecord& s = SpringData();
  const std::string& name = s.MaterialName;
  auto has = [&](const char* key) { return name.find(key) != std::string::npos; };
  if (has("10270-1")) {
    s.WireStd = 9;
  } else if (has("10270-2")) {
    s.WireStd = 10;
  } else if (has("10270-3")) {
    s.WireStd = 14;
  } else if (has("10089")) {
    s.WireStd = 3;
  } else if (has("12166")) {
    s.WireStd = 17;
  } else {
    s.WireStd = 7;
  }
}

}  // namespace zeb
