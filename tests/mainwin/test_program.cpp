// Start-up, command-line mode and the example spring files.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "drawings/drawings.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "mainwin/commands.h"
#include "mainwin/dispatch.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
#include "platform/oem_literal.h"
#include "program_fixture.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/dimension.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/valuetable.h"

namespace fs = std::filesystem;

namespace zeb {
namespace {

using test::ReadBytes;
using test::SourceDir;
using test::WriteBytes;

// ---------------------------------------------------------------- examples

// The example springs, built from their inputs: round wire with Dm given,
// own material values (MaterialSel 11, E 206000, rho 7.85, tau zul 0.56 Rm),
// 20 degrees; L1 and L2 worked out from the rate so that the file reads back
// to the forces F1 and F2.
struct Example {
  const char* file;
  const char* name;
  const char* number;
  Real d, Dm, n, L0;
  const char* material;
  Real G, Rm;
  Code loadType, wireStd;
  Real nue, F1, F2;
  void (*more)(SpringDataRecord&);  // before the forces
};

void MakeExample(const Example& e) {
  ResetSpringGlobals();
  ChangeLog() = DefaultChangeLog();
  ChangeLog().CreatedDate = ChangeLog().CheckedDate = ChangeLog().StandardsDate = "15.01.2025";
  ChangeLog().CreatedBy = "ZEB";
  DocumentLinks() = DefaultDocumentLinks();
  ValueTable() = ValueTableRecord{};
  MaterialSource() = 0;
  SpringDataRecord& s = SpringData();
  s.DrawingName = e.name, s.DrawingNo = e.number, s.CalcMode = 3, s.RateInput = 1, s.T = 20.0L;
  s.CrossSection = 1, s.d = s.h = e.d, s.DiameterGiven = 3, s.Dm = e.Dm, s.De = e.Dm + e.d, s.Di = e.Dm - e.d;
  s.n = e.n, s.L0 = e.L0;
  s.MaterialSel = 11, s.MaterialStd = 0, s.MaterialName = e.material;
  s.G = e.G, s.E = 206000, s.rho = 7.85L, s.Rm = e.Rm, s.tauzul = 0.56L * e.Rm;
  s.LoadType = e.loadType, s.WireStd = e.wireStd, s.nue = e.nue;
  if (e.more) e.more(s);
  s.L1 = 0.9L * s.L0;
  s.L2 = 0.7L * s.L0;
  RunRecalculation();
  const Real R = s.R;
  s.L1 = s.L0 - e.F1 / R;
  s.L2 = s.L0 - e.F2 / R;
  RunRecalculation();
  if (TransverseLoad().FQ > 0) {  // with a value table
    ValueTableRecord& v = ValueTable();
    v.Name = "L'", v.Unit = "mm", v.Min = s.Lc, v.Max = s.L0, v.Count = 3;
    v.Values[1] = s.L1, v.Values[2] = 0.5L * (s.L1 + s.L2), v.Values[3] = s.L2;
  }
}

// round_dynamic is hand-checked in the printout tests.
const Example kExamples[] = {
    {"round_static.zeb", "Druckfeder statisch", "EX-1", 2, 20, 8.5L, 60, "Federstahldraht DH", 81500, 1880, 1, 9,
     0.5L, 24, 72, nullptr},
    {"round_dynamic.zeb", "Druckfeder dynamisch", "EX-2", 5, 34.6L, 9.5L, 105.8L, "Federstahldraht DH", 81500, 1460,
     2, 9, 0.5L, 280, 620, nullptr},
    {"hot_coiled.zeb", "Druckfeder warmgeformt", "EX-3", 16, 112, 6.5L, 240, "51CrV4", 78500, 1430, 1, 3, 0.5L,
     1500, 5000, [](SpringDataRecord& s) { s.CoilingKind = 2, s.EndForm = 3; }},
    {"rectangular.zeb", "Druckfeder Rechteckdraht", "EX-4", 6, 36, 6, 60, "Federstahl Rechteckdraht", 78500, 1500,
     1, 7, 1, 200, 600, [](SpringDataRecord& s) { s.CrossSection = 4, s.h = 4; }},
    {"transverse_table.zeb", "Druckfeder Querkraft", "EX-5", 4, 32, 7.5L, 80, "Federstahldraht DH", 81500, 1740, 1,
     9, 1, 100, 300, [](SpringDataRecord&) { TransverseLoad().FQ = 20; }},
};

class ExamplesTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetProgramState();
    InitProgramUnits();
    InitProgramIdentity();
  }
};

