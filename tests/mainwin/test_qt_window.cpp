// The main window, the online input form, the about box and the print
// macro's dialog under Qt (offscreen), built by the program's start
// function with temporary configuration, temp and data folders; the spring
// file's name after Save As and the question before replacing a file.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <set>

#include "qt_test_support.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/help.h"
#include "base/qt/qt_convert.h"
#include "base/qt/qt_ui.h"
#include "base/services.h"
#include "drawings/drawings.h"
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "graphics/sink.h"
#include "mainwin/commands.h"
#include "mainwin/dispatch.h"
#include "settings/config.h"
#include "mainwin/online.h"
#include "mainwin/qt/about_box.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/online_form.h"
#include "mainwin/qt/printmac_form.h"
#include "mainwin/qt/qt_printer_port.h"
#include "mainwin/qt/qt_program.h"
#include "program_fixture.h"
#include "reports/printjob.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

using test::Capture;

// Runs `act` on every run of a modal TForm_online, in turn, until they are
// used up; then Esc.
class FormDriver {
 public:
  explicit FormDriver(std::vector<std::function<void(TForm_online&)>> acts) : acts_(std::move(acts)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* form = qobject_cast<TForm_online*>(QApplication::activeModalWidget());
      // A screen's runs share one form; a new screen may make its form at
      // the old one's address.
      if (form == nullptr || form->property("driven").toInt() == form->RunCount()) return;
      form->setProperty("driven", form->RunCount());
      if (next_ < acts_.size())
        acts_[next_++](*form);
      else
        form->Finish(OnlineKey::Esc);
    });
    timer_.start(10);
  }
  std::size_t used() const { return next_; }

 private:
  QTimer timer_;
  std::vector<std::function<void(TForm_online&)>> acts_;
  std::size_t next_ = 0;
};

class QtWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = test::FreshTestFolder("zeb1_qtwin_", {"cfg", "work", "tmp", "home"});
    env_.Set("XDG_CONFIG_HOME", (root_ / "cfg").string());
    env_.Set("HOME", (root_ / "home").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    ui_ = std::make_shared<ScriptedUi>();
    ui_->OnFailure([](const std::string& m) { ADD_FAILURE() << "UI: " << m; });
    SetUi(ui_);
    std::optional<int> ended;
    window_ = StartMainWindow({"wzeb1"}, ended);
    ASSERT_FALSE(ended.has_value());
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    test::CloseMainWindow(window_);
    EXPECT_TRUE(ui_->Verify()) << ui_->Problems();
    ui_->OnFailure(nullptr);
    SetUi(nullptr);
    SetGraphics(nullptr);
    SetPrinterPort(nullptr);
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
  }
  QString Caption() const { return window_->windowTitle(); }

  fs::path root_, oldCwd_;
  test::ScopedEnv env_;
  std::shared_ptr<ScriptedUi> ui_;
  std::unique_ptr<Thh> window_;
};

TEST_F(QtWindowTest, EveryItemIsAnActionInItsMenu) {
  for (const Command& c : CommandTable()) {
    if (c.isMenu) {
      QMenu* m = window_->Menu(c.name);
      ASSERT_NE(m, nullptr) << c.name;
      EXPECT_EQ(m->objectName().toStdString(), c.name);
      continue;
    }
    QAction* a = window_->findChild<QAction*>(QString::fromStdString(c.name));
    ASSERT_NE(a, nullptr) << c.name;
    EXPECT_TRUE(window_->Menu(c.parent)->actions().contains(a)) << c.name;
    if (!c.shortcut.empty()) {
      EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromStdString(c.shortcut))) << c.name;
    }
  }
  EXPECT_EQ(window_->Action("mi_fileNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
  EXPECT_EQ(window_->Action("mi_file2")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F2));
  // The menu bar in caption order, German after the start.
  QStringList top;
  for (QAction* a : window_->menuBar()->actions()) top << a->text();
  EXPECT_EQ(top, (QStringList{"&Datei", "&Bearbeiten", "&Ansicht", "Datenban&k", "&CAD", "D&okument", "O&LE",
                              "&Hilfe"}));
}

