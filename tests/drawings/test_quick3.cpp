// The Quick 3 sheet: load types, tables, text blocks, pictures, the redraw
// of the configured result graphic and the golden files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "base/globals.h"
#include "base/messages.h"
#include "drawings/drawings.h"
#include "drawings/quick3.h"
#include "drawings/support_drawings.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

class Quick3Test : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    LoadRefSpring();
  }
  std::vector<DxfEntity> Dxf(const std::string& name = "quick") {
    UseFileName(name);
    DrawQuickSheet(1);
    return ReadDxfEntities(dir() + "/" + name + ".dxf");
  }
  static std::vector<std::string> TextsOf(const std::vector<DxfEntity>& e) {
    std::vector<std::string> t;
    for (const auto& x : e)
      if (x.type == "TEXT") t.push_back(x.Text(1));
    return t;
  }
  static bool Has(const std::vector<DxfEntity>& e, const std::string& s) {
    const auto t = TextsOf(e);
    return std::find(t.begin(), t.end(), s) != t.end();
  }
  static bool HasPart(const std::vector<DxfEntity>& e, const std::string& p) {
    const auto t = TextsOf(e);
    return std::any_of(t.begin(), t.end(), [&](const std::string& s) { return s.find(p) != std::string::npos; });
  }
  static const DxfEntity* Insert(const std::vector<DxfEntity>& e, const std::string& name) {
    for (const auto& x : e)
      if (x.type == "INSERT" && x.Text(2) == name) return &x;
    return nullptr;
  }
};

TEST_F(Quick3Test, DynamicAndStaticLoad) {
  auto e = Dxf();
  const DxfEntity* goodman = Insert(e, "goodman");
  ASSERT_NE(nullptr, goodman);
  EXPECT_DOUBLE_EQ(70, goodman->Get(10));
  EXPECT_DOUBLE_EQ(0.58, goodman->Get(41));
  EXPECT_TRUE(HasPart(e, " tauk1: 173"));
  EXPECT_TRUE(HasPart(e, " F1: 23.97"));
  // The ratios divide the uncorrected stress: tau1 / tauzul = 152.6 / 1053
  // = 0.145 (tauk1 would give 0.16), tau2 / Rm = 458 / 1880 = 0.244.
  const SpringDataRecord& s = SpringData();
  EXPECT_NEAR(0.145, double(s.tau1 / s.tauzul), 0.0006);
  EXPECT_TRUE(Has(e, "  0.14"));
  EXPECT_FALSE(Has(e, "  0.16"));
  EXPECT_TRUE(Has(e, "  0.24"));
  EXPECT_DOUBLE_EQ(double(s.L2), double(s.L));
  SpringData().LoadType = 1;
  e = Dxf();
  EXPECT_EQ(nullptr, Insert(e, "goodman"));
  EXPECT_TRUE(HasPart(e, " tau 1: 153"));
  EXPECT_TRUE(HasPart(e, " F1 : 23.97"));
  EXPECT_EQ(std::string::npos, ReadFileBytes(dir() + "/quick.dxf").find("goodman"));
  // A value as wide as its field keeps the blank after its label.
  SpringData().tauc = 1041.2L;
  SpringData().L1 = 1234.5L;
  e = Dxf();
  EXPECT_TRUE(HasPart(e, " tau c: 1041"));
  EXPECT_TRUE(HasPart(e, " L1: 1234.50"));
}

TEST_F(Quick3Test, ZeroDivisorsLeaveRatiosEmpty) {
  SpringData().tauzul = 0;
  SpringData().Rm = 0;
  UseFileName("null");
  DrawQuickSheet(5);
  std::istringstream txt(ReadFileBytes(dir() + "/null.txt"));
  std::string token;
  while (txt >> token) {
    for (char& c : token) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(token.find("nan") == std::string::npos || token == "resonance") << token;
    EXPECT_EQ(std::string::npos, token.find("inf")) << token;
  }
}

