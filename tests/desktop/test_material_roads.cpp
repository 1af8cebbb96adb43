// Every road of the material form and the table window on a real window
// system, three times each: the table windows close, the form is activated
// again while its command still reads the tables, and the program lives on
// with the chosen material or diameter in the form and no Qt warning.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <cctype>
#include <cstring>
#include <fstream>
#include <tuple>

#include "base/format.h"
#include "graphics/qt/canvas.h"
#include "desktop/desktop_program.h"
#include "mainwin/qt_test_support.h"
#include "spring/spring_data.h"
#include "tables/material_table.h"
#include "xbase/qt/tzgrid.h"

namespace zeb::desktop {
namespace {

constexpr int kRuns = 3;

// The grid of the shown table window and the text of a cell of its current
// row, by field name.
xbase::TTzGrid* Grid() { return ActiveModal() != nullptr ? ActiveModal()->findChild<xbase::TTzGrid*>("TzGrid1") : nullptr; }

QString CurrentCell(const char* field) {
  xbase::TTzGrid* g = Grid();
  if (g == nullptr || g->Model() == nullptr || !g->currentIndex().isValid()) return {};
  for (int c = 0; c < g->Model()->columnCount(); ++c)
    if (g->Model()->headerData(c, Qt::Horizontal).toString() == QLatin1String(field))
      return g->Model()->index(g->currentIndex().row(), c).data().toString().trimmed();
  return {};
}

QString FormText(const char* edit) {
  QWidget* form = ActiveModal();
  auto* e = form != nullptr ? form->findChild<QLineEdit*>(edit) : nullptr;
  return e != nullptr ? e->text() : QString();
}

// The record count in a DBF file's header (bytes 4..7, little-endian).
std::uint32_t DbfRecordCount(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  unsigned char h[8] = {};
  in.read(reinterpret_cast<char*>(h), 8);
  return h[4] | (h[5] << 8) | (h[6] << 16) | (static_cast<std::uint32_t>(h[7]) << 24);
}

// The form is up with its material list filled.
bool FormUp() {
  QWidget* f = ModalUp("Form_zebmat");
  return f != nullptr && f->findChild<QComboBox*>("ComboBox_db")->count() > 0;
}

class MaterialRoads : public DesktopProgram {
 protected:
  // Bearbeiten > Werkstoff from the waiting main window.
  void OpenForm(UserScript& s) {
    s.Then("main window", [this] { return MainWindowWaits(); },
           [this] { window_->Action("mi_EditMaterial")->trigger(); });
  }
  static void ClickInForm(const char* name) { Click(Child<QWidget>(ActiveModal(), name)); }
  // Escape ends the form (Cancel); the command returns.
  void CloseForm(UserScript& s) {
    s.Then("form closed", [] { return FormUp(); }, [] { Key(Qt::Key_Escape); });
    s.Then("back in the main window", [this] { return MainWindowWaits(); }, [] {});
  }
};

// "Datenbank", two rows down, Enter: the form shows that material (the
// keyboard starts in the rows).
TEST_F(MaterialRoads, DatabaseButtonOkTakesTheRow) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("table_material.zeb");
    QString chosen, before;
    UserScript s;
    OpenForm(s);
    s.Then("form", FormUp, [&] {
      before = FormText("Edit_name");
      ClickInForm("Button_zebwst");
    });
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr; }, [&] {
      EXPECT_EQ(QApplication::focusWidget(), Grid());
      Key(Qt::Key_Down);
      Key(Qt::Key_Down);
      chosen = CurrentCell("NAME1");
      Key(Qt::Key_Return);
    });
    s.Then("form again", FormUp, [&] {
      EXPECT_FALSE(chosen.isEmpty());
      EXPECT_NE(chosen.toStdString(), before.toStdString());
      EXPECT_EQ(FormText("Edit_name"), chosen);
      auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
      EXPECT_TRUE(combo->currentText().contains(chosen)) << combo->currentText().toStdString();
    });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// "Datenbank", Escape: the material stays.
TEST_F(MaterialRoads, DatabaseButtonEscapeKeepsTheMaterial) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("table_material.zeb");
    QString before;
    UserScript s;
    OpenForm(s);
    s.Then("form", FormUp, [&] {
      before = FormText("Edit_name");
      ClickInForm("Button_zebwst");
    });
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr; }, [] {
      Key(Qt::Key_Down);
      Key(Qt::Key_Escape);
    });
    s.Then("form again", FormUp, [&] {
      EXPECT_FALSE(before.isEmpty());
      EXPECT_EQ(FormText("Edit_name"), before);
    });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// Opens the material list; the next step picks item n in it.
