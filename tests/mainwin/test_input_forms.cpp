// The input forms without widgets: title block, application, calculation
// method and tolerances, filled from and applied to the reference spring.
#include <gtest/gtest.h>

#include "base/globals.h"
#include "base/format.h"
#include "base/services.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/input_forms.h"
#include "spring/formulas.h"
#include "spring/valuetable.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"
#include "spring/spring_data.h"

namespace zeb {
namespace {

class InputFormsTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    test::MakeRefSpring();
  }
};

TEST_F(InputFormsTest, TitleBlockBuildsTheTitleLineAndConvertsTexts) {
  TitleBlockForm f = FillTitleBlockForm();
  EXPECT_EQ(f.name, "Feder");
  f.number = "4711";
  f.line1 = "Pr\xFC" "ffeder";  // 1252 u-umlaut
  f.line2 = std::string(70, 'x');
  ApplyTitleBlockForm(f);
  EXPECT_EQ(G().TitleBlockLines[1], "Feder   Zeichn.Nr.: 4711");
  EXPECT_EQ(G().TitleBlockLines[2], "Pr\x81" "ffeder");  // code page 850
  EXPECT_EQ(G().TitleBlockLines[3], std::string(65, 'x'));
  EXPECT_EQ(SpringData().DrawingNo, "4711");
  // Shown again as typed.
  EXPECT_EQ(FillTitleBlockForm().line1, "Pr\xFC" "ffeder");

  f.number.clear();
  f.name = std::string(30, 'N');
  ApplyTitleBlockForm(f);
  EXPECT_EQ(G().TitleBlockLines[1], std::string(25, 'N') + "   Zeichn.Nr.: ");
}

TEST_F(InputFormsTest, ApplicationClampsNueAndConvertsTemperature) {
  ApplicationForm f = FillApplicationForm();
  EXPECT_EQ(f.loadType, 1);
  EXPECT_EQ(f.frequency, "10");
  f.nue = "0";
  ApplyApplicationForm(f);
  EXPECT_EQ(SpringData().nue, 0.001L);
  f.nue = "25";
  f.frequency = "abc";
  f.mass = "1e99999";
  f.loadType = 0;
  ApplyApplicationForm(f);
  EXPECT_EQ(SpringData().nue, 10.0L);
  // Texts that are not numbers keep the values.
  EXPECT_EQ(SpringData().f, 10.0L);
  EXPECT_EQ(SpringData().ExternalMass, 0.05L);
  EXPECT_EQ(SpringData().LoadType, 1);

  // English units: 20 degrees Celsius are 68 Fahrenheit, and back.
  G().UnitSystem = 1;
  EXPECT_EQ(DefaultTemperatureText(), "68");
  f.temperature = DefaultTemperatureText();
  ApplyApplicationForm(f);
  EXPECT_NEAR(static_cast<double>(SpringData().T), 20.0, 1e-9);
}

TEST_F(InputFormsTest, CalculationMethodStoresCodesWithCorrections) {
  SpringData().CrossSection = 7;
  CalculationMethodForm f = FillCalculationMethodForm();
  EXPECT_EQ(f.crossSection, 4);
  EXPECT_EQ(CalculationMethodItems("ComboBox1").at(4), "rund, hohl");
  EXPECT_EQ(CalculationMethodItems("ComboBox7").at(1), "Warnungen unterdr\x81" "cken");

  f.crossSection = 4;
  f.preW = "";
  f.preTauRatio = "0";
  f.resolution3d = "0";
  f.forceCount = 1;
  ApplyCalculationMethodForm(f);
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(s.CrossSection, 7);
  EXPECT_EQ(s.PreW, 9.0L);
  EXPECT_EQ(s.PreTauRatio, 1.0L);
  EXPECT_EQ(s.Line3DResolution, 2.0L);
  EXPECT_EQ(s.Point1Off, 1);

  f.preW = "1.4";
  ApplyCalculationMethodForm(f);
  EXPECT_EQ(s.PreW, 9.0L);
  f.preW = "1,5";
  f.crossSection = 2;
  ApplyCalculationMethodForm(f);
  EXPECT_EQ(s.PreW, 1.5L);
  EXPECT_EQ(s.CrossSection, 3);

  // A stored code outside the list selects nothing and is kept.
  SpringData().CrossSection = 6;
  f = FillCalculationMethodForm();
  EXPECT_EQ(f.crossSection, -1);
  ApplyCalculationMethodForm(f);
  EXPECT_EQ(s.CrossSection, 6);
}

