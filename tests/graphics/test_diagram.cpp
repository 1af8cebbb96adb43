// Diagram toolkit on the recording screen sink: frame division, ticks,
// labels and grid on linear and logarithmic axes, the limits dialog,
// clipping, symbols, markers, legend, text table and annotation blocks,
// and the guards against endless loops and non-finite limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/support_hang.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/support_cadrun.h"
#include "platform/oem_literal.h"

namespace zeb::test {
namespace {

constexpr double kEps = 1e-9;

double D(Real x) { return static_cast<double>(x); }

using Reals = std::vector<Real>;

class DiagramTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    CadSettings().FooterOff = 1;
    DiagramReset();
  }
  void TearDown() override {
    CadEndOutput();
    CadTest::TearDown();
  }
  void StartScreen() {
    CadBeginOutput(3);
    CadDrawingHeader(0, 0, 160, 120);
    CadBeginEntities();
    sink().ClearCalls();
  }
  std::vector<SinkCall> Lines() { return sink().Named("GrafLine"); }
  std::vector<std::string> Texts() {
    std::vector<std::string> t;
    for (const auto& c : sink().Named("GrafOutTextXY")) t.push_back(c.text);
    return t;
  }
  bool HasText(const std::string& text) {
    const auto t = Texts();
    return std::find(t.begin(), t.end(), text) != t.end();
  }
  // x of the vertical lines from sheet y0 to y1.
  Reals VerticalsAt(Real y0, Real y1) {
    Reals xs;
    for (const auto& c : Lines())
      if (std::fabs(c.args[0] - c.args[2]) < 1e-9L && std::fabs(c.args[1] - y0) < 1e-9L &&
          std::fabs(c.args[3] - y1) < 1e-9L)
        xs.push_back(c.args[0]);
    return xs;
  }
  bool AllFinite() {
    for (const auto& c : sink().Calls())
      for (Real a : c.args)
        if (!std::isfinite(a)) return false;
    return true;
  }
};

TEST_F(DiagramTest, LinearFrameTicksLabelsAndGrid) {
  StartScreen();
  DiagramFrame("s", "F", "Kennlinie", 0, 0, 10, 5, 0);
  const auto& s = DiagramState();
  EXPECT_TRUE(s.XMin == 0 && s.XMax == 10 && s.XTickStep == 2 && s.YMax == 5);
  EXPECT_EQ(G().PrinterMode, 1);
  // Ticks from the axis 1 % of the span down (1.2 of 120 sheet units), grid
  // lines over the whole height, at 0 .. 10 step 2 (32 sheet units).
  for (const Reals& xs : {VerticalsAt(0, -1.2L), VerticalsAt(0, 120)}) {
    ASSERT_EQ(xs.size(), 6u);  // the y axis line ends higher up
    for (std::size_t k = 0; k < 6; ++k) EXPECT_NEAR(D(xs[k]), 32.0 * k, kEps);
  }
  for (Real v : {0, 2, 4, 6, 8, 10}) EXPECT_TRUE(HasText(FloatToStrAuto(v))) << D(v);
  EXPECT_TRUE(HasText("Kennlinie") && HasText("s"));
  EXPECT_EQ(sink().Named("GrafSolid").size(), 2u);  // both axes hold 0: two arrows
  EXPECT_TRUE(AllFinite());
}

TEST_F(DiagramTest, LogarithmicXAxisDecadeDigitTicksAndGrid) {
  DiagramState().DiagramAxisMode = 4;
  StartScreen();
  DiagramFrame("f", "A", "Log", 1, 0, 1000, 100, 0);
  const auto& s = DiagramState();
  EXPECT_TRUE(s.XMin == 0 && s.XMax == 3);
  EXPECT_NEAR(D(s.XTickStep), 0.5, kEps);
  // Ticks at 0, log 5, 1, log 50, 2, log 500, 3 (sheet x = p / 3 * 160).
  const Reals want = {0, std::log10(5.0L), 1, std::log10(50.0L), 2, std::log10(500.0L), 3};
  const Reals ticks = VerticalsAt(0, -1.2L);
  ASSERT_EQ(ticks.size(), want.size());
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(D(ticks[k]), D(want[k] / 3 * 160), 1e-6);
  for (Real label : {1, 5, 10, 50, 100, 500, 1000}) EXPECT_TRUE(HasText(FloatToStrAuto(label))) << D(label);
  // Grid: 1, 1.5, ..., 9.5 times 10^k and 1000, only inside the range.
  std::set<long> got, expect{std::lround(160e6)};
  for (Real x : VerticalsAt(0, 120)) got.insert(std::lround(D(x * 1e6)));
  for (int k = 0; k <= 2; ++k)
    for (int j = 2; j <= 19; ++j)
      expect.insert(std::lround(D(std::log10(j * 0.5L * std::pow(10.0L, k)) / 3 * 160 * 1e6)));
  EXPECT_EQ(got, expect);
}

