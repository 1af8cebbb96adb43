// Whatever was open before, a spring file gives the same printout and the
// same screens: every ordered pair of examples opened one after the other
// through File > Open, with the real tables, drawings and graphics window,
// against the second opened alone; once through the real window.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "drawings/drawings.h"
#include "graphics/facade.h"
#include "mainwin/commands.h"
#include "settings/config.h"
#include "mainwin/dispatch.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/qt_program.h"
#include "headless_run.h"
#include "program_fixture.h"
#include "qt_test_support.h"
#include "reports/device.h"
#include "reports/printout_full.h"
#include "spring/calc.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

#ifndef ZEB1_DBF_FOLDER
#error "ZEB1_DBF_FOLDER names the generated tables"
#endif

namespace zeb {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

// What a designer sees of one spring: the full printout and the display
// lists of the start screen and of the material diagrams.
struct Seen {
  std::string printout;
  std::map<std::string, std::vector<std::string>> screens;
};

class SpringSwitchTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    run_.Start("zeb1_switch_");
    root_ = run_.root;
    for (const auto& e : fs::directory_iterator(test::SourceDir() / "examples"))
      if (e.path().extension() == ".zeb") examples_.push_back(e.path());
    std::sort(examples_.begin(), examples_.end());
  }
  void TearDown() override {
    run_.Stop();
    BaseTest::TearDown();
  }

  // The program as started: fresh units, the real services.
  void Start() {
    run_.InstallServices();
    G().HelpLevel = 1;
    InitOutputDevice();
  }

  // File > Open of an example, then what it shows.
  Seen Open(const fs::path& file) {
    BaseGlobals& g = G();
    g.ModifiedFlag = 0;
    ui().ExpectOpenFile(file.string());
    FileOpen();
    EXPECT_EQ(g.AbortFlag, 0) << file;
    Seen seen;
    seen.screens["start"] = Facade().Window().DisplayList();
    const auto screen = [&](const std::string& name, auto draw) {
      Facade().Window().DisplayList().clear();
      g.AbortFlag = 0;
      draw();
      seen.screens[name] = Facade().Window().DisplayList();
    };
    screen("goodman", [] { Drawings().GoodmanOutput(kCadScreen); });
    screen("g-t", [] { Drawings().ShowDiagram(5, kCadScreen); });
    screen("tau-d", [] { Drawings().ShowDiagram(6, kCadScreen); });
    screen("rm-d", [] { Drawings().ShowDiagram(24, kCadScreen); });
    g.AbortFlag = 0;
    g.AskOutputTarget = 0;
    g.OutputTarget = kOutCommandLine;
    const std::string name = g.CurrentFileName;
    g.CurrentFileName = "printout";
    PrintReport();
    seen.printout = test::ReadBytes(root_ / "work" / "printout.txt");
    fs::remove(root_ / "work" / "printout.txt");
    g.CurrentFileName = name;
    return seen;
  }

  // The main window as a start with these arguments builds it, on copies
  // of the tables; File > Open of each file in turn; the display list of
  // the last one.
  std::vector<std::string> OpenInWindow(const std::vector<std::string>& files,
                                        const std::vector<std::string>& args = {"wzeb1"}) {
    ResetProgramState();
    InstallGraphicsFacade();
    InstallTableServices();
    InstallDrawings();
    std::optional<int> ended;
    std::unique_ptr<Thh> window = StartMainWindow(args, ended);
    EXPECT_FALSE(ended.has_value());
    if (window == nullptr) return {};
    run_.UseOwnFolders();
    for (const std::string& f : files) {
      G().ModifiedFlag = 0;
      ui().ExpectOpenFile((test::SourceDir() / "examples" / f).string());
      window->Trigger("mi_fileOpen");
      EXPECT_EQ(window->windowTitle().toStdString(), "ZEB1   Druckfederberechnung  -  " + f);
    }
    std::vector<std::string> list = Facade().Window().DisplayList();
    test::CloseMainWindow(window);
    return list;
  }

  test::HeadlessRun run_;
  fs::path root_;
  std::vector<fs::path> examples_;
  test::ScopedEnv env_;
};

TEST_F(SpringSwitchTest, EveryPairOfExamplesShowsTheSecondAsAlone) {
  ASSERT_GE(examples_.size(), 6u);
  std::map<fs::path, Seen> alone;
  for (const fs::path& b : examples_) {
    Start();
    alone[b] = Open(b);
    EXPECT_GT(alone[b].printout.size(), 1000u) << b;
    EXPECT_FALSE(alone[b].screens["start"].empty()) << b;
  }
  for (const fs::path& a : examples_) {
    for (const fs::path& b : examples_) {
      SCOPED_TRACE(a.filename().string() + " then " + b.filename().string());
      Start();
      Open(a);
      const Seen second = Open(b);
      EXPECT_EQ(second.printout, alone[b].printout);
      for (const auto& [name, list] : alone[b].screens) EXPECT_EQ(second.screens.at(name), list) << name;
    }
  }
}