// The committed files are what our writer writes for the example inputs
// (ZEB1_WRITE_EXAMPLES=1 writes them); they read back and calculate in the
// printout and black-box tests, the usage text is checked there too.
TEST_F(ExamplesTest, FilesAreTheWritersOutput) {
  const bool write = std::getenv("ZEB1_WRITE_EXAMPLES") != nullptr;
  for (const Example& e : kExamples) {
    SCOPED_TRACE(e.file);
    MakeExample(e);
    ASSERT_EQ(G().FatalErrorFlag, 0);
    const std::string bytes = FormatSpringFile(CurrentSpringFileRecords());
    const fs::path path = SourceDir() / "examples" / e.file;
    if (write) WriteBytes(path, bytes);
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

// ---------------------------------------------------------------- usage, batch

TEST(CommandLine, BatchRuns) {
  using V = std::vector<std::string>;
  for (const V& batch : {V{"?"}, V{"/?"}, V{"t.zeb", "/I"}, V{"t.zeb", "-i"}, V{"t.zeb", "-cad1:3"},
                         V{"t.zeb", "/CAD"}, V{"-?", "/nogui"}, V{"t.zeb", "/E", "/NOGUI"}})
    EXPECT_TRUE(IsBatchCommandLine(batch)) << batch[0] << " " << batch.back();
  for (const V& interactive : {V{}, V{"t.zeb"}, V{"-?"}, V{"t.zeb", "/E"}, V{"t.zeb", "/CA"}, V{"/I"}})
    EXPECT_FALSE(IsBatchCommandLine(interactive)) << interactive.size();
}

// ---------------------------------------------------------------- program runs

// Runs in a temporary working directory with its own configuration and
// temporary folders.
class ProgramTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetProgramState();
    ClearDrawingRegistry();
    SetGraphics(nullptr);
    SetDrawings(nullptr);
    SetTables(nullptr);
    root_ = test::FreshTestFolder("zeb1_prog_", {"work", "xdg", "tmp"});
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    env_.Set("XDG_CONFIG_HOME", (root_ / "xdg").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    out_ = std::tmpfile();
    err_ = std::tmpfile();
  }
  void TearDown() override {
    std::fclose(out_);
    std::fclose(err_);
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
    ClearDrawingRegistry();
    SetGraphics(nullptr);
    SetDrawings(nullptr);
    ResetProgramState();
    BaseTest::TearDown();
  }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "wzeb1");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return RunProgram(static_cast<int>(argv.size()), argv.data(), out_, err_);
  }
  // Copies an example into the working directory as name.
  void CopyExample(const char* example, const std::string& name) {
    fs::copy_file(SourceDir() / "examples" / example, root_ / "work" / name);
  }
  // A configuration in the working directory whose data folder is the
  // returned new folder.
  fs::path WriteConfigWithDataFolder() {
    const fs::path data = root_ / "data";
    fs::create_directories(data);
    ResetConfigDefaults();
    Config().DefaultDataFolder = data.string() + "/";
    G().TempFolder = (root_ / "tmp").string() + "/";
    G().HelpFolder = data.string() + "/";
    G().DbfFolder = data.string() + "/";
    CadSettings().CadFolder = (root_ / "work").string() + "/";
    Config().EdiFolder = data.string() + "/";
    G().AbortFlag = 0;
    WriteConfigFile((root_ / "work" / "zeb1.cfg").string());
    EXPECT_EQ(G().AbortFlag, 0);
    return data;
  }
  std::string Recorded() const {
    std::string all;
    for (const std::string& c : dynamic_cast<RecordingGraphics&>(Graphics()).Calls()) all += c + "\n";
    return all;
  }

  fs::path root_;
  fs::path oldCwd_;
  test::ScopedEnv env_;
  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
};

