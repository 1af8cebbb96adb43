// Every form of the program fits its texts: opened in each of the ten menu
// languages at 100 % and 150 % element size, no label, button or group box
// shows a text wider or taller than the control (measured with the
// control's own QFontMetrics) and no control lies outside its parent.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <fstream>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/colors.h"
#include "mainwin/program_fixture.h"
#include "base/globals.h"
#include "base/qt/qt_ui.h"
#include "base/ui_port.h"
#include "drawings/qt/drawing_dialogs.h"
#include "graphics/diagram.h"
#include "graphics/helpcat.h"
#include "graphics/qt/forms.h"
#include "graphics/cadsettings.h"
#include "mainwin/captions.h"
#include "mainwin/changelog_cmd.h"
#include "settings/config.h"
#include "mainwin/dispatch.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/online.h"
#include "mainwin/qt/about_box.h"
#include "mainwin/qt/filelist_form.h"
#include "mainwin/qt/input_dialogs.h"
#include "mainwin/qt/online_form.h"
#include "mainwin/qt/printmac_form.h"
#include "qt_test_support.h"
#include "reports/qt/printsetup_form.h"
#include "spring/changelog.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"
#include "tables/qt/form_zebmat.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"
#include "xbase/qt/qt_tzcallback.h"

namespace zeb {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

// The text a control shows: "&&" is one "&", a single "&" marks the key.
QString Shown(QString text) {
  text.replace(QLatin1String("&&"), QChar(0x1));
  text.remove(QLatin1Char('&'));
  text.replace(QChar(0x1), QLatin1Char('&'));
  return text;
}

QSize TextSize(const QFontMetrics& fm, const QString& text) {
  int w = 0, lines = 0;
  for (const QString& line : Shown(text).split(QLatin1Char('\n'))) {
    w = std::max(w, fm.horizontalAdvance(line));
    ++lines;
  }
  return {w, lines * fm.height()};
}

std::string Name(const QWidget* w) {
  return (w->objectName().isEmpty() ? std::string(w->metaObject()->className()) : w->objectName().toStdString());
}

// What does not fit in form (its visible controls).
std::vector<std::string> Problems(QWidget* form) {
  std::vector<std::string> found;
  auto report = [&](const QWidget* w, const std::string& what) {
    std::ostringstream s;
    s << Name(form) << "/" << Name(w) << ": " << what;
    found.push_back(s.str());
  };
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(form)) continue;
    const bool control = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                         qobject_cast<QGroupBox*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w);
    if (!control || (w->parentWidget() && w->parentWidget()->inherits("QTabBar"))) continue;
    if (QWidget* p = w->parentWidget(); p && !QRect(QPoint(0, 0), p->size()).contains(w->geometry()))
      report(w, "outside its parent");
    const QFontMetrics fm(w->font());
    if (auto* l = qobject_cast<QLabel*>(w)) {
      if (l->text().isEmpty() || l->wordWrap() || l->textFormat() == Qt::RichText) continue;
      const QString text = l->buddy() != nullptr ? l->text() : QString(l->text()).replace("&", "&&");
      const QSize need = TextSize(fm, text);
      const QRect room = l->contentsRect().marginsRemoved(QMargins(l->margin(), l->margin(), l->margin(), l->margin()));
      if (need.width() > room.width() || need.height() > room.height())
        report(w, "text \"" + l->text().toStdString() + "\" needs " + std::to_string(need.width()) + "x" +
                      std::to_string(need.height()) + ", has " + std::to_string(room.width()) + "x" +
                      std::to_string(room.height()));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      if (b->text().isEmpty()) continue;
      QSize need = TextSize(fm, b->text());
      int extra = 4;  // the frame of a push button
      if (qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b)) {
        const bool check = qobject_cast<QCheckBox*>(b) != nullptr;
        extra = b->style()->pixelMetric(check ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth,
                                        nullptr, b) +
                b->style()->pixelMetric(check ? QStyle::PM_CheckBoxLabelSpacing : QStyle::PM_RadioButtonLabelSpacing,
                                        nullptr, b);
      } else if (!b->icon().isNull()) {
        extra += b->iconSize().width() + 4;
      }
      if (need.width() + extra > b->width() || need.height() > b->height())
        report(w, "text \"" + b->text().toStdString() + "\" needs " + std::to_string(need.width() + extra) + "x" +
                      std::to_string(need.height()) + ", has " + std::to_string(b->width()) + "x" +
                      std::to_string(b->height()));
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      const QSize need = TextSize(fm, g->title());
      if (!g->title().isEmpty() && (need.width() + 8 > g->width() || need.height() > g->height()))
        report(w, "title \"" + g->title().toStdString() + "\" needs " + std::to_string(need.width() + 8) +
                      ", has " + std::to_string(g->width()));
    } else if (w->height() < fm.height()) {
      report(w, "lower than a line: " + std::to_string(w->height()) + " < " + std::to_string(fm.height()));
    }
  }
  return found;
}

