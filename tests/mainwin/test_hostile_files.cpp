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
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

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
    root_ = zeb::test::FreshTestFolder("zeb1_hostile_", {"work", "xdg", "tmp", "victim"});
    work_ = root_ / "work";
    tmp_ = root_ / "tmp";
    // Qt's own runtime folder is not the program's: it goes to the XDG one.
    fs::permissions(root_ / "xdg", fs::perms::owner_all);
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

}  // namespace
