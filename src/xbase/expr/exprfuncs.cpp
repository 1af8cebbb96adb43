// The built-in functions of the expression language: keyword table,
// signatures checked by the compiler, and their evaluation; the date and
// number texts they share.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "xbase/core/ansi_literal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser.h"
#include "xbase/expr/parser_internal.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace expr {

namespace {

struct Spelling {
  const char* text;
  Word word;
  Fn fn;
};

// Every accepted spelling; abbreviations are entries of their own.
constexpr Spelling kKeywords[] = {
    {"ABS", Word::Function, Fn::Abs},
    {"ASC", Word::Function, Fn::Asc},
    {"AT", Word::Function, Fn::At},
    {"CDOW", Word::Function, Fn::Cdow},
    {"CHR", Word::Function, Fn::Chr},
    {"CMON", Word::Function, Fn::Cmonth},
    {"CMONT", Word::Function, Fn::Cmonth},
    {"CMONTH", Word::Function, Fn::Cmonth},
    {"CTOD", Word::Function, Fn::Ctod},
    {"DATE", Word::Function, Fn::Date},
    {"DAY", Word::Function, Fn::Day},
    {"DELE", Word::Function, Fn::Deleted},
    {"DELET", Word::Function, Fn::Deleted},
    {"DELETE", Word::Function, Fn::Deleted},
    {"DELETED", Word::Function, Fn::Deleted},
    {"DOW", Word::Function, Fn::Dow},
    {"DTOC", Word::Function, Fn::Dtoc},
    {"DTOS", Word::Function, Fn::Dtos},
    {"IIF", Word::Function, Fn::Iif},
    {"INT", Word::Function, Fn::Int},
    {"LEFT", Word::Function, Fn::Left},
    {"LEN", Word::Function, Fn::Len},
    {"LOWE", Word::Function, Fn::Lower},
    {"LOWER", Word::Function, Fn::Lower},
    {"LTRI", Word::Function, Fn::Ltrim},
    {"LTRIM", Word::Function, Fn::Ltrim},
    {"MAX", Word::Function, Fn::Max},
    {"MIN", Word::Function, Fn::Min},
    {"MOD", Word::Function, Fn::Mod},
    {"MONT", Word::Function, Fn::Month},
    {"MONTH", Word::Function, Fn::Month},
    {"RECN", Word::Function, Fn::Recno},
    {"RECNO", Word::Function, Fn::Recno},
    {"REPL", Word::Function, Fn::Replicate},
    {"REPLI", Word::Function, Fn::Replicate},
    {"REPLIC", Word::Function, Fn::Replicate},
    {"REPLICA", Word::Function, Fn::Replicate},
    {"REPLICAT", Word::Function, Fn::Replicate},
    {"REPLICATE", Word::Function, Fn::Replicate},
    {"RIGH", Word::Function, Fn::Right},
    {"RIGHT", Word::Function, Fn::Right},
    {"ROUN", Word::Function, Fn::Round},
    {"ROUND", Word::Function, Fn::Round},
    {"RTRI", Word::Function, Fn::Rtrim},
    {"RTRIM", Word::Function, Fn::Rtrim},
    {"SOUN", Word::Function, Fn::Soundex},
    {"SOUND", Word::Function, Fn::Soundex},
    {"SOUNDE", Word::Function, Fn::Soundex},
    {"SOUNDEX", Word::Function, Fn::Soundex},
    {"SPAC", Word::Function, Fn::Space},
    {"SPACE", Word::Function, Fn::Space},
    {"STR", Word::Function, Fn::Str},
    {"STUF", Word::Function, Fn::Stuff},
    {"STUFF", Word::Function, Fn::Stuff},
    {"SUBS", Word::Function, Fn::Substr},
    {"SUBST", Word::Function, Fn::Substr},
    {"SUBSTR", Word::Function, Fn::Substr},
    {"TRIM", Word::Function, Fn::Trim},
    {"UPPE", Word::Function, Fn::Upper},
    {"UPPER", Word::Function, Fn::Upper},
    {"VAL", Word::Function, Fn::Val},
    {"YEAR", Word::Function, Fn::Year},
    {".F.", Word::False, Fn::Abs},
    {".T.", Word::True, Fn::Abs},
    {".NOT.", Word::Not, Fn::Abs},
    {".OR.", Word::Or, Fn::Abs},
    {".AND.", Word::And, Fn::Abs},
};

// Argument types ('C', 'N', 'D', 'L'; 'X' for MAX/MIN: N or D), the
// fewest arguments and the result type ('X': as the arguments).
struct Signature {
  const char* name;
  const char* args;
  int minArgs;
  char result;
};

constexpr Signature kSignatures[] = {
    {"ABS", "N", 1, 'N'},      {"ASC", "C", 1, 'N'},       {"AT", "CC", 2, 'N'},
    {"CDOW", "D", 1, 'C'},     {"CHR", "N", 1, 'C'},       {"CMONTH", "D", 1, 'C'},
    {"CTOD", "C", 1, 'D'},     {"DATE", "", 0, 'D'},       {"DAY", "D", 1, 'N'},
    {"DELETED", "", 0, 'L'},   {"DOW", "D", 1, 'N'},       {"DTOC", "D", 1, 'C'},
    {"DTOS", "D", 1, 'C'},     {"IIF", "LCC", 3, 'C'},     {"INT", "N", 1, 'N'},
    {"LEFT", "CN", 2, 'C'},    {"LEN", "C", 1, 'N'},       {"LOWER", "C", 1, 'C'},
    {"LTRIM", "C", 1, 'C'},    {"MAX", "XX", 2, 'X'},      {"MIN", "XX", 2, 'X'},
    {"MOD", "NN", 2, 'N'},     {"MONTH", "D", 1, 'N'},     {"RECNO", "", 0, 'N'},
    {"REPLICATE", "CN", 2, 'C'}, {"RIGHT", "CN", 2, 'C'},  {"ROUND", "NN", 2, 'N'},
    {"RTRIM", "C", 1, 'C'},    {"SOUNDEX", "C", 1, 'C'},   {"SPACE", "N", 1, 'C'},
    {"STR", "NNN", 1, 'C'},    {"STUFF", "CNNC", 4, 'C'},  {"SUBSTR", "CNN", 3, 'C'},
    {"TRIM", "C", 1, 'C'},     {"UPPER", "C", 1, 'C'},     {"VAL", "C", 1, 'N'},
    {"YEAR", "D", 1, 'N'},
};

const Signature& SignatureOf(Fn fn) { return kSignatures[static_cast<int>(fn)]; }

// The signatures follow the order of Fn, and every spelling abbreviates
// the name of its function.
constexpr bool StartsWith(const char* name, const char* prefix) {
  for (; *prefix != 0; ++prefix, ++name)
    if (*name != *prefix) return false;
  return true;
}
constexpr bool TablesAgree() {
  for (const Spelling& s : kKeywords)
    if (s.word == Word::Function && !StartsWith(kSignatures[static_cast<int>(s.fn)].name, s.text)) return false;
  return true;
}
static_assert(std::size(kSignatures) == static_cast<std::size_t>(Fn::Year) + 1);
static_assert(TablesAgree());

int ClampWidth(long long w) {
  if (w < 0) return 0;
  if (w > static_cast<long long>(kExprPoolLimit)) return 0;
  return static_cast<int>(w);
}

// Width of LEFT/RIGHT/SUBSTR/... results when the text's width and the
// count are known at compile time; 0 otherwise.
int KnownCount(const ArgInfo& a) { return a.numLiteral ? ToCount(a.numValue) : -1; }

std::string_view TrimBlanksRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimBlanksLeft(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// Display date with a 4-digit year, for the weekday (the 2-digit form
// would be completed by the epoch window and give the wrong century).
std::string FullYearDisplayDate(double julian) {
  const bool saved = SetCentury(true);
  std::string s = JulianToDisplayDate(julian);
  SetCentury(saved);
  return s;
}

void SetNumber(Slot& s, double x) { s.num = Finite(x); }

}  // namespace

Keyword LookupKeyword(std::string_view name) {
  for (const Spelling& s : kKeywords)
    if (name == s.text) return Keyword{s.word, s.fn};
  return {};
}

const char* FunctionName(Fn fn) { return SignatureOf(fn).name; }

SigCheck CheckFunction(Fn fn, const ArgInfo* args, int argc, char& resultType, int& resultWidth) {
  const Signature& sig = SignatureOf(fn);
  const int maxArgs = static_cast<int>(std::strlen(sig.args));
  if (argc < sig.minArgs || argc > maxArgs) return SigCheck::BadCount;
  char any = 0;
  for (int i = 0; i < argc; ++i) {
    const char want = sig.args[i];
    const char got = args[i].type;
    if (want == 'X') {
      if (got != 'N' && got != 'D') return SigCheck::BadType;
      if (any != 0 && any != got) return SigCheck::BadType;
      any = got;
    } else if (want != got) {
      return SigCheck::BadType;
    }
  }
  resultType = sig.result == 'X' ? any : sig.result;
  resultWidth = 0;
  // Text arguments are cut to 255 characters.
  ArgInfo cut[4];
  for (int i = 0; i < argc; ++i) {
    cut[i] = args[i];
    if (cut[i].type == 'C') cut[i].width = std::min(cut[i].width, static_cast<int>(kTextArgMax));
  }
  args = cut;
  switch (fn) {
    case Fn::Chr:
      if (args[0].numLiteral && ToCount(args[0].numValue) % 256 != 0) resultWidth = 1;
      break;
    case Fn::Dtos: resultWidth = 8; break;
    case Fn::Dtoc: resultWidth = Engine().century ? 10 : 8; break;
    case Fn::Soundex: resultWidth = 4; break;
    case Fn::Lower:
    case Fn::Upper: resultWidth = args[0].width; break;
    case Fn::Iif: resultWidth = args[1].width == args[2].width ? args[1].width : 0; break;
    case Fn::Left:
    case Fn::Right: {
      int n = KnownCount(args[1]);
      if (args[0].width > 0 && n >= 0) resultWidth = std::min(args[0].width, n);
      break;
    }
    case Fn::Substr: {
      int p = KnownCount(args[1]);
      int n = KnownCount(args[2]);
      if (args[0].width > 0 && args[1].numLiteral && n >= 0) {
        p = std::max(p, 1);
        resultWidth = std::max(0, std::min(n, args[0].width - p + 1));
      }
      break;
    }
    case Fn::Space: {
      int n = KnownCount(args[0]);
      if (n > 0) resultWidth = ClampWidth(n);
      break;
    }
    case Fn::Replicate: {
      int n = KnownCount(args[1]);
      if (args[0].width > 0 && n > 0) resultWidth = ClampWidth(static_cast<long long>(args[0].width) * n);
      break;
    }
    case Fn::Str: {
      int w = argc >= 2 ? KnownCount(args[1]) : 10;
      if (w > 0) resultWidth = ClampWidth(w);
      break;
    }
    default: break;
  }
  return SigCheck::Ok;
}

// ------------------------------------------------------------ helpers

void ReportPoolOverflow() { TzError(354, "Arbeitspool übergelaufen [PARSER/Allocate]"_ansi); }

void StoreText(Slot& out, std::string& scratch) {
  if (scratch.size() > kExprPoolLimit) {
    ReportPoolOverflow();
    out.text.clear();
    return;
  }
  out.text.swap(scratch);
}

double Finite(double x) {
  if (std::isnan(x)) return 0;
  if (std::isinf(x)) return x > 0 ? std::numeric_limits<double>::max() : -std::numeric_limits<double>::max();
  return x;
}

std::int32_t ToCount(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::trunc(x));
}

