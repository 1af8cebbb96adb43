#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/globals.h"
#include "base/text.h"

namespace zeb {
namespace {

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBaseGlobals(); }
};

std::string Byte(int c) { return std::string(1, static_cast<char>(c)); }

// Transliteration table as listed (code page 850 code -> ASCII).
const std::map<int, std::string> kTranslit = {
    {129, "ue"}, {130, "e"},  {132, "ae"}, {142, "Ae"}, {148, "oe"},  {153, "Oe"},
    {154, "Ue"}, {160, "a"},  {163, "u"},  {164, "n"},  {196, "-"},   {205, "-"},
    {225, "ss"}, {230, "u"},  {241, "+/-"}, {248, "deg"}, {253, "2"},
};

TEST_F(TextTest, TransliterationTableEntryByEntry) {
  for (int c = 0; c < 256; ++c) {
    const auto it = kTranslit.find(c);
    const std::string want = it != kTranslit.end() ? it->second : Byte(c);
    EXPECT_EQ(TransliterateOem(Byte(c)), want) << "code " << c;
    EXPECT_EQ(OemTransliterationTable()[c], want) << "code " << c;
  }
  // "Maß ±0,5 für Öl" in code page 850.
  EXPECT_EQ(TransliterateOem("Ma\xE1 \xF1"
                             "0,5 f\x81r \x99l"),
            "Mass +/-0,5 fuer Oel");
}

TEST_F(TextTest, OemAnsiCharTableEntryByEntry) {
  std::map<int, int> want = {
      {124, 227}, {129, 252}, {130, 233}, {132, 228}, {134, 229}, {142, 196}, {143, 197},
      {148, 246}, {153, 214}, {154, 220}, {160, 225}, {161, 237}, {162, 243}, {163, 250},
      {164, 241}, {225, 223}, {230, 181}, {241, 177}, {248, 176}, {252, 179}, {253, 178},
  };
  for (int c : {179, 180, 181, 182, 185, 186, 195, 197, 198, 199, 204, 209, 215}) want[c] = '|';
  for (int c : {184, 187, 188, 190, 191, 192, 200, 201, 206, 211, 214, 217, 218}) want[c] = '+';
  want[196] = '-';
  want[205] = '-';
  for (int c = 0; c < 256; ++c) {
    const auto it = want.find(c);
    const int w = it != want.end() ? it->second : c;
    EXPECT_EQ(OemToAnsiByTable(Byte(c)), Byte(w)) << "code " << c;
    EXPECT_EQ(OemAnsiCharTable()[c], w) << "code " << c;
  }
}

TEST_F(TextTest, PlainTextModeTransliteratesThenUsesTheTable) {
  G().PlainTextMode = 1;
  EXPECT_EQ(OemToAnsiByTable("\x84|\xDA\x86"), "ae\xE3+\xE5");
  EXPECT_EQ(OemLineToAnsi("Gr\x94\xE1" "e \xF1 5\xF8 a|b \x86"), "Groesse +/- 5deg a\xE3" "b \xE5");
  EXPECT_EQ(DegreeSign(), "deg");
  EXPECT_EQ(DensityUnitName(), "kg/dm3");
  EXPECT_EQ(PlusMinusSign(), "+/-");
}

TEST_F(TextTest, NormalModeConvertsByCodePage) {
  // Bytes by python3: "Größe ± 5° µ ²" in cp850 and cp1252.
  const std::string oem = "\x47\x72\x94\xE1\x65\x20\xF1\x20\x35\xF8\x20\xE6\x20\xFD";
  const std::string ansi = "\x47\x72\xF6\xDF\x65\x20\xB1\x20\x35\xB0\x20\xB5\x20\xB2";
  EXPECT_EQ(OemToAnsiBuf(oem), ansi);
  EXPECT_EQ(OemToAnsiStr(oem), ansi);
  EXPECT_EQ(AnsiLineToOem(ansi), oem);
  EXPECT_EQ(OemToAnsiStr("a|b"), "a|b");
  EXPECT_EQ(DegreeSign(), "\xF8");
  EXPECT_EQ(DensityUnitName(), "kg/dm\xFC");
  EXPECT_EQ(PlusMinusSign(), " \xF1 ");
}

TEST_F(TextTest, LongTextsConvertWhole) {
  std::string oem;
  std::string ansi;
  for (int i = 0; i < 100; ++i) {
    oem += "\x84\x94\x81";   // äöü
    ansi += "\xE4\xF6\xFC";
  }
  ASSERT_EQ(oem.size(), 300U);
  EXPECT_EQ(OemLineToAnsi(oem), ansi);
  EXPECT_EQ(OemToAnsiStr(oem), ansi);
  EXPECT_EQ(AnsiLineToOem(ansi), oem);
  EXPECT_EQ(OemLineToAnsi(std::string(255, 'x')), std::string(255, 'x'));
  EXPECT_EQ(OemToAnsiStr(""), "");
}

TEST_F(TextTest, ConvertForTextOutputFollowsTheSetting) {
  const std::string s = "\x84|";
  G().TextOutputConversion = 1;
  EXPECT_EQ(ConvertForTextOutput(s), s);
  G().TextOutputConversion = 2;
  EXPECT_EQ(ConvertForTextOutput(s), "\xE4|");
  G().TextOutputConversion = 3;
  EXPECT_EQ(ConvertForTextOutput(s), "ae|");
  G().TextOutputConversion = 7;
  EXPECT_EQ(ConvertForTextOutput(s), s);
  EXPECT_EQ(ReplaceBoxBar("\xB3x"), "\xB3x");
}

