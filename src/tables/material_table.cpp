#include "tables/material_table.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/text.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/strength.h"
#include "spring/tolerances.h"
#include "tables/material_entry.h"
#include "tables/table_functions.h"
#include "tables/table_window.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/dbfcheck.h"

namespace zeb {

namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::int32_t IntField(int n) { return TextToInt(TableGetField(n)); }
Real48 RealField(int n) { return MakeReal48(TextToFloat(TableGetField(n))); }

void ReadFatigue(int first, FatigueGroup& g) {
  g.tauo0 = IntField(first);
  g.tauoSlope = IntField(first + 1);
  g.tauh0 = IntField(first + 2);
  g.tauhSlope = IntField(first + 3);
  g.GoodmanSlope = RealField(first + 4);
}

void WriteFatigue(int first, const FatigueGroup& g) {
  TablePutInt(first, g.tauo0);
  TablePutInt(first + 1, g.tauoSlope);
  TablePutInt(first + 2, g.tauh0);
  TablePutInt(first + 3, g.tauhSlope);
  TablePutFloat(first + 4, g.GoodmanSlope);
}

void PutText(int n, const std::string& oem) { TablePutField(n, Cp850To1252(oem)); }

// The table as the user knows it, also when a copy of it is read.
std::string KnownTablePath() {
  std::string path = TheTableWindow().FileName();
  if (const std::string scratch = ScratchFile(""); !scratch.empty() && path.starts_with(scratch))
    path = AddBackslash(G().DbfFolder) + path.substr(scratch.size());
  return path;
}

// Names field n of the current record as damage of the open table
// (AbortFlag set); false.
bool FieldDamaged(int n, const std::string& why) {
  ReportDamagedTable(KnownTablePath(),
                     "Satz "_oem + std::to_string(TableRecNo()) + ", Feld " + TableFieldName(n) + ": " + why);
  return false;
}

// Names field n of the open table as one of the wrong kind: the program
// reads it as a number (number) or as a text; false.
bool KindDamaged(int n, bool number) {
  ReportDamagedTable(KnownTablePath(), "Feld "_oem + TableFieldName(n) +
                                           (number ? std::string(" ist kein Zahlenfeld") : std::string(" ist kein Textfeld")));
  return false;
}

bool IsNumberField(int n) {
  const char type = TheTableWindow().FieldType(n);
  return type == 'N' || type == 'F';
}

// The current record of the open table as the program reads it: kinds
// holds for each field from 1 on "I" (a whole number), "R" (a number), "C"
// (a text) or "-" (not read here). A field of another type, a number field
// whose bytes hold no number, or a whole number's field with decimals (the
// engine shows "819" as "819.0000", which reads as no whole number) is
// named as damage of the table (AbortFlag set) and false is returned.
// Fields the table lacks are left to the reader.
bool RowSound(std::string_view kinds) {
  TableWindow& w = TheTableWindow();
  const int count = std::min(w.FieldCount(), static_cast<int>(kinds.size()));
  // The record's bytes as the table's checks hold them, else field by
  // field from the file.
  std::vector<std::string> held;
  if (!DbfHeldFields(w.FileName(), TableRecNo(), held) || static_cast<int>(held.size()) < count) held.clear();
  for (int n = 1; n <= count; ++n) {
    const char kind = kinds[static_cast<std::size_t>(n - 1)];
    if (kind == 'C' && w.FieldType(n) != 'C') return KindDamaged(n, false);
    if (kind != 'I' && kind != 'R') continue;
    if (!IsNumberField(n)) return KindDamaged(n, true);
    // The bytes as the record holds them: the engine reads any text as
    // some number.
    const std::string raw = held.empty() ? w.RawField(n) : held[static_cast<std::size_t>(n - 1)];
    if (const std::string why = NumberTextDamage(raw); !why.empty()) return FieldDamaged(n, why);
    if (const int decimals = w.FieldDecimals(n); kind == 'I' && decimals != 0)
      return FieldDamaged(n, "Dezimalstellenzahl "_oem + std::to_string(decimals) + " in einem Feld ganzer Zahlen " +
                                 QuotedBytes(raw));
  }
  return true;
}

// The kinds of the fields of the material table, of the tensile-strength
// tables and of the relaxation table (see RowSound).
std::string MaterialKinds() { return "CCCCIIRIRIIRIIIIRIIIIRRRICI"; }
std::string RmKinds() { return "IC" + std::string(kRmTableSize, 'I'); }
std::string RelaxationKinds() {
  std::string kinds = "ICIIRR";
  for (int k = 0; k < 8; ++k) kinds += "IR";
  return kinds;
}

// Goes to the material of that number in the open table (marked records
// included); true when found.
bool SeekMaterial(std::int32_t number) {
  TableShowDeleted();
  MaterialMakeNumberIndex();
  if (G().AbortFlag != 0) return false;
  TableSeek(MaterialKey(number));
  return TableFound() && G().AbortFlag == 0;
}

// The walk of FindNumber through the dataset, for a layout whose bytes are
// left to the engine.
bool WalkToNumber(int field, std::int32_t number) {
  for (TableGoTop(); !TableEof() && G().AbortFlag == 0; TableSkip(1)) {
    std::int32_t key = 0;
    if (const std::string why = KeyTextDamage(TheTableWindow().RawField(field), key); !why.empty())
      return FieldDamaged(field, why);
    if (key == number) return G().AbortFlag == 0;
  }
  return false;
}

// Goes to the first record (in table order, marked ones included) whose
// numeric field `field` holds `number`: the record a seek in an index on
// that field finds, without building the index file and its semaphore
// for one lookup. The keys are checked once per state of the table file:
// a key field that is no number field, a key of any record (marked ones
// are found too) that names no material (blank, no whole number from 1 on), or a
// number two records hold, is named as damage of the table (AbortFlag
// set). A table without that field takes the indexed road, which reports
// it.
bool FindNumber(int field, const char* indexName, std::int32_t number) {
  TableShowDeleted();
  const std::string name = TableFieldName(field);
  if (name.empty()) {
    TableMakeIndex(name, indexName);
    if (G().AbortFlag != 0) return false;
    TableSeek(MaterialKey(number));
    return TableFound() && G().AbortFlag == 0;
  }
  if (!IsNumberField(field)) return KindDamaged(field, true);
  TableWindow& w = TheTableWindow();
  // A file another program changed since its keys were read is read again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::map<std::int32_t, std::int32_t>* keys = nullptr;
    if (const std::string why = DbfKeyRecords(w.FileName(), field, keys); !why.empty()) {
      ReportDamagedTable(KnownTablePath(), why);
      return false;
    }
    if (keys == nullptr) return WalkToNumber(field, number);
    const auto it = keys->find(number);
    if (it == keys->end() || it->second > TableRecCount()) return false;
    TableSelectRecord(it->second);
    if (G().AbortFlag != 0) return false;
    if (TextToFloat(w.RawField(field)) == number) return true;
  }
  ShowError("Tabelle "_oem + FromUtf8(CodePage::Cp850, KnownTablePath()) + " nicht lesbar"_oem);
  G().AbortFlag = 1;
  return false;
}

}  // namespace