void OpenList() {
  auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
  combo->setFocus(Qt::OtherFocusReason);
  Key(Qt::Key_F4);
}

bool ListOpen() { return QApplication::activePopupWidget() != nullptr && ProgramWaitsForInput(); }

void PickItem(int n) {
  auto* combo = ActiveModal() != nullptr ? ActiveModal()->findChild<QComboBox*>("ComboBox_db") : nullptr;
  ASSERT_NE(combo, nullptr);
  ASSERT_GT(combo->count(), n);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  QWidget* list = popup->focusWidget() != nullptr ? popup->focusWidget() : popup;
  QTest::keyClick(list, Qt::Key_Home);
  for (int i = 0; i < n; ++i) QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Return);
}

// A spring with its own material: "Datenbank (Vorzug)" fills the list, a
// material chosen from it shows its values.
void ChooseThirdItem(UserScript& s) {
  s.Then("list filled", [] { return ModalUp("Form_zebmat") != nullptr && FormUp(); }, [] { OpenList(); });
  s.Then("list open", ListOpen, [] { PickItem(2); });
}

void ExpectThirdItemShown() {
  auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
  const QString item = combo->itemText(2);
  const QString name = FormText("Edit_name");
  EXPECT_FALSE(name.isEmpty());
  EXPECT_TRUE(item.section(": ", 1).startsWith(name)) << item.toStdString() << " / " << name.toStdString();
  EXPECT_EQ(static_cast<int>(MaterialSource()), item.left(9).trimmed().toInt());
}

TEST_F(MaterialRoads, PreferredSourceFillsTheListAndTakesAChoice) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("round_dynamic.zeb");
    UserScript s;
    OpenForm(s);
    s.Then("form", [] { return ModalUp("Form_zebmat") != nullptr; }, [] { ClickInForm("RadioGroup_db_0"); });
    ChooseThirdItem(s);
    s.Then("material shown", FormUp, [] { ExpectThirdItemShown(); });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// A spring with its own material: a table source with no material chosen
// refuses OK with a box (the form stays), and the own material survives;
// a material chosen and shown is taken with its strength.
TEST_F(MaterialRoads, TableSourceWithoutAChoiceKeepsTheOwnMaterial) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("round_dynamic.zeb");
    QString box;
    UserScript s;
    OpenForm(s);
    for (const char* source : {"RadioGroup_db_0", "RadioGroup_db_1"}) {
      s.Then("form", FormUp, [source] { ClickInForm(source); });
      s.Then("source switched", FormUp, [] { ClickInForm("Button_ok"); });
      s.Then("refusal", [] { return qobject_cast<QMessageBox*>(ModalUp(nullptr)) != nullptr; }, [&] {
        box = qobject_cast<QMessageBox*>(ActiveModal())->text();
        Key(Qt::Key_Return);
      });
      s.Then("form stays", FormUp, [&] {
        EXPECT_TRUE(box.contains(QString::fromUtf8("Werkstoff aus der Liste wählen"))) << box.toStdString();
        EXPECT_EQ(SpringData().MaterialSel, 11);
      });
    }
    // The list's third material, OK: taken with the values shown.
    QString shownRm;
    ChooseThirdItem(s);
    s.Then("material shown", FormUp, [&] {
      ExpectThirdItemShown();
      shownRm = FormText("Edit_rm");
      ClickInForm("Button_ok");
    });
    // "Auslegung" or "Nachrechnung", asked with its question: neither.
    s.Then("design or recalculation", [] { return ModalUp("Tin_radiodialog") != nullptr; }, [] {
      auto* question = Child<QLabel>(ActiveModal(), "Label1");
      ASSERT_NE(question, nullptr);
      EXPECT_EQ(question->text(), "Auslegung oder Nachrechnung ?");
      EXPECT_TRUE(question->isVisible());
      Key(Qt::Key_Escape);
    });
    s.Then("taken", [this] { return MainWindowWaits(); }, [&] {
      EXPECT_EQ(SpringData().MaterialSel, 0);
      EXPECT_GT(MaterialSource(), 0);
      EXPECT_EQ(ZEBWST_Record().MaterialNumber, MaterialSource());
      EXPECT_EQ(FormatStress(SpringData().Rm), shownRm.toStdString());
    });
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// Escape after a table source: the own material of the moment the form
// opened, exactly.
TEST_F(MaterialRoads, CancelAfterATableSourceRestoresTheOwnMaterial) {
  Start("round_dynamic.zeb");
  const SpringDataRecord before = SpringData();
  UserScript s;
  OpenForm(s);
  s.Then("form", FormUp, [] { ClickInForm("RadioGroup_db_1"); });
  ChooseThirdItem(s);
  s.Then("material shown", FormUp, [] { ExpectThirdItemShown(); });
  CloseForm(s);
  EXPECT_TRUE(s.Run());
  const SpringDataRecord& after = SpringData();
  EXPECT_EQ(after.MaterialSel, 11);
  EXPECT_EQ(after.MaterialName, before.MaterialName);
  EXPECT_EQ(after.E, 206000);
  EXPECT_EQ(after.Rm, 1460);
  EXPECT_EQ(after.tauzul, before.tauzul);
  test::CloseMainWindow(window_);
}

