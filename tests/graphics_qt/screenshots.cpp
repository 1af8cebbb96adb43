// Screenshots of the graphics window in a host window on a real X server
// (run under xvfb-run): a diagram, a help picture, a zoomed view and both
// dialogs. Each is taken with ImageMagick's import and checked to show the
// sheet. Usage: graphics_screenshots <output folder> <hpgl corpus folder>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QTest>
#include <cstdio>
#include <string>

#include "base/colors.h"
#include "base/globals.h"
#include "base/qt/qt_ui.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "graphics/facade.h"
#include "graphics/hatch.h"
#include "graphics/helpcat.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/forms.h"
#include "platform/process.h"

namespace {

using namespace zeb;

void Settle(int ms = 400) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Takes the screen; counts the pixels in the sheet's drawing colours.
bool Shot(const std::string& file, int minColoured) {
  Settle();
  const ProcessResult r = StartProgram({"import", "-window", "root", file}, true);
  if (!r.started || r.exitCode != 0) {
    std::fprintf(stderr, "import failed for %s\n", file.c_str());
    return false;
  }
  QImage img(QString::fromStdString(file));
  int coloured = 0;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) {
      const QColor c = img.pixelColor(x, y);
      const int spread = std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
      coloured += spread > 120;
    }
  std::printf("%s: %d coloured samples\n", file.c_str(), coloured);
  return coloured >= minColoured;
}

void Diagram() {
  ResetCadState();
  DiagramState().DiagramAxisMode = 4;
  CadBeginOutput(3);
  CadDrawingHeader(0, 0, 160, 120);
  CadBeginEntities();
  DiagramSetPlotOrigin(20, 25);
  DiagramSetPlotSize(80, 70);
  DiagramFrame("f [Hz]", "A", "Frequenzgang", 1, 0, 1000, 100, 0);
  CadSetLayer(2);
  DiagramMoveTo(1, 5);
  for (int i = 1; i <= 30; ++i) {
    const Real f = std::pow(10.0L, i / 10.0L);
    DiagramLineTo(f, 5 + 80 / (1 + (f / 60 - 1) * (f / 60 - 1)));
  }
  DiagramTextTable t(108, 100, 2.5L, {8, 8, 0, 0, 0, 0, 0}, {"Nr", "Wert", "", "", "", "", ""});
  t.AddRow4("1", "12,5", "", "");
  t.AddRow4("2", "17,0", "", "");
  t.AddRow4("3", "\x81" "ber", "", "");
  CadSetLayer(3);
  HatchRectangle(115, 20, 150, 45, 2, 45);
  HatchEllipse(132, 62, 14, 8, 1.5L);
  CadEndSection();
  CadEndOutput();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string out = argv[1], corpus = argv[2];
  QApplication app(argc, argv);
  ResetBaseGlobals();
  InitDefaultColors();
  G().ScreenHeight = 600;
  auto ui = std::make_shared<QtUi>();
  SetUi(ui);
  InstallGraphicsFacade();
  QMainWindow host;
  host.setWindowTitle("ZEB1 Grafik");
  auto* canvas = new GraphCanvas(Facade().Window(), &host);
  host.setCentralWidget(canvas);
  host.setGeometry(0, 0, 1024, 740);
  host.show();
  canvas->setFocus();
  bool ok = true;

  Diagram();
  canvas->Repaint();
  ok &= Shot(out + "/diagram.png", 500);

  G().HelpFolder = corpus;
  Facade().ShowHelpPictureFile("mixed_picture");
  canvas->Repaint();
  ok &= Shot(out + "/help_picture.png", 300);

  // Our pictures of three corpus files, for comparison with hp2xx's.
  for (const char* name : {"arc_minus90", "pe_base32_pen", "mixed_picture"}) {
    Facade().ShowHelpPictureFile(name);
    canvas->Render().save(QString::fromStdString(out + "/ours_" + name + ".png"));
  }
  Facade().ShowHelpPictureFile("mixed_picture");
  canvas->Repaint();
  for (int i = 0; i < 3; ++i) QTest::keyClick(canvas, Qt::Key_Plus);
  QTest::keyClick(canvas, Qt::Key_Left);
  ok &= Shot(out + "/zoomed.png", 300);
  QTest::keyClick(canvas, Qt::Key_Escape);

  DiagramLimitsRequest req;
  req.computed = {0, 0, 3, 100};
  req.axisMode = 4;
  req.xTitle = "f [Hz]";
  req.yTitle = "A";
  req.caption = "Frequenzgang";
  {
    TEinDiagramLimits limits(&host, req);
    limits.show();
    limits.move(260, 150);
    ok &= Shot(out + "/limits_dialog.png", 300);
  }
  {
    HelpPictureFormState st;
    st.itemCount = 3;
    G().SavedDialogLeft = 260;
    G().SavedDialogTop = 500;
    TForm_hilfebild picker(&host, "ZEB1 Hilfebilder", {"mixed_pi: Feder und Kreise", "circles : Kreise", "pens_all: Stifte"},
                           1, st);
    picker.show();
    ok &= Shot(out + "/help_picture_dialog.png", 300);
  }
  return ok ? 0 : 1;
}