std::string DecimalText(double x, int decimals, bool round) {
  if (decimals < 0) decimals = 0;
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, Finite(x), std::chars_format::fixed);
  std::string_view t(buf, static_cast<std::size_t>(r.ptr - buf));
  bool negative = !t.empty() && t.front() == '-';
  if (negative) t.remove_prefix(1);
  const auto point = t.find('.');
  std::string digits(t.substr(0, point));  // integer digits
  std::string_view frac = point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
  const std::size_t d = static_cast<std::size_t>(decimals);
  digits.append(frac.substr(0, std::min(d, frac.size())));
  if (frac.size() < d) digits.append(d - frac.size(), '0');
  if (round && frac.size() > d && frac[d] >= '5') {
    std::size_t i = digits.size();
    bool carry = true;
    while (carry && i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        carry = false;
      }
    }
    if (carry) digits.insert(digits.begin(), '1');
  }
  const std::size_t whole = digits.size() - d;
  std::string out;
  out.reserve(digits.size() + 2);
  if (negative && digits.find_first_not_of('0') != std::string::npos) out += '-';
  out.append(digits, 0, whole);
  if (d > 0) {
    out += '.';
    out.append(digits, whole, d);
  }
  return out;
}

double LeadingNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t start = i;
  std::size_t mantissaDigits = 0;
  bool integerZero = true;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (s[i] != '0') integerZero = false;
    ++i;
    ++mantissaDigits;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      ++i;
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return 0;
  bool negativeExponent = false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool neg = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) neg = s[j++] == '-';
    if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
      i = j;
      negativeExponent = neg;
    }
  }
  double v = 0;
  auto r = std::from_chars(s.data() + start, s.data() + i, v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range)
    v = (negativeExponent || integerZero) ? 0.0 : std::numeric_limits<double>::max();
  else if (r.ec != std::errc())
    v = 0;
  return Finite(negative ? -v : v);
}

