// Every refused write of the table window named by its cause in words (a
// full disk, a read-only disk, an immutable file, no right) and never by
// the engine's number, each road under each cause; what the box says of
// the table is what its bytes hold.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/failure_roads.h"
#include "base/recording_ui.h"
#include "base/ui_port.h"
#include "platform/codepage.h"
#include "support_tables.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/failure_tables.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
namespace fr = test::failure_roads;
TableWindow& W() { return TheTableWindow(); }

// The words a box must hold for each cause (0: a file or folder marked
// immutable).
std::string CauseWords(int err) {
  switch (err) {
    case EROFS: return "der Datenträger ist schreibgeschützt";
    case 0:
    case EPERM: return "unveränderlich";
    case EACCES: return "keine Schreibberechtigung";
    case EFBIG: return "Die Datei überschreitet die zulässige Dateigröße";
    default: return "Der Datenträger ist voll";
  }
}

struct WindowRoad {
  std::string name;
  std::string calls;  // the kind of step that fails, on and on
  std::string in;     // below the road's folder: the files it fails on
  std::function<void(const fs::path&)> before, action;
  // The files or folders marked immutable for the road to fail on.
  std::function<std::vector<fs::path>(const fs::path&)> immutable;
};

// Marks files and folders immutable while it lives (as chattr +i does);
// Marked() is false where the system refuses (no root, a file system
// without the flag).
class Immutable {
 public:
  explicit Immutable(std::vector<fs::path> paths) : paths_(std::move(paths)) {
    for (const fs::path& p : paths_) marked_ = Set(p, true) && marked_;
  }
  ~Immutable() {
    for (const fs::path& p : paths_) Set(p, false);
  }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool Marked() const { return marked_ && !paths_.empty(); }

 private:
  static bool Set(const fs::path& p, bool on) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
  }
  std::vector<fs::path> paths_;
  bool marked_ = true;
};

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(e.path());
  return files;
}

const std::vector<WindowRoad>& Roads() {
  static const std::vector<WindowRoad> roads = {
      {"Pack", "open", "", {}, [](const fs::path&) { W().PackCommand(); },
       [](const fs::path& root) { return std::vector<fs::path>{root}; }},
      {"Sort", "open", "tmp", {}, [](const fs::path&) { W().SortByColumn(0); },
       [](const fs::path& root) { return std::vector<fs::path>{root / "tmp"}; }},
      {"SaveAsDelimited", "write", "", {},
       [](const fs::path& root) { W().SaveAsDelimitedCommand((root / "out.txt").string()); },
       [](const fs::path& root) { return std::vector<fs::path>{root}; }},
      {"NewRow", "write", "", {}, [](const fs::path&) { W().AppendLocked(); },
       [](const fs::path& root) { return std::vector<fs::path>{root / "t.dbf"}; }},
      {"AppendMemo", "write", "t.dbt", {},
       [](const fs::path& root) { W().AppendDbfCommand((root / "s.dbf").string()); },
       [](const fs::path& root) { return std::vector<fs::path>{root / "t.dbt"}; }},
      {"SortedEdit", "write", "tmp", [](const fs::path&) { W().SortByColumn(0); },
       [](const fs::path&) {
         W().GoRecord(2);
         W().PutStrByName("NAME", "ZZ");
         W().GoRecord(1);
       },
       [](const fs::path& root) { return FilesIn(root / "tmp"); }},
  };
  return roads;
}

class NamedCauses : public test::TableWindowTest,
                    public ::testing::WithParamInterface<std::tuple<std::string, int>> {};

TEST_P(NamedCauses, TheBoxNamesTheCauseAndWhatTheFilesHold) {
  const auto& [name, err] = GetParam();
  const WindowRoad* road = nullptr;
  for (const WindowRoad& r : Roads())
    if (r.name == name) road = &r;
  ASSERT_NE(road, nullptr);
  const fs::path root = temp() / "road";
  fs::create_directories(root / "tmp");
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  xbase::test::MakeFailureTables(root, false);
  const auto ui = test::OpenTableWindowOver(root);
  if (road->before) road->before(root);
  std::map<std::string, std::string> before;
  for (auto& [file, bytes] : fr::ImageOf(root))
    if (file.rfind("tmp/", 0) != 0) before[file] = bytes;
  // Each cause injected on the road's files, or (0) the files marked
  // immutable on the disk.
  bool failed = false;
  if (err == 0) {
    const Immutable marked(road->immutable(root));
    if (!marked.Marked()) {
      TableClose();
      SetUi(nullptr);
      GTEST_SKIP() << "the system marks no file immutable here";
    }
    road->action(root);
    TableClose();
    failed = !ui->texts.empty();
  } else {
    test::FileFaultPlan plan;
    plan.in = road->in.empty() ? root.string() : (root / road->in).string();
    plan.calls = road->calls;
    plan.at = 1;
    plan.err = err;
    plan.sticky = true;
    test::ArmFileFaults(plan);
    road->action(root);
    TableClose();
    failed = !test::DisarmFileFaults().empty();
  }
  SetUi(nullptr);
  ASSERT_TRUE(failed) << "no step of the road failed";
  std::map<std::string, std::string> after;
  for (auto& [file, bytes] : fr::ImageOf(root))
    if (file.rfind("tmp/", 0) != 0) after[file] = bytes;
  const std::string told = fr::Joined(ui->texts);
  EXPECT_TRUE(fr::Contains(told, CauseWords(err))) << told;
  for (const char* engine : {"DBF Error", "Fehler Nr.", "["}) EXPECT_FALSE(fr::Contains(told, engine)) << told;
  // What the box says of the table against its bytes.
  const bool unchanged = after.at("t.dbf") == before.at("t.dbf") && after.at("t.dbt") == before.at("t.dbt");
  for (const char* same : {"unverändert", "kein Datensatz angehängt", "nichts angehängt", "nicht gespeichert"})
    EXPECT_TRUE(!fr::Contains(told, same) || unchanged) << told;
  EXPECT_TRUE(!fr::Contains(told, "in der Tabelle gespeichert") || !unchanged) << told;
  EXPECT_TRUE(!fr::Contains(told, "Die Datei ist nicht angelegt") || after.count("out.txt") == 0) << told;
  EXPECT_TRUE(fr::Contains(told, "unverändert") || fr::Contains(told, "angehängt") ||
              fr::Contains(told, "gespeichert") || fr::Contains(told, "nicht angelegt"))
      << "the box does not say what became of the table: " << told;
}

