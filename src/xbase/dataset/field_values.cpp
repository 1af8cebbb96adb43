#include "xbase/dataset/field_values.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/env.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dataset/dataset_base.h"
#include "xbase/dataset/tzfields.h"

namespace zeb::xbase {

// ---------------------------------------------------------------- texts

std::string AllTrimText(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return std::string(s.substr(b, e - b));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (CharToUpper(a[i]) != CharToUpper(b[i])) return false;
  return true;
}

std::string OemToAnsiText(std::string_view s) { return Cp850To1252(s); }
std::string AnsiToUtf8(std::string_view s) { return ToUtf8(CodePage::Cp1252, s); }
std::string Utf8ToAnsi(std::string_view s) { return FromUtf8(CodePage::Cp1252, s); }

// ---------------------------------------------------------------- settings

namespace {

struct DatasetEngineUnit : TzEngineUnit {
  DatasetSettings settings;
  bool started = false;
};

DatasetEngineUnit& Unit() { return EngineUnit<DatasetEngineUnit>(TzUnit::Datasets); }

}  // namespace

DatasetSettings& DatasetUnit() { return Unit().settings; }

void StartDatasetUnitOnce() {
  if (Unit().started) return;
  Unit().started = true;
  InitDatasetUnit();
}

void ApplyShortDateFormat(std::string_view format) {
  DatasetSettings& s = DatasetUnit();
  s.shortDateFormat = std::string(format);
  s.dateSeparator = '/';
  for (char c : format)
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      s.dateSeparator = c;
      break;
    }
  std::string upper = TzUpper(format);
  SetCentury(upper.find("YYYY") != std::string::npos);
  const char first = format.empty() ? ' ' : format[0];
  int code = 0;
  if (first == 'Y' || first == 'y') {
    code = 1;
  } else if (first == 'D' || first == 'd') {
    code = s.dateSeparator == '-' ? 3 : s.dateSeparator == '.' ? 5 : 2;
  }
  SetDateFormat(code);
}

void InitDatasetUnit() {
  DatasetSettings& s = DatasetUnit();
  s.trueText = "wahr";
  s.falseText = "falsch";
  s.yesText = "ja";
  s.noText = "nein";
  ApplyShortDateFormat(LocaleShortDateFormat());
}

int SetMessageMode(int mode) {
  const int old = DatasetUnit().messageMode;
  if (mode != 0) DatasetUnit().messageMode = mode;
  return old;
}

void ShowDatasetMessage(std::string_view text) {
  if (DatasetUnit().messageMode != 2) return;
  TzMessageBox(OemToAnsiText(text), "", 0);
}

// ---------------------------------------------------------------- dates

double YmdToDateTime(int year, int month, int day) {
  using namespace std::chrono;
  const sys_days d{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                   std::chrono::day{static_cast<unsigned>(day)}};
  const sys_days origin{std::chrono::year{1899} / December / 30};
  return static_cast<double>((d - origin).count());
}

bool DateTimeToYmd(double dt, int& year, int& month, int& day) {
  using namespace std::chrono;
  if (!std::isfinite(dt) || dt < -693593 || dt > 2958465) return false;
  const sys_days origin{std::chrono::year{1899} / December / 30};
  const year_month_day ymd{origin + days{static_cast<long>(std::floor(dt))}};
  year = static_cast<int>(ymd.year());
  month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  return year >= 1 && year <= 9999;
}

std::string BlankDatePicture() { return EmptyDatePicture(DateFormat()); }

std::string DateTimeToText(double dt) {
  int y = 0, m = 0, d = 0;
  if (dt == 0 || !DateTimeToYmd(dt, y, m, d)) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  return DbfToDate(buf);
}

namespace {

bool ValidYmd(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int max = days[m - 1] + ((m == 2 && IsLeapYear(y)) ? 1 : 0);
  return d <= max;
}

// Date text in YYYYMMDD to a date-time; false when it is no date.
bool DbfDateToDateTime(const std::string& dbf, double& dt) {
  if (dbf.size() != 8) return false;
  for (char c : dbf)
    if (c < '0' || c > '9') return false;
  const int y = std::stoi(dbf.substr(0, 4));
  const int m = std::stoi(dbf.substr(4, 2));
  const int d = std::stoi(dbf.substr(6, 2));
  if (!ValidYmd(y, m, d)) return false;
  dt = YmdToDateTime(y, m, d);
  return true;
}

}  // namespace

