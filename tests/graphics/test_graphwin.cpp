// The graphics window: mapping, records, replay, printing and the zoom,
// pan, key and mouse logic, on a recording renderer.
#include <algorithm>
#include <charconv>
#include <random>
#include <clocale>
#include <cmath>

#include "base/support_contrast.h"
#include "base/support_decimal.h"
#include "base/globals.h"
#include "graph_support.h"
#include "reports/printjob.h"

namespace zeb::test {
namespace {

class WindowTest : public GraphTest {};

// Device box of the only ellipse of a paint.
std::vector<int> EllipseBox(const RecordingRenderer& r) {
  const auto e = r.Starting("Ellipse(");
  EXPECT_EQ(e.size(), 1u);
  return e.empty() ? std::vector<int>{} : Ints(e[0]);
}

TEST_F(WindowTest, HeaderMapsTheSheetOntoTheInsetDevice) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  EXPECT_EQ(win().Device(), (DevRect{1, 1, 639, 479}));
  EXPECT_DOUBLE_EQ(static_cast<double>(win().ScaleX()), 478.0 / 120);
  EXPECT_DOUBLE_EQ(static_cast<double>(win().ScaleY()), 478.0 / 120);
  EXPECT_EQ(Records("10;"), std::vector<std::string>{"10;1;1;639;479;0;0;160;120"});
  f().GrafLine(0, 0, 160, 120);
  EXPECT_EQ(Paint().Starting("Line("), std::vector<std::string>{"Line(1,479,638,1)"});
}

TEST_F(WindowTest, CirclesStayRoundAtAnyConfiguredResolution) {
  G().ScreenWidth = 1015;
  G().ScreenHeight = 677;
  EXPECT_EQ(win().DeviceWidth(), 903);  // Nearest(4 * 677 / 3)
  for (auto [w, h] : {std::pair{160, 120}, std::pair{230, 315}}) {
    f().GrafClear();
    f().GrafHeader(false, 0, 0, w, h);
    f().GrafCircle(w / 2.0L, h / 2.0L, 40);
    const auto b = EllipseBox(Paint());
    ASSERT_EQ(b.size(), 4u);
    EXPECT_NEAR(b[2] - b[0], b[3] - b[1], 1) << w << "x" << h;
    // The whole sheet shows: its corners lie on the device.
    double x, y;
    win().ToScreen(w, h, x, y);
    EXPECT_LE(x, 903);
    EXPECT_GE(y, 0);
  }
}

TEST_F(WindowTest, RecordsFollowTheirRules) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  list().clear();
  f().GrafSetColor(12);
  f().GrafSetColor(12);
  f().GrafSetColor(17);  // above the highest colour: nothing
  f().GrafSetColor(-3);  // negative: ignored, remembered colour kept
  EXPECT_EQ(win().GetColor(), 17);
  win().Arc(10, 10, 30, 32, 5);   // sweep 2: chord
  win().Arc(10, 10, 30, 30, 5);   // a1 = a2: chord
  win().Arc(10, 10, 0, 360, 5);   // full circle
  win().Arc(10, 10, 90, 0, 5);    // 270 counter-clockwise
  f().GrafOutTextXY("a;b", 1, 2);
  win().SetLineStyleName("PUNKT");
  win().SetLineStyleName("punkt");  // names are case-sensitive: style 0
  win().SetLineWidth(1);            // as remembered: nothing
  win().SetLineWidth(3);
  const std::vector<std::string> expect = {
      "8;12", "4;14.330127;12.5;14.24024;12.649596", "4;14.330127;12.5;14.330127;12.5", "3;10;10;5",
      "5;5;5;15;15;10;15;15;10", "6;1;2;a;b", "11;1", "11;0", "12;3"};
  EXPECT_EQ(list(), expect);
  // The text keeps its ";" on the screen.
  EXPECT_EQ(Paint().Starting("Text(").at(0).substr(0, 5), "Text(");
  EXPECT_NE(Paint().Starting("Text(").at(0).find(",a;b)"), std::string::npos);
  EXPECT_EQ(GraphWindow::GetDirection(90), 1);
  EXPECT_EQ(GraphWindow::GetDirection(-90), 1);
  EXPECT_EQ(GraphWindow::GetDirection(45), 0);
  EXPECT_EQ(GraphWindow::GetDirection(180), 0);
}

