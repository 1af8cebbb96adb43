// The axis-limits dialog, the help-picture picker and the animation step
// window, driven by object name.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "base/globals.h"
#include "base_qt/support_qt.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "graphics/facade.h"
#include "graphics/helpcat.h"
#include "graphics/qt/forms.h"

namespace zeb::qttest {
namespace {

class LimitsForm : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    ResetDiagramGlobals();
  }
  // Runs the dialog for the request while act works on it.
  void Run(const DiagramLimitsRequest& r, std::function<void(QWidget*)> act) {
    WhenShown("TEinDiagramLimits", std::move(act));
    QtDiagramLimitsDialog().Run(r);
  }
  static void Set(QWidget* d, const char* name, const char* text) { Child<QLineEdit>(d, name)->setText(text); }
  static QString Text(QWidget* d, const char* name) { return Child<QLineEdit>(d, name)->text(); }
  static void Click(QWidget* d, const char* name) { Child<QPushButton>(d, name)->click(); }
};

TEST_F(LimitsForm, ShowsTheLimitsAndChecksLogAxes) {
  DiagramLimitsRequest r;
  r.computed = {0, 1, 3, 2};
  r.axisMode = 4;  // logarithmic x
  r.xTitle = "Weg";
  r.yTitle = "Kraft";
  r.caption = "Titel \xfc";
  G().AbortFlag = 0;
  Run(r, [](QWidget* d) {
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Titel ü"));
    EXPECT_EQ(Child<QLabel>(d, "Label_x")->text(), "Weg");
    EXPECT_EQ(Child<QLabel>(d, "Label_y")->text(), "Kraft");
    EXPECT_FALSE(Child<QGroupBox>(d, "GroupBox1")->isEnabled());
    EXPECT_EQ(Text(d, "Edit_xmin"), "0");
    EXPECT_EQ(Text(d, "Edit_xmax"), "1");
    EXPECT_EQ(Child<QPushButton>(d, "Button_cancel")->text(), "Abbrechen");
    Click(d, "Button_calc");
    EXPECT_EQ(Text(d, "Edit_xmin"), "1");
    EXPECT_EQ(Text(d, "Edit_xmax"), "1000");
    EXPECT_EQ(Text(d, "Edit_ymin"), "1");
    Set(d, "Edit_xmin", "0");
    AnswerBox("Error: x = 0 !", QMessageBox::Ok);
    Click(d, "Button_ok");
    // Still open: the second OK is taken.
    QTimer::singleShot(300, [d] {
      EXPECT_TRUE(d->isVisible());
      Set(d, "Edit_xmin", "0,5");
      Set(d, "Edit_xmax", "100");
      Click(d, "Button_ok");
    });
  });
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(DiagramLimits().xmin, 0.5L);
  EXPECT_EQ(DiagramLimits().xmax, 100);
}