// The spring file's bytes with line n (1-based, CR LF) replaced.
std::string WithLine(std::string b, int n, const std::string& text) {
  std::size_t at = 0;
  for (int i = 1; i < n; ++i) at = b.find("\r\n", at) + 2;
  return b.replace(at, b.find("\r\n", at) - at, text);
}

// An own material that keeps a table number (line 118): every pair of table
// sources, away and back, shows the own values again as they stood, typed
// ones too; OK and Datei > Speichern store them, and the file differs from
// the one read only in the typed line.
TEST_F(MaterialRoads, SourceSwitchesKeepTheOwnMaterial) {
  const std::string read = WithLine(test::ReadBytes(test::SourceDir() / "examples" / "round_dynamic.zeb"), 118, "5");
  const fs::path file = PrivateRun::Get().work / "own5.zeb";
  test::WriteBytes(file, read);
  std::optional<int> ended;
  window_ = StartMainWindow({"wzeb1", file.string()}, ended, printer_);
  ASSERT_NE(window_, nullptr);
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  const char* const edits[] = {"Edit_name", "Edit_emodul", "Edit_gmodul", "Edit_dichte", "Edit_rm", "Edit_tauz"};
  std::vector<std::string> own;
  const auto expectOwn = [&] {
    for (std::size_t i = 0; i < own.size(); ++i) EXPECT_EQ(FormText(edits[i]).toStdString(), own[i]) << edits[i];
  };
  UserScript s;
  OpenForm(s);
  s.Then("form", FormUp, [&] {
    for (const char* e : edits) own.push_back(FormText(e).toStdString());
    EXPECT_EQ(own[0] + " " + own[4], "Federstahldraht DH 1460");
  });
  for (const char* a : {"RadioGroup_db_0", "RadioGroup_db_1"}) {
    for (const char* b : {"RadioGroup_db_0", "RadioGroup_db_1"}) {
      s.Then("away", FormUp, [a] { ClickInForm(a); });
      s.Then("table row shown", FormUp, [&, b] {
        EXPECT_NE(FormText("Edit_name").toStdString(), own[0]);
        ClickInForm(b);
      });
      s.Then("back", FormUp, [] { ClickInForm("RadioGroup_db_2"); });
      s.Then("own again", FormUp, expectOwn);
    }
  }
  s.Then("typed", FormUp, [&] {
    Child<QLineEdit>(ActiveModal(), "Edit_rm")->setFocus(Qt::OtherFocusReason);
    Child<QLineEdit>(ActiveModal(), "Edit_rm")->selectAll();
    Type("1500");
    own[4] = "1500";
    ClickInForm("RadioGroup_db_1");
  });
  s.Then("back after typing", FormUp, [] { ClickInForm("RadioGroup_db_2"); });
  s.Then("typed value kept", FormUp, [&] {
    expectOwn();
    ClickInForm("Button_ok");
  });
  // "Auslegung" or "Nachrechnung", where asked: neither.
  s.Then("asked", [this] { return ModalUp("Tin_radiodialog") != nullptr || MainWindowWaits(); }, [this] {
    if (!MainWindowWaits()) Key(Qt::Key_Escape);
  });
  s.Then("taken", [this] { return MainWindowWaits(); }, [this] {
    EXPECT_EQ(MaterialSource(), 5);
    window_->Action("mi_FileSave")->trigger();
  });
  s.Then("saved", [this] { return MainWindowWaits(); }, [] {});
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(test::ReadBytes(file), WithLine(read, 13, "1500.0000000"));
  test::CloseMainWindow(window_);
}

