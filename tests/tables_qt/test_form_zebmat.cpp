// The material form on Qt (offscreen), opened through the table services and
// driven by object names. With ZEB1_SCREENSHOTS set to a folder the form is
// saved there as a picture once.
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QScreen>
#include <QGuiApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "mainwin/program_fixture.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/services.h"
#include "base_qt/support_qt.h"
#include "spring/spring_data.h"
#include "tables/qt/form_zebmat.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_functions.h"
#include "tables/material_table.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"

namespace zeb::qttest {
namespace {

namespace fs = std::filesystem;

class FormZebmatTest : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    ResetSpringGlobals();
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    fs::create_directories(fs::path(scratch) / "dbf");
    fs::create_directories(fs::path(scratch) / "tmp");
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, fs::path(scratch) / "dbf");
    G().DbfFolder = scratch + "/dbf";
    G().TempFolder = scratch + "/tmp";
    InstallTableServices();
    InstallQtTableBrowser();
    InstallQtMaterialForm();
    SpringData().MaterialSel = 0;
    SpringData().WireStd = 1;
    MaterialSource() = 5;
  }
  void TearDown() override {
    TableClose();
    SetMaterialFormRunner(nullptr);
    SetTableBrowser(nullptr);
    SetTables(nullptr);
    xbase::SetTzCallback(nullptr);
    QtTest::TearDown();
  }
};