INSTANTIATE_TEST_SUITE_P(Roads, NamedCauses,
                         ::testing::Combine(::testing::Values("Pack", "Sort", "SaveAsDelimited", "NewRow",
                                                              "AppendMemo", "SortedEdit"),
                                            ::testing::Values(EROFS, EPERM, EACCES, ENOSPC, EFBIG, 0)));

class CauseOfAWrite : public test::TableWindowTest {};

// A dataset's memo write refused (the grid's road): the message the user
// reads names the cause where the engine gave its number.
TEST_F(CauseOfAWrite, AMemoWriteRefusedIsToldByItsCause) {
  const fs::path root = temp() / "memo";
  fs::create_directories(root);
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  xbase::test::MakeFailureTables(root, false);
  for (const int err : {EROFS, EPERM, EACCES, ENOSPC}) {
    const std::string table = test::ReadFileBytes(root / "t.dbf"), memo = test::ReadFileBytes(root / "t.dbt");
    std::string read;
    {
      xbase::TTzDbf ds("M");
      ds.SetDbfFileName((root / "t.dbf").string());
      ds.Open();
      ds.Go(2);
      test::FileFaultPlan plan;
      plan.in = (root / "t.dbt").string();
      plan.calls = "write";
      plan.at = 1;
      plan.err = err;
      plan.sticky = true;
      test::ArmFileFaults(plan);
      try {
        ds.Edit();
        const std::string text(700, 'x');
        xbase::TTzBlobStream(ds.FieldByName("NOTE"), xbase::TTzBlobStream::Mode::Write)
            .Write(text.data(), static_cast<std::int32_t>(text.size()));
        ds.Post();
      } catch (const std::exception& e) {
        read = xbase::UserFailureText(e.what());
      }
      test::DisarmFileFaults();
      try {
        ds.Cancel();
        ds.Close();
      } catch (const std::exception&) {
      }
    }
    SCOPED_TRACE(err);
    ASSERT_FALSE(read.empty());
    EXPECT_TRUE(fr::ContainsAnyCase(read, FromUtf8(CodePage::Cp1252, CauseWords(err)))) << read;
    EXPECT_EQ(read.find("Fehler Nr."), std::string::npos) << read;
    EXPECT_EQ(test::ReadFileBytes(root / "t.dbf"), table);
  }
}

// A folder on a full disk: the table is edited as a copy, and the box says
// the disk is full, not that the user has no right.
TEST_F(CauseOfAWrite, AFullDbfFolderIsToldFull) {
  const fs::path root = temp() / "full";
  fs::create_directories(root / "tmp");
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  xbase::test::MakeFailureTables(root, false);
  const std::string table = test::ReadFileBytes(root / "t.dbf");
  const auto ui = std::make_shared<test::RecordingUi>();
  SetUi(ui);
  G().DbfFolder = root.string() + "/";
  G().TempFolder = (root / "tmp").string() + "/";
  InstallTableServices();
  G().AbortFlag = 0;
  test::FileFaultPlan plan;
  plan.in = root.string();
  plan.notIn = (root / "tmp").string();
  plan.calls = "write";
  plan.at = 1;
  plan.err = ENOSPC;
  plan.sticky = true;
  test::ArmFileFaults(plan);
  TableOpen("t");
  W().ShowTable(2);
  TableClose();
  test::DisarmFileFaults();
  SetUi(nullptr);
  const std::string told = fr::Joined(ui->texts);
  EXPECT_TRUE(fr::Contains(told, "Der dbf-Ordner kann nicht beschrieben werden: Der Datenträger ist voll")) << told;
  EXPECT_FALSE(fr::Contains(told, "Kein Schreibrecht")) << told;
  EXPECT_EQ(test::ReadFileBytes(root / "t.dbf"), table);
}

}  // namespace
}  // namespace zeb
