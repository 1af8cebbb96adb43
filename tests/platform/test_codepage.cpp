#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace zeb {
namespace {

const CodePage kPages[] = {CodePage::Cp437, CodePage::Cp850, CodePage::Cp1252};

std::string AllBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

std::string Hex(std::string_view s) {
  static const char* digits = "0123456789abcdef";
  std::string h;
  for (unsigned char c : s) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

// python3's codecs, per code page: the 256 code points (-1 where the byte
// is undefined), then the UTF-8 of all defined bytes in order, as hex.
std::map<std::string, std::vector<std::string>> PythonCodecs() {
  setenv("ZEB1_PY",
         "for cp in ('cp437', 'cp850', 'cp1252'):\n"
         "    pts, ok = [], b''\n"
         "    for b in range(256):\n"
         "        try:\n"
         "            pts.append(str(ord(bytes([b]).decode(cp)))); ok += bytes([b])\n"
         "        except UnicodeDecodeError:\n"
         "            pts.append('-1')\n"
         "    print(cp, ' '.join(pts), ok.decode(cp).encode('utf-8').hex())\n",
         1);
  std::map<std::string, std::vector<std::string>> out;
  FILE* p = popen("/usr/bin/python3 -c \"$ZEB1_PY\"", "r");
  if (!p) return out;
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  pclose(p);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    for (std::string w; words >> w;) out[name].push_back(w);
  }
  return out;
}

TEST(CodePage, TablesAgreeWithPythonCodecsAndRoundTripThroughUtf8) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  auto py = PythonCodecs();
  const char* names[] = {"cp437", "cp850", "cp1252"};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(names[k]);
    const CodePage cp = kPages[k];
    const std::vector<std::string>& c = py[names[k]];
    ASSERT_EQ(c.size(), 257u);
    std::string defined;
    for (int b = 0; b < 256; ++b) {
      const long point = std::stol(c[static_cast<std::size_t>(b)]);
      const auto byte = static_cast<unsigned char>(b);
      // Undefined 1252 bytes stand for the C1 control of equal value.
      EXPECT_EQ(ToUnicode(cp, byte), static_cast<char32_t>(point < 0 ? b : point)) << "byte " << b;
      if (point < 0) continue;
      defined += static_cast<char>(b);
      EXPECT_EQ(FromUnicode(cp, static_cast<char32_t>(point)), b);
    }
    EXPECT_EQ(defined.size(), cp == CodePage::Cp1252 ? 251u : 256u);
    EXPECT_EQ(Hex(ToUtf8(cp, defined)), c[256]);
    EXPECT_EQ(FromUtf8(cp, ToUtf8(cp, AllBytes())), AllBytes());  // the C1 stand-ins too
  }
}

TEST(CodePage, Cp850And1252ShareExactly225Characters) {
  const std::string all = AllBytes();
  for (auto [from, to] : {std::pair{CodePage::Cp850, CodePage::Cp1252}, {CodePage::Cp1252, CodePage::Cp850}}) {
    const bool from850 = from == CodePage::Cp850;
    const std::string there = from850 ? Cp850To1252(all) : Cp1252To850(all);
    const std::string back = from850 ? Cp1252To850(there) : Cp850To1252(there);
    ASSERT_EQ(there.size(), 256u);
    int shared = 0;
    for (int b = 0; b < 256; ++b) {
      const char32_t u = ToUnicode(from, static_cast<unsigned char>(b));
      if (FromUnicode(to, u) < 0) continue;
      ++shared;
      EXPECT_EQ(ToUnicode(to, static_cast<unsigned char>(there[b])), u) << b;
      EXPECT_EQ(static_cast<unsigned char>(back[b]), b);
    }
    EXPECT_EQ(shared, 225);
  }
}

TEST(CodePage, MissingCharactersGetOneFixedByte) {
  auto to1252 = [](int b) { return static_cast<unsigned char>(Cp850To1252(std::string(1, static_cast<char>(b)))[0]); };
  auto to850 = [](int b) { return static_cast<unsigned char>(Cp1252To850(std::string(1, static_cast<char>(b)))[0]); };
  // Box lines of code page 850 as the old box table shows them.
  for (int b : {179, 180, 185, 186, 195, 197, 204}) EXPECT_EQ(to1252(b), '|') << b;
  for (int b : {187, 188, 191, 192, 193, 194, 200, 201, 202, 203, 206, 217, 218}) EXPECT_EQ(to1252(b), '+') << b;
  for (int b : {196, 205}) EXPECT_EQ(to1252(b), '-') << b;
  // Letters code page 850 holds where code page 437 has box lines stay
  // letters: Á, ã, ä; dotless i, full block.
  const std::pair<int, int> cases850[] = {{181, 0xC1}, {198, 0xE3}, {0x84, 0xE4}, {0xD5, 'i'}, {0xDB, '?'}};
  for (auto [b, want] : cases850) EXPECT_EQ(to1252(b), want) << b;
  // Left double quote, en dash, S caron, euro sign, undefined, ä.
  const std::pair<int, int> cases1252[] = {{0x93, '"'}, {0x96, '-'}, {0x8A, 'S'},
                                           {0x80, '?'}, {0x81, '?'}, {0xE4, 0x84}};
  for (auto [b, want] : cases1252) EXPECT_EQ(to850(b), want) << b;
}

TEST(CodePage, Utf8OutsideThePageAndInvalidBecomeQuestionMarks) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\xE2\x82\xAC" "b", "a?b"},  // euro sign
      {"\xF0\x9F\x98\x80!", "?!"},   // emoji
      {"x\xC3", "x?"},               // cut short
      {"\xFF\xFE", "??"},
      {"\xC0\xAF", "??"},            // overlong
      {"\xED\xA0\x80", "???"},       // surrogate
      {"\xE2\x82" "A", "?A"},
      {"Größe", "Gr\x94\xE1" "e"}};
  for (const auto& [utf8, cp850] : cases) EXPECT_EQ(FromUtf8(CodePage::Cp850, utf8), cp850) << utf8;
  EXPECT_EQ(FromUtf8(CodePage::Cp1252, "\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(ToUtf8(CodePage::Cp850, "\x84\xFD"), "ä²");
  // Long texts convert whole.
  std::string s;
  for (int i = 0; i < 300; ++i) s += static_cast<char>(0x80 + i % 128);
  EXPECT_EQ(Cp850To1252(s).size(), 300u);
  EXPECT_EQ(FromUtf8(CodePage::Cp850, ToUtf8(CodePage::Cp850, s)), s);
}

}  // namespace
}  // namespace zeb