TEST_F(TextTest, SmallTextRoutines) {
  // Texts of any length: no 255-character limit.
  std::string mid(400, '.');
  mid.replace(299, 6, "abcdef");
  const std::pair<std::string, std::string> cases[] = {
      {UpperStr("abc xyZ \x84"), "ABC XYZ \x84"},  // ASCII letters only
      {LowerStr("ABC Xy \x8E"), "abc xy \x8E"},
      {PadRightStr("abc", 5), "abc  "}, {PadRightStr("abcdef", 4), "abcd"}, {PadRightStr("abc", 0), ""},
      {PadLeftStr(" ab ", 4), "  ab"}, {PadLeftStr("abcdef", 4), "abcd"}, {PadLeftStr("   ", 2), "  "},
      {LeftStr("abcdef", 2), "ab"}, {RightStr("abcdef", 2), "ef"}, {RightStr("ab", 5), "ab"}, {RightStr("ab", -1), ""},
      {MidStrFromTo(mid, 300, 305), "abcdef"}, {MidStrFromTo("abcdef", 2, 4), "bcd"},
      {MidStrFromTo("abcdef", 0, 2), "ab"}, {MidStrFromTo("abcdef", 5, 99), "ef"}, {MidStrFromTo("abcdef", 4, 3), ""},
      {MidStrFromTo("abcdef", 7, 9), ""}, {WithoutBlanks(" 1 2\t3 "), "12\t3"}, {TrimBlanks("   "), ""},
      {TrimBlanks("  a b \t "), "a b \t"}, {TrimBlanks("\tx "), "\tx"}, {PointToComma("1.5.2"), "1,5,2"},
      {CommaToPoint("1,5,2"), "1.5.2"}, {CommaToPointB("0,25"), "0.25"}};
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
  std::string s = "a.b.c";
  ReplaceChar('.', '-', s);
  ReplaceChar('-', '-', s);
  EXPECT_EQ(s, "a-b-c");
  s = " a b  c ";
  DeleteBlanks(s);
  EXPECT_EQ(s, "abc");
  s = std::string(300, 'x');
  s[0] = s[299] = 'y';
  EXPECT_EQ(CountChar('x', s), 298);
  EXPECT_EQ(CountChar('y', s), 2);
  EXPECT_EQ(CountChar('z', ""), 0);
  for (auto [sub, text, pos] : {std::tuple{"a", "xaxaxa", 6}, {"aa", "aaa", 2}, {"b", "aaa", 0}, {"", "aaa", 0}})
    EXPECT_EQ(LastPos(sub, text), pos) << sub;
}

TEST_F(TextTest, OverwriteAtPlacesOnlyWholeTexts) {
  const std::string line(70, ' ');
  std::string b = line;
  OverwriteAt("abc", b, 69);
  EXPECT_EQ(b, line);
  OverwriteAt("abc", b, 68);
  EXPECT_EQ(b, std::string(67, ' ') + "abc");
  b = "12345";
  OverwriteAt("x", b, 0);
  OverwriteAt("xy", b, 1);
  OverwriteAt("toolong", b, 1);
  EXPECT_EQ(b, "xy345");
}

TEST_F(TextTest, WrapTextLinesBreaksAfterTheLastSeparatorBeforeTheWidth) {
  // Blanks at 30, 60 and 90 of 100 characters, width 64.
  std::string s(100, 'x');
  s[29] = s[59] = s[89] = ' ';
  int longest = 0;
  EXPECT_EQ(WrapTextLines(s, ' ', 64, longest), 2);
  EXPECT_EQ(longest, 60);
  EXPECT_EQ(G().WrapLines[1], s.substr(0, 60));
  EXPECT_EQ(G().WrapLines[2], s.substr(60));
  // A separator exactly at the width is not used: the search starts at w - 1.
  EXPECT_EQ(WrapTextLines("a bcd efgh", ' ', 6, longest), 3);
  EXPECT_EQ(G().WrapLines[1], "a ");
  EXPECT_EQ(G().WrapLines[2], "bcd ");
  EXPECT_EQ(G().WrapLines[3], "efgh");
  EXPECT_EQ(longest, 4);
  // No separator: cut at the width.
  EXPECT_EQ(WrapTextLines("abcdefg", ';', 3, longest), 3);
  EXPECT_EQ(G().WrapLines[3], "g");
  EXPECT_EQ(longest, 3);
  EXPECT_EQ(WrapTextLines("", ' ', 10, longest), 0);
  EXPECT_EQ(longest, 1);
}

TEST_F(TextTest, WrapTextLinesGrowsPastFiveLines) {
  const std::string s(300, 'z');
  int longest = 0;
  ASSERT_EQ(WrapTextLines(s, ' ', 40, longest), 8);
  ASSERT_GE(G().WrapLines.size(), 9U);
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(G().WrapLines[i], std::string(40, 'z'));
  EXPECT_EQ(G().WrapLines[8], std::string(20, 'z'));
  EXPECT_EQ(longest, 40);
  // A width below 1 counts as 1 instead of never ending.
  EXPECT_EQ(WrapTextLines("abc", ' ', 0, longest), 3);
  EXPECT_EQ(G().WrapLines[2], "b");
}

TEST_F(TextTest, CommandLineSwitchIgnoresAsciiCase) {
  G().CommandLineArgs = {"/batch", "feder.zeb"};
  EXPECT_TRUE(HasCommandLineSwitch("/BATCH"));
  EXPECT_TRUE(HasCommandLineSwitch("FEDER.ZEB"));
  EXPECT_FALSE(HasCommandLineSwitch("/bat"));
  G().CommandLineArgs.clear();
  EXPECT_FALSE(HasCommandLineSwitch("/batch"));
}

}  // namespace
}  // namespace zeb