TEST_F(QtWindowTest, EnabledItemsWithTheStandIns) {
  std::set<std::string> on;
  for (const Command& c : CommandTable())
    if (!c.isMenu && c.name != "mi_viewErrorMessages" && window_->Action(c.name)->isEnabled()) on.insert(c.name);
  const std::set<std::string> expected = {
      "mi_fileOpen", "mi_FileSave", "mi_FileSaveAs", "mi_filePrintMacro", "mi_fileexit", "mi_EditDimensioning", "mi_EditRecalculation", "mi_EditPreDimensioning",
      "mi_editauslegungwstgmodul", "mi_viewstandardausdruck", "mi_viewauszug", "mi_viewausdruckfertausgl",
      "mi_helpErrorMessages", "mi_helplanguageDeutsch", "mi_helplanguageEnglish", "mi_helplanguageFrancais",
      "mi_helplanguageItaliano", "mi_helplanguageSvensk", "mi_helplanguagePortugues", "mi_helplanguageRoman",
      "mi_helplanguageKorea", "mi_helplanguageEspanol", "mi_helplanguageChinese", "mi_HelpAbout",
      // The input dialogs of the window.
      "mi_fileNew", "mi_EditApplication", "mi_EditCalculationMethod", "mi_EditProduction", "mi_EditQuick",
      "mi_EditText", "mi_EditTolerance", "mi_fileConfig",
      // The documentation and spreadsheet commands (export only after a start).
      "mi_docdrawinginfo", "mi_docuShowChanges1", "mi_docuPrintChanges", "mi_docuNewChange",
      "mi_docuModifyChanges", "mi_docudeleteChange", "mi_Document1", "mi_Document2", "mi_Document3",
      "mi_Document4", "mi_Document5", "mi_DocumentSetup", "mi_OleStartExcel", "mi_olePrintoutExcel",
      "mi_fileopentable", "mi_filePrinterSetup"};
  EXPECT_EQ(on, expected);
  EXPECT_FALSE(window_->Action("mi_oleExportExcel")->isEnabled());
  // No recent files: the four items hidden.
  for (int n = 1; n <= 4; ++n) EXPECT_FALSE(window_->Action("mi_file" + std::to_string(n))->isVisible());
  // Language 2 from the menu.
  window_->Trigger("mi_helplanguageEnglish");
  EXPECT_EQ(window_->Menu("mi_file")->title(), "&File");
  EXPECT_EQ(window_->Action("mi_EditRecalculation")->text(), "&Recalculation");
  window_->Trigger("mi_helplanguageChinese");
  EXPECT_EQ(window_->Menu("mi_Help")->title(), QString::fromUtf8("帮助(&H)"));
  EXPECT_EQ(window_->Action("mi_HelpAbout")->text(), "&ZEB1");
  window_->Trigger("mi_helplanguageDeutsch");
}

// ---------------------------------------------------------------- online form

void FillRows(int rows, int outs) {
  ResetOnlineState();
  OnlineState& o = Online();
  o.RowCount = rows;
  o.OutCount = outs;
  o.Caption = "Nachrechnung";
  for (int i = 1; i <= 12; ++i) {
    const auto r = static_cast<std::size_t>(i);
    o.LabelText[r] = "L" + std::to_string(i);
    o.EditText[r] = std::to_string(i * 10);
    o.UnitText[r] = "mm";
    o.OutName[r] = "F" + std::to_string(i);
    o.OutValue[r] = std::to_string(i);
    o.OutUnit[r] = "N";
  }
}

QRect Geo(const QWidget& form, const char* name) {
  auto* w = form.findChild<QWidget*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w != nullptr ? w->geometry() : QRect();
}

