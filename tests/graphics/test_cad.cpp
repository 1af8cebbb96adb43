// The CAD output layer: layers and pens, text style and text lines, screen
// arcs and polylines, argument guards, and the output run with its dialogs
// and file errors.
#include <gtest/gtest.h>

#include <clocale>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "base/globals.h"
#include "base/support_shell.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"
#include "platform/oem_literal.h"

namespace zeb::test {
namespace {

constexpr long double kPi = 3.14159265358979323846L;
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
constexpr long double kInf = std::numeric_limits<long double>::infinity();

using Strings = std::vector<std::string>;

class CadOutputTest : public CadTest {
 protected:
  // What the test folder holds: nothing but the temporary folder after a
  // run that left no file.
  Strings Files() {
    Strings out;
    for (const auto& e : std::filesystem::directory_iterator(dir())) out.push_back(e.path().filename().string());
    return out;
  }
};

TEST_F(CadOutputTest, LayerNumbersFoldAndNameTheDxfLayer) {
  const std::pair<int, std::string> cases[] = {{40, "24"}, {47, "31"}, {-3, "0"}};
  for (const auto& [layer, name] : cases) {
    CadSetLayer(layer);
    EXPECT_EQ(Cad().CadDxfLayerName, name) << layer;
  }
  EXPECT_EQ(Cad().CadLayer, 0);
  CadSettings().CadLayerNames[3] = "Kontur";
  CadSetLayer(3);
  EXPECT_EQ(Cad().CadDxfLayerName, "Kontur");
  CadSetLayerMode(2);
  CadSetLayer(3);
  EXPECT_EQ(Cad().CadDxfLayerName, "3");
}

TEST_F(CadOutputTest, ScreenPensByLayerAndEveryPenCallRecorded) {
  CadSettings().CadUserWidths[3] = 5;
  CadBeginOutput(3);
  sink().ClearCalls();
  for (int layer : {1, 1, 17, 19, 4}) CadSetLayer(layer);  // a repeat is recorded again
  auto pen = [](int style, int colour, int width) {
    return Strings{"GrafSetLineStyle(" + std::to_string(style) + ")",
                   "GrafSetColorMapped(" + std::to_string(colour) + ")", "SetLineWidth(" + std::to_string(width) + ")"};
  };
  Strings want;
  for (const Strings& p : {pen(2, 2, 1), pen(2, 2, 1), pen(0, 2, 1), pen(0, 4, 5), pen(0, 3, 2)})
    want.insert(want.end(), p.begin(), p.end());
  EXPECT_EQ(sink().Lines(), want);
  sink().ClearCalls();
  CadSetLayerMode(2);
  CadSetLayer(0);
  CadSetLayer(17);
  CadSetLayerMode(1);
  CadSetLayer(8);
  EXPECT_EQ(sink().Lines(),
            (Strings{"GrafSetColorMapped(0)", "SetLineWidth(1)", "SetLineWidth(1)", "SetLineWidth(1)"}));
  CadEndOutput();
}

TEST_F(CadOutputTest, TextStyleWidthFactor) {
  CadSettings().CadTextFactor = 1.2L;
  CadSettings().CadTextObliqueAngle = 12;
  CadTextStyle(2, 30, 4, 0);
  EXPECT_DOUBLE_EQ(static_cast<double>(Cad().CadTextWidthFactor), 0.84);
  EXPECT_EQ(Cad().CadTextOblique, 12);
  CadTextStyle(2, 0, 4, 2);
  EXPECT_DOUBLE_EQ(static_cast<double>(Cad().CadTextWidthFactor), 0.6);
  CadTextStyle(2, 0, 0, 2);  // no division by a height of 0
  EXPECT_DOUBLE_EQ(static_cast<double>(Cad().CadTextWidthFactor), 0.6);
  EXPECT_EQ(Cad().CadTextHeight, 0);
  CadTextStyleFit(2, "0123456789", 5, 0, 4, 2);
  EXPECT_EQ(Cad().CadTextHeight, 2);
  // The screen gets 0.95 x width, except while a block is recorded.
  CadBeginOutput(3);
  sink().ClearCalls();
  CadTextStyle(1, 45, 3, 2);
  CadBeginBlocks();
  CadBeginBlock("B");
  CadTextStyle(1, 0, 5, 5);
  CadEndBlock();
  CadEndSection();
  EXPECT_EQ(sink().Lines(), Strings{"GrafSetTextStyle(1,45,3,1.9)"});
  CadEndOutput();
}

// A text fitted to a field: as it is where it fits, narrower down to the
// readable width factor 0.5 (half the width of a style of factor 1), its
// small numbers written with an exponent, then cut with three dots; the
// style is set back after it. A text the face draws wider than its cells
// is fitted by its ink: "WWWWW" is 5 x 0.944 em of 1.75 cells, 8.26 cells.
// The same under a German process locale (the window's, from LANG).
TEST_F(CadOutputTest, TextsFitTheirField) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
  if (std::setlocale(LC_NUMERIC, locale) == nullptr) continue;
  SCOPED_TRACE(locale);
  CadSettings().CadTextFactor = 1;
  CadTextStyle(2, 0, 2, 2);  // 2 units a character
  Real k = 0;
  EXPECT_EQ("abcdefghij  ", CadFitText("abcdefghij  ", 20, k));
  EXPECT_EQ(1, k);
  EXPECT_EQ("abcdefghij", CadFitText("abcdefghij", 16, k));
  EXPECT_NEAR(0.8, static_cast<double>(k), 1e-12);
  EXPECT_EQ("abcdefghij", CadFitText("abcdefghij", 10, k));
  EXPECT_NEAR(0.5, static_cast<double>(k), 1e-12);
  // 19 characters in 16 units: 15 with exponents, at 16 / 30.
  EXPECT_EQ("+4.9E-5/-3.3E-5", CadFitText("+0.000049/-0.000033", 16, k));
  EXPECT_NEAR(16.0 / 30, static_cast<double>(k), 1e-12);
  // 8 / (2 x 0.5) = 8 characters: five and the dots.
  EXPECT_EQ("abcde...", CadFitText("abcdefghij", 8, k));
  EXPECT_NEAR(0.5, static_cast<double>(k), 1e-12);
  EXPECT_EQ("WWWWW", CadFitText("WWWWW", 16, k));
  EXPECT_NEAR(16 / (5 * 0.944 * 1.75 * 2), static_cast<double>(k), 1e-12);
  CadTextFit("ABCDEFGHIJ", 5, 6, 16);
  EXPECT_EQ(1, Cad().CadTextWidthFactor);
  EXPECT_EQ(2, Cad().CadTextFont);
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

// A typed text kept whole: on one line where 70 % of its width is enough,
// else on the lines its field has, broken at blanks (a word longer than a
// line where the line ends), the fewest lines at down to 70 %, then at
// down to a width factor of 0.5; only a text even that cannot hold is cut.
TEST_F(CadOutputTest, TypedTextsKeepWholeOverTheirLines) {
  CadSettings().CadTextFactor = 1;
  CadTextStyle(2, 0, 2, 2);  // 2 units a character: 10 in 20 units, 20 at width factor 0.5
  using Lines = std::vector<std::string>;
  CadTextLayout t = CadLayoutText("abcdefghijkl", 20, 2);
  EXPECT_EQ(t.lines, Lines{"abcdefghijkl"});
  EXPECT_NEAR(20.0 / 24, static_cast<double>(t.factor), 1e-12);
  // Two lines at down to 70 % before three at full width, as wide as
  // their longer one needs.
  t = CadLayoutText("aaaa bbbb cccc dddd ee", 20, 3);
  EXPECT_EQ(t.lines, (Lines{"aaaa bbbb", "cccc dddd ee"}));
  EXPECT_NEAR(20.0 / 24, static_cast<double>(t.factor), 1e-12);
  const std::string three = "aaaaaaaaa bbbbbbbbb ccccccccc";
  t = CadLayoutText(three, 20, 3);
  EXPECT_EQ(t.lines, (Lines{"aaaaaaaaa", "bbbbbbbbb", "ccccccccc"}));
  EXPECT_EQ(1, t.factor);
  // Two lines only: narrower than 70 %.
  t = CadLayoutText(three, 20, 2);
  EXPECT_EQ(t.lines, (Lines{"aaaaaaaaa bbbbbbbbb", "ccccccccc"}));
  EXPECT_NEAR(20.0 / 38, static_cast<double>(t.factor), 1e-12);
  // One word of 30 characters on two lines: 15 each at width factor 0.67.
  const std::string word = "012345678901234567890123456789";
  t = CadLayoutText(word, 20, 2);
  EXPECT_EQ(t.lines, (Lines{word.substr(0, 15), word.substr(15)}));
  EXPECT_NEAR(20.0 / 30, static_cast<double>(t.factor), 1e-12);
  EXPECT_FALSE(t.cut);
  // 41 characters do not go into two lines of 20: the last ends in dots.
  t = CadLayoutText(word + "abcdefghijk", 20, 2);
  EXPECT_EQ(t.lines, (Lines{word.substr(0, 20), word.substr(20) + "abcdefg..."}));
  EXPECT_NEAR(0.5, static_cast<double>(t.factor), 1e-12);
  EXPECT_TRUE(t.cut);
  // Drawn on screen: line under line, narrowed, the style set back.
  CadBeginOutput(3);
  sink().ClearCalls();
  CadMoveTo(5, 50);
  CadTextLineWhole(word, 20, 2);
  EXPECT_DOUBLE_EQ(static_cast<double>(Cad().CadCurrentPoint.y), 50 - 2 * 3.2);
  const auto texts = sink().Named("GrafOutTextXY");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].text, word.substr(15));
  EXPECT_NEAR(46.8, static_cast<double>(texts[1].args[1]), 1e-9);
  EXPECT_EQ(1, Cad().CadTextWidthFactor);
  CadEndOutput();
}

