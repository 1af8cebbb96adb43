// No text of a diagram sheet or of the Quick 3 sheet lies over another,
// and no text of any sheet (drawings 1 to 17 of the command line and the
// second production drawing as well) is crossed by a line (axis, arrow,
// tick, plot border, grid, curve, mark, dimension line, frame), for every
// example spring: each sheet is written as DXF and text_overlap.py (ezdxf)
// measures the boxes of its texts against each other and against every
// line, block inserts expanded.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "diagram_fixture.h"
#include "base/headless_ui.h"
#include "drawings/drawings.h"
#include "mainwin/changelog_cmd.h"
#include "mainwin/input_forms.h"
#include "spring/changelog.h"
#include "spring/springfile.h"
#include "spring/strength.h"

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

// A checker script of this folder run with its arguments (quoted): its
// findings, or "" when none; missing when Python lacks a module it needs.
std::string RunChecker(const std::string& script, const std::string& args, bool& missing) {
  std::string out;
  const int status = RunCommand(
      "/usr/bin/python3 " + ShellQuote((fs::path(__FILE__).parent_path() / script).string()) + args + " 2>&1", out);
  missing = status != 0 && out.find("No module named") != std::string::npos;
  return status == 0 ? std::string() : out.empty() ? "exit " + std::to_string(status) : out;
}

// A LINE entity of the checkers' hand-made sheets.
std::string DxfLine(double x1, double y1, double x2, double y2) {
  return "0\nLINE\n8\n0\n10\n" + std::to_string(x1) + "\n20\n" + std::to_string(y1) + "\n11\n" +
         std::to_string(x2) + "\n21\n" + std::to_string(y2) + "\n";
}


// While it lives, the calculations' messages go to a scratch log (no part
// of these tests) instead of the test's scripted interface.
class QuietUi {
 public:
  explicit QuietUi(ScriptedUi& back) : back_(back), log_(std::tmpfile()) { SetUi(std::make_shared<BatchUi>(log_)); }
  ~QuietUi() {
    SetUi(std::shared_ptr<ScriptedUi>(&back_, [](ScriptedUi*) {}));
    if (log_) std::fclose(log_);
  }
  QuietUi(const QuietUi&) = delete;
  QuietUi& operator=(const QuietUi&) = delete;
  bool Open() const { return log_ != nullptr; }

 private:
  ScriptedUi& back_;
  std::FILE* log_;
};

class SheetTextTest : public DiagramTest {
 protected:
  // Writes every sheet of the current spring as dir()/<stem>_<sheet>.dxf.
  void WriteSheets(const std::string& stem, std::vector<std::string>& paths) {
    auto add = [&](const std::string& name, const std::function<void(int)>& draw) {
      G().AbortFlag = 0;
      const std::string p = Write(stem + "_" + name, 1, draw);
      if (!p.empty()) paths.push_back(p);
    };
    for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29})
      add("diagram" + std::to_string(code), [code](int c) { ShowDiagram(code, c); });
    add("goodman", [](int c) { GoodmanOutput(c); });
    add("haigh", [](int c) { HaighOutput(c); });
    add("spectrum", [](int c) { SelectDiagram(14, c); });
    add("quick3", [](int c) { DrawQuickSheet(c); });
  }
  // text_overlap.py over the files: its findings, or "" when none.
  // Findings that one of the patterns finds are left out.
  static std::string Overlaps(const std::vector<std::string>& paths, bool& missing,
                              const std::vector<std::string>& allowed = {}, bool linesOnly = false,
                              bool frame = false, bool printSize = false, const std::string& more = "") {
    std::string args = more;
    if (linesOnly) args += " --lines";
    if (frame) args += " --frame";
    if (printSize) args += " --print";
    for (const auto& a : allowed) args += " --allow " + ShellQuote(a);
    for (const auto& p : paths) args += " " + ShellQuote(p);
    return RunChecker("text_overlap.py", args, missing);
  }
};

// The checker itself: a pair it must find and a pair it must leave.
TEST_F(SheetTextTest, CheckerFindsOverlapsOfRotatedAndInsertedTexts) {
  // Not in dir(): the fixture checks the files there with the DXF readers.
  const std::string own = TestOutputDir("sheet_texts");
  const std::string over = own + "/over.dxf", apart = own + "/apart.dxf";
  {
    std::ofstream f(over);
    // "ABCD" h 2, width factor 1: x 10..18; a text turned by 90 degrees at
    // x 15 rises through it; a block with "XY" inserted at (10, 1) covers it.
    f << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nB1\n70\n0\n10\n0\n20\n0\n30\n0\n3\nB1\n"
         "0\nTEXT\n8\n0\n10\n0\n20\n0\n30\n0\n40\n2\n1\nXY\n0\nENDBLK\n8\n0\n0\nENDSEC\n"
         "0\nSECTION\n2\nENTITIES\n"
         "0\nTEXT\n8\n0\n10\n10\n20\n0\n30\n0\n40\n2\n1\nABCD\n"
         "0\nTEXT\n8\n0\n10\n15\n20\n-1\n30\n0\n40\n1\n1\nUP\n50\n90\n"
         "0\nINSERT\n8\n0\n2\nB1\n10\n10\n20\n1\n30\n0\n0\nENDSEC\n0\nEOF\n";
  }
  {
    std::ofstream f(apart);
    // Side by side ("ABCD" as wide as the face draws it, 2.778 em of 1.75
    // cells of 2: x 10..19.72, and 19.9..), stacked (y 0..2 and 2.2..), and
    // a wide text whose narrow width factor keeps it clear below.
    f << "0\nSECTION\n2\nENTITIES\n"
         "0\nTEXT\n8\n0\n10\n10\n20\n0\n30\n0\n40\n2\n1\nABCD\n"
         "0\nTEXT\n8\n0\n10\n19.9\n20\n0\n30\n0\n40\n2\n1\nEF\n"
         "0\nTEXT\n8\n0\n10\n10\n20\n2.2\n30\n0\n40\n2\n1\nGHIJ\n"
         "0\nTEXT\n8\n0\n10\n10\n20\n-2.2\n30\n0\n40\n2\n41\n0.5\n1\nKLMNOPQR\n"
         "0\nTEXT\n8\n0\n10\n18.2\n20\n-2.2\n30\n0\n40\n2\n1\n   \n0\nENDSEC\n0\nEOF\n";
  }
  bool missing = false;
  const std::string found = Overlaps({over}, missing);
  if (missing) GTEST_SKIP() << found;
  EXPECT_NE(std::string::npos, found.find("'ABCD' (10.00, 0.00) over 'UP'")) << found;
  EXPECT_NE(std::string::npos, found.find("'ABCD' (10.00, 0.00) over 'XY' (10.00, 1.00)")) << found;
  EXPECT_EQ("", Overlaps({apart}, missing));
}

// The checker on lines: a text crossed by a line, an arc, a solid (an
// arrow head), the border or an inner line of a grid is found; a line that
// ends a hair before a text, one that passes above it and one within the
// top 15 % of its height, where the glyphs leave room, are not.
TEST_F(SheetTextTest, CheckerFindsLinesThroughTexts) {
  const std::string own = TestOutputDir("sheet_lines");
  const std::string crossed = own + "/crossed.dxf", clear = own + "/clear.dxf";
  auto text = [](const char* t, double x, double y) {
    return std::string("0\nTEXT\n8\n0\n10\n") + std::to_string(x) + "\n20\n" + std::to_string(y) +
           "\n40\n2\n1\n" + t + "\n";
  };
  // A grid from (0, 0) to (40, 30): verticals at 0, 10, 20, 30, 40 and
  // horizontals at 0, 15, 30.
  std::string grid;
  for (int x = 0; x <= 40; x += 10) grid += DxfLine(x, 0, x, 30);
  for (int y = 0; y <= 30; y += 15) grid += DxfLine(0, y, 40, y);
  {
    std::ofstream f(crossed);
    // "AXIS" x 50..58, y 0..2, a vertical line at x 54 through it;
    // "ARC" x 60..66 under an arc of radius 2 about (63, 0); "TIP" x 70..76
    // over a solid; "BORDER" x 36..48 across the grid's right border.
    f << "0\nSECTION\n2\nENTITIES\n" << grid << text("AXIS", 50, 0) << DxfLine(54, -5, 54, 5) << text("ARC", 60, 0)
      << "0\nARC\n8\n0\n10\n63\n20\n0\n40\n2\n50\n0\n51\n180\n" << text("TIP", 70, 0)
      << "0\nSOLID\n8\n0\n10\n72\n20\n1\n11\n74\n21\n1\n12\n73\n22\n3\n13\n73\n23\n3\n"
      << text("BORDER", 36, 20) << text("INNER", 5, 14) << "0\nENDSEC\n0\nEOF\n";
  }
  {
    std::ofstream f(clear);
    // "NEAR" x 50..58, y 0..2, with a line ending at x 49.97, one at y 2.2
    // above it and one at y 1.75 through the top of its box.
    f << "0\nSECTION\n2\nENTITIES\n" << grid << text("NEAR", 50, 0) << DxfLine(40, 1, 49.97, 1)
      << DxfLine(50, 2.2, 60, 2.2) << DxfLine(45, 1.75, 60, 1.75) << "0\nENDSEC\n0\nEOF\n";
  }
  bool missing = false;
  const std::string found = Overlaps({crossed}, missing);
  if (missing) GTEST_SKIP() << found;
  EXPECT_NE(std::string::npos, found.find("'AXIS' (50.00, 0.00) on line (54.00, -5.00)-(54.00, 5.00)")) << found;
  EXPECT_NE(std::string::npos, found.find("'ARC' (60.00, 0.00) on line")) << found;
  EXPECT_NE(std::string::npos, found.find("'TIP' (70.00, 0.00) on solid")) << found;
  EXPECT_NE(std::string::npos, found.find("'BORDER' (36.00, 20.00) on line (40.00, 0.00)-(40.00, 30.00)")) << found;
  EXPECT_NE(std::string::npos, found.find("'INNER' (5.00, 14.00) on line")) << found;
  EXPECT_EQ("", Overlaps({clear}, missing));
  // A finding a pattern allows is left out.
  EXPECT_EQ(std::string::npos, Overlaps({crossed}, missing, {"'AXIS' .* on line"}).find("'AXIS'"));
}