TEST_F(InputFormsTest, ToleranceGradesShowAndStoreDeviations) {
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  // The deviations of the reference calculation (grade 2 everywhere).
  const Real l0 = SpringData().TolL0, f2 = SpringData().TolF2;
  ASSERT_NE(l0, 2.15L);  // 2.1501...: shown rounded below
  ToleranceForm f = FillToleranceForm();
  EXPECT_EQ(f.max[kTolL0], "2.15");
  EXPECT_EQ(f.min[kTolL0], "-2.15");
  EXPECT_EQ(f.max[kTolF2], "6.233");
  EXPECT_FALSE(f.editable[kTolL0]);
  // Showing them stores nothing: the exact values stay.
  EXPECT_EQ(SpringData().TolL0, l0);
  EXPECT_EQ(SpringData().TolF2Minus, -f2);

  // Own entry: the field shows the deviation of grade 2 and the spring
  // holds it unrounded; typing stores at once; an empty field stores
  // nothing.
  ChooseToleranceGrade(f, kTolF2, 5);
  EXPECT_TRUE(f.editable[kTolF2]);
  EXPECT_EQ(f.max[kTolF2], "6.233");
  EXPECT_EQ(SpringData().TolF2, f2);
  EditToleranceMax(f, kTolF2, "");
  EditToleranceMin(f, kTolF2, "-3,5");
  EXPECT_EQ(SpringData().GradeF2, 5);
  EXPECT_EQ(SpringData().TolF2, f2);
  EXPECT_EQ(SpringData().TolF2Minus, -3.5L);
  // Filled again, grade 5 shows what is stored.
  ToleranceForm g = FillToleranceForm();
  EXPECT_EQ(g.min[kTolF2], "-3.5");
  EXPECT_EQ(SpringData().TolF2Minus, -3.5L);

  // Not designed yet: the texts stay, nothing is computed.
  SpringData().d = 0;
  f.max[kTolL0] = "keep";
  ChooseToleranceGrade(f, kTolL0, 3);
  EXPECT_EQ(f.max[kTolL0], "keep");
  EXPECT_FALSE(f.editable[kTolL0]);
  EXPECT_EQ(SpringData().GradeL0, 3);
}

TEST_F(InputFormsTest, ToleranceAllowanceAndDiameter) {
  EXPECT_EQ(AllowanceItems().size(), 6u);
  EXPECT_EQ(AllowanceMarks(0), (std::array<bool, 2>{true, false}));
  EXPECT_EQ(AllowanceMarks(1), (std::array<bool, 2>{false, false}));
  EXPECT_EQ(AllowanceMarks(2), (std::array<bool, 2>{false, true}));
  EXPECT_EQ(AllowanceMarks(3), (std::array<bool, 2>{true, false}));
  EXPECT_EQ(AllowanceMarks(4), (std::array<bool, 2>{true, true}));
  EXPECT_EQ(AllowanceMarks(5), (std::array<bool, 2>{false, false}));
  ToleranceForm f = FillToleranceForm();
  EXPECT_EQ(f.allowance, 5);
  ChooseToleranceDiameter(f, 0);
  EXPECT_EQ(SpringData().DiameterGiven, 1);
  f.allowance = 2;
  ApplyToleranceForm(f);
  EXPECT_EQ(SpringData().Allowance, 3);
}

}  // namespace
}  // namespace zeb

namespace zeb {
namespace {

// Wire table browser: field 1 of the chosen record, or cancelled.
class WireTables : public RecordingTables {
 public:
  bool cancel = false;
  void ShowTable(std::string_view command, int mode) override {
    RecordingTables::ShowTable(command, mode);
    if (cancel) G().AbortFlag = 1;
  }
  std::string GetField(int n) override {
    RecordingTables::GetField(n);
    return n == 1 ? " 2.5" : "?";
  }
};

class DimensionFormsTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    test::MakeRefSpring();
  }
  void TearDown() override {
    SetTables(nullptr);
    SpringTest::TearDown();
  }
};