// Appends a relaxation row to zebwstr.dbf: the values in field order,
// right-aligned numbers, left-aligned texts.
void AppendRelaxationRow(const fs::path& table, const std::vector<std::string>& values) {
  std::string b = test::ReadBytes(table);
  const std::uint32_t count = DbfRecordCount(table);
  const unsigned header = static_cast<unsigned char>(b[8]) | (static_cast<unsigned char>(b[9]) << 8);
  const unsigned length = static_cast<unsigned char>(b[10]) | (static_cast<unsigned char>(b[11]) << 8);
  std::string record = " ";
  for (std::size_t f = 0; f < values.size(); ++f) {
    const char* d = b.data() + 32 + 32 * f;
    const std::size_t width = static_cast<unsigned char>(d[16]);
    const std::string& v = values[f];
    record += d[11] == 'C' ? v + std::string(width - v.size(), ' ') : std::string(width - v.size(), ' ') + v;
  }
  ASSERT_EQ(record.size(), length);
  b.resize(header + static_cast<std::size_t>(count) * length);
  b += record + "\x1A";
  const std::uint32_t n = count + 1;
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  test::WriteBytes(table, b);
}

// CAD > Diagramme > Relaxation, kind chosen by index (0..2); with cad a
// CAD-code index (2: the screen) is asked next, without it the refusal box
// is answered and its text kept.
void ChooseRelaxation(UserScript& s, Thh* window, int kind, QString* refusal) {
  s.Then("main window", [window] { return ActiveModal() == nullptr && window->isActiveWindow(); },
         [window] { window->Action("mi_caddiagrams")->trigger(); });
  s.Then("diagram menu", [] { return ModalUp("Tin_codedialog") != nullptr; }, [] {
    Child<QListWidget>(ActiveModal(), "ListBox1")->setCurrentRow(10);
    Key(Qt::Key_Return);
  });
  s.Then("kind", [] { return ModalUp("Tin_radiodialog") != nullptr; }, [kind] {
    Click(ActiveModal()->findChildren<QRadioButton*>().at(kind));
    Click(Child<QWidget>(ActiveModal(), "Button_ok"));
  });
  if (refusal != nullptr) {
    s.Then("refusal", [] { return qobject_cast<QMessageBox*>(ModalUp(nullptr)) != nullptr; }, [refusal] {
      *refusal = qobject_cast<QMessageBox*>(ActiveModal())->text();
      Key(Qt::Key_Return);
    });
    return;
  }
  s.Then("CAD code", [] { return ModalUp("Tin_radiodialog") != nullptr; }, [] {
    Click(ActiveModal()->findChildren<QRadioButton*>().at(2));
    Click(Child<QWidget>(ActiveModal(), "Button_ok"));
  });
  s.Then("diagram menu again", [] { return ModalUp("Tin_codedialog") != nullptr; }, [] { Key(Qt::Key_Escape); });
}