// The checker's gaps: "10 Mio.Lastsp." 2 high ends its ink at 21.85 (its
// cells at 28); a line broken to 28.5 reaches past it, one broken to 22.3
// does not, nor do two lines drawn apart away from any text. A cell line
// with a hole is found, one drawn in two touching pieces is whole.
TEST_F(SheetTextTest, CheckerFindsGapsPastTheInkAndBrokenCellLines) {
  const std::string own = TestOutputDir("sheet_gaps");
  const std::string text = "0\nTEXT\n8\n0\n10\n0\n20\n0\n40\n2\n1\n10 Mio.Lastsp.\n";
  auto sheet = [&](const std::string& name, Real end, Real cut) {
    const std::string path = own + "/" + name + ".dxf";
    std::ofstream f(path);
    f << "0\nSECTION\n2\nENTITIES\n" << text << DxfLine(-10, 1, -0.5, 1) << DxfLine(end, 1, 40, 1)
      << DxfLine(0, 50, 10, 50) << DxfLine(20, 50, 30, 50) << DxfLine(82, 22, 82, cut)
      << DxfLine(82, cut + 3 * (end > 25), 82, 43) << "0\nENDSEC\n0\nEOF\n";
    return path;
  };
  const std::string past = sheet("past", 28.5L, 35), clear = sheet("clear", 22.3L, 30);
  bool missing = false;
  const std::string found = Overlaps({past}, missing, {}, true, false, false, " --gaps --whole 82,22,82,43");
  if (missing) GTEST_SKIP() << found;
  EXPECT_NE(std::string::npos, found.find("gap (-0.50, 1.00)-(28.50, 1.00) of a line past '10 Mio.Lastsp.'")) << found;
  EXPECT_NE(std::string::npos, found.find("line (82.00, 22.00)-(82.00, 43.00) broken at (82.00, 35.00)")) << found;
  EXPECT_EQ(std::string::npos, found.find("50.00")) << found;
  EXPECT_EQ("", Overlaps({clear}, missing, {}, true, false, false, " --gaps --whole 82,22,82,43"));
  // The same two pieces on two layers are two lines that meet on one
  // straight (a band's end and a point's tick), no line broken at the text.
  const std::string layers = own + "/layers.dxf";
  {
    std::string other = DxfLine(28.5, 1, 40, 1);
    other.replace(other.find("\n8\n0\n"), 5, "\n8\n7\n");
    std::ofstream f(layers);
    f << "0\nSECTION\n2\nENTITIES\n" << text << DxfLine(-10, 1, -0.5, 1) << other << "0\nENDSEC\n0\nEOF\n";
  }
  EXPECT_EQ("", Overlaps({layers}, missing, {}, true, false, false, " --gaps"));
}

// The checker at print size: a text under 1 mm high and one narrower than
// a width factor of 0.5 are found, as is a leader from a point's circle
// that runs 0.2 beside an axis to its label; a text of 1 mm, factor 0.5,
// and a leader that leaves the axis at an angle are not.
TEST_F(SheetTextTest, CheckerFindsSmallTextsAndLeadersAlongLines) {
  const std::string own = TestOutputDir("sheet_print");
  const std::string small = own + "/small.dxf", fine = own + "/fine.dxf";
  auto text = [](const char* t, double x, double y, double h, double wf) {
    return std::string("0\nTEXT\n8\n0\n10\n") + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n40\n" +
           std::to_string(h) + "\n41\n" + std::to_string(wf) + "\n1\n" + t + "\n";
  };
  // An axis at x 10 from y 0 up; a point's circle (r 0.5) at (10.2, 1).
  const std::string axis = DxfLine(10, 0, 10, 40) + "0\nCIRCLE\n8\n0\n10\n10.2\n20\n1\n40\n0.5\n";
  {
    std::ofstream f(small);
    f << "0\nSECTION\n2\nENTITIES\n" << axis << text("LOW", 30, 0, 0.8, 1) << text("THIN", 30, 5, 2, 0.4)
      << text("tau k2", 10.4, 12, 2, 1) << DxfLine(10.2, 1.5, 10.2, 11.5) << "0\nENDSEC\n0\nEOF\n";
  }
  {
    std::ofstream f(fine);
    f << "0\nSECTION\n2\nENTITIES\n" << axis << text("ONE", 30, 0, 1, 0.5) << text("tau k2", 16, 12, 2, 1)
      << DxfLine(10.5, 1.4, 15.8, 11.7) << "0\nENDSEC\n0\nEOF\n";
  }
  bool missing = false;
  const std::string found = Overlaps({small}, missing, {}, false, false, true);
  if (missing) GTEST_SKIP() << found;
  EXPECT_NE(std::string::npos, found.find("'LOW' (30.00, 0.00) h 0.80 w 1.00 below print size")) << found;
  EXPECT_NE(std::string::npos, found.find("'THIN' (30.00, 5.00) h 2.00 w 0.40 below print size")) << found;
  EXPECT_NE(std::string::npos, found.find("of 'tau k2' along (10.00, 0.00)-(10.00, 40.00)")) << found;
  EXPECT_EQ("", Overlaps({fine}, missing, {}, false, false, true));
  // A view 4 wide and 3 high with a text 0.2 high: 14 mm on an A4 page
  // (scale 70), 0.4 on a page of 8 x 6 (scale 2).
  const std::string view = own + "/view.dxf";
  {
    std::ofstream f(view);
    f << "0\nSECTION\n2\nHEADER\n9\n$LIMMIN\n10\n0\n20\n0\n9\n$LIMMAX\n10\n4\n20\n3\n0\nENDSEC\n"
         "0\nSECTION\n2\nENTITIES\n"
      << text("F", 1, 1, 0.2, 0.8) << "0\nENDSEC\n0\nEOF\n";
  }
  EXPECT_EQ("", Overlaps({view}, missing, {}, false, false, true, " --fit 297,210"));
  EXPECT_NE(std::string::npos, Overlaps({view}, missing, {}, false, false, true, " --fit 8,6")
                                   .find("'F' (1.00, 1.00) h 0.40 w 0.80 below print size"));
}

// Drawings 1 to 17 of a spring file as the command line writes them
// (/CAD1:j, with the shipped tables), as run/<stem>/<stem>_<j>.dxf.
void CadSheets(const fs::path& spring, const fs::path& own, std::vector<std::string>& paths) {
  const std::string name = spring.filename().string(), stem = spring.stem().string();
  const fs::path run = own / stem;
  fs::create_directories(run / "xdg");
  fs::create_directories(run / "tmp");
  fs::copy_file(spring, run / name, fs::copy_options::overwrite_existing);
  std::string out;
  const std::string q = ShellQuote(run.string());
  RunCommand("cd " + q + " && for j in $(seq 1 17); do XDG_CONFIG_HOME=" + q + "/xdg TMPDIR=" + q +
                 "/tmp QT_QPA_PLATFORM=offscreen timeout 60 " + ShellQuote(ZEB1_WZEB1) + " " + ShellQuote(name) +
                 " /CAD1:$j /NOGUI >/dev/null 2>&1; [ -f " + ShellQuote(stem + ".dxf") + " ] && mv " +
                 ShellQuote(stem + ".dxf") + " " + ShellQuote(stem) + "_$j.dxf; done",
             out);
  for (int j = 1; j <= 17; ++j)
    if (const fs::path p = run / (stem + "_" + std::to_string(j) + ".dxf"); fs::exists(p)) paths.push_back(p);
}

