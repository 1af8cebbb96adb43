// Record and file locks: byte-range locks on the table file far beyond its
// data (lock base 1 GiB), taken only in shared mode and for areas not
// opened exclusively; otherwise the commands keep only the bookkeeping.
#pragma once
#include <cstdint>

namespace zeb::xbase {

struct WorkArea;

// Places (or with unlock removes) a write lock on the range; 0 or an errno
// value. 0 at once when the shared mode switch is off.
int LockRange(bool unlock, int fd, std::int64_t offset, std::int64_t length);
// Waits ms milliseconds, repainting windows from 10 ms on.
void LockWait(int ms);
// The retry loop of the settings; true when locked.
bool LockWithRetry(int fd, std::int64_t offset, std::int64_t length);
bool LockBaseByte();
void UnlockBaseByte();

bool FLock();
bool ALock();
bool RLock();
bool IsLocked(std::int32_t n);
// n >= 1 one record; -1 the oldest, -2 the newest, -3 every record lock.
bool UnlockRec(std::int32_t n);
void Unlock();

// Lock ranges of an area (64-bit offsets).
std::int64_t FileLockOffset();
std::int64_t RecordLockOffset(const WorkArea& a, std::int32_t n);

// True under the file lock or with a record lock on n.
bool HoldsRecordLock(const WorkArea& a, std::int32_t n);
// Releases whatever the area holds (Unlock for that area).
void UnlockArea(WorkArea& a);

// Converts the current area's share lock to exclusive or back on the same
// descriptor, so its byte-range locks survive; 0 or an engine code.
std::uint16_t ReopenFile(bool exclusive);

}  // namespace zeb::xbase
