// Spring tolerances by grade, the normal-distribution share, wire-diameter
// tolerances by wire standard and the standard wire diameters. Expected
// values come from the standards' tables and from the EN 15800 factors
// worked out by hand for the REF spring (d 2, Dm 20, n 8.5) and Case A
// (d 5, Dm 34.6, n 9.5).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "ref_spring.h"
#include "spring/spring_data.h"
#include "spring/tolerances.h"
#include "spring/wirestd.h"

namespace zeb {
namespace {

using test::ExpectRel;
using test::Messages;

using ToleranceTest = test::SpringTest;

constexpr Real kRefR = 2.3970588235294117L;
constexpr Real kCaseAR = 16.180641563595856L;

TEST_F(ToleranceTest, En15800FactorsOfTheReferenceSprings) {
  ExpectRel(5.223810586928403L, ForceToleranceFactor(2, 20));
  ExpectRel(0.9866216839677048L, CoilCountFactor(8.5L));
  ExpectRel(40.02279899928548L, ForceToleranceFactor(5, 34.6L));
  ExpectRel(0.9677276084949216L, CoilCountFactor(9.5L));
  ExpectRel(1.5196666666666667L, CoilCountFactor(1.5L));  // counts as n = 2
  ExpectRel(CoilCountFactor(2), CoilCountFactor(0));
  EXPECT_EQ(0, ForceToleranceFactor(2, 0));
  EXPECT_EQ(0, ForceToleranceFactor(0, 20));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToleranceTest, FreeLengthAndForceByEn15800Grade) {
  // REF: R 2.397..., F2 = 30 R, F1 = 10 R.
  ExpectRel(2.1501035967131688L, FreeLengthTolerance(2, 1, 20, 2, kRefR, 8.5L, 60, 38.7375L));
  ExpectRel(1.3545652659292964L, FreeLengthTolerance(1, 1, 20, 2, kRefR, 8.5L, 60, 0));
  ExpectRel(3.44016575474107L, FreeLengthTolerance(3, 1, 20, 2, kRefR, 8.5L, 60, 0));
  ExpectRel(6.232601268591861L, ForceTolerance(1, 2, 1, 30 * kRefR, 30, 20, 2, 8.5L, 60, kRefR));
  ExpectRel(8.821573794452858L, ForceTolerance(1, 3, 1, 10 * kRefR, 10, 20, 2, 8.5L, 60, kRefR));
  // Case A.
  ExpectRel(2.3936731685590944L, FreeLengthTolerance(2, 1, 34.6L, 5, kCaseAR, 9.5L, 105.8L, 0));
  ExpectRel(48.026946139137294L,
            ForceTolerance(1, 2, 1, 619.7185718857212L, 38.3L, 34.6L, 5, 9.5L, 105.8L, kCaseAR));
  // Grade 0 and grades above 4 give no tolerance; nor does L0 0 or d < 0.
  for (int grade : {0, 5, 9}) {
    EXPECT_EQ(0, FreeLengthTolerance(grade, 1, 20, 2, kRefR, 8.5L, 60, 0));
    EXPECT_EQ(0, ForceTolerance(1, grade, 1, 50, 20, 20, 2, 8.5L, 60, kRefR));
  }
  for (int grade = 1; grade <= 4; ++grade) {
    EXPECT_EQ(0, ForceTolerance(1, grade, 2, 50, 20, 20, 2, 8.5L, 0, kRefR)) << grade;
    EXPECT_EQ(0, ForceTolerance(1, grade, 2, 50, 20, 20, -2, 8.5L, 60, kRefR)) << grade;
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToleranceTest, Din2096FreeLengthAndForce) {
  // (L0 + sc) c (2/n + 1) with L0 100, sc 40, n 5: 140 c 1.4.
  ExpectRel(2.94L, FreeLengthTolerance(4, 2, 50, 10, 20, 5, 100, 40));
  ExpectRel(2.352L, FreeLengthTolerance(4, 3, 50, 10, 20, 5, 100, 40));
  EXPECT_TRUE(Messages().empty());
  ExpectRel(2.94L, FreeLengthTolerance(4, 1, 50, 10, 20, 5, 100, 40));
  EXPECT_EQ(std::vector<std::string>{"DIN 2096: warmgewalzt !"}, Messages());
  ResetErrorMessages();
  EXPECT_EQ(0, FreeLengthTolerance(4, 4, 50, 10, 20, 5, 100, 40));
  EXPECT_EQ(std::vector<std::string>{"Tol l0 kaltwarm !"}, Messages());
  ResetErrorMessages();

  // (L0 + s) c (2/n + 1) R with L0 100, s 30, n 5, R 10: 130 c 14.
  ExpectRel(27.3L, ForceTolerance(1, 4, 2, 300, 30, 50, 10, 5, 100, 10));
  ExpectRel(21.84L, ForceTolerance(1, 4, 3, 300, 30, 50, 10, 5, 100, 10));
  ExpectRel(27.3L, ForceTolerance(0, 4, 1, 300, 30, 50, 10, 5, 100, 10));
  EXPECT_TRUE(Messages().empty());
  ExpectRel(27.3L, ForceTolerance(1, 4, 1, 300, 30, 50, 10, 5, 100, 10));
  EXPECT_EQ(std::vector<std::string>{"DIN 2096: warmgewalzt !"}, Messages());
}

TEST_F(ToleranceTest, ZeroRateIsReportedWithoutTheFlag) {
  EXPECT_EQ(0, FreeLengthTolerance(2, 1, 20, 2, 0, 8.5L, 60, 0));
  EXPECT_EQ(std::vector<std::string>{"Fatal  : R = 0 !"}, Messages());
  EXPECT_EQ(0, G().FatalErrorFlag);
}

TEST_F(ToleranceTest, CoilDiameterRowsAndColumns) {
  ExpectRel(0.45L, CoilDiameterTolerance(2, 3, 22, 18, 20, 10));    // REF
  ExpectRel(0.50L, CoilDiameterTolerance(2, 1, 39.6L, 29.6L, 34.6L, 6.92L));  // Case A
  // Dm 2.5 belongs to the row 1.6 - 2.5, a little more to the next.
  ExpectRel(0.10L, CoilDiameterTolerance(2, 3, 0, 0, 2.5L, 5));
  ExpectRel(0.15L, CoilDiameterTolerance(2, 3, 0, 0, 2.5001L, 5));
  // w 8 is the first column, w 14 the second; w below 4 the first.
  ExpectRel(0.20L, CoilDiameterTolerance(1, 3, 0, 0, 20, 8));
  ExpectRel(0.25L, CoilDiameterTolerance(1, 3, 0, 0, 20, 8.0001L));
  ExpectRel(0.25L, CoilDiameterTolerance(1, 3, 0, 0, 20, 14));
  ExpectRel(0.30L, CoilDiameterTolerance(1, 3, 0, 0, 20, 14.0001L));
  ExpectRel(0.20L, CoilDiameterTolerance(1, 3, 0, 0, 20, 3));
  // First and last rows.
  ExpectRel(0.05L, CoilDiameterTolerance(1, 3, 0, 0, 0.5L, 5));
  ExpectRel(0.10L, CoilDiameterTolerance(3, 3, 0, 0, 1, 5));
  ExpectRel(6.60L, CoilDiameterTolerance(3, 3, 0, 0, 160.5L, 20));
  ExpectRel(3.50L, CoilDiameterTolerance(3, 3, 0, 0, 160, 5));
  // Grades 1-3 take Dm whatever was given.
  ExpectRel(0.45L, CoilDiameterTolerance(2, 2, 1000, 1000, 20, 10));
  EXPECT_EQ(0, CoilDiameterTolerance(0, 3, 22, 18, 20, 10));
  EXPECT_EQ(0, CoilDiameterTolerance(5, 3, 22, 18, 20, 10));
}

TEST_F(ToleranceTest, CoilDiameterDin2096ByTheGivenDiameter) {
  ExpectRel(0.8L, CoilDiameterTolerance(4, 1, 50, 0, 0, 8));
  ExpectRel(1.5L, CoilDiameterTolerance(4, 1, 50.1L, 0, 0, 9));
  ExpectRel(5.5L, CoilDiameterTolerance(4, 3, 0, 0, 301, 12));
  // Di given: the smaller columns, looked up by Di.
  ExpectRel(0.8L, CoilDiameterTolerance(4, 2, 0, 40, 1000, 9));
  ExpectRel(0.6L, CoilDiameterTolerance(4, 2, 0, 40, 1000, 8));
  ExpectRel(2.5L, CoilDiameterTolerance(4, 2, 0, 350, 0, 5));
  ExpectRel(1.5L, CoilDiameterTolerance(4, 2, 0, 190, 0, 5));
}

TEST_F(ToleranceTest, PerpendicularityAndParallelism) {
  const Real e1[] = {0, 3, 5, 8, 3, 0};
  const Real e2[] = {0, 0.6L, 1.2L, 2.4L, 1.0L, 0};
  for (int grade = 0; grade <= 5; ++grade) {
    ExpectRel(e1[grade], PerpendicularityTolerance(grade, 100));
    ExpectRel(e2[grade], ParallelismTolerance(grade, 40));
  }
  ExpectRel(1.188L, ParallelismTolerance(2, 39.6L));  // Case A
}

TEST_F(ToleranceTest, GaussIntegralIsTheShareOutsidePlusMinusU) {
  EXPECT_NEAR(100.0, static_cast<double>(GaussIntegral(0)), 1e-6);
  // The trapezoid error is h²/12 f'(-u), about 4e-6 at u = 1.
  EXPECT_NEAR(31.731050786291416, static_cast<double>(GaussIntegral(1)), 1e-5);
  EXPECT_NEAR(0.9322376047437502, static_cast<double>(GaussIntegral(2.6L)), 1e-6);
  // Integration stops at the first grid point at or above -u.
  EXPECT_EQ(GaussIntegral(1), GaussIntegral(1.0005L));
  // u is clamped to -8 .. 8: one step at least, 16000 at most.
  EXPECT_LT(GaussIntegral(8), 1e-12L);
  EXPECT_EQ(GaussIntegral(8), GaussIntegral(1e30L));
  EXPECT_NEAR(200.0, static_cast<double>(GaussIntegral(-8)), 1e-6);
  EXPECT_EQ(GaussIntegral(-8), GaussIntegral(-1e30L));
}

// Wire tolerance tables: "above" bounds belong to the value before,
// "from" bounds to the value after.
TEST_F(ToleranceTest, WireToleranceTableEdges) {
  ExpectRel(0.015L, WireDiameterTolerance(1, 0.48L));
  ExpectRel(0.02L, WireDiameterTolerance(1, 0.4801L));
  ExpectRel(0.1L, WireDiameterTolerance(2, 18));
  ExpectRel(0.5L, WireDiameterTolerance(3, 65));
  ExpectRel(0.7L, WireDiameterTolerance(3, 70));
  ExpectRel(0.025L, WireDiameterTolerance(4, 0.3L));
  ExpectRel(0.18L, WireDiameterTolerance(4, 25));
  ExpectRel(0.035L, WireDiameterTolerance(4, 1.0099L));
  ExpectRel(0.12L, WireDiameterTolerance(6, 22.68L));
  ExpectRel(0.005L, WireDiameterTolerance(7, 0.072L));
  ExpectRel(0.05L, WireDiameterTolerance(8, 20.26L));
  ExpectRel(0.035L, WireDiameterTolerance(11, 10.005L));
  ExpectRel(0.045L, WireDiameterTolerance(12, 10));
  ExpectRel(0.03L, WireDiameterTolerance(15, 9.5L));
  ExpectRel(0.08L, WireDiameterTolerance(17, 20));
  ExpectRel(0.008L, WireDiameterTolerance(17, 0.5L));
  ExpectRel(0.012L, WireDiameterTolerance(17, 0.5001L));
  for (int code : {0, 9, 10, 16, 18}) EXPECT_EQ(0, WireDiameterTolerance(code, 2)) << code;
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToleranceTest, WireToleranceOutsideTheTableIsAnError) {
  struct Case {
    int code;
    Real d;
    const char* text;
  };
  const Case cases[] = {
      {4, 0.29L, "Fehler : EN10218-2,T1: 0.3 < d < 25.0 !"},
      {4, 25.001L, "Fehler : EN10218-2,T1: 0.3 < d < 25.0 !"},
      {5, 0.1L, "Fehler : EN10218-2,T2: 0.2 < d < 25.0 !"},
      {6, 26, "Fehler : EN10218-3,T2: 0.05 < d < 25.0 !"},
      {7, 0.04L, "Fehler : EN10218-3,T4: 0.05 < d < 25.0 !"},
      {8, 0.04L, "Fehler : EN10218-3,T2: 0.05 < d < 25.0 !"},
      {11, 10.01L, "Fehler : EN10270-3: d < 10.0 !"},
      {12, 10.0001L, "Fehler : T12 - EN10270-3: d < 10.0 !"},
      {13, 11, "Fehler : T13 - EN10270-3: d < 10.0 !"},
      {14, 11, "Fehler : T14 - EN10270-3: d < 10.0 !"},
      {15, 11, "Fehler : T15 - EN10270-3: d < 10.0 !"},
      {17, 20.5L, "Fehler : EN 12166 - A: d < 20 !"},
  };
  for (const Case& c : cases) {
    ResetErrorMessages();
    EXPECT_EQ(0, WireToleranceForStandard(c.code, c.d)) << c.text;
    EXPECT_EQ(std::vector<std::string>{c.text}, Messages());
    EXPECT_EQ(0, G().FatalErrorFlag);
  }
}

TEST_F(ToleranceTest, En10270OneAndTwoUseTheEn10218Classes) {
  for (int code : {9, 10}) {
    ExpectRel(0.01L, WireToleranceForStandard(code, 0.79L));   // T5
    ExpectRel(0.015L, WireToleranceForStandard(code, 0.8L));   // T4
    ExpectRel(0.025L, WireToleranceForStandard(code, 2));      // T4 (REF)
    ExpectRel(0.05L, WireToleranceForStandard(code, 10));      // T4
    ExpectRel(0.07L, WireToleranceForStandard(code, 10.5L));   // T3
  }
  ExpectRel(0.045L, WireToleranceForStandard(1, 5));
  EXPECT_EQ(0, WireToleranceForStandard(16, 2));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToleranceTest, WireStandardCodeFromTheMaterialName) {
  const std::pair<const char*, int> cases[] = {
      {"Federstahldraht EN 10270-1 SH", 9}, {"EN 10270-2 VDSiCr", 10}, {"X10 EN 10270-3", 14},
      {"51CrV4 EN 10089", 3},                {"CuSn6 EN 12166", 17},   {"Federstahl", 7},
      {"EN 10270-1 / 10270-3", 9},            {"en 10270-2", 10},       {"", 7},
  };
  for (const auto& [name, code] : cases) {
    SpringData().WireStd = 1;
    SpringData().MaterialName = name;
    WireStandardCode();
    EXPECT_EQ(code, SpringData().WireStd) << name;
  }
}

TEST_F(ToleranceTest, StandardWireDiameterSteps) {
  ExpectRel(1.25L, StandardWireDiameter(1, kWireRoundUp, 1.23L));
  ExpectRel(1.2L, StandardWireDiameter(1, kWireStepDown, 1.23L));
  ExpectRel(1.3L, StandardWireDiameter(1, kWireStepUp, 1.23L));
  // A standard value moves one place.
  ExpectRel(1.2L, StandardWireDiameter(9, kWireRoundUp, 1.2L));
  ExpectRel(1.1L, StandardWireDiameter(9, kWireStepDown, 1.2L));
  ExpectRel(1.25L, StandardWireDiameter(9, kWireStepUp, 1.2L));
  // Clamped at both ends.
  ExpectRel(0.07L, StandardWireDiameter(1, kWireStepDown, 0.07L));
  ExpectRel(0.07L, StandardWireDiameter(1, kWireRoundUp, 0.01L));
  ExpectRel(20, StandardWireDiameter(1, kWireStepUp, 20));
  ExpectRel(20, StandardWireDiameter(1, kWireRoundUp, 20));
  EXPECT_TRUE(Messages().empty());
  ExpectRel(20.5L, StandardWireDiameter(1, kWireRoundUp, 20.5L));
  EXPECT_EQ(std::vector<std::string>{"Drahtdurchmesser nicht nach DIN 2076 !"}, Messages());
  // DIN 2077 for code 3.
  ExpectRel(80, StandardWireDiameter(3, kWireRoundUp, 80));
  ExpectRel(7, StandardWireDiameter(3, kWireRoundUp, 5));
  ExpectRel(31, StandardWireDiameter(3, kWireRoundUp, 30.2L));
  ExpectRel(30, StandardWireDiameter(3, kWireStepDown, 30.2L));
  ExpectRel(65, StandardWireDiameter(3, kWireStepUp, 60));
  ExpectRel(85, StandardWireDiameter(3, kWireRoundUp, 85));
  EXPECT_EQ((std::vector<std::string>{"Drahtdurchmesser nicht nach DIN 2076 !",
                                      "Drahtdurchmesser nicht nach DIN 2077 !"}),
            Messages());
  // Warnings off: no note.
  ResetErrorMessages();
  SpringData().WarningsOn = 0;
  ExpectRel(25, StandardWireDiameter(1, kWireRoundUp, 25));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToleranceTest, AbortFlagStopsOnlyTheDin2076Rounding) {
  G().AbortFlag = 1;
  ExpectRel(1.23L, StandardWireDiameter(1, kWireRoundUp, 1.23L));
  ExpectRel(7.5L, StandardWireDiameter(3, kWireRoundUp, 7.2L));
}

TEST_F(ToleranceTest, StandardTablesAreAscending) {
  for (int code : {1, 3}) {
    const auto series = StandardWireDiameters(code);
    EXPECT_TRUE(std::adjacent_find(series.begin(), series.end(), std::greater_equal<Real>()) == series.end())
        << code;
  }
}

}  // namespace
}  // namespace zeb
