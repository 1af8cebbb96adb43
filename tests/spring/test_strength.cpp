// Material strength, permissible stresses and Goodman values. Expected
// numbers are worked out by hand from the strength and fatigue laws of the
// reference material (Rm0 2000 at DR0 1, slope 400; tauo 1000/150,
// tauh 500/100, Goodman slope 0.8; d0 1).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/strength.h"
#include "ref_spring.h"

namespace zeb {
namespace {

using test::ExpectRel;
using test::Messages;

class StrengthTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    PrepareRef();
  }

  static void PrepareRef() {
    test::ResetSpringRecords();
    ZEBWST_Record() = test::RefMaterialRow();
    // The REF spring's stresses at d 2, Dm 20 (dynamic, not peened).
    SpringDataRecord& s = SpringData();
    s.d = 2, s.MaterialSel = 0, s.LoadType = 2, s.LoadCase = 0, s.ShotPeened = 'N';
    s.tauzul = 1052.5692809712682L;
    s.tau1 = 152.60150425869966L, s.tau2 = 457.80451277609893L;
    s.tauk1 = 173.16455695755943L, s.tauk2 = 519.4936708726782L;
    s.taukh = s.tauk2 - s.tauk1;
  }

  void Run(int kind = 1) {
    MaterialAllowedStress(kind, SpringData().LoadCase, tauoz, tauh0, slope, knee, text);
  }

  Real tauoz = -1, tauh0 = -1, slope = -1, knee = -1;
  std::string text = "old";
};

TEST_F(StrengthTest, RmOfDFollowsTheLawAndItsCap) {
  ExpectRel(1879.5880017344075L, MaterialRmOfD(2));
  ExpectRel(2000, MaterialRmOfD(1));  // d = DR0
  ZEBWST_Record().RmMax = 1;  // not above 1: no cap
  ExpectRel(2120.4119982655925L, MaterialRmOfD(0.5L));
  ZEBWST_Record().RmMax = 1900;
  ExpectRel(1900, MaterialRmOfD(0.5L));
  ExpectRel(1879.5880017344075L, MaterialRmOfD(2));
  EXPECT_EQ(0, G().ErrorMessageList.count);

  // Bad inputs give 0.1 and a message, without the flag.
  ExpectRel(0.1L, MaterialRmOfD(0));
  ExpectRel(0.1L, MaterialRmOfD(-3));
  ZEBWST_Record().DR0 = MakeReal48(0);
  ExpectRel(0.1L, MaterialRmOfD(2));
  EXPECT_EQ((std::vector<std::string>{"Fatal  : d <= 0 !", "Fatal  : DR0 = 0 !"}), Messages());
  EXPECT_EQ(0, G().FatalErrorFlag);
}

TEST_F(StrengthTest, ReferenceSpringGoodmanValues) {
  SpringData().FatigueTol1 = -10;
  SpringData().FatigueTol2 = 10;
  Run();
  const SpringDataRecord& s = SpringData();
  ExpectRel(954.8455006504029L, tauoz);
  ExpectRel(469.8970004336019L, tauh0);
  ExpectRel(0.8L, slope);
  ExpectRel(606.1856252710012L, knee);
  EXPECT_EQ("REF-Federstahl nicht kugelgestrahlt", text);  // no designation: no brackets
  ExpectRel(435.26408904209006L, s.tauhzul);
  ExpectRel(954.8455006504029L, s.tauoz);
  ExpectRel(6.078433713368033L, s.S1);
  ExpectRel(2.026144571122678L, s.S2);
  ExpectRel(1.2567932395910792L, s.Sh);
  ExpectRel(57155669.118580446L, s.N, 1e-8L);
  ExpectRel(24352334.041031197L, s.Nmin, 1e-8L);
  ExpectRel(134146094.86254922L, s.Nmax, 1e-8L);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(0, G().FatalErrorFlag);
}

TEST_F(StrengthTest, StrokeAtTheKneeGivesTenMillionCycles) {
  Run();
  SpringDataRecord& s = SpringData();
  s.taukh = s.tauhzul;
  s.tauk2 = s.tauk1 + s.taukh;
  Run();
  ExpectRel(1e7L, s.N, 1e-9L);
}

TEST_F(StrengthTest, StaticLoadUsesUncorrectedStressesAndNoCycles) {
  SpringDataRecord& s = SpringData();
  s.LoadType = 1;
  s.N = s.Nmin = s.Nmax = 5;
  Run();
  ExpectRel(6.897502656244375L, s.S1);
  ExpectRel(2.2991675520814585L, s.S2);
  ExpectRel(1.2567932395910792L, s.Sh);
  for (Real x : {s.N, s.Nmin, s.Nmax}) EXPECT_EQ(0, x);
}

