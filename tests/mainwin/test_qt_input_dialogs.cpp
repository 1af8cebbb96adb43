// The input and documentation dialogs under Qt (offscreen): each opened
// through its port, driven by objectName, its effect checked on the data
// set and the flags.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QGroupBox>
#include <functional>

#include "qt_test_support.h"
#include "base/colors.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/support_clock.h"
#include "base/test_files_support.h"
#include "drawings/drawings.h"
#include "drawings/production.h"
#include "graphics/cadsettings.h"
#include "mainwin/changelog_cmd.h"
#include "settings/config.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/qt/config_dialog.h"
#include "mainwin/qt/filelist_form.h"
#include "mainwin/qt/input_dialogs.h"
#include "platform/process.h"
#include "program_fixture.h"
#include "spring/springfile.h"
#include "reports/printjob.h"
#include "reports/qt/printsetup_form.h"
#include "spring/changelog.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"

namespace zeb {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

using test::ModalDriver;

template <typename T>
T* Get(QWidget& w, const char* name) {
  T* c = w.findChild<T*>(QString::fromLatin1(name));
  if (c == nullptr) ADD_FAILURE() << "no " << name;
  return c;
}
void Click(QWidget& w, const char* name) { Get<QAbstractButton>(w, name)->click(); }
void Type(QWidget& w, const char* name, const QString& text) { Get<QLineEdit>(w, name)->setText(text); }
QString Text(QWidget& w, const char* name) { return Get<QLineEdit>(w, name)->text(); }

class QtInputDialogsTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    test::MakeRefSpring();
    dialogs_ = std::make_unique<FormCommandDialogs>(QtFormRunners(nullptr));
  }
  void TearDown() override {
    UninstallQtInputDialogs();
    SpringTest::TearDown();
  }
  std::unique_ptr<FormCommandDialogs> dialogs_;
};

