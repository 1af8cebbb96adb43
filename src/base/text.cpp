#include "base/text.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

std::array<std::string, 256> BuildTransliterationTable() {
  std::array<std::string, 256> t;
  for (int c = 0; c < 256; ++c) t[c] = std::string(1, static_cast<char>(c));
  const std::pair<int, const char*> entries[] = {
      {129, "ue"}, {130, "e"},  {132, "ae"}, {142, "Ae"}, {148, "oe"}, {153, "Oe"},
      {154, "Ue"}, {160, "a"},  {163, "u"},  {164, "n"},  {196, "-"},  {205, "-"},
      {225, "ss"}, {230, "u"},  {241, "+/-"}, {248, "deg"}, {253, "2"},
  };
  for (const auto& [code, text] : entries) t[code] = text;
  return t;
}

std::array<unsigned char, 256> BuildOemAnsiTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
  const std::pair<int, int> letters[] = {
      {124, 227}, {129, 252}, {130, 233}, {132, 228}, {134, 229}, {142, 196},
      {143, 197}, {148, 246}, {153, 214}, {154, 220}, {160, 225}, {161, 237},
      {162, 243}, {163, 250}, {164, 241}, {225, 223}, {230, 181}, {241, 177},
      {248, 176}, {252, 179}, {253, 178},
  };
  for (const auto& [from, to] : letters) t[from] = static_cast<unsigned char>(to);
  for (int c : {179, 180, 181, 182, 185, 186, 195, 197, 198, 199, 204, 209, 215}) t[c] = '|';
  for (int c : {184, 187, 188, 190, 191, 192, 200, 201, 206, 211, 214, 217, 218}) t[c] = '+';
  for (int c : {196, 205}) t[c] = '-';
  return t;
}

bool PlainText() { return G().PlainTextMode == 1; }

std::string ReplaceAll(std::string_view s, char from, char to) {
  std::string r(s);
  std::replace(r.begin(), r.end(), from, to);
  return r;
}

}  // namespace

const std::array<std::string, 256>& OemTransliterationTable() {
  static const std::array<std::string, 256> table = BuildTransliterationTable();
  return table;
}

const std::array<unsigned char, 256>& OemAnsiCharTable() {
  static const std::array<unsigned char, 256> table = BuildOemAnsiTable();
  return table;
}

std::string OemToAnsiBuf(std::string_view s) { return Cp850To1252(s); }

std::string AnsiToOemBuf(std::string_view s) { return Cp1252To850(s); }

std::string OemLineToAnsi(std::string_view s) {
  if (PlainText()) return OemToAnsiByTable(TransliterateOem(s));
  return OemToAnsiBuf(s);
}

std::string OemToAnsiStr(std::string_view s) { return OemLineToAnsi(s); }

std::string AnsiLineToOem(std::string_view s) { return AnsiToOemBuf(s); }

std::string TransliterateOem(std::string_view s) {
  const auto& table = OemTransliterationTable();
  std::string r;
  r.reserve(s.size());
  for (char c : s) r += table[static_cast<unsigned char>(c)];
  return r;
}

std::string OemToAnsiByTable(std::string_view s) {
  std::string r = PlainText() ? TransliterateOem(s) : std::string(s);
  const auto& table = OemAnsiCharTable();
  for (char& c : r) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return r;
}

std::string ConvertForTextOutput(std::string_view s) {
  switch (G().TextOutputConversion) {
    case 2: return OemToAnsiStr(s);
    case 3: return TransliterateOem(s);
    default: return std::string(s);
  }
}

std::string ReplaceBoxBar(std::string_view s) { return std::string(s); }

std::string DegreeSign() { return PlainText() ? std::string("deg") : "°"_oem.str(); }

std::string DensityUnitName() { return PlainText() ? std::string("kg/dm3") : "kg/dm³"_oem.str(); }

std::string PlusMinusSign() { return PlainText() ? std::string("+/-") : " ± "_oem.str(); }

