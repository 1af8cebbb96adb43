#include "xbase/core/dates.h"

#include <time.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "xbase/core/engine.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

namespace {

std::string_view CutAtNul(std::string_view s) {
  auto p = s.find('\0');
  return p == std::string_view::npos ? s : s.substr(0, p);
}

// Value of a text of digits only; -1 otherwise (also when empty).
int DigitsValue(std::string_view s) {
  if (s.empty() || s.size() > 9) return -1;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// Leading digits read as a number (blanks before them skipped), 0 if none.
int LooseValue(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  int v = 0;
  for (int n = 0; i < s.size() && s[i] >= '0' && s[i] <= '9' && n < 9; ++i, ++n) v = v * 10 + (s[i] - '0');
  return v;
}

std::string PadLeftZero(std::string s, std::size_t n) {
  if (s.size() < n) s.insert(0, n - s.size(), '0');
  return s;
}

std::string PartOf(std::string_view s) {
  std::string t = AllTrim(s);
  if (t.size() > 4) t.resize(4);
  return t;
}

// Splits at the first two occurrences of sep.
void Split3(std::string_view s, char sep, std::string& a, std::string& b, std::string& c) {
  auto p1 = s.find(sep);
  if (p1 == std::string_view::npos) {
    a = PartOf(s);
    b.clear();
    c.clear();
    return;
  }
  a = PartOf(s.substr(0, p1));
  auto p2 = s.find(sep, p1 + 1);
  if (p2 == std::string_view::npos) {
    b = PartOf(s.substr(p1 + 1));
    c.clear();
  } else {
    b = PartOf(s.substr(p1 + 1, p2 - p1 - 1));
    c = PartOf(s.substr(p2 + 1));
  }
}

std::string Utf8ToCp866(std::string_view u) {
  std::string out;
  for (std::size_t i = 0; i < u.size();) {
    unsigned char c = static_cast<unsigned char>(u[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(u[i + 1]) & 0x3F);
    i += 2;
    unsigned char b = '?';
    if (cp >= 0x410 && cp <= 0x42F) b = static_cast<unsigned char>(0x80 + (cp - 0x410));
    else if (cp >= 0x430 && cp <= 0x43F) b = static_cast<unsigned char>(0xA0 + (cp - 0x430));
    else if (cp >= 0x440 && cp <= 0x44F) b = static_cast<unsigned char>(0xE0 + (cp - 0x440));
    else if (cp == 0x401) b = 0xF0;
    else if (cp == 0x451) b = 0xF1;
    out += static_cast<char>(b);
  }
  return out;
}

struct NameSet {
  std::array<const char*, 7> days;
  std::array<const char*, 12> months;
  bool cyrillic;
};

const NameSet kEnglish{{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
                       {"January", "February", "March", "April", "May", "June", "July", "August",
                        "September", "October", "November", "December"},
                       false};
const NameSet kItalian{{"Domenica", "Lunedi", "Martedi", "Mercoledi", "Giovedi", "Venerdi", "Sabato"},
                       {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto",
                        "Settembre", "Ottobre", "Novembre", "Dicembre"},
                       false};
const NameSet kFrench{{"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"},
                      {"Janvier", "Février", "Mars", "Avril", "Mai", "Juin", "Juillet", "Août", "Septembre",
                       "Octobre", "Novembre", "Décembre"},
                      false};
const NameSet kGerman{{"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
                      {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September",
                       "Oktober", "November", "Dezember"},
                      false};
const NameSet kSpanish{{"Domingo", "Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado"},
                       {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre",
                        "Octubre", "Noviembre", "Diciembre"},
                       false};
const NameSet kRussian{{"Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"},
                       {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь",
                        "Октябрь", "Ноябрь", "Декабрь"},
                       true};

const NameSet& NamesOf(int code) {
  switch (code) {
    case 3: return kItalian;
    case 4:
    case 7: return kFrench;
    case 5: return kGerman;
    case 6: return kSpanish;
    case 8: return kRussian;
    default: return kEnglish;
  }
}

constexpr int kDayWidth[9] = {9, 9, 9, 9, 8, 10, 9, 8, 11};
constexpr int kMonthWidth[9] = {9, 9, 9, 9, 9, 9, 10, 9, 8};

std::string OemName(const char* utf8, bool cyrillic, int width) {
  std::string s = cyrillic ? Utf8ToCp866(utf8) : FromUtf8(CodePage::Cp850, utf8);
  if (static_cast<int>(s.size()) > width) s.resize(static_cast<std::size_t>(width));
  s.append(static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

std::chrono::year_month_day Today() {
  if (Engine().fixedToday) return *Engine().fixedToday;
  const std::tm tm = StampNow().tm;
  return std::chrono::year_month_day{std::chrono::year{tm.tm_year + 1900},
                                     std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                     std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
}

}  // namespace

void SetDateFormat(int code) {
  if (code < 0 || code > 8) code = 0;
  Engine().dateFormat = static_cast<std::uint8_t>(code);
}

int DateFormat() { return Engine().dateFormat; }

bool SetCentury(bool on) {
  bool old = Engine().century;
  Engine().century = on;
  return old;
}

std::uint16_t SetEpoch(std::uint16_t year) {
  std::uint16_t old = Engine().epoch;
  Engine().epoch = year;
  return old;
}

int DateFormatFromLanguage() {
  // Must not use Engine(): runs while the engine is built.
  const char* value = nullptr;
  for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) {
      value = v;
      break;
    }
  }
  if (!value) return 0;
  std::string_view s(value);
  auto end = s.find_first_of(".@");
  if (end != std::string_view::npos) s = s.substr(0, end);
  std::string lang, territory;
  auto us = s.find('_');
  lang = std::string(s.substr(0, us));
  if (us != std::string_view::npos) territory = std::string(s.substr(us + 1));
  for (auto& c : lang) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (auto& c : territory) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (lang == "de") return 5;
  if (lang == "en") return territory == "US" ? 0 : 2;
  if (lang == "it") return 3;
  if (lang == "fr") return territory == "CA" ? 7 : 4;
  if (lang == "es") return 6;
  if (lang == "ru") return 8;
  return 0;
}

void InitDateFormat() { ApplyLanguageDateFormat(Engine()); }

void ApplyLanguageDateFormat(TzEngine& e) {
  int code = DateFormatFromLanguage();
  e.dateFormat = e.languageFormat = static_cast<std::uint8_t>(code);
  if (code >= 3 && code <= 6) {
    e.decimalChar = ',';
    e.thousandsChar = '.';
  } else if (code == 8) {
    e.decimalChar = '.';
    e.thousandsChar = ' ';
  } else {
    e.decimalChar = '.';
    e.thousandsChar = ',';
  }
}

int CenturyOf(std::string_view twoDigitYear) {
  int epoch = Engine().epoch;
  int c = epoch / 100 * 100;
  int year = LooseValue(CutAtNul(twoDigitYear));
  return epoch % 100 <= year ? c : c + 100;
}

std::string CenturyDigits(std::string_view twoDigitYear) {
  return std::to_string(CenturyOf(twoDigitYear)).substr(0, 2);
}

std::string ExpandYear(std::string_view year) {
  year = CutAtNul(year);
  if (!Engine().century) return std::string(year);
  std::string y(year.substr(0, 4));
  if (y.size() == 2) y = CenturyDigits(y) + y;
  return PadLeftZero(y, 4);
}

std::string EmptyDatePicture(int code) {
  std::string y(Engine().century ? 4 : 2, ' ');
  switch (code) {
    case 1: return y + ".  .  ";
    case 3: return "  -  -" + y;
    case 4:
    case 5:
    case 6:
    case 7:
    case 8: return "  .  ." + y;
    default: return "  /  /" + y;
  }
}

std::string DateToAmerican(std::string_view date) {
  date = CutAtNul(date);
  char sep = 0;
  for (char c : {'.', '-', '/'})
    if (date.find(c) != std::string_view::npos) sep = c;
  if (sep == 0) return std::string(date);
  std::string a, b, c;
  Split3(date, sep, a, b, c);
  if (a.empty() && b.empty() && c.empty()) return EmptyDatePicture(0);
  a = PadLeftZero(a, 2);
  b = PadLeftZero(b, 2);
  c = PadLeftZero(c, 2);
  switch (Engine().dateFormat) {
    case 0: return a + "/" + b + "/" + ExpandYear(c);
    case 1: return b + "/" + c + "/" + ExpandYear(a);
    default: return b + "/" + a + "/" + ExpandYear(c);
  }
}

std::string DateFromAmerican(std::string_view american) {
  american = CutAtNul(american);
  std::string m, d, y;
  Split3(american, '/', m, d, y);
  int code = Engine().dateFormat;
  if (m.empty() && d.empty() && y.empty()) return EmptyDatePicture(code);
  m = PadLeftZero(m, 2);
  d = PadLeftZero(d, 2);
  y = ExpandYear(PadLeftZero(y, 2));
  std::string r;
  switch (code) {
    case 1: r = y + "." + m + "." + d; break;
    case 2: r = d + "/" + m + "/" + y; break;
    case 3: r = d + "-" + m + "-" + y; break;
    case 4:
    case 5:
    case 6:
    case 7:
    case 8: r = d + "." + m + "." + y; break;
    default: r = m + "/" + d + "/" + y; break;
  }
  if (r.size() > 10) r.resize(10);
  return r;
}

bool IsDateText(std::string& date) {
  std::string t = AllTrim(CutAtNul(date));
  if (t.size() > 10) t.resize(10);
  std::string am = DateToAmerican(t);
  if (am == EmptyDatePicture(0)) {
    if (Engine().dateFormat != 0) am = DateFromAmerican(am);
    date = am;
    return true;
  }
  if ((am.size() != 8 && am.size() != 10) || am[2] != '/' || am[5] != '/') return false;
  int month = DigitsValue(std::string_view(am).substr(0, 2));
  int day = DigitsValue(std::string_view(am).substr(3, 2));
  int year = DigitsValue(std::string_view(am).substr(6));
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 0) return false;
  if (month == 2 && day > 29) return false;
  if ((month == 4 || month == 6 || month == 9 || month == 11) && day > 30) return false;
  if (am.size() == 8) year += CenturyOf(am.substr(6));
  if (month == 2 && day > 28 && !IsLeapYear(year)) return false;
  if (am.size() == 10 && !Engine().century) am.erase(6, 2);
  if (Engine().dateFormat != 0) am = DateFromAmerican(am);
  date = am;
  return true;
}

std::string DateToDbf(std::string_view date) {
  std::string am = DateToAmerican(date);
  if (AllTrim(am).empty() || am == EmptyDatePicture(0) || am.size() < 7) return std::string(8, ' ');
  std::string year = am.substr(6, 4);
  if (year.size() < 4) year = CenturyDigits(year) + year;
  year = PadLeftZero(year, 4);
  return year + am.substr(0, 2) + am.substr(3, 2);
}

std::string DbfToDate(std::string_view yyyymmdd) {
  std::string s(CutAtNul(yyyymmdd));
  s.resize(8, ' ');
  std::string year = Engine().century ? s.substr(0, 4) : s.substr(2, 2);
  return DateFromAmerican(s.substr(4, 2) + "/" + s.substr(6, 2) + "/" + year);
}

int MonthOf(std::string_view date) {
  std::string am = DateToAmerican(date);
  return LooseValue(std::string_view(am).substr(0, 2));
}

int DayOf(std::string_view date) {
  std::string am = DateToAmerican(date);
  return am.size() > 3 ? LooseValue(std::string_view(am).substr(3, 2)) : 0;
}

int YearOf(std::string_view date) {
  std::string am = DateToAmerican(date);
  return am.size() > 6 ? LooseValue(std::string_view(am).substr(6)) : 0;
}

int DayOfWeek(std::string_view date) {
  std::string am = DateToAmerican(date);
  int m = LooseValue(std::string_view(am).substr(0, 2));
  int d = am.size() > 3 ? LooseValue(std::string_view(am).substr(3, 2)) : 0;
  std::string ys = am.size() > 6 ? am.substr(6) : std::string();
  int y = LooseValue(ys);
  if (AllTrim(ys).size() <= 2) y += CenturyOf(ys);
  if (m < 3) {
    m += 12;
    y -= 1;
  }
  int k = y % 100;
  int j = y / 100;
  int h = (d + (26 * (m + 1)) / 10 + k + k / 4 + j / 4 - 2 * j) % 7;
  if (h < 0) h += 7;
  return h == 0 ? 7 : h;
}

namespace {
bool IsBlankDate(std::string_view date) {
  std::string am = DateToAmerican(date);
  return AllTrim(date).empty() || am == EmptyDatePicture(0);
}
}  // namespace

std::string DayName(std::string_view date) {
  if (IsBlankDate(date)) return std::string(10, ' ');
  int code = Engine().dateFormat;
  const NameSet& n = NamesOf(code);
  return OemName(n.days[static_cast<std::size_t>(DayOfWeek(date) - 1)], n.cyrillic, kDayWidth[code]);
}

std::string MonthName(std::string_view date) {
  if (IsBlankDate(date)) return std::string(10, ' ');
  int month = MonthOf(date);
  if (month < 1 || month > 12) return std::string(10, ' ');
  int code = Engine().dateFormat;
  const NameSet& n = NamesOf(code);
  return OemName(n.months[static_cast<std::size_t>(month - 1)], n.cyrillic, kMonthWidth[code]);
}

bool IsLeapYear(int year) {
  if (year % 400 == 0) return true;
  if (year % 4 != 0) return false;
  if (year % 100 == 0) return false;
  return true;
}

void GetDate(int& year, int& month, int& day, int& dayOfWeek) {
  auto ymd = Today();
  year = static_cast<int>(ymd.year());
  month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  dayOfWeek = static_cast<int>(std::chrono::weekday{std::chrono::sys_days{ymd}}.c_encoding()) + 1;
}

FileTimeParts UnpackFileTime(std::uint32_t packed) {
  std::uint16_t d = static_cast<std::uint16_t>(packed >> 16);
  std::uint16_t t = static_cast<std::uint16_t>(packed & 0xFFFF);
  return FileTimeParts{static_cast<std::uint16_t>(1980 + (d >> 9)), static_cast<std::uint16_t>((d >> 5) & 15),
                       static_cast<std::uint16_t>(d & 31),          static_cast<std::uint16_t>(t >> 11),
                       static_cast<std::uint16_t>((t >> 5) & 63),   static_cast<std::uint16_t>((t & 31) * 2)};
}

std::uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

std::uint32_t TickSeconds() { return TickCount() / 1000; }

}  // namespace zeb::xbase
