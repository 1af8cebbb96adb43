// Blocks, the drawing header, logo blocks and the screen's block files:
// expansion, nesting, refusals, and the screen run against the DXF of the
// same drawing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"
#include "graphics/support_checkers.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb::test {
namespace {

using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

class BlocksTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    CadSettings().FooterOff = 1;
  }
  Strings Named(const char* name) {
    Strings out;
    for (const auto& c : sink().Named(name)) out.push_back(c.ToString());
    return out;
  }
  void WriteBlockFile(const std::string& name, const std::string& records) {
    WriteFileBytes(tmp() + "/$" + name + ".dx$", records);
  }
};

std::string LineRecord(int x1, int y1, int x2, int y2) {
  auto group = [](const char* code, int v) { return std::string(code) + "\r\n" + std::to_string(v) + "\r\n"; };
  return "  0\r\nLINE\r\n  8\r\n0\r\n" + group(" 10", x1) + group(" 20", y1) + group(" 11", x2) + group(" 21", y2);
}

std::string InsertRecord(const std::string& name) {
  return "  0\r\nINSERT\r\n  8\r\n0\r\n  2\r\n" + name +
         "\r\n 10\r\n0\r\n 20\r\n0\r\n 41\r\n1\r\n 42\r\n1\r\n 50\r\n0\r\n";
}

const std::string kEof = "  0\r\nEOF\r\n";

TEST_F(BlocksTest, RecordedBlockIsAFileOfDxfRecordsKeepingCodePage850) {
  CadBeginOutput(3);
  CadDrawingHeader(0, 0, 160, 120);
  CadBeginBlocks();
  CadBeginBlock("Txt");
  CadSetLayer(4);
  CadTextStyle(2, 0, 3, 2);
  CadText("Grüße"_oem, 1, 2);
  CadEndBlock();
  EXPECT_TRUE(sink().Named("GrafOutTextXY").empty());  // nothing of the block on screen
  std::string file = ReadFileBytes(tmp() + "/$Txt.dx$");
  EXPECT_NE(file.find("  1\r\n" + "Grüße"_oem.str() + "\r\n"), std::string::npos) << file;
  EXPECT_EQ(file.substr(file.size() - 10), kEof);
  CadEndSection();
  CadBeginEntities();
  CadInsertBlock("TXT", 10, 10, 0, 1, 1);  // another case finds the file
  CadEndSection();
  CadEndOutput();
  EXPECT_EQ(Named("GrafOutTextXY"), Strings{"GrafOutTextXY(\"" + "Grüße"_oem.str() + "\",11,12)"});
  EXPECT_FALSE(fs::exists(tmp() + "/$Txt.dx$"));  // gone after the screen run
}

TEST_F(BlocksTest, FifthLevelShowsTheBoxAndTheRunGoesOn) {
  // A logo file that inserts itself.
  WriteBlockFile("LOGO_2", LineRecord(0, 0, 10, 0) + InsertRecord("LOGO_2") + kEof);
  ui().ExpectMessageBox("Fehler", "error blockno.5");
  RunToScreen({});
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(Named("GrafLine").size(), 4u);  // levels 1 to 4
  EXPECT_EQ(Cad().CadBlockLevel, 0);
  EXPECT_FALSE(fs::exists(tmp() + "/$LOGO_2.dx$"));  // deleted with the others
  // A chain of five distinct blocks ends the same way.
  G().AbortFlag = 0;
  for (char c : std::string("ABCD")) WriteBlockFile(std::string(1, c), InsertRecord(std::string(1, c + 1)));
  WriteBlockFile("E", LineRecord(0, 0, 1, 1));
  ui().ExpectMessageBox("Fehler", "error blockno.5");
  CadBeginOutput(3);
  CadInsertBlock("A", 0, 0, 0, 1, 1);
  EXPECT_EQ(G().AbortFlag, 1);
  CadEndOutput();
}

TEST_F(BlocksTest, UnusableBlockNamesAreRefused) {
  auto entities = [] {
    CadInsertBlock("../x", 0, 0, 0, 1, 1);
    CadInsertBlock("OK", 0, 0, 0, 1, 1);
  };
  auto blocks = [] {
    CadBeginBlock("../x");
    EXPECT_EQ(G().AbortFlag, 1);
    CadLine(0, 0, 1, 1);  // dropped with its block
    CadEndBlock();
    EXPECT_EQ(G().AbortFlag, 0);
    CadBeginBlock("OK");
    CadLine(0, 0, 2, 2);
    CadEndBlock();
  };
  std::string dxf = ReadFileBytes(RunToFile(1, dir() + "/names", entities, blocks));
  EXPECT_EQ(dxf.find("../x"), std::string::npos);
  EXPECT_EQ(dxf.find(" 11\r\n1.000000"), std::string::npos);
  // On screen no file is made outside the temporary folder.
  RunToScreen(entities, blocks);
  EXPECT_FALSE(fs::exists(dir() + "/x.dx$"));
  EXPECT_EQ(Named("GrafLine"), Strings{"GrafLine(0,0,2,2)"});
}

