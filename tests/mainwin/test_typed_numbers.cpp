// Typed numbers that are refused: on every numeric row of the three online
// screens and every numeric field of the spring's dialogs, a text that is
// not a number ("abc", "1,2,3", an empty entry) gives "Ungültige Eingabe"
// and the row or field keeps its value; values outside a field's range give
// "Gültiger Wertebereich". The truth for "keeps its value" is the same
// screen or dialog left without the bad entry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/typed_number.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/online.h"
#include "mainwin/qt/input_dialogs.h"
#include "mainwin/qt/online_form.h"
#include "mainwin/screens.h"
#include "qt_test_support.h"
#include "spring/ref_spring.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "drawings/production.h"

namespace zeb {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

using Key = OnlineKey;

const char* const kNotNumbers[] = {"abc", "1,2,3", ""};

std::string Refused(const std::string& text) { return "Ung\u00fcltige Eingabe \"" + text + "\" !"; }

// Everything the screens and dialogs write, as one text.
std::string Snapshot() {
  const SpringDataRecord& s = SpringData();
  std::string out = FormatSpringFile(CurrentSpringFileRecords());
  for (Real v : {s.f, s.T, s.nue, s.ExternalMass, TransverseLoad().FQ, s.Line3DResolution, s.PreTauRatio, s.PreW,
                 s.EndCoils[1], s.EndCoils[2], s.EndCoilsInput, s.T1, s.T2, ProductionData().Ls, s.TolDe,
                 s.TolDeMinus, s.TolL0, s.TolL0Minus, s.TolF1, s.TolF1Minus, s.TolF2, s.TolF2Minus, s.e1, s.e2,
                 s.G, s.d, s.Dm, s.De, s.Di, s.L0, s.L1, s.L2, s.n, s.F1, s.F2, s.sh, s.R, s.P})
    out += "|" + std::to_string(static_cast<double>(v));
  return out;
}

// ---------------------------------------------------------------- online screens

enum Screen { kRecalc, kDesign, kPreDesign };

class TypedRowsTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    tables_ = test::InstallRefMaterialTable();
    ResetOnlineState();
    test::MakeRefSpring();
  }
  void TearDown() override {
    SetOnlineForm(nullptr);
    SetTables(nullptr);
    G().UnitSystem = 0;
    SpringTest::TearDown();
  }
  // Runs a screen on the REF spring: steps typed, then Esc; the refusal
  // box expected when given. The runs shown.
  std::vector<ScriptedOnlineForm::Shown> Run(Screen screen, const std::vector<std::pair<int, std::string>>& typed,
                                             const std::string& box = "") {
    test::MakeRefSpring();
    SpringData().CrossSection = crossSection_;
    ResetOnlineState();
    auto form = std::make_shared<ScriptedOnlineForm>();
    for (const auto& [row, text] : typed) form->TypeAt(row, text, Key::Enter);
    form->Press(Key::Esc);
    SetOnlineForm(form);
    if (screen == kPreDesign) ui().ExpectYesNo("Werkstoff", true);
    if (!box.empty()) ui().ExpectMessageBox("Fehler", box);
    if (screen == kRecalc) InputRecalculation();
    else if (screen == kDesign) InputDimensioning();
    else InputPreDimensioning();
    return form->shown;
  }
  static std::string Edits(const ScriptedOnlineForm::Shown& shown) {
    std::string out;
    for (int i = 1; i <= shown.state.RowCount; ++i) out += shown.state.EditText[static_cast<std::size_t>(i)] + "|";
    return out;
  }
  std::shared_ptr<test::RefMaterialTables> tables_;
  Code crossSection_ = 1;
};

