// Two programs share an indexed table through its semaphore file: user
// count, a reader waiting for a writer, headers read again after a change,
// lock time-outs and the change counter's wrap.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "test_ndx_support.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"

namespace zeb::xbase::test {
namespace {

class NdxShared : public NdxTest {};

// The 4-byte semaphore record, or "" when the file is missing.
std::string SemaphoreRecord(const std::string& path) {
  std::string b = ReadBytes(path);
  return b.size() >= 4 ? b.substr(0, 4) : std::string();
}

int Users(const std::string& path) {
  std::string r = SemaphoreRecord(path);
  return r.empty() ? -1 : static_cast<unsigned char>(r[0]);
}

unsigned Counter(const std::string& path) {
  std::string r = SemaphoreRecord(path);
  return r.empty() ? 0xFFFFFFFF : static_cast<unsigned char>(r[2]) | (static_cast<unsigned char>(r[3]) << 8);
}

// One byte over a pipe; 0 when none comes within 60 s (hang bound: the
// other side answers within a second here).
char Receive(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 60000) != 1) return 0;
  char c = 0;
  return ::read(fd, &c, 1) == 1 ? c : 0;
}
void Send(int fd, char c) { (void)!::write(fd, &c, 1); }

// The second program: opens the table shared and answers the steps.
int SecondProgram(const std::string& table, const std::string& index, int in, int out) {
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitParserUnit();
  IndexInit();
  SetSemaphoreWaits(100, 10, 3);
  // Every lock wait of 10 ms pumps the windows once at least: the pumps
  // show that a call waited, and the first one tells the other program.
  struct Pumps : HeadlessTzCallback {
    void Pump() override {
      if (tell >= 0) Send(std::exchange(tell, -1), 'p');
      HeadlessTzCallback::Pump();
    }
    int tell = -1;
  };
  const auto callback = std::make_shared<Pumps>();
  SetTzCallback(callback);
  const auto pumps = [&callback] {
    return std::count_if(callback->events.begin(), callback->events.end(),
                         [](const HeadlessTzCallback::Event& e) { return e.kind == "pump"; });
  };
  Select(1);
  USE(table);
  if (!SetIndexTo(index, 1)) return 10;
  Send(out, 'o');
  if (Receive(in) != 'f') return 11;
  // A holds the writer bracket: this Find waits, then sees A's key.
  const auto reads = IndexCounter().headerReads;
  auto pumped = pumps();
  Send(out, 'w');
  callback->tell = out;
  bool found = Find("777");
  if (!found) return 12;
  if (RecNo() != 6) return 13;
  if (pumps() == pumped) return 14;  // it waited for the writer
  if (IndexCounter().headerReads - reads != 1) return 15;
  Send(out, 'y');
  // A holds the lock for good: a time-out after the shortened wait.
  if (Receive(in) != 't') return 16;
  pumped = pumps();
  bool raised = false;
  try {
    Find("1");
  } catch (const ETzError&) {
    raised = true;
  }
  if (!raised || TzCurrentError() != 1202) return 17;
  if (pumps() - pumped < 2) return 18;  // it waited before giving up
  Send(out, 'x');
  // After the counter's wrap the headers are read again, once.
  if (Receive(in) != 'c') return 19;
  const auto before = IndexCounter().headerReads;
  if (!Find("777")) return 20;
  if (IndexCounter().headerReads - before != 1) return 21;
  CloseArea();
  Send(out, 'z');
  return 0;
}

