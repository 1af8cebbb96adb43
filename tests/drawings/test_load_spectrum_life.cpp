// The life of a load spectrum as the calculation gives it, against values
// worked by hand for the REF spring, and the sheet that shows it, read
// back from its DXF.
//
// REF: d 2, Dm 20, n 8.5, L0 60, G 81500, dynamic, material d0 1,
// tauo 1000/150, tauh 500/100, Goodman slope 0.8, load case 0. By hand:
//   w = 10, k = 1 + 1.25/w + 0.875/w^2 + 1/w^3 = 1.13475
//   R = G d^4 / (8 Dm^3 n) = 1304000 / 544000 N/mm
//   lg(d/d0) = lg 2; tauoz = 1000 - 150 lg 2; tauh0 = 500 - 100 lg 2
//   knee = (tauoz - tauh0) / 0.8 = 606.19 (above every lower stress here)
//   tauk(L) = k 8 Dm R (L0 - L) / (pi d^3)
//   per level: tauhzul = tauh0 + 0.8 tauk1 - tauk1;
//   X = 11 - 4 (tauh0 + tauk2 - tauhzul - tauk1) / tauh0; Nni = 10^X
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "spring/calc.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace zeb::test {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kW = 10.0L;
constexpr long double kK = 1.0L + 1.25L / kW + 0.875L / (kW * kW) + 1.0L / (kW * kW * kW);
constexpr long double kR = 81500.0L * 16.0L / (8.0L * 8000.0L * 8.5L);
const long double kLg2 = std::log10(2.0L);
const long double kTauoz = 1000.0L - 150.0L * kLg2;
const long double kTauh0 = 500.0L - 100.0L * kLg2;

long double TauK(long double L) { return kK * 8.0L * 20.0L * kR * (60.0L - L) / (kPi * 8.0L); }

struct Hand {
  long double Nni, tNi;
  bool damaging;
};
// Below the knee (checked in the test).
Hand Level(long double L1, long double L2, long double ni, long double Tp) {
  const long double t1 = TauK(L1), t2 = TauK(L2);
  const long double permissible = kTauh0 + 0.8L * t1 - t1;
  const long double X = 11.0L - 4.0L * (kTauh0 + t2 - permissible - t1) / kTauh0;
  const long double N = std::pow(10.0L, X);
  return {N, N * Tp / (ni * 3600.0L), t2 - t1 > permissible};
}

class LoadSpectrumLifeTest : public DiagramTest {
 protected:
  void Spring(std::initializer_list<LoadLevel> levels, Real Tp) {
    MakeRefSpring();
    LoadSpectrumRecord& ls = LoadSpectrum();
    ls = LoadSpectrumRecord{};
    ls.Tp = Tp;
    for (const LoadLevel& l : levels) ls.Levels[static_cast<std::size_t>(++ls.Count)] = l;
    RunRecalculation();
    ASSERT_EQ(G().FatalErrorFlag, 0);
  }
  static bool HasText(const std::vector<DxfEntity>& es, const std::string& sub) {
    for (const DxfEntity& e : es)
      if (e.type == "TEXT" && e.Text(1).find(sub) != std::string::npos) return true;
    return false;
  }
  // Every line of a layer inside the rectangle.
  static void ExpectInside(const std::vector<DxfEntity>& es, const std::string& layer, double x0, double y0,
                           double x1, double y1) {
    int n = 0;
    for (const DxfEntity& e : es) {
      if (e.type != "LINE" || e.layer != layer) continue;
      ++n;
      for (int end : {0, 1}) {
        const double x = e.Get(10 + end), y = e.Get(20 + end);
        EXPECT_TRUE(x >= x0 - 1e-6 && x <= x1 + 1e-6 && y >= y0 - 1e-6 && y <= y1 + 1e-6)
            << "layer " << layer << " (" << x << ", " << y << ")";
      }
    }
    EXPECT_GT(n, 0) << "layer " << layer;
  }
};

