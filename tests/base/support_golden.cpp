#include "base/support_decimal.h"
#include "base/support_golden.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace zeb::test {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

// The text with control and non-ASCII bytes as \xNN, for messages.
std::string Shown(std::string_view s) {
  std::string out;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else {
      static const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    }
  }
  return out;
}

// The lines without their '\n' (a '\r' stays); a last line end makes no
// empty line after it.
std::vector<std::string_view> SplitLines(std::string_view s) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t p = s.find('\n'); p != std::string_view::npos; p = s.find('\n', start)) {
    lines.push_back(s.substr(start, p - start));
    start = p + 1;
  }
  if (start < s.size()) lines.push_back(s.substr(start));
  return lines;
}

// ------------------------------------------------------------------ numbers

struct Number {
  std::size_t length = 0;  // 0: no number here
  long double value = 0;
  long double unit = 0;    // one unit of the last digit
};

// The number at s[i]: [sign] digits [. digits] or [sign] . digits, then an
// exponent (e, E, or D as IGES writes it) with its own digits. Not a number
// when glued to a letter or digit before it, or when a second point follows
// (dates, versions).
Number NumberAt(std::string_view s, std::size_t i) {
  const char prev = i > 0 ? s[i - 1] : ' ';
  if (IsLetter(prev) || IsDigit(prev)) return {};
  std::size_t k = i;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) {
    if (prev == ')' || prev == '.') return {};
    ++k;
  }
  const std::size_t intStart = k;
  while (k < s.size() && IsDigit(s[k])) ++k;
  std::size_t digits = k - intStart, decimals = 0;
  if (k < s.size() && s[k] == '.') {
    const std::size_t fracStart = ++k;
    while (k < s.size() && IsDigit(s[k])) ++k;
    decimals = k - fracStart;
    digits += decimals;
    if (k + 1 < s.size() && s[k] == '.' && IsDigit(s[k + 1])) return {};
  }
  if (digits == 0) return {};
  int exponent = 0;
  std::string text(s.substr(i, k - i));
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E' || s[k] == 'd' || s[k] == 'D')) {
    std::size_t e = k + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    const std::size_t expStart = e;
    while (e < s.size() && IsDigit(s[e])) ++e;
    if (e > expStart && (e == s.size() || !IsLetter(s[e]))) {
      exponent = std::atoi(std::string(s.substr(k + 1, e - k - 1)).c_str());
      text += 'E';
      text += s.substr(k + 1, e - k - 1);
      k = e;
    }
  }
  Number n;
  n.length = k - i;
  n.value = zeb::test::DecimalValue(text);
  n.unit = 1;
  for (int p = exponent - static_cast<int>(decimals); p > 0; --p) n.unit *= 10;
  for (int p = exponent - static_cast<int>(decimals); p < 0; ++p) n.unit /= 10;
  return n;
}

// Two numbers within one unit of the finer last digit (a number that
// rounds to either side of a rounding edge).
bool CloseNumbers(const Number& a, const Number& b) {
  const long double unit = std::min(a.unit, b.unit);
  const long double slack = unit * 1e-9L + 64 * LDBL_EPSILON * std::max(std::fabs(a.value), std::fabs(b.value));
  return std::fabs(a.value - b.value) <= unit + slack;
}

// The whole of s as one number, or none.
std::optional<Number> WholeNumber(std::string_view s) {
  const Number n = NumberAt(s, 0);
  if (n.length == 0 || n.length != s.size()) return std::nullopt;
  return n;
}

// --------------------------------------------------------------- text lines

// A token of a line: a number, a word (a letter, then letters and digits; or
// digits and points such as a date), or one other byte. gap: the blanks
// before it.
struct Token {
  std::string_view text;
  std::size_t column = 1;
  std::size_t gap = 0;
  Number number;
};

struct TokenLine {
  std::vector<Token> tokens;
  std::size_t trailingGap = 0;
};