// Control characters (a NUL, a tab) are blanks, as in the texts of a spring
// file: they would end a line of a printout early or open a column of the
// tab-separated one.
std::string MaterialTextField(int n) { return TrimRight(ControlCharsToBlanks(Cp1252To850(TableGetField(n)))); }

void MaterialReadRecord() {
  if (G().AbortFlag != 0) return;
  // A damaged row is named, not read into values it does not hold.
  if (!RowSound(MaterialKinds())) return;
  MaterialRecord& m = ZEBWST_Record();
  m.Name1 = MaterialTextField(1);
  m.Name2 = MaterialTextField(2);
  m.Name3 = MaterialTextField(3);
  m.Name4 = MaterialTextField(4);
  m.G = IntField(5);
  m.E = IntField(6);
  m.Density = RealField(7);
  m.Rm0 = IntField(8);
  m.DR0 = RealField(9);
  m.RmMax = IntField(10);
  m.RmSlope = IntField(11);
  m.d0 = RealField(12);
  ReadFatigue(13, m.Unpeened);
  ReadFatigue(18, m.Peened);
  m.dmin = RealField(23);
  m.dmax = RealField(24);
  m.Tmax = IntField(25);
  m.Text = MaterialTextField(26);
  m.MaterialNumber = IntField(27);
}

