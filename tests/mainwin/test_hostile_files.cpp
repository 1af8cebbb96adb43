// The real wzeb1 among hostile files: links planted in a shared temporary
// folder, parallel runs on one temporary folder, FIFOs and devices where a
// file is expected. Each run has its own working folder, XDG_CONFIG_HOME
// and a 20 s limit.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/support_decimal.h"
#include "base/globals.h"
#include "base/support_clock.h"
#include "base/support_shell.h"
#include "graphics/cadsettings.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "program_fixture.h"
#include "settings/config.h"
#include "spring/springfile.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program under test"
#endif

namespace fs = std::filesystem;

namespace {

using zeb::test::ReadBytes;
using zeb::test::SourceDir;
using zeb::test::WriteBytes;

struct Ran {
  int exitCode = -1;  // -1: killed, or did not end in time
  std::string err;
  long maxRssKb = 0;  // the run's peak resident size
};

class HostileFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(ZEB1_WZEB1)) << ZEB1_WZEB1;
    root_ = zeb::test::FreshTestFolder("zeb1_hostile_", {"work", "xdg", "tmp", "victim", "plt"});
    work_ = root_ / "work";
    tmp_ = root_ / "tmp";
    // Qt's own runtime folder is not the program's: it goes to the XDG one.
    fs::permissions(root_ / "xdg", fs::perms::owner_all);
    // The runs read copies of the tables, named by the user's configuration.
    fs::create_directories(root_ / "dbf");
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, root_ / "dbf");
    fs::create_directories(root_ / "xdg" / "zeb1");
    WriteConfig(root_ / "plt", root_ / "xdg" / "zeb1" / "zeb1.cfg", root_ / "dbf");
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs wzeb1 in dir (default the work folder) with TMPDIR = tmp_ (env
  // entries "NAME=value" replace or add variables);
  // posix_spawn, so that the parallel test may start runs from threads.
  Ran Run(const std::vector<std::string>& args, const fs::path& dir = {}, const std::vector<std::string>& extraEnv = {}) {
    const fs::path cwd = dir.empty() ? work_ : dir;
    static std::atomic<int> runs{0};
    const fs::path errPath = root_ / (".stderr-" + std::to_string(runs++));
    std::vector<std::string> all = {ZEB1_WZEB1};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (root_ / "xdg").string(), "TMPDIR=" + tmp_.string(),
                                    "XDG_RUNTIME_DIR=" + (root_ / "xdg").string(), "QT_QPA_PLATFORM=offscreen",
                                    "PATH=/usr/bin:/bin", "HOME=" + root_.string()};
    // The test's clock, so that two printouts of one spring are alike.
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) env.push_back(std::string("SOURCE_DATE_EPOCH=") + epoch);
    for (const std::string& e : extraEnv) {
      const std::string name = e.substr(0, e.find('=') + 1);
      env.erase(std::remove_if(env.begin(), env.end(), [&](const std::string& v) { return v.rfind(name, 0) == 0; }),
                env.end());
      env.push_back(e);
    }
    pid_t pid = -1;
    const int spawned = zeb::test::SpawnInFolder(all, env, cwd.string(), errPath.string(), pid);
    Ran r;
    if (spawned != 0) return r;
    // Hang bound: a run takes a tenth of a second here, on two busy cores too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    rusage usage {};
    for (;;) {
      if (::wait4(pid, &status, WNOHANG, &usage) == pid) break;
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (status != -1 && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.maxRssKb = usage.ru_maxrss;
    r.err = ReadBytes(errPath);
    fs::remove(errPath);
    return r;
  }

  // A configuration (default: in the work folder): pictures from plt,
  // temporary files in tmp, everything else in the work folder.
  // A temporary folder left open is TMPDIR's (without temp).
  void WriteConfig(const fs::path& plt, const fs::path& file = {}, const fs::path& dbf = {}, bool temp = true) {
    zeb::ResetBaseGlobals();
    zeb::ResetConfigDefaults();
    zeb::G().DbfFolder = (dbf.empty() ? SourceDir() / "no-tables" : dbf).string() + "/";
    zeb::G().HelpFolder = plt.string() + "/";
    zeb::G().TempFolder = temp ? tmp_.string() + "/" : "";
    zeb::Config().DefaultDataFolder = work_.string() + "/";
    zeb::Config().EdiFolder = work_.string() + "/";
    zeb::CadSettings().CadFolder = work_.string() + "/";
    zeb::G().AbortFlag = 0;
    zeb::WriteConfigFile((file.empty() ? work_ / "zeb1.cfg" : file).string());
    ASSERT_EQ(zeb::G().AbortFlag, 0);
  }

  // Calls check(i, folder) for i = 0 .. n - 1 on four threads, each in a
  // folder of its own; what each call says is wrong ("" for nothing).
  std::vector<std::string> OnFourWorkers(std::size_t n,
                                         const std::function<std::string(std::size_t, const fs::path&)>& check) {
    std::atomic<std::size_t> next{0};
    std::vector<std::string> failures(n);
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
      const fs::path dir = root_ / ("worker" + std::to_string(w));
      fs::create_directories(dir);
      workers.emplace_back([&, dir] {
        for (std::size_t i; (i = next++) < n;) failures[i] = check(i, dir);
      });
    }
    for (std::thread& t : workers) t.join();
    return failures;
  }

  std::vector<std::string> TmpEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_, work_, tmp_;
};

// Every name the program has written into the temporary folder.
const std::vector<std::string> kScratchNames = {
    "$feder.dx$",  "$zebl1.dx$", "$zebl2.dx$",  "$goodman.dx$", "$FRAME_1.dx$", "$FRAME_2.dx$", "$LOGO_1.dx$",
    "$LOGO_2.dx$", "outwin.txt", "$$$1.txt",    "$$$2.txt",     "$$1.txt",      "$$2.txt",      "$$$.dbh",
    "zebwst.ndx",  "$OUT1.TMP",  "$tlmtemp",    "zebwst.dbf",   "zebrmmin.ndx", "zebrmmax.ndx"};

// Links under every scratch name in the shared temporary folder point at
// the victim's files: the batch runs leave them unchanged and put nothing
// of their own beside the links.
TEST_F(HostileFilesTest, PlantedLinksInTheTemporaryFolderReachNoFile) {
  std::map<std::string, std::string> victims;
  for (const std::string& name : kScratchNames) {
    const fs::path victim = root_ / "victim" / ("v" + std::to_string(victims.size()) + ".txt");
    const std::string bytes = "thesis chapter " + name + "\n";
    WriteBytes(victim, bytes);
    fs::create_symlink(victim, tmp_ / name);
    victims[victim.string()] = bytes;
  }
  const std::vector<std::string> planted = TmpEntries();
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {spring, "/I"}, {spring, "/CAD1:6"}, {spring, "/CAD1:16"}, {spring, "/CAD2:16"}}) {
    SCOPED_TRACE(args[1]);
    const Ran r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(TmpEntries(), planted);
  }
  const Ran start = Run({spring});
  EXPECT_EQ(start.exitCode, 0) << start.err;
  EXPECT_EQ(TmpEntries(), planted);
  for (const auto& [path, bytes] : victims) EXPECT_EQ(ReadBytes(path), bytes) << path;
}

// Eight workers run 100 table-material printouts each on one temporary
// folder: every run succeeds, and the folder is empty afterwards.
TEST_F(HostileFilesTest, ParallelTableRunsShareOneTemporaryFolder) {
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  std::vector<std::thread> workers;
  std::vector<int> failures(8, 0);
  std::vector<std::string> lastError(8);
  for (int w = 0; w < 8; ++w) {
    fs::create_directories(root_ / ("w" + std::to_string(w)));
    workers.emplace_back([&, w] {
      const fs::path dir = root_ / ("w" + std::to_string(w));
      for (int k = 0; k < 100; ++k) {
        const Ran r = Run({spring, "/I"}, dir);
        if (r.exitCode != 0) {
          ++failures[static_cast<std::size_t>(w)];
          lastError[static_cast<std::size_t>(w)] = r.err;
        }
      }
    });
  }
  for (std::thread& t : workers) t.join();
  for (int w = 0; w < 8; ++w) EXPECT_EQ(failures[static_cast<std::size_t>(w)], 0) << lastError[static_cast<std::size_t>(w)];
  EXPECT_TRUE(TmpEntries().empty());
}

// A FIFO as the template null.zeb or the start picture start.plt does not
// hold the start; a device as the template is named for what it is.
TEST_F(HostileFilesTest, FifosAndDevicesNeverHoldTheStart) {
  fs::create_directories(root_ / "plt");
  WriteConfig(root_ / "plt");
  ASSERT_EQ(::mkfifo((work_ / "null.zeb").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((root_ / "plt" / "start.plt").c_str(), 0600), 0);
  // Hang bound: the start takes a tenth of a second; a FIFO it waited on
  // would hold it until Run's own bound.
  const auto start = std::chrono::steady_clock::now();
  Ran r = Run({});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find((work_ / "null.zeb").string() + " ist keine reguläre Datei !"), std::string::npos) << r.err;

  fs::remove(work_ / "null.zeb");
  fs::create_symlink("/dev/zero", work_ / "null.zeb");
  r = Run({});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find((work_ / "null.zeb").string() + " ist keine reguläre Datei !"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("nicht gefunden"), std::string::npos) << r.err;
  EXPECT_TRUE(TmpEntries().empty());
}