TEST_F(DiagramTest, AxesLinesArrowsTitlesAndReversedLimits) {
  StartScreen();
  DiagramFrame("x", "y", "T", 0, 10, 10, 20, 3);  // y range without 0, no x title
  EXPECT_EQ(sink().Named("GrafSolid").size(), 1u);  // the y axis arrow only
  EXPECT_FALSE(HasText("x"));
  EXPECT_TRUE(HasText("y"));
  const auto first = sink().Lines();
  sink().ClearCalls();
  DiagramFrame("x", "y", "T", 10, 20, 0, 10, 3);  // reversed
  EXPECT_EQ(sink().Lines(), first);
}

TEST_F(DiagramTest, LimitsDialogOnlyForFilesAndItsAnswers) {
  CadSettings().EnterDiagramLimits = 1;
  auto dialog = std::make_shared<ScriptedDiagramLimitsDialog>();
  SetDiagramLimitsDialog(dialog);
  StartScreen();
  DiagramFrame("x", "y", "T", 0, 0, 10, 5, 0);
  EXPECT_TRUE(dialog->Shown().empty());

  CadSettings().CommandLineExport = 1;
  G().CurrentFileName = dir() + "/limits";
  auto fileRun = [](const std::string& title = "T") {
    CadEndOutput();  // the run before
    CadBeginOutput(5);
    CadDrawingHeader(0, 0, 160, 120);
    CadBeginEntities();
    DiagramFrame("Weg", "y", title, 0, 0, 10, 5, 0);
  };
  // OK with new limits: the frame divides them anew.
  dialog->Ok({"0", "0", "100", "50"});
  fileRun("Titel ü"_oem.str());
  ASSERT_EQ(dialog->Shown().size(), 1u);
  EXPECT_EQ(dialog->Shown()[0].computed, (std::array<Real, 4>{0, 0, 10, 5}));
  EXPECT_EQ(dialog->Shown()[0].caption, "Titel \xfc");
  EXPECT_EQ(dialog->Shown()[0].xTitle, "Weg");
  EXPECT_TRUE(DiagramState().XMax == 100 && DiagramState().YMax == 50);
  EXPECT_EQ(dialog->LastEdits()[0], "0");
  // Cancel: the computed division stands and AbortFlag is cleared.
  dialog->Cancel();
  fileRun();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(DiagramState().XMax, 10);
  // Closing the window takes the limits accepted before.
  dialog->CloseWindow();
  fileRun();
  EXPECT_EQ(DiagramState().XMax, 100);
  // Two command-line parameters: no dialog.
  G().CommandLineArgs = {"a.zeb", "/CAD1:2"};
  fileRun();
  EXPECT_EQ(dialog->Shown().size(), 3u);
  EXPECT_EQ(dialog->Unused(), 0u);
}

