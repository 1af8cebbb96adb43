// The golden file comparison: numbers within one unit of their last digit,
// every other byte exactly, columns of fixed-width files after a number
// that gained or lost a character, and the records of DXF and IGES files.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/support_golden.h"

namespace zeb::test {
namespace {

bool Match(const std::string& name, const std::string& got, const std::string& want) {
  return GoldenDifference(name, got, want).empty();
}
bool Match(const std::string& got, const std::string& want) { return Match("a.txt", got, want); }

TEST(GoldenCompareTest, NumbersWithinOneUnitOfTheirLastDigit) {
  const std::string want = "LINE\t107\t15\t107\t14.1\nTEXT\t104.1\t6\t50\n";
  EXPECT_TRUE(Match(want, want));
  EXPECT_TRUE(Match("LINE\t107\t15\t107\t14.1\nTEXT\t104.2\t6\t50\n", want));
  EXPECT_TRUE(Match("LINE\t107\t15\t107\t14.1\nTEXT\t104.0\t6\t50\n", want));
  EXPECT_TRUE(Match("LINE\t108\t15\t107\t14.1\nTEXT\t104.1\t6\t50\n", want));  // an integer print of a real
  EXPECT_FALSE(Match("LINE\t109\t15\t107\t14.1\nTEXT\t104.1\t6\t50\n", want));
  const std::string d = GoldenDifference("a.txt", "LINE\t107\t15\t107\t14.1\nTEXT\t104.3\t6\t50\n", want);
  EXPECT_EQ(d, "line 2, column 6: got '104.3', want '104.1'\n  got:  TEXT\\x09104.3\\x096\\x0950\n"
               "  want: TEXT\\x09104.1\\x096\\x0950");
  // Units of the finer last digit: a shorter print (trailing zeros left
  // off) is no wider tolerance.
  EXPECT_TRUE(Match("x 2.001", "x 2"));
  EXPECT_FALSE(Match("x 2.002", "x 2"));
  EXPECT_FALSE(Match("x 2.5", "x 2"));
  EXPECT_TRUE(Match("x 1.5E-03", "x 1.6E-03"));
  EXPECT_FALSE(Match("x 1.5E-03", "x 1.7E-03"));
  EXPECT_FALSE(Match("x 1.5E-03", "x 1.5E-02"));
  EXPECT_TRUE(Match("x 0.99999995", "x 0.99999996"));
  EXPECT_FALSE(Match("x 0.99999995", "x 0.99999997"));
  // Signs: either side of zero.
  EXPECT_TRUE(Match("dx=-0.0;", "dx=0.0;"));
  EXPECT_FALSE(Match("x -0.04", "x 0.04"));
}

TEST(GoldenCompareTest, EverythingButNumbersExactly) {
  EXPECT_FALSE(Match("TEXX\t104.1\n", "TEXT\t104.1\n"));
  EXPECT_FALSE(Match("TEXT\t104.1\t6\t50\n", "TEXT\t104.1\t6\t50\t\n"));
  EXPECT_FALSE(Match("TEXT 104.1\n", "TEXT\t104.1\n"));
  EXPECT_FALSE(Match("a 1\r\n", "a 1\n"));
  EXPECT_FALSE(Match("x -1.5", "x 1.5"));
  EXPECT_FALSE(Match("x -0.1", "x 0.1"));
  // Digits inside words, dates and versions are text.
  EXPECT_FALSE(Match("diagram_24.txt", "diagram_23.txt"));
  EXPECT_FALSE(Match("Gewinde M11", "Gewinde M10"));
  EXPECT_FALSE(Match("am 01.02.2026", "am 01.01.2026"));
  EXPECT_FALSE(Match("V 3.1.3", "V 3.1.2"));
}

TEST(GoldenCompareTest, MissingOrExtraLinesFail) {
  const std::string want = "a 1\nb 2\nc 3\n";
  const std::string missing = GoldenDifference("a.txt", "a 1\nc 3\n", want);
  EXPECT_EQ(missing.substr(0, missing.find('\n')), "line 2, column 1: got 'c', want 'b'");
  EXPECT_EQ(GoldenDifference("a.txt", "a 1\nb 2\n", want), "line 3: got the end of the file, want 'c 3'");
  EXPECT_EQ(GoldenDifference("a.txt", want + "d 4\n", want), "line 4: got 'd 4', want the end of the file");
  EXPECT_EQ(GoldenDifference("a.txt", "a 1\nb 2\nc 3", want),
            "line 3: got no line end at the end of the file, want one");
}

// A printout table: right-aligned values in their columns, frame and unit
// columns after them. A value that gains a character at a rounding edge
// (9.99 / 10.00, 0.0 / -0.0) takes a blank from the gap before or after it,
// or moves the rest of a line that has no columns; nothing else moves.
TEST(GoldenCompareTest, FixedWidthColumnsAfterAWidthChange) {
  const std::string want = "| Federweg   s1   mm      9.99    |\n| Winkel     a    Grad     0.0    |\n";
  EXPECT_TRUE(Match("| Federweg   s1   mm     10.00    |\n| Winkel     a    Grad    -0.0    |\n", want));
  EXPECT_TRUE(Match("| Federweg   s1   mm      10.0    |\n| Winkel     a    Grad     0.0    |\n", want));
  EXPECT_TRUE(Match("| Federweg   s1   mm      9.99    |\n| Winkel     a    Grad     0.1    |\n", want));
  // Left-aligned: the gap after it.
  EXPECT_TRUE(Match("s = 10.00   mm\n", "s = 9.99    mm\n"));
  // Free text: the rest of the line moves.
  EXPECT_TRUE(Match("s = 10.00 mm, F = 5 N\n", "s = 9.99 mm, F = 5 N\n"));
  EXPECT_TRUE(Match("| Federweg   s1   mm      10.00    |\n", "| Federweg   s1   mm      9.99    |\n"));
  // A frame or a unit out of its column, a number one place off.
  EXPECT_FALSE(Match("| Federweg   s1   mm      9.99   |\n", "| Federweg   s1   mm      9.99    |\n"));
  EXPECT_FALSE(Match("| Federweg   s1   mm     9.99    |\n", "| Federweg   s1   mm      9.99    |\n"));
  EXPECT_FALSE(Match("| Federweg   s1    mm     9.99    |\n", "| Federweg   s1   mm      9.99    |\n"));
  // One character wider takes at most one blank.
  EXPECT_FALSE(Match("| Federweg   s1   mm    10.00    |\n", "| Federweg   s1   mm      9.99    |\n"));
  // Two units off is off, whatever the width.
  EXPECT_FALSE(Match("| Federweg   s1   mm     10.01    |\n", "| Federweg   s1   mm      9.99    |\n"));
  EXPECT_FALSE(Match("| Federweg   s1   mm      10.1    |\n", "| Federweg   s1   mm      9.99    |\n"));
  const std::string d = GoldenDifference("t.txt", "| a   1.5 |\n", "| a  1.5 |\n");
  EXPECT_EQ(d.substr(0, d.find('\n')), "line 1, column 7: got 3 blanks before '1.5', want 2");
}

// DXF: group codes and integer values exactly, reals and texts by value.
TEST(GoldenCompareTest, DxfGroupCodesAndIntegersExactly) {
  const std::string want = "  0\nTEXT\n  8\n0\n 62\n1\n 10\n104.15\n  1\n104.1\n 70\n0\n  0\nEOF\n";
  auto with = [&](std::size_t line, const std::string& value) {
    std::string out;
    std::size_t n = 0, start = 0;
    for (std::size_t p = want.find('\n'); p != std::string::npos; start = p + 1, p = want.find('\n', start), ++n)
      out += (n + 1 == line ? value : want.substr(start, p - start)) + "\n";
    return out;
  };
  EXPECT_TRUE(Match("a.dxf", want, want));
  EXPECT_TRUE(Match("a.dxf", with(8, "104.16"), want));
  EXPECT_TRUE(Match("a.dxf", with(10, "104.2"), want));  // a tick label
  EXPECT_FALSE(Match("a.dxf", with(8, "104.17"), want));
  EXPECT_FALSE(Match("a.dxf", with(6, "2"), want));  // colour
  EXPECT_FALSE(Match("a.dxf", with(12, "1"), want));
  EXPECT_FALSE(Match("a.dxf", with(7, " 11"), want));
  EXPECT_FALSE(Match("a.dxf", with(4, "1"), want));  // layer name
  const std::string d = GoldenDifference("a.dxf", with(5, " 63"), want);
  EXPECT_EQ(d.substr(0, d.find('\n')), "line 5, group code: got ' 63', want ' 62'");
}

// A small IGES file: each record's parameter lines wrapped at 64 columns.
std::string Iges(const std::vector<std::string>& records, const std::string& date = "140920") {
  auto line = [](const std::string& data, char section, std::size_t seq) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "%c%07zu", section, seq);
    return data + std::string(72 - data.size(), ' ') + tail + "\r\n";
  };
  std::string s = line("Test", 'S', 1);
  const std::string global = ",,4HFILE,6Htest_1,13HYYMMDD." + date + ",1.0D-8,160.000,4HZEB1,4,0;";
  const std::size_t split = global.find("1.0D-8");
  s += line(global.substr(0, split), 'G', 1) + line(global.substr(split), 'G', 2);
  std::vector<std::vector<std::string>> plines;
  for (const std::string& r : records) {
    plines.emplace_back(1, "");
    for (std::size_t i = 0; i < r.size();) {
      const std::size_t next = r.find_first_of(",;", i) + 1;
      if (plines.back().back().size() + next - i > 64) plines.back().emplace_back();
      plines.back().back() += r.substr(i, next - i);
      i = next;
    }
  }
  std::size_t p = 1;
  std::string ps;
  for (std::size_t e = 0; e < records.size(); ++e) {
    char d1[200], d2[200];
    std::snprintf(d1, sizeof d1, "%8d%8zu%8d%8d%8d%8s%8s%8s%8s", 110, p, 0, 1, 1, "", "", "", "00000000");
    std::snprintf(d2, sizeof d2, "%8d%8s%8d%8zu%8d", 110, "", 7, plines[e].size(), 0);
    s += line(d1, 'D', 2 * e + 1) + line(d2, 'D', 2 * e + 2);
    for (const std::string& pl : plines[e]) {
      char ptr[32];
      std::snprintf(ptr, sizeof ptr, "%8zu", 2 * e + 1);
      ps += line(pl + std::string(64 - pl.size(), ' ') + ptr, 'P', p++);
    }
  }
  char t[80];
  std::snprintf(t, sizeof t, "S%07dG%07dD%07zuP%07zu", 1, 2, 2 * records.size(), p - 1);
  return s + ps + line(t, 'T', 1);
}

