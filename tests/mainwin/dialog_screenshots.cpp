// Screenshots of the input and documentation dialogs on a real X server
// (run under xvfb-run): each dialog is opened through its runner, the
// screen is taken with ImageMagick's import into <folder>/<objectName>.png
// and checked not to be blank; then the dialog is cancelled.
// Usage: mainwin_dialog_screenshots <output folder>
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QAbstractButton>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "base/colors.h"
#include "base/globals.h"
#include "base/qt/qt_ui.h"
#include "graphics/cadsettings.h"
#include "graphics/qt/forms.h"
#include "mainwin/changelog_cmd.h"
#include "mainwin/commands.h"
#include "settings/config.h"
#include "mainwin/qt/filelist_form.h"
#include "mainwin/qt/input_dialogs.h"
#include "reports/qt/printsetup_form.h"
#include "platform/files.h"
#include "platform/process.h"
#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/valuetable.h"

namespace {

using namespace zeb;

bool ok = true;

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Distinct grey levels in a sample of the picture: a blank screen has one.
bool Shot(const std::string& file) {
  const ProcessResult r = StartProgram({"import", "-window", "root", file}, true);
  if (!r.started || r.exitCode != 0) {
    std::fprintf(stderr, "import failed for %s\n", file.c_str());
    return false;
  }
  QImage img(QString::fromStdString(file));
  bool seen[256] = {};
  int levels = 0;
  for (int y = 0; y < img.height(); y += 3)
    for (int x = 0; x < img.width(); x += 3) {
      const int g = qGray(img.pixel(x, y));
      if (!seen[g]) seen[g] = true, ++levels;
    }
  std::printf("%s: %d grey levels\n", file.c_str(), levels);
  return levels >= 8;
}

// Opens a dialog with open(); when the modal window named name shows, takes
// the shot (with pages: one shot <name>_<page>.png per page of its tab
// widget, or file.png where file is given) and presses its Cancel button.
void Take(const std::string& folder, const char* name, const std::function<void()>& open, bool pages = false,
          const char* file = nullptr) {
  bool taken = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (taken || w == nullptr || w->objectName() != name) return;
    taken = true;
    w->move(20, 20);
    Settle(500);
    auto* tabs = pages ? w->findChild<QTabWidget*>() : nullptr;
    if (tabs == nullptr) ok &= Shot(folder + "/" + (file != nullptr ? file : name) + ".png");
    for (int i = 0; tabs != nullptr && i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      Settle(300);
      ok &= Shot(folder + "/" + name + "_" + tabs->widget(i)->objectName().toStdString() + ".png");
    }
    QWidget* close = w->findChild<QWidget*>("Button_cancel");
    if (close == nullptr) close = w->findChild<QWidget*>("Button_ok");
    if (close != nullptr)
      QMetaObject::invokeMethod(close, "click");
    else
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
  });
  timer.start(50);
  open();
  if (!taken) {
    std::fprintf(stderr, "%s did not open\n", name);
    ok = false;
  }
}