TokenLine Tokenize(std::string_view s) {
  TokenLine line;
  std::size_t gap = 0, i = 0;
  while (i < s.size()) {
    if (s[i] == ' ') {
      ++gap, ++i;
      continue;
    }
    Token t;
    t.column = i + 1;
    t.gap = gap;
    gap = 0;
    std::size_t end = i + 1;
    if (t.number = NumberAt(s, i); t.number.length > 0) {
      end = i + t.number.length;
    } else if (IsLetter(s[i])) {
      while (end < s.size() && (IsLetter(s[end]) || IsDigit(s[end]))) ++end;
    } else if (IsDigit(s[i])) {
      while (end < s.size() && (IsDigit(s[end]) || s[end] == '.' || IsLetter(s[end]))) ++end;
    }
    t.text = s.substr(i, end - i);
    line.tokens.push_back(t);
    i = end;
  }
  line.trailingGap = gap;
  return line;
}

// Where two lines differ beyond the last digits: "column C: got ..., want
// ...", or empty. A gap of blanks may differ by as many characters as the
// numbers beside it gained or lost (a right-aligned column keeps its
// place), or not at all (the rest of the line moves).
std::string LineDifference(std::string_view got, std::string_view want) {
  if (got == want) return {};
  const TokenLine g = Tokenize(got), w = Tokenize(want);
  auto widthChange = [&](std::size_t k) -> std::size_t {
    if (k >= g.tokens.size() || k >= w.tokens.size()) return 0;
    const Token &a = g.tokens[k], &b = w.tokens[k];
    if (a.number.length == 0 || b.number.length == 0) return 0;
    return a.text.size() > b.text.size() ? a.text.size() - b.text.size() : b.text.size() - a.text.size();
  };
  auto gapDiffers = [](std::size_t a, std::size_t b, std::size_t allowed) {
    return (a > b ? a - b : b - a) > allowed;
  };
  const std::size_t n = std::min(g.tokens.size(), w.tokens.size());
  for (std::size_t k = 0; k < n; ++k) {
    const Token &a = g.tokens[k], &b = w.tokens[k];
    const std::string at = "column " + std::to_string(a.column) + ": got ";
    if (gapDiffers(a.gap, b.gap, widthChange(k) + (k > 0 ? widthChange(k - 1) : 0)))
      return at + std::to_string(a.gap) + " blanks before '" + Shown(a.text) + "', want " + std::to_string(b.gap);
    const bool same = a.number.length > 0 && b.number.length > 0 ? CloseNumbers(a.number, b.number) : a.text == b.text;
    if (!same) return at + "'" + Shown(a.text) + "', want '" + Shown(b.text) + "'";
  }
  if (g.tokens.size() != w.tokens.size()) {
    if (g.tokens.size() > n)
      return "column " + std::to_string(g.tokens[n].column) + ": got '" + Shown(g.tokens[n].text) +
             "', want the end of the line";
    return "column " + std::to_string(got.size() + 1) + ": got the end of the line, want '" +
           Shown(w.tokens[n].text) + "'";
  }
  if (gapDiffers(g.trailingGap, w.trailingGap, n > 0 ? widthChange(n - 1) : 0))
    return "column " + std::to_string(got.size() - g.trailingGap + 1) + ": got " + std::to_string(g.trailingGap) +
           " blanks at the end, want " + std::to_string(w.trailingGap);
  return {};
}

std::string AtLine(std::size_t line, const std::string& what, std::string_view got, std::string_view want) {
  return "line " + std::to_string(line) + ", " + what + "\n  got:  " + Shown(got) + "\n  want: " + Shown(want);
}

// Line count: the first line beyond the shorter file.
std::string LengthDifference(const std::vector<std::string_view>& g, const std::vector<std::string_view>& w) {
  const std::size_t n = std::min(g.size(), w.size());
  if (g.size() > n) return "line " + std::to_string(n + 1) + ": got '" + Shown(g[n]) + "', want the end of the file";
  return "line " + std::to_string(n + 1) + ": got the end of the file, want '" + Shown(w[n]) + "'";
}

// A line end after the last line, or none, on either side.
std::string FinalLineEnd(std::string_view got, std::string_view want, std::size_t lines) {
  const bool g = !got.empty() && got.back() == '\n', w = !want.empty() && want.back() == '\n';
  if (g == w) return {};
  return "line " + std::to_string(lines) + ": got " + (g ? "a line end" : "no line end") +
         " at the end of the file, want " + (w ? "one" : "none");
}

