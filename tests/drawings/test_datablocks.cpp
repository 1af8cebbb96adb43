// Data columns of the diagram sheets and the Quick 1 and Quick 2 blocks,
// read back as the texts a screen run records.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/globals.h"
#include "base/messages.h"
#include "drawings/datablocks.h"
#include "drawings/support_drawings.h"
#include "graphics/cad.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

class DataBlockTest : public DrawingTest {
 protected:
  std::vector<std::string> Draw(const std::function<void()>& body) {
    sink().ClearCalls();
    RunToScreen([&] {
      CadTextStyle(2, 0, 2.2L, 1.7L);
      sink().ClearCalls();
      body();
    });
    return Texts();
  }
  static bool Has(const std::vector<std::string>& t, const std::string& s) {
    return std::find(t.begin(), t.end(), s) != t.end();
  }
  static bool HasPrefix(const std::vector<std::string>& t, const std::string& p) {
    return std::any_of(t.begin(), t.end(), [&](const std::string& s) { return s.rfind(p, 0) == 0; });
  }
  static bool HasPart(const std::vector<std::string>& t, const std::string& p) {
    return std::any_of(t.begin(), t.end(), [&](const std::string& s) { return s.find(p) != std::string::npos; });
  }
  static std::ptrdiff_t IndexOf(const std::vector<std::string>& t, const std::string& s) {
    return std::find(t.begin(), t.end(), s) - t.begin();
  }
};

TEST_F(DataBlockTest, HeaderModesAndBuckling) {
  LoadRefSpring();
  SpringDataRecord& s = SpringData();
  s.sk = 9999;
  auto t = Draw([] { DrawSpringDataHeader(2); });
  EXPECT_FALSE(HasPrefix(t, "R  = "));
  EXPECT_FALSE(HasPrefix(t, "Lk = "));
  EXPECT_FALSE(HasPrefix(t, "sk = "));
  EXPECT_FALSE(HasPrefix(t, "Fk = "));
  EXPECT_TRUE(HasPrefix(t, "L0 / D = "));
  s.sk = 20, s.L0 = 60, s.R = 2;
  t = Draw([] { DrawSpringDataHeader(2); });
  EXPECT_TRUE(Has(t, "Lk = 40 mm"));
  EXPECT_TRUE(Has(t, "sk = 20.00 mm"));  // the printout's two decimals
  EXPECT_TRUE(HasPrefix(t, "Fk = 40"));
  t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_TRUE(HasPrefix(t, "R  = "));
  EXPECT_FALSE(HasPrefix(t, "sk = "));  // only in modes 2 and 4
  EXPECT_TRUE(HasPrefix(t, "tauk1= "));
  EXPECT_TRUE(HasPrefix(t, "tauz= "));
  s.LoadType = 1;
  t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_TRUE(HasPrefix(t, "tau1= "));
  EXPECT_TRUE(HasPrefix(t, "tauh= "));
  EXPECT_FALSE(HasPrefix(t, "tauk1= "));
  EXPECT_FALSE(HasPrefix(t, "tauhz= "));
  t = Draw([] { DrawSpringDataHeader(3); });
  EXPECT_TRUE(HasPrefix(t, "W12 = "));
  t = Draw([] { DrawSpringDataHeader(4); });
  EXPECT_TRUE(HasPrefix(t, "fe = "));
  EXPECT_TRUE(HasPrefix(t, "sQ2 = "));
  EXPECT_FALSE(HasPrefix(t, "D/d = "));
}

TEST_F(DataBlockTest, TransverseForceLineAndWireLines) {
  LoadRefSpring();
  TransverseLoad().FQ = 0.001L;
  auto t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_FALSE(HasPrefix(t, "FQ = "));
  TransverseLoad().FQ = 0.0011L;
  t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_TRUE(HasPrefix(t, "FQ = "));
  EXPECT_TRUE(HasPrefix(t, "d  = 2 "));
  SpringData().CrossSection = 4;
  SpringData().h = 1.5L;
  t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_FALSE(HasPrefix(t, "d  = "));
  EXPECT_TRUE(Has(t, "b = 2 mm"));
  EXPECT_TRUE(Has(t, "h = 1.5 mm"));
  SpringData().CrossSection = 3;
  t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_TRUE(HasPrefix(t, "a  = 2 "));
}

