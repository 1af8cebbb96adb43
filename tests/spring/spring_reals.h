// Every real of the spring records is finite.
#pragma once
#include <cmath>
#include <string>

#include "spring/spring_data.h"

namespace zeb::test {

// Names of the reals that are not finite, blank separated; "" when all are.
inline std::string NonFiniteReals() {
  std::string bad;
  auto check = [&bad](const char* name, Real v) {
    if (!std::isfinite(v)) {
      bad += name;
      bad += ' ';
    }
  };
  {
    const auto& x = SpringData();
    check("SpringData.d", x.d);
    check("SpringData.h", x.h);
    check("SpringData.r", x.r);
    check("SpringData.di", x.di);
    check("SpringData.Dm", x.Dm);
    check("SpringData.De", x.De);
    check("SpringData.Di", x.Di);
    check("SpringData.w", x.w);
    check("SpringData.n", x.n);
    check("SpringData.nt", x.nt);
    check("SpringData.EndCoilsInput", x.EndCoilsInput);
    check("SpringData.P", x.P);
    check("SpringData.PitchRatio", x.PitchRatio);
    check("SpringData.HelixAngle", x.HelixAngle);
    check("SpringData.TanAlpha", x.TanAlpha);
    check("SpringData.GapL0", x.GapL0);
    check("SpringData.GapL2", x.GapL2);
    check("SpringData.WireLength", x.WireLength);
    check("SpringData.dDe", x.dDe);
    check("SpringData.L0", x.L0);
    check("SpringData.L1", x.L1);
    check("SpringData.L2", x.L2);
    check("SpringData.Ln", x.Ln);
    check("SpringData.Lc", x.Lc);
    check("SpringData.L", x.L);
    check("SpringData.lambda", x.lambda);
    check("SpringData.F1", x.F1);
    check("SpringData.F2", x.F2);
    check("SpringData.Fn", x.Fn);
    check("SpringData.Fc", x.Fc);
    check("SpringData.Fzul", x.Fzul);
    check("SpringData.s1", x.s1);
    check("SpringData.s2", x.s2);
    check("SpringData.sh", x.sh);
    check("SpringData.sn", x.sn);
    check("SpringData.sc", x.sc);
    check("SpringData.sk", x.sk);
    check("SpringData.R", x.R);
    check("SpringData.UsableTravel", x.UsableTravel);
    check("SpringData.UsableLength", x.UsableLength);
    check("SpringData.W12", x.W12);
    check("SpringData.W0c", x.W0c);
    check("SpringData.StrokeMaxFatigue", x.StrokeMaxFatigue);
    check("SpringData.nue", x.nue);
    check("SpringData.E", x.E);
    check("SpringData.G", x.G);
    check("SpringData.GT", x.GT);
    check("SpringData.rho", x.rho);
    check("SpringData.Rm", x.Rm);
    check("SpringData.tauzul", x.tauzul);
    check("SpringData.tauhzul", x.tauhzul);
    check("SpringData.tauoz", x.tauoz);
    check("SpringData.tau1", x.tau1);
    check("SpringData.tau2", x.tau2);
    check("SpringData.tauk1", x.tauk1);
    check("SpringData.tauk2", x.tauk2);
    check("SpringData.taukh", x.taukh);
    check("SpringData.taun", x.taun);
    check("SpringData.tauc", x.tauc);
    check("SpringData.k", x.k);
    check("SpringData.S1", x.S1);
    check("SpringData.S2", x.S2);
    check("SpringData.Sh", x.Sh);
    check("SpringData.N", x.N);
    check("SpringData.Nmin", x.Nmin);
    check("SpringData.Nmax", x.Nmax);
    check("SpringData.FatigueTol1", x.FatigueTol1);
    check("SpringData.FatigueTol2", x.FatigueTol2);
    check("SpringData.F2Relax", x.F2Relax);
    check("SpringData.T", x.T);
    check("SpringData.T1", x.T1);
    check("SpringData.T2", x.T2);
    check("SpringData.m", x.m);
    check("SpringData.mActive", x.mActive);
    check("SpringData.fe", x.fe);
    check("SpringData.f", x.f);
    check("SpringData.ExternalMass", x.ExternalMass);
    check("SpringData.TolDe", x.TolDe);
    check("SpringData.TolDeMinus", x.TolDeMinus);
    check("SpringData.TolL0", x.TolL0);
    check("SpringData.TolL0Minus", x.TolL0Minus);
    check("SpringData.TolF1", x.TolF1);
    check("SpringData.TolF1Minus", x.TolF1Minus);
    check("SpringData.TolF2", x.TolF2);
    check("SpringData.TolF2Minus", x.TolF2Minus);
    check("SpringData.e1", x.e1);
    check("SpringData.e2", x.e2);
    check("SpringData.TolWire", x.TolWire);
    check("SpringData.Dhmin", x.Dhmin);
    check("SpringData.Ddmax", x.Ddmax);
    check("SpringData.StatisticsFactor", x.StatisticsFactor);
    check("SpringData.ScrapBase", x.ScrapBase);
    check("SpringData.ScrapDm", x.ScrapDm);
    check("SpringData.ScrapF1", x.ScrapF1);
    check("SpringData.ScrapF2", x.ScrapF2);
    check("SpringData.PreTauRatio", x.PreTauRatio);
    check("SpringData.PreW", x.PreW);
    check("SpringData.Line3DResolution", x.Line3DResolution);
    for (Real v : x.EndCoils) check("SpringData.EndCoils", v);
  }
  {
    const auto& x = ProductionData();
    check("ProductionData.Ls", x.Ls);
  }
  {
    const auto& x = TransverseLoad();
    check("TransverseLoad.FQ", x.FQ);
    for (Real v : x.y) check("TransverseLoad.y", v);
    for (Real v : x.RateRatio) check("TransverseLoad.RateRatio", v);
    for (Real v : x.Rq) check("TransverseLoad.Rq", v);
    for (Real v : x.fq) check("TransverseLoad.fq", v);
  }
  {
    const auto& x = ResonanceResult();
    check("ResonanceResult.omega0", x.omega0);
    check("ResonanceResult.Omega", x.Omega);
    check("ResonanceResult.ExternalMass", x.ExternalMass);
    check("ResonanceResult.m0", x.m0);
    check("ResonanceResult.c", x.c);
    check("ResonanceResult.Fz1", x.Fz1);
    check("ResonanceResult.Az", x.Az);
    check("ResonanceResult.V", x.V);
    check("ResonanceResult.f0", x.f0);
    check("ResonanceResult.dy", x.dy);
    check("ResonanceResult.dyPercent", x.dyPercent);
  }
  {
    const auto& x = LoadSpectrum();
    check("LoadSpectrum.Tp", x.Tp);
    check("LoadSpectrum.tN", x.tN);
    check("LoadSpectrum.np", x.np);
    check("LoadSpectrum.Nn", x.Nn);
    for (const LoadLevel& l : x.Levels) {
      check("LoadSpectrum.Levels", l.L1);
      check("LoadSpectrum.Levels", l.L2);
      check("LoadSpectrum.Levels", l.ni);
      check("LoadSpectrum.Levels", l.Nni);
      check("LoadSpectrum.Levels", l.tNi);
    }
  }
  return bad;
}

}  // namespace zeb::test