TEST_F(DiagramTest, LimitsDialogLogic) {
  // Axis mode 4: "0" is refused, "0,5" and "100" accepted.
  ui().ExpectMessageBox("", "Error: x = 0 !");
  EXPECT_FALSE(DiagramLimitsAccept({"0", "1", "100", "2"}, 4));
  EXPECT_TRUE(DiagramLimitsAccept({"0,5", "1", "100", "2"}, 4));
  EXPECT_TRUE(DiagramLimits().xmin == 0.5L && DiagramLimits().xmax == 100);
  // Both log axes wrong: only the x message.
  ui().ExpectMessageBox("", "Error: x = 0 !");
  EXPECT_FALSE(DiagramLimitsAccept({"0", "0", "1", "1"}, 3));
  ui().ExpectMessageBox("", "Error: y = 0 !");
  EXPECT_FALSE(DiagramLimitsAccept({"1", "0", "1", "1"}, 2));
  // Linear: a text that does not convert gives 0.
  EXPECT_TRUE(DiagramLimitsAccept({"1", "2", "3", "abc"}, 0));
  EXPECT_EQ(DiagramLimits().ymax, 0);
  // "Calculate" on a log x axis gives 10^ of the computed log limits.
  DiagramLimitsRequest req;
  req.computed = {0, 0, 3, 5};
  req.axisMode = 4;
  const auto t = DiagramLimitsCalculatedTexts(req);
  EXPECT_TRUE(TextToFloat(t[0]) == 1 && TextToFloat(t[2]) == 1000 && TextToFloat(t[3]) == 5);
  // A refused OK keeps the form open for the next answer.
  ScriptedDiagramLimitsDialog dlg;
  dlg.Ok({"0", "1", "10", "2"});
  dlg.CalculateOk();
  ui().ExpectMessageBox("", "Error: x = 0 !");
  dlg.Run(req);
  EXPECT_EQ(DiagramLimits().xmax, 1000);
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(DiagramTest, ClippingToTheFrame) {
  StartScreen();
  DiagramSetPlotSize(100, 100);
  DiagramSetRange(0, 0, 10, 10);
  DiagramClipLine(5, 5, 50, 5);      // cut at the frame
  DiagramClipLine(-0.05L, 5, 5, 5);  // within 1 % outside: whole
  DiagramClipLine(-5, 5, 15, 5);     // both ends outside: nothing
  const auto l = Lines();
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].args, (Reals{50, 50, 100, 50}));
  EXPECT_NEAR(D(l[1].args[0]), -0.5, kEps);
  EXPECT_NEAR(D(l[1].args[2]), 50, kEps);
}

TEST_F(DiagramTest, CurveAndSymbolsOnALogarithmicXAxis) {
  StartScreen();
  DiagramState().DiagramAxisMode = 4;
  DiagramSetPlotSize(100, 100);
  DiagramSetRange(0, 0, 2, 10);
  DiagramMoveTo(1, 5);
  DiagramLineTo(10, 5);
  DiagramLineTo(100, 5);
  const auto l = Lines();
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].args, (Reals{0, 50, 50, 50}));
  EXPECT_EQ(l[1].args, (Reals{50, 50, 100, 50}));
  EXPECT_EQ(DiagramState().LastX, 100);
  sink().ClearCalls();
  DiagramSymbol(1, 10, 5);  // no symbols on logarithmic axes
  DiagramState().DiagramAxisMode = 0;
  DiagramSymbol(5, 1, 5);  // nor of number 5
  EXPECT_TRUE(sink().Calls().empty());
}

TEST_F(DiagramTest, MarkersAtTheTicksAndTheirGuards) {
  StartScreen();
  DiagramSetPlotSize(100, 50);
  DiagramSetRange(0, 0, 10, 5);
  DiagramState().XTickStep = 2;
  DiagramLineWithMarkers(1, 0, 0, 10, 5);
  const auto c = sink().Named("GrafCircle");
  ASSERT_EQ(c.size(), 5u);
  for (std::size_t k = 0; k < 5; ++k) {
    EXPECT_NEAR(D(c[k].args[0]), 20.0 * (k + 1), kEps);
    EXPECT_NEAR(D(c[k].args[1]), 10.0 * (k + 1), kEps);
  }
  // A step of 0 (as after DiagramReset), NaN or one too small to move:
  // the line but no markers, and no endless loop (hang bound; it takes
  // microseconds).
  for (Real step : {0.0L, std::nanl(""), -2.0L, 1e-30L}) {
    sink().ClearCalls();
    DiagramState().XTickStep = step;
    EXPECT_TRUE(test::EndsWithinHangBound([] { DiagramLineWithMarkers(1, 0, 0, 10, 5); }));
    EXPECT_TRUE(sink().Named("GrafCircle").empty());
    EXPECT_EQ(Lines().size(), 1u);
  }
  DiagramReset();
  EXPECT_EQ(DiagramState().XTickStep, 0);
}