TEST_F(WindowTest, RealsAreRecordedInTheCLocaleWithEightDigits) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8";
  f().GrafLine(1.23456789L, -0.0L, 1e300L, 2.5e-7L);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(list().back(), "4;1.2345679;0;1e+300;2.5e-07");
  // Values no double holds are not recorded at all.
  const auto n = list().size();
  f().GrafLine(1e4000L, 0, 0, 0);
  f().GrafCircle(NAN, 0, 1);
  EXPECT_EQ(list().size(), n);
}

// The list's reals read as the standard library writes them (8 significant
// digits, general), over every decade a picture can hold, exact ties and
// values a hair either side of a rounding step and of a power of ten.
TEST_F(WindowTest, RealsAreRecordedAsTheLibraryWritesThemWithEightDigits) {
  std::mt19937_64 gen(6707);
  std::uniform_real_distribution<double> unit(1, 10);
  std::uniform_int_distribution<int> decade(-7, 10), digits(10000000, 99999999);
  auto expected = [](double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 8);
    const std::string text(buf, r.ptr);
    return text == "-0" ? std::string("0") : text;
  };
  std::vector<double> values = {0.0, -0.0, 1e-4, 9.99999995e-5, 99999999.5, 99999999.4, 1e8, 0.5, 1, 100, 120};
  for (int i = 0; i < 200000; ++i) {
    const double scale = std::pow(10.0, decade(gen));
    const double tie = (digits(gen) + 0.5) * scale / 1e7;  // a ninth digit of 5
    values.insert(values.end(), {unit(gen) * scale, -unit(gen) * scale, tie, std::nextafter(tie, 0.0),
                                 std::nextafter(tie, 1e300), std::nextafter(scale, 0.0), std::round(unit(gen) * 1e4)});
  }
  int wrong = 0;
  for (const double v : values)
    if (ListReal(v) != expected(v) && ++wrong <= 5) ADD_FAILURE() << std::hexfloat << v << ": " << ListReal(v);
  EXPECT_EQ(wrong, 0);
}

// A text style is recorded where it changes: once for texts in a row, again
// after a change, after Clear and after the list is emptied; every text
// keeps its size.
TEST_F(WindowTest, ATextStyleIsRecordedWhereItChanges) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  auto text = [&](Real height) {
    f().GrafSetTextStyle(0, 0, height, height);
    f().GrafOutTextXY("A", 40, 60);
  };
  text(5);
  text(5);
  text(3);
  text(5);
  EXPECT_EQ(Records("9;").size(), 3u);
  const auto fonts = Paint().Starting("Font(");
  ASSERT_EQ(fonts.size(), 4u);
  EXPECT_EQ(fonts[0], fonts[1]);
  EXPECT_NE(fonts[1], fonts[2]);
  EXPECT_EQ(fonts[3], fonts[0]);
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  text(5);
  EXPECT_EQ(Records("9;").size(), 1u);
  f().DisplayListInit();
  text(5);
  EXPECT_EQ(Records("9;").size(), 1u);
}

TEST_F(WindowTest, RefusedWindowSetsAbortAndKeepsTheScales) {
  f().GrafHeader(false, 0, 0, 160, 120);
  const Real sx = win().ScaleX();
  G().AbortFlag = 0;
  f().GrafSetWindow(true, true, 0, 0, 1, 1, 5, 0, 5, 10);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(win().ScaleX(), sx);
  // Header after the refused call keeps the previous aspect factor.
  const Real a = win().AspectFactor();
  f().GrafHeader(false, 0, 0, 160, 120);
  EXPECT_EQ(win().AspectFactor(), a);
}

