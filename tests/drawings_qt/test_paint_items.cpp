// The canvas paints only the part of the widget that changed: every item of
// a replay keeps its pixels inside its box, and a picture painted over
// another in the part found changed is, pixel for pixel, the whole replay
// of the new list; over the sheets, views and diagrams of every example
// and over hand-made lists (items that trade places, come and go).
#include <QImage>
#include <QPainter>
#include <cmath>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/colors.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/qt/qt_convert.h"
#include "base/support_contrast.h"
#include "base_qt/support_qt.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/paint_items.h"
#include "platform/files.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace zeb::qttest {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Examples() {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(fs::path(__FILE__).parent_path() / "../../examples"))
    if (e.path().extension() == ".zeb") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

struct Drawing {
  const char* name;
  std::function<void()> draw;
};

// The sheets of the screen: the result sheet, views, the production
// drawing and diagrams (text, curves, hatching, turned texts).
std::vector<Drawing> Drawings() {
  return {{"quick3", [] { DrawQuickSheet(3); }},
          {"view", [] { DrawSpringView(1, 3, false); }},
          {"section", [] { DrawSpringView(2, 3, false); }},
          {"production", [] { DrawProductionDrawing(3); }},
          {"characteristic", [] { ShowDiagram(1, 3); }},
          {"goodman", [] { GoodmanOutput(3); }},
          {"diagram5", [] { ShowDiagram(5, 3); }},
          {"diagram20", [] { ShowDiagram(20, 3); }}};
}

class PaintItemsTest : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    ResetBaseGlobals();
    ResetCadSettings();
    ResetConfigDefaults();
    InitDefaultColors();
    SetUi(std::make_shared<BatchUi>(nullptr));
    G().ShowErrorsSwitch = 0;
    ASSERT_EQ(PlanRunFolder(scratch), 0);
    InstallGraphicsFacade();
  }
  void TearDown() override {
    RemoveRunFolder();
    SetScreen(nullptr);
    SetGraphics(nullptr);
    QtTest::TearDown();
  }
  // The spring of the example, calculated, and one drawing of it on the
  // screen's list.
  static bool Draw(const fs::path& example, const Drawing& d) {
    ReadSpringFile(example.string());
    RunCalculation();
    G().AbortFlag = 0;
    Facade().GrafClear();
    d.draw();
    G().AbortFlag = 0;
    return !Facade().Window().DisplayList().empty();
  }
};

// The items of the window's replay for a widget of the size, mapped as the
// canvas maps the device (centred, aspect kept).
PaintItems ItemsOf(GraphWindow& w, QSize size, TextLayouts& layouts) {
  const double s = std::min(static_cast<double>(size.width()) / w.DeviceWidth(),
                            static_cast<double>(size.height()) / w.DeviceHeight());
  PaintItems items;
  items.toWidget.translate((size.width() - s * w.DeviceWidth()) / 2, (size.height() - s * w.DeviceHeight()) / 2);
  items.toWidget.scale(s, s);
  items.clip = QRect(QPoint(0, 0), size);
  ItemRecorder recorder(w.DeviceWidth(), w.DeviceHeight(), items.toWidget, layouts, items.items);
  w.ReplayQuiet(recorder);
  return items;
}

// Everything a replay hands the canvas, drawn one item at a time with the
// canvas's mapping: no pixel outside the item's box changes. Two widget
// sizes (two scales of the device).
TEST_F(PaintItemsTest, EveryItemsBoxHoldsEveryPixelItPaints) {
  TextLayouts layouts;
  std::set<std::uint64_t> seen;
  long checked = 0, inked = 0;
  for (const fs::path& example : Examples()) {
    for (const Drawing& d : Drawings()) {
      if (!Draw(example, d)) continue;
      GraphWindow& w = Facade().Window();
      for (const QSize size : {QSize(1271, 930), QSize(700, 480)}) {
        const PaintItems items = ItemsOf(w, size, layouts);
        for (const PaintItem& item : items.items) {
          if (item.box.isEmpty() || !seen.insert(item.hash ^ static_cast<std::uint64_t>(size.width())).second)
            continue;
          // Room around the box to see a pixel that strays.
          const int room = 24 + std::max(item.box.width(), item.box.height()) / 4;
          const QRect look = item.box.adjusted(-room, -room, room, room);
          const QColor fill = ColourValueToQColor(item.pen) == QColor(Qt::magenta) ? Qt::green : Qt::magenta;
          QImage img(look.size(), QImage::Format_RGB32);
          img.fill(fill);
          {
            QPainter p(&img);
            p.translate(-look.topLeft());
            PaintItems one{{item}, items.toWidget, items.clip, items.background};
            DrawItems(p, one, look, layouts, w.DeviceWidth(), w.DeviceHeight());
          }
          QRect ink;
          for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
              if (img.pixel(x, y) != fill.rgb()) ink |= QRect(look.x() + x, look.y() + y, 1, 1);
          EXPECT_TRUE(ink.isEmpty() || item.box.contains(ink))
              << example.filename().string() << " " << d.name << " at " << size.width() << ": item kind "
              << static_cast<int>(item.kind) << " \"" << item.text << "\" paints (" << ink.x() << "," << ink.y()
              << " " << ink.width() << "x" << ink.height() << ") outside its box (" << item.box.x() << ","
              << item.box.y() << " " << item.box.width() << "x" << item.box.height() << ")";
          ++checked;
          inked += !ink.isEmpty();
        }
      }
    }
  }
  EXPECT_GT(inked, 3000) << "of " << checked;
}

