// Saves seen from outside: every name a save touches (traced with strace),
// and what saves killed with SIGKILL leave in the data folder, which the
// next interactive start of the real program clears. The saving processes
// are this test program again (SaveChild.Loop), saving through the
// program's own save command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/globals.h"
#include "base/support_clock.h"
#include "graphics/cadsettings.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
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

// The child: saves the round dynamic example to ZEB1_SAVE_TARGET,
// ZEB1_SAVE_COUNT times (0: until it is killed), under temporary names where
// ZEB1_SAVE_NAMED is set; after its first save it writes one byte to the
// descriptor ZEB1_SAVE_READY_FD. Without ZEB1_SAVE_TARGET it does nothing.
TEST(SaveChild, Loop) {
  const char* target = std::getenv("ZEB1_SAVE_TARGET");
  if (target == nullptr) GTEST_SKIP() << "runs as the saving child only";
  ::alarm(60);
  zeb::InitProgramUnits();
  zeb::InitProgramIdentity();
  zeb::G().AbortFlag = 0;
  // A window on the file it saves, which an earlier child may have written
  // (a window replaces unasked only the file it read or wrote).
  const bool there = fs::exists(target);
  zeb::ReadSpringFile(there ? std::string(target) : (SourceDir() / "examples" / "round_dynamic.zeb").string());
  ASSERT_EQ(zeb::G().AbortFlag, 0);
  zeb::G().CurrentFileName = target;
  if (std::getenv("ZEB1_SAVE_NAMED") != nullptr) zeb::UseUnnamedTemporaries(false);
  const long count = std::atol(std::getenv("ZEB1_SAVE_COUNT") ? std::getenv("ZEB1_SAVE_COUNT") : "1");
  const int ready = std::atoi(std::getenv("ZEB1_SAVE_READY_FD") ? std::getenv("ZEB1_SAVE_READY_FD") : "-1");
  for (long k = 0; count == 0 || k < count; ++k) {
    zeb::SaveCurrentFile(target);
    ASSERT_EQ(zeb::G().AbortFlag, 0);
    if (k == 0 && ready >= 0) {
      (void)::write(ready, "s", 1);
      ::close(ready);
    }
  }
}

class KilledSavesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(ZEB1_WZEB1)) << ZEB1_WZEB1;
    root_ = zeb::test::FreshTestFolder("zeb1_saves_", {"data", "work", "xdg/zeb1", "tmp"});
    data_ = root_ / "data";
  }
  void TearDown() override { fs::remove_all(root_); }

  // Starts this program as the saving child; its pid, or -1.
  pid_t StartChild(const std::vector<std::string>& prefix, const std::vector<std::string>& env, int readyFd = -1) {
    std::vector<std::string> all = prefix;
    all.push_back(Self());
    all.push_back("--gtest_filter=SaveChild.Loop");
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> vars = {"ZEB1_SAVE_TARGET=" + (data_ / "feder.zeb").string(), "PATH=/usr/bin:/bin",
                                     "HOME=" + root_.string(), "TMPDIR=" + (root_ / "tmp").string()};
    if (readyFd >= 0) vars.push_back("ZEB1_SAVE_READY_FD=" + std::to_string(readyFd));
    vars.insert(vars.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }
  static std::string Self() { return fs::read_symlink("/proc/self/exe").string(); }

  std::vector<std::string> DataFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(data_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_, data_;
};

// The bytes of one whole save of the round dynamic example.
std::string WholeSave() {
  zeb::ResetSpringGlobals();
  zeb::ResetBaseGlobals();
  zeb::InitProgramIdentity();
  zeb::ReadSpringFile((SourceDir() / "examples" / "round_dynamic.zeb").string());
  return zeb::FormatSpringFile(zeb::CurrentSpringFileRecords());
}

// Every name a save touches in the data folder, traced: the spring file and,
// where the file system has no files without a name, a temporary name of the
// program's own form; never a probe or any other name.
TEST_F(KilledSavesTest, SavesTouchOnlyTheFileAndTheirOwnTemporaries) {
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named temporaries" : "unnamed temporaries");
    const fs::path log = root_ / "strace.log";
    std::vector<std::string> env = {"ZEB1_SAVE_COUNT=3"};
    if (named) env.push_back("ZEB1_SAVE_NAMED=1");
    const pid_t pid = StartChild({"strace", "-f", "-qq", "-s", "4096", "-o", log.string(), "-e",
                                  "trace=open,openat,creat,mkdir,mkdirat,link,linkat,symlink,symlinkat,rename,"
                                  "renameat,renameat2,unlink,unlinkat"},
                                 env);
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadBytes(log);
    const std::string trace = ReadBytes(log);
    ASSERT_NE(trace.find(data_.string()), std::string::npos) << trace;
    EXPECT_EQ(trace.find("probe"), std::string::npos) << trace;
    int own = 0;
    for (std::size_t at = trace.find(data_.string() + "/"); at != std::string::npos;
         at = trace.find(data_.string() + "/", at + 1)) {
      const std::size_t from = at + data_.string().size() + 1;
      const std::string name = trace.substr(from, trace.find('"', from) - from);
      if (name == "feder.zeb" || name.empty()) continue;  // the file, or the folder listed for a lookup
      EXPECT_TRUE(zeb::IsOwnTemporaryName(name)) << name;
      ++own;
    }
    if (named) {
      EXPECT_GT(own, 0);
    }
    EXPECT_EQ(DataFiles(), std::vector<std::string>{"feder.zeb"});
    fs::remove(log);
  }
}

