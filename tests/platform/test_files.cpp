#include "platform/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace zeb {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = TempDirectory() + "/zeb1-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  static void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }
  static int Write(AtomicFile& f, const std::string& s) { return f.Write(s.data(), s.size()); }

  std::string dir_;
};

TEST_F(FilesTest, CommitReplacesKeepingTheMode) {
  std::string target = Path("spring.zeb");
  Put(target, "old contents\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  AtomicFile f;
  ASSERT_EQ(f.Open(target), 0);
  EXPECT_EQ(Get(target), "old contents\n");  // untouched while writing
  EXPECT_EQ(Write(f, "new\r\n"), 0);
  EXPECT_EQ(Write(f, "contents\r\n"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_EQ(Get(target), "new\r\ncontents\r\n");
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(), std::set<std::string>{"spring.zeb"});
}

TEST_F(FilesTest, NewFileGetsDefaultMode) {
  mode_t old = umask(027);
  std::string target = Path("new file.txt");
  AtomicFile f;
  ASSERT_EQ(f.Open(target), 0);
  EXPECT_EQ(Write(f, "x"), 0);
  EXPECT_EQ(f.Commit(), 0);
  umask(old);
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Get(target), "x");
}

TEST_F(FilesTest, AbortAndDestructionLeaveTheOldFile) {
  std::string target = Path("ZEB1.ERR");
  Put(target, "keep\0me"s);
  {
    AtomicFile f;
    ASSERT_EQ(f.Open(target), 0);
    EXPECT_TRUE(PathExists(f.TempPath()));
    EXPECT_EQ(f.TempPath().rfind(dir_ + "/", 0), 0u);  // beside the target
    EXPECT_EQ(Write(f, "half-written"), 0);
    f.Abort();
    EXPECT_FALSE(f.IsOpen());
  }
  {
    AtomicFile f;
    ASSERT_EQ(f.Open(target), 0);
    EXPECT_EQ(Write(f, "half-written"), 0);
  }  // destroyed without commit
  EXPECT_EQ(Get(target), "keep\0me"s);
  EXPECT_EQ(Names(), std::set<std::string>{"ZEB1.ERR"});
}

TEST_F(FilesTest, FileSizeLimitFailsTheCommitAndKeepsTheTarget) {
  std::string target = Path("big.txt");
  Put(target, "original");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &lim);
    AtomicFile f;
    if (f.Open(target) != 0) _exit(10);
    std::string block(3000, 'x');
    int w1 = f.Write(block.data(), block.size());
    int w2 = f.Write(block.data(), block.size());
    int c = f.Commit();
    // First write fits, second fails with the limit's error, commit repeats it.
    _exit(w1 == 0 && w2 == EFBIG && c == EFBIG ? 0 : 20);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Get(target), "original");
  EXPECT_EQ(Names(), std::set<std::string>{"big.txt"});
}

TEST_F(FilesTest, DevicesAreWrittenDirectly) {
  AtomicFile f;
  ASSERT_EQ(f.Open("/dev/null"), 0);
  EXPECT_TRUE(f.TempPath().empty());
  EXPECT_EQ(Write(f, "anything"), 0);
  EXPECT_EQ(f.Commit(), 0);

  AtomicFile full;
  ASSERT_EQ(full.Open("/dev/full"), 0);
  EXPECT_EQ(Write(full, "x"), ENOSPC);
  EXPECT_EQ(full.Commit(), ENOSPC);
}

TEST_F(FilesTest, OpenFailures) {
  AtomicFile f;
  EXPECT_EQ(f.Open(Path("missing/x.txt")), ENOENT);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.Open(dir_), EISDIR);
  EXPECT_EQ(f.Commit(), EBADF);
  EXPECT_TRUE(Names().empty());
}

TEST_F(FilesTest, SymlinkKeptAndItsFileReplaced) {
  std::string real = Path("real.txt"), link = Path("link.txt");
  Put(real, "old");
  ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
  AtomicFile f;
  ASSERT_EQ(f.Open(link), 0);
  EXPECT_EQ(Write(f, "new"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Get(real), "new");
}

TEST_F(FilesTest, UniqueFilesAreUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 500; ++i) {
    auto p = MakeUniqueFile(dir_, "x");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->rfind(dir_ + "/x", 0), 0u);
    EXPECT_TRUE(PathIsRegularFile(*p));
    EXPECT_TRUE(seen.insert(*p).second) << *p;
  }
  EXPECT_EQ(Names().size(), 500u);
  errno = 0;
  EXPECT_FALSE(MakeUniqueFile(Path("missing"), "x").has_value());
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(FilesTest, CaseInsensitiveLookup) {
  Put(Path("ZEB1.ERR"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_, "zeb1.err"), Path("ZEB1.ERR"));
  EXPECT_EQ(ResolvePathCaseInsensitive(Path("zeb1.err")), Path("ZEB1.ERR"));
  EXPECT_EQ(ResolveCaseInsensitive(dir_ + "/", "Zeb1.Err"), Path("ZEB1.ERR"));
  // No match: the name as given.
  EXPECT_EQ(ResolveCaseInsensitive(dir_, "talmore.hlp"), Path("talmore.hlp"));
  // The exact name wins.
  Put(Path("zeb1.err"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_, "zeb1.err"), Path("zeb1.err"));
  // Two candidates and no exact one: ambiguous, the name as given.
  EXPECT_EQ(ResolveCaseInsensitive(dir_, "Zeb1.err"), Path("Zeb1.err"));
  // Only ASCII letters fold.
  Put(Path("MEN\xC3\x9C.TXT"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_, "men\xC3\xBC.txt"), Path("men\xC3\xBC.txt"));
  EXPECT_EQ(ResolveCaseInsensitive(dir_, "men\xC3\x9C.txt"), Path("MEN\xC3\x9C.TXT"));
}

}  // namespace
}  // namespace zeb