// The case as found: a table material first, then a spring with its own
// material values. The start screen (the Quick sheet) lists the same
// messages as the spring opened alone, the approximated Goodman warning too.
TEST_F(SpringSwitchTest, TheWindowsOpenCommandShowsTheSecondAsAlone) {
  env_.Set("XDG_CONFIG_HOME", (root_ / "tmp").string());
  env_.Set("HOME", (root_ / "tmp").string());
  env_.Set("TMPDIR", (root_ / "tmp").string());
  const std::vector<std::string> alone = OpenInWindow({"round_dynamic.zeb"});
  const std::vector<std::string> after = OpenInWindow({"table_material.zeb", "round_dynamic.zeb"});
  ASSERT_FALSE(alone.empty());
  EXPECT_EQ(after, alone);
  const auto has = [&](const std::string& text) {
    return std::any_of(after.begin(), after.end(), [&](const std::string& r) { return r.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has("approx.Goodman"));
  EXPECT_FALSE(has("EN 10270-1 DH"));
}

// A start with a spring file shows in the window what File > Open of it
// shows, not the start picture.
TEST_F(SpringSwitchTest, AStartWithAFileShowsWhatFileOpenShows) {
  env_.Set("XDG_CONFIG_HOME", (root_ / "tmp").string());
  env_.Set("HOME", (root_ / "tmp").string());
  env_.Set("TMPDIR", (root_ / "tmp").string());
  const std::vector<std::string> opened = OpenInWindow({"round_dynamic.zeb"});
  const std::vector<std::string> started =
      OpenInWindow({}, {"wzeb1", (test::SourceDir() / "examples" / "round_dynamic.zeb").string()});
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(started, opened);
  EXPECT_EQ(std::find(started.begin(), started.end(), "6;22;94;ZEB1"), started.end());
}

// A calculation that stops saves nothing of the one before it: every
// example (also with no set length given, line 45 "0") edited so that its
// calculation stops, early (G, F2) or after the set length is placed (the
// density), saves what the same edit saves on a fresh start, where the
// file's inputs were never calculated.
TEST_F(SpringSwitchTest, AStoppedCalculationSavesWhatAFreshStartSaves) {
  const struct {
    const char* name;
    void (*edit)();
  } stops[] = {
      {"T 10000", [] { SpringData().T = 10000.0L; }},
      {"F2 = F1", [] { SpringData().F2 = SpringData().F1; }},
      {"rho 0", [] { SpringData().rho = 0.0L; }},
  };
  int replaced = 0;
  for (const fs::path& example : examples_) {
    std::string bytes = test::ReadBytes(example);
    for (const bool noSetLength : {false, true}) {
      if (noSetLength) {
        std::size_t at = 0;
        for (int line = 1; line < 45; ++line) at = bytes.find("\r\n", at) + 2;
        bytes.replace(at, bytes.find("\r\n", at) - at, "0");
      }
      const fs::path file = root_ / "work" / example.filename();
      test::WriteBytes(file, bytes);
      for (const auto& stop : stops) {
        SCOPED_TRACE(example.filename().string() + (noSetLength ? " Ls 0, " : ", ") + stop.name);
        Start();
        ReadSpringFilePath(file.string());
        ASSERT_EQ(G().FatalErrorFlag, 0);
        replaced += ProductionData().Ls != 0.0L && noSetLength;
        stop.edit();
        RunCalculation();
        ASSERT_EQ(G().FatalErrorFlag, 1);
        const std::string afterSound = FormatSpringFile(CurrentSpringFileRecords());

        Start();
        SpringFileRecords records;
        std::string error;
        ASSERT_TRUE(ParseSpringFile(bytes, records, error)) << error;
        InstallSpringFileRecords(records);
        ASSERT_TRUE(InstallSpringMaterial());
        stop.edit();
        RunCalculation();
        ASSERT_EQ(G().FatalErrorFlag, 1);
        const std::string fresh = FormatSpringFile(CurrentSpringFileRecords());
        for (std::size_t at = 0, line = 1; at < fresh.size(); ++line) {  // the first line that differs
          const std::size_t end = fresh.find('\n', at) + 1;
          if (afterSound.compare(at, end - at, fresh, at, end - at) != 0) {
            ADD_FAILURE() << "line " << line << ": " << afterSound.substr(at, end - at) << " / "
                          << fresh.substr(at, end - at);
            break;
          }
          at = end;
        }
        EXPECT_EQ(afterSound.size(), fresh.size());
      }
    }
  }
  EXPECT_EQ(replaced, static_cast<int>(examples_.size() * std::size(stops)));  // the sound run put Lc there
}

}  // namespace
}  // namespace zeb
