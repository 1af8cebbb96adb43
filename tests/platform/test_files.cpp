#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>
#include <vector>

#include "base/support_clock.h"
#include "base/test_files_support.h"

namespace zeb {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;
using test::ReadBytes;
using test::WriteBytes;

class FilesTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_ / name; }
  Names Entries() const { return dir_.Entries(); }
  static int Write(AtomicFile& f, const std::string& s) { return f.Write(s.data(), s.size()); }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  test::ScratchDir dir_;
};

TEST_F(FilesTest, CommitReplacesKeepingTheModeNewFilesGetTheDefault) {
  std::string target = Path("spring.zeb");
  WriteBytes(target, "old contents\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  AtomicFile f;
  ASSERT_EQ(f.Open(target), 0);
  EXPECT_EQ(ReadBytes(target), "old contents\n");  // untouched while writing
  EXPECT_EQ(Write(f, "new\r\n"), 0);
  EXPECT_EQ(Write(f, "contents\r\n"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_EQ(ReadBytes(target), "new\r\ncontents\r\n");
  EXPECT_EQ(Mode(target), 0640u);
  EXPECT_EQ(Entries(), Names{"spring.zeb"});

  const mode_t old = umask(027);
  AtomicFile g;
  ASSERT_EQ(g.Open(Path("new file.txt")), 0);
  EXPECT_EQ(Write(g, "x"), 0);
  EXPECT_EQ(g.Commit(), 0);
  umask(old);
  EXPECT_EQ(Mode(Path("new file.txt")), 0640u);
  EXPECT_EQ(ReadBytes(Path("new file.txt")), "x");
}

// Both ways of writing: a file without a name (where the file system has
// them) and a temporary name (where it has not).
class AtomicFileWays : public FilesTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override { UseUnnamedTemporaries(GetParam()); }
  void TearDown() override { UseUnnamedTemporaries(true); }
};

TEST_P(AtomicFileWays, AbortAndDestructionLeaveTheOldFile) {
  std::string target = Path("ZEB1.ERR");
  WriteBytes(target, "keep\0me"s);
  {
    AtomicFile f;
    ASSERT_EQ(f.Open(target), 0);
    if (GetParam()) {
      EXPECT_TRUE(f.TempPath().empty());
      EXPECT_EQ(Entries(), Names{"ZEB1.ERR"});  // nothing to see while writing
    } else {
      EXPECT_TRUE(PathExists(f.TempPath()));
      EXPECT_EQ(f.TempPath().rfind(dir_.path() + "/", 0), 0u);  // beside the target
    }
    EXPECT_EQ(Write(f, "half-written"), 0);
    f.Abort();
    EXPECT_FALSE(f.IsOpen());
  }
  {
    AtomicFile f;
    ASSERT_EQ(f.Open(target), 0);
    EXPECT_EQ(Write(f, "half-written"), 0);
  }  // destroyed without commit
  EXPECT_EQ(ReadBytes(target), "keep\0me"s);
  EXPECT_EQ(Entries(), Names{"ZEB1.ERR"});
}

// New and replaced targets get the whole contents and keep no other name;
// a target that appears while the file is written is replaced, not kept.
TEST_P(AtomicFileWays, NewReplacedAndRacedTargets) {
  const std::string fresh = Path("new.txt"), old = Path("old.txt"), raced = Path("raced.txt");
  WriteBytes(old, "old");
  for (const std::string& target : {fresh, old, raced}) {
    AtomicFile f;
    ASSERT_EQ(f.Open(target), 0) << target;
    if (target == raced) WriteBytes(raced, "someone else's");
    EXPECT_EQ(Write(f, "whole " + target), 0);
    EXPECT_EQ(f.Commit(), 0) << target;
    EXPECT_EQ(ReadBytes(target), "whole " + target);
  }
  EXPECT_EQ(Entries(), (Names{"new.txt", "old.txt", "raced.txt"}));
  if (!GetParam()) return;
  // A file without a name whose folder goes away fails to commit and
  // leaves nothing behind.
  const std::string gone = Path("sub");
  ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
  AtomicFile g;
  ASSERT_EQ(g.Open(gone + "/x.txt"), 0);
  EXPECT_EQ(Write(g, "x"), 0);
  ASSERT_EQ(rmdir(gone.c_str()), 0);
  EXPECT_NE(g.Commit(), 0);
  EXPECT_FALSE(PathExists(gone));
  EXPECT_EQ(Entries(), (Names{"new.txt", "old.txt", "raced.txt"}));
}

// A file system that makes unnamed files but refuses to name them: the
// contents go under a temporary name and arrive all the same, with the
// target's mode; nothing else stays.
TEST_F(FilesTest, UnnamedFileThatCannotBeNamedIsCopied) {
  FailUnnamedLinks(EPERM);
  const std::string fresh = Path("new.txt"), old = Path("old.txt");
  WriteBytes(old, "old");
  ASSERT_EQ(chmod(old.c_str(), 0604), 0);
  const std::string big(200000, 'z');  // more than one copy block
  for (const std::string& target : {fresh, old}) {
    AtomicFile f;
    ASSERT_EQ(f.Open(target), 0);
    EXPECT_TRUE(f.TempPath().empty());
    EXPECT_EQ(Write(f, big + target), 0);
    EXPECT_EQ(f.Commit(), 0) << target;
    EXPECT_EQ(ReadBytes(target), big + target);
  }
  FailUnnamedLinks(0);
  EXPECT_EQ(Mode(old), 0604u);
  EXPECT_EQ(Entries(), (Names{"new.txt", "old.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Unnamed, AtomicFileWays, ::testing::Bool());

TEST_F(FilesTest, FileSizeLimitFailsTheCommitAndKeepsTheTarget) {
  std::string target = Path("big.txt");
  WriteBytes(target, "original");
  // The first write fits, the second fails with the limit's error, the
  // commit repeats it.
  EXPECT_EQ(test::RunWithFileSizeLimit(4096,
                                       [&] {
                                         AtomicFile f;
                                         if (f.Open(target) != 0) return 10;
                                         const std::string block(3000, 'x');
                                         const int w1 = Write(f, block), w2 = Write(f, block);
                                         return w1 == 0 && w2 == EFBIG && f.Commit() == EFBIG ? 0 : 20;
                                       }),
            0);
  EXPECT_EQ(ReadBytes(target), "original");
  EXPECT_EQ(Entries(), Names{"big.txt"});
}

TEST_F(FilesTest, DevicesAreWrittenDirectlyAndOpenFailures) {
  AtomicFile f;
  ASSERT_EQ(f.Open("/dev/null"), 0);
  EXPECT_TRUE(f.TempPath().empty());
  EXPECT_EQ(Write(f, "anything"), 0);
  EXPECT_EQ(f.Commit(), 0);
  ASSERT_EQ(f.Open("/dev/full"), 0);
  EXPECT_EQ(Write(f, "x"), ENOSPC);
  EXPECT_EQ(f.Commit(), ENOSPC);

  AtomicFile g;
  EXPECT_EQ(g.Open(Path("missing/x.txt")), ENOENT);
  EXPECT_FALSE(g.IsOpen());
  EXPECT_EQ(g.Open(dir_.path()), EISDIR);
  EXPECT_EQ(g.Commit(), EBADF);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FilesTest, SymlinkKeptAndItsFileReplaced) {
  std::string real = Path("real.txt"), link = Path("link.txt");
  WriteBytes(real, "old");
  ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
  AtomicFile f;
  ASSERT_EQ(f.Open(link), 0);
  EXPECT_EQ(Write(f, "new"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "new");
}

// A link planted by another user (here: handed to nobody) is replaced as a
// name; the file it points to keeps its bytes.
TEST_F(FilesTest, AnotherUsersLinkIsNeverFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link away";
  std::string victim = Path("thesis.txt"), link = Path("$feder.dx$");
  WriteBytes(victim, "my thesis");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
  AtomicFile f;
  ASSERT_EQ(f.Open(link), 0);
  EXPECT_EQ(Write(f, "0\r\nSECTION\r\n"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_EQ(ReadBytes(victim), "my thesis");
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(link), "0\r\nSECTION\r\n");
}

// The run's folder: new, private, inside the parent, gone with its files
// (and links, whose targets stay) when removed; a second one replaces it.
// The whole-file writer writes nothing in place: devices are refused, and in
// the run's own folder a write over the limit leaves the old file.
TEST_F(FilesTest, WholeFileWriterNeverWritesInPlace) {
  EXPECT_EQ(WriteWholeFile("/dev/null", "x"), ENXIO);
  EXPECT_EQ(WriteWholeFile(dir_.path(), "x"), EISDIR);
  ASSERT_EQ(MakeRunFolder(dir_.path()), 0);
  const std::string scratch = RunFolder() + "/copy.dbf";
  ASSERT_EQ(WriteWholeFile(scratch, "old"), 0);
  EXPECT_EQ(Mode(scratch), 0600u);
  EXPECT_EQ(test::RunWithFileSizeLimit(4096, [&] { return WriteWholeFile(scratch, std::string(6000, 'x')); }), EFBIG);
  EXPECT_EQ(ReadBytes(scratch), "old");
  RemoveRunFolder();
}

TEST_F(FilesTest, RunFolderIsPrivateAndRemovedWithItsFiles) {
  std::string victim = Path("keep.txt");
  WriteBytes(victim, "keep");
  ASSERT_EQ(MakeRunFolder(dir_.path()), 0);
  const std::string first = RunFolder();
  ASSERT_EQ(first.rfind(dir_.path() + "/zeb1-", 0), 0u) << first;
  struct stat st {};
  ASSERT_EQ(lstat(first.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_EQ(ScratchDirectory(), first);
  WriteBytes(first + "/$feder.dx$", "x");
  ASSERT_EQ(symlink(victim.c_str(), (first + "/link").c_str()), 0);
  // A new file written there is the user's alone.
  AtomicFile f;
  ASSERT_EQ(f.Open(first + "/outwin.txt"), 0);
  EXPECT_EQ(Write(f, "page"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_EQ(Mode(first + "/outwin.txt"), 0600u);
  // Written in place, without a temporary name.
  AtomicFile g;
  ASSERT_EQ(g.Open(first + "/outwin.txt"), 0);
  EXPECT_TRUE(g.IsDirect());
  EXPECT_TRUE(g.TempPath().empty());
  EXPECT_EQ(Write(g, "page 2"), 0);
  EXPECT_EQ(g.Commit(), 0);
  EXPECT_EQ(ReadBytes(first + "/outwin.txt"), "page 2");

  ASSERT_EQ(MakeRunFolder(dir_.path()), 0);
  EXPECT_NE(RunFolder(), first);
  EXPECT_FALSE(std::filesystem::exists(first));
  RemoveRunFolder();
  EXPECT_EQ(RunFolder(), "");
  EXPECT_EQ(ScratchDirectory(), TempDirectory());
  EXPECT_EQ(Entries(), Names{"keep.txt"});
  EXPECT_EQ(ReadBytes(victim), "keep");
  EXPECT_NE(MakeRunFolder(Path("missing")), 0);
  EXPECT_EQ(RunFolder(), "");
}

// A planned run folder is made on first use only, private as one made at
// once; a parent that cannot hold it is named at once and nothing is made.
TEST_F(FilesTest, PlannedRunFolderIsMadeOnFirstUse) {
  ASSERT_EQ(PlanRunFolder(dir_.path() + "/"), 0);
  EXPECT_EQ(RunFolderIfMade(), "");
  EXPECT_FALSE(InRunFolder(dir_.path() + "/zeb1-x/a"));
  AtomicFile f;  // a file elsewhere does not make it
  ASSERT_EQ(f.Open(Path("out.txt")), 0);
  EXPECT_EQ(Write(f, "x"), 0);
  EXPECT_EQ(f.Commit(), 0);
  EXPECT_EQ(Entries(), Names{"out.txt"});
  const std::string run = RunFolder();
  ASSERT_EQ(run.rfind(dir_.path() + "/zeb1-", 0), 0u) << run;
  EXPECT_EQ(RunFolderIfMade(), run);
  EXPECT_EQ(RunFolder(), run);
  EXPECT_EQ(Mode(run), 0700u);
  EXPECT_EQ(ScratchDirectory(), run);
  RemoveRunFolder();
  EXPECT_FALSE(std::filesystem::exists(run));
  // Removed before it was made: nothing is made later either.
  ASSERT_EQ(PlanRunFolder(dir_.path()), 0);
  RemoveRunFolder();
  EXPECT_EQ(RunFolder(), "");
  EXPECT_EQ(Entries(), Names{"out.txt"});

  EXPECT_EQ(PlanRunFolder(Path("missing")), ENOENT);
  EXPECT_EQ(PlanRunFolder(Path("out.txt")), ENOTDIR);
  EXPECT_EQ(RunFolder(), "");
  if (::geteuid() != 0) {
    std::filesystem::create_directory(Path("shut"));
    ::chmod(Path("shut").c_str(), 0500);
    EXPECT_EQ(PlanRunFolder(Path("shut")), EACCES);
    ::chmod(Path("shut").c_str(), 0700);
  }
  EXPECT_EQ(RunFolder(), "");
}

// A FIFO is refused at once, not waited on for a writer that never comes;
// so are devices and folders. Run in a child that the test ends after 10 s
// (a hang bound; the refusals take milliseconds).
TEST_F(FilesTest, OpeningForReadingNeverWaitsOnAFifo) {
  const std::string fifo = Path("null.zeb"), plain = Path("plain.zeb");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WriteBytes(plain, "data");
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    int fd = -1;
    const bool fifoRefused = OpenRegularForReading(fifo, fd) == ENXIO && fd < 0;
    const bool deviceRefused = OpenRegularForReading("/dev/zero", fd) == ENXIO;
    const bool folderRefused = OpenRegularForReading(dir_.path(), fd) == EISDIR;
    const bool missing = OpenRegularForReading(Path("none"), fd) == ENOENT;
    bool plainRead = OpenRegularForReading(plain, fd) == 0 && fd >= 0;
    char buf[8] = {};
    // The descriptor of a regular file blocks again.
    plainRead = plainRead && (fcntl(fd, F_GETFL) & O_NONBLOCK) == 0 && read(fd, buf, sizeof buf) == 4;
    _exit(fifoRefused && deviceRefused && folderRefused && missing && plainRead ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "killed: the open waited on the FIFO";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The program's own temporary names: "." + a name + ".~zeb1~" + six
// letters or digits, nothing else; what a save without unnamed files
// writes beside its target is one.
TEST_F(FilesTest, OwnTemporaryNamesCarryTheMark) {
  for (const char* own : {".s.zeb.~zeb1~AbC123", ".feder 2.ZEB.~zeb1~x9Y8z7", ".a.~zeb1~000000"})
    EXPECT_TRUE(IsOwnTemporaryName(own)) << own;
  for (const char* other : {".spring.zeb.backup", ".Spring.ZEB.v2copy", ".plan.zeb.202401", ".s.zeb.AbC123",
                            "s.zeb.~zeb1~AbC123", ".~zeb1~AbC123", ".s.zeb.~zeb1~AbC12", ".s.zeb.~zeb1~AbC1234",
                            ".s.zeb.~zeb1~AbC-23", ".s.zeb.~zeb2~AbC123", ".s.zeb.zeb1~AbC123", ""})
    EXPECT_FALSE(IsOwnTemporaryName(other)) << other;
  UseUnnamedTemporaries(false);
  AtomicFile f;
  ASSERT_EQ(f.Open(Path("spring.zeb")), 0);
  const std::string temp = f.TempPath();
  UseUnnamedTemporaries(true);
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(IsOwnTemporaryName(temp.substr(temp.rfind('/') + 1))) << temp;
  EXPECT_EQ(temp.rfind(Path(".spring.zeb.~zeb1~"), 0), 0u) << temp;
  f.Abort();
  EXPECT_TRUE(Entries().empty());
}

// The clean-up takes the user's own regular files of exactly that form that
// were not changed since the given time; links, other names, newer files
// and (as root) another user's files stay, byte for byte.
CLOCK_TEST_F(FilesTest, CleanUpTakesOnlyOwnOldTemporaries) {
  const std::time_t now = std::time(nullptr);
  const auto make = [&](const std::string& name, std::time_t age) {
    WriteBytes(Path(name), "bytes of " + name);
    const timespec times[2] = {{now - age, 0}, {now - age, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path(name).c_str(), times, 0), 0);
  };
  const Names users = {".spring.zeb.backup", ".Spring.ZEB.v2copy", ".plan.zeb.202401", "keep.zeb"};
  for (const std::string& n : users) make(n, 3600);
  make(".s.zeb.~zeb1~AbC123", 3600);
  make(".cfg.~zeb1~Old000", 610);
  make(".s.zeb.~zeb1~New000", 590);
  ASSERT_EQ(symlink("keep.zeb", Path(".l.zeb.~zeb1~Lnk000").c_str()), 0);
  ASSERT_EQ(mkdir(Path(".d.zeb.~zeb1~Dir000").c_str(), 0700), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    make(".o.zeb.~zeb1~Oth000", 3600);
    ASSERT_EQ(chown(Path(".o.zeb.~zeb1~Oth000").c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(RemoveOwnTemporaries(dir_.path(), now - 600), 2);
  Names expected = users;
  for (const char* kept : {".s.zeb.~zeb1~New000", ".l.zeb.~zeb1~Lnk000", ".d.zeb.~zeb1~Dir000"}) expected.push_back(kept);
  if (root) expected.push_back(".o.zeb.~zeb1~Oth000");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(), expected);
  for (const std::string& n : users) EXPECT_EQ(ReadBytes(Path(n)), "bytes of " + n) << n;
  EXPECT_EQ(RemoveOwnTemporaries(Path("missing"), now), 0);
}

// The name of a run folder: mkdtemp's six letters or digits after "zeb1-",
// not six digits alone (the shared "zeb1-<uid>" folder).
TEST_F(FilesTest, RunFolderNames) {
  for (const char* name : {"zeb1-AbC123", "zeb1-aaaaaa", "zeb1-12345x"}) EXPECT_TRUE(IsRunFolderName(name)) << name;
  for (const char* name : {"zeb1-123456", "zeb1-AbC12", "zeb1-AbC1234", "zeb1-AbC-23", "Zeb1-AbC123", "zeb1_AbC123",
                           "zeb1-w-AbC123", ""})
    EXPECT_FALSE(IsRunFolderName(name)) << name;
}

// Whether another process could take the lock of a run folder's mark now.
bool MarkIsFree(const std::string& folder) {
  const int fd = ::open((folder + "/" + kRunFolderMark).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

// A run's folder holds its mark, locked while the run lives; the folder
// and the lock go together.
TEST_F(FilesTest, RunFolderMarkIsLockedWhileTheRunLives) {
  ASSERT_EQ(MakeRunFolder(dir_.path()), 0);
  const std::string run = RunFolder();
  struct stat st {};
  ASSERT_EQ(lstat((run + "/" + kRunFolderMark).c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_FALSE(MarkIsFree(run));
  // The run's own folder is live to a clean-up of the same run too.
  EXPECT_EQ(RemoveDeadRunFolders(dir_.path()), 0);
  EXPECT_TRUE(PathIsDirectory(run));
  RemoveRunFolder();
  EXPECT_FALSE(PathExists(run));
  EXPECT_TRUE(Entries().empty());
}

// Folders of runs killed with SIGKILL go with the next clean-up, with what
// they held; a live run's folder, a folder without a mark that is not empty
// or not ten minutes old, a link, other names and (as root) another user's
// folder stay.
CLOCK_TEST_F(FilesTest, DeadRunFoldersGoLiveOnesStay) {
  // A run that makes its folder, writes a scratch file, says so and waits.
  const auto startRun = [&](int& readyFd) {
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return static_cast<pid_t>(-1);
    const pid_t pid = fork();
    if (pid == 0) {
      ::close(pipeFd[0]);
      alarm(60);
      if (MakeRunFolder(dir_.path()) != 0) _exit(1);
      WriteBytes(RunFolder() + "/$feder.dx$", "block");
      ::mkdir((RunFolder() + "/sub").c_str(), 0700);
      WriteBytes(RunFolder() + "/sub/x", "x");
      const std::string name = RunFolder() + "\n";
      if (::write(pipeFd[1], name.data(), name.size()) < 0) _exit(1);
      for (;;) pause();
    }
    ::close(pipeFd[1]);
    readyFd = pipeFd[0];
    return pid;
  };
  const auto folderOf = [](int fd) {
    std::string name;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') name += c;
    ::close(fd);
    return name;
  };
  std::vector<std::string> dead;
  for (int k = 0; k < 20; ++k) {
    int fd = -1;
    const pid_t pid = startRun(fd);
    ASSERT_GT(pid, 0);
    dead.push_back(folderOf(fd));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(PathIsDirectory(dead.back())) << dead.back();
  }
  int liveFd = -1;
  const pid_t live = startRun(liveFd);
  ASSERT_GT(live, 0);
  const std::string liveFolder = folderOf(liveFd);
  // Without a mark: empty and old (a run killed while it made its folder),
  // empty and new (one making its folder now), old but not empty.
  const std::time_t now = std::time(nullptr);
  const timespec old[2] = {{now - 3600, 0}, {now - 3600, 0}};
  ASSERT_EQ(mkdir(Path("zeb1-Empty1").c_str(), 0700), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, Path("zeb1-Empty1").c_str(), old, 0), 0);
  ASSERT_EQ(mkdir(Path("zeb1-Fresh1").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(Path("zeb1-Other1").c_str(), 0700), 0);
  WriteBytes(Path("zeb1-Other1/thesis.txt"), "thesis");
  ASSERT_EQ(utimensat(AT_FDCWD, Path("zeb1-Other1").c_str(), old, 0), 0);
  // A link under a run folder's name, to a folder holding an unlocked mark.
  ASSERT_EQ(mkdir(Path("target").c_str(), 0700), 0);
  WriteBytes(Path("target/") + kRunFolderMark, "");
  WriteBytes(Path("target/keep.txt"), "keep");
  ASSERT_EQ(symlink(Path("target").c_str(), Path("zeb1-Link01").c_str()), 0);
  ASSERT_EQ(mkdir(Path("zeb1-123456").c_str(), 0700), 0);
  WriteBytes(Path("zeb1-123456/") + kRunFolderMark, "");
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(mkdir(Path("zeb1-Nobody").c_str(), 0700), 0);
    WriteBytes(Path("zeb1-Nobody/") + kRunFolderMark, "");
    ASSERT_EQ(chown(Path("zeb1-Nobody").c_str(), 65534, 65534), 0);
  }

  EXPECT_EQ(RemoveDeadRunFolders(dir_.path() + "/"), 21);
  for (const std::string& f : dead) EXPECT_FALSE(PathExists(f)) << f;
  Names expected = {"target", "zeb1-123456", "zeb1-Fresh1", "zeb1-Link01", "zeb1-Other1",
                    liveFolder.substr(liveFolder.rfind('/') + 1)};
  if (root) expected.push_back("zeb1-Nobody");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(ReadBytes(liveFolder + "/$feder.dx$"), "block");
  EXPECT_EQ(ReadBytes(Path("zeb1-Other1/thesis.txt")), "thesis");
  EXPECT_EQ(ReadBytes(Path("target/keep.txt")), "keep");

  // Once the live run is killed too, its folder goes as well.
  ::kill(live, SIGKILL);
  ::waitpid(live, nullptr, 0);
  EXPECT_EQ(RemoveDeadRunFolders(dir_.path()), 1);
  EXPECT_FALSE(PathExists(liveFolder));
  EXPECT_EQ(RemoveDeadRunFolders(Path("missing")), 0);
}

TEST_F(FilesTest, UniqueFilesAreUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 500; ++i) {
    auto p = MakeUniqueFile(dir_.path(), "x");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->rfind(dir_.path() + "/x", 0), 0u);
    EXPECT_TRUE(PathIsRegularFile(*p));
    EXPECT_TRUE(seen.insert(*p).second) << *p;
  }
  EXPECT_EQ(Entries().size(), 500u);
  errno = 0;
  EXPECT_FALSE(MakeUniqueFile(Path("missing"), "x").has_value());
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(FilesTest, CaseInsensitiveLookup) {
  WriteBytes(Path("ZEB1.ERR"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "zeb1.err"), Path("ZEB1.ERR"));
  EXPECT_EQ(ResolvePathCaseInsensitive(Path("zeb1.err")), Path("ZEB1.ERR"));
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path() + "/", "Zeb1.Err"), Path("ZEB1.ERR"));
  // No match: the name as given.
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "talmore.hlp"), Path("talmore.hlp"));
  // The exact name wins.
  WriteBytes(Path("zeb1.err"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "zeb1.err"), Path("zeb1.err"));
  // Two candidates and no exact one: ambiguous, the name as given.
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "Zeb1.err"), Path("Zeb1.err"));
  // Only ASCII letters fold.
  WriteBytes(Path("MEN\xC3\x9C.TXT"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "men\xC3\xBC.txt"), Path("men\xC3\xBC.txt"));
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "men\xC3\x9C.txt"), Path("MEN\xC3\x9C.TXT"));
}

// A folder untouched for a while is remembered between lookups; a file
// added, renamed or removed there is seen at the next lookup all the same.
CLOCK_TEST_F(FilesTest, CaseInsensitiveLookupSeesChangesOfARememberedFolder) {
  // Each age a time of its own, counted from one start: a second passing
  // between two calls must not give the folder a time it had before.
  const std::time_t start = std::time(nullptr);
  long ago = 60;
  const auto age = [&] {
    const timespec past[2] = {{start - ago, 0}, {start - ago, 0}};
    ++ago;
    ASSERT_EQ(utimensat(AT_FDCWD, dir_.path().c_str(), past, 0), 0);
  };
  for (const std::string& name : {"zeb1.cfg"s, "round_static_spring_variant.zeb"s}) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    age();
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(name));
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(name));  // remembered miss
    WriteBytes(Path(upper), "");
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(upper));
    age();
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(upper));
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(upper));  // remembered hit
    std::string mixed = name;
    mixed[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(mixed[0])));
    ASSERT_EQ(std::rename(Path(upper).c_str(), Path(mixed).c_str()), 0);
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(mixed));
    WriteBytes(Path(upper), "");  // two candidates: the name as given
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(name));
    age();
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(name));
    ASSERT_EQ(std::remove(Path(upper).c_str()), 0);
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(mixed));
    ASSERT_EQ(std::remove(Path(mixed).c_str()), 0);
    EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), name), Path(name));
  }
  // A folder that does not exist, or a file in place of the folder.
  EXPECT_EQ(ResolveCaseInsensitive(Path("none"), "zeb1.cfg"), Path("none/zeb1.cfg"));
  WriteBytes(Path("file"), "");
  EXPECT_EQ(ResolveCaseInsensitive(Path("file"), "zeb1.cfg"), Path("file/zeb1.cfg"));
}