std::string TextDifference(std::string_view got, std::string_view want) {
  const auto g = SplitLines(got), w = SplitLines(want);
  for (std::size_t k = 0; k < std::min(g.size(), w.size()); ++k)
    if (std::string d = LineDifference(g[k], w[k]); !d.empty()) return AtLine(k + 1, d, g[k], w[k]);
  return g.size() == w.size() ? FinalLineEnd(got, want, g.size()) : LengthDifference(g, w);
}

// ---------------------------------------------------------------------- DXF

// Group codes whose values are integers, names or handles: compared exactly.
bool ExactDxfCode(int code) {
  // Texts (1, 3, 4) hold printed numbers; names and handles do not.
  if (code >= 0 && code <= 9) return code != 1 && code != 3 && code != 4;
  return code == 100 || code == 102 || code == 105 || code == 999 || (code >= 60 && code <= 99) ||
         (code >= 160 && code <= 179) || (code >= 270 && code <= 459) || (code >= 480 && code <= 481) ||
         (code >= 1001 && code <= 1005) || (code >= 1060 && code <= 1071);
}

std::string DxfDifference(std::string_view got, std::string_view want) {
  const auto g = SplitLines(got), w = SplitLines(want);
  int code = 0;
  for (std::size_t k = 0; k < std::min(g.size(), w.size()); ++k) {
    if (k % 2 == 0) {
      if (g[k] != w[k])
        return AtLine(k + 1, "group code: got '" + Shown(g[k]) + "', want '" + Shown(w[k]) + "'", g[k], w[k]);
      code = std::atoi(std::string(w[k]).c_str());
    } else if (ExactDxfCode(code)) {
      if (g[k] != w[k])
        return AtLine(k + 1, "value of group code " + std::to_string(code) + ": got '" + Shown(g[k]) + "', want '" +
                                 Shown(w[k]) + "'", g[k], w[k]);
    } else if (std::string d = LineDifference(g[k], w[k]); !d.empty()) {
      return AtLine(k + 1, d, g[k], w[k]);
    }
  }
  return g.size() == w.size() ? FinalLineEnd(got, want, g.size()) : LengthDifference(g, w);
}

// --------------------------------------------------------------------- IGES

// A record of an IGES file: a start line, the global record, a directory
// entry line, an entity's parameter record or the terminate line.
struct IgesRecord {
  char section = 0;
  std::size_t line = 0;  // first physical line
  std::string label;     // "D     17" for parameters
  std::string text;
};

struct IgesFile {
  std::vector<IgesRecord> records;
  std::string error;  // the first fault of its structure
  bool crlf = false;
};