// Without parameters and without a template: an unnamed data set with the
// defaults, calculated once, not modified; the caption is the title alone.
TEST_F(ProgramTest, StartWithoutTemplate) {
  const fs::path data = WriteConfigWithDataFolder();
  SetMainWindow(std::make_shared<RecordingMainWindow>());
  const unsigned long long calcs = CalculationCount();
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(CalculationCount(), calcs + 1);
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().CurrentFileName, "");
  EXPECT_EQ(G().CurrentDataFolder, data.string() + "/");
  EXPECT_EQ(SpringData().d, SpringDataRecord{}.d);
  const auto& calls = dynamic_cast<RecordingMainWindow&>(MainWindow()).Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SetCaption(ZEB1   Druckfederberechnung)"), calls.end());
  // The logo was drawn, no start picture.
  EXPECT_NE(Recorded().find("GrafDrawLogo"), std::string::npos);
  EXPECT_NE(Recorded().find("GrafSetWindow(1,1,0.1,0.05,0.95,0.95,0,0,36.9,32)"), std::string::npos);
  EXPECT_EQ(Recorded().find("ShowHelpPictureFile"), std::string::npos);
}

// With the template null.zeb in the data folder: its values, no name, not
// modified; start.plt in the PLT folder is shown.
TEST_F(ProgramTest, StartWithTemplate) {
  const fs::path data = WriteConfigWithDataFolder();
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", data / "null.zeb");
  WriteBytes(data / "start.plt", "IN;");
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(SpringData().d, 5.0L);
  EXPECT_EQ(G().CurrentFileName, "");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_NE(Recorded().find("GrafClear()\nShowHelpPictureFile(start)"), std::string::npos);
}

// The same starts with the drawing facade in place: the logo, or the
// start picture, is what the display list holds afterwards.
TEST_F(ProgramTest, StartLeavesTheLogoOrTheStartPictureInTheDisplayList) {
  const fs::path data = WriteConfigWithDataFolder();
  InstallGraphicsFacade();
  EXPECT_EQ(Run({}), 0);
  const auto& list = Facade().Window().DisplayList();
  EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const std::string& r) { return r.rfind("7;", 0) == 0; }), 57);
  EXPECT_NE(std::find(list.begin(), list.end(), "8;13"), list.end());

  ResetProgramState();
  WriteConfigWithDataFolder();
  WriteBytes(data / "start.plt", "IN;SP1;PU0,0;PD400,0;");
  InstallGraphicsFacade();
  EXPECT_EQ(Run({}), 0);
  const auto& pic = Facade().Window().DisplayList();
  ASSERT_FALSE(pic.empty());
  EXPECT_EQ(pic.front(), "10;1;1;" + std::to_string(Facade().Window().DeviceWidth() - 1) + ";" +
                             std::to_string(Facade().Window().DeviceHeight() - 1) + ";0;0;160;120");
  EXPECT_EQ(pic.back(), "4;0;0;10;0");
}

// With no configuration the shipped help folder serves, and its start
// picture is what the window shows after the start.
TEST_F(ProgramTest, StartWithoutConfigurationShowsTheShippedStartPicture) {
  InstallGraphicsFacade();
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(fs::path(G().HelpFolder), fs::path(ZEB1_HELP_FOLDER) / "");
  const auto& pic = Facade().Window().DisplayList();
  ASSERT_FALSE(pic.empty());
  EXPECT_NE(pic.front().find(";0;0;160;120"), std::string::npos) << pic.front();
  EXPECT_NE(std::find(pic.begin(), pic.end(), "6;22;94;ZEB1"), pic.end());
  EXPECT_GT(std::count_if(pic.begin(), pic.end(), [](const std::string& r) { return r.rfind("4;", 0) == 0; }), 100);
}

// "/E" starts with the name and does not read the file.
TEST_F(ProgramTest, EditSwitchDoesNotRead) {
  WriteBytes(root_ / "work" / "t.zeb", "not a spring file");
  WriteConfigWithDataFolder();
  EXPECT_EQ(Run({"t.zeb", "/E"}), 0);
  EXPECT_EQ(G().CurrentFileName, "t.zeb");
  EXPECT_EQ(G().CommandLineFileLoaded, 0);
  EXPECT_EQ(SpringData().d, SpringDataRecord{}.d);
}