// A number too wide for its field keeps its truth: every significant
// digit, an exponent only below 1, every integer digit (the caller narrows
// or lowers what is still too wide), no rounding at all; a cut ends before
// a number, a line break falls beside one.
TEST_F(CadOutputTest, NumbersInNarrowFieldsKeepTheirTruth) {
  CadSettings().CadTextFactor = 1;
  CadTextStyle(2, 0, 2, 2);  // 2 units a character, 10 in 20 units
  EXPECT_EQ("tauk1: 76182", CadFitNumberText("tauk1: 76182", 8));
  EXPECT_EQ(" L0: 12.3456", CadFitNumberText(" L0: 12.3456", 9));
  EXPECT_EQ(" L0: 12.3456", CadFitNumberText(" L0: 12.3456", 7));
  EXPECT_EQ("x: 0.0123456", CadFitNumberText("x: 0.0123456", 9));
  EXPECT_EQ("x: 4.91E-5", CadFitNumberText("x: 0.0000491", 8));
  // A text that is itself rounded is not rounded again (88363.05 may stand
  // for 88363.0512).
  EXPECT_EQ(" L0: 88363.05", CadFitNumberText(" L0: 88363.05", 12));
  Real k = 0;
  EXPECT_EQ("F1 = ...", CadFitText("F1 = 123456 N", 10, k));
  const CadTextLayout t = CadLayoutText("abcdefgh12345678", 20, 2);
  EXPECT_EQ(t.lines, (std::vector<std::string>{"abcdefgh", "12345678"}));
}

