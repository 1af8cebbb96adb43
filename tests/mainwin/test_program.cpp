// Start-up, command-line mode and the example spring files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "graphics/cadsettings.h"
#include "mainwin/config.h"
#include "mainwin/dispatch.h"
#include "mainwin/program.h"
#include "platform/oem_literal.h"
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

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path SourceDir() {
  if (const char* env = std::getenv("ZEB1_SOURCE_DIR"); env != nullptr && *env != '\0') return env;
  return fs::path(__FILE__).parent_path().parent_path().parent_path();
}

// ---------------------------------------------------------------- examples

// The example springs, built from their inputs: own material values
// (MaterialSel 11), forces and L0 given, lengths worked out through the
// recalculation so that the file reads back to these forces.
void StartExample(const char* name, const char* number) {
  ResetSpringGlobals();
  ChangeLog() = DefaultChangeLog();
  for (std::string* d : {&ChangeLog().CreatedDate, &ChangeLog().CheckedDate, &ChangeLog().StandardsDate})
    *d = "15.01.2025";
  ChangeLog().CreatedBy = "ZEB";
  DocumentLinks() = DefaultDocumentLinks();
  ValueTable() = ValueTableRecord{};
  SpringDataRecord& s = SpringData();
  s.DrawingName = name;
  s.DrawingNo = number;
  s.CalcMode = 3;
  s.RateInput = 1;
  s.MaterialSel = 11;
  s.MaterialStd = 0;
  MaterialSource() = 0;
  s.T = 20.0L;
}

void SetOwnMaterial(const char* name, Real G, Real E, Real rho, Real Rm) {
  SpringDataRecord& s = SpringData();
  s.MaterialName = name;
  s.G = G;
  s.E = E;
  s.rho = rho;
  s.Rm = Rm;
  s.tauzul = 0.56L * Rm;
}

// L1 and L2 from the rate so that F1 and F2 act at L0 - s1 and L0 - s2.
void SetForces(Real F1, Real F2) {
  SpringDataRecord& s = SpringData();
  s.L1 = 0.9L * s.L0;
  s.L2 = 0.7L * s.L0;
  RunRecalculation();
  const Real R = s.R;
  s.L1 = s.L0 - F1 / R;
  s.L2 = s.L0 - F2 / R;
  RunRecalculation();
}

void RoundWire(Real d, Real Dm, Real n, Real L0) {
  SpringDataRecord& s = SpringData();
  s.CrossSection = 1;
  s.d = s.h = d;
  s.DiameterGiven = 3;
  s.Dm = Dm;
  s.De = Dm + d;
  s.Di = Dm - d;
  s.n = n;
  s.L0 = L0;
}

void MakeRoundStatic() {
  StartExample("Druckfeder statisch", "EX-1");
  RoundWire(2.0L, 20.0L, 8.5L, 60.0L);
  SetOwnMaterial("Federstahldraht DH", 81500, 206000, 7.85L, 1880);
  SpringData().LoadType = 1;
  SpringData().WireStd = 9;
  SpringData().nue = 0.5L;
  SetForces(24.0L, 72.0L);
}

// Hand-checked: d 5, Dm 34.6, n 9.5, L0 105.8; F1 280, F2 620;
// G 81500, E 206000, Rm 1460; 20 degrees.
void MakeRoundDynamic() {
  StartExample("Druckfeder dynamisch", "EX-2");
  RoundWire(5.0L, 34.6L, 9.5L, 105.8L);
  SetOwnMaterial("Federstahldraht DH", 81500, 206000, 7.85L, 1460);
  SpringDataRecord& s = SpringData();
  s.LoadType = 2;
  s.WireStd = 9;
  s.nue = 0.5L;
  s.f = 1.0L;
  SetForces(280.0L, 620.0L);
}

void MakeHotCoiled() {
  StartExample("Druckfeder warmgeformt", "EX-3");
  RoundWire(16.0L, 112.0L, 6.5L, 240.0L);
  SetOwnMaterial("51CrV4", 78500, 206000, 7.85L, 1430);
  SpringDataRecord& s = SpringData();
  s.CoilingKind = 2;
  s.EndForm = 3;
  s.LoadType = 1;
  s.WireStd = 3;
  s.nue = 0.5L;
  SetForces(1500.0L, 5000.0L);
}

void MakeRectangular() {
  StartExample("Druckfeder Rechteckdraht", "EX-4");
  SpringDataRecord& s = SpringData();
  RoundWire(6.0L, 36.0L, 6.0L, 60.0L);
  s.CrossSection = 4;
  s.h = 4.0L;
  SetOwnMaterial("Federstahl Rechteckdraht", 78500, 206000, 7.85L, 1500);
  s.LoadType = 1;
  SetForces(200.0L, 600.0L);
}

