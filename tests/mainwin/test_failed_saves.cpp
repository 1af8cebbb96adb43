// The program's own write roads with each of their file steps failing in
// turn, each from where the user starts it: Datei > Speichern, Speichern
// unter, the save question of Beenden, the configuration saved and
// exported, the session file, a message help entry (in the help folder and
// in the user's copy of the shipped one), the picture catalogue, the
// spreadsheet export, printouts into a file, the CAD outputs of the menus,
// the deletion of a spring file; and the command line's /I and /CADi:j under
// the preloaded fault injector. The texts the user reads are judged against
// the bytes of every file after the failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/choosers.h"
#include "base/failure_roads.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/recording_ui.h"
#include "base/services.h"
#include "base/support_shell.h"
#include "graphics/cadsettings.h"
#include "graphics/helpcat.h"
#include "graphics/iges.h"
#include "headless_run.h"
#include "mainwin/config_form.h"
#include "mainwin/dispatch.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/session.h"
#include "mainwin/spreadsheet.h"
#include "reports/device.h"
#include "reports/printout_full.h"
#include "settings/config.h"
#include "spring/springfile.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program under test"
#endif
#ifndef ZEB1_FAULTS
#error "ZEB1_FAULTS names the fault injector"
#endif

namespace zeb {
namespace {

namespace fs = std::filesystem;
namespace fr = test::failure_roads;

fs::path Examples() { return test::SourceDir() / "examples"; }

// The first message of the shipped message help file (its entries are
// three lines: message, cause, remedy).
std::string FirstMessage(const fs::path& err) {
  std::ifstream in(err, std::ios::binary);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

class FailedSaves : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.Start("zeb1_failed_saves_");
    run_.InstallServices();
  }
  void TearDown() override {
    SetUi(nullptr);
    SetHelpPictureDialog(nullptr);
    for (const auto& [name, value] : env_) {
      if (value.empty())
        ::unsetenv(name.c_str());
      else
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    run_.Stop();
  }
  void SetEnv(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    env_.emplace_back(name, old != nullptr ? old : "");
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  fs::path Road() const { return run_.root / "road"; }

  test::HeadlessRun run_;
  std::vector<std::pair<std::string, std::string>> env_;
};

// The choosers' answers (relative to the road's folder).
struct Setting {
  std::string saveAs;
  std::string open = {};
  Answer answer = Answer::Yes;
};

// A road of the program over the road's folder: the spring file feder.zeb
// (round_dynamic) read and changed, the folder the data, program, help
// and temporary folder; the action armed; the boxes recorded.
fr::Road ProgramRoad(const std::string& name, std::function<void(const fs::path&)> action, Setting setting = {}) {
  fr::Road road;
  road.name = name;
  road.prepare = [](const fs::path& root) {
    fs::copy_file(Examples() / "round_dynamic.zeb", root / "feder.zeb");
    fs::create_directories(root / "tmp");
    fs::create_directories(root / "help");
    fs::copy_file(fs::path(ZEB1_HELP_FOLDER) / "zeb1.err", root / "help" / "zeb1.err");
    std::ofstream(root / "help" / "zeb1.dbh", std::ios::binary)
        << CatalogueLine("p1", "Eins") << CatalogueLine("p2", "Zwei") << CatalogueLine("p3", "Drei");
    for (int i = 1; i <= 3; ++i)
      std::ofstream(root / "help" / ("p" + std::to_string(i) + ".plt")) << "SP1;PU0,0;PD" << 40 * i << ",0;";
  };
  road.run = [action, setting](const fs::path& root, const test::FileFaultPlan& plan) {
    const auto ui = std::make_shared<test::RecordingUi>(setting.answer);
    if (!setting.saveAs.empty()) ui->saveAs = (root / setting.saveAs).string();
    if (!setting.open.empty()) ui->open = (root / setting.open).string();
    SetUi(ui);
    BaseGlobals& g = G();
    const std::string folder = root.string() + "/";
    g.DataFolder = g.CurrentDataFolder = g.ProgramFolder = folder;
    g.TempFolder = folder + "tmp/";
    g.HelpFolder = folder + "help/";
    g.ShippedHelpFolder.clear();
    g.TableEditorPath = g.HtmlBrowserPath = "/bin/true";
    CadSettings().CadFolder = folder;
    g.AbortFlag = 0;
    g.TxtFileCounter = 0;
    ReadSpringFilePath((root / "feder.zeb").string());
    g.CurrentFileName = "feder";
    g.TitleBlockLines[1] = "geändert";
    g.ModifiedFlag = 1;
    g.AbortFlag = 0;
    g.ShowErrorsSwitch = 1;
    test::ArmFileFaults(plan);
    action(root);
    fr::Outcome out{ui->texts, test::DisarmFileFaults()};
    ResetWorkTextFile();
    SetUi(nullptr);
    return out;
  };
  return road;
}

// The catalogue's dialog: the first picture shown and deleted.
void DeleteFirstPicture() {
  auto dialog = std::make_shared<ScriptedHelpPictureDialog>();
  dialog->Add(ScriptedHelpPictureDialog::Press::Delete);
  SetHelpPictureDialog(dialog);
  Graphics().HelpPictureCatalog();
}

std::vector<fr::Road> Roads() {
  std::vector<fr::Road> roads;
  roads.push_back(ProgramRoad("Save", [](const fs::path&) { FileSave(); }));
  roads.back().calls = "open,write,fsync,truncate,link,rename,unlink,close";
  roads.push_back(ProgramRoad("SaveAs", [](const fs::path&) { FileSaveAs(); }, {"neu.zeb"}));
  roads.push_back(ProgramRoad("SaveOnQuit", [](const fs::path&) { FormCloseQuery(); }));
  roads.push_back(ProgramRoad("ConfigSave", [](const fs::path&) { WriteConfigFile(); }));
  roads.push_back(ProgramRoad(
      "ConfigExport", [](const fs::path& root) { ExportConfigForm(FillConfigForm(), (root / "x.cfg").string()); }));
  roads.push_back(ProgramRoad("Session", [](const fs::path& root) {
    G().RecentFiles[1] = (root / "feder.zeb").string();
    WriteSessionFile();
  }));
  roads.push_back(ProgramRoad("HelpEntry", [](const fs::path& root) {
    WriteErrEntry(FirstMessage(root / "help" / "zeb1.err"), "Ursache neu", "Abhilfe neu");
  }));
  roads.push_back(ProgramRoad("HelpEntryUserCopy", [](const fs::path& root) {
    G().ShippedHelpFolder = G().HelpFolder;
    ::setenv("XDG_DATA_HOME", (root / "user").c_str(), 1);
    WriteErrEntry(FirstMessage(root / "help" / "zeb1.err"), "Ursache neu", "Abhilfe neu");
  }));
  roads.push_back(ProgramRoad("Catalogue", [](const fs::path&) { DeleteFirstPicture(); }));
  roads.push_back(ProgramRoad("Spreadsheet", [](const fs::path&) { ExportInputDataToSpreadsheet(); }));
  roads.push_back(ProgramRoad("PrintToFile",
                              [](const fs::path&) {
                                G().AskOutputTarget = 0;
                                G().OutputTarget = kOutFile;
                                PrintReport();
                              },
                              {"druck.txt"}));
  // The TXT printout: the work file and its copy in the temporary folder.
  roads.push_back(ProgramRoad("PrintTxt", [](const fs::path&) {
    G().AskOutputTarget = 0;
    G().OutputTarget = kOutTxt;
    PrintReport();
  }));
  for (const int code : {1, 2, 5}) {
    const std::string file = std::string("zeichnung.") + (code == 1 ? "dxf" : code == 2 ? "igs" : "txt");
    roads.push_back(
        ProgramRoad("Cad" + std::to_string(code), [code](const fs::path&) { CadOutputByIndex(code, 1); }, {file}));
  }
  // The IGES output with its parameter lines spilled into a scratch file.
  roads.push_back(ProgramRoad("Cad2Spill",
                              [](const fs::path&) {
                                SetIgesScratchThreshold(1);
                                CadOutputByIndex(2, 1);
                                SetIgesScratchThreshold(0);
                              },
                              {"zeichnung.igs"}));
  roads.push_back(ProgramRoad("DeleteSpring", [](const fs::path&) { DeleteFileWithConfirm(G().DataFolder, "*.zeb"); },
                              {"", "feder.zeb", Answer::Yes}));
  for (fr::Road& r : roads) {
    // The spreadsheet's CSV and the catalogue's scratch copy are made in
    // the temporary folder: the CSV is the road's file, the copy scratch.
    if (r.name != "Spreadsheet" && r.name != "PrintTxt") r.scratch = {"tmp/"};
    // The printout into a file is in its place when its copy for the
    // viewer fails.
    if (r.name == "PrintToFile") r.claims = {{"Ausdruck in ", {"druck.txt"}}};
  }
  // The spreadsheet's document under a unique name; the unique name it is
  // made beside.
  const auto unique = [](const std::string& file) {
    if (file.rfind("tmp/zeb1_", 0) != 0) return file;
    return file.size() > 4 && file.compare(file.size() - 4, 4, ".csv") == 0 ? std::string("tmp/zeb1_*.csv")
                                                                            : std::string("tmp/zeb1_*");
  };
  for (fr::Road& r : roads)
    if (r.name == "Spreadsheet") r.canonical = unique;
  return roads;
}

class ProgramRoads : public FailedSaves, public ::testing::WithParamInterface<std::string> {};

TEST_P(ProgramRoads, TellWhatTheFilesHold) {
  SetEnv("XDG_DATA_HOME", (run_.root / "xdg").string());
  for (const fr::Road& road : Roads())
    if (road.name == GetParam())
      for (const std::string& w : fr::EveryStepFailing(road, Road())) ADD_FAILURE() << w;
}

INSTANTIATE_TEST_SUITE_P(Roads, ProgramRoads,
                         ::testing::Values("Save", "SaveAs", "SaveOnQuit", "ConfigSave", "ConfigExport", "Session",
                                           "HelpEntry", "HelpEntryUserCopy", "Catalogue", "Spreadsheet", "PrintToFile",
                                           "PrintTxt", "Cad1", "Cad2", "Cad5", "Cad2Spill", "DeleteSpring"));

// ---------------------------------------------------------------- command line

// The program run in folder with the injector preloaded; what it wrote on
// stderr, one text a line, and the steps the injector counted.
fr::Outcome RunProgram(const fs::path& folder, const std::vector<std::string>& args, const test::FileFaultPlan& plan) {
  const fs::path log = folder.parent_path() / "steps.log";
  const fs::path err = folder.parent_path() / "stderr.txt";
  fs::remove(log);
  std::vector<std::string> env = {"ZEB1_FAULT_IN=" + plan.in,
                                  "ZEB1_FAULT_AT=" + std::to_string(plan.at),
                                  "ZEB1_FAULT_ERRNO=" + std::to_string(plan.err),
                                  std::string("ZEB1_FAULT_PART=") + (plan.part ? "1" : "0"),
                                  std::string("ZEB1_FAULT_STICKY=") + (plan.sticky ? "1" : "0"),
                                  "ZEB1_FAULT_LOG=" + log.string(),
                                  "HOME=" + folder.parent_path().string(),
                                  "XDG_CONFIG_HOME=" + (folder.parent_path() / "xdg").string(),
                                  "TMPDIR=" + (folder.parent_path() / "tmp").string(),
                                  "PATH=/usr/bin:/bin"};
  if (!plan.calls.empty()) env.push_back("ZEB1_FAULT_CALLS=" + plan.calls);
  for (const auto& [name, value] : test::PreloadEnvironment(ZEB1_FAULTS)) env.push_back(name + "=" + value);
  if (const char* rt = std::getenv("XDG_RUNTIME_DIR")) env.push_back(std::string("XDG_RUNTIME_DIR=") + rt);
  std::vector<std::string> argv = {ZEB1_WZEB1};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = -1;
  int status = 0;
  if (test::SpawnInFolder(argv, env, folder.string(), err.string(), pid) == 0) ::waitpid(pid, &status, 0);
  fr::Outcome out;
  std::ifstream in(err);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.texts.push_back(line);
  std::ifstream steps(log);
  // "N[!] kind path [path2]"
  for (std::string line; std::getline(steps, line);) {
    std::istringstream words(line);
    std::string number, kind, path, path2;
    words >> number >> kind >> path;
    std::getline(words, path2);
    if (!path2.empty() && path2[0] == ' ') path2.erase(0, 1);
    test::FileStepSeen s;
    s.failed = !number.empty() && number.back() == '!';
    s.number = std::atol(number.c_str());
    s.kind = kind;
    s.path = path;
    s.path2 = path2;
    out.steps.push_back(s);
  }
  return out;
}

fr::Road CommandLineRoad(const std::string& name, std::vector<std::string> args) {
  fr::Road road;
  road.name = name;
  road.prepare = [](const fs::path& root) {
    fs::copy_file(Examples() / "round_dynamic.zeb", root / "feder.zeb");
    // Outputs of an earlier run in their place.
    for (const char* ext : {"txt", "dxf", "igs"}) std::ofstream(root / (std::string("feder.") + ext)) << "vorher\r\n";
  };
  road.run = [args](const fs::path& root, const test::FileFaultPlan& plan) { return RunProgram(root, args, plan); };
  // A close that fails after the file took its name too.
  road.calls = "open,write,fsync,truncate,link,rename,unlink,close";
  return road;
}

TEST_F(FailedSaves, CommandLineOutputsTellWhatTheFilesHold) {
  // The program reads its tables from the run's folder.
  fs::create_directories(run_.root / "xdg" / "zeb1");
  fs::create_directories(run_.root / "tmp");
  for (const auto& road :
       {CommandLineRoad("Printout", {"feder.zeb", "/I"}), CommandLineRoad("Dxf", {"feder.zeb", "/CAD1:1"}),
        CommandLineRoad("Txt", {"feder.zeb", "/CAD5:1"})})
    for (const std::string& w : fr::EveryStepFailing(road, Road())) ADD_FAILURE() << w;
}

}  // namespace
}  // namespace zeb
