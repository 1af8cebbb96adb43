// The canvas on offscreen images: zoom by drag, keys and clicks, driven by
// QTest events; printing onto a page image and into a PDF file.
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "base/globals.h"
#include "base/support_contrast.h"
#include "base/support_shell.h"
#include "base/qt/qt_convert.h"
#include "graphics/qt/forms.h"
#include "base_qt/support_qt.h"
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/qt_print.h"
#include "graphics/qt/qt_renderer.h"
#include "reports/printjob.h"

namespace zeb::qttest {
namespace {

constexpr QRgb kRed = 0xFFFF0000;

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};

Box BoxOf(const QImage& img, QRgb colour) {
  Box b;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) == colour) {
        b.left = std::min(b.left, x), b.right = std::max(b.right, x);
        b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
      }
  return b;
}

class CanvasTest : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    G().ScreenHeight = 480;
    InstallGraphicsFacade();
    canvas = std::make_unique<GraphCanvas>(Facade().Window());
    canvas->resize(640, 480);
    canvas->show();
    Sheet(160, 120);
  }
  void TearDown() override {
    canvas.reset();
    QtTest::TearDown();
  }
  // Grid, a red 40 mm square at (60, 40) and a yellow circle.
  void Sheet(int w, int h) {
    GraphicsFacade& f = Facade();
    f.GrafClear();
    f.GrafHeader(false, 0, 0, w, h);
    f.GrafSetColor(10);
    for (int x = 0; x <= w; x += 20) f.GrafLine(x, 0, x, h);
    for (int y = 0; y <= h; y += 20) f.GrafLine(0, y, w, y);
    f.GrafSetColor(12);
    f.GrafSolid(60, 40, 100, 40, 100, 80, 60, 80);
    f.GrafSetColor(14);
    f.GrafCircle(130, 95, 15);
  }
  QPoint At(Real x, Real y) {
    double dx, dy;
    Facade().Window().ToScreen(x, y, dx, dy);
    return canvas->ToClient(QPoint(static_cast<int>(std::lround(dx)), static_cast<int>(std::lround(dy))));
  }
  void Drag(QPoint a, QPoint b) {
    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, a);
    QTest::mouseMove(canvas.get(), (a + b) / 2);
    QTest::mouseMove(canvas.get(), b);
    QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, b);
  }
  QImage Img() { return canvas->Render(); }
  std::unique_ptr<GraphCanvas> canvas;
};

TEST_F(CanvasTest, DraggingOverTheSquareFillsTheView) {
  for (auto [w, h] : {std::pair{160, 120}, std::pair{230, 315}}) {
    SCOPED_TRACE(w);
    Sheet(w, h);
    const QImage whole = Img();
    const Box before = BoxOf(whole, kRed);
    const double unzoomed = 478.0 / 40 / Facade().Window().ScaleY() + 0.01;  // one old pixel, zoomed
    Drag(At(60, 80), At(100, 40));
    const QImage zoomed = Img();
    const Box b = BoxOf(zoomed, kRed);
    // Square on a 4:3 view: y binds; the square spans it from row 1 to 478.
    EXPECT_NEAR(b.top, 1, unzoomed);
    EXPECT_NEAR(b.bottom, 478, unzoomed);
    EXPECT_NEAR(b.left, 1, unzoomed);
    EXPECT_NEAR(b.Width(), b.Height(), 2 * unzoomed);
    EXPECT_GT(b.Height(), before.Height() * 2);
    // The reverse drag from the whole sheet gives the same image.
    QTest::keyClick(canvas.get(), Qt::Key_Escape);
    EXPECT_EQ(Img(), whole);
    Drag(At(100, 40), At(60, 80));
    EXPECT_EQ(Img(), zoomed);
    // A click and a flat drag change no byte.
    QTest::mouseClick(canvas.get(), Qt::LeftButton, {}, QPoint(300, 200));
    Drag(QPoint(100, 200), QPoint(400, 200));
    EXPECT_EQ(Img(), zoomed);
    QTest::keyClick(canvas.get(), Qt::Key_Escape);
  }
}

// The zoom frame drawn over the picture stands out from the background at
// 3:1 or more (relative luminance), on the default black one and on white.
TEST_F(CanvasTest, TheZoomFrameShowsOnAnyBackground) {
  for (const std::int32_t background : {1, 0xFFFFFF}) {
    G().BackgroundColour = background;
    Sheet(160, 120);
    canvas->OverlayLine({100, 300}, {400, 300});
    const QImage img = Img();
    const QRgb line = img.pixel(canvas->ToClient(QPoint(250, 300))), back = BackgroundQColor().rgb();
    EXPECT_NE(line, back);
    EXPECT_GE(test::ContrastRgb(line & 0xFFFFFFu, back & 0xFFFFFFu), 3.0)
        << std::hex << line << " on " << back;
  }
}