TEST_F(DiagramTest, LegendLinesStackDownwards) {
  StartScreen();
  DiagramSetPlotSize(160, 120);
  DiagramSetRange(0, 0, 160, 120);  // world = sheet
  CadTextStyle(2, 0, 3, 2);
  CadMoveTo(100, 100);
  for (const char* t : {"eins", "zwei", "drei"}) DiagramLegendLine(t, 1);
  const auto texts = sink().Named("GrafOutTextXY");
  const auto circles = sink().Named("GrafCircle");
  ASSERT_EQ(texts.size(), 3u);
  ASSERT_EQ(circles.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    const Real y = 100 - 1.6L * 3 * k;
    EXPECT_NEAR(D(texts[k].args[1]), D(y), kEps);
    EXPECT_NEAR(D(circles[k].args[0]), 97, kEps);
    EXPECT_NEAR(D(circles[k].args[1]), D(y + 1.5L), kEps);
  }
}

// The title stands clear of the y axis and its arrow, on the nearer side.
// The text size is scaled by max(160 / 160, 120 / 110): height 3.5 s,
// 2.5 s per character; the arrow is 0.04 * 120 / 8 wide each side, the gap
// a quarter of the height.
TEST_F(DiagramTest, TheTitleStepsAsideFromTheYAxis) {
  const Real s = 120.0L / 110, cw = 2.5L * s, half = 0.6L, gap = 0.25L * 3.5L * s;
  StartScreen();
  auto title = [&](const std::string& text) {
    for (const auto& c : sink().Named("GrafOutTextXY"))
      if (c.text == text) return c;
    return SinkCall{};
  };
  // x -60 .. 60: the axis at sheet x 80; "Titel" centred at
  // 80 - 1.75 * 5 = 71.25 would run to 71.25 + its ink: it goes left. Its
  // ink: T, i, t, e, l of 0.611, 0.222, 0.278, 0.556, 0.222 em of 1.75
  // cells.
  DiagramFrame("x", "y", "Titel", -50, 0, 50, 10, 0);
  ASSERT_NEAR(D(DiagramMapX(0)), 80, 1e-9);
  const Real ink = 1.889L * 1.75L * cw;
  EXPECT_NEAR(D(title("Titel").args[0]), D(80 - half - gap - ink), 1e-9);
  EXPECT_NEAR(D(title("Titel").args[1]), 123, 1e-9);
  sink().ClearCalls();
  // The axis at the plot's left edge and a title that starts there: right
  // of the axis, since it may not stand left of the plot.
  DiagramFrame("x", "y", std::string(50, 'T'), 0, 0, 100, 10, 0);
  EXPECT_NEAR(D(title(std::string(50, 'T')).args[0]), D(half + gap), 1e-9);
  sink().ClearCalls();
  // Leading blanks that keep the letters clear leave it as it was.
  DiagramFrame("x", "y", "   " + std::string(40, 'T'), 0, 0, 100, 10, 0);
  EXPECT_NEAR(D(title("   " + std::string(40, 'T')).args[0]), 80 - 1.75 * 43, 1e-9);
  sink().ClearCalls();
  // No y axis (x from 10), no move.
  DiagramFrame("x", "y", "Titel", 10, 0, 100, 10, 0);
  EXPECT_NEAR(D(title("Titel").args[0]), 71.25, 1e-9);
}

// A label steps aside from a line drawn before it: up or down first, then
// sideways, and stays in the plot; one in a free place stays there.
TEST_F(DiagramTest, LabelsKeepClearOfLines) {
  StartScreen();
  DiagramFrame("x", "y", "T", 0, 0, 160, 120, 0);
  CadTextStyle(2, 0, 2, 2);  // 2 x 2 per character
  // A horizontal line at y 50 and a vertical one at x 100 up to y 80.
  DiagramLine(20, 50, 150, 50);
  DiagramLine(100, 0, 100, 80);
  sink().ClearCalls();
  DiagramPlaceLabelAt("free", 30, 20);
  DiagramPlaceLabelAt("low", 30, 49);    // would sit on the line: one step up
  DiagramPlaceLabelAt("wide", 95, 60);   // the vertical runs through it at every height tried
  const auto texts = sink().Named("GrafOutTextXY");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_NEAR(D(texts[0].args[0]), 30, 1e-9);
  EXPECT_NEAR(D(texts[0].args[1]), 20, 1e-9);
  EXPECT_NEAR(D(texts[1].args[0]), 30, 1e-9);
  EXPECT_NEAR(D(texts[1].args[1]), 49 + 2.4, 1e-9);
  // x 95..103 holds x 100 up to y 80 whatever the height nearby: moved
  // sideways by whole characters, off the line.
  const Real x = texts[2].args[0], y = texts[2].args[1];
  EXPECT_TRUE(x + 8 <= 100 + 0.05 || x >= 100 - 0.05) << D(x);
  EXPECT_NEAR(std::fmod(D(x - 95), 2.0), 0.0, 1e-9);
  EXPECT_GE(D(y), 0);
  EXPECT_LE(D(y + 2), 120);
}