TEST_F(DimensionFormsTest, LayoutFollowsModeForceInputAndPointOne) {
  DimensionsForm f = FillDimensionsForm();
  EXPECT_EQ(f.mode, 2);
  EXPECT_EQ(f.de2, "20");  // Dm given
  DimensionsLayout l = LayoutDimensionsForm(f);
  EXPECT_TRUE(l.recalcGroup && !l.designGroup && !l.preGroup && !l.forceInputGroup);
  EXPECT_EQ(l.diameterLabel, "Windungsdurchmesser Dm");
  f.mode = 1;
  f.forceInput = 2;
  l = LayoutDimensionsForm(f);
  EXPECT_TRUE(l.designGroup && l.forceInputGroup);
  EXPECT_FALSE(l.f1);
  EXPECT_TRUE(l.f2);
  EXPECT_EQ(l.f1Mark, "max");
  f.forceInput = 3;
  l = LayoutDimensionsForm(f);
  EXPECT_FALSE(l.f2);
  EXPECT_EQ(l.f2Mark, "max");
  EXPECT_EQ(l.strokeLabel, "Hub sh");

  SpringData().Point1Off = 1;
  l = LayoutDimensionsForm(f);
  EXPECT_FALSE(l.forceInputGroup || l.f1 || l.l1);
  EXPECT_TRUE(l.f2);
  EXPECT_EQ(l.strokeLabel, "Federweg s2");

  ChooseDimensionsDiameter(f, 0);
  EXPECT_EQ(SpringData().DiameterGiven, 1);
  EXPECT_EQ(LayoutDimensionsForm(f).diameterLabel, "Au\xE1" "endurchmesser De");
}

// Switching the given diameter shows that diameter of the spring; OK
// without typing leaves the spring as it was, a typed value is the new
// diameter's.
TEST_F(DimensionFormsTest, DiameterSwitchChangesNothingUntyped) {
  SpringDataRecord& s = SpringData();
  s.CalcMode = 2;
  s.d = 5.0L, s.DiameterGiven = 3, s.Dm = 34.6L, s.De = 39.6L, s.Di = 29.6L;
  DimensionsForm f = FillDimensionsForm();
  ChooseDimensionsDiameter(f, 0);  // De
  EXPECT_EQ(f.de, "39.6");
  ApplyDimensionsForm(f);
  EXPECT_EQ(s.De, 39.6L);
  EXPECT_NEAR(static_cast<double>(s.Dm), 34.6, 1e-12);
  EXPECT_NEAR(static_cast<double>(s.Di), 29.6, 1e-12);

  f = FillDimensionsForm();
  f.de = "40";
  ChooseDimensionsDiameter(f, 1);  // Di, typed before the switch
  EXPECT_EQ(f.de, "40");
  ApplyDimensionsForm(f);
  EXPECT_EQ(s.Di, 40.0L);
  EXPECT_NEAR(static_cast<double>(s.Dm), 45.0, 1e-12);
}

TEST_F(DimensionFormsTest, RecalculationApplyAndUnitsRoundTrip) {
  DimensionsForm f = FillDimensionsForm();
  f.d = "2,5";
  f.de2 = "25";
  f.l0 = "70";
  f.n = "6.5";
  f.l1 = "60";
  f.l22 = "40";
  f.f1 = "999";  // another mode's field: not read
  ApplyDimensionsForm(f);
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(s.CalcMode, 3);
  EXPECT_EQ(s.d, 2.5L);
  EXPECT_EQ(s.Dm, 25.0L);
  EXPECT_EQ(s.De, 27.5L);  // derived from Dm and d
  EXPECT_EQ(s.Di, 22.5L);
  EXPECT_EQ(s.L0, 70.0L);
  EXPECT_EQ(s.n, 6.5L);
  EXPECT_EQ(s.L1, 60.0L);
  EXPECT_EQ(s.L2, 40.0L);
  EXPECT_NE(s.F1, 999.0L);

  const DimensionsForm before = FillDimensionsForm();
  f = before;
  ToggleDimensionsUnits(f);
  EXPECT_EQ(G().UnitSystem, 1);
  EXPECT_NE(f.l0, before.l0);
  ToggleDimensionsUnits(f);
  EXPECT_EQ(G().UnitSystem, 0);
  EXPECT_EQ(f.l0, before.l0);
  EXPECT_EQ(f.d, before.d);
  EXPECT_EQ(f.de2, before.de2);
  // A value typed in inches is read in inches.
  ToggleDimensionsUnits(f);
  f.l0 = "3";
  ToggleDimensionsUnits(f);
  EXPECT_NEAR(static_cast<double>(SpringData().L0), 76.2, 1e-9);
  EXPECT_EQ(SpringData().d, 2.5L);
}

