// TXT entity listing: the reference drawing against its golden file, the
// number rule and the decimal character.
#include <gtest/gtest.h>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"
#include "platform/oem_literal.h"

namespace zeb::test {
namespace {

class CadTxtTest : public CadTest {};

TEST_F(CadTxtTest, ReferenceDrawingMatchesGolden) {
  std::string path = RunToFile(5, dir() + "/reference", DrawReferenceEntities, DrawReferenceBlocks);
  ASSERT_EQ(G().AbortFlag, 0);
  ExpectGolden("reference.txt", ReadFileBytes(path));
}

TEST_F(CadTxtTest, NumbersKeepThreeSignificantDigitsAndAtMostFourDecimals) {
  EXPECT_EQ(TxtNumber(123.456L), "123.5");
  EXPECT_EQ(TxtNumber(0.012345L), "0.0123");
  EXPECT_EQ(TxtNumber(0), "0.0");
  EXPECT_EQ(TxtNumber(0.000012345L), "0.0000");  // more than 4 decimals: 4
  EXPECT_EQ(TxtNumber(-2.5L), "-2.5");
  EXPECT_EQ(TxtNumber(-0.00001L), "0.0000");     // rounds to zero: no "-"
  CadSettings().DecimalCommaMode = 2;
  EXPECT_EQ(TxtNumber(123.456L), "123,5");
}

TEST_F(CadTxtTest, CommaSettingKeepsTabsAndFullArcsAreCircles) {
  CadSettings().DecimalCommaMode = 2;
  std::string path = RunToFile(5, dir() + "/comma", [] {
    CadLine(0.5L, 1, 2, 3.25L);
    CadArc(10, 10, 0, 360, 2.5L);
    CadTextStyle(2, 0, 3, 2);
    CadText("a\tb", 1.5L, 2);
  });
  std::string txt = ReadFileBytes(path);
  EXPECT_NE(txt.find("LINE\t0,5\t1\t2\t3,25\r\n"), std::string::npos) << txt;
  EXPECT_NE(txt.find("CIRCLE\t10\t10\t2,5\r\n"), std::string::npos) << txt;
  EXPECT_NE(txt.find("TEXT\t1,5\t2\ta b\r\n"), std::string::npos) << txt;
  EXPECT_EQ(txt.substr(0, 10), "MINMAX\t0,0");
  EXPECT_EQ(txt.substr(txt.size() - 5), "EOF\r\n");
}

}  // namespace
}  // namespace zeb::test