void MaterialWriteRecord() {
  if (G().AbortFlag != 0) return;
  const MaterialRecord& m = ZEBWST_Record();
  PutText(1, m.Name1);
  PutText(2, m.Name2);
  PutText(3, m.Name3);
  PutText(4, m.Name4);
  TablePutInt(5, m.G);
  TablePutInt(6, m.E);
  TablePutFloat(7, m.Density);
  TablePutInt(8, m.Rm0);
  TablePutFloat(9, m.DR0);
  TablePutInt(10, m.RmMax);
  TablePutInt(11, m.RmSlope);
  TablePutFloat(12, m.d0);
  WriteFatigue(13, m.Unpeened);
  WriteFatigue(18, m.Peened);
  TablePutFloat(23, m.dmin);
  TablePutFloat(24, m.dmax);
  TablePutInt(25, m.Tmax);
  PutText(26, m.Text);
  TablePutInt(27, m.MaterialNumber);
}

std::string MaterialNameFieldName() { return TableFieldName(1); }

bool MaterialOpenTable() {
  TableOpen("zebwst.dbf");
  if (G().AbortFlag == 0) return true;
  AddErrorMessage("Fatal  : ZEBWST DBF error");
  return false;
}

void MaterialMakeNumberIndex() { TableMakeIndex(TableFieldName(27), "zebwst"); }

std::string MaterialKey(std::int32_t number) {
  char key[16];
  std::snprintf(key, sizeof key, "%9d", static_cast<int>(number));
  return key;
}

bool MaterialLoadByNumber(std::uint16_t number) {
  G().AbortFlag = 0;
  if (!MaterialOpenTable()) return false;
  bool found = SeekMaterial(number);
  if (found) {
    MaterialReadRecord();
    found = G().AbortFlag == 0;
    if (found) CopyMaterialToSpring();
  }
  TableClose();
  return found;
}

bool MaterialOpenIndexed() {
  G().AbortFlag = 0;
  if (!MaterialOpenTable()) return false;
  TableShowDeleted();
  MaterialMakeNumberIndex();
  return true;
}

bool LoadMaterialRow(std::int32_t number) {
  BaseGlobals& g = G();
  const Byte savedAbort = g.AbortFlag;
  g.AbortFlag = 0;
  bool found = false, damaged = false;
  // A missing or damaged table is reported even where the reader keeps
  // boxes off: the spring cannot get its material, or not all of it.
  const Byte savedSwitch = g.ShowErrorsSwitch;
  g.ShowErrorsSwitch = 1;
  const bool opened = number > 0 && MaterialOpenTable();
  if (opened) {
    found = FindNumber(27, "zebwst", number);
    if (found) MaterialReadRecord();
    damaged = g.AbortFlag != 0;
    if (!found && !damaged) {
      // A number in no row would calculate the spring without its material.
      ShowError("Werkstoffnummer "_oem + std::to_string(number) + " steht in keinem Satz der Tabelle "_oem +
                FromUtf8(CodePage::Cp850, KnownTablePath()));
      damaged = true;
    }
    found = found && !damaged;
    TableClose();
  }
  ClearRmTable();
  ClearRelaxationRecord();
  if (found) {
    // Missing strength tables stay as quiet as the reader is.
    if (!TableFileExists("zebrmmin") || !TableFileExists("zebrmmax")) g.ShowErrorsSwitch = savedSwitch;
    LoadRmTables(static_cast<std::uint16_t>(number));
    g.ShowErrorsSwitch = 1;
    LoadRelaxationRow(number);
  }
  g.ShowErrorsSwitch = savedSwitch;
  g.AbortFlag = (number > 0 && !opened) || damaged ? 1 : savedAbort;
  return found;
}

bool LoadRelaxationRow(std::int32_t number) {
  BaseGlobals& g = G();
  ClearRelaxationRecord();
  g.AbortFlag = 0;
  TableOpen("zebwstr.dbf");
  if (g.AbortFlag == 0) {
    if (FindNumber(1, "zebwstr", number) && RowSound(RelaxationKinds())) {
      SG().RelaxationFound = 1;
      ReadRelaxationFields([](int n) { return TableGetField(n); });
    }
    TableClose();
  }
  if (g.AbortFlag == 0) return true;
  SG().RelaxationTableBad = 1;
  AddErrorMessage("Fatal  : ZEBWSTR.DBF error");
  return false;
}

std::string MaterialLacks(const MaterialRecord& m) {
  std::vector<std::string> names;
  if (m.G <= 0) names.emplace_back("Schubmodul");
  if (m.E <= 0) names.push_back("Elastizitätsmodul"_oem);
  if (!(MaterialReal(m.Density) > 0)) names.emplace_back("Dichte");
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k)
    text += (k == 0 ? "" : k + 1 == names.size() ? " und " : ", ") + names[k];
  return text;
}

