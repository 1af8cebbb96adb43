#include "mainwin/input_forms.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/mathx.h"
#include "base/text.h"
#include "base/typed_number.h"
#include "platform/oem_literal.h"
#include "base/files.h"
#include "base/services.h"
#include "mainwin/commands.h"
#include "spring/dimension.h"
#include "spring/formulas.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"
#include "spring/tolerances.h"

namespace zeb {

namespace {

// A stored code as a 0-based item of a list of n, -1 outside it.
int ItemOf(int code, int first, int n) {
  int i = code - first;
  return i >= 0 && i < n ? i : -1;
}

// A numeric field: its control, its label (code page 850), its text (1252),
// the text it was given and its range.
struct NumberField {
  const char* control;
  std::string label;
  std::string* text;
  std::string shown;
  NumberRange range;
};

// The OK check shared by the forms; a refusal names the field's label.
bool CheckFields(const std::vector<NumberField>& fields, FieldRefusal* refusal) {
  for (const NumberField& field : fields) {
    if (*field.text == field.shown) continue;
    Real unused = 0;
    if (ReadTypedNumber(field.label, AnsiLineToOem(*field.text), field.range, unused)) continue;
    *field.text = field.shown;
    if (refusal != nullptr) *refusal = {field.control, field.shown};
    return false;
  }
  return true;
}

// A field's number into x when it passes the check; otherwise x stays.
void StoreNumber(const std::string& text1252, const NumberRange& range, Real& x);

// The same for a field that was given `shown`: left as it was given, it
// keeps the exact value it shows rounded.
void StoreTyped(const std::string& text1252, const std::string& shown, const NumberRange& range, Real& x) {
  if (text1252 != shown) StoreNumber(text1252, range, x);
}

void StoreNumber(const std::string& text1252, const NumberRange& range, Real& x) {
  const std::string text = AnsiLineToOem(text1252);
  Real v = 0;
  if (!TypedNumberFits(text, range)) return;
  switch (range.kind) {
    case NumberKind::kLength: v = ParseLength(text); break;
    case NumberKind::kForce: v = ParseForce(text); break;
    case NumberKind::kStress: v = ParseStress(text); break;
    case NumberKind::kSpringRate: v = ParseSpringRate(text); break;
    case NumberKind::kTemperature: v = ParseTemperature(text); break;
    case NumberKind::kPlain: v = TextToFloat(text); break;
  }
  x = v;
}

// A selection back to its code; no selection keeps the stored code.
template <typename T>
void StoreItem(T& code, int item, int first) {
  if (item >= 0) code = static_cast<T>(item + first);
}

}  // namespace

// --- Title block ---------------------------------------------------------

std::string BuildTitleLine(std::string_view name, std::string_view number) {
  return std::string(name).append("   Zeichn.Nr.: ").append(number);
}

TitleBlockForm FillTitleBlockForm() {
  const SpringDataRecord& s = SpringData();
  TitleBlockForm f;
  f.name = OemToAnsiStr(s.DrawingName);
  f.name2 = OemToAnsiStr(s.DrawingName2);
  f.number = OemToAnsiStr(s.DrawingNo);
  f.line1 = OemToAnsiStr(G().TitleBlockLines[2]);
  f.line2 = OemToAnsiStr(G().TitleBlockLines[3]);
  return f;
}

void ApplyTitleBlockForm(const TitleBlockForm& f) {
  SpringDataRecord& s = SpringData();
  s.DrawingName = LeftStr(AnsiLineToOem(f.name), kTitleBlockMaxLength[0]);
  s.DrawingName2 = LeftStr(AnsiLineToOem(f.name2), kTitleBlockMaxLength[1]);
  s.DrawingNo = LeftStr(AnsiLineToOem(f.number), kTitleBlockMaxLength[2]);
  G().TitleBlockLines[1] = BuildTitleLine(s.DrawingName, s.DrawingNo);
  G().TitleBlockLines[2] = LeftStr(AnsiLineToOem(f.line1), kTitleBlockMaxLength[3]);
  G().TitleBlockLines[3] = LeftStr(AnsiLineToOem(f.line2), kTitleBlockMaxLength[4]);
}

// --- Application ---------------------------------------------------------

ApplicationForm FillApplicationForm() {
  const SpringDataRecord& s = SpringData();
  ApplicationForm f;
  f.loadType = ItemOf(s.LoadType, 1, 2);
  f.frequency = FloatToStrSig(s.f);
  f.temperature = OemToAnsiStr(FormatTemperature(s.T));
  f.nue = FloatToStrSig(s.nue);
  f.transverseForce = OemToAnsiStr(FormatForce(TransverseLoad().FQ));
  f.mass = FloatToStrSig(s.ExternalMass);
  return f;
}

bool CheckApplicationForm(ApplicationForm& f, FieldRefusal* refusal) {
  const ApplicationForm shown = FillApplicationForm();
  return CheckFields({{"Edit_freq", "Lastspielfrequenz 1/s", &f.frequency, shown.frequency, kNotNegativeRange},
                      {"Edit_temperatur", "Betriebstemperatur T", &f.temperature, shown.temperature, kTemperatureRange},
                      {"Edit_nue", "Lagerungsbeiwert nue", &f.nue, shown.nue, kAnyNumberRange},
                      {"Edit_fq", "Querkraft FQ", &f.transverseForce, shown.transverseForce, kForceRange},
                      {"Edit_masse", "Federnde Masse (extern) m", &f.mass, shown.mass, kNotNegativeRange}},
                     refusal);
}

void ApplyApplicationForm(const ApplicationForm& f) {
  const ApplicationForm shown = FillApplicationForm();
  SpringDataRecord& s = SpringData();
  StoreItem(s.LoadType, f.loadType, 1);
  StoreTyped(f.frequency, shown.frequency, kNotNegativeRange, s.f);
  StoreTyped(f.temperature, shown.temperature, kTemperatureRange, s.T);
  if (f.nue != shown.nue) {
    Real nue = s.nue;
    StoreNumber(f.nue, kAnyNumberRange, nue);
    s.nue = ClampExt(0.001L, 10.0L, nue);
  }
  StoreTyped(f.transverseForce, shown.transverseForce, kForceRange, TransverseLoad().FQ);
  StoreTyped(f.mass, shown.mass, kNotNegativeRange, s.ExternalMass);
}

std::string DefaultTemperatureText() { return OemToAnsiStr(FormatTemperature(20.0L)); }

// --- Calculation method --------------------------------------------------

const std::vector<std::string>& CalculationMethodItems(std::string_view combo) {
  static const std::vector<std::string> kNone;
  static const std::vector<std::pair<std::string, std::vector<std::string>>> kItems{
      {"ComboBox1", {"rund"_oem, "elliptisch"_oem, "quadratisch"_oem, "rechteckig"_oem, "rund, hohl"_oem}},
      {"ComboBox2",
       {"L0 konstant, F1 und F2 variabel"_oem, "F1 konstant, F2 und L0 variabel"_oem,
        "F2 konstant, F1 und L0 variabel"_oem, "F1 und F2 konstant; L0, L1 und sh variabel"_oem}},
      {"ComboBox3",
       {"F1 und F2 konstant, sh variabel"_oem, "F1 und sh konstant, F2 variabel"_oem,
        "F2 und sh konstant, F1 variabel"_oem}},
      {"ComboBox4", {"Warnung bei: w>16"_oem, "Warnung bei: w<6, w>12, lambda>5, D/m < 2, D/m > 2.5"_oem}},
      {"ComboBox5", {"Eingabe von L2"_oem, "Eingabe von L1"_oem}},
      {"ComboBox6", {"Sa dyn = 1.5 (2.0) * Sa stat. (EN13906-1)"_oem, "Sa dyn = Sa stat."_oem}},
      {"ComboBox7", {"Alle Warnungen melden"_oem, "Warnungen unterdrücken"_oem}},
      {"ComboBox10", {"De"_oem, "Di"_oem, "Dm"_oem}},
      {"ComboBox_f2", {"2 Federkräfte"_oem, "1 Federkraft"_oem}},
      {"ComboBox_tauomode",
       {"tauoz=tauo (Goodman Diagram)"_oem, "tauoz = tauz = 0.56 Rm"_oem, "tauoz = 0.6 Rm"_oem}},
  };
  if (combo == "ComboBox_metric") {
    static std::vector<std::string> units;
    units.assign(G().UnitSystemNames.begin() + 1, G().UnitSystemNames.end());
    return units;
  }
  for (const auto& [name, items] : kItems)
    if (name == combo) return items;
  return kNone;
}

CalculationMethodForm FillCalculationMethodForm() {
  const SpringDataRecord& s = SpringData();
  CalculationMethodForm f;
  f.crossSection = s.CrossSection == 7 ? 4 : ItemOf(s.CrossSection, 1, 4);
  f.rateInput = ItemOf(s.RateInput, 1, 4);
  f.rInputMethod = ItemOf(s.RInputMethod, 1, 3);
  f.optWarnings = ItemOf(s.OptWarnings, 1, 2);
  f.designMethod = ItemOf(s.DesignMethod, 1, 2);
  f.saMethod = ItemOf(s.SaMethod, 1, 2);
  f.warningsOn = ItemOf(s.WarningsOn, 1, 2);
  f.diameterGiven = ItemOf(s.DiameterGiven, 1, 3);
  f.unitSystem = ItemOf(G().UnitSystem, 0, 5);
  f.forceCount = ItemOf(s.Point1Off, 0, 2);
  f.loadCase = ItemOf(s.LoadCase, 0, 3);
  f.resolution3d = FloatToStrSig(s.Line3DResolution);
  f.preTauRatio = FloatToStrSig(s.PreTauRatio);
  f.preW = FloatToStrSig(s.PreW);
  return f;
}

bool CheckCalculationMethodForm(CalculationMethodForm& f, FieldRefusal* refusal) {
  const CalculationMethodForm shown = FillCalculationMethodForm();
  return CheckFields({{"Edit8", "Auflösung 3D-Line"_oem, &f.resolution3d, shown.resolution3d, kAnyNumberRange},
                      {"Edit_sichd", "tauz/tau bei Berechnung d min", &f.preTauRatio, shown.preTauRatio,
                       kAnyNumberRange},
                      {"Edit_wv", "Vorauslegung Dm/d", &f.preW, shown.preW, kAnyNumberRange}},
                     refusal);
}

void ApplyCalculationMethodForm(const CalculationMethodForm& f) {
  const CalculationMethodForm shown = FillCalculationMethodForm();
  SpringDataRecord& s = SpringData();
  if (f.crossSection == 4)
    s.CrossSection = 7;
  else
    StoreItem(s.CrossSection, f.crossSection, 1);
  StoreItem(s.RateInput, f.rateInput, 1);
  StoreItem(s.RInputMethod, f.rInputMethod, 1);
  StoreItem(s.OptWarnings, f.optWarnings, 1);
  StoreItem(s.DesignMethod, f.designMethod, 1);
  StoreItem(s.SaMethod, f.saMethod, 1);
  StoreItem(s.WarningsOn, f.warningsOn, 1);
  StoreItem(s.DiameterGiven, f.diameterGiven, 1);
  StoreItem(G().UnitSystem, f.unitSystem, 0);
  StoreItem(s.Point1Off, f.forceCount, 0);
  StoreItem(s.LoadCase, f.loadCase, 0);
  StoreTyped(f.resolution3d, shown.resolution3d, kAnyNumberRange, s.Line3DResolution);
  if (s.Line3DResolution == 0.0L) s.Line3DResolution = 2.0L;
  StoreTyped(f.preTauRatio, shown.preTauRatio, kAnyNumberRange, s.PreTauRatio);
  if (s.PreTauRatio <= 0.0L) s.PreTauRatio = 1.0L;
  StoreTyped(f.preW, shown.preW, kAnyNumberRange, s.PreW);
  if (s.PreW < 1.5L) s.PreW = 9.0L;
}

// --- Tolerances ----------------------------------------------------------

namespace {

Code& GradeOf(ToleranceRow row) {
  SpringDataRecord& s = SpringData();
  switch (row) {
    case kTolDiameter: return s.GradeDe;
    case kTolL0: return s.GradeL0;
    case kTolF1: return s.GradeF1;
    case kTolF2: return s.GradeF2;
    case kTolE1: return s.GradeE1;
    default: return s.GradeE2;
  }
}

// The stored deviations of a row (min is null for e1, e2).
std::pair<Real*, Real*> DeviationsOf(ToleranceRow row) {
  SpringDataRecord& s = SpringData();
  switch (row) {
    case kTolDiameter: return {&s.TolDe, &s.TolDeMinus};
    case kTolL0: return {&s.TolL0, &s.TolL0Minus};
    case kTolF1: return {&s.TolF1, &s.TolF1Minus};
    case kTolF2: return {&s.TolF2, &s.TolF2Minus};
    case kTolE1: return {&s.e1, nullptr};
    default: return {&s.e2, nullptr};
  }
}

bool IsForceRow(ToleranceRow row) { return row == kTolF1 || row == kTolF2; }

std::string FormatRowValue(ToleranceRow row, Real x) {
  return OemToAnsiStr(IsForceRow(row) ? FormatForce(x) : FormatLength(x));
}
// Deviations may be negative (the lower one usually is).
const NumberRange& RowRange(ToleranceRow row) {
  static constexpr NumberRange kForceDeviation = kForceRange;
  return IsForceRow(row) ? kForceDeviation : kSignedLengthRange;
}

Real ComputedDeviation(ToleranceRow row, int grade) {
  const SpringDataRecord& s = SpringData();
  switch (row) {
    case kTolDiameter: return CoilDiameterTolerance(grade, s.DiameterGiven, s.De, s.Di, s.Dm, s.d != 0.0L ? s.Dm / s.d : 0.0L);
    case kTolL0: return FreeLengthTolerance(grade, s.CoilingKind, s.Dm, s.d, s.R, s.n, s.L0, s.sc);
    case kTolF1: return ForceTolerance(0, grade, s.CoilingKind, s.F1, s.s1, s.Dm, s.d, s.n, s.L0, s.R);
    case kTolF2: return ForceTolerance(0, grade, s.CoilingKind, s.F2, s.s2, s.Dm, s.d, s.n, s.L0, s.R);
    case kTolE1: return PerpendicularityTolerance(grade, s.L0);
    default: return ParallelismTolerance(grade, s.De);
  }
}

Real ToDisplay(ToleranceRow row, Real x) { return IsForceRow(row) ? ForceToDisplayUnit(x) : LengthToDisplayUnit(x); }

}  // namespace

int ToleranceGrade(ToleranceRow row) { return GradeOf(row); }

void EditToleranceMax(ToleranceForm& f, ToleranceRow row, std::string_view text) {
  f.max[row] = std::string(text);
  StoreNumber(f.max[row], RowRange(row), *DeviationsOf(row).first);
}

void EditToleranceMin(ToleranceForm& f, ToleranceRow row, std::string_view text) {
  Real* minus = DeviationsOf(row).second;
  if (minus == nullptr) return;
  f.min[row] = std::string(text);
  StoreNumber(f.min[row], RowRange(row), *minus);
}

bool CheckToleranceForm(ToleranceForm& f, FieldRefusal* refusal) {
  static const char* const kMax[kToleranceRows] = {"Edit11", "Edit21", "Edit31", "Edit33", "Edit41", "Edit42"};
  static const char* const kMin[kToleranceRows] = {"Edit12", "Edit22", "Edit32", "Edit34", nullptr, nullptr};
  for (int r = 0; r < kToleranceRows; ++r) {
    const auto row = static_cast<ToleranceRow>(r);
    if (!f.editable[r]) continue;
    auto [plus, minus] = DeviationsOf(row);
    const std::pair<const char*, std::pair<std::string*, std::pair<Real*, Real>>> fields[] = {
        {kMax[r], {&f.max[r], {plus, f.keptMax[r]}}}, {kMin[r], {&f.min[r], {minus, f.keptMin[r]}}}};
    for (const auto& [control, field] : fields) {
      const auto& [text, stored] = field;
      if (control == nullptr || stored.first == nullptr) continue;
      const std::string kept = FormatRowValue(row, stored.second);
      const std::string label = std::string(kToleranceRowLabels[static_cast<std::size_t>(r)]) +
                                (control == kMax[r] ? " Toleranz max." : " Toleranz min.");
      Real unused = 0;
      if (*text == kept || ReadTypedNumber(label, AnsiLineToOem(*text), RowRange(row), unused)) continue;
      *stored.first = stored.second;
      *text = kept;
      if (refusal != nullptr) *refusal = {control, kept};
      return false;
    }
  }
  return true;
}

namespace {

// A row's grade into the form: grades 1 to 4 show the computed deviation,
// grade 5 opens the fields for own values with what they show. `store`
// (a choice of the user) also puts the grade and the deviation the fields
// show into the spring, unrounded; the fill step only shows.
void ShowToleranceGrade(ToleranceForm& f, ToleranceRow row, int grade, bool store) {
  const int before = GradeOf(row);
  if (store) GradeOf(row) = static_cast<Code>(grade);
  f.editable[row] = grade == 5;
  auto [plus, minus] = DeviationsOf(row);
  // The grade whose deviation the fields show: a row opened for own values
  // keeps the one of its grade before.
  const int shown = grade == 5 ? before : grade;
  const SpringDataRecord& s = SpringData();
  if (shown >= 1 && shown <= 4 && s.d > 0.01L && s.De > 0.01L) {
    const Real t = ComputedDeviation(row, shown);
    if (std::isfinite(t)) {
      if (grade != 5) {
        const Real x = ToDisplay(row, t);
        f.max[row] = FloatToStrSig(x);
        if (minus != nullptr) f.min[row] = FloatToStrSig(-x);
      }
      if (store) {
        *plus = t;
        if (minus != nullptr) *minus = -t;
      }
    }
  }
  if (grade == 5) {
    f.keptMax[row] = *plus;
    f.keptMin[row] = minus != nullptr ? *minus : 0.0L;
  }
}

}  // namespace

void ChooseToleranceGrade(ToleranceForm& f, ToleranceRow row, int grade) { ShowToleranceGrade(f, row, grade, true); }

void ChooseToleranceDiameter(ToleranceForm& f, int item) {
  f.diameterGiven = item;
  StoreItem(SpringData().DiameterGiven, item, 1);
}

ToleranceForm FillToleranceForm() {
  ToleranceForm f;
  const SpringDataRecord& s = SpringData();
  f.allowance = ItemOf(s.Allowance, 1, 6);
  for (int r = 0; r < kToleranceRows; ++r) {
    auto row = static_cast<ToleranceRow>(r);
    int grade = GradeOf(row);
    ShowToleranceGrade(f, row, grade, false);
    if (grade == 5) {
      auto [plus, minus] = DeviationsOf(row);
      f.max[r] = FormatRowValue(row, *plus);
      if (minus != nullptr) f.min[r] = FormatRowValue(row, *minus);
    }
  }
  f.diameterGiven = ItemOf(s.DiameterGiven, 1, 3);
  return f;
}

std::array<bool, 2> AllowanceMarks(int item) {
  return {item == 0 || item == 3 || item == 4, item == 2 || item == 4};
}

void ApplyToleranceForm(const ToleranceForm& f) { StoreItem(SpringData().Allowance, f.allowance, 1); }

const std::vector<std::string>& AllowanceItems() {
  static const std::vector<std::string> kItems{
      "L0 bei 1 vorgegebener Federkraft"_oem,
      "n und d  bei 1 vorgegebener Federkraft"_oem,
      "n u.De,Di,Dm bei 1 vorgegebener Federkraft"_oem,
      "L0,n und d  bei 2 vorgegebenen Federkräften"_oem,
      "L0,n und De,Di,Dm bei 2 vorgegebenen Federkräften"_oem,
      "keine Angaben"_oem};
  return kItems;
}

// --- Dimensions ----------------------------------------------------------

namespace {

Real& GivenDiameter(SpringDataRecord& s) {
  switch (s.DiameterGiven) {
    case 1: return s.De;
    case 2: return s.Di;
    default: return s.Dm;
  }
}

std::string Length(Real x) { return OemToAnsiStr(FormatLength(x)); }
std::string Force(Real x) { return OemToAnsiStr(FormatForce(x)); }

}  // namespace

DimensionsForm FillDimensionsForm() {
  SpringDataRecord& s = SpringData();
  DimensionsForm f;
  f.f13 = f.f1 = Force(s.F1);
  f.f23 = f.f2 = Force(s.F2);
  f.sh3 = f.sh = Length(s.sh);
  f.l2 = f.l22 = Length(s.L2);
  f.de = f.de2 = Length(GivenDiameter(s));
  f.d = Length(s.d);
  f.l0 = Length(s.L0);
  f.n = FloatToStrSig(s.n);
  f.l1 = Length(s.L1);
  f.forceInput = ItemOf(ForceInputChoice(), 1, 5);
  f.mode = ItemOf(s.CalcMode, 1, 3);
  f.diameterGiven = ItemOf(s.DiameterGiven, 1, 3);
  return f;
}

DimensionsLayout LayoutDimensionsForm(const DimensionsForm& f) {
  DimensionsLayout l;
  l.preGroup = f.mode == 0;
  l.designGroup = f.mode == 1;
  l.recalcGroup = f.mode == 2;
  const bool point1Off = SpringData().Point1Off == 1;
  l.forceInputGroup = l.designGroup && !point1Off;
  switch (f.forceInput) {
    case 1: l.f2 = false, l.f2Mark = "min"; break;
    case 3: l.f2 = false, l.f2Mark = "max"; break;
    case 2: l.f1 = false, l.f1Mark = "max"; break;
    case 4: l.f1 = false, l.f1Mark = "min"; break;
    default: break;
  }
  if (point1Off) {
    l.f1 = l.l1 = false;
    l.f2 = true;
    l.f1Mark.clear();
    l.f2Mark.clear();
  }
  l.strokeLabel = point1Off ? "Federweg s2" : "Hub sh";
  switch (SpringData().DiameterGiven) {
    case 1: l.diameterLabel = "Außendurchmesser De"_oem; break;
    case 2: l.diameterLabel = "Innendurchmesser Di"_oem; break;
    default: l.diameterLabel = "Windungsdurchmesser Dm"_oem; break;
  }
  return l;
}

bool CheckDimensionsForm(DimensionsForm& f, FieldRefusal* refusal) {
  const DimensionsForm shown = FillDimensionsForm();
  const DimensionsLayout l = LayoutDimensionsForm(f);
  const std::string f1 = "Federkraft F1", f2 = "Federkraft F2", l2 = "Einbaulänge L2"_oem;
  switch (f.mode) {
    case 0:
      return CheckFields({{"Edit_f13", f1, &f.f13, shown.f13, kForceRange},
                          {"Edit_f23", f2, &f.f23, shown.f23, kForceRange},
                          {"Edit_sh3", l.strokeLabel, &f.sh3, shown.sh3, kLengthRange}},
                         refusal);
    case 1:
      return CheckFields({{"Edit_f1", f1, &f.f1, shown.f1, kForceRange},
                          {"Edit_f2", f2, &f.f2, shown.f2, kForceRange},
                          {"Edit_sh", l.strokeLabel, &f.sh, shown.sh, kLengthRange},
                          {"Edit_l2", l2, &f.l2, shown.l2, kLengthRange},
                          {"Edit_de", l.diameterLabel, &f.de, shown.de, kLengthRange}},
                         refusal);
    case 2:
      return CheckFields({{"Edit_d", "Drahtdurchmesser d", &f.d, shown.d, kLengthRange},
                          {"Edit_de2", l.diameterLabel, &f.de2, shown.de2, kLengthRange},
                          {"Edit_l0", "Federlänge L0"_oem, &f.l0, shown.l0, kLengthRange},
                          {"Edit_n", "Anzahl der federnden Windungen n", &f.n, shown.n, kCoilRange},
                          {"Edit_l1", "Einbaulänge L1"_oem, &f.l1, shown.l1, kLengthRange},
                          {"Edit_l22", l2, &f.l22, shown.l22, kLengthRange}},
                         refusal);
    default: return true;
  }
}

void ChooseDimensionsDiameter(DimensionsForm& f, int item) {
  // A diameter field as shown turns into the spring's own value of the
  // newly chosen diameter; a typed one stays as typed.
  const DimensionsForm was = FillDimensionsForm();
  f.diameterGiven = item;
  StoreItem(SpringData().DiameterGiven, item, 1);
  const DimensionsForm now = FillDimensionsForm();
  if (f.de == was.de) f.de = now.de;
  if (f.de2 == was.de2) f.de2 = now.de2;
}

void ApplyDimensionsForm(const DimensionsForm& f) {
  // A field left as shown keeps its value: reading back a rounded text
  // (inches with four decimals) would change the spring.
  const DimensionsForm shown = FillDimensionsForm();
  auto force = [](const std::string& text, const std::string& was, Real& x) {
    if (text != was) StoreNumber(text, kForceRange, x);
  };
  auto length = [](const std::string& text, const std::string& was, Real& x) {
    if (text != was) StoreNumber(text, kLengthRange, x);
  };
  SpringDataRecord& s = SpringData();
  StoreItem(s.CalcMode, f.mode, 1);
  switch (f.mode) {
    case 0:
      force(f.f13, shown.f13, s.F1);
      force(f.f23, shown.f23, s.F2);
      length(f.sh3, shown.sh3, s.sh);
      break;
    case 1:
      force(f.f1, shown.f1, s.F1);
      force(f.f2, shown.f2, s.F2);
      length(f.sh, shown.sh, s.sh);
      length(f.l2, shown.l2, s.L2);
      length(f.de, shown.de, GivenDiameter(s));
      DeriveDiameters(s.DiameterGiven);
      StoreItem(ForceInputChoice(), f.forceInput, 1);
      break;
    case 2:
      length(f.d, shown.d, s.d);
      length(f.de2, shown.de2, GivenDiameter(s));
      DeriveDiameters(s.DiameterGiven);
      length(f.l0, shown.l0, s.L0);
      if (f.n != shown.n) StoreNumber(f.n, kCoilRange, s.n);
      length(f.l1, shown.l1, s.L1);
      length(f.l22, shown.l22, s.L2);
      break;
    default: break;
  }
}

void ToggleDimensionsUnits(DimensionsForm& f) {
  ApplyDimensionsForm(f);
  ToggleUnitSystem();
  const int mode = f.mode, forceInput = f.forceInput;
  f = FillDimensionsForm();
  f.mode = mode, f.forceInput = forceInput;
}

std::string ChooseWireDiameter() {
  SetHelpTextNumber(3300);
  const bool din2077 = SpringData().WireStd == 3;
  TableServices& t = Tables();
  std::string chosen;
  G().AbortFlag = 0;
  t.OpenWithWriteCheck(din2077 ? "din2077" : "t10270_1");
  if (G().AbortFlag == 0) {
    t.SetTitles(din2077 ? "d DIN 2077" : "EN 10270-1", "");
    t.ShowTable("", 1);
    if (G().AbortFlag == 0) chosen = OemToAnsiStr(TrimBlanks(t.GetField(1)));
    t.CloseTable();
  }
  G().AbortFlag = 0;
  return chosen;
}

// --- Production ----------------------------------------------------------

const std::vector<std::string>& ProductionItems(std::string_view group) {
  static const std::vector<std::string> kNone;
  static const std::vector<std::string> kEnds{"angelegt und unbearbeitet"_oem, "angelegt und geschliffen"_oem,
                                              "angelegt, geschmiedet und geschliffen"_oem, "..."_oem};
  static const std::vector<std::string> kKinds{"Kaltgeformt (bis d = 17 mm)"_oem,
                                               "warmgeformt, Stahl mit gewalzter Oberfläche"_oem,
                                               "warmgeformt, Stahl mit bearbeiteter Oberfläche"_oem};
  static const std::vector<std::string> kDirs{"rechts"_oem, "links"_oem, "frei"_oem};
  if (group == "RadioGroup_federenden") return kEnds;
  if (group == "RadioGroup_herstellung") return kKinds;
  if (group == "RadioGroup_windungsrichtung") return kDirs;
  return kNone;
}

void ChooseProductionEnds(ProductionForm& f, int endForm, int coilingKind) {
  f.endForm = endForm;
  f.coilingKind = coilingKind;
  f.endFieldsEnabled = endForm < 0 || endForm > 2;
  if (f.endFieldsEnabled) return;
  f.endFormConstant = FloatToStrSig(EndFormConstant(endForm + 1, coilingKind + 1));
  f.endFormText = OemToAnsiStr(ProductionItems("RadioGroup_federenden")[static_cast<std::size_t>(endForm)]);
}

ProductionForm FillProductionForm() {
  const SpringDataRecord& s = SpringData();
  ProductionForm f;
  f.endCoils1 = FloatToStrSig(s.EndCoils[1]);
  f.endCoils2 = FloatToStrSig(s.EndCoils[2]);
  f.windingDir = ItemOf(s.WindingDir, 1, 3);
  f.shotPeened = s.ShotPeened != 'N' && s.ShotPeened != 'n';
  ChooseProductionEnds(f, ItemOf(s.EndForm, 1, 4), ItemOf(s.CoilingKind, 1, 3));
  f.endFormText = OemToAnsiStr(s.EndFormText);
  f.endFormConstant = FloatToStrSig(s.EndCoilsInput);
  return f;
}

bool CheckProductionForm(ProductionForm& f, FieldRefusal* refusal) {
  const ProductionForm shown = FillProductionForm();
  std::vector<NumberField> fields{{"Edit_nend1", "Endwindungen 1 (oben)", &f.endCoils1, shown.endCoils1, kCoilRange},
                                  {"Edit_nend2", "Endwindungen 2 (unten)", &f.endCoils2, shown.endCoils2, kCoilRange}};
  if (f.endFieldsEnabled)
    fields.push_back({"Edit_x", kEndFormConstantLabel, &f.endFormConstant, shown.endFormConstant, kAnyNumberRange});
  return CheckFields(fields, refusal);
}

void StandardEndCoils(ProductionForm& f) { f.endCoils1 = f.endCoils2 = f.coilingKind == 0 ? "1" : "0.75"; }

void ApplyProductionForm(const ProductionForm& f) {
  const ProductionForm shown = FillProductionForm();
  SpringDataRecord& s = SpringData();
  StoreItem(s.EndForm, f.endForm, 1);
  StoreItem(s.CoilingKind, f.coilingKind, 1);
  StoreItem(s.WindingDir, f.windingDir, 1);
  if (f.endCoils1 != shown.endCoils1 || f.endCoils2 != shown.endCoils2) {
    StoreNumber(f.endCoils1, kCoilRange, s.EndCoils[1]);
    StoreNumber(f.endCoils2, kCoilRange, s.EndCoils[2]);
    s.EndCoils[0] = s.EndCoils[1] + s.EndCoils[2];
  }
  s.ShotPeened = f.shotPeened ? 'J' : 'N';
  s.EndFormText = LeftStr(AnsiLineToOem(f.endFormText), kEndFormTextMaxLength);
  if (f.endFormConstant == shown.endFormConstant) return;
  // A spring end of the list shows its constant rounded: it is stored as
  // it is.
  const bool listed = !f.endFieldsEnabled && f.endForm >= 0 && f.endForm <= 2;
  const Real constant = listed ? EndFormConstant(f.endForm + 1, f.coilingKind + 1) : 0.0L;
  if (listed && std::isfinite(constant) && f.endFormConstant == FloatToStrSig(constant))
    s.EndCoilsInput = constant;
  else
    StoreNumber(f.endFormConstant, kAnyNumberRange, s.EndCoilsInput);
}

// --- Production drawing data ---------------------------------------------

namespace {

// A field left as shown keeps the exact value it was shown from: reading
// back a rounded text (inches, Fahrenheit) would change the data. A text
// that does not pass the check keeps the first value.
Real LengthField(const std::string& text, std::initializer_list<Real> shownFrom) {
  for (Real x : shownFrom)
    if (text == Length(x)) return x;
  Real x = *shownFrom.begin();
  StoreNumber(text, kLengthRange, x);
  return x;
}
std::string Temperature(Real x) { return OemToAnsiStr(FormatTemperature(x)); }
Real TemperatureField(const std::string& text, Real shownFrom) {
  Real x = shownFrom;
  if (text != Temperature(shownFrom)) StoreNumber(text, kTemperatureRange, x);
  return x;
}

void UpdateSetLengthField(ProductionDrawingForm& f) { f.setLengthEnabled = f.showSetLength && !f.setLengthIsLc; }

// The texts of the surface items after "..".
const std::vector<std::string>& SurfaceTexts() {
  // Code page 850 ("\x9A" is "Ü").
  static const std::vector<std::string> kTexts{
      "", "phosphatiert", "verkupfert", "endverzinkt", "Zink-Aluminium-\x9A" "berzug", "trockenblank", "nassblank"};
  return kTexts;
}

}  // namespace

const std::vector<std::string>& ProductionDrawingItems(std::string_view control) {
  static const std::vector<std::string> kNone;
  static const std::vector<std::string> kDeburr{"nicht"_oem, "innen"_oem, "außen"_oem, "frei"_oem,
                                                "innen und außen"_oem};
  static const std::vector<std::string> kPreset{"gesetzt"_oem, "ungesetzt"_oem, "frei"_oem};
  static const std::vector<std::string> kSurface{".."_oem, "ph"_oem, "cu"_oem, "ez"_oem,
                                                 "za"_oem, "tb"_oem, "nb"_oem};
  if (control == "RadioGroup_entgraten") return kDeburr;
  if (control == "RadioGroup_setzen") return kPreset;
  if (control == "ComboBox_oflschutz") return kSurface;
  return kNone;
}

void ChoosePreset(ProductionDrawingForm& f, int item) {
  f.preset = item;
  f.showSetLengthEnabled = item != 0;
  if (item == 0) f.showSetLength = true;
  UpdateSetLengthField(f);
}

void SetShowSetLength(ProductionDrawingForm& f, bool on) {
  if (!f.showSetLengthEnabled) return;
  f.showSetLength = on;
  UpdateSetLengthField(f);
}

void SetSetLengthIsLc(ProductionDrawingForm& f, bool on) {
  f.setLengthIsLc = on;
  if (on) f.setLength = Length(SpringData().Lc);
  UpdateSetLengthField(f);
}

void PutSetLength(ProductionDrawingForm& f, SetLengthSource source) {
  const SpringDataRecord& s = SpringData();
  switch (source) {
    case SetLengthSource::kLc: f.setLength = Length(s.Lc); break;
    case SetLengthSource::kL2: if (!f.setLengthIsLc) f.setLength = Length(s.L2); break;
    case SetLengthSource::kLn: if (!f.setLengthIsLc) f.setLength = Length(s.Ln); break;
  }
}

void ChooseSurface(ProductionDrawingForm& f, int item) {
  f.surfaceCode = item;
  f.surfaceEnabled = item <= 0;
  if (item > 0 && item < static_cast<int>(SurfaceTexts().size()))
    f.surface = OemToAnsiStr(SurfaceTexts()[static_cast<std::size_t>(item)]);
}

ProductionDrawingForm FillProductionDrawingForm() {
  const SpringDataRecord& s = SpringData();
  const ProductionDataRecord& p = ProductionData();
  ProductionDrawingForm f;
  f.deburr = ItemOf(p.Deburr, 1, 5);
  f.setLength = Length(p.Ls);
  f.showSetLength = p.ShowSetLength != 0;
  ChoosePreset(f, ItemOf(p.Preset, 1, 3));
  SetSetLengthIsLc(f, p.SetLengthIsLc != 0);
  f.tempFrom = Temperature(s.T1);
  f.tempTo = Temperature(s.T2);
  ChooseSurface(f, ItemOf(p.SurfaceCode, 0, static_cast<int>(SurfaceTexts().size())));
  f.surface = OemToAnsiStr(p.Surface);  // the stored text, whatever the item
  f.extra1 = OemToAnsiStr(p.Extra1);
  f.extra2 = OemToAnsiStr(p.Extra2);
  f.mandrel = p.Picture == 1 || p.Picture == 3;
  f.sleeve = p.Picture == 2 || p.Picture == 3;
  f.showF = s.ShowLd != 0;
  f.showFn = s.ShowM != 0;
  f.showP = s.ShowP != 0;
  f.materialLine2 = s.HideMaterialLine2 == 0;
  f.materialLine3 = s.HideMaterialLine3 == 0;
  const MaterialRecord& m = ZEBWST_Record();
  f.materialName = OemToAnsiStr(TrimBlanks(s.MaterialName));
  f.materialLine2Text = OemToAnsiStr(TrimBlanks(m.Name2));
  f.materialLine3Text = OemToAnsiStr(TrimBlanks(m.Name3));
  return f;
}

bool CheckProductionDrawingForm(ProductionDrawingForm& f, FieldRefusal* refusal) {
  const ProductionDrawingForm shown = FillProductionDrawingForm();
  std::vector<NumberField> fields{
      {"Edit_vontemp", "Arbeitstemperaturbereich von", &f.tempFrom, shown.tempFrom, kTemperatureRange},
      {"Edit_bistemp", "Arbeitstemperaturbereich bis", &f.tempTo, shown.tempTo, kTemperatureRange}};
  if (f.setLengthEnabled)
    fields.insert(fields.begin(), {"Edit_setzlaenge", "Ls", &f.setLength, shown.setLength, kLengthRange});
  return CheckFields(fields, refusal);
}

void ApplyProductionDrawingForm(const ProductionDrawingForm& f) {
  SpringDataRecord& s = SpringData();
  ProductionDataRecord& p = ProductionData();
  StoreItem(p.Deburr, f.deburr, 1);
  StoreItem(p.Preset, f.preset, 1);
  p.Ls = LengthField(f.setLength, {p.Ls, s.Lc, s.L2, s.Ln});
  p.SetLengthIsLc = f.setLengthIsLc ? 1 : 0;
  p.ShowSetLength = f.showSetLength ? 1 : 0;
  s.T1 = TemperatureField(f.tempFrom, s.T1);
  s.T2 = TemperatureField(f.tempTo, s.T2);
  StoreItem(p.SurfaceCode, f.surfaceCode, 0);
  p.Surface = LeftStr(AnsiLineToOem(f.surface), kSurfaceMaxLength);
  p.Extra1 = LeftStr(AnsiLineToOem(f.extra1), kExtraLineMaxLength);
  p.Extra2 = LeftStr(AnsiLineToOem(f.extra2), kExtraLineMaxLength);
  p.Picture = f.mandrel ? (f.sleeve ? 3 : 1) : (f.sleeve ? 2 : 4);
  s.ShowLd = f.showF ? 1 : 0;
  s.ShowM = f.showFn ? 1 : 0;
  s.ShowP = f.showP ? 1 : 0;
  s.HideMaterialLine2 = f.materialLine2 ? 0 : 1;
  s.HideMaterialLine3 = f.materialLine3 ? 0 : 1;
}

// --- Value table ---------------------------------------------------------

ValueTableForm FillValueTableForm() {
  const ValueTableRecord& v = ValueTable();
  ValueTableForm f;
  const std::string name = OemToAnsiStr(v.Name);
  f.minLabel = name + " min = " + FloatToStrSig(v.Min);
  f.maxLabel = name + " max = " + FloatToStrSig(v.Max);
  f.columnTitle = name + " [" + OemToAnsiStr(v.Unit) + "]";
  const int count = std::clamp<int>(v.Count, 0, kMaxValueTableCount);
  for (int i = 1; i <= count; ++i) f.values.push_back(FloatToStrSig(v.Values[static_cast<std::size_t>(i)]));
  if (f.values.empty()) f.values.emplace_back();
  return f;
}

void AddValueRow(ValueTableForm& f) {
  if (f.values.size() < static_cast<std::size_t>(kMaxValueTableCount)) f.values.emplace_back();
}

void DeleteValueRow(ValueTableForm& f) {
  if (f.values.size() > 1) f.values.pop_back();
}

void ApplyValueTableForm(const ValueTableForm& f) {
  const ValueTableForm shown = FillValueTableForm();
  ValueTableRecord& v = ValueTable();
  const int had = std::clamp<int>(v.Count, 0, kMaxValueTableCount);
  const int count = std::min<int>(static_cast<int>(f.values.size()), kMaxValueTableCount);
  v.Count = count;
  for (int i = 1; i <= count; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    // A row of a value, left as it was given, keeps its exact value.
    if (i <= had && f.values[k] == shown.values[k]) continue;
    v.Values[static_cast<std::size_t>(i)] = TextToFloat(f.values[k]);
  }
}

}  // namespace zeb