TEST_F(QtWindowTest, OnlineFormControlsAtTheirPlaces) {
  FillRows(9, 12);
  G().ErrorMessageList.count = 2;
  G().ErrorMessageList.slot[1] = "Warnung: eins";
  G().ErrorMessageList.slot[2] = "Fehler : zwei";
  for (int pct : {100, 150}) {
    G().DialogSizePercent = pct;
    OnlineRun run = MakeOnlineRun(1, 6000, 0, 0);
    TForm_online form(nullptr, run);
    EXPECT_EQ(form.size(), QSize(635 * pct / 100, 453 * pct / 100)) << pct;
    EXPECT_EQ(form.windowTitle(), "ZEB1    Nachrechnung");
    EXPECT_EQ(Geo(form, "ed_3"), QRect(56, 85, 62, 26));
    EXPECT_EQ(form.findChild<QLineEdit*>("ed_3")->text(), "30");
    EXPECT_EQ(Geo(form, "lb_3"), QRect(6, 83, 34, 24));
    EXPECT_EQ(form.findChild<QLabel*>("lb_3")->parent(), form.GroupBox_eingabe);
    // At its place, at least as wide as placed and as its text ("mm").
    EXPECT_EQ(Geo(form, "lbeu_9").topLeft(), QPoint(114, 245));
    EXPECT_GE(Geo(form, "lbeu_9").width(), std::max(20, QFontMetrics(form.font()).horizontalAdvance("mm")));
    EXPECT_EQ(form.findChild<QWidget*>("ed_10"), nullptr);
    EXPECT_EQ(Geo(form, "lbaz_12"), QRect(8, 326, 40, 24));
    EXPECT_EQ(Geo(form, "lbaw_2"), QRect(50, 56, 55, 24));
    EXPECT_EQ(Geo(form, "lbau_1"), QRect(102, 29, 30, 24));
    EXPECT_EQ(Geo(form, "lber_2"), QRect(10, 54, 240, 24));
    EXPECT_EQ(form.findChild<QLabel*>("lber_2")->text(), "Fehler : zwei");
    EXPECT_EQ(form.findChild<QWidget*>("lber_3"), nullptr);
    EXPECT_EQ(Geo(form, "GroupBox_eingabe"), QRect(10, 5, 150, 27 * 9 + 30));
    EXPECT_EQ(Geo(form, "GroupBox_ausgabe"), QRect(170, 5, 140, 27 * 12 + 30));
    EXPECT_EQ(Geo(form, "GroupBox_fehler"), QRect(320, 5, 260, 354));
    EXPECT_EQ(form.Button_close->text(), QString::fromUtf8("&Schließen"));
    EXPECT_EQ(form.Button_showplt->text(), "Hilfebil&der");
    EXPECT_TRUE(form.Button_unit->isHidden());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
  }
  // The small window: input column only, full width.
  Config().SmallOnlineWindow = 1;
  G().DialogSizePercent = 100;
  OnlineRun run = MakeOnlineRun(1, 6000, 0, 0);
  TForm_online small(nullptr, run);
  EXPECT_EQ(small.width(), 635);
  EXPECT_EQ(small.findChild<QWidget*>("GroupBox_ausgabe"), nullptr);
  EXPECT_EQ(small.findChild<QWidget*>("lbaz_1"), nullptr);
  EXPECT_EQ(small.findChild<QWidget*>("lber_1"), nullptr);
  EXPECT_NE(small.findChild<QWidget*>("ed_9"), nullptr);
  Config().SmallOnlineWindow = 0;
  G().ErrorMessageList.count = 0;
}

TEST_F(QtWindowTest, OnlineFormKeysReadTheTextsBackOrAbort) {
  struct Case {
    const char* what;
    std::function<void(TForm_online&)> act;
    bool read;
    int abort;
    int lastKey;
  } cases[] = {
      {"Enter", [](TForm_online& f) { QTest::keyClick(f.findChild<QLineEdit*>("ed_2"), Qt::Key_Return); }, true, 0, 0},
      {"Down", [](TForm_online& f) { QTest::keyClick(f.findChild<QLineEdit*>("ed_2"), Qt::Key_Down); }, true, 0, 40},
      {"Up", [](TForm_online& f) { QTest::keyClick(f.findChild<QLineEdit*>("ed_2"), Qt::Key_Up); }, true, 0, 38},
      {"OK", [](TForm_online& f) { f.Button_ok->click(); }, true, 0, 0},
      {"Esc", [](TForm_online& f) { QTest::keyClick(f.findChild<QLineEdit*>("ed_2"), Qt::Key_Escape); }, false, 1, 0},
      {"Esc on a button",
       [](TForm_online& f) {
         f.Button_help->setFocus();
         QTest::keyClick(f.Button_help, Qt::Key_Escape);
       },
       false, 1, 0},
      {"Schliessen", [](TForm_online& f) { f.Button_close->click(); }, true, 1, 0},
      {"window close", [](TForm_online& f) { f.close(); }, true, 1, 0},
  };
  for (const Case& c : cases) {
    FillRows(4, 4);
    FormDriver driver({[&c](TForm_online& f) {
      auto* e = f.findChild<QLineEdit*>("ed_2");
      e->setFocus();
      e->setText("77");
      c.act(f);
    }});
    int row = 2;
    bool changed = false;
    RunOnlineInput(row, 6000, changed);
    EXPECT_EQ(driver.used(), 1u) << c.what;
    EXPECT_EQ(Online().EditText[2], c.read ? "77" : "20") << c.what;
    EXPECT_EQ(G().AbortFlag, c.abort) << c.what;
    EXPECT_EQ(Online().LastKey, c.lastKey) << c.what;
    EXPECT_EQ(row, 2) << c.what;
  }
}