TEST_F(LoadSpectrumLifeTest, ThreeLevelsByHand) {
  Spring({{50, 23, 100, 0, 0}, {55, 22, 20, 0, 0}, {58, 24, 5, 0, 0}}, 60);
  ASSERT_LT(TauK(50), (kTauoz - kTauh0) / 0.8L);  // every lower stress below the knee
  const Hand h[] = {Level(50, 23, 100, 60), Level(55, 22, 20, 60), Level(58, 24, 5, 60)};
  const long double ni[] = {100, 20, 5};
  const LoadSpectrumRecord& ls = LoadSpectrum();
  long double D = 0;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i + 1);
    ASSERT_TRUE(h[i].damaging);
    const LoadLevel& l = ls.Levels[static_cast<std::size_t>(i + 1)];
    EXPECT_NEAR(static_cast<double>(l.Nni / h[i].Nni), 1.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(l.tNi / h[i].tNi), 1.0, 1e-9);
    D += ni[i] / h[i].Nni;
  }
  // Worked out: Nni 5.311e6, 0.973e6, 0.850e6; D = 4.526e-5 per period.
  EXPECT_NEAR(static_cast<double>(D), 4.526e-5, 1e-8);
  EXPECT_EQ(ls.np, 125.0L);
  EXPECT_NEAR(static_cast<double>(ls.Np * D), 1.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(ls.Nn / (125.0L / D)), 1.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(ls.tN / (60.0L / D / 3600.0L)), 1.0, 1e-9);  // 368.2 h
  EXPECT_EQ(ls.FatigueProof, 0);

  // The sheet within its printed precision; every block inside its frame.
  const auto es = ReadDxfEntities(Write("spectrum3", 1, [](int c) { SelectDiagram(14, c); }));
  for (const char* text : {"  5.311", "  0.973", "  0.850", "   885", "   811", "  2832", "1:  41.6 %", "2:  45.4 %",
                           "3:  13.0 %", "1:  80.0 %", "2:  16.0 %", "3:   4.0 %"})
    EXPECT_TRUE(HasText(es, text)) << text;
  // Np 0.0221 Mio., Nn 2.76 Mio., tN 368 h to the printed digits.
  for (const char* text : {" 0.02", " 2.8", " 368"}) EXPECT_TRUE(HasText(es, text)) << text;
  EXPECT_FALSE(HasText(es, "100.0 %"));
  // Block diagram 70 x 50 at (12, 10); the bars 25 x 55 at (100, 5), (130, 5).
  for (int i = 1; i <= 3; ++i) {
    const std::string layer = std::to_string(15 + i);
    ExpectInside(es, layer, 0, 0, 160, 120);
  }
  for (const DxfEntity& e : es) {
    if (e.type != "LINE") continue;
    for (int end : {0, 1})
      EXPECT_TRUE(e.Get(10 + end) >= 0 && e.Get(10 + end) <= 160 && e.Get(20 + end) >= 0 && e.Get(20 + end) <= 120)
          << e.layer;
  }
}