TEST_F(WindowTest, ZeroSpanWindowStopsTheReplayWithoutAbort) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  f().GrafLine(0, 0, 10, 10);
  list().push_back("10;1;1;639;479;0;0;0;120");
  f().GrafLine(0, 0, 20, 20);
  G().AbortFlag = 0;
  const auto r = Paint();
  EXPECT_EQ(r.Starting("Line(").size(), 1u);
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(WindowTest, EmptyListPaintsNothingAndRestoresTheCursor) {
  f().GrafClear();
  host().cursor.clear();
  const auto r = Paint();
  EXPECT_TRUE(r.Starting("Line(").empty());
  EXPECT_TRUE(r.Starting("Polygon(").empty());
  EXPECT_EQ(host().cursor, (std::vector<std::string>{"wait", "arrow"}));
}

TEST_F(WindowTest, ClearForgetsThePenSoTheColourAlwaysReturns) {
  f().GrafSetColor(12);
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  f().GrafSetColor(12);
  f().GrafLine(0, 0, 10, 10);
  EXPECT_EQ(Records("8;"), std::vector<std::string>{"8;12"});
  constexpr std::uint32_t kRed = 0x0000FF;
  EXPECT_EQ(Paint().PenColour(), kRed);
  // A repaint after a paint in another colour starts again from colour 1.
  list().insert(list().begin(), "8;10");
  list().erase(list().begin());
  EXPECT_EQ(Paint().PenColour(), kRed);
  const auto first = Paint().Calls();
  ASSERT_GE(first.size(), 3u);
  // Colour 1, navy, lightened to 3:1 on the near-black background.
  EXPECT_NE(std::find(first.begin(), first.begin() + 3, "Pen(A74F4F,0,1)"), first.begin() + 3)
      << "colour 1, solid, width 1 first";
}

TEST_F(WindowTest, ReplayColoursFontsAndStyles) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  win().SetLineStyle(2);
  win().SetLineWidth(2);
  f().GrafSetColor(0);
  f().GrafSolid(0, 0, 10, 0, 10, 10, 0, 10);
  f().GrafSetTextStyle(0, 90, 5, 5);
  f().GrafOutTextXY("\x81", 40, 60);  // OEM u-umlaut
  EXPECT_EQ(list().back(), "6;40;60;\xFC");
  const auto r = Paint();
  const auto& c = r.Calls();
  const auto background = G().BackgroundColour;
  ASSERT_EQ(background, 1);
  EXPECT_NE(std::find(c.begin(), c.end(), "Pen(000001,2,2)"), c.end());
  EXPECT_NE(std::find(c.begin(), c.end(), "Polygon(1,479,41,479,41,439,1,439)"), c.end());
  // Height 5 * 1.6 mm, width 5 * 1.1 * 0.8 mm at 478/120 px/mm, 90 degrees,
  // regular; the top left lies 0.7 h to the left of (40, 60).
  const double s = 478.0 / 120, h = 8;
  const auto font = r.Starting("Font(");
  ASSERT_EQ(font.size(), 1u);
  EXPECT_EQ(font[0], "Font(Arial," + std::to_string(static_cast<int>(std::nearbyint(s * h))) + "," +
                         std::to_string(static_cast<int>(std::nearbyint(s * 4.4))) + ",900,)");
  const auto text = Ints(r.Starting("Text(").at(0));
  EXPECT_EQ(text[0], static_cast<int>(std::nearbyint((40 - 0.7 * h) * s + 1)));
  EXPECT_EQ(text[1], 479 - static_cast<int>(std::nearbyint(60 * s)));
}

double Contrast(std::uint32_t a, std::uint32_t b) { return ContrastBgr(a, b); }

