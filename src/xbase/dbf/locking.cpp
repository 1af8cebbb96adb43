#include "xbase/dbf/locking.h"

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "xbase/core/ansi_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

bool Physical(const WorkArea& a) { return !a.exclusive && Engine().sharedMode && !a.isVirtual; }

bool TakeFileOrAppend(std::uint8_t kind, const char* routine) {
  if (CheckWorkArea(routine)) return false;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) {
    TzError(1100, std::string(" [") + routine + "]");
    return false;
  }
  if (a.lockState == kind) return true;
  if (a.lockState != kLockNone) return false;
  if (Physical(a)) {
    const TzEngine& e = Engine();
    std::int64_t length = kind == kLockFile ? e.fileLockLength : 1;
    if (!LockWithRetry(a.file.get(), e.lockBase + 1, length)) return false;
  }
  a.lockState = kind;
  return true;
}

// Unlocks the record range of r where it was locked; 0 or an errno value.
int UnlockRecordRange(WorkArea& a, std::int32_t r) {
  if (!Physical(a)) return 0;
  return LockRange(true, a.file.get(), RecordLockOffset(a, r), a.recordLength);
}

void SetUnlockFailure(int err) { SetTzCurrentError(ErrnoToTzCode(err)); }

void NotLocked(const std::string& text) {
  TzEngine& e = Engine();
  e.currentError = 220;
  e.lastError = 220;
  e.lastErrorText = text;
}

// Releases every record lock, newest first; false when an unlock failed.
bool UnlockAllRecords(WorkArea& a) {
  int failed = 0;
  for (auto it = a.recordLocks.rbegin(); it != a.recordLocks.rend(); ++it) {
    int r = UnlockRecordRange(a, *it);
    if (r != 0) failed = r;
  }
  a.recordLocks.clear();
  a.lockState = kLockNone;
  if (failed != 0) {
    SetUnlockFailure(failed);
    return false;
  }
  return true;
}

}  // namespace

int LockRange(bool unlock, int fd, std::int64_t offset, std::int64_t length) {
  if (!Engine().sharedMode) return 0;
  return SysLockRange(fd, unlock ? F_UNLCK : F_WRLCK, offset, length);
}

void LockWait(int ms) {
  if (ms <= 0) return;
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (Engine().halting) return;
    auto now = Clock::now();
    if (now >= end) return;
    auto slice = std::min<Clock::duration>(end - now, std::chrono::milliseconds(5));
    std::this_thread::sleep_for(slice);
    if (ms >= 10) Callback().Pump();
  }
}

bool LockWithRetry(int fd, std::int64_t offset, std::int64_t length) {
  const TzEngine& e = Engine();
  int attempts = 0;
  for (;;) {
    if (LockRange(false, fd, offset, length) == 0) return true;
    if (attempts < e.retryCount) LockWait(e.retryWait);
    ++attempts;
    if (attempts > e.retryCount && e.retryCallback && e.retryCallback()) attempts = 0;
    if (attempts > e.retryCount) return false;
  }
}

bool LockBaseByte() {
  if (!Engine().sharedMode) return true;
  if (CheckWorkArea("LockBaseByte")) return false;
  WorkArea& a = *CurrentWorkArea();
  if (!Physical(a)) return true;
  return LockWithRetry(a.file.get(), Engine().lockBase, 1);
}

void UnlockBaseByte() {
  SetTzCurrentError(0);
  if (CheckWorkArea("UnlockBaseByte")) return;
  WorkArea& a = *CurrentWorkArea();
  if (!Physical(a)) return;
  int r = LockRange(true, a.file.get(), Engine().lockBase, 1);
  if (r != 0)
    TzError(ErrnoToTzCode(r), "Fehler beim Entsperren der Datei " + a.fileName + " in Bereich " + Num(a.number));
}

std::int64_t FileLockOffset() { return Engine().lockBase + 1; }

std::int64_t RecordLockOffset(const WorkArea& a, std::int32_t n) {
  return Engine().lockBase + static_cast<std::int64_t>(a.headerLength) +
         static_cast<std::int64_t>(n - 1) * static_cast<std::int64_t>(a.recordLength);
}