double TextToDateTime(std::string_view text) {
  // Three numbers in the order of the short date format.
  const std::string fmt = TzUpper(DatasetUnit().shortDateFormat);
  std::string order;
  for (char c : fmt)
    if ((c == 'D' || c == 'M' || c == 'Y') && order.find(c) == std::string::npos) order.push_back(c);
  if (order.size() != 3) order = "DMY";
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int k = 0;
  std::size_t i = 0;
  const std::string t = AllTrimText(text);
  while (i < t.size() && k < 3) {
    if (t[i] >= '0' && t[i] <= '9') {
      long v = 0;
      while (i < t.size() && t[i] >= '0' && t[i] <= '9' && digits[k] < 5) {
        v = v * 10 + (t[i] - '0');
        ++digits[k];
        ++i;
      }
      parts[k++] = static_cast<int>(v);
      if (i < t.size() && t[i] >= '0' && t[i] <= '9') break;
      if (i < t.size()) ++i;  // one separator
    } else {
      break;
    }
  }
  if (k != 3 || i != t.size()) DatabaseError("'" + t + "' ist kein gültiges Datum"_ansi);
  int y = 0, m = 0, d = 0;
  for (int j = 0; j < 3; ++j) {
    if (order[j] == 'D') d = parts[j];
    if (order[j] == 'M') m = parts[j];
    if (order[j] == 'Y') {
      y = parts[j];
      if (digits[j] <= 2) y += CenturyOf(std::to_string(100 + y).substr(1));
    }
  }
  if (!ValidYmd(y, m, d)) DatabaseError("'" + t + "' ist kein gültiges Datum"_ansi);
  return YmdToDateTime(y, m, d);
}

double DateTextToDateTime(std::string_view text, bool strict) {
  std::string t = TzTrimLeft(text).substr(0, 10);
  std::string checked = t;
  const std::string blank = BlankDatePicture();
  if (!AllTrimText(t).empty() && TzTrimRight(t) != TzTrimRight(blank) && IsDateText(checked)) {
    double dt = 0;
    if (DbfDateToDateTime(DateToDbf(t), dt)) return dt;
  }
  if (strict && !AllTrimText(t).empty() && TzTrimRight(t) != TzTrimRight(blank)) return TextToDateTime(t);
  return 0;
}

// ---------------------------------------------------------------- structure

bool NormaliseFieldDef(DbfFieldDef& def, std::string_view table) {
  DbfFieldDef c = def;
  c.type = CharToUpper(c.type);
  if (c.type == 'B' || c.type == 'G' || c.type == 'P') c.type = 'M';
  if (std::string_view("CDFLMN").find(c.type) == std::string_view::npos || c.type == '\0') c.type = 'C';
  if (c.type == 'N') {
    if (c.length > 20) c.length = 20;
    if (c.decimals > 18) c.decimals = 18;
    if (c.decimals != 0 && c.length - c.decimals < 2) c.decimals = std::max(0, c.length - 2);
  }
  if (c.type == 'C' && c.length > 254) {
    c.length = 254;
    c.decimals = 0;
  }
  // Sound limits the stored header needs: lengths 1..255, decimals in range.
  if (c.type == 'C' && c.length < 1) c.length = 1;
  if (c.type == 'F' || c.type == 'N') {
    if (c.length < 1) c.length = 1;
    if (c.length > 20) c.length = 20;
    if (c.decimals < 0) c.decimals = 0;
    if (c.decimals > 18) c.decimals = 18;
    if (c.decimals != 0 && c.length - c.decimals < 2) c.decimals = std::max(0, c.length - 2);
  }
  if (c.type == 'C' && c.decimals != 0) c.decimals = 0;
  if (c.type == 'D') { c.length = 8; c.decimals = 0; }
  if (c.type == 'L') { c.length = 1; c.decimals = 0; }
  if (c.type == 'M') { c.length = 10; c.decimals = 0; }
  const bool changed = c.type != def.type || c.length != def.length || c.decimals != def.decimals;
  if (changed) {
    // A code page 850 text: the table's file name (UTF-8) is converted.
    const auto field = [](const DbfFieldDef& f) {
      return f.name + "," + std::string(1, f.type ? f.type : ' ') + "," + std::to_string(f.length) + "," +
             std::to_string(f.decimals);
    };
    ShowDatasetMessage("Tabelle " + FromUtf8(CodePage::Cp850, table) + ": Feld " + field(def) + " ung\x81ltig, verwendet wird " +
                       field(c));
  }
  def = c;
  return changed;
}

