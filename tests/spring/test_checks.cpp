// Checks that only post messages: stresses against the permissible ones,
// validity ranges of material and wire standard, scope of EN 15800 and
// DIN 2096; and the message lists of whole calculations.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "platform/oem_literal.h"
#include "spring/calc.h"
#include "spring/checks.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring/support_ref.h"

namespace zeb {
namespace {

using Texts = std::vector<std::string>;

Texts Messages() {
  const auto& list = G().ErrorMessageList;
  return {list.slot.begin() + 1, list.slot.begin() + 1 + list.count};
}

class CheckTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    test::ResetSpringRecords();
    ZEBWST_Record() = test::RefMaterialRow();  // dmin 0.5, dmax 10, Tmax 120
    // A prepared spring that passes every check of CheckPermissibleStress.
    SpringDataRecord& s = SpringData();
    s.d = 2;
    s.h = 2;
    s.Rm = 1800;
    s.tauzul = 1000;
    s.tau1 = 200;
    s.tau2 = 500;
    s.tauk1 = 220;
    s.tauk2 = 550;
    s.taukh = 330;
    s.tauhzul = 400;
    s.LoadType = 2;
    s.T = 20;
    s.MaterialSel = 0;
    s.MaterialStd = 0;
    s.WireStd = 9;
    s.ShotPeened = 'N';
    s.CrossSection = 1;
  }
  Texts Check() {
    ResetErrorMessages();
    CheckPermissibleStress();
    return Messages();
  }
};

TEST_F(CheckTest, PreparedSpringPasses) {
  EXPECT_EQ(Texts{}, Check());
  EXPECT_EQ(0, G().FatalErrorFlag);
}

TEST_F(CheckTest, MissingStrengthIsFatal) {
  for (Real rm : {Real{0}, Real{0.5L}, Real{-0.99L}}) {
    SpringData().Rm = rm;
    EXPECT_EQ(Texts{"Fatal  : Rm = 0 !"}, Check());
    EXPECT_EQ(1, G().FatalErrorFlag);
  }
  SpringData().Rm = 1;
  EXPECT_EQ(Texts{}, Check());
}

TEST_F(CheckTest, StaticSpringIsJudgedOnTau2AndDynamicOnTauk2) {
  SpringDataRecord& s = SpringData();
  s.tauzul = 850;
  s.tau2 = 1000;
  s.tau1 = 900;
  s.tauk2 = 1100;
  s.tauk1 = 870;
  s.taukh = 230;
  s.tauhzul = 200;
  s.LoadType = 1;
  EXPECT_EQ((Texts{"Fehler : tau2>tau zul! S=0.85", "Fehler : tau1>tau zul !"}), Check());
  s.LoadType = 2;
  EXPECT_EQ((Texts{"Fehler : tauk2>tau zul! S=0.77", "Fehler : tauk1>tau zul !",
                   "Fehler : taukh>tauhzul! S=0.87"}),
            Check());
  EXPECT_EQ(0, G().FatalErrorFlag);
  // Warnings off keep the two stress errors.
  s.WarningsOn = 0;
  EXPECT_EQ((Texts{"Fehler : tauk2>tau zul! S=0.77", "Fehler : tauk1>tau zul !"}), Check());
  s.LoadType = 1;
  EXPECT_EQ((Texts{"Fehler : tau2>tau zul! S=0.85", "Fehler : tau1>tau zul !"}), Check());
}

TEST_F(CheckTest, TemperatureWarningAboveSixTenths) {
  SpringDataRecord& s = SpringData();
  s.T = 60;
  s.tauk2 = 650;  // 0.65 of tau zul
  EXPECT_EQ(Texts{"Warnung: tau(T=60°C)"_oem}, Check());
  s.tauk2 = 600;  // exactly 0.6
  EXPECT_EQ(Texts{}, Check());
  s.tauk2 = 650;
  s.T = 50;
  EXPECT_EQ(Texts{}, Check());
  s.T = 75.5L;
  EXPECT_EQ(Texts{"Warnung: tau(T=75.5°C)"_oem}, Check());
  s.WarningsOn = 0;
  EXPECT_EQ(Texts{}, Check());
}