// Without relaxation data the refusal leaves the picture as it was; with a
// row for the material the loss of F2 comes from it and code 20 draws it.
TEST_F(MaterialRoads, RelaxationRefusalKeepsThePictureARowIsDrawn) {
  Start("table_material.zeb");
  auto* canvas = qobject_cast<GraphCanvas*>(window_->centralWidget());
  ASSERT_NE(canvas, nullptr);
  QImage before;
  QString refusal;
  UserScript s;
  // Quick 1 on the screen first; the menu comes back over it.
  s.Then("main window", [this] { return MainWindowWaits(); }, [this] { window_->Action("mi_caddiagrams")->trigger(); });
  s.Then("diagram menu", [] { return ModalUp("Tin_codedialog") != nullptr; }, [] {
    Child<QListWidget>(ActiveModal(), "ListBox1")->setCurrentRow(0);
    Key(Qt::Key_Return);
  });
  s.Then("CAD code", [] { return ModalUp("Tin_radiodialog") != nullptr; }, [] {
    Click(ActiveModal()->findChildren<QRadioButton*>().at(2));
    Click(Child<QWidget>(ActiveModal(), "Button_ok"));
  });
  s.Then("diagram menu again", [] { return ModalUp("Tin_codedialog") != nullptr; }, [&] {
    before = canvas->Render();
    Child<QListWidget>(ActiveModal(), "ListBox1")->setCurrentRow(10);
    Key(Qt::Key_Return);
  });
  s.Then("kind", [] { return ModalUp("Tin_radiodialog") != nullptr; }, [] {
    Click(ActiveModal()->findChildren<QRadioButton*>().at(2));
    Click(Child<QWidget>(ActiveModal(), "Button_ok"));
  });
  s.Then("refusal", [] { return qobject_cast<QMessageBox*>(ModalUp(nullptr)) != nullptr; }, [&] {
    refusal = qobject_cast<QMessageBox*>(ActiveModal())->text();
    Key(Qt::Key_Return);
  });
  s.Then("back", [this] { return MainWindowWaits(); }, [] {});
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(refusal, QString::fromUtf8("Keine Relaxationsdaten für diesen Werkstoff"));
  EXPECT_FALSE(before.isNull());
  EXPECT_TRUE(canvas->Render() == before);
  // And on the screen, once it has settled (hang bound only).
  const auto onScreen = [&] {
    const QPoint at = canvas->mapToGlobal(QPoint(0, 0));
    return window_->screen()->grabWindow(0, at.x(), at.y(), canvas->width(), canvas->height()).toImage().convertToFormat(QImage::Format_RGB32);
  };
  const QImage wanted = before.convertToFormat(QImage::Format_RGB32);
  QElapsedTimer settle;
  settle.start();
  while (onScreen() != wanted && settle.elapsed() < 5000) QTest::qWait(20);
  if (const char* folder = std::getenv("ZEB1_SCREENSHOTS"))
    onScreen().save(QString::fromUtf8(folder) + "/relaxation_refused.png");
  EXPECT_TRUE(onScreen() == wanted);
  test::CloseMainWindow(window_);

  // Material 5 at the spring's temperature, one diameter: its first curve.
  const std::string T = std::to_string(static_cast<int>(SpringData().T));
  AppendRelaxationRow(PrivateRun::Get().dbf / "zebwstr.dbf",
                      {"5", "Test", T, "150", "1", "1", "400", "2", "800", "6", "400", "3", "800", "8", "400",
                       "5", "800", "12", "400", "6", "800", "15"});
  Start("table_material.zeb");
  ASSERT_EQ(MaterialSource(), 5);
  ASSERT_EQ(SpringData().T, std::stoi(T));
  const double tau2 = static_cast<double>(SpringData().tau2);
  const double rx = 2 * std::pow(tau2 / 400, std::log(3.0) / std::log(2.0));
  EXPECT_NEAR(static_cast<double>(SpringData().F2Relax), rx, 1e-9 * rx);
  canvas = qobject_cast<GraphCanvas*>(window_->centralWidget());
  ASSERT_NE(canvas, nullptr);
  UserScript drawn;
  ChooseRelaxation(drawn, window_.get(), 2, nullptr);
  drawn.Then("drawn", [this] { return MainWindowWaits(); }, [] {});
  EXPECT_TRUE(drawn.Run());
  EXPECT_NEAR(static_cast<double>(SpringData().F2Relax), rx, 1e-9 * rx);
  EXPECT_FALSE(canvas->Render() == before);
  if (const char* folder = std::getenv("ZEB1_SCREENSHOTS"))
    canvas->Render().save(QString::fromUtf8(folder) + "/relaxation_force.png");
  test::CloseMainWindow(window_);
}

// The arrow keys on the closed material list: each moves one item on from
// the material shown and takes it; the form shows the last one.
TEST_F(MaterialRoads, ArrowKeysInTheListPickAnyMaterial) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("table_material.zeb");
    int first = -1;
    UserScript s;
    OpenForm(s);
    s.Then("form", FormUp, [&] {
      auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
      first = combo->currentIndex();
      ASSERT_GE(first, 0);
      ASSERT_GT(combo->count(), first + 3);
      combo->setFocus(Qt::TabFocusReason);
    });
    for (int step = 0; step < 3; ++step)
      s.Then("key down", FormUp, [] { Key(Qt::Key_Down); });
    s.Then("key up", FormUp, [] { Key(Qt::Key_Up); });
    s.Then("material shown", FormUp, [&] {
      auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
      const QString item = combo->itemText(first + 2);
      EXPECT_EQ(combo->currentIndex(), first + 2);
      EXPECT_EQ(combo->currentText(), item);
      EXPECT_EQ(static_cast<int>(MaterialSource()), item.left(9).trimmed().toInt());
      EXPECT_TRUE(item.section(": ", 1).startsWith(FormText("Edit_name"))) << item.toStdString();
    });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// "DIN 2076/77", three rows down, Enter: d is that row's diameter; Escape