void MakeTransverseTable() {
  StartExample("Druckfeder Querkraft", "EX-5");
  RoundWire(4.0L, 32.0L, 7.5L, 80.0L);
  SetOwnMaterial("Federstahldraht DH", 81500, 206000, 7.85L, 1740);
  SpringDataRecord& s = SpringData();
  s.LoadType = 1;
  s.WireStd = 9;
  s.nue = 1.0L;
  TransverseLoad().FQ = 20.0L;
  SetForces(100.0L, 300.0L);
  ValueTableRecord& v = ValueTable();
  v.Name = "L'";
  v.Unit = "mm";
  v.Min = s.Lc;
  v.Max = s.L0;
  v.Count = 3;
  v.Values[1] = s.L1;
  v.Values[2] = 0.5L * (s.L1 + s.L2);
  v.Values[3] = s.L2;
}

struct Example {
  const char* file;
  std::function<void()> make;
};

const std::vector<Example>& Examples() {
  static const std::vector<Example> list = {
      {"round_static.zeb", MakeRoundStatic},   {"round_dynamic.zeb", MakeRoundDynamic},
      {"hot_coiled.zeb", MakeHotCoiled},       {"rectangular.zeb", MakeRectangular},
      {"transverse_table.zeb", MakeTransverseTable},
  };
  return list;
}

class ExamplesTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetProgramState();
    InitProgramUnits();
    InitProgramIdentity();
  }
};