// The drawing state holds the font: a text narrowed to its field sets back
// the whole style it found, font, angle, height and width, on the screen
// and for the files.
TEST_F(CadOutputTest, AFittedTextSetsBackTheStyleItFound) {
  CadSettings().CadTextFactor = 1;
  CadBeginOutput(3);
  for (const int font : {0, 3}) {
    SCOPED_TRACE(font);
    CadTextStyle(font, 30, 1.4L, 0);  // width 0: the configured 0.7
    sink().ClearCalls();
    CadTextFit("ABCDEFGHIJKLMNOP", 5, 6, 14);
    CadTextWhole("ABCDEFGHIJKLMNOPQRST", 5, 9, 14, 2);
    const auto styles = sink().Named("GrafSetTextStyle");
    ASSERT_EQ(styles.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(font, static_cast<int>(styles[k].args[0])) << k;
    // Narrowed, then set back as CadTextStyle had it.
    EXPECT_LT(styles[2].args[3], 0.95L * 0.7L * 1.4L);
    EXPECT_EQ(styles[3].ToString(), "GrafSetTextStyle(" + std::to_string(font) + ",30,1.4,0)");
    EXPECT_EQ(font, Cad().CadTextFont);
    EXPECT_EQ(30, Cad().CadTextAngle);
    EXPECT_EQ(1.4L, Cad().CadTextHeight);
    EXPECT_NEAR(0.7, static_cast<double>(Cad().CadTextWidthFactor), 1e-15);
  }
  CadEndOutput();
}

TEST_F(CadOutputTest, TextLinesMoveTheCursor) {
  CadBeginOutput(3);
  CadTextStyle(2, 0, 2.5L, 2);
  CadSetLineSpacing(2);
  CadMoveTo(10, 100);
  CadTextLine("");
  EXPECT_EQ(Cad().CadCurrentPoint.y, 100);
  CadTextLine("eins");
  EXPECT_DOUBLE_EQ(static_cast<double>(Cad().CadCurrentPoint.y), 92.0);
  CadLengthLine("L0", 0.5L);
  CadLengthLine("L1", 25);
  CadStressLine("tau", 512.4L);
  CadEndOutput();
  auto texts = sink().Named("GrafOutTextXY");
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1].text, "L0 = 0.500 mm");
  EXPECT_EQ(texts[2].text, "L1 = 25 mm");
  EXPECT_EQ(texts[3].text.substr(0, 5), "tau= ");
  EXPECT_EQ(texts[3].args[1], 76);
}

TEST_F(CadOutputTest, ScreenArcsPolylinesAndEllipse) {
  CadBeginOutput(3);
  sink().ClearCalls();
  CadArc(0, 0, 30, 30, 2);
  CadArc(0, 0, 0, 360, 2);
  CadArc(0, 0, 360, 0, 2);
  CadArc(0, 0, 350, 10, 2);
  CadArc(0, 0, 90, 0, 0);  // radius 0: nothing
  // A clockwise quarter arc from (0, 0) to (10, 0): centre below the chord,
  // drawn counter-clockwise from 45 to 135 degrees, not the other 270.
  CadBeginPolyline(0);
  CadPolylineVertex(0, 0, -kPi / 2);
  CadPolylineVertex(10, 0, 0);
  CadEndPolyline();
  auto lines = sink().Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(Strings(lines.begin(), lines.begin() + 4),
            (Strings{"GrafCircle(0,0,2)", "GrafCircle(0,0,2)", "GrafCircle(0,0,2)", "GrafArc(0,0,350,10,2)"}));
  const auto arc = sink().Named("GrafArc")[1].args;
  const double want[] = {5, -5, 45, 135, std::sqrt(50.0)};
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(static_cast<double>(arc[k]), want[k], 1e-9) << k;
  // The ellipse: 126 segments from (x0 + a, y0) on the curve.
  sink().ClearCalls();
  CadEllipse(10, 20, 8, 4);
  auto segments = sink().Named("GrafLine");
  ASSERT_EQ(segments.size(), 126u);
  EXPECT_EQ(segments[0].args[0], 18);
  EXPECT_EQ(segments[0].args[1], 20);
  for (const auto& l : segments) {
    long double x = l.args[2] - 10, y = l.args[3] - 20;
    EXPECT_NEAR(static_cast<double>(x * x / 64 + y * y / 16), 1.0, 1e-9);
  }
  CadEndOutput();
}