bool HoldsRecordLock(const WorkArea& a, std::int32_t n) {
  if (a.lockState == kLockFile) return true;
  if (a.lockState != kLockRecords) return false;
  return std::find(a.recordLocks.begin(), a.recordLocks.end(), n) != a.recordLocks.end();
}

bool FLock() { return TakeFileOrAppend(kLockFile, "FLock"); }
bool ALock() { return TakeFileOrAppend(kLockAppend, "ALock"); }

bool RLock() {
  if (CheckWorkArea("RLock")) return false;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) {
    TzError(1100, " [RLock]");
    return false;
  }
  const std::int32_t n = a.recordNumber;
  if (a.lockState == kLockRecords && HoldsRecordLock(a, n)) return true;
  const std::uint16_t max = Engine().recordLockMax;
  if (max != 0 && a.recordLocks.size() >= max) {
    TzError(212, "Anzahl der gesperrten Datensätze zu groß [RLock]"_ansi);
    return false;
  }
  if (a.lockState == kLockFile || a.lockState == kLockAppend) return false;
  if (n < 1 || n > a.recordCount) return false;
  if (Physical(a) && !LockWithRetry(a.file.get(), RecordLockOffset(a, n), a.recordLength)) return false;
  a.recordLocks.push_back(n);
  a.lockState = kLockRecords;
  return true;
}

bool IsLocked(std::int32_t n) {
  if (CheckWorkArea("IsLocked")) return false;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) {
    TzError(1100, "[IsLocked]");
    return false;
  }
  return HoldsRecordLock(a, n);
}

bool UnlockRec(std::int32_t n) {
  SetTzCurrentError(0);
  if (CheckWorkArea("UnlockRec")) return true;
  WorkArea& a = *CurrentWorkArea();
  auto& list = a.recordLocks;
  auto removeAt = [&](std::vector<std::int32_t>::iterator it) {
    int r = UnlockRecordRange(a, *it);
    list.erase(it);
    if (list.empty() && a.lockState == kLockRecords) a.lockState = kLockNone;
    if (r != 0) {
      SetUnlockFailure(r);
      return false;
    }
    return true;
  };
  if (n >= 1) {
    auto it = std::find(list.begin(), list.end(), n);
    if (it == list.end()) {
      NotLocked("Record not locked. [UnlockRec(" + Num(n) + ")]");
      return false;
    }
    return removeAt(it);
  }
  if (n == -1 || n == -2) {
    if (list.empty()) return true;
    return removeAt(n == -1 ? list.begin() : list.end() - 1);
  }
  if (n == -3) {
    if (list.empty()) return true;
    return UnlockAllRecords(a);
  }
  NotLocked("[UnlockRec(" + Num(n) + ")]");
  return false;
}

void UnlockArea(WorkArea& a) {
  if (a.isVirtual || a.lockState == kLockNone) return;
  if (a.lockState == kLockRecords) {
    UnlockAllRecords(a);
    return;
  }
  if (Physical(a)) {
    const TzEngine& e = Engine();
    std::int64_t length = a.lockState == kLockFile ? e.fileLockLength : 1;
    int r = LockRange(true, a.file.get(), e.lockBase + 1, length);
    if (r != 0) SetUnlockFailure(r);
  }
  a.lockState = kLockNone;
}

void Unlock() {
  SetTzCurrentError(0);
  if (CheckWorkArea("Unlock")) return;
  UnlockArea(*CurrentWorkArea());
}

std::uint16_t ReopenFile(bool exclusive) {
  if (CheckWorkArea("ReopenFile")) return 215;
  WorkArea& a = *CurrentWorkArea();
  if (a.exclusive && !a.reopenedExclusive) return 5;
  std::uint16_t code = DbfSetShareMode(a, exclusive);
  if (code == 0) {
    a.exclusive = exclusive;
    a.reopenedExclusive = exclusive;
    a.DropReadAhead();
  }
  return code;
}

}  // namespace zeb::xbase
