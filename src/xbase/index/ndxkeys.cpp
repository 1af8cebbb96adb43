#include "xbase/index/ndxkeys.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "xbase/core/dates.h"
#include "xbase/core/engine.h"

namespace zeb::xbase {

namespace {

constexpr unsigned char kOemAeLower = 132, kOemOeLower = 148, kOemUeLower = 129, kOemSharpS = 225;
constexpr unsigned char kOemAeUpper = 142, kOemOeUpper = 153, kOemUeUpper = 154;

const int kMonthStart[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// Digits of s read as a number; -1 when s holds anything but blanks and
// digits or no digit.
int ReadNumber(std::string_view s) {
  int v = 0;
  bool any = false;
  for (char c : s) {
    if (c == ' ') {
      if (any) return -1;
      continue;
    }
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    any = true;
  }
  return any ? v : -1;
}

void YmdFromJulian(std::int64_t j, int& y, int& m, int& d) {
  // Days since 1 March of year 0 (proleptic Gregorian).
  std::int64_t z = j - 1721425 - 1 + 306;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

bool JulianInRange(double j) { return std::isfinite(j) && j > kFirstJulian && j <= kLastJulian; }

}  // namespace

std::string FoldGermanKey(std::string_view text, int count) {
  std::string t(text.substr(0, 100));
  if (count > 0 && static_cast<int>(t.size()) > count) t.resize(static_cast<std::size_t>(count));
  for (char& ch : t) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
    else if (c == kOemAeUpper) c = kOemAeLower;
    else if (c == kOemOeUpper) c = kOemOeLower;
    else if (c == kOemUeUpper) c = kOemUeLower;
    ch = static_cast<char>(c);
  }
  const std::size_t L = count > 0 ? static_cast<std::size_t>(count) : t.size();
  for (std::size_t i = 0; i < L && i < t.size(); ++i) {
    const char* two = nullptr;
    switch (static_cast<unsigned char>(t[i])) {
      case kOemAeLower: two = "ae"; break;
      case kOemOeLower: two = "oe"; break;
      case kOemUeLower: two = "ue"; break;
      case kOemSharpS: two = "ss"; break;
      default: break;
    }
    if (two == nullptr) continue;
    if (i + 1 == L) {
      t[i] = two[0];
    } else {
      t[i] = two[0];
      t.insert(t.begin() + static_cast<std::ptrdiff_t>(i) + 1, two[1]);
      if (t.size() > L) t.resize(L);
      ++i;  // the inserted letter is plain
    }
  }
  return t;
}

std::string Soundex(std::string_view text) {
  static const char kCodes[] = "01230120022455012623010202";
  std::string u(text.substr(0, 100));
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  std::string r = "0000";
  if (u.empty()) return r;
  auto isLetter = [](char c) { return c >= 'A' && c <= 'Z'; };
  r[0] = u[0];
  char prev = isLetter(u[0]) ? kCodes[u[0] - 'A'] : '0';
  std::size_t n = 1;
  for (std::size_t i = 1; i < u.size() && n < kSoundexLength; ++i) {
    if (!isLetter(u[i])) continue;
    char code = kCodes[u[i] - 'A'];
    if (code != prev) {
      if (code != '0') r[n++] = code;
      prev = code;
    }
  }
  return r;
}

std::string ComplementText(std::string_view text) {
  std::string r(text.substr(0, 100));
  for (char& c : r) c = static_cast<char>(255 - static_cast<unsigned char>(c));
  return r;
}

int CompareBytes(const void* a, const void* b, int n) {
  const auto* p = static_cast<const unsigned char*>(a);
  const auto* q = static_cast<const unsigned char*>(b);
  for (int i = 0; i < n; ++i)
    if (p[i] != q[i]) return static_cast<int>(p[i]) - static_cast<int>(q[i]);
  return 0;
}

int CompareFloatKeys(const void* a, const void* b) {
  double x = FloatFromKeyBytes(a);
  double y = FloatFromKeyBytes(b);
  if (x < y) return -1;
  if (x > y) return 1;
  return 0;
}

double NormalKeyNumber(double x) {
  if (std::isnan(x) || x == 0.0) return 0.0;  // no NaN in a file; -0 as +0
  if (std::isinf(x)) return x > 0 ? std::numeric_limits<double>::max() : std::numeric_limits<double>::lowest();
  return x;
}

std::string FloatKeyBytes(double x) {
  x = NormalKeyNumber(x);
  std::string s(8, '\0');
  std::memcpy(s.data(), &x, 8);
  return s;
}

double FloatFromKeyBytes(const void* p) {
  double x;
  std::memcpy(&x, p, 8);
  return x;
}

void NormaliseKeyExpression(std::string& text, bool keepBlanks) {
  std::string out;
  out.reserve(text.size());
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quote != 0) {
      if (c == quote) {
        out += keepBlanks ? c : '"';
        quote = 0;
      } else {
        out += c;
      }
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      out += keepBlanks ? c : '"';
      continue;
    }
    if (c == ' ' || c == '\t') {
      if (!keepBlanks) continue;
      char next = i + 1 < text.size() ? text[i + 1] : '\0';
      if (next == '\0' || next == '\t' || next == ' ' || next == '"' || next == '\'' || next == '=') continue;
      out += ' ';
      continue;
    }
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    out += c;
  }
  text = std::move(out);
}

