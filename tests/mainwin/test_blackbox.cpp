// The real wzeb1 from outside: a temporary working directory, its own
// XDG_CONFIG_HOME and TMPDIR, a 10 s limit per run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/globals.h"
#include "graphics/cadsettings.h"
#include "mainwin/config.h"
#include "mainwin/program.h"
#include "program_fixture.h"
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
  RunResult Run(const std::vector<std::string>& args, std::optional<rlim_t> fileSizeLimit = std::nullopt) {
    const fs::path outPath = root_ / "stdout", errPath = root_ / "stderr";
    std::vector<std::string> all = {ZEB1_WZEB1};
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

TEST_F(BlackBoxTest, PrintoutSwitches) {
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

TEST_F(BlackBoxTest, CadIndexWithoutOutput) {
  CopyExample("round_static.zeb", "t.zeb");
  RunResult r = Run({"t.zeb", "/CAD1:99"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("99"), std::string::npos) << r.err;
  // "-cad1:3" is "/CAD1:3" (drawing 3 is not available yet).
  const RunResult upper = Run({"t.zeb", "/CAD1:3"});
  r = Run({"t.zeb", "-cad1:3"});
  EXPECT_EQ(r.exitCode, upper.exitCode);
  EXPECT_EQ(r.err, upper.err);
  EXPECT_NE(r.err.find("Zeichnung Nr. 3"), std::string::npos) << r.err;
  for (const char* p : {"/CAD", "/CADx:y", "/CAD1:", "/CAD1:1x", "/CAD1:99999999999", "/CAD3:1", "/CAD0:1"}) {
    SCOPED_TRACE(p);
    r = Run({"t.zeb", p});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err, "");
  }
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"t.zeb"});
}

// A configuration whose DBF, PLT and temporary folders are missing: the
// folder errors on stderr, the temporary folder's question cancelled, and
// no printout (its temporary file cannot be written).
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
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("ungültiger DBF Ordner konfiguriert"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ungültiger PLT Ordner konfiguriert"), std::string::npos);
  EXPECT_NE(r.err.find("ungültiger Ordner für temporäre Dateien konfiguriert"), std::string::npos);
  EXPECT_FALSE(fs::exists(work_ / "t.txt"));
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

}  // namespace