TEST_F(CadOutputTest, UnusableValuesDrawNothingAndReportOnce) {
  std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/guards", [] {
    CadLine(kNaN, 0, 1, 1);
    CadLine(0, 0, 1e10L, 1);
    CadCircle(0, 0, kInf);
    CadCircle(1, 1, 0);
    CadCircle(1, 1, -2);
    CadArc(1, 1, 0, 90, 0);
    CadSolid(0, 0, 1, 0, 0, 1, 1, kNaN);
    CadText("x", kInf, 0);
    CadTextStyle(2, 0, 0, 1);
    CadText("height 0", 1, 1);
    CadInsertBlock("B", 0, 0, 0, 0, 1);
    CadBeginPolyline(0);
    CadPolylineVertex(0, kNaN, 0);
    CadEndPolyline();
    CadTextStyle(2, 0, 3, 2);
    CadLine(0, 0, 5, 5);  // the one entity written
  }));
  EXPECT_EQ(G().AbortFlag, 0);
  ASSERT_EQ(G().ErrorMessageList.count, 1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Fehler : Zeichnungselement mit ungültigen Werten ausgelassen"_oem.str());
  std::size_t entities = dxf.find("ENTITIES");
  EXPECT_EQ(dxf.find("\r\nLINE\r\n", entities), dxf.rfind("\r\nLINE\r\n"));
  for (const char* kind : {"CIRCLE", "SOLID", "TEXT\r\n", "INSERT", "VERTEX"})
    EXPECT_EQ(dxf.find(kind, entities), std::string::npos) << kind;
  EXPECT_EQ(dxf.find("nan"), std::string::npos);
}

TEST_F(CadOutputTest, NonFiniteExtentEndsTheRunWithoutFile) {
  CadSettings().CommandLineExport = 1;
  G().CurrentFileName = dir() + "/extent";
  ui().ExpectMessageBox("Fehler", "Zeichnungsgrenzen");
  CadBeginOutput(1);
  CadDrawingHeader(0, 0, kNaN, 120);
  EXPECT_EQ(G().AbortFlag, 1);
  CadEndOutput();
  EXPECT_EQ(Files(), Strings{"tmp"});
}

TEST_F(CadOutputTest, SaveDialogCancelledOrUncreatableLeavesNoFile) {
  ui().ExpectSaveFile(std::nullopt);
  CadBeginOutput(1);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(Cad().CadFileName, "");
  CadEndOutput();
  G().AbortFlag = 0;
  ui().ExpectSaveFile(dir() + "/missing/x.dxf");
  ui().ExpectMessageBox("Fehler", "kann nicht angelegt werden");
  CadBeginOutput(1);
  EXPECT_EQ(G().AbortFlag, 1);
  CadLine(0, 0, 1, 1);
  CadEndOutput();
  EXPECT_EQ(Files(), Strings{"tmp"});
}

TEST_F(CadOutputTest, NameWithoutDotInItsFilePartGetsTheExtension) {
  std::filesystem::create_directory(dir() + "/a.b");
  ui().ExpectSaveFile(dir() + "/a.b/plan").Caption("*.igs|*.igs|*.*|*.*");
  CadBeginOutput(2);
  EXPECT_EQ(Cad().CadFileName, dir() + "/a.b/plan.igs");
  CadEndOutput();
  EXPECT_TRUE(std::filesystem::remove(dir() + "/a.b/plan.igs"));  // empty: no entity for the checker
  ui().ExpectSaveFile(dir() + "/plan.v2");
  CadBeginOutput(5);
  EXPECT_EQ(Cad().CadFileName, dir() + "/plan.v2");
  CadEndOutput();
  EXPECT_EQ(ReadFileBytes(dir() + "/plan.v2"), "EOF\r\n");
}

TEST_F(CadOutputTest, WriteErrorRemovesTheFileAndSetsAbort) {
  // A file size limit makes the writes fail with EFBIG.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 20000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  ui().ExpectMessageBox("Fehler", "kann nicht geschrieben werden");
  RunToFile(1, dir() + "/big", [] {
    for (int i = 0; i < 2000; ++i) CadLine(i, 0, i, 100);
  });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(Files(), Strings{"tmp"});
}

TEST_F(CadOutputTest, AskedCodeOtherThanPlotSkipsThePlotSteps) {
  ui().ExpectChoice("CAD-Code", 1);
  ui().ExpectSaveFile(dir() + "/asked.dxf");
  CadBeginOutput(0);
  EXPECT_EQ(Cad().CadCode, 1);
  EXPECT_EQ(Cad().RequestedCadCode, 0);
  CadEndOutput();
  EXPECT_TRUE(std::filesystem::exists(dir() + "/asked.dxf"));
  EXPECT_EQ(G().HelpNumber, 2050);
}

