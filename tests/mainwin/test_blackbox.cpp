// The real wzeb1 from outside: a temporary working directory, its own
// XDG_CONFIG_HOME and TMPDIR, a 10 s limit per run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/globals.h"
#include "base/support_clock.h"
#include "base/support_shell.h"
#include "graphics/cadsettings.h"
#include "graphics/support_checkers.h"
#include "mainwin/program.h"
#include "program_fixture.h"
#include "settings/config.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program under test"
#endif

namespace fs = std::filesystem;

namespace {

using zeb::test::ReadBytes;
using zeb::test::SourceDir;
using zeb::test::WriteBytes;

struct RunResult {
  int exitCode = -1;  // -1: killed or did not end in time
  bool timedOut = false;
  std::string out, err;
};

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

class BlackBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(ZEB1_WZEB1)) << ZEB1_WZEB1;
    root_ = zeb::test::FreshTestFolder("zeb1_bb_", {"work", "xdg", "tmp"});
    work_ = root_ / "work";
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs wzeb1 with args in the working directory.
  RunResult Run(const std::vector<std::string>& args, std::optional<rlim_t> fileSizeLimit = std::nullopt,
                const std::vector<std::pair<std::string, std::string>>& env = {}, const std::string& program = ZEB1_WZEB1) {
    const fs::path outPath = root_ / "stdout", errPath = root_ / "stderr";
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string xdg = (root_ / "xdg").string(), tmp = (root_ / "tmp").string();

    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(work_.c_str()) != 0) ::_exit(120);
      ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
      ::setenv("TMPDIR", tmp.c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
      const int o = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (o < 0 || e < 0) ::_exit(121);
      ::dup2(o, 1);
      ::dup2(e, 2);
      if (fileSizeLimit) {
        struct rlimit rl {*fileSizeLimit, *fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
      }
      ::execv(argv[0], argv.data());
      ::_exit(122);
    }
    RunResult r;
    if (pid < 0) return r;
    // Hang bound: a run takes a tenth of a second here, on two busy cores too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    for (;;) {
      const pid_t w = ::waitpid(pid, &status, WNOHANG);
      if (w == pid) break;
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        r.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!r.timedOut && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.out = ReadBytes(outPath);
    r.err = ReadBytes(errPath);
    return r;
  }

  void CopyExample(const char* example, const std::string& name) {
    fs::copy_file(SourceDir() / "examples" / example, work_ / name, fs::copy_options::overwrite_existing);
  }
  // The work directory holds only these names.
  std::vector<std::string> WorkFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(work_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_, work_;
};

// The value of a TXT row "label<TAB>symbol<TAB>unit<TAB>value".
std::string RowValue(const std::string& txt, const std::string& head) {
  const std::size_t p = txt.find("\n" + head);
  if (p == std::string::npos) return {};
  const std::size_t b = p + 1 + head.size();
  return txt.substr(b, txt.find("\r\n", b) - b);
}

CLOCK_TEST_F(BlackBoxTest, PrintoutSwitches) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"t.zeb", "/I", "/NOGUI"}, {"t.zeb", "/i"}, {"t.zeb", "-I"}, {"t.zeb", "-i", "/nogui"}}) {
    SCOPED_TRACE(args[1]);
    fs::remove(work_ / "t.txt");
    CopyExample("round_dynamic.zeb", "t.zeb");
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string txt = ReadBytes(work_ / "t.txt");
    ASSERT_FALSE(txt.empty());
    // TXT layout: tab-separated, CR LF, no frames, no page indent.
    EXPECT_EQ(txt.find("$!$"), std::string::npos);
    EXPECT_EQ(txt.find("\n       "), std::string::npos);
    EXPECT_NE(txt.find("\r\n"), std::string::npos);
    // Windows-1252: the degree sign is 0xB0, no code page 850 0xF8.
    EXPECT_NE(txt.find("\t\xb0" "C\t"), std::string::npos);
    EXPECT_EQ(txt.find('\xf8'), std::string::npos);
    // Derived values, worked out by hand: R = 16.18, s2 = 38.32.
    EXPECT_NE(RowValue(txt, "Federrate\tR\tN/mm\t").find("16.18"), std::string::npos);
    EXPECT_NE(RowValue(txt, "Federweg\ts2\tmm\t").find("38.32"), std::string::npos);
    EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"t.txt", "t.zeb"}));
  }
}