TEST_F(Quick3Test, ToleranceTableAndAllowance) {
  SpringDataRecord& s = SpringData();
  s.GradeF1 = 4, s.GradeF2 = 5;
  auto e = Dxf();
  // Grade 4 puts its X into the fifth, unlabelled column; 5 none.
  std::vector<double> xs;
  for (const auto& x : e)
    if (x.type == "TEXT" && x.Text(1) == " X") xs.push_back(x.Get(10));
  std::sort(xs.begin(), xs.end());
  ASSERT_EQ(5u, xs.size());  // De, L0, F1, e1, e2
  EXPECT_NEAR(96 + 0.9 * 1.0 * (7 + 2 + 2 + 2), xs.back(), 1e-9);
  s.Allowance = 5;
  e = Dxf();
  EXPECT_FALSE(Has(e, " De, Di"));
  EXPECT_FALSE(Has(e, " L0"));
  EXPECT_TRUE(Has(e, "L0 = 60 mm"));
  EXPECT_TRUE(Has(e, "Dm = 20 mm"));
}

TEST_F(Quick3Test, TextBlockLinesLeftOut) {
  SpringDataRecord& s = SpringData();
  s.sk = 9999, s.T = 20, s.WindingDir = 3;
  ProductionData().Preset = 3;
  auto e = Dxf();
  for (const char* gone : {"sk = ", "T = ", "Windg.richtung", "Federn "}) EXPECT_FALSE(HasPart(e, gone)) << gone;
  s.WindingDir = 2, s.T = 80;
  ProductionData().Preset = 1, ProductionData().Ls = 25;
  e = Dxf();
  EXPECT_TRUE(Has(e, "Windg.richtung: links"));
  EXPECT_TRUE(Has(e, "Federn gesetzt, Ls= 25"));
  EXPECT_TRUE(Has(e, "T =  80 \xB0" "C"));
}

TEST_F(Quick3Test, MessageListStyles) {
  ClearErrorMessages();
  sink().ClearCalls();
  DrawQuickSheet(3);
  EXPECT_TRUE(HasText(" - keine -"));
  for (int k = 1; k <= 8; ++k) AddErrorMessage("Meldung " + std::to_string(k));
  sink().ClearCalls();
  DrawQuickSheet(3);
  const auto calls = sink().Calls();
  auto it = std::find_if(calls.begin(), calls.end(), [](const SinkCall& c) { return c.text == "Meldungen"; });
  ASSERT_NE(calls.end(), it);
  auto style = std::find_if(std::make_reverse_iterator(it), calls.rend(),
                            [](const SinkCall& c) { return c.name == "GrafSetTextStyle"; });
  ASSERT_NE(calls.rend(), style);
  EXPECT_NEAR(0.75 * 1.4, double(style->args[2]), 1e-12);
}

// A long end-form text, narrowed and wrapped in the data block, leaves the
// block's style as it found it: the lines after it are in the block's font
// (0) and size on the screen, as before it.
TEST_F(Quick3Test, TheBlockKeepsItsFontAfterALongEndFormText) {
  SpringData().EndFormText =
      "angelegt, geschliffen, Enden entgratet und gefast nach Werknorm WN 4711-3, Pruefung nach Zeichnungsvorgabe";
  sink().ClearCalls();
  DrawQuickSheet(3);
  const auto calls = sink().Calls();
  // The style in force when a text is drawn.
  auto styleOf = [&calls](const std::string& prefix) -> const SinkCall* {
    auto it = std::find_if(calls.begin(), calls.end(), [&](const SinkCall& c) {
      return c.name == "GrafOutTextXY" && c.text.rfind(prefix, 0) == 0;
    });
    if (it == calls.end()) return nullptr;
    auto style = std::find_if(std::make_reverse_iterator(it), calls.rend(),
                              [](const SinkCall& c) { return c.name == "GrafSetTextStyle"; });
    return style == calls.rend() ? nullptr : &*style;
  };
  const SinkCall* ends = styleOf("Federenden: angelegt");
  const SinkCall* before = styleOf("fe = ");
  const SinkCall* after = styleOf("Beanspruchung: ");
  ASSERT_TRUE(ends && before && after);
  // The end-form text itself narrowed, in the block's font.
  EXPECT_EQ(0, ends->args[0]);
  EXPECT_LT(ends->args[3], before->args[3]);
  EXPECT_EQ(before->ToString(), after->ToString());
  EXPECT_EQ(0, after->args[0]);
  // Whole: its lines, up to the next line of the block, joined give the text.
  std::string joined;
  bool in = false;
  for (const SinkCall& c : calls) {
    if (c.name != "GrafOutTextXY") continue;
    if (c.text.rfind("Beanspruchung: ", 0) == 0) break;
    in = in || c.text.rfind("Federenden: ", 0) == 0;
    if (in) joined += (joined.empty() ? "" : " ") + c.text;
  }
  EXPECT_EQ("Federenden: " + SpringData().EndFormText, joined);
}