TEST_F(StrengthTest, MissingGroupIsApproximatedFromTheOther) {
  SpringDataRecord& s = SpringData();
  ZEBWST_Record().Name3 = " EN 10270-1 ";
  ZEBWST_Record().Peened = FatigueGroup{};
  s.ShotPeened = 'J';
  Run();
  ExpectRel(569.8970004336019L, tauh0);  // 1.2 x the unpeened constant
  ExpectRel(535.2640890420901L, s.tauhzul);
  EXPECT_EQ("REF-Federstahl (EN 10270-1) kugelgestrahlt", text);
  EXPECT_EQ(std::vector<std::string>{"Warnung: approx.Goodman"}, Messages());

  ResetErrorMessages();
  ZEBWST_Record().Peened = ZEBWST_Record().Unpeened;
  ZEBWST_Record().Unpeened.tauh0 = 0;
  s.ShotPeened = 'N';
  Run();
  ExpectRel(386.56366710026856L, tauh0);  // 5/6 x the peened constant
  ExpectRel(351.9307557087567L, s.tauhzul);
  EXPECT_EQ(std::vector<std::string>{"Warnung: approx.Goodman"}, Messages());
}

TEST_F(StrengthTest, PointOneBeyondTheKnee) {
  SpringDataRecord& s = SpringData();
  s.tauk1 = 700;
  s.tauk2 = 900;
  s.taukh = 200;
  Run();
  ExpectRel(254.84550065040287L, s.tauhzul);
}

TEST_F(StrengthTest, LoadCasesOneAndTwoTakeRm) {
  ZEBWST_Record().Rm0 = 1800;
  SpringData().d = 1;
  Real a = 0, b = 0, c = 0, e = 0;
  std::string t;
  MaterialAllowedStress(1, 1, a, b, c, e, t);
  ExpectRel(1008, a);
  ExpectRel(1008, SpringData().tauoz);
  SpringData().LoadCase = 2;
  UpdateFatigueValues(1);
  ExpectRel(1080, SpringData().tauoz);
  // Without fatigue laws nothing is computed.
  ZEBWST_Record().d0 = MakeReal48(0);
  MaterialAllowedStress(1, 1, a, b, c, e, t);
  EXPECT_EQ(0, a);
  EXPECT_EQ(0, SpringData().tauoz);
  EXPECT_EQ("", t);
}

TEST_F(StrengthTest, NoFatigueLawsWarnAndZeroTheStroke) {
  SpringDataRecord& s = SpringData();
  ZEBWST_Record().d0 = MakeReal48(0);
  s.tauhzul = s.N = 7;
  Run();
  for (Real x : {tauoz, knee, s.tauhzul, s.Sh, s.N}) EXPECT_EQ(0, x);
  EXPECT_EQ(std::vector<std::string>{"Warnung: kein Goodman-Diagramm"}, Messages());
}

TEST_F(StrengthTest, MaterialNotFromTheTableHasNoPermissibleStroke) {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11;
  Run();
  EXPECT_EQ(0, s.tauhzul);
  EXPECT_EQ(0, knee);
  ExpectRel(954.8455006504029L, s.tauoz);
  EXPECT_EQ(0, s.N);
  EXPECT_TRUE(Messages().empty());
}

// The caption names the table material with its designation in brackets,
// and the spring's own material name (never empty brackets) otherwise.
TEST_F(StrengthTest, CaptionNamesTheMaterialWithoutEmptyBrackets) {
  SpringDataRecord& s = SpringData();
  s.MaterialName = "Federstahldraht DH";
  ZEBWST_Record().Name1 = "EN 10270-1 SH ";
  ZEBWST_Record().Name3 = " patentiert-gezogen";
  Run();
  EXPECT_EQ("EN 10270-1 SH (patentiert-gezogen) nicht kugelgestrahlt", text);
  s.ShotPeened = 'J';
  Run();
  EXPECT_EQ("EN 10270-1 SH (patentiert-gezogen) kugelgestrahlt", text);
  s.ShotPeened = 'N';
  ZEBWST_Record().Name3 = "  ";
  EXPECT_EQ("EN 10270-1 SH", MaterialCaption());
  s.MaterialSel = 11;
  EXPECT_EQ("Federstahldraht DH", MaterialCaption());
  // The empty record of a spring with its own values: its name, no law.
  ZEBWST_Record() = DefaultMaterialRecord();
  EXPECT_FALSE(MaterialHasRmLaw());
  Run();
  EXPECT_EQ("Federstahldraht DH nicht kugelgestrahlt", text);
  s.MaterialSel = 0;
  EXPECT_EQ("Federstahldraht DH", MaterialCaption());
  ZEBWST_Record() = test::RefMaterialRow();
  EXPECT_TRUE(MaterialHasRmLaw());
}

