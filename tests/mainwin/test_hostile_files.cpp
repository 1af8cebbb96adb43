// The real wzeb1 among hostile files: links planted in a shared temporary
// folder, parallel runs on one temporary folder, FIFOs and devices where a
// file is expected. Each run has its own working folder, XDG_CONFIG_HOME
// and a 20 s limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/globals.h"
#include "graphics/cadsettings.h"
#include "settings/config.h"
#include "program_fixture.h"

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

  // Runs wzeb1 in dir (default the work folder) with TMPDIR = tmp_;
  // posix_spawn, so that the parallel test may start runs from threads.
  Ran Run(const std::vector<std::string>& args, const fs::path& dir = {}) {
    const fs::path cwd = dir.empty() ? work_ : dir;
    const fs::path errPath = cwd / ".stderr";
    std::vector<std::string> all = {ZEB1_WZEB1};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (root_ / "xdg").string(), "TMPDIR=" + tmp_.string(),
                                    "XDG_RUNTIME_DIR=" + (root_ / "xdg").string(), "QT_QPA_PLATFORM=offscreen",
                                    "PATH=/usr/bin:/bin", "HOME=" + root_.string()};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Ran r;
    if (spawned != 0) return r;
    // Hang bound: a run takes a tenth of a second here, on two busy cores too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    for (;;) {
      if (::waitpid(pid, &status, WNOHANG) == pid) break;
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (status != -1 && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.err = ReadBytes(errPath);
    fs::remove(errPath);
    return r;
  }

  // A configuration (default: in the work folder): pictures from plt,
  // temporary files in tmp, everything else in the work folder.
  void WriteConfig(const fs::path& plt, const fs::path& file = {}, const fs::path& dbf = {}) {
    zeb::ResetBaseGlobals();
    zeb::ResetConfigDefaults();
    zeb::G().DbfFolder = (dbf.empty() ? SourceDir() / "no-tables" : dbf).string() + "/";
    zeb::G().HelpFolder = plt.string() + "/";
    zeb::G().TempFolder = tmp_.string() + "/";
    zeb::Config().DefaultDataFolder = work_.string() + "/";
    zeb::Config().EdiFolder = work_.string() + "/";
    zeb::CadSettings().CadFolder = work_.string() + "/";
    zeb::G().AbortFlag = 0;
    zeb::WriteConfigFile((file.empty() ? work_ / "zeb1.cfg" : file).string());
    ASSERT_EQ(zeb::G().AbortFlag, 0);
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
// interactive start: only the user's own regular files of that name form,
// only when untouched for ten minutes (a save of another session may be
// writing one now, also a slow one).
TEST_F(HostileFilesTest, LeftoversOfKilledSavesGoAtStart) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  auto make = [&](const std::string& name, bool aged) {
    WriteBytes(work_ / name, "x");
    if (aged) fs::last_write_time(work_ / name, old);
  };
  make(".s.zeb.AbC123", true);
  make(".feder 2.ZEB.x9Y8z7", true);
  make(".s.zeb.Fresh1", false);      // a save running now
  make(".s.zeb.Slow12", false);      // a save slowed down for five minutes
  fs::last_write_time(work_ / ".s.zeb.Slow12", fs::file_time_type::clock::now() - std::chrono::minutes(5));
  make(".s.txt.AbC123", true);       // not a spring file's
  make("s.zeb.AbC123", true);        // not a temporary name
  make(".s.zeb.AbC12", true);        // five letters
  make("keep.zeb", true);
  fs::create_symlink(work_ / "keep.zeb", work_ / ".l.zeb.AbC123");
  const bool root = ::geteuid() == 0;
  if (root) {
    make(".other.zeb.AbC123", true);
    ASSERT_EQ(::chown((work_ / ".other.zeb.AbC123").c_str(), 65534, 65534), 0);
  }
  const Ran batch = Run({"keep.zeb", "/I"});  // batch runs leave them
  EXPECT_TRUE(fs::exists(work_ / ".s.zeb.AbC123")) << batch.err;
  const Ran r = Run({});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::exists(work_ / ".s.zeb.AbC123"));
  EXPECT_FALSE(fs::exists(work_ / ".feder 2.ZEB.x9Y8z7"));
  for (const char* kept : {".s.zeb.Fresh1", ".s.zeb.Slow12", ".s.txt.AbC123", "s.zeb.AbC123", ".s.zeb.AbC12", "keep.zeb"})
    EXPECT_TRUE(fs::exists(work_ / kept)) << kept;
  EXPECT_TRUE(fs::is_symlink(work_ / ".l.zeb.AbC123"));
  if (root) {
    EXPECT_TRUE(fs::exists(work_ / ".other.zeb.AbC123"));
  }
}

// A full temporary folder at start is named and the start goes on with
// the file (no question whether to overwrite it). Needs root for a small
// file system of its own.
TEST_F(HostileFilesTest, FullTemporaryFolderIsNamedAndTheStartGoesOn) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
  if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + tmp_.string() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  struct Unmount {
    std::string dir;
    ~Unmount() { (void)std::system(("umount '" + dir + "'").c_str()); }
  } unmount{tmp_.string()};
  WriteBytes(tmp_ / "fill", std::string(200 * 1024, 'x'));  // as much as fits
  fs::copy_file(SourceDir() / "examples" / "round_dynamic.zeb", work_ / "t.zeb");
  const Ran r = Run({"t.zeb"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Ordner für temporäre Dateien " + tmp_.string() + " ist voll !"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("existiert bereits"), std::string::npos) << r.err;
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{"fill"});
}

}  // namespace