TEST_F(CheckTest, DiameterRangesOfTheMaterialGroups) {
  struct Case {
    int sel, std;
    Real d;
    const char* text;  // nullptr: no message
  };
  const Case cases[] = {
      {2, 2, 7.3L, nullptr},          {2, 2, 7.6L, "VD  DIN: 1<d<7"}, {2, 1, 14.5L, "FD  DIN: 1<d<14"},
      {1, 1, 10, nullptr},            {1, 1, 10.01L, "DIN: 1<d<10"},  {1, 2, 0.29L, "DIN: 0.3<d<20"},
      {1, 3, 1.9L, "DIN: 2<d<20"},    {1, 4, 21, "DIN: 0.07<d<20"},   {1, 5, 50, nullptr},
      {3, 0, 6.9L, "DIN: 7<d<80"},    {6, 1, 25, "DIN: 0.07<d<20"},   {7, 1, 50, nullptr},
  };
  SpringDataRecord& s = SpringData();
  s.WireStd = 16;
  for (const Case& c : cases) {
    s.MaterialSel = c.sel;
    s.MaterialStd = c.std;
    s.d = c.d;
    EXPECT_EQ(c.text ? Texts{c.text} : Texts{}, Check()) << c.sel << "/" << c.std << " d " << double(c.d);
  }
  s.MaterialSel = 2;
  s.MaterialStd = 2;
  s.d = 7.6L;
  s.WarningsOn = 0;
  EXPECT_EQ(Texts{}, Check());
}

TEST_F(CheckTest, TableMaterialRanges) {
  SpringDataRecord& s = SpringData();
  s.d = 0.4L;
  EXPECT_EQ(Texts{"Warnung: d<dmin (0.5)"}, Check());
  s.d = 10.5L;
  EXPECT_EQ(Texts{"Warnung: d>dmax (10)"}, Check());
  s.d = 10;
  s.T = 130;
  EXPECT_EQ(Texts{"Warnung: T>Tmax (120°)"_oem}, Check());
  s.T = 120;
  EXPECT_EQ(Texts{}, Check());
  // Relaxation limits only with a relaxation value.
  RelaxationRecord().T1 = 20;
  RelaxationRecord().T2 = 100;
  s.T = 110;
  EXPECT_EQ(Texts{}, Check());
  s.F2Relax = 3;
  EXPECT_EQ(Texts{"Warnung: T>T2relax (100°)"_oem}, Check());
  s.T = 10;
  EXPECT_EQ(Texts{"Warnung: T<T1relax (20°)"_oem}, Check());
  // Not a table material, or warnings off: none of these.
  s.MaterialSel = 11;
  s.d = 0.4L;
  EXPECT_EQ(Texts{}, Check());
  s.MaterialSel = 0;
  s.WarningsOn = 0;
  EXPECT_EQ(Texts{}, Check());
}

TEST_F(CheckTest, TemperatureLimitInEnglishUnits) {
  G().UnitSystem = 1;
  SpringData().T = 130;
  EXPECT_EQ(Texts{"Warnung: T>Tmax (248°)"_oem}, Check());
}

TEST_F(CheckTest, WireStandardRangesPeeningAndAspectRatio) {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11;
  s.WireStd = 1;
  s.d = 0.25L;
  EXPECT_EQ(Texts{"DIN 2076 0.3<d<20"}, Check());
  s.d = 0.3L;
  EXPECT_EQ(Texts{}, Check());
  s.WireStd = 2;
  s.d = 21;
  EXPECT_EQ(Texts{"DIN 2076 0.07<d<20"}, Check());
  s.WireStd = 3;
  s.d = 6;
  EXPECT_EQ(Texts{"DIN 2077  7<d<80"}, Check());
  s.d = 80;
  EXPECT_EQ(Texts{}, Check());

  s.WireStd = 16;
  s.ShotPeened = 'J';
  s.d = 0.9L;
  EXPECT_EQ(Texts{"Warnung: d<1 (Kugelstrahlen !)"}, Check());
  s.d = 1;
  EXPECT_EQ(Texts{}, Check());

  s.CrossSection = 4;
  s.d = 1;
  s.h = 5;
  EXPECT_EQ(Texts{}, Check());
  s.h = 5.1L;
  EXPECT_EQ(Texts{"Warnung: h/b > 5 !"}, Check());
  s.WarningsOn = 0;
  s.d = 6;
  s.h = 1;
  EXPECT_EQ(Texts{"Warnung: h/b > 5 !"}, Check());
  s.h = 0;
  EXPECT_EQ(Texts{}, Check());
  s.CrossSection = 2;
  s.h = 1;
  EXPECT_EQ(Texts{}, Check());
}