TEST_F(CadOutputTest, AskedPlotCodeEditsTheCommandLine) {
  auto form = std::make_shared<ScriptedPlotConfigForm>();
  // The program's path one word of the command line, blanks and all.
  const std::string edited = test::SettingWord(dir() + "/edited-plotter") + " gravelo";
  form->Answer(edited);
  SetPlotConfigForm(form);
  ui().ExpectChoice("CAD-Code", 4);
  ui().ExpectInputText("GRAVELO-Kommandozeile (0=Parameter)", TextAnswer::Keep()).Value(edited);
  ui().ExpectMessageBox("Fehler", "file not found: " + dir() + "/edited-plotter\nEinstellung: Datei > Einstellungen > Extern > GRAVELO Command Lines");
  RunCode(0, [] { CadLine(0, 0, 1, 1); });
  EXPECT_EQ(form->Shown(), Strings{""});  // no plot program until one is set
  EXPECT_EQ(CadSettings().CadPlotCommandLines[0], edited);
  EXPECT_TRUE(std::filesystem::exists(tmp() + "/gravelo.dxf"));
}

// Without a plot program the plot code says so and writes nothing.
TEST_F(CadOutputTest, PlotCodeWithoutPlotProgramSaysSo) {
  auto form = std::make_shared<ScriptedPlotConfigForm>();
  form->Answer("   ");
  SetPlotConfigForm(form);
  ui().ExpectChoice("CAD-Code", 4);
  ui().ExpectMessageBox("Fehler", "Plotprogramm nicht eingerichtet\nEinstellung: Datei > Einstellungen > Extern > GRAVELO Command Lines");
  CadBeginOutput(0);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(std::filesystem::exists(tmp() + "/gravelo.dxf"));
}

TEST_F(CadOutputTest, CancelledChoiceOpensNothing) {
  ui().ExpectChoiceCancel("CAD-Code");
  CadBeginOutput(0);
  EXPECT_EQ(G().AbortFlag, 1);
  CadLine(0, 0, 1, 1);
  CadEndOutput();
  EXPECT_TRUE(sink().Calls().empty());
}

// A line, circle or polyline that runs through a text of the sheet is
// broken there, a gap of a quarter of the text's height either side; one
// that only touches the box, or crosses the empty end of a text counted
// as wide as its widest characters, stays whole; a block's line is broken
// for a text of the entities too. "ABCD" is as wide as the face draws it:
// 0.667 + 0.667 + 0.722 + 0.722 em of 1.75 cells of 2, 9.723.
TEST_F(CadOutputTest, LinesBreakForTheTextsOfTheSheet) {
  auto sheet = [] {
    CadTextStyle(2, 0, 2, 2);  // "ABCD": x 10 to 19.723, y 0 to 2
    CadText("ABCD", 10, 0);
    CadLine(0, 1, 30, 1);
    CadLine(0, 2.02L, 30, 2.02L);
    CadLine(19.5L, -5, 19.5L, 5);
    CadCircle(14, 1, 3);
    CadInsertBlock("B", 0, 0, 0, 1, 1);
  };
  auto block = [] {
    CadBeginBlock("B");
    CadLine(12, -5, 12, 5);
    CadEndBlock();
  };
  RunToScreen(sheet, block);
  Strings lines;
  for (const auto& c : sink().Named("GrafLine")) lines.push_back(c.ToString());
  EXPECT_EQ(lines, (Strings{"GrafLine(0,1,9.5,1)", "GrafLine(20.223,1,30,1)", "GrafLine(0,2.02,30,2.02)",
                            "GrafLine(19.5,-5,19.5,5)", "GrafLine(12,-5,12,-0.5)", "GrafLine(12,2.5,12,5)"}));
  EXPECT_TRUE(sink().Named("GrafCircle").empty());
  EXPECT_EQ(sink().Named("GrafArc").size(), 2u);  // above and below the text
  // The files break the same lines; a polyline so crossed becomes lines.
  const std::string txt = ReadFileBytes(RunToFile(5, dir() + "/broken", [&] {
    sheet();
    CadBeginPolyline(0);
    CadPolylineVertex(5, 1.5L, 0);
    CadPolylineVertex(25, 1.5L, 0);
    CadEndPolyline();
  }, block));
  for (const char* line : {"LINE\t0.0\t1\t9.5\t1\r\n", "LINE\t20.22\t1\t30\t1\r\n", "LINE\t5\t1.5\t9.5\t1.5\r\n",
                           "LINE\t20.22\t1.5\t25\t1.5\r\n"})
    EXPECT_NE(txt.find(line), std::string::npos) << line << txt;
  EXPECT_EQ(txt.find("CIRCLE"), std::string::npos) << txt;
}