TEST_F(LoadSpectrumLifeTest, BlocksAndSegmentsInsideTheirFrames) {
  Spring({{50, 23, 100, 0, 0}, {55, 22, 20, 0, 0}, {58, 24, 5, 0, 0}}, 60);
  const auto es = ReadDxfEntities(Write("spectrum_frames", 1, [](int c) { SelectDiagram(14, c); }));
  // Levels 1 and 3 have layers of their own ("16", "18"; level 2 shares
  // the sheet's): the four sides of the block in the plot (70 x 50 at
  // (12, 10)) and one segment line in each bar (25 x 55 at (100, 5) and
  // (130, 5)).
  for (const char* layer : {"16", "18"}) {
    int blocks = 0, bars = 0;
    for (const DxfEntity& e : es) {
      if (e.type != "LINE" || e.layer != layer) continue;
      const double x0 = e.Get(10), y0 = e.Get(20), x1 = e.Get(11), y1 = e.Get(21);
      const auto in = [&](double a, double b, double c, double d) {
        return std::min(x0, x1) >= a - 1e-6 && std::max(x0, x1) <= c + 1e-6 && std::min(y0, y1) >= b - 1e-6 &&
               std::max(y0, y1) <= d + 1e-6;
      };
      if (in(12, 10, 82, 60)) ++blocks;
      else if (in(100, 5, 125, 60) || in(130, 5, 155, 60)) ++bars;
      else ADD_FAILURE() << "layer " << layer << " line at (" << x0 << ", " << y0 << ")";
    }
    EXPECT_EQ(blocks, 4) << layer;
    EXPECT_EQ(bars, 2) << layer;
  }
  // Level 2's block: strokes 100..120 of 125 on an axis to 125 or more,
  // travel L0 - L1 = 5 .. L0 - L2 = 38 of sc = 39: x 12 + 70 * [0.8, 0.96]
  // at most, y inside 10..60.
  int rectangleSides = 0;
  for (const DxfEntity& e : es) {
    if (e.type != "LINE" || e.layer != "17") continue;
    const double x0 = e.Get(10), x1 = e.Get(11), y0 = e.Get(20), y1 = e.Get(21);
    if (std::min(x0, x1) > 12 && std::max(x0, x1) <= 82 && std::min(y0, y1) > 10 && std::max(y0, y1) < 60)
      ++rectangleSides;
  }
  EXPECT_GE(rectangleSides, 4);
}

TEST_F(LoadSpectrumLifeTest, FatigueProofLevelsPrintDauerfest) {
  // Stroke 173.2 below the permissible 435.3: fatigue-proof.
  Spring({{50, 40, 100, 0, 0}, {50, 45, 10, 0, 0}}, 60);
  const LoadSpectrumRecord& ls = LoadSpectrum();
  EXPECT_EQ(ls.FatigueProof, 1);
  EXPECT_EQ(ls.np, 110.0L);
  EXPECT_EQ(ls.Nn, 0.0L);
  EXPECT_EQ(ls.tN, 0.0L);
  EXPECT_GT(ls.Levels[1].Nni, 1e7L);
  const auto es = ReadDxfEntities(Write("spectrum_proof", 1, [](int c) { SelectDiagram(14, c); }));
  EXPECT_TRUE(HasText(es, "dauerfest"));
  EXPECT_TRUE(HasText(es, " > 10"));
  EXPECT_FALSE(HasText(es, "100.0 %"));  // no damage to share

  // One damaging level beside a fatigue-proof one: only it counts.
  Spring({{50, 23, 100, 0, 0}, {50, 40, 1000, 0, 0}}, 60);
  const Hand h = Level(50, 23, 100, 60);
  EXPECT_EQ(LoadSpectrum().FatigueProof, 0);
  EXPECT_NEAR(static_cast<double>(LoadSpectrum().Np * 100.0L / h.Nni), 1.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(LoadSpectrum().Nn / (LoadSpectrum().Np * 1100.0L)), 1.0, 1e-9);
}

TEST_F(LoadSpectrumLifeTest, StaticSpringOrNoFatigueDataSaysSo) {
  for (int variant = 0; variant < 2; ++variant) {
    SCOPED_TRACE(variant);
    MakeRefSpring();
    if (variant == 0) SpringData().LoadType = 1;
    else ZEBWST_Record().d0 = MakeReal48(0);  // no fatigue laws
    LoadSpectrumRecord& ls = LoadSpectrum();
    ls = LoadSpectrumRecord{};
    ls.Count = 2, ls.Tp = 60;
    ls.Levels[1] = {50, 23, 100, 0, 0};
    ls.Levels[2] = {55, 22, 20, 0, 0};
    RunRecalculation();
    ASSERT_EQ(G().FatalErrorFlag, 0);
    EXPECT_EQ(ls.np, 120.0L);
    EXPECT_EQ(ls.Np, 0.0L);
    EXPECT_EQ(ls.Nn, 0.0L);
    EXPECT_EQ(ls.tN, 0.0L);
    EXPECT_EQ(ls.FatigueProof, 0);
    EXPECT_EQ(ls.Levels[1].Nni, 0.0L);
    EXPECT_EQ(ls.Levels[2].tNi, 0.0L);
    const auto es = ReadDxfEntities(Write("spectrum_none", 1, [](int c) { SelectDiagram(14, c); }));
    EXPECT_TRUE(HasText(es, "nicht berechnet"));
    EXPECT_TRUE(HasText(es, variant == 0 ? "statische Last" : "kein Goodman"));
    EXPECT_FALSE(HasText(es, "0.000"));
    EXPECT_FALSE(HasText(es, "100.0 %"));
  }
}