TEST_F(DimensionFormsTest, WireTableGivesFieldOne) {
  auto tables = std::make_shared<WireTables>();
  SetTables(tables);
  SpringData().WireStd = 3;
  EXPECT_EQ(ChooseWireDiameter(), "2.5");
  EXPECT_EQ(tables->Calls().front(), "OpenWithWriteCheck(din2077)");
  SpringData().WireStd = 9;
  tables->ClearCalls();
  tables->cancel = true;
  EXPECT_EQ(ChooseWireDiameter(), "");
  EXPECT_EQ(tables->Calls().front(), "OpenWithWriteCheck(t10270_1)");
  EXPECT_EQ(tables->Calls().back(), "CloseTable()");
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(DimensionFormsTest, ProductionEndsAndStandardCoils) {
  SpringData().EndFormText = "eigene Enden";
  SpringData().EndCoilsInput = 0.3L;
  ProductionForm f = FillProductionForm();
  // The stored text and constant are shown, whatever the end.
  EXPECT_EQ(f.endFormText, "eigene Enden");
  EXPECT_EQ(f.endFormConstant, "0.3");
  EXPECT_FALSE(f.endFieldsEnabled);
  ChooseProductionEnds(f, 0, 0);
  EXPECT_EQ(f.endFormText, "angelegt und unbearbeitet");
  EXPECT_EQ(f.endFormConstant, FloatToStrSig(EndFormConstant(1, 1)));
  ChooseProductionEnds(f, 3, 0);  // "...": own entry, texts kept
  EXPECT_TRUE(f.endFieldsEnabled);
  EXPECT_EQ(f.endFormText, "angelegt und unbearbeitet");
  f.endFormText = "Gr\xF6\xDF" "e";
  f.endFormConstant = "1.75";
  StandardEndCoils(f);
  EXPECT_EQ(f.endCoils1, "1");
  f.coilingKind = 2;
  StandardEndCoils(f);
  EXPECT_EQ(f.endCoils2, "0.75");
  f.shotPeened = true;
  ApplyProductionForm(f);
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(s.EndForm, 4);
  EXPECT_EQ(s.CoilingKind, 3);
  EXPECT_EQ(s.EndCoils[1], 0.75L);
  EXPECT_EQ(s.EndCoils[0], 1.5L);
  EXPECT_EQ(s.ShotPeened, 'J');
  EXPECT_EQ(s.EndFormText, "Gr\x94\xE1" "e");
  EXPECT_EQ(s.EndCoilsInput, 1.75L);  // A text longer than the field allows keeps its first 100 characters.
  f = FillProductionForm();
  f.endFormText = std::string(100, 'x') + "gefast";
  ApplyProductionForm(f);
  EXPECT_EQ(s.EndFormText, std::string(100, 'x'));
}

class ProductionDrawingFormTest : public InputFormsTest {
 protected:
  void SetUp() override {
    InputFormsTest::SetUp();
    SpringDataRecord& s = SpringData();
    s.Lc = 19.5L, s.L2 = 30.0L, s.Ln = 21.5L;
    s.T1 = -40.0L, s.T2 = 100.0L;
  }
};

TEST_F(ProductionDrawingFormTest, FillShowsStoredValuesWithTheirRules) {
  ProductionDataRecord& p = ProductionData();
  p.Deburr = 5, p.Preset = 1, p.Picture = 2, p.Ls = 25.0L, p.ShowSetLength = 0;
  p.SurfaceCode = 4, p.Surface = "eigene Beschichtung";
  p.Extra1 = "Gr\x94\xE1" "e";  // code page 850
  SpringData().ShowLd = 0, SpringData().ShowM = 1, SpringData().ShowP = 0;
  SpringData().HideMaterialLine3 = 1;
  ZEBWST_Record().Name2 = "1.4310     ";
  ZEBWST_Record().Name3 = "EN 10270-3";
  ProductionDrawingForm f = FillProductionDrawingForm();
  EXPECT_EQ(f.deburr, 4);
  EXPECT_EQ(f.preset, 0);
  // "gesetzt" stored: the set-length display is on and locked, the field open.
  EXPECT_TRUE(f.showSetLength);
  EXPECT_FALSE(f.showSetLengthEnabled);
  EXPECT_TRUE(f.setLengthEnabled);
  EXPECT_EQ(f.setLength, "25");
  EXPECT_EQ(f.tempFrom, "-40");
  EXPECT_EQ(f.tempTo, "100");
  // The stored item is chosen, its text is the stored one.
  EXPECT_EQ(f.surfaceCode, 4);
  EXPECT_EQ(f.surface, "eigene Beschichtung");
  EXPECT_FALSE(f.surfaceEnabled);
  EXPECT_EQ(f.extra1, "Gr\xF6\xDF" "e");
  EXPECT_FALSE(f.mandrel);
  EXPECT_TRUE(f.sleeve);
  EXPECT_FALSE(f.showF);
  EXPECT_TRUE(f.showFn);
  EXPECT_FALSE(f.showP);
  EXPECT_TRUE(f.materialLine2);
  EXPECT_FALSE(f.materialLine3);
  EXPECT_EQ(f.materialName, "REF-Federstahl");
  EXPECT_EQ(f.materialLine2Text, "1.4310");
  EXPECT_EQ(f.materialLine3Text, "EN 10270-3");

  // "Ls = Lc" stored: the field shows Lc and is locked.
  p.SetLengthIsLc = 1;
  p.Preset = 2;
  f = FillProductionDrawingForm();
  EXPECT_EQ(f.setLength, "19.5");
  EXPECT_FALSE(f.setLengthEnabled);
  EXPECT_TRUE(f.showSetLengthEnabled);
  EXPECT_FALSE(f.showSetLength);
}

TEST_F(ProductionDrawingFormTest, PresetAndSetLengthRules) {
  ProductionDrawingForm f = FillProductionDrawingForm();  // preset "frei", display off
  EXPECT_EQ(f.preset, 2);
  EXPECT_FALSE(f.setLengthEnabled);
  SetShowSetLength(f, true);
  EXPECT_TRUE(f.setLengthEnabled);
  SetShowSetLength(f, false);
  EXPECT_FALSE(f.setLengthEnabled);
  ChoosePreset(f, 0);  // "gesetzt" ticks and locks the display
  EXPECT_TRUE(f.showSetLength);
  EXPECT_FALSE(f.showSetLengthEnabled);
  SetShowSetLength(f, false);  // locked
  EXPECT_TRUE(f.showSetLength);
  ChoosePreset(f, 1);
  EXPECT_TRUE(f.showSetLengthEnabled);
  EXPECT_TRUE(f.showSetLength);

  PutSetLength(f, SetLengthSource::kL2);
  EXPECT_EQ(f.setLength, "30");
  PutSetLength(f, SetLengthSource::kLn);
  EXPECT_EQ(f.setLength, "21.5");
  SetSetLengthIsLc(f, true);
  EXPECT_EQ(f.setLength, "19.5");
  EXPECT_FALSE(f.setLengthEnabled);
  // With "Ls = Lc" on, L2 and Ln do nothing; Lc still puts Lc.
  PutSetLength(f, SetLengthSource::kL2);
  PutSetLength(f, SetLengthSource::kLn);
  EXPECT_EQ(f.setLength, "19.5");
  PutSetLength(f, SetLengthSource::kLc);
  EXPECT_EQ(f.setLength, "19.5");
  SetSetLengthIsLc(f, false);
  EXPECT_TRUE(f.setLengthEnabled);
  PutSetLength(f, SetLengthSource::kL2);
  EXPECT_EQ(f.setLength, "30");
}

TEST_F(ProductionDrawingFormTest, SurfaceItemsPutTheirTexts) {
  const std::vector<std::string> items = ProductionDrawingItems("ComboBox_oflschutz");
  EXPECT_EQ(items, (std::vector<std::string>{"..", "ph", "cu", "ez", "za", "tb", "nb"}));
  ProductionDrawingForm f = FillProductionDrawingForm();
  EXPECT_TRUE(f.surfaceEnabled);
  const char* texts[] = {"phosphatiert", "verkupfert", "endverzinkt", "Zink-Aluminium-\xDC" "berzug",
                         "trockenblank", "nassblank"};
  for (int i = 1; i <= 6; ++i) {
    ChooseSurface(f, i);
    EXPECT_EQ(f.surface, texts[i - 1]);
    EXPECT_FALSE(f.surfaceEnabled);
  }
  ChooseSurface(f, 4);
  ChooseSurface(f, 0);  // own text: the field opens, the text stays
  EXPECT_TRUE(f.surfaceEnabled);
  EXPECT_EQ(f.surface, "Zink-Aluminium-\xDC" "berzug");
  ChooseSurface(f, 4);
  ApplyProductionDrawingForm(f);
  EXPECT_EQ(ProductionData().SurfaceCode, 4);
  EXPECT_EQ(ProductionData().Surface, "Zink-Aluminium-\x9A" "berzug");  // code page 850
}

TEST_F(ProductionDrawingFormTest, ApplyStoresEveryControl) {
  ProductionDrawingForm f = FillProductionDrawingForm();
  f.deburr = 1, f.preset = 0, f.setLength = "22,5", f.setLengthIsLc = false, f.showSetLength = true;
  f.tempFrom = "-20", f.tempTo = "150";
  f.surfaceCode = 0, f.surface = std::string(50, 's');
  f.extra1 = "Pr\xFC" "fung" + std::string(120, 'x'), f.extra2 = "zwei";
  f.showF = false, f.showFn = true, f.showP = false;
  f.materialLine2 = false, f.materialLine3 = true;
  const std::pair<std::pair<bool, bool>, int> pictures[] = {
      {{true, false}, 1}, {{false, true}, 2}, {{true, true}, 3}, {{false, false}, 4}};
  for (const auto& [checks, picture] : pictures) {
    f.mandrel = checks.first, f.sleeve = checks.second;
    ApplyProductionDrawingForm(f);
    EXPECT_EQ(ProductionData().Picture, picture);
  }
  const ProductionDataRecord& p = ProductionData();
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(p.Deburr, 2);
  EXPECT_EQ(p.Preset, 1);
  EXPECT_EQ(p.Ls, 22.5L);
  EXPECT_EQ(p.SetLengthIsLc, 0);
  EXPECT_EQ(p.ShowSetLength, 1);
  EXPECT_EQ(s.T1, -20.0L);
  EXPECT_EQ(s.T2, 150.0L);
  EXPECT_EQ(p.SurfaceCode, 0);
  EXPECT_EQ(p.Surface, std::string(45, 's'));
  EXPECT_EQ(p.Extra1, "Pr\x81" "fung" + std::string(93, 'x'));
  EXPECT_EQ(p.Extra2, "zwei");
  EXPECT_EQ(s.ShowLd, 0);
  EXPECT_EQ(s.ShowM, 1);
  EXPECT_EQ(s.ShowP, 0);
  EXPECT_EQ(s.HideMaterialLine2, 1);
  EXPECT_EQ(s.HideMaterialLine3, 0);
  // Shown again as stored.
  const ProductionDrawingForm again = FillProductionDrawingForm();
  EXPECT_EQ(again.extra1, "Pr\xFC" "fung" + std::string(93, 'x'));
  EXPECT_EQ(again.setLength, "22.5");
}

TEST_F(ProductionDrawingFormTest, BadNumbersAndUntouchedFieldsKeepTheirValues) {
  for (const char* bad : {"abc", "inf", "nan", "1e99999", "", "-inf", "-300"}) {
    ProductionDrawingForm f = FillProductionDrawingForm();
    f.setLength = f.tempFrom = f.tempTo = bad;
    ProductionData().Ls = 7.0L;
    SpringData().T1 = 5.0L, SpringData().T2 = 6.0L;
    ApplyProductionDrawingForm(f);
    EXPECT_EQ(ProductionData().Ls, 7.0L) << bad;
    EXPECT_EQ(SpringData().T1, 5.0L) << bad;
    EXPECT_EQ(SpringData().T2, 6.0L) << bad;
  }
  // Inches and Fahrenheit: a field left as shown keeps the exact value,
  // a typed one is converted; an inch value beyond the range is not taken.
  G().UnitSystem = 1;
  ProductionData().Ls = 10.0L;  // 0.3937... in
  SpringData().T1 = 37.0L;      // 98.6 F
  SpringData().T2 = 100.0L;     // 212 F
  ProductionDrawingForm f = FillProductionDrawingForm();
  EXPECT_EQ(f.tempTo, "212");
  ApplyProductionDrawingForm(f);
  EXPECT_EQ(ProductionData().Ls, 10.0L);
  EXPECT_EQ(SpringData().T1, 37.0L);
  f.setLength = "2", f.tempTo = "32";
  ApplyProductionDrawingForm(f);
  EXPECT_EQ(ProductionData().Ls, 50.8L);
  EXPECT_EQ(SpringData().T2, 0.0L);
  f.setLength = "1e4931";
  ApplyProductionDrawingForm(f);
  EXPECT_EQ(ProductionData().Ls, 50.8L);
}

TEST_F(ProductionDrawingFormTest, PortAppliesOnOkOnlyWithItsHelpNumber) {
  FormRunners r;
  r.productionDrawing = [](ProductionDrawingForm& f) {
    f.extra2 = "abgebrochen";
    f.mandrel = true;
    return false;
  };
  FormCommandDialogs d(r);
  EXPECT_FALSE(d.ProductionDrawingData());
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ProductionData().Extra2, "");
  EXPECT_EQ(ProductionData().Picture, 4);
  r.productionDrawing = [](ProductionDrawingForm& f) {
    f.extra2 = "gesichert";
    return true;
  };
  FormCommandDialogs ok(r);
  G().AbortFlag = 1;
  EXPECT_TRUE(ok.ProductionDrawingData());
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ProductionData().Extra2, "gesichert");
  EXPECT_EQ(G().HelpNumber, 9010);
}

