// DXF writer: numbers, the layer table rules, texts and the plot file's
// frame and logos (the records of every primitive are in the reference
// drawing's golden file; the fixture runs both peer readers on every file).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <functional>
#include <random>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"
#include "graphics/support_checkers.h"

namespace zeb::test {
namespace {

class DxfTest : public CadTest {};

std::string Section(const std::string& file, const std::string& name) {
  std::size_t a = file.find("  0\r\nSECTION\r\n  2\r\n" + name + "\r\n");
  if (a == std::string::npos) return {};
  return file.substr(a, file.find("  0\r\nENDSEC\r\n", a) + 13 - a);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(DxfTest, NumbersIgnoreLocaleDecimalsAndNegativeZero) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // when present: no effect on the file
  const std::tuple<int, long double, std::string> cases[] = {
      {6, 12.5L, "12.500000"}, {6, 0, "0.000000"},  {6, -0.0000001L, "0.000000"},
      {6, -1.5L, "-1.500000"}, {3, -0.0004L, "0.000"}, {3, 2.0005L, "2.001"},
      {33, 1, "1.000000"},     {0, 1, "1.000000"},  {32, 0.5L, "0.5" + std::string(31, '0')}};
  for (const auto& [decimals, x, text] : cases) {
    CadSettings().DxfDecimals = decimals;
    EXPECT_EQ(DxfReal(x), text) << decimals;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

// The writer's fixed-point digits equal the correctly rounded ones of the
// standard library (ties to even), with "-0" written as "0".
TEST_F(DxfTest, FixedDigitsEqualCorrectRounding) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mant(-1, 1);
  std::uniform_int_distribution<int> exp10(-12, 9), dec(0, 14);
  auto reference = [](long double x, int d) {
    char buf[200];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, d);
    std::string s(buf, r.ptr);
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
  };
  std::vector<long double> values = {0.5L,   1.5L,    2.5L, -2.5L, 0.125L, 0.375L, 1e-30L, -0.0L, 999999999.9999995L,
                                     0.0005L, 2.0005L, 1e9L, -1e9L, 123456.789L};
  for (int i = 0; i < 20000; ++i) {
    long double x = static_cast<long double>(mant(rng)) * std::pow(10.0L, exp10(rng));
    values.push_back(x);
    values.push_back(std::nearbyint(x * 1000) / 1000 + 0.0005L);  // near ties
  }
  for (long double x : values)
    for (int d : {dec(rng), 0, 1, 2, 3, 6})
      ASSERT_EQ(cad_detail::FixedText(x, d), reference(x, d)) << static_cast<double>(x) << " " << d;
}

// The same digits for coordinates written by the entities themselves, at the
// usual six decimals and at others, over enough lines that the writer's
// per-entity buffers fill and spill many times.
TEST_F(DxfTest, EntityCoordinatesCarryTheCorrectlyRoundedDigits) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> mant(-1, 1);
  std::uniform_int_distribution<int> exp10(-9, 9);
  std::vector<long double> values = {0, -0.0L, 0.5e-6L, -0.5e-6L, 1.5e-6L, 999999999.9999995L, -1e9L, 1e9L, 9.9999995L};
  for (int i = 0; i < 4000; ++i) values.push_back(static_cast<long double>(mant(rng)) * std::pow(10.0L, exp10(rng)));
  for (int decimals : {6, 3, 9}) {
    CadSettings().DxfDecimals = decimals;
    const std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/digits" + std::to_string(decimals), [&] {
      for (std::size_t i = 0; i + 1 < values.size(); i += 2) CadLine(values[i], values[i + 1], 1, 2);
    }));
    std::size_t at = dxf.find("\r\nENTITIES\r\n");
    ASSERT_NE(at, std::string::npos);
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
      at = dxf.find("\r\nLINE\r\n", at);
      ASSERT_NE(at, std::string::npos) << i;
      for (int k = 0; k < 2; ++k) {
        const std::string code = k == 0 ? " 10\r\n" : " 20\r\n";
        const std::size_t v = dxf.find(code, at) + code.size();
        const std::string got = dxf.substr(v, dxf.find("\r\n", v) - v);
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, values[i + k], std::chars_format::fixed, decimals);
        std::string want(buf, r.ptr);
        if (want[0] == '-' && want.find_first_not_of("-0.") == std::string::npos) want.erase(0, 1);
        ASSERT_EQ(got, want) << static_cast<double>(values[i + k]) << " at " << decimals;
      }
      at += 6;
    }
  }
}

