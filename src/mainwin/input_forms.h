// The input dialogs of the spring as models without widgets: each form
// holds its controls' state (texts in Windows code page 1252, selections
// 0-based), a fill step from the data set, the click rules and an apply
// step. The Qt forms only bind widgets to these.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

// A numeric field refused on OK: its control and the text it gets back.
struct FieldRefusal {
  std::string control;  // objectName
  std::string text;     // 1252
};

// The OK checks of the forms below: every numeric field whose text was
// typed (differs from the text it was given) must be a number within the
// field's range. The first one that is not is refused with a message, gets
// its previous text back in the form, is named in *refusal and the check
// gives false; the dialog then stays open. The apply steps store only
// numbers that pass, so a refused text never changes the spring.

// --- Title block texts ---------------------------------------------------

struct TitleBlockForm {
  std::string name, name2, number, line1, line2;  // 1252
};
// Maximum lengths of the five fields.
inline constexpr std::array<int, 5> kTitleBlockMaxLength{25, 30, 18, 65, 65};

TitleBlockForm FillTitleBlockForm();
// Stores the names and number, the title line (entry 1) as the calculation
// builds it, and the two free lines (entries 2, 3).
void ApplyTitleBlockForm(const TitleBlockForm& f);
// name + "   Zeichn.Nr.: " + number (code page 850 in and out).
std::string BuildTitleLine(std::string_view name, std::string_view number);

// --- Application ---------------------------------------------------------

struct ApplicationForm {
  int loadType = 0;  // 0 static, 1 dynamic
  std::string frequency, temperature, nue, transverseForce, mass;
};
ApplicationForm FillApplicationForm();
bool CheckApplicationForm(ApplicationForm& f, FieldRefusal* refusal = nullptr);
// OK and the unit button: every value into the data set, nue kept within
// 0.001 .. 10.
void ApplyApplicationForm(const ApplicationForm& f);
// The "<" button of the temperature: 20 degrees Celsius in the display unit.
std::string DefaultTemperatureText();
// The four seating-coefficient buttons' captions.
inline constexpr std::array<const char*, 4> kSeatingCoefficients{"2", "1", "0.707", "0.5"};

// --- Calculation method --------------------------------------------------

struct CalculationMethodForm {
  // ComboBox1..7, ComboBox10, ComboBox_metric, ComboBox_f2, ComboBox_tauomode;
  // -1 = no item (a stored value outside the list, kept by OK).
  int crossSection = 0, rateInput = 0, rInputMethod = 0, optWarnings = 0, designMethod = 0, saMethod = 0,
      warningsOn = 0, diameterGiven = 0, unitSystem = 0, forceCount = 0, loadCase = 0;
  std::string resolution3d, preTauRatio, preW;  // Edit8, Edit_sichd, Edit_wv
};
// Items of the combo boxes (code page 850), in the order of the form.
const std::vector<std::string>& CalculationMethodItems(std::string_view comboName);
CalculationMethodForm FillCalculationMethodForm();
bool CheckCalculationMethodForm(CalculationMethodForm& f, FieldRefusal* refusal = nullptr);
// Stores every control with the corrections of 3D resolution 0, tau ratio
// <= 0 and Dm/d below 1.5.
void ApplyCalculationMethodForm(const CalculationMethodForm& f);
// Defaults of the "<" buttons.
inline constexpr const char* kDefault3dResolution = "2";
inline constexpr const char* kDefaultPreTauRatio = "1";
inline constexpr const char* kDefaultPreW = "9";

// --- Tolerances ----------------------------------------------------------

enum ToleranceRow { kTolDiameter, kTolL0, kTolF1, kTolF2, kTolE1, kTolE2, kToleranceRows };
// The rows' labels.
inline constexpr std::array<const char*, kToleranceRows> kToleranceRowLabels{"Dm, De, Di", "L0", "F1",
                                                                             "F2",         "e1", "e2"};

