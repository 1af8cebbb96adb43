#include "tables/material_form.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/typed_number.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/strength.h"
#include "spring/tolerances.h"
#include "tables/material_table.h"
#include "tables/table_functions.h"
#include "tables/table_window.h"

namespace zeb {

namespace {

// A numeric field: its label (code page 850), its text, the text of the
// value it stands for, its range; typed when the two texts differ.
struct NumberField {
  std::string label;
  std::string* text;
  std::string shown;
  NumberRange range;
};

// A strength the table row has no law for shows as on the sheets.
std::string StrengthText(Real x) { return x > 0 ? FormatStress(x) : std::string("-"); }

}  // namespace

const std::vector<std::string>& MaterialForm::ToleranceItems() {
  static const std::vector<std::string> items = {
      "DIN 2076 B (0,3 .. 20 mm)",       "DIN 2076 C (0,07 .. 20 mm)",      "DIN 2077   (7 .. 80 mm)",
      "T1 - EN 10218-2 (0,3 .. 25 mm)",  "T2 - EN 10218-2 (0,2 .. 25 mm)",  "T3 - EN 10218-2 (0,05 .. 25 mm)",
      "T4 - EN 10218-2 (0,05 .. 25 mm)", "T5 - EN 10218-2 (0,05 .. 25 mm)", "EN 10270-1 (0,05 .. 25 mm)",
      "EN 10270-2 (0,05 .. 25 mm)",      "EN 10270-3:2001",                 "T12 - EN 10270-3 (0 .. 10 mm)",
      "T13 - EN 10270-3 (0 .. 10 mm)",   "T14 - EN 10270-3 (0 .. 10 mm)",   "T15 - EN 10270-3 (0 .. 10 mm)",
      "andere ...",                      "EN 12166 - A (0 .. 20 mm)"};
  return items;
}

std::string MaterialForm::ItemOfCurrentRecord() {
  std::string number = TableGetField(27);
  while (!number.empty() && number.back() == ' ') number.pop_back();
  if (number.size() < 9) number.insert(0, 9 - number.size(), ' ');
  return number + ": " + MaterialTextField(1) + " " + MaterialTextField(2) + " " + MaterialTextField(3);
}

void MaterialForm::Show() {
  const SpringDataRecord& s = SpringData();
  // The previews below write into the spring records.
  saved_ = SG();
  tableShown_ = false;
  own_ = {};
  if (s.MaterialSel != 11) {
    source = kPreferred;
    UpdateSourceMode();
  } else {
    source = kOwn;
    UpdateSourceMode();
    TakeOwnFromSpring();
    ShowOwnTexts();
  }
  tolIndex = s.WireStd >= 1 && s.WireStd <= 17 ? s.WireStd - 1 : 15;
  tolText = FormatLength(s.TolWire);
  tolEnabled = tolIndex == 15;
  dd = FormatLength(s.d);
  surface = s.MaterialCoiling >= 1 && s.MaterialCoiling <= 4 ? s.MaterialCoiling - 1 : 0;
  tolMin = FloatToStrSig(s.FatigueTol1);
  tolMax = FloatToStrSig(s.FatigueTol2);
  SetArrowCursor();
  FillMaterialCombo();
}

void MaterialForm::FillMaterialCombo() {
  G().AbortFlag = 0;
  TableShowDeleted();
  if (!MaterialOpenIndexed()) {
    ShowMessageText("zebwst.dbf error");
    return;
  }
  TableGoTop();
  SetHourglassCursor();
  items.clear();
  lacks_.clear();
  while (!TableEof()) {
    if (source == kAll || !TableDeleted()) {
      // A material the calculation cannot work with says what it lacks.
      const std::string lacks = MaterialRowLacks();
      items.push_back(ItemOfCurrentRecord() + (lacks.empty() ? "" : "  (ohne " + lacks + ")"));
      lacks_.push_back(lacks.empty() ? "" : MaterialNotChoosableText(MaterialTextField(1), lacks));
    }
    TableSkip(1);
  }
  TableClose();
}

void MaterialForm::UpdateSourceMode() {
  ownEnabled = source == kOwn;
  if (source != kOwn) {
    FillMaterialCombo();
    ShowMaterialValues();
  }
}

void MaterialForm::SetSource(int s) {
  if (s < kPreferred || s > kOwn || s == source) return;
  // The own values wait, as typed, while a table row is shown.
  if (source == kOwn) KeepOwnTexts();
  const bool toOwn = s == kOwn;
  source = s;
  if (toOwn) {
    if (!own_.kept) TakeOwnFromSpring();
    ShowOwnTexts();
  }
  UpdateSourceMode();
}

void MaterialForm::TakeOwnFromSpring() {
  const SpringDataRecord& s = SpringData();
  own_.kept = true;
  own_.name = s.MaterialName;
  own_.E = s.E;
  own_.G = s.G;
  own_.rho = s.rho;
  own_.Rm = s.Rm;
  own_.tauzul = s.tauzul;
  own_.source = MaterialSource();
  own_.standard = s.MaterialStd;
  own_.texts[0] = own_.name;
  own_.texts[1] = FormatStress(own_.E);
  own_.texts[2] = FormatStress(own_.G);
  own_.texts[3] = FloatToStrSig(own_.rho);
  own_.texts[4] = StrengthText(own_.Rm);
  own_.texts[5] = StrengthText(own_.tauzul);
}

void MaterialForm::KeepOwnTexts() {
  std::string* edits[] = {&name, &emodul, &gmodul, &dichte, &rm, &tauz};
  for (int i = 0; i < 6; ++i) own_.texts[i] = *edits[i];
}

void MaterialForm::ShowOwnTexts() {
  std::string* edits[] = {&name, &emodul, &gmodul, &dichte, &rm, &tauz};
  for (int i = 0; i < 6; ++i) *edits[i] = own_.texts[i];
}

void MaterialForm::ChooseItem(int index) {
  if (index < 0 || index >= static_cast<int>(items.size())) return;
  // Such a material is not taken; the one shown stays.
  if (static_cast<std::size_t>(index) < lacks_.size() && !lacks_[static_cast<std::size_t>(index)].empty()) {
    ShowMessageText(lacks_[static_cast<std::size_t>(index)]);
    return;
  }
  comboText = items[static_cast<std::size_t>(index)];
  const std::int32_t n = TextToInt(comboText.substr(0, 9));
  MaterialSource() = n > 0 && n <= 65535 ? static_cast<std::uint16_t>(n) : 0;
  ShowMaterialValues();
  FollowWireStandard();
}

// Only a material the form shows gives the wire its standard.
void MaterialForm::FollowWireStandard() {
  if (!tableShown_) return;
  WireStandardCode();
  SetToleranceIndex(SpringData().WireStd - 1);
}

int MaterialForm::ShownItem() const {
  if (source == kOwn) return -1;
  const auto number = [](std::string_view item) { return TextToInt(item.substr(0, 9)); };
  const std::int32_t shown = number(comboText);
  if (shown <= 0) return -1;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (number(items[i]) == shown) return static_cast<int>(i);
  return -1;
}

void MaterialForm::ShowMaterialValues() {
  SpringDataRecord& s = SpringData();
  tableShown_ = MaterialLoadByNumber(MaterialSource());
  if (!tableShown_) {
    AddErrorMessage("Material " + std::to_string(MaterialSource()) + " not found");
    // The list names no material the spring would get.
    comboText.clear();
    return;
  }
  const MaterialRecord& m = ZEBWST_Record();
  char number[16];
  std::snprintf(number, sizeof number, "%9d", static_cast<int>(MaterialSource()));
  comboText = std::string(number) + ": " + m.Name1 + " " + m.Name2 + " " + m.Name3;
  name = m.Name1;
  emodul = FormatStress(s.E);
  gmodul = FormatStress(s.G);
  dichte = FloatToStrSig(s.rho);
  s.Rm = MaterialRmOfD(s.d);
  if (s.Rm <= 0.1L) s.Rm = 0;  // a row without a strength law
  s.tauzul = s.CoilingKind > 1 && s.d > 0 ? 840 - 250 * Log10Ext(0.05L * s.d) : 0.56L * s.Rm;
  rm = StrengthText(s.Rm);
  tauz = StrengthText(s.tauzul);
}

void MaterialForm::SetDiameterText(const std::string& text) {
  SpringDataRecord& s = SpringData();
  dd = text;
  // While typing, d follows only texts that are numbers in range; OK
  // refuses the others.
  if (!TypedNumberFits(text, kLengthRange)) return;
  s.d = ParseLength(text);
  if (s.d <= 0.001L) s.d = 0.05L;
  if (source != kOwn) ShowMaterialValues();
  if (tolIndex != 15) tolText = FormatLength(WireToleranceForStandard(tolIndex + 1, s.d));
  G().AbortFlag = 0;
}

void MaterialForm::SetToleranceIndex(int index) {
  if (index < 0 || index > 16) return;
  tolIndex = index;
  tolEnabled = index == 15;
  if (!tolEnabled) tolText = FormatLengthDec(3, WireToleranceForStandard(index + 1, SpringData().d));
}

void MaterialForm::WireTableButton(const char* table, const char* title) {
  SetCurrentHelpNumber(3300);
  TableWindow& w = TheTableWindow();
  G().AbortFlag = 0;
  w.OpenWithWriteCheck(table);
  if (G().AbortFlag == 0) {
    w.SetTitles(Cp850To1252(title), "");
    w.ShowTable(1);
    if (G().AbortFlag == 0) SetDiameterText(FormatLength(TextToFloat(w.GetField(1))));
    w.CloseTable();
  }
  G().AbortFlag = 0;
}

void MaterialForm::Din2076Button() {
  if (tolIndex == 2) {
    WireTableButton("din2077", "d DIN 2077");
  } else {
    WireTableButton("din2076", "d DIN 2076");
  }
}

void MaterialForm::En10270Button() { WireTableButton("t10270_1", "EN 10270-1"); }

void MaterialForm::DatabaseButton() {
  if (!MaterialOpenIndexed()) {
    ShowMessageText("zebwst.dbf error");
    return;
  }
  TableSetTitles("Werkstoff", "zebwst.dbf");
  // The chosen material by its number, whatever its record.
  TableSeek(MaterialKey(MaterialSource()));
  TableBrowse(source == kAll ? 4 : 1);
  bool ok = G().AbortFlag == 0;
  if (ok) {
    if (const std::string lacks = MaterialRowLacks(); !lacks.empty()) {
      ShowMessageText(MaterialNotChoosableText(MaterialTextField(1), lacks));
      ok = false;
    }
  }
  if (ok) {
    const std::int32_t n = TextToInt(TableGetField(27));
    MaterialSource() = n > 0 && n <= 65535 ? static_cast<std::uint16_t>(n) : 0;
    comboText = ItemOfCurrentRecord();
  }
  TableClose();
  if (!ok) return;
  ShowMaterialValues();
  FollowWireStandard();
}

void MaterialForm::FatigueButton() {
  tolMax = "+5";
  tolMin = "-5";
}

bool MaterialForm::CheckNumbers() {
  const SpringDataRecord& s = SpringData();
  std::vector<NumberField> fields;
  if (source == kOwn) {
    fields.push_back({"Elastizitätsmodul"_oem, &emodul, FormatStress(own_.E), kModulusRange});
    fields.push_back({"Schubmodul", &gmodul, FormatStress(own_.G), kModulusRange});
    fields.push_back({"Dichte", &dichte, FloatToStrSig(own_.rho), kNotNegativeRange});
    fields.push_back({"Zugfestigkeit", &rm, StrengthText(own_.Rm), kModulusRange});
    fields.push_back({"zul. Schubspannung", &tauz, StrengthText(own_.tauzul), kModulusRange});
  }
  fields.push_back({"d", &dd, FormatLength(s.d), kLengthRange});
  if (tolIndex == 15)
    fields.push_back({"Toleranz des Drahtdurchmessers", &tolText, FormatLength(s.TolWire), kLengthRange});
  fields.push_back({"Toleranz Dauerfestigkeit min %", &tolMin, FloatToStrSig(s.FatigueTol1), kAnyNumberRange});
  fields.push_back({"Toleranz Dauerfestigkeit max %", &tolMax, FloatToStrSig(s.FatigueTol2), kAnyNumberRange});
  for (const NumberField& f : fields) {
    Real unused = 0;
    if (*f.text == f.shown || ReadTypedNumber(f.label, *f.text, f.range, unused)) continue;
    *f.text = f.shown;
    return false;
  }
  return true;
}

void MaterialForm::TakeOverMaterial() {
  SpringDataRecord& s = SpringData();
  // A typed number (checked before) into x; a text left as shown keeps x.
  auto take = [](const std::string& text, const std::string& shown, const NumberRange& range, Real& x) {
    if (text != shown) ReadTypedNumber("", text, range, x);
  };
  if (source != kOwn) {
    s.MaterialSel = 0;
    s.MaterialStd = 0;
    LoadRmTables(static_cast<std::uint16_t>(ZEBWST_Record().MaterialNumber));
    Drawings().OpenRelaxationTable(ZEBWST_Record().MaterialNumber);
    G().AbortFlag = 0;
  } else {
    // The own values as kept, each typed one in its place; the spring keeps
    // the table number and standard it had with them.
    s.MaterialSel = 11;
    s.MaterialStd = own_.standard;
    MaterialSource() = own_.source;
    s.MaterialName = name;
    s.E = own_.E;
    s.G = own_.G;
    s.Rm = own_.Rm;
    s.tauzul = own_.tauzul;
    s.rho = own_.rho;
    take(emodul, FormatStress(own_.E), kModulusRange, s.E);
    take(gmodul, FormatStress(own_.G), kModulusRange, s.G);
    take(rm, StrengthText(own_.Rm), kModulusRange, s.Rm);
    take(tauz, StrengthText(own_.tauzul), kModulusRange, s.tauzul);
    take(dichte, FloatToStrSig(own_.rho), kNotNegativeRange, s.rho);
    // No part of the table material last shown stays with the spring.
    InstallSpringMaterial();
  }
  s.WireStd = static_cast<Code>(tolIndex + 1);
  if (s.WireStd == 16) take(tolText, FormatLength(s.TolWire), kLengthRange, s.TolWire);
  s.MaterialCoiling = static_cast<Code>(surface + 1);
  Real t1 = s.FatigueTol1, t2 = s.FatigueTol2;
  take(tolMin, FloatToStrSig(s.FatigueTol1), kAnyNumberRange, t1);
  take(tolMax, FloatToStrSig(s.FatigueTol2), kAnyNumberRange, t2);
  s.FatigueTol1 = t1;
  s.FatigueTol2 = t2;
  if (s.FatigueTol1 > s.FatigueTol2) std::swap(s.FatigueTol1, s.FatigueTol2);
}

bool MaterialForm::Ok() {
  if (!CheckNumbers()) return false;
  if (source != kOwn && !tableShown_) {
    // The spring would be left with no material at all.
    ShowMessageText("Kein Werkstoff gewählt: bitte einen Werkstoff aus der Liste wählen."_oem);
    return false;
  }
  if (source != kOwn) {
    // The spring's own table material may lack them too.
    if (const std::string lacks = MaterialLacks(ZEBWST_Record()); !lacks.empty()) {
      ShowMessageText(MaterialNotChoosableText(ZEBWST_Record().Name1, lacks));
      return false;
    }
  }
  G().AbortFlag = 0;
  TakeOverMaterial();
  G().AbortFlag = 0;
  return true;
}

void MaterialForm::Cancel() {
  SG() = saved_;
  G().AbortFlag = 1;
}

}  // namespace zeb