std::string RightTrimmed(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

long Field(std::string_view s, std::size_t from, std::size_t length) {
  if (s.size() < from + length) return -1;
  const std::string f(s.substr(from, length));
  char* end = nullptr;
  const long v = std::strtol(f.c_str(), &end, 10);
  return RightTrimmed(end).empty() && end != f.c_str() ? v : -1;
}

IgesFile Faulty(IgesFile& file, const std::string& error) {
  file.error = error;
  return file;
}

IgesFile ReadIges(std::string_view text) {
  IgesFile file;
  const auto lines = SplitLines(text);
  struct Physical {
    std::string_view data;  // columns 1-72
    std::size_t number;
  };
  std::vector<Physical> sections[5];
  const std::string letters = "SGDPT";
  file.crlf = !lines.empty() && !lines[0].empty() && lines[0].back() == '\r';
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::string_view l = lines[k];
    const bool cr = !l.empty() && l.back() == '\r';
    if (cr) l.remove_suffix(1);
    auto fail = [&](const std::string& why) {
      file.error = "line " + std::to_string(k + 1) + ": " + why;
      return file;
    };
    if (cr != file.crlf) return fail("line end differs from the first line's");
    const std::size_t s = l.size() == 80 ? letters.find(l[72]) : std::string::npos;
    if (s == std::string::npos) return fail("not a line of 80 columns with its section letter: " + Shown(l));
    if (Field(l, 73, 7) != static_cast<long>(sections[s].size() + 1))
      return fail("sequence number " + Shown(l.substr(72)) + " out of order");
    sections[s].push_back({l.substr(0, 72), k + 1});
  }
  for (const Physical& p : sections[0]) file.records.push_back({'S', p.number, "", RightTrimmed(p.data)});
  if (!sections[1].empty()) {
    IgesRecord g{'G', sections[1][0].number, "", ""};
    for (const Physical& p : sections[1]) g.text += RightTrimmed(p.data);
    file.records.push_back(g);
  }
  // Directory entries: two lines each. The parameter pointer and line count
  // follow the line breaks of the records; they must find the entry's own
  // parameter lines, and are not compared.
  const std::vector<Physical>& d = sections[2];
  const std::vector<Physical>& p = sections[3];
  std::vector<bool> used(p.size(), false);
  std::vector<IgesRecord> params;
  if (d.size() % 2 != 0) return Faulty(file, "odd number of directory lines");
  for (std::size_t e = 0; e + 1 < d.size(); e += 2) {
    const long first = Field(d[e].data, 8, 8), count = Field(d[e + 1].data, 24, 8);
    std::string one(d[e].data), two(d[e + 1].data);
    one.replace(8, 8, "       #");
    two.replace(24, 8, "       #");
    file.records.push_back({'D', d[e].number, "", one});
    file.records.push_back({'D', d[e + 1].number, "", two});
    const std::string de = std::to_string(e + 1);
    if (first < 1 || count < 1 || static_cast<std::size_t>(first + count - 1) > p.size())
      return Faulty(file, "line " + std::to_string(d[e].number) + ": parameter lines out of the file");
    IgesRecord r{'P', p[static_cast<std::size_t>(first - 1)].number, "D" + de, ""};
    for (long k = first - 1; k < first + count - 1; ++k) {
      const auto ku = static_cast<std::size_t>(k);
      if (used[ku] || Field(p[ku].data, 64, 8) != static_cast<long>(e + 1))
        return Faulty(file, "line " + std::to_string(p[ku].number) + ": not a parameter line of D" + de);
      used[ku] = true;
      r.text += RightTrimmed(p[ku].data.substr(0, 64));
    }
    params.push_back(r);
  }
  if (const auto it = std::find(used.begin(), used.end(), false); it != used.end())
    return Faulty(file, "line " + std::to_string(p[static_cast<std::size_t>(it - used.begin())].number) +
                        ": parameter line of no directory entry");
  file.records.insert(file.records.end(), params.begin(), params.end());
  // The terminate line counts the lines of each section.
  if (sections[4].size() != 1) return Faulty(file, "not one terminate line");
  std::string t(sections[4][0].data);
  for (std::size_t s = 0; s < 4; ++s)
    if (t.size() < 8 * s + 8 || t[8 * s] != letters[s] ||
        Field(t, 8 * s + 1, 7) != static_cast<long>(sections[s].size()))
      return Faulty(file, "line " + std::to_string(sections[4][0].number) + ": wrong line count of section " +
                              letters[s]);
  file.records.push_back({'T', sections[4][0].number, "", RightTrimmed(t.replace(25, 7, "#######"))});
  return file;
}

// The parameters of a global or parameter record: strings nH... whole,
// the others trimmed of blanks; the delimiters as parameters of their own.
std::vector<std::string> IgesParameters(const std::string& r) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < r.size()) {
    std::size_t k = i;
    while (k < r.size() && r[k] == ' ') ++k;
    std::size_t j = k;
    while (j < r.size() && IsDigit(r[j])) ++j;
    std::size_t end = i;
    std::string p;
    if (j > k && j < r.size() && r[j] == 'H') {
      end = std::min(r.size(), j + 1 + static_cast<std::size_t>(std::atol(r.substr(k, j - k).c_str())));
      p = r.substr(k, end - k);
      while (end < r.size() && r[end] == ' ') ++end;
    } else {
      while (end < r.size() && r[end] != ',' && r[end] != ';') ++end;
      p = RightTrimmed(std::string_view(r).substr(k, end - k));
    }
    out.push_back(p);
    if (end < r.size()) out.push_back(std::string(1, r[end]));
    i = end + 1;
  }
  return out;
}

