// A refused entry names its field: in every dialog with number fields, on
// the rows of the input screens and in the question for one number, a text
// that is no number ("abc") and a number beyond every range ("-1e31") are
// refused with a box that begins with the field's label as the dialog
// shows it.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "desktop/desktop_program.h"
#include "mainwin/online.h"
#include "mainwin/qt/online_form.h"

namespace zeb::desktop {
namespace {

struct Field {
  const char* edit;
  const char* label;  // UTF-8
};

struct RefusingDialog {
  const char* name;
  const char* action;  // of the main window
  const char* form;
  std::function<void(QWidget*)> setup;  // opens the fields
  std::vector<Field> fields;
  bool ranged = true;  // the fields have bounds
};
void PrintTo(const RefusingDialog& d, std::ostream* os) { *os << d.name; }

void ClickAll(QWidget* w, std::initializer_list<const char*> names) {
  for (const char* n : names) Click(Child<QWidget>(w, n));
}

const char* const kTyped[] = {"abc", "-1e31"};

std::string Expected(const char* label, const char* typed) {
  return std::string(label) + ": " +
         (typed == kTyped[0] ? "Ung\u00fcltige Eingabe \"abc\" !" : "G\u00fcltiger Wertebereich: ");
}

class FieldRefusals : public DesktopProgram, public ::testing::WithParamInterface<RefusingDialog> {};

TEST_P(FieldRefusals, NameTheirField) {
  const RefusingDialog& d = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start("round_dynamic.zeb"));
  std::vector<std::pair<std::string, std::string>> boxes;  // expected, shown
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); }, [this, &d] { window_->Action(d.action)->trigger(); });
  s.Then("dialog", [&d] { return ModalUp(d.form) != nullptr; }, [&d] {
    if (d.setup) d.setup(ActiveModal());
  });
  for (const Field& f : d.fields)
    for (const char* typed : kTyped) {
      if (!d.ranged && typed != kTyped[0]) continue;
      s.Then(std::string("type into ") + f.edit, [&d] { return ModalUp(d.form) != nullptr; }, [&f, typed] {
        auto* e = Child<QLineEdit>(ActiveModal(), f.edit);
        // A field on a page of its own: that page shown.
        for (QWidget* p = e; p->parentWidget() != nullptr; p = p->parentWidget())
          if (auto* tabs = qobject_cast<QTabWidget*>(p->parentWidget()->parentWidget())) tabs->setCurrentWidget(p);
        ASSERT_TRUE(e->isEnabled() && e->isVisible()) << f.edit;
        e->setFocus(Qt::OtherFocusReason);
        e->selectAll();
        Type(QString::fromLatin1(typed));
        Click(Child<QWidget>(ActiveModal(), "Button_ok"));
      });
      // The first box is pictured once the window system has shown it.
      if (&f == &d.fields.front() && typed == kTyped[0] && std::getenv("ZEB1_SCREENSHOTS") != nullptr)
        s.Then(
            "box shown",
            [ticks = 0]() mutable { return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr && ++ticks > 30; },
            [] {});
      s.Then(std::string("refusal of ") + f.edit, [] { return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr; },
             [&boxes, &f, &d, typed] {
               auto* box = qobject_cast<QMessageBox*>(ActiveModal());
               if (boxes.empty()) Shot(box, std::string("refused_field_") + d.name);
               boxes.push_back({Expected(f.label, typed), box->text().toStdString()});
               box->accept();
             });
    }
  s.Then("dialog stays", [&d] { return ModalUp(d.form) != nullptr; }, [] { Key(Qt::Key_Escape); });
  // A dialog whose command goes on (a drawing) ends in the main window.
  s.Then("main window", [this] { return MainWindowWaits(); }, [] {});
  ASSERT_TRUE(s.Run());
  ASSERT_EQ(boxes.size(), (d.ranged ? 2 : 1) * d.fields.size());
  for (const auto& [expected, shown] : boxes) EXPECT_EQ(shown.substr(0, expected.size()), expected) << shown;
}

