// No text of a diagram sheet or of the Quick 3 sheet lies over another, for
// every example spring: each sheet is written as DXF and text_overlap.py
// (ezdxf) measures the boxes of its texts, block inserts expanded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "diagram_fixture.h"
#include "base/headless_ui.h"
#include "drawings/drawings.h"

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

class SheetTextTest : public DiagramTest {
 protected:
  static std::vector<std::string> Examples() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(__FILE__).parent_path() / "../../examples"))
      if (e.path().extension() == ".zeb") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
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
  static std::string Overlaps(const std::vector<std::string>& paths, bool& missing) {
    std::string out, cmd = "/usr/bin/python3 " + ShellQuote((fs::path(__FILE__).parent_path() / "text_overlap.py").string());
    for (const auto& p : paths) cmd += " " + ShellQuote(p);
    const int status = RunCommand(cmd + " 2>&1", out);
    missing = status != 0 && out.find("No module named") != std::string::npos;
    return status == 0 ? std::string() : out.empty() ? "exit " + std::to_string(status) : out;
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
    // Side by side (x 10..18 and 18.2..), stacked (y 0..2 and 2.2..), and a
    // wide text whose narrow width factor keeps it clear: 8 x 2 x 0.5 = 8.
    f << "0\nSECTION\n2\nENTITIES\n"
         "0\nTEXT\n8\n0\n10\n10\n20\n0\n30\n0\n40\n2\n1\nABCD\n"
         "0\nTEXT\n8\n0\n10\n18.2\n20\n0\n30\n0\n40\n2\n1\nEF\n"
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

TEST_F(SheetTextTest, EveryExampleSheetKeepsItsTextsApart) {
  std::vector<std::string> paths;
  // The messages of the examples' calculations are no part of this test.
  std::FILE* log = std::tmpfile();
  ASSERT_NE(nullptr, log);
  SetUi(std::make_shared<BatchUi>(log));
  for (const std::string& name : Examples()) {
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
  SetUi(std::shared_ptr<ScriptedUi>(&ui(), [](ScriptedUi*) {}));
  std::fclose(log);
  // The relaxation sheets (18, 19, 20) want data that no example has.
  ASSERT_GE(paths.size(), 6u * 19);
  bool missing = false;
  const std::string found = Overlaps(paths, missing);
  if (missing) GTEST_SKIP() << found;
  EXPECT_EQ("", found);
}

}  // namespace
}  // namespace zeb::test