// Enter leaves the form open for the screen's next run: the same window,
// still shown between the runs, its fields, outputs and messages updated;
// Esc ends the screen and closes it.
TEST_F(QtWindowTest, OnlineFormStaysOpenFromRunToRunOfAScreen) {
  FillRows(4, 4);
  G().ErrorMessageList.count = 2;
  G().ErrorMessageList.slot[1] = "Warnung: eins";
  G().ErrorMessageList.slot[2] = "Fehler : zwei";
  QPointer<TForm_online> first, second;
  QString edit3, value1, label2, unit4, message1;
  bool message2 = true, hidden = false;
  FormDriver driver({[&](TForm_online& f) {
                       first = &f;
                       auto* e = f.findChild<QLineEdit*>("ed_2");
                       e->setFocus();
                       e->setText("77");
                       QTest::keyClick(e, Qt::Key_Return);
                     },
                     [&](TForm_online& f) {
                       second = &f;
                       edit3 = f.findChild<QLineEdit*>("ed_3")->text();
                       value1 = f.findChild<QLabel*>("lbaw_1")->text();
                       label2 = f.findChild<QLabel*>("lb_2")->text();
                       unit4 = f.findChild<QLabel*>("lbeu_4")->text();
                       message1 = f.findChild<QLabel*>("lber_1")->text();
                       message2 = f.findChild<QLabel*>("lber_2") != nullptr;
                       hidden = f.findChild<QLineEdit*>("ed_4")->isHidden();
                       QTest::keyClick(f.findChild<QLineEdit*>("ed_3"), Qt::Key_Escape);
                     }});
  int row = 2;
  bool changed = false;
  RunOnlineInput(row, 6000, changed);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(Online().EditText[2], "77");
  ASSERT_FALSE(first.isNull());
  EXPECT_TRUE(first->isVisible());  // open while the pass computes
  // Keys between the runs find no run: nothing read back, nothing ended.
  first->findChild<QLineEdit*>("ed_2")->setText("12");
  QTest::keyClick(first->findChild<QLineEdit*>("ed_2"), Qt::Key_Escape);
  first->Finish(OnlineKey::Ok);
  EXPECT_EQ(Online().EditText[2], "77");
  EXPECT_EQ(G().AbortFlag, 0);
  // The next pass's values.
  Online().EditText[3] = "5.5";
  Online().OutValue[1] = "999";
  Online().LabelText[2] = "Dm";
  Online().UnitText[4] = "inch";
  G().ErrorMessageList.count = 1;
  G().ErrorMessageList.slot[1] = "Fehler : neu";
  RunOnlineInputHiding(row, 6000, changed, 0, 4);
  EXPECT_EQ(driver.used(), 2u);
  EXPECT_EQ(second, first);
  EXPECT_EQ(edit3, "5.5");
  EXPECT_EQ(value1, "999");
  EXPECT_EQ(label2, "Dm");
  EXPECT_EQ(unit4, "inch");
  EXPECT_EQ(message1, "Fehler : neu");
  EXPECT_FALSE(message2);
  EXPECT_TRUE(hidden);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_TRUE(first.isNull());  // closed with the screen
  G().ErrorMessageList.count = 0;
}

TEST_F(QtWindowTest, OnlineFormFocusHintsButtonsAndPosition) {
  FillRows(8, 12);
  auto graphics = std::make_shared<RecordingGraphics>();
  SetGraphics(graphics);
  Online().Left = 140, Online().Top = 160;
  QString focused, hint;
  QPoint opened;
  bool stillOpen = false;
  FormDriver driver({[&](TForm_online& f) {
    focused = f.focusWidget() ? f.focusWidget()->objectName() : QString();
    opened = f.pos();
    auto* label = f.findChild<QLabel*>("lb_2");
    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &tip);
    hint = label->toolTip();
    f.Button_showplt->click();
    f.Button_hilfebild->click();
    // The form's own help text, not the calculation method's.
    ui_->ExpectMessageBox("HILFETEXT Nr.1010", "Eingabeformular");
    f.Button_help->click();
    stillOpen = f.isVisible();
    f.move(200, 220);
    f.Button_ok->click();
  }});
  int row = 3;
  bool changed = false;
  RunOnlineInput(row, 6000, changed);
  EXPECT_EQ(focused, "ed_3");
  EXPECT_EQ(opened, QPoint(140, 160));
  // The row's help text without its trailing blanks.
  EXPECT_FALSE(hint.isEmpty());
  EXPECT_EQ(hint, AnsiToQString(HelpHintText(6005)));
  EXPECT_TRUE(stillOpen);
  const auto& calls = graphics->Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "HelpPictureCatalog()"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "GrafHeader(0,0,0,160,120)"), calls.end());
  EXPECT_EQ(Online().Left, 200);
  EXPECT_EQ(Online().Top, 220);
}