struct ToleranceForm {
  std::array<std::string, kToleranceRows> max, min;  // min unused for e1, e2
  std::array<bool, kToleranceRows> editable{};
  int diameterGiven = 0;  // RadioGroup_dm
  int allowance = 5;      // ComboBox_fertausgl
  // The deviations stored when a row became editable; a refused text puts
  // them back.
  std::array<Real, kToleranceRows> keptMax{}, keptMin{};
};
// The grade of a row as stored.
int ToleranceGrade(ToleranceRow row);
// The fill step: each row's grade applied, own deviations for grade 5.
ToleranceForm FillToleranceForm();
// A radio button: stores the grade and updates the row (grades 1..4 show
// and store the computed deviation when the spring has a wire and a
// diameter; otherwise the texts stay).
void ChooseToleranceGrade(ToleranceForm& f, ToleranceRow row, int grade);
// Typing into an enabled field stores it at once when it is a number in
// range (no message while typing).
void EditToleranceMax(ToleranceForm& f, ToleranceRow row, std::string_view text);
void EditToleranceMin(ToleranceForm& f, ToleranceRow row, std::string_view text);
// RadioGroup_dm: sets DiameterGiven at once.
void ChooseToleranceDiameter(ToleranceForm& f, int item);
// Labels marked by the allowance item: {L0 row, diameter row}.
std::array<bool, 2> AllowanceMarks(int item);
bool CheckToleranceForm(ToleranceForm& f, FieldRefusal* refusal = nullptr);
// OK: the allowance.
void ApplyToleranceForm(const ToleranceForm& f);
// Combo items (code page 850).
const std::vector<std::string>& AllowanceItems();

// --- Dimensions ----------------------------------------------------------

struct DimensionsForm {
  int mode = 0;           // RadioGroup_mode: 0 pre-dimensioning, 1 design, 2 recalculation
  int forceInput = 0;     // RadioGroup_f12
  int diameterGiven = 0;  // RadioGroup_dm
  std::string f13, f23, sh3;           // pre-dimensioning
  std::string f1, f2, sh, l2, de;      // design
  std::string d, de2, l0, n, l1, l22;  // recalculation
};
// What the click rules show (captions code page 850).
struct DimensionsLayout {
  bool preGroup = false, designGroup = false, recalcGroup = false;
  bool forceInputGroup = false;  // RadioGroup_f12
  bool f1 = true, f2 = true;     // Edit_f1 (and Edit_f13), Edit_f2
  bool l1 = true;                // Edit_l1
  std::string f1Mark, f2Mark;    // Label_f1m, Label_f2m
  std::string strokeLabel;       // "Hub sh" or "Federweg s2"
  std::string diameterLabel;     // Label_de, Label_de2
};
DimensionsForm FillDimensionsForm();
DimensionsLayout LayoutDimensionsForm(const DimensionsForm& f);
// The fields of the chosen mode.
bool CheckDimensionsForm(DimensionsForm& f, FieldRefusal* refusal = nullptr);
// RadioGroup_dm: DiameterGiven at once.
void ChooseDimensionsDiameter(DimensionsForm& f, int item);
// OK: the fields of the chosen mode into the data set.
void ApplyDimensionsForm(const DimensionsForm& f);
// "mm <--> inch": apply, other unit system, fill again.
void ToggleDimensionsUnits(DimensionsForm& f);
// "DB": a diameter chosen in the wire table ("" when cancelled); AbortFlag 0.
std::string ChooseWireDiameter();

// --- Production ----------------------------------------------------------