std::string MaterialRowLacks() {
  // A field that holds no number at all is damage, which reading the row
  // names.
  const auto missing = [](int n) {
    const std::string text = TableGetField(n);
    const xbase::StoredNumberKind kind = xbase::ClassifyStoredNumber(text);
    return kind == xbase::StoredNumberKind::Empty ||
           (kind == xbase::StoredNumberKind::Number && !(TextToFloat(text) > 0));
  };
  MaterialRecord m;
  m.G = missing(5) ? 0 : 1;
  m.E = missing(6) ? 0 : 1;
  m.Density = MakeReal48(missing(7) ? 0 : 1);
  return MaterialLacks(m);
}

std::string MaterialNotChoosableText(const std::string& name, const std::string& lacks) {
  const bool several = lacks.find(" und ") != std::string::npos;
  return "Werkstoff "_oem + name + ": " + lacks + (several ? " fehlen" : " fehlt") +
         " in der Tabelle, nicht wählbar."_oem;
}

void MaterialSelect(int mode) {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  if (mode == 0) {
    SetCurrentHelpNumber(4050);
    bool yes = false;
    AskYesNo("Neuen Werkstoff eintragen ?", yes);
    if (g.AbortFlag != 0) return;
    if (yes) {
      MaterialNewEntry();
      if (g.AbortFlag != 0) return;
    }
  }
  g.AbortFlag = 0;
  if (!MaterialOpenTable()) return;
  if ((mode == 1 || mode == 3) && MaterialSource() != 0) SeekMaterial(MaterialSource());
  SetCurrentHelpNumber(9590);
  TableSetTitles("", "Material");
  TableBrowse(0);
  const MaterialRecord before = ZEBWST_Record();
  if (g.AbortFlag == 0) MaterialReadRecord();
  if (g.AbortFlag == 0) {
    // A material the calculation cannot work with is not taken.
    if (const std::string lacks = MaterialLacks(ZEBWST_Record()); !lacks.empty()) {
      ShowMessageText(MaterialNotChoosableText(ZEBWST_Record().Name1, lacks));
      ZEBWST_Record() = before;
      g.AbortFlag = 1;
    }
  }
  if (g.AbortFlag == 0) {
    const std::int32_t number = ZEBWST_Record().MaterialNumber;
    MaterialSource() = number > 0 && number <= 65535 ? static_cast<std::uint16_t>(number) : 0;
    CopyMaterialToSpring();
    // The wire is ordered to the standard of the material's name.
    WireStandardCode();
  }
  const Byte abort = g.AbortFlag;
  TableClose();
  if (abort == 0) {
    LoadRmTables(MaterialSource());
    Drawings().OpenRelaxationTable(MaterialSource());
  }
  SetArrowCursor();
  g.AbortFlag = abort;
}

// ------------------------------------------------- tensile-strength tables

void ReadRmRecord(int k) {
  if (G().AbortFlag != 0 || !RowSound(RmKinds())) return;
  RmTableT& t = RmTable();
  const std::int32_t number = TextToInt(TableGetField(1));
  if (number > 0) t.MaterialNumber = number;
  const std::string name = MaterialTextField(2);
  if (!name.empty()) t.Name = name;
  auto& values = k == 1 ? t.Min : t.Max;
  for (int i = 1; i <= kRmTableSize; ++i) values[static_cast<std::size_t>(i - 1)] = TextToInt(TableGetField(i + 2));
}

bool LoadRmTables(std::uint16_t number) {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  bool result = false;
  ClearRmTable();
  static const char* const kNames[] = {"zebrmmin", "zebrmmax"};
  for (int k = 1; k <= 2; ++k) {
    const std::string name = kNames[k - 1];
    // A DBF folder set up before these tables were shipped lacks them: no
    // damage of the material.
    const bool there = TableFileExists(name);
    TableOpen(name + ".dbf");
    if (g.AbortFlag == 0 && FindNumber(1, kNames[k - 1], number)) {
      ReadRmRecord(k);
      if (g.AbortFlag == 0) {
        result = true;
        SG().RmTableLoaded = 1;
      }
    }
    if (g.AbortFlag != 0) {
      TableClose();
      if (there) SG().RmTableBad = static_cast<Byte>(k);
      AddErrorMessage("Fatal  : " + name + " dbf error");
      return result;
    }
  }
  TableClose();
  return result;
}

}  // namespace zeb
