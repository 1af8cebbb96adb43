// Every real of the spring records, by name.
#pragma once
#include <cmath>
#include <string>

#include "spring/spring_data.h"

namespace zeb::test {

// Calls check(name, value) for every real of the spring records.
template <class Check>
void ForEachSpringReal(Check&& check) {
#define ZEB_REAL(rec, field) check(#rec "." #field, rec().field)
#define ZEB_REALS(rec, field) \
  for (Real v : rec().field) check(#rec "." #field, v)
  ZEB_REAL(SpringData, d), ZEB_REAL(SpringData, h), ZEB_REAL(SpringData, r), ZEB_REAL(SpringData, di);
  ZEB_REAL(SpringData, Dm), ZEB_REAL(SpringData, De), ZEB_REAL(SpringData, Di), ZEB_REAL(SpringData, w);
  ZEB_REAL(SpringData, n), ZEB_REAL(SpringData, nt), ZEB_REAL(SpringData, EndCoilsInput), ZEB_REAL(SpringData, P);
  ZEB_REAL(SpringData, PitchRatio), ZEB_REAL(SpringData, HelixAngle), ZEB_REAL(SpringData, TanAlpha);
  ZEB_REAL(SpringData, GapL0), ZEB_REAL(SpringData, GapL2), ZEB_REAL(SpringData, WireLength);
  ZEB_REAL(SpringData, dDe), ZEB_REAL(SpringData, L0), ZEB_REAL(SpringData, L1), ZEB_REAL(SpringData, L2);
  ZEB_REAL(SpringData, Ln), ZEB_REAL(SpringData, Lc), ZEB_REAL(SpringData, L), ZEB_REAL(SpringData, lambda);
  ZEB_REAL(SpringData, F1), ZEB_REAL(SpringData, F2), ZEB_REAL(SpringData, Fn), ZEB_REAL(SpringData, Fc);
  ZEB_REAL(SpringData, Fzul), ZEB_REAL(SpringData, s1), ZEB_REAL(SpringData, s2), ZEB_REAL(SpringData, sh);
  ZEB_REAL(SpringData, sn), ZEB_REAL(SpringData, sc), ZEB_REAL(SpringData, sk), ZEB_REAL(SpringData, R);
  ZEB_REAL(SpringData, UsableTravel), ZEB_REAL(SpringData, UsableLength), ZEB_REAL(SpringData, W12);
  ZEB_REAL(SpringData, W0c), ZEB_REAL(SpringData, StrokeMaxFatigue), ZEB_REAL(SpringData, nue);
  ZEB_REAL(SpringData, E), ZEB_REAL(SpringData, G), ZEB_REAL(SpringData, GT), ZEB_REAL(SpringData, rho);
  ZEB_REAL(SpringData, Rm), ZEB_REAL(SpringData, tauzul), ZEB_REAL(SpringData, tauhzul);
  ZEB_REAL(SpringData, tauoz), ZEB_REAL(SpringData, tau1), ZEB_REAL(SpringData, tau2);
  ZEB_REAL(SpringData, tauk1), ZEB_REAL(SpringData, tauk2), ZEB_REAL(SpringData, taukh);
  ZEB_REAL(SpringData, taun), ZEB_REAL(SpringData, tauc), ZEB_REAL(SpringData, k), ZEB_REAL(SpringData, S1);
  ZEB_REAL(SpringData, S2), ZEB_REAL(SpringData, Sh), ZEB_REAL(SpringData, N), ZEB_REAL(SpringData, Nmin);
  ZEB_REAL(SpringData, Nmax), ZEB_REAL(SpringData, FatigueTol1), ZEB_REAL(SpringData, FatigueTol2);
  ZEB_REAL(SpringData, F2Relax), ZEB_REAL(SpringData, T), ZEB_REAL(SpringData, T1), ZEB_REAL(SpringData, T2);
  ZEB_REAL(SpringData, m), ZEB_REAL(SpringData, mActive), ZEB_REAL(SpringData, fe), ZEB_REAL(SpringData, f);
  ZEB_REAL(SpringData, ExternalMass), ZEB_REAL(SpringData, TolDe), ZEB_REAL(SpringData, TolDeMinus);
  ZEB_REAL(SpringData, TolL0), ZEB_REAL(SpringData, TolL0Minus), ZEB_REAL(SpringData, TolF1);
  ZEB_REAL(SpringData, TolF1Minus), ZEB_REAL(SpringData, TolF2), ZEB_REAL(SpringData, TolF2Minus);
  ZEB_REAL(SpringData, e1), ZEB_REAL(SpringData, e2), ZEB_REAL(SpringData, TolWire);
  ZEB_REAL(SpringData, Dhmin), ZEB_REAL(SpringData, Ddmax), ZEB_REAL(SpringData, StatisticsFactor);
  ZEB_REAL(SpringData, ScrapBase), ZEB_REAL(SpringData, ScrapDm), ZEB_REAL(SpringData, ScrapF1);
  ZEB_REAL(SpringData, ScrapF2), ZEB_REAL(SpringData, PreTauRatio), ZEB_REAL(SpringData, PreW);
  ZEB_REAL(SpringData, Line3DResolution);
  ZEB_REALS(SpringData, EndCoils);
  ZEB_REAL(ProductionData, Ls);
  ZEB_REAL(TransverseLoad, FQ);
  ZEB_REALS(TransverseLoad, y);
  ZEB_REALS(TransverseLoad, RateRatio);
  ZEB_REALS(TransverseLoad, Rq);
  ZEB_REALS(TransverseLoad, fq);
  ZEB_REAL(ResonanceResult, omega0), ZEB_REAL(ResonanceResult, Omega), ZEB_REAL(ResonanceResult, ExternalMass);
  ZEB_REAL(ResonanceResult, m0), ZEB_REAL(ResonanceResult, c), ZEB_REAL(ResonanceResult, Fz1);
  ZEB_REAL(ResonanceResult, Az), ZEB_REAL(ResonanceResult, V), ZEB_REAL(ResonanceResult, f0);
  ZEB_REAL(ResonanceResult, dy), ZEB_REAL(ResonanceResult, dyPercent);
  ZEB_REAL(LoadSpectrum, Tp), ZEB_REAL(LoadSpectrum, tN), ZEB_REAL(LoadSpectrum, np), ZEB_REAL(LoadSpectrum, Np),
      ZEB_REAL(LoadSpectrum, Nn);
#undef ZEB_REAL
#undef ZEB_REALS
  for (const LoadLevel& l : LoadSpectrum().Levels)
    for (Real v : {l.L1, l.L2, l.ni, l.Nni, l.tNi}) check("LoadSpectrum.Levels", v);
}

// Names of the reals that are not finite, blank separated; "" when all are.
inline std::string NonFiniteReals() {
  std::string bad;
  ForEachSpringReal([&bad](const char* name, Real v) {
    if (!std::isfinite(v)) bad += std::string(name) + ' ';
  });
  return bad;
}

}  // namespace zeb::test