// A plain start with a file reads it, redraws and marks it loaded.
TEST_F(ProgramTest, StartWithFile) {
  CopyExample("round_dynamic.zeb", "t.zeb");
  EXPECT_EQ(Run({"t.zeb"}), 0);
  EXPECT_EQ(G().CommandLineFileLoaded, 1);
  EXPECT_EQ(G().CurrentFileName, "t.zeb");
  EXPECT_EQ(G().CurrentDataFolder, "");
  EXPECT_EQ(SpringData().d, 5.0L);
  EXPECT_EQ(G().ModifiedFlag, 0);
  const auto& calls = dynamic_cast<RecordingDrawings&>(Drawings()).Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "RedrawCurrentDrawing()"), 1);
}

// A start with a spring file ends on the result graphic that File > Open
// of the same file shows, not on the start picture; a start without one
// keeps the start picture.
TEST_F(ProgramTest, StartWithFileShowsWhatFileOpenShows) {
  CopyExample("round_dynamic.zeb", "t.zeb");
  const auto start = [](const std::vector<std::string>& list) {
    return std::find(list.begin(), list.end(), "6;22;94;ZEB1") != list.end();
  };
  const auto begin = [] {
    SetMainWindow(std::make_shared<HeadlessMainWindow>());
    InstallGraphicsFacade();
    InstallDrawings();
  };
  begin();
  EXPECT_EQ(Run({}), 0);
  ASSERT_TRUE(start(Facade().Window().DisplayList()));
  ui().ExpectOpenFile(root_ / "work" / "t.zeb");
  FileOpen();
  ASSERT_EQ(G().AbortFlag, 0);
  const std::vector<std::string> opened = Facade().Window().DisplayList();
  EXPECT_FALSE(start(opened));
  EXPECT_GT(opened.size(), 100u);

  // The footer names the file as given.
  ResetProgramState();
  begin();
  EXPECT_EQ(Run({(root_ / "work" / "t.zeb").string()}), 0);
  EXPECT_EQ(G().CommandLineFileLoaded, 1);
  EXPECT_EQ(Facade().Window().DisplayList(), opened);
}

// A file that is there but cannot be read is named and never becomes the
// current file: no overwrite question, the template's spring new and
// unnamed, the file unchanged, and Save asks for a name. A name that is not
// there starts a new file of that name without a question.
TEST_F(ProgramTest, UnreadableFileIsNeverMadeCurrent) {
  const fs::path bad = root_ / "work" / "bad.zeb";
  WriteBytes(bad, "garbage\r\n");
  ui().ExpectMessageBox("", "Datei bad.zeb, Zeile 1: erwartet: Trennlinie");
  EXPECT_EQ(Run({"bad.zeb"}), 0);
  EXPECT_EQ(G().CommandLineFileLoaded, 0);
  EXPECT_EQ(G().CurrentFileName, "");
  EXPECT_EQ(CurrentSpringFilePath(), "");
  EXPECT_EQ(ReadBytes(bad), "garbage\r\n");
  // A missing name is creatable: no question, the new file's name.
  EXPECT_EQ(Run({"new.zeb"}), 0);
  EXPECT_EQ(G().CurrentFileName, "new.zeb");
  EXPECT_FALSE(fs::exists(root_ / "work" / "new.zeb"));
  // Something that is not a file under the name: named, not taken.
  fs::create_directory(root_ / "work" / "dir.zeb");
  ui().ExpectMessageBox("", "dir.zeb");
  EXPECT_EQ(Run({"dir.zeb"}), 0);
  EXPECT_EQ(G().CurrentFileName, "");

  const std::string whole = ReadBytes(SourceDir() / "examples" / "valve_spring.zeb");
  std::size_t at = 0;
  for (int line = 0; line < 117; ++line) at = whole.find("\r\n", at) + 2;
  const fs::path cut = root_ / "work" / "cut.zeb";
  WriteBytes(cut, whole.substr(0, at));
  ui().ExpectMessageBox("", "Datei cut.zeb, Zeile 118: Datei abgeschnitten, endet nach Zeile 117 !");
  EXPECT_EQ(Run({"cut.zeb"}), 0);
  EXPECT_EQ(SpringData().d, SpringDataRecord{}.d);
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_EQ(G().CurrentFileName, "");
  G().ModifiedFlag = 1;
  ui().ExpectSaveFile(std::nullopt);
  FileSave();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ReadBytes(cut), whole.substr(0, at));
}