// ------------------------------------------------------------ the valve spring

// examples/valve_spring.zeb: EN 10270-2 FDC, d 4, Dm 26, n 6.5, L0 60,
// Lc 34.25, dynamic. Its table row as materials.csv gives it.
class FdcTables : public RecordingTables {
 public:
  bool LoadMaterialRow(int row) override {
    RecordingTables::LoadMaterialRow(row);
    if (row != 6) return false;
    MaterialRecord m = DefaultMaterialRecord();
    m.Name1 = "EN 10270-2 FDC";
    m.G = 79500, m.E = 206000, m.Density = MakeReal48(7.85L);
    m.Rm0 = 1834, m.DR0 = MakeReal48(1), m.RmMax = 1900, m.RmSlope = 488;
    m.d0 = MakeReal48(1);
    m.Unpeened = FatigueGroup{889, 263, 375, 117, MakeReal48(0.7683L)};
    m.dmin = MakeReal48(0.5L), m.dmax = MakeReal48(17);
    m.MaterialNumber = 6;
    ZEBWST_Record() = m;
    return true;
  }
};

// The valve spring's damage per stroke by hand: Goodman of FDC at d 4,
// tauoz = 889 - 263 lg 4, tauh0 = 375 - 117 lg 4, slope 0.7683;
// R = G d^4 / (8 Dm^3 n), k of w = 6.5; below the knee the permissible
// stroke is tauh0 - (1 - slope) tauk1 and N = 10^(11 - 4 (tauh0 + tauk2 -
// permissible - tauk1) / tauh0).
long double ValveDamage(long double L1, long double L2, long double ni) {
  const long double w = 6.5L, k = 1 + 1.25L / w + 0.875L / (w * w) + 1 / (w * w * w);
  const long double R = 79500.0L * 256 / (8 * 26.0L * 26 * 26 * 6.5L);
  const long double lg4 = std::log10(4.0L), tauh0 = 375 - 117 * lg4, tauoz = 889 - 263 * lg4;
  auto tau = [&](long double L) { return k * 8 * 26 * R * (60 - L) / (kPi * 64); };
  const long double t1 = tau(L1), t2 = tau(L2);
  EXPECT_LT(t1, (tauoz - tauh0) / 0.7683L);  // below the knee
  const long double permissible = tauh0 - (1 - 0.7683L) * t1;
  EXPECT_GT(t2 - t1, permissible);  // a damaging level
  return ni / std::pow(10.0L, 11 - 4 * (tauh0 + t2 - permissible - t1) / tauh0);
}

class ValveSpectrumTest : public LoadSpectrumLifeTest {
 protected:
  void SetUp() override {
    LoadSpectrumLifeTest::SetUp();
    SetTables(std::make_shared<FdcTables>());
  }
  // The example read back, with the levels and period given.
  void Valve(std::initializer_list<LoadLevel> levels, Real Tp) {
    ReadSpringFile((std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "examples" /
                    "valve_spring.zeb")
                       .string());
    ASSERT_EQ(G().AbortFlag, 0);
    ASSERT_NEAR(static_cast<double>(SpringData().Lc), 34.255, 1e-6);  // printed 34.25
    ASSERT_NEAR(static_cast<double>(SpringData().L0), 60, 1e-6);
    LoadSpectrumRecord& ls = LoadSpectrum();
    ls = LoadSpectrumRecord{};
    ls.Tp = Tp;
    for (const LoadLevel& l : levels) ls.Levels[static_cast<std::size_t>(++ls.Count)] = l;
    RunCalculation();
    ASSERT_EQ(G().FatalErrorFlag, 0);
  }
  static bool Posted(const std::string& text) {
    const ErrorMessageListT& list = G().ErrorMessageList;
    for (std::uint16_t i = 1; i <= list.count; ++i)
      if (list.slot[i] == text) return true;
    return false;
  }
  static int SpectrumMessages() {
    int n = 0;
    const ErrorMessageListT& list = G().ErrorMessageList;
    for (std::uint16_t i = 1; i <= list.count; ++i)
      if (list.slot[i].rfind("Fehler : Lastkollektiv", 0) == 0) ++n;
    return n;
  }
};

