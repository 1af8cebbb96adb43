// The spring-file reader against a description of the layout of its own:
// every line of fixed meaning of every example, damaged one at a time
// (garbage, a value beyond its range, 41 digits, 1e400, the file cut before
// it, the bound itself), is either refused naming that line or read back
// unchanged, every other line with it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/support_decimal.h"
#include "base/globals.h"
#include "base/support_fixture.h"
#include "spring/springfile.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::absolute(fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples");

// What a line holds: a whole number, a number, a text, a J/N mark, a
// TRUE/FALSE switch, a rule of hyphens, a reserved whole number (written
// 0); with the bounds of its field.
enum class K { I, F, S, M, B, R, Z };
struct Line {
  K kind;
  double lo = 0, hi = 0;
};
constexpr double kBig = 1e15, kLen = 1e6, kAny = 1e9, kMod = 1e7, kCode = 65535;

Line I(double lo, double hi) { return {K::I, lo, hi}; }
Line F(double lo, double hi) { return {K::F, lo, hi}; }
const Line S{K::S}, M{K::M}, B{K::B}, R{K::R};

// Lines 1..80 after the seven header lines.
const std::vector<Line> kMain = {
    I(0, 11), S, F(0, kMod), F(0, kMod), F(0, kAny), F(0, kMod), F(0, kMod), I(0, kCode), I(1, 17),
    F(-kBig, kBig),                                                   // 10 wire tolerance
    I(1, kCode), F(-kBig, kBig), I(1, kCode), F(-kBig, kBig), I(1, kCode), F(-kBig, kBig), F(-kBig, kBig),
    I(1, kCode), F(-kBig, kBig), F(-kBig, kBig),                      // 11..20 grades and deviations
    I(1, 2), I(1, 3), I(1, 4), F(-kAny, kAny), F(0, kAny), I(1, 4), M, F(-273.15, 1e4),
    F(0, kLen), F(0, kLen), F(0, kLen), I(1, 3), I(1, 5), F(-273.15, 1e4), F(-273.15, 1e4), S, I(1, 6),
    F(-kBig, kBig),                                                   // 38 set length
    I(1, 3), S, S, S, S, R, R, R, R,
    F(-kBig, kBig), F(-kBig, kBig), F(-kLen, kLen), F(0, kLen), F(-3 * kLen, 3 * kLen), F(0, kLen),  // 48..53
    R, R, R, R, M, I(1, kCode), F(-kAny, kAny), I(1, 2), R, R, R, S, F(-kMod, kMod),
    F(-kBig, kBig), F(-kBig, kBig), F(-kBig, kBig), F(-kBig, kBig),  // 67..70
    I(1, 3), F(-3 * kLen, 3 * kLen), F(-3 * kLen, 3 * kLen), I(1, 4), I(1, 2), I(1, 2), I(1, 4), F(-1e30, 1e30), F(-1e30, 1e30),
    I(1, 2)};

// After the documents section, up to the count of load levels; then after
// the levels up to the value table's count; then after the values.
const std::vector<Line> kTail1 = {I(1, 3),    I(1, 7), F(0, kLen), F(0, kAny), I(0, kCode),        I(1, 3), S,
                                  F(-kAny, kAny), S,   B,          F(-kAny, kAny), Line{K::Z, -2147483648.0, 2147483647.0},
                                  B,          F(0, kLen), F(0, kAny)};
const std::vector<Line> kTail2 = {I(0, 6), B, I(1, kCode), I(1, kCode), F(-kAny, kAny), F(-kAny, kAny), I(0, 1)};
const std::vector<Line> kTail3 = {B, B, B, B, I(0, 2), F(0, kLen), F(-kAny, kAny), F(-kAny, kAny)};

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t e = bytes.find("\r\n"); e != std::string::npos; e = bytes.find("\r\n", start)) {
    lines.push_back(bytes.substr(start, e - start));
    start = e + 2;
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += lines[i] + "\r\n";
  return s;
}

// The line numbers (0-based) of the lines of fixed meaning and what they hold.
std::vector<std::pair<std::size_t, Line>> Layout(const std::vector<std::string>& lines) {
  std::vector<std::pair<std::size_t, Line>> layout;
  for (std::size_t i = 0; i < kMain.size(); ++i) layout.emplace_back(7 + i, kMain[i]);
  // The diameter given (line 71: 1 De, 2 Di, 3 Dm) is held like a length;
  // the other two follow from it, up to two wire diameters off.
  const int given = std::stoi(lines.at(7 + 70));
  layout[given == 1 ? 71 : given == 2 ? 72 : 51].second = F(0, kLen);
  std::size_t at = 0;
  while (at < lines.size() && lines[at] != "Dokumente") ++at;
  at += 18;  // heading, count, rule, five links of three lines
  for (const Line& l : kTail1) layout.emplace_back(at++, l);
  at += 1 + 3 * std::stoul(lines.at(at));
  for (const Line& l : kTail2) layout.emplace_back(at++, l);
  at += 1 + std::stoul(lines.at(at));
  for (const Line& l : kTail3) layout.emplace_back(at++, l);
  EXPECT_EQ(at, lines.size());
  return layout;
}