TEST_F(QtInputDialogsTest, DimensionsGroupsPerModeAndCancelKeepsOnlyTheDiameterChoice) {
  {
    ModalDriver d("TForm_Zebgeometrie", [](QWidget& w) {
      EXPECT_TRUE(Get<QGroupBox>(w, "GroupBox_nachrechnung")->isVisible());
      EXPECT_FALSE(Get<QGroupBox>(w, "GroupBox_auslegung")->isVisible());
      EXPECT_FALSE(Get<QGroupBox>(w, "RadioGroup_f12")->isVisible());
      Click(w, "RadioGroup_mode_1");
      EXPECT_TRUE(Get<QGroupBox>(w, "GroupBox_auslegung")->isVisible());
      EXPECT_TRUE(Get<QGroupBox>(w, "RadioGroup_f12")->isVisible());
      Click(w, "RadioGroup_f12_1");
      EXPECT_FALSE(Get<QLineEdit>(w, "Edit_f2")->isVisible());
      EXPECT_EQ(Get<QLabel>(w, "Label_f2m")->text(), "min");
      Click(w, "RadioGroup_dm_0");
      EXPECT_EQ(Get<QLabel>(w, "Label_de")->text(), QString::fromUtf8("Außendurchmesser De"));
      Type(w, "Edit_l22", "99");
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->Dimensions());
  }
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(SpringData().DiameterGiven, 1);
  EXPECT_EQ(SpringData().L2, 30.0L);
  EXPECT_EQ(SpringData().CalcMode, 3);

  // Mode 3 stores d, diameter, L0, n, L1, L2; units twice give the same texts.
  {
    ModalDriver d("TForm_Zebgeometrie", [](QWidget& w) {
      const QString l0 = Text(w, "Edit_l0");
      Click(w, "Button_metric");
      EXPECT_NE(Text(w, "Edit_l0"), l0);
      Click(w, "Button_metric");
      EXPECT_EQ(Text(w, "Edit_l0"), l0);
      Type(w, "Edit_d", "2.2");
      Type(w, "Edit_de2", "24");
      Type(w, "Edit_l0", "65");
      Type(w, "Edit_n", "7,5");
      Type(w, "Edit_l1", "55");
      Type(w, "Edit_l22", "35");
      Click(w, "Button_ok");
    });
    EXPECT_TRUE(dialogs_->Dimensions());
  }
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(s.d, 2.2L);
  EXPECT_EQ(s.De, 24.0L);
  EXPECT_EQ(s.Dm, 21.8L);
  EXPECT_EQ(s.L0, 65.0L);
  EXPECT_EQ(s.n, 7.5L);
  EXPECT_EQ(s.L1, 55.0L);
  EXPECT_EQ(s.L2, 35.0L);

  // One force given: F1 and L1 hidden, the stroke relabelled.
  SpringData().Point1Off = 1;
  SpringData().CalcMode = 2;
  ModalDriver d("TForm_Zebgeometrie", [](QWidget& w) {
    EXPECT_FALSE(Get<QGroupBox>(w, "RadioGroup_f12")->isVisible());
    EXPECT_FALSE(Get<QLineEdit>(w, "Edit_f1")->isVisible());
    EXPECT_EQ(Get<QLabel>(w, "Label_sh")->text(), "Federweg s2");
    Click(w, "RadioGroup_mode_2");
    EXPECT_FALSE(Get<QLineEdit>(w, "Edit_l1")->isVisible());
    Click(w, "Button_cancel");
  });
  dialogs_->Dimensions();
}

// Switching the given diameter shows the spring's own value of the chosen
// diameter in both modes that take one; OK without typing leaves the
// spring's diameters as they were.
TEST_F(QtInputDialogsTest, DiameterSwitchShowsTheSpringsOwnDiameter) {
  SpringDataRecord& s = SpringData();
  s.DiameterGiven = 3;
  DeriveDiameters(3);
  const SpringDataRecord before = s;
  const auto shown = [](Real x) { return QString::fromStdString(FormatLength(x)); };
  for (const auto& [mode, edit] : {std::pair{"RadioGroup_mode_1", "Edit_de"}, {"RadioGroup_mode_2", "Edit_de2"}}) {
    SCOPED_TRACE(edit);
    s.DiameterGiven = 3;
    ModalDriver d("TForm_Zebgeometrie", [&, mode = mode, edit = edit](QWidget& w) {
      Click(w, mode);
      EXPECT_EQ(Text(w, edit), shown(before.Dm));
      Click(w, "RadioGroup_dm_0");
      EXPECT_EQ(Text(w, edit), shown(before.De));
      Click(w, "RadioGroup_dm_1");
      EXPECT_EQ(Text(w, edit), shown(before.Di));
      Click(w, "Button_ok");
    });
    EXPECT_TRUE(dialogs_->Dimensions());
    EXPECT_EQ(s.DiameterGiven, 2);
    EXPECT_EQ(s.Di, before.Di);
    EXPECT_NEAR(static_cast<double>(s.De), static_cast<double>(before.De), 1e-9);
    EXPECT_NEAR(static_cast<double>(s.Dm), static_cast<double>(before.Dm), 1e-9);
    EXPECT_EQ(s.d, before.d);
  }
}

TEST_F(QtInputDialogsTest, ToleranceShowsGradesAndStoresOwnValues) {
  RunRecalculation();
  const Real l0 = SpringData().TolL0, f2 = SpringData().TolF2;  // 2.1501..., 6.2326...
  ModalDriver d("TForm_toleranz", [](QWidget& w) {
    EXPECT_EQ(Text(w, "Edit21"), "2.15");
    EXPECT_EQ(Text(w, "Edit22"), "-2.15");
    EXPECT_FALSE(Get<QLineEdit>(w, "Edit21")->isEnabled());
    Click(w, "rb35a");
    auto* max = Get<QLineEdit>(w, "Edit33");
    EXPECT_TRUE(max->isEnabled());
    max->clear();
    emit max->textEdited(QString());
    Get<QComboBox>(w, "ComboBox_fertausgl")->setCurrentIndex(3);
    EXPECT_FALSE(Get<QLabel>(w, "GroupBox2")->styleSheet().isEmpty());
    EXPECT_TRUE(Get<QLabel>(w, "GroupBox1")->styleSheet().isEmpty());
    Click(w, "Button_cancel");
  });
  EXPECT_FALSE(dialogs_->Tolerance());
  // Grades and own values were stored while the dialog was open.
  EXPECT_EQ(SpringData().GradeF2, 5);
  EXPECT_EQ(SpringData().TolF2, f2);  // the emptied field stored nothing
  EXPECT_EQ(SpringData().TolL0, l0);  // shown rounded, kept exact
  EXPECT_EQ(SpringData().Allowance, 6);
}

TEST_F(QtInputDialogsTest, ApplicationUnitsAndSeatingCoefficient) {
  ModalDriver d("TEingabeEinsatzfall", [](QWidget& w) {
    Type(w, "Edit_nue", "0");
    Click(w, "Button_metric");
    EXPECT_EQ(Text(w, "Edit_temperatur"), "68");
    Type(w, "Edit_temperatur", "1");
    Click(w, "Button_temperatur");
    EXPECT_EQ(Text(w, "Edit_temperatur"), "68");
    Click(w, "Button3");
    EXPECT_EQ(Text(w, "Edit_nue"), "0.707");
    Type(w, "Edit_nue", "25");
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->Application());
  EXPECT_EQ(G().UnitSystem, 1);
  EXPECT_NEAR(static_cast<double>(SpringData().T), 20.0, 1e-9);
  EXPECT_EQ(SpringData().nue, 10.0L);
}

TEST_F(QtInputDialogsTest, CalculationMethodOkAndCancel) {
  {
    ModalDriver d("TForm_zeb1conf", [](QWidget& w) {
      Get<QComboBox>(w, "ComboBox1")->setCurrentIndex(4);
      Type(w, "Edit_wv", "");
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->CalculationMethod());
  }
  EXPECT_EQ(SpringData().CrossSection, 1);
  SpringData().PreW = 1.0L;
  ModalDriver d("TForm_zeb1conf", [](QWidget& w) {
    Get<QComboBox>(w, "ComboBox1")->setCurrentIndex(4);
    Type(w, "Edit8", "0");
    Click(w, "Button_sichd");
    EXPECT_EQ(Text(w, "Edit_sichd"), "1");
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->CalculationMethod());
  EXPECT_EQ(SpringData().CrossSection, 7);
  EXPECT_EQ(SpringData().PreW, 9.0L);
  EXPECT_EQ(SpringData().Line3DResolution, 2.0L);
}

TEST_F(QtInputDialogsTest, ProductionEndFieldsFollowTheChoice) {
  ModalDriver d("TForm_herstellung", [](QWidget& w) {
    Click(w, "RadioGroup_federenden_0");
    EXPECT_FALSE(Get<QLineEdit>(w, "Edit_x")->isEnabled());
    EXPECT_EQ(Text(w, "Edit_endwindungen"), "angelegt und unbearbeitet");
    Click(w, "RadioGroup_federenden_3");
    EXPECT_TRUE(Get<QLineEdit>(w, "Edit_x")->isEnabled());
    EXPECT_EQ(Get<QLineEdit>(w, "Edit_endwindungen")->maxLength(), 100);
    auto* x = Get<QLineEdit>(w, "Edit_x");
    x->setText("1.25");
    emit x->textEdited("1.25");
    Click(w, "RadioGroup_herstellung_1");
    Click(w, "Button1");
    EXPECT_EQ(Text(w, "Edit_nend1"), "0.75");
    Get<QCheckBox>(w, "CheckBox_kugelstrahlen")->setChecked(true);
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->Production());
  EXPECT_EQ(SpringData().EndForm, 4);
  EXPECT_EQ(SpringData().EndCoilsInput, 1.25L);
  EXPECT_EQ(SpringData().EndCoils[2], 0.75L);
  EXPECT_EQ(SpringData().ShotPeened, 'J');
}

TEST_F(QtInputDialogsTest, ProductionDrawingDataRulesAndOk) {
  SpringData().Lc = 19.5L, SpringData().L2 = 30.0L, SpringData().Ln = 21.5L;
  ZEBWST_Record().Name2 = "1.1200";
  ProductionData().Surface = "alt";
  {
    ModalDriver d("TForm_zebFert", [](QWidget& w) {
      EXPECT_EQ(w.windowTitle(), "Fertigungszeichnung ZEB1");
      EXPECT_EQ(Get<QLabel>(w, "Label_setzen")->text(), QString::fromUtf8("Prüffedern setzen !  Übrige Federn ..."));
      EXPECT_EQ(Get<QGroupBox>(w, "RadioGroup_entgraten")->title(), "Entgraten der Federenden");
      EXPECT_EQ(Get<QRadioButton>(w, "RadioGroup_entgraten_2")->text(), QString::fromUtf8("außen"));
      EXPECT_EQ(Get<QGroupBox>(w, "GroupBox_aufnahme")->title(), QString::fromUtf8("Einzeichnen von Dorn und Hülse"));
      EXPECT_EQ(Get<QGroupBox>(w, "GroupBox_wst")->title(), "REF-Federstahl");
      EXPECT_EQ(Get<QCheckBox>(w, "CheckBox_wstname2")->text(), "1.1200");
      // No third text line: no box without a caption.
      EXPECT_TRUE(Get<QCheckBox>(w, "CheckBox_wstname3")->isHidden());
      EXPECT_EQ(Get<QCheckBox>(w, "CheckBox_p")->text(), "anzeigen Ld, P, m");
      EXPECT_EQ(Text(w, "Edit_oberflaechenschutz"), "alt");
      // "frei" stored: the set-length display open, off, the field locked.
      auto* show = Get<QCheckBox>(w, "CheckBox_setzlang");
      EXPECT_TRUE(show->isEnabled());
      EXPECT_FALSE(Get<QLineEdit>(w, "Edit_setzlaenge")->isEnabled());
      Click(w, "RadioGroup_setzen_0");
      EXPECT_TRUE(show->isChecked());
      EXPECT_FALSE(show->isEnabled());
      EXPECT_TRUE(Get<QLineEdit>(w, "Edit_setzlaenge")->isEnabled());
      Click(w, "Button_l2");
      EXPECT_EQ(Text(w, "Edit_setzlaenge"), "30");
      Click(w, "CheckBox_ls");
      EXPECT_EQ(Text(w, "Edit_setzlaenge"), "19.5");
      EXPECT_FALSE(Get<QLineEdit>(w, "Edit_setzlaenge")->isEnabled());
      Click(w, "Button_ln");  // nothing while "Ls = Lc"
      EXPECT_EQ(Text(w, "Edit_setzlaenge"), "19.5");
      auto* combo = Get<QComboBox>(w, "ComboBox_oflschutz");
      EXPECT_EQ(combo->count(), 7);
      combo->setCurrentIndex(4);
      emit combo->activated(4);
      EXPECT_EQ(Text(w, "Edit_oberflaechenschutz"), QString::fromUtf8("Zink-Aluminium-Überzug"));
      EXPECT_FALSE(Get<QLineEdit>(w, "Edit_oberflaechenschutz")->isEnabled());
      Type(w, "Edit_vontemp", "-30");
      Type(w, "Edit_zus1", QString::fromUtf8("Länge geprüft"));
      EXPECT_EQ(Get<QLineEdit>(w, "Edit_zus2")->maxLength(), 100);
      Get<QCheckBox>(w, "CheckBox_aufnahmedorn")->setChecked(true);
      Get<QCheckBox>(w, "CheckBox_aufnahmehuelse")->setChecked(true);
      Get<QCheckBox>(w, "CheckBox_wstname2")->setChecked(false);
      Get<QCheckBox>(w, "CheckBox_f")->setChecked(false);
      Click(w, "RadioGroup_entgraten_4");
      Click(w, "Button_ok");
    });
    EXPECT_TRUE(dialogs_->ProductionDrawingData());
  }
  const ProductionDataRecord& p = ProductionData();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(p.Preset, 1);
  EXPECT_EQ(p.Deburr, 5);
  EXPECT_EQ(p.ShowSetLength, 1);
  EXPECT_EQ(p.SetLengthIsLc, 1);
  EXPECT_EQ(p.Ls, 19.5L);
  EXPECT_EQ(p.SurfaceCode, 4);
  EXPECT_EQ(p.Surface, "Zink-Aluminium-\x9A" "berzug");
  EXPECT_EQ(p.Extra1, "L\x84" "nge gepr\x81" "ft");
  EXPECT_EQ(p.Picture, 3);
  EXPECT_EQ(SpringData().T1, -30.0L);
  EXPECT_EQ(SpringData().HideMaterialLine2, 1);
  EXPECT_EQ(SpringData().HideMaterialLine3, 0);
  EXPECT_EQ(SpringData().ShowLd, 0);
  EXPECT_EQ(SpringData().ShowM, 1);

  // Cancel writes nothing.
  {
    ModalDriver d("TForm_zebFert", [](QWidget& w) {
      Type(w, "Edit_zus1", "verworfen");
      Get<QCheckBox>(w, "CheckBox_aufnahmedorn")->setChecked(false);
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->ProductionDrawingData());
  }
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(p.Extra1, "L\x84" "nge gepr\x81" "ft");
  EXPECT_EQ(p.Picture, 3);
}

TEST_F(QtInputDialogsTest, ProductionDrawingAsksWithTheSameForm) {
  InstallQtInputDialogs(nullptr);
  {
    ModalDriver d("TForm_zebFert", [](QWidget& w) {
      Type(w, "Edit_zus2", "aus der Zeichnung");
      Click(w, "Button_ok");
    });
    G().AbortFlag = 1;
    ProductionDataDialog().Run();
  }
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().ModifiedFlag, 1);
  EXPECT_EQ(ProductionData().Extra2, "aus der Zeichnung");
  // Cancel before a drawing: the abort flag is set and nothing is drawn.
  G().ModifiedFlag = 0;
  {
    ModalDriver d("TForm_zebFert", [](QWidget& w) { Click(w, "Button_cancel"); });
    DrawProductionDrawing(0);
  }
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_EQ(G().HelpNumber, 9010);  // the drawing's own help number comes only with its output
  // Uninstalled, the drawings are back to the scripted stand-in.
  UninstallQtInputDialogs();
  EXPECT_NE(dynamic_cast<ScriptedProductionDataForm*>(&ProductionDataDialog()), nullptr);
}

TEST_F(QtInputDialogsTest, TitleBlockAndValueTable) {
  {
    ModalDriver d("TEingabetext1", [](QWidget& w) {
      EXPECT_EQ(Get<QLineEdit>(w, "Edit_zeichname")->maxLength(), 25);
      Type(w, "Edit_zeichnr", "4711");
      Type(w, "Edit_bemerk1", QString::fromUtf8("Prüfung"));
      Click(w, "Button_ok");
    });
    EXPECT_TRUE(dialogs_->TitleBlockTexts());
  }
  EXPECT_EQ(G().TitleBlockLines[1], "Feder   Zeichn.Nr.: 4711");
  EXPECT_EQ(G().TitleBlockLines[2], "Pr\x81" "fung");

  ValueTable() = ValueTableRecord{};
  ValueTable().Name = "L'";
  ModalDriver d("TForm_table6", [](QWidget& w) {
    auto* grid = Get<QTableWidget>(w, "StringGrid1");
    for (int i = 0; i < 8; ++i) Click(w, "Button_add");
    EXPECT_EQ(grid->rowCount(), 6);
    grid->item(0, 1)->setText("1,5");
    grid->item(1, 1)->setText("x");
    Click(w, "Button_del");
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->ValueTable());
  EXPECT_EQ(ValueTable().Count, 5);
  EXPECT_EQ(ValueTable().Values[1], 1.5L);
  EXPECT_EQ(ValueTable().Values[2], 0.0L);
}

CLOCK_TEST_F(QtInputDialogsTest, ChangeEntryDrawingInfoAndDocumentLinks) {
  InstallQtInputDialogs(nullptr);
  // The change log's printout goes into a folder of the test's own.
  const test::ScratchDir scratch;
  G().TempFolder = scratch.path();
  ChangeLog() = DefaultChangeLog();
  {
    ModalDriver d("TForm_EinAend", [](QWidget& w) {
      EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Änderung 1"));
      EXPECT_EQ(Get<QLineEdit>(w, "Edit_bearbeiter")->maxLength(), 5);
      Type(w, "Edit_aenderung", "Draht");
      Get<QPlainTextEdit>(w, "Memo_beschreibung")->setPlainText("eins\nzwei");
      Click(w, "Button_ok");
    });
    ui().ExpectTextViewer("");
    ChangeLogCommand(1);
  }
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 1);
  EXPECT_EQ(ChangeLog().ChangeEntries[1].Description, "eins\r\nzwei");
  EXPECT_EQ(G().ModifiedFlag, 1);
  {
    ModalDriver d("TForm_zeichInfo", [](QWidget& w) {
      auto* texts = Get<QTableWidget>(w, "StringGrid2");
      texts->item(0, 0)->setText("12");
      texts->item(0, 4)->setText("Text");
      // An approval name is cut at 30 characters as it is typed.
      auto* roles = Get<QTableWidget>(w, "StringGrid1");
      roles->item(2, 1)->setText("Dipl.-Ing. Hans-Peter Mustermann-Schmidt");
      EXPECT_EQ(roles->item(2, 1)->text(), "Dipl.-Ing. Hans-Peter Musterma");
      Click(w, "Button_datum2");
      Click(w, "Button_ok");
    });
    EditDrawingInfo();
  }
  EXPECT_EQ(ChangeLog().DrawingTextCount, 1);
  EXPECT_EQ(ChangeLog().DrawingTexts[1].x, 12.0L);
  EXPECT_EQ(ChangeLog().CheckedDate, TodayDateString());
  {
    ModalDriver d("TForm_confDoku", [](QWidget& w) {
      // In the program's language, like every other dialog.
      EXPECT_EQ(w.windowTitle(), "Dokument Setup");
      EXPECT_EQ(Get<QGroupBox>(w, "GroupBox5")->title(), " Dokument 5 ");
      QStringList labels;
      for (QLabel* l : Get<QGroupBox>(w, "GroupBox1")->findChildren<QLabel*>()) labels << l->text();
      EXPECT_EQ(labels, (QStringList{"Programm 1", "Datei 1"}));
      Type(w, "Edit_program1", "prog --flag");
      Type(w, "Edit_file5", "/tmp/a b.txt");
      Click(w, "Button_ok");
    });
    EditDocumentLinks();
  }
  EXPECT_EQ(DocumentLinks()[1].Program, "prog --flag");
  EXPECT_EQ(DocumentLinks()[5].File, "/tmp/a b.txt");
}

// Every "..." that chooses the program of a command line setting (text
// program, HTML browser, a document's program, the plot program): a path
// with blanks becomes one word of the line, the program the line starts;
// a document's file is one argument and stays as chosen.
TEST_F(QtInputDialogsTest, ChosenProgramsWithBlanksStayOneWordOfTheirLine) {
  InstallQtInputDialogs(nullptr);
  const std::string program = "/opt/mein Browser/bin/view er";
  const auto first = [](const std::string& line) {
    const std::vector<std::string> words = SplitCommandLine(line);
    return words.empty() ? std::string() : words.front();
  };
  for (const char* button : {"Button_externtxt", "Button_externhtml"}) {
    SCOPED_TRACE(button);
    ui().ExpectOpenFile(program);
    ModalDriver d("Tconfig", [&](QWidget& w) {
      Click(w, button);
      Click(w, "Button_ok");
    });
    EXPECT_TRUE(dialogs_->Configuration());
    EXPECT_EQ(first(std::string(button) == "Button_externtxt" ? G().TextProgramPath : G().HtmlBrowserPath), program);
  }
  ui().ExpectOpenFile(program);
  ui().ExpectOpenFile("/tmp/a b.txt");
  {
    ModalDriver d("TForm_confDoku", [](QWidget& w) {
      Click(w, "Button_program1");
      Click(w, "Button_file1");
      Click(w, "Button_ok");
    });
    EditDocumentLinks();
  }
  EXPECT_EQ(first(DocumentLinks()[1].Program), program);
  EXPECT_EQ(DocumentLinks()[1].File, "/tmp/a b.txt");
  EXPECT_EQ(DocumentLinkArguments(1), (std::vector<std::string>{program, "/tmp/a b.txt"}));
  // The plot program and the plot file in a temporary folder with blanks.
  G().TempFolder = "/tmp/mit Leer";
  ui().ExpectOpenFile(program);
  ModalDriver d("TForm_confgravelo", [](QWidget& w) {
    Click(w, "Button_gravelopath");
    Click(w, "Button_ok");
  });
  std::string line = "gegeben";
  EXPECT_TRUE(PlotConfig().Edit(line));
  EXPECT_EQ(SplitCommandLine(line), (std::vector<std::string>{program, "/tmp/mit Leer/gravelo", "/CHPL"}));
}

TEST_F(QtInputDialogsTest, PlotFormAndColourPicker) {
  InstallQtInputDialogs(nullptr);
  G().TempFolder = "/tmp/zeb";
  {
    ModalDriver d("TForm_confgravelo", [](QWidget& w) {
      EXPECT_EQ(Get<QLabel>(w, "Label_commandline")->text(), "c:\\gravelo\\wgravelo /tmp/zeb/gravelo /CHPL");
      Click(w, "RadioGroup_d_0");
      EXPECT_TRUE(Get<QLineEdit>(w, "Edit_com")->isEnabled());
      EXPECT_FALSE(Get<QLineEdit>(w, "Edit_lpt")->isEnabled());
      Type(w, "Edit_com", "2");
      Click(w, "CheckBox_scale");
      EXPECT_EQ(Text(w, "Edit_scale"), "0");
      Click(w, "Button_ok");
    });
    std::string line = "gegeben";
    EXPECT_TRUE(PlotConfig().Edit(line));
    EXPECT_EQ(line, "c:\\gravelo\\wgravelo /tmp/zeb/gravelo /CHPL /D1 /P3 /M*");
  }
  {
    ModalDriver d("TForm_confgravelo", [](QWidget& w) { Click(w, "Button_ok"); });
    std::string line = "gegeben";
    EXPECT_TRUE(PlotConfig().Edit(line));
    EXPECT_EQ(line, "gegeben");
  }
  {
    ModalDriver d("TForm_selectcolor", [](QWidget& w) {
      auto* list = Get<QListWidget>(w, "ListBox_colors");
      EXPECT_EQ(list->count(), 16);
      EXPECT_EQ(list->item(2)->text(), QString::fromUtf8("3 (grün)"));
      EXPECT_TRUE(list->selectedItems().isEmpty());
      Click(w, "Button_ok");
    });
    EXPECT_EQ(PickColour(nullptr, 0), 0);
  }
  {
    ModalDriver d("TForm_selectcolor", [](QWidget& w) {
      Get<QListWidget>(w, "ListBox_colors")->setCurrentRow(4);
      Click(w, "Button_cancel");
    });
    EXPECT_EQ(PickColour(nullptr, 2), 2);
    EXPECT_EQ(G().AbortFlag, 0);
  }
  ModalDriver d("TForm_selectcolor", [](QWidget& w) {
    Get<QListWidget>(w, "ListBox_colors")->setCurrentRow(4);
    Click(w, "Button_ok");
  });
  EXPECT_EQ(PickColour(nullptr, 2), 5);
}

TEST_F(QtInputDialogsTest, PrintSetUpFollowsThePrinterAndShowsItsInformation) {
  auto printer = std::make_shared<HeadlessPrinter>(true);
  SetPrinterPort(printer);
  PrinterSeams seams;
  seams.printDialog = [](bool& landscape) {
    landscape = true;
    return true;
  };
  seams.facts = [] {
    PrinterFacts f;
    f.name = "Laser";
    f.fonts = {"A", "B", "C", "D", "E", "F"};
    return f;
  };
  G().PrinterMode = 2;
  int infoRows = 0;
  ModalDriver info("TForm_printerinfo", [&](QWidget& w) {
    auto* grid = Get<QTableWidget>(w, "StringGrid1");
    infoRows = grid->rowCount();
    EXPECT_EQ(grid->item(0, 1)->text(), "Laser");
    EXPECT_EQ(grid->item(21, 1)->text(), "F");
    Click(w, "Button_ok");
  });
  ModalDriver d("TForm_printconf", [](QWidget& w) {
    EXPECT_EQ(Text(w, "Edit_scalex"), "1.8");
    EXPECT_EQ(Text(w, "Edit_scaley"), "1");
    EXPECT_EQ(Text(w, "Edit_xorigin"), "0");
    EXPECT_FALSE(Get<QCheckBox>(w, "CheckBox_umrandung")->isChecked());
    EXPECT_TRUE(Get<QRadioButton>(w, "RadioGroup_hochquer_0")->isChecked());
    EXPECT_TRUE(Get<QLabel>(w, "Label_printer")->text().endsWith("Laser"));
    Click(w, "Button_printer");
    EXPECT_TRUE(Get<QRadioButton>(w, "RadioGroup_hochquer_1")->isChecked());
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(RunPrintSetup(nullptr, true, seams));
  EXPECT_EQ(infoRows, 22);
  EXPECT_TRUE(printer->Landscape());
  for (const std::string& c : printer->Calls()) EXPECT_NE(c, "BeginDoc");
  SetPrinterPort(nullptr);
}

}  // namespace
}  // namespace zeb

namespace zeb {
namespace {

TEST_F(QtInputDialogsTest, FileListPickLoadsAndSortingDoesNot) {
  namespace fs = std::filesystem;
  const fs::path dir = test::FreshTestFolder("zeb1_qtlist_", {"daten"}) / "daten";
  auto tables = test::InstallRefMaterialTable();
  RunRecalculation();
  WriteSpringFile((dir / "b.zeb").string());
  SpringData().L0 = 70;
  RunRecalculation();
  WriteSpringFile((dir / "A.zeb").string());
  G().CurrentDataFolder = dir.string() + "/";
  G().CurrentFileName = "offen";
  G().ModifiedFlag = 0;
  SpringData().L0 = 55;
  int shown = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* w = dynamic_cast<TForm_preview*>(QApplication::activeModalWidget());
    if (w == nullptr || w->property("driven").toBool()) return;
    w->setProperty("driven", true);
    ++shown;
    QTableWidget* grid = w->StringGrid1;
    if (shown == 1) {
      EXPECT_EQ(grid->rowCount(), 2);
      EXPECT_EQ(grid->columnCount(), 35);
      EXPECT_EQ(grid->item(0, 0)->text(), "A.zeb");
      w->Sort(6);  // L0: "60.00" before "70.00"
      EXPECT_EQ(grid->item(0, 0)->text(), "b.zeb");
      EXPECT_EQ(SpringData().L0, 55.0L);
      EXPECT_EQ(G().CurrentFileName, "offen");
      emit grid->cellClicked(1, 3);  // A.zeb
    } else {
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    }
  });
  timer.start(5);
  RunFileListCommand(nullptr);
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(G().CurrentFileName, "A");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_NEAR(static_cast<double>(SpringData().L0), 70.0, 1e-6);
  fs::remove_all(dir.parent_path());
}

// Each help button shows its own help text and leaves AbortFlag 0.
TEST_F(QtInputDialogsTest, ConfigurationShowsAndStoresTheSettings) {
  BaseGlobals& g = G();
  g.OutputTarget = 9;
  g.DecimalsSetting = 8;
  g.TextWindowHeight = 440;
  Config().ResolutionY = 599;
  {
    // The folder page is named in the session's language: German here.
    ModalDriver d("Tconfig", [](QWidget& w) {
      auto* tabs = Get<QTabWidget>(w, "PageControl1");
      EXPECT_EQ(tabs->tabText(tabs->indexOf(Get<QWidget>(w, "Tab_dir"))), "Ordner");
      EXPECT_EQ(Get<QGroupBox>(w, "GroupBox_dir")->title(), "Ordner");
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->Configuration());
  }
  {
    g.MenuLanguage = 2;
    ModalDriver d("Tconfig", [](QWidget& w) {
      auto* tabs = Get<QTabWidget>(w, "PageControl1");
      EXPECT_EQ(tabs->tabText(tabs->indexOf(Get<QWidget>(w, "Tab_dir"))), "Directories");
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->Configuration());
    g.MenuLanguage = 0;
  }
  {
    ModalDriver d("Tconfig", [](QWidget& w) {
      EXPECT_EQ(Get<QTabWidget>(w, "PageControl1")->currentWidget()->objectName(), "Tab_grafik");
      Get<QSpinBox>(w, "SpinEdit_linesperpage")->setValue(1);
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->Configuration());
  }
  EXPECT_EQ(g.AbortFlag, 1);
  EXPECT_EQ(g.OutputTarget, 9);
  EXPECT_EQ(g.LinesPerPage, 66);
  ModalDriver d("Tconfig", [](QWidget& w) {
    EXPECT_EQ(Get<QComboBox>(w, "ComboBox_ausdruckdefault")->currentText(), "Bildschirm");
    auto* decimals = Get<QSpinBox>(w, "SpinEdit_dezimalstellen");
    EXPECT_EQ(decimals->value(), 6);
    decimals->setValue(9);
    EXPECT_EQ(decimals->value(), 6);
    Click(w, "RadioGroup_ergebnisgrafik_6");
    Get<QCheckBox>(w, "CheckBox_zeichlogo")->setChecked(false);
    Type(w, "Edit_height", "20");
    Type(w, "Edit_massfaktorconfig", "0.005");
    Click(w, "Button_layer5");
    EXPECT_EQ(Get<QTableWidget>(w, "StringGrid_layer")->item(0, 0)->text(), "5");
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->Configuration());
  EXPECT_EQ(g.AbortFlag, 0);
  EXPECT_EQ(g.OutputTarget, 1);
  EXPECT_EQ(g.DecimalsSetting, 6);
  EXPECT_EQ(Config().CurrentDrawingKind, 6);
  EXPECT_EQ(Config().HideLogo, 1);
  EXPECT_EQ(g.TextWindowHeight, 580);
  EXPECT_EQ(CadSettings().CadUnitFactor, 1.0L);
}

// The text printer is chosen among the system's printers and the PDF file,
// not among parallel ports; the choice is stored as its number.
TEST_F(QtInputDialogsTest, TextPrinterChoicesAreTheSystemPrintersAndThePdfFile) {
  QStringList expected;
  for (const QString& name : QPrinterInfo::availablePrinterNames())
    if (expected.size() < 3) expected << name;
  expected << "PDF-Datei";
  G().PrinterPortNumber = 1;
  ModalDriver d("Tconfig", [&](QWidget& w) {
    QStringList shown;
    for (QRadioButton* b : Get<QGroupBox>(w, "RadioGroup_lpt")->findChildren<QRadioButton*>()) shown << b->text();
    EXPECT_EQ(shown, expected);
    EXPECT_FALSE(shown.contains("LPT1"));
    Click(w, QString("RadioGroup_lpt_%1").arg(expected.size() - 1).toStdString().c_str());
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->Configuration());
  EXPECT_EQ(G().PrinterPortNumber, expected.size());
}

// open() opens the colour picker: it picks line row (OK), or cancels when
// row is negative.
void PickLine(int row, const std::function<void()>& open) {
  ModalDriver picker("TForm_selectcolor", [row](QWidget& p) {
    if (row < 0) {
      G().AbortFlag = 1;
      Click(p, "Button_cancel");
      return;
    }
    Get<QListWidget>(p, "ListBox_colors")->setCurrentRow(row);
    Click(p, "Button_ok");
  });
  open();
}

class ConfigSeamsTest : public QtInputDialogsTest {
 protected:
  void SetUp() override {
    QtInputDialogsTest::SetUp();
    InitDefaultColors();
    SetScreenMetrics({});
    SetConfigDialogSeams({[this](std::uint32_t& c) {
                            if (colours_.empty()) return false;
                            c = colours_.front();
                            colours_.erase(colours_.begin());
                            return true;
                          },
                          [this](FontChoice& f, bool fixedPitch) {
                            fixedPitch_.push_back(fixedPitch);
                            f = fixedPitch ? FontChoice{"DejaVu Sans Mono", 11, 2} : FontChoice{"DejaVu Sans", 0, 3};
                            return true;
                          }});
  }
  void TearDown() override {
    SetConfigDialogSeams({});
    SetPlotConfigForm(nullptr);
    QtInputDialogsTest::TearDown();
  }
  std::vector<std::uint32_t> colours_;
  std::vector<bool> fixedPitch_;
};

// Cancel drops every control, but not what the immediate buttons stored.
TEST_F(ConfigSeamsTest, CancelKeepsOnlyTheImmediateButtons) {
  BaseGlobals& g = G();
  g.ColourTable[2] = 0x010203;
  CadSettings().CadUserColours[2] = 4;
  colours_ = {0x00FF8040, 0x123456};
  ModalDriver d("Tconfig", [](QWidget& w) {
    EXPECT_EQ(w.windowTitle(), "ZEB1 Konfiguration");
    EXPECT_EQ(Get<QLabel>(w, "Panel_colour")->text(), "1024 x 768");
    Click(w, "Button_hintergrundfarbe");
    EXPECT_EQ(G().BackgroundColour, 0x00FF8040);
    Click(w, "Button_resetcolor");
    EXPECT_EQ(G().ColourTable[2], 0x00FF00u);

    // The picker only from the colour column; Cancel changes nothing.
    auto* grid = Get<QTableWidget>(w, "StringGrid_color");
    EXPECT_EQ(grid->verticalHeaderItem(15)->text(), QString::fromUtf8("Farbe für Layer 31"));
    EXPECT_GE(grid->columnWidth(0), 60);
    grid->setCurrentCell(2, 1);
    Click(w, "Button_selectcolor");
    grid->setCurrentCell(2, 0);
    PickLine(6, [&] { Click(w, "Button_selectcolor"); });
    EXPECT_EQ(grid->item(2, 0)->text(), "7");
    PickLine(-1, [&] { Click(w, "Button_selectcolor"); });
    EXPECT_EQ(G().AbortFlag, 0);
    EXPECT_EQ(grid->item(2, 0)->text(), "7");
    grid->setCurrentCell(5, 0);
    PickLine(0, [&] { emit grid->cellDoubleClicked(5, 0); });
    EXPECT_EQ(grid->item(5, 0)->text(), "1");
    Click(w, "Button_dick2");
    for (int r = 0; r < 16; ++r) EXPECT_EQ(grid->item(r, 1)->text(), "2");
    Click(w, "Panel_color4");
    EXPECT_TRUE(Get<QPushButton>(w, "Panel_color4")->styleSheet().contains("#563412"));
    Click(w, "Button_cancel");
  });
  EXPECT_FALSE(dialogs_->Configuration());
  EXPECT_EQ(g.BackgroundColour, 0x00FF8040);
  EXPECT_EQ(g.ColourTable[2], 0x00FF00u);
  EXPECT_EQ(g.ColourTable[4], 0x0000FFu);
  EXPECT_EQ(CadSettings().CadUserColours[2], 4);
  EXPECT_EQ(CadSettings().CadUserWidths[0], 1);
}

// The drawing page names the spring's file as it is on disk, whatever dots
// its name holds and however it was given.
TEST_F(ConfigSeamsTest, TheDrawingPageNamesTheFileOnDisk) {
  BaseGlobals& g = G();
  struct Case {
    std::string name, folder;
    Byte commandLine;
    std::string shown;
  };
  for (const Case& c : {Case{"ventil_3.6", "/d/", 0, "/d/ventil_3.6.zeb"}, Case{"feder", "/d/", 0, "/d/feder.zeb"},
                        Case{"/w/x.zeb", "/d/", 1, "/w/x.zeb"},
                        Case{"kunde.4", "/home/anwender/Dokumente/Kunden/Mueller/", 0,
                             "/home/anwender/Dokumente/Kunden/Mueller/kunde.4.zeb"}}) {
    // A long path is shortened between its start and the file's name.
    const std::string expected = c.shown.size() > 50
                                     ? c.shown.substr(0, 16) + "\u2026" + c.shown.substr(c.shown.size() - 33)
                                     : c.shown;
    g.CurrentFileName = c.name, g.CurrentDataFolder = c.folder, g.CommandLineFileLoaded = c.commandLine;
    g.CurrentFilePath = c.shown;
    ModalDriver d("Tconfig", [&](QWidget& w) {
      EXPECT_EQ(Get<QCheckBox>(w, "CheckBox_zeichfilename")->text().toStdString(), "file name " + expected);
      Click(w, "Button_cancel");
    });
    EXPECT_FALSE(dialogs_->Configuration());
  }
}

TEST_F(ConfigSeamsTest, OkStoresFontsColoursFoldersAndPlotLines) {
  BaseGlobals& g = G();
  auto plot = std::make_shared<ScriptedPlotConfigForm>();
  plot->Answer("gravelo /CPS");
  SetPlotConfigForm(plot);
  colours_ = {0x123456};
  CadSettings().CadPlotCommandLines = {"p1", "p2", "p3", "p4", "p5"};
  ui().ExpectInputText("GRAVELO Command Line", "plot 3").Value("p3");
  ui().ExpectFolder("/data/dbf");
  ModalDriver d("Tconfig", [](QWidget& w) {
    Click(w, "Button_font");
    EXPECT_EQ(Text(w, "Edit_font"), "DejaVu Sans");
    EXPECT_EQ(Get<QLabel>(w, "Label_hstyle")->text(), "3");
    Click(w, "Button_textfont");
    EXPECT_EQ(Get<QLabel>(w, "Label_courier")->text(), "DejaVu Sans Mono");
    EXPECT_EQ(Get<QLabel>(w, "Label_couriersize")->text(), "11");
    EXPECT_EQ(Get<QLabel>(w, "Label_courierstyle")->text(), "2");
    Click(w, "Panel_color4");
    auto* grid = Get<QTableWidget>(w, "StringGrid_color");
    grid->setCurrentCell(2, 0);
    PickLine(6, [&] { Click(w, "Button_selectcolor"); });
    auto* layers = Get<QTableWidget>(w, "StringGrid_layer");
    layers->setCurrentCell(1, 2);
    PickLine(9, [&] { Click(w, "Button_selectlayercolor"); });
    EXPECT_EQ(layers->item(1, 1)->text(), "10");
    Click(w, "Button_confgravelo");  // no line selected: line 1
    EXPECT_EQ(Get<QListWidget>(w, "ListBox_gravelo")->item(0)->text(), "gravelo /CPS");
    Get<QListWidget>(w, "ListBox_gravelo")->setCurrentRow(2);
    Click(w, "Button_editgravelocommandline");
    Click(w, "Button_dirdbf");
    EXPECT_EQ(Text(w, "Edit_dirdbf"), "/data/dbf");
    Click(w, "Button_aufloesung");  // 1024 x (768 - round(46 x 1.65))
    EXPECT_EQ(Text(w, "Edit_x"), "1024");
    EXPECT_EQ(Text(w, "Edit_y"), "692");
    Click(w, "Button_printscalex1");
    Click(w, "Button_dxfdec");
    Click(w, "Button_ok");
  });
  EXPECT_TRUE(dialogs_->Configuration());
  EXPECT_EQ(fixedPitch_, (std::vector<bool>{false, true}));
  EXPECT_EQ(g.GraphicTextFont, "DejaVu Sans");
  EXPECT_EQ(g.GraphicTextStyle, 3);
  EXPECT_EQ(g.TextFontPrintout, "DejaVu Sans Mono");
  EXPECT_EQ(g.TextSizePrintout, 11);
  EXPECT_EQ(g.TextStylePrintout, 2);
  EXPECT_EQ(g.ColourTable[4], 0x123456u);
  EXPECT_EQ(CadSettings().CadUserColours[2], 7);
  EXPECT_EQ(CadSettings().CadLayerColours[4], 10);  // row 2 is layer 4
  EXPECT_EQ(CadSettings().CadPlotCommandLines[0], "gravelo /CPS");
  EXPECT_EQ(CadSettings().CadPlotCommandLines[2], "plot 3");
  EXPECT_EQ(g.DbfFolder, "/data/dbf");
  EXPECT_EQ(Config().ResolutionX, 1023);
  EXPECT_EQ(Config().ResolutionY, 691);
  EXPECT_EQ(g.ScreendumpScale, 1.0L);
  EXPECT_EQ(CadSettings().DxfDecimals, 6);
}

// Export and import ask through the file choosers; a cancel sets AbortFlag.
TEST_F(QtInputDialogsTest, ConfigurationExportAndImportCancelled) {
  ui().ExpectSaveFile(std::nullopt);
  ui().ExpectOpenFile(std::nullopt);
  ModalDriver d("Tconfig", [](QWidget& w) {
    Click(w, "Button_export");
    EXPECT_EQ(G().AbortFlag, 1);
    G().AbortFlag = 0;
    Click(w, "Button_import");
    EXPECT_EQ(G().AbortFlag, 1);
    Click(w, "Button_cancel");
  });
  EXPECT_FALSE(dialogs_->Configuration());
  EXPECT_EQ(ui().shown().size(), 2u);
}

// Hints from the help texts only above help level 0, except two; a control
// whose help text is missing gets no hint at all.
TEST_F(QtInputDialogsTest, ConfigurationHintsFollowTheHelpLevel) {
  G().HelpFolder = ZEB1_HELP_FOLDER;
  for (int level : {0, 1}) {
    G().HelpLevel = static_cast<std::int16_t>(level);
    ModalDriver d("Tconfig", [level](QWidget& w) {
      EXPECT_EQ(Get<QLabel>(w, "Label_dircad")->toolTip().isEmpty(), level == 0);
      EXPECT_EQ(Get<QGroupBox>(w, "GroupBox_aufloesung")->toolTip().isEmpty(), level == 0);
      EXPECT_FALSE(Get<QGroupBox>(w, "RadioGroup_ergebnisgrafik")->toolTip().isEmpty());
      EXPECT_FALSE(Get<QLabel>(w, "Label_externtxt")->toolTip().isEmpty());
      Click(w, "Button_cancel");
    });
    dialogs_->Configuration();
  }
  G().HelpFolder = "/nonexistent/help/";
  ModalDriver d("Tconfig", [](QWidget& w) {
    EXPECT_TRUE(Get<QLabel>(w, "Label_dircad")->toolTip().isEmpty());
    EXPECT_TRUE(Get<QGroupBox>(w, "RadioGroup_ergebnisgrafik")->toolTip().isEmpty());
    Click(w, "Button_cancel");
  });
  dialogs_->Configuration();
}

TEST_F(QtInputDialogsTest, HelpButtonsShowTheirNumbers) {
  struct Case {
    const char* form;
    const char* button;
    int number;
    std::function<void()> open;
  };
  InstallQtInputDialogs(nullptr);
  ChangeLog() = DefaultChangeLog();
  const std::vector<Case> cases{
      {"TForm_Zebgeometrie", "Button_help", 9100, [this] { dialogs_->Dimensions(); }},
      {"TForm_toleranz", "Button_help", 9050, [this] { dialogs_->Tolerance(); }},
      {"TEingabeEinsatzfall", "Button_hilfetext", 9020, [this] { dialogs_->Application(); }},
      {"TForm_zeb1conf", "Button_help", 1000, [this] { dialogs_->CalculationMethod(); }},
      {"TForm_herstellung", "Button_hilfetext", 9040, [this] { dialogs_->Production(); }},
      {"TForm_zebFert", "Button_help", 9010, [this] { dialogs_->ProductionDrawingData(); }},
      {"TForm_zeichInfo", "Button_help", 3010, [] { EditDrawingInfo(); }},
      {"TForm_confDoku", "Button_help", 2730, [] { EditDocumentLinks(); }},
      {"Tconfig", "Button_grafikhilfe", 1940, [this] { dialogs_->Configuration(); }},
      {"Tconfig", "Button_helpcad", 1920, [this] { dialogs_->Configuration(); }},
      {"Tconfig", "Button_layerhilfe", 1910, [this] { dialogs_->Configuration(); }},
      {"Tconfig", "Button_colorhilfe", 1555, [this] { dialogs_->Configuration(); }},
      {"Tconfig", "Button_helpprint", 1935, [this] { dialogs_->Configuration(); }},
      {"Tconfig", "Button_helpausdruck", 1930, [this] { dialogs_->Configuration(); }},
      {"Tconfig", "Button_workingDir", 1605, [this] { dialogs_->Configuration(); }},
      {"TForm_confgravelo", "Button_help", 2055, [] {
         std::string line;
         PlotConfig().Edit(line);
       }}};
  for (const Case& c : cases) {
    ui().ExpectMessageBox("HILFETEXT Nr." + std::to_string(c.number), "");
    ModalDriver d(c.form, [&](QWidget& w) {
      G().AbortFlag = 1;
      Click(w, c.button);
      EXPECT_EQ(G().AbortFlag, 0) << c.form;
      Click(w, "Button_cancel");
    });
    c.open();
  }
}

}  // namespace
}  // namespace zeb
