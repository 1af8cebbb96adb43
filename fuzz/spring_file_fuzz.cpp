// The spring-file parser on arbitrary bytes, then the calculation of what it
// read: no crash, no hang, every real finite; what the writer makes of the
// result reads back, and a second save equals the first. Only a value the
// calculation took outside the range of its input field (the tolerance of a
// spring kilometres long) makes the saved file one the reader refuses, and
// then it names that line.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "spring/calc.h"
#include "spring/springfile.h"

namespace {

using zeb::Real;

void RequireFinite(std::initializer_list<Real> values) {
  for (Real x : values)
    if (!std::isfinite(x)) std::abort();
}

void RequireAllFinite() {
  const zeb::SpringDataRecord& s = zeb::SpringData();
  RequireFinite({s.d, s.h, s.r, s.di, s.Dm, s.De, s.Di, s.w, s.n, s.nt, s.EndCoils[0], s.EndCoils[1],
                 s.EndCoils[2], s.EndCoilsInput, s.P, s.PitchRatio, s.HelixAngle, s.TanAlpha, s.GapL0, s.GapL2,
                 s.WireLength, s.dDe, s.L0, s.L1, s.L2, s.Ln, s.Lc, s.L, s.lambda, s.F1, s.F2, s.Fn, s.Fc, s.Fzul,
                 s.s1, s.s2, s.sh, s.sn, s.sc, s.sk, s.R, s.UsableTravel, s.UsableLength, s.W12, s.W0c,
                 s.StrokeMaxFatigue, s.nue, s.E, s.G, s.GT, s.rho, s.Rm, s.tauzul, s.tauhzul, s.tauoz, s.tau1,
                 s.tau2, s.tauk1, s.tauk2, s.taukh, s.taun, s.tauc, s.k, s.S1, s.S2, s.Sh, s.N, s.Nmin, s.Nmax,
                 s.FatigueTol1, s.FatigueTol2, s.F2Relax, s.T, s.T1, s.T2, s.m, s.mActive, s.fe, s.f,
                 s.ExternalMass, s.TolDe, s.TolDeMinus, s.TolL0, s.TolL0Minus, s.TolF1, s.TolF1Minus, s.TolF2,
                 s.TolF2Minus, s.e1, s.e2, s.TolWire, s.Dhmin, s.Ddmax, s.StatisticsFactor, s.ScrapBase, s.ScrapDm,
                 s.ScrapF1, s.ScrapF2, s.PreTauRatio, s.PreW, s.Line3DResolution});
  const zeb::TransverseLoadRecord& q = zeb::TransverseLoad();
  RequireFinite({q.FQ});
  for (int i = 0; i < 5; ++i) RequireFinite({q.y[i], q.RateRatio[i], q.Rq[i], q.fq[i]});
  const zeb::ResonanceRecord& o = zeb::ResonanceResult();
  RequireFinite({o.omega0, o.Omega, o.ExternalMass, o.m0, o.c, o.Fz1, o.Az, o.V, o.f0, o.dy, o.dyPercent});
  const zeb::LoadSpectrumRecord& ls = zeb::LoadSpectrum();
  RequireFinite({ls.Tp, ls.tN, ls.np, ls.Nn});
  for (const zeb::LoadLevel& l : ls.Levels) RequireFinite({l.L1, l.L2, l.ni, l.Nni, l.tNi});
}

// A material row as the table gives one.
zeb::MaterialRecord SampleMaterial() {
  zeb::MaterialRecord m = zeb::DefaultMaterialRecord();
  m.Name1 = "Probe";
  m.G = 81500;
  m.E = 206000;
  m.Density = zeb::MakeReal48(7.85L);
  m.Rm0 = 2000;
  m.RmSlope = 400;
  m.Unpeened = zeb::FatigueGroup{1000, 150, 500, 100, zeb::MakeReal48(0.8L)};
  m.Peened = m.Unpeened;
  m.dmin = zeb::MakeReal48(0.5L);
  m.dmax = zeb::MakeReal48(10.0L);
  m.Tmax = 120;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zeb::ResetBaseGlobals();
  zeb::ResetSpringGlobals();
  zeb::G().ShowErrorsSwitch = 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zeb::SpringFileRecords records;
  std::string error;
  if (!zeb::ParseSpringFile(bytes, records, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  zeb::InstallSpringFileRecords(records);
  // The table material: an odd row exists, an even one does not.
  if (zeb::SpringData().MaterialSel == 0) {
    const std::uint16_t source = zeb::MaterialSource();
    if (source % 2 == 1) {
      zeb::ZEBWST_Record() = SampleMaterial();
    } else {
      zeb::ResetMaterialRecord();
      zeb::MaterialSource() = source;
    }
  }
  zeb::RunCalculation();
  RequireAllFinite();

  const std::string first = zeb::FormatSpringFile(zeb::CurrentSpringFileRecords());
  zeb::SpringFileRecords again;
  if (!zeb::ParseSpringFile(first, again, error)) {
    if (error.find(": erwartet: Zahl ") == std::string::npos) std::abort();
    return 0;
  }
  const std::string second = zeb::FormatSpringFile(again);
  zeb::SpringFileRecords third;
  if (!zeb::ParseSpringFile(second, third, error) || zeb::FormatSpringFile(third) != second) std::abort();
  return 0;
}