// 200 saves killed with SIGKILL at random moments (half of them under
// temporary names) leave the spring file whole and nothing else but
// temporary names of the program's own; once ten minutes old, the next
// interactive start removes them and keeps the user's own files.
CLOCK_TEST_F(KilledSavesTest, KilledSavesLeaveOnlyOwnTemporariesWhichTheNextStartRemoves) {
  const std::string whole = WholeSave();
  const unsigned seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  int killedWhileSaving = 0;
  for (int k = 0; k < 200; ++k) {
    int pipeFd[2];
    ASSERT_EQ(::pipe2(pipeFd, 0), 0);
    std::vector<std::string> env = {"ZEB1_SAVE_COUNT=0"};
    if (k % 2 == 1) env.push_back("ZEB1_SAVE_NAMED=1");
    const pid_t pid = StartChild({}, env, pipeFd[1]);
    ::close(pipeFd[1]);
    ASSERT_GT(pid, 0);
    char byte = 0;
    const bool saving = ::read(pipeFd[0], &byte, 1) == 1;  // after its first save
    ::close(pipeFd[0]);
    killedWhileSaving += saving;
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  EXPECT_GT(killedWhileSaving, 150);
  EXPECT_EQ(ReadBytes(data_ / "feder.zeb"), whole);
  std::vector<std::string> leftovers;
  for (const std::string& name : DataFiles()) {
    if (name == "feder.zeb") continue;
    EXPECT_TRUE(zeb::IsOwnTemporaryName(name)) << name;
    leftovers.push_back(name);
  }
  // A leftover of a killed save for certain, beside the user's own files.
  WriteBytes(data_ / ".feder.zeb.~zeb1~Kill01", whole.substr(0, 100));
  leftovers.push_back(".feder.zeb.~zeb1~Kill01");
  const std::vector<std::string> users = {".spring.zeb.backup", ".Spring.ZEB.v2copy", ".plan.zeb.202401"};
  for (const std::string& name : users) WriteBytes(data_ / name, "mine: " + name);
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const std::string& name : leftovers) fs::last_write_time(data_ / name, old);
  for (const std::string& name : users) fs::last_write_time(data_ / name, old);

  // The real program, started interactively with this data folder.
  zeb::ResetBaseGlobals();
  zeb::ResetConfigDefaults();
  zeb::Config().DefaultDataFolder = data_.string() + "/";
  zeb::G().AbortFlag = 0;
  zeb::WriteConfigFile((root_ / "xdg" / "zeb1" / "zeb1.cfg").string());
  ASSERT_EQ(zeb::G().AbortFlag, 0);
  const pid_t pid = [&] {
    std::vector<std::string> all = {ZEB1_WZEB1};
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> vars = {"XDG_CONFIG_HOME=" + (root_ / "xdg").string(),
                                     "TMPDIR=" + (root_ / "tmp").string(), "QT_QPA_PLATFORM=offscreen",
                                     "PATH=/usr/bin:/bin", "HOME=" + root_.string(),
                                     "XDG_RUNTIME_DIR=" + (root_ / "xdg").string()};
    std::vector<char*> envp;
    for (std::string& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, (root_ / "work").c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t p = -1;
    posix_spawn(&p, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return p;
  }();
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::string> expected = users;
  expected.push_back("feder.zeb");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(DataFiles(), expected);
  for (const std::string& name : users) EXPECT_EQ(ReadBytes(data_ / name), "mine: " + name);
  EXPECT_EQ(ReadBytes(data_ / "feder.zeb"), whole);
}

}  // namespace