TEST_F(LimitsForm, LinearAxesTakeAnyTextAndTheWaysOut) {
  DiagramLimitsRequest r;
  r.computed = {0, 0, 10, 5};
  Run(r, [](QWidget* d) {
    Set(d, "Edit_ymax", "abc");
    Set(d, "Edit_xmax", "7");
    Click(d, "Button_ok");
  });
  EXPECT_EQ(DiagramLimits().ymax, 0);
  EXPECT_EQ(DiagramLimits().xmax, 7);
  // The close box: no abort, limits kept.
  G().AbortFlag = 0;
  Run(r, [](QWidget* d) {
    Set(d, "Edit_xmax", "99");
    d->close();
  });
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(DiagramLimits().xmax, 7);
  // Cancel and Esc set the abort flag.
  Run(r, [](QWidget* d) { Click(d, "Button_cancel"); });
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  Run(r, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_EQ(G().AbortFlag, 1);
  // Help clears the flag and leaves the form open.
  G().AbortFlag = 1;
  Run(r, [](QWidget* d) {
    WhenShown("", [](QWidget* box) { box->close(); });
    Click(d, "Button_help");
    QTimer::singleShot(300, [d] {
      EXPECT_TRUE(d->isVisible());
      EXPECT_EQ(G().AbortFlag, 0);
      d->close();
    });
  });
}

TEST_F(LimitsForm, ADxfDiagramAsksAndDrawsTheAcceptedLimits) {
  ResetCadState();
  CadSettings().EnterDiagramLimits = 1;
  CadSettings().CommandLineExport = 1;
  G().CurrentFileName = scratch + "/limits";
  SetDiagramLimitsDialog(std::make_shared<QtDiagramLimitsDialog>());
  WhenShown("TEinDiagramLimits", [](QWidget* d) {
    Set(d, "Edit_xmin", "0");
    Set(d, "Edit_ymin", "0");
    Set(d, "Edit_xmax", "100");
    Set(d, "Edit_ymax", "50");
    Click(d, "Button_ok");
  });
  CadBeginOutput(1);
  CadDrawingHeader(0, 0, 160, 120);
  CadBeginEntities();
  DiagramFrame("Weg", "Kraft", "T", 0, 0, 10, 5, 0);
  CadEndSection();
  CadEndOutput();
  SetDiagramLimitsDialog(nullptr);
  EXPECT_EQ(DiagramState().XMax, 100);
  EXPECT_EQ(DiagramState().YMax, 50);
}

class PickerForm : public QtTest {
 protected:
  // Shows the picker and presses what act presses; returns the state.
  HelpPictureFormState Run(int current, std::function<void(QWidget*)> act) {
    HelpPictureFormState st;
    st.itemCount = 3;
    WhenShown("TForm_hilfebild", std::move(act));
    QtHelpPictureDialog().Run("ZEB1 Hilfebilder", {"a       : A", "b       : B", "c       : C"}, current, st);
    return st;
  }
};

TEST_F(PickerForm, ListSpinButtonsAndEveryButton) {
  G().AbortFlag = 1;
  auto st = Run(2, [](QWidget* d) {
    auto* list = Child<QComboBox>(d, "ListBox1");
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(d->windowTitle(), "ZEB1 Hilfebilder");
    list->setCurrentIndex(2);
  });
  EXPECT_EQ(st.selection, 2);
  EXPECT_EQ(st.action, 0);
  EXPECT_EQ(G().AbortFlag, 0);
  st = Run(2, [](QWidget* d) { Child<QToolButton>(d, "SpinButton1_up")->click(); });
  EXPECT_EQ(st.selection, 0);
  st = Run(1, [](QWidget* d) { Child<QToolButton>(d, "SpinButton1_up")->click(); });
  EXPECT_EQ(st.selection, 0);  // not above the first
  st = Run(3, [](QWidget* d) { Child<QToolButton>(d, "SpinButton1_down")->click(); });
  EXPECT_EQ(st.selection, 2);  // not below the last
  const std::pair<const char*, int> buttons[] = {
      {"Button_neu", 1}, {"Button_einfuegen", 2}, {"Button_loeschen", 3}, {"Button_aendern", 9}};
  for (auto [name, action] : buttons) {
    st = Run(1, [name](QWidget* d) { Child<QPushButton>(d, name)->click(); });
    EXPECT_EQ(st.action, action) << name;
  }
  G().AbortFlag = 0;
  st = Run(1, [](QWidget* d) { Child<QPushButton>(d, "Button_ok")->click(); });
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(st.action, 0);
  G().AbortFlag = 0;
  Run(1, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(PickerForm, KeepsItsPosition) {
  G().SavedDialogLeft = 1;
  G().SavedDialogTop = 1;
  Run(1, [](QWidget* d) {
    d->move(123, 77);
    Child<QPushButton>(d, "Button_ok")->click();
  });
  const int left = G().SavedDialogLeft, top = G().SavedDialogTop;
  EXPECT_NE(std::make_pair(left, top), std::make_pair(1, 1));
  Run(1, [=](QWidget* d) {
    EXPECT_EQ(d->x(), left);
    EXPECT_EQ(d->y(), top);
    Child<QPushButton>(d, "Button_ok")->click();
  });
}

TEST_F(PickerForm, TheCatalogueLoopRunsThroughTheForm) {
  std::ofstream(scratch + "/zeb1.dbh") << "\"a\",\"Eins\"\r\n\"b\",\"Zwei\"\r\n";
  std::ofstream(scratch + "/a.plt") << "SP1;PU0,0;PD40,0;";
  std::ofstream(scratch + "/b.plt") << "SP1;PU0,0;PD80,0;";
  InstallGraphicsFacade();
  SetHelpPictureDialog(std::make_shared<QtHelpPictureDialog>());
  WhenShown("TForm_hilfebild", [](QWidget* d) {
    Child<QComboBox>(d, "ListBox1")->setCurrentIndex(1);
    WhenShown("TForm_hilfebild", [](QWidget* d2) {
      EXPECT_EQ(Child<QComboBox>(d2, "ListBox1")->currentIndex(), 1);
      Child<QPushButton>(d2, "Button_ok")->click();
    });
  });
  Graphics().HelpPictureCatalog();
  SetHelpPictureDialog(nullptr);
  EXPECT_EQ(Facade().Window().DisplayList().back(), "4;0;0;2;0");
}

TEST(AniStep, PlusClosesAndDoublePlusEnds) {
  TForm_anistep a;
  EXPECT_EQ(a.objectName(), "TForm_anistep");
  EXPECT_EQ(a.windowTitle(), "Animation");
  QTimer::singleShot(0, [&] { a.buttonNextStep->click(); });
  a.exec();
  EXPECT_FALSE(a.endOfSteps);
  EXPECT_TRUE(a.buttonNextStep->isDefault());
  TForm_anistep b;
  QTimer::singleShot(0, [&] { b.findChild<QPushButton*>("Button_endstep")->click(); });
  b.exec();
  EXPECT_TRUE(b.endOfSteps);
}

}  // namespace
}  // namespace zeb::qttest