// Every colour of the table, and black, on the screen's default background,
// black, white, every table colour and a grid of others: shown at 3:1 or
// more; kept where it already was; else moved straight to white or black,
// no further than the 3:1 needs.
TEST_F(WindowTest, EveryColourShowsAtThreeToOneOnEveryBackground) {
  std::vector<std::uint32_t> backgrounds{1, 0, 0xFFFFFF};
  backgrounds.insert(backgrounds.end(), G().ColourTable.begin(), G().ColourTable.end());
  for (std::uint32_t r = 0; r < 256; r += 51)
    for (std::uint32_t g = 0; g < 256; g += 51)
      for (std::uint32_t b = 0; b < 256; b += 51) backgrounds.push_back(r | g << 8 | b << 16);
  std::vector<std::uint32_t> colours(G().ColourTable.begin(), G().ColourTable.end());
  colours.push_back(0);
  int moved = 0;
  for (std::uint32_t back : backgrounds)
    for (std::uint32_t c : colours) {
      SCOPED_TRACE(testing::Message() << std::hex << "colour " << c << " on " << back);
      const std::uint32_t shown = ShownOn(c, back);
      EXPECT_GE(Contrast(shown, back), 3.0);
      if (Contrast(c, back) >= 3.0) {
        EXPECT_EQ(shown, c);
        continue;
      }
      ++moved;
      EXPECT_LT(Contrast(shown, back), 3.25) << "further than needed";
      // Every channel moved the same way, the same share of its way.
      const bool up = ((shown & 0xFF) > (c & 0xFF)) || ((shown >> 8 & 0xFF) > (c >> 8 & 0xFF)) ||
                      ((shown >> 16 & 0xFF) > (c >> 16 & 0xFF));
      double share = -1;
      for (int k = 0; k < 3; ++k) {
        const int from = static_cast<int>(c >> (8 * k) & 0xFF), to = static_cast<int>(shown >> (8 * k) & 0xFF);
        const int room = up ? 255 - from : from;
        EXPECT_TRUE(up ? to >= from : to <= from);
        if (room < 40) continue;
        const double s = std::abs(to - from) / static_cast<double>(room);
        if (share < 0) share = s;
        EXPECT_NEAR(s, share, 0.02);
      }
    }
  EXPECT_GT(moved, 100);
  // The load spectrum's navy and maroon on the default background.
  EXPECT_LT(Contrast(0x800000, 1), 1.4);
  EXPECT_LT(Contrast(0x000080, 1), 2.0);
}

// Texts and lines of every colour on the screen stand out from its
// background; the printer keeps the table's colours.
TEST_F(WindowTest, ScreenTextsAndLinesKeepThreeToOne) {
  G().PrintColourMode = 2;
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  f().GrafSetTextStyle(0, 0, 3, 3);
  for (int n = 1; n <= 16; ++n) {
    f().GrafSetColor(n);
    f().GrafLine(0, n, 100, n);
    f().GrafOutTextXY("8: 15.8 %", 10, 6 * n);
  }
  const auto background = static_cast<std::uint32_t>(G().BackgroundColour);
  const auto colourIn = [](const std::string& call) {
    return static_cast<std::uint32_t>(std::stoul(call.substr(call.find('(') + 1, 6), nullptr, 16));
  };
  const auto screen = Paint();
  const auto texts = screen.Starting("TextColour(");
  ASSERT_GE(texts.size(), 10u);
  for (const auto& t : texts) EXPECT_GE(Contrast(colourIn(t), background), 3.0) << t;
  for (const auto& p : screen.Starting("Pen(")) EXPECT_GE(Contrast(colourIn(p), background), 3.0) << p;
  RecordingRenderer printer(win().DeviceWidth(), win().DeviceHeight());
  win().Replay(nullptr, &printer);
  const auto printed = printer.Starting("TextColour(");
  EXPECT_NE(std::find(printed.begin(), printed.end(), "TextColour(800000)"), printed.end());
  EXPECT_NE(std::find(printed.begin(), printed.end(), "TextColour(000080)"), printed.end());
}

// Leading blanks move a text as far as the face draws them, as in every CAD
// program: two blanks of 0.278 em, an em 1.75 cells of 5 * 1.1 * 0.8 mm.
TEST_F(WindowTest, LeadingBlanksAreAsNarrowAsTheFaceDrawsThem) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  f().GrafSetTextStyle(0, 0, 5, 5);
  f().GrafOutTextXY("  AB", 40, 60);
  const auto r = Paint();
  const double s = 478.0 / 120, lead = 2 * 0.278 * 1.75 * 4.4;
  const auto text = Ints(r.Starting("Text(").at(0));
  EXPECT_EQ(text[0], static_cast<int>(std::nearbyint((40 + lead) * s + 1)));
}