// Lines drawn the other way (right to left, downwards) break alike; one
// whose ends both lie to one side of the text, however long, stays whole.
TEST_F(CadOutputTest, LinesBreakWhicheverWayTheyRun) {
  RunToScreen([] {
    CadTextStyle(2, 0, 2, 2);  // "ABCD": x 10 to 19.723, y 0 to 2
    CadText("ABCD", 10, 0);
    CadLine(30, 1, 0, 1);
    CadLine(12, 5, 12, -5);
    CadLine(30, 1.5L, 12, 50);
    CadLine(-40, 0.5L, 9, 1.5L);
    CadLine(16, -0.7L, 11, -30);
  });
  Strings lines;
  for (const auto& c : sink().Named("GrafLine")) lines.push_back(c.ToString());
  EXPECT_EQ(lines, (Strings{"GrafLine(30,1,20.223,1)", "GrafLine(9.5,1,0,1)", "GrafLine(12,5,12,2.5)",
                            "GrafLine(12,-0.5,12,-5)", "GrafLine(30,1.5,12,50)", "GrafLine(-40,0.5,9,1.5)",
                            "GrafLine(16,-0.7,11,-30)"}));
}

// Circles and arcs whose box no text's core reaches are drawn as given;
// one through a text breaks; a mark over it stays whole.
TEST_F(CadOutputTest, CirclesAndArcsBreakOnlyNearTheirTexts) {
  RunToScreen([] {
    CadTextStyle(2, 0, 2, 2);  // "ABCD": x 10 to 18, y 0 to 2
    CadText("ABCD", 10, 0);
    CadSetLayer(3);
    CadCircle(50, 50, 3);
    CadArc(40, 1, 0, 90, 2);
    CadArc(14, 1, 90, 270, 3);
    CadSetLayer(4);
    CadMarks marks;
    CadCircle(14, 1, 1);
  }, [] {});
  Strings circles, arcs;
  for (const auto& c : sink().Named("GrafCircle")) circles.push_back(c.ToString());
  for (const auto& c : sink().Named("GrafArc")) arcs.push_back(c.ToString());
  EXPECT_EQ(circles, (Strings{"GrafCircle(50,50,3)", "GrafCircle(14,1,1)"}));
  ASSERT_EQ(arcs.size(), 3u);  // the far one whole, the near one above and below the text
  EXPECT_EQ(arcs[0], "GrafArc(40,1,0,90,2)");
  EXPECT_EQ(arcs[1].rfind("GrafArc(14,1,", 0), 0u) << arcs[1];
  EXPECT_NE(arcs[1], "GrafArc(14,1,90,270,3)");
}