struct ProductionForm {
  int endForm = 0, coilingKind = 0, windingDir = 0;  // the three radio groups
  std::string endCoils1, endCoils2;                  // Edit_nend1, Edit_nend2
  bool shotPeened = false;
  std::string endFormText, endFormConstant;  // Edit_endwindungen, Edit_x (1252)
  bool endFieldsEnabled = false;
};
// The end-form constant's field stands in this formula (its label).
inline constexpr const char* kEndFormConstantLabel = "Lc = ( nt + x ) * d max";
// The end-form text is stored in code page 850 and cut to this.
inline constexpr int kEndFormTextMaxLength = 100;
ProductionForm FillProductionForm();
bool CheckProductionForm(ProductionForm& f, FieldRefusal* refusal = nullptr);
// A spring end or forming process chosen: the end-form fields follow.
void ChooseProductionEnds(ProductionForm& f, int endForm, int coilingKind);
// "<": the standard end coils of the forming process.
void StandardEndCoils(ProductionForm& f);
void ApplyProductionForm(const ProductionForm& f);
// Items of the radio groups (code page 850).
const std::vector<std::string>& ProductionItems(std::string_view group);

// --- Production drawing data ---------------------------------------------

struct ProductionDrawingForm {
  int deburr = 0;                 // RadioGroup_entgraten
  int preset = 0;                 // RadioGroup_setzen
  std::string setLength;          // Edit_setzlaenge
  bool setLengthIsLc = false;     // CheckBox_ls
  bool showSetLength = false;     // CheckBox_setzlang
  bool showSetLengthEnabled = true;
  bool setLengthEnabled = true;   // Edit_setzlaenge
  std::string tempFrom, tempTo;   // Edit_vontemp, Edit_bistemp
  int surfaceCode = 0;            // ComboBox_oflschutz; -1 = a stored code outside the list
  std::string surface;            // Edit_oberflaechenschutz
  bool surfaceEnabled = true;
  std::string extra1, extra2;     // Edit_zus1, Edit_zus2
  bool mandrel = false, sleeve = false;
  bool showF = false, showFn = false, showP = false;  // CheckBox_f, CheckBox_fn, CheckBox_p
  bool materialLine2 = true, materialLine3 = true;    // CheckBox_wstname2, CheckBox_wstname3
  // Captions: the material name and its second and third text line.
  std::string materialName, materialLine2Text, materialLine3Text;
};
// Texts are 1252 throughout; stored in code page 850 and cut to these.
inline constexpr int kSurfaceMaxLength = 45;
inline constexpr int kExtraLineMaxLength = 100;

enum class SetLengthSource { kLc, kL2, kLn };

ProductionDrawingForm FillProductionDrawingForm();
bool CheckProductionDrawingForm(ProductionDrawingForm& f, FieldRefusal* refusal = nullptr);
// "gesetzt" (item 0) ticks "anzeigen Setzlänge" and locks it.
void ChoosePreset(ProductionDrawingForm& f, int item);
void SetShowSetLength(ProductionDrawingForm& f, bool on);
// "Ls = Lc": the field shows Lc and is locked while on.
void SetSetLengthIsLc(ProductionDrawingForm& f, bool on);
// The Lc, L2 and Ln buttons; L2 and Ln only while "Ls = Lc" is off.
void PutSetLength(ProductionDrawingForm& f, SetLengthSource source);
// Item 0 opens the text for an own entry; the others put their text.
void ChooseSurface(ProductionDrawingForm& f, int item);
void ApplyProductionDrawingForm(const ProductionDrawingForm& f);
// Items (code page 850) of RadioGroup_entgraten, RadioGroup_setzen and
// ComboBox_oflschutz.
const std::vector<std::string>& ProductionDrawingItems(std::string_view control);

// --- Value table ---------------------------------------------------------

struct ValueTableForm {
  std::vector<std::string> values;  // column 1 of rows 1..; at least one row
  std::string minLabel, maxLabel, columnTitle;  // 1252
};
ValueTableForm FillValueTableForm();
// "+" below 6 values adds an empty row; "-" keeps at least one row.
void AddValueRow(ValueTableForm& f);
void DeleteValueRow(ValueTableForm& f);
void ApplyValueTableForm(const ValueTableForm& f);

}  // namespace zeb