// A paint in the middle of a drawing (a table open processes events) leaves
// the drawing's pen alone: going back to width 1 and style 0 is recorded.
TEST_F(WindowTest, PaintInTheMiddleOfADrawingKeepsItsPenChanges) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  win().SetLineStyle(3);
  win().SetLineWidth(4);
  f().GrafLine(0, 0, 10, 10);
  (void)Paint();
  win().SetLineWidth(1);
  win().SetLineStyle(0);
  f().GrafLine(10, 10, 20, 20);
  EXPECT_EQ(Records("12;"), (std::vector<std::string>{"12;4", "12;1"}));
  ASSERT_FALSE(Records("11;").empty());
  EXPECT_EQ(Records("11;").back(), "11;0");
  // The second line is drawn thin and solid.
  const auto calls = Paint().Calls();
  ASSERT_FALSE(calls.empty());
  const auto last =
      std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) { return c.rfind("Pen(", 0) == 0; });
  ASSERT_NE(last, calls.rend());
  EXPECT_EQ(last->substr(last->size() - 5), ",0,1)");
}

TEST_F(WindowTest, HugeCoordinatesAreClippedBeforeBecomingIntegers) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  f().GrafLine(-1e9L, 60, 1e9L, 60);
  f().GrafCircle(80, 60, 1e9L);
  f().GrafSolid(-1e9L, -1e9L, 1e9L, -1e9L, 1e9L, 1e9L, -1e9L, 1e9L);
  f().GrafLine(1e9L, 1e9L, 2e9L, 2e9L);  // far outside: nothing
  for (int i = 0; i < 30; ++i) win().ProcessKey(kKeyAdd);
  const auto r = Paint();
  for (const auto& call : r.Calls()) {
    if (call.rfind("Line(", 0) && call.rfind("Polygon(", 0) && call.rfind("Arc(", 0) && call.rfind("Ellipse(", 0))
      continue;
    for (int v : Ints(call)) EXPECT_LT(std::abs(v), 100000) << call;
  }
  EXPECT_EQ(r.Starting("Polygon(").size(), 1u);
  EXPECT_FALSE(r.Starting("Line(").empty());

  // A circle far too large for the device still shows where it passes:
  // its top runs along y = 60 mm, row 479 - Nearest(60 * 478 / 120) = 240.
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  f().GrafCircle(80, -1e7L, 1e7L + 60);
  const auto lines = Paint().Starting("Line(");
  ASSERT_FALSE(lines.empty());
  int minX = 1 << 30, maxX = -(1 << 30);
  for (const auto& l : lines) {
    const auto v = Ints(l);
    EXPECT_NEAR(v[1], 240, 1) << l;
    EXPECT_NEAR(v[3], 240, 1) << l;
    minX = std::min({minX, v[0], v[2]});
    maxX = std::max({maxX, v[0], v[2]});
  }
  EXPECT_LE(minX, 0);
  EXPECT_GE(maxX, 640);
}

TEST_F(WindowTest, LogoIsFiftySevenSolidsInTwoColours) {
  f().GrafClear();
  f().GrafDrawLogo();
  int solids = 0;
  std::string colour;
  for (const auto& rec : list()) {
    if (rec.rfind("8;", 0) == 0) colour = rec.substr(2);
    if (rec.rfind("7;", 0) != 0) continue;
    ++solids;
    EXPECT_TRUE(colour == "9" || colour == "13") << colour;
    std::vector<double> v;
    std::size_t i = 2;
    while (i < rec.size()) {
      std::size_t j = rec.find(';', i);
      v.push_back(static_cast<double>(zeb::test::DecimalValue(rec.substr(i, j - i))));
      i = j == std::string::npos ? rec.size() : j + 1;
    }
    ASSERT_EQ(v.size(), 8u);
    for (std::size_t k = 0; k < 8; ++k) {
      EXPECT_GE(v[k], -1);
      EXPECT_LE(v[k], k % 2 ? 33 : 38);
    }
  }
  EXPECT_EQ(solids, 57);
  EXPECT_EQ(Records("10;"), std::vector<std::string>{"10;1;1;639;479;-1;-1;38;33"});
}