// The damages of a line and whether its field takes them.
struct Damage {
  std::string text;
  bool taken;
};
std::vector<Damage> Damages(const Line& l) {
  const std::string digits41(41, '7');
  std::ostringstream hi, lo;
  hi.precision(17);
  lo.precision(17);
  hi << l.hi;
  lo << l.lo;
  switch (l.kind) {
    case K::S: return {{"#?x", true}, {digits41, true}, {"1e400", true}};
    case K::R: return {{"#?x", false}, {"-- -", false}};
    case K::M: return {{"#?x", false}, {"Q", false}, {"JN", false}, {"n", true}, {" J ", true}};
    case K::B: return {{"#?x", false}, {"YES", false}, {"1", false}, {"true", true}, {"False", true}};
    case K::I:
    case K::Z:
      return {{"#?x", false}, {digits41, false}, {"1e400", false}, {"2.5", false},
              {std::to_string(static_cast<long long>(l.hi) + 1), false},
              {std::to_string(static_cast<long long>(l.lo) - 1), false},
              {std::to_string(static_cast<long long>(l.lo)), true}};
    case K::F: {
      std::ostringstream beyond;
      beyond.precision(17);
      beyond << (l.hi == 0 ? 1.0 : l.hi * 1.5);
      return {{"#?x", false},     {digits41, false}, {"1e400", false}, {"-1e400", false}, {"nan", false},
              {beyond.str(), false}, {hi.str(), true},  {lo.str(), true}};
    }
  }
  return {};
}

// The line as the writer gives back what was read from text.
bool SameValue(const Line& l, const std::string& written, const std::string& text) {
  switch (l.kind) {
    case K::S: return written == text;
    case K::M: return written.size() == 1 && std::toupper(text[text.find_first_not_of(' ')]) == written[0];
    case K::B: {
      std::string upper;
      for (char c : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
      return written == upper;
    }
    case K::I: return std::stoll(written) == std::stoll(text);
    case K::Z: return written == "0";
    case K::F: {
      const double a = static_cast<double>(zeb::test::DecimalValue(written)), b = static_cast<double>(zeb::test::DecimalValue(text));
      return std::fabs(a - b) <= 1e-12 * std::fabs(b);
    }
    case K::R: return false;
  }
  return false;
}

class SpringFileOracleTest : public test::BaseTest {};

TEST_F(SpringFileOracleTest, EveryDamagedLineIsNamedOrReadBackUnchanged) {
  std::vector<fs::path> examples;
  for (const auto& e : fs::directory_iterator(kExamples))
    if (e.path().extension() == ".zeb") examples.push_back(e.path());
  ASSERT_GE(examples.size(), 8u);
  int refused = 0, taken = 0;
  for (const fs::path& example : examples) {
    std::ifstream in(example, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    G().ProgramVersion = "26.6";
    const std::vector<std::string> lines = Lines(bytes);
    SpringFileRecords r;
    std::string error;
    ASSERT_TRUE(ParseSpringFile(bytes, r, error)) << example << ": " << error;
    const std::vector<std::string> written = Lines(FormatSpringFile(r));
    ASSERT_EQ(written.size(), lines.size()) << example;
    for (const auto& [at, line] : Layout(lines)) {
      const std::string where = example.filename().string() + " line " + std::to_string(at + 1);
      const std::string named = "Zeile " + std::to_string(at + 1) + ":";
      // Cut before this line.
      EXPECT_FALSE(ParseSpringFile(Join(lines, at), r, error)) << where;
      EXPECT_EQ(error.rfind(named, 0), 0u) << where << ": " << error;
      for (const Damage& d : Damages(line)) {
        std::vector<std::string> damaged = lines;
        damaged[at] = d.text;
        const bool read = ParseSpringFile(Join(damaged, damaged.size()), r, error);
        ASSERT_EQ(read, d.taken) << where << " \"" << d.text << "\": " << error;
        if (!read) {
          EXPECT_EQ(error.rfind(named, 0), 0u) << where << " \"" << d.text << "\": " << error;
          ++refused;
          continue;
        }
        ++taken;
        const std::vector<std::string> back = Lines(FormatSpringFile(r));
        ASSERT_EQ(back.size(), lines.size()) << where;
        for (std::size_t k = 0; k < back.size(); ++k) {
          if (k == at) {
            EXPECT_TRUE(SameValue(line, back[k], d.text)) << where << " \"" << d.text << "\" -> \"" << back[k] << "\"";
          } else if (k >= 7 || k == 2) {  // the program's title line is the writer's
            EXPECT_EQ(back[k], written[k]) << where << " \"" << d.text << "\", line " << k + 1;
          }
        }
      }
    }
  }
  EXPECT_GT(refused, 4000);
  EXPECT_GT(taken, 1300);
}

}  // namespace
}  // namespace zeb
