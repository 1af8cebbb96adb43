// The table window's writes with each of their file steps failing in turn:
// Pack (of a table sorted by a column click, its index a scratch file), an
// edit, a new record, a deletion mark, appends from a table with memos and
// from a delimited text, the copy to a delimited text and the HTML export,
// and the copy of a table whose folder cannot be written. The boxes the
// user reads are judged against the bytes of every file after the failure.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/failure_roads.h"
#include "base/recording_ui.h"
#include "base/ui_port.h"
#include "support_tables.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/dbf/locking.h"
#include "xbase/failure_tables.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
namespace fr = test::failure_roads;
namespace fj = xbase::test::failure_judges;

class TableFailedSteps : public test::TableWindowTest {
 protected:
  fs::path Road() const { return temp() / "road"; }
};

TableWindow& W() { return TheTableWindow(); }

// A road of the table window over t.dbf of the road's folder (its tmp/
// the temporary folder): opened (sorted by NAME when asked), the action,
// closed; the boxes shown meanwhile.
fr::Road WindowRoad(const std::string& name, std::function<void(const fs::path&)> action, bool sorted = false,
                    bool opened = true, Answer answer = Answer::Yes) {
  fr::Road road;
  road.name = name;
  road.scratch = {"tmp/"};
  road.prepare = [](const fs::path& root) {
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    xbase::test::MakeFailureTables(root, false);
    fs::create_directories(root / "tmp");
  };
  road.run = [action, sorted, opened, answer](const fs::path& root, const test::FileFaultPlan& plan) {
    const auto ui = std::make_shared<test::RecordingUi>(answer);
    SetUi(ui);
    G().DbfFolder = root.string() + "/";
    G().TempFolder = (root / "tmp").string() + "/";
    G().HtmlBrowserPath = "/bin/true";
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    InstallTableServices();
    G().AbortFlag = 0;
    if (opened) TableOpenFile((root / "t.dbf").string());
    if (sorted) W().SortByColumn(0);
    test::ArmFileFaults(plan);
    action(root);
    TableClose();
    fr::Outcome out{ui->texts, test::DisarmFileFaults()};
    SetUi(nullptr);
    return out;
  };
  road.success = [](const std::string& t) { return t.find(" aus s.dbf an t.dbf angehängt.") != std::string::npos; };
  road.partial = fj::AppendedPart;
  // The sort index is a scratch file: a failure of it leaves the table packed.
  road.claims = {{"Die Tabelle ist gepackt", {"t.dbf", "t.dbt"}}, {"ihre Memodatei aber", {"t.dbt"}}};
  // A folder whose renames fail on: the memo file as it was cannot go back.
  road.lasting = {"rename"};
  return road;
}

std::vector<fr::Road> Roads() {
  std::vector<fr::Road> roads = {
      WindowRoad(
          "Pack", [](const fs::path&) { W().PackCommand(); }, true),
      WindowRoad("Edit",
                 [](const fs::path&) {
                   W().GoRecord(3);
                   W().PutStrByName("NAME", "X3");
                   W().GoRecord(1);
                 }),
      // Edit > Append: a blank record.
      WindowRoad("NewRecord", [](const fs::path&) { W().AppendLocked(); }),
      WindowRoad("DeleteMark",
                 [](const fs::path&) {
                   W().GoRecord(2);
                   W().ToggleDeleted();
                 }),
      WindowRoad("AppendDbf", [](const fs::path& root) { W().AppendDbfCommand((root / "s.dbf").string()); }),
      WindowRoad("AppendDelimited",
                 [](const fs::path& root) { W().AppendDelimitedCommand((root / "d.txt").string()); }),
      WindowRoad("SaveAsDelimited",
                 [](const fs::path& root) { W().SaveAsDelimitedCommand((root / "out.txt").string()); }),
      WindowRoad("ExportHtml", [](const fs::path& root) { W().ExportHtml((root / "t.htm").string()); }),
      // A folder the write test refuses: the table and its memo file are
      // edited as copies in the temporary folder.
      WindowRoad(
          "OpenCopy",
          [](const fs::path&) {
            SetFolderWriteTest([](const std::string&) { return false; });
            TableOpen("t");
            SetFolderWriteTest(nullptr);
          },
          false, false),
  };
  // The copies are the road's files.
  roads.back().scratch.clear();
  // The rest of an append cut off behind the counted records (a copy of
  // record 1 and two bytes), taken in (Ja) or removed (Nein) when the
  // table is opened for editing.
  for (const Answer answer : {Answer::Yes, Answer::No}) {
    fr::Road road = WindowRoad(
        answer == Answer::Yes ? "MendTakeIn" : "MendRemove", [](const fs::path&) { W().ShowTable(2); }, false, true,
        answer);
    const auto prepare = road.prepare;
    road.prepare = [prepare](const fs::path& root) {
      prepare(root);
      std::string t = test::ReadFileBytes(root / "t.dbf");
      const std::size_t header = static_cast<unsigned char>(t[8]) | static_cast<unsigned char>(t[9]) << 8;
      const std::size_t length = static_cast<unsigned char>(t[10]) | static_cast<unsigned char>(t[11]) << 8;
      t = t.substr(0, t.size() - 1) + t.substr(header, length) + "\x12\x34";
      std::ofstream(root / "t.dbf", std::ios::binary | std::ios::trunc) << t;
    };
    roads.push_back(road);
  }
  return roads;
}