// ---------------------------------------------------------------- about box, print macro

TEST_F(QtWindowTest, AboutBoxTexts) {
  auto graphics = std::make_shared<RecordingGraphics>();
  SetGraphics(graphics);
  TAboutBox box(window_.get());
  EXPECT_EQ(box.Label_extended->text(), "ZEB1   Druckfederberechnung");
  EXPECT_EQ(box.ProductName->text(), QString::fromUtf8("Version 26.6 für Linux"));
  EXPECT_EQ(box.Label_fileversion->text(), "File Version : 26.6");
  EXPECT_EQ(box.windowTitle(), "ZEB1");
  EXPECT_TRUE(box.Label_sonderversion->text().isEmpty());
  // The logo is on the screen before the box opens over it.
  EXPECT_EQ(graphics->Calls(), (std::vector<std::string>{"GrafClear()", "GrafDrawLogo()", "FlushPicture()"}));
}

// The example spring, calculated without a fatal message.
void LoadExample() {
  ReadSpringFile((test::SourceDir() / "examples" / "round_dynamic.zeb").string());
  ASSERT_EQ(G().AbortFlag, 0);
  ASSERT_EQ(G().FatalErrorFlag, 0);
}

TEST_F(QtWindowTest, PrintMacroDialogBoxesAndCancel) {
  LoadExample();
  G().PrintoutSectionMask = 5;
  window_->Trigger("mi_helplanguageEnglish");
  bool checked1 = false, checked2 = true, checked3 = false, hidden14 = false;
  QString caption1;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* f = qobject_cast<TForm_printmac*>(QApplication::activeModalWidget())) {
      checked1 = f->CheckBox[1]->isChecked();
      checked2 = f->CheckBox[2]->isChecked();
      checked3 = f->CheckBox[3]->isChecked();
      hidden14 = f->CheckBox[14]->isHidden();
      caption1 = f->CheckBox[1]->text();
      f->CheckBox[2]->setChecked(true);
      f->Button_cancel->click();
    }
  });
  timer.start(10);
  window_->Trigger("mi_filePrintMacro");
  timer.stop();
  EXPECT_TRUE(checked1);
  EXPECT_FALSE(checked2);
  EXPECT_TRUE(checked3);
  EXPECT_TRUE(hidden14);
  EXPECT_EQ(caption1, "&Standard Printout");
  EXPECT_EQ(G().PrintoutSectionMask, 5);
  window_->Trigger("mi_helplanguageDeutsch");
}

TEST_F(QtWindowTest, PrintMacroPrintsBothPrintoutsToPdf) {
  if (Capture("command -v pdftotext").empty()) GTEST_SKIP() << "pdftotext is not installed";
  LoadExample();
  auto qtUi = std::make_shared<QtUi>();
  qtUi->SetPrintRangeAnswer(QtUi::PageRange{1, 99});
  SetUi(qtUi);
  auto port = MakeQtTextPrinterPort(qtUi);
  if (port->HasPrinter()) GTEST_SKIP() << "a default printer is installed";
  SetPrinterPort(port);
  G().TempFolder = (root_ / "tmp").string();
  G().PrintoutSectionMask = 1 | 2 | 4;
  std::vector<std::string> boxes;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (auto* f = qobject_cast<TForm_printmac*>(w)) f->Button_ok->click();
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      boxes.push_back(box->text().toStdString());
      box->accept();
    }
  });
  timer.start(10);
  window_->Trigger("mi_filePrintMacro");
  timer.stop();
  const fs::path first = root_ / "tmp" / "zeb1.pdf", second = root_ / "tmp" / "zeb1-2.pdf";
  ASSERT_TRUE(fs::exists(first));
  ASSERT_TRUE(fs::exists(second));
  const std::string full = Capture("pdftotext -layout " + test::ShellQuote(first.string()) + " -");
  const std::string shortText = Capture("pdftotext -layout " + test::ShellQuote(second.string()) + " -");
  EXPECT_GT(full.size(), shortText.size());
  EXPECT_NE(full.find("BEMERKUNGEN"), std::string::npos) << full.substr(0, 400);
  // Box 3 has no drawing yet: its box says so.
  bool none = false;
  for (const std::string& b : boxes) none = none || b.find("Quick 1: keine Ausgabe") != std::string::npos;
  EXPECT_TRUE(none);
  SetUi(ui_);
}