TEST_F(DxfTest, UnusableLayerNamesBecomeLayerNumbers) {
  auto& cs = CadSettings();
  cs.CadLayerNames = {"0", "Mitte/Linie", "", "mitte", "MITTE", "Kontur"};
  cs.CadLayerColours = {1, 256, 2, 3, 4, 0x105};
  std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/names", [] {
    for (int n = 0; n <= 5; ++n) {
      CadSetLayer(n);
      CadLine(0, n, 10, n);
    }
  }));
  std::string tables = Section(dxf, "TABLES");
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\n1\r\n 70\r\n0\r\n 62\r\n7\r\n  6\r\nDASHDOT\r\n"));
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\n2\r\n 70\r\n0\r\n 62\r\n2\r\n  6\r\nDASHED\r\n"));
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\nmitte\r\n"));
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\n4\r\n"));
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\nKontur\r\n 70\r\n0\r\n 62\r\n5\r\n"));
  EXPECT_FALSE(Has(tables, "MITTE") || Has(tables, "Mitte/Linie"));
  std::string entities = Section(dxf, "ENTITIES");
  for (const char* name : {"0", "1", "2", "mitte", "4", "Kontur"})
    EXPECT_TRUE(Has(entities, std::string("  8\r\n") + name + "\r\n")) << name;
}

TEST_F(DxfTest, LayersOutsideTheTableSetAreAdded) {
  // Table mode 0 holds layers 0..5 only; 19 (user colour) and 7 are added.
  CadSettings().CadUserColours[3] = 0x203;
  CadSettings().CommandLineExport = 1;
  G().CurrentFileName = dir() + "/extra";
  std::string tables = Section(ReadFileBytes(RunCode(1,
                                                     [] {
                                                       for (int layer : {19, 7, 1}) {
                                                         CadSetLayer(layer);
                                                         CadLine(0, 0, 1, 1);
                                                       }
                                                     },
                                                     0, 100, 100)),
                               "TABLES");
  EXPECT_TRUE(Has(tables, " 70\r\n6\r\n"));
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\n19\r\n 70\r\n0\r\n 62\r\n3\r\n  6\r\nCONTINUOUS\r\n"));
  EXPECT_TRUE(Has(tables, "LAYER\r\n  2\r\n7\r\n 70\r\n0\r\n 62\r\n7\r\n  6\r\nCONTINUOUS\r\n"));
  EXPECT_FALSE(Has(tables, "LAYER\r\n  2\r\n16\r\n"));
}

TEST_F(DxfTest, MonochromeLayersAllGetColourOne) {
  CadSettings().CadMonochromeLayers = 1;
  std::string tables = Section(ReadFileBytes(RunToFile(1, dir() + "/mono", [] { CadLine(0, 0, 1, 1); })), "TABLES");
  std::size_t layers = 0;
  for (std::size_t p = tables.find("LAYER\r\n  2"); p != std::string::npos; p = tables.find("LAYER\r\n  2", p + 1)) {
    ++layers;
    EXPECT_EQ(tables.substr(tables.find(" 62\r\n", p), 8), " 62\r\n1\r\n");
  }
  EXPECT_EQ(layers, 22u);
}

TEST_F(DxfTest, TextsLoseLineBreaksAndNul) {
  std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/breaks", [] {
    CadTextStyle(2, 0, 3, 2);
    CadText(std::string("Zeile\r\n1\0x", 10), 10, 10);
    CadText("\r\n", 10, 20);  // nothing left: no record
  }));
  EXPECT_TRUE(Has(dxf, "  1\r\nZeile1x\r\n"));
  EXPECT_EQ(dxf.find("\r\nTEXT\r\n"), dxf.rfind("\r\nTEXT\r\n"));

  // Other control characters (a tab, Ctrl-Z, DEL) become blanks, in every format.
  for (int code : {1, 2, 5}) {
    const std::string out = ReadFileBytes(RunToFile(code, dir() + "/controls", [] {
      CadTextStyle(2, 0, 3, 2);
      CadText("A\tB\x1a" "C\x7f" "D", 10, 10);
    }));
    EXPECT_TRUE(Has(out, "A B C D")) << code;
    EXPECT_EQ(out.find('\x1a'), std::string::npos) << code;
    EXPECT_EQ(out.find('\x7f'), std::string::npos) << code;
  }
}

TEST_F(DxfTest, CirclesTooSmallForTheDecimalsAreLeftOut) {
  CadSettings().DxfDecimals = 6;
  const std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/small", [] {
    CadCircle(10, 10, 4e-7L);
    CadArc(10, 10, 0, 90, 4e-7L);
    CadCircle(20, 20, 6e-7L);
  }));
  std::size_t circles = 0;
  for (std::size_t p = dxf.find("\r\nCIRCLE\r\n"); p != std::string::npos; p = dxf.find("\r\nCIRCLE\r\n", p + 1)) ++circles;
  EXPECT_EQ(circles, 1u);
  EXPECT_EQ(dxf.find("\r\nARC\r\n"), std::string::npos);
  EXPECT_TRUE(Has(dxf, " 40\r\n0.000001\r\n"));
}