TEST(GoldenCompareTest, IgesRecordsByParameter) {
  // The first record fills its line to the last of 64 columns.
  const std::string pad = "110,1111111.000,2222222.000,33333.000,4444444.000,0.0,";
  const std::vector<std::string> recs = {pad + "9.999,0.0;", "110,1.000,2.000,0.0,3.000,4.000,0.0;"};
  const std::string want = Iges(recs);
  EXPECT_TRUE(Match("a.igs", want, want));
  EXPECT_TRUE(Match("a.igs", Iges({pad + "9.998,0.0;", recs[1]}), want));
  EXPECT_FALSE(Match("a.igs", Iges({pad + "9.997,0.0;", recs[1]}), want));
  EXPECT_FALSE(Match("a.igs", Iges({recs[0], "110,1.000,2.000,0.0,3.000,4.000,0.0,1;"}), want));
  EXPECT_FALSE(Match("a.igs", Iges({recs[0], "120,1.000,2.000,0.0,3.000,4.000,0.0;"}), want));  // an integer
  EXPECT_FALSE(Match("a.igs", Iges(recs, "140921"), want));                                   // a string
  // 9.9995 that rounds up to 10.000 pushes the record's last parameter onto
  // a second line: the next entity's parameter pointer and the count of
  // parameter lines move; the comparison follows the pointers.
  const std::string wider = Iges({pad + "10.000,0.0;", recs[1]});
  ASSERT_EQ(std::count(wider.begin(), wider.end(), '\n'), std::count(want.begin(), want.end(), '\n') + 1);
  EXPECT_TRUE(Match("a.igs", wider, want)) << GoldenDifference("a.igs", wider, want);
  EXPECT_TRUE(Match("a.igs", want, wider));
  EXPECT_FALSE(Match("a.igs", Iges({pad + "10.001,0.0;", recs[1]}), want));
  // A parameter pointer that misses its record, a sequence number out of
  // order, a line end of another kind: not a sound file.
  std::string broken = want;
  broken.replace(broken.find("       1       0       1"), 24, "       2       0       1");
  EXPECT_EQ(GoldenDifference("a.igs", broken, want).substr(0, 26), "not a sound IGES file: lin");
  std::string order = want;
  order.replace(order.find("S0000001"), 8, "S0000002");
  EXPECT_FALSE(Match("a.igs", order, want));
  std::string lf = want;
  lf.erase(lf.rfind('\r'), 1);
  EXPECT_FALSE(Match("a.igs", lf, want));
  const std::string d = GoldenDifference("a.igs", Iges({pad + "9.997,0.0;", recs[1]}), want);
  EXPECT_EQ(d.substr(0, d.find('\n')), "line 8, P record of D1, parameter 7: got '9.997', want '9.999'");
}