// Reals (a point or an exponent) by value; integers, strings and
// delimiters exactly.
std::string ParameterDifference(const std::string& got, const std::string& want) {
  const auto g = IgesParameters(got), w = IgesParameters(want);
  for (std::size_t k = 0; k < std::min(g.size(), w.size()); ++k) {
    if (g[k] == w[k]) continue;
    const auto a = WholeNumber(g[k]), b = WholeNumber(w[k]);
    const bool reals = a && b && g[k].find_first_of(".EeDd") != std::string::npos &&
                       w[k].find_first_of(".EeDd") != std::string::npos;
    if (!reals || !CloseNumbers(*a, *b))
      return "parameter " + std::to_string(k / 2 + 1) + ": got '" + Shown(g[k]) + "', want '" + Shown(w[k]) + "'";
  }
  if (g.size() == w.size()) return {};
  return "parameter " + std::to_string(std::min(g.size(), w.size()) / 2 + 1) + ": got " +
         (g.size() > w.size() ? "'" + Shown(g[w.size()]) + "', want the end of the record"
                              : "the end of the record, want '" + Shown(w[g.size()]) + "'");
}

std::string IgesDifference(std::string_view got, std::string_view want) {
  const IgesFile g = ReadIges(got), w = ReadIges(want);
  if (!g.error.empty()) return "not a sound IGES file: " + g.error;
  if (!w.error.empty()) return "the golden file is not a sound IGES file: " + w.error;
  if (g.crlf != w.crlf) return "line 1: line ends differ";
  for (std::size_t k = 0; k < std::min(g.records.size(), w.records.size()); ++k) {
    const IgesRecord &a = g.records[k], &b = w.records[k];
    const std::string where = std::string(1, a.section) + " record" + (a.label.empty() ? "" : " of " + a.label);
    if (a.section != b.section || a.label != b.label)
      return AtLine(a.line, "got a " + where + ", want a " + std::string(1, b.section) + " record" +
                                (b.label.empty() ? "" : " of " + b.label), a.text, b.text);
    std::string d;
    if (a.section == 'S')
      d = LineDifference(a.text, b.text);
    else if (a.section == 'G' || a.section == 'P')
      d = ParameterDifference(a.text, b.text);
    else if (a.text != b.text)
      d = "got '" + Shown(a.text) + "', want '" + Shown(b.text) + "'";
    if (!d.empty()) return AtLine(a.line, where + ", " + d, a.text, b.text);
  }
  if (g.records.size() == w.records.size()) return FinalLineEnd(got, want, SplitLines(got).size());
  return g.records.size() > w.records.size() ? "got a record more: " + Shown(g.records[w.records.size()].text)
                                             : "got a record less: " + Shown(w.records[g.records.size()].text);
}

std::string Extension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  std::string ext(dot == std::string_view::npos ? "" : name.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext;
}

// A private folder of this run for the outputs that differ.
std::filesystem::path SeenFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zeb1-golden-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
  }();
  return folder;
}

}  // namespace

std::string GoldenDifference(std::string_view name, std::string_view got, std::string_view want) {
  if (got == want) return {};
  const std::string ext = Extension(name);
  if (ext == "dxf") return DxfDifference(got, want);
  if (ext == "igs" || ext == "iges") return IgesDifference(got, want);
  return TextDifference(got, want);
}

bool UpdatingGoldens() {
  const char* update = std::getenv("ZEB1_UPDATE_GOLDEN");
  return update != nullptr && std::string_view(update) == "1";
}

bool ExpectGoldenFile(const std::filesystem::path& golden, const std::string& actual) {
  const std::filesystem::path path = golden.lexically_normal();
  if (UpdatingGoldens()) {
    std::ofstream(path, std::ios::binary) << actual;
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "golden file missing: " << path.string();
    return false;
  }
  const std::string want{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string diff = GoldenDifference(path.filename().string(), actual, want);
  if (diff.empty()) return true;
  std::string seen;
  if (const std::filesystem::path folder = SeenFolder(); !folder.empty()) {
    seen = (folder / path.filename()).string();
    std::ofstream(seen, std::ios::binary) << actual;
  }
  ADD_FAILURE() << path.string() << " differs, " << diff << (seen.empty() ? "" : "\n  this run's output: " + seen);
  return false;
}

}  // namespace zeb::test