// Level 1 from 54 to 30 mm runs below Lc (tauk2 841 N/mm² there), level 2
// from 65 to 45 mm starts beyond L0: both refused, no life, and the sheet
// says so with its blocks inside the plot.
TEST_F(ValveSpectrumTest, LevelsOutsideTheTravelGiveNoLife) {
  Valve({{54, 30, 100, 0, 0}, {65, 45, 100, 0, 0}}, 10);
  const LoadSpectrumRecord& ls = LoadSpectrum();
  EXPECT_TRUE(Posted("Fehler : Lastkollektiv Stufe 1: L < Lc !"));
  EXPECT_TRUE(Posted("Fehler : Lastkollektiv Stufe 2: L > L0 !"));
  EXPECT_EQ(SpectrumMessages(), 2);
  EXPECT_EQ(ls.Levels[1].Refused, 1);
  EXPECT_EQ(ls.Levels[2].Refused, 1);
  EXPECT_EQ(ls.Np, 0.0L);
  EXPECT_EQ(ls.Nn, 0.0L);
  EXPECT_EQ(ls.tN, 0.0L);
  EXPECT_EQ(ls.FatigueProof, 0);
  EXPECT_EQ(ls.Levels[1].Nni, 0.0L);
  EXPECT_EQ(ls.Levels[2].Nni, 0.0L);

  const auto es = ReadDxfEntities(Write("spectrum_outside", 1, [](int c) { SelectDiagram(14, c); }));
  EXPECT_TRUE(HasText(es, "nicht berechnet"));
  EXPECT_TRUE(HasText(es, " Stufe 1 ung"));
  EXPECT_TRUE(HasText(es, " Fehler"));
  for (const DxfEntity& e : es) {
    if (e.type == "TEXT") {
      EXPECT_NE(e.Text(1), " Mio.") << "a result row";
    }
  }
  EXPECT_FALSE(HasText(es, "0.000"));
  EXPECT_FALSE(HasText(es, "100.0 %"));
  // Level 1's block (layer 16) clipped to the plot, 70 x 50 at (12, 10);
  // its stroke-share segment in the bar at (100, 5).
  int block = 0;
  for (const DxfEntity& e : es) {
    if (e.type != "LINE") continue;
    for (int end : {0, 1})
      EXPECT_TRUE(e.Get(10 + end) >= 0 && e.Get(10 + end) <= 160 && e.Get(20 + end) >= 0 && e.Get(20 + end) <= 120)
          << e.layer;
    if (e.layer != "16") continue;
    const double x0 = e.Get(10), y0 = e.Get(20), x1 = e.Get(11), y1 = e.Get(21);
    const bool plot = std::min(x0, x1) >= 12 - 1e-6 && std::max(x0, x1) <= 82 + 1e-6 && std::min(y0, y1) >= 10 - 1e-6 &&
                      std::max(y0, y1) <= 60 + 1e-6;
    const bool bar = std::min(x0, x1) >= 100 - 1e-6 && std::max(x0, x1) <= 125 + 1e-6 &&
                     std::min(y0, y1) >= 5 - 1e-6 && std::max(y0, y1) <= 60 + 1e-6;
    EXPECT_TRUE(plot || bar) << "(" << x0 << ", " << y0 << ") - (" << x1 << ", " << y1 << ")";
    if (plot) ++block;
  }
  EXPECT_EQ(block, 4);
}