// Printout head, drawing footer and IGES file date are read from one clock:
// SOURCE_DATE_EPOCH, in UTC whatever the zone.
CLOCK_TEST_F(BlackBoxTest, StampsAtOddMoments) {
  struct Moment {
    const char *epoch, *date, *time, *igesDate;
  };
  for (const Moment& m : {Moment{"1798761599", "31.12.2026", "23:59", "261231.235959"},
                          Moment{"1835438400", "29.02.2028", "12:00", "280229.120000"},
                          Moment{"2147483648", "19.01.2038", "3:14", "380119.031408"}}) {
    SCOPED_TRACE(m.epoch);
    CopyExample("round_dynamic.zeb", "t.zeb");
    const std::vector<std::pair<std::string, std::string>> env = {{"SOURCE_DATE_EPOCH", m.epoch},
                                                                  {"TZ", "Pacific/Kiritimati"}};
    RunResult r = Run({"t.zeb", "/I"}, std::nullopt, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string txt = ReadBytes(work_ / "t.txt");
    EXPECT_EQ(txt.substr(txt.find('\t'), txt.find("\r\n") - txt.find('\t')),
              std::string("\t") + m.date + "\t" + m.time);
    r = Run({"t.zeb", "/CAD5:16"}, std::nullopt, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(ReadBytes(work_ / "t.txt").find(std::string("\t") + m.date + " " + m.time + "\r\n"), std::string::npos);
    r = Run({"t.zeb", "/CAD2:16"}, std::nullopt, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(ReadBytes(work_ / "t.igs").find(std::string("13H") + m.igesDate + ","), std::string::npos);
    fs::remove(work_ / "t.txt");
    fs::remove(work_ / "t.igs");
  }
}

TEST_F(BlackBoxTest, UnreadableInputExitsOne) {
  fs::create_directories(work_ / "d.zeb");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"missing.zeb", "/I"}, {"d.zeb", "/I"}, {"missing.zeb", "/CAD1:1"}, {"", "/I"}}) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err, "");
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"d.zeb"});
  }
}