// Takes the overrides of file permissions out of this thread's effective
// capabilities while it lives, so that a file's mode bits hold for root too.
class ModeBitsHold {
 public:
  ModeBitsHold() {
    if (::syscall(SYS_capget, &head_, data_) != 0) return;
    saved_ = data_[0].effective;
    data_[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &head_, data_);
  }
  ~ModeBitsHold() {
    data_[0].effective = saved_;
    ::syscall(SYS_capset, &head_, data_);
  }

 private:
  __user_cap_header_struct head_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data_[2]{};
  std::uint32_t saved_ = 0;
};

// Every road that opens a spring file (/I, /CAD, a start with the file,
// Datei > Öffnen, the recent files) names in the same words why one cannot
// be read: a folder, a missing file, one the user may not read, a byte order
// mark, the reserved line, a line end inside a line. The document open
// before stays, and so does the file.
TEST_F(ProgramTest, EveryRoadNamesWhyASpringFileCannotBeRead) {
  const fs::path work = root_ / "work";
  const std::string valve = ReadBytes(SourceDir() / "examples" / "valve_spring.zeb");
  const auto withLine = [&](int no, const std::string& text) {
    std::size_t at = 0;
    for (int k = 1; k < no; ++k) at = valve.find("\r\n", at) + 2;
    return valve.substr(0, at) + text + valve.substr(valve.find("\r\n", at));
  };
  ASSERT_EQ(withLine(16, "10"), valve);
  // The reserved line: the twelfth after the documents section (its
  // heading, count, rule and five links of three lines).
  const int docs =
      1 + static_cast<int>(std::count(valve.begin(), valve.begin() + valve.find("\r\nDokumente\r\n"), '\n'));
  const int reserved = docs + 1 + 18 + 11;
  struct Cause {
    const char* name;
    std::string bytes;  // "" for a folder or no file
    std::string said;   // after "Datei <name>"
  };
  const Cause causes[] = {
      {"folder", "", " ist ein Ordner !"},
      {"missing", "", " nicht gefunden !"},
      {"unreadable", valve, " nicht lesbar: kein Zugriffsrecht !"},
      {"utf8", "\xEF\xBB\xBF" + valve,
       ", Zeile 1: UTF-8-Kennung (BOM) am Dateianfang, eine Federdatei ist Text in Codepage 850 !"},
      {"utf16", "\xFF\xFE" + valve, ", Zeile 1: UTF-16-Kennung (BOM) am Dateianfang"},
      {"reserved", withLine(reserved, "x"),
       ", Zeile " + std::to_string(reserved) + ": erwartet: ganze Zahl (reservierte Zeile, stets 0), gelesen: \"x\" !"},
      {"stray CR", withLine(16, "1\r"), ", Zeile 17: erwartet: Zahl"},
  };
  for (const Cause& c : causes) {
    SCOPED_TRACE(c.name);
    const std::string cause = c.name;
    const fs::path bad = work / "bad.zeb";
    fs::remove_all(bad);
    if (cause == "folder") fs::create_directory(bad);
    if (!c.bytes.empty()) WriteBytes(bad, c.bytes);
    if (cause == "unreadable") fs::permissions(bad, fs::perms::none);
    std::optional<ModeBitsHold> hold(std::in_place);
    const auto expect = [&](const std::string& name) {
      auto& e = ui().ExpectMessageBox("", "Datei " + name + c.said);
      if (cause == "stray CR") e.Text("Zeile 16 endet mit CR statt CR LF.");
    };
    for (const char* mode : {"/I", "/CAD5:6"}) {
      expect("bad.zeb");
      EXPECT_EQ(Run({"bad.zeb", mode}), 1) << mode;
      // The name without its extension.
      if (cause == "missing")
        ui().ExpectMessageBox("", "Datei bad oder bad.zeb nicht gefunden !");
      else
        expect("bad.zeb");
      EXPECT_EQ(Run({"bad", mode}), 1) << mode;
    }
    // A start with the file: named and never made current; a missing name
    // is a new file.
    if (cause != "missing") expect("bad.zeb");
    EXPECT_EQ(Run({"bad.zeb"}), 0);
    EXPECT_EQ(G().CurrentFileName, cause == "missing" ? "bad.zeb" : "");
    // Open and the recent files keep the spring that was open.
    WriteBytes(work / "good.zeb", valve);
    ui().ExpectOpenFile(work / "good.zeb");
    FileOpen();
    ASSERT_EQ(G().AbortFlag, 0);
    const Real d = SpringData().d;
    ui().ExpectOpenFile(bad);
    expect(bad.string());
    FileOpen();
    EXPECT_EQ(G().AbortFlag, 1);
    G().RecentFiles[1] = bad.string();
    if (cause == "missing")
      ui().ExpectMessageBox("", "File " + bad.string() + " not found !");
    else
      expect(bad.string());
    OpenRecentFile(1);
    EXPECT_EQ(SpringData().d, d);
    EXPECT_EQ(G().CurrentFileName, "good");
    hold.reset();
    if (!c.bytes.empty()) {
      EXPECT_EQ(ReadBytes(bad), c.bytes);
    }
  }
}