std::string FormatDbfFieldLine(const DbfFieldDef& def) {
  return def.name + ", " + std::string(1, def.type) + ", " + std::to_string(def.length) + ", " +
         std::to_string(def.decimals);
}

namespace {

bool ParseNumber(const std::string& text, int& value) {
  const std::string t = AllTrimText(text);
  if (t.empty()) {
    value = 0;
    return true;
  }
  std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = std::min<long long>(v * 10 + (t[i] - '0'), 1000000);
  }
  value = static_cast<int>(t[0] == '-' ? -v : v);
  return true;
}

}  // namespace

bool ParseDbfFields(const std::vector<std::string>& lines, bool memoAsNumber, std::string_view table,
                    std::vector<DbfFieldDef>& defs) {
  defs.clear();
  for (const std::string& line : lines) {
    if (std::count(line.begin(), line.end(), ',') != 3) return false;
    const std::size_t c1 = line.find(',');
    const std::size_t c2 = line.find(',', c1 + 1);
    const std::size_t c3 = line.find(',', c2 + 1);
    DbfFieldDef d;
    d.name = TzUpper(AllTrimText(line.substr(0, c1))).substr(0, 10);
    const std::string type = AllTrimText(line.substr(c1 + 1, c2 - c1 - 1));
    d.type = type.empty() ? ' ' : CharToUpper(type[0]);
    if (!ParseNumber(line.substr(c2 + 1, c3 - c2 - 1), d.length)) return false;
    if (!ParseNumber(line.substr(c3 + 1), d.decimals)) return false;
    if (d.type == 'X') continue;
    if (d.name.empty()) return false;
    if (memoAsNumber && d.type == 'M') {
      d.type = 'N';
      d.length = 10;
      d.decimals = 0;
    }
    NormaliseFieldDef(d, table);
    if (defs.size() < 255) defs.push_back(d);
  }
  return true;
}

std::vector<std::string> DbfFieldsOf(const DbfTable& t, std::string_view component) {
  std::vector<std::string> lines;
  for (const FieldDesc& f : t.fields) {
    DbfFieldDef d{f.name.substr(0, 10), f.type, f.length, f.decimals};
    NormaliseFieldDef(d, t.fileName.empty() ? component : std::string_view(t.fileName));
    lines.push_back(FormatDbfFieldLine(d));
  }
  return lines;
}

bool CreateTableFromDbfFields(const std::vector<std::string>* lines, std::string_view fileName,
                              bool memoAsNumber, std::string_view component) {
  if (lines == nullptr) {
    ShowDatasetMessage("DbfFieldList ist Nil beim Versuch, eine Datenbank zu erzeugen");
    return false;
  }
  if (lines->empty()) {
    ShowDatasetMessage("FieldList.Count ist <= 0 beim Versuch, eine Datenbank zu erzeugen");
    return false;
  }
  std::vector<DbfFieldDef> defs;
  if (!ParseDbfFields(*lines, memoAsNumber, fileName.empty() ? component : fileName, defs) || defs.empty())
    return false;
  std::vector<FieldDesc> fields;
  for (const DbfFieldDef& d : defs)
    fields.push_back(FieldDesc{d.name, d.type, static_cast<std::uint8_t>(d.length),
                               static_cast<std::uint8_t>(d.decimals), 0});
  const bool old = SetTzErrorSwitch(false);
  ClearTzErrorState();
  DbfTable t;
  CreateDbf(t, fileName, fields);
  const bool ok = Engine().lastError == 0 && TzCurrentError() == 0;
  SetTzErrorSwitch(old);
  return ok;
}

}  // namespace zeb::xbase

// ---------------------------------------------------------------- field classes

namespace zeb::xbase {

std::string TTzDateField::DisplayText() const {
  std::string text = TField::DisplayText();
  std::string cut = text.substr(0, 10);
  if (IsDateText(cut)) return text.substr(0, 10);
  return text;
}

void TTzDateField::SetText(std::string_view text) {
  const std::string first = TzTrimRight(text.substr(0, 10));
  // Blanks and separators only (an emptied masked cell): no date.
  if (first.find_first_not_of(" ./-") == std::string::npos) return Clear();
  const double dt = DateTextToDateTime(first, true);
  if (dt == 0) return Clear();
  SetAsDateTime(dt);
}

}  // namespace zeb::xbase