// keeps d.
TEST_F(MaterialRoads, WireTableOkTakesTheDiameterEscapeKeepsIt) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("table_material.zeb");
    QString d, before;
    QString title;
    UserScript s;
    OpenForm(s);
    s.Then("form", FormUp, [&] {
      before = FormText("Edit_dd");
      ClickInForm("Button_db2076");
    });
    s.Then("DIN 2076", [] { return ModalUp("dbf4") != nullptr; }, [&] {
      title = ActiveModal()->windowTitle();
      for (int i = 0; i < 3; ++i) Key(Qt::Key_Down);
      xbase::TTzGrid* g = Grid();
      ASSERT_NE(g, nullptr);
      d = g->Model()->index(g->currentIndex().row(), 0).data().toString().trimmed();
      Key(Qt::Key_Return);
    });
    s.Then("diameter taken", FormUp, [&] {
      EXPECT_TRUE(title.contains("d DIN 2076")) << title.toStdString();
      ASSERT_FALSE(d.isEmpty());
      EXPECT_EQ(ParseLength(FormText("Edit_dd").toStdString()), TextToFloat(d.toStdString()));
      EXPECT_NE(FormText("Edit_dd"), before);
      before = FormText("Edit_dd");
      ClickInForm("Button_db2076");
    });
    s.Then("DIN 2076 again", [] { return ModalUp("dbf4") != nullptr; }, [] {
      Key(Qt::Key_Down);
      Key(Qt::Key_Escape);
    });
    s.Then("diameter kept", FormUp, [&] { EXPECT_EQ(FormText("Edit_dd"), before); });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// "&Hilfe", OK in its box, then a source button.
TEST_F(MaterialRoads, HelpThenASourceButton) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("round_dynamic.zeb");
    UserScript s;
    OpenForm(s);
    s.Then("form", [] { return ModalUp("Form_zebmat") != nullptr; }, [] { ClickInForm("Button_help"); });
    s.Then("help box", [] { return ModalUp(nullptr) != nullptr && ActiveModal()->objectName() != "Form_zebmat"; },
           [] { Key(Qt::Key_Return); });
    s.Then("form again", [] { return ModalUp("Form_zebmat") != nullptr; }, [] { ClickInForm("RadioGroup_db_0"); });
    ChooseThirdItem(s);
    s.Then("material shown", FormUp, [] { ExpectThirdItemShown(); });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// A new material through Datenbank > Material, then chosen in the form.
TEST_F(MaterialRoads, NewMaterialIsEnteredAndChosenInTheForm) {
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Start("table_material.zeb");
    const fs::path table = PrivateRun::Get().dbf / "zebwst.dbf";
    const std::uint32_t count = DbfRecordCount(table);
    const QString name = QStringLiteral("Testfeder %1").arg(run + 1);
    bool browsed = false;
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); },
           [this] { window_->Action("mi_dbfmaterial")->trigger(); });
    // Every question of the entry: yes to a new material, no Goodman
    // diagram, a value for each property, then OK in the table window.
    s.Until(
        "entry", [] { return ModalUp(nullptr) != nullptr; },
        [&] {
          QWidget* w = ActiveModal();
          auto* label = w->findChild<QLabel*>("Label1");
          const QString prompt = label != nullptr ? label->text() : QString();
          if (std::getenv("ZEB1_DESKTOP_VERBOSE") != nullptr)
            std::printf("entry: %s \"%s\"\n", w->objectName().toLocal8Bit().constData(), prompt.toLocal8Bit().constData());
          if (w->objectName() == "dbf4") {
            // The new material is the last row.
            browsed = true;
            Grid()->setFocus(Qt::MouseFocusReason);
            Key(Qt::Key_End, Qt::ControlModifier);
            Key(Qt::Key_Return);
            return;
          }
          if (w->objectName() == "Tin_janeindialog") {
            // "&Ja", "&Nein": yes to the new material only.
            const QList<QRadioButton*> radios = w->findChildren<QRadioButton*>();
            ASSERT_EQ(radios.size(), 2);
            Click(radios.at(prompt.contains("Neuen Werkstoff") ? 0 : 1));
            Click(Child<QWidget>(w, "Button_ok"));
            return;
          }
          auto* edit = w->findChild<QLineEdit*>("EditEinText");
          if (edit == nullptr) {
            Key(Qt::Key_Return);  // a message: OK
            return;
          }
          struct Answer {
            const char* part;
            const char* text;
          };
          const Answer answers[] = {{"Werkstoff", nullptr}, {"Elastizit", "206000"}, {"Schubmodul", "81500"},
                                    {"Dichte", "7.85"},     {"d0", "1"},              {"Rm0", "2000"},
                                    {"dx", "5"},            {"Rmx", "1500"},          {"Rm max", "2500"},
                                    {"dmin", "0.5"},        {"dmax", "10"},           {"Tmax", "120"}};
          edit->setFocus(Qt::OtherFocusReason);
          edit->selectAll();
          for (const Answer& a : answers) {
            if (!prompt.contains(QLatin1String(a.part))) continue;
            Type(a.text != nullptr ? QString::fromLatin1(a.text) : name);
            break;
          }
          Key(Qt::Key_Return);
        },
        [&] { return browsed && MainWindowWaits(); });
    s.Then("entered", [this] { return MainWindowWaits(); }, [&] {
      EXPECT_EQ(DbfRecordCount(table), count + 1);
      EXPECT_EQ(SpringData().MaterialName, name.toStdString());
      EXPECT_EQ(MaterialSource(), count + 1);
      window_->Action("mi_EditMaterial")->trigger();
    });
    int item = -1;
    s.Then("form", FormUp, [&] {
      auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
      for (int i = 0; i < combo->count(); ++i)
        if (combo->itemText(i).contains(name)) item = i;
      ASSERT_GE(item, 0) << "the new material is not in the list";
      OpenList();
    });
    s.Then("list open", ListOpen, [&] { PickItem(item); });
    s.Then("new material shown", FormUp, [&] { EXPECT_EQ(FormText("Edit_name"), name); });
    CloseForm(s);
    EXPECT_TRUE(s.Run());
    test::CloseMainWindow(window_);
  }
}

