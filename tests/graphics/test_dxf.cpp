// DXF writer: the reference drawing against its golden file and both peer
// readers, the records of the writer, and the layer table rules.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <random>
#include <filesystem>

#include "base/globals.h"
#include "base/messages.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"
#include "graphics/support_checkers.h"
#include "platform/oem_literal.h"

namespace zeb::test {
namespace {

class DxfTest : public CadTest {};

// From the first "  0\r\n<kind>\r\n" at or after `from` up to the next
// group 0.
std::string Record(const std::string& file, const std::string& kind, std::size_t from = 0) {
  std::size_t a = file.find("  0\r\n" + kind + "\r\n", from);
  if (a == std::string::npos) return {};
  std::size_t b = file.find("  0\r\n", a + 5);
  return file.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

std::string Section(const std::string& file, const std::string& name) {
  std::size_t a = file.find("  0\r\nSECTION\r\n  2\r\n" + name + "\r\n");
  if (a == std::string::npos) return {};
  std::size_t b = file.find("  0\r\nENDSEC\r\n", a);
  return file.substr(a, b + 13 - a);
}

TEST_F(DxfTest, ReferenceDrawingMatchesGoldenAndPeers) {
  std::string path = RunToFile(1, dir() + "/reference", DrawReferenceEntities, DrawReferenceBlocks);
  ASSERT_EQ(G().AbortFlag, 0);
  std::string bytes = ReadFileBytes(path);
  ExpectGolden("reference.dxf", bytes);
  ZEB_EXPECT_DXF_CLEAN(path);
}

TEST_F(DxfTest, RecordsOfTheWriter) {
  std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/records", DrawReferenceEntities, DrawReferenceBlocks));
  // A line on layer 0 with 6 decimals: twelve lines.
  EXPECT_EQ(Record(dxf, "LINE", dxf.find("ENTITIES")),
            "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0.000000\r\n 20\r\n0.000000\r\n 11\r\n10.000000\r\n 21\r\n5.000000\r\n");
  // Arcs 360 -> 0, 0 -> 360 and start = end are circles; 350 -> 10 and
  // 90 -> -90 stay arcs.
  std::string entities = Section(dxf, "ENTITIES");
  EXPECT_NE(entities.find("CIRCLE\r\n  8\r\n3\r\n 10\r\n60.000000\r\n 20\r\n100.000000\r\n 40\r\n5.000000\r\n"),
            std::string::npos);
  EXPECT_NE(entities.find(" 50\r\n350.000000\r\n 51\r\n10.000000\r\n"), std::string::npos);
  EXPECT_NE(entities.find(" 50\r\n90.000000\r\n 51\r\n-90.000000\r\n"), std::string::npos);
  // A vertex with angle 0 has no group 42, flags 0 no group 70.
  EXPECT_EQ(Record(dxf, "VERTEX"), "  0\r\nVERTEX\r\n  8\r\n2\r\n 10\r\n0.000000\r\n 20\r\n20.000000\r\n");
  EXPECT_EQ(Record(dxf, "POLYLINE"), "  0\r\nPOLYLINE\r\n  8\r\n2\r\n 66\r\n1\r\n");
  // Bulge tan(angle / 4), negative for a clockwise arc.
  EXPECT_NE(dxf.find(" 42\r\n0.414214\r\n"), std::string::npos);
  EXPECT_NE(dxf.find(" 42\r\n-0.414214\r\n"), std::string::npos);
  // The STYLE table ends with the unpadded lines "0" and "ENDTAB".
  EXPECT_NE(dxf.find("  3\r\nTXT8\r\n  4\r\n\r\n0\r\nENDTAB\r\n  0\r\nENDSEC\r\n"), std::string::npos);
  // Text values are converted to Windows-1252.
  EXPECT_NE(dxf.find("  1\r\nSchr\xE4g 90\xB0\r\n"), std::string::npos);
  EXPECT_NE(dxf.find(" 51\r\n15\r\n"), std::string::npos);
}

TEST_F(DxfTest, NumbersIgnoreLocaleDecimalsAndNegativeZero) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // when present: no effect on the file
  EXPECT_EQ(DxfReal(12.5L), "12.500000");
  EXPECT_EQ(DxfReal(0), "0.000000");
  EXPECT_EQ(DxfReal(-0.0000001L), "0.000000");
  EXPECT_EQ(DxfReal(-1.5L), "-1.500000");
  CadSettings().DxfDecimals = 3;
  EXPECT_EQ(DxfReal(-0.0004L), "0.000");
  EXPECT_EQ(DxfReal(2.0005L), "2.001");
  CadSettings().DxfDecimals = 33;
  EXPECT_EQ(DxfReal(1), "1.000000");
  CadSettings().DxfDecimals = 0;
  EXPECT_EQ(DxfReal(1), "1.000000");
  CadSettings().DxfDecimals = 32;
  EXPECT_EQ(DxfReal(0.5L), "0." + std::string("5") + std::string(31, '0'));
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
  std::vector<long double> values = {0.5L, 1.5L, 2.5L, -2.5L, 0.125L, 0.375L, 1e-30L, -0.0L, 999999999.9999995L,
                                     0.0005L, 2.0005L, 1e9L, -1e9L, 123456.789L};
  for (int i = 0; i < 20000; ++i) {
    long double x = static_cast<long double>(mant(rng)) * std::pow(10.0L, exp10(rng));
    values.push_back(x);
    values.push_back(std::nearbyint(x * 1000) / 1000 + 0.0005L);  // near ties
  }
  for (long double x : values) {
    int d = dec(rng);
    ASSERT_EQ(cad_detail::FixedText(x, d), reference(x, d)) << static_cast<double>(x) << " " << d;
    for (int d2 : {0, 1, 2, 3, 6})
      ASSERT_EQ(cad_detail::FixedText(x, d2), reference(x, d2)) << static_cast<double>(x) << " " << d2;
  }
}

TEST_F(DxfTest, UnusableLayerNamesBecomeLayerNumbers) {
  auto& cs = CadSettings();
  cs.CadLayerNames = {"0", "Mitte/Linie", "", "mitte", "MITTE", "Kontur"};
  cs.CadLayerColours = {1, 256, 2, 3, 4, 0x105};
  std::string path = RunToFile(1, dir() + "/names", [] {
    for (int n = 0; n <= 5; ++n) {
      CadSetLayer(n);
      CadLine(0, n, 10, n);
    }
  });
  std::string dxf = ReadFileBytes(path);
  std::string tables = Section(dxf, "TABLES");
  EXPECT_NE(tables.find("LAYER\r\n  2\r\n1\r\n 70\r\n0\r\n 62\r\n7\r\n  6\r\nDASHDOT\r\n"), std::string::npos);
  EXPECT_NE(tables.find("LAYER\r\n  2\r\n2\r\n 70\r\n0\r\n 62\r\n2\r\n  6\r\nDASHED\r\n"), std::string::npos);
  EXPECT_NE(tables.find("LAYER\r\n  2\r\nmitte\r\n"), std::string::npos);
  EXPECT_NE(tables.find("LAYER\r\n  2\r\n4\r\n"), std::string::npos);
  EXPECT_NE(tables.find("LAYER\r\n  2\r\nKontur\r\n 70\r\n0\r\n 62\r\n5\r\n"), std::string::npos);
  EXPECT_EQ(tables.find("MITTE"), std::string::npos);
  EXPECT_EQ(tables.find("Mitte/Linie"), std::string::npos);
  std::string entities = Section(dxf, "ENTITIES");
  for (const char* name : {"0", "1", "2", "mitte", "4", "Kontur"})
    EXPECT_NE(entities.find(std::string("  8\r\n") + name + "\r\n"), std::string::npos) << name;
  ZEB_EXPECT_DXF_CLEAN(path);
}

TEST_F(DxfTest, LayersOutsideTheTableSetAreAdded) {
  // Table mode 0 holds layers 0..5 only; 19 (user colour) and 7 are added.
  CadSettings().CadUserColours[3] = 0x203;
  CadSettings().CommandLineExport = 1;
  G().CurrentFileName = dir() + "/extra";
  CadBeginOutput(1);
  CadDrawingHeader(0, 0, 100, 100);
  CadTables(0);
  CadBeginEntities();
  CadSetLayer(19);
  CadLine(0, 0, 1, 1);
  CadSetLayer(7);
  CadLine(0, 0, 2, 1);
  CadSetLayer(1);
  CadLine(0, 0, 3, 1);
  CadEndSection();
  CadEndOutput();
  std::string dxf = ReadFileBytes(Cad().CadFileName);
  std::string tables = Section(dxf, "TABLES");
  EXPECT_NE(tables.find(" 70\r\n6\r\n"), std::string::npos);
  EXPECT_NE(tables.find("LAYER\r\n  2\r\n19\r\n 70\r\n0\r\n 62\r\n3\r\n  6\r\nCONTINUOUS\r\n"), std::string::npos);
  EXPECT_NE(tables.find("LAYER\r\n  2\r\n7\r\n 70\r\n0\r\n 62\r\n7\r\n  6\r\nCONTINUOUS\r\n"), std::string::npos);
  EXPECT_EQ(tables.find("LAYER\r\n  2\r\n16\r\n"), std::string::npos);
  ZEB_EXPECT_DXF_CLEAN(Cad().CadFileName);
}

TEST_F(DxfTest, MonochromeLayersAllGetColourOne) {
  CadSettings().CadMonochromeLayers = 1;
  std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/mono", [] { CadLine(0, 0, 1, 1); }));
  std::string tables = Section(dxf, "TABLES");
  std::size_t layers = 0;
  for (std::size_t p = tables.find("LAYER\r\n  2"); p != std::string::npos; p = tables.find("LAYER\r\n  2", p + 1)) {
    ++layers;
    std::size_t c = tables.find(" 62\r\n", p);
    EXPECT_EQ(tables.substr(c, 8), " 62\r\n1\r\n");
  }
  EXPECT_EQ(layers, 22u);
}

TEST_F(DxfTest, TextsLoseLineBreaksAndNul) {
  std::string path = RunToFile(1, dir() + "/breaks", [] {
    CadTextStyle(2, 0, 3, 2);
    CadText(std::string("Zeile\r\n1\0x", 10), 10, 10);
    CadText("\r\n", 10, 20);  // nothing left: no record
  });
  std::string dxf = ReadFileBytes(path);
  EXPECT_NE(dxf.find("  1\r\nZeile1x\r\n"), std::string::npos);
  std::size_t texts = 0;
  for (std::size_t p = dxf.find("\r\nTEXT\r\n"); p != std::string::npos; p = dxf.find("\r\nTEXT\r\n", p + 1)) ++texts;
  EXPECT_EQ(texts, 1u);
  ZEB_EXPECT_DXF_CLEAN(path);
}

TEST_F(DxfTest, PlotFrameStartsTheEntitiesSection) {
  CadSettings().BorderFlag = 1;
  CadSettings().CadPlotCommandLines[0] = dir() + "/no-such-plotter gravelo";
  ui().ExpectMessageBox("Fehler", "file not found");
  CadBeginOutput(4);
  CadDrawingHeader(0, 0, 160, 120);
  CadTables(0);
  CadBeginEntities();
  CadSetLayer(4);
  CadLine(1, 1, 2, 2);
  CadEndSection();
  CadEndOutput();
  std::string path = Cad().CadFileName;
  EXPECT_EQ(path, tmp() + "/gravelo.dxf");
  std::string dxf = ReadFileBytes(path);
  std::string entities = Section(dxf, "ENTITIES");
  ASSERT_FALSE(entities.empty());
  // The four frame lines on layer 19 come first, inside the section.
  EXPECT_EQ(entities.find("  0\r\nLINE\r\n  8\r\n19\r\n 10\r\n0.000000\r\n 20\r\n0.000000\r\n 11\r\n160.000000"),
            std::string("  0\r\nSECTION\r\n  2\r\nENTITIES\r\n").size());
  EXPECT_NE(Section(dxf, "TABLES").find("LAYER\r\n  2\r\n19\r\n"), std::string::npos);
  ZEB_EXPECT_DXF_CLEAN(path);
}

TEST_F(DxfTest, PlotRunWithLogoFilesInsertsTheirBlocks) {
  // Logo files come from outside; the plot DXF inserts them without a
  // BLOCK, which both peers report.
  WriteFileBytes(tmp() + "/$LOGO_2.dx$", "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0\r\n 20\r\n0\r\n 11\r\n9\r\n 21\r\n9\r\n  0\r\nEOF\r\n");
  CadSettings().CadPlotCommandLines[0] = dir() + "/no-such-plotter";
  ui().ExpectMessageBox("Fehler", "file not found");
  CadBeginOutput(4);
  CadDrawingHeader(0, 0, 480, 360);
  CadTables(2);
  CadBeginEntities();
  CadEndSection();
  CadEndOutput();
  std::string path = Cad().CadFileName;
  std::string dxf = ReadFileBytes(path);
  EXPECT_NE(dxf.find("INSERT\r\n  8\r\n0\r\n  2\r\nLOGO_2\r\n 10\r\n436.800000\r\n 20\r\n3.600000\r\n 41\r\n1.000000\r\n"
                     " 42\r\n1.000000\r\n 50\r\n0.000000\r\n"),
            std::string::npos);
  EXPECT_EQ(dxf.find("LOGO_3"), std::string::npos);
  auto check = RunDxfCheck(path);
  if (check.missing) GTEST_SKIP() << check.Report();
  EXPECT_FALSE(check.ok);
  bool undefined = false;
  for (const auto& f : check.findings) undefined = undefined || f.find("without required BLOCK") != std::string::npos;
  EXPECT_TRUE(undefined) << check.Report();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace zeb::test