TEST_F(BlocksTest, UnwritableTempFolderDropsTheBlock) {
  WriteFileBytes(dir() + "/not-a-folder", "x");
  G().TempFolder = dir() + "/not-a-folder";
  RunToScreen(
      [] {
        EXPECT_EQ(G().AbortFlag, 0);
        CadInsertBlock("B", 0, 0, 0, 1, 1);
        EXPECT_EQ(G().AbortFlag, 1);
      },
      [] {
        CadBeginBlock("B");
        EXPECT_EQ(G().AbortFlag, 1);
        CadLine(0, 0, 5, 5);
        CadEndBlock();
        EXPECT_EQ(G().AbortFlag, 0);
      });
  EXPECT_TRUE(sink().Named("GrafLine").empty());
  ASSERT_EQ(G().ErrorMessageList.count, 1);
  EXPECT_EQ(G().ErrorMessageList.slot[1], "Invalid temp directory");
  // The plot file cannot be made there either.
  G().AbortFlag = 0;
  ui().ExpectMessageBox("Fehler", "kann nicht angelegt werden");
  CadBeginOutput(4);
  EXPECT_EQ(G().AbortFlag, 1);
  CadEndOutput();
}

// Without a configured folder the block files go only into the run's own
// folder (mode 0700); without that, nowhere: never under a fixed name in
// $TMPDIR, which others share.
TEST_F(BlocksTest, DefaultTempFolderIsPrivateToTheUser) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir().c_str(), 1);
  G().TempFolder.clear();
  const auto entries = [this] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = entries();
  EXPECT_EQ(CadTempFolder(), "");
  EXPECT_FALSE(cad_detail::OpenScreenBlock("feder"));
  EXPECT_EQ(entries(), before);

  ASSERT_EQ(PlanRunFolder(dir()), 0);
  const std::string folder = CadTempFolder();
  EXPECT_EQ(folder, RunFolder());
  EXPECT_EQ(fs::path(folder).parent_path().string(), dir());
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  RemoveRunFolder();
  EXPECT_EQ(entries(), before);
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
}

TEST_F(BlocksTest, LogoBlocksOnlyForScreenAndPlotAndNotInPrinterModes2And3) {
  const std::string logo = LineRecord(0, 0, 480, 0) + kEof;
  WriteBlockFile("logo_3", logo);  // case differs
  RunToScreen({});
  // Upper right corner: x = 0.91 * 160, y = 0.96 * 120, scales 1/3.
  EXPECT_EQ(Named("GrafLine"), Strings{"GrafLine(145.6,115.2,305.6,115.2)"});
  EXPECT_FALSE(fs::exists(tmp() + "/$logo_3.dx$"));

  WriteBlockFile("LOGO_2", logo);
  sink().ClearCalls();
  CadBeginOutput(3);
  G().PrinterMode = 2;
  CadDrawingHeader(0, 0, 160, 120);
  CadBeginEntities();
  CadEndSection();
  CadEndOutput();
  EXPECT_TRUE(sink().Named("GrafLine").empty());

  WriteBlockFile("LOGO_2", logo);
  EXPECT_EQ(ReadFileBytes(RunToFile(5, dir() + "/logo", {})).find("INSERT"), std::string::npos);
}

TEST_F(BlocksTest, PolylineRecordsOfABlockFile) {
  // Bulge 1: a half circle; flag 1 closes; an empty polyline draws nothing;
  // one without VERTEX is reported and the next record is still read.
  WriteBlockFile("P",
                 "  0\r\nPOLYLINE\r\n  8\r\n0\r\n 66\r\n1\r\n 70\r\n1\r\n"
                 "  0\r\nVERTEX\r\n  8\r\n0\r\n 10\r\n0\r\n 20\r\n0\r\n 42\r\n1\r\n"
                 "  0\r\nVERTEX\r\n  8\r\n0\r\n 10\r\n10\r\n 20\r\n0\r\n"
                 "  0\r\nVERTEX\r\n  8\r\n0\r\n 10\r\n10\r\n 20\r\n5\r\n"
                 "  0\r\nSEQEND\r\n  8\r\n0\r\n"
                 "  0\r\nPOLYLINE\r\n  8\r\n0\r\n 66\r\n1\r\n  0\r\nSEQEND\r\n  8\r\n0\r\n"
                 "  0\r\nPOLYLINE\r\n  8\r\n0\r\n 66\r\n1\r\n" +
                     LineRecord(7, 7, 8, 8) + kEof);
  ui().ExpectMessageBox("Fehler", "Error in DXF File");
  CadBeginOutput(3);
  CadInsertBlock("P", 100, 0, 0, 1, 1);
  CadEndOutput();
  EXPECT_EQ(Named("GrafArc"), Strings{"GrafArc(105,0,180,0,5)"});
  EXPECT_EQ(Named("GrafLine"), (Strings{"GrafLine(110,0,110,5)", "GrafLine(110,5,100,0)", "GrafLine(107,7,108,8)"}));
}