// A missing Goodman slope is reported; the spring still gets its own
// safety factors and upper stress, with no permissible stroke.
TEST_F(StrengthTest, MissingGoodmanSlopeLeavesNothingStale) {
  SpringDataRecord& s = SpringData();
  ZEBWST_Record().Unpeened.GoodmanSlope = MakeReal48(0);
  s.S1 = s.S2 = s.Sh = s.N = s.Nmin = s.Nmax = s.tauoz = s.tauhzul = 123;
  Run();
  EXPECT_EQ(std::vector<std::string>{"Fehler : ZEBWST Goodman"}, Messages());
  EXPECT_EQ(0, G().FatalErrorFlag);
  ExpectRel(6.078433713368033L, s.S1);
  ExpectRel(2.026144571122678L, s.S2);
  ExpectRel(954.8455006504029L, s.tauoz);
  for (Real x : {s.tauhzul, s.Sh, s.N, s.Nmin, s.Nmax}) EXPECT_EQ(0, x);
}

TEST_F(StrengthTest, ZeroStressesStopWithTheFlag) {
  struct Case {
    int kind;
    int which;  // 0 tau2, 1 tauk2, 2 taukh
    const char* text;
  };
  const Case cases[] = {
      {1, 0, "Fehler : tau2=0 !"},     {2, 0, "Fehler : sigma2=0 !"}, {1, 1, "Fehler : tauk2=0 !"},
      {2, 1, "Fehler : sigmak2=0 !"},  {1, 2, "Fehler : taukh=0 !"},  {2, 2, "Fehler : sigmakh=0 !"},
  };
  for (const Case& c : cases) {
    PrepareRef();
    SpringDataRecord& s = SpringData();
    s.S1 = s.S2 = s.Sh = s.N = s.tauoz = 123;
    if (c.which == 0) s.tau2 = 0;
    if (c.which == 1) s.tauk2 = 0;
    if (c.which == 2) s.taukh = 0;
    Run(c.kind);
    EXPECT_EQ(std::vector<std::string>{c.text}, Messages()) << c.text;
    EXPECT_EQ(1, G().FatalErrorFlag) << c.text;
    EXPECT_EQ(123, s.S1) << c.text;
    EXPECT_EQ(123, s.tauoz) << c.text;
    G().FatalErrorFlag = 0;
    ResetErrorMessages();
  }
}

TEST_F(StrengthTest, StrokeAboveUpperStressIsAnErrorUnderDynamicLoad) {
  SpringDataRecord& s = SpringData();
  s.tauk2 = 1000;
  s.taukh = s.tauk2 - s.tauk1;
  Run();
  EXPECT_EQ(std::vector<std::string>{"Fehler : tauk2 > tauo !"}, Messages());
  ResetErrorMessages();
  s.LoadType = 1;
  Run();
  EXPECT_TRUE(Messages().empty());
}

// The relaxation loss from the relaxation row: the power law of each curve
// through its two points, linear between the diameters and temperatures,
// the nearer curve beyond them; nothing without a row.
TEST_F(StrengthTest, RelaxationLossFromTheRelaxationRow) {
  EXPECT_EQ(RelaxationLoss(500, 20, 2), 0);
  RelaxationRecordT& r = RelaxationRecord();
  r.T1 = 20, r.T2 = 120, r.d1 = MakeReal48(1), r.d2 = MakeReal48(5);
  // (T1, d1): 2 % at 400, 8 % at 800 (exponent 2); (T1, d2): 4 % and 8 %
  // (exponent 1); (T2, d1): 6 % and 12 %; (T2, d2): 10 % and 20 %.
  const int tau[8] = {400, 800, 400, 800, 400, 800, 400, 800};
  const double rx[8] = {2, 8, 4, 8, 6, 12, 10, 20};
  for (std::size_t k = 0; k < 8; ++k) r.Tau[k] = tau[k], r.Rx[k] = MakeReal48(rx[k]);
  SG().RelaxationFound = 1;
  // At 600: 2·1.5² = 4.5, 4·1.5 = 6, 9, 15.
  ExpectRel(4.5L, RelaxationLoss(600, 20, 1), 1e-12L);
  ExpectRel((4.5L + 6) / 2, RelaxationLoss(600, 20, 3), 1e-12L);
  ExpectRel(((4.5L + 6) / 2 + (9 + 15) / 2.0L) / 2, RelaxationLoss(600, 70, 3), 1e-12L);
  // Beyond the data: the nearer diameter and temperature.
  ExpectRel(15, RelaxationLoss(600, 200, 10), 1e-12L);
  ExpectRel(4.5L, RelaxationLoss(600, -40, 0.5L), 1e-12L);
  // A curve without its points stands aside for the other diameter.
  r.Rx[0] = MakeReal48(0);
  ExpectRel(6, RelaxationLoss(600, 20, 1), 1e-12L);
  EXPECT_EQ(RelaxationLoss(0, 20, 1), 0);
  SG().RelaxationFound = 0;
  EXPECT_EQ(RelaxationLoss(600, 20, 1), 0);
}

}  // namespace
}  // namespace zeb