// Each kind of level refused with its message, the others and the bounds
// Lc and L0 themselves accepted; a period of 0 gives cycles but no hours.
TEST_F(ValveSpectrumTest, RefusedLevelsAndPeriodEachWithItsMessage) {
  const LoadLevel ok{50, 40, 20, 0, 0};
  struct Case {
    LoadLevel bad;
    const char* message;
  };
  for (const Case& c : {Case{{50, 34.2L, 5, 0, 0}, "Fehler : Lastkollektiv Stufe 2: L < Lc !"},
                        Case{{60.1L, 45, 5, 0, 0}, "Fehler : Lastkollektiv Stufe 2: L > L0 !"},
                        Case{{40, 45, 5, 0, 0}, "Fehler : Lastkollektiv Stufe 2: L2 >= L1 !"},
                        Case{{45, 45, 5, 0, 0}, "Fehler : Lastkollektiv Stufe 2: L2 >= L1 !"},
                        Case{{50, 40, -5, 0, 0}, "Fehler : Lastkollektiv Stufe 2: ni < 0 !"}}) {
    SCOPED_TRACE(c.message);
    Valve({ok, c.bad}, 10);
    EXPECT_TRUE(Posted(c.message));
    EXPECT_EQ(SpectrumMessages(), 1);
    EXPECT_EQ(LoadSpectrum().Levels[1].Refused, 0);
    EXPECT_EQ(LoadSpectrum().Levels[2].Refused, 1);
    EXPECT_GT(LoadSpectrum().Levels[1].Nni, 0.0L);  // the good level keeps its own life
    EXPECT_EQ(LoadSpectrum().Nn, 0.0L);
    EXPECT_EQ(LoadSpectrum().tN, 0.0L);
  }

  // The whole travel, Lc to L0 as printed, is a level like any other.
  Valve({ok, {60, 34.25L, 5, 0, 0}}, 10);
  EXPECT_EQ(SpectrumMessages(), 0);
  EXPECT_GT(LoadSpectrum().Nn, 0.0L);
  EXPECT_GT(LoadSpectrum().tN, 0.0L);

  // No period: the cycles to fracture stand, the hours do not.
  Valve({ok, {50, 39, 5, 0, 0}}, 0);
  EXPECT_TRUE(Posted("Fehler : Lastkollektiv Tp <= 0 !"));
  EXPECT_EQ(SpectrumMessages(), 1);
  const LoadSpectrumRecord& ls = LoadSpectrum();
  const long double D = ValveDamage(50, 40, 20) + ValveDamage(50, 39, 5);
  // The spring read back from its file: rate and stresses to about 1e-9.
  EXPECT_NEAR(static_cast<double>(ls.Nn * D / 25), 1.0, 1e-6);
  EXPECT_EQ(ls.tN, 0.0L);
  EXPECT_EQ(ls.Levels[1].tNi, 0.0L);
  EXPECT_GT(ls.Levels[1].Nni, 0.0L);
}