// Where lines leave no place free for a block (every place crossed), the
// block takes the nearest place that covers no point's mark and no label:
// the lines are broken at its texts, a mark is drawn whole and would hide
// under them. Where no mark or label is near, it keeps its place.
TEST_F(DiagramTest, WhereNoPlaceIsFreeABlockCoversNoMarkAndNoLabel) {
  StartScreen();
  DiagramFrame("x", "y", "T", 0, 0, 160, 120, 0);
  for (int k = 0; k < 120; ++k) DiagramLine(0, k + 0.5L, 160, k + 0.5L);
  DiagramCircleY(40, 40.5L, 1);
  const auto circles = sink().Named("GrafCircle");
  ASSERT_EQ(circles.size(), 1u);
  const Real mx = circles[0].args[0], my = circles[0].args[1], r = circles[0].args[2];
  auto covers = [](Real px, Real py, Real pr, Real x, Real y, Real w, Real h) {
    return std::hypot(std::max({x - px, Real(0), px - x - w}), std::max({y - py, Real(0), py - y - h})) < pr;
  };
  Real x = 35, y = 38;
  EXPECT_FALSE(DiagramPlaceBox(20, 5, 1, x, y));
  EXPECT_FALSE(covers(mx, my, r, x, y, 20, 5)) << D(x) << " " << D(y);
  // A second block asked for at the same place keeps clear of the first and of the mark.
  Real x2 = 35, y2 = 38;
  DiagramPlaceBox(20, 5, 1, x2, y2);
  EXPECT_FALSE(covers(mx, my, r, x2, y2, 20, 5)) << D(x2) << " " << D(y2);
  EXPECT_TRUE(x2 >= x + 20 || x2 + 20 <= x || y2 >= y + 5 || y2 + 5 <= y) << D(x2) << " " << D(y2);
  // Nothing but lines near: the place asked for.
  Real x3 = 100, y3 = 80;
  EXPECT_FALSE(DiagramPlaceBox(20, 5, 1, x3, y3));
  EXPECT_NEAR(D(x3), 100, 1e-9);
  EXPECT_NEAR(D(y3), 80, 1e-9);
}

// A point's label: beside the point where that is free, no leader; where
// lines fill the place beside it, at the nearest free place, in the plot,
// with a leader from the mark towards it when that is more than about a
// text height away.
TEST_F(DiagramTest, PointLabelsStayByTheirPoints) {
  StartScreen();
  DiagramFrame("x", "y", "T", 0, 0, 160, 120, 0);
  CadTextStyle(2, 0, 2, 2);
  sink().ClearCalls();
  DiagramPlacePointLabelAt("P", 40, 40, 1, 42, 39);
  EXPECT_EQ(sink().Lines(), std::vector<std::string>{"GrafOutTextXY(\"P\",42,39)"});
  // Vertical lines 1 apart from x 80 to x 120, y 20 to 100, around (100, 60).
  for (int x = 80; x <= 120; ++x) DiagramLine(x, 20, x, 100);
  sink().ClearCalls();
  DiagramPlacePointLabelAt("Q", 100, 60, 1, 102, 59);
  const auto texts = sink().Named("GrafOutTextXY");
  const auto lines = sink().Named("GrafLine");
  ASSERT_EQ(texts.size(), 1u);
  ASSERT_EQ(lines.size(), 1u);
  const Real tx = texts[0].args[0], ty = texts[0].args[1];
  // The nearest free place: left of x 80 or right of x 120 near the point's
  // height, but not with a leader along the grid line at that height.
  EXPECT_TRUE(tx + 2 <= 80 + 0.05L || tx >= 120 - 0.05L) << D(tx);
  EXPECT_NEAR(D(ty), 59, 4);
  // The leader starts on the mark (radius 1), points at the label and
  // parts from the grid line: its end over a millimetre away, or at 15
  // degrees or more.
  const auto& l = lines[0].args;
  EXPECT_NEAR(D(std::hypot(l[0] - 100, l[1] - 60)), 1, 1e-9);
  EXPECT_LT(D(std::min(std::fabs(l[2] - tx), std::fabs(l[2] - tx - 2))), 1);
  EXPECT_TRUE(std::fabs(l[3] - 60) > 1 || std::fabs(l[3] - l[1]) >= 0.2588L * std::hypot(l[2] - l[0], l[3] - l[1]))
      << D(l[2]) << ", " << D(l[3]);
}