TEST_F(DimensionFormsTest, ValueTableRowsAndValues) {
  ValueTableRecord& v = ValueTable();
  v = ValueTableRecord{};
  v.Name = "L'";
  v.Unit = "mm";
  v.Min = 20, v.Max = 55.5L;
  ValueTableForm f = FillValueTableForm();
  EXPECT_EQ(f.values.size(), 1u);
  EXPECT_EQ(f.minLabel, "L' min = 20");
  EXPECT_EQ(f.maxLabel, "L' max = 55.5");
  EXPECT_EQ(f.columnTitle, "L' [mm]");
  DeleteValueRow(f);  // one row stays
  EXPECT_EQ(f.values.size(), 1u);
  for (int i = 0; i < 8; ++i) AddValueRow(f);
  EXPECT_EQ(f.values.size(), 6u);
  f.values[0] = "1,5";
  f.values[1] = "x";
  f.values[2] = "inf";
  DeleteValueRow(f);
  ApplyValueTableForm(f);
  EXPECT_EQ(v.Count, 5);
  EXPECT_EQ(v.Values[1], 1.5L);
  EXPECT_EQ(v.Values[2], 0.0L);
  EXPECT_EQ(v.Values[3], 0.0L);
}

TEST_F(DimensionFormsTest, PortAppliesOnOkOnly) {
  FormRunners r;
  r.calculationMethod = [](CalculationMethodForm& f) {
    f.crossSection = 4;
    return false;
  };
  r.titleBlock = [](TitleBlockForm& f) {
    f.number = "4711";
    return true;
  };
  r.dimensions = [](DimensionsForm& f) {
    ChooseDimensionsDiameter(f, 1);  // stored at once
    f.l0 = "99";
    return false;
  };
  FormCommandDialogs d(r);
  EXPECT_FALSE(d.CalculationMethod());
  EXPECT_EQ(SpringData().CrossSection, 1);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(d.Dimensions());
  EXPECT_EQ(SpringData().DiameterGiven, 2);
  EXPECT_EQ(SpringData().L0, 60.0L);
  EXPECT_FALSE(d.Tolerance());  // no window
  // The title block keeps a flag set by the caller and stores nothing.
  G().AbortFlag = 1;
  EXPECT_FALSE(d.TitleBlockTexts());
  EXPECT_EQ(SpringData().DrawingNo, "");
  G().AbortFlag = 0;
  EXPECT_TRUE(d.TitleBlockTexts());
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().TitleBlockLines[1], "Feder   Zeichn.Nr.: 4711");
}

}  // namespace
}  // namespace zeb
