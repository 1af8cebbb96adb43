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
#include "ref_spring.h"
#include "spring/calc.h"
#include "spring/checks.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"

namespace zeb {
namespace {

using Texts = std::vector<std::string>;
using test::Messages;

class CheckTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    Prepare();
  }
  // A spring that passes every check of CheckPermissibleStress.
  static void Prepare() {
    ResetBaseGlobals();
    test::ResetSpringRecords();
    ZEBWST_Record() = test::RefMaterialRow();  // dmin 0.5, dmax 10, Tmax 120
    SpringDataRecord& s = SpringData();
    s.d = s.h = 2;
    s.Rm = 1800, s.tauzul = 1000, s.tau1 = 200, s.tau2 = 500;
    s.tauk1 = 220, s.tauk2 = 550, s.taukh = 330, s.tauhzul = 400;
    s.LoadType = 2, s.T = 20, s.ShotPeened = 'N', s.CrossSection = 1;
    s.MaterialSel = 0, s.MaterialStd = 0, s.WireStd = 9;
  }
  Texts Check() {
    ResetErrorMessages();
    CheckPermissibleStress();
    return Messages();
  }
};

TEST_F(CheckTest, MissingStrengthIsFatal) {
  for (Real rm : {Real{0}, Real{0.5L}, Real{-0.99L}}) {
    SpringData().Rm = rm;
    EXPECT_EQ(Texts{"Fatal  : Rm = 0 !"}, Check());
    EXPECT_EQ(1, G().FatalErrorFlag);
  }
  SpringData().Rm = 1;
  EXPECT_EQ(Texts{}, Check());
}

// Each case starts from the prepared spring.
struct CheckCase {
  const char* what;
  void (*set)(SpringDataRecord&);
  Texts texts;
};

// A relaxation value with limits 20 and 100 degrees.
void Relaxing(SpringDataRecord& s) { s.F2Relax = 3, RelaxationRecord().T1 = 20, RelaxationRecord().T2 = 100; }

void Overloaded(SpringDataRecord& s) {
  s.tauzul = 850, s.tau2 = 1000, s.tau1 = 900, s.tauk2 = 1100, s.tauk1 = 870, s.taukh = 230, s.tauhzul = 200;
}

const CheckCase kCheckCases[] = {
    {"prepared", [](SpringDataRecord&) {}, {}},
    // A static spring is judged on tau2, a dynamic one on tauk2; warnings
    // off keep the two stress errors.
    {"static", [](SpringDataRecord& s) { Overloaded(s), s.LoadType = 1; },
     {"Fehler : tau2>tau zul! S=0.85", "Fehler : tau1>tau zul !"}},
    {"static, warnings off", [](SpringDataRecord& s) { Overloaded(s), s.LoadType = 1, s.WarningsOn = 0; },
     {"Fehler : tau2>tau zul! S=0.85", "Fehler : tau1>tau zul !"}},
    {"dynamic", Overloaded,
     {"Fehler : tauk2>tau zul! S=0.77", "Fehler : tauk1>tau zul !", "Fehler : taukh>tauhzul! S=0.87"}},
    {"dynamic, warnings off", [](SpringDataRecord& s) { Overloaded(s), s.WarningsOn = 0; },
     {"Fehler : tauk2>tau zul! S=0.77", "Fehler : tauk1>tau zul !"}},
    // Temperature: above 0.6 of tau zul.
    {"T 60, 0.65", [](SpringDataRecord& s) { s.T = 60, s.tauk2 = 650; }, {"Warnung: tau(T=60°C)"_oem}},
    {"T 60, 0.6", [](SpringDataRecord& s) { s.T = 60, s.tauk2 = 600; }, {}},
    {"T 50", [](SpringDataRecord& s) { s.T = 50, s.tauk2 = 650; }, {}},
    {"T 75.5", [](SpringDataRecord& s) { s.T = 75.5L, s.tauk2 = 650; }, {"Warnung: tau(T=75.5°C)"_oem}},
    {"T 75.5, warnings off", [](SpringDataRecord& s) { s.T = 75.5L, s.tauk2 = 650, s.WarningsOn = 0; }, {}},
    // Table material ranges; relaxation limits only with a relaxation value.
    {"d < dmin", [](SpringDataRecord& s) { s.d = 0.4L; }, {"Warnung: d<dmin (0.5)"}},
    {"d > dmax", [](SpringDataRecord& s) { s.d = 10.5L; }, {"Warnung: d>dmax (10)"}},
    {"T > Tmax", [](SpringDataRecord& s) { s.T = 130; }, {"Warnung: T>Tmax (120°)"_oem}},
    {"T > Tmax in English units", [](SpringDataRecord& s) { s.T = 130, G().UnitSystem = 1; },
     {"Warnung: T>Tmax (248°)"_oem}},
    {"T = Tmax", [](SpringDataRecord& s) { s.T = 120; }, {}},
    // Limits of 0 (or below) are unknown: nothing is checked against them.
    {"unknown limits",
     [](SpringDataRecord& s) {
       ZEBWST_Record().dmin = MakeReal48(0), ZEBWST_Record().dmax = MakeReal48(0), ZEBWST_Record().Tmax = 0;
       s.d = 0.4L, s.T = 130;
     },
     {}},
    {"negative limits",
     [](SpringDataRecord& s) {
       ZEBWST_Record().dmax = MakeReal48(-1), ZEBWST_Record().Tmax = -5;
       s.d = 3, s.T = 20;
     },
     {}},
    {"no relaxation value", [](SpringDataRecord& s) { Relaxing(s), s.T = 110, s.F2Relax = 0; }, {}},
    {"T > T2relax", [](SpringDataRecord& s) { Relaxing(s), s.T = 110; }, {"Warnung: T>T2relax (100°)"_oem}},
    {"T < T1relax", [](SpringDataRecord& s) { Relaxing(s), s.T = 10; }, {"Warnung: T<T1relax (20°)"_oem}},
    {"own material", [](SpringDataRecord& s) { s.d = 0.4L, s.MaterialSel = 11; }, {}},
    {"warnings off", [](SpringDataRecord& s) { Relaxing(s), s.d = 0.4L, s.T = 10, s.WarningsOn = 0; }, {}},
    // Wire standards, peening and the aspect ratio.
    {"DIN 2076 0.25", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 1, s.d = 0.25L; },
     {"DIN 2076 0.3<d<20"}},
    {"DIN 2076 0.3", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 1, s.d = 0.3L; }, {}},
    {"DIN 2076 21", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 2, s.d = 21; }, {"DIN 2076 0.07<d<20"}},
    {"DIN 2077 6", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 3, s.d = 6; }, {"DIN 2077  7<d<80"}},
    {"DIN 2077 80", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 3, s.d = 80; }, {}},
    {"peened 0.9", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.ShotPeened = 'J', s.d = 0.9L; },
     {"Warnung: d<1 (Kugelstrahlen !)"}},
    {"peened 1", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.ShotPeened = 'J', s.d = 1; }, {}},
    {"h/b 5", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.CrossSection = 4, s.d = 1, s.h = 5; },
     {}},
    {"h/b 5.1", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.CrossSection = 4, s.d = 1, s.h = 5.1L; },
     {"Warnung: h/b > 5 !"}},
    {"b/h 6, warnings off",
     [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.CrossSection = 4, s.d = 6, s.h = 1, s.WarningsOn = 0; },
     {"Warnung: h/b > 5 !"}},
    {"h 0", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.CrossSection = 4, s.d = 6, s.h = 0; }, {}},
    {"elliptic", [](SpringDataRecord& s) { s.MaterialSel = 11, s.WireStd = 16, s.CrossSection = 2, s.d = 6, s.h = 1; },
     {}},
};