TEST_F(BlocksTest, DamagedBlockFilesAreReadSafely) {
  WriteBlockFile("D",
                 "abc\r\nLINE\r\n99999\r\nX\r\n"
                 "  0\r\nLINE\r\n  8\r\n-5\r\n 10\r\n1,5\r\n 20\r\nzz\r\n 11\r\n3\r\n 21\r\n4\r\n"
                 "  0\r\nLINE\r\n  8\r\n70000\r\n 10\r\n1e300\r\n 20\r\n0\r\n"
                 "  0\r\nHATCH\r\n 10\r\n1\r\n  0\r\nCIRCLE\r\n  8\r\n2\r\n 10\r\n0\r\n 20\r\n0\r\n 40\r\n2\r\n"
                 "  0\r\nTEXT\r\n 10\r\n20\r\n  1\r\nab" + std::string("\0c", 2) + "\r\n 40\r\n2\r\n  0\r\nLINE\r\n 10");
  CadBeginOutput(3);
  CadInsertBlock("D", 0, 0, 0, 1, 1);
  EXPECT_GE(Cad().CadLayer, 0);
  EXPECT_LE(Cad().CadLayer, 31);
  CadEndOutput();
  // The line with a comma and an unconvertible value, the circle and the
  // text (NUL dropped); 1e300 is beyond the coordinate limit.
  EXPECT_EQ(Named("GrafLine"), Strings{"GrafLine(1.5,0,3,4)"});
  EXPECT_EQ(Named("GrafCircle"), Strings{"GrafCircle(0,0,2)"});
  EXPECT_EQ(sink().Named("GrafOutTextXY").size(), 1u);
  EXPECT_EQ(G().ErrorMessageList.count, 1);
}

// A block file of the same bytes inserted again draws what its first
// reading drew, at any insertion; new bytes are read anew.
TEST_F(BlocksTest, SameBlockBytesDrawTheSameAtEveryInsertion) {
  const std::string entities =
      "  0\r\nLINE\r\n  8\r\n1\r\n  8\r\n2\r\n 10\r\n1.5\r\n 20\r\n2\r\n 11\r\n30\r\n 21\r\n4\r\n"
      "  0\r\nCIRCLE\r\n  8\r\n3\r\n 10\r\n5\r\n 20\r\n6\r\n 40\r\n2.25\r\n"
      "  0\r\nARC\r\n 10\r\n7\r\n 20\r\n8\r\n 40\r\n3\r\n 50\r\n10\r\n 51\r\n100\r\n"
      "  0\r\nTEXT\r\n  8\r\n4\r\n  1\r\nF1 = 280\r\n 10\r\n2\r\n 20\r\n3\r\n 40\r\n3.5\r\n 41\r\n0.8\r\n 50\r\n90\r\n"
      "  0\r\nSOLID\r\n 10\r\n0\r\n 20\r\n0\r\n 11\r\n1\r\n 21\r\n0\r\n 12\r\n0\r\n 22\r\n1\r\n 13\r\n1\r\n 23\r\n1\r\n"
      "  0\r\nPOLYLINE\r\n  8\r\n5\r\n 66\r\n1\r\n 70\r\n1\r\n"
      "  0\r\nVERTEX\r\n 10\r\n0\r\n 20\r\n0\r\n 42\r\n1\r\n"
      "  0\r\nVERTEX\r\n 10\r\n10\r\n 20\r\n0\r\n"
      "  0\r\nVERTEX\r\n 10\r\n10\r\n 20\r\n5\r\n  0\r\nSEQEND\r\n"
      "  0\r\nPOLYLINE\r\n 66\r\n1\r\n  0\r\nSEQEND\r\n";
  // The calls of two insertions of the file's bytes, at two transforms.
  const auto draw = [&](const std::string& bytes) {
    WriteBlockFile("R", bytes);
    CadBeginOutput(3);
    sink().ClearCalls();
    CadInsertBlock("R", 100, 50, 0, 1, 1);
    CadInsertBlock("R", -20, 7, 30, 2, -0.5L);
    const Strings calls = sink().Lines();
    CadEndOutput();
    return calls;
  };
  const Strings first = draw(entities + kEof);
  ASSERT_EQ(std::count_if(first.begin(), first.end(), [](const std::string& c) { return c.starts_with("GrafLine"); }),
            2 * (1 + 2));
  // Drawn again from the first reading; an unknown record in front makes
  // other bytes, read as a whole.
  EXPECT_EQ(draw(entities + kEof), first);
  EXPECT_EQ(draw("  0\r\nHATCH\r\n 10\r\n1\r\n" + entities + kEof), first);
  // Changed bytes draw the change.
  const Strings moved = draw(LineRecord(0, 0, 9, 9) + kEof);
  EXPECT_NE(std::find(moved.begin(), moved.end(), "GrafLine(100,50,109,59)"), moved.end());
  EXPECT_EQ(std::count_if(moved.begin(), moved.end(), [](const std::string& c) { return c.starts_with("GrafLine"); }),
            2);
  EXPECT_EQ(std::count_if(moved.begin(), moved.end(), [](const std::string& c) { return c.starts_with("GrafCircle"); }),
            0);
}