TEST_F(CanvasTest, KeysZoomAndPan) {
  const QImage whole = Img();
  const Box b0 = BoxOf(whole, kRed);
  QTest::keyClick(canvas.get(), Qt::Key_Plus);
  const Box b1 = BoxOf(Img(), kRed);
  EXPECT_NEAR(b1.Width(), b0.Width() * 1.2, 1.5);
  EXPECT_NEAR((b1.left + b1.right) / 2.0, (b0.left + b0.right) / 2.0, 1.5);
  QTest::keyClick(canvas.get(), Qt::Key_Q);  // repeats the zoom
  const Box b2 = BoxOf(Img(), kRed);
  EXPECT_NEAR(b2.Width(), b1.Width() * 1.2, 1.5);
  QTest::keyClick(canvas.get(), Qt::Key_Minus);
  EXPECT_NEAR(BoxOf(Img(), kRed).Width(), b1.Width(), 1);

  const QImage z = Img();
  QTest::keyClick(canvas.get(), Qt::Key_Up);
  EXPECT_NE(Img(), z);
  QTest::keyClick(canvas.get(), Qt::Key_Down);
  EXPECT_EQ(Img(), z);
  QTest::keyClick(canvas.get(), Qt::Key_Left);
  const Box l = BoxOf(Img(), kRed);
  QTest::keyClick(canvas.get(), Qt::Key_Right);
  EXPECT_EQ(Img(), z);
  // Left: the view moves right by Nearest(0.1 (zx2 - zx1)) zoom units.
  const DevRect zr = Facade().Window().Zoom();
  const double units = std::nearbyint(0.1 * (zr.x2 - zr.x1));
  const double pxPerUnit = 638.0 / (zr.x2 - zr.x1);
  EXPECT_NEAR(BoxOf(z, kRed).left - l.left, units * pxPerUnit, 1.5);
  // Page up and down: half a view.
  QTest::keyClick(canvas.get(), Qt::Key_PageUp);
  const Box u = BoxOf(Img(), kRed);
  EXPECT_NEAR(BoxOf(z, kRed).bottom - u.bottom, std::nearbyint(0.5 * (zr.y2 - zr.y1)) * 478.0 / (zr.y2 - zr.y1), 1.5);
  QTest::keyClick(canvas.get(), Qt::Key_PageDown);
  EXPECT_EQ(Img(), z);
  // Ctrl+key and modifiers alone leave the view.
  QTest::keyClick(canvas.get(), Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(canvas.get(), Qt::Key_Shift);
  EXPECT_EQ(Img(), z);
}

TEST_F(CanvasTest, EveryWayBackGivesTheWholeSheetExactly) {
  const QImage whole = Img();
  for (int way = 0; way < 4; ++way) {
    QTest::keyClick(canvas.get(), Qt::Key_Plus);
    QTest::keyClick(canvas.get(), Qt::Key_Left);
    ASSERT_NE(Img(), whole);
    canvas->repaint();
    EXPECT_NE(Img(), whole) << "a repaint keeps the zoom";
    if (way == 0) QTest::keyClick(canvas.get(), Qt::Key_Escape);
    if (way == 1) QTest::keyClick(canvas.get(), Qt::Key_F5);
    if (way == 2) QTest::mouseClick(canvas.get(), Qt::RightButton, {}, QPoint(10, 10));
    if (way == 3) QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Img(), whole) << way;
  }
  for (int i = 0; i < 60; ++i) QTest::keyClick(canvas.get(), Qt::Key_Plus);
  for (int i = 0; i < 200; ++i) QTest::keyClick(canvas.get(), Qt::Key_Minus);
  Img();
  QTest::keyClick(canvas.get(), Qt::Key_Escape);
  EXPECT_EQ(Img(), whole);
}

TEST_F(CanvasTest, AResizedCanvasShowsTheWholeSheet) {
  canvas->resize(1000, 300);
  const QImage img = Img();
  const Box b = BoxOf(img, kRed);
  // 300 / 480 of the logical device, centred: the square keeps its shape.
  EXPECT_NEAR(b.Width(), b.Height(), 2);
  EXPECT_NEAR(b.Height(), 40 * 478.0 / 120 * 300 / 480, 2);
  EXPECT_GT(b.left, 200 + 60 * 478.0 / 120 * 300 / 480 - 3);
}