// ---------------------------------------------------------------- file menu and the main road

TEST_F(QtWindowTest, OpenRecalculateSaveReopenAndExit) {
  const fs::path file = root_ / "work" / "t.zeb";
  fs::copy_file(test::SourceDir() / "examples" / "round_dynamic.zeb", file);
  ui_->ExpectOpenFile(file.string());
  window_->Trigger("mi_fileOpen");
  EXPECT_EQ(Caption(), "ZEB1   Druckfederberechnung  -  t.zeb");
  EXPECT_TRUE(window_->Action("mi_file1")->isVisible());
  EXPECT_EQ(window_->Action("mi_file1")->text().toStdString(), "&1 /.../t.zeb");  // 50 characters or more
  EXPECT_FALSE(window_->Action("mi_file2")->isVisible());

  const SpringDataRecord before = SpringData();
  const Real newL0 = 110.5L;
  ASSERT_NE(before.L0, newL0);
  int openedOn = 0;
  FormDriver driver({[&](TForm_online& f) {
                       for (int i = 1; i <= 9; ++i)
                         if (f.focusWidget() == f.findChild<QLineEdit*>(QString("ed_%1").arg(i))) openedOn = i;
                       auto* e = f.findChild<QLineEdit*>("ed_3");
                       e->setFocus();
                       e->setText(QString::number(static_cast<double>(newL0)));
                       QTest::keyClick(e, Qt::Key_Return);
                     },
                     [](TForm_online& f) {
                       QTest::keyClick(f.findChild<QLineEdit*>("ed_3"), Qt::Key_Down);
                       EXPECT_EQ(Online().LastKey, 40);
                     },
                     [](TForm_online& f) { QTest::keyClick(f.findChild<QLineEdit*>("ed_4"), Qt::Key_Escape); }});
  window_->Trigger("mi_EditRecalculation");
  EXPECT_EQ(openedOn, 1);
  EXPECT_EQ(driver.used(), 3u);
  EXPECT_EQ(G().ModifiedFlag, 1);
  const SpringDataRecord& s = SpringData();
  EXPECT_NEAR(static_cast<double>(s.L0), static_cast<double>(newL0), 1e-9);
  // F1 = R (L0 - L1) with R = G(T) d^4 / (8 Dm^3 n), G(T) = G (3620 - T) / 3600.
  const double gt = static_cast<double>(s.G) * (3620.0 - static_cast<double>(s.T)) / 3600.0;
  const double d = static_cast<double>(s.d), dm = static_cast<double>(s.Dm);
  const double r = gt * d * d * d * d / (8.0 * dm * dm * dm * static_cast<double>(s.n));
  EXPECT_NEAR(static_cast<double>(s.F1), r * (110.5 - static_cast<double>(s.L1)), 1e-9 * static_cast<double>(s.F1));

  window_->Trigger("mi_FileSave");
  EXPECT_EQ(G().ModifiedFlag, 0);

  // Reopened from the recent entry (the saved file), after a change that
  // is not kept.
  SpringData().L0 = 1.0L;
  G().ModifiedFlag = 1;
  ui_->ExpectQuestion("", "Datei speichern", Answer::No);
  window_->Trigger("mi_file1");
  EXPECT_NEAR(static_cast<double>(SpringData().L0), static_cast<double>(newL0), 1e-6);

  // The close query: Cancel keeps the window, No closes it.
  G().ModifiedFlag = 1;
  ui_->ExpectQuestion("", "Datei speichern", Answer::Cancel);
  EXPECT_FALSE(window_->close());
  EXPECT_FALSE(window_->Destroyed());
  ui_->ExpectQuestion("", "Datei speichern", Answer::No);
  EXPECT_TRUE(window_->close());
  EXPECT_TRUE(window_->Destroyed());
  // The session file lists the file first.
  const std::string session = test::ReadBytes(root_ / "cfg" / "zeb1" / "zeb1.cff");
  EXPECT_NE(session.find(file.string()), std::string::npos) << session;
}