// ---------------------------------------------------------------- printing

TEST_F(WindowTest, PrintingMapsOntoThePageAtFourTimesThePenWidth) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  win().SetLineWidth(2);
  f().GrafLine(0, 0, 160, 120);
  win().SleepMs(5000);
  RecordingRenderer page(4000, 3000);
  f().SetPrinterCanvas(&page);
  G().PrinterMode = 7;  // leaves scale and origin as set
  G().PrintOriginX = 25;
  PrinterBeginDoc();
  Graphics().FormPaint();
  PrinterEndDoc();
  f().SetPrinterCanvas(nullptr);
  // x: Nearest(4000 * 25 / 210) = 476 plus Nearest(4000 * px / 640);
  // y: Nearest(3000 * py / 480); px, py the unrounded screen position.
  EXPECT_EQ(page.Starting("Line("), std::vector<std::string>{"Line(482,2994,4466,6)"});
  const auto& c = page.Calls();
  EXPECT_NE(std::find(c.begin(), c.end(), "Pen(000000,0,8)"), c.end()) << "colour mode 1 prints black";
  EXPECT_EQ(host().pauses, std::vector<int>{}) << "no pause while printing";
  // The screen pauses.
  list().back() = "13;150";
  Paint();
  EXPECT_EQ(host().pauses, std::vector<int>{150});
}

TEST_F(WindowTest, PrintBorderFramesTheSheet) {
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 160, 120);
  G().PrintBorder = 1;
  RecordingRenderer page(640, 480);
  win().printing = 1;
  win().Replay(nullptr, &page);
  EXPECT_EQ(page.Starting("Line(").size(), 4u);
  EXPECT_NE(std::find(page.Calls().begin(), page.Calls().end(), "Pen(FFFF00,0,4)"), page.Calls().end());
}

// ---------------------------------------------------------------- keys and mouse

class ZoomTest : public GraphTest {
 protected:
  void SetUp() override {
    GraphTest::SetUp();
    f().GrafClear();
    f().GrafHeader(false, 0, 0, 160, 120);
    f().GrafSolid(60, 40, 100, 40, 100, 80, 60, 80);
    f().GrafCircle(80, 60, 30);
  }
  DevRect Z() { return win().Zoom(); }
};

TEST_F(ZoomTest, PlusZoomsAboutTheCentreAndLettersRepeatIt) {
  const DevRect z0 = Z();
  win().ProcessKey(kKeyAdd);
  // centre (320, 240); half sizes Nearest(638/1.2) div 2 = 266, Nearest(478/1.2) div 2 = 199.
  EXPECT_EQ(Z(), (DevRect{54, 41, 586, 439}));
  win().ProcessKey('A');
  // Nearest(532/1.2) div 2 = 221, Nearest(398/1.2) div 2 = 166.
  EXPECT_EQ(Z(), (DevRect{99, 74, 541, 406}));
  win().ProcessKey(kKeySubtract);
  win().ProcessKey(kKeySubtract);
  EXPECT_NEAR(Z().x2 - Z().x1, z0.x2 - z0.x1, 2);
  EXPECT_NEAR(Z().y2 - Z().y1, z0.y2 - z0.y1, 2);
  EXPECT_GT(host().repaints, 3);
}

TEST_F(ZoomTest, ArrowsAndPagesMoveTheViewAndComeBack) {
  win().ProcessKey(kKeyAdd);
  const DevRect z = Z();
  win().ProcessKey(kKeyUp);
  win().ProcessKey(kKeyDown);
  EXPECT_EQ(Z(), z);
  win().ProcessKey(kKeyLeft);
  const int dx = static_cast<int>(std::nearbyint(0.1 * (z.x2 - z.x1)));
  EXPECT_EQ(Z(), (DevRect{z.x1 + dx, z.y1, z.x2 + dx, z.y2}));
  win().ProcessKey(kKeyRight);
  EXPECT_EQ(Z(), z);
  win().ProcessKey(kKeyPageUp);
  const int dy = static_cast<int>(std::nearbyint(0.5 * (z.y2 - z.y1)));
  EXPECT_EQ(Z(), (DevRect{z.x1, z.y1 - dy, z.x2, z.y2 - dy}));
  win().ProcessKey(kKeyPageDown);
  EXPECT_EQ(Z(), z);
  // Left shows more of the right-hand side: the visible window moves right.
  const Real v = win().Visible().xmin;
  win().ProcessKey(kKeyLeft);
  EXPECT_GT(win().Visible().xmin, v);
}

