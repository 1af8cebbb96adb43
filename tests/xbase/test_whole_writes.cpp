// Every writing command of the file dataset on a dBase III and a dBase IV
// table with memos, cut at byte limits around every write (a file size
// limit in a child process) and on a full file system (the writes may grow
// the files by so many bytes in all). After each cut an independent reader
// (dbfread under /usr/bin/python3) reads every table: it is whole and reads
// as before or as meant (appends: the first records meant), no record
// twice; and what the user was told matches: nothing changed only when
// nothing did, the count appended as the table holds it.
#include <filesystem>
#include <functional>
#include <string>

#include "dataset_support.h"
#include "failure_tables.h"
#include "whole_cuts.h"
#include "platform/codepage.h"
#include "xbase/dataset/filedataset.h"

namespace zeb::xbase::test {
namespace {

namespace fs = std::filesystem;
namespace fr = zeb::test::failure_roads;
using namespace failure_judges;
using namespace whole_cuts;

struct Command {
  const char* name;
  std::function<void(TTzDbf&, const fs::path&)> action;
  std::function<void(TTzDbf&)> position = nullptr;
  bool sorted = false;  // a view sorted by NAME through an index in the temporary folder
  bool appendsMany = false;
};

void Memo(TTzDbf& ds, const std::string& text) {
  TTzBlobStream(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write).Write(text.data(), static_cast<std::int32_t>(text.size()));
}

// Each command on the open table, the record found and the fields typed
// first (before the cut): the cut falls on the command's writes.
const Command kCommands[] = {
    {"Edit", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.Go(3), ds.Edit(), ds.FieldByName("NAME").SetAsString("Geaendert"); }},
    {"Delete", [](TTzDbf& ds, const fs::path&) { ds.Delete(); }, [](TTzDbf& ds) { ds.Go(2); }},
    {"Recall", [](TTzDbf& ds, const fs::path&) { ds.SetDeletedFlag(false); }, [](TTzDbf& ds) { ds.Go(4); }},
    {"NewRow", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.Append(), ds.FieldByName("NAME").SetAsString("Neu"); }},
    {"NewRowMemo", [](TTzDbf& ds, const fs::path&) { Memo(ds, FailureMemoText("Neu")), ds.Post(); },
     [](TTzDbf& ds) { ds.Append(), ds.FieldByName("NAME").SetAsString("Neu"); }},
    {"MemoEdit", [](TTzDbf& ds, const fs::path&) { Memo(ds, std::string(900, 'z')), ds.Post(); },
     [](TTzDbf& ds) { ds.Go(2), ds.Edit(); }},
    {"IndexOn", [](TTzDbf& ds, const fs::path& root) { ds.IndexOn("NUM", (root / "n.ndx").string()); }},
    {"Create",
     [](TTzDbf&, const fs::path& root) {
       TTzDbf made("C");
       made.dbfFields = {"NAME, C, 10, 0", "NOTE, M, 10, 0"};
       made.SetDbfFileName((root / "c.dbf").string());
       made.Open();
       made.Close();
     }},
    {"AppendDelimited", [](TTzDbf& ds, const fs::path& root) { ds.AppendFromDelimited((root / "d.txt").string()); },
     nullptr, false, true},
    {"AppendFrom", [](TTzDbf& ds, const fs::path& root) { ds.AppendFrom((root / "s.dbf").string()); }, nullptr, false,
     true},
    {"Pack", [](TTzDbf& ds, const fs::path&) { ds.Pack(); }},
    {"CopyToDelimited", [](TTzDbf& ds, const fs::path& root) { ds.CopyToDelimited((root / "out.txt").string()); }},
    {"SortedEdit", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.First(), ds.Edit(), ds.FieldByName("NAME").SetAsString("Z1"); }, true},
    {"SortedNewRow", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.Append(), ds.FieldByName("NAME").SetAsString("Neu"); }, true},
};

struct Layout {
  const char* name;
  std::uint8_t version;
};
const Layout kLayouts[] = {{"dBase3", 0x83}, {"dBase4", 0x8B}};

