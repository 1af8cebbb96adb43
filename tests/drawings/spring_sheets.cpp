// Springs of a seeded generator over the ranges the input screens take,
// each saved as a spring file, read back as the program reads one and drawn
// on every sheet it has: the drawings of the command line (/CAD1:j), the
// sheets of the menus alone, and each of them on the screen. The sheet
// checks (spring_sheets.py) judge what it writes.
//
//   zeb_test_spring_sheets OUTDIR SEED FIRST COUNT
//
// Spring i (FIRST <= i < FIRST + COUNT) of a seed is always the same spring:
// its generator is seeded by (SEED, i). A drawn spring that the calculation
// refuses is drawn again, up to 60 times. OUTDIR gets s<i>.zeb, s<i>_<sheet>.dxf
// for each sheet written, s<i>_<sheet>.scr for each sheet shown on the
// screen (the screen's texts and pens as the window replays them), s<i>.txt
// its printout and, in springs.jsonl, one line per spring with the values
// its sheets mark.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/format.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/services.h"
#include "base/ui_port.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "graphics/renderer.h"
#include "mainwin/dispatch.h"
#include "mainwin/program.h"
#include "reports/device.h"
#include "reports/printout_full.h"
#include "spring/dimension.h"
#include "spring/formulas.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/strength.h"
#include "spring/valuetable.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

struct Options {
  fs::path out;
  unsigned long long seed = 0;
  long first = 0, count = 0;
};
Options gOptions;

// ------------------------------------------------------------ the generator

class Draw {
 public:
  Draw(unsigned long long seed, long index) {
    std::seed_seq s{static_cast<unsigned>(seed), static_cast<unsigned>(seed >> 32), static_cast<unsigned>(index)};
    rng_.seed(s);
  }
  Real Uniform(Real lo, Real hi) { return lo + (hi - lo) * static_cast<Real>(std::uniform_real_distribution<double>(0, 1)(rng_)); }
  // Spread evenly over the decades from lo to hi.
  Real Log(Real lo, Real hi) { return std::exp(Uniform(std::log(lo), std::log(hi))); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <class T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + Int(0, static_cast<int>(values.size()) - 1));
  }

 private:
  std::mt19937_64 rng_;
};