// A block placed once is broken in its definition; a line of a block that
// its placements break differently leaves the definition and is drawn at
// each placement, broken where a text crosses it; one they break alike
// stays in the definition, broken. The DXF checkers read the file.
TEST_F(CadOutputTest, BlockLinesBreakForTextsOutsideTheBlock) {
  auto sheet = [] {
    CadTextStyle(2, 0, 2, 2);  // "ABCD": x 10 to 18, y 0 to 2
    CadText("ABCD", 10, 0);
    CadSetLayer(3);
    CadInsertBlock("ONCE", 2, 0, 0, 1, 1);
    CadInsertBlock("TWICE", 12, 0, 0, 1, 1);
    CadInsertBlock("TWICE", 100, 0, 0, 1, 1);
  };
  auto blocks = [] {
    CadBeginBlock("ONCE");
    CadLine(14, -5, 14, 5);  // x 16 on the sheet
    CadEndBlock();
    CadBeginBlock("TWICE");
    CadSetLayer(2);
    CadLine(0, -5, 0, 5);
    CadTextStyle(2, 0, 2, 2);
    CadText("XY", 20, 0);  // x 20 to 24 in the block
    CadLine(22, -5, 22, 5);
    CadEndBlock();
  };
  const std::string txt = ReadFileBytes(RunToFile(5, dir() + "/blocks", sheet, blocks));
  auto section = [&](const std::string& from, const std::string& to) {
    const std::size_t a = txt.find(from), b = txt.find(to, a);
    return a == std::string::npos || b == std::string::npos ? std::string() : txt.substr(a, b - a);
  };
  const std::string once = section("BLOCK\tONCE", "END OF BLOCK");
  const std::string twice = section("BLOCK\tTWICE", "END OF BLOCK");
  const std::string entities = txt.substr(std::min(txt.size(), txt.find("SECTION ENTITIES")));
  EXPECT_NE(once.find("LINE\t14\t-5\t14\t-0.5\r\n"), std::string::npos) << txt;
  EXPECT_NE(once.find("LINE\t14\t2.5\t14\t5\r\n"), std::string::npos) << txt;
  // x 0 of TWICE: through "ABCD" at x 12, clear at x 100.
  EXPECT_EQ(twice.find("LINE\t0.0\t"), std::string::npos) << txt;
  for (const char* line : {"LINE\t12\t-5\t12\t-0.5\r\n", "LINE\t12\t2.5\t12\t5\r\n", "LINE\t100\t-5\t100\t5\r\n"})
    EXPECT_NE(entities.find(line), std::string::npos) << line << txt;
  // x 22 of TWICE: through its own "XY" in both places.
  EXPECT_NE(twice.find("LINE\t22\t-5\t22\t-0.5\r\n"), std::string::npos) << txt;
  EXPECT_EQ(entities.find("LINE\t34\t"), std::string::npos) << txt;
  RunToFile(1, dir() + "/blocks", sheet, blocks);
  // On the screen the same lines break.
  RunToScreen(sheet, blocks);
  Strings lines;
  for (const auto& c : sink().Named("GrafLine")) lines.push_back(c.ToString());
  for (const char* line : {"GrafLine(16,-5,16,-0.5)", "GrafLine(12,-5,12,-0.5)", "GrafLine(100,-5,100,5)",
                           "GrafLine(34,-5,34,-0.5)", "GrafLine(122,2.5,122,5)"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
  // The same picture again (as broken before) draws the same.
  const auto first = sink().Lines();
  sink().ClearCalls();
  RunToScreen(sheet, blocks);
  EXPECT_EQ(sink().Lines(), first);
}

// An arc that runs through a text keeps the gap where it leaves the box,
// as a line does: the circle about the middle of "ABCD" (y 0 to 2, gap
// 0.5) is cut where it is 1.5 from the middle line, at 30 degrees from it.
// A mark and an arrow head over the text stay whole.
TEST_F(CadOutputTest, ArcsKeepTheGapAndMarksStayWhole) {
  RunToScreen([] {
    CadTextStyle(2, 0, 2, 2);
    CadText("ABCD", 10, 0);
    CadCircle(14, 1, 3);
    {
      const CadMarks mark;
      CadCircle(14, 1, 1);
      CadLine(10, 1, 18, 1);
    }
    CadArrowStd(12, 1, 0);
  });
  const auto arcs = sink().Named("GrafArc");
  ASSERT_EQ(arcs.size(), 2u);
  std::vector<std::pair<double, double>> sweeps;
  for (const auto& a : arcs) sweeps.emplace_back(static_cast<double>(a.args[2]), static_cast<double>(a.args[3]));
  EXPECT_NEAR(sweeps[0].first, 30, 1e-6);
  EXPECT_NEAR(sweeps[0].second, 150, 1e-6);
  EXPECT_NEAR(sweeps[1].first, 210, 1e-6);
  EXPECT_NEAR(sweeps[1].second, 330, 1e-6);
  ASSERT_EQ(sink().Named("GrafCircle").size(), 1u);
  Strings lines;
  for (const auto& c : sink().Named("GrafLine")) lines.push_back(c.ToString());
  EXPECT_EQ(lines, (Strings{"GrafLine(10,1,18,1)", "GrafLine(12,1,15.5,1)"}));
}

// The quick tests before the clipping keep what it finds: a line through a
// text turned by 90 degrees (x 8 to 10, y 0 to 8) is broken with the gap
// of 0.5; a line and a circle wholly inside "ABCD" go; a circle about the
// text without touching it stays whole.
TEST_F(CadOutputTest, TurnedTextsAndWhatLiesInsideOrAround) {
  RunToScreen([] {
    CadTextStyle(2, 90, 2, 2);
    CadText("ABCD", 10, 0);
    CadLine(0, 4, 30, 4);
    CadTextStyle(2, 0, 2, 2);
    CadText("ABCD", 10, 20);
    CadLine(12, 21, 16, 21);
    CadCircle(14, 21, 0.5L);
    CadCircle(14, 21, 10);
  });
  Strings lines;
  for (const auto& c : sink().Named("GrafLine")) lines.push_back(c.ToString());
  EXPECT_EQ(lines, (Strings{"GrafLine(0,4,7.5,4)", "GrafLine(10.5,4,30,4)"}));
  EXPECT_TRUE(sink().Named("GrafArc").empty());
  const auto circles = sink().Named("GrafCircle");
  ASSERT_EQ(circles.size(), 1u);
  EXPECT_EQ(circles[0].args[2], 10);
}

// A flush while a polyline is being given its vertices (the held output
// once kept a pointer into the calls it had drawn and freed) keeps the
// polyline whole.
TEST_F(CadOutputTest, FlushInsideAPolylineKeepsItsVertices) {
  const std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/poly", [] {
    CadBeginPolyline(0);
    CadPolylineVertex(0, 0, 0);
    CadFlush();
    CadPolylineVertex(10, 0, 0);
    CadPolylineVertex(10, 10, 0);
    CadEndPolyline();
    CadLine(0, 20, 5, 20);
  }));
  std::size_t vertices = 0;
  for (std::size_t p = dxf.find("VERTEX"); p != std::string::npos; p = dxf.find("VERTEX", p + 1)) ++vertices;
  EXPECT_EQ(vertices, 3u) << dxf;
  EXPECT_LT(dxf.find("SEQEND"), dxf.find("\r\nLINE\r\n")) << dxf;
}