struct Case {
  Command command;
  Layout layout;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.command.name << "_" << c.layout.name; }

std::string Shown(const std::string& what) { return ToUtf8(CodePage::Cp1252, UserFailureText(what)); }

class WholeWrites : public DatasetTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    CheckFolder() = dir.path();
    fs::create_directories(dir / "template");
  }
  void Engine(std::uint8_t version) {
    ResetTzEngine();
    SetTzCallback(callback);
    InitTableEngineUnits();
    zeb::xbase::Engine().newTableVersion = version;
  }

  // One run in a child process on a fresh copy of the tables: the texts told.
  std::string Run(const fs::path& root, const Case& c, Cut cut, long limit) {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::copy(dir / "template", root, fs::copy_options::recursive);
    fs::create_directories(root / "tmp");
    return InChild([&] {
      ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
      Engine(c.layout.version);
      std::string told;
      const auto step = [&](const std::function<void()>& f) {
        try {
          f();
        } catch (const std::exception& e) {
          told += Shown(e.what()) + " | ";
        }
      };
      TTzDbf ds("T");
      step([&] {
        ds.SetDbfFileName((root / "t.dbf").string());
        ds.Open();
        ds.SetIndexToLFN((root / "t.ndx").string(), 1);
        if (c.command.sorted) ds.IndexOn("NAME", (root / "tmp" / "sort.ndx").string());
        if (c.command.position) c.command.position(ds);
      });
      CutFrom(root, cut, limit);
      if (ds.Active()) step([&] { c.command.action(ds, root); });
      step([&] {
        if (ds.Active()) ds.Close();
      });
      for (const auto& e : callback->events)
        if (e.kind == "box") told += ToUtf8(CodePage::Cp1252, e.text) + " | ";
      return told;
    });
  }
};

TEST_P(WholeWrites, EveryCutLeavesTheTablesWholeAndToldAsTheyAre) {
  if (!HaveDbfreadPeer()) GTEST_SKIP() << "/usr/bin/python3 with dbfread is missing";
  const Case& c = GetParam();
  Engine(c.layout.version);
  MakeFailureTables(dir / "template");
  ResetTzEngine();

  ExpectEveryCutWhole(
      dir.path(), [&](const fs::path& root, Cut cut, long limit) { return Run(root, c, cut, limit); },
      c.command.appendsMany);
}

std::vector<Case> Cases() {
  std::vector<Case> out;
  for (const Command& c : kCommands)
    for (const Layout& l : kLayouts) out.push_back({c, l});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Commands, WholeWrites, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& i) {
                           return std::string(i.param.command.name) + "_" + i.param.layout.name;
                         });

}  // namespace
}  // namespace zeb::xbase::test

namespace zeb::xbase::test {
namespace {

// Pack of a table whose file or memo file has a second name (a hard link):
// refused, naming why, and every name keeps the table as it was.
class PackLinked : public DatasetTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PackLinked, RefusesAndEveryNameKeepsTheTable) {
  const std::string linked = GetParam();
  MakeFailureTables(dir.path(), false);
  const std::string second = dir / ("second." + linked.substr(2));
  fs::create_hard_link(dir / linked, second);
  const fr::FolderImage before = fr::ImageOf(dir.path());
  TTzDbf ds("T");
  ds.SetDbfFileName(dir / "t.dbf");
  ds.Open();
  std::string told;
  try {
    ds.Pack();
  } catch (const std::exception& e) {
    told = Shown(e.what());
  }
  ds.Close();
  EXPECT_NE(told.find("weitere Namen"), std::string::npos) << told;
  EXPECT_NE(told.find("unverändert"), std::string::npos) << told;
  EXPECT_EQ(fr::ImageOf(dir.path()), before);
  EXPECT_TRUE(fs::equivalent(dir / linked, second));
}

INSTANTIATE_TEST_SUITE_P(Files, PackLinked, ::testing::Values("t.dbf", "t.dbt"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                           return std::string(i.param).substr(2);
                         });

}  // namespace
}  // namespace zeb::xbase::test
