// Duties for the design modes drawn over the screens' ranges, the springs a
// design may start from, and the oracle: the spring of the data set
// recalculated wire by wire (and, for the rate inputs, force by force),
// judged by the permissible stresses and the room a spring needs; every end
// also as Speichern writes it and Öffnen reads it back.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/material_csv.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/wirestd.h"
#include "stress_oracle.h"

namespace zeb::test {

// ---------------------------------------------------------------- material rows

// The rows of the shipped material table (data/tables/materials.csv), as
// the material form reads them into the record.
inline const std::vector<MaterialRecord>& ShippedMaterialRows() {
  static const std::vector<MaterialRecord> rows = [] {
    std::vector<MaterialRecord> out;
    for (auto& row : MaterialRows()) {
      auto num = [&](const char* name) { return row[name].empty() ? 0.0L : std::stold(row[name]); };
      auto whole = [&](const char* name) { return static_cast<std::int32_t>(num(name)); };
      MaterialRecord m = DefaultMaterialRecord();
      m.Name1 = row["name1"], m.MaterialNumber = whole("number");
      m.G = whole("G"), m.E = whole("E"), m.Density = MakeReal48(num("density"));
      m.Rm0 = whole("Rm0"), m.DR0 = MakeReal48(num("DR0")), m.RmMax = whole("RmMax"), m.RmSlope = whole("RmSlope");
      m.d0 = MakeReal48(num("d0"));
      m.Unpeened = {whole("tauo0"), whole("tauoSlope"), whole("tauh0"), whole("tauhSlope"),
                    MakeReal48(num("GoodmanSlope"))};
      m.Peened = {whole("tauo0_p"), whole("tauoSlope_p"), whole("tauh0_p"), whole("tauhSlope_p"),
                  MakeReal48(num("GoodmanSlope_p"))};
      m.dmin = MakeReal48(num("dmin")), m.dmax = MakeReal48(num("dmax")), m.Tmax = whole("Tmax");
      out.push_back(m);
    }
    return out;
  }();
  return rows;
}

// ---------------------------------------------------------------- duties

// What a designer types before a design: material, production and
// application settings, the forces and lengths, the given diameter, the
// wire as typed (sections 2, 4, 6 and 7 take their shape from it) and the
// inputs of pre-dimensioning.
struct Duty {
  int row = 2;               // 1..20 table row; 0 own values; -1 own values, row 3 kept
  Real ownRm = 0, ownTau = 0, ownG = 0;
  Code coiling = 1, wireStd = 9, section = 1, given = 3, loadType = 2, warnings = 1, endForm = 2;
  Code grade = 2, saMethod = 1;
  char peened = 'N';
  std::int32_t point1Off = 0;
  Real endAddend = 0, T = 20, FQ = 0;
  Real F1 = 10, F2 = 50, sh = 8, L2 = 30, D = 10;
  Real d = 1, h = 1, di = 0, r = 0;
  Real preW = 9, preRatio = 1;