// With the graphics window and the drawings in place, the canvas is the
// client area and shows the opened spring's result graphic.
TEST_F(QtWindowTest, OpenedSpringShowsInTheCanvas) {
  window_->close();
  window_.reset();
  SetMainWindow(nullptr);
  InstallGraphicsFacade();
  InstallDrawings();
  std::optional<int> ended;
  window_ = StartMainWindow({"wzeb1"}, ended);
  ASSERT_NE(window_, nullptr);
  auto* canvas = qobject_cast<GraphCanvas*>(window_->centralWidget());
  ASSERT_NE(canvas, nullptr);
  const fs::path file = root_ / "work" / "t.zeb";
  fs::copy_file(test::SourceDir() / "examples" / "round_dynamic.zeb", file);
  ui_->ExpectOpenFile(file.string());
  window_->Trigger("mi_fileOpen");
  // The result sheet names the spring's values: the free length of the file.
  bool found = false;
  for (const std::string& record : Facade().Window().DisplayList())
    found = found || record.find("105.8") != std::string::npos;
  EXPECT_TRUE(found);
  window_->resize(800, 600);
  const QImage image = canvas->Render();
  ASSERT_FALSE(image.isNull());
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 7)
    for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 2u);
  G().ModifiedFlag = 0;
  window_->close();
  window_.reset();
  SetMainWindow(nullptr);
  SetDrawings(nullptr);
  SetScreen(nullptr);
  ClearDrawingRegistry();
}

// The about box puts the logo in place of the drawing: the canvas is not
// blank while the box is up, and the next drawing command brings the
// spring's sheet back.
TEST_F(QtWindowTest, AboutBoxDrawsTheLogoUntilTheNextDrawing) {
  window_->close();
  window_.reset();
  SetMainWindow(nullptr);
  InstallGraphicsFacade();
  InstallDrawings();
  std::optional<int> ended;
  window_ = StartMainWindow({"wzeb1"}, ended);
  ASSERT_NE(window_, nullptr);
  window_->resize(800, 600);
  auto* canvas = qobject_cast<GraphCanvas*>(window_->centralWidget());
  ASSERT_NE(canvas, nullptr);
  LoadExample();
  const auto sheetShown = [] {
    for (const std::string& record : Facade().Window().DisplayList())
      if (record.find("105.8") != std::string::npos) return true;
    return false;
  };
  window_->Trigger("mi_ViewQuick1");
  ASSERT_TRUE(sheetShown());
  // Share of the canvas that is not background.
  const auto inked = [&] {
    const QImage image = canvas->Render();
    if (image.isNull()) return 0.0;
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    int ink = 0, all = 0;
    for (int y = 0; y < image.height(); y += 3)
      for (int x = 0; x < image.width(); x += 3, ++all) ink += image.pixel(x, y) != background;
    return all == 0 ? 0.0 : static_cast<double>(ink) / all;
  };
  bool boxSeen = false, sheetDuringBox = true;
  double inkDuringBox = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget())) {
      boxSeen = true;
      sheetDuringBox = sheetShown();
      inkDuringBox = inked();
      box->accept();
    }
  });
  timer.start(20);
  window_->Trigger("mi_HelpAbout");
  timer.stop();
  EXPECT_TRUE(boxSeen);
  EXPECT_FALSE(sheetDuringBox);
  // The logo's plates, coils and ground fill a good part of the canvas.
  EXPECT_GT(inkDuringBox, 0.10) << inkDuringBox;
  EXPECT_FALSE(sheetShown());  // the logo stays after the box
  window_->Trigger("mi_ViewQuick1");
  EXPECT_TRUE(sheetShown());
  G().ModifiedFlag = 0;
  window_->close();
  window_.reset();
  SetMainWindow(nullptr);
  SetDrawings(nullptr);
  SetScreen(nullptr);
  ClearDrawingRegistry();
}