class RangeTest : public test::BaseTest {
 protected:
  Texts Ranges(int grade, Real n, Real L0, Real d, Real Dm) {
    ResetErrorMessages();
    CheckStandardRanges(grade, grade, grade, n, L0, d, Dm, grade, grade, grade);
    return Messages();
  }
};

TEST_F(RangeTest, En15800Scope) {
  EXPECT_EQ(Texts{}, Ranges(2, 2, 320, 16, 64));    // every bound passes
  EXPECT_EQ(Texts{}, Ranges(3, 5, 3.15L, 0.07L, 0.63L));
  EXPECT_EQ(Texts{}, Ranges(2, 5, 630, 10, 200));   // w 20
  EXPECT_EQ(Texts{"Warnung: EN15800: 4 < w < 20"}, Ranges(2, 5, 30, 2, 7));  // w 3.5, once
  EXPECT_EQ((Texts{"Warnung: EN15800: 0.07<d<16", "Warnung: EN15800: 0.63<Dm<200",
                   "Warnung: EN15800: L0 < 630mm", "Warnung: EN15800: n >= 2",
                   "Warnung: EN15800: 4 < w < 20"}),
            Ranges(2, 1.5L, 700, 0.05L, 250));
  // One grade of 1..3 is enough; none, no texts.
  ResetErrorMessages();
  CheckStandardRanges(0, 0, 0, 5, 30, 2, 7, 0, 0, 3);
  EXPECT_EQ(Texts{"Warnung: EN15800: 4 < w < 20"}, Messages());
  EXPECT_EQ(Texts{}, Ranges(5, 1, 1000, 0.01L, 500));
  EXPECT_EQ(Texts{}, Ranges(0, 1, 1000, 0.01L, 500));
  // Warnings off does not matter.
  SpringData().WarningsOn = 0;
  EXPECT_EQ(Texts{"Warnung: EN15800: 4 < w < 20"}, Ranges(2, 5, 30, 2, 7));
}

TEST_F(RangeTest, Din2096Scope) {
  EXPECT_EQ(Texts{}, Ranges(4, 3, 800, 8, 96));  // w 12, De 104
  EXPECT_EQ(Texts{}, Ranges(4, 3, 800, 60, 180));  // w 3
  EXPECT_EQ((Texts{"Warnung: DIN2096: De <= 460mm", "Warnung: DIN2096: 3 < w < 12"}),
            Ranges(4, 5, 500, 12, 450));  // De 462
  EXPECT_EQ((Texts{"Warnung: DIN2096: De <= 460mm", "Warnung: DIN2096: 8 < d < 60",
                   "Warnung: DIN2096: L0 <= 800mm", "Warnung: DIN2096: n >= 3"}),
            Ranges(4, 2, 900, 70, 500));
}

TEST_F(RangeTest, GradeOneSquarenessNeedsCompactSprings) {
  auto e1e2 = [](int gradeE1, int gradeE2, Real L0, Real d, Real Dm) {
    ResetErrorMessages();
    CheckStandardRanges(5, 5, 5, 5, L0, d, Dm, gradeE2, gradeE1, 5);
    return Messages();
  };
  const Texts text{"Warnung: EN15800: e1,e2 G.1 w<12 la.<5"};
  EXPECT_EQ(Texts{}, e1e2(1, 5, 100, 2, 24));  // w 12, L0/Dm 4.17
  EXPECT_EQ(Texts{}, e1e2(1, 2, 100, 4, 20));  // L0/Dm 5
  EXPECT_EQ(text, e1e2(1, 5, 100, 2, 26));     // w 13
  EXPECT_EQ(text, e1e2(5, 1, 121, 2, 20));     // L0/Dm 6.05
  EXPECT_EQ(Texts{}, e1e2(2, 2, 121, 2, 20));  // grade 2: EN 15800 alone, in scope
}

