// Semaphore files: one 4-byte record per shared table (user count, reader
// count, change counter) under a byte-range lock, through which programs
// that share a table's indexes register readers and writers.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/files.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/dbf/locking.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

const char* const kActionNames[] = {"LOGIN", "LOGOUT", "INCREAD", "DECREAD", "LOCKSEMAPHORE", "UNLOCKSEMAPHORE"};

constexpr std::int64_t kRecordLockOffset = 1;
constexpr std::int64_t kRecordLockLength = 4;

std::string Name(int action) { return kActionNames[action]; }

std::int8_t Readers(const SemaphoreState& s) { return static_cast<std::int8_t>(s.record[1]); }
void SetReaders(SemaphoreState& s, int n) { s.record[1] = static_cast<std::uint8_t>(static_cast<std::int8_t>(n)); }

// Raised file error of an action; a refused write with its reason.
void FileError(SemaphoreState& s, int err, const char* what, int action) {
  const std::uint16_t code = err != 0 ? ErrnoToTzCode(err) : 100;
  const std::string reason = err != 0 ? WriteFailureReason(err, code) : std::string();
  RaiseIndexError(code,
                  std::string(what) + s.fileName + " " + Name(action) + (reason.empty() ? "" : " (" + reason + ")"));
}

bool ReadRecord(SemaphoreState& s, int& err) {
  std::array<std::uint8_t, 4> r{};
  err = 0;
  ssize_t n;
  do {
    n = ::pread(s.file.get(), r.data(), r.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    err = errno;
    return false;
  }
  // Bytes a crash never wrote count as zero.
  s.record = r;
  return true;
}

bool WriteRecord(SemaphoreState& s, int& err) { return WriteAll(s.file.get(), s.record.data(), 4, 0, err); }

bool LockSemaphoreRegion(SemaphoreState& s, int action) {
  if (!Engine().sharedMode) {
    s.recordLocked = true;
    return true;
  }
  NdxUnit& u = Ndx();
  int r = 0;
  for (int attempt = 0; attempt < std::max(u.semAttempts, 1); ++attempt) {
    r = SysLockRange(s.file.get(), F_WRLCK, kRecordLockOffset, kRecordLockLength);
    if (r == 0) {
      s.recordLocked = true;
      return true;
    }
    if (attempt + 1 < u.semAttempts) LockWait(u.semWaitMs);
  }
  RaiseIndexError(1202, "10 second timeout: Cannot lock index semaphore file: " + s.fileName + " " + Name(action) +
                            "\r\nPossible cause: Network lock limit exceeded\r\n" + " Lock result code: " +
                            std::to_string(r));
  return false;
}

void UnlockSemaphoreRegion(SemaphoreState& s, int action) {
  if (!s.recordLocked) return;
  s.recordLocked = false;
  if (!Engine().sharedMode) return;
  int r = SysLockRange(s.file.get(), F_UNLCK, kRecordLockOffset, kRecordLockLength);
  if (r != 0)
    RaiseIndexError(ErrnoToTzCode(r), "Cannot unlock index semaphore file: " + s.fileName + " " + Name(action));
}

// The table's lock byte, held for LOGIN and LOGOUT.
class TableLockByte {
 public:
  explicit TableLockByte(int action) {
    NdxUnit& u = Ndx();
    for (int attempt = 0; attempt < std::max(u.semAttempts, 1); ++attempt) {
      if (LockBaseByte()) {
        held_ = true;
        return;
      }
      if (attempt + 1 < u.semAttempts) LockWait(u.semWaitMs);
    }
    WorkArea* a = CurrentWorkArea();
    TzError(1202, "Cannot lock database for: " + (a ? a->fileName : std::string()) + " Action=" + Name(action) +
                      " [Database Semaphore]");
  }
  ~TableLockByte() {
    if (!held_) return;
    std::uint16_t saved = TzCurrentError();
    try {
      UnlockBaseByte();
    } catch (...) {
      // The failed unlock is recorded; nothing is raised out of here.
    }
    if (TzCurrentError() == 0) SetTzCurrentError(saved);
  }
  TableLockByte(const TableLockByte&) = delete;
  TableLockByte& operator=(const TableLockByte&) = delete;
  bool held() const { return held_; }

 private:
  bool held_ = false;
};

// Releases the record lock when a step fails (or raises).
class RecordLockGuard {
 public:
  RecordLockGuard(SemaphoreState& s, int action) : s_(s) { (void)action; }
  ~RecordLockGuard() {
    if (!armed_ || !s_.recordLocked) return;
    s_.recordLocked = false;
    if (Engine().sharedMode) SysLockRange(s_.file.get(), F_UNLCK, kRecordLockOffset, kRecordLockLength);
  }
  void Disarm() { armed_ = false; }
  RecordLockGuard(const RecordLockGuard&) = delete;
  RecordLockGuard& operator=(const RecordLockGuard&) = delete;

 private:
  SemaphoreState& s_;
  bool armed_ = true;
};

void Login(AreaIndex& ar, WorkArea& a) {
  if (ar.sema) return;
  auto state = std::make_unique<SemaphoreState>();
  SemaphoreState& s = *state;
  s.fileName = SemaphoreFileName(a.fileName);
  TableLockByte tableLock(kLogin);
  if (!tableLock.held()) return;
  int fd = ::open(s.fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  InRunFolder(s.fileName) ? 0600 : 0666);
  bool created = fd >= 0;
  if (!created) {
    int e = errno;
    if (e != EEXIST) {
      RaiseIndexError(ErrnoToTzCode(e), "Cannot open/create: " + s.fileName + " " + Name(kLogin));
      return;
    }
    fd = ::open(s.fileName.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      FileError(s, errno, "Cannot open: ", kLogin);
      return;
    }
  }
  s.file = FileHandle(fd);
  int err = 0;
  if (created) {
    s.record = {};
    if (!WriteRecord(s, err)) {
      s.file.Close();
      ::unlink(s.fileName.c_str());
      FileError(s, err, "Cannot write to: ", kLogin);
      return;
    }
  }
  if (!LockSemaphoreRegion(s, kLogin)) return;
  RecordLockGuard guard(s, kLogin);
  if (!created && !ReadRecord(s, err)) {
    FileError(s, err, "Cannot read: ", kLogin);
    return;
  }
  if (s.record[0] < 255) ++s.record[0];
  s.usersAtLogin = s.record[0];
  if (!WriteRecord(s, err)) {
    FileError(s, err, "Cannot write to: ", kLogin);
    return;
  }
  guard.Disarm();
  UnlockSemaphoreRegion(s, kLogin);
  s.lastCounter = s.Counter();
  ar.sema = std::move(state);
}

void Logout(AreaIndex& ar) {
  if (!ar.sema) return;
  // The state goes in any case; a program that cannot log out leaves its
  // counts in the file.
  std::unique_ptr<SemaphoreState> state = std::move(ar.sema);
  SemaphoreState& s = *state;
  TableLockByte tableLock(kLogout);
  if (!tableLock.held()) return;
  if (!LockSemaphoreRegion(s, kLogout)) return;
  RecordLockGuard guard(s, kLogout);
  int err = 0;
  if (!ReadRecord(s, err)) {
    FileError(s, err, "Cannot read: ", kLogout);
    return;
  }
  if (s.reader && Readers(s) > 0) SetReaders(s, Readers(s) - 1);
  if (s.record[0] > 0) --s.record[0];
  if (!WriteRecord(s, err)) {
    FileError(s, err, "Cannot write to: ", kLogout);
    return;
  }
  guard.Disarm();
  UnlockSemaphoreRegion(s, kLogout);
  const bool last = s.record[0] == 0;
  s.file.Close();
  if (last) ::unlink(s.fileName.c_str());
}

void ReadBracket(SemaphoreState& s, int action) {
  const bool inc = action == kIncRead;
  if (inc) {
    if (++s.readNest != 1) return;
  } else {
    if (--s.readNest < 0) {
      s.readNest = 0;
      TzError(254, "Unbalanced IncRead/DecRead for semaphore file: " + s.fileName + " " + Name(action));
      return;
    }
    if (s.readNest > 0) return;
  }
  if (s.recordLocked) return;
  if (inc && s.reader) return;
  if (!inc && !s.reader) return;
  bool locked = false;
  try {
    locked = LockSemaphoreRegion(s, action);
  } catch (...) {
    if (inc) --s.readNest;  // not registered: the next bracket tries again
    throw;
  }
  if (!locked) {
    if (inc) --s.readNest;
    return;
  }
  RecordLockGuard guard(s, action);
  // The bracket counts as this program's only once the file counts it (a
  // reader the file still counts would keep this program's own writes
  // waiting for itself).
  const auto notCounted = [&] {
    if (inc) --s.readNest;
  };
  int err = 0;
  if (!ReadRecord(s, err)) {
    notCounted();
    FileError(s, err, "Cannot read: ", action);
    return;
  }
  if (inc && Readers(s) < 127) SetReaders(s, Readers(s) + 1);
  if (!inc && Readers(s) > 0) SetReaders(s, Readers(s) - 1);
  if (!WriteRecord(s, err)) {
    notCounted();
    FileError(s, err, "Cannot write to: ", action);
    return;
  }
  s.reader = inc;
  guard.Disarm();
  UnlockSemaphoreRegion(s, action);
}

std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ReadTimeout(SemaphoreState& s) {
  RaiseIndexError(1202, std::to_string(Ndx().writerWaitSeconds) + " second timeout, cannot read: " + s.fileName +
                            "\r\n" + "Possible cause: Other user's program has terminated abnormally." + "\r\n" +
                            "Cure: Log all users of this application off the network," + "\r\n" + "then delete " +
                            s.fileName);
}

void LockSemaphore(SemaphoreState& s) {
  if (++s.lockNest > 1 || s.recordLocked) return;
  NdxUnit& u = Ndx();
  const std::int64_t limit = u.writerWaitSeconds;
  const std::int64_t t0 = NowSeconds();
  struct Undo {
    SemaphoreState& s;
    bool armed = true;
    ~Undo() {
      if (armed) --s.lockNest;
    }
  } undo{s};
  int err = 0;
  for (;;) {
    const std::int64_t loopStart = NowSeconds();
    for (;;) {
      LockWait(u.semWaitMs);
      if (limit != 0 && NowSeconds() - loopStart > limit) {
        ReadTimeout(s);
        return;
      }
      if (ReadRecord(s, err)) break;
    }
    if (!LockSemaphoreRegion(s, kLockSemaphore)) return;
    {
      RecordLockGuard guard(s, kLockSemaphore);
      if (!ReadRecord(s, err)) {
        FileError(s, err, "Cannot read: ", kLockSemaphore);
        return;
      }
      guard.Disarm();
    }
    // This program's own read bracket does not keep it from writing.
    const int others = Readers(s) - (s.reader ? 1 : 0);
    if (others <= 0) break;
    UnlockSemaphoreRegion(s, kLockSemaphore);
    if (limit != 0 && NowSeconds() - t0 > limit) {
      ReadTimeout(s);
      return;
    }
  }
  RecordLockGuard guard(s, kLockSemaphore);
  if (!s.reader) SetReaders(s, Readers(s) + 1);
  if (!WriteRecord(s, err)) {
    FileError(s, err, "Cannot write to: ", kLockSemaphore);
    return;
  }
  guard.Disarm();
  undo.armed = false;
}

void UnlockSemaphore(SemaphoreState& s) {
  if (--s.lockNest < 0) {
    s.lockNest = 0;
    UnlockSemaphoreRegion(s, kUnlockSemaphore);
    TzError(254, "Unbalanced Lock/Unlock for semaphore file: " + s.fileName + " " + Name(kUnlockSemaphore));
    return;
  }
  if (s.lockNest > 0 || !s.recordLocked) return;
  RecordLockGuard guard(s, kUnlockSemaphore);
  int err = 0;
  if (!ReadRecord(s, err)) {
    FileError(s, err, "Cannot read: ", kUnlockSemaphore);
    return;
  }
  std::uint32_t c = s.Counter() + 1u;
  if (c >= 65535) c = 0;
  s.record[2] = static_cast<std::uint8_t>(c);
  s.record[3] = static_cast<std::uint8_t>(c >> 8);
  SetReaders(s, 0);
  if (!WriteRecord(s, err)) {
    FileError(s, err, "Cannot write to: ", kUnlockSemaphore);
    return;
  }
  guard.Disarm();
  UnlockSemaphoreRegion(s, kUnlockSemaphore);
  s.lastCounter = s.Counter();
}

}  // namespace