// ---------------------------------------------------------------- the file's name

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// Save As with names holding dots, then the print macro's standard
// printout into a PDF (no printer): the file written, the title, the
// PDF's title and the path in the printout's head are one name.
TEST_F(QtWindowTest, SaveAsNamesTheFileOnDiskEverywhere) {
  if (Capture("command -v pdftotext").empty() || Capture("command -v pdfinfo").empty())
    GTEST_SKIP() << "pdftotext or pdfinfo is not installed";
  const fs::path data = root_ / "work" / "data";
  fs::create_directories(data);
  const fs::path source = test::SourceDir() / "examples" / "round_dynamic.zeb";
  ui_->ExpectOpenFile(source.string());
  window_->Trigger("mi_fileOpen");
  ASSERT_EQ(G().AbortFlag, 0);

  auto qtUi = std::make_shared<QtUi>();
  auto port = MakeQtTextPrinterPort(qtUi);
  if (port->HasPrinter()) GTEST_SKIP() << "a default printer is installed";
  G().TempFolder = (root_ / "tmp").string();
  // Typed name -> the file on disk, by hand: the spring-file extension is
  // added unless the name ends in it (any case), and then it is ".zeb".
  const std::pair<const char*, const char*> names[] = {{"ventil_3.6", "ventil_3.6.zeb"}, {"a.b.c", "a.b.c.zeb"},
                                                       {"x.zeb", "x.zeb"},             {"X.ZEB", "X.zeb"},
                                                       {"ende.", "ende..zeb"},         {"plain", "plain.zeb"}};
  for (const auto& [typed, onDisk] : names) {
    SCOPED_TRACE(typed);
    const std::set<std::string> before = FilesIn(data);
    SetUi(ui_);
    ui_->ExpectSaveFile((data / typed).string());
    window_->Trigger("mi_FileSaveAs");
    ASSERT_EQ(G().AbortFlag, 0);
    std::set<std::string> added = FilesIn(data);
    for (const std::string& b : before) added.erase(b);
    ASSERT_EQ(added, std::set<std::string>{onDisk});
    EXPECT_EQ(test::ReadBytes(data / onDisk).substr(0, 40), test::ReadBytes(source).substr(0, 40));
    EXPECT_EQ(window_->windowTitle().toStdString(), std::string("ZEB1   Druckfederberechnung  -  ") + onDisk);

    qtUi->SetPrintRangeAnswer(QtUi::PageRange{1, 1});
    SetUi(qtUi);
    SetPrinterPort(port);
    G().PrintoutSectionMask = 1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (auto* f = qobject_cast<TForm_printmac*>(w)) f->Button_ok->click();
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->accept();
    });
    timer.start(10);
    window_->Trigger("mi_filePrintMacro");
    timer.stop();
    const fs::path pdf = root_ / "tmp" / "zeb1.pdf";
    ASSERT_TRUE(fs::exists(pdf));
    const std::string info = Capture("pdfinfo " + test::ShellQuote(pdf.string()));
    const std::size_t title = info.find("Title:");
    ASSERT_NE(title, std::string::npos) << info;
    const std::size_t value = info.find_first_not_of(' ', title + 6);
    EXPECT_EQ(info.substr(value, info.find('\n', value) - value), onDisk) << info;
    const std::string text = Capture("pdftotext -layout " + test::ShellQuote(pdf.string()) + " -");
    // The head's file line: the path, or the name alone where the path is
    // long.
    const std::string path = (data / onDisk).string();
    bool named = false;
    std::size_t from = 0;
    for (std::size_t end; !named && (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
      const std::string line = text.substr(from, end - from);
      const std::size_t a = line.find_first_not_of("* "), b = line.find_last_not_of("* ");
      named = a != std::string::npos && (line.substr(a, b + 1 - a) == path || line.substr(a, b + 1 - a) == onDisk);
    }
    EXPECT_TRUE(named) << text.substr(0, 400);
    fs::remove(pdf);
  }
  SetUi(ui_);
}

// "/G": the window starts with the name, the file unread. Ctrl+S asks
// before it replaces the file, Nein the default button: Enter keeps the
// file's bytes.
TEST_F(QtWindowTest, ReplacingAFileNeverReadIsRefusedOnEnter) {
  const fs::path spring = root_ / "work" / "spring.zeb";
  fs::copy_file(test::SourceDir() / "examples" / "round_static.zeb", spring);
  const std::string original = test::ReadBytes(spring);
  auto qtUi = std::make_shared<QtUi>();
  SetUi(qtUi);
  test::CloseMainWindow(window_);
  std::optional<int> ended;
  window_ = StartMainWindow({"wzeb1", "spring.zeb", "/G"}, ended);
  ASSERT_FALSE(ended.has_value());
  ASSERT_NE(window_, nullptr);
  QString defaultButton, question;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !question.isEmpty()) return;
    question = box->text();
    if (box->defaultButton() != nullptr) defaultButton = box->defaultButton()->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  timer.start(10);
  window_->Trigger("mi_FileSave");
  timer.stop();
  EXPECT_TRUE(question.contains("spring.zeb existiert bereits.")) << question.toStdString();
  EXPECT_EQ(defaultButton, "&Nein");
  EXPECT_EQ(test::ReadBytes(spring), original) << "replaced on Enter";
  SetUi(ui_);
}

}  // namespace
}  // namespace zeb
