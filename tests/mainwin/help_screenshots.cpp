// Screenshots of the shipped help on a real X server (run under xvfb-run):
// help text boxes, the recalculation screen with a row's hint and a
// message's cause as tool tips, the message help form, and help pictures in
// the graphics window. Each is taken with ImageMagick's import.
// Usage: mainwin_help_screenshots <output folder> <help folder> <example spring file>
#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/colors.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/qt_ui.h"
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "mainwin/online.h"
#include "mainwin/qt/online_form.h"
#include "mainwin/screens.h"
#include "platform/process.h"
#include "spring/springfile.h"

namespace {

using namespace zeb;

bool ok = true;

void Settle(int ms = 400) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void Shot(const std::string& file) {
  Settle();
  const ProcessResult r = StartProgram({"import", "-window", "root", file}, true);
  if (!r.started || r.exitCode != 0 || QImage(QString::fromStdString(file)).isNull()) {
    std::fprintf(stderr, "import failed for %s\n", file.c_str());
    ok = false;
  }
  std::printf("%s\n", file.c_str());
}

// Runs open(); when a modal window shows, act(window) runs once.
void WhenModal(const std::function<void()>& open, const std::function<void(QWidget*)>& act) {
  bool done = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (done || w == nullptr) return;
    done = true;
    w->move(40, 40);
    Settle(300);
    act(w);
  });
  timer.start(100);
  open();
  if (!done) {
    std::fprintf(stderr, "no window appeared\n");
    ok = false;
  }
}

// A label's tool tip as the mouse would raise it.
void ShowTip(QWidget* label) {
  const QPoint local(4, 4);
  QHelpEvent tip(QEvent::ToolTip, local, label->mapToGlobal(local));
  QApplication::sendEvent(label, &tip);
  QToolTip::showText(label->mapToGlobal(local), label->toolTip(), label);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string out = argv[1], help = argv[2], spring = argv[3];
  const std::string data = std::filesystem::temp_directory_path() / ("zeb1-shots-" + std::to_string(::getpid()));
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  QApplication app(argc, argv);
  ResetBaseGlobals();
  InitDefaultColors();
  G().HelpFolder = G().ShippedHelpFolder = help;
  G().ProgramShortName = "ZEB1";
  G().HelpLevel = 1;
  auto ui = std::make_shared<QtUi>();
  SetUi(ui);
  InstallGraphicsFacade();
  QMainWindow host;
  host.setWindowTitle("ZEB1");
  auto* canvas = new GraphCanvas(Facade().Window(), &host);
  host.setCentralWidget(canvas);
  host.setGeometry(0, 0, 1000, 740);
  host.show();

  // Help pictures in the graphics window.
  for (const char* stem : {"start", "fedmass", "laengen", "kennlin", "enden", "knick", "toleranz", "quersch", "goodman"}) {
    Facade().ShowHelpPictureFile(stem);
    canvas->Repaint();
    Shot(out + "/picture_" + stem + ".png");
  }

  // A help text box (the tolerance dialog's).
  WhenModal([] { ShowHelpText(9050, "", 1); },
            [&](QWidget* w) {
              Shot(out + "/help_text_box.png");
              w->close();
            });

  // A help text that quotes the material table (shear modulus G).
  WhenModal([] { ShowHelpText(5070, "", 1); },
            [&](QWidget* w) {
              Shot(out + "/help_text_shear_modulus.png");
              w->close();
            });

  // The online form's own help text.
  WhenModal([] { ShowHelpText(1010, "", 1); },
            [&](QWidget* w) {
              Shot(out + "/help_text_online_form.png");
              w->close();
            });

  // The recalculation screen: a row's hint, then a message's cause.
  G().AbortFlag = 0;
  ReadSpringFile(spring);
  SetOnlineForm(std::make_shared<QtOnlineForm>(&host));
  WhenModal([] { InputRecalculation(); },
            [&](QWidget* w) {
              if (auto* l = w->findChild<QLabel*>("lb_1")) ShowTip(l);
              Shot(out + "/online_form_row_hint.png");
              QToolTip::hideText();
              if (auto* l = w->findChild<QLabel*>("lber_3")) ShowTip(l);
              Shot(out + "/online_form_cause_hint.png");
              QToolTip::hideText();
              if (auto* b = w->findChild<QPushButton*>("Button_close")) b->click();
            });
  SetOnlineForm(nullptr);

  // The message help form of a calculation message.
  G().ErrorMessageList.count = 2;
  G().ErrorMessageList.slot[1] = "Warnung: L2<Ln ! (S=0.78)";
  G().ErrorMessageList.slot[2] = "Warnung: approx.Goodman";
  for (int k : {1, 2}) {
    WhenModal([k] { ShowErrorHelp(k); },
              [&](QWidget* w) {
                Shot(out + (k == 1 ? "/message_help_form.png" : "/message_help_approx_goodman.png"));
                w->close();
              });
  }
  std::error_code ec;
  std::filesystem::remove_all(data, ec);
  return ok ? 0 : 1;
}