// The damage shares (ni/Nni)/D, worked by hand, 41.3 / 34.6 / 24.1 %, are
// the same with a period of 10 s and of 0; without a period the tNi and
// tN cells stay empty.
TEST_F(ValveSpectrumTest, DamageSharesDoNotDependOnThePeriod) {
  const long double d1 = ValveDamage(50, 40, 20), d2 = ValveDamage(56, 44, 10), d3 = ValveDamage(50, 39, 5);
  const long double D = d1 + d2 + d3;
  EXPECT_NEAR(static_cast<double>(100 * d1 / D), 41.3, 0.05);
  EXPECT_NEAR(static_cast<double>(100 * d2 / D), 34.6, 0.05);
  EXPECT_NEAR(static_cast<double>(100 * d3 / D), 24.1, 0.05);
  for (Real Tp : {10.0L, 0.0L}) {
    SCOPED_TRACE(static_cast<double>(Tp));
    Valve({{50, 40, 20, 0, 0}, {56, 44, 10, 0, 0}, {50, 39, 5, 0, 0}}, Tp);
    const LoadSpectrumRecord& ls = LoadSpectrum();
    EXPECT_NEAR(static_cast<double>(ls.Levels[1].Damage / d1), 1.0, 1e-6);
    EXPECT_NEAR(static_cast<double>(ls.Nn * D / 35), 1.0, 1e-6);
    const auto es = ReadDxfEntities(Write("spectrum_shares", 1, [](int c) { SelectDiagram(14, c); }));
    for (const char* text : {"1:  41.3 %", "2:  34.6 %", "3:  24.1 %", "1:  57.1 %", "2:  28.6 %", "3:  14.3 %"})
      EXPECT_TRUE(HasText(es, text)) << text;
    EXPECT_FALSE(HasText(es, "100.0 %"));
    // The damage bar (130..155 x 5..60) filled from the top: segment lines
    // at 60 - 55 (41.3 %) and below that 55 (34.6 %); the last ends on the
    // bottom.
    const double y1 = 60 - 55 * static_cast<double>(d1 / D), y2 = y1 - 55 * static_cast<double>(d2 / D);
    int at1 = 0, at2 = 0;
    for (const DxfEntity& e : es) {
      if (e.type != "LINE" || e.Get(10) != 130 || e.Get(11) != 155 || e.Get(20) != e.Get(21)) continue;
      EXPECT_GE(e.Get(20), 5 - 1e-6);
      if (std::fabs(e.Get(20) - y1) < 1e-3) ++at1;
      if (std::fabs(e.Get(20) - y2) < 1e-3) ++at2;
    }
    EXPECT_EQ(at1, 1);
    EXPECT_EQ(at2, 1);
    EXPECT_EQ(HasText(es, "Lebensdauer"), Tp > 0);
    if (Tp == 0) {
      EXPECT_EQ(ls.Levels[1].tNi, 0.0L);
      for (const DxfEntity& e : es) {
        if (e.type == "TEXT") {
          EXPECT_NE(e.Text(1), " h") << "an hours row";
        }
      }
    }
  }
}

// A level without strokes has empty Nni and tNi cells; the fatigue-proof
// spectrum's word stays inside the result table's first column.
TEST_F(ValveSpectrumTest, EmptyCellsAndDauerfestInItsColumn) {
  Valve({{50, 40, 20, 0, 0}, {50, 45, 0, 0, 0}}, 10);
  EXPECT_EQ(SpectrumMessages(), 0);
  auto es = ReadDxfEntities(Write("spectrum_zero", 1, [](int c) { SelectDiagram(14, c); }));
  EXPECT_FALSE(HasText(es, "0.000"));
  for (const DxfEntity& e : es) {
    if (e.type == "TEXT") {
      EXPECT_NE(e.Text(1), "      0") << "a tNi of 0";  // the ni cell is one wider
    }
  }

  Valve({{50, 45, 20, 0, 0}}, 10);  // stroke below the permissible one
  ASSERT_EQ(LoadSpectrum().FatigueProof, 1);
  es = ReadDxfEntities(Write("spectrum_proof_word", 1, [](int c) { SelectDiagram(14, c); }));
  bool found = false;
  for (const DxfEntity& e : es) {
    if (e.type != "TEXT" || e.Text(1) != " dauerfest") continue;
    found = true;
    // The result table at x 90 has columns of 16, 4, 5 and 6 characters of
    // 0.9 x 2.5 mm; the word stands in the third and runs on into the
    // empty fourth, a text character being 0.75 x 2.5 mm.
    EXPECT_EQ(e.Get(10), 90 + (16 + 4) * 0.9 * 2.5);
    EXPECT_LE(e.Get(10) + 10 * 0.75 * 2.5, 90 + (16 + 4 + 5 + 6) * 0.9 * 2.5);
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace zeb::test