const RefusingDialog kDialogs[] = {
    {"Werkstoff",
     "mi_EditMaterial",
     "Form_zebmat",
     [](QWidget* w) {
       Click(Child<QWidget>(w, "RadioGroup_db_2"));
       auto* list = Child<QComboBox>(w, "ComboBox_toldd");
       list->setCurrentIndex(15);
       emit list->activated(15);
     },
     {{"Edit_emodul", "Elastizit\u00e4tsmodul"},
      {"Edit_gmodul", "Schubmodul"},
      {"Edit_dichte", "Dichte"},
      {"Edit_rm", "Zugfestigkeit"},
      {"Edit_tauz", "zul. Schubspannung"},
      {"Edit_dd", "d"},
      {"Edit_toldd", "Toleranz des Drahtdurchmessers"},
      {"Edit_toludauerfest", "Toleranz Dauerfestigkeit min %"},
      {"Edit_tolodauerfest", "Toleranz Dauerfestigkeit max %"}}},
    {"AbmessungenNachrechnung",
     "mi_EditQuick",
     "TForm_Zebgeometrie",
     [](QWidget* w) { ClickAll(w, {"RadioGroup_mode_2", "RadioGroup_dm_0"}); },
     {{"Edit_d", "Drahtdurchmesser d"},
      {"Edit_de2", "Au\u00dfendurchmesser De"},
      {"Edit_l0", "Federl\u00e4nge L0"},
      {"Edit_n", "Anzahl der federnden Windungen n"},
      {"Edit_l1", "Einbaul\u00e4nge L1"},
      {"Edit_l22", "Einbaul\u00e4nge L2"}}},
    {"AbmessungenAuslegung",
     "mi_EditQuick",
     "TForm_Zebgeometrie",
     [](QWidget* w) { ClickAll(w, {"RadioGroup_mode_1", "RadioGroup_f12_0", "RadioGroup_dm_0"}); },
     {{"Edit_f1", "Federkraft F1"},
      {"Edit_f2", "Federkraft F2"},
      {"Edit_sh", "Hub sh"},
      {"Edit_l2", "Einbaul\u00e4nge L2"},
      {"Edit_de", "Au\u00dfendurchmesser De"}}},
    {"AbmessungenVorauslegung",
     "mi_EditQuick",
     "TForm_Zebgeometrie",
     [](QWidget* w) { ClickAll(w, {"RadioGroup_mode_0"}); },
     {{"Edit_f13", "Federkraft F1"}, {"Edit_f23", "Federkraft F2"}, {"Edit_sh3", "Hub sh"}}},
    {"Toleranz",
     "mi_EditTolerance",
     "TForm_toleranz",
     [](QWidget* w) { ClickAll(w, {"rb15", "rb25", "rb35", "rb35a", "rb45", "rb45a"}); },
     {{"Edit11", "Dm, De, Di Toleranz max."},
      {"Edit12", "Dm, De, Di Toleranz min."},
      {"Edit21", "L0 Toleranz max."},
      {"Edit22", "L0 Toleranz min."},
      {"Edit31", "F1 Toleranz max."},
      {"Edit32", "F1 Toleranz min."},
      {"Edit33", "F2 Toleranz max."},
      {"Edit34", "F2 Toleranz min."},
      {"Edit41", "e1 Toleranz max."},
      {"Edit42", "e2 Toleranz max."}}},
    {"Anwendung",
     "mi_EditApplication",
     "TEingabeEinsatzfall",
     {},
     {{"Edit_freq", "Lastspielfrequenz 1/s"},
      {"Edit_temperatur", "Betriebstemperatur T"},
      {"Edit_nue", "Lagerungsbeiwert nue"},
      {"Edit_fq", "Querkraft FQ"},
      {"Edit_masse", "Federnde Masse (extern) m"}}},
    {"Berechnungsmethode",
     "mi_EditCalculationMethod",
     "TForm_zeb1conf",
     {},
     {{"Edit8", "Aufl\u00f6sung 3D-Line"},
      {"Edit_sichd", "tauz/tau bei Berechnung d min"},
      {"Edit_wv", "Vorauslegung Dm/d"}}},
    {"Herstellung",
     "mi_EditProduction",
     "TForm_herstellung",
     [](QWidget* w) { ClickAll(w, {"RadioGroup_federenden_3"}); },
     {{"Edit_nend1", "Endwindungen 1 (oben)"},
      {"Edit_nend2", "Endwindungen 2 (unten)"},
      {"Edit_x", "Lc = ( nt + x ) * d max"}}},
    {"Fertigungszeichnung",
     "mi_editproductionDrawing",
     "TForm_zebFert",
     [](QWidget* w) {
       if (auto* lc = Child<QAbstractButton>(w, "CheckBox_ls"); lc->isChecked()) Click(lc);
       ClickAll(w, {"RadioGroup_setzen_0"});
     },
     {{"Edit_setzlaenge", "Ls"},
      {"Edit_vontemp", "Arbeitstemperaturbereich von"},
      {"Edit_bistemp", "Arbeitstemperaturbereich bis"}}},
    {"Konfiguration",
     "mi_fileConfig",
     "Tconfig",
     {},
     {{"Edit_x", "Fenstergroesse x"},
      {"Edit_y", "Fenstergroesse y"},
      {"Edit_textbreitenfaktor", "Textbreitenfaktor"},
      {"Edit_texthoehenfaktor", "Texth\u00f6henfaktor"},
      {"Edit_zoomfaktor", "Zoomfaktor"},
      {"Edit_panfaktor", "Pan-Faktor"},
      {"Edit_3dx", "3D Edit x \u00b0"},
      {"Edit_3dy", "3D Edit y \u00b0"},
      {"Edit_3dz", "3D Edit z \u00b0"},
      {"Edit_cadtextbreite", "CAD Textbreitenfaktor"},
      {"Edit_cadtextwinkel", "CAD Textwinkel"},
      {"Edit_printscale", "Ma\u00dfstab x"},
      {"Edit_printscaley", "Ma\u00dfstab y"},
      {"Edit_printxorigin", "Ursprung x"},
      {"Edit_printyorigin", "Ursprung y"},
      {"Edit_left", "Textfenster links"},
      {"Edit_top", "Textfenster oben"},
      {"Edit_width", "Textfenster Breite"},
      {"Edit_height", "Textfenster H\u00f6he"},
      {"Edit_massfaktorconfig", "Gr\u00f6\u00dfenfaktor Bema\u00dfung"}}},
    // Any length is drawn: only a text that is no number is refused.
    {"Einbaulaenge", "mi_viewDrawingL", "TForm_zeb1dxf", {}, {{"Edit_l", "Einbaul\u00e4nge L"}}, false},
};

