#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace zeb {
namespace {

std::string AllBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

// Per code page: 256 code points (-1 where python leaves the byte
// undefined) and the UTF-8 of all defined bytes in order, as hex.
struct PythonCodec {
  std::vector<long> points;
  std::string utf8Hex;
};

std::map<std::string, PythonCodec> RunPython() {
  std::map<std::string, PythonCodec> out;
  const char* script =
      "import sys\n"
      "for cp in ('cp437', 'cp850', 'cp1252'):\n"
      "    pts = []\n"
      "    ok = b''\n"
      "    for b in range(256):\n"
      "        try:\n"
      "            pts.append(str(ord(bytes([b]).decode(cp)))); ok += bytes([b])\n"
      "        except UnicodeDecodeError:\n"
      "            pts.append('-1')\n"
      "    print(cp, ' '.join(pts), ok.decode(cp).encode('utf-8').hex())\n";
  std::string cmd = "/usr/bin/python3 -c \"$ZEB1_PY\"";
  setenv("ZEB1_PY", script, 1);
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  pclose(p);
  std::istringstream in(text);
  std::string name;
  while (in >> name) {
    PythonCodec c;
    for (int b = 0; b < 256; ++b) {
      long v;
      in >> v;
      c.points.push_back(v);
    }
    in >> c.utf8Hex;
    out[name] = c;
  }
  return out;
}

std::string Hex(std::string_view s) {
  static const char* d = "0123456789abcdef";
  std::string h;
  for (unsigned char c : s) {
    h += d[c >> 4];
    h += d[c & 15];
  }
  return h;
}

TEST(CodePage, TablesAgreeWithPythonCodecs) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  auto py = RunPython();
  ASSERT_EQ(py.size(), 3u);
  const std::pair<const char*, CodePage> pages[] = {
      {"cp437", CodePage::Cp437}, {"cp850", CodePage::Cp850}, {"cp1252", CodePage::Cp1252}};
  for (auto [name, cp] : pages) {
    SCOPED_TRACE(name);
    const PythonCodec& c = py[name];
    ASSERT_EQ(c.points.size(), 256u);
    std::string defined;
    int undefined = 0;
    for (int b = 0; b < 256; ++b) {
      if (c.points[b] < 0) {
        ++undefined;
        // Undefined 1252 bytes stand for the C1 control of equal value.
        EXPECT_EQ(ToUnicode(cp, static_cast<unsigned char>(b)), static_cast<char32_t>(b));
        continue;
      }
      defined += static_cast<char>(b);
      EXPECT_EQ(ToUnicode(cp, static_cast<unsigned char>(b)), static_cast<char32_t>(c.points[b]))
          << "byte " << b;
      EXPECT_EQ(FromUnicode(cp, static_cast<char32_t>(c.points[b])), b);
    }
    EXPECT_EQ(undefined, cp == CodePage::Cp1252 ? 5 : 0);
    EXPECT_EQ(Hex(ToUtf8(cp, defined)), c.utf8Hex);
  }
}

TEST(CodePage, EveryDefinedByteRoundTripsThroughUtf8) {
  for (CodePage cp : {CodePage::Cp437, CodePage::Cp850, CodePage::Cp1252}) {
    std::string all = AllBytes();
    std::string defined;
    for (unsigned char b : all)
      if (!(cp == CodePage::Cp1252 && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)))
        defined += static_cast<char>(b);
    EXPECT_EQ(defined.size(), cp == CodePage::Cp1252 ? 251u : 256u);
    EXPECT_EQ(FromUtf8(cp, ToUtf8(cp, defined)), defined);
    EXPECT_EQ(FromUtf8(cp, ToUtf8(cp, all)), all);  // the C1 stand-ins too
  }
}

