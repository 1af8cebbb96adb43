// TXT entity listing: the number rule and the decimal character (the
// reference drawing's listing is a golden file).
#include <gtest/gtest.h>

#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"

namespace zeb::test {
namespace {

class CadTxtTest : public CadTest {};

TEST_F(CadTxtTest, NumbersKeepThreeSignificantDigitsAndAtMostFourDecimals) {
  const std::pair<long double, const char*> cases[] = {{123.456L, "123.5"}, {0.012345L, "0.0123"}, {0, "0.0"},
                                                       {0.000012345L, "0.0000"}, {-2.5L, "-2.5"},
                                                       {-0.00001L, "0.0000"}};  // rounds to zero: no "-"
  for (auto [x, text] : cases) EXPECT_EQ(TxtNumber(x), text) << static_cast<double>(x);
  CadSettings().DecimalCommaMode = 2;
  EXPECT_EQ(TxtNumber(123.456L), "123,5");
}

TEST_F(CadTxtTest, CommaSettingKeepsTabsAndFullArcsAreCircles) {
  CadSettings().DecimalCommaMode = 2;
  const std::string txt = ReadFileBytes(RunToFile(5, dir() + "/comma", [] {
    CadLine(0.5L, 1, 2, 3.25L);
    CadArc(10, 10, 0, 360, 2.5L);
    CadTextStyle(2, 0, 3, 2);
    CadText("a\tb", 1.5L, 4);
  }));
  for (const char* line : {"LINE\t0,5\t1\t2\t3,25\r\n", "CIRCLE\t10\t10\t2,5\r\n", "TEXT\t1,5\t4\ta b\r\n"})
    EXPECT_NE(txt.find(line), std::string::npos) << line << txt;
  EXPECT_EQ(txt.substr(0, 10), "MINMAX\t0,0");
  EXPECT_EQ(txt.substr(txt.size() - 5), "EOF\r\n");
}

}  // namespace
}  // namespace zeb::test