// The table window from the Datenbank menu: open, search, append a record,
// type a value into it, close; the file holds the record and the value.
TEST_F(MaterialRoads, TableWindowOpenSearchAppendEditClose) {
  Start("table_material.zeb");
  const fs::path table = PrivateRun::Get().dbf / "din2076.dbf";
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const std::uint32_t count = DbfRecordCount(table);
    QString found;
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); },
           [this] { window_->Action("mi_dbfDIN2076")->trigger(); });
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr; }, [] { ClickInForm("Button_search"); });
    s.Then("search text", [] { return ModalUp("Tin_textdialog") != nullptr; }, [] {
      auto* edit = Child<QLineEdit>(ActiveModal(), "EditEinText");
      edit->selectAll();
      Type("2,5");
      Key(Qt::Key_Return);
    });
    s.Then("found", [] { return ModalUp("dbf4") != nullptr; }, [&] {
      xbase::TTzGrid* g = Grid();
      ASSERT_NE(g, nullptr);
      found = g->Model()->index(g->currentIndex().row(), 0).data().toString().trimmed();
      EXPECT_EQ(TextToFloat(found.toStdString()), 2.5L) << found.toStdString();
      ActiveModal()->findChild<QAction*>("mi_editAppend")->trigger();
    });
    s.Then("appended", [] { return ModalUp("dbf4") != nullptr; }, [] {
      xbase::TTzGrid* g = Grid();
      ASSERT_NE(g, nullptr);
      g->setFocus(Qt::OtherFocusReason);
      Key(Qt::Key_End, Qt::ControlModifier);
      Key(Qt::Key_Home);
      Type("77.7");
      Key(Qt::Key_Return);
    });
    s.Then("typed", [] { return ModalUp("dbf4") != nullptr; }, [] { Click(Child<QWidget>(ActiveModal(), "Button_ok")); });
    s.Then("closed", [this] { return MainWindowWaits(); }, [] {});
    EXPECT_TRUE(s.Run());
    EXPECT_EQ(DbfRecordCount(table), count + 1);
    // The new record's first field as stored.
    std::ifstream in(table, std::ios::binary);
    unsigned char h[32] = {};
    in.read(reinterpret_cast<char*>(h), 32);
    const std::uint32_t headerSize = h[8] | (h[9] << 8), recordSize = h[10] | (h[11] << 8);
    unsigned char field[32] = {};
    in.seekg(32);
    in.read(reinterpret_cast<char*>(field), 32);
    const int length = field[16];
    std::string record(recordSize, '\0');
    in.seekg(headerSize + static_cast<std::streamoff>(count) * recordSize);
    in.read(record.data(), recordSize);
    EXPECT_EQ(TextToFloat(record.substr(1, static_cast<std::size_t>(length))), 77.7L) << record;
  }
}


// The wire standard follows the material chosen by any road (the form's
// list, its database button, Datenbank > Werkstoff): the name's standard
// key gives the standard (EN 10270-1, -2, -3 T14, EN 10089 DIN 2077,
// EN 12166), shown in the form's tolerance list and taken by OK.
struct WireStandardCase {
  const char* material;  // NAME1
  int code;
  const char* item;  // the tolerance list's item
};
enum class MaterialRoad { kList, kDatabaseButton, kDatabaseMenu };
void PrintTo(const WireStandardCase& c, std::ostream* os) { *os << c.material; }
void PrintTo(MaterialRoad r, std::ostream* os) { *os << static_cast<int>(r); }

