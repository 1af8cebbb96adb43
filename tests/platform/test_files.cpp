#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>

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
TEST_F(FilesTest, CaseInsensitiveLookupSeesChangesOfARememberedFolder) {
  long ago = 60;
  const auto age = [&] {
    const timespec past[2] = {{std::time(nullptr) - ago, 0}, {std::time(nullptr) - ago, 0}};
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

}  // namespace
}  // namespace zeb