// A text that is not a number typed into the dimensions dialog and OK:
// the refusal box over the dialog (<folder>/refused_entry.png), then the
// dialog with the field's value again (refused_entry_kept.png); Cancel.
void TakeRefusal(const std::string& folder, FormCommandDialogs& dialogs) {
  int step = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr) return;
    if (step == 0 && w->objectName() == "TForm_Zebgeometrie") {
      step = 1;
      w->move(20, 20);
      if (auto* b = w->findChild<QAbstractButton*>("RadioGroup_mode_2")) b->click();
      if (auto* e = w->findChild<QLineEdit*>("Edit_l0")) e->setText("abc");
      QMetaObject::invokeMethod(w->findChild<QWidget*>("Button_ok"), "click", Qt::QueuedConnection);
    } else if (step == 1 && qobject_cast<QMessageBox*>(w) != nullptr) {
      step = 2;
      w->move(120, 160);
      Settle(500);
      ok &= Shot(folder + "/refused_entry.png");
      QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    } else if (step == 2 && w->objectName() == "TForm_Zebgeometrie") {
      step = 3;  // the shot on a later tick, once the box's loop has ended
    } else if (step == 3 && w->objectName() == "TForm_Zebgeometrie") {
      step = 4;
      Settle(500);
      ok &= Shot(folder + "/refused_entry_kept.png");
      QMetaObject::invokeMethod(w->findChild<QWidget*>("Button_cancel"), "click", Qt::QueuedConnection);
    }
  });
  timer.start(50);
  dialogs.Dimensions();
  if (step != 4) {
    std::fprintf(stderr, "refusal shots: stopped at step %d\n", step);
    ok = false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string out = argv[1];
  QApplication app(argc, argv);
  ResetBaseGlobals();
  ResetSpringGlobals();
  ResetConfigDefaults();
  InitDefaultColors();
  SetUi(std::make_shared<QtUi>());
  G().TempFolder = "/tmp/";
  SpringDataRecord& s = SpringData();
  s.d = 2, s.Dm = 20, s.De = 22, s.Di = 18, s.n = 8.5L, s.L0 = 60, s.L1 = 50, s.L2 = 30, s.DiameterGiven = 3;
  s.Lc = 19.5L, s.Ln = 21.5L;
  s.MaterialName = "Federstahldraht EN 10270-1 SH";
  ZEBWST_Record().Name2 = "1.1200";
  ZEBWST_Record().Name3 = "patentiert gezogen";
  ProductionData().Preset = 1;
  ProductionData().SurfaceCode = 4;
  ProductionData().Surface = "Zink-Aluminium-\x9A" "berzug";
  ProductionData().Extra1 = "Federenden entgratet, \x94lfrei";
  s.DrawingName = "Druckfeder";
  s.DrawingNo = "4711";
  G().TitleBlockLines[2] = std::string("Pr\x81" "ffeder f\x81r Ventile");
  ValueTable().Name = "L'";
  ValueTable().Unit = "mm";
  ValueTable().Count = 3;
  ValueTable().Values = {0, 55, 45, 35};
  ValueTable().Min = 30, ValueTable().Max = 58;
  ChangeLog() = DefaultChangeLog();
  ChangeLog().ChangeEntryCount = 1;
  ChangeLog().ChangeEntries[1] = {"Drahtdurchmesser", "01.02.2026", "MK", "d von 1.9 auf 2.0"};

  FormCommandDialogs dialogs(QtFormRunners(nullptr));
  const DocumentationDialogs docs = QtDocumentationDialogs(nullptr);
  InstallQtInputDialogs(nullptr);
  Take(out, "TForm_Zebgeometrie", [&] { dialogs.Dimensions(); });
  TakeRefusal(out, dialogs);
  Take(out, "TForm_toleranz", [&] { dialogs.Tolerance(); });
  Take(out, "TEingabeEinsatzfall", [&] { dialogs.Application(); });
  Take(out, "TForm_zeb1conf", [&] { dialogs.CalculationMethod(); });
  Take(out, "TForm_herstellung", [&] { dialogs.Production(); });
  Take(out, "TForm_zebFert", [&] { dialogs.ProductionDrawingData(); });
  // A material with one text line: one box under its name.
  ZEBWST_Record().Name3 = "";
  Take(out, "TForm_zebFert", [&] { dialogs.ProductionDrawingData(); }, false, "TForm_zebFert_one_line");
  ZEBWST_Record().Name3 = "patentiert gezogen";
  Take(out, "TEingabetext1", [&] { dialogs.TitleBlockTexts(); });
  Take(out, "TForm_table6", [&] { dialogs.ValueTable(); });
  Take(out, "Tconfig", [&] { dialogs.Configuration(); }, true);
  Take(out, "TForm_EinAend", [&] {
    ChangeEntryForm f = FillChangeEntryForm(1);
    docs.changeEntry(f, 1);
  });
  Take(out, "TForm_zeichInfo", [&] {
    DrawingInfoForm f = FillDrawingInfoForm();
    docs.drawingInfo(f);
  });
  Take(out, "TForm_confDoku", [&] {
    DocumentLinksForm f = FillDocumentLinksForm();
    docs.documentLinks(f);
  });
  // The question before a spring file's document link starts a program.
  DocumentLinks()[2] = {"/usr/bin/evince --fullscreen", "Zeichnungen/Druckfeder 4711 Blatt 2.pdf"};
  Take(out, "Tin_janeindialog", [&] { OpenDocumentLink(2); });
  // The question after a material was taken: Auslegung or Nachrechnung.
  Take(out, "Tin_radiodialog", [&] { AskDesignOrRecalculation(); }, false, "Tin_radiodialog_auswahl");
  Take(out, "TForm_confgravelo", [&] {
    std::string line;
    PlotConfig().Edit(line);
  });
  Take(out, "TForm_selectcolor", [&] { PickColour(nullptr, 3); });
  Take(out, "TForm_anistep", [&] {
    TForm_anistep step(nullptr);
    step.exec();
  });
  PrinterSeams seams = QtPrinterSeams(nullptr);
  Take(out, "TForm_printconf", [&] { RunPrintSetup(nullptr, false, seams); });
  Take(out, "TForm_printerinfo", [&] { ShowPrinterInfo(nullptr, seams.facts()); });
  // "Drucker..." of the print set-up: the print dialog, also without a printer.
  Take(out, "PrintDialog1", [&] {
    bool landscape = false;
    seams.printDialog(landscape);
  });
  // The file list of a folder with two springs.
  const std::optional<std::string> folder = MakeUniqueFile(G().TempFolder, "zeb1_list_");
  if (folder) {
    std::filesystem::remove(*folder);
    std::filesystem::create_directory(*folder);
    G().CurrentDataFolder = *folder + "/";
    G().AbortFlag = 0;
    WriteSpringFile(*folder + "/druckfeder.zeb");
    SpringData().L0 = 72;
    SpringData().DrawingNo = "4712";
    G().AbortFlag = 0;
    WriteSpringFile(*folder + "/Ventilfeder.zeb");
    Take(out, "TForm_preview", [&] { RunFileListCommand(nullptr); });
    std::filesystem::remove_all(*folder);
  }
  UninstallQtInputDialogs();
  return ok ? 0 : 1;
}