// One picture, then another painted over it only where they differ: the
// widget shows the whole replay of the second.
class PaintOver : public PaintItemsTest {
 protected:
  void SetUp() override {
    PaintItemsTest::SetUp();
    canvas = std::make_unique<GraphCanvas>(Facade().Window());
    canvas->resize(1271, 930);
  }
  void TearDown() override {
    canvas.reset();
    PaintItemsTest::TearDown();
  }
  // The first picture as shown, then the part that changed for the
  // second painted over it; the pixels that differ from a whole replay of
  // the second, and the share of the widget painted.
  long PaintOverFirst(const std::function<void()>& first, const std::function<void()>& second, double& share) {
    first();
    QImage shown = canvas->Render();
    canvas->Changed();
    second();
    const QRegion area = canvas->Changed();
    {
      QPainter p(&shown);
      p.setClipRegion(area);
      canvas->PaintPart(p, area);
    }
    long a = 0;
    for (const QRect& r : area) a += static_cast<long>(r.width()) * r.height();
    share = static_cast<double>(a) / (canvas->width() * canvas->height());
    const QImage whole = canvas->Render();
    long differ = 0;
    for (int y = 0; y < whole.height(); ++y)
      for (int x = 0; x < whole.width(); ++x) differ += shown.pixel(x, y) != whole.pixel(x, y);
    return differ;
  }
  std::unique_ptr<GraphCanvas> canvas;
};

// New values on every sheet of every example: L1 a little shorter, then
// back; and from one drawing to another.
TEST_F(PaintOver, NewValuesAndOtherDrawings) {
  for (const fs::path& example : Examples()) {
    for (const Drawing& d : Drawings()) {
      if (!Draw(example, d)) continue;
      SpringDataRecord& s = SpringData();
      const Real L1 = s.L1, shorter = L1 - 0.02L * (s.L1 - s.L2);
      auto with = [&](Real v) {
        return [&, v] {
          s.L1 = v;
          RunCalculation();
          G().AbortFlag = 0;
          Facade().GrafClear();
          d.draw();
        };
      };
      double share = 0;
      EXPECT_EQ(PaintOverFirst(with(L1), with(shorter), share), 0) << example.filename().string() << " " << d.name;
      EXPECT_LT(share, 1.0) << example.filename().string() << " " << d.name << ": painted as a whole";
      EXPECT_EQ(PaintOverFirst(with(shorter), with(L1), share), 0) << example.filename().string() << " " << d.name;
      s.L1 = L1;
    }
    double share = 0;
    EXPECT_EQ(PaintOverFirst([&] { Draw(example, Drawings()[0]); }, [&] { Draw(example, Drawings()[3]); }, share),
              0)
        << example.filename().string();
  }
}

// Hand-made lists: two overlapping solids that trade places, one that
// goes, a text that moves, a line that comes, a colour that changes, the
// same picture again (nothing to paint), and a zoom.
TEST_F(PaintOver, ItemsThatTradePlacesComeAndGo) {
  GraphicsFacade& f = Facade();
  auto picture = [&](bool redFirst, bool withBlue, Real textX, bool withLine, int lineColour) {
    return [=, &f] {
      f.GrafClear();
      f.GrafHeader(false, 0, 0, 160, 120);
      for (int k = 0; k < 2; ++k) {
        const bool red = (k == 0) == redFirst;
        f.GrafSetColor(red ? 12 : 10);
        const Real x = red ? 20 : 30;
        f.GrafSolid(x, 20, x + 30, 20, x + 30, 50, x, 50);
      }
      if (withBlue) {
        f.GrafSetColor(9);
        f.GrafSolid(100, 80, 120, 80, 120, 100, 100, 100);
      }
      f.GrafSetColor(15);
      f.GrafSetTextStyle(0, 0, 3, 2);
      f.GrafOutTextXY("Federkennlinie", textX, 70);
      if (withLine) {
        f.GrafSetColor(lineColour);
        f.GrafLine(0, 0, 160, 120);
      }
    };
  };
  double share = 0;
  EXPECT_EQ(PaintOverFirst(picture(true, true, 10, false, 14), picture(false, true, 10, false, 14), share), 0);
  EXPECT_GT(share, 0);
  EXPECT_EQ(PaintOverFirst(picture(true, true, 10, false, 14), picture(true, false, 10, false, 14), share), 0);
  EXPECT_EQ(PaintOverFirst(picture(true, true, 10, false, 14), picture(true, true, 40, true, 14), share), 0);
  EXPECT_EQ(PaintOverFirst(picture(true, true, 10, true, 14), picture(true, true, 10, true, 13), share), 0);
  EXPECT_EQ(PaintOverFirst(picture(true, true, 10, true, 14), picture(true, true, 10, true, 14), share), 0);
  EXPECT_EQ(share, 0) << "the same picture again paints nothing";
  EXPECT_EQ(PaintOverFirst(picture(true, true, 10, true, 14),
                           [&] {
                             picture(true, true, 10, true, 14)();
                             f.Window().SetScale(100, 100, 400, 300);
                           },
                           share),
            0);
}