TEST_F(RangeTest, NoDiameterNoCheck) {
  EXPECT_EQ(Texts{}, Ranges(2, 1, 1000, 0, 20));
  EXPECT_EQ(Texts{}, Ranges(4, 1, 1000, 2, 0));
  EXPECT_EQ(Texts{}, Ranges(1, 1, 1000, -2, -20));
}

// Message lists of whole calculations, on the REF spring.
class CalcMessageTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    test::ResetSpringRecords();
    test::MakeRefSpring();
    RunRecalculation();
    ASSERT_EQ(0, G().FatalErrorFlag);
  }
  static Texts CheckWith(Real q) {
    ResetErrorMessages();
    CheckCalculatedSpring(q);
    return Messages();
  }
  static bool Has(const Texts& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
};

TEST_F(CalcMessageTest, FrequencyRatioBounds) {
  SpringData().WarningsOn = 0;  // the REF spring's warnings aside
  EXPECT_EQ(Texts{"Warnung: Überkrit. Bereich"_oem}, CheckWith(1.15L));
  EXPECT_EQ(Texts{}, CheckWith(0.85L));
  EXPECT_EQ(Texts{"Warnung: Resonanzbereich !"}, CheckWith(1.0L));
  EXPECT_EQ(Texts{"Warnung: Überkrit. Bereich"_oem}, CheckWith(3));
}

TEST_F(CalcMessageTest, BucklingTravelAgainstS2AndSn) {
  SpringDataRecord& s = SpringData();
  ASSERT_LT(s.s2, s.sn);
  const std::string knickt = "Warnung: Feder knickt !";
  const std::string beiSn = "Warnung: Knickung bei sn !";
  s.sk = s.s2 - 0.01L;
  Texts t = CheckWith(0);
  EXPECT_TRUE(Has(t, knickt));
  EXPECT_FALSE(Has(t, beiSn));
  s.sk = s.s2;
  t = CheckWith(0);
  EXPECT_FALSE(Has(t, knickt));
  EXPECT_TRUE(Has(t, beiSn));
  s.sk = 0.5L * (s.s2 + s.sn);
  t = CheckWith(0);
  EXPECT_FALSE(Has(t, knickt));
  EXPECT_TRUE(Has(t, beiSn));
  s.sk = s.sn;
  t = CheckWith(0);
  EXPECT_FALSE(Has(t, knickt));
  EXPECT_FALSE(Has(t, beiSn));
}

TEST_F(CalcMessageTest, EqualForcesStopWithTheFlagAndKeepTheTravels) {
  SpringDataRecord& s = SpringData();
  const Real L0 = s.L0, s1 = s.s1, s2 = s.s2;
  s.F1 = 50;
  s.F2 = 50;
  s.sh = 8;
  CalculateSpring();
  EXPECT_EQ(Texts{"Fatal  : F2 <= F1 !"}, Messages());
  EXPECT_EQ(1, G().FatalErrorFlag);
  EXPECT_EQ(L0, s.L0);
  EXPECT_EQ(s1, s.s1);
  EXPECT_EQ(s2, s.s2);
}

