// Locks between processes and between areas: byte ranges in the table
// file, share modes, the lock rules of the commands, and concurrent writers
// that lose no update.
#include <fcntl.h>
#include <sys/wait.h>

#include <cstdint>
#include <functional>
#include <map>

#include "x2_support.h"
#include "xbase/core/engine.h"

namespace zeb::xbase::test {
namespace {

// Runs body in a child process; its exit status (body's result).
int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    int rc = 99;
    try {
      rc = body();
    } catch (...) {
      rc = 98;
    }
    ::_exit(rc);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The lock another descriptor of the file sees on a range: its type, and
// start and length of the conflicting lock.
struct SeenLock {
  short type = F_UNLCK;
  std::int64_t start = 0, length = 0;
};
SeenLock Probe(const std::string& path, std::int64_t start, std::int64_t length) {
  int fd = ::open(path.c_str(), O_RDWR);
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  ::fcntl(fd, F_OFD_GETLK, &fl);
  ::close(fd);
  return {fl.l_type, fl.l_start, fl.l_len};
}

class LockingTest : public AreaTest {};

TEST_F(LockingTest, FileLockShutsOutAnotherProcessAtOnce) {
  MakeNumbered(dir / "f.dbf", 10);
  USE(dir / "f.dbf");
  ASSERT_TRUE(FLock());
  SeenLock s = Probe(dir / "f.dbf", 0x40000001, 1);
  EXPECT_EQ(s.type, F_WRLCK);
  EXPECT_EQ(s.start, 0x40000001);
  EXPECT_EQ(s.length, 0x3FFFFFFF);
  int rc = InChild([&] {
    Select(2);
    USE(dir / "f.dbf alias b");
    if (TzCurrentError() != 0) return 1;
    // At once: each lock is refused on its first try, no retries.
    int refused = 0;
    const SysLockFn sysLock = Engine().sysLock;
    SetTzSysLock([&](int fd, short type, std::int64_t offset, std::int64_t length) {
      const int r = sysLock(fd, type, offset, length);
      refused += r != 0;
      return r;
    });
    if (ALock()) return 2;
    GO(3);
    if (RLock()) return 3;
    if (refused != 2) return 4;
    return 0;
  });
  EXPECT_EQ(rc, 0);
  Unlock();
  EXPECT_EQ(Probe(dir / "f.dbf", 0x40000001, 1).type, F_UNLCK);
  EXPECT_EQ(InChild([&] {
              Select(2);
              USE(dir / "f.dbf alias b");
              return ALock() ? 0 : 1;
            }),
            0);
}

TEST_F(LockingTest, RecordLockRangesAndUnlockNewest) {
  MakeNumbered(dir / "r.dbf", 10);
  USE(dir / "r.dbf");
  WorkArea& a = *CurrentWorkArea();
  const std::int64_t base = 0x40000000;
  GO(5);
  ASSERT_TRUE(RLock());
  ASSERT_TRUE(RLock());  // no second entry
  GO(9);
  ASSERT_TRUE(RLock());
  EXPECT_EQ(a.recordLocks.size(), 2u);
  SeenLock s9 = Probe(dir / "r.dbf", base + a.headerLength + 8 * a.recordLength, 1);
  EXPECT_EQ(s9.type, F_WRLCK);
  EXPECT_EQ(s9.start, base + a.headerLength + 8 * a.recordLength);
  EXPECT_EQ(s9.length, a.recordLength);
  EXPECT_FALSE(FLock());  // record locks held
  EXPECT_TRUE(UnlockRec(-2));
  EXPECT_EQ(Probe(dir / "r.dbf", base + a.headerLength + 8 * a.recordLength, a.recordLength).type, F_UNLCK);
  EXPECT_EQ(Probe(dir / "r.dbf", base + a.headerLength + 4 * a.recordLength, a.recordLength).type, F_WRLCK);
  EXPECT_TRUE(IsLocked(5));
  EXPECT_FALSE(IsLocked(9));
  EXPECT_FALSE(UnlockRec(9));
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_EQ(TzTakeLastErrorText(), "Record not locked. [UnlockRec(9)]");
  EXPECT_EQ(InChild([&] {
              Select(2);
              USE(dir / "r.dbf alias b");
              GO(9);
              if (!RLock()) return 1;
              GO(5);
              return RLock() ? 2 : 0;
            }),
            0);
  EXPECT_TRUE(UnlockRec(-3));
  EXPECT_EQ(a.lockState, kLockNone);
}

TEST_F(LockingTest, ExclusiveUseShutsOutOthers) {
  MakeNumbered(dir / "x.dbf", 3, {2});
  USE(dir / "x.dbf exclusive");
  EXPECT_EQ(InChild([&] {
              Select(2);
              USE(dir / "x.dbf alias b");
              return TzCurrentError() == 32 && CurrentWorkArea() == nullptr ? 0 : 1;
            }),
            0);
  // Two areas of one process conflict too.
  Select(2);
  USE(dir / "x.dbf");
  EXPECT_EQ(TzCurrentError(), 32);
  Select(1);
  CloseArea();
  // Shared here and in a child: the child's Pack cannot have the file.
  USE(dir / "x.dbf");
  EXPECT_EQ(InChild([&] {
              Select(2);
              USE(dir / "x.dbf alias b");
              if (Pack()) return 1;
              if (TzCurrentError() != 32) return 2;
              // Still shared: our own area can lock a record.
              GO(1);
              return RLock() ? 0 : 3;
            }),
            0);
  EXPECT_EQ(RecCount(), 3);
}

TEST_F(LockingTest, CommandsNeedTheirLocks) {
  MakeNumbered(dir / "c.dbf", 3);
  USE(dir / "c.dbf");
  AppendRow({"X", "1"});
  EXPECT_EQ(TzCurrentError(), 5);
  GO(2);
  ASSERT_TRUE(ALock());
  SetField(1, "Y");
  Replace();
  EXPECT_EQ(TzCurrentError(), 1200);
  DeleteRec();
  EXPECT_EQ(TzCurrentError(), 1200);
  RecallRec();
  EXPECT_EQ(TzCurrentError(), 1200);
  Poke("Z", 1, 2);
  EXPECT_EQ(TzCurrentError(), 1200);
  AppendRow({"X", "4"});
  EXPECT_EQ(TzCurrentError(), 0);
  Unlock();
  GO(2);
  ASSERT_TRUE(RLock());
  SetField(1, "Y");
  Replace();
  DeleteRec();
  Poke("Z", 2, 2);
  EXPECT_EQ(TzCurrentError(), 0);
  Poke("Z", 2, 3);
  EXPECT_EQ(TzCurrentError(), 1200);
  Unlock();
  ASSERT_TRUE(FLock());
  GO(3);
  RecallRec();
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_FALSE(RLock());
}

TEST_F(LockingTest, SharedModeOffMakesNoSystemCall) {
  MakeNumbered(dir / "s.dbf", 3);
  int calls = 0;
  SetTzSysLock([&calls](int, short, std::int64_t, std::int64_t) {
    ++calls;
    return 0;
  });
  SetSharedMode(false);
  USE(dir / "s.dbf");
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  EXPECT_TRUE(FLock());
  Unlock();
  EXPECT_TRUE(ALock());
  Unlock();
  GO(2);
  EXPECT_TRUE(RLock());
  EXPECT_TRUE(IsLocked(2));
  EXPECT_TRUE(UnlockRec(2));
  CloseArea();
  EXPECT_EQ(calls, 0);
  SetSharedMode(true);
  USE(dir / "s.dbf");
  GO(2);
  EXPECT_TRUE(RLock());
  EXPECT_GT(calls, 0);
  // The counting lock must not outlive calls: closing unlocks.
  CloseArea();
  SetTzSysLock(nullptr);
}

TEST_F(LockingTest, ConcurrentWritersLoseNoUpdate) {
  const int kWriters = 5, kRounds = 40, kCounters = 4;
  CreateTable(dir / "w.dbf", {Fd("NAME", 'C', 12), Fd("CNT", 'N', 8)});
  SelectArea(34);
  USE(dir / "w.dbf exclusive");
  for (int c = 1; c <= kCounters; ++c) AppendRow({"C" + std::to_string(c), "0"});
  CloseArea();
  SelectArea(1);
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      SetLockRetry(20, 1, [] { return true; });
      USE(dir / "w.dbf");
      if (TzCurrentError() != 0) ::_exit(1);
      for (int k = 0; k < kRounds; ++k) {
        while (!ALock()) {}
        AppendRow({"W" + std::to_string(w) + "-" + std::to_string(k), "1"});
        if (TzCurrentError() != 0) ::_exit(2);
        Unlock();
        GO(1 + (w + k) % kCounters);
        while (!RLock()) {}
        SKIP(0);
        SetBufferInteger(*CurrentWorkArea(), 2, BufferInteger(*CurrentWorkArea(), 2) + 1);
        Replace();
        if (TzCurrentError() != 0) ::_exit(3);
        Unlock();
      }
      CloseArea();
      ::_exit(TzCurrentError() == 0 ? 0 : 4);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::string bytes = ReadBytes(dir / "w.dbf");
  std::uint32_t headerCount = static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8;
  std::uint16_t hlen = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8);
  const std::uint32_t total = kCounters + kWriters * kRounds;
  EXPECT_EQ(headerCount, total);
  EXPECT_EQ(bytes.size(), hlen + total * 21u + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.find('\x1A', hlen), bytes.size() - 1);
  USE(dir / "w.dbf");
  EXPECT_EQ(RecCount(), static_cast<std::int32_t>(total));
  std::map<std::string, int> seen;
  std::vector<int> expected(kCounters + 1, 0);
  for (int w = 0; w < kWriters; ++w)
    for (int k = 0; k < kRounds; ++k) expected[1 + (w + k) % kCounters]++;
  for (GoTop(); !dEOF(); SKIP(1)) {
    std::string name = TzTrimRight(FieldAsString(1));
    seen[name]++;
    if (RecNo() <= kCounters) {
      EXPECT_EQ(BufferInteger(*CurrentWorkArea(), 2), expected[RecNo()]) << name;
    }
  }
  EXPECT_EQ(seen.size(), total);
  for (const auto& [name, n] : seen) EXPECT_EQ(n, 1) << name;
  CloseArea();
  std::string out;
  int rc = RunPython(dir,
                     "import dbfread\n"
                     "t = dbfread.DBF('" + dir / "w.dbf" + "', encoding='cp850')\n"
                     "print(len(list(t)), sum(r['CNT'] for r in t))\n",
                     out);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, std::to_string(total) + " " + std::to_string(kWriters * kRounds * 2) + "\n");
  rc = RunCommand("ogrinfo -ro -al -so -oo ENCODING=CP850 " + ShellQuote(dir / "w.dbf") + " 2>&1", out);
  if (rc == 127) GTEST_SKIP() << "ogrinfo missing";
  EXPECT_NE(out.find("Feature Count: " + std::to_string(total)), std::string::npos) << out;
}

}  // namespace
}  // namespace zeb::xbase::test