void Settle() {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 30) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Opens the form with open(); when the modal window named name shows, its
// problems are collected (every page of a tab widget) and it is cancelled.
std::vector<std::string> Check(const char* name, const std::function<void()>& open) {
  std::vector<std::string> found;
  bool seen = false;
  QTimer timer;
  QElapsedTimer waited;
  waited.start();
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    // Another window (a message, a wrong name): closed after 20 s (hang
    // bound; the form shows within a tenth of a second).
    if (w != nullptr && w->objectName() != name && waited.elapsed() > 20000) {
      auto* box = qobject_cast<QMessageBox*>(w);
      found.push_back(std::string(name) + ": unexpected window " + Name(w) + " " +
                      (box != nullptr ? box->text().toStdString() : std::string()));
      QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
      waited.restart();
      return;
    }
    if (seen || w == nullptr || w->objectName() != name) return;
    seen = true;
    Settle();
    auto* tabs = w->findChild<QTabWidget*>();
    for (int i = 0; i < (tabs != nullptr ? tabs->count() : 1); ++i) {
      if (tabs != nullptr) tabs->setCurrentIndex(i), Settle();
      for (std::string& p : Problems(w)) found.push_back(std::move(p));
    }
    QWidget* close = w->findChild<QWidget*>("Button_cancel");
    if (close == nullptr) close = w->findChild<QWidget*>("Button_abbruch");
    if (close != nullptr && close->isVisible())
      QMetaObject::invokeMethod(close, "click", Qt::QueuedConnection);
    else
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
  });
  timer.start(20);
  open();
  if (!seen) found.push_back(std::string(name) + " did not open");
  return found;
}

class FormFitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBaseGlobals();
    ResetSpringGlobals();
    ResetConfigDefaults();
    ResetCaptionTables();
    InitDefaultColors();
    SetUi(std::make_shared<QtUi>());
    SetMainWindow(std::make_shared<HeadlessMainWindow>());
    // The material form reads copies of the generated tables.
    scratch_ = std::filesystem::temp_directory_path() /
               ("zeb1_fit_" + std::to_string(::getpid()) + "_" + std::to_string(++runs_));
    std::filesystem::create_directories(scratch_ / "dbf");
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, scratch_ / "dbf");
    G().DbfFolder = (scratch_ / "dbf").string();
    G().TempFolder = scratch_.string() + "/";
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    InstallTableServices();
    SpringDataRecord& s = SpringData();
    s.d = 2, s.Dm = 20, s.De = 22, s.Di = 18, s.n = 8.5L, s.L0 = 60, s.L1 = 50, s.L2 = 30, s.DiameterGiven = 3;
    s.MaterialName = "Federstahldraht EN 10270-1 SH";
    s.MaterialSel = 11;  // a material typed in: the form needs no index of the table
    ValueTable().Name = "L'";
    ValueTable().Unit = "mm";
    ValueTable().Count = 3;
    ValueTable().Values = {0, 55, 45, 35};
    ChangeLog() = DefaultChangeLog();
    InstallQtInputDialogs(nullptr);
    InstallQtTableBrowser();
  }
  void TearDown() override {
    TableClose();
    SetTableBrowser(nullptr);
    SetTables(nullptr);
    std::filesystem::remove_all(scratch_);
    UninstallQtInputDialogs();
    ResetCaptionTables();
    SetMainWindow(nullptr);
    SetUi(nullptr);
  }
  std::filesystem::path scratch_;
  static inline int runs_ = 0;
  // The online rows of the recalculation screen with its widest units.
  static void FillOnline() {
    ResetOnlineState();
    OnlineState& o = Online();
    o.RowCount = o.OutCount = 12;
    o.Caption = "Nachrechnung";
    const char* units[] = {"mm", "N/mm", "MPa", "mm", "N", "kg/dm\xfc", "1/min", "mm", "Hz", "N/mm", "MPa", "N"};
    for (int i = 1; i <= 12; ++i) {
      const auto r = static_cast<std::size_t>(i);
      o.LabelText[r] = i == 2 ? "R" : "Ddmax";
      o.EditText[r] = "1234.56";
      o.UnitText[r] = units[i - 1];
      o.OutName[r] = "tauk1";
      o.OutValue[r] = "1234.567";
      o.OutUnit[r] = units[12 - i];
    }
  }
  std::vector<std::string> AllForms() {
    std::vector<std::string> all;
    auto add = [&](std::vector<std::string> v) { all.insert(all.end(), v.begin(), v.end()); };
    FormCommandDialogs dialogs(QtFormRunners(nullptr));
    const DocumentationDialogs docs = QtDocumentationDialogs(nullptr);
    add(Check("TForm_Zebgeometrie", [&] { dialogs.Dimensions(); }));
    add(Check("TForm_toleranz", [&] { dialogs.Tolerance(); }));
    add(Check("TEingabeEinsatzfall", [&] { dialogs.Application(); }));
    add(Check("TForm_zeb1conf", [&] { dialogs.CalculationMethod(); }));
    add(Check("TForm_herstellung", [&] { dialogs.Production(); }));
    add(Check("TForm_zebFert", [&] { dialogs.ProductionDrawingData(); }));
    add(Check("TEingabetext1", [&] { dialogs.TitleBlockTexts(); }));
    add(Check("TForm_table6", [&] { dialogs.ValueTable(); }));
    add(Check("Tconfig", [&] { dialogs.Configuration(); }));
    add(Check("TForm_EinAend", [&] {
      ChangeEntryForm f = FillChangeEntryForm(1);
      docs.changeEntry(f, 1);
    }));
    add(Check("TForm_zeichInfo", [&] {
      DrawingInfoForm f = FillDrawingInfoForm();
      docs.drawingInfo(f);
    }));
    add(Check("TForm_confDoku", [&] {
      DocumentLinksForm f = FillDocumentLinksForm();
      docs.documentLinks(f);
    }));
    add(Check("TForm_confgravelo", [&] {
      std::string line;
      PlotConfig().Edit(line);
    }));
    add(Check("TForm_selectcolor", [&] { PickColour(nullptr, 3); }));
    PrinterSeams seams = QtPrinterSeams(nullptr);
    add(Check("TForm_printconf", [&] { RunPrintSetup(nullptr, false, seams); }));
    add(Check("TForm_printerinfo", [&] { ShowPrinterInfo(nullptr, seams.facts()); }));
    add(Check("Form_zebmat", [&] {
      TForm_zebmat form;
      form.resize(640, 480);  // the size it was seen squeezed to
      form.exec();
    }));
    add(Check("TForm_printmac", [&] {
      QtPrintMacroForm form(nullptr);
      PrintoutSectionChoice choice{};
      form.Execute(PrintMacroCaptions(), choice);
    }));
    FillOnline();
    add(Check("TForm_online", [&] {
      OnlineRun run = MakeOnlineRun(1, 6000, 0, 0);
      TForm_online form(nullptr, run);
      form.exec();
    }));
    add(Check("dbf4", [&] {
      G().AbortFlag = 0;
      Tables().EditTable("zebwst", 3300);
      G().AbortFlag = 0;
    }));
    add(Check("TAboutBox", [&] {
      TAboutBox box(nullptr);
      box.exec();
    }));
    add(Check("TForm_preview", [&] {
      // The example springs of the source tree as the data folder.
      std::filesystem::create_directories(scratch_ / "daten");
      for (const auto& e : std::filesystem::directory_iterator(ZEB1_EXAMPLES_FOLDER))
        std::filesystem::copy_file(e.path(), scratch_ / "daten" / e.path().filename(),
                                   std::filesystem::copy_options::overwrite_existing);
      G().CurrentDataFolder = (scratch_ / "daten").string() + "/";
      RunFileListCommand(nullptr);
    }));
    add(Check("Tin_textdialog", [&] {
      std::string text = "12.5";
      Ui().InputText("Drahtdurchmesser d [mm]", 20, text, {});
    }));
    add(Check("Tin_janeindialog", [&] {
      bool yes = true;
      Ui().AskYesNo("Ende ?", yes, {});
    }));
    add(Check("Tin_radiodialog", [&] {
      int index = 0;
      Ui().AskChoice("Auswahl", {"Federstahldraht", "Nichtrostender Federstahldraht"}, index, false, {});
    }));
    add(Check("Tin_codedialog", [&] {
      int index = 0;
      Ui().AskChoice("Auswahl", {"1", "2", "3", "4", "5", "6", "7", "8"}, index, true, {});
    }));
    add(Check("TForm_Suchen", [&] {
      FileListGrid grid = BuildFileList();
      TForm_preview list(nullptr, grid);
      list.Search(true);
    }));
    add(Check("TShowScreen", [&] {
      Ui().ShowScreen("Nachrechnung", std::vector<std::string>(22, "Drahtdurchmesser d       2.000 mm"));
    }));
    add(Check("Thelperr", [&] {
      Ui().ErrorHelpForm({"Windungszahl zu klein", "n < 2", "Mehr Windungen"}, [] {});
    }));
    add(Check("TForm_showtextfile", [&] {
      TextViewerRequest r;
      r.displayFile = (scratch_ / "anzeige.txt").string();
      std::ofstream(r.displayFile) << "Drahtdurchmesser d       2.000 mm\r\n";
      r.caption = "Nachrechnung";
      r.print = r.exportNotepad = [] {};
      Ui().TextViewer(r);
    }));
    add(Check("TForm_anistep", [&] {
      TForm_anistep step(nullptr);
      step.exec();
    }));
    add(Check("TzMessageBox", [&] {
      xbase::QtTzCallback().MessageBox("Datensatz gesperrt. Nochmals versuchen ?", "ZEB1", 32 | 3);
    }));
    add(Check("TForm_zeb1dxf", [&] { QtInstalledLengthDialog().Run(); }));
    add(Check("TForm_cadutil8", [&] { QtRotationDialog().Run(); }));
    add(Check("TEinDiagramLimits", [&] {
      DiagramLimitsRequest r;
      r.computed = {0, 0, 60, 1200};
      r.xTitle = "s [mm]";
      r.yTitle = "F [N]";
      r.caption = "Federkennlinie";
      QtDiagramLimitsDialog().Run(r);
    }));
    add(Check("TForm_hilfebild", [&] {
      HelpPictureFormState state;
      QtHelpPictureDialog().Run("ZEB1 Hilfebilder", {"a       : A", "b       : B", "c       : C"}, 1, state);
    }));
    return all;
  }
};

TEST_F(FormFitTest, EveryFormInTenLanguagesAtTwoElementSizes) {
  std::set<std::string> problems;
  const char* only = std::getenv("ZEB1_FIT_QUICK");
  for (int percent : {100, 150}) {
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
      if (only != nullptr && n != 1) continue;
      ApplyMenuLanguage(n);
      G().DialogElementPercent = G().DialogSizePercent = percent;
      for (const std::string& p : AllForms()) problems.insert(std::to_string(percent) + "% " + p);
    }
  }
  std::ostringstream all;
  for (const std::string& p : problems) all << p << "\n";
  EXPECT_TRUE(problems.empty()) << problems.size() << " problems:\n" << all.str();
}

}  // namespace
}  // namespace zeb
