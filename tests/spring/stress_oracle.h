// The stresses of a calculated spring worked out apart from the
// calculation, from its section, coil diameter, lengths, forces and moduli
// and the transverse load by the formulas of EN 13906-1, and the verdict of
// the permissible stresses on them. The design tests judge by these, not
// by the stresses the calculation stored.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "spring/spring_data.h"

namespace zeb::test {

// Torsion modulus of the section: round (also oval and rectangle with
// radii, which the calculation takes as round), ellipse, rectangle, tube.
inline Real TorsionModulusApart(const SpringDataRecord& s) {
  const Real pi = 3.14159265358979323846264338327950288L;
  const Real a = std::min(s.d, s.h), b = std::max(s.d, s.h);
  switch (s.CrossSection) {
    case 2: return pi / 2 * (b / 2) * (a / 2) * (a / 2);
    case 3:
    case 4: {
      // alpha over long/short side, linear between the table's columns
      static const std::array<std::pair<Real, Real>, 8> kAlpha{
          {{1, 0.208L}, {1.5L, 0.231L}, {2, 0.246L}, {3, 0.267L}, {4, 0.282L}, {6, 0.299L}, {8, 0.307L}, {10, 0.313L}}};
      const Real x = b / a;
      Real alpha = 0.333L;
      for (std::size_t i = 0; i + 1 < kAlpha.size(); ++i)
        if (x >= kAlpha[i].first && x < kAlpha[i + 1].first)
          alpha = kAlpha[i].second + (kAlpha[i + 1].second - kAlpha[i].second) * (x - kAlpha[i].first) /
                                         (kAlpha[i + 1].first - kAlpha[i].first);
      return alpha * b * a * a;
    }
    case 7: return pi * (std::pow(s.d, 4) - std::pow(s.di, 4)) / (16 * s.d);
    default: return pi * s.d * s.d * s.d / 16;
  }
}

struct StressesApart {
  Real tau1 = 0, tau2 = 0, taun = 0, tauc = 0, k = 1;
  bool sideways = true;  // the sideways rate above 0 at F1 and F2 (or no transverse load)
};

// From d (h, di), Dm, L1, L2, Ln, Lc, F1, F2, G, E of the data set and
// the transverse load FQ: rate R = (F2 - F1)/(L1 - L2), L0 = L2 + F2/R,
// a length's force R (L0 - L); under FQ the sideways rate ratio at the
// travel s = L0 - L (x = s/L0, at least 0.00001; g = G/E; lambda = L0/Dm)
//   eta = x / ((x - 1) + c/lambda/(g + 1/2) tan(c x lambda)),
//   c = sqrt((g + 1/2)(g + (1 - x)/x)),
// the sideways displacement y = FQ/(eta R) and
//   tau = ((Dm + y) F + (L - h) FQ) / (2 Wt),
// h the wire's height along the axis (d for the round formulas).
inline StressesApart WorkOutStresses(const SpringDataRecord& s, Real FQ) {
  StressesApart out;
  const Real R = (s.F2 - s.F1) / (s.L1 - s.L2);
  const Real L0 = s.L2 + s.F2 / R;
  const Real w = s.Dm / s.d;
  out.k = 1 + 1.25L / w + 0.875L / (w * w) + 1 / (w * w * w);
  const Real Wt = TorsionModulusApart(s);
  const Real height = s.CrossSection == 2 || s.CrossSection == 4 || s.CrossSection == 7 ? s.h : s.d;
  const auto stress = [&](Real L, Real F, bool working) {
    Real y = 0;
    if (FQ != 0) {
      Real x = std::max<Real>(L0 - L, 0) / L0;
      if (x == 0) x = 0.00001L;
      const Real g = s.G / s.E, lambda = L0 / s.Dm;
      const Real c = std::sqrt((g + 0.5L) * (g + (1 - x) / x));
      const Real eta = x / ((x - 1) + c / lambda / (g + 0.5L) * std::tan(c * x * lambda));
      if (working && !(eta * R > 0)) out.sideways = false;
      y = FQ / (eta * R);
    }
    return ((s.Dm + y) * F + (L - height) * FQ) / (2 * Wt);
  };
  out.tau1 = stress(s.L1, s.F1, true);
  out.tau2 = stress(s.L2, s.F2, true);
  out.taun = stress(s.Ln, R * (L0 - s.Ln), false);
  out.tauc = stress(s.Lc, R * (L0 - s.Lc), false);
  return out;
}

// The spring of the data set fails its permissible stresses (tau zul and
// the permissible stroke tauh zul of the data set), each stress by its
// size: static load tau1, tau2, taun and, with warnings on, tauc; dynamic
// load k tau1, k tau2, taun (tauc likewise) and the stroke k (tau2 - tau1),
// a negative permissible stroke failing; under a transverse load a spring
// that gives way sideways at F1 or F2 fails too. A hair of room for the
// last bits of the calculation's own arithmetic.
inline bool TooWeakApart(const SpringDataRecord& s, Real FQ) {
  const StressesApart t = WorkOutStresses(s, FQ);
  const Real limit = s.tauzul * (1 + 1e-9L);
  const auto over = [limit](Real tau) { return !(std::fabs(tau) <= limit); };
  if (!t.sideways || over(t.taun) || (s.WarningsOn == 1 && over(t.tauc))) return true;
  if (s.LoadType != 2) return over(t.tau1) || over(t.tau2);
  const Real stroke = t.k * std::fabs(t.tau2 - t.tau1);
  return over(t.k * t.tau1) || over(t.k * t.tau2) || s.tauhzul < 0 ||
         (s.tauhzul > 0 && stroke > s.tauhzul * (1 + 1e-9L));
}

}  // namespace zeb::test
