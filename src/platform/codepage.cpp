#include "platform/codepage.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/codepage_tables.h"

namespace zeb {

namespace {

const std::array<char32_t, 256>& TableOf(CodePage cp) {
  switch (cp) {
    case CodePage::Cp437: return cp::kCp437;
    case CodePage::Cp850: return cp::kCp850;
    case CodePage::Cp1252: break;
  }
  return cp::kCp1252;
}

// Code point -> byte, dense up to the largest code point of the page.
class ReverseTable {
 public:
  explicit ReverseTable(const std::array<char32_t, 256>& t) {
    char32_t top = 0;
    for (char32_t u : t) top = u > top ? u : top;
    map_.assign(static_cast<std::size_t>(top) + 1, -1);
    for (int b = 255; b >= 0; --b) map_[t[b]] = static_cast<std::int16_t>(b);
  }
  int Find(char32_t u) const { return u < map_.size() ? map_[u] : -1; }

 private:
  std::vector<std::int16_t> map_;
};

const ReverseTable& ReverseOf(CodePage cp) {
  static const ReverseTable r437(cp::kCp437), r850(cp::kCp850), r1252(cp::kCp1252);
  switch (cp) {
    case CodePage::Cp437: return r437;
    case CodePage::Cp850: return r850;
    case CodePage::Cp1252: break;
  }
  return r1252;
}

// Stand-in for a character a page lacks; '?' when nothing fits.
char32_t BestFit(char32_t u) {
  if (u >= 0x2500 && u <= 0x257F) {
    switch (u) {
      case 0x2500: case 0x2550:
        return U'-';
      // Vertical lines and the junctions the old box table shows as "|".
      case 0x2502: case 0x2551: case 0x2524: case 0x2561: case 0x2562:
      case 0x2563: case 0x251C: case 0x255E: case 0x255F: case 0x2560:
      case 0x253C: case 0x2564: case 0x256B:
        return U'|';
      default:
        return U'+';  // corners and the remaining junctions
    }
  }
  switch (u) {
    case 0x0131: return U'i';   // dotless i
    case 0x2017: return U'_';   // double low line
    case 0x0152: return U'O';   // OE
    case 0x0153: return U'o';   // oe
    case 0x0160: return U'S';
    case 0x0161: return U's';
    case 0x0178: return U'Y';
    case 0x017D: return U'Z';
    case 0x017E: return U'z';
    case 0x02C6: return U'^';
    case 0x02DC: return U'~';
    case 0x2013: case 0x2014: return U'-';
    case 0x2018: case 0x2019: return U'\'';
    case 0x201A: return U',';
    case 0x201C: case 0x201D: case 0x201E: return U'"';
    case 0x2020: case 0x2021: return U'+';
    case 0x2022: return 0x00B7;  // bullet -> middle dot
    case 0x2026: return U'.';
    case 0x2030: return U'%';
    case 0x2039: return U'<';
    case 0x203A: return U'>';
    default: return U'?';
  }
}

using ByteMap = std::array<unsigned char, 256>;

ByteMap BuildMap(CodePage from, CodePage to) {
  ByteMap m{};
  const auto& src = TableOf(from);
  for (int b = 0; b < 256; ++b) {
    int r = FromUnicode(to, src[b]);
    if (r < 0) r = FromUnicode(to, BestFit(src[b]));
    if (r < 0) r = '?';
    m[b] = static_cast<unsigned char>(r);
  }
  return m;
}

std::string MapBytes(const ByteMap& m, std::string_view s) {
  std::string out(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i)
    out[i] = static_cast<char>(m[static_cast<unsigned char>(s[i])]);
  return out;
}

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

// Decodes one character at s[i] and advances i. An invalid sequence gives
// -1 and advances past its longest valid-looking prefix (at least 1 byte).
long DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) { ++i; return c; }
  int extra;
  char32_t u;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) { extra = 1; u = c & 0x1F; }
  else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2; u = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;  // no overlong forms
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3; u = c & 0x07;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else { ++i; return -1; }
  std::size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= s.size()) { i = j; return -1; }
    unsigned char cc = byte(j);
    unsigned char l = k == 0 ? lo : 0x80, h = k == 0 ? hi : 0xBF;
    if (cc < l || cc > h) { i = j; return -1; }
    u = (u << 6) | (cc & 0x3F);
  }
  i = j;
  return static_cast<long>(u);
}

}  // namespace

char32_t ToUnicode(CodePage cp, unsigned char b) { return TableOf(cp)[b]; }

int FromUnicode(CodePage cp, char32_t u) {
  if (u < 0x80) return static_cast<int>(u);
  return ReverseOf(cp).Find(u);
}

std::string ToUtf8(CodePage cp, std::string_view bytes) {
  const auto& t = TableOf(cp);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (char ch : bytes) AppendUtf8(out, t[static_cast<unsigned char>(ch)]);
  return out;
}

std::string FromUtf8(CodePage cp, std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    long u = DecodeUtf8(utf8, i);
    int b = u < 0 ? -1 : FromUnicode(cp, static_cast<char32_t>(u));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string Cp850To1252(std::string_view s) {
  static const ByteMap m = BuildMap(CodePage::Cp850, CodePage::Cp1252);
  return MapBytes(m, s);
}

std::string Cp1252To850(std::string_view s) {
  static const ByteMap m = BuildMap(CodePage::Cp1252, CodePage::Cp850);
  return MapBytes(m, s);
}

}  // namespace zeb