TEST_F(TypedRowsTest, EveryRowRefusesTextsThatAreNotNumbersAndKeepsItsValue) {
  // The rows by their label (ed_<row> on the Qt form): 8 rows of the
  // recalculation and dimensioning screens of round wire, 9 with the "h"
  // row of rectangular wire, 9 of the pre-dimensioning screen.
  struct Layout {
    Screen screen;
    Code crossSection;
    int rows;
  };
  for (const Layout& layout : {Layout{kRecalc, 1, 8}, Layout{kDesign, 1, 8}, Layout{kRecalc, 4, 9},
                               Layout{kDesign, 4, 9}, Layout{kPreDesign, 1, 9}}) {
    const int screen = layout.screen;
    crossSection_ = layout.crossSection;
    const int rows[] = {layout.rows, layout.rows, layout.rows};
    // Left without typing: the values every refused entry must leave.
    const auto plain = Run(static_cast<Screen>(screen), {});
    ASSERT_EQ(plain.size(), 1u);
    const std::string kept = Snapshot();
    for (int row = 1; row <= rows[screen]; ++row) {
      for (const char* text : kNotNumbers) {
        SCOPED_TRACE("screen " + std::to_string(screen) + " cross-section " + std::to_string(crossSection_) + " ed_" +
                     std::to_string(row) + " \"" + text + "\"");
        const auto shown = Run(static_cast<Screen>(screen), {{row, text}}, Refused(text));
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(Edits(shown[1]), Edits(plain[0])) << plain[0].state.LabelText[static_cast<std::size_t>(row)];
        EXPECT_EQ(Snapshot(), kept);
        EXPECT_EQ(ui().Unused(), "");
      }
    }
  }
}

TEST_F(TypedRowsTest, RangesOfTheRows) {
  // Recalculation rows: 1 d, 2 Dm, 3 L0, 4 n, 5 L1, 6 L2, 7 T, 8 P.
  struct Case {
    int row;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {4, "-3", "G\u00fcltiger Wertebereich: 0 .. 1000000 !"},
      {7, "-300", "G\u00fcltiger Wertebereich: -273.15 .. 10000 !"},
      {7, "-273.2", "G\u00fcltiger Wertebereich: -273.15 .. 10000 !"},
      {3, "1e308", "G\u00fcltiger Wertebereich: 0 .. 1000000 !"},
      {3, "-60", "G\u00fcltiger Wertebereich: 0 .. 1000000 !"},
      {1, "x", "Ung\u00fcltige Eingabe \"x\" !"},
  };
  const auto plain = Run(kRecalc, {});
  const std::string kept = Snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto shown = Run(kRecalc, {{c.row, c.text}}, c.message);
    EXPECT_EQ(Edits(shown.at(1)), Edits(plain.at(0)));
    EXPECT_EQ(Snapshot(), kept);
  }
  // A long text is echoed cut to 60 characters, after the row's label.
  Run(kRecalc, {{3, std::string(300, 'x')}}, "L0: Ung\u00fcltige Eingabe \"" + std::string(57, 'x') + "...\" !");
  EXPECT_EQ(ui().shown().back().text.size(), std::string("L0: Ung\u00fcltige Eingabe \"\" !").size() + 60);
  // Absolute zero itself, a number in exponent notation and a typed 0 in
  // the wire row are taken without a word (0 starts the estimate of d).
  Run(kRecalc, {{7, "-273.15"}});
  EXPECT_EQ(SpringData().T, -273.15L);
  Run(kRecalc, {{3, "7.5e1"}});
  EXPECT_EQ(SpringData().L0, 75.0L);
  Run(kRecalc, {{1, "0"}});
  EXPECT_NE(SpringData().d, 2.0L);
  EXPECT_GT(SpringData().d, 0.01L);
  // The shortcuts of the wire row are not numbers and are not refused.
  Run(kRecalc, {{1, "+"}});
  EXPECT_GT(SpringData().d, 2.0L);
  // Dimensioning: a negative stroke; pre-dimensioning: a negative modulus.
  Run(kDesign, {{3, "-5"}}, "G\u00fcltiger Wertebereich: 0 .. 1000000 !");
  Run(kPreDesign, {{1, "-81500"}}, "G\u00fcltiger Wertebereich: 0 .. 10000000 !");
  EXPECT_EQ(SpringData().G, 81500.0L);
  // In inches the bounds are shown in inches.
  G().UnitSystem = 1;
  Run(kRecalc, {{7, "-500"}}, "G\u00fcltiger Wertebereich: -459.67 .. 18032 !");
}

