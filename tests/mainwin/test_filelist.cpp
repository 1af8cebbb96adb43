// The spring-file list on a data folder of examples, the reference spring
// as saved, a cut file, upper-case and directory names: rows, hand values,
// sorting by text, searching, the document kept until a pick.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/globals.h"
#include "base/text.h"
#include "mainwin/filelist.h"
#include "program_fixture.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class FileListTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    dir_ = test::FreshTestFolder("zeb1_filelist_", {"daten"}) / "daten";
    G().CurrentDataFolder = dir_.string() + "/";
  }
  void TearDown() override {
    fs::remove_all(dir_.parent_path());
    SpringTest::TearDown();
  }
  const std::vector<std::string>* Row(const FileListGrid& g, const std::string& name) {
    for (const auto& r : g.rows)
      if (r[0] == name) return &r;
    return nullptr;
  }
  fs::path dir_;
};

TEST_F(FileListTest, RowsOfTheFolderAndTheDocumentKept) {
  for (const char* e : {"round_dynamic.zeb", "round_static.zeb"})
    if (fs::exists(test::SourceDir() / "examples" / e)) fs::copy_file(test::SourceDir() / "examples" / e, dir_ / e);
  auto tables = test::InstallRefMaterialTable();
  test::MakeRefSpring();
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  WriteSpringFile((dir_ / "ref.zeb").string());
  ASSERT_EQ(G().AbortFlag, 0);
  const std::string ref = test::ReadBytes(dir_ / "ref.zeb");
  test::WriteBytes(dir_ / "cut.zeb", ref.substr(0, 40));
  test::WriteBytes(dir_ / "B.ZEB", ref);
  test::WriteBytes(dir_ / "10.zeb", ref);
  test::WriteBytes(dir_ / "9.zeb", ref);
  test::WriteBytes(dir_ / "notes.txt", "x");
  fs::create_directory(dir_ / "d.zeb");

  // The document before: a named, modified spring.
  test::MakeRefSpring();
  SpringData().L0 = 77;
  G().CurrentFileName = "offen";
  G().ModifiedFlag = 1;
  ui().ExpectMessageBox("", "cut.zeb");
  FileListGrid g = BuildFileList();
  EXPECT_EQ(SpringData().L0, 77.0L);
  EXPECT_EQ(G().CurrentFileName, "offen");
  EXPECT_EQ(G().ModifiedFlag, 1);
  EXPECT_EQ(ZEBWST_Record().Name1, "REF-Federstahl");

  std::vector<std::string> names;
  for (std::size_t i = 1; i < g.rows.size(); ++i) names.push_back(g.rows[i][0]);
  std::vector<std::string> want{"10.zeb", "9.zeb", "B.ZEB", "cut.zeb", "ref.zeb"};
  for (const char* e : {"round_dynamic.zeb", "round_static.zeb"})
    if (fs::exists(dir_ / e)) want.push_back(e);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(names, want);
  EXPECT_EQ(g.rows[0][0], std::string("File"));
  EXPECT_EQ(g.rows[0].size(), 35u);

  // REF: d 2, Dm 20, n 8.5, R = 81500*16/(8*8000*8.5) = 2.397 N/mm.
  const auto* r = Row(g, "ref.zeb");
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->size(), 35u);
  EXPECT_EQ(TrimBlanks((*r)[3]), "2.000");
  EXPECT_EQ(TrimBlanks((*r)[4]), "20.00");
  EXPECT_EQ(TrimBlanks((*r)[5]), "2.40");
  EXPECT_EQ(TrimBlanks((*r)[6]), "60.00");
  EXPECT_EQ(TrimBlanks((*r)[14]), "8.50");
  EXPECT_EQ((*r)[15], "REF-Federstahl");
  EXPECT_EQ(TrimBlanks((*r)[16]), "81500");
  EXPECT_EQ(TrimBlanks((*r)[24]), "10.00");  // s1 = L0 - L1
  EXPECT_EQ(TrimBlanks((*r)[25]), "30.00");  // s2 = L0 - L2
  EXPECT_EQ(TrimBlanks((*r)[11]), "23.97");  // F1 = R s1
  EXPECT_EQ((*r)[1].size(), 10u);
  EXPECT_EQ((*r)[32], " > 10 ");
  EXPECT_EQ((*r)[33], "infinite");
  // The cut file: name and date only.
  const auto* cut = Row(g, "cut.zeb");
  ASSERT_NE(cut, nullptr);
  EXPECT_FALSE((*cut)[1].empty());
  for (std::size_t c = 2; c < cut->size(); ++c) EXPECT_TRUE((*cut)[c].empty()) << c;

  // Sorting by text: "10" before "9", upper case first; nothing is loaded.
  g.currentRow = 3;
  const std::string current = g.rows[3][0];
  SortFileList(g, 0);
  EXPECT_EQ(g.rows[1][0], "10.zeb");
  EXPECT_EQ(g.rows[2][0], "9.zeb");
  EXPECT_EQ(g.rows[3][0], "B.ZEB");
  EXPECT_EQ(g.rows[g.currentRow][0], current);
  EXPECT_EQ(SpringData().L0, 77.0L);

  // Search: a hit becomes the current cell; a miss gives the box.
  g.searchText = "REF-Feder";
  EXPECT_TRUE(SearchFileList(g, 0));
  EXPECT_EQ(g.currentColumn, 15);
  const int first = g.currentRow;
  EXPECT_TRUE(SearchFileList(g, first));
  EXPECT_GT(g.currentRow, first);
  g.searchText = "Zebra";
  ui().ExpectMessageBox("", "Zebra not found.");
  EXPECT_FALSE(SearchFileList(g, 0));

  // A pick loads the file with the modified flag 0.
  int refRow = 0;
  for (std::size_t i = 1; i < g.rows.size(); ++i)
    if (g.rows[i][0] == "ref.zeb") refRow = static_cast<int>(i);
  EXPECT_TRUE(OpenListedFile(g, refRow));
  EXPECT_EQ(G().CurrentFileName, "ref");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_NEAR(static_cast<double>(SpringData().L0), 60.0, 1e-6);
}

TEST_F(FileListTest, AtMostAThousandFiles) {
  for (int i = 0; i < 1001; ++i) test::WriteBytes(dir_ / ("f" + std::to_string(1000 + i) + ".zeb"), "");
  EXPECT_EQ(ListSpringFileNames(dir_.string()).size(), 1000u);
  EXPECT_EQ(ListSpringFileNames(dir_.string()).back(), "f1999.zeb");
  EXPECT_TRUE(ListSpringFileNames((dir_ / "none").string()).empty());
}

}  // namespace
}  // namespace zeb