// The screen run holds the same lines, circles, arcs, texts and solids as
// the DXF of the drawing, read by ezdxf with its blocks and polylines
// exploded.
TEST_F(BlocksTest, ScreenRunMatchesTheDxfOfTheSameDrawing) {
  std::string path = RunToFile(1, dir() + "/same", DrawReferenceEntities, DrawReferenceBlocks);
  std::string script = dir() + "/explode.py";
  WriteFileBytes(script, R"(import sys, ezdxf
def f(v):
    s = "%.3f" % v
    return "0.000" if s == "-0.000" else s
def a(v):
    return f(v % 360.0 if abs(v % 360.0 - 360.0) > 5e-4 else 0.0)
def emit(e):
    t = e.dxftype()
    if t in ("INSERT", "POLYLINE"):
        for v in e.virtual_entities():
            emit(v)
    elif t == "LINE":
        print("LINE", f(e.dxf.start.x), f(e.dxf.start.y), f(e.dxf.end.x), f(e.dxf.end.y))
    elif t == "CIRCLE":
        print("CIRCLE", f(e.dxf.center.x), f(e.dxf.center.y), f(e.dxf.radius))
    elif t == "ARC":
        print("ARC", f(e.dxf.center.x), f(e.dxf.center.y), a(e.dxf.start_angle), a(e.dxf.end_angle), f(e.dxf.radius))
    elif t == "TEXT":
        print("TEXT", f(e.dxf.insert.x), f(e.dxf.insert.y), e.dxf.text)
    elif t == "SOLID":
        p = [e.dxf.vtx0, e.dxf.vtx1, e.dxf.vtx3, e.dxf.vtx2]
        print("SOLID", " ".join(f(c) for q in p for c in (q.x, q.y)))
for e in ezdxf.readfile(sys.argv[1]).modelspace():
    emit(e)
)");
  std::string out;
  int rc = RunCommand("/usr/bin/python3 " + ShellQuote(script) + " " + ShellQuote(path), out);
  if (rc != 0 && out.find("No module named 'ezdxf'") != std::string::npos) GTEST_SKIP() << out;
  ASSERT_EQ(rc, 0) << out;
  Strings fromDxf;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) fromDxf.push_back(line);

  RunToScreen(DrawReferenceEntities, DrawReferenceBlocks);
  auto num = [](long double v) { return " " + cad_detail::FixedText(v, 3); };
  auto ang = [&](long double v) {
    long double m = std::fmod(v, 360.0L);
    if (m < 0) m += 360;
    return num(std::fabs(m - 360) < 5e-4L ? 0 : m);
  };
  Strings fromScreen;
  for (const auto& c : sink().Calls()) {
    const auto& v = c.args;
    std::string s;
    if (c.name == "GrafLine") s = "LINE" + num(v[0]) + num(v[1]) + num(v[2]) + num(v[3]);
    else if (c.name == "GrafCircle") s = "CIRCLE" + num(v[0]) + num(v[1]) + num(v[2]);
    else if (c.name == "GrafArc") s = "ARC" + num(v[0]) + num(v[1]) + ang(v[2]) + ang(v[3]) + num(v[4]);
    else if (c.name == "GrafOutTextXY") s = "TEXT" + num(v[0]) + num(v[1]) + " " + ToUtf8(CodePage::Cp850, c.text);
    else if (c.name == "GrafSolid") {
      s = "SOLID";
      for (long double x : v) s += num(x);
    }
    if (!s.empty()) fromScreen.push_back(s);
  }
  std::sort(fromDxf.begin(), fromDxf.end());
  std::sort(fromScreen.begin(), fromScreen.end());
  EXPECT_EQ(fromDxf, fromScreen);
  EXPECT_GT(fromScreen.size(), 40u);
}

}  // namespace
}  // namespace zeb::test