// Points crowded by the plot's left edge on a line up from the axis, as on
// the buckling sheet (all on one abscissa): every label stands by its point
// or has a leader from its mark that shows, crossing no other label (the
// knockout would take it away). Heights of the points below the first.
TEST_F(DiagramTest, CrowdedPointLabelsKeepTheirLeadersClearOfLabels) {
  const std::vector<std::vector<Real>> cases{
      {0, 0.2L, 0.4L, 0.6L}, {0, 0.7L, 1.4L, 2.1L}, {0, 1.3L, 2.6L, 3.9L}, {0, 1.99L, 3.29L}, {0, 2.5L, 5, 7.5L}};
  const char* names[] = {"sc", "s2", "s1", "sn"};
  for (const auto& below : cases) {
    DiagramReset();
    StartScreen();
    DiagramFrame("x", "y", "T", 0, 0, 160, 120, 0);
    const Real px = 3.34L, top = 90;
    DiagramLine(px, 0, px, top);
    for (const Real b : below) DiagramCircleX(px, top - b, 0.3L);  // the marks first, as the diagrams draw them
    CadTextStyle(2, 0, 3.325L, 3.325L);
    std::vector<std::array<Real, 4>> boxes, leaders;
    for (std::size_t k = 0; k < below.size(); ++k) {
      sink().ClearCalls();
      DiagramPlacePointLabel(names[k], px, top - below[k], 0.3L, 0.95L, -0.21L);
      const auto texts = sink().Named("GrafOutTextXY");
      ASSERT_EQ(texts.size(), 1u);
      // The screen's calls carry sheet units (the plot is the sheet here).
      Real from, to;
      CadTextInk(names[k], from, to);
      boxes.push_back({texts[0].args[0] + from, texts[0].args[1], texts[0].args[0] + to, texts[0].args[1] + 3.325L});
      for (const auto& l : sink().Named("GrafLine")) leaders.push_back({l.args[0], l.args[1], l.args[2], l.args[3]});
    }
    for (const auto& l : leaders)
      for (const auto& b : boxes) {
        Real t0, t1;
        // Shrunk by a hair: a leader ends a quarter height short of its own.
        EXPECT_FALSE(SegmentPartInRect(l[0], l[1], l[2], l[3], b[0] + 0.05L, b[1] + 0.05L, b[2] - 0.05L,
                                       b[3] - 0.05L, t0, t1))
            << "points " << D(below[1]) << " apart: leader (" << D(l[0]) << ", " << D(l[1]) << ")-(" << D(l[2])
            << ", " << D(l[3]) << ") through a label at (" << D(b[0]) << ", " << D(b[1]) << ")";
      }
  }
}

TEST_F(DiagramTest, NonFiniteAndHugeLimits) {
  StartScreen();
  DiagramFrame("x", "y", "T", 0, std::nanl(""), 10, 5, 0);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_TRUE(sink().Calls().empty());
  G().AbortFlag = 0;
  const std::array<Real, 4> cases[] = {
      {1e17L, 0, 1e17L + 1, 1}, {0, 0, 1e300L, 1e300L}, {5, 5, 5, 5}, {1e20L, 0, 1e20L + 1, 1}};
  for (std::uint16_t mode : {0, 3}) {
    for (const auto& c : cases) {
      sink().ClearCalls();
      DiagramState().DiagramAxisMode = mode;
      // No endless tick loop (hang bound; a frame takes a millisecond).
      EXPECT_TRUE(test::EndsWithinHangBound([&c] {
        DiagramFrame("x", "y", "T", c[0], c[1], c[2], c[3], 0);
        DiagramMoveTo(c[0], c[1]);
        DiagramLineTo(c[2], c[3]);
      }));
      EXPECT_TRUE(AllFinite());
      EXPECT_FALSE(sink().Calls().empty());
    }
  }
  // Limits not above 0 on a logarithmic axis sit at log 0.
  sink().ClearCalls();
  DiagramState().DiagramAxisMode = 3;
  DiagramFrame("x", "y", "T", -5, 0, 100, 10, 0);
  EXPECT_TRUE(AllFinite());
  EXPECT_EQ(G().ErrorMessageList.count, 0);
}