std::string SemaphoreFileName(std::string_view tableFile) {
  std::string folder, name, ext;
  FileSplit(tableFile, folder, name, ext);
  const std::string& dir = Ndx().semaphoreFolder;
  if (!dir.empty()) {
    std::string d = dir;
    if (d.back() != '/') d += '/';
    return d + name + ".@S@";
  }
  return folder + name + ".@S@";
}

bool SemaphoreApplies(const WorkArea& a) {
  return !a.exclusive && !a.isVirtual && !a.ownIndexes && Engine().sharedMode;
}

int SemaphoreUsers(const WorkArea& a) {
  const std::string file = SemaphoreFileName(a.fileName);
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::uint8_t b = 0;
  ssize_t n = ::pread(fd, &b, 1, 0);
  ::close(fd);
  return n == 1 ? b : 0;
}

void DropSemaphore(AreaIndex& ar) { ar.sema.reset(); }

void HandleSemafore(int action) {
  const int n = CurrentArea();
  if (n > 34) {
    TzError(254, "Work area [" + std::to_string(n) + "] out of range. [HandleSemafore]");
    return;
  }
  WorkArea* a = CurrentWorkArea();
  if (!a || !SemaphoreApplies(*a)) return;
  AreaIndex& ar = CurArea();
  if (!ar.sema && action != kLogin) return;
  switch (action) {
    case kLogin: Login(ar, *a); break;
    case kLogout: Logout(ar); break;
    case kIncRead:
    case kDecRead: ReadBracket(*ar.sema, action); break;
    case kLockSemaphore: LockSemaphore(*ar.sema); break;
    case kUnlockSemaphore: UnlockSemaphore(*ar.sema); break;
    default: break;
  }
}