TEST_F(ZoomTest, EscF5RightClickAndDoubleClickRestoreTheSheet) {
  const auto whole = Paint().Calls();
  for (int way = 0; way < 5; ++way) {
    win().ProcessKey(kKeyAdd);
    win().ProcessKey(kKeyLeft);
    ASSERT_NE(Paint().Calls(), whole);
    if (way == 0) win().ProcessKey(kKeyEsc);
    if (way == 1) win().ProcessKey(kKeyF5);
    if (way == 2) win().MouseDown(MouseButton::Right, 5, 5);
    if (way == 3) win().DoubleClick();
    if (way == 4) win().Regen();
    EXPECT_EQ(Paint().Calls(), whole) << way;
  }
}

TEST_F(ZoomTest, ManyStepsEndWithoutOverflow) {
  for (int i = 0; i < 60; ++i) win().ProcessKey(kKeyAdd);
  EXPECT_GT(Z().x2, Z().x1);
  for (int i = 0; i < 200; ++i) win().ProcessKey(kKeySubtract);
  EXPECT_LE(std::abs(Z().x1), 1 << 30);
  EXPECT_LE(std::abs(Z().x2), 1 << 30);
  EXPECT_TRUE(std::isfinite(static_cast<double>(win().ScaleX())));
  Paint();
}

TEST_F(ZoomTest, MouseRectangleShowsTheWorldUnderIt) {
  // A 230 x 315 sheet after the 160 x 120 one.
  f().GrafClear();
  f().GrafHeader(false, 0, 0, 230, 315);
  const WorldRect before = win().Visible();
  double x1, y1, x2, y2;
  win().ToScreen(50, 100, x1, y1);
  win().ToScreen(100, 150, x2, y2);
  win().MouseDown(MouseButton::Left, static_cast<int>(x2), static_cast<int>(y1));
  win().MouseMove(static_cast<int>(x1), static_cast<int>(y2));
  win().MouseUp(MouseButton::Left, static_cast<int>(x1), static_cast<int>(y2));
  const WorldRect v = win().Visible();
  // The binding axis (a square on a 4:3 device: y) shows exactly the drag.
  const double onePixel = static_cast<double>((before.ymax - before.ymin)) / 478;
  EXPECT_NEAR(static_cast<double>(v.ymin), 100, onePixel);
  EXPECT_NEAR(static_cast<double>(v.ymax), 150, onePixel);
  EXPECT_NEAR(static_cast<double>(v.xmin), 50, onePixel);
  // The reverse drag gives the same view; a click or a flat drag nothing.
  const DevRect z = Z();
  win().ResetZoom();
  win().MouseDown(MouseButton::Left, static_cast<int>(x1), static_cast<int>(y2));
  win().MouseUp(MouseButton::Left, static_cast<int>(x2), static_cast<int>(y1));
  EXPECT_EQ(Z(), z);
  win().MouseDown(MouseButton::Left, 100, 100);
  win().MouseUp(MouseButton::Left, 100, 100);
  win().MouseDown(MouseButton::Left, 100, 100);
  win().MouseUp(MouseButton::Left, 300, 100);
  EXPECT_EQ(Z(), z);
}

TEST_F(ZoomTest, OverlayLinesAreDrawnNotRecorded) {
  const auto n = list().size();
  win().MoveTo(0, 0);
  win().LineTo(160, 120);
  win().DrawRectangle(1, 2, 3, 4);
  EXPECT_EQ(list().size(), n);
  EXPECT_EQ(host().overlay.size(), 5u);
  EXPECT_EQ(host().overlay[0], "1,479,638,1");
}

}  // namespace
}  // namespace zeb::test