  std::string Describe() const {
    char text[400];
    std::snprintf(text, sizeof text,
                  "row %d%s coil %d std %d section %d %s %.6Lg load %d warn %d end %d(%.3Lg) grade %d Sa %d peen %c "
                  "p1off %d T %.4Lg FQ %.4Lg F1 %.6Lg F2 %.6Lg sh %.6Lg L2 %.6Lg d %.6Lg h %.6Lg di %.4Lg r %.4Lg "
                  "Dm/d %.4Lg tz/t %.4Lg",
                  row, row <= 0 ? " (own)" : "", coiling, wireStd, section, given == 1 ? "De" : given == 2 ? "Di" : "Dm",
                  D, loadType, warnings, endForm, endAddend, grade, saMethod, peened, point1Off, T, FQ, F1, F2, sh,
                  L2, d, h, di, r, preW, preRatio);
    return text;
  }
};

// x with three significant digits, as typed.
inline Real Typed(Real x) {
  if (!(x != 0)) return 0;
  char text[40];
  std::snprintf(text, sizeof text, "%.3Lg", x);
  return std::stold(text);
}

// Rm of a row by its law (0 without one).
inline Real RowRm(const MaterialRecord& m, Real d) {
  if (m.Rm0 <= 0 || MaterialReal(m.DR0) <= 0) return 0;
  Real rm = m.Rm0 - std::log10(d / MaterialReal(m.DR0)) * m.RmSlope;
  if (m.RmMax > 1) rm = std::min<Real>(rm, m.RmMax);
  return rm;
}

// A duty: mostly one a spring of the series can nearly meet (a spring of a
// random wire, index, coil count and stress level, its forces and lengths
// typed with three digits), one in seven anywhere on the screens' ranges.
inline Duty RandomDuty(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto u = [&](double a, double b) { return static_cast<Real>(a + (b - a) * unit(rng)); };
  auto logu = [&](double a, double b) {
    return static_cast<Real>(std::exp(std::log(a) + std::log(b / a) * unit(rng)));
  };
  auto pick = [&](std::initializer_list<int> v) { return *(v.begin() + static_cast<int>(unit(rng) * v.size())); };
  Duty p;
  const int m = static_cast<int>(unit(rng) * 22);  // 0..21
  p.row = m == 21 ? -1 : m;
  const bool own = p.row <= 0;
  p.ownRm = Typed(u(1000, 2200)), p.ownTau = Typed(p.ownRm * u(0.45, 0.56)), p.ownG = Typed(u(70000, 82000));
  const bool hot = unit(rng) < 0.25;
  p.coiling = hot ? static_cast<Code>(pick({2, 3})) : 1;
  p.wireStd = hot ? 3 : static_cast<Code>(pick({9, 9, 10, 11, 1, 2}));
  p.section = unit(rng) < 0.65 ? 1 : static_cast<Code>(pick({2, 3, 4, 5, 6, 7}));
  p.given = static_cast<Code>(pick({1, 2, 3}));
  p.loadType = static_cast<Code>(pick({1, 2}));
  p.warnings = unit(rng) < 0.7 ? 1 : 2;  // 2: off
  p.endForm = static_cast<Code>(pick({1, 2, 2, 3, 4}));
  p.endAddend = p.endForm == 4 ? Typed(u(0, 2)) : 0;
  p.grade = unit(rng) < 0.7 ? 2 : static_cast<Code>(pick({1, 3, 4}));
  p.saMethod = unit(rng) < 0.85 ? 1 : 2;
  p.peened = unit(rng) < 0.2 ? 'J' : 'N';
  p.point1Off = unit(rng) < 0.05 ? 1 : 0;
  p.T = unit(rng) < 0.5 ? 20 : Typed(u(-20, 250));
  const auto series = StandardWireDiameters(p.wireStd);
  Real d0, Dm0;
  const double kind = unit(rng);
  if (kind < 1.0 / 7.0) {
    p.F2 = Typed(logu(0.01, 1e6));
    p.F1 = Typed(p.F2 * u(-0.2, 1.1));
    p.sh = Typed(logu(0.001, 1000)), p.L2 = Typed(logu(0.1, 1e4));
    d0 = Typed(logu(0.05, 100)), Dm0 = Typed(d0 * logu(1.5, 40));
  } else if (kind < 2.0 / 7.0) {
    // A wide duty: large forces over a stroke under 0.1 mm.
    p.F2 = Typed(logu(10, 1e6));
    p.F1 = Typed(p.F2 * u(0, 0.95));
    p.sh = Typed(logu(0.001, 0.1)), p.L2 = Typed(logu(5, 500));
    d0 = Typed(logu(0.3, 40)), Dm0 = Typed(d0 * logu(1.5, 20));
  } else {
    std::vector<Real> wires;
    for (Real d : series)
      if (d >= (hot ? 7.0L : 0.2L) && d <= (hot ? 60.0L : 16.0L)) wires.push_back(d);
    d0 = wires[static_cast<std::size_t>(unit(rng) * wires.size())];
    Dm0 = d0 * (unit(rng) < 0.15 ? u(1.5, 4) : u(4, 16));
    const Real G = own ? p.ownG : p.row >= 1 ? ShippedMaterialRows()[p.row - 1].G : 80000;
    const Real rm = own ? p.ownRm : RowRm(ShippedMaterialRows()[p.row - 1], d0);
    const Real tau = (rm > 0 ? 0.56L * rm : 700) * u(0.25, 1.1);
    const Real F2 = 3.14159L * d0 * d0 * d0 * tau / (8 * Dm0);
    const Real F1 = unit(rng) < 0.2 ? 0 : F2 * u(0.05, 0.9);
    const Real n0 = u(2, 25);
    const Real R = (G > 0 ? G : 80000) * d0 * d0 * d0 * d0 / (8 * Dm0 * Dm0 * Dm0 * n0);
    p.F2 = Typed(F2), p.F1 = Typed(F1), p.sh = Typed((F2 - F1) / R);
    p.L2 = Typed((n0 + 2) * d0 * u(1.02, 1.8) + u(0, 0.3) * F2 / R);
  }
  p.D = Typed(p.given == 1 ? Dm0 + d0 : p.given == 2 ? Dm0 - d0 : Dm0);
  p.d = Typed(d0 * u(0.8, 1.25));
  p.h = p.section == 2 || p.section == 4 ? Typed(p.d * u(0.3, 3)) : p.d;
  p.di = p.section == 7 ? Typed(p.d * u(0.2, 0.7)) : 0;
  p.r = p.section == 6 ? Typed(std::min(p.d, p.h) * u(0.05, 0.3)) : 0;
  // A transverse load: a share of F2, one beyond it (taun turns negative
  // near solid), or anything up to the screens' limit.
  const double load = unit(rng);
  p.FQ = load < 0.1    ? Typed(p.F2 * u(0.01, 0.2))
         : load < 0.16 ? Typed(p.F2 * u(0.2, 2))
         : load < 0.18 ? Typed(logu(1, 1e7))
                       : 0;
  // Dm/d down to the screens' lowest (1.5).
  p.preW = unit(rng) < 0.4 ? std::round(u(4, 16)) : std::round(u(1.5, 20) * 100) / 100;
  p.preRatio = unit(rng) < 0.5 ? 1 : std::round(u(0.5, 1.6) * 100) / 100;
  return p;
}

// The seed of a grid: the suite's own, or, with GRID_SEED set, one of that
// seed's family (run by hand for a grid the suite does not draw).
inline std::uint64_t GridSeed(std::uint64_t suite) {
  const char* other = std::getenv("GRID_SEED");
  return other != nullptr ? std::strtoull(other, nullptr, 10) * 1000 + suite % 1000 : suite;
}

inline std::vector<Duty> Duties(std::uint64_t seed, int count) {
  std::mt19937_64 rng(seed);
  std::vector<Duty> out;
  for (int i = 0; i < count; ++i) out.push_back(RandomDuty(rng));
  return out;
}

// ---------------------------------------------------------------- start springs

constexpr int kStartSprings = 4;

// A spring a design may start from, with the program's start settings:
// 0 the start values (Datei > Neu); 1 a thick spring calculated before
// (d 70) with odd derived values; 2 a thin one whose derived values make
// no spring (tau zul 0, G at temperature 1, s2 < 0, R 1e6); 3 one whose
// last calculation stopped on a fatal input, with a full message list and
// the lengths, rate, tolerances and stresses of another spring.
inline void StartSpring(int which) {
  ResetSpringGlobals();
  ResetErrorMessages();
  SpringDataRecord& s = SpringData();
  if (which == 1) {
    s.CalcMode = 3, s.RateInput = 1, s.DiameterGiven = 3;
    s.d = s.h = 70.0L, s.Dm = 330.0L, s.n = 3.0L, s.L0 = 500.0L, s.L1 = 450.0L, s.L2 = 400.0L;
    RunRecalculation();
    s.tauzul = 1234.0L, s.GT = 50000.0L, s.s2 = 999.0L, s.Rm = 2500.0L;
  } else if (which == 2) {
    s.d = s.h = 0.3L, s.Dm = 2.0L, s.De = 2.3L, s.Di = 1.7L, s.n = 40.0L;
    s.tauzul = 0.0L, s.GT = 1.0L, s.s2 = -5.0L, s.R = 1e6L;
  } else if (which == 3) {
    s.d = s.h = 3.2L, s.Dm = 20.8L, s.De = 24.0L, s.Di = 17.6L, s.L2 = 109.0L;
    s.R = 77.0L, s.Ln = 55.0L, s.Lc = 41.0L, s.TolF2 = 9.0L, s.tau2 = 640.0L, s.tauk2 = 700.0L, s.taun = 720.0L;
    s.tauhzul = 310.0L, s.taukh = 290.0L, s.n = 11.0L, s.L0 = 150.0L;
    ProductionData().Ls = 60.0L;
    for (int i = 1; i <= 12; ++i) AddErrorMessage("Warnung: Meldung " + std::to_string(i));
    G().FatalErrorFlag = 1;
  }
}

// The duty over start spring `which`, for calculation mode `mode` (1 pre-
// dimensioning, 2 dimensioning).
inline void SetDuty(const Duty& p, int which, int mode) {
  StartSpring(which);
  SpringDataRecord& s = SpringData();
  const auto& rows = ShippedMaterialRows();
  if (p.row >= 1) {
    const MaterialRecord& m = rows[static_cast<std::size_t>(p.row - 1)];
    ZEBWST_Record() = m;
    MaterialSource() = static_cast<std::uint16_t>(p.row);
    s.MaterialSel = 0, s.MaterialStd = 0, s.MaterialName = m.Name1;
    s.G = m.G, s.E = m.E, s.rho = MaterialReal(m.Density);
  } else {
    ZEBWST_Record() = p.row == -1 ? rows[2] : DefaultMaterialRecord();
    MaterialSource() = p.row == -1 ? 3 : 0;
    s.MaterialSel = 11, s.Rm = p.ownRm, s.tauzul = p.ownTau;
    s.G = p.ownG, s.E = 206000, s.rho = 7.85L;
  }
  s.CalcMode = static_cast<Code>(mode);
  s.CoilingKind = p.coiling, s.WireStd = p.wireStd, s.CrossSection = p.section;
  s.DiameterGiven = p.given, s.LoadType = p.loadType, s.WarningsOn = p.warnings;
  s.EndForm = p.endForm, s.EndCoilsInput = p.endAddend;
  s.GradeDe = s.GradeL0 = s.GradeF1 = s.GradeF2 = s.GradeE1 = s.GradeE2 = p.grade;
  s.SaMethod = p.saMethod, s.ShotPeened = p.peened, s.Point1Off = p.point1Off;
  s.T = p.T;
  TransverseLoad().FQ = p.FQ;
  s.F1 = p.F1, s.F2 = p.F2, s.sh = p.sh;
  // Pre-dimensioning makes L2 and the diameters: they stay as the start
  // spring left them.
  if (mode != 1) {
    s.L2 = p.L2;
    (p.given == 1 ? s.De : p.given == 2 ? s.Di : s.Dm) = p.D;
  }
  // Round sections keep the start spring's wire: a design must not need it.
  if (p.section != 1 && p.section != 3 && p.section != 5) s.d = p.d;
  s.h = p.h, s.di = p.di, s.r = p.r;
  s.PreW = p.preW, s.PreTauRatio = p.preRatio;
}

// ---------------------------------------------------------------- judging

inline bool FatalTextListed() {
  const auto& list = G().ErrorMessageList;
  for (int i = 1; i <= list.count; ++i)
    if (list.slot[static_cast<std::size_t>(i)].starts_with("Fatal")) return true;
  return false;
}

// The calculated spring by the tests a design must pass: no fatal text,
// the permissible stresses (each stress worked out apart, a negative
// permissible stroke fails), room for Ln and for F2 with its tolerance.
inline bool SoundNow() {
  const SpringDataRecord& s = SpringData();
  const bool dynamic = s.LoadType == 2, warnings = s.WarningsOn == 1;
  if (G().FatalErrorFlag != 0 || FatalTextListed() || !(s.n > 0.0L) || !(s.Di > 0.0L)) return false;
  return !TooWeakApart(s, TransverseLoad().FQ) && s.L2 >= s.Ln && s.Fc >= s.F2 + s.TolF2 &&
         !(dynamic && warnings && s.Fn < s.F2 + s.TolF2);
}

// The spring of the data set written as Speichern writes it, read back as
// Öffnen reads it (the material record is the one in memory) and
// calculated, judged; false when the file does not read back. The data
// set and the message list stay.
inline bool SoundAsSaved() {
  SpringFileRecords back;
  std::string error;
  if (!ParseSpringFile(FormatSpringFile(CurrentSpringFileRecords()), back, error)) return false;
  const SpringGlobals kept = SG();
  const auto list = G().ErrorMessageList;
  const Byte flag = G().FatalErrorFlag;
  const std::string title = G().TitleBlockLines[1];
  SpringGlobals& g = SG();
  g.SpringData = back.SpringData, g.ProductionData = back.ProductionData, g.TransverseLoad = back.TransverseLoad;
  g.LoadSpectrum = back.LoadSpectrum, g.MaterialSource = back.MaterialSource;
  RunCalculation();
  const bool sound = SoundNow();
  SG() = kept;
  G().ErrorMessageList = list, G().FatalErrorFlag = flag, G().TitleBlockLines[1] = title;
  return sound;
}

// judge() of the spring of the data set recalculated at wire d and, when
// given, the force `force` at f; the data set stays.
template <class Judge>
auto JudgedAt(Real d, Judge judge, Real SpringDataRecord::*force = nullptr, Real f = 0) {
  const SpringGlobals saved = SG();
  const auto list = G().ErrorMessageList;
  const Byte flag = G().FatalErrorFlag;
  SpringData().d = d;
  if (force != nullptr) SpringData().*force = f;
  DeriveDiameters(SpringData().DiameterGiven);
  RunCalculation();
  const auto verdict = judge();
  SG() = saved;
  G().ErrorMessageList = list, G().FatalErrorFlag = flag;
  return verdict;
}

inline bool SoundAt(Real d, Real SpringDataRecord::*force = nullptr, Real f = 0) {
  return JudgedAt(d, SoundNow, force, f);
}

// The series wires of the data set.
inline std::vector<Real> Series() {
  const auto s = StandardWireDiameters(SpringData().WireStd);
  return {s.begin(), s.end()};
}

// Place of the smallest series wire giving a sound spring at the forces of
// the data set (at `force` = f when given), -1 when none does.
inline int SmallestSoundWire(Real SpringDataRecord::*force = nullptr, Real f = 0) {
  const auto series = Series();
  for (std::size_t i = 0; i < series.size(); ++i)
    if (SoundAt(series[i], force, f)) return static_cast<int>(i);
  return -1;
}

// ---------------------------------------------------------------- the rate inputs

// A rate input: the force it searches, the given one, whether it looks for
// the largest or the smallest, and its bracket.
struct RateInput {
  int number;  // 2..5
  Real SpringDataRecord::*searched;
  bool largest;
};
inline const RateInput kRateInputs[] = {{2, &SpringDataRecord::F2, false},
                                        {3, &SpringDataRecord::F1, true},
                                        {4, &SpringDataRecord::F2, true},
                                        {5, &SpringDataRecord::F1, false}};

// The largest F2 any series wire can carry: the uncorrected stress at F2
// (taken as growing with F2 alone) at tau zul, with half again for room.
inline Real CarriedForce() {
  Real top = 0;
  const SpringDataRecord typed = SpringData();
  for (Real d : Series()) {
    const Real probe = std::max<Real>(typed.F1, 0) + 1;
    const auto [tau2, tauzul] = JudgedAt(d, [] { return std::pair{SpringData().tau2, SpringData().tauzul}; },
                                         &SpringDataRecord::F2, probe);
    if (tau2 > 0 && tauzul > 0) top = std::max(top, probe * tauzul / tau2);
  }
  return 1.5L * top;
}

// The forces of the input's bracket the oracle tries: F1 in [0, F2) for
// inputs 3 and 5, F2 in (F1, 3 F1] for input 2 (beyond F1 to what a wire
// can carry when F1 is not above 0) and in (F1, that force] for input 4.
inline std::vector<Real> BracketForces(const RateInput& in, int count) {
  const SpringDataRecord& s = SpringData();
  Real lo, hi;
  if (in.searched == &SpringDataRecord::F1) {
    lo = 0, hi = s.F2;
  } else {
    lo = s.F1;
    hi = in.number == 2 && s.F1 > 0 ? 3 * s.F1 : CarriedForce();
  }
  std::vector<Real> forces;
  if (!(hi > lo)) return forces;
  const bool f1 = in.searched == &SpringDataRecord::F1;
  for (int i = 0; i < count; ++i) forces.push_back(lo + (hi - lo) * (f1 ? Real(i) / count : Real(i + 1) / count));
  // Rates down to a billionth of the bracket's: forces ever nearer the end
  // where F2 - F1 goes to 0.
  for (int j = 3; j <= 30; j += 3) {
    const Real near = (hi - lo) * std::ldexp(Real(1), -j);
    forces.push_back(f1 ? hi - near : lo + near);
  }
  return forces;
}

struct RateBest {
  bool found = false;
  Real force = 0;  // the force of the data set after the calculation
  Real step = 0;   // between two forces tried
};

// The best force of the bracket at which some series wire is sound, among
// `count` forces.
inline RateBest RateOracle(const RateInput& in, int count) {
  RateBest best;
  const auto forces = BracketForces(in, count);
  if (forces.size() >= 2) best.step = forces[1] - forces[0];
  for (Real d : Series())
    for (Real f : forces) {
      const auto [sound, effective] = JudgedAt(d, [&] { return std::pair{SoundNow(), SpringData().*in.searched}; },
                                               in.searched, f);
      if (!sound) continue;
      if (!best.found || (in.largest ? effective > best.force : effective < best.force)) best.force = effective;
      best.found = true;
    }
  return best;
}

// ---------------------------------------------------------------- pre-dimensioning

// The wire the series of the data set goes up to.
inline Real SeriesLimit() { return Series().back(); }

// The spring of the duty at wire d by the rule of pre-dimensioning: Dm/d
// and the section's shape as given, L2 := Ln + 1.1 TolF2/R rounded up to tenths (taken
// again until it stays); judged (false without such a spring). The data set stays.
struct Shape {
  Real h = 1, di = 0, r = 0;  // per unit of d
};

inline Shape TypedShape() {
  const SpringDataRecord& s = SpringData();
  if (!(s.d > 0)) return {};
  return {s.CrossSection == 2 || s.CrossSection == 4 ? s.h / s.d : 1, s.CrossSection == 7 ? s.di / s.d : 0,
          s.CrossSection == 6 ? s.r / s.d : 0};
}

template <class Judge>
bool PreJudgedAt(Real d, const Shape& shape, Judge judge) {
  const SpringGlobals saved = SG();
  const auto list = G().ErrorMessageList;
  SpringDataRecord& s = SpringData();
  s.d = d, s.h = shape.h * d, s.di = shape.di * d, s.r = shape.r * d;
  s.Dm = s.PreW * d, s.De = s.Dm + d, s.Di = s.Dm - d;
  s.L2 = 1;
  bool sound = false;
  for (int i = 0; i < 8; ++i) {
    RunCalculation();
    if (!(s.R > 0) || !(s.Ln > 0)) break;
    const Real L2 = std::ceil(10 * (s.Ln + 1.1L * s.TolF2 / s.R)) / 10;
    if (L2 == s.L2) {
      sound = judge();
      break;
    }
    s.L2 = L2;
  }
  SG() = saved;
  G().ErrorMessageList = list;
  return sound;
}

// A spring the file cannot hold (a coil of kilometres) is no end.
inline bool PreSoundAt(Real d, const Shape& shape) {
  return PreJudgedAt(d, shape, [] { return SoundNow() && SoundAsSaved(); });
}

// Some wire up to the limit of the series gives a sound spring (tried at
// `count` wires evenly on a log scale down to a ten-thousandth of it).
inline bool PreOracle(int count) {
  const Shape shape = TypedShape();
  const Real top = SeriesLimit() / std::max<Real>(1, shape.h);
  for (int i = 0; i < count; ++i)
    if (PreSoundAt(top * std::pow(1e-4L, Real(i) / (count - 1)), shape)) return true;
  return false;
}

}  // namespace zeb::test
