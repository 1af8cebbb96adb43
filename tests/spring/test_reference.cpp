// Reference springs against values computed by hand from the formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "ref_spring.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/formulas.h"
#include "spring/spring_data.h"

namespace zeb {
namespace {

using ReferenceTest = test::SpringTest;

#define EXPECT_REL(actual, expected) \
  EXPECT_NEAR(static_cast<double>(actual), (expected), 1e-6 * std::fabs(expected)) << #actual

TEST_F(ReferenceTest, RecalculationOfTheReferenceSpring) {
  test::MakeRefSpring();
  RunRecalculation();
  const SpringDataRecord& s = SpringData();

  EXPECT_EQ(G().FatalErrorFlag, 0);
  EXPECT_REL(s.R, 2.3970588);
  EXPECT_REL(s.F1, 23.970588);
  EXPECT_REL(s.F2, 71.911765);
  EXPECT_REL(s.n, 8.5);
  EXPECT_REL(s.Rm, 1879.588);
  EXPECT_REL(s.tauzul, 1052.5693);
  EXPECT_REL(s.k, 1.13475);
  EXPECT_REL(s.tauk1, 173.16456);
  EXPECT_REL(s.tauk2, 519.49367);
  EXPECT_REL(s.TolWire, 0.025);
  EXPECT_REL(s.Ln - s.Lc, 6.375);  // Sa
  EXPECT_REL(s.Lc, 21.2625);
  EXPECT_REL(s.Fn, 77.574816);
  EXPECT_REL(s.Fc, 92.856066);
  EXPECT_REL(s.tauc, 591.14008);
  EXPECT_REL(s.HelixAngle, 9.3099065);
  EXPECT_REL(s.dDe, 0.15853556);
  EXPECT_REL(s.sk, 24.327634);
  EXPECT_REL(s.WireLength, 662.69871);
  EXPECT_REL(s.m, 16.343146);
  EXPECT_REL(s.fe, 213.30458);
  EXPECT_REL(s.TolF2, 6.2326013);
  EXPECT_REL(s.TolF2Minus, -6.2326013);
  EXPECT_REL(s.TolL0, 2.1501036);
  EXPECT_REL(s.TolDe, 0.45);
  EXPECT_REL(s.Dhmin, 22.633536);
  EXPECT_REL(s.tauoz, 954.8455);
  EXPECT_REL(s.tauhzul, 435.26409);
  EXPECT_REL(s.Sh, 1.2567932);
  EXPECT_REL(s.N, 5.7155669e7);
  EXPECT_REL(s.StrokeMaxFatigue, 25.135865);
  EXPECT_REL(ResonanceResult().omega0, 207.9206);
  EXPECT_REL(ResonanceResult().dyPercent, 10.049712);
  EXPECT_EQ(s.NoLifeMinMax, 1);
  EXPECT_EQ(s.EndFormText, "angelegt und geschliffen");
  EXPECT_EQ(G().TitleBlockLines[1], "Feder   Zeichn.Nr.: ");

  const std::vector<std::string> expected = {"Fehler : Resonance", "Warnung: Feder knickt !",
                                             "Warnung: Kugelstrahlen !", "Warnung: F2 max > Fn !"};
  EXPECT_EQ(test::Messages(), expected);
}

TEST_F(ReferenceTest, PublishedExampleCaseA) {
  test::MakeCaseASpring();
  RunRecalculation();
  const SpringDataRecord& s = SpringData();

  EXPECT_EQ(G().FatalErrorFlag, 0);
  EXPECT_REL(s.Dm, 34.6);
  EXPECT_REL(s.R, 16.180642);
  EXPECT_REL(s.F1, 279.9251);
  EXPECT_REL(s.F2, 619.71857);
  EXPECT_REL(s.k, 1.201926);
  EXPECT_REL(s.tauk2, 525.02313);
  EXPECT_REL(s.Ln - s.Lc, 12.242859);
  EXPECT_REL(s.Lc, 57.9025);
  EXPECT_REL(s.Fn, 576.91497);
  EXPECT_REL(s.Fc, 775.01228);
  EXPECT_REL(s.TolF2, 48.026946);
  EXPECT_REL(s.TolL0, 2.3936732);
  EXPECT_REL(s.TolDe, 0.5);
  EXPECT_REL(s.e2, 1.188);
  EXPECT_EQ(s.sk, 9999.0L);
  EXPECT_REL(s.fe, 159.42019);
  EXPECT_REL(s.m, 193.38729);
  // Entered strength values stay for a material outside the laws.
  EXPECT_EQ(s.Rm, 1460.0L);
  EXPECT_EQ(s.tauzul, 817.6L);
}

TEST_F(ReferenceTest, CrossSectionsOnTheReferenceGeometry) {
  struct Case {
    int code;
    Real d, h, di;
    double R, tau2;  // tau2 0: not checked
  };
  for (const Case& c : {Case{2, 3, 2, 0, 4.9785068, 633.88317}, Case{3, 2, 2, 0, 3.4182737, 616.27531},
                        Case{4, 2, 4, 0, 11.182638, 852.33523}, Case{7, 4, 4, 2, 35.955882, 915.60903},
                        Case{5, 2, 3, 0, 2.3970588, 0}, Case{6, 2, 3, 0, 2.3970588, 0}}) {
    SCOPED_TRACE(c.code);
    ResetSpringGlobals();
    test::MakeRefSpring();
    SpringDataRecord& s = SpringData();
    s.CrossSection = static_cast<Code>(c.code);
    s.d = c.d;
    s.h = c.h;
    s.di = c.di;
    s.r = 0.2L;
    RunRecalculation();
    EXPECT_EQ(G().FatalErrorFlag, 0);
    EXPECT_REL(s.R, c.R);
    EXPECT_REL(s.n, 8.5);
    if (c.tau2 != 0.0) {
      EXPECT_REL(s.tau2, c.tau2);
    }
  }
}

TEST_F(ReferenceTest, RateInputsAgreeOnTheReferenceSpring) {
  // Input 2 from F1, 3 from F2, 4 from both forces: the same spring.
  for (int input = 2; input <= 4; ++input) {
    ResetSpringGlobals();
    test::MakeRefSpring();
    SpringDataRecord& s = SpringData();
    s.RateInput = static_cast<Code>(input);
    s.F1 = 23.970588235294118L;
    s.F2 = 71.911764705882353L;
    RunRecalculation();
    EXPECT_EQ(G().FatalErrorFlag, 0) << input;
    EXPECT_REL(s.R, 2.3970588);
    EXPECT_REL(s.L0, 60.0);
    EXPECT_REL(s.L1, 50.0);
    EXPECT_REL(s.n, 8.5);
  }
}

TEST_F(ReferenceTest, FormulaEdgeCases) {
  EXPECT_EQ(RectangleCoefficient(RectangleRow::kAlpha, 10.0L), 0.333L);
  EXPECT_EQ(RectangleCoefficient(RectangleRow::kBeta, 10.0L), 0.333L);
  EXPECT_NEAR(static_cast<double>(RectangleCoefficient(RectangleRow::kBeta, 0.5L)), 0.229, 1e-15);
  EXPECT_NEAR(static_cast<double>(RectangleCoefficient(RectangleRow::kAlpha, 2.5L)), 0.2565, 1e-15);
  EXPECT_EQ(ShearModulusAtTemp(81500.0L, 20.0L), 81500.0L);
  EXPECT_EQ(BucklingTravel(10.0L, 1.0L, 20.0L, 206000.0L, 81500.0L), 9999.0L);
  EXPECT_EQ(MinimumGapSum(0, 2, 8.5L, 2.0L, 20.0L), 0.0L);
  EXPECT_EQ(SolidLengthOfCoils(1, 4, 20.0L, 2.0L, 10.0L, 0.0L), 0.0L);
  // G = E: the limit of the buckling formula.
  const Real a = 3.14159265358979323846L * 20.0L / 100.0L;
  EXPECT_NEAR(static_cast<double>(BucklingTravel(100.0L, 1.0L, 20.0L, 1000.0L, 1000.0L)),
              static_cast<double>(100.0L * a * a / 6.0L), 1e-12);
  EXPECT_NEAR(static_cast<double>(BucklingTravel(100.0L, 1.0L, 20.0L, 1000.0L, 999.999L)),
              static_cast<double>(100.0L * a * a / 6.0L), 1e-4);
  EXPECT_EQ(G().FatalErrorFlag, 0);
  EXPECT_EQ(BucklingTravel(0.0L, 1.0L, 20.0L, 1000.0L, 1000.0L), 0.0L);
  EXPECT_EQ(G().FatalErrorFlag, 1);
  EXPECT_EQ(test::Messages(), std::vector<std::string>{"Fatal  : l0 = 0 !"});
}

TEST_F(ReferenceTest, SetLengthOutsideItsRangeBecomesTheSolidLength) {
  test::MakeRefSpring();
  RunRecalculation();
  ProductionData().Ls = 1000.0L;
  CalculateSpring();
  EXPECT_EQ(ProductionData().Ls, SpringData().Lc);
  ProductionData().Ls = 40.0L;
  CalculateSpring();
  EXPECT_EQ(ProductionData().Ls, 40.0L);
}

// The DIN 2096 L0 tolerance depends on sc of this spring, not of the one
// calculated before it.
TEST_F(ReferenceTest, GradeFourFreeLengthToleranceUsesThisSpring) {
  test::MakeRefSpring();
  RunRecalculation();
  SpringDataRecord& s = SpringData();
  s.GradeL0 = 4;
  s.CoilingKind = 2;
  CalculateSpring();
  const Real first = s.TolL0;
  CalculateSpring();
  EXPECT_EQ(s.TolL0, first);
  EXPECT_NEAR(static_cast<double>(first),
              static_cast<double>((s.L0 + s.sc) * 0.015L * (2.0L / s.n + 1.0L)), 1e-12);
}

}  // namespace
}  // namespace zeb
