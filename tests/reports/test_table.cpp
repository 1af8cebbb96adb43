#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "reports/table.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The CR LF lines of a file; a Windows-1252 file is read back as CP850.
Lines ReadLines(const std::string& path, bool ansi = false) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (ansi) bytes = Cp1252To850(bytes);
  Lines lines;
  std::size_t start = 0;
  for (std::size_t p = bytes.find("\r\n"); p != std::string::npos; p = bytes.find("\r\n", start)) {
    lines.push_back(bytes.substr(start, p - start));
    start = p + 2;
  }
  return lines;
}

class TableTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    InitOutputDevice();
    dir_ = *MakeUniqueFile(TempDirectory(), "tabletest");
    fs::remove(dir_);
    fs::create_directory(dir_);
    G().TempFolder = dir_;
    G().HtmlBrowserPath = "true";
  }
  void TearDown() override {
    InitOutputDevice();
    fs::remove_all(dir_);
    BaseTest::TearDown();
  }

  // The short printout's five-column table with two rows in target.
  Lines Write(int target, bool noFrame) {
    OpenOutputDevice(target, "");
    EXPECT_TRUE(OutputDeviceIsOpen());
    ReportTable t;
    t.ReportTableInit(16, 14, 20, 15, 5, 0, 0, "Punkt", "Kraft", "Länge"_oem, "Weg", "Nr", "x", "y");
    if (noFrame) t.ReportTableSetNoFrame(0);
    t.ReportTableRow("F1 lang und länger als sechzehn"_oem, "12.5", "40.0", "<3>", "1", "ignored");
    t.ReportTableRow("F2", "28.0", "35.5", "8.0", "2");
    t.ReportTableDone();
    EXPECT_EQ(t.ColumnCount(), 5);
    const std::string file = OutputFileName();
    CloseOutputDevice();
    // A command-line run's output is its Windows-text copy.
    if (target == kOutCommandLine) return ReadLines(DeliveredFileName(), true);
    return ReadLines(target == kOutDosFile ? dir_ + "/OUTDOS.TXT" : file);
  }

  std::string dir_;
};

TEST_F(TableTest, TextColumnsAreCutOrFilledToTheirWidths) {
  const Lines l = Write(kOutDosFile, false);
  const std::string dbl = "       " + std::string(70, '=');
  const std::string single = "       " + std::string(70, '-');
  ASSERT_EQ(l.size(), 7u);
  EXPECT_EQ(l[0], dbl);
  EXPECT_EQ(l[1], "       Punkt           Kraft         Länge               Weg            Nr    "_oem.str());
  EXPECT_EQ(l[2], dbl);
  // 7 blanks, 70 characters of cells, one blank.
  EXPECT_EQ(l[3], "       F1 lang und läng12.5          40.0                <3>            1     "_oem.str());
  EXPECT_EQ(l[3].size(), 78u);
  EXPECT_EQ(l[4], single);  // a rule after every row ...
  EXPECT_EQ(l[6], single);  // ... and none more at the end
}

TEST_F(TableTest, WithoutRowRulesOneRuleClosesTheTable) {
  const Lines l = Write(kOutDosFile, true);
  ASSERT_EQ(l.size(), 6u);
  EXPECT_EQ(l[3].substr(7, 5), "F1 la");
  EXPECT_EQ(l[4].substr(7, 5), "F2   ");
  EXPECT_EQ(l[5], "       " + std::string(70, '-'));
}

TEST_F(TableTest, StylesWithoutRulesKeepOnlyTitleAndRows) {
  G().ReportLineStyle = 5;
  for (bool noFrame : {false, true}) {
    const Lines l = Write(kOutDosFile, noFrame);
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0].substr(7, 5), "Punkt");
    EXPECT_EQ(l[2].substr(7, 2), "F2");
  }
}

TEST_F(TableTest, TxtIsTabSeparatedInBothTxtTargets) {
  const fs::path cwd = fs::current_path();
  fs::current_path(dir_);  // target 9 copies beside the working directory
  G().CurrentFileName = "feder";
  const Lines six = Write(kOutTxt, false);
  const Lines nine = Write(kOutCommandLine, false);
  fs::current_path(cwd);
  const Lines want = {"Punkt\tKraft\tLänge\tWeg\tNr"_oem, "F1 lang und länger als sechzehn\t12.5\t40.0\t<3>\t1"_oem,
                      "F2\t28.0\t35.5\t8.0\t2"};
  EXPECT_EQ(six, want);
  EXPECT_EQ(nine, want);
}

TEST_F(TableTest, HtmlCentresTitlesAndRightAlignsValues) {
  const Lines l = Write(kOutHtml, false);
  // The document head is added around a table written without one.
  auto at = std::find(l.begin(), l.end(), "<TABLE BORDER = \"1\" WIDTH= \"100%\">");
  ASSERT_NE(at, l.end());
  EXPECT_EQ(at[1],
            "<TR><TD><CENTER>Punkt</CENTER></TD><TD><CENTER>Kraft</CENTER></TD><TD><CENTER>L\xe4nge</CENTER></TD>"
            "<TD><CENTER>Weg</CENTER></TD><TD><CENTER>Nr</CENTER></TD></TR>");
  EXPECT_EQ(at[2],
            "<TR><TD>F1 lang und l\xe4nger als sechzehn</TD><TD><DIV ALIGN=RIGHT>12.5</DIV></TD><TD><DIV "
            "ALIGN=RIGHT>40.0</DIV></TD><TD><DIV ALIGN=RIGHT>&lt;3&gt;</DIV></TD><TD><DIV ALIGN=RIGHT>1</DIV></TD></TR>");
  EXPECT_EQ(at[4], "</TABLE>");
  EXPECT_EQ(at[5], "</BODY>");
}

}  // namespace
}  // namespace zeb