// A configuration file of random bytes is named with its first bad line
// and none of it is taken: the printout is made with the defaults.
TEST_F(HostileFilesTest, DamagedConfigurationIsNamedWithItsFirstBadLine) {
  std::string noise;
  unsigned v = 12345;
  for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<char>((v = v * 1103515245u + 12345u) >> 16));
  WriteBytes(work_ / "zeb1.cfg", noise);
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  Ran r = Run({"t.zeb", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Konfigurationsdatei " + (work_ / "zeb1.cfg").string() + " beschädigt: Zeile 1 ungültig"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::exists(work_ / "t.txt"));

  // A title but bytes where a label stands: that line is named.
  WriteBytes(work_ / "zeb1.cfg", "zeb1 Konfiguration\r\nVersion 26.6\r\nLayer\r\n1\r\nFa\x01rbe\r\n2\r\n");
  r = Run({"t.zeb", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("beschädigt: Zeile 5 ungültig"), std::string::npos) << r.err;
  // Another text file: its first line is no configuration's title.
  WriteBytes(work_ / "zeb1.cfg", "[Settings]\r\nlayer=1\r\n");
  r = Run({"t.zeb", "/I"});
  EXPECT_NE(r.err.find("beschädigt: Zeile 1 ungültig"), std::string::npos) << r.err;

  // The file the program writes is read without a word.
  fs::remove(work_ / "zeb1.cfg");
  WriteConfig(root_ / "tmp");
  r = Run({"t.zeb", "/I"});
  EXPECT_EQ(r.err.find("Konfigurationsdatei"), std::string::npos) << r.err;
}

// Temporaries of saves that a kill left in the data folder go at the next
// interactive start: only the user's own regular files of exactly the
// program's name form (".name" + ".~zeb1~" + six letters or digits), only
// when untouched for ten minutes (a save of another session may be writing
// one now, also a slow one). The user's own dot files of similar names stay
// byte for byte.
CLOCK_TEST_F(HostileFilesTest, LeftoversOfKilledSavesGoAtStart) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  auto make = [&](const std::string& name, bool aged) {
    WriteBytes(work_ / name, "bytes of " + name);
    if (aged) fs::last_write_time(work_ / name, old);
  };
  const std::vector<std::string> users = {".spring.zeb.backup", ".Spring.ZEB.v2copy", ".plan.zeb.202401",
                                          ".s.zeb.AbC123",      ".feder 2.ZEB.x9Y8z7", ".s.zeb.~zeb1~AbC12",
                                          "s.zeb.~zeb1~AbC123", ".s.zeb.~zeb1~AbC1234", ".s.zeb.~zeb2~AbC123",
                                          ".~zeb1~AbC123"};
  for (const std::string& name : users) make(name, true);
  make(".s.zeb.~zeb1~AbC123", true);
  make(".feder 2.ZEB.~zeb1~x9Y8z7", true);
  make(".zeb1.cfg.~zeb1~Qw3rty", true);
  make(".s.zeb.~zeb1~Fresh1", false);  // a save running now
  make(".s.zeb.~zeb1~Slow12", false);  // a save slowed down for five minutes
  fs::last_write_time(work_ / ".s.zeb.~zeb1~Slow12", fs::file_time_type::clock::now() - std::chrono::minutes(5));
  make("keep.zeb", true);
  fs::create_symlink(work_ / "keep.zeb", work_ / ".l.zeb.~zeb1~AbC123");
  const bool root = ::geteuid() == 0;
  if (root) {
    make(".other.zeb.~zeb1~AbC123", true);
    ASSERT_EQ(::chown((work_ / ".other.zeb.~zeb1~AbC123").c_str(), 65534, 65534), 0);
  }
  const Ran batch = Run({"keep.zeb", "/I"});  // batch runs leave them
  EXPECT_TRUE(fs::exists(work_ / ".s.zeb.~zeb1~AbC123")) << batch.err;
  const Ran r = Run({});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::exists(work_ / ".s.zeb.~zeb1~AbC123"));
  EXPECT_FALSE(fs::exists(work_ / ".feder 2.ZEB.~zeb1~x9Y8z7"));
  EXPECT_FALSE(fs::exists(work_ / ".zeb1.cfg.~zeb1~Qw3rty"));
  for (const std::string& name : users) EXPECT_EQ(ReadBytes(work_ / name), "bytes of " + name) << name;
  for (const char* kept : {".s.zeb.~zeb1~Fresh1", ".s.zeb.~zeb1~Slow12", "keep.zeb"})
    EXPECT_TRUE(fs::exists(work_ / kept)) << kept;
  EXPECT_TRUE(fs::is_symlink(work_ / ".l.zeb.~zeb1~AbC123"));
  if (root) {
    EXPECT_TRUE(fs::exists(work_ / ".other.zeb.~zeb1~AbC123"));
  }
}

// A run of the program's own kind that made its folder in the temporary
// folder, wrote into it and waits; its pid.
pid_t StartRunThatWaits(const fs::path& tmp, std::string& folder) {
  int pipeFd[2];
  if (::pipe(pipeFd) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFd[0]);
    ::alarm(60);
    if (zeb::MakeRunFolder(tmp.string()) != 0) ::_exit(1);
    WriteBytes(zeb::RunFolder() + "/$feder.dx$", "block");
    const std::string name = zeb::RunFolder() + "\n";
    if (::write(pipeFd[1], name.data(), name.size()) < 0) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(pipeFd[1]);
  char c;
  while (::read(pipeFd[0], &c, 1) == 1 && c != '\n') folder += c;
  ::close(pipeFd[0]);
  return pid;
}