// Texts that belong on a line (none on these sheets: their dimension texts
// and labels all stand clear) would be listed here with the reason, as
// patterns of text_overlap.py's findings.
const std::vector<std::string> kTextsOnLines{};
// Texts on a line of another section (none: the rule breaks lines for
// every text of the sheet).
const std::vector<std::string> kTextsOnLinesOfOtherSections{};
// Texts that may touch another (none).
const std::vector<std::string> kTextsOverTexts{};

TEST_F(SheetTextTest, EveryExampleSheetKeepsItsTextsApart) {
  std::vector<std::string> paths;
  const QuietUi quiet(ui());
  ASSERT_TRUE(quiet.Open());
  for (const std::string& name : ExampleNames()) {
    SCOPED_TRACE(name);
    ResetSpringRecords();
    ResetDiagramGlobals();
    ASSERT_TRUE(LoadExample(name));
    SpringData().DrawingName = "Federkennlinie Pruefstand", SpringData().DrawingNo = "ZN-4711";
    SpringData().DrawingName2 = "Werkstatt";
    G().TitleBlockLines[2] = "Kunde: Beispiel GmbH";
    G().TitleBlockLines[3] = "Auftrag 2026-117";
    TransverseLoad().FQ = 5;
    WriteSheets(fs::path(name).stem().string(), paths);
  }
  // The relaxation sheets (18, 19, 20) want data that no example has.
  ASSERT_GE(paths.size(), 6u * 19);
  bool missing = false;
  // Nothing off the sheet either, and no gap a text breaks into a line
  // reaches past its ink by more than the gap (the Goodman and Haigh
  // sheets' "10 Mio.Lastsp.", "1 Mio.Lastsp." among them).
  const std::string found = Overlaps(paths, missing, kTextsOnLines, false, true, false, " --gaps");
  if (missing) GTEST_SKIP() << found;
  EXPECT_EQ("", found);
}

// Drawings 1 to 17 as the command line writes them (/CAD1:j, with the
// shipped tables) and the second production drawing: no line crosses a
// text, whether both are drawn in one block or not.
TEST_F(SheetTextTest, EveryCadSheetKeepsItsTextsClearOfLines) {
  std::vector<std::string> paths;
  const fs::path own = fs::path(dir()) / "cad";
  for (const std::string& name : ExampleNames())
    CadSheets(fs::path(__FILE__).parent_path() / "../../examples" / name, own, paths);
  // Drawing 9 draws nothing from the command line, 11 wants relaxation
  // data no example has; a non-round wire has no production drawing.
  ASSERT_GE(paths.size(), ExampleNames().size() * 14);
  const QuietUi quiet(ui());
  ASSERT_TRUE(quiet.Open());
  for (const std::string& name : ExampleNames()) {
    ResetSpringRecords();
    ASSERT_TRUE(LoadExample(name));
    G().AbortFlag = 0;
    const std::string p = Write(fs::path(name).stem().string() + "_en", 1, [](int c) { DrawProductionDrawingEN(c); });
    if (!p.empty()) paths.push_back(p);
  }
  bool missing = false;
  const std::string found = Overlaps(paths, missing, {}, true, false, false, " --gaps");
  if (missing) GTEST_SKIP() << found;
  EXPECT_EQ("", found);
  // The title block's column lines stay whole beside their labels
  // ("Bearb." once broke the one at x 82).
  std::vector<std::string> production;
  for (const std::string& p : paths)
    if (p.ends_with("_16.dxf") || p.ends_with("_en.dxf")) production.push_back(p);
  ASSERT_GE(production.size(), ExampleNames().size());
  std::string cells;
  for (const char* line : {"73,5,73,43", "82,22,82,43", "98,22,98,43", "26,5,26,43", "52,5,52,43", "65,5,65,43"})
    cells += std::string(" --whole ") + line;
  EXPECT_EQ("", Overlaps(production, missing, {}, true, false, false, cells));
}

// Marks are never cut (examples/round_dynamic.zeb): the end-form marks of
// the EN 15800 drawing for end forms 1 to 4 stay circles, the chosen one's
// cross two whole strokes through its centre; the Haigh diagram's operating
// points stay circles and the operating line joins their centres.
TEST_F(SheetTextTest, MarksStayWhole) {
  const QuietUi quiet(ui());
  ASSERT_TRUE(quiet.Open());
  ASSERT_TRUE(LoadExample("round_dynamic.zeb"));
  auto near = [](double a, double b) { return std::fabs(a - b) < 1e-3; };
  auto circles = [&](const std::vector<DxfEntity>& es, double x, double y) {
    int whole = 0;
    for (const DxfEntity& e : es) {
      if (!near(e.Get(10), x) || !near(e.Get(20), y)) continue;
      if (e.type == "ARC") return -1;
      if (e.type == "CIRCLE") ++whole;
    }
    return whole;
  };
  auto strokes = [&](const std::vector<DxfEntity>& es, double x, double y) {
    int n = 0;
    for (const DxfEntity& e : es)
      if (e.type == "LINE" && near((e.Get(10) + e.Get(11)) / 2, x) && near((e.Get(20) + e.Get(21)) / 2, y)) ++n;
    return n;
  };
  for (int form = 1; form <= 4; ++form) {
    SCOPED_TRACE(form);
    SpringData().EndForm = static_cast<Code>(form);
    SpringData().EndFormText = "geschliffen, Sonderform mit langem Text";
    G().AbortFlag = 0;
    const std::string p = Write("en" + std::to_string(form), 1, [](int c) { DrawProductionDrawingEN(c); });
    ASSERT_FALSE(p.empty());
    const auto es = ReadDxfEntities(p);
    const struct {
      double x, y;
      int form;
    } marks[] = {{33, 187, 2}, {100, 187, 1}, {143, 187, 4}};
    for (const auto& m : marks) {
      if (m.form == 4 && form != 4) continue;
      EXPECT_EQ(circles(es, m.x, m.y), 1) << m.x;
      EXPECT_EQ(strokes(es, m.x, m.y), m.form == form ? 2 : 0) << m.x;
    }
  }
  G().AbortFlag = 0;
  const std::string haigh = Write("haigh", 1, [](int c) { HaighOutput(c); });
  ASSERT_FALSE(haigh.empty());
  std::vector<std::pair<double, double>> points;
  const auto es = ReadDxfEntities(haigh);
  for (const DxfEntity& e : es) {
    EXPECT_FALSE(e.type == "ARC" && e.layer == "21") << e.Get(10) << " " << e.Get(20);
    if (e.type == "CIRCLE" && e.layer == "21") points.emplace_back(e.Get(10), e.Get(20));
  }
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(CountLines(es, "", points[0].first, points[0].second, points[1].first, points[1].second), 1);
}

// Springs no example is, written by the test: every cross-section, end
// forms 1 to 4 (4 with a long text of its own), the production drawing's
// figures 1 to 3, long names and texts everywhere, a heavy spring
// (d 50 mm), a spring loaded past Fc and own asymmetric deviations.
struct HeldOut {
  std::string name, example;
  std::function<void(SpringFileRecords&)> change;
};