// A text stands in the box the CAD files give it: from its baseline up to
// its height (10 mm, 40 pixels here), its capitals filling most of it.
TEST_F(CanvasTest, ATextStandsOnItsBaselineWithinItsHeight) {
  GraphicsFacade& f = Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  f.GrafSetColor(12);
  f.GrafSetTextStyle(2, 0, 10, 8);
  f.GrafOutTextXY("HEH", 60, 50);
  const Box ink = BoxOf(Img(), kRed);
  ASSERT_GT(ink.right, 0);
  const int base = At(60, 50).y(), top = At(60, 60).y();
  EXPECT_NEAR(ink.bottom + 1, base, 1.5);
  EXPECT_GE(ink.top, top - 1);
  EXPECT_LE(ink.top, top + 0.15 * (base - top));
}

TEST_F(CanvasTest, PrintsOntoAPageAtFourTimesThePenWidth) {
  GraphicsFacade& f = Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  f.Window().SetLineWidth(2);
  f.GrafLine(0, 60, 160, 60);
  f.Window().SleepMs(5000);
  auto print = [&](Real originX) {
    QImage page(4000, 3000, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    QtRenderer r(p, 4000, 3000);
    f.SetPrinterCanvas(&r);
    G().PrinterMode = 7;  // scale and origins as set
    G().PrintOriginX = originX;
    // The canvas repaints through a host that records the pauses.
    struct PauseRecorder : GraphicsHost {
      explicit PauseRecorder(GraphCanvas& c) : canvas(c) {}
      void Repaint() override { canvas.Repaint(); }
      void Pause(int ms) override { pauses.push_back(ms); }
      GraphCanvas& canvas;
      std::vector<int> pauses;
    } recorder(*canvas);
    f.Window().SetHost(&recorder);
    PrinterBeginDoc();
    Graphics().FormPaint();
    PrinterEndDoc();
    f.Window().SetHost(canvas.get());
    EXPECT_EQ(recorder.pauses, std::vector<int>{}) << "no pause while printing";
    f.SetPrinterCanvas(nullptr);
    return page;
  };
  auto firstDark = [](const QImage& page, int y) {
    for (int x = 0; x < page.width(); ++x)
      if (qGray(page.pixel(x, y)) < 128) return x;
    return -1;
  };
  // y: Nearest(3000 * 240 / 480) = 1500; x from Nearest(4000 * 1 / 640) = 6
  // to Nearest(4000 * 638.33 / 640) = 3990, a pen 8 pixels wide.
  const QImage plain = print(0);
  int rows = 0;
  for (int y = 1480; y < 1520; ++y) rows += qGray(plain.pixel(2000, y)) < 128;
  EXPECT_EQ(rows, 8);
  EXPECT_NEAR(firstDark(plain, 1500), 6 - 4, 1);
  EXPECT_LT(qGray(plain.pixel(3990, 1500)), 128);
  EXPECT_GT(qGray(plain.pixel(4000 - 1, 1500)), 128);
  // The origin moves the picture by Nearest(4000 * 25 / 210) = 476.
  const QImage shifted = print(25);
  EXPECT_EQ(firstDark(shifted, 1500) - firstDark(plain, 1500), 476);
}

TEST_F(CanvasTest, AnOffscreenPrintIsAOnePagePdf) {
  if (std::system("command -v pdfinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "no poppler-utils";
  GraphicsFacade& f = Facade();
  f.GrafSetTextStyle(0, 0, 5, 5);
  f.GrafOutTextXY("Hilfebild", 20, 100);
  const std::string pdf = scratch + "/print.pdf";
  auto port = std::make_shared<QtGraphicsPrinterPort>(nullptr);
  port->ForcePdf(pdf);
  SetPrinterPort(port);
  G().PrinterMode = 0;
  PrinterBeginDoc();
  Graphics().FormPaint();
  PrinterEndDoc();
  SetPrinterPort(nullptr);
  auto run = [](const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[4096];
      std::size_t n;
      while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      pclose(p);
    }
    return out;
  };
  const std::string info = run("pdfinfo " + test::ShellQuote(pdf) + " 2>&1");
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+1\n"))) << info;
  EXPECT_NE(run("pdftotext " + test::ShellQuote(pdf) + " -").find("Hilfebild"), std::string::npos);
  run("pdftoppm -r 40 -png " + test::ShellQuote(pdf) + " " + test::ShellQuote(scratch + "/page"));
  QImage img(QString::fromStdString(scratch + "/page-1.png"));
  ASSERT_FALSE(img.isNull());
  int red = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      red += c.red() < 100 && c.green() < 100 && c.blue() < 100;
    }
  EXPECT_GT(red, 100) << "grid and square print black in colour mode 1";
}

TEST_F(CanvasTest, WithoutAPrinterThePdfIsNamedInAMessage) {
  G().ProgramShortName = "ZEB1";
  SetPrinterPort(std::make_shared<QtGraphicsPrinterPort>(std::make_shared<HeadlessPrinter>(false, false)));
  AnswerBox("Kein Drucker vorhanden, Ausdruck in PDF-Datei", QMessageBox::Ok);
  PrinterBeginDoc();
  Graphics().FormPaint();
  PrinterEndDoc();
  SetPrinterPort(nullptr);
  EXPECT_TRUE(std::filesystem::exists(scratch + "/zeb1.pdf"));
  EXPECT_GT(std::filesystem::file_size(scratch + "/zeb1.pdf"), 0u);
}

// Counts the paint events of a widget.
class PaintCount : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    paints += e->type() == QEvent::Paint;
    return false;
  }
};