// A folder of many files is never listed: a name of more than three
// letters is found there in its usual spellings, any spelling of a shorter
// one, and any spelling of any name in a small folder.
TEST_F(FilesTest, CaseInsensitiveLookupInAFolderOfManyFiles) {
  const std::string big = Path("big"), small = Path("small");
  ASSERT_EQ(::mkdir(big.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(small.c_str(), 0700), 0);
  for (int k = 0; k < 2000; ++k) WriteBytes(big + "/spring" + std::to_string(k) + ".zeb", "");
  struct stat st {};
  ASSERT_EQ(::stat(big.c_str(), &st), 0);
  ASSERT_GT(st.st_size, 32 * 1024) << "the folder takes fewer bytes than one to be listed";
  const std::pair<const char*, bool> cases[] = {
      {"ZEB1.CFG", true}, {"Zeb1.cfg", true}, {"zeb1.CFG", true}, {"ZEB1.cfg", true},
      {"Zeb1.CFG", true}, {"zEb1.cFg", false}, {"ZEB1.Cfg", false}};
  for (const auto& [stored, usual] : cases) {
    for (const std::string& folder : {big, small}) {
      WriteBytes(folder + "/" + stored, "");
      const std::string want = usual || folder == small ? folder + "/" + stored : folder + "/zeb1.cfg";
      EXPECT_EQ(ResolveCaseInsensitive(folder, "zeb1.cfg"), want) << stored;
      ASSERT_EQ(std::remove((folder + "/" + stored).c_str()), 0);
    }
  }
  // Three letters or fewer: every spelling, also in the big folder.
  WriteBytes(big + "/aB1.C", "");
  EXPECT_EQ(ResolveCaseInsensitive(big, "ab1.c"), big + "/aB1.C");
  EXPECT_EQ(ResolveCaseInsensitive(big, "AB1.c"), big + "/aB1.C");
}

// In the run's own folder every name is one the program gave: only the
// exact name is found.
TEST_F(FilesTest, CaseInsensitiveLookupTakesTheRunFolderByExactName) {
  ASSERT_EQ(MakeRunFolder(dir_.path()), 0);
  const std::string run = RunFolder();
  WriteBytes(run + "/$LOGO_2.dx$", "");
  EXPECT_EQ(ResolveCaseInsensitive(run, "$logo_2.dx$"), run + "/$logo_2.dx$");
  EXPECT_EQ(ResolvePathCaseInsensitive(run + "/$LOGO_2.dx$"), run + "/$LOGO_2.dx$");
  // Outside it the same file is found in its other spelling.
  WriteBytes(Path("$LOGO_2.dx$"), "");
  EXPECT_EQ(ResolveCaseInsensitive(dir_.path(), "$logo_2.dx$"), Path("$LOGO_2.dx$"));
  RemoveRunFolder();
}

}  // namespace
}  // namespace zeb