TEST_F(BlackBoxTest, FatalSpringAndFullDiskExitTwo) {
  zeb::ResetBaseGlobals();
  zeb::ResetSpringGlobals();
  zeb::SpringData().F1 = 100;
  zeb::SpringData().F2 = 50;  // F2 < F1: no rate
  WriteBytes(work_ / "f.zeb", zeb::FormatSpringFile(zeb::CurrentSpringFileRecords()));
  RunResult r = Run({"f.zeb", "/I", "/NOGUI"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("Fatal"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(work_ / "f.txt"));

  // Output stopped by the file-size limit.
  CopyExample("round_dynamic.zeb", "t.zeb");
  r = Run({"t.zeb", "/I"}, 1024);
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_FALSE(r.timedOut);
  EXPECT_FALSE(fs::exists(work_ / "t.txt"));
  for (const auto& e : fs::directory_iterator(work_))
    EXPECT_TRUE(e.path().extension() == ".zeb") << e.path();
}

TEST_F(BlackBoxTest, Usage) {
  for (const char* p : {"/?", "?"}) {
    const RunResult r = Run({p});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Lines(r.out), 21) << r.out;
    EXPECT_EQ(r.out.substr(0, 23), "ZEB1 Command Line Mode\n");
    EXPECT_NE(r.out.find("\nwzeb1 Filename [/I] [/CADi:j] [/NOGUI]\n"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(BlackBoxTest, MissingExtension) {
  // The name part decides: "dir.x/t" has no extension either.
  fs::create_directories(work_ / "dir.x");
  for (const char* p : {"-?", "t", "./t", "dir.x/t", ""}) {
    SCOPED_TRACE(p);
    const RunResult r = Run({p, "/NOGUI"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("Erweiterung .zeb muß mit angegeben werden"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// "/NOGUI" without an output switch reads and calculates the file and
// writes nothing, exit 0; a file it cannot read ends so too.
TEST_F(BlackBoxTest, NoGuiWithoutOutputWritesNothing) {
  CopyExample("round_dynamic.zeb", "t.zeb");
  RunResult r = Run({"t.zeb", "/NOGUI"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = Run({"missing.zeb", "/NOGUI"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"t.zeb"});
}

// An output switch takes a name without extension as the file of exactly
// that name, else as that name with ".zeb"; with neither there it names
// both and writes nothing.
TEST_F(BlackBoxTest, OutputOfANameWithoutExtension) {
  const auto rate = [&](const std::string& txt) { return RowValue(ReadBytes(work_ / txt), "Federrate\tR\tN/mm\t"); };
  CopyExample("round_dynamic.zeb", "noext");
  RunResult r = Run({"noext", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(rate("noext.txt").find("16.18"), std::string::npos);  // R by hand
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"noext", "noext.txt"}));

  // Beside a spring file of that name with ".zeb" the exact name still wins.
  CopyExample("round_static.zeb", "noext.zeb");
  fs::remove(work_ / "noext.txt");
  r = Run({"noext", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(rate("noext.txt").find("16.18"), std::string::npos);

  fs::remove(work_ / "noext");
  fs::remove(work_ / "noext.txt");
  r = Run({"noext", "/CAD1:16"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"noext.dxf", "noext.zeb"}));
  r = Run({"noext", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(rate("noext.txt"), "2.397");  // round_static: 81500 * 2^4 / (8 * 20^3 * 8.5)

  r = Run({"none", "/I"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Datei none oder none.zeb nicht gefunden"), std::string::npos) << r.err;
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"noext.dxf", "noext.txt", "noext.zeb"}));
}

TEST_F(BlackBoxTest, CadIndexWithoutOutput) {
  CopyExample("round_static.zeb", "t.zeb");
  RunResult r = Run({"t.zeb", "/CAD1:99"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("99"), std::string::npos) << r.err;
  // "-cad1:9" is "/CAD1:9" (drawing 9 has no output).
  const RunResult upper = Run({"t.zeb", "/CAD1:9"});
  r = Run({"t.zeb", "-cad1:9"});
  EXPECT_EQ(r.exitCode, upper.exitCode);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, upper.err);
  EXPECT_NE(r.err.find("Zeichnung Nr. 9: keine Ausgabe"), std::string::npos) << r.err;
  for (const char* p : {"/CAD", "/CADx:y", "/CAD1:", "/CAD1:1x", "/CAD1:99999999999", "/CAD3:1", "/CAD0:1"}) {
    SCOPED_TRACE(p);
    r = Run({"t.zeb", p});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err, "");
  }
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"t.zeb"});
}

// Every diagram index of every example in every file format, each run in a
// fresh folder: exit 0 and a file both peer checkers accept, except the
// refusals (non-round wire for 5, 6 and 8; load frequency 0 for 8; no
// relaxation data for 11, which says so), which exit 2 and write
// nothing.
TEST_F(BlackBoxTest, EveryDiagramIndexOfEveryExample) {
  const fs::path keep = root_ / "written";
  fs::create_directories(keep);
  std::vector<std::string> dxf, igs;
  int runs = 0, examples = 0;
  for (const auto& e : fs::directory_iterator(SourceDir() / "examples")) {
    if (e.path().extension() != ".zeb") continue;
    ++examples;
    const std::string stem = e.path().stem().string();
    for (int i : {1, 2, 5}) {
      for (int j : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11}) {
        SCOPED_TRACE(stem + " /CAD" + std::to_string(i) + ":" + std::to_string(j));
        fs::remove_all(work_);
        fs::create_directories(work_);
        CopyExample(e.path().filename().string().c_str(), "t.zeb");
        const RunResult r = Run({"t.zeb", "/CAD" + std::to_string(i) + ":" + std::to_string(j)});
        ++runs;
        ASSERT_FALSE(r.timedOut);
        const std::string ext = i == 1 ? ".dxf" : i == 2 ? ".igs" : ".txt";
        const bool roundOnly = r.err.find("nur f\xC3\xBCr runden Drahtquerschnitt") != std::string::npos;
        const bool noFrequency = r.err.find("Fehler : f = 0 !") != std::string::npos;
        if ((roundOnly && (j == 5 || j == 6 || j == 8) && stem == "rectangular") || (noFrequency && j == 8) ||
            j == 11) {
          EXPECT_EQ(r.exitCode, 2);
          EXPECT_EQ(WorkFiles(), std::vector<std::string>{"t.zeb"});
          if (j == 11) {
            EXPECT_EQ(r.err, "Meldung: Keine Relaxationsdaten f\xC3\xBCr diesen Werkstoff\n");
          }
          continue;
        }
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_TRUE(fs::exists(work_ / ("t" + ext)));
        const fs::path copy = keep / (stem + "_" + std::to_string(j) + ext);
        fs::copy_file(work_ / ("t" + ext), copy);
        if (i == 1) dxf.push_back(copy.string());
        if (i == 2) igs.push_back(copy.string());
      }
    }
  }
  EXPECT_GE(examples, 5);
  EXPECT_EQ(runs, examples * 30);
  std::string out;
  for (const std::string& f : dxf) {
    const int rc = zeb::test::RunCommand("ogrinfo -ro -al -so " + zeb::test::ShellQuote(f) + " 2>&1", out);
    EXPECT_TRUE(rc == 0 && out.find("Feature Count:") != std::string::npos && out.find("\nERROR") == std::string::npos &&
                out.rfind("ERROR", 0) != 0)
        << f << "\n" << out;
  }
  const zeb::test::CheckResult dxfCheck = zeb::test::RunDxfCheck(dxf);
  const zeb::test::CheckResult igsCheck = zeb::test::CheckIges(igs);
  if (dxfCheck.missing || igsCheck.missing)
    GTEST_SKIP() << "checker tools missing (" << zeb::test::ToolsDir() << ")\n" << dxfCheck.Report() << igsCheck.Report();
  EXPECT_TRUE(dxfCheck.ok) << dxfCheck.Report();
  EXPECT_TRUE(igsCheck.ok) << igsCheck.Report();
}

// A configuration whose DBF, PLT and temporary folders are missing: the
// folder errors on stderr, the temporary folder's question cancelled, and
// the printout delivered all the same (it needs no temporary file).
TEST_F(BlackBoxTest, MissingFolders) {
  zeb::ResetBaseGlobals();
  zeb::ResetConfigDefaults();
  zeb::G().DbfFolder = (root_ / "nodbf").string() + "/";
  zeb::G().HelpFolder = (root_ / "noplt").string() + "/";
  zeb::G().TempFolder = (root_ / "notmp").string() + "/";
  zeb::Config().DefaultDataFolder = work_.string() + "/";
  zeb::Config().EdiFolder = work_.string() + "/";
  zeb::CadSettings().CadFolder = work_.string() + "/";
  zeb::G().AbortFlag = 0;
  zeb::WriteConfigFile((work_ / "zeb1.cfg").string());
  ASSERT_EQ(zeb::G().AbortFlag, 0);
  CopyExample("round_dynamic.zeb", "t.zeb");
  const RunResult r = Run({"t.zeb", "/I", "/NOGUI"});
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("ungültiger DBF Ordner konfiguriert"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ungültiger PLT Ordner konfiguriert"), std::string::npos);
  EXPECT_NE(r.err.find("ungültiger Ordner für temporäre Dateien konfiguriert"), std::string::npos);
  EXPECT_TRUE(fs::exists(work_ / "t.txt"));
  EXPECT_FALSE(fs::exists(root_ / "notmp"));
}

// A spring naming table material 5 takes it from the generated table: its
// Rm law and its fatigue law (no missing-diagram warning).
TEST_F(BlackBoxTest, TableMaterialComesFromTheShippedTable) {
  const RunResult r = Run({(SourceDir() / "examples" / "table_material.zeb").string(), "/I"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string txt = ReadBytes(work_ / "table_material.txt");
  EXPECT_NE(txt.find("EN 10270-1 DH"), std::string::npos);
  // Row 5 of materials.csv: Rm0 2154, RmSlope 819, DR0 1; d = 5 mm.
  const double rm = 2154 - 819 * std::log10(5.0);
  auto value = [&](const std::string& head) {
    const std::string v = RowValue(txt, head);
    return v.substr(std::min(v.size(), v.find_first_not_of(' ')));
  };
  EXPECT_EQ(value("Zugfestigkeit\tRm\tMPa\t"), std::to_string(std::lround(rm)));
  EXPECT_EQ(value("zul. Schubspannung\ttauz\tMPa\t"), std::to_string(std::lround(0.56 * rm)));
  EXPECT_EQ(txt.find("Goodman"), std::string::npos);
  EXPECT_EQ(txt.find("Fatal"), std::string::npos);
}

// A configuration naming an empty DBF folder: the missing table and the
// run stopping there reach stderr.
TEST_F(BlackBoxTest, TableMaterialWithoutTables) {
  fs::create_directories(root_ / "emptydbf");
  zeb::ResetBaseGlobals();
  zeb::ResetConfigDefaults();
  zeb::G().DbfFolder = (root_ / "emptydbf").string() + "/";
  zeb::G().HelpFolder = work_.string() + "/";
  zeb::G().TempFolder = (root_ / "tmp").string() + "/";
  zeb::Config().DefaultDataFolder = work_.string() + "/";
  zeb::Config().EdiFolder = work_.string() + "/";
  zeb::CadSettings().CadFolder = work_.string() + "/";
  zeb::G().AbortFlag = 0;
  zeb::WriteConfigFile((work_ / "zeb1.cfg").string());
  ASSERT_EQ(zeb::G().AbortFlag, 0);
  CopyExample("table_material.zeb", "t.zeb");
  const RunResult r = Run({"t.zeb", "/I", "/NOGUI"});
  EXPECT_FALSE(r.timedOut);
  EXPECT_NE(r.err.find("zebwst.dbf nicht gefunden oder kein Zugriffsrecht"), std::string::npos) << r.err;
  // Nothing is calculated on a material that could not be read.
  EXPECT_NE(r.err.find("Fatal  : ZEBWST DBF error"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Rm = 0"), std::string::npos) << r.err;
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_FALSE(fs::exists(root_ / "emptydbf" / "TEST.$$$"));
}

// On a fresh clone (no configuration anywhere) every example prints.
TEST_F(BlackBoxTest, EveryExamplePrints) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(SourceDir() / "examples")) {
    if (e.path().extension() != ".zeb") continue;
    ++n;
    SCOPED_TRACE(e.path().string());
    const RunResult r = Run({e.path().string(), "/I"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    const fs::path txt = work_ / (e.path().stem().string() + ".txt");
    EXPECT_GT(fs::file_size(txt), 1000u);
  }
  EXPECT_GE(n, 5);
}

// Names with blanks and bytes outside ASCII.
TEST_F(BlackBoxTest, OddNames) {
  for (const std::string name : {"my spring.zeb", "sp\xc3\xa4" "ter.zeb", "raw\xe4\xff.zeb", "two.dots.zeb"}) {
    SCOPED_TRACE(name);
    CopyExample("round_static.zeb", name);
    const RunResult r = Run({name, "/I"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(work_ / (name.substr(0, name.size() - 4) + ".txt")));
  }
}

// An output is written under its exact name: a file whose name differs
// only in case is another file, and the spring file itself is never replaced.
TEST_F(BlackBoxTest, OutputsKeepOtherFiles) {
  CopyExample("round_dynamic.zeb", "s.zeb");
  WriteBytes(work_ / "S.TXT", "precious");
  RunResult r = Run({"s.zeb", "/I", "/NOGUI"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(work_ / "S.TXT"), "precious");
  const std::string txt = ReadBytes(work_ / "s.txt");
  // The head names the delivered file, not a temporary one.
  const std::size_t line2 = txt.find("\r\n") + 2;
  EXPECT_EQ(txt.substr(line2, txt.find("\r\n", line2) - line2), "s.txt");

  // A spring file "S.TXT" prints to "S.txt" and stays as it was.
  fs::remove(work_ / "S.TXT");
  CopyExample("round_dynamic.zeb", "S.TXT");
  const std::string spring = ReadBytes(work_ / "S.TXT");
  r = Run({"S.TXT", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(work_ / "S.TXT"), spring);
  EXPECT_GT(fs::file_size(work_ / "S.txt"), 1000u);

  // A spring file "p.txt" would be its own printout: refused.
  CopyExample("round_dynamic.zeb", "p.txt");
  r = Run({"p.txt", "/I"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("p.txt"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(work_ / "p.txt"), spring);
}

// An output name held by a FIFO, a device, a folder or a link to one is
// refused at once with its name; nothing is left behind.
TEST_F(BlackBoxTest, NonRegularOutputsAreRefused) {
  CopyExample("round_dynamic.zeb", "s.zeb");
  const auto check = [&](const std::vector<std::string>& args, const std::string& name) {
    SCOPED_TRACE(args[1] + " over " + name);
    const RunResult r = Run(args);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
  };
  ASSERT_EQ(::mkfifo((work_ / "s.txt").c_str(), 0600), 0);
  check({"s.zeb", "/I", "/NOGUI"}, "s.txt");
  fs::remove(work_ / "s.txt");
  fs::create_directory(work_ / "s.txt");
  check({"s.zeb", "/I"}, "s.txt");
  fs::remove(work_ / "s.txt");
  fs::create_symlink("/dev/null", work_ / "s.txt");
  check({"s.zeb", "/I"}, "s.txt");
  ASSERT_EQ(::mkfifo((work_ / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", work_ / "s.dxf");
  check({"s.zeb", "/CAD1:12"}, "s.dxf");
  EXPECT_TRUE(fs::is_fifo(work_ / "fifo"));
  EXPECT_TRUE(fs::is_symlink(work_ / "s.txt"));
  // A read-only file keeps its bytes, whoever runs the program.
  WriteBytes(work_ / "s.dxf.keep", "alt");
  fs::remove(work_ / "s.dxf");
  fs::rename(work_ / "s.dxf.keep", work_ / "s.dxf");
  fs::permissions(work_ / "s.dxf", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  check({"s.zeb", "/CAD1:12"}, "s.dxf");
  EXPECT_EQ(ReadBytes(work_ / "s.dxf"), "alt");
}

// round_static.zeb with line `line` (from 1) holding `text`.
std::string RoundStaticWithLine(int line, const std::string& text) {
  std::string spring = ReadBytes(SourceDir() / "examples" / "round_static.zeb");
  std::size_t at = 0;
  for (int k = 1; k < line; ++k) at = spring.find("\r\n", at) + 2;
  spring.replace(at, spring.find("\r\n", at) - at, text);
  return spring;
}

// Inputs within their ranges whose results no reader of the files could
// take (a stroke of 1e-300 mm, a rate beyond a double): the calculation
// stops, nothing is written. An input beyond its range (a length of 1e4000)
// is refused with its line before any calculation.
TEST_F(BlackBoxTest, ResultsBeyondADoubleWriteNothing) {
  WriteBytes(work_ / "s.zeb", RoundStaticWithLine(57, "1e-300"));  // sh
  for (const std::string out : {"/I", "/CAD1:1", "/CAD2:16", "/CAD5:17"}) {
    const RunResult r = Run({"s.zeb", out});
    EXPECT_EQ(r.exitCode, 2) << out;
    EXPECT_NE(r.err.find("Fatal  : Zahlenbereich"), std::string::npos) << r.err;
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"s.zeb"}) << out;
  }
  WriteBytes(work_ / "s.zeb", RoundStaticWithLine(58, "1e4000"));  // L2
  const RunResult r = Run({"s.zeb", "/I"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Datei s.zeb, Zeile 58: erwartet: Zahl 0..1000000 (Einbaulänge L2), gelesen: \"1e4000\" !"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"s.zeb"});
}

// Forces, deviations, the wire tolerance and the set length hold finite
// numbers with short texts, the peening line J or N, the switches TRUE or
// FALSE: anything else is named with its file and line, exit 1, no file.
TEST_F(BlackBoxTest, ResultLinesAndMarksAreNamedWithTheirLine) {
  const std::string digits41 = "12345678901234567890123456789012345678901";
  const struct {
    int line;
    std::string text, expected;
  } cases[] = {
      {56, "1e400", "Zahl -1e+15..1e+15 (Federkraft F2)"},
      {56, digits41, "Zahl -1e+15..1e+15 (Federkraft F2)"},
      {17, "-1e400", "Zahl -1e+15..1e+15 (Toleranz Durchmesser d)"},
      {19, digits41, "Zahl -1e+15..1e+15 (Toleranz max. Dm, De, Di)"},
      {45, "1e400", "Zahl -1e+15..1e+15 (Ls)"},
      {34, "x", "J oder N (Feder kugelgestrahlt)"},
      {28, "3", "ganze Zahl 1..2 (Art der Beanspruchung)"},
      {40, "9", "ganze Zahl 1..5 (Entgraten der Federenden)"},
  };
  for (const auto& c : cases) {
    WriteBytes(work_ / "s.zeb", RoundStaticWithLine(c.line, c.text));
    for (const std::string out : {"/I", "/CAD1:1"}) {
      SCOPED_TRACE(std::to_string(c.line) + " " + out);
      const RunResult r = Run({"s.zeb", out});
      EXPECT_EQ(r.exitCode, 1);
      const std::string shown = c.text.substr(0, 24) + (c.text.size() > 24 ? "..." : "");
      EXPECT_NE(r.err.find("Datei s.zeb, Zeile " + std::to_string(c.line) + ": erwartet: " + c.expected +
                           ", gelesen: \"" + shown + "\" !"),
                std::string::npos)
          << r.err;
      EXPECT_EQ(r.err.find("Zahlenbereich"), std::string::npos) << r.err;
      EXPECT_EQ(WorkFiles(), std::vector<std::string>{"s.zeb"});
    }
  }
  // Lower case is the same mark: peened, calculated and printed so.
  WriteBytes(work_ / "s.zeb", RoundStaticWithLine(34, "j"));
  RunResult r = Run({"s.zeb", "/I"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string peened = ReadBytes(work_ / "s.txt");
  EXPECT_NE(peened.find("kugelgestrahlt"), std::string::npos);
  fs::remove(work_ / "s.txt");
  WriteBytes(work_ / "s.zeb", RoundStaticWithLine(34, "J"));
  r = Run({"s.zeb", "/I"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(work_ / "s.txt"), peened);
  fs::remove(work_ / "s.txt");
}

// The output switch counts wherever it stands after the file name; any other
// switch ends a batch run with its name and the usage on stderr, exit 2.
TEST_F(BlackBoxTest, SwitchesAnywhere) {
  CopyExample("round_static.zeb", "s.zeb");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"s.zeb", "/NOGUI", "/I"}, {"/NOGUI", "s.zeb", "-i"}, {"s.zeb", "other", "/I"}}) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    fs::remove(work_ / "s.txt");
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_GT(fs::file_size(work_ / "s.txt"), 1000u);
  }
  fs::remove(work_ / "s.txt");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"s.zeb", "/l", "/NOGUI"}, {"s.zeb", "/Ix", "/NOGUI"}, {"s.zeb", "/I", "/CAD1:12"},
           {"s.zeb", "/I", "-x"}, {"s.zeb", "/E", "/I"}, {"s.zeb", "/NOGUI", "/E", "/I"}}) {
    const std::string bad = args[1] == "/I" || args[1] == "/NOGUI" ? args[2] : args[1];
    SCOPED_TRACE(args[1] + " " + args[2]);
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("\"" + bad + "\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("wzeb1 Filename [/I] [/CADi:j] [/NOGUI]"), std::string::npos) << r.err;
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"s.zeb"});
  }
}

// "Fatal  :" texts that do not stop the calculation reach stderr; the
// printout is written all the same. Material 1 of the shipped table has no
// strength law.
TEST_F(BlackBoxTest, FatalTextsOfAWrittenPrintout) {
  std::string spring = ReadBytes(SourceDir() / "examples" / "table_material.zeb");
  std::size_t at = spring.find("\r\nDokumente\r\n") + 2;
  for (int line = 0; line < 18 + 4; ++line) at = spring.find("\r\n", at) + 2;
  spring.replace(at, spring.find("\r\n", at) - at, "1");  // MaterialSource
  WriteBytes(work_ / "e.zeb", spring);
  const RunResult r = Run({"e.zeb", "/I", "/NOGUI"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Fatal  : DR0 = 0 !\n"), std::string::npos) << r.err;
  for (std::size_t p = 0; p < r.err.size(); p = r.err.find('\n', p) + 1)
    EXPECT_EQ(r.err.compare(p, 8, "Fatal  :"), 0) << r.err.substr(p);
  EXPECT_TRUE(fs::exists(work_ / "e.txt"));
}

// Without a configuration the data folder is the working folder: no folder
// error there, and nothing is written into the source tree.
CLOCK_TEST_F(BlackBoxTest, NoConfigurationWritesOnlyTheOutput) {
  const auto stamp = [](const fs::path& p) { return fs::last_write_time(p); };
  const fs::path examples = SourceDir() / "examples";
  const auto before = stamp(examples), rootBefore = stamp(SourceDir());
  CopyExample("round_static.zeb", "s.zeb");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"/?"}, {"s.zeb", "/I"}, {(examples / "round_static.zeb").string(), "/I"}}) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(stamp(examples), before);
  EXPECT_EQ(stamp(SourceDir()), rootBefore);
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"round_static.txt", "s.txt", "s.zeb"}));
}

// What a printout run costs the system: the delivered file and its folder
// flushed to disk once each, every file written in a few calls, no scratch
// folder for a spring that needs no scratch file, and no Qt library mapped
// by a batch run.
TEST_F(BlackBoxTest, BatchRunsSyncOnceAndLoadNoQt) {
  CopyExample("round_dynamic.zeb", "s.zeb");
  const std::string counts = (root_ / "counts").string();
  std::vector<std::pair<std::string, std::string>> env = zeb::test::PreloadEnvironment(ZEB1_SYSCOUNT);
  env.emplace_back("ZEB1_COUNT_OUT", counts);
  RunResult r = Run({"s.zeb", "/I", "/NOGUI"}, std::nullopt, env);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string c = ReadBytes(counts);
  EXPECT_NE(c.find("fsync 2\n"), std::string::npos) << c;
  EXPECT_NE(c.find("mkdir 0\n"), std::string::npos) << c;
  for (std::size_t p = c.find("write "); p != std::string::npos; p = c.find("write ", p + 1)) {
    const std::size_t end = c.find('\n', p);
    const int n = std::stoi(c.substr(c.rfind(' ', end) + 1));
    EXPECT_LE(n, 3) << c.substr(p, end - p);
  }
  EXPECT_EQ(c.find("map "), std::string::npos) << c;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"/?"}, {"s.zeb", "/CAD1:12"}}) {
    r = Run(args, std::nullopt, env);
    c = ReadBytes(counts);
    EXPECT_NE(c.find("fsync"), std::string::npos);
    EXPECT_EQ(c.find("map "), std::string::npos) << c;
  }
  // An interactive start maps Qt from the module beside the program.
  r = Run({}, std::nullopt, env);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadBytes(counts).find("libQt6Widgets"), std::string::npos);
}

// A printout of a spring with a table material makes no file under a name
// of its own but the printout, whose contents are written before it gets
// its name: the material and strength rows are found without index files,
// semaphore files or a scratch folder, the table folder's write test
// leaves no name, and the message help is read once however many messages
// it explains.
TEST_F(BlackBoxTest, TableMaterialPrintoutMakesOneFile) {
  CopyExample("table_material.zeb", "s.zeb");
  WriteBytes(work_ / "s.txt", "an old printout");
  const std::string counts = (root_ / "counts").string();
  std::vector<std::pair<std::string, std::string>> env = zeb::test::PreloadEnvironment(ZEB1_SYSCOUNT);
  env.emplace_back("ZEB1_COUNT_OUT", counts);
  const RunResult r = Run({"s.zeb", "/I", "/NOGUI"}, std::nullopt, env);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string c = ReadBytes(counts);
  EXPECT_NE(c.find("create 0\n"), std::string::npos) << c;
  EXPECT_NE(c.find("unnamed 2\n"), std::string::npos) << c;
  EXPECT_NE(c.find("mkdir 0\n"), std::string::npos) << c;
  const std::size_t err = c.find(".err ");
  ASSERT_NE(err, std::string::npos) << c;
  EXPECT_EQ(c.substr(err, c.find('\n', err) - err), ".err 1") << c;
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"s.txt", "s.zeb"}));
  EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
  // The material's values are in the printout (a quarter of the springs of
  // a batch have one).
  const std::string printout = ReadBytes(work_ / "s.txt");
  EXPECT_NE(printout.find("EN 10270-1"), std::string::npos) << printout;
  EXPECT_EQ(printout.find("an old printout"), std::string::npos);
}

// A printout run among 10,000 other files does not list the working folder
// to look for a configuration that is missing or there under its exact
// name (its time against a run alone: bench_cli_process). A configuration
// in capitals is read all the same.
TEST_F(BlackBoxTest, RunCostDoesNotGrowWithTheFolder) {
  const fs::path quiet = work_, crowd = root_ / "crowd";
  fs::create_directory(crowd);
  for (int k = 0; k < 10000; ++k) WriteBytes(crowd / ("spring" + std::to_string(k) + ".zeb"), "");
  CopyExample("round_dynamic.zeb", "s.zeb");
  fs::copy_file(quiet / "s.zeb", crowd / "s.zeb");
  const std::string counts = (root_ / "counts").string(), listed = "list " + fs::canonical(crowd).string() + " ";
  std::vector<std::pair<std::string, std::string>> env = zeb::test::PreloadEnvironment(ZEB1_SYSCOUNT);
  env.emplace_back("ZEB1_COUNT_OUT", counts);
  work_ = crowd;
  RunResult r = Run({"s.zeb", "/I", "/NOGUI"}, std::nullopt, env);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(crowd / "s.txt"));
  EXPECT_EQ(ReadBytes(counts).find(listed), std::string::npos) << ReadBytes(counts);
  // A configuration naming a missing table folder shows that it was read.
  zeb::ResetBaseGlobals();
  zeb::ResetConfigDefaults();
  zeb::G().DbfFolder = (root_ / "nodbf").string() + "/";
  zeb::Config().DefaultDataFolder = crowd.string() + "/";
  zeb::G().AbortFlag = 0;
  zeb::WriteConfigFile((crowd / "zeb1.cfg").string());
  ASSERT_EQ(zeb::G().AbortFlag, 0);
  r = Run({"s.zeb", "/I", "/NOGUI"}, std::nullopt, env);
  EXPECT_NE(r.err.find("ungültiger DBF Ordner konfiguriert"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(counts).find(listed), std::string::npos) << ReadBytes(counts);
  fs::rename(crowd / "zeb1.cfg", crowd / "ZEB1.CFG");
  r = Run({"s.zeb", "/I", "/NOGUI"}, std::nullopt, env);
  EXPECT_NE(r.err.find("ungültiger DBF Ordner konfiguriert"), std::string::npos) << r.err;
  work_ = quiet;
}

// Without its Qt module an interactive start says what is missing; batch
// runs do not need it.
TEST_F(BlackBoxTest, InteractiveStartWithoutModule) {
  const fs::path alone = root_ / "alone";
  fs::create_directory(alone);
  fs::copy_file(ZEB1_WZEB1, alone / "wzeb1");
  RunResult r = Run({}, std::nullopt, {}, (alone / "wzeb1").string());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("libwzeb1_qt.so"), std::string::npos) << r.err;
  CopyExample("round_static.zeb", "s.zeb");
  r = Run({"s.zeb", "/I"}, std::nullopt, {}, (alone / "wzeb1").string());
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// What an interactive start (offscreen it starts up and ends) looks up in
// vain: each name at most 8 times in all its spellings (the configuration,
// the session, the template spring, the logo blocks that the program
// writes into its own folder), in a small working folder, which lookups
// list at most once, and in one of 2,000 files, which they never list
// (the start lists the working folder once for leftovers of killed saves).
// A configuration in capitals is read all the same.
CLOCK_TEST_F(BlackBoxTest, InteractiveStartLooksUpEachNameAFewTimes) {
  const std::string counts = (root_ / "counts").string();
  std::vector<std::pair<std::string, std::string>> env = zeb::test::PreloadEnvironment(ZEB1_SYSCOUNT);
  env.emplace_back("ZEB1_COUNT_OUT", counts);
  const fs::path crowd = root_ / "crowd";
  fs::create_directory(crowd);
  for (int k = 0; k < 2000; ++k) WriteBytes(crowd / ("spring" + std::to_string(k) + ".zeb"), "");
  const auto settle = [](const fs::path& folder) {  // untouched for a minute
    const timespec past[2] = {{std::time(nullptr) - 60, 0}, {std::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), past, 0), 0) << folder;
  };
  // The counter writes missed paths folded to lower case.
  const auto folded = [](std::string t) {
    for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return t;
  };
  const std::string exeFolder = folded(fs::path(ZEB1_WZEB1).parent_path().string());
  const std::string rootFolder = folded(root_.string());
  const auto check = [&](const std::string& what) {
    const std::string c = ReadBytes(counts);
    ASSERT_FALSE(c.empty()) << what;
    int misses = 0;
    for (std::size_t p = c.find("miss "); p != std::string::npos; p = c.find("\nmiss ", p + 1)) {
      if (c[p] == '\n') ++p;
      const std::size_t end = c.find('\n', p), space = c.rfind(' ', end);
      const std::string path = c.substr(p + 5, space - p - 5);
      const int n = std::stoi(c.substr(space + 1, end - space - 1));
      // The program's own lookups: in the test's folders and beside it.
      if (path.rfind(rootFolder, 0) != 0 && path.rfind(exeFolder, 0) != 0) continue;
      ++misses;
      EXPECT_LE(n, 8) << what << ": " << path;
    }
    EXPECT_GT(misses, 0) << what << ": the lookups were not counted\n" << c;
    const auto listings = [&c](const fs::path& folder) {
      const std::string listed = "list " + fs::canonical(folder).string() + " ";
      const std::size_t l = c.find(listed);
      return l == std::string::npos ? 0 : std::stoi(c.substr(l + listed.size()));
    };
    EXPECT_LE(listings(work_), work_ == crowd ? 1 : 2) << what << "\n" << c;
  };
  for (const fs::path& folder : {root_ / "work", crowd}) {
    work_ = folder;
    CopyExample("round_dynamic.zeb", "s.zeb");
    settle(folder);
    RunResult r = Run({"s.zeb"}, std::nullopt, env);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    check(folder.filename().string() + " with a spring");
    settle(folder);
    r = Run({}, std::nullopt, env);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    check(folder.filename().string() + " alone");
  }
  // A configuration in capitals naming a missing table folder.
  zeb::ResetBaseGlobals();
  zeb::ResetConfigDefaults();
  zeb::G().DbfFolder = (root_ / "nodbf").string() + "/";
  zeb::Config().DefaultDataFolder = crowd.string() + "/";
  zeb::G().AbortFlag = 0;
  zeb::WriteConfigFile((crowd / "ZEB1.CFG").string());
  ASSERT_EQ(zeb::G().AbortFlag, 0);
  settle(crowd);
  const RunResult r = Run({"s.zeb"}, std::nullopt, env);
  EXPECT_NE(r.err.find("ungültiger DBF Ordner konfiguriert"), std::string::npos) << r.err;
  check("crowd with ZEB1.CFG");
  work_ = root_ / "work";
}

}  // namespace