double Contrast(QRgb a, QRgb b) { return test::ContrastRgb(a & 0xFFFFFFu, b & 0xFFFFFFu); }

// Every text on the screen, in pixels: where it is inked in its own colour,
// it stands out at 3:1 or more from what lies beneath it (the picture
// without its texts). The load spectrum of 20 levels, the result sheet and
// the characteristic, on the default (black) and on a white background.
TEST_F(PaintItemsTest, EveryTextStandsOutFromWhatItIsDrawnOn) {
  const fs::path example = fs::path(__FILE__).parent_path() / "../../examples/round_dynamic.zeb";
  const auto spectrum = [] {
    SpringDataRecord& t = SpringData();
    t.CalcMode = 3, t.d = t.h = 2, t.DiameterGiven = 3, t.Dm = 20, t.De = 22, t.Di = 18;
    t.n = 8.5L, t.L0 = 60, t.L1 = 50, t.L2 = 30;
    LoadSpectrumRecord& ls = LoadSpectrum();
    ls.Count = kMaxLoadLevels;
    for (int i = 1; i <= kMaxLoadLevels; ++i) {
      LoadLevel& l = ls.Levels[static_cast<std::size_t>(i)];
      l.L1 = 30 + 20.0L * (i % 4 + 1) / 4, l.L2 = 30, l.ni = std::pow(10.0L, (i - 1) % 8 + 1);
    }
    RunRecalculation();
    G().AbortFlag = 0;
    Facade().GrafClear();
    SelectDiagram(14, 3);
  };
  const std::vector<Drawing> drawings{{"spectrum20", spectrum}, Drawings()[0], Drawings()[4]};
  TextLayouts layouts;
  const QSize size(2542, 1860);  // the window's twice: glyph stems of whole pixels
  int texts = 0;
  for (const std::uint32_t background : {1u, 0xFFFFFFu}) {
    G().BackgroundColour = static_cast<std::int32_t>(background);
    for (const Drawing& d : drawings) {
      ASSERT_TRUE(Draw(example, d)) << d.name;
      GraphWindow& w = Facade().Window();
      const PaintItems all = ItemsOf(w, size, layouts);
      PaintItems bare = all;
      std::erase_if(bare.items, [](const PaintItem& i) { return i.kind == PaintItem::Kind::Text; });
      const auto paint = [&](const PaintItems& items) {
        QImage img(size, QImage::Format_RGB32);
        img.fill(ColourValueToQColor(background));
        QPainter p(&img);
        DrawItems(p, items, all.clip, layouts, w.DeviceWidth(), w.DeviceHeight());
        return img;
      };
      const QImage shown = paint(all), beneath = paint(bare);
      for (const PaintItem& t : all.items) {
        if (t.kind != PaintItem::Kind::Text || t.text.find_first_not_of(' ') == std::string::npos) continue;
        const QRgb colour = ColourValueToQColor(t.pen).rgb();
        const QRect box = t.box & all.clip;
        // Its ink: the pixels the text changes. The most of it against what
        // lies beneath, and its colour against what lies beneath nine
        // tenths of it (a line it touches aside).
        int inked = 0, low = 0;
        double most = 1;
        for (int y = box.top(); y <= box.bottom(); ++y)
          for (int x = box.left(); x <= box.right(); ++x)
            if (const QRgb under = beneath.pixel(x, y); shown.pixel(x, y) != under) {
              ++inked;
              most = std::max(most, Contrast(shown.pixel(x, y), under));
              low += Contrast(colour, under) < 3.0;
            }
        ++texts;
        const std::string what = std::string(d.name) + " on " + (background == 1 ? "black" : "white") + ": \"" +
                                 t.text + "\" in " + QColor(colour).name().toStdString();
        EXPECT_GT(inked, 0) << what << " shows nothing";
        EXPECT_GE(most, 3.0) << what;
        EXPECT_LE(low, inked / 10) << what << ": " << low << " of " << inked << " pixels on less than 3:1";
      }
    }
  }
  EXPECT_GT(texts, 200);
}

}  // namespace
}  // namespace zeb::qttest