TEST_F(DiagramTest, TransformsWithZeroSpansAndFactors) {
  DiagramSetPlotSize(100, 50);
  DiagramSetPlotOrigin(10, 20);
  DiagramSetRange(0, 0, 10, 5);
  EXPECT_TRUE(DiagramMapX(5) == 60 && DiagramMapY(5) == 70 && DiagramUnmapX(60) == 5 && DiagramScaleY(1) == 10);
  DiagramState().XTickStep = 2;
  DiagramScaleRange(0, 2);  // the x factor 0 is ignored
  EXPECT_TRUE(DiagramState().XMax == 10 && DiagramState().XTickStep == 2 && DiagramState().YMax == 2.5L);
  DiagramScaleRange(2, 1);
  EXPECT_EQ(DiagramState().XTickStep, 1);
  DiagramSetRange(5, 5, 5, 5);  // a zero span counts as 1
  EXPECT_TRUE(DiagramMapX(6) == 110 && DiagramScaleX(1) == 100 && DiagramUnmapY(70) == 6);
  DiagramSetPlotSize(0, 0);
  EXPECT_TRUE(std::isfinite(DiagramUnmapX(3)));
}

TEST_F(DiagramTest, ScaleRangeShiftsALogarithmicAxisByTheFactorsLogarithm) {
  // Log x axis in inches (0.05 .. 22 mm shown as inches), linear y in psi:
  // after the scaling, world x is log10 of millimetres.
  DiagramState().DiagramAxisMode = 4;
  DiagramSetPlotSize(100, 50);
  DiagramSetRange(std::log10(0.001L), 0, std::log10(1.0L), 500000);
  DiagramState().XTickStep = 0.5L;
  const Real inch = 1 / 25.4L;
  DiagramScaleRange(inch, 145.0377L);
  EXPECT_NEAR(D(DiagramState().XMin), std::log10(0.001 * 25.4), 1e-12);
  EXPECT_NEAR(D(DiagramState().XMax), std::log10(25.4), 1e-12);
  EXPECT_EQ(DiagramState().XTickStep, 0.5L);
  EXPECT_NEAR(D(DiagramState().YMax), 500000 / 145.0377, 1e-9);
  // 1 mm lies where 1/25.4 in lay before the scaling.
  EXPECT_NEAR(D(DiagramMapX(0)), (std::log10(1 / 25.4) + 3) / 3 * 100, 1e-9);
  // A factor not above 0 leaves a logarithmic axis alone.
  DiagramState().DiagramAxisMode = 3;
  DiagramScaleRange(-2, 0);
  EXPECT_NEAR(D(DiagramState().XMin), std::log10(0.001 * 25.4), 1e-12);
}

TEST_F(DiagramTest, NiceLogAxisScaleRereadsAnUpperLimitThatIsNotWhole) {
  Real lo = 0, hi = 0, step = 0;
  NiceLogAxisScale(lo, hi, step, 0, 3, 5);
  EXPECT_TRUE(lo == 0 && hi == 3 && step == 0.5L);
  // log10 of 1 .. 300 with 12 divisions: step 0.2, hi 2.6 is read as
  // 10^3 * 0.6 = 600.
  NiceLogAxisScale(lo, hi, step, 0, std::log10(300.0L), 12);
  EXPECT_NEAR(D(step), 0.2, 1e-12);
  EXPECT_NEAR(D(hi), std::log10(600.0), 1e-9);
  EXPECT_NEAR(D(DiagramLogTickPosition(0.5L)), std::log10(5.0), 1e-12);
  EXPECT_NEAR(D(DiagramLogTickPosition(1.2L)), std::log10(20.0), 1e-9);
  EXPECT_EQ(DiagramLogTickPosition(2), 2);
}

