// Index keys: folding, soundex, complements, comparison, the normal form of
// key expressions and julian day numbers, against values worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/oem_literal.h"
#include "x1_support.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/core/dates.h"

namespace zeb::xbase::test {
namespace {

class NdxKeys : public EngineTest {};

TEST_F(NdxKeys, FoldingWritesUmlautsAsTwoLettersWithinTheLength) {
  EXPECT_EQ(FoldGermanKey("Müller"_oem.str(), 0), "muelle");
  EXPECT_EQ(FoldGermanKey("MUELLER", 0), "mueller");
  EXPECT_EQ(FoldGermanKey("Straße"_oem.str(), 0), "strass");
  EXPECT_EQ(FoldGermanKey("Bä"_oem.str(), 0), "ba");
  // Upper-case umlauts fold too; a count beyond the text lets it grow.
  EXPECT_EQ(FoldGermanKey("ÄÖÜ"_oem.str(), 10), "aeoeue");
  EXPECT_EQ(FoldGermanKey("Mü"_oem.str(), 10), "mue");
  // A padded field value keeps its length.
  EXPECT_EQ(FoldGermanKey("Müller    "_oem.str(), 10), "mueller   ");
  // Only A-Z change case; other OEM letters stay.
  EXPECT_EQ(FoldGermanKey("É1a"_oem.str(), 0), "É1a"_oem.str());
  EXPECT_EQ(FoldGermanKey(std::string(150, 'A'), 0), std::string(100, 'a'));
}

TEST_F(NdxKeys, SoundexCodes) {
  EXPECT_EQ(Soundex("Robert"), "R163");
  EXPECT_EQ(Soundex("Tymczak"), "T522");
  EXPECT_EQ(Soundex("Ashcraft"), "A226");
  EXPECT_EQ(Soundex("A"), "A000");
  EXPECT_EQ(Soundex("lee"), "L000");
  EXPECT_EQ(Soundex("Pfister"), "P236");  // P1 F1: F equals the previous code
  EXPECT_EQ(Soundex("1ab"), "1100");      // a non-letter start keeps its character
}

TEST_F(NdxKeys, ComplementTwiceGivesTheKeyBackAndReversesOrder) {
  std::string k = "abc\x01\xfe";
  EXPECT_EQ(ComplementText(ComplementText(k)), k);
  EXPECT_GT(CompareBytes(ComplementText("a").data(), ComplementText("b").data(), 1), 0);
  EXPECT_EQ(static_cast<unsigned char>(ComplementText(std::string(1, '\0') + "x")[0]), 255);
}

TEST_F(NdxKeys, ComparisonIsUnsignedAndNumeric) {
  EXPECT_LT(CompareBytes("a", "\xe1", 1), 0);  // 0x61 < 0xE1 unsigned
  EXPECT_EQ(CompareBytes("abc", "abd", 2), 0);
  std::string m1 = FloatKeyBytes(-1.5), z = FloatKeyBytes(-0.0), p = FloatKeyBytes(2);
  EXPECT_LT(CompareFloatKeys(m1.data(), z.data()), 0);
  EXPECT_GT(CompareFloatKeys(p.data(), z.data()), 0);
  // -0 is stored as +0: equal bytes, so a bytewise equality test holds.
  EXPECT_EQ(z, FloatKeyBytes(0.0));
  EXPECT_EQ(FloatKeyBytes(std::numeric_limits<double>::quiet_NaN()), FloatKeyBytes(0.0));
  EXPECT_EQ(FloatFromKeyBytes(FloatKeyBytes(-HUGE_VAL).data()), std::numeric_limits<double>::lowest());
}

TEST_F(NdxKeys, NormalFormOfKeyExpressions) {
  std::string e = "upper( name ) + 'a b'+\"c\"";
  NormaliseKeyExpression(e, false);
  EXPECT_EQ(e, "UPPER(NAME)+\"a b\"+\"c\"");
  e = "name  +  'x'  = city";
  NormaliseKeyExpression(e, true);
  EXPECT_EQ(e, "NAME +'x'= CITY");
}

TEST_F(NdxKeys, JulianDayNumbers) {
  EXPECT_EQ(JulianFromYMD(1, 1, 1), 1721426.0);
  EXPECT_EQ(JulianFromYMD(9999, 12, 31), 5373484.0);
  EXPECT_EQ(JulianFromYMD(1900, 2, 29), 0.0);
  // 1 January 2000 is julian day 2451545 (astronomical JDN at noon).
  EXPECT_EQ(JulianFromYMD(2000, 1, 1), 2451545.0);
  double leap = JulianFromYMD(2000, 2, 29);
  EXPECT_EQ(leap, 2451545.0 + 59);
  EXPECT_EQ(JulianToDateText(leap), "20000229");
  EXPECT_EQ(JulianToDateText(1721425), "        ");
  EXPECT_EQ(JulianToDateText(5373485), "        ");
  EXPECT_EQ(JulianToDateText(1721426), "00010101");
  EXPECT_EQ(DateTextToJulian("        "), 0.0);
  EXPECT_EQ(DateTextToJulian("20000229"), leap);
  EXPECT_EQ(DateTextToJulian("20001301"), 0.0);
  EXPECT_EQ(DateTextToJulian("2000XX01"), 0.0);
  EXPECT_LT(DateTextToJulian("        "), DateTextToJulian("00010101"));
}

TEST_F(NdxKeys, DisplayDates) {
  SetDateFormat(5);
  SetCentury(true);
  double j = JulianFromYMD(2024, 3, 7);
  EXPECT_EQ(JulianToDisplayDate(j), "07.03.2024");
  EXPECT_EQ(DisplayDateToJulian("07.03.2024"), j);
  EXPECT_EQ(DisplayDateToDateText("07.03.2024"), "20240307");
  EXPECT_EQ(JulianToDisplayDate(5373485), "  .  .    ");
  SetCentury(false);
  EXPECT_EQ(JulianToDisplayDate(j), "07.03.24");
  EXPECT_EQ(JulianToDisplayDate(0), "  .  .  ");
  SetDateFormat(0);
  EXPECT_EQ(JulianToDisplayDate(j), "03/07/24");
  SetDateFormat(1);
  EXPECT_EQ(JulianToDisplayDate(j), "24.03.07");
  SetDateFormat(8);
  EXPECT_EQ(JulianToDisplayDate(j), "07/03/24");
  EXPECT_EQ(JulianToDisplayDate(-5), "  /  /  ");
  EXPECT_EQ(ZeroPadInt(7, 3), "007");
}

}  // namespace
}  // namespace zeb::xbase::test