INSTANTIATE_TEST_SUITE_P(EveryDialog, FieldRefusals, ::testing::ValuesIn(kDialogs),
                         [](const auto& info) { return std::string(info.param.name); });

// The rows of the three input screens: each refusal names the row's label
// as the screen shows it.
TEST_F(DesktopProgram, InputScreenRefusalsNameTheirRow) {
  ASSERT_NO_FATAL_FAILURE(Start("round_dynamic.zeb"));
  std::vector<std::pair<std::string, std::string>> boxes;
  const auto form = [] { return qobject_cast<TForm_online*>(ModalUp("TForm_online")); };
  for (const char* action : {"mi_EditRecalculation", "mi_EditDimensioning", "mi_editauslegungwstgmodul"}) {
    SCOPED_TRACE(action);
    int runs = 0;  // the form's runs when "abc" was typed
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, [this, action] { window_->Action(action)->trigger(); });
    s.Then("screen", [&] { return form() != nullptr || ModalUp("Tin_janeindialog") != nullptr; }, [] {
      if (ModalUp("Tin_janeindialog") != nullptr) Key(Qt::Key_Return);
    });
    for (int row = 1; row <= 9; ++row) {
      s.Then("row " + std::to_string(row), [&] { return form() != nullptr; }, [&, row] {
        auto* e = form()->findChild<QLineEdit*>(QString("ed_%1").arg(row));
        // A row the screen has not: nothing typed, nothing to wait for.
        runs = e == nullptr || !e->isVisible() ? -1 : form()->RunCount();
        if (runs < 0) return;
        const QString label = form()->findChild<QLabel*>(QString("lb_%1").arg(row))->text();
        boxes.push_back({Expected(label.toStdString().c_str(), kTyped[0]), "no box"});
        e->setFocus(Qt::OtherFocusReason);
        e->selectAll();
        Type("abc");
        Key(Qt::Key_Return);
      });
      // The box, or the form again after a row that is not there.
      s.Then("refusal " + std::to_string(row),
             [&] {
               return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr ||
                      (form() != nullptr && form()->RunCount() > runs);
             },
             [&boxes] {
               if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
                 boxes.back().second = box->text().toStdString();
                 box->accept();
               }
             });
    }
    s.Then("close", [&] { return form() != nullptr; }, [] { Key(Qt::Key_Escape); });
    ASSERT_TRUE(s.Run());
  }
  EXPECT_GE(boxes.size(), 25u);
  for (const auto& [expected, shown] : boxes) EXPECT_EQ(shown.substr(0, expected.size()), expected) << shown;
}

// The question for one number (a new material's modulus) names its field
// by the question.
TEST_F(DesktopProgram, NumberQuestionRefusalNamesItsField) {
  ASSERT_NO_FATAL_FAILURE(Start("round_dynamic.zeb"));
  std::string shown;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); }, [this] { window_->Action("mi_dbfmaterial")->trigger(); });
  s.Then("new material ?", [] { return ModalUp("Tin_janeindialog") != nullptr; }, [] {
    for (QRadioButton* b : ActiveModal()->findChildren<QRadioButton*>())
      if (b->text() == "&Ja") Click(b);
    Click(Child<QWidget>(ActiveModal(), "Button_ok"));
  });
  s.Then("name", [] { return ModalUp("Tin_textdialog") != nullptr; },
         [] { Click(Child<QWidget>(ActiveModal(), "Button_ok")); });
  s.Then("modulus", [] { return ModalUp("Tin_textdialog") != nullptr; }, [] {
    auto* e = Child<QLineEdit>(ActiveModal(), "EditEinText");
    e->selectAll();
    Type("abc");
    Click(Child<QWidget>(ActiveModal(), "Button_ok"));
  });
  s.Then("refusal", [] { return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr; }, [&] {
    auto* box = qobject_cast<QMessageBox*>(ActiveModal());
    shown = box->text().toStdString();
    box->accept();
  });
  s.Then("asked again", [] { return ModalUp("Tin_textdialog") != nullptr; }, [] { Key(Qt::Key_Escape); });
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(shown, "Elastizit\u00e4tsmodul E  [N/mm\u00b2]: Ung\u00fcltige Eingabe \"abc\" !");
}

}  // namespace
}  // namespace zeb::desktop