std::string UpperStr(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerStr(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string PadRightStr(std::string_view s, int n) {
  if (n <= 0) return {};
  std::string r(s.substr(0, static_cast<std::size_t>(n)));
  r.resize(static_cast<std::size_t>(n), ' ');
  return r;
}

std::string PadLeftStr(std::string_view s, int n) {
  if (n <= 0) return {};
  const std::string t = TrimBlanks(s);
  const auto un = static_cast<std::size_t>(n);
  if (t.size() > un) return t.substr(0, un);
  return std::string(un - t.size(), ' ') + t;
}

std::string LeftStr(std::string_view s, int n) {
  if (n <= 0) return {};
  return std::string(s.substr(0, static_cast<std::size_t>(n)));
}

std::string RightStr(std::string_view s, int n) {
  if (n <= 0) return {};
  const auto un = std::min(static_cast<std::size_t>(n), s.size());
  return std::string(s.substr(s.size() - un));
}

std::string MidStrFromTo(std::string_view s, int a, int b) {
  const long long from = std::max(a, 1);
  const long long to = std::min<long long>(b, static_cast<long long>(s.size()));
  if (to < from) return {};
  return std::string(s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1)));
}

void OverwriteAt(std::string_view a, std::string& b, int p) {
  const long long last = static_cast<long long>(b.size()) + 1 - static_cast<long long>(a.size());
  if (p < 1 || p > last) return;
  b.replace(static_cast<std::size_t>(p - 1), a.size(), a);
}

void ReplaceChar(char c, char d, std::string& s) {
  if (c == d) return;
  std::replace(s.begin(), s.end(), c, d);
}

void DeleteBlanks(std::string& s) { std::erase(s, ' '); }

std::string WithoutBlanks(std::string_view s) {
  std::string r(s);
  DeleteBlanks(r);
  return r;
}

std::string TrimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::string PointToComma(std::string_view s) { return ReplaceAll(s, '.', ','); }

std::string CommaToPoint(std::string_view s) { return ReplaceAll(s, ',', '.'); }

std::string CommaToPointB(std::string_view s) { return CommaToPoint(s); }

int LastPos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  const auto p = s.rfind(sub);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

int CountChar(char c, std::string_view s) {
  return static_cast<int>(std::count(s.begin(), s.end(), c));
}

bool NextTextLine(std::string_view text, std::size_t& pos, std::string_view& line, bool* ended) {
  if (pos >= text.size()) return false;
  // A plain scan: find_first_of looks each byte up in the set.
  std::size_t end = pos;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  line = text.substr(pos, end - pos);
  if (ended != nullptr) *ended = end < text.size();
  if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
  pos = end < text.size() ? end + 1 : end;
  return true;
}

std::string JoinTextLines(std::string_view text, std::string_view mark) {
  std::string s;
  s.reserve(text.size());
  std::string_view line;
  bool ended = false;
  for (std::size_t pos = 0; NextTextLine(text, pos, line, &ended);) {
    s.append(line);
    if (ended) s.append(mark);
  }
  return s;
}

std::string ControlCharsToBlanks(std::string text, bool keepLineEnds) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 || u == 0x7F) && !(keepLineEnds && (c == '\r' || c == '\n'))) c = ' ';
  }
  return text;
}

int WrapTextLines(std::string_view s, char separator, int w, int& longest) {
  // A width below 1 would never shorten the text.
  const std::size_t width = static_cast<std::size_t>(std::max(w, 1));
  std::vector<std::string>& lines = G().WrapLines;
  int count = 0;
  longest = 1;
  while (!s.empty()) {
    ++count;
    std::size_t p = s.size();
    if (s.size() > width) {
      p = width;
      // Search from column w - 1 back to column 1.
      for (std::size_t q = width - 1; q >= 1; --q) {
        if (s[q - 1] == separator) {
          p = q;
          break;
        }
      }
    }
    longest = std::max(longest, static_cast<int>(p));
    if (lines.size() <= static_cast<std::size_t>(count)) lines.resize(static_cast<std::size_t>(count) + 1);
    lines[static_cast<std::size_t>(count)] = std::string(s.substr(0, p));
    s.remove_prefix(p);
  }
  return count;
}

bool HasCommandLineSwitch(std::string_view text) {
  const std::string wanted = UpperStr(text);
  for (const std::string& arg : G().CommandLineArgs)
    if (UpperStr(arg) == wanted) return true;
  return false;
}

}  // namespace zeb