// The real form: "x" typed into the wire row (ed_1) and Enter; the box,
// then the row shows d again.
TEST_F(TypedRowsTest, TheQtFormShowsTheRowsValueAfterTheRefusal) {
  test::MakeRefSpring();
  ResetOnlineState();
  SetOnlineForm(std::make_shared<QtOnlineForm>(nullptr));
  ui().ExpectMessageBox("Fehler", Refused("x"));
  int step = 0;
  QString shownAfter;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* form = qobject_cast<TForm_online*>(QApplication::activeModalWidget());
    if (form == nullptr) return;
    auto* e = form->findChild<QLineEdit*>("ed_1");
    if (e == nullptr) return;
    if (step == 0) {
      e->setFocus();
      e->setText("x");
      QTest::keyClick(e, Qt::Key_Return);
      step = 1;
    } else if (step == 1 && ui().Unused().empty() && e->text() != "x") {
      shownAfter = e->text();
      QTest::keyClick(e, Qt::Key_Escape);
      step = 2;
    }
  });
  timer.start(10);
  InputRecalculation();
  EXPECT_EQ(step, 2);
  EXPECT_EQ(shownAfter, "2");
  EXPECT_EQ(SpringData().d, 2.0L);
  EXPECT_NEAR(static_cast<double>(SpringData().n), 8.5, 1e-9);
}

// ---------------------------------------------------------------- dialogs

using test::ModalDriver;

QLineEdit* Edit(QWidget& w, const std::string& name) {
  auto* e = w.findChild<QLineEdit*>(QString::fromStdString(name));
  if (e == nullptr) ADD_FAILURE() << "no " << name;
  return e;
}
void Click(QWidget& w, const char* name) {
  auto* b = w.findChild<QAbstractButton*>(QString::fromLatin1(name));
  if (b == nullptr) return ADD_FAILURE() << "no " << name, void();
  b->click();
}

struct DialogCase {
  const char* form;
  std::function<bool(FormCommandDialogs&)> open;
  std::vector<const char*> setup;  // buttons clicked first
  std::vector<const char*> fields;
};

class TypedFieldsTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    dialogs_ = std::make_unique<FormCommandDialogs>(QtFormRunners(nullptr));
  }
  void TearDown() override {
    UninstallQtInputDialogs();
    G().UnitSystem = 0;
    SpringTest::TearDown();
  }
  void Fresh() {
    test::MakeRefSpring();
    SpringData().Lc = 19.5L, SpringData().Ln = 21.5L;
    ProductionData().Preset = 1;  // "gesetzt": the set-length field is open
  }
  // Opens the dialog, clicks the setup buttons, types text into field
  // (when given) and presses OK; on a refusal OK is pressed once more. The
  // texts the field showed before typing and after the refusal.
  std::pair<QString, QString> Use(const DialogCase& c, const char* field, const char* text, bool refused) {
    Fresh();
    std::pair<QString, QString> texts;
    ModalDriver d(c.form, [&](QWidget& w) {
      for (const char* b : c.setup) Click(w, b);
      if (field != nullptr) {
        QLineEdit* e = Edit(w, field);
        if (e == nullptr) return Click(w, "Button_cancel");
        EXPECT_TRUE(e->isEnabled()) << field;
        texts.first = e->text();
        e->setText(QString::fromUtf8(text));
        emit e->textEdited(e->text());
        Click(w, "Button_ok");
        texts.second = e->text();
        EXPECT_EQ(w.isVisible(), refused) << field;
        if (refused) {
          EXPECT_TRUE(e->hasFocus() || !QApplication::focusWidget()) << field;
          Click(w, "Button_ok");
        }
      } else {
        Click(w, "Button_ok");
      }
    });
    EXPECT_TRUE(c.open(*dialogs_));
    return texts;
  }
  std::unique_ptr<FormCommandDialogs> dialogs_;
};