// ZEB1_UPDATE_GOLDEN=1 writes the file; otherwise it is compared, and a
// difference beyond the last digit fails the test naming line, column and
// both numbers.
TEST(GoldenCompareTest, GoldenFilesWrittenWhenUpdatingElseCompared) {
  std::string dir = (std::filesystem::temp_directory_path() / "zeb1-golden-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  const char* update = std::getenv("ZEB1_UPDATE_GOLDEN");
  const std::string saved = update != nullptr ? update : "";
  const char* tmp = std::getenv("TMPDIR");
  const std::string savedTmp = tmp != nullptr ? tmp : "";
  ::setenv("TMPDIR", dir.c_str(), 1);  // where the differing outputs go
  const std::filesystem::path golden = std::filesystem::path(dir) / "g.txt";
  ::setenv("ZEB1_UPDATE_GOLDEN", "1", 1);
  EXPECT_TRUE(ExpectGoldenFile(golden, "x 1.5\n"));
  ::unsetenv("ZEB1_UPDATE_GOLDEN");
  std::ifstream in(golden, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "x 1.5\n");
  EXPECT_TRUE(ExpectGoldenFile(golden, "x 1.6\n"));
  EXPECT_NONFATAL_FAILURE(ExpectGoldenFile(golden, "x 1.7\n"),
                          "g.txt differs, line 1, column 3: got '1.7', want '1.5'");
  EXPECT_NONFATAL_FAILURE(ExpectGoldenFile(std::filesystem::path(dir) / "none.txt", "x"), "golden file missing");
  if (update != nullptr) ::setenv("ZEB1_UPDATE_GOLDEN", saved.c_str(), 1);
  if (tmp != nullptr) ::setenv("TMPDIR", savedTmp.c_str(), 1);
  else ::unsetenv("TMPDIR");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zeb::test