// Tens of thousands of calls of every kind, held and drawn back (across
// many chunks of the held store, through sixteen layers in turn, with a
// block, polylines with bulges and texts clear of every line): the file is
// byte for byte the one drawn without holding anything.
TEST_F(CadOutputTest, ManyHeldCallsComeBackAsGiven) {
  auto sheet = [] {
    for (int i = 0; i < 3000; ++i) {
      const long double x = i % 97 / 3.0L, y = i / 97 / 7.0L;
      CadSetLayer(16 + i % 16);
      CadLine(x, y, x + 1 / 3.0L, y + 1 / 7.0L);
      CadArc(x, y, i % 360 / 3.0L, 200 + i % 150 / 7.0L, 0.1L + i % 5 / 9.0L);
      CadCircle(x + 0.5L, y, 0.2L + i % 3 / 11.0L);
      CadSolid(x, y, x + 0.1L, y, x, y + 0.1L, x + 0.1L, y + 0.1L);
      if (i % 50 == 0) {
        CadBeginPolyline(i % 100 == 0 ? 1 : 0);
        CadPolylineVertex(x, y, 0.3L);
        CadPolylineVertex(x + 1 / 3.0L, y + 1 / 9.0L, 0);
        CadPolylineVertex(x, y + 2 / 9.0L, -0.2L);
        CadEndPolyline();
        CadInsertBlock("B", x, y, i % 90, 1, 1);
      }
      if (i % 500 == 0) {
        CadTextStyle(2, 0, 1.5L, 1);
        CadText("T" + std::to_string(i), 200 + i / 50, -50);
      }
    }
  };
  auto block = [] {
    CadSetLayer(0);
    CadBeginBlock("B");
    CadLine(0, 0, 1 / 3.0L, 2 / 3.0L);
    CadEndBlock();
  };
  const std::string held = ReadFileBytes(RunToFile(1, dir() + "/held", sheet, block));
  cad_detail::BreakAtTexts() = false;
  const std::string plain = ReadFileBytes(RunToFile(1, dir() + "/plain", sheet, block));
  cad_detail::BreakAtTexts() = true;
  ASSERT_GT(plain.size(), 500000u);
  std::size_t at = 0;
  while (at < held.size() && at < plain.size() && held[at] == plain[at]) ++at;
  EXPECT_TRUE(held == plain) << "the held file differs from the plain one at " << at << ":\n"
                             << held.substr(at > 60 ? at - 60 : 0, 200) << "\n----\n"
                             << plain.substr(at > 60 ? at - 60 : 0, 200);
}

// Whatever writes the state between the calls of a run (layer, its mode
// and configured name, marks, text style, fitted texts), the held run draws
// what the plain one draws at once: the same bytes in every file format,
// the same calls on the screen. Its texts lie clear of its lines.
TEST_F(CadOutputTest, HeldCallsTakeTheStateWrittenBetweenThem) {
  CadSettings().CadTextFactor = 1;
  auto sheet = [] {
    CadSettings().CadLayerNames[3] = "Kontur";
    for (int i = 0; i < 40; ++i) {
      const long double x = i, y = i % 7;
      CadSetLayer(3);
      CadLine(x, y, x + 0.5L, y + 1);
      CadSetLayer(3);  // again: nothing changes
      CadCircle(x, y, 0.25L);
      CadSettings().CadLayerNames[3] = i % 2 ? "Kontur" : "Umriss";  // another name only
      CadSetLayer(3);
      CadArc(x, y, 10, 100, 0.5L);
      CadSetLayer(4);
      CadLine(x, y, x + 1, y);
      CadSetLayerMode(i % 3 == 0 ? 2 : 0);  // the mode only (the screen's pens)
      CadSetLayer(4);
      CadLine(x, y + 1, x + 1, y + 1);
      {
        const CadMarks mark;
        CadCircle(x, y + 0.5L, 0.1L);
      }
      CadLine(x, y + 2, x + 1, y + 2);
      CadSetLayerMode(0);
      CadSetLayer(16 + i % 3);
      CadTextStyle(2, i % 4 * 15, 1 + i % 5 / 4.0L, i % 2);
      CadText("T" + std::to_string(i), 100, 10 + 2 * i);
      CadLine(x, y + 3, x + 1, y + 3);
      CadTextFit("a text narrowed to its field", 150, 10 + 2 * i, 20);
      CadText("after", 130, 10 + 2 * i);
      CadLine(x, y + 4, x + 1, y + 4);
      CadTextStyleFit(2, "0123456789", 5, 0, 2, 2);
      CadText("0123456789", 180, 10 + 2 * i);
      CadLine(x, y + 5, x + 1, y + 5);
    }
  };
  // Files of one name (the IGES file names itself).
  std::filesystem::create_directories(dir() + "/held");
  std::filesystem::create_directories(dir() + "/plain");
  for (const int code : {1, 2, 5}) {
    SCOPED_TRACE(code);
    const std::string held = ReadFileBytes(RunToFile(code, dir() + "/held/sheet", sheet));
    cad_detail::BreakAtTexts() = false;
    const std::string plain = ReadFileBytes(RunToFile(code, dir() + "/plain/sheet", sheet));
    cad_detail::BreakAtTexts() = true;
    ASSERT_GT(plain.size(), 10000u);
    EXPECT_TRUE(held == plain) << "the held file differs from the plain one";
  }
  RunToScreen(sheet);
  const Strings held = sink().Lines();
  sink().ClearCalls();
  cad_detail::BreakAtTexts() = false;
  RunToScreen(sheet);
  cad_detail::BreakAtTexts() = true;
  EXPECT_GT(held.size(), 1000u);
  EXPECT_EQ(held, sink().Lines());
}

}  // namespace
}  // namespace zeb::test