std::vector<DialogCase> Cases() {
  return {
      {"TForm_Zebgeometrie", [](FormCommandDialogs& d) { return d.Dimensions(); }, {},
       {"Edit_d", "Edit_de2", "Edit_l0", "Edit_n", "Edit_l1", "Edit_l22"}},
      {"TForm_Zebgeometrie", [](FormCommandDialogs& d) { return d.Dimensions(); }, {"RadioGroup_mode_1"},
       {"Edit_f1", "Edit_f2", "Edit_sh", "Edit_l2", "Edit_de"}},
      {"TForm_Zebgeometrie", [](FormCommandDialogs& d) { return d.Dimensions(); }, {"RadioGroup_mode_0"},
       {"Edit_f13", "Edit_f23", "Edit_sh3"}},
      {"TForm_toleranz", [](FormCommandDialogs& d) { return d.Tolerance(); },
       {"rb15", "rb25", "rb35", "rb35a", "rb45", "rb45a"},
       {"Edit11", "Edit12", "Edit21", "Edit22", "Edit31", "Edit32", "Edit33", "Edit34", "Edit41", "Edit42"}},
      {"TEingabeEinsatzfall", [](FormCommandDialogs& d) { return d.Application(); }, {},
       {"Edit_freq", "Edit_temperatur", "Edit_nue", "Edit_fq", "Edit_masse"}},
      {"TForm_zeb1conf", [](FormCommandDialogs& d) { return d.CalculationMethod(); }, {},
       {"Edit8", "Edit_sichd", "Edit_wv"}},
      {"TForm_herstellung", [](FormCommandDialogs& d) { return d.Production(); }, {"RadioGroup_federenden_3"},
       {"Edit_nend1", "Edit_nend2", "Edit_x"}},
      {"TForm_zebFert", [](FormCommandDialogs& d) { return d.ProductionDrawingData(); }, {},
       {"Edit_setzlaenge", "Edit_vontemp", "Edit_bistemp"}},
  };
}

TEST_F(TypedFieldsTest, EveryNumericFieldRefusesTextsThatAreNotNumbersAndKeepsItsValue) {
  for (const DialogCase& c : Cases()) {
    // OK without typing: the values every refused entry must leave.
    Use(c, nullptr, nullptr, false);
    const std::string kept = Snapshot();
    for (const char* field : c.fields) {
      for (const char* text : kNotNumbers) {
        SCOPED_TRACE(std::string(c.form) + " " + field + " \"" + text + "\"");
        ui().ExpectMessageBox("Fehler", Refused(text));
        const auto [before, after] = Use(c, field, text, true);
        EXPECT_EQ(after, before);
        EXPECT_EQ(Snapshot(), kept);
        EXPECT_EQ(ui().Unused(), "");
      }
    }
  }
}

TEST_F(TypedFieldsTest, RangesOfTheFields) {
  const std::vector<DialogCase> cases = Cases();
  const DialogCase& recalc = cases[0];
  const DialogCase& application = cases[4];
  Use(recalc, nullptr, nullptr, false);
  const std::string kept = Snapshot();
  ui().ExpectMessageBox("Fehler", "G\u00fcltiger Wertebereich: 0 .. 1000000 !");
  Use(recalc, "Edit_n", "-3", true);
  ui().ExpectMessageBox("Fehler", "G\u00fcltiger Wertebereich: 0 .. 1000000 !");
  Use(recalc, "Edit_l0", "1e308", true);
  EXPECT_EQ(Snapshot(), kept);
  ui().ExpectMessageBox("Fehler", "G\u00fcltiger Wertebereich: -273.15 .. 10000 !");
  Use(application, "Edit_temperatur", "-300", true);
  EXPECT_EQ(SpringData().T, 20.0L);
  // Exponent notation is a number.
  Use(recalc, "Edit_l0", "7.5E1", false);
  EXPECT_EQ(SpringData().L0, 75.0L);
  Use(application, "Edit_temperatur", "-2.5e2", false);
  EXPECT_EQ(SpringData().T, -250.0L);
}

TEST_F(TypedFieldsTest, TheUnitButtonsRefuseFirst) {
  Fresh();
  ui().ExpectMessageBox("Fehler", Refused("abc"));
  ModalDriver d("TEingabeEinsatzfall", [](QWidget& w) {
    Edit(w, "Edit_masse")->setText("abc");
    Click(w, "Button_metric");
    EXPECT_EQ(G().UnitSystem, 0);  // not switched
    EXPECT_EQ(Edit(w, "Edit_masse")->text(), "0.05");
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->Application());
  EXPECT_EQ(SpringData().ExternalMass, 0.05L);
}

}  // namespace
}  // namespace zeb
