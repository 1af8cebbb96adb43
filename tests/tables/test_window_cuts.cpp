// The table window's writing roads cut at byte limits around every write
// (a file size limit in a child process) and on a full file system: the
// tables are whole as before or as meant by an independent reader, no
// record is there twice, and the boxes the user was given say what the
// files hold while the window stands. Then, with room again, the user's
// retry (leaving the typed row again, or the command again where the box
// says nothing was written) never leaves more records than meant.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/failure_roads.h"
#include "base/recording_ui.h"
#include "base/ui_port.h"
#include "support_tables.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/engine.h"
#include "xbase/dataset_support.h"
#include "xbase/failure_tables.h"
#include "xbase/whole_cuts.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
namespace wc = xbase::test::whole_cuts;
TableWindow& W() { return TheTableWindow(); }

struct WindowRoad {
  const char* name;
  // What the user does before the write (a sort, a row typed), then the
  // step that writes.
  std::function<void(const fs::path&)> before, action;
  bool appendsMany = false;
  const char* toldWhole = "";  // the box of the write uncut
  // A typed row or edit is left again whatever the box said (a command
  // is given again only where the box says nothing was written).
  bool rowStays = false;
};
void PrintTo(const WindowRoad& r, std::ostream* os) { *os << r.name; }

void TypeNewRow() {
  W().Dataset().Append();
  W().PutStrByName("NAME", "Neu");
}
void TypeEdit(const char* text) {
  W().GoRecord(2);
  W().PutStrByName("NAME", text);
}

const WindowRoad kRoads[] = {
    {"NewRow", [](const fs::path&) { TypeNewRow(); }, [](const fs::path&) { W().Settle(); }, false, "", true},
    {"Edit", [](const fs::path&) { TypeEdit("Geaendert"); }, [](const fs::path&) { W().GoRecord(1); }, false, "",
     true},
    {"Append", {}, [](const fs::path&) { W().AppendLocked(); }},
    {"SortedNewRow", [](const fs::path&) { W().SortByColumn(0), TypeNewRow(); }, [](const fs::path&) { W().Settle(); },
     false, "", true},
    {"SortedEdit", [](const fs::path&) { W().SortByColumn(0), TypeEdit("ZZ"); },
     [](const fs::path&) { W().GoRecord(1); }, false, "", true},
    {"SortedAppend", [](const fs::path&) { W().SortByColumn(0); }, [](const fs::path&) { W().AppendLocked(); }},
    {"AppendFrom", {}, [](const fs::path& root) { W().AppendDbfCommand((root / "s.dbf").string()); }, true,
     "6 Datensätze aus s.dbf an t.dbf angehängt. | "},
    {"SaveAsDelimited", {}, [](const fs::path& root) { W().SaveAsDelimitedCommand((root / "out.txt").string()); }},
};

class WindowCuts : public test::TableWindowTest, public ::testing::WithParamInterface<WindowRoad> {
 protected:
  // One run in a child process on a fresh copy of the tables: the boxes'
  // texts. root keeps the files as they stand under the box; root.retried
  // the files after the user's retry.
  std::string Run(const fs::path& dir, const fs::path& root, wc::Cut cut, long limit) {
    const WindowRoad& road = GetParam();
    const fs::path cutCopy = root.string() + ".cut", retried = root.string() + ".retried";
    std::error_code ec;
    for (const fs::path& p : {root, cutCopy, retried}) fs::remove_all(p, ec);
    fs::copy(dir / "template", root, fs::copy_options::recursive);
    fs::create_directories(root / "tmp");
    const std::string told = wc::InChild([&] {
      const auto ui = test::OpenTableWindowOver(root);
      if (road.before) road.before(root);
      wc::CutFrom(root, cut, limit);
      road.action(root);
      std::string boxes;
      for (const std::string& t : ui->texts) boxes += t + " | ";
      wc::LiftCut(cut);
      std::error_code copied;
      fs::copy(root, cutCopy, fs::copy_options::recursive, copied);
      if (copied) boxes += "(the files under the box not copied)";
      G().AbortFlag = 0;
      if (road.rowStays || wc::SaysNothingChanged(boxes)) road.action(root);
      TableClose();
      SetUi(nullptr);
      return boxes;
    });
    fs::rename(root, retried, ec);
    fs::rename(cutCopy, root, ec);
    if (limit >= 0)
      retriedCounts_.push_back({std::string(cut == wc::Cut::SizeLimit ? "size limit " : "room ") +
                                    std::to_string(limit) + " told \"" + told + "\"",
                                xbase::test::failure_judges::Count(test::failure_roads::ImageOf(retried))});
    return told;
  }
  wc::RetriedCounts retriedCounts_;
};

TEST_P(WindowCuts, EveryCutLeavesTheTablesWholeAndToldAsTheyAre) {
  if (!xbase::test::HaveDbfreadPeer()) GTEST_SKIP() << "/usr/bin/python3 with dbfread is missing";
  const fs::path dir = temp() / "cuts";
  fs::create_directories(dir / "template");
  xbase::test::failure_judges::CheckFolder() = dir;
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  xbase::test::MakeFailureTables(dir / "template", false);
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  wc::ExpectEveryCutWhole(
      dir, [&](const fs::path& root, wc::Cut cut, long limit) { return Run(dir, root, cut, limit); },
      GetParam().appendsMany, GetParam().toldWhole);
  // After the retry: no record twice.
  wc::ExpectNoRecordTwice(dir / "meant", retriedCounts_);
}

INSTANTIATE_TEST_SUITE_P(Roads, WindowCuts, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<WindowRoad>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace zeb
