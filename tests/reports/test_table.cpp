// The report table: column widths and cell markup.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/globals.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "printout_fixture.h"
#include "reports/device.h"
#include "reports/table.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines ReadLines(const std::string& path) { return test::SplitLines(test::ReadBytes(path)); }

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

  // The short printout's five-column table with two rows, rules after each.
  Lines Write(int target) {
    OpenOutputDevice(target, "");
    EXPECT_TRUE(OutputDeviceIsOpen());
    ReportTable t;
    t.ReportTableInit(16, 14, 20, 15, 5, 0, 0, "Punkt", "Kraft", "Länge"_oem, "Weg", "Nr", "x", "y");
    t.ReportTableRow("F1 lang und länger als sechzehn"_oem, "12.5", "40.0", "<3>", "1", "ignored");
    t.ReportTableRow("F2", "28.0", "35.5", "8.0", "2");
    t.ReportTableDone();
    EXPECT_EQ(t.ColumnCount(), 5);
    const std::string file = OutputFileName();
    CloseOutputDevice();
    return ReadLines(target == kOutDosFile ? dir_ + "/OUTDOS.TXT" : file);
  }

  std::string dir_;
};

TEST_F(TableTest, TextColumnsAreCutOrFilledToTheirWidths) {
  const Lines l = Write(kOutDosFile);
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

// The printouts' tables (no row rules, in every target) are in the golden
// files; here a cell's markup characters.
TEST_F(TableTest, HtmlEscapesCells) {
  const Lines l = Write(kOutHtml);
  auto at = std::find(l.begin(), l.end(), "<TABLE BORDER = \"1\" WIDTH= \"100%\">");
  ASSERT_NE(at, l.end());
  EXPECT_NE(at[2].find("<TD><DIV ALIGN=RIGHT>&lt;3&gt;</DIV></TD>"), std::string::npos) << at[2];
}

}  // namespace
}  // namespace zeb