class TableRoads : public TableFailedSteps, public ::testing::WithParamInterface<std::string> {};

TEST_P(TableRoads, TellWhatTheFilesHold) {
  for (const fr::Road& road : Roads())
    if (road.name == GetParam())
      for (const std::string& w : fr::EveryStepFailing(road, Road())) ADD_FAILURE() << w;
}

// The same in a folder whose path runs past 255 characters, blanks and
// all: the box tells what the files hold after the path, too.
TEST_P(TableRoads, TellWhatTheFilesHoldUnderALongPath) {
  const std::string part(100, 'p');
  const fs::path deep = Road() / ("a folder with blanks " + part) / ("and another " + part);
  for (const fr::Road& road : Roads())
    if (road.name == GetParam())
      for (const std::string& w : fr::EveryStepFailing(road, deep)) ADD_FAILURE() << w;
}

INSTANTIATE_TEST_SUITE_P(Roads, TableRoads,
                         ::testing::Values("Pack", "Edit", "NewRecord", "DeleteMark", "AppendDbf", "AppendDelimited",
                                           "SaveAsDelimited", "ExportHtml", "OpenCopy", "MendTakeIn", "MendRemove"));

// The share lock refused on the packed table once it took the table's
// place (another program opened it in that moment): the box says the table
// is packed, never that nothing was deleted, and the disk holds the packed
// table and memo file.
TEST_F(TableFailedSteps, APackedTableWhoseLockIsRefusedIsToldPacked) {
  fr::Road road = WindowRoad("Pack", [](const fs::path&) { W().PackCommand(); });
  const fs::path root = Road();
  fs::create_directories(root);
  road.prepare(root);
  const fr::FolderImage before = fr::ImageOf(root);
  road.run(root, {});
  const fr::FolderImage packed = fr::ImageOf(root);
  ASSERT_NE(packed.at("t.dbf"), before.at("t.dbf"));
  fs::remove_all(root);
  fs::create_directories(root);
  road.prepare(root);
  struct stat table {};
  ASSERT_EQ(::stat((root / "t.dbf").c_str(), &table), 0);
  const xbase::SysLockFn locks = xbase::Engine().sysLock;
  // Only another file than the table was (its packed copy) is refused.
  const auto refuse = [&](int fd, short type, std::int64_t offset, std::int64_t length) {
    struct stat st {};
    if (type != F_UNLCK && offset == xbase::kShareLockByte && ::fstat(fd, &st) == 0 && st.st_ino != table.st_ino)
      return EAGAIN;
    return locks(fd, type, offset, length);
  };
  const auto ui = std::make_shared<test::RecordingUi>();
  SetUi(ui);
  G().DbfFolder = root.string() + "/";
  G().TempFolder = (root / "tmp").string() + "/";
  TableOpenFile((root / "t.dbf").string());
  xbase::Engine().sysLock = refuse;
  W().PackCommand();
  xbase::Engine().sysLock = locks;
  TableClose();
  SetUi(nullptr);
  const fr::FolderImage after = fr::ImageOf(root);
  EXPECT_EQ(after.at("t.dbf"), packed.at("t.dbf"));
  EXPECT_EQ(after.at("t.dbt"), packed.at("t.dbt"));
  const std::string told = fr::Joined(ui->texts);
  EXPECT_NE(told.find("Die Tabelle ist gepackt"), std::string::npos) << told;
  EXPECT_EQ(told.find("nichts gelöscht"), std::string::npos) << told;
  EXPECT_EQ(told.find("unverändert"), std::string::npos) << told;
}

}  // namespace
}  // namespace zeb