// The folders of runs killed with SIGKILL go with the user's next run,
// whatever it is (here a printout that needs no folder of its own); a live
// run's folder and another user's folder stay.
TEST_F(HostileFilesTest, KilledRunsFoldersGoWithTheNextRun) {
  for (int k = 0; k < 20; ++k) {
    std::string folder;
    const pid_t pid = StartRunThatWaits(tmp_, folder);
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
  }
  ASSERT_EQ(TmpEntries().size(), 20u);
  std::string liveFolder;
  const pid_t live = StartRunThatWaits(tmp_, liveFolder);
  ASSERT_GT(live, 0);
  std::vector<std::string> kept = {fs::path(liveFolder).filename().string()};
  if (::geteuid() == 0) {
    // Another user's folder of a killed run.
    fs::create_directory(tmp_ / "zeb1-Nobody");
    WriteBytes(tmp_ / "zeb1-Nobody" / zeb::kRunFolderMark, "");
    WriteBytes(tmp_ / "zeb1-Nobody" / "outwin.txt", "theirs");
    ASSERT_EQ(::chown((tmp_ / "zeb1-Nobody").c_str(), 65534, 65534), 0);
    kept.push_back("zeb1-Nobody");
  }
  std::sort(kept.begin(), kept.end());
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  const Ran r = Run({"t.zeb", "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(TmpEntries(), kept);
  EXPECT_EQ(ReadBytes(liveFolder + "/$feder.dx$"), "block");
  if (::geteuid() == 0) {
    EXPECT_EQ(ReadBytes(tmp_ / "zeb1-Nobody" / "outwin.txt"), "theirs");
  }
  ::kill(live, SIGKILL);
  ::waitpid(live, nullptr, 0);
  Run({"t.zeb", "/I"});
  EXPECT_FALSE(fs::exists(liveFolder));
}

// A temporary folder that cannot take files is named for what it is: /proc
// cannot be written (root may, but it stores nothing), a TMPDIR that is
// missing is named and /tmp stands in; neither is called full, and the
// printout is written all the same.
TEST_F(HostileFilesTest, TemporaryFolderThatIsMissingOrNotWritableIsNamed) {
  WriteConfig(root_ / "plt", root_ / "xdg" / "zeb1" / "zeb1.cfg", root_ / "dbf", false);
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  Ran r = Run({"t.zeb", "/I"}, {}, {"TMPDIR=/proc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Ordner für temporäre Dateien /proc nicht beschreibbar !"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("voll"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(work_ / "t.txt"));
  fs::remove(work_ / "t.txt");
  const std::string missing = (root_ / "fehlt").string();
  r = Run({"t.zeb", "/I"}, {}, {"TMPDIR=" + missing});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Ordner für temporäre Dateien " + missing + " nicht vorhanden, es gilt /tmp"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("voll"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(work_ / "t.txt"));
}

std::uint32_t Le32At(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
unsigned Le16At(const std::string& b, std::size_t at) {
  return static_cast<unsigned>(static_cast<unsigned char>(b[at])) |
         static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}
void PutLe32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}
void PutLe16(std::string& b, std::size_t at, unsigned v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}

// A damaged material table under /I is named once with the table and what
// is wrong with it, in German, also where only the engine finds it on
// opening; the run ends there with 2, no printout and no calculation on an
// empty material. A field of length 0 in a head that agrees with itself is
// read as the engine repairs it, and that repair is named in German with
// the table.
TEST_F(HostileFilesTest, DamagedMaterialTableIsNamedUnderI) {
  const fs::path table = root_ / "dbf" / "zebwst.dbf";
  const std::string good = ReadBytes(table);
  const std::uint32_t count = Le32At(good, 4);
  const unsigned header = Le16At(good, 8), length = Le16At(good, 10);
  ASSERT_GT(count, 0u);
  ASSERT_EQ(good.size(), header + count * length + 1);  // the shipped table, with its end mark
  std::string random = good.substr(0, header);
  unsigned v = 99;
  for (std::size_t i = header; i < good.size(); ++i) random.push_back(static_cast<char>((v = v * 1103515245u + 12345u) >> 16));
  random[header] = 'Z';  // not a deletion mark
  std::string noise;
  for (std::size_t i = 0; i < good.size(); ++i) noise.push_back(static_cast<char>((v = v * 1103515245u + 12345u) >> 16));
  noise[0] = '\x05';
  const auto version = [&](char b) {
    std::string t = good;
    t[0] = b;
    return t;
  };
  std::string typeX = good;
  typeX[32 + 11] = 'X';  // the first field's type
  const std::string badVersion = "keine dBASE-Tabelle (Versions-Byte ungültig)";
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {version('\x00'), badVersion},
      {version('\x30'), badVersion},
      {noise.substr(0, 32) + good.substr(32), badVersion},
      {typeX, "Feld NAME1 hat den ungültigen Feldtyp \"X\""},
      {version('\x83'), "Memo-Datei zebwst.dbt fehlt"},
      {version('\xF5'), "Memo-Datei zebwst.fpt fehlt"},
      {noise, badVersion},
      {[&] { std::string b = good; PutLe32(b, 4, 0); return b; }(),
       std::to_string(count) + " Datensätze hinter der Satzzahl 0 (ein abgebrochenes Anhängen; beim Bearbeiten der "
                               "Tabelle übernehmen oder entfernen)"},
      {[&] { std::string b = good; PutLe32(b, 4, 0xFFFFFFFFu); return b; }(), "kürzer als ihre 4294967295 Sätze"},
      {[&] { std::string b = good; PutLe16(b, 8, header - 32); return b; }(), "Feldliste ohne Abschluss"},
      {[&] { std::string b = good; PutLe16(b, 10, 65535); return b; }(),
       "Satzlänge 65535 passt nicht zu den Feldern (" + std::to_string(length) + ")"},
      {good.substr(0, header), "kürzer als ihre " + std::to_string(count) + " Sätze"},
      {random, "Satz 1 ungültig"},
  };
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  for (const auto& [bytes, why] : damaged) {
    SCOPED_TRACE(why);
    WriteBytes(table, bytes);
    const Ran r = Run({spring, "/I"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    const std::string named = "Tabelle " + table.string() + " beschädigt: " + why + "\n";
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("beschädigt"), r.err.rfind("beschädigt")) << r.err;
    for (const char* internal : {"DBF Error", "Fehler Nr.", "[", "Fehler : Fehler", "Rm = 0", "Warnung"})
      EXPECT_EQ(r.err.find(internal), std::string::npos) << internal << "\n" << r.err;
    EXPECT_FALSE(fs::exists(work_ / "table_material.txt"));
  }

  // The first field (a name of 50 characters) with length 0, its bytes gone
  // from every record and the record length made to agree.
  std::string zero = good.substr(0, header);
  const unsigned first = static_cast<unsigned char>(good[32 + 16]);
  zero[32 + 16] = 0;
  PutLe16(zero, 10, length - first);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::string rec = good.substr(header + k * length, length);
    zero += rec.substr(0, 1) + rec.substr(1 + first);
  }
  zero += good.substr(header + count * length);
  WriteBytes(table, zero);
  const Ran r = Run({spring, "/I"});
  EXPECT_NE(r.err.find("Tabelle " + table.string() + ": Feld NAME1,C,0,0 ungültig, verwendet wird NAME1,C,1,0"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("Invalid"), std::string::npos) << r.err;
  WriteBytes(table, good);
}

// Where field `name` of the record with MATNR `number` lies in a table's
// bytes: the record (1-based), its first byte and its length.
struct FieldAt {
  std::uint32_t record = 0;
  std::size_t at = 0, length = 0;
};
FieldAt LocateField(const std::string& b, int number, const std::string& name) {
  const unsigned header = Le16At(b, 8), length = Le16At(b, 10);
  std::map<std::string, std::pair<std::size_t, std::size_t>> fields;  // offset, length
  for (std::size_t d = 32, offset = 1; b[d] != '\x0D'; offset += static_cast<unsigned char>(b[d + 16]), d += 32)
    fields[b.substr(d, b.find('\0', d) - d)] = {offset, static_cast<unsigned char>(b[d + 16])};
  for (std::uint32_t r = 0; r < Le32At(b, 4); ++r) {
    const std::size_t rec = header + static_cast<std::size_t>(r) * length;
    if (std::atoi(b.substr(rec + fields["MATNR"].first, fields["MATNR"].second).c_str()) == number)
      return {r + 1, rec + fields[name].first, fields[name].second};
  }
  return {};
}

// A number field of the spring's material row that holds no number is
// damage: named once with the record, field and text, exit 2, no printout.
// The strength and relaxation tables damaged or missing: each named once,
// its text kept in the printout's messages, exit 0, and the relaxation rows
// say "-" where their values stand.
TEST_F(HostileFilesTest, DamagedNumbersAndSupportTablesAreNamedUnderI) {
  const fs::path table = root_ / "dbf" / "zebwst.dbf";
  const std::string good = ReadBytes(table);
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  const fs::path printout = work_ / "table_material.txt";
  struct Bad {
    std::string field, text, why;
  };
  for (const Bad& b : {Bad{"RMSLOPE", "*********", "Wert zu breit für das Feld"},
                       Bad{"RMSLOPE", "-", "Vorzeichen ohne Ziffern"},
                       Bad{"RMSLOPE", "1.2.3", "mehr als ein Dezimalzeichen"},
                       Bad{"RM0", "9e99", "Exponent in einem Zahlenfeld"}}) {
    SCOPED_TRACE(b.field + " " + b.text);
    const FieldAt f = LocateField(good, 5, b.field);  // line 118 of the example: material 5
    ASSERT_GT(f.record, 0u);
    std::string bytes = good;
    bytes.replace(f.at, f.length, std::string(f.length - b.text.size(), ' ') + b.text);
    WriteBytes(table, bytes);
    const Ran r = Run({spring, "/I"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("Tabelle " + table.string() + " beschädigt: Satz " + std::to_string(f.record) + ", Feld " +
                         b.field + ": " + b.why + " (\"" + b.text + "\")\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("beschädigt"), r.err.rfind("beschädigt")) << r.err;
    EXPECT_FALSE(fs::exists(printout));
  }
  WriteBytes(table, good);

  const auto listed = [](const std::string& name) {
    return name == "zebwstr" ? std::string("Fatal  : ZEBWSTR.DBF error") : "Fatal  : " + name + " dbf error";
  };
  const auto expectNamed = [&](const std::string& name, const std::string& named) {
    const Ran r = Run({spring, "/I"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(named), r.err.rfind(named)) << r.err;
    EXPECT_NE(r.err.find(listed(name)), std::string::npos) << r.err;
    const std::string txt = ReadBytes(printout);
    EXPECT_NE(txt.find(listed(name)), std::string::npos) << txt;
    if (name == "zebwstr") {
      for (const char* row : {"\tdL0,48h\tmm\t-\r\n", "\tRx2\t%\t-\r\n", "\tF2,48h\tN\t-\r\n"})
        EXPECT_NE(txt.find(row), std::string::npos) << row << "\n" << txt;
    }
    fs::remove(printout);
  };
  for (const std::string name : {"zebwstr", "zebrmmin", "zebrmmax"}) {
    SCOPED_TRACE(name);
    const fs::path t = root_ / "dbf" / (name + ".dbf");
    const std::string sound = ReadBytes(t);
    WriteBytes(t, "\x30" + sound.substr(1));
    expectNamed(name, "Tabelle " + t.string() + " beschädigt: keine dBASE-Tabelle (Versions-Byte ungültig)\n");
    WriteBytes(t, sound);
  }
  fs::remove(root_ / "dbf" / "zebwstr.dbf");
  expectNamed("zebwstr", "Datei " + (root_ / "dbf" / "zebwstr.dbf").string() + " nicht gefunden");
}

// A copy of a dBase III table in the dBase 7 layout: 68 head bytes, a
// 48-byte descriptor per field, the records as they were.
std::string AsDbase7(const std::string& b) {
  const unsigned header = Le16At(b, 8);
  std::string out(68, '\0');
  out.replace(0, 12, b.substr(0, 12));
  out[0] = '\x04';
  unsigned fields = 0;
  for (std::size_t d = 32; b[d] != '\x0D'; d += 32, ++fields) {
    std::string desc(48, '\0');
    desc.replace(0, 11, b.substr(d, 11));
    desc[32] = b[d + 11];  // type, length, decimals
    desc[33] = b[d + 16];
    desc[34] = b[d + 17];
    out += desc;
  }
  out += '\x0D';
  PutLe16(out, 8, 68 + 48 * fields + 1);
  return out + b.substr(header);
}

// The table with one more record (bytes without the deletion mark).
std::string WithRecord(const std::string& b, const std::string& record) {
  const unsigned header = Le16At(b, 8), length = Le16At(b, 10);
  const std::uint32_t count = Le32At(b, 4);
  EXPECT_EQ(record.size() + 1, length);
  std::string out = b.substr(0, header + count * length) + " " + record + "\x1A";
  PutLe32(out, 4, count + 1);
  return out;
}

// The printed value after head ("-" or a missing line: -1).
long PrintedValue(const std::string& txt, const std::string& head) {
  const std::size_t at = txt.find(head);
  return at == std::string::npos ? -1 : std::strtol(txt.c_str() + at + head.size(), nullptr, 10);
}

// The program's own tables damaged where the engine reads them as some
// value: a field type that is not the table's (each number field of the
// material table as a memo, binary, OLE or text field, a text field as a
// memo), a number no number field holds in a dBase 7 copy, a damaged or
// blank key, a material number in no row. A damage of the material table is
// named in German with the table and the field, the run ends with 2 and
// prints nothing; a damaged key of a strength or relaxation table is named
// the same way, listed in the printout, and the printout's Rm and tau zul
// are those of the sound tables.
TEST_F(HostileFilesTest, DamagedFieldTypesKeysAndDbase7CopiesAreNamedUnderI) {
  const fs::path table = root_ / "dbf" / "zebwst.dbf";
  const std::string good = ReadBytes(table);
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  const fs::path printout = work_ / "table_material.txt";
  const Ran sound = Run({spring, "/I"});
  ASSERT_EQ(sound.exitCode, 0) << sound.err;
  const std::string soundTxt = ReadBytes(printout);
  fs::remove(printout);
  // The example's material (5, EN 10270-1 DH) by its law: Rm = 2154 - 819 lg d.
  const std::size_t dAt = soundTxt.find("Drahtdurchmesser\td\tmm\t");
  ASSERT_NE(dAt, std::string::npos) << soundTxt;
  const double d = static_cast<double>(zeb::test::DecimalValue(std::string_view(soundTxt).substr(dAt + 21)));
  ASSERT_GT(d, 0.0);
  EXPECT_NEAR(PrintedValue(soundTxt, "Zugfestigkeit\tRm\tMPa\t"), 2154 - 819 * std::log10(d), 1.0);
  const auto expectRefused = [&](const fs::path& t, const std::string& why, const std::vector<std::string>& args) {
    const Ran r = Run(args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    const std::string named = "Tabelle " + t.string() + " beschädigt: " + why + "\n";
    EXPECT_NE(r.err.find(named), std::string::npos) << named << r.err;
    EXPECT_EQ(r.err.find("beschädigt"), r.err.rfind("beschädigt")) << r.err;
    for (const char* internal : {"DBF Error", "Rm = 0", "Rm ="}) EXPECT_EQ(r.err.find(internal), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(printout));
    fs::remove(printout);
  };

  // Field types: every field the program reads as a number.
  int numberFields = 0;
  for (std::size_t d = 32; good[d] != '\x0D'; d += 32) {
    const std::string name = good.substr(d, good.find('\0', d) - d);
    const bool number = good[d + 11] == 'N';
    numberFields += number ? 1 : 0;
    for (const char type : number ? std::string("MBGC") : std::string(name == "NAME2" ? "M" : "")) {
      SCOPED_TRACE(name + " " + type);
      std::string bytes = good;
      bytes[d + 11] = type;
      WriteBytes(table, bytes);
      expectRefused(table, "Feld " + name + (number ? " ist kein Zahlenfeld" : " ist kein Textfeld"), {spring, "/I"});
    }
  }
  EXPECT_EQ(numberFields, 22);

  // A dBase 7 copy: sound, the same printout; a bad number named.
  WriteBytes(table, AsDbase7(good));
  const Ran seven = Run({spring, "/I"});
  EXPECT_EQ(seven.exitCode, 0) << seven.err;
  EXPECT_EQ(ReadBytes(printout), soundTxt);
  fs::remove(printout);
  const FieldAt rm0 = LocateField(good, 5, "RM0");
  ASSERT_GT(rm0.record, 0u);
  std::string badRm0 = good;
  badRm0.replace(rm0.at, rm0.length, std::string(rm0.length - 6, ' ') + "20.0.0");
  WriteBytes(table, AsDbase7(badRm0));
  expectRefused(table, "Satz " + std::to_string(rm0.record) + ", Feld RM0: mehr als ein Dezimalzeichen (\"20.0.0\")",
                {spring, "/I"});

  // Keys of the material table: the spring's row renumbered with garbage,
  // a blank record; a number in no row.
  const FieldAt key = LocateField(good, 5, "MATNR");
  std::string garbage = good;
  garbage.replace(key.at, key.length, std::string(key.length - 3, ' ') + "5-5");
  WriteBytes(table, garbage);
  expectRefused(table, "Satz " + std::to_string(key.record) + ", Feld MATNR: keine Zahl (\"5-5\")", {spring, "/I"});
  const unsigned length = Le16At(good, 10);
  WriteBytes(table, WithRecord(good, std::string(length - 1, ' ')));
  expectRefused(table, "Satz " + std::to_string(Le32At(good, 4) + 1) + ", Feld MATNR: keine Werkstoffnummer (leer)",
                {spring, "/I"});
  WriteBytes(table, good);
  std::string example = ReadBytes(spring);
  std::size_t at = 0;
  for (int line = 1; line < 118; ++line) at = example.find('\n', at) + 1;  // line 118: the material number
  ASSERT_EQ(example.substr(at, 3), "5\r\n");
  example.replace(at, 1, "77");
  WriteBytes(work_ / "table_material.zeb", example);
  {
    const Ran r = Run({(work_ / "table_material.zeb").string(), "/I"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("Werkstoffnummer 77 steht in keinem Satz der Tabelle " + table.string() + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Rm = 0"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(printout));
    fs::remove(work_ / "table_material.zeb");
  }

  // Keys of the strength and relaxation tables: garbage in the spring's
  // row (the relaxation table gets a row of material 5 first), a blank
  // record.
  for (const std::string name : {"zebrmmin", "zebrmmax", "zebwstr"}) {
    const fs::path t = root_ / "dbf" / (name + ".dbf");
    const std::string intact = ReadBytes(t);
    const unsigned len = Le16At(intact, 10);
    std::string withRow = intact;
    if (name == "zebwstr") withRow = WithRecord(intact, std::string(8, ' ') + "5" + std::string(len - 10, ' '));
    const FieldAt k = LocateField(withRow, 5, "MATNR");
    ASSERT_GT(k.record, 0u) << name;
    std::string bad = withRow;
    bad.replace(k.at, k.length, std::string(k.length - 5, ' ') + "1.2.3");
    const std::string listed = name == "zebwstr" ? "Fatal  : ZEBWSTR.DBF error" : "Fatal  : " + name + " dbf error";
    for (const auto& [bytes, why] : std::vector<std::pair<std::string, std::string>>{
             {bad, "Satz " + std::to_string(k.record) + ", Feld MATNR: mehr als ein Dezimalzeichen (\"1.2.3\")"},
             {WithRecord(intact, std::string(len - 1, ' ')),
              "Satz " + std::to_string(Le32At(intact, 4) + 1) + ", Feld MATNR: keine Werkstoffnummer (leer)"}}) {
      SCOPED_TRACE(name + " " + why);
      WriteBytes(t, bytes);
      const Ran r = Run({spring, "/I"});
      EXPECT_EQ(r.exitCode, 0) << r.err;
      const std::string named = "Tabelle " + t.string() + " beschädigt: " + why + "\n";
      EXPECT_NE(r.err.find(named), std::string::npos) << named << r.err;
      EXPECT_EQ(r.err.find("beschädigt"), r.err.rfind("beschädigt")) << r.err;
      const std::string txt = ReadBytes(printout);
      EXPECT_NE(txt.find(listed), std::string::npos) << txt;
      for (const char* head : {"Zugfestigkeit\tRm\tMPa\t", "zul. Schubspannung\ttauz\tMPa\t"})
        EXPECT_EQ(PrintedValue(txt, head), PrintedValue(soundTxt, head)) << head;
      fs::remove(printout);
    }
    WriteBytes(t, intact);
  }
}

// The decimal-count byte of field `name` in a dBase III head.
std::size_t DecimalsByte(const std::string& b, const std::string& name) {
  for (std::size_t d = 32; b[d] != '\x0D'; d += 32)
    if (b.substr(d, b.find('\0', d) - d) == name) return d + 17;
  ADD_FAILURE() << name;
  return 0;
}

// Table damage the engine would read as other values: a decimal count the
// field's numbers do not agree with (a whole number's field with decimals,
// a real's field with fewer than its numbers hold), a comma, a material
// number two rows hold (in dBase 7 copies too), a dBase 7 copy whose count
// leaves records out. Each is named once with table, field and rows; the
// material table's ends the run with 2 and no printout, a strength or
// relaxation table's is listed in the printout whose Rm and tau zul are
// those of the sound tables (exit 0), and its Rm band on the Rm-d sheet is
// marked missing.
TEST_F(HostileFilesTest, DamagedDecimalsCommasTwinKeysAndDbase7CountsAreNamedUnderI) {
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();  // material 5
  const fs::path printout = work_ / "table_material.txt";
  const Ran sound = Run({spring, "/I"});
  ASSERT_EQ(sound.exitCode, 0) << sound.err;
  const std::string soundTxt = ReadBytes(printout);
  fs::remove(printout);
  const auto damaged = [&](const std::string& name, const std::function<void(std::string&)>& damage) {
    std::string b = ReadBytes(root_ / "dbf" / (name + ".dbf"));
    damage(b);
    return b;
  };
  const auto put = [](std::string& b, const std::string& field, int number, const std::string& text) {
    const FieldAt f = LocateField(b, number, field);
    ASSERT_GT(f.record, 0u) << field;
    b.replace(f.at, f.length, std::string(f.length - text.size(), ' ') + text);
  };
  struct Case {
    std::string table, why;
    std::string bytes;
  };
  const FieldAt row5 = LocateField(ReadBytes(root_ / "dbf" / "zebwst.dbf"), 5, "MATNR");
  const FieldAt row7 = LocateField(ReadBytes(root_ / "dbf" / "zebwst.dbf"), 7, "MATNR");
  const std::string r5 = "Satz " + std::to_string(row5.record);
  const std::vector<Case> cases = {
      {"zebwst", r5 + ", Feld RMSLOPE: Dezimalstellenzahl 4 in einem Feld ganzer Zahlen (\"819\")",
       damaged("zebwst", [](std::string& b) { b[DecimalsByte(b, "RMSLOPE")] = 4; })},
      {"zebwst", "Satz 1, Feld RHO: Dezimalstellenzahl 0 passt nicht zum Wert (\"7.8500\")",
       damaged("zebwst", [](std::string& b) { b[DecimalsByte(b, "RHO")] = 0; })},
      {"zebwst", "Feld D0: Dezimalstellenzahl 8 zu groß für die Feldlänge 9",
       damaged("zebwst", [](std::string& b) { b[DecimalsByte(b, "D0")] = 8; })},
      {"zebwst", r5 + ", Feld RMSLOPE: Komma statt Dezimalpunkt (\"1,5\")",
       damaged("zebwst", [&](std::string& b) { put(b, "RMSLOPE", 5, "1,5"); })},
      {"zebwst", r5 + " und Satz " + std::to_string(row7.record) + ", Feld MATNR: Werkstoffnummer 5 doppelt",
       damaged("zebwst", [&](std::string& b) { put(b, "MATNR", 7, "5"); })},
      {"zebwst", r5 + " und Satz " + std::to_string(row7.record) + ", Feld MATNR: Werkstoffnummer 5 doppelt",
       damaged("zebwst", [&](std::string& b) { put(b, "MATNR", 7, "5"); b = AsDbase7(b); })},
      {"zebrmmin", "Satz 5, Feld V01: Dezimalstellenzahl 2 passt nicht zum Wert (\"2800\")",
       damaged("zebrmmin", [](std::string& b) { b[DecimalsByte(b, "V01")] = 2; })},
      {"zebrmmin", "Satz 5, Feld MATNR: Dezimalstellenzahl 2 in einem Feld ganzer Zahlen (\"5\")",
       damaged("zebrmmin", [](std::string& b) { b[DecimalsByte(b, "MATNR")] = 2; })},
      {"zebrmmin", "Satz 5 und Satz 6, Feld MATNR: Werkstoffnummer 5 doppelt",
       damaged("zebrmmin", [&](std::string& b) { put(b, "MATNR", 6, "5"); b = AsDbase7(b); })},
      {"zebrmmin", "20 Datensätze hinter der Satzzahl 0 (ein abgebrochenes Anhängen; beim Bearbeiten der Tabelle "
                   "übernehmen oder entfernen)",
       damaged("zebrmmin", [](std::string& b) { b = AsDbase7(b); PutLe32(b, 4, 0); })},
      {"zebrmmax", "kürzer als ihre 21 Sätze", damaged("zebrmmax", [](std::string& b) { b = AsDbase7(b); PutLe32(b, 4, 21); })},
      {"zebrmmax", "Satz 5, Feld V02: Komma statt Dezimalpunkt (\"31,5\")",
       damaged("zebrmmax", [&](std::string& b) { put(b, "V02", 5, "31,5"); })},
      {"zebwstr", "Satz 1, Feld TAU1: Dezimalstellenzahl 2 in einem Feld ganzer Zahlen (\"500\")",
       damaged("zebwstr", [](std::string& b) {
         const unsigned len = Le16At(b, 10);
         std::string row = std::string(8, ' ') + "5" + std::string(len - 10, ' ');
         b = WithRecord(b, row);
         const FieldAt tau = LocateField(b, 5, "TAU1");
         b.replace(tau.at, tau.length, std::string(tau.length - 3, ' ') + "500");
         b[DecimalsByte(b, "TAU1")] = 2;
       })},
  };
  ASSERT_EQ(cases[6].bytes.size(), ReadBytes(root_ / "dbf" / "zebrmmin.dbf").size());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table + ": " + c.why);
    const fs::path t = root_ / "dbf" / (c.table + ".dbf");
    const std::string intact = ReadBytes(t);
    WriteBytes(t, c.bytes);
    const Ran r = Run({spring, "/I"});
    const std::string named = "Tabelle " + t.string() + " beschädigt: " + c.why + "\n";
    EXPECT_NE(r.err.find(named), std::string::npos) << named << r.err;
    EXPECT_EQ(r.err.find("beschädigt"), r.err.rfind("beschädigt")) << r.err;
    EXPECT_EQ(r.err.find("Rm = 0"), std::string::npos) << r.err;
    if (c.table == "zebwst") {
      EXPECT_EQ(r.exitCode, 2) << r.err;
      EXPECT_FALSE(fs::exists(printout));
    } else {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      const std::string listed = c.table == "zebwstr" ? "Fatal  : ZEBWSTR.DBF error" : "Fatal  : " + c.table + " dbf error";
      const std::string txt = ReadBytes(printout);
      EXPECT_NE(txt.find(listed), std::string::npos) << txt;
      for (const char* head : {"Zugfestigkeit\tRm\tMPa\t", "zul. Schubspannung\ttauz\tMPa\t"})
        EXPECT_EQ(PrintedValue(txt, head), PrintedValue(soundTxt, head)) << head;
    }
    if (c.table == "zebrmmin") {
      // The Rm-d sheet marks the band it could not read.
      const Ran sheet = Run({spring, "/CAD5:6"});
      EXPECT_EQ(sheet.exitCode, 0) << sheet.err;
      EXPECT_NE(sheet.err.find(named), std::string::npos) << sheet.err;
      EXPECT_NE(ReadBytes(printout).find("Rm min, Rm max = - MPa"), std::string::npos);
    }
    fs::remove(printout);
    WriteBytes(t, intact);
  }
  // The same tables sound again: the printout of the sound tables.
  const Ran again = Run({spring, "/I"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.err, sound.err);
  EXPECT_EQ(ReadBytes(printout), soundTxt);
}

// A column of a dBase III table's head.
struct Column {
  std::string name;
  char type = 0;
  std::size_t offset = 0, length = 0;
  int decimals = 0;
};
std::vector<Column> Columns(const std::string& b) {
  std::vector<Column> columns;
  std::size_t offset = 1;
  for (std::size_t d = 32; b[d] != '\x0D'; d += 32) {
    const std::size_t length = static_cast<unsigned char>(b[d + 16]);
    columns.push_back({b.substr(d, b.find('\0', d) - d), b[d + 11], offset, length, b[d + 17]});
    offset += length;
  }
  return columns;
}

// The value of number bytes as a dBase program writes them for a field of
// that length and decimals: right-aligned blanks, a sign, digits with at
// most one point, no more decimals than the field's, and room for them
// all; blanks give no value. False for any other bytes.
bool DbaseNumber(const std::string& bytes, int decimals, std::optional<long double>& value) {
  static const std::regex written(" *[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)");
  value.reset();
  if (bytes.find_first_not_of(' ') == std::string::npos) return true;
  if (!std::regex_match(bytes, written)) return false;
  const std::size_t point = bytes.find('.');
  if (point != std::string::npos && static_cast<int>(bytes.size() - point - 1) > decimals) return false;
  value = zeb::test::DecimalValue(bytes);
  char shown[64];
  return std::snprintf(shown, sizeof shown, "%.*Lf", decimals, *value) <= static_cast<int>(bytes.size());
}

// The bytes a dBase program writes for that value in a field of that
// length and decimals.
std::string DbaseBytes(long double value, std::size_t length, int decimals) {
  char shown[64];
  std::snprintf(shown, sizeof shown, "%*.*Lf", static_cast<int>(length), decimals, value);
  return shown;
}

// One-byte damages (a NUL, a blank, a comma, a digit) of the records of
// every shipped table, seeded, every kind of place of every table (the
// deletion mark, text fields, number fields with and without decimals,
// material numbers), through /I and /CAD5:6 of a spring of material 5:
// bytes no dBase program writes are named once with table, record and
// field (the material table's end the run with 2 and no output, a
// strength table's are listed and its values left out); a number that
// is the bytes of its value in another form is read as that value (the
// output is that of the table holding its usual bytes); a material number
// that is no whole number or that two records hold is named, marked
// records too; a table the run does not read, and rows it does not read,
// change nothing. The two damages of the issue's own cases too.
TEST_F(HostileFilesTest, OneByteDamagesOfEveryTableAreNamedOrReadAsTheirValues) {
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();  // material 5
  const fs::path out = work_ / "table_material.txt";
  struct Output {
    int exitCode = -1;
    std::string err, file;
  };
  const auto run = [&](const char* how) {
    const Ran r = Run({spring, how});
    Output o{r.exitCode, r.err, fs::exists(out) ? ReadBytes(out) : std::string("(none)")};
    fs::remove(out);
    return o;
  };
  const auto runBoth = [&] { return std::array<Output, 2>{run("/I"), run("/CAD5:6")}; };
  const std::array<Output, 2> sound = runBoth();
  ASSERT_EQ(sound[0].exitCode, 0) << sound[0].err;
  ASSERT_EQ(sound[1].exitCode, 0) << sound[1].err;
  const auto same = [](const std::array<Output, 2>& a, const std::array<Output, 2>& b) {
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(a[k].exitCode, b[k].exitCode) << k;
      EXPECT_EQ(a[k].err, b[k].err) << k;
      EXPECT_EQ(a[k].file, b[k].file) << k;
    }
  };
  const std::set<std::string> read = {"zebwst", "zebrmmin", "zebrmmax", "zebwstr"};
  // A damage the run must name: once, the material table's stopping the run.
  const auto named = [&](const std::string& table, const fs::path& t, const std::string& why,
                         const std::array<Output, 2>& got) {
    const std::string text = "Tabelle " + t.string() + " beschädigt: " + why;
    for (const Output& o : got) {
      EXPECT_NE(o.err.find(text), std::string::npos) << text << "\n" << o.err;
      EXPECT_EQ(o.err.find("beschädigt"), o.err.rfind("beschädigt")) << o.err;
      EXPECT_EQ(o.err.find("Rm = 0"), std::string::npos) << o.err;
      if (table == "zebwst") {
        EXPECT_EQ(o.exitCode, 2) << o.err;
        EXPECT_EQ(o.file, "(none)");
      } else {
        EXPECT_EQ(o.exitCode, 0) << o.err;
      }
    }
    if (table != "zebwst") {
      const std::string listed = table == "zebwstr" ? "Fatal  : ZEBWSTR.DBF error" : "Fatal  : " + table + " dbf error";
      EXPECT_NE(got[0].file.find(listed), std::string::npos) << got[0].file;
      for (const char* head : {"Zugfestigkeit\tRm\tMPa\t", "zul. Schubspannung\ttauz\tMPa\t"})
        EXPECT_EQ(PrintedValue(got[0].file, head), PrintedValue(sound[0].file, head)) << head;
    }
  };

  // The cases: Rm min of material 5 at its 25th slot with a NUL
  // or a blank for its last digit; a marked row's material number blank or
  // of minus signs, in the material table and in a strength table.
  {
    const fs::path t = root_ / "dbf" / "zebrmmin.dbf";
    const std::string intact = ReadBytes(t);
    const FieldAt v25 = LocateField(intact, 5, "V25");
    ASSERT_EQ(intact.substr(v25.at, v25.length), " 2480");
    for (const auto& [bytes, why] : {std::pair<std::string, std::string>{std::string(" 248\0", 5), "NUL-Zeichen in der Zahl (\"248?\")"},
                                     {" 248 ", "Leerzeichen hinter der Zahl (\"248 \")"}}) {
      std::string b = intact;
      b.replace(v25.at, v25.length, bytes);
      WriteBytes(t, b);
      named("zebrmmin", t, "Satz 5, Feld V25: " + why + "\n", runBoth());
    }
    WriteBytes(t, intact);
  }
  for (const std::string table : {"zebwst", "zebrmmin"}) {
    const fs::path t = root_ / "dbf" / (table + ".dbf");
    const std::string intact = ReadBytes(t);
    const FieldAt key = LocateField(intact, 1, "MATNR");
    ASSERT_EQ(key.record, 1u);
    std::string marked = intact;
    marked[Le16At(intact, 8)] = '*';
    for (const auto& [text, why] : {std::pair<std::string, std::string>{"         ", "keine Werkstoffnummer (leer)"},
                                    {"---------", "keine Zahl (\"---------\")"}}) {
      std::string b = marked;
      b.replace(key.at, key.length, text);
      WriteBytes(t, b);
      named(table, t, "Satz 1, Feld MATNR: " + why + "\n", runBoth());
    }
    WriteBytes(t, intact);
  }

  // The seeded damages.
  std::mt19937 random(20260915);
  const std::string damages = std::string("\0 ,0", 4) + "d";  // d: a digit from 1 on
  std::map<std::string, std::set<std::string>> covered;  // table: the kinds of place damaged
  std::map<std::string, int> judged;                      // how many damages each judgement met
  std::vector<fs::path> tables;
  for (const auto& e : fs::directory_iterator(root_ / "dbf"))
    if (e.path().extension() == ".dbf") tables.push_back(e.path());
  std::sort(tables.begin(), tables.end());
  for (const fs::path& t : tables) {
    const std::string table = t.stem().string();
    const std::string intact = ReadBytes(t);
    const std::uint32_t count = Le32At(intact, 4);
    const unsigned header = Le16At(intact, 8), length = Le16At(intact, 10);
    if (count == 0) continue;
    const std::vector<Column> columns = Columns(intact);
    const auto kindOf = [](const Column& c) {
      return c.type == 'C' ? "text" : c.name == "MATNR" ? "key" : c.decimals > 0 ? "real" : "whole";
    };
    std::set<std::string> kinds = {"mark"};
    for (const Column& c : columns) kinds.insert(kindOf(c));
    for (const std::string& kind : kinds) {
      std::vector<const Column*> places;
      for (const Column& c : columns)
        if (kindOf(c) == kind) places.push_back(&c);
      // Each damage once anywhere, and in a table the run reads once more in
      // the row it reads.
      const std::uint32_t usedRecord = read.contains(table) ? LocateField(intact, 5, "MATNR").record : 0;
      for (std::size_t k = 0; k < damages.size() * (usedRecord != 0 ? 2 : 1); ++k) {
        const char damage = damages[k % damages.size()];
        // A place whose byte the damage changes.
        std::uint32_t record = 0;
        const Column* column = nullptr;
        std::size_t at = 0;
        char byte = 0;
        for (int tries = 0; tries < 100; ++tries) {
          record = k < damages.size() ? static_cast<std::uint32_t>(random() % count) + 1 : usedRecord;
          column = places.empty() ? nullptr : places[random() % places.size()];
          const std::size_t within = column == nullptr ? 0 : random() % column->length;
          at = header + (record - 1) * length + (column == nullptr ? 0 : column->offset + within);
          byte = damage == 'd' ? static_cast<char>('1' + random() % 9) : damage;
          if (intact[at] != byte) break;
        }
        if (intact[at] == byte) continue;  // a blank for the mark of a table without marked records
        std::string bytes = intact;
        bytes[at] = byte;
        const std::size_t rec = header + (record - 1) * length;
        const std::string where = table + " record " + std::to_string(record) + " " +
                                  (column ? column->name : std::string("mark")) + " byte " + std::to_string(at - rec);
        SCOPED_TRACE(where + " := " + (byte == '\0' ? std::string("NUL") : std::string(1, byte)));
        covered[table].insert(kind);
        WriteBytes(t, bytes);
        const std::array<Output, 2> got = runBoth();
        // What the bytes are, by the rules of dBase.
        std::string why;  // the damage the run names, "" for none
        std::string canonical = bytes;
        if (column == nullptr) {
          if (byte != ' ' && byte != '*') why = "Satz " + std::to_string(record) + " ungültig\n";
        } else if (column->type == 'N') {
          const std::string field = bytes.substr(rec + column->offset, column->length);
          std::optional<long double> value;
          if (!DbaseNumber(field, column->decimals, value)) {
            why = "Satz " + std::to_string(record) + ", Feld " + column->name + ": ";
          } else if (value) {
            canonical.replace(rec + column->offset, column->length, DbaseBytes(*value, column->length, column->decimals));
          }
        }
        bool keyChanged = false;  // the record holds another material number now
        if (why.empty() && column != nullptr && column->name == "MATNR") {
          const std::size_t key = rec + column->offset;
          keyChanged = zeb::test::DecimalValue(bytes.substr(key, column->length)) !=
                       zeb::test::DecimalValue(intact.substr(key, column->length));
          // The material numbers of every record: whole, from 1 on, each once.
          std::map<long double, std::uint32_t> seen;
          for (std::uint32_t r = 1; r <= count && why.empty(); ++r) {
            std::optional<long double> key;
            DbaseNumber(bytes.substr(header + (r - 1) * length + column->offset, column->length), 0, key);
            const std::string at = "Satz " + std::to_string(r) + ", Feld MATNR: ";
            if (!key) {
              why = at + "keine Werkstoffnummer (leer)\n";
            } else if (*key < 1 || *key != std::floor(*key)) {
              why = at + "keine Werkstoffnummer";
            } else if (const auto [first, added] = seen.emplace(*key, r); !added) {
              why = "Satz " + std::to_string(first->second) + " und " + at + "Werkstoffnummer " +
                    std::to_string(static_cast<long>(*key)) + " doppelt\n";
            }
          }
        }
        const bool usedRow = record == usedRecord;
        if (!why.empty() && read.contains(table)) {
          ++judged["named"];
          named(table, t, why, got);
        } else if (!read.contains(table) || (!usedRow && !keyChanged)) {
          // Nothing the run reads: nothing changes.
          ++judged["unchanged"];
          same(got, sound);
        } else if (canonical != bytes) {
          // The same value in its usual bytes.
          ++judged["read as its usual bytes"];
          WriteBytes(t, canonical);
          same(got, runBoth());
        } else {
          ++judged["another value"];
          for (const Output& o : got) EXPECT_EQ(o.err.find("beschädigt"), std::string::npos) << o.err;
        }
      }
    }
    WriteBytes(t, intact);
  }
  // Every table with records, every kind of place it has.
  EXPECT_EQ(covered.size(), 8u);  // zebwstr and printout hold none
  EXPECT_GE(judged["named"], 40) << judged["named"];
  EXPECT_GE(judged["read as its usual bytes"], 3) << judged["read as its usual bytes"];
  for (const std::string table : {"zebwst", "zebrmmin", "zebrmmax"}) EXPECT_GE(covered[table].size(), 4u) << table;
  EXPECT_EQ(covered["zebwst"].size(), 5u);
  // The tables sound again: the outputs of the sound tables.
  same(runBoth(), sound);
}

// The material table with its header padded after the field list (as
// FoxPro and python3-dbf write it) gives the printout of the plain table.
TEST_F(HostileFilesTest, PaddedMaterialTableHeaderGivesTheSamePrintout) {
  const fs::path table = root_ / "dbf" / "zebwst.dbf";
  const std::string good = ReadBytes(table);
  const unsigned header = Le16At(good, 8);
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  const fs::path printout = work_ / "table_material.txt";
  const Ran plain = Run({spring, "/I"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const std::string expected = ReadBytes(printout);
  fs::remove(printout);
  std::string padded = good.substr(0, header) + std::string(263, '\0') + good.substr(header);
  PutLe16(padded, 8, header + 263);
  WriteBytes(table, padded);
  const Ran r = Run({spring, "/I"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(printout), expected);
  WriteBytes(table, good);
}

// A message help of 1 GB (sparse) is named and not read: the printout run
// reads none of it, stays small, and names the file once however many
// messages it explains.
TEST_F(HostileFilesTest, HugeMessageHelpIsNamedNotRead) {
  for (const auto& e : fs::directory_iterator(ZEB1_HELP_FOLDER))
    if (e.is_regular_file()) fs::copy_file(e.path(), root_ / "plt" / e.path().filename());
  const fs::path err = root_ / "plt" / "zeb1.err";
  fs::resize_file(err, std::uintmax_t{1} << 30);
  WriteConfig(root_ / "plt", root_ / "xdg" / "zeb1" / "zeb1.cfg", root_ / "dbf");
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  const std::string counts = (root_ / "counts").string();
  const Ran r = Run({"t.zeb", "/I"}, {}, {std::string("LD_PRELOAD=") + ZEB1_SYSCOUNT, "ZEB1_COUNT_OUT=" + counts});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string named = "Datei " + err.string() + " ist zu groß (über 4 MB) !";
  ASSERT_NE(r.err.find(named), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(named), r.err.rfind(named)) << r.err;
  EXPECT_TRUE(fs::exists(work_ / "t.txt"));
  // Nothing of it read, and far below the 1 GB that reading it would take
  // (the run needs some 20 MB).
  const std::string c = ReadBytes(counts);
  EXPECT_EQ(c.find("bytes " + err.string() + " "), std::string::npos) << c;
  EXPECT_GT(r.maxRssKb, 0);
  EXPECT_LT(r.maxRssKb, 100 * 1024);
}

// A user's copy of the message help that holds no entry (empty, random
// bytes, fewer than three lines) or is not code page 850 text (the shipped
// file saved again by an editor in UTF-8) gives way to the shipped file, and
// is named once; a usable copy is read.
TEST_F(HostileFilesTest, UnusableUserCopyOfTheMessageHelpGivesWay) {
  WriteConfig(ZEB1_HELP_FOLDER, root_ / "xdg" / "zeb1" / "zeb1.cfg", root_ / "dbf");
  const fs::path copy = root_ / ".local" / "share" / "zeb1" / "zeb1.err";
  fs::create_directories(copy.parent_path());
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  std::string noise;
  unsigned v = 3;
  for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<char>((v = v * 1103515245u + 12345u) >> 16));
  const std::string shipped = ReadBytes(fs::path(ZEB1_HELP_FOLDER) / "zeb1.err");
  for (const auto& [bytes, why] : std::vector<std::pair<std::string, std::string>>{
           {"", "leer"},
           {noise, "kein Text"},
           {"Warnung: L2<Ln\r\nnur zwei Zeilen\r\n", "keine Einträge"},
           {zeb::ToUtf8(zeb::CodePage::Cp850, shipped), "UTF-8 statt Codepage 850"}}) {
    SCOPED_TRACE(why);
    WriteBytes(copy, bytes);
    const Ran r = Run({"t.zeb", "/I"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string named = "Eigene Hilfedatei " + copy.string() + " unbrauchbar (" + why + "), es gilt " +
                              (fs::path(ZEB1_HELP_FOLDER) / "zeb1.err").string();
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(named), r.err.rfind(named)) << r.err;
    const std::string txt = ReadBytes(work_ / "t.txt");
    EXPECT_NE(txt.find("BEMERKUNGEN"), std::string::npos);
    EXPECT_EQ(txt.find("keine Beschreibung dieser Fehlermeldung vorhanden."), std::string::npos) << txt;
  }
  // A usable copy: its cause is printed, and nothing is said.
  const std::string marked = "Ursache aus der eigenen Kopie";
  std::string edited = shipped;
  const std::size_t l2 = edited.find("Warnung: L2<Ln");
  ASSERT_NE(l2, std::string::npos);
  const std::size_t causeAt = edited.find("\r\n", l2) + 2;
  edited.replace(causeAt, edited.find("\r\n", causeAt) - causeAt, marked);
  WriteBytes(copy, edited);
  const Ran r = Run({"t.zeb", "/I"});
  EXPECT_EQ(r.err.find("Eigene Hilfedatei"), std::string::npos) << r.err;
  EXPECT_NE(ReadBytes(work_ / "t.txt").find(marked), std::string::npos);
}

// A start in a read-only working folder without any configuration names no
// folder: none was configured (the data folder's write protection is named
// when something is saved there).
TEST_F(HostileFilesTest, ReadOnlyWorkingFolderWithoutConfigurationNamesNoFolder) {
  fs::remove(root_ / "xdg" / "zeb1" / "zeb1.cfg");
  const fs::path shut = root_ / "shut";
  fs::create_directory(shut);
  const zeb::test::ReadOnlyFolder readOnly(shut);
  if (!readOnly.made) GTEST_SKIP() << "cannot mount a read-only file system here";
  const Ran r = Run({}, shut, {"TMPDIR=" + tmp_.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("ungültiger"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Ordner"), std::string::npos) << r.err;
}

// An output name that another user's link holds in a shared folder (as
// /tmp) cannot be taken: the batch run says so in German with the file,
// writes nothing through the link and ends with 2. Needs root to run the
// program as another user than the link's owner.
TEST_F(HostileFilesTest, AnotherUsersLinkBlocksTheOutputInGerman) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
  const fs::path shared = root_ / "shared";
  fs::create_directory(shared);
  fs::permissions(root_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", shared / "t.zeb");
  fs::permissions(shared / "t.zeb", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  WriteBytes(root_ / "victim" / "thesis.txt", "thesis");
  for (const char* out : {"t.txt", "t.dxf"}) {
    fs::create_symlink(root_ / "victim" / "thesis.txt", shared / out);
    ASSERT_EQ(::lchown((shared / out).c_str(), 65534, 65534), 0);
  }
  const auto runAs = [&](const std::string& output) {
    const fs::path errPath = root_ / "err.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int n = ::open("/dev/null", O_WRONLY);
      if (e < 0 || n < 0 || ::chdir(shared.c_str()) != 0) ::_exit(120);
      ::dup2(e, 2);
      ::dup2(n, 1);
      if (::setgroups(0, nullptr) != 0 || ::setresgid(65533, 65533, 65533) != 0 || ::setresuid(65533, 65533, 65533) != 0)
        ::_exit(121);
      const std::string home = "HOME=" + shared.string(), tmp = "TMPDIR=" + shared.string();
      char* const envp[] = {const_cast<char*>(home.c_str()), const_cast<char*>(tmp.c_str()),
                            const_cast<char*>("XDG_CONFIG_HOME=/nonexistent"), const_cast<char*>("PATH=/usr/bin:/bin"),
                            nullptr};
      char* const argv[] = {const_cast<char*>(ZEB1_WZEB1), const_cast<char*>("t.zeb"),
                            const_cast<char*>(output.c_str()), nullptr};
      ::execve(ZEB1_WZEB1, argv, envp);
      ::_exit(122);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Ran r;
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.err = ReadBytes(errPath);
    return r;
  };
  Ran r = runAs("/I");
  if (r.exitCode == 122) GTEST_SKIP() << "another user cannot start " << ZEB1_WZEB1 << " here (a private folder above it)";
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("t.txt (schreibgeschützt oder kein Zugriffsrecht)"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Operation"), std::string::npos) << r.err;
  r = runAs("/CAD1:12");
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("Datei t.dxf kann nicht geschrieben werden: nicht erlaubt (Name oder Datei eines anderen Benutzers)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("Operation"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(root_ / "victim" / "thesis.txt"), "thesis");
  EXPECT_TRUE(fs::is_symlink(shared / "t.txt"));
}

// A full temporary folder at start is named and the start goes on with
// the file (no question whether to overwrite it). Needs root for a small
// file system of its own.
TEST_F(HostileFilesTest, FullTemporaryFolderIsNamedAndTheStartGoesOn) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
  if (std::system(("mount -t tmpfs -o size=64k tmpfs " + zeb::test::ShellQuote(tmp_.string()) + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  struct Unmount {
    std::string dir;
    ~Unmount() { (void)std::system(("umount " + zeb::test::ShellQuote(dir)).c_str()); }
  } unmount{tmp_.string()};
  WriteBytes(tmp_ / "fill", std::string(200 * 1024, 'x'));  // as much as fits
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  const Ran r = Run({"t.zeb"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Ordner für temporäre Dateien " + tmp_.string() + " ist voll !"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("existiert bereits"), std::string::npos) << r.err;
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{"fill"});
}

// Every example cut after each of its lines and inside its last line. The
// examples name this program's version, so none of the cuts is a spring:
// the reader refuses each, naming the line the file ends after, and the
// real program under /I (every tenth cut, the last lines and the cuts
// inside the last line, four runs at a time) ends with 1, names the file
// and that line and writes no printout. The whole file gives its printout.
TEST_F(HostileFilesTest, CutSpringFilesAreNamedNeverReadAsAnotherSpring) {
  struct Cut {
    std::string bytes, named;
  };
  std::vector<Cut> runs;
  std::vector<fs::path> examples;
  for (const auto& e : fs::directory_iterator(SourceDir() / "examples"))
    if (e.path().extension() == ".zeb") examples.push_back(e.path());
  std::sort(examples.begin(), examples.end());
  ASSERT_GE(examples.size(), 8u);
  int parsed = 0;
  for (const fs::path& example : examples) {
    SCOPED_TRACE(example.filename().string());
    const std::string whole = ReadBytes(example);
    zeb::SpringFileRecords r;
    std::string error;
    ASSERT_TRUE(zeb::ParseSpringFile(whole, r, error)) << error;
    std::vector<std::size_t> ends;  // after each line end
    for (std::size_t at = whole.find("\r\n"); at != std::string::npos; at = whole.find("\r\n", at + 2))
      ends.push_back(at + 2);
    ASSERT_EQ(ends.back(), whole.size());
    const std::size_t lines = ends.size();
    for (std::size_t k = 1; k < lines; ++k) {
      const std::string cut = whole.substr(0, ends[k - 1]);
      const std::string named =
          "Zeile " + std::to_string(k + 1) + ": Datei abgeschnitten, endet nach Zeile " + std::to_string(k) + " !";
      EXPECT_FALSE(zeb::ParseSpringFile(cut, r, error)) << k;
      EXPECT_EQ(error, named);
      ++parsed;
      if (k % 10 == 0 || k + 3 >= lines) runs.push_back({cut, named});
    }
    const std::string inside = "Zeile " + std::to_string(lines) + ": Datei abgeschnitten, endet in Zeile " +
                               std::to_string(lines) + " ohne Zeilenende !";
    for (std::size_t keep : {whole.size() - 2, whole.size() - 3, ends[lines - 2] + 1}) {
      EXPECT_FALSE(zeb::ParseSpringFile(whole.substr(0, keep), r, error)) << keep;
      EXPECT_EQ(error, inside);
      runs.push_back({whole.substr(0, keep), inside});
    }
    runs.push_back({whole, ""});
  }
  EXPECT_GT(parsed, 1000);

  const std::vector<std::string> failures = OnFourWorkers(runs.size(), [&](std::size_t i, const fs::path& dir) {
    WriteBytes(dir / "cut.zeb", runs[i].bytes);
    const Ran r = Run({"cut.zeb", "/I"}, dir);
    const bool printed = fs::exists(dir / "cut.txt");
    fs::remove(dir / "cut.txt");
    if (runs[i].named.empty()) {
      if (r.exitCode != 0 || !printed) return "whole file: exit " + std::to_string(r.exitCode) + "\n" + r.err;
    } else if (r.exitCode != 1 || printed || r.err.find("Datei cut.zeb, " + runs[i].named) == std::string::npos) {
      return "exit " + std::to_string(r.exitCode) + (printed ? ", printed" : "") + "\n" + r.err;
    }
    return std::string();
  });
  for (std::size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(failures[i], "") << runs[i].named;

  // A number outside its field's range is named with its line, not printed.
  std::string bytes = ReadBytes(SourceDir() / "examples" / "round_dynamic.zeb");
  std::size_t at = 0;
  for (int line = 1; line < 7 + 25; ++line) at = bytes.find("\r\n", at) + 2;  // line 32: the load frequency
  bytes.replace(at, bytes.find("\r\n", at) - at, "-" + std::string(300, '7'));
  WriteBytes(work_ / "f.zeb", bytes);
  const Ran r = Run({"f.zeb", "/I"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Datei f.zeb, Zeile 32: erwartet: Zahl 0..1000000000 (Lastspielfrequenz 1/s), gelesen: \"-77777777777777777777777...\" !"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find(std::string(30, '7')), std::string::npos);
  EXPECT_FALSE(fs::exists(work_ / "f.txt"));
}

// Control characters in the material names of the table (a NUL, a TAB,
// Ctrl-Z, DEL) reach the /I printout as blanks, as those of a spring file
// do: the printout is the one of the same names with blanks in their place,
// so a TAB opens no column of the tab-separated printout.
TEST_F(HostileFilesTest, ControlCharactersInTableNamesArePrintedAsBlanks) {
  const fs::path table = root_ / "dbf" / "zebwst.dbf";
  const std::string good = ReadBytes(table);
  const std::string spring = (SourceDir() / "examples" / "table_material.zeb").string();
  const fs::path printout = work_ / "table_material.txt";
  const auto printed = [&](const std::string& bytes) {
    WriteBytes(table, bytes);
    const Ran r = Run({spring, "/I"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ReadBytes(printout);
  };
  for (const char* field : {"NAME1", "NAME2", "NAME3", "NAME4"}) {
    const FieldAt f = LocateField(good, 5, field);  // the example's material 5
    ASSERT_GT(f.length, 6u) << field;
    for (const char control : {'\0', '\t', '\x1A', '\x7F'}) {
      SCOPED_TRACE(std::string(field) + " " + std::to_string(control));
      std::string blanks = good, controls = good;
      for (std::size_t at : {f.at, f.at + 2, f.at + f.length - 1}) blanks[at] = ' ', controls[at] = control;
      const std::string expected = printed(blanks);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(printed(controls), expected);
    }
  }
  WriteBytes(table, good);
}

// A line end (CR LF, LF and CR each end a line) put into a line of an
// example, or in place of one of its bytes, at every line's start, middle,
// last character and line end and at the end of the file: one line too
// many, so every such mutant is refused, naming the line whose end is odd.
// A seeded sample goes through the real program under /I (exit 1, no
// printout) and at an interactive start (named, the spring not taken).
TEST_F(HostileFilesTest, LineEndsInsideLinesAreNamedNeverRead) {
  struct Mutant {
    std::string bytes;
    int line = 0;       // the line whose end is odd
    const char* end{};  // and that end
  };
  std::vector<Mutant> mutants;
  const auto endName = [](char mark) { return mark == '\r' ? "CR" : "LF"; };
  // The examples, and a spring with change entries, drawing texts, load
  // levels and values.
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(SourceDir() / "examples"))
    if (e.path().extension() == ".zeb") files.push_back(ReadBytes(e.path()));
  zeb::SpringFileRecords rich = zeb::DefaultSpringFileRecords();
  zeb::ChangeLogData& log = rich.ChangeLog;
  log.ChangeEntryCount = 2;
  log.ChangeEntries[1] = {"a", "03.04.2024", "mx", "Feder neu"};
  log.ChangeEntries[2] = {"b", "05.06.2024", "xy", "Draht 2.5 statt 2.4"};
  log.DrawingTextCount = 2;
  log.DrawingTexts[1] = {10.5L, 20.25L, 3.5L, 0.0L, "Text eins"};
  rich.LoadSpectrum.Count = 2;
  rich.LoadSpectrum.Levels[1] = {50.0L, 30.0L, 100.0L, 0, 0};
  rich.LoadSpectrum.Levels[2] = {48.5L, 32.0L, 1000.0L, 0, 0};
  rich.ValueTable.Count = 2;
  rich.ValueTable.Values[1] = 23.3L, rich.ValueTable.Values[2] = 26.6L;
  files.push_back(zeb::FormatSpringFile(rich));
  for (const std::string& whole : files) {
    zeb::SpringFileRecords r;
    std::string error;
    ASSERT_TRUE(zeb::ParseSpringFile(whole, r, error)) << error;
    int k = 0;
    for (std::size_t b = 0, cr; (cr = whole.find("\r\n", b)) != std::string::npos; b = cr + 2) {
      ++k;
      const std::size_t text = cr - b;
      for (const char mark : {'\r', '\n'}) {
        const std::set<std::size_t> inside = {b, b + text / 2, text > 0 ? cr - 1 : b, cr};
        for (std::size_t at : inside)
          mutants.push_back({whole.substr(0, at) + mark + whole.substr(at), k, endName(mark)});
        // Between CR and LF: a CR leaves the first CR alone, an LF ends an
        // empty line after it.
        mutants.push_back(
            {whole.substr(0, cr + 1) + mark + whole.substr(cr + 1), mark == '\r' ? k : k + 1, endName(mark)});
        for (std::size_t at : {b + text / 2, cr, cr + 1}) {
          if (whole[at] == mark || (at == b + text / 2 && text == 0)) continue;
          std::string m = whole;
          m[at] = mark;
          mutants.push_back({m, k, endName(mark)});
        }
        if (cr + 2 == whole.size()) mutants.push_back({whole + mark, k + 1, endName(mark)});
      }
    }
  }
  ASSERT_GT(mutants.size(), 10000u);
  for (const Mutant& m : mutants) {
    zeb::SpringFileRecords r;
    std::string error;
    ASSERT_FALSE(zeb::ParseSpringFile(m.bytes, r, error)) << m.line << " " << m.end;
    const std::string odd = "Zeile " + std::to_string(m.line) + " endet mit " + m.end + " statt CR LF.";
    ASSERT_EQ(error.substr(error.size() - odd.size()), odd) << error;
    ASSERT_GE(std::atoi(error.c_str() + 6), m.line) << error;  // refused at that line or after it
  }

  const char* seedText = std::getenv("ZEB1_MUTANT_SEED");
  const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                                 : static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  SCOPED_TRACE("ZEB1_MUTANT_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::shuffle(mutants.begin(), mutants.end(), random);
  mutants.resize(96);
  const std::vector<std::string> failures = OnFourWorkers(mutants.size(), [&](std::size_t i, const fs::path& dir) {
    zeb::SpringFileRecords r;
    std::string error;
    zeb::ParseSpringFile(mutants[i].bytes, r, error);
    WriteBytes(dir / "m.zeb", mutants[i].bytes);
    // Every fourth at an interactive start, which names the file and takes
    // the template's spring.
    const bool batch = i % 4 != 0;
    const Ran run = Run(batch ? std::vector<std::string>{"m.zeb", "/I"} : std::vector<std::string>{"m.zeb"}, dir);
    const bool printed = fs::exists(dir / "m.txt");
    fs::remove(dir / "m.txt");
    if (run.exitCode == (batch ? 1 : 0) && !printed && ReadBytes(dir / "m.zeb") == mutants[i].bytes &&
        run.err.find("Datei m.zeb, " + zeb::ToUtf8(zeb::CodePage::Cp850, error)) != std::string::npos)
      return std::string();
    return "exit " + std::to_string(run.exitCode) + (printed ? ", printed" : "") + "\n" + run.err;
  });
  for (std::size_t i = 0; i < mutants.size(); ++i)
    EXPECT_EQ(failures[i], "") << "line " << mutants[i].line << " " << mutants[i].end;
}

}  // namespace