TEST_F(NdxShared, TwoProgramsShareAnIndexedTable) {
  const std::string table = dir / "s.dbf", index = dir / "s.ndx", sem = dir / "s.@S@";
  MakeNumberTable(table, {5, 4, 3, 2, 1});
  USE(table + " EXCLUSIVE");
  MakeIndexExpr("NUM", index);
  CloseArea();
  ASSERT_FALSE(FileExistsTz(sem));  // exclusive use makes no semaphore file

  int toChild[2], toParent[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(toParent), 0);
  // The second program starts before anything is open here.
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(toChild[1]);
    ::close(toParent[0]);
    int rc = Receive(toChild[0]) == 'g' ? SecondProgram(table, index, toChild[0], toParent[1]) : 9;
    ::_exit(rc);
  }
  ::close(toChild[0]);
  ::close(toParent[1]);
  SetSemaphoreWaits(100, 10, 3);
  USE(table);
  ASSERT_TRUE(SetIndexTo(index, 1));
  EXPECT_EQ(Users(sem), 1);
  Send(toChild[1], 'g');
  const int in = toParent[0], out = toChild[1];
  auto childResult = [&]() {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  if (Receive(in) != 'o') {
    ADD_FAILURE() << "second program did not open: " << childResult();
    return;
  }
  EXPECT_EQ(Users(sem), 2);

  // Writer bracket: the second program's Find waits for it (it says so
  // when it first waits).
  IndexHooks().WriteLock(true);
  Send(out, 'f');
  ASSERT_EQ(Receive(in), 'w');
  ASSERT_EQ(Receive(in), 'p');
  ASSERT_TRUE(ALock());
  ClearRecord();
  SetField(1, "777");
  Append();
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  Unlock();
  IndexHooks().WriteLock(false);
  EXPECT_EQ(Counter(sem), 1u);
  if (Receive(in) != 'y') {
    ADD_FAILURE() << "second program: " << childResult();
    return;
  }

  // A lock held beyond the second program's patience.
  IndexHooks().WriteLock(true);
  Send(out, 't');
  char c = Receive(in);
  IndexHooks().WriteLock(false);
  if (c != 'x') {
    ADD_FAILURE() << "second program: " << childResult();
    return;
  }

  // The change counter after 65534 is 0.
  {
    int fd = ::open(sem.c_str(), O_RDWR);
    const unsigned char v[2] = {0xFE, 0xFF};
    ASSERT_EQ(::pwrite(fd, v, 2, 2), 2);
    ::close(fd);
  }
  IndexHooks().WriteLock(true);
  IndexHooks().WriteLock(false);
  EXPECT_EQ(Counter(sem), 0u);
  Send(out, 'c');
  EXPECT_EQ(Receive(in), 'z');
  EXPECT_EQ(childResult(), 0);
  EXPECT_EQ(Users(sem), 1);
  CloseArea();
  EXPECT_FALSE(FileExistsTz(sem));
  ::close(in);
  ::close(out);
}

TEST_F(NdxShared, ReadBracketsNestAndAreaLimits) {
  const std::string table = dir / "r.dbf", sem = dir / "r.@S@";
  MakeNumberTable(table, {1, 2});
  USE(table + " EXCLUSIVE");
  MakeIndexExpr("NUM", dir / "r");
  CloseArea();
  USE(table);
  ASSERT_TRUE(SetIndexTo(dir / "r", 1));
  IndexHookTable& h = IndexHooks();
  h.ReadLock(true);
  EXPECT_EQ(SemaphoreRecord(sem)[1], 1);
  h.ReadLock(true);
  EXPECT_EQ(SemaphoreRecord(sem)[1], 1);
  h.ReadLock(false);
  EXPECT_EQ(SemaphoreRecord(sem)[1], 1);
  h.ReadLock(false);
  EXPECT_EQ(SemaphoreRecord(sem)[1], 0);
  h.ReadLock(false);
  EXPECT_EQ(TzCurrentError(), 254);
  // A writer that reads counts itself once and does not wait for itself.
  h.ReadLock(true);
  h.WriteLock(true);
  h.WriteLock(false);
  h.ReadLock(false);
  EXPECT_EQ(SemaphoreRecord(sem)[1], 0);
  EXPECT_EQ(Counter(sem), 1u);
  SelectArea(35);
  h.ReadLock(true);
  EXPECT_EQ(TzCurrentError(), 254);
  EXPECT_NE(Engine().lastErrorText.find("Work area [35] out of range. [HandleSemafore]"), std::string::npos);
  Select(1);
  CloseArea();
  EXPECT_FALSE(FileExistsTz(sem));
}

}  // namespace
}  // namespace zeb::xbase::test