std::string Words(Draw& r, std::size_t n) {
  static const char* const words[] = {"Druckfeder", "Ventil", "Werknorm", "WN", "geschliffen", "und", "Baureihe", "4711"};
  std::string t;
  while (t.size() < n) t += (t.empty() ? "" : " ") + std::string(words[r.Int(0, 7)]);
  t.resize(n);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

// The example a spring starts from (its material kind and the fields no
// screen below sets), or a spring file by its path.
SpringFileRecords Example(const std::string& name) {
  std::ifstream in(name.find('/') != std::string::npos ? fs::path(name) : fs::path(ZEB1_EXAMPLES) / name,
                   std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  SpringFileRecords r;
  std::string error;
  if (!ParseSpringFile(bytes, r, error)) std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
  return r;
}

// A spring as the screens take it: geometry of the recalculation screen,
// the material form's kinds (a table row, own values, a strength law, hot
// coiled), the application, production, tolerance and title-block forms,
// load spectrum and value table.
SpringFileRecords Generate(Draw& r) {
  const int kind = r.Int(0, 3);
  SpringFileRecords rec = Example(kind == 0 ? "table_static.zeb" : kind == 3 ? "hot_coiled.zeb" : "round_static.zeb");
  SpringDataRecord& s = rec.SpringData;
  s.CalcMode = 3;
  if (kind == 0) {
    // A row of the shipped material table.
    rec.MaterialSource = static_cast<std::uint16_t>(r.Int(1, 20));
    s.MaterialSel = 0;
  } else if (kind == 1) {
    s.MaterialSel = 11;
    s.Rm = r.Uniform(600, 2600), s.tauzul = r.Uniform(0.35L, 0.6L) * s.Rm;
    s.G = r.Uniform(30000, 83000), s.E = s.G * r.Uniform(2.4L, 2.7L), s.rho = r.Uniform(2.7L, 8.9L);
    s.MaterialName = r.Chance(0.2) ? Words(r, 50) : "Federstahl eigene Werte";
  } else if (kind == 2) {
    s.MaterialSel = static_cast<Code>(r.Int(1, 3));
    s.MaterialStd = static_cast<Code>(r.Int(1, 4));
  } else {
    s.CoilingKind = static_cast<Code>(r.Int(2, 3));
  }
  // Cross-section and wire.
  s.CrossSection = static_cast<Code>(r.Chance(0.4) ? 1 : r.Int(1, 7));
  s.d = r.Chance(0.05) ? r.Pick<Real>({0.05L, 0.1L, 60}) : r.Log(0.1L, 40);
  s.h = s.d;
  if (s.CrossSection == 2 || s.CrossSection == 4 || s.CrossSection == 5 || s.CrossSection == 6)
    s.h = s.d * r.Log(0.2L, 2);
  s.di = s.CrossSection == 7 ? s.d * r.Uniform(0.2L, 0.8L) : 0;
  s.r = s.CrossSection == 6 ? std::min(s.d, s.h) * r.Uniform(0.05L, 0.45L) : 0;
  const Real wire = std::max(s.d, s.h);
  // Coil diameter by its index, the given one of De, Di, Dm.
  const Real w = r.Chance(0.08) ? r.Pick<Real>({1.6L, 2, 2.5L, 40, 60}) : r.Log(2.5L, 25);
  s.Dm = w * s.d, s.De = s.Dm + s.d, s.Di = s.Dm - s.d;
  s.DiameterGiven = static_cast<Code>(r.Int(1, 3));
  // Coils and end form.
  s.n = r.Chance(0.05) ? r.Pick<Real>({0.5L, 1, 300, 1000}) : r.Log(1.5L, 40);
  s.EndForm = static_cast<Code>(r.Int(1, 4));
  const Real end = r.Pick<Real>({0.5L, 0.75L, 1, 1.25L, 1.5L});
  s.EndCoils = {2 * end, end, end};
  if (s.EndForm == 4) s.EndCoilsInput = r.Uniform(-0.5L, 2), s.EndFormText = Words(r, r.Int(5, 100));
  s.WindingDir = static_cast<Code>(r.Int(1, 3));
  // Lengths: free length from near block length to slender; the working
  // lengths over the travel, past block length or above the free length now
  // and then.
  const Real block = (s.n + s.EndCoils[0] + 0.5L) * wire;
  const Real slender = r.Chance(0.08) ? r.Uniform(4, 40) : 0;
  s.L0 = slender > 0 ? std::max(block * 1.1L, slender * s.Dm * r.Uniform(1, 15)) : block * r.Log(1.05L, 5);
  const Real travel = s.L0 - block;
  const Real s2 = travel * (r.Chance(0.1) ? r.Uniform(1, 1.6L) : r.Uniform(0.05L, 0.95L));
  const Real s1 = r.Chance(0.1) ? -travel * r.Uniform(0, 0.1L) : s2 * r.Uniform(0, 0.95L);
  s.L1 = s.L0 - s1, s.L2 = s.L0 - s2;
  // Application: load, frequency (near the spring's own now and then, set
  // after the first calculation), temperatures, transverse force, mass.
  s.LoadType = static_cast<Code>(r.Int(1, 2));
  s.LoadCase = static_cast<Code>(r.Int(0, 2));
  s.ShotPeened = r.Chance(0.3) ? 'J' : 'N';
  s.f = r.Log(0.05L, 2000);
  s.ExternalMass = r.Chance(0.25) ? r.Log(0.001L, 20) : 0;
  s.nue = r.Pick<Real>({0.5L, 0.7L, 1, 2});
  s.T = r.Chance(0.5) ? 20 : r.Uniform(-60, 320);
  s.T1 = s.T - r.Uniform(0, 120), s.T2 = s.T + r.Uniform(0, 150);
  rec.TransverseLoad.FQ = r.Chance(0.5) ? 0 : r.Log(0.01L, 1e4);
  // Production, tolerances, texts.
  s.Allowance = static_cast<Code>(r.Int(1, 6));
  for (Code* g : {&s.GradeDe, &s.GradeL0, &s.GradeF1, &s.GradeF2, &s.GradeE1, &s.GradeE2})
    *g = static_cast<Code>(r.Int(1, 5));
  s.TolDe = r.Log(0.01L, 5), s.TolDeMinus = -r.Log(0.01L, 5);
  s.TolL0 = r.Log(0.01L, 20), s.TolL0Minus = -r.Log(0.01L, 20);
  s.TolF1 = r.Log(0.01L, 500), s.TolF1Minus = -r.Log(0.01L, 500);
  s.TolF2 = r.Log(0.01L, 500), s.TolF2Minus = -r.Log(0.01L, 500);
  s.e1 = r.Log(0.01L, 5), s.e2 = r.Log(0.01L, 5);
  // Own deviations the other way round now and then (the form takes any
  // number).
  if (r.Chance(0.1)) std::swap(s.TolF1, s.TolF1Minus), std::swap(s.TolF2, s.TolF2Minus);
  s.Statistics = r.Chance(0.2) ? 'J' : 'N';
  rec.ProductionData.Picture = static_cast<Code>(r.Int(1, 4));
  rec.ProductionData.Preset = static_cast<Code>(r.Int(1, 3));
  if (r.Chance(0.3)) {
    s.DrawingName = Words(r, 25), s.DrawingName2 = Words(r, 30), s.DrawingNo = Words(r, 18);
    rec.TitleBlockLines[2] = Words(r, 65), rec.TitleBlockLines[3] = Words(r, 65);
  }
  // Load spectrum: 1 to 20 levels over the travel, 1 to 1e8 strokes each.
  LoadSpectrumRecord& ls = rec.LoadSpectrum;
  ls = LoadSpectrumRecord{};
  if (r.Chance(0.35)) {
    ls.Count = static_cast<std::int16_t>(r.Chance(0.3) ? 20 : r.Int(1, 20));
    ls.Tp = r.Log(0.01L, 1e5);
    for (int i = 1; i <= ls.Count; ++i) {
      LoadLevel& v = ls.Levels[static_cast<std::size_t>(i)];
      const Real a = r.Uniform(0, 1), b = r.Uniform(0, 1);
      v.L1 = s.L0 - std::min(a, b) * s2, v.L2 = s.L0 - std::max(a, b) * s2;
      v.ni = std::round(r.Log(1, 1e8));
    }
  }
  // Points of the value table between the working lengths.
  ValueTableRecord& vt = rec.ValueTable;
  vt = ValueTableRecord{};
  if (r.Chance(0.3)) {
    vt.Count = r.Int(1, kMaxValueTableCount);
    for (int i = 1; i <= vt.Count; ++i) vt.Values[static_cast<std::size_t>(i)] = s.L0 - r.Uniform(-0.1L, 1.2L) * s2;
  }
  return rec;
}

// ------------------------------------------------------------ the sheets

struct Sheet {
  std::string name;
  std::function<void(int)> draw;
  bool screen = true;  // shown on the screen as well
};

std::vector<Sheet> Sheets() {
  std::vector<Sheet> v;
  for (int j = 1; j <= 17; ++j)
    if (j != 9) v.push_back({"cad" + std::to_string(j), [j](int c) { CadOutputByIndex(c, j); }, j != 17});
  for (int code : {2, 5, 7, 21, 22, 23, 24, 25, 26, 27, 28, 29})
    v.push_back({"m" + std::to_string(code), [code](int c) { ShowDiagram(code, c); }});
  v.push_back({"haigh", [](int c) { HaighOutput(c); }});
  v.push_back({"spectrum", [](int c) { SelectDiagram(14, c); }});
  v.push_back({"quick3", [](int c) { DrawQuickSheet(c); }});
  v.push_back({"en", [](int c) { DrawProductionDrawingEN(c); }});
  return v;
}

std::string Hex(std::uint32_t c) {
  char b[8];
  std::snprintf(b, sizeof b, "%06X", c & 0xFFFFFFu);
  return b;
}

// The screen's picture of the sheet as the window replays it: one line per
// text ("T colour x y cellWidth cellHeight escapement text", device
// pixels, the text as drawn) and per pen that draws ("P colour"), after a
// line "B background width height".
std::string ScreenPicture() {
  GraphWindow& w = Facade().Window();
  RecordingRenderer page(w.DeviceWidth(), w.DeviceHeight());
  w.ReplayQuiet(page);
  std::ostringstream out;
  out << "B " << Hex(static_cast<std::uint32_t>(G().BackgroundColour)) << " " << page.PageWidth() << " "
      << page.PageHeight() << "\n";
  std::string colour = "000000", font = "0 0 0", pen = "000000";
  bool penShown = false;
  for (const std::string& c : page.Calls()) {
    const std::size_t open = c.find('(');
    const std::string name = c.substr(0, open), args = c.substr(open + 1, c.size() - open - 2);
    if (name == "TextColour") {
      colour = args;
    } else if (name == "Font") {
      // face,height,width,escapement,flags
      std::vector<std::string> f;
      std::stringstream ss(args);
      for (std::string part; std::getline(ss, part, ',');) f.push_back(part);
      if (f.size() >= 4) font = f[2] + " " + f[1] + " " + f[3];
    } else if (name == "Text") {
      const std::size_t a = args.find(','), b = args.find(',', a + 1);
      out << "T " << colour << " " << args.substr(0, a) << " " << args.substr(a + 1, b - a - 1) << " " << font << " "
          << args.substr(b + 1) << "\n";
    } else if (name == "Pen") {
      pen = args.substr(0, args.find(','));
      penShown = false;
    } else if (!penShown && (name == "Line" || name == "Ellipse" || name == "Arc" || name == "Polygon")) {
      out << "P " << pen << "\n";
      penShown = true;
    }
  }
  return out.str();
}

std::string Json(const std::string& t) {
  std::string q = "\"";
  for (unsigned char c : t) {
    if (c == '"' || c == '\\') q += '\\';
    if (c < 0x20) continue;
    q += static_cast<char>(c);
  }
  return q + "\"";
}

std::string Number(Real v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", std::isfinite(v) ? static_cast<double>(v) : 0.0);
  return b;
}

// The values the sheets mark, in base units, and the display unit of one
// base unit of each kind.
std::string Facts(const std::string& stem, long id, int unitSystem) {
  const SpringDataRecord& s = SpringData();
  const TransverseLoadRecord& q = TransverseLoad();
  const LoadSpectrumRecord& ls = LoadSpectrum();
  const ValueTableRecord& vt = ValueTable();
  std::ostringstream o;
  auto num = [&](const char* k, Real v) { o << ", \"" << k << "\": " << Number(v); };
  auto list = [&](const char* k, const std::array<Real, 5>& a) {
    o << ", \"" << k << "\": [";
    for (std::size_t i = 0; i < a.size(); ++i) o << (i ? ", " : "") << Number(a[i]);
    o << "]";
  };
  o << "{\"id\": " << id << ", \"stem\": " << Json(stem) << ", \"units\": " << unitSystem;
  o << ", \"cross\": " << s.CrossSection << ", \"load\": " << s.LoadType << ", \"material\": " << s.MaterialSel;
  num("length", LengthToDisplayUnit(1));
  num("force", ForceToDisplayUnit(1));
  num("stress", StressToDisplayUnit(1));
  num("moment", MomentToDisplayUnit(1));
  num("rate", SpringRateToDisplayUnit(1));
  for (const auto& [k, v] : std::initializer_list<std::pair<const char*, Real>>{
           {"d", s.d}, {"Dm", s.Dm}, {"w", s.w}, {"n", s.n}, {"L0", s.L0}, {"L1", s.L1}, {"L2", s.L2},
           {"Ln", s.Ln}, {"Lc", s.Lc}, {"s1", s.s1}, {"s2", s.s2}, {"sn", s.sn}, {"sc", s.sc}, {"sk", s.sk},
           {"F1", s.F1}, {"F2", s.F2}, {"Fn", s.Fn}, {"Fc", s.Fc}, {"R", s.R}, {"nue", s.nue}, {"G", s.G},
           {"T", s.T}, {"T1", s.T1}, {"T2", s.T2}, {"tau1", s.tau1}, {"tau2", s.tau2}, {"tauk1", s.tauk1},
           {"tauk2", s.tauk2}, {"taun", s.taun}, {"tauc", s.tauc}, {"tauzul", s.tauzul}, {"f", s.f},
           {"fe", s.fe}, {"f0", ResonanceResult().f0}, {"mass", ResonanceResult().ExternalMass}, {"FQ", q.FQ},
           {"np", ls.np}, {"sh", s.sh}, {"taukh", s.taukh}, {"Rm", s.Rm}, {"E", s.E}, {"De", s.De}, {"Di", s.Di},
           {"k", s.k}, {"nt", s.nt}, {"Ddmax", s.Ddmax}, {"Dhmin", s.Dhmin}, {"GT", s.GT}})
    num(k, v);
  list("sq", q.y);
  list("Rq", q.Rq);
  list("fq", q.fq);
  o << ", \"levels\": [";
  for (int i = 1; i <= std::clamp<int>(ls.Count, 0, kMaxLoadLevels); ++i) {
    const LoadLevel& v = ls.Levels[static_cast<std::size_t>(i)];
    o << (i > 1 ? ", " : "") << "[" << Number(v.L1) << ", " << Number(v.L2) << ", " << Number(v.ni) << "]";
  }
  o << "], \"values\": [";
  for (int i = 1; i <= std::clamp<std::int32_t>(vt.Count, 0, kMaxValueTableCount); ++i)
    o << (i > 1 ? ", " : "") << Number(vt.Values[static_cast<std::size_t>(i)]);
  // The strength law at the tau-d table's diameters, and the published
  // Rm range of each diameter slot that has one (the Rm-d table's rows).
  o << "], \"rm_law\": " << (MaterialHasRmLaw() ? "true" : "false") << ", \"rm_d\": [";
  const Real ds[] = {0.2L, 0.5L, 1, 2.5L, 5, 10};
  for (std::size_t i = 0; i < 6; ++i) o << (i ? ", " : "") << Number(MaterialRmOfD(ds[i]));
  o << "], \"rm_slots\": [";
  const RmTableT& rm = RmTable();
  bool first = true;
  for (std::size_t i = 0; SG().RmTableLoaded != 0 && i < rm.Min.size(); ++i)
    if (rm.Min[i] > 0) o << (std::exchange(first, false) ? "" : ", ") << "[" << rm.Min[i] << ", " << rm.Max[i] << "]";
  o << "]}";
  return o.str();
}

// The records calculated as the recalculation screen calculates an entry
// (the forces from the coils and lengths): FatalErrorFlag tells whether
// the calculation takes them.
void Recalculate(const SpringFileRecords& rec) {
  InstallSpringFileRecords(rec);
  G().AbortFlag = 0;
  G().FatalErrorFlag = 0;
  if (!InstallSpringMaterial()) {
    G().FatalErrorFlag = 1;
    return;
  }
  SpringData().RateInput = 1;
  RunRecalculation();
  SpringData().RateInput = rec.SpringData.RateInput;
}

// Reads the spring file as the command line does: false when the
// calculation stopped.
bool ReadBack(const fs::path& file) {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  ReadSpringFilePath(file.string());
  return g.AbortFlag == 0 && g.FatalErrorFlag == 0;
}

// The springs of earlier findings, drawn first by the shard that starts at
// spring 0: the stress correction of D/d 2.5 on a material of its own (d 4,
// Dm 10, n 10, L0 70, L 65/60), a spectrum of 20 levels of 10 to 1e8
// strokes; a spring pressed past its block length with F2's deviations
// both below it; and a spring of large values in every unit system ("_u1":
// English): wire 20 on Dm 160, forces of up to 20 kN, stresses of tens
// of thousands of psi (tauk1 76,000 psi: once written "8E4" in its cell),
// dynamic and static.
std::vector<std::pair<std::string, SpringFileRecords>> KnownSprings() {
  std::vector<std::pair<std::string, SpringFileRecords>> v;
  SpringFileRecords own = Example("round_static.zeb");
  SpringDataRecord& s = own.SpringData;
  s.CalcMode = 3, s.MaterialSel = 11, s.CrossSection = 1, s.d = s.h = 4;
  s.DiameterGiven = 3, s.Dm = 10, s.De = 14, s.Di = 6, s.n = 10, s.L0 = 70, s.L1 = 65, s.L2 = 60;
  v.emplace_back("k1", own);
  SpringFileRecords spectrum = Example("round_dynamic.zeb");
  SpringDataRecord& t = spectrum.SpringData;
  t.CalcMode = 3, t.d = t.h = 2, t.DiameterGiven = 3, t.Dm = 20, t.De = 22, t.Di = 18;
  t.n = 8.5L, t.L0 = 60, t.L1 = 50, t.L2 = 30;
  LoadSpectrumRecord& ls = spectrum.LoadSpectrum;
  ls.Count = kMaxLoadLevels;
  for (int i = 1; i <= kMaxLoadLevels; ++i) {
    LoadLevel& l = ls.Levels[static_cast<std::size_t>(i)];
    l.L1 = t.L2 + (t.L1 - t.L2) * (i % 4 + 1) / 4;
    l.L2 = t.L2;
    l.ni = std::pow(10.0L, (i - 1) % 8 + 1);
  }
  v.emplace_back("k2", spectrum);
  // Pressed past its block length, the deviations of F2 both below it: the
  // characteristic's range holds F2 itself, not only F2 with its upper
  // deviation.
  SpringFileRecords past = Example("round_static.zeb");
  SpringDataRecord& p = past.SpringData;
  p.CalcMode = 3, p.L2 = 17, p.GradeF1 = p.GradeF2 = 5;
  p.TolF1 = 1, p.TolF1Minus = -1, p.TolF2 = -20, p.TolF2Minus = -30;
  v.emplace_back("k3", past);
  for (int units = 0; units <= 4; ++units) {
    SpringFileRecords big = Example("round_dynamic.zeb");
    SpringDataRecord& b = big.SpringData;
    b.CalcMode = 3, b.MaterialSel = 11, b.CrossSection = 1, b.d = b.h = 20;
    b.Rm = 1650, b.tauzul = 0.5L * b.Rm, b.G = 81500, b.E = 206000, b.rho = 7.85L;
    b.DiameterGiven = 3, b.Dm = 160, b.De = 180, b.Di = 140, b.n = 6.5L;
    b.L0 = 500, b.L1 = 356, b.L2 = 300, b.LoadType = static_cast<Code>(units % 2 + 1);
    b.ExternalMass = 0;
    big.LoadSpectrum = LoadSpectrumRecord{};
    big.ValueTable = ValueTableRecord{};
    v.emplace_back("big_u" + std::to_string(units), big);
  }
  return v;
}

// A spring: the first of the records `make` gives (attempt 0, 1, ...) that
// the calculation takes, saved, read back and drawn on every sheet.
// A spring file of the records (a found spring) is written as it is.
void DrawSpring(const std::string& stem, long id, int units, const std::function<bool(int, SpringFileRecords&)>& make,
                bool asFile = false) {
  const fs::path out = gOptions.out;
  const fs::path file = out / (stem + ".zeb");
  bool found = false;
  for (int attempt = 0; attempt < 60 && !found; ++attempt) {
    SpringFileRecords rec;
    if (!make(attempt, rec)) break;
    if (asFile)
      G().FatalErrorFlag = 0;
    else
      Recalculate(rec);
    if (G().FatalErrorFlag != 0) {
      if (std::getenv("ZEB1_SHEET_DEBUG"))
        for (int k = 1; k <= G().ErrorMessageList.count; ++k)
          std::fprintf(stderr, "%s: %s\n", stem.c_str(), G().ErrorMessageList.slot[static_cast<std::size_t>(k)].c_str());
      continue;
    }
    std::ofstream(file, std::ios::binary) << FormatSpringFile(asFile ? rec : CurrentSpringFileRecords());
    G().UnitSystem = static_cast<std::int16_t>(units);
    found = ReadBack(file);
  }
  std::ofstream facts(out / "springs.jsonl", std::ios::app);
  if (!found) {
    facts << "{\"id\": " << id << ", \"stem\": \"" << stem << "\", \"refused\": true}\n";
    return;
  }
  facts << Facts(stem, id, units) << "\n";
  // The printout of the spring (<stem>.txt), as "/I" writes it: the values
  // the sheets' numbers are judged by.
  if (ReadBack(file)) {
    G().CurrentFileName = (out / stem).string();
    G().AskOutputTarget = 0;
    G().OutputTarget = kOutCommandLine;
    PrintReport();
    G().AbortFlag = 0;
  }
  for (const Sheet& sheet : Sheets()) {
    // Each sheet from the spring as read: a drawing leaves its length (and
    // the material record's largest wire) behind.
    if (!ReadBack(file)) break;
    G().CurrentFileName = (out / (stem + "_" + sheet.name)).string();
    sheet.draw(1);
    G().AbortFlag = 0;
    if (!sheet.screen || !fs::exists(out / (stem + "_" + sheet.name + ".dxf"))) continue;
    Graphics().GrafClear();
    sheet.draw(3);
    G().AbortFlag = 0;
    std::ofstream(out / (stem + "_" + sheet.name + ".scr"), std::ios::binary) << ScreenPicture();
  }
}

void DrawGenerated(long id) {
  Draw r(gOptions.seed, id);
  // The unit system of the configuration.
  const int units = r.Chance(0.6) ? 0 : r.Int(1, 4);
  DrawSpring("s" + std::to_string(id), id, units, [&r](int, SpringFileRecords& rec) {
    rec = Generate(r);
    // Now and then a load frequency near the spring's own.
    const bool nearResonance = r.Chance(0.3);
    const Real factor = r.Pick<Real>({0.3L, 0.8L, 0.95L, 0.99L, 1, 1.01L, 1.05L, 1.3L, 3});
    if (nearResonance) {
      Recalculate(rec);
      if (G().FatalErrorFlag == 0 && SpringData().fe > 0) rec.SpringData.f = factor * SpringData().fe;
    }
    return true;
  });
}

void DrawAll() {
  // The screen's own footer and border stay off: the files have neither.
  CadSettings().FooterOff = 1;
  CadSettings().BorderFlag = 0;
  if (gOptions.first == 0) {
    long id = -1;
    std::vector<std::pair<std::string, SpringFileRecords>> known = KnownSprings();
    // And the springs of findings kept as files, each in the unit system
    // its name ends in ("_u1": English).
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(ZEB1_SHEET_SPRINGS, ec))
      if (e.path().extension() == ".zeb") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    const std::size_t made = known.size();
    for (const fs::path& f : files) known.emplace_back(f.stem().string(), Example(f.string()));
    for (std::size_t k = 0; k < known.size(); ++k) {
      const auto& [stem, rec] = known[k];
      const std::size_t u = stem.rfind("_u");
      const int units = u != std::string::npos && u + 3 == stem.size() ? stem.back() - '0' : 0;
      DrawSpring(
          stem, id--, units,
          [&rec](int attempt, SpringFileRecords& r) {
            r = rec;
            return attempt == 0;
          },
          k >= made);
    }
  }
  for (long i = gOptions.first; i < gOptions.first + gOptions.count; ++i) DrawGenerated(i);
  G().CurrentFileName = "start";
}

}  // namespace
}  // namespace zeb

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s OUTDIR SEED FIRST COUNT\n", argv[0]);
    return 3;
  }
  zeb::gOptions.out = fs::absolute(argv[1]);
  zeb::gOptions.seed = std::strtoull(argv[2], nullptr, 10);
  zeb::gOptions.first = std::strtol(argv[3], nullptr, 10);
  zeb::gOptions.count = std::strtol(argv[4], nullptr, 10);
  fs::create_directories(zeb::gOptions.out);
  // The program starts as for "/CAD1:9" of a spring file, an index without
  // a drawing of its own: that index runs the springs, in a program set up
  // as the command line sets it up (configuration, tables, batch mode).
  fs::copy_file(fs::path(ZEB1_EXAMPLES) / "round_static.zeb", zeb::gOptions.out / "start.zeb",
                fs::copy_options::overwrite_existing);
  if (::chdir(zeb::gOptions.out.c_str()) != 0) return 3;
  zeb::InstallGraphicsFacade();
  zeb::xbase::InitTableEngineUnits();
  zeb::InstallTableServices();
  zeb::InstallDrawings();
  zeb::RegisterDrawing({zeb::DrawingEntry::SelectDiagram, 9}, [](int) { zeb::DrawAll(); });
  zeb::SetUi(std::make_shared<zeb::BatchUi>(stderr));
  const char* args[] = {argv[0], "start.zeb", "/CAD1:9", "/NOGUI"};
  zeb::RunProgram(4, args);
  return 0;
}
