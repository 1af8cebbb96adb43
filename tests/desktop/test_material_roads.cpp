// Every road of the material form and the table window on a real window
// system, three times each: the table windows close, the form is activated
// again while its command still reads the tables, and the program lives on
// with the chosen material or diameter in the form and no Qt warning.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>
#include <fstream>

#include "base/format.h"
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

}  // namespace
}  // namespace zeb::desktop