// The example of h with h's change, written as own/<name>.zeb; "" (and a
// failure) when the example does not read.
fs::path WriteHeldOut(const HeldOut& h, const fs::path& own) {
  std::string bytes, error;
  std::ifstream in(fs::path(__FILE__).parent_path() / "../../examples" / h.example, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  SpringFileRecords r;
  if (!ParseSpringFile(bytes, r, error)) {
    ADD_FAILURE() << error;
    return {};
  }
  h.change(r);
  const fs::path file = own / (h.name + ".zeb");
  std::ofstream(file, std::ios::binary) << FormatSpringFile(r);
  return file;
}

std::vector<HeldOut> HeldOutSprings() {
  std::vector<HeldOut> v;
  // The flat sections from the rectangular example (its height kept), the
  // others from a round one.
  for (Code c = 1; c <= 7; ++c) {
    const bool flat = c == 2 || c == 4 || c == 5 || c == 6;
    v.push_back({"section" + std::to_string(c), flat ? "rectangular.zeb" : "round_dynamic.zeb", [c](SpringFileRecords& r) {
                   auto& s = r.SpringData;
                   if (c == 5 || c == 6) std::swap(s.d, s.h);  // oval and rounded: on their width
                   s.CrossSection = c, s.r = 0.15L * s.d, s.di = 0.5L * s.d;
                 }});
  }
  for (Code e = 1; e <= 4; ++e)
    v.push_back({"endform" + std::to_string(e), "round_dynamic.zeb", [e](SpringFileRecords& r) {
                   r.SpringData.EndForm = e, r.SpringData.EndCoilsInput = 0.3L;
                   r.SpringData.EndFormText = "angelegt, geschliffen, Enden entgratet und gefast nach Werknorm 4711";
                 }});
  for (Code f = 1; f <= 3; ++f)
    v.push_back({"figure" + std::to_string(f), "round_static.zeb",
                 [f](SpringFileRecords& r) { r.ProductionData.Picture = f; }});
  v.push_back({"longnames", "round_dynamic.zeb", [](SpringFileRecords& r) {
                 const std::string l = "Druckfeder fuer Ventiltrieb Baureihe 2026 mit verlaengertem Namen ";
                 auto& s = r.SpringData;
                 s.DrawingName = l + "Zeichnung", s.DrawingName2 = l + "Zweitname", s.DrawingNo = "ZN-2026-0815-4711-A-B";
                 s.MaterialName = "Federstahldraht nach Werksnorm mit sehr langem Werkstoffnamen und Zusatz";
                 s.EndForm = 4, s.EndFormText = l;
                 for (int k = 1; k <= 3; ++k) r.TitleBlockLines[k] = l + std::to_string(k);
                 r.ProductionData.Surface = r.ProductionData.Extra1 = r.ProductionData.Extra2 = l + l;
               }});
  v.push_back({"heavy", "hot_coiled.zeb", [](SpringFileRecords& r) {
                 // d 16 to 50 mm: lengths by k, forces by k squared (the stresses stay).
                 auto& s = r.SpringData;
                 const Real k = 50 / s.d;
                 for (Real* x : {&s.d, &s.Dm, &s.De, &s.Di, &s.L2, &s.sh, &s.Ddmax, &s.Dhmin}) *x *= k;
                 s.F1 *= k * k, s.F2 *= k * k;
               }});
  v.push_back({"pastfc", "round_static.zeb", [](SpringFileRecords& r) {
                 // Half the length L2 on the same rate: past block length.
                 auto& s = r.SpringData;
                 const Real more = s.L2 / 2;
                 s.F2 += (s.F2 - s.F1) / s.sh * more, s.sh += more, s.L2 -= more;
               }});
  v.push_back({"owntol", "round_dynamic.zeb", [](SpringFileRecords& r) {
                 auto& s = r.SpringData;
                 s.GradeDe = s.GradeL0 = s.GradeF1 = s.GradeF2 = s.GradeE1 = s.GradeE2 = 5;
                 s.TolDe = s.TolL0 = 0.35L, s.TolDeMinus = s.TolL0Minus = -0.05L;
                 s.TolF1 = 12.5L, s.TolF1Minus = -3, s.TolF2 = 25, s.TolF2Minus = -7.5L;
                 s.e1 = 1.25L, s.e2 = 0.75L;
               }});
  return v;
}

TEST_F(SheetTextTest, HeldOutSpringSheetsStayReadableAndOnTheSheet) {
  const fs::path own = fs::path(dir()) / "held_out";
  fs::create_directories(own);
  std::vector<std::string> cad, en;
  for (const HeldOut& h : HeldOutSprings()) {
    SCOPED_TRACE(h.name);
    const fs::path file = WriteHeldOut(h, own);
    ASSERT_FALSE(file.empty());
    CadSheets(file, own / "cad", cad);
    // The EN 15800 drawing, a menu-only sheet.
    const QuietUi quiet(ui());
    ASSERT_TRUE(quiet.Open());
    ResetSpringRecords();
    G().AbortFlag = 0;
    ReadSpringFile(file.string());
    if (G().AbortFlag == 0) {
      const std::string p = Write(h.name + "_en", 1, [](int c) { DrawProductionDrawingEN(c); });
      if (!p.empty()) en.push_back(p);
      // The Quick 3 sheet, menu-only as well.
      G().AbortFlag = 0;
      const std::string q = Write(h.name + "_quick3", 1, [](int c) { DrawQuickSheet(c); });
      if (!q.empty()) en.push_back(q);
    }
  }
  // Every spring gives its diagrams and views and its Quick 3 sheet; the
  // round cold-coiled ones their EN 15800 drawing.
  ASSERT_GE(cad.size(), HeldOutSprings().size() * 9);
  ASSERT_GE(en.size(), 20u);
  std::vector<std::string> all = cad;
  all.insert(all.end(), en.begin(), en.end());
  bool missing = false;
  // No text over another, nothing off the sheet.
  std::vector<std::string> allowed = kTextsOverTexts;
  allowed.insert(allowed.end(), kTextsOnLinesOfOtherSections.begin(), kTextsOnLinesOfOtherSections.end());
  const std::string found = Overlaps(all, missing, allowed, false, true);
  if (missing) GTEST_SKIP() << found;
  std::string apart;
  for (std::size_t at = 0, end; at < found.size(); at = end + 1) {
    end = std::min(found.find('\n', at), found.size());
    const std::string line = found.substr(at, end - at);
    if (line.find(" on line ") == std::string::npos && line.find(" on solid ") == std::string::npos)
      apart += line + "\n";
  }
  EXPECT_EQ("", apart);
  // No line through a text, as the break rule keeps them.
  const std::string lines = Overlaps(all, missing, kTextsOnLinesOfOtherSections, true);
  EXPECT_EQ("", lines);
}

// A typed text of n characters for the field named by tag: words of
// different lengths, or (oneWord) a single word as long as the text.
std::string TypedText(const std::string& tag, std::size_t n, bool oneWord) {
  static const char* const words[] = {"gefast", "nach", "Werknorm", "WN", "entgratet", "und", "geschliffen", "Enden"};
  std::string t = tag;
  for (int k = 0; t.size() < n; ++k) t += (oneWord ? "-" : " ") + std::string(words[k % 8]) + std::to_string(k);
  t.resize(n);
  if (t.back() == ' ') t.back() = 'x';
  return t;
}

// A typed text and the field it must stand whole in on a sheet (sheet
// units x0, y0, x1, y1; kAnywhere: within the sheet).
struct Placed {
  std::string text;
  std::array<double, 4> field;
};
constexpr std::array<double, 4> kAnywhere{-1e9, -1e9, 1e9, 1e9};

// typed_texts.py over the files: its findings, or "".
std::string NotWhole(const std::vector<std::pair<std::string, std::vector<Placed>>>& sheets, const std::string& dir,
                     bool& missing) {
  const std::string spec = dir + "/typed_texts.tsv";
  {
    std::ofstream f(spec, std::ios::binary);
    for (const auto& [path, texts] : sheets)
      for (const Placed& t : texts) {
        f << path << '\t';
        if (t.field == kAnywhere) f << '-';
        else f << t.field[0] << ' ' << t.field[1] << ' ' << t.field[2] << ' ' << t.field[3];
        f << '\t' << t.text << '\n';
      }
  }
  return RunChecker("typed_texts.py", " " + ShellQuote(spec), missing);
}

// Every text the user types for a spring, typed longer than its field
// takes: the dialogs keep as much as they allow, and every sheet shows
// that whole (wrapped lines joined), none of it cut with "...", in its
// field, no text over another, nothing off the sheet. Words of different
// lengths on a dynamic spring, texts of one long word on a static one;
// shot peened, preset, at 80 degrees, with scrap rates: every optional
// line of the data blocks is there.
TEST_F(SheetTextTest, TypedTextsAtTheirInputLimitsArePrintedWhole) {
  const fs::path own = fs::path(dir()) / "typed";
  fs::create_directories(own);
  std::vector<std::pair<std::string, std::vector<Placed>>> sheets;
  std::vector<std::string> all;
  const QuietUi quiet(ui());
  ASSERT_TRUE(quiet.Open());
  for (const bool oneWord : {false, true}) {
    const std::string name = oneWord ? "oneword" : "words";
    SCOPED_TRACE(name);
    ResetSpringRecords();
    ASSERT_TRUE(LoadExample(oneWord ? "round_static.zeb" : "round_dynamic.zeb"));
    // Each text typed 9 characters longer than its field allows.
    auto typed = [oneWord](const std::string& tag, int limit) { return TypedText(tag, limit + 9, oneWord); };
    ApplyTitleBlockForm({typed("NA", kTitleBlockMaxLength[0]), typed("NB", kTitleBlockMaxLength[1]),
                         typed("NO", kTitleBlockMaxLength[2]), typed("TA", kTitleBlockMaxLength[3]),
                         typed("TB", kTitleBlockMaxLength[4])});
    ProductionForm production = FillProductionForm();
    ChooseProductionEnds(production, 3, production.coilingKind);
    production.endFormText = typed("EF", kEndFormTextMaxLength);
    production.shotPeened = true;
    production.windingDir = 0;
    ApplyProductionForm(production);
    ProductionDrawingForm drawing = FillProductionDrawingForm();
    drawing.surfaceCode = 0;
    drawing.surface = typed("SU", kSurfaceMaxLength);
    drawing.extra1 = typed("XA", kExtraLineMaxLength);
    drawing.extra2 = typed("XB", kExtraLineMaxLength);
    ChoosePreset(drawing, 0);
    ApplyProductionDrawingForm(drawing);
    ChangeLog().ChangeEntryCount = 8;
    for (int n = 1; n <= 8; ++n) {
      const std::string k = std::to_string(n);
      ApplyChangeEntryForm({typed("C" + k, kChangeEntryMaxLength[0]), typed("D" + k, kChangeEntryMaxLength[1]),
                            typed("E" + k, kChangeEntryMaxLength[2]), "Beschreibung"},
                           n);
    }
    DrawingInfoForm info = FillDrawingInfoForm();
    info.replaces = typed("RA", 15), info.replacedBy = typed("RB", 15);
    for (int r = 0; r < 4; ++r) {
      const std::string k = std::to_string(r);
      info.roles[static_cast<std::size_t>(r)] = {typed("Q" + k, kApprovalMaxLength[0]),
                                                 typed("B" + k, kApprovalMaxLength[1])};
    }
    ASSERT_TRUE(ApplyDrawingInfoForm(info));
    // The own material's name, as long as its input allows (50).
    SpringDataRecord& s = SpringData();
    s.MaterialSel = 11, s.MaterialName = TypedText("MA", 50, oneWord);
    s.T = 80, s.Statistics = 'J';
    TransverseLoad().FQ = 5;
    // What the dialogs kept: each text as long as its field allows.
    const ChangeLogData& cl = ChangeLog();
    const ProductionDataRecord& p = ProductionData();
    ASSERT_EQ(s.DrawingName.size(), 25u);
    ASSERT_EQ(s.EndFormText.size(), 100u);
    ASSERT_EQ(p.Extra1.size(), 100u);
    ASSERT_EQ(cl.CreatedBy.size(), 30u);
    const fs::path file = own / (name + ".zeb");
    std::ofstream(file, std::ios::binary) << FormatSpringFile(CurrentSpringFileRecords());
    const auto& title = G().TitleBlockLines;
    // The texts of the production drawings, each in its field of the frame.
    std::vector<Placed> production16{{s.DrawingName, {116, 22, 205, 43}},      {s.DrawingName2, {116, 22, 205, 43}},
                                     {s.DrawingNo, {116, 9.4, 192, 22}},       {cl.ReplacesDrawing, {116, 5, 160, 9.4}},
                                     {cl.ReplacedByDrawing, {160, 5, 205, 9.4}}, {p.Surface, {23, 82, 109, 95}},
                                     {s.MaterialName, {23, 60, 109, 82}},       {p.Extra1, {23, 43, 205, 60}},
                                     {p.Extra2, {23, 43, 205, 60}}};
    for (int n = 1; n <= 8; ++n) {
      const ChangeEntry& e = cl.ChangeEntries[static_cast<std::size_t>(n)];
      production16.push_back({e.Change, {26, 9.4, 52, 43}});
      production16.push_back({e.Date, {52, 9.4, 65, 43}});
      production16.push_back({e.Editor, {65, 9.4, 73, 43}});
    }
    const std::pair<const std::string*, const std::string*> roles[] = {
        {&cl.CreatedDate, &cl.CreatedBy}, {&cl.CheckedDate, &cl.CheckedBy},
        {&cl.StandardsDate, &cl.StandardsBy}, {&cl.ReleaseDate, &cl.ReleasedBy}};
    for (int r = 0; r < 4; ++r) {
      const double bottom = 34.6 - 4.2 * r;
      production16.push_back({*roles[r].first, {82, bottom, 98, bottom + 4.2}});
      production16.push_back({*roles[r].second, {98, bottom, 116, bottom + 4.2}});
    }
    std::vector<Placed> en = production16;
    // The end-form text: below Form 3's caption on the first drawing,
    // beside its mark under the value column on the EN 15800 one.
    production16.push_back({s.EndFormText, {18, 181, 163, 186}});
    en.push_back({s.EndFormText, {145, 181, 205, 194}});
    // The diagram sheets' title block, top right.
    const std::array<double, 4> titleBlock{79, 104, 160, 120};
    const std::vector<Placed> titles{{s.DrawingName, titleBlock}, {s.DrawingNo, titleBlock},
                                     {s.DrawingName2, titleBlock}, {title[2], titleBlock}, {title[3], titleBlock}};
    // Quick 2: the title lines top right, the material lines bottom left.
    const std::vector<Placed> quick2{{s.DrawingName, {77, 100, 160, 120}}, {s.DrawingNo, {77, 100, 160, 120}},
                                     {title[2], {77, 100, 160, 120}},     {title[3], {77, 100, 160, 120}},
                                     {s.MaterialName, {0, 0, 78, 46}},     {s.EndFormText, {0, 0, 78, 46}}};
    std::vector<std::string> cad;
    CadSheets(file, own / "cad", cad);
    for (const std::string& path : cad) {
      const std::string stem = fs::path(path).stem().string();
      const int j = std::stoi(stem.substr(stem.rfind('_') + 1));
      if (j == 16) sheets.emplace_back(path, production16);
      if (j == 1) {
        // Quick 1: the material block below the plot.
        std::vector<Placed> quick1 = titles;
        quick1.push_back({s.MaterialName, {0, 0, 95, 46}});
        quick1.push_back({s.EndFormText, {0, 0, 95, 46}});
        sheets.emplace_back(path, quick1);
      } else if (j == 10) {
        sheets.emplace_back(path, quick2);
      } else if (j <= 11) {
        sheets.emplace_back(path, titles);
      }
    }
    ASSERT_GE(cad.size(), 14u);
    all.insert(all.end(), cad.begin(), cad.end());
    // The sheets of the menus alone.
    ResetSpringRecords();
    G().AbortFlag = 0;
    ReadSpringFile(file.string());
    ASSERT_EQ(0, G().AbortFlag);
    auto write = [&](const std::string& sheet, const std::function<void(int)>& draw, std::vector<Placed> texts) {
      G().AbortFlag = 0;
      const std::string path = Write(name + "_" + sheet, 1, draw);
      ASSERT_FALSE(path.empty()) << sheet;
      all.push_back(path);
      sheets.emplace_back(path, std::move(texts));
    };
    write("en", [](int c) { DrawProductionDrawingEN(c); }, en);
    // Quick 3: the header line at the top, the end-form text in the data
    // block before the tolerance table; the Goodman sheet's title block
    // (dynamic) or the material block (static) at the right.
    std::vector<Placed> quick3{{s.DrawingName, {0, 115, 160, 120}},
                               {s.DrawingNo, {0, 115, 160, 120}},
                               {s.DrawingName2, {0, 115, 160, 120}},
                               {s.EndFormText, {59, 40, 96, 116}}};
    const std::array<double, 4> right = oneWord ? std::array<double, 4>{74, 20, 160, 62} : std::array<double, 4>{115, 58, 160, 70};
    for (const std::string* t : {&title[2], &title[3]}) quick3.push_back({*t, right});
    quick3.push_back({s.MaterialName, kAnywhere});
    write("quick3", [](int c) { DrawQuickSheet(c); }, quick3);
    for (int code : {21, 22, 23, 25, 26, 27, 28, 29})
      write("diagram" + std::to_string(code), [code](int c) { ShowDiagram(code, c); }, titles);
    if (!oneWord) {
      std::vector<Placed> fatigue = titles;
      fatigue.push_back({s.MaterialName, {0, 0, 160, 12}});
      write("goodman", [](int c) { GoodmanOutput(c); }, fatigue);
      write("haigh", [](int c) { HaighOutput(c); }, fatigue);
    }
  }
  bool missing = false;
  const std::string cut = NotWhole(sheets, dir(), missing);
  if (missing) GTEST_SKIP() << cut;
  EXPECT_EQ("", cut);
  // No text over another, none crossed by a line, nothing off the sheet.
  EXPECT_EQ("", Overlaps(all, missing, {}, false, true));
}

// What a sheet labels, for point_labels.py: the plot on the sheet (x0, y0,
// width, height), points and lines in world units (as the axes read) with
// their labels, and the beginnings of value labels that must be there.
struct Labels {
  std::string file;
  std::array<double, 4> plot;
  std::vector<std::pair<std::string, std::array<double, 2>>> points;
  std::vector<std::pair<std::string, std::vector<std::array<double, 2>>>> lines;
  std::vector<std::string> present;
  // Regions (their corners, world) and their labels.
  std::vector<std::pair<std::string, std::vector<std::array<double, 2>>>> regions;
};

std::string JsonText(const std::string& t) {
  std::string q = "\"";
  for (char c : t) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

std::string JsonNumber(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.9g", std::isfinite(v) ? v : 0.0);
  return b;
}

std::string JsonPair(const std::array<double, 2>& p) { return "[" + JsonNumber(p[0]) + ", " + JsonNumber(p[1]) + "]"; }

// point_labels.py over the sheets: its findings, or "".
std::string LabelFindings(const std::vector<Labels>& sheets, const std::string& dir, bool& missing) {
  const std::string cases = dir + "/labels.json";
  {
    std::ofstream f(cases, std::ios::binary);
    f << "[";
    for (std::size_t k = 0; k < sheets.size(); ++k) {
      const Labels& l = sheets[k];
      f << (k ? ",\n" : "") << "{\"file\": " << JsonText(l.file) << ", \"plot\": [" << JsonNumber(l.plot[0]) << ", "
        << JsonNumber(l.plot[1]) << ", " << JsonNumber(l.plot[2]) << ", " << JsonNumber(l.plot[3]) << "], \"points\": [";
      for (std::size_t i = 0; i < l.points.size(); ++i)
        f << (i ? ", " : "") << "{\"text\": " << JsonText(l.points[i].first)
          << ", \"x\": " << JsonNumber(l.points[i].second[0]) << ", \"y\": " << JsonNumber(l.points[i].second[1]) << "}";
      f << "], \"lines\": [";
      for (std::size_t i = 0; i < l.lines.size(); ++i) {
        f << (i ? ", " : "") << "{\"text\": " << JsonText(l.lines[i].first) << ", \"line\": [";
        for (std::size_t j = 0; j < l.lines[i].second.size(); ++j) f << (j ? ", " : "") << JsonPair(l.lines[i].second[j]);
        f << "]}";
      }
      f << "], \"present\": [";
      for (std::size_t i = 0; i < l.present.size(); ++i) f << (i ? ", " : "") << JsonText(l.present[i]);
      f << "], \"regions\": [";
      for (std::size_t i = 0; i < l.regions.size(); ++i) {
        f << (i ? ", " : "") << "{\"text\": " << JsonText(l.regions[i].first) << ", \"region\": [";
        for (std::size_t j = 0; j < l.regions[i].second.size(); ++j)
          f << (j ? ", " : "") << JsonPair(l.regions[i].second[j]);
        f << "]}";
      }
      f << "]}";
    }
    f << "]\n";
  }
  return RunChecker("point_labels.py", " " + ShellQuote(cases), missing);
}

constexpr std::array<double, 4> kFatiguePlot{15, 20, 90, 85};
// The Goodman sheet as the Quick 3 sheet inserts it: at (70, 0) by 0.58.
constexpr std::array<double, 4> kQuick3Goodman{70 + 15 * 0.58, 20 * 0.58, 90 * 0.58, 85 * 0.58};

// The operating point's labels of the Goodman (or Haigh) diagram: the
// points (tauk1, tauk1) and (tauk1, tauk2), or (tauk1, 0) and (tauk1,
// tauk2 - tauk1).
Labels FatigueLabels(const std::string& file, const std::array<double, 4>& plot, bool haigh) {
  const SpringDataRecord& s = SpringData();
  const double k1 = static_cast<double>(s.tauk1), k2 = static_cast<double>(s.tauk2);
  Labels l{file, plot, {}, {}, {}, {}};
  l.points.push_back({"tau k1", {k1, haigh ? 0 : k1}});
  l.points.push_back({haigh ? "tau kh" : "tau k2", {k1, haigh ? k2 - k1 : k2}});
  return l;
}

// Springs nobody would build that the program calculates all the same,
// each with a transverse force (so that every sheet has its values): past
// block length, static and dynamic; a minimum length above the free
// length (sn below 0); low stress; short springs of flat and square wire.
// A table material's spring past block length as well, for the Goodman
// lines through the command line.
std::vector<HeldOut> EdgeSprings() {
  std::vector<HeldOut> v;
  auto pastBlock = [](Real share) {
    return [share](SpringFileRecords& r) {
      auto& s = r.SpringData;
      const Real more = s.L2 * share;
      s.F2 += (s.F2 - s.F1) / s.sh * more, s.sh += more, s.L2 -= more;
      r.TransverseLoad.FQ = 5;
    };
  };
  v.push_back({"pastblock_static", "round_static.zeb", pastBlock(0.7L)});
  v.push_back({"pastblock_dynamic", "round_dynamic.zeb", pastBlock(0.7L)});
  v.push_back({"pastblock_table", "valve_spring.zeb", pastBlock(0.9L)});
  v.push_back({"minabovefree", "round_static.zeb", [](SpringFileRecords& r) {
                 // The rate kept: L0 23.5 between Lc 21.3 and Ln 25.5.
                 auto& s = r.SpringData;
                 const Real R = (s.F2 - s.F1) / s.sh;
                 s.F1 = R, s.sh = 5, s.F2 = s.F1 + R * s.sh, s.L2 = 17.5L;
                 r.TransverseLoad.FQ = 5;
               }});
  v.push_back({"lowstress", "round_dynamic.zeb", [](SpringFileRecords& r) {
                 auto& s = r.SpringData;
                 s.F1 *= 0.15L, s.F2 *= 0.2L, s.sh *= 0.2L;
                 r.TransverseLoad.FQ = 5;
               }});
  v.push_back({"flat4", "rectangular.zeb", [](SpringFileRecords& r) {
                 // b 6, h 1.5, L0 9.25 beside Dm 36: the data block is taller than the view.
                 auto& s = r.SpringData;
                 s.CrossSection = 4, s.h = 0.25L * s.d, s.F1 = 10, s.F2 = 30, s.sh = 1.5L, s.L2 = 7;
                 r.TransverseLoad.FQ = 5;
               }});
  v.push_back({"flat4stiff", "rectangular.zeb", [](SpringFileRecords& r) {
                 // h 1.8: tauk2 above 2500 N/mm², the fatigue axes beyond.
                 auto& s = r.SpringData;
                 s.CrossSection = 4, s.h = 0.3L * s.d, s.sh = 10, s.L2 = 30;
                 r.TransverseLoad.FQ = 5;
               }});
  v.push_back({"square", "rectangular.zeb", [](SpringFileRecords& r) {
                 auto& s = r.SpringData;
                 s.CrossSection = 3, s.d = s.h = 4, s.De = s.Dm = s.Di = 80;
                 s.F1 = 20, s.F2 = 60, s.sh = 4, s.L2 = 20;
                 r.TransverseLoad.FQ = 5;
               }});
  return v;
}

// For every spring the program calculates, every value its sheets mark is
// on the sheet: the sheets of the command line (/CAD1:j) and of the menus
// alone (the stress, work and transverse diagrams, Haigh, Quick 3) of the
// springs above have every text and line inside the sheet limits, no text
// over another or crossed by a line, every value label there, the labels
// of the buckling points and of the operating point by their points or
// led to them by a leader from their own mark.
TEST_F(SheetTextTest, SpringsPastBlockLengthFlatWireAndLowStressKeepEveryValueOnTheSheet) {
  const fs::path own = fs::path(dir()) / "edge";
  fs::create_directories(own);
  std::vector<std::string> all;
  std::vector<Labels> labels;
  for (const HeldOut& h : EdgeSprings()) {
    SCOPED_TRACE(h.name);
    const fs::path file = WriteHeldOut(h, own);
    ASSERT_FALSE(file.empty());
    std::vector<std::string> cad;
    CadSheets(file, own / "cad", cad);
    // Diagrams 1 to 4, 7 and 10 (5, 6 and 8 are for round wire only, 9
    // draws nothing from the command line, 11 wants relaxation data), the
    // simple section, the top view and the 3D line.
    ASSERT_GE(cad.size(), 9u);
    all.insert(all.end(), cad.begin(), cad.end());
    const QuietUi quiet(ui());
    ASSERT_TRUE(quiet.Open());
    ResetSpringRecords();
    G().AbortFlag = 0;
    ReadSpringFile(file.string());
    // The table material's values come from the shipped table, which only
    // the command line reads.
    const bool values = G().FatalErrorFlag == 0;
    EXPECT_TRUE(values || h.example == "valve_spring.zeb");
    const SpringDataRecord& s = SpringData();
    const bool dynamic = s.LoadType != 1;
    for (const std::string& path : cad) {
      const std::string stem = fs::path(path).stem().string();
      const int j = std::stoi(stem.substr(stem.rfind('_') + 1));
      if (j == 3 && values && s.L0 > 0 && s.Dm > 0) {
        // Buckling: the points of the spring's line at nue L0 / D.
        const double x = static_cast<double>(s.nue * s.L0 / s.Dm), L0 = static_cast<double>(s.L0);
        Labels l{path, {12, 10, 95, 95}, {}, {}, {}, {}};
        const std::pair<const char*, Real> travels[] = {{"sc", s.sc}, {"s2", s.s2}, {"s1", s.s1}, {"sn", s.sn}, {"sk", s.sk}};
        for (const auto& [name, sv] : travels)
          if (sv != 9999) l.points.push_back({name, {x, static_cast<double>(sv) / L0}});
        labels.push_back(l);
      }
      if (j == 7 && values) labels.push_back(FatigueLabels(path, kFatiguePlot, false));
    }
    if (values) {
      auto write = [&](const std::string& sheet, const std::function<void(int)>& draw) {
        G().AbortFlag = 0;
        const std::string path = Write(h.name + "_" + sheet, 1, draw);
        EXPECT_FALSE(path.empty()) << sheet;
        if (!path.empty()) all.push_back(path);
        return path;
      };
      const std::string haigh = write("haigh", [](int c) { HaighOutput(c); });
      labels.push_back(FatigueLabels(haigh, kFatiguePlot, true));
      const std::string quick3 = write("quick3", [](int c) { DrawQuickSheet(c); });
      if (dynamic) labels.push_back(FatigueLabels(quick3, kQuick3Goodman, false));
      // The value labels of the menu-only diagrams.
      Labels work{write("work", [](int c) { ShowDiagram(25, c); }), {}, {}, {}, {"W02= ", "W0n= ", "W0c= "}, {}};
      if (s.s1 > 0.09L * s.sc) work.present.push_back("W01= ");
      labels.push_back(work);
      Labels stress{write("stress", [](int c) { ShowDiagram(29, c); }), {}, {}, {}, {"tau1", "tau2", "taun", "tauc"}, {}};
      if (dynamic) stress.present.insert(stress.present.end(), {"tauk1", "tauk2"});
      labels.push_back(stress);
      const TransverseLoadRecord& q = TransverseLoad();
      static const char* const names[3] = {"sq", "Rq", "fq"};
      static const char* const tags[5] = {"0", "1", "2", "n", "c"};
      const bool marked[5] = {false, s.s1 > 0.09L * s.sc, true, s.sn > 1.05L * s.s2, true};
      for (int mode = 0; mode < 3; ++mode) {
        const std::array<Real, 5>& v = mode == 0 ? q.y : mode == 1 ? q.Rq : q.fq;
        const std::string name = names[mode];
        Labels t{write(name, [mode](int c) { ShowDiagram(26 + mode, c); }), {}, {}, {}, {}, {}};
        for (std::size_t k = 1; k < 5; ++k)
          if (marked[k] && v[k] > 0) t.present.push_back(name + tags[k] + "= ");
        labels.push_back(t);
      }
    }
  }
  bool missing = false;
  const std::string found = Overlaps(all, missing, {}, false, true);
  if (missing) GTEST_SKIP() << found;
  EXPECT_EQ("", found);
  EXPECT_EQ("", LabelFindings(labels, dir(), missing));
}

// The Goodman, Haigh and Quick 3 sheets of the REF spring (a material with
// fatigue lines) from almost no stroke at low stress to past block length,
// with and without a transverse force: the operating point's labels stand
// by their points or are led to them from their own marks, the labels of
// the life lines stand on their lines (or are led to them), clear of the
// operating line; no text over another, none crossed by a line, nothing
// off the sheet.
TEST_F(SheetTextTest, FatigueLabelsStayByTheirPointsAndLinesAtEveryStress) {
  const std::array<Real, 2> lengths[] = {{59.5L, 59}, {59, 57}, {58, 55}, {55, 45}, {50, 30}, {40, 20}, {35, 18}};
  std::vector<std::string> all;
  std::vector<Labels> labels;
  int k = 0;
  for (const Real FQ : {0.0L, 5.0L}) {
    for (const auto& [L1, L2] : lengths) {
      SCOPED_TRACE(std::to_string(k));
      ResetSpringRecords();
      ResetDiagramGlobals();
      MakeRefSpring();
      SpringData().L1 = L1, SpringData().L2 = L2;
      TransverseLoad().FQ = FQ;
      RunRecalculation();
      ASSERT_EQ(0, G().FatalErrorFlag);
      // The life lines of the material: 10 million cycles from (0, tauo0)
      // to the knee and on at tauoz; 1 million and 100 000 from 1.25 and
      // 1.5 tauo0 (at most tauoz) with the same slope.
      Real oz = 0, o0 = 0, m = 0, knee = 0;
      std::string text;
      MaterialAllowedStress(1, SpringData().LoadCase, oz, o0, m, knee, text);
      ASSERT_GT(m, 0);
      const double z = static_cast<double>(oz), a0 = static_cast<double>(o0), uK = static_cast<double>(knee);
      const double t6 = std::min(z, 1.25 * a0), t5 = std::min(z, 1.5 * a0);
      const double u6 = (z - t6) / static_cast<double>(m), u5 = (z - t5) / static_cast<double>(m);
      const std::string name = "op" + std::to_string(k++);
      auto lifeLines = [&](Labels& l, bool haigh) {
        auto y = [haigh](double x, double v) { return haigh ? v - x : v; };
        l.lines.push_back({"10 Mio.Lastsp.", {{0, a0}, {uK, y(uK, z)}, {z, y(z, z)}}});
        l.lines.push_back({haigh ? "1 Mio.Lastsp." : "1Mio.", {{0, t6}, {u6, y(u6, z)}, {uK, y(uK, z)}}});
        l.lines.push_back({haigh ? "100000 Lastsp." : "100000", {{0, t5}, {u5, y(u5, z)}, {u6, y(u6, z)}}});
      };
      for (const bool haigh : {false, true}) {
        G().AbortFlag = 0;
        const std::string path = Write(name + (haigh ? "_haigh" : "_goodman"), 1, [haigh](int c) {
          if (haigh)
            HaighOutput(c);
          else
            GoodmanOutput(c);
        });
        ASSERT_FALSE(path.empty());
        all.push_back(path);
        Labels l = FatigueLabels(path, kFatiguePlot, haigh);
        lifeLines(l, haigh);
        labels.push_back(l);
      }
      G().AbortFlag = 0;
      const std::string quick3 = Write(name + "_quick3", 1, [](int c) { DrawQuickSheet(c); });
      ASSERT_FALSE(quick3.empty());
      all.push_back(quick3);
      Labels q = FatigueLabels(quick3, kQuick3Goodman, false);
      lifeLines(q, false);
      labels.push_back(q);
    }
  }
  bool missing = false;
  const std::string found = Overlaps(all, missing, {}, false, true);
  if (missing) GTEST_SKIP() << found;
  EXPECT_EQ("", found);
  EXPECT_EQ("", LabelFindings(labels, dir(), missing));
}

// The REF spring made extreme, calculated: near resonance (fz 0.99 f0),
// its minimum length above the free length, slender (L0/D 250, 300
// coils), 20 load levels of widely different stroke counts, very low and
// very high stress, wire of 0.1 and of 60 mm.
struct Extreme {
  std::string name;
  std::function<void(SpringDataRecord&)> change;
};

std::vector<Extreme> ExtremeSprings() {
  auto lengths = [](Real d, Real Dm, Real n, Real L0, Real L1, Real L2) {
    return [=](SpringDataRecord& s) {
      s.d = s.h = d, s.Dm = Dm, s.De = Dm + d, s.Di = Dm - d;
      s.n = n, s.L0 = L0, s.L1 = L1, s.L2 = L2;
    };
  };
  // Beyond the table material's wires: a material of its own.
  auto own = [](std::function<void(SpringDataRecord&)> change) {
    return [change](SpringDataRecord& s) {
      change(s);
      s.MaterialSel = 11, s.Rm = 1460, s.tauzul = 817.6L;
    };
  };
  return {{"resonance", [](SpringDataRecord& s) { s.ExternalMass = 0; }},
          {"lnabovel0", lengths(2, 20, 8.5L, 23, 22.8L, 22)},
          {"slender", lengths(1, 4, 300, 1000, 900, 700)},
          {"spectrum20", [](SpringDataRecord&) {}},
          {"lowstress", lengths(2, 20, 8.5L, 60, 59.98L, 59.5L)},
          {"highstress", lengths(2, 20, 8.5L, 60, 30, 22.5L)},
          {"wire0.1", own(lengths(0.1L, 1, 10, 4, 3.8L, 3.5L))},
          {"wire60", own(lengths(60, 300, 6, 900, 800, 650))}};
}

// Every sheet of those springs: nothing off the sheet, no text over
// another or crossed by a line, every text at least 1 mm high and of
// width factor 0.5, no leader along another line; the frequency response
// holds its operating point, the load spectrum all of its 20 levels.
TEST_F(SheetTextTest, ExtremeSpringsKeepEveryValueOnTheSheetAtPrintSize) {
  std::vector<std::string> paths;
  const QuietUi quiet(ui());
  ASSERT_TRUE(quiet.Open());
  for (const Extreme& x : ExtremeSprings()) {
    SCOPED_TRACE(x.name);
    ResetSpringRecords();
    ResetDiagramGlobals();
    MakeRefSpring();
    x.change(SpringData());
    // A transverse force the spring bears (the fine wire's tenth of its
    // load); none at very low stress, where the operating point comes
    // close to the origin.
    TransverseLoad().FQ = x.name == "wire0.1" ? 0.005L : x.name == "lowstress" ? 0 : 5;
    if (x.name == "spectrum20") {
      LoadSpectrumRecord& ls = LoadSpectrum();
      ls.Count = kMaxLoadLevels;
      for (int i = 1; i <= kMaxLoadLevels; ++i) {
        LoadLevel& v = ls.Levels[static_cast<std::size_t>(i)];
        v.L1 = 50, v.L2 = 50 - i, v.ni = std::pow(Real(10), i % 5);
      }
    }
    RunRecalculation();
    if (x.name == "resonance") {
      SpringData().f = 0.99L * SpringData().fe;
      RunRecalculation();
    }
    ASSERT_EQ(0, G().FatalErrorFlag);
    const std::size_t before = paths.size();
    WriteSheets(x.name, paths);
    for (int view = 1; view <= 4; ++view) {
      G().AbortFlag = 0;
      const std::string p = Write(x.name + "_view" + std::to_string(view), 1,
                                  [view](int c) { DrawSpringView(view, c, false); });
      if (!p.empty()) paths.push_back(p);
    }
    for (const bool en : {false, true}) {
      G().AbortFlag = 0;
      const std::string p = Write(x.name + (en ? "_en" : "_production"), 1, [en](int c) {
        if (en)
          DrawProductionDrawingEN(c);
        else
          DrawProductionDrawing(c);
      });
      if (!p.empty()) paths.push_back(p);
    }
    EXPECT_GE(paths.size() - before, 20u);
    if (x.name == "resonance") {
      // y(fz) about 50: the operating point's circle lies in the plot.
      const std::string p = dir() + "/resonance_diagram10.dxf";
      bool inside = false;
      for (const DxfEntity& e : ReadDxfEntities(p))
        if (e.type == "CIRCLE" && e.layer == "24") inside = e.Get(20) > 10 && e.Get(20) < 100 && e.Get(10) > 18;
      EXPECT_TRUE(inside);
    }
  }
  bool missing = false;
  const std::string found = Overlaps(paths, missing, {}, false, true);
  if (missing) GTEST_SKIP() << found;
  EXPECT_EQ("", found);
  // The views are drawn at the spring's own size and printed filling the
  // page: read at print size on A4 either way round, as the sheets on theirs.
  std::vector<std::string> views;
  std::erase_if(paths, [&](const std::string& p) {
    const bool view = p.find("_view") != std::string::npos;
    if (view) views.push_back(p);
    return view;
  });
  EXPECT_EQ("", Overlaps(paths, missing, {}, true, false, true));
  EXPECT_EQ(ExtremeSprings().size() * 4, views.size());
  for (const char* page : {" --fit 297,210", " --fit 210,297"})
    EXPECT_EQ("", Overlaps(views, missing, {}, true, false, true, page)) << page;
}


// The buckling diagram's regions either side of the limit curve, from
// its formula for the spring's G/E: safe below and left of it, buckling
// above and right of it.
void BucklingRegions(Labels& l) {
  const SpringDataRecord& s = SpringData();
  const double g = static_cast<double>(s.G / s.E), pi = std::numbers::pi;
  const double A = 0.5 / (1 - g), B = pi * pi * (1 - g) / (0.5 + g), x0 = std::sqrt(B);
  std::vector<std::array<double, 2>> curve{{x0, A}};
  for (double x = x0 * 1.001; x < 1e4; x *= 1.01) curve.push_back({x, A * (1 - std::sqrt(1 - B / (x * x)))});
  std::vector<std::array<double, 2>> safe{{-1e4, -100}, {-1e4, 100}, {x0, 100}}, danger{{x0, 100}};
  safe.insert(safe.end(), curve.begin(), curve.end());
  safe.push_back({1e4, -100});
  danger.insert(danger.end(), curve.begin(), curve.end());
  danger.push_back({1e4, 100});
  l.regions = {{"Knicksicherheit", safe}, {"Knickgefahr", danger}};
}

// Region labels stand in their regions and values are not crossed by
// lines, whatever the range: the buckling sheets of a seeded spread of
// springs from stout to L0/D 625 (n 300, L0 1,500 among them) keep
// "Knicksicherheit" and "Knickgefahr" on their sides of the limit curve;
// no line runs through a text nor breaks past its ink on their buckling,
// production and characteristic sheets, the inner diameter given (its
// value "   Di = ..." at the left of the production drawing).
TEST_F(SheetTextTest, RegionLabelsStayInTheirRegionsAndLinesClearOfValuesOverTheWholeRange) {
  const QuietUi quiet(ui());
  ASSERT_TRUE(quiet.Open());
  std::mt19937 rng(67);
  auto uniform = [&rng](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  struct Case {
    Real d, Dm, n, L0, L1, L2;
  };
  std::vector<Case> cases{{0.5L, 2.4L, 300, 1500, 1350, 1200}, {4, 24, 6, 40, 38, 30}};
  while (cases.size() < 24) {
    const Real d = uniform(0.5, 8), Dm = d * uniform(3.5, 16), n = std::exp(uniform(std::log(2.5), std::log(300)));
    const Real Lc = (n + 2) * d, L0 = Lc + n * d * uniform(0.3, 4);
    cases.push_back({d, Dm, n, L0, L0 - uniform(0.02, 0.2) * (L0 - Lc), L0 - uniform(0.3, 0.9) * (L0 - Lc)});
  }
  std::vector<std::string> paths;
  std::vector<Labels> labels;
  int k = 0;
  for (const Case& c : cases) {
    const std::string name = "range" + std::to_string(k++);
    SCOPED_TRACE(name);
    ResetSpringRecords();
    ResetDiagramGlobals();
    MakeRefSpring();
    SpringDataRecord& s = SpringData();
    s.d = s.h = c.d, s.Dm = c.Dm, s.De = c.Dm + c.d, s.Di = c.Dm - c.d;
    s.n = c.n, s.L0 = c.L0, s.L1 = c.L1, s.L2 = c.L2;
    s.DiameterGiven = 2;
    RunRecalculation();
    if (G().FatalErrorFlag != 0) continue;
    G().AbortFlag = 0;
    const std::string buckling = Write(name + "_buckling", 1, [](int cad) { ShowDiagram(3, cad); });
    ASSERT_FALSE(buckling.empty());
    paths.push_back(buckling);
    Labels l{buckling, {12, 10, 95, 95}, {}, {}, {}, {}};
    BucklingRegions(l);
    labels.push_back(l);
    if (k > 6) continue;
    for (const auto& [sheet, draw] : std::vector<std::pair<std::string, std::function<void(int)>>>{
             {"production", [](int cad) { DrawProductionDrawing(cad); }}, {"fs", [](int cad) { ShowDiagram(9, cad); }}}) {
      G().AbortFlag = 0;
      const std::string p = Write(name + "_" + sheet, 1, draw);
      if (!p.empty()) paths.push_back(p);
    }
  }
  ASSERT_GE(labels.size(), 20u);
  bool missing = false;
  const std::string regions = LabelFindings(labels, dir(), missing);
  if (missing) GTEST_SKIP() << regions;
  EXPECT_EQ("", regions);
  EXPECT_EQ("", Overlaps(paths, missing, {}, true, false, false, " --gaps"));
}

}  // namespace
}  // namespace zeb::test