// Pixels of window colour n in the image.
long Pixels(const QImage& img, int n) {
  const QRgb c = ColourNumberToQColor(n).rgb();
  long k = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) k += img.pixel(x, y) == c;
  return k;
}

// A whole drawing run is one paint, made when the event loop runs again;
// nothing paints while the list is built, and a flush paints a pending
// picture at once, once.
TEST_F(CanvasTest, ADrawingRunPaintsOnceWhenTheLoopRuns) {
  QApplication::processEvents();
  PaintCount count;
  canvas->installEventFilter(&count);
  GraphicsFacade& f = Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  f.GrafClearViewPort();
  f.GrafSetColor(12);
  for (int i = 0; i < 2000; ++i) f.GrafLine(i % 160, 0, 160 - i % 160, 120);
  f.GrafClearViewPort();
  EXPECT_EQ(count.paints, 0);
  QApplication::processEvents();
  EXPECT_EQ(count.paints, 1);
  QApplication::processEvents();
  EXPECT_EQ(count.paints, 1);

  f.GrafSolid(60, 40, 100, 40, 100, 80, 60, 80);
  f.FlushPicture();
  EXPECT_EQ(count.paints, 2);
  f.FlushPicture();
  QApplication::processEvents();
  EXPECT_EQ(count.paints, 2);
  canvas->removeEventFilter(&count);
}

// Animation steps: with the flag set, each background colour record is a
// step; the picture up to it is painted before the step window opens, "+"
// goes on to the next step and "++" draws the rest and drops the flag.
TEST_F(CanvasTest, AnimationStepsShowThePictureUpToEachStep) {
  GraphicsFacade& f = Facade();
  f.GrafClear();
  f.GrafHeader(false, 0, 0, 160, 120);
  f.GrafSetColor(12);
  f.GrafSolid(10, 10, 40, 10, 40, 40, 10, 40);
  f.GrafSetColor(0);
  f.GrafSetColor(14);
  f.GrafSolid(60, 10, 90, 10, 90, 40, 60, 40);
  f.GrafSetColor(0);
  f.GrafSetColor(10);
  f.GrafSolid(110, 10, 140, 10, 140, 40, 110, 40);
  f.GrafSetColor(0);
  f.GrafSetColor(11);
  f.GrafSolid(110, 60, 140, 60, 140, 90, 110, 90);
  Facade().Window().animationStep = 1;
  PaintCount count;
  canvas->installEventFilter(&count);
  struct Seen {
    int paints;
    long red, yellow, green;
  };
  std::vector<Seen> seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* step = qobject_cast<TForm_anistep*>(QApplication::activeModalWidget());
    if (step == nullptr || step->property("seen").toBool()) return;
    step->setProperty("seen", true);
    const QImage img = Img();
    seen.push_back({count.paints, Pixels(img, 12), Pixels(img, 14), Pixels(img, 10)});
    (seen.size() == 1 ? step->buttonNextStep : step->buttonEndStep)->click();
  });
  timer.start(5);
  canvas->Repaint();
  (void)QTest::qWaitFor([&] { return Facade().Window().animationStep == 0; }, 5000);  // hang bound
  QApplication::processEvents();
  timer.stop();
  canvas->removeEventFilter(&count);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_GE(seen[0].paints, 1);
  EXPECT_GT(seen[0].red, 0);
  EXPECT_EQ(seen[0].yellow, 0);
  EXPECT_GT(seen[1].paints, seen[0].paints);
  EXPECT_GT(seen[1].yellow, 0);
  EXPECT_EQ(seen[1].green, 0);
  const QImage end = Img();
  EXPECT_GT(Pixels(end, 10), 0);
  EXPECT_GT(Pixels(end, 11), 0);
  EXPECT_EQ(Facade().Window().animationStep, 0);
}

}  // namespace
}  // namespace zeb::qttest