TEST_F(CheckTest, PermissibleStressAndRangeTexts) {
  for (const CheckCase& c : kCheckCases) {
    Prepare();
    c.set(SpringData());
    EXPECT_EQ(c.texts, Check()) << c.what;
    EXPECT_EQ(0, G().FatalErrorFlag) << c.what;
  }
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
  // Warnings off does not matter; no diameter, no check.
  SpringData().WarningsOn = 0;
  EXPECT_EQ(Texts{"Warnung: EN15800: 4 < w < 20"}, Ranges(2, 5, 30, 2, 7));
  EXPECT_EQ(Texts{}, Ranges(2, 1, 1000, 0, 20));
  EXPECT_EQ(Texts{}, Ranges(4, 1, 1000, 2, 0));
  EXPECT_EQ(Texts{}, Ranges(1, 1, 1000, -2, -20));
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
    return std::count(texts.begin(), texts.end(), text) > 0;
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
  const Real s2 = s.s2, sn = s.sn;
  struct Case {
    Real sk;
    bool knickt, beiSn;
  };
  for (const Case& c : {Case{s2 - 0.01L, true, false}, Case{s2, false, true}, Case{(s2 + sn) / 2, false, true},
                        Case{sn, false, false}}) {
    s.sk = c.sk;
    const Texts t = CheckWith(0);
    EXPECT_EQ(Has(t, "Warnung: Feder knickt !"), c.knickt) << double(c.sk);
    EXPECT_EQ(Has(t, "Warnung: Knickung bei sn !"), c.beiSn) << double(c.sk);
  }
}

TEST_F(CalcMessageTest, EqualForcesStopWithTheFlagAndKeepTheTravels) {
  SpringDataRecord& s = SpringData();
  const Real L0 = s.L0, s1 = s.s1, s2 = s.s2;
  s.F1 = s.F2 = 50;
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
  EXPECT_TRUE(test::HasMessage("Fehler : tau2=0 !"));
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
}

TEST_F(CalcMessageTest, MissingGoodmanSlopeStillGivesTheSpringsValues) {
  ZEBWST_Record().Unpeened.GoodmanSlope = MakeReal48(0);
  SpringDataRecord& s = SpringData();
  s.Sh = s.N = s.S1 = s.S2 = s.tauoz = 77;
  RunRecalculation();
  EXPECT_EQ(0, G().FatalErrorFlag);
  EXPECT_TRUE(test::HasMessage("Fehler : ZEBWST Goodman"));
  EXPECT_NEAR(6.078433713368033, static_cast<double>(s.S1), 1e-9);
  EXPECT_EQ(0, s.Sh);
  // The calculation went on past the fatigue values.
  EXPECT_NEAR(207.92059904595956, static_cast<double>(ResonanceResult().omega0), 1e-6);
}

}  // namespace
}  // namespace zeb