TEST_F(DiagramTest, TextTableColumnsRowsAndMarks) {
  StartScreen();
  {
    DiagramTextTable t(10, 100, 2, {10, 20, 0, 0, 0, 0, 0}, {"A", "B", "C", "", "", "", ""});
    EXPECT_EQ(t.BoundaryCount(), 3);
    EXPECT_NEAR(D(t.ColumnX(2)), 28, kEps);
    EXPECT_NEAR(D(t.ColumnX(3)), 64, kEps);
    // Header box and its two outer sides; two text columns.
    auto texts = sink().Named("GrafOutTextXY");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].ToString(), "GrafOutTextXY(\" A\",10,97)");
    EXPECT_EQ(Lines().size(), 6u);
    sink().ClearCalls();
    t.AddRow4("r1", "r2", "r3", "r4");
    // Line under the row, three column lines, two texts on the next baseline.
    const auto l = Lines();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0].args, (Reals{10, 92, 64, 92}));
    EXPECT_EQ(l[2].args, (Reals{28, 92, 28, 96}));
    texts = sink().Named("GrafOutTextXY");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].text, " r2");
    EXPECT_NEAR(D(texts[1].args[1]), 93, kEps);
  }
  sink().ClearCalls();
  // A header cut to 80 characters (in a column that holds them).
  DiagramTextTable wide(0, 80, 1, {100, 0, 0, 0, 0, 0, 0}, {std::string(100, 'h'), {}, {}, {}, {}, {}, {}});
  EXPECT_EQ(Texts()[0], " " + std::string(80, 'h'));
  sink().ClearCalls();
  DiagramTextTable all(0, 50, 1, {1, 1, 1, 1, 1, 1, 1}, {"h", "2", "3", "4", "5", "6", "7"});
  EXPECT_EQ(all.BoundaryCount(), 8);
  sink().ClearCalls();
  all.AddMarkRow("m", 2);
  auto texts = Texts();
  ASSERT_EQ(texts.size(), 7u);
  // A column one character wide holds the X without the blank before it.
  EXPECT_TRUE(texts[1] == " " && texts[2] == "X");
  sink().ClearCalls();
  all.AddMarkRow("m", 7);
  EXPECT_FALSE(HasText("X"));
}

TEST_F(DiagramTest, WireSectionAndMaterialLines) {
  StartScreen();
  auto& d = DiagramData();
  d.CrossSection = 7;
  d.d = 2.5L;
  d.di = 1.2L;
  d.TolWire = 0.02L;
  CadTextStyle(2, 0, 2, 1.5L);
  CadMoveTo(0, 100);
  DiagramWireSectionText(true);
  const std::string mm = " " + LengthUnitName(), tol = FormatLengthTolerancePair(-0.02L, 0.02L);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"rund, hohl", "d = " + FormatLength(2.5L) + tol + mm,
                                               "di = " + FormatLength(1.2L) + mm}));
  // English units: every length in inches, the corner radius too.
  sink().ClearCalls();
  G().UnitSystem = 1;
  d.CrossSection = 6;
  d.h = 3;
  d.r = 0.5L;
  DiagramWireSectionText(false);
  auto texts = Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "rechteckig + r " + FormatLength(0.5L) + " in");
  EXPECT_EQ(texts[2], "h = " + FormatLength(3) + " in");
  G().UnitSystem = 0;
  // Material lines: no temperature lines at 20 degrees.
  sink().ClearCalls();
  d.DrawingName = "Feder";
  d.DrawingNo = "4711";
  d.MaterialSel = 0;
  d.MaterialRecordName1 = " DH ";
  d.MaterialRecordName3 = "1.1200 ";
  d.ShotPeened = 'N';
  d.T = 20;
  DiagramMaterialText();
  texts = Texts();
  ASSERT_EQ(texts.size(), 7u);  // title, " ", material, Rm, E, G, rho
  EXPECT_EQ(texts[0], "Feder  4711  ");
  EXPECT_EQ(texts[2], "DH (1.1200) nicht kugelgestrahlt");
  EXPECT_EQ(texts[6].substr(0, 6), "rho = ");
  sink().ClearCalls();
  d.T = 120;
  DiagramMaterialText();
  EXPECT_EQ(Texts().size(), 9u);
}

}  // namespace
}  // namespace zeb::test