// ------------------------------------------------------------ evaluation

namespace {

std::int32_t RecordNumberNow() {
  WorkArea* a = CurrentWorkArea();
  return a ? a->recordNumber : 0;
}

bool DeletedNow() {
  WorkArea* a = CurrentWorkArea();
  return a && !a->stored.empty() && a->stored[0] == '*';
}

double Today() {
  int y = 0, m = 0, d = 0, dow = 0;
  GetDate(y, m, d, dow);
  return JulianFromYMD(y, m, d);
}

}  // namespace

void EvalFunction(Fn fn, int argc, Slot* a, std::string& s) {
  const Signature& sig = SignatureOf(fn);
  for (int i = 0; i < argc; ++i)
    if (sig.args[i] == 'C' && a[i].text.size() > kTextArgMax) a[i].text.resize(kTextArgMax);
  Slot& out = a[0];
  s.clear();
  switch (fn) {
    case Fn::Abs: SetNumber(out, std::fabs(a[0].num)); return;
    case Fn::Asc: out.num = a[0].text.empty() ? 0 : static_cast<unsigned char>(a[0].text[0]); return;
    case Fn::At: {
      const std::string& sub = a[0].text;
      const auto p = sub.empty() ? std::string::npos : a[1].text.find(sub);
      out.num = p == std::string::npos ? 0 : static_cast<double>(p + 1);
      return;
    }
    case Fn::Cdow: s = DayName(FullYearDisplayDate(a[0].num)); break;
    case Fn::Cmonth: s = MonthName(FullYearDisplayDate(a[0].num)); break;
    case Fn::Chr: {
      const int code = ((ToCount(a[0].num) % 256) + 256) % 256;
      if (code != 0) s.assign(1, static_cast<char>(code));
      break;
    }
    case Fn::Ctod: out.num = DisplayDateToJulian(a[0].text); return;
    case Fn::Date: out.num = Today(); return;
    case Fn::Day: out.num = DayOf(JulianToDisplayDate(a[0].num)); return;
    case Fn::Month: out.num = MonthOf(JulianToDisplayDate(a[0].num)); return;
    case Fn::Year: out.num = YearOf(JulianToDisplayDate(a[0].num)); return;
    case Fn::Dow: {
      const std::string d = FullYearDisplayDate(a[0].num);
      out.num = d.find_first_not_of(" ./-") == std::string::npos ? 0 : DayOfWeek(d);
      return;
    }
    case Fn::Deleted: out.log = DeletedNow(); return;
    case Fn::Recno: out.num = RecordNumberNow(); return;
    case Fn::Dtoc: s = JulianToDisplayDate(a[0].num); break;
    case Fn::Dtos: s = JulianToDateText(a[0].num); break;
    case Fn::Iif:
      if (a[0].log)
        s.swap(a[1].text);
      else
        s.swap(a[2].text);
      break;
    case Fn::Int: SetNumber(out, std::trunc(a[0].num)); return;
    case Fn::Len: out.num = static_cast<double>(a[0].text.size()); return;
    case Fn::Left: {
      const std::int32_t n = ToCount(a[1].num);
      if (n > 0) s.assign(a[0].text, 0, static_cast<std::size_t>(n));
      break;
    }
    case Fn::Right: {
      const std::int32_t n = ToCount(a[1].num);
      const std::string& t = a[0].text;
      if (n > 0) s.assign(t, t.size() - std::min(t.size(), static_cast<std::size_t>(n)));
      break;
    }
    case Fn::Substr: {
      const std::int32_t p = std::max<std::int32_t>(ToCount(a[1].num), 1);
      const std::int32_t n = ToCount(a[2].num);
      const std::string& t = a[0].text;
      if (n > 0 && static_cast<std::size_t>(p) <= t.size())
        s.assign(t, static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n));
      break;
    }
    case Fn::Stuff: {
      const std::string& t = a[0].text;
      std::size_t p = static_cast<std::size_t>(std::max<std::int32_t>(ToCount(a[1].num), 1)) - 1;
      p = std::min(p, t.size());
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<std::int32_t>(ToCount(a[2].num), 0)),
                                                  t.size() - p);
      s.assign(t, 0, p);
      s += a[3].text;
      s.append(t, p + n);
      break;
    }
    case Fn::Lower: s = TzLower(a[0].text); break;
    case Fn::Upper: s = TzUpper(a[0].text); break;
    case Fn::Ltrim: s.assign(TrimBlanksLeft(a[0].text)); break;
    case Fn::Rtrim:
    case Fn::Trim: s.assign(TrimBlanksRight(a[0].text)); break;
    case Fn::Max: out.num = std::max(a[0].num, a[1].num); return;
    case Fn::Min: out.num = std::min(a[0].num, a[1].num); return;
    case Fn::Mod: {
      const double x = std::trunc(a[0].num);
      const double y = std::trunc(a[1].num);
      out.num = y == 0 ? 0.0 : std::fmod(x, y) + 0.0;
      return;
    }
    case Fn::Replicate: {
      const std::int32_t n = ToCount(a[1].num);
      const std::string& t = a[0].text;
      if (n <= 0 || t.empty()) break;
      if (t.size() * static_cast<std::size_t>(n) > kExprPoolLimit) {
        ReportPoolOverflow();
        out.text.clear();
        return;
      }
      s.reserve(t.size() * static_cast<std::size_t>(n));
      for (std::int32_t i = 0; i < n; ++i) s += t;
      break;
    }
    case Fn::Space: {
      const std::int32_t n = ToCount(a[0].num);
      if (n <= 0) break;
      if (static_cast<std::size_t>(n) > kExprPoolLimit) {
        ReportPoolOverflow();
        out.text.clear();
        return;
      }
      s.assign(static_cast<std::size_t>(n), ' ');
      break;
    }
    case Fn::Round: {
      const std::int32_t n = ToCount(a[1].num);
      const double x = a[0].num;
      if (n <= 0) {
        out.num = std::trunc(x);
      } else {
        const std::string t = DecimalText(x, std::min<std::int32_t>(n, 400), false);
        double v = 0;
        std::from_chars(t.data(), t.data() + t.size(), v);
        out.num = Finite(v);
      }
      return;
    }
    case Fn::Soundex: s = Soundex(a[0].text); break;
    case Fn::Str: {
      const std::int32_t w = argc >= 2 ? ToCount(a[1].num) : 10;
      const std::int32_t d = argc >= 3 ? std::max<std::int32_t>(ToCount(a[2].num), 0) : 0;
      const double x = a[0].num;
      if (w <= 0) break;
      if (static_cast<std::size_t>(w) > kExprPoolLimit) {
        ReportPoolOverflow();
        out.text.clear();
        return;
      }
      std::string t;
      if (d == 0 || static_cast<std::int64_t>(d) + 2 <= w) t = DecimalText(x, d, true);
      if (t.empty() || t.size() > static_cast<std::size_t>(w))
        s.assign(static_cast<std::size_t>(w), '*');
      else
        s.assign(static_cast<std::size_t>(w) - t.size(), ' ').append(t);
      break;
    }
    case Fn::Val: out.num = LeadingNumber(a[0].text); return;
  }
  StoreText(out, s);
}

}  // namespace expr

}  // namespace zeb::xbase