TEST_F(Quick3Test, PicturesLeftOutForDegenerateSprings) {
  SpringData().n = 0.3L;  // rounds to no active coil
  auto e = Dxf();
  EXPECT_EQ(nullptr, Insert(e, "feder"));
  EXPECT_TRUE(Has(e, "L0=60mm"));
  SpringData().n = 8.5L;
  SpringData().De = 0;
  EXPECT_FALSE(QuickSheetPicturesDrawable());
}

TEST_F(Quick3Test, RedrawCurrentDrawingByKind) {
  auto draws = [&](int kind) {
    Config().CurrentDrawingKind = static_cast<std::int16_t>(kind);
    sink().ClearCalls();
    G().AbortFlag = 1;
    RedrawCurrentDrawing();
    EXPECT_EQ(0, G().AbortFlag) << kind;
    const auto t = Texts();
    if (std::find(t.begin(), t.end(), "Zust.") != t.end()) return 3;
    if (std::find(t.begin(), t.end(), "EN15800-") != t.end() ||
        std::find(t.begin(), t.end(), " EN15800-") != t.end())
      return 2;
    if (!sink().Named("GrafArc").empty()) return 5;
    return 0;  // the diagram entries
  };
  for (int kind : {0, 2, 6, 7}) EXPECT_EQ(2, draws(kind)) << kind;
  EXPECT_EQ(3, draws(3));
  EXPECT_EQ(5, draws(5));
  EXPECT_EQ(0, draws(1));
  EXPECT_EQ(0, draws(4));
  G().HelpLevel = 0;
  G().AbortFlag = 1;
  sink().ClearCalls();
  RedrawCurrentDrawing();
  EXPECT_EQ(1, G().AbortFlag);
  EXPECT_TRUE(sink().Calls().empty());
}

// A calculation that stopped leaves no sheet of the spring before it on the
// screen: its messages stand there, and no window opens over the screen.
TEST_F(Quick3Test, StoppedCalculationShowsItsMessagesInPlaceOfTheSheet) {
  Config().CurrentDrawingKind = 2;
  RedrawCurrentDrawing();
  ASSERT_TRUE(HasText("L0=60mm"));
  SpringData().G = 0.0L;
  CalculateSpring();
  ASSERT_NE(G().FatalErrorFlag, 0);
  sink().ClearCalls();
  ui().Reset();
  RedrawCurrentDrawing();
  const auto t = Texts();
  EXPECT_TRUE(HasText("Fatal  : G <= 0 !"));
  for (const std::string& text : t) EXPECT_EQ(text.find("L0="), std::string::npos) << text;
  EXPECT_TRUE(ui().shown().empty());
}

TEST_F(Quick3Test, GoldenFiles) {
  AddErrorMessage("Warnung: Probe");
  for (int code : {1, 2, 5}) {
    const char* ext = code == 1 ? ".dxf" : code == 2 ? ".igs" : ".txt";
    UseFileName("quick3_dynamic");
    DrawQuickSheet(code);
    ExpectDrawingGolden(std::string("quick3_dynamic") + ext, ReadFileBytes(dir() + "/quick3_dynamic" + ext));
  }
  SpringData().LoadType = 1;
  SpringData().CrossSection = 4, SpringData().h = 1.5L;
  UseFileName("quick3_static");
  DrawQuickSheet(1);
  ExpectDrawingGolden("quick3_static.dxf", ReadFileBytes(dir() + "/quick3_static.dxf"));
}

}  // namespace
}  // namespace zeb::test