// The committed files are what our writer writes for the example inputs.
// ZEB1_WRITE_EXAMPLES=1 writes them.
TEST_F(ExamplesTest, FilesAreTheWritersOutput) {
  const bool write = std::getenv("ZEB1_WRITE_EXAMPLES") != nullptr;
  for (const Example& e : Examples()) {
    SCOPED_TRACE(e.file);
    e.make();
    ASSERT_EQ(G().FatalErrorFlag, 0);
    const std::string bytes = FormatSpringFile(CurrentSpringFileRecords());
    const fs::path path = SourceDir() / "examples" / e.file;
    if (write) WriteBytes(path, bytes);
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

// Every example reads and calculates without a fatal message; the
// hand-checked one gives the values worked out from the formulas.
TEST_F(ExamplesTest, ReadAndCalculate) {
  for (const Example& e : Examples()) {
    SCOPED_TRACE(e.file);
    ResetSpringGlobals();
    G().AbortFlag = 0;
    ReadSpringFile((SourceDir() / "examples" / e.file).string());
    ASSERT_EQ(G().AbortFlag, 0);
    EXPECT_EQ(G().FatalErrorFlag, 0);
    EXPECT_GT(SpringData().R, 0);
    EXPECT_GT(SpringData().tau2, 0);
  }
  ReadSpringFile((SourceDir() / "examples" / "round_dynamic.zeb").string());
  const SpringDataRecord& s = SpringData();
  // R = G d^4 / (8 Dm^3 n) = 81500 * 625 / (8 * 34.6^3 * 9.5) = 16.181
  EXPECT_NEAR(s.R, 16.181L, 0.001L);
  EXPECT_NEAR(s.F1, 280.0L, 1e-4L);
  EXPECT_NEAR(s.F2, 620.0L, 1e-4L);
  EXPECT_NEAR(s.L0, 105.8L, 1e-4L);
  EXPECT_NEAR(s.n, 9.5L, 1e-4L);
  EXPECT_NEAR(s.s1, 17.304L, 0.001L);
  EXPECT_NEAR(s.s2, 38.317L, 0.001L);
  EXPECT_NEAR(s.sh, 21.012L, 0.001L);
  // w = 6.92, k = 1 + 1.25/w + 0.875/w^2 + 1/w^3 = 1.2019
  EXPECT_NEAR(s.k, 1.2019L, 0.0001L);
  // tau = 8 F Dm / (pi d^3): 197.36 and 437.02; tauk = k tau
  EXPECT_NEAR(s.tau1, 197.36L, 0.01L);
  EXPECT_NEAR(s.tau2, 437.02L, 0.01L);
  EXPECT_NEAR(s.tauk1, 237.21L, 0.02L);
  EXPECT_NEAR(s.tauk2, 525.26L, 0.02L);
  EXPECT_EQ(s.tauhzul, 0);  // own material values: no Goodman data
  EXPECT_EQ(s.CrossSection, 1);
  ReadSpringFile((SourceDir() / "examples" / "transverse_table.zeb").string());
  EXPECT_GT(TransverseLoad().FQ, 0);
  EXPECT_EQ(ValueTable().Count, 3);
  ReadSpringFile((SourceDir() / "examples" / "hot_coiled.zeb").string());
  EXPECT_EQ(SpringData().CoilingKind, 2);
  ReadSpringFile((SourceDir() / "examples" / "rectangular.zeb").string());
  EXPECT_EQ(SpringData().CrossSection, 4);
}

// ---------------------------------------------------------------- usage, batch

TEST(CommandLine, BatchRuns) {
  using V = std::vector<std::string>;
  EXPECT_TRUE(IsBatchCommandLine(V{"?"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"/?"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"t.zeb", "/I"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"t.zeb", "-i"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"t.zeb", "-cad1:3"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"t.zeb", "/CAD"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"-?", "/nogui"}));
  EXPECT_TRUE(IsBatchCommandLine(V{"t.zeb", "/E", "/NOGUI"}));
  EXPECT_FALSE(IsBatchCommandLine(V{}));
  EXPECT_FALSE(IsBatchCommandLine(V{"t.zeb"}));
  EXPECT_FALSE(IsBatchCommandLine(V{"-?"}));
  EXPECT_FALSE(IsBatchCommandLine(V{"t.zeb", "/E"}));
  EXPECT_FALSE(IsBatchCommandLine(V{"t.zeb", "/CA"}));
  EXPECT_FALSE(IsBatchCommandLine(V{"/I"}));
}

TEST(CommandLine, UsageText) {
  ResetBaseGlobals();
  SetProgramIdentity();
  const std::vector<std::string> u = UsageLines();
  ASSERT_EQ(u.size(), 21u);
  EXPECT_EQ(u[0], "ZEB1 Command Line Mode");
  EXPECT_EQ(u[2], "wzeb1 Filename [/I] [/CADi:j] [/NOGUI]");
  EXPECT_EQ(u[10], "/NOGUI  -> No GUI, exit on fatal error");
  EXPECT_EQ(u[18], "Example: wzeb1 test.zeb /I /NOGUI   ->  test.txt");
  EXPECT_EQ(u[20], "Example: wzeb1 test.edi /E /NOGUI   ->  test.edi");
  for (int empty : {1, 3, 5, 9, 11, 12, 13, 15, 16}) EXPECT_EQ(u[static_cast<std::size_t>(empty)], "");
  EXPECT_EQ(G().ProgramTitle, "ZEB1   Druckfederberechnung");
  EXPECT_EQ(SG().SpringDbName, "zeb1");
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
    root_ = fs::temp_directory_path() / ("zeb1_prog_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "work");
    fs::create_directories(root_ / "xdg");
    fs::create_directories(root_ / "tmp");
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    SaveEnv("XDG_CONFIG_HOME", (root_ / "xdg").string());
    SaveEnv("TMPDIR", (root_ / "tmp").string());
    out_ = std::tmpfile();
    err_ = std::tmpfile();
  }
  void TearDown() override {
    std::fclose(out_);
    std::fclose(err_);
    fs::current_path(oldCwd_);
    for (auto& [name, value] : savedEnv_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
    fs::remove_all(root_);
    ClearDrawingRegistry();
    SetGraphics(nullptr);
    SetDrawings(nullptr);
    ResetProgramState();
    BaseTest::TearDown();
  }
  void SaveEnv(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    savedEnv_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "wzeb1");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return RunProgram(static_cast<int>(argv.size()), argv.data(), out_, err_);
  }
  static std::string Text(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
  }
  // Copies an example into the working directory as name.
  void CopyExample(const char* example, const std::string& name) {
    fs::copy_file(SourceDir() / "examples" / example, root_ / "work" / name);
  }
  // A configuration in the working directory whose data folder is `data`.
  void WriteConfigWithDataFolder(const fs::path& data) {
    ResetConfigDefaults();
    Config().DefaultDataFolder = data.string() + "/";
    G().TempFolder = (root_ / "tmp").string() + "/";
    G().HelpFolder = data.string() + "/";
    G().DbfFolder = data.string() + "/";
    CadSettings().CadFolder = (root_ / "work").string() + "/";
    Config().EdiFolder = data.string() + "/";
    G().AbortFlag = 0;
    WriteConfigFile((root_ / "work" / "zeb1.cfg").string());
    ASSERT_EQ(G().AbortFlag, 0);
  }
  std::string Recorded() const {
    std::string all;
    for (const std::string& c : dynamic_cast<RecordingGraphics&>(Graphics()).Calls()) all += c + "\n";
    return all;
  }

  fs::path root_;
  fs::path oldCwd_;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
};

TEST_F(ProgramTest, UsageGoesToOutput) {
  EXPECT_EQ(Run({"/?"}), 0);
  const std::string out = Text(out_);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 21);
  EXPECT_NE(out.find("wzeb1 Filename [/I] [/CADi:j] [/NOGUI]\n"), std::string::npos);
  EXPECT_EQ(G().LineTable[1], "ZEB1 Command Line Mode");
  EXPECT_EQ(Run({"?"}), 0);
}

// Without parameters and without a template: an unnamed data set with the
// defaults, calculated once, not modified; the caption is the title alone.
TEST_F(ProgramTest, StartWithoutTemplate) {
  const fs::path data = root_ / "data";
  fs::create_directories(data);
  WriteConfigWithDataFolder(data);
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
  const fs::path data = root_ / "data";
  fs::create_directories(data);
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", data / "null.zeb");
  WriteBytes(data / "start.plt", "IN;");
  WriteConfigWithDataFolder(data);
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(SpringData().d, 5.0L);
  EXPECT_EQ(G().CurrentFileName, "");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_NE(Recorded().find("GrafClear()\nShowHelpPictureFile(start)"), std::string::npos);
}

// "/E" starts with the name and does not read the file.
TEST_F(ProgramTest, EditSwitchDoesNotRead) {
  WriteBytes(root_ / "work" / "t.zeb", "not a spring file");
  const fs::path data = root_ / "data";
  fs::create_directories(data);
  WriteConfigWithDataFolder(data);
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

// An unreadable file is offered for overwriting; Yes starts with it and
// the file is still there, unchanged; No ends the program.
TEST_F(ProgramTest, UnreadableFileSurvives) {
  const fs::path bad = root_ / "work" / "bad.zeb";
  WriteBytes(bad, "garbage\r\n");
  ui().ExpectQuestion("", "existiert bereits", Answer::Yes);
  EXPECT_EQ(Run({"bad.zeb"}), 0);
  EXPECT_EQ(G().CommandLineFileLoaded, 1);
  EXPECT_EQ(ReadBytes(bad), "garbage\r\n");
  ui().ExpectQuestion("", "existiert bereits", Answer::No);
  const unsigned long long calcs = CalculationCount();
  EXPECT_EQ(Run({"bad.zeb"}), 0);
  EXPECT_EQ(CalculationCount(), calcs + 0u);  // ended before the start calculation
  EXPECT_EQ(ReadBytes(bad), "garbage\r\n");
  // A missing name is creatable: no question.
  EXPECT_EQ(Run({"new.zeb"}), 0);
  EXPECT_FALSE(fs::exists(root_ / "work" / "new.zeb"));
}

// "/I": the printout as TXT beside in the working directory under the
// bare name; a missing file gives 1; a fatal spring 2 with its messages.
TEST_F(ProgramTest, PrintoutMode) {
  fs::create_directories(root_ / "work" / "sub");
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", root_ / "work" / "sub" / "t.zeb");
  EXPECT_EQ(Run({"sub/t.zeb", "/I", "/NOGUI"}), 0);
  EXPECT_EQ(G().CurrentFileName, "t");
  const std::string txt = ReadBytes(root_ / "work" / "t.txt");
  EXPECT_NE(txt.find("16.18"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "work" / "sub" / "t.txt"));

  ui().ExpectMessageBox("", "missing.zeb");
  EXPECT_EQ(Run({"missing.zeb", "/I"}), 1);
  EXPECT_FALSE(fs::exists(root_ / "work" / "missing.txt"));

  ui().ExpectMessageBox("", "");
  EXPECT_EQ(Run({"", "-i"}), 1);
}

TEST_F(ProgramTest, FatalSpringWritesNothing) {
  InitProgramUnits();
  InitProgramIdentity();
  MakeRoundStatic();
  SpringData().F2 = 10.0L;  // below F1: no rate
  WriteBytes(root_ / "work" / "f.zeb", FormatSpringFile(CurrentSpringFileRecords()));
  EXPECT_EQ(Run({"f.zeb", "/I"}), 2);
  EXPECT_FALSE(fs::exists(root_ / "work" / "f.txt"));
  EXPECT_NE(Text(err_).find("Fatal  : F2 <= F1 !"), std::string::npos);
  EXPECT_EQ(Run({"f.zeb", "/CAD1:1"}), 2);
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

  ui().ExpectMessageBox("Fehler", "Zeichnung Nr. 99: keine Ausgabe");
  EXPECT_EQ(Run({"t.zeb", "/CAD1:99"}), 2);
  ui().ExpectMessageBox("Fehler", "Zeichnung Nr. 9: keine Ausgabe");
  EXPECT_EQ(Run({"t.zeb", "/CAD1:9"}), 2);
  ui().ExpectMessageBox("Fehler", "CAD-Code \"3\"");
  EXPECT_EQ(Run({"t.zeb", "/CAD3:3"}), 2);
  ui().ExpectMessageBox("Fehler", "CAD-Code \"\"");
  EXPECT_EQ(Run({"t.zeb", "/CAD"}), 2);
  ui().ExpectMessageBox("Fehler", "Zeichnung Nr. 99999999999");
  EXPECT_EQ(Run({"t.zeb", "/CAD1:99999999999"}), 2);
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