std::int64_t DaysBeforeYear(int y) {
  if (y < 2) return 0;
  std::int64_t p = y - 1;
  return 365 * p + p / 4 - p / 100 + p / 400;
}

int DayOfYear(int y, int m, int d) {
  if (y < 0 || m < 1 || m > 12 || d < 1) return 0;
  const int* t = kMonthStart[IsLeapYear(y) ? 1 : 0];
  if (d > t[m] - t[m - 1]) return 0;
  return t[m - 1] + d;
}

double JulianFromYMD(int y, int m, int d) {
  int doy = DayOfYear(y, m, d);
  if (doy == 0) return 0.0;
  return static_cast<double>(DaysBeforeYear(y) + doy + 1721425);
}

double DateTextToJulian(std::string_view s) {
  s = s.substr(0, 8);
  if (s.size() < 8) return 0.0;
  int y = ReadNumber(s.substr(0, 4));
  int m = ReadNumber(s.substr(4, 2));
  int d = ReadNumber(s.substr(6, 2));
  if (y < 0 || m < 0 || d < 0) return 0.0;
  return JulianFromYMD(y, m, d);
}

std::string JulianToDateText(double j) {
  if (!JulianInRange(j)) return std::string(8, ' ');
  int y, m, d;
  YmdFromJulian(static_cast<std::int64_t>(std::floor(j)), y, m, d);
  return ZeroPadInt(y, 4) + ZeroPadInt(m, 2) + ZeroPadInt(d, 2);
}

std::string JulianToDisplayDate(double j) {
  const int code = Engine().dateFormat;
  const bool century = Engine().century;
  if (!JulianInRange(j)) return EmptyDatePicture(code == 1 ? 1 : code == 3 ? 3 : (code >= 4 && code <= 7) ? 4 : 0);
  int y, m, d;
  YmdFromJulian(static_cast<std::int64_t>(std::floor(j)), y, m, d);
  const std::string yy = century ? ZeroPadInt(y, 4) : ZeroPadInt(y % 100, 2);
  const std::string mm = ZeroPadInt(m, 2), dd = ZeroPadInt(d, 2);
  switch (code) {
    case 0: return mm + "/" + dd + "/" + yy;
    case 1: return yy + "." + mm + "." + dd;
    case 2:
    case 8: return dd + "/" + mm + "/" + yy;
    case 3: return dd + "-" + mm + "-" + yy;
    case 4:
    case 5:
    case 6:
    case 7: return dd + "." + mm + "." + yy;
    default: return mm + "/" + dd + "/" + yy;
  }
}

namespace {
// Month, day and year of a display date (century on for the parsing).
bool ParseDisplayDate(std::string_view text, int& y, int& m, int& d) {
  bool saved = SetCentury(true);
  std::string am = DateToAmerican(text);
  SetCentury(saved);
  if (am.size() < 10) am.resize(10, ' ');
  m = ReadNumber(std::string_view(am).substr(0, 2));
  d = ReadNumber(std::string_view(am).substr(3, 2));
  y = ReadNumber(std::string_view(am).substr(6, 4));
  return m >= 0 && d >= 0 && y >= 0;
}
}  // namespace

double DisplayDateToJulian(std::string_view text) {
  int y, m, d;
  if (!ParseDisplayDate(text, y, m, d)) return 0.0;
  return JulianFromYMD(y, m, d);
}

std::string DisplayDateToDateText(std::string_view text) {
  int y, m, d;
  if (!ParseDisplayDate(text, y, m, d)) return std::string(8, ' ');
  std::string r = ZeroPadInt(y, 4) + ZeroPadInt(m, 2) + ZeroPadInt(d, 2);
  if (r == "00000000") return std::string(8, ' ');
  return r;
}

std::string ZeroPadInt(std::int64_t n, int width) {
  std::string s = std::to_string(n);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

}  // namespace zeb::xbase