TEST_F(FormZebmatTest, ChoosesMaterialDiameterSurfaceAndStandard) {
  WhenShown("Form_zebmat", [](QWidget* d) {
    auto* combo = Child<QComboBox>(d, "ComboBox_db");
    ASSERT_EQ(combo->count(), 15);
    EXPECT_EQ(combo->itemText(5), QString::fromUtf8("        7: EN 10270-2 TDC  ölschlussvergütet"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("        5: EN 10270-1 DH  patentiert gezogen"));
    EXPECT_FALSE(Child<QWidget>(d, "GroupBox_wst")->isEnabled());
    Screenshot(d, "form_zebmat");
    // SH, then d 0.001 (taken as 0.05) and d 3.
    combo->activated(1);
    auto* dd = Child<QLineEdit>(d, "Edit_dd");
    dd->clear();
    QTest::keyClicks(dd, "0.001");
    EXPECT_EQ(SpringData().d, 0.05L);
    dd->clear();
    QTest::keyClicks(dd, "3");
    const long double rm = 2154 - 819 * std::log10(3.0L);
    EXPECT_EQ(Child<QLineEdit>(d, "Edit_rm")->text().toStdString(), FormatStress(rm));
    EXPECT_EQ(Child<QLineEdit>(d, "Edit_tauz")->text().toStdString(), FormatStress(0.56L * rm));
    Child<QRadioButton>(d, "RadioGroup_oberflach_2")->click();
    auto* tol = Child<QComboBox>(d, "ComboBox_toldd");
    tol->setCurrentIndex(9);
    tol->activated(9);
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  G().AbortFlag = 0;
  Tables().ShowMaterialForm();
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(MaterialSource(), 3);
  EXPECT_EQ(s.MaterialName, "EN 10270-1 SH");
  EXPECT_EQ(s.d, 3);
  EXPECT_EQ(s.MaterialCoiling, 3);
  EXPECT_EQ(s.WireStd, 10);
  EXPECT_EQ(SG().RmTableLoaded, 1);
}

TEST_F(FormZebmatTest, ListRefilledOnEveryActivationAndPlacedOverTheMainWindow) {
  G().DialogSizePercent = 100;
  WhenShown("Form_zebmat", [](QWidget* d) {
    // Centred over the main window (here: the screen), 20 pixels lower.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(d->x(), screen.x() + std::max(0, (screen.width() - d->width()) / 2));
    EXPECT_EQ(d->y(), screen.y() + std::max(0, (screen.height() - d->height()) / 2) + 20);
    EXPECT_GE(d->width(), d->sizeHint().width());
    EXPECT_GE(d->height(), d->sizeHint().height());
    auto* combo = Child<QComboBox>(d, "ComboBox_db");
    ASSERT_EQ(combo->count(), 15);
    // Another window adds a material while the form waits.
    Tables().TableOpen("zebwst");
    EXPECT_NE(Tables().TableAppend(), 0);
    Tables().TableClose();
    EXPECT_EQ(combo->count(), 15);
    Child<QRadioButton>(d, "RadioGroup_db_2")->click();  // own values: typed texts survive
    auto* name = Child<QLineEdit>(d, "Edit_name");
    name->clear();
    QTest::keyClicks(name, "Federstahl X");
    {
      QDialog other(d);
      other.show();
      other.activateWindow();
      // 20 s: a hang bound; a window is active within milliseconds.
      EXPECT_TRUE(QTest::qWaitForWindowActive(&other, 20000));
    }
    d->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(d, 20000));
    // The refill runs from the event loop once the activation is handled.
    EXPECT_TRUE(QTest::qWaitFor([&] { return combo->count() == 16; }, 20000));
    EXPECT_EQ(name->text(), "Federstahl X");
    QTest::keyClick(d, Qt::Key_Escape);
  });
  Tables().ShowMaterialForm();
}

TEST_F(FormZebmatTest, EscapeRestoresTheMaterial) {
  ASSERT_TRUE(MaterialLoadByNumber(MaterialSource()));  // the spring's material, DH
  WhenShown("Form_zebmat", [](QWidget* d) {
    Child<QComboBox>(d, "ComboBox_db")->activated(5);  // TDC
    EXPECT_EQ(MaterialSource(), 7);
    QTest::keyClick(d, Qt::Key_Escape);
  });
  Tables().ShowMaterialForm();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(MaterialSource(), 5);
  EXPECT_EQ(SpringData().MaterialName, "EN 10270-1 DH");
}

// "abc" in every numeric field and OK: the box of the typed-number check,
// the form stays open with the field's value back; Esc at the end leaves
// the spring's own material as it was (the case as found: G "abc" became 0
// and "Fatal : G <= 0 !").
TEST_F(FormZebmatTest, EveryNumericFieldRefusesLetters) {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11, s.MaterialName = "Eigener", s.E = 206000, s.G = 81500, s.rho = 7.85L;
  s.Rm = 1880, s.tauzul = 1053, s.d = 2, s.WireStd = 16, s.TolWire = 0.025L;
  s.FatigueTol1 = -5, s.FatigueTol2 = 5;
  const SpringDataRecord before = s;
  std::vector<std::string> refused;
  WhenShown("Form_zebmat", [&](QWidget* d) {
    for (const char* name : {"Edit_emodul", "Edit_gmodul", "Edit_dichte", "Edit_rm", "Edit_tauz", "Edit_dd",
                             "Edit_toldd", "Edit_toludauerfest", "Edit_tolodauerfest"}) {
      auto* e = Child<QLineEdit>(d, name);
      if (e == nullptr) continue;
      EXPECT_TRUE(e->isEnabled()) << name;
      const QString shown = e->text();
      e->setFocus();
      e->selectAll();
      QTest::keyClicks(e, "abc");
      AnswerBox("Ung\u00fcltige Eingabe \"abc\" !", QMessageBox::Ok);
      QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
      EXPECT_TRUE(d->isVisible()) << name;
      EXPECT_EQ(e->text(), shown) << name;
      if (d->isVisible() && e->text() == shown) refused.push_back(name);
    }
    QTest::keyClick(d, Qt::Key_Escape);
  });
  Tables().ShowMaterialForm();
  EXPECT_EQ(refused.size(), 9u);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(s.MaterialSel, 11);
  EXPECT_EQ(s.G, before.G);
  EXPECT_EQ(s.E, before.E);
  EXPECT_EQ(s.d, before.d);
  EXPECT_EQ(s.TolWire, before.TolWire);
}

TEST_F(FormZebmatTest, HintsFromTheHelpTextsWhenTheHelpLevelAsks) {
  // The program's own help file: each hinted entry one line (code page 850).
  G().HelpFolder = scratch;
  {
    std::ofstream out(scratch + "/zeb1.hlp", std::ios::binary);
    for (int n : {5050, 5060, 5070, 5080, 5090, 5100, 5120, 5150, 5310})
      out << n << "\r\nHinweis " << n << (n == 5080 ? " \x84" : "") << "\r\n";
    out << "5500\r\nende\r\n";
  }
  const std::map<QString, QString> want{
      {"RadioGroup_oberflach", "Hinweis 5310"}, {"ComboBox_toldd", "Hinweis 5150"},
      {"Label_name", "Hinweis 5050"},           {"Label_emodul", "Hinweis 5060"},
      {"Label_gmodul", "Hinweis 5070"},         {"Label_dichte", QString::fromUtf8("Hinweis 5080 ä")},
      {"Label_rm", "Hinweis 5090"},             {"Label_tauz", "Hinweis 5100"},
      {"GroupBox_toldauerfest", "Hinweis 5120"}};
  for (int level : {1, 0}) {
    G().HelpLevel = static_cast<std::int16_t>(level);
    std::map<QString, QString> seen;
    WhenShown("Form_zebmat", [&](QWidget* d) {
      for (const auto& [name, text] : want) seen[name] = Child<QWidget>(d, name.toLatin1().constData())->toolTip().trimmed();
      QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
    });
    Tables().ShowMaterialForm();
    for (const auto& [name, text] : want) EXPECT_EQ(seen[name], level != 0 ? text : QString()) << name.toStdString();
  }
}

// "&Hilfe" shows help text 5140 in a box and leaves the form open.
TEST_F(FormZebmatTest, HelpButtonShowsItsText) {
  G().HelpFolder = scratch;
  std::ofstream(scratch + "/zeb1.hlp", std::ios::binary) << "5140\r\nWerkstoff w\x84hlen\r\n5145\r\nende\r\n";
  bool stillOpen = false;
  QString boxText;
  WhenShown("Form_zebmat", [&](QWidget* d) {
    // The box runs its own loop: read and close it from there.
    QTimer::singleShot(50, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxText = box->text();
        box->close();
      }
    });
    QTest::mouseClick(Child<QPushButton>(d, "Button_help"), Qt::LeftButton);
    stillOpen = d->isVisible();
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  });
  Tables().ShowMaterialForm();
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(boxText.contains(QString::fromUtf8("Werkstoff wählen"))) << boxText.toStdString();
  EXPECT_EQ(G().HelpNumber, 5140);
}

TEST_F(FormZebmatTest, OkLoadsTheRelaxationRowOfATableMaterialOnly) {
  auto drawings = std::make_shared<RecordingDrawings>();
  SetDrawings(drawings);
  WhenShown("Form_zebmat", [](QWidget* d) {
    Child<QComboBox>(d, "ComboBox_db")->activated(5);  // material 7
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().ShowMaterialForm();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(drawings->Calls(), std::vector<std::string>{"OpenRelaxationTable(7)"});

  // A material typed in has no relaxation row: none is looked up.
  drawings->ClearCalls();
  WhenShown("Form_zebmat", [](QWidget* d) {
    Child<QRadioButton>(d, "RadioGroup_db_2")->click();
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().ShowMaterialForm();
  EXPECT_EQ(SpringData().MaterialSel, 11);
  EXPECT_TRUE(drawings->Calls().empty());
  SetDrawings(nullptr);
}

}  // namespace
}  // namespace zeb::qttest