// The header's extents hold the sheet (0, 0, 160, 120) and every line,
// circle and arc beyond it, whichever way a line runs: each case alone
// moves one side, one line drawn right to left and downwards.
TEST_F(DxfTest, ExtentsHoldWhatIsDrawnBeyondTheSheet) {
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { CadLine(170, 130, -12.5L, -7.25L); }, "-12.500000|-7.250000|170.000000|130.000000"},
      {[] { CadLine(50, 200, 40, 10); }, "0.000000|0.000000|160.000000|200.000000"},
      {[] { CadCircle(150, 60, 30); }, "0.000000|0.000000|180.000000|120.000000"},
      {[] { CadArc(20, 10, 10, 80, 25); }, "-5.000000|-15.000000|160.000000|120.000000"},
      {[] { CadLine(10, 10, 20, 20); }, "0.000000|0.000000|160.000000|120.000000"}};
  for (const auto& [draw, want] : cases) {
    const std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/extents", [&] {
      CadLine(100, 100, 90, 90);
      draw();
    }));
    std::vector<std::string> lines;
    for (std::size_t a = 0, b; (b = dxf.find("\r\n", a)) != std::string::npos; a = b + 2)
      lines.push_back(dxf.substr(a, b - a));
    std::string got;
    for (const char* name : {"$EXTMIN", "$EXTMAX"}) {
      const auto at = std::find(lines.begin(), lines.end(), name);
      ASSERT_LT(at + 4, lines.end()) << name;
      got += (got.empty() ? "" : "|") + *(at + 2) + "|" + *(at + 4);  // group codes 10 and 20 before
    }
    EXPECT_EQ(got, want);
  }
}

TEST_F(DxfTest, PlotFrameStartsTheEntitiesSection) {
  CadSettings().BorderFlag = 1;
  CadSettings().CadPlotCommandLines[0] = dir() + "/no-such-plotter gravelo";
  ui().ExpectMessageBox("Fehler", "file not found");
  const std::string path = RunCode(
      4,
      [] {
        CadSetLayer(4);
        CadLine(1, 1, 2, 2);
      },
      0);
  EXPECT_EQ(path, tmp() + "/gravelo.dxf");
  std::string dxf = ReadFileBytes(path);
  // The four frame lines on layer 19 come first, inside the section, and
  // the layer is in the table.
  const std::string frame = "  0\r\nLINE\r\n  8\r\n19\r\n 10\r\n0.000000\r\n 20\r\n0.000000\r\n 11\r\n160.000000";
  EXPECT_EQ(Section(dxf, "ENTITIES").find(frame), std::string("  0\r\nSECTION\r\n  2\r\nENTITIES\r\n").size());
  EXPECT_TRUE(Has(Section(dxf, "TABLES"), "LAYER\r\n  2\r\n19\r\n"));
}

TEST_F(DxfTest, PlotRunWithLogoFilesInsertsTheirBlocks) {
  // Logo files come from outside; the plot DXF inserts them without a
  // BLOCK, which the peers report.
  WriteFileBytes(tmp() + "/$LOGO_2.dx$",
                 "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0\r\n 20\r\n0\r\n 11\r\n9\r\n 21\r\n9\r\n  0\r\nEOF\r\n");
  CadSettings().CadPlotCommandLines[0] = dir() + "/no-such-plotter";
  ui().ExpectMessageBox("Fehler", "file not found");
  const std::string path = RunCode(4, {}, 2, 480, 360);
  std::string dxf = ReadFileBytes(path);
  EXPECT_TRUE(Has(dxf, "INSERT\r\n  8\r\n0\r\n  2\r\nLOGO_2\r\n 10\r\n436.800000\r\n 20\r\n3.600000\r\n"
                       " 41\r\n1.000000\r\n 42\r\n1.000000\r\n 50\r\n0.000000\r\n"));
  EXPECT_FALSE(Has(dxf, "LOGO_3"));
  auto check = RunDxfCheck(path);
  std::filesystem::remove(path);
  if (check.missing) GTEST_SKIP() << check.Report();
  EXPECT_FALSE(check.ok);
  EXPECT_TRUE(Has(check.Report(), "without required BLOCK")) << check.Report();
}

}  // namespace
}  // namespace zeb::test