class WireStandardRoads : public MaterialRoads,
                          public ::testing::WithParamInterface<std::tuple<MaterialRoad, WireStandardCase>> {
 protected:
  // The row of the table window that shows the material, clicked.
  static void ClickMaterialRow(const char* material) {
    xbase::TTzGrid* g = Grid();
    ASSERT_NE(g, nullptr);
    for (int c = 0; c < g->Model()->columnCount(); ++c) {
      if (g->Model()->headerData(c, Qt::Horizontal).toString() != "NAME1") continue;
      for (int r = 0; r < g->Model()->rowCount(); ++r) {
        const QModelIndex i = g->Model()->index(r, c);
        if (i.data().toString().trimmed() != QString::fromUtf8(material)) continue;
        g->scrollTo(i);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(i).center());
        return;
      }
    }
    ADD_FAILURE() << "no row of " << material;
  }
};

TEST_P(WireStandardRoads, FollowsTheMaterialsName) {
  const auto& [road, c] = GetParam();
  Start("round_dynamic.zeb");
  SpringData().WireStd = 1;  // DIN 2076 B: none of the materials' standards
  QString shownItem;
  UserScript s;
  if (road == MaterialRoad::kDatabaseMenu) {
    s.Then("main window", [this] { return MainWindowWaits(); },
           [this] { window_->Action("mi_dbfmaterial")->trigger(); });
    s.Then("new material ?", [] { return ModalUp("Tin_janeindialog") != nullptr; }, [] { Key(Qt::Key_Return); });
  } else {
    OpenForm(s);
    s.Then("form", FormUp, [] { ClickInForm("RadioGroup_db_1"); });
    if (road == MaterialRoad::kList) {
      s.Then("all materials", FormUp, [] { OpenList(); });
      s.Then("list open", ListOpen, [&c] {
        auto* combo = Child<QComboBox>(ActiveModal(), "ComboBox_db");
        int index = -1;
        for (int i = 0; i < combo->count(); ++i)
          if (combo->itemText(i).section(": ", 1).startsWith(QString::fromUtf8(c.material) + " ")) index = i;
        ASSERT_GE(index, 0) << c.material;
        PickItem(index);
      });
    } else {
      s.Then("all materials", FormUp, [] { ClickInForm("Button_zebwst"); });
    }
  }
  if (road != MaterialRoad::kList) {
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr && Grid() != nullptr; },
           [&c] { ClickMaterialRow(c.material); });
    s.Then("row chosen", [] { return ModalUp("dbf4") != nullptr; }, [] { Key(Qt::Key_Return); });
  }
  if (road != MaterialRoad::kDatabaseMenu) {
    s.Then("material shown", FormUp, [&] {
      if (road == MaterialRoad::kList && c.code == 10) Shot(ActiveModal(), "material_form_wire_standard");
      EXPECT_EQ(FormText("Edit_name"), QString::fromUtf8(c.material));
      shownItem = Child<QComboBox>(ActiveModal(), "ComboBox_toldd")->currentText();
      ClickInForm("Button_ok");
    });
    s.Then("design or recalculation", [] { return ModalUp("Tin_radiodialog") != nullptr; },
           [] { Key(Qt::Key_Escape); });
  }
  s.Then("taken", [this] { return MainWindowWaits(); }, [] {});
  ASSERT_TRUE(s.Run());
  if (road != MaterialRoad::kDatabaseMenu) {
    EXPECT_EQ(shownItem.toStdString(), c.item);
  }
  EXPECT_EQ(SpringData().MaterialName, c.material);
  EXPECT_EQ(SpringData().WireStd, c.code);
  test::CloseMainWindow(window_);
}

const WireStandardCase kWireStandards[] = {{"EN 10270-2 FDC", 10, "EN 10270-2 (0,05 .. 25 mm)"},
                                           {"EN 10270-1 SH", 9, "EN 10270-1 (0,05 .. 25 mm)"},
                                           {"EN 10270-3 1.4310", 14, "T14 - EN 10270-3 (0 .. 10 mm)"},
                                           {"EN 10089 51CrV4", 3, "DIN 2077   (7 .. 80 mm)"},
                                           {"EN 12166 CuSn6", 17, "EN 12166 - A (0 .. 20 mm)"}};

std::string WireStandardRoadName(const ::testing::TestParamInfo<std::tuple<MaterialRoad, WireStandardCase>>& info) {
  const char* const roads[] = {"List", "DatabaseButton", "DatabaseMenu"};
  std::string name =
      std::string(roads[static_cast<int>(std::get<0>(info.param))]) + "_" + std::get<1>(info.param).material;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, WireStandardRoads,
                         ::testing::Combine(::testing::Values(MaterialRoad::kList, MaterialRoad::kDatabaseButton,
                                                              MaterialRoad::kDatabaseMenu),
                                            ::testing::ValuesIn(kWireStandards)),
                         WireStandardRoadName);

}  // namespace
}  // namespace zeb::desktop