// An asymmetric coil-diameter tolerance reads upper deviation first in the
// header and in the material block, as on the Quick 3 sheet.
TEST_F(DataBlockTest, AsymmetricToleranceUpperDeviationFirst) {
  LoadRefSpring();
  SpringDataRecord& s = SpringData();
  s.DiameterGiven = 3, s.Allowance = 1, s.GradeDe = 5, s.TolDe = 0.7L, s.TolDeMinus = -0.5L;
  auto t = Draw([] { DrawSpringDataHeader(1); });
  EXPECT_TRUE(HasPrefix(t, "D = 20+0.7/-0.5")) << ::testing::PrintToString(t);
  t = Draw([] { DrawMaterialTextBlock(); });
  EXPECT_TRUE(HasPart(t, "Zul. Abw. De,Di,Dm : +0.7/-0.5")) << ::testing::PrintToString(t);
}

TEST_F(DataBlockTest, MessagesAndTemperature) {
  LoadRefSpring();
  ClearErrorMessages();
  auto t = Draw([] { DrawMessageBlock(); });
  ASSERT_EQ(3u, t.size());
  EXPECT_EQ("Meldungen", t[0]);
  EXPECT_EQ(" - keine -", t[2]);
  AddErrorMessage("Warnung 1");
  t = Draw([] { DrawMessageBlock(); });
  EXPECT_EQ((std::vector<std::string>{"Meldungen", "Warnung 1"}), t);
  SpringData().T = 20;
  t = Draw([] { DrawDiagramDataBlock2(); });
  EXPECT_FALSE(HasPrefix(t, "T = "));
  SpringData().T = 80, SpringData().GT = 79000;
  t = Draw([] { DrawDiagramDataBlock2(); });
  EXPECT_TRUE(HasPrefix(t, "T = 80"));
  EXPECT_TRUE(HasPrefix(t, "G80= "));
}

TEST_F(DataBlockTest, Quick1MaterialLines) {
  LoadRefSpring();
  SpringDataRecord& s = SpringData();
  ZEBWST_Record().Name3 = "  EN 10270-1  ";
  auto t = Draw([] { DrawMaterialTextBlock(); });
  EXPECT_EQ("REF-Federstahl (EN 10270-1)", t.at(0));
  s.MaterialSel = 1, s.MaterialStd = 3;
  t = Draw([] { DrawMaterialTextBlock(); });
  EXPECT_EQ("Werkstoff: Federstahldraht DIN 17223,Drahtsorte C", t.at(0));
  s.MaterialSel = 2, s.MaterialStd = 3;
  t = Draw([] { DrawMaterialTextBlock(); });
  EXPECT_EQ("Werkstoff: FD - CrV DIN 17223", t.at(0));
  s.MaterialSel = 11, s.MaterialName = "Eigener Stoff";
  t = Draw([] { DrawMaterialTextBlock(); });
  EXPECT_EQ("Werkstoff: Eigener Stoff", t.at(0));
  EXPECT_EQ("kaltgeformt, gezogen", t.at(1));
  EXPECT_TRUE(Has(t, std::string("Zul. Abw. F1, F2 : Gütegrad 2, Gütegrad 2"_oem)));
  s.Statistics = 'J', s.ScrapF1 = 1.5L, s.ScrapF2 = 2, s.ScrapDm = 0.25L;
  t = Draw([] { DrawMaterialTextBlock(); });
  EXPECT_EQ(std::string("Ausschuß  F1 = 1.5%   F2 = 2%   Dm = 0.25%"_oem), t.back());
}

TEST_F(DataBlockTest, Quick2RowsByLoadTypeAndTitleOrder) {
  LoadRefSpring();
  G().TitleBlockLines = {"", "Zeile 1", "Zeile 2", "Zeile 3"};
  auto t = Draw([] { DrawQuick2Sheet(); });
  EXPECT_EQ("Zeile 2", t.at(0));
  EXPECT_EQ("Zeile 3", t.at(1));
  EXPECT_EQ("Zeile 1", t.at(2));
  for (const char* row : {" tauk1: 173", " taukh: 346", " tauk2: 519", " L0:  60"}) EXPECT_TRUE(Has(t, row)) << row;
  EXPECT_FALSE(HasPart(t, "tau 1:"));
  EXPECT_TRUE(HasPrefix(t, "tau h zul: "));
  SpringData().LoadType = 1;
  t = Draw([] { DrawQuick2Sheet(); });
  EXPECT_TRUE(HasPart(t, "tau 1:"));
  EXPECT_TRUE(HasPart(t, "tau 2:"));
  EXPECT_FALSE(HasPart(t, "tauk1:"));
  EXPECT_FALSE(HasPart(t, "taukh:"));
  EXPECT_FALSE(HasPrefix(t, "tau h zul: "));
  EXPECT_LT(IndexOf(t, "Meldungen"), static_cast<std::ptrdiff_t>(t.size()));
  EXPECT_TRUE(Has(t, "REF-Federstahl"));  // no designation: no empty brackets
  EXPECT_FALSE(Has(t, "REF-Federstahl ()"));
}

}  // namespace
}  // namespace zeb::test