namespace {

// The headers another program changed are read at the start of a bracket;
// when that fails, the bracket just begun is closed again.
void RefreshOrLeave(void (*proc)(bool)) {
  try {
    RefreshAnchorsIfChanged();
  } catch (...) {
    try {
      proc(false);
    } catch (...) {
      // The first failure is the one reported.
    }
    throw;
  }
}

}  // namespace

void SetReadSemaphoreProc(bool on) {
  AreaIndex& ar = CurArea();
  if (on) {
    if (ar.readProcNest == 0) HandleSemafore(kIncRead);
    ++ar.readProcNest;
    RefreshOrLeave(&SetReadSemaphoreProc);
    return;
  }
  if (--ar.readProcNest < 0) {
    ar.readProcNest = 0;
    TzError(254, "Non-symmetrical Lock-Unlock [SetReadSemaphoreProc]");
    return;
  }
  if (ar.readProcNest == 0) HandleSemafore(kDecRead);
}

void SetLockSemaphoreProc(bool on) {
  AreaIndex& ar = CurArea();
  if (on) {
    if (ar.lockProcNest == 0) HandleSemafore(kLockSemaphore);
    ++ar.lockProcNest;
    // A writer changes the tree another program may have left.
    RefreshOrLeave(&SetLockSemaphoreProc);
    return;
  }
  if (--ar.lockProcNest < 0) {
    ar.lockProcNest = 0;
    TzError(254, "Non-symmetrical Lock-Unlock [SetLockSemaphoreProc]");
    return;
  }
  if (ar.lockProcNest == 0) HandleSemafore(kUnlockSemaphore);
}

bool RefreshAnchorsIfChanged() {
  AreaIndex& ar = CurArea();
  if (!ar.sema) return false;
  SemaphoreState& s = *ar.sema;
  if (s.Counter() == s.lastCounter) return false;
  ReadAnchorNodes();
  s.lastCounter = s.Counter();
  return true;
}

SemaphoreScope::SemaphoreScope(bool write) : write_(write) {
  // Without a semaphore (a table open exclusively) there is nothing to do.
  active_ = CurArea().sema != nullptr;
  if (!active_) return;
  if (write_)
    SetLockSemaphoreProc(true);
  else
    SetReadSemaphoreProc(true);
}

SemaphoreScope::~SemaphoreScope() {
  if (!active_) return;
  try {
    if (write_)
      SetLockSemaphoreProc(false);
    else
      SetReadSemaphoreProc(false);
  } catch (...) {
  }
}

}  // namespace zeb::xbase