// Texts that stay when warnings are off, in the order of the checks; with
// warnings on the same data set gives more, and the first twelve stay.
TEST_F(CalcMessageTest, WarningsOffKeepTheirTextsAndTheListKeepsTwelve) {
  SpringDataRecord& s = SpringData();
  ASSERT_NEAR(6.375, static_cast<double>(s.Ln - s.Lc), 1e-9);
  s.L2 = s.Lc - 1;  // S = -1/6.375
  s.F1 = 100;
  s.L1 = 10;
  s.n = 0.5L;
  s.TolF2Minus = -100;
  s.F2Relax = 200;
  s.nue = 0.5L;
  TransverseLoad().FQ = 1;
  TransverseLoad().y[2] = -1;

  s.WarningsOn = 0;
  const Texts off{"Fehler : L2<Lc !",
                  "Warnung: L2<Ln ! (S=-0.16)",
                  "Fehler : F2<F1 !",
                  "Fehler : L2>L1 !",
                  "Warnung: Überkrit. Bereich"_oem,
                  "Fehler : FQ: Feder knickt !",
                  "Warnung: Windungszahl !",
                  "Warnung: EN15800: n >= 2",
                  "Warnung: F2 min < 0 !",
                  "Fehler : F2,48h < F2 min",
                  "Warnung: F2,48h < F2 min",
                  "Warnung: FQ>0, nue<>1 !"};
  EXPECT_EQ(off, CheckWith(1.2L));

  s.WarningsOn = 1;
  const Texts on{"Fehler : L2<Lc !",
                 "Warnung: L2<Ln ! (S=-0.16)",
                 "Fehler : F2<F1 !",
                 "Warnung: F2min<F1max !",
                 "Fehler : L2>L1 !",
                 "Warnung: Überkrit. Bereich"_oem,
                 "Warnung: Feder knickt !",
                 "Fehler : FQ: Feder knickt !",
                 "Warnung: Kugelstrahlen !",
                 "Warnung: Windungszahl !",
                 "Warnung: T>T2relax (0°)"_oem,
                 "Warnung: EN15800: n >= 2"};
  EXPECT_EQ(on, CheckWith(1.2L));
  EXPECT_EQ(12, G().ErrorMessageList.count);
}

TEST_F(CalcMessageTest, ZeroStressAtPointTwoIsFatal) {
  SpringDataRecord& s = SpringData();
  s.F1 = -50;
  s.F2 = 0;
  s.sh = 8;
  CalculateSpring();
  EXPECT_EQ(1, G().FatalErrorFlag);
  EXPECT_TRUE(Has(Messages(), "Fehler : tau2=0 !"));
}

TEST_F(CalcMessageTest, HotSpringGetsOneTemperatureWarning) {
  SpringDataRecord& s = SpringData();
  s.T = 60;
  for (Real ratio : {Real{0.65L}, Real{0.75L}}) {
    s.tauk2 = ratio * s.tauzul;
    const Texts t = CheckWith(0);
    EXPECT_EQ(1, std::count(t.begin(), t.end(), "Warnung: tau(T=60°C)"_oem.str())) << double(ratio);
    // Posted by the permissible-stress check, before the force checks.
    const auto tau = std::find(t.begin(), t.end(), "Warnung: tau(T=60°C)"_oem.str());
    const auto fn = std::find(t.begin(), t.end(), "Warnung: F2 max > Fn !");
    ASSERT_NE(t.end(), fn);
    EXPECT_LT(tau, fn);
  }
  s.tauk2 = 0.6L * s.tauzul;
  EXPECT_FALSE(Has(CheckWith(0), "Warnung: tau(T=60°C)"_oem));
}

TEST_F(CalcMessageTest, MissingGoodmanSlopeStillGivesTheSpringsValues) {
  ZEBWST_Record().Unpeened.GoodmanSlope = MakeReal48(0);
  SpringDataRecord& s = SpringData();
  s.Sh = s.N = s.S1 = s.S2 = s.tauoz = 77;
  RunRecalculation();
  EXPECT_EQ(0, G().FatalErrorFlag);
  const Texts t = Messages();
  EXPECT_TRUE(Has(t, "Fehler : ZEBWST Goodman"));
  EXPECT_NEAR(6.078433713368033, static_cast<double>(s.S1), 1e-9);
  EXPECT_NEAR(2.026144571122678, static_cast<double>(s.S2), 1e-9);
  EXPECT_EQ(0, s.tauhzul);
  EXPECT_EQ(0, s.Sh);
  EXPECT_EQ(0, s.N);
  EXPECT_NEAR(954.8455006504029, static_cast<double>(s.tauoz), 1e-9);
  // The calculation went on past the fatigue values.
  EXPECT_NEAR(207.92059904595956, static_cast<double>(ResonanceResult().omega0), 1e-6);
}

}  // namespace
}  // namespace zeb