// "/CADi:j": the drawing runs in batch mode with the code; the file named
// after the spring must have been written for exit 0.
TEST_F(ProgramTest, CadMode) {
  CopyExample("round_static.zeb", "t.zeb");
  std::vector<std::string> seen;
  RegisterDrawing({DrawingEntry::SelectDiagram, 3}, [&](int code) {
    seen.push_back(G().CurrentFileName + " " + std::to_string(code) + " " + std::to_string(PS().CadBatchMode) +
                   std::to_string(CadSettings().CommandLineExport) +
                   std::to_string(Graphics().CadBatchMode()));
    WriteBytes(root_ / "work" / (G().CurrentFileName + ".dxf"), "0\r\nEOF\r\n");
  });
  EXPECT_EQ(Run({"t.zeb", "/CAD1:3"}), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "t 1 111");
  EXPECT_EQ(PS().CadBatchMode, 0);
  EXPECT_EQ(CadSettings().CommandLineExport, 0);
  EXPECT_EQ(Run({"t.zeb", "-cad1:3"}), 0);
  EXPECT_EQ(seen.size(), 2u);

  // Registered but writing a different format's file: nothing written.
  EXPECT_EQ(Run({"t.zeb", "/CAD2:3"}), 2);
  EXPECT_EQ(seen.size(), 3u);

  for (const auto& [arg, box] : std::vector<std::pair<std::string, std::string>>{
           {"/CAD1:99", "Zeichnung Nr. 99: keine Ausgabe"}, {"/CAD1:9", "Zeichnung Nr. 9: keine Ausgabe"},
           {"/CAD3:3", "CAD-Code \"3\""}, {"/CAD", "CAD-Code \"\""},
           {"/CAD1:99999999999", "Zeichnung Nr. 99999999999"}}) {
    ui().ExpectMessageBox("Fehler", box);
    EXPECT_EQ(Run({"t.zeb", arg}), 2) << arg;
  }
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_FALSE(fs::exists(root_ / "work" / "t.igs"));

  ui().ExpectMessageBox("", "nix.zeb");
  EXPECT_EQ(Run({"nix.zeb", "/CAD1:3"}), 1);
}

// The close query asks the save question and then deletes only the
// "$*.dx$" block files of the temporary folder.
TEST_F(ProgramTest, CloseQueryDeletesBlockFiles) {
  const fs::path tmp = root_ / "tmp";
  G().TempFolder = tmp.string() + "/";
  for (const char* f : {"$a.dx$", "$B.DX$", "a.dx$", "$a.dxf", "$a.dx$x"}) WriteBytes(tmp / f, "x");
  G().ModifiedFlag = 1;
  G().CurrentFileName.clear();
  ui().ExpectQuestion("", "Bisherige Eingaben verwerfen ?", Answer::Cancel);
  EXPECT_FALSE(FormCloseQuery());
  EXPECT_TRUE(fs::exists(tmp / "$a.dx$"));
  ui().ExpectQuestion("", "Bisherige Eingaben verwerfen ?", Answer::Yes);
  EXPECT_TRUE(FormCloseQuery());
  EXPECT_FALSE(fs::exists(tmp / "$a.dx$"));
  EXPECT_FALSE(fs::exists(tmp / "$B.DX$"));
  for (const char* f : {"a.dx$", "$a.dxf", "$a.dx$x"}) EXPECT_TRUE(fs::exists(tmp / f)) << f;
}

}  // namespace
}  // namespace zeb