TEST(CodePage, Cp850And1252ShareExactly225Characters) {
  int shared = 0;
  std::string all = AllBytes();
  std::string to1252 = Cp850To1252(all);
  std::string back = Cp1252To850(to1252);
  ASSERT_EQ(to1252.size(), 256u);
  ASSERT_EQ(back.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    char32_t u = ToUnicode(CodePage::Cp850, static_cast<unsigned char>(b));
    if (FromUnicode(CodePage::Cp1252, u) < 0) continue;
    ++shared;
    EXPECT_EQ(ToUnicode(CodePage::Cp1252, static_cast<unsigned char>(to1252[b])), u) << b;
    EXPECT_EQ(static_cast<unsigned char>(back[b]), b);
  }
  EXPECT_EQ(shared, 225);
  // And the other way round.
  std::string from1252 = Cp1252To850(all);
  std::string again = Cp850To1252(from1252);
  int shared1252 = 0;
  for (int b = 0; b < 256; ++b) {
    if (FromUnicode(CodePage::Cp850, ToUnicode(CodePage::Cp1252, static_cast<unsigned char>(b))) < 0)
      continue;
    ++shared1252;
    EXPECT_EQ(static_cast<unsigned char>(again[b]), b);
  }
  EXPECT_EQ(shared1252, 225);
}

TEST(CodePage, MissingCharactersGetOneFixedByte) {
  auto to1252 = [](unsigned char b) {
    return static_cast<unsigned char>(Cp850To1252(std::string(1, static_cast<char>(b)))[0]);
  };
  auto to850 = [](unsigned char b) {
    return static_cast<unsigned char>(Cp1252To850(std::string(1, static_cast<char>(b)))[0]);
  };
  // Box lines of code page 850 as the old box table shows them.
  for (unsigned char b : {179, 180, 185, 186, 195, 197, 204}) EXPECT_EQ(to1252(b), '|') << int(b);
  for (unsigned char b : {187, 188, 191, 192, 200, 201, 206, 217, 218}) EXPECT_EQ(to1252(b), '+') << int(b);
  for (unsigned char b : {193, 194, 202, 203}) EXPECT_EQ(to1252(b), '+') << int(b);
  EXPECT_EQ(to1252(196), '-');
  EXPECT_EQ(to1252(205), '-');
  // Letters code page 850 holds where code page 437 has box lines stay letters.
  EXPECT_EQ(to1252(181), 0xC1);  // Á
  EXPECT_EQ(to1252(198), 0xE3);  // ã
  EXPECT_EQ(to1252(0x84), 0xE4);  // ä
  EXPECT_EQ(to1252(0xD5), 'i');   // dotless i
  EXPECT_EQ(to1252(0xDB), '?');   // full block
  EXPECT_EQ(to850(0x93), '"');    // left double quote
  EXPECT_EQ(to850(0x96), '-');    // en dash
  EXPECT_EQ(to850(0x8A), 'S');    // S caron
  EXPECT_EQ(to850(0x80), '?');    // euro sign
  EXPECT_EQ(to850(0x81), '?');    // undefined
  EXPECT_EQ(to850(0xE4), 0x84);   // ä
}

TEST(CodePage, Utf8OutsideThePageAndInvalidBecomeQuestionMarks) {
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "a\xE2\x82\xAC" "b"), "a?b");  // euro sign
  EXPECT_EQ(FromUtf8(CodePage::Cp1252, "\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "\xF0\x9F\x98\x80!"), "?!");  // emoji
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "x\xC3"), "x?");               // cut short
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "\xFF\xFE"), "??");
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "\xC0\xAF"), "??");            // overlong
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "\xED\xA0\x80"), "???");       // surrogate
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "\xE2\x82" "A"), "?A");
  EXPECT_EQ(FromUtf8(CodePage::Cp850, "Größe"), "Gr\x94\xE1" "e");
  EXPECT_EQ(ToUtf8(CodePage::Cp850, "\x84\xFD"), "ä²");
}

TEST(CodePage, LongTextsConvertWhole) {
  std::string s;
  for (int i = 0; i < 300; ++i) s += static_cast<char>(0x80 + i % 128);
  EXPECT_EQ(Cp850To1252(s).size(), 300u);
  EXPECT_EQ(FromUtf8(CodePage::Cp850, ToUtf8(CodePage::Cp850, s)), s);
}

}  // namespace
}  // namespace zeb
